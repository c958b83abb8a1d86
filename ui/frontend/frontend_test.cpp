// Front end: the main menu's picture and buttons, one action per press, building with nothing on disk, and
// destroying twice or resetting.
#include "ui/frontend/frontend.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/world/spline.h"
#include "game/shell/game.h"
#include "game/shell/gameshell.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend_test_local.h"

namespace {

TEST_F(FrontEndTest, MainMenuPictureFollowsTheLanguage)
{
    WriteCanvas("images/mainmenu", "mainmenu", 4);
    WriteCanvas("images/mainmenu", "mainmenuger", 4);
    CFrontEnd front;
    locale->SetLanguage(1);
    front.Build();
    EXPECT_STREQ(front.GetMainMenu()->GetWidget(0)->GetName(), kFrontEndMenuPictureGerman);
    EXPECT_EQ(front.GetMainMenu()->GetWidgetCount(), 5);
    // The first frame shows the labels of the background, not the lit buttons over them.
    for (int32_t k = 1; k < 5; k++)
        EXPECT_EQ(front.GetMainMenu()->GetWidget(k)->m_visible, 0) << k;
    // The German picture has no list of its own name: it takes "mainmenu".
    EXPECT_EQ(front.GetMainMenu()->GetTooltipList(), locale->FindTextList("mainmenu"));

    locale->SetLanguage(2);
    front.Build();
    EXPECT_STREQ(front.GetMainMenu()->GetWidget(0)->GetName(), kFrontEndMenuPicture);
    EXPECT_EQ(front.GetStack().GetNormalCount(), 1);

    // Without a locale the game's own language value decides.
    game->m_pLocale.reset();
    locale = nullptr;
    game->m_language = 1;
    front.Build();
    EXPECT_STREQ(front.GetMainMenu()->GetWidget(0)->GetName(), kFrontEndMenuPictureGerman);
}

TEST_F(FrontEndTest, ButtonsOpenTheirCitiesAndAPressActsOnce)
{
    WriteCanvas("images/mainmenu", "mainmenu", 4);
    WriteCities();
    CFrontEnd front;
    front.Build();
    // Button 2 is Paris, though the canvases are built London, Berlin, Paris.
    PressButton(MAIN_MENU_PARIS);
    front.Update(0.1f);
    EXPECT_EQ(mouse->GetPosition()->left, FERROX_BUTTON_RELEASED);
    uiDrawRecords.clear();
    front.Render();
    EXPECT_TRUE(Drew("Paris/paris.png"));
    EXPECT_FALSE(Drew("mainmenu.png"));
    EXPECT_EQ(front.GetStack().GetNormalCount(), 1);

    // Back from the city, then button 3: Berlin (the button goes up in the frame between).
    PressButton(CITY_BACK);
    front.Update(0.1f);
    mouse->GetPosition()->left = FERROX_BUTTON_UP;
    front.Update(0.1f);
    PressButton(MAIN_MENU_BERLIN);
    front.Update(0.1f);
    uiDrawRecords.clear();
    front.Render();
    EXPECT_TRUE(Drew("Berlin/berlin.png"));
    EXPECT_FALSE(Drew("Paris/paris.png"));

    // A held button acts once: the press is released before the action.
    mouse->GetPosition()->left = FERROX_BUTTON_UP;
    front.GetMainMenu()->Update();
    PressButton(MAIN_MENU_QUIT);
    front.GetMainMenu()->Update();
    front.GetMainMenu()->Update();
    EXPECT_EQ(app.IsQuitting(), 1);
}

// Half of a file, as a copy cut short leaves it.
void CutInHalf(const std::string& path) { std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2); }

