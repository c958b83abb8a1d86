// Native rasters of the Direct3D 9 driver: the raster extension, device objects by type, create and destroy.
//
// Sections: extension callbacks; device objects by raster type; what the other raster files share; the
// driver calls and standard functions. The other raster files: raster_format.cpp (format tables, checks and
// choice), raster_lock.cpp (pixel locks), raster_palette.cpp (palette blocks and locks), raster_restore.cpp
// (the device-memory list and device loss).
#include <algorithm>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/raster_local.h"
#include "gfx/d3d9/renderstate.h"

GxInt32 gxD3D9RasterExtOffset = -1;

using namespace d3d9raster;

namespace {

void RaiseDevice(const char* message) { GxErrorRaise(gxPLUGINCORE, GxErrorMakeCode(gxERRDEVICEFAILURE, message)); }

GxInt32 BitCount(GxInt32 value)
{
    GxInt32 bits = 0;
    while (value > 0) {
        value >>= 1;
        bits++;
    }
    return bits;
}

// ---- extension callbacks ----

void* RasterExtConstructor(void* object, GxInt32 offset, GxInt32 /*size*/)
{
    auto* ext = reinterpret_cast<GxD3D9RasterExt*>(static_cast<char*>(object) + offset);
    ext->swapChain = nullptr;
    return object;
}

void* RasterExtDestructor(void* object, GxInt32 offset, GxInt32 /*size*/)
{
    auto* ext = reinterpret_cast<GxD3D9RasterExt*>(static_cast<char*>(object) + offset);
    if (ext->swapChain != nullptr) {
        ext->swapChain->Release();
        ext->swapChain = nullptr;
    }
    return object;
}

// No texture stage may keep a destroyed raster's texture bound.
void UnbindFromStages(GxRaster* raster) { GxD3D9TextureRasterForget(raster); }

// ---- device objects by raster type ----

GxUInt32 TextureLevels(const GxRaster* raster) { return (GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP) ? 0 : 1; }

DWORD AutoUsage(const GxD3D9RasterExt* ext) { return GxD3D9RasterExtAutoMipmaps(ext) ? D3DUSAGE_AUTOGENMIPMAP : 0; }

}  // namespace

GxBool GxD3D9RasterCreateTexture(GxRaster* raster)
{
    GxD3D9RasterExt* ext = Ext(raster);
    const GxInt32 format = GxRasterGetFormat(raster);
    const GxInt32 nibble = PixelNibble(format);
    GxUInt32 d3dFormat = GxD3D9RasterFormatInfo[nibble].d3dFormat;
    if (format & (gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4)) {
        if (nibble != PixelNibble(gxRASTERFORMAT888) && nibble != PixelNibble(gxRASTERFORMAT8888)) {
            RaiseDevice("Palletized texture can only be gxRASTERFORMAT888 or gxRASTERFORMAT8888.");
            return 0;
        }
        if ((ext->palette = PaletteBlockTake()) == nullptr) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return 0;
        }
        d3dFormat = D3DFMT_P8;
    }
    ext->alpha = GxD3D9RasterFormatInfo[nibble].alpha;
    ext->d3dFormat = d3dFormat;
    GxD3D9RasterClampSize(&raster->width, &raster->height, format | raster->type);
    HRESULT hr;
    const bool depth = GxD3D9IsDepthFormat(d3dFormat);
    if (depth && !GxD3D9RasterExtIsCube(ext)) {
        hr = MakeTexture(raster, ext, 1, D3DUSAGE_DEPTHSTENCIL, d3dFormat, D3DPOOL_DEFAULT);
    } else {
        hr = MakeTexture(raster, ext, TextureLevels(raster), AutoUsage(ext), d3dFormat, D3DPOOL_MANAGED);
    }
    if (FAILED(hr)) {
        if (ext->palette != nullptr) {
            PaletteBlockGiveBack(ext->palette);
            ext->palette = nullptr;
        }
        RaiseDevice("Failed to create texture.");
        return 0;
    }
    return 1;
}

