// Mouse state, the camera's mouse control and the Win32 mouse adapter, fed synthetic messages.
#include "engine/application/mouse.h"

#include <gtest/gtest.h>

#include "engine/application/input_testing.h"

namespace {

class Mouse : public FerroxInputTest {};

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

}  // namespace

TEST_F(Mouse, MovesAreClampedToTheFrameBuffer)
{
    CFerroxMouse mouse;
    mouse.MoveTo(100.0f, 100.0f);
    FerroxMousePosition* pos = mouse.MoveTo(0.5f, 700.0f);
    EXPECT_FLOAT_EQ(1.0f, pos->x);
    EXPECT_FLOAT_EQ(600.0f, pos->y);
    EXPECT_FLOAT_EQ(-99.5f - 0.5f, pos->dx);
    EXPECT_FLOAT_EQ(600.0f - 100.0f, pos->dy);
    EXPECT_FLOAT_EQ(0.0f, mouse.GetIdleTime());
}

TEST_F(Mouse, ButtonsReadReleasedUntilTheEndOfTheFrame)
{
    CFerroxMouse mouse;
    mouse.LeftButtonDown();
    mouse.RightButtonDown();
    EXPECT_EQ(FERROX_BUTTON_DOWN, mouse.GetPosition()->left);
    mouse.LeftButtonUp();
    mouse.SetWheel(120);
    EXPECT_EQ(FERROX_BUTTON_RELEASED, mouse.GetPosition()->left);
    game->GetFrameTimes()[0] = 0.25f;
    mouse.EndFrame();
    EXPECT_EQ(FERROX_BUTTON_UP, mouse.GetPosition()->left);
    EXPECT_EQ(FERROX_BUTTON_DOWN, mouse.GetPosition()->right);
    EXPECT_EQ(0, mouse.GetPosition()->wheel);
    EXPECT_FLOAT_EQ(0.25f, mouse.GetIdleTime());
}

TEST_F(Mouse, EdgesScrollTheCameraAndHoldTheCursorInsideTheMargin)
{
    GameMouse()->MoveTo(400.0f, 300.0f);
    EXPECT_EQ(VANTOR_CAMERA_NONE, camera->m_mode);
    for (int i = 0; i < 3; ++i) {
        FerroxMousePosition* pos = GameMouse()->MoveTo(5.0f, 300.0f);
        EXPECT_FLOAT_EQ(9.0f, pos->x);
        EXPECT_FLOAT_EQ(0.0f, pos->dx);
        EXPECT_EQ(VANTOR_CAMERA_GLIDE, camera->m_mode);
        EXPECT_FLOAT_EQ(80.0f, camera->m_motion[0]);
        EXPECT_EQ(1, camera->m_keepMotion);
    }
    // The margin scrolls over a panel too, and the frame's end stops nothing.
    GameMouse()->GetPosition()->overInterface = 1;
    FerroxMousePosition* pos = GameMouse()->MoveTo(795.0f, 595.0f);
    EXPECT_FLOAT_EQ(791.0f, pos->x);
    EXPECT_FLOAT_EQ(591.0f, pos->y);
    EXPECT_FLOAT_EQ(-80.0f, camera->m_motion[0]);
    EXPECT_FLOAT_EQ(-80.0f, camera->m_motion[2]);
    GameMouse()->EndFrame();
    EXPECT_EQ(VANTOR_CAMERA_GLIDE, camera->m_mode);
    EXPECT_EQ(1, camera->m_keepMotion);
    // Exactly 10 pixels in is inside: the glide ends.
    GameMouse()->MoveTo(10.0f, 300.0f);
    EXPECT_EQ(VANTOR_CAMERA_NONE, camera->m_mode);
    EXPECT_EQ(0, camera->m_keepMotion);
}

TEST_F(Mouse, TurningHoldsTheCursorAndFeedsTheCamera)
{
    GameMouse()->MoveTo(400.0f, 300.0f);
    GameMouse()->RightButtonDown();
    EXPECT_EQ(VANTOR_CAMERA_TURN, camera->m_mode);
    FerroxMousePosition* pos = GameMouse()->MoveTo(410.0f, 295.0f);
    EXPECT_FLOAT_EQ(400.0f, pos->x);
    EXPECT_FLOAT_EQ(300.0f, pos->y);
    EXPECT_FLOAT_EQ(-5.0f, camera->m_pitchInput);
    EXPECT_FLOAT_EQ(10.0f, camera->m_yawInput);
    // A second move before the camera's update replaces the request: the inputs are the last move's.
    GameMouse()->MoveTo(403.0f, 302.0f);
    EXPECT_FLOAT_EQ(2.0f, camera->m_pitchInput);
    EXPECT_FLOAT_EQ(3.0f, camera->m_yawInput);
    GameMouse()->LeftButtonDown();
    EXPECT_EQ(VANTOR_CAMERA_RAISE, camera->m_mode);
    GameMouse()->RightButtonUp();
    EXPECT_EQ(VANTOR_CAMERA_NONE, camera->m_mode);
    GameMouse()->SetWheel(-120);
    EXPECT_EQ(VANTOR_CAMERA_RAISE, camera->m_mode);
    EXPECT_FLOAT_EQ(-12.0f, camera->m_motion[1]);
}

// Every handled move warps the system cursor; the move that echoes the warp is skipped.
TEST_F(Mouse, AdapterSkipsTheEchoOfEachWarp)
{
    CFerroxWin32Mouse adapter;
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(100, 100));
    EXPECT_FLOAT_EQ(0.0f, Pos()->x);  // the first move only arms the adapter
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(120, 130));
    EXPECT_FLOAT_EQ(120.0f, Pos()->x);
    EXPECT_EQ(0, adapter.GetSkipNextMove());
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(120, 130));  // the echo
    EXPECT_EQ(1, adapter.GetSkipNextMove());
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(200, 210));
    EXPECT_FLOAT_EQ(200.0f, Pos()->x);
    EXPECT_FLOAT_EQ(80.0f, Pos()->dx);
    // Coordinates are signed 16-bit: a drag off the left of the window arrives negative and is clamped.
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(-20, 210));
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(-20, 210));
    EXPECT_FLOAT_EQ(9.0f, Pos()->x);
    // A released cursor starts over: its next move only arms the adapter again.
    EXPECT_EQ(1, adapter.ReleaseCursor());
    EXPECT_EQ(0, adapter.GetSkipNextMove());
    adapter.HandleMessage(WM_MOUSEMOVE, 0, At(300, 210));
    EXPECT_FLOAT_EQ(9.0f, Pos()->x);
}

TEST_F(Mouse, AdapterButtonsAndWheel)
{
    CFerroxWin32Mouse adapter;
    adapter.HandleMessage(WM_LBUTTONDOWN, 0, At(5, 5));
    EXPECT_EQ(FERROX_BUTTON_DOWN, Pos()->left);
    adapter.HandleMessage(WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(FERROX_BUTTON_RELEASED, Pos()->left);
    adapter.HandleMessage(WM_MBUTTONDOWN, 0, At(5, 5));
    EXPECT_EQ(FERROX_BUTTON_DOWN, Pos()->middle);
    adapter.HandleMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0);
    EXPECT_EQ(-240, Pos()->wheel);
}
