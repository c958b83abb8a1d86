// Atomics and clumps: the module's free lists, membership extensions, clump iteration and bounding spheres.
#include "gfx/world/clump.h"

#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/world/world.h"
#include "gfx/world/world_local.h"

GxPluginRegistry gxAtomicTKList = GxPluginRegistryInitializer(sizeof(GxAtomic), 0);
GxPluginRegistry gxClumpTKList = GxPluginRegistryInitializer(sizeof(GxClump), 0);

namespace {

constexpr GxUInt32 kAtomicFreeListHint = 0x40010;
constexpr GxUInt32 kClumpFreeListHint = 0x40014;
constexpr GxUInt32 kAtomicHint = 0x30014;
constexpr GxUInt32 kClumpHint = 0x30010;

struct ClumpModuleBlock {
    GxFreeList* atomicFreeList;
    GxFreeList* clumpFreeList;
};

GxFreeList atomicFreeListSpace;
GxFreeList clumpFreeListSpace;
GxInt32 moduleOffset = -1;
GxInt32 moduleInstances = 0;
GxInt32 cameraMembershipOffset = -1;
GxInt32 lightMembershipOffset = -1;

ClumpModuleBlock* Block() { return static_cast<ClumpModuleBlock*>(GxCoreModuleBlock(moduleOffset, moduleInstances)); }

GxClumpMembership* CameraMembership(GxCamera* camera)
{
    GX_ASSERT(cameraMembershipOffset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxClumpMembership*>(reinterpret_cast<char*>(camera) + cameraMembershipOffset);
}

void* MembershipConstruct(void* object, GxInt32 offset, GxInt32 size)
{
    memset(static_cast<char*>(object) + offset, 0, static_cast<size_t>(size));
    return object;
}

// A light or camera destroyed on its own leaves its clump's list.
void* MembershipDestruct(void* object, GxInt32 offset, GxInt32)
{
    auto* membership = reinterpret_cast<GxClumpMembership*>(static_cast<char*>(object) + offset);
    if (membership->clump) {
        GxLinkRemove(&membership->inClumpLink);
        membership->clump = nullptr;
    }
    return object;
}

void* MembershipCopy(void* dst, const void*, GxInt32, GxInt32) { return dst; }

GxClump* DefaultClumpCallBack(GxClump* clump, void*) { return clump; }

GxLight* LightOfLink(GxLink* link)
{
    GX_ASSERT(lightMembershipOffset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxLight*>(reinterpret_cast<char*>(link) - lightMembershipOffset);
}

GxCamera* CameraOfLink(GxLink* link)
{
    GX_ASSERT(cameraMembershipOffset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxCamera*>(reinterpret_cast<char*>(link) - cameraMembershipOffset);
}

GxClumpMembership* LightMembership(GxLight* light)
{
    GX_ASSERT(lightMembershipOffset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxClumpMembership*>(reinterpret_cast<char*>(light) + lightMembershipOffset);
}

void DestroyClumpContents(GxClump* clump)
{
    GxClumpForAllAtomics(clump, GxClumpDestroyAtomicCallback, nullptr);
    GxClumpForAllLights(clump, GxClumpDestroyLightCallback, nullptr);
    GxClumpForAllCameras(clump, GxClumpDestroyCameraCallback, nullptr);
    auto* frame = static_cast<GxFrame*>(clump->object.parent);
    if (frame) {
        GxFrameDestroyHierarchy(frame);
        clump->object.parent = nullptr;
    }
}

void CollectEntry(void* entry, void* data) { static_cast<std::vector<void*>*>(data)->push_back(entry); }

}  // namespace

void* GxClumpModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    moduleOffset = offset;
    auto* block = reinterpret_cast<ClumpModuleBlock*>(GxEngineGetModuleBlock(offset));
    block->atomicFreeList = GxFreeListCreateAndPreallocate(gxAtomicTKList.sizeOfStruct, 128, alignof(GxAtomic), 1,
                                                           &atomicFreeListSpace, kAtomicFreeListHint);
    if (!block->atomicFreeList) {
        return nullptr;
    }
    block->clumpFreeList = GxFreeListCreateAndPreallocate(gxClumpTKList.sizeOfStruct, 128, alignof(GxClump), 1,
                                                          &clumpFreeListSpace, kClumpFreeListHint);
    if (!block->clumpFreeList) {
        GxFreeListDestroy(block->atomicFreeList);
        block->atomicFreeList = nullptr;
        return nullptr;
    }
    moduleInstances++;
    return instance;
}

void* GxClumpModuleClose(void* instance, GxInt32, GxInt32)
{
    ClumpModuleBlock* block = Block();
    if (!block) {
        return instance;
    }
    // Entries are gathered first: destroying while the free list is walked would change it under the walk.
    std::vector<void*> clumps;
    GxFreeListForAllUsed(block->clumpFreeList, CollectEntry, &clumps);
    for (void* clump : clumps) {
        GxClumpDestroy(static_cast<GxClump*>(clump));
    }
    std::vector<void*> atomics;
    GxFreeListForAllUsed(block->atomicFreeList, CollectEntry, &atomics);
    for (void* atomic : atomics) {
        GxAtomicDestroy(static_cast<GxAtomic*>(atomic));
    }
    GxFreeListDestroy(block->clumpFreeList);
    GxFreeListDestroy(block->atomicFreeList);
    block->clumpFreeList = nullptr;
    block->atomicFreeList = nullptr;
    moduleInstances--;
    return instance;
}

namespace {

// The morph target sphere at index i, or null when the geometry has no such target.
const GxSphere* TargetSphere(const GxGeometry* geometry, GxUInt32 i)
{
    if (!geometry->morphTarget || static_cast<GxInt32>(i) >= geometry->numMorphTargets) {
        return nullptr;
    }
    return &geometry->morphTarget[i].boundingSphere;
}

}  // namespace

GxBool GxClumpRegisterMembershipPlugins(void)
{
    cameraMembershipOffset = GxCameraRegisterPlugin(sizeof(GxClumpMembership), gxPLUGINCLUMPMEMBERSHIP,
                                                    MembershipConstruct, MembershipDestruct, MembershipCopy);
    lightMembershipOffset = GxLightRegisterPlugin(sizeof(GxClumpMembership), gxPLUGINCLUMPMEMBERSHIP,
                                                  MembershipConstruct, MembershipDestruct, MembershipCopy);
    return cameraMembershipOffset >= 0 && lightMembershipOffset >= 0;
}

GxInt32 GxClumpCameraMembershipOffset(void) { return cameraMembershipOffset; }

GxInt32 GxClumpLightMembershipOffset(void) { return lightMembershipOffset; }

GxBool GxClumpModuleAttach(void)
{
    return GxEngineRegisterPlugin(sizeof(ClumpModuleBlock), gxPLUGINCLUMPMODULE, GxClumpModuleOpen,
                                  GxClumpModuleClose) >= 0;
}

GxAtomic* GxAtomicCreate(void)
{
    ClumpModuleBlock* block = Block();
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    auto* atomic = static_cast<GxAtomic*>(GxFreeListAllocEntry(block->atomicFreeList, kAtomicHint));
    if (!atomic) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(atomic, 0, sizeof(*atomic));
    atomic->object.object.type = gxOBJECTTYPEATOMIC;
    atomic->object.object.flags = gxATOMICCOLLISIONTEST | gxATOMICRENDER;
    GxLinkInit(&atomic->object.inFrameList);
    GxLinkInit(&atomic->inClumpLink);
    GxLinkInit(&atomic->llWorldSectorsInAtomic);
    atomic->renderCallBack = GxAtomicDefaultRenderCallback;
    atomic->interpolator = GxInterpolator{3, 0, 0, 1.0f, 1.0f, 0.0f};
    if (!GxPluginRegistryInitObject(&gxAtomicTKList, atomic)) {
        GxFreeListFreeEntry(block->atomicFreeList, atomic);
        return nullptr;
    }
    return atomic;
}

GxBool GxAtomicDestroy(GxAtomic* atomic)
{
    ClumpModuleBlock* block = Block();
    if (!atomic || !block) {
        return 0;
    }
    // The world is read before the destructors, which take the atomic out of it.
    const bool inWorld = GxAtomicGetWorld(atomic) != nullptr;
    GxPluginRegistryDeInitObject(&gxAtomicTKList, atomic);
    if (atomic->repEntry) {
        GxResourceEntryFree(atomic->repEntry);
        atomic->repEntry = nullptr;
    }
    if (atomic->geometry) {
        GxGeometryDestroy(atomic->geometry);
        atomic->geometry = nullptr;
        auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
        if (frame && inWorld) {
            GxFrameSetDirty(frame);
        }
    }
    GxObjectUnlinkFrame(&atomic->object);
    // A clump must not keep a link to an atomic that is gone.
    GxLinkRemove(&atomic->inClumpLink);
    GxFreeListFreeEntry(block->atomicFreeList, atomic);
    return 1;
}

GxAtomic* GxAtomicSetFrame(GxAtomic* atomic, GxFrame* frame)
{
    if (!atomic) {
        return nullptr;
    }
    GxObjectSetFrame(&atomic->object, frame);
    atomic->object.object.privateFlags |= gxATOMICSPHEREDIRTY;
    return atomic;
}

GxAtomic* GxAtomicSetGeometry(GxAtomic* atomic, GxGeometry* geometry, GxUInt32 flags)
{
    if (!atomic || atomic->geometry == geometry) {
        return atomic;
    }
    GxGeometryAddRef(geometry);
    if (atomic->geometry) {
        GxGeometryDestroy(atomic->geometry);
    }
    atomic->geometry = geometry;
    const GxSphere* sphere = geometry ? TargetSphere(geometry, 0) : nullptr;
    if (!(flags & 1) && sphere) {
        atomic->boundingSphere = *sphere;
        atomic->object.object.privateFlags |= gxATOMICSPHEREDIRTY;
    }
    // In a world the sector ties follow the new geometry at the next sync.
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    if (frame && GxAtomicGetWorld(atomic)) {
        GxFrameSetDirty(frame);
    }
    return atomic;
}

GxAtomic* GxAtomicSetRenderCallBack(GxAtomic* atomic, GxAtomicCallBackRender callBack)
{
    if (atomic) {
        atomic->renderCallBack = callBack ? callBack : GxAtomicDefaultRenderCallback;
    }
    return atomic;
}

void GxAtomicInterpolateBoundingSphere(GxAtomic* atomic)
{
    if (!atomic || !atomic->geometry) {
        return;
    }
    const GxGeometry* geometry = atomic->geometry;
    GxInterpolator& interpolator = atomic->interpolator;
    const GxSphere* start = TargetSphere(geometry, interpolator.startMorphTarget);
    const GxSphere* end = TargetSphere(geometry, interpolator.endMorphTarget);
    if (start && end && start != end) {
        const GxReal f = interpolator.position * interpolator.recipTime;
        atomic->boundingSphere.center.x = start->center.x + (end->center.x - start->center.x) * f;
        atomic->boundingSphere.center.y = start->center.y + (end->center.y - start->center.y) * f;
        atomic->boundingSphere.center.z = start->center.z + (end->center.z - start->center.z) * f;
        atomic->boundingSphere.radius = start->radius + (end->radius - start->radius) * f;
    } else if (start && end) {
        atomic->boundingSphere = *start;
    } else if (const GxSphere* first = TargetSphere(geometry, 0)) {
        atomic->boundingSphere = *first;
    }
    interpolator.flags &= ~gxINTERPOLATORDIRTYSPHERE;
    atomic->object.object.privateFlags |= gxATOMICSPHEREDIRTY;
}

const GxSphere* GxAtomicGetWorldBoundingSphere(GxAtomic* atomic)
{
    if (!atomic) {
        return nullptr;
    }
    if (atomic->interpolator.flags & gxINTERPOLATORDIRTYSPHERE) {
        GxAtomicInterpolateBoundingSphere(atomic);
    }
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    if (!frame) {
        // No frame: model space is world space.
        atomic->worldBoundingSphere = atomic->boundingSphere;
        atomic->object.object.privateFlags &= static_cast<GxUInt8>(~gxATOMICSPHEREDIRTY);
        return &atomic->worldBoundingSphere;
    }
    if (!GxFrameIsDirty(frame) && !(atomic->object.object.privateFlags & gxATOMICSPHEREDIRTY)) {
        return &atomic->worldBoundingSphere;
    }
    const GxMatrix* world = GxFrameGetWorldMatrix(frame);
    GxV3dTransformPoint(&atomic->worldBoundingSphere.center, &atomic->boundingSphere.center, world);
    if ((world->flags & gxMATRIXTYPEORTHONORMAL) == gxMATRIXTYPEORTHONORMAL) {
        atomic->worldBoundingSphere.radius = atomic->boundingSphere.radius;
    } else {
        GxReal largest = GxV3dDotProduct(&world->right, &world->right);
        const GxReal up = GxV3dDotProduct(&world->up, &world->up);
        const GxReal at = GxV3dDotProduct(&world->at, &world->at);
        largest = up > largest ? up : largest;
        largest = at > largest ? at : largest;
        atomic->worldBoundingSphere.radius = atomic->boundingSphere.radius * GxSqrt(largest);
    }
    atomic->object.object.privateFlags &= static_cast<GxUInt8>(~gxATOMICSPHEREDIRTY);
    return &atomic->worldBoundingSphere;
}

GxClump* GxClumpCreate(void)
{
    ClumpModuleBlock* block = Block();
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    auto* clump = static_cast<GxClump*>(GxFreeListAllocEntry(block->clumpFreeList, kClumpHint));
    if (!clump) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(clump, 0, sizeof(*clump));
    clump->object.type = gxOBJECTTYPECLUMP;
    GxLinkInit(&clump->atomicList);
    GxLinkInit(&clump->lightList);
    GxLinkInit(&clump->cameraList);
    GxLinkInit(&clump->inWorldLink);
    clump->callback = DefaultClumpCallBack;
    if (!GxPluginRegistryInitObject(&gxClumpTKList, clump)) {
        GxFreeListFreeEntry(block->clumpFreeList, clump);
        return nullptr;
    }
    return clump;
}

GxBool GxClumpDestroy(GxClump* clump)
{
    ClumpModuleBlock* block = Block();
    if (!clump || !block) {
        return 0;
    }
    GxPluginRegistryDeInitObject(&gxClumpTKList, clump);
    DestroyClumpContents(clump);
    GxFreeListFreeEntry(block->clumpFreeList, clump);
    return 1;
}

GxClump* GxClumpSetFrame(GxClump* clump, GxFrame* frame)
{
    if (clump) {
        clump->object.parent = frame;
    }
    return clump;
}

GxClump* GxClumpAddAtomic(GxClump* clump, GxAtomic* atomic)
{
    if (!clump || !atomic) {
        return nullptr;
    }
    GxLinkRemove(&atomic->inClumpLink);
    GxLinkAddAfter(&clump->atomicList, &atomic->inClumpLink);
    atomic->clump = clump;
    return clump;
}

GxClump* GxClumpAddCamera(GxClump* clump, GxCamera* camera)
{
    if (!clump || !camera || cameraMembershipOffset < 0) {
        return nullptr;
    }
    GxClumpMembership* membership = CameraMembership(camera);
    if (membership->clump) {
        GxLinkRemove(&membership->inClumpLink);
    }
    GxLinkAddAfter(&clump->cameraList, &membership->inClumpLink);
    membership->clump = clump;
    return clump;
}

GxClump* GxClumpRender(GxClump* clump)
{
    GX_ASSERT(clump, "a clump is given");
    GxClump* result = clump;
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList;) {
        GxLink* next = link->next;
        GxAtomic* atomic = GxLinkGetData(link, GxAtomic, inClumpLink);
        if (atomic->object.object.flags & gxATOMICRENDER) {
            auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
            // Read clumps frame every atomic, and a clone refuses a frameless one: only a caller leaves one out.
            GX_ASSERT(frame, "every atomic a clump renders hangs on a frame");
            GxFrameGetWorldMatrix(frame);
            if (!atomic->renderCallBack(atomic)) {
                result = nullptr;
            }
        }
        link = next;
    }
    return result;
}

GxClump* GxClumpForAllAtomics(GxClump* clump, GxAtomicCallBack callBack, void* data)
{
    if (!clump || !callBack) {
        return clump;
    }
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList;) {
        GxLink* next = link->next;
        if (!callBack(GxLinkGetData(link, GxAtomic, inClumpLink), data)) {
            break;
        }
        link = next;
    }
    return clump;
}

GxInt32 GxClumpGetNumAtomics(GxClump* clump)
{
    GxInt32 count = 0;
    if (clump) {
        GxClumpForAllAtomics(clump, GxObjectCountCallback, &count);
    }
    return count;
}

GxClump* GxClumpAddLight(GxClump* clump, GxLight* light)
{
    if (!clump || !light || lightMembershipOffset < 0) {
        return nullptr;
    }
    GxClumpMembership* membership = LightMembership(light);
    if (membership->clump) {
        GxLinkRemove(&membership->inClumpLink);
    }
    GxLinkAddAfter(&clump->lightList, &membership->inClumpLink);
    membership->clump = clump;
    return clump;
}

GxClump* GxClumpRemoveLight(GxClump* clump, GxLight* light)
{
    if (!clump || !light || lightMembershipOffset < 0) {
        return nullptr;
    }
    GxClumpMembership* membership = LightMembership(light);
    if (membership->clump == clump) {
        GxLinkRemove(&membership->inClumpLink);
    }
    memset(membership, 0, sizeof(*membership));
    return clump;
}

GxClump* GxClumpForAllLights(GxClump* clump, GxLightCallBack callBack, void* data)
{
    GX_ASSERT(clump != nullptr && callBack != nullptr, "a clump and a callback are given");
    for (GxLink* link = clump->lightList.next; link != &clump->lightList;) {
        GxLink* next = link->next;
        if (!callBack(LightOfLink(link), data)) {
            break;
        }
        link = next;
    }
    return clump;
}

GxClump* GxClumpForAllCameras(GxClump* clump, GxCameraCallBack callBack, void* data)
{
    GX_ASSERT(clump != nullptr && callBack != nullptr, "a clump and a callback are given");
    for (GxLink* link = clump->cameraList.next; link != &clump->cameraList;) {
        GxLink* next = link->next;
        if (!callBack(CameraOfLink(link), data)) {
            break;
        }
        link = next;
    }
    return clump;
}

GxAtomic* GxClumpDestroyAtomicCallback(GxAtomic* atomic, void*)
{
    GxAtomicDestroy(atomic);
    return atomic;
}

GxLight* GxClumpDestroyLightCallback(GxLight* light, void*)
{
    GxClumpMembership* membership = LightMembership(light);
    GxLinkRemove(&membership->inClumpLink);
    memset(membership, 0, sizeof(*membership));
    GxLightDestroy(light);
    return light;
}

GxCamera* GxClumpDestroyCameraCallback(GxCamera* camera, void*)
{
    GxClumpMembership* membership = CameraMembership(camera);
    GxLinkRemove(&membership->inClumpLink);
    memset(membership, 0, sizeof(*membership));
    GxCameraDestroy(camera);
    return camera;
}

GxClump* GxClumpSetCallback(GxClump* clump, GxClumpCallBack callBack)
{
    GX_ASSERT(clump != nullptr, "a clump is given");
    clump->callback = callBack ? callBack : DefaultClumpCallBack;
    return clump;
}

GxAtomic* GxAtomicClone(GxAtomic* atomic)
{
    GxAtomic* copy = GxAtomicCreate();
    if (!copy) {
        return nullptr;
    }
    copy->object.object.type = atomic->object.object.type;
    copy->object.object.subType = atomic->object.object.subType;
    copy->object.object.flags = atomic->object.object.flags;
    copy->object.object.privateFlags = atomic->object.object.privateFlags;
    GxAtomicSetGeometry(copy, atomic->geometry, 0);
    copy->boundingSphere = atomic->boundingSphere;
    copy->renderCallBack = atomic->renderCallBack;
    copy->pipeline = atomic->pipeline;
    copy->interpolator = atomic->interpolator;
    GxPluginRegistryCopyObject(&gxAtomicTKList, copy, atomic);
    copy->object.object.privateFlags |= gxATOMICSPHEREDIRTY;
    return copy;
}

GxClump* GxClumpClone(GxClump* clump)
{
    GxClump* copy = GxClumpCreate();
    if (!copy) {
        return nullptr;
    }
    auto* root = static_cast<GxFrame*>(clump->object.parent);
    if (root) {
        GxFrame* rootCopy = GxFrameCloneHierarchyNoRestore(root);
        if (!rootCopy) {
            GxClumpDestroy(copy);
            return nullptr;
        }
        GxClumpSetFrame(copy, rootCopy);
    }
    // Each clone goes to the head of the new list, so the copy holds the atomics in reverse order.
    bool ok = true;
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList; link = link->next) {
        GxAtomic* source = GxLinkGetData(link, GxAtomic, inClumpLink);
        GxAtomic* atomic = GxAtomicClone(source);
        if (!atomic) {
            ok = false;
            break;
        }
        auto* frame = static_cast<GxFrame*>(source->object.object.parent);
        if (!frame || !root) {
            GxAtomicDestroy(atomic);
            GxErrorRaise(gxPLUGINWORLD, gxERRATOMICWITHOUTFRAME);
            break;
        }
        // Until the roots are restored, each source frame's root pointer names its copy.
        GxAtomicSetFrame(atomic, frame->root);
        GxClumpAddAtomic(copy, atomic);
    }
    if (root) {
        GxFrameRestoreRoots(root);
    }
    if (!ok) {
        GxClumpDestroy(copy);
        return nullptr;
    }
    copy->callback = clump->callback;
    GxPluginRegistryCopyObject(&gxClumpTKList, copy, clump);
    return copy;
}

GxInt32 GxAtomicRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxAtomicTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxAtomicRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                     GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxAtomicTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxAtomicSetStreamRightsCallback(GxUInt32 pluginID, GxPluginDataChunkRightsCallBack rightsCB)
{
    return GxPluginRegistryAddPluginStreamRights(&gxAtomicTKList, pluginID, rightsCB);
}

GxInt32 GxAtomicSetStreamAlwaysCallback(GxUInt32 pluginID, GxPluginDataChunkAlwaysCallBack alwaysCB)
{
    return GxPluginRegistryAddPluginStreamAlways(&gxAtomicTKList, pluginID, alwaysCB);
}

GxInt32 GxAtomicGetPluginOffset(GxUInt32 pluginID)
{
    return GxPluginRegistryGetPluginOffset(&gxAtomicTKList, pluginID);
}

GxInt32 GxClumpRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxClumpTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxClumpRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxClumpTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxClumpGetPluginOffset(GxUInt32 pluginID) { return GxPluginRegistryGetPluginOffset(&gxClumpTKList, pluginID); }
