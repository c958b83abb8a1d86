// The management panels' pictures build their buttons (the finance page's inert ones never hit), their icons
// read back, and their text lists exist in three languages with one entry per row.
#include "tools/content/management_pictures.h"

#include <filesystem>

#include "tools/content/content_testing.h"

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
        EXPECT_NE(image, nullptr) << icon;
        if (image)
            GxImageDestroy(image);
    }
}

TEST(ManagementPictures, ListsHaveOneTextPerRowInThreeLanguages)
{
    ContentExpectTextLists(
        ContentSourceText("language.xml"),
        {{"finance", 5}, {"hire", 1}, {"contractors", 1}, {"contractcategories", 4}, {"shopnames", 6}});
}

}  // namespace
