// Test support: input events pushed onto SDL's queue, as the devices deliver them.
#include "platform/testsupport/events.h"

#include <SDL.h>

#include <atomic>
#include <cstring>

#include "platform/win32/input_testing.h"
#include "platform/win32/win32_sdl.h"

namespace {

// The first scan code the stand-in reads as the virtual key.
SDL_Scancode ScanCodeOf(UINT virtualKey)
{
    for (int code = SDL_SCANCODE_UNKNOWN + 1; code < SDL_NUM_SCANCODES; ++code) {
        const auto scan = static_cast<SDL_Scancode>(code);
        if (Win32VirtualKeyFromScanCode(code) == static_cast<int>(virtualKey))
            return scan;
    }
    return SDL_SCANCODE_UNKNOWN;
}

// Where the pushed events left the device's pointer: a move carries its own motion from there.
SDL_Point g_device = {0, 0};

Uint32 WindowId(HWND hwnd)
{
    SDL_Window* window = Win32GetSDLWindow(hwnd);
    return window ? SDL_GetWindowID(window) : 0;
}

SDL_Event EventOfType(Uint32 type)
{
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    return event;
}

BOOL Push(SDL_Event* event) { return SDL_PushEvent(event) == 1 ? TRUE : FALSE; }

}  // namespace

BOOL Win32TestPushKey(HWND hwnd, UINT virtualKey, BOOL down)
{
    const Uint32 id = WindowId(hwnd);
    const SDL_Scancode scan = ScanCodeOf(virtualKey);
    if (id == 0 || scan == SDL_SCANCODE_UNKNOWN)
        return FALSE;
    SDL_Event event = EventOfType(down ? SDL_KEYDOWN : SDL_KEYUP);
    event.key.windowID = id;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scan;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scan);
    return Push(&event);
}

BOOL Win32TestPushClose(HWND hwnd)
{
    const Uint32 id = WindowId(hwnd);
    if (id == 0)
        return FALSE;
    SDL_Event event = EventOfType(SDL_WINDOWEVENT);
    event.window.windowID = id;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    return Push(&event);
}

BOOL Win32TestPushMouseMove(HWND hwnd, int x, int y)
{
    const Uint32 id = WindowId(hwnd);
    if (id == 0)
        return FALSE;
    SDL_Event event = EventOfType(SDL_MOUSEMOTION);
    event.motion.windowID = id;
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = x - g_device.x;
    event.motion.yrel = y - g_device.y;
    g_device = {x, y};
    return Push(&event);
}

BOOL Win32TestPushMouseButton(HWND hwnd, UINT virtualKey, int x, int y, BOOL down)
{
    const Uint32 id = WindowId(hwnd);
    const Uint8 button = virtualKey == VK_LBUTTON   ? SDL_BUTTON_LEFT
                         : virtualKey == VK_RBUTTON ? SDL_BUTTON_RIGHT
                         : virtualKey == VK_MBUTTON ? SDL_BUTTON_MIDDLE
                                                    : 0;
    if (id == 0 || button == 0)
        return FALSE;
    SDL_Event event = EventOfType(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
    event.button.windowID = id;
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    g_device = {x, y};
    return Push(&event);
}

namespace {

std::atomic<bool> refusesWarps{false};

bool TakesWarp() { return !refusesWarps.load(); }

}  // namespace

void Win32TestRefuseWarps(BOOL refuse)
{
    refusesWarps.store(refuse != FALSE);
    Win32SetWarpGate(TakesWarp);
}
