// Memory module: the engine's memory functions and the free lists of fixed-size entries.
#include "gfx/core/memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"

#ifdef GX_FREELIST_POISON
#include <sanitizer/asan_interface.h>
#endif

namespace {

// Under AddressSanitizer a free entry is poisoned, so a use after its return is reported where it happens, and an
// entry returned twice stops the program; elsewhere both cost nothing.
#ifdef GX_FREELIST_POISON
void Poison(const void* entry, size_t size) { ASAN_POISON_MEMORY_REGION(entry, size); }
void Unpoison(const void* entry, size_t size) { ASAN_UNPOISON_MEMORY_REGION(entry, size); }
void FreedTwice() { GxAssertFailed(__FILE__, __LINE__, "entry in use", "a free-list entry is returned twice"); }
#else
void Poison(const void*, size_t) {}
void Unpoison(const void*, size_t) {}
void FreedTwice() {}
#endif

constexpr GxUInt32 kDefaultAlignment = 4;  // what an alignment of 0 asks for
constexpr GxUInt8 kFullByte = 0xFF;
constexpr GxUInt32 kFreeListsPerBlock = 16;

// A block: its two links, then the usage bitmap (entry 0 is bit 7 of byte 0, most significant bit
// first), padding up to the alignment, then the entries.
struct FreeListBlock {
    GxLink link;
    // bitmap follows
};

GxLink allFreeLists;               // every free list but the list of free lists
GxFreeList freeListFreeListSpace;  // static record of the list of free lists
GxFreeList* freeListFreeList = nullptr;
GxBool preallocate = 1;
GxBool memoryOpen = 0;
// Counts the opens, so that a free list of an earlier open is told from one of this open.
GxUInt32 memorySession = 0;

void* DefaultMalloc(size_t size, GxUInt32) { return malloc(size); }
void DefaultFree(void* block) { free(block); }
void* DefaultRealloc(void* block, size_t size, GxUInt32) { return realloc(block, size); }
void* DefaultCalloc(size_t count, size_t size, GxUInt32) { return calloc(count, size); }

const GxMemoryFunctions defaultMemoryFunctions = {DefaultMalloc, DefaultFree, DefaultRealloc, DefaultCalloc};

inline GxUInt8* BlockBitmap(FreeListBlock* block) { return reinterpret_cast<GxUInt8*>(block + 1); }

inline uintptr_t BitmapEnd(const GxFreeList* list, FreeListBlock* block)
{
    return reinterpret_cast<uintptr_t>(BlockBitmap(block)) + list->heapSize;
}

// The first address at or after the bitmap's end that is a multiple of the alignment.
inline GxUInt8* BlockData(const GxFreeList* list, FreeListBlock* block)
{
    const uintptr_t align = list->alignment;
    return reinterpret_cast<GxUInt8*>((BitmapEnd(list, block) + align - 1) / align * align);
}

inline GxUInt8 EntryMask(GxUInt32 index) { return static_cast<GxUInt8>(0x80u >> (index % 8)); }

size_t EntriesSize(const GxFreeList* list) { return static_cast<size_t>(list->entriesPerBlock) * list->entrySize; }

size_t BlockSize(const GxFreeList* list)
{
    return sizeof(FreeListBlock) + list->heapSize + EntriesSize(list) + list->alignment - 1;
}

bool BlockIsEmpty(const GxFreeList* list, FreeListBlock* block)
{
    const GxUInt8* bitmap = BlockBitmap(block);
    for (GxUInt32 i = 0; i < list->heapSize; i++) {
        if (bitmap[i] != 0) {
            return false;
        }
    }
    return true;
}

FreeListBlock* NewBlock(GxFreeList* list, GxUInt32 hint)
{
    auto* block = static_cast<FreeListBlock*>(GxMalloc(BlockSize(list), hint));
    if (!block) {
        return nullptr;
    }
    memset(BlockBitmap(block), 0, list->heapSize);
    Poison(BlockData(list, block), EntriesSize(list));
    GxLinkAddAfter(&list->blockList, &block->link);
    return block;
}

// A block goes back to the memory functions whole and unpoisoned: they may hand its bytes out again.
void FreeBlock(const GxFreeList* list, FreeListBlock* block)
{
    Unpoison(BlockData(list, block), EntriesSize(list));
    GxFree(block);
}

void FreeAllBlocks(GxFreeList* list)
{
    GxLink* cur = list->blockList.next;
    while (cur != &list->blockList) {
        GxLink* next = cur->next;
        FreeBlock(list, reinterpret_cast<FreeListBlock*>(cur));
        cur = next;
    }
    GxLinkInit(&list->blockList);
}

// Gives a record back to where it came from.
void ReleaseRecord(GxFreeList* list)
{
    if (list->flags & gxFREELISTFLAGSTATIC) {
        return;
    }
    if (!freeListFreeList || list == freeListFreeList) {
        GxFree(list);
        return;
    }
    GxFreeListFreeEntry(freeListFreeList, list);
}

// The first clear bit among the block's real entries, most significant first; entriesPerBlock when it is full.
GxUInt32 FirstFreeEntry(const GxFreeList* list, FreeListBlock* block)
{
    const GxUInt8* bitmap = BlockBitmap(block);
    for (GxUInt32 byte = 0; byte < list->heapSize; byte++) {
        if (bitmap[byte] == kFullByte) {
            continue;
        }
        for (GxUInt32 index = byte * 8; index < byte * 8 + 8 && index < list->entriesPerBlock; index++) {
            if (!(bitmap[byte] & EntryMask(index))) {
                return index;
            }
        }
    }
    return list->entriesPerBlock;
}

// The block whose range, from the end of its bitmap to its last entry's end, holds `address`, or null.
FreeListBlock* FindBlock(const GxFreeList* list, uintptr_t address)
{
    for (GxLink* cur = list->blockList.next; cur != &list->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        const uintptr_t start = BitmapEnd(list, block);
        if (address >= start && address <= start + EntriesSize(list)) {
            return block;
        }
    }
    return nullptr;
}

}  // namespace

