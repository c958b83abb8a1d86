// Pixel format conversion between system-memory images and native rasters, and single-colour packing.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/pixelconv.h"
#include "gfx/d3d9/raster.h"

namespace {

typedef GxUInt32 (*PackFunc)(const GxRGBA& c);
typedef GxRGBA (*UnpackFunc)(GxUInt32 p);

GxUInt8 B(GxUInt32 v) { return static_cast<GxUInt8>(v & 0xFF); }
GxRGBA Rgba(GxUInt32 r, GxUInt32 g, GxUInt32 b, GxUInt32 a) { return GxRGBA{B(r), B(g), B(b), B(a)}; }
GxUInt32 Lum(const GxRGBA& c) { return (30u * c.red + 59u * c.green + 11u * c.blue) / 100u; }

// ---- pack rules ----

GxUInt32 PackA8R8G8B8(const GxRGBA& c)
{
    return static_cast<GxUInt32>(c.alpha) << 24 | static_cast<GxUInt32>(c.red) << 16 |
           static_cast<GxUInt32>(c.green) << 8 | c.blue;
}
GxUInt32 PackX8R8G8B8(const GxRGBA& c) { return 0xFF000000u | (PackA8R8G8B8(c) & 0xFFFFFFu); }
GxUInt32 PackR5G6B5(const GxRGBA& c) { return (c.red & 0xF8u) << 8 | (c.green & 0xFCu) << 3 | c.blue >> 3; }
GxUInt32 PackX1R5G5B5(const GxRGBA& c) { return (c.red & 0xF8u) << 7 | (c.green & 0xF8u) << 2 | c.blue >> 3; }
GxUInt32 PackA1R5G5B5(const GxRGBA& c) { return (c.alpha & 0x80u) << 8 | PackX1R5G5B5(c); }
GxUInt32 PackA4R4G4B4(const GxRGBA& c)
{
    return (c.alpha & 0xF0u) << 8 | (c.red & 0xF0u) << 4 | (c.green & 0xF0u) | c.blue >> 4;
}
GxUInt32 PackX4R4G4B4(const GxRGBA& c) { return 0xF000u | (PackA4R4G4B4(c) & 0x0FFFu); }
GxUInt32 PackA8R3G3B2(const GxRGBA& c)
{
    return static_cast<GxUInt32>(c.alpha) << 8 | (c.red & 0xE0u) | (c.green & 0xE0u) >> 3 | c.blue >> 6;
}
GxUInt32 PackA8B8G8R8(const GxRGBA& c)
{
    return static_cast<GxUInt32>(c.alpha) << 24 | static_cast<GxUInt32>(c.blue) << 16 |
           static_cast<GxUInt32>(c.green) << 8 | c.red;
}
GxUInt32 PackX8B8G8R8(const GxRGBA& c) { return 0xFF000000u | (PackA8B8G8R8(c) & 0xFFFFFFu); }
GxUInt32 PackL8(const GxRGBA& c) { return Lum(c) * c.alpha / 255u; }
GxUInt32 PackA8L8(const GxRGBA& c) { return static_cast<GxUInt32>(c.alpha) << 8 | Lum(c); }
GxUInt32 PackV8U8(const GxRGBA& c) { return static_cast<GxUInt32>(c.green) << 8 | c.red; }
GxUInt32 PackL6V5U5(const GxRGBA& c) { return (c.blue & 0xFCu) << 8 | (c.green & 0xF8u) << 2 | c.red >> 3; }
// The 8-bit luminance scaled by 255, so unpacking (the high byte) reads back one step darker above black.
GxUInt32 PackL16(const GxRGBA& c) { return ((30u * c.red + 59u * c.green + 11u * c.blue) * c.alpha / 25500u) * 255u; }

PackFunc PackRule(GxUInt32 format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return PackA8R8G8B8;
    case D3DFMT_X8R8G8B8:
        return PackX8R8G8B8;
    case D3DFMT_R5G6B5:
        return PackR5G6B5;
    case D3DFMT_X1R5G5B5:
        return PackX1R5G5B5;
    case D3DFMT_A1R5G5B5:
        return PackA1R5G5B5;
    case D3DFMT_A4R4G4B4:
        return PackA4R4G4B4;
    case D3DFMT_A8R3G3B2:
        return PackA8R3G3B2;
    case D3DFMT_X4R4G4B4:
        return PackX4R4G4B4;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_Q8W8V8U8:
        return PackA8B8G8R8;
    case D3DFMT_X8B8G8R8:
    case D3DFMT_X8L8V8U8:
        return PackX8B8G8R8;
    case D3DFMT_L8:
        return PackL8;
    case D3DFMT_A8L8:
        return PackA8L8;
    case D3DFMT_V8U8:
    case D3DFMT_CxV8U8:
        return PackV8U8;
    case D3DFMT_L6V5U5:
        return PackL6V5U5;
    case D3DFMT_L16:
        return PackL16;
    default:
        return nullptr;
    }
}

