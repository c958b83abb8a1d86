// The cards' and summaries' pictures decode to the widgets the panels address, inert places are never hit,
// their icons name every figure, and their tooltip lists are found by name in three languages.
#include "tools/content/card_painter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tools/content/content_testing.h"
#include "tools/content/label_texts.h"
#include "tools/content/management_pictures.h"
#include "tools/content/marks_testing.h"
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

// A name found by substring must not land on a longer list first ("staff" in "staffpopup"); each canvas's list
// holds a text for every hot-spot, its buttons' and its icons', that ends on the screen.
TEST(CardPainter, TooltipListsInThreeLanguagesFoundByTheirOwnNames)
{
    ContentExpectTooltipsOnScreen(ContentStaffSummaryLayout(), "staff");
    ContentExpectTooltipsOnScreen(ContentStaffCardLayout(), "staffpopup");
    ContentExpectTooltipsOnScreen(ContentShopperSummaryLayout(), "shoppers");
    ContentExpectTooltipsOnScreen(ContentShopperCardLayout(), "shopperpopup");
    ContentExpectTooltipsOnScreen(ContentShopCardLayout(), "shoppopup");
    ContentExpectTextLists(ContentSourceText("language.xml"), {{"jobtitles", 4}});
}

// Where the cards draw a line's figures and pictures, and the summaries their first line and totals.
constexpr float kShopperCardY = 16.0f;
constexpr float kShopperFirstLineY = 271.0f;
constexpr float kCardLineY = 15.0f;  // the shop and staff cards
constexpr float kStaffFirstLineY = 161.0f;
constexpr int kPicture = 16;
constexpr int kPictureDy = -7;
constexpr int kBarDy = -5;
constexpr int kBarHeight = 6;
constexpr int kShopPictureSide = 14;

ContentFigure Picture(const std::string& what, float x, float y)
{
    return ContentFigureArea(what, {static_cast<int>(x), static_cast<int>(y) + kPictureDy, kPicture, kPicture});
}

// A shopper line at (x, y): its pictures, figures and bars.
std::vector<ContentFigure> ShopperLine(float x, float y)
{
    std::vector<ContentFigure> line = {
        Picture("star sign", x - 30.0f, y),
        Picture("sex", x + 2.0f, y),
        ContentFigureAt("age", x + kShopperAge.x, y, kShopperAge.widest),
        ContentFigureAt("money", x + kShopperMoney.x, y, kShopperMoney.widest),
        Picture("arrival", x + kShopperArrivalX, y),
        ContentFigureAt("bags", x + kShopperBags.x, y, kShopperBags.widest),
    };
    const char* needs[] = {"toilet bar", "rest bar", "patience bar"};
    for (size_t k = 0; k < 3; k++)
        line.push_back(
            ContentFigureArea(needs[k], {static_cast<int>(x + kShopperNeedBarsX[k]), static_cast<int>(y) + kBarDy,
                                         static_cast<int>(kShopperNeedBarLength), kBarHeight}));
    return line;
}

// Each column of a shopper line is named by its own icon.
void ExpectShopperColumnsNamed(const ContentCanvasLayout& layout, const std::vector<ContentFigure>& line)
{
    const ContentIcon icons[] = {CONTENT_ICON_AGE,    CONTENT_ICON_CASH,  CONTENT_ICON_ARRIVAL, CONTENT_ICON_BAG,
                                 CONTENT_ICON_TOILET, CONTENT_ICON_SEATS, CONTENT_ICON_PATIENCE};
    for (size_t k = 0; k < 7; k++)
        ContentExpectNamed(layout, icons[k], line[k + 2]);
}

// A staff line at (x, y): title, picture and figures.
std::vector<ContentFigure> StaffLine(float x, float y)
{
    return {
        ContentFigureArea("title", {static_cast<int>(x), static_cast<int>(y), static_cast<int>(kStaffTitleRoom),
                                    ContentDigitHeight(kContentFiguresFont)}),
        Picture("job", x + kStaffPictureX, y),
        ContentFigureAt("level", x + kStaffLevel.x, y, kStaffLevel.widest),
        ContentFigureAt("wage", x + kStaffWage.x, y, kStaffWage.widest),
        ContentFigureAt("jobs done", x + kStaffJobs.x, y, kStaffJobs.widest),
    };
}

