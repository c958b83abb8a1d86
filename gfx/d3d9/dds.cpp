// DDS texture reader: native device formats level by level, everything else converted on the CPU.
#include <algorithm>
#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/dds_local.h"
#include "gfx/d3d9/pixelconv.h"
#include "gfx/d3d9/raster.h"

namespace {

constexpr GxUInt32 kMagicSize = 4;
constexpr GxUInt32 kFlagsRequired = 0x1007;
constexpr GxUInt32 kFlagMipmapCount = 0x20000;
constexpr GxUInt32 kFlagLinearSize = 0x80000;
constexpr GxUInt32 kPixelFourCC = 0x4;
constexpr GxUInt32 kPixelRGB = 0x40;
constexpr GxUInt32 kPixelRGBA = 0x41;
constexpr GxUInt32 kCaps1Complex = 0x8;
constexpr GxUInt32 kCaps2CubeAny = 0xFE00;
constexpr GxUInt32 kCaps2FirstFace = 0x400;
constexpr GxUInt32 kCubeFaces = gxD3D9CUBEFACES;
constexpr GxUInt32 kCubeMipCaps = D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR;
// Sides beyond this are refused before anything is allocated for them.
constexpr GxUInt32 kMaxSide = 16384;
// Data is read in steps of this size, so a truncated file fails before a large buffer exists.
constexpr size_t kReadStep = 1u << 20;
constexpr GxUInt32 kDataHint = gxMEMHINTDURFUNCTION | gxD3D9MEMHINTDRIVER;

struct Header {
    GxUInt32 flags, height, width, pitch, mipCount;
    GxUInt32 pixelFlags, fourCC, bitCount, redMask, greenMask, blueMask, alphaMask;
    GxUInt32 caps1, caps2;
};

// A header word by its offset in the file; the header bytes start after the magic.
GxUInt32 Word(const GxUInt8* bytes, GxUInt32 fileOffset) { return GxBytesGetU32(bytes + fileOffset - kMagicSize); }

Header ParseHeader(const GxUInt8* bytes)
{
    Header h;
    h.flags = Word(bytes, 8);
    h.height = Word(bytes, 12);
    h.width = Word(bytes, 16);
    h.pitch = Word(bytes, 20);
    h.mipCount = Word(bytes, 28);
    h.pixelFlags = Word(bytes, 80);
    h.fourCC = Word(bytes, 84);
    h.bitCount = Word(bytes, 88);
    h.redMask = Word(bytes, 92);
    h.greenMask = Word(bytes, 96);
    h.blueMask = Word(bytes, 100);
    h.alphaMask = Word(bytes, 104);
    h.caps1 = Word(bytes, 108);
    h.caps2 = Word(bytes, 112);
    return h;
}

bool IsCube(const Header& h) { return (h.caps1 & kCaps1Complex) && (h.caps2 & kCaps2CubeAny); }
bool HasMipmaps(const Header& h) { return (h.flags & kFlagMipmapCount) != 0; }
GxUInt32 FileLevels(const Header& h) { return HasMipmaps(h) ? std::max<GxUInt32>(1, h.mipCount) : 1; }
// Only the five DXT codes: a range check would take the codes between them for DXT too.
bool IsDXT(GxUInt32 code) { return GxD3D9IsDXTFormat(code) != 0; }
GxInt32 BlockBytes(GxUInt32 code) { return code == D3DFMT_DXT1 ? 8 : 16; }
GxUInt32 Level(GxUInt32 side, GxUInt32 level) { return std::max<GxUInt32>(1, side >> level); }

// ---- format choice ----

struct Row {
    GxUInt32 format;  // D3DFORMAT
    DDSLayout layout;
    GxInt32 cubeFormat;  // raster format of a cube map, -1 when cube maps are refused
    GxUInt8 test;        // 0 none, 1 texture, 2 cube
    bool sizeTest;
};

bool Match(const Header& h, Row* row)
{
    const GxUInt32 r = h.redMask, a = h.alphaMask, bits = h.bitCount;
    if (h.pixelFlags == kPixelFourCC) {
        *row = {h.fourCC, DDSLayout::FourCC, -1, 1, false};
        return true;
    }
    if (h.pixelFlags == kPixelRGB) {
        if (bits == 24)
            *row = {D3DFMT_R8G8B8, DDSLayout::RGB24, gxRASTERFORMAT888, 2, true};
        else if (r == 0xFF0000)
            *row = {D3DFMT_X8R8G8B8, DDSLayout::X8R8G8B8, gxRASTERFORMAT888, 1, true};
        else if (r == 0xF800)
            *row = {D3DFMT_R5G6B5, DDSLayout::R5G6B5, gxRASTERFORMAT565, 0, true};
        else if (r == 0xE0)
            *row = {D3DFMT_R3G3B2, DDSLayout::R3G3B2, -1, 1, true};
        else
            return false;
        return true;
    }
    if (h.pixelFlags == kPixelRGBA) {
        if (r == 0xFF0000)
            *row = {D3DFMT_A8R8G8B8, DDSLayout::A8R8G8B8, gxRASTERFORMAT8888, 1, true};
        else if (r == 0x7C00)
            *row = {D3DFMT_A1R5G5B5, DDSLayout::A1R5G5B5, gxRASTERFORMAT1555, 0, true};
        else if (r == 0xF00)
            *row = {D3DFMT_A4R4G4B4, DDSLayout::A4R4G4B4, gxRASTERFORMAT4444, 1, true};
        else if (r == 0x3FF)
            *row = {D3DFMT_A2R10G10B10, DDSLayout::A2R10G10B10, -1, 1, true};
        else if (h.blueMask == 0x3FF)
            *row = {D3DFMT_A2B10G10R10, DDSLayout::A2B10G10R10, -1, 1, true};
        else if (r == 0xE0)
            *row = {D3DFMT_A8R3G3B2, DDSLayout::A8R3G3B2, -1, 1, true};
        else
            return false;
        return true;
    }
    if (bits == 16 && r == 0xFFFF)
        *row = {D3DFMT_L16, DDSLayout::L16, -1, 1, true};
    else if (bits == 16 && r == 0xFF && a == 0xFF00)
        *row = {D3DFMT_A8L8, DDSLayout::A8L8, -1, 1, true};
    else if (bits == 8 && r == 0xFF)
        *row = {D3DFMT_L8, DDSLayout::L8, -1, 1, true};
    else if (bits == 8 && a == 0xFF)
        *row = {D3DFMT_A8, DDSLayout::A8, -1, 1, true};
    else if (bits == 8 && r == 0xF && a == 0xF0)
        *row = {D3DFMT_A4L4, DDSLayout::A4L4, -1, 1, true};
    else if (bits == 8 && r == 0 && h.greenMask == 0 && h.blueMask == 0 && a == 0)
        *row = {D3DFMT_P8, DDSLayout::P8, -1, 1, true};
    else
        return false;
    return true;
}

bool SizeFits(const Header& h)
{
    GxInt32 w = static_cast<GxInt32>(h.width);
    GxInt32 ht = static_cast<GxInt32>(h.height);
    GxD3D9RasterClampSize(&w, &ht, gxRASTERTYPETEXTURE | (HasMipmaps(h) ? gxRASTERFORMATMIPMAP : 0));
    return w == static_cast<GxInt32>(h.width) && ht == static_cast<GxInt32>(h.height);
}

// The plain-texture tests of a row; failing them sends the file to the CPU conversion.
bool PassesTests(const Row& row, const Header& h)
{
    if (row.test == 1 && !GxD3D9CheckTextureFormat(row.format)) {
        return false;
    }
    if (row.test == 2 && !GxD3D9CheckCubeTextureFormat(row.format)) {
        return false;
    }
    return !row.sizeTest || SizeFits(h);
}

// Bytes per texel of a native level (0 for formats the table does not know).
GxUInt32 TexelBytes(GxUInt32 format)
{
    if (format == D3DFMT_R8G8B8) {
        return 3;
    }
    return format < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE) ? GxD3D9FormatInfo[format].depth / 8u : 0;
}

