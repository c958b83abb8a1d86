// Keyboard and mouse input: SDL events to key and mouse messages, key state, cursor position, warp, clip and capture.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "platform/win32/user_local.h"
#include "platform/win32/win32_sdl.h"

namespace {

// How long after a warp SDL's report of it may still arrive.
const Uint32 kWarpEchoMillis = 250;

}  // namespace

// Scan codes and virtual keys of a US keyboard. Pause and Num Lock share
// code 0x45; Num Lock carries the extended bit, as Win32 reports it.
extern const UserKey kUserKeys[] = {
    {SDL_SCANCODE_ESCAPE, 0x01, VK_ESCAPE},
    {SDL_SCANCODE_1, 0x02, '1'},
    {SDL_SCANCODE_2, 0x03, '2'},
    {SDL_SCANCODE_3, 0x04, '3'},
    {SDL_SCANCODE_4, 0x05, '4'},
    {SDL_SCANCODE_5, 0x06, '5'},
    {SDL_SCANCODE_6, 0x07, '6'},
    {SDL_SCANCODE_7, 0x08, '7'},
    {SDL_SCANCODE_8, 0x09, '8'},
    {SDL_SCANCODE_9, 0x0A, '9'},
    {SDL_SCANCODE_0, 0x0B, '0'},
    {SDL_SCANCODE_MINUS, 0x0C, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, 0x0D, VK_OEM_PLUS},
    {SDL_SCANCODE_BACKSPACE, 0x0E, VK_BACK},
    {SDL_SCANCODE_TAB, 0x0F, VK_TAB},
    {SDL_SCANCODE_Q, 0x10, 'Q'},
    {SDL_SCANCODE_W, 0x11, 'W'},
    {SDL_SCANCODE_E, 0x12, 'E'},
    {SDL_SCANCODE_R, 0x13, 'R'},
    {SDL_SCANCODE_T, 0x14, 'T'},
    {SDL_SCANCODE_Y, 0x15, 'Y'},
    {SDL_SCANCODE_U, 0x16, 'U'},
    {SDL_SCANCODE_I, 0x17, 'I'},
    {SDL_SCANCODE_O, 0x18, 'O'},
    {SDL_SCANCODE_P, 0x19, 'P'},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B, VK_OEM_6},
    {SDL_SCANCODE_RETURN, 0x1C, VK_RETURN},
    {SDL_SCANCODE_LCTRL, 0x1D, VK_LCONTROL},
    {SDL_SCANCODE_A, 0x1E, 'A'},
    {SDL_SCANCODE_S, 0x1F, 'S'},
    {SDL_SCANCODE_D, 0x20, 'D'},
    {SDL_SCANCODE_F, 0x21, 'F'},
    {SDL_SCANCODE_G, 0x22, 'G'},
    {SDL_SCANCODE_H, 0x23, 'H'},
    {SDL_SCANCODE_J, 0x24, 'J'},
    {SDL_SCANCODE_K, 0x25, 'K'},
    {SDL_SCANCODE_L, 0x26, 'L'},
    {SDL_SCANCODE_SEMICOLON, 0x27, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, 0x28, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, 0x29, VK_OEM_3},
    {SDL_SCANCODE_LSHIFT, 0x2A, VK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, 0x2B, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, 0x2B, VK_OEM_5},
    {SDL_SCANCODE_Z, 0x2C, 'Z'},
    {SDL_SCANCODE_X, 0x2D, 'X'},
    {SDL_SCANCODE_C, 0x2E, 'C'},
    {SDL_SCANCODE_V, 0x2F, 'V'},
    {SDL_SCANCODE_B, 0x30, 'B'},
    {SDL_SCANCODE_N, 0x31, 'N'},
    {SDL_SCANCODE_M, 0x32, 'M'},
    {SDL_SCANCODE_COMMA, 0x33, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, 0x34, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, 0x35, VK_OEM_2},
    {SDL_SCANCODE_RSHIFT, 0x36, VK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37, VK_MULTIPLY},
    {SDL_SCANCODE_LALT, 0x38, VK_LMENU},
    {SDL_SCANCODE_SPACE, 0x39, VK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, 0x3A, VK_CAPITAL},
    {SDL_SCANCODE_F1, 0x3B, VK_F1},
    {SDL_SCANCODE_F2, 0x3C, VK_F2},
    {SDL_SCANCODE_F3, 0x3D, VK_F3},
    {SDL_SCANCODE_F4, 0x3E, VK_F4},
    {SDL_SCANCODE_F5, 0x3F, VK_F5},
    {SDL_SCANCODE_F6, 0x40, VK_F6},
    {SDL_SCANCODE_F7, 0x41, VK_F7},
    {SDL_SCANCODE_F8, 0x42, VK_F8},
    {SDL_SCANCODE_F9, 0x43, VK_F9},
    {SDL_SCANCODE_F10, 0x44, VK_F10},
    {SDL_SCANCODE_PAUSE, 0x45, VK_PAUSE},
    {SDL_SCANCODE_SCROLLLOCK, 0x46, VK_SCROLL},
    {SDL_SCANCODE_KP_7, 0x47, VK_NUMPAD7},
    {SDL_SCANCODE_KP_8, 0x48, VK_NUMPAD8},
    {SDL_SCANCODE_KP_9, 0x49, VK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, 0x4A, VK_SUBTRACT},
    {SDL_SCANCODE_KP_4, 0x4B, VK_NUMPAD4},
    {SDL_SCANCODE_KP_5, 0x4C, VK_NUMPAD5},
    {SDL_SCANCODE_KP_6, 0x4D, VK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, 0x4E, VK_ADD},
    {SDL_SCANCODE_KP_1, 0x4F, VK_NUMPAD1},
    {SDL_SCANCODE_KP_2, 0x50, VK_NUMPAD2},
    {SDL_SCANCODE_KP_3, 0x51, VK_NUMPAD3},
    {SDL_SCANCODE_KP_0, 0x52, VK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, 0x53, VK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56, VK_OEM_102},
    {SDL_SCANCODE_F11, 0x57, VK_F11},
    {SDL_SCANCODE_F12, 0x58, VK_F12},
    {SDL_SCANCODE_KP_ENTER, kUserExtendedKey | 0x1C, VK_RETURN},
    {SDL_SCANCODE_RCTRL, kUserExtendedKey | 0x1D, VK_RCONTROL},
    {SDL_SCANCODE_KP_DIVIDE, kUserExtendedKey | 0x35, VK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, kUserExtendedKey | 0x37, VK_SNAPSHOT},
    {SDL_SCANCODE_RALT, kUserExtendedKey | 0x38, VK_RMENU},
    {SDL_SCANCODE_NUMLOCKCLEAR, kUserExtendedKey | 0x45, VK_NUMLOCK},
    {SDL_SCANCODE_HOME, kUserExtendedKey | 0x47, VK_HOME},
    {SDL_SCANCODE_UP, kUserExtendedKey | 0x48, VK_UP},
    {SDL_SCANCODE_PAGEUP, kUserExtendedKey | 0x49, VK_PRIOR},
    {SDL_SCANCODE_LEFT, kUserExtendedKey | 0x4B, VK_LEFT},
    {SDL_SCANCODE_RIGHT, kUserExtendedKey | 0x4D, VK_RIGHT},
    {SDL_SCANCODE_END, kUserExtendedKey | 0x4F, VK_END},
    {SDL_SCANCODE_DOWN, kUserExtendedKey | 0x50, VK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, kUserExtendedKey | 0x51, VK_NEXT},
    {SDL_SCANCODE_INSERT, kUserExtendedKey | 0x52, VK_INSERT},
    {SDL_SCANCODE_DELETE, kUserExtendedKey | 0x53, VK_DELETE},
    {SDL_SCANCODE_LGUI, kUserExtendedKey | 0x5B, VK_LWIN},
    {SDL_SCANCODE_RGUI, kUserExtendedKey | 0x5C, VK_RWIN},
    {SDL_SCANCODE_APPLICATION, kUserExtendedKey | 0x5D, VK_APPS},
};
extern const size_t kUserKeyCount = std::size(kUserKeys);

