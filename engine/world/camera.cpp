// Cameras: creation with rasters and settings, motion along the camera's axes and on the ground, resizing,
// sub-cameras, screenshots, and the game camera's motion by mode.
#include "engine/world/camera.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/data/context.h"
#include "engine/data/root.h"
#include "engine/data/tagtree.h"
#include "gfx/2d/path.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/matrix.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/raster.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"

namespace {

const float kNearClipScale = 0.01f;  // NearClipPlane is given in hundredths
const float kDefaultNear = 0.05f;
const float kDefaultFar = 10.0f;
const float kDefaultFog = 5.0f;
const GxRGBA kDefaultBackground = {104, 104, 188, 255};
const float kLayerDepth2D = 4.0f;
const float kSubCameraHalfAngle = 30.0f;
const float kDegreesToRadians = 3.14159265358979f / 180.0f;
const GxInt32 kVideoModeExclusive = 0x1;
const GxInt32 kImageDepth = 32;
const GxInt32 kBytesPerPixel = 4;
const float kPitchMin = 5.0f;
const float kPitchMax = 80.0f;
const float kTurnScale = 0.1f;
const float kRaiseScale = -10.0f;
const float kMaxRamp = 1.0f;
const GxInt32 kCombineReplace = 0;
const GxInt32 kCombinePre = 1;
const GxInt32 kCombinePost = 2;

GxRGBA g_background = kDefaultBackground;
bool g_2dOpen = false;

GxFrame* FrameOf(GxCamera* camera) { return camera ? GxCameraGetFrame(camera) : nullptr; }

// The first value of a "Game_Data" key of the settings, or null.
const char* SetupValue(const char* key)
{
    CFerroxTagTree* setup = g_pFerroxSetupTree;
    if (!setup || !setup->FindNode("Game_Data", 1) || !setup->FindChild(key))
        return nullptr;
    return setup->GetValue(0);
}

// A decimal number that fills the whole value; false for anything else, so text never becomes a number.
bool ParseFloat(const char* text, float* out)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const float value = strtof(text, &end);
    while (end && (*end == ' ' || *end == '\t' || *end == '\r'))
        ++end;
    if (!end || *end != '\0' || !std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool ParseInt(const char* text, long* out)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    const long value = strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t' || *end == '\r'))
        ++end;
    if (!end || *end != '\0')
        return false;
    *out = value;
    return true;
}

// Clip and fog distances from the settings; missing or unusable values give the core camera's defaults.
void ReadClipPlanes(GxCamera* camera)
{
    float nearClip = 0.0f, farClip = 0.0f, fog = 0.0f;
    const bool haveNear = ParseFloat(SetupValue("NearClipPlane"), &nearClip);
    const bool haveFar = ParseFloat(SetupValue("FarClipPlane"), &farClip);
    nearClip = haveNear ? nearClip * kNearClipScale : kDefaultNear;
    if (!haveFar)
        farClip = kDefaultFar;
    // A near plane at or behind the eye, or a far plane not beyond it, makes no projection.
    if (nearClip <= 0.0f || farClip <= nearClip) {
        nearClip = kDefaultNear;
        farClip = kDefaultFar;
    }
    if (!ParseFloat(SetupValue("FogClipPlane"), &fog))
        fog = kDefaultFog;
    GxCameraSetNearClipPlane(camera, nearClip);
    GxCameraSetFarClipPlane(camera, farClip);
    camera->fogPlane = fog;
}

void ReadBackground()
{
    const char* const keys[4] = {"BGr", "BGg", "BGb", "Bga"};
    const GxUInt8 defaults[4] = {kDefaultBackground.red, kDefaultBackground.green, kDefaultBackground.blue,
                                 kDefaultBackground.alpha};
    GxUInt8 channels[4];
    for (int i = 0; i < 4; ++i) {
        long value = 0;
        channels[i] = ParseInt(SetupValue(keys[i]), &value) ? static_cast<GxUInt8>(value & 0xFF) : defaults[i];
    }
    g_background = GxRGBA{channels[0], channels[1], channels[2], channels[3]};
}

// A raster without pixels made a window of a new parent raster of the size.
GxRaster* CreateWindowRaster(int width, int height, GxInt32 type)
{
    GxRaster* parent = GxRasterCreate(width, height, 0, type);
    if (!parent)
        return nullptr;
    GxRaster* raster = GxRasterCreate(0, 0, 0, type | gxRASTERDONTALLOCATE);
    const GxRect rect = {0, 0, width, height};
    if (!raster || !GxRasterSubRaster(raster, parent, &rect)) {
        if (raster)
            GxRasterDestroy(raster);
        GxRasterDestroy(parent);
        return nullptr;
    }
    return raster;
}

// Destroys a window raster and the parent it was made for (when it is not its own parent).
void DestroyWindowRaster(GxRaster* raster, bool withParent)
{
    if (!raster)
        return;
    GxRaster* parent = GxRasterGetParent(raster);
    GxRasterDestroy(raster);
    if (withParent && parent && parent != raster)
        GxRasterDestroy(parent);
}

// Makes a window raster the area of its parent. With `grow`, a parent too small for it (a camera made for the
// virtual screen in a larger full-screen mode) is made again at the area's size first.
bool FitWindowRaster(GxRaster** raster, GxInt32 type, const GxRect& area, bool grow)
{
    const GxRaster* parent = GxRasterGetParent(*raster);
    if (grow && (parent->width < area.x + area.w || parent->height < area.y + area.h)) {
        GxRaster* larger = CreateWindowRaster(area.x + area.w, area.y + area.h, type);
        if (!larger)
            return false;
        DestroyWindowRaster(*raster, true);
        *raster = larger;
    }
    return GxRasterSubRaster(*raster, GxRasterGetParent(*raster), &area) != nullptr;
}

void SetViewWindow(GxCamera* camera, float viewSize, float width, float height)
{
    GxV2d window;
    if (width <= height)
        window = GxV2d{viewSize * width / height, viewSize};
    else
        window = GxV2d{viewSize, viewSize * height / width};
    GxCameraSetViewWindow(camera, &window);
}

// Turns the frame about an axis through a point, in its parent's space.
void TurnAbout(GxFrame* frame, const GxV3d* pivot, GxV3d axis, float degrees)
{
    const GxV3d at = pivot ? *pivot : frame->modelling.pos;
    const GxV3d back = {-at.x, -at.y, -at.z};
    GxFrameTranslate(frame, &back, kCombinePost);
    GxFrameRotate(frame, &axis, degrees, kCombinePost);
    GxFrameTranslate(frame, &at, kCombinePost);
}

float FrameTime() { return g_pFerroxGameContext ? g_pFerroxGameContext->GetFrameTimes()[0] : 0.0f; }

void Accumulate(float* total, float degrees, int accumulate) { *total = accumulate ? *total + degrees : degrees; }

// The walk hands every visible clump to its own callback, as set with GxClumpSetCallback.
GxClump* RenderClump(GxClump* clump, void* data) { return clump->callback ? clump->callback(clump, data) : clump; }

}  // namespace

