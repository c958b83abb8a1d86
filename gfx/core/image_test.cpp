// Tests of images, palettes, gamma, the format registry and search path, image chunks, the quantiser and resampling.
#include "gfx/core/image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image_testing.h"
#include "gfx/core/stream.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/testsupport/temp_dir.h"

namespace {

using Bytes = std::vector<GxUInt8>;

GxImage* NewImage(GxInt32 w, GxInt32 h, GxInt32 depth)
{
    GxImage* image = GxImageCreate(w, h, depth);
    return image ? GxImageAllocatePixels(image) : nullptr;
}

GxRGBA* Pixel(GxImage* image, GxInt32 x, GxInt32 y)
{
    return reinterpret_cast<GxRGBA*>(image->pixels + y * image->stride) + x;
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart(0, 0, GxTestMemoryReset()));
        GxTestTakeErrorCode();
    }
    void TearDown() override { GxTestEngineShutdown(); }
};

TEST_F(ImageTest, PixelBlocksStridesAndPalettes)
{
    GxImage* image = NewImage(3, 1, 8);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->stride, 4);
    EXPECT_EQ(reinterpret_cast<GxUInt8*>(image->palette), image->pixels + 4);
    EXPECT_EQ(image->flags & gxIMAGEALLOCATED, gxIMAGEALLOCATED);
    GxImageDestroy(image);

    image = NewImage(3, 2, 32);
    EXPECT_EQ(image->stride, 12);
    EXPECT_EQ(image->palette, nullptr);
    GxImageDestroy(image);

    image = NewImage(5, 2, 4);
    EXPECT_EQ(image->stride, 8);              // one index per byte, rows padded to 4
    image->palette[15] = GxRGBA{1, 2, 3, 4};  // the 16th entry lies inside the block
    GxImageFreePixels(image);
    EXPECT_EQ(image->pixels, nullptr);
    EXPECT_EQ(image->flags & gxIMAGEALLOCATED, 0);
    GxImageDestroy(image);

    // Sizes whose block would not fit the 32-bit fields are refused.
    image = GxImageCreate(0x7FFFFFFF, 0x7FFFFFFF, 32);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GxImageAllocatePixels(image), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOMEMORY);
    GxImageDestroy(image);
    EXPECT_EQ(GxImageCreate(-1, 4, 32), nullptr);
    EXPECT_EQ(GxImageCreate(4, 4, 33), nullptr);
}

TEST_F(ImageTest, ResizeKeepsTheOverlapAndThePalette)
{
    GxImage* image = NewImage(3, 3, 8);
    for (GxInt32 y = 0; y < 3; ++y)
        for (GxInt32 x = 0; x < 3; ++x)
            image->pixels[y * image->stride + x] = static_cast<GxUInt8>(10 * y + x);
    image->palette[255] = GxRGBA{9, 8, 7, 6};
    ASSERT_EQ(GxImageResize(image, 5, 2), image);
    EXPECT_EQ(image->stride, 8);
    EXPECT_EQ(image->palette[255].red, 9);
    for (GxInt32 y = 0; y < 2; ++y) {
        for (GxInt32 x = 0; x < 3; ++x)
            EXPECT_EQ(image->pixels[y * 8 + x], 10 * y + x);
        EXPECT_EQ(image->pixels[y * 8 + 3], 0);
    }
    GxImageDestroy(image);

    // Without owned pixels only the size changes.
    GxImage* bare = GxImageCreate(4, 4, 32);
    ASSERT_EQ(GxImageResize(bare, 8, 2), bare);
    EXPECT_EQ(bare->width, 8);
    EXPECT_EQ(bare->pixels, nullptr);
    GxImageDestroy(bare);
}

