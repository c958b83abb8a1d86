// Device standard functions: the table, camera begin and end update, clear, raster show and lost-device recovery.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/raster.h"

namespace {

GxD3D9State& S() { return gxD3D9State; }

struct NumberedFunction {
    GxInt32 number;
    GxStandardFunc function;
};

const NumberedFunction standardFunctions[] = {
    {gxSTANDARDBEGINUPDATE, GxD3D9CameraBeginUpdate},
    {2, GxD3D9RGBToPixel},
    {3, GxD3D9PixelToRGB},
    {4, GxD3D9RasterCreate},
    {5, GxD3D9RasterDestroy},
    {6, GxD3D9ImageGetFromRaster},
    {7, GxD3D9RasterSetFromImage},
    {8, GxD3D9TextureSetRaster},
    {9, GxD3D9ImageFindRasterFormat},
    {gxSTANDARDENDUPDATE, GxD3D9CameraEndUpdate},
    {11, GxD3D9SetRasterContext},
    {12, GxD3D9RasterSubRaster},
    {13, GxD3D9RasterClearRect},
    {14, GxD3D9RasterClear},
    {15, GxD3D9RasterLock},
    {16, GxD3D9RasterUnlock},
    {17, GxD3D9RasterRender},
    {18, GxD3D9RasterRenderScaled},
    {19, GxD3D9RasterRenderFast},
    {gxSTANDARDRASTERSHOWRASTER, GxD3D9RasterShow},
    {gxSTANDARDCAMERACLEAR, GxD3D9CameraClear},
    {23, GxD3D9RasterLockPalette},
    {24, GxD3D9RasterUnlockPalette},
    {25, GxD3D9NativeTextureGetSize},
    {26, GxD3D9NativeTextureRead},
    {27, GxD3D9NativeTextureWrite},
    {28, GxD3D9RasterGetMipLevels},
};

constexpr DWORD pointFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;

GxD3D9RasterExt* Ext(const GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(const_cast<GxRaster*>(raster)); }

GxRaster* TopRaster(const GxRaster* raster) { return raster ? raster->parent : nullptr; }

bool HasSwapChain(const GxRaster* top) { return top && Ext(top)->swapChain != nullptr; }

bool IsFullScreen() { return !S().present.Windowed; }

// The level-0 surface of a camera texture (for a cube, the face in the cube byte's high nibble); a new reference.
IDirect3DSurface9* TextureLevel0(const GxRaster* raster)
{
    const GxD3D9RasterExt* ext = Ext(raster);
    if (!ext->texture) {
        return nullptr;
    }
    auto* base = static_cast<IDirect3DBaseTexture9*>(ext->texture);
    IDirect3DSurface9* surface = nullptr;
    HRESULT hr;
    if (ext->cube & 0x0F) {
        const auto face = static_cast<D3DCUBEMAP_FACES>((ext->cube >> 4) & 0x0F);
        hr = static_cast<IDirect3DCubeTexture9*>(base)->GetCubeMapSurface(face, 0, &surface);
    } else {
        hr = static_cast<IDirect3DTexture9*>(base)->GetSurfaceLevel(0, &surface);
    }
    return SUCCEEDED(hr) ? surface : nullptr;
}

D3DTEXTUREFILTERTYPE CopyFilter()
{
    return (S().caps.StretchRectFilterCaps & pointFilterCaps) ? D3DTEXF_POINT : D3DTEXF_NONE;
}

RECT FrameBufferRect(const GxRaster* frameBuffer)
{
    return RECT{frameBuffer->offsetX, frameBuffer->offsetY, frameBuffer->offsetX + frameBuffer->width,
                frameBuffer->offsetY + frameBuffer->height};
}

void SetViewport(DWORD x, DWORD y, const GxRaster* frameBuffer)
{
    D3DVIEWPORT9 viewport = {x,    y,   static_cast<DWORD>(frameBuffer->width), static_cast<DWORD>(frameBuffer->height),
                             0.0f, 1.0f};
    S().device->SetViewport(&viewport);
}

void SetFrameBufferViewport(const GxRaster* frameBuffer)
{
    const DWORD x = frameBuffer->offsetX > 0 ? static_cast<DWORD>(frameBuffer->offsetX) : 0;
    const DWORD y = frameBuffer->offsetY > 0 ? static_cast<DWORD>(frameBuffer->offsetY) : 0;
    SetViewport(x, y, frameBuffer);
}

// The depth-stencil surface for a camera-texture target: the parent of a z-buffer
// raster, or the level-0 surface of a z-buffer texture (*owned then holds the reference).
IDirect3DSurface9* CameraTextureDepthStencil(const GxCamera* camera, IDirect3DSurface9** owned)
{
    *owned = nullptr;
    const GxRaster* z = camera->zBuffer;
    if (!z) {
        return nullptr;
    }
    const GxRaster* zTop = TopRaster(z);
    if (zTop->type == gxRASTERTYPEZBUFFER) {
        return static_cast<IDirect3DSurface9*>(Ext(zTop)->texture);
    }
    *owned = TextureLevel0(zTop);
    return *owned;
}

// Puts the main window's back buffer and depth-stencil surface in place.
void UseDefaultTargets()
{
    GxD3D9SetRenderTargetSurface(0, S().defaultRenderTarget);
    GxD3D9SetDepthStencilSurface(S().defaultDepthStencil);
}

// Resets the device with the present parameters and restores device memory; true when both succeeded.
bool ResetAndRestore()
{
    GxD3D9ReleaseVideoMemory();
    if (FAILED(S().device->Reset(&S().present))) {
        return false;
    }
    return GxD3D9RestoreVideoMemory() != 0;
}

// Puts the window back to the current mode's client size after a refused resize.
void RestoreWindowSize(const RECT& client)
{
    RECT rect = {client.left, client.top, client.left + static_cast<LONG>(S().currentMode.width),
                 client.top + static_cast<LONG>(S().currentMode.height)};
    LONG style = GetWindowLongA(S().window, GWL_STYLE);
    if (style & WS_MAXIMIZE) {
        style &= ~static_cast<LONG>(WS_MAXIMIZE);
        SetWindowLongA(S().window, GWL_STYLE, style);
    }
    AdjustWindowRectEx(&rect, static_cast<DWORD>(style), GetMenu(S().window) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(S().window, GWL_EXSTYLE)));
    SetWindowPos(S().window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER);
}

