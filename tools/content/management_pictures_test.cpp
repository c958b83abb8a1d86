// The management panels' pictures build their buttons (the finance page's inert ones never hit), their icons
// read back, and their text lists exist in three languages with one entry per row.
#include "tools/content/management_pictures.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tools/content/content_testing.h"
#include "tools/content/label_texts.h"
#include "tools/content/marks_testing.h"
#include "ui/game/management.h"
#include "ui/game/popups.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

class ManagementPages : public ContentFilesTest {};

TEST_F(ManagementPages, PagesBuildTheirButtonsAndIconsReadBack)
{
    const std::filesystem::path& root = dir;
    const std::filesystem::path panels = root / "images" / "panels";
    std::string error;
    ASSERT_TRUE(ContentWriteManagementPanels(panels.string(), &error)) << error;

    struct Expected {
        const char* picture;
        int widgets;
    };
    for (const Expected& expected : {Expected{"finance/finance.png", kContentFinanceButtons + 1},
                                     Expected{"contractors/contractors.png", 2}, Expected{"hire/hire.png", 2}}) {
        CFerroxCanvas canvas;
        canvas.Build((panels / expected.picture).string().c_str(), 0.0f, 0.0f, 0);
        ASSERT_EQ(canvas.GetWidgetCount(), expected.widgets) << expected.picture;
        EXPECT_GT(canvas.GetHotSpotCount(), 0u) << expected.picture;
        canvas.Release();
    }
    // The test device keeps no texels: the hit test reads the alpha the memory twin keeps of each tile.
    FerroxSetImageImplFactory(UiMakeRecordingImage);
    CFerroxCanvas finance;
    finance.Build((panels / "finance" / "finance.png").string().c_str(), 0.0f, 0.0f, 0);
    for (int k = 1; k <= kContentFinanceButtons; k++) {
        CFerroxWidget* button = finance.GetWidget(k);
        const FerroxPoint point = {button->m_x + 1.0f, 600.0f - (button->m_y + 1.0f)};
        const bool inert = k >= kContentFinanceFirstInert && k <= kContentFinanceLastInert;
        EXPECT_EQ(button->HitTest(&point) != 0, !inert) << k;
    }
    finance.Release();
    FerroxSetImageImplFactory(nullptr);

    for (const char* icon :
         {"finance/shopcat-fashion.png", "finance/shopcat-elec.png", "finance/shopcat-leisure.png",
          "finance/shopcat-home.png", "finance/shopcat-health.png", "finance/shopcat-food.png", "staff/clean.png",
          "staff/maint.png", "staff/security.png", "contractors/ok.png", "hire/ok.png"}) {
        GxImage* image = GxImageRead((panels / icon).string().c_str());
        ASSERT_NE(image, nullptr) << icon;
        // A shop category's icon stands over clear rows that lift it from under its line onto the line, and right
        // of clear columns that bring it from off the page to just before the category number.
        if (std::strstr(icon, "shopcat-") && image->depth == 32) {
            const auto alpha = [image](int row, int column) {
                return image->pixels[row * image->stride + column * 4 + 3];
            };
            const int left = kContentShopCategoryShift;
            EXPECT_EQ(image->height, 14 + kContentShopCategoryLift) << icon;
            EXPECT_EQ(image->width, 14 + kContentShopCategoryShift) << icon;
            EXPECT_EQ(alpha(0, left), 255) << icon;
            EXPECT_EQ(alpha(0, left - 1), 0) << icon;
            EXPECT_EQ(alpha(image->height - kContentShopCategoryLift - 1, image->width - 1), 255) << icon;
            EXPECT_EQ(alpha(image->height - kContentShopCategoryLift, left), 0) << icon;
            EXPECT_EQ(alpha(image->height - 1, left), 0) << icon;
        } else {
            EXPECT_FALSE(std::strstr(icon, "shopcat-")) << icon << " read at depth " << image->depth;
        }
        GxImageDestroy(image);
    }
}

TEST(ManagementPictures, ListsHaveOneTextPerRowInThreeLanguages)
{
    ContentExpectTextLists(ContentSourceText("language.xml"),
                           {{"finance", static_cast<uint16_t>(ContentCanvasHotSpots(ContentFinanceLayout()).size())},
                            {"contractcategories", 4},
                            {"shopnames", 6}});
}

