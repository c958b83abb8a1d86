// Standard particles: shared classes and tables, the generator, emission and ageing into a tank, clamped colours
// and particles without velocity.
#include <cmath>
#include <cstring>

#include "gfx/core/frame.h"
#include "gfx/fx/fx_testing.h"
#include "gfx/fx/particles_local.h"
#include "gfx/world/world.h"

namespace {

constexpr GxUInt32 kFireEmitter = 0x33;    // standard, colour, size, tank
constexpr GxUInt32 kFireParticles = 0x65;  // velocity, colour, size

class Particles : public FxTest {
protected:
    // An emitter of the classes on its own atomic, its particle class given `batch` per batch and its tank
    // `capacity` particles.
    GxAtomic* Emitter(GxUInt32 emitterFlags, GxUInt32 particleFlags, GxInt32 batch, GxInt32 capacity)
    {
        emitterClass = GxParticleEmitterClassCreate(emitterFlags);
        particleClass = GxParticleClassCreate(particleFlags);
        GxAtomic* atomic = GxParticleAtomicCreate(emitterClass, nullptr);
        if (!atomic) {
            return nullptr;
        }
        emitter = GxParticleAtomicGetEmitters(atomic);
        GxParticleEmitterSetParticleClass(emitter, particleClass, batch);
        std = static_cast<GxParticleEmitterStd*>(
            GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
        std->maxPTank = capacity;
        return atomic;
    }

    // An emitter of the fire classes on its own atomic, emitting `count` particles of `life` seconds each update.
    GxAtomic* Fire(GxUInt32 particleFlags, GxInt32 count, GxReal life, GxInt32 capacity = 100)
    {
        GxAtomic* atomic = Emitter(kFireEmitter, particleFlags, 16, capacity);
        if (!atomic) {
            return nullptr;
        }
        std->emtPtcleEmitCount = count;
        std->emtPtcleLife = life;
        std->emtInitVel = 1.0f;
        std->emtInitDir = {0.0f, 1.0f, 0.0f};
        auto* size = static_cast<GxParticleEmitterSize*>(
            GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE));
        size->start[0] = size->start[1] = size->end[0] = size->end[1] = 1.0f;
        return atomic;
    }

    GxAtomic* TankOf() const
    {
        return static_cast<GxParticleEmitterTank*>(
                   GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPTANK))
            ->tank;
    }

    void Done(GxAtomic* atomic)
    {
        GxAtomicDestroy(atomic);
        GxParticleEmitterClassDestroy(emitterClass);
        GxParticleClassDestroy(particleClass);
    }

    GxParticleEmitterClass* emitterClass = nullptr;
    GxParticleClass* particleClass = nullptr;
    GxParticleEmitter* emitter = nullptr;
    GxParticleEmitterStd* std = nullptr;
};

TEST_F(Particles, ClassesAreSharedByFlagsAndTablesByProperties)
{
    GxParticleClass* fire = GxParticleClassCreate(kFireParticles);
    ASSERT_NE(fire, nullptr);
    EXPECT_EQ(GxParticleClassCreate(kFireParticles), fire);
    EXPECT_EQ(fire->refCount, 2);
    EXPECT_EQ(fire->id, kFireParticles);
    const GxParticlePropertyTable* table = fire->propTab;
    EXPECT_EQ(table->numProp, 4);
    EXPECT_GE(GxParticlePropertyGetOffset(table, gxPRTSTDPROPERTYCODEPARTICLEVELOCITY), 16);
    EXPECT_GE(GxParticlePropertyGetOffset(table, gxPRTSTDPROPERTYCODEPARTICLECOLOR), 0);
    EXPECT_GE(GxParticlePropertyGetOffset(table, gxPRTSTDPROPERTYCODEPARTICLESIZE), 0);
    EXPECT_EQ(GxParticlePropertyGetOffset(table, gxPRTSTDPROPERTYCODEPARTICLEPOSITION), -1);
    // Bit 0x01 adds no property: another class, the same table.
    GxParticleClass* same = GxParticleClassCreate(kFireParticles & ~1u);
    EXPECT_NE(same, fire);
    EXPECT_EQ(same->propTab, table);
    EXPECT_EQ(table->refCount, 2);
    GxParticleClassDestroy(same);
    EXPECT_EQ(table->refCount, 1);
    GxParticleClassDestroy(fire);
    GxParticleClassDestroy(fire);
}

TEST_F(Particles, GeneratorGivesItsGoldenSequence)
{
    GxUInt32 state = 1;
    EXPECT_FLOAT_EQ(GxParticleRandom(&state), 0.25703285f);
    EXPECT_EQ(state, 0x41CCE7A0u);
    EXPECT_FLOAT_EQ(GxParticleRandom(&state), 0.31963870f);
    EXPECT_EQ(state, 0x51D3D78Bu);
    // r = 0.0675306: 10 - (1 - 2r) x 4.
    EXPECT_NEAR(GxParticleRandomBias(&state, 10.0f, 4.0f), 6.5402446f, 1e-5f);
}

TEST_F(Particles, EmitsIntoTheTankAgesAndDropsTheDead)
{
    GxAtomic* atomic = Fire(kFireParticles, 10, 0.25f);
    ASSERT_NE(atomic, nullptr);
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    EXPECT_EQ(emitter->numPtcles, 10);
    GxParticleTank* tank = GxParticleTankGet(TankOf());
    ASSERT_NE(tank, nullptr);
    EXPECT_EQ(tank->format.dataFlags & 0xFF, gxPTANKDFLAGPOSITION | gxPTANKDFLAGCOLOR | gxPTANKDFLAGSIZE);
    EXPECT_EQ(tank->pCount, 10);
    // Gap 0: every update emits; lives of 0.25 s end after the third ageing step.
    for (GxInt32 i = 0; i < 3; i++) {
        ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    }
    EXPECT_EQ(emitter->numPtcles, 40);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    EXPECT_EQ(emitter->numPtcles, 40);
    EXPECT_EQ(tank->pCount, 40);
    // Every particle moved up at speed 1 since its emission; the oldest survivors came first.
    GxParticleTankLockStruct positions;
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &positions, gxPTANKDFLAGPOSITION, 0));
    GxV3d first;
    memcpy(&first, positions.data, sizeof(first));
    EXPECT_NEAR(first.y, 0.3f, 1e-4f);
    // The tank's capacity bounds every emission.
    for (GxInt32 i = 0; i < 20; i++) {
        std->emtPtcleLife = 100.0f;
        ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    }
    EXPECT_EQ(emitter->numPtcles, 100);
    EXPECT_EQ(tank->pCount, 100);
    Done(atomic);
}

