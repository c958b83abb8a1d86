// Tests of byte streams, chunk headers, array and string chunks and name records.
#include "gfx/core/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/temp_dir.h"
#include "platform/testsupport/filefaults.h"
#include "platform/win32/winbase.h"

namespace {

using Bytes = std::vector<GxUInt8>;
constexpr GxUInt32 kStamp = 0x1C02000A;  // version 0x37002, build 10

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart(0, 0, GxTestMemoryReset()));
        GxTestTakeErrorCode();
    }
    void TearDown() override { GxTestEngineShutdown(); }
};

GxStream* OpenRead(const Bytes& bytes, GxMemory& mem)
{
    mem = {const_cast<GxUInt8*>(bytes.data()), static_cast<GxUInt32>(bytes.size())};
    return GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &mem);
}

GxStream* OpenWrite() { return GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr); }

void PutHeader(Bytes& out, GxUInt32 type, GxUInt32 size, GxUInt32 stamp = kStamp)
{
    for (GxUInt32 v : {type, size, stamp}) {
        GxBytesAppend(&out, v);
    }
}

GxStream* Header(GxStream* s, GxUInt32 type, GxUInt32 size)
{
    return GxStreamWriteChunkHeader(s, type, size, gxLIBRARYVERSION, gxLIBRARYBUILD);
}

// A custom stream over a byte vector; writes fail once the budget is spent.
struct VectorStream {
    Bytes bytes;
    size_t position = 0;
    size_t writeBudget = SIZE_MAX;
    bool closed = false;
};

GxBool VecClose(void* data) { return static_cast<VectorStream*>(data)->closed = true; }
GxUInt32 VecRead(void* data, void* buffer, GxUInt32 n)
{
    VectorStream* v = static_cast<VectorStream*>(data);
    size_t got = std::min<size_t>(n, v->bytes.size() - v->position);
    if (got > 0)
        std::memcpy(buffer, v->bytes.data() + v->position, got);
    v->position += got;
    return static_cast<GxUInt32>(got);
}
GxBool VecWrite(void* data, const void* buffer, GxUInt32 n)
{
    VectorStream* v = static_cast<VectorStream*>(data);
    if (n > v->writeBudget)
        return 0;
    v->writeBudget -= n;
    v->bytes.insert(v->bytes.end(), static_cast<const GxUInt8*>(buffer), static_cast<const GxUInt8*>(buffer) + n);
    return 1;
}
GxBool VecSkip(void* data, GxUInt32 n)
{
    VectorStream* v = static_cast<VectorStream*>(data);
    if (n > v->bytes.size() - v->position)
        return 0;
    v->position += n;
    return 1;
}

GxStream* OpenCustom(VectorStream& v, GxStreamAccessType access = gxSTREAMREAD)
{
    GxStreamCustom custom = {VecClose, VecRead, VecWrite, VecSkip, &v};
    return GxStreamOpen(gxSTREAMCUSTOM, access, &custom);
}

// A nested object: struct with an int32 array and reals, a string, a wide string,
// a group chunk holding a name record, and an extension chunk with a known and an unknown sub-chunk.
struct Document {
    std::vector<GxInt32> values;
    GxReal reals[3] = {1.5f, -2.25f, 1e-3f};
    std::string title = "atrium", wideTitle = "Hall", group = "east wing";
    GxInt32 ext[2] = {0x120, -1};
    bool operator==(const Document& o) const
    {
        return values == o.values && std::memcmp(reals, o.reals, sizeof(reals)) == 0 && title == o.title &&
               wideTitle == o.wideTitle && group == o.group && ext[0] == o.ext[0] && ext[1] == o.ext[1];
    }
};

Document SampleDocument()
{
    Document doc;
    for (GxInt32 i = 0; i < 70; ++i)
        doc.values.push_back(i * 7919 - 300);
    return doc;
}

