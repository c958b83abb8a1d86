// Key table, the Win32 keyboard adapter's key events, and the camera's arrow keys.
#include "engine/application/keyboard.h"

#include <gtest/gtest.h>

#include "engine/application/input_testing.h"

namespace {

// lParam of a key message: set-1 scan code in bits 16-23, the extended bit 24.
LPARAM KeyParam(int scan, bool extended = false)
{
    return static_cast<LPARAM>((scan << 16) | (extended ? 0x01000000 : 0) | 1);
}

class Keyboard : public FerroxInputTest {};

}  // namespace

TEST(KeyTable, SetOneScanCodesGiveEngineKeyCodes)
{
    EXPECT_EQ(128, FerroxKeyCodeFromScanCode(1));
    EXPECT_EQ('1', FerroxKeyCodeFromScanCode(2));
    EXPECT_EQ('0', FerroxKeyCodeFromScanCode(11));
    EXPECT_EQ('q', FerroxKeyCodeFromScanCode(16));
    EXPECT_EQ('a', FerroxKeyCodeFromScanCode(30));
    EXPECT_EQ('m', FerroxKeyCodeFromScanCode(50));
    EXPECT_EQ(129, FerroxKeyCodeFromScanCode(59));
    EXPECT_EQ(138, FerroxKeyCodeFromScanCode(68));
    EXPECT_EQ(157, FerroxKeyCodeFromScanCode(72));   // keypad 8
    EXPECT_EQ(147, FerroxKeyCodeFromScanCode(200));  // extended 72: arrow up
    EXPECT_EQ(175, FerroxKeyCodeFromScanCode(157));  // right control
    EXPECT_EQ(255, FerroxKeyCodeFromScanCode(70));
    EXPECT_EQ(255, FerroxKeyCodeFromScanCode(-1));
    EXPECT_EQ(255, FerroxKeyCodeFromScanCode(256));
}

// Key events carry the table's codes; character messages are dropped, whatever they carry.
TEST_F(Keyboard, AdapterBuildsEventsFromScanCodesAndDropsCharacters)
{
    CFerroxWin32Keyboard adapter;
    EXPECT_EQ(200, adapter.GetScanCode(VK_UP, KeyParam(0x48, true)));
    EXPECT_EQ(72, adapter.GetScanCode(VK_NUMPAD8, KeyParam(0x48)));

    EXPECT_EQ(1, adapter.HandleMessage(WM_KEYDOWN, 'A', KeyParam(30)));
    const FerroxKeyEvent& event = game->m_pKeyboard->GetLastEvent();
    EXPECT_EQ(30, event.scanCode);
    EXPECT_EQ('a', event.keyCode);
    EXPECT_EQ('A', event.virtualKey);

    EXPECT_EQ(1, adapter.HandleMessage(WM_CHAR, 'x', KeyParam(45)));
    EXPECT_EQ(1, adapter.HandleMessage(WM_CHAR, 0xE9, KeyParam(3)));
    EXPECT_EQ('a', game->m_pKeyboard->GetLastEvent().keyCode);

    EXPECT_EQ(1, adapter.HandleMessage(WM_KEYUP, VK_ESCAPE, KeyParam(1)));
    EXPECT_EQ(128, game->m_pKeyboard->GetLastEvent().keyCode);
}

TEST_F(Keyboard, ArrowsGlideAlongTheGroundAndTurnWithShift)
{
    FerroxKeyEvent up = {0, 0, 200, FERROX_KEY_UP, VK_UP};
    game->m_pKeyboard->KeyDown(&up);
    EXPECT_EQ(VANTOR_CAMERA_GLIDE, camera->m_mode);
    EXPECT_EQ(1, camera->m_keepMotion);
    EXPECT_FLOAT_EQ(0.0f, camera->m_motion[0]);
    EXPECT_FLOAT_EQ(80.0f, camera->m_motion[2]);

    FerroxKeyEvent right = {0, 0, 205, FERROX_KEY_RIGHT, VK_RIGHT};
    game->m_pKeyboard->KeyDown(&right);
    EXPECT_FLOAT_EQ(-80.0f, camera->m_motion[0]);
    EXPECT_FLOAT_EQ(0.0f, camera->m_motion[2]);

    // With shift, up and down give the yaw input and left and right the pitch input.
    const struct {
        int32_t key;
        float pitch, yaw;
    } turns[] = {{FERROX_KEY_UP, 0.0f, -80.0f},
                 {FERROX_KEY_DOWN, 0.0f, 80.0f},
                 {FERROX_KEY_LEFT, -80.0f, 0.0f},
                 {FERROX_KEY_RIGHT, 80.0f, 0.0f}};
    for (const auto& turn : turns) {
        FerroxKeyEvent shifted = {0, 1, 0, turn.key, 0};
        game->m_pKeyboard->KeyDown(&shifted);
        EXPECT_EQ(VANTOR_CAMERA_TURN, camera->m_mode) << turn.key;
        EXPECT_FLOAT_EQ(turn.pitch, camera->m_pitchInput) << turn.key;
        EXPECT_FLOAT_EQ(turn.yaw, camera->m_yawInput) << turn.key;
        EXPECT_FLOAT_EQ(0.0f, camera->m_thirdInput) << turn.key;
    }

    // Another key keeps the mode; releasing it changes nothing, releasing an arrow stops the camera.
    FerroxKeyEvent letter = {0, 0, 30, 'a', 'A'};
    game->m_pKeyboard->KeyDown(&letter);
    EXPECT_EQ(VANTOR_CAMERA_TURN, camera->m_mode);
    camera->m_motionRamp = 0.5f;
    game->m_pKeyboard->KeyUp(&letter);
    EXPECT_EQ(VANTOR_CAMERA_TURN, camera->m_mode);
    game->m_pKeyboard->KeyUp(&up);
    EXPECT_EQ(VANTOR_CAMERA_NONE, camera->m_mode);
    EXPECT_FLOAT_EQ(0.0f, camera->m_motionRamp);
}
