// Cameras: view matrix, projection, clip planes and frustum, the update bracket and the camera chunk.
#pragma once

#include "gfx/core/frame.h"
#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"

struct GxRaster;
struct GxStream;
struct GxCamera;

enum GxCameraProjection : GxInt32 {
    gxPERSPECTIVE = 1,
    gxPARALLEL = 2,
};

// Clear-mode bits of GxCameraClear.
enum GxCameraClearMode : GxInt32 {
    gxCAMERACLEARIMAGE = 0x1,
    gxCAMERACLEARZ = 0x2,
    gxCAMERACLEARSTENCIL = 0x4,
};

typedef GxCamera* (*GxCameraBeginUpdateFunc)(GxCamera* camera);
typedef GxCamera* (*GxCameraEndUpdateFunc)(GxCamera* camera);

// A clip plane with the corner of a box that lies furthest along its normal (1 where the normal's
// component is not negative), which the box tests use.
struct GxFrustumPlane {
    GxPlane plane;
    GxUInt8 closestX;
    GxUInt8 closestY;
    GxUInt8 closestZ;
    GxUInt8 pad;
};

// Plane order in GxCamera::frustumPlanes.
enum GxFrustumPlaneIndex {
    gxFRUSTUMFAR = 0,
    gxFRUSTUMNEAR = 1,
    gxFRUSTUMLEFT = 2,
    gxFRUSTUMTOP = 3,
    gxFRUSTUMRIGHT = 4,
    gxFRUSTUMBOTTOM = 5,
};

struct GxCamera {
    GxFramedObject object;
    GxInt32 projectionType;
    GxCameraBeginUpdateFunc beginUpdate;
    GxCameraEndUpdateFunc endUpdate;
    GxMatrix viewMatrix;  // world space to the camera's normalised space
    GxRaster* frameBuffer;
    GxRaster* zBuffer;
    GxV2d viewWindow;  // half width and height of the view at distance 1
    GxV2d recipViewWindow;
    GxV2d viewOffset;
    GxReal nearPlane;
    GxReal farPlane;
    GxReal fogPlane;
    GxReal zScale;
    GxReal zShift;
    GxFrustumPlane frustumPlanes[6];
    GxBBox frustumBoundBox;
    GxV3d frustumCorners[8];  // 0-3 near, 4-7 far: (+x +y), (-x +y), (-x -y), (+x -y)
};

#define GxCameraGetFrame(camera) (static_cast<GxFrame*>((camera)->object.object.parent))
#define GxCameraGetRaster(camera) ((camera)->frameBuffer)
#define GxCameraSetRaster(camera, raster) ((camera)->frameBuffer = (raster), (camera))
#define GxCameraGetZRaster(camera) ((camera)->zBuffer)
#define GxCameraSetZRaster(camera, raster) ((camera)->zBuffer = (raster), (camera))
#define GxCameraGetProjection(camera) ((camera)->projectionType)
#define GxCameraGetViewWindow(camera) (&(camera)->viewWindow)
#define GxCameraGetViewOffset(camera) (&(camera)->viewOffset)
#define GxCameraGetNearClipPlane(camera) ((camera)->nearPlane)
#define GxCameraGetFarClipPlane(camera) ((camera)->farPlane)
#define GxCameraGetViewMatrix(camera) (&(camera)->viewMatrix)

GxCamera* GxCameraCreate(void);
GxBool GxCameraDestroy(GxCamera* camera);

GxCamera* GxCameraBeginUpdate(GxCamera* camera);
GxCamera* GxCameraEndUpdate(GxCamera* camera);
GxCamera* GxCameraClear(GxCamera* camera, GxRGBA* colour, GxInt32 clearMode);
GxCamera* GxCameraShowRaster(GxCamera* camera, void* window, GxUInt32 flags);

GxCamera* GxCameraSetProjection(GxCamera* camera, GxInt32 projection);
GxCamera* GxCameraSetViewWindow(GxCamera* camera, const GxV2d* viewWindow);
GxCamera* GxCameraSetViewOffset(GxCamera* camera, const GxV2d* offset);
GxCamera* GxCameraSetNearClipPlane(GxCamera* camera, GxReal distance);
GxCamera* GxCameraSetFarClipPlane(GxCamera* camera, GxReal distance);

// 0 outside, 1 crossing, 2 inside.
enum GxFrustumTestResult {
    gxSPHEREOUTSIDE = 0,
    gxSPHEREBOUNDARY = 1,
    gxSPHEREINSIDE = 2
};
GxInt32 GxCameraFrustumTestSphere(const GxCamera* camera, const GxSphere* sphere);

GxInt32 GxCameraRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
GxInt32 GxCameraRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                     GxPluginDataChunkWriteCallBack writeCB,
                                     GxPluginDataChunkGetSizeCallBack getSizeCB);

constexpr GxUInt32 gxID_CAMERA = 0x05;
// The stream is positioned at the camera chunk's body.
GxCamera* GxCameraStreamRead(GxStream* stream);
const GxCamera* GxCameraStreamWrite(const GxCamera* camera, GxStream* stream);
// Size of the whole camera chunk body.
GxInt32 GxCameraStreamGetSize(const GxCamera* camera);
