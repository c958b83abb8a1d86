// Test fixture: a test window and the engine on the software Direct3D device, with rasters destroyed after each test.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/testsupport/engine_gtest.h"

class GxD3D9SoftwareTest : public ::testing::Test {
protected:
    // Without start the test opens and starts the engine itself in `window`.
    explicit GxD3D9SoftwareTest(int width = kGxTestWindowSize, int height = kGxTestWindowSize, bool start = true)
        : windowWidth(width), windowHeight(height), startInSetUp(start)
    {}

    // Plugins a test needs go in here, between init and open.
    virtual void AttachPlugins() {}

    void SetUp() override
    {
        if (!startInSetUp) {
            GxTestUseBackend(GxTestBackend::kSoftware);
            window = GxD3D9TestWindow(windowWidth, windowHeight);
            ASSERT_NE(window, nullptr);
            GxTestTakeError();
            return;
        }
        GxTestEngineSetup setup;
        setup.width = windowWidth;
        setup.height = windowHeight;
        setup.files = false;
        setup.memory = memoryFunctions;
        setup.plugins = [this] {
            AttachPlugins();
            return !HasFatalFailure();
        };
        engine.emplace(setup);
        if (HasFatalFailure()) {
            return;
        }
        GX_ASSERT_ENGINE_STARTED(*engine);
        window = engine->Window();
    }
    void TearDown() override
    {
        // Newest first, so sub-rasters go before their parents.
        for (auto it = rasters.rbegin(); it != rasters.rend(); ++it) {
            GxRasterDestroy(*it);
        }
        rasters.clear();
        if (engine) {
            engine.reset();
            return;
        }
        GxD3D9TestEngineShutdown();
        DestroyWindow(window);
    }

    // Keeps a raster for destruction after the test; null passes through.
    GxRaster* Keep(GxRaster* raster)
    {
        if (raster != nullptr) {
            rasters.push_back(raster);
        }
        return raster;
    }

    HWND window = nullptr;
    std::vector<GxRaster*> rasters;
    std::optional<GxTestEngine> engine;
    const GxMemoryFunctions* memoryFunctions = nullptr;  // the engine's (null: the default ones)

private:
    int windowWidth;
    int windowHeight;
    bool startInSetUp;
};
