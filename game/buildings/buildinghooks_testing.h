// Test support: the building seam emptied between cases, so that one case's hooks never reach the next.
#pragma once

#include "game/buildings/building.h"

// Every entry back to null (the defaults noted in building.h). The seam is one plain global that the setter
// only fills; tests empty it through the reference the game reads.
inline void ResetBuildingHooks() { const_cast<BuildingHooks&>(GetBuildingHooks()) = BuildingHooks{}; }
