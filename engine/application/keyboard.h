// Keyboard input: the engine's key state, the camera keys, and the Win32 adapter that turns key messages
// into key events with engine key codes.
#pragma once

#include <cstdint>

#include "engine/application/base.h"
#include "platform/win32/windows.h"

// Engine key codes the engine itself acts on.
enum FerroxKeyCode : int32_t {
    FERROX_KEY_ESCAPE = 128,
    FERROX_KEY_F1 = 129,
    FERROX_KEY_UP = 147,
    FERROX_KEY_DOWN = 148,
    FERROX_KEY_LEFT = 149,
    FERROX_KEY_RIGHT = 150,
    FERROX_KEY_LSHIFT = 172,
    FERROX_KEY_RSHIFT = 173,
    FERROX_KEY_LCONTROL = 174,
    FERROX_KEY_RCONTROL = 175,
    FERROX_KEY_NONE = 255,
};

// The engine key code of a set-1 scan code (0x80 added for an extended key); 255 when unlisted.
int32_t FerroxKeyCodeFromScanCode(int32_t scanCode);

class CFerroxKeyboard {
public:
    CFerroxKeyboard();
    virtual int KeyDown(const FerroxKeyEvent* event);
    virtual int KeyUp(const FerroxKeyEvent* event);
    // Virtual slots 2 and 3, after the two key events: reserved, they do nothing.
    virtual void ReservedSlot2();
    virtual void ReservedSlot3();
    virtual ~CFerroxKeyboard();

    const FerroxKeyEvent& GetLastEvent() const { return m_event; }
    // Non-zero while a control key is held, as of the last event.
    int32_t GetControlState() const { return m_event.modifiers0; }

protected:
    FerroxKeyEvent m_event;
};

// The arrow keys glide or turn the game's camera.
class CVantorKeyboard : public CFerroxKeyboard {
public:
    int KeyDown(const FerroxKeyEvent* event) override;
    int KeyUp(const FerroxKeyEvent* event) override;
};

// Turns the queued key messages into key events for the game's keyboard.
class CFerroxWin32Keyboard {
public:
    virtual int32_t GetScanCode(WPARAM wParam, LPARAM lParam);
    virtual int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Virtual slot 2, after the two message handlers: reserved; answers 1 and nothing calls it.
    virtual int ReservedSlot2();
    // Virtual slots 3 and 4: reserved, they do nothing.
    virtual void ReservedSlot3();
    virtual void ReservedSlot4();
    virtual ~CFerroxWin32Keyboard();
};
