// The 2D immediate mode's buffers, kept by im2d.cpp; its tests read them through im2d_testing.h.
#pragma once

#include "gfx/core/gx.h"
#include "platform/d3d9/d3d9.h"

struct GxD3D9Im2DState {
    GxBool ownBuffer;
    IDirect3DVertexBuffer9* vertexBuffer;  // own, or the dynamic one last handed out
    GxUInt32 nextVertex;
    IDirect3DIndexBuffer9* indexBuffer;
    GxUInt32 nextIndex;
    IDirect3DVertexDeclaration9* declaration;
};

extern GxD3D9Im2DState gxD3D9Im2D;
