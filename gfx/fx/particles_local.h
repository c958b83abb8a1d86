// Internals shared by the particle files: the property chunk, stored property sizes and the atomic stream.
#pragma once

#include "gfx/fx/particles.h"

struct GxStream;

constexpr GxUInt32 gxID_PARTICLEPROPERTIES = 0x25;
// Malformed particle streams: counts, classes or tables that do not fit.
constexpr GxInt32 gxPARTICLEERRBADDATA = 1;
// Properties of one class, its base property included.
constexpr GxInt32 gxPARTICLEMAXPROPERTIES = 8;

// The tank data an emitter writes, in ascending bit order; the tank property's pointer arrays follow this order.
constexpr GxUInt32 gxPARTICLETANKBITS[] = {gxPTANKDFLAGPOSITION, gxPTANKDFLAGCOLOR,    gxPTANKDFLAGSIZE,
                                           gxPTANKDFLAGMATRIX,   gxPTANKDFLAG2DROTATE, gxPTANKDFLAGVTX2TEXCOORDS};
enum GxParticleTankSlot : GxInt32 {
    gxPARTICLESLOTPOSITION,
    gxPARTICLESLOTCOLOUR,
    gxPARTICLESLOTSIZE,
    gxPARTICLESLOTMATRIX,
    gxPARTICLESLOTROTATE,
    gxPARTICLESLOTUV,
    gxPARTICLETANKSLOTS
};
static_assert(gxPARTICLETANKSLOTS <= gxPTANKKINDS, "tank pointer arrays too small");

// A property's size as stream tables record it (the layout the files were written with).
GxInt32 GxParticleStoredPropertySize(bool emitter, GxInt32 id);
// The largest batch a stream may ask for.
GxUInt32 GxParticleMaxBatch(void);

// Shared property tables and the classes drawn from them, for the stream reader: a class matches by id and table.
GxParticlePropertyTable* GxParticlePropertyTableCreate(GxInt32 count, const GxInt32* ids, const GxInt32* sizes);
void GxParticlePropertyTableDestroy(GxParticlePropertyTable* table);
GxParticleClassBase* GxParticleClassWithTable(bool emitter, GxUInt32 id, GxParticlePropertyTable* table);
// A property's size in memory; 0 for an id the plugin does not know.
GxInt32 GxParticlePropertySize(bool emitter, GxInt32 id);

// Run one callback of every set of the emitter's class (of the batch's particle class); false at the first failure.
bool GxParticleEmitterRunCallBacks(GxParticleEmitterCallBack GxParticleEmitterCallBackSet::*member, GxAtomic* atomic,
                                   GxParticleEmitter* emitter, void* data);
bool GxParticleRunCallBacks(GxParticleCallBack GxParticleCallBackSet::*member, GxParticleEmitter* emitter,
                            GxParticleBatch* batch, void* data);

GxStream* GxParticleAtomicStreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32 size);
GxStream* GxParticleAtomicStreamWrite(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset,
                                      GxInt32 size);
GxInt32 GxParticleAtomicStreamGetSize(const void* object, GxInt32 offset, GxInt32 size);
