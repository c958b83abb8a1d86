// Tests of pixel conversion: single colours, image analysis and image/raster round trips on the software device.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/core/image.h"
#include "gfx/d3d9/pixelconv.h"
#include "gfx/d3d9/raster.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

GxUInt32 ToPixel(GxRGBA c, GxInt32 format)
{
    GxUInt32 p = 0xDEADBEEF;
    EXPECT_TRUE(GxD3D9RGBToPixel(&p, &c, format));
    return p;
}

GxRGBA ToColour(GxUInt32 p, GxInt32 format)
{
    GxRGBA c = {1, 2, 3, 4};
    EXPECT_TRUE(GxD3D9PixelToRGB(&c, &p, format));
    return c;
}

class PixelConv : public GxD3D9SoftwareTest {
protected:
    void TearDown() override
    {
        for (GxImage* image : images) {
            GxImageDestroy(image);
        }
        GxD3D9SoftwareTest::TearDown();
    }
    GxImage* Image(GxInt32 w, GxInt32 h, GxInt32 depth)
    {
        GxImage* image = GxImageCreate(w, h, depth);
        EXPECT_NE(image, nullptr);
        EXPECT_NE(GxImageAllocatePixels(image), nullptr);
        images.push_back(image);
        return image;
    }
    GxRaster* Raster(GxInt32 w, GxInt32 h, GxInt32 flags) { return Keep(GxRasterCreate(w, h, 0, flags)); }
    GxRaster* RasterOf(GxInt32 w, GxInt32 h, GxUInt32 d3dFormat)
    {
        return Keep(GxD3D9RasterCreateFromD3DFormat(w, h, d3dFormat, gxRASTERTYPETEXTURE));
    }
    static void Put(GxImage* image, GxInt32 x, GxInt32 y, GxRGBA c)
    {
        GxUInt8* p = image->pixels + y * image->stride + 4 * x;
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
        p[3] = c.alpha;
    }
    static GxRGBA Get(const GxImage* image, GxInt32 x, GxInt32 y)
    {
        const GxUInt8* p = image->pixels + y * image->stride + 4 * x;
        return GxRGBA{p[0], p[1], p[2], p[3]};
    }
    // An image of distinct colours that `d3dFormat` holds exactly (packed and unpacked once).
    GxImage* ExactImage(GxInt32 w, GxInt32 h, GxUInt32 d3dFormat)
    {
        GxImage* image = Image(w, h, 32);
        GxUInt32 seed = 7;
        for (GxInt32 y = 0; y < h; y++) {
            for (GxInt32 x = 0; x < w; x++) {
                seed = seed * 1664525u + 1013904223u;
                GxRGBA c = {static_cast<GxUInt8>(seed >> 24), static_cast<GxUInt8>(seed >> 16),
                            static_cast<GxUInt8>(seed >> 8), static_cast<GxUInt8>(x == 0 ? 255 : seed)};
                GxUInt32 packed = 0;
                EXPECT_TRUE(GxD3D9PackPixel(d3dFormat, &c, &packed));
                EXPECT_TRUE(GxD3D9UnpackPixel(d3dFormat, packed, &c));
                Put(image, x, y, c);
            }
        }
        return image;
    }
    // Writes the image into the raster, reads it back and compares every pixel.
    void RoundTrip(GxRaster* raster, const GxImage* image)
    {
        ASSERT_NE(raster, nullptr);
        ASSERT_TRUE(GxD3D9RasterSetFromImage(raster, const_cast<GxImage*>(image), 0)) << GxTestTakeErrorCode();
        GxImage* back = Image(image->width, image->height, 32);
        ASSERT_TRUE(GxD3D9ImageGetFromRaster(back, raster, 0)) << GxTestTakeErrorCode();
        for (GxInt32 i = 0; i < image->width * image->height; i++) {
            const GxRGBA want = Get(image, i % image->width, i / image->width);
            const GxRGBA got = Get(back, i % image->width, i / image->width);
            ASSERT_TRUE(GxTestSameRGBA(want, got))
                << "pixel " << i << " red " << int(want.red) << " got " << int(got.red);
        }
    }

    std::vector<GxImage*> images;
};

}  // namespace

