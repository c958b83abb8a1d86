// Tests of native textures on the software device: each format written and read back, cube textures, sizes and
// refusals.
#include <cstring>
#include <vector>

#include "gfx/core/texture_testing.h"
#include "gfx/d3d9/nativetex.h"
#include "gfx/d3d9/raster.h"
#include "platform/testsupport/softdevice.h"

namespace {

using Bytes = std::vector<GxUInt8>;

class NativeTexture : public GxTextureTest {
protected:
    void SetUp() override
    {
        GxTextureTest::SetUp();
        savedCaps = gxD3D9State.caps;
    }
    void TearDown() override
    {
        gxD3D9State.caps = savedCaps;
        GxTextureTest::TearDown();
    }

    // Fills every level of a raster with bytes that depend on the level and position.
    static void Fill(GxRaster* raster, GxUInt8 seed)
    {
        for (GxInt32 level = 0; level < GxRasterGetNumLevels(raster); level++) {
            GxUInt8* pixels = GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKWRITE);
            ASSERT_NE(pixels, nullptr);
            const GxInt32 rows = (Ext(raster)->automipmap & 0xF0) ? (raster->height + 3) / 4 : raster->height;
            for (GxInt32 i = 0; i < raster->stride * rows; i++) {
                pixels[i] = static_cast<GxUInt8>(seed + level * 31 + i);
            }
            GxRasterUnlock(raster);
        }
    }
    static GxD3D9RasterExt* Ext(GxRaster* raster) { return GxD3D9RASTEREXTFromRaster(raster); }

    static GxTexture* Wrap(GxRaster* raster, const char* name)
    {
        GxTexture* texture = GxTextureCreate(raster);
        GxTextureSetName(texture, name);
        GxTextureSetMaskName(texture, "mask");
        GxTextureSetFilterMode(texture, gxFILTERLINEARMIPLINEAR);
        GxTextureTestSetAddressing(texture, gxTEXTUREADDRESSUSHIFT, gxTEXTUREADDRESSMIRROR);
        return texture;
    }

    static Bytes Write(GxTexture* texture)
    {
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
        const bool ok = GxD3D9NativeTextureWrite(stream, texture, 0);
        Bytes bytes = GxTestCloseWriteStream(stream);
        return ok ? bytes : Bytes();
    }

    static GxTexture* Read(Bytes bytes)
    {
        const GxInt32 size = static_cast<GxInt32>(bytes.size());
        GxTestReadStream in(std::move(bytes));
        GxTexture* texture = nullptr;
        return GxD3D9NativeTextureRead(in.Get(), &texture, size) ? texture : nullptr;
    }

    static GxInt32 NativeSize(GxTexture* texture)
    {
        GxInt32 size = -1;
        return GxD3D9NativeTextureGetSize(&size, texture, 0) ? size : -1;
    }

    // Writes, reads back and writes again; the texture read back is returned for more checks.
    GxTexture* RoundTrip(GxTexture* texture)
    {
        const Bytes first = Write(texture);
        EXPECT_EQ(first.size(), static_cast<size_t>(NativeSize(texture)));
        GxTexture* copy = Read(first);
        EXPECT_NE(copy, nullptr);
        if (copy == nullptr) {
            return nullptr;
        }
        EXPECT_EQ(Write(copy), first);
        EXPECT_STREQ(copy->name, texture->name);
        EXPECT_STREQ(copy->mask, "mask");
        EXPECT_EQ(copy->filterAddressing, texture->filterAddressing & 0xFFFF);
        EXPECT_EQ(GxRasterGetFormat(copy->raster), GxRasterGetFormat(texture->raster));
        EXPECT_EQ(Ext(copy->raster)->d3dFormat, Ext(texture->raster)->d3dFormat);
        return copy;
    }

