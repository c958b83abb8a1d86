// CPU decoders of DDS texel data into 32-bit R, G, B, A images: DXT1, DXT3 and DXT5 blocks and uncompressed layouts.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/image.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/dds_local.h"
#include "gfx/d3d9/pixelconv.h"
#include "platform/d3d9/d3d9.h"

namespace {

// One decoded block, texel t = 4 y + x, each as bytes R, G, B, A in memory order.
struct Block {
    GxUInt32 texel[16];
};

GxUInt32 Pack(GxUInt32 r, GxUInt32 g, GxUInt32 b, GxUInt32 a) { return r | g << 8 | b << 16 | a << 24; }

// Decodes the colour half. Four-colour mode when colour 0 > colour 1 or when forced; otherwise three
// colours and transparent black. Returns true when an index of the transparent entry was used
// inside keepMask.
bool DecodeColour(const GxUInt8* data, bool forceFour, GxUInt32 keepMask, Block* block)
{
    const GxUInt32 c0 = GxBytesGetU16(data);
    const GxUInt32 c1 = GxBytesGetU16(data + 2);
    const GxUInt32 r0 = (c0 >> 8) & 0xF8, g0 = (c0 >> 3) & 0xFC, b0 = (c0 & 0x1F) << 3;
    const GxUInt32 r1 = (c1 >> 8) & 0xF8, g1 = (c1 >> 3) & 0xFC, b1 = (c1 & 0x1F) << 3;
    GxUInt32 palette[4];
    palette[0] = Pack(r0, g0, b0, 255);
    palette[1] = Pack(r1, g1, b1, 255);
    const bool four = forceFour || c0 > c1;
    if (four) {
        palette[2] = Pack((2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * b0 + b1) / 3, 255);
        palette[3] = Pack((r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (b0 + 2 * b1) / 3, 255);
    } else {
        palette[2] = Pack((r0 + r1) / 2, (g0 + g1) / 2, (b0 + b1) / 2, 255);
        palette[3] = 0;
    }
    bool transparent = false;
    for (GxInt32 y = 0; y < 4; y++) {
        const GxUInt32 bits = data[4 + y];
        for (GxInt32 x = 0; x < 4; x++) {
            const GxUInt32 index = (bits >> (2 * x)) & 3;
            block->texel[4 * y + x] = palette[index];
            transparent = transparent || (!four && index == 3 && (keepMask >> (4 * y + x)) & 1);
        }
    }
    return transparent;
}

void ExplicitAlpha(const GxUInt8* data, Block* block)
{
    for (GxInt32 y = 0; y < 4; y++) {
        const GxUInt32 row = GxBytesGetU16(data + 2 * y);
        for (GxInt32 x = 0; x < 4; x++) {
            const GxUInt32 a = ((row >> (4 * x)) & 0xF) * 17;
            GxUInt32& t = block->texel[4 * y + x];
            t = (t & 0x00FFFFFFu) | a << 24;
        }
    }
}

void AlphaTable(const GxUInt8* data, GxUInt32 table[8])
{
    const GxUInt32 a0 = data[0];
    const GxUInt32 a1 = data[1];
    table[0] = a0;
    table[1] = a1;
    if (a0 > a1) {
        for (GxUInt32 i = 1; i < 7; i++) {
            table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
        }
        return;
    }
    for (GxUInt32 i = 1; i < 5; i++) {
        table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    }
    table[6] = 0;
    table[7] = 255;
}

// The 3-bit index of texel t of a DXT5 alpha block.
GxUInt32 AlphaIndex(const GxUInt8* data, GxInt32 t)
{
    const GxUInt32 bits = GxBytesGetU24(data + (t < 8 ? 2 : 5));
    return (bits >> (3 * (t & 7))) & 7;
}

void InterpolatedAlpha(const GxUInt8* data, Block* block)
{
    GxUInt32 table[8];
    AlphaTable(data, table);
    for (GxInt32 t = 0; t < 16; t++) {
        GxUInt32& texel = block->texel[t];
        texel = (texel & 0x00FFFFFFu) | table[AlphaIndex(data, t)] << 24;
    }
}

// The texels of the block at (bx, by) that lie inside the image.
GxUInt32 KeepMask(GxInt32 width, GxInt32 height, GxInt32 bx, GxInt32 by, GxInt32* columns, GxInt32* rows)
{
    *columns = width - 4 * bx < 4 ? width - 4 * bx : 4;
    *rows = height - 4 * by < 4 ? height - 4 * by : 4;
    const GxUInt32 rowMask = (1u << *columns) - 1;
    GxUInt32 mask = 0;
    for (GxInt32 y = 0; y < *rows; y++) {
        mask |= rowMask << (4 * y);
    }
    return mask;
}

void Store(const Block& block, GxUInt8* pixels, GxInt32 width, GxInt32 bx, GxInt32 by, GxInt32 columns, GxInt32 rows)
{
    const size_t stride = static_cast<size_t>(width) * 4;
    GxUInt8* corner = pixels + static_cast<size_t>(4 * by) * stride + static_cast<size_t>(4 * bx) * 4;
    for (GxInt32 y = 0; y < rows; y++) {
        std::memcpy(corner + y * stride, &block.texel[4 * y], static_cast<size_t>(columns) * 4);
    }
}

enum Kind {
    kDXT1,
    kDXT3,
    kDXT5
};

GxBool Decode(Kind kind, GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks)
{
    GX_ASSERT(pixels != nullptr && blocks != nullptr, "decoders write an image from blocks");
    const GxInt32 across = (width + 3) / 4;
    const GxInt32 down = (height + 3) / 4;
    const GxInt32 blockBytes = kind == kDXT1 ? 8 : 16;
    bool transparent = false;
    Block block;
    for (GxInt32 by = 0; by < down; by++) {
        for (GxInt32 bx = 0; bx < across; bx++, blocks += blockBytes) {
            GxInt32 columns, rows;
            const GxUInt32 keep = KeepMask(width, height, bx, by, &columns, &rows);
            if (kind == kDXT1) {
                transparent = DecodeColour(blocks, false, keep, &block) || transparent;
            } else {
                // Colour halves of DXT2 to DXT5 blocks always use four colours, whatever the order of the end
                // points, as the device decodes them: the three-colour mode and its extra entry belong to DXT1.
                DecodeColour(blocks + 8, true, keep, &block);
                if (kind == kDXT3) {
                    ExplicitAlpha(blocks, &block);
                } else {
                    InterpolatedAlpha(blocks, &block);
                }
            }
            Store(block, pixels, width, bx, by, columns, rows);
        }
    }
    return transparent ? 1 : 0;
}

}  // namespace

GxUInt32 GxD3D9DXTDataSize(GxInt32 width, GxInt32 height, GxInt32 blockBytes)
{
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<GxUInt32>((width + 3) / 4) * static_cast<GxUInt32>((height + 3) / 4) *
           static_cast<GxUInt32>(blockBytes);
}

GxBool GxD3D9DecompressDXT1(GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks)
{
    return Decode(kDXT1, width, height, pixels, blocks);
}

void GxD3D9DecompressDXT3(GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks)
{
    Decode(kDXT3, width, height, pixels, blocks);
}

void GxD3D9DecompressDXT5(GxInt32 width, GxInt32 height, GxUInt8* pixels, const GxUInt8* blocks)
{
    Decode(kDXT5, width, height, pixels, blocks);
}

void GxD3D9DecompressDXT5Alpha(GxUInt8* texels, const GxUInt8* alphaBlock, GxInt32 imageWidth, GxUInt32 keepMask)
{
    GX_ASSERT(texels != nullptr && alphaBlock != nullptr && imageWidth > 0, "a block's alpha into an image");
    GxUInt32 table[8];
    AlphaTable(alphaBlock, table);
    for (GxInt32 t = 0; t < 16; t++) {
        if ((keepMask >> t) & 1) {
            texels[(static_cast<size_t>(t / 4) * imageWidth + t % 4) * 4 + 3] =
                static_cast<GxUInt8>(table[AlphaIndex(alphaBlock, t)]);
        }
    }
}

// ---- uncompressed layouts of the conversion path ----

namespace {

// The top 8 bits of 16-bit channel `channel` of a texel.
GxUInt32 Channel16(const GxUInt8* p, GxUInt32 channel) { return GxBytesGetU16(p + 2 * channel) >> 8; }

GxUInt32 Rgba(GxUInt32 r, GxUInt32 g, GxUInt32 b, GxUInt32 a)
{
    return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16 | (a & 0xFF) << 24;
}

GxUInt32 ConvertTexel(DDSLayout layout, const GxUInt8* p, const GxUInt8* palette)
{
    // Texels wider than 4 bytes (16-bit channels) are read channel by channel instead.
    const GxUInt32 v = GxD3D9TexelValue(p, DDSLayoutTexelBytes(layout));
    switch (layout) {
    case DDSLayout::A16B16G16R16:
        return Rgba(Channel16(p, 0), Channel16(p, 1), Channel16(p, 2), Channel16(p, 3));
    case DDSLayout::RGB24:
        return Rgba(p[2], p[1], p[0], 255);
    case DDSLayout::X8R8G8B8:
        return Rgba(v >> 16, v >> 8, v, 255);
    case DDSLayout::R5G6B5:
        return Rgba((v >> 8) & 0xF8, (v >> 3) & 0xFC, (v & 0x1F) << 3, 255);
    case DDSLayout::R3G3B2:
        return Rgba(v & 0xE0, (v & 0x1C) << 3, (v & 0x3) << 6, 255);
    case DDSLayout::A8R8G8B8:
        return Rgba(v >> 16, v >> 8, v, v >> 24);
    case DDSLayout::A1R5G5B5:
        return Rgba((v >> 7) & 0xF8, (v >> 2) & 0xF8, (v & 0x1F) << 3, (v & 0x8000) ? 255 : 0);
    case DDSLayout::A4R4G4B4:
        return Rgba((v >> 4) & 0xF0, v & 0xF0, (v & 0xF) << 4, (v >> 8) & 0xF0);
    case DDSLayout::A2R10G10B10:
        return Rgba(v >> 22, v >> 12, v >> 2, (v >> 30) * 85);
    case DDSLayout::A8R3G3B2:
        return Rgba(v & 0xE0, (v & 0x1C) << 3, (v & 0x3) << 6, v >> 8);
    case DDSLayout::A2B10G10R10:
        return Rgba(v >> 2, v >> 12, v >> 22, (v >> 30) * 85);
    case DDSLayout::L16:
        return Rgba(v >> 8, v >> 8, v >> 8, 255);
    case DDSLayout::A8L8:
        return Rgba(v, v, v, v >> 8);
    case DDSLayout::L8:
        return Rgba(v, v, v, 255);
    case DDSLayout::A8:
        return Rgba(255, 255, 255, v);
    case DDSLayout::A4L4:
        return Rgba((v & 0xF) << 4, (v & 0xF) << 4, (v & 0xF) << 4, v & 0xF0);
    case DDSLayout::P8:
        GX_ASSERT(palette != nullptr, "a palettised file's palette is read before its texels");
        return Rgba(palette[4 * v], palette[4 * v + 1], palette[4 * v + 2], palette[4 * v + 3]);
    default:
        return 0;
    }
}

}  // namespace

GxUInt32 DDSLayoutTexelBytes(DDSLayout layout)
{
    switch (layout) {
    case DDSLayout::A16B16G16R16:
        return 8;
    case DDSLayout::RGB24:
        return 3;
    case DDSLayout::X8R8G8B8:
    case DDSLayout::A8R8G8B8:
    case DDSLayout::A2R10G10B10:
    case DDSLayout::A2B10G10R10:
        return 4;
    case DDSLayout::R5G6B5:
    case DDSLayout::A1R5G5B5:
    case DDSLayout::A4R4G4B4:
    case DDSLayout::A8R3G3B2:
    case DDSLayout::L16:
    case DDSLayout::A8L8:
        return 2;
    case DDSLayout::R3G3B2:
    case DDSLayout::L8:
    case DDSLayout::A8:
    case DDSLayout::A4L4:
    case DDSLayout::P8:
        return 1;
    default:
        return 0;
    }
}

void DDSConvertRows(DDSLayout layout, const GxUInt8* data, GxUInt32 rowBytes, const GxUInt8* palette, GxImage* image)
{
    const GxUInt32 bytes = DDSLayoutTexelBytes(layout);
    GX_ASSERT(bytes != 0 && data != nullptr && image != nullptr && image->pixels != nullptr,
              "texels of a known layout into an allocated image");
    for (GxInt32 y = 0; y < image->height; y++) {
        const GxUInt8* src = data + static_cast<size_t>(y) * rowBytes;
        GxUInt8* dst = image->pixels + static_cast<size_t>(y) * image->stride;
        for (GxInt32 x = 0; x < image->width; x++, src += bytes) {
            const GxUInt32 texel = ConvertTexel(layout, src, palette);
            std::memcpy(dst + 4 * static_cast<size_t>(x), &texel, 4);
        }
    }
}

bool DDSDecodeDXT(GxUInt32 fourCC, GxImage* image, const GxUInt8* blocks)
{
    GX_ASSERT(image != nullptr && image->pixels != nullptr && image->stride == image->width * 4,
              "the decoders write rows of width x 4 bytes");
    switch (fourCC) {
    case D3DFMT_DXT1:
        return GxD3D9DecompressDXT1(image->width, image->height, image->pixels, blocks) != 0;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
        GxD3D9DecompressDXT3(image->width, image->height, image->pixels, blocks);
        return false;
    default:
        GxD3D9DecompressDXT5(image->width, image->height, image->pixels, blocks);
        return false;
    }
}