// A damaged placement map or menu picture is named, and the menu's buttons are drawn whether or not the pointer is
// on them (laid in a column without their map): Quit still quits. A map that reads but gives fewer buttons than the
// menu's button pictures (a white one, or one of two colours) is damaged as well.
TEST_F(FrontEndTest, ADamagedMenuMapOrPictureIsToldAndTheMenuStillQuits)
{
    FrontNoticeShell shell;
    game->SetShell(&shell);
    WriteCities();
    const std::string map = "./images/mainmenu/mainmenu_p.png";
    const std::tuple<std::string, std::string, int> damages[] = {
        {"images/mainmenu/mainmenu_p.png", map, 0},
        {"images/mainmenu/mainmenu.png", kFrontEndMenuPicture, -1},
        {"images/mainmenu/mainmenu_p.png", map, 2},
        {"images/mainmenu/mainmenu_p.png", map, -1},
    };
    std::set<std::string> toldBefore;
    for (const auto& [file, named, colours] : damages) {
        WriteCanvas("images/mainmenu", "mainmenu", 4);
        if (colours < 0) {
            CutInHalf(file);
        } else {
            UiPicture place = colours == 0 ? UiPicture(200, 100, {255, 255, 255, 255}) : UiMap(200, 100, colours);
            for (int k = 0; k < colours; k++)
                place.Block(10 + 20 * k, 20, 1, 1, UiPaletteColour(k));
            ASSERT_TRUE(place.Write(file));
        }
        shell.told.clear();
        app.m_quit = 0;
        CFrontEnd front;
        front.Build();
        game->SetState(kGameStateFrontEnd);
        game->Update(0.01f);
        // Each file is named once in a run.
        std::vector<std::pair<int16_t, std::string>> expected;
        if (toldBefore.insert(named).second)
            expected.emplace_back(kGameDamagedFileMessage, named);
        EXPECT_EQ(expected, shell.told) << colours;
        CFerroxCanvas* menu = front.GetMainMenu();
        ASSERT_EQ(5, menu->GetWidgetCount()) << file;
        uiDrawRecords.clear();
        front.Render();
        for (int button = 1; button <= 4; button++)
            EXPECT_TRUE(Drew("mainmenu/" + std::to_string(button) + "_s.png")) << file << " button " << button;
        const float* quit = menu->GetWidgetRect(MAIN_MENU_QUIT);
        PressAt(quit[0] + quit[2] * 0.5f, quit[1] + quit[3] * 0.5f);
        menu->Update();
        menu->Update();
        EXPECT_EQ(app.IsQuitting(), 1) << file;
        mouse->GetPosition()->left = FERROX_BUTTON_UP;
    }
    game->SetShell(nullptr);
}

TEST_F(FrontEndTest, DestroyingTwiceOrResettingDeletesNothingTwice)
{
    WriteCanvas("images/mainmenu", "mainmenu", 4);
    auto front = std::make_unique<CFrontEnd>();
    front->Build();
    front->DestroyCanvases();
    EXPECT_EQ(front->GetMainMenu(), nullptr);
    EXPECT_EQ(front->GetLondon(), nullptr);
    EXPECT_EQ(front->GetParis(), nullptr);
    EXPECT_EQ(front->GetTooltipFont(), nullptr);
    EXPECT_EQ(front->GetStack().GetNormalCount(), 0);
    front->DestroyCanvases();

    // A reset over built canvases takes them off the stack before they go: nothing drawn is left dangling.
    front->Build();
    front->Reset();
    EXPECT_EQ(front->GetMainMenu(), nullptr);
    EXPECT_EQ(front->GetBerlin(), nullptr);
    EXPECT_EQ(front->GetStack().GetNormalCount(), 0);
    front->Update(0.1f);
    front->Render();
    // The destructor destroys once more.
    front.reset();
}

