// Mouse input: the engine's mouse state in window pixels, the camera's mouse control (edge scrolling, turn,
// raise and lower), and the Win32 adapter that turns mouse messages into calls on the game's mouse.
#pragma once

#include <cstdint>

#include "platform/win32/windows.h"

struct GxRaster;

enum FerroxButtonState : int32_t {
    FERROX_BUTTON_UP = 0,
    FERROX_BUTTON_DOWN = 1,
    FERROX_BUTTON_RELEASED = 3,  // released during this frame; up after EndFrame
};

// What GetPosition returns: position and motion in window pixels, then the buttons, wheel and flags.
struct FerroxMousePosition {
    float x, y, dx, dy;
    int32_t left, middle, right;
    int32_t wheel;
    int32_t overInterface;  // over a panel: clicks are the interface's
};

class CFerroxMouse {
public:
    CFerroxMouse();
    virtual FerroxMousePosition* GetPosition();
    virtual FerroxMousePosition* MoveTo(float x, float y);
    virtual int LeftButtonDown();
    virtual int LeftButtonUp();
    virtual int RightButtonDown();
    virtual int RightButtonUp();
    virtual int MiddleButtonDown();
    virtual int MiddleButtonUp();
    virtual int SetWheel(int32_t value);
    virtual void DrawCursor();
    virtual void EndFrame();
    virtual int LoadCursor();
    virtual void Release();
    virtual void Init();
    virtual ~CFerroxMouse();

    void ShowCursorImage(int32_t shown) { m_cursorShown = shown; }
    float GetIdleTime() const { return m_idleTime; }
    const int32_t* GetCursorRect() const { return m_cursorRect; }
    GxRaster* GetCursorRaster() const { return m_pCursorRaster; }

protected:
    // The cursor rectangle at the position, scaled from the 800 x 600 screen the cursor image is drawn for.
    void UpdateCursorRect();

    GxRaster* m_pCursorRaster;
    // Nothing in the game loads a second cursor picture: this stays null, and Release frees it should one be set.
    GxRaster* m_pSecondRaster;
    int32_t m_cursorShown;
    float m_idleTime;
    FerroxMousePosition m_pos;
    int32_t m_cursorRect[4];
};

// Drives the game camera from the mouse: scrolling at the screen edges, turning with the right or middle button or
// control, raising and lowering with shift or the wheel.
class CVantorMouse : public CFerroxMouse {
public:
    FerroxMousePosition* MoveTo(float x, float y) override;
    int LeftButtonDown() override;
    int LeftButtonUp() override;
    int RightButtonDown() override;
    int RightButtonUp() override;
    int MiddleButtonDown() override;
    int MiddleButtonUp() override;
    int SetWheel(int32_t value) override;
};

// Hands the queued mouse messages to the game's mouse and keeps the system cursor on the game's one.
class CFerroxWin32Mouse {
public:
    CFerroxWin32Mouse();
    virtual int ClipToWindow(HWND window, int fullScreen);
    virtual int HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual int HideCursor();
    virtual int ReleaseCursor();
    virtual void Init();
    virtual ~CFerroxWin32Mouse();

    int32_t GetSkipNextMove() const { return m_skipNextMove; }

private:
    // Puts the system cursor on the game's and clips it again; the warp's echo is the next move, skipped.
    void SyncCursor(const FerroxMousePosition* position);

    int32_t m_skipNextMove;
};
