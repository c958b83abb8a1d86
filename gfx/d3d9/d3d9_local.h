// Driver-wide device state of the Direct3D 9 renderer and the calls its modules make of each other.
#pragma once

#include "gfx/core/engine.h"
#include "gfx/core/matrix.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/d3d9/renderstate.h"
#include "platform/d3d9/d3d9.h"

struct GxCamera;
struct GxRaster;

// One entry of the display-mode list.
struct GxD3D9DisplayMode {
    GxUInt32 width;
    GxUInt32 height;
    GxUInt32 refreshRate;
    GxUInt32 format;  // D3DFORMAT
    GxUInt32 flags;   // bit 0: full screen; 0 is the windowed desktop mode
};

constexpr GxUInt32 gxD3D9MODEFULLSCREEN = 1;

typedef void (*GxD3D9DeviceRestoreCallBack)(void);

// The one device state of the process; every module of the renderer reads it.
struct GxD3D9State {
    HWND window;               // application window given at open
    IDirect3D9* d3d;           // null while closed
    GxUInt32 adapter;          // adapter in use
    IDirect3DDevice9* device;  // null while not started
    // Kept without a reference: valid as long as the device holds them.
    IDirect3DSurface9* defaultRenderTarget;
    IDirect3DSurface9* defaultDepthStencil;
    GxBool started;
    GxBool inScene;

    GxD3D9DisplayMode* modes;  // display-mode list, built on demand
    GxInt32 numModes;
    GxInt32 currentModeIndex;
    GxD3D9DisplayMode currentMode;
    GxInt32 currentDepth;        // 32, 16 or 0
    GxUInt32 totalAdapterModes;  // sizes the mode list

    GxInt32 backBufferDepth;  // 32, 16 or 0
    GxBool stencilAvailable;
    D3DFORMAT depthStencilFormat;  // D3DFMT_UNKNOWN when none was chosen
    D3DCAPS9 caps;
    D3DPRESENT_PARAMETERS present;  // built at start, reused by every Reset
    GxUInt32 refreshRateCap;        // 0xFFFFFFFF: no cap; 0: adapter default
    GxUInt32 stencilClearValue;

    // Frame state of the standard functions.
    GxCamera* currentCamera;  // between begin and end update, else null
    GxBool copyToTexture;
    D3DMATRIX viewMatrix;
    D3DMATRIX projectionMatrix;
    D3DMATRIX* viewProjection;  // cached product; begin update clears it
    GxD3D9DeviceRestoreCallBack restoreCallBack;
};

extern GxD3D9State gxD3D9State;

// Who asks, in the memory hints of the driver's allocations.
constexpr GxUInt32 gxD3D9MEMHINTDRIVER = 0x0411;

// Shorthands for the most read fields.
inline IDirect3DDevice9* GxD3D9Device(void) { return gxD3D9State.device; }
inline IDirect3D9* GxD3D9Direct3D(void) { return gxD3D9State.d3d; }

// ---- device (device.cpp) ----

// Colour depth (32, 16 or 0) and raster format code of a Direct3D format.
GxInt32 GxD3D9FormatDepth(GxUInt32 format);
GxInt32 GxD3D9FormatRasterFormat(GxUInt32 format);
// Unbinds every texture, stream, index buffer, shader and declaration, so nothing the device holds outlives its owner.
void GxD3D9UnbindDeviceObjects(IDirect3DDevice9* device);
GxBool GxD3D9CreateDisplayModesList(void);
GxBool GxD3D9SetPresentParameters(const GxD3D9DisplayMode* mode, GxUInt32 flags, D3DFORMAT desktopFormat);
GxBool GxD3D9DeviceSystemStop(void);
// The refresh rate a full-screen mode runs at under the current cap.
GxUInt32 GxD3D9RefreshRateFor(const GxD3D9DisplayMode* mode);

// ---- standard functions (standard.cpp) ----

GxBool GxD3D9SetStandardFunctions(GxStandardFunc* table, GxInt32 count);
GxBool GxReturnZero(void* out, void* inOut, GxInt32 in);
GxBool GxD3D9CameraBeginUpdate(void* out, void* inOut, GxInt32 in);
GxBool GxD3D9CameraEndUpdate(void* out, void* inOut, GxInt32 in);
GxBool GxD3D9RasterShow(void* out, void* inOut, GxInt32 in);
GxBool GxD3D9CameraClear(void* out, void* inOut, GxInt32 in);
GxBool GxD3D9CameraAttachWindow(GxCamera* camera, HWND window);
GxBool GxD3D9ReleaseVideoMemory(void);
GxBool GxD3D9RestoreVideoMemory(void);
GxBool GxD3D9BeginSceneWithRecovery(void);
// Render target 0 and the automatic depth-stencil surface of the device, kept without a reference.
void GxD3D9FetchDefaultSurfaces(void);
// Direct3D clear flags of a camera clear mode on the main window's depth buffer.
DWORD GxD3D9ClearFlags(GxInt32 clearMode, GxBool stencilAvailable);
void GxD3D9BuildProjectionMatrix(const GxCamera* camera, D3DMATRIX* projection);