GxBool GxFreeListsSwitchedOff(void) { return GxEngineInstance->memoryAlloc == GxFreeListAllocDirect; }

GxBool GxMemoryOpen(const GxMemoryFunctions* memFuncs)
{
    GX_ASSERT(!memoryOpen, "the memory module is opened once per init");
    GX_ASSERT(!memFuncs || (memFuncs->gxMalloc && memFuncs->gxFree && memFuncs->gxRealloc && memFuncs->gxCalloc),
              "memory functions come as a whole set");
    GxLinkInit(&allFreeLists);
    memoryOpen = 1;
    memorySession++;
    freeListFreeList = nullptr;
    GxFreeList* list = GxFreeListCreateAndPreallocate(sizeof(GxFreeList), kFreeListsPerBlock, alignof(GxFreeList), 0,
                                                      &freeListFreeListSpace, gxMEMHINTDURGLOBAL);
    if (!list) {
        memoryOpen = 0;
        return 0;
    }
    GxLinkRemove(&list->lFreeList);
    GxLinkInit(&list->lFreeList);
    freeListFreeList = list;
    GxEngineInstance->memoryFuncs = memFuncs ? *memFuncs : defaultMemoryFunctions;
    return 1;
}

void GxMemoryClose(void)
{
    GX_ASSERT(memoryOpen, "the memory module closes once after its open");
    while (!GxLinkIsEmpty(&allFreeLists)) {
        GxFreeList* list = GxLinkGetData(allFreeLists.next, GxFreeList, lFreeList);
        GxFreeListDestroy(list);
    }
    if (freeListFreeList) {
        FreeAllBlocks(freeListFreeList);
        freeListFreeList = nullptr;
    }
    memoryOpen = 0;
}

GxUInt32 GxMemoryGetSession(void) { return memoryOpen ? memorySession : 0; }

void GxFreeListSetPreallocate(GxBool on) { preallocate = on ? 1 : 0; }

