// Test support's access to the input stand-in (platform/testsupport/events.cpp), compiled only into what
// includes it: the key a scan code reads as, the gate that decides whether the display takes a warp, and where the
// stand-in holds the system pointer.
#pragma once

#include "platform/win32/user_local.h"

// The virtual key the stand-in reads from an SDL scan code and the key it gives in the current layout; 0 for none.
inline int Win32VirtualKeyFromScanCode(int scanCode)
{
    const auto scan = static_cast<SDL_Scancode>(scanCode);
    return UserVirtualKeyFromSDL(scan, SDL_GetKeyFromScancode(scan));
}

// When a gate is set (none in the game), SetCursorPos asks it whether the display takes the warp; one it refuses
// leaves the display's pointer where the device put it, as a display that refuses warps does. Setting it forgets any
// warp still waiting for its report.
typedef bool (*Win32WarpGate)(void);
inline void Win32SetWarpGate(Win32WarpGate gate)
{
    UserState& u = User();
    u.warpGate = gate;
    u.warpPending = false;
    u.warpUnanswered = false;
}

// The system pointer in screen coordinates as the stand-in holds it: the last warp or move it saw, else the
// display's pointer.
inline POINT Win32CursorPos(void)
{
    UserState& u = User();
    if (!u.cursorKnown && u.videoReady) {
        int x = 0;
        int y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        u.cursor.x = x;
        u.cursor.y = y;
        u.cursorKnown = true;
    }
    return u.cursor;
}
