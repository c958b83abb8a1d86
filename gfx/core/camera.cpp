// Camera module: creation, projection settings, the frame-moved sync (view matrix and frustum), update bracket and
// chunk.
#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/core_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kCameraHint = 0x30005;
constexpr GxUInt32 kCameraModuleHint = 0x40005;
constexpr GxInt32 kCamerasPerBlock = 4;
constexpr GxUInt32 kStructSize = 32;
// Struct chunk, its body and the extension chunk header.
constexpr GxInt32 kChunkFixedSize = static_cast<GxInt32>(gxCHUNKHEADERSIZE + kStructSize + gxCHUNKHEADERSIZE);

struct GxCameraModuleBlock {
    GxFreeList* cameraFreeList;
};

GxPluginRegistry cameraTKList = GxPluginRegistryInitializer(sizeof(GxCamera), 0);
GxInt32 cameraModuleOffset = -1;
GxInt32 cameraModuleInstances = 0;
GxFreeList cameraFreeListRecord;

GxCameraModuleBlock* CameraBlock()
{
    return static_cast<GxCameraModuleBlock*>(GxCoreModuleBlock(cameraModuleOffset, cameraModuleInstances));
}

GxV3d Add(const GxV3d& a, const GxV3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
GxV3d Sub(const GxV3d& a, const GxV3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
GxV3d Scale(const GxV3d& a, GxReal s) { return {a.x * s, a.y * s, a.z * s}; }
GxReal Dot(const GxV3d& a, const GxV3d& b) { return GxV3dDotProduct(&a, &b); }

bool Finite(GxReal value) { return std::isfinite(value); }

// Near maps to the device's z range start and far to its end, each pulled in by a ten-thousandth of the range.
void UpdateZScaleShift(GxCamera* camera)
{
    const GxReal n = camera->nearPlane;
    const GxReal f = camera->farPlane;
    GxReal a = f;
    GxReal b = n;
    if (camera->projectionType != gxPARALLEL) {
        a = 1.0f / f;
        b = 1.0f / n;
    }
    // Equal clip distances leave the old values until the pair differs again.
    if (a == b || !Finite(a) || !Finite(b)) {
        return;
    }
    const GxReal zLo = GxEngineInstance->dOpenDevice.zBufferNear;
    const GxReal zHi = GxEngineInstance->dOpenDevice.zBufferFar;
    const GxReal d = (zHi - zLo) * 0.0001f;
    const GxReal lo = zLo + d;
    const GxReal hi = zHi - d;
    camera->zScale = (hi - lo) / (a - b);
    camera->zShift = (hi + lo - (a + b) * camera->zScale) * 0.5f;
}

void MarkFrameDirty(GxCamera* camera)
{
    if (GxCameraGetFrame(camera) != nullptr) {
        GxFrameSetDirty(GxCameraGetFrame(camera));
    }
}

void BuildViewMatrix(GxCamera* camera, const GxMatrix* world)
{
    const GxV3d& r = world->right;
    const GxV3d& u = world->up;
    const GxV3d& at = world->at;
    const GxV3d& p = world->pos;
    const GxReal s = -0.5f / camera->viewWindow.x;
    const GxReal t = -0.5f / camera->viewWindow.y;
    GxReal k = -(camera->viewOffset.x * s);
    GxReal m = camera->viewOffset.y * t;
    if (camera->projectionType != gxPARALLEL) {
        k += 0.5f;
        m += 0.5f;
    }
    const GxV3d c0 = Add(Scale(at, k), Scale(r, s));
    const GxV3d c1 = Add(Scale(at, m), Scale(u, t));
    GxMatrix* view = &camera->viewMatrix;
    view->right = {c0.x, c1.x, at.x};
    view->up = {c0.y, c1.y, at.y};
    view->at = {c0.z, c1.z, at.z};
    view->pos = {0.5f - (Dot(p, c0) + k), 0.5f - (Dot(p, c1) + m), -Dot(p, at)};
    GxMatrixOptimize(view, nullptr);
}

void BuildPerspectiveCorners(GxCamera* camera, const GxMatrix* world)
{
    const GxReal wx = camera->viewWindow.x;
    const GxReal wy = camera->viewWindow.y;
    const GxV3d origin = Add(Scale(world->right, -camera->viewOffset.x), Scale(world->up, camera->viewOffset.y));
    GxV3d window[4];
    window[0] = Add(Add(world->at, Scale(world->right, wx)), Scale(world->up, wy));
    window[1] = Sub(window[0], Scale(world->right, 2.0f * wx));
    window[2] = Sub(window[1], Scale(world->up, 2.0f * wy));
    window[3] = Add(window[2], Scale(world->right, 2.0f * wx));
    const GxV3d base = Add(world->pos, origin);
    for (int i = 0; i < 4; i++) {
        const GxV3d direction = Sub(window[i], origin);
        camera->frustumCorners[i] = Add(base, Scale(direction, camera->nearPlane));
        camera->frustumCorners[i + 4] = Add(base, Scale(direction, camera->farPlane));
    }
}

void BuildParallelCorners(GxCamera* camera, const GxMatrix* world)
{
    static const GxReal signX[4] = {1.0f, -1.0f, -1.0f, 1.0f};
    static const GxReal signY[4] = {1.0f, 1.0f, -1.0f, -1.0f};
    const GxReal distances[2] = {camera->nearPlane, camera->farPlane};
    GxV3d local[8];
    for (int plane = 0; plane < 2; plane++) {
        const GxReal z = distances[plane];
        const GxReal cx = (1.0f - z) * -camera->viewOffset.x;
        const GxReal cy = (1.0f - z) * camera->viewOffset.y;
        for (int i = 0; i < 4; i++) {
            local[plane * 4 + i] = {cx + signX[i] * camera->viewWindow.x, cy + signY[i] * camera->viewWindow.y, z};
        }
    }
    GxV3dTransformPoints(camera->frustumCorners, local, 8, world);
}

void SetPlane(GxFrustumPlane* plane, const GxV3d& normal, GxReal distance)
{
    plane->plane.normal = normal;
    plane->plane.distance = distance;
    plane->closestX = std::signbit(normal.x) ? 0 : 1;
    plane->closestY = std::signbit(normal.y) ? 0 : 1;
    plane->closestZ = std::signbit(normal.z) ? 0 : 1;
    plane->pad = 0;
}

// Outward normal of the plane through `through` spanned by the two edges.
void SetSidePlane(GxFrustumPlane* plane, const GxV3d& edgeA, const GxV3d& edgeB, const GxV3d& through)
{
    GxV3d normal;
    GxV3dCrossProduct(&normal, &edgeA, &edgeB);
    GxV3dNormalizeFast(&normal, &normal);
    SetPlane(plane, normal, Dot(normal, through));
}

void BuildPlanes(GxCamera* camera, const GxMatrix* world)
{
    const GxV3d* c = camera->frustumCorners;
    const GxV3d& at = world->at;
    SetPlane(&camera->frustumPlanes[gxFRUSTUMFAR], at, Dot(at, c[4]));
    const GxV3d back = Scale(at, -1.0f);
    SetPlane(&camera->frustumPlanes[gxFRUSTUMNEAR], back, Dot(back, c[0]));
    SetSidePlane(&camera->frustumPlanes[gxFRUSTUMLEFT], Sub(c[1], c[5]), Sub(c[6], c[5]), c[1]);
    SetSidePlane(&camera->frustumPlanes[gxFRUSTUMTOP], Sub(c[4], c[5]), Sub(c[1], c[5]), c[1]);
    SetSidePlane(&camera->frustumPlanes[gxFRUSTUMRIGHT], Sub(c[3], c[7]), Sub(c[4], c[7]), c[3]);
    SetSidePlane(&camera->frustumPlanes[gxFRUSTUMBOTTOM], Sub(c[6], c[7]), Sub(c[3], c[7]), c[3]);
}

void BuildBoundingBox(GxCamera* camera)
{
    GxBBox* box = &camera->frustumBoundBox;
    box->sup = camera->frustumCorners[0];
    box->inf = camera->frustumCorners[0];
    for (int i = 1; i < 8; i++) {
        const GxV3d& v = camera->frustumCorners[i];
        box->sup = {std::fmax(box->sup.x, v.x), std::fmax(box->sup.y, v.y), std::fmax(box->sup.z, v.z)};
        box->inf = {std::fmin(box->inf.x, v.x), std::fmin(box->inf.y, v.y), std::fmin(box->inf.z, v.z)};
    }
}

// The frame-moved callback: called by the frame sync once the world matrices are up to date.
GxFramedObject* CameraSync(GxFramedObject* object)
{
    auto* camera = reinterpret_cast<GxCamera*>(object);
    GxFrame* frame = GxCameraGetFrame(camera);
    if (frame == nullptr) {
        return object;
    }
    const GxMatrix* world = &frame->ltm;
    BuildViewMatrix(camera, world);
    if (camera->projectionType == gxPARALLEL) {
        BuildParallelCorners(camera, world);
    } else {
        BuildPerspectiveCorners(camera, world);
    }
    BuildPlanes(camera, world);
    BuildBoundingBox(camera);
    return object;
}

GxCamera* DefaultBeginUpdate(GxCamera* camera)
{
    GxEngineInstance->curCamera = camera;
    GxFrameSyncDirty();
    if (!GxEngineStandardCall(gxSTANDARDBEGINUPDATE, nullptr, camera, 0)) {
        return nullptr;
    }
    EmptyMethod();
    return camera;
}

GxCamera* DefaultEndUpdate(GxCamera* camera)
{
    if (!GxEngineStandardCall(gxSTANDARDENDUPDATE, nullptr, camera, 0)) {
        return nullptr;
    }
    GxEngineInstance->curCamera = nullptr;
    return camera;
}

void InitCamera(GxCamera* camera)
{
    std::memset(camera, 0, sizeof(GxCamera));
    camera->object.object.type = gxOBJECTTYPECAMERA;
    GxLinkInit(&camera->object.inFrameList);
    camera->object.sync = CameraSync;
    camera->projectionType = gxPERSPECTIVE;
    camera->beginUpdate = DefaultBeginUpdate;
    camera->endUpdate = DefaultEndUpdate;
    camera->viewWindow = {1.0f, 1.0f};
    camera->recipViewWindow = {1.0f, 1.0f};
    camera->nearPlane = 0.05f;
    camera->farPlane = 10.0f;
    camera->fogPlane = 5.0f;
    UpdateZScaleShift(camera);
}

void* CameraModuleOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxCameraModuleBlock*>(static_cast<char*>(instance) + offset);
    block->cameraFreeList = GxFreeListCreateAndPreallocate(
        cameraTKList.sizeOfStruct, kCamerasPerBlock, alignof(GxCamera), 1, &cameraFreeListRecord, kCameraModuleHint);
    if (block->cameraFreeList == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
        return nullptr;
    }
    cameraModuleOffset = offset;
    cameraModuleInstances++;
    return instance;
}

void* CameraModuleClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    auto* block = reinterpret_cast<GxCameraModuleBlock*>(static_cast<char*>(instance) + offset);
    if (block->cameraFreeList != nullptr) {
        GxFreeListDestroy(block->cameraFreeList);
        block->cameraFreeList = nullptr;
    }
    cameraModuleInstances--;
    return instance;
}