GxBool GxD3D9RasterCreateCameraTexture(GxRaster* raster)
{
    GxD3D9RasterExt* ext = Ext(raster);
    const GxInt32 format = GxRasterGetFormat(raster);
    if (format & (gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4)) {
        RaiseDevice("gxRASTERTYPECAMERATEXTURE can not be palletized.");
        return 0;
    }
    const GxD3D9RasterFormatInfoEntry& info = GxD3D9RasterFormatInfo[PixelNibble(format)];
    ext->d3dFormat = info.d3dFormat;
    ext->alpha = info.alpha;
    GxD3D9RasterClampSize(&raster->width, &raster->height, format | raster->type);
    GxD3D9Device()->EvictManagedResources();
    bool retried = false;
    const HRESULT hr = MakeCameraTexture(raster, ext, info.d3dFormat, &retried);
    if (hr == D3DERR_OUTOFVIDEOMEMORY && !retried) {
        RaiseDevice("Out of video memory. Failed to create raster.");
        return 0;
    }
    if (FAILED(hr)) {
        RaiseDevice("Failed to create raster.");
        return 0;
    }
    if (retried) {
        TakeBackBufferFormat(raster, ext, true);
    }
    return 1;
}

GxBool GxD3D9RasterCreateZBuffer(GxRaster* raster)
{
    GxD3D9RasterExt* ext = Ext(raster);
    const GxUInt32 format = ChooseDepthFormat();
    ext->alpha = 0;
    GxInt32 clientWidth = 0;
    GxInt32 clientHeight = 0;
    if (MainWindowClientSize(&clientWidth, &clientHeight) && raster->width == clientWidth &&
        raster->height == clientHeight && gxD3D9State.defaultDepthStencil != nullptr) {
        ext->texture = gxD3D9State.defaultDepthStencil;
        ext->d3dFormat = gxD3D9State.depthStencilFormat;
        return 1;
    }
    const HRESULT hr = MakeDepthSurface(raster, ext, format);
    if (hr == D3DERR_OUTOFVIDEOMEMORY) {
        RaiseDevice("Out of video memory. Failed to create raster.");
        return 0;
    }
    if (FAILED(hr)) {
        RaiseDevice("Failed to create raster.");
        return 0;
    }
    return 1;
}

namespace {

GxBool CreateCamera(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (!(raster->flags & gxRASTERDONTALLOCATE)) {
        GxInt32 clientWidth = 0;
        GxInt32 clientHeight = 0;
        if (!MainWindowClientSize(&clientWidth, &clientHeight) || raster->width > clientWidth ||
            raster->height > clientHeight) {
            RaiseDevice("Camera raster is too big.");
            return 0;
        }
    }
    raster->depth = GxD3D9FormatDepth(BackBufferFormat());
    raster->stride = 0;
    raster->pixels = nullptr;
    raster->flags = gxRASTERDONTALLOCATE;
    raster->savedWidth = raster->width;
    raster->savedHeight = raster->height;
    ext->d3dFormat = BackBufferFormat();
    return 1;
}

GxBool MakeDeviceObject(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool dontAllocate = (raster->flags & gxRASTERDONTALLOCATE) != 0;
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return dontAllocate ? 1 : GxD3D9RasterCreateTexture(raster);
    case gxRASTERTYPEZBUFFER:
        return dontAllocate ? 1 : GxD3D9RasterCreateZBuffer(raster);
    case gxRASTERTYPECAMERA:
        return CreateCamera(raster, ext);
    case gxRASTERTYPECAMERATEXTURE:
        return dontAllocate ? 1 : GxD3D9RasterCreateCameraTexture(raster);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
}

// Rasters whose device objects a device loss takes: they go on the device-memory list.
bool LostWithTheDevice(const GxRaster* raster, const GxD3D9RasterExt* ext)
{
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return ext->texture != nullptr && (GxD3D9IsDepthFormat(ext->d3dFormat) || ext->palette != nullptr);
    case gxRASTERTYPEZBUFFER:
    case gxRASTERTYPECAMERATEXTURE:
        return ext->texture != nullptr;
    case gxRASTERTYPECAMERA:
        return true;
    default:
        return false;
    }
}

