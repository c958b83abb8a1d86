// Test access to the skin pipelines, compiled only into the tests that include it.
#pragma once

#include "gfx/d3d9/skin_local.h"

// The pipeline of a slot; null for an empty or unknown slot.
inline GxPipeline* GxD3D9SkinGetPipeline(GxInt32 slot)
{
    return slot >= 0 && slot < gxD3D9SKINPIPELINESLOTS ? gxD3D9SkinPipelines[slot] : nullptr;
}
