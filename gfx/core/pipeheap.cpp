// The pipeline heap: superblocks of chained blocks with a free-block array, reset as a whole between runs.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"

namespace {

constexpr GxUInt32 kHeapRecordHint = 0x40409;
constexpr GxUInt32 kSuperBlockHint = 0x1040409;
constexpr GxUInt32 kFreeArrayHint = 0x1030409;
constexpr GxUInt32 kHeader = sizeof(GxPipelineHeapBlockHeader);
constexpr GxUInt32 kAreaAlign = 128;
constexpr GxUInt32 kFreeArrayGrowth = 32;

static_assert(sizeof(GxPipelineHeapBlockHeader) == 32, "a block header fills the 32 bytes before its payload");

// Room before the 128-aligned area for the superblock's own record: the record is pointer-sized on
// 64-bit, so the allocation carries the whole record plus the alignment slack.
constexpr size_t kSuperBlockSlack = sizeof(GxPipelineHeapSuperBlock) + kAreaAlign - 1;

GxUInt32 RoundUp(GxUInt32 value, GxUInt32 multiple) { return (value + multiple - 1) / multiple * multiple; }

GxPipelineHeapSuperBlock* SuperBlockCreate(GxUInt32 areaSize)
{
    auto* memory = static_cast<char*>(GxMalloc(areaSize + kSuperBlockSlack, kSuperBlockHint));
    if (!memory) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    auto* superBlock = reinterpret_cast<GxPipelineHeapSuperBlock*>(memory);
    const uintptr_t start = (reinterpret_cast<uintptr_t>(memory) + kSuperBlockSlack) & ~uintptr_t(kAreaAlign - 1);
    superBlock->area = reinterpret_cast<char*>(start);
    superBlock->areaSize = areaSize;
    superBlock->next = nullptr;
    return superBlock;
}

GxPipelineHeapBlockHeader* StartSentinel(GxPipelineHeapSuperBlock* superBlock)
{
    return reinterpret_cast<GxPipelineHeapBlockHeader*>(superBlock->area);
}

GxPipelineHeapBlockHeader* EndSentinel(GxPipelineHeapSuperBlock* superBlock)
{
    return reinterpret_cast<GxPipelineHeapBlockHeader*>(superBlock->area + superBlock->areaSize - kHeader);
}

}  // namespace

GxPipelineHeapFreeEntry* GxPipelineHeapNewFreeEntry(GxPipelineHeap* heap)
{
    if (heap->entriesUsed == heap->entriesAlloced) {
        const GxUInt32 capacity = heap->entriesAlloced + kFreeArrayGrowth;
        const size_t bytes = capacity * sizeof(GxPipelineHeapFreeEntry);
        void* grown =
            heap->freeBlocks ? GxRealloc(heap->freeBlocks, bytes, kFreeArrayHint) : GxMalloc(bytes, kFreeArrayHint);
        if (!grown) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return nullptr;
        }
        heap->freeBlocks = static_cast<GxPipelineHeapFreeEntry*>(grown);
        heap->entriesAlloced = capacity;
        for (GxUInt32 i = 0; i < heap->entriesUsed; i++) {
            heap->freeBlocks[i].block->freeEntry = &heap->freeBlocks[i];
        }
    }
    return &heap->freeBlocks[heap->entriesUsed++];
}

namespace {

// The last entry moves into the removed one's place.
void RemoveFreeEntry(GxPipelineHeap* heap, GxPipelineHeapFreeEntry* entry)
{
    GxPipelineHeapFreeEntry* last = &heap->freeBlocks[heap->entriesUsed - 1];
    if (entry != last) {
        *entry = *last;
        entry->block->freeEntry = entry;
    }
    heap->entriesUsed--;
}

}  // namespace

