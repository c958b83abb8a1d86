// Textured 2D drawing on the OpenGL back end: PNG textures read along the image path, a checker, a blended badge.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/testsupport/demo_images.h"
#include "gfx/testsupport/opengl_fixture.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int badgeLeft = (kWidth - kDemoBadgeSize) / 2;
constexpr int badgeTop = (kHeight - kDemoBadgeSize) / 2;

struct Rgb {
    int r, g, b;
};

Rgb FromBytes(const uint8_t* c) { return {c[0], c[1], c[2]}; }

Rgb CheckerAt(int x, int y)
{
    return FromBytes(ContentCheckerColour(static_cast<uint32_t>(x % 64), static_cast<uint32_t>(y % 64)));
}

::testing::AssertionResult Close(const Rgb& got, const Rgb& want, int tolerance)
{
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << ") want (" << want.r
                                         << ", " << want.g << ", " << want.b << ")";
}

class TexDraw : public GxD3D9OpenGLTest {
protected:
    TexDraw() : GxD3D9OpenGLTest(kWidth, kHeight) {}

    void SetUp() override
    {
        GxD3D9OpenGLTest::SetUp();
        if (!Ready()) {
            return;
        }
        ASSERT_TRUE(GxTestFileSystemOpen());
        dir = std::filesystem::temp_directory_path() /
              ("texdraw_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(GxTestStoreFile((dir / "checker.png").string(), ContentPngEncode(ContentCheckerImage())));
        ASSERT_TRUE(GxTestStoreFile((dir / "badge.png").string(), ContentPngEncode(ContentBadgeImage())));
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        const std::string path = dir.string() + "/";
        ASSERT_NE(GxImageSetPath(path.c_str()), nullptr);
    }
    void TearDown() override
    {
        for (GxTexture* texture : {checker, badge}) {
            if (texture) {
                GxTextureDestroy(texture);
            }
        }
        GxImageSetPath("");
        GxFileSystemManagerClose();
        GxD3D9OpenGLTest::TearDown();
        if (!dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    }

    void ReadTextures()
    {
        checker = GxTextureRead("checker", nullptr);
        badge = GxTextureRead("badge", nullptr);
        ASSERT_NE(checker, nullptr);
        ASSERT_NE(badge, nullptr);
        ASSERT_NE(GxTextureGetRaster(checker), nullptr);
        ASSERT_NE(GxTextureGetRaster(badge), nullptr);
    }

    // The checker over the whole frame at a texel per pixel, then the badge blended in the middle.
    void DrawBackground()
    {
        GxRGBA clear = {0, 0, 0, 255};
        ASSERT_NE(GxCameraClear(camera, &clear, 3), nullptr);
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
        EXPECT_TRUE(GxDemoDrawBackground(checker, badge, width, height));
    }

    void EndFrame() { ASSERT_NE(GxCameraEndUpdate(camera), nullptr); }

    std::vector<Rgb> ReadRgb()
    {
        std::vector<Rgb> pixels;
        for (const GxUInt32 c : ReadBack()) {
            pixels.push_back(
                {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF)});
        }
        return pixels;
    }

    static Rgb At(const std::vector<Rgb>& pixels, int x, int y) { return pixels[static_cast<size_t>(y * kWidth + x)]; }

    GxTexture* checker = nullptr;
    GxTexture* badge = nullptr;
    std::filesystem::path dir;
};

}  // namespace

