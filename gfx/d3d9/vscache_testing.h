// Test access to the vertex-shader cache's entries.
#pragma once

#include "gfx/core/gx.h"

GxUInt32 GxD3D9VertexShaderCacheCount(void);
GxUInt32 GxD3D9VertexShaderCacheKey(GxUInt32 index);
// Shaders generated since the program started (null ones included).
GxUInt32 GxD3D9VertexShaderCacheGenerated(void);