TEST_F(Particles, BiasedColoursClampAndStillParticlesStartAtTheEmitter)
{
    GxAtomic* atomic = Fire(gxPRTSTDPARTICLEDATAFLAGCOLOR | gxPRTSTDPARTICLEDATAFLAGPOSITION, 8, 1.0f);
    ASSERT_NE(atomic, nullptr);
    auto* colour = static_cast<GxParticleEmitterColor*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR));
    for (GxInt32 i = 0; i < 4; i++) {
        colour->start[i] = 250.0f;
        colour->startBias[i] = 200.0f;
        colour->end[i] = -250.0f;
        colour->endBias[i] = 10.0f;
    }
    std->emtPos = {1.0f, 2.0f, 3.0f};
    GxParticleUpdateData step = {0.1f};
    for (GxInt32 i = 0; i < 5; i++) {
        ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    }
    GxParticleTankLockStruct colours;
    GxParticleTankLockStruct positions;
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &colours, gxPTANKDFLAGCOLOR, 0));
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &positions, gxPTANKDFLAGPOSITION, 0));
    bool sawFull = false;
    bool sawEmpty = false;
    for (GxInt32 p = 0; p < emitter->numPtcles; p++) {
        const GxUInt8* c = colours.data + p * colours.stride;
        sawFull = sawFull || c[0] == 255;
        sawEmpty = sawEmpty || c[0] == 0;
        GxV3d at;
        memcpy(&at, positions.data + p * positions.stride, sizeof(at));
        EXPECT_FLOAT_EQ(at.x, 1.0f);
        EXPECT_FLOAT_EQ(at.z, 3.0f);
    }
    EXPECT_TRUE(sawFull);
    EXPECT_TRUE(sawEmpty);
    GxParticleBatch* batch = emitter->liveBatch;
    GxV3d pos;
    memcpy(&pos,
           GxParticleBatchGetParticles(batch) +
               GxParticlePropertyGetOffset(particleClass->propTab, gxPRTSTDPROPERTYCODEPARTICLEPOSITION),
           sizeof(pos));
    EXPECT_FLOAT_EQ(pos.y, 2.0f);
    Done(atomic);
}

// The tank gets an emitted colour truncated and an aged one rounded to the nearest byte.
TEST_F(Particles, EmittedColoursTruncateAgedOnesRound)
{
    GxAtomic* atomic = Fire(kFireParticles, 2, 10.0f);
    ASSERT_NE(atomic, nullptr);
    auto* colour = static_cast<GxParticleEmitterColor*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR));
    for (GxInt32 i = 0; i < 4; i++) {
        colour->start[i] = colour->end[i] = 100.6f;
    }
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    GxParticleTankLockStruct colours;
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &colours, gxPTANKDFLAGCOLOR, 0));
    EXPECT_EQ(colours.data[0], 100);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &colours, gxPTANKDFLAGCOLOR, 0));
    EXPECT_EQ(colours.data[0], 101);                   // aged
    EXPECT_EQ(colours.data[2 * colours.stride], 100);  // emitted in the second update
    Done(atomic);
}

}  // namespace

namespace {

std::vector<GxUInt8> WriteAtomicExtension(const GxAtomic* atomic)
{
    return GxWorldTestWrite(
        [atomic](GxStream* s) { return GxParticleAtomicStreamWrite(s, 0, atomic, 0, 0) != nullptr; });
}

GxAtomic* ReadAtomicExtension(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    GxStream* stream = GxWorldTestOpen(bytes, length);
    GxAtomic* atomic = GxAtomicCreate();
    const bool ok = stream && GxParticleAtomicStreamRead(stream, 0, atomic, 0, 0);
    if (stream) {
        GxStreamClose(stream, nullptr);
    }
    if (!ok) {
        GxAtomicDestroy(atomic);
        return nullptr;
    }
    return atomic;
}

TEST_F(Particles, MatrixChunkIsOrthonormalisedOnWriteAndReadAsStored)
{
    GxMatrix m = {};
    m.right = {2.0f, 0.0f, 0.0f};
    m.up = {0.0f, 3.0f, 0.0f};
    m.at = {0.0f, 0.0f, 4.0f};
    m.pos = {1.0f, 2.0f, 3.0f};
    m.flags = 3 | 0x20000;  // only the two low bits are stored
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([&m](GxStream* s) { return GxMatrixStreamWrite(&m, s) != nullptr; });
    ASSERT_EQ(bytes.size(), 12 + GxMatrixStreamGetSize());
    EXPECT_EQ(GxMatrixStreamGetSize(), 64u);
    float stored[13];
    memcpy(stored, bytes.data() + 24, sizeof(stored));
    EXPECT_FLOAT_EQ(stored[0], 1.0f);  // the written copy is orthonormal
    EXPECT_FLOAT_EQ(stored[4], 1.0f);
    EXPECT_FLOAT_EQ(stored[9], 1.0f);
    GxUInt32 flags;
    memcpy(&flags, &stored[12], sizeof(flags));
    EXPECT_EQ(flags, 3u);

    // Reading takes the stored rows as they are, even when the flags call them orthonormal.
    std::vector<GxUInt8> scaled = bytes;
    const float two = 2.0f;
    memcpy(scaled.data() + 24, &two, sizeof(two));
    GxStream* stream = GxWorldTestOpen(scaled);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_MATRIX, nullptr, nullptr));
    GxMatrix* read = GxMatrixStreamRead(stream);
    GxStreamClose(stream, nullptr);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->right.x, 2.0f);
    EXPECT_EQ(read->pos.z, 3.0f);
    EXPECT_EQ(read->flags, 3u);
    GxMatrixDestroy(read);

    // A struct chunk of another size than the matrix's is refused rather than read into what follows it.
    std::vector<GxUInt8> shorter = bytes;
    const GxUInt32 length = 40;
    memcpy(shorter.data() + 16, &length, sizeof(length));
    stream = GxWorldTestOpen(shorter);
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_MATRIX, nullptr, nullptr));
    EXPECT_EQ(GxMatrixStreamRead(stream), nullptr);
    GxStreamClose(stream, nullptr);
    GxTestTakeError();
}

