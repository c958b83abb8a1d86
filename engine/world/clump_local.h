// Walks and tags of a model's clump, shared by the engine's objects, composite models and world.
#pragma once

#include "gfx/world/clump.h"
#include "gfx/world/userdata.h"

// Calls visit(atomic) for every atomic of the clump; nothing for a null clump.
template <typename F>
void FerroxForEachAtomic(GxClump* clump, F visit)
{
    if (!clump)
        return;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            (*static_cast<F*>(data))(atomic);
            return atomic;
        },
        &visit);
}

// The first text of the frame's first user-data array (its tag); null when it has none.
inline const char* FerroxFrameTag(GxFrame* frame)
{
    if (!frame || GxFrameGetUserDataArrayCount(frame) < 1)
        return nullptr;
    const GxUserDataArray* array = GxFrameGetUserDataArray(frame, 0);
    if (!array || array->format != gxUSERDATASTRING || array->numElements < 1)
        return nullptr;
    return GxUserDataArrayGetString(array, 0);
}
