// The management panels' pictures build their buttons (the finance page's inert ones never hit), their icons
// read back, and their text lists exist in three languages with one entry per row.
#include "tools/content/management_pictures.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "tools/content/content_testing.h"
#include "tools/content/label_texts.h"
#include "ui/game/management.h"
#include "ui/game/popups.h"

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
    CFerroxCanvas finance;
    finance.Build((panels / "finance" / "finance.png").string().c_str(), 0.0f, 0.0f, 0);
    for (int k = 1; k <= kContentFinanceButtons; k++) {
        CFerroxWidget* button = finance.GetWidget(k);
        const FerroxPoint point = {button->m_x + 1.0f, 600.0f - (button->m_y + 1.0f)};
        const bool inert = k >= kContentFinanceFirstInert && k <= kContentFinanceLastInert;
        EXPECT_EQ(button->HitTest(&point) != 0, !inert) << k;
    }
    finance.Release();

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
    ContentExpectTextLists(
        ContentSourceText("language.xml"),
        {{"finance", 5}, {"hire", 1}, {"contractors", 1}, {"contractcategories", 4}, {"shopnames", 6}});
}

// A head `text` of the layout standing on x as the alignment puts it.
void ExpectHead(const ContentCanvasLayout& layout, const char* text, float x, int align = CONTENT_LABEL_RIGHT)
{
    const auto head = std::find_if(layout.labels.begin(), layout.labels.end(), [&](const ContentUiLabel& label) {
        return std::strcmp(label.text, text) == 0 && label.x == static_cast<int>(x) && label.align == align;
    });
    EXPECT_NE(head, layout.labels.end()) << layout.stem << " has no head \"" << text << "\" at " << x;
}

// The finance page, the contracts and the hire page head every column where the panels draw it; their names
// start the rows, and the buttons beside the figures and rows stand after them, inside the pages.
TEST(ManagementPictures, HeadsStandOverTheirColumnsAndButtonsAfterTheRows)
{
    const ContentCanvasLayout& finance = ContentFinanceLayout();
    for (const auto& [text, column] : {std::pair{"Total", kFinanceIncome}, std::pair{"Month", kFinanceIncomeMonth},
                                       std::pair{"Total", kFinanceExpenses}, std::pair{"Month", kFinanceExpensesMonth}})
        ExpectHead(finance, text, column.x);
    ExpectHead(finance, "Shop", kFinanceLineX + kShopNameX, CONTENT_LABEL_LEFT);
    for (const auto& [text, column] :
         {std::pair{"Takings", kShopTakings}, std::pair{"Net", kShopNet}, std::pair{"Paid", kShopPaid},
          std::pair{"Kind", kShopKind}, std::pair{"Sales", kShopSales}, std::pair{"Charge", kShopCharge}})
        ExpectHead(finance, text, kFinanceLineX + column.x);
    // The list's own buttons stand after the lines' charge buttons; every button on the page.
    constexpr float kChargeButton = 14.0f;
    for (int32_t k : {FINANCE_LIST_UP, FINANCE_LIST_DOWN})
        EXPECT_GE(static_cast<float>(finance.buttons[static_cast<size_t>(k - 1)].x),
                  kFinanceMinusX + kChargeButton + kPanelColumnGap);
    for (const ContentUiRect& button : finance.buttons)
        EXPECT_LE(button.x + button.width, finance.width);

    // The rating and dirt bars' names stand on the bars' lines just after them, clear in every language of the
    // base rating's widest figure beside the rating's name and inside the page.
    const float baseLeft =
        kFinanceBase.x - static_cast<float>(ContentTextWidth(kContentFiguresFont, kFinanceBase.widest));
    for (const auto& [word, barY] : {std::pair{"Rating", kFinanceRatingBarY}, std::pair{"Dirt", kFinanceRatioBarY}}) {
        const char* text = word;
        const auto name =
            std::find_if(finance.labels.begin(), finance.labels.end(),
                         [text](const ContentUiLabel& label) { return std::strcmp(label.text, text) == 0; });
        ASSERT_NE(name, finance.labels.end()) << text;
        EXPECT_EQ(name->x, static_cast<int>(kFinanceBarsX + kFinanceBarLength) + kContentLabelGap) << text;
        EXPECT_EQ(name->y, static_cast<int>(barY)) << text;
        for (int language = 0; language < kContentLanguageCount; language++) {
            ContentUiLabel label = *name;
            label.text = ContentLabelText(name->text, language);
            const ContentUiRect area = ContentLabelRect(label);
            EXPECT_LE(static_cast<float>(area.x + area.width + kContentLabelGap), baseLeft) << label.text;
        }
    }

    // The contracts and the hire page stand on the main bar: their heads stand over the first row's digits, and
    // the column of the OK buttons is headed with what they do.
    const int bar = ContentMainBarLayout().height;
    const auto expectOverRows = [bar](const ContentCanvasLayout& page, float firstRow) {
        const float digitsTop =
            firstRow - static_cast<float>(bar) + static_cast<float>(ContentDigitHeight(kContentFiguresFont));
        for (size_t k = 1; k < page.labels.size(); k++)
            for (int language = 0; language < kContentLanguageCount; language++) {
                ContentUiLabel label = page.labels[k];
                label.text = ContentLabelText(label.text, language);
                EXPECT_GT(static_cast<float>(ContentLabelRect(label).y), digitsTop) << label.text;
            }
    };
    constexpr float kOkButton = static_cast<float>(kContentOkWidth);
    const ContentCanvasLayout& contracts = ContentContractorsLayout();
    ExpectHead(contracts, "Job", kContractNameX, CONTENT_LABEL_LEFT);
    for (const auto& [text, column] : {std::pair{"Level", kContractLevel}, std::pair{"Price", kContractPrice},
                                       std::pair{"Wage", kContractWage}, std::pair{"Time", kContractTime}})
        ExpectHead(contracts, text, column.x);
    ExpectHead(contracts, "Sign", kContractOkX + kOkButton / 2.0f, CONTENT_LABEL_CENTRE);
    expectOverRows(contracts, kContractRowY);
    EXPECT_LE(kContractOkX + kOkButton, static_cast<float>(contracts.width));

    const ContentCanvasLayout& hire = ContentHireLayout();
    ExpectHead(hire, "Job", kHireTitleX, CONTENT_LABEL_LEFT);
    ExpectHead(hire, "Level", kHireLevel.x);
    ExpectHead(hire, "Wage", kHireWage.x);
    ExpectHead(hire, "Hire", kHireOkX + kOkButton / 2.0f, CONTENT_LABEL_CENTRE);
    expectOverRows(hire, kHireRowY);
    EXPECT_LE(kHireOkX + kOkButton, static_cast<float>(hire.width));
}

}  // namespace