// ---- stream helpers ----

bool ReadExact(GxStream* stream, void* buffer, GxUInt32 length)
{
    return length == 0 || GxStreamRead(stream, buffer, length) == length;
}

bool Skip(GxStream* stream, uint64_t length)
{
    GxUInt8 scratch[4096];
    while (length > 0) {
        const GxUInt32 step = static_cast<GxUInt32>(std::min<uint64_t>(length, sizeof(scratch)));
        if (!ReadExact(stream, scratch, step)) {
            return false;
        }
        length -= step;
    }
    return true;
}

// Reads `length` bytes in steps, so a short file fails before the whole buffer is allocated.
bool ReadData(GxStream* stream, uint64_t length, std::vector<GxUInt8>* data)
{
    data->clear();
    while (data->size() < length) {
        const size_t step = static_cast<size_t>(std::min<uint64_t>(kReadStep, length - data->size()));
        const size_t at = data->size();
        data->resize(at + step);
        if (!ReadExact(stream, data->data() + at, static_cast<GxUInt32>(step))) {
            return false;
        }
    }
    return true;
}

// ---- native path ----

struct LevelShape {
    GxUInt32 rowBytes;  // bytes of one row (or one row of blocks) in the file
    GxUInt32 rows;
};

LevelShape ShapeOf(GxUInt32 format, GxUInt32 width, GxUInt32 height)
{
    if (IsDXT(format)) {
        return {(width + 3) / 4 * static_cast<GxUInt32>(BlockBytes(format)), (height + 3) / 4};
    }
    return {width * TexelBytes(format), height};
}