namespace {

const UserKey* FindKey(SDL_Scancode sc)
{
    for (size_t i = 0; i < kUserKeyCount; ++i)
        if (kUserKeys[i].sdl == sc)
            return &kUserKeys[i];
    return nullptr;
}

// The side-specific modifier keys reach procedures as the generic ones.
int GenericKey(int vk)
{
    switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return vk;
    }
}

bool Down(int vk) { return User().keyDown[vk & 0xFF] != 0; }

void SetKey(int vk, bool down)
{
    UserState& u = User();
    vk &= 0xFF;
    if (down && !u.keyDown[vk])
        u.keyToggled[vk] ^= 1;
    u.keyDown[vk] = down ? 1 : 0;
}

void UpdateGenericKeys()
{
    UserState& u = User();
    u.keyDown[VK_SHIFT] = Down(VK_LSHIFT) || Down(VK_RSHIFT);
    u.keyDown[VK_CONTROL] = Down(VK_LCONTROL) || Down(VK_RCONTROL);
    u.keyDown[VK_MENU] = Down(VK_LMENU) || Down(VK_RMENU);
}

// Keyboard input goes to the window SDL names, else (no window named) to
// the front window. Other SDL windows than ours are not our business.
HWND KeyTarget(Uint32 windowId)
{
    if (windowId == 0)
        return User().foreground;
    UserWindow* w = UserFindSdl(windowId);
    return w != nullptr ? w->handle : nullptr;
}