GxFreeList* GxFreeListCreate(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment, GxUInt32 hint)
{
    return GxFreeListCreateAndPreallocate(entrySize, entriesPerBlock, alignment, 1, nullptr, hint);
}

GxFreeList* GxFreeListCreateAndPreallocateAlias(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment,
                                                GxInt32 numBlocksToPrealloc, GxFreeList* inPlaceSpace, GxUInt32 hint)
{
    return GxFreeListCreateAndPreallocate(entrySize, entriesPerBlock, alignment, numBlocksToPrealloc, inPlaceSpace,
                                          hint);
}

GxFreeList* GxFreeListCreateAndPreallocate(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment,
                                           GxInt32 numBlocksToPrealloc, GxFreeList* inPlaceSpace, GxUInt32 hint)
{
    if (!memoryOpen || entrySize <= 0 || entriesPerBlock <= 0 || alignment < 0 || numBlocksToPrealloc < 0) {
        return nullptr;
    }
    if (alignment == 0) {
        alignment = kDefaultAlignment;
    }
    // Keep a block's size well inside what a size_t and the u32 fields can hold.
    uint64_t roundedSize = (static_cast<uint64_t>(entrySize) + alignment - 1) / alignment * alignment;
    if (roundedSize * static_cast<uint64_t>(entriesPerBlock) > 0x7FFFFFFFu) {
        return nullptr;
    }
    if (!preallocate) {
        numBlocksToPrealloc = 0;
    }

    GxFreeList* list = inPlaceSpace;
    GxUInt32 flags = gxFREELISTFLAGFREEBLOCKS | gxFREELISTFLAGSTATIC;
    if (!list) {
        flags = gxFREELISTFLAGFREEBLOCKS;
        if (freeListFreeList) {
            list = static_cast<GxFreeList*>(GxFreeListAllocEntry(freeListFreeList, hint & gxMEMHINTDURMASK));
        } else {
            list = static_cast<GxFreeList*>(GxMalloc(sizeof(GxFreeList), hint & gxMEMHINTDURMASK));
        }
        if (!list) {
            return nullptr;
        }
    }
    list->entrySize = static_cast<GxUInt32>(roundedSize);
    list->entriesPerBlock = static_cast<GxUInt32>(entriesPerBlock);
    list->heapSize = (static_cast<GxUInt32>(entriesPerBlock) + 7) / 8;
    list->alignment = static_cast<GxUInt32>(alignment);
    list->flags = flags;
    GxLinkInit(&list->blockList);

    for (GxInt32 i = 0; i < numBlocksToPrealloc; i++) {
        if (!NewBlock(list, hint)) {
            FreeAllBlocks(list);
            ReleaseRecord(list);
            return nullptr;
        }
    }
    GxLinkAddAfter(&allFreeLists, &list->lFreeList);
    return list;
}

GxBool GxFreeListDestroy(GxFreeList* freeList)
{
    GX_ASSERT(freeList, "destroy takes a free list");
    GxLinkRemove(&freeList->lFreeList);
    FreeAllBlocks(freeList);
    ReleaseRecord(freeList);
    return 1;
}

// The first block with room, newest first, hands out its lowest free entry.
void* GxFreeListAlloc(GxFreeList* freeList, GxUInt32 hint)
{
    for (GxLink* cur = freeList->blockList.next; cur != &freeList->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        const GxUInt32 index = FirstFreeEntry(freeList, block);
        if (index < freeList->entriesPerBlock) {
            BlockBitmap(block)[index / 8] |= EntryMask(index);
            GxUInt8* entry = BlockData(freeList, block) + static_cast<size_t>(index) * freeList->entrySize;
            Unpoison(entry, freeList->entrySize);
            return entry;
        }
    }
    FreeListBlock* block = NewBlock(freeList, hint);
    if (!block) {
        return nullptr;
    }
    BlockBitmap(block)[0] = EntryMask(0);
    GxUInt8* entry = BlockData(freeList, block);
    Unpoison(entry, freeList->entrySize);
    return entry;
}

