// Fuzz-target support of the game's data readers: the plugins a model file needs and a one-triangle model to
// stand in for every model a plan names.
#pragma once

#include <cstdlib>
#include <vector>

#include "engine/world/clumpext.h"
#include "gfx/anim/anim.h"
#include "gfx/core/engine.h"
#include "gfx/core/stream.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

// Levels of detail, worlds, the hierarchy, user data and the clump extension; aborts when one does not attach.
inline void GameFuzzAttachModelPlugins()
{
    if (!GxLODAtomicPluginAttach() || !GxWorldPluginAttach() || !GxAnimHierarchyPluginAttach() ||
        !GxUserDataPluginAttach() || !AttachClumpExtension())
        std::abort();
}

// One triangle in a clump, as a model file's bytes.
inline std::vector<GxUInt8> GameFuzzTriangleModel()
{
    GxClump* clump = GxClumpCreate();
    GxFrame* frame = GxFrameCreate();
    GxAtomic* atomic = GxAtomicCreate();
    GxGeometry* geometry = GxGeometryCreate(3, 1, gxGEOMETRYPOSITIONS);
    if (!clump || !frame || !atomic || !geometry)
        std::abort();
    GxMorphTarget* target = &geometry->morphTarget[0];
    target->verts[0] = GxV3d{0.0f, 0.0f, 0.0f};
    target->verts[1] = GxV3d{1.0f, 0.0f, 0.0f};
    target->verts[2] = GxV3d{0.0f, 1.0f, 0.0f};
    geometry->triangles[0].vertIndex[0] = 0;
    geometry->triangles[0].vertIndex[1] = 1;
    geometry->triangles[0].vertIndex[2] = 2;
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    if (!GxGeometryUnlock(geometry))
        std::abort();
    GxClumpSetFrame(clump, frame);
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxClumpAddAtomic(clump, atomic);

    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool written = stream && GxClumpStreamWrite(clump, stream);
    GxMemory memory = {nullptr, 0};
    if (stream)
        GxStreamClose(stream, &memory);
    GxClumpDestroy(clump);
    if (!written)
        std::abort();
    std::vector<GxUInt8> bytes(memory.start, memory.start + memory.length);
    GxFree(memory.start);
    return bytes;
}
