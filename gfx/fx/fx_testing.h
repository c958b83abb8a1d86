// Test support of the effects module: an engine with the world objects, the keyframe toolkit and the effects plugins.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "gfx/core/pipeline.h"
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

// The driver installs the atomic pipeline the default render callback runs; without a driver one that draws
// nothing stands in.
inline GxBool GxFxTestDrawNothing(GxPipelineNode*, const GxPipelineExecutionParams*) { return 1; }

class FxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxFxEngineSetup());
        GX_ASSERT_ENGINE_STARTED(*engine);
        drawNothing.name = "draw nothing";
        drawNothing.body = GxFxTestDrawNothing;
        atomicPipeline = GxWorldTestOneNodePipeline(&drawNothing);
        ASSERT_NE(atomicPipeline, nullptr);
        GxPipelineGetModuleBlock()->currentAtomicPipeline = atomicPipeline;
    }
    void TearDown() override
    {
        if (atomicPipeline) {
            GxPipelineGetModuleBlock()->currentAtomicPipeline = nullptr;
            GxPipelineDestroy(atomicPipeline);
        }
        engine.reset();
    }
    std::optional<GxTestEngine> engine;
    GxNodeDefinition drawNothing = {};
    GxPipeline* atomicPipeline = nullptr;
};

// Fuzz targets start the engine once and keep it.
inline void GxFxFuzzStart(void)
{
    if (!GxTestProcessEngineStart(GxFxEngineSetup())) {
        std::abort();
    }
}