TEST_F(TexDraw, BadgeBlendsOverTheRepeatedChecker)
{
    ReadTextures();
    DrawBackground();
    EndFrame();
    const std::vector<Rgb> pixels = ReadRgb();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));

    // Both checker colours, the right way up, and repeated by wrapping (away from square edges).
    const Rgb light = FromBytes(kContentCheckerLight);
    const Rgb dark = FromBytes(kContentCheckerDark);
    EXPECT_TRUE(Close(At(pixels, 20, 20), light, 0));
    EXPECT_TRUE(Close(At(pixels, 28, 20), dark, 0));
    EXPECT_TRUE(Close(At(pixels, 20, 28), dark, 0));
    EXPECT_TRUE(Close(At(pixels, 276, 20), light, 0));
    EXPECT_TRUE(Close(At(pixels, 20, 212), light, 0));
    EXPECT_TRUE(Close(At(pixels, 306, 226), CheckerAt(306, 226), 0));
    // Beside the badge quad the checker is untouched.
    EXPECT_TRUE(Close(At(pixels, badgeLeft - 6, 122), CheckerAt(badgeLeft - 6, 122), 0));

    // The opaque middle is the badge colour alone.
    const Rgb colour = FromBytes(kContentBadgeColour);
    EXPECT_TRUE(Close(At(pixels, badgeLeft + 32, badgeTop + 32), colour, 1));
    EXPECT_TRUE(Close(At(pixels, badgeLeft + 26, badgeTop + 36), colour, 1));

    // The ring is half badge, half the checker below it, on either checker colour.
    const float a = kContentBadgeRingAlpha / 255.0f;
    const int ring[][2] = {
        {badgeLeft + 10, badgeTop + 34}, {badgeLeft + 52, badgeTop + 34}, {badgeLeft + 34, badgeTop + 10}};
    for (const auto& p : ring) {
        const Rgb under = CheckerAt(p[0], p[1]);
        const Rgb want = {static_cast<int>(colour.r * a + under.r * (1.0f - a) + 0.5f),
                          static_cast<int>(colour.g * a + under.g * (1.0f - a) + 0.5f),
                          static_cast<int>(colour.b * a + under.b * (1.0f - a) + 0.5f)};
        EXPECT_TRUE(Close(At(pixels, p[0], p[1]), want, 3)) << "at " << p[0] << ", " << p[1];
    }
    EXPECT_NE(CheckerAt(badgeLeft + 10, badgeTop + 34).r, CheckerAt(badgeLeft + 52, badgeTop + 34).r);

    // The transparent corners leave the checker as it was.
    const int corners[][2] = {{badgeLeft + 2, badgeTop + 2},
                              {badgeLeft + 61, badgeTop + 2},
                              {badgeLeft + 2, badgeTop + 61},
                              {badgeLeft + 61, badgeTop + 61}};
    for (const auto& p : corners) {
        EXPECT_TRUE(Close(At(pixels, p[0], p[1]), CheckerAt(p[0], p[1]), 0)) << "at " << p[0] << ", " << p[1];
    }
}

TEST_F(TexDraw, PlainDrawingAfterTheBadgeIsNeitherTexturedNorBlended)
{
    ReadTextures();
    DrawBackground();
    // A solid triangle across the badge once the texture is unbound and vertex alpha is off again;
    // its vertex alpha of zero must not make it see-through.
    GxIm2DVertex tri[3] = {};
    const float xy[3][2] = {{badgeLeft - 10.0f, badgeTop + 70.0f},
                            {badgeLeft + 74.0f, badgeTop + 70.0f},
                            {badgeLeft + 32.0f, badgeTop - 10.0f}};
    for (int i = 0; i < 3; i++) {
        tri[i].x = xy[i][0];
        tri[i].y = xy[i][1];
        tri[i].rhw = 1.0f;
        tri[i].emissiveColor = 0x00FF0000u;
    }
    EXPECT_TRUE(GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, tri, 3));
    EndFrame();
    const std::vector<Rgb> pixels = ReadRgb();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    EXPECT_TRUE(Close(At(pixels, badgeLeft + 32, badgeTop + 32), {255, 0, 0}, 0));
    EXPECT_TRUE(Close(At(pixels, badgeLeft + 10, badgeTop + 50), {255, 0, 0}, 0));
    // Outside the triangle the blended badge is still there.
    EXPECT_TRUE(Close(At(pixels, badgeLeft + 2, badgeTop + 2), CheckerAt(badgeLeft + 2, badgeTop + 2), 0));
}

TEST_F(TexDraw, MissingOrDamagedImagesAreRefused)
{
    EXPECT_EQ(GxTextureRead("nothere", nullptr), nullptr);
    std::vector<uint8_t> bytes = ContentPngEncode(ContentBadgeImage());
    ASSERT_GT(bytes.size(), 100u);
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(GxTestStoreFile((dir / "cut.png").string(), bytes));
    EXPECT_EQ(GxTextureRead("cut", nullptr), nullptr);
    // A good read still works after the refusals.
    ReadTextures();
}
