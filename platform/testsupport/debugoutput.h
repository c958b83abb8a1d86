// Test support: the Win32 stand-in's debug output switched on or off and captured. Tests link it; the game does not.
#pragma once

#include "platform/win32/wintypes.h"

// Switches debug output to standard error on or off, whatever the environment says.
void StandInSetDebugOutput(BOOL enable);
// Also hands every debug string to hook (null removes it), even when output is off.
void StandInSetDebugOutputHook(void (*hook)(const char* text));
