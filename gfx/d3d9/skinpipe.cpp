// The skinned-atomic pipeline and its processor path; the path choice leaves a seam for the vertex-shader path.
#include "gfx/d3d9/skinpipe.h"

#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxUInt32 kMaskSkinnedAtomic = 1;
constexpr GxUInt32 kPipelineData = 1;
constexpr GxUInt32 kPositionSize = 12;  // FLOAT3, first in the vertex

enum class SkinPath {
    processor,
    shader
};

GxPipeline* slots[gxD3D9SKINPIPELINESLOTS] = {};
std::vector<GxV3d> normalScratch;

// The vertex-shader path takes atomics whose palette fits the device's constants once its shader builder
// exists; until then every skinned atomic is blended on the processor.
SkinPath ChoosePath(const GxAtomic*, const GxSkin*) { return SkinPath::processor; }

GxUInt32 NormalType()
{
    return (GxD3D9GetCaps()->DeclTypes & D3DDTCAPS_DEC3N) ? D3DDECLTYPE_DEC3N : D3DDECLTYPE_FLOAT3;
}

// Blends positions (and normals) into the first stream of the instance; a failed lock leaves the previous pose.
void BlendIntoStream(GxAtomic* atomic, GxD3D9InstanceHeader* header, const GxSkin* skin,
                     const GxAnimHierarchy* hierarchy)
{
    GxD3D9VertexStream& stream = header->streams[0];
    GxGeometry* geometry = atomic->geometry;
    if (!stream.buffer || !(stream.contents & gxD3D9STREAMPOSITIONS) || geometry->numMorphTargets < 1 ||
        skin->numVertices < header->vertexTotal) {
        return;
    }
    const GxMatrix* palette = GxD3D9SkinPaletteBuild(atomic, skin, hierarchy, 0);
    if (!palette) {
        return;
    }
    void* data = nullptr;
    if (FAILED(stream.buffer->Lock(stream.offset, stream.stride * header->vertexTotal, &data, D3DLOCK_NOSYSLOCK)) ||
        !data) {
        return;
    }
    const GxMorphTarget* target = &geometry->morphTarget[0];
    auto* base = static_cast<GxUInt8*>(data);
    const bool normals = (stream.contents & gxD3D9STREAMNORMALS) && target->normals;
    const GxUInt32 count = header->vertexTotal;
    if (normals && NormalType() == D3DDECLTYPE_FLOAT3) {
        GxD3D9SkinBlend(skin, palette, count, target->verts, base, target->normals, base + kPositionSize,
                        stream.stride);
    } else {
        GxD3D9SkinBlend(skin, palette, count, target->verts, base, nullptr, nullptr, stream.stride);
        if (normals) {
            // Packed normals: blended as floats, then packed by the driver's element writer.
            normalScratch.resize(count);
            GxD3D9SkinBlend(skin, palette, count, target->normals, normalScratch.data(), nullptr, nullptr,
                            sizeof(GxV3d));
            GxD3D9WriteV3d(D3DDECLTYPE_DEC3N, base + kPositionSize, normalScratch.data(), count, stream.stride);
        }
    }
    stream.buffer->Unlock();
}

void SkinRenderCallback(GxResourceEntry* entry, void* object, GxUInt8 type, GxUInt32 flags)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    const GxAnimHierarchy* hierarchy = GxSkinAtomicGetHierarchy(atomic);
    if (skin && hierarchy && skin->vertexBoneWeights && ChoosePath(atomic, skin) == SkinPath::processor) {
        BlendIntoStream(atomic, reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1), skin, hierarchy);
    }
    GxD3D9DefaultRenderCallback(entry, object, type, flags);
}

GxBool PipelinesCreateHook(GxUInt32 mask) { return GxSkinPipelinesCreate(mask); }

GxBool PipelinesDestroyHook(void) { return GxSkinPipelinesDestroy(); }

}  // namespace

GxPipeline* GxD3D9SkinPipelineCreate(void)
{
    GxPipeline* pipeline = GxPipelineCreate();
    if (!pipeline) {
        return nullptr;
    }
    // Pipelines of this owner keep one stream, which the blend rewrites in place.
    pipeline->ownerPluginId = gxD3D9SKINPIPELINEID;
    pipeline->pluginData = kPipelineData;
    if (!GxPipelineLock(pipeline) ||
        !GxPipelineAddFragment(pipeline, nullptr, GxD3D9AtomicAllInOneNodeGet(), nullptr) ||
        !GxPipelineUnlock(pipeline)) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    GxD3D9AllInOneCallBacks* callBacks = GxD3D9AllInOneGetCallBacks(pipeline);
    if (!callBacks) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    callBacks->renderCallBack = SkinRenderCallback;
    return pipeline;
}

GxBool GxSkinPipelinesCreate(GxUInt32 mask)
{
    if (mask & kMaskSkinnedAtomic) {
        slots[0] = GxD3D9SkinPipelineCreate();
        if (!slots[0]) {
            return 0;
        }
    }
    GxD3D9SkinPaletteInvalidate();
    return 1;
}

GxBool GxSkinPipelinesDestroy(void)
{
    for (GxPipeline*& slot : slots) {
        if (slot) {
            GxPipelineDestroy(slot);
            slot = nullptr;
        }
    }
    normalScratch = std::vector<GxV3d>();
    return 1;
}

GxAtomic* GxSkinAtomicInitPipeline(GxAtomic* atomic, GxInt32)
{
    atomic->pipeline = slots[0];
    return atomic;
}

GxPipeline* GxD3D9SkinGetPipeline(GxInt32 slot)
{
    return slot >= 0 && slot < gxD3D9SKINPIPELINESLOTS ? slots[slot] : nullptr;
}

GxBool GxD3D9SkinPluginAttach(void)
{
    static const GxSkinDriverHooks hooks = {PipelinesCreateHook, PipelinesDestroyHook, GxSkinAtomicInitPipeline};
    GxSkinSetDriverHooks(&hooks);
    return GxSkinPluginAttach();
}
