// Standard particles: shared property tables, emitter and particle classes, emitters and their batches, the
// per-emitter generator, emission and ageing written straight into particle tanks.
//
// Sections: generator - property tables - classes - emitter access - tank writes - emission - update -
// atomics and plugin.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/plugin.h"
#include "gfx/core/texture.h"
#include "gfx/fx/particles.h"
#include "gfx/fx/particles_local.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxUInt32 kParticleHint = 0x30130;
constexpr GxUInt32 kRandomMultiplier = 0x0BB38435u;
constexpr GxUInt32 kRandomIncrement = 0x3619636Bu;
constexpr GxReal kTwoToMinus32 = 2.3283064e-10f;
constexpr GxReal kPi = 3.1415927f;
// Property sizes round up to whole words. The blocks that hold pointers are sized to keep the next one aligned.
constexpr GxInt32 kSizeRound = 4;
constexpr GxInt32 kKeyCountShift = 4;
constexpr GxInt32 kKeyIdShift = 10;
constexpr GxInt32 kKeyMask = 0xFFFF;
constexpr GxReal kMaxChannel = 255.0f;
// Largest batch an emitter may ask for: keeps a batch allocation far from the 32-bit limit.
constexpr GxUInt32 kMaxBatch = 0x10000;

struct PropertySpec {
    GxUInt32 flag;
    GxInt32 id;
    GxInt32 size;
};

constexpr PropertySpec kEmitterProps[] = {
    {gxPRTSTDEMITTERDATAFLAGSTANDARD, gxPRTSTDPROPERTYCODEEMITTERSTANDARD, sizeof(GxParticleEmitterStd)},
    {gxPRTSTDEMITTERDATAFLAGPRTCOLOR, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR, sizeof(GxParticleEmitterColor)},
    {gxPRTSTDEMITTERDATAFLAGPRTTEXCOORDS, gxPRTSTDPROPERTYCODEEMITTERPRTTEXCOORDS, sizeof(GxParticleEmitterTexCoords)},
    {gxPRTSTDEMITTERDATAFLAGPTANK, gxPRTSTDPROPERTYCODEEMITTERPTANK, sizeof(GxParticleEmitterTank)},
    {gxPRTSTDEMITTERDATAFLAGPRTMATRIX, gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX, sizeof(GxParticleEmitterMatrix)},
    {gxPRTSTDEMITTERDATAFLAGPRTSIZE, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE, sizeof(GxParticleEmitterSize)},
    {gxPRTSTDEMITTERDATAFLAGPRT2DROTATE, gxPRTSTDPROPERTYCODEEMITTERPRT2DROTATE, sizeof(GxParticleEmitter2DRotate)},
};
constexpr PropertySpec kParticleProps[] = {
    {gxPRTSTDPARTICLEDATAFLAGVELOCITY, gxPRTSTDPROPERTYCODEPARTICLEVELOCITY, sizeof(GxV3d)},
    {gxPRTSTDPARTICLEDATAFLAGPOSITION, gxPRTSTDPROPERTYCODEPARTICLEPOSITION, sizeof(GxV3d)},
    {gxPRTSTDPARTICLEDATAFLAGCOLOR, gxPRTSTDPROPERTYCODEPARTICLECOLOR, sizeof(GxParticleColor)},
    {gxPRTSTDPARTICLEDATAFLAGTEXCOORDS, gxPRTSTDPROPERTYCODEPARTICLETEXCOORDS, sizeof(GxParticleTexCoords)},
    {gxPRTSTDPARTICLEDATAFLAGMATRIX, gxPRTSTDPROPERTYCODEPARTICLEMATRIX, sizeof(GxMatrix)},
    {gxPRTSTDPARTICLEDATAFLAGSIZE, gxPRTSTDPROPERTYCODEPARTICLESIZE, sizeof(GxParticleSize)},
    {gxPRTSTDPARTICLEDATAFLAG2DROTATE, gxPRTSTDPROPERTYCODEPARTICLE2DROTATE, sizeof(GxParticle2DRotate)},
};

// Offsets of the properties an emitter and its particle class carry (-1 for one the class lacks).
struct Offsets {
    GxInt32 std, colour, uv, size, tank, matrix, rotate;
    GxInt32 pVelocity, pPosition, pColour, pUV, pSize, pRotate, pMatrix;
    GxInt32 pSizeBytes;
};
constexpr Offsets kNoOffsets = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0};

// The offsets of the emitter and particle class tables seen last. A null particle table stands for no particle
// class, whose offsets are all -1.
struct OffsetCache {
    const GxParticlePropertyTable* emitterTable;
    const GxParticlePropertyTable* particleTable;
    Offsets offsets;
};
constexpr OffsetCache kEmptyCache = {nullptr, nullptr, kNoOffsets};
OffsetCache cache = kEmptyCache;

GxParticlePropertyTable* tables = nullptr;
GxParticleClassBase* emitterClasses = nullptr;
GxParticleClassBase* particleClasses = nullptr;
GxInt32 atomicOffset = -1;

// This engine runs with the plugin: an offset kept from an earlier engine would point into another layout.
bool Attached() { return atomicOffset >= 0 && GxAtomicGetPluginOffset(gxPLUGINPARTICLES) == atomicOffset; }

GxParticleEmitter*& EmittersOf(const GxAtomic* atomic)
{
    GX_ASSERT(atomicOffset >= 0, "the plugin is attached before its extension is used");
    return *reinterpret_cast<GxParticleEmitter**>(reinterpret_cast<GxUInt8*>(const_cast<GxAtomic*>(atomic)) +
                                                  atomicOffset);
}

template <typename T>
T* Prop(void* record, GxInt32 offset)
{
    return offset < 0 ? nullptr : reinterpret_cast<T*>(static_cast<GxUInt8*>(record) + offset);
}

