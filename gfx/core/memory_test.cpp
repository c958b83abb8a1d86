// Tests of free lists, the resources arena and its heap, and grow arrays.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <vector>

#include "gfx/core/core_local.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/memory.h"
#include "gfx/core/resources_testing.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

int Mallocs() { return static_cast<int>(gxTestMemory.mallocs.size()); }

// The engine initialised on the counting memory functions, with free lists on or off.
GxTestEngineSetup CountedInitSetup(GxUInt32 initFlags)
{
    GxTestEngineSetup setup = GxTestRecordingSetup();
    setup.memory = GxTestMemoryReset();
    setup.initFlags = initFlags;
    setup.start = false;
    return setup;
}

class FreeListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(CountedInitSetup(0));
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;
};

TEST_F(FreeListTest, BlocksAreAddedAtTheHeadAndFreedWhenEmpty)
{
    GxFreeList* list = GxFreeListCreate(24, 16, 8, 0x3000E);
    ASSERT_NE(nullptr, list);
    std::vector<GxUInt8*> first;
    for (int i = 0; i < 16; i++) {
        first.push_back(static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x3000E)));
        ASSERT_NE(nullptr, first.back());
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(first.back()) % 8);
        if (i > 0) {
            EXPECT_EQ(first[i - 1] + 24, first[i]);
        }
    }
    const int blocksBefore = Mallocs();
    auto* seventeenth = static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x3000E));
    EXPECT_EQ(blocksBefore + 1, Mallocs());
    EXPECT_TRUE(seventeenth < first.front() || seventeenth > first.back());
    // The new block is at the head, so the next entry follows the seventeenth.
    EXPECT_EQ(seventeenth + 24, GxFreeListAlloc(list, 0x3000E));

    const int freesBefore = gxTestMemory.frees;
    for (int i = 0; i < 15; i++) {
        EXPECT_EQ(list, GxFreeListFree(list, first[i]));
    }
    EXPECT_EQ(freesBefore, gxTestMemory.frees);
    EXPECT_EQ(list, GxFreeListFree(list, first[15]));
    EXPECT_EQ(freesBefore + 1, gxTestMemory.frees);
    EXPECT_EQ(nullptr, GxFreeListFree(list, first[0]));  // its block is gone
    EXPECT_TRUE(GxFreeListDestroy(list));
}

// A block of 100 entries has 13 bitmap bytes; bits 100-103 are never handed out.
TEST_F(FreeListTest, LargeBlocksHandOutTheLowestFreeEntryFirst)
{
    for (GxInt32 entrySize : {1, 40, 56}) {
        GxFreeList* list = GxFreeListCreateAndPreallocate(entrySize, 100, entrySize == 1 ? 1 : 8, 0, nullptr, 0x30001);
        ASSERT_NE(nullptr, list);
        std::vector<GxUInt8*> entries;
        const int blocksBefore = Mallocs();
        for (int i = 0; i < 100; i++) {
            entries.push_back(static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x30001)));
            EXPECT_EQ(entries.front() + i * list->entrySize, entries.back()) << entrySize << " " << i;
        }
        EXPECT_EQ(blocksBefore + 1, Mallocs());
        EXPECT_EQ(13u, list->heapSize);
        void* past = GxFreeListAlloc(list, 0x30001);
        EXPECT_EQ(blocksBefore + 2, Mallocs());
        EXPECT_EQ(list, GxFreeListFree(list, past));
        for (int i : {99, 70, 3, 64, 63}) {
            EXPECT_EQ(list, GxFreeListFree(list, entries[i]));
        }
        for (int i : {3, 63, 64, 70, 99}) {
            EXPECT_EQ(entries[i], GxFreeListAlloc(list, 0x30001)) << entrySize << " " << i;
        }
        EXPECT_EQ(blocksBefore + 2, Mallocs());  // no block beyond the one past the full block
        for (GxUInt8* entry : entries) {
            EXPECT_EQ(list, GxFreeListFree(list, entry));
        }
        EXPECT_EQ(0, GxFreeListPurge(list));  // the block went with its last entry
        GxFreeListDestroy(list);
    }
}