// Resets the device at the window's new client size; false when the device could not be kept.
bool ResizeDevice(const RECT& client)
{
    const UINT width = static_cast<UINT>(client.right);
    const UINT height = static_cast<UINT>(client.bottom);
    GxD3D9ReleaseVideoMemory();
    if (SUCCEEDED(S().device->TestCooperativeLevel()) && S().present.Windowed) {
        S().present.BackBufferWidth = width;
        S().present.BackBufferHeight = height;
    }
    if (SUCCEEDED(S().device->Reset(&S().present))) {
        if (GxD3D9RestoreVideoMemory()) {
            S().currentMode.width = width;
            S().currentMode.height = height;
            return true;
        }
        GxD3D9ReleaseVideoMemory();
    }
    if (IsFullScreen()) {
        return false;
    }
    S().present.BackBufferWidth = S().currentMode.width;
    S().present.BackBufferHeight = S().currentMode.height;
    if (FAILED(S().device->Reset(&S().present))) {
        return false;
    }
    RestoreWindowSize(client);
    GxD3D9RestoreVideoMemory();
    return true;
}

// Window checks of the main window, and a device resize when its client size changed.
bool PrepareMainWindow()
{
    RECT client = {};
    if (!S().window || !GetClientRect(S().window, &client) || client.right == 0 || client.bottom == 0) {
        return false;
    }
    if (IsIconic(S().window)) {
        return false;
    }
    if (static_cast<GxUInt32>(client.right) != S().currentMode.width ||
        static_cast<GxUInt32>(client.bottom) != S().currentMode.height) {
        return ResizeDevice(client);
    }
    return true;
}

