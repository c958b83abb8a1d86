// Immediate-mode 2D: screen-space vertices copied into a dynamic buffer and drawn with the current render states.
#pragma once

#include "gfx/core/gx.h"

// Screen-space vertex; also the device's vertex layout, so the bytes are fixed (28).
struct GxIm2DVertex {
    GxReal x;           // pixels
    GxReal y;
    GxReal z;           // 0..1 of the depth buffer
    GxReal rhw;         // reciprocal w
    GxUInt32 emissiveColor;  // D3D colour: blue, green, red, alpha bytes
    GxReal u;
    GxReal v;
};
static_assert(sizeof(GxIm2DVertex) == 28, "Im2D vertices are the device layout");

// Own vertex buffer and index buffer sizes.
constexpr GxUInt32 gxIM2DVERTEXBUFFERBYTES = 0x40000;
constexpr GxUInt32 gxIM2DMAXVERTICES = gxIM2DVERTEXBUFFERBYTES / sizeof(GxIm2DVertex);  // 9362
constexpr GxUInt32 gxIM2DMAXINDICES = 10000;

// The four renderers (GxD3D9Im2DRenderLine, ...Triangle, ...Primitive, ...IndexedPrimitive) and
// GxD3D9Im2DOpen / GxD3D9Im2DClose are declared in d3d9_local.h; callers reach the renderers
// through the engine instance's device record.

// Internal: the common state set-up every renderer runs after writing its vertices.
void GxD3D9Im2DSetupRender(void);
// Whether the module made its own vertex buffer (tests and tools).
GxBool GxD3D9Im2DHasOwnBuffer(void);
