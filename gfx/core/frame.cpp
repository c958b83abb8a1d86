// Frame module: frame creation and destruction, the hierarchy, the dirty-frame list, synchronisation and cloning.
#include <cstdint>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/frame_local.h"
#include "gfx/core/memory.h"

GxPluginRegistry gxFrameTKList = GxPluginRegistryInitializer(sizeof(GxFrame), 0);

namespace {

constexpr GxUInt32 kFrameHint = 0x3000E;
constexpr GxUInt32 kFrameFreeListHint = 0x4000E;
constexpr GxInt32 kFramesPerBlock = 50;
constexpr GxUInt32 kSyncScratchHint = 0x104000E;  // resizable: kept across passes, freed at close
constexpr GxInt32 kSyncScratchFirstCapacity = 256;
constexpr GxInt32 kSyncOrderMinFrames = 16;  // a skeleton and up; smaller ones walk their links as fast
// Room for a crowd of skeletons, each synchronised every frame: a root may take either slot of its set.
constexpr GxUInt32 kSyncOrderSetBits = 10;
constexpr GxUInt32 kSyncOrderWays = 2;
constexpr GxUInt32 kSyncOrderSlots = (1u << kSyncOrderSetBits) * kSyncOrderWays;
constexpr GxInt32 kSyncPrefetchAhead = 16;
constexpr uint64_t kPointerHashFactor = 0x9E3779B97F4A7C15ull;

struct GxFrameModuleBlock {
    GxFreeList* frameFreeList;
};

GxInt32 frameModuleOffset = -1;
GxInt32 frameModuleInstances = 0;
GxFreeList frameFreeListRecord;

GxFrameModuleBlock* FrameBlock()
{
    return static_cast<GxFrameModuleBlock*>(GxCoreModuleBlock(frameModuleOffset, frameModuleInstances));
}

GxFrame* Parent(const GxFrame* frame) { return static_cast<GxFrame*>(frame->object.parent); }

// Counts every change of any hierarchy's shape (a link, a frame made or freed):
// a cached walk order is good only while this is what it was when the order was built.
uint64_t shapeGeneration = 0;

void ShapeChanged() { shapeGeneration++; }

// Counts every object joining a frame: an order's list of the frames carrying objects is good while this is what
// it was when the list was taken (an object leaving only makes a listed frame's callbacks find nothing).
uint64_t objectsGeneration = 0;

// Next frame of top's subtree in depth-first pre-order; walks by links so deep
// hierarchies need no stack.
GxFrame* NextInSubtree(GxFrame* frame, const GxFrame* top)
{
    if (frame->child != nullptr) {
        return frame->child;
    }
    while (frame != top) {
        if (frame->next != nullptr) {
            return frame->next;
        }
        frame = Parent(frame);
    }
    return nullptr;
}

void SetSubtreeRoot(GxFrame* top, GxFrame* root)
{
    for (GxFrame* f = top; f != nullptr; f = NextInSubtree(f, top)) {
        f->root = root;
    }
}

bool IsListed(const GxFrame* root) { return (root->object.privateFlags & gxFRAMEHIERARCHYSYNC) != 0; }

void ListRoot(GxFrame* root)
{
    if (!IsListed(root)) {
        GxLinkAddAfter(&GxEngineInstance->dirtyFrameList, &root->inDirtyListLink);
    }
    root->object.privateFlags |= gxFRAMEHIERARCHYSYNC;
}

void UnlistRoot(GxFrame* root)
{
    if (IsListed(root)) {
        GxLinkRemove(&root->inDirtyListLink);
        root->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMEHIERARCHYSYNC);
    }
}

// Objects left on a frame that goes away get self-linked, so that a later
// unlink by their owner touches only the object itself.
void ReleaseObjects(GxFrame* frame)
{
    GxLink* link = frame->objectList.next;
    while (link != &frame->objectList) {
        GxLink* next = link->next;
        GxLinkInit(link);
        link = next;
    }
    GxLinkInit(&frame->objectList);
}