TEST_F(Particles, StreamsReadBackIdenticalAndRefuseHostileTables)
{
    GxAtomic* atomic = Fire(kFireParticles, 5, 1.0f);
    ASSERT_NE(atomic, nullptr);
    GxParticleEmitter* second = GxParticleEmitterCreate(emitterClass, nullptr);
    GxParticleEmitterSetParticleClass(second, particleClass, 8);
    GxParticleAtomicAddEmitter(atomic, second);
    std->emtPos = {1.0f, 2.0f, 3.0f};
    std->tankRotSpeed = 0.5f;
    const std::vector<GxUInt8> bytes = WriteAtomicExtension(atomic);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(GxParticleAtomicStreamGetSize(atomic, 0, 0)));
    GxUInt32 head = 0;
    memcpy(&head, bytes.data(), sizeof(head));
    EXPECT_EQ(head, 0x03000002u);

    GxAtomic* read = ReadAtomicExtension(bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(WriteAtomicExtension(read), bytes);
    GxParticleEmitter* e = GxParticleAtomicGetEmitters(read);
    EXPECT_EQ(e->flags & gxPRTSTDEMITTERFLAGSTREAMREAD, gxPRTSTDEMITTERFLAGSTREAMREAD);
    EXPECT_EQ(e->emtClass, emitterClass);
    GxAtomicDestroy(read);

    for (size_t length = 0; length < bytes.size(); length++) {
        EXPECT_EQ(ReadAtomicExtension(bytes, length), nullptr) << length;
    }
    // The first table's count claims more ids than its chunk body holds.
    std::vector<GxUInt8> counted = bytes;
    const GxUInt32 huge = 0x4000000;
    memcpy(&counted[4 + 20 + 12 + 4], &huge, sizeof(huge));
    EXPECT_EQ(ReadAtomicExtension(counted), nullptr);
    GxTestTakeError();

    // A file may not ask for a tank bigger than a game draws: the tank is made from it at the first update.
    std->maxPTank = static_cast<GxInt32>(GxParticleMaxBatch()) + 1;
    EXPECT_EQ(ReadAtomicExtension(WriteAtomicExtension(atomic)), nullptr);
    GxTestTakeError();

    GxAtomic* empty = GxAtomicCreate();
    EXPECT_EQ(GxParticleAtomicStreamGetSize(empty, 0, 0), 0);
    GxAtomicDestroy(empty);
    Done(atomic);
}

// Offset of the emitter's first property in a stream written from one Fire emitter (particle table of 4 entries,
// emitter table of 5).
constexpr size_t kFireTablesEnd = 4 + 20 + (12 + 8 + 8 * 4) + (12 + 8 + 8 * 5);
constexpr size_t kFireEmitterTable = 4 + 20 + (12 + 8 + 8 * 4) + 12;
constexpr size_t kFireEmitterClass = kFireTablesEnd + 12 + 8 + 12;
constexpr size_t kFireProperties = kFireTablesEnd + 2 * (12 + 8);

void PutWord(std::vector<GxUInt8>& bytes, size_t at, GxUInt32 value) { memcpy(&bytes[at], &value, sizeof(value)); }

// The reader takes the classes a stream defines: the tables and keys it carries, under the ids it names, without
// handing such a class to those who ask for the id's own properties.
TEST_F(Particles, StreamedTablesAndKeysAreAdopted)
{
    GxAtomic* atomic = Fire(kFireParticles, 5, 1.0f);
    ASSERT_NE(atomic, nullptr);
    std::vector<GxUInt8> bytes = WriteAtomicExtension(atomic);
    constexpr GxUInt32 kOtherId = kFireEmitter | gxPRTSTDEMITTERDATAFLAGPRTMATRIX;
    constexpr GxUInt32 kOtherKey = 0x1234;
    PutWord(bytes, 4, kOtherId);
    PutWord(bytes, kFireEmitterClass, kOtherId);
    PutWord(bytes, kFireEmitterTable, kOtherKey);
    PutWord(bytes, kFireEmitterClass + 4, kOtherKey);
    GxAtomic* read = ReadAtomicExtension(bytes);
    ASSERT_NE(read, nullptr);
    GxParticleEmitter* e = GxParticleAtomicGetEmitters(read);
    EXPECT_EQ(e->emtClass->id, kOtherId);
    EXPECT_EQ(e->emtClass->propTab, emitterClass->propTab);
    EXPECT_EQ(GxParticleEmitterGetProperty(e, gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX), nullptr);
    EXPECT_EQ(WriteAtomicExtension(read), bytes);
    GxParticleEmitterClass* asked = GxParticleEmitterClassCreate(kOtherId);
    EXPECT_NE(asked, e->emtClass);
    EXPECT_NE(GxParticlePropertyGetOffset(asked->propTab, gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX), -1);
    GxParticleEmitterClassDestroy(asked);
    GxAtomicDestroy(read);

    // Tables the plugin cannot lay out: the base property not first, a property twice, an unknown id, a size
    // other than the property's; and a class chunk naming another table.
    const size_t ids = kFireEmitterTable + 8;
    const size_t sizes = ids + 4 * 5;
    const std::pair<size_t, GxUInt32> patches[] = {
        {ids, 1}, {ids + 4, 2}, {ids + 8, 7}, {sizes + 4, 100}, {kFireEmitterClass + 4, kOtherKey + 1}};
    for (const auto& [at, value] : patches) {
        std::vector<GxUInt8> bad = bytes;
        PutWord(bad, at, value);
        EXPECT_EQ(ReadAtomicExtension(bad), nullptr) << "patch at " << at;
    }
    GxTestTakeError();
    Done(atomic);
}

