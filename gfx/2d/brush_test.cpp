// The 2D toolkit's brushes, fills and strokes: corner colours, strips, miters and the 254-vertex batch seam.
#include <cmath>
#include <set>
#include <tuple>

#include "gfx/2d/twod_testing.h"

namespace {

using Brush2D = Gx2DTest;

constexpr GxRGBA kRed = {255, 0, 0, 255};
constexpr GxRGBA kGreen = {0, 255, 0, 255};
constexpr GxRGBA kBlue = {0, 0, 255, 255};
constexpr GxRGBA kWhite = {255, 255, 255, 255};

GxUInt32 Packed(const GxRGBA& c)
{
    return static_cast<GxUInt32>(c.alpha) << 24 | static_cast<GxUInt32>(c.red) << 16 |
           static_cast<GxUInt32>(c.green) << 8 | c.blue;
}

// Triangles of a strip as sets of rounded positions, so batches can be compared with one whole strip.
using Corner = std::tuple<long, long>;
using Triangle = std::set<Corner>;
std::set<Triangle> StripTriangles(const std::vector<GxIm3DVertex>& v)
{
    std::set<Triangle> triangles;
    for (size_t i = 2; i < v.size(); i++) {
        Triangle t;
        for (size_t k = i - 2; k <= i; k++) {
            t.insert({std::lround(v[k].objVertex.x * 1000), std::lround(v[k].objVertex.y * 1000)});
        }
        if (t.size() == 3) {
            triangles.insert(t);
        }
    }
    return triangles;
}

TEST_F(Brush2D, ColoursAndCoordinatesSetTheShadedAndTexturedFlags)
{
    Gx2DBrush* brush = Gx2DBrushCreate();
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->flags, 0u);
    EXPECT_FLOAT_EQ(brush->halfWidth, 0.5f);
    Gx2DBrushSetRGBA(brush, &kRed, &kRed, &kRed, &kRed);
    EXPECT_EQ(brush->flags & gx2DBRUSHSHADED, 0u);
    GxRGBA translucent = kRed;
    translucent.alpha = 128;
    Gx2DBrushSetRGBA(brush, &kRed, &kRed, &translucent, &kRed);
    EXPECT_NE(brush->flags & gx2DBRUSHSHADED, 0u);

    const GxV2d t1 = {0, 0}, t2 = {1, 0}, t3 = {1, 1}, t4 = {0, 1};
    Gx2DBrushSetUV(brush, &t1, &t2, &t3, &t4);
    EXPECT_NE(brush->flags & gx2DBRUSHTEXTURED, 0u);
    GxTexture* texture = MakeTexture("brushpage", 4, 4);
    ASSERT_NE(texture, nullptr);
    Gx2DBrushSetTexture(brush, texture);
    Gx2DBrushSetTexture(brush, texture);  // the brush's own texture again
    EXPECT_EQ(texture->refCount, 2);
    Gx2DBrushSetUV(brush, &t1, &t1, &t1, &t1);
    EXPECT_EQ(brush->flags & gx2DBRUSHTEXTURED, 0u);

    // A second holder keeps the brush alive.
    brush->refCount++;
    EXPECT_FALSE(Gx2DBrushDestroy(brush));
    EXPECT_EQ(brush->refCount, 1);
    EXPECT_TRUE(Gx2DBrushDestroy(brush));
    EXPECT_EQ(texture->refCount, 1);
    GxTextureDestroy(texture);
}

