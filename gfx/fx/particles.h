// Particle tanks (plugin 0x12F) and standard particles (plugin 0x130), device-independent side: tank records and
// their data arrays, particle and emitter classes over shared property tables, emission and ageing into tanks.
// The driver supplies a tank's create and render callbacks (GxParticleTankSetDefaultCallbacks) and draws quads in
// the batches GxParticleTankSplitQuads gives. Rendering thread only; a tank belongs to its atomic, an emitter
// to its atomic or creator, classes and tables are shared by reference count.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"
#include "gfx/world/clump.h"

struct GxAtomic;
struct GxStream;
struct GxTexture;

// ---------------------------------------------------------------------------------------------- tanks

constexpr GxUInt32 gxPLUGINPARTICLETANK = 0x12F;

enum GxParticleTankDataFlag : GxUInt32 {
    gxPTANKDFLAGPOSITION = 0x01,
    gxPTANKDFLAGCOLOR = 0x02,
    gxPTANKDFLAGSIZE = 0x04,
    gxPTANKDFLAGMATRIX = 0x08,
    gxPTANKDFLAGNORMAL = 0x10,
    gxPTANKDFLAG2DROTATE = 0x20,
    gxPTANKDFLAGVTXCOLOR = 0x40,
    gxPTANKDFLAGVTX2TEXCOORDS = 0x80,
    gxPTANKDFLAGVTX4TEXCOORDS = 0x100,
    gxPTANKDFLAGCNSMATRIX = 0x8000,
    gxPTANKDFLAGCNS2DROTATE = 0x20000,
    gxPTANKDFLAGCNSVTXCOLOR = 0x40000,
    gxPTANKDFLAGCNSVTX2TEXCOORDS = 0x80000,
    gxPTANKDFLAGCNSVTX4TEXCOORDS = 0x100000,
    gxPTANKDFLAGUSECENTER = 0x1000000,
    gxPTANKDFLAGARRAY = 0x10000000,
    gxPTANKDFLAGSTRUCTURE = 0x20000000,
};
// Constant-data flags (GxParticleTank::cFlags), kept apart from the data flags whose bits they would collide with:
// the corners of particles past the drawn count are moved out of view; the tank was given its colour, size and
// texture coordinates as constants, applies its pivot offset, and blends its own way.
constexpr GxUInt32 gxPTANKDFLAGHIDEINACTIVE = 0x800000;
constexpr GxUInt32 gxPTANKDFLAGCNSCOLOR = 0x2000;
constexpr GxUInt32 gxPTANKDFLAGCNSSIZE = 0x4000;
constexpr GxUInt32 gxPTANKDFLAGOWNBLEND = 0x10000000;
// Changed-data bit that announces a new particle count.
constexpr GxUInt32 gxPTANKDFLAGNEWCOUNT = 0x800000;
constexpr GxUInt32 gxPTANKLOCKWRITE = 0x40000000;
// The per-particle kinds, in array order, with their element sizes.
constexpr GxInt32 gxPTANKKINDS = 9;
// Quads are drawn in batches that 16-bit indices can reach.
constexpr GxInt32 gxPTANKMAXQUADVERTICES = 65532;

struct GxParticleTankLockStruct {
    GxUInt8* data;
    GxInt32 stride;
};

// Pointer and stride per kind in the order position, matrix, normal, size, colour, corner colours, rotation,
// texture coordinates, corner texture coordinates; then the array count, interleaved stride and data flags.
struct GxParticleTankFormat {
    GxParticleTankLockStruct kinds[gxPTANKKINDS];
    GxInt32 numArrays;
    GxInt32 stride;
    GxUInt32 dataFlags;
};

typedef void* (*GxParticleTankAllocCallBack)(GxParticleTankFormat* format, GxInt32 capacity, GxUInt32 dataFlags);
typedef GxBool (*GxParticleTankCreateCallBack)(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 capacity,
                                               GxUInt32 dataFlags, GxUInt32 platformFlags);
typedef GxBool (*GxParticleTankInstanceCallBack)(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 count,
                                                 GxUInt32 changedFlags);
