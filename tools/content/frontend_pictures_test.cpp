// Front-end pictures: the canvas builder finds each layout's buttons and hot-spots, the overlays leave the
// views clear where they must and take every click where they must, and the texts exist in three languages.
#include "tools/content/frontend_pictures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/data/utf.h"
#include "game/shell/conditions.h"
#include "tools/content/content_testing.h"
#include "tools/content/interface_painter.h"
#include "tools/content/scenario_writer.h"

namespace {

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
        {"scenario/Berlin/berlin.png", 6, 4}, {"scenario/Paris/paris.png", 6, 4}, {"scenario/win-lose.png", 1, 1},
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
        if (expected.widgets == 1) {
            // The end game's one hot-spot, which says a click goes on, lies under the pointer anywhere on it.
            for (const FerroxPoint point :
                 {FerroxPoint{1.0f, 2.0f}, FerroxPoint{400.0f, 300.0f}, FerroxPoint{798.0f, 597.0f}})
                EXPECT_NE(canvas.GetHotSpot(0)->HitTest(&point), 0) << point.x << "," << point.y;
        }
        canvas.Release();
    }
    for (const char* overlay : {"scenario/London/overlay.png", "scenario/overlay.png"})
        EXPECT_TRUE(std::filesystem::exists(root / "images" / overlay)) << overlay;
}

// The overlays keep their size while the views scale: the city's frames nothing (it is clear), and the end
// game's is one faint shade, so every click on the picture lands on it.
TEST(FrontEndPictures, OverlaysFrameNothingAndTheEndGameOneTakesEveryClick)
{
    const ContentPngImage city = ContentCityOverlay();
    for (size_t i = 3; i < city.rows.size(); i += 4)
        ASSERT_EQ(city.rows[i], 0);

    const ContentPngImage end = ContentEndGameOverlay();
    ASSERT_EQ(end.width, 800u);
    ASSERT_EQ(end.height, 600u);
    uint8_t least = 255, most = 0;
    for (size_t i = 3; i < end.rows.size(); i += 4) {
        least = std::min(least, end.rows[i]);
        most = std::max(most, end.rows[i]);
    }
    EXPECT_GE(least, 8);
    EXPECT_EQ(least, most);
}

// Relative luminance and contrast ratio as accessibility guidelines define them.
double Luminance(const uint8_t* rgb)
{
    double sum = 0.0;
    const double weights[3] = {0.2126, 0.7152, 0.0722};
    for (int c = 0; c < 3; c++) {
        const double v = rgb[c] / 255.0;
        sum += weights[c] * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return sum;
}

double Contrast(const uint8_t* a, const uint8_t* b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(FrontEndPictures, CityTextsStandOutFromTheirPanels)
{
    const uint8_t white[3] = {255, 255, 255};
    for (int city = 0; city < 3; city++) {
        const uint8_t* panel = ContentCityLayout(city).panel;
        EXPECT_GE(Contrast(white, panel), 4.5) << ContentCityLayout(city).stem;
        EXPECT_GE(Contrast(kContentLabelColour, panel), 4.5) << ContentCityLayout(city).stem;
    }
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
    // Every scenario's description states its goals in every language: each number its file holds, grouped as
    // the language groups thousands.
    const auto goals = [](CLocale& locale, int32_t language) {
        const char16_t grouping[] = {u',', u'.', u'\u00a0'};
        const auto grouped = [&](int64_t value) {
            std::string digits = std::to_string(value < 0 ? -value : value);
            std::u16string text;
            for (size_t i = 0; i < digits.size(); i++) {
                if (i > 0 && (digits.size() - i) % 3 == 0)
                    text += grouping[language];
                text += static_cast<char16_t>(digits[i]);
            }
            return (value < 0 ? u"-" : u"") + text;
        };
        const int16_t list = locale.FindTextList("scenarios");
        for (const ContentScenario& scenario : ContentScenarios()) {
            const std::u16string told = locale.GetText(list, static_cast<uint16_t>(scenario.description));
            std::vector<ContentCondition> all = scenario.win;
            all.insert(all.end(), scenario.lose.begin(), scenario.lose.end());
            for (const ContentCondition& c : all) {
                // The rating is told as the share of its bar: -1000 to 1000 as 0 to 100.
                const int64_t number = c.variable == kConditionRating ? (c.threshold + 1000) / 20 : c.threshold;
                EXPECT_NE(told.find(grouped(number)), std::u16string::npos)
                    << scenario.file << " tells " << number << ", language " << language;
            }
        }
    };
    ContentExpectTextLists(text,
                           {{"mainmenu", 4, true, 45},
                            {"london", 4, true, 45},
                            {"berlin", 4, true, 45},
                            {"paris", 4, true, 45},
                            {"win-lose", 1, true, 45},
                            {"endgamemessages", 6, true, 120},
                            {"scenarios", 9, true, 480}},
                           goals);
}

}  // namespace