    // A native struct by hand: description, then `levelRecords` records of `levelBytes` per face (a quarter of
    // that per level down, or the sizes of `levelSizes` when given).
    static Bytes Hand(GxUInt32 version, GxUInt32 format, GxUInt32 d3dFormat, GxUInt16 size, GxUInt8 levels,
                      GxUInt8 flags, GxInt32 levelRecords, GxUInt32 levelBytes, GxInt32 faces,
                      const std::vector<GxUInt32>& levelSizes = {})
    {
        Bytes body(88, 0);
        body[0] = 9;
        body[4] = 2;
        std::memcpy(&body[8], "sky", 3);
        std::memcpy(&body[72], &format, 4);
        std::memcpy(&body[76], &d3dFormat, 4);
        std::memcpy(&body[80], &size, 2);
        std::memcpy(&body[82], &size, 2);
        body[84] = 32;
        body[85] = levels;
        body[86] = gxRASTERTYPETEXTURE;
        body[87] = flags;
        for (GxInt32 face = 0; face < faces; face++) {
            GxUInt32 bytes = levelBytes;
            for (GxInt32 level = 0; level < levelRecords; level++, bytes /= 4) {
                if (!levelSizes.empty()) {
                    bytes = levelSizes[static_cast<size_t>(level)];
                }
                const GxUInt8* p = reinterpret_cast<const GxUInt8*>(&bytes);
                body.insert(body.end(), p, p + 4);
                body.insert(body.end(), bytes, static_cast<GxUInt8>(face * 16 + level));
            }
        }
        Bytes chunk;
        const GxUInt32 header[3] = {gxID_STRUCT, static_cast<GxUInt32>(body.size()),
                                    GxStreamMakeLibraryStamp(version, gxLIBRARYBUILD)};
        chunk.insert(chunk.end(), reinterpret_cast<const GxUInt8*>(header),
                     reinterpret_cast<const GxUInt8*>(header) + 12);
        chunk.insert(chunk.end(), body.begin(), body.end());
        return chunk;
    }

    D3DCAPS9 savedCaps = {};
};

