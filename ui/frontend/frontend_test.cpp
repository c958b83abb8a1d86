// Front end: the main menu's picture and buttons, one action per press, building with nothing on disk, and
// destroying twice or resetting.
#include "ui/frontend/frontend.h"

#include <memory>
#include <string>
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
    // The buttons show as built until the first update finds the pointer off them.
    for (int32_t k = 1; k < 5; k++)
        EXPECT_EQ(front.GetMainMenu()->GetWidget(k)->m_visible, 1) << k;
    PointAt(799.0f, 599.0f);
    front.Update(0.1f);
    for (int32_t k = 1; k < 5; k++)
        EXPECT_EQ(front.GetMainMenu()->GetWidget(k)->m_visible, 0) << k;
    // The German picture has no list of its own name: it takes "mainmenu".
    EXPECT_EQ(front.GetMainMenu()->GetTooltipList(), locale->FindTextList("mainmenu"));
    // A list set before Create gives way to the one the placement map's lookup leaves.
    for (const char* picture : {kFrontEndMenuPicture, kFrontEndMenuPictureGerman}) {
        CMainMenu menu;
        UiCanvasTooltipList::Set(menu, locale->FindTextList("general_tooltips"));
        menu.Create(picture);
        EXPECT_EQ(menu.GetTooltipList(), locale->FindTextList("mainmenu")) << picture;
    }

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
    shell.frontEnd = &front;
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

TEST_F(FrontEndTest, NothingOnDiskStillBuildsAndDraws)
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
    // Only the background, the view and the overlay.
    EXPECT_EQ(london->GetViewIndex(), 1);
    EXPECT_EQ(london->GetOverlayIndex(), 2);
    front.Update(0.1f);
    front.Render();
}

// A failed level's city view takes the main menu's place.
TEST_F(FrontEndTest, ShowCityTakesTheMenusPlace)
{
    WriteCities();
    CFrontEnd front;
    front.Build();
    front.ShowCity(front.GetLondon()->GetCity());
    EXPECT_TRUE(front.GetStack().Holds(front.GetLondon()));
    EXPECT_FALSE(front.GetStack().Holds(front.GetMainMenu()));
}

// The front end shows the tooltip the game's interface was asked for, in its own font, once the pointer has
// rested, and clears the request drawn in the game's interface too.
TEST_F(FrontEndTest, TooltipOfTheGameInterfacesRequestShowsOnceRestedAndIsClearedThere)
{
    WriteCanvas("images/mainmenu", "mainmenu", 4);
    game->SetScreenSize(800, 600);
    CFrontEnd front;
    front.Build();
    CFerroxInterface* ui = Interface();
    // One frame with the pointer at (x, bottom-up y), a hot-spot asking for text 2 of "mainmenu" unless told
    // not to; the tooltip texts it drew.
    auto frame = [&](float seconds, float x, float y, bool hovered = true) {
        PointAt(x, y);
        locale->draws.clear();
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
    EXPECT_TRUE(frame(0.1f, 15.0f, 15.0f, false).empty());
    EXPECT_TRUE(frame(0.3f, 15.0f, 15.0f).empty());
    EXPECT_TRUE(frame(0.2f, 15.0f, 15.0f).empty());
    std::vector<FrontTextDraw> shown = frame(0.2f, 15.0f, 15.0f);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].index, 2);
    EXPECT_EQ(shown[0].font, front.GetTooltipFont());
    EXPECT_FLOAT_EQ(shown[0].x, 15.0f);
    EXPECT_EQ(shown[0].y, 15);
    EXPECT_EQ(ui->m_tooltipText, 0xFFFF);
    EXPECT_EQ(ui->m_tooltipList, ui->m_defaultTooltipList);
}

}  // namespace
