// Tests of the BMP reader and writer: every bit count, run-length data, damaged files and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/temp_dir.h"
#include "platform/testsupport/filefaults.h"
#include "platform/win32/winbase.h"

namespace {

using Bytes = std::vector<GxUInt8>;

// The parts of a BMP file; MakeBmp lays them out.
struct BmpSpec {
    GxUInt32 headerSize = 40;
    GxInt32 width = 0;
    GxInt32 height = 0;
    GxUInt32 bitCount = 8;
    GxUInt32 compression = 0;
    GxUInt32 coloursUsed = 0;
    std::vector<GxRGBA> palette;
    GxInt32 offsetShift = 0;  // added to the true pixel offset
    Bytes data;
};

Bytes MakeBmp(const BmpSpec& s)
{
    const GxUInt32 entry = s.headerSize == 12 ? 3 : 4;
    const GxUInt32 offset = 14 + s.headerSize + static_cast<GxUInt32>(s.palette.size()) * entry;
    Bytes out = {'B', 'M'};
    GxBytesAppend(&out, offset + static_cast<GxUInt32>(s.data.size()), 4);
    GxBytesAppend(&out, 0, 4);
    GxBytesAppend(&out, offset + static_cast<GxUInt32>(s.offsetShift), 4);
    GxBytesAppend(&out, s.headerSize, 4);
    if (s.headerSize == 12) {
        GxBytesAppend(&out, static_cast<GxUInt32>(s.width), 2);
        GxBytesAppend(&out, static_cast<GxUInt32>(s.height), 2);
        GxBytesAppend(&out, 1, 2);
        GxBytesAppend(&out, s.bitCount, 2);
    } else {
        GxBytesAppend(&out, static_cast<GxUInt32>(s.width), 4);
        GxBytesAppend(&out, static_cast<GxUInt32>(s.height), 4);
        GxBytesAppend(&out, 1, 2);
        GxBytesAppend(&out, s.bitCount, 2);
        GxBytesAppend(&out, s.compression, 4);
        GxBytesAppend(&out, static_cast<GxUInt32>(s.data.size()), 4);
        GxBytesAppend(&out, 2835, 4);
        GxBytesAppend(&out, 2835, 4);
        GxBytesAppend(&out, s.coloursUsed, 4);
        GxBytesAppend(&out, 0, 4);
        for (GxUInt32 i = 40; i < s.headerSize; ++i)
            out.push_back(0);
    }
    for (const GxRGBA& c : s.palette) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        if (entry == 4)
            out.push_back(0);
    }
    for (GxInt32 i = 0; i < s.offsetShift; ++i)
        out.push_back(0xEE);
    out.insert(out.end(), s.data.begin(), s.data.end());
    return out;
}