void FreeFrame(GxFrame* frame)
{
    ShapeChanged();
    GxFreeListFreeEntry(FrameBlock()->frameFreeList, frame);
}

// Takes the child out of its parent's child list; it becomes a dirty root.
void Detach(GxFrame* child)
{
    GxFrame* parent = Parent(child);
    if (parent == nullptr) {
        return;
    }
    ShapeChanged();
    if (parent->child == child) {
        parent->child = child->next;
    } else {
        GxFrame* prev = parent->child;
        while (prev != nullptr && prev->next != child) {
            prev = prev->next;
        }
        if (prev != nullptr) {
            prev->next = child->next;
        }
    }
    child->object.parent = nullptr;
    child->next = nullptr;
    SetSubtreeRoot(child, child);
    GxFrameSetDirty(child);
}

// Run on a frame whose hierarchy is being taken down: no relinking of others.
void DestroyOne(GxFrame* frame)
{
    GxPluginRegistryDeInitObject(&gxFrameTKList, frame);
    UnlistRoot(frame);
    ReleaseObjects(frame);
    FreeFrame(frame);
}

// Frames whose objects wait for their sync callbacks during GxFrameSyncDirty.
// Indices, not pointers, are kept across callbacks because the array may move.
struct GxFrameSyncScratch {
    GxFrame** frames;
    GxInt32 count;
    GxInt32 capacity;
    bool overflow;  // a push failed: the pass falls back to walking the hierarchy
};
GxFrameSyncScratch syncScratch = {nullptr, 0, 0, false};

void ScratchPush(GxFrame* frame)
{
    if (syncScratch.count == syncScratch.capacity) {
        const GxInt32 capacity = syncScratch.capacity > 0 ? syncScratch.capacity * 2 : kSyncScratchFirstCapacity;
        const size_t bytes = sizeof(GxFrame*) * capacity;
        void* grown = syncScratch.frames == nullptr ? GxMalloc(bytes, kSyncScratchHint)
                                                    : GxRealloc(syncScratch.frames, bytes, kSyncScratchHint);
        if (grown == nullptr) {
            syncScratch.overflow = true;
            return;
        }
        syncScratch.frames = static_cast<GxFrame**>(grown);
        syncScratch.capacity = capacity;
    }
    syncScratch.frames[syncScratch.count++] = frame;
}

// Marks a frame's objects synchronised and, when collecting, queues them.
void NoteObjects(GxFrame* frame, bool collect)
{
    if (!collect) {
        return;
    }
    frame->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMESYNCOBJ);
    if (!GxLinkIsEmpty(&frame->objectList)) {
        ScratchPush(frame);
    }
}

// World matrices of one hierarchy, in one depth-first walk by links. A frame
// keeps its 0x04 flag until the walk leaves its subtree, so each child sees its
// parent's flag as inherited. With `collect` the frames carrying objects are
// queued for their sync callbacks. Returns the number of frames.
GxInt32 SyncHierarchyWorld(GxFrame* root, bool collect)
{
    if (root->object.privateFlags & gxFRAMESYNCWORLD) {
        GxMatrixCopy(&root->ltm, &root->modelling);
    }
    NoteObjects(root, collect);
    GxInt32 count = 1;
    GxFrame* f = root->child;
    while (f != nullptr) {
        count++;
        const GxFrame* parent = Parent(f);
        if (parent->object.privateFlags & gxFRAMESYNCWORLD) {
            f->object.privateFlags |= gxFRAMESYNCWORLD;
        }
        if (f->object.privateFlags & gxFRAMESYNCWORLD) {
            GxMatrixMultiply(&f->ltm, &f->modelling, &parent->ltm);
        }
        NoteObjects(f, collect);
        if (f->child != nullptr) {
            f = f->child;
            continue;
        }
        while (f != root) {
            f->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMESYNCWORLD);
            if (f->next != nullptr) {
                f = f->next;
                break;
            }
            f = Parent(f);
        }
        if (f == root) {
            break;
        }
    }
    root->object.privateFlags &= static_cast<GxUInt8>(~(gxFRAMEHIERARCHYSYNCWORLD | gxFRAMESYNCWORLD));
    return count;
}