TEST(PixelConvColour, PackingOfSingleColours)
{
    EXPECT_EQ(ToPixel({255, 128, 0, 255}, gxRASTERFORMAT565), 0xFC00u);
    EXPECT_EQ(ToPixel({255, 128, 0, 127}, gxRASTERFORMAT1555), 0x7E00u);
    EXPECT_EQ(ToPixel({255, 128, 0, 128}, gxRASTERFORMAT1555), 0xFE00u);
    EXPECT_EQ(ToPixel({0x12, 0x34, 0x56, 0x78}, gxRASTERFORMAT8888), 0x78123456u);
    EXPECT_EQ(ToPixel({0x12, 0x34, 0x56, 0x78}, 0), 0x78123456u);
    EXPECT_EQ(ToPixel({0x12, 0x34, 0x56, 0x00}, gxRASTERFORMAT888), 0xFF123456u);
    EXPECT_EQ(ToPixel({0xF8, 0x08, 0x10, 0}, gxRASTERFORMAT555), 0x7C22u);
    EXPECT_EQ(ToPixel({0xAB, 0xCD, 0xEF, 0x98}, gxRASTERFORMAT4444), 0x9ACEu);
    // Luminance is weighted and scaled by alpha.
    EXPECT_EQ(ToPixel({100, 200, 50, 255}, gxRASTERFORMATLUM8), (30u * 100 + 59 * 200 + 11 * 50) / 100);
    EXPECT_EQ(ToPixel({100, 200, 50, 0}, gxRASTERFORMATLUM8), 0u);

    EXPECT_EQ(ToColour(0xF123, gxRASTERFORMAT4444).alpha, 255);
    EXPECT_EQ(ToColour(0x7123, gxRASTERFORMAT4444).alpha, 0x70);
    EXPECT_TRUE(GxTestSameRGBA(ToColour(0x8000, gxRASTERFORMAT1555), {0, 0, 0, 255}));
    EXPECT_TRUE(GxTestSameRGBA(ToColour(0x7FFF, gxRASTERFORMAT1555), {0xF8, 0xF8, 0xF8, 0}));
    EXPECT_TRUE(GxTestSameRGBA(ToColour(0x42, gxRASTERFORMATLUM8), {0x42, 0x42, 0x42, 255}));
    // A palette value passes unchanged.
    EXPECT_TRUE(GxTestSameRGBA(ToColour(0x04030201, gxRASTERFORMATPAL8 | gxRASTERFORMAT888), {1, 2, 3, 4}));

    // Nibbles without a colour rule fail with gxERRINVALIDRASTER.
    GxUInt32 p = 0;
    GxRGBA c = {1, 2, 3, 4};
    GxTestTakeErrorCode();
    EXPECT_FALSE(GxD3D9RGBToPixel(&p, &c, gxRASTERFORMAT16));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);
    EXPECT_FALSE(GxD3D9PixelToRGB(&c, &p, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);
}

// Every 16-bit pixel survives unpack then pack: catches any shift or mask slip in the rules.
TEST(PixelConvColour, SixteenBitRulesRoundTripEveryPixel)
{
    const GxUInt32 formats[] = {D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4,
                                D3DFMT_A8R3G3B2, D3DFMT_A8L8,     D3DFMT_V8U8,     D3DFMT_L6V5U5};
    const GxUInt32 unused[] = {0, 0x8000, 0, 0, 0xF000, 0, 0, 0, 0};
    for (size_t f = 0; f < sizeof(formats) / sizeof(formats[0]); f++) {
        for (GxUInt32 p = 0; p < 0x10000; p++) {
            GxRGBA c;
            GxUInt32 back = 0;
            ASSERT_TRUE(GxD3D9UnpackPixel(formats[f], p, &c));
            ASSERT_TRUE(GxD3D9PackPixel(formats[f], &c, &back));
            // A4R4G4B4 keeps only alpha nibble 0xF for 255; X formats set their spare bits.
            GxUInt32 want = p | unused[f];
            if (formats[f] == D3DFMT_X1R5G5B5) {
                want &= 0x7FFF;
            }
            if (formats[f] == D3DFMT_A8L8 && (p & 0xFF) != 0) {
                continue;  // luminance re-weights R, G, B; only grey 0 is exact
            }
            ASSERT_EQ(back, want) << "format " << formats[f] << " pixel " << p;
        }
    }
}

