// The ".met" reader: each version read to known glyph rectangles, bad records refused, every cut-short file refused.
#include <filesystem>
#include <string>

#include "gfx/2d/font_local.h"
#include "gfx/2d/twod_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kSentinel = 0xFFFF00FFu;
constexpr GxUInt32 kInk = 0xFFFFFFFFu;

const std::string kMetrics1 = "METRICS1\n"
                              "page1\n"
                              "12\n"
                              "65 0 0 8 16\n"
                              "not a glyph line\n"
                              "66 8 0 20 16\n"
                              "0x263A 20 0 36 16\n";

const std::string kMetrics3 = "METRICS3\n"
                              "outline test\n"
                              " A\n"
                              "begin\n"
                              "moveto 0 0\n"
                              "lineto 0.5 1\n"
                              "lineto 0.6 0\n"
                              "closepath\n"
                              "moveto 0.6 0\n"
                              "end\n"
                              " \xE2\x98\xBA\n"
                              "begin\n"
                              "moveto 0 0\n"
                              "curveto 0 1 1 1 1 0\n"
                              "end\n";

class Metrics2D : public Gx2DTest {
protected:
    void SetUp() override
    {
        Gx2DTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        AddPage("page1", 64, 32, {});
    }

    // A texture the reader finds in the font dictionary by name.
    void AddPage(const char* name, GxInt32 width, GxInt32 height, const std::vector<GxUInt32>& pixels)
    {
        GxTexture* texture = MakeTexture(name, width, height, pixels);
        ASSERT_NE(texture, nullptr);
        GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), texture);
    }

    // A 64 x 32 page of two bands 16 high: sentinels at x 10 and 20 (then 21) on row 0, at 10 (then 11) on row 16.
    void AddCellPage(const char* name, GxInt32 cellHeight)
    {
        std::vector<GxUInt32> pixels(64 * 32, kInk);
        auto at = [&](GxInt32 x, GxInt32 y) -> GxUInt32& { return pixels[static_cast<size_t>(y * 64 + x)]; };
        at(0, 0) = kSentinel;
        at(0, cellHeight) = kSentinel;
        at(10, 0) = at(20, 0) = at(21, 0) = kSentinel;
        at(10, 16) = at(11, 16) = kSentinel;
        AddPage(name, 64, 32, pixels);
    }

    // The file without its last line feed reads whole; every shorter prefix is refused or holds no more glyphs.
    static void ExpectCutsReadWhatTheyHold(const std::string& text)
    {
        Gx2DFont* whole = Gx2DTestReadMetrics(text);
        ASSERT_NE(whole, nullptr);
        const GxInt32 glyphs = whole->numGlyphs;
        Gx2DFontDestroy(whole);
        ASSERT_EQ(text.back(), '\n');
        Gx2DFont* unterminated = Gx2DTestReadMetrics(text.substr(0, text.size() - 1));
        ASSERT_NE(unterminated, nullptr);
        EXPECT_EQ(unterminated->numGlyphs, glyphs);
        Gx2DFontDestroy(unterminated);
        for (size_t length = 0; length + 1 < text.size(); length++) {
            if (Gx2DFont* font = Gx2DTestReadMetrics(text.substr(0, length))) {
                EXPECT_LE(font->numGlyphs, glyphs) << length;
                Gx2DFontDestroy(font);
            }
        }
    }
};

TEST_F(Metrics2D, Metrics1GlyphsTakeTheirRectanglesFromTheLines)
{
    Gx2DFont* font = Gx2DTestReadMetrics(kMetrics1);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->kind, gx2DFONTBITMAP);
    EXPECT_EQ(font->numGlyphs, 3);
    EXPECT_FLOAT_EQ(font->height, 16.0f);
    EXPECT_FLOAT_EQ(font->baseline, 0.75f);
    EXPECT_TRUE(Gx2DFontIsUnicode(font));
    const Gx2DGlyph* a = Gx2DFontGetGlyph(font, 'A');
    ASSERT_NE(a, nullptr);
    EXPECT_FLOAT_EQ(a->advance, 0.5f);
    EXPECT_FLOAT_EQ(a->ul, 0.5f / 64);
    EXPECT_FLOAT_EQ(a->vt, 0.5f / 32);
    EXPECT_FLOAT_EQ(a->ur, 8.5f / 64);
    EXPECT_FLOAT_EQ(a->vb, 16.5f / 32);
    EXPECT_EQ(a->texture, font->pages[0]);
    const Gx2DGlyph* smile = Gx2DFontGetGlyph(font, 0x263A);
    ASSERT_NE(smile, nullptr);
    EXPECT_FLOAT_EQ(smile->advance, 1.0f);
    EXPECT_EQ(Gx2DFontGetGlyph(font, 'C'), nullptr);
    EXPECT_EQ(Gx2DFontGetGlyph(font, 0x263B), nullptr);
    EXPECT_EQ(font->pages[0]->refCount, 2);  // the dictionary's and the font's
    Gx2DFontDestroy(font);
}