// Objects only: queues every frame of the hierarchy that carries objects. Returns the number of frames.
GxInt32 NoteHierarchyObjects(GxFrame* root)
{
    GxInt32 count = 0;
    for (GxFrame* f = root; f != nullptr; f = NextInSubtree(f, root)) {
        NoteObjects(f, true);
        count++;
    }
    return count;
}

// A large hierarchy's frames in pre-order with each one's parent index: a pass reads
// these arrays, whose loads overlap, instead of chasing links one frame at a time.
// Kept per root in a small table and good while the shape generation is unchanged.
struct GxFrameSyncOrder {
    GxFrame* root;  // null: the slot holds nothing usable
    uint64_t generation;
    GxInt32 count;
    GxInt32 capacity;
    GxFrame** frames;
    GxInt32* parents;  // parents[0] is -1
    GxUInt8* moved;    // during a pass: the frame's world matrix is being recomputed
    GxInt32* moving;   // during a pass: indices of those frames, in order
    GxInt32* holders;  // indices of the frames below the root that carry objects, in order
    GxInt32 holderCount;
    bool holdersKnown;  // holders were taken at holdersGeneration of objectsGeneration
    uint64_t holdersGeneration;
    uint64_t used;  // the use count when it was last used: the older of a set is replaced
};
GxFrameSyncOrder syncOrders[kSyncOrderSlots];
uint64_t orderUses = 0;

GxFrameSyncOrder* OrderSet(const GxFrame* root)
{
    const uint64_t key = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(root)) * kPointerHashFactor;
    return &syncOrders[(key >> (64 - kSyncOrderSetBits)) * kSyncOrderWays];
}

GxFrameSyncOrder* CurrentOrder(const GxFrame* root)
{
    GxFrameSyncOrder* set = OrderSet(root);
    for (GxUInt32 way = 0; way < kSyncOrderWays; way++) {
        GxFrameSyncOrder* order = &set[way];
        if (order->root == root && order->generation == shapeGeneration) {
            order->used = ++orderUses;
            return order;
        }
    }
    return nullptr;
}

// The slot a new order of root takes: its own old one, else a free or outdated one, else the least recently used.
GxFrameSyncOrder* OrderSlotFor(const GxFrame* root)
{
    GxFrameSyncOrder* set = OrderSet(root);
    GxFrameSyncOrder* victim = &set[0];
    for (GxUInt32 way = 0; way < kSyncOrderWays; way++) {
        GxFrameSyncOrder* order = &set[way];
        if (order->root == root || order->root == nullptr || order->generation != shapeGeneration) {
            return order;
        }
        if (order->used < victim->used) {
            victim = order;
        }
    }
    return victim;
}

bool ReserveOrder(GxFrameSyncOrder* order, GxInt32 count)
{
    if (count <= order->capacity) {
        return true;
    }
    const size_t bytes = (sizeof(GxFrame*) + 3 * sizeof(GxInt32) + sizeof(GxUInt8)) * static_cast<size_t>(count);
    void* block = GxMalloc(bytes, kSyncScratchHint);
    if (block == nullptr) {
        return false;
    }
    if (order->frames != nullptr) {
        GxFree(order->frames);
    }
    order->frames = static_cast<GxFrame**>(block);
    order->parents = reinterpret_cast<GxInt32*>(order->frames + count);
    order->moving = order->parents + count;
    order->holders = order->moving + count;
    order->moved = reinterpret_cast<GxUInt8*>(order->holders + count);
    order->capacity = count;
    return true;
}

void FreeOrders()
{
    for (GxFrameSyncOrder& order : syncOrders) {
        if (order.frames != nullptr) {
            GxFree(order.frames);
        }
        order = {};
    }
}