GxCamera* AllocCamera()
{
    GxCameraModuleBlock* block = CameraBlock();
    if (block == nullptr) {
        GxErrorRaise(0, gxERRENGINESTATE);
        return nullptr;
    }
    auto* camera = static_cast<GxCamera*>(GxFreeListAllocEntry(block->cameraFreeList, kCameraHint));
    if (camera == nullptr) {
        GxErrorRaise(0, gxERRNOMEMORY);
    }
    return camera;
}

void FreeCamera(GxCamera* camera)
{
    if (GxCameraModuleBlock* block = CameraBlock()) {
        GxFreeListFreeEntry(block->cameraFreeList, camera);
    }
}

bool ReadStruct(GxStream* stream, GxReal values[7], GxUInt32* projection)
{
    GxUInt32 length = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &length, nullptr)) {
        return false;
    }
    if (length < kStructSize) {
        GxErrorRaise(0, gxERRREAD);
        return false;
    }
    if (!GxStreamReadInt32(stream, values, 7 * sizeof(GxReal)) ||
        !GxStreamReadInt32(stream, projection, sizeof(GxUInt32))) {
        GxErrorRaise(0, gxERRREAD);
        return false;
    }
    // Only the first 32 bytes carry meaning; a longer body is skipped.
    if (length > kStructSize && !GxStreamSkip(stream, length - kStructSize)) {
        GxErrorRaise(0, gxERRREAD);
        return false;
    }
    return true;
}