// ---- unpack rules (every part taken modulo 256) ----

GxRGBA UnpackA8R8G8B8(GxUInt32 p) { return Rgba(p >> 16, p >> 8, p, p >> 24); }
GxRGBA UnpackX8R8G8B8(GxUInt32 p) { return Rgba(p >> 16, p >> 8, p, 255); }
GxRGBA UnpackR5G6B5(GxUInt32 p) { return Rgba((p >> 8) & 0xF8, (p >> 3) & 0xFC, p << 3, 255); }
GxRGBA UnpackX1R5G5B5(GxUInt32 p) { return Rgba((p >> 7) & 0xF8, (p >> 2) & 0xF8, p << 3, 255); }
GxRGBA UnpackA1R5G5B5(GxUInt32 p) { return Rgba((p >> 7) & 0xF8, (p >> 2) & 0xF8, p << 3, (p & 0x8000) ? 255 : 0); }
GxRGBA UnpackA4R4G4B4(GxUInt32 p)
{
    const GxUInt32 a = ((p >> 12) & 0xF) == 0xF ? 255 : (p >> 8) & 0xF0;
    return Rgba((p >> 4) & 0xF0, p & 0xF0, p << 4, a);
}
GxRGBA UnpackX4R4G4B4(GxUInt32 p) { return Rgba((p >> 4) & 0xF0, p & 0xF0, p << 4, 255); }
GxRGBA UnpackR3G3B2(GxUInt32 p) { return Rgba(p & 0xE0, (p << 3) & 0xE0, p << 6, 255); }
GxRGBA UnpackA8(GxUInt32 p) { return Rgba(255, 255, 255, p); }
GxRGBA UnpackA8R3G3B2(GxUInt32 p) { return Rgba(p & 0xE0, (p << 3) & 0xE0, p << 6, p >> 8); }
GxRGBA UnpackA2R10G10B10(GxUInt32 p) { return Rgba(p >> 22, p >> 12, p >> 2, (p >> 30) * 85); }
GxRGBA UnpackA8B8G8R8(GxUInt32 p) { return Rgba(p, p >> 8, p >> 16, p >> 24); }
GxRGBA UnpackX8B8G8R8(GxUInt32 p) { return Rgba(p, p >> 8, p >> 16, 255); }
GxRGBA UnpackL8(GxUInt32 p) { return Rgba(p, p, p, 255); }
GxRGBA UnpackA8L8(GxUInt32 p) { return Rgba(p, p, p, p >> 8); }
GxRGBA UnpackA4L4(GxUInt32 p)
{
    const GxUInt32 a = (p & 0xF0) < 240 ? (p & 0xF0) : 255;
    return Rgba(p << 4, p << 4, p << 4, a);
}
GxRGBA UnpackV8U8(GxUInt32 p) { return Rgba(p, p >> 8, 0, 255); }
GxRGBA UnpackL6V5U5(GxUInt32 p) { return Rgba(p << 3, (p >> 2) & 0xF8, (p >> 8) & 0xFC, 255); }
GxRGBA UnpackL16(GxUInt32 p) { return Rgba(p >> 8, p >> 8, p >> 8, 255); }

