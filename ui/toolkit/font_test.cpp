// Fonts and the text field: real metrics through the 2D toolkit, placement, the caret, typing and erasing.
#include "ui/toolkit/font.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>

#include "gfx/2d/twod_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/temp_dir.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

// The toolkit open on the software device, with a bitmap font "test" of 16-pixel cells in a scratch folder.
class RealFontTest : public Gx2DTest {
protected:
    void SetUp() override
    {
        Gx2DTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        GxTexture* page = MakeTexture("testpage", 64, 32);
        ASSERT_NE(page, nullptr);
        GxTexDictionaryAddTexture(Gx2DFontGetTexDictionary(), page);
        scratch.emplace("ferrox_ui_font");
        folder = scratch->Dir();
        std::ofstream(folder / "test.met") << "METRICS1\ntestpage\n3\n97 0 0 8 16\n98 8 0 20 16\n32 20 0 24 16\n";
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        scratch.reset();
        Gx2DTest::TearDown();
    }
    std::optional<GxTestTempDir> scratch;
    std::filesystem::path folder;
};

TEST_F(RealFontTest, MeasuresInPixelsAndDrawsOnlyWhenLoaded)
{
    CFerroxFont font;
    EXPECT_EQ(font.GetStringWidth("ab"), 0.0f);  // nothing loaded yet: measures 0
    EXPECT_EQ(font.GetHeight(), 0.0f);
    font.DrawText("ab", 10.0f, 10.0f, 0, 0, 0.0f, 0, nullptr);
    EXPECT_TRUE(gx2DTestBatches.empty());

    EXPECT_EQ(font.Load("test", 0, 0), 0);  // no folder before the name
    ASSERT_EQ(font.Load((folder.string() + "/test").c_str(), 0, 0), 1);
    EXPECT_NEAR(font.GetStringWidth("ab"), 20.0f, 0.01f);
    EXPECT_NEAR(font.GetStringWidth(u"a b"), 24.0f, 0.01f);
    EXPECT_NEAR(font.GetStringWidth(std::u16string(u"")), 0.0f, 0.01f);
    EXPECT_NEAR(font.GetHeight(), 16.0f, 0.01f);
    font.DrawText("ab", 10.0f, 10.0f, 1, FERROX_ALIGN_RIGHT, 0.0f, 0, nullptr);
    EXPECT_FALSE(gx2DTestBatches.empty());

    // Loaded scaled, the height carries the interface scale until a draw takes the sizes again without it.
    FerroxSetInterfaceScale(1.5f, 1.5f);
    ASSERT_EQ(font.Load((folder.string() + "/test").c_str(), 1, 0), 1);
    FerroxSetInterfaceScale(1.0f, 1.0f);
    EXPECT_NEAR(font.GetHeight(), 24.0f, 0.01f);
    font.DrawText("ab", 10.0f, 10.0f, 0, FERROX_ALIGN_LEFT, 0.0f, 1, nullptr);
    EXPECT_NEAR(font.GetHeight(), 16.0f, 0.01f);
}

// What the fonts drew, as the observer saw it.
std::vector<std::u16string> g_seen;
void See(const std::u16string& text, void* context)
{
    g_seen.push_back(text);
    ++*static_cast<int*>(context);
}

// A text is drawn as it is given, flowed or not; the observer sees each text once.
TEST_F(RealFontTest, TextsAreDrawnAsGivenAndObservedOnce)
{
    int seen = 0;
    g_seen.clear();
    FerroxSetTextObserver(See, &seen);
    CFerroxFont font;
    ASSERT_EQ(font.Load((folder.string() + "/test").c_str(), 0, 0), 1);
    const FerroxTextBox box = {0.0f, 0.0f, 200.0f, 40.0f};
    font.DrawText("ab ?", 0.0f, 0.0f, 0, 0, 0.0f, 0, &box);
    FerroxSetTextObserver(nullptr, &seen);
    font.DrawText("ba ?", 0.0f, 0.0f, 0, 0, 0.0f, 0, &box);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(g_seen, std::vector<std::u16string>{u"ab ?"});
}

// Where the flowed lines end on the screen: each line's glyphs run from 0 in units of the font's height, from the
// box's left edge, and a scaled text is scaled by the interface factor as a whole.
float RightmostPixel(float left, float fontHeight, float scale)
{
    float widest = 0.0f;
    for (const Gx2DTestBatch& batch : gx2DTestBatches)
        for (const GxIm3DVertex& vertex : batch.vertices)
            widest = std::max(widest, vertex.objVertex.x);
    return (left + widest * fontHeight) * scale;
}

// A scaled text flows in a box the interface scale factors scale with it: at 1024 x 768 (factors 1.28) a box given
// 600 x the factor wide from x 100 ends past the screen's right edge, one given 600 wide inside it.
TEST_F(RealFontTest, AScaledFlowScalesItsBoxOnce)
{
    constexpr float kScale = 1024.0f / 800.0f;
    CFerroxFont font;
    ASSERT_EQ(font.Load((folder.string() + "/test").c_str(), 0, 0), 1);
    std::string words;
    for (int i = 0; i < 80; i++)
        words += "ab ";
    FerroxSetInterfaceScale(kScale, kScale);
    const FerroxTextBox scaledTwice = {100.0f, 50.0f, 600.0f * kScale, 150.0f * kScale};
    font.DrawText(words.c_str(), 100.0f, 50.0f, 0, FERROX_ALIGN_LEFT, 400.0f, 1, &scaledTwice);
    const float height = font.GetHeight();
    ASSERT_GT(height, 0.0f);
    EXPECT_GT(RightmostPixel(100.0f, height, kScale), 1024.0f);
    gx2DTestBatches.clear();
    const FerroxTextBox virtualUnits = {100.0f, 50.0f, 600.0f, 150.0f};
    font.DrawText(words.c_str(), 100.0f, 50.0f, 0, FERROX_ALIGN_LEFT, 400.0f, 1, &virtualUnits);
    FerroxSetInterfaceScale(1.0f, 1.0f);
    EXPECT_GT(RightmostPixel(100.0f, height, kScale), 800.0f);
    EXPECT_LE(RightmostPixel(100.0f, height, kScale), 1024.0f);
}

