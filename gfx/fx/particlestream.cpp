// The particle atomic's extension stream: emitters with their class definitions and property blocks.
#include <cstring>
#include <initializer_list>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/fx/particles.h"
#include "gfx/fx/particles_local.h"

namespace {

constexpr GxUInt32 kStreamVersion = 3;
// Streams before version 3 store no tank rotation speed.
constexpr GxUInt32 kOldestVersion = 2;
constexpr GxUInt32 kVersionShift = 24;
constexpr GxUInt32 kCountMask = 0xFFFFFF;
constexpr GxUInt32 kEmitterWords = 5;
constexpr GxUInt32 kWord = 4;
constexpr GxUInt32 kClassBody = 8;
constexpr GxUInt32 kTableHead = 8;
constexpr GxUInt32 kStdBody = 152;
constexpr GxUInt32 kFloatBlock16 = 64;
constexpr GxUInt32 kFloatBlock8 = 32;
constexpr GxUInt32 kFloatBlock4 = 16;
// The matrix chunk: a struct chunk of right, up, at and position and the two low type bits.
constexpr GxUInt32 kMatrixData = 52;
constexpr GxUInt32 kMatrixTypeBits = gxMATRIXTYPEORTHONORMAL;
// The orientation property: the matrix chunk, then at, its bias, up, its bias and the use-matrix flag.
constexpr GxUInt32 kOrientationTail = 13 * kWord;
// Property blocks in the order the standard callbacks write them.
constexpr GxInt32 kStreamOrder[] = {
    gxPRTSTDPROPERTYCODEEMITTERSTANDARD,  gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR, gxPRTSTDPROPERTYCODEEMITTERPRTTEXCOORDS,
    gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE,  gxPRTSTDPROPERTYCODEEMITTERPRT2DROTATE,
    gxPRTSTDPROPERTYCODEEMITTERPTANK,
};

GxUInt32 readVersion = 0;

void Refuse(const char* message) { GxErrorRaise(gxPLUGINPARTICLES, GxErrorMakeCode(gxPARTICLEERRBADDATA, message)); }

bool Put(GxStream* s, const void* words, GxUInt32 bytes) { return GxStreamWriteInt32(s, words, bytes) != nullptr; }

bool Get(GxStream* s, void* words, GxUInt32 bytes) { return GxStreamReadInt32(s, words, bytes) != nullptr; }

GxUInt32 TableBody(const GxParticlePropertyTable* t)
{
    return kTableHead + 2 * kWord * static_cast<GxUInt32>(t->numProp);
}

bool WriteTable(GxStream* s, const GxParticlePropertyTable* t, bool emitter)
{
    if (!GxStreamWriteChunkHeader(s, gxID_PARTICLEPROPERTIES, TableBody(t), gxLIBRARYVERSION, gxLIBRARYBUILD)) {
        return false;
    }
    const GxUInt32 head[2] = {static_cast<GxUInt32>(t->key), static_cast<GxUInt32>(t->numProp)};
    if (!Put(s, head, sizeof(head)) || !Put(s, t->propID, kWord * static_cast<GxUInt32>(t->numProp))) {
        return false;
    }
    for (GxInt32 i = 0; i < t->numProp; i++) {
        const GxUInt32 size = static_cast<GxUInt32>(GxParticleStoredPropertySize(emitter, t->propID[i]));
        if (!Put(s, &size, sizeof(size))) {
            return false;
        }
    }
    return true;
}

bool WriteClass(GxStream* s, const GxParticleClassBase* c)
{
    const GxUInt32 body[2] = {c->id, static_cast<GxUInt32>(c->propTab->key)};
    return GxStreamWriteChunkHeader(s, gxID_PARTICLEPROPERTIES, kClassBody, gxLIBRARYVERSION, gxLIBRARYBUILD) &&
           Put(s, body, sizeof(body));
}

GxUInt32 StdBody(const GxParticleEmitterStd* p)
{
    return kStdBody + (p->texture ? gxCHUNKHEADERSIZE + GxTextureStreamGetSize(p->texture) : 0) + kWord;
}

GxUInt32 PropertyBody(GxParticleEmitter* e, GxInt32 id)
{
    void* p = GxParticleEmitterGetProperty(e, id);
    if (!p) {
        return 0;
    }
    switch (id) {
    case gxPRTSTDPROPERTYCODEEMITTERSTANDARD:
        return StdBody(static_cast<GxParticleEmitterStd*>(p));
    case gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR:
    case gxPRTSTDPROPERTYCODEEMITTERPRTTEXCOORDS:
        return kFloatBlock16;
    case gxPRTSTDPROPERTYCODEEMITTERPRTSIZE:
        return kFloatBlock8;
    case gxPRTSTDPROPERTYCODEEMITTERPRT2DROTATE:
        return kFloatBlock4;
    case gxPRTSTDPROPERTYCODEEMITTERPTANK:
        return GxPTankPropertyStreamGetSize(static_cast<GxParticleEmitterTank*>(p));
    case gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX:
        return gxCHUNKHEADERSIZE + GxMatrixStreamGetSize() + kOrientationTail;
    default:
        return 0;
    }
}

bool WriteStd(GxStream* s, const GxParticleEmitterStd* p)
{
    const GxUInt32 head[2] = {p->seed, static_cast<GxUInt32>(p->maxPTank)};
    GxUInt32 colour = 0;
    memcpy(&colour, &p->ptcleColor, sizeof(colour));
    const GxUInt32 packed = static_cast<GxUInt32>(p->ptcleColor.red) << 24 |
                            static_cast<GxUInt32>(p->ptcleColor.green) << 16 |
                            static_cast<GxUInt32>(p->ptcleColor.blue) << 8 | p->ptcleColor.alpha;
    const GxUInt32 hasTexture = p->texture ? 1 : 0;
    return Put(s, head, sizeof(head)) && Put(s, &p->force, 9 * kWord) && Put(s, &p->emtEmitGap, 2 * kWord) &&
           Put(s, &p->emtPtcleEmitCount, 2 * kWord) && Put(s, &p->emtInitVel, 4 * kWord) &&
           Put(s, &p->emtInitDir, 6 * kWord) && Put(s, p->ptcleSize, 2 * kWord) && Put(s, &colour, kWord) &&
           Put(s, &packed, kWord) && Put(s, p->ptcleUV, 8 * kWord) && Put(s, &hasTexture, kWord) &&
           (!p->texture || GxTextureStreamWrite(p->texture, s)) && Put(s, &p->tankRotSpeed, kWord);
}

bool ReadStd(GxStream* s, GxParticleEmitterStd* p)
{
    GxUInt32 head[2];
    GxUInt32 colourWords[2];
    GxUInt32 hasTexture = 0;
    if (!Get(s, head, sizeof(head)) || !Get(s, &p->force, 9 * kWord) || !Get(s, &p->emtEmitGap, 2 * kWord) ||
        !Get(s, &p->emtPtcleEmitCount, 2 * kWord) || !Get(s, &p->emtInitVel, 4 * kWord) ||
        !Get(s, &p->emtInitDir, 6 * kWord) || !Get(s, p->ptcleSize, 2 * kWord) ||
        !Get(s, colourWords, sizeof(colourWords)) || !Get(s, p->ptcleUV, 8 * kWord) || !Get(s, &hasTexture, kWord)) {
        return false;
    }
    p->seed = head[0];
    p->maxPTank = static_cast<GxInt32>(head[1]);
    const GxUInt32 packed = colourWords[1];
    p->ptcleColor = {static_cast<GxUInt8>(packed >> 24), static_cast<GxUInt8>(packed >> 16),
                     static_cast<GxUInt8>(packed >> 8), static_cast<GxUInt8>(packed)};
    // The tank made for the emitter holds this many particles: a file may ask only for what a game would draw.
    if (p->maxPTank < 0 || static_cast<GxUInt32>(p->maxPTank) > GxParticleMaxBatch()) {
        Refuse("particle tank capacity out of range");
        return false;
    }
    if (hasTexture) {
        if (!GxStreamFindChunk(s, gxID_TEXTURE, nullptr, nullptr) || !(p->texture = GxTextureStreamRead(s))) {
            return false;
        }
    }
    return readVersion < kStreamVersion || Get(s, &p->tankRotSpeed, kWord);
}

bool WriteOrientation(GxStream* s, const GxParticleEmitterMatrix* m)
{
    return GxMatrixStreamWrite(&m->matrix, s) && Put(s, &m->at, 12 * kWord) && Put(s, &m->useMatrix, kWord);
}

bool ReadOrientation(GxStream* s, GxParticleEmitterMatrix* m)
{
    if (!GxStreamFindChunk(s, gxID_MATRIX, nullptr, nullptr)) {
        return false;
    }
    GxMatrix* matrix = GxMatrixStreamRead(s);
    if (!matrix) {
        return false;
    }
    m->matrix = *matrix;
    GxMatrixDestroy(matrix);
    return Get(s, &m->at, 12 * kWord) && Get(s, &m->useMatrix, kWord);
}

bool WriteProperty(GxStream* s, GxParticleEmitter* e, GxInt32 id)
{
    void* p = GxParticleEmitterGetProperty(e, id);
    switch (id) {
    case gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX:
        return WriteOrientation(s, static_cast<GxParticleEmitterMatrix*>(p));
    case gxPRTSTDPROPERTYCODEEMITTERSTANDARD:
        return WriteStd(s, static_cast<GxParticleEmitterStd*>(p));
    case gxPRTSTDPROPERTYCODEEMITTERPTANK:
        return GxPTankPropertyStreamWrite(s, static_cast<GxParticleEmitterTank*>(p)) != nullptr;
    default:
        return Put(s, p, PropertyBody(e, id));
    }
}

bool ReadProperty(GxStream* s, GxParticleEmitter* e, GxInt32 id)
{
    void* p = GxParticleEmitterGetProperty(e, id);
    switch (id) {
    case gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX:
        return ReadOrientation(s, static_cast<GxParticleEmitterMatrix*>(p));
    case gxPRTSTDPROPERTYCODEEMITTERSTANDARD:
        return ReadStd(s, static_cast<GxParticleEmitterStd*>(p));
    case gxPRTSTDPROPERTYCODEEMITTERPTANK:
        return GxPTankPropertyStreamRead(s, static_cast<GxParticleEmitterTank*>(p)) != nullptr;
    default:
        return Get(s, p, PropertyBody(e, id));
    }
}

// The size a table chunk stores for a property: version 2 streams lack the standard emitter's rotation speed.
bool StoredSizeFits(bool emitter, GxInt32 id, GxUInt32 stored)
{
    const auto expected = static_cast<GxUInt32>(GxParticleStoredPropertySize(emitter, id));
    const bool older = emitter && id == gxPRTSTDPROPERTYCODEEMITTERSTANDARD && readVersion < kStreamVersion;
    return stored == (older ? expected - kWord : expected);
}

// Reads a property table chunk into the shared table of the same properties (one reference taken), whose key
// becomes the stream's. The base property comes first; every id is one the plugin lays out, once, with its size.
GxParticlePropertyTable* ReadTable(GxStream* s, bool emitter)
{
    GxUInt32 length = 0;
    GxUInt32 head[2];
    if (!GxStreamFindChunk(s, gxID_PARTICLEPROPERTIES, &length, nullptr) || length < kTableHead ||
        !Get(s, head, sizeof(head))) {
        return nullptr;
    }
    // The count must fit the body it came in, before anything is read for it.
    const uint64_t need = kTableHead + 2ull * kWord * head[1];
    if (need != length || head[1] < 1 || head[1] > static_cast<GxUInt32>(gxPARTICLEMAXPROPERTIES)) {
        Refuse("particle property table count does not fit its chunk");
        return nullptr;
    }
    const auto count = static_cast<GxInt32>(head[1]);
    GxUInt32 ids[gxPARTICLEMAXPROPERTIES];
    GxUInt32 stored[gxPARTICLEMAXPROPERTIES];
    if (!Get(s, ids, kWord * head[1]) || !Get(s, stored, kWord * head[1])) {
        return nullptr;
    }
    GxInt32 idList[gxPARTICLEMAXPROPERTIES];
    GxInt32 sizes[gxPARTICLEMAXPROPERTIES];
    for (GxInt32 i = 0; i < count; i++) {
        idList[i] = static_cast<GxInt32>(ids[i]);
        sizes[i] =
            ids[i] <= static_cast<GxUInt32>(gxPARTICLEMAXPROPERTIES) ? GxParticlePropertySize(emitter, idList[i]) : 0;
        bool repeated = false;
        for (GxInt32 j = 0; j < i; j++) {
            repeated = repeated || idList[j] == idList[i];
        }
        if ((i == 0) != (idList[i] == 0) || sizes[i] == 0 || repeated ||
            !StoredSizeFits(emitter, idList[i], stored[i])) {
            Refuse("particle property table the plugin cannot lay out");
            return nullptr;
        }
    }
    GxParticlePropertyTable* table = GxParticlePropertyTableCreate(count, idList, sizes);
    if (table) {
        table->key = static_cast<GxInt32>(head[0]);
    }
    return table;
}

// Reads a class chunk, which must name the class of the emitter header and the table read for it.
bool ReadClass(GxStream* s, GxUInt32 id, const GxParticlePropertyTable* table)
{
    GxUInt32 length = 0;
    GxUInt32 body[2];
    if (!GxStreamFindChunk(s, gxID_PARTICLEPROPERTIES, &length, nullptr) || length != kClassBody ||
        !Get(s, body, sizeof(body))) {
        return false;
    }
    if (body[0] != id || static_cast<GxInt32>(body[1]) != table->key) {
        Refuse("particle class chunk names another class or table");
        return false;
    }
    return true;
}

// The classes an emitter's stream defines: the tables and class chunks, and the classes drawn from those tables
// (one reference each, also on a failure after they were found).
bool ReadClasses(GxStream* s, GxUInt32 emitterID, GxUInt32 particleID, GxParticleEmitterClass** emitterClass,
                 GxParticleClass** particleClass)
{
    GxParticlePropertyTable* particleTable = ReadTable(s, false);
    GxParticlePropertyTable* emitterTable = particleTable ? ReadTable(s, true) : nullptr;
    bool ok = emitterTable && ReadClass(s, particleID, particleTable) && ReadClass(s, emitterID, emitterTable);
    if (ok) {
        *particleClass = GxParticleClassWithTable(false, particleID, particleTable);
        *emitterClass = GxParticleClassWithTable(true, emitterID, emitterTable);
        ok = *particleClass && *emitterClass;
    }
    for (GxParticlePropertyTable* table : {particleTable, emitterTable}) {
        if (table) {
            GxParticlePropertyTableDestroy(table);
        }
    }
    return ok;
}

GxParticleEmitter* ReadEmitter(GxStream* s, GxAtomic* atomic)
{
    GxUInt32 words[kEmitterWords];
    if (!Get(s, words, sizeof(words))) {
        return nullptr;
    }
    if (words[3] < 1 || words[3] > GxParticleMaxBatch() || words[4] > 1) {
        Refuse("particle emitter header out of range");
        return nullptr;
    }
    GxParticleEmitterClass* emitterClass = nullptr;
    GxParticleClass* particleClass = nullptr;
    bool ok = false;
    if (words[4]) {
        ok = ReadClasses(s, words[0], words[2], &emitterClass, &particleClass);
    } else {
        emitterClass = GxParticleEmitterClassCreate(words[0]);
        particleClass = GxParticleClassCreate(words[2]);
        ok = emitterClass && particleClass;
    }
    GxParticleEmitter* e = nullptr;
    if (ok) {
        e = GxParticleEmitterCreate(emitterClass, nullptr);
        ok = e && GxParticleEmitterSetParticleClass(e, particleClass, static_cast<GxInt32>(words[3]));
    }
    if (ok) {
        e->flags = words[1] | gxPRTSTDEMITTERFLAGSTREAMREAD;
        ok = GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::streamRead, atomic, e, s);
    }
    GxParticleEmitterClassDestroy(emitterClass);
    GxParticleClassDestroy(particleClass);
    if (!ok) {
        if (e) {
            GxParticleEmitterDestroy(e);
        }
        return nullptr;
    }
    return e;
}

}  // namespace

