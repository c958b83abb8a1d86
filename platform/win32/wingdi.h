// Win32-shaped GDI objects of the Linux stand-in layer: the bitmaps LoadImageA makes (winuser.h).
#ifndef PLATFORM_WIN32_WINGDI_H
#define PLATFORM_WIN32_WINGDI_H

#include "platform/win32/winuser.h"

// Frees a bitmap; FALSE for a null or unknown object.
BOOL WINAPI DeleteObject(HGDIOBJ ho);

#endif
