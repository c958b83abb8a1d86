// Tests of the DXT decoders and the DDS reader: native and converted formats, mipmaps, cube maps, bad files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/nativetex.h"
#include "gfx/d3d9/raster.h"
#include "gfx/testsupport/dds_writer.h"
#include "gfx/testsupport/software_fixture.h"
#include "platform/testsupport/softdevice.h"

namespace {

// A texel as R | G << 8 | B << 16 | A << 24.
GxUInt32 Texel(GxUInt32 r, GxUInt32 g, GxUInt32 b, GxUInt32 a) { return r | g << 8 | b << 16 | a << 24; }

GxUInt32 At(const std::vector<GxUInt8>& rgba, int width, int x, int y)
{
    const GxUInt8* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    return Texel(p[0], p[1], p[2], p[3]);
}

GxUInt32 AlphaAt(const std::vector<GxUInt8>& rgba, int width, int x, int y) { return At(rgba, width, x, y) >> 24; }

// A colour block: two 5:6:5 end points and four rows of 2-bit indices.
void ColourBlock(GxUInt8* out, GxUInt16 c0, GxUInt16 c1, const GxUInt8 rows[4])
{
    out[0] = GxUInt8(c0);
    out[1] = GxUInt8(c0 >> 8);
    out[2] = GxUInt8(c1);
    out[3] = GxUInt8(c1 >> 8);
    std::memcpy(out + 4, rows, 4);
}

// Rows whose texel x uses index x.
const GxUInt8 kIndexByColumn[4] = {0xE4, 0xE4, 0xE4, 0xE4};

}  // namespace

TEST(DXTDecode, DXT1FourAndThreeColourBlocks)
{
    std::vector<GxUInt8> blocks(16);
    ColourBlock(&blocks[0], 0xF800, 0x001F, kIndexByColumn);  // red > blue: four colours
    ColourBlock(&blocks[8], 0x001F, 0xF800, kIndexByColumn);  // blue < red: three colours and transparent
    std::vector<GxUInt8> rgba(8 * 4 * 4, 0x55);
    EXPECT_EQ(GxD3D9DecompressDXT1(8, 4, rgba.data(), blocks.data()), 1);
    EXPECT_EQ(At(rgba, 8, 0, 0), Texel(248, 0, 0, 255));
    EXPECT_EQ(At(rgba, 8, 1, 2), Texel(0, 0, 248, 255));
    EXPECT_EQ(At(rgba, 8, 2, 3), Texel(165, 0, 82, 255));
    EXPECT_EQ(At(rgba, 8, 3, 1), Texel(82, 0, 165, 255));
    EXPECT_EQ(At(rgba, 8, 4, 0), Texel(0, 0, 248, 255));
    EXPECT_EQ(At(rgba, 8, 6, 0), Texel(124, 0, 124, 255));
    EXPECT_EQ(At(rgba, 8, 7, 3), Texel(0, 0, 0, 0));
    // Without index 3 in a three-colour block nothing is transparent.
    const GxUInt8 noThree[4] = {0x24, 0x24, 0x24, 0x24};
    ColourBlock(&blocks[8], 0x001F, 0xF800, noThree);
    EXPECT_EQ(GxD3D9DecompressDXT1(8, 4, rgba.data(), blocks.data()), 0);
}

TEST(DXTDecode, DXT3ExplicitAlphaAndAlwaysFourColours)
{
    GxUInt8 block[16];
    for (int y = 0; y < 4; y++) {
        block[2 * y] = GxUInt8(0x10 * y + 0x0F);  // texel 0 alpha 15, texel 1 alpha y
        block[2 * y + 1] = 0x80;                  // texel 2 alpha 0, texel 3 alpha 8
    }
    // Colour 0 <= colour 1 would be three-colour mode in DXT1; here it stays four colours.
    ColourBlock(block + 8, 0x001F, 0xF800, kIndexByColumn);
    std::vector<GxUInt8> rgba(4 * 4 * 4);
    GxD3D9DecompressDXT3(4, 4, rgba.data(), block);
    EXPECT_EQ(At(rgba, 4, 0, 0), Texel(0, 0, 248, 255));
    EXPECT_EQ(At(rgba, 4, 1, 2), Texel(248, 0, 0, 2 * 17));
    EXPECT_EQ(At(rgba, 4, 2, 0), Texel(82, 0, 165, 0));
    EXPECT_EQ(At(rgba, 4, 3, 3), Texel(165, 0, 82, 8 * 17));
}

