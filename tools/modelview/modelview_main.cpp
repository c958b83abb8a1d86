// Opens a window through the graphics engine and shows a model file (its images dictionary, then its clump)
// turning on the spot in an empty world, lit by the world's ambient and directional lights. A skinned model plays
// one of its animations, blended on the processor or by a generated vertex shader (key P switches; --skin picks
// the first); --compare draws every frame both ways and fails when the pictures differ.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/core/win32fs.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/d3d9/skinpipe_testing.h"
#include "gfx/testsupport/tool_window.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "platform/win32/windows.h"
#include "tools/content/humanoid_writer.h"

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
constexpr GxReal kCharacterTilt = 6.0f;  // a character is framed from nearer, at chest height
constexpr GxReal kCharacterHeight = 1.3f;
constexpr GxReal kCharacterDistance = 4.5f;
constexpr GxReal kAmbient = 0.35f;
constexpr GxReal kDirectional = 0.75f;
constexpr GxReal kLightPitch = 40.0f;  // degrees: the sun's rays fall this steeply
constexpr GxReal kLightYaw = 30.0f;
constexpr GxInt32 kClearAll = 3;  // frame buffer and depth
constexpr GxReal kSecondsPerFrame = 1.0f / 30.0f;
constexpr int kPixelTolerance = 8;        // per channel: rounding of the two paths' lighting
constexpr double kDifferingShare = 0.05;  // of the drawn pixels: edges the two paths rasterise a pixel apart
constexpr GxRGBA kBackground = {40, 48, 64, 255};
constexpr int kKeySwitchPath = 'P';
constexpr GxReal kWorldHalf = kFarClip;  // the empty world holds all the camera sees

struct Options : GxToolFrameOptions {
    std::string model = "content/models/shops/fashion_small.gxs";
    std::string animation = "walk";
    bool shader = true;    // the skin path to start with
    bool compare = false;  // draw each frame on both paths and compare
};

// A skinned atomic of the clump and the hierarchy that poses it.
struct Skinned {
    GxAtomic* atomic;
    GxAnimHierarchy* hierarchy;
};

// The scene: the world, the model's clump and dictionary, the turntable under the clump, the camera and two lights.
struct Scene {
    GxWorld* world = nullptr;
    GxTexDictionary* dictionary = nullptr;
    GxClump* clump = nullptr;
    GxFrame* turntable = nullptr;
    GxCamera* camera = nullptr;
    GxFrame* cameraFrame = nullptr;
    GxLight* lights[2] = {nullptr, nullptr};
    std::vector<GxAnimation*> animations;
    std::vector<Skinned> skinned;
    GxAnimation* playing = nullptr;
};