TEST_F(Metrics2D, GlyphArraysStartWith256RecordsAndGrowBy32Zeroed)
{
    Gx2DFont* font = Gx2DFontCreate();
    ASSERT_NE(font, nullptr);
    for (GxInt32 i = 0; i < 257; i++) {
        Gx2DGlyph* glyph = Gx2DFontAddGlyph(font);
        ASSERT_NE(glyph, nullptr);
        EXPECT_EQ(glyph->texture, nullptr);
        glyph->advance = 1.0f;
        EXPECT_EQ(font->glyphCapacity, i < 256 ? 256 : 288) << i;
    }
    Gx2DFontDestroy(font);
}

TEST_F(Metrics2D, Metrics2CutsCellsAtSentinelPixelsAndDecodesTheirCharacters)
{
    AddCellPage("cells", 16);
    Gx2DFont* font = Gx2DTestReadMetrics("METRICS2\ncells\n10\nAB\n\xC3\xA9\n");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->numGlyphs, 3);
    EXPECT_FLOAT_EQ(font->height, 13.0f);
    EXPECT_FLOAT_EQ(font->baseline, 10.0f / 13.0f);
    const Gx2DGlyph* a = Gx2DFontGetGlyph(font, 'A');
    const Gx2DGlyph* b = Gx2DFontGetGlyph(font, 'B');
    const Gx2DGlyph* e = Gx2DFontGetGlyph(font, 0xE9);
    ASSERT_TRUE(a && b && e);
    EXPECT_FLOAT_EQ(a->advance, 7.0f / 13.0f);
    EXPECT_FLOAT_EQ(a->ul, 2.5f / 64);
    EXPECT_FLOAT_EQ(a->vt, 2.5f / 32);
    EXPECT_FLOAT_EQ(a->ur, 9.5f / 64);
    EXPECT_FLOAT_EQ(a->vb, 15.5f / 32);
    EXPECT_FLOAT_EQ(b->ul, 12.5f / 64);
    EXPECT_FLOAT_EQ(e->vt, 18.5f / 32);
    EXPECT_TRUE(Gx2DFontIsUnicode(font));
    Gx2DFontDestroy(font);
    ExpectCutsReadWhatTheyHold("METRICS2\ncells\n10\nAB\n\xC3\xA9\n");

    // A cell 3 pixels high, and characters that are no UTF-8, are refused.
    AddCellPage("flat", 3);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS2\nflat\n2\nAB\nC\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS2\ncells\n10\nA\xFF"
                                  "B\n"),
              nullptr);
}

// 259 cells 2 pixels wide on one band, their characters on one line longer than the 255 bytes a line read gives.
// 259 cells and one text line of 259 characters: the reader hands out 255 bytes, then the last 4. A continuation
// refilled behind the first piece's terminator would lose those 4 and leave the last cells without text.
TEST_F(Metrics2D, Metrics2TextLongerThanALineContinuesWithoutLosingAByte)
{
    constexpr GxInt32 kWidth = 520;
    constexpr GxInt32 kCells = 259;
    std::vector<GxUInt32> pixels(kWidth * 16, kInk);
    auto at = [&](GxInt32 x, GxInt32 y) -> GxUInt32& { return pixels[static_cast<size_t>(y * kWidth + x)]; };
    at(0, 0) = at(0, 8) = at(1, 8) = kSentinel;
    for (GxInt32 x = 2; x <= 2 * kCells; x += 2) {
        at(x, 0) = kSentinel;
    }
    at(2 * kCells + 1, 0) = kSentinel;
    AddPage("wide", kWidth, 16, pixels);
    std::string text;
    for (GxInt32 i = 0; i < kCells; i++) {
        text += static_cast<char>('A' + i % 26);
    }
    Gx2DFont* font = Gx2DTestReadMetrics("METRICS2\nwide\n4\n" + text + "\n");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->numGlyphs, kCells);
    // The last cell carries the last character: each letter's glyph is its last cell.
    for (GxInt32 i = kCells - 26; i < kCells; i++) {
        EXPECT_EQ(Gx2DFontGetGlyph(font, text[static_cast<size_t>(i)]), &font->glyphs[i]) << i;
    }
    Gx2DFontDestroy(font);
}

