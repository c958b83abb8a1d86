// The viewing tools' shared set-up: a Win32 window whose closing asks the tool to quit, its message pump, and
// the engine opened and started on the Direct3D 9 driver with the host's files.
#pragma once

#include <cstdio>

#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/testsupport/headless.h"
#include "platform/win32/windows.h"

constexpr GxInt32 kGxToolArenaSize = 0x400000;

// Set when the window is closed or the queue delivers WM_QUIT.
inline bool gxToolQuitRequested = false;

inline LRESULT CALLBACK GxToolWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        gxToolQuitRequested = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A shown window of class `className` and caption `title` whose client area is `width` by `height`; null if none.
inline HWND GxToolWindowOpen(const char* className, const char* title, int width, int height)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = GxToolWindowProc;
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) {
        return nullptr;
    }
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    if (window) {
        ShowWindow(window, SW_SHOW);
    }
    return window;
}

inline void GxToolPumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            gxToolQuitRequested = true;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

inline void GxToolEngineClose()
{
    GxEngineClose();
    GxFileSystemManagerClose();
    GxEngineTerm();
}

// Inits the engine on the driver, runs `attach` (the plugins the tool needs), opens the host's files and the
// engine on `*window` (which must outlive the engine) and starts it; a failure is reported under `tool`'s name
// and leaves nothing open.
template <typename Attach>
bool GxToolEngineStart(const char* tool, HWND* window, Attach attach)
{
    GxEngineSetDriver(GxD3D9GetDriver());
    if (!GxEngineInit(nullptr, 0, kGxToolArenaSize) || !attach() || !GxTestFileSystemOpen() || !GxEngineOpen(window)) {
        std::fprintf(stderr, "%s: the graphics engine does not open\n", tool);
        GxFileSystemManagerClose();
        GxEngineTerm();
        return false;
    }
    if (!GxEngineSetVideoMode(0) || !GxEngineStart()) {
        std::fprintf(stderr, "%s: the graphics engine does not start\n", tool);
        GxToolEngineClose();
        return false;
    }
    return true;
}

// Stops and closes what GxToolEngineStart started.
inline void GxToolEngineStop()
{
    GxEngineStop();
    GxToolEngineClose();
}
