// Particle tanks through the driver: 20 fire emitters of 140 live particles updated and drawn as camera-facing quads on
// the software device (log off), against a baseline that writes the same vertex bytes once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/fires_local.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/ptank.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/world.h"
#include "platform/testsupport/softdevice.h"

namespace {

// Four corners of position and colour per particle.
constexpr size_t kQuadBytes = 4 * (12 + 4);

GxCamera* camera = nullptr;

bool Started()
{
    static const bool started = [] {
        GxTestEngineSetup setup;
        setup.firstVideoMode = true;
        setup.files = false;
        setup.plugins = [] {
            return GxWorldPluginAttach() && GxD3D9WorldPluginAttach() && GxD3D9ParticleTankPluginAttach() &&
                   GxParticlePluginAttach();
        };
        if (!GxTestProcessEngineStart(setup)) {
            return false;
        }
        D3D9SoftSetLogging(GxD3D9Device(), false);
        camera = GxTestCameraCreate(64, 64);
        return camera != nullptr;
    }();
    return started;
}

void BM_TankVertexWriteBaseline(benchmark::State& state)
{
    std::vector<GxUInt8> from(kBenchFires * kBenchFireParticles * kQuadBytes, 1);
    std::vector<GxUInt8> to(from.size());
    for (auto _ : state) {
        memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

void BM_TankFireUpdateAndDraw(benchmark::State& state)
{
    if (!Started()) {
        state.SkipWithError("engine did not start on the software device");
        return;
    }
    BenchFires fires;
    GxParticleUpdateData step = {kBenchFrame};
    for (auto _ : state) {
        GxCameraBeginUpdate(camera);
        for (GxAtomic* fire : fires.Atomics()) {
            GxParticleAtomicUpdate(fire, &step);
            fire->renderCallBack(fire);
        }
        GxCameraEndUpdate(camera);
    }
    fires.Report(state);
}

}  // namespace

BENCHMARK(BM_TankVertexWriteBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TankFireUpdateAndDraw)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