UnpackFunc UnpackRule(GxUInt32 format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return UnpackA8R8G8B8;
    case D3DFMT_X8R8G8B8:
        return UnpackX8R8G8B8;
    case D3DFMT_R5G6B5:
        return UnpackR5G6B5;
    case D3DFMT_X1R5G5B5:
        return UnpackX1R5G5B5;
    case D3DFMT_A1R5G5B5:
        return UnpackA1R5G5B5;
    case D3DFMT_A4R4G4B4:
        return UnpackA4R4G4B4;
    case D3DFMT_R3G3B2:
        return UnpackR3G3B2;
    case D3DFMT_A8:
        return UnpackA8;
    case D3DFMT_A8R3G3B2:
        return UnpackA8R3G3B2;
    case D3DFMT_X4R4G4B4:
        return UnpackX4R4G4B4;
    case D3DFMT_A2R10G10B10:
        return UnpackA2R10G10B10;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_Q8W8V8U8:
        return UnpackA8B8G8R8;
    case D3DFMT_X8B8G8R8:
    case D3DFMT_X8L8V8U8:
        return UnpackX8B8G8R8;
    case D3DFMT_L8:
        return UnpackL8;
    case D3DFMT_A8L8:
        return UnpackA8L8;
    case D3DFMT_A4L4:
        return UnpackA4L4;
    case D3DFMT_V8U8:
    case D3DFMT_CxV8U8:
        return UnpackV8U8;
    case D3DFMT_L6V5U5:
        return UnpackL6V5U5;
    case D3DFMT_L16:
        return UnpackL16;
    default:
        return nullptr;
    }
}

// The Direct3D format whose rules a pixel nibble follows for single colours.
GxUInt32 NibbleFormat(GxInt32 nibbleFormat)
{
    switch (nibbleFormat) {
    case 0:
    case gxRASTERFORMAT8888:
        return D3DFMT_A8R8G8B8;
    case gxRASTERFORMAT1555:
        return D3DFMT_A1R5G5B5;
    case gxRASTERFORMAT565:
        return D3DFMT_R5G6B5;
    case gxRASTERFORMAT4444:
        return D3DFMT_A4R4G4B4;
    case gxRASTERFORMATLUM8:
        return D3DFMT_L8;
    case gxRASTERFORMAT888:
        return D3DFMT_X8R8G8B8;
    case gxRASTERFORMAT555:
        return D3DFMT_X1R5G5B5;
    default:
        return D3DFMT_UNKNOWN;
    }
}

// ---- helpers on rasters and images ----

GxD3D9RasterExt* Ext(GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(raster); }
GxRaster* Top(GxRaster* raster) { return GxRasterGetParent(raster); }
GxInt32 Nibble(const GxRaster* raster) { return GxRasterGetFormat(raster) & gxRASTERFORMATPIXELFORMATMASK; }
bool IsCompressed(GxRaster* raster) { return GxD3D9RasterExtIsCompressed(Ext(Top(raster))); }
bool IsPalettised(GxRaster* raster)
{
    return Ext(Top(raster))->palette != nullptr || (GxRasterGetFormat(raster) & gxRASTERFORMATPAL8);
}
GxUInt32 D3DFormatOf(GxRaster* raster) { return Ext(Top(raster))->d3dFormat; }

void RaiseMessage(const char* message) { GxErrorRaise(gxPLUGINCORE, GxErrorMakeCode(gxERRDEVICEFAILURE, message)); }

GxUInt32 ReadPixel(const GxUInt8* row, GxInt32 x, GxInt32 bytes)
{
    return GxD3D9TexelValue(row + static_cast<size_t>(x) * bytes, static_cast<GxUInt32>(bytes));
}

void WritePixel(GxUInt8* row, GxInt32 x, GxInt32 bytes, GxUInt32 value)
{
    GxUInt8* p = row + static_cast<size_t>(x) * bytes;
    for (GxInt32 i = 0; i < bytes; i++) {
        p[i] = static_cast<GxUInt8>(value >> (8 * i));
    }
}

void PutColour(GxImage* image, GxInt32 x, GxInt32 y, const GxRGBA& c)
{
    GxUInt8* p = image->pixels + static_cast<size_t>(y) * image->stride + 4 * static_cast<size_t>(x);
    p[0] = c.red;
    p[1] = c.green;
    p[2] = c.blue;
    p[3] = c.alpha;
}

bool ImageUsable(const GxImage* image)
{
    if (image == nullptr || image->pixels == nullptr || image->width < 0 || image->height < 0) {
        return false;
    }
    const GxInt32 bytes = image->depth == 32 ? 4 : 1;
    return image->stride >= image->width * bytes;
}

// Bytes per pixel of a locked raster level (4-bit rasters keep one index per byte).
GxInt32 RasterBytes(GxInt32 depth) { return depth == 4 ? 1 : depth / 8; }

// Locks raster level 0 (and its palette) unless the caller holds those locks already.
struct LockScope {
    GxRaster* raster = nullptr;
    bool pixelsLocked = false;
    bool paletteLocked = false;

