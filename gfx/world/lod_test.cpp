// Tests of level-of-detail atomics: selection by depth, the hooked render callback, the record's stream.
#include "gfx/core/bytes.h"
#include "gfx/core/camera.h"
#include "gfx/core/pipeline.h"
#include "gfx/world/lod_testing.h"
#include "gfx/world/world_testing.h"

namespace {

std::vector<GxAtomic*> drawn;

GxAtomic* Draw(GxAtomic* atomic)
{
    drawn.push_back(atomic);
    return atomic;
}

GxInt32 chosen = 0;
GxInt32 Choose(GxAtomic*) { return chosen; }

class LOD : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        drawn.clear();
        for (GxGeometry*& level : levels) {
            level = GxWorldTestBox(nullptr, nullptr);
        }
        atomic = GxAtomicCreate();
        GxAtomicSetRenderCallBack(atomic, Draw);
        GxAtomicSetGeometry(atomic, levels[0], 0);
    }
    void TearDown() override
    {
        GxAtomicDestroy(atomic);
        for (GxGeometry* level : levels) {
            GxGeometryDestroy(level);
        }
        WorldTest::TearDown();
    }

    GxGeometry* levels[3] = {};
    GxAtomic* atomic = nullptr;
};

}  // namespace

TEST_F(LOD, DefaultSelectionFollowsDepth)
{
    GxCamera* camera = GxCameraCreate();
    GxFrame* eye = GxFrameCreate();
    GxFrame* place = GxFrameCreate();
    GxObjectSetFrame(&camera->object, eye);
    GxAtomicSetFrame(atomic, place);
    GxEngineInstance->curCamera = camera;
    GxLODAtomicSetGeometry(atomic, 1, levels[1]);
    ASSERT_EQ(GxLODAtomicSetLevelScale(atomic, 0.01f), atomic);
    const struct {
        GxReal z;
        GxInt32 level;
    } cases[] = {{250.0f, 2}, {2000.0f, 9}, {-50.0f, 0}};
    for (const auto& c : cases) {
        const GxV3d at = {0.0f, 0.0f, c.z};
        GxFrameTranslate(place, &at, gxCOMBINEREPLACE);
        EXPECT_EQ(GxLODAtomicDefaultSelect(atomic), c.level) << c.z;
    }
    GxEngineInstance->curCamera = nullptr;
    GxAtomicSetFrame(atomic, nullptr);
    GxFrameDestroy(place);
    GxObjectSetFrame(&camera->object, nullptr);
    GxFrameDestroy(eye);
    GxCameraDestroy(camera);
}

TEST_F(LOD, RenderSwapsGeometryAndKeepsTheLastLevel)
{
    GxLODAtomicSetGeometry(atomic, 2, levels[2]);
    GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->geometry[0], levels[0]);  // the atomic's geometry became level 0
    GxLODAtomicSetLODCallback(atomic, Choose);
    chosen = 2;
    EXPECT_EQ(atomic->renderCallBack(atomic), atomic);
    EXPECT_EQ(atomic->geometry, levels[2]);
    chosen = -1;
    atomic->renderCallBack(atomic);
    EXPECT_EQ(atomic->geometry, levels[2]);
    EXPECT_EQ(drawn.size(), 2u);
    chosen = 1;  // an empty level draws nothing and leaves the atomic without geometry
    EXPECT_EQ(atomic->renderCallBack(atomic), nullptr);
    EXPECT_EQ(atomic->geometry, nullptr);
    EXPECT_EQ(drawn.size(), 2u);
    chosen = 0;
    atomic->renderCallBack(atomic);
    EXPECT_EQ(atomic->geometry, levels[0]);
}

