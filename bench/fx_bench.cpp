// Particles: 20 fire emitters of 140 live particles each, updated per frame into their tanks (target under
// 0.3 ms), against a baseline that copies the same particle records and tank arrays once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/fires_local.h"
#include "gfx/core/engine_testing.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/world.h"

namespace {

// Per-particle bytes the baseline copies: a fire particle and its tank position, colour and size.
constexpr size_t kParticleBytes = 96 + 12 + 4 + 8;

bool Started()
{
    GxTestEngineSetup setup;
    setup.backend = GxTestBackend::kRecording;
    setup.files = false;
    setup.plugins = [] { return GxWorldPluginAttach() && GxParticleTankPluginAttach() && GxParticlePluginAttach(); };
    return GxTestProcessEngineStart(setup);
}

void BM_ParticleCopyBaseline(benchmark::State& state)
{
    std::vector<GxUInt8> from(kBenchFires * kBenchFireParticles * kParticleBytes, 1);
    std::vector<GxUInt8> to(from.size());
    for (auto _ : state) {
        memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

void BM_ParticleFireUpdate(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start");
        return;
    }
    BenchFires fires;
    GxParticleUpdateData step = {kBenchFrame};
    for (auto _ : state) {
        for (GxAtomic* fire : fires.Atomics())
            GxParticleAtomicUpdate(fire, &step);
    }
    fires.Report(state);
}

}  // namespace

BENCHMARK(BM_ParticleCopyBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParticleFireUpdate)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
