// Win32-shaped interface of the Linux stand-in layer: include this, never a platform header.
#ifndef PLATFORM_WIN32_WINDOWS_H
#define PLATFORM_WIN32_WINDOWS_H

#include "platform/win32/wintypes.h"
#include "platform/win32/winbase.h"
#include "platform/win32/winuser.h"

#endif