GxBool DestroyDeviceObject(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool dontAllocate = (raster->flags & gxRASTERDONTALLOCATE) != 0;
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        if (dontAllocate) {
            return 1;
        }
        if (ext->palette != nullptr) {
            ListRemove(raster);
            PaletteBlockGiveBack(ext->palette);
            ext->palette = nullptr;
        }
        ListRemove(raster);
        ReleaseTexture(ext);
        return 1;
    case gxRASTERTYPEZBUFFER:
        if (dontAllocate) {
            return 1;
        }
        ListRemove(raster);
        ReleaseOwnDepthSurface(ext);
        ext->texture = nullptr;
        return 1;
    case gxRASTERTYPECAMERA:
        ListRemove(raster);
        return 1;
    case gxRASTERTYPECAMERATEXTURE:
        if (dontAllocate) {
            return 1;
        }
        ListRemove(raster);
        ReleaseTexture(ext);
        return 1;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
}

GxBool CreateDeviceObject(GxRaster* raster, GxD3D9RasterExt* ext)
{
    if (!MakeDeviceObject(raster, ext)) {
        return 0;
    }
    if (LostWithTheDevice(raster, ext) && !ListAdd(raster)) {
        DestroyDeviceObject(raster, ext);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    return 1;
}

}  // namespace

namespace d3d9raster {

// ---- shared with the other raster files ----

bool MainWindowClientSize(GxInt32* width, GxInt32* height)
{
    RECT client = {0, 0, 0, 0};
    if (gxD3D9State.window == nullptr || !GetClientRect(gxD3D9State.window, &client)) {
        return false;
    }
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return true;
}

HRESULT MakeTexture(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 levels, DWORD usage, GxUInt32 format, D3DPOOL pool)
{
    IDirect3DDevice9* device = GxD3D9Device();
    if (device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const UINT width = static_cast<UINT>(raster->width);
    const UINT height = static_cast<UINT>(raster->height);
    if (GxD3D9RasterExtIsCube(ext)) {
        IDirect3DCubeTexture9* cube = nullptr;
        const HRESULT hr =
            device->CreateCubeTexture(width, levels, usage, static_cast<D3DFORMAT>(format), pool, &cube, nullptr);
        if (SUCCEEDED(hr)) {
            ext->texture = static_cast<IDirect3DBaseTexture9*>(cube);
        }
        return hr;
    }
    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr =
        device->CreateTexture(width, height, levels, usage, static_cast<D3DFORMAT>(format), pool, &texture, nullptr);
    if (SUCCEEDED(hr)) {
        ext->texture = static_cast<IDirect3DBaseTexture9*>(texture);
    }
    return hr;
}

void ReleaseTexture(GxD3D9RasterExt* ext)
{
    if (ext->texture != nullptr) {
        static_cast<IDirect3DBaseTexture9*>(ext->texture)->Release();
        ext->texture = nullptr;
    }
}

// Camera textures fall back to the back-buffer format once; sets `retried` when that format was used.
HRESULT MakeCameraTexture(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 format, bool* retried)
{
    const DWORD usage = D3DUSAGE_RENDERTARGET | AutoUsage(ext);
    HRESULT hr = MakeTexture(raster, ext, TextureLevels(raster), usage, format, D3DPOOL_DEFAULT);
    *retried = false;
    if (SUCCEEDED(hr) || hr == D3DERR_OUTOFVIDEOMEMORY) {
        return hr;
    }
    *retried = true;
    return MakeTexture(raster, ext, TextureLevels(raster), usage, BackBufferFormat(), D3DPOOL_DEFAULT);
}

// At creation the depth is the display's; at a restore it is the format's own.
void TakeBackBufferFormat(GxRaster* raster, GxD3D9RasterExt* ext, bool displayDepth)
{
    const GxD3D9FormatInfoEntry& info = FormatInfo(BackBufferFormat());
    GxD3D9RasterSetPixelFormat(raster, info.rasterFormat);
    raster->depth = displayDepth ? DisplayDepth() : info.depth;
    ext->d3dFormat = BackBufferFormat();
    ext->alpha = info.alpha;
}

HRESULT MakeDepthSurface(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 format)
{
    IDirect3DDevice9* device = GxD3D9Device();
    IDirect3DSurface9* surface = nullptr;
    device->EvictManagedResources();
    const HRESULT hr = device->CreateDepthStencilSurface(
        static_cast<UINT>(std::max(raster->width, 1)), static_cast<UINT>(std::max(raster->height, 1)),
        static_cast<D3DFORMAT>(format), gxD3D9State.present.MultiSampleType, gxD3D9State.present.MultiSampleQuality,
        FALSE, &surface, nullptr);
    if (SUCCEEDED(hr)) {
        ext->texture = surface;
        ext->d3dFormat = format;
    }
    return hr;
}

void ReleaseOwnDepthSurface(GxD3D9RasterExt* ext)
{
    if (ext->texture != nullptr && ext->texture != gxD3D9State.defaultDepthStencil) {
        static_cast<IDirect3DSurface9*>(ext->texture)->Release();
        ext->texture = nullptr;
    }
}

}  // namespace d3d9raster

// ---- driver calls and standard functions ----

// Lower mip levels of an automatic-mipmap raster come from the texture module's generation.
GxBool GxD3D9RasterGenerateMipmaps(GxRaster* raster) { return GxTextureRasterGenerateMipmaps(raster, nullptr); }

IDirect3DBaseTexture9* GxD3D9RasterGetBaseTexture(const GxRaster* raster)
{
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        return nullptr;
    }
    const GxInt32 type = raster->type;
    if (!TextureType(type)) {
        return nullptr;
    }
    return static_cast<IDirect3DBaseTexture9*>(GxD3D9RASTEREXTFromConstRaster(raster)->texture);
}

