// Tests of textures: reads through the image path with masks and mip levels, generated mipmaps, names, finding and
// counting, the texture chunk.
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/texture_testing.h"

namespace {

constexpr GxRGBA kRed = {200, 10, 20, 255};
constexpr GxRGBA kGreen = {10, 200, 20, 255};
constexpr GxRGBA kBlue = {10, 20, 200, 255};
constexpr GxRGBA kWhite = {250, 250, 250, 255};

using TextureRead = GxTextureTest;

GxBool RefuseLevelCount(void*, void*, GxInt32) { return 0; }

TEST_F(TextureRead, ByNameAlongTheImagePathWithMask)
{
    std::vector<GxRGBA> mask;
    for (GxInt32 i = 0; i < 16; i++) {
        const GxUInt8 v = static_cast<GxUInt8>(i * 16);
        mask.push_back({v, v, v, 255});
    }
    ASSERT_TRUE(WriteSolidPng("brick.png", 4, 4, kRed));
    ASSERT_TRUE(WritePng("brickm.png", 4, 4, mask));

    GxTexture* texture = GxTextureRead("brick", "brickm");
    ASSERT_NE(texture, nullptr);
    EXPECT_STREQ(texture->name, "brick");
    EXPECT_STREQ(texture->mask, "brickm");
    EXPECT_EQ(texture->refCount, 1);
    EXPECT_EQ(texture->filterAddressing, 0x1101u);
    EXPECT_EQ(texture->dictionary, GxTexDictionaryGetCurrent());
    ASSERT_NE(texture->raster, nullptr);
    EXPECT_EQ(texture->raster->width, 4);
    // The mask's grey level became each pixel's alpha.
    for (GxInt32 i = 0; i < 16; i++) {
        const GxRGBA p = Pixel(texture->raster, 0, i % 4, i / 4);
        EXPECT_EQ(p.alpha, i * 16) << i;
        EXPECT_EQ(p.red, kRed.red);
    }

    // A second read (any letter case) finds the same texture and counts it.
    EXPECT_EQ(GxTextureRead("BRICK", nullptr), texture);
    EXPECT_EQ(texture->refCount, 2);
    EXPECT_TRUE(GxTextureDestroy(texture));
    EXPECT_EQ(gxTextureTestCounts.textures, 1);
    EXPECT_TRUE(GxTextureDestroy(texture));
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
    EXPECT_EQ(GxTexDictionaryGetNumTextures(GxTexDictionaryGetCurrent()), 0);
}

TEST_F(TextureRead, MissingFilesFailCleanly)
{
    EXPECT_EQ(GxTextureRead("nothing", nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRTEXTUREUNKNOWN);
    // A missing mask fails the whole read.
    ASSERT_TRUE(WriteSolidPng("solo.png", 2, 2, kRed));
    EXPECT_EQ(GxTextureRead("solo", "solom"), nullptr);
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

// A file read into a raster of the device's format, filled through the device and read back; gamma marks cross
// both ways; a missing file gives nothing.
TEST_F(TextureRead, RasterReadFillsARasterFromTheImagePath)
{
    ASSERT_TRUE(WriteSolidPng("cursor.png", 8, 8, kGreen));
    GxRaster* raster = GxRasterRead("cursor.png");
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->width, 8);
    EXPECT_EQ(raster->height, 8);
    EXPECT_EQ(Pixel(raster, 0, 3, 5).green, kGreen.green);
    GxImage* back = SolidImage(8, 8, kWhite);
    ASSERT_NE(back, nullptr);
    raster->privateFlags |= gxRASTERGAMMACORRECTED;
    ASSERT_EQ(GxImageSetFromRaster(back, raster), back);
    EXPECT_NE(back->flags & gxIMAGEGAMMASET, 0u);
    EXPECT_EQ(back->pixels[5 * back->stride + 3 * 4 + 1], kGreen.green);
    raster->privateFlags = 0;
    ASSERT_EQ(GxRasterSetFromImage(raster, back), raster);
    EXPECT_NE(raster->privateFlags & gxRASTERGAMMACORRECTED, 0u);
    GxImageDestroy(back);
    GxRasterDestroy(raster);
    EXPECT_EQ(GxRasterRead("nothing.png"), nullptr);
}

TEST_F(TextureRead, MipmapNames)
{
    GxChar name[gxTEXTURENAMEBUFFER] = "wall";
    GxChar mask[gxTEXTURENAMEBUFFER] = "wallm";
    GxChar empty[gxTEXTURENAMEBUFFER] = "";
    EXPECT_TRUE(GxTextureGenerateMipmapName(name, mask, 0, 0));
    EXPECT_STREQ(name, "wall");
    EXPECT_STREQ(mask, "wallm");
    EXPECT_TRUE(GxTextureGenerateMipmapName(name, mask, 10, 0));
    EXPECT_STREQ(name, "wallma");
    EXPECT_STREQ(mask, "wallmma");
    std::strcpy(name, "wall");
    EXPECT_TRUE(GxTextureGenerateMipmapName(name, empty, 15, 0));
    EXPECT_STREQ(name, "wallmf");
    EXPECT_STREQ(empty, "");
    std::strcpy(name, "wall");
    EXPECT_TRUE(GxTextureGenerateMipmapName(name, empty, 16, 0));
    EXPECT_STREQ(name, "wall");
    // The longest work name still takes its suffix inside the buffer.
    std::string longest(gxTEXTURENAMEWORKLENGTH, 'x');
    std::strcpy(name, longest.c_str());
    EXPECT_TRUE(GxTextureGenerateMipmapName(name, empty, 3, 0));
    EXPECT_EQ(std::string(name), longest + "m3");
}

TEST_F(TextureRead, MipmappedReadTakesEachLevelFromItsOwnFile)
{
    ASSERT_TRUE(WriteSolidPng("tile.png", 8, 8, kRed));
    ASSERT_TRUE(WriteSolidPng("tilem1.png", 4, 4, kGreen));
    ASSERT_TRUE(WriteSolidPng("tilem2.png", 2, 2, kBlue));
    ASSERT_TRUE(WriteSolidPng("tilem3.png", 1, 1, kWhite));
    ASSERT_TRUE(GxTextureSetMipmapping(1));
    GxTexture* texture = GxTextureRead("tile", nullptr);
    ASSERT_NE(texture, nullptr);
    GxRaster* raster = texture->raster;
    EXPECT_TRUE(GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP);
    ASSERT_EQ(GxRasterGetNumLevels(raster), 4);
    EXPECT_TRUE(GxTestSameRGBA(Pixel(raster, 0, 7, 7), kRed));
    EXPECT_TRUE(GxTestSameRGBA(Pixel(raster, 1, 3, 3), kGreen));
    EXPECT_TRUE(GxTestSameRGBA(Pixel(raster, 2, 1, 1), kBlue));
    EXPECT_TRUE(GxTestSameRGBA(Pixel(raster, 3, 0, 0), kWhite));
    GxTextureDestroy(texture);

    // A level file missing: nothing is left behind.
    ASSERT_TRUE(WriteSolidPng("gap.png", 8, 8, kRed));
    ASSERT_TRUE(WriteSolidPng("gapm1.png", 4, 4, kGreen));
    EXPECT_EQ(GxTextureRead("gap", nullptr), nullptr);
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);

    // A level count the device can not give fails the read: no texture of unwritten levels.
    GxStandardFunc& levels = GxEngineInstance->stdFunc[gxSTANDARDRASTERGETMIPLEVELS];
    const GxStandardFunc counted = levels;
    levels = RefuseLevelCount;
    EXPECT_EQ(GxTextureRead("tile", nullptr), nullptr);
    levels = counted;
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);

