// Tests of user data: counting, copying, and the stream with strings, nulls and bad input.
#include <algorithm>
#include <cstring>

#include "gfx/core/bytes.h"
#include "gfx/world/world_testing.h"

namespace {

using UserData = WorldTest;

std::vector<GxUInt8> WriteFrames(GxFrame* root)
{
    return GxWorldTestWrite([root](GxStream* s) {
        GxFrameList list;
        const bool ok = GxFrameListInitialize(&list, root) && GxFrameListStreamWrite(&list, s);
        GxFrameListDeinitialize(&list);
        return ok;
    });
}

GxFrame* ReadFrame(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxFrame>(
        bytes, gxID_FRAMELIST,
        [](GxStream* s) -> GxFrame* {
            GxFrameList list;
            if (!GxFrameListStreamRead(s, &list)) {
                return nullptr;
            }
            GxFrame* root = list.frames[0];
            GxFrameListDeinitialize(&list);
            return root;
        },
        length);
}

}  // namespace

TEST_F(UserData, StringsSurviveTheStreamAndCopies)
{
    GxFrame* frame = GxFrameCreate();
    frame->modelling.flags &= gxMATRIXTYPEORTHONORMAL;         // all the frame reader keeps
    EXPECT_EQ(WriteFrames(frame).size(), 12 + 16 + 56 + 12u);  // no user data: no extension data
    GxUserDataArray* text = GxFrameAddUserDataArray(frame, "dummy", gxUSERDATASTRING, 2);
    GxUserDataArraySetString(text, 0, "door");
    GxFrameAddUserDataArray(frame, nullptr, gxUSERDATAINT, 0);  // no name, no data: not counted
    GxUserDataArray* values = GxFrameAddUserDataArray(frame, "v", gxUSERDATAREAL, 2);
    static_cast<GxReal*>(values->data)[1] = 2.5f;
    EXPECT_EQ(GxFrameGetUserDataArrayCount(frame), 2);
    EXPECT_NE(GxFrameGetUserDataArray(frame, 1), nullptr);
    EXPECT_EQ(GxFrameGetUserDataArray(frame, 3), nullptr);
    const std::vector<GxUInt8> bytes = WriteFrames(frame);
    // Count, then the name of 5 characters written as length 6 and 6 bytes.
    const size_t data = 12 + 16 + 56 + 12 + 12;
    EXPECT_EQ(GxBytesGetU32(&bytes[data]), 3u);
    EXPECT_EQ(GxBytesGetU32(&bytes[data + 4]), 6u);
    EXPECT_EQ(std::memcmp(&bytes[data + 8], "dummy", 6), 0);
    GxFrame* copy = ReadFrame(bytes);
    ASSERT_NE(copy, nullptr);
    GxUserDataArray* read = GxFrameGetUserDataArray(copy, 0);
    EXPECT_STREQ(GxUserDataArrayGetName(read), "dummy");
    EXPECT_STREQ(GxUserDataArrayGetString(read, 0), "door");
    EXPECT_EQ(GxUserDataArrayGetString(read, 1), nullptr);
    EXPECT_EQ(GxUserDataArrayGetName(GxFrameGetUserDataArray(copy, 1)), nullptr);
    EXPECT_FLOAT_EQ(static_cast<GxReal*>(GxFrameGetUserDataArray(copy, 2)->data)[1], 2.5f);
    EXPECT_EQ(WriteFrames(copy), bytes);
    // A clone copies entries without names as well as named ones.
    GxFrame* clone = GxFrameCloneHierarchy(copy);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(WriteFrames(clone), bytes);
    GxFrameDestroyHierarchy(clone);
    GxFrameDestroy(copy);

    for (size_t length = 0; length < bytes.size(); length++) {
        GxFrame* cut = ReadFrame(bytes, length);
        EXPECT_EQ(cut, nullptr) << length;
        if (cut) {
            GxFrameDestroy(cut);
        }
    }
    // A format outside 1..3, an element count past the data, a count of entries past the data.
    for (const auto& patch : {std::pair<size_t, GxUInt32>{14, 4}, {18, 1000}, {0, 1000}}) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[data + patch.first], patch.second);
        EXPECT_EQ(ReadFrame(bad), nullptr) << patch.first;
    }
    GxFrameDestroy(frame);
    GxTestTakeError();
}

TEST_F(UserData, UnterminatedStringsAreTerminated)
{
    GxFrame* frame = GxFrameCreate();
    GxFrameAddUserDataArray(frame, "abc", gxUSERDATAINT, 0);
    std::vector<GxUInt8> bytes = WriteFrames(frame);
    const size_t data = 12 + 16 + 56 + 12 + 12;
    bytes[data + 8 + 3] = 'd';  // the stored terminator replaced
    GxFrame* copy = ReadFrame(bytes);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(GxUserDataArrayGetName(GxFrameGetUserDataArray(copy, 0)), "abcd");
    GxFrameDestroy(copy);
    GxFrameDestroy(frame);
}

TEST_F(UserData, WorldSectorsReadAndWriteTheirUserData)
{
    // An extension chunk holding one integer array "zone" = {7}.
    const std::vector<GxUInt8> extension = GxWorldTestWrite([](GxStream* s) {
        const GxUInt32 body[] = {1, 5, 0, 0, gxUSERDATAINT, 1, 7};
        std::vector<GxUInt8> data(4 + 4 + 5 + 12);
        GxBytesPutU32(&data[0], body[0]);
        GxBytesPutU32(&data[4], body[1]);
        std::memcpy(&data[8], "zone", 5);
        GxBytesPutU32(&data[13], body[4]);
        GxBytesPutU32(&data[17], body[5]);
        GxBytesPutU32(&data[21], body[6]);
        const auto size = static_cast<GxUInt32>(data.size());
        return GxStreamWriteChunkHeader(s, gxID_EXTENSION, gxCHUNKHEADERSIZE + size, gxLIBRARYVERSION,
                                        gxLIBRARYBUILD) &&
               GxStreamWriteChunkHeader(s, gxPLUGINUSERDATA, size, gxLIBRARYVERSION, gxLIBRARYBUILD) &&
               GxStreamWrite(s, data.data(), size);
    });
    const GxBBox box = {{1.0f, 1.0f, 1.0f}, {-1.0f, -1.0f, -1.0f}};
    GxWorld* world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    GxWorldSector* sector = GxSectorAsAtomic(world->rootSector);
    GxStream* stream = GxWorldTestOpen(extension);
    ASSERT_NE(GxPluginRegistryReadDataChunks(&gxWorldSectorTKList, stream, sector), nullptr);
    EXPECT_EQ(GxStreamBytesLeft(stream), 0u);
    GxStreamClose(stream, nullptr);
    // The sector's extension data (its meshes among them) holds the user-data chunk as it was read.
    const std::vector<GxUInt8> written = GxWorldTestWrite(
        [sector](GxStream* s) { return GxPluginRegistryWriteDataChunks(&gxWorldSectorTKList, s, sector) != nullptr; });
    EXPECT_NE(std::search(written.begin(), written.end(), extension.begin() + gxCHUNKHEADERSIZE, extension.end()),
              written.end());
    GxWorldDestroy(world);
}
