// End to end on the OpenGL back end: a window, a cleared camera, a 2D triangle, a 3D line strip, the frame shown.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/testsupport/opengl_fixture.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr GxUInt32 background = 0xFF1E3C78u;  // (30, 60, 120)
constexpr GxUInt32 red = kDemoTriangleColour;
constexpr GxUInt32 green = kDemoStripColour;

class MainRoad : public GxD3D9OpenGLTest {
protected:
    MainRoad() : GxD3D9OpenGLTest(kWidth, kHeight) {}

    void DrawFrame()
    {
        GxRGBA colour = {30, 60, 120, 255};
        ASSERT_NE(GxCameraClear(camera, &colour, 3), nullptr);
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
        EXPECT_TRUE(GxDemoDrawTriangle2D());
        EXPECT_TRUE(GxDemoDrawLineStrip3D());
        ASSERT_NE(GxCameraEndUpdate(camera), nullptr);
    }

    // The frame buffer with alpha set, as the colours above carry it.
    std::vector<GxUInt32> ReadOpaque()
    {
        std::vector<GxUInt32> pixels = ReadBack();
        for (GxUInt32& pixel : pixels) {
            pixel |= 0xFF000000u;
        }
        return pixels;
    }

    // True when the colour is at (x, y) or one pixel beside it (lines may fall on either side of a pixel edge).
    bool Near(const std::vector<GxUInt32>& pixels, int x, int y, GxUInt32 colour)
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
};

}  // namespace

TEST_F(MainRoad, ClearTriangleAndLineStripReadBack)
{
    DrawFrame();
    const std::vector<GxUInt32> pixels = ReadOpaque();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    EXPECT_EQ(pixels[10 * width + 300], background);
    EXPECT_EQ(pixels[120 * width + 160], background);  // the strip is not closed back to its start
    EXPECT_EQ(pixels[210 * width + 90], red);
    EXPECT_EQ(pixels[230 * width + 90], background);  // below the triangle
    EXPECT_TRUE(Near(pixels, 160, 60, green));        // along the top of the strip
    EXPECT_TRUE(Near(pixels, 240, 120, green));       // down its side
    ASSERT_NE(GxCameraShowRaster(camera, window, 0), nullptr);

    // The next frame draws the same after the show.
    DrawFrame();
    EXPECT_EQ(ReadOpaque(), pixels);
    ASSERT_NE(GxCameraShowRaster(camera, window, 0), nullptr);
}