// Whether the stream can still deliver `bytes`; streams that can not tell are read step by step instead.
bool StreamHolds(GxStream* stream, uint64_t bytes)
{
    const GxUInt32 left = GxStreamBytesLeft(stream);
    return left == gxSTREAMBYTESUNKNOWN || bytes <= left;
}

GxUInt32 StoredFaces(const Header& h)
{
    if (!IsCube(h)) {
        return 1;
    }
    GxUInt32 faces = 0;
    for (GxUInt32 face = 0; face < kCubeFaces; face++) {
        faces += (h.caps2 & (kCaps2FirstFace << face)) ? 1 : 0;
    }
    return faces;
}

// Bytes of texel data a file read natively holds: its palette and every level of every stored face.
uint64_t NativeDataSize(const Header& h, const Row& row)
{
    uint64_t face = 0;
    for (GxUInt32 level = 0; level < FileLevels(h); level++) {
        const LevelShape shape = ShapeOf(row.format, Level(h.width, level), Level(h.height, level));
        face += static_cast<uint64_t>(shape.rowBytes) * shape.rows;
    }
    const uint64_t palette = row.layout == DDSLayout::P8 ? gxDDSPALETTESIZE : 0;
    return palette + StoredFaces(h) * face;
}

// Any transparent texel in the level's DXT1 blocks (3-colour blocks using index 3 inside the level).
bool DXT1LevelHasAlpha(const GxUInt8* bits, GxInt32 pitch, GxUInt32 width, GxUInt32 height)
{
    for (GxUInt32 by = 0; by < (height + 3) / 4; by++) {
        const GxUInt8* row = bits + static_cast<size_t>(by) * pitch;
        for (GxUInt32 bx = 0; bx < (width + 3) / 4; bx++) {
            const GxUInt8* block = row + 8 * bx;
            if (GxBytesGetU16(block) > GxBytesGetU16(block + 2)) {
                continue;
            }
            for (GxUInt32 y = 0; y < 4 && 4 * by + y < height; y++) {
                for (GxUInt32 x = 0; x < 4 && 4 * bx + x < width; x++) {
                    if (((block[4 + y] >> (2 * x)) & 3) == 3) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

// Reads one level into the locked level of the raster, row by row at the file's own pitch.
bool ReadLevel(GxStream* stream, GxRaster* raster, GxUInt32 level, GxUInt32 format, const LevelShape& shape,
               bool* dxtAlpha)
{
    GxUInt8* bits = GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH);
    if (bits == nullptr) {
        return false;
    }
    const GxUInt32 pitch = static_cast<GxUInt32>(std::max(raster->stride, 0));
    const GxUInt32 copy = std::min(pitch, shape.rowBytes);
    // Never more rows than the locked level holds.
    const GxUInt32 height = static_cast<GxUInt32>(std::max(raster->height, 1));
    const GxUInt32 lockedRows = IsDXT(format) ? (height + 3) / 4 : height;
    bool ok = true;
    for (GxUInt32 y = 0; y < shape.rows && ok; y++) {
        GxUInt8* target = bits + static_cast<size_t>(y) * pitch;
        ok = y < lockedRows ? ReadExact(stream, target, copy) && Skip(stream, shape.rowBytes - copy)
                            : Skip(stream, shape.rowBytes);
    }
    if (ok && format == D3DFMT_DXT1 && !*dxtAlpha) {
        *dxtAlpha = DXT1LevelHasAlpha(bits, static_cast<GxInt32>(pitch), static_cast<GxUInt32>(raster->width),
                                      static_cast<GxUInt32>(raster->height));
    }
    GxRasterUnlock(raster);
    return ok;
}

bool ReadFace(GxStream* stream, GxRaster* raster, const Header& h, GxUInt32 format, bool* dxtAlpha)
{
    const GxUInt32 fileLevels = FileLevels(h);
    // Levels the raster holds beyond the file's keep whatever the device made them with.
    const GxInt32 rasterLevels = GxRasterGetNumLevels(raster);
    for (GxUInt32 level = 0; level < fileLevels; level++) {
        const LevelShape shape = ShapeOf(format, Level(h.width, level), Level(h.height, level));
        if (level < static_cast<GxUInt32>(rasterLevels)) {
            if (!ReadLevel(stream, raster, level, format, shape, dxtAlpha)) {
                return false;
            }
        } else if (!Skip(stream, static_cast<uint64_t>(shape.rowBytes) * shape.rows)) {
            return false;
        }
    }
    return true;
}

bool ReadFaces(GxStream* stream, GxRaster* raster, const Header& h, GxUInt32 format, bool* dxtAlpha)
{
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(raster);
    if (!IsCube(h)) {
        return ReadFace(stream, raster, h, format, dxtAlpha);
    }
    for (GxUInt32 face = 0; face < kCubeFaces; face++) {
        if (!(h.caps2 & (kCaps2FirstFace << face))) {
            continue;
        }
        GxD3D9RasterExtSetFace(ext, face);
        if (!ReadFace(stream, raster, h, format, dxtAlpha)) {
            return false;
        }
    }
    ext->cube &= gxD3D9RASTERCUBEMASK;
    return true;
}

GxUInt32 DeviceLevels(const Header& h, bool cube)
{
    if (!HasMipmaps(h)) {
        return 1;
    }
    if (cube && !(gxD3D9State.caps.CubeTextureFilterCaps & kCubeMipCaps)) {
        return 1;
    }
    return FileLevels(h);
}

// A texture raster without pixels whose device texture is made here, in the file's own format.
GxRaster* CreateBare(const Header& h, GxUInt32 format, GxInt32 rasterFormat, bool cube)
{
    const GxUInt32 levels = DeviceLevels(h, cube);
    const GxInt32 mip = HasMipmaps(h) ? gxRASTERFORMATMIPMAP : 0;
    GxRaster* raster = GxRasterCreate(static_cast<GxInt32>(h.width), static_cast<GxInt32>(h.height), 0,
                                      gxRASTERTYPETEXTURE | gxRASTERDONTALLOCATE | rasterFormat | mip);
    if (raster == nullptr || GxD3D9Device() == nullptr) {
        if (raster != nullptr) {
            GxRasterDestroy(raster);
        }
        return nullptr;
    }
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(raster);
    ext->cube = cube ? gxD3D9RASTERCUBE : 0;
    if (FAILED(GxD3D9RasterMakeTexture(raster, levels, 0, format, D3DPOOL_MANAGED))) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    raster->flags &= static_cast<GxUInt8>(~gxRASTERDONTALLOCATE);
    ext->d3dFormat = format;
    if (IsDXT(format)) {
        ext->automipmap |= gxD3D9RASTERCOMPRESSED;
    }
    return raster;
}

bool ReadPalette(GxStream* stream, GxRaster* raster)
{
    GxUInt8 entries[gxDDSPALETTESIZE];
    if (!ReadExact(stream, entries, sizeof(entries))) {
        return false;
    }
    GxUInt8* palette = GxRasterLockPalette(raster, gxRASTERLOCKWRITE);
    if (palette == nullptr) {
        return false;
    }
    std::memcpy(palette, entries, sizeof(entries));
    GxRasterUnlockPalette(raster);
    return true;
}

void FinishNative(GxRaster* raster, const Header& h, const Row& row, bool dxtAlpha)
{
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(raster);
    if (row.layout != DDSLayout::FourCC) {
        ext->alpha = (h.pixelFlags & 0x1) || h.alphaMask != 0 ? 1 : 0;
        return;
    }
    if (!IsDXT(row.format)) {
        const GxD3D9FormatInfoEntry& info = GxD3D9FormatInfo[row.format];
        ext->alpha = info.alpha;
        raster->depth = info.depth;
        GxD3D9RasterSetPixelFormat(raster, info.rasterFormat);
        return;
    }
    raster->depth = 16;
    if (row.format != D3DFMT_DXT1) {
        ext->alpha = 1;
        GxD3D9RasterSetPixelFormat(raster, gxRASTERFORMAT4444);
        return;
    }
    ext->alpha = dxtAlpha ? 1 : 0;
    GxD3D9RasterSetPixelFormat(raster, dxtAlpha ? gxRASTERFORMAT1555 : gxRASTERFORMAT565);
}

GxRaster* ReadNative(GxStream* stream, const Header& h, const Row& row, bool cube)
{
    if (!StreamHolds(stream, NativeDataSize(h, row))) {
        return nullptr;
    }
    GxRaster* raster;
    if (row.layout == DDSLayout::FourCC) {
        raster = CreateBare(h, row.format, 0, cube);
    } else if (cube) {
        raster = CreateBare(h, row.format, row.cubeFormat, true);
    } else {
        raster =
            GxD3D9RasterCreateFromD3DFormat(static_cast<GxInt32>(h.width), static_cast<GxInt32>(h.height), row.format,
                                            gxRASTERTYPETEXTURE | (HasMipmaps(h) ? gxRASTERFORMATMIPMAP : 0));
    }
    if (raster == nullptr) {
        return nullptr;
    }
    bool dxtAlpha = false;
    const bool ok = (row.layout != DDSLayout::P8 || ReadPalette(stream, raster)) &&
                    ReadFaces(stream, raster, h, row.format, &dxtAlpha);
    if (!ok) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    FinishNative(raster, h, row, dxtAlpha);
    return raster;
}

// ---- conversion path ----

// Bytes of the top level's data, the row pitch of uncompressed data, and whether the layout converts.
bool ConversionSize(const Header& h, const Row& row, uint64_t* size, GxUInt32* rowBytes)
{
    const uint64_t w = h.width;
    const uint64_t ht = h.height;
    if (row.layout == DDSLayout::FourCC) {
        uint64_t needed;
        if (IsDXT(row.format)) {
            needed = GxD3D9DXTDataSize(static_cast<GxInt32>(w), static_cast<GxInt32>(ht), BlockBytes(row.format));
        } else if (row.format == D3DFMT_A16B16G16R16) {
            needed = 8 * w * ht;
            *rowBytes = static_cast<GxUInt32>(8 * w);
        } else {
            return false;  // no CPU conversion for other codes
        }
        // A linear size smaller than the blocks would leave the decoder short of data.
        if ((h.flags & kFlagLinearSize) && h.pitch != 0 && h.pitch < needed) {
            return false;
        }
        *size = needed;
        return true;
    }
    const GxUInt32 bits = h.bitCount;
    GxUInt32 texel = bits == 8    ? 1
                     : bits == 16 ? 2
                     : bits == 24 ? 3
                     : bits == 32 ? 4
                     : bits == 64 ? 8
                                  : (h.redMask == 0xFF0000 ? 4 : 2);
    // Each conversion reads a fixed texel size; a header claiming fewer bits would run off the rows.
    texel = std::max(texel, DDSLayoutTexelBytes(row.layout));
    const uint64_t tight = texel * w;
    const uint64_t pitch = !(h.flags & kFlagLinearSize) && h.pitch >= tight ? h.pitch : tight;
    *rowBytes = static_cast<GxUInt32>(pitch);
    *size = pitch * ht;
    return true;
}

GxInt32 ConversionFormat(const Row& row, const GxImage* image, bool dxtTransparent)
{
    const GxInt32 fallback16 = GxD3D9CheckTextureFormat(D3DFMT_A4R4G4B4) ? gxRASTERFORMAT4444 : gxRASTERFORMAT1555;
    switch (row.layout) {
    case DDSLayout::FourCC:
        if (row.format == D3DFMT_DXT1) {
            return dxtTransparent ? gxRASTERFORMAT1555 : gxRASTERFORMAT565;
        }
        return IsDXT(row.format) ? fallback16 : GxD3D9ImageFindFormat(image);
    case DDSLayout::R5G6B5:
    case DDSLayout::R3G3B2:
        return gxRASTERFORMAT565;
    case DDSLayout::A1R5G5B5:
        return gxRASTERFORMAT1555;
    case DDSLayout::A8R3G3B2:
        return gxRASTERFORMAT4444;
    case DDSLayout::L16:
        return GxD3D9CheckTextureFormat(D3DFMT_L8) ? gxRASTERFORMATLUM8 : GxD3D9ImageFindFormat(image);
    default:
        return GxD3D9ImageFindFormat(image);
    }
}

GxRaster* ImageToRaster(GxImage* image, GxInt32 format, const Header& h)
{
    if (HasMipmaps(h)) {
        format |= gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP;
    }
    GxRaster* raster = GxRasterCreate(image->width, image->height, 0, format | gxRASTERTYPETEXTURE);
    if (raster == nullptr) {
        GxImageDestroy(image);
        return nullptr;
    }
    if (raster->width != image->width || raster->height != image->height) {
        GxImage* resampled = GxImageCreateResample(image, raster->width, raster->height);
        GxImageDestroy(image);
        if (resampled == nullptr) {
            GxRasterDestroy(raster);
            return nullptr;
        }
        image = resampled;
    }
    const GxBool set = GxD3D9RasterSetFromImage(raster, image, 0);
    GxImageDestroy(image);
    if (!set) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    return raster;
}

GxRaster* ReadConverted(GxStream* stream, const Header& h, const Row& row)
{
    uint64_t size = 0;
    GxUInt32 rowBytes = 0;
    if (!ConversionSize(h, row, &size, &rowBytes)) {
        return nullptr;
    }
    const uint64_t paletteSize = row.layout == DDSLayout::P8 ? gxDDSPALETTESIZE : 0;
    if (!StreamHolds(stream, paletteSize + size)) {
        return nullptr;
    }
    std::vector<GxUInt8> palette;
    if (paletteSize != 0 && !ReadData(stream, gxDDSPALETTESIZE, &palette)) {
        return nullptr;
    }
    std::vector<GxUInt8> data;
    if (!ReadData(stream, size, &data)) {
        return nullptr;
    }
    GxImage* image = GxImageCreate(static_cast<GxInt32>(h.width), static_cast<GxInt32>(h.height), 32);
    if (image == nullptr || GxImageAllocatePixels(image) == nullptr) {
        if (image != nullptr) {
            GxImageDestroy(image);
        }
        return nullptr;
    }
    bool dxtTransparent = false;
    if (row.layout == DDSLayout::FourCC && IsDXT(row.format)) {
        dxtTransparent = DDSDecodeDXT(row.format, image, data.data());
    } else {
        const DDSLayout layout = row.layout == DDSLayout::FourCC ? DDSLayout::A16B16G16R16 : row.layout;
        DDSConvertRows(layout, data.data(), rowBytes, palette.empty() ? nullptr : palette.data(), image);
    }
    data.clear();
    data.shrink_to_fit();
    return ImageToRaster(image, ConversionFormat(row, image, dxtTransparent), h);
}

bool ValidHeader(const Header& h)
{
    if (!(h.flags & kFlagsRequired)) {
        return false;
    }
    if (h.width == 0 || h.height == 0 || h.width > kMaxSide || h.height > kMaxSide) {
        return false;
    }
    // A cube map is square; more levels than a full chain can not be in a file of this size.
    if (IsCube(h) && h.width != h.height) {
        return false;
    }
    // The memory the top levels ask for is judged before any raster is made.
    if (!GxImageFileSizeAllowed(h.width, h.height, IsCube(h) ? static_cast<GxInt32>(kCubeFaces) : 1)) {
        return false;
    }
    return !HasMipmaps(h) || h.mipCount <= 32;
}

// ---- texture read ----

struct Search {
    const GxChar* found;
    GxChar* fileName;
};

const GxChar* TryCandidate(const GxChar* candidate, void* data)
{
    auto* search = static_cast<Search*>(data);
    // The path search leaves room after the name for the extension.
    GxChar* name = const_cast<GxChar*>(candidate);
    std::strcat(name, ".dds");
    if (!GxFileExists(name)) {
        return candidate;
    }
    const size_t length = std::strlen(name);
    search->fileName = static_cast<GxChar*>(GxMalloc(length + 1, kDataHint));
    if (search->fileName != nullptr) {
        std::memcpy(search->fileName, name, length + 1);
        search->found = candidate;
    }
    return nullptr;
}

GxChar* CopyText(const GxChar* text, size_t length)
{
    auto* copy = static_cast<GxChar*>(GxMalloc(length + 1, kDataHint));
    if (copy != nullptr) {
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

GxRaster* ReadFile(const GxChar* fileName)
{
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
    if (stream == nullptr) {
        return nullptr;
    }
    GxRaster* raster = GxD3D9RasterReadDDS(stream);
    GxStreamClose(stream, nullptr);
    return raster;
}

// The part of a name after its last directory separator.
const GxChar* BaseName(const GxChar* name)
{
    const GxChar* base = name;
    for (const GxChar* p = name; *p; p++) {
        if (*p == '\\' || *p == '/') {
            base = p + 1;
        }
    }
    return base;
}

}  // namespace

GxRaster* GxD3D9RasterReadDDS(GxStream* stream)
{
    GX_ASSERT(stream != nullptr, "a DDS read needs a stream");
    GxUInt8 magic[kMagicSize];
    GxUInt8 bytes[gxDDSHEADERSIZE];
    if (!ReadExact(stream, magic, kMagicSize) || GxBytesGetU32(magic) != gxDDSMAGIC ||
        !ReadExact(stream, bytes, sizeof(bytes))) {
        return nullptr;
    }
    const Header h = ParseHeader(bytes);
    Row row;
    if (!ValidHeader(h) || !Match(h, &row)) {
        return nullptr;
    }
    const bool fourCC = row.layout == DDSLayout::FourCC;
    // Four-character codes outside the format table have neither a native nor a CPU rule.
    if (fourCC && !IsDXT(row.format) && TexelBytes(row.format) == 0) {
        return nullptr;
    }
    if (IsCube(h)) {
        const bool accepted = fourCC ? GxD3D9CheckCubeTextureFormat(row.format) : row.cubeFormat >= 0 && SizeFits(h);
        return accepted ? ReadNative(stream, h, row, true) : nullptr;
    }
    if (PassesTests(row, h)) {
        return ReadNative(stream, h, row, false);
    }
    return ReadConverted(stream, h, row);
}

GxBool GxD3D9DDSFindFile(const GxChar* name, GxChar** fileName, GxChar** textureName)
{
    GX_ASSERT(name != nullptr && fileName != nullptr && textureName != nullptr, "a DDS look-up needs its names");
    *fileName = nullptr;
    *textureName = nullptr;
    Search search = {nullptr, nullptr};
    const GxChar* path = GxImageGetPath();
    const bool direct = GxImageIsAbsolutePath(name) || path == nullptr || path[0] == '\0';
    GxImageForEachPathCandidate(name, 5, TryCandidate, &search);
    if (search.fileName == nullptr) {
        GxErrorRaise(gxPLUGINCORE, GxErrorMakeCode(gxERRTEXTUREUNKNOWN, name));
        return 0;
    }
    const GxChar* shown = direct ? BaseName(name) : name;
    *textureName = CopyText(shown, std::strlen(shown));
    if (*textureName == nullptr) {
        GxFree(search.fileName);
        return 0;
    }
    *fileName = search.fileName;
    return 1;
}

GxTexture* GxD3D9TextureReadDDS(const GxChar* name, const GxChar* /*maskName*/)
{
    GxChar* fileName = nullptr;
    GxChar* textureName = nullptr;
    if (!GxD3D9DDSFindFile(name, &fileName, &textureName)) {
        return nullptr;
    }
    GxRaster* raster = ReadFile(fileName);
    GxFree(fileName);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    if (texture == nullptr) {
        if (raster != nullptr) {
            GxRasterDestroy(raster);
        }
        GxFree(textureName);
        return nullptr;
    }
    const bool mipmapped = (GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP) != 0;
    GxTextureSetFilterMode(texture, mipmapped ? gxFILTERLINEARMIPLINEAR : gxFILTERLINEAR);
    GxTextureSetName(texture, textureName);
    GxFree(textureName);
    return texture;
}
