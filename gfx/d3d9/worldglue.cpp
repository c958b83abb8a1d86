// The driver's world glue: the usage-flag extension of geometries (with the dates of their locks), the
// dynamic-geometry list and the device restore that re-instances it, and the default atomic and material
// pipelines.

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/lights.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/vsbuilder.h"
#include "gfx/d3d9/worldglue_local.h"

GxD3D9WorldGlue gxD3D9WorldGlue;

namespace {

constexpr GxUInt32 kWorldPipelineOwner = 2;  // plugin id the default world pipelines carry
constexpr GxInt32 kDynamicEntriesPerBlock = 128;
constexpr GxUInt32 kDynamicHint = 0x3050F;
constexpr GxUInt32 kLockParts = 12;  // lock bits 0 to 11
constexpr GxUInt16 kRestoreParts = 0xFFF;

// The geometry extension: the usage flags, then the lock stamp at which each part was last seen locked.
struct GeometryGlue {
    GxUInt32 usage;
    GxUInt32 partStamps[kLockParts];
};

using DynamicEntry = GxD3D9DynamicGeometryEntry;

GxD3D9WorldGlue& glue = gxD3D9WorldGlue;

GeometryGlue* GlueOf(const GxGeometry* geometry)
{
    if (!geometry || glue.geometryOffset < 0) {
        return nullptr;
    }
    return reinterpret_cast<GeometryGlue*>(reinterpret_cast<char*>(const_cast<GxGeometry*>(geometry)) +
                                           glue.geometryOffset);
}

GeometryGlue* GlueAt(void* object, GxInt32 offset)
{
    return reinterpret_cast<GeometryGlue*>(static_cast<char*>(object) + offset);
}

void* UsageConstruct(void* object, GxInt32 offset, GxInt32)
{
    *GlueAt(object, offset) = GeometryGlue{};
    return object;
}

// A copy has no instances yet: it takes the usage flags only.
void* UsageCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    GlueAt(destination, offset)->usage = GlueAt(const_cast<void*>(source), offset)->usage;
    return destination;
}

// Unlinks a geometry's entry whatever its users.
void DynamicPurge(const GxGeometry* geometry)
{
    for (DynamicEntry** link = &glue.dynamic; *link; link = &(*link)->next) {
        if ((*link)->geometry == geometry) {
            DynamicEntry* entry = *link;
            *link = entry->next;
            GxFreeListFreeEntry(glue.dynamicEntries, entry);
            return;
        }
    }
}

// A destroyed geometry must not stay in the dynamic list.
void* UsageDestruct(void* object, GxInt32 offset, GxInt32)
{
    DynamicPurge(static_cast<GxGeometry*>(object));
    *GlueAt(object, offset) = GeometryGlue{};
    return object;
}

void* EngineOpen(void* instance, GxInt32, GxInt32) { return GxD3D9WorldPipelinesCreate() ? instance : nullptr; }

void* EngineClose(void* instance, GxInt32, GxInt32)
{
    GxD3D9WorldPipelinesDestroy();
    return instance;
}

void RestoreDevice(void)
{
    if (glue.previousRestore) {
        glue.previousRestore();
    }
    GxD3D9WorldDeviceRestore();
}

GxPipeline* BuildPipeline(GxNodeDefinition* definition)
{
    GxPipeline* pipeline = GxPipelineCreate();
    if (!pipeline) {
        return nullptr;
    }
    pipeline->ownerPluginId = kWorldPipelineOwner;
    if (!GxPipelineLock(pipeline) || !GxPipelineAddFragment(pipeline, nullptr, definition, nullptr) ||
        !GxPipelineUnlock(pipeline)) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    return pipeline;
}

}  // namespace

GxBool GxD3D9WorldPluginAttach(void)
{
    GX_ASSERT(GxEngineGetPluginOffset(gxPLUGIND3D9USAGEFLAGS) < 0, "the world glue is attached once per engine start");
    if (!GxD3D9LightPluginAttach()) {
        return 0;
    }
    glue.geometryOffset = GxGeometryRegisterPlugin(sizeof(GeometryGlue), gxPLUGIND3D9USAGEFLAGS, UsageConstruct,
                                                   UsageDestruct, UsageCopy);
    if (glue.geometryOffset < 0 || GxEngineRegisterPlugin(0, gxPLUGIND3D9USAGEFLAGS, EngineOpen, EngineClose) < 0 ||
        GxGeometryRegisterPlugin(0, gxID_NATIVEDATA, nullptr, nullptr, nullptr) < 0) {
        return 0;
    }
    auto read = [](GxStream* stream, GxInt32, void* object, GxInt32, GxInt32) {
        return GxD3D9GeometryNativeStreamRead(stream, static_cast<GxGeometry*>(object));
    };
    auto write = [](GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32) {
        return GxD3D9GeometryNativeStreamWrite(stream, static_cast<GxGeometry*>(const_cast<void*>(object)));
    };
    auto size = [](const void* object, GxInt32, GxInt32) {
        return GxD3D9GeometryNativeStreamSize(static_cast<GxGeometry*>(const_cast<void*>(object)));
    };
    if (GxGeometryRegisterPluginStream(gxID_NATIVEDATA, read, write, size) < 0) {
        return 0;
    }
    if (!glue.restoreInstalled) {
        glue.previousRestore = GxD3D9GetDeviceRestoreCallBack();
        GxD3D9SetDeviceRestoreCallBack(RestoreDevice);
        glue.restoreInstalled = true;
    }
    return 1;
}

