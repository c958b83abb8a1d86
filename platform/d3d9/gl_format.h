// How each Direct3D surface format is stored and uploaded in OpenGL.
#pragma once

#include <cstdint>

// GL storage of one Direct3D format. convert != 0 means the texels are
// widened on the CPU (to B,G,R,A bytes) before upload.
struct GlFormat {
    uint32_t d3dFormat;
    unsigned internalFormat;
    unsigned format;
    unsigned type;
    int bytesPerPixel;  // 0 for block-compressed formats
    int blockBytes;     // bytes per 4x4 block of a compressed format
    int convert;        // GlConvert*
    bool depth;
    bool stencil;
};

enum {
    kGlConvertNone = 0,
    kGlConvertA4L4,
    kGlConvertA8R3G3B2,
};

// Null for formats the back end cannot hold (P8 and anything unknown).
const GlFormat* GlFormatFind(uint32_t d3dFormat);

// Widens n texels of a converted format to B,G,R,A bytes.
void GlFormatConvertRow(const GlFormat* f, const uint8_t* src, uint8_t* dst, int n);
