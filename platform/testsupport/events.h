// Test support: keyboard and pointer input pushed onto SDL's event queue for a window, as the devices deliver
// it, so that tests above the platform drive the whole road from SDL events to the window procedure without
// naming SDL. The windowing stand-in turns them into messages when the queue is next pumped.
#pragma once

#include "platform/win32/winuser.h"

// A key pressed or released, named by its virtual key ('A', VK_UP; modifiers by their side, VK_LSHIFT).
// FALSE when the window has no SDL window, the key has no scan code or the event cannot be queued.
BOOL Win32TestPushKey(HWND hwnd, UINT virtualKey, BOOL down);
// The pointer moved to a position in the window's client area; FALSE as above.
BOOL Win32TestPushMouseMove(HWND hwnd, int x, int y);
// A mouse button (VK_LBUTTON, VK_RBUTTON or VK_MBUTTON) pressed or released with the pointer at a position in the
// client area; FALSE for another key or as above.
BOOL Win32TestPushMouseButton(HWND hwnd, UINT virtualKey, int x, int y, BOOL down);
// The user closed the window (its close box); FALSE as above.
BOOL Win32TestPushClose(HWND hwnd);
// Moves carry the device's own motion from where the last pushed event left it. With TRUE, SetCursorPos warps
// no display's pointer, as a display that refuses warps: the device's pointer stays where the events put it.
// Either way no earlier warp waits for its report.
void Win32TestRefuseWarps(BOOL refuse);