GxUInt32 GxMatrixStreamGetSize(void) { return gxCHUNKHEADERSIZE + kMatrixData; }

const GxMatrix* GxMatrixStreamWrite(const GxMatrix* matrix, GxStream* stream)
{
    GxMatrix m = *matrix;
    if ((m.flags & kMatrixTypeBits) == kMatrixTypeBits) {
        GxMatrixOrthoNormalize(&m, matrix);
    }
    const GxUInt32 flags = m.flags & kMatrixTypeBits;
    if (!GxStreamWriteChunkHeader(stream, gxID_MATRIX, GxMatrixStreamGetSize(), gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, kMatrixData, gxLIBRARYVERSION, gxLIBRARYBUILD)) {
        GxErrorRaise(gxPLUGINPARTICLES, gxERRWRITE);
        return nullptr;
    }
    const bool written = GxStreamWriteReal(stream, &m.right.x, 3 * kWord) &&
                         GxStreamWriteReal(stream, &m.up.x, 3 * kWord) &&
                         GxStreamWriteReal(stream, &m.at.x, 3 * kWord) &&
                         GxStreamWriteReal(stream, &m.pos.x, 3 * kWord) && Put(stream, &flags, kWord);
    return written ? matrix : nullptr;
}

GxMatrix* GxMatrixStreamRead(GxStream* stream)
{
    GxUInt32 length = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &length, nullptr)) {
        return nullptr;
    }
    if (length != kMatrixData) {
        Refuse("matrix chunk of the wrong size");
        return nullptr;
    }
    GxMatrix m;
    GxMatrixSetIdentity(&m);
    GxUInt32 flags = 0;
    if (!Get(stream, &m.right, 3 * kWord) || !Get(stream, &m.up, 3 * kWord) || !Get(stream, &m.at, 3 * kWord) ||
        !Get(stream, &m.pos, 3 * kWord) || !Get(stream, &flags, kWord)) {
        return nullptr;
    }
    m.flags = flags & kMatrixTypeBits;
    GxMatrix* matrix = GxMatrixCreate();
    if (!matrix) {
        return nullptr;
    }
    *matrix = m;
    return matrix;
}

