// Opens a window through the graphics engine and shows a model file (its images dictionary, then its clump)
// turning on the spot, lit by an ambient and a directional light.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/core/win32fs.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/testsupport/tool_window.h"
#include "gfx/world/userdata.h"
#include "platform/win32/windows.h"

namespace {

constexpr int clientWidth = 400;
constexpr int clientHeight = 300;
constexpr GxReal kViewWindowWidth = 0.5f;
constexpr GxReal kNearClip = 0.5f;
constexpr GxReal kFarClip = 200.0f;
constexpr GxReal kCameraTilt = 18.0f;  // degrees below the horizon
constexpr GxReal kCameraHeight = 5.5f;
constexpr GxReal kCameraDistance = 13.0f;
constexpr GxReal kStartAngle = 200.0f;  // degrees: the entrance (+z side) turned half towards the camera
constexpr GxReal kDegreesPerFrame = 1.0f;
constexpr GxReal kAmbient = 0.35f;
constexpr GxReal kDirectional = 0.75f;
constexpr GxReal kLightPitch = 40.0f;  // degrees: the sun's rays fall this steeply
constexpr GxReal kLightYaw = 30.0f;
constexpr GxInt32 kClearAll = 3;  // frame buffer and depth
constexpr GxInt32 kScreenshotDepth = 32;

GxLink viewerLights;

struct Options {
    int frames = 0;  // 0: until the window is closed
    std::string screenshot;
    std::string model = "content/models/shops/fashion_small.gxs";
};

// The scene: the model's clump and dictionary, the turntable under the clump, the camera and two lights.
struct Scene {
    GxTexDictionary* dictionary = nullptr;
    GxClump* clump = nullptr;
    GxFrame* turntable = nullptr;
    GxCamera* camera = nullptr;
    GxFrame* cameraFrame = nullptr;
    GxLight* lights[2] = {nullptr, nullptr};
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
        } else if (arg.empty() || arg[0] == '-') {
            return false;
        } else {
            options->model = arg;
        }
    }
    return true;
}

// The viewer's lights stand in for a world's global lights until worlds exist.
GxLink* ViewerLights(GxWorld*)
{
    return &viewerLights;
}

void Rotate(GxFrame* frame, GxReal x, GxReal y, GxReal z, GxReal degrees)
{
    const GxV3d axis = {x, y, z};
    GxFrameRotate(frame, &axis, degrees, gxCOMBINEPOSTCONCAT);
}

// A camera above and behind the origin, tilted down towards it, with window-sized rasters.
bool CreateCamera(Scene* scene)
{
    scene->camera = GxCameraCreate();
    scene->cameraFrame = GxFrameCreate();
    if (!scene->camera || !scene->cameraFrame) {
        return false;
    }
    Rotate(scene->cameraFrame, 1.0f, 0.0f, 0.0f, kCameraTilt);
    const GxV3d at = {0.0f, kCameraHeight, -kCameraDistance};
    GxFrameTranslate(scene->cameraFrame, &at, gxCOMBINEPOSTCONCAT);
    scene->camera->object.object.parent = scene->cameraFrame;
    GxLinkAddAfter(&scene->cameraFrame->objectList, &scene->camera->object.inFrameList);
    const GxV2d window = {kViewWindowWidth, kViewWindowWidth * clientHeight / clientWidth};
    GxCameraSetViewWindow(scene->camera, &window);
    GxCameraSetNearClipPlane(scene->camera, kNearClip);
    GxCameraSetFarClipPlane(scene->camera, kFarClip);
    scene->camera->frameBuffer = GxRasterCreate(clientWidth, clientHeight, 0, gxRASTERTYPECAMERA);
    scene->camera->zBuffer = GxRasterCreate(clientWidth, clientHeight, 0, gxRASTERTYPEZBUFFER);
    return scene->camera->frameBuffer && scene->camera->zBuffer;
}

GxLight* AddLight(GxInt32 type, GxReal grey, GxFrame* frame)
{
    GxLight* light = GxLightCreate(type);
    if (!light) {
        return nullptr;
    }
    GxLightSetFrame(light, frame);
    const GxRGBAReal colour = {grey, grey, grey, 1.0f};
    GxLightSetColor(light, &colour);
    GxLinkAddAfter(&viewerLights, &light->inWorld);
    return light;
}

// An ambient light and a directional one whose rays fall from above the camera's left shoulder.
bool CreateLights(Scene* scene)
{
    GxLinkInit(&viewerLights);
    GxFrame* ambientFrame = GxFrameCreate();
    GxFrame* sunFrame = GxFrameCreate();
    if (!ambientFrame || !sunFrame) {
        GxFrameDestroy(ambientFrame);
        GxFrameDestroy(sunFrame);
        return false;
    }
    Rotate(sunFrame, 1.0f, 0.0f, 0.0f, kLightPitch);
    Rotate(sunFrame, 0.0f, 1.0f, 0.0f, kLightYaw);
    scene->lights[0] = AddLight(gxLIGHTAMBIENT, kAmbient, ambientFrame);
    scene->lights[1] = AddLight(gxLIGHTDIRECTIONAL, kDirectional, sunFrame);
    if (!scene->lights[0]) {
        GxFrameDestroy(ambientFrame);
    }
    if (!scene->lights[1]) {
        GxFrameDestroy(sunFrame);
    }
    GxD3D9SetWorldLightsQuery(ViewerLights);
    return scene->lights[0] && scene->lights[1];
}