const GxRGBA* FerroxGetBackgroundColour() { return &g_background; }

GxRaster* FerroxRasterRead(const char* fileName)
{
    GxImage* image = fileName ? GxImageRead(fileName) : nullptr;
    if (!image)
        return nullptr;
    GxRaster* raster = nullptr;
    GxRaster format = {};
    GxStandardFunc find = GxEngineInstance->stdFunc[gxSTANDARDIMAGEFINDRASTERFORMAT];
    GxStandardFunc set = GxEngineInstance->stdFunc[gxSTANDARDRASTERSETIMAGE];
    if (find && set && find(&format, image, gxRASTERTYPETEXTURE)) {
        raster = GxRasterCreate(format.width, format.height, format.depth,
                                (static_cast<GxInt32>(format.format) << 8) | format.type);
        if (raster && !set(raster, image, 0)) {
            GxRasterDestroy(raster);
            raster = nullptr;
        }
    }
    GxImageDestroy(image);
    return raster;
}

// ---- implementation ----

CFerroxCameraImpl::CFerroxCameraImpl() { Init(); }

CFerroxCameraImpl::~CFerroxCameraImpl() {}

void CFerroxCameraImpl::Init()
{
    m_pCamera = nullptr;
    m_position[0] = m_position[1] = m_position[2] = 0.0f;
}

