// Test access to a skin's split tables: setting them from a block.
#pragma once

#include <cstring>

#include "gfx/anim/anim_local.h"
#include "gfx/core/memory.h"

// The block as given (bone count + 2 x (meshes + runs) bytes) is copied and checked.
inline GxBool GxSkinSplitDataSet(GxSkin* skin, GxUInt32 boneLimit, GxUInt32 meshCount, GxUInt32 runCount,
                                 const GxUInt8* block)
{
    GxSkinSplitDataDestroy(skin);
    if (meshCount == 0) {
        return 1;
    }
    const GxUInt32 size = GxSkinSplitBlockSize(skin->numBones, meshCount, runCount);
    auto* copy = static_cast<GxUInt8*>(GxMalloc(size, GxSkinAllocHint()));
    if (!copy) {
        return 0;
    }
    memcpy(copy, block, size);
    skin->boneLimit = boneLimit;
    skin->meshCount = meshCount;
    skin->runCount = runCount;
    skin->block = copy;
    GxSkinSplitSetPointers(skin);
    if (!GxSkinSplitValid(skin)) {
        GxSkinSplitDataDestroy(skin);
        return 0;
    }
    return 1;
}
