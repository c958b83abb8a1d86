// Test fixture: the OpenGL draw fixture with a camera of the window's size and the frame buffer read back.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/raster.h"
#include "gfx/testsupport/demo_scene.h"
#include "gfx/testsupport/engine_gtest.h"

class GxD3D9OpenGLTest : public GxTestGLDraw {
protected:
    GxD3D9OpenGLTest(int width, int height) : GxTestGLDraw(width, height) { engineSetup.files = false; }

    void SetUp() override
    {
        GxTestGLDraw::SetUp();
        if (!Ready()) {
            return;
        }
        camera = GxTestCameraCreate(width, height);
        ASSERT_NE(camera, nullptr);
    }
    void TearDown() override
    {
        GxTestCameraDestroy(camera);
        camera = nullptr;
        GxTestGLDraw::TearDown();
    }

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

    GxCamera* camera = nullptr;
};
