// The demo scene gxwindow draws and the OpenGL tests check: a camera on a frame of its own, the checker
// repeated behind a blended badge, a 2D triangle and a 3D line strip.
#pragma once

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/im2d.h"
#include "gfx/d3d9/im3d.h"
#include "gfx/d3d9/renderstate.h"

constexpr GxInt32 kDemoBadgeSize = 64;      // the badge's pixels, drawn a texel per pixel
constexpr GxInt32 kDemoCheckerPeriod = 64;  // the checker image repeats every this many pixels
constexpr GxUInt32 kDemoTriangleColour = 0xFFFF0000u;
constexpr GxUInt32 kDemoStripColour = 0xFF00FF00u;

inline void GxTestCameraDestroy(GxCamera* camera)
{
    if (!camera) {
        return;
    }
    GxFrame* frame = GxCameraGetFrame(camera);
    if (camera->frameBuffer) {
        GxRasterDestroy(camera->frameBuffer);
    }
    if (camera->zBuffer) {
        GxRasterDestroy(camera->zBuffer);
    }
    GxCameraDestroy(camera);
    if (frame) {
        GxFrameDestroy(frame);
    }
}

// A camera on an identity frame looking down +z, with a frame-buffer raster of the given size and a
// z-buffer; null, with nothing left behind, when any part cannot be made.
inline GxCamera* GxTestCameraCreate(GxInt32 width, GxInt32 height, bool withZBuffer = true)
{
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    if (!camera || !frame) {
        if (camera) {
            GxCameraDestroy(camera);
        }
        if (frame) {
            GxFrameDestroy(frame);
        }
        return nullptr;
    }
    GxObjectSetFrame(&camera->object, frame);
    camera->frameBuffer = GxRasterCreate(width, height, 0, gxRASTERTYPECAMERA);
    camera->zBuffer = withZBuffer ? GxRasterCreate(width, height, 0, gxRASTERTYPEZBUFFER) : nullptr;
    if (!camera->frameBuffer || (withZBuffer && !camera->zBuffer)) {
        GxTestCameraDestroy(camera);
        return nullptr;
    }
    return camera;
}

// A screen rectangle as a counter-clockwise fan in white, its texture spanning (0, 0) to (uMax, vMax).
inline bool GxDemoDrawQuad2D(float left, float top, float right, float bottom, float uMax, float vMax)
{
    GxIm2DVertex v[4] = {};
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
    return GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive(gxPRIMTYPETRIFAN, v, 4);
}

// The checker repeated over the whole width x height at one texel per pixel, then the badge in the middle
// blended by its alpha; either texture may be missing. Depth writes stay off meanwhile so that 3D drawing
// after it is not hidden; texturing and vertex alpha are off again at the end. True when every call succeeded.
inline bool GxDemoDrawBackground(GxTexture* checker, GxTexture* badge, GxInt32 width, GxInt32 height)
{
    bool ok = GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
    if (checker) {
        ok &= GxRenderStateSet(gxRENDERSTATETEXTURERASTER, GxTextureGetRaster(checker)) &&
              GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, GxRenderStateValue(gxTEXTUREADDRESSWRAP)) &&
              GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(gxFILTERNEAREST)) &&
              GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(0)) &&
              GxDemoDrawQuad2D(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height),
                               static_cast<float>(width) / kDemoCheckerPeriod,
                               static_cast<float>(height) / kDemoCheckerPeriod);
    }
    if (badge) {
        const float left = static_cast<float>((width - kDemoBadgeSize) / 2);
        const float top = static_cast<float>((height - kDemoBadgeSize) / 2);
        ok &= GxRenderStateSet(gxRENDERSTATETEXTURERASTER, GxTextureGetRaster(badge)) &&
              GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, GxRenderStateValue(gxTEXTUREADDRESSCLAMP)) &&
              GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(gxFILTERLINEAR)) &&
              GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1)) &&
              GxRenderStateSet(gxRENDERSTATESRCBLEND, GxRenderStateValue(D3DBLEND_SRCALPHA)) &&
              GxRenderStateSet(gxRENDERSTATEDESTBLEND, GxRenderStateValue(D3DBLEND_INVSRCALPHA)) &&
              GxDemoDrawQuad2D(left, top, left + kDemoBadgeSize, top + kDemoBadgeSize, 1.0f, 1.0f);
    }
    ok &= GxRenderStateSet(gxRENDERSTATETEXTURERASTER, nullptr) &&
          GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(0)) &&
          GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(1));
    return ok;
}

// A red triangle, counter-clockwise on screen since the engine culls clockwise faces.
inline bool GxDemoDrawTriangle2D()
{
    GxIm2DVertex v[3] = {};
    const float xy[3][2] = {{20.0f, 220.0f}, {140.0f, 220.0f}, {100.0f, 140.0f}};
    for (int i = 0; i < 3; i++) {
        v[i].x = xy[i][0];
        v[i].y = xy[i][1];
        v[i].rhw = 1.0f;
        v[i].emissiveColor = kDemoTriangleColour;
    }
    return GxEngineInstance->dOpenDevice.fpIm2DRenderPrimitive(gxPRIMTYPETRILIST, v, 3);
}

// A green open line strip of three points at depth 5: with a view window of 1, x and y of 2.5 land a
// quarter of the way in from the edges.
inline bool GxDemoDrawLineStrip3D()
{
    GxIm3DVertex v[3] = {};
    const float p[3][3] = {{2.5f, 2.5f, 5.0f}, {-2.5f, 2.5f, 5.0f}, {-2.5f, -2.5f, 5.0f}};
    for (int i = 0; i < 3; i++) {
        v[i].objVertex = {p[i][0], p[i][1], p[i][2]};
        v[i].color = kDemoStripColour;
    }
    if (!GxIm3DTransform(v, 3, nullptr, 0)) {
        return false;
    }
    const bool drawn = GxIm3DRenderPrimitive(gxPRIMTYPEPOLYLINE);
    return GxIm3DEnd() && drawn;
}
