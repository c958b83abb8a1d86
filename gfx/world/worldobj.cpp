// The world-object module: ties of atomics and local lights to sectors, camera hooks and visible sectors,
// clumps, lights and cameras entering and leaving worlds, and the stream extensions of sectors.
//
// Sections: the engine block and extensions; ties; camera hooks; membership; frustum walks; attach.
#include <algorithm>
#include <cstring>
#include <limits>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/world/mesh.h"
#include "gfx/world/worldobj_local.h"

namespace {

constexpr GxUInt32 kTieHint = 0x30507;
constexpr GxUInt32 kTieListHint = 0x40507;
constexpr GxInt32 kAtomicTiesPerBlock = 256;
constexpr GxInt32 kLightTiesPerBlock = 32;
constexpr GxInt32 kVisibleGrowth = 50;
constexpr GxUInt32 kVisibleHint = 0x1030507;
constexpr GxInt32 gxERRLIGHTSYNC = gxERRNULLARG;

struct EngineBlock {
    GxFreeList* atomicTies;
    GxFreeList* lightTies;
    GxInt32 clumpStamp;
    GxUInt16 renderFrame;
};

struct CameraExt {
    GxWorldSector** visible;
    GxInt32 capacity;
    GxInt32 count;
    GxWorld* world;
    GxCameraBeginUpdateFunc beginUpdate;
    GxCameraEndUpdateFunc endUpdate;
    GxFramedObjectSyncCallBack sync;
};

// The boxes for which a tie walk takes every split the way it last did, so visits the same sectors in the
// same order: infLow <= inf < infHigh and supLow < sup <= supHigh on each axis.
struct TieRange {
    GxV3d infLow, infHigh;
    GxV3d supLow, supHigh;
};

struct AtomicExt {
    GxWorld* world;
    GxFramedObjectSyncCallBack sync;
    // The last tie walk: its world (null when none is kept), its range and the ties it made. Only that walk
    // adds ties to the atomic, so while they all remain none was taken away behind its back.
    GxWorld* tiedWorld;
    TieRange tiedRange;
    GxInt32 tieCount;
};

struct ClumpExt {
    GxWorld* world;
    GxInt32 stamp;
};

struct LightExt {
    GxWorld* world;
    GxFramedObjectSyncCallBack sync;
};

GxInt32 engineOffset = -1;
GxInt32 engineInstances = 0;
GxInt32 cameraOffset = -1;
GxInt32 atomicOffset = -1;
GxInt32 clumpOffset = -1;
GxInt32 lightOffset = -1;

EngineBlock* Block() { return static_cast<EngineBlock*>(GxCoreModuleBlock(engineOffset, engineInstances)); }

template <typename T>
T* Ext(const void* object, GxInt32 offset)
{
    GX_ASSERT(offset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<T*>(reinterpret_cast<char*>(const_cast<void*>(object)) + offset);
}

CameraExt* OfCamera(const GxCamera* camera) { return Ext<CameraExt>(camera, cameraOffset); }

// Worlds do not know their cameras: a camera whose world was destroyed finds out here and leaves it.
GxWorld* LiveWorld(CameraExt* ext)
{
    if (ext->world && !GxWorldIsListed(ext->world)) {
        ext->world = nullptr;
        ext->count = 0;
    }
    return ext->world;
}
AtomicExt* OfAtomic(const GxAtomic* atomic) { return Ext<AtomicExt>(atomic, atomicOffset); }
ClumpExt* OfClump(const GxClump* clump) { return Ext<ClumpExt>(clump, clumpOffset); }
LightExt* OfLight(const GxLight* light) { return Ext<LightExt>(light, lightOffset); }

void* EngineOpen(void* instance, GxInt32 offset, GxInt32)
{
    auto* block = reinterpret_cast<EngineBlock*>(static_cast<char*>(instance) + offset);
    block->atomicTies = GxFreeListCreate(sizeof(GxTie), kAtomicTiesPerBlock, alignof(GxTie), kTieListHint);
    block->lightTies = GxFreeListCreate(sizeof(GxLightTie), kLightTiesPerBlock, alignof(GxLightTie), kTieListHint);
    if (!block->atomicTies || !block->lightTies) {
        GxFreeListDestroy(block->atomicTies);
        GxFreeListDestroy(block->lightTies);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    block->clumpStamp = 0;
    block->renderFrame = 1;
    engineOffset = offset;
    engineInstances++;
    return instance;
}

void* EngineClose(void* instance, GxInt32 offset, GxInt32)
{
    auto* block = reinterpret_cast<EngineBlock*>(static_cast<char*>(instance) + offset);
    GxFreeListDestroy(block->atomicTies);
    GxFreeListDestroy(block->lightTies);
    block->atomicTies = block->lightTies = nullptr;
    engineInstances--;
    return instance;
}

// ---- Ties.

// Takes every tie of the atomic out of its sectors and onto `spare`, linked by their atomic links.
void TakeAtomicTies(GxAtomic* atomic, GxLink* spare)
{
    GxLink* head = &atomic->llWorldSectorsInAtomic;
    while (!GxLinkIsEmpty(head)) {
        GxTie* tie = GxTieFromAtomicLink(head->next);
        GxLinkRemove(&tie->lAtomic);
        GxLinkRemove(&tie->lWorldSector);
        GxLinkAddAfter(spare, &tie->lAtomic);
    }
}

void FreeAtomicTies(GxLink* spare)
{
    EngineBlock* block = Block();
    while (!GxLinkIsEmpty(spare)) {
        GxTie* tie = GxTieFromAtomicLink(spare->next);
        GxLinkRemove(&tie->lAtomic);
        if (block) {
            GxFreeListFreeEntry(block->atomicTies, tie);
        }
    }
}

void RemoveAtomicTies(GxAtomic* atomic)
{
    OfAtomic(atomic)->tiedWorld = nullptr;
    GxLink spare;
    GxLinkInit(&spare);
    TakeAtomicTies(atomic, &spare);
    FreeAtomicTies(&spare);
}

void RemoveLightTies(GxLight* light)
{
    EngineBlock* block = Block();
    GxLink* head = &light->worldSectorsInLight;
    while (!GxLinkIsEmpty(head)) {
        GxLightTie* tie =
            reinterpret_cast<GxLightTie*>(reinterpret_cast<char*>(head->next) - offsetof(GxLightTie, lLight));
        GxLinkRemove(&tie->lLight);
        GxLinkRemove(&tie->lWorldSector);
        if (block) {
            GxFreeListFreeEntry(block->lightTies, tie);
        }
    }
}

GxBBox BoxAround(const GxV3d& center, GxReal radius)
{
    return GxBBox{{center.x + radius, center.y + radius, center.z + radius},
                  {center.x - radius, center.y - radius, center.z - radius}};
}

bool InTieRange(const TieRange& range, const GxBBox& box)
{
    const GxV3d& inf = box.inf;
    const GxV3d& sup = box.sup;
    return range.infLow.x <= inf.x && inf.x < range.infHigh.x && range.infLow.y <= inf.y && inf.y < range.infHigh.y &&
           range.infLow.z <= inf.z && inf.z < range.infHigh.z && range.supLow.x < sup.x && sup.x <= range.supHigh.x &&
           range.supLow.y < sup.y && sup.y <= range.supHigh.y && range.supLow.z < sup.z && sup.z <= range.supHigh.z;
}

// Narrows the range to the boxes that take a one-sided split the way this one did.
void NarrowTieRange(TieRange* range, GxInt32 axis, GxReal leftValue, bool left, GxReal rightValue, bool right)
{
    GxReal* bound = left ? GxV3dAxisRef(&range->infHigh, axis) : GxV3dAxisRef(&range->infLow, axis);
    *bound = left ? std::min(*bound, leftValue) : std::max(*bound, leftValue);
    bound = right ? GxV3dAxisRef(&range->supLow, axis) : GxV3dAxisRef(&range->supHigh, axis);
    *bound = right ? std::max(*bound, rightValue) : std::min(*bound, rightValue);
}

GxInt32 CountAtomicTies(GxAtomic* atomic)
{
    GxInt32 count = 0;
    const GxLink* head = &atomic->llWorldSectorsInAtomic;
    for (const GxLink* link = head->next; link != head; link = link->next) {
        count++;
    }
    return count;
}

// A box in the range of the atomic's last walk reaches the same sectors: each tie only moves to the front of
// its sector's list, where a new walk would put it, and the atomic's own list stays in the walk's order.
bool RetieInPlace(GxAtomic* atomic, GxWorld* world, const GxBBox& box)
{
    const AtomicExt* ext = OfAtomic(atomic);
    if (ext->tiedWorld != world || !InTieRange(ext->tiedRange, box) || CountAtomicTies(atomic) != ext->tieCount) {
        return false;
    }
    GxLink* head = &atomic->llWorldSectorsInAtomic;
    for (GxLink* link = head->next; link != head; link = link->next) {
        GxTie* tie = GxTieFromAtomicLink(link);
        GxLinkRemove(&tie->lWorldSector);
        GxLinkAddAfter(&tie->worldSector->collAtomicsInWorldSector, &tie->lWorldSector);
    }
    return true;
}

// A moving atomic is re-tied on every sync of its frame: its old ties are used again for the new
// sectors, linked exactly as new ones would be, so only a change in their number allocates or frees.
// A tie that cannot be allocated leaves the atomic in the sectors tied so far and reports the failure.
bool TieAtomic(GxAtomic* atomic, GxWorld* world)
{
    EngineBlock* block = Block();
    GX_ASSERT(block, "atomics are tied while the engine is open");
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
    const GxBBox box = sphere ? BoxAround(sphere->center, sphere->radius) : GxBBox{};
    if (sphere && RetieInPlace(atomic, world, box)) {
        return true;
    }
    AtomicExt* ext = OfAtomic(atomic);
    ext->tiedWorld = nullptr;
    GxLink spare;
    GxLinkInit(&spare);
    TakeAtomicTies(atomic, &spare);
    if (!sphere) {
        FreeAtomicTies(&spare);
        return false;
    }
    constexpr GxReal kUnbounded = std::numeric_limits<GxReal>::infinity();
    const GxV3d low = {-kUnbounded, -kUnbounded, -kUnbounded};
    const GxV3d high = {kUnbounded, kUnbounded, kUnbounded};
    TieRange range = {low, high, low, high};
    GxInt32 count = 0;
    bool ok = true;
    GxWorldForSectorsInBox(
        world, box,
        [&](GxWorldSector* sector) {
            GxTie* tie = nullptr;
            if (!GxLinkIsEmpty(&spare)) {
                tie = GxTieFromAtomicLink(spare.next);
                GxLinkRemove(&tie->lAtomic);
            } else {
                tie = static_cast<GxTie*>(GxFreeListAllocEntry(block->atomicTies, kTieHint));
            }
            if (!tie) {
                GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
                ok = false;
                return false;
            }
            tie->apAtom = atomic;
            tie->worldSector = sector;
            GxLinkAddAfter(&sector->collAtomicsInWorldSector, &tie->lWorldSector);
            GxLinkAddAfter(&atomic->llWorldSectorsInAtomic, &tie->lAtomic);
            count++;
            return true;
        },
        GxSplitTouch::kOneSide,
        [&](GxInt32 axis, GxReal leftValue, bool left, GxReal rightValue, bool right) {
            NarrowTieRange(&range, axis, leftValue, left, rightValue, right);
        });
    FreeAtomicTies(&spare);
    if (ok) {
        *ext = AtomicExt{ext->world, ext->sync, world, range, count};
    }
    return ok;
}

bool TieLight(GxLight* light, GxWorld* world)
{
    EngineBlock* block = Block();
    GX_ASSERT(block, "lights are tied while the engine is open");
    RemoveLightTies(light);
    auto* frame = static_cast<GxFrame*>(light->object.object.parent);
    if (!frame) {
        return true;
    }
    const GxV3d position = GxFrameGetWorldMatrix(frame)->pos;
    bool ok = true;
    GxWorldForSectorsInBox(
        world, BoxAround(position, light->radius),
        [&](GxWorldSector* sector) {
            auto* tie = static_cast<GxLightTie*>(GxFreeListAllocEntry(block->lightTies, kTieHint));
            if (!tie) {
                GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
                ok = false;
                return false;
            }
            tie->light = light;
            tie->sect = sector;
            GxLinkAddAfter(&sector->lightsInWorldSector, &tie->lWorldSector);
            GxLinkAddAfter(&light->worldSectorsInLight, &tie->lLight);
            return true;
        },
        GxSplitTouch::kOneSide);
    return ok;
}

GxFramedObject* AtomicSync(GxFramedObject* object)
{
    auto* atomic = reinterpret_cast<GxAtomic*>(object);
    AtomicExt* ext = OfAtomic(atomic);
    if (ext->sync && !ext->sync(object)) {
        return nullptr;
    }
    // The frame has moved: its matrices are current but no longer flagged, so the sphere must be recomputed.
    atomic->object.object.privateFlags |= gxATOMICSPHEREDIRTY;
    if (ext->world && !TieAtomic(atomic, ext->world)) {
        return nullptr;
    }
    return object;
}

// A failed sync reports failure; lights outside worlds or without a frame only run the saved sync.
GxFramedObject* LightSync(GxFramedObject* object)
{
    auto* light = reinterpret_cast<GxLight*>(object);
    LightExt* ext = OfLight(light);
    if (ext->sync && !ext->sync(object)) {
        GxErrorRaise(gxPLUGINWORLD, gxERRLIGHTSYNC);
        return nullptr;
    }
    if (ext->world && light->object.object.subType >= gxLIGHTPOINT && light->object.object.parent) {
        if (!TieLight(light, ext->world)) {
            return nullptr;
        }
    }
    return object;
}

void* AtomicConstruct(void* object, GxInt32 offset, GxInt32)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    AtomicExt* ext = Ext<AtomicExt>(object, offset);
    ext->world = nullptr;
    ext->tiedWorld = nullptr;
    ext->sync = atomic->object.sync;
    atomic->object.sync = AtomicSync;
    atomic->renderFrame = static_cast<GxUInt16>(GxWorldGetRenderFrame() - 1);  // not yet rendered
    return object;
}

void* AtomicDestruct(void* object, GxInt32 offset, GxInt32)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    RemoveAtomicTies(atomic);
    AtomicExt* ext = Ext<AtomicExt>(object, offset);
    atomic->object.sync = ext->sync;
    ext->world = nullptr;
    return object;
}

void* AtomicCopy(void* destination, const void*, GxInt32, GxInt32) { return destination; }

void* LightConstruct(void* object, GxInt32 offset, GxInt32)
{
    auto* light = static_cast<GxLight*>(object);
    LightExt* ext = Ext<LightExt>(object, offset);
    ext->world = nullptr;
    ext->sync = light->object.sync;
    light->object.sync = LightSync;
    return object;
}

void* LightDestruct(void* object, GxInt32 offset, GxInt32)
{
    auto* light = static_cast<GxLight*>(object);
    LightExt* ext = Ext<LightExt>(object, offset);
    if (ext->world) {
        GxWorldRemoveLight(ext->world, light);
    }
    RemoveLightTies(light);
    light->object.sync = ext->sync;
    return object;
}

void* LightCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    GxWorld* world = Ext<LightExt>(source, offset)->world;
    if (world) {
        GxWorldAddLight(world, static_cast<GxLight*>(destination));
    }
    return destination;
}