// Uncompressed rows in file order (bottom-up unless topDown) from the value of each pixel.
Bytes PlainRows(GxUInt32 bitCount, GxInt32 w, GxInt32 h, bool topDown,
                const std::function<GxUInt32(GxInt32, GxInt32)>& value)
{
    const size_t rowBytes = ((bitCount * static_cast<GxUInt32>(w) + 7) / 8 + 3) & ~3u;
    Bytes out;
    for (GxInt32 i = 0; i < h; ++i) {
        const GxInt32 y = topDown ? i : h - 1 - i;
        Bytes row(rowBytes, 0);
        // 15-bit pixels lie in 16-bit words.
        const GxUInt32 step = bitCount == 15 ? 16 : bitCount;
        for (GxInt32 x = 0; x < w; ++x) {
            const GxUInt32 v = value(x, y);
            const size_t bit = static_cast<size_t>(x) * step;
            if (step < 8) {
                row[bit / 8] |= static_cast<GxUInt8>(v << (8 - step - bit % 8));
            } else {
                for (GxUInt32 b = 0; b < step / 8; ++b)
                    row[bit / 8 + b] = static_cast<GxUInt8>(v >> (8 * b));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<GxRGBA> TestPalette(GxUInt32 n)
{
    std::vector<GxRGBA> palette;
    for (GxUInt32 i = 0; i < n; ++i) {
        palette.push_back(
            GxRGBA{static_cast<GxUInt8>(i * 3 + 1), static_cast<GxUInt8>(255 - i), static_cast<GxUInt8>(i ^ 0x55), 0});
    }
    return palette;
}

GxRGBA At(const GxImage* image, GxInt32 x, GxInt32 y)
{
    const GxUInt8* row = image->pixels + y * image->stride;
    if (image->depth != 32) {
        return image->palette[row[x]];
    }
    return GxRGBA{row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
}

class BmpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart(0, 0, GxTestMemoryReset()));
        ASSERT_TRUE(GxTestFileSystemOpen());
        path = std::string("bmp_test_") + GxTestRunTag() + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bmp";
        GxTestTakeErrorCode();
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        std::remove(path.c_str());
        GxTestEngineShutdown();
    }
    bool Store(const Bytes& bytes) { return GxTestStoreFile(path, bytes); }
    Bytes Load()
    {
        Bytes bytes;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        for (int c; f && (c = std::fgetc(f)) != EOF;)
            bytes.push_back(static_cast<GxUInt8>(c));
        if (f)
            std::fclose(f);
        return bytes;
    }
    GxImage* Read(const BmpSpec& spec) { return Store(MakeBmp(spec)) ? GxImageReadBMP(path.c_str()) : nullptr; }
    std::string path;
};

TEST_F(BmpTest, PalettisedBitCounts)
{
    struct Case {
        GxUInt32 bits;
        GxUInt32 colours;
        GxInt32 depth;
        GxUInt32 headerSize;
        bool topDown;
    };
    for (Case c :
         {Case{1, 2, 4, 40, false}, Case{4, 16, 4, 40, false}, Case{4, 9, 4, 40, true}, Case{8, 256, 8, 40, false},
          Case{8, 5, 8, 40, true}, Case{8, 256, 8, 12, false}, Case{1, 2, 4, 12, false}}) {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + " header " + std::to_string(c.headerSize));
        const GxInt32 w = 7, h = 3;
        auto value = [&](GxInt32 x, GxInt32 y) { return static_cast<GxUInt32>(x + 3 * y) % c.colours; };
        BmpSpec spec;
        spec.headerSize = c.headerSize;
        spec.width = w;
        spec.height = c.topDown ? -h : h;
        spec.bitCount = c.bits;
        spec.palette = TestPalette(c.colours);
        spec.coloursUsed = c.colours == (1u << c.bits) ? 0 : c.colours;
        spec.data = PlainRows(c.bits, w, h, c.topDown, value);
        GxImage* image = Read(spec);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->depth, c.depth);
        EXPECT_EQ(image->height, h);
        for (GxInt32 y = 0; y < h; ++y) {
            for (GxInt32 x = 0; x < w; ++x) {
                const GxUInt32 v = value(x, y);
                ASSERT_EQ(image->pixels[y * image->stride + x], v) << x << "," << y;
                GxRGBA want = spec.palette[v];
                want.alpha = 255;
                ASSERT_TRUE(GxTestSameRGBA(At(image, x, y), want));
            }
        }
        // Entries the file does not give stay as allocated.
        if (c.colours < (1u << c.depth)) {
            EXPECT_TRUE(GxTestSameRGBA(image->palette[c.colours], GxRGBA{0, 0, 0, 0}));
        }
        GxImageDestroy(image);
    }
}

