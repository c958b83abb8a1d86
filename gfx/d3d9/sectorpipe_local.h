// The world module's glue, kept by sectorpipe.cpp; its tests read it through sectorpipe_testing.h.
#pragma once

#include "gfx/core/gx.h"

struct GxD3D9SectorGlue {
    GxInt32 usageOffset = -1;
    GxInt32 openInstances = 0;  // engine instances the world module is open in
};

extern GxD3D9SectorGlue gxD3D9SectorGlue;