TEST(DXTDecode, DXT5AlphaTables)
{
    GxUInt8 block[16] = {200, 100};
    // Texel t uses alpha index t % 8.
    uint64_t bits = 0;
    for (int t = 0; t < 16; t++) {
        bits |= static_cast<uint64_t>(t % 8) << (3 * t);
    }
    for (int i = 0; i < 6; i++) {
        block[2 + i] = GxUInt8(bits >> (8 * i));
    }
    ColourBlock(block + 8, 0xFFFF, 0xFFFF, kIndexByColumn);
    std::vector<GxUInt8> rgba(4 * 4 * 4);
    GxD3D9DecompressDXT5(4, 4, rgba.data(), block);
    const GxUInt8 eight[8] = {200, 100, 185, 171, 157, 142, 128, 114};
    for (int t = 0; t < 16; t++) {
        EXPECT_EQ(AlphaAt(rgba, 4, t % 4, t / 4), eight[t % 8]) << t;
    }
    // Equal end points use the six-value table: index 6 is 0, index 7 is 255.
    block[0] = 0;
    block[1] = 0;
    GxD3D9DecompressDXT5(4, 4, rgba.data(), block);
    EXPECT_EQ(AlphaAt(rgba, 4, 2, 1), 0);    // t = 6
    EXPECT_EQ(AlphaAt(rgba, 4, 3, 1), 255);  // t = 7
    EXPECT_EQ(AlphaAt(rgba, 4, 1, 0), 0);
    // The block-alpha helper writes only the kept texels of a wider image.
    std::vector<GxUInt8> wide(8 * 4 * 4, 9);
    GxD3D9DecompressDXT5Alpha(&wide[4 * 4], block, 8, 0x0001 | 0x8000);
    EXPECT_EQ(AlphaAt(wide, 8, 4, 0), 0);
    EXPECT_EQ(AlphaAt(wide, 8, 7, 3), 255);
    EXPECT_EQ(AlphaAt(wide, 8, 5, 0), 9);
}

namespace {

class DDSRead : public GxD3D9SoftwareTest {
protected:
    static void Refuse(D3DFORMAT format) { D3D9SoftRefuseFormat(gxD3D9State.d3d, format, true); }
    // Reads a file image through a memory stream; the raster is destroyed at the end of the test.
    GxRaster* Read(const std::vector<uint8_t>& bytes)
    {
        GxTestReadStream in(bytes);
        EXPECT_NE(in.Get(), nullptr);
        return Keep(in.Get() ? GxD3D9RasterReadDDS(in.Get()) : nullptr);
    }
    // Every shorter prefix of a good file is refused, and nothing is left behind.
    void ExpectEveryTruncationRefused(const std::vector<uint8_t>& bytes)
    {
        for (size_t n = 0; n < bytes.size(); n++) {
            GxTestReadStream in(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
            ASSERT_NE(in.Get(), nullptr);
            ASSERT_EQ(GxD3D9RasterReadDDS(in.Get()), nullptr) << "prefix of " << n << " bytes was read";
            GxTestTakeError();
        }
    }
    static std::vector<GxUInt8> Image32(GxRaster* raster)
    {
        GxImage* image = GxImageCreate(raster->width, raster->height, 32);
        EXPECT_NE(GxImageAllocatePixels(image), nullptr);
        EXPECT_TRUE(GxD3D9ImageGetFromRaster(image, raster, 0));
        std::vector<GxUInt8> out;
        for (GxInt32 y = 0; y < image->height; y++) {
            out.insert(out.end(), image->pixels + y * image->stride,
                       image->pixels + y * image->stride + 4 * image->width);
        }
        GxImageDestroy(image);
        return out;
    }
    // Raw bytes of one locked level (the current cube face), rowBytes per row.
    static std::vector<GxUInt8> Level(GxRaster* raster, int level, size_t rowBytes, int rows)
    {
        std::vector<GxUInt8> out;
        GxUInt8* bits = GxRasterLock(raster, GxUInt8(level), gxRASTERLOCKREAD);
        EXPECT_NE(bits, nullptr);
        for (int y = 0; bits && y < rows; y++) {
            out.insert(out.end(), bits + y * raster->stride, bits + y * raster->stride + rowBytes);
        }
        if (bits) {
            GxRasterUnlock(raster);
        }
        return out;
    }
    static GxInt32 Nibble(GxRaster* raster) { return GxRasterGetFormat(raster) & gxRASTERFORMATPIXELFORMATMASK; }
};

std::vector<GxUInt8> Gradient(int w, int h, bool alpha)
{
    std::vector<GxUInt8> rgba(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            GxUInt8* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = GxUInt8(x * 255 / std::max(1, w - 1));
            p[1] = GxUInt8(y * 255 / std::max(1, h - 1));
            p[2] = GxUInt8((x * y) & 0xFF);
            p[3] = alpha ? GxUInt8((x + y) * 16) : 255;
        }
    }
    return rgba;
}

ContentDds DXTFile(int kind, int w, int h, const std::vector<GxUInt8>& rgba)
{
    return ContentDdsFromRgba(kind, w, h, rgba.data());
}

ContentDds ArgbFile(int w, int h, const std::vector<GxUInt8>& rgba) { return ContentDdsFromRgba(0, w, h, rgba.data()); }

}  // namespace