// Records the `count` frames of root's hierarchy; climbing uses the parent
// indices already recorded, so no stack is needed. Without memory nothing is cached.
void BuildOrder(GxFrame* root, GxInt32 count)
{
    GxFrameSyncOrder* order = OrderSlotFor(root);
    order->root = nullptr;
    if (!ReserveOrder(order, count)) {
        return;
    }
    GxFrame** frames = order->frames;
    GxInt32* parents = order->parents;
    frames[0] = root;
    parents[0] = -1;
    GxInt32 n = 1;
    GxInt32 at = 0;
    for (;;) {
        GxFrame* f = frames[at];
        GxInt32 parent = at;
        if (f->child != nullptr) {
            f = f->child;
        } else {
            while (at != 0 && frames[at]->next == nullptr) {
                at = parents[at];
            }
            if (at == 0) {
                break;
            }
            f = frames[at]->next;
            parent = parents[at];
        }
        if (n == count) {
            return;  // the hierarchy is not the one counted
        }
        frames[n] = f;
        parents[n] = parent;
        at = n++;
    }
    if (n != count) {
        return;
    }
    order->count = n;
    order->holdersKnown = false;
    order->generation = shapeGeneration;
    order->root = root;
    order->used = ++orderUses;
}

// The link walks' work over a cached order, frame for frame in the same order. The
// flags are read in a first loop with no calls in it, fetching a few frames ahead; the
// products follow in a second loop, in the same parent-first order. The frames carrying
// objects are queued from the order's list of them while no object joined a frame since
// it was taken, so that the first loop reads one cache line a frame; else the loop reads
// every object list and takes the list again.
template <bool world, bool collect>
void SyncOrderPass(GxFrameSyncOrder* order)
{
    GxFrame* const* frames = order->frames;
    const GxInt32* parents = order->parents;
    GxUInt8* moved = order->moved;
    GxInt32* moving = order->moving;
    GxInt32 moves = 0;
    const GxUInt8 done = static_cast<GxUInt8>((world ? gxFRAMESYNCWORLD : 0) | (collect ? gxFRAMESYNCOBJ : 0));
    GxFrame* root = frames[0];
    moved[0] = world && (root->object.privateFlags & gxFRAMESYNCWORLD) != 0;
    if (moved[0]) {
        GxMatrixCopy(&root->ltm, &root->modelling);
    }
    NoteObjects(root, collect);
    const bool readLists = collect && !(order->holdersKnown && order->holdersGeneration == objectsGeneration);
    GxInt32* holders = order->holders;
    GxInt32 holderCount = 0;
    const GxInt32 count = order->count;
    for (GxInt32 i = 1; i < count; i++) {
        if (i + kSyncPrefetchAhead < count) {
            const GxFrame* ahead = frames[i + kSyncPrefetchAhead];
            __builtin_prefetch(&ahead->object);
            if (readLists) {
                __builtin_prefetch(&ahead->objectList);
            }
        }
        GxFrame* f = frames[i];
        const GxUInt8 flags = f->object.privateFlags;
        const GxUInt8 move = moved[parents[i]] | ((flags & done & gxFRAMESYNCWORLD) != 0);
        moved[i] = move;
        moving[moves] = i;
        moves += move;
        // Only frames with something to clear are written, so clean frames stay clean in the cache.
        if (flags & done) {
            f->object.privateFlags = static_cast<GxUInt8>(flags & ~done);
        }
        if (readLists && !GxLinkIsEmpty(&f->objectList)) {
            holders[holderCount++] = i;
        }
    }
    if (readLists) {
        order->holderCount = holderCount;
        order->holdersGeneration = objectsGeneration;
        order->holdersKnown = true;
    }
    if (collect) {
        for (GxInt32 k = 0; k < order->holderCount; k++) {
            ScratchPush(frames[holders[k]]);
        }
    }
    for (GxInt32 k = 0; k < moves; k++) {
        if (k + kSyncPrefetchAhead < moves) {
            const GxFrame* ahead = frames[moving[k + kSyncPrefetchAhead]];
            __builtin_prefetch(&ahead->modelling);
            __builtin_prefetch(&ahead->ltm, 1);
            __builtin_prefetch(&ahead->ltm.pos, 1);
        }
        GxFrame* f = frames[moving[k]];
        GxMatrixMultiply(&f->ltm, &f->modelling, &frames[parents[moving[k]]]->ltm);
    }
    if (world) {
        root->object.privateFlags &= static_cast<GxUInt8>(~(gxFRAMEHIERARCHYSYNCWORLD | gxFRAMESYNCWORLD));
    }
}