TEST(PixelConvColour, ThirtyTwoBitAndLuminanceRules)
{
    GxRGBA c;
    GxUInt32 p = 0;
    ASSERT_TRUE(GxD3D9UnpackPixel(D3DFMT_A8B8G8R8, 0x44332211, &c));
    EXPECT_TRUE(GxTestSameRGBA(c, {0x11, 0x22, 0x33, 0x44}));
    ASSERT_TRUE(GxD3D9PackPixel(D3DFMT_A8B8G8R8, &c, &p));
    EXPECT_EQ(p, 0x44332211u);
    ASSERT_TRUE(GxD3D9UnpackPixel(D3DFMT_A2R10G10B10, 0x40000000u | (0x3FCu << 20), &c));
    EXPECT_TRUE(GxTestSameRGBA(c, {0xFF, 0, 0, 85}));
    // L16 scales the luminance by 255: white packs to 0xFE01 and reads back one step darker.
    c = {255, 255, 255, 255};
    ASSERT_TRUE(GxD3D9PackPixel(D3DFMT_L16, &c, &p));
    EXPECT_EQ(p, 0xFE01u);
    ASSERT_TRUE(GxD3D9UnpackPixel(D3DFMT_L16, p, &c));
    EXPECT_TRUE(GxTestSameRGBA(c, {254, 254, 254, 255}));
    c = {200, 100, 50, 128};  // lum 124, scaled by alpha to 62
    ASSERT_TRUE(GxD3D9PackPixel(D3DFMT_L16, &c, &p));
    EXPECT_EQ(p, 62u * 255u);
    ASSERT_TRUE(GxD3D9UnpackPixel(D3DFMT_A4L4, 0x37, &c));
    EXPECT_TRUE(GxTestSameRGBA(c, {0x70, 0x70, 0x70, 0x30}));
    EXPECT_FALSE(GxD3D9UnpackPixel(D3DFMT_DXT1, 0, &c));
    EXPECT_FALSE(GxD3D9PackPixel(D3DFMT_A8, &c, &p));
    // Packed 24-bit pixels have rules in neither direction.
    EXPECT_FALSE(GxD3D9UnpackPixel(D3DFMT_R8G8B8, 0, &c));
    EXPECT_FALSE(GxD3D9PackPixel(D3DFMT_R8G8B8, &c, &p));
}

TEST_F(PixelConv, ImageAnalysisByAlphaAndDisplayDepth)
{
    GxImage* image = Image(4, 4, 32);
    for (GxInt32 i = 0; i < 16; i++) {
        Put(image, i % 4, i / 4, {10, 20, 30, 255});
    }
    const GxInt32 depth = gxD3D9State.currentDepth;
    gxD3D9State.currentDepth = 16;
    EXPECT_EQ(GxD3D9ImageFindFormat(image), gxRASTERFORMAT565);
    Put(image, 1, 1, {0, 0, 0, 15});
    EXPECT_EQ(GxD3D9ImageFindFormat(image), gxRASTERFORMAT1555);
    Put(image, 3, 3, {0, 0, 0, 128});
    EXPECT_EQ(GxD3D9ImageFindFormat(image), gxRASTERFORMAT4444);
    gxD3D9State.currentDepth = 32;
    EXPECT_EQ(GxD3D9ImageFindFormat(image), gxRASTERFORMAT8888);
    Put(image, 3, 3, {0, 0, 0, 255});
    EXPECT_EQ(GxD3D9ImageFindFormat(image), gxRASTERFORMAT8888);
    Put(image, 1, 1, {0, 0, 0, 255});
    EXPECT_EQ(GxD3D9ImageFindFormat(image), gxRASTERFORMAT888);
    gxD3D9State.currentDepth = depth;

    // A translucent palette entry that no pixel uses leaves the image opaque.
    GxImage* indexed = Image(4, 4, 8);
    for (GxInt32 i = 0; i < 256; i++) {
        indexed->palette[i] = {GxUInt8(i), 0, 0, 255};
    }
    indexed->palette[9].alpha = 100;
    for (GxInt32 i = 0; i < 16; i++) {
        indexed->pixels[(i / 4) * indexed->stride + i % 4] = 3;
    }
    EXPECT_EQ(GxD3D9ImageFindFormat(indexed), gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    indexed->pixels[5] = 9;
    EXPECT_EQ(GxD3D9ImageFindFormat(indexed), gxRASTERFORMATPAL8 | gxRASTERFORMAT8888);
}

TEST_F(PixelConv, RasterFormatForImage)
{
    GxImage* indexed = Image(300, 200, 8);
    std::fill(indexed->palette, indexed->palette + 256, GxRGBA{1, 2, 3, 255});
    GxRaster record = {};
    ASSERT_TRUE(GxD3D9ImageFindRasterFormat(&record, indexed, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP | 0x0300));
    EXPECT_EQ(record.width, 300);
    EXPECT_EQ(record.type, gxRASTERTYPETEXTURE);
    // The analysed format replaces the asked one, the mipmap bit stays, and a palette raster holds bytes.
    EXPECT_EQ(GxRasterGetFormat(&record) & 0xFF00, gxRASTERFORMATPAL8 | gxRASTERFORMAT888 | gxRASTERFORMATMIPMAP);
    EXPECT_EQ(record.depth, 8);
    EXPECT_FALSE(GxD3D9ImageFindRasterFormat(&record, indexed, 3));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);
}