TEST_F(ImageTest, CopiesBetweenDepths)
{
    GxImage* four = NewImage(3, 2, 4);
    for (GxInt32 i = 0; i < 16; ++i)
        four->palette[i] = GxRGBA{static_cast<GxUInt8>(i * 16), 0, 0, 255};
    for (GxInt32 y = 0; y < 2; ++y)
        for (GxInt32 x = 0; x < 3; ++x)
            four->pixels[y * four->stride + x] = static_cast<GxUInt8>(y * 3 + x);
    four->flags |= gxIMAGEGAMMASET;

    GxImage* eight = NewImage(3, 2, 8);
    ASSERT_EQ(GxImageCopy(eight, four), eight);
    EXPECT_EQ(eight->pixels[eight->stride + 2], 5);
    EXPECT_EQ(eight->palette[5].red, 0);  // only the indices are copied
    EXPECT_TRUE(eight->flags & gxIMAGEGAMMASET);

    GxImage* wide = NewImage(3, 2, 32);
    ASSERT_EQ(GxImageCopy(wide, four), wide);
    EXPECT_EQ(Pixel(wide, 1, 1)->red, 64);
    EXPECT_EQ(Pixel(wide, 1, 1)->alpha, 255);

    GxImage* same = NewImage(3, 2, 32);
    ASSERT_EQ(GxImageCopy(same, wide), same);
    EXPECT_EQ(memcmp(same->pixels, wide->pixels, 24), 0);

    // 32 -> 8 needs the quantiser, not a copy.
    EXPECT_EQ(GxImageCopy(eight, wide), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    GxImage* small = NewImage(2, 2, 32);
    EXPECT_EQ(GxImageCopy(small, wide), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSIZEMISMATCH);
    for (GxImage* image : {four, eight, wide, same, small})
        GxImageDestroy(image);
}

TEST_F(ImageTest, MasksTakeTheBrightestChannel)
{
    GxImage* image = NewImage(2, 1, 8);
    image->palette[0] = GxRGBA{10, 20, 30, 255};
    image->palette[1] = GxRGBA{40, 50, 60, 255};
    image->pixels[0] = 0;
    image->pixels[1] = 1;
    image->flags |= gxIMAGEGAMMASET;

    GxImage* mask = NewImage(2, 1, 32);
    *Pixel(mask, 0, 0) = GxRGBA{5, 200, 7, 0};
    *Pixel(mask, 1, 0) = GxRGBA{0, 0, 99, 0};
    GxImageMakeMask(mask);
    EXPECT_EQ(Pixel(mask, 0, 0)->alpha, 200);
    EXPECT_EQ(Pixel(mask, 1, 0)->alpha, 99);

    // An expansion that cannot get its memory leaves the 8-bit image whole, whichever allocation fails.
    const GxUInt8* pixels = image->pixels;
    GxImage* applied = nullptr;
    for (int allowed = 0; applied == nullptr && allowed < 8; ++allowed) {
        gxTestMemory.callocFailAfter = allowed;
        applied = GxImageApplyMask(image, mask);
        gxTestMemory.callocFailAfter = -1;
        if (applied == nullptr) {
            GxTestTakeErrorCode();
            ASSERT_EQ(image->depth, 8);
            ASSERT_EQ(image->pixels, pixels);
            EXPECT_EQ(image->pixels[1], 1);
            EXPECT_EQ(image->palette[1].green, 50);
        }
    }
    // An 8-bit image becomes 32-bit with its colours and the mask's alpha.
    ASSERT_EQ(applied, image);
    EXPECT_EQ(image->depth, 32);
    EXPECT_EQ(image->palette, nullptr);
    EXPECT_TRUE(image->flags & gxIMAGEGAMMASET);
    EXPECT_EQ(Pixel(image, 0, 0)->green, 20);
    EXPECT_EQ(Pixel(image, 0, 0)->alpha, 200);
    EXPECT_EQ(Pixel(image, 1, 0)->blue, 60);
    EXPECT_EQ(Pixel(image, 1, 0)->alpha, 99);

    // A palettised mask gives alpha through its palette.
    GxImage* paletteMask = NewImage(2, 1, 4);
    paletteMask->palette[3] = GxRGBA{1, 2, 77, 0};
    paletteMask->pixels[0] = 3;
    GxImageMakeMask(paletteMask);
    ASSERT_EQ(GxImageApplyMask(image, paletteMask), image);
    EXPECT_EQ(Pixel(image, 0, 0)->alpha, 77);
    EXPECT_EQ(Pixel(image, 1, 0)->alpha, 0);

    GxImage* other = NewImage(3, 1, 32);
    EXPECT_EQ(GxImageApplyMask(image, other), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSIZEMISMATCH);
    // A mask of another depth has no alpha to give.
    GxImage* narrow = NewImage(2, 1, 16);
    EXPECT_EQ(GxImageApplyMask(image, narrow), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    for (GxImage* i : {image, mask, paletteMask, other, narrow})
        GxImageDestroy(i);
}

TEST_F(ImageTest, GammaTablesAndCorrection)
{
    const GxUInt8* table = GxImageGetGammaTable();
    const GxUInt8* inverse = GxImageGetInverseGammaTable();
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(table[i], i);
        ASSERT_EQ(inverse[i], i);
    }
    ASSERT_TRUE(GxImageSetGamma(2.2f));
    EXPECT_FLOAT_EQ(GxImageGetGamma(), 2.2f);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[255], 255);
    EXPECT_EQ(inverse[255], 255);
    // (128/255)^(1/2.2) x 255 = 186.4 and (128/255)^2.2 x 255 = 55.98, each rounded.
    EXPECT_EQ(table[128], 186);
    EXPECT_EQ(inverse[128], 56);
    for (int i = 1; i < 256; ++i) {
        EXPECT_GE(table[i], table[i - 1]);
        EXPECT_GE(table[i], inverse[i]);
    }

    // Palettised images change only their palette; 32-bit images keep alpha.
    GxImage* indexed = NewImage(2, 1, 8);
    indexed->pixels[0] = 128;
    indexed->palette[1] = GxRGBA{128, 128, 128, 128};
    ASSERT_EQ(GxImageGammaCorrect(indexed), indexed);
    EXPECT_EQ(indexed->pixels[0], 128);
    EXPECT_EQ(indexed->palette[1].red, 186);
    EXPECT_EQ(indexed->palette[1].alpha, 128);
    EXPECT_TRUE(indexed->flags & gxIMAGEGAMMASET);
    GxImage* wide = NewImage(1, 1, 32);
    *Pixel(wide, 0, 0) = GxRGBA{128, 0, 255, 128};
    GxImageGammaCorrect(wide);
    EXPECT_EQ(Pixel(wide, 0, 0)->red, 186);
    EXPECT_EQ(Pixel(wide, 0, 0)->alpha, 128);

    GxImage* sixteen = NewImage(1, 1, 16);
    EXPECT_EQ(GxImageGammaCorrect(sixteen), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDDEPTH);
    GxImage* bare = GxImageCreate(1, 1, 8);
    EXPECT_EQ(GxImageGammaCorrect(bare), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);

    // Nonsense gammas give defined tables.
    for (float g : {0.0f, -1.0f, 1e-30f, std::numeric_limits<float>::quiet_NaN()}) {
        ASSERT_TRUE(GxImageSetGamma(g));
        EXPECT_EQ(table[0], 0);
    }
    for (GxImage* i : {indexed, wide, sixteen, bare})
        GxImageDestroy(i);
}

