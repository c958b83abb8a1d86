// Test support: write failures made on request in the Win32 stand-in's files. Tests link it; the game does not.
#pragma once

#include "platform/win32/wintypes.h"

// The next `successes` WriteFile calls succeed and every one after them fails with ERROR_DISK_FULL, until a
// negative count switches the failures off.
void StandInFailWritesAfter(LONG successes);