// Values read from a stream that give no projection: a view window of zero or one that is not finite has no
// reciprocal, and a value that is not finite would poison the view matrix, the frustum or the device's fog range.
bool StreamSettingsUsable(const GxReal values[7])
{
    if (values[0] == 0.0f || values[1] == 0.0f) {
        return false;
    }
    for (GxInt32 i = 0; i < 7; i++) {
        if (!Finite(values[i])) {
            return false;
        }
    }
    return true;
}

// The settings read from a stream go through the setters; the projection comes last and sets the depth range from
// the clip planes read before it.
GxCamera* ApplyStreamSettings(GxCamera* camera, const GxReal values[7], GxUInt32 projection)
{
    if (!StreamSettingsUsable(values)) {
        GxErrorRaise(0, gxERRINVALIDENUM);
        return nullptr;
    }
    const GxV2d window = {values[0], values[1]};
    const GxV2d offset = {values[2], values[3]};
    if (!GxCameraSetViewWindow(camera, &window) || !GxCameraSetViewOffset(camera, &offset) ||
        !GxCameraSetNearClipPlane(camera, values[4]) || !GxCameraSetFarClipPlane(camera, values[5])) {
        return nullptr;
    }
    camera->fogPlane = values[6];
    if (!GxCameraSetProjection(camera, static_cast<GxInt32>(projection))) {
        return nullptr;
    }
    return camera;
}

}  // namespace

