// The cards' and summaries' pictures decode to the widgets the panels address, inert places are never hit,
// and their tooltip lists are found by name in three languages.
#include "tools/content/card_painter.h"

#include <filesystem>

#include "tools/content/content_testing.h"

namespace {

class CardPictures : public ContentFilesTest {};

TEST_F(CardPictures, EveryCanvasBuildsTheButtonsItsPanelAddressesAndInertPlacesAreClear)
{
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
}

// A name found by substring must not land on a longer list first ("staff" in "staffpopup").
TEST(CardPainter, TooltipListsInThreeLanguagesFoundByTheirOwnNames)
{
    ContentExpectTextLists(
        ContentSourceText("language.xml"),
        {{"staff", 5}, {"staffpopup", 3}, {"shoppers", 5}, {"shopperpopup", 1}, {"shoppopup", 3}, {"jobtitles", 4}});
}

}  // namespace
