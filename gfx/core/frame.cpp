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

void FreeFrame(GxFrame* frame) { GxFreeListFreeEntry(FrameBlock()->frameFreeList, frame); }

// Takes the child out of its parent's child list; it becomes a dirty root.
void Detach(GxFrame* child)
{
    GxFrame* parent = Parent(child);
    if (parent == nullptr) {
        return;
    }
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

// World matrices of one hierarchy, depth first by links, each frame after its parent: a frame whose own or
// inherited 0x04 is set takes modelling x parent's world. A frame keeps its 0x04 until the walk leaves its subtree,
// so each child sees its parent's as inherited; the root's 0x01 and 0x04 go last.
void SyncHierarchyWorld(GxFrame* root)
{
    if (root->object.privateFlags & gxFRAMESYNCWORLD) {
        GxMatrixCopy(&root->ltm, &root->modelling);
    }
    GxFrame* f = root->child;
    while (f != nullptr) {
        const GxFrame* parent = Parent(f);
        if (parent->object.privateFlags & gxFRAMESYNCWORLD) {
            f->object.privateFlags |= gxFRAMESYNCWORLD;
        }
        if (f->object.privateFlags & gxFRAMESYNCWORLD) {
            GxMatrixMultiply(&f->ltm, &f->modelling, &parent->ltm);
        }
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
}

void SyncHierarchyObjects(GxFrame* root)
{
    for (GxFrame* f = root; f != nullptr; f = NextInSubtree(f, root)) {
        f->object.privateFlags &= static_cast<GxUInt8>(~gxFRAMESYNCOBJ);
        SyncFrameObjects(f);
    }
}

// One dirty root, already off the pending list: its world matrices are finished and its flags cleared before any of
// its sync callbacks runs, so a callback that sets a frame dirty lists it whole for the next pass.
void SyncRoot(GxFrame* root)
{
    if (root->object.privateFlags & gxFRAMEHIERARCHYSYNCWORLD) {
        SyncHierarchyWorld(root);
    }
    root->object.privateFlags &= static_cast<GxUInt8>(~0x0F);
    SyncHierarchyObjects(root);
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
    frameModuleInstances--;
    return instance;
}

}  // namespace

const GxCoreModule gxFrameModule = {0x403, sizeof(GxFrameModuleBlock), FrameModuleOpen, FrameModuleClose};

GxFrame* GxFrameInit(GxFrame* frame)
{
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
    GX_ASSERT(block != nullptr, "frames are made while the engine runs");
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
    GX_ASSERT(block != nullptr, "frames are cloned while the engine runs");
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
    GX_ASSERT(root != nullptr, "a frame is given");
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
        SyncHierarchyWorld(root);
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
    GX_ASSERT(FrameBlock() != nullptr, "the dirty list is set up by the frame module's open");
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
