// The in-game panels' pictures decode to the widgets the panels address, and the texts and fonts the panels
// read are in the data in the order the look-ups need.
#include "tools/content/panel_painter.h"

#include <filesystem>

#include "tools/content/content_testing.h"

namespace {

class PanelPictures : public ContentFilesTest {};

TEST_F(PanelPictures, EveryPanelBuildsTheButtonsItsPanelAddresses)
{
    std::string error;
    ASSERT_TRUE(ContentWriteGamePanels(dir.string(), &error)) << error;
    struct Case {
        const char* picture;
        int widgets;  // background included
    };
    for (const Case& c : {Case{"main/options/00_start.png", 6}, Case{"confirm/confirm.png", 3},
                          Case{"message/messages.png", 4}, Case{"main/manage/00_start.png", 5}})
        EXPECT_EQ(CountCanvas(dir / c.picture).widgets, c.widgets) << c.picture;
    // The management buttons follow the cap in a row.
    CFerroxCanvas manage;
    manage.Build((dir / "main/manage/00_start.png").string().c_str(), 0.0f, 0.0f, 0);
    ASSERT_EQ(manage.GetWidgetCount(), 5);
    for (int k = 1; k < 5; k++)
        EXPECT_EQ(manage.GetWidget(k)->m_x, manage.GetWidget(k - 1)->m_x + manage.GetWidget(k - 1)->m_width) << k;
    manage.Release();
}

TEST(PanelPainter, LanguageListsOfThePanelsInThreeLanguagesAndInOrder)
{
    const std::string text = ContentSourceText("language.xml");
    ASSERT_FALSE(text.empty());
    // Look-ups match by substring: "messages" must come before any list whose name holds it.
    const size_t messages = text.find("\n<messages>\n");
    ASSERT_NE(messages, std::string::npos);
    const size_t endGame = text.find("\n<endgamemessages>\n");
    if (endGame != std::string::npos)
        EXPECT_LT(messages, endGame);

    ContentExpectTextLists(
        text,
        {{"InGameMessages", 39, false},
         {"general_tooltips", 4, false},
         {"messages", static_cast<uint16_t>(ContentCanvasHotSpots(ContentMessagesLayout()).size()), false},
         {"00_start", 5, false},
         {"confirm", 2, false}},
        [](CLocale& locale, int32_t) {
            // The quit question fits its 150 x 64 box.
            bool missing = false;
            EXPECT_LE(locale.GetText(locale.FindTextList("InGameMessages"), 36, &missing).size(), 70u);
        });
}

TEST(PanelPainter, FontsBlockNamesFourFontsFromTheStartDirectory)
{
    const std::string text = ContentSourceText("data.xml");
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
