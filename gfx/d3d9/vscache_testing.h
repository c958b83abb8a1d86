// Test access to the vertex-shader cache's entries, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/vscache_local.h"

inline GxUInt32 GxD3D9VertexShaderCacheCount(void) { return gxD3D9VertexShaderCache.count; }

inline GxUInt32 GxD3D9VertexShaderCacheKey(GxUInt32 index)
{
    return index < gxD3D9VertexShaderCache.count ? gxD3D9VertexShaderCache.entries[index].key : 0;
}

// The shader level and the constant registers the cache took from the device when it opened.
inline GxInt32 GxD3D9VertexShaderGetLevel(void) { return gxD3D9VertexShaderCache.level; }
inline GxUInt32 GxD3D9VertexShaderGetMaxConstants(void) { return gxD3D9VertexShaderCache.constants; }

// Replaces the utility library's assembler (null restores it), so tests choose which texts assemble.
inline void GxD3D9VertexShaderSetAssembler(GxD3D9VertexShaderAssembler function)
{
    gxD3D9VertexShaderCache.assemble = function ? function : D3DXAssembleShader;
}
