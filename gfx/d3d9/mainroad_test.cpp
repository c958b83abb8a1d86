// End to end on the OpenGL back end: a window, a cleared camera, a 2D triangle, a 3D line strip, the frame shown.
#include <gtest/gtest.h>

#include <string>

#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/im3d.h"

namespace {

constexpr int width = 320;
constexpr int height = 240;
constexpr GxUInt32 background = 0xFF1E3C78u;  // (30, 60, 120)
constexpr GxUInt32 red = 0xFFFF0000u;
constexpr GxUInt32 green = 0xFF00FF00u;

class MainRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        GxD3D9TestUseBackend("opengl");
        window = GxD3D9TestWindow(width, height);
        ASSERT_NE(window, nullptr);
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
        camera = GxD3D9TestCameraCreate(width, height);
        ASSERT_NE(camera, nullptr);
    }
    void TearDown() override
    {
        GxD3D9TestCameraDestroy(camera);
        GxD3D9TestEngineShutdown();
        if (window) {
            DestroyWindow(window);
        }
    }

    void DrawFrame()
    {
        GxRGBA colour = {30, 60, 120, 255};
        ASSERT_NE(GxCameraClear(camera, &colour, 3), nullptr);
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);

        GxIm2DVertex tri[3] = {};
        // Counter-clockwise on screen: the engine culls clockwise faces.
        const float xy[3][2] = {{20.0f, 220.0f}, {140.0f, 220.0f}, {100.0f, 140.0f}};
        for (int i = 0; i < 3; i++) {
            tri[i].x = xy[i][0];
            tri[i].y = xy[i][1];
            tri[i].rhw = 1.0f;
            tri[i].emissiveColor = red;
        }
        EXPECT_TRUE(GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive(3, tri, 3));

        // At depth 5 with a view window of 1, x and y of 2.5 land a quarter in from the edges.
        GxIm3DVertex strip[3] = {};
        const float p[3][3] = {{2.5f, 2.5f, 5.0f}, {-2.5f, 2.5f, 5.0f}, {-2.5f, -2.5f, 5.0f}};
        for (int i = 0; i < 3; i++) {
            strip[i].objVertex = {p[i][0], p[i][1], p[i][2]};
            strip[i].color = green;
        }
        ASSERT_NE(GxIm3DTransform(strip, 3, nullptr, 0), nullptr);
        EXPECT_TRUE(GxIm3DRenderPrimitive(2));
        EXPECT_TRUE(GxIm3DEnd());
        ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
    }

    // The frame buffer as the engine reads it back.
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
            for (int x = 0; x < width; x++) {
                pixels.push_back(row[x] | 0xFF000000u);
            }
        }
        GxRasterUnlock(raster);
        return pixels;
    }

    // True when the colour is at (x, y) or one pixel beside it (lines may fall on either side of a pixel edge).
    static bool Near(const std::vector<GxUInt32>& pixels, int x, int y, GxUInt32 colour)
    {
        for (int dy = -1; dy <= 1; dy++) {
            for (int dx = -1; dx <= 1; dx++) {
                if (pixels[static_cast<size_t>((y + dy) * width + x + dx)] == colour) {
                    return true;
                }
            }
        }
        return false;
    }

    HWND window = nullptr;
    GxCamera* camera = nullptr;
};

}  // namespace

TEST_F(MainRoad, ClearTriangleAndLineStripReadBack)
{
    DrawFrame();
    const std::vector<GxUInt32> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    EXPECT_EQ(pixels[10 * width + 300], background);
    EXPECT_EQ(pixels[120 * width + 160], background);  // the strip is not closed back to its start
    EXPECT_EQ(pixels[210 * width + 90], red);
    EXPECT_EQ(pixels[230 * width + 90], background);    // below the triangle
    EXPECT_TRUE(Near(pixels, 160, 60, green));           // along the top of the strip
    EXPECT_TRUE(Near(pixels, 240, 120, green));          // down its side
    ASSERT_NE(GxCameraShowRaster(camera, window, 0), nullptr);

    // The next frame draws the same after the show.
    DrawFrame();
    EXPECT_EQ(ReadBack(), pixels);
    ASSERT_NE(GxCameraShowRaster(camera, window, 0), nullptr);
}
