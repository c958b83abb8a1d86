// Tests of the frame-list chunk reader against chunks that claim more, or less, than they hold.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"

namespace {

using Bytes = std::vector<GxUInt8>;
constexpr GxUInt32 kFrameListChunk = 0x0E;
constexpr GxUInt32 kStamp = 0x1C02000A;
constexpr GxUInt32 kRecordSize = 56;

class FrameListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart(0, 0x400000, GxTestMemoryReset()));
        GxTestTakeErrorCode();
    }
    void TearDown() override { GxTestEngineShutdown(); }

    // A root with one child, written as a frame-list chunk.
    static Bytes WriteTwoFrames()
    {
        GxFrame* root = GxFrameCreate();
        GxFrameAddChild(root, GxFrameCreate());
        GxFrameList list;
        GxFrameListInitialize(&list, root);
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
        GxFrameListStreamWrite(&list, stream);
        Bytes bytes = GxTestCloseWriteStream(stream);
        GxFrameListDeinitialize(&list);
        GxFrameDestroyHierarchy(root);
        return bytes;
    }
};

void PutWord(Bytes& out, GxUInt32 value)
{
    GxUInt8 word[4];
    GxBytesPutU32(word, value);
    out.insert(out.end(), word, word + 4);
}

void PutHeader(Bytes& out, GxUInt32 type, GxUInt32 size)
{
    PutWord(out, type);
    PutWord(out, size);
    PutWord(out, kStamp);
}

void DestroyList(GxFrameList* list)
{
    GxFrameDestroyHierarchy(list->frames[0]);
    GxFrameListDeinitialize(list);
}

// 84 bytes whose chunks claim 4 GiB and 76,695,844 frames: refused before anything is sized from the count.
TEST_F(FrameListTest, CountsBeyondTheStreamAllocateNothing)
{
    Bytes bytes;
    PutHeader(bytes, kFrameListChunk, 0xFFFFFFFFu);
    PutHeader(bytes, gxID_STRUCT, 0xFFFFFFFFu);
    PutWord(bytes, (0xFFFFFFFFu - 4) / kRecordSize);
    bytes.resize(84, 0);
    for (bool sized : {false, true}) {
        GxTestReadStream in(bytes, 0);
        GxUInt32 length = 0;
        ASSERT_TRUE(GxStreamFindChunk(in.Get(), kFrameListChunk, &length, nullptr));
        gxTestMemory.largest = 0;
        GxFrameList list;
        EXPECT_EQ(sized ? GxFrameListStreamReadSized(in.Get(), &list, length) : GxFrameListStreamRead(in.Get(), &list),
                  nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
        EXPECT_LT(gxTestMemory.largest, 0x10000u);
    }
}

// The reader keeps inside the chunk it is given: a chunk that claims 16 of its 152 bytes is refused,
// and a true one leaves the stream just past it.
TEST_F(FrameListTest, TheReaderStaysInsideItsChunk)
{
    Bytes bytes = WriteTwoFrames();
    ASSERT_EQ(bytes.size(), gxCHUNKHEADERSIZE + 152);
    bytes.push_back(0x5A);
    {
        GxTestReadStream in(bytes, 0);
        GxUInt32 length = 0;
        ASSERT_TRUE(GxStreamFindChunk(in.Get(), kFrameListChunk, &length, nullptr));
        EXPECT_EQ(length, 152u);
        GxFrameList list;
        ASSERT_NE(GxFrameListStreamReadSized(in.Get(), &list, length), nullptr);
        EXPECT_EQ(list.numFrames, 2);
        EXPECT_EQ(GxStreamBytesLeft(in.Get()), 1u);
        DestroyList(&list);
    }
    GxBytesPutU32(bytes.data() + 4, 16);
    GxTestReadStream in(bytes, 0);
    GxUInt32 length = 0;
    ASSERT_TRUE(GxStreamFindChunk(in.Get(), kFrameListChunk, &length, nullptr));
    GxFrameList list;
    EXPECT_EQ(GxFrameListStreamReadSized(in.Get(), &list, length), nullptr);
    EXPECT_EQ(GxStreamBytesLeft(in.Get()), 152u - 16 + 1);
    GxTestTakeErrorCode();
}

}  // namespace
