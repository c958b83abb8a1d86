// Test fixture: a test window and the engine on the software Direct3D device, with rasters destroyed after each test.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gfx/d3d9/d3d9_testing.h"

class GxD3D9SoftwareTest : public ::testing::Test {
protected:
    // Without start the test opens and starts the engine itself.
    explicit GxD3D9SoftwareTest(int width = 64, int height = 64, bool start = true)
        : windowWidth(width), windowHeight(height), startInSetUp(start)
    {
    }

    // Plugins a test needs go in here, between init and open.
    virtual void AttachPlugins() {}

    void SetUp() override
    {
        GxD3D9TestUseBackend("software");
        window = GxD3D9TestWindow(windowWidth, windowHeight);
        ASSERT_NE(window, nullptr);
        if (startInSetUp) {
            GxEngineSetDriver(GxD3D9GetDriver());
            ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
            AttachPlugins();
            if (HasFatalFailure()) {
                return;
            }
            ASSERT_TRUE(GxEngineOpen(&window));
            ASSERT_TRUE(GxEngineStart());
        }
        GxTestTakeError();
    }
    void TearDown() override
    {
        // Newest first, so sub-rasters go before their parents.
        for (auto it = rasters.rbegin(); it != rasters.rend(); ++it) {
            GxRasterDestroy(*it);
        }
        rasters.clear();
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

private:
    int windowWidth;
    int windowHeight;
    bool startInSetUp;
};