// One pass over a hierarchy: world matrices when `world`, objects queued when `collect`.
void WalkHierarchy(GxFrame* root, bool world, bool collect)
{
    GxFrameSyncOrder* order = CurrentOrder(root);
    if (order != nullptr) {
        if (!world) {
            SyncOrderPass<false, true>(order);
        } else if (collect) {
            SyncOrderPass<true, true>(order);
        } else {
            SyncOrderPass<true, false>(order);
        }
        return;
    }
    const GxInt32 count = world ? SyncHierarchyWorld(root, collect) : NoteHierarchyObjects(root);
    if (count >= kSyncOrderMinFrames) {
        BuildOrder(root, count);
    }
}

void SyncFrameObjects(GxFrame* frame)
{
    GxLink* link = frame->objectList.next;
    while (link != &frame->objectList) {
        GxLink* next = link->next;
        GxFramedObject* object = GxLinkGetData(link, GxFramedObject, inFrameList);
        if (object->sync != nullptr) {
            object->sync(object);
        }
        link = next;
    }
}

void SyncHierarchyObjects(GxFrame* root)
{
    for (GxFrame* f = root; f != nullptr; f = NextInSubtree(f, root)) {
        f->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMESYNCOBJ);
        SyncFrameObjects(f);
    }
}

// One dirty root: world matrices first (when they changed), then every sync
// callback of the hierarchy, so callbacks see finished matrices.
void SyncRoot(GxFrame* root)
{
    const GxInt32 first = syncScratch.count;
    syncScratch.overflow = false;
    WalkHierarchy(root, (root->object.privateFlags & gxFRAMEHIERARCHYSYNCWORLD) != 0, true);
    root->object.privateFlags &= static_cast<GxUInt8>(~0x0F);
    if (syncScratch.overflow) {
        syncScratch.count = first;
        SyncHierarchyObjects(root);
        return;
    }
    const GxInt32 end = syncScratch.count;
    for (GxInt32 i = first; i < end; i++) {
        SyncFrameObjects(syncScratch.frames[i]);
    }
    syncScratch.count = first;
}

bool IsAncestorOrSelf(const GxFrame* candidate, const GxFrame* frame)
{
    // A leaf is nobody's ancestor, which keeps building deep chains linear.
    if (candidate->child == nullptr) {
        return candidate == frame;
    }
    for (const GxFrame* f = frame; f != nullptr; f = Parent(f)) {
        if (f == candidate) {
            return true;
        }
    }
    return false;
}

void* FrameModuleOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    frameModuleOffset = offset;
    auto* engine = static_cast<GxEngine*>(instance);
    auto* block = reinterpret_cast<GxFrameModuleBlock*>(static_cast<char*>(instance) + offset);
    GxLinkInit(&engine->dirtyFrameList);
    block->frameFreeList = GxFreeListCreateAndPreallocate(gxFrameTKList.sizeOfStruct, kFramesPerBlock, alignof(GxFrame),
                                                          1, &frameFreeListRecord, kFrameFreeListHint);
    if (block->frameFreeList == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    frameModuleInstances++;
    return instance;
}

void* FrameModuleClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxFrameModuleBlock*>(static_cast<char*>(instance) + offset);
    if (block->frameFreeList != nullptr) {
        GxFreeListDestroy(block->frameFreeList);
        block->frameFreeList = nullptr;
    }
    if (syncScratch.frames != nullptr) {
        GxFree(syncScratch.frames);
    }
    syncScratch = {nullptr, 0, 0, false};
    FreeOrders();
    frameModuleInstances--;
    return instance;
}

}  // namespace

void GxFrameObjectsChanged(void) { objectsGeneration++; }

const GxCoreModule gxFrameModule = {0x403, sizeof(GxFrameModuleBlock), FrameModuleOpen, FrameModuleClose};

GxFrame* GxFrameInit(GxFrame* frame)
{
    ShapeChanged();
    std::memset(&frame->object, 0, sizeof(frame->object));
    frame->object.type = gxOBJECTTYPEFRAME;
    GxLinkInit(&frame->inDirtyListLink);
    GxMatrixSetIdentity(&frame->modelling);
    GxMatrixSetIdentity(&frame->ltm);
    GxLinkInit(&frame->objectList);
    frame->child = nullptr;
    frame->next = nullptr;
    frame->root = frame;
    if (GxPluginRegistryInitObject(&gxFrameTKList, frame) == nullptr) {
        return nullptr;
    }
    return frame;
}

GxFrame* GxFrameCreate(void)
{
    GxFrameModuleBlock* block = FrameBlock();
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return nullptr;
    }
    auto* frame = static_cast<GxFrame*>(GxFreeListAllocEntry(block->frameFreeList, kFrameHint));
    if (frame == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    // A failing extension constructor is almost always out of memory; its own report wins if it made one.
    if (GxFrameInit(frame) == nullptr) {
        FreeFrame(frame);
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    return frame;
}

GxBool GxFrameDestroy(GxFrame* frame)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    GxPluginRegistryDeInitObject(&gxFrameTKList, frame);
    Detach(frame);
    UnlistRoot(frame);
    ShapeChanged();
    // The children become roots; their world matrices must lose the old parent, so they are set dirty.
    GxFrame* child = frame->child;
    while (child != nullptr) {
        GxFrame* next = child->next;
        child->object.parent = nullptr;
        child->next = nullptr;
        SetSubtreeRoot(child, child);
        child->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMEHIERARCHYSYNC);
        GxFrameSetDirty(child);
        child = next;
    }
    frame->child = nullptr;
    ReleaseObjects(frame);
    FreeFrame(frame);
    return 1;
}

GxBool GxFrameDestroyHierarchy(GxFrame* root)
{
    if (root == nullptr) {
        return 1;
    }
    // A frame still under a parent is taken out first so the parent keeps no dangling child.
    Detach(root);
    ShapeChanged();
    GxFrame* f = root;
    for (;;) {
        while (f->child != nullptr) {
            f = f->child;
        }
        const bool isTop = f == root;
        GxFrame* parent = Parent(f);
        GxFrame* next = f->next;
        DestroyOne(f);
        if (isTop) {
            break;
        }
        parent->child = next;
        f = next != nullptr ? next : parent;
    }
    return 1;
}

GxFrame* GxFrameSetDirty(GxFrame* frame)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    ListRoot(frame->root);
    frame->object.privateFlags |= gxFRAMESYNC;
    return frame;
}

GxInt32 GxFrameIsDirty(const GxFrame* frame)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    return frame->root->object.privateFlags & gxFRAMEHIERARCHYSYNC;
}

GxFrame* GxFrameGetRoot(const GxFrame* frame)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    return frame->root;
}

GxFrame* GxFrameAddChildNoUpdate(GxFrame* parent, GxFrame* child)
{
    GX_ASSERT(parent != nullptr && child != nullptr, "a parent and a child are given");
    // Linking a frame below itself would make a cycle.
    if (IsAncestorOrSelf(child, parent)) {
        GxErrorRaise(0, gxERRNULLARG);
        return nullptr;
    }
    Detach(child);
    ShapeChanged();
    // A listed child would stay on the dirty list as a non-root; its pending
    // work moves to the new root instead.
    const bool wasListed = IsListed(child);
    UnlistRoot(child);
    child->next = parent->child;
    parent->child = child;
    child->object.parent = parent;
    SetSubtreeRoot(child, parent->root);
    if (wasListed) {
        ListRoot(parent->root);
    }
    return parent;
}

