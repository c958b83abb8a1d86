// Test access to the vertex-shader cache's entries.
#pragma once

#include "gfx/core/gx.h"
#include "platform/d3d9/d3dx9.h"

GxUInt32 GxD3D9VertexShaderCacheCount(void);
GxUInt32 GxD3D9VertexShaderCacheKey(GxUInt32 index);
// Shaders generated since the program started (null ones included).
GxUInt32 GxD3D9VertexShaderCacheGenerated(void);
// Replaces the utility library's assembler (null restores it), so tests choose which texts assemble.
typedef HRESULT (*GxD3D9VertexShaderAssembler)(const char* source, UINT length, const D3DXMACRO* defines,
                                               LPD3DXINCLUDE include, DWORD flags, LPD3DXBUFFER* shader,
                                               LPD3DXBUFFER* errors);
void GxD3D9VertexShaderSetAssembler(GxD3D9VertexShaderAssembler function);