template <size_t N>
GxInt32 SpecSize(const PropertySpec (&specs)[N], GxInt32 id)
{
    for (const PropertySpec& spec : specs) {
        if (spec.id == id) {
            return spec.size;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------- property tables

GxInt32 RoundSize(GxInt32 size) { return (size + kSizeRound - 1) & ~(kSizeRound - 1); }

bool TableMatches(const GxParticlePropertyTable* table, GxInt32 count, const GxInt32* ids, const GxInt32* sizes)
{
    if (table->numProp != count) {
        return false;
    }
    for (GxInt32 i = 0; i < count; i++) {
        const GxInt32 at = GxParticlePropertyGetIndex(table, ids[i]);
        if (at < 0 || table->propSize[at] != RoundSize(sizes[i])) {
            return false;
        }
    }
    return true;
}

GxParticlePropertyTable* TableCreate(GxInt32 count, const GxInt32* ids, const GxInt32* sizes)
{
    for (GxParticlePropertyTable* table = tables; table; table = table->next) {
        if (TableMatches(table, count, ids, sizes)) {
            table->refCount++;
            return table;
        }
    }
    const size_t arrays = sizeof(GxInt32) * static_cast<size_t>(count + 1) * 4;
    auto* table = static_cast<GxParticlePropertyTable*>(
        GxMalloc(static_cast<GxUInt32>(sizeof(GxParticlePropertyTable) + arrays), kParticleHint));
    if (!table) {
        GxErrorRaise(gxPLUGINPARTICLES, gxERRNOMEMORY);
        return nullptr;
    }
    memset(table, 0, sizeof(*table) + arrays);
    table->allocation = table;
    auto* words = reinterpret_cast<GxInt32*>(table + 1);
    table->propID = words;
    table->propOffset = words + (count + 1);
    table->propSize = words + 2 * (count + 1);
    table->propSizeUA = words + 3 * (count + 1);
    table->numProp = count;
    GxInt32 offset = 0;
    GxInt32 idSum = 0;
    for (GxInt32 i = 0; i < count; i++) {
        table->propID[i] = ids[i];
        table->propSizeUA[i] = sizes[i];
        table->propSize[i] = RoundSize(sizes[i]);
        table->propOffset[i] = offset;
        offset += table->propSize[i];
        idSum += ids[i];
    }
    table->propOffset[count] = offset;
    table->key = (((count + 1) << kKeyCountShift) & kKeyMask) | (idSum >> kKeyIdShift) | (idSum << kKeyIdShift);
    table->refCount = 1;
    table->next = tables;
    tables = table;
    return table;
}

void TableDestroy(GxParticlePropertyTable* table)
{
    GX_ASSERT(table->refCount > 0, "an object is destroyed no more often than it is referenced");
    if (--table->refCount > 0) {
        return;
    }
    for (GxParticlePropertyTable** at = &tables; *at; at = &(*at)->next) {
        if (*at == table) {
            *at = table->next;
            break;
        }
    }
    // A later table may take this one's address: the cache starts over.
    if (cache.emitterTable == table || cache.particleTable == table) {
        cache = kEmptyCache;
    }
    GxFree(table->allocation);
}

// ---------------------------------------------------------------------------------------------- classes

GxBool ClassDestroy(GxParticleClassBase*& list, GxParticleClassBase* c);

// The class of `id` drawn from `table`: an existing one (one more reference) or a new one with the standard
// callbacks. Classes read from streams may carry tables other than their flags give, so both must match.
GxParticleClassBase* ClassWithTable(GxParticleClassBase*& list, GxUInt32 id, GxParticlePropertyTable* table,
                                    bool emitter)
{
    for (GxParticleClassBase* c = list; c; c = c->next) {
        if (c->id == id && c->propTab == table) {
            c->refCount++;
            return c;
        }
    }
    auto* c = static_cast<GxParticleClassBase*>(GxMalloc(sizeof(GxParticleClassBase), kParticleHint));
    if (!c) {
        GxErrorRaise(gxPLUGINPARTICLES, gxERRNOMEMORY);
        return nullptr;
    }
    memset(c, 0, sizeof(*c));
    c->propTab = table;
    table->refCount++;
    c->id = id;
    c->refCount = 1;
    c->objSize = table->propOffset[table->numProp];
    c->next = list;
    list = c;
    const bool installed =
        emitter ? GxParticleEmitterClassSetStdCallbacks(c) != nullptr : GxParticleClassSetStdCallbacks(c) != nullptr;
    if (!installed) {
        ClassDestroy(list, c);
        return nullptr;
    }
    return c;
}

template <size_t N>
GxParticleClassBase* ClassCreate(GxParticleClassBase*& list, GxUInt32 flags, GxInt32 baseSize,
                                 const PropertySpec (&specs)[N], bool emitter)
{
    GxInt32 ids[gxPARTICLEMAXPROPERTIES] = {0};
    GxInt32 sizes[gxPARTICLEMAXPROPERTIES] = {baseSize};
    GxInt32 count = 1;
    for (const PropertySpec& spec : specs) {
        if (flags & spec.flag) {
            ids[count] = spec.id;
            sizes[count++] = spec.size;
        }
    }
    GxParticlePropertyTable* table = TableCreate(count, ids, sizes);
    if (!table) {
        return nullptr;
    }
    GxParticleClassBase* c = ClassWithTable(list, flags, table, emitter);
    TableDestroy(table);
    return c;
}

void FreeCallBacks(GxParticleClassBase* c)
{
    GxFree(c->emitterCallBacks);
    GxFree(c->particleCallBacks);
    c->emitterCallBacks = nullptr;
    c->particleCallBacks = nullptr;
    c->numCallBackSets = 0;
}

template <typename Set>
Set* CopySets(const Set* sets, GxInt32 count)
{
    const size_t bytes = sizeof(Set) * static_cast<size_t>(count);
    auto* copy = static_cast<Set*>(GxMalloc(static_cast<GxUInt32>(bytes), kParticleHint));
    if (!copy) {
        GxErrorRaise(gxPLUGINPARTICLES, gxERRNOMEMORY);
        return nullptr;
    }
    memcpy(copy, sets, bytes);
    return copy;
}

GxBool ClassDestroy(GxParticleClassBase*& list, GxParticleClassBase* c)
{
    GX_ASSERT(!c || c->refCount > 0, "an object is destroyed no more often than it is referenced");
    if (!c || --c->refCount > 0) {
        return 1;
    }
    for (GxParticleClassBase** at = &list; *at; at = &(*at)->next) {
        if (*at == c) {
            *at = c->next;
            break;
        }
    }
    TableDestroy(c->propTab);
    FreeCallBacks(c);
    GxFree(c);
    return 1;
}

// ---------------------------------------------------------------------------------------------- emitter access

// The cached offsets, refreshed by GxParticleEmitterCacheOffsets; every callback reads its properties through them.
Offsets LookUp(GxParticleEmitter* e)
{
    GxParticleEmitterCacheOffsets(e);
    return cache.offsets;
}

GxReal WrapAngle(GxReal angle)
{
    if (angle < -kPi) {
        return angle + 2.0f * kPi;
    }
    if (angle > kPi) {
        return angle - 2.0f * kPi;
    }
    return angle;
}

// A colour channel as a byte, the value already whole. Biased colours can leave the byte range, or be no number at
// all; a cast of either would be undefined.
GxUInt8 ClampedChannel(GxReal whole)
{
    if (!(whole >= 0.0f)) {
        return 0;
    }
    return static_cast<GxUInt8>(whole > kMaxChannel ? kMaxChannel : whole);
}

// The ageing colour is rounded to the nearest byte, the emitted one truncated.
GxUInt8 Channel(GxReal value) { return ClampedChannel(std::floor(value + 0.5f)); }
GxUInt8 TruncatedChannel(GxReal value) { return ClampedChannel(std::trunc(value)); }

// ---------------------------------------------------------------------------------------------- tank writes

bool Writes(const GxParticleEmitterTank* t, GxUInt32 bit, GxUInt32 which) { return (t->dataFlags & bit & which) != 0; }

void Put(GxParticleEmitterTank* t, GxInt32 slot, const void* value, size_t size)
{
    GX_ASSERT(t->dataOut[slot] != nullptr, "a property is written only into a tank that carries it");
    memcpy(t->dataOut[slot], value, size);
    t->dataOut[slot] += t->dataStride[slot];
}

// ---------------------------------------------------------------------------------------------- emission

}  // namespace

GxParticleBatch* GxParticleBatchCreate(GxParticleEmitter* e)
{
    GX_ASSERT(e && e->ptcleClass, "batches are made for an emitter that has a particle class");
    GxParticleBatch* batch = e->spareBatch;
    if (batch) {
        e->spareBatch = batch->next;
    } else {
        const size_t bytes =
            sizeof(GxParticleBatch) + static_cast<size_t>(e->maxPtclePerBatch) * e->ptcleClass->objSize;
        batch = static_cast<GxParticleBatch*>(GxMalloc(static_cast<GxUInt32>(bytes), kParticleHint));
        if (!batch) {
            GxErrorRaise(gxPLUGINPARTICLES, gxERRNOMEMORY);
            return nullptr;
        }
        batch->ptcleClass = e->ptcleClass;
        batch->maxPtcles = e->maxPtclePerBatch;
        batch->offset = sizeof(GxParticleBatch);
    }
    batch->numPtcles = 0;
    batch->newPtcleIdx = 0;
    batch->next = nullptr;
    GxParticleBatch** at = &e->liveBatch;
    while (*at) {
        at = &(*at)->next;
    }
    *at = batch;
    return GxParticleRunCallBacks(&GxParticleCallBackSet::batchCreate, e, batch, nullptr) ? batch : nullptr;
}

namespace {

// Each component drawn with its bias, x first.
GxV3d BiasedVector(GxUInt32* seed, const GxV3d& value, const GxV3d& bias)
{
    return {GxParticleRandomBias(seed, value.x, bias.x), GxParticleRandomBias(seed, value.y, bias.y),
            GxParticleRandomBias(seed, value.z, bias.z)};
}

GxV3d BiasedDirection(GxUInt32* seed, const GxV3d& value, const GxV3d& bias)
{
    GxV3d d = BiasedVector(seed, value, bias);
    GxV3dNormalize(&d, &d);
    return d;
}

// A new particle's matrix in the tank: its orientation drawn from the emitter's at and up directions, the right and
// up rows carrying the particle's width and height.
GxMatrix EmitMatrix(const GxParticleEmitterMatrix* orientation, GxUInt32* seed, const GxV3d& position,
                    const GxReal size[2])
{
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    if (orientation) {
        const GxV3d at = BiasedDirection(seed, orientation->at, orientation->atBias);
        GxV3d up = BiasedDirection(seed, orientation->up, orientation->upBias);
        GxV3d right;
        GxV3dCrossProduct(&right, &up, &at);
        GxV3dCrossProduct(&up, &at, &right);
        m.right = right;
        m.up = up;
        m.at = at;
        m.flags = 0;
    }
    m.right = {m.right.x * size[0], m.right.y * size[0], m.right.z * size[0]};
    m.up = {m.up.x * size[1], m.up.y * size[1], m.up.z * size[1]};
    m.pos = position;
    return m;
}

void EmitOne(GxParticleEmitter* e, const Offsets& o, GxParticleEmitterStd* s, GxUInt32* seed, GxUInt8* p,
             GxParticleEmitterTank* t)
{
    auto* base = reinterpret_cast<GxParticleStandard*>(p);
    base->lifeSpan = GxParticleRandomBias(seed, s->emtPtcleLife, s->emtPtcleLifeBias);
    base->life = 0.0f;
    base->oneOverLife = 1.0f / base->lifeSpan;
    base->flag = 0;
    // Draws in this order: life, direction, speed, position. Particles without velocity draw no position and start
    // at the emission position itself.
    GxV3d position = s->emtPos;
    if (auto* velocity = Prop<GxV3d>(p, o.pVelocity)) {
        GxV3d dir = BiasedVector(seed, s->emtInitDir, s->emtInitDirBias);
        GxV3dNormalize(&dir, &dir);
        if (s->ltm) {
            GxV3dTransformVector(&dir, &dir, s->ltm);
        }
        const GxReal speed = GxParticleRandomBias(seed, s->emtInitVel, s->emtInitVelBias);
        *velocity = {dir.x * speed, dir.y * speed, dir.z * speed};
        position = BiasedVector(seed, s->emtPos, s->emtPosBias);
    }
    if (s->ltm) {
        GxV3dTransformPoint(&position, &position, s->ltm);
    }
    if (auto* pos = Prop<GxV3d>(p, o.pPosition)) {
        *pos = position;
    }
    if (auto* m = Prop<GxMatrix>(p, o.pMatrix)) {
        GxMatrixSetIdentity(m);
    }
    GxReal size[2] = {s->ptcleSize[0], s->ptcleSize[1]};
    if (auto* ps = Prop<GxParticleSize>(p, o.pSize)) {
        if (auto* es = Prop<GxParticleEmitterSize>(e, o.size)) {
            for (GxInt32 i = 0; i < 2; i++) {
                size[i] = GxParticleRandomBias(seed, es->start[i], es->startBias[i]);
                ps->delta[i] = GxParticleRandomBias(seed, es->end[i], es->endBias[i]) - size[i];
            }
        }
        for (GxInt32 i = 0; i < 2; i++) {
            ps->start[i] = ps->current[i] = size[i];
        }
    }
    GxReal colour[4] = {static_cast<GxReal>(s->ptcleColor.red), static_cast<GxReal>(s->ptcleColor.green),
                        static_cast<GxReal>(s->ptcleColor.blue), static_cast<GxReal>(s->ptcleColor.alpha)};
    auto* pc = Prop<GxParticleColor>(p, o.pColour);
    auto* ec = Prop<GxParticleEmitterColor>(e, o.colour);
    if (pc && ec) {
        for (GxInt32 i = 0; i < 4; i++) {
            pc->start[i] = colour[i] = GxParticleRandomBias(seed, ec->start[i], ec->startBias[i]);
            pc->delta[i] = GxParticleRandomBias(seed, ec->end[i], ec->endBias[i]) - pc->start[i];
        }
    }
    GxReal angle = 0.0f;
    auto* pr = Prop<GxParticle2DRotate>(p, o.pRotate);
    auto* er = Prop<GxParticleEmitter2DRotate>(e, o.rotate);
    if (pr && er) {
        pr->start = angle = WrapAngle(GxParticleRandomBias(seed, er->start, er->startBias));
        pr->delta = GxParticleRandomBias(seed, er->end, er->endBias) - pr->start;
    }
    GxReal uv[4] = {s->ptcleUV[0], s->ptcleUV[1], s->ptcleUV[2], s->ptcleUV[3]};
    auto* pt = Prop<GxParticleTexCoords>(p, o.pUV);
    auto* et = Prop<GxParticleEmitterTexCoords>(e, o.uv);
    if (pt && et) {
        for (GxInt32 i = 0; i < 4; i++) {
            pt->start[i] = uv[i] = GxParticleRandomBias(seed, et->start[i], et->startBias[i]);
            pt->delta[i] = GxParticleRandomBias(seed, et->end[i], et->endBias[i]) - pt->start[i];
        }
    }
    if (!t) {
        return;
    }
    if (Writes(t, gxPTANKDFLAGPOSITION, t->emitFlags)) {
        Put(t, gxPARTICLESLOTPOSITION, &position, sizeof(position));
    }
    if (Writes(t, gxPTANKDFLAGMATRIX, t->emitFlags)) {
        const GxMatrix m = EmitMatrix(Prop<GxParticleEmitterMatrix>(e, o.matrix), seed, position, size);
        Put(t, gxPARTICLESLOTMATRIX, &m, sizeof(m));
    }
    if (Writes(t, gxPTANKDFLAGSIZE, t->emitFlags)) {
        Put(t, gxPARTICLESLOTSIZE, size, sizeof(size));
    }
    if (Writes(t, gxPTANKDFLAGCOLOR, t->emitFlags)) {
        const GxRGBA c = {TruncatedChannel(colour[0]), TruncatedChannel(colour[1]), TruncatedChannel(colour[2]),
                          TruncatedChannel(colour[3])};
        Put(t, gxPARTICLESLOTCOLOUR, &c, sizeof(c));
    }
    if (Writes(t, gxPTANKDFLAGVTX2TEXCOORDS, t->emitFlags)) {
        Put(t, gxPARTICLESLOTUV, uv, sizeof(uv));
    }
    if (Writes(t, gxPTANKDFLAG2DROTATE, t->emitFlags)) {
        Put(t, gxPARTICLESLOTROTATE, &angle, sizeof(angle));
    }
}

GxParticleBatch* NewestBatch(const GxParticleEmitter* e)
{
    GxParticleBatch* batch = e->liveBatch;
    while (batch && batch->next) {
        batch = batch->next;
    }
    return batch;
}

bool Emit(GxParticleEmitter* e, const Offsets& o)
{
    auto* s = Prop<GxParticleEmitterStd>(e, o.std);
    if (!s || !e->ptcleClass || s->emtEmitTime > s->clock) {
        return true;
    }
    GxUInt32 seed = s->seed;
    const GxReal r = GxParticleRandom(&seed);
    // Counts come from files: the sum is taken wide, where neither the spread nor the addition can overflow.
    const GxReal spread = (2.0f * r - 1.0f) * static_cast<GxReal>(s->emtPtcleEmitCountBias);
    const int64_t wanted = static_cast<int64_t>(s->emtPtcleEmitCount) + static_cast<int64_t>(spread);
    GxInt32 n = static_cast<GxInt32>(std::clamp<int64_t>(wanted, 0, INT32_MAX));
    auto* t = Prop<GxParticleEmitterTank>(e, o.tank);
    GxParticleEmitterTank* tank = t && t->tank ? t : nullptr;
    if (tank && n > tank->maxPCount - e->numPtcles) {
        n = tank->maxPCount - e->numPtcles;
    }
    if (n <= 0) {
        return true;
    }
    GxParticleBatch* batch = NewestBatch(e);
    if (!batch || n > batch->maxPtcles - batch->numPtcles) {
        if (!(batch = GxParticleBatchCreate(e))) {
            return false;
        }
        if (n > batch->maxPtcles) {
            n = batch->maxPtcles;
        }
    }
    GxUInt8* first = GxParticleBatchGetParticles(batch) + static_cast<size_t>(batch->numPtcles) * o.pSizeBytes;
    for (GxInt32 i = 0; i < n; i++) {
        EmitOne(e, o, s, &seed, first + static_cast<size_t>(i) * o.pSizeBytes, tank);
    }
    if (tank) {
        tank->numWritten += n;
    }
    batch->newPtcleIdx = batch->numPtcles;
    batch->numPtcles += n;
    e->numPtcles += n;
    s->seed = seed;
    return true;
}

// ---------------------------------------------------------------------------------------------- update

template <typename T>
void Carry(GxParticleEmitterTank* t, GxInt32 slot, const T& value)
{
    GX_ASSERT(t->dataOut[slot] != nullptr, "a property is written only into a tank that carries it");
    memcpy(t->dataOut[slot], &value, sizeof(T));
}

void CopyEntry(GxParticleEmitterTank* t, GxInt32 slot, size_t size)
{
    if (t->dataOut[slot] != t->dataIn[slot]) {
        memmove(t->dataOut[slot], t->dataIn[slot], size);
    }
}

void UpdateBatch(GxParticleEmitter* e, const Offsets& o, GxParticleBatch* batch, GxReal dt, GxParticleEmitterTank* t)
{
    auto* s = Prop<GxParticleEmitterStd>(e, o.std);
    const GxV3d force = s ? s->force : GxV3d{0.0f, 0.0f, 0.0f};
    const GxV3d origin = s && s->ltm ? s->ltm->pos : GxV3d{0.0f, 0.0f, 0.0f};
    GxUInt8* particles = GxParticleBatchGetParticles(batch);
    GxInt32 kept = 0;
    for (GxInt32 i = 0; i < batch->numPtcles; i++) {
        GxUInt8* p = particles + static_cast<size_t>(i) * o.pSizeBytes;
        auto* base = reinterpret_cast<GxParticleStandard*>(p);
        const bool alive = base->life < base->lifeSpan;
        if (alive) {
            base->life += dt;
            GxReal f = base->life * base->oneOverLife;
            f = f > 1.0f ? 1.0f : f;
            auto* velocity = Prop<GxV3d>(p, o.pVelocity);
            if (velocity) {
                *velocity = {velocity->x + dt * force.x, velocity->y + dt * force.y, velocity->z + dt * force.z};
            }
            if (auto* pos = Prop<GxV3d>(p, o.pPosition); pos && velocity) {
                *pos = {pos->x + dt * velocity->x, pos->y + dt * velocity->y, pos->z + dt * velocity->z};
            }
            auto* ps = Prop<GxParticleSize>(p, o.pSize);
            const GxReal prevSize[2] = {ps ? ps->current[0] : 0.0f, ps ? ps->current[1] : 0.0f};
            if (ps) {
                ps->current[0] = ps->start[0] + f * ps->delta[0];
                ps->current[1] = ps->start[1] + f * ps->delta[1];
            }
            if (t) {
                if (Writes(t, gxPTANKDFLAGPOSITION, t->updateFlags)) {
                    if (velocity) {
                        GxV3d prev;
                        memcpy(&prev, t->dataIn[gxPARTICLESLOTPOSITION], sizeof(prev));
                        const GxV3d next = {prev.x + dt * velocity->x, prev.y + dt * velocity->y,
                                            prev.z + dt * velocity->z};
                        Carry(t, gxPARTICLESLOTPOSITION, next);
                        const GxV3d d = {next.x - origin.x, next.y - origin.y, next.z - origin.z};
                        const GxReal distSq = GxV3dDotProduct(&d, &d);
                        e->radiusSq = distSq > e->radiusSq ? distSq : e->radiusSq;
                    } else {
                        CopyEntry(t, gxPARTICLESLOTPOSITION, sizeof(GxV3d));
                    }
                }
                if (Writes(t, gxPTANKDFLAGMATRIX, t->updateFlags)) {
                    GxMatrix m;
                    memcpy(&m, t->dataIn[gxPARTICLESLOTMATRIX], sizeof(m));
                    if (ps) {
                        const GxReal sx = prevSize[0] != 0.0f ? ps->current[0] / prevSize[0] : 1.0f;
                        const GxReal sy = prevSize[1] != 0.0f ? ps->current[1] / prevSize[1] : 1.0f;
                        m.right = {m.right.x * sx, m.right.y * sx, m.right.z * sx};
                        m.up = {m.up.x * sy, m.up.y * sy, m.up.z * sy};
                    }
                    const auto* orientation = Prop<GxParticleEmitterMatrix>(e, o.matrix);
                    const GxMatrix* turn = Prop<GxMatrix>(p, o.pMatrix);
                    if (!turn && orientation && orientation->useMatrix) {
                        turn = &orientation->matrix;
                    }
                    if (turn) {
                        GxMatrix rows = m;
                        rows.pos = {0.0f, 0.0f, 0.0f};
                        rows.flags = 0;
                        GxMatrix turned;
                        GxMatrixMultiply(&turned, &rows, turn);
                        m.right = turned.right;
                        m.up = turned.up;
                        m.at = turned.at;
                    }
                    if (velocity) {
                        m.pos = {m.pos.x + dt * velocity->x, m.pos.y + dt * velocity->y, m.pos.z + dt * velocity->z};
                    }
                    if (turn) {
                        m.pos = {m.pos.x + turn->pos.x, m.pos.y + turn->pos.y, m.pos.z + turn->pos.z};
                    }
                    const GxV3d d = {m.pos.x - origin.x, m.pos.y - origin.y, m.pos.z - origin.z};
                    const GxReal distSq = GxV3dDotProduct(&d, &d);
                    e->radiusSq = distSq > e->radiusSq ? distSq : e->radiusSq;
                    Carry(t, gxPARTICLESLOTMATRIX, m);
                }
                if (Writes(t, gxPTANKDFLAGSIZE, t->updateFlags)) {
                    if (ps) {
                        Carry(t, gxPARTICLESLOTSIZE, ps->current);
                    } else {
                        CopyEntry(t, gxPARTICLESLOTSIZE, 2 * sizeof(GxReal));
                    }
                }
                if (Writes(t, gxPTANKDFLAGCOLOR, t->updateFlags)) {
                    if (auto* pc = Prop<GxParticleColor>(p, o.pColour)) {
                        const GxRGBA c = {
                            Channel(pc->start[0] + f * pc->delta[0]), Channel(pc->start[1] + f * pc->delta[1]),
                            Channel(pc->start[2] + f * pc->delta[2]), Channel(pc->start[3] + f * pc->delta[3])};
                        Carry(t, gxPARTICLESLOTCOLOUR, c);
                    } else {
                        CopyEntry(t, gxPARTICLESLOTCOLOUR, sizeof(GxRGBA));
                    }
                }
                if (Writes(t, gxPTANKDFLAGVTX2TEXCOORDS, t->updateFlags)) {
                    if (auto* pt = Prop<GxParticleTexCoords>(p, o.pUV)) {
                        GxReal uv[4];
                        for (GxInt32 k = 0; k < 4; k++) {
                            uv[k] = pt->start[k] + f * pt->delta[k];
                        }
                        Carry(t, gxPARTICLESLOTUV, uv);
                    } else {
                        CopyEntry(t, gxPARTICLESLOTUV, 4 * sizeof(GxReal));
                    }
                }
                if (Writes(t, gxPTANKDFLAG2DROTATE, t->updateFlags)) {
                    if (auto* pr = Prop<GxParticle2DRotate>(p, o.pRotate)) {
                        Carry(t, gxPARTICLESLOTROTATE, pr->start + f * pr->delta);
                    } else {
                        CopyEntry(t, gxPARTICLESLOTROTATE, sizeof(GxReal));
                    }
                }
                for (GxInt32 slot = 0; slot < gxPARTICLETANKSLOTS; slot++) {
                    t->dataOut[slot] += t->dataStride[slot];
                }
            }
            if (kept != i) {
                memcpy(particles + static_cast<size_t>(kept) * o.pSizeBytes, p, static_cast<size_t>(o.pSizeBytes));
            }
            kept++;
        }
        if (t) {
            for (GxInt32 slot = 0; slot < gxPARTICLETANKSLOTS; slot++) {
                t->dataIn[slot] += t->dataStride[slot];
            }
        }
    }
    batch->numPtcles = kept;
    if (t) {
        t->numWritten += kept;
    }
}

void BeginUpdate(GxAtomic* atomic, GxParticleEmitter* e, const Offsets& o, GxReal dt)
{
    auto* s = Prop<GxParticleEmitterStd>(e, o.std);
    if (!s) {
        return;
    }
    auto* frame = atomic ? static_cast<GxFrame*>(atomic->object.object.parent) : nullptr;
    s->ltm = frame ? GxFrameGetWorldMatrix(frame) : nullptr;
    s->clock += dt;
    auto* t = Prop<GxParticleEmitterTank>(e, o.tank);
    if (t && t->tank && (t->updateFlags & gxPTANKDFLAGCNS2DROTATE)) {
        GxParticleTank* record = GxParticleTankGet(t->tank);
        record->cRotate = WrapAngle(record->cRotate + dt * s->tankRotSpeed);
        record->updateFlags |= gxPTANKDFLAGCNS2DROTATE;
    }
}

void EndUpdate(GxParticleEmitter* e, const Offsets& o)
{
    auto* s = Prop<GxParticleEmitterStd>(e, o.std);
    if (!s || s->emtEmitTime > s->clock) {
        return;
    }
    s->emtPrevEmitTime = s->clock;
    GxParticleRandom(&s->seed);
    s->emtEmitTime = s->clock + GxParticleRandomBias(&s->seed, s->emtEmitGap, s->emtEmitGapBias);
}

// ---------------------------------------------------------------------------------------------- atomics and plugin

void* AtomicConstruct(void* object, GxInt32, GxInt32)
{
    EmittersOf(static_cast<GxAtomic*>(object)) = nullptr;
    return object;
}

void* ModuleOpen(void* instance, GxInt32, GxInt32) { return instance; }

}  // namespace

void* GxParticleAtomicDestructor(void* object, GxInt32, GxInt32)
{
    GxParticleEmitter*& list = EmittersOf(static_cast<GxAtomic*>(object));
    while (GxParticleEmitter* e = list) {
        list = e->next;
        GxParticleEmitterDestroy(e);
    }
    return object;
}

// Copying a particle atomic gives the copy clones of its emitters, with their settings but no particles.
void* GxParticleAtomicCopy(void* dst, const void* src, GxInt32, GxInt32)
{
    auto* copy = static_cast<GxAtomic*>(dst);
    for (GxParticleEmitter* e = EmittersOf(static_cast<const GxAtomic*>(src)); e; e = e->next) {
        GxParticleEmitter* clone = GxParticleEmitterClone(e);
        if (!clone) {
            return nullptr;
        }
        GxParticleAtomicAddEmitter(copy, clone);
    }
    return dst;
}

void* GxParticlePluginClose(void* instance, GxInt32, GxInt32)
{
    while (emitterClasses) {
        emitterClasses->refCount = 1;
        ClassDestroy(emitterClasses, emitterClasses);
    }
    while (particleClasses) {
        particleClasses->refCount = 1;
        ClassDestroy(particleClasses, particleClasses);
    }
    while (tables) {
        tables->refCount = 1;
        TableDestroy(tables);
    }
    cache = kEmptyCache;
    return instance;
}

void GxParticleEmitterFreeBatches(GxParticleEmitter* e)
{
    for (GxParticleBatch* batch = e->liveBatch; batch; batch = batch->next) {
        GxParticleRunCallBacks(&GxParticleCallBackSet::batchDestroy, e, batch, nullptr);
    }
    for (GxParticleBatch** list : {&e->liveBatch, &e->spareBatch}) {
        while (GxParticleBatch* batch = *list) {
            *list = batch->next;
            GxFree(batch);
        }
    }
}

GxInt32 GxParticleStoredPropertySize(bool emitter, GxInt32 id)
{
    constexpr GxInt32 kEmitterSizes[] = {40, 172, 64, 64, 16, 32, 52, 0, 116};
    constexpr GxInt32 kParticleSizes[] = {16, 12, 32, 32, 8, 32, 12, 64};
    if (emitter) {
        return id >= 0 && id < static_cast<GxInt32>(sizeof(kEmitterSizes) / sizeof(GxInt32)) ? kEmitterSizes[id] : 0;
    }
    return id >= 0 && id < static_cast<GxInt32>(sizeof(kParticleSizes) / sizeof(GxInt32)) ? kParticleSizes[id] : 0;
}

GxUInt32 GxParticleMaxBatch(void) { return kMaxBatch; }

GxReal GxParticleRandom(GxUInt32* state)
{
    *state = *state * kRandomMultiplier + kRandomIncrement;
    return static_cast<GxReal>(*state) * kTwoToMinus32;
}

GxReal GxParticleRandomBias(GxUInt32* state, GxReal value, GxReal bias)
{
    return value + (2.0f * GxParticleRandom(state) - 1.0f) * bias;
}

GxBool GxParticlePluginAttach(void)
{
    if (GxEngineRegisterPlugin(0, gxPLUGINPARTICLES, ModuleOpen, GxParticlePluginClose) < 0) {
        return 0;
    }
    cache = kEmptyCache;
    atomicOffset = GxAtomicRegisterPlugin(sizeof(GxParticleEmitter*), gxPLUGINPARTICLES, AtomicConstruct,
                                          GxParticleAtomicDestructor, GxParticleAtomicCopy);
    return atomicOffset >= 0 &&
           GxAtomicRegisterPluginStream(gxPLUGINPARTICLES, GxParticleAtomicStreamRead, GxParticleAtomicStreamWrite,
                                        GxParticleAtomicStreamGetSize) >= 0;
}

bool GxParticleEmitterRunCallBacks(GxParticleEmitterCallBack GxParticleEmitterCallBackSet::*member, GxAtomic* atomic,
                                   GxParticleEmitter* emitter, void* data)
{
    const GxParticleEmitterClass* c = emitter->emtClass;
    for (GxInt32 i = 0; i < c->numCallBackSets; i++) {
        const GxParticleEmitterCallBack callBack = c->emitterCallBacks[i].*member;
        if (callBack && !callBack(atomic, emitter, data)) {
            return false;
        }
    }
    return true;
}

bool GxParticleRunCallBacks(GxParticleCallBack GxParticleCallBackSet::*member, GxParticleEmitter* emitter,
                            GxParticleBatch* batch, void* data)
{
    const GxParticleClass* c = batch->ptcleClass;
    for (GxInt32 i = 0; c && i < c->numCallBackSets; i++) {
        const GxParticleCallBack callBack = c->particleCallBacks[i].*member;
        if (callBack && !callBack(emitter, batch, data)) {
            return false;
        }
    }
    return true;
}

GxParticleEmitterClass* GxParticleEmitterClassSetCallBacks(GxParticleEmitterClass* emitterClass,
                                                           const GxParticleEmitterCallBackSet* sets, GxInt32 count)
{
    GX_ASSERT(emitterClass && count >= 0 && (count == 0 || sets), "a class is given its callback sets");
    GxParticleEmitterCallBackSet* copy = count > 0 ? CopySets(sets, count) : nullptr;
    if (count > 0 && !copy) {
        return nullptr;
    }
    FreeCallBacks(emitterClass);
    emitterClass->emitterCallBacks = copy;
    emitterClass->numCallBackSets = count;
    return emitterClass;
}

GxParticleClass* GxParticleClassSetCallBacks(GxParticleClass* particleClass, const GxParticleCallBackSet* sets,
                                             GxInt32 count)
{
    GX_ASSERT(particleClass && count >= 0 && (count == 0 || sets), "a class is given its callback sets");
    GxParticleCallBackSet* copy = count > 0 ? CopySets(sets, count) : nullptr;
    if (count > 0 && !copy) {
        return nullptr;
    }
    FreeCallBacks(particleClass);
    particleClass->particleCallBacks = copy;
    particleClass->numCallBackSets = count;
    return particleClass;
}

GxParticleEmitterClass* GxParticleEmitterClassSetStdCallbacks(GxParticleEmitterClass* emitterClass)
{
    static const GxParticleEmitterCallBackSet standard = {
        GxParticleStdEmit,
        GxParticleStdEmitterBeginUpdate,
        GxParticleStdEmitterEndUpdate,
        GxParticleStdEmitterBeforeRender,
        nullptr,
        GxParticleStdEmitterCreate,
        GxParticleStdEmitterDestroy,
        GxParticleStdEmitterStreamRead,
        GxParticleStdEmitterStreamWrite,
        GxParticleStdEmitterStreamGetSize,
        GxParticleStdEmitterClone,
    };
    return GxParticleEmitterClassSetCallBacks(emitterClass, &standard, 1);
}

GxParticleClass* GxParticleClassSetStdCallbacks(GxParticleClass* particleClass)
{
    static const GxParticleCallBackSet standard = {GxParticleStdUpdate, nullptr, nullptr, nullptr, {}};
    return GxParticleClassSetCallBacks(particleClass, &standard, 1);
}

GxParticleEmitter* GxParticleStdEmit(GxAtomic*, GxParticleEmitter* emitter, void*)
{
    return Emit(emitter, LookUp(emitter)) ? emitter : nullptr;
}

GxParticleEmitter* GxParticleStdEmitterBeginUpdate(GxAtomic* atomic, GxParticleEmitter* emitter, void* data)
{
    const GxReal dt = data ? static_cast<GxParticleUpdateData*>(data)->deltaT : 0.0f;
    BeginUpdate(atomic, emitter, LookUp(emitter), dt);
    return emitter;
}

GxParticleEmitter* GxParticleStdEmitterEndUpdate(GxAtomic*, GxParticleEmitter* emitter, void*)
{
    EndUpdate(emitter, LookUp(emitter));
    return emitter;
}

GxParticleBatch* GxParticleStdUpdate(GxParticleEmitter* emitter, GxParticleBatch* batch, void* data)
{
    const Offsets o = LookUp(emitter);
    auto* t = Prop<GxParticleEmitterTank>(emitter, o.tank);
    const GxReal dt = data ? static_cast<GxParticleUpdateData*>(data)->deltaT : 0.0f;
    UpdateBatch(emitter, o, batch, dt, t && t->tank ? t : nullptr);
    return batch;
}

// Live particles are drawn through the tank property; drawing them without one is a failure.
GxParticleEmitter* GxParticleStdEmitterBeforeRender(GxAtomic*, GxParticleEmitter* emitter, void*)
{
    if (emitter->numPtcles == 0) {
        return emitter;
    }
    auto* t =
        static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPTANK));
    if (!t || (t->numWritten > 0 && !t->tank)) {
        GxErrorRaise(gxPLUGINPARTICLES, GxErrorMakeCode(gxPARTICLEERRBADDATA, "live particles without a tank"));
        return nullptr;
    }
    return t->numWritten > 0 && !t->tank->renderCallBack(t->tank) ? nullptr : emitter;
}