TEST_F(Metrics2D, Metrics2CellsNarrowerThanTheirFrameReadAsTheyStand)
{
    // Row 0: cells from 0 to 10 and from 10 to `end`, then the band ends; the second band is empty.
    auto page = [this](const char* name, GxInt32 end) {
        std::vector<GxUInt32> pixels(64 * 32, kInk);
        auto at = [&](GxInt32 x, GxInt32 y) -> GxUInt32& { return pixels[static_cast<size_t>(y * 64 + x)]; };
        at(0, 0) = at(0, 16) = at(1, 16) = kSentinel;
        at(10, 0) = at(end, 0) = at(end + 1, 0) = kSentinel;
        AddPage(name, 64, 32, pixels);
    };
    page("thin", 13);
    Gx2DFont* font = Gx2DTestReadMetrics("METRICS2\nthin\n10\nAB\n");
    ASSERT_NE(font, nullptr);
    ASSERT_NE(Gx2DFontGetGlyph(font, 'B'), nullptr);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(font, 'B')->advance, 0.0f);
    Gx2DFontDestroy(font);
    page("thinner", 12);
    font = Gx2DTestReadMetrics("METRICS2\nthinner\n10\nAB\n");
    ASSERT_NE(font, nullptr);
    ASSERT_NE(Gx2DFontGetGlyph(font, 'B'), nullptr);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(font, 'B')->advance, -1.0f / 13.0f);
    Gx2DFontDestroy(font);
    // A cell of frame alone in height would divide every advance by zero.
    AddCellPage("flat", 3);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS2\nflat\n1\nAB\n"), nullptr);
}

TEST_F(Metrics2D, BaselineLinesWithoutANumberAreRefused)
{
    AddCellPage("cells", 16);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS1\npage1\ntwelve\n65 0 0 8 16\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS1\npage1\n\n65 0 0 8 16\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS2\ncells\nten\nAB\n\xC3\xA9\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS2\ncells\n\nAB\n\xC3\xA9\n"), nullptr);
}

TEST_F(Metrics2D, Metrics3GlyphsArePathsWithTheLastDrawingLineAsAdvance)
{
    Gx2DFont* font = Gx2DTestReadMetrics(kMetrics3);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->kind, gx2DFONTOUTLINE);
    EXPECT_FLOAT_EQ(font->height, 1.0f);
    EXPECT_TRUE(Gx2DFontIsUnicode(font));
    const Gx2DGlyph* a = Gx2DFontGetGlyph(font, 'A');
    ASSERT_NE(a, nullptr);
    EXPECT_FLOAT_EQ(a->advance, 0.6f);
    ASSERT_NE(a->path, nullptr);
    EXPECT_EQ(a->path->next, nullptr);  // the lone moveto went
    EXPECT_TRUE(a->path->closed);
    EXPECT_EQ(a->path->count, 4);  // locked
    const Gx2DGlyph* smile = Gx2DFontGetGlyph(font, 0x263A);
    ASSERT_NE(smile, nullptr);
    EXPECT_FALSE(smile->path->flat);
    Gx2DFontDestroy(font);

    // A character line without a second byte reads as code 0 and opens nothing: the next line is a character line.
    font = Gx2DTestReadMetrics("METRICS3\nname\n\n B\nbegin\nmoveto 0.3 0\nend\n\n");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->numGlyphs, 1);
    ASSERT_NE(Gx2DFontGetGlyph(font, 'B'), nullptr);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(font, 'B')->advance, 0.3f);
    Gx2DFontDestroy(font);
    // A line feed as the second byte is the character 10, and a follower like any other byte.
    font = Gx2DTestReadMetrics("METRICS3\nname\nX\nbegin\nmoveto 0.4 0\nend\n \xC3\nbegin\nmoveto 0.2 0\nend\n");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->numGlyphs, 2);
    ASSERT_NE(Gx2DFontGetGlyph(font, '\n'), nullptr);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(font, '\n')->advance, 0.4f);
    ASSERT_NE(Gx2DFontGetGlyph(font, 0xCA), nullptr);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(font, 0xCA)->advance, 0.2f);
    Gx2DFontDestroy(font);
    // Followers past the end of their line are refused.
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS3\nname\n \xF0\nbegin\nend\n"), nullptr);
}