GxBool GxD3D9GeometrySetUsageFlags(GxGeometry* geometry, GxUInt32 flags)
{
    GeometryGlue* data = GlueOf(geometry);
    if (!data) {
        return 0;
    }
    data->usage = flags;
    return 1;
}

GxUInt32 GxD3D9GeometryGetUsageFlags(const GxGeometry* geometry)
{
    const GeometryGlue* data = GlueOf(geometry);
    return data ? data->usage : 0;
}

GxUInt32 GxD3D9GeometryPartsLockedSince(GxGeometry* geometry, GxUInt32 stamp)
{
    GeometryGlue* data = GlueOf(geometry);
    if (!data) {
        return geometry ? geometry->lockedSinceLastInst : 0;  // no dates kept: every pending part
    }
    const GxUInt32 now = geometry->lockStamp;
    GxUInt32 parts = 0;
    for (GxUInt32 p = 0; p < kLockParts; p++) {
        if (geometry->lockedSinceLastInst & (1u << p)) {
            data->partStamps[p] = now;
        }
        // Ages counted back from now, so the comparison holds across a wrap of the stamp.
        if (now - data->partStamps[p] < now - stamp) {
            parts |= 1u << p;
        }
    }
    geometry->lockedSinceLastInst = 0;
    return parts;
}

GxBool GxD3D9AtomicPipelineCreate(void)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    GxPipeline* atomic = block ? BuildPipeline(GxD3D9AtomicAllInOneNodeGet()) : nullptr;
    if (!atomic) {
        return 0;
    }
    block->platformAtomicPipeline = block->currentAtomicPipeline = atomic;
    if (!GxD3D9LightResourcesOpen()) {
        GxD3D9AtomicPipelineDestroy();
        return 0;
    }
    GxD3D9VertexShaderCacheOpen();
    return 1;
}

void GxD3D9AtomicPipelineDestroy(void)
{
    while (glue.dynamic) {
        DynamicPurge(glue.dynamic->geometry);
    }
    if (glue.dynamicEntries) {
        GxFreeListDestroy(glue.dynamicEntries);
        glue.dynamicEntries = nullptr;
    }
    GxD3D9VertexShaderCacheClose();
    GxD3D9LightResourcesClose();
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    if (!block) {
        return;
    }
    block->currentAtomicPipeline = nullptr;
    GxPipelineDestroy(block->platformAtomicPipeline);
    block->platformAtomicPipeline = nullptr;
}

GxBool GxReturnTrue(void) { return 1; }

GxBool GxD3D9WorldPipelinesCreate(void)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    if (!block) {
        return 0;
    }
    block->currentAtomicPipeline = block->currentSectorPipeline = block->currentMaterialPipeline = nullptr;
    block->genericAtomicPipeline = block->genericSectorPipeline = block->genericMaterialPipeline = nullptr;
    block->platformAtomicPipeline = block->platformSectorPipeline = block->platformMaterialPipeline = nullptr;
    GxPipeline* sector = nullptr;
    if (GxReturnTrue() && GxD3D9AtomicPipelineCreate()) {
        sector = BuildPipeline(GxD3D9WorldSectorAllInOneNodeGet());
        if (!sector) {
            GxD3D9AtomicPipelineDestroy();
        }
    }
    if (!sector) {
        return 0;
    }
    block->platformSectorPipeline = block->currentSectorPipeline = sector;
    return 1;
}

void GxD3D9WorldPipelinesDestroy(void)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    if (block) {
        block->currentSectorPipeline = nullptr;
        GxPipelineDestroy(block->platformSectorPipeline);
        block->platformSectorPipeline = nullptr;
    }
    GxD3D9AtomicPipelineDestroy();
}

void GxD3D9SetDefaultAtomicPipeline(GxPipeline* pipeline)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    if (block) {
        block->currentAtomicPipeline = pipeline ? pipeline : block->platformAtomicPipeline;
    }
}

void GxD3D9DynamicGeometryAdd(GxGeometry* geometry)
{
    GX_ASSERT(geometry, "a two-stream instance names its geometry");
    for (DynamicEntry* entry = glue.dynamic; entry; entry = entry->next) {
        if (entry->geometry == geometry) {
            entry->users++;
            return;
        }
    }
    if (!glue.dynamicEntries) {
        glue.dynamicEntries =
            GxFreeListCreate(sizeof(DynamicEntry), kDynamicEntriesPerBlock, alignof(DynamicEntry), kDynamicHint);
        if (!glue.dynamicEntries) {
            return;
        }
    }
    auto* entry = static_cast<DynamicEntry*>(GxFreeListAllocEntry(glue.dynamicEntries, kDynamicHint));
    if (!entry) {
        return;
    }
    *entry = DynamicEntry{geometry, 1, glue.dynamic};
    glue.dynamic = entry;
}

void GxD3D9DynamicGeometryRemove(GxGeometry* geometry)
{
    for (DynamicEntry* entry = glue.dynamic; entry; entry = entry->next) {
        if (entry->geometry == geometry) {
            if (--entry->users <= 0) {
                DynamicPurge(geometry);
            }
            return;
        }
    }
}

void GxD3D9WorldDeviceRestore(void)
{
    // A new stamp makes every instance of the geometry stale, not only the first one drawn.
    for (DynamicEntry* entry = glue.dynamic; entry; entry = entry->next) {
        entry->geometry->lockedSinceLastInst = kRestoreParts;
        entry->geometry->lockStamp++;
    }
}