    // With automatic mipmaps only the base file is needed.
    GxTextureSetAutoMipmapping(1);
    texture = GxTextureRead("gap", nullptr);
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(GxRasterGetFormat(texture->raster) & gxRASTERFORMATAUTOMIPMAP);
    GxTextureDestroy(texture);
}

TEST_F(TextureRead, GeneratedMipmapsAverageTheLevelAbove)
{
    // A one-pixel checker of black and white averages to mid grey on every lower level.
    GxImage* image = SolidImage(8, 8, {0, 0, 0, 255});
    ASSERT_NE(image, nullptr);
    for (GxInt32 y = 0; y < 8; y++) {
        for (GxInt32 x = (y & 1); x < 8; x += 2) {
            std::memset(image->pixels + y * image->stride + x * 4, 255, 3);
        }
    }
    GxRaster* raster = RasterFromImage(image, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP);
    ASSERT_NE(raster, nullptr);
    ASSERT_EQ(GxRasterGetNumLevels(raster), 4);
    EXPECT_TRUE(GxTextureRasterGenerateMipmaps(raster, image));
    for (GxInt32 level = 1; level < 4; level++) {
        const GxRGBA p = Pixel(raster, level, 0, 0);
        EXPECT_NEAR(p.red, 127, 1) << level;
        EXPECT_EQ(p.alpha, 255) << level;
    }
    // Level 0 is kept, and the caller's image is still the caller's.
    EXPECT_EQ(Pixel(raster, 0, 0, 0).red, 255);
    EXPECT_EQ(Pixel(raster, 0, 1, 0).red, 0);
    EXPECT_EQ(image->width, 8);

    // Without an image the raster's own level 0 is the source; the auto-mipmap bit survives.
    raster->format |= gxRASTERFORMATAUTOMIPMAP >> 8;
    EXPECT_TRUE(GxTextureRasterGenerateMipmaps(raster, nullptr));
    EXPECT_NEAR(Pixel(raster, 3, 0, 0).green, 127, 1);
    EXPECT_TRUE(GxRasterGetFormat(raster) & gxRASTERFORMATAUTOMIPMAP);

    // A level count the device can not give is a failed generation, not one that wrote nothing.
    GxStandardFunc& levels = GxEngineInstance->stdFunc[gxSTANDARDRASTERGETMIPLEVELS];
    const GxStandardFunc counted = levels;
    levels = RefuseLevelCount;
    EXPECT_FALSE(GxTextureRasterGenerateMipmaps(raster, image));
    levels = counted;
    GxRasterDestroy(raster);
    GxImageDestroy(image);
}