int CFerroxCameraImpl::Create(int width, int height, int withZRaster)
{
    if (m_pCamera || width <= 0 || height <= 0)
        return 0;
    m_pCamera = GxCameraCreate();
    if (!m_pCamera)
        return 0;
    GxFrame* frame = GxFrameCreate();
    if (frame)
        GxObjectSetFrame(&m_pCamera->object, frame);
    m_pCamera->frameBuffer = CreateWindowRaster(width, height, gxRASTERTYPECAMERA);
    if (withZRaster)
        m_pCamera->zBuffer = CreateWindowRaster(width, height, gxRASTERTYPEZBUFFER);
    ReadClipPlanes(m_pCamera);
    ReadBackground();
    m_position[0] = m_position[1] = m_position[2] = 0.0f;
    const GxV3d none = {0.0f, 0.0f, 0.0f};
    Move(&none);
    if (frame)
        GxFrameSetDirty(frame);
    if (!g_2dOpen && m_pCamera->frameBuffer) {
        g_2dOpen = Gx2DOpen(m_pCamera) && Gx2DDeviceSetCamera(m_pCamera) && Gx2DDeviceSetLayerDepth(kLayerDepth2D);
    }
    return frame && m_pCamera->frameBuffer && (!withZRaster || m_pCamera->zBuffer) ? 1 : 0;
}

void CFerroxCameraImpl::Release()
{
    if (m_pCamera) {
        GxFrame* frame = FrameOf(m_pCamera);
        if (frame)
            GxObjectSetFrame(&m_pCamera->object, nullptr);
        DestroyWindowRaster(m_pCamera->frameBuffer, true);
        DestroyWindowRaster(m_pCamera->zBuffer, true);
        m_pCamera->frameBuffer = nullptr;
        m_pCamera->zBuffer = nullptr;
        GxCameraDestroy(m_pCamera);
        if (frame)
            GxFrameDestroy(frame);
    }
    if (g_2dOpen) {
        Gx2DClose();
        g_2dOpen = false;
    }
    Init();
}

int CFerroxCameraImpl::Resize(const GxRect* rect, float viewSize)
{
    GxCamera* camera = m_pCamera;
    if (!camera || !camera->frameBuffer)
        return 0;
    GxRect area = {0, 0, 0, 0};
    if (rect) {
        area = *rect;
    } else {
        GxVideoMode mode = {};
        GxRaster* parent = GxRasterGetParent(camera->frameBuffer);
        if (GxEngineGetVideoModeInfo(&mode, GxEngineGetCurrentVideoMode()) && (mode.flags & kVideoModeExclusive)) {
            area.w = mode.width;
            area.h = mode.height;
        } else {
            area.w = parent->width;
            area.h = parent->height;
        }
    }
    if (area.w <= 0 || area.h <= 0)
        return 0;
    // The screen of a full-screen mode is the frame buffer, however small the camera was made.
    const bool wholeScreen = rect == nullptr;
    if (!FitWindowRaster(&camera->frameBuffer, gxRASTERTYPECAMERA, area, wholeScreen))
        return 0;
    if (camera->zBuffer && !FitWindowRaster(&camera->zBuffer, gxRASTERTYPEZBUFFER, area, wholeScreen))
        return 0;
    SetViewWindow(camera, viewSize, static_cast<float>(area.w), static_cast<float>(area.h));
    if (g_2dOpen)
        Gx2DDeviceSetCamera(camera);
    return 1;
}

// Post-concatenated, so in the parent's (world) space: (0, 4, 0) lifts a pitched view straight up.
void CFerroxCameraImpl::Move(const GxV3d* delta)
{
    GxFrame* frame = FrameOf(m_pCamera);
    if (frame && delta)
        GxFrameTranslate(frame, delta, kCombinePost);
}

void CFerroxCameraImpl::Pitch(const GxV3d* pivot, float degrees)
{
    GxFrame* frame = FrameOf(m_pCamera);
    if (frame)
        TurnAbout(frame, pivot, frame->modelling.right, degrees);
}

void CFerroxCameraImpl::Yaw(const GxV3d* pivot, float degrees)
{
    GxFrame* frame = FrameOf(m_pCamera);
    if (frame)
        TurnAbout(frame, pivot, GxV3d{0.0f, 1.0f, 0.0f}, degrees);
}

void CFerroxCameraImpl::Roll(const GxV3d* pivot, float degrees)
{
    GxFrame* frame = FrameOf(m_pCamera);
    if (frame)
        TurnAbout(frame, pivot, frame->modelling.at, degrees);
}

