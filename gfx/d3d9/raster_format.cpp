// Native rasters, formats: the format tables, the device's format checks and the choice of a format for a request.
#include <algorithm>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/d3d9/raster_local.h"

GxD3D9FormatInfoEntry GxD3D9FormatInfo[gxD3D9FORMATINFOSIZE];
GxD3D9RasterFormatInfoEntry GxD3D9RasterFormatInfo[gxD3D9RASTERFORMATINFOSIZE];

using namespace d3d9raster;

namespace {

// ---- device checks and format resolution at create ----

HRESULT CheckFormat(DWORD usage, D3DRESOURCETYPE type, GxUInt32 format)
{
    IDirect3D9* d3d = GxD3D9Direct3D();
    GX_ASSERT(d3d != nullptr, "format checks need the driver's Direct3D object");
    return d3d->CheckDeviceFormat(gxD3D9State.adapter, D3DDEVTYPE_HAL, DisplayFormat(), usage, type,
                                  static_cast<D3DFORMAT>(format));
}

GxBool DepthStencilMatch(GxUInt32 renderTarget, GxUInt32 depth)
{
    IDirect3D9* d3d = GxD3D9Direct3D();
    GX_ASSERT(d3d != nullptr, "format checks need the driver's Direct3D object");
    return SUCCEEDED(d3d->CheckDepthStencilMatch(gxD3D9State.adapter, D3DDEVTYPE_HAL, DisplayFormat(),
                                                 static_cast<D3DFORMAT>(renderTarget), static_cast<D3DFORMAT>(depth)));
}

GxBool CanAutoGenerate() { return (gxD3D9State.caps.Caps2 & D3DCAPS2_CANAUTOGENMIPMAP) != 0; }

GxInt32 HighestBit(GxInt32 value)
{
    GxInt32 bit = 1;
    while (value >= 2) {
        value >>= 1;
        bit <<= 1;
    }
    return value > 0 ? bit : 0;
}

bool ResolveTextureFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format)
{
    const GxInt32 nibble = PixelNibble(*format);
    // A 4-bit palette texture is refused whether or not a pixel format comes with it.
    if (*format & gxRASTERFORMATPAL4) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    const bool palettised = (*format & gxRASTERFORMATPAL8) != 0;
    const bool alphaPalettes = (gxD3D9State.caps.TextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0;
    if (palettised) {
        if (!GxD3D9CheckTextureFormat(D3DFMT_P8)) {
            return false;
        }
        if (nibble == 0) {
            *format |= alphaPalettes ? gxRASTERFORMAT8888 : gxRASTERFORMAT888;
        } else if (nibble != PixelNibble(gxRASTERFORMAT888) &&
                   !(nibble == PixelNibble(gxRASTERFORMAT8888) && alphaPalettes)) {
            return false;
        }
        raster->depth = 8;
        return true;
    }
    if (nibble == 0) {
        GxInt32 chosen = gxRASTERFORMAT1555;
        if (DisplayDepth() > 16 && GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8)) {
            chosen = gxRASTERFORMAT8888;
        } else if (GxD3D9CheckTextureFormat(D3DFMT_A4R4G4B4)) {
            chosen = gxRASTERFORMAT4444;
        }
        *format |= chosen;
    } else {
        const GxUInt32 d3dFormat = GxD3D9RasterFormatInfo[nibble].d3dFormat;
        const GxBool supported = GxD3D9IsDepthFormat(d3dFormat) ? GxD3D9CheckDepthTextureFormat(d3dFormat)
                                                                : GxD3D9CheckTextureFormat(d3dFormat);
        if (!supported) {
            return false;
        }
    }
    const GxD3D9RasterFormatInfoEntry& info = GxD3D9RasterFormatInfo[PixelNibble(*format)];
    raster->depth = info.depth;
    if ((*format & gxRASTERFORMATMIPMAP) && (*format & gxRASTERFORMATAUTOMIPMAP) &&
        GxD3D9CheckAutoMipmapFormat(info.d3dFormat)) {
        ext->automipmap |= gxD3D9RASTERAUTOMIPMAP;
    }
    return true;
}

bool ResolveZBufferFormat(GxRaster* raster, GxInt32* format)
{
    const GxInt32 wanted = GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT16 : gxRASTERFORMAT32;
    const GxInt32 given = *format & gxRASTERFORMATPIXELFORMATMASK;
    if (given != 0 && given != wanted) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    *format |= wanted;
    raster->depth = GxD3D9ZBufferDepth();
    return true;
}

