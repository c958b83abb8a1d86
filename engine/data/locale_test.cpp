// Text catalogue: entry checks and diagnostics, languages, list look-up and the drawing alignment rule.
#include "engine/data/locale.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/application/base.h"
#include "engine/data/tagtree.h"
#include "engine/data/utf.h"
#include "engine/testsupport/files.h"

namespace {

// Every character is 10 pixels wide; draws are recorded.
class TestFont : public CFerroxWideTextFont {
public:
    float GetStringWidth(const char16_t* text) override
    {
        return 10.0f * static_cast<float>(std::u16string(text).size());
    }
    void DrawWideText(const char16_t* text, float x, int y, int highlight, int alignment, float middleX, int scaled,
                      const FerroxTextBox* box) override
    {
        lastText = text;
        lastX = x;
        lastY = y;
        lastHighlight = highlight;
        lastAlignment = alignment;
        lastMiddleX = middleX;
        lastScaled = scaled;
        lastBox = box;
    }
    std::u16string lastText;
    float lastX = 0, lastMiddleX = 0;
    int lastY = 0, lastHighlight = 0, lastAlignment = -1, lastScaled = 0;
    const FerroxTextBox* lastBox = nullptr;
};

const char kLanguage[] =
    "<LANGUAGE>\n"
    "<mapsextra>\n<0>\nExtra\n</0>\n</mapsextra>\n"
    "<maps>\n<0>\nLondon\nLondres\n</0>\n<1>\nBerlin\n</1>\n<3>\nParis\nParis\n</3>\n<3>\n</3>\n</maps>\n"
    "<shopnames>\n<0>\nCaf\xC3\xA9\nCaf\xC3\xA9 M\xC3\xBCller\n</0>\n</shopnames>\n"
    "</LANGUAGE>\n";

std::u16string W(const std::string& utf8) { return FerroxUtf8ToUtf16(utf8); }

class Locale : public ::testing::Test {
protected:
    void Load(int32_t language)
    {
        locale.Release();
        locale.SetLanguage(language);
        CFerroxTagTree tree;
        tree.LoadFromMemory(kLanguage, sizeof(kLanguage) - 1);
        locale.LoadTextsFromTree(tree);
    }
    CLocale locale;
    TestFont font;
};

TEST_F(Locale, EntriesAreCheckedAndMissingTextsExplained)
{
    Load(1);
    ASSERT_EQ(3, locale.GetListCount());
    EXPECT_EQ(u"Londres", locale.GetText(1, 0));
    EXPECT_EQ(W("Missing Language Text. LIST: <maps>\n, INDEX:1, LANGUAGE:1, ENGLISH:Berlin"), locale.GetText(1, 1));
    EXPECT_EQ(W("incorrect tag number. LIST:<maps>\n, FOUND:3, WANTED:2, LANGUAGE:1"), locale.GetText(1, 2));
    // Numbering is not shifted by a misnumbered entry; an entry with no value at all is safe.
    EXPECT_EQ(W("Missing Language Text. LIST: <maps>\n, INDEX:3, LANGUAGE:1, ENGLISH:"), locale.GetText(1, 3));
    EXPECT_EQ(W("Caf\xC3\xA9 M\xC3\xBCller"), locale.GetText(2, 0));
    EXPECT_EQ(u"Caf\u00E9 M\u00FCller", locale.GetText(2, 0));

    // Only "<", a final LF and then a final ">" are cut from an entry's name: a last line "<0>" with a lone CR
    // names no number.
    const char text[] = "<LANGUAGE>\n<maps>\n<0> \nx\n</0>\n<1>\r";
    CFerroxTagTree tree;
    tree.LoadFromMemory(text, sizeof(text) - 1);
    CLocale cut;
    cut.LoadTextsFromTree(tree);
    EXPECT_EQ(W("incorrect tag number. LIST:<maps>\n, FOUND:0> , WANTED:0, LANGUAGE:0"), cut.GetText(0, 0));
    EXPECT_EQ(W("incorrect tag number. LIST:<maps>\n, FOUND:1>\r, WANTED:1, LANGUAGE:0"), cut.GetText(0, 1));
}

TEST_F(Locale, NegativeOrTooHighLanguagesAreMissingTranslations)
{
    Load(-1);
    EXPECT_EQ(W("Missing Language Text. LIST: <maps>\n, INDEX:0, LANGUAGE:-1, ENGLISH:London"), locale.GetText(1, 0));
    Load(7);
    EXPECT_EQ(W("Missing Language Text. LIST: <shopnames>\n, INDEX:0, LANGUAGE:7, ENGLISH:Caf\xC3\xA9"),
              locale.GetText(2, 0));
    Load(0);
    EXPECT_EQ(u"London", locale.GetText(1, 0));
}

// List indices are signed 16-bit: lists past them are not loaded, so the count never wraps.
TEST_F(Locale, ListsPastTheSignedIndexAreNotLoaded)
{
    std::string text = "<LANGUAGE>\n";
    for (int i = 0; i <= 0x10000; ++i)
        text += "<l" + std::to_string(i) + ">\n<0>\nx\n</0>\n</l>\n";
    CFerroxTagTree tree;
    tree.LoadFromMemory(text.data(), text.size());
    CLocale many;
    many.LoadTextsFromTree(tree);
    EXPECT_EQ(0x7FFF, many.GetListCount());
    EXPECT_EQ(u"x", many.GetText(0x7FFE, 0));
}

TEST_F(Locale, FindTextListTakesTheFirstNameContainingTheText)
{
    Load(0);
    EXPECT_EQ(0, locale.FindTextList("maps"));
    EXPECT_EQ(1, locale.FindTextList("<maps>"));
    EXPECT_EQ(0, locale.FindTextList(""));
    EXPECT_EQ(FERROX_NO_TEXT_LIST, locale.FindTextList("jobtitles"));
    locale.Release();
    EXPECT_EQ(0, locale.GetListCount());
    EXPECT_EQ(FERROX_NO_TEXT_LIST, locale.FindTextList(""));
}

TEST_F(Locale, DrawTextPassesArgumentsAndRealignsNearTheRightEdge)
{
    Load(0);
    locale.DrawText(&font, 1, 0, 10.0f, 20, 1, 2, 400.0f, 1, nullptr);
    EXPECT_EQ(u"London", font.lastText);
    EXPECT_EQ(10.0f, font.lastX);
    EXPECT_EQ(20, font.lastY);
    EXPECT_EQ(1, font.lastHighlight);
    EXPECT_EQ(2, font.lastAlignment);
    EXPECT_EQ(400.0f, font.lastMiddleX);
    EXPECT_EQ(1, font.lastScaled);

    locale.DrawText(&font, 1, 0, 750.0f, 0, 0, 0, 0.0f, 0, nullptr);  // 60 wide, ends past 800
    EXPECT_EQ(FERROX_ALIGN_RIGHT, font.lastAlignment);
    FerroxTextBox box = {0, 0, 100, 20};
    locale.DrawText(&font, 1, 0, 750.0f, 0, 0, 0, 0.0f, 0, &box);
    EXPECT_EQ(FERROX_ALIGN_LEFT, font.lastAlignment);
    EXPECT_EQ(&box, font.lastBox);
    locale.DrawText(&font, 1, 0, 50.0f, 0, 0, 0, 0.0f, 0, nullptr);
    EXPECT_EQ(FERROX_ALIGN_LEFT, font.lastAlignment);
    // The out-of-range text realigns even inside a box; it does not fit left of x.
    locale.DrawText(&font, 1, 9, 300.0f, 0, 0, 0, 0.0f, 0, &box);
    EXPECT_EQ(u"Text out of range of selected language vector index 9", font.lastText);
    EXPECT_EQ(FERROX_ALIGN_MIDDLE, font.lastAlignment);

    locale.DrawText(&font, 3, 0, 0.0f, 0, 0, 0, 0.0f, 0, nullptr);
    EXPECT_EQ(u"Invalid language vector. index 3", font.lastText);
    locale.DrawText(&font, FERROX_NO_TEXT_LIST, 0, 0.0f, 0, 0, 0, 0.0f, 0, nullptr);
    EXPECT_EQ(u"Invalid language vector. index -1", font.lastText);
    locale.DrawText(nullptr, 1, 0, 0.0f, 0, 0, 0, 0.0f, 0, nullptr);
}

TEST_F(Locale, ScreenWidthComesFromTheGame)
{
    Load(0);
    CFerroxGame game;
    game.SetScreenSize(1024, 768);
    FerroxSetGame(&game);
    locale.DrawText(&font, 1, 0, 750.0f, 0, 0, 0, 0.0f, 0, nullptr);
    FerroxSetGame(nullptr);
    EXPECT_EQ(FERROX_ALIGN_LEFT, font.lastAlignment);
}

class LocaleFiles : public FerroxTestFiles {};

TEST_F(LocaleFiles, SettingsAndFilesAndExport)
{
    std::string setup = Path("setup.xml");
    WriteFile(setup, "<Application_Data>\n<Language>\n2\n</Language>\n</Application_Data>\n"
                     "<Game_Data>\n<Language>\n1\n</Language>\n</Game_Data>\n");
    std::string language = Path("language.xml");
    WriteFile(language, kLanguage);
    CFerroxTagTree setupTree;
    ASSERT_EQ(1, setupTree.Load(setup.c_str()));
    g_pFerroxSetupTree = &setupTree;
    CLocale fromFile;
    fromFile.CFerroxLocale::LoadSettings();
    EXPECT_EQ(1, fromFile.GetLanguage());
    ASSERT_TRUE(setupTree.FindNode("Game_Data", 1) && setupTree.FindChild("Language"));
    (*setupTree.GetValues())[0] = "two";
    fromFile.CFerroxLocale::LoadSettings();
    EXPECT_EQ(1, fromFile.GetLanguage());
    g_pFerroxSetupTree = nullptr;

    fromFile.LoadTextsFrom(language.c_str());
    EXPECT_EQ(u"Londres", fromFile.GetText(1, 0));
    // A missing or foreign file loads no text; every text then draws as an invalid list.
    for (const char* text : {static_cast<const char*>(nullptr), "<DEBUG>\n</DEBUG>\n"}) {
        const std::string path = Path("damaged.xml");
        std::filesystem::remove(path);
        if (text)
            WriteFile(path, text);
        CLocale broken;
        broken.LoadTextsFrom(path.c_str());
        EXPECT_EQ(0, broken.GetListCount());
        EXPECT_EQ(u"Invalid language vector. index 0", broken.GetText(0, 0));
    }
    // A cut file keeps what it holds: nodes left open stay, and closing lines close whatever is open.
    const std::string cut = Path("cut.xml");
    WriteFile(cut, "<LANGUAGE>\n<mainmenu>\n<0>\nLondon\n</other>\n<1>\nParis\n");
    CLocale tolerant;
    tolerant.LoadTextsFrom(cut.c_str());
    ASSERT_EQ(1, tolerant.GetListCount());
    EXPECT_EQ(u"London", tolerant.GetText(0, 0));
    EXPECT_EQ(u"Paris", tolerant.GetText(0, 1));

    // The catalogue is exported from language.xml in the working folder.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(language).parent_path());
    fromFile.ExportTexts();
    std::filesystem::current_path(previous);
    const std::string exported = "Extra\t\r\nLondon\t\r\nBerlin\t\r\nParis\t\r\nCaf\xC3\xA9\t\r\n";
    EXPECT_EQ(exported, ReadFile(Path("language_DATA.txt")));
    // A failed export says so and leaves the files of the last one.
    {
        FerroxFailWritesAfter full(0);
        EXPECT_EQ(0, fromFile.ExportTextsFrom(language.c_str(), Path("language").c_str()));
    }
    EXPECT_EQ(exported, ReadFile(Path("language_DATA.txt")));
}

}  // namespace