TEST_F(DDSRead, DXT1NativeOpaqueAndTransparent)
{
    const std::vector<GxUInt8> opaque = Gradient(8, 8, false);
    ContentDds dds = DXTFile(1, 8, 8, opaque);
    GxRaster* raster = Read(ContentDdsBytes(dds));
    ASSERT_NE(raster, nullptr);
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(raster);
    EXPECT_EQ(ext->d3dFormat, static_cast<GxUInt32>(D3DFMT_DXT1));
    EXPECT_EQ(Nibble(raster), gxRASTERFORMAT565);
    EXPECT_EQ(ext->alpha, 0);
    EXPECT_TRUE(ext->automipmap & 0xF0);
    // The blocks arrive in the device texture unchanged.
    EXPECT_EQ(Level(raster, 0, 16, 2), dds.data);

    std::vector<GxUInt8> holed = opaque;
    holed[(5 * 8 + 6) * 4 + 3] = 0;
    GxRaster* masked = Read(ContentDdsBytes(DXTFile(1, 8, 8, holed)));
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(Nibble(masked), gxRASTERFORMAT1555);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(masked)->alpha, 1);
}

TEST_F(DDSRead, DXTConvertedWhenTheDeviceLacksTheFormat)
{
    Refuse(D3DFMT_DXT1);
    Refuse(D3DFMT_DXT5);
    const std::vector<GxUInt8> rgba = Gradient(8, 8, true);
    ContentDds five = DXTFile(5, 8, 8, rgba);
    GxRaster* raster = Read(ContentDdsBytes(five));
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->automipmap & 0xF0, 0);
    EXPECT_EQ(Nibble(raster), gxRASTERFORMAT4444);
    std::vector<GxUInt8> decoded(8 * 8 * 4);
    GxD3D9DecompressDXT5(8, 8, decoded.data(), five.data.data());
    const std::vector<GxUInt8> got = Image32(raster);
    for (int i = 0; i < 64; i++) {
        const GxUInt32 want = At(decoded, 8, i % 8, i / 8);
        const GxUInt32 have = At(got, 8, i % 8, i / 8);
        const GxUInt32 alpha = (want >> 24 & 0xF0) == 0xF0 ? 255 : (want >> 24 & 0xF0);
        ASSERT_EQ(have, (want & 0x00F0F0F0) | alpha << 24) << i;
    }
    // Odd sizes decode their edge blocks too.
    std::vector<GxUInt8> small = Gradient(6, 5, false);
    small[(4 * 6 + 5) * 4 + 3] = 0;
    GxRaster* edge = Read(ContentDdsBytes(DXTFile(1, 6, 5, small)));
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(Nibble(edge), gxRASTERFORMAT1555);
    EXPECT_EQ(AlphaAt(Image32(edge), 6, 5, 4), 0);
}