IDirect3DTexture9* GxD3D9RasterGetTexture(const GxRaster* raster)
{
    IDirect3DBaseTexture9* base = GxD3D9RasterGetBaseTexture(raster);
    if (base == nullptr || GxD3D9RasterExtIsCube(GxD3D9RASTEREXTFromConstRaster(raster))) {
        return nullptr;
    }
    return static_cast<IDirect3DTexture9*>(base);
}

IDirect3DCubeTexture9* GxD3D9RasterGetCubeTexture(const GxRaster* raster)
{
    IDirect3DBaseTexture9* base = GxD3D9RasterGetBaseTexture(raster);
    if (base == nullptr || !GxD3D9RasterExtIsCube(GxD3D9RASTEREXTFromConstRaster(raster))) {
        return nullptr;
    }
    return static_cast<IDirect3DCubeTexture9*>(base);
}

IDirect3DSurface9* GxD3D9RasterGetSurface(const GxRaster* raster)
{
    if (raster == nullptr || gxD3D9RasterExtOffset < 0) {
        return nullptr;
    }
    if (raster->type != gxRASTERTYPEZBUFFER && raster->type != gxRASTERTYPECAMERA) {
        return nullptr;
    }
    return static_cast<IDirect3DSurface9*>(GxD3D9RASTEREXTFromConstRaster(raster)->texture);
}

GxBool GxD3D9RasterPluginAttach(void)
{
    FillTables();
    gxD3D9RasterExtOffset = GxRasterRegisterPlugin(sizeof(GxD3D9RasterExt), gxPLUGIND3D9RASTER, RasterExtConstructor,
                                                   RasterExtDestructor, nullptr);
    return gxD3D9RasterExtOffset >= 0;
}

namespace {

// Resolves the format and makes the device object of a raster for the flags; `cube` is the cube nibble the new
// object takes.
GxBool CreateRaster(GxRaster* raster, GxInt32 flags, GxUInt8 cube)
{
    GxD3D9RasterExt* ext = Ext(raster);
    raster->type = static_cast<GxUInt8>(flags & gxRASTERTYPEMASK);
    raster->flags = static_cast<GxUInt8>(flags & gxD3D9RASTERFLAGSMASK);
    raster->pixels = nullptr;
    raster->palette = nullptr;
    std::memset(ext, 0, sizeof(*ext));
    ext->lockedMipLevel = gxD3D9NOLOCKEDLEVEL;
    ext->cube = cube;
    GxInt32 format = flags & gxRASTERFORMATMASK;
    if (!ResolveFormat(raster, ext, &format)) {
        return 0;
    }
    raster->format = static_cast<GxUInt8>(format >> 8);
    if (raster->width == 0 || raster->height == 0) {
        raster->flags = gxRASTERDONTALLOCATE;
        raster->stride = 0;
        if (raster->depth == 0) {
            raster->depth = 16;
        }
        if (raster->type == gxRASTERTYPECAMERA && !ListAdd(raster)) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return 0;
        }
        return 1;
    }
    // Every device object needs a started device.
    if (GxD3D9Device() == nullptr && !(raster->flags & gxRASTERDONTALLOCATE)) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return 0;
    }
    return CreateDeviceObject(raster, ext);
}