bool WriteDocument(const Document& doc, GxStream* s)
{
    GxInt32 count = static_cast<GxInt32>(doc.values.size()), unused = 7, unknown = 99;
    GxUInt32 structSize = 4 + static_cast<GxUInt32>(count) * 4 + 12;
    std::vector<GxUInt16> wide(doc.wideTitle.begin(), doc.wideTitle.end());
    wide.push_back(0);
    GxUInt32 wideSize = static_cast<GxUInt32>(wide.size() * 2);
    GxUInt32 groupSize = 4 + 12 + GxStringStreamGetSize(doc.group.c_str());
    GxUInt32 extSize = 12 + 8 + 12 + 4;
    GxUInt32 total =
        12 + structSize + 12 + GxStringStreamGetSize(doc.title.c_str()) + 12 + wideSize + 12 + groupSize + 12 + extSize;
    return Header(s, 0x10, total) && Header(s, gxID_STRUCT, structSize) && GxStreamWriteInt32(s, &count, 4) &&
           GxStreamWriteInt32(s, doc.values.data(), static_cast<GxUInt32>(count) * 4) &&
           GxStreamWriteReal(s, doc.reals, 12) && GxStringStreamWrite(doc.title.c_str(), s) &&
           Header(s, gxID_UNICODESTRING, wideSize) && GxStreamWriteInt32(s, wide.data(), wideSize) &&
           Header(s, 0x05, groupSize) && GxStreamWriteInt32(s, &unused, 4) &&
           GxStringStreamWrite(doc.group.c_str(), s) && Header(s, 0x03, extSize) && Header(s, 0x1FF, 4) &&
           GxStreamWriteInt32(s, &unknown, 4) && Header(s, 0x120, 8) && GxStreamWriteInt32(s, doc.ext, 8);
}

bool ReadExtension(GxStream* s, Document& doc)
{
    GxUInt32 remaining, type, length;
    if (!GxStreamFindChunk(s, 0x03, &remaining, nullptr))
        return false;
    while (remaining > 0) {
        if (remaining < 12 || !GxStreamReadChunkHeader(s, &type, &length, nullptr, nullptr) || length > remaining - 12)
            return false;
        remaining -= 12 + length;
        bool ok = type == 0x120 && length == 8 ? GxStreamReadInt32(s, doc.ext, 8) != nullptr
                                               : GxStreamSkip(s, length) != nullptr;
        if (!ok)
            return false;
    }
    return true;
}

bool ReadDocument(GxStream* s, Document& doc)
{
    GxUInt32 size;
    GxInt32 count;
    if (!GxStreamFindChunk(s, 0x10, nullptr, nullptr) || !GxStreamFindChunk(s, gxID_STRUCT, &size, nullptr) ||
        !GxStreamReadInt32(s, &count, 4) || size < 16 || count < 0 || static_cast<GxUInt32>(count) > (size - 16) / 4)
        return false;
    doc.values.resize(static_cast<size_t>(count));
    if (!GxStreamReadInt32(s, doc.values.data(), static_cast<GxUInt32>(count) * 4) ||
        !GxStreamReadInt32(s, doc.reals, 12))
        return false;
    GxChar* title = GxStringStreamRead(nullptr, s, 0);
    if (title == nullptr)
        return false;
    doc.title = title;
    GxFree(title);
    GxChar wide[16];
    if (!GxStringStreamRead(wide, s, sizeof(wide)) || !GxStreamFindChunk(s, 0x05, nullptr, nullptr))
        return false;
    doc.wideTitle = wide;
    GxNameRecord* group = GxNameRecordStreamRead(s);
    if (group == nullptr)
        return false;
    doc.group = group->name;
    GxNameRecordDestroy(group);
    return ReadExtension(s, doc);
}

Bytes WriteToMemory(const Document& doc)
{
    GxStream* s = OpenWrite();
    EXPECT_TRUE(WriteDocument(doc, s));
    return GxTestCloseWriteStream(s);
}

bool ReadFromMemory(const Bytes& bytes, Document& doc)
{
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    bool ok = ReadDocument(s, doc);
    GxStreamClose(s, nullptr);
    return ok;
}