GxParticleEmitter* GxParticleStdEmitterCreate(GxAtomic*, GxParticleEmitter* emitter, void*)
{
    if (auto* s = Prop<GxParticleEmitterStd>(emitter, LookUp(emitter).std)) {
        s->seed = 1;
        s->ptcleSize[0] = s->ptcleSize[1] = 1.0f;
        s->ptcleColor = {255, 255, 255, 255};
        const GxReal uv[8] = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        memcpy(s->ptcleUV, uv, sizeof(uv));
    }
    emitter->flags = gxPRTSTDEMITTERFLAGSDEFAULT;
    return emitter;
}

GxParticleEmitter* GxParticleStdEmitterDestroy(GxAtomic*, GxParticleEmitter* emitter, void*)
{
    if (auto* s = Prop<GxParticleEmitterStd>(emitter, LookUp(emitter).std); s && s->texture) {
        GxTextureDestroy(s->texture);
        s->texture = nullptr;
    }
    return emitter;
}

// The clone gets the source's properties (its own reference on the texture) and tank settings, never the tank.
GxParticleEmitter* GxParticleStdEmitterClone(GxAtomic*, GxParticleEmitter* emitter, void* data)
{
    auto* clone = static_cast<GxParticleEmitter*>(data);
    const Offsets o = LookUp(emitter);
    if (auto* s = Prop<GxParticleEmitterStd>(emitter, o.std)) {
        auto* c = Prop<GxParticleEmitterStd>(clone, o.std);
        *c = *s;
        c->ltm = nullptr;
        if (c->texture) {
            GxTextureAddRef(c->texture);
        }
    }
    const auto copy = [&](GxInt32 offset, size_t bytes) {
        if (offset >= 0) {
            memcpy(reinterpret_cast<GxUInt8*>(clone) + offset, reinterpret_cast<GxUInt8*>(emitter) + offset, bytes);
        }
    };
    copy(o.colour, sizeof(GxParticleEmitterColor));
    copy(o.uv, sizeof(GxParticleEmitterTexCoords));
    copy(o.matrix, sizeof(GxParticleEmitterMatrix));
    copy(o.size, sizeof(GxParticleEmitterSize));
    copy(o.rotate, sizeof(GxParticleEmitter2DRotate));
    if (auto* tank = Prop<GxParticleEmitterTank>(emitter, o.tank)) {
        GxPTankPropertyCopy(Prop<GxParticleEmitterTank>(clone, o.tank), tank);
    }
    return emitter;
}

