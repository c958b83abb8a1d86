// Tests of plugin registries, their extension chunk and the first-error record.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

std::vector<int> calls;

template <int N>
void* Construct(void* object, GxInt32 offset, GxInt32)
{
    calls.push_back(N);
    *reinterpret_cast<GxInt32*>(static_cast<char*>(object) + offset) = N * 100;
    return object;
}
template <int N>
void* Destruct(void* object, GxInt32, GxInt32)
{
    calls.push_back(-N);
    return object;
}
template <int N>
void* Copy(void* dst, const void* src, GxInt32 offset, GxInt32)
{
    calls.push_back(10 * N);
    memcpy(static_cast<char*>(dst) + offset, static_cast<const char*>(src) + offset, 4);
    return dst;
}
void* Fail(void*, GxInt32, GxInt32)
{
    calls.push_back(0);
    return nullptr;
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        GxTestEngineSetup setup = GxTestRecordingSetup();
        setup.start = false;
        engine.emplace(setup);
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;
    GxPluginRegistry reg = GxPluginRegistryInitializer(40, 0);
};

TEST_F(PluginTest, OffsetsFollowRegistrationOrder)
{
    EXPECT_EQ(40, GxPluginRegistryAddPlugin(&reg, 5, 0x101, nullptr, nullptr, nullptr));
    EXPECT_EQ(48, GxPluginRegistryAddPlugin(&reg, 8, 0x102, nullptr, nullptr, nullptr));
    EXPECT_EQ(56, GxPluginRegistryAddPlugin(&reg, 1, 0x103, nullptr, nullptr, nullptr));
    EXPECT_EQ(60, reg.sizeOfStruct);
    // A block that can hold a pointer starts on a pointer boundary.
    EXPECT_EQ(64, GxPluginRegistryAddPlugin(&reg, 16, 0x104, nullptr, nullptr, nullptr));
    EXPECT_EQ(80, reg.sizeOfStruct);

    // A duplicate is an error but finds its data.
    EXPECT_EQ(48, GxPluginRegistryAddPlugin(&reg, 8, 0x102, nullptr, nullptr, nullptr));
    EXPECT_EQ(gxERRPLUGINREG, GxTestTakeErrorCode());
    EXPECT_EQ(80, reg.sizeOfStruct);
    EXPECT_EQ(56, GxPluginRegistryGetPluginOffset(&reg, 0x103));
    EXPECT_EQ(-1, GxPluginRegistryGetPluginOffset(&reg, 0x999));

    GxPluginRegistry limited = GxPluginRegistryInitializer(40, 48);
    EXPECT_EQ(40, GxPluginRegistryAddPlugin(&limited, 8, 0x101, nullptr, nullptr, nullptr));
    EXPECT_EQ(-1, GxPluginRegistryAddPlugin(&limited, 1, 0x102, nullptr, nullptr, nullptr));
    EXPECT_EQ(gxERRNOERROR, GxTestTakeErrorCode());

    // Terminating resets every registry to its bare size.
    GxTestEngineShutdown();
    EXPECT_EQ(40, reg.sizeOfStruct);
    EXPECT_EQ(nullptr, reg.firstRegEntry);
    EXPECT_EQ(40, limited.sizeOfStruct);
    EXPECT_EQ(-1, GxPluginRegistryAddPlugin(&reg, 4, 0x101, nullptr, nullptr, nullptr));  // module closed
}

TEST_F(PluginTest, ConstructorFailureUnwindsTheEarlierOnesInReverse)
{
    GxPluginRegistryAddPlugin(&reg, 4, 0x101, Construct<1>, Destruct<1>, Copy<1>);
    GxPluginRegistryAddPlugin(&reg, 4, 0x102, Construct<2>, Destruct<2>, Copy<2>);
    GxPluginRegistryAddPlugin(&reg, 4, 0x103, Fail, Destruct<3>, nullptr);
    GxPluginRegistryAddPlugin(&reg, 4, 0x104, Construct<4>, Destruct<4>, nullptr);
    std::vector<char> object(reg.sizeOfStruct);
    EXPECT_EQ(nullptr, GxPluginRegistryInitObject(&reg, object.data()));
    EXPECT_EQ((std::vector<int>{1, 2, 0, -2, -1}), calls);
}