bool ParseOptions(int argc, char** argv, Options* options)
{
    return GxToolParseOptions(argc, argv, options, [options](int count, char** args, int* i) {
        const std::string arg = args[*i];
        if (arg == "--anim" && *i + 1 < count) {
            options->animation = args[++*i];
        } else if (arg == "--skin" && *i + 1 < count) {
            const std::string path = args[++*i];
            if (path != "shader" && path != "processor") {
                return false;
            }
            options->shader = path == "shader";
        } else if (arg == "--compare") {
            options->compare = true;
        } else if (arg.empty() || arg[0] == '-') {
            return false;
        } else {
            options->model = arg;
        }
        return true;
    });
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

// An empty world the camera joins: its begin update makes the world current, so the world's lights light the model.
bool CreateWorld(Scene* scene)
{
    const GxBBox box = {{kWorldHalf, kWorldHalf, kWorldHalf}, {-kWorldHalf, -kWorldHalf, -kWorldHalf}};
    scene->world = GxWorldCreate(&box);
    return scene->world && GxWorldAddCamera(scene->world, scene->camera);
}

GxLight* AddLight(GxWorld* world, GxInt32 type, GxReal grey, GxFrame* frame)
{
    GxLight* light = GxLightCreate(type);
    if (!light) {
        return nullptr;
    }
    GxLightSetFrame(light, frame);
    const GxRGBAReal colour = {grey, grey, grey, 1.0f};
    GxLightSetColor(light, &colour);
    GxWorldAddLight(world, light);
    return light;
}

// An ambient light and a directional one whose rays fall from above the camera's left shoulder.
bool CreateLights(Scene* scene)
{
    GxFrame* ambientFrame = GxFrameCreate();
    GxFrame* sunFrame = GxFrameCreate();
    if (!ambientFrame || !sunFrame) {
        GxFrameDestroy(ambientFrame);
        GxFrameDestroy(sunFrame);
        return false;
    }
    Rotate(sunFrame, 1.0f, 0.0f, 0.0f, kLightPitch);
    Rotate(sunFrame, 0.0f, 1.0f, 0.0f, kLightYaw);
    scene->lights[0] = AddLight(scene->world, gxLIGHTAMBIENT, kAmbient, ambientFrame);
    scene->lights[1] = AddLight(scene->world, gxLIGHTDIRECTIONAL, kDirectional, sunFrame);
    if (!scene->lights[0]) {
        GxFrameDestroy(ambientFrame);
    }
    if (!scene->lights[1]) {
        GxFrameDestroy(sunFrame);
    }
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
    // A character file's animations follow its clump, one per group, in the content tool's order.
    while (scene->clump && GxStreamFindChunk(stream, gxID_ANIMANIMATION, nullptr, nullptr)) {
        GxAnimation* animation = GxAnimationStreamRead(stream);
        if (!animation) {
            break;
        }
        scene->animations.push_back(animation);
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
    return GxWorldAddClump(scene->world, scene->clump) != nullptr;
}

GxAtomic* CollectSkinned(GxAtomic* atomic, void* data)
{
    auto* scene = static_cast<Scene*>(data);
    GxAnimHierarchy* hierarchy = GxSkinAtomicGetHierarchy(atomic);
    if (GxSkinGeometryGetSkin(atomic->geometry)) {
        scene->skinned.push_back(Skinned{atomic, hierarchy});
    }
    return atomic;
}

GxFrame* FindHierarchy(GxFrame* frame, void* data)
{
    auto** found = static_cast<GxAnimHierarchy**>(data);
    if (!*found) {
        *found = GxFrameGetAnimHierarchy(frame);
    }
    if (!*found) {
        GxFrameForAllChildren(frame, FindHierarchy, data);
    }
    return frame;
}

// The clump's skinned atomics take the hierarchy under its root and play the chosen animation.
bool StartAnimation(const Options& options, Scene* scene)
{
    GxClumpForAllAtomics(scene->clump, CollectSkinned, scene);
    if (scene->skinned.empty()) {
        return true;
    }
    GxAnimHierarchy* hierarchy = nullptr;
    FindHierarchy(static_cast<GxFrame*>(scene->clump->object.parent), &hierarchy);
    const std::vector<std::string>& names = ContentHumanoidAnimationNames();
    for (size_t i = 0; i < names.size() && i < scene->animations.size(); i++) {
        if (names[i] == options.animation) {
            scene->playing = scene->animations[i];
        }
    }
    if (!hierarchy || !scene->playing) {
        std::fprintf(stderr, "modelview: %s has no hierarchy or no animation \"%s\"\n", options.model.c_str(),
                     options.animation.c_str());
        return false;
    }
    GxMatrix framing;
    GxMatrixSetIdentity(&framing);
    GxFrameTransform(scene->cameraFrame, &framing, gxCOMBINEREPLACE);
    Rotate(scene->cameraFrame, 1.0f, 0.0f, 0.0f, kCharacterTilt);
    const GxV3d at = {0.0f, kCharacterHeight, -kCharacterDistance};
    GxFrameTranslate(scene->cameraFrame, &at, gxCOMBINEPOSTCONCAT);
    GxAnimHierarchyAttach(hierarchy);
    if (!GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, scene->playing)) {
        return false;
    }
    GxAnimHierarchyUpdateMatrices(hierarchy);
    for (Skinned& s : scene->skinned) {
        s.hierarchy = hierarchy;
        GxSkinAtomicSetHierarchy(s.atomic, hierarchy);
    }
    return true;
}

// Every skinned atomic to the path the game takes on this device, its vertex shaders used or not; true when all of
// them take the shader.
bool SelectPath(Scene* scene, bool shader)
{
    std::vector<GxAtomic*> atomics;
    for (Skinned& s : scene->skinned) {
        atomics.push_back(s.atomic);
    }
    if (atomics.empty() || !GxD3D9SkinTestUseShaders(atomics.data(), atomics.size(), shader)) {
        return false;
    }
    bool all = true;
    for (GxAtomic* atomic : atomics) {
        all = GxD3D9SkinCanUseVertexShader(atomic) && all;
    }
    return all;
}

void Advance(Scene* scene)
{
    if (scene->skinned.empty()) {
        return;
    }
    GxAnimHierarchy* hierarchy = scene->skinned[0].hierarchy;
    GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, kSecondsPerFrame);
    GxAnimHierarchyUpdateMatrices(hierarchy);
}

