// The authored interface fonts as the game measures them: widths and heights through the toolkit's font against
// the glyph rectangles the metrics file carries.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "gfx/2d/twod_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "tools/content/content_testing.h"
#include "tools/content/font_writer.h"
#include "ui/game/management.h"
#include "ui/game/popups.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/toolkit_testing.h"

namespace fs = std::filesystem;

namespace {

// Known texts as UTF-8 and as the code points the metrics file is keyed by.
struct Sample {
    const char* utf8;
    std::vector<int> codes;
};

const std::vector<Sample>& Samples()
{
    static const std::vector<Sample> samples = {
        {"Mall 42", {'M', 'a', 'l', 'l', ' ', '4', '2'}},
        {"Gr\xC3\xB6\xC3\x9F"
         "e",
         {'G', 'r', 0xF6, 0xDF, 'e'}},
        {"1.250 \xE2\x82\xAC", {'1', '.', '2', '5', '0', ' ', 0x20AC}},
        {"W", {'W'}},
    };
    return samples;
}

class FontMetrics : public Gx2DTest {
protected:
    void SetUp() override
    {
        Gx2DTest::SetUp();
        if (HasFatalFailure())
            return;
        dir = fs::temp_directory_path() /
              ("font_metrics_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::string error;
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(ContentWriteInterfaceFonts(dir.string(), &error)) << error;
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    }
    void TearDown() override
    {
        GxImageSetPath("");
        GxFileSystemManagerClose();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        Gx2DTest::TearDown();
    }
    fs::path dir;
};

TEST_F(FontMetrics, EachFontMeasuresKnownTextsByItsGlyphRectangles)
{
    std::map<std::string, float> heights;
    for (const ContentFontSpec& spec : ContentInterfaceFonts()) {
        ContentFontPage page;
        std::string error;
        ASSERT_TRUE(ContentFontRasterise(spec, &page, &error)) << error;
        std::map<int, int> widths;
        for (const ContentFontGlyph& glyph : page.glyphs)
            widths[glyph.code] = glyph.right - glyph.left;
        const ContentFontGlyph& first = page.glyphs.front();

        CFerroxFont font;
        ASSERT_EQ(font.Load((dir.string() + "/" + spec.name).c_str(), 0, 0), 1) << spec.name;
        EXPECT_NEAR(font.GetHeight(), static_cast<float>(first.bottom - first.top), 0.01f) << spec.name;
        EXPECT_GE(font.GetHeight(), static_cast<float>(spec.pixelSize)) << spec.name;
        for (const Sample& sample : Samples()) {
            float expected = 0.0f;
            for (int code : sample.codes) {
                ASSERT_EQ(widths.count(code), 1u) << spec.name << " " << code;
                expected += static_cast<float>(widths[code]);
            }
            EXPECT_GT(expected, 0.0f) << spec.name << " " << sample.utf8;
            EXPECT_NEAR(font.GetStringWidth(sample.utf8), expected, 0.01f) << spec.name << " " << sample.utf8;
        }
        // The figures' face is fixed-width, so figures right-aligned one under another line up in columns; the
        // others are proportional: a wide letter outmeasures a narrow one.
        if (std::string(spec.name) == "figures")
            EXPECT_EQ(font.GetStringWidth("1111"), font.GetStringWidth("8888")) << spec.name;
        else
            EXPECT_GT(font.GetStringWidth("W"), font.GetStringWidth("i")) << spec.name;
        // The panels' figures are drawn in the message font: its digits line up too, and each keeps its cell's
        // last column free of the letter's ink, so a figure ends short of the bar or figure after it.
        if (std::string(spec.name) == "msgfont") {
            EXPECT_EQ(font.GetStringWidth("1111"), font.GetStringWidth("8888")) << spec.name;
            constexpr uint8_t kInk = 128;
            for (const ContentFontGlyph& glyph : page.glyphs) {
                if (glyph.code < '0' || glyph.code > '9')
                    continue;
                for (int y = glyph.top; y < glyph.bottom; y++) {
                    const uint8_t* texel = &page.rgba[(static_cast<size_t>(y) * page.size + glyph.right - 1) * 4];
                    EXPECT_FALSE(texel[3] >= kInk && texel[0] >= kInk) << "digit " << glyph.code << " row " << y;
                }
            }
        }
        heights[spec.name] = font.GetHeight();
    }
    // The large face is the tallest.
    EXPECT_GT(heights["bigFont"], heights["figures"]);
    EXPECT_GT(heights["bigFont"], heights["msgfont"]);
}

// The panels lay their columns out for figures measured as wide as the tests' twin of each font measures them,
// and give names the room of the catalogue's longest: each font draws no figure character wider than the twin,
// and no name of any language wider than its room.
TEST_F(FontMetrics, FiguresAndNamesFitTheRoomThePanelsGiveThem)
{
    constexpr float kPixelSlack = 0.01f;  // a width of whole pixels measured through floats
    std::map<std::string, std::unique_ptr<CFerroxFont>> fonts;
    for (const UiFontWidth& twin : kUiFontWidths) {
        auto font = std::make_unique<CFerroxFont>();
        ASSERT_EQ(font->Load((dir.string() + "/" + twin.name).c_str(), 0, 0), 1) << twin.name;
        for (const char16_t figure : std::u16string(u"0123456789-/.")) {
            const char16_t text[] = {figure, 0};
            EXPECT_LE(font->GetStringWidth(text), twin.width + kPixelSlack)
                << twin.name << " " << static_cast<char>(figure);
        }
        fonts[twin.name] = std::move(font);
    }
    struct Names {
        const char* list;
        const char* font;
        float room;
    };
    const Names names[] = {
        {"shopnames", "msgfont", kShopNameRoom},
        {"jobtitles", "msgfont", kStaffTitleRoom},
        {"jobtitles", "figures", kHireTitleRoom},
        {"contractcategories", "figures", kContractNameRoom},
    };
    ContentExpectTextLists(ContentSourceText("language.xml"), {}, [&](CLocale& locale, int32_t language) {
        for (const Names& name : names) {
            const int16_t list = locale.FindTextList(name.list);
            ASSERT_GE(list, 0) << name.list;
            bool missing = false;
            for (uint16_t k = 0; !missing; k++) {
                const std::u16string entry = locale.GetText(list, k, &missing);
                if (!missing)
                    EXPECT_LE(fonts[name.font]->GetStringWidth(entry.c_str()), name.room + kPixelSlack)
                        << name.list << " " << k << " in " << name.font << ", language " << language;
            }
        }
    });
}

}  // namespace
