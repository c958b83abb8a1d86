// Internals shared by the DDS reader and its CPU decoders: texel layouts of the conversion path.
#pragma once

#include "gfx/core/gx.h"

struct GxImage;

// How the texels of a DDS file that the device can not take are stored.
enum class DDSLayout {
    FourCC,  // by its four-character code
    A16B16G16R16,
    RGB24,
    X8R8G8B8,
    R5G6B5,
    R3G3B2,
    A8R8G8B8,
    A1R5G5B5,
    A4R4G4B4,
    A2R10G10B10,
    A8R3G3B2,
    A2B10G10R10,
    L16,
    A8L8,
    L8,
    A8,
    A4L4,
    P8,
};

// Bytes each texel of a layout takes (0 for FourCC).
GxUInt32 DDSLayoutTexelBytes(DDSLayout layout);

// Converts image->height rows of `rowBytes` bytes into the 32-bit image (palette: 256 entries of R, G, B, A).
void DDSConvertRows(DDSLayout layout, const GxUInt8* data, GxUInt32 rowBytes, const GxUInt8* palette, GxImage* image);

// Decodes the DXT blocks of the image's size into it; true when a DXT1 texel is transparent.
bool DDSDecodeDXT(GxUInt32 fourCC, GxImage* image, const GxUInt8* blocks);