Bytes Prefix(const Bytes& bytes, size_t n)
{
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

TEST_F(StreamTest, ChunkHeadersAndStamps)
{
    GxStream* s = OpenWrite();
    ASSERT_EQ(GxStreamWriteChunkHeader(s, 0x10, 100, 0x37002, 10), s);
    EXPECT_EQ(GxTestCloseWriteStream(s), (Bytes{0x10, 0, 0, 0, 0x64, 0, 0, 0, 0x0A, 0x00, 0x02, 0x1C}));

    struct {
        GxUInt32 stamp, version, build;
    } cases[] = {
        {0x310, 0x31000, 0}, {0x1C02000A, 0x37002, 10}, {0x14000000, 0x35000, 0}, {0x1C03FFFF, 0x37003, 0xFFFF}};
    for (const auto& c : cases) {
        GxUInt32 version, build;
        GxStreamDecodeLibraryStamp(c.stamp, &version, &build);
        EXPECT_EQ(version, c.version) << std::hex << c.stamp;
        EXPECT_EQ(build, c.build) << std::hex << c.stamp;
        if (c.stamp >= 0x10000) {
            EXPECT_EQ(GxStreamMakeLibraryStamp(version, build), c.stamp);
        }
    }

    // Header info: the complex flag; no window check there; a header cut short fails.
    Bytes bytes;
    PutHeader(bytes, 0x10, 0);
    PutHeader(bytes, gxID_STRUCT, 0, 0x310);
    bytes.push_back(1);
    GxMemory mem;
    s = OpenRead(bytes, mem);
    GxChunkHeaderInfo info;
    ASSERT_EQ(GxStreamReadChunkHeaderInfo(s, &info), s);
    EXPECT_EQ(info.isComplex, 1);
    EXPECT_EQ(info.buildNum, 10u);
    ASSERT_EQ(GxStreamReadChunkHeaderInfo(s, &info), s);
    EXPECT_EQ(info.isComplex, 0);
    EXPECT_EQ(info.version, 0x31000u);
    EXPECT_EQ(GxStreamReadChunkHeaderInfo(s, &info), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, FindChunkSkipsOthersAndChecksTheWindow)
{
    Bytes bytes;
    PutHeader(bytes, 0x07, 3, 0x310);  // another type out of the window: skipped without complaint
    bytes.insert(bytes.end(), {9, 9, 9});
    PutHeader(bytes, 0x10, 4, 0x14000000);
    bytes.insert(bytes.end(), {0xDD, 0xCC, 0xBB, 0xAA});
    PutHeader(bytes, 0x08, 0, 0x310);
    PutHeader(bytes, 0x09, 0, GxStreamMakeLibraryStamp(0x37003, 1));
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    GxUInt32 length = 0, version = 0, value = 0;
    ASSERT_TRUE(GxStreamFindChunk(s, 0x10, &length, &version));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(version, 0x35000u);
    ASSERT_TRUE(GxStreamReadInt32(s, &value, 4));
    EXPECT_EQ(value, 0xAABBCCDDu);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);
    EXPECT_FALSE(GxStreamFindChunk(s, 0x08, nullptr, nullptr));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRBADVERSION);
    EXPECT_FALSE(GxStreamFindChunk(s, 0x09, nullptr, nullptr));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRBADVERSION);
    EXPECT_FALSE(GxStreamFindChunk(s, 0x09, nullptr, nullptr));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    GxStreamClose(s, nullptr);

    // A body that claims more than the stream holds cannot be skipped over.
    bytes.clear();
    PutHeader(bytes, 0x07, 0xFFFFFFF0);
    PutHeader(bytes, 0x10, 0);
    s = OpenRead(bytes, mem);
    EXPECT_FALSE(GxStreamFindChunk(s, 0x10, nullptr, nullptr));
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, MemoryStreams)
{
    Bytes bytes = {1, 2, 3, 4};
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    GxUInt8 out[10] = {};
    EXPECT_EQ(GxStreamRead(s, out, 10), 4u);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_EQ(GxStreamSkip(s, 1), nullptr);
    EXPECT_EQ(GxStreamSkip(s, 0), s);
    // The caller's buffer is neither written nor freed.
    EXPECT_EQ(GxStreamWrite(s, out, 1), nullptr);
    EXPECT_TRUE(GxStreamClose(s, nullptr));
    EXPECT_EQ(bytes, (Bytes{1, 2, 3, 4}));

    // Growth: 512 bytes at first, then 512 more or the whole write when larger.
    GxUInt8 data[1200];
    for (size_t i = 0; i < sizeof(data); ++i)
        data[i] = static_cast<GxUInt8>(i * 31);
    s = OpenWrite();
    struct {
        GxUInt32 at, n, size;
    } steps[] = {{0, 1, 512}, {1, 499, 512}, {500, 600, 1112}, {1100, 100, 1624}};
    for (const auto& step : steps) {
        ASSERT_EQ(GxStreamWrite(s, data + step.at, step.n), s);
        EXPECT_EQ(s->Type.memory.nSize, step.size);
    }
    // Reading a write stream would hand out bytes never written.
    EXPECT_EQ(GxStreamRead(s, out, 1), 0u);
    EXPECT_EQ(GxTestCloseWriteStream(s), Bytes(data, data + 1200));

    // Appending grows the caller's engine-allocated buffer and hands the new one back.
    mem = {static_cast<GxUInt8*>(GxMalloc(3, 0)), 3};
    std::memcpy(mem.start, "abc", 3);
    s = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMAPPEND, &mem);
    ASSERT_EQ(GxStreamWrite(s, "de", 2), s);
    ASSERT_TRUE(GxStreamClose(s, &mem));
    ASSERT_EQ(mem.length, 5u);
    EXPECT_EQ(std::memcmp(mem.start, "abcde", 5), 0);
    GxFree(mem.start);

    // Closed without a record, a written stream frees its block (the leak checker watches).
    s = OpenWrite();
    ASSERT_EQ(GxStreamWrite(s, data, 700), s);
    EXPECT_TRUE(GxStreamClose(s, nullptr));
    GxTestTakeErrorCode();

    EXPECT_EQ(GxStreamOpen(gxSTREAMMEMORY, static_cast<GxStreamAccessType>(7), nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSTREAMACCESS);
    EXPECT_EQ(GxStreamOpen(static_cast<GxStreamType>(9), gxSTREAMREAD, nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSTREAMTYPE);
}

TEST_F(StreamTest, CustomStreams)
{
    VectorStream v;
    GxStream* s = OpenCustom(v, gxSTREAMWRITE);
    Document doc = SampleDocument(), back;
    ASSERT_TRUE(WriteDocument(doc, s));
    EXPECT_TRUE(GxStreamClose(s, nullptr));
    EXPECT_TRUE(v.closed);
    EXPECT_EQ(v.bytes, WriteToMemory(doc));

    s = OpenCustom(v);
    ASSERT_TRUE(ReadDocument(s, back));
    EXPECT_EQ(back, doc);
    EXPECT_EQ(GxStreamSkip(s, 1), nullptr);
    GxStreamClose(s, nullptr);

    // Refused writes fail, the int32 writer included.
    VectorStream full;
    full.writeBudget = 6;
    s = OpenCustom(full, gxSTREAMWRITE);
    GxInt32 values[2] = {1, 2};
    EXPECT_EQ(GxStreamWriteInt32(s, values, 8), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRWRITE);
    GxReal reals[100] = {};
    EXPECT_EQ(GxStreamWriteReal(s, reals, 400), nullptr);
    GxStreamClose(s, nullptr);

    GxStreamCustom none = {nullptr, nullptr, nullptr, nullptr, nullptr};
    s = GxStreamOpen(gxSTREAMCUSTOM, gxSTREAMREAD, &none);
    GxUInt8 byte;
    EXPECT_EQ(GxStreamRead(s, &byte, 1), 0u);
    EXPECT_EQ(GxStreamWrite(s, &byte, 1), nullptr);
    EXPECT_EQ(GxStreamSkip(s, 1), nullptr);
    EXPECT_TRUE(GxStreamClose(s, nullptr));
}

TEST_F(StreamTest, ArraysRoundTripAndShortReadsFail)
{
    std::vector<GxReal> reals(300);
    for (size_t i = 0; i < reals.size(); ++i)
        reals[i] = static_cast<GxReal>(i) * 0.37f - 11.0f;
    GxUInt16 shorts[3] = {0x1234, 0xFFFF, 0};
    GxStream* s = OpenWrite();
    ASSERT_EQ(GxStreamWriteReal(s, reals.data(), 1200), s);  // more than one staging piece
    ASSERT_EQ(GxStreamWriteInt32(s, shorts, 6), s);
    Bytes bytes = GxTestCloseWriteStream(s);
    ASSERT_EQ(bytes.size(), 1206u);
    EXPECT_EQ(bytes[1200], 0x34);
    EXPECT_EQ(bytes[1201], 0x12);

    GxMemory mem;
    s = OpenRead(bytes, mem);
    std::vector<GxReal> back(300);
    GxUInt16 shortsBack[3];
    ASSERT_EQ(GxStreamReadInt32(s, back.data(), 1200), s);
    ASSERT_EQ(GxStreamReadInt32(s, shortsBack, 6), s);
    EXPECT_EQ(back, reals);
    EXPECT_EQ(std::memcmp(shortsBack, shorts, 6), 0);
    GxStreamClose(s, nullptr);

    // A short read fails, not only an empty one.
    bytes.resize(6);
    s = OpenRead(bytes, mem);
    GxInt32 ints[2];
    EXPECT_EQ(GxStreamReadInt32(s, ints, 8), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, StringChunks)
{
    EXPECT_EQ(GxStringStreamGetSize("abc"), 4u);
    EXPECT_EQ(GxStringStreamGetSize("abcd"), 8u);
    EXPECT_EQ(GxStringStreamGetSize(nullptr), 4u);
    GxStream* s = OpenWrite();
    EXPECT_NE(GxStringStreamWrite("abcd", s), nullptr);
    EXPECT_NE(GxStringStreamWrite(nullptr, s), nullptr);
    Bytes expected;
    PutHeader(expected, 2, 8);
    expected.insert(expected.end(), {'a', 'b', 'c', 'd', 0, 0, 0, 0});
    PutHeader(expected, 2, 4);
    expected.insert(expected.end(), {0, 0, 0, 0});
    EXPECT_EQ(GxTestCloseWriteStream(s), expected);

    Bytes bytes;
    PutHeader(bytes, 0x07, 2);  // skipped on the way
    bytes.insert(bytes.end(), {1, 2});
    PutHeader(bytes, 2, 8);
    bytes.insert(bytes.end(), {'a', 'b', 'c', 'd', 'e', 'f', 'g', 0});
    PutHeader(bytes, 2, 4);  // no NUL in the body
    bytes.insert(bytes.end(), {'w', 'x', 'y', 'z'});
    PutHeader(bytes, 2, 12);  // bytes after the NUL are padding
    bytes.insert(bytes.end(), {'o', 'k', 0, 'j', 'u', 'n', 'k', 0, 0, 0, 0, 0});
    PutHeader(bytes, 2, 4, 0x310);
    bytes.insert(bytes.end(), {'a', 0, 0, 0});
    GxMemory mem;
    char buffer[8];
    s = OpenRead(bytes, mem);
    EXPECT_EQ(GxStringStreamRead(buffer, s, 8), buffer);  // seven characters and the NUL fit
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(GxStringStreamRead(buffer, s, 5), buffer);
    EXPECT_STREQ(buffer, "wxyz");
    EXPECT_EQ(GxStringStreamRead(buffer, s, 3), buffer);
    EXPECT_STREQ(buffer, "ok");
    EXPECT_EQ(GxStringStreamRead(buffer, s, 8), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRBADVERSION);
    GxStreamClose(s, nullptr);

    s = OpenRead(bytes, mem);
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(GxStringStreamRead(buffer, s, 7), nullptr);  // does not fit: refused, not cut
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRREAD);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[7], 'x');
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, WideStringChunks)
{
    Bytes bytes;
    PutHeader(bytes, 0x13, 8);
    bytes.insert(bytes.end(), {'S', 0, 'h', 0x01, 'o', 0, 'p', 0});
    PutHeader(bytes, 0x13, 7);  // odd: the lone last byte makes no character
    bytes.insert(bytes.end(), {'a', 0, 'b', 0, 'c', 0, 'd'});
    PutHeader(bytes, 2, 4);
    bytes.insert(bytes.end(), {'e', 'n', 'd', 0});
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    GxChar* text = GxStringStreamRead(nullptr, s, 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Shop");
    GxFree(text);
    char buffer[4];
    EXPECT_EQ(GxStringStreamRead(buffer, s, 4), buffer);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(GxStringStreamRead(buffer, s, 4), buffer);  // still in step
    EXPECT_STREQ(buffer, "end");
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, AbsurdStringSizesAllocateLittle)
{
    Bytes bytes;
    PutHeader(bytes, 2, 0x7FFFFFF0);
    bytes.insert(bytes.end(), 100, 'q');
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    gxTestMemory.largest = 0;
    EXPECT_EQ(GxStringStreamRead(nullptr, s, 0), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_EQ(gxTestMemory.largest, 0u);
    GxStreamClose(s, nullptr);

    // A stream that cannot tell its length: the buffer follows the bytes that came.
    for (GxUInt32 type : {gxID_STRING, gxID_UNICODESTRING}) {
        VectorStream v;
        PutHeader(v.bytes, type, 0xFFFFFFFF);
        v.bytes.insert(v.bytes.end(), 100, 'q');
        s = OpenCustom(v);
        gxTestMemory.largest = 0;  // after the open, which may take a free-list block
        EXPECT_EQ(GxStringStreamRead(nullptr, s, 0), nullptr);
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);  // a short custom read raises nothing, nor does the string read
        EXPECT_LE(gxTestMemory.largest, 256u);
        GxStreamClose(s, nullptr);
    }
}

// What a stream can still deliver, and blocks read against it: a memory stream knows, a custom one
// cannot tell, and a block read from it grows only with the bytes that came.
TEST_F(StreamTest, BytesLeftAndBlocksReadAgainstThem)
{
    Bytes bytes(100, 7);
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    EXPECT_EQ(GxStreamBytesLeft(s), 100u);
    ASSERT_EQ(GxStreamSkip(s, 30), s);
    EXPECT_EQ(GxStreamBytesLeft(s), 70u);
    EXPECT_TRUE(GxStreamCanSupply(s, 70));
    EXPECT_FALSE(GxStreamCanSupply(s, 71));
    gxTestMemory.largest = 0;
    EXPECT_EQ(GxStreamReadBlock(s, 0xFFFFFFF0u), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_EQ(gxTestMemory.largest, 0u);
    GxUInt8* block = GxStreamReadBlock(s, 70);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[69], 7);
    GxFree(block);
    EXPECT_EQ(GxStreamBytesLeft(s), 0u);
    GxStreamClose(s, nullptr);
    EXPECT_EQ(GxStreamBytesLeft(nullptr), 0u);

    VectorStream v;
    v.bytes.assign(0x30000, 9);
    s = OpenCustom(v);
    EXPECT_EQ(GxStreamBytesLeft(s), gxSTREAMBYTESUNKNOWN);
    EXPECT_TRUE(GxStreamCanSupply(s, 0xFFFFFFFFu));
    gxTestMemory.largest = 0;
    EXPECT_EQ(GxStreamReadBlock(s, 0xFFFFFFF0u), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRREAD);
    EXPECT_LE(gxTestMemory.largest, 2u * 0x30000);
    GxStreamClose(s, nullptr);
    v.position = 0;
    s = OpenCustom(v);
    block = GxStreamReadBlock(s, 0x30000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0x2FFFF], 9);
    GxFree(block);
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, NameRecords)
{
    std::string name32(32, 'n');
    Bytes bytes;
    for (const std::string& name : {std::string("lobby"), name32, name32 + "!"}) {
        bytes.insert(bytes.end(), {0xAD, 0xDE, 0, 0});
        PutHeader(bytes, 2, GxStringStreamGetSize(name.c_str()));
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.resize(bytes.size() + GxStringStreamGetSize(name.c_str()) - name.size(), 0);
    }
    GxMemory mem;
    GxStream* s = OpenRead(bytes, mem);
    GxNameRecord* a = GxNameRecordStreamRead(s);
    GxNameRecord* b = GxNameRecordStreamRead(s);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(a->name, "lobby");
    EXPECT_EQ(std::string(b->name), name32);
    EXPECT_EQ(GxNameRecordStreamRead(s), nullptr);  // 33 characters do not fit
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRREAD);
    EXPECT_EQ(GxNameRecordStreamRead(s), nullptr);  // nothing left
    EXPECT_TRUE(GxNameRecordDestroy(a));
    EXPECT_TRUE(GxNameRecordDestroy(b));
    EXPECT_TRUE(GxNameRecordDestroy(nullptr));
    GxStreamClose(s, nullptr);
}

