// The clump extension: its words on new and cloned clumps, its refusals while unregistered, and a stream form
// that carries no pointers.
#include "engine/world/clumpext.h"

#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/core/bytes.h"
#include "gfx/core/plugin.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

const GxUInt32 kStreamSize = 8;
const size_t kChunkHeader = 12;

// Stand-ins for the engine object and composite model a clump names; only their addresses matter.
int g_objectStorage = 0;
int g_compositeStorage = 0;
CFerroxObject* const kObject = reinterpret_cast<CFerroxObject*>(&g_objectStorage);
CFerroxComposite* const kComposite = reinterpret_cast<CFerroxComposite*>(&g_compositeStorage);

// An engine with the world objects and, when asked, the clump extension.
GxTestEngineSetup EngineSetup(bool withExtension)
{
    return GxTestRecordingSetup(
        [withExtension] { return GxWorldPluginAttach() && (!withExtension || AttachClumpExtension()); });
}

GxClump* NewClump()
{
    GxClump* clump = GxClumpCreate();
    if (clump)
        GxClumpSetFrame(clump, GxFrameCreate());
    return clump;
}

std::vector<GxUInt8> WriteClump(GxClump* clump)
{
    return GxWorldTestWrite([clump](GxStream* s) { return GxClumpStreamWrite(clump, s) != nullptr; });
}

GxClump* ReadClump(const std::vector<GxUInt8>& bytes)
{
    return GxWorldTestRead<GxClump>(bytes, gxID_CLUMP, GxClumpStreamRead);
}

class ClumpExtension : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(EngineSetup(true));
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;
};

}  // namespace

TEST_F(ClumpExtension, NewClumpsAreEmptyAndClonesCarryBothWords)
{
    GxClump* clump = NewClump();
    ASSERT_NE(nullptr, clump);
    EXPECT_EQ(nullptr, GetClumpOwner(clump));
    EXPECT_EQ(nullptr, GetClumpComposite(clump));
    EXPECT_EQ(1, SetClumpOwner(clump, kObject));
    EXPECT_EQ(1, SetClumpComposite(clump, kComposite));
    EXPECT_EQ(kObject, GetClumpOwner(clump));
    EXPECT_EQ(kComposite, GetClumpComposite(clump));

    GxClump* clone = GxClumpClone(clump);
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(kObject, GetClumpOwner(clone));
    EXPECT_EQ(kComposite, GetClumpComposite(clone));
    GxClumpDestroy(clone);
    GxClumpDestroy(clump);

    EXPECT_EQ(nullptr, GetClumpOwner(nullptr));
    EXPECT_EQ(0, SetClumpOwner(nullptr, kObject));
    EXPECT_EQ(0, SetClumpComposite(nullptr, kComposite));
}

// A written clump carries the two words; a read clump names nothing, whatever its file says, for the words
// name objects of the running program.
TEST_F(ClumpExtension, StreamsCarryTheWordsOutButNotIn)
{
    GxClump* clump = NewClump();
    ASSERT_NE(nullptr, clump);
    SetClumpOwner(clump, kObject);
    SetClumpComposite(clump, kComposite);
    std::vector<GxUInt8> bytes = WriteClump(clump);
    GxClumpDestroy(clump);
    // The extension's sub-chunk closes the clump's extension chunk, which closes the file.
    ASSERT_GE(bytes.size(), 2 * kChunkHeader + kStreamSize);
    const size_t sub = bytes.size() - kChunkHeader - kStreamSize;
    ASSERT_EQ(kFerroxClumpExtensionID, GxBytesGetU32(&bytes[sub]));
    ASSERT_EQ(kStreamSize, GxBytesGetU32(&bytes[sub + 4]));
    ASSERT_EQ(gxID_EXTENSION, GxBytesGetU32(&bytes[sub - kChunkHeader]));
    EXPECT_EQ(static_cast<GxUInt32>(reinterpret_cast<uintptr_t>(kObject)), GxBytesGetU32(&bytes[sub + kChunkHeader]));
    EXPECT_EQ(static_cast<GxUInt32>(reinterpret_cast<uintptr_t>(kComposite)),
              GxBytesGetU32(&bytes[sub + kChunkHeader + 4]));

    // Words planted in a file are read past and dropped.
    GxBytesPutU32(&bytes[sub + kChunkHeader], 0xDEADBEEFu);
    GxBytesPutU32(&bytes[sub + kChunkHeader + 4], 0x12345678u);
    GxClump* read = ReadClump(bytes);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(nullptr, GetClumpOwner(read));
    EXPECT_EQ(nullptr, GetClumpComposite(read));
    GxClumpDestroy(read);

    // A sub-chunk shorter than its two words is refused, with every enclosing length kept consistent.
    const GxUInt32 cut = 4;
    std::vector<GxUInt8> shorter(bytes.begin(), bytes.end() - cut);
    GxBytesPutU32(&shorter[sub + 4], kStreamSize - cut);
    GxBytesPutU32(&shorter[sub - kChunkHeader + 4], GxBytesGetU32(&shorter[sub - kChunkHeader + 4]) - cut);
    GxBytesPutU32(&shorter[4], GxBytesGetU32(&shorter[4]) - cut);
    EXPECT_EQ(nullptr, ReadClump(shorter));
    GxTestTakeError();
}

// Registration refused (the engine is already open) must not pass for success because both calls gave -1.
TEST(ClumpExtensionAttach, RefusedRegistrationIsAFailure)
{
    GxTestEngine engine(EngineSetup(false));
    GX_ASSERT_ENGINE_STARTED(engine);
    EXPECT_EQ(0, AttachClumpExtension());
}

// Without the extension no word is read or stored, even when an earlier run of the engine had it at an
// offset the clumps of this run do not have.
TEST(ClumpExtensionAttach, UnregisteredClumpsStoreNothing)
{
    {
        GxTestEngine earlier(EngineSetup(true));
        GX_ASSERT_ENGINE_STARTED(earlier);
    }
    GxTestEngine engine(EngineSetup(false));
    GX_ASSERT_ENGINE_STARTED(engine);
    GxClump* clump = NewClump();
    ASSERT_NE(nullptr, clump);
    EXPECT_EQ(0, SetClumpOwner(clump, kObject));
    EXPECT_EQ(0, SetClumpComposite(clump, kComposite));
    EXPECT_EQ(nullptr, GetClumpOwner(clump));
    EXPECT_EQ(nullptr, GetClumpComposite(clump));
    GxClumpDestroy(clump);
}