void* ClumpConstruct(void* object, GxInt32 offset, GxInt32)
{
    *Ext<ClumpExt>(object, offset) = ClumpExt{nullptr, 0};
    return object;
}

// A clump destroyed while in a world leaves it first, so the world keeps no freed clump.
void* ClumpDestruct(void* object, GxInt32 offset, GxInt32)
{
    ClumpExt* ext = Ext<ClumpExt>(object, offset);
    if (ext->world) {
        GxWorldRemoveClump(ext->world, static_cast<GxClump*>(object));
    }
    return object;
}

void* ClumpCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    GxWorld* world = Ext<ClumpExt>(source, offset)->world;
    if (world) {
        GxWorldAddClump(world, static_cast<GxClump*>(destination));
    }
    return destination;
}

// ---- Camera hooks.

bool AppendVisible(CameraExt* ext, GxWorldSector* sector)
{
    if (ext->count == ext->capacity) {
        const GxInt32 capacity = ext->capacity + kVisibleGrowth;
        void* grown = GxRealloc(ext->visible, static_cast<size_t>(capacity) * sizeof(GxWorldSector*), kVisibleHint);
        if (!grown) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return false;
        }
        ext->visible = static_cast<GxWorldSector**>(grown);
        ext->capacity = capacity;
    }
    ext->visible[ext->count++] = sector;
    return true;
}

