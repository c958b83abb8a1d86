// Tests of the PNG reader: every colour type and bit depth, transparency, interlacing and damaged files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <zlib.h>

#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/png_writer.h"
#include "gfx/testsupport/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An expected pixel: R, G, B, A for 32-bit images, or the index for palettised ones.
struct Expected {
    GxInt32 depth;
    std::vector<GxRGBA> colours;   // per pixel, resolved through the palette when there is one
    std::vector<GxUInt8> indices;  // per pixel, palettised images only
};

class PngTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart(0, 0, GxTestMemoryReset()));
        ASSERT_TRUE(GxTestFileSystemOpen());
        path = std::string("png_test_") + GxTestRunTag() + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".png";
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        std::remove(path.c_str());
        GxTestEngineShutdown();
    }
    bool Store(const Bytes& bytes) { return GxTestStoreFile(path, bytes); }
    GxImage* ReadBack(const ContentPngImage& png)
    {
        const Bytes bytes = ContentPngEncode(png);
        return bytes.empty() || !Store(bytes) ? nullptr : GxImageReadPNG(path.c_str());
    }
    std::string path;
};

// Packs sample values (each below 2^depth) into PNG rows.
Bytes PackRows(const std::vector<uint32_t>& samples, uint32_t perRow, uint32_t rows, int depth)
{
    const size_t rowBytes = (perRow * static_cast<size_t>(depth) + 7) / 8;
    Bytes out(rowBytes * rows, 0);
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t i = 0; i < perRow; ++i) {
            const uint32_t v = samples[y * perRow + i];
            uint8_t* row = out.data() + y * rowBytes;
            if (depth == 16) {
                row[2 * i] = static_cast<uint8_t>(v >> 8);
                row[2 * i + 1] = static_cast<uint8_t>(v);
            } else {
                const size_t bit = static_cast<size_t>(i) * depth;
                row[bit / 8] |= static_cast<uint8_t>(v << (8 - depth - bit % 8));
            }
        }
    }
    return out;
}

void ExpectPixels(const GxImage* image, GxInt32 width, GxInt32 height, const Expected& e)
{
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->depth, e.depth);
    ASSERT_EQ(image->width, width);
    ASSERT_EQ(image->height, height);
    for (GxInt32 y = 0; y < height; ++y) {
        for (GxInt32 x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y * width + x);
            const GxUInt8* row = image->pixels + y * image->stride;
            GxRGBA got;
            if (e.depth == 32) {
                got = GxRGBA{row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
            } else {
                ASSERT_EQ(row[x], e.indices[i]) << "pixel " << x << "," << y;
                got = image->palette[row[x]];
            }
            const GxRGBA& want = e.colours[i];
            ASSERT_TRUE(GxTestSameRGBA(got, want)) << "pixel " << x << "," << y << " got " << int(got.red) << ","
                                                   << int(got.green) << "," << int(got.blue) << "," << int(got.alpha);
        }
    }
}

constexpr uint32_t kW = 5, kH = 3;

// Grey of every bit depth, with and without a transparency key: one byte per pixel, every level opaque.
TEST_F(PngTest, GreyImagesStayOpaque)
{
    for (int depth : {1, 2, 4, 8, 16}) {
        for (bool keyed : {false, true}) {
            const uint32_t top = (1u << depth) - 1;
            std::vector<uint32_t> samples;
            Expected e{8, {}, {}};
            for (uint32_t i = 0; i < kW * kH; ++i) {
                const uint32_t v = (i * (depth == 16 ? 4099u : 7u)) % (top + 1);
                samples.push_back(v);
                const auto grey = static_cast<GxUInt8>(depth == 16 ? v >> 8 : v * 255 / top);
                e.indices.push_back(grey);
                e.colours.push_back(GxRGBA{grey, grey, grey, 255});
            }
            ContentPngImage png;
            png.width = kW;
            png.height = kH;
            png.colourType = PNG_COLOR_TYPE_GRAY;
            png.bitDepth = depth;
            png.rows = PackRows(samples, kW, kH, depth);
            png.hasKey = keyed;
            png.key.gray = static_cast<png_uint_16>(samples[1]);
            SCOPED_TRACE("grey depth " + std::to_string(depth) + (keyed ? " keyed" : ""));
            GxImage* image = ReadBack(png);
            ExpectPixels(image, kW, kH, e);
            // The ramp covers the entries no pixel uses.
            if (image) {
                EXPECT_EQ(image->palette[200].red, 200);
            }
            GxImageDestroy(image);
        }
    }
}