// A camera shown in a window of its own: follows that window's size and targets its swap chain.
bool SelectSwapChainTarget(GxCamera* camera)
{
    GxRaster* top = TopRaster(camera->frameBuffer);
    const HWND window = Ext(top)->window;
    RECT client = {};
    if (!GetClientRect(window, &client) || client.right == 0 || client.bottom == 0) {
        return false;
    }
    const bool sameSize = client.right == top->width && client.bottom == top->height;
    if (sameSize) {
        GxRaster* z = camera->zBuffer;
        if (z && z->parent == z && (z->width != client.right || z->height != client.bottom)) {
            camera->zBuffer = nullptr;
            GxRasterDestroy(z);
            camera->zBuffer = GxRasterCreate(client.right, client.bottom, 0, gxRASTERTYPEZBUFFER);
        }
    } else if (camera->frameBuffer == top) {
        if (!GxD3D9CameraAttachWindow(camera, window)) {
            return false;
        }
        top = TopRaster(camera->frameBuffer);
    }
    if (!top) {
        return false;
    }
    GxD3D9SetRenderTargetSurface(0, static_cast<IDirect3DSurface9*>(Ext(top)->texture));
    GxD3D9SetDepthStencilSurface(
        camera->zBuffer ? static_cast<IDirect3DSurface9*>(Ext(TopRaster(camera->zBuffer))->texture) : nullptr);
    return true;
}

// Render target and depth-stencil for begin update; false when nothing may be drawn.
bool SelectRenderTarget(GxCamera* camera)
{
    GxRaster* frameBuffer = camera->frameBuffer;
    if (HasSwapChain(TopRaster(frameBuffer))) {
        return SelectSwapChainTarget(camera);
    }
    if (!PrepareMainWindow()) {
        return false;
    }
    const GxRaster* top = TopRaster(frameBuffer);
    if (!top || top->type != gxRASTERTYPECAMERATEXTURE) {
        UseDefaultTargets();
        return true;
    }
    IDirect3DSurface9* surface = TextureLevel0(top);
    D3DSURFACE_DESC desc = {};
    if (surface && SUCCEEDED(surface->GetDesc(&desc)) && (desc.Usage & D3DUSAGE_RENDERTARGET)) {
        IDirect3DSurface9* owned = nullptr;
        GxD3D9SetRenderTargetSurface(0, surface);
        GxD3D9SetDepthStencilSurface(CameraTextureDepthStencil(camera, &owned));
        if (owned) {
            owned->Release();
        }
    } else {
        // Drawn into the back buffer and copied into the texture at end update.
        S().copyToTexture = 1;
        UseDefaultTargets();
    }
    if (surface) {
        surface->Release();
    }
    return true;
}

// Copies the frame buffer's rectangle of the back buffer into the camera texture.
void CopyBackBufferToTexture(const GxRaster* frameBuffer, IDirect3DSurface9* surface)
{
    const RECT rect = FrameBufferRect(frameBuffer);
    S().device->StretchRect(S().defaultRenderTarget, &rect, surface, &rect, CopyFilter());
}