// Refuses, with null, anything that is not an entry in use of this list: a foreign pointer,
// one past a block's last entry, a pointer inside an entry, an entry already free.
GxFreeList* GxFreeListFree(GxFreeList* freeList, void* entry)
{
    GX_ASSERT(freeList && entry, "free takes a free list and one of its entries");
    const uintptr_t address = reinterpret_cast<uintptr_t>(entry);
    FreeListBlock* block = FindBlock(freeList, address);
    if (!block) {
        return nullptr;
    }
    const uintptr_t offset = address - reinterpret_cast<uintptr_t>(BlockData(freeList, block));
    const uintptr_t index = offset / freeList->entrySize;
    if (address < reinterpret_cast<uintptr_t>(BlockData(freeList, block)) || offset % freeList->entrySize != 0 ||
        index >= freeList->entriesPerBlock) {
        return nullptr;
    }
    GxUInt8* bits = &BlockBitmap(block)[index / 8];
    const GxUInt8 mask = EntryMask(static_cast<GxUInt32>(index));
    if (!(*bits & mask)) {
        FreedTwice();
        return nullptr;
    }
    *bits = static_cast<GxUInt8>(*bits & ~mask);
    Poison(entry, freeList->entrySize);
    if ((freeList->flags & gxFREELISTFLAGFREEBLOCKS) && BlockIsEmpty(freeList, block)) {
        GxLinkRemove(&block->link);
        FreeBlock(freeList, block);
    }
    return freeList;
}

void* GxFreeListAllocDirect(GxFreeList* freeList, GxUInt32 hint) { return GxMalloc(freeList->entrySize, hint); }

GxFreeList* GxFreeListFreeDirect(GxFreeList* freeList, void* entry)
{
    GxFree(entry);
    return freeList;
}

GxInt32 GxFreeListPurge(GxFreeList* freeList)
{
    GX_ASSERT(freeList, "purge takes a free list");
    // Each block in turn leaves the list: a used one goes back at the head, an empty one is freed.
    GxInt32 freed = 0;
    GxLink* cur = freeList->blockList.next;
    while (cur != &freeList->blockList) {
        GxLink* next = cur->next;
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        GxLinkRemove(cur);
        if (BlockIsEmpty(freeList, block)) {
            FreeBlock(freeList, block);
            freed++;
        } else {
            GxLinkAddAfter(&freeList->blockList, cur);
        }
        cur = next;
    }
    return static_cast<GxInt32>(freeList->entrySize) * freed;
}

GxInt32 GxFreeListPurgeAllFreeLists(void)
{
    GX_ASSERT(memoryOpen, "purging needs the memory module open");
    GxInt32 total = 0;
    for (GxLink* cur = allFreeLists.next; cur != &allFreeLists; cur = cur->next) {
        GxInt32 freed = GxFreeListPurge(GxLinkGetData(cur, GxFreeList, lFreeList));
        if (freed > 0) {
            total += freed;
        }
    }
    return total;
}

GxFreeList* GxFreeListForAllUsed(GxFreeList* freeList, GxFreeListCallBack callBack, void* data)
{
    GX_ASSERT(freeList && callBack, "a walk takes a free list and a callback");
    GxLink* cur = freeList->blockList.next;
    while (cur != &freeList->blockList) {
        // The callback may free entries, and with them this block: work from a copy.
        GxLink* next = cur->next;
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        auto* copy = static_cast<GxUInt8*>(GxMalloc(freeList->heapSize, gxMEMHINTDURFUNCTION));
        if (!copy) {
            return nullptr;
        }
        memcpy(copy, BlockBitmap(block), freeList->heapSize);
        GxUInt8* first = BlockData(freeList, block);
        for (GxUInt32 index = 0; index < freeList->entriesPerBlock; index++) {
            if (copy[index / 8] & EntryMask(index)) {
                callBack(first + static_cast<size_t>(index) * freeList->entrySize, data);
            }
        }
        GxFree(copy);
        cur = next;
    }
    return freeList;
}
