// Native textures: size, write and read of the struct chunk that holds a texture's raster as the device lays it out.
#include "gfx/d3d9/nativetex.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"

namespace {

constexpr GxUInt32 kNamingBlockSize = 72;
constexpr GxUInt32 kDescriptionSize = 16;
constexpr GxUInt32 kLevelSizeField = 4;
constexpr GxInt32 kPal4Bytes = 128;
constexpr GxInt32 kPal8Bytes = 1024;
constexpr GxInt32 kCubeFaces = static_cast<GxInt32>(gxD3D9CUBEFACES);
constexpr GxInt32 kDXT1BlockBytes = 8;
constexpr GxInt32 kDXTBlockBytes = 16;
constexpr GxInt32 kMipBits = gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP;
constexpr GxUInt32 kPixelBits = gxRASTERFORMATPIXELFORMATMASK | gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4;

// The raster description as it lies in the struct.
struct NativeDescription {
    GxUInt32 filterAddressing;
    GxChar name[gxTEXTURENAMELENGTH + 1];
    GxChar mask[gxTEXTURENAMELENGTH + 1];
    GxUInt32 format;
    GxUInt32 d3dFormat;
    GxUInt16 width;
    GxUInt16 height;
    GxUInt8 depth;
    GxUInt8 levels;
    GxUInt8 type;
    GxUInt8 flags;
};

GxD3D9RasterExt* Ext(GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(raster); }

GxInt32 PaletteBytes(GxInt32 format)
{
    if (format & gxRASTERFORMATPAL4) {
        return kPal4Bytes;
    }
    return (format & gxRASTERFORMATPAL8) ? kPal8Bytes : 0;
}

// Levels a face stores: level 0 only when the device builds the rest.
GxInt32 StoredLevels(GxRaster* raster)
{
    return GxD3D9RasterExtAutoMipmaps(Ext(raster)) ? 1 : GxRasterGetNumLevels(raster);
}

GxUInt8 FlagsOf(GxRaster* raster)
{
    const GxD3D9RasterExt* ext = Ext(raster);
    GxUInt8 flags = 0;
    flags |= ext->alpha ? gxD3D9NATIVETEXTUREALPHA : 0;
    flags |= GxD3D9RasterExtIsCube(ext) ? gxD3D9NATIVETEXTURECUBE : 0;
    flags |= GxD3D9RasterExtAutoMipmaps(ext) ? gxD3D9NATIVETEXTUREAUTOMIPMAP : 0;
    flags |= GxD3D9RasterExtIsCompressed(ext) ? gxD3D9NATIVETEXTURECOMPRESSED : 0;
    return flags;
}

// Bytes of the level data of one face. A level that can not be locked adds its size field alone (the write
// fails at that lock).
GxUInt32 FaceDataSize(GxRaster* raster, GxInt32 levels)
{
    const bool compressed = GxD3D9RasterExtIsCompressed(Ext(raster));
    GxUInt32 total = 0;
    for (GxInt32 level = 0; level < levels; level++) {
        total += kLevelSizeField;
        if (GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKREAD) == nullptr) {
            continue;
        }
        total += GxD3D9NativeTextureLevelSize(compressed, static_cast<GxUInt32>(raster->stride),
                                              static_cast<GxUInt32>(raster->height));
        GxRasterUnlock(raster);
    }
    return total;
}

GxUInt32 NativeSize(const GxTexture* texture)
{
    GxRaster* raster = texture->raster;
    if (raster == nullptr) {
        return gxD3D9NATIVETEXTURENORASTERSIZE;
    }
    GxD3D9RasterExt* ext = Ext(raster);
    const GxUInt8 savedCube = ext->cube;
    GxD3D9RasterExtSetFace(ext, 0);
    const GxUInt32 face = FaceDataSize(raster, StoredLevels(raster));
    ext->cube = savedCube;
    const GxUInt32 faces = GxD3D9RasterExtIsCube(ext) ? kCubeFaces : 1;
    return gxCHUNKHEADERSIZE + gxD3D9NATIVETEXTUREFIXEDSIZE +
           static_cast<GxUInt32>(PaletteBytes(GxRasterGetFormat(raster))) + faces * face;
}

// ---- write ----

