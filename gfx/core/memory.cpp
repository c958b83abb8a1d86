// Memory module: the engine's memory functions and the free lists of fixed-size entries.
#include "gfx/core/memory.h"

#include <climits>
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
    for (GxLink* cur = freeList->blockList.next; cur != &freeList->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        GxUInt8* bitmap = BlockBitmap(block);
        for (GxUInt32 byte = 0; byte < freeList->heapSize; byte++) {
            if ((byte & 7) == 0 && byte + 8 <= freeList->heapSize && BitmapWord(bitmap + byte) == ~uint64_t(0)) {
                byte += 7;
                continue;
            }
            if (bitmap[byte] == 0xFF) {
                continue;
            }
            GxUInt32 bit = FirstClearBit(bitmap[byte]);
            GxUInt32 index = byte * 8 + bit;
            // Bits past the block's real entries are never handed out.
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

GxFreeList* GxFreeListFree(GxFreeList* freeList, void* entry)
{
    if (!freeList || !entry) {
        return nullptr;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(entry);
    const uintptr_t span = static_cast<uintptr_t>(freeList->entriesPerBlock) * freeList->entrySize;
    for (GxLink* cur = freeList->blockList.next; cur != &freeList->blockList; cur = cur->next) {
        auto* block = reinterpret_cast<FreeListBlock*>(cur);
        const uintptr_t data = reinterpret_cast<uintptr_t>(BlockData(freeList, block));
        // The end of the block's entries is not an entry: a half-open range.
        if (address < data || address >= data + span) {
            continue;
        }
        // Blocks are below 2 GiB, so 32-bit division suffices.
        const GxUInt32 distance = static_cast<GxUInt32>(address - data);
        const GxUInt32 index = distance / freeList->entrySize;
        if (distance - index * freeList->entrySize != 0) {
            return nullptr;
        }
        GxUInt8* bitmap = BlockBitmap(block);
        GxUInt8 mask = static_cast<GxUInt8>(0x80 >> (index & 7));
        if (!(bitmap[index >> 3] & mask)) {
            return nullptr;  // already free
        }
        bitmap[index >> 3] &= static_cast<GxUInt8>(~mask);
        // Only a byte that just became zero can have emptied the block.
        if ((freeList->flags & gxFREELISTFLAGFREEBLOCKS) && bitmap[index >> 3] == 0 && BlockIsEmpty(freeList, block)) {
            GxLinkRemove(&block->link);
            GxFree(block);
        }
        return freeList;
    }
    return nullptr;
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