void DestroyScene(Scene* scene)
{
    for (GxAnimation* animation : scene->animations) {
        GxAnimationDestroy(animation);
    }
    scene->animations.clear();
    // The world lets go of the clump, the lights and the camera.
    if (scene->world) {
        GxWorldRemoveCamera(scene->world, scene->camera);
        GxWorldDestroy(scene->world);
    }
    for (GxLight*& light : scene->lights) {
        if (light) {
            auto* frame = static_cast<GxFrame*>(light->object.object.parent);
            GxLightDestroy(light);
            GxFrameDestroy(frame);
            light = nullptr;
        }
    }
    // The turntable goes first: the clump's root frame under it becomes a root again.
    if (scene->turntable) {
        GxFrameDestroy(scene->turntable);
    }
    if (scene->clump) {
        GxClumpDestroy(scene->clump);
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

// Runs the window's messages; true when the path switch key went down.
bool PumpMessages()
{
    MSG msg;
    bool switched = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            gxToolQuitRequested = true;
        }
        switched = switched || (msg.message == WM_KEYDOWN && msg.wParam == static_cast<WPARAM>(kKeySwitchPath));
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return switched;
}

bool DrawFrame(Scene* scene, int n)
{
    if (!scene->skinned.empty()) {
        n = 0;  // a character walks in place facing the camera: no turntable
    }
    GxMatrix turn;
    GxMatrixSetIdentity(&turn);
    GxFrameTransform(scene->turntable, &turn, gxCOMBINEREPLACE);
    Rotate(scene->turntable, 0.0f, 1.0f, 0.0f, kStartAngle + kDegreesPerFrame * static_cast<GxReal>(n));
    GxRGBA background = kBackground;
    if (!GxCameraClear(scene->camera, &background, kClearAll) || !GxCameraBeginUpdate(scene->camera)) {
        return false;
    }
    const bool drawn = GxClumpRender(scene->clump) != nullptr;
    GxCameraEndUpdate(scene->camera);
    return drawn;
}

bool IsBackground(const GxUInt8* p)
{
    return p[0] == kBackground.red && p[1] == kBackground.green && p[2] == kBackground.blue;
}

// Whether two frames match but for a few edge pixels and small rounding: the pixels that differ by more than the
// tolerance are a small share of those drawn in either frame.
bool FramesMatch(const GxImage* a, const GxImage* b, int* differing, int* drawn)
{
    constexpr GxInt32 bytes = kGxToolFrameDepth / 8;
    *differing = 0;
    *drawn = 0;
    for (GxInt32 y = 0; y < a->height; y++) {
        const GxUInt8* rowA = a->pixels + y * a->stride;
        const GxUInt8* rowB = b->pixels + y * b->stride;
        for (GxInt32 x = 0; x < a->width * bytes; x += bytes) {
            *drawn += IsBackground(rowA + x) && IsBackground(rowB + x) ? 0 : 1;
            for (int c = 0; c < 3; c++) {
                if (std::abs(rowA[x + c] - rowB[x + c]) > kPixelTolerance) {
                    (*differing)++;
                    break;
                }
            }
        }
    }
    return *differing <= static_cast<int>(kDifferingShare * *drawn);
}

// Draws frame n on the processor and on the shader path; false when either fails or the pictures differ.
bool CompareFrame(Scene* scene, int n)
{
    GxImage* frames[2] = {nullptr, nullptr};
    bool ok = true;
    for (int path = 0; path < 2 && ok; path++) {
        if (SelectPath(scene, path == 1) != (path == 1)) {
            std::fprintf(stderr, "modelview: the shader path is not available on this device\n");
            ok = false;
            break;
        }
        ok = DrawFrame(scene, n) && (frames[path] = GxToolReadFrame(scene->camera)) != nullptr;
    }
    int differing = 0;
    int drawn = 0;
    if (ok && !FramesMatch(frames[0], frames[1], &differing, &drawn)) {
        std::fprintf(stderr, "modelview: frame %d: %d of %d drawn pixels differ between the paths\n", n, differing,
                     drawn);
        ok = false;
    } else if (ok) {
        std::printf("modelview: frame %d: %d of %d drawn pixels differ between the paths\n", n, differing, drawn);
    }
    for (GxImage* image : frames) {
        if (image) {
            GxImageDestroy(image);
        }
    }
    return ok;
}

// The world and its objects, level of detail and user data, then the driver's world pipelines and glue, which
// extend them and bring the world's lights to atomics; the hierarchy and skin plugins for characters.
bool AttachPlugins()
{
    return GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
           GxD3D9SectorPluginAttach() && GxAnimHierarchyPluginAttach() && GxD3D9SkinPluginAttach();
}

int RunScene(const Options& options, HWND window)
{
    Scene scene;
    if (!CreateCamera(&scene) || !CreateWorld(&scene) || !CreateLights(&scene) || !ReadModel(options.model, &scene) ||
        !StartAnimation(options, &scene)) {
        DestroyScene(&scene);
        return 1;
    }
    bool shader = options.shader;
    if (!scene.skinned.empty()) {
        shader = SelectPath(&scene, shader);
        std::printf("modelview: %s blended %s\n", options.animation.c_str(),
                    shader ? "by a generated vertex shader" : "on the processor");
    }
    int result = 0;
    for (int n = 0; !gxToolQuitRequested && (options.frames == 0 || n < options.frames); n++) {
        if (PumpMessages() && !scene.skinned.empty()) {
            shader = SelectPath(&scene, !shader);
            std::printf("modelview: now blended %s\n", shader ? "by a generated vertex shader" : "on the processor");
        }
        Advance(&scene);
        if (options.compare && !scene.skinned.empty()) {
            if (!CompareFrame(&scene, n)) {
                result = 1;
                break;
            }
            SelectPath(&scene, shader);
        }
        const bool drawn = DrawFrame(&scene, n);
        if (!drawn) {
            std::fprintf(stderr, "modelview: frame %d was not drawn\n", n);
            result = 1;
            break;
        }
        const bool last = options.frames != 0 && n + 1 == options.frames;
        if (last && !options.screenshot.empty() && !GxToolSaveScreenshot(scene.camera, options.screenshot)) {
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
        std::fprintf(stderr, "usage: modelview [--frames N] [--screenshot out.bmp] [--anim NAME] "
                             "[--skin shader|processor] [--compare] [model.gxs]\n");
        return 2;
    }
    return GxToolWindowMain("GxModelView", "modelview", clientWidth, clientHeight,
                            [&options](HWND window) { return Run(options, window); });
}
