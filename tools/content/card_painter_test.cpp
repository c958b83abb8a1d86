// The cards' and summaries' pictures decode to the widgets the panels address, inert places are never hit,
// and their tooltip lists are found by name in three languages.
#include "tools/content/card_painter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tools/content/content_testing.h"
#include "tools/content/label_texts.h"
#include "ui/game/popups.h"

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

// A head `text` of the layout standing on x as the alignment puts it: the right end of a figure's column, the
// middle of a bar or picture, the left end of a name.
void ExpectHead(const ContentCanvasLayout& layout, const char* text, float x, int align = CONTENT_LABEL_RIGHT)
{
    const auto head = std::find_if(layout.labels.begin(), layout.labels.end(), [&](const ContentUiLabel& label) {
        return std::strcmp(label.text, text) == 0 && label.x == static_cast<int>(x) && label.align == align;
    });
    EXPECT_NE(head, layout.labels.end()) << layout.stem << " has no head \"" << text << "\" at " << x;
}

// Each button of a card or summary stands after its lines' last figure.
void ExpectAfter(const ContentCanvasLayout& layout, const std::vector<size_t>& buttons, float lineEnd)
{
    for (size_t k : buttons)
        EXPECT_GE(static_cast<float>(layout.buttons[k].x), lineEnd + kPanelColumnGap) << layout.stem << " " << k + 1;
}

// Every column of the cards and summaries is headed where the panels draw it, and their buttons stand after the
// lines: the figures the game's fonts draw at their widest never meet a head or a button.
TEST(CardPainter, HeadsStandOverTheirColumnsAndButtonsAfterTheLines)
{
    constexpr float kByInset = 4.0f;
    for (const auto& [layout, lineX] : {std::pair{&ContentShopperCardLayout(), kShopperCardLineX},
                                        std::pair{&ContentShopperSummaryLayout(), kShopperSummaryLineX}}) {
        ExpectHead(*layout, "Age", lineX + kShopperAge.x);
        ExpectHead(*layout, "Cash", lineX + kShopperMoney.x);
        const char* needs[] = {"Toilet", "Rest", "Wait"};
        for (size_t k = 0; k < 3; k++)
            ExpectHead(*layout, needs[k], lineX + kShopperNeedBarsX[k] + kShopperNeedBarLength / 2,
                       CONTENT_LABEL_CENTRE);
        // How the shopper came is headed from just inside its picture, clear of the last bar's head.
        ExpectHead(*layout, "By", lineX + kShopperArrivalX + kByInset, CONTENT_LABEL_LEFT);
        ExpectHead(*layout, "Bags", lineX + kShopperBags.x);
    }
    ExpectAfter(ContentShopperCardLayout(), {0}, kShopperCardLineX + kShopperBags.x);
    ExpectAfter(ContentShopperSummaryLayout(), {0, 10, 11}, kShopperSummaryLineX + kShopperBags.x);
    const ContentCanvasLayout& shoppers = ContentShopperSummaryLayout();
    for (const auto& [text, column] : {std::pair{"Came", kShoppersCame}, std::pair{"Month", kShoppersCameMonth},
                                       std::pair{"Spent", kShoppersSpent}, std::pair{"Month", kShoppersSpentMonth}})
        ExpectHead(shoppers, text, column.x);
    // The spending per shopper is named on its row, clear of its widest figure in every language.
    const auto each = std::find_if(shoppers.labels.begin(), shoppers.labels.end(),
                                   [](const ContentUiLabel& label) { return std::strcmp(label.text, "Each") == 0; });
    ASSERT_NE(each, shoppers.labels.end());
    const float figureLeft =
        kShoppersSpent.x - static_cast<float>(ContentTextWidth(kContentFiguresFont, kPanelWidestU16));
    for (int language = 0; language < kContentLanguageCount; language++) {
        ContentUiLabel label = *each;
        label.text = ContentLabelText(each->text, language);
        const ContentUiRect area = ContentLabelRect(label);
        EXPECT_LE(static_cast<float>(area.x + area.width + kContentLabelGap), figureLeft) << label.text;
        EXPECT_EQ(label.y, 328) << "on the row of the spending per shopper";
    }

    for (const auto& [layout, lineX] : {std::pair{&ContentStaffCardLayout(), kStaffCardLineX},
                                        std::pair{&ContentStaffSummaryLayout(), kStaffSummaryLineX}}) {
        ExpectHead(*layout, "Job", lineX, CONTENT_LABEL_LEFT);
        ExpectHead(*layout, "Level", lineX + kStaffLevel.x);
        const auto wage = std::find_if(layout->labels.begin(), layout->labels.end(), [](const ContentUiLabel& label) {
            return std::strcmp(label.text, "Wage") == 0;
        });
        ASSERT_NE(wage, layout->labels.end());
        EXPECT_EQ(wage->x, static_cast<int>(lineX + kStaffWage.x));
        ExpectHead(*layout, "Jobs", lineX + kStaffJobs.x);
    }
    ExpectAfter(ContentStaffCardLayout(), {0, 6, 7}, kStaffCardLineX + kStaffJobs.x);
    ExpectAfter(ContentStaffSummaryLayout(), {0, 1, 2}, kStaffSummaryMoveX);
    EXPECT_GE(kStaffSummaryFireX, kStaffSummaryLineX + kStaffJobs.x);
    ExpectHead(ContentStaffSummaryLayout(), "Month", kStaffWagesMonth.x);

    const ContentCanvasLayout& shop = ContentShopCardLayout();
    ExpectHead(shop, "Shop", kShopCardLineX + kShopNameX, CONTENT_LABEL_LEFT);
    for (const auto& [text, column] :
         {std::pair{"Takings", kShopTakings}, std::pair{"Net", kShopNet}, std::pair{"Paid", kShopPaid},
          std::pair{"Kind", kShopKind}, std::pair{"Sales", kShopSales}, std::pair{"Charge", kShopCharge}})
        ExpectHead(shop, text, kShopCardLineX + column.x);
    // The charge buttons' tooltips lie where the card puts the buttons; the close button after them.
    ASSERT_EQ(shop.hotSpots.size(), 3u);
    EXPECT_EQ(shop.hotSpots[1].x, static_cast<int>(kShopCardPlusX));
    EXPECT_EQ(shop.hotSpots[2].x, static_cast<int>(kShopCardMinusX));
    ExpectAfter(shop, {0}, kShopCardMinusX + static_cast<float>(shop.hotSpots[2].width));
}

}  // namespace