GxFrame* GxFrameAddChild(GxFrame* parent, GxFrame* child)
{
    if (GxFrameAddChildNoUpdate(parent, child) == nullptr) {
        return nullptr;
    }
    GxFrameSetDirty(child);
    return parent;
}

namespace {

// Post-order over top's subtree: children before their parent, siblings in order.
GxFrame* PostOrderFirst(GxFrame* frame)
{
    while (frame->child != nullptr) {
        frame = frame->child;
    }
    return frame;
}

GxFrame* PostOrderNext(GxFrame* frame, const GxFrame* top)
{
    if (frame == top) {
        return nullptr;
    }
    return frame->next != nullptr ? PostOrderFirst(frame->next) : Parent(frame);
}

// The frames of a clone whose extensions were not constructed go straight back to the free list.
void FreeUnconstructed(GxFrame* top)
{
    GxFrame* f = PostOrderFirst(top);
    while (f != nullptr) {
        GxFrame* next = PostOrderNext(f, top);
        FreeFrame(f);
        f = next;
    }
}

// Makes the clone frames of root's subtree, each source frame's root pointer on its clone, with no extension
// constructed yet. Null when a frame could not be had (nothing is left over).
GxFrame* CloneFrames(GxFrameModuleBlock* block, GxFrame* root)
{
    GxFrame* newRoot = nullptr;
    // Pre-order, so each source parent already points at its clone through its root pointer.
    for (GxFrame* src = root; src != nullptr; src = NextInSubtree(src, root)) {
        auto* clone = static_cast<GxFrame*>(GxFreeListAllocEntry(block->frameFreeList, kFrameHint));
        if (clone == nullptr) {
            GxErrorRaise(0, gxERRNOMEMORY);
            if (newRoot != nullptr) {
                FreeUnconstructed(newRoot);
            }
            return nullptr;
        }
        clone->object = src->object;
        clone->object.parent = nullptr;
        clone->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMEHIERARCHYSYNC);
        GxLinkInit(&clone->inDirtyListLink);
        GxLinkInit(&clone->objectList);
        clone->modelling = src->modelling;
        GxMatrixSetIdentity(&clone->ltm);
        clone->child = nullptr;
        clone->next = nullptr;
        if (newRoot == nullptr) {
            newRoot = clone;
        } else {
            GxFrame* parentClone = Parent(src)->root;
            clone->object.parent = parentClone;
            clone->next = parentClone->child;
            parentClone->child = clone;
        }
        clone->root = newRoot;
        src->root = clone;
    }
    return newRoot;
}

// Constructs the clones' extensions and copies the sources' into them, a frame's children before the frame. When a
// constructor fails, the clones already constructed are destroyed and the others freed.
bool ConstructClones(GxFrame* root)
{
    GxInt32 constructed = 0;
    for (GxFrame* src = PostOrderFirst(root); src != nullptr; src = PostOrderNext(src, root)) {
        GxFrame* clone = src->root;
        if (GxPluginRegistryInitObject(&gxFrameTKList, clone) == nullptr) {
            GxFrame* newRoot = root->root;
            GxFrame* f = PostOrderFirst(root);
            for (GxInt32 i = 0; i < constructed; i++, f = PostOrderNext(f, root)) {
                GxPluginRegistryDeInitObject(&gxFrameTKList, f->root);
            }
            FreeUnconstructed(newRoot);
            return false;
        }
        GxPluginRegistryCopyObject(&gxFrameTKList, clone, src);
        constructed++;
    }
    return true;
}

}  // namespace

