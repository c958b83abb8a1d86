// Opens a window through the graphics engine and draws, each frame, a checkered background with a blended badge
// (two PNG textures), a 2D triangle and a 3D line strip.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/core/win32fs.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/testsupport/demo_scene.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/tool_window.h"
#include "platform/win32/windows.h"

namespace {

constexpr int clientWidth = 320;
constexpr int clientHeight = 240;

struct Options : GxToolFrameOptions {
    std::string content = "content";  // game root holding images/checker.png and images/badge.png
};

// The two textures of the background; either may be missing.
struct Textures {
    GxTexture* checker = nullptr;
    GxTexture* badge = nullptr;
};

bool ParseOptions(int argc, char** argv, Options* options)
{
    return GxToolParseOptions(argc, argv, options, [options](int count, char** args, int* i) {
        if (std::string(args[*i]) != "--content" || *i + 1 >= count) {
            return false;
        }
        options->content = args[++*i];
        return !options->content.empty();
    });
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
    GxDemoDrawBackground(textures.checker, textures.badge, clientWidth, clientHeight);
    GxDemoDrawTriangle2D();
    GxDemoDrawLineStrip3D();
    GxCameraEndUpdate(camera);
    return true;
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
        std::fprintf(stderr, "gxwindow: cannot read %schecker.png or %sbadge.png; drawing without them\n", path.c_str(),
                     path.c_str());
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

int Run(const Options& options, HWND window)
{
    if (!GxToolEngineStart("gxwindow", &window, [] { return true; })) {
        return 1;
    }
    Textures textures = ReadTextures(options.content);
    GxCamera* camera = GxTestCameraCreate(clientWidth, clientHeight);
    int result = camera ? 0 : 1;
    for (int n = 0; camera && !gxToolQuitRequested && (options.frames == 0 || n < options.frames); n++) {
        GxToolPumpMessages();
        const bool drawn = DrawFrame(camera, textures);
        const bool last = options.frames != 0 && n + 1 == options.frames;
        if (drawn && last && !options.screenshot.empty() && !GxToolSaveScreenshot(camera, options.screenshot)) {
            std::fprintf(stderr, "gxwindow: cannot write %s\n", options.screenshot.c_str());
            result = 1;
        }
        GxCameraShowRaster(camera, window, 0);
    }
    DestroyTextures(&textures);
    GxTestCameraDestroy(camera);
    GxToolEngineStop();
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
    return GxToolWindowMain("GxWindow", "gxwindow", clientWidth, clientHeight,
                            [&options](HWND window) { return Run(options, window); });
}