TEST_F(PluginTest, ObjectsAreBuiltCopiedAndDestroyedThroughEveryPlugin)
{
    GxInt32 first = GxPluginRegistryAddPlugin(&reg, 4, 0x101, Construct<1>, Destruct<1>, Copy<1>);
    GxInt32 second = GxPluginRegistryAddPlugin(&reg, 4, 0x102, Construct<2>, Destruct<2>, Copy<2>);
    GxPluginRegistryAddPlugin(&reg, 4, 0x103, nullptr, nullptr, nullptr);  // pass-through callbacks
    std::vector<char> a(reg.sizeOfStruct), b(reg.sizeOfStruct, 0);
    ASSERT_EQ(&reg, GxPluginRegistryInitObject(&reg, a.data()));
    EXPECT_EQ(100, *reinterpret_cast<GxInt32*>(&a[first]));
    EXPECT_EQ(200, *reinterpret_cast<GxInt32*>(&a[second]));
    EXPECT_EQ(&reg, GxPluginRegistryCopyObject(&reg, b.data(), a.data()));
    EXPECT_EQ(200, *reinterpret_cast<GxInt32*>(&b[second]));
    EXPECT_EQ(&reg, GxPluginRegistryDeInitObject(&reg, a.data()));
    EXPECT_EQ((std::vector<int>{1, 2, 10, 20, -2, -1}), calls);
}

TEST(PluginRegistryFreeListsOff, EntriesAreFoundAndFreedWithoutTheFreeList)
{
    static GxPluginRegistry reg = GxPluginRegistryInitializer(16, 0);
    {
        GxTestEngineSetup setup = GxTestRecordingSetup();
        setup.initFlags = 1;
        setup.start = false;
        GxTestEngine engine(setup);
        GX_ASSERT_ENGINE_STARTED(engine);
        EXPECT_EQ(16, GxPluginRegistryAddPlugin(&reg, 4, 0x101, nullptr, nullptr, nullptr));
        EXPECT_EQ(24, GxPluginRegistryAddPlugin(&reg, 8, 0x102, nullptr, nullptr, nullptr));
    }
    EXPECT_EQ(16, reg.sizeOfStruct);
    EXPECT_EQ(nullptr, reg.firstRegEntry);
}

TEST(ErrorRecord, FirstErrorWinsUntilRead)
{
    GxTestTakeError();
    GxErrorRaise(1, gxERRDEVICEREQUEST);
    GxErrorRaise(1, gxERRNOMEMORY);
    GxError error = GxTestTakeError();
    EXPECT_EQ(1, error.pluginID);
    EXPECT_EQ(gxERRDEVICEREQUEST, error.errorCode);
    error = GxTestTakeError();
    EXPECT_EQ(0, error.pluginID);
    EXPECT_EQ(gxERRNOERROR, error.errorCode);

    GxErrorRaise(1, gxERRNOMEMORY);
    error = GxTestTakeError();
    EXPECT_EQ(0, error.pluginID);
    EXPECT_EQ(gxERRNOMEMORY, error.errorCode);

    GxError record = {0x116, 7};
    EXPECT_EQ(&record, GxErrorSet(&record));
    EXPECT_EQ(0x116, GxTestTakeError().pluginID);
    EXPECT_EQ(42, GxErrorMakeCode(42, "dropped message"));
}

TEST(ErrorRecord, StartedEngineKeepsItsOwnRecord)
{
    GxTestTakeError();
    ASSERT_TRUE(GxTestEngineStart());
    GxErrorRaise(1, 5);
    EXPECT_EQ(5, GxTestTakeErrorCode());
    GxErrorRaise(0x120, 3);
    GxEngineStop();
    // The module's record went with the module; the static one is clean.
    EXPECT_EQ(gxERRNOERROR, GxTestTakeErrorCode());
    GxTestEngineShutdown();
}

// Extension chunks --------------------------------------------------------------

struct Extension {
    GxInt32 value;
    GxInt32 readCount;
};