TEST_F(DDSRead, UncompressedNativeUsesTheFilePitch)
{
    // Three texels a row: 12 bytes in the file, whatever pitch the device locks with.
    const std::vector<GxUInt8> rgba = Gradient(3, 4, true);
    GxRaster* raster = Read(ContentDdsBytes(ArgbFile(3, 4, rgba)));
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->d3dFormat, static_cast<GxUInt32>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(raster)->alpha, 1);
    EXPECT_EQ(Image32(raster), rgba);

    Refuse(D3DFMT_A8R8G8B8);
    GxRaster* converted = Read(ContentDdsBytes(ArgbFile(3, 4, rgba)));
    ASSERT_NE(converted, nullptr);
    EXPECT_NE(GxD3D9RASTEREXTFromRaster(converted)->d3dFormat, static_cast<GxUInt32>(D3DFMT_A8R8G8B8));
}

TEST_F(DDSRead, ConvertedUncompressedLayouts)
{
    // The device has no R3G3B2 textures: the texels go to a 565 raster.
    ContentDds rgb332;
    rgb332.width = 2;
    rgb332.height = 1;
    ContentDdsSetMasks(&rgb332, 0x40, 8, 0xE0, 0x1C, 0x3, 0);
    rgb332.data = {0xE0, 0x03};
    GxRaster* a = Read(ContentDdsBytes(rgb332));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Nibble(a), gxRASTERFORMAT565);
    std::vector<GxUInt8> got = Image32(a);
    EXPECT_EQ(At(got, 2, 0, 0), Texel(224, 0, 0, 255));
    EXPECT_EQ(At(got, 2, 1, 0), Texel(0, 0, 192, 255));

    // 10:10:10:2 with red mask 0x3FF takes red from the high field.
    ContentDds wide;
    wide.width = 1;
    wide.height = 1;
    ContentDdsSetMasks(&wide, 0x41, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000u);
    const GxUInt32 v = 0xC0000000u | (0x3FCu << 20) | 0x3FC;  // high field full, low field full, green 0
    wide.data = {GxUInt8(v), GxUInt8(v >> 8), GxUInt8(v >> 16), GxUInt8(v >> 24)};
    Refuse(D3DFMT_A2R10G10B10);
    GxRaster* b = Read(ContentDdsBytes(wide));
    ASSERT_NE(b, nullptr);
    got = Image32(b);
    EXPECT_EQ(At(got, 1, 0, 0) & 0xFF, 255u);
    EXPECT_EQ(AlphaAt(got, 1, 0, 0), 255);

    // An 8-bit palette file on a device without P8.
    Refuse(D3DFMT_P8);
    ContentDds pal;
    pal.width = 2;
    pal.height = 2;
    ContentDdsSetMasks(&pal, 0x20, 8, 0, 0, 0, 0);
    pal.palette.assign(1024, 0);
    const GxUInt8 entry[4] = {10, 20, 30, 255};
    std::memcpy(&pal.palette[4 * 200], entry, 4);
    pal.data = {200, 200, 200, 200};
    GxRaster* c = Read(ContentDdsBytes(pal));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(At(Image32(c), 2, 1, 1), Texel(10, 20, 30, 255));
}

