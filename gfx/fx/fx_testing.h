// Test support of the effects module: an engine with the world objects, the keyframe toolkit and the effects plugins.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

// The recording device with the world objects, the keyframe toolkit and the effects plugins.
inline GxTestEngineSetup GxFxEngineSetup(void)
{
    return GxTestRecordingSetup([] {
        return GxWorldPluginAttach() && GxAnimPluginAttach() && GxMaterialEffectsPluginAttach() &&
               GxUVAnimPluginAttach() && GxParticleTankPluginAttach() && GxParticlePluginAttach();
    });
}

class FxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxFxEngineSetup());
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;
};

// Fuzz targets start the engine once and keep it.
inline void GxFxFuzzStart(void)
{
    if (!GxTestProcessEngineStart(GxFxEngineSetup())) {
        std::abort();
    }
}
