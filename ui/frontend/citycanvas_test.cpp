// City canvases: scenario files and the chooser, the texts drawn only with a description, the camera paths
// beside the level model, the start button, and worlds given or owned.
#include "ui/frontend/citycanvas.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/world/camera.h"
#include "engine/world/spline.h"
#include "engine/world/world.h"
#include "game/shell/game.h"
#include "game/shell/gameshell.h"
#include "gfx/core/camera.h"
#include "ui/frontend/frontend_test_local.h"
#include "ui/toolkit/subcamera.h"

namespace {

using CityCanvasTest = FrontEndTest;

constexpr const char* kBerlinPicture = "./images/scenario/Berlin/berlin.png";

TEST_F(CityCanvasTest, ChooserStepsOnlyOntoExistingScenarios)
{
    EXPECT_EQ(CityScenarioPath(kBerlinPicture, 2), "./scenarios/berlin2.fds");
    WriteCities();
    WriteScenario("berlin1.fds", "<CONDITIONS>\r\n4\r\n1,0,5\r\n</CONDITIONS>\r\n");
    WriteScenario("berlin2.fds", "<CONDITIONS>\r\n7\r\n</CONDITIONS>\r\n");
    WriteScenario("berlin3.fds", "no conditions here\r\n");
    CCityCanvas city;
    city.Create(kBerlinPicture, "./models/levels/Berlin/berlin.gxs", 1, nullptr);
    EXPECT_EQ(city.GetScenarioNumber(), 1);
    EXPECT_EQ(city.GetDescription(), 4);
    EXPECT_EQ(city.GetScenarioPath(), "./scenarios/berlin1.fds");

    // Previous at 1 looks for number 0, which is not there.
    city.OnWidgetEvent(CITY_PREVIOUS, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(city.GetScenarioNumber(), 1);
    EXPECT_EQ(city.GetDescription(), 4);
    city.OnWidgetEvent(CITY_NEXT, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(city.GetScenarioNumber(), 2);
    EXPECT_EQ(city.GetDescription(), 7);
    // A file without the conditions keeps the description it had.
    city.OnWidgetEvent(CITY_NEXT, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(city.GetScenarioNumber(), 3);
    EXPECT_EQ(city.GetDescription(), 7);
    EXPECT_EQ(city.GetScenarioPath(), "./scenarios/berlin3.fds");
    // Next at the last file changes nothing.
    city.OnWidgetEvent(CITY_NEXT, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(city.GetScenarioNumber(), 3);
    EXPECT_EQ(city.GetScenarioPath(), "./scenarios/berlin3.fds");
    city.OnWidgetEvent(CITY_PREVIOUS, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(city.GetScenarioNumber(), 2);
}

TEST_F(CityCanvasTest, DescriptionLineIsReadAsASixteenBitDecimalNumber)
{
    WriteScenario("a.fds", "<CONDITIONS>\r\n40000\r\n");
    WriteScenario("b.fds", "<CONDITIONS>\r\n12abc\r\n");
    WriteScenario("c.fds", "<CONDITIONS>\r\nnone\r\n");
    WriteScenario("d.fds", "<CONDITIONS>\r\n-3 \r\n");
    WriteScenario("e.fds", "<LEVEL>\r\n7\r\n");
    int16_t index = 9;
    EXPECT_FALSE(CityReadDescription("./scenarios/missing.fds", &index));
    EXPECT_FALSE(CityReadDescription("./scenarios/e.fds", &index));
    EXPECT_EQ(index, 9);
    EXPECT_TRUE(CityReadDescription("./scenarios/b.fds", &index));
    EXPECT_EQ(index, 12);
    EXPECT_TRUE(CityReadDescription("./scenarios/d.fds", &index));
    EXPECT_EQ(index, -3);
    EXPECT_TRUE(CityReadDescription("./scenarios/a.fds", &index));
    EXPECT_EQ(index, static_cast<int16_t>(40000));
    EXPECT_TRUE(CityReadDescription("./scenarios/c.fds", &index));
    EXPECT_EQ(index, 0);
}

TEST_F(CityCanvasTest, TextsAreDrawnOnlyWithADescription)
{
    WriteCities();
    CCityCanvas bare;
    bare.Create(kBerlinPicture, "./models/levels/Berlin/berlin.gxs", 1, nullptr);
    uiDrawRecords.clear();
    bare.Render();
    EXPECT_TRUE(locale->draws.empty());
    EXPECT_FALSE(DrewText("1"));

    WriteScenario("berlin1.fds", "<CONDITIONS>\r\n5\r\n</CONDITIONS>\r\n");
    CCityCanvas city;
    city.Create(kBerlinPicture, "./models/levels/Berlin/berlin.gxs", 1, nullptr);
    uiDrawRecords.clear();
    city.Render();
    ASSERT_EQ(locale->draws.size(), 2u);
    // The heading from the messages, the description from the scenario texts in its box.
    EXPECT_EQ(locale->draws[0].list, locale->FindTextList("InGameMessages"));
    EXPECT_EQ(locale->draws[0].index, 38);
    EXPECT_EQ(locale->draws[0].alignment, FERROX_ALIGN_MIDDLE);
    EXPECT_EQ(locale->draws[1].list, locale->FindTextList("scenarios"));
    EXPECT_EQ(locale->draws[1].index, 5);
    EXPECT_TRUE(locale->draws[1].boxed);
    EXPECT_TRUE(DrewText("1"));
    // The box is in virtual units in every mode: the scaled flow scales it once (RealFontTest.AScaledFlowScalesItsBoxOnce).
    FerroxSetInterfaceScale(1.28f, 1.28f);
    locale->draws.clear();
    city.Render();
    FerroxSetInterfaceScale(1.0f, 1.0f);
    ASSERT_EQ(locale->draws.size(), 2u);
    const FerroxTextBox& box = locale->draws[1].box;
    EXPECT_EQ(box.x, 100.0f);
    EXPECT_EQ(box.y, 50.0f);
    EXPECT_EQ(box.width, 600.0f);
    EXPECT_EQ(box.height, 150.0f);
    // The number stands below the heading by 30 units of the vertical scale.
    for (float scale : {1.0f, 2.0f}) {
        FerroxSetInterfaceScale(1.0f, scale);
        uiDrawRecords.clear();
        city.Render();
        FerroxSetInterfaceScale(1.0f, 1.0f);
        const auto number = std::find_if(uiDrawRecords.begin(), uiDrawRecords.end(),
                                         [](const UiDrawRecord& record) { return record.picture == "1"; });
        ASSERT_NE(number, uiDrawRecords.end());
        EXPECT_EQ(number->y, 300.0f - 30.0f * scale);
    }
}

TEST_F(CityCanvasTest, CameraPathsLieBesideTheModel)
{
    // Any four last characters go, not just ".gxs".
    WritePath("lvl/town-spl.gxs", 4);
    WritePath("lvl/town-spl2.gxs", 5);
    CCityCanvas city;
    city.Create(kBerlinPicture, "./lvl/town.xyz", 1, nullptr);
    ASSERT_NE(city.GetFirstPath(), nullptr);
    EXPECT_EQ(city.GetFirstPath()->GetPointCount(), 4);
    EXPECT_EQ(city.GetSecondPath()->GetPointCount(), 5);
    auto* view = static_cast<CFerroxSplineSubCamera*>(city.GetWidget(city.GetViewIndex()));
    EXPECT_EQ(view->GetPositionSpline(), city.GetFirstPath());
    EXPECT_EQ(view->GetTargetSpline(), city.GetSecondPath());
    EXPECT_EQ(view->GetScene(), city.GetWorld());
}

TEST_F(CityCanvasTest, StartHandsTheLevelThePathAndTheLoadState)
{
    WriteCities();
    WriteScenario("paris1.fds", "<CONDITIONS>\r\n2\r\n</CONDITIONS>\r\n");
    game->m_pLevelManager = std::make_unique<CFerroxLevelManager>();
    CFrontEnd front;
    shell.frontEnd = &front;
    front.Build();
    CCityCanvas* paris = front.GetParis();
    front.SwitchTo(paris);
    front.GetStack().ClearRequests();
    front.GetStack().RemoveNormal(front.GetMainMenu());
    ASSERT_EQ(front.GetStack().GetNormalCount(), 1);
    PressButton(CITY_START);
    front.Update(0.1f);
    EXPECT_EQ(game->m_pLevelManager->GetLevel(), 2);
    EXPECT_EQ(game->GetState(), kGameStateStart);
    EXPECT_EQ(game->m_gameFilePath, "./scenarios/paris1.fds");
    EXPECT_EQ(front.GetStack().GetNormalCount(), 0);

    // A city without scenario files starts with an empty path.
    game->SetState(3);
    front.GetLondon()->OnWidgetEvent(CITY_START, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(game->m_pLevelManager->GetLevel(), 0);
    EXPECT_EQ(game->m_gameFilePath, "");
}

// A press on the view or the overlay only consumes the click. The overlay is not scaled: its picture's own size,
// at the background's unscaled height less the view's.
TEST_F(CityCanvasTest, PressOnTheViewOrOverlayOnlyConsumesTheClick)
{
    WriteCities();
    ASSERT_TRUE(UiPicture(20, 20, {0, 0, 0, 128}).Write("images/scenario/Berlin/overlay.png"));
    WriteScenario("berlin1.fds", "<CONDITIONS>\r\n1\r\n</CONDITIONS>\r\n");
    WriteScenario("berlin2.fds", "<CONDITIONS>\r\n2\r\n</CONDITIONS>\r\n");
    FerroxSetInterfaceScale(2.0f, 2.0f);
    CCityCanvas city;
    city.Create(kBerlinPicture, "./models/levels/Berlin/berlin.gxs", 1, nullptr);
    FerroxSetInterfaceScale(1.0f, 1.0f);
    // The picture's five buttons, then the view and the overlay.
    EXPECT_EQ(city.GetViewIndex(), 6);
    EXPECT_EQ(city.GetOverlayIndex(), 7);
    const CFerroxWidget* view = city.GetWidget(city.GetViewIndex());
    const CFerroxWidget* overlay = city.GetWidget(city.GetOverlayIndex());
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->m_width, 20.0f);
    EXPECT_EQ(overlay->m_y, 100.0f - kCityViewHeight);
    EXPECT_EQ(overlay->m_x, view->m_x);
    EXPECT_EQ(view->m_width, 2.0f * kCityViewWidth) << "the view is scaled";
    for (int32_t index : {city.GetViewIndex(), city.GetOverlayIndex()}) {
        mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
        city.OnWidgetEvent(index, FERROX_WIDGET_NOT_OVER);
        EXPECT_EQ(city.GetWidget(index)->m_visible, 1);
        city.OnWidgetEvent(index, FERROX_WIDGET_PRESSED);
        EXPECT_EQ(mouse->GetPosition()->left, FERROX_BUTTON_RELEASED);
        EXPECT_EQ(city.GetScenarioNumber(), 1);
    }
}

TEST_F(CityCanvasTest, GivenWorldOutlivesTheCanvasAndAnOwnedOneGoesWithIt)
{
    game->m_pCamera = std::make_unique<CFerroxCamera>();
    ASSERT_EQ(1, game->m_pCamera->Create(64, 64, 1));
    CFerroxWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    // The 464 x 390 view fits the 64 x 64 test screen at a tenth.
    FerroxSetInterfaceScale(0.1f, 0.1f);
    {
        CCityCanvas city;
        city.Create(kBerlinPicture, "./models/levels/Berlin/berlin.gxs", 1, &world);
        EXPECT_EQ(city.GetWorld(), &world);
        EXPECT_EQ(city.IsWorldOwned(), 0);
        auto* view = static_cast<CFerroxSubCamera*>(city.GetWidget(city.GetViewIndex()));
        ASSERT_NE(view->GetCamera(), nullptr);
        EXPECT_EQ(GxCameraGetWorld(view->GetCamera()), world.GetGraphicsWorld());
        city.Release();
        EXPECT_EQ(city.GetWorld(), nullptr);
    }
    // Still whole: the sanitizer sees any use of a freed world here and at its own end.
    EXPECT_NE(world.GetGraphicsWorld(), nullptr);
    world.Update(0.1f);

    CCityCanvas owner;
    owner.Create(kBerlinPicture, "./models/levels/Berlin/berlin.gxs", 1, nullptr);
    EXPECT_EQ(owner.IsWorldOwned(), 1);
    EXPECT_NE(owner.GetWorld(), nullptr);
}

}  // namespace