bool WriteFixedPart(GxStream* stream, const GxTexture* texture)
{
    GxRaster* raster = texture->raster;
    GxUInt8 block[gxD3D9NATIVETEXTUREFIXEDSIZE] = {};
    GxBytesPutU32(block, gxD3D9NATIVETEXTUREPLATFORM);
    GxBytesPutU32(block + 4, texture->filterAddressing & gxD3D9FILTERADDRESSINGMASK);
    std::memcpy(block + 8, texture->name, gxTEXTURENAMELENGTH);
    std::memcpy(block + 40, texture->mask, gxTEXTURENAMELENGTH);
    GxUInt8* description = block + kNamingBlockSize;
    GxBytesPutU32(description, static_cast<GxUInt32>(GxRasterGetFormat(raster)));
    GxBytesPutU32(description + 4, Ext(raster)->d3dFormat);
    GxBytesPutU16(description + 8, static_cast<GxUInt16>(raster->width));
    GxBytesPutU16(description + 10, static_cast<GxUInt16>(raster->height));
    description[12] = static_cast<GxUInt8>(raster->depth);
    description[13] = static_cast<GxUInt8>(GxRasterGetNumLevels(raster));
    description[14] = raster->type;
    description[15] = FlagsOf(raster);
    return GxStreamWrite(stream, block, sizeof(block)) != nullptr;
}

bool WritePalette(GxStream* stream, GxRaster* raster)
{
    const GxInt32 bytes = PaletteBytes(GxRasterGetFormat(raster));
    if (bytes == 0) {
        return true;
    }
    GxUInt8* palette = GxRasterLockPalette(raster, gxRASTERLOCKREAD);
    if (palette == nullptr) {
        return false;
    }
    const bool written = GxStreamWrite(stream, palette, static_cast<GxUInt32>(bytes)) != nullptr;
    GxRasterUnlockPalette(raster);
    return written;
}

bool WriteLevel(GxStream* stream, GxRaster* raster, GxInt32 level)
{
    if (GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKREAD) == nullptr) {
        return false;
    }
    const GxUInt32 size =
        GxD3D9NativeTextureLevelSize(GxD3D9RasterExtIsCompressed(Ext(raster)), static_cast<GxUInt32>(raster->stride),
                                     static_cast<GxUInt32>(raster->height));
    const bool written = GxStreamWriteInt32(stream, &size, sizeof(size)) != nullptr &&
                         GxStreamWrite(stream, raster->pixels, size) != nullptr;
    GxRasterUnlock(raster);
    return written;
}

bool WriteFaces(GxStream* stream, GxRaster* raster)
{
    GxD3D9RasterExt* ext = Ext(raster);
    const GxInt32 faces = GxD3D9RasterExtIsCube(ext) ? kCubeFaces : 1;
    const GxInt32 levels = StoredLevels(raster);
    bool written = levels >= 1;
    for (GxInt32 face = 0; written && face < faces; face++) {
        GxD3D9RasterExtSetFace(ext, face);
        for (GxInt32 level = 0; written && level < levels; level++) {
            written = WriteLevel(stream, raster, level);
        }
    }
    GxD3D9RasterExtSetFace(ext, 0);
    return written;
}

// ---- read ----

bool ReadExactly(GxStream* stream, void* buffer, GxUInt32 size) { return GxStreamRead(stream, buffer, size) == size; }

// The 88 fixed bytes; nothing is created before they are read whole.
bool ReadDescription(GxStream* stream, NativeDescription* d)
{
    GxUInt8 block[gxD3D9NATIVETEXTUREFIXEDSIZE];
    if (!ReadExactly(stream, block, kNamingBlockSize) || GxBytesGetU32(block) != gxD3D9NATIVETEXTUREPLATFORM ||
        !ReadExactly(stream, block + kNamingBlockSize, kDescriptionSize)) {
        return false;
    }
    d->filterAddressing = GxBytesGetU32(block + 4);
    std::memcpy(d->name, block + 8, gxTEXTURENAMELENGTH);
    std::memcpy(d->mask, block + 40, gxTEXTURENAMELENGTH);
    d->name[gxTEXTURENAMELENGTH] = '\0';
    d->mask[gxTEXTURENAMELENGTH] = '\0';
    const GxUInt8* description = block + kNamingBlockSize;
    d->format = GxBytesGetU32(description);
    d->d3dFormat = GxBytesGetU32(description + 4);
    d->width = GxBytesGetU16(description + 8);
    d->height = GxBytesGetU16(description + 10);
    d->depth = description[12];
    d->levels = description[13];
    d->type = description[14];
    d->flags = description[15];
    return true;
}