bool ResolveCameraFormat(GxRaster* raster, GxInt32* format)
{
    const GxInt32 wanted = FormatInfo(BackBufferFormat()).rasterFormat;
    const GxInt32 given = *format & gxRASTERFORMATPIXELFORMATMASK;
    if (given != 0 && given != wanted) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    *format = (*format & ~gxRASTERFORMATPIXELFORMATMASK) | wanted;
    raster->depth = DisplayDepth();
    return true;
}

bool ResolveCameraTextureFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format)
{
    const GxInt32 nibble = PixelNibble(*format);
    if (nibble == 0) {
        GxInt32 chosen = gxRASTERFORMAT565;
        if (DisplayDepth() != 16 && GxD3D9CheckRenderTargetFormat(D3DFMT_X8R8G8B8)) {
            chosen = gxRASTERFORMAT888;
        }
        *format |= chosen;
    } else if (!GxD3D9CheckRenderTargetFormat(GxD3D9RasterFormatInfo[nibble].d3dFormat)) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
    const GxD3D9RasterFormatInfoEntry& info = GxD3D9RasterFormatInfo[PixelNibble(*format)];
    raster->depth = info.depth;
    if ((*format & gxRASTERFORMATMIPMAP) && (*format & gxRASTERFORMATAUTOMIPMAP) &&
        GxD3D9CheckAutoMipmapRenderTargetFormat(info.d3dFormat)) {
        ext->automipmap |= gxD3D9RASTERAUTOMIPMAP;
    }
    return true;
}

GxBool DepthCandidate(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format)) &&
           DepthStencilMatch(DisplayFormat(), format);
}

// ---- format choice ----

GxInt32 Fallback16() { return GxD3D9CheckTextureFormat(D3DFMT_A4R4G4B4) ? gxRASTERFORMAT4444 : gxRASTERFORMAT1555; }

GxBool AlphaPalettes() { return (gxD3D9State.caps.TextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0; }

GxInt32 ChooseDefaultTextureFormat(GxInt32 format)
{
    if (format & gxRASTERFORMATPAL8) {
        if (GxD3D9CheckTextureFormat(D3DFMT_P8)) {
            return format | (AlphaPalettes() ? gxRASTERFORMAT8888 : gxRASTERFORMAT888);
        }
        format &= ~gxRASTERFORMATPAL8;
    }
    return format | (GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : Fallback16());
}

// A palettised request the device can not keep becomes the nearest plain format.
GxInt32 ChoosePaletteFallback(GxInt32 pixel)
{
    const bool deep = DisplayDepth() > 16;
    if (pixel == gxRASTERFORMAT888) {
        return (deep && GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8)) ? gxRASTERFORMAT888 : gxRASTERFORMAT565;
    }
    if (!deep) {
        return Fallback16();
    }
    return GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : Fallback16();
}

GxInt32 ChooseGivenTextureFormat(GxInt32 format)
{
    if (format & gxRASTERFORMATPAL4) {
        format = (format & ~gxRASTERFORMATPAL4) | gxRASTERFORMATPAL8;
    }
    const GxInt32 pixel = format & gxRASTERFORMATPIXELFORMATMASK;
    const GxInt32 others = format & ~gxRASTERFORMATPIXELFORMATMASK;
    if (format & gxRASTERFORMATPAL8) {
        if (GxD3D9CheckTextureFormat(D3DFMT_P8) && (pixel != gxRASTERFORMAT8888 || AlphaPalettes())) {
            return format;
        }
        return (others & ~gxRASTERFORMATPAL8) | ChoosePaletteFallback(pixel);
    }
    switch (pixel) {
    case gxRASTERFORMAT8888:
        return others | (GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : Fallback16());
    case gxRASTERFORMAT888:
        return others | (GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8) ? gxRASTERFORMAT888 : gxRASTERFORMAT565);
    case gxRASTERFORMAT4444:
        return others | Fallback16();
    case gxRASTERFORMATLUM8:
        if (GxD3D9CheckTextureFormat(D3DFMT_L8)) {
            return format;
        }
        return others | (GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8) ? gxRASTERFORMAT888 : gxRASTERFORMAT565);
    default:
        return format;
    }
}

