// Native rasters, palettes: the palette blocks of palettised textures, their device palette numbers, palette locks,
// and the conversion of a palettised texture to true colour.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/raster_local.h"
#include "gfx/d3d9/renderstate.h"

using namespace d3d9raster;

namespace {

constexpr GxUInt32 kPaletteStackHint = gxMEMHINTFLAGRESIZEABLE | gxMEMHINTDUROBJECT | gxD3D9MEMHINTDRIVER;
constexpr GxInt32 kPaletteBlocksPerBlock = 64;
constexpr GxInt32 kPaletteStackGrowth = 512;
// Palette numbers are stored as 16-bit values on the free stack.
constexpr GxUInt32 kMaxPaletteNumber = 0xFFFF;

struct PaletteState {
    GxFreeList* blocks;
    GxUInt16* freeNumbers;
    GxInt32 numFreeNumbers;
    GxInt32 freeNumbersCapacity;
    GxUInt32 nextPaletteNumber;
};

PaletteState paletteState = {};

constexpr GxUInt32 kTrueColourBytes = 4;
constexpr GxUInt8 kOpaqueAlpha = 0xFF;

// The true-colour format a palettised raster becomes: opaque 888 for an opaque palette, else 8888.
GxInt32 TrueColourOf(const GxRaster* raster)
{
    const GxInt32 base = GxRasterGetFormat(raster) & gxRASTERFORMATPIXELFORMATMASK;
    return base == gxRASTERFORMAT888 ? gxRASTERFORMAT888 : gxRASTERFORMAT8888;
}

// Writes one level of indices as Direct3D colours (blue, green, red, alpha bytes) through the palette.
HRESULT ExpandLevel(IDirect3DTexture9* from, IDirect3DTexture9* to, UINT level, const PALETTEENTRY* entries, bool alpha)
{
    D3DSURFACE_DESC desc = {};
    HRESULT hr = from->GetLevelDesc(level, &desc);
    D3DLOCKED_RECT in = {};
    if (SUCCEEDED(hr)) {
        hr = from->LockRect(level, &in, nullptr, D3DLOCK_READONLY);
    }
    if (FAILED(hr)) {
        return hr;
    }
    D3DLOCKED_RECT out = {};
    hr = to->LockRect(level, &out, nullptr, 0);
    if (SUCCEEDED(hr)) {
        for (UINT y = 0; y < desc.Height; y++) {
            const auto* index = static_cast<const GxUInt8*>(in.pBits) + static_cast<size_t>(y) * in.Pitch;
            GxUInt8* pixel = static_cast<GxUInt8*>(out.pBits) + static_cast<size_t>(y) * out.Pitch;
            for (UINT x = 0; x < desc.Width; x++, pixel += kTrueColourBytes) {
                const PALETTEENTRY& entry = entries[index[x]];
                pixel[0] = entry.peBlue;
                pixel[1] = entry.peGreen;
                pixel[2] = entry.peRed;
                pixel[3] = alpha ? entry.peFlags : kOpaqueAlpha;
            }
        }
        to->UnlockRect(level);
    }
    from->UnlockRect(level);
    return hr;
}

// A new texture of every level of `from`, in the true-colour format; null when it cannot be made or filled.
IDirect3DTexture9* ExpandTexture(IDirect3DTexture9* from, const PALETTEENTRY* entries, GxInt32 pixelFormat)
{
    D3DSURFACE_DESC desc = {};
    IDirect3DTexture9* to = nullptr;
    const UINT levels = from->GetLevelCount();
    const D3DFORMAT format = static_cast<D3DFORMAT>(GxD3D9RasterFormatInfo[PixelNibble(pixelFormat)].d3dFormat);
    if (FAILED(from->GetLevelDesc(0, &desc)) ||
        FAILED(
            GxD3D9Device()->CreateTexture(desc.Width, desc.Height, levels, 0, format, D3DPOOL_MANAGED, &to, nullptr))) {
        return nullptr;
    }
    const bool alpha = pixelFormat == gxRASTERFORMAT8888;
    for (UINT level = 0; level < levels; level++) {
        if (FAILED(ExpandLevel(from, to, level, entries, alpha))) {
            to->Release();
            return nullptr;
        }
    }
    return to;
}

}  // namespace