bool CubeLevelsAllowed(GxUInt32 levels)
{
    const DWORD mipFilters = D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR;
    return levels <= 1 || (gxD3D9State.caps.CubeTextureFilterCaps & mipFilters) != 0;
}

bool WantsAutoMipmap(const NativeDescription& d, bool cube)
{
    if ((d.format & kMipBits) != static_cast<GxUInt32>(kMipBits)) {
        return false;
    }
    return cube ? GxD3D9CheckAutoMipmapCubeFormat(d.d3dFormat) : GxD3D9CheckAutoMipmapFormat(d.d3dFormat);
}

// The fewest bytes the struct's pixel data can take: the palette, and per face a size field for every
// stored level and level 0 at its tightest pitch (the device's pitch is never narrower). 0 when the
// Direct3D format has no known texel size, so nothing could be read into it.
uint64_t LeastPixelBytes(const NativeDescription& d)
{
    const bool compressed = (d.flags & gxD3D9NATIVETEXTURECOMPRESSED) != 0;
    uint64_t level0 = 0;
    if (compressed) {
        const GxInt32 blockBytes = d.d3dFormat == D3DFMT_DXT1 ? kDXT1BlockBytes : kDXTBlockBytes;
        level0 = GxD3D9IsDXTFormat(d.d3dFormat) ? GxD3D9DXTDataSize(d.width, d.height, blockBytes) : 0;
    } else if (d.d3dFormat < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE)) {
        level0 = static_cast<uint64_t>(d.width) * d.height * (GxD3D9FormatInfo[d.d3dFormat].depth / 8u);
    }
    if (level0 == 0) {
        return 0;
    }
    const uint64_t faces = (d.flags & gxD3D9NATIVETEXTURECUBE) ? kCubeFaces : 1;
    const uint64_t stored = (d.flags & gxD3D9NATIVETEXTUREAUTOMIPMAP) ? 1 : d.levels;
    return static_cast<uint64_t>(PaletteBytes(static_cast<GxInt32>(d.format))) +
           faces * (stored * kLevelSizeField + level0);
}

// Makes the device texture of a raster created without one.
bool MakeDeviceTexture(GxRaster* raster, const NativeDescription& d, GxUInt32 levels, bool cube)
{
    GxD3D9RasterExt* ext = Ext(raster);
    if (GxD3D9Device() == nullptr || (cube && !CubeLevelsAllowed(levels))) {
        return false;
    }
    if (cube) {
        ext->cube |= gxD3D9RASTERCUBE;
    }
    DWORD usage = 0;
    if (WantsAutoMipmap(d, cube)) {
        ext->automipmap |= gxD3D9RASTERAUTOMIPMAP;
        usage = D3DUSAGE_AUTOGENMIPMAP;
        // A texture whose levels the device builds is created with a level count of 0.
        levels = 0;
    }
    if (FAILED(GxD3D9RasterMakeTexture(raster, levels, usage, d.d3dFormat, D3DPOOL_MANAGED))) {
        return false;
    }
    raster->flags &= static_cast<GxUInt8>(~gxRASTERDONTALLOCATE);
    ext->d3dFormat = d.d3dFormat;
    ext->alpha = (d.flags & gxD3D9NATIVETEXTUREALPHA) ? 1 : 0;
    return true;
}

GxRaster* CreateUnallocated(const NativeDescription& d, GxUInt32 levels, bool cube, bool compressed)
{
    if (compressed && !GxD3D9CheckTextureFormat(d.d3dFormat)) {
        return nullptr;
    }
    GxRaster* raster =
        GxRasterCreate(d.width, d.height, d.depth, static_cast<GxInt32>(d.type | d.format) | gxRASTERDONTALLOCATE);
    if (raster == nullptr) {
        return nullptr;
    }
    if (!MakeDeviceTexture(raster, d, levels, cube)) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    if (compressed) {
        Ext(raster)->automipmap |= gxD3D9RASTERCOMPRESSED;
    } else if ((d.format & kPixelBits) == 0 && d.d3dFormat < static_cast<GxUInt32>(gxD3D9FORMATINFOSIZE)) {
        // A Direct3D format without a raster pixel format (A8L8, A4L4...) keeps the default one the stored
        // raster had, not the one raster creation picks for a default format.
        const GxD3D9FormatInfoEntry& info = GxD3D9FormatInfo[d.d3dFormat];
        GxD3D9RasterSetPixelFormat(raster, info.rasterFormat);
        raster->depth = info.depth;
    }
    return raster;
}

