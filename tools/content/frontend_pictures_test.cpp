// Front-end pictures: the canvas builder finds each layout's buttons and hot-spots, the overlays leave the
// views clear where they must and take every click where they must, and the texts exist in three languages.
#include "tools/content/frontend_pictures.h"

#include <filesystem>

#include "tools/content/content_testing.h"

namespace {

uint8_t AlphaAt(const ContentPngImage& image, int x, int bottomUpY)
{
    const size_t row = image.height - 1 - static_cast<size_t>(bottomUpY);
    return image.rows[(row * image.width + static_cast<size_t>(x)) * 4 + 3];
}

class FrontEndCanvases : public ContentFilesTest {};

TEST_F(FrontEndCanvases, CanvasesBuildTheirButtonsAndHotSpots)
{
    const std::filesystem::path& root = dir;
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
    const std::string text = ContentSourceText("language.xml");
    ASSERT_FALSE(text.empty());
    // Found by the first name that contains the text: "messages" must come before "endgamemessages".
    const size_t messages = text.find("\n<messages>");
    if (messages != std::string::npos) {
        EXPECT_LT(messages, text.find("\n<endgamemessages>"));
    }
    ContentExpectTextLists(text, {{"mainmenu", 4, true, 45},
                                  {"london", 4, true, 45},
                                  {"berlin", 4, true, 45},
                                  {"paris", 4, true, 45},
                                  {"win-lose", 1, true, 45},
                                  {"endgamemessages", 6, true, 120},
                                  {"scenarios", 9, true, 160}});
}

}  // namespace