// Mouse input goes to the capturing window, else to the window SDL names,
// else (events without a window) to the front window. `x`, `y` become the
// target's client coordinates; returns null when no window of ours is meant.
HWND MouseTarget(Uint32 windowId, int* x, int* y)
{
    UserState& u = User();
    UserWindow* source = UserFindSdl(windowId);
    if (windowId != 0 && source == nullptr)
        return nullptr;
    HWND target = u.capture != nullptr ? u.capture : source != nullptr ? source->handle : u.foreground;
    if (target == nullptr || UserFind(target) == nullptr)
        return nullptr;
    if (source == nullptr || source->handle == target)
        return target;
    POINT p = {*x, *y};
    ClientToScreen(source->handle, &p);
    ScreenToClient(target, &p);
    *x = p.x;
    *y = p.y;
    return target;
}

void RememberCursor(HWND hwnd, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    User().cursor = p;
    User().cursorKnown = true;
}

LPARAM ClientLParam(int x, int y) { return MAKELPARAM(static_cast<SHORT>(x), static_cast<SHORT>(y)); }

// True for SDL's own report of a warp we already answered with a synthetic
// move. SDL may name no window in it, so the screen positions are compared.
bool IsWarpEcho(HWND target, int x, int y)
{
    UserState& u = User();
    if (!u.warpPending)
        return false;
    if (SDL_GetTicks() - u.warpTicks > kWarpEchoMillis) {
        u.warpPending = false;
        return false;
    }
    POINT p = {x, y};
    ClientToScreen(target, &p);
    if (p.x != u.warp.x || p.y != u.warp.y)
        return false;
    u.warpUnanswered = false;
    return true;
}

// Where a device's pointer event puts the Win32 pointer, in the target's client pixels. After a warp the display
// did not report (it refused it), the device's pointer is not where the warp put the Win32 one: the Win32 pointer
// goes on from there by the device's own motion, held to the clip, as it does after a warp on Win32.
POINT PointerAt(HWND target, int x, int y, int xrel, int yrel)
{
    const UserState& u = User();
    POINT p = {x, y};
    if (!u.warpUnanswered || !u.cursorKnown)
        return p;
    p = {u.cursor.x + xrel, u.cursor.y + yrel};
    if (u.clipActive) {
        p.x = std::max(u.clip.left, std::min(p.x, u.clip.right - 1));
        p.y = std::max(u.clip.top, std::min(p.y, u.clip.bottom - 1));
    }
    ScreenToClient(target, &p);
    return p;
}

// The window whose client area holds a screen point.
HWND WindowAt(int x, int y)
{
    for (auto& entry : User().windows) {
        UserWindow* w = entry.second.get();
        if (w->sdl == nullptr || !w->visible || w->destroying)
            continue;
        RECT r;
        GetClientRect(w->handle, &r);
        POINT p = {x, y};
        ScreenToClient(w->handle, &p);
        if (p.x >= 0 && p.y >= 0 && p.x < r.right && p.y < r.bottom)
            return w->handle;
    }
    return nullptr;
}