TEST_F(FrontEndTest, NothingOnDiskStillBuildsAndStarts)
{
    game->m_pLevelManager = std::make_unique<CFerroxLevelManager>();
    CFrontEnd front;
    front.Build();
    ASSERT_NE(front.GetMainMenu(), nullptr);
    EXPECT_EQ(front.GetMainMenu()->GetWidgetCount(), 1);
    CCityCanvas* london = front.GetLondon();
    ASSERT_NE(london, nullptr);
    EXPECT_EQ(london->GetDescription(), -1);
    EXPECT_EQ(london->GetFirstPath()->GetPointCount(), 0);
    // Only the background, the view and the overlay: a press on a button that is not there does nothing.
    EXPECT_EQ(london->GetViewIndex(), 1);
    EXPECT_EQ(london->GetOverlayIndex(), 2);
    front.Update(0.1f);
    front.Render();
    game->SetState(3);
    london->OnWidgetEvent(CITY_START, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(game->GetState(), 3);
}

// A notice shows at once over what an older one said, each for its time, then the older one again; a menu
// picture that does not read is told once however often the front end is built; a failed level's city view takes
// the main menu's place.
TEST_F(FrontEndTest, NoticesShowTheNewestFirstAndAnUnreadMenuPictureIsToldOnce)
{
    WriteCities();
    CFrontEnd front;
    struct : CGameShell {
        void ShowFrontEndNotice(int16_t message, const char* detail) override { front->ShowNotice(message, detail); }
        CFrontEnd* front = nullptr;
    } shell;
    shell.front = &front;
    game->SetShell(&shell);
    front.Build();
    front.Build();
    game->SetState(kGameStateFrontEnd);
    game->Update(0.01f);
    EXPECT_EQ(1u, front.GetNoticeCount()) << "the menu picture, once";

    const char* level = "./models/levels/London/london.gxs";
    front.ShowNotice(kGameLevelFailedMessage, level);
    ASSERT_EQ(2u, front.GetNoticeCount());
    uiDrawRecords.clear();
    locale->draws.clear();
    front.Render();
    EXPECT_TRUE(DrewText(level));
    EXPECT_FALSE(DrewText(kFrontEndMenuPicture));
    ASSERT_FALSE(locale->draws.empty());
    EXPECT_EQ(kGameLevelFailedMessage, locale->draws.front().index);
    for (float time = 0.0f; time < kFrontEndNoticeSeconds; time += 1.0f)
        front.Update(1.0f);
    ASSERT_EQ(1u, front.GetNoticeCount());
    uiDrawRecords.clear();
    front.Render();
    EXPECT_TRUE(DrewText(kFrontEndMenuPicture));
    for (float time = 0.0f; time < kFrontEndNoticeSeconds; time += 1.0f)
        front.Update(1.0f);
    EXPECT_EQ(0u, front.GetNoticeCount());

    front.ShowCity(front.GetLondon()->GetCity());
    EXPECT_TRUE(front.GetStack().Holds(front.GetLondon()));
    EXPECT_FALSE(front.GetStack().Holds(front.GetMainMenu()));
    game->SetShell(nullptr);
}

// The tooltip waits for the pointer to rest on a button, then stands on its plate beside the pointer and off the
// button, where it first showed; it goes the frame the pointer leaves, and a request left during the wait shows
// once when the wait runs out. A request drawn is cleared in the game's interface too.
TEST_F(FrontEndTest, TooltipWaitsThenShowsOnAPlateOffItsButtonAndGoesWithThePointer)
{
    WriteCanvas("images/mainmenu", "mainmenu", 4);
    game->SetScreenSize(800, 600);
    CFrontEnd front;
    front.Build();
    CFerroxInterface* ui = Interface();
    const CFerroxPlainBox& plate = front.GetTooltipBox();
    locale->drawThrough = true;
    // One frame with the pointer at (x, bottom-up y), a hot-spot asking for text 2 of "mainmenu" unless told
    // not to; the tooltip texts it drew.
    auto frame = [&](float seconds, float x, float y, bool hovered = true) {
        PointAt(x, y);
        locale->draws.clear();
        uiDrawRecords.clear();
        front.Update(seconds);
        if (hovered)
            ui->SetTooltip(2, 1);
        front.Render();
        std::vector<FrontTextDraw> tips;
        for (const FrontTextDraw& draw : locale->draws)
            if (draw.list == 1)
                tips.push_back(draw);
        return tips;
    };
    const float button[4] = {10.0f, 10.0f, 10.0f, 10.0f};  // the London button: x, y, width, height
    auto offTheButton = [&]() {
        return plate.m_x >= button[0] + button[2] || plate.m_x + plate.m_width <= button[0] ||
               plate.m_y >= button[1] + button[3] || plate.m_y + plate.m_height <= button[1];
    };
    EXPECT_TRUE(frame(0.1f, 15.0f, 15.0f, false).empty());
    EXPECT_TRUE(frame(0.3f, 15.0f, 15.0f).empty());
    EXPECT_TRUE(frame(0.2f, 15.0f, 15.0f).empty());
    EXPECT_EQ(plate.m_visible, 0);
    std::vector<FrontTextDraw> shown = frame(0.2f, 15.0f, 15.0f);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].index, 2);
    EXPECT_EQ(plate.m_visible, 1);
    EXPECT_TRUE(offTheButton()) << "the plate covers the button's label";
    EXPECT_GE(plate.m_x, 15.0f) << "right of the pointer's tip";
    EXPECT_FLOAT_EQ(shown[0].x, 15.0f) << "asked for at the tooltip position";
    EXPECT_EQ(shown[0].y, 15);
    std::vector<UiDrawRecord> texts;
    std::copy_if(uiDrawRecords.begin(), uiDrawRecords.end(), std::back_inserter(texts),
                 [](const UiDrawRecord& record) { return record.picture == "text"; });
    ASSERT_EQ(texts.size(), 1u) << "the text is drawn once";
    EXPECT_FLOAT_EQ(texts[0].x, plate.m_x + kFerroxTooltipMarginX) << "the text stands on its plate";
    EXPECT_GE(texts[0].y, plate.m_y);
    EXPECT_LE(texts[0].y, plate.m_y + plate.m_height);
    // The pointer moves on within the button: the tooltip stays where it appeared.
    const float anchored = plate.m_x;
    ASSERT_EQ(frame(0.1f, 18.0f, 12.0f).size(), 1u);
    EXPECT_EQ(plate.m_x, anchored);
    // Leaving the button ends it at once, and the delay starts again.
    EXPECT_TRUE(frame(0.1f, 300.0f, 300.0f, false).empty());
    EXPECT_EQ(plate.m_visible, 0);
    EXPECT_TRUE(frame(0.1f, 15.0f, 15.0f).empty());
    EXPECT_EQ(ui->m_tooltipText, 2);
    // The request left over from the button the pointer has left shows once the delay is up, then never again.
    ASSERT_EQ(frame(0.6f, 300.0f, 300.0f, false).size(), 1u);
    EXPECT_EQ(ui->m_tooltipText, 0xFFFF);
    EXPECT_EQ(ui->m_tooltipList, ui->m_defaultTooltipList);
    for (int k = 0; k < 2; k++)
        EXPECT_TRUE(frame(0.4f, 300.0f, 300.0f, false).empty());
    // A hot-spot away from the buttons: the plate stands by the pointer, not by a button the pointer rested on
    // in an earlier frame.
    frame(0.7f, 300.0f, 300.0f);
    ASSERT_EQ(frame(0.1f, 300.0f, 300.0f).size(), 1u);
    EXPECT_GE(plate.m_x, 300.0f);
    EXPECT_GE(plate.m_y, 300.0f);
    // At the screen's corner the plate stays whole on the screen.
    frame(0.1f, 795.0f, 595.0f, false);
    frame(0.7f, 795.0f, 595.0f);
    ASSERT_EQ(frame(0.1f, 795.0f, 595.0f).size(), 1u);
    EXPECT_GE(plate.m_x, 0.0f);
    EXPECT_LE(plate.m_x + plate.m_width, 800.0f);
    EXPECT_LE(plate.m_y + plate.m_height, 600.0f);
}

}  // namespace
