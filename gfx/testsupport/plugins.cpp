// The driver's plugins under names that do not name the driver.
#include "gfx/testsupport/plugins.h"

#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"

GxBool GxTestSectorPluginAttach() { return GxD3D9SectorPluginAttach(); }

GxBool GxTestSkinPluginAttach() { return GxD3D9SkinPluginAttach(); }
