// The vertex-shader cache's state, kept by vscache.cpp; the cache's tests read it through vscache_testing.h.
#pragma once

#include <array>

#include "gfx/d3d9/vsbuilder.h"
#include "platform/d3d9/d3dx9.h"

// The utility library's assembler, or the one a test put in its place.
typedef HRESULT (*GxD3D9VertexShaderAssembler)(const char* source, UINT length, const D3DXMACRO* defines,
                                               LPD3DXINCLUDE include, DWORD flags, LPD3DXBUFFER* shader,
                                               LPD3DXBUFFER* errors);

struct GxD3D9VertexShaderCacheEntry {
    GxUInt32 key;
    GxUInt32 stamp;
    IDirect3DVertexShader9* shader;
    GxD3D9VertexShaderRegisters registers;
};

struct GxD3D9VertexShaderCacheState {
    std::array<GxD3D9VertexShaderCacheEntry, gxD3D9VSCACHESIZE> entries;  // in key order
    GxUInt32 count;
    GxUInt32 memo;  // the entry found last
    GxInt32 level;
    GxUInt32 constants;
    bool wFog;
    GxD3D9VertexShaderAssembler assemble;
};

extern GxD3D9VertexShaderCacheState gxD3D9VertexShaderCache;
