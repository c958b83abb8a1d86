// The 2D toolkit end to end on the OpenGL back end: a filled and a stroked path and a line of text, read back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/2d/twod_testing.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

class Draw2D : public Gx2DOpenGLTest {
protected:
    Draw2D() : Gx2DOpenGLTest(kWidth, kHeight) {}

    // A font of one glyph, 'A', whose cell is solid white: text shows as blocks of the brush colour.
    Gx2DFont* BlockFont()
    {
        return Gx2DTestAddBlockPage("block") ? Gx2DTestReadMetrics("METRICS1\nblock\n0\n65 0 0 8 16\n") : nullptr;
    }

    // The frame buffer without alpha.
    std::vector<GxUInt32> ReadRgb()
    {
        std::vector<GxUInt32> pixels = ReadBack();
        for (GxUInt32& pixel : pixels) {
            pixel &= 0xFFFFFFu;
        }
        return pixels;
    }
};

TEST_F(Draw2D, FilledAndStrokedPathsAndTextReadBack)
{
    Gx2DFont* font = BlockFont();
    ASSERT_NE(font, nullptr);
    ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));

    // User space: 240 pixels to the unit, origin at the bottom-left corner.
    const GxRGBA red = {255, 0, 0, 255};
    const GxRGBA green = {0, 255, 0, 255};
    const GxRGBA blue = {0, 0, 255, 255};
    Gx2DBrush* brush = Gx2DBrushCreate();
    Gx2DPath* path = Gx2DPathCreate();
    Gx2DBrushSetRGBA(brush, &red, &red, &red, &red);
    Gx2DPathRect(path, 0.1f, 0.1f, 0.4f, 0.4f);
    Gx2DPathFill(path, brush);

    Gx2DPathEmpty(path);
    Gx2DPathMoveto(path, 0.7f, 0.2f);
    Gx2DPathLineto(path, 1.2f, 0.2f);
    Gx2DPathLineto(path, 1.2f, 0.45f);
    Gx2DBrushSetRGBA(brush, &green, &green, &green, &green);
    Gx2DBrushSetHalfWidth(brush, 0.02f);
    Gx2DPathStroke(path, brush);

    Gx2DBrushSetRGBA(brush, &blue, &blue, &blue, &blue);
    GxV2d position = {0.1f, 0.7f};
    Gx2DFontShowString(font, "AAA", 0.1f, &position, brush);
    EXPECT_FLOAT_EQ(position.x, 0.25f);
    ASSERT_NE(GxCameraEndUpdate(camera), nullptr);

    const std::vector<GxUInt32> pixels = ReadRgb();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * width + x)]; };
    EXPECT_EQ(at(72, 168), 0xFF0000u);   // inside the square (pixels 24..120 by 120..216)
    EXPECT_EQ(at(130, 168), 0u);         // right of it
    EXPECT_EQ(at(228, 192), 0x00FF00u);  // on the bottom stroke
    EXPECT_EQ(at(288, 150), 0x00FF00u);  // on the right stroke
    EXPECT_EQ(at(228, 170), 0u);         // between the strokes
    EXPECT_EQ(at(30, 65), 0x0000FFu);    // in the first A (pixels 24..36 by 48..72)
    EXPECT_EQ(at(55, 65), 0x0000FFu);    // in the third A (48..60)
    EXPECT_EQ(at(66, 65), 0u);           // after the text

    Gx2DPathDestroy(path);
    Gx2DBrushDestroy(brush);
    Gx2DFontDestroy(font);
}

}  // namespace