GxRaster* CreateRaster(const NativeDescription& d)
{
    const GxUInt32 levels = (d.format & gxRASTERFORMATMIPMAP) ? d.levels : 1;
    const bool compressed = (d.flags & gxD3D9NATIVETEXTURECOMPRESSED) != 0;
    const bool cube = (d.flags & gxD3D9NATIVETEXTURECUBE) != 0;
    // The writer stores at least one level, and a cube map's faces are square: the device makes a cube of
    // the width, so a taller description would be written back with more rows than its faces hold.
    if (levels < 1 || d.levels == 0 || d.width == 0 || d.height == 0 || (cube && d.width != d.height)) {
        return nullptr;
    }
    if (compressed || cube) {
        return CreateUnallocated(d, levels, cube, compressed);
    }
    if ((d.format & ~static_cast<GxUInt32>(kMipBits)) == 0) {
        return GxD3D9RasterCreateFromD3DFormat(d.width, d.height, d.d3dFormat,
                                               static_cast<GxInt32>((d.format & kMipBits) | d.type));
    }
    GxRaster* raster = GxRasterCreate(d.width, d.height, d.depth, static_cast<GxInt32>(d.type | d.format));
    if (raster != nullptr) {
        Ext(raster)->automipmap &= gxD3D9RASTERAUTOMIPMAPMASK;
    }
    return raster;
}

// The device must have reproduced exactly what was stored.
bool Matches(GxRaster* raster, const NativeDescription& d)
{
    const GxD3D9RasterExt* ext = Ext(raster);
    if ((d.flags & gxD3D9NATIVETEXTUREAUTOMIPMAP) && !GxD3D9RasterExtAutoMipmaps(ext)) {
        return false;
    }
    return d.format == static_cast<GxUInt32>(GxRasterGetFormat(raster)) && d.d3dFormat == ext->d3dFormat &&
           d.width == raster->width && d.height == raster->height;
}

bool ReadPalette(GxStream* stream, GxRaster* raster, GxUInt32* remaining)
{
    const GxInt32 bytes = PaletteBytes(GxRasterGetFormat(raster));
    if (bytes == 0) {
        return true;
    }
    if (*remaining < static_cast<GxUInt32>(bytes)) {
        return false;
    }
    GxUInt8* palette = GxRasterLockPalette(raster, gxRASTERLOCKWRITE);
    if (palette == nullptr) {
        return false;
    }
    const bool read = ReadExactly(stream, palette, static_cast<GxUInt32>(bytes));
    GxRasterUnlockPalette(raster);
    *remaining -= static_cast<GxUInt32>(bytes);
    return read;
}

// One stored level, copied into the locked level as stored: a size beyond the level's own would write past it and
// is refused; levels the raster lacks are skipped.
bool ReadLevel(GxStream* stream, GxRaster* raster, GxInt32 level, GxInt32 rasterLevels, GxUInt32* remaining)
{
    GxUInt32 size = 0;
    if (*remaining < kLevelSizeField || GxStreamReadInt32(stream, &size, sizeof(size)) == nullptr) {
        return false;
    }
    *remaining -= kLevelSizeField;
    if (size > *remaining) {
        return false;
    }
    *remaining -= size;
    if (level >= rasterLevels) {
        return size == 0 || GxStreamSkip(stream, size) != nullptr;
    }
    if (GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKWRITE) == nullptr) {
        return false;
    }
    const GxUInt32 expected =
        GxD3D9NativeTextureLevelSize(GxD3D9RasterExtIsCompressed(Ext(raster)), static_cast<GxUInt32>(raster->stride),
                                     static_cast<GxUInt32>(raster->height));
    const bool read = size <= expected && ReadExactly(stream, raster->pixels, size);
    GxRasterUnlock(raster);
    return read;
}

bool ReadFaces(GxStream* stream, GxRaster* raster, const NativeDescription& d, GxUInt32* remaining)
{
    GxD3D9RasterExt* ext = Ext(raster);
    const GxInt32 faces = GxD3D9RasterExtIsCube(ext) ? kCubeFaces : 1;
    // The file says how many level records it holds, whatever the reading device does.
    const GxInt32 stored = (d.flags & gxD3D9NATIVETEXTUREAUTOMIPMAP) ? 1 : d.levels;
    const GxInt32 rasterLevels = GxD3D9RasterExtAutoMipmaps(ext) ? 1 : GxRasterGetNumLevels(raster);
    bool read = rasterLevels >= 1;
    for (GxInt32 face = 0; read && face < faces; face++) {
        GxD3D9RasterExtSetFace(ext, face);
        for (GxInt32 level = 0; read && level < stored; level++) {
            read = ReadLevel(stream, raster, level, rasterLevels, remaining);
        }
    }
    GxD3D9RasterExtSetFace(ext, 0);
    return read;
}

