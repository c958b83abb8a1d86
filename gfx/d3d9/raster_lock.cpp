// Native rasters, locks: pixel locks of texture levels and camera surfaces.
#include <algorithm>

#include "gfx/core/assert.h"
#include "gfx/d3d9/raster_local.h"

using namespace d3d9raster;

namespace {

// The lock request packs the level above the lock mode, a byte each.
constexpr GxInt32 kLockLevelShift = 8;
constexpr GxInt32 kLockFieldMask = 0xFF;

// The locked rectangle of a sub-raster at a level, inside the level's surface; false when nothing is left.
bool SubRasterRect(const GxRaster* raster, GxUInt32 level, const D3DSURFACE_DESC& desc, RECT* rect)
{
    const LONG left = raster->offsetX >> level;
    const LONG top = raster->offsetY >> level;
    const LONG right = std::max<LONG>(left + 1, (raster->offsetX + raster->width) >> level);
    const LONG bottom = std::max<LONG>(top + 1, (raster->offsetY + raster->height) >> level);
    rect->left = left;
    rect->top = top;
    rect->right = std::min<LONG>(right, static_cast<LONG>(desc.Width));
    rect->bottom = std::min<LONG>(bottom, static_cast<LONG>(desc.Height));
    return rect->left < rect->right && rect->top < rect->bottom;
}

IDirect3DSurface9* LevelSurface(GxRaster* top, GxUInt32 level)
{
    GxD3D9RasterExt* ext = Ext(top);
    if (ext->texture == nullptr) {
        return nullptr;
    }
    IDirect3DSurface9* surface = nullptr;
    if (GxD3D9RasterExtIsCube(ext)) {
        const auto face = static_cast<D3DCUBEMAP_FACES>(GxD3D9RasterExtFace(ext));
        if (FAILED(GxD3D9RasterGetCubeTexture(top)->GetCubeMapSurface(face, level, &surface))) {
            return nullptr;
        }
        return surface;
    }
    if (FAILED(GxD3D9RasterGetTexture(top)->GetSurfaceLevel(level, &surface))) {
        return nullptr;
    }
    return surface;
}

// The surface a camera raster shows: its own swap chain's back buffer, else the device's.
IDirect3DSurface9* CameraSurface(GxRaster* top)
{
    GxD3D9RasterExt* ext = Ext(top);
    if (ext->swapChain != nullptr) {
        return static_cast<IDirect3DSurface9*>(ext->texture);
    }
    return gxD3D9State.defaultRenderTarget;
}

// Locks `surface` for `raster` (the whole surface for a top-level raster, its rectangle for a sub-raster).
bool LockSurface(GxRaster* raster, IDirect3DSurface9* surface, GxUInt32 level, DWORD flags, D3DLOCKED_RECT* locked,
                 RECT* lockedRect)
{
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetDesc(&desc))) {
        return false;
    }
    const RECT* rect = nullptr;
    *lockedRect = {0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (raster->parent != raster) {
        if (!SubRasterRect(raster, level, desc, lockedRect)) {
            return false;
        }
        rect = lockedRect;
    }
    return SUCCEEDED(surface->LockRect(locked, rect, flags));
}

void FinishLock(GxRaster* raster, GxD3D9RasterExt* ext, GxUInt32 level, GxInt32 mode, const D3DLOCKED_RECT& locked,
                const RECT& lockedRect)
{
    if (mode & gxRASTERLOCKREAD) {
        raster->privateFlags |= gxRASTERPIXELLOCKEDREAD;
    }
    if (mode & gxRASTERLOCKWRITE) {
        raster->privateFlags |= gxRASTERPIXELLOCKEDWRITE;
    }
    ext->lockedPitch = locked.Pitch;
    ext->lockedBits = locked.pBits;
    ext->lockedMipLevel = static_cast<GxUInt8>(level);
    raster->pixels = static_cast<GxUInt8*>(locked.pBits);
    raster->savedWidth = raster->width;
    raster->savedHeight = raster->height;
    // The reported size never exceeds what was locked.
    const GxInt32 lockedWidth = lockedRect.right - lockedRect.left;
    const GxInt32 lockedHeight = lockedRect.bottom - lockedRect.top;
    raster->width = std::min(std::max(raster->width >> level, 1), lockedWidth);
    raster->height = std::min(std::max(raster->height >> level, 1), lockedHeight);
    raster->stride = locked.Pitch;
}