// Everything the finance page draws over its picture, each figure at its widest: the accounts, the date and
// the other figures, the two bars, and the nine shop lines with their category pictures.
std::vector<ContentFigure> FinanceFigures()
{
    std::vector<ContentFigure> figures;
    const auto add = [&figures](const std::string& name, const PanelColumn& column, float y, bool left = false) {
        figures.push_back(ContentFigureAt(name, column.x, y, column.widest, left));
    };
    for (float y : {315.0f, 287.0f, 270.0f}) {
        add("income total " + std::to_string(y), kFinanceIncome, y);
        add("income month " + std::to_string(y), kFinanceIncomeMonth, y);
    }
    for (float y : {235.0f, 220.0f})
        add("draw " + std::to_string(y), kFinanceDrawn, y);
    for (float y : {315.0f, 290.0f, 273.0f, 256.0f, 237.0f, 220.0f}) {
        add("expense total " + std::to_string(y), kFinanceExpenses, y);
        add("expense month " + std::to_string(y), kFinanceExpensesMonth, y);
    }
    add("date", kFinanceDate, 320.0f);
    add("shops", kFinanceShops, 291.0f);
    add("base charge", kFinanceCharge, 291.0f);
    for (const PanelColumn& column : {kFinanceDecor, kFinanceDecorMonth, kFinanceFloors})
        add(std::string("storeys line ") + std::to_string(column.x), column, kFinanceFloorsY);
    add("base rating", kFinanceBase, kFinanceBaseY);
    for (float y : {kFinanceRatingBarY, kFinanceRatioBarY})
        figures.push_back(
            ContentFigureArea("bar " + std::to_string(y), {static_cast<int>(kFinanceBarsX), static_cast<int>(y),
                                                           static_cast<int>(kFinanceBarLength), 1}));
    for (uint16_t k = 0; k < kFinanceRows; k++) {
        const float x = kFinanceLineX, y = kFinanceLineY - kFinanceRowStep * k;
        const std::string line = "line " + std::to_string(k) + " ";
        add(line + "number", {x + kShopNumber.x, kShopNumber.widest}, y, true);
        for (const PanelColumn& column : {kShopTakings, kShopNet, kShopPaid, kShopKind, kShopSales, kShopCharge})
            add(line + column.widest, {x + column.x, column.widest}, y);
        // The category picture, 14 pixels square, stands just before the category number, on the line.
        constexpr int kCategorySide = 14;
        figures.push_back(
            ContentFigureArea(line + "category", {static_cast<int>(x + kShopPictureX) + kContentShopCategoryShift,
                                                  static_cast<int>(y + kShopPictureY) + kContentShopCategoryLift,
                                                  kCategorySide, kCategorySide}));
    }
    return figures;
}

// Every figure of the finance page is named: each lies whole under exactly one icon's tooltip, and no icon runs
// up to a figure at its widest. The tooltips never cover one another nor the buttons' own, so each shows where it
// belongs, and each ends on the screen.
TEST(ManagementPictures, FinanceIconsNameEveryFigureAndKeepClearOfThem)
{
    const ContentCanvasLayout& finance = ContentFinanceLayout();
    EXPECT_TRUE(finance.labels.empty());
    ASSERT_GT(ContentDigitHeight(kContentFiguresFont), 0);
    const std::vector<ContentFigure> figures = FinanceFigures();
    ContentExpectMarksClear(finance, figures);
    std::vector<ContentFigure> numbers;
    std::copy_if(figures.begin(), figures.end(), std::back_inserter(numbers), [](const ContentFigure& figure) {
        return figure.what.rfind("bar ", 0) != 0 && figure.what.find("category") == std::string::npos;
    });
    ContentExpectFiguresApart(numbers);
    ContentExpectTooltipsOnScreen(finance, "finance");
    const std::vector<ContentUiRect> spots = ContentCanvasHotSpots(finance);
    for (const ContentFigure& figure : figures) {
        int named = 0;
        for (size_t k = finance.hotSpots.size(); k < spots.size(); k++)
            named += ContentRectHolds(spots[k], figure.area) ? 1 : 0;
        EXPECT_EQ(named, 1) << figure.what;
    }

    // The list's own buttons stand after the lines' charge buttons; every button on the page.
    constexpr float kChargeButton = 14.0f;
    for (int32_t k : {FINANCE_LIST_UP, FINANCE_LIST_DOWN})
        EXPECT_GE(static_cast<float>(finance.buttons[static_cast<size_t>(k - 1)].x),
                  kFinanceMinusX + kChargeButton + kPanelColumnGap);
    for (const ContentUiRect& button : finance.buttons)
        EXPECT_LE(button.x + button.width, finance.width);
}