TEST_F(BmpTest, TrueColourBitCounts)
{
    struct Case {
        GxUInt32 bits;
        GxInt32 width;
        bool topDown;
        GxUInt32 headerSize;
    };
    for (Case c : {Case{16, 5, false, 40}, Case{15, 3, false, 40}, Case{24, 3, false, 40}, Case{24, 4, true, 40},
                   Case{32, 3, false, 40}, Case{24, 2, false, 12}, Case{32, 3, false, 124}}) {
        SCOPED_TRACE("bits " + std::to_string(c.bits) + " width " + std::to_string(c.width));
        const GxInt32 h = 2;
        auto value = [&](GxInt32 x, GxInt32 y) {
            return static_cast<GxUInt32>((x * 0x1F3D5B + y * 0x7A2C11 + 0x102030) & 0xFFFFFFFF);
        };
        BmpSpec spec;
        spec.headerSize = c.headerSize;
        spec.width = c.width;
        spec.height = c.topDown ? -h : h;
        spec.bitCount = c.bits;
        spec.data = PlainRows(c.bits, c.width, h, c.topDown, value);
        if (c.bits == 24) {
            EXPECT_EQ(spec.data.size(), static_cast<size_t>(h) * ((3 * c.width + 3) & ~3));
        }
        GxImage* image = Read(spec);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->depth, 32);
        for (GxInt32 y = 0; y < h; ++y) {
            for (GxInt32 x = 0; x < c.width; ++x) {
                const GxUInt32 v = value(x, y);
                GxRGBA want;
                const GxUInt32 w16 = v & 0xFFFF;
                if (c.bits == 15) {  // 5-5-5 words
                    want = GxRGBA{static_cast<GxUInt8>((w16 >> 7) & 0xF8), static_cast<GxUInt8>((w16 >> 2) & 0xF8),
                                  static_cast<GxUInt8>((w16 << 3) & 0xFF), 255};
                } else if (c.bits == 16) {  // 5-6-5 words
                    want = GxRGBA{static_cast<GxUInt8>((w16 >> 8) & 0xF8), static_cast<GxUInt8>((w16 >> 3) & 0xFC),
                                  static_cast<GxUInt8>((w16 << 3) & 0xFF), 255};
                } else {
                    want = GxRGBA{static_cast<GxUInt8>(v >> 16), static_cast<GxUInt8>(v >> 8), static_cast<GxUInt8>(v),
                                  255};
                }
                ASSERT_TRUE(GxTestSameRGBA(At(image, x, y), want)) << x << "," << y;
            }
        }
        GxImageDestroy(image);
    }
}

// A 7-wide image of 8-bit run-length rows: runs, literals with and without padding, end of line, end of bitmap.
BmpSpec RleSpec(GxInt32 height)
{
    BmpSpec spec;
    spec.width = 7;
    spec.height = height;
    spec.compression = 1;
    spec.palette = TestPalette(10);
    spec.coloursUsed = 10;
    spec.data = {
        3, 7, 0, 3, 1, 2, 3, 0, 1, 9, 0, 0,  // bottom row: 7 7 7, literal 1 2 3 (padded), 9
        0, 4, 4, 5, 6, 8, 2, 1, 0, 0,        // next row: literal 4 5 6 8, then 1 1
        2, 6, 0, 1,                          // third row: 6 6, then the end of the bitmap
    };
    return spec;
}

TEST_F(BmpTest, RunLengthRows)
{
    GxImage* image = Read(RleSpec(4));
    ASSERT_NE(image, nullptr);
    auto row = [&](GxInt32 y) {
        return Bytes(image->pixels + y * image->stride, image->pixels + y * image->stride + 7);
    };
    EXPECT_EQ(row(3), (Bytes{7, 7, 7, 1, 2, 3, 9}));
    EXPECT_EQ(row(2), (Bytes{4, 5, 6, 8, 1, 1, 9}));  // the row buffer keeps what the row did not write
    EXPECT_EQ(row(1), (Bytes{6, 6, 6, 8, 1, 1, 9}));
    EXPECT_EQ(row(0), Bytes(7, 0));  // never decoded
    GxImageDestroy(image);

    // Below 8 bits the runs are of bytes, converted as a stored row is.
    BmpSpec nibbles;
    nibbles.width = 4;
    nibbles.height = 2;
    nibbles.bitCount = 4;
    nibbles.compression = 1;
    nibbles.palette = TestPalette(4);
    nibbles.coloursUsed = 4;
    nibbles.data = {2, 0x12, 0, 0, 1, 0x30, 0, 1};
    image = Read(nibbles);
    ASSERT_NE(image, nullptr);
    auto nibbleRow = [&](GxInt32 y) {
        return Bytes(image->pixels + y * image->stride, image->pixels + y * image->stride + 4);
    };
    EXPECT_EQ(nibbleRow(1), (Bytes{1, 2, 1, 2}));
    EXPECT_EQ(nibbleRow(0), (Bytes{3, 0, 1, 2}));  // the second byte is the first row's
    GxImageDestroy(image);
}