bool ReadPixels(GxStream* stream, GxRaster* raster, const NativeDescription& d, GxUInt32 remaining)
{
    if (!ReadPalette(stream, raster, &remaining)) {
        return false;
    }
    constexpr GxUInt8 automaticBit = gxRASTERFORMATAUTOMIPMAP >> 8;
    const GxUInt8 automatic = raster->format & automaticBit;
    raster->format &= static_cast<GxUInt8>(~automaticBit);
    const bool read = ReadFaces(stream, raster, d, &remaining);
    raster->format |= automatic;
    return read && (remaining == 0 || GxStreamSkip(stream, remaining) != nullptr);
}

}  // namespace

GxUInt32 GxD3D9NativeTextureLevelSize(GxBool compressed, GxUInt32 pitch, GxUInt32 height)
{
    if (!compressed) {
        return pitch * height;
    }
    return height < 4 ? pitch : ((height + 3) / 4) * pitch;
}

GxBool GxD3D9NativeTextureGetSize(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* size = static_cast<GxInt32*>(out);
    const auto* texture = static_cast<const GxTexture*>(inOut);
    GX_ASSERT(size && texture, "a native size is taken of a texture into a place for it");
    *size = static_cast<GxInt32>(NativeSize(texture));
    return 1;
}

GxBool GxD3D9NativeTextureWrite(void* out, void* inOut, GxInt32 /*in*/)
{
    auto* stream = static_cast<GxStream*>(out);
    const auto* texture = static_cast<const GxTexture*>(inOut);
    GX_ASSERT(stream && texture, "a texture is written to a stream");
    // Without a raster there is nothing a reader could rebuild.
    if (texture->raster == nullptr) {
        return 0;
    }
    const GxUInt32 size = NativeSize(texture);
    if (!GxStreamWriteChunkHeader(stream, gxID_STRUCT, size - gxCHUNKHEADERSIZE, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !WriteFixedPart(stream, texture) || !WritePalette(stream, texture->raster) ||
        !WriteFaces(stream, texture->raster)) {
        return 0;
    }
    return 1;
}

GxBool GxD3D9NativeTextureRead(void* out, void* inOut, GxInt32 in)
{
    auto* stream = static_cast<GxStream*>(out);
    auto* result = static_cast<GxTexture**>(inOut);
    GX_ASSERT(stream && result, "a texture is read from a stream into a place for it");
    *result = nullptr;
    GxUInt32 length = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &length, nullptr) || length < gxD3D9NATIVETEXTUREFIXEDSIZE) {
        return 0;
    }
    // The struct must lie inside the enclosing chunk when its length is known.
    if (in > 0 && static_cast<GxUInt32>(in) < length + gxCHUNKHEADERSIZE) {
        return 0;
    }
    // The struct can not claim more than the stream still holds.
    const GxUInt32 left = GxStreamBytesLeft(stream);
    if (left != gxSTREAMBYTESUNKNOWN && length > left) {
        return 0;
    }
    NativeDescription d;
    if (!ReadDescription(stream, &d)) {
        return 0;
    }
    // Only textures are stored (a normal raster is made as one too); any other raster type would make a
    // device object the struct never held, such as a depth-stencil surface.
    if (d.type != gxRASTERTYPETEXTURE && d.type != gxRASTERTYPENORMAL) {
        return 0;
    }
    // Nothing is made for a description whose pixels the struct can not hold.
    const uint64_t least = LeastPixelBytes(d);
    if (least == 0 || least > length - gxD3D9NATIVETEXTUREFIXEDSIZE) {
        return 0;
    }
    GxRaster* raster = CreateRaster(d);
    if (raster == nullptr) {
        return 0;
    }
    if (!Matches(raster, d) || !ReadPixels(stream, raster, d, length - gxD3D9NATIVETEXTUREFIXEDSIZE)) {
        GxRasterDestroy(raster);
        return 0;
    }
    GxTexture* texture = GxTextureCreate(raster);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
        return 0;
    }
    texture->filterAddressing = d.filterAddressing & gxD3D9FILTERADDRESSINGMASK;
    GxTextureSetName(texture, d.name);
    GxTextureSetMaskName(texture, d.mask);
    *result = texture;
    return 1;
}