// The contracts and the hire page stand on the main bar, so their rows are drawn that much higher than on the
// page. Their words are icons: each column's icon over it names every row's figure, bar or picture with its
// tooltip, no icon meets a figure or an OK button at its place, and the OK buttons stay inside the page.
TEST(ManagementPictures, ContractsAndHireIconsNameTheirColumns)
{
    const float bar = static_cast<float>(ContentMainBarLayout().height);
    constexpr int kBarDy = -5, kBarHeight = 6, kBarLength = 32, kPicture = 16, kOkHeight = 12;
    const int ok = kContentOkWidth;
    const auto name = [](const std::string& what, float x, float y, float room) {
        return ContentFigureArea(what, {static_cast<int>(x), static_cast<int>(y), static_cast<int>(room),
                                        ContentDigitHeight(kContentFiguresFont)});
    };

    const ContentCanvasLayout& contracts = ContentContractorsLayout();
    EXPECT_TRUE(contracts.labels.empty());
    std::vector<ContentFigure> drawn;
    for (int k = 0; k < 4; k++) {
        const float y = kContractRowY - bar - kContractRowStep * static_cast<float>(k);
        const std::string row = " of row " + std::to_string(k);
        const std::vector<std::pair<ContentIcon, ContentFigure>> columns = {
            {CONTENT_ICON_JOB, name("category" + row, kContractNameX, y, kContractNameRoom)},
            {CONTENT_ICON_LEVEL, ContentFigureAt("level" + row, kContractLevel.x, y, kContractLevel.widest)},
            {CONTENT_ICON_CHARGE, ContentFigureAt("price" + row, kContractPrice.x, y, kContractPrice.widest)},
            {CONTENT_ICON_CHARGE, ContentFigureAt("price's dash" + row, kContractPriceDashX, y, "-", true)},
            {CONTENT_ICON_WAGE, ContentFigureAt("wage" + row, kContractWage.x, y, kContractWage.widest)},
            {CONTENT_ICON_CLOCK, ContentFigureAt("time" + row, kContractTime.x, y, kContractTime.widest)},
            {CONTENT_ICON_CLOCK, ContentFigureAt("time's dash" + row, kContractTimeDashX, y, "-", true)},
        };
        for (const auto& [icon, figure] : columns) {
            ContentExpectNamed(contracts, icon, figure);
            drawn.push_back(figure);
        }
        ContentExpectFiguresApart({columns[1].second, columns[2].second, columns[4].second, columns[5].second});
        // A running contract's bar stands in the time's place.
        drawn.push_back(ContentFigureArea(
            "bar" + row, {static_cast<int>(kContractBarX), static_cast<int>(y) + kBarDy, kBarLength, kBarHeight}));
        drawn.push_back(ContentFigureArea(
            "OK button" + row,
            {static_cast<int>(kContractOkX), static_cast<int>(kContractOkY - kContractRowStep * k), ok, kOkHeight}));
    }
    ContentExpectMarksClear(contracts, drawn);
    const auto sign = std::find_if(contracts.marks.begin(), contracts.marks.end(),
                                   [](const ContentUiMark& mark) { return mark.icon == CONTENT_ICON_SIGN; });
    ASSERT_NE(sign, contracts.marks.end());
    EXPECT_EQ(2 * sign->place.x + sign->place.width, 2 * static_cast<int>(kContractOkX) + ok) << "over the buttons";
    EXPECT_LE(kContractOkX + static_cast<float>(ok), static_cast<float>(contracts.width));

    const ContentCanvasLayout& hire = ContentHireLayout();
    EXPECT_TRUE(hire.labels.empty());
    drawn.clear();
    for (int k = 0; k < HIRE_ROWS; k++) {
        const float y = kHireRowY - bar - kHireRowStep * static_cast<float>(k);
        const std::string row = " of row " + std::to_string(k);
        const std::vector<std::pair<ContentIcon, ContentFigure>> columns = {
            {CONTENT_ICON_JOB, name("title" + row, kHireTitleX, y, kHireTitleRoom)},
            {CONTENT_ICON_JOB,
             ContentFigureArea("picture" + row, {static_cast<int>(kHirePictureX), static_cast<int>(y + kHirePictureDy),
                                                 kPicture, kPicture})},
            {CONTENT_ICON_LEVEL, ContentFigureAt("level" + row, kHireLevel.x, y, kHireLevel.widest)},
            {CONTENT_ICON_WAGE, ContentFigureAt("wage" + row, kHireWage.x, y, kHireWage.widest)},
        };
        for (const auto& [icon, figure] : columns) {
            ContentExpectNamed(hire, icon, figure);
            drawn.push_back(figure);
        }
        drawn.push_back(
            ContentFigureArea("OK button" + row, {static_cast<int>(kHireOkX),
                                                  static_cast<int>(kHireOkY - kHireRowStep * k), ok, kOkHeight}));
    }
    ContentExpectMarksClear(hire, drawn);
    const auto take = std::find_if(hire.marks.begin(), hire.marks.end(),
                                   [](const ContentUiMark& mark) { return mark.icon == CONTENT_ICON_HIRE; });
    ASSERT_NE(take, hire.marks.end());
    EXPECT_EQ(2 * take->place.x + take->place.width, 2 * static_cast<int>(kHireOkX) + ok) << "over the buttons";
    EXPECT_LE(kHireOkX + static_cast<float>(ok), static_cast<float>(hire.width));

    // Each page's list holds a text for every hot-spot, its close button's and its icons', that ends on the screen.
    ContentExpectTooltipsOnScreen(hire, "hire");
    ContentExpectTooltipsOnScreen(contracts, "contractors");
}

}  // namespace
