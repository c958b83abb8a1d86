// The game's mouse and keyboard: the engine's camera control, then the game's callbacks.
#include "game/shell/input.h"

int CMouse::LeftButtonDown()
{
    CVantorMouse::LeftButtonDown();
    Notify(GAME_MOUSE_LEFT_DOWN);
    return 1;
}

int CMouse::LeftButtonUp()
{
    CVantorMouse::LeftButtonUp();
    Notify(GAME_MOUSE_LEFT_UP);
    return 1;
}

int CMouse::RightButtonDown()
{
    CVantorMouse::RightButtonDown();
    Notify(GAME_MOUSE_RIGHT_DOWN);
    return 1;
}

int CMouse::SetCallback(GameMouseCallback callback)
{
    m_callback = callback;
    return LoadCursor();
}

void CMouse::Notify(int32_t event)
{
    if (m_callback)
        m_callback(event);
}

int CKeyboard::KeyDown(const FerroxKeyEvent* event)
{
    CVantorKeyboard::KeyDown(event);
    if (m_down)
        m_down(event);
    return 1;
}

int CKeyboard::KeyUp(const FerroxKeyEvent* event)
{
    CVantorKeyboard::KeyUp(event);
    if (m_up)
        m_up(event);
    return 1;
}

int CKeyboard::SetCallbacks(GameKeyCallback down, GameKeyCallback up)
{
    m_down = down;
    m_up = up;
    return 0;
}