TEST(ImageEngineTest, StartAppliesTheDeviceGamma)
{
    // The device record is taken when the engine opens.
    GxTestEngineSetup setup = GxTestRecordingSetup([] {
        gxTestDevice.record.gammaCorrection = 2.0f;
        return true;
    });
    setup.arenaSize = 0x1000;
    {
        GxTestEngine engine(setup);
        GX_ASSERT_ENGINE_STARTED(engine);
        EXPECT_FLOAT_EQ(GxImageGetGamma(), 2.0f);
        EXPECT_EQ(GxImageGetGammaTable()[64], 128);  // sqrt(64/255) x 255 = 127.7
    }
    EXPECT_EQ(GxImageCreate(1, 1, 32), nullptr);
    EXPECT_EQ(GxImageGetPath(), nullptr);
}

// Readers that note every name they are given.
std::vector<std::string> gReads;
GxImage* gReadResult = nullptr;
GxImage* RecordingRead(const GxChar* name)
{
    gReads.push_back(name);
    return gReadResult;
}
GxImage* OtherRead(const GxChar* name)
{
    gReads.push_back(std::string("other:") + name);
    return gReadResult;
}

class ImageFileTest : public ImageTest {
protected:
    void SetUp() override
    {
        ImageTest::SetUp();
        ASSERT_TRUE(GxTestFileSystemOpen());
        root = std::string("image_test_") + GxTestRunTag() + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(root + "/a");
        std::filesystem::create_directories(root + "/b");
        gReads.clear();
        gReadResult = nullptr;
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        std::filesystem::remove_all(root);
        ImageTest::TearDown();
    }
    void Touch(const std::string& name) { ASSERT_TRUE(GxTestStoreFile(root + "/" + name, {})); }
    std::string root;
};