TEST_F(FreeListTest, FreeRefusesPointersThatAreNotItsEntries)
{
    GxFreeList* list = GxFreeListCreate(12, 4, 4, 0x30001);
    GxFreeList* other = GxFreeListCreate(12, 4, 4, 0x30001);
    std::vector<GxUInt8*> entries;
    for (int i = 0; i < 4; i++) {
        entries.push_back(static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x30001)));
    }
    void* foreign = GxFreeListAlloc(other, 0x30001);
    EXPECT_EQ(nullptr, GxFreeListFree(list, entries[3] + 12));  // one past the block's last entry
    EXPECT_EQ(nullptr, GxFreeListFree(list, entries[1] + 4));   // inside an entry
    EXPECT_EQ(nullptr, GxFreeListFree(list, foreign));
    EXPECT_EQ(list, GxFreeListFree(list, entries[2]));
#ifndef GX_FREELIST_POISON
    EXPECT_EQ(nullptr, GxFreeListFree(list, entries[2]));  // already free
#endif
    // Every address around the block but the starts of its entries in use is refused.
    const uintptr_t first = reinterpret_cast<uintptr_t>(entries[0]);
    for (uintptr_t address = first - 40; address < first + 4 * 12 + 40; address++) {
        const bool inUse =
            address >= first && address < first + 4 * 12 && (address - first) % 12 == 0 && address != first + 2 * 12;
        if (!inUse && address != first + 2 * 12) {  // the free entry was tried above
            EXPECT_EQ(nullptr, GxFreeListFree(list, reinterpret_cast<void*>(address))) << address - first;
        }
    }
    // The block is intact: the freed slot is handed out again, the others stay taken.
    EXPECT_EQ(entries[2], GxFreeListAlloc(list, 0x30001));
    GxFreeListDestroy(other);
    GxFreeListDestroy(list);
}

// Under AddressSanitizer a returned entry is poisoned: touching it, or returning it again, stops the program, while
// its neighbours and the entry handed out again stay usable.
TEST_F(FreeListTest, AnEntryTouchedOrReturnedAgainAfterItsReturnStopsTheProgram)
{
#ifndef GX_FREELIST_POISON
    GTEST_SKIP() << "free entries are poisoned only under AddressSanitizer";
#else
    GxFreeList* list = GxFreeListCreate(16, 4, 8, 0x30001);
    auto* kept = static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x30001));
    auto* entry = static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x30001));
    ASSERT_EQ(list, GxFreeListFree(list, entry));
    EXPECT_DEATH(static_cast<void>(*static_cast<volatile GxUInt8*>(entry + 15)), "use-after-poison");
    EXPECT_DEATH(GxFreeListFree(list, entry), "returned twice");
    kept[15] = 1;
    auto* again = static_cast<GxUInt8*>(GxFreeListAlloc(list, 0x30001));
    ASSERT_EQ(entry, again);
    again[15] = 2;
    EXPECT_EQ(list, GxFreeListFree(list, again));
    EXPECT_EQ(list, GxFreeListFree(list, kept));
    GxFreeListDestroy(list);
#endif
}

TEST_F(FreeListTest, PurgeFreesOnlyEmptyBlocks)
{
    GxFreeList* list = GxFreeListCreateAndPreallocate(20, 8, 4, 2, nullptr, 0x30001);
    ASSERT_NE(nullptr, list);
    void* entry = GxFreeListAlloc(list, 0x30001);
    const int freesBefore = gxTestMemory.frees;
    EXPECT_EQ(20, GxFreeListPurge(list));
    EXPECT_EQ(freesBefore + 1, gxTestMemory.frees);
    EXPECT_EQ(0, GxFreeListPurge(list));
    EXPECT_EQ(list, GxFreeListFree(list, entry));

    GxFreeList* second = GxFreeListCreateAndPreallocate(8, 8, 4, 3, nullptr, 0x30001);
    EXPECT_EQ(24, GxFreeListPurgeAllFreeLists());
    GxFreeListDestroy(second);
    GxFreeListDestroy(list);
}

