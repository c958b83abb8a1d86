// Test support of the animation module: an engine with the world objects and the animation plugins.
#pragma once

#include <gtest/gtest.h>

#include "gfx/anim/anim.h"
#include "gfx/world/world_testing.h"

// Starts an engine with the world modules and the keyframe, hierarchy and skin plugins.
inline bool GxAnimEngineStart(void)
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(nullptr, 0, 0x400000) && GxWorldObjectsPluginAttach() && GxAnimPluginAttach() &&
           GxAnimHierarchyPluginAttach() && GxSkinPluginAttach() && GxEngineOpen(&window) && GxEngineStart();
}

inline void GxAnimFuzzStart(void)
{
    static const bool started = GxAnimEngineStart();
    if (!started) {
        std::abort();
    }
}

class AnimTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(GxAnimEngineStart()); }
    void TearDown() override { GxTestEngineShutdown(); }
};

// The last error's (plugin, code), cleared.
inline std::pair<GxInt32, GxInt32> GxAnimTestTakeError(void)
{
    GxError error = {0, 0};
    GxErrorGet(&error);
    return {error.pluginID, error.errorCode};
}
