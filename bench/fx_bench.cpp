// Particles: 20 fire emitters of 140 live particles each, updated per frame into their tanks (target under
// 0.3 ms), against a baseline that copies the same particle records and tank arrays once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/fx/particles.h"
#include "gfx/world/clump.h"

namespace {

constexpr GxInt32 kEmitters = 20;
constexpr GxInt32 kParticles = 140;
constexpr GxUInt32 kFireEmitter = 0x33;
constexpr GxUInt32 kFireParticles = 0x65;
constexpr GxReal kFrame = 1.0f / 60.0f;
// Per-particle bytes the baseline copies: a fire particle and its tank position, colour and size.
constexpr size_t kParticleBytes = 96 + 12 + 4 + 8;

bool Started()
{
    static int window = 0;
    static const bool started = [] {
        GxTestDeviceInstall();
        return GxEngineInit(nullptr, 0, 0x400000) && GxWorldObjectsPluginAttach() && GxParticleTankPluginAttach() &&
               GxParticlePluginAttach() && GxEngineOpen(&window) && GxEngineStart();
    }();
    return started;
}

// An emitter that keeps about 140 particles alive: 7 per frame living 20 frames.
GxAtomic* Fire(GxParticleEmitterClass* emitterClass, GxParticleClass* particleClass)
{
    GxAtomic* atomic = GxParticleAtomicCreate(emitterClass, nullptr);
    GxParticleEmitter* emitter = GxParticleAtomicGetEmitters(atomic);
    GxParticleEmitterSetParticleClass(emitter, particleClass, 64);
    auto* std = static_cast<GxParticleEmitterStd*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    std->maxPTank = kParticles;
    std->emtPtcleEmitCount = kParticles / 20;
    std->emtPtcleLife = 20.0f * kFrame;
    std->emtInitVel = 1.0f;
    std->emtInitDir = {0.0f, 1.0f, 0.0f};
    std->emtInitDirBias = {0.3f, 0.0f, 0.3f};
    std->force = {0.0f, -0.5f, 0.0f};
    auto* colour = static_cast<GxParticleEmitterColor*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR));
    for (GxInt32 i = 0; i < 4; i++) {
        colour->start[i] = 255.0f;
        colour->startBias[i] = 20.0f;
    }
    GxParticleUpdateData warm = {kFrame};
    for (GxInt32 frame = 0; frame < 40; frame++) {
        GxParticleAtomicUpdate(atomic, &warm);
    }
    return atomic;
}

void BM_ParticleCopyBaseline(benchmark::State& state)
{
    std::vector<GxUInt8> from(kEmitters * kParticles * kParticleBytes, 1);
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
    GxParticleEmitterClass* emitterClass = GxParticleEmitterClassCreate(kFireEmitter);
    GxParticleClass* particleClass = GxParticleClassCreate(kFireParticles);
    std::vector<GxAtomic*> fires;
    for (GxInt32 i = 0; i < kEmitters; i++) {
        fires.push_back(Fire(emitterClass, particleClass));
    }
    GxParticleUpdateData step = {kFrame};
    for (auto _ : state) {
        for (GxAtomic* fire : fires) {
            GxParticleAtomicUpdate(fire, &step);
        }
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

BENCHMARK(BM_ParticleCopyBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParticleFireUpdate)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