TEST_F(PixelConv, ExactRoundTripsThroughEveryNibbleFormat)
{
    struct Case {
        GxInt32 format;
        GxUInt32 d3d;
    };
    const Case cases[] = {{gxRASTERFORMAT8888, D3DFMT_A8R8G8B8}, {gxRASTERFORMAT888, D3DFMT_X8R8G8B8},
                          {gxRASTERFORMAT565, D3DFMT_R5G6B5},    {gxRASTERFORMAT555, D3DFMT_X1R5G5B5},
                          {gxRASTERFORMAT1555, D3DFMT_A1R5G5B5}, {gxRASTERFORMAT4444, D3DFMT_A4R4G4B4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        GxRaster* raster = Raster(13, 7, gxRASTERTYPETEXTURE | c.format);
        ASSERT_NE(raster, nullptr);
        EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->d3dFormat, c.d3d);
        RoundTrip(raster, ExactImage(13, 7, c.d3d));
    }
}

TEST_F(PixelConv, ExactRoundTripsThroughDirectFormats)
{
    GxRaster* raster = RasterOf(9, 5, D3DFMT_X4R4G4B4);
    RoundTrip(raster, ExactImage(9, 5, D3DFMT_X4R4G4B4));
    // Luminance formats keep grey only.
    GxImage* grey = Image(9, 5, 32);
    for (GxInt32 i = 0; i < 45; i++) {
        Put(grey, i % 9, i / 9, {GxUInt8(i * 5), GxUInt8(i * 5), GxUInt8(i * 5), GxUInt8(255 - i)});
    }
    RoundTrip(RasterOf(9, 5, D3DFMT_A8L8), grey);
    // L16 gives every grey above black back one step darker.
    GxImage* darker = Image(9, 5, 32);
    for (GxInt32 i = 0; i < 45; i++) {
        const GxUInt8 g = GxUInt8(i * 5);
        Put(grey, i % 9, i / 9, {g, g, g, 255});
        const GxUInt8 back = GxUInt8(g ? g - 1 : 0);
        Put(darker, i % 9, i / 9, {back, back, back, 255});
    }
    GxRaster* l16 = RasterOf(9, 5, D3DFMT_L16);
    ASSERT_TRUE(l16 && GxD3D9RasterSetFromImage(l16, grey, 0));
    GxImage* back = Image(9, 5, 32);
    ASSERT_TRUE(GxD3D9ImageGetFromRaster(back, l16, 0));
    for (GxInt32 i = 0; i < 45; i++) {
        ASSERT_TRUE(GxTestSameRGBA(Get(back, i % 9, i / 9), Get(darker, i % 9, i / 9))) << i;
    }
}