TEST_F(StreamTest, DocumentsRoundTripAndDamageIsRefused)
{
    Document doc = SampleDocument(), back;
    Bytes full = WriteToMemory(doc);
    ASSERT_TRUE(ReadFromMemory(full, back));
    EXPECT_EQ(back, doc);
    EXPECT_EQ(WriteToMemory(back), full);

    for (size_t n = 0; n < full.size(); ++n) {
        Document cut;
        EXPECT_FALSE(ReadFromMemory(Prefix(full, n), cut)) << "prefix of " << n << " bytes";
        VectorStream v;
        v.bytes = Prefix(full, n);
        GxStream* s = OpenCustom(v);
        EXPECT_FALSE(ReadDocument(s, cut)) << "custom prefix of " << n << " bytes";
        GxStreamClose(s, nullptr);
        GxTestTakeErrorCode();
    }
    gxTestMemory.largest = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        for (GxUInt8 value : {0x00, 0x7F, 0xFF}) {
            Bytes bad = full;
            bad[i] = value;
            Document any;
            ReadFromMemory(bad, any);  // read or refused, never a crash, a leak or a huge block
            GxTestTakeErrorCode();
        }
    }
    EXPECT_LE(gxTestMemory.largest, 4096u);
}

TEST(StreamEngineTest, NeedsAStartedEngineAndWorksWithoutFreeLists)
{
    GxMemory mem = {nullptr, 0};
    EXPECT_EQ(GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &mem), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENGINESTATE);
    ASSERT_TRUE(GxTestEngineStart(1, 0));  // free lists off: records are plain blocks
    Document doc = SampleDocument(), back;
    Bytes bytes = WriteToMemory(doc);
    EXPECT_TRUE(ReadFromMemory(bytes, back));
    EXPECT_EQ(back, doc);
    GxTestEngineShutdown();
}