GxBool GxPipelineHeapAddSuperBlock(GxPipelineHeapSuperBlock* superBlock, GxPipelineHeapSuperBlock* previous,
                                   GxPipelineHeap* heap)
{
    GxPipelineHeapFreeEntry* entry = GxPipelineHeapNewFreeEntry(heap);
    if (!entry) {
        return 0;
    }
    GxPipelineHeapBlockHeader* start = StartSentinel(superBlock);
    GxPipelineHeapBlockHeader* end = EndSentinel(superBlock);
    GxPipelineHeapBlockHeader* block = start + 1;
    *start = GxPipelineHeapBlockHeader{nullptr, block, 0, nullptr};
    *end = GxPipelineHeapBlockHeader{block, nullptr, 0, nullptr};
    *block = GxPipelineHeapBlockHeader{start, end, superBlock->areaSize - 3 * kHeader, entry};
    *entry = GxPipelineHeapFreeEntry{block->size, block};
    if (previous) {
        GxPipelineHeapBlockHeader* previousEnd = EndSentinel(previous);
        previousEnd->next = start;
        start->prev = previousEnd;
    }
    return 1;
}

namespace {

// The superblock laid out last: its end sentinel ends the chain of blocks.
GxPipelineHeapSuperBlock* ChainEnd(GxPipelineHeap* heap)
{
    GxPipelineHeapBlockHeader* block = heap->headBlock;
    while (block && block->next) {
        block = block->next;
    }
    for (GxPipelineHeapSuperBlock* superBlock = heap->head; superBlock; superBlock = superBlock->next) {
        if (EndSentinel(superBlock) == block) {
            return superBlock;
        }
    }
    return nullptr;
}

// A superblock big enough for a request that no free block can take.
GxPipelineHeapFreeEntry* GrowHeap(GxPipelineHeap* heap, GxUInt32 need)
{
    GxUInt32 areaSize = heap->superBlockSize;
    if (need + 3 * kHeader > areaSize) {
        areaSize = RoundUp(need + 3 * kHeader, kAreaAlign);
    }
    GxPipelineHeapSuperBlock* superBlock = SuperBlockCreate(areaSize);
    if (!superBlock) {
        return nullptr;
    }
    if (!GxPipelineHeapAddSuperBlock(superBlock, ChainEnd(heap), heap)) {
        GxFree(superBlock);
        return nullptr;
    }
    GxPipelineHeapSuperBlock** tail = &heap->head;
    while (*tail) {
        tail = &(*tail)->next;
    }
    *tail = superBlock;
    return &heap->freeBlocks[heap->entriesUsed - 1];
}

GxPipelineHeapFreeEntry* FindFit(GxPipelineHeap* heap, GxUInt32 need)
{
    GxPipelineHeapFreeEntry* best = nullptr;
    for (GxUInt32 i = 0; i < heap->entriesUsed; i++) {
        GxPipelineHeapFreeEntry* entry = &heap->freeBlocks[i];
        if (entry->size >= need && (!best || entry->size < best->size)) {
            best = entry;
        }
    }
    return best;
}

}  // namespace

GxPipelineHeap* GxPipelineHeapCreate(GxUInt32 size)
{
    if (size < 1024) {
        size = 1024;
    }
    if (size > 0x40000000u) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    auto* heap = static_cast<GxPipelineHeap*>(GxMalloc(sizeof(GxPipelineHeap), kHeapRecordHint));
    if (!heap) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxUInt32 superBlockSize = RoundUp(size, 32);
    if (superBlockSize < 128) {
        superBlockSize = 128;
    }
    GxPipelineHeapSuperBlock* superBlock = SuperBlockCreate(superBlockSize);
    if (!superBlock) {
        GxFree(heap);
        return nullptr;
    }
    *heap = GxPipelineHeap{superBlockSize, superBlock, nullptr, nullptr, 0, 0, 1};
    if (!GxPipelineHeapReset(heap)) {
        GxPipelineHeapDestroy(heap);
        return nullptr;
    }
    return heap;
}

