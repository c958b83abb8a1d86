// Test support: the spawner's seam put back to its default between cases.
#pragma once

#include "game/figures/spawner.h"

// Placement mode 0 (not building), what the spawner assumes with no hook set.
inline void ResetSpawnerHooks()
{
    SetSpawnerHooks({[]() -> int32_t { return 0; }});
}
