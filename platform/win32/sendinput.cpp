// Synthesised input: SendInput's mouse and keyboard records become the SDL events a device would give, pushed
// into SDL's queue for the window that takes input, so they reach the procedures through the message pump.
#include <algorithm>

#include "platform/win32/dialog_local.h"

SDL_Scancode UserSDLFromVirtualKey(int vk, bool extended)
{
    // The generic modifiers stand for the left keys.
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU)
        vk = vk == VK_SHIFT ? VK_LSHIFT : vk == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
    if (vk >= 0x7C && vk <= 0x87)
        return static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + (vk - 0x7C));
    SDL_Scancode found = SDL_SCANCODE_UNKNOWN;
    for (size_t i = 0; i < kUserKeyCount; ++i) {
        const UserKey& k = kUserKeys[i];
        if (k.virtualKey != vk)
            continue;
        if (((k.scanCode & kUserExtendedKey) != 0) == extended)
            return k.sdl;
        if (found == SDL_SCANCODE_UNKNOWN)
            found = k.sdl;
    }
    return found;
}

SDL_Scancode UserSDLFromScanCode(int scanCode)
{
    for (size_t i = 0; i < kUserKeyCount; ++i)
        if (kUserKeys[i].scanCode == scanCode)
            return kUserKeys[i].sdl;
    return SDL_SCANCODE_UNKNOWN;
}