const GxCoreModule gxCameraModule = {0x405, sizeof(GxCameraModuleBlock), CameraModuleOpen, CameraModuleClose};

GxCamera* GxCameraCreate(void)
{
    GxCamera* camera = AllocCamera();
    if (camera == nullptr) {
        return nullptr;
    }
    InitCamera(camera);
    if (GxPluginRegistryInitObject(&cameraTKList, camera) == nullptr) {
        FreeCamera(camera);
        return nullptr;
    }
    return camera;
}

GxBool GxCameraDestroy(GxCamera* camera)
{
    GX_ASSERT(camera, "a camera is destroyed");
    GxPluginRegistryDeInitObject(&cameraTKList, camera);
    if (GxCameraGetFrame(camera) != nullptr) {
        GxLinkRemove(&camera->object.inFrameList);
        camera->object.object.parent = nullptr;
    }
    // A destroyed camera must not stay current.
    if (GxEngineInstance->curCamera == camera) {
        GxEngineInstance->curCamera = nullptr;
    }
    FreeCamera(camera);
    return 1;
}

GxCamera* GxCameraBeginUpdate(GxCamera* camera)
{
    GX_ASSERT(camera && camera->beginUpdate, "a camera with its callback begins an update");
    // A camera without a frame still runs its callback; the device refuses to build a view without one.
    return camera->beginUpdate(camera);
}

GxCamera* GxCameraEndUpdate(GxCamera* camera)
{
    GX_ASSERT(camera && camera->endUpdate, "a camera with its callback ends an update");
    return camera->endUpdate(camera);
}

GxCamera* GxCameraClear(GxCamera* camera, GxRGBA* colour, GxInt32 clearMode)
{
    GX_ASSERT(camera && colour, "a camera is cleared to a colour");
    return GxEngineStandardCall(gxSTANDARDCAMERACLEAR, camera, colour, clearMode) > 0 ? camera : nullptr;
}

GxCamera* GxCameraShowRaster(GxCamera* camera, void* window, GxUInt32 flags)
{
    GX_ASSERT(camera, "a camera shows its raster");
    if (camera->frameBuffer == nullptr) {
        GxErrorRaise(0, gxERRNULLARG);
        return nullptr;
    }
    return GxRasterShowRaster(camera->frameBuffer, window, flags) ? camera : nullptr;
}

