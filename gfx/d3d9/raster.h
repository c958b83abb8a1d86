// Native rasters of the Direct3D 9 driver: the raster extension, the format tables and the raster operations.
#pragma once

#include "gfx/core/raster.h"
#include "gfx/d3d9/d3d9_local.h"

struct GxTexture;

constexpr GxUInt32 gxPLUGIND3D9RASTER = 0x40C;

// 256 Direct3D palette entries and the device palette number they are sent to.
struct GxD3D9PaletteBlock {
    PALETTEENTRY entries[256];
    GxUInt32 paletteNumber;
};

// The driver's extension of every raster.
struct GxD3D9RasterExt {
    // Textures and cube textures are kept as IDirect3DBaseTexture9*, depth-stencil surfaces and
    // swap-chain back buffers as IDirect3DSurface9*; the raster's type says which.
    void* texture;
    GxD3D9PaletteBlock* palette;       // null when not palettised
    GxUInt8 alpha;                     // 1 when the pixels carry alpha
    GxUInt8 cube;                      // low nibble 1: cube texture; high nibble: face of the next lock
    GxUInt8 automipmap;                // low nibble 1: device makes the mip levels; high nibble 1: DXT
    GxUInt8 lockedMipLevel;            // 0xFF: none
    IDirect3DSurface9* lockedSurface;  // level surface, or the system-memory copy for camera rasters
    GxInt32 lockedPitch;
    void* lockedBits;
    GxUInt32 d3dFormat;              // D3DFORMAT of the device object
    IDirect3DSwapChain9* swapChain;  // own swap chain of a camera shown in a window of its own
    HWND window;
};

// Bits of GxD3D9RasterExt::cube: the low nibble marks a cube texture, the high nibble holds the face
// the next lock takes.
constexpr GxUInt8 gxD3D9RASTERCUBE = 0x01;
constexpr GxUInt8 gxD3D9RASTERCUBEMASK = 0x0F;
constexpr GxUInt32 gxD3D9RASTERFACESHIFT = 4;
// Bits of GxD3D9RasterExt::automipmap: the low nibble when the device builds the mip levels, the high
// nibble for DXT blocks.
constexpr GxUInt8 gxD3D9RASTERAUTOMIPMAP = 0x01;
constexpr GxUInt8 gxD3D9RASTERAUTOMIPMAPMASK = 0x0F;
constexpr GxUInt8 gxD3D9RASTERCOMPRESSED = 0x10;
constexpr GxUInt8 gxD3D9RASTERCOMPRESSEDMASK = 0xF0;
// GxD3D9RasterExt::lockedMipLevel while no level is locked.
constexpr GxUInt8 gxD3D9NOLOCKEDLEVEL = 0xFF;

inline bool GxD3D9RasterExtIsCube(const GxD3D9RasterExt* ext) { return (ext->cube & gxD3D9RASTERCUBEMASK) != 0; }
inline bool GxD3D9RasterExtIsCompressed(const GxD3D9RasterExt* ext)
{
    return (ext->automipmap & gxD3D9RASTERCOMPRESSEDMASK) != 0;
}
inline bool GxD3D9RasterExtAutoMipmaps(const GxD3D9RasterExt* ext)
{
    return (ext->automipmap & gxD3D9RASTERAUTOMIPMAPMASK) != 0;
}
constexpr GxUInt32 gxD3D9CUBEFACES = 6;
// The cube face the next lock takes.
inline GxUInt32 GxD3D9RasterExtFace(const GxD3D9RasterExt* ext)
{
    return (ext->cube >> gxD3D9RASTERFACESHIFT) % gxD3D9CUBEFACES;
}
// Points the next lock at a cube face.
inline void GxD3D9RasterExtSetFace(GxD3D9RasterExt* ext, GxUInt32 face)
{
    ext->cube = static_cast<GxUInt8>((ext->cube & gxD3D9RASTERCUBEMASK) | (face << gxD3D9RASTERFACESHIFT));
}

// Replaces the pixel format of a raster's format word and keeps its other bits.
inline void GxD3D9RasterSetPixelFormat(GxRaster* raster, GxInt32 pixelFormat)
{
    const GxInt32 format =
        (GxRasterGetFormat(raster) & ~gxRASTERFORMATPIXELFORMATMASK) | (pixelFormat & gxRASTERFORMATPIXELFORMATMASK);
    raster->format = static_cast<GxUInt8>(format >> 8);
}

// Direct3D format -> raster terms (entries 0-127).
struct GxD3D9FormatInfoEntry {
    GxUInt8 alpha;
    GxUInt8 depth;
    GxUInt16 rasterFormat;
};

// Pixel-format nibble -> Direct3D terms (entries 0-15).
struct GxD3D9RasterFormatInfoEntry {
    GxUInt32 d3dFormat;
    GxUInt8 depth;
    GxUInt8 alpha;
};