GxParticlePropertyTable* GxParticlePropertyTableCreate(GxInt32 count, const GxInt32* ids, const GxInt32* sizes)
{
    return TableCreate(count, ids, sizes);
}

void GxParticlePropertyTableDestroy(GxParticlePropertyTable* table) { TableDestroy(table); }

GxParticleClassBase* GxParticleClassWithTable(bool emitter, GxUInt32 id, GxParticlePropertyTable* table)
{
    return ClassWithTable(emitter ? emitterClasses : particleClasses, id, table, emitter);
}

GxInt32 GxParticlePropertySize(bool emitter, GxInt32 id)
{
    if (id == 0) {
        return static_cast<GxInt32>(emitter ? sizeof(GxParticleEmitter) : sizeof(GxParticleStandard));
    }
    return emitter ? SpecSize(kEmitterProps, id) : SpecSize(kParticleProps, id);
}

GxParticleEmitterClass* GxParticleEmitterClassCreate(GxUInt32 flags)
{
    return ClassCreate(emitterClasses, flags, sizeof(GxParticleEmitter), kEmitterProps, true);
}

GxBool GxParticleEmitterClassDestroy(GxParticleEmitterClass* emitterClass)
{
    return ClassDestroy(emitterClasses, emitterClass);
}

GxParticleClass* GxParticleClassCreate(GxUInt32 flags)
{
    return ClassCreate(particleClasses, flags, sizeof(GxParticleStandard), kParticleProps, false);
}

