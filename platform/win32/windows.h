// Win32-shaped interface of the Linux stand-in layer: include this, never a platform header.
//
// platform_win32 owns the Win32 calls the program makes, on Linux: files with overlapped reads and atomic
// replacement, events, critical sections, the performance counter and debug output (winbase.h), and windows,
// messages, cursor and key state, modal dialogs, combo boxes and painting (winuser.h), bitmaps (wingdi.h) and
// the shell (shellapi.h); its own controls (winbase.h) include a write gate that only the tests' support sets
// (platform/testsupport). It stands on SDL and POSIX and calls nothing of this tree. Threading: the program runs
// on one thread; the message queue also takes messages posted from other threads, and a critical section is the
// caller's lock. Ownership: every handle is the
// caller's until CloseHandle, DestroyWindow or the matching release.
#ifndef PLATFORM_WIN32_WINDOWS_H
#define PLATFORM_WIN32_WINDOWS_H

#include "platform/win32/shellapi.h"
#include "platform/win32/winbase.h"
#include "platform/win32/wingdi.h"
#include "platform/win32/wintypes.h"
#include "platform/win32/winuser.h"

#endif