bool BoxOutsideFrustum(const GxCamera* camera, const GxBBox& box)
{
    for (const GxFrustumPlane& fp : camera->frustumPlanes) {
        // The corner furthest against the normal: when even it lies in front of the plane the box is out.
        const GxV3d corner = {fp.closestX ? box.inf.x : box.sup.x, fp.closestY ? box.inf.y : box.sup.y,
                              fp.closestZ ? box.inf.z : box.sup.z};
        if (GxV3dDotProduct(&fp.plane.normal, &corner) - fp.plane.distance > 0) {
            return true;
        }
    }
    return false;
}

void BuildVisibleSectors(GxCamera* camera, CameraExt* ext)
{
    ext->count = 0;
    GxWorld* world = ext->world;
    GxFrame* frame = GxCameraGetFrame(camera);
    if (!world || !frame) {
        return;
    }
    const GxBBox& box = camera->frustumBoundBox;
    const GxV3d eye = GxFrameGetWorldMatrix(frame)->pos;
    GxSector* stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    GxSector* node = world->rootSector;
    while (node) {
        if (GxSectorIsAtomic(node)) {
            GxWorldSector* sector = GxSectorAsAtomic(node);
            if (!BoxOutsideFrustum(camera, sector->boundingBox) && !AppendVisible(ext, sector)) {
                return;
            }
            node = top > 0 ? stack[--top] : nullptr;
            continue;
        }
        GxPlaneSector* plane = GxSectorAsPlane(node);
        const bool left = GxV3dAxis(box.inf, plane->type) < plane->leftValue;
        const bool right = GxV3dAxis(box.sup, plane->type) > plane->rightValue;
        if (left && right && top < gxWORLDSTACKDEPTH) {
            // Above the plane the left side is the far one.
            const bool leftFar = GxV3dAxis(eye, plane->type) > plane->value;
            const bool farFirst = world->renderOrder == gxWORLDRENDERBACKTOFRONT;
            GxSector* farChild = leftFar ? plane->leftSubTree : plane->rightSubTree;
            GxSector* nearChild = leftFar ? plane->rightSubTree : plane->leftSubTree;
            node = farFirst ? farChild : nearChild;
            stack[top++] = farFirst ? nearChild : farChild;
        } else if (left) {
            node = plane->leftSubTree;
        } else {
            // A box that reaches neither side past its bound (it lies between them) goes right.
            node = plane->rightSubTree;
        }
    }
}