void BuildViewMatrix(const GxMatrix* world)
{
    GxMatrix inverse;
    GxMatrixInvert(&inverse, world);
    D3DMATRIX& v = S().viewMatrix;
    const GxV3d* rows[4] = {&inverse.right, &inverse.up, &inverse.at, &inverse.pos};
    for (int r = 0; r < 4; r++) {
        v.m[r][0] = -rows[r]->x;
        v.m[r][1] = rows[r]->y;
        v.m[r][2] = rows[r]->z;
        v.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
}

// The device's lost-device test and recovery; true when drawing may go on.
bool RecoverDevice()
{
    HRESULT hr = S().device->TestCooperativeLevel();
    if (hr == D3DERR_DEVICENOTRESET) {
        GxD3D9ReleaseVideoMemory();
        hr = S().device->Reset(&S().present);
        if (hr == D3DERR_INVALIDCALL) {
            if (IsFullScreen()) {
                return false;
            }
            // The desktop format may have changed under a windowed device.
            D3DDISPLAYMODE desktop = {};
            S().d3d->GetAdapterDisplayMode(S().adapter, &desktop);
            S().currentMode.format = static_cast<GxUInt32>(desktop.Format);
            S().present.BackBufferFormat = desktop.Format;
            S().currentDepth = GxD3D9FormatDepth(S().currentMode.format);
            hr = S().device->Reset(&S().present);
        }
        if (SUCCEEDED(hr)) {
            GxD3D9RestoreVideoMemory();
        }
    }
    return SUCCEEDED(hr);
}

bool ClearSwapChainCamera(GxCamera* camera, D3DCOLOR colour, GxInt32 mode)
{
    if (!SelectSwapChainTarget(camera)) {
        return false;
    }
    SetViewport(0, 0, camera->frameBuffer);
    DWORD flags = static_cast<DWORD>(mode);
    // Without a z-buffer raster no depth-stencil surface is set, and the device refuses a depth clear.
    if (!camera->zBuffer) {
        flags &= ~static_cast<DWORD>(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL);
    }
    return !flags || SUCCEEDED(S().device->Clear(0, nullptr, flags, colour, 1.0f, S().stencilClearValue));
}

bool ClearCameraTexture(GxCamera* camera, const GxRaster* top, D3DCOLOR colour, GxInt32 mode)
{
    IDirect3DSurface9* surface = TextureLevel0(top);
    if (!surface) {
        return false;
    }
    D3DSURFACE_DESC desc = {};
    const bool renderTarget = SUCCEEDED(surface->GetDesc(&desc)) && (desc.Usage & D3DUSAGE_RENDERTARGET);
    if (renderTarget) {
        IDirect3DSurface9* owned = nullptr;
        GxD3D9SetRenderTargetSurface(0, surface);
        GxD3D9SetDepthStencilSurface(CameraTextureDepthStencil(camera, &owned));
        if (owned) {
            owned->Release();
        }
    }
    SetFrameBufferViewport(camera->frameBuffer);
    DWORD flags = static_cast<DWORD>(mode);
    if (!camera->zBuffer) {
        flags &= ~static_cast<DWORD>(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL);
    }
    if (flags) {
        S().device->Clear(0, nullptr, flags, colour, 1.0f, S().stencilClearValue);
    }
    if (!renderTarget) {
        CopyBackBufferToTexture(camera->frameBuffer, surface);
    }
    surface->Release();
    return true;
}

}  // namespace

GxBool GxReturnZero(void*, void*, GxInt32) { return 0; }

GxBool GxD3D9SetStandardFunctions(GxStandardFunc* table, GxInt32 count)
{
    GX_ASSERT(count <= 0 || (table && (count == 1 || count >= gxSTANDARDNUMOFSTANDARD)),
              "the engine's table holds every standard function");
    for (GxInt32 i = 0; i < count; i++) {
        table[i] = GxReturnZero;
    }
    if (count <= 1) {
        return 1;
    }
    for (const NumberedFunction& entry : standardFunctions) {
        table[entry.number] = entry.function;
    }
    return 1;
}

DWORD GxD3D9ClearFlags(GxInt32 mode, GxBool stencilAvailable)
{
    DWORD flags = 0;
    if (mode & 1) {
        flags |= D3DCLEAR_TARGET;
    }
    if (mode & 2) {
        flags |= D3DCLEAR_ZBUFFER;
        if (stencilAvailable) {
            flags |= D3DCLEAR_STENCIL;
        }
    }
    if ((mode & 4) && stencilAvailable) {
        flags |= D3DCLEAR_STENCIL;
    }
    return flags;
}