// Version 2 streams store no tank rotation speed: the standard property is four bytes shorter, in its table too.
TEST_F(Particles, VersionTwoStreamsReadWithoutTheRotationSpeed)
{
    GxAtomic* atomic = Fire(kFireParticles, 5, 1.0f);
    ASSERT_NE(atomic, nullptr);
    std->emtPtcleEmitCountBias = 3;
    const std::vector<GxUInt8> bytes = WriteAtomicExtension(atomic);
    std->tankRotSpeed = 0.5f;
    std::vector<GxUInt8> old = WriteAtomicExtension(atomic);
    old[3] = 2;
    const size_t stdSize = kFireEmitterTable + 8 + 4 * 5 + 4;  // the second entry: the standard property
    GxUInt32 stored = 0;
    memcpy(&stored, &old[stdSize], sizeof(stored));
    ASSERT_EQ(stored, 172u);
    PutWord(old, stdSize, 168);
    const size_t speed = kFireProperties + 152;
    old.erase(old.begin() + static_cast<std::ptrdiff_t>(speed), old.begin() + static_cast<std::ptrdiff_t>(speed + 4));
    GxAtomic* read = ReadAtomicExtension(old);
    ASSERT_NE(read, nullptr);
    const auto* back = static_cast<GxParticleEmitterStd*>(
        GxParticleEmitterGetProperty(GxParticleAtomicGetEmitters(read), gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    EXPECT_FLOAT_EQ(back->tankRotSpeed, 0.0f);
    EXPECT_EQ(back->emtPtcleEmitCountBias, 3);
    EXPECT_EQ(WriteAtomicExtension(read), bytes);  // written back as version 3, the speed 0
    GxAtomicDestroy(read);

    PutWord(old, stdSize, 172);  // a version 2 table may not claim the speed
    EXPECT_EQ(ReadAtomicExtension(old), nullptr);
    GxTestTakeError();
    Done(atomic);
}

// Streamed emit counts at the ends of the range, and colours that are no number, emit and convert safely.
TEST_F(Particles, HostileCountsAndColoursReadAndUpdateSafely)
{
    GxAtomic* atomic = Fire(kFireParticles, 0, 1.0f);
    ASSERT_NE(atomic, nullptr);
    auto* colour = static_cast<GxParticleEmitterColor*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR));
    const struct {
        GxInt32 count, bias;
        GxReal colour;
    } cases[] = {{INT32_MAX, INT32_MAX, 1.0f}, {INT32_MIN, INT32_MAX, 1.0f}, {4, 0, std::nanf("")}};
    for (const auto& c : cases) {
        std->emtPtcleEmitCount = c.count;
        std->emtPtcleEmitCountBias = c.bias;
        for (GxInt32 i = 0; i < 4; i++) {
            colour->start[i] = colour->end[i] = c.colour;
        }
        GxAtomic* read = ReadAtomicExtension(WriteAtomicExtension(atomic));
        ASSERT_NE(read, nullptr);
        GxParticleUpdateData step = {0.1f};
        for (GxInt32 i = 0; i < 3; i++) {
            ASSERT_NE(GxParticleAtomicUpdate(read, &step), nullptr);
        }
        const GxParticleEmitter* e = GxParticleAtomicGetEmitters(read);
        EXPECT_LE(e->numPtcles, std->maxPTank);
        GxAtomicDestroy(read);
    }
    Done(atomic);
}

}  // namespace

namespace {

int tankDraws = 0;
GxBool CountDraw(GxAtomic*, GxParticleTankFormat*, GxInt32 count)
{
    tankDraws += count;
    return 1;
}

TEST_F(Particles, RenderDrawsTheTankAndEmissionFollowsTheFrame)
{
    const GxParticleTankCallBackSet callbacks = {nullptr, nullptr, nullptr, CountDraw};
    GxParticleTankSetDefaultCallbacks(&callbacks);
    GxAtomic* atomic = Fire(kFireParticles, 4, 1.0f);
    ASSERT_NE(atomic, nullptr);
    GxFrame* frame = GxFrameCreate();
    const GxV3d offset = {10.0f, 0.0f, 0.0f};
    GxFrameTranslate(frame, &offset, gxCOMBINEREPLACE);
    GxAtomicSetFrame(atomic, frame);
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    tankDraws = 0;
    EXPECT_EQ(atomic->renderCallBack(atomic), atomic);
    EXPECT_EQ(tankDraws, 4);
    GxParticleTankLockStruct positions;
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &positions, gxPTANKDFLAGPOSITION, 0));
    GxV3d at;
    memcpy(&at, positions.data, sizeof(at));
    EXPECT_FLOAT_EQ(at.x, 10.0f);
    GxParticleTankSetDefaultCallbacks(nullptr);
    GxAtomicSetFrame(atomic, nullptr);
    GxFrameDestroy(frame);
    Done(atomic);
}

}  // namespace

namespace {

TEST_F(Particles, SphereReachesTheFarthestParticleAndCopiesCloneTheEmitters)
{
    GxAtomic* atomic = Fire(kFireParticles, 4, 1.0f);
    ASSERT_NE(atomic, nullptr);
    auto* tankProperty =
        static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPTANK));
    tankProperty->srcBlend = 5;
    tankProperty->dstBlend = 6;
    constexpr GxUInt32 kPlatform = 0x100;
    tankProperty->platFlags = kPlatform;
    GxParticleUpdateData step = {0.1f};
    for (GxInt32 i = 0; i < 3; i++) {
        ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    }
    // The first particles rose 0.2 at speed 1 since they were emitted.
    EXPECT_NEAR(atomic->boundingSphere.radius, 0.2f, 1e-4f);
    ASSERT_NE(atomic->geometry, nullptr);
    EXPECT_FLOAT_EQ(atomic->geometry->morphTarget[0].boundingSphere.radius, atomic->boundingSphere.radius);
    EXPECT_TRUE(atomic->object.object.privateFlags & gxATOMICSPHEREDIRTY);

    GxAtomic* copy = GxAtomicClone(atomic);
    ASSERT_NE(copy, nullptr);
    GxParticleEmitter* clone = GxParticleAtomicGetEmitters(copy);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, emitter);
    EXPECT_EQ(clone->emtClass, emitter->emtClass);
    EXPECT_EQ(clone->ptcleClass, particleClass);
    EXPECT_EQ(clone->numPtcles, 0);
    const auto* cloneStd =
        static_cast<GxParticleEmitterStd*>(GxParticleEmitterGetProperty(clone, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    EXPECT_EQ(cloneStd->emtPtcleEmitCount, 4);
    EXPECT_EQ(cloneStd->ltm, nullptr);
    const auto* cloneSize =
        static_cast<GxParticleEmitterSize*>(GxParticleEmitterGetProperty(clone, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE));
    EXPECT_FLOAT_EQ(cloneSize->end[1], 1.0f);
    const auto* cloneTank =
        static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(clone, gxPRTSTDPROPERTYCODEEMITTERPTANK));
    EXPECT_EQ(cloneTank->tank, nullptr);
    EXPECT_EQ(cloneTank->srcBlend, 5);
    EXPECT_EQ(cloneTank->dstBlend, 6);
    EXPECT_EQ(cloneTank->dataFlags, tankProperty->dataFlags);
    EXPECT_NE(cloneTank->dataFlags, 0u);
    // The clone runs on its own: its own tank, the original's untouched.
    ASSERT_NE(GxParticleAtomicUpdate(copy, &step), nullptr);
    EXPECT_NE(cloneTank->tank, nullptr);
    EXPECT_NE(cloneTank->tank, tankProperty->tank);
    // The original's tank was made with the platform flags; linking it cleared the property's, which the clone
    // copied.
    EXPECT_EQ(GxParticleTankGet(tankProperty->tank)->platFlags, kPlatform);
    EXPECT_EQ(tankProperty->platFlags, 0u);
    EXPECT_EQ(GxParticleTankGet(cloneTank->tank)->platFlags, 0u);
    EXPECT_EQ(emitter->numPtcles, 12);
    GxAtomicDestroy(copy);
    Done(atomic);
}

