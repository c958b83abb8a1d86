// Free-list entries against malloc and free, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/testsupport/engine_fixture.h"

namespace {

constexpr int gxPAIRS = 1000000;
constexpr int gxBATCH = 1000;

// The engine initialised for the lists' allocations.
GxTestEngineSetup InitialisedEngine()
{
    GxTestEngineSetup setup = GxTestRecordingSetup();
    setup.arenaSize = 0;
    setup.start = false;
    return setup;
}

// A list as a module keeps it: one long-lived entry holds its first block.
struct ListFixture {
    GxTestEngine engine;
    GxFreeList* list = nullptr;
    void* resident = nullptr;
    ListFixture(GxInt32 entrySize, GxInt32 entriesPerBlock) : engine(InitialisedEngine())
    {
        list = GxFreeListCreate(entrySize, entriesPerBlock, alignof(void*), 0x30001);
        resident = GxFreeListAllocEntry(list, 0x30001);
    }
    ~ListFixture()
    {
        GxFreeListFreeEntry(list, resident);
        GxFreeListDestroy(list);
    }
};

// A million allocate/free pairs through the engine's free-list functions; argument: entry size.
void BM_FreeListAllocFreePair(benchmark::State& state)
{
    ListFixture fixture(static_cast<GxInt32>(state.range(0)), 64);
    for (auto _ : state) {
        for (int i = 0; i < gxPAIRS; i++) {
            void* entry = GxFreeListAllocEntry(fixture.list, 0x30001);
            benchmark::DoNotOptimize(entry);
            GxFreeListFreeEntry(fixture.list, entry);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxPAIRS);
}
BENCHMARK(BM_FreeListAllocFreePair)->Arg(64)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_MallocFreePair(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < gxPAIRS; i++) {
            void* block = malloc(size);
            benchmark::DoNotOptimize(block);
            free(block);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxPAIRS);
}
BENCHMARK(BM_MallocFreePair)->Arg(64)->Arg(200)->Unit(benchmark::kMillisecond);

// A thousand live 64-byte entries, then all freed (loading and dropping a model);
// argument: entries per block.
void BM_FreeListBatch(benchmark::State& state)
{
    ListFixture fixture(64, static_cast<GxInt32>(state.range(0)));
    std::vector<void*> entries(gxBATCH);
    for (auto _ : state) {
        for (void*& entry : entries) {
            entry = GxFreeListAllocEntry(fixture.list, 0x30001);
        }
        benchmark::DoNotOptimize(entries.data());
        for (void* entry : entries) {
            GxFreeListFreeEntry(fixture.list, entry);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxBATCH);
}
BENCHMARK(BM_FreeListBatch)->Arg(64)->Arg(256);

void BM_MallocBatch(benchmark::State& state)
{
    std::vector<void*> entries(gxBATCH);
    for (auto _ : state) {
        for (void*& entry : entries) {
            entry = malloc(64);
        }
        benchmark::DoNotOptimize(entries.data());
        for (void* entry : entries) {
            free(entry);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxBATCH);
}
BENCHMARK(BM_MallocBatch);

}  // namespace

BENCHMARK_MAIN();