// The format a raster converted for mipmapping takes: 32 bits on a deep display when the device holds it for a
// raster of this kind, else 16 bits.
GxInt32 MipmapFormat(const GxRaster* raster, const GxD3D9RasterExt* ext)
{
    const bool cube = GxD3D9RasterExtIsCube(ext);
    const bool target = raster->type == gxRASTERTYPECAMERATEXTURE;
    const auto holds = [&](GxUInt32 format) {
        if (target) {
            return cube ? GxD3D9CheckRenderTargetCubeFormat(format) : GxD3D9CheckRenderTargetFormat(format);
        }
        return cube ? GxD3D9CheckCubeTextureFormat(format) : GxD3D9CheckTextureFormat(format);
    };
    const bool deep = DisplayDepth() > 16;
    if (!ext->alpha) {
        return deep && holds(D3DFMT_X8R8G8B8) ? gxRASTERFORMAT888 : gxRASTERFORMAT565;
    }
    if (deep && holds(D3DFMT_A8R8G8B8)) {
        return gxRASTERFORMAT8888;
    }
    return holds(D3DFMT_A4R4G4B4) ? gxRASTERFORMAT4444 : gxRASTERFORMAT1555;
}

// The raster's level 0 as a new 32-bit image, or null.
GxImage* Level0Image(GxRaster* raster)
{
    GxImage* image = GxImageCreate(raster->width, raster->height, 32);
    if (image == nullptr) {
        return nullptr;
    }
    if (GxImageAllocatePixels(image) == nullptr || !GxD3D9ImageGetFromRaster(image, raster, 0)) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}

}  // namespace

GxBool GxD3D9RasterCreate(void* /*out*/, void* inOut, GxInt32 flags)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0, "a raster function needs what it works on");
    return CreateRaster(raster, flags, 0);
}

GxBool GxD3D9RasterDestroy(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0, "a raster function needs what it works on");
    GxD3D9RasterExt* ext = Ext(raster);
    UnbindFromStages(raster);
    if (raster->parent != raster) {
        if (raster->type == gxRASTERTYPECAMERA) {
            ListRemove(raster);
        }
        return 1;
    }
    return DestroyDeviceObject(raster, ext);
}

GxBool GxD3D9TextureSetRaster(void* out, void* inOut, GxInt32 /*in*/)
{
    // A texture record begins with its raster pointer.
    if (out != nullptr) {
        *static_cast<GxRaster**>(out) = static_cast<GxRaster*>(inOut);
    }
    return 1;
}

GxBool GxD3D9RasterSubRaster(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(out);
    auto* parent = static_cast<GxRaster*>(inOut);
    GX_ASSERT(raster != nullptr && parent != nullptr, "a raster function needs what it works on");
    raster->stride = parent->stride;
    raster->depth = parent->depth;
    raster->type = parent->type;
    raster->format = parent->format;
    raster->pixels = nullptr;
    return 1;
}

GxBool GxD3D9RasterGetMipLevels(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* count = static_cast<GxInt32*>(out);
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(count != nullptr && raster != nullptr, "a raster function needs what it works on");
    GxRaster* top = TopRaster(raster);
    if (!TextureType(top->type)) {
        *count = 1;
        return 1;
    }
    if (IDirect3DBaseTexture9* texture = GxD3D9RasterGetBaseTexture(top)) {
        *count = static_cast<GxInt32>(texture->GetLevelCount());
        return 1;
    }
    *count = BitCount(std::max(top->width, top->height));
    return 1;
}

HRESULT GxD3D9RasterMakeTexture(GxRaster* raster, GxUInt32 levels, DWORD usage, GxUInt32 format, D3DPOOL pool)
{
    return MakeTexture(raster, Ext(raster), levels, usage, format, pool);
}