class StreamFileTest : public StreamTest {
protected:
    void SetUp() override
    {
        StreamTest::SetUp();
        ASSERT_TRUE(GxTestFileSystemOpen());
        path = std::string("stream_test_") + GxTestRunTag() + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".gxs";
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        std::remove(path.c_str());
        StreamTest::TearDown();
    }
    bool WriteFile(const Bytes& bytes)
    {
        GxStream* s = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMWRITE, path.c_str());
        bool ok = s != nullptr && GxStreamWrite(s, bytes.data(), static_cast<GxUInt32>(bytes.size()));
        return GxStreamClose(s, nullptr) && ok;
    }
    GxStream* OpenFileRead() { return GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, path.c_str()); }
    std::string path;
};

TEST_F(StreamFileTest, FileStreamsRoundTrip)
{
    Document doc = SampleDocument();
    for (GxStreamAccessType access : {gxSTREAMWRITE, gxSTREAMAPPEND}) {
        GxStream* s = GxStreamOpen(gxSTREAMFILENAME, access, path.c_str());
        ASSERT_NE(s, nullptr);
        ASSERT_TRUE(WriteDocument(doc, s));
        ASSERT_TRUE(GxStreamClose(s, nullptr));
    }
    GxStream* s = OpenFileRead();
    for (int i = 0; i < 2; ++i) {
        Document back;
        ASSERT_TRUE(ReadDocument(s, back));
        EXPECT_EQ(back, doc);
    }
    GxUInt8 byte;
    EXPECT_EQ(GxStreamRead(s, &byte, 1), 0u);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    ASSERT_TRUE(GxStreamClose(s, nullptr));

    // An open-file stream reads the same bytes and leaves the file open.
    Bytes once = WriteToMemory(doc), twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    GxFile* file = GxFileOpen(path.c_str(), "rb");
    s = GxStreamOpen(gxSTREAMFILE, gxSTREAMREAD, file);
    ASSERT_NE(s, nullptr);
    Bytes bytes(twice.size());
    EXPECT_EQ(GxStreamRead(s, bytes.data(), static_cast<GxUInt32>(bytes.size())), bytes.size());
    ASSERT_TRUE(GxStreamClose(s, nullptr));
    EXPECT_EQ(GxFileTell(file), static_cast<GxInt32>(bytes.size()));
    GxFileClose(file);
    EXPECT_EQ(bytes, twice);
    // A file without a position makes no stream, and no error.
    EXPECT_EQ(GxStreamOpen(gxSTREAMFILE, gxSTREAMREAD, nullptr), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOERROR);

    EXPECT_EQ(GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, "no_such_stream_file.gxs"), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSTREAMOPEN);
    EXPECT_EQ(GxStreamOpen(gxSTREAMFILENAME, static_cast<GxStreamAccessType>(0), path.c_str()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRSTREAMACCESS);
}