void CFerroxCameraImpl::Update()
{
    GxFrame* frame = FrameOf(m_pCamera);
    if (!frame)
        return;
    m_position[0] = frame->modelling.pos.x;
    m_position[1] = frame->modelling.pos.y;
    m_position[2] = frame->modelling.pos.z;
}

// ---- engine camera ----

CFerroxCamera::CFerroxCamera() : m_pImpl(std::make_unique<CFerroxCameraImpl>())
{
    m_pitchTotal = m_yawTotal = m_rollTotal = 0.0f;
    CFerroxCamera::Init();
}

CFerroxCamera::~CFerroxCamera() { m_pImpl->Release(); }

void CFerroxCamera::Init()
{
    m_pImpl->Init();
    m_pitchTotal = m_yawTotal = m_rollTotal = 0.0f;
}

int CFerroxCamera::Resize(const GxRect* rect, float viewSize) { return m_pImpl->Resize(rect, viewSize); }
void CFerroxCamera::Move(const GxV3d* delta) { m_pImpl->Move(delta); }

void CFerroxCamera::Pitch(const GxV3d* pivot, float degrees, int accumulate)
{
    m_pImpl->Pitch(pivot, degrees);
    Accumulate(&m_pitchTotal, degrees, accumulate);
}

void CFerroxCamera::Yaw(const GxV3d* pivot, float degrees, int accumulate)
{
    m_pImpl->Yaw(pivot, degrees);
    Accumulate(&m_yawTotal, degrees, accumulate);
}

void CFerroxCamera::Roll(const GxV3d* pivot, float degrees, int accumulate)
{
    m_pImpl->Roll(pivot, degrees);
    Accumulate(&m_rollTotal, degrees, accumulate);
}

void CFerroxCamera::Update() { m_pImpl->Update(); }
int CFerroxCamera::Create(int width, int height, int withZRaster)
{
    return m_pImpl->Create(width, height, withZRaster);
}
void CFerroxCamera::Release() { m_pImpl->Release(); }

int CFerroxCamera::GetWidth()
{
    GxCamera* camera = m_pImpl->m_pCamera;
    return camera && camera->frameBuffer ? camera->frameBuffer->width : 0;
}

int CFerroxCamera::GetHeight()
{
    GxCamera* camera = m_pImpl->m_pCamera;
    return camera && camera->frameBuffer ? camera->frameBuffer->height : 0;
}

int CFerroxCamera::ShowRaster(HWND window)
{
    GxCamera* camera = m_pImpl->m_pCamera;
    return camera && GxCameraShowRaster(camera, window, 0) ? 0 : 1;
}

int CFerroxCamera::Clear(const GxRGBA* colour, int mode)
{
    GxCamera* camera = m_pImpl->m_pCamera;
    GxRGBA copy = colour ? *colour : g_background;
    return camera && GxCameraClear(camera, &copy, mode) ? 0 : 1;
}

int CFerroxCamera::BeginUpdate()
{
    GxCamera* camera = m_pImpl->m_pCamera;
    return camera && GxCameraBeginUpdate(camera) ? 0 : 1;
}

int CFerroxCamera::EndUpdate()
{
    GxCamera* camera = m_pImpl->m_pCamera;
    return camera && GxCameraEndUpdate(camera) ? 0 : 1;
}

int CFerroxCamera::PushRasterContext()
{
    GxCamera* camera = m_pImpl->m_pCamera;
    return camera && camera->frameBuffer && GxRasterPushContext(camera->frameBuffer) ? 0 : 1;
}

int CFerroxCamera::RenderVisibleClumps()
{
    GxCamera* camera = m_pImpl->m_pCamera;
    if (!camera) {
        return 1;
    }
    GxCameraForAllClumpsInFrustum(camera, RenderClump, nullptr);
    return 0;
}

int CFerroxCamera::AddToWorld(GxWorld* world)
{
    GxCamera* camera = m_pImpl->m_pCamera;
    if (!camera || !world || GxCameraGetWorld(camera)) {
        return 1;
    }
    return GxWorldAddCamera(world, camera) ? 0 : 1;
}