TEST_F(LOD, RecordIsSixtyFourBytesAndWrittenWithoutTheCurrentLevel)
{
    GxLODAtomicSetGeometry(atomic, 1, levels[1]);
    GxLODAtomicSetGeometry(atomic, 2, levels[2]);
    GxLODAtomicGetRecord(atomic)->currentLevel = 0;
    GxClump* clump = GxClumpCreate();
    GxClumpSetFrame(clump, GxFrameCreate());
    GxAtomicSetFrame(atomic, static_cast<GxFrame*>(clump->object.parent));
    GxClumpAddAtomic(clump, atomic);
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([clump](GxStream* s) { return GxClumpStreamWrite(clump, s) != nullptr; });
    // Two level geometries besides the list's one.
    size_t geometries = 0;
    size_t record = 0;
    for (size_t i = 0; i + 12 <= bytes.size(); i++) {
        if (GxBytesGetU32(&bytes[i]) == gxID_GEOMETRY && GxBytesGetU32(&bytes[i + 8]) == 0x1C02000A) {
            geometries++;
        }
        if (GxBytesGetU32(&bytes[i]) == gxPLUGINLODATOMIC && GxBytesGetU32(&bytes[i + 8]) == 0x1C02000A) {
            record = i + 12;
        }
    }
    EXPECT_EQ(geometries, 3u);
    ASSERT_NE(record, 0u);
    EXPECT_EQ(GxBytesGetU32(&bytes[record + 4]), 64u);
    // The image keeps the 64-byte layout of 32-bit words: the callbacks, pointers here, are written as 0.
    EXPECT_EQ(GxBytesGetU32(&bytes[record + 12 + 4]), 0u);
    EXPECT_EQ(GxBytesGetU32(&bytes[record + 12 + 8]), 0u);
    GxClump* copy = GxWorldTestRead<GxClump>(bytes, gxID_CLUMP, GxClumpStreamRead);
    ASSERT_NE(copy, nullptr);
    GxAtomic* read = GxLinkGetData(copy->atomicList.next, GxAtomic, inClumpLink);
    GxLODAtomicRecord* lod = GxLODAtomicGetRecord(read);
    ASSERT_NE(lod, nullptr);
    EXPECT_EQ(lod->geometry[0], read->geometry);
    EXPECT_NE(lod->geometry[2], nullptr);
    EXPECT_EQ(lod->currentLevel, 0);
    GxClumpDestroy(copy);
    // Levels find their geometry chunks past any other chunk; a level left without one is empty.
    std::vector<GxUInt8> foreign = bytes;
    ASSERT_EQ(GxBytesGetU32(&foreign[record + 12 + 64]), gxID_GEOMETRY);
    GxBytesPutU32(&foreign[record + 12 + 64], gxID_RIGHTTORENDER);
    copy = GxWorldTestRead<GxClump>(foreign, gxID_CLUMP, GxClumpStreamRead);
    ASSERT_NE(copy, nullptr);
    lod = GxLODAtomicGetRecord(GxLinkGetData(copy->atomicList.next, GxAtomic, inClumpLink));
    ASSERT_NE(lod, nullptr);
    EXPECT_NE(lod->geometry[1], nullptr);
    EXPECT_EQ(lod->geometry[2], nullptr);
    GxClumpDestroy(copy);
    // A record of any other size, or a current level outside 0..9, is refused.
    for (const auto& patch : {std::pair<size_t, GxUInt32>{4, 60}, {4, 68}, {12 + 20, 10}, {12 + 20, 0xFFFFFFFE}}) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[record + patch.first], patch.second);
        EXPECT_EQ((GxWorldTestRead<GxClump>(bad, gxID_CLUMP, GxClumpStreamRead)), nullptr) << patch.first;
    }
    GxClumpDestroy(clump);
    atomic = nullptr;  // the clump took it
    GxTestTakeError();
}

// A stream carrying the record twice for one atomic: the second replaces the first, so the render callback
// the record restores and calls is the atomic's own, never the level callback itself.
TEST_F(LOD, ASecondRecordInOneAtomicReplacesTheFirst)
{
    GxLODAtomicSetGeometry(atomic, 1, nullptr);
    GxLODAtomicGetRecord(atomic)->currentLevel = 0;
    GxClump* clump = GxClumpCreate();
    GxClumpSetFrame(clump, GxFrameCreate());
    GxAtomicSetFrame(atomic, static_cast<GxFrame*>(clump->object.parent));
    GxClumpAddAtomic(clump, atomic);
    std::vector<GxUInt8> bytes =
        GxWorldTestWrite([clump](GxStream* s) { return GxClumpStreamWrite(clump, s) != nullptr; });
    GxClumpDestroy(clump);
    atomic = nullptr;  // the clump took it
    size_t chunk = 0;
    for (size_t i = 0; i + 12 <= bytes.size(); i++) {
        if (GxBytesGetU32(&bytes[i]) == gxPLUGINLODATOMIC && GxBytesGetU32(&bytes[i + 8]) == 0x1C02000A) {
            chunk = i;
        }
    }
    ASSERT_NE(chunk, 0u);
    const GxUInt32 size = 12 + GxBytesGetU32(&bytes[chunk + 4]);
    // Every chunk holding the record (clump, atomic, its extension) grows by the copy.
    for (size_t i = 0; i < chunk; i++) {
        const GxUInt32 type = GxBytesGetU32(&bytes[i]);
        const bool holder = type == gxID_CLUMP || type == gxID_ATOMIC || type == gxID_EXTENSION;
        if (holder && i + 12 <= chunk && GxBytesGetU32(&bytes[i + 8]) == 0x1C02000A &&
            i + 12 + GxBytesGetU32(&bytes[i + 4]) >= chunk + size) {
            GxBytesPutU32(&bytes[i + 4], GxBytesGetU32(&bytes[i + 4]) + size);
        }
    }
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(chunk + size),
                 bytes.begin() + static_cast<std::ptrdiff_t>(chunk),
                 bytes.begin() + static_cast<std::ptrdiff_t>(chunk + size));
    GxClump* copy = GxWorldTestRead<GxClump>(bytes, gxID_CLUMP, GxClumpStreamRead);
    ASSERT_NE(copy, nullptr);
    GxAtomic* read = GxLinkGetData(copy->atomicList.next, GxAtomic, inClumpLink);
    const GxLODAtomicRecord* record = GxLODAtomicGetRecord(read);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->previousRender, GxAtomicDefaultRenderCallback);
    GxClumpDestroy(copy);
}