TEST_F(Brush2D, FilledRectangleTakesItsCornerColoursAndSkipsOpenSubpaths)
{
    Gx2DBrush* brush = Gx2DBrushCreate();
    Gx2DBrushSetRGBA(brush, &kRed, &kGreen, &kBlue, &kWhite);
    Gx2DPath* path = Gx2DPathCreate();
    Gx2DPathMoveto(path, 5.0f, 5.0f);  // an open subpath first
    Gx2DPathLineto(path, 6.0f, 5.0f);
    Gx2DPathLineto(path, 6.0f, 6.0f);
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    Gx2DPathLineto(path, 2.0f, 0.0f);
    Gx2DPathLineto(path, 2.0f, 1.0f);
    Gx2DPathLineto(path, 0.0f, 1.0f);
    Gx2DPathClosePath(path);
    Gx2DPathFill(path, brush);
    ASSERT_EQ(gx2DTestBatches.size(), 1u);
    const Gx2DTestBatch& batch = gx2DTestBatches[0];
    EXPECT_EQ(batch.primType, gxPRIMTYPETRISTRIP);
    EXPECT_EQ(batch.flags, 0u);
    ASSERT_EQ(batch.vertices.size(), 5u);
    for (const GxIm3DVertex& v : batch.vertices) {
        EXPECT_LT(v.objVertex.x, 3.0f);  // nothing of the open subpath
        EXPECT_FLOAT_EQ(v.objVertex.z, 1.0f);
        const bool left = v.objVertex.x < 1.0f;
        const bool bottom = v.objVertex.y < 0.5f;
        const GxRGBA& want = bottom ? (left ? kRed : kGreen) : (left ? kWhite : kBlue);
        EXPECT_EQ(v.color, Packed(want)) << v.objVertex.x << ", " << v.objVertex.y;
    }
    // The middle of the bottom edge would be half red, half green: the ramp is linear across.
    EXPECT_EQ(Gx2DBrushColourAt(brush, 0.5f, 0.0f), 0xFF7F7F00u);
    Gx2DPathDestroy(path);
    Gx2DBrushDestroy(brush);
}

TEST_F(Brush2D, LongOutlineFillsInBatchesThatContinueTheStrip)
{
    constexpr GxInt32 kPoints = 300;
    Gx2DPath* path = Gx2DPathCreate();
    for (GxInt32 i = 0; i < kPoints; i++) {
        const GxReal a = 6.2831853f * static_cast<GxReal>(i) / kPoints;
        if (i == 0) {
            Gx2DPathMoveto(path, std::cos(a), std::sin(a));
        } else {
            Gx2DPathLineto(path, std::cos(a), std::sin(a));
        }
    }
    Gx2DPathClosePath(path);
    Gx2DBrush* brush = Gx2DBrushCreate();
    Gx2DPathFill(path, brush);
    ASSERT_EQ(gx2DTestBatches.size(), 2u);
    const auto& first = gx2DTestBatches[0].vertices;
    const auto& second = gx2DTestBatches[1].vertices;
    EXPECT_EQ(first.size(), 254u);
    ASSERT_GE(second.size(), 3u);
    EXPECT_EQ(0, memcmp(&second[0], &first[252], sizeof(GxIm3DVertex) * 2));

    // The two batches hold exactly the triangles of the whole strip drawn at once.
    std::vector<GxIm3DVertex> whole = first;
    whole.insert(whole.end(), second.begin() + 2, second.end());
    std::set<Triangle> batched = StripTriangles(first);
    for (const Triangle& t : StripTriangles(second)) {
        batched.insert(t);
    }
    EXPECT_EQ(batched, StripTriangles(whole));
    EXPECT_EQ(whole.size(), static_cast<size_t>(kPoints + 1));  // every point once, the start twice
    Gx2DPathDestroy(path);
    Gx2DBrushDestroy(brush);
}