TEST_F(NativeTexture, EachFormatReadsBackByteForByte)
{
    const GxInt32 formats[] = {gxRASTERFORMAT8888, gxRASTERFORMAT888, gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP,
                               gxRASTERFORMAT565};
    for (GxInt32 format : formats) {
        GxRaster* raster = GxRasterCreate(8, 8, 0, gxRASTERTYPETEXTURE | format);
        ASSERT_NE(raster, nullptr) << format;
        Fill(raster, static_cast<GxUInt8>(format >> 8));
        GxTexture* texture = Wrap(raster, "wall");
        GxTexture* copy = RoundTrip(texture);
        ASSERT_NE(copy, nullptr) << format;
        EXPECT_EQ(GxRasterGetNumLevels(copy->raster), (format & gxRASTERFORMATMIPMAP) ? 4 : 1);
        EXPECT_EQ(Ext(copy->raster)->alpha, Ext(raster)->alpha);
        GxTextureDestroy(copy);
        GxTextureDestroy(texture);
    }
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

TEST_F(NativeTexture, CompressedAndPalettisedTextures)
{
    GxRaster* dxt = GxD3D9RasterCreateFromD3DFormat(8, 8, D3DFMT_DXT1, gxRASTERTYPETEXTURE);
    ASSERT_NE(dxt, nullptr);
    Fill(dxt, 3);
    GxTexture* texture = Wrap(dxt, "dxt");
    // 8 x 8 in DXT1: two block rows of 16 bytes.
    EXPECT_EQ(NativeSize(texture), 100 + 4 + 32);
    GxTexture* copy = RoundTrip(texture);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(Ext(copy->raster)->automipmap & 0xF0);
    GxTextureDestroy(copy);
    GxTextureDestroy(texture);

    GxRaster* indexed = GxRasterCreate(4, 4, 0, gxRASTERTYPETEXTURE | gxRASTERFORMATPAL8 | gxRASTERFORMAT8888);
    ASSERT_NE(indexed, nullptr);
    Fill(indexed, 9);
    GxUInt8* palette = GxRasterLockPalette(indexed, gxRASTERLOCKWRITE);
    ASSERT_NE(palette, nullptr);
    for (GxInt32 i = 0; i < 1024; i++) {
        palette[i] = static_cast<GxUInt8>(255 - i);
    }
    GxRasterUnlockPalette(indexed);
    texture = Wrap(indexed, "pal");
    EXPECT_EQ(NativeSize(texture), 100 + 1024 + 4 + 16);
    copy = RoundTrip(texture);
    ASSERT_NE(copy, nullptr);
    GxTextureDestroy(copy);
    GxTextureDestroy(texture);

    // A DXT1 level of 64 x 2 stores one block row; 64 x 64 stores 16.
    GxRaster* wide = GxD3D9RasterCreateFromD3DFormat(64, 2, D3DFMT_DXT1, gxRASTERTYPETEXTURE);
    texture = GxTextureCreate(wide);
    EXPECT_EQ(NativeSize(texture), 100 + 4 + 128);
    GxTextureDestroy(texture);
    EXPECT_EQ(GxD3D9NativeTextureLevelSize(1, 128, 64), 16u * 128u);

    // A height that is no multiple of 4 keeps its partial block row: 8 x 6 stores two rows, and they read back.
    GxRaster* partial = GxD3D9RasterCreateFromD3DFormat(8, 6, D3DFMT_DXT1, gxRASTERTYPETEXTURE);
    ASSERT_NE(partial, nullptr);
    Fill(partial, 7);
    texture = Wrap(partial, "partial");
    EXPECT_EQ(NativeSize(texture), 100 + 4 + 2 * 16);
    copy = RoundTrip(texture);
    ASSERT_NE(copy, nullptr);
    GxTextureDestroy(copy);
    GxTextureDestroy(texture);
}

TEST_F(NativeTexture, StoredLevelSizesUpToTheLevelsOwnAreCopiedAsStored)
{
    constexpr GxUInt32 mipmapped = gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP;
    // Levels of 64, 16 and 4 bytes; level 1 stored with 8 of its 16.
    GxTexture* texture = Read(Hand(gxLIBRARYVERSION, mipmapped, D3DFMT_A8R8G8B8, 4, 3, 1, 3, 64, 1, {64, 8, 4}));
    ASSERT_NE(texture, nullptr);
    GxUInt8* level1 = GxRasterLock(texture->raster, 1, gxRASTERLOCKREAD);
    ASSERT_NE(level1, nullptr);
    EXPECT_EQ(Bytes(level1, level1 + 8), Bytes(8, 1));
    GxRasterUnlock(texture->raster);
    GxTextureDestroy(texture);
    // One byte more than the level holds is refused.
    EXPECT_EQ(Read(Hand(gxLIBRARYVERSION, mipmapped, D3DFMT_A8R8G8B8, 4, 3, 1, 3, 64, 1, {64, 17, 4})), nullptr);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

TEST_F(NativeTexture, AutomaticMipmapsStoreOneLevel)
{
    GxRaster* raster = GxD3D9RasterCreateFromD3DFormat(
        8, 8, D3DFMT_A8R8G8B8, gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP);
    ASSERT_NE(raster, nullptr);
    ASSERT_TRUE(Ext(raster)->automipmap & 0x0F);
    Fill(raster, 5);
    GxTexture* texture = Wrap(raster, "auto");
    EXPECT_EQ(NativeSize(texture), 100 + 4 + 8 * 8 * 4);
    const Bytes bytes = Write(texture);
    EXPECT_EQ(bytes[12 + 87] & gxD3D9NATIVETEXTUREAUTOMIPMAP, gxD3D9NATIVETEXTUREAUTOMIPMAP);
    GxTexture* copy = RoundTrip(texture);
    GxTextureDestroy(copy);
    // A device that can not build the levels refuses the texture.
    gxD3D9State.caps.Caps2 &= ~D3DCAPS2_CANAUTOGENMIPMAP;
    EXPECT_EQ(Read(bytes), nullptr);
    GxTextureDestroy(texture);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

// A cube asking for built mipmaps, written where the device could not build them, stores every level of every
// face; read where the device builds them, each face still takes its own level 0 from the levels the file holds.
TEST_F(NativeTexture, LevelsAreReadAsTheFileHoldsThem)
{
    constexpr GxUInt32 format = gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP;
    const Bytes stored = Hand(gxLIBRARYVERSION, format, D3DFMT_A8R8G8B8, 4, 3,
                              gxD3D9NATIVETEXTURECUBE | gxD3D9NATIVETEXTUREALPHA, 3, 64, 6);
    GxTexture* cube = Read(stored);
    ASSERT_NE(cube, nullptr);
    GxD3D9RasterExt* ext = Ext(cube->raster);
    ASSERT_TRUE(GxD3D9RasterExtAutoMipmaps(ext));
    for (GxUInt32 face = 0; face < 6; face++) {
        GxD3D9RasterExtSetFace(ext, face);
        GxUInt8* pixels = GxRasterLock(cube->raster, 0, gxRASTERLOCKREAD);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(Bytes(pixels, pixels + 64), Bytes(64, static_cast<GxUInt8>(face * 16))) << face;
        GxRasterUnlock(cube->raster);
    }
    GxD3D9RasterExtSetFace(ext, 0);
    GxTextureDestroy(cube);
}

TEST_F(NativeTexture, CubeTexturesFollowTheCubeFilterCaps)
{
    const GxUInt32 format = gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP;
    const Bytes single = Hand(gxLIBRARYVERSION, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4, 1,
                              gxD3D9NATIVETEXTURECUBE | gxD3D9NATIVETEXTUREALPHA, 1, 64, 6);
    GxTexture* cube = Read(single);
    ASSERT_NE(cube, nullptr);
    EXPECT_TRUE(GxD3D9RasterIsCubeTexture(cube->raster));
    EXPECT_EQ(Write(cube), single);
    GxTextureDestroy(cube);

    const Bytes mipmapped = Hand(gxLIBRARYVERSION, format, D3DFMT_A8R8G8B8, 16, 5,
                                 gxD3D9NATIVETEXTURECUBE | gxD3D9NATIVETEXTUREALPHA, 5, 1024, 6);
    cube = Read(mipmapped);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(Write(cube), mipmapped);
    GxTextureDestroy(cube);
    gxD3D9State.caps.CubeTextureFilterCaps &= ~(D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR);
    EXPECT_EQ(Read(mipmapped), nullptr);
    cube = Read(single);
    EXPECT_NE(cube, nullptr);
    GxTextureDestroy(cube);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
}

TEST_F(NativeTexture, BadStructsAreRefusedWithoutLeaks)
{
    const Bytes good = Hand(gxLIBRARYVERSION, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4, 1, 1, 1, 64, 1);
    GxTexture* texture = Read(good);
    ASSERT_NE(texture, nullptr);
    GxTextureDestroy(texture);
    // Versions outside the window, before anything is made.
    EXPECT_EQ(Read(Hand(0x34000, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4, 1, 1, 1, 64, 1)), nullptr);
    EXPECT_EQ(Read(Hand(0x37003, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4, 1, 1, 1, 64, 1)), nullptr);
    // A level size beyond the raster's own.
    EXPECT_EQ(Read(Hand(gxLIBRARYVERSION, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4, 1, 1, 1, 68, 1)), nullptr);
    // A description the device makes differently (format word against Direct3D format).
    EXPECT_EQ(Read(Hand(gxLIBRARYVERSION, gxRASTERFORMAT888, D3DFMT_A8R8G8B8, 4, 1, 1, 1, 64, 1)), nullptr);
    // Another platform.
    Bytes other = good;
    other[12] = 8;
    EXPECT_EQ(Read(other), nullptr);
    for (size_t cut = 0; cut < good.size(); cut++) {
        EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + cut)), nullptr) << cut;
    }
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);
    EXPECT_EQ(gxTextureTestCounts.textures, 0);

    // Claims beyond the bytes there are: refused before any device texture is made, also when the caller
    // does not know the enclosing chunk's size.
    Bytes longer = good;
    const GxUInt32 claimed = static_cast<GxUInt32>(good.size()) - 12 + 1;
    std::memcpy(&longer[4], &claimed, 4);
    Bytes huge = Hand(gxLIBRARYVERSION, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4096, 1, 1, 1, 64, 1);
    Bytes hugeCube =
        Hand(gxLIBRARYVERSION, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4096, 1, gxD3D9NATIVETEXTURECUBE, 1, 64, 6);
    for (const Bytes& bad : {longer, huge, hugeCube}) {
        D3D9SoftClearLog(GxD3D9Device());
        GxTestTakeErrorCode();
        GxTestReadStream in(bad);
        GxTexture* read = nullptr;
        EXPECT_FALSE(GxD3D9NativeTextureRead(in.Get(), &read, 0));
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);  // the read raises no error of its own
        EXPECT_EQ(D3D9SoftCount(GxD3D9Device(), D3D9SOFT_CREATE), 0u);
    }
    for (size_t cut = 0; cut < good.size(); cut++) {
        GxTestReadStream in(Bytes(good.begin(), good.begin() + cut));
        GxTexture* read = nullptr;
        EXPECT_FALSE(GxD3D9NativeTextureRead(in.Get(), &read, 0)) << cut;
    }

    // Only texture (and normal) rasters are stored: a struct of another raster type makes no device object,
    // whatever size it claims.
    const Bytes depth = Hand(gxLIBRARYVERSION, 0, D3DFMT_D16, 4, 1, 0, 1, 32, 1);
    const Bytes depthByFormat = Hand(gxLIBRARYVERSION, gxRASTERFORMAT16, D3DFMT_D16, 4, 1, 0, 1, 32, 1);
    for (const Bytes& stored : {good, depth, depthByFormat}) {
        // z-buffer, camera, camera texture and the unnamed types
        for (const GxInt32 type : {1, 2, 3, 5, 6, 7}) {
            Bytes retyped = stored;
            retyped[12 + 86] = static_cast<GxUInt8>(type);
            D3D9SoftClearLog(GxD3D9Device());
            EXPECT_EQ(Read(retyped), nullptr) << type;
            EXPECT_EQ(D3D9SoftCount(GxD3D9Device(), D3D9SOFT_CREATE), 0u) << type;
        }
    }
    // A cube map whose faces are not square, or a struct of no levels, is refused: neither could be written
    // back as it was read.
    Bytes tallCube = Hand(gxLIBRARYVERSION, gxRASTERFORMAT8888, D3DFMT_A8R8G8B8, 4, 1,
                          gxD3D9NATIVETEXTURECUBE | gxD3D9NATIVETEXTUREALPHA, 1, 64, 6);
    Bytes noLevels = tallCube;
    tallCube[12 + 82] = 8;
    noLevels[12 + 85] = 0;
    EXPECT_EQ(Read(tallCube), nullptr);
    EXPECT_EQ(Read(noLevels), nullptr);
    Bytes normal = good;
    normal[12 + 86] = gxRASTERTYPENORMAL;
    texture = Read(normal);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Write(texture), normal);
    GxTextureDestroy(texture);
    EXPECT_EQ(gxTextureTestCounts.rasters, 0);

    // A texture without raster has a size but can not be written.
    texture = GxTextureCreate(nullptr);
    EXPECT_EQ(NativeSize(texture), gxD3D9NATIVETEXTURENORASTERSIZE);
    EXPECT_TRUE(Write(texture).empty());
    GxTextureDestroy(texture);
}

}  // namespace
