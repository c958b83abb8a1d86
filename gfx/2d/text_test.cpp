// Text with the 2D toolkit's fonts: widths, heights, bitmap quads and batches, outline strokes, flowing into a box.
#include <cmath>
#include <string>

#include "gfx/2d/twod_testing.h"
#include "gfx/core/stream.h"

namespace {

// In read-only memory: a flow that wrote into its string would fault here.
const char kFlowText[] = "aa bb";

class Text2D : public Gx2DTest {
protected:
    void SetUp() override
    {
        Gx2DTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        GxTexture* page = MakeTexture("textpage", 64, 32);
        ASSERT_NE(page, nullptr);
        GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), page);
        // a: 0.5, b: 0.75, space: 0.25 (all 16-pixel cells), z: no width at all.
        bitmap =
            Gx2DTestReadMetrics("METRICS1\ntextpage\n4\n97 0 0 8 16\n98 8 0 20 16\n32 20 0 24 16\n122 30 0 30 16\n");
        outline = Gx2DTestReadMetrics("METRICS3\nname\n a\nbegin\nmoveto 0 0\nlineto 0.5 1\nlineto 0.5 0\nend\n");
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(outline, nullptr);
        brush = Gx2DBrushCreate();
    }
    void TearDown() override
    {
        Gx2DBrushDestroy(brush);
        Gx2DFontDestroy(bitmap);
        Gx2DFontDestroy(outline);
        Gx2DTest::TearDown();
    }

    // Left x of every quad drawn, in user units of the string's own space.
    static std::vector<GxReal> QuadLefts()
    {
        std::vector<GxReal> lefts;
        for (const Gx2DTestBatch& batch : gx2DTestBatches) {
            for (size_t i = 0; i < batch.vertices.size(); i += 4) {
                lefts.push_back(batch.vertices[i].objVertex.x);
            }
        }
        return lefts;
    }

    Gx2DFont* bitmap = nullptr;
    Gx2DFont* outline = nullptr;
    Gx2DBrush* brush = nullptr;
};

TEST_F(Text2D, WidthsAndHeights)
{
    EXPECT_FLOAT_EQ(Gx2DFontGetStringWidth(bitmap, "ab", 2.0f), 2.5f);
    EXPECT_FLOAT_EQ(Gx2DFontGetStringWidth(bitmap, "a?b", 1.0f), 1.25f);  // no glyph, no width
    EXPECT_FLOAT_EQ(Gx2DFontGetStringWidth(bitmap, "", 1.0f), 0.0f);
    // A 16-pixel font on a 480-pixel-high view is 16/480 of user space high.
    EXPECT_TRUE(Gx2DTestNear(Gx2DFontGetHeight(bitmap), 16.0f / 480.0f, 1e-5f));
}

TEST_F(Text2D, BitmapStringsAreQuadsInBatchesOfSixtyFourAndMoveThePosition)
{
    GxV2d position = {0.1f, 0.2f};
    Gx2DFontShowString(bitmap, "a?b", 0.1f, &position, brush);
    EXPECT_TRUE(Gx2DTestNear(position.x, 0.1f + 0.125f));
    EXPECT_FLOAT_EQ(position.y, 0.2f);
    ASSERT_EQ(gx2DTestBatches.size(), 1u);
    const Gx2DTestBatch& batch = gx2DTestBatches[0];
    EXPECT_EQ(batch.primType, gxPRIMTYPETRILIST);
    EXPECT_EQ(batch.flags, static_cast<GxUInt32>(gxIM3DVERTEXUV | gxIM3DNOCLIPPING));
    ASSERT_EQ(batch.vertices.size(), 8u);
    ASSERT_EQ(batch.indices.size(), 12u);
    const GxIm3DVertex* v = batch.vertices.data();
    // The b quad starts where a ends; its top edge is v top, its bottom v bottom.
    EXPECT_FLOAT_EQ(v[4].objVertex.x, 0.5f);
    EXPECT_FLOAT_EQ(v[6].objVertex.x, 1.25f);
    EXPECT_FLOAT_EQ(v[5].objVertex.y, 1.0f);
    EXPECT_FLOAT_EQ(v[4].v, 16.5f / 32);
    EXPECT_FLOAT_EQ(v[5].v, 0.5f / 32);
    EXPECT_FLOAT_EQ(v[4].u, 8.5f / 64);

    gx2DTestBatches.clear();
    const std::string hundred(100, 'a');
    Gx2DFontShowString(bitmap, hundred.c_str(), 0.01f, &position, brush);
    ASSERT_EQ(gx2DTestBatches.size(), 2u);
    EXPECT_EQ(gx2DTestBatches[0].vertices.size(), 64u * 4);
    EXPECT_EQ(gx2DTestBatches[1].vertices.size(), 36u * 4);
}