TEST_F(DDSRead, MipmapsAndMissingLevels)
{
    ContentDds dds = DXTFile(5, 8, 8, Gradient(8, 8, true));
    const std::vector<GxUInt8> level1 = ContentDxtEncode(5, 4, 4, Gradient(4, 4, false).data());
    const std::vector<GxUInt8> level2 = ContentDxtEncode(5, 2, 2, Gradient(2, 2, true).data());
    dds.data.insert(dds.data.end(), level1.begin(), level1.end());
    dds.data.insert(dds.data.end(), level2.begin(), level2.end());
    ContentDdsSetMipmaps(&dds, 3);
    GxRaster* raster = Read(ContentDdsBytes(dds));
    ASSERT_NE(raster, nullptr);
    EXPECT_TRUE(GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP);
    EXPECT_EQ(GxRasterGetNumLevels(raster), 3);
    EXPECT_EQ(Level(raster, 1, 16, 1), level1);
    EXPECT_EQ(Level(raster, 2, 16, 1), level2);

    // Block rows round up: a level 6 texels high holds two rows of blocks, and the next level follows them.
    ContentDds tall = DXTFile(5, 8, 6, Gradient(8, 6, true));
    const std::vector<GxUInt8> tallLevel1 = ContentDxtEncode(5, 4, 3, Gradient(4, 3, false).data());
    tall.data.insert(tall.data.end(), tallLevel1.begin(), tallLevel1.end());
    ContentDdsSetMipmaps(&tall, 2);
    GxRaster* uneven = Read(ContentDdsBytes(tall));
    ASSERT_NE(uneven, nullptr);
    EXPECT_EQ(Level(uneven, 0, 32, 2), std::vector<GxUInt8>(tall.data.begin(), tall.data.begin() + 64));
    EXPECT_EQ(Level(uneven, 1, 16, 1), tallLevel1);

    // An uncompressed file that lists fewer levels than the texture holds fills the levels it lists.
    ContentDds argb = ArgbFile(8, 8, Gradient(8, 8, true));
    ContentDdsSetMipmaps(&argb, 2);
    const std::vector<GxUInt8> half = ArgbFile(4, 4, Gradient(4, 4, true)).data;
    argb.data.insert(argb.data.end(), half.begin(), half.end());
    GxRaster* partial = Read(ContentDdsBytes(argb));
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(GxRasterGetNumLevels(partial), 4);
    EXPECT_EQ(Level(partial, 0, 32, 8), std::vector<GxUInt8>(argb.data.begin(), argb.data.begin() + 256));
    EXPECT_EQ(Level(partial, 1, 16, 4), half);
}

TEST_F(DDSRead, CubeMapsReadEveryFace)
{
    ContentDds cube;
    cube.width = 4;
    cube.height = 4;
    ContentDdsSetFourCC(&cube, ContentFourCC('D', 'X', 'T', '1'));
    ContentDdsSetCube(&cube);
    ContentDdsSetMipmaps(&cube, 2);
    std::vector<std::vector<GxUInt8>> faces;
    for (int f = 0; f < 6; f++) {
        std::vector<GxUInt8> rgba = Gradient(4, 4, false);
        rgba[0] = GxUInt8(40 * f);
        faces.push_back(ContentDxtEncode(1, 4, 4, rgba.data()));
        cube.data.insert(cube.data.end(), faces.back().begin(), faces.back().end());
        const std::vector<GxUInt8> small = ContentDxtEncode(1, 2, 2, rgba.data());
        cube.data.insert(cube.data.end(), small.begin(), small.end());
    }
    GxRaster* raster = Read(ContentDdsBytes(cube));
    ASSERT_NE(raster, nullptr);
    GxD3D9RasterExt* ext = GxD3D9RASTEREXTFromRaster(raster);
    EXPECT_TRUE(GxD3D9RasterIsCubeTexture(raster));
    for (int f = 0; f < 6; f++) {
        ext->cube = GxUInt8(0x01 | f << 4);
        EXPECT_EQ(Level(raster, 0, 8, 1), faces[f]) << "face " << f;
    }
    ext->cube = 0x01;

    // A device without mipmap filtering for cubes keeps the top levels only; the raster is still a mipmapped one.
    const DWORD filterCaps = gxD3D9State.caps.CubeTextureFilterCaps;
    gxD3D9State.caps.CubeTextureFilterCaps &=
        ~static_cast<DWORD>(D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR);
    GxRaster* topOnly = Read(ContentDdsBytes(cube));
    gxD3D9State.caps.CubeTextureFilterCaps = filterCaps;
    ASSERT_NE(topOnly, nullptr);
    EXPECT_EQ(GxRasterGetNumLevels(topOnly), 1);
    EXPECT_EQ(GxRasterGetFormat(topOnly) & gxRASTERFORMATMIPMAP, gxRASTERFORMATMIPMAP);
    GxD3D9RASTEREXTFromRaster(topOnly)->cube = GxUInt8(0x01 | 5 << 4);
    EXPECT_EQ(Level(topOnly, 0, 8, 1), faces[5]);
    GxD3D9RASTEREXTFromRaster(topOnly)->cube = 0x01;

    // Without cube-texture support for the code the cube map is refused, not converted.
    Refuse(D3DFMT_DXT1);
    EXPECT_EQ(Read(ContentDdsBytes(cube)), nullptr);
}

