// Test support of the animation module: an engine with the world objects and the animation plugins.
#pragma once

#include <gtest/gtest.h>

#include "gfx/anim/anim.h"
#include "gfx/anim/anim_fuzz_testing.h"
#include "gfx/anim/anim_local.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/world_testing.h"

class AnimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxAnimEngineSetup());
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;
};

// The last error's (plugin, code), cleared.
inline std::pair<GxInt32, GxInt32> GxAnimTestTakeError(void)
{
    GxError error = {0, 0};
    GxErrorGet(&error);
    return {error.pluginID, error.errorCode};
}

// Bytes the native skin header occupies (chunk header and body).
inline GxInt32 GxSkinGeometryStreamHeaderSize(void)
{
    return static_cast<GxInt32>(gxCHUNKHEADERSIZE + gxSkinNativeBodySize);
}

// Calls `callBack` once the interpolator's time passes `time`.
inline GxAnimInterpolator* GxAnimInterpolatorSetAnimCallback(GxAnimInterpolator* interp, GxAnimCallBack callBack,
                                                             GxReal time, void* data)
{
    interp->pAnimCallBack = callBack;
    interp->pAnimCallBackData = data;
    interp->animCallBackTime = time;
    return interp;
}