GxStream* GxParticleAtomicStreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const auto* atomic = static_cast<const GxAtomic*>(object);
    GxUInt32 count = 0;
    for (GxParticleEmitter* e = GxParticleAtomicGetEmitters(atomic); e; e = e->next) {
        count++;
    }
    const GxUInt32 head = count | kStreamVersion << kVersionShift;
    if (!Put(stream, &head, sizeof(head))) {
        return nullptr;
    }
    for (GxParticleEmitter* e = GxParticleAtomicGetEmitters(atomic); e; e = e->next) {
        GX_ASSERT(e->ptcleClass, "an emitter is written with its particle class");
        const GxUInt32 words[kEmitterWords] = {e->emtClass->id, e->flags & ~gxPRTSTDEMITTERFLAGSTREAMREAD,
                                               e->ptcleClass->id, static_cast<GxUInt32>(e->maxPtclePerBatch), 1};
        if (!Put(stream, words, sizeof(words)) || !WriteTable(stream, e->ptcleClass->propTab, false) ||
            !WriteTable(stream, e->emtClass->propTab, true) || !WriteClass(stream, e->ptcleClass) ||
            !WriteClass(stream, e->emtClass)) {
            return nullptr;
        }
        if (!GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::streamWrite, e->atomic, e, stream)) {
            return nullptr;
        }
    }
    return stream;
}