TEST(FontPlaceTest, ThreeAlignments)
{
    EXPECT_EQ(FerroxFontPlace(100.0f, 50.0f, FERROX_ALIGN_LEFT, 20.0f, 1.0f), 100.0f);
    EXPECT_EQ(FerroxFontPlace(100.0f, 50.0f, FERROX_ALIGN_RIGHT, 20.0f, 1.0f), 80.0f);
    EXPECT_EQ(FerroxFontPlace(100.0f, 50.0f, FERROX_ALIGN_MIDDLE, 20.0f, 1.0f), 40.0f);
}

class TextFieldTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        font = std::make_unique<CFerroxFont>();
        ASSERT_EQ(font->Load("/fonts/recording", 0, 0), 1);
        FerroxWidgetRecord record = {};
        record.name = "ab";
        record.x = 5;
        record.y = 6;
        record.object = font.get();
        field.Configure(&record);
    }
    // The width limit comes with the record, as the save canvas configures its field.
    void Limit(float width)
    {
        FerroxWidgetRecord record = {};
        record.name = "";
        record.extent = width;
        record.object = font.get();
        field.Configure(&record);
    }
    void Type(int32_t code)
    {
        game->m_lastKey.keyCode = code;
        field.Update();
        game->m_lastKey.keyCode = 0;
    }
    void TearDown() override
    {
        font.reset();  // its textures go while the engine is still open
        UiTest::TearDown();
    }
    std::unique_ptr<CFerroxFont> font;
    CFerroxTextField field;
};

// The caret " *" follows the text, drawn with it as one text without highlight, for ten frames of twenty.
TEST_F(TextFieldTest, CaretShowsTenFramesAndHidesTen)
{
    std::vector<std::string> shown;
    for (int frame = 0; frame < 20; frame++) {
        uiDrawRecords.clear();
        field.Render(0.0f, 0.0f);
        ASSERT_EQ(uiDrawRecords.size(), 1u);
        EXPECT_EQ(uiDrawRecords[0].highlight, 0);
        EXPECT_EQ(uiDrawRecords[0].x, 5.0f);
        shown.push_back(uiDrawRecords[0].picture);
        field.Update();
    }
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "ab *"), 10);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "ab"), 10);
    EXPECT_EQ(shown[9], "ab *");
    EXPECT_EQ(shown[10], "ab");
    EXPECT_EQ(field.GetBlink(), 0);
}

// Codes below 0x80 and above 0xB1 join as one byte each; the key names between (but 0xA8, which erases) and the
// table's "no key" 0xFF are ignored. Erasing takes one byte.
TEST_F(TextFieldTest, TypesOneByteACodeAndErasesOneByte)
{
    Type('c');
    Type(0x7E);
    Type(0xFF);  // no key of the table: never a character
    Type(0x80);
    Type(0x9F);
    Type(0xB1);
    EXPECT_EQ(field.GetText(), "abc~");
    Type(0xB2);  // the first code past the key names
    Type(0xC3);
    Type(0xA9);  // ignored: a key name's code
    Type(0xFE);
    EXPECT_EQ(field.GetText(), "abc~\xB2\xC3\xFE");
    Type(kFerroxKeyBackspace);
    EXPECT_EQ(field.GetText(), "abc~\xB2\xC3");
    Type(kFerroxKeyErase);
    Type(kFerroxKeyErase);
    EXPECT_EQ(field.GetText(), "abc~");
    EXPECT_EQ(std::u16string(field.GetWideText()), u"abc~");
    for (int i = 0; i < 5; i++)
        Type(kFerroxKeyErase);  // erasing an empty text does nothing
    EXPECT_EQ(field.GetText(), "");
    EXPECT_EQ(std::u16string(field.GetWideText()), u"");
}

// A multi-byte text is cut byte by byte by erasing and by the width limit; what is left still converts.
TEST_F(TextFieldTest, WidthLimitAndErasingCutOneByteAFrame)
{
    Limit(3 * CRecordingFontImpl::kCharWidth);
    field.SetText("abcde");
    field.Update();
    EXPECT_EQ(field.GetText(), "abcd");
    field.Update();
    EXPECT_EQ(field.GetText(), "abc");
    Type('x');  // added and cut again within the frame
    EXPECT_EQ(field.GetText(), "abc");

    Limit(0.0f);
    field.SetText("a\xC3\xA9\xE2\x82\xAC");  // a, e acute, euro sign
    EXPECT_EQ(std::u16string(field.GetWideText()), u"a\u00E9\u20AC");
    Type(kFerroxKeyErase);
    EXPECT_EQ(field.GetText(), "a\xC3\xA9\xE2\x82");
    Type(kFerroxKeyBackspace);
    Type(kFerroxKeyBackspace);
    EXPECT_EQ(field.GetText(), "a\xC3\xA9");
    EXPECT_EQ(std::u16string(field.GetWideText()), u"a\u00E9");
}

TEST_F(TextFieldTest, FieldIsAlwaysHitAndDrawsNothingWithoutAFont)
{
    FerroxPoint far = {-1000.0f, -1000.0f};
    EXPECT_EQ(field.HitTest(&far), 1);
    CFerroxTextField bare;
    bare.Render(0.0f, 0.0f);
    EXPECT_TRUE(uiDrawRecords.empty());
}

}  // namespace