typedef GxBool (*GxParticleTankRenderCallBack)(GxAtomic* atomic, GxParticleTankFormat* format, GxInt32 count);

struct GxParticleTankCallBackSet {
    GxParticleTankAllocCallBack alloc;
    GxParticleTankCreateCallBack create;
    GxParticleTankInstanceCallBack instance;
    GxParticleTankRenderCallBack render;
};

struct GxParticleTank;

// What the instancers share for one draw: which vertex parts exist, where each starts and its stride, and the
// quad's axes (right and up, not yet scaled by the particle's size).
struct GxPTankInstanceWork {
    GxBool hasPositions;
    GxBool hasTexCoords;
    GxBool hasColors;
    GxBool hasNormals;
    GxUInt8* positions;
    GxInt32 positionStride;
    GxUInt8* texCoords;
    GxInt32 texCoordStride;
    GxUInt8* colors;
    GxInt32 colorStride;
    GxUInt8* normals;
    GxInt32 normalStride;
    GxV3d right;
    GxV3d up;
    GxBool colorsAsRGBA;  // colours go out as red, green, blue, alpha bytes (geometry), else as ARGB words
};
// An instancer expands `count` particles of the tank into vertices at dst, stride bytes apart; returns the
// destination past what it wrote.
typedef GxUInt8* (*GxPTankInstancer)(GxUInt8* dst, GxInt32 stride, GxInt32 count, const GxParticleTank* tank,
                                     const GxPTankInstanceWork* work);
// The set-up fills the work record and locks the vertices; the finish unlocks them.
typedef GxBool (*GxPTankInstanceSetupCallBack)(GxPTankInstanceWork* work, GxAtomic* atomic, GxParticleTank* tank,
                                               GxInt32 count);
typedef void (*GxPTankInstanceFinishCallBack)(GxAtomic* atomic, GxParticleTank* tank, GxPTankInstanceWork* work);
struct GxPTankInstancers {
    GxPTankInstanceSetupCallBack setup;
    GxPTankInstancer positions;
    GxPTankInstancer texCoords;
    GxPTankInstancer colors;
    GxPTankInstancer normals;
    GxPTankInstanceFinishCallBack finish;
};

struct GxParticleTank {
    GxInt32 maxPCount;
    GxInt32 pCount;  // particles to draw, set by the producer
    void* rawData;   // the owned data block (null when an allocate callback gave the data)
    GxAtomicCallBackRender savedRender;
    GxParticleTankCallBackSet callbacks;
    GxUInt32 lockFlags;
    GxUInt32 updateFlags;  // what must be instanced again
    GxUInt32 platFlags;
    GxUInt32 cFlags;  // constant-data flags set by the tank's owner
    GxParticleTankFormat format;
    GxInt32 srcBlend;
    GxInt32 dstBlend;
    GxBool vertexAlphaBlend;
    GxReal cPivot[2];
    GxReal cSize[2];
    GxReal cRotate;
    GxRGBA cColor;
    GxRGBA cVtxColor[4];
    GxReal cUV[8];
    GxMatrix cMatrix;
    GxPTankInstancers instancers;  // installed by the driver's create callback
    GxUInt32 platformState;        // the driver's per-tank choices (point sprites)
};

// The driver's engine-time work: open keeps device capabilities, close releases what tanks share.
struct GxParticleTankDriverHooks {
    GxBool (*open)(void);
    void (*close)(void);
};
void GxParticleTankSetDriverHooks(const GxParticleTankDriverHooks* hooks);

