// Resources arena (core module 0x40B) and the first-fit resource heap it allocates from.
#include <cstdint>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/resources_local.h"

// Header in front of every heap block's data.
struct GxResHeapBlockHeader {
    GxResHeap* heap;
    GxResHeapBlockHeader* next;
    GxResHeapBlockHeader* prev;
    GxUInt32 size;   // bytes of data, a multiple of 32
    GxUInt32 flags;  // bit 0: used
};

GxResourcesArenaModule gxResourcesArena;

namespace {

constexpr GxUInt32 gxRESHEAPGRAIN = 32;
constexpr GxUInt32 gxRESHEAPUSED = 0x1;
constexpr GxUInt32 gxRESHEAPSPLITSURPLUS = 64;  // surplus up to this stays in the block
static_assert(sizeof(GxResHeapBlockHeader) == gxRESHEAPGRAIN, "heap headers are one grain");

using ResourcesBlock = GxResourcesArenaBlock;

GxInt32& resourcesModuleOffset = gxResourcesArena.moduleOffset;
GxInt32& resourcesModuleInstances = gxResourcesArena.moduleInstances;

ResourcesBlock* Arena() { return GxResourcesArenaGet(); }

inline GxResHeapBlockHeader* HeaderOf(void* data)
{
    return reinterpret_cast<GxResHeapBlockHeader*>(static_cast<GxUInt8*>(data) - gxRESHEAPGRAIN);
}

inline GxResourceEntry* EntryOf(GxLink* link) { return reinterpret_cast<GxResourceEntry*>(link); }

// Runs the entry's destroy callback, clears its owner's pointer and gives its space back.
void Evict(ResourcesBlock* arena, GxResourceEntry* entry)
{
    if (entry->destroyNotify) {
        entry->destroyNotify(entry);
    }
    if (entry->ownerRef) {
        *entry->ownerRef = nullptr;
    }
    GxLinkRemove(&entry->link);
    arena->usedBytes -= entry->size;
    GxResHeapFree(entry);
}

void EvictList(ResourcesBlock* arena, GxLink* list)
{
    while (!GxLinkIsEmpty(list)) {
        Evict(arena, EntryOf(list->prev));
    }
}

// Evicts the oldest entry; false when the arena holds none.
GxBool EvictOldest(ResourcesBlock* arena)
{
    if (!GxLinkIsEmpty(arena->prevFramesList)) {
        Evict(arena, EntryOf(arena->prevFramesList->prev));
        return 1;
    }
    if (!GxLinkIsEmpty(arena->curFrameList)) {
        GxResourceEntry* entry = EntryOf(arena->curFrameList->prev);
        arena->evictedBytes += entry->size;
        Evict(arena, entry);
        return 1;
    }
    return 0;
}

// Without a heap an entry lives outside the arena; GxResourceEntryFree frees it.
GxResourceEntry* AllocOutsideArena(GxUInt32 size)
{
    auto* entry = static_cast<GxResourceEntry*>(GxMalloc(sizeof(GxResourceEntry) + size, gxMEMHINTDUROBJECT | 0x40B));
    if (!entry) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    entry->link.next = nullptr;
    entry->link.prev = nullptr;
    return entry;
}

}  // namespace

void* GxResourcesOpen(void* instance, GxInt32 offset, GxInt32)
{
    resourcesModuleOffset = offset;
    ResourcesBlock* arena = Arena();
    arena->arenaSize = GxEngineInstance->resArenaInitSize;
    arena->heapBuffer = nullptr;
    if (arena->arenaSize) {
        arena->heapBuffer = GxMalloc(arena->arenaSize, gxMEMHINTDURGLOBAL | 0x40B);
        if (!arena->heapBuffer) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return nullptr;
        }
        if (!GxResHeapInit(arena->heapBuffer, arena->arenaSize)) {
            GxFree(arena->heapBuffer);
            arena->heapBuffer = nullptr;
            GxErrorRaise(gxPLUGINCORE, gxERRARENAFULL);
            return nullptr;
        }
    }
    GxLinkInit(&arena->listA);
    GxLinkInit(&arena->listB);
    arena->curFrameList = &arena->listA;
    arena->prevFramesList = &arena->listB;
    arena->usedBytes = 0;
    arena->evictedBytes = 0;
    resourcesModuleInstances++;
    return instance;
}