TEST_F(FreeListTest, ForAllUsedVisitsEveryEntryEvenWhenTheCallbackFreesThem)
{
    GxFreeList* list = GxFreeListCreate(8, 4, 8, 0x30001);
    std::vector<void*> entries;
    for (int i = 0; i < 6; i++) {
        entries.push_back(GxFreeListAlloc(list, 0x30001));
    }
    GxFreeListFree(list, entries[1]);
    struct Visit {
        GxFreeList* list;
        std::vector<void*> seen;
    } visit{list, {}};
    auto freeIt = [](void* entry, void* data) {
        auto* v = static_cast<Visit*>(data);
        v->seen.push_back(entry);
        GxFreeListFree(v->list, entry);
    };
    EXPECT_EQ(list, GxFreeListForAllUsed(list, freeIt, &visit));
    // Newest block first, entries most significant bit first.
    EXPECT_EQ((std::vector<void*>{entries[4], entries[5], entries[0], entries[2], entries[3]}), visit.seen);
    const int blocksBefore = Mallocs();
    GxFreeListAlloc(list, 0x30001);
    EXPECT_EQ(blocksBefore + 1, Mallocs());  // every block went with its last entry
    GxFreeListDestroy(list);
}

TEST_F(FreeListTest, CreationRoundsAndRejectsBadArguments)
{
    GxFreeList* list = GxFreeListCreateAndPreallocate(5, 3, 4, 0, nullptr, 0x30001);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(8u, list->entrySize);
    EXPECT_EQ(4u, list->alignment);
    EXPECT_EQ(gxFREELISTFLAGFREEBLOCKS, list->flags);
    GxFreeListDestroy(list);

    // Alignment 0 means 4; the second entry point creates the same list.
    GxFreeList* unaligned = GxFreeListCreateAndPreallocate(10, 3, 0, 0, nullptr, 0x30001);
    EXPECT_EQ(4u, unaligned->alignment);
    EXPECT_EQ(12u, unaligned->entrySize);
    GxFreeListDestroy(unaligned);
    GxFreeList aliasRecord;
    GxFreeList* alias = GxFreeListCreateAndPreallocateAlias(10, 3, 0, 1, &aliasRecord, 0x30001);
    ASSERT_EQ(&aliasRecord, alias);
    EXPECT_EQ(12u, alias->entrySize);
    EXPECT_EQ(3u, alias->entriesPerBlock);
    EXPECT_EQ(3u, alias->flags);
    EXPECT_FALSE(GxLinkIsEmpty(&alias->blockList));
    GxFreeListDestroy(alias);

    GxFreeList* sixteen = GxFreeListCreate(20, 5, 16, 0x30001);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(GxFreeListAlloc(sixteen, 0x30001)) % 16);
    }
    GxFreeListDestroy(sixteen);

    GxFreeList record;
    GxFreeList* inPlace = GxFreeListCreateAndPreallocate(8, 8, 8, 1, &record, 0x30001);
    EXPECT_EQ(&record, inPlace);
    EXPECT_EQ(3u, record.flags);
    GxFreeListDestroy(inPlace);

    EXPECT_EQ(nullptr, GxFreeListCreate(0, 8, 4, 0));
    EXPECT_EQ(nullptr, GxFreeListCreate(-4, 8, 4, 0));
    EXPECT_EQ(nullptr, GxFreeListCreate(8, 0, 4, 0));
    EXPECT_EQ(nullptr, GxFreeListCreate(8, 8, -1, 0));
    EXPECT_EQ(nullptr, GxFreeListCreate(0x40000000, 0x40000000, 4, 0));
}

TEST_F(FreeListTest, ListsLeftOpenAreDestroyedByTerm)
{
    GxFreeList* list = GxFreeListCreate(32, 4, 8, 0x30001);
    for (int i = 0; i < 9; i++) {
        GxFreeListAlloc(list, 0x30001);
    }
    GxTestEngineShutdown();
    EXPECT_EQ(Mallocs(), gxTestMemory.frees);
}

