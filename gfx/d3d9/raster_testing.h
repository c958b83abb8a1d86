// Test access to the driver's list of default-pool rasters, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/raster_local.h"

// The listed rasters, in list order (head first).
inline const GxD3D9RasterListNode* GxD3D9RasterListFirst(void) { return gxD3D9RasterList.head; }
