// Test access to the world module's glue, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/sectorpipe_local.h"

// The engine instances the world module is open in.
inline GxInt32 GxD3D9WorldModuleOpenCount(void) { return gxD3D9SectorGlue.openInstances; }
