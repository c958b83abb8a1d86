// Direct3D format to OpenGL storage table and the CPU conversions for formats GL lacks.
#include "platform/d3d9/gl_format.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/glimports.h"

namespace {

// B,G,R,A in memory is GL_BGRA; the 16-bit layouts have their first
// component in the low bits, hence the _REV types.
const GlFormat kGlFormats[] = {
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_X8R8G8B8, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_R8G8B8, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, 3, 0, kGlConvertNone, false, false},
    {D3DFMT_R5G6B5, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_X1R5G5B5, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_A1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_A4R4G4B4, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_X4R4G4B4, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_R3G3B2, GL_R3_G3_B2, GL_RGB, GL_UNSIGNED_BYTE_3_3_2, 1, 0, kGlConvertNone, false, false},
    {D3DFMT_A8R3G3B2, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 2, 0, kGlConvertA8R3G3B2, false, false},
    {D3DFMT_A8, GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, 1, 0, kGlConvertNone, false, false},
    {D3DFMT_L8, GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, 1, 0, kGlConvertNone, false, false},
    {D3DFMT_A8L8, GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_A4L4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 1, 0, kGlConvertA4L4, false, false},
    {D3DFMT_L16, GL_LUMINANCE16, GL_LUMINANCE, GL_UNSIGNED_SHORT, 2, 0, kGlConvertNone, false, false},
    {D3DFMT_A2R10G10B10, GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_A2B10G10R10, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_A8B8G8R8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_X8B8G8R8, GL_RGB8, GL_RGBA, GL_UNSIGNED_BYTE, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, 4, 0, kGlConvertNone, false, false},
    {D3DFMT_A16B16G16R16, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, 8, 0, kGlConvertNone, false, false},
    {D3DFMT_DXT1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, 0, 8, kGlConvertNone, false, false},
    {D3DFMT_DXT2, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, 0, 16, kGlConvertNone, false, false},
    {D3DFMT_DXT3, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, 0, 16, kGlConvertNone, false, false},
    {D3DFMT_DXT4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, 0, 16, kGlConvertNone, false, false},
    {D3DFMT_DXT5, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, 0, 16, kGlConvertNone, false, false},
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2, 0, kGlConvertNone, true, false},
    {D3DFMT_D16_LOCKABLE, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2, 0, kGlConvertNone, true,
     false},
    {D3DFMT_D32, GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, 4, 0, kGlConvertNone, true, false},
    {D3DFMT_D24X8, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, 4, 0, kGlConvertNone, true, false},
    {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, 0, kGlConvertNone, true, true},
    {D3DFMT_D24X4S4, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, 0, kGlConvertNone, true, true},
    {D3DFMT_D15S1, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 2, 0, kGlConvertNone, true, true},
};

uint8_t Expand(unsigned v, int bits)
{
    const unsigned maxv = (1u << bits) - 1u;
    return static_cast<uint8_t>((v * 255u + maxv / 2u) / maxv);
}

}  // namespace

const GlFormat* GlFormatFind(uint32_t d3dFormat)
{
    for (const GlFormat& f : kGlFormats) {
        if (f.d3dFormat == d3dFormat)
            return &f;
    }
    return nullptr;
}

void GlFormatConvertRow(const GlFormat* f, const uint8_t* src, uint8_t* dst, int n)
{
    for (int i = 0; i < n; ++i) {
        uint8_t* out = dst + i * 4;
        if (f->convert == kGlConvertA4L4) {
            const uint8_t l = Expand(src[i] & 0x0Fu, 4);
            out[0] = l;
            out[1] = l;
            out[2] = l;
            out[3] = Expand(src[i] >> 4, 4);
        } else {  // A8R3G3B2: low byte R3G3B2, high byte alpha
            const unsigned v = src[i * 2];
            out[0] = Expand(v & 0x03u, 2);
            out[1] = Expand((v >> 2) & 0x07u, 3);
            out[2] = Expand(v >> 5, 3);
            out[3] = src[i * 2 + 1];
        }
    }
}