TEST_F(Metrics2D, BadRecordsAndUnknownVersionsAreRefused)
{
    const std::string header = "METRICS1\npage1\n12\n";
    for (const std::string& line : {"65 0 16 8 16\n", "-5 0 0 8 16\n", "65536 0 0 8 16\n"}) {
        EXPECT_EQ(Gx2DTestReadMetrics(header + line), nullptr) << line;
    }
    // Rectangles whose edges run the other way are read as they stand.
    Gx2DFont* inverted = Gx2DTestReadMetrics(header + "65 8 0 0 16\n66 0 20 8 16\n");
    ASSERT_NE(inverted, nullptr);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(inverted, 'A')->advance, -0.5f);
    EXPECT_FLOAT_EQ(Gx2DFontGetGlyph(inverted, 'B')->advance, -2.0f);
    EXPECT_FLOAT_EQ(inverted->height, -4.0f);
    Gx2DFontDestroy(inverted);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS1\nmissingpage\n12\n65 0 0 8 16\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS4\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS1"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics(""), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS3\nname\n \xFF\nbegin\nend\n"), nullptr);
    EXPECT_EQ(Gx2DTestReadMetrics("METRICS3\nname\n \xF4\x90\x80\x80\nbegin\nend\n"), nullptr);
    // Coordinates that are not finite, or too large for a float, are no drawing lines; large finite ones are read.
    Gx2DFont* font =
        Gx2DTestReadMetrics("METRICS3\nname\n A\nbegin\nmoveto 0 0\nlineto 2e6 0\nlineto nan 1\nlineto 1e39 0\nend\n");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(Gx2DFontGetGlyph(font, 'A')->advance, 2.0e6f);
    Gx2DFontDestroy(font);
    // A page or name line that is missing or names nothing gives a font without glyphs.
    for (const char* empty :
         {"METRICS1\n\n", "METRICS1\n", "METRICS2\n", "METRICS2\n\n", "METRICS3\n", "METRICS3\n\n"}) {
        font = Gx2DTestReadMetrics(empty);
        ASSERT_NE(font, nullptr) << empty;
        EXPECT_EQ(font->numGlyphs, 0);
        Gx2DFontDestroy(font);
    }
}

TEST_F(Metrics2D, BitmapReadersSetTheImagePathBeforeTheirFirstLine)
{
    for (const char* empty : {"METRICS1\n", "METRICS2\n"}) {
        GxImageSetPath("elsewhere/");
        Gx2DFont* font = Gx2DTestReadMetrics(empty);
        ASSERT_NE(font, nullptr) << empty;
        EXPECT_STREQ(GxImageGetPath(), Gx2DFontGetPath()) << empty;
        Gx2DFontDestroy(font);
    }
}

TEST_F(Metrics2D, ALastLineWithoutItsLineFeedIsReadAndAnOpenBlockIsRefused)
{
    ExpectCutsReadWhatTheyHold(kMetrics1);
    ExpectCutsReadWhatTheyHold(kMetrics3);
    const std::string openBlock = kMetrics3.substr(0, kMetrics3.rfind("end\n"));
    EXPECT_EQ(Gx2DTestReadMetrics(openBlock), nullptr);
}

TEST_F(Metrics2D, FontsAreFoundAlongTheFontPath)
{
    ASSERT_TRUE(GxTestFileSystemOpen());
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("metrics_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "b");
    const std::vector<GxUInt8> bytes(kMetrics3.begin(), kMetrics3.end());
    ASSERT_TRUE(GxTestStoreFile((dir / "b" / "outline.met").string(), bytes));
    const std::string path = (dir / "a").string() + "/;" + (dir / "b").string() + "/";
    ASSERT_NE(Gx2DFontSetPath(path.c_str()), nullptr);
    EXPECT_STREQ(Gx2DFontGetPath(), path.c_str());
    Gx2DFont* font = Gx2DFontRead("outline");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->numGlyphs, 2);
    Gx2DFontDestroy(font);
    EXPECT_EQ(Gx2DFontRead("absent"), nullptr);
    EXPECT_EQ(Gx2DFontSetPath(nullptr), nullptr);
    EXPECT_STREQ(Gx2DFontGetPath(), path.c_str());
    GxFileSystemManagerClose();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

}  // namespace
