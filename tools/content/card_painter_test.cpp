// The cards' and summaries' pictures decode to the widgets the panels address, inert places are never hit,
// and their tooltip lists are found by name in three languages.
#include "tools/content/card_painter.h"

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

TEST(CardPainter, EveryCanvasBuildsTheButtonsItsPanelAddressesAndInertPlacesAreClear)
{
    ASSERT_TRUE(GxTestEngineStart());
    ASSERT_TRUE(GxTestFileSystemOpen());
    ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("content_cards_" + FerroxTestRunTag());
    std::string error;
    ASSERT_TRUE(ContentWriteCards(dir.string(), &error)) << error;
    struct Case {
        const char* picture;
        int widgets;  // background included
        std::vector<int> inert;
    };
    const Case cases[] = {
        {"shopperpopup/shopperpopup.png", 2, {}},          {"shoppopup/shoppopup.png", 2, {}},
        {"staffpopup/staffpopup.png", 9, {2, 3, 4, 5, 6}}, {"shoppers/shoppers.png", 13, {2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"staff/staff.png", 12, {4, 5, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        CFerroxCanvas canvas;
        canvas.Build((dir / c.picture).string().c_str(), 0.0f, 0.0f, 0);
        ASSERT_EQ(canvas.GetWidgetCount(), c.widgets) << c.picture;
        for (int k : c.inert) {
            CFerroxWidget* widget = canvas.GetWidget(k);
            const FerroxPoint centre = {widget->m_x + 1.0f, widget->m_y + 1.0f};
            EXPECT_EQ(widget->HitTest(&centre), 0) << c.picture << " " << k;
        }
        canvas.Release();
    }
    for (const char* picture :
         {"shoppers/Aquarius.png", "shoppers/Virgo.png", "shoppers/female.png", "shoppers/train.png",
          "staff/security.png", "staff/fire.png", "staff/move.png", "shoppopup/plus.png", "shoppopup/minus.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / picture)) << picture;
    std::filesystem::remove_all(dir);
    GxFileSystemManagerClose();
    GxTestEngineShutdown();
}

TEST(CardPainter, TooltipListsInThreeLanguagesFoundByTheirOwnNames)
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/tools/content/text/language.xml", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
        for (const List& list : {List{"staff", 5}, List{"staffpopup", 3}, List{"shoppers", 5}, List{"shopperpopup", 1},
                                 List{"shoppopup", 3}, List{"jobtitles", 4}}) {
            const int16_t index = locale.FindTextList(list.name);
            ASSERT_GE(index, 0) << list.name;
            for (uint16_t k = 0; k < list.count; k++) {
                bool missing = false;
                EXPECT_FALSE(locale.GetText(index, k, &missing).empty() || missing) << list.name << " " << k;
            }
            // A name found by substring must not land on a longer list first ("staff" in "staffpopup").
            bool missing = false;
            locale.GetText(index, list.count, &missing);
            EXPECT_TRUE(missing) << list.name << " has more entries than its own list";
        }
    }
}

}  // namespace