TEST_F(PngTest, PaletteImages)
{
    for (int depth : {1, 2, 4, 8}) {
        const uint32_t entries = depth == 8 ? 16 : (1u << depth);
        ContentPngImage png;
        png.width = kW;
        png.height = kH;
        png.colourType = PNG_COLOR_TYPE_PALETTE;
        png.bitDepth = depth;
        for (uint32_t i = 0; i < entries; ++i) {
            png.palette.push_back(png_color{static_cast<png_byte>(i * 10), static_cast<png_byte>(255 - i), 7});
        }
        png.paletteAlpha = {0, 128};
        std::vector<uint32_t> samples;
        Expected e{depth < 8 ? 4 : 8, {}, {}};
        for (uint32_t i = 0; i < kW * kH; ++i) {
            const uint32_t v = (i * 3) % entries;
            samples.push_back(v);
            e.indices.push_back(static_cast<GxUInt8>(v));
            const GxUInt8 alpha = v == 0 ? 0 : (v == 1 ? 128 : 255);
            e.colours.push_back(GxRGBA{static_cast<GxUInt8>(v * 10), static_cast<GxUInt8>(255 - v), 7, alpha});
        }
        png.rows = PackRows(samples, kW, kH, depth);
        SCOPED_TRACE("palette depth " + std::to_string(depth));
        GxImage* image = ReadBack(png);
        ExpectPixels(image, kW, kH, e);
        // A short palette at depth 8 leaves the grey ramp in the unused entries.
        if (image && depth == 8) {
            EXPECT_EQ(image->palette[100].red, 100);
            EXPECT_EQ(image->palette[100].alpha, 255);
        }
        GxImageDestroy(image);
    }
}

// Colour with and without alpha at 8 and 16 bits, grey with alpha, and an RGB key that leaves every pixel opaque.
TEST_F(PngTest, TrueColourImages)
{
    struct Case {
        int type;
        int depth;
        bool keyed;
    };
    for (Case c :
         {Case{PNG_COLOR_TYPE_RGB, 8, false}, Case{PNG_COLOR_TYPE_RGB, 16, false}, Case{PNG_COLOR_TYPE_RGB, 8, true},
          Case{PNG_COLOR_TYPE_RGB_ALPHA, 8, false}, Case{PNG_COLOR_TYPE_RGB_ALPHA, 16, false},
          Case{PNG_COLOR_TYPE_GRAY_ALPHA, 8, false}, Case{PNG_COLOR_TYPE_GRAY_ALPHA, 16, false}}) {
        const size_t channels = ContentPngChannels(c.type);
        std::vector<uint32_t> samples;
        Expected e{32, {}, {}};
        for (uint32_t i = 0; i < kW * kH; ++i) {
            uint32_t s[4];
            for (size_t ch = 0; ch < channels; ++ch) {
                const uint32_t byte = (i * 37 + ch * 91 + 3) & 0xFF;
                s[ch] = c.depth == 16 ? (byte << 8) | 0x5A : byte;
                samples.push_back(s[ch]);
            }
            auto b = [&](size_t ch) { return static_cast<GxUInt8>(c.depth == 16 ? s[ch] >> 8 : s[ch]); };
            if (c.type == PNG_COLOR_TYPE_GRAY_ALPHA) {
                e.colours.push_back(GxRGBA{b(0), b(0), b(0), b(1)});
            } else {
                const GxUInt8 alpha = channels == 4 ? b(3) : 255;
                e.colours.push_back(GxRGBA{b(0), b(1), b(2), alpha});
            }
        }
        ContentPngImage png;
        png.width = kW;
        png.height = kH;
        png.colourType = c.type;
        png.bitDepth = c.depth;
        png.rows = PackRows(samples, kW * static_cast<uint32_t>(channels), kH, c.depth);
        if (c.keyed) {
            png.hasKey = true;
            png.key.red = static_cast<png_uint_16>(samples[0]);
            png.key.green = static_cast<png_uint_16>(samples[1]);
            png.key.blue = static_cast<png_uint_16>(samples[2]);
        }
        SCOPED_TRACE("type " + std::to_string(c.type) + " depth " + std::to_string(c.depth));
        GxImage* image = ReadBack(png);
        ExpectPixels(image, kW, kH, e);
        GxImageDestroy(image);
    }
}

