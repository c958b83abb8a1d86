// Redundant render-state sets through the driver caches against a plain out-of-line call, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "gfx/core/engine.h"
#include "gfx/d3d9/renderstate.h"

namespace {

constexpr int gxCALLS = 1000000;

// The baseline: one call that cannot be inlined and does one compare, like a cache hit.
__attribute__((noinline)) GxBool PlainCall(GxInt32 state, void* value)
{
    benchmark::DoNotOptimize(value);
    return state != 0;
}

// The caches need no device for a set that changes nothing.
struct CacheFixture {
    CacheFixture() { GxD3D9RenderStateReset(); }
};

void BM_PlainCall(benchmark::State& state)
{
    GxRenderStateSetFunction call = PlainCall;
    benchmark::DoNotOptimize(call);
    for (auto _ : state) {
        for (int i = 0; i < gxCALLS; i++) {
            benchmark::DoNotOptimize(call(gxRENDERSTATECULLMODE, reinterpret_cast<void*>(uintptr_t{2})));
        }
    }
    state.SetItemsProcessed(state.iterations() * gxCALLS);
}
BENCHMARK(BM_PlainCall)->Unit(benchmark::kMillisecond);

// The engine-level slot as the core calls it, with the value already held.
void BM_RedundantEngineRenderStateSet(benchmark::State& state)
{
    CacheFixture fixture;
    GxRenderStateSetFunction set = GxD3D9RenderStateSet;
    benchmark::DoNotOptimize(set);
    for (auto _ : state) {
        for (int i = 0; i < gxCALLS; i++) {
            benchmark::DoNotOptimize(set(gxRENDERSTATECULLMODE, reinterpret_cast<void*>(uintptr_t{2})));
        }
    }
    state.SetItemsProcessed(state.iterations() * gxCALLS);
}
BENCHMARK(BM_RedundantEngineRenderStateSet)->Unit(benchmark::kMillisecond);

// The Direct3D-level cache the pipelines call directly, with the value already wanted.
void BM_RedundantD3DRenderStateSet(benchmark::State& state)
{
    CacheFixture fixture;
    for (auto _ : state) {
        for (int i = 0; i < gxCALLS; i++) {
            GxD3D9SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * gxCALLS);
}
BENCHMARK(BM_RedundantD3DRenderStateSet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