constexpr GxUInt32 kTurnedEmitter = 0x61;    // standard, tank, orientation
constexpr GxUInt32 kMovingParticles = 0x41;  // velocity

// The tank made for an emitter: its own identity frame, the constants it was given recorded in its data flags,
// additive blending with vertex alpha by default; a second tank cannot be linked over it.
TEST_F(Particles, EmitterTanksRecordTheirConstantsAndKeepTheFirstLink)
{
    GxAtomic* atomic = Fire(kFireParticles, 2, 1.0f);
    ASSERT_NE(atomic, nullptr);
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    GxAtomic* made = TankOf();
    ASSERT_NE(made, nullptr);
    auto* frame = static_cast<GxFrame*>(made->object.object.parent);
    ASSERT_NE(frame, nullptr);
    EXPECT_FLOAT_EQ(GxFrameGetWorldMatrix(frame)->pos.x, 0.0f);
    EXPECT_FLOAT_EQ(GxFrameGetWorldMatrix(frame)->right.x, 1.0f);
    const GxParticleTank* record = GxParticleTankGet(made);
    const GxUInt32 recorded = gxPTANKDFLAGUSECENTER | gxPTANKDFLAGHIDEINACTIVE | gxPTANKDFLAGOWNBLEND;
    EXPECT_EQ(record->cFlags & recorded, recorded);
    EXPECT_EQ(record->cFlags & (gxPTANKDFLAGCNSCOLOR | gxPTANKDFLAGCNSSIZE), 0u);  // both per particle
    EXPECT_EQ(record->srcBlend, 2);
    EXPECT_EQ(record->dstBlend, 2);
    EXPECT_EQ(record->vertexAlphaBlend, 1);

    GxAtomic* second = GxParticleTankCreate(4, gxPTANKDFLAGPOSITION, 0);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GxPTankPropertyLinkTank(emitter, second), nullptr);
    EXPECT_EQ(TankOf(), made);
    GxParticleTankDestroy(second);
    Done(atomic);

    // An emitter without colour or size properties gives the tank its constant colour and size.
    GxAtomic* plain =
        Emitter(gxPRTSTDEMITTERDATAFLAGSTANDARD | gxPRTSTDEMITTERDATAFLAGPTANK, gxPRTSTDPARTICLEDATAFLAGVELOCITY, 4, 4);
    ASSERT_NE(plain, nullptr);
    std->ptcleColor = {10, 20, 30, 40};
    std->ptcleSize[0] = 3.0f;
    ASSERT_NE(GxParticleAtomicUpdate(plain, &step), nullptr);
    const GxParticleTank* constant = GxParticleTankGet(TankOf());
    EXPECT_EQ(constant->cFlags & (gxPTANKDFLAGCNSCOLOR | gxPTANKDFLAGCNSSIZE),
              gxPTANKDFLAGCNSCOLOR | gxPTANKDFLAGCNSSIZE);
    EXPECT_EQ(constant->cColor.blue, 30);
    EXPECT_FLOAT_EQ(constant->cSize[0], 3.0f);
    Done(plain);
}

int customEmits = 0;
int customUpdates = 0;
GxParticleEmitter* CountEmit(GxAtomic*, GxParticleEmitter* emitter, void*)
{
    customEmits++;
    return emitter;
}
GxParticleBatch* CountUpdate(GxParticleEmitter*, GxParticleBatch* batch, void*)
{
    customUpdates++;
    return batch;
}

// A class runs the callback sets it carries: an added set runs after the standard one, and a class whose sets
// were replaced runs only its own.
TEST_F(Particles, ClassesRunTheCallbackSetsTheyCarry)
{
    GxAtomic* atomic = Fire(kFireParticles, 3, 10.0f);
    ASSERT_NE(atomic, nullptr);
    ASSERT_EQ(emitterClass->numCallBackSets, 1);
    EXPECT_EQ(emitterClass->emitterCallBacks[0].emit, GxParticleStdEmit);
    EXPECT_EQ(particleClass->particleCallBacks[0].update, GxParticleStdUpdate);
    GxParticleEmitterCallBackSet sets[2] = {emitterClass->emitterCallBacks[0], {}};
    sets[1].emit = CountEmit;
    ASSERT_NE(GxParticleEmitterClassSetCallBacks(emitterClass, sets, 2), nullptr);
    GxParticleCallBackSet counting = {};
    counting.update = CountUpdate;
    ASSERT_NE(GxParticleClassSetCallBacks(particleClass, &counting, 1), nullptr);
    customEmits = customUpdates = 0;
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    EXPECT_EQ(customEmits, 2);
    EXPECT_EQ(customUpdates, 1);       // the second update found one live batch
    EXPECT_EQ(emitter->numPtcles, 6);  // the standard emission still ran; no standard update aged them

    ASSERT_NE(GxParticleEmitterClassSetCallBacks(emitterClass, &sets[1], 1), nullptr);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    EXPECT_EQ(customEmits, 3);
    EXPECT_EQ(emitter->numPtcles, 6);
    GxParticleEmitterClassSetStdCallbacks(emitterClass);
    GxParticleClassSetStdCallbacks(particleClass);
    Done(atomic);
}

GxParticleBatch* RefuseBatch(GxParticleEmitter*, GxParticleBatch*, void*) { return nullptr; }

