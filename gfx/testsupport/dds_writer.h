// DDS file writer and a simple DXT1/3/5 block encoder for authored content and test fixtures.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "gfx/core/bytes.h"

struct GxImage;

// One DDS file as it is written: header fields, the optional palette and the texel data of every
// face and level in file order (the writer does not check the data's length, so tests can cut it).
struct ContentDds {
    uint32_t flags = 0x1007;  // caps, height, width, pixel format
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pitch = 0;     // pitch or linear size
    uint32_t mipCount = 0;  // with flag 0x20000
    uint32_t pixelFlags = 0;
    uint32_t fourCC = 0;
    uint32_t bitCount = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    uint32_t alphaMask = 0;
    uint32_t caps1 = 0x1000;
    uint32_t caps2 = 0;
    std::vector<uint8_t> palette;  // 1024 bytes for 8-bit palette files
    std::vector<uint8_t> data;
};

constexpr uint32_t ContentFourCC(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

inline void ContentDdsSetFourCC(ContentDds* dds, uint32_t code)
{
    dds->pixelFlags = 0x4;
    dds->fourCC = code;
}

inline void ContentDdsSetMasks(ContentDds* dds, uint32_t pixelFlags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b,
                               uint32_t a)
{
    dds->pixelFlags = pixelFlags;
    dds->bitCount = bits;
    dds->redMask = r;
    dds->greenMask = g;
    dds->blueMask = b;
    dds->alphaMask = a;
}

inline void ContentDdsSetMipmaps(ContentDds* dds, uint32_t levels)
{
    dds->flags |= 0x20000;
    dds->mipCount = levels;
    dds->caps1 |= 0x400008;
}

// All six faces of a cube map.
inline void ContentDdsSetCube(ContentDds* dds)
{
    dds->caps1 |= 0x8;
    dds->caps2 = 0x200 | 0xFC00;
}

// Header fields and where they lie in the 128-byte header (magic included).
constexpr size_t kContentDdsHeaderSize = 128;
constexpr uint32_t kContentDdsMagic = 0x20534444;  // "DDS "
constexpr uint32_t kContentDdsInfoSize = 124;      // the header after the magic
constexpr uint32_t kContentDdsPixelFormatSize = 32;

// The whole file, field by field.
inline std::vector<uint8_t> ContentDdsBytes(const ContentDds& dds)
{
    uint8_t header[kContentDdsHeaderSize] = {};
    const std::pair<size_t, uint32_t> fields[] = {
        {0, kContentDdsMagic}, {4, kContentDdsInfoSize}, {8, dds.flags},       {12, dds.height},
        {16, dds.width},       {20, dds.pitch},          {28, dds.mipCount},   {76, kContentDdsPixelFormatSize},
        {80, dds.pixelFlags},  {84, dds.fourCC},         {88, dds.bitCount},   {92, dds.redMask},
        {96, dds.greenMask},   {100, dds.blueMask},      {104, dds.alphaMask}, {108, dds.caps1},
        {112, dds.caps2},
    };
    for (const auto& field : fields) {
        GxBytesPutU32(header + field.first, field.second);
    }
    std::vector<uint8_t> out(header, header + kContentDdsHeaderSize);
    out.insert(out.end(), dds.palette.begin(), dds.palette.end());
    out.insert(out.end(), dds.data.begin(), dds.data.end());
    return out;
}

// ---- DXT encoder: bounding-box end points, nearest palette entry per texel ----

inline uint32_t ContentDxtTo565(const uint8_t* c) { return (c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3; }

inline void ContentDxtFrom565(uint32_t w, int* out)
{
    out[0] = static_cast<int>((w >> 8) & 0xF8);
    out[1] = static_cast<int>((w >> 3) & 0xFC);
    out[2] = static_cast<int>((w & 0x1F) << 3);
}

// Encodes a colour block from 16 texels of R, G, B, A. With `punchThrough`, texels whose alpha is below
// 128 become transparent (three-colour mode); otherwise the block is always in four-colour mode.
inline void ContentDxtEncodeColour(const uint8_t* texels, bool punchThrough, uint8_t* out)
{
    bool anyTransparent = false;
    const uint8_t* lo = nullptr;
    const uint8_t* hi = nullptr;
    int loLum = 1 << 30, hiLum = -1;
    for (int t = 0; t < 16; t++) {
        const uint8_t* c = texels + 4 * t;
        if (punchThrough && c[3] < 128) {
            anyTransparent = true;
            continue;
        }
        const int lum = 30 * c[0] + 59 * c[1] + 11 * c[2];
        if (lum < loLum) {
            loLum = lum;
            lo = c;
        }
        if (lum > hiLum) {
            hiLum = lum;
            hi = c;
        }
    }
    static const uint8_t black[4] = {0, 0, 0, 255};
    uint32_t c0 = ContentDxtTo565(hi ? hi : black);
    uint32_t c1 = ContentDxtTo565(lo ? lo : black);
    const bool three = anyTransparent;
    if (three ? c0 > c1 : c0 < c1) {
        std::swap(c0, c1);
    }
    if (!three && c0 == c1) {
        // Four-colour mode needs c0 > c1; index 0 carries the colour either way.
        if (c1 > 0) {
            c1--;
        } else {
            c0++;
        }
    }
    int p[4][3];
    ContentDxtFrom565(c0, p[0]);
    ContentDxtFrom565(c1, p[1]);
    for (int k = 0; k < 3; k++) {
        if (three) {
            p[2][k] = (p[0][k] + p[1][k]) / 2;
            p[3][k] = 0;
        } else {
            p[2][k] = (2 * p[0][k] + p[1][k]) / 3;
            p[3][k] = (p[0][k] + 2 * p[1][k]) / 3;
        }
    }
    GxBytesPutU16(out, c0);
    GxBytesPutU16(out + 2, c1);
    for (int y = 0; y < 4; y++) {
        uint8_t bits = 0;
        for (int x = 0; x < 4; x++) {
            const uint8_t* c = texels + 4 * (4 * y + x);
            int best = 0;
            if (three && c[3] < 128) {
                best = 3;
            } else {
                int bestDistance = 1 << 30;
                for (int i = 0; i < (three ? 3 : 4); i++) {
                    const int dr = c[0] - p[i][0], dg = c[1] - p[i][1], db = c[2] - p[i][2];
                    const int d = dr * dr + dg * dg + db * db;
                    if (d < bestDistance) {
                        bestDistance = d;
                        best = i;
                    }
                }
            }
            bits |= static_cast<uint8_t>(best << (2 * x));
        }
        out[4 + y] = bits;
    }
}

inline void ContentDxtEncodeExplicitAlpha(const uint8_t* texels, uint8_t* out)
{
    for (int y = 0; y < 4; y++) {
        uint32_t row = 0;
        for (int x = 0; x < 4; x++) {
            row |= static_cast<uint32_t>(texels[4 * (4 * y + x) + 3] >> 4) << (4 * x);
        }
        GxBytesPutU16(out + 2 * y, row);
    }
}

inline void ContentDxtEncodeInterpolatedAlpha(const uint8_t* texels, uint8_t* out)
{
    int a0 = 0, a1 = 255;
    for (int t = 0; t < 16; t++) {
        a0 = std::max<int>(a0, texels[4 * t + 3]);
        a1 = std::min<int>(a1, texels[4 * t + 3]);
    }
    int table[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (int i = 1; i < 7; i++) {
            table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
        }
    } else {
        for (int i = 1; i < 5; i++) {
            table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        }
        table[6] = 0;
    }
    out[0] = static_cast<uint8_t>(a0);
    out[1] = static_cast<uint8_t>(a1);
    uint64_t bits = 0;
    for (int t = 0; t < 16; t++) {
        const int a = texels[4 * t + 3];
        int best = 0;
        for (int i = 1; i < 8; i++) {
            if (std::abs(table[i] - a) < std::abs(table[best] - a)) {
                best = i;
            }
        }
        bits |= static_cast<uint64_t>(best) << (3 * t);
    }
    // Sixteen 3-bit indices: 48 bits, low bytes first.
    GxBytesPutU16(out + 2, static_cast<uint32_t>(bits));
    GxBytesPutU32(out + 4, static_cast<uint32_t>(bits >> 16));
}

// Encodes a width x height R, G, B, A image (rows of width x 4 bytes) as DXT1 (1), DXT3 (3) or DXT5 (5)
// blocks; edge blocks repeat the last row and column.
inline std::vector<uint8_t> ContentDxtEncode(int kind, int width, int height, const uint8_t* rgba)
{
    std::vector<uint8_t> out;
    const int blockBytes = kind == 1 ? 8 : 16;
    uint8_t texels[64];
    uint8_t block[16];
    for (int by = 0; by < (height + 3) / 4; by++) {
        for (int bx = 0; bx < (width + 3) / 4; bx++) {
            for (int t = 0; t < 16; t++) {
                const int x = std::min(4 * bx + t % 4, width - 1);
                const int y = std::min(4 * by + t / 4, height - 1);
                std::memcpy(texels + 4 * t, rgba + (static_cast<size_t>(y) * width + x) * 4, 4);
            }
            if (kind == 1) {
                ContentDxtEncodeColour(texels, true, block);
            } else {
                if (kind == 3) {
                    ContentDxtEncodeExplicitAlpha(texels, block);
                } else {
                    ContentDxtEncodeInterpolatedAlpha(texels, block);
                }
                ContentDxtEncodeColour(texels, false, block + 8);
            }
            out.insert(out.end(), block, block + blockBytes);
        }
    }
    return out;
}

// A one-level file of a width x height R, G, B, A image (rows of width x 4 bytes): A8R8G8B8 texels
// (code 0) or DXT1, DXT3 or DXT5 blocks (code 1, 3, 5).
inline ContentDds ContentDdsFromRgba(int code, int width, int height, const uint8_t* rgba)
{
    ContentDds dds;
    dds.width = static_cast<uint32_t>(width);
    dds.height = static_cast<uint32_t>(height);
    if (code == 0) {
        ContentDdsSetMasks(&dds, 0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
        dds.flags |= 0x8;
        dds.pitch = static_cast<uint32_t>(width) * 4;
        dds.data.assign(rgba, rgba + static_cast<size_t>(width) * height * 4);
        for (size_t i = 0; i < dds.data.size(); i += 4) {
            std::swap(dds.data[i], dds.data[i + 2]);
        }
        return dds;
    }
    ContentDdsSetFourCC(&dds, ContentFourCC('D', 'X', 'T', static_cast<char>('0' + code)));
    dds.data = ContentDxtEncode(code, width, height, rgba);
    dds.flags |= 0x80000;
    dds.pitch = static_cast<uint32_t>(dds.data.size());
    return dds;
}

// Writes a 32-bit image as a DDS file: A8R8G8B8 (code 0) or DXT1, DXT3 or DXT5 blocks (code 1, 3, 5),
// one level. Returns false when the image is not 32-bit or the file can not be written.
bool ContentDdsWriteImage(const char* path, const GxImage* image, int code);