GxCamera* GxCameraSetProjection(GxCamera* camera, GxInt32 projection)
{
    GX_ASSERT(camera, "a camera's projection is set");
    if (projection != gxPERSPECTIVE && projection != gxPARALLEL) {
        GxErrorRaise(0, GxErrorMakeCode(gxERRINVALIDENUM, "Invalid projection type specified"));
        return nullptr;
    }
    camera->projectionType = projection;
    UpdateZScaleShift(camera);
    MarkFrameDirty(camera);
    return camera;
}

GxCamera* GxCameraSetViewWindow(GxCamera* camera, const GxV2d* viewWindow)
{
    GX_ASSERT(camera && viewWindow, "a camera's view window is set");
    camera->viewWindow = *viewWindow;
    camera->recipViewWindow = {1.0f / viewWindow->x, 1.0f / viewWindow->y};
    MarkFrameDirty(camera);
    return camera;
}

GxCamera* GxCameraSetViewOffset(GxCamera* camera, const GxV2d* offset)
{
    GX_ASSERT(camera && offset, "a camera's view offset is set");
    camera->viewOffset = *offset;
    MarkFrameDirty(camera);
    return camera;
}

namespace {

GxCamera* SetClipPlane(GxCamera* camera, GxReal GxCamera::*plane, GxReal distance)
{
    GX_ASSERT(camera, "a camera's clip plane is set");
    // The z scale keeps its values while 1/distance is not finite.
    camera->*plane = distance;
    UpdateZScaleShift(camera);
    MarkFrameDirty(camera);
    return camera;
}

}  // namespace

GxCamera* GxCameraSetNearClipPlane(GxCamera* camera, GxReal distance)
{
    return SetClipPlane(camera, &GxCamera::nearPlane, distance);
}

GxCamera* GxCameraSetFarClipPlane(GxCamera* camera, GxReal distance)
{
    return SetClipPlane(camera, &GxCamera::farPlane, distance);
}

GxInt32 GxCameraFrustumTestSphere(const GxCamera* camera, const GxSphere* sphere)
{
    GxInt32 result = gxSPHEREINSIDE;
    for (const GxFrustumPlane& plane : camera->frustumPlanes) {
        const GxReal d = Dot(plane.plane.normal, sphere->center) - plane.plane.distance;
        if (d > sphere->radius) {
            return gxSPHEREOUTSIDE;
        }
        if (d > -sphere->radius) {
            result = gxSPHEREBOUNDARY;
        }
    }
    return result;
}

GxInt32 GxCameraRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&cameraTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxCameraRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                     GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&cameraTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxCameraStreamGetSize(const GxCamera* camera)
{
    return kChunkFixedSize + GxPluginRegistryGetSize(&cameraTKList, camera);
}

const GxCamera* GxCameraStreamWrite(const GxCamera* camera, GxStream* stream)
{
    GX_ASSERT(camera && stream, "a camera is written to a stream");
    const GxReal values[7] = {camera->viewWindow.x, camera->viewWindow.y, camera->viewOffset.x, camera->viewOffset.y,
                              camera->nearPlane,    camera->farPlane,     camera->fogPlane};
    const GxUInt32 projection = static_cast<GxUInt32>(camera->projectionType);
    const GxUInt32 size = static_cast<GxUInt32>(GxCameraStreamGetSize(camera));
    if (!GxStreamWriteChunkHeader(stream, gxID_CAMERA, size, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, kStructSize, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteReal(stream, values, sizeof(values)) ||
        !GxStreamWriteInt32(stream, &projection, sizeof(projection)) ||
        !GxPluginRegistryWriteDataChunks(&cameraTKList, stream, camera)) {
        return nullptr;
    }
    return camera;
}

GxCamera* GxCameraStreamRead(GxStream* stream)
{
    GX_ASSERT(stream, "a camera is read from a stream");
    GxReal values[7];
    GxUInt32 projection = 0;
    if (!ReadStruct(stream, values, &projection)) {
        return nullptr;
    }
    GxCamera* camera = GxCameraCreate();
    if (camera == nullptr) {
        return nullptr;
    }
    if (!GxPluginRegistryReadDataChunks(&cameraTKList, stream, camera) ||
        !ApplyStreamSettings(camera, values, projection)) {
        GxCameraDestroy(camera);
        return nullptr;
    }
    return camera;
}
