// Particle tanks through the driver: 20 fire emitters of 140 live particles updated and drawn as camera-facing quads on
// the software device (log off), against a baseline that writes the same vertex bytes once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/ptank.h"
#include "gfx/world/world.h"
#include "platform/d3d9/d3d9_soft.h"

namespace {

constexpr GxInt32 kEmitters = 20;
constexpr GxInt32 kParticles = 140;
constexpr GxUInt32 kFireEmitter = 0x33;
constexpr GxUInt32 kFireParticles = 0x65;
constexpr GxReal kFrame = 1.0f / 60.0f;
// Four corners of position and colour per particle.
constexpr size_t kQuadBytes = 4 * (12 + 4);

GxCamera* camera = nullptr;

bool Started()
{
    static HWND window = nullptr;
    static const bool started = [] {
        GxD3D9TestUseBackend("software");
        window = GxD3D9TestWindow(64, 64);
        GxEngineSetDriver(GxD3D9GetDriver());
        if (!window || !GxEngineInit(nullptr, 0, 0x400000) || !GxWorldObjectsPluginAttach() ||
            !GxD3D9WorldPluginAttach() || !GxD3D9ParticleTankPluginAttach() || !GxParticlePluginAttach() ||
            !GxEngineOpen(&window) || !GxEngineSetVideoMode(0) || !GxEngineStart()) {
            return false;
        }
        D3D9SoftSetLogging(GxD3D9Device(), false);
        camera = GxTestCameraCreate(64, 64);
        return camera != nullptr;
    }();
    return started;
}

GxAtomic* Fire(GxParticleEmitterClass* emitterClass, GxParticleClass* particleClass)
{
    GxAtomic* atomic = GxParticleAtomicCreate(emitterClass, nullptr);
    GxParticleEmitter* emitter = GxParticleAtomicGetEmitters(atomic);
    GxParticleEmitterSetParticleClass(emitter, particleClass, 64);
    auto* std =
        static_cast<GxParticleEmitterStd*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    std->maxPTank = kParticles;
    std->emtPtcleEmitCount = kParticles / 20;
    std->emtPtcleLife = 20.0f * kFrame;
    std->emtInitVel = 1.0f;
    std->emtInitDir = {0.0f, 1.0f, 0.0f};
    std->emtInitDirBias = {0.3f, 0.0f, 0.3f};
    std->emtPos = {0.0f, 0.0f, 5.0f};
    GxParticleUpdateData warm = {kFrame};
    for (GxInt32 frame = 0; frame < 40; frame++) {
        GxParticleAtomicUpdate(atomic, &warm);
    }
    return atomic;
}

void BM_TankVertexWriteBaseline(benchmark::State& state)
{
    std::vector<GxUInt8> from(kEmitters * kParticles * kQuadBytes, 1);
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
    GxParticleEmitterClass* emitterClass = GxParticleEmitterClassCreate(kFireEmitter);
    GxParticleClass* particleClass = GxParticleClassCreate(kFireParticles);
    std::vector<GxAtomic*> fires;
    for (GxInt32 i = 0; i < kEmitters; i++) {
        fires.push_back(Fire(emitterClass, particleClass));
    }
    GxParticleUpdateData step = {kFrame};
    for (auto _ : state) {
        GxCameraBeginUpdate(camera);
        for (GxAtomic* fire : fires) {
            GxParticleAtomicUpdate(fire, &step);
            fire->renderCallBack(fire);
        }
        GxCameraEndUpdate(camera);
    }
    GxInt32 live = 0;
    for (GxAtomic* fire : fires) {
        live += GxParticleAtomicGetEmitters(fire)->numPtcles;
        GxAtomicDestroy(fire);
    }
    state.counters["live"] = live;
    GxParticleEmitterClassDestroy(emitterClass);
    GxParticleClassDestroy(particleClass);
}

}  // namespace

BENCHMARK(BM_TankVertexWriteBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TankFireUpdateAndDraw)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