void GxD3D9BuildProjectionMatrix(const GxCamera* camera, D3DMATRIX* p)
{
    memset(p, 0, sizeof(*p));
    p->_11 = camera->recipViewWindow.x;
    p->_22 = camera->recipViewWindow.y;
    p->_31 = camera->viewOffset.x * camera->recipViewWindow.x;
    p->_32 = camera->viewOffset.y * camera->recipViewWindow.y;
    p->_41 = -p->_31;
    p->_42 = -p->_32;
    // Equal clip distances leave no depth range: every depth maps to 0 rather than to infinity.
    const GxReal depth = camera->farPlane - camera->nearPlane;
    const bool range = depth != 0.0f;
    if (camera->projectionType == gxPARALLEL) {
        p->_33 = range ? 1.0f / depth : 0.0f;
        p->_34 = 0.0f;
        p->_44 = 1.0f;
    } else {
        p->_33 = range ? camera->farPlane / depth : 0.0f;
        p->_34 = 1.0f;
        p->_44 = 0.0f;
    }
    p->_43 = -(p->_33 * camera->nearPlane);
}

void GxD3D9FetchDefaultSurfaces(void)
{
    IDirect3DSurface9* surface = nullptr;
    S().defaultRenderTarget = nullptr;
    S().defaultDepthStencil = nullptr;
    if (!S().device) {
        return;
    }
    // Kept without a reference: the device holds them as long as it lives.
    if (SUCCEEDED(S().device->GetRenderTarget(0, &surface)) && surface) {
        S().defaultRenderTarget = surface;
        surface->Release();
    }
    surface = nullptr;
    if (SUCCEEDED(S().device->GetDepthStencilSurface(&surface)) && surface) {
        S().defaultDepthStencil = surface;
        surface->Release();
    }
}

GxBool GxD3D9CameraBeginUpdate(void*, void* inOut, GxInt32)
{
    auto* camera = static_cast<GxCamera*>(inOut);
    GX_ASSERT(camera && camera->frameBuffer && GxCameraGetFrame(camera), "a camera with a frame and a frame buffer");
    if (!S().device) {
        return 0;
    }
    GxFPUForceSinglePrecision();
    S().currentCamera = camera;
    GxFrame* frame = GxCameraGetFrame(camera);
    BuildViewMatrix(GxFrameGetWorldMatrix(frame));
    GxD3D9SetTransform(D3DTS_VIEW, &S().viewMatrix);
    GxD3D9BuildProjectionMatrix(camera, &S().projectionMatrix);
    GxD3D9SetTransform(D3DTS_PROJECTION, &S().projectionMatrix);
    S().viewProjection = nullptr;

    if (!SelectRenderTarget(camera)) {
        return 0;
    }
    SetFrameBufferViewport(camera->frameBuffer);
    GxUInt32 fogStart, fogEnd;
    memcpy(&fogStart, &camera->fogPlane, sizeof(fogStart));
    memcpy(&fogEnd, &camera->farPlane, sizeof(fogEnd));
    GxD3D9SetRenderState(D3DRS_FOGSTART, fogStart);
    GxD3D9SetRenderState(D3DRS_FOGEND, fogEnd);
    return GxD3D9BeginSceneWithRecovery();
}

GxBool GxD3D9BeginSceneWithRecovery(void)
{
    if (!S().device) {
        return 0;
    }
    if (!RecoverDevice()) {
        S().inScene = 0;
        return 0;
    }
    if (S().inScene) {
        return 1;
    }
    if (FAILED(S().device->BeginScene())) {
        return 0;
    }
    S().inScene = 1;
    return 1;
}