GxBool GxParticleTankPluginAttach(void);
// The atomic extension's destructor: frees the atomic's tank.
void* GxParticleTankAtomicDestructor(void* object, GxInt32 offset, GxInt32 size);
// Separate arrays, one per kind present, one after another in a single block aligned to 16; strides are the element
// sizes. False when the block cannot be had.
GxBool GxParticleTankAllocArrays(GxParticleTank* tank, GxInt32 capacity, GxUInt32 dataFlags);
// The callbacks GxParticleTankCreate uses: the driver's create and render, the default instance callback.
void GxParticleTankSetDefaultCallbacks(const GxParticleTankCallBackSet* callbacks);
GxAtomic* GxParticleTankCreate(GxInt32 maxParticles, GxUInt32 dataFlags, GxUInt32 platFlags);
GxAtomic* GxParticleTankCreateWithCallbacks(GxInt32 maxParticles, GxUInt32 dataFlags, GxUInt32 platFlags,
                                            const GxParticleTankCallBackSet* callbacks);
GxBool GxParticleTankDestroy(GxAtomic* atomic);
GxParticleTank* GxParticleTankGet(const GxAtomic* atomic);
const GxParticleTankFormat* GxParticleTankGetFormat(const GxAtomic* atomic);
GxBool GxParticleTankLock(GxAtomic* atomic, GxParticleTankLockStruct* out, GxUInt32 dataBit, GxUInt32 lockFlags);
GxAtomic* GxParticleTankUnlock(GxAtomic* atomic);
GxAtomic* GxParticleTankSetCount(GxAtomic* atomic, GxInt32 count);
// The default instance callback: runs the tank's instancers in order (set-up, positions, texture coordinates,
// colours, normals, finish), each part only when the set-up found it in the vertices. False when there is no set-up
// or it fails.
GxBool GxPTankInstance(GxAtomic* tank, GxParticleTankFormat* format, GxInt32 count, GxUInt32 changedFlags);
// The atomic's render callback while it carries a tank.
GxAtomic* GxParticleTankRender(GxAtomic* atomic);
// Calls draw(first vertex, vertices, triangles) for each indexed quad batch of `vertices` vertices.
typedef void (*GxParticleTankDrawQuadsCallBack)(void* data, GxInt32 firstVertex, GxInt32 vertices, GxInt32 triangles);
GxInt32 GxParticleTankSplitQuads(GxInt32 firstVertex, GxInt32 vertices, GxParticleTankDrawQuadsCallBack draw,
                                 void* data);

// ---------------------------------------------------------------------------------------------- standard particles

constexpr GxUInt32 gxPLUGINPARTICLES = 0x130;

// Emitter class flags, and the property ids they add.
enum GxParticleEmitterClassFlag : GxUInt32 {
    gxPRTSTDEMITTERDATAFLAGSTANDARD = 0x01,
    gxPRTSTDEMITTERDATAFLAGPRTCOLOR = 0x02,
    gxPRTSTDEMITTERDATAFLAGPRTTEXCOORDS = 0x04,
    gxPRTSTDEMITTERDATAFLAGPRT2DROTATE = 0x08,
    gxPRTSTDEMITTERDATAFLAGPRTSIZE = 0x10,
    gxPRTSTDEMITTERDATAFLAGPTANK = 0x20,
    gxPRTSTDEMITTERDATAFLAGPRTMATRIX = 0x40,
};
enum GxParticleClassFlag : GxUInt32 {
    gxPRTSTDPARTICLEDATAFLAGPOSITION = 0x02,
    gxPRTSTDPARTICLEDATAFLAGCOLOR = 0x04,
    gxPRTSTDPARTICLEDATAFLAGTEXCOORDS = 0x08,
    gxPRTSTDPARTICLEDATAFLAG2DROTATE = 0x10,
    gxPRTSTDPARTICLEDATAFLAGSIZE = 0x20,
    gxPRTSTDPARTICLEDATAFLAGVELOCITY = 0x40,
    gxPRTSTDPARTICLEDATAFLAGMATRIX = 0x80,
};
enum GxParticleEmitterProperty : GxInt32 {
    gxPRTSTDPROPERTYCODEEMITTER = 0,
    gxPRTSTDPROPERTYCODEEMITTERSTANDARD = 1,
    gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR = 2,
    gxPRTSTDPROPERTYCODEEMITTERPRTTEXCOORDS = 3,
    gxPRTSTDPROPERTYCODEEMITTERPRT2DROTATE = 4,
    gxPRTSTDPROPERTYCODEEMITTERPRTSIZE = 5,
    gxPRTSTDPROPERTYCODEEMITTERPTANK = 6,
    gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX = 8,
};
enum GxParticleProperty : GxInt32 {
    gxPRTSTDPROPERTYCODEPARTICLESTANDARD = 0,
    gxPRTSTDPROPERTYCODEPARTICLEPOSITION = 1,
    gxPRTSTDPROPERTYCODEPARTICLECOLOR = 2,
    gxPRTSTDPROPERTYCODEPARTICLETEXCOORDS = 3,
    gxPRTSTDPROPERTYCODEPARTICLE2DROTATE = 4,
    gxPRTSTDPROPERTYCODEPARTICLESIZE = 5,
    gxPRTSTDPROPERTYCODEPARTICLEVELOCITY = 6,
    gxPRTSTDPROPERTYCODEPARTICLEMATRIX = 7,
};
enum GxParticleEmitterFlag : GxUInt32 {
    gxPRTSTDEMITTERFLAGALIVE = 0x02,
    gxPRTSTDEMITTERFLAGACTIVE = 0x04,  // uses a particle tank
    gxPRTSTDEMITTERFLAGEMIT = 0x08,
    gxPRTSTDEMITTERFLAGUPDATE = 0x10,
    gxPRTSTDEMITTERFLAGUPDATEPARTICLE = 0x20,
    gxPRTSTDEMITTERFLAGRENDER = 0x40,
    gxPRTSTDEMITTERFLAGRENDERPARTICLE = 0x80,
    gxPRTSTDEMITTERFLAGSTREAMREAD = 0x200,
};
constexpr GxUInt32 gxPRTSTDEMITTERFLAGSDEFAULT = 0x7F;