TEST(FreeListOff, InitFlagMakesEveryEntryAPlainAllocation)
{
    {
        GxTestEngine engine(CountedInitSetup(1));
        GX_ASSERT_ENGINE_STARTED(engine);
        EXPECT_EQ(GxFreeListAllocDirect, GxEngineInstance->memoryAlloc);
        const int before = Mallocs();
        GxFreeList* list = GxFreeListCreateAndPreallocate(40, 16, 8, 5, nullptr, 0x30123);
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(before + 1, Mallocs());  // the record only, no block
        void* entry = GxFreeListAllocEntry(list, 0x30123);
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(40u, gxTestMemory.mallocs.back().first);
        EXPECT_EQ(0x30123u, gxTestMemory.mallocs.back().second);
        EXPECT_EQ(list, GxFreeListFreeEntry(list, entry));
        GxFreeListDestroy(list);
    }
    EXPECT_EQ(Mallocs(), gxTestMemory.frees);
}

// Resources arena ------------------------------------------------------------

struct Owner {
    GxResourceEntry* entry = nullptr;
    int destroyed = 0;
};
std::vector<Owner*> destroyOrder;

void DestroyNotify(GxResourceEntry* entry)
{
    auto* owner = static_cast<Owner*>(entry->owner);
    owner->destroyed++;
    destroyOrder.push_back(owner);
}

class ArenaTest : public ::testing::Test {
protected:
    void Start(GxUInt32 arenaSize)
    {
        destroyOrder.clear();
        ASSERT_TRUE(GxTestEngineStart(0, arenaSize));
        GxTestTakeError();
    }
    void TearDown() override { GxTestEngineShutdown(); }
};

TEST_F(ArenaTest, FullArenaEvictsThePreviousFramesOldestFirst)
{
    Start(64 * 1024);
    Owner a, b, c, d;
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&a, &a.entry, 20000, DestroyNotify));
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&b, &b.entry, 20000, DestroyNotify));
    GxResourcesNewFrame();
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&c, &c.entry, 20000, DestroyNotify));
    EXPECT_EQ(60000u, GxResourcesGetArenaUsage());
    GxResourcesNewFrame();
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&d, &d.entry, 30000, DestroyNotify));
    EXPECT_EQ((std::vector<Owner*>{&a, &b}), destroyOrder);
    EXPECT_EQ(nullptr, a.entry);
    EXPECT_EQ(nullptr, b.entry);
    EXPECT_NE(nullptr, c.entry);
    EXPECT_NE(nullptr, d.entry);
    EXPECT_EQ(50000u, GxResourcesGetArenaUsage());

    // This frame's entries go only when nothing older is left.
    Owner e;
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&e, &e.entry, 40000, DestroyNotify));
    EXPECT_EQ((std::vector<Owner*>{&a, &b, &c, &d}), destroyOrder);
    EXPECT_EQ(gxERRNOERROR, GxTestTakeErrorCode());

    EXPECT_TRUE(GxResourceEntryFree(e.entry));
    EXPECT_EQ(nullptr, e.entry);
    EXPECT_EQ(0u, GxResourcesGetArenaUsage());
}

TEST_F(ArenaTest, UsedEntriesAreEvictedLast)
{
    Start(64 * 1024);
    Owner a, b, c;
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&a, &a.entry, 20000, DestroyNotify));
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&b, &b.entry, 20000, DestroyNotify));
    GxResourcesNewFrame();
    EXPECT_EQ(a.entry, GxResourcesUseResEntry(a.entry));
    GxResourcesNewFrame();
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&c, &c.entry, 30000, DestroyNotify));
    EXPECT_EQ((std::vector<Owner*>{&b}), destroyOrder);
    EXPECT_NE(nullptr, a.entry);
    EXPECT_EQ(50000u, GxResourcesGetArenaUsage());
    EXPECT_TRUE(GxResourcesEmptyArena());
}

