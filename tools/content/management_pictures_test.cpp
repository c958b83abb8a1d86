// The management panels' pictures build their buttons (the finance page's inert ones never hit), their icons
// read back, and their text lists exist in three languages with one entry per row.
#include "tools/content/management_pictures.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "ui/toolkit/canvas.h"

namespace {

TEST(ManagementPictures, PagesBuildTheirButtonsAndIconsReadBack)
{
    ASSERT_TRUE(GxTestEngineStart());
    ASSERT_TRUE(GxTestFileSystemOpen());
    ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("content_management_" + std::to_string(std::random_device()()));
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
    std::filesystem::remove_all(root);
    GxFileSystemManagerClose();
    GxTestEngineShutdown();
}

TEST(ManagementPictures, ListsHaveOneTextPerRowInThreeLanguages)
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/tools/content/text/language.xml", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CFerroxTagTree tree;
    tree.LoadFromMemory(text.data(), text.size());
    struct Wanted {
        const char* list;
        uint16_t count;
    };
    for (int32_t language = 0; language < 3; language++) {
        CLocale locale;
        locale.SetLanguage(language);
        locale.LoadTextsFromTree(tree);
        for (const Wanted& wanted : {Wanted{"finance", 5}, Wanted{"hire", 1}, Wanted{"contractors", 1},
                                     Wanted{"contractcategories", 4}, Wanted{"shopnames", 6}}) {
            const int16_t list = locale.FindTextList(wanted.list);
            ASSERT_GE(list, 0) << wanted.list;
            for (uint16_t index = 0; index <= wanted.count; index++) {
                bool missing = false;
                const std::u16string found = locale.GetText(list, index, &missing);
                EXPECT_EQ(missing, index == wanted.count) << wanted.list << " " << index << " language " << language;
            }
        }
    }
}

}  // namespace