GxFramedObject* CameraSync(GxFramedObject* object)
{
    auto* camera = reinterpret_cast<GxCamera*>(object);
    CameraExt* ext = OfCamera(camera);
    if (ext->sync && !ext->sync(object)) {
        return nullptr;
    }
    if (GxWorld* world = LiveWorld(ext)) {
        BuildVisibleSectors(camera, ext);
        if (GxStandardFunc order = GxEngineInstance->stdFunc[gxSTANDARDSECTORORDER]) {
            order(nullptr, nullptr, world->renderOrder == gxWORLDRENDERFRONTTOBACK ? 1 : 0);
        }
    }
    return object;
}

// A failed begin update leaves the camera's world current, as the saved begin update leaves the camera.
GxCamera* CameraBeginUpdate(GxCamera* camera)
{
    CameraExt* ext = OfCamera(camera);
    GxEngineInstance->curWorld = LiveWorld(ext);
    GxWorldBumpRenderFrame();
    return ext->beginUpdate ? ext->beginUpdate(camera) : camera;
}

GxCamera* CameraEndUpdate(GxCamera* camera)
{
    CameraExt* ext = OfCamera(camera);
    GxEngineInstance->curWorld = nullptr;
    return ext->endUpdate ? ext->endUpdate(camera) : camera;
}

