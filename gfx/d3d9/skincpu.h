// Processor skinning: the bone palette built from a hierarchy and a skin, and the blends that move each vertex
// by its weighted bones into a vertex buffer. One code path in plain matrix rows (x right + y up + z at + pos).
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/gx.h"

struct GxAtomic;

// Palette entries the current draw may read: min(hierarchy nodes, skin bones, palette size).
GxUInt32 GxD3D9SkinPaletteCount(const GxSkin* skin, const GxAnimHierarchy* hierarchy);
// palette[i] = skin-to-bone(i) x node matrix(i) x inverse(world of the atomic's frame); local-space hierarchies
// skip the inverse. Entries from the node count up to the bone count are the identity, so no bone reads stale
// data. Skipped while (hierarchy, counter, atomic frame) is unchanged. Returns the palette.
GxMatrix* GxD3D9SkinPaletteBuild(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy,
                                 GxUInt32 counter);
// The same into a palette of the caller's, without the cache; `world` null for the identity.
void GxD3D9SkinPaletteMatrices(GxMatrix* palette, const GxMatrix* world, const GxSkin* skin,
                               const GxAnimHierarchy* hierarchy);
// Forgets the cached palette key (a new frame, a device reset, tests).
void GxD3D9SkinPaletteInvalidate(void);

// The blends: positions always, normals when both pointers are given (3x3 part, not renormalised). `stride` is
// the distance between output vertices in bytes; the inputs are packed GxV3d arrays.
typedef void (*GxD3D9SkinBlendFunc)(GxUInt32 count, const GxReal* weights, const GxUInt32* indices,
                                    const GxMatrix* palette, const GxV3d* positionsIn, void* positionsOut,
                                    const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
void GxD3D9SkinBlendWeights4(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
void GxD3D9SkinBlendWeights2(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
void GxD3D9SkinBlendWeights1(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
// Every vertex by the skin's one used bone (palette entry `indices` is ignored; the bone is in weights' place).
void GxD3D9SkinBlendSingleBone(GxUInt32 count, const GxMatrix* matrix, const GxV3d* positionsIn, void* positionsOut,
                               const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
// Blends the whole skin with the routine its weights call for.
void GxD3D9SkinBlend(const GxSkin* skin, const GxMatrix* palette, GxUInt32 count, const GxV3d* positionsIn,
                     void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