// An emitter's own update brings a stale sphere up to date; particles emitted without a tank render as nothing;
// a refused batch-destroy callback fails the update.
TEST_F(Particles, EmitterStepsAnswerForTheirCallbacks)
{
    GxAtomic* atomic = Fire(kFireParticles, 3, 0.05f);
    ASSERT_NE(atomic, nullptr);
    emitter->flags &= ~gxPRTSTDEMITTERFLAGACTIVE;
    atomic->interpolator.flags |= gxINTERPOLATORDIRTYSPHERE;
    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleEmitterUpdate(atomic, emitter, &step), nullptr);
    EXPECT_EQ(atomic->interpolator.flags & gxINTERPOLATORDIRTYSPHERE, 0u);
    EXPECT_EQ(emitter->numPtcles, 3);
    EXPECT_EQ(TankOf(), nullptr);
    EXPECT_EQ(atomic->renderCallBack(atomic), atomic);

    emitter->flags &= ~gxPRTSTDEMITTERFLAGEMIT;
    GxParticleCallBackSet refusing = {};
    refusing.update = GxParticleStdUpdate;
    refusing.batchDestroy = RefuseBatch;
    ASSERT_NE(GxParticleClassSetCallBacks(particleClass, &refusing, 1), nullptr);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    EXPECT_EQ(emitter->numPtcles, 0);
    EXPECT_EQ(GxParticleAtomicUpdate(atomic, &step), nullptr);
    GxParticleClassSetStdCallbacks(particleClass);
    Done(atomic);
}

TEST_F(Particles, OrientedParticlesCarryTheirMatrixThroughTankAndStream)
{
    GxAtomic* atomic = Emitter(kTurnedEmitter, kMovingParticles, 8, 8);
    ASSERT_NE(atomic, nullptr);
    std->emtPtcleEmitCount = 1;
    std->emtPtcleLife = 10.0f;
    std->ptcleSize[0] = 2.0f;
    std->ptcleSize[1] = 3.0f;
    std->emtInitVel = 1.0f;
    std->emtInitDir = {0.0f, 0.0f, 1.0f};
    auto* orientation = static_cast<GxParticleEmitterMatrix*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX));
    GxMatrixSetIdentity(&orientation->matrix);
    orientation->at = {0.0f, 0.0f, 1.0f};
    orientation->up = {0.0f, 1.0f, 0.0f};
    GxParticleUpdateData step = {0.5f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    GxParticleTank* tank = GxParticleTankGet(TankOf());
    EXPECT_EQ(tank->format.dataFlags & 0xFF, gxPTANKDFLAGMATRIX);
    EXPECT_EQ(tank->pCount, 2);
    // right = up x at, scaled by the width; up by the height; the oldest moved 0.5 along at.
    GxParticleTankLockStruct matrices;
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &matrices, gxPTANKDFLAGMATRIX, 0));
    GxMatrix m;
    memcpy(&m, matrices.data, sizeof(m));
    EXPECT_NEAR(std::fabs(m.right.x), 2.0f, 1e-5f);
    EXPECT_NEAR(m.up.y, 3.0f, 1e-5f);
    EXPECT_NEAR(m.pos.z, 0.5f, 1e-5f);
    EXPECT_NEAR(atomic->boundingSphere.radius, 0.5f, 1e-4f);

    orientation->useMatrix = 1;
    orientation->matrix.pos = {1.0f, 2.0f, 3.0f};
    const std::vector<GxUInt8> bytes = WriteAtomicExtension(atomic);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(GxParticleAtomicStreamGetSize(atomic, 0, 0)));
    GxAtomic* read = ReadAtomicExtension(bytes);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(WriteAtomicExtension(read), bytes);
    const auto* back = static_cast<GxParticleEmitterMatrix*>(
        GxParticleEmitterGetProperty(GxParticleAtomicGetEmitters(read), gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX));
    EXPECT_EQ(back->useMatrix, 1);
    EXPECT_FLOAT_EQ(back->matrix.pos.y, 2.0f);
    EXPECT_FLOAT_EQ(back->up.y, 1.0f);
    GxAtomicDestroy(read);
    for (size_t length = 0; length < bytes.size(); length += 7) {
        EXPECT_EQ(ReadAtomicExtension(bytes, length), nullptr) << length;
    }
    GxTestTakeError();

    // With the use-matrix flag the rows turn by the emitter's matrix and the position takes its translation too.
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_TRUE(GxParticleTankLock(TankOf(), &matrices, gxPTANKDFLAGMATRIX, 0));
    memcpy(&m, matrices.data, sizeof(m));
    EXPECT_NEAR(m.pos.x, 1.0f, 1e-5f);
    EXPECT_NEAR(m.pos.y, 2.0f, 1e-5f);
    EXPECT_NEAR(m.pos.z, 1.0f + 3.0f, 1e-5f);
    Done(atomic);
}

constexpr GxUInt32 kPlacedParticles = 0x42;  // velocity, position