TEST_F(Brush2D, StrokeIsAMiteredBandThatRestartsItsLastPairAfterABatch)
{
    Gx2DBrush* brush = Gx2DBrushCreate();
    Gx2DPath* path = Gx2DPathCreate();
    Gx2DPathRect(path, 0.0f, 0.0f, 1.0f, 1.0f);
    Gx2DPathStroke(path, brush);
    ASSERT_EQ(gx2DTestBatches.size(), 1u);
    const auto& v = gx2DTestBatches[0].vertices;
    ASSERT_EQ(v.size(), 10u);
    // At the start corner: 0.5 outside on both axes and 0.5 inside on both.
    EXPECT_TRUE(Gx2DTestNear(v[0].objVertex.x, 0.5f) && Gx2DTestNear(v[0].objVertex.y, 0.5f));
    EXPECT_TRUE(Gx2DTestNear(v[1].objVertex.x, -0.5f) && Gx2DTestNear(v[1].objVertex.y, -0.5f));
    // At (1, 0): inside (0.5, 0.5), outside (1.5, -0.5); the band closes on the start corner.
    EXPECT_TRUE(Gx2DTestNear(v[2].objVertex.x, 0.5f) && Gx2DTestNear(v[2].objVertex.y, 0.5f));
    EXPECT_TRUE(Gx2DTestNear(v[3].objVertex.x, 1.5f) && Gx2DTestNear(v[3].objVertex.y, -0.5f));
    EXPECT_EQ(0, memcmp(&v[8], &v[0], sizeof(GxIm3DVertex) * 2));

    // 200 points give 400 vertices: 254, then the 127th point's pair again and the rest.
    gx2DTestBatches.clear();
    Gx2DPathEmpty(path);
    Gx2DPathMoveto(path, 0.0f, 0.0f);
    for (GxInt32 i = 1; i < 200; i++) {
        Gx2DPathLineto(path, static_cast<GxReal>(i), static_cast<GxReal>(i % 2));
    }
    Gx2DPathStroke(path, brush);
    ASSERT_EQ(gx2DTestBatches.size(), 2u);
    const auto& a = gx2DTestBatches[0].vertices;
    const auto& b = gx2DTestBatches[1].vertices;
    EXPECT_EQ(a.size(), 254u);
    EXPECT_EQ(b.size(), 400u - 254u + 2u);
    EXPECT_EQ(0, memcmp(&b[0], &a[252], sizeof(GxIm3DVertex) * 2));
    Gx2DPathDestroy(path);
    Gx2DBrushDestroy(brush);
}

TEST_F(Brush2D, ZeroExtentShapesGiveFiniteRamps)
{
    Gx2DBrush* brush = Gx2DBrushCreate();
    Gx2DBrushSetRGBA(brush, &kRed, &kGreen, &kBlue, &kWhite);
    const GxV2d t1 = {0, 0}, t2 = {1, 0}, t3 = {1, 1}, t4 = {0, 1};
    Gx2DBrushSetUV(brush, &t1, &t2, &t3, &t4);
    Gx2DPath* path = Gx2DPathCreate();
    Gx2DPathRect(path, 0.5f, 0.5f, 0.0f, 0.3f);  // no width
    Gx2DPathFill(path, brush);
    Gx2DPathStroke(path, brush);
    Gx2DPathEmpty(path);
    Gx2DPathMoveto(path, 0.2f, 0.2f);
    Gx2DPathLineto(path, 0.2f, 0.2f);  // no length
    Gx2DPathStroke(path, brush);
    const std::vector<GxIm3DVertex> all = Gx2DTestAllVertices();
    ASSERT_FALSE(all.empty());
    for (const GxIm3DVertex& v : all) {
        EXPECT_TRUE(std::isfinite(v.objVertex.x) && std::isfinite(v.objVertex.y));
        EXPECT_TRUE(std::isfinite(v.u) && std::isfinite(v.v));
    }
    // Without a width the fill has no ramp across: every vertex takes the left edge's colour.
    for (const GxIm3DVertex& v : gx2DTestBatches[0].vertices) {
        const GxUInt32 left = v.objVertex.y < 0.6f ? Packed(kRed) : Packed(kWhite);
        EXPECT_EQ(v.color, left);
    }
    Gx2DPathDestroy(path);
    Gx2DBrushDestroy(brush);
}

}  // namespace