TEST_F(PngTest, InterlacedImagesMatchPlainOnes)
{
    const uint32_t w = 13, h = 11;
    for (int type : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE}) {
        ContentPngImage png;
        png.width = w;
        png.height = h;
        png.colourType = type;
        png.bitDepth = type == PNG_COLOR_TYPE_PALETTE ? 4 : 8;
        const size_t channels = ContentPngChannels(type);
        std::vector<uint32_t> samples;
        for (uint32_t i = 0; i < w * h * channels; ++i)
            samples.push_back((i * 29 + 5) % (type == PNG_COLOR_TYPE_PALETTE ? 16 : 256));
        for (uint32_t i = 0; i < 16; ++i)
            png.palette.push_back(png_color{static_cast<png_byte>(i), 0, 0});
        if (type != PNG_COLOR_TYPE_PALETTE)
            png.palette.clear();
        png.rows = PackRows(samples, w * static_cast<uint32_t>(channels), h, png.bitDepth);
        GxImage* plain = ReadBack(png);
        png.interlaced = true;
        GxImage* interlaced = ReadBack(png);
        ASSERT_NE(plain, nullptr);
        ASSERT_NE(interlaced, nullptr);
        ASSERT_EQ(plain->stride, interlaced->stride);
        EXPECT_EQ(memcmp(plain->pixels, interlaced->pixels, static_cast<size_t>(plain->stride) * h), 0);
        EXPECT_EQ(interlaced->pixels[interlaced->stride * 10 + (type == PNG_COLOR_TYPE_PALETTE ? 12 : 48)],
                  samples[(10 * w + 12) * channels]);
        GxImageDestroy(plain);
        GxImageDestroy(interlaced);
    }
}

