// Round trips of image chunks through the graphics core's reader, and truncated chunks.
#include "tools/content/image_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"

namespace {

using Bytes = std::vector<GxUInt8>;

class ImageWriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(GxTestEngineStart()); }
    void TearDown() override { GxTestEngineShutdown(); }
};

Bytes Write(const GxImage* image)
{
    GxStream* s = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    const bool ok = ContentImageStreamWrite(image, s) != nullptr;
    GxMemory mem = {nullptr, 0};
    GxStreamClose(s, &mem);
    Bytes bytes(mem.start, mem.start + mem.length);
    GxFree(mem.start);
    return ok ? bytes : Bytes();
}

// Finds the image chunk as the dictionary reader does and reads its body.
GxImage* Read(const Bytes& bytes)
{
    GxMemory mem = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(bytes.size())};
    GxStream* s = bytes.empty() ? nullptr : GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &mem);
    GxUInt32 length = 0;
    GxImage* image = nullptr;
    if (s && GxStreamFindChunk(s, gxID_IMAGE, &length, nullptr)) {
        image = GxImageStreamReadSized(s, length);
    }
    if (s) {
        GxStreamClose(s, nullptr);
    }
    return image;
}

GxImage* Sample(GxInt32 w, GxInt32 h, GxInt32 depth)
{
    GxImage* image = GxImageCreate(w, h, depth);
    GxImageAllocatePixels(image);
    for (GxInt32 i = 0; i < image->stride * h; ++i) {
        image->pixels[i] = static_cast<GxUInt8>(i * 13 + depth);
    }
    for (GxInt32 i = 0; image->palette && i < (1 << depth); ++i) {
        image->palette[i] =
            GxRGBA{static_cast<GxUInt8>(i), static_cast<GxUInt8>(i * 3), 9, static_cast<GxUInt8>(255 - i)};
    }
    return image;
}

TEST_F(ImageWriterTest, ChunksRoundTripThroughTheReader)
{
    for (GxInt32 depth : {4, 8, 32}) {
        GxImage* image = Sample(5, 3, depth);
        const Bytes bytes = Write(image);
        ASSERT_EQ(bytes.size(), ContentImageStreamGetSize(image));
        EXPECT_EQ(bytes[0], gxID_IMAGE);
        GxImage* back = Read(bytes);
        ASSERT_NE(back, nullptr) << depth;
        // The chunk length written covers the image exactly.
        Bytes shrunk = bytes;
        shrunk[4] = static_cast<GxUInt8>(shrunk[4] - 1);
        EXPECT_EQ(Read(shrunk), nullptr);
        EXPECT_EQ(back->width, 5);
        EXPECT_EQ(back->height, 3);
        EXPECT_EQ(back->depth, depth);
        EXPECT_EQ(std::memcmp(back->pixels, image->pixels, static_cast<size_t>(image->stride) * 3), 0);
        if (depth != 32) {
            EXPECT_EQ(std::memcmp(back->palette, image->palette, 4u << depth), 0);
        }
        GxImageDestroy(back);
        GxImageDestroy(image);
    }
}

TEST_F(ImageWriterTest, ImagesWithoutPixelsAreNotWritten)
{
    GxImage* bare = GxImageCreate(2, 2, 32);
    EXPECT_TRUE(Write(bare).empty());
    GxImageDestroy(bare);
    GxImage* sixteen = Sample(2, 2, 16);
    EXPECT_TRUE(Write(sixteen).empty());
    GxImageDestroy(sixteen);
}

}  // namespace