GxBool GxParticleClassDestroy(GxParticleClass* particleClass) { return ClassDestroy(particleClasses, particleClass); }

GxInt32 GxParticlePropertyGetIndex(const GxParticlePropertyTable* table, GxInt32 id)
{
    for (GxInt32 i = 0; i < table->numProp; i++) {
        if (table->propID[i] == id) {
            return i;
        }
    }
    return -1;
}

GxInt32 GxParticlePropertyGetOffset(const GxParticlePropertyTable* table, GxInt32 id)
{
    const GxInt32 i = GxParticlePropertyGetIndex(table, id);
    return i < 0 ? -1 : table->propOffset[i];
}

GxParticleEmitter* GxParticleEmitterCacheOffsets(GxParticleEmitter* emitter)
{
    const GxParticlePropertyTable* t = emitter->emtClass->propTab;
    Offsets& o = cache.offsets;
    if (t != cache.emitterTable) {
        cache.emitterTable = t;
        o.std = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERSTANDARD);
        o.colour = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR);
        o.uv = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERPRTTEXCOORDS);
        o.size = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE);
        o.tank = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERPTANK);
        o.matrix = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX);
        o.rotate = GxParticlePropertyGetOffset(t, gxPRTSTDPROPERTYCODEEMITTERPRT2DROTATE);
    }
    const GxParticlePropertyTable* p = emitter->ptcleClass ? emitter->ptcleClass->propTab : nullptr;
    if (p != cache.particleTable) {
        cache.particleTable = p;
        const auto at = [p](GxInt32 id) { return p ? GxParticlePropertyGetOffset(p, id) : -1; };
        o.pVelocity = at(gxPRTSTDPROPERTYCODEPARTICLEVELOCITY);
        o.pPosition = at(gxPRTSTDPROPERTYCODEPARTICLEPOSITION);
        o.pColour = at(gxPRTSTDPROPERTYCODEPARTICLECOLOR);
        o.pUV = at(gxPRTSTDPROPERTYCODEPARTICLETEXCOORDS);
        o.pSize = at(gxPRTSTDPROPERTYCODEPARTICLESIZE);
        o.pRotate = at(gxPRTSTDPROPERTYCODEPARTICLE2DROTATE);
        o.pMatrix = at(gxPRTSTDPROPERTYCODEPARTICLEMATRIX);
        o.pSizeBytes = p ? p->propOffset[p->numProp] : 0;
    }
    return emitter;
}