void* CameraConstruct(void* object, GxInt32 offset, GxInt32)
{
    auto* camera = static_cast<GxCamera*>(object);
    CameraExt* ext = Ext<CameraExt>(object, offset);
    *ext = CameraExt{nullptr, 0, 0, nullptr, camera->beginUpdate, camera->endUpdate, camera->object.sync};
    camera->beginUpdate = CameraBeginUpdate;
    camera->endUpdate = CameraEndUpdate;
    camera->object.sync = CameraSync;
    return object;
}

void* CameraDestruct(void* object, GxInt32 offset, GxInt32)
{
    auto* camera = static_cast<GxCamera*>(object);
    CameraExt* ext = Ext<CameraExt>(object, offset);
    GxFree(ext->visible);
    camera->beginUpdate = ext->beginUpdate;
    camera->endUpdate = ext->endUpdate;
    camera->object.sync = ext->sync;
    *ext = CameraExt{};
    return object;
}

void* CameraCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    GxWorld* world = Ext<CameraExt>(source, offset)->world;
    if (world) {
        GxWorldAddCamera(world, static_cast<GxCamera*>(destination));
    }
    return destination;
}

void SetFrameDirty(void* frame)
{
    if (frame) {
        GxFrameSetDirty(static_cast<GxFrame*>(frame));
    }
}

