// Level-of-detail support for writers and tests: setting the level scale, which the program takes from streams only.
#pragma once

#include "gfx/world/lod.h"

// Levels per unit of depth used by the default selection, on an atomic that has a record; null when it has none.
inline GxAtomic* GxLODAtomicSetLevelScale(GxAtomic* atomic, GxReal scale)
{
    GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
    if (!record) {
        return nullptr;
    }
    record->levelScale = scale;
    return atomic;
}