constexpr GxInt32 gxD3D9FORMATINFOSIZE = 128;
constexpr GxInt32 gxD3D9RASTERFORMATINFOSIZE = 16;
extern GxD3D9FormatInfoEntry GxD3D9FormatInfo[gxD3D9FORMATINFOSIZE];
extern GxD3D9RasterFormatInfoEntry GxD3D9RasterFormatInfo[gxD3D9RASTERFORMATINFOSIZE];

// Offset of the extension inside a raster (-1 before the plugin is attached).
extern GxInt32 gxD3D9RasterExtOffset;
#define GxD3D9RASTEREXTFromRaster(raster) \
    (reinterpret_cast<GxD3D9RasterExt*>(reinterpret_cast<char*>(raster) + gxD3D9RasterExtOffset))
#define GxD3D9RASTEREXTFromConstRaster(raster) \
    (reinterpret_cast<const GxD3D9RasterExt*>(reinterpret_cast<const char*>(raster) + gxD3D9RasterExtOffset))

// The device objects behind a raster (null when it has none of that kind).
IDirect3DBaseTexture9* GxD3D9RasterGetBaseTexture(const GxRaster* raster);
IDirect3DTexture9* GxD3D9RasterGetTexture(const GxRaster* raster);
IDirect3DCubeTexture9* GxD3D9RasterGetCubeTexture(const GxRaster* raster);
IDirect3DSurface9* GxD3D9RasterGetSurface(const GxRaster* raster);

// True for the depth-stencil codes, D3DFMT_D16_LOCKABLE to D3DFMT_D16.
GxBool GxD3D9IsDepthFormat(GxUInt32 format);
// True for the five DXT codes only.
GxBool GxD3D9IsDXTFormat(GxUInt32 format);
// 1 when the raster's extension carries the compression flag (DXT1 to DXT5 rasters), else 0.
GxBool GxD3D9RasterIsCompressed(const GxRaster* raster);
// The z-buffer depth the device runs with: 16 or 32.
GxInt32 GxD3D9ZBufferDepth(void);

// Device-capability checks on the adapter's display format.
GxBool GxD3D9CheckTextureFormat(GxUInt32 format);
GxBool GxD3D9CheckRenderTargetFormat(GxUInt32 format);
GxBool GxD3D9CheckDepthTextureFormat(GxUInt32 format);
GxBool GxD3D9CheckCubeTextureFormat(GxUInt32 format);
GxBool GxD3D9CheckRenderTargetCubeFormat(GxUInt32 format);
GxBool GxD3D9CheckAutoMipmapFormat(GxUInt32 format);
GxBool GxD3D9CheckAutoMipmapRenderTargetFormat(GxUInt32 format);
GxBool GxD3D9CheckAutoMipmapCubeFormat(GxUInt32 format);

// Format bits of the request with the pixel format the device supports (raises gxERRINVALIDRASTER for bad types).
GxInt32 GxD3D9RasterChooseFormat(GxInt32 type, GxInt32 flags);
GxBool GxD3D9RasterSetFormat(GxRaster* raster, GxInt32 flags);
// Fits a texture size to the device: maximum size, power-of-two and square-only rules. Sizes never grow.
void GxD3D9RasterClampSize(GxInt32* width, GxInt32* height, GxInt32 formatAndType);
// Makes the device texture of a raster's size, a cube texture when the extension marks one, and keeps it in
// the extension. Rasters created without pixels use it to get a texture in a Direct3D format of their own.
HRESULT GxD3D9RasterMakeTexture(GxRaster* raster, GxUInt32 levels, DWORD usage, GxUInt32 format, D3DPOOL pool);
GxRaster* GxD3D9RasterCreateFromD3DFormat(GxInt32 width, GxInt32 height, GxUInt32 format, GxInt32 flags);
GxBool GxD3D9TextureHasAlpha(const GxTexture* texture);
GxBool GxD3D9RasterIsCubeTexture(const GxRaster* raster);
// Makes a texture-like raster (texture, cube or camera texture, palettised or not) mipmapped with device-built
// levels: level 0 goes through a 32-bit image into a raster re-created in the 32- or 16-bit format the display and
// device allow. Null when the raster is locked, of another type, or can not be read or re-created.
GxRaster* GxD3D9RasterConvertToMipmapped(GxRaster* raster);
// Expands a palettised texture raster in place to true colour (8888, or 888 for an opaque palette), every mip level
// through its palette, and gives its palette back. Null, raster unchanged, when it is not an unlocked palettised 2D
// texture or the device cannot hold the result.
GxRaster* GxD3D9RasterConvertFromPalette(GxRaster* raster);

// Builds the lower mip levels of an automatic-mipmap raster through the texture module's generation.
GxBool GxD3D9RasterGenerateMipmaps(GxRaster* raster);