// Camera textures follow the z-buffer's depth: a 32-bit request is narrowed with a 16-bit one, a 16-bit request
// widened with a 32-bit one.
GxInt32 ChooseCameraTextureFormat(GxInt32 pixel)
{
    const bool shallow = GxD3D9ZBufferDepth() == 16;
    if (pixel == 0) {
        return (!shallow && GxD3D9CheckRenderTargetFormat(D3DFMT_X8R8G8B8)) ? gxRASTERFORMAT888 : gxRASTERFORMAT565;
    }
    GxInt32 chosen = pixel;
    if (shallow) {
        if (pixel == gxRASTERFORMAT8888) {
            chosen = gxRASTERFORMAT4444;
        } else if (GxD3D9RasterFormatInfo[PixelNibble(pixel)].depth == 32) {
            chosen = gxRASTERFORMAT565;
        }
        if (chosen == gxRASTERFORMAT4444 && !GxD3D9CheckRenderTargetFormat(D3DFMT_A4R4G4B4)) {
            chosen = gxRASTERFORMAT1555;
        }
        if (chosen == gxRASTERFORMAT1555 && !GxD3D9CheckRenderTargetFormat(D3DFMT_A1R5G5B5)) {
            chosen = gxRASTERFORMAT565;
        }
        return chosen;
    }
    if (pixel == gxRASTERFORMAT4444 || pixel == gxRASTERFORMAT1555) {
        chosen = gxRASTERFORMAT8888;
    } else if (GxD3D9RasterFormatInfo[PixelNibble(pixel)].depth == 16) {
        chosen = gxRASTERFORMAT888;
    }
    if (chosen == gxRASTERFORMAT8888 && !GxD3D9CheckRenderTargetFormat(D3DFMT_A8R8G8B8)) {
        chosen = gxRASTERFORMAT888;
    }
    return chosen;
}

}  // namespace

namespace d3d9raster {

const GxD3D9FormatInfoEntry& FormatInfo(GxUInt32 format)
{
    static const GxD3D9FormatInfoEntry none = {0, 0, 0};
    return format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE) ? GxD3D9FormatInfo[format] : none;
}

// Automatic mipmaps count only for an exact D3D_OK: D3DOK_NOAUTOGEN is a success that generates nothing.
GxBool CheckAutoMipmap(DWORD usage, D3DRESOURCETYPE type, GxUInt32 format)
{
    return CanAutoGenerate() && CheckFormat(usage | D3DUSAGE_AUTOGENMIPMAP, type, format) == D3D_OK;
}