GxRaster* GxD3D9RasterCreateFromD3DFormat(GxInt32 width, GxInt32 height, GxUInt32 format, GxInt32 flags)
{
    const GxInt32 type = flags & gxRASTERTYPEMASK;
    if (type == gxRASTERTYPENORMAL || type == gxRASTERTYPEZBUFFER) {
        flags &= ~(gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
    }
    GxRaster* raster = GxRasterCreate(width, height, 0, flags | gxRASTERDONTALLOCATE);
    if (raster == nullptr) {
        return nullptr;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    const bool mipmap = (flags & gxRASTERFORMATMIPMAP) != 0;
    if (mipmap && (flags & gxRASTERFORMATAUTOMIPMAP) && CheckAutoMipmap(0, D3DRTYPE_TEXTURE, format)) {
        ext->automipmap |= gxD3D9RASTERAUTOMIPMAP;
    }
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    GxBool supported = 0;
    if (type == gxRASTERTYPECAMERATEXTURE) {
        supported = GxD3D9CheckRenderTargetFormat(format);
        usage = D3DUSAGE_RENDERTARGET;
        pool = D3DPOOL_DEFAULT;
    } else if (GxD3D9IsDepthFormat(format)) {
        supported = GxD3D9CheckDepthTextureFormat(format);
        usage = D3DUSAGE_DEPTHSTENCIL;
        pool = D3DPOOL_DEFAULT;
    } else {
        supported = GxD3D9CheckTextureFormat(format);
    }
    const bool palettised = format == D3DFMT_P8;
    if (!supported) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    if (FAILED(MakeTexture(raster, ext, mipmap ? 0 : 1, usage | AutoUsage(ext), format, pool))) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    raster->flags &= static_cast<GxUInt8>(~gxRASTERDONTALLOCATE);
    ext->d3dFormat = format;
    if (GxD3D9IsDXTFormat(format)) {
        ext->automipmap |= gxD3D9RASTERCOMPRESSED;
        const bool dxt1 = format == D3DFMT_DXT1;
        ext->alpha = dxt1 ? 0 : 1;
        GxD3D9RasterSetPixelFormat(raster, dxt1 ? gxRASTERFORMAT565 : gxRASTERFORMAT4444);
        raster->depth = 16;
    } else {
        ext->automipmap &= gxD3D9RASTERAUTOMIPMAPMASK;
        const GxD3D9FormatInfoEntry& info = FormatInfo(format);
        GxD3D9RasterSetPixelFormat(raster, info.rasterFormat);
        // Formats beyond the table keep the depth the raster was made with.
        if (format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE)) {
            ext->alpha = info.alpha;
            raster->depth = info.depth;
        }
    }
    if (palettised) {
        ext->palette = PaletteBlockTake();
        if (ext->palette == nullptr) {
            GxRasterDestroy(raster);
            return nullptr;
        }
    }
    if ((pool == D3DPOOL_DEFAULT || palettised) && !ListAdd(raster)) {
        GxRasterDestroy(raster);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    return raster;
}

GxBool GxD3D9TextureHasAlpha(const GxTexture* texture)
{
    GX_ASSERT(texture != nullptr && gxD3D9RasterExtOffset >= 0, "a texture of the driver is asked");
    // A texture record begins with its raster pointer.
    const GxRaster* raster = *reinterpret_cast<GxRaster* const*>(texture);
    if (raster == nullptr) {
        return 0;
    }
    return GxD3D9RASTEREXTFromConstRaster(raster)->alpha;
}

GxBool GxD3D9RasterIsCubeTexture(const GxRaster* raster)
{
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0, "a raster of the driver is asked");
    return GxD3D9RasterExtIsCube(GxD3D9RASTEREXTFromConstRaster(raster)) ? 1 : 0;
}

GxRaster* GxD3D9RasterConvertToMipmapped(GxRaster* raster)
{
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0, "a conversion needs a raster of the driver");
    GX_ASSERT(raster->parent == raster && raster->pixels == nullptr && TextureType(raster->type),
              "only a whole, unlocked texture is converted");
    GxD3D9RasterExt* ext = Ext(raster);
    GxD3D9RasterExtSetFace(ext, 0);
    GxImage* image = Level0Image(raster);
    if (image == nullptr) {
        return nullptr;
    }
    const GxInt32 format = MipmapFormat(raster, ext);
    const auto cube = static_cast<GxUInt8>(ext->cube & gxD3D9RASTERCUBEMASK);
    UnbindFromStages(raster);
    DestroyDeviceObject(raster, ext);
    const GxInt32 flags = raster->type | format | gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP;
    const bool made = CreateRaster(raster, flags, cube) && GxD3D9RasterSetFromImage(raster, image, 0);
    GxImageDestroy(image);
    return made ? raster : nullptr;
}