TEST_F(ImageFileTest, FormatsAreFoundByExactExtension)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("png", RecordingRead, nullptr));
    Touch("a/pic.png");
    Touch("a/PIC.PNG");
    Touch("a/pic.Png");
    GxImage* image = NewImage(1, 1, 32);
    gReadResult = image;
    EXPECT_EQ(GxImageRead((root + "/a/pic.png").c_str()), image);
    EXPECT_EQ(GxImageRead((root + "/a/PIC.PNG").c_str()), image);    // the upper-case text matches
    EXPECT_EQ(GxImageRead((root + "/a/pic.Png").c_str()), nullptr);  // mixed case has no reader
    EXPECT_EQ(gReads.size(), 2u);
    // A "." in a directory part is no extension.
    std::filesystem::create_directories(root + "/dir.png");
    Touch("dir.png/pic");
    EXPECT_EQ(GxImageRead((root + "/dir.png/pic").c_str()), nullptr);
    EXPECT_EQ(gReads.size(), 2u);

    // A second registration replaces only the callbacks it gives.
    ASSERT_TRUE(GxImageRegisterImageFormat("PNG", OtherRead, nullptr));
    GxImageRead((root + "/a/pic.png").c_str());
    EXPECT_EQ(gReads.back().rfind("other:", 0), 0u);
    // Long extensions are cut to 18 characters.
    ASSERT_TRUE(GxImageRegisterImageFormat("abcdefghijklmnopqrstuvwxyz", RecordingRead, nullptr));
    Touch("a/x.abcdefghijklmnopqr");
    EXPECT_EQ(GxImageRead((root + "/a/x.abcdefghijklmnopqr").c_str()), image);
    GxImageDestroy(image);
}

TEST_F(ImageFileTest, SearchPathTriesEachDirectoryInOrder)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("bmp", RecordingRead, nullptr));
    const std::string path = root + "/a/;" + root + "/b/";
    ASSERT_NE(GxImageSetPath(path.c_str()), nullptr);
    EXPECT_EQ(std::string(GxImageGetPath()), path);
    Touch("a/one.bmp");
    Touch("b/one.bmp");
    Touch("b/two.bmp");

    // A reader that fails lets the search go on to the next directory.
    EXPECT_EQ(GxImageRead("one.bmp"), nullptr);
    ASSERT_EQ(gReads.size(), 2u);
    EXPECT_EQ(gReads[0], root + "/a/one.bmp");
    EXPECT_EQ(gReads[1], root + "/b/one.bmp");
    gReads.clear();
    GxImage* image = NewImage(1, 1, 32);
    gReadResult = image;
    EXPECT_EQ(GxImageRead("one.bmp"), image);
    EXPECT_EQ(gReads.size(), 1u);
    gReads.clear();
    EXPECT_EQ(GxImageRead("two.bmp"), image);
    EXPECT_EQ(gReads, std::vector<std::string>{root + "/b/two.bmp"});

    // Absolute names are tried once as they stand.
    gReads.clear();
    const std::string absolute = std::filesystem::absolute(root + "/a/one.bmp").string();
    EXPECT_EQ(GxImageRead(absolute.c_str()), image);
    EXPECT_EQ(gReads, std::vector<std::string>{absolute});
    EXPECT_TRUE(GxImageIsAbsolutePath("C:x"));
    EXPECT_TRUE(GxImageIsAbsolutePath("\\x"));
    EXPECT_FALSE(GxImageIsAbsolutePath("1:x"));
    EXPECT_FALSE(GxImageIsAbsolutePath("x"));
    GxImageDestroy(image);
}

TEST_F(ImageFileTest, ExtensionsAreFoundNewestFirst)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("bmp", RecordingRead, nullptr));
    ASSERT_TRUE(GxImageRegisterImageFormat("png", RecordingRead, nullptr));
    const std::string path = root + "/a/;" + root + "/b/";
    GxImageSetPath(path.c_str());
    Touch("b/tex.bmp");
    Touch("b/tex.PNG");
    Touch("a/only.bmp");
    // The newest format wins; its lower-case probe finds tex.PNG through the file system's case fallback.
    EXPECT_STREQ(GxImageFindFileExtension("tex"), ".png");
    EXPECT_STREQ(GxImageFindFileExtension("only"), ".bmp");
    EXPECT_EQ(GxImageFindFileExtension("missing"), nullptr);
    EXPECT_EQ(gReads.size(), 0u);
}

TEST_F(ImageFileTest, PathAndNameBuffersGrow)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("bmp", RecordingRead, nullptr));
    // A path longer than the first 256 bytes, and a candidate that with its spare bytes is too.
    // The candidate, folder/stem.bmp under the test's root, is 251 bytes whatever the root's length.
    constexpr size_t kCandidateLength = 251;
    const std::string stem(62, 'n');
    const std::string folder(kCandidateLength - root.size() - 2 - stem.size() - 4, 'd');
    const std::string directory = root + "/" + folder + "/";
    std::filesystem::create_directories(directory);
    std::string path;
    for (int i = 0; i < 10; ++i)
        path += root + "/a/;";
    path += directory;
    ASSERT_NE(GxImageSetPath(path.c_str()), nullptr);
    EXPECT_EQ(std::string(GxImageGetPath()), path);
    Touch(folder + "/" + stem + ".bmp");
    GxImage* image = NewImage(1, 1, 32);
    gReadResult = image;
    EXPECT_EQ(GxImageRead((stem + ".bmp").c_str()), image);
    EXPECT_EQ(gReads, std::vector<std::string>{directory + stem + ".bmp"});
    EXPECT_STREQ(GxImageFindFileExtension(stem.c_str()), ".bmp");
    ASSERT_NE(GxImageSetPath(""), nullptr);
    GxImageDestroy(image);
}

