// 2D toolkit life cycle, its device (the camera drawn into), the transformation stack and the batch submission.
#include <cmath>
#include <cstring>

#include "gfx/2d/twod_local.h"
#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/raster.h"

Gx2DModule gx2D;
Gx2DBatchFunc gx2DBatchFunc = nullptr;

namespace {

constexpr GxReal kDefaultLayerDepth = 1.0f;
constexpr GxReal kFlatnessFactor = 0.5f;  // half a pixel

void ClearDevice()
{
    Gx2DDevice& d = gx2D.device;
    d.camera = nullptr;
    d.deviceValid = 0;
}

void InvalidateAll()
{
    gx2D.device.deviceValid = 0;
    gx2D.device.toleranceValid = 0;
}

void RebuildDevice()
{
    Gx2DDevice& d = gx2D.device;
    if (d.deviceValid) {
        return;
    }
    const GxReal depth = Gx2DDeviceDepth();
    const GxReal m = d.viewX2 < d.viewY2 ? d.viewX2 : d.viewY2;
    const GxReal vx = d.viewX2 / 2.0f;
    const GxReal vy = d.viewY2 / 2.0f;
    GxMatrixCopy(&d.device, gx2D.ctm[gx2D.ctmTop]);
    const GxV3d layer = {depth, depth, 1.0f};
    GxMatrixScale(&d.device, &layer, gxCOMBINEPOSTCONCAT);
    const GxV3d flip = {-m, m, 1.0f};
    GxMatrixScale(&d.device, &flip, gxCOMBINEPOSTCONCAT);
    const GxV3d corner = {vx * depth, -vy * depth, 0.0f};
    GxMatrixTranslate(&d.device, &corner, gxCOMBINEPOSTCONCAT);
    GxMatrixInvert(&d.inverse, &d.device);
    d.deviceValid = 1;
}

GxV2d InverseVector(GxReal x, GxReal y)
{
    const GxV3d in = {x, y, 0.0f};
    GxV3d out;
    GxV3dTransformVector(&out, &in, &gx2D.device.inverse);
    return {out.x, out.y};
}

GxV2d InversePoint(GxReal x, GxReal y)
{
    const GxV3d in = {x, y, 0.0f};
    GxV3d out;
    GxV3dTransformPoint(&out, &in, &gx2D.device.inverse);
    return {out.x, out.y};
}

GxBool CtmOpen()
{
    gx2D.ctmTop = 0;
    gx2D.ctm[0] = GxMatrixCreate();
    if (!gx2D.ctm[0]) {
        return 0;
    }
    GxMatrixSetIdentity(gx2D.ctm[0]);
    Gx2DDevice& d = gx2D.device;
    d.layerDepth = kDefaultLayerDepth;
    d.flatnessFactor = kFlatnessFactor;
    d.subdivisionDepth = gx2DSUBDIVISIONDEPTH;
    InvalidateAll();
    for (GxInt32 i = 0; i < gx2DSCRATCHVERTICES; i++) {
        gx2D.identityIndices[i] = static_cast<GxUInt16>(i);
    }
    ClearDevice();
    return 1;
}

void CtmClose()
{
    for (GxMatrix*& matrix : gx2D.ctm) {
        if (matrix) {
            GxMatrixDestroy(matrix);
            matrix = nullptr;
        }
    }
    gx2D.ctmTop = 0;
}

}  // namespace

GxReal Gx2DDeviceDepth(void)
{
    const GxCamera* camera = gx2D.device.camera;
    if (camera && GxCameraGetProjection(camera) == gxPARALLEL) {
        return 1.0f;
    }
    return gx2D.device.layerDepth;
}

GxBool Gx2DOpen(GxCamera* camera)
{
    if (gx2D.open) {
        return Gx2DDeviceSetCamera(camera);
    }
    // A camera keeps the hook after a close, so the callback the hook stands in front of outlives the module.
    const GxCameraEndUpdateFunc saved = gx2D.device.savedEndUpdate;
    gx2D = Gx2DModule{};
    gx2D.device.savedEndUpdate = saved;
    if (!Gx2DPathModuleOpen() || !Gx2DBrushModuleOpen() || !Gx2DFontModuleOpen() || !CtmOpen()) {
        CtmClose();
        Gx2DFontModuleClose();
        Gx2DBrushModuleClose();
        Gx2DPathModuleClose();
        return 0;
    }
    gx2D.open = 1;
    return Gx2DDeviceSetCamera(camera);
}

GxBool Gx2DClose(void)
{
    GX_ASSERT(gx2D.open, "the toolkit is closed once for each open");
    CtmClose();
    Gx2DFontModuleClose();
    Gx2DBrushModuleClose();
    Gx2DPathModuleClose();
    gx2D.open = 0;
    return Gx2DDeviceSetCamera(nullptr);
}

GxBool Gx2DDeviceSetCamera(GxCamera* camera)
{
    if (!camera) {
        ClearDevice();
        return 0;
    }
    const GxRaster* raster = GxCameraGetRaster(camera);
    if (!raster) {
        return 0;
    }
    Gx2DDevice& d = gx2D.device;
    d.width = static_cast<GxReal>(raster->width);
    d.height = static_cast<GxReal>(raster->height);
    d.viewX2 = camera->viewWindow.x * 2.0f;
    d.viewY2 = camera->viewWindow.y * 2.0f;
    if (camera->endUpdate != Gx2DCameraEndUpdateHook && camera != d.camera) {
        d.savedEndUpdate = camera->endUpdate;
        camera->endUpdate = Gx2DCameraEndUpdateHook;
    }
    d.camera = camera;
    d.deviceValid = 0;
    return 1;
}

