// Input as a player gives it, shared by the input-level drivers (the play test, the random player): pointer
// moves, buttons, keys and the wheel sent with SendInput, which the platform layer pushes into SDL's event
// queue, in the pixels the player sees (the launcher's 640 x 480 while it runs, else the game's screen); clicks
// spread over frames as a quick player's are; and where a canvas's widget stands on the screen.
#pragma once

#include <string>

#include "platform/win32/windows.h"

struct GxV3d;

class CPlayInput {
public:
    // Move, move, press, release (the button is down for one frame), then two frames for the canvases to act.
    static constexpr int kClickFrames = 6;
    static constexpr int kPressFrame = 2;  // the frames of a click whose input presses and releases the button
    static constexpr int kReleaseFrame = 3;
    static constexpr int kLauncherWidth = 640;
    static constexpr int kLauncherHeight = 480;
    // The centre of the launcher's play button.
    static constexpr float kLauncherPlay[2] = {447.0f, 304.0f};

    // The pixels given are the launcher's while it runs.
    void SetLauncher(bool launcher) { m_launcher = launcher; }
    bool InLauncher() const { return m_launcher; }

    // Each is false when SendInput took nothing; the first such failure is kept.
    bool Move(float x, float y);
    bool Button(DWORD flags);
    bool Key(WORD vk, bool down);
    // A character as the keyboard's layout types it, beside the key that typed it.
    bool Text(char16_t unit);
    // One notch of the wheel is 120, forward positive.
    bool Wheel(int delta);
    // Frame `frame` of a click: moves there (twice: the first move after a warp is its echo), presses, holds a
    // frame, releases; true once the release went out and the canvases had their frames. The point the click
    // began at stands until its release: the press may close the canvas it aimed at.
    bool Click(int frame, float x, float y, bool right = false);
    // The centre of a canvas widget in screen pixels; false when the canvas or widget is missing (while a click
    // is under way, the point it began at).
    bool WidgetCentre(void* canvas, int index, float* x, float* y) const;

    // The centre of the row of a load or save panel that lists the entry `name` of kind `kind` (a save or a
    // folder); false when no row of its page does.
    bool RowCentre(void* panel, int kind, const std::u16string& name, float* x, float* y) const;

    // What SendInput refused first, empty while it took everything.
    const std::string& GetFailure() const { return m_failure; }

private:
    bool Send(INPUT* in, const char* what);
    float Width() const;
    float Height() const;

    bool m_launcher = false;
    float m_click[2] = {};  // where the click under way began
    bool m_clicking = false;
    std::string m_failure;
};
