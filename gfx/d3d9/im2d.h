// Immediate-mode 2D: screen-space vertices copied into a dynamic buffer and drawn with the current render states.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/im2d.h"

// Own vertex buffer and index buffer sizes.
constexpr GxUInt32 gxIM2DVERTEXBUFFERBYTES = 0x40000;
constexpr GxUInt32 gxIM2DMAXVERTICES = gxIM2DVERTEXBUFFERBYTES / sizeof(GxIm2DVertex);  // 9362
constexpr GxUInt32 gxIM2DMAXINDICES = 10000;

// The four renderers (GxD3D9Im2DRenderLine, ...Triangle, ...Primitive, ...IndexedPrimitive) and
// GxD3D9Im2DOpen / GxD3D9Im2DClose are declared in d3d9_local.h; callers reach the renderers
// through the engine instance's device record.

// Internal: the common state set-up every renderer runs after writing its vertices.
void GxD3D9Im2DSetupRender(void);
