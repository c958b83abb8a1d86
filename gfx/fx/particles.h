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

struct GxParticleTank {
    GxInt32 maxPCount;
    GxInt32 pCount;  // particles to draw, set by the producer
    void* rawData;   // the owned data block (null when an allocate callback gave the data)
    GxAtomicCallBackRender savedRender;
    GxParticleTankCallBackSet callbacks;
    GxUInt32 lockFlags;
    GxUInt32 updateFlags;  // what must be instanced again
    GxUInt32 platFlags;
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
};

GxBool GxParticleTankPluginAttach(void);
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
// The atomic's render callback while it carries a tank.
GxAtomic* GxParticleTankRender(GxAtomic* atomic);
// Calls draw(first vertex, vertices, triangles) for each indexed quad batch of `vertices` vertices.
typedef void (*GxParticleTankDrawQuadsCallBack)(void* data, GxInt32 firstVertex, GxInt32 vertices, GxInt32 triangles);
GxInt32 GxParticleTankSplitQuads(GxInt32 firstVertex, GxInt32 vertices, GxParticleTankDrawQuadsCallBack draw,
                                 void* data);