void GxPipelineHeapDestroy(GxPipelineHeap* heap)
{
    GX_ASSERT(heap, "a heap is destroyed");
    GxPipelineHeapSuperBlock* superBlock = heap->head;
    while (superBlock) {
        GxPipelineHeapSuperBlock* next = superBlock->next;
        GxFree(superBlock);
        superBlock = next;
    }
    if (heap->freeBlocks) {
        GxFree(heap->freeBlocks);
    }
    GxFree(heap);
}

GxBool GxPipelineHeapReset(GxPipelineHeap* heap)
{
    GX_ASSERT(heap && heap->head, "a heap is reset");
    heap->entriesUsed = 0;
    heap->headBlock = nullptr;
    GxPipelineHeapSuperBlock* previous = nullptr;
    GxPipelineHeapSuperBlock* superBlock = heap->head->next;
    for (;;) {
        if (!superBlock) {
            superBlock = heap->head;
        }
        if (!GxPipelineHeapAddSuperBlock(superBlock, previous, heap)) {
            return 0;
        }
        if (!heap->headBlock) {
            heap->headBlock = StartSentinel(superBlock);
        }
        previous = superBlock;
        if (superBlock == heap->head) {
            break;
        }
        superBlock = superBlock->next;
    }
    heap->dirty = 0;
    return 1;
}

void* GxPipelineHeapAlloc(GxPipelineHeap* heap, GxUInt32 size)
{
    GX_ASSERT(heap, "blocks come from a heap");
    // Sizes near the 32-bit limit would wrap when rounded up.
    if (size > 0x40000000u) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    const GxUInt32 need = size ? RoundUp(size, kHeader) : kHeader;
    GxPipelineHeapFreeEntry* entry = FindFit(heap, need);
    if (!entry) {
        entry = GrowHeap(heap, need);
        if (!entry) {
            return nullptr;
        }
    }
    GxPipelineHeapBlockHeader* block = entry->block;
    if (block->size >= need + 2 * kHeader) {
        // Split: the rest stays free under the same entry.
        auto* rest = reinterpret_cast<GxPipelineHeapBlockHeader*>(reinterpret_cast<char*>(block + 1) + need);
        *rest = GxPipelineHeapBlockHeader{block, block->next, block->size - need - kHeader, entry};
        block->next->prev = rest;
        block->next = rest;
        block->size = need;
        entry->block = rest;
        entry->size = rest->size;
    } else {
        RemoveFreeEntry(heap, entry);
    }
    block->freeEntry = nullptr;
    heap->dirty = 1;
    return block + 1;
}

void GxPipelineHeapFree(GxPipelineHeap* heap, void* payload)
{
    GX_ASSERT(heap && payload, "a block is given back to its heap");
    GxPipelineHeapBlockHeader* block = static_cast<GxPipelineHeapBlockHeader*>(payload) - 1;
    GX_ASSERT(!block->freeEntry, "a block is freed once");
    GxPipelineHeapBlockHeader* prev = block->prev;
    GxPipelineHeapBlockHeader* next = block->next;
    const GxBool prevFree = prev && prev->freeEntry;
    const GxBool nextFree = next && next->freeEntry;
    if (prevFree && nextFree) {
        RemoveFreeEntry(heap, next->freeEntry);
        prev->size += block->size + next->size + 2 * kHeader;
        prev->freeEntry->size = prev->size;
        prev->next = next->next;
        if (next->next) {
            next->next->prev = prev;
        }
    } else if (prevFree) {
        prev->size += block->size + kHeader;
        prev->freeEntry->size = prev->size;
        prev->next = next;
        if (next) {
            next->prev = prev;
        }
    } else if (nextFree) {
        block->size += next->size + kHeader;
        block->freeEntry = next->freeEntry;
        block->freeEntry->block = block;
        block->freeEntry->size = block->size;
        block->next = next->next;
        if (next->next) {
            next->next->prev = block;
        }
    } else {
        GxPipelineHeapFreeEntry* entry = GxPipelineHeapNewFreeEntry(heap);
        if (!entry) {
            return;  // stays in use until the next reset
        }
        *entry = GxPipelineHeapFreeEntry{block->size, block};
        block->freeEntry = entry;
    }
}