// ---- processor features and vector routines (cpu.cpp) ----

// Features as the processor reports them (done once at open).
void GxCPUDetectFeatures(void);
// Floating-point modes and vector routines after start, and their undoing at stop.
void GxD3D9CPUAfterStart(void);
void GxD3D9CPUBeforeStop(void);

// The four routines installed for a processor with these features.
struct GxD3D9TransformSet {
    GxV3dTransformPointFunc point;
    GxV3dTransformPointsFunc points;
    GxV3dTransformVectorFunc vector;
    GxV3dTransformVectorsFunc vectors;
};
GxD3D9TransformSet GxD3D9ChooseTransformFunctions(GxBool sse, GxBool sse2, GxBool amd3DNow);

// The SSE transforms, in the two store variants; each gives the portable routines' results.
GxV3d* GxV3dTransformPointsSSE(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectorsSSE(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxV3d* GxV3dTransformPointSSE(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectorSSE(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformPointsSSEScalar(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectorsSSEScalar(GxV3d* dst, const GxV3d* src, GxInt32 count, const GxMatrix* matrix);
GxV3d* GxV3dTransformPointSSEScalar(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);
GxV3d* GxV3dTransformVectorSSEScalar(GxV3d* dst, const GxV3d* src, const GxMatrix* matrix);

// ---- called here, defined by the other modules of the renderer ----
// Signatures are fixed here so every module codes against the same ones.

// Device bindings, transforms and lights (bindings).
void GxD3D9ResetDeviceCaches(void);
GxBool GxD3D9ClearTransformCache(void);
void GxD3D9TransformCacheDestroy(void);  // device stop: matrices back, free list destroyed
void GxD3D9ForgetRenderTargets(void);    // render targets 0-3 and depth-stencil caches to null
GxBool GxD3D9SetTransform(GxUInt32 state, const void* matrix);
GxBool GxD3D9SetRenderTargetSurface(GxUInt32 index, IDirect3DSurface9* surface);
GxBool GxD3D9SetDepthStencilSurface(IDirect3DSurface9* surface);
void GxD3D9LightTableEmpty(void);                // device start
void GxD3D9LightTableFree(void);                 // device stop
GxBool GxD3D9LightTableRestore(void);            // after a Reset: SetLight and LightEnable of every entry
void GxD3D9VertexDeclarationCacheRelease(void);  // device stop
const D3DCAPS9* GxD3D9GetCaps(void);
void GxD3D9SetDeviceRestoreCallBack(GxD3D9DeviceRestoreCallBack callBack);
GxD3D9DeviceRestoreCallBack GxD3D9GetDeviceRestoreCallBack(void);

// Render-state caches (and renderstate.h).
void GxD3D9RenderStateRestore(void);

// Vertex-buffer manager.
GxBool GxD3D9VertexBufferManagerOpen(void);
void GxD3D9VertexBufferManagerClose(void);
void GxD3D9DynamicVertexBuffersRelease(void);
GxBool GxD3D9DynamicVertexBuffersRestore(void);
void GxD3D9DynamicVertexBuffersNextFrame(void);

// Native rasters.
GxBool GxD3D9RasterPluginAttach(void);
GxBool GxD3D9RasterListOpen(void);
void GxD3D9RasterListClose(void);
void GxD3D9RasterReleaseVideoMemory(void);
GxBool GxD3D9RasterRestoreVideoMemory(void);

// Standard functions of the other modules, all (out, inOut, in), stored by number in the engine's table.
GxBool GxD3D9RGBToPixel(void* out, void* inOut, GxInt32 in);             // gxSTANDARDRGBTOPIXEL
GxBool GxD3D9PixelToRGB(void* out, void* inOut, GxInt32 in);             // gxSTANDARDPIXELTORGB
GxBool GxD3D9RasterCreate(void* out, void* inOut, GxInt32 in);           // gxSTANDARDRASTERCREATE
GxBool GxD3D9RasterDestroy(void* out, void* inOut, GxInt32 in);          // gxSTANDARDRASTERDESTROY
GxBool GxD3D9ImageGetFromRaster(void* out, void* inOut, GxInt32 in);     // gxSTANDARDIMAGEGETRASTER
GxBool GxD3D9RasterSetFromImage(void* out, void* inOut, GxInt32 in);     // gxSTANDARDRASTERSETIMAGE
GxBool GxD3D9TextureSetRaster(void* out, void* inOut, GxInt32 in);       // gxSTANDARDTEXTURESETRASTER
GxBool GxD3D9ImageFindRasterFormat(void* out, void* inOut, GxInt32 in);  // gxSTANDARDIMAGEFINDRASTERFORMAT
GxBool GxD3D9SetRasterContext(void* out, void* inOut, GxInt32 in);       // gxSTANDARDSETRASTERCONTEXT
GxBool GxD3D9RasterSubRaster(void* out, void* inOut, GxInt32 in);        // gxSTANDARDRASTERSUBRASTER
GxBool GxD3D9RasterClearRect(void* out, void* inOut, GxInt32 in);        // gxSTANDARDRASTERCLEARRECT
GxBool GxD3D9RasterClear(void* out, void* inOut, GxInt32 in);            // gxSTANDARDRASTERCLEAR
GxBool GxD3D9RasterLock(void* out, void* inOut, GxInt32 in);             // gxSTANDARDRASTERLOCK
GxBool GxD3D9RasterUnlock(void* out, void* inOut, GxInt32 in);           // gxSTANDARDRASTERUNLOCK
GxBool GxD3D9RasterRender(void* out, void* inOut, GxInt32 in);           // gxSTANDARDRASTERRENDER
GxBool GxD3D9RasterRenderScaled(void* out, void* inOut, GxInt32 in);     // gxSTANDARDRASTERRENDERSCALED
GxBool GxD3D9RasterRenderFast(void* out, void* inOut, GxInt32 in);       // gxSTANDARDRASTERRENDERFAST
GxBool GxD3D9RasterLockPalette(void* out, void* inOut, GxInt32 in);      // gxSTANDARDRASTERLOCKPALETTE
GxBool GxD3D9RasterUnlockPalette(void* out, void* inOut, GxInt32 in);    // gxSTANDARDRASTERUNLOCKPALETTE
GxBool GxD3D9NativeTextureGetSize(void* out, void* inOut, GxInt32 in);   // gxSTANDARDNATIVETEXTUREGETSIZE
GxBool GxD3D9NativeTextureRead(void* out, void* inOut, GxInt32 in);      // gxSTANDARDNATIVETEXTUREREAD
GxBool GxD3D9NativeTextureWrite(void* out, void* inOut, GxInt32 in);     // gxSTANDARDNATIVETEXTUREWRITE
GxBool GxD3D9RasterGetMipLevels(void* out, void* inOut, GxInt32 in);     // gxSTANDARDRASTERGETMIPLEVELS

// Immediate modes: the Direct3D resources, released before a Reset and made again after it.
GxBool GxD3D9Im2DRenderLine(void* vertices, GxInt32 numVertices, GxInt32 vert1, GxInt32 vert2);
GxBool GxD3D9Im2DRenderTriangle(void* vertices, GxInt32 numVertices, GxInt32 vert1, GxInt32 vert2, GxInt32 vert3);
GxBool GxD3D9Im2DRenderPrimitive(GxInt32 primType, void* vertices, GxInt32 numVertices);
GxBool GxD3D9Im2DRenderIndexedPrimitive(GxInt32 primType, void* vertices, GxInt32 numVertices, GxUInt16* indices,
                                        GxInt32 numIndices);
GxBool GxD3D9Im2DOpen(void);
void GxD3D9Im2DClose(void);
GxBool GxD3D9Im3DOpen(void);
void GxD3D9Im3DClose(void);
// Direct3D type of a primitive code (0 when unknown) and the primitives that n vertices or indexes make; a point
// list makes none, so nothing is drawn for it.
D3DPRIMITIVETYPE GxD3D9PrimitiveType(GxInt32 primType);
UINT GxD3D9PrimitiveCount(D3DPRIMITIVETYPE type, GxUInt32 n);
// Writes count indexes into a ring index buffer of capacity entries at *position, or from its start with a
// discard when they do not fit there (*position then becomes 0). The caller moves *position on after drawing.
HRESULT GxD3D9WriteIndexRing(IDirect3DIndexBuffer9* buffer, GxUInt32 capacity, GxUInt32* position,
                             const GxUInt16* indexes, GxUInt32 count);
// Stage 0 modulates the bound texture by the vertex colour, or takes the vertex colour alone without a texture.
void GxD3D9SetStage0VertexColour(void);
