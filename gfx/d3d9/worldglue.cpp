// The driver's world glue: the usage-flag extension of geometries, the dynamic-geometry list and the device
// restore that re-instances it, and the default atomic and material pipelines.
#include <cstring>

#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/lights.h"

namespace {

constexpr GxUInt32 kWorldPipelineOwner = 2;    // plugin id the default world pipelines carry
constexpr GxInt32 kDynamicEntriesPerBlock = 128;
constexpr GxUInt32 kDynamicHint = 0x3050F;

struct DynamicEntry {
    GxGeometry* geometry;
    DynamicEntry* next;
};

struct WorldGlue {
    GxInt32 geometryOffset = -1;
    GxInt32 openInstances = 0;
    DynamicEntry* dynamic = nullptr;
    GxFreeList* dynamicEntries = nullptr;
    GxD3D9DeviceRestoreCallBack previousRestore = nullptr;
    bool restoreInstalled = false;
};

WorldGlue glue;

GxUInt32* UsageWord(const GxGeometry* geometry)
{
    if (!geometry || glue.geometryOffset < 0) {
        return nullptr;
    }
    return reinterpret_cast<GxUInt32*>(reinterpret_cast<char*>(const_cast<GxGeometry*>(geometry)) +
                                       glue.geometryOffset);
}

void* UsageConstruct(void* object, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}

void* UsageCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    memcpy(static_cast<char*>(destination) + offset, static_cast<const char*>(source) + offset, sizeof(GxUInt32));
    return destination;
}

// A destroyed geometry must not stay in the dynamic list.
void* UsageDestruct(void* object, GxInt32 offset, GxInt32)
{
    GxD3D9DynamicGeometryRemove(static_cast<GxGeometry*>(object));
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}

void* EngineOpen(void* instance, GxInt32, GxInt32)
{
    glue.openInstances++;
    return GxD3D9WorldPipelinesCreate() ? instance : nullptr;
}

void* EngineClose(void* instance, GxInt32, GxInt32)
{
    GxD3D9WorldPipelinesDestroy();
    glue.openInstances--;
    return instance;
}

void RestoreDevice(void)
{
    if (glue.previousRestore) {
        glue.previousRestore();
    }
    GxD3D9WorldDeviceRestore();
}

GxBool MaterialPlaceholderBody(GxPipelineNode*, const GxPipelineExecutionParams*)
{
    return 1;
}

GxNodeDefinition materialNode = {"nodeD3D9MaterialPlaceholder.csl",
                                 MaterialPlaceholderBody,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 0,
                                 nullptr,
                                 nullptr,
                                 0,
                                 nullptr,
                                 0,
                                 0,
                                 0};

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
    if (!GxD3D9LightPluginAttach()) {
        return 0;
    }
    glue.geometryOffset = GxGeometryGetPluginOffset(gxPLUGIND3D9USAGEFLAGS);
    if (glue.geometryOffset < 0) {
        glue.geometryOffset = GxGeometryRegisterPlugin(sizeof(GxUInt32), gxPLUGIND3D9USAGEFLAGS, UsageConstruct,
                                                       UsageDestruct, UsageCopy);
    }
    if (glue.geometryOffset < 0 || (GxEngineGetPluginOffset(gxPLUGIND3D9USAGEFLAGS) < 0 &&
                                    GxEngineRegisterPlugin(0, gxPLUGIND3D9USAGEFLAGS, EngineOpen, EngineClose) < 0)) {
        return 0;
    }
    if (GxGeometryGetPluginOffset(gxID_NATIVEDATA) < 0 &&
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
    GxUInt32* word = UsageWord(geometry);
    if (!word) {
        return 0;
    }
    *word = flags;
    return 1;
}

GxUInt32 GxD3D9GeometryGetUsageFlags(const GxGeometry* geometry)
{
    const GxUInt32* word = UsageWord(geometry);
    return word ? *word : 0;
}

GxBool GxD3D9WorldPipelinesCreate(void)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    if (!block) {
        return 0;
    }
    block->currentAtomicPipeline = block->currentSectorPipeline = block->currentMaterialPipeline = nullptr;
    block->genericAtomicPipeline = block->genericSectorPipeline = block->genericMaterialPipeline = nullptr;
    block->platformAtomicPipeline = block->platformSectorPipeline = block->platformMaterialPipeline = nullptr;
    GxPipeline* material = BuildPipeline(&materialNode);
    GxPipeline* atomic = material ? BuildPipeline(GxD3D9AtomicAllInOneNodeGet()) : nullptr;
    if (!atomic || !GxD3D9LightResourcesOpen()) {
        GxPipelineDestroy(atomic);
        GxPipelineDestroy(material);
        return 0;
    }
    block->platformMaterialPipeline = block->currentMaterialPipeline = block->genericMaterialPipeline = material;
    block->platformAtomicPipeline = block->currentAtomicPipeline = atomic;
    return 1;
}

void GxD3D9WorldPipelinesDestroy(void)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    while (glue.dynamic) {
        GxD3D9DynamicGeometryRemove(glue.dynamic->geometry);
    }
    if (glue.dynamicEntries) {
        GxFreeListDestroy(glue.dynamicEntries);
        glue.dynamicEntries = nullptr;
    }
    GxD3D9LightResourcesClose();
    if (!block) {
        return;
    }
    block->currentAtomicPipeline = nullptr;
    GxPipelineDestroy(block->platformAtomicPipeline);
    block->platformAtomicPipeline = nullptr;
    block->currentMaterialPipeline = block->genericMaterialPipeline = nullptr;
    GxPipelineDestroy(block->platformMaterialPipeline);
    block->platformMaterialPipeline = nullptr;
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
    if (!geometry || GxD3D9DynamicGeometryContains(geometry)) {
        return;
    }
    if (!glue.dynamicEntries) {
        glue.dynamicEntries = GxFreeListCreate(sizeof(DynamicEntry), kDynamicEntriesPerBlock, alignof(DynamicEntry),
                                               kDynamicHint);
        if (!glue.dynamicEntries) {
            return;
        }
    }
    auto* entry = static_cast<DynamicEntry*>(GxFreeListAllocEntry(glue.dynamicEntries, kDynamicHint));
    if (!entry) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return;
    }
    *entry = DynamicEntry{geometry, glue.dynamic};
    glue.dynamic = entry;
}

void GxD3D9DynamicGeometryRemove(GxGeometry* geometry)
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

GxBool GxD3D9DynamicGeometryContains(const GxGeometry* geometry)
{
    for (const DynamicEntry* entry = glue.dynamic; entry; entry = entry->next) {
        if (entry->geometry == geometry) {
            return 1;
        }
    }
    return 0;
}

void GxD3D9WorldDeviceRestore(void)
{
    for (DynamicEntry* entry = glue.dynamic; entry; entry = entry->next) {
        entry->geometry->lockedSinceLastInst = 0xFFF;
    }
}
