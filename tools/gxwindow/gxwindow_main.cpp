// Opens a window through the graphics engine and draws, each frame, a checkered background with a blended badge
// (two PNG textures), a 2D triangle and a 3D line strip.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/core/win32fs.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/im3d.h"
#include "gfx/d3d9/renderstate.h"
#include "platform/win32/windows.h"

namespace {

constexpr int clientWidth = 320;
constexpr int clientHeight = 240;
bool quitRequested = false;

struct Options {
    int frames = 0;  // 0: until the window is closed
    std::string screenshot;
    std::string content = "content";  // game root holding images/checker.png and images/badge.png
};

// The two textures of the background; either may be missing.
struct Textures {
    GxTexture* checker = nullptr;
    GxTexture* badge = nullptr;
};

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            options->frames = std::atoi(argv[++i]);
            if (options->frames <= 0) {
                return false;
            }
        } else if (arg == "--screenshot" && i + 1 < argc) {
            options->screenshot = argv[++i];
        } else if (arg == "--content" && i + 1 < argc) {
            options->content = argv[++i];
            if (options->content.empty()) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        quitRequested = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "GxWindow";
    if (!RegisterClassA(&wc)) {
        return nullptr;
    }
    RECT rect = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExA(0, "GxWindow", "gxwindow", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    if (window) {
        ShowWindow(window, SW_SHOW);
    }
    return window;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitRequested = true;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A camera on an identity frame looking down +z, with the window-sized rasters.
GxCamera* CreateCamera(GxFrame** frameOut)
{
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    if (!camera || !frame) {
        return nullptr;
    }
    camera->object.object.parent = frame;
    GxLinkAddAfter(&frame->objectList, &camera->object.inFrameList);
    camera->frameBuffer = GxRasterCreate(clientWidth, clientHeight, 0, gxRASTERTYPECAMERA);
    camera->zBuffer = GxRasterCreate(clientWidth, clientHeight, 0, gxRASTERTYPEZBUFFER);
    *frameOut = frame;
    return camera->frameBuffer && camera->zBuffer ? camera : nullptr;
}

void DestroyCamera(GxCamera* camera, GxFrame* frame)
{
    if (camera) {
        if (camera->frameBuffer) {
            GxRasterDestroy(camera->frameBuffer);
        }
        if (camera->zBuffer) {
            GxRasterDestroy(camera->zBuffer);
        }
        GxCameraDestroy(camera);
    }
    if (frame) {
        GxFrameDestroy(frame);
    }
}

GxUInt32 Argb(GxUInt8 r, GxUInt8 g, GxUInt8 b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

void* StateValue(GxUInt32 value) { return reinterpret_cast<void*>(static_cast<uintptr_t>(value)); }

// A screen rectangle as a counter-clockwise fan in white, its texture spanning (0, 0) to (uMax, vMax).
void DrawQuad2D(float left, float top, float right, float bottom, float uMax, float vMax)
{
    GxIm2DVertex v[4];
    memset(v, 0, sizeof(v));
    const float corner[4][4] = {
        {left, top, 0.0f, 0.0f}, {left, bottom, 0.0f, vMax}, {right, bottom, uMax, vMax}, {right, top, uMax, 0.0f}};
    for (int i = 0; i < 4; i++) {
        v[i].x = corner[i][0];
        v[i].y = corner[i][1];
        v[i].rhw = 1.0f;
        v[i].emissiveColor = 0xFFFFFFFFu;
        v[i].u = corner[i][2];
        v[i].v = corner[i][3];
    }
    GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive(gxPRIMTYPETRIFAN, v, 4);
}

// The checker repeated over the whole window at one texel per pixel, then the badge in the middle blended
// by its alpha. Depth writes stay off so the 3D drawing after it is not hidden.
void DrawBackground(const Textures& textures)
{
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, StateValue(0));
    if (textures.checker) {
        GxRenderStateSet(gxRENDERSTATETEXTURERASTER, GxTextureGetRaster(textures.checker));
        GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, StateValue(gxTEXTUREADDRESSWRAP));
        GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, StateValue(gxFILTERNEAREST));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, StateValue(0));
        DrawQuad2D(0.0f, 0.0f, clientWidth, clientHeight, clientWidth / 64.0f, clientHeight / 64.0f);
    }
    if (textures.badge) {
        const float left = (clientWidth - 64) / 2.0f;
        const float top = (clientHeight - 64) / 2.0f;
        GxRenderStateSet(gxRENDERSTATETEXTURERASTER, GxTextureGetRaster(textures.badge));
        GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, StateValue(gxTEXTUREADDRESSCLAMP));
        GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, StateValue(gxFILTERLINEAR));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, StateValue(1));
        GxRenderStateSet(gxRENDERSTATESRCBLEND, StateValue(D3DBLEND_SRCALPHA));
        GxRenderStateSet(gxRENDERSTATEDESTBLEND, StateValue(D3DBLEND_INVSRCALPHA));
        DrawQuad2D(left, top, left + 64.0f, top + 64.0f, 1.0f, 1.0f);
    }
    GxRenderStateSet(gxRENDERSTATETEXTURERASTER, nullptr);
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, StateValue(0));
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, StateValue(1));
}

void DrawTriangle2D()
{
    GxIm2DVertex v[3];
    memset(v, 0, sizeof(v));
    // Counter-clockwise on screen: the engine culls clockwise faces.
    const float xy[3][2] = {{20.0f, 220.0f}, {140.0f, 220.0f}, {100.0f, 140.0f}};
    for (int i = 0; i < 3; i++) {
        v[i].x = xy[i][0];
        v[i].y = xy[i][1];
        v[i].z = 0.0f;
        v[i].rhw = 1.0f;
        v[i].emissiveColor = Argb(255, 0, 0);
    }
    GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive(3, v, 3);
}