TEST_F(PixelConv, EightBitAndPaletteRasters)
{
    GxImage* grey = Image(4, 2, 32);
    for (GxInt32 i = 0; i < 8; i++) {
        Put(grey, i % 4, i / 4, {GxUInt8(i * 30), GxUInt8(i * 30), GxUInt8(i * 30), GxUInt8(i * 31)});
    }
    // An A8 raster keeps alpha only and reads back as white with that alpha.
    GxRaster* alpha = RasterOf(4, 2, D3DFMT_A8);
    ASSERT_TRUE(alpha && GxD3D9RasterSetFromImage(alpha, grey, 0));
    GxImage* back = Image(4, 2, 32);
    ASSERT_TRUE(GxD3D9ImageGetFromRaster(back, alpha, 0));
    EXPECT_TRUE(GxTestSameRGBA(Get(back, 3, 1), {255, 255, 255, 7 * 31}));
    for (GxInt32 i = 0; i < 8; i++) {
        Put(grey, i % 4, i / 4, {GxUInt8(i * 30), GxUInt8(i * 30), GxUInt8(i * 30), 255});
    }
    RoundTrip(Raster(4, 2, gxRASTERTYPETEXTURE | gxRASTERFORMATLUM8), grey);

    // Indices and palette pass unchanged into a palette raster and back out, as indices or as colours.
    GxRaster* pal = Raster(6, 3, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    GxImage* image = Image(6, 3, 8);
    for (GxInt32 i = 0; i < 256; i++) {
        image->palette[i] = {GxUInt8(i), GxUInt8(255 - i), GxUInt8(i * 3), 255};
        image->pixels[(i / 6 % 3) * image->stride + i % 6] = GxUInt8(i * 13);
    }
    ASSERT_TRUE(pal && GxD3D9RasterSetFromImage(pal, image, 0));
    GxImage* indices = Image(6, 3, 8);
    GxImage* colours = Image(6, 3, 32);
    ASSERT_TRUE(GxD3D9ImageGetFromRaster(indices, pal, 0) && GxD3D9ImageGetFromRaster(colours, pal, 0));
    for (GxInt32 i = 0; i < 18; i++) {
        const GxUInt8 index = indices->pixels[(i / 6) * indices->stride + i % 6];
        EXPECT_EQ(index, image->pixels[(i / 6) * image->stride + i % 6]);
        EXPECT_TRUE(GxTestSameRGBA(Get(colours, i % 6, i / 6), image->palette[index])) << i;
    }
    EXPECT_EQ(std::memcmp(indices->palette, image->palette, 256 * sizeof(GxRGBA)), 0);

    // A true-colour image is quantised into a palette raster; four colours come back exactly.
    GxImage* four = Image(8, 8, 32);
    const GxRGBA swatch[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    for (GxInt32 i = 0; i < 64; i++) {
        Put(four, i % 8, i / 8, swatch[(i / 8) % 4]);
    }
    RoundTrip(Raster(8, 8, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888), four);

    // A 4-bit image goes through its palette into a 16-bit raster.
    GxImage* nibbles = Image(4, 4, 4);
    for (GxInt32 i = 0; i < 16; i++) {
        nibbles->palette[i] = {GxUInt8(i << 3), GxUInt8(i << 2), GxUInt8((15 - i) << 3), 255};
        nibbles->pixels[(i / 4) * nibbles->stride + i % 4] = GxUInt8(15 - i);
    }
    GxRaster* r565 = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMAT565);
    ASSERT_TRUE(r565 && GxD3D9RasterSetFromImage(r565, nibbles, 0));
    ASSERT_TRUE(GxD3D9ImageGetFromRaster(Image(4, 4, 32), r565, 0));
    for (GxInt32 i = 0; i < 16; i++) {
        EXPECT_TRUE(GxTestSameRGBA(Get(images.back(), i % 4, i / 4), nibbles->palette[15 - i])) << i;
    }
    // Into a palette raster a 4-bit image's bytes pass as they are, with its 16 palette entries.
    nibbles->pixels[0] = 0x1F;
    GxRaster* fromNibbles = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT888);
    ASSERT_TRUE(fromNibbles && GxD3D9RasterSetFromImage(fromNibbles, nibbles, 0));
    GxImage* nibbleIndices = Image(4, 4, 8);
    ASSERT_TRUE(GxD3D9ImageGetFromRaster(nibbleIndices, fromNibbles, 0));
    EXPECT_EQ(nibbleIndices->pixels[0], 0x1F);
    EXPECT_EQ(nibbleIndices->pixels[1], 14);
    EXPECT_EQ(std::memcmp(nibbleIndices->palette, nibbles->palette, 16 * sizeof(GxRGBA)), 0);
}