void ExpectStaffColumnsNamed(const ContentCanvasLayout& layout, const std::vector<ContentFigure>& line)
{
    const ContentIcon icons[] = {CONTENT_ICON_JOB, CONTENT_ICON_JOB, CONTENT_ICON_LEVEL, CONTENT_ICON_WAGE,
                                 CONTENT_ICON_TICK};
    for (size_t k = 0; k < line.size(); k++)
        ContentExpectNamed(layout, icons[k], line[k]);
}

// Each button of a card or summary stands after its lines' last figure.
void ExpectAfter(const ContentCanvasLayout& layout, const std::vector<size_t>& buttons, float lineEnd)
{
    for (size_t k : buttons)
        EXPECT_GE(static_cast<float>(layout.buttons[k].x), lineEnd + kPanelColumnGap) << layout.stem << " " << k + 1;
}

// The cards' words are icons: each figure, bar and picture the game draws at its widest is named by the icon
// that says what it is, whose tooltip covers it; no icon meets a figure, a button or another icon, and the
// buttons stand after the lines.
TEST(CardPainter, IconsNameEveryColumnAndKeepClearOfTheFigures)
{
    for (const ContentCanvasLayout* layout :
         {&ContentShopperCardLayout(), &ContentShopCardLayout(), &ContentStaffCardLayout(),
          &ContentShopperSummaryLayout(), &ContentStaffSummaryLayout()})
        EXPECT_TRUE(layout->labels.empty()) << layout->stem << " carries words";

    const std::vector<ContentFigure> card = ShopperLine(kShopperCardLineX, kShopperCardY);
    ContentExpectMarksClear(ContentShopperCardLayout(), card);
    ContentExpectFiguresApart({card[2], card[3], card[5]});
    ExpectShopperColumnsNamed(ContentShopperCardLayout(), card);
    ExpectAfter(ContentShopperCardLayout(), {0}, kShopperCardLineX + kShopperBags.x);

    // The summary: its first line and its totals; the column's tooltip also covers the lowest line.
    const ContentCanvasLayout& shoppers = ContentShopperSummaryLayout();
    std::vector<ContentFigure> summary = ShopperLine(kShopperSummaryLineX, kShopperFirstLineY);
    const float lowest = kShopperFirstLineY - 13.0f * (kShopperSummaryLines - 1);
    ExpectShopperColumnsNamed(shoppers, ShopperLine(kShopperSummaryLineX, lowest));
    const std::vector<std::pair<ContentIcon, ContentFigure>> totals = {
        {CONTENT_ICON_SHOPPERS, ContentFigureAt("shoppers", kShoppersCame.x, 344.0f, kShoppersCame.widest)},
        {CONTENT_ICON_MONTHLY,
         ContentFigureAt("shoppers a month", kShoppersCameMonth.x, 344.0f, kShoppersCameMonth.widest)},
        {CONTENT_ICON_EXPENSES, ContentFigureAt("spending", kShoppersSpent.x, 344.0f, kShoppersSpent.widest)},
        {CONTENT_ICON_MONTHLY,
         ContentFigureAt("spending a month", kShoppersSpentMonth.x, 344.0f, kShoppersSpentMonth.widest)},
        {CONTENT_ICON_PER_SHOPPER, ContentFigureAt("spending per shopper", kShoppersSpent.x, 328.0f, kPanelWidestU16)},
        {CONTENT_ICON_MONTHLY,
         ContentFigureAt("spending per shopper a month", kShoppersSpentMonth.x, 328.0f, kShoppersSpentMonth.widest)},
    };
    for (const auto& [icon, figure] : totals) {
        ContentExpectNamed(shoppers, icon, figure);
        summary.push_back(figure);
    }
    ContentExpectMarksClear(shoppers, summary);
    ContentExpectFiguresApart({summary.end() - 6, summary.end()});
    ExpectAfter(shoppers, {0, 10, 11}, kShopperSummaryLineX + kShopperBags.x);

    const std::vector<ContentFigure> staffCard = StaffLine(kStaffCardLineX, kCardLineY);
    ContentExpectMarksClear(ContentStaffCardLayout(), staffCard);
    ContentExpectFiguresApart({staffCard.begin() + 2, staffCard.end()});
    ExpectStaffColumnsNamed(ContentStaffCardLayout(), staffCard);
    ExpectAfter(ContentStaffCardLayout(), {0, 6, 7}, kStaffCardLineX + kStaffJobs.x);

    const ContentCanvasLayout& staff = ContentStaffSummaryLayout();
    std::vector<ContentFigure> staffSummary = StaffLine(kStaffSummaryLineX, kStaffFirstLineY);
    ExpectStaffColumnsNamed(staff, StaffLine(kStaffSummaryLineX, kStaffFirstLineY - 13.0f * (kStaffSummaryLines - 1)));
    const std::vector<std::pair<ContentIcon, ContentFigure>> staffTotals = {
        {CONTENT_ICON_STAFF, ContentFigureAt("staff count", kStaffCount.x, 230.0f, kStaffCount.widest)},
        {CONTENT_ICON_WAGE, ContentFigureAt("wages", kStaffWages.x, 230.0f, kStaffWages.widest)},
        {CONTENT_ICON_WAGE, ContentFigureAt("wages a month", kStaffWagesMonth.x, 230.0f, kStaffWagesMonth.widest)},
        {CONTENT_ICON_TICK, ContentFigureAt("jobs done", kStaffWages.x, 215.0f, kStaffWages.widest)},
        {CONTENT_ICON_TICK, ContentFigureAt("jobs done a month", kStaffWagesMonth.x, 215.0f, kStaffWagesMonth.widest)},
    };
    for (const auto& [icon, figure] : staffTotals) {
        ContentExpectNamed(staff, icon, figure);
        staffSummary.push_back(figure);
    }
    ContentExpectMarksClear(staff, staffSummary);
    ContentExpectFiguresApart({staffSummary.end() - 5, staffSummary.end()});
    ExpectAfter(staff, {0, 1, 2}, kStaffSummaryMoveX);
    EXPECT_GE(kStaffSummaryFireX, kStaffSummaryLineX + kStaffJobs.x);
    // The monthly column is headed over its figures.
    const auto month = std::find_if(staff.marks.begin(), staff.marks.end(),
                                    [](const ContentUiMark& mark) { return mark.icon == CONTENT_ICON_MONTHLY; });
    ASSERT_NE(month, staff.marks.end());
    EXPECT_EQ(month->place.x + month->place.width, static_cast<int>(kStaffWagesMonth.x));
    EXPECT_GT(month->place.y, 230 + ContentDigitHeight(kContentFiguresFont));

    // The shop card: the number and name, each figure and the kind's picture before its number; the charge
    // buttons' tooltips lie where the card puts the buttons, the close button after them.
    const ContentCanvasLayout& shop = ContentShopCardLayout();
    const float x = kShopCardLineX, y = kCardLineY;
    const std::vector<std::pair<ContentIcon, ContentFigure>> columns = {
        {CONTENT_ICON_SHOP, ContentFigureAt("number", x + kShopNumber.x, y, kShopNumber.widest, true)},
        {CONTENT_ICON_SHOP,
         ContentFigureArea("name", {static_cast<int>(x + kShopNameX), static_cast<int>(y),
                                    static_cast<int>(kShopNameRoom), ContentDigitHeight(kContentFiguresFont)})},
        {CONTENT_ICON_CASH, ContentFigureAt("takings", x + kShopTakings.x, y, kShopTakings.widest)},
        {CONTENT_ICON_NET, ContentFigureAt("net", x + kShopNet.x, y, kShopNet.widest)},
        {CONTENT_ICON_PAID, ContentFigureAt("charges paid", x + kShopPaid.x, y, kShopPaid.widest)},
        {CONTENT_ICON_KIND,
         ContentFigureArea("kind's picture", {static_cast<int>(x + kShopPictureX) + kContentShopCategoryShift,
                                              static_cast<int>(y + kShopPictureY) + kContentShopCategoryLift,
                                              kShopPictureSide, kShopPictureSide})},
        {CONTENT_ICON_KIND, ContentFigureAt("kind", x + kShopKind.x, y, kShopKind.widest)},
        {CONTENT_ICON_SALES, ContentFigureAt("sales", x + kShopSales.x, y, kShopSales.widest)},
        {CONTENT_ICON_CHARGE, ContentFigureAt("charge", x + kShopCharge.x, y, kShopCharge.widest)},
    };
    std::vector<ContentFigure> shopLine;
    for (const auto& [icon, figure] : columns) {
        ContentExpectNamed(shop, icon, figure);
        shopLine.push_back(figure);
    }
    ContentExpectMarksClear(shop, shopLine);
    ContentExpectFiguresApart({shopLine[2], shopLine[3], shopLine[4], shopLine[6], shopLine[7], shopLine[8]});
    ASSERT_EQ(shop.hotSpots.size(), 3u);
    EXPECT_EQ(shop.hotSpots[1].x, static_cast<int>(kShopCardPlusX));
    EXPECT_EQ(shop.hotSpots[2].x, static_cast<int>(kShopCardMinusX));
    ExpectAfter(shop, {0}, kShopCardMinusX + static_cast<float>(shop.hotSpots[2].width));
}

