// Processor skinning: the bone palette built from a hierarchy and a skin, and the blends that move each vertex
// by its weighted bones into a vertex buffer, in a scalar and a packed (SSE) form.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/gx.h"

struct GxAtomic;
struct GxFrame;

// Palette entries the current draw may read: min(hierarchy nodes, skin bones, palette size).
GxUInt32 GxD3D9SkinPaletteCount(const GxSkin* skin, const GxAnimHierarchy* hierarchy);

// Two palette layouts in the skin module's palette buffer (64 bytes per bone):
// - rows (the packed routines): the plain matrix rows right, up, at, pos with 0 in each fourth float, a point
//   going to x right + y up + z at + pos;
// - columns (the scalar routines): three rows (right.c, up.c, at.c, pos.c) for c = x, y, z, a point's c going to
//   row c . (x, y, z, 1); the fourth row is unused.
constexpr GxUInt32 gxD3D9SKINCOLUMNFLOATS = 12;  // the three rows one product writes
constexpr GxUInt32 gxD3D9SKINBONEFLOATS = 16;    // one bone of either layout

// palette[i] = skin-to-bone(i) x node matrix(i) x inverse(world of the atomic's frame); local-space hierarchies
// skip the inverse. Entries from the node count up to the bone count are the identity, so no bone reads stale
// data. Skipped while (hierarchy, skin, render frame, atomic frame) are unchanged: the processor uses one layout.
// Null without a palette buffer.
GxMatrix* GxD3D9SkinPaletteBuildSSE(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy);
GxReal* GxD3D9SkinPaletteBuild(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy);
// The row layout into a palette of the caller's, without the cache; `world` null for the identity.
void GxD3D9SkinPaletteMatrices(GxMatrix* palette, const GxMatrix* world, const GxSkin* skin,
                               const GxAnimHierarchy* hierarchy);
// a x b written as the twelve floats of the column layout.
void GxD3D9SkinMatrixMultiplyPalette(GxReal* out, const GxMatrix* a, const GxMatrix* b);
// Forgets the cached palette key (a new frame, a device reset, tests).
void GxD3D9SkinPaletteInvalidate(void);
// The palette cache key shared with the vertex-shader path, which stores the complement of the render frame.
GxBool GxD3D9SkinPaletteKeyMatches(const GxAnimHierarchy* hierarchy, const GxSkin* skin, GxUInt32 stamp,
                                   const GxFrame* frame);
void GxD3D9SkinPaletteKeyStore(const GxAnimHierarchy* hierarchy, const GxSkin* skin, GxUInt32 stamp,
                               const GxFrame* frame);

// The blends: positions always, normals when both pointers are given (3x3 part, not renormalised). `stride` is
// the distance between output vertices in bytes; the inputs are packed GxV3d arrays. A first weight of 1 or more
// takes bone 0 alone; the third bone counts when its weight is above 0, the fourth only when the third does too.
// The scalar routines read the column layout, their packed twins the row layout; both give the same sums.
void GxD3D9SkinBlendWeights4(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
void GxD3D9SkinBlendWeights2(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
void GxD3D9SkinBlendWeights1(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxReal* palette,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
// Every vertex by one bone's matrix.
void GxD3D9SkinBlendSingleBone(GxUInt32 count, const GxReal* matrix, const GxV3d* positionsIn, void* positionsOut,
                               const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
void GxD3D9SkinBlendWeights4SSE(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                                const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                                GxUInt32 stride);
void GxD3D9SkinBlendWeights2SSE(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                                const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                                GxUInt32 stride);
void GxD3D9SkinBlendWeights1SSE(GxUInt32 count, const GxReal* weights, const GxUInt32* indices, const GxMatrix* palette,
                                const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                                GxUInt32 stride);
void GxD3D9SkinBlendSingleBoneSSE(GxUInt32 count, const GxMatrix* matrix, const GxV3d* positionsIn, void* positionsOut,
                                  const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
// Blends the whole skin with the routine its weights call for: one weight and one used bone take the single-bone
// routine, one weight the weights-1 routine, two the weights-2 routine, more the weights-4 routine.
void GxD3D9SkinBlend(const GxSkin* skin, const GxReal* palette, GxUInt32 count, const GxV3d* positionsIn,
                     void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
void GxD3D9SkinBlendSSE(const GxSkin* skin, const GxMatrix* palette, GxUInt32 count, const GxV3d* positionsIn,
                        void* positionsOut, const GxV3d* normalsIn, void* normalsOut, GxUInt32 stride);
// Builds the atomic's palette and blends its skin with the packed routines when the processor has SSE, else with
// the scalar ones. 0 (nothing written) without a palette buffer.
GxBool GxD3D9SkinBlendAtomic(GxAtomic* atomic, const GxSkin* skin, const GxAnimHierarchy* hierarchy, GxUInt32 count,
                             const GxV3d* positionsIn, void* positionsOut, const GxV3d* normalsIn, void* normalsOut,
                             GxUInt32 stride);