// Notches (or fractions of them from precise wheels) in 120ths, within a SHORT.
int WheelDelta(Sint32 notches, float precise)
{
    double delta = notches != 0 ? static_cast<double>(notches) : static_cast<double>(precise);
    delta = std::max(-32767.0, std::min(32767.0, delta * WHEEL_DELTA));
    return static_cast<int>(std::lround(delta));
}

}  // namespace

int UserScanCodeFromSDL(SDL_Scancode sc)
{
    const UserKey* k = FindKey(sc);
    return k != nullptr ? k->scanCode : 0;
}

int UserVirtualKeyFromSDL(SDL_Scancode sc, SDL_Keycode sym)
{
    // Letters and digits follow the layout (the key that types 'a' is 'A').
    if (sym >= 'a' && sym <= 'z')
        return static_cast<int>(sym - 'a' + 'A');
    if (sym >= '0' && sym <= '9' && !(sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_0))
        return static_cast<int>(sym);
    const UserKey* k = FindKey(sc);
    if (k != nullptr)
        return k->virtualKey;
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24)
        return 0x7C + (sc - SDL_SCANCODE_F13);
    return 0;
}

void UserTranslateKey(const SDL_KeyboardEvent& e)
{
    bool down = e.type == SDL_KEYDOWN;
    int scan = UserScanCodeFromSDL(e.keysym.scancode);
    int vk = UserVirtualKeyFromSDL(e.keysym.scancode, e.keysym.sym);
    if (vk == 0 && scan == 0)
        return;
    if (vk != 0) {
        SetKey(vk, down);
        UpdateGenericKeys();
    }
    HWND target = KeyTarget(e.windowID);
    if (target == nullptr)
        return;
    vk = GenericKey(vk);
    bool alt = Down(VK_MENU) || vk == VK_MENU;
    // Alt combinations (without Control) and F10 are system keys.
    bool system = (alt && !Down(VK_CONTROL)) || vk == VK_F10;
    DWORD bits = 1u | (static_cast<DWORD>(scan & 0xFF) << 16);
    if (scan & kUserExtendedKey)
        bits |= 1u << 24;
    if (system && alt)
        bits |= 1u << 29;
    if (!down || e.repeat != 0)
        bits |= 1u << 30;
    if (!down)
        bits |= 1u << 31;
    UINT msg = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM lParam = static_cast<LPARAM>(bits);
    if (down) {
        if (UserWindow* w = UserFind(target))
            w->lastKeyLParam = lParam;
    }
    UserPost(target, msg, static_cast<WPARAM>(vk), lParam);
}

void UserTranslateText(const SDL_TextInputEvent& e)
{
    HWND target = KeyTarget(e.windowID);
    UserWindow* w = UserFind(target);
    if (w == nullptr)
        return;
    // Each character carries the lParam of the key that typed it, so that an
    // auto-repeated key also types characters marked as repeats.
    LPARAM lParam = w->lastKeyLParam & ~static_cast<LPARAM>(0x80000000u);
    // One UTF-16 unit a character: a character outside the basic plane comes as its two surrogates.
    const int length = static_cast<int>(strnlen(e.text, sizeof e.text));
    char16_t units[sizeof e.text];
    const int count = length > 0 ? MultiByteToWideChar(CP_UTF8, 0, e.text, length, units, length) : 0;
    for (int i = 0; i < count; i++)
        UserPost(target, WM_CHAR, static_cast<WPARAM>(units[i]), lParam);
}

WPARAM UserMouseKeyFlags()
{
    WPARAM flags = 0;
    if (Down(VK_LBUTTON))
        flags |= MK_LBUTTON;
    if (Down(VK_RBUTTON))
        flags |= MK_RBUTTON;
    if (Down(VK_SHIFT))
        flags |= MK_SHIFT;
    if (Down(VK_CONTROL))
        flags |= MK_CONTROL;
    if (Down(VK_MBUTTON))
        flags |= MK_MBUTTON;
    if (Down(VK_XBUTTON1))
        flags |= MK_XBUTTON1;
    if (Down(VK_XBUTTON2))
        flags |= MK_XBUTTON2;
    return flags;
}