    bool Take(GxRaster* r, GxInt32 mode, GxUInt8 heldFlag, GxUInt8 heldPaletteFlag)
    {
        raster = r;
        if (!(r->privateFlags & heldFlag) || r->pixels == nullptr) {
            if (GxRasterLock(r, 0, mode) == nullptr) {
                return false;
            }
            pixelsLocked = true;
        }
        if (Ext(Top(r))->palette != nullptr && !(r->privateFlags & heldPaletteFlag)) {
            if (GxRasterLockPalette(r, mode & gxRASTERLOCKREADWRITE) == nullptr) {
                Release();
                return false;
            }
            paletteLocked = true;
        }
        return true;
    }
    void Release()
    {
        if (paletteLocked) {
            GxRasterUnlockPalette(raster);
            paletteLocked = false;
        }
        if (pixelsLocked) {
            GxRasterUnlock(raster);
            pixelsLocked = false;
        }
    }
};

// ---- image from raster ----

GxBool RasterToImage32(GxRaster* raster, GxImage* image)
{
    const GxInt32 nibble = Nibble(raster);
    const GxInt32 depth = raster->depth;
    const GxInt32 width = std::min(raster->width, image->width);
    const GxInt32 height = std::min(raster->height, image->height);
    const GxRGBA* palette = reinterpret_cast<const GxRGBA*>(raster->palette);
    UnpackFunc unpack = nullptr;
    if (nibble != 0 && (depth == 4 || depth == 8)) {
        // Without a palette each byte is an opaque grey.
        for (GxInt32 y = 0; y < height; y++) {
            const GxUInt8* row = raster->pixels + static_cast<size_t>(y) * raster->stride;
            for (GxInt32 x = 0; x < width; x++) {
                const GxUInt8 v = row[x];
                PutColour(image, x, y, palette ? palette[v] : Rgba(v, v, v, 255));
            }
        }
        return 1;
    }
    if (nibble != 0 && depth == 16) {
        const GxUInt32 format = nibble == gxRASTERFORMAT4444   ? D3DFMT_A4R4G4B4
                                : nibble == gxRASTERFORMAT1555 ? D3DFMT_A1R5G5B5
                                : nibble == gxRASTERFORMAT565  ? D3DFMT_R5G6B5
                                : nibble == gxRASTERFORMAT555  ? D3DFMT_X1R5G5B5
                                                               : D3DFMT_UNKNOWN;
        unpack = UnpackRule(format);
        if (unpack == nullptr) {
            return 1;
        }
    } else if (nibble != 0 ? (depth == 24 || depth == 32) : (depth == 4 || depth == 8 || depth == 16 || depth == 32)) {
        unpack = UnpackRule(D3DFormatOf(raster));
        if (unpack == nullptr) {
            GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
            return 0;
        }
    } else {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTEDDEPTH);
        return 0;
    }
    const GxInt32 bytes = RasterBytes(depth);
    for (GxInt32 y = 0; y < height; y++) {
        const GxUInt8* row = raster->pixels + static_cast<size_t>(y) * raster->stride;
        for (GxInt32 x = 0; x < width; x++) {
            PutColour(image, x, y, unpack(ReadPixel(row, x, bytes)));
        }
    }
    return 1;
}

GxBool RasterToImage8(GxRaster* raster, GxImage* image)
{
    const GxInt32 width = std::min(raster->width, image->width);
    const GxInt32 height = std::min(raster->height, image->height);
    if (image->stride == raster->stride && raster->stride == raster->width && width == raster->width) {
        std::memcpy(image->pixels, raster->pixels, static_cast<size_t>(raster->stride) * height);
    } else {
        for (GxInt32 y = 0; y < height; y++) {
            std::memcpy(image->pixels + static_cast<size_t>(y) * image->stride,
                        raster->pixels + static_cast<size_t>(y) * raster->stride, static_cast<size_t>(width));
        }
    }
    if (image->palette == nullptr) {
        return 1;
    }
    if (raster->palette != nullptr) {
        std::memcpy(image->palette, raster->palette, 256 * sizeof(GxRGBA));
        return 1;
    }
    for (GxInt32 i = 0; i < 256; i++) {
        image->palette[i] = Rgba(i, i, i, 255);
    }
    return 1;
}

// ---- raster from image ----

