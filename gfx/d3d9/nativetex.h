// Native textures of the Direct3D 9 driver: the struct chunk that stores a texture as the device holds it.
#pragma once

#include "gfx/core/gx.h"

// Platform id at the start of every native texture struct.
constexpr GxUInt32 gxD3D9NATIVETEXTUREPLATFORM = 9;

// Flags byte of the stored raster description.
enum GxD3D9NativeTextureFlags : GxUInt8 {
    gxD3D9NATIVETEXTUREALPHA = 0x01,
    gxD3D9NATIVETEXTURECUBE = 0x02,
    gxD3D9NATIVETEXTUREAUTOMIPMAP = 0x04,  // the file holds level 0 only; the device builds the rest
    gxD3D9NATIVETEXTURECOMPRESSED = 0x08,
};

// Bytes of the fixed part of the struct body: the 72-byte naming block and the 16-byte raster description.
constexpr GxUInt32 gxD3D9NATIVETEXTUREFIXEDSIZE = 88;
// Native size of a texture without raster: the struct header and the naming block.
constexpr GxInt32 gxD3D9NATIVETEXTURENORASTERSIZE = 84;

// Bytes of one stored level: compressed levels hold one pitch per row of 4 x 4 blocks, a partial row included.
GxUInt32 GxD3D9NativeTextureLevelSize(GxBool compressed, GxUInt32 pitch, GxUInt32 height);
