// Test support for the floor manager: debris objects that tests and benchmarks put in place of the models'.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "engine/world/object.h"
#include "game/world/floors.h"

// The filter new storeys are laid by (CFloorManager::SetCellFilter).
extern FerroxStoreyFilter g_floorCellFilter;

struct CFloorManagerTesting {
    static FerroxStoreyFilter CellFilter() { return g_floorCellFilter; }
    // Takes the object over as debris object `index` (one past the end appends), freeing the one it replaces.
    static void SetDebrisObject(CFloorManager* floors, size_t index, std::unique_ptr<CFerroxObject> object)
    {
        std::vector<std::unique_ptr<CFerroxObject>>& debris = floors->m_debris;
        if (index == debris.size())
            debris.push_back(std::move(object));
        else if (index < debris.size())
            debris[index] = std::move(object);
    }
};