// The writers of locked 8-bit and 32-bit rasters: 888 opaque, 8888 with the image's alpha (each setting the raster's
// alpha flag), luminance and alpha rasters by their Direct3D format.
TEST_F(PixelConv, WritersOfLockedRastersPackByTheRastersFormat)
{
    GxImage* image = Image(2, 1, 32);
    Put(image, 0, 0, {10, 20, 30, 40});
    Put(image, 1, 0, {100, 100, 100, 255});
    const auto pixel = [](const GxRaster* raster, GxInt32 x) {
        GxUInt32 value = 0;
        std::memcpy(&value, raster->pixels + x * (raster->depth / 8), static_cast<size_t>(raster->depth / 8));
        return value;
    };
    struct Case {
        GxRaster* raster;
        GxUInt32 first, second;
        GxUInt8 alpha;
    };
    const Case cases[] = {
        {Raster(2, 1, gxRASTERTYPETEXTURE | gxRASTERFORMAT888), 0xFF0A141Eu, 0xFF646464u, 0},
        {Raster(2, 1, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888), 0x280A141Eu, 0xFF646464u, 1},
        {RasterOf(2, 1, D3DFMT_L8), (30u * 10 + 59u * 20 + 11u * 30) / 100 * 40 / 255, 100, 0},
        {RasterOf(2, 1, D3DFMT_A8), 40, 255, 0},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.raster, nullptr);
        ASSERT_NE(GxRasterLock(c.raster, 0, gxRASTERLOCKWRITE), nullptr);
        const GxBool written = c.raster->depth == 32 ? GxD3D9RasterSetFromImage32(c.raster, image)
                                                     : GxD3D9RasterSetFromImage8(c.raster, image);
        EXPECT_TRUE(written) << c.raster->depth;
        EXPECT_EQ(pixel(c.raster, 0), c.first) << c.raster->depth;
        EXPECT_EQ(pixel(c.raster, 1), c.second) << c.raster->depth;
        if (c.raster->depth == 32) {
            EXPECT_EQ(GxD3D9RASTEREXTFromRaster(c.raster)->alpha, c.alpha);
        }
        GxRasterUnlock(c.raster);
    }
}

TEST_F(PixelConv, ImageOfAnotherSizeIsResampled)
{
    GxRaster* raster = Raster(64, 64, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxImage* image = Image(100, 100, 32);
    for (GxInt32 i = 0; i < 100 * 100; i++) {
        Put(image, i % 100, i / 100, {40, 80, 120, 200});
    }
    ASSERT_TRUE(raster && GxD3D9RasterSetFromImage(raster, image, 0));
    GxImage* back = Image(64, 64, 32);
    ASSERT_TRUE(GxD3D9ImageGetFromRaster(back, raster, 0));
    EXPECT_TRUE(GxTestSameRGBA(Get(back, 0, 0), {40, 80, 120, 200}));
    EXPECT_TRUE(GxTestSameRGBA(Get(back, 63, 63), {40, 80, 120, 200}));
}

TEST_F(PixelConv, RefusedConversionsWriteNothing)
{
    GxRaster* raster = Raster(4, 4, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    ASSERT_NE(raster, nullptr);
    GxImage* indexed = Image(4, 4, 8);
    std::fill(indexed->pixels, indexed->pixels + 16, GxUInt8(0x5A));
    EXPECT_FALSE(GxD3D9ImageGetFromRaster(indexed, raster, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    EXPECT_EQ(indexed->pixels[0], 0x5A);
    EXPECT_EQ(raster->pixels, nullptr);  // no lock left behind
    EXPECT_FALSE(GxD3D9ImageGetFromRaster(Image(4, 4, 4), raster, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);

    // Compressed rasters take part in neither direction.
    GxRaster* dxt = RasterOf(8, 8, D3DFMT_DXT1);
    GxImage* image = Image(8, 8, 32);
    ASSERT_NE(dxt, nullptr);
    EXPECT_FALSE(GxD3D9RasterSetFromImage(dxt, image, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);
    EXPECT_FALSE(GxD3D9ImageGetFromRaster(image, dxt, 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRDEVICEFAILURE);

    // A format without a pack rule is refused; its unpack rule still reads it.
    GxRaster* wide = RasterOf(4, 4, D3DFMT_A2R10G10B10);
    ASSERT_NE(wide, nullptr);
    EXPECT_FALSE(GxD3D9RasterSetFromImage(wide, Image(4, 4, 32), 0));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDRASTER);
    EXPECT_TRUE(GxD3D9ImageGetFromRaster(images.back(), wide, 0));

    // A raster locked by someone else fails the call; bad images are refused, not read.
    ASSERT_NE(GxRasterLock(raster, 0, gxRASTERLOCKWRITE), nullptr);
    EXPECT_FALSE(GxD3D9ImageGetFromRaster(image, raster, 0));
    GxRasterUnlock(raster);
    GxImage broken = {0, 4, 4, 32, 16, nullptr, nullptr};
    EXPECT_FALSE(GxD3D9RasterSetFromImage(raster, &broken, 0));
    GxImage shortRows = {0, 4, 4, 32, 4, image->pixels, nullptr};
    EXPECT_FALSE(GxD3D9RasterSetFromImage(raster, &shortRows, 0));
}
