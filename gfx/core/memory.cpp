// Memory module: the engine's memory functions and the free lists of fixed-size entries.
#include "gfx/core/memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gfx/core/core_local.h"

namespace {

// A block: its two links, the usage bitmap, padding to the alignment, the entries.
struct FreeListBlock {
    GxLink link;
    // bitmap follows
};

GxLink allFreeLists;               // every free list but the list of free lists
GxFreeList freeListFreeListSpace;  // static record of the list of free lists
GxFreeList* freeListFreeList = nullptr;
GxBool preallocate = 1;
GxBool memoryOpen = 0;

void* DefaultMalloc(size_t size, GxUInt32) { return malloc(size); }
void DefaultFree(void* block) { free(block); }
void* DefaultRealloc(void* block, size_t size, GxUInt32) { return realloc(block, size); }
void* DefaultCalloc(size_t count, size_t size, GxUInt32) { return calloc(count, size); }

const GxMemoryFunctions defaultMemoryFunctions = {DefaultMalloc, DefaultFree, DefaultRealloc, DefaultCalloc};

inline GxUInt8* BlockBitmap(FreeListBlock* block) { return reinterpret_cast<GxUInt8*>(block + 1); }

inline GxUInt8* BlockData(const GxFreeList* list, FreeListBlock* block)
{
    uintptr_t end = reinterpret_cast<uintptr_t>(BlockBitmap(block)) + list->heapSize;
    uintptr_t align = list->alignment;
    if ((align & (align - 1)) == 0) {
        return reinterpret_cast<GxUInt8*>((end + align - 1) & ~(align - 1));
    }
    return reinterpret_cast<GxUInt8*>((end + align - 1) / align * align);
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "bitmap words are read as little-endian lanes");

// Eight bitmap bytes at once: lets a run of full (or empty) bytes pass in one test.
inline uint64_t BitmapWord(const GxUInt8* bitmap)
{
    uint64_t word;
    memcpy(&word, bitmap, sizeof(word));
    return word;
}

size_t BlockSize(const GxFreeList* list)
{
    return sizeof(FreeListBlock) + list->heapSize + static_cast<size_t>(list->entriesPerBlock) * list->entrySize +
           list->alignment - 1;
}

FreeListBlock* NewBlock(GxFreeList* list, GxUInt32 hint)
{
    auto* block = static_cast<FreeListBlock*>(GxMalloc(BlockSize(list), hint));
    if (!block) {
        return nullptr;
    }
    memset(BlockBitmap(block), 0, list->heapSize);
    GxLinkAddAfter(&list->blockList, &block->link);
    return block;
}

void FreeAllBlocks(GxFreeList* list)
{
    GxLink* cur = list->blockList.next;
    while (cur != &list->blockList) {
        GxLink* next = cur->next;
        GxFree(cur);
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

// Bit of entry `index` in the little-endian word holding it: byte index/8, bit 7 - index%8.
inline uint64_t WordMask(GxUInt32 index) { return uint64_t(1) << ((index & 63) ^ 7); }

// Index of the first clear bit of `byte` (bit 7 is index 0), or 8 when none.
inline GxUInt32 FirstClearBit(GxUInt8 byte)
{
    GxUInt32 inverted = static_cast<GxUInt8>(~byte);
    if (!inverted) {
        return 8;
    }
    return static_cast<GxUInt32>(__builtin_clz(inverted)) - 24;
}

GxBool BlockIsEmpty(const GxFreeList* list, FreeListBlock* block)
{
    const GxUInt8* bitmap = BlockBitmap(block);
    GxUInt32 i = 0;
    for (; i + 8 <= list->heapSize; i += 8) {
        if (BitmapWord(bitmap + i)) {
            return 0;
        }
    }
    for (; i < list->heapSize; i++) {
        if (bitmap[i]) {
            return 0;
        }
    }
    return 1;
}

}  // namespace

GxBool GxFreeListsSwitchedOff(void)
{
    return GxEngineInstance->memoryAlloc == GxFreeListAllocDirect;
}

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

void GxFreeListSetPreallocate(GxBool on)
{
    preallocate = on ? 1 : 0;
}

GxFreeList* GxFreeListCreate(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment, GxUInt32 hint)
{
    return GxFreeListCreateAndPreallocate(entrySize, entriesPerBlock, alignment, 1, nullptr, hint);
}

GxFreeList* GxFreeListCreateAndPreallocate(GxInt32 entrySize, GxInt32 entriesPerBlock, GxInt32 alignment,
                                           GxInt32 numBlocksToPrealloc, GxFreeList* inPlaceSpace, GxUInt32 hint)
{
    if (!memoryOpen || entrySize <= 0 || entriesPerBlock <= 0 || alignment < 0 || numBlocksToPrealloc < 0) {
        return nullptr;
    }
    if (alignment == 0) {
        alignment = alignof(void*);
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
    list->entryInverse = (roundedSize & (roundedSize - 1)) == 0 ? 0 : ~uint64_t(0) / roundedSize + 1;
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

void* GxFreeListAlloc(GxFreeList* freeList, GxUInt32 hint)
{
    const GxUInt32 entries = freeList->entriesPerBlock;
    const GxUInt32 bytes = freeList->heapSize;
    for (GxLink* cur = freeList->blockList.next; cur != &freeList->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        GxUInt8* bitmap = BlockBitmap(block);
        GxUInt32 byte = 0;
        // Whole words first: the bitmap is read and written in the same width, so a
        // free followed by an allocate never stalls on a partial store.
        for (; byte + 8 <= bytes; byte += 8) {
            uint64_t word = BitmapWord(bitmap + byte);
            // Byte-swapped, the word lists its entries from the top bit down.
            const uint64_t clear = ~__builtin_bswap64(word);
            if (!clear) {
                continue;
            }
            const GxUInt32 index = byte * 8 + static_cast<GxUInt32>(__builtin_clzll(clear));
            // Bits past the block's real entries are never handed out.
            if (index >= entries) {
                break;
            }
            word |= WordMask(index);
            memcpy(bitmap + byte, &word, sizeof(word));
            return BlockData(freeList, block) + static_cast<size_t>(index) * freeList->entrySize;
        }
        for (; byte < bytes; byte++) {
            if (bitmap[byte] == 0xFF) {
                continue;
            }
            const GxUInt32 bit = FirstClearBit(bitmap[byte]);
            const GxUInt32 index = byte * 8 + bit;
            if (index >= entries) {
                break;
            }
            bitmap[byte] |= static_cast<GxUInt8>(0x80 >> bit);
            return BlockData(freeList, block) + static_cast<size_t>(index) * freeList->entrySize;
        }
    }
    FreeListBlock* block = NewBlock(freeList, hint);
    if (!block) {
        return nullptr;
    }
    BlockBitmap(block)[0] = 0x80;
    return BlockData(freeList, block);
}

// Clears the entry's bit; false when it was not set. `nowZero` tells whether its word or byte became 0.
static GxBool ClearEntryBit(const GxFreeList* list, GxUInt8* bitmap, GxUInt32 index, GxBool* nowZero)
{
    const GxUInt32 byte = index >> 3;
    const GxUInt8 mask = static_cast<GxUInt8>(0x80 >> (index & 7));
    const GxUInt32 wordStart = byte & ~7u;
    if (wordStart + 8 <= list->heapSize) {
        uint64_t word = BitmapWord(bitmap + wordStart);
        const uint64_t wordMask = WordMask(index);
        if (!(word & wordMask)) {
            return 0;
        }
        word &= ~wordMask;
        memcpy(bitmap + wordStart, &word, sizeof(word));
        *nowZero = word == 0;
        return 1;
    }
    if (!(bitmap[byte] & mask)) {
        return 0;
    }
    bitmap[byte] &= static_cast<GxUInt8>(~mask);
    *nowZero = bitmap[byte] == 0;
    return 1;
}

// Index of the entry at `address` in `block`, or -1 when the address is not one of its entries.
static int64_t EntryIndex(const GxFreeList* list, FreeListBlock* block, uintptr_t address)
{
    const uintptr_t data = reinterpret_cast<uintptr_t>(BlockData(list, block));
    const uintptr_t span = static_cast<uintptr_t>(list->entriesPerBlock) * list->entrySize;
    // The end of the block's entries is not an entry: a half-open range.
    if (address < data || address >= data + span) {
        return -1;
    }
    // Blocks are below 2 GiB: a 32-bit distance, whose quotient the 64-bit inverse gives exactly.
    const GxUInt32 distance = static_cast<GxUInt32>(address - data);
    const GxUInt32 size = list->entrySize;
    const GxUInt32 index =
        list->entryInverse ? static_cast<GxUInt32>((static_cast<unsigned __int128>(list->entryInverse) * distance) >> 64)
                           : distance >> __builtin_ctz(size);
    if (distance - index * size != 0) {
        return -2;  // inside an entry, not at its start
    }
    return index;
}

GxFreeList* GxFreeListFree(GxFreeList* freeList, void* entry)
{
    if (!freeList || !entry) {
        return nullptr;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(entry);
    // Entries tend to be freed block by block: try the block of the last free first.
    auto* block = static_cast<FreeListBlock*>(freeList->lastFreeBlock);
    int64_t index = block ? EntryIndex(freeList, block, address) : -1;
    for (GxLink* cur = freeList->blockList.next; index == -1 && cur != &freeList->blockList; cur = cur->next) {
        block = reinterpret_cast<FreeListBlock*>(cur);
        index = EntryIndex(freeList, block, address);
    }
    if (index < 0) {
        return nullptr;
    }
    GxBool nowZero = 0;
    if (!ClearEntryBit(freeList, BlockBitmap(block), static_cast<GxUInt32>(index), &nowZero)) {
        return nullptr;  // already free
    }
    freeList->lastFreeBlock = block;
    // Only a word that just became zero can have emptied the block.
    if ((freeList->flags & gxFREELISTFLAGFREEBLOCKS) && nowZero && BlockIsEmpty(freeList, block)) {
        GxLinkRemove(&block->link);
        GxFree(block);
        freeList->lastFreeBlock = nullptr;
    }
    return freeList;
}

void* GxFreeListAllocDirect(GxFreeList* freeList, GxUInt32 hint)
{
    return GxMalloc(freeList->entrySize, hint);
}

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
        if (BlockIsEmpty(freeList, block)) {
            GxFree(block);
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
        GxUInt8* entries = BlockData(freeList, block);
        for (GxUInt32 index = 0; index < freeList->entriesPerBlock; index++) {
            if (copy[index >> 3] & (0x80 >> (index & 7))) {
                callBack(entries + static_cast<size_t>(index) * freeList->entrySize, data);
            }
        }
        GxFree(copy);
        cur = next;
    }
    return freeList;
}