// Generation writes every level, the first included, from gamma-corrected images; what is corrected already is
// not corrected again.
TEST_F(TextureRead, GeneratedLevelsAreGammaCorrectedOnce)
{
    GxImage* image = SolidImage(4, 4, {64, 64, 64, 255});
    ASSERT_NE(image, nullptr);
    GxRaster* raster = RasterFromImage(image, gxRASTERTYPETEXTURE);
    ASSERT_NE(raster, nullptr);
    ASSERT_EQ(GxRasterGetNumLevels(raster), 1);
    GxImageSetGamma(2.0f);
    EXPECT_TRUE(GxTextureRasterGenerateMipmaps(raster, nullptr));
    EXPECT_EQ(Pixel(raster, 0, 0, 0).red, 128);
    EXPECT_TRUE(GxTextureRasterGenerateMipmaps(raster, nullptr));
    EXPECT_EQ(Pixel(raster, 0, 0, 0).red, 128);
    GxImageSetGamma(1.0f);
    GxRasterDestroy(raster);
    GxImageDestroy(image);
}

// A palette is shared as it stands only by images of one depth that fits the raster's; a deeper image is
// requantised, and each image made keeps its own copy of the palette.
TEST_F(TextureRead, PalettesAreSharedOnlyWhereTheirIndicesFit)
{
    GxImage* deep = GxImageCreate(2, 1, 8);
    ASSERT_TRUE(deep && GxImageAllocatePixels(deep));
    for (GxInt32 i = 0; i < 256; i++) {
        deep->palette[i] = GxRGBA{static_cast<GxUInt8>(i), 0, 0, 255};
    }
    deep->pixels[0] = 200;
    deep->pixels[1] = 3;
    GxImage* images[1] = {deep};
    GxRGBA palette[256] = {};
    ASSERT_TRUE(GxTextureImagesMakePalette(palette, nullptr, images, 1, 4));
    ASSERT_NE(images[0], deep);
    EXPECT_EQ(images[0]->depth, 4);
    EXPECT_LT(images[0]->pixels[0], 16);
    EXPECT_NE(images[0]->palette, palette);
    EXPECT_EQ(std::memcmp(images[0]->palette, palette, 16 * sizeof(GxRGBA)), 0);
    GxImageDestroy(images[0]);
}

// Finding, moving and counting textures among dictionaries.
TEST_F(TextureRead, FindSearchesEveryDictionaryWithoutACurrentOne)
{
    GxTexDictionary* first = GxTexDictionaryCreate();
    GxTexDictionary* second = GxTexDictionaryCreate();
    GxTexture* a = GxTextureSetName(GxTextureCreate(nullptr), "stone");
    GxTexture* b = GxTextureSetName(GxTextureCreate(nullptr), "Stone");
    GxTexDictionaryAddTexture(first, a);
    GxTexDictionaryAddTexture(second, b);
    GxTexDictionarySetCurrent(first);
    EXPECT_EQ(GxTextureDefaultFind("STONE"), a);
    GxTexDictionarySetCurrent(nullptr);
    // Newest dictionary first in the module's list.
    EXPECT_EQ(GxTextureDefaultFind("stone"), b);
    EXPECT_EQ(GxTextureRead("stone", nullptr), b);
    EXPECT_EQ(b->refCount, 2);

    // Destroying the dictionary releases its reference; the survivor is unlinked from it.
    GxTexDictionaryDestroy(second);
    EXPECT_EQ(b->dictionary, nullptr);
    EXPECT_EQ(gxTextureTestCounts.textures, 2);
    GxTexDictionaryAddTexture(first, b);
    EXPECT_EQ(GxTexDictionaryGetNumTextures(first), 2);
    GxTexDictionaryDestroy(first);
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
}

