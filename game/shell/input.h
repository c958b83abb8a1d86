// The game's mouse and keyboard: the camera control of the engine's ones, and after it the game's callbacks.
//
// The game object makes one of each in Create and registers its callbacks; the application's input adapters
// call them between frames. One thread; the game owns both through the engine's game base.
#pragma once

#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"

// Mouse events handed to the callback.
enum GameMouseEvent : int32_t {
    GAME_MOUSE_RIGHT_DOWN = 0,
    GAME_MOUSE_LEFT_DOWN = 1,
    GAME_MOUSE_LEFT_UP = 2,
};

typedef int (*GameMouseCallback)(int32_t event);
typedef void (*GameKeyCallback)(const FerroxKeyEvent* event);

class CMouse : public CVantorMouse {
public:
    CMouse() { Init(); }
    int LeftButtonDown() override;
    int LeftButtonUp() override;
    int RightButtonDown() override;
    // Stores the callback; the result of loading the cursor picture (0 when it cannot be read).
    int SetCallback(GameMouseCallback callback);

private:
    void Notify(int32_t event);
    GameMouseCallback m_callback = nullptr;
};

class CKeyboard : public CVantorKeyboard {
public:
    int KeyDown(const FerroxKeyEvent* event) override;
    int KeyUp(const FerroxKeyEvent* event) override;
    // Stores both; 0.
    int SetCallbacks(GameKeyCallback down, GameKeyCallback up);

private:
    GameKeyCallback m_down = nullptr;
    GameKeyCallback m_up = nullptr;
};
