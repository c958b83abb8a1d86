// Front-end pictures: the canvas builder finds each layout's buttons and hot-spots, the overlays leave the
// views clear where they must and take every click where they must, and the texts exist in three languages.
#include "tools/content/frontend_pictures.h"

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
#include "ui/toolkit/canvas.h"

namespace {

uint8_t AlphaAt(const ContentPngImage& image, int x, int bottomUpY)
{
    const size_t row = image.height - 1 - static_cast<size_t>(bottomUpY);
    return image.rows[(row * image.width + static_cast<size_t>(x)) * 4 + 3];
}

TEST(FrontEndPictures, CanvasesBuildTheirButtonsAndHotSpots)
{
    ASSERT_TRUE(GxTestEngineStart());
    ASSERT_TRUE(GxTestFileSystemOpen());
    ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    const std::filesystem::path root = std::filesystem::temp_directory_path() / ("content_front_" + FerroxTestRunTag());
    std::string error;
    ASSERT_TRUE(ContentWriteFrontEnd(root.string(), &error)) << error;
    struct Expected {
        std::string picture;
        uint16_t widgets;
        size_t hotSpots;
    };
    const Expected canvases[] = {
        {"mainmenu/mainmenu.png", 5, 4},      {"mainmenu/mainmenuger.png", 5, 4}, {"scenario/London/london.png", 6, 4},
        {"scenario/Berlin/berlin.png", 6, 4}, {"scenario/Paris/paris.png", 6, 4}, {"scenario/win-lose.png", 1, 0},
    };
    for (const Expected& expected : canvases) {
        CFerroxCanvas canvas;
        canvas.Build((root / "images" / expected.picture).string().c_str(), 0.0f, 0.0f, 0);
        EXPECT_EQ(canvas.GetWidgetCount(), expected.widgets) << expected.picture;
        EXPECT_EQ(canvas.GetHotSpotCount(), expected.hotSpots) << expected.picture;
        EXPECT_EQ(canvas.GetWidget(0)->m_width, 800.0f) << expected.picture;
        if (expected.widgets == 6) {
            // Button 4 is inert: nothing of it is ever hit.
            const CFerroxWidget* none = canvas.GetWidget(4);
            const FerroxPoint point = {none->m_x + 1.0f, 600.0f - (none->m_y + 1.0f)};
            EXPECT_EQ(canvas.GetWidget(4)->HitTest(&point), 0);
            EXPECT_EQ(canvas.GetWidget(5)->m_x, 620.0f);
        }
        canvas.Release();
    }
    for (const char* overlay : {"scenario/London/overlay.png", "scenario/overlay.png"})
        EXPECT_TRUE(std::filesystem::exists(root / "images" / overlay)) << overlay;
    std::filesystem::remove_all(root);
    GxFileSystemManagerClose();
    GxTestEngineShutdown();
}

TEST(FrontEndPictures, OverlaysFrameTheViewsAndTheEndGameOneTakesEveryClick)
{
    const ContentPngImage city = ContentCityOverlay();
    ASSERT_EQ(city.width, 464u);
    ASSERT_EQ(city.height, 390u);
    EXPECT_EQ(AlphaAt(city, 0, 389), 255);          // the corner
    EXPECT_EQ(AlphaAt(city, 100, 200), 0);          // the view shows through
    EXPECT_EQ(AlphaAt(city, 400, 300 - 210), 255);  // the plate under the heading, at screen (400, 300)

    const ContentPngImage end = ContentEndGameOverlay();
    ASSERT_EQ(end.width, 800u);
    ASSERT_EQ(end.height, 600u);
    uint8_t least = 255;
    for (size_t i = 3; i < end.rows.size(); i += 4)
        least = std::min(least, end.rows[i]);
    EXPECT_GE(least, 8);
    EXPECT_LT(AlphaAt(end, 400, 100), 128);  // the fly-through stays visible
}

TEST(FrontEndPictures, ListsHoldEveryTextInThreeLanguages)
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/tools/content/text/language.xml", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    // Found by the first name that contains the text: "messages" must come before "endgamemessages".
    const size_t messages = text.find("\n<messages>");
    if (messages != std::string::npos) {
        EXPECT_LT(messages, text.find("\n<endgamemessages>"));
    }
    CFerroxTagTree tree;
    tree.LoadFromMemory(text.data(), text.size());
    struct Wanted {
        const char* list;
        uint16_t count;
        size_t longest;
    };
    const Wanted wanted[] = {{"mainmenu", 4, 45}, {"london", 4, 45},           {"berlin", 4, 45},    {"paris", 4, 45},
                             {"win-lose", 1, 45}, {"endgamemessages", 6, 120}, {"scenarios", 9, 160}};
    for (int32_t language = 0; language < 3; language++) {
        CLocale locale;
        locale.SetLanguage(language);
        locale.LoadTextsFromTree(tree);
        for (const Wanted& w : wanted) {
            const int16_t list = locale.FindTextList(w.list);
            ASSERT_GE(list, 0) << w.list;
            for (uint16_t k = 0; k <= w.count; k++) {
                bool missing = false;
                const std::u16string entry = locale.GetText(list, k, &missing);
                EXPECT_EQ(missing, k == w.count) << w.list << " " << k << " language " << language;
                if (k < w.count) {
                    EXPECT_FALSE(entry.empty());
                    EXPECT_LE(entry.size(), w.longest) << w.list << " " << k;
                }
            }
        }
    }
}

}  // namespace