void* GxParticleEmitterGetProperty(GxParticleEmitter* emitter, GxInt32 id)
{
    return Prop<void>(emitter, GxParticlePropertyGetOffset(emitter->emtClass->propTab, id));
}

GxUInt8* GxParticleBatchGetParticles(GxParticleBatch* batch)
{
    return reinterpret_cast<GxUInt8*>(batch) + batch->offset;
}

GxParticleEmitter* GxParticleEmitterCreate(GxParticleEmitterClass* emitterClass, void* data)
{
    GX_ASSERT(emitterClass, "an emitter is made of a class");
    auto* e = static_cast<GxParticleEmitter*>(GxMalloc(static_cast<GxUInt32>(emitterClass->objSize), kParticleHint));
    if (!e) {
        GxErrorRaise(gxPLUGINPARTICLES, gxERRNOMEMORY);
        return nullptr;
    }
    if (!GxParticleEmitterInit(e, emitterClass, data)) {
        GxParticleEmitterDestroy(e);
        return nullptr;
    }
    return e;
}

GxParticleEmitter* GxParticleEmitterInit(GxParticleEmitter* emitter, GxParticleEmitterClass* emitterClass, void* data)
{
    memset(emitter, 0, static_cast<size_t>(emitterClass->objSize));
    emitter->emtClass = emitterClass;
    emitterClass->refCount++;
    if (auto* tank = Prop<GxParticleEmitterTank>(emitter, LookUp(emitter).tank)) {
        GxPTankPropertyInit(tank);
    }
    return GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::create, nullptr, emitter, data) ? emitter
                                                                                                        : nullptr;
}