GxCamera* Gx2DCameraEndUpdateHook(GxCamera* camera)
{
    const GxCameraEndUpdateFunc saved = gx2D.device.savedEndUpdate;
    return saved ? saved(camera) : camera;
}

GxCamera* Gx2DDeviceGetCamera(void) { return gx2D.device.camera; }

GxBool Gx2DDeviceSetLayerDepth(GxReal depth)
{
    if (!(depth > 0.0f)) {
        return 0;
    }
    gx2D.device.layerDepth = depth;
    gx2D.device.deviceValid = 0;
    return 1;
}

GxBool Gx2DDeviceGetPixelVectors(GxV2d* xStep, GxV2d* yStep, GxV2d* origin)
{
    RebuildDevice();
    const Gx2DDevice& d = gx2D.device;
    const GxReal depth = Gx2DDeviceDepth();
    *xStep = InverseVector(-d.viewX2 * depth / d.width, 0.0f);
    *yStep = InverseVector(0.0f, d.viewY2 * depth / d.height);
    *origin = InversePoint(d.viewX2 / 2.0f * depth, -d.viewY2 / 2.0f * depth);
    return 1;
}

GxBool Gx2DDeviceGetClipPath(Gx2DPath* path)
{
    RebuildDevice();
    const GxReal depth = Gx2DDeviceDepth();
    const GxReal vx = gx2D.device.viewX2 / 2.0f * depth;
    const GxReal vy = gx2D.device.viewY2 / 2.0f * depth;
    const GxV2d corners[4] = {InversePoint(-vx, -vy), InversePoint(-vx, vy), InversePoint(vx, vy),
                              InversePoint(vx, -vy)};
    Gx2DPathEmpty(path);
    Gx2DPathMoveto(path, corners[0].x, corners[0].y);
    for (GxInt32 i = 1; i < 4; i++) {
        Gx2DPathLineto(path, corners[i].x, corners[i].y);
    }
    Gx2DPathClosePath(path);
    return 1;
}

GxReal Gx2DDeviceGetFlatness(void)
{
    Gx2DDevice& d = gx2D.device;
    if (!d.toleranceValid) {
        RebuildDevice();
        const GxReal pixel = d.viewX2 / d.width;
        const GxV2d v = InverseVector(pixel * d.flatnessFactor * d.layerDepth, 0.0f);
        d.tolerance = v.x * v.x + v.y * v.y;
        d.toleranceValid = 1;
    }
    return d.tolerance;
}

GxMatrix* Gx2DCTMGetWorldMatrix(void)
{
    RebuildDevice();
    Gx2DDevice& d = gx2D.device;
    GX_ASSERT(d.camera && GxCameraGetFrame(d.camera), "the 2D device needs a camera with a frame");
    GxFrame* frame = GxCameraGetFrame(d.camera);
    return GxMatrixMultiply(&d.world, &d.device, GxFrameGetWorldMatrix(frame));
}

GxBool Gx2DCTMPush(void)
{
    if (gx2D.ctmTop >= gx2DCTMSTACKDEPTH - 1) {
        return 0;
    }
    GxMatrix*& slot = gx2D.ctm[gx2D.ctmTop + 1];
    if (!slot) {
        slot = GxMatrixCreate();
        if (!slot) {
            return 0;
        }
    }
    GxMatrixCopy(slot, gx2D.ctm[gx2D.ctmTop]);
    gx2D.ctmTop++;
    return 1;
}

GxBool Gx2DCTMPop(void)
{
    if (gx2D.ctmTop == 0) {
        return 0;
    }
    gx2D.ctmTop--;
    InvalidateAll();
    return 1;
}

GxBool Gx2DCTMSetIdentity(void)
{
    GxMatrixSetIdentity(gx2D.ctm[gx2D.ctmTop]);
    InvalidateAll();
    return 1;
}

GxBool Gx2DCTMScale(GxReal x, GxReal y)
{
    const GxV3d scale = {x, y, 1.0f};
    GxMatrixScale(gx2D.ctm[gx2D.ctmTop], &scale, gxCOMBINEPRECONCAT);
    InvalidateAll();
    return 1;
}

GxBool Gx2DCTMTranslate(GxReal x, GxReal y)
{
    const GxV3d move = {x, y, 0.0f};
    GxMatrixTranslate(gx2D.ctm[gx2D.ctmTop], &move, gxCOMBINEPRECONCAT);
    InvalidateAll();
    return 1;
}

GxReal Gx2DSafeReciprocal(GxReal extent)
{
    if (extent == 0.0f || !std::isfinite(extent)) {
        return 0.0f;
    }
    const GxReal r = 1.0f / extent;
    return std::isfinite(r) ? r : 0.0f;
}

GxBool Gx2DDrawBatch(GxIm3DVertex* vertices, GxInt32 numVertices, const GxMatrix* matrix, GxUInt32 flags,
                     GxInt32 primType, const GxUInt16* indices, GxInt32 numIndices)
{
    if (numVertices <= 0 || numIndices <= 0) {
        return 1;
    }
    if (gx2DBatchFunc) {
        return gx2DBatchFunc(vertices, numVertices, matrix, flags, primType, indices, numIndices);
    }
    if (!GxIm3DTransform(vertices, numVertices, matrix, flags)) {
        return 0;
    }
    const GxBool ok = GxIm3DRenderIndexedPrimitive(primType, indices, numIndices);
    GxIm3DEnd();
    return ok;
}