namespace {

constexpr LONG kAbsoluteSpan = 65536;  // absolute coordinates: 0..65535 over the client area
constexpr WORD kHighSurrogate = 0xD800;
constexpr WORD kLowSurrogate = 0xDC00;
constexpr WORD kSurrogateMask = 0xFC00;

// Where the last synthesised move left the pointer, in the client pixels of the window it went to.
struct Pointer {
    Uint32 windowId = 0;
    int x = 0;
    int y = 0;
    Uint32 buttons = 0;  // SDL_BUTTON masks held
};
Pointer g_pointer;
Uint16 g_modifiers = KMOD_NONE;
WORD g_pendingHigh = 0;  // the first half of a surrogate pair typed with KEYEVENTF_UNICODE

// Where input goes: the SDL window that reports it, and the size of the client area the absolute
// coordinates span (the window's own client rectangle; a dialog's SDL window is all client area).
struct Target {
    SDL_Window* sdl = nullptr;
    int width = 0;
    int height = 0;
};

bool TopLevel(HWND hwnd, Target* target)
{
    UserWindow* w = UserFind(hwnd);
    while (w != nullptr && w->sdl == nullptr)
        w = UserFind(w->parent);
    RECT client = {};
    if (w == nullptr || !GetClientRect(w->handle, &client))
        return false;
    target->sdl = w->sdl;
    target->width = client.right;
    target->height = client.bottom;
    return true;
}

// The window of the innermost running dialog that has one (live runs), or null.
SDL_Window* DialogInputWindow()
{
    SDL_Window* window = nullptr;
    for (auto& entry : DialogRecords())
        if (entry.second->window != nullptr && !entry.second->ended)
            window = entry.second->window;  // handles grow: the last one is the innermost dialog
    return window;
}

// A running dialog with a window, else the foreground window, else the first shown top-level window.
bool InputWindow(Target* target)
{
    if (SDL_Window* dialog = DialogInputWindow()) {
        target->sdl = dialog;
        SDL_GetWindowSize(dialog, &target->width, &target->height);
        return true;
    }
    UserState& u = User();
    if (u.foreground != nullptr && TopLevel(u.foreground, target))
        return true;
    for (auto& entry : u.windows) {
        const UserWindow& w = *entry.second;
        if (w.sdl != nullptr && w.visible && !w.destroying && TopLevel(w.handle, target))
            return true;
    }
    return false;
}

bool Push(SDL_Event* e) { return SDL_PushEvent(e) == 1; }

// Follows the pointer into the window: a window it was not in before starts it at the client centre.
void EnterWindow(SDL_Window* window, int width, int height)
{
    const Uint32 id = SDL_GetWindowID(window);
    if (g_pointer.windowId == id)
        return;
    g_pointer.windowId = id;
    g_pointer.x = width / 2;
    g_pointer.y = height / 2;
}

bool Move(SDL_Window* window, const MOUSEINPUT& in, int width, int height)
{
    int x = g_pointer.x + in.dx;
    int y = g_pointer.y + in.dy;
    if (in.dwFlags & MOUSEEVENTF_ABSOLUTE) {
        x = static_cast<int>(static_cast<long long>(in.dx) * width / kAbsoluteSpan);
        y = static_cast<int>(static_cast<long long>(in.dy) * height / kAbsoluteSpan);
    }
    x = std::max(0, std::min(x, width - 1));
    y = std::max(0, std::min(y, height - 1));
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(window);
    e.motion.state = g_pointer.buttons;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = x - g_pointer.x;
    e.motion.yrel = y - g_pointer.y;
    g_pointer.x = x;
    g_pointer.y = y;
    return Push(&e);
}

bool Button(SDL_Window* window, Uint8 button, bool down)
{
    SDL_Event e = {};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = SDL_GetWindowID(window);
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = g_pointer.x;
    e.button.y = g_pointer.y;
    if (down)
        g_pointer.buttons |= SDL_BUTTON(button);
    else
        g_pointer.buttons &= ~SDL_BUTTON(button);
    return Push(&e);
}

bool Wheel(SDL_Window* window, DWORD data)
{
    const auto delta = static_cast<SHORT>(data);
    SDL_Event e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = SDL_GetWindowID(window);
    e.wheel.y = delta / WHEEL_DELTA;
    e.wheel.preciseY = static_cast<float>(delta) / WHEEL_DELTA;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return Push(&e);
}

// Move first, then the buttons, then the wheel, as one record of a device reports them.
bool MouseInput(const Target& target, const MOUSEINPUT& in)
{
    SDL_Window* window = target.sdl;
    const int width = target.width;
    const int height = target.height;
    if (width <= 0 || height <= 0)
        return false;
    EnterWindow(window, width, height);
    const DWORD f = in.dwFlags;
    if ((f & MOUSEEVENTF_MOVE) && !Move(window, in, width, height))
        return false;
    const struct {
        DWORD flag;
        Uint8 button;
        bool down;
    } kButtons[] = {
        {MOUSEEVENTF_LEFTDOWN, SDL_BUTTON_LEFT, true},     {MOUSEEVENTF_LEFTUP, SDL_BUTTON_LEFT, false},
        {MOUSEEVENTF_RIGHTDOWN, SDL_BUTTON_RIGHT, true},   {MOUSEEVENTF_RIGHTUP, SDL_BUTTON_RIGHT, false},
        {MOUSEEVENTF_MIDDLEDOWN, SDL_BUTTON_MIDDLE, true}, {MOUSEEVENTF_MIDDLEUP, SDL_BUTTON_MIDDLE, false},
    };
    for (const auto& b : kButtons) {
        if ((f & b.flag) && !Button(window, b.button, b.down))
            return false;
    }
    return !(f & MOUSEEVENTF_WHEEL) || Wheel(window, in.mouseData);
}

Uint16 ModifierOf(SDL_Scancode sc)
{
    switch (sc) {
    case SDL_SCANCODE_LSHIFT:
        return KMOD_LSHIFT;
    case SDL_SCANCODE_RSHIFT:
        return KMOD_RSHIFT;
    case SDL_SCANCODE_LCTRL:
        return KMOD_LCTRL;
    case SDL_SCANCODE_RCTRL:
        return KMOD_RCTRL;
    case SDL_SCANCODE_LALT:
        return KMOD_LALT;
    case SDL_SCANCODE_RALT:
        return KMOD_RALT;
    default:
        return KMOD_NONE;
    }
}

// Letters and digits carry their characters, as on a US layout; other keys their scancode's key.
SDL_Keycode KeyOf(SDL_Scancode sc, int vk)
{
    if (vk >= 'A' && vk <= 'Z' && sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z)
        return static_cast<SDL_Keycode>(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9' && sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_0)
        return static_cast<SDL_Keycode>(vk);
    if (sc == SDL_SCANCODE_SPACE)
        return SDLK_SPACE;
    return SDL_SCANCODE_TO_KEYCODE(sc);
}

// Pushes typed text, one or two UTF-16 units, as one text event in UTF-8.
bool PushText(SDL_Window* window, const char16_t* units, int count)
{
    SDL_Event e = {};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = SDL_GetWindowID(window);
    // Two units make at most four bytes, well inside the event's text and its terminator.
    WideCharToMultiByte(CP_UTF8, 0, units, count, e.text.text, static_cast<int>(sizeof e.text.text) - 1, nullptr,
                        nullptr);
    return Push(&e);
}

// One UTF-16 unit of typed text; a pair's first half waits for its second. A half without its partner types
// U+FFFD, as the text converter gives for it.
bool Text(SDL_Window* window, WORD unit)
{
    const char16_t pending = g_pendingHigh;
    const char16_t typed = unit;
    g_pendingHigh = 0;
    if (pending != 0 && (unit & kSurrogateMask) == kLowSurrogate) {
        const char16_t pair[] = {pending, typed};
        return PushText(window, pair, 2);
    }
    if (pending != 0 && !PushText(window, &pending, 1))
        return false;
    if ((unit & kSurrogateMask) == kHighSurrogate) {
        g_pendingHigh = unit;
        return true;
    }
    return PushText(window, &typed, 1);
}

bool KeyInput(SDL_Window* window, const KEYBDINPUT& in)
{
    const bool up = (in.dwFlags & KEYEVENTF_KEYUP) != 0;
    if (in.dwFlags & KEYEVENTF_UNICODE)
        return up || Text(window, in.wScan);
    const bool extended = (in.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0;
    const SDL_Scancode sc = (in.dwFlags & KEYEVENTF_SCANCODE)
                                ? UserSDLFromScanCode(in.wScan | (extended ? kUserExtendedKey : 0))
                                : UserSDLFromVirtualKey(in.wVk, extended);
    if (sc == SDL_SCANCODE_UNKNOWN)
        return false;
    const int vk = (in.dwFlags & KEYEVENTF_SCANCODE) ? 0 : in.wVk;
    if (up)
        g_modifiers &= static_cast<Uint16>(~ModifierOf(sc));
    else
        g_modifiers |= ModifierOf(sc);
    SDL_Event e = {};
    e.type = up ? SDL_KEYUP : SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(window);
    e.key.state = up ? SDL_RELEASED : SDL_PRESSED;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = KeyOf(sc, vk);
    e.key.keysym.mod = g_modifiers;
    return Push(&e);
}

}  // namespace

UINT WINAPI SendInput(UINT cInputs, LPINPUT pInputs, int cbSize)
{
    if (cbSize != static_cast<int>(sizeof(INPUT)) || (pInputs == nullptr && cInputs > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Target target;
    if (!UserVideoInit() || !InputWindow(&target)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    UINT sent = 0;
    for (; sent < cInputs; ++sent) {
        const INPUT& in = pInputs[sent];
        const bool queued = in.type == INPUT_MOUSE      ? MouseInput(target, in.mi)
                            : in.type == INPUT_KEYBOARD ? KeyInput(target.sdl, in.ki)
                                                        : false;
        if (!queued)
            break;
    }
    return sent;
}
