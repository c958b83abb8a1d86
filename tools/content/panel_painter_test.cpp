// The in-game panels' pictures decode to the widgets the panels address, and the texts and fonts the panels
// read are in the data in the order the look-ups need.
#include "tools/content/panel_painter.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "ui/toolkit/canvas.h"

namespace {

TEST(PanelPainter, EveryPanelBuildsTheButtonsItsPanelAddresses)
{
    ASSERT_TRUE(GxTestEngineStart());
    ASSERT_TRUE(GxTestFileSystemOpen());
    ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("content_panels_" + FerroxTestRunTag());
    std::string error;
    ASSERT_TRUE(ContentWriteGamePanels(dir.string(), &error)) << error;
    struct Case {
        const char* picture;
        int widgets;  // background included
    };
    for (const Case& c : {Case{"main/options/00_start.png", 6}, Case{"confirm/confirm.png", 3},
                          Case{"message/messages.png", 4}, Case{"main/manage/00_start.png", 5}}) {
        CFerroxCanvas canvas;
        canvas.Build((dir / c.picture).string().c_str(), 0.0f, 0.0f, 0);
        EXPECT_EQ(canvas.GetWidgetCount(), c.widgets) << c.picture;
        canvas.Release();
    }
    // The management buttons follow the cap in a row.
    CFerroxCanvas manage;
    manage.Build((dir / "main/manage/00_start.png").string().c_str(), 0.0f, 0.0f, 0);
    ASSERT_EQ(manage.GetWidgetCount(), 5);
    for (int k = 1; k < 5; k++)
        EXPECT_EQ(manage.GetWidget(k)->m_x, manage.GetWidget(k - 1)->m_x + manage.GetWidget(k - 1)->m_width) << k;
    manage.Release();
    std::filesystem::remove_all(dir);
    GxFileSystemManagerClose();
    GxTestEngineShutdown();
}

std::string SourceFile(const char* name)
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    if (!source)
        return "";
    std::ifstream in(std::string(source) + "/tools/content/text/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(PanelPainter, LanguageListsOfThePanelsInThreeLanguagesAndInOrder)
{
    const std::string text = SourceFile("language.xml");
    ASSERT_FALSE(text.empty());
    // Look-ups match by substring: "messages" must come before any list whose name holds it.
    const size_t messages = text.find("\n<messages>\n");
    ASSERT_NE(messages, std::string::npos);
    const size_t endGame = text.find("\n<endgamemessages>\n");
    if (endGame != std::string::npos)
        EXPECT_LT(messages, endGame);

    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    struct List {
        const char* name;
        uint16_t count;
    };
    for (int32_t language = 0; language < 3; language++) {
        CLocale locale;
        locale.SetLanguage(language);
        locale.LoadTextsFromTree(tree);
        for (const List& list : {List{"InGameMessages", 39}, List{"general_tooltips", 4}, List{"messages", 3},
                                 List{"00_start", 5}, List{"confirm", 2}}) {
            const int16_t index = locale.FindTextList(list.name);
            ASSERT_GE(index, 0) << list.name;
            for (uint16_t k = 0; k < list.count; k++) {
                bool missing = false;
                const std::u16string entry = locale.GetText(index, k, &missing);
                EXPECT_FALSE(missing || entry.empty()) << list.name << " " << k << " language " << language;
            }
        }
        // The quit question fits its 150 x 64 box.
        bool missing = false;
        EXPECT_LE(locale.GetText(locale.FindTextList("InGameMessages"), 36, &missing).size(), 70u);
    }
}

TEST(PanelPainter, FontsBlockNamesFourFontsFromTheStartDirectory)
{
    const std::string text = SourceFile("data.xml");
    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    ASSERT_TRUE(tree.FindNode("FONTS", 1));
    CFerroxTagValues* values = tree.GetValues();
    ASSERT_NE(values, nullptr);
    ASSERT_EQ(values->size(), 4u);
    const char* names[] = {"/images/fonts/bigFont", "/images/fonts/figures", "/images/fonts/msgfont",
                           "/images/fonts/tooltip"};
    for (size_t i = 0; i < 4; i++)
        EXPECT_EQ((*values)[i].str(), names[i]);
}

}  // namespace