GxInt32 GxParticleAtomicStreamGetSize(const void* object, GxInt32, GxInt32)
{
    GxUInt32 size = 0;
    for (GxParticleEmitter* e = GxParticleAtomicGetEmitters(static_cast<const GxAtomic*>(object)); e; e = e->next) {
        GX_ASSERT(e->ptcleClass, "an emitter is written with its particle class");
        size += kEmitterWords * kWord + TableBody(e->ptcleClass->propTab) + TableBody(e->emtClass->propTab) +
                2 * kClassBody + 4 * gxCHUNKHEADERSIZE;
        GxInt32 properties = 0;
        GxParticleEmitterRunCallBacks(&GxParticleEmitterCallBackSet::streamGetSize, e->atomic, e, &properties);
        size += static_cast<GxUInt32>(properties);
    }
    return size ? static_cast<GxInt32>(size + kWord) : 0;
}

GxStream* GxParticleAtomicStreamRead(GxStream* stream, GxInt32, void* object, GxInt32, GxInt32)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    GxUInt32 head = 0;
    if (!Get(stream, &head, sizeof(head))) {
        return nullptr;
    }
    const GxUInt32 count = head & kCountMask;
    readVersion = head >> kVersionShift;
    if (readVersion < kOldestVersion || readVersion > kStreamVersion) {
        Refuse("particle stream version not readable");
        return nullptr;
    }
    // Each emitter takes at least its header words: the bytes left bound the count.
    if (!GxStreamCanSupply(stream, static_cast<uint64_t>(count) * kEmitterWords * kWord)) {
        Refuse("particle emitter count beyond the chunk");
        return nullptr;
    }
    for (GxUInt32 i = 0; i < count; i++) {
        GxParticleEmitter* e = ReadEmitter(stream, atomic);
        if (!e) {
            return nullptr;
        }
        GxParticleAtomicAddEmitter(atomic, e);
    }
    GxAtomicSetRenderCallBack(atomic, GxParticleAtomicRender);
    return stream;
}

GxParticleEmitter* GxParticleStdEmitterStreamRead(GxAtomic*, GxParticleEmitter* emitter, void* stream)
{
    for (GxInt32 id : kStreamOrder) {
        if (GxParticleEmitterGetProperty(emitter, id) && !ReadProperty(static_cast<GxStream*>(stream), emitter, id)) {
            return nullptr;
        }
    }
    return emitter;
}

GxParticleEmitter* GxParticleStdEmitterStreamWrite(GxAtomic*, GxParticleEmitter* emitter, void* stream)
{
    for (GxInt32 id : kStreamOrder) {
        if (GxParticleEmitterGetProperty(emitter, id) && !WriteProperty(static_cast<GxStream*>(stream), emitter, id)) {
            return nullptr;
        }
    }
    return emitter;
}

GxParticleEmitter* GxParticleStdEmitterStreamGetSize(GxAtomic*, GxParticleEmitter* emitter, void* size)
{
    for (GxInt32 id : kStreamOrder) {
        *static_cast<GxInt32*>(size) += static_cast<GxInt32>(PropertyBody(emitter, id));
    }
    return emitter;
}
