// The driver's plugins, for tests above the driver that attach them without naming it.
#pragma once

#include "gfx/core/gx.h"

// The driver's world-sector pipeline.
GxBool GxTestSectorPluginAttach();
// The driver's skinned-atomic pipeline.
GxBool GxTestSkinPluginAttach();
