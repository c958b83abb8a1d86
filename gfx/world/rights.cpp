// Atomic render rights (the 0x1F extension), the default atomic render callback and the stream attach.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/pipeline.h"
#include "gfx/world/clump.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world_local.h"

GxRightsRecord gxAtomicPendingRights = {0, 0};

namespace {

constexpr GxInt32 kRightsSize = 8;
constexpr GxInt32 kPluginIDSize = 4;

}  // namespace

GxStream* GxAtomicRightsStreamRead(GxStream* stream, GxInt32 length, void*, GxInt32, GxInt32)
{
    if (length < kPluginIDSize || !GxWorldReadU32(stream, &gxAtomicPendingRights.pluginID)) {
        return nullptr;
    }
    if (length == kRightsSize && !GxWorldReadU32(stream, &gxAtomicPendingRights.extraData)) {
        return nullptr;
    }
    return stream;
}

GxStream* GxAtomicRightsStreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    // The registry writes only what the size callback announced, so the pipeline is there.
    const GxPipeline* pipeline = static_cast<const GxAtomic*>(object)->pipeline;
    GX_ASSERT(pipeline, "a rights chunk is written only for an atomic with a pipeline");
    if (!GxWorldWriteU32(stream, pipeline->ownerPluginId) || !GxWorldWriteU32(stream, pipeline->pluginData)) {
        return nullptr;
    }
    return stream;
}

GxInt32 GxAtomicRightsStreamGetSize(const void* object, GxInt32, GxInt32)
{
    const GxPipeline* pipeline = static_cast<const GxAtomic*>(object)->pipeline;
    return pipeline && pipeline->ownerPluginId != 0 ? kRightsSize : 0;
}

GxAtomic* GxAtomicDefaultRenderCallback(GxAtomic* atomic)
{
    GxPipeline* pipeline = atomic->pipeline;
    if (!pipeline) {
        GxPipelineModuleBlock* pipelines = GxPipelineGetModuleBlock();
        GX_ASSERT(pipelines, "atomics are drawn while the pipeline module is open");
        pipeline = pipelines->currentAtomicPipeline;
    }
    return GxPipelineExecute(pipeline, atomic, 1) ? atomic : nullptr;
}

GxBool GxWorldStreamPluginAttach(void)
{
    if (GxGeometryGetPluginOffset(gxID_BINMESH) < 0 &&
        GxGeometryRegisterPlugin(0, gxID_BINMESH, nullptr, nullptr, nullptr) < 0) {
        return 0;
    }
    if (GxGeometryRegisterPluginStream(gxID_BINMESH, GxBinMeshGeometryStreamRead, GxBinMeshGeometryStreamWrite,
                                       GxBinMeshGeometryStreamGetSize) < 0) {
        return 0;
    }
    if (GxAtomicGetPluginOffset(gxID_RIGHTTORENDER) < 0 &&
        GxAtomicRegisterPlugin(0, gxID_RIGHTTORENDER, nullptr, nullptr, nullptr) < 0) {
        return 0;
    }
    return GxAtomicRegisterPluginStream(gxID_RIGHTTORENDER, GxAtomicRightsStreamRead, GxAtomicRightsStreamWrite,
                                        GxAtomicRightsStreamGetSize) >= 0;
}