int CFerroxCamera::RemoveFromWorld(GxWorld* world)
{
    GxCamera* camera = m_pImpl->m_pCamera;
    GxWorld* current = camera ? GxCameraGetWorld(camera) : nullptr;
    if (!current) {
        return 1;
    }
    GxWorld* from = world == current ? world : current;
    return GxWorldRemoveCamera(from, camera) ? 0 : 1;
}

const GxV3d* CFerroxCamera::GetPosition()
{
    GxFrame* frame = FrameOf(m_pImpl->m_pCamera);
    return frame ? &frame->modelling.pos : nullptr;
}

const GxV3d* CFerroxCamera::GetAt()
{
    GxFrame* frame = FrameOf(m_pImpl->m_pCamera);
    return frame ? &frame->modelling.at : nullptr;
}

void CFerroxCamera::SetPosition(const GxV3d* position)
{
    GxFrame* frame = FrameOf(m_pImpl->m_pCamera);
    if (!frame || !position)
        return;
    frame->modelling.pos = *position;
    GxFrameSetDirty(frame);
}

void CFerroxCamera::ResetRotation()
{
    GxFrame* frame = FrameOf(m_pImpl->m_pCamera);
    if (!frame)
        return;
    const GxV3d up = {0.0f, 1.0f, 0.0f};
    GxMatrixRotate(&frame->modelling, &up, 0.0f, kCombineReplace);
}

void CFerroxCamera::MoveOnGround(const GxV3d* delta, int (*validator)(const GxV3d* position))
{
    GxFrame* frame = FrameOf(m_pImpl->m_pCamera);
    if (!frame || !delta)
        return;
    GxMatrix* inverse = GxMatrixCreate();
    if (!inverse)
        return;
    GxMatrixInvert(inverse, GxFrameGetWorldMatrix(frame));
    const GxMatrix& own = frame->modelling;
    const GxV3d directions[3] = {
        {own.right.x, 0.0f, own.right.z},
        {0.0f, own.up.y, 0.0f},
        {own.at.x, 0.0f, own.at.z},
    };
    const float amounts[3] = {delta->x, delta->y, delta->z};
    GxV3d sum = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 3; ++i) {
        if (amounts[i] == 0.0f)
            continue;
        GxV3d local;
        GxV3dTransformVectors(&local, &directions[i], 1, inverse);
        GxV3dNormalize(&local, &local);
        sum.x += local.x * amounts[i];
        sum.y += local.y * amounts[i];
        sum.z += local.z * amounts[i];
    }
    GxMatrixDestroy(inverse);
    const float time = FrameTime();
    GxV3d step = {sum.x * time, sum.y * time, sum.z * time};
    GxFrameTranslate(frame, &step, kCombinePre);
    if (validator && !validator(&frame->modelling.pos)) {
        GxV3d back = {-step.x, -step.y, -step.z};
        GxFrameTranslate(frame, &back, kCombinePre);
    }
}

GxCamera* CFerroxCamera::CreateSubCamera(const GxRect* rect)
{
    GxCamera* source = m_pImpl->m_pCamera;
    if (!source || !rect || rect->w <= 0 || rect->h <= 0 || !source->frameBuffer)
        return nullptr;
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = camera ? GxFrameCreate() : nullptr;
    if (frame)
        GxObjectSetFrame(&camera->object, frame);
    GxRaster* colour = GxRasterCreate(0, 0, 0, gxRASTERTYPECAMERA | gxRASTERDONTALLOCATE);
    GxRaster* depth = source->zBuffer ? GxRasterCreate(0, 0, 0, gxRASTERTYPEZBUFFER | gxRASTERDONTALLOCATE) : nullptr;
    const bool made = camera && frame && colour && GxRasterSubRaster(colour, source->frameBuffer, rect) &&
                      (!source->zBuffer || (depth && GxRasterSubRaster(depth, source->zBuffer, rect)));
    if (!made) {
        if (colour)
            GxRasterDestroy(colour);
        if (depth)
            GxRasterDestroy(depth);
        if (camera) {
            GxObjectSetFrame(&camera->object, nullptr);
            GxCameraDestroy(camera);
        }
        if (frame)
            GxFrameDestroy(frame);
        return nullptr;
    }
    camera->frameBuffer = colour;
    camera->zBuffer = depth;
    SetViewWindow(camera, std::tan(kSubCameraHalfAngle * kDegreesToRadians), static_cast<float>(colour->width),
                  static_cast<float>(colour->height));
    GxCameraSetNearClipPlane(camera, source->nearPlane);
    GxCameraSetFarClipPlane(camera, source->farPlane);
    camera->fogPlane = source->fogPlane;
    return camera;
}

