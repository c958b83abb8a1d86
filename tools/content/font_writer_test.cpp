// Interface fonts authored with FreeType: read back by the 2D toolkit's metrics reader and drawn on OpenGL.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/2d/twod_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/testsupport/temp_dir.h"
#include "tools/content/font_writer.h"

namespace fs = std::filesystem;

namespace {

// German and French text as 16-bit codes: the fonts take 16-bit strings.
const std::vector<GxUInt16> kSample = {'G', 0xF6,   0xDF, 'e', ' ', 0xC7, 'a',    ' ', 0x20AC,
                                       ' ', 0x0153, 'u',  'v', 'r', 'e',  0x2026, 0};

fs::path FreshDir(const char* stem)
{
    const fs::path dir =
        fs::temp_directory_path() /
        (std::string(stem) + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    return dir;
}

// Writes the interface fonts into a fresh folder and reads fonts from there; closed by CloseFonts.
void OpenFonts(const char* stem, fs::path* dir)
{
    *dir = FreshDir(stem);
    ASSERT_TRUE(GxTestFileSystemOpen());
    std::string error;
    ASSERT_TRUE(ContentWriteInterfaceFonts(dir->string(), &error)) << error;
    ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    ASSERT_NE(Gx2DFontSetPath((dir->string() + "/").c_str()), nullptr);
}

void CloseFonts(const fs::path& dir)
{
    GxImageSetPath("");
    GxFileSystemManagerClose();
    if (!dir.empty()) {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
}

class FontWriter : public Gx2DTest {
protected:
    void SetUp() override
    {
        Gx2DTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        OpenFonts("font_writer_test_", &dir);
    }
    void TearDown() override
    {
        CloseFonts(dir);
        Gx2DTest::TearDown();
    }
    fs::path dir;
};

TEST_F(FontWriter, EveryInterfaceFontReadsBackWithEveryCode)
{
    const std::vector<int> codes = ContentFontCodes();
    for (const ContentFontSpec& spec : ContentInterfaceFonts()) {
        ContentFontPage page;
        std::string error;
        ASSERT_TRUE(ContentFontRasterise(spec, &page, &error)) << error;
        Gx2DFont* font = Gx2DFontRead(spec.name);
        ASSERT_NE(font, nullptr) << spec.name;
        EXPECT_EQ(font->kind, gx2DFONTBITMAP);
        EXPECT_TRUE(Gx2DFontIsUnicode(font));
        EXPECT_EQ(font->numGlyphs, static_cast<GxInt32>(codes.size()));
        const ContentFontGlyph& first = page.glyphs.front();
        EXPECT_FLOAT_EQ(font->height, static_cast<GxReal>(first.bottom - first.top));
        EXPECT_GE(font->height, static_cast<GxReal>(spec.pixelSize));
        EXPECT_GT(font->baseline, 0.0f);
        EXPECT_LT(font->baseline, 0.5f);
        for (int code : codes) {
            EXPECT_NE(Gx2DFontGetGlyph(font, code), nullptr) << spec.name << " " << code;
        }
        // Letters have width; the page is white with alpha as coverage.
        const bool fixedWidth = std::string(spec.name) == "figures";
        EXPECT_EQ(Gx2DFontGetGlyph(font, 'W')->advance > Gx2DFontGetGlyph(font, 'i')->advance, !fixedWidth)
            << spec.name;
        EXPECT_GT(Gx2DFontGetStringWidth(font, kSample.data(), 1.0f), 5.0f);
        Gx2DFontDestroy(font);
    }
    // Page names are unique, as all fonts share one texture dictionary.
    EXPECT_TRUE(fs::exists(dir / "bigFont.met"));
    EXPECT_TRUE(fs::exists(dir / "bigFont_pg.png"));
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());
}

// The same fonts drawn by the OpenGL back end: a line in each, white on black, read back.
class FontWriterGL : public Gx2DOpenGLTest {
protected:
    FontWriterGL() : Gx2DOpenGLTest(400, 300) {}

    void SetUp() override
    {
        Gx2DOpenGLTest::SetUp();
        if (!Ready()) {
            return;
        }
        OpenFonts("font_writer_gl_", &dir);
    }
    void TearDown() override
    {
        CloseFonts(dir);
        Gx2DOpenGLTest::TearDown();
    }

    fs::path dir;
};

TEST_F(FontWriterGL, EachFontDrawsItsLineInsideItsCell)
{
    std::vector<Gx2DFont*> fonts;
    for (const ContentFontSpec& spec : ContentInterfaceFonts()) {
        fonts.push_back(Gx2DFontRead(spec.name));
        ASSERT_NE(fonts.back(), nullptr) << spec.name;
    }
    ASSERT_NO_FATAL_FAILURE(BeginFlatFrame());
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
    GxRenderStateSet(gxRENDERSTATESRCBLEND, GxRenderStateValue(D3DBLEND_SRCALPHA));
    GxRenderStateSet(gxRENDERSTATEDESTBLEND, GxRenderStateValue(D3DBLEND_INVSRCALPHA));
    Gx2DBrush* brush = Gx2DBrushCreate();

    // Line i sits with its cell bottom at 0.1 + 0.2 i in user space (300 pixels to the unit).
    struct Band {
        int top, bottom, right;
    };
    std::vector<Band> bands;
    for (size_t i = 0; i < fonts.size(); i++) {
        Gx2DFont* font = fonts[i];
        const GxReal h = Gx2DFontGetHeight(font);
        const GxReal cellBottom = 0.1f + 0.2f * static_cast<GxReal>(i);
        GxV2d position = {0.05f, cellBottom + font->baseline * h};
        const GxReal start = position.x;
        Gx2DFontShowString(font, kSample.data(), h, &position, brush);
        EXPECT_TRUE(Gx2DTestNear(position.x - start, Gx2DFontGetStringWidth(font, kSample.data(), h)));
        bands.push_back({static_cast<int>((1.0f - cellBottom - h) * height),
                         static_cast<int>((1.0f - cellBottom) * height), static_cast<int>(position.x * height)});
    }
    ASSERT_NE(GxCameraEndUpdate(camera), nullptr);

    const std::vector<GxUInt32> pixels = ReadBack();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    auto green = [&](int x, int y) {
        return static_cast<int>((pixels[static_cast<size_t>(y * width + x)] >> 8) & 0xFF);
    };
    std::vector<int> ink(bands.size(), 0);
    int stray = 0;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            if (green(x, y) < 128) {
                continue;
            }
            bool inside = false;
            for (size_t b = 0; b < bands.size(); b++) {
                if (y >= bands[b].top - 2 && y <= bands[b].bottom + 2 && x >= 13 && x <= bands[b].right + 2) {
                    ink[b]++;
                    inside = true;
                }
            }
            stray += inside ? 0 : 1;
        }
    }
    for (size_t b = 0; b < bands.size(); b++) {
        EXPECT_GT(ink[b], 40) << ContentInterfaceFonts()[b].name;
    }
    EXPECT_EQ(stray, 0);
    Gx2DBrushDestroy(brush);
    for (Gx2DFont* font : fonts) {
        Gx2DFontDestroy(font);
    }
}

}  // namespace