TEST_F(DDSRead, BadFilesAreRefused)
{
    ContentDds good = DXTFile(1, 4, 4, Gradient(4, 4, false));
    std::vector<uint8_t> bytes = ContentDdsBytes(good);
    bytes[0] = 'X';
    EXPECT_EQ(Read(bytes), nullptr);

    ContentDds noFlags = good;
    noFlags.flags = 0x8;
    EXPECT_EQ(Read(ContentDdsBytes(noFlags)), nullptr);

    // An unknown pixel format just fails the read: no error of the reader's own.
    ContentDds unknown = good;
    unknown.pixelFlags = 0x40;
    unknown.redMask = 0x123;
    GxTestTakeErrorCode();
    EXPECT_EQ(Read(ContentDdsBytes(unknown)), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);

    // Codes beyond the format table, or without a rule, are unsupported.
    ContentDds far = good;
    ContentDdsSetFourCC(&far, ContentFourCC('A', 'T', 'I', '2'));
    EXPECT_EQ(Read(ContentDdsBytes(far)), nullptr);
    ContentDds odd = good;
    ContentDdsSetFourCC(&odd, 127);
    EXPECT_EQ(Read(ContentDdsBytes(odd)), nullptr);
    // A code with its top bit set is still just an unknown format.
    ContentDds high = good;
    ContentDdsSetFourCC(&high, ContentFourCC('D', 'X', 'T', static_cast<char>(0xB1)));
    EXPECT_EQ(Read(ContentDdsBytes(high)), nullptr);

    ContentDds huge = good;
    huge.width = 0x7FFFFFFF;
    EXPECT_EQ(Read(ContentDdsBytes(huge)), nullptr);
    ContentDds empty = good;
    empty.height = 0;
    EXPECT_EQ(Read(ContentDdsBytes(empty)), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
}

// Luminance-alpha rasters named by a numeric four-CC, plain and cube, with and without mipmaps, keep their
// format through a native texture: what is written reads back, and writes again byte for byte.
TEST_F(DDSRead, NumericLuminanceCodesSurviveANativeTexture)
{
    const struct {
        GxUInt32 code;
        GxUInt32 texelBytes;
    } codes[] = {{D3DFMT_A8L8, 2}, {D3DFMT_A4L4, 1}};
    for (const auto& c : codes) {
        for (const bool cube : {false, true}) {
            for (const bool mipmaps : {false, true}) {
                ContentDds dds;
                dds.width = 4;
                dds.height = 4;
                ContentDdsSetFourCC(&dds, c.code);
                if (cube) {
                    ContentDdsSetCube(&dds);
                }
                if (mipmaps) {
                    ContentDdsSetMipmaps(&dds, 3);
                }
                const size_t faceBytes = (mipmaps ? 16 + 4 + 1 : 16) * c.texelBytes;
                for (size_t i = 0; i < (cube ? 6 : 1) * faceBytes; i++) {
                    dds.data.push_back(static_cast<GxUInt8>(i * 7));
                }
                const std::string what = std::to_string(c.code) + (cube ? " cube" : "") + (mipmaps ? " mip" : "");
                GxRaster* raster = Read(ContentDdsBytes(dds));
                ASSERT_NE(raster, nullptr) << what;
                GxTexture* texture = GxTextureCreate(raster);
                rasters.pop_back();  // the texture owns it now
                GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
                ASSERT_TRUE(GxD3D9NativeTextureWrite(out, texture, 0)) << what;
                const std::vector<GxUInt8> written = GxTestCloseWriteStream(out);
                GxTestReadStream in(written);
                GxTexture* again = nullptr;
                ASSERT_TRUE(GxD3D9NativeTextureRead(in.Get(), &again, static_cast<GxInt32>(written.size()))) << what;
                out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
                EXPECT_TRUE(GxD3D9NativeTextureWrite(out, again, 0)) << what;
                EXPECT_EQ(GxTestCloseWriteStream(out), written) << what;
                GxTextureDestroy(again);
                GxTextureDestroy(texture);
            }
        }
    }
}

TEST_F(DDSRead, EveryTruncationIsRefused)
{
    ContentDds mip = DXTFile(1, 8, 8, Gradient(8, 8, false));
    const std::vector<GxUInt8> level1 = ContentDxtEncode(1, 4, 4, Gradient(4, 4, false).data());
    mip.data.insert(mip.data.end(), level1.begin(), level1.end());
    ContentDdsSetMipmaps(&mip, 2);
    ExpectEveryTruncationRefused(ContentDdsBytes(mip));

    ExpectEveryTruncationRefused(ContentDdsBytes(ArgbFile(3, 2, Gradient(3, 2, true))));

    ContentDds pal;
    pal.width = 2;
    pal.height = 2;
    ContentDdsSetMasks(&pal, 0x20, 8, 0, 0, 0, 0);
    pal.palette.assign(1024, 7);
    pal.data = {1, 2, 3, 4};
    ExpectEveryTruncationRefused(ContentDdsBytes(pal));

    Refuse(D3DFMT_DXT3);
    ExpectEveryTruncationRefused(ContentDdsBytes(DXTFile(3, 8, 4, Gradient(8, 4, true))));
}

TEST_F(DDSRead, SixteenBitChannelsConvertFromTheirTopBytes)
{
    // The software device has no A16B16G16R16 textures: the file goes through the CPU conversion.
    ContentDds wide;
    wide.width = 1;
    wide.height = 1;
    ContentDdsSetFourCC(&wide, D3DFMT_A16B16G16R16);
    wide.data = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xFF, 0xEE};  // R, G, B, A as little-endian 16-bit values
    const std::vector<uint8_t> bytes = ContentDdsBytes(wide);
    ASSERT_EQ(bytes.size(), 136u);
    GxRaster* raster = Read(bytes);
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(At(Image32(raster), 1, 0, 0), Texel(0x12, 0x56, 0x9A, 0xEE));
}