// Three points at depth 5 that project to a quarter of the way in from the window's edges.
void DrawLineStrip3D()
{
    GxIm3DVertex v[3];
    memset(v, 0, sizeof(v));
    const float p[3][3] = {{2.5f, 2.5f, 5.0f}, {-2.5f, 2.5f, 5.0f}, {-2.5f, -2.5f, 5.0f}};
    for (int i = 0; i < 3; i++) {
        v[i].objVertex = {p[i][0], p[i][1], p[i][2]};
        v[i].color = Argb(0, 255, 0);
    }
    if (GxIm3DTransform(v, 3, nullptr, 0)) {
        GxIm3DRenderPrimitive(2);
        GxIm3DEnd();
    }
}

bool DrawFrame(GxCamera* camera, const Textures& textures)
{
    GxRGBA background = {30, 60, 120, 255};
    if (!GxCameraClear(camera, &background, 3)) {
        return false;
    }
    if (!GxCameraBeginUpdate(camera)) {
        return false;
    }
    DrawBackground(textures);
    DrawTriangle2D();
    DrawLineStrip3D();
    GxCameraEndUpdate(camera);
    return true;
}

// Copies the frame buffer (32-bit B, G, R, A rows) into an image and saves it with the core's BMP writer.
bool SaveScreenshot(GxCamera* camera, const std::string& path)
{
    GxRaster* raster = camera->frameBuffer;
    if (raster->depth != 32) {
        return false;
    }
    GxImage* image = GxImageCreate(raster->width, raster->height, 32);
    GxUInt8* pixels = image && GxImageAllocatePixels(image) ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
    if (!pixels) {
        GxImageDestroy(image);
        return false;
    }
    for (int y = 0; y < raster->height; y++) {
        const GxUInt8* in = pixels + static_cast<size_t>(y) * static_cast<size_t>(raster->stride);
        GxUInt8* out = image->pixels + static_cast<size_t>(y) * static_cast<size_t>(image->stride);
        for (int x = 0; x < raster->width; x++) {
            out[4 * x] = in[4 * x + 2];
            out[4 * x + 1] = in[4 * x + 1];
            out[4 * x + 2] = in[4 * x];
            out[4 * x + 3] = 0xFF;
        }
    }
    GxRasterUnlock(raster);
    const bool saved = GxImageWriteBMP(image, path.c_str()) != nullptr;
    GxImageDestroy(image);
    return saved;
}

// The default file system the image reader opens its files through.
bool OpenFiles()
{
    GxFileSystem* files = nullptr;
    return GxFileSystemManagerOpen(2) && (files = GxWin32FileSystemCreate(10, "C:", "wfs")) != nullptr &&
           GxFileSystemRegister(files) && GxFileSystemManagerSetDefault(files);
}

// Reads the two PNG textures from CONTENT/images/; a texture that cannot be read is reported and left out.
Textures ReadTextures(const std::string& content)
{
    Textures textures;
    const std::string path = content + (content.back() == '/' ? "images/" : "/images/");
    if (!GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr) || !GxImageSetPath(path.c_str())) {
        std::fprintf(stderr, "gxwindow: PNG images cannot be read; drawing without the background\n");
        return textures;
    }
    textures.checker = GxTextureRead("checker", nullptr);
    textures.badge = GxTextureRead("badge", nullptr);
    if (!textures.checker || !textures.badge) {
        std::fprintf(stderr, "gxwindow: cannot read %schecker.png or %sbadge.png; drawing without them\n",
                     path.c_str(), path.c_str());
    }
    return textures;
}

void DestroyTextures(Textures* textures)
{
    if (textures->checker) {
        GxTextureDestroy(textures->checker);
    }
    if (textures->badge) {
        GxTextureDestroy(textures->badge);
    }
    *textures = Textures();
}

void CloseEngine()
{
    GxEngineClose();
    GxFileSystemManagerClose();
    GxEngineTerm();
}

int Run(const Options& options, HWND window)
{
    GxEngineSetDriver(GxD3D9GetDriver());
    if (!GxEngineInit(nullptr, 0, 0x400000) || !OpenFiles() || !GxEngineOpen(&window)) {
        std::fprintf(stderr, "gxwindow: the graphics engine does not open\n");
        GxFileSystemManagerClose();
        GxEngineTerm();
        return 1;
    }
    if (!GxEngineSetVideoMode(0) || !GxEngineStart()) {
        std::fprintf(stderr, "gxwindow: the graphics engine does not start\n");
        CloseEngine();
        return 1;
    }
    Textures textures = ReadTextures(options.content);
    GxFrame* frame = nullptr;
    GxCamera* camera = CreateCamera(&frame);
    int result = camera ? 0 : 1;
    for (int n = 0; camera && !quitRequested && (options.frames == 0 || n < options.frames); n++) {
        PumpMessages();
        const bool drawn = DrawFrame(camera, textures);
        const bool last = options.frames != 0 && n + 1 == options.frames;
        if (drawn && last && !options.screenshot.empty() && !SaveScreenshot(camera, options.screenshot)) {
            std::fprintf(stderr, "gxwindow: cannot write %s\n", options.screenshot.c_str());
            result = 1;
        }
        GxCameraShowRaster(camera, window, 0);
    }
    DestroyTextures(&textures);
    DestroyCamera(camera, frame);
    GxEngineStop();
    CloseEngine();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: gxwindow [--frames N] [--screenshot out.bmp] [--content DIR]\n");
        return 2;
    }
    HWND window = OpenWindow();
    if (!window) {
        std::fprintf(stderr, "gxwindow: no window\n");
        return 1;
    }
    const int result = Run(options, window);
    DestroyWindow(window);
    return result;
}
