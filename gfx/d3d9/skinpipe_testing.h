// Test access to the skin pipelines, compiled only into the tests, tools and benchmarks that include it.
#pragma once

#include "gfx/core/memory.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/skin_local.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"

// The pipeline of a slot; null for an empty or unknown slot.
inline GxPipeline* GxD3D9SkinGetPipeline(GxInt32 slot)
{
    return slot >= 0 && slot < gxD3D9SKINPIPELINESLOTS ? gxD3D9SkinPipelines[slot] : nullptr;
}

// Remakes the skin pipeline as on a device whose vertex shaders are usable (`shaders`, when the device has them)
// or not, gives each atomic the new pipeline and drops its instance: its next draw instances it for the path such
// a device takes. False when the pipeline cannot be made.
inline bool GxD3D9SkinTestUseShaders(GxAtomic* const* atomics, size_t count, bool shaders)
{
    D3DCAPS9 device = {};
    if (!gxD3D9State.device || FAILED(gxD3D9State.device->GetDeviceCaps(&device))) {
        return false;
    }
    gxD3D9State.caps.VertexShaderVersion = shaders ? device.VertexShaderVersion : 0;
    if (!GxSkinPipelinesDestroy() || !GxSkinPipelinesCreate(1)) {
        return false;
    }
    for (size_t i = 0; i < count; i++) {
        GxAtomic* atomic = atomics[i];
        GxSkinAtomicInitPipeline(atomic, gxD3D9SKINTYPEATOMIC);
        GxGeometry* geometry = atomic->geometry;
        GxResourceEntry* entry = geometry && geometry->numMorphTargets > 1 ? atomic->repEntry
                                 : geometry                                ? geometry->repEntry
                                                                           : nullptr;
        if (entry && !(geometry->flags & gxGEOMETRYNATIVE)) {
            GxResourceEntryFree(entry);
        }
    }
    return true;
}