Extension* Ext(void* object, GxInt32 offset)
{
    return reinterpret_cast<Extension*>(static_cast<char*>(object) + offset);
}
const Extension* Ext(const void* object, GxInt32 offset)
{
    return reinterpret_cast<const Extension*>(static_cast<const char*>(object) + offset);
}

// Writes its value as one 4-byte word.
GxInt32 WordSize(const void* object, GxInt32 offset, GxInt32) { return Ext(object, offset)->value ? 4 : 0; }
GxStream* WordWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    return GxStreamWrite(stream, &Ext(object, offset)->value, 4);
}
GxStream* WordRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    Extension* ext = Ext(object, offset);
    ext->readCount++;
    if (length < 4 || GxStreamRead(stream, &ext->value, 4) != 4) {
        return nullptr;
    }
    return stream;
}
// Writes 12 bytes: its value and two words that the reader below does not look at.
GxInt32 LongSize(const void*, GxInt32, GxInt32) { return 12; }
GxStream* LongWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    GxInt32 words[3] = {Ext(object, offset)->value, 0x11111111, 0x22222222};
    return GxStreamWrite(stream, words, sizeof(words));
}
// Reads 8 bytes whatever it was given.
GxStream* GreedyRead(GxStream* stream, GxInt32, void* object, GxInt32 offset, GxInt32)
{
    GxInt32 words[2];
    Ext(object, offset)->readCount++;
    return GxStreamRead(stream, words, sizeof(words)) == sizeof(words) ? stream : nullptr;
}

class ExtensionChunkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Registries grow only before the engine opens.
        engine.emplace(GxTestRecordingSetup([this] {
            a = GxPluginRegistryAddPlugin(&reg, sizeof(Extension), 0x201, nullptr, nullptr, nullptr);
            b = GxPluginRegistryAddPlugin(&reg, sizeof(Extension), 0x202, nullptr, nullptr, nullptr);
            c = GxPluginRegistryAddPlugin(&reg, sizeof(Extension), 0x203, nullptr, nullptr, nullptr);
            return true;
        }));
        GX_ASSERT_ENGINE_STARTED(*engine);
        source.assign(reg.sizeOfStruct, 0);
        target.assign(reg.sizeOfStruct, 0);
    }
    void TearDown() override { engine.reset(); }

    void Stream(std::vector<GxUInt8>* out)
    {
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
        ASSERT_NE(nullptr, stream);
        ASSERT_EQ(&reg, GxPluginRegistryWriteDataChunks(&reg, stream, source.data()));
        *out = GxTestCloseWriteStream(stream);
    }
    const GxPluginRegistry* Read(std::vector<GxUInt8>& bytes, GxUInt32 length, GxUInt32* position = nullptr)
    {
        GxMemory memory = {bytes.data(), length};
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        const GxPluginRegistry* result = GxPluginRegistryReadDataChunks(&reg, stream, target.data());
        if (position) {
            *position = stream->Type.memory.position;
        }
        GxStreamClose(stream, nullptr);
        return result;
    }
    static void PutWord(std::vector<GxUInt8>& bytes, size_t at, GxUInt32 value) { memcpy(&bytes[at], &value, 4); }

    GxPluginRegistry reg = GxPluginRegistryInitializer(16, 0);
    GxInt32 a = 0, b = 0, c = 0;
    std::vector<char> source, target;
    std::optional<GxTestEngine> engine;
};

TEST_F(ExtensionChunkTest, WrittenExtensionsReadBack)
{
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, WordWrite, WordSize);
    GxPluginRegistryAddPluginStream(&reg, 0x202, WordRead, WordWrite, WordSize);
    GxPluginRegistryAddPluginStream(&reg, 0x203, WordRead, WordWrite, WordSize);
    Ext(source.data(), a)->value = 17;
    Ext(source.data(), b)->value = 0;  // nothing to write
    Ext(source.data(), c)->value = -5;
    EXPECT_EQ(32, GxPluginRegistryGetSize(&reg, source.data()));
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    ASSERT_EQ(44u, bytes.size());
    const GxUInt8 header[] = {0x03, 0, 0, 0, 32, 0, 0, 0, 0x0A, 0x00, 0x02, 0x1C};
    EXPECT_EQ(0, memcmp(header, bytes.data(), sizeof(header)));
    ASSERT_EQ(&reg, Read(bytes, 44));
    EXPECT_EQ(17, Ext(target.data(), a)->value);
    EXPECT_EQ(0, Ext(target.data(), b)->readCount);
    EXPECT_EQ(-5, Ext(target.data(), c)->value);

    // An empty extension chunk reads as nothing.
    Ext(source.data(), a)->value = 0;
    Ext(source.data(), c)->value = 0;
    Stream(&bytes);
    EXPECT_EQ(12u, bytes.size());
    EXPECT_EQ(&reg, Read(bytes, 12));
}

