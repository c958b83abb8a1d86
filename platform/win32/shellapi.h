// Win32-shaped shell calls of the Linux stand-in layer: special folders and opening documents.
#ifndef PLATFORM_WIN32_SHELLAPI_H
#define PLATFORM_WIN32_SHELLAPI_H

#include "platform/win32/winuser.h"

#define CSIDL_WINDOWS 0x0024
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

// There is no system folder of the other platform's kind: always FALSE, the buffer left empty.
BOOL WINAPI SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);

// "open" hands the file (double quotes around it are dropped) to the desktop's opener (xdg-open, found on PATH)
// when there is a display, detached; without one the request is written to standard error. Above 32 on
// success, as Win32; SE_ERR_FNF when the file cannot be read, SE_ERR_NOASSOC when there is no opener.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                               INT nShowCmd);

#endif