GxBool GxParticleEmitterDeinit(GxParticleEmitter* emitter)
{
    GxParticleEmitterFreeBatches(emitter);
    if (!GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::destroy, emitter->atomic, emitter, nullptr)) {
        return 0;
    }
    if (auto* tank = Prop<GxParticleEmitterTank>(emitter, LookUp(emitter).tank)) {
        GxPTankPropertyDestroy(tank);
    }
    GxParticleEmitterClass* emitterClass = emitter->emtClass;
    GxParticleClass* particleClass = emitter->ptcleClass;
    memset(emitter, 0, sizeof(*emitter));
    GxParticleEmitterClassDestroy(emitterClass);
    GxParticleClassDestroy(particleClass);
    return 1;
}

GxBool GxParticleEmitterDestroy(GxParticleEmitter* emitter)
{
    GX_ASSERT(emitter, "an emitter is destroyed");
    if (!GxParticleEmitterDeinit(emitter)) {
        return 0;
    }
    GxFree(emitter);
    return 1;
}

GxParticleEmitter* GxParticleEmitterClone(GxParticleEmitter* emitter)
{
    GX_ASSERT(emitter, "an emitter is cloned");
    GxParticleEmitter* clone = GxParticleEmitterCreate(emitter->emtClass, nullptr);
    if (!clone) {
        return nullptr;
    }
    clone->flags = emitter->flags;
    if ((emitter->ptcleClass &&
         !GxParticleEmitterSetParticleClass(clone, emitter->ptcleClass, emitter->maxPtclePerBatch)) ||
        !GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::clone, nullptr, emitter, clone)) {
        GxParticleEmitterDestroy(clone);
        return nullptr;
    }
    return clone;
}