// A packed-colour table of a palette image's entries.
void BuildPackedTable(const GxImage* image, PackFunc pack, GxUInt32* table)
{
    const GxInt32 entries = image->depth == 4 ? 16 : 256;
    for (GxInt32 i = 0; i < entries; i++) {
        const GxRGBA c = image->palette ? image->palette[i] : Rgba(i, i, i, 255);
        table[i] = pack(c);
    }
}

// One row of 32-bit image texels through a pack rule; the store width is chosen once per row.
void PackRow(GxUInt8* row, const GxUInt8* src, GxInt32 width, GxInt32 bytes, PackFunc pack)
{
    switch (bytes) {
    case 4:
        for (GxInt32 x = 0; x < width; x++, src += 4, row += 4) {
            const GxUInt32 v = pack(GxRGBA{src[0], src[1], src[2], src[3]});
            row[0] = B(v);
            row[1] = B(v >> 8);
            row[2] = B(v >> 16);
            row[3] = B(v >> 24);
        }
        return;
    case 2:
        for (GxInt32 x = 0; x < width; x++, src += 4, row += 2) {
            const GxUInt32 v = pack(GxRGBA{src[0], src[1], src[2], src[3]});
            row[0] = B(v);
            row[1] = B(v >> 8);
        }
        return;
    default:
        for (GxInt32 x = 0; x < width; x++, src += 4) {
            WritePixel(row, x, bytes, pack(GxRGBA{src[0], src[1], src[2], src[3]}));
        }
        return;
    }
}

// Writes every pixel of the image through a pack rule, `bytes` per raster pixel.
void WritePacked(GxRaster* raster, const GxImage* image, PackFunc pack, GxInt32 bytes)
{
    const GxInt32 width = std::min(raster->width, image->width);
    const GxInt32 height = std::min(raster->height, image->height);
    if (image->depth == 32) {
        for (GxInt32 y = 0; y < height; y++) {
            GxUInt8* row = raster->pixels + static_cast<size_t>(y) * raster->stride;
            const GxUInt8* src = image->pixels + static_cast<size_t>(y) * image->stride;
            PackRow(row, src, width, bytes, pack);
        }
        return;
    }
    GxUInt32 table[256];
    BuildPackedTable(image, pack, table);
    const GxInt32 mask = image->depth == 4 ? 15 : 255;
    for (GxInt32 y = 0; y < height; y++) {
        GxUInt8* row = raster->pixels + static_cast<size_t>(y) * raster->stride;
        const GxUInt8* src = image->pixels + static_cast<size_t>(y) * image->stride;
        for (GxInt32 x = 0; x < width; x++) {
            WritePixel(row, x, bytes, table[src[x] & mask]);
        }
    }
}

void SetAlpha(GxRaster* raster, GxUInt8 alpha)
{
    Ext(raster)->alpha = alpha;
    if (alpha && Top(raster) != raster) {
        Ext(Top(raster))->alpha = 1;
    }
}

GxUInt32 PackA4L4(const GxRGBA& c) { return (Lum(c) >> 4) | (c.alpha & 0xF0u); }
GxUInt32 PackA8(const GxRGBA& c) { return c.alpha; }
GxUInt32 PackR3G3B2(const GxRGBA& c) { return (c.red & 0xE0u) | (c.green & 0xE0u) >> 3 | c.blue >> 6; }

PackFunc EightBitRule(GxUInt32 format)
{
    switch (format) {
    case D3DFMT_L8:
        return PackL8;
    case D3DFMT_A8:
        return PackA8;
    case D3DFMT_A4L4:
        return PackA4L4;
    case D3DFMT_R3G3B2:
        return PackR3G3B2;
    default:
        return nullptr;
    }
}

void CopyIndices(GxRaster* raster, const GxImage* image)
{
    const GxInt32 width = std::min(raster->width, image->width);
    const GxInt32 height = std::min(raster->height, image->height);
    for (GxInt32 y = 0; y < height; y++) {
        std::memcpy(raster->pixels + static_cast<size_t>(y) * raster->stride,
                    image->pixels + static_cast<size_t>(y) * image->stride, static_cast<size_t>(width));
    }
    const size_t entries = static_cast<size_t>(1) << image->depth;
    if (raster->palette != nullptr && image->palette != nullptr && Ext(raster)->lockedMipLevel == 0) {
        std::memcpy(raster->palette, image->palette, entries * sizeof(GxRGBA));
    }
}