TEST_F(ExtensionChunkTest, UnknownAndCallbackLessSubChunksAreSkipped)
{
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, WordWrite, WordSize);
    GxPluginRegistryAddPluginStream(&reg, 0x202, nullptr, WordWrite, WordSize);
    GxPluginRegistryAddPluginStream(&reg, 0x203, WordRead, WordWrite, WordSize);
    Ext(source.data(), a)->value = 1;
    Ext(source.data(), b)->value = 2;
    Ext(source.data(), c)->value = 3;
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    ASSERT_EQ(12u + 3 * 16, bytes.size());
    PutWord(bytes, 12, 0x999);  // the first sub-chunk now belongs to nobody
    ASSERT_EQ(&reg, Read(bytes, static_cast<GxUInt32>(bytes.size())));
    EXPECT_EQ(0, Ext(target.data(), a)->readCount);
    EXPECT_EQ(0, Ext(target.data(), b)->value);
    EXPECT_EQ(3, Ext(target.data(), c)->value);
}

TEST_F(ExtensionChunkTest, ShortReadsAreSkippedAndLongReadsRefused)
{
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, LongWrite, LongSize);
    GxPluginRegistryAddPluginStream(&reg, 0x202, WordRead, WordWrite, WordSize);
    Ext(source.data(), a)->value = 8;
    Ext(source.data(), b)->value = 9;
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    GxUInt32 position = 0;
    ASSERT_EQ(&reg, Read(bytes, static_cast<GxUInt32>(bytes.size()), &position));
    EXPECT_EQ(8, Ext(target.data(), a)->value);
    EXPECT_EQ(9, Ext(target.data(), b)->value);
    EXPECT_EQ(bytes.size(), position);

    // A reader that takes 8 bytes of a 4-byte sub-chunk eats into the next one.
    GxPluginRegistryAddPluginStream(&reg, 0x201, GreedyRead, WordWrite, WordSize);
    Stream(&bytes);
    GxTestTakeError();
    EXPECT_EQ(nullptr, Read(bytes, static_cast<GxUInt32>(bytes.size())));
    EXPECT_EQ(gxERRREAD, GxTestTakeErrorCode());
}

TEST_F(ExtensionChunkTest, MalformedLengthsAreRefused)
{
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, WordWrite, WordSize);
    GxPluginRegistryAddPluginStream(&reg, 0x202, WordRead, WordWrite, WordSize);
    Ext(source.data(), a)->value = 1;
    Ext(source.data(), b)->value = 2;
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    ASSERT_EQ(44u, bytes.size());

    std::vector<GxUInt8> longer = bytes;
    PutWord(longer, 12 + 4, 21);  // first sub-chunk claims more than the body holds
    EXPECT_EQ(nullptr, Read(longer, 44));

    std::vector<GxUInt8> huge = bytes;
    PutWord(huge, 12 + 4, 0xFFFFFFF8u);
    EXPECT_EQ(nullptr, Read(huge, 44));

    std::vector<GxUInt8> ragged = bytes;
    PutWord(ragged, 4, 30);  // the body ends inside the second sub-chunk's header
    EXPECT_EQ(nullptr, Read(ragged, 44));
    PutWord(ragged, 4, 20);  // ... or inside its body
    EXPECT_EQ(nullptr, Read(ragged, 44));

    std::vector<GxUInt8> oldVersion = bytes;
    PutWord(oldVersion, 8, 0x310);
    GxTestTakeError();
    EXPECT_EQ(nullptr, Read(oldVersion, 44));
    EXPECT_EQ(gxERRBADVERSION, GxTestTakeErrorCode());

    // Every truncation of a valid chunk is refused without reading past the data.
    for (GxUInt32 length = 0; length < bytes.size(); length++) {
        std::vector<GxUInt8> prefix(bytes.begin(), bytes.begin() + length);
        EXPECT_EQ(nullptr, Read(prefix, length)) << length;
    }
    // Any damaged byte either still parses or is refused; the reader never leaves the data.
    for (size_t at = 0; at < bytes.size(); at++) {
        for (GxUInt8 value : {0x00, 0x7F, 0xFF}) {
            std::vector<GxUInt8> damaged = bytes;
            damaged[at] = value;
            GxUInt32 position = 0;
            if (Read(damaged, 44, &position)) {
                EXPECT_LE(position, 44u);
            }
        }
    }
    GxTestTakeError();
}