TEST_F(ArenaTest, RequestLargerThanTheHeapFailsWithCode12)
{
    Start(16 * 1024);
    Owner a, big;
    ASSERT_NE(nullptr, GxResourceEntryAlloc(&a, &a.entry, 100, DestroyNotify));
    big.entry = reinterpret_cast<GxResourceEntry*>(&big);
    EXPECT_EQ(nullptr, GxResourceEntryAlloc(&big, &big.entry, 20000, DestroyNotify));
    EXPECT_EQ(nullptr, big.entry);
    GxError error = GxTestTakeError();
    EXPECT_EQ(1, error.pluginID);
    EXPECT_EQ(gxERRARENAFULL, error.errorCode);
    EXPECT_EQ(nullptr, GxResourceEntryAlloc(&big, &big.entry, -1, nullptr));
    EXPECT_EQ(nullptr, GxResourceEntryAlloc(&big, &big.entry, 0x7FFFFFFF, nullptr));
}

TEST_F(ArenaTest, EmptyArenaAndStopReleaseEveryEntry)
{
    Start(64 * 1024);
    Owner owners[6];
    for (int i = 0; i < 6; i++) {
        ASSERT_NE(nullptr, GxResourceEntryAlloc(&owners[i], &owners[i].entry, 1000 * (i + 1), DestroyNotify));
        if (i == 2) {
            GxResourcesNewFrame();
        }
    }
    EXPECT_TRUE(GxResourcesEmptyArena());
    for (Owner& owner : owners) {
        EXPECT_EQ(1, owner.destroyed);
        EXPECT_EQ(nullptr, owner.entry);
    }
    // After emptying, the whole heap is one block again.
    Owner big;
    EXPECT_NE(nullptr, GxResourceEntryAlloc(&big, &big.entry, 60000, DestroyNotify));
    GxEngineStop();
    EXPECT_EQ(1, big.destroyed);
    EXPECT_EQ(nullptr, big.entry);
}

TEST_F(ArenaTest, ZeroSizedArenaGivesEntriesOutsideIt)
{
    Start(0);
    Owner a;
    GxResourceEntry* entry = GxResourceEntryAlloc(&a, &a.entry, 5000, DestroyNotify);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(nullptr, entry->link.next);
    EXPECT_EQ(entry, a.entry);
    GxResourcesNewFrame();
    EXPECT_TRUE(GxResourcesEmptyArena());
    EXPECT_EQ(entry, a.entry);  // not the arena's to evict
    EXPECT_EQ(entry, GxResourcesUseResEntry(entry));
    EXPECT_EQ(nullptr, entry->link.next);
    EXPECT_TRUE(GxResourceEntryFree(entry));
    EXPECT_EQ(1, a.destroyed);
    EXPECT_EQ(nullptr, a.entry);
}

TEST(ResHeap, FirstFitSplitsAndCoalesces)
{
    alignas(32) static GxUInt8 buffer[4096 + 24];
    GxUInt8* start = buffer + 24;  // a start that is not on a 32-byte boundary
    ASSERT_TRUE(GxResHeapInit(start, 4096));
    auto* heap = reinterpret_cast<GxResHeap*>(start);
    auto* a = static_cast<GxUInt8*>(GxResHeapAlloc(heap, 100));
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(a) % 32);
    EXPECT_GE(a - 32, start + sizeof(GxResHeap));
    auto* b = static_cast<GxUInt8*>(GxResHeapAlloc(heap, 64));
    auto* c = static_cast<GxUInt8*>(GxResHeapAlloc(heap, 32));
    EXPECT_EQ(a + 128 + 32, b);
    EXPECT_EQ(b + 64 + 32, c);
    GxResHeapFree(b);
    // First fit: a request that fits the hole takes it.
    EXPECT_EQ(b, GxResHeapAlloc(heap, 40));
    GxResHeapFree(b);
    GxResHeapFree(a);
    // a and b merged: 128 + 32 + 64 bytes.
    EXPECT_EQ(a, GxResHeapAlloc(heap, 224));
    GxResHeapFree(a);
    GxResHeapFree(c);
    const size_t whole = (reinterpret_cast<uintptr_t>(start + 4096) & ~uintptr_t(31)) - reinterpret_cast<uintptr_t>(a);
    EXPECT_EQ(a, GxResHeapAlloc(heap, static_cast<GxUInt32>(whole)));
    EXPECT_EQ(nullptr, GxResHeapAlloc(heap, 1));

    EXPECT_FALSE(GxResHeapInit(start, 40));
}