struct GxParticlePropertyTable {
    void* allocation;
    GxParticlePropertyTable* next;
    GxInt32 key;
    GxInt32 refCount;
    GxInt32 numProp;
    GxInt32* propID;
    GxInt32* propOffset;  // numProp + 1 entries: the last is the record size
    GxInt32* propSize;    // rounded up to 4
    GxInt32* propSizeUA;  // as given
};

struct GxParticleBatch;
struct GxParticleEmitter;

// Emitter callbacks take (atomic or null, emitter, data) and return the emitter, null on failure. Update data is a
// GxParticleUpdateData; the stream read and write callbacks take the stream, the size callback a GxInt32 it adds
// its bytes to, the clone callback the clone (the emitter is the source).
typedef GxParticleEmitter* (*GxParticleEmitterCallBack)(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
struct GxParticleEmitterCallBackSet {
    GxParticleEmitterCallBack emit;
    GxParticleEmitterCallBack beginUpdate;
    GxParticleEmitterCallBack endUpdate;
    GxParticleEmitterCallBack beforeRender;
    GxParticleEmitterCallBack afterRender;
    GxParticleEmitterCallBack create;
    GxParticleEmitterCallBack destroy;
    GxParticleEmitterCallBack streamRead;
    GxParticleEmitterCallBack streamWrite;
    GxParticleEmitterCallBack streamGetSize;
    GxParticleEmitterCallBack clone;
};
// Particle callbacks take (emitter, batch, data) and return the batch, null on failure.
typedef GxParticleBatch* (*GxParticleCallBack)(GxParticleEmitter* emitter, GxParticleBatch* batch, void* data);
struct GxParticleCallBackSet {
    GxParticleCallBack update;
    GxParticleCallBack render;
    GxParticleCallBack batchCreate;
    GxParticleCallBack batchDestroy;
    GxParticleCallBack spare[3];
};

// Every set's callbacks run, set by set, where the class's emitters or particles call for them; a null entry is
// skipped. An emitter class uses emitterCallBacks, a particle class particleCallBacks.
struct GxParticleClassBase {
    GxParticleClassBase* next;
    GxUInt32 id;
    GxInt32 refCount;
    GxInt32 objSize;
    GxParticlePropertyTable* propTab;
    GxInt32 numCallBackSets;
    GxParticleEmitterCallBackSet* emitterCallBacks;
    GxParticleCallBackSet* particleCallBacks;
};
typedef GxParticleClassBase GxParticleEmitterClass;
typedef GxParticleClassBase GxParticleClass;

// The emitter header (property 0); the class's other properties follow at their table offsets.
struct GxParticleEmitter {
    GxParticleEmitter* next;
    GxUInt32 flags;
    GxAtomic* atomic;
    GxParticleEmitterClass* emtClass;
    GxInt32 numPtcles;
    GxInt32 maxPtclePerBatch;
    GxParticleClass* ptcleClass;
    GxParticleBatch* spareBatch;
    GxParticleBatch* liveBatch;  // oldest first, in the order their particles lie in the tank
    GxReal radiusSq;
};

struct GxParticleBatch {
    GxParticleBatch* next;
    GxParticleClass* ptcleClass;
    GxInt32 numPtcles;
    GxInt32 maxPtcles;
    GxInt32 newPtcleIdx;
    GxInt32 offset;
};

struct GxParticleEmitterStd {
    GxUInt32 seed;
    GxInt32 maxPTank;
    GxReal clock;
    GxInt32 unused;
    GxV3d force;
    GxV3d emtPos;
    GxV3d emtPosBias;
    GxReal emtEmitGap;
    GxReal emtEmitGapBias;
    GxReal emtPrevEmitTime;
    GxReal emtEmitTime;
    GxInt32 emtPtcleEmitCount;
    GxInt32 emtPtcleEmitCountBias;
    GxReal emtInitVel;
    GxReal emtInitVelBias;
    GxReal emtPtcleLife;
    GxReal emtPtcleLifeBias;
    GxV3d emtInitDir;
    GxV3d emtInitDirBias;
    GxReal ptcleSize[2];
    GxRGBA ptcleColor;
    GxReal tankRotSpeed;
    GxReal ptcleUV[8];
    GxTexture* texture;  // one counted reference, released with the emitter
    GxMatrix* ltm;       // the atomic frame's world matrix during an update; null: no transform
};
struct GxParticleEmitterColor {
    GxReal start[4], startBias[4], end[4], endBias[4];
};
struct GxParticleEmitterTexCoords {
    GxReal start[4], startBias[4], end[4], endBias[4];
};
struct GxParticleEmitterSize {
    GxReal start[2], startBias[2], end[2], endBias[2];
};
struct GxParticleEmitter2DRotate {
    GxReal start, startBias, end, endBias;
};
struct GxParticleEmitterMatrix {
    GxMatrix matrix;
    GxV3d at, atBias, up, upBias;
    GxInt32 useMatrix;
};
struct GxParticleEmitterTank {
    GxUInt32 dataFlags;
    GxInt32 unused;
    GxInt32 numWritten;
    GxInt32 maxPCount;
    GxUInt32 updateFlags;
    GxUInt32 emitFlags;
    GxUInt32 platFlags;
    GxAtomic* tank;
    GxUInt8* dataIn[gxPTANKKINDS];   // read pointers, by data bit in ascending order
    GxUInt8* dataOut[gxPTANKKINDS];  // write pointers
    GxInt32 dataStride[gxPTANKKINDS];
    GxInt32 srcBlend;
    GxInt32 dstBlend;
    GxBool vtxAlphaBlend;
};

struct GxParticleStandard {
    GxInt32 flag;
    GxReal life;  // age
    GxReal oneOverLife;
    GxReal lifeSpan;
};
struct GxParticleColor {
    GxReal start[4], delta[4];
};
struct GxParticleTexCoords {
    GxReal start[4], delta[4];
};
struct GxParticleSize {
    GxReal start[2], delta[2], current[2], extra[2];
};
struct GxParticle2DRotate {
    GxReal start, delta;
};

struct GxParticleUpdateData {
    GxReal deltaT;
};

GxBool GxParticlePluginAttach(void);
// The engine module's close: destroys every class and table left.
void* GxParticlePluginClose(void* instance, GxInt32 offset, GxInt32 size);
// The atomic extension's destructor (destroys the atomic's emitters) and copy (clones them onto the copy).
void* GxParticleAtomicDestructor(void* object, GxInt32 offset, GxInt32 size);
void* GxParticleAtomicCopy(void* dst, const void* src, GxInt32 offset, GxInt32 size);
GxParticleEmitterClass* GxParticleEmitterClassCreate(GxUInt32 flags);
GxBool GxParticleEmitterClassDestroy(GxParticleEmitterClass* emitterClass);
GxParticleClass* GxParticleClassCreate(GxUInt32 flags);
GxBool GxParticleClassDestroy(GxParticleClass* particleClass);
// Replace a class's callback sets with copies of `count` sets (the standard one each class starts with included).
GxParticleEmitterClass* GxParticleEmitterClassSetCallBacks(GxParticleEmitterClass* emitterClass,
                                                           const GxParticleEmitterCallBackSet* sets, GxInt32 count);
GxParticleClass* GxParticleClassSetCallBacks(GxParticleClass* particleClass, const GxParticleCallBackSet* sets,
                                             GxInt32 count);
GxParticleEmitterClass* GxParticleEmitterClassSetStdCallbacks(GxParticleEmitterClass* emitterClass);
GxParticleClass* GxParticleClassSetStdCallbacks(GxParticleClass* particleClass);
// The standard callbacks.
GxParticleEmitter* GxParticleStdEmit(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
GxParticleEmitter* GxParticleStdEmitterBeginUpdate(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
GxParticleEmitter* GxParticleStdEmitterEndUpdate(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
GxParticleEmitter* GxParticleStdEmitterBeforeRender(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
GxParticleEmitter* GxParticleStdEmitterCreate(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
GxParticleEmitter* GxParticleStdEmitterDestroy(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);
GxParticleEmitter* GxParticleStdEmitterStreamRead(GxAtomic* atomic, GxParticleEmitter* emitter, void* stream);
GxParticleEmitter* GxParticleStdEmitterStreamWrite(GxAtomic* atomic, GxParticleEmitter* emitter, void* stream);
GxParticleEmitter* GxParticleStdEmitterStreamGetSize(GxAtomic* atomic, GxParticleEmitter* emitter, void* size);
GxParticleEmitter* GxParticleStdEmitterClone(GxAtomic* atomic, GxParticleEmitter* emitter, void* clone);
GxParticleBatch* GxParticleStdUpdate(GxParticleEmitter* emitter, GxParticleBatch* batch, void* data);

GxInt32 GxParticlePropertyGetOffset(const GxParticlePropertyTable* table, GxInt32 id);
GxInt32 GxParticlePropertyGetIndex(const GxParticlePropertyTable* table, GxInt32 id);
// The emitter's property block of `id`, or null when its class lacks it.
void* GxParticleEmitterGetProperty(GxParticleEmitter* emitter, GxInt32 id);

GxParticleEmitter* GxParticleEmitterCreate(GxParticleEmitterClass* emitterClass, void* data);
GxBool GxParticleEmitterDestroy(GxParticleEmitter* emitter);
// Initialises an allocated record of the class's size: a class reference, a cleared header and property area, the
// tank property's defaults, then every create callback. Null when a create callback fails (GxParticleEmitterDeinit
// then undoes what was done).
GxParticleEmitter* GxParticleEmitterInit(GxParticleEmitter* emitter, GxParticleEmitterClass* emitterClass, void* data);
// Frees the batches, runs the destroy callbacks (0 when one fails, the emitter kept as it is), destroys the tank
// property and releases both classes, leaving the header cleared.
GxBool GxParticleEmitterDeinit(GxParticleEmitter* emitter);
// Each live batch gets its particle class's batch-destroy callbacks, then every batch, live or spare, is freed.
void GxParticleEmitterFreeBatches(GxParticleEmitter* emitter);
// An empty batch for the emitter's particle class, a spare one or a new one, appended to the live list as the newest
// after its batch-create callbacks ran. Null when none can be had or a callback fails.
GxParticleBatch* GxParticleBatchCreate(GxParticleEmitter* emitter);
// Refreshes the plugin's cached property offsets when the emitter's class tables differ from the cached ones.
GxParticleEmitter* GxParticleEmitterCacheOffsets(GxParticleEmitter* emitter);
// A copy with the emitter's settings (texture shared, tank settings but never the tank itself) and no particles.
GxParticleEmitter* GxParticleEmitterClone(GxParticleEmitter* emitter);
GxParticleEmitter* GxParticleEmitterSetParticleClass(GxParticleEmitter* emitter, GxParticleClass* particleClass,
                                                     GxInt32 maxPtclePerBatch);
GxParticleEmitter* GxParticleEmitterUpdate(GxAtomic* atomic, GxParticleEmitter* emitter, GxParticleUpdateData* data);
// First particle of a batch.
GxUInt8* GxParticleBatchGetParticles(GxParticleBatch* batch);

GxAtomic* GxParticleAtomicCreate(GxParticleEmitterClass* emitterClass, void* data);
GxParticleEmitter* GxParticleAtomicGetEmitters(const GxAtomic* atomic);
GxAtomic* GxParticleAtomicAddEmitter(GxAtomic* atomic, GxParticleEmitter* emitter);
GxAtomic* GxParticleAtomicUpdate(GxAtomic* atomic, GxParticleUpdateData* data);
// The particle atomic's render callback: each emitter's tank draws what the last update wrote.
GxAtomic* GxParticleAtomicRender(GxAtomic* atomic);
GxParticleEmitter* GxParticleEmitterRender(GxAtomic* atomic, GxParticleEmitter* emitter, void* data);

// ---------------------------------------------------------------------------------------------- tank property

// The particle-tank property of an emitter: defaults (no tank, update and emission flags all set, additive blending
// with vertex alpha), copy of the settings only, and destruction of the tank with its frame.
void GxPTankPropertyInit(GxParticleEmitterTank* property);
void GxPTankPropertyDestroy(GxParticleEmitterTank* property);
void GxPTankPropertyCopy(GxParticleEmitterTank* dst, const GxParticleEmitterTank* src);
// Locks every data array of the tank for writing, in ascending bit order: pointer as read and write pointer, stride,
// and the bit in the locked mask (dataFlags). Null without a tank.
GxParticleEmitterTank* GxPTankPropertyLockArrays(GxParticleEmitterTank* property);
// Makes the emitter's tank from its properties and links it; with a tank already there only the pointer arrays are
// cleared for it. Null on failure.
GxParticleEmitter* GxPTankPropertyCreateTank(GxParticleEmitter* emitter);
// Gives the emitter's tank property an existing tank; fails when it has one already.
GxParticleEmitter* GxPTankPropertyLinkTank(GxParticleEmitter* emitter, GxAtomic* tank);
// The property's stream form: update and emission flags, source and destination blend, vertex alpha (20 bytes).
GxParticleEmitterTank* GxPTankPropertyStreamRead(GxStream* stream, GxParticleEmitterTank* property);
const GxParticleEmitterTank* GxPTankPropertyStreamWrite(GxStream* stream, const GxParticleEmitterTank* property);
GxUInt32 GxPTankPropertyStreamGetSize(const GxParticleEmitterTank* property);

// The matrix chunk (0x0D): a struct chunk of the rows and the matrix's two low type bits; orthonormal matrices are
// orthonormalised on writing and on reading. Read takes the stream at the struct chunk and returns a new matrix
// (GxMatrixDestroy frees it).
constexpr GxUInt32 gxID_MATRIX = 0x0D;
GxUInt32 GxMatrixStreamGetSize(void);
const GxMatrix* GxMatrixStreamWrite(const GxMatrix* matrix, GxStream* stream);
GxMatrix* GxMatrixStreamRead(GxStream* stream);

// The emitter's generator: one step, r in [0, 1), and a value drawn with a bias.
GxReal GxParticleRandom(GxUInt32* state);
GxReal GxParticleRandomBias(GxUInt32* state, GxReal value, GxReal bias);
