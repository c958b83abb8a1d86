// Test access to the processor features, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/cpu_local.h"

// Stands in another processor until the next detection.
inline void GxCPUSetFeatures(GxBool sse, GxBool sse2, GxBool amd3DNow)
{
    gxCPUFeatures = GxCPUFeatures{sse ? 1 : 0, sse2 ? 1 : 0, amd3DNow ? 1 : 0};
}
