// Input as a player gives it; see playtest/playinput.h.
#include "playtest/playinput.h"

#include <cmath>

#include "engine/world/camera.h"
#include "game/shell/game.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "ui/game/filecanvas.h"
#include "ui/toolkit/canvas.h"

namespace {

constexpr float kAbsoluteSpan = 65536.0f;  // SendInput's absolute coordinates over the client area

}  // namespace

float CPlayInput::Width() const
{
    if (m_launcher || !g_pGame)
        return kLauncherWidth;
    return static_cast<float>(g_pGame->GetScreenWidth());
}

float CPlayInput::Height() const
{
    if (m_launcher || !g_pGame)
        return kLauncherHeight;
    return static_cast<float>(g_pGame->GetScreenHeight());
}

bool CPlayInput::Send(INPUT* in, const char* what)
{
    if (SendInput(1, in, sizeof(*in)) == 1)
        return true;
    if (m_failure.empty())
        m_failure = std::string("SendInput took no ") + what;
    return false;
}

bool CPlayInput::Move(float x, float y)
{
    // The pixel's own span of the absolute range, rounded up, lands on that pixel of a client area of the
    // screen's size; on a client area of another size it lands where the player sees the same point.
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in.mi.dx = static_cast<LONG>(std::ceil(std::floor(x) * kAbsoluteSpan / Width()));
    in.mi.dy = static_cast<LONG>(std::ceil(std::floor(y) * kAbsoluteSpan / Height()));
    return Send(&in, "pointer move");
}

bool CPlayInput::Button(DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    return Send(&in, "button");
}

bool CPlayInput::Key(WORD vk, bool down)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return Send(&in, "key");
}

bool CPlayInput::Text(char16_t unit)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = unit;
    in.ki.dwFlags = KEYEVENTF_UNICODE;
    return Send(&in, "character");
}

bool CPlayInput::Wheel(int delta)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_WHEEL;
    in.mi.mouseData = static_cast<DWORD>(delta);
    return Send(&in, "wheel turn");
}

bool CPlayInput::Click(int frame, float x, float y, bool right)
{
    if (frame == 0) {
        m_click[0] = x, m_click[1] = y;
        m_clicking = true;
    }
    x = m_click[0], y = m_click[1];
    if (frame >= kClickFrames - 1)
        m_clicking = false;
    if (frame < kPressFrame)
        Move(x, y);
    else if (frame == kPressFrame)
        Button(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    else if (frame == kReleaseFrame)
        Button(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    return frame >= kClickFrames - 1;
}

bool CPlayInput::WidgetCentre(void* target, int index, float* x, float* y) const
{
    auto* canvas = static_cast<CFerroxCanvas*>(target);
    const float* rect = canvas ? canvas->GetWidgetRect(index) : nullptr;
    if (!rect && m_clicking) {
        *x = m_click[0], *y = m_click[1];
        return true;
    }
    if (!rect || !g_pGame)
        return false;
    *x = canvas->GetX() + rect[0] + rect[2] * 0.5f;
    *y = static_cast<float>(g_pGame->GetScreenHeight()) - canvas->GetY() - (rect[1] + rect[3] * 0.5f);
    return true;
}

bool CPlayInput::RowCentre(void* target, int kind, const std::u16string& name, float* x, float* y) const
{
    auto* panel = static_cast<CFerroxFileIOCanvas*>(target);
    if (!panel)
        return false;
    const std::vector<FileEntry>& entries = panel->GetEntries();
    for (size_t i = 0; i < entries.size(); i++) {
        if (entries[i].kind != kind || entries[i].name != name)
            continue;
        const int row = static_cast<int>(i) - panel->GetFirstVisible();
        return row >= 0 && row < kFilePanelRows && WidgetCentre(panel, FILE_PANEL_FIRST_ROW + row, x, y);
    }
    return false;
}