TEST_F(ExtensionChunkTest, AlwaysCallbacksRunAfterTheSubChunksAndCanFailTheRead)
{
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, WordWrite, WordSize);
    static std::vector<int> seen;
    seen.clear();
    auto alwaysB = [](void* object, GxInt32 offset, GxInt32) -> GxBool {
        seen.push_back(Ext(object, offset - static_cast<GxInt32>(sizeof(Extension)))->value);
        return 1;
    };
    auto alwaysC = [](void*, GxInt32, GxInt32) -> GxBool {
        seen.push_back(-1);
        return 0;
    };
    EXPECT_EQ(b, GxPluginRegistryAddPluginStreamAlways(&reg, 0x202, alwaysB));
    Ext(source.data(), a)->value = 6;
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    EXPECT_EQ(&reg, Read(bytes, static_cast<GxUInt32>(bytes.size())));
    EXPECT_EQ(std::vector<int>{6}, seen);
    GxPluginRegistryAddPluginStreamAlways(&reg, 0x203, alwaysC);
    EXPECT_EQ(nullptr, Read(bytes, static_cast<GxUInt32>(bytes.size())));
    EXPECT_EQ(-1, GxPluginRegistryAddPluginStreamAlways(&reg, 0x999, alwaysC));
}

TEST_F(ExtensionChunkTest, TheAnnouncedLengthAlwaysMatchesWhatIsWritten)
{
    // A size without a writer announces nothing, so the chunk still parses.
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, nullptr, LongSize);
    GxPluginRegistryAddPluginStream(&reg, 0x202, WordRead, WordWrite, WordSize);
    Ext(source.data(), b)->value = 4;
    EXPECT_EQ(16, GxPluginRegistryGetSize(&reg, source.data()));
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    EXPECT_EQ(28u, bytes.size());
    ASSERT_EQ(&reg, Read(bytes, 28));
    EXPECT_EQ(4, Ext(target.data(), b)->value);

    // A writer that writes more than its size said is refused.
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, LongWrite, WordSize);
    Ext(source.data(), a)->value = 1;
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    GxTestTakeError();
    EXPECT_EQ(nullptr, GxPluginRegistryWriteDataChunks(&reg, stream, source.data()));
    EXPECT_EQ(gxERRWRITE, GxTestTakeErrorCode());
    GxStreamClose(stream, nullptr);
}

TEST_F(ExtensionChunkTest, SkipPassesOverTheWholeChunk)
{
    GxPluginRegistryAddPluginStream(&reg, 0x201, WordRead, LongWrite, LongSize);
    std::vector<GxUInt8> bytes;
    Stream(&bytes);
    bytes.push_back(0xAB);
    GxMemory memory = {bytes.data(), static_cast<GxUInt32>(bytes.size())};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    EXPECT_EQ(&reg, GxPluginRegistrySkipDataChunks(&reg, stream));
    GxUInt8 next = 0;
    EXPECT_EQ(1u, GxStreamRead(stream, &next, 1));
    EXPECT_EQ(0xAB, next);
    GxStreamClose(stream, nullptr);

    PutWord(bytes, 4, 8);  // body too short for its sub-chunk
    memory = {bytes.data(), static_cast<GxUInt32>(bytes.size())};
    stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    EXPECT_EQ(nullptr, GxPluginRegistrySkipDataChunks(&reg, stream));
    GxStreamClose(stream, nullptr);
}

}  // namespace
