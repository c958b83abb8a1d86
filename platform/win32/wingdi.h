// Win32-shaped GDI objects of the Linux stand-in layer: the bitmaps LoadImageA makes (winuser.h), and text.
#ifndef PLATFORM_WIN32_WINGDI_H
#define PLATFORM_WIN32_WINGDI_H

#include "platform/win32/winuser.h"

// Frees a bitmap; FALSE for a null or unknown object.
BOOL WINAPI DeleteObject(HGDIOBJ ho);

typedef DWORD COLORREF;
#define CLR_INVALID 0xFFFFFFFFu
#define RGB(r, g, b)                                                                                 \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | static_cast<COLORREF>(static_cast<BYTE>(g)) << 8 | \
                           static_cast<COLORREF>(static_cast<BYTE>(b)) << 16))

// Text on a painting context in the dialogs' built-in font (Latin-1, cells 6 x 9 pixels, the top-left corner at
// x, y); SetTextColor returns the colour before, black at first.
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c);

#endif