GxImage* CFerroxCamera::TakePicture(int width, int height)
{
    GxCamera* camera = m_pImpl->m_pCamera;
    if (!camera || !camera->frameBuffer || width <= 0 || height <= 0)
        return nullptr;
    GxRaster* raster = camera->frameBuffer;
    GxImage* image = GxImageCreate(raster->width, raster->height, kImageDepth);
    if (!image)
        return nullptr;
    image->stride = raster->width * kBytesPerPixel;
    GxStandardFunc fromRaster = GxEngineInstance->stdFunc[gxSTANDARDIMAGEGETRASTER];
    GxStandardFunc find = GxEngineInstance->stdFunc[gxSTANDARDIMAGEFINDRASTERFORMAT];
    if (!GxImageAllocatePixels(image) || !fromRaster || !fromRaster(image, raster, 0)) {
        GxImageDestroy(image);
        return nullptr;
    }
    GxRaster format = {};
    if (find && find(&format, image, gxRASTERTYPETEXTURE) && format.width == width && format.height == height)
        return image;
    // A square of the requested width, then cut to the requested height.
    GxImage* result = GxImageCreateResample(image, width, width);
    GxImageDestroy(image);
    if (result && !GxImageResize(result, width, height)) {
        GxImageDestroy(result);
        result = nullptr;
    }
    return result;
}

int CFerroxCamera::SaveScreenshot(const char* fileName, int width, int height)
{
    GxImage* image = TakePicture(width, height);
    const bool written = image && GxImageWriteBMP(image, fileName ? fileName : "");
    if (image)
        GxImageDestroy(image);
    return written ? 0 : 1;
}

// ---- game camera ----

CVantorCamera::CVantorCamera() { CVantorCamera::Init(); }

CVantorCamera::~CVantorCamera() {}

void CVantorCamera::Init()
{
    CFerroxCamera::Init();
    StopMotion();
    ResetMotion();
}

void CVantorCamera::ResetMotion()
{
    m_motionRamp = 0.0f;
    m_validator = nullptr;
}

void CVantorCamera::StopMotion()
{
    m_keepMotion = 0;
    m_motion[0] = m_motion[1] = m_motion[2] = 0.0f;
    m_pitchInput = m_yawInput = m_thirdInput = 0.0f;
    m_mode = VANTOR_CAMERA_NONE;
    m_motionRamp = 0.0f;
}

void CVantorCamera::PitchClamped(const GxV3d* pivot, float degrees, int accumulate)
{
    if (m_mode == VANTOR_CAMERA_LOCKED)
        return;
    const float total = m_pitchTotal + degrees;
    if (total >= kPitchMin && total <= kPitchMax)
        Pitch(pivot, degrees, accumulate);
}

void CVantorCamera::Update()
{
    const bool moving = m_motion[0] != 0.0f || m_motion[1] != 0.0f || m_motion[2] != 0.0f;
    switch (m_mode) {
    case VANTOR_CAMERA_TURN:
        if (m_pitchInput != 0.0f)
            PitchClamped(nullptr, m_pitchInput * kTurnScale, kCombinePost);
        if (m_yawInput != 0.0f)
            Yaw(nullptr, m_yawInput * -kTurnScale, kCombinePost);
        m_pitchInput = m_yawInput = m_thirdInput = 0.0f;
        break;
    case VANTOR_CAMERA_RAISE:
        if (moving) {
            const GxV3d lift = {0.0f, m_motion[1] * kRaiseScale, 0.0f};
            MoveClamped(&lift);
        }
        break;
    case VANTOR_CAMERA_GLIDE:
        if (moving) {
            m_motionRamp = std::fmin(m_motionRamp + FrameTime(), kMaxRamp);
            const GxV3d glide = {m_motionRamp * m_motion[0], 0.0f, m_motionRamp * m_motion[2]};
            MoveOnGround(&glide, m_validator);
        }
        break;
    default:
        break;
    }
    if (!m_keepMotion)
        m_motion[0] = m_motion[1] = m_motion[2] = 0.0f;
    CFerroxCamera::Update();
}
