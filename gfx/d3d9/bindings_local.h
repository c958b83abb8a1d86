// The bindings' cache of device state, shared by the bindings code and its test access.
#pragma once

#include "gfx/d3d9/bindings.h"

// What the device was last given; a pointer that matches nothing a caller can pass marks a state as unknown.
struct GxD3D9StreamCache {
    const void* vertexBuffer;
    GxUInt32 offset;
    GxUInt32 stride;
};

struct GxD3D9Bindings {
    GxUInt32 fvf;
    const void* declaration;
    const void* vertexShader;
    const void* pixelShader;
    const void* indices;
    GxD3D9StreamCache streams[gxD3D9MAXSTREAMS];
    const void* renderTargets[gxD3D9MAXRENDERTARGETS];
    const void* depthStencil;

    GxFreeList* matrixFreeList;
    D3DMATRIX* transforms[gxD3D9NUMTRANSFORMS];
    D3DMATRIX* worldCopy;
    GxBool worldCopyValid;  // cleared when the device's world matrix no longer matches the copy
    GxBool worldIsIdentity;

    GxD3D9LightRecord* lights;
    GxInt32 numLights;

    GxD3D9VertexDeclarationCacheEntry* declarations;
    GxInt32 numDeclarations;
    GxInt32 maxDeclarations;
};
extern GxD3D9Bindings gxD3D9Bindings;