TEST_F(ImageFileTest, MaskedImagesLeaveNothingBehindOnFailure)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
    GxImage* picture = NewImage(2, 2, 32);
    GxImage* mask = NewImage(2, 2, 32);
    GxImage* wrong = NewImage(3, 2, 32);
    *Pixel(picture, 1, 0) = GxRGBA{10, 20, 30, 255};
    *Pixel(mask, 1, 0) = GxRGBA{0, 90, 0, 255};
    const std::string pictureName = root + "/pic.bmp", maskName = root + "/mask.bmp", wrongName = root + "/wrong.bmp";
    ASSERT_TRUE(GxImageWriteBMP(picture, pictureName.c_str()));
    ASSERT_TRUE(GxImageWriteBMP(mask, maskName.c_str()));
    ASSERT_TRUE(GxImageWriteBMP(wrong, wrongName.c_str()));
    for (GxImage* i : {picture, mask, wrong})
        GxImageDestroy(i);
    const long live = GxTestLiveBlocks();

    GxImage* masked = GxImageReadMaskedImage(pictureName.c_str(), maskName.c_str());
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(Pixel(masked, 1, 0)->red, 10);
    EXPECT_EQ(Pixel(masked, 1, 0)->alpha, 90);
    GxImageDestroy(masked);
    masked = GxImageReadMaskedImage(pictureName.c_str(), "");
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(Pixel(masked, 1, 0)->alpha, 255);
    GxImageDestroy(masked);

    EXPECT_EQ(GxImageReadMaskedImage(pictureName.c_str(), wrongName.c_str()), nullptr);
    EXPECT_EQ(GxImageReadMaskedImage(pictureName.c_str(), (root + "/none.bmp").c_str()), nullptr);
    EXPECT_EQ(GxImageReadMaskedImage((root + "/none.bmp").c_str(), maskName.c_str()), nullptr);
    EXPECT_EQ(GxTestLiveBlocks(), live);
}

// An image chunk body written field by field.
Bytes ChunkBody(GxInt32 w, GxInt32 h, GxInt32 depth, GxInt32 stride, const Bytes& rows, const Bytes& palette)
{
    GxStream* s = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const GxInt32 header[4] = {w, h, depth, stride};
    GxStreamWriteChunkHeader(s, gxID_STRUCT, 16, gxLIBRARYVERSION, gxLIBRARYBUILD);
    GxStreamWriteInt32(s, header, 16);
    GxStreamWrite(s, rows.data(), static_cast<GxUInt32>(rows.size()));
    if (!palette.empty())
        GxStreamWrite(s, palette.data(), static_cast<GxUInt32>(palette.size()));
    return GxTestCloseWriteStream(s);
}

GxImage* ReadBody(const Bytes& body, GxUInt32 limit = 0xFFFFFFFFu)
{
    GxMemory mem = {const_cast<GxUInt8*>(body.data()), static_cast<GxUInt32>(body.size())};
    GxStream* s = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &mem);
    if (!s)
        return nullptr;
    GxImage* image = GxImageStreamReadSized(s, limit);
    GxStreamClose(s, nullptr);
    return image;
}

TEST_F(ImageTest, ImageChunksAndTheirStrides)
{
    Bytes palette(1024);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<GxUInt8>(i * 7);
    Bytes rows = {1, 2, 3, 0, 4, 5, 6, 0};
    GxImage* image = ReadBody(ChunkBody(3, 2, 8, 4, rows, palette));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[4], 4);
    EXPECT_EQ(image->palette[255].alpha, static_cast<GxUInt8>(1023 * 7));
    GxImageDestroy(image);

    // A shorter stored row fills the start of each row; the rest stays as allocated. The stream holds the
    // bytes of the allocated rows.
    Bytes shortRows = ChunkBody(3, 2, 8, 2, {1, 2, 4, 5}, palette);
    shortRows.insert(shortRows.end(), 4, 0xEE);
    image = ReadBody(shortRows);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes(image->pixels, image->pixels + 8), (Bytes{1, 2, 0, 0, 4, 5, 0, 0}));
    GxImageDestroy(image);

    // A longer stored row is cut; a shorter one that still holds the pixels is padded.
    image = ReadBody(ChunkBody(3, 2, 8, 6, {1, 2, 3, 9, 9, 9, 4, 5, 6, 9, 9, 9}, palette));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->stride, 4);
    EXPECT_EQ(image->pixels[3], 9);
    EXPECT_EQ(image->pixels[4], 4);
    GxImageDestroy(image);
    image = ReadBody(ChunkBody(3, 2, 32, 12, Bytes(24, 7), {}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[23], 7);
    GxImageDestroy(image);
}