GxFrame* GxFrameCloneHierarchyNoRestore(GxFrame* root)
{
    GX_ASSERT(root != nullptr, "a frame is given");
    GxFrameModuleBlock* block = FrameBlock();
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return nullptr;
    }
    ShapeChanged();
    GxFrame* newRoot = CloneFrames(block, root);
    if (newRoot == nullptr || !ConstructClones(root)) {
        // The source must not keep root pointers to clones that are gone.
        GxFrameRestoreRoots(root);
        return nullptr;
    }
    newRoot->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMEHIERARCHYSYNC);
    GxFrameSetDirty(newRoot);
    return newRoot;
}

GxFrame* GxFrameRestoreRoots(GxFrame* root)
{
    if (root == nullptr) {
        return nullptr;
    }
    GxFrame* parent = Parent(root);
    SetSubtreeRoot(root, parent != nullptr ? parent->root : root);
    return root;
}

GxFrame* GxFrameCloneHierarchy(GxFrame* root)
{
    GxFrame* clone = GxFrameCloneHierarchyNoRestore(root);
    if (clone != nullptr) {
        GxFrameRestoreRoots(root);
    }
    return clone;
}

GxMatrix* GxFrameGetWorldMatrix(GxFrame* frame)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    GxFrame* root = frame->root;
    if (root->object.privateFlags & gxFRAMEHIERARCHYSYNCWORLD) {
        WalkHierarchy(root, true, false);
    }
    return &frame->ltm;
}

GxFrame* GxFrameTranslate(GxFrame* frame, const GxV3d* translation, GxInt32 combine)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    if (GxMatrixTranslate(&frame->modelling, translation, combine) == nullptr) {
        return nullptr;
    }
    return GxFrameSetDirty(frame);
}

GxFrame* GxFrameRotate(GxFrame* frame, const GxV3d* axis, GxReal angle, GxInt32 combine)
{
    GX_ASSERT(frame != nullptr, "a frame is given");
    if (GxMatrixRotate(&frame->modelling, axis, angle, combine) == nullptr) {
        return nullptr;
    }
    return GxFrameSetDirty(frame);
}

// Stops at the first callback that returns null; the callback may destroy its child.
GxFrame* GxFrameForAllChildren(GxFrame* frame, GxFrameCallBack callBack, void* data)
{
    GX_ASSERT(frame != nullptr && callBack != nullptr, "a frame and a callback are given");
    GxFrame* child = frame->child;
    while (child != nullptr) {
        GxFrame* next = child->next;
        if (callBack(child, data) == nullptr) {
            break;
        }
        child = next;
    }
    return frame;
}

GxInt32 GxFrameCount(GxFrame* frame)
{
    GxInt32 count = 0;
    for (GxFrame* f = frame; f != nullptr; f = NextInSubtree(f, frame)) {
        count++;
    }
    return count;
}

GxInt32 GxFrameRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxFrameTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxFrameRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxFrameTKList, pluginID, readCB, writeCB, getSizeCB);
}

// Roots listed while the pass runs (by sync callbacks) wait for the next pass,
// and a root is off the list before its callbacks run, so every listed root
// is always on a valid list.
GxBool GxFrameSyncDirty(void)
{
    // The list head is set up by the module's open; before that there is nothing to walk.
    if (FrameBlock() == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return 0;
    }
    GxLink* head = &GxEngineInstance->dirtyFrameList;
    if (GxLinkIsEmpty(head)) {
        return 1;
    }
    GxLink pending;
    pending.next = head->next;
    pending.prev = head->prev;
    pending.next->prev = &pending;
    pending.prev->next = &pending;
    GxLinkInit(head);

    while (!GxLinkIsEmpty(&pending)) {
        GxLink* link = pending.next;
        GxLinkRemove(link);
        GxLinkInit(link);
        GxFrame* root = GxLinkGetData(link, GxFrame, inDirtyListLink);
        SyncRoot(root);
    }
    return 1;
}
