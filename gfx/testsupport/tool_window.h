// The viewing tools' shared set-up: a Win32 window whose closing asks the tool to quit, its message pump, the
// engine opened and started on the Direct3D 9 driver with the host's files, the frame options every tool takes
// and its screenshots.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/testsupport/headless.h"
#include "platform/win32/windows.h"

constexpr GxInt32 kGxToolArenaSize = 0x400000;
constexpr GxInt32 kGxToolFrameDepth = 32;  // bits per pixel of the frames the tools read back

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
        DispatchMessageW(&msg);
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
    if (GxEngineGetNumVideoModes() < 1 || !GxEngineSetVideoMode(0) || !GxEngineStart()) {
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

// Opens the tool's window, runs `run` on it and closes it again: the program's exit code.
template <typename Run>
int GxToolWindowMain(const char* className, const char* tool, int width, int height, Run run)
{
    HWND window = GxToolWindowOpen(className, tool, width, height);
    if (!window) {
        std::fprintf(stderr, "%s: no window\n", tool);
        return 1;
    }
    const int result = run(window);
    DestroyWindow(window);
    return result;
}

struct GxToolFrameOptions {
    int frames = 0;  // 0: until the window is closed
    std::string screenshot;
};

// Reads the command line: "--frames N" (N above 0) and "--screenshot FILE", which every tool takes, and each other
// argument through `own(argc, argv, &i)`, which reads argv[i] (moving i onto any value it takes) and returns
// false for an argument that is not the tool's. False when an argument is refused.
template <typename Own>
bool GxToolParseOptions(int argc, char** argv, GxToolFrameOptions* options, Own own)
{
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (i + 1 < argc && arg == "--screenshot") {
            options->screenshot = argv[++i];
        } else if (i + 1 < argc && arg == "--frames") {
            options->frames = std::atoi(argv[++i]);
            if (options->frames <= 0) {
                return false;
            }
        } else if (!own(argc, argv, &i)) {
            return false;
        }
    }
    return true;
}

// The frame buffer as a 32-bit image copied through the driver; null on failure.
inline GxImage* GxToolReadFrame(GxCamera* camera)
{
    GxRaster* raster = camera->frameBuffer;
    GxStandardFunc fromRaster = GxEngineInstance->stdFunc[gxSTANDARDIMAGEGETRASTER];
    GxImage* image = GxImageCreate(raster->width, raster->height, kGxToolFrameDepth);
    if (image && (!fromRaster || !GxImageAllocatePixels(image) || !fromRaster(image, raster, 0))) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}

// Writes the frame buffer with the core's BMP writer.
inline bool GxToolSaveScreenshot(GxCamera* camera, const std::string& path)
{
    GxImage* image = GxToolReadFrame(camera);
    const bool saved = image && GxImageWriteBMP(image, path.c_str()) != nullptr;
    if (image) {
        GxImageDestroy(image);
    }
    return saved;
}