// ---- Sector stream extensions.

// A sector's bin mesh names materials of its world's list, as a geometry's names its own.
GxWorld* WorldOfSector(const void* object) { return GxWorldSectorGetWorld(static_cast<const GxWorldSector*>(object)); }

bool IsNativeWorld(const GxWorld* world) { return (world->flags & gxGEOMETRYNATIVE) != 0; }

// A sector lives inside its world's allocation, and a world is listed from its creation or the start of its
// read: the sector's world is always found.
GxInt32 SectorBinMeshSize(const void* object, GxInt32, GxInt32)
{
    const GxWorld* world = WorldOfSector(object);
    GX_ASSERT(world, "a sector belongs to a listed world");
    return GxBinMeshStreamGetSize(static_cast<const GxWorldSector*>(object)->mesh, IsNativeWorld(world));
}

GxStream* SectorBinMeshWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const GxWorld* world = WorldOfSector(object);
    GX_ASSERT(world, "a sector belongs to a listed world");
    const GxMeshHeader* header = static_cast<const GxWorldSector*>(object)->mesh;
    return header && GxBinMeshStreamWrite(stream, header, &world->matList, IsNativeWorld(world)) ? stream : nullptr;
}

// A stored mesh is kept (validated against the sector and its world); sectors without one build it after reading.
GxStream* SectorBinMeshRead(GxStream* stream, GxInt32 length, void* object, GxInt32, GxInt32)
{
    auto* sector = static_cast<GxWorldSector*>(object);
    const GxWorld* world = WorldOfSector(sector);
    GX_ASSERT(world, "a sector belongs to a listed world");
    GxMeshHeader* header =
        GxBinMeshStreamRead(stream, length, &world->matList, sector->numVertices, IsNativeWorld(world));
    if (!header) {
        return nullptr;
    }
    GxMeshHeaderDestroy(sector->mesh);
    sector->mesh = header;
    return stream;
}

}  // namespace

// ---- Membership.

void GxWorldBumpRenderFrame(void)
{
    EngineBlock* block = Block();
    GX_ASSERT(block, "frames are rendered while the engine is open");
    ++block->renderFrame;
}

GxUInt16 GxWorldGetRenderFrame(void)
{
    EngineBlock* block = Block();
    GX_ASSERT(block, "the render frame is read while the engine is open");
    return block->renderFrame;
}

void GxWorldSectorRemoveAllTies(GxWorldSector* sector)
{
    EngineBlock* block = Block();
    GX_ASSERT(block, "a sector lets go of its ties while the engine is open");
    while (!GxLinkIsEmpty(&sector->collAtomicsInWorldSector)) {
        GxTie* tie = GxTieFromSectorLink(sector->collAtomicsInWorldSector.next);
        GxLinkRemove(&tie->lWorldSector);
        GxLinkRemove(&tie->lAtomic);
        GxFreeListFreeEntry(block->atomicTies, tie);
    }
    while (!GxLinkIsEmpty(&sector->lightsInWorldSector)) {
        GxLightTie* tie = GxLightTieFromSectorLink(sector->lightsInWorldSector.next);
        GxLinkRemove(&tie->lWorldSector);
        GxLinkRemove(&tie->lLight);
        GxFreeListFreeEntry(block->lightTies, tie);
    }
}

GxWorld* GxWorldAddClump(GxWorld* world, GxClump* clump)
{
    GX_ASSERT(world && clump && clumpOffset >= 0, "the world plugin is attached and both objects are given");
    ClumpExt* ext = OfClump(clump);
    if (ext->world) {
        // A clump is in one world at a time: linking it twice would corrupt both lists.
        GxWorldRemoveClump(ext->world, clump);
    }
    GxLinkAddAfter(&world->clumpList, &clump->inWorldLink);
    world->numClumpsInWorld++;
    ext->world = world;
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList; link = link->next) {
        auto* atomic = reinterpret_cast<GxAtomic*>(reinterpret_cast<char*>(link) - offsetof(GxAtomic, inClumpLink));
        OfAtomic(atomic)->world = world;
        SetFrameDirty(atomic->object.object.parent);
    }
    GxClumpForAllLights(
        clump,
        [](GxLight* light, void* data) {
            GxWorldAddLight(static_cast<GxWorld*>(data), light);
            return light;
        },
        world);
    GxClumpForAllCameras(
        clump,
        [](GxCamera* camera, void* data) {
            GxWorldAddCamera(static_cast<GxWorld*>(data), camera);
            return camera;
        },
        world);
    auto* frame = static_cast<GxFrame*>(clump->object.parent);
    if (frame) {
        GxMatrixOptimize(&frame->modelling, nullptr);
        GxFrameSetDirty(frame);
    }
    const EngineBlock* block = Block();
    GX_ASSERT(block, "clumps join worlds while the engine is open");
    ext->stamp = block->clumpStamp;
    return world;
}