void FillTables()
{
    std::memset(GxD3D9FormatInfo, 0, sizeof(GxD3D9FormatInfo));
    struct Row {
        GxUInt32 format;
        GxUInt8 alpha;
        GxUInt8 depth;
        GxInt32 rasterFormat;
    };
    static const Row rows[] = {
        {D3DFMT_R8G8B8, 0, 24, gxRASTERFORMATDEFAULT},
        {D3DFMT_A8R8G8B8, 1, 32, gxRASTERFORMAT8888},
        {D3DFMT_X8R8G8B8, 0, 32, gxRASTERFORMAT888},
        {D3DFMT_R5G6B5, 0, 16, gxRASTERFORMAT565},
        {D3DFMT_X1R5G5B5, 0, 16, gxRASTERFORMAT555},
        {D3DFMT_A1R5G5B5, 1, 16, gxRASTERFORMAT1555},
        {D3DFMT_A4R4G4B4, 1, 16, gxRASTERFORMAT4444},
        {D3DFMT_R3G3B2, 0, 8, gxRASTERFORMATDEFAULT},
        {D3DFMT_A8, 1, 8, gxRASTERFORMATDEFAULT},
        {D3DFMT_A8R3G3B2, 1, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_X4R4G4B4, 0, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_A2B10G10R10, 1, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_A8B8G8R8, 1, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_X8B8G8R8, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_G16R16, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_A2R10G10B10, 1, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_A16B16G16R16, 1, 64, gxRASTERFORMATDEFAULT},
        {D3DFMT_A8P8, 1, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_P8, 0, 8, gxRASTERFORMATPAL8},
        {D3DFMT_L8, 0, 8, gxRASTERFORMATLUM8},
        {D3DFMT_A8L8, 1, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_A4L4, 1, 8, gxRASTERFORMATDEFAULT},
        {D3DFMT_V8U8, 0, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_L6V5U5, 0, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_X8L8V8U8, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_Q8W8V8U8, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_V16U16, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_A2W10V10U10, 1, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_D16_LOCKABLE, 0, 16, gxRASTERFORMAT16},
        {D3DFMT_D32, 0, 32, gxRASTERFORMAT32},
        {D3DFMT_D15S1, 0, 16, gxRASTERFORMAT16},
        {D3DFMT_D24S8, 0, 32, gxRASTERFORMAT32},
        {D3DFMT_D24X8, 0, 32, gxRASTERFORMAT32},
        {D3DFMT_D24X4S4, 0, 32, gxRASTERFORMAT32},
        {D3DFMT_D16, 0, 16, gxRASTERFORMAT16},
        {D3DFMT_L16, 0, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_D32F_LOCKABLE, 0, 32, gxRASTERFORMAT32},
        {D3DFMT_D24FS8, 0, 32, gxRASTERFORMAT32},
        {D3DFMT_Q16W16V16U16, 0, 64, gxRASTERFORMATDEFAULT},
        {D3DFMT_R16F, 0, 16, gxRASTERFORMATDEFAULT},
        {D3DFMT_G16R16F, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_A16B16G16R16F, 1, 64, gxRASTERFORMATDEFAULT},
        {D3DFMT_R32F, 0, 32, gxRASTERFORMATDEFAULT},
        {D3DFMT_G32R32F, 0, 64, gxRASTERFORMATDEFAULT},
        {D3DFMT_A32B32G32R32F, 1, 128, gxRASTERFORMATDEFAULT},
        {D3DFMT_CxV8U8, 0, 16, gxRASTERFORMATDEFAULT},
    };
    for (const Row& row : rows) {
        GxD3D9FormatInfo[row.format] = {row.alpha, row.depth, static_cast<GxUInt16>(row.rasterFormat)};
    }
    std::memset(GxD3D9RasterFormatInfo, 0, sizeof(GxD3D9RasterFormatInfo));
    static const struct {
        GxInt32 rasterFormat;
        GxD3D9RasterFormatInfoEntry entry;
    } pixelFormats[] = {
        {gxRASTERFORMAT1555, {D3DFMT_A1R5G5B5, 16, 1}}, {gxRASTERFORMAT565, {D3DFMT_R5G6B5, 16, 0}},
        {gxRASTERFORMAT4444, {D3DFMT_A4R4G4B4, 16, 1}}, {gxRASTERFORMATLUM8, {D3DFMT_L8, 8, 0}},
        {gxRASTERFORMAT8888, {D3DFMT_A8R8G8B8, 32, 1}}, {gxRASTERFORMAT888, {D3DFMT_X8R8G8B8, 32, 0}},
        {gxRASTERFORMAT16, {D3DFMT_D16, 16, 0}},        {gxRASTERFORMAT24, {D3DFMT_D24X8, 32, 0}},
        {gxRASTERFORMAT32, {D3DFMT_D32, 32, 0}},        {gxRASTERFORMAT555, {D3DFMT_X1R5G5B5, 16, 0}},
    };
    for (const auto& row : pixelFormats) {
        GxD3D9RasterFormatInfo[PixelNibble(row.rasterFormat)] = row.entry;
    }
}

bool ResolveFormat(GxRaster* raster, GxD3D9RasterExt* ext, GxInt32* format)
{
    switch (raster->type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return ResolveTextureFormat(raster, ext, format);
    case gxRASTERTYPEZBUFFER:
        return ResolveZBufferFormat(raster, format);
    case gxRASTERTYPECAMERA:
        return ResolveCameraFormat(raster, format);
    case gxRASTERTYPECAMERATEXTURE:
        return ResolveCameraTextureFormat(raster, ext, format);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return false;
    }
}

GxUInt32 ChooseDepthFormat()
{
    if (GxD3D9ZBufferDepth() == 16) {
        return DepthCandidate(D3DFMT_D15S1) ? D3DFMT_D15S1 : D3DFMT_D16;
    }
    static const GxUInt32 candidates[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
    for (GxUInt32 candidate : candidates) {
        if (DepthCandidate(candidate)) {
            return candidate;
        }
    }
    return D3DFMT_D24X8;
}

}  // namespace d3d9raster

GxBool GxD3D9IsDepthFormat(GxUInt32 format) { return format >= D3DFMT_D16_LOCKABLE && format <= D3DFMT_D16; }

GxBool GxD3D9IsDXTFormat(GxUInt32 format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

GxBool GxD3D9RasterIsCompressed(const GxRaster* raster)
{
    return GxD3D9RasterExtIsCompressed(GxD3D9RASTEREXTFromConstRaster(raster)) ? 1 : 0;
}

GxInt32 GxD3D9ZBufferDepth(void)
{
    switch (gxD3D9State.depthStencilFormat) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
        return 16;
    case D3DFMT_UNKNOWN:
        return gxD3D9State.backBufferDepth == 16 ? 16 : 32;
    default:
        return 32;
    }
}