GxBool GxD3D9CameraEndUpdate(void*, void*, GxInt32)
{
    GxCamera* camera = S().currentCamera;
    const GxRaster* frameBuffer = camera ? camera->frameBuffer : nullptr;
    const GxRaster* top = TopRaster(frameBuffer);
    if (top && S().device && !HasSwapChain(top) && top->type == gxRASTERTYPECAMERATEXTURE && S().copyToTexture) {
        IDirect3DSurface9* surface = TextureLevel0(top);
        if (surface) {
            CopyBackBufferToTexture(frameBuffer, surface);
            surface->Release();
        }
        S().copyToTexture = 0;
    }
    S().currentCamera = nullptr;
    return 1;
}

GxBool GxD3D9CameraClear(void* out, void* inOut, GxInt32 in)
{
    auto* camera = static_cast<GxCamera*>(out);
    const auto* rgba = static_cast<const GxRGBA*>(inOut);
    GX_ASSERT(camera && camera->frameBuffer && (rgba || !(in & 1)), "a camera with a frame buffer and a colour");
    if (!S().device) {
        return 0;
    }
    const D3DCOLOR colour = (in & 1) ? D3DCOLOR_ARGB(rgba->alpha, rgba->red, rgba->green, rgba->blue) : 0;
    const GxRaster* top = TopRaster(camera->frameBuffer);
    if (HasSwapChain(top)) {
        return ClearSwapChainCamera(camera, colour, in & 7) ? 1 : 0;
    }
    if (!PrepareMainWindow()) {
        return 0;
    }
    if (top->type == gxRASTERTYPECAMERATEXTURE) {
        return ClearCameraTexture(camera, top, colour, in & 7) ? 1 : 0;
    }
    UseDefaultTargets();
    SetFrameBufferViewport(camera->frameBuffer);
    const DWORD flags = GxD3D9ClearFlags(in, S().stencilAvailable);
    if (flags == 0) {
        return 1;
    }
    return SUCCEEDED(S().device->Clear(0, nullptr, flags, colour, 1.0f, S().stencilClearValue)) ? 1 : 0;
}

