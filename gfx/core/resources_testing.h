// Test access to the resources arena, compiled only into the tests that include it.
#pragma once

#include "gfx/core/resources_local.h"

// Bytes the arena's entries take now; 0 while no engine instance has the arena open.
inline GxUInt32 GxResourcesGetArenaUsage(void)
{
    return gxResourcesArena.moduleInstances > 0 ? GxResourcesArenaGet()->usedBytes : 0;
}