TEST_F(StreamFileTest, BytesLeftFollowTheFilePosition)
{
    ASSERT_TRUE(WriteFile(Bytes(40, 1)));
    GxStream* s = OpenFileRead();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(GxStreamBytesLeft(s), 40u);
    GxUInt8 some[15];
    ASSERT_EQ(GxStreamRead(s, some, sizeof(some)), sizeof(some));
    EXPECT_EQ(GxStreamBytesLeft(s), 25u);
    ASSERT_EQ(GxStreamSkip(s, 25), s);
    EXPECT_EQ(GxStreamBytesLeft(s), 0u);
    GxStreamClose(s, nullptr);
}

// Every failed write, and so the close of a file that lost data, is reported.
TEST_F(StreamFileTest, FailedWritesFailTheWriteAndTheClose)
{
    for (LONG successes : {0, 1}) {
        GxStream* s = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMWRITE, path.c_str());
        ASSERT_NE(s, nullptr);
        StandInFailWritesAfter(successes);
        const bool first = GxStreamWrite(s, "abcd", 4) != nullptr;
        const bool second = GxStreamWrite(s, "efgh", 4) != nullptr;
        StandInFailWritesAfter(-1);
        EXPECT_EQ(first, successes > 0);
        EXPECT_FALSE(second);
        EXPECT_FALSE(GxStreamClose(s, nullptr)) << successes;
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRWRITE);
    }
    VectorStream v;
    GxStreamCustom refusing = {[](void*) -> GxBool { return 0; }, nullptr, VecWrite, nullptr, &v};
    GxStream* s = GxStreamOpen(gxSTREAMCUSTOM, gxSTREAMWRITE, &refusing);
    EXPECT_FALSE(GxStreamClose(s, nullptr));
}

TEST_F(StreamFileTest, SkipsAndTruncatedFiles)
{
    ASSERT_TRUE(WriteFile(Bytes(20, 0)));
    GxStream* s = OpenFileRead();
    ASSERT_EQ(GxStreamSkip(s, 15), s);
    EXPECT_EQ(GxStreamSkip(s, 6), nullptr);  // a seek past the end would seem to work
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    GxUInt8 byte;
    EXPECT_EQ(GxStreamRead(s, &byte, 1), 0u);  // left at the end, as a memory stream is
    GxStreamClose(s, nullptr);
    s = OpenFileRead();
    EXPECT_EQ(GxStreamSkip(s, 20), s);
    GxStreamClose(s, nullptr);
    GxTestTakeErrorCode();

    Bytes full = WriteToMemory(SampleDocument());
    for (size_t n = 0; n < full.size(); ++n) {
        ASSERT_TRUE(WriteFile(Prefix(full, n)));
        s = OpenFileRead();
        Document doc;
        EXPECT_FALSE(ReadDocument(s, doc)) << "prefix of " << n << " bytes";
        GxStreamClose(s, nullptr);
        GxTestTakeErrorCode();
    }
}

}  // namespace