// A palettised raster from a 32-bit image: quantise to the raster's depth, then copy indices and palette.
GxBool QuantiseInto(GxRaster* raster, const GxImage* image)
{
    const GxInt32 depth = raster->depth == 4 ? 4 : 8;
    GxImage* temp = GxImageCreate(image->width, image->height, depth);
    if (temp == nullptr || GxImageAllocatePixels(temp) == nullptr) {
        if (temp != nullptr) {
            GxImageDestroy(temp);
        }
        return 0;
    }
    std::unique_ptr<GxPaletteQuantizer> quantizer(new (std::nothrow) GxPaletteQuantizer);
    if (quantizer == nullptr || !GxPaletteQuantizerInit(quantizer.get())) {
        GxImageDestroy(temp);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    GxPaletteQuantizerAddImage(quantizer.get(), image, 1.0f);
    GxPaletteQuantizerMakePalette(temp->palette, 1 << depth, quantizer.get());
    GxPaletteQuantizerMatchImage(temp->pixels, temp->stride, depth, 0, quantizer.get(), image);
    GxPaletteQuantizerTerm(quantizer.get());
    if (Ext(raster)->alpha && (GxD3D9ImageFindFormat(temp) & gxRASTERFORMATPIXELFORMATMASK) == gxRASTERFORMAT888) {
        GxD3D9RasterSetPixelFormat(raster, gxRASTERFORMAT888);
        Ext(raster)->alpha = 0;
    }
    CopyIndices(raster, temp);
    GxImageDestroy(temp);
    return 1;
}

}  // namespace

GxBool GxD3D9RasterSetFromImage8(GxRaster* raster, const GxImage* image)
{
    if (IsPalettised(raster)) {
        if (image->depth == 32) {
            return QuantiseInto(raster, image);
        }
        CopyIndices(raster, image);
        return 1;
    }
    PackFunc pack = EightBitRule(D3DFormatOf(raster));
    if (pack == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    WritePacked(raster, image, pack, 1);
    return 1;
}

GxBool GxD3D9RasterSetFromImage32(GxRaster* raster, const GxImage* image)
{
    const GxInt32 nibble = Nibble(raster);
    PackFunc pack;
    if (nibble == gxRASTERFORMAT888) {
        pack = PackX8R8G8B8;  // a 24-bit raster keeps the low three bytes
        SetAlpha(raster, 0);
    } else if (nibble == gxRASTERFORMAT8888) {
        pack = PackA8R8G8B8;
        SetAlpha(raster, 1);
    } else {
        pack = PackRule(D3DFormatOf(raster));
        if (pack == nullptr) {
            GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
            return 0;
        }
        SetAlpha(raster, 1);
    }
    WritePacked(raster, image, pack, raster->depth / 8);
    return 1;
}

namespace {

GxBool SetFromImage16(GxRaster* raster, const GxImage* image)
{
    PackFunc pack = PackRule(D3DFormatOf(raster));
    if (pack == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    WritePacked(raster, image, pack, 2);
    return 1;
}

GxBool WriteByDepth(GxRaster* raster, const GxImage* image)
{
    switch (raster->depth) {
    case 4:
    case 8:
        return GxD3D9RasterSetFromImage8(raster, image);
    case 16:
        return SetFromImage16(raster, image);
    case 24:
    case 32:
        return GxD3D9RasterSetFromImage32(raster, image);
    case 64:
    case 128:
        return 1;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTEDDEPTH);
        return 0;
    }
}

GxUInt8 AlphaBeforeWrite(GxRaster* raster, const GxImage* image)
{
    if (raster->type == gxRASTERTYPENORMAL) {
        const GxInt32 nibble = (GxD3D9ImageFindFormat(image) & gxRASTERFORMATPIXELFORMATMASK) >> 8;
        return GxD3D9RasterFormatInfo[nibble].alpha;
    }
    if (Ext(Top(raster))->palette != nullptr) {
        return Nibble(raster) == gxRASTERFORMAT8888 ? 1 : 0;
    }
    const GxUInt32 format = D3DFormatOf(raster);
    return format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE) ? GxD3D9FormatInfo[format].alpha : 0;
}

// ---- image analysis ----

GxInt32 FindFormat32(const GxImage* image)
{
    const bool deep = gxD3D9State.currentDepth > 16;
    bool masked = false;
    for (GxInt32 y = 0; y < image->height; y++) {
        const GxUInt8* row = image->pixels + static_cast<size_t>(y) * image->stride;
        for (GxInt32 x = 0; x < image->width; x++) {
            const GxUInt8 a = row[4 * x + 3];
            if (a >= 16 && a <= 254) {
                if (deep && GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8)) {
                    return gxRASTERFORMAT8888;
                }
                return GxD3D9CheckTextureFormat(D3DFMT_A4R4G4B4) ? gxRASTERFORMAT4444 : gxRASTERFORMAT1555;
            }
            masked = masked || a < 16;
        }
    }
    if (masked) {
        return deep && GxD3D9CheckTextureFormat(D3DFMT_A8R8G8B8) ? gxRASTERFORMAT8888 : gxRASTERFORMAT1555;
    }
    return deep && GxD3D9CheckTextureFormat(D3DFMT_X8R8G8B8) ? gxRASTERFORMAT888 : gxRASTERFORMAT565;
}

