// End-game sequence: its own camera paths, the click that leaves the game and clears both flags, and the shared
// world.
#include "ui/frontend/endgame.h"

#include "engine/world/spline.h"
#include "engine/world/world.h"
#include "ui/frontend/frontend_test_local.h"

namespace {

using EndGameTest = FrontEndTest;

TEST_F(EndGameTest, FliesTheEndGamePathsOfTheLevelPlayedLast)
{
    WritePath("lvl/town-spl.gxs", 4);
    WritePath("lvl/town-spl2.gxs", 4);
    WritePath("lvl/town_fspl.gxs", 6);
    WritePath("lvl/town_fspl2.gxs", 7);
    WritePath("lvl/city_fspl.gxs", 8);
    WritePath("lvl/city_fspl2.gxs", 9);
    CFerroxWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    CEndGameCanvas end;
    end.Create(kEndGamePicture, "./lvl/town.gxs", 0, &world);
    EXPECT_EQ(end.GetFirstPath()->GetPointCount(), 6);
    EXPECT_EQ(end.GetSecondPath()->GetPointCount(), 7);
    EXPECT_EQ(end.IsWorldOwned(), 0);
    EXPECT_EQ(end.m_endGameList, locale->FindTextList("endgamemessages"));

    // The game tears it down after a game; the next one shows the next level's paths.
    end.m_messageIndex = 3;
    end.TearDown();
    EXPECT_EQ(end.GetFirstPath(), nullptr);
    EXPECT_EQ(end.GetWorld(), nullptr);
    end.Create(kEndGamePicture, "./lvl/city.gxs", 1, &world);
    EXPECT_EQ(end.GetFirstPath()->GetPointCount(), 8);
}

TEST_F(EndGameTest, AnyClickLeavesTheGameAndClearsGameOverAndInputBlocked)
{
    std::filesystem::create_directories("images/scenario");
    ASSERT_TRUE(UiPicture(64, 64, {10, 10, 10, 255}).Write("images/scenario/win-lose.png"));
    // Faint but never fully clear, so every point of it takes the click.
    ASSERT_TRUE(UiPicture(64, 64, {0, 0, 0, 8}).Write("images/scenario/overlay.png"));
    CFerroxWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    CEndGameCanvas end;
    end.Create(kEndGamePicture, "./models/levels/London/london.gxs", 0, &world);
    ASSERT_EQ(end.GetOverlayIndex(), 2);
    CFerroxStack<CFerroxCanvas*>& stack = Interface()->GetStack();
    stack.Push(&end, 1);
    game->SetState(4);
    game->m_gameOver = 1;
    game->m_inputBlocked = 1;
    PressAt(30.0f, 30.0f);
    Interface()->Update(0.1f);
    EXPECT_EQ(stack.GetModalCount(), 0);
    EXPECT_EQ(game->GetState(), kGameStateLeave);
    EXPECT_EQ(game->IsGameOver(), 0);
    EXPECT_EQ(game->IsInputBlocked(), 0);
    EXPECT_EQ(mouse->GetPosition()->left, FERROX_BUTTON_RELEASED);
    end.TearDown();
    EXPECT_NE(world.GetGraphicsWorld(), nullptr);
}

// In a larger screen mode the overlay grows with the view and the picture under it, covering both as at 800 x 600.
// The view covers the scaled picture; the overlay lies unscaled at the canvas origin.
TEST_F(EndGameTest, TheViewCoversThePictureAndTheOverlayLiesAtTheOrigin)
{
    std::filesystem::create_directories("images/scenario");
    ASSERT_TRUE(UiPicture(64, 48, {10, 10, 10, 255}).Write("images/scenario/win-lose.png"));
    ASSERT_TRUE(UiPicture(64, 48, {0, 0, 0, 8}).Write("images/scenario/overlay.png"));
    CFerroxWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    FerroxSetInterfaceScale(2.0f, 1.5f);
    CEndGameCanvas end;
    end.Create(kEndGamePicture, "./models/levels/London/london.gxs", 0, &world);
    FerroxSetInterfaceScale(1.0f, 1.0f);
    const CFerroxWidget* view = end.GetWidget(end.GetViewIndex());
    const CFerroxWidget* overlay = end.GetWidget(end.GetOverlayIndex());
    ASSERT_NE(view, nullptr);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(view->m_width, 128.0f);
    EXPECT_EQ(view->m_height, 72.0f);
    EXPECT_EQ(overlay->m_width, 64.0f);
    EXPECT_EQ(overlay->m_height, 48.0f);
    EXPECT_EQ(overlay->m_x, 0.0f);
    EXPECT_EQ(overlay->m_y, 0.0f);
    end.TearDown();
}

// The message is drawn scaled, its box with it: the box is given in the virtual screen's units, so that at a larger
// screen mode it still ends inside the screen.
TEST_F(EndGameTest, TheMessageBoxStaysInsideTheScreenInEveryMode)
{
    CFerroxWorld world;
    ASSERT_EQ(1, world.Create(nullptr, nullptr));
    CEndGameCanvas end;
    end.Create(kEndGamePicture, "./models/levels/London/london.gxs", 0, &world);
    CFerroxFont font;
    Interface()->font = &font;
    FerroxSetInterfaceScale(1.28f, 1.28f);
    end.Render();
    FerroxSetInterfaceScale(1.0f, 1.0f);
    Interface()->font = nullptr;
    ASSERT_EQ(locale->draws.size(), 1u);
    const FerroxTextBox& box = locale->draws[0].box;
    EXPECT_EQ(box.x, 100.0f);
    EXPECT_EQ(box.y, 200.0f);
    EXPECT_LE(box.x + box.width, 800.0f);
    EXPECT_EQ(box.height, 150.0f);
    end.TearDown();
}

}  // namespace
