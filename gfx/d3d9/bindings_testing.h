// Test access to the bindings' cache, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/bindings_local.h"

// The vertex format last set; gxD3D9UNKNOWNFVF when a declaration or an unknown state replaced it.
inline GxUInt32 GxD3D9GetFVF(void) { return gxD3D9Bindings.fvf; }

// The light table's entries, and their count.
inline const GxD3D9LightRecord* GxD3D9GetLightTable(GxInt32* count)
{
    if (count) {
        *count = gxD3D9Bindings.numLights;
    }
    return gxD3D9Bindings.lights;
}