GxInt32 FindFormatPalette(const GxImage* image)
{
    const GxInt32 entries = image->depth == 4 ? 16 : 256;
    const GxInt32 kind = image->depth == 4 ? gxRASTERFORMATPAL4 : gxRASTERFORMATPAL8;
    if (image->palette == nullptr) {
        return kind | gxRASTERFORMAT888;
    }
    bool opaque = true;
    for (GxInt32 i = 0; i < entries && opaque; i++) {
        opaque = image->palette[i].alpha == 255;
    }
    if (opaque) {
        return kind | gxRASTERFORMAT888;
    }
    for (GxInt32 y = 0; y < image->height; y++) {
        const GxUInt8* row = image->pixels + static_cast<size_t>(y) * image->stride;
        for (GxInt32 x = 0; x < image->width; x++) {
            if (image->palette[row[x] & (entries - 1)].alpha != 255) {
                return kind | gxRASTERFORMAT8888;
            }
        }
    }
    return kind | gxRASTERFORMAT888;
}

}  // namespace

GxBool GxD3D9UnpackPixel(GxUInt32 d3dFormat, GxUInt32 pixel, GxRGBA* colour)
{
    UnpackFunc unpack = UnpackRule(d3dFormat);
    if (unpack == nullptr || colour == nullptr) {
        return 0;
    }
    *colour = unpack(pixel);
    return 1;
}

GxBool GxD3D9PackPixel(GxUInt32 d3dFormat, const GxRGBA* colour, GxUInt32* pixel)
{
    PackFunc pack = PackRule(d3dFormat);
    if (pack == nullptr || colour == nullptr || pixel == nullptr) {
        return 0;
    }
    *pixel = pack(*colour);
    return 1;
}

GxUInt32 GxD3D9TexelValue(const GxUInt8* texel, GxUInt32 bytes)
{
    switch (bytes) {
    case 0:
        return 0;
    case 1:
        return texel[0];
    case 2:
        return GxBytesGetU16(texel);
    case 3:
        return GxBytesGetU24(texel);
    default:
        return GxBytesGetU32(texel);
    }
}

GxInt32 GxD3D9ImageFindFormat(const GxImage* image)
{
    if (!ImageUsable(image)) {
        return gxRASTERFORMAT888;
    }
    if (image->depth == 32) {
        return FindFormat32(image);
    }
    if (image->depth == 4 || image->depth == 8) {
        return FindFormatPalette(image);
    }
    return gxRASTERFORMAT888;
}

GxBool GxD3D9RGBToPixel(void* out, void* inOut, GxInt32 in)
{
    auto* pixel = static_cast<GxUInt32*>(out);
    const auto* colour = static_cast<const GxRGBA*>(inOut);
    GX_ASSERT(pixel != nullptr && colour != nullptr, "a conversion needs its pixel and colour");
    const GxUInt32 format = NibbleFormat(in & gxRASTERFORMATPIXELFORMATMASK);
    if (format == D3DFMT_UNKNOWN) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    *pixel = PackRule(format)(*colour);
    return 1;
}