TEST_F(ImageTest, DamagedImageChunksAreRefusedBeforeAllocating)
{
    const Bytes palette(64);
    const Bytes good = ChunkBody(3, 2, 4, 4, Bytes(8, 1), palette);
    GxImage* image = ReadBody(good);
    ASSERT_NE(image, nullptr);
    GxImageDestroy(image);
    const long live = GxTestLiveBlocks();
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_EQ(ReadBody(cut), nullptr) << n;
        GxTestTakeErrorCode();
    }
    EXPECT_EQ(ReadBody(good, static_cast<GxUInt32>(good.size() - 1)), nullptr);
    gxTestMemory.largest = 0;
    struct Case {
        GxInt32 w, h, depth, stride;
    };
    for (Case c : {Case{-3, 2, 8, 4}, Case{3, 0, 8, 4}, Case{3, 2, 16, 8}, Case{3, 2, 8, -4},
                   Case{0x10000, 0x10000, 32, 0x40000}, Case{3, 0x7FFFFFFF, 8, 4}, Case{1, 2, 32, 0x7FFFFFFF}}) {
        EXPECT_EQ(ReadBody(ChunkBody(c.w, c.h, c.depth, c.stride, Bytes(8, 1), {})), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    }
    // Sizes that the chunk could hold but the stream does not are refused by the chunk length.
    EXPECT_EQ(ReadBody(ChunkBody(1000, 1000, 32, 4000, Bytes(8, 1), {}), 100), nullptr);
    EXPECT_LT(gxTestMemory.largest, 4096u);
    EXPECT_EQ(GxTestLiveBlocks(), live);
}

