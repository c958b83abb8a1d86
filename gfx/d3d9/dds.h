// DDS texture files and the CPU decoders of DXT1, DXT3 and DXT5 blocks.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/core/texture.h"

struct GxRaster;
struct GxStream;

// The magic "DDS " as a little-endian value, and the header that follows it.
constexpr GxUInt32 gxDDSMAGIC = 0x20534444;
constexpr GxUInt32 gxDDSHEADERSIZE = 124;
constexpr GxUInt32 gxDDSPALETTESIZE = 1024;

// The texture-read callback: the file name is the name plus ".dds", looked up along the image search path.
// The mask name is not used. Null when no file is found (gxERRTEXTUREUNKNOWN) or the file can not be read.
GxTexture* GxD3D9TextureReadDDS(const GxChar* name, const GxChar* maskName);

// Reads one DDS file from a stream positioned at its magic; null when the file is bad, truncated or
// holds a format neither the device nor the CPU conversion can take.
GxRaster* GxD3D9RasterReadDDS(GxStream* stream);

// DDS file name and texture name for a name, when such a file exists; the names are the caller's to free
// with GxFree. Used by the texture read.
GxBool GxD3D9DDSFindFile(const GxChar* name, GxChar** fileName, GxChar** textureName);

// Bytes of the blocks of a width x height level: edge blocks count whole (blocks of 8 bytes for DXT1).
GxUInt32 GxD3D9DXTDataSize(GxInt32 width, GxInt32 height, GxInt32 blockBytes);

// DXT decoders into 32-bit R, G, B, A rows of width x 4 bytes. Every block is decoded, edge blocks of
// sizes not divisible by 4 included, so `blocks` holds GxD3D9DXTDataSize bytes.
// DXT1 returns 1 when any texel is transparent, else 0.
GxBool GxD3D9DecompressDXT1(GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks);
void GxD3D9DecompressDXT3(GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks);
void GxD3D9DecompressDXT5(GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks);
// Writes the alpha of one DXT5 block into the texels of an image `imageWidth` texels wide, starting at
// the block's top-left texel; only texels whose bit (4 y + x) is set in keepMask are written.
void GxD3D9DecompressDXT5Alpha(GxUInt8* texels, const GxUInt8* alphaBlock, GxInt32 imageWidth, GxUInt32 keepMask);