GxBool GxD3D9CheckTextureFormat(GxUInt32 format) { return SUCCEEDED(CheckFormat(0, D3DRTYPE_TEXTURE, format)); }

GxBool GxD3D9CheckRenderTargetFormat(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format)) &&
           DepthStencilMatch(format, gxD3D9State.depthStencilFormat);
}

GxBool GxD3D9CheckDepthTextureFormat(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_TEXTURE, format)) &&
           DepthStencilMatch(DisplayFormat(), format);
}

GxBool GxD3D9CheckCubeTextureFormat(GxUInt32 format) { return SUCCEEDED(CheckFormat(0, D3DRTYPE_CUBETEXTURE, format)); }

GxBool GxD3D9CheckRenderTargetCubeFormat(GxUInt32 format)
{
    return SUCCEEDED(CheckFormat(D3DUSAGE_RENDERTARGET, D3DRTYPE_CUBETEXTURE, format)) &&
           DepthStencilMatch(format, gxD3D9State.depthStencilFormat);
}

GxBool GxD3D9CheckAutoMipmapFormat(GxUInt32 format) { return CheckAutoMipmap(0, D3DRTYPE_TEXTURE, format); }

GxBool GxD3D9CheckAutoMipmapRenderTargetFormat(GxUInt32 format)
{
    return CheckAutoMipmap(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format);
}

GxBool GxD3D9CheckAutoMipmapCubeFormat(GxUInt32 format) { return CheckAutoMipmap(0, D3DRTYPE_CUBETEXTURE, format); }

void GxD3D9RasterClampSize(GxInt32* width, GxInt32* height, GxInt32 formatAndType)
{
    const D3DCAPS9& caps = gxD3D9State.caps;
    *width = std::min<GxInt32>(*width, static_cast<GxInt32>(caps.MaxTextureWidth));
    *height = std::min<GxInt32>(*height, static_cast<GxInt32>(caps.MaxTextureHeight));
    const bool pow2 = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    const bool mipmapped = (formatAndType & gxRASTERFORMATMIPMAP) != 0;
    const bool normal = (formatAndType & gxRASTERTYPEMASK) == gxRASTERTYPENORMAL;
    const bool reduce = (normal || !mipmapped) ? (pow2 && !conditional) : pow2;
    if (reduce) {
        *width = HighestBit(*width);
        *height = HighestBit(*height);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) {
        const GxInt32 side = std::min(*width, *height);
        *width = side;
        *height = side;
    }
}

GxInt32 GxD3D9RasterChooseFormat(GxInt32 type, GxInt32 flags)
{
    const GxInt32 format = flags & gxRASTERFORMATMASK;
    const GxInt32 pixel = format & gxRASTERFORMATPIXELFORMATMASK;
    const GxInt32 rest = format & ~gxRASTERFORMATPIXELFORMATMASK;
    switch (type) {
    case gxRASTERTYPENORMAL:
    case gxRASTERTYPETEXTURE:
        return pixel == 0 ? ChooseDefaultTextureFormat(format) : ChooseGivenTextureFormat(format);
    case gxRASTERTYPEZBUFFER:
        if (pixel != 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
            return format;
        }
        return rest | (GxD3D9ZBufferDepth() == 16 ? gxRASTERFORMAT16 : gxRASTERFORMAT32);
    case gxRASTERTYPECAMERA:
        if (pixel != 0) {
            GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
            return format;
        }
        return rest | FormatInfo(BackBufferFormat()).rasterFormat;
    case gxRASTERTYPECAMERATEXTURE:
        return rest | ChooseCameraTextureFormat(pixel);
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return format;
    }
}

GxBool GxD3D9RasterSetFormat(GxRaster* raster, GxInt32 flags)
{
    const GxInt32 chosen = GxD3D9RasterChooseFormat(flags & gxRASTERTYPEMASK, flags);
    raster->type = static_cast<GxUInt8>(flags & gxRASTERTYPEMASK);
    raster->flags = static_cast<GxUInt8>(flags & gxD3D9RASTERFLAGSMASK);
    raster->format = static_cast<GxUInt8>(chosen >> 8);
    raster->depth = GxD3D9RasterFormatInfo[PixelNibble(chosen)].depth;
    return 1;
}