// Depths are checked before any size is computed from them, and a chunk read without a length is
// held to what the stream holds.
TEST_F(ImageTest, ImageChunksAreHeldToTheStream)
{
    // 28 bytes: a struct chunk of width -2, height 0x27000001 and depth 0x7FFFFFFE.
    const Bytes overflow = {0x01, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x02, 0x1c, 0xfe, 0xff,
                            0xff, 0xff, 0x01, 0x00, 0x00, 0x27, 0xfe, 0xff, 0xff, 0x7f, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(ReadBody(overflow), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    gxTestMemory.largest = 0;
    Bytes bytes = ChunkBody(8000, 8000, 32, 32000, Bytes(8, 1), {});
    GxTestReadStream in(bytes, 0);
    EXPECT_EQ(GxImageStreamRead(in.Get()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_LT(gxTestMemory.largest, 4096u);

    // Rows allocated wider than the stored rows are held to the chunk and the stream as well: 16 stored bytes
    // a row make no image of 16,777,220 x 3.
    const Bytes wide = ChunkBody(16777220, 3, 32, 16, Bytes(48, 1), {});
    GxTestReadStream wideIn(wide, 0);
    EXPECT_EQ(GxImageStreamRead(wideIn.Get()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_EQ(ReadBody(wide, static_cast<GxUInt32>(wide.size())), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    EXPECT_EQ(ReadBody(ChunkBody(3, 2, 8, 2, {1, 2, 4, 5}, Bytes(1024))), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_LT(gxTestMemory.largest, 4096u);
}

// A 32-bit image from a list of colours in one row.
GxImage* RowImage(const std::vector<GxRGBA>& colours)
{
    GxImage* image = NewImage(static_cast<GxInt32>(colours.size()), 1, 32);
    for (size_t i = 0; i < colours.size(); ++i)
        *Pixel(image, static_cast<GxInt32>(i), 0) = colours[i];
    return image;
}

TEST_F(ImageTest, QuantiserKeepsFewColoursExactly)
{
    const GxRGBA white{255, 255, 255, 255}, black{0, 0, 0, 255}, red{255, 0, 0, 255}, grey{128, 64, 32, 200};
    GxImage* image = RowImage({white, black, red, grey, red});
    auto* q = new GxPaletteQuantizer;
    ASSERT_TRUE(GxPaletteQuantizerInit(q));
    GxPaletteQuantizerAddImage(q, image, 1.0f);
    std::vector<GxRGBA> palette(16, GxRGBA{1, 1, 1, 1});
    ASSERT_EQ(GxPaletteQuantizerMakePalette(palette.data(), 16, q), 4);
    // Depth-first order: R's top bit first, so black, the grey, red, white.
    EXPECT_TRUE(GxTestSameRGBA(palette[0], black));
    EXPECT_TRUE(GxTestSameRGBA(palette[1], grey));
    EXPECT_TRUE(GxTestSameRGBA(palette[2], red));
    EXPECT_TRUE(GxTestSameRGBA(palette[3], white));
    for (int i = 4; i < 16; ++i)
        EXPECT_TRUE(GxTestSameRGBA(palette[i], GxRGBA{0, 0, 0, 0}));

    GxUInt8 indices[8] = {};
    GxPaletteQuantizerMatchImage(indices, 8, 8, 0, q, image);
    EXPECT_EQ(Bytes(indices, indices + 5), (Bytes{3, 0, 2, 1, 2}));
    // Packed 4-bit output: even pixels in the low nibble.
    GxUInt8 packed[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    GxPaletteQuantizerMatchImage(packed, 4, 4, 1, q, image);
    EXPECT_EQ(packed[0], 0x03);
    EXPECT_EQ(packed[1], 0x12);
    EXPECT_EQ(packed[2] & 0x0F, 0x02);
    GxPaletteQuantizerTerm(q);
    delete q;
    GxImageDestroy(image);
}

TEST_F(ImageTest, QuantiserSplitsClustersByVariance)
{
    // Two clusters of near colours and one far colour, folded into two entries.
    std::vector<GxRGBA> colours;
    for (GxUInt8 v = 0; v < 32; v += 4)
        colours.push_back(GxRGBA{v, static_cast<GxUInt8>(v / 2), 0, 255});
    for (GxUInt8 v = 0; v < 32; v += 4)
        colours.push_back(GxRGBA{static_cast<GxUInt8>(255 - v), 250, 240, 255});
    GxImage* image = RowImage(colours);
    auto* q = new GxPaletteQuantizer;
    ASSERT_TRUE(GxPaletteQuantizerInit(q));
    GxPaletteQuantizerAddImage(q, image, 1.0f);
    std::vector<GxRGBA> palette(2);
    ASSERT_EQ(GxPaletteQuantizerMakePalette(palette.data(), 2, q), 2);
    Bytes indices(colours.size());
    GxPaletteQuantizerMatchImage(indices.data(), static_cast<GxInt32>(indices.size()), 8, 0, q, image);
    for (size_t i = 1; i < 8; ++i)
        EXPECT_EQ(indices[i], indices[0]);
    for (size_t i = 9; i < 16; ++i)
        EXPECT_EQ(indices[i], indices[8]);
    ASSERT_NE(indices[0], indices[8]);
    // Each entry is its cluster's mean colour.
    const GxRGBA dark = palette[indices[0]], light = palette[indices[8]];
    EXPECT_NEAR(dark.red, 14, 1);
    EXPECT_NEAR(dark.green, 7, 1);
    EXPECT_NEAR(light.red, 241, 1);
    EXPECT_NEAR(light.blue, 240, 1);
    EXPECT_EQ(light.alpha, 255);
    GxPaletteQuantizerTerm(q);
    delete q;
    GxImageDestroy(image);
}

TEST_F(ImageTest, QuantiserTakesPalettisedImagesAndWeights)
{
    GxImage* indexed = NewImage(4, 1, 8);
    indexed->palette[0] = GxRGBA{0, 0, 0, 255};
    indexed->palette[1] = GxRGBA{200, 0, 0, 255};
    indexed->pixels[0] = 0;
    indexed->pixels[1] = indexed->pixels[2] = indexed->pixels[3] = 1;
    auto* q = new GxPaletteQuantizer;
    ASSERT_TRUE(GxPaletteQuantizerInit(q));
    GxPaletteQuantizerAddImage(q, indexed, 1.0f);
    GxImage* sixteen = NewImage(2, 1, 16);
    GxPaletteQuantizerAddImage(q, sixteen, 1.0f);  // adds nothing
    GxRGBA entry;
    // One entry for two colours: their mean weighted by pixel count.
    ASSERT_EQ(GxPaletteQuantizerMakePalette(&entry, 1, q), 1);
    EXPECT_NEAR(entry.red, 150, 1);
    EXPECT_EQ(entry.alpha, 255);
    GxPaletteQuantizerTerm(q);
    delete q;
    GxImageDestroy(indexed);
    GxImageDestroy(sixteen);
}

// A node the free list can not give leaves the quantiser without a tree: no palette, no index written.
TEST_F(ImageTest, QuantiserThatCanNotGrowMakesNoPaletteAndMatchesNothing)
{
    // 4096 lattice cells need more nodes than the first block of the free list holds.
    GxImage* image = NewImage(64, 64, 32);
    for (GxInt32 y = 0; y < 64; ++y)
        for (GxInt32 x = 0; x < 64; ++x)
            *Pixel(image, x, y) = GxRGBA{static_cast<GxUInt8>(x * 4), static_cast<GxUInt8>(y * 4), 0, 255};
    auto* q = new GxPaletteQuantizer;
    ASSERT_TRUE(GxPaletteQuantizerInit(q));
    gxTestMemory.mallocFailAfter = 0;
    GxPaletteQuantizerAddImage(q, image, 1.0f);
    gxTestMemory.mallocFailAfter = -1;
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOMEMORY);
    std::vector<GxRGBA> palette(16);
    EXPECT_EQ(GxPaletteQuantizerMakePalette(palette.data(), 16, q), 0);
    Bytes indices(64 * 64, 0xEE);
    GxPaletteQuantizerMatchImage(indices.data(), 64, 8, 0, q, image);
    EXPECT_EQ(indices, Bytes(64 * 64, 0xEE));
    GxPaletteQuantizerTerm(q);
    delete q;
    GxImageDestroy(image);
}

TEST_F(ImageTest, ResamplingAveragesByCoverage)
{
    GxImage* square = NewImage(2, 2, 32);
    *Pixel(square, 0, 0) = GxRGBA{0, 0, 0, 0};
    *Pixel(square, 1, 0) = GxRGBA{100, 0, 0, 255};
    *Pixel(square, 0, 1) = GxRGBA{200, 0, 0, 255};
    *Pixel(square, 1, 1) = GxRGBA{100, 40, 4, 255};
    square->flags |= gxIMAGEGAMMASET;
    GxImage* one = GxImageCreateResample(square, 1, 1);
    ASSERT_NE(one, nullptr);
    EXPECT_TRUE(GxTestSameRGBA(*Pixel(one, 0, 0), GxRGBA{100, 10, 1, 191}));
    EXPECT_TRUE(one->flags & gxIMAGEGAMMASET);

    // Three pixels into two: each output covers one and a half inputs.
    GxImage* three = RowImage({GxRGBA{0, 0, 0, 0}, GxRGBA{90, 0, 0, 0}, GxRGBA{180, 0, 0, 0}});
    GxImage* two = GxImageCreateResample(three, 2, 1);
    EXPECT_EQ(Pixel(two, 0, 0)->red, 30);
    EXPECT_EQ(Pixel(two, 1, 0)->red, 150);

    // The same size keeps every pixel; enlarging repeats them.
    GxImage* noise = NewImage(7, 5, 32);
    for (GxInt32 i = 0; i < 7 * 5 * 4; ++i)
        noise->pixels[i] = static_cast<GxUInt8>(i * 37 + 11);
    GxImage* copy = GxImageCreateResample(noise, 7, 5);
    EXPECT_EQ(memcmp(copy->pixels, noise->pixels, 7 * 5 * 4), 0);
    GxImage* big = GxImageCreateResample(three, 6, 2);
    EXPECT_EQ(Pixel(big, 2, 1)->red, 90);
    EXPECT_EQ(Pixel(big, 5, 0)->red, 180);

    // Palettised sources go through their palette.
    GxImage* indexed = NewImage(2, 1, 4);
    indexed->palette[3] = GxRGBA{40, 80, 120, 160};
    indexed->pixels[0] = indexed->pixels[1] = 3;
    GxImage* fromIndexed = GxImageCreateResample(indexed, 1, 1);
    EXPECT_TRUE(GxTestSameRGBA(*Pixel(fromIndexed, 0, 0), GxRGBA{40, 80, 120, 160}));

    EXPECT_EQ(GxImageResample(indexed, noise), nullptr);
    EXPECT_EQ(GxImageCreateResample(noise, 0, 3), nullptr);
    for (GxImage* i : {square, one, three, two, noise, copy, big, indexed, fromIndexed})
        GxImageDestroy(i);
}

}  // namespace