TEST_F(DDSRead, ClaimsBeyondTheStreamMakeNothing)
{
    // Headers claiming far more texels than follow them: refused before any device texture exists.
    ContentDds big = ArgbFile(4, 4, Gradient(4, 4, true));
    big.width = 4096;
    big.height = 4096;
    ContentDds bigCube = DXTFile(1, 4, 4, Gradient(4, 4, false));
    bigCube.width = 1024;
    bigCube.height = 1024;
    ContentDdsSetCube(&bigCube);
    IDirect3DDevice9* device = GxD3D9Device();
    for (const ContentDds& dds : {big, bigCube}) {
        D3D9SoftClearLog(device);
        GxTestTakeErrorCode();
        EXPECT_EQ(Read(ContentDdsBytes(dds)), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
        EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_CREATE), 0u);
    }
    // The conversion path refuses before reading as well.
    Refuse(D3DFMT_A8R8G8B8);
    EXPECT_EQ(Read(ContentDdsBytes(big)), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
}

// A texture that asks for more memory than any picture may have is refused from its header, whole or not: a
// plain one past 4096 x 4096 texels, and a cube map whose six faces together are.
TEST_F(DDSRead, OversizedTexturesAreRefusedFromTheirHeaders)
{
    ContentDds wide = DXTFile(1, 4, 4, Gradient(4, 4, false));
    wide.width = 4100;
    wide.height = 4096;
    wide.data.assign(static_cast<size_t>(wide.width / 4) * (wide.height / 4) * 8, 0);
    ContentDds cube = DXTFile(1, 4, 4, Gradient(4, 4, false));
    cube.width = 2048;
    cube.height = 2048;
    ContentDdsSetCube(&cube);
    IDirect3DDevice9* device = GxD3D9Device();
    for (const ContentDds& dds : {wide, cube}) {
        D3D9SoftClearLog(device);
        GxTestTakeErrorCode();
        EXPECT_EQ(Read(ContentDdsBytes(dds)), nullptr) << dds.width;
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR) << dds.width;
        EXPECT_EQ(D3D9SoftCount(device, D3D9SOFT_CREATE), 0u);
    }
    // Within the limit, the same whole file reads.
    wide.width = 4096;
    wide.data.resize(static_cast<size_t>(wide.width / 4) * (wide.height / 4) * 8);
    EXPECT_NE(Read(ContentDdsBytes(wide)), nullptr);
}

