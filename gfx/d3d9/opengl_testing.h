// Test fixture: the engine started on the OpenGL back end in an offscreen window, a camera of the window's size,
// and the frame buffer read back; skipped where no OpenGL window, context or back end is to be had.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/d3d9/d3d9_testing.h"

class GxD3D9OpenGLTest : public ::testing::Test {
protected:
    GxD3D9OpenGLTest(int width, int height) : width(width), height(height) {}

    void SetUp() override
    {
        GxD3D9TestUseBackend("opengl");
        window = GxD3D9TestWindow(width, height);
        // The window is made for OpenGL, so a video driver without GL has none to give.
        if (!window) {
            GTEST_SKIP() << "no OpenGL window here";
        }
        if (!GxD3D9TestEngineOpen(&window)) {
            GTEST_SKIP() << "no OpenGL context here";
        }
        D3DADAPTER_IDENTIFIER9 id = {};
        gxD3D9State.d3d->GetAdapterIdentifier(0, 0, &id);
        if (std::string(id.Driver) != "opengl") {
            GTEST_SKIP() << "the OpenGL back end is not available";
        }
        ASSERT_TRUE(GxEngineSetVideoMode(0));
        ASSERT_TRUE(GxEngineStart());
        camera = GxTestCameraCreate(width, height);
        ASSERT_NE(camera, nullptr);
    }
    void TearDown() override
    {
        GxTestCameraDestroy(camera);
        GxD3D9TestEngineShutdown();
        if (window) {
            DestroyWindow(window);
        }
    }

    // True when SetUp ran to the end; a derived SetUp returns at once otherwise.
    bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }

    // The frame buffer as the engine reads it back, 0xAARRGGBB a pixel row by row; empty when it cannot be locked.
    std::vector<GxUInt32> ReadBack()
    {
        std::vector<GxUInt32> pixels;
        GxRaster* raster = camera->frameBuffer;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits) {
            return pixels;
        }
        EXPECT_EQ(raster->depth, 32);
        for (int y = 0; y < height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            pixels.insert(pixels.end(), row, row + width);
        }
        GxRasterUnlock(raster);
        return pixels;
    }

    const int width;
    const int height;
    HWND window = nullptr;
    GxCamera* camera = nullptr;
};