// The English text of the hot-spot that holds `area` whole, or nothing when none does.
std::string NamedBy(const ContentCanvasLayout& layout, const char* list, const ContentUiRect& area)
{
    const std::string language = ContentSourceText("language.xml");
    CFerroxTagTree tree;
    if (!tree.LoadFromMemory(language.data(), language.size()))
        return "";
    CLocale locale;
    locale.SetLanguage(0);
    locale.LoadTextsFromTree(tree);
    const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(layout);
    for (size_t k = 0; k < spots.size(); k++) {
        if (!ContentRectHolds(spots[k], area))
            continue;
        std::string text;
        for (char16_t c : locale.GetText(locale.FindTextList(list), static_cast<uint16_t>(k)))
            text += static_cast<char>(c);
        return text;
    }
    return "";
}

// Pictures without a column icon and the staff list's row buttons say what they are where they stand: the star
// sign and sex of every shopper line, the fire and move buttons of the first and last staff lines.
TEST(CardPainter, PicturesAndRowButtonsAreNamedByTheirHotSpots)
{
    const std::vector<ContentFigure> card = ShopperLine(kShopperCardLineX, kShopperCardY);
    EXPECT_EQ(NamedBy(ContentShopperCardLayout(), "shopperpopup", card[0].area), "Star sign");
    EXPECT_EQ(NamedBy(ContentShopperCardLayout(), "shopperpopup", card[1].area), "Sex");
    for (const float y : {kShopperFirstLineY, kShopperFirstLineY - 13.0f * (kShopperSummaryLines - 1)}) {
        const std::vector<ContentFigure> line = ShopperLine(kShopperSummaryLineX, y);
        EXPECT_EQ(NamedBy(ContentShopperSummaryLayout(), "shoppers", line[0].area), "Star sign") << y;
        EXPECT_EQ(NamedBy(ContentShopperSummaryLayout(), "shoppers", line[1].area), "Sex") << y;
    }
    constexpr int kTopButtonY = 155, kButtonWidth = 28, kButtonHeight = 12;
    for (const int y : {kTopButtonY, kTopButtonY - 13 * (kStaffSummaryLines - 1)}) {
        const ContentUiRect fire = {static_cast<int>(kStaffSummaryFireX), y, kButtonWidth, kButtonHeight};
        const ContentUiRect move = {static_cast<int>(kStaffSummaryMoveX), y, kButtonWidth, kButtonHeight};
        EXPECT_EQ(NamedBy(ContentStaffSummaryLayout(), "staff", fire), "Fire this member of staff") << y;
        EXPECT_EQ(NamedBy(ContentStaffSummaryLayout(), "staff", move), "Move this member of staff") << y;
    }
}

}  // namespace
