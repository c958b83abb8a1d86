// Test support of the effects module: an engine with the world objects, the keyframe toolkit and the effects plugins.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/world/world_testing.h"

inline bool GxFxEngineStart(void)
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(nullptr, 0, 0x400000) && GxWorldObjectsPluginAttach() && GxAnimPluginAttach() &&
           GxMaterialEffectsPluginAttach() && GxUVAnimPluginAttach() &&
           GxParticleTankPluginAttach() && GxParticlePluginAttach() && GxEngineOpen(&window) && GxEngineStart();
}

class FxTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(GxFxEngineStart()); }
    void TearDown() override { GxTestEngineShutdown(); }
};

// Fuzz targets start the engine once and keep it.
inline void GxFxFuzzStart(void)
{
    static const bool started = GxFxEngineStart();
    if (!started) {
        std::abort();
    }
}