GxWorld* GxWorldRemoveClump(GxWorld* world, GxClump* clump)
{
    GX_ASSERT(world && clump && clumpOffset >= 0, "the world plugin is attached and both objects are given");
    ClumpExt* ext = OfClump(clump);
    if (!ext->world) {
        GxErrorRaise(gxPLUGINWORLD, gxERRNOTINWORLD);
        return nullptr;
    }
    GX_ASSERT(ext->world == world, "a clump leaves the world it is in");
    world->numClumpsInWorld--;
    if (world->currentClumpLink == &clump->inWorldLink) {
        world->currentClumpLink = clump->inWorldLink.next;
    }
    GxLinkRemove(&clump->inWorldLink);
    GxLinkInit(&clump->inWorldLink);
    for (GxLink* link = clump->atomicList.next; link != &clump->atomicList; link = link->next) {
        auto* atomic = reinterpret_cast<GxAtomic*>(reinterpret_cast<char*>(link) - offsetof(GxAtomic, inClumpLink));
        AtomicExt* atomicExt = OfAtomic(atomic);
        if (atomicExt->world != world) {
            continue;
        }
        if (atomic->repEntry) {
            GxResourceEntryFree(atomic->repEntry);
        }
        RemoveAtomicTies(atomic);
        atomicExt->world = nullptr;
    }
    GxClumpForAllLights(
        clump,
        [](GxLight* light, void* data) {
            if (OfLight(light)->world == data) {
                GxWorldRemoveLight(static_cast<GxWorld*>(data), light);
            }
            return light;
        },
        world);
    GxClumpForAllCameras(
        clump,
        [](GxCamera* camera, void* data) {
            if (OfCamera(camera)->world == data) {
                GxWorldRemoveCamera(static_cast<GxWorld*>(data), camera);
            }
            return camera;
        },
        world);
    ext->world = nullptr;
    return world;
}

GxWorld* GxWorldAddLight(GxWorld* world, GxLight* light)
{
    GX_ASSERT(world && light && lightOffset >= 0, "the world plugin is attached and both objects are given");
    LightExt* ext = OfLight(light);
    if (ext->world) {
        GxWorldRemoveLight(ext->world, light);
    }
    ext->world = world;
    if (light->object.object.subType >= gxLIGHTPOINT) {
        SetFrameDirty(light->object.object.parent);
        GxLinkAddAfter(&world->lightList, &light->inWorld);
    } else {
        GxLinkAddAfter(&world->directionalLightList, &light->inWorld);
    }
    return world;
}

GxWorld* GxWorldRemoveLight(GxWorld* world, GxLight* light)
{
    GX_ASSERT(world && light && lightOffset >= 0, "the world plugin is attached and both objects are given");
    OfLight(light)->world = nullptr;
    RemoveLightTies(light);
    GxLinkRemove(&light->inWorld);
    GxLinkInit(&light->inWorld);
    return world;
}

GxWorld* GxWorldAddCamera(GxWorld* world, GxCamera* camera)
{
    GX_ASSERT(world && camera && cameraOffset >= 0, "the world plugin is attached and both objects are given");
    OfCamera(camera)->world = world;
    SetFrameDirty(camera->object.object.parent);
    return world;
}

GxWorld* GxWorldRemoveCamera(GxWorld* world, GxCamera* camera)
{
    GX_ASSERT(camera && cameraOffset >= 0, "the world plugin is attached and a camera is given");
    if (!OfCamera(camera)->world) {
        return nullptr;
    }
    OfCamera(camera)->world = nullptr;
    OfCamera(camera)->count = 0;
    return world;
}

GxWorld* GxAtomicGetWorld(const GxAtomic* atomic)
{
    return atomic && atomicOffset >= 0 ? OfAtomic(atomic)->world : nullptr;
}