TEST_F(PngTest, DamagedFilesFailCleanly)
{
    ContentPngImage png;
    png.width = 9;
    png.height = 4;
    png.colourType = PNG_COLOR_TYPE_PALETTE;
    png.bitDepth = 4;
    png.interlaced = true;
    for (int i = 0; i < 16; ++i)
        png.palette.push_back(png_color{static_cast<png_byte>(i), 1, 2});
    png.paletteAlpha = {5};
    std::vector<uint32_t> samples;
    for (uint32_t i = 0; i < 36; ++i)
        samples.push_back(i % 16);
    png.rows = PackRows(samples, 9, 4, 4);
    const Bytes good = ContentPngEncode(png);
    ASSERT_FALSE(good.empty());
    // Free lists give their blocks back with their last entry, so count after a first read.
    ASSERT_TRUE(Store(good));
    GxImage* first = GxImageReadPNG(path.c_str());
    ASSERT_NE(first, nullptr);
    GxImageDestroy(first);
    const long live = GxTestLiveBlocks();
    for (size_t n = 0; n < good.size(); ++n) {
        ASSERT_TRUE(Store(Bytes(good.begin(), good.begin() + static_cast<long>(n))));
        GxImage* image = GxImageReadPNG(path.c_str());
        EXPECT_EQ(image, nullptr) << "prefix of " << n << " bytes";
        if (image != nullptr) {
            GxImageDestroy(image);
        }
    }
    // Flipped bytes anywhere past the signature: refused or read, never a crash.
    for (size_t n = 8; n < good.size(); ++n) {
        Bytes bad = good;
        bad[n] ^= 0x55;
        ASSERT_TRUE(Store(bad));
        if (GxImage* image = GxImageReadPNG(path.c_str())) {
            GxImageDestroy(image);
        }
    }
    EXPECT_EQ(GxTestLiveBlocks(), live);
    GxTestTakeError();
    EXPECT_EQ(GxImageReadPNG(nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
    EXPECT_EQ(GxImageReadPNG("png_test_missing.png"), nullptr);
}

// A PNG chunk: length, type, data and the CRC of type and data; `claimed` replaces the true length.
void PutPngChunk(Bytes& out, const char* type, const Bytes& data, int64_t claimed = -1)
{
    const uint32_t length = claimed < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(claimed);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<GxUInt8>(length >> shift));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    const uLong crc = crc32(0, body.data(), static_cast<uInt>(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<GxUInt8>(crc >> shift));
}

Bytes PngHeader(uint32_t width, uint32_t height, GxUInt8 colourType)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    for (uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.push_back(static_cast<GxUInt8>(v >> shift));
    }
    ihdr.insert(ihdr.end(), {8, colourType, 0, 0, 0});
    PutPngChunk(out, "IHDR", ihdr);
    return out;
}

// Files that claim more than they hold are refused before anything large is allocated: ancillary
// chunks of 2 GiB, and pixels that their compressed data could never expand to.
TEST_F(PngTest, ClaimsBeyondTheFileAllocateLittle)
{
    for (const char* type : {"iTXt", "tEXt", "zTXt", "sPLT", "iCCP"}) {
        Bytes bytes = PngHeader(1, 1, PNG_COLOR_TYPE_RGB_ALPHA);
        PutPngChunk(bytes, type, Bytes(15, 'a'), 0x7F000000);
        ASSERT_EQ(bytes.size(), 33u + 27);
        ASSERT_TRUE(Store(bytes));
        gxTestMemory.largest = 0;
        EXPECT_EQ(GxImageReadPNG(path.c_str()), nullptr) << type;
        EXPECT_LT(gxTestMemory.largest, 0x100000u) << type;
    }
    Bytes big = PngHeader(4096, 4096, PNG_COLOR_TYPE_RGB_ALPHA);
    PutPngChunk(big, "IDAT", Bytes(15, 0));
    PutPngChunk(big, "IEND", {});
    ASSERT_EQ(big.size(), 72u);
    ASSERT_TRUE(Store(big));
    gxTestMemory.largest = 0;
    GxTestTakeErrorCode();
    EXPECT_EQ(GxImageReadPNG(path.c_str()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_LT(gxTestMemory.largest, 0x100000u);
}

// Deflated rows of zeros for a width x height grey picture, compressed a slice at a time.
Bytes DeflatedBlankRows(uint32_t width, uint32_t height)
{
    z_stream z = {};
    EXPECT_EQ(deflateInit(&z, Z_BEST_COMPRESSION), Z_OK);
    Bytes rows(static_cast<size_t>(width + 1) * 64, 0);
    Bytes out;
    Bytes chunk(1 << 16);
    for (uint32_t y = 0; y < height; y += 64) {
        z.next_in = rows.data();
        z.avail_in = static_cast<uInt>(rows.size());
        const int flush = y + 64 >= height ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, flush);
            out.insert(out.end(), chunk.begin(), chunk.end() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

// A whole, valid picture whose deflated rows are a few hundred kilobytes and whose header asks for 64 Mi pixels
// more than any picture may have is refused from its header, before its rows are allocated or inflated.
TEST_F(PngTest, ImageBombsAreRefusedFromTheirHeaders)
{
    Bytes bomb = PngHeader(8192, 8192, PNG_COLOR_TYPE_GRAY);
    PutPngChunk(bomb, "IDAT", DeflatedBlankRows(8192, 8192));
    PutPngChunk(bomb, "IEND", {});
    ASSERT_LT(bomb.size(), 1u << 20);
    ASSERT_TRUE(Store(bomb));
    gxTestMemory.largest = 0;
    GxTestTakeErrorCode();
    EXPECT_EQ(GxImageReadPNG(path.c_str()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRUNSUPPORTED);
    EXPECT_LT(gxTestMemory.largest, 0x100000u);
    // The same rows for a picture just within the limit read whole.
    Bytes edge = PngHeader(4096, 4096, PNG_COLOR_TYPE_GRAY);
    PutPngChunk(edge, "IDAT", DeflatedBlankRows(4096, 4096));
    PutPngChunk(edge, "IEND", {});
    ASSERT_TRUE(Store(edge));
    GxImage* image = GxImageReadPNG(path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 4096);
    GxImageDestroy(image);
}

}  // namespace