GxParticleEmitter* GxParticleEmitterSetParticleClass(GxParticleEmitter* emitter, GxParticleClass* particleClass,
                                                     GxInt32 maxPtclePerBatch)
{
    GX_ASSERT(emitter && particleClass && maxPtclePerBatch >= 1 && static_cast<GxUInt32>(maxPtclePerBatch) <= kMaxBatch,
              "an emitter is given a particle class and a batch size a stream reader has checked");
    GxParticleEmitterFreeBatches(emitter);
    emitter->numPtcles = 0;
    particleClass->refCount++;
    GxParticleClassDestroy(emitter->ptcleClass);
    emitter->ptcleClass = particleClass;
    emitter->maxPtclePerBatch = maxPtclePerBatch;
    return emitter;
}

GxParticleEmitter* GxParticleEmitterUpdate(GxAtomic* atomic, GxParticleEmitter* e, GxParticleUpdateData* data)
{
    if (!(e->flags & gxPRTSTDEMITTERFLAGALIVE)) {
        return e;
    }
    const Offsets o = LookUp(e);
    auto* t = Prop<GxParticleEmitterTank>(e, o.tank);
    if ((e->flags & gxPRTSTDEMITTERFLAGACTIVE) && t && !GxPTankPropertyCreateTank(e)) {
        return nullptr;
    }
    GxParticleEmitterTank* tank = t && t->tank ? t : nullptr;
    if ((e->flags & gxPRTSTDEMITTERFLAGUPDATE) &&
        !GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::beginUpdate, atomic, e, data)) {
        return nullptr;
    }
    if (atomic && (atomic->interpolator.flags & gxINTERPOLATORDIRTYSPHERE)) {
        GxAtomicInterpolateBoundingSphere(atomic);
    }
    e->radiusSq = 0.0f;
    bool locked = false;
    if ((e->flags & gxPRTSTDEMITTERFLAGUPDATEPARTICLE) && e->liveBatch) {
        if (tank) {
            GxPTankPropertyLockArrays(tank);
            tank->numWritten = 0;
            locked = true;
        }
        GxInt32 total = 0;
        GxParticleBatch** at = &e->liveBatch;
        while (GxParticleBatch* batch = *at) {
            batch->newPtcleIdx = -1;
            if (batch->numPtcles == 0) {
                if (!GxParticleRunCallBacks(&GxParticleCallBackSet::batchDestroy, e, batch, data)) {
                    return nullptr;
                }
                *at = batch->next;
                batch->next = e->spareBatch;
                e->spareBatch = batch;
                continue;
            }
            if (!GxParticleRunCallBacks(&GxParticleCallBackSet::update, e, batch, data)) {
                return nullptr;
            }
            total += batch->numPtcles;
            at = &batch->next;
        }
        e->numPtcles = total;
    }
    if (tank && !locked) {
        GxPTankPropertyLockArrays(tank);
        for (GxInt32 slot = 0; slot < gxPARTICLETANKSLOTS; slot++) {
            tank->dataIn[slot] += tank->dataStride[slot] * tank->numWritten;
            tank->dataOut[slot] += tank->dataStride[slot] * tank->numWritten;
        }
        locked = true;
    }
    if ((e->flags & gxPRTSTDEMITTERFLAGEMIT) &&
        !GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::emit, atomic, e, data)) {
        return nullptr;
    }
    if (locked) {
        GxParticleTankSetCount(tank->tank, tank->numWritten);
        GxParticleTankUnlock(tank->tank);
    }
    if ((e->flags & gxPRTSTDEMITTERFLAGUPDATE) &&
        !GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::endUpdate, atomic, e, data)) {
        return nullptr;
    }
    if (atomic && e->radiusSq > 0.0f) {
        const GxReal radius = std::sqrt(e->radiusSq);
        if (radius > atomic->boundingSphere.radius) {
            atomic->boundingSphere.radius = radius;
        }
    }
    return e;
}

GxParticleEmitter* GxParticleEmitterRender(GxAtomic* atomic, GxParticleEmitter* e, void* data)
{
    if (!(e->flags & gxPRTSTDEMITTERFLAGALIVE)) {
        return e;
    }
    GxParticleEmitterCacheOffsets(e);
    const bool callbacks = (e->flags & gxPRTSTDEMITTERFLAGRENDER) != 0;
    if (callbacks && !GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::beforeRender, atomic, e, data)) {
        return nullptr;
    }
    if (e->flags & gxPRTSTDEMITTERFLAGRENDERPARTICLE) {
        for (GxParticleBatch* batch = e->liveBatch; batch; batch = batch->next) {
            if (!GxParticleRunCallBacks(&GxParticleCallBackSet::render, e, batch, data)) {
                return nullptr;
            }
        }
    }
    if (callbacks && !GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::afterRender, atomic, e, data)) {
        return nullptr;
    }
    return e;
}

GxAtomic* GxParticleAtomicRender(GxAtomic* atomic)
{
    for (GxParticleEmitter* e = GxParticleAtomicGetEmitters(atomic); e; e = e->next) {
        if (!GxParticleEmitterRender(atomic, e, nullptr)) {
            return nullptr;
        }
    }
    return atomic;
}

GxAtomic* GxParticleAtomicCreate(GxParticleEmitterClass* emitterClass, void* data)
{
    GX_ASSERT(Attached(), "particle atomics are made in an engine with the plugin");
    GxParticleEmitter* emitter = GxParticleEmitterCreate(emitterClass, data);
    GxGeometry* geometry = emitter ? GxGeometryCreateEmpty(0.0f) : nullptr;
    GxAtomic* atomic = geometry ? GxAtomicCreate() : nullptr;
    if (!atomic) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
        if (emitter) {
            GxParticleEmitterDestroy(emitter);
        }
        return nullptr;
    }
    GxParticleAtomicAddEmitter(atomic, emitter);
    GxAtomicSetRenderCallBack(atomic, GxParticleAtomicRender);
    // The empty geometry carries the bounding sphere the updates keep.
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    return atomic;
}

GxParticleEmitter* GxParticleAtomicGetEmitters(const GxAtomic* atomic)
{
    GX_ASSERT(atomic && Attached(), "the emitters of an atomic of an engine with the plugin");
    return EmittersOf(atomic);
}

GxAtomic* GxParticleAtomicAddEmitter(GxAtomic* atomic, GxParticleEmitter* emitter)
{
    GX_ASSERT(atomic && emitter && Attached(), "an emitter is added to an atomic of an engine with the plugin");
    GxParticleEmitter** at = &EmittersOf(atomic);
    while (*at) {
        at = &(*at)->next;
    }
    *at = emitter;
    emitter->next = nullptr;
    emitter->atomic = atomic;
    return atomic;
}

GxAtomic* GxParticleAtomicUpdate(GxAtomic* atomic, GxParticleUpdateData* data)
{
    GxParticleEmitter* e = GxParticleAtomicGetEmitters(atomic);
    if (!e) {
        return nullptr;
    }
    if (atomic->interpolator.flags & gxINTERPOLATORDIRTYSPHERE) {
        GxAtomicInterpolateBoundingSphere(atomic);
    }
    // The emitters grow the sphere to reach their farthest particle; culling then sees where the particles went.
    atomic->boundingSphere.radius = 0.0f;
    for (; e; e = e->next) {
        if (!GxParticleEmitterUpdate(atomic, e, data)) {
            return nullptr;
        }
    }
    GxGeometry* geometry = atomic->geometry;
    if (geometry && geometry->numMorphTargets > 0) {
        geometry->morphTarget[0].boundingSphere = atomic->boundingSphere;
    }
    atomic->object.object.privateFlags |= gxATOMICSPHEREDIRTY;
    return atomic;
}