TEST_F(DDSRead, OnlyTheFiveDXTCodesDecodeAsBlocks)
{
    // A code between DXT1 and DXT5 that is none of them has no rule, though its data would decode.
    ContentDds odd = DXTFile(5, 4, 4, Gradient(4, 4, false));
    ContentDdsSetFourCC(&odd, D3DFMT_DXT1 + 1);
    EXPECT_EQ(Read(ContentDdsBytes(odd)), nullptr);
}

namespace {

class DDSFind : public DDSRead {
protected:
    void SetUp() override
    {
        DDSRead::SetUp();
        ASSERT_TRUE(GxTestFileSystemOpen());
        dir = std::filesystem::temp_directory_path() /
              ("dds_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir / "sub");
        ASSERT_TRUE(GxTestStoreFile((dir / "sub" / "wall.dds").string(),
                                    ContentDdsBytes(DXTFile(1, 4, 4, Gradient(4, 4, false)))));
    }
    void TearDown() override
    {
        GxImageSetPath("");
        GxFileSystemManagerClose();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        DDSRead::TearDown();
    }
    std::string Drive(const std::filesystem::path& path) const { return "C:" + path.generic_string(); }

    std::filesystem::path dir;
};

}  // namespace

TEST_F(DDSFind, NamesAlongTheSearchPath)
{
    GxChar* file = nullptr;
    GxChar* name = nullptr;
    // An absolute name: the texture is named after the part behind the last separator.
    const std::string absolute = Drive(dir / "sub" / "wall");
    ASSERT_TRUE(GxD3D9DDSFindFile(absolute.c_str(), &file, &name));
    EXPECT_EQ(std::string(file), absolute + ".dds");
    EXPECT_STREQ(name, "wall");
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, file);
    ASSERT_NE(stream, nullptr);
    GxRaster* raster = GxD3D9RasterReadDDS(stream);
    GxStreamClose(stream, nullptr);
    ASSERT_NE(Keep(raster), nullptr);
    GxFree(file);
    GxFree(name);

    // Along the path the first entry holding the file wins and the given name is kept.
    const std::string path = Drive(dir / "none") + "/;" + Drive(dir / "sub") + "/";
    GxImageSetPath(path.c_str());
    ASSERT_TRUE(GxD3D9DDSFindFile("wall", &file, &name));
    EXPECT_EQ(std::string(file), Drive(dir / "sub" / "wall.dds"));
    EXPECT_STREQ(name, "wall");
    GxFree(file);
    GxFree(name);

    // The texture read names the texture and filters it linearly.
    GxTexture* texture = GxD3D9TextureReadDDS("wall", nullptr);
    ASSERT_NE(texture, nullptr);
    EXPECT_STREQ(GxTextureGetName(texture), "wall");
    EXPECT_EQ(GxTextureGetFilterMode(texture), 2);
    ASSERT_NE(GxTextureGetRaster(texture), nullptr);
    EXPECT_EQ(GxD3D9RASTEREXTFromRaster(GxTextureGetRaster(texture))->d3dFormat, static_cast<GxUInt32>(D3DFMT_DXT1));
    GxTextureDestroy(texture);

    // Missing files and names longer than any path are a clear failure.
    EXPECT_EQ(GxD3D9TextureReadDDS("missing", nullptr), nullptr);
    GxTestTakeErrorCode();
    EXPECT_FALSE(GxD3D9DDSFindFile("missing", &file, &name));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRTEXTUREUNKNOWN);
    EXPECT_EQ(file, nullptr);
    const std::string longName(2000, 'x');
    EXPECT_FALSE(GxD3D9DDSFindFile(longName.c_str(), &file, &name));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRTEXTUREUNKNOWN);
}