void UserTranslateMotion(const SDL_MouseMotionEvent& e)
{
    if (e.which == SDL_TOUCH_MOUSEID)
        return;
    int x = e.x;
    int y = e.y;
    HWND target = MouseTarget(e.windowID, &x, &y);
    if (target == nullptr || IsWarpEcho(target, x, y))
        return;
    const POINT p = PointerAt(target, x, y, e.xrel, e.yrel);
    RememberCursor(target, p.x, p.y);
    UserPostMouseMove(target, UserMouseKeyFlags(), ClientLParam(p.x, p.y));
}

void UserTranslateButton(const SDL_MouseButtonEvent& e)
{
    if (e.which == SDL_TOUCH_MOUSEID)
        return;
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    UINT msg = 0;
    WPARAM extra = 0;
    int vk = 0;
    switch (e.button) {
    case SDL_BUTTON_LEFT:
        msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        vk = VK_LBUTTON;
        break;
    case SDL_BUTTON_RIGHT:
        msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        vk = VK_RBUTTON;
        break;
    case SDL_BUTTON_MIDDLE:
        msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        vk = VK_MBUTTON;
        break;
    case SDL_BUTTON_X1:
        msg = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        vk = VK_XBUTTON1;
        extra = 1;
        break;
    case SDL_BUTTON_X2:
        msg = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        vk = VK_XBUTTON2;
        extra = 2;
        break;
    default:
        return;
    }
    SetKey(vk, down);
    int x = e.x;
    int y = e.y;
    HWND target = MouseTarget(e.windowID, &x, &y);
    UserWindow* w = UserFind(target);
    if (w == nullptr)
        return;
    // Double clicks only for classes that ask for them (the down id + 2 is its double-click id).
    if (down && e.clicks >= 2 && e.clicks % 2 == 0 && (w->classStyle & CS_DBLCLKS) != 0)
        msg += 2;
    const POINT p = PointerAt(target, x, y, 0, 0);
    RememberCursor(target, p.x, p.y);
    UserPost(target, msg, UserMouseKeyFlags() | (extra << 16), ClientLParam(p.x, p.y));
}

void UserTranslateWheel(const SDL_MouseWheelEvent& e)
{
    if (e.which == SDL_TOUCH_MOUSEID)
        return;
    // The wheel follows the keyboard focus, as on Win32.
    HWND target = KeyTarget(e.windowID);
    if (target != nullptr && User().foreground != nullptr)
        target = User().foreground;
    if (UserFind(target) == nullptr)
        return;
    int sign = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
    int dy = WheelDelta(e.y, e.preciseY) * sign;
    int dx = WheelDelta(e.x, e.preciseX) * sign;
    // Wheel messages carry screen coordinates.
    POINT p = User().cursor;
    LPARAM where = MAKELPARAM(static_cast<SHORT>(p.x), static_cast<SHORT>(p.y));
    WPARAM keys = UserMouseKeyFlags();
    if (dy != 0)
        UserPost(target, WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<SHORT>(dy)), where);
    if (dx != 0)
        UserPost(target, WM_MOUSEHWHEEL, MAKEWPARAM(keys, static_cast<SHORT>(dx)), where);
}

void UserReleaseKeys()
{
    UserState& u = User();
    std::fill(std::begin(u.keyDown), std::end(u.keyDown), 0);
}

namespace {

// True when the clip and the window's client area share a pixel.
bool ClipMeetsClient(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    const UserState& u = User();
    SDL_Rect area = {origin.x, origin.y, client.right, client.bottom};
    SDL_Rect clip = {u.clip.left, u.clip.top, u.clip.right - u.clip.left, u.clip.bottom - u.clip.top};
    return SDL_HasIntersection(&area, &clip) == SDL_TRUE;
}

}  // namespace