// The texture chunk.
using TextureChunk = GxTextureTest;

std::vector<GxUInt8> Written(const GxTexture* texture)
{
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool ok = GxTextureStreamWrite(texture, stream) != nullptr;
    std::vector<GxUInt8> bytes = GxTestCloseWriteStream(stream);
    return ok ? bytes : std::vector<GxUInt8>();
}

GxTexture* ReadBack(std::vector<GxUInt8> bytes)
{
    GxTestReadStream in(std::move(bytes), gxID_TEXTURE);
    return in.Get() ? GxTextureStreamRead(in.Get()) : nullptr;
}

// A texture chunk written by hand: flags word, name and mask, empty extension.
std::vector<GxUInt8> HandChunk(GxUInt32 flags, const char* name, GxUInt32 structSize = 4)
{
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const GxUInt32 body = 3 * 12 + structSize + GxStringStreamGetSize(name) + 4 + 12;
    GxStreamWriteChunkHeader(stream, gxID_TEXTURE, body, gxLIBRARYVERSION, gxLIBRARYBUILD);
    GxStreamWriteChunkHeader(stream, gxID_STRUCT, structSize, gxLIBRARYVERSION, gxLIBRARYBUILD);
    std::vector<GxUInt32> words(structSize / 4, 0);
    words[0] = flags;
    GxStreamWriteInt32(stream, words.data(), structSize);
    GxStringStreamWrite(name, stream);
    GxStringStreamWrite("", stream);
    GxStreamWriteChunkHeader(stream, gxID_EXTENSION, 0, gxLIBRARYVERSION, gxLIBRARYBUILD);
    return GxTestCloseWriteStream(stream);
}

TEST_F(TextureChunk, ExistingTextureIsFoundAndCounted)
{
    GxTexture* texture = GxTextureCreate(nullptr);
    GxTextureSetName(texture, "marble");
    GxTextureSetFilterMode(texture, gxFILTERLINEAR);
    GxTextureTestValue(texture) = 0xABCD;
    GxTexDictionaryAddTexture(GxTexDictionaryGetCurrent(), texture);
    const std::vector<GxUInt8> bytes = Written(texture);
    ASSERT_EQ(bytes.size(), GxTextureStreamGetSize(texture) + 12);
    EXPECT_EQ(ReadBack(bytes), texture);
    EXPECT_EQ(texture->refCount, 2);
    GxTextureDestroy(texture);
    // A truncated chunk leaves the count as it was.
    for (size_t cut = 12; cut < bytes.size(); cut++) {
        EXPECT_EQ(ReadBack(std::vector<GxUInt8>(bytes.begin(), bytes.begin() + cut)), nullptr) << cut;
        EXPECT_EQ(texture->refCount, 1) << cut;
    }
}

TEST_F(TextureChunk, StoredFlagsChooseTheMipmapping)
{
    ASSERT_TRUE(WriteSolidPng("slab.png", 4, 4, kGreen));
    // Filter 6 with the V nibble empty and bit 16 clear: V takes U, mipmaps are automatic.
    GxTexture* texture = ReadBack(HandChunk(0x0106, "slab"));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->filterAddressing, 0x1106u);
    EXPECT_EQ(GxRasterGetFormat(texture->raster) & (gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP),
              gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
    EXPECT_FALSE(GxTextureGetMipmapping());
    EXPECT_FALSE(GxTextureGetAutoMipmapping());
    GxTextureDestroy(texture);

    // A struct of another size, or a missing file, is refused and the flags stay as they were.
    EXPECT_EQ(ReadBack(HandChunk(0x0106, "slab", 8)), nullptr);
    EXPECT_EQ(ReadBack(HandChunk(0x0106, "absent")), nullptr);
    EXPECT_FALSE(GxTextureGetMipmapping());
    EXPECT_EQ(gxTextureTestCounts.textures, 0);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

}  // namespace