GxWorld* GxClumpGetWorld(const GxClump* clump) { return clump && clumpOffset >= 0 ? OfClump(clump)->world : nullptr; }

GxWorld* GxLightGetWorld(const GxLight* light) { return light && lightOffset >= 0 ? OfLight(light)->world : nullptr; }

GxWorld* GxCameraGetWorld(const GxCamera* camera)
{
    return camera && cameraOffset >= 0 ? LiveWorld(OfCamera(camera)) : nullptr;
}

GxInt32 GxCameraGetNumVisibleSectors(const GxCamera* camera)
{
    return camera && cameraOffset >= 0 && LiveWorld(OfCamera(camera)) ? OfCamera(camera)->count : 0;
}

GxWorldSector* GxCameraGetVisibleSector(const GxCamera* camera, GxInt32 index)
{
    const CameraExt* ext = OfCamera(camera);
    return index >= 0 && index < ext->count ? ext->visible[index] : nullptr;
}

// ---- Frustum walks.

GxCamera* GxCameraForAllSectorsInFrustum(GxCamera* camera, GxWorldSectorCallBack callBack, void* data)
{
    const GxInt32 count = GxCameraGetNumVisibleSectors(camera);
    for (GxInt32 i = 0; i < count; i++) {
        if (!callBack(OfCamera(camera)->visible[i], data)) {
            break;
        }
    }
    return camera;
}

GxCamera* GxCameraForAllClumpsInFrustum(GxCamera* camera, GxClumpCallBack callBack, void* data)
{
    EngineBlock* block = Block();
    GX_ASSERT(camera && block, "a camera is given and the world module is open");
    const GxInt32 stamp = ++block->clumpStamp;
    const GxInt32 count = GxCameraGetNumVisibleSectors(camera);
    for (GxInt32 i = 0; i < count; i++) {
        GxWorldSector* sector = OfCamera(camera)->visible[i];
        GxLink* head = &sector->collAtomicsInWorldSector;
        for (GxLink* link = head->next; link != head; link = link->next) {
            GxAtomic* atomic = GxTieFromSectorLink(link)->apAtom;
            GxClump* clump = atomic->clump;
            if (!clump || OfClump(clump)->stamp == stamp ||
                GxCameraFrustumTestSphere(camera, GxAtomicGetWorldBoundingSphere(atomic)) == gxSPHEREOUTSIDE) {
                continue;
            }
            OfClump(clump)->stamp = stamp;
            // A placeholder after the current tie keeps the walk valid when the callback removes objects.
            GxLink placeholder;
            GxLinkAddAfter(link, &placeholder);
            const bool more = callBack(clump, data) != nullptr;
            link = &placeholder;
            GxLink* previous = placeholder.prev;
            GxLinkRemove(&placeholder);
            if (!more) {
                return camera;
            }
            link = previous;
        }
    }
    return camera;
}

// ---- Attach.

GxBool GxWorldObjectPluginAttach(void)
{
    static const GxCoreModule module = {gxPLUGINWORLDOBJMODULE, sizeof(EngineBlock), EngineOpen, EngineClose};
    if (!GxEngineRegisterModule(&module)) {
        return 0;
    }
    cameraOffset =
        GxCameraRegisterPlugin(sizeof(CameraExt), gxPLUGINWORLDOBJMODULE, CameraConstruct, CameraDestruct, CameraCopy);
    atomicOffset =
        GxAtomicRegisterPlugin(sizeof(AtomicExt), gxPLUGINWORLDOBJMODULE, AtomicConstruct, AtomicDestruct, AtomicCopy);
    clumpOffset =
        GxClumpRegisterPlugin(sizeof(ClumpExt), gxPLUGINWORLDOBJMODULE, ClumpConstruct, ClumpDestruct, ClumpCopy);
    lightOffset =
        GxLightRegisterPlugin(sizeof(LightExt), gxPLUGINWORLDOBJMODULE, LightConstruct, LightDestruct, LightCopy);
    if (cameraOffset < 0 || atomicOffset < 0 || clumpOffset < 0 || lightOffset < 0) {
        return 0;
    }
    if (GxWorldSectorRegisterPlugin(0, gxID_BINMESH, nullptr, nullptr, nullptr) < 0 ||
        GxWorldSectorRegisterPluginStream(gxID_BINMESH, SectorBinMeshRead, SectorBinMeshWrite, SectorBinMeshSize) < 0) {
        return 0;
    }
    return 1;
}
