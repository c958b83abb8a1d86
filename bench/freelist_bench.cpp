// Free-list entries against malloc and free, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/core/memory.h"

namespace {

constexpr int gxPAIRS = 1000000;
constexpr int gxBATCH = 1000;
constexpr int gxENTRYSIZE = 64;

// A list as a module keeps it: one long-lived entry holds its first block.
struct ListFixture {
    GxFreeList* list = nullptr;
    void* resident = nullptr;
    ListFixture()
    {
        GxEngineInit(nullptr, 0, 0);
        list = GxFreeListCreate(gxENTRYSIZE, 64, alignof(void*), 0x30001);
        resident = GxFreeListAllocEntry(list, 0x30001);
    }
    ~ListFixture()
    {
        GxFreeListFreeEntry(list, resident);
        GxFreeListDestroy(list);
        GxEngineTerm();
    }
};

void BM_FreeListAllocFreePair(benchmark::State& state)
{
    ListFixture fixture;
    for (auto _ : state) {
        for (int i = 0; i < gxPAIRS; i++) {
            void* entry = GxFreeListAllocEntry(fixture.list, 0x30001);
            benchmark::DoNotOptimize(entry);
            GxFreeListFreeEntry(fixture.list, entry);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxPAIRS);
}
BENCHMARK(BM_FreeListAllocFreePair)->Unit(benchmark::kMillisecond);

void BM_MallocFreePair(benchmark::State& state)
{
    for (auto _ : state) {
        for (int i = 0; i < gxPAIRS; i++) {
            void* block = malloc(gxENTRYSIZE);
            benchmark::DoNotOptimize(block);
            free(block);
        }
    }
    state.SetItemsProcessed(state.iterations() * gxPAIRS);
}
BENCHMARK(BM_MallocFreePair)->Unit(benchmark::kMillisecond);

// A thousand live entries at once, then all freed: the pattern of loading and dropping a model.
void BM_FreeListBatch(benchmark::State& state)
{
    ListFixture fixture;
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
BENCHMARK(BM_FreeListBatch);

void BM_MallocBatch(benchmark::State& state)
{
    std::vector<void*> entries(gxBATCH);
    for (auto _ : state) {
        for (void*& entry : entries) {
            entry = malloc(gxENTRYSIZE);
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