// Each new particle draws, after the emission's count: its life, its direction (x, y, z), its speed, then its
// position (x, y, z), one generator step for each.
TEST_F(Particles, EachParticleDrawsLifeDirectionSpeedThenPosition)
{
    GxAtomic* atomic = Fire(kPlacedParticles, 1, 2.0f);
    ASSERT_NE(atomic, nullptr);
    std->seed = 77;
    std->emtPtcleLifeBias = 1.0f;
    std->emtInitDir = {1.0f, 2.0f, 3.0f};
    std->emtInitDirBias = {0.5f, 0.5f, 0.5f};
    std->emtInitVel = 4.0f;
    std->emtInitVelBias = 2.0f;
    std->emtPos = {10.0f, 20.0f, 30.0f};
    std->emtPosBias = {3.0f, 3.0f, 3.0f};
    GxUInt32 state = 77;
    GxParticleRandom(&state);  // the emission's count
    const GxReal life = GxParticleRandomBias(&state, 2.0f, 1.0f);
    GxV3d dir = {GxParticleRandomBias(&state, 1.0f, 0.5f), GxParticleRandomBias(&state, 2.0f, 0.5f),
                 GxParticleRandomBias(&state, 3.0f, 0.5f)};
    const GxReal speed = GxParticleRandomBias(&state, 4.0f, 2.0f);
    const GxV3d pos = {GxParticleRandomBias(&state, 10.0f, 3.0f), GxParticleRandomBias(&state, 20.0f, 3.0f),
                       GxParticleRandomBias(&state, 30.0f, 3.0f)};
    GxV3dNormalize(&dir, &dir);

    GxParticleUpdateData step = {0.1f};
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_EQ(emitter->numPtcles, 1);
    const GxUInt8* p = GxParticleBatchGetParticles(emitter->liveBatch);
    const auto* base = reinterpret_cast<const GxParticleStandard*>(p);
    EXPECT_FLOAT_EQ(base->lifeSpan, life);
    GxV3d velocity;
    GxV3d position;
    memcpy(&velocity, p + GxParticlePropertyGetOffset(particleClass->propTab, gxPRTSTDPROPERTYCODEPARTICLEVELOCITY),
           sizeof(velocity));
    memcpy(&position, p + GxParticlePropertyGetOffset(particleClass->propTab, gxPRTSTDPROPERTYCODEPARTICLEPOSITION),
           sizeof(position));
    EXPECT_NEAR(velocity.x, dir.x * speed, 1e-5f);
    EXPECT_NEAR(velocity.z, dir.z * speed, 1e-5f);
    EXPECT_FLOAT_EQ(position.x, pos.x);
    EXPECT_FLOAT_EQ(position.y, pos.y);
    EXPECT_FLOAT_EQ(position.z, pos.z);

    // A particle of no life keeps the reciprocal of its life, and is dropped by the next update before it is read.
    std->emtPtcleLife = 0.0f;
    std->emtPtcleLifeBias = 0.0f;
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    ASSERT_EQ(emitter->numPtcles, 2);
    const GxUInt8* newest = GxParticleBatchGetParticles(emitter->liveBatch) + particleClass->objSize;
    EXPECT_TRUE(std::isinf(reinterpret_cast<const GxParticleStandard*>(newest)->oneOverLife));
    ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    EXPECT_EQ(emitter->liveBatch->numPtcles, 2);
    Done(atomic);
}