void* GxResourcesClose(void* instance, GxInt32, GxInt32)
{
    GxResourcesEmptyArena();
    ResourcesBlock* arena = Arena();
    if (arena->heapBuffer) {
        GxFree(arena->heapBuffer);
        arena->heapBuffer = nullptr;
    }
    resourcesModuleInstances--;
    return instance;
}

const GxCoreModule gxResourcesModule = {0x40B, static_cast<GxInt32>(sizeof(ResourcesBlock)), GxResourcesOpen,
                                        GxResourcesClose};

GxResourceEntry* GxResourceEntryAlloc(void* owner, GxResourceEntry** ownerRef, GxInt32 size,
                                      GxResourceDestroyCallBack destroyNotify)
{
    if (resourcesModuleInstances <= 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    if (size < 0 || static_cast<GxUInt32>(size) > 0xFFFFFFFFu - sizeof(GxResourceEntry) - gxRESHEAPGRAIN) {
        GxErrorRaise(gxPLUGINCORE, gxERRARENAFULL);
        return nullptr;
    }
    ResourcesBlock* arena = Arena();
    GxResourceEntry* entry = nullptr;
    if (!arena->heapBuffer) {
        entry = AllocOutsideArena(static_cast<GxUInt32>(size));
        if (!entry) {
            if (ownerRef) {
                *ownerRef = nullptr;
            }
            return nullptr;
        }
    } else {
        auto* heap = static_cast<GxResHeap*>(arena->heapBuffer);
        for (;;) {
            entry = static_cast<GxResourceEntry*>(GxResHeapAlloc(heap, sizeof(GxResourceEntry) + size));
            if (entry) {
                break;
            }
            if (!EvictOldest(arena)) {
                if (ownerRef) {
                    *ownerRef = nullptr;
                }
                GxErrorRaise(gxPLUGINCORE, gxERRARENAFULL);
                return nullptr;
            }
        }
        GxLinkAddAfter(arena->curFrameList, &entry->link);
        arena->usedBytes += static_cast<GxUInt32>(size);
    }
    entry->size = static_cast<GxUInt32>(size);
    entry->owner = owner;
    entry->ownerRef = ownerRef;
    entry->destroyNotify = destroyNotify;
    if (ownerRef) {
        *ownerRef = entry;
    }
    return entry;
}

GxBool GxResourceEntryFree(GxResourceEntry* entry)
{
    GX_ASSERT(entry != nullptr, "an entry to free");
    if (entry->destroyNotify) {
        entry->destroyNotify(entry);
    }
    if (entry->ownerRef) {
        *entry->ownerRef = nullptr;
    }
    if (!entry->link.next) {
        GxFree(entry);
        return 1;
    }
    ResourcesBlock* arena = Arena();
    GxLinkRemove(&entry->link);
    arena->usedBytes -= entry->size;
    GxResHeapFree(entry);
    return 1;
}

GxResourceEntry* GxResourcesUseResEntry(GxResourceEntry* entry)
{
    GX_ASSERT(entry != nullptr, "an entry to use");
    if (!entry->link.next || resourcesModuleInstances <= 0) {
        return entry;
    }
    GxLinkRemove(&entry->link);
    GxLinkAddAfter(Arena()->curFrameList, &entry->link);
    return entry;
}

void GxResourcesNewFrame(void)
{
    if (resourcesModuleInstances <= 0) {
        return;
    }
    ResourcesBlock* arena = Arena();
    GxLink* cur = arena->curFrameList;
    GxLink* prev = arena->prevFramesList;
    // Older entries go behind this frame's, so the combined list runs newest to oldest.
    if (!GxLinkIsEmpty(prev)) {
        GxLink* first = prev->next;
        GxLink* last = prev->prev;
        first->prev = cur->prev;
        cur->prev->next = first;
        last->next = cur;
        cur->prev = last;
        GxLinkInit(prev);
    }
    arena->curFrameList = prev;
    arena->prevFramesList = cur;
    arena->evictedBytes = 0;
}

GxBool GxResourcesEmptyArena(void)
{
    if (resourcesModuleInstances <= 0) {
        return 0;
    }
    ResourcesBlock* arena = Arena();
    EvictList(arena, arena->prevFramesList);
    EvictList(arena, arena->curFrameList);
    arena->evictedBytes = 0;
    return 1;
}

GxBool GxResHeapInit(void* buffer, GxUInt32 size)
{
    GX_ASSERT(buffer != nullptr, "a buffer for the heap");
    const uintptr_t start = reinterpret_cast<uintptr_t>(buffer);
    // The first header is the first grain boundary past the heap record.
    const uintptr_t first =
        (start + sizeof(GxResHeap) + gxRESHEAPGRAIN - 1) & ~static_cast<uintptr_t>(gxRESHEAPGRAIN - 1);
    const uintptr_t end = (start + size) & ~static_cast<uintptr_t>(gxRESHEAPGRAIN - 1);
    if (end < first + 2 * gxRESHEAPGRAIN) {
        return 0;
    }
    auto* heap = static_cast<GxResHeap*>(buffer);
    auto* header = reinterpret_cast<GxResHeapBlockHeader*>(first);
    header->heap = heap;
    header->next = nullptr;
    header->prev = nullptr;
    header->size = static_cast<GxUInt32>(end - first - gxRESHEAPGRAIN);
    header->flags = 0;
    heap->firstBlock = header;
    heap->firstFree = header;
    return 1;
}

void GxResHeapSplitBlock(GxResHeapBlockHeader* block, GxUInt32 size)
{
    auto* split = reinterpret_cast<GxResHeapBlockHeader*>(reinterpret_cast<GxUInt8*>(block) + gxRESHEAPGRAIN + size);
    GxResHeapBlockHeader* following = block->next;
    split->heap = block->heap;
    split->prev = block;
    split->flags = 0;
    if (following && !(following->flags & gxRESHEAPUSED)) {
        split->size = following->size + block->size - size;
        split->next = following->next;
        if (block->heap->firstFree == following) {
            block->heap->firstFree = split;
        }
    } else {
        split->size = block->size - size - gxRESHEAPGRAIN;
        split->next = following;
    }
    if (split->next) {
        split->next->prev = split;
    }
    block->next = split;
    block->size = size;
}

void* GxResHeapAlloc(GxResHeap* heap, GxUInt32 size)
{
    GX_ASSERT(heap != nullptr && size <= 0xFFFFFFFFu - (gxRESHEAPGRAIN - 1), "a heap and a size it can round");
    const GxUInt32 needed = (size + gxRESHEAPGRAIN - 1) & ~(gxRESHEAPGRAIN - 1);
    GxResHeapBlockHeader* block = heap->firstFree;
    while (block && ((block->flags & gxRESHEAPUSED) || block->size < needed)) {
        block = block->next;
    }
    if (!block) {
        return nullptr;
    }
    if (block->size > needed + gxRESHEAPSPLITSURPLUS) {
        GxResHeapSplitBlock(block, needed);
    }
    block->flags |= gxRESHEAPUSED;
    if (block == heap->firstFree) {
        GxResHeapBlockHeader* next = block->next;
        while (next && (next->flags & gxRESHEAPUSED)) {
            next = next->next;
        }
        heap->firstFree = next;
    }
    return reinterpret_cast<GxUInt8*>(block) + gxRESHEAPGRAIN;
}

namespace {

// Folds the block after block (and its header) into block.
void MergeWithNext(GxResHeap* heap, GxResHeapBlockHeader* block)
{
    GxResHeapBlockHeader* next = block->next;
    block->size += next->size + gxRESHEAPGRAIN;
    block->next = next->next;
    if (next->next) {
        next->next->prev = block;
    }
    if (heap->firstFree == next) {
        heap->firstFree = block;
    }
}

}  // namespace

void GxResHeapFree(void* data)
{
    GX_ASSERT(data != nullptr, "a block to free");
    GxResHeapBlockHeader* header = HeaderOf(data);
    GX_ASSERT(header->flags & gxRESHEAPUSED, "a block is freed once");
    GxResHeap* heap = header->heap;
    header->flags &= ~gxRESHEAPUSED;
    if (!heap->firstFree || header < heap->firstFree) {
        heap->firstFree = header;
    }
    GxResHeapBlockHeader* prev = header->prev;
    if (prev && !(prev->flags & gxRESHEAPUSED)) {
        MergeWithNext(heap, prev);
        header = prev;
    }
    if (header->next && !(header->next->flags & gxRESHEAPUSED)) {
        MergeWithNext(heap, header);
    }
}