namespace d3d9raster {

GxD3D9PaletteBlock* PaletteBlockTake()
{
    if (paletteState.blocks == nullptr) {
        paletteState.blocks = GxFreeListCreate(sizeof(GxD3D9PaletteBlock), kPaletteBlocksPerBlock,
                                               alignof(GxD3D9PaletteBlock), gxD3D9RASTERLISTHINT);
        if (paletteState.blocks == nullptr) {
            return nullptr;
        }
    }
    auto* block = static_cast<GxD3D9PaletteBlock*>(GxFreeListAllocEntry(paletteState.blocks, gxD3D9RASTERLISTHINT));
    if (block == nullptr) {
        return nullptr;
    }
    GxUInt32 number = 0;
    if (paletteState.numFreeNumbers > 0) {
        number = paletteState.freeNumbers[--paletteState.numFreeNumbers];
    } else if (paletteState.nextPaletteNumber <= kMaxPaletteNumber) {
        number = paletteState.nextPaletteNumber++;
    } else {
        GxFreeListFreeEntry(paletteState.blocks, block);
        return nullptr;
    }
    std::memset(block->entries, 0, sizeof(block->entries));
    block->paletteNumber = number;
    return block;
}

void PaletteBlockGiveBack(GxD3D9PaletteBlock* block)
{
    if (paletteState.numFreeNumbers >= paletteState.freeNumbersCapacity) {
        const GxInt32 capacity = paletteState.freeNumbersCapacity + kPaletteStackGrowth;
        const size_t bytes = static_cast<size_t>(capacity) * sizeof(GxUInt16);
        void* grown = paletteState.freeNumbers ? GxRealloc(paletteState.freeNumbers, bytes, kPaletteStackHint)
                                               : GxMalloc(bytes, kPaletteStackHint);
        if (grown != nullptr) {
            paletteState.freeNumbers = static_cast<GxUInt16*>(grown);
            paletteState.freeNumbersCapacity = capacity;
        }
    }
    // Without room the number is simply never reused.
    if (paletteState.numFreeNumbers < paletteState.freeNumbersCapacity) {
        paletteState.freeNumbers[paletteState.numFreeNumbers++] = static_cast<GxUInt16>(block->paletteNumber);
    }
    GxFreeListFreeEntry(paletteState.blocks, block);
}

void PaletteBlocksClose()
{
    if (paletteState.blocks != nullptr) {
        GxFreeListDestroy(paletteState.blocks);
    }
    if (paletteState.freeNumbers != nullptr) {
        GxFree(paletteState.freeNumbers);
    }
    paletteState = {};
}

}  // namespace d3d9raster

GxBool GxD3D9RasterLockPalette(void* out, void* inOut, GxInt32 in)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(out != nullptr && raster != nullptr && gxD3D9RasterExtOffset >= 0,
              "a palette lock needs a raster of the driver and a place for its palette");
    const GxInt32 type = raster->type;
    if (!TextureType(type)) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERLOCK);
        return 0;
    }
    // A raster without a palette hands out none.
    GxD3D9PaletteBlock* block = Ext(TopRaster(raster))->palette;
    raster->palette = block != nullptr ? reinterpret_cast<GxUInt8*>(block->entries) : nullptr;
    raster->privateFlags |= gxRASTERPALETTELOCKEDREAD;
    if (in & gxRASTERLOCKWRITE) {
        raster->privateFlags |= gxRASTERPALETTELOCKEDWRITE;
    }
    *static_cast<GxUInt8**>(out) = raster->palette;
    return 1;
}

GxBool GxD3D9RasterUnlockPalette(void* /*out*/, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0, "a palette unlock needs a raster of the driver");
    const GxInt32 type = raster->type;
    if (!TextureType(type)) {
        GxErrorRaise(gxPLUGINCORE, gxERRRASTERNOTLOCKED);
        return 0;
    }
    GxD3D9PaletteBlock* block = Ext(TopRaster(raster))->palette;
    // A raster without a palette has nothing to send, however it was locked.
    if ((raster->privateFlags & gxRASTERPALETTELOCKEDWRITE) && block != nullptr) {
        GX_ASSERT(GxD3D9Device() != nullptr, "a palette exists only on a started device");
        GxD3D9Device()->SetPaletteEntries(block->paletteNumber, block->entries);
    }
    raster->palette = nullptr;
    raster->privateFlags &= static_cast<GxUInt8>(~gxRASTERPALETTELOCKED);
    return 1;
}

GxRaster* GxD3D9RasterConvertFromPalette(GxRaster* raster)
{
    // Only a whole, unlocked, palettised 2D texture has indices to expand.
    GX_ASSERT(raster != nullptr && gxD3D9RasterExtOffset >= 0 && GxD3D9Device() != nullptr,
              "a conversion needs a raster of the started driver");
    GX_ASSERT(raster->parent == raster && TextureType(raster->type) && raster->pixels == nullptr &&
                  raster->palette == nullptr,
              "only a whole, unlocked texture is converted");
    GxD3D9RasterExt* ext = Ext(raster);
    IDirect3DTexture9* indexed = GxD3D9RasterGetTexture(raster);
    GX_ASSERT(ext->palette != nullptr && indexed != nullptr, "only a palettised texture is converted");
    const GxInt32 pixelFormat = TrueColourOf(raster);
    const GxUInt32 d3dFormat = GxD3D9RasterFormatInfo[PixelNibble(pixelFormat)].d3dFormat;
    IDirect3DTexture9* expanded =
        GxD3D9CheckTextureFormat(d3dFormat) ? ExpandTexture(indexed, ext->palette->entries, pixelFormat) : nullptr;
    if (expanded == nullptr) {
        return nullptr;
    }
    // No stage may keep the indexed texture bound, and a true-colour texture has no palette to send after a reset.
    GxD3D9TextureRasterForget(raster);
    ListRemove(raster);
    PaletteBlockGiveBack(ext->palette);
    ext->palette = nullptr;
    ReleaseTexture(ext);
    ext->texture = static_cast<IDirect3DBaseTexture9*>(expanded);
    ext->d3dFormat = d3dFormat;
    ext->alpha = pixelFormat == gxRASTERFORMAT8888 ? 1 : 0;
    const GxInt32 format = GxRasterGetFormat(raster) & ~(gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4);
    raster->format = static_cast<GxUInt8>(format >> 8);
    GxD3D9RasterSetPixelFormat(raster, pixelFormat);
    raster->depth = static_cast<GxInt32>(kTrueColourBytes * 8);
    return raster;
}