TEST(ResHeap, SmallSurplusStaysInTheBlock)
{
    alignas(32) static GxUInt8 buffer[1024];
    ASSERT_TRUE(GxResHeapInit(buffer, 32 + 32 + 160));  // one block of 160 data bytes
    auto* heap = reinterpret_cast<GxResHeap*>(buffer);
    void* a = GxResHeapAlloc(heap, 96);  // surplus 64: not split
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(nullptr, GxResHeapAlloc(heap, 1));
    GxResHeapFree(a);
    a = GxResHeapAlloc(heap, 64);  // surplus 96: split into 64 and 64
    EXPECT_NE(nullptr, GxResHeapAlloc(heap, 64));
}

// Grow arrays ------------------------------------------------------------------

class GrowArrayTest : public FreeListTest {};

TEST_F(GrowArrayTest, GrowsByAQuarterAndKeepsItsEntries)
{
    GxGrowArray* array = GxGrowArrayCreate(sizeof(GxInt32), 0x30001);
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(nullptr, GxGrowArrayGetFirst(array));
    for (GxInt32 i = 0; i < 20; i++) {
        *static_cast<GxInt32*>(GxGrowArrayAddEntry(array, 0x30001)) = i;
    }
    EXPECT_EQ(20, array->capacity);
    *static_cast<GxInt32*>(GxGrowArrayAddEntry(array, 0x30001)) = 20;
    EXPECT_EQ(25, array->capacity);
    for (GxInt32 i = 0; i < 21; i++) {
        EXPECT_EQ(i, *static_cast<GxInt32*>(GxGrowArrayGetEntry(array, i)));
    }
    EXPECT_EQ(GxGrowArrayGetEntry(array, 21), GxGrowArrayGetEnd(array));

    auto* many = static_cast<GxInt32*>(GxGrowArrayAddEntries(array, 10, 0x30001));
    EXPECT_EQ(GxGrowArrayGetEntry(array, 21), many);
    EXPECT_EQ(25 + 6 + 10, array->capacity);
    EXPECT_EQ(31, array->count);

    GxGrowArrayReset(array);
    EXPECT_EQ(0, array->count);
    EXPECT_EQ(nullptr, GxGrowArrayGetFirst(array));
    EXPECT_EQ(41, array->capacity) << "a reset keeps the room";
    GxGrowArrayAddEntries(array, 31, 0x30001);
    GxGrowArrayRemoveEntries(array, 10);
    EXPECT_EQ(21, array->count);
    EXPECT_EQ(GxGrowArrayGetEntry(array, 21), GxGrowArrayGetEnd(array));
    EXPECT_TRUE(GxGrowArrayDestroy(array));
}

TEST_F(GrowArrayTest, FailedGrowthLeavesTheArrayAsItWas)
{
    GxGrowArray* array = GxGrowArrayCreate(8, 0x30001);
    for (int i = 0; i < 20; i++) {
        GxGrowArrayAddEntry(array, 0x30001);
    }
    void* entries = array->entries;
    gxTestMemory.reallocFailures = 1;
    GxTestTakeError();
    EXPECT_EQ(nullptr, GxGrowArrayAddEntry(array, 0x30001));
    EXPECT_EQ(gxERRNOMEMORY, GxTestTakeErrorCode());
    EXPECT_EQ(entries, array->entries);
    EXPECT_EQ(20, array->count);
    EXPECT_EQ(20, array->capacity);

    void* kept = GxGrowArrayDestroyKeepEntries(array);
    EXPECT_EQ(entries, kept);
    GxFree(kept);

    GxGrowArray* empty = GxGrowArrayCreate(8, 0x30001);
    EXPECT_EQ(nullptr, GxGrowArrayDestroyKeepEntries(empty));
}

}  // namespace