GxBool GxD3D9RasterShow(void* out, void*, GxInt32 in)
{
    const auto* raster = static_cast<const GxRaster*>(out);
    if (!S().device) {
        return 0;
    }
    if (S().inScene) {
        S().device->EndScene();
        S().inScene = 0;
    }
    UINT& interval = S().present.PresentationInterval;
    const bool waitRetrace = (in & 1) != 0;
    const UINT wanted = waitRetrace ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    if ((waitRetrace && interval == D3DPRESENT_INTERVAL_IMMEDIATE) ||
        (!waitRetrace && interval == D3DPRESENT_INTERVAL_ONE)) {
        interval = wanted;
        ResetAndRestore();
    }
    const GxRaster* top = TopRaster(raster);
    HRESULT hr;
    if (HasSwapChain(top)) {
        hr = Ext(top)->swapChain->Present(nullptr, nullptr, nullptr, nullptr, 0);
    } else {
        hr = S().device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    if (hr == D3DERR_DEVICELOST) {
        hr = S().device->TestCooperativeLevel();
        if (hr == D3DERR_DEVICENOTRESET) {
            GxD3D9ReleaseVideoMemory();
            hr = S().device->Reset(&S().present);
            if (SUCCEEDED(hr)) {
                GxD3D9RestoreVideoMemory();
            }
        }
    }
    GxD3D9DynamicVertexBuffersNextFrame();
    return SUCCEEDED(hr) ? 1 : 0;
}

GxBool GxD3D9ReleaseVideoMemory(void)
{
    IDirect3DDevice9* device = S().device;
    if (!device) {
        return 1;
    }
    GxD3D9ResetDeviceCaches();
    GxD3D9ClearTransformCache();
    GxD3D9UnbindDeviceObjects(device);

    GxD3D9SetRenderTargetSurface(0, S().defaultRenderTarget);
    for (GxUInt32 index = 1; index < 4; index++) {
        GxD3D9SetRenderTargetSurface(index, nullptr);
    }
    GxD3D9SetDepthStencilSurface(S().defaultDepthStencil);

    GxD3D9Im2DClose();
    GxD3D9Im3DClose();
    GxD3D9DynamicVertexBuffersRelease();
    GxD3D9RasterReleaseVideoMemory();
    GxFreeListPurgeAllFreeLists();
    return 1;
}

GxBool GxD3D9RestoreVideoMemory(void)
{
    GxD3D9FetchDefaultSurfaces();
    GxBool restored = GxD3D9RasterRestoreVideoMemory() && GxD3D9DynamicVertexBuffersRestore();
    if (restored) {
        GxD3D9RenderStateRestore();
        restored = GxD3D9LightTableRestore() && GxD3D9Im2DOpen() && GxD3D9Im3DOpen();
    }
    if (S().restoreCallBack) {
        S().restoreCallBack();
    }
    return restored;
}

GxBool GxD3D9CameraAttachWindow(GxCamera* camera, HWND window)
{
    GX_ASSERT(camera != nullptr && window != nullptr && S().device != nullptr,
              "a window is attached to a camera on the started device");
    if (IsFullScreen() || window == S().window) {
        return 0;
    }
    RECT rect = {};
    GetWindowRect(window, &rect);
    if (GxRaster* frameBuffer = camera->frameBuffer) {
        camera->frameBuffer = nullptr;
        GxRasterDestroy(frameBuffer);
    }
    if (GxRaster* z = camera->zBuffer) {
        camera->zBuffer = nullptr;
        GxRasterDestroy(z);
    }
    D3DPRESENT_PARAMETERS pp = S().present;
    pp.BackBufferWidth = rect.right - rect.left == 0 ? 1 : 0;
    pp.BackBufferHeight = rect.bottom - rect.top == 0 ? 1 : 0;
    pp.hDeviceWindow = window;
    pp.EnableAutoDepthStencil = FALSE;
    IDirect3DSwapChain9* swapChain = nullptr;
    if (FAILED(S().device->CreateAdditionalSwapChain(&pp, &swapChain)) || !swapChain) {
        return 0;
    }
    IDirect3DSurface9* backBuffer = nullptr;
    D3DSURFACE_DESC desc = {};
    if (FAILED(swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) || !backBuffer ||
        FAILED(backBuffer->GetDesc(&desc))) {
        if (backBuffer) {
            backBuffer->Release();
        }
        swapChain->Release();
        return 0;
    }
    const GxInt32 width = static_cast<GxInt32>(desc.Width);
    const GxInt32 height = static_cast<GxInt32>(desc.Height);
    GxRaster* raster = GxRasterCreate(width, height, 0, gxRASTERTYPECAMERA | gxRASTERDONTALLOCATE);
    if (!raster) {
        // Nobody would own the swap chain.
        backBuffer->Release();
        swapChain->Release();
        return 0;
    }
    const GxUInt32 format = static_cast<GxUInt32>(desc.Format);
    const GxD3D9FormatInfoEntry info =
        format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE) ? GxD3D9FormatInfo[format] : GxD3D9FormatInfoEntry{};
    raster->width = width;
    raster->height = height;
    raster->depth = info.depth;
    raster->format = static_cast<GxUInt8>(info.rasterFormat >> 8);
    GxD3D9RasterExt* ext = Ext(raster);
    ext->texture = backBuffer;
    ext->alpha = info.alpha;
    ext->d3dFormat = format;
    ext->window = window;
    ext->swapChain = swapChain;
    camera->frameBuffer = raster;
    camera->zBuffer = GxRasterCreate(width, height, 0, gxRASTERTYPEZBUFFER);
    backBuffer->Release();
    return 1;
}
