// Debug text: quads for the 8 x 14 character set, clipping at the screen edges, and the states a print restores.
#include <cstdint>
#include <string>

#include "gfx/2d/charset.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/renderstate.h"
#include "gfx/testsupport/software_fixture.h"

namespace {

constexpr GxInt32 kScreenWidth = 320;
constexpr GxInt32 kScreenHeight = 240;

struct Drawn {
    std::vector<GxIm2DVertex> vertices;
    std::vector<GxUInt16> indices;
};
std::vector<Drawn> drawn;

GxBool Capture(GxInt32, void* vertices, GxInt32 numVertices, GxUInt16* indices, GxInt32 numIndices)
{
    const auto* v = static_cast<GxIm2DVertex*>(vertices);
    drawn.push_back(
        {std::vector<GxIm2DVertex>(v, v + numVertices), std::vector<GxUInt16>(indices, indices + numIndices)});
    return 1;
}

class Charset : public GxD3D9SoftwareTest {
protected:
    Charset() : GxD3D9SoftwareTest(kScreenWidth, kScreenHeight) {}
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        camera = GxTestCameraCreate(kScreenWidth, kScreenHeight);
        ASSERT_NE(camera, nullptr);
        charset = Keep(
            GxRasterCreate(gxCHARSETRASTERSIZE, gxCHARSETRASTERSIZE, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888));
        ASSERT_NE(charset, nullptr);
        GxEngineInstance->curCamera = camera;
        drawn.clear();
    }
    void TearDown() override
    {
        GxEngineInstance->curCamera = nullptr;
        GxTestCameraDestroy(camera);
        GxD3D9SoftwareTest::TearDown();
    }

    GxInt32 Build(const std::string& text, GxInt32 x, GxInt32 y)
    {
        vertices.assign(text.size() * 4, GxIm2DVertex{});
        indices.assign(text.size() * 6, 0);
        return GxCharsetBuildQuads(text.c_str(), static_cast<GxInt32>(text.size()), charset, x, y, vertices.data(),
                                   indices.data(), 0);
    }

    GxCamera* camera = nullptr;
    GxCharset* charset = nullptr;
    std::vector<GxIm2DVertex> vertices;
    std::vector<GxUInt16> indices;
};

TEST_F(Charset, QuadsTakeTheirCellsAndClipAtTheScreenEdges)
{
    ASSERT_EQ(Build("A", 10, 20), 1);
    const GxReal cellLeft = static_cast<GxReal>(GxCharsetCellLeft('A'));
    const GxReal cellTop = static_cast<GxReal>(GxCharsetCellTop('A'));
    EXPECT_FLOAT_EQ(vertices[0].x, 10.0f);
    EXPECT_FLOAT_EQ(vertices[2].x, 18.0f);
    EXPECT_FLOAT_EQ(vertices[2].y, 34.0f);
    EXPECT_FLOAT_EQ(vertices[0].u, (cellLeft + 0.5f) / 128);
    EXPECT_FLOAT_EQ(vertices[0].v, (cellTop + 0.5f) / 128);
    EXPECT_EQ(vertices[0].emissiveColor, 0xFFFFFFFFu);
    EXPECT_EQ(indices[4], 2);

    // At x = -4 the first character shows its right half.
    ASSERT_EQ(Build("A", -4, 20), 1);
    EXPECT_FLOAT_EQ(vertices[0].x, 0.0f);
    EXPECT_FLOAT_EQ(vertices[0].u, (cellLeft + 4.5f) / 128);

    // 50 characters from 8 pixels before the right edge: one quad, 7 pixels wide.
    ASSERT_EQ(Build(std::string(50, 'B'), kScreenWidth - 8, 20), 1);
    EXPECT_FLOAT_EQ(vertices[2].x - vertices[0].x, 7.0f);
    EXPECT_FLOAT_EQ((vertices[2].u - vertices[0].u) * 128, 7.0f);

    // Every code draws a quad: cell i = code - 32 of a signed byte, laid out by truncating division, so codes
    // below the set and bytes of 128 and more take coordinates before the raster's start; a code above the set
    // draws the blank cell behind the last character.
    ASSERT_EQ(Build(std::string("A\x01\x80{B"), 0, 0), 5);
    EXPECT_FLOAT_EQ(vertices[4].x, 8.0f);
    EXPECT_FLOAT_EQ(vertices[4].u, (-27.0f + 0.5f) / 128);  // i = -31: column -3, row -2
    EXPECT_FLOAT_EQ(vertices[4].v, (-30.0f + 0.5f) / 128);
    EXPECT_FLOAT_EQ(vertices[8].u, (-54.0f + 0.5f) / 128);  // 0x80 reads as -128: i = -160, column -6, row -11
    EXPECT_FLOAT_EQ(vertices[8].v, (-165.0f + 0.5f) / 128);
    EXPECT_FLOAT_EQ(vertices[12].x, 24.0f);
    EXPECT_FLOAT_EQ(vertices[12].u, (static_cast<GxReal>(GxCharsetCellLeft('{')) + 0.5f) / 128);
    EXPECT_FLOAT_EQ(vertices[16].x, 32.0f);
    EXPECT_EQ(Build("AB", 0, kScreenHeight), 0);
}

TEST_F(Charset, PrintDrawsOnceAndRestoresItsStates)
{
    GxDevice& device = GxEngineInstance->dOpenDevice;
    GxIm2DRenderIndexedPrimitiveFunction saved = device.fpIm2DRenderIndexedPrimitive;
    device.fpIm2DRenderIndexedPrimitive = Capture;
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, reinterpret_cast<void*>(1));
    GxRenderStateSet(gxRENDERSTATECULLMODE, reinterpret_cast<void*>(2));
    GxRenderStateSet(gxRENDERSTATETEXTURERASTER, nullptr);

    EXPECT_EQ(GxCharsetPrint(charset, "", 0, 0), charset);
    EXPECT_TRUE(drawn.empty());
    EXPECT_EQ(GxCharsetPrint(charset, "12, F:3", 4, 4), charset);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].vertices.size(), 7u * 4);  // the space draws a blank cell
    EXPECT_EQ(drawn[0].indices.size(), 7u * 6);
    EXPECT_EQ(GxCharsetPrint(charset, "off", 0, 1000), nullptr);

    GxUInt32 value = 0;
    GxRaster* raster = charset;
    device.fpRenderStateGet(gxRENDERSTATEZTESTENABLE, &value);
    EXPECT_EQ(value, 1u);
    device.fpRenderStateGet(gxRENDERSTATECULLMODE, &value);
    EXPECT_EQ(value, 2u);
    device.fpRenderStateGet(gxRENDERSTATETEXTURERASTER, &raster);
    EXPECT_EQ(raster, nullptr);
    device.fpIm2DRenderIndexedPrimitive = saved;
}

TEST_F(Charset, DestroyFreesTheRasterAndRefusesNone)
{
    GxRaster* own =
        GxRasterCreate(gxCHARSETRASTERSIZE, gxCHARSETRASTERSIZE, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(GxCharsetDestroy(own), 1);
    EXPECT_EQ(GxCharsetDestroy(nullptr), 0);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
}

}  // namespace