GxBool LockTexture(GxRaster* raster, GxUInt32 level, GxInt32 mode, DWORD flags)
{
    GxRaster* top = TopRaster(raster);
    GxD3D9RasterExt* ext = Ext(raster);
    IDirect3DSurface9* surface = LevelSurface(top, level);
    if (surface == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    D3DLOCKED_RECT locked;
    RECT lockedRect;
    if (!LockSurface(raster, surface, level, flags, &locked, &lockedRect)) {
        surface->Release();
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    ext->lockedSurface = surface;
    FinishLock(raster, ext, level, mode, locked, lockedRect);
    return 1;
}

GxBool LockCamera(GxRaster* raster, GxUInt32 level, GxInt32 mode, DWORD flags)
{
    GxRaster* top = TopRaster(raster);
    GxD3D9RasterExt* ext = Ext(raster);
    const bool cameraTexture = top->type == gxRASTERTYPECAMERATEXTURE;
    // A back buffer has one level only.
    IDirect3DSurface9* source = cameraTexture ? LevelSurface(top, level) : (level == 0 ? CameraSurface(top) : nullptr);
    D3DSURFACE_DESC desc;
    IDirect3DSurface9* copy = nullptr;
    bool ok = source != nullptr && SUCCEEDED(source->GetDesc(&desc)) &&
              SUCCEEDED(GxD3D9Device()->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                                    D3DPOOL_SYSTEMMEM, &copy, nullptr));
    if (ok && (mode & gxRASTERLOCKREAD)) {
        ok = SUCCEEDED(GxD3D9Device()->GetRenderTargetData(source, copy));
    }
    D3DLOCKED_RECT locked;
    RECT lockedRect;
    if (ok) {
        ok = LockSurface(raster, copy, level, flags, &locked, &lockedRect);
    }
    if (cameraTexture && source != nullptr) {
        source->Release();
    }
    if (!ok) {
        if (copy != nullptr) {
            copy->Release();
        }
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    ext->lockedSurface = copy;
    FinishLock(raster, ext, level, mode, locked, lockedRect);
    return 1;
}

void RestoreAfterUnlock(GxRaster* raster, GxD3D9RasterExt* ext)
{
    raster->width = raster->savedWidth;
    raster->height = raster->savedHeight;
    raster->stride = 0;
    raster->pixels = nullptr;
    ext->lockedBits = nullptr;
    ext->lockedPitch = 0;
}

// Level 0 of an automatic-mipmap raster was written and the device does not build the levels itself.
void GenerateMipmapsAfterWrite(GxRaster* raster, GxD3D9RasterExt* ext, bool written, GxUInt8 level)
{
    const GxInt32 format = GxRasterGetFormat(raster);
    if (written && (format & gxRASTERFORMATAUTOMIPMAP) && level == 0 && !GxD3D9RasterExtAutoMipmaps(ext)) {
        ext->lockedMipLevel = gxD3D9NOLOCKEDLEVEL;
        GxD3D9RasterGenerateMipmaps(TopRaster(raster));
    }
    ext->lockedMipLevel = gxD3D9NOLOCKEDLEVEL;
}

void UnlockTexture(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool written = (raster->privateFlags & gxRASTERPIXELLOCKEDWRITE) != 0;
    const GxUInt8 level = ext->lockedMipLevel;
    if (ext->lockedSurface != nullptr) {
        ext->lockedSurface->UnlockRect();
        ext->lockedSurface->Release();
        ext->lockedSurface = nullptr;
    }
    RestoreAfterUnlock(raster, ext);
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPIXELLOCKED);
    GenerateMipmapsAfterWrite(raster, ext, written, level);
}

void UnlockCamera(GxRaster* raster, GxD3D9RasterExt* ext)
{
    const bool written = (raster->privateFlags & gxRASTERPIXELLOCKEDWRITE) != 0;
    const GxUInt8 level = ext->lockedMipLevel;
    GxRaster* top = TopRaster(raster);
    const bool cameraTexture = top->type == gxRASTERTYPECAMERATEXTURE;
    IDirect3DSurface9* copy = ext->lockedSurface;
    RestoreAfterUnlock(raster, ext);
    if (copy != nullptr) {
        copy->UnlockRect();
    }
    if (written && copy != nullptr) {
        IDirect3DSurface9* destination = cameraTexture ? LevelSurface(top, level) : CameraSurface(top);
        if (destination != nullptr) {
            D3DSURFACE_DESC desc;
            RECT rect;
            if (raster == top) {
                GxD3D9Device()->UpdateSurface(copy, nullptr, destination, nullptr);
            } else if (SUCCEEDED(copy->GetDesc(&desc)) && SubRasterRect(raster, level, desc, &rect)) {
                const POINT point = {rect.left, rect.top};
                GxD3D9Device()->UpdateSurface(copy, &rect, destination, &point);
            }
            if (cameraTexture) {
                destination->Release();
            }
        }
    }
    if (copy != nullptr) {
        copy->Release();
    }
    ext->lockedSurface = nullptr;
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPIXELLOCKED);
    if (cameraTexture) {
        GenerateMipmapsAfterWrite(raster, ext, written, level);
    } else {
        ext->lockedMipLevel = gxD3D9NOLOCKEDLEVEL;
    }
}

}  // namespace

GxBool GxD3D9RasterLock(void* out, void* inOut, GxInt32 in)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(out != nullptr && raster != nullptr && gxD3D9RasterExtOffset >= 0 && GxD3D9Device() != nullptr,
              "a lock needs a raster of the started driver and a place for its pixels");
    if (raster->pixels != nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    const GxUInt32 level = static_cast<GxUInt32>(in >> kLockLevelShift) & kLockFieldMask;
    const GxInt32 mode = in & kLockFieldMask;
    const DWORD flags =
        (mode & gxRASTERLOCKWRITE) ? D3DLOCK_NOSYSLOCK : D3DLOCK_NOSYSLOCK | D3DLOCK_READONLY | D3DLOCK_NO_DIRTY_UPDATE;
    GxBool locked = 0;
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        locked = LockTexture(raster, level, mode, flags);
        break;
    case gxRASTERTYPECAMERA:
    case gxRASTERTYPECAMERATEXTURE:
        locked = LockCamera(raster, level, mode, flags);
        break;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    if (locked) {
        *static_cast<GxUInt8**>(out) = raster->pixels;
    }
    return locked;
}

GxBool GxD3D9RasterUnlock(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0, "an unlock needs a raster of the driver");
    if (raster->pixels == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERNOTLOCKED);
        return 0;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        UnlockTexture(raster, ext);
        return 1;
    case gxRASTERTYPECAMERA:
    case gxRASTERTYPECAMERATEXTURE:
        UnlockCamera(raster, ext);
        return 1;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERNOTLOCKED);
        return 0;
    }
}