// Reads the model file: its images dictionary becomes the current one, so the clump's materials find their
// textures in it.
bool ReadModel(const std::string& path, Scene* scene)
{
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, path.c_str());
    if (!stream) {
        std::fprintf(stderr, "modelview: cannot open %s\n", path.c_str());
        return false;
    }
    if (GxStreamFindChunk(stream, gxID_IMAGEDICTIONARY, nullptr, nullptr)) {
        scene->dictionary = GxTexDictionaryStreamReadImages(stream);
    }
    if (!scene->dictionary) {
        std::fprintf(stderr, "modelview: %s has no readable images dictionary; drawing untextured\n", path.c_str());
    }
    GxTexDictionarySetCurrent(scene->dictionary);
    if (GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr)) {
        scene->clump = GxClumpStreamRead(stream);
    }
    GxStreamClose(stream, nullptr);
    if (!scene->clump) {
        std::fprintf(stderr, "modelview: %s holds no readable clump\n", path.c_str());
        return false;
    }
    // The clump's root frame hangs under a turntable that turns about the vertical axis through the origin.
    scene->turntable = GxFrameCreate();
    auto* root = static_cast<GxFrame*>(scene->clump->object.parent);
    if (!scene->turntable || !root) {
        return false;
    }
    GxFrameAddChild(scene->turntable, root);
    return true;
}

void DestroyScene(Scene* scene)
{
    GxD3D9SetWorldLightsQuery(nullptr);
    for (GxLight*& light : scene->lights) {
        if (light) {
            GxLinkRemove(&light->inWorld);
            auto* frame = static_cast<GxFrame*>(light->object.object.parent);
            GxLightDestroy(light);
            GxFrameDestroy(frame);
            light = nullptr;
        }
    }
    if (scene->clump) {
        auto* root = static_cast<GxFrame*>(scene->clump->object.parent);
        if (root && scene->turntable) {
            GxFrameRemoveChild(root);
        }
        GxClumpDestroy(scene->clump);
    }
    if (scene->turntable) {
        GxFrameDestroy(scene->turntable);
    }
    GxTexDictionarySetCurrent(nullptr);
    if (scene->dictionary) {
        GxTexDictionaryDestroy(scene->dictionary);
    }
    if (scene->camera) {
        if (scene->camera->frameBuffer) {
            GxRasterDestroy(scene->camera->frameBuffer);
        }
        if (scene->camera->zBuffer) {
            GxRasterDestroy(scene->camera->zBuffer);
        }
        GxCameraDestroy(scene->camera);
    }
    if (scene->cameraFrame) {
        GxFrameDestroy(scene->cameraFrame);
    }
    *scene = Scene();
}

bool DrawFrame(Scene* scene, int n)
{
    GxMatrix turn;
    GxMatrixSetIdentity(&turn);
    GxFrameTransform(scene->turntable, &turn, gxCOMBINEREPLACE);
    Rotate(scene->turntable, 0.0f, 1.0f, 0.0f, kStartAngle + kDegreesPerFrame * static_cast<GxReal>(n));
    GxRGBA background = {40, 48, 64, 255};
    if (!GxCameraClear(scene->camera, &background, kClearAll) || !GxCameraBeginUpdate(scene->camera)) {
        return false;
    }
    const bool drawn = GxClumpRender(scene->clump) != nullptr;
    GxCameraEndUpdate(scene->camera);
    return drawn;
}

// Copies the frame buffer into an image through the driver and saves it with the core's BMP writer.
bool SaveScreenshot(GxCamera* camera, const std::string& path)
{
    GxRaster* raster = camera->frameBuffer;
    GxStandardFunc fromRaster = GxEngineInstance->stdFunc[gxSTANDARDIMAGEGETRASTER];
    GxImage* image = GxImageCreate(raster->width, raster->height, kScreenshotDepth);
    const bool ok = image && fromRaster && GxImageAllocatePixels(image) && fromRaster(image, raster, 0) &&
                    GxImageWriteBMP(image, path.c_str()) != nullptr;
    if (image) {
        GxImageDestroy(image);
    }
    return ok;
}

// The world objects, level of detail and user data, then the driver's world glue, which extends them.
bool AttachPlugins()
{
    return GxWorldObjectsPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
           GxD3D9WorldPluginAttach();
}

int RunScene(const Options& options, HWND window)
{
    Scene scene;
    if (!CreateCamera(&scene) || !CreateLights(&scene) || !ReadModel(options.model, &scene)) {
        DestroyScene(&scene);
        return 1;
    }
    int result = 0;
    for (int n = 0; !gxToolQuitRequested && (options.frames == 0 || n < options.frames); n++) {
        GxToolPumpMessages();
        const bool drawn = DrawFrame(&scene, n);
        if (!drawn) {
            std::fprintf(stderr, "modelview: frame %d was not drawn\n", n);
            result = 1;
            break;
        }
        const bool last = options.frames != 0 && n + 1 == options.frames;
        if (last && !options.screenshot.empty() && !SaveScreenshot(scene.camera, options.screenshot)) {
            std::fprintf(stderr, "modelview: cannot write %s\n", options.screenshot.c_str());
            result = 1;
        }
        GxCameraShowRaster(scene.camera, window, 0);
    }
    DestroyScene(&scene);
    return result;
}

int Run(const Options& options, HWND window)
{
    if (!GxToolEngineStart("modelview", &window, AttachPlugins)) {
        return 1;
    }
    const int result = RunScene(options, window);
    GxToolEngineStop();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: modelview [--frames N] [--screenshot out.bmp] [model.gxs]\n");
        return 2;
    }
    HWND window = GxToolWindowOpen("GxModelView", "modelview", clientWidth, clientHeight);
    if (!window) {
        std::fprintf(stderr, "modelview: no window\n");
        return 1;
    }
    const int result = Run(options, window);
    DestroyWindow(window);
    return result;
}
