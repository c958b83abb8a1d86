// Internals shared by the particle files: the property chunk, stored property sizes and the atomic stream.
#pragma once

#include "gfx/fx/particles.h"

struct GxStream;

constexpr GxUInt32 gxID_PARTICLEPROPERTIES = 0x25;
// Malformed particle streams: counts, classes or tables that do not fit.
constexpr GxInt32 gxPARTICLEERRBADDATA = 1;

// A property's size as stream tables record it (the layout the files were written with).
GxInt32 GxParticleStoredPropertySize(bool emitter, GxInt32 id);
// The largest batch a stream may ask for.
GxUInt32 GxParticleMaxBatch(void);
GxInt32 GxParticleEmitterGetPropertyOffset(const GxParticleEmitterClass* emitterClass, GxInt32 id);

GxStream* GxParticleAtomicStreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32 size);
GxStream* GxParticleAtomicStreamWrite(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset,
                                      GxInt32 size);
GxInt32 GxParticleAtomicStreamGetSize(const void* object, GxInt32 offset, GxInt32 size);