GxBool GxD3D9PixelToRGB(void* out, void* inOut, GxInt32 in)
{
    auto* colour = static_cast<GxRGBA*>(out);
    const auto* pixel = static_cast<const GxUInt32*>(inOut);
    GX_ASSERT(colour != nullptr && pixel != nullptr, "a conversion needs its pixel and colour");
    if (in & gxRASTERFORMATPAL8) {
        std::memcpy(colour, pixel, sizeof(*colour));
        return 1;
    }
    const GxInt32 nibble = in & gxRASTERFORMATPIXELFORMATMASK;
    const GxUInt32 format = NibbleFormat(nibble);
    if (nibble == 0 || format == D3DFMT_UNKNOWN) {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    *colour = UnpackRule(format)(*pixel);
    return 1;
}

GxBool GxD3D9ImageFindRasterFormat(void* out, void* inOut, GxInt32 in)
{
    auto* raster = static_cast<GxRaster*>(out);
    const auto* image = static_cast<const GxImage*>(inOut);
    GX_ASSERT(raster != nullptr && image != nullptr, "a format choice needs its record and image");
    raster->width = image->width;
    raster->height = image->height;
    raster->depth = 0;
    const GxInt32 type = in & gxRASTERTYPEMASK;
    const GxInt32 mipBits = in & (gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
    GxInt32 flags;
    switch (type) {
    case gxRASTERTYPENORMAL:
        GxD3D9RasterClampSize(&raster->width, &raster->height, in);
        flags = (in & ~(gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP)) | GxD3D9ImageFindFormat(image);
        break;
    case gxRASTERTYPEZBUFFER:
    case gxRASTERTYPECAMERA:
        flags = in;
        break;
    case gxRASTERTYPETEXTURE:
    case gxRASTERTYPECAMERATEXTURE:
        GxD3D9RasterClampSize(&raster->width, &raster->height, in);
        flags = type | GxD3D9ImageFindFormat(image) | mipBits;
        break;
    default:
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDRASTER);
        return 0;
    }
    if (!GxD3D9RasterSetFormat(raster, flags)) {
        return 0;
    }
    // A palettised choice holds one index per pixel, whatever its base colour format.
    if (GxRasterGetFormat(raster) & (gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4)) {
        raster->depth = 8;
    }
    return 1;
}

GxBool GxD3D9ImageGetFromRaster(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* image = static_cast<GxImage*>(out);
    auto* raster = static_cast<GxRaster*>(inOut);
    GX_ASSERT(image != nullptr && raster != nullptr && gxD3D9RasterExtOffset >= 0,
              "a conversion needs an image and a raster of the driver");
    if (IsCompressed(raster)) {
        RaiseMessage("Conversion from compressed rasters is not supported.");
        return 0;
    }
    if (image->depth == 4) {
        RaiseMessage("Conversion from rasters to 4bit images is not supported");
        return 0;
    }
    if (image->depth == 8 && (raster->depth != 8 || Nibble(raster) == 0)) {
        RaiseMessage("Conversion from non palettised rasters to 8bit images is not supported");
        return 0;
    }
    if (image->depth != 8 && image->depth != 32) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTEDDEPTH);
        return 0;
    }
    if (!ImageUsable(image)) {
        return 0;
    }
    LockScope lock;
    if (!lock.Take(raster, gxRASTERLOCKREAD, gxRASTERPIXELLOCKEDREAD, gxRASTERPALETTELOCKEDREAD)) {
        return 0;
    }
    const GxBool done = image->depth == 32 ? RasterToImage32(raster, image) : RasterToImage8(raster, image);
    lock.Release();
    return done;
}

GxBool GxD3D9RasterSetFromImage(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* raster = static_cast<GxRaster*>(out);
    const auto* image = static_cast<const GxImage*>(inOut);
    GX_ASSERT(raster != nullptr && image != nullptr && gxD3D9RasterExtOffset >= 0,
              "a conversion needs a raster of the driver and an image");
    if (IsCompressed(raster)) {
        RaiseMessage("Conversion to compressed rasters is not supported.");
        return 0;
    }
    if (image->depth != 4 && image->depth != 8 && image->depth != 32) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTEDDEPTH);
        return 0;
    }
    if (!ImageUsable(image)) {
        return 0;
    }
    SetAlpha(raster, AlphaBeforeWrite(raster, image));
    GxImage* resampled = nullptr;
    if (image->width != raster->width || image->height != raster->height) {
        resampled = GxImageCreateResample(image, raster->width, raster->height);
        if (resampled == nullptr) {
            return 0;
        }
        image = resampled;
    }
    LockScope lock;
    GxBool done = lock.Take(raster, gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH, gxRASTERPIXELLOCKEDWRITE,
                            gxRASTERPALETTELOCKEDWRITE);
    if (done) {
        done = WriteByDepth(raster, image);
        lock.Release();
    }
    if (resampled != nullptr) {
        GxImageDestroy(resampled);
    }
    return done;
}