TEST_F(Text2D, OutlineStringsStrokeTheirGlyphsAndLeaveThePosition)
{
    GxV2d position = {0.1f, 0.2f};
    Gx2DBrushSetHalfWidth(brush, 0.05f);
    Gx2DFontShowString(outline, "a?a", 0.1f, &position, brush);
    EXPECT_FLOAT_EQ(position.x, 0.1f);
    ASSERT_EQ(gx2DTestBatches.size(), 2u);
    // The second a is the same band, one advance (0.5 x 0.1 in user units) further on in world space.
    const Gx2DTestBatch& first = gx2DTestBatches[0];
    const Gx2DTestBatch& second = gx2DTestBatches[1];
    EXPECT_EQ(0, memcmp(first.vertices.data(), second.vertices.data(), sizeof(GxIm3DVertex) * first.vertices.size()));
    GxV3d a, b;
    GxV3dTransformPoint(&a, &first.vertices[0].objVertex, &first.matrix);
    GxV3dTransformPoint(&b, &second.vertices[0].objVertex, &second.matrix);
    GxV2d xStep, yStep, origin;
    Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin);
    const GxReal pixels = 0.05f / xStep.x;  // the advance in device pixels
    EXPECT_GT(std::fabs(a.x - b.x), 0.0f);
    EXPECT_TRUE(Gx2DTestNear(std::fabs(a.x - b.x) / (2.0f * 0.5f / 640.0f), pixels, 0.01f));
}

TEST_F(Text2D, ShadedStringsWithoutWidthKeepFiniteColours)
{
    const GxRGBA red = {255, 0, 0, 255};
    const GxRGBA blue = {0, 0, 255, 255};
    Gx2DBrushSetRGBA(brush, &red, &blue, &blue, &red);
    GxV2d position = {0.0f, 0.0f};
    Gx2DFontShowString(bitmap, "zz", 0.1f, &position, brush);
    ASSERT_EQ(gx2DTestBatches.size(), 1u);
    for (const GxIm3DVertex& v : gx2DTestBatches[0].vertices) {
        EXPECT_EQ(v.color, 0xFFFF0000u);
    }
}

TEST_F(Text2D, FlowWrapsAtSpacesJustifiesAndNeverWritesTheString)
{
    // "aa bb" is 1 + 0.25 + 1.5 wide; a box 2 units wide holds one word a line.
    const Gx2DRect box = {0.0f, 0.0f, 2.0f, 2.0f};
    const char* text = kFlowText;
    ASSERT_NE(Gx2DFontFlowString(bitmap, text, 1.0f, &box, gx2DJUSTIFYRIGHT, brush), nullptr);
    ASSERT_EQ(gx2DTestBatches.size(), 2u);
    // Right justified: each line ends at the box's right edge (quads are drawn in the line's own space,
    // so the right end of the last quad plus the line's x is 2).
    const std::vector<GxIm3DVertex>& first = gx2DTestBatches[0].vertices;
    const std::vector<GxIm3DVertex>& second = gx2DTestBatches[1].vertices;
    EXPECT_EQ(first.size(), 8u);   // "aa"
    EXPECT_EQ(second.size(), 8u);  // "bb"
    EXPECT_FLOAT_EQ(first.back().objVertex.x, 1.0f);
    EXPECT_FLOAT_EQ(second.back().objVertex.x, 1.5f);

    // Where the lines were put: the world matrix of each batch is not captured, so flow again with the
    // bitmap show swapped for a recorder of positions.
    static std::vector<GxV2d> starts;
    static std::vector<GxInt32> lengths;
    starts.clear();
    lengths.clear();
    Gx2DFontShowFunc saved = bitmap->showString;
    bitmap->showString = [](Gx2DFont* font, const void*, GxInt32 length, GxReal, GxV2d* position, Gx2DBrush*) {
        starts.push_back(*position);
        lengths.push_back(length);
        return font;
    };
    Gx2DFontFlowString(bitmap, text, 1.0f, &box, gx2DJUSTIFYRIGHT, brush);
    ASSERT_EQ(starts.size(), 2u);
    // The first line is cut by its length, the last runs to the string's end.
    EXPECT_EQ(lengths, (std::vector<GxInt32>{2, -1}));
    EXPECT_FLOAT_EQ(starts[0].x, 1.0f);  // 2 - width of "aa"
    EXPECT_FLOAT_EQ(starts[0].y, 1.0f);
    EXPECT_FLOAT_EQ(starts[1].x, 0.5f);  // 2 - width of "bb"
    EXPECT_FLOAT_EQ(starts[1].y, 0.0f);
    starts.clear();
    Gx2DFontFlowString(bitmap, text, 1.0f, &box, gx2DJUSTIFYCENTER, brush);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_FLOAT_EQ(starts[0].x, 0.5f);
    bitmap->showString = saved;

    // A box exactly as wide as "aa" and one line high: "aa" is drawn and the flow reports the overflow.
    gx2DTestBatches.clear();
    const Gx2DRect narrow = {0.0f, 0.0f, 1.0f, 1.0f};
    EXPECT_EQ(Gx2DFontFlowString(bitmap, "aa bb", 1.0f, &narrow, gx2DJUSTIFYLEFT, brush), nullptr);
    ASSERT_EQ(gx2DTestBatches.size(), 1u);
    EXPECT_EQ(gx2DTestBatches[0].vertices.size(), 8u);
    // A word wider than the box moves down line by line until the box is full.
    EXPECT_EQ(Gx2DFontFlowString(bitmap, "bbbbbb", 1.0f, &box, gx2DJUSTIFYLEFT, brush), nullptr);
    EXPECT_EQ(Gx2DFontFlowString(bitmap, "aa", 0.0f, &box, gx2DJUSTIFYLEFT, brush), nullptr);
}

}  // namespace