// The pointer is confined by grabbing it in a window whose client area meets the clip. SDL's mouse
// rectangle would put pointer barriers up instead, which some X servers refuse with an error that ends the
// program, and while they stand SDL drops every warp. The clip's own edges hold in SetCursorPos.
void UserApplyClip()
{
    UserState& u = User();
    for (auto& entry : u.windows) {
        UserWindow* w = entry.second.get();
        if (w->sdl == nullptr || w->destroying)
            continue;
        SDL_SetWindowMouseGrab(w->sdl, u.clipActive && ClipMeetsClient(w->handle) ? SDL_TRUE : SDL_FALSE);
    }
}

BOOL WINAPI ClipCursor(const RECT* lpRect)
{
    UserState& u = User();
    RECT clip = {0, 0, 0, 0};
    if (lpRect != nullptr) {
        clip.left = std::min(lpRect->left, lpRect->right);
        clip.right = std::max(lpRect->left, lpRect->right);
        clip.top = std::min(lpRect->top, lpRect->bottom);
        clip.bottom = std::max(lpRect->top, lpRect->bottom);
    }
    // The engine clips again after every mouse move: only changes reach SDL.
    bool active = lpRect != nullptr;
    bool same = active == u.clipActive && (!active || (clip.left == u.clip.left && clip.top == u.clip.top &&
                                                       clip.right == u.clip.right && clip.bottom == u.clip.bottom));
    if (same)
        return TRUE;
    u.clipActive = active;
    u.clip = clip;
    UserApplyClip();
    return TRUE;
}

// Capture only routes messages: SDL already follows the mouse outside the
// window while a button is held, which is all Win32 capture gives a
// window without a pressed button either.
HWND WINAPI SetCapture(HWND hWnd)
{
    UserState& u = User();
    HWND old = u.capture;
    if (UserFind(hWnd) == nullptr)
        return old;
    u.capture = hWnd;
    if (old != nullptr && old != hWnd)
        UserSend(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hWnd));
    return old;
}

BOOL WINAPI ReleaseCapture(void)
{
    UserState& u = User();
    HWND old = u.capture;
    u.capture = nullptr;
    if (old != nullptr)
        UserSend(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

int WINAPI ShowCursor(BOOL bShow)
{
    UserState& u = User();
    u.cursorCount += bShow ? 1 : -1;
    if (u.videoReady)
        SDL_ShowCursor(u.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return u.cursorCount;
}

BOOL WINAPI SetCursorPos(int X, int Y)
{
    UserState& u = User();
    if (u.clipActive) {
        X = std::max(u.clip.left, std::min(X, u.clip.right - 1));
        Y = std::max(u.clip.top, std::min(Y, u.clip.bottom - 1));
    }
    u.cursor.x = X;
    u.cursor.y = Y;
    u.cursorKnown = true;
    HWND target = u.capture;
    if (UserFind(target) == nullptr)
        target = WindowAt(X, Y);
    if (target == nullptr)
        target = u.foreground;
    UserWindow* w = UserFind(target);
    if (w == nullptr)
        return TRUE;
    POINT p = {X, Y};
    ScreenToClient(target, &p);
    // Our own move stands for the warp; whatever SDL reports of it is dropped.
    u.warpPending = true;
    u.warpUnanswered = true;
    u.warp.x = X;
    u.warp.y = Y;
    u.warpTicks = SDL_GetTicks();
    UserWindow* top = w;
    while (top != nullptr && top->sdl == nullptr)
        top = UserFind(top->parent);
    if (top != nullptr && (u.warpGate == nullptr || u.warpGate())) {
        POINT q = {X, Y};
        ScreenToClient(top->handle, &q);
        SDL_WarpMouseInWindow(top->sdl, q.x, q.y);
    }
    UserPost(target, WM_MOUSEMOVE, UserMouseKeyFlags(), ClientLParam(p.x, p.y), true);
    return TRUE;
}

SHORT WINAPI GetKeyState(int nVirtKey)
{
    if (nVirtKey < 0 || nVirtKey > 0xFF)
        return 0;
    UserState& u = User();
    unsigned value = u.keyDown[nVirtKey] ? 0xFF80u : 0u;
    if (u.keyToggled[nVirtKey])
        value |= 1u;
    return static_cast<SHORT>(value);
}