// Emitters of different classes on one atomic, updated in turn: each reads its own properties through the cache.
TEST_F(Particles, OffsetCacheFollowsTheClassesOfEachEmitter)
{
    GxAtomic* atomic = Fire(kFireParticles, 3, 10.0f, 8);
    ASSERT_NE(atomic, nullptr);
    GxParticleEmitter* fire = emitter;
    GxParticleEmitterClass* plainClass =
        GxParticleEmitterClassCreate(gxPRTSTDEMITTERDATAFLAGSTANDARD | gxPRTSTDEMITTERDATAFLAGPTANK);
    GxParticleClass* movingClass = GxParticleClassCreate(gxPRTSTDPARTICLEDATAFLAGVELOCITY);
    GxParticleEmitter* plain = GxParticleEmitterCreate(plainClass, nullptr);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(GxParticleEmitterSetParticleClass(plain, movingClass, 4), nullptr);
    ASSERT_NE(GxParticleAtomicAddEmitter(atomic, plain), nullptr);
    auto* plainStd =
        static_cast<GxParticleEmitterStd*>(GxParticleEmitterGetProperty(plain, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    plainStd->maxPTank = 5;
    plainStd->emtPtcleEmitCount = 2;
    plainStd->emtPtcleLife = 10.0f;
    GxParticleUpdateData step = {0.1f};
    for (GxInt32 i = 0; i < 2; i++) {
        ASSERT_NE(GxParticleAtomicUpdate(atomic, &step), nullptr);
    }
    EXPECT_EQ(fire->numPtcles, 6);
    EXPECT_EQ(plain->numPtcles, 4);
    const auto* plainTank =
        static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(plain, gxPRTSTDPROPERTYCODEEMITTERPTANK));
    ASSERT_NE(plainTank->tank, nullptr);
    EXPECT_EQ(GxParticleTankGet(plainTank->tank)->maxPCount, 5);
    EXPECT_EQ(GxParticleTankGet(plainTank->tank)->pCount, 4);
    EXPECT_EQ(GxParticleTankGet(TankOf())->pCount, 6);
    GxParticleEmitterClassDestroy(plainClass);
    GxParticleClassDestroy(movingClass);
    Done(atomic);
}

int batchesMade = 0;
int batchesDropped = 0;
GxParticleBatch* CountBatchCreate(GxParticleEmitter*, GxParticleBatch* batch, void*)
{
    batchesMade++;
    return batch;
}
GxParticleBatch* CountBatchDestroy(GxParticleEmitter*, GxParticleBatch* batch, void*)
{
    batchesDropped++;
    return batch;
}
GxParticleEmitter* RefuseDestroy(GxAtomic*, GxParticleEmitter*, void*) { return nullptr; }

// An emitter record initialised in place takes a class reference and the defaults, and gives them back when
// deinitialised, tank and batches included; batches come from the spare list first and are made the newest.
TEST_F(Particles, EmittersInitialiseInPlaceAndBatchesComeAndGo)
{
    emitterClass = GxParticleEmitterClassCreate(kFireEmitter);
    particleClass = GxParticleClassCreate(kFireParticles);
    GxParticleCallBackSet counting = {GxParticleStdUpdate, nullptr, CountBatchCreate, CountBatchDestroy, {}};
    ASSERT_NE(GxParticleClassSetCallBacks(particleClass, &counting, 1), nullptr);
    std::vector<uint64_t> record((static_cast<size_t>(emitterClass->objSize) + 7) / 8, 0xA5A5A5A5A5A5A5A5ull);
    auto* e = reinterpret_cast<GxParticleEmitter*>(record.data());
    ASSERT_EQ(GxParticleEmitterInit(e, emitterClass, nullptr), e);
    EXPECT_EQ(emitterClass->refCount, 2);
    EXPECT_EQ(e->liveBatch, nullptr);
    auto* s = static_cast<GxParticleEmitterStd*>(GxParticleEmitterGetProperty(e, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    EXPECT_EQ(s->seed, 1u);
    EXPECT_EQ(s->emtPtcleEmitCount, 0);
    s->maxPTank = 4;
    ASSERT_NE(GxParticleEmitterSetParticleClass(e, particleClass, 4), nullptr);
    EXPECT_EQ(GxPTankPropertyCreateTank(e), e);

    batchesMade = batchesDropped = 0;
    GxParticleBatch* first = GxParticleBatchCreate(e);
    GxParticleBatch* second = GxParticleBatchCreate(e);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(e->liveBatch, first);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(batchesMade, 2);
    // A batch given back to the spare list is the next one taken.
    first->next = nullptr;
    e->liveBatch = second;
    e->spareBatch = first;
    EXPECT_EQ(GxParticleBatchCreate(e), first);
    EXPECT_EQ(e->spareBatch, nullptr);
    EXPECT_EQ(second->next, first);
    GxParticleEmitterFreeBatches(e);
    EXPECT_EQ(batchesDropped, 2);
    EXPECT_EQ(e->liveBatch, nullptr);
    GxParticleBatchCreate(e);

    // A destroy callback that fails keeps the emitter whole.
    GxParticleEmitterCallBackSet refusing = emitterClass->emitterCallBacks[0];
    refusing.destroy = RefuseDestroy;
    ASSERT_NE(GxParticleEmitterClassSetCallBacks(emitterClass, &refusing, 1), nullptr);
    EXPECT_EQ(GxParticleEmitterDeinit(e), 0);
    EXPECT_EQ(e->emtClass, emitterClass);
    GxParticleEmitterClassSetStdCallbacks(emitterClass);
    batchesDropped = 0;
    EXPECT_EQ(GxParticleEmitterDeinit(e), 1);
    EXPECT_EQ(batchesDropped, 0);  // the failed call had freed them already
    EXPECT_EQ(e->emtClass, nullptr);
    EXPECT_EQ(e->ptcleClass, nullptr);
    EXPECT_EQ(emitterClass->refCount, 1);
    EXPECT_EQ(particleClass->refCount, 1);
    GxParticleEmitterClassDestroy(emitterClass);
    GxParticleClassDestroy(particleClass);
}

// The engine's close leaves no class or table behind, whoever still held them.
TEST_F(Particles, PluginCloseDestroysWhatIsLeft)
{
    GxParticleClass* kept = GxParticleClassCreate(kFireParticles);
    ASSERT_NE(GxParticleClassCreate(kFireParticles), nullptr);
    ASSERT_NE(GxParticleEmitterClassCreate(kFireEmitter), nullptr);
    EXPECT_EQ(kept->refCount, 2);
    EXPECT_EQ(GxParticlePluginClose(nullptr, 0, 0), nullptr);
    GxParticleClass* fresh = GxParticleClassCreate(kFireParticles);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->refCount, 1);
    EXPECT_EQ(fresh->propTab->refCount, 1);
    GxParticleClassDestroy(fresh);
}

}  // namespace

namespace {

// The tank property alone: defaults, a destroy without a tank, a linked tank locked array by array, the settings
// copied without the tank, the stream form, and the emitter-side steps.
TEST_F(Particles, TankPropertyLinksLocksCopiesAndStreams)
{
    GxParticleEmitterTank property;
    memset(&property, 0x5A, sizeof(property));
    GxPTankPropertyInit(&property);
    EXPECT_EQ(property.tank, nullptr);
    EXPECT_EQ(property.dataFlags, 0u);
    EXPECT_EQ(property.emitFlags, 0xFFFFFFFFu);
    EXPECT_EQ(property.dstBlend, 2);
    EXPECT_EQ(property.vtxAlphaBlend, 1);
    property.maxPCount = 9;
    GxPTankPropertyDestroy(&property);
    EXPECT_EQ(property.maxPCount, 0);

    GxAtomic* atomic = Emitter(kFireEmitter, kFireParticles, 4, 4);
    ASSERT_NE(atomic, nullptr);
    auto* t =
        static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPTANK));
    GxAtomic* tank = GxParticleTankCreate(6, gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE, 0);
    ASSERT_NE(GxPTankPropertyLinkTank(emitter, tank), nullptr);
    EXPECT_EQ(t->maxPCount, 6);
    EXPECT_EQ(GxParticleTankGet(tank)->cFlags & gxPTANKDFLAGHIDEINACTIVE, gxPTANKDFLAGHIDEINACTIVE);
    ASSERT_EQ(GxPTankPropertyLockArrays(t), t);
    EXPECT_EQ(t->dataFlags, static_cast<GxUInt32>(gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE));
    GxParticleTankLockStruct sizes;
    ASSERT_TRUE(GxParticleTankLock(tank, &sizes, gxPTANKDFLAGSIZE, 0));
    EXPECT_EQ(t->dataOut[gxPARTICLESLOTSIZE], sizes.data);
    EXPECT_EQ(t->dataIn[gxPARTICLESLOTSIZE], sizes.data);
    EXPECT_EQ(t->dataStride[gxPARTICLESLOTSIZE], 8);
    EXPECT_EQ(t->dataOut[gxPARTICLESLOTCOLOUR], nullptr);
    EXPECT_EQ(GxParticleTankGet(tank)->lockFlags, static_cast<GxUInt32>(gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE));
    // With a tank there, creation keeps it and only makes the arrays anew.
    EXPECT_EQ(GxPTankPropertyCreateTank(emitter), emitter);
    EXPECT_EQ(t->tank, tank);
    EXPECT_EQ(t->dataOut[gxPARTICLESLOTSIZE], nullptr);

    t->srcBlend = 5;
    t->emitFlags = 0x3;
    GxParticleEmitterTank copy;
    GxPTankPropertyInit(&copy);
    GxPTankPropertyCopy(&copy, t);
    EXPECT_EQ(copy.tank, nullptr);
    EXPECT_EQ(copy.maxPCount, 6);
    EXPECT_EQ(copy.srcBlend, 5);
    EXPECT_EQ(copy.emitFlags, 0x3u);

    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([t](GxStream* s) { return GxPTankPropertyStreamWrite(s, t) != nullptr; });
    ASSERT_EQ(bytes.size(), GxPTankPropertyStreamGetSize(t));
    EXPECT_EQ(bytes.size(), 20u);
    GxParticleEmitterTank back;
    GxPTankPropertyInit(&back);
    GxStream* stream = GxWorldTestOpen(bytes);
    ASSERT_NE(GxPTankPropertyStreamRead(stream, &back), nullptr);
    EXPECT_EQ(back.srcBlend, 5);
    EXPECT_EQ(back.emitFlags, 0x3u);
    EXPECT_EQ(GxPTankPropertyStreamRead(stream, &back), nullptr);  // nothing left
    GxStreamClose(stream, nullptr);
    GxTestTakeError();

    GxPTankPropertyDestroy(t);
    EXPECT_EQ(t->tank, nullptr);
    EXPECT_EQ(t->maxPCount, 0);
    Done(atomic);
}

}  // namespace