TEST_F(BmpTest, UnsafeOrUnsupportedFilesAreRefused)
{
    auto base = [] {
        BmpSpec spec;
        spec.width = 4;
        spec.height = 2;
        spec.palette = TestPalette(4);
        spec.coloursUsed = 4;
        spec.data = Bytes(8, 1);
        return spec;
    };
    struct Case {
        const char* what;
        std::function<void(BmpSpec&)> change;
        GxInt32 error;
    };
    const std::vector<Case> cases = {
        {"run past the row",
         [](BmpSpec& s) {
             s.compression = 1;
             s.data = {3, 1, 2, 1, 0, 0};
         },
         gxERRUNSUPPORTED},
        {"literal past the row",
         [](BmpSpec& s) {
             s.compression = 1;
             s.data = {2, 1, 0, 3, 1, 2, 3, 0};
         },
         gxERRUNSUPPORTED},
        {"delta",
         [](BmpSpec& s) {
             s.compression = 1;
             s.data = {0, 2, 1, 1, 0, 0};
         },
         gxERRNOERROR},
        {"4-bit run length", [](BmpSpec& s) { s.compression = 2; }, gxERRUNSUPPORTED},
        {"run past a row of 4-bit pixels",
         [](BmpSpec& s) {
             s.compression = 1;
             s.bitCount = 4;
             s.data = {3, 0x12, 0, 1};
         },
         gxERRUNSUPPORTED},
        {"bit fields below 24 bits",
         [](BmpSpec& s) {
             s.compression = 3;
             s.bitCount = 16;
             s.palette.clear();
         },
         gxERRUNSUPPORTED},
        {"pixels inside the headers", [](BmpSpec& s) { s.offsetShift = -20; }, gxERRUNSUPPORTED},
        {"pixels before the file", [](BmpSpec& s) { s.offsetShift = -1000; }, gxERRUNSUPPORTED},
        {"zero width", [](BmpSpec& s) { s.width = 0; }, gxERRUNSUPPORTED},
        {"negative width", [](BmpSpec& s) { s.width = -4; }, gxERRUNSUPPORTED},
        {"zero height", [](BmpSpec& s) { s.height = 0; }, gxERRUNSUPPORTED},
        {"absurd height", [](BmpSpec& s) { s.height = -0x7FFFFFFF; }, gxERRUNSUPPORTED},
        {"absurd width", [](BmpSpec& s) { s.width = 0x10000000; }, gxERRUNSUPPORTED},
        {"bit count 3", [](BmpSpec& s) { s.bitCount = 3; }, gxERRINVALIDDEPTH},
        {"short info header", [](BmpSpec& s) { s.headerSize = 20; }, gxERRUNSUPPORTED},
        {"big header with a palette", [](BmpSpec& s) { s.headerSize = 108; }, gxERRUNSUPPORTED},
    };
    // Free lists give their blocks back with their last entry, so count after a first read.
    GxImageDestroy(Read(base()));
    const long live = GxTestLiveBlocks();
    for (const Case& c : cases) {
        BmpSpec spec = base();
        c.change(spec);
        EXPECT_EQ(Read(spec), nullptr) << c.what;
        EXPECT_EQ(GxTestTakeErrorCode(), c.error) << c.what;
    }
    Bytes notBmp = MakeBmp(base());
    notBmp[1] = 'A';
    ASSERT_TRUE(Store(notBmp));
    EXPECT_EQ(GxImageReadBMP(path.c_str()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
    // A missing name fails in the stream layer, with the stream's error only.
    EXPECT_EQ(GxImageReadBMP(nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSTREAMOPEN);
    EXPECT_EQ(GxTestLiveBlocks(), live);
}

TEST_F(BmpTest, EveryTruncationIsRefused)
{
    BmpSpec rle = RleSpec(3);
    rle.data.resize(rle.data.size() - 2);  // the third row ends with the end of the line instead
    rle.data.push_back(0);
    rle.data.push_back(0);
    BmpSpec plain;
    plain.width = 5;
    plain.height = 3;
    plain.bitCount = 24;
    plain.data = PlainRows(24, 5, 3, false, [](GxInt32 x, GxInt32 y) { return static_cast<GxUInt32>(x * 40 + y); });
    BmpSpec core;
    core.headerSize = 12;
    core.width = 3;
    core.height = 2;
    core.bitCount = 4;
    core.palette = TestPalette(16);
    core.data = PlainRows(4, 3, 2, false, [](GxInt32 x, GxInt32) { return static_cast<GxUInt32>(x); });
    for (const BmpSpec& spec : {rle, plain, core}) {
        const Bytes good = MakeBmp(spec);
        ASSERT_TRUE(Store(good));
        GxImage* image = GxImageReadBMP(path.c_str());
        ASSERT_NE(image, nullptr);
        GxImageDestroy(image);
        const long live = GxTestLiveBlocks();
        for (size_t n = 0; n < good.size(); ++n) {
            ASSERT_TRUE(Store(Bytes(good.begin(), good.begin() + static_cast<long>(n))));
            EXPECT_EQ(GxImageReadBMP(path.c_str()), nullptr) << "prefix of " << n << " of " << good.size();
            GxTestTakeErrorCode();
        }
        EXPECT_EQ(GxTestLiveBlocks(), live);
    }
}

TEST_F(BmpTest, WrittenFilesReadBackIdentical)
{
    for (GxInt32 depth : {4, 8, 32}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const GxInt32 w = 5, h = 3;
        GxImage* image = GxImageCreate(w, h, depth);
        ASSERT_TRUE(GxImageAllocatePixels(image));
        if (image->palette) {
            for (GxInt32 i = 0; i < (1 << depth); ++i) {
                image->palette[i] =
                    GxRGBA{static_cast<GxUInt8>(i), static_cast<GxUInt8>(i * 7), static_cast<GxUInt8>(255 - i), 255};
            }
        }
        for (GxInt32 y = 0; y < h; ++y) {
            for (GxInt32 x = 0; x < w; ++x) {
                GxUInt8* p = image->pixels + y * image->stride;
                if (depth == 32) {
                    p[4 * x] = static_cast<GxUInt8>(x * 50);
                    p[4 * x + 1] = static_cast<GxUInt8>(y * 80);
                    p[4 * x + 2] = static_cast<GxUInt8>(x * y);
                    p[4 * x + 3] = 255;
                } else {
                    p[x] = static_cast<GxUInt8>((x * 5 + y * 3) % (1 << depth));
                }
            }
        }
        ASSERT_EQ(GxImageWriteBMP(image, path.c_str()), image);
        const Bytes file = Load();
        const GxUInt32 bits = depth == 32 ? 24 : static_cast<GxUInt32>(depth);
        const GxUInt32 rowBytes = ((w * bits + 31) >> 3) & ~3u;
        const GxUInt32 offset = 54 + (depth == 32 ? 0 : (4u << depth));
        ASSERT_EQ(file.size(), offset + rowBytes * h);
        EXPECT_EQ(file[10] | (file[11] << 8), static_cast<int>(offset));
        EXPECT_EQ(file[28], bits);
        if (depth == 4) {  // an odd width pads the last low nibble
            EXPECT_EQ(file[offset + 2] & 0x0F, 0);
        }

        GxImage* back = GxImageReadBMP(path.c_str());
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->depth, depth);
        for (GxInt32 y = 0; y < h; ++y) {
            EXPECT_EQ(memcmp(back->pixels + y * back->stride, image->pixels + y * image->stride,
                             static_cast<size_t>(w * (depth == 32 ? 4 : 1))),
                      0);
        }
        if (depth != 32) {
            EXPECT_EQ(memcmp(back->palette, image->palette, 4u << depth), 0);
        }
        GxImageDestroy(back);
        GxImageDestroy(image);
    }
}

TEST_F(BmpTest, FailedWritesAreReportedAndLeaveTheOldFile)
{
    GxImage* image = GxImageCreate(64, 64, 32);
    ASSERT_TRUE(GxImageAllocatePixels(image));
    const Bytes old = {'o', 'l', 'd'};
    ASSERT_TRUE(Store(old));
    // The header, then one write per row: a failure at any of them, or none written at all.
    for (LONG successes : {0, 1, 30, 64}) {
        StandInFailWritesAfter(successes);
        EXPECT_EQ(GxImageWriteBMP(image, path.c_str()), nullptr) << successes;
        StandInFailWritesAfter(-1);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRWRITE) << successes;
        EXPECT_EQ(Load(), old) << successes;
        EXPECT_TRUE(GxTestTemporariesIn(".", path).empty()) << successes;
    }
    ASSERT_EQ(GxImageWriteBMP(image, path.c_str()), image);
    EXPECT_EQ(Load().size(), 54u + 64 * 64 * 3);
    EXPECT_TRUE(GxTestTemporariesIn(".", path).empty());
    EXPECT_EQ(GxImageWriteBMP(image, "bmp_test_no_such_dir/x.bmp"), nullptr);
    GxTestTakeErrorCode();
    GxImageDestroy(image);
}

// Sizes the file cannot hold are refused before the image is allocated.
TEST_F(BmpTest, DeclaredSizesBeyondTheFileAllocateNothing)
{
    BmpSpec plain;
    plain.width = 4096;
    plain.height = 4096;
    plain.bitCount = 24;
    plain.data = Bytes(64, 0);
    ASSERT_EQ(MakeBmp(plain).size(), 118u);
    BmpSpec runs;
    runs.width = 4096;
    runs.height = 4096;
    runs.compression = 1;
    runs.palette = TestPalette(2);
    runs.coloursUsed = 2;
    runs.data = {0xFF, 1, 0, 0, 0, 1};
    for (const BmpSpec& spec : {plain, runs}) {
        gxTestMemory.largest = 0;
        EXPECT_EQ(Read(spec), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
        EXPECT_LT(gxTestMemory.largest, 0x10000u);
    }
    // At the greatest run-length expansion the same codes are enough.
    runs.width = 255;
    runs.height = 3;
    runs.data = {0xFF, 1, 0, 0, 0xFF, 1, 0, 0, 0xFF, 1, 0, 1};
    GxImage* image = Read(runs);
    ASSERT_NE(image, nullptr);
    GxImageDestroy(image);
}

// A run-length file that holds every code its size needs still asks for more memory than any picture may: it
// is refused from its header, quickly and with nothing large allocated.
TEST_F(BmpTest, ImageBombsAreRefusedFromTheirHeaders)
{
    BmpSpec bomb;
    bomb.width = 8192;
    bomb.height = 8192;
    bomb.compression = 1;
    bomb.palette = TestPalette(2);
    bomb.coloursUsed = 2;
    for (GxInt32 y = 0; y < bomb.height; ++y) {
        for (GxInt32 x = 0; x < bomb.width; x += 128)
            bomb.data.insert(bomb.data.end(), {128, 1});
        bomb.data.insert(bomb.data.end(), {0, 0});
    }
    gxTestMemory.largest = 0;
    EXPECT_EQ(Read(bomb), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    EXPECT_LT(gxTestMemory.largest, 0x10000u);

    // The limit itself: one side at 4096 and the other past it are refused from the header, a picture just at it is
    // read on until its missing pixels.
    BmpSpec edge;
    edge.bitCount = 24;
    for (const auto& [w, h, allowed] : {std::tuple{4097, 4096, false}, std::tuple{4096, -4097, false},
                                        std::tuple{1, 4096 * 4096 + 1, false}, std::tuple{4096, 4096, true}}) {
        edge.width = w;
        edge.height = h;
        EXPECT_EQ(Read(edge), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), allowed ? gxERRENDOFSTREAM : gxERRUNSUPPORTED) << w << " x " << h;
    }
}

}  // namespace
