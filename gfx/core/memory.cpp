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

constexpr GxUInt32 kBitmapWordBits = 64;
constexpr GxUInt32 kInverseNewtonSteps = 5;  // 3 correct bits doubled five times covers 64
constexpr GxInt32 kDefaultAlignment = 4;     // what an alignment of 0 asks for

// A block: its two links, where its entries start, how many are in use, then the
// usage bitmap (entry i is bit i % 64 of word i / 64), padding to the alignment, the entries.
// Bits past the block's last entry are set, so a search never hands them out.
struct FreeListBlock {
    GxLink link;
    GxUInt8* data;
    GxUInt32 used;
    GxUInt32 reserved;
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

inline GxUInt32 BitmapWords(const GxFreeList* list)
{
    return (list->entriesPerBlock + kBitmapWordBits - 1) / kBitmapWordBits;
}

inline uint64_t LoadWord(const GxUInt8* bitmap, GxUInt32 word)
{
    uint64_t value;
    memcpy(&value, bitmap + static_cast<size_t>(word) * sizeof(value), sizeof(value));
    return value;
}

inline void StoreWord(GxUInt8* bitmap, GxUInt32 word, uint64_t value)
{
    memcpy(bitmap + static_cast<size_t>(word) * sizeof(value), &value, sizeof(value));
}

size_t BlockSize(const GxFreeList* list)
{
    return sizeof(FreeListBlock) + static_cast<size_t>(BitmapWords(list)) * sizeof(uint64_t) +
           static_cast<size_t>(list->entriesPerBlock) * list->entrySize + list->alignment - 1;
}

size_t EntriesSize(const GxFreeList* list) { return static_cast<size_t>(list->entriesPerBlock) * list->entrySize; }

FreeListBlock* NewBlock(GxFreeList* list, GxUInt32 hint)
{
    auto* block = static_cast<FreeListBlock*>(GxMalloc(BlockSize(list), hint));
    if (!block) {
        return nullptr;
    }
    const GxUInt32 words = BitmapWords(list);
    GxUInt8* bitmap = BlockBitmap(block);
    memset(bitmap, 0, static_cast<size_t>(words) * sizeof(uint64_t));
    const GxUInt32 tail = list->entriesPerBlock % kBitmapWordBits;
    if (tail != 0) {
        StoreWord(bitmap, words - 1, ~uint64_t(0) << tail);
    }
    const uintptr_t end = reinterpret_cast<uintptr_t>(bitmap) + static_cast<size_t>(words) * sizeof(uint64_t);
    const uintptr_t align = list->alignment;
    block->data = reinterpret_cast<GxUInt8*>((end + align - 1) / align * align);
    block->used = 0;
    block->reserved = 0;
    Poison(block->data, EntriesSize(list));
    GxLinkAddAfter(&list->blockList, &block->link);
    return block;
}

// A block goes back to the memory functions whole and unpoisoned: they may hand its bytes out again.
void FreeBlock(const GxFreeList* list, FreeListBlock* block)
{
    Unpoison(block->data, EntriesSize(list));
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
    list->lastFreeBlock = nullptr;
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

// Inverse of an odd number modulo 2^64, by Newton's iteration.
uint64_t OddInverse(uint64_t odd)
{
    uint64_t inverse = odd;
    for (GxUInt32 i = 0; i < kInverseNewtonSteps; i++) {
        inverse *= 2 - odd * inverse;
    }
    return inverse;
}

inline uint64_t RotateRight(uint64_t value, GxUInt32 shift)
{
    return (value >> shift) | (value << ((64 - shift) & 63));
}

// Index of the entry at `address` in `block`, or entriesPerBlock or more when the address is
// not the start of one of its entries. Multiplying by the odd factor's inverse and rotating
// by the power of two maps exactly the multiples j * entrySize to j and everything else
// (below the block, past its end, inside an entry) to a value of at least 2^64 / entrySize.
inline uint64_t EntryIndex(const GxFreeList* list, const FreeListBlock* block, uintptr_t address)
{
    const uint64_t offset = static_cast<uint64_t>(address - reinterpret_cast<uintptr_t>(block->data));
    return RotateRight(offset * list->entryInverse, list->entryShift);
}

// The rarer paths stay out of line so the common ones need no stack frame.
__attribute__((noinline)) GxFreeList* ReleaseBlock(GxFreeList* list, FreeListBlock* block)
{
    GxLinkRemove(&block->link);
    FreeBlock(list, block);
    if (list->lastFreeBlock == block) {
        list->lastFreeBlock = nullptr;
    }
    return list;
}

// The block holding an entry at `address`, or null.
__attribute__((noinline)) FreeListBlock* FindBlock(const GxFreeList* list, uintptr_t address)
{
    for (GxLink* cur = list->blockList.next; cur != &list->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        if (EntryIndex(list, block, address) < list->entriesPerBlock) {
            return block;
        }
    }
    return nullptr;
}

__attribute__((noinline)) void* AllocInNewBlock(GxFreeList* list, GxUInt32 hint)
{
    FreeListBlock* block = NewBlock(list, hint);
    if (!block) {
        return nullptr;
    }
    GxUInt8* bitmap = BlockBitmap(block);
    StoreWord(bitmap, 0, LoadWord(bitmap, 0) | 1);
    block->used = 1;
    list->lastFreeBlock = block;
    Unpoison(block->data, list->entrySize);
    return block->data;
}

}  // namespace

GxBool GxFreeListsSwitchedOff(void) { return GxEngineInstance->memoryAlloc == GxFreeListAllocDirect; }

GxBool GxMemoryOpen(const GxMemoryFunctions* memFuncs)
{
    if (memoryOpen) {
        return 0;
    }
    if (memFuncs && (!memFuncs->gxMalloc || !memFuncs->gxFree || !memFuncs->gxRealloc || !memFuncs->gxCalloc)) {
        return 0;
    }
    GxLinkInit(&allFreeLists);
    memoryOpen = 1;
    memorySession++;
    freeListFreeList = nullptr;
    GxFreeList* list = GxFreeListCreateAndPreallocate(sizeof(GxFreeList), 16, alignof(GxFreeList), 0,
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
    if (!memoryOpen) {
        return;
    }
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
    list->entryShift = static_cast<GxUInt32>(__builtin_ctzll(roundedSize));
    list->entryInverse = OddInverse(roundedSize >> list->entryShift);
    list->flags = flags;
    list->lastFreeBlock = nullptr;
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
    if (!freeList) {
        return 0;
    }
    GxLinkRemove(&freeList->lFreeList);
    FreeAllBlocks(freeList);
    ReleaseRecord(freeList);
    return 1;
}

// The first block with room, newest first, hands out its lowest free entry.
void* GxFreeListAlloc(GxFreeList* freeList, GxUInt32 hint)
{
    const GxUInt32 entries = freeList->entriesPerBlock;
    for (GxLink* cur = freeList->blockList.next; cur != &freeList->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        if (block->used == entries) {
            continue;
        }
        GxUInt8* bitmap = BlockBitmap(block);
        GxUInt32 word = 0;
        uint64_t bits = LoadWord(bitmap, 0);
        // A block with room has a clear bit, and padding bits are set: the search ends inside the bitmap.
        while (bits == ~uint64_t(0)) {
            bits = LoadWord(bitmap, ++word);
        }
        const GxUInt32 bit = static_cast<GxUInt32>(__builtin_ctzll(~bits));
        StoreWord(bitmap, word, bits | (uint64_t(1) << bit));
        block->used++;
        freeList->lastFreeBlock = block;
        GxUInt8* entry = block->data + static_cast<size_t>(word * kBitmapWordBits + bit) * freeList->entrySize;
        Unpoison(entry, freeList->entrySize);
        return entry;
    }
    return AllocInNewBlock(freeList, hint);
}

// Refuses, with null, anything that is not an entry in use of this list: a foreign pointer,
// one past a block's last entry, a pointer inside an entry, an entry already free.
GxFreeList* GxFreeListFree(GxFreeList* freeList, void* entry)
{
    if (!freeList || !entry) {
        return nullptr;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(entry);
    const GxUInt32 entries = freeList->entriesPerBlock;
    // Entries tend to be freed near the last one handled: try its block first.
    auto* block = static_cast<FreeListBlock*>(freeList->lastFreeBlock);
    uint64_t index = block ? EntryIndex(freeList, block, address) : entries;
    if (index >= entries) {
        block = FindBlock(freeList, address);
        if (!block) {
            return nullptr;
        }
        index = EntryIndex(freeList, block, address);
    }
    GxUInt8* bitmap = BlockBitmap(block);
    const GxUInt32 word = static_cast<GxUInt32>(index / kBitmapWordBits);
    const uint64_t mask = uint64_t(1) << (index % kBitmapWordBits);
    const uint64_t bits = LoadWord(bitmap, word);
    if (!(bits & mask)) {
        FreedTwice();
        return nullptr;
    }
    StoreWord(bitmap, word, bits & ~mask);
    Poison(entry, freeList->entrySize);
    freeList->lastFreeBlock = block;
    if (--block->used == 0 && (freeList->flags & gxFREELISTFLAGFREEBLOCKS)) {
        return ReleaseBlock(freeList, block);
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
    if (!freeList) {
        return 0;
    }
    GxLink taken;
    GxLinkInit(&taken);
    if (!GxLinkIsEmpty(&freeList->blockList)) {
        // Move the whole chain onto a local head, then sort each block back or free it.
        taken.next = freeList->blockList.next;
        taken.prev = freeList->blockList.prev;
        taken.next->prev = &taken;
        taken.prev->next = &taken;
        GxLinkInit(&freeList->blockList);
    }
    GxInt32 freed = 0;
    freeList->lastFreeBlock = nullptr;
    while (!GxLinkIsEmpty(&taken)) {
        GxLink* cur = taken.next;
        GxLinkRemove(cur);
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        if (block->used == 0) {
            FreeBlock(freeList, block);
            freed++;
        } else {
            GxLinkAddAfter(&freeList->blockList, cur);
        }
    }
    return static_cast<GxInt32>(freeList->entrySize) * freed;
}

GxInt32 GxFreeListPurgeAllFreeLists(void)
{
    if (!memoryOpen) {
        return 0;
    }
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
    if (!freeList || !callBack) {
        return nullptr;
    }
    const GxUInt32 entries = freeList->entriesPerBlock;
    const size_t bitmapBytes = static_cast<size_t>(BitmapWords(freeList)) * sizeof(uint64_t);
    GxLink* cur = freeList->blockList.next;
    while (cur != &freeList->blockList) {
        // The callback may free entries, and with them this block: work from a copy.
        GxLink* next = cur->next;
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        auto* copy = static_cast<GxUInt8*>(GxMalloc(bitmapBytes, gxMEMHINTDURFUNCTION));
        if (!copy) {
            return nullptr;
        }
        memcpy(copy, BlockBitmap(block), bitmapBytes);
        GxUInt8* first = block->data;
        for (GxUInt32 index = 0; index < entries; index++) {
            if (LoadWord(copy, index / kBitmapWordBits) & (uint64_t(1) << (index % kBitmapWordBits))) {
                callBack(first + static_cast<size_t>(index) * freeList->entrySize, data);
            }
        }
        GxFree(copy);
        cur = next;
    }
    return freeList;
}
