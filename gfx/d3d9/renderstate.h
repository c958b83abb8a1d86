// Render-state caches: engine-level render states, deferred render and texture-stage states, samplers, material.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/renderstate.h"
#include "platform/d3d9/d3d9.h"

struct GxRaster;
struct GxTexture;

constexpr GxInt32 gxD3D9MAXTEXTURESTAGES = 8;
constexpr GxUInt32 gxD3D9NUMRENDERSTATES = 210;
constexpr GxUInt32 gxD3D9NUMTEXTURESTAGESTATES = 33;
constexpr GxUInt32 gxD3D9NUMSAMPLERSTATES = 14;

// A texture's filter-and-addressing word: filter mode in bits 0-7, addressing U in bits 8-11 and V in
// bits 12-15. Only those 16 bits are stored with a texture.
constexpr GxUInt32 gxD3D9FILTERMODEMASK = 0xFF;
constexpr GxUInt32 gxD3D9ADDRESSUSHIFT = 8;
constexpr GxUInt32 gxD3D9ADDRESSVSHIFT = 12;
constexpr GxUInt32 gxD3D9ADDRESSMASK = 0xF;
constexpr GxUInt32 gxD3D9FILTERADDRESSINGMASK = 0xFFFF;

// Geometry flags GxD3D9SetSurfaceProperties looks at.
constexpr GxUInt32 gxD3D9GEOMETRYPRELIT = 0x08;
constexpr GxUInt32 gxD3D9GEOMETRYMODULATEMATERIALCOLOR = 0x40;

// Engine level (the device record's slots). value carries the integer or pointer itself,
// except for the fog density, where it points at a GxReal. 0 for unsupported states or values.
GxBool GxD3D9RenderStateSet(GxInt32 state, void* value);
// Writes a 32-bit value (a GxRaster* for the texture raster, a GxReal for the fog density).
GxBool GxD3D9RenderStateGet(GxInt32 state, void* value);
// Forgets what the caches hold, so the next set of every state reaches the device.
void GxD3D9RenderStateReset(void);

// Direct3D level: recorded now, sent by the next flush when it differs from what was last sent. The device's
// answers are not checked: a flushed or sent value counts as the device's. Out-of-range states, stages and
// samplers are ignored.
void GxD3D9SetRenderState(GxUInt32 state, GxUInt32 value);
// The wanted value, which may not have been sent yet (0 for an unknown state).
void GxD3D9GetRenderState(GxUInt32 state, GxUInt32* value);
void GxD3D9SetTextureStageState(GxUInt32 stage, GxUInt32 state, GxUInt32 value);
// Sent at once when it differs from what was last sent.
void GxD3D9SetSamplerState(GxUInt32 sampler, GxUInt32 state, GxUInt32 value);
// Every draw path calls this right before its draw call.
void GxD3D9RenderStateFlush(void);

// Texture binding. A texture's filter-and-addressing field packs the filter mode in bits
// 0-7, addressing U in bits 8-11 and addressing V in bits 12-15.
GxBool GxD3D9SetTexture(const GxTexture* texture, GxUInt32 stage);
GxBool GxD3D9SetTextureRaster(GxRaster* raster, GxUInt32 stage);
// Engine state 9: stage 0's filter mode (0 to 6), sent as the minification, magnification and mip filters when it
// changes; 0 for a mode outside the table.
GxBool GxD3D9SetTextureFilterMode(GxUInt32 mode);
GxRaster* GxD3D9GetTextureRaster(GxUInt32 stage);
// Unbinds a raster that is going away from every stage that holds it.
void GxD3D9TextureRasterForget(const GxRaster* raster);

GxBool GxD3D9SetVertexAlpha(GxBool on);
GxBool GxD3D9GetVertexAlpha(void);
GxBool GxD3D9SetSrcBlend(GxUInt32 blend);
GxBool GxD3D9SetDestBlend(GxUInt32 blend);

// Material set-up. props: ambient, specular and diffuse coefficients; colour: 8-bit RGBA.
GxBool GxD3D9SetSurfaceProperties(const GxSurfaceProperties* props, const GxRGBA* colour, GxUInt32 flags);
// The ambient light colour the material set-up scales (kept by the lighting code).
void GxD3D9SetAmbientLightColour(GxReal red, GxReal green, GxReal blue);
