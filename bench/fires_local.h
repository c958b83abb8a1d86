// Twenty fire emitters of about 140 live particles each, shared by the particle and tank benchmarks: each
// keeps 7 new particles a frame living 20 frames, warmed up for 40 frames so the tanks are full.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "gfx/fx/particles.h"
#include "gfx/world/clump.h"

constexpr GxInt32 kBenchFires = 20;
constexpr GxInt32 kBenchFireParticles = 140;
constexpr GxReal kBenchFrame = 1.0f / 60.0f;

class BenchFires {
public:
    BenchFires()
        : m_emitterClass(GxParticleEmitterClassCreate(kFireEmitter)),
          m_particleClass(GxParticleClassCreate(kFireParticles))
    {
        for (GxInt32 i = 0; i < kBenchFires; i++)
            m_fires.push_back(Fire());
    }
    // Reports how many particles lived at the end.
    void Report(benchmark::State& state) const
    {
        GxInt32 live = 0;
        for (GxAtomic* fire : m_fires)
            live += GxParticleAtomicGetEmitters(fire)->numPtcles;
        state.counters["live"] = live;
    }
    ~BenchFires()
    {
        for (GxAtomic* fire : m_fires)
            GxAtomicDestroy(fire);
        GxParticleEmitterClassDestroy(m_emitterClass);
        GxParticleClassDestroy(m_particleClass);
    }
    BenchFires(const BenchFires&) = delete;
    BenchFires& operator=(const BenchFires&) = delete;

    const std::vector<GxAtomic*>& Atomics() const { return m_fires; }

private:
    static constexpr GxUInt32 kFireEmitter = 0x33;
    static constexpr GxUInt32 kFireParticles = 0x65;
    static constexpr GxInt32 kWarmUpFrames = 40;

    GxAtomic* Fire()
    {
        GxAtomic* atomic = GxParticleAtomicCreate(m_emitterClass, nullptr);
        GxParticleEmitter* emitter = GxParticleAtomicGetEmitters(atomic);
        GxParticleEmitterSetParticleClass(emitter, m_particleClass, 64);
        auto* std = static_cast<GxParticleEmitterStd*>(
            GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
        std->maxPTank = kBenchFireParticles;
        std->emtPtcleEmitCount = kBenchFireParticles / 20;
        std->emtPtcleLife = 20.0f * kBenchFrame;
        std->emtInitVel = 1.0f;
        std->emtInitDir = {0.0f, 1.0f, 0.0f};
        std->emtInitDirBias = {0.3f, 0.0f, 0.3f};
        std->emtPos = {0.0f, 0.0f, 5.0f};
        std->force = {0.0f, -0.5f, 0.0f};
        auto* colour = static_cast<GxParticleEmitterColor*>(
            GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR));
        for (GxInt32 i = 0; colour && i < 4; i++) {
            colour->start[i] = 255.0f;
            colour->startBias[i] = 20.0f;
        }
        GxParticleUpdateData warm = {kBenchFrame};
        for (GxInt32 frame = 0; frame < kWarmUpFrames; frame++)
            GxParticleAtomicUpdate(atomic, &warm);
        return atomic;
    }

    GxParticleEmitterClass* m_emitterClass;
    GxParticleClass* m_particleClass;
    std::vector<GxAtomic*> m_fires;
};
