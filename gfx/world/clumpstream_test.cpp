// Tests of the clump chunk: a full model written, read and written again, truncations and bad indices refused.
#include <cstring>

#include "gfx/core/bytes.h"
#include "gfx/core/camera.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

constexpr GxUInt32 kStamp = 0x1C02000A;

// A clump of three atomics over four frames (root, a, b under root, c under b); two atomics share one
// geometry, both geometries share two materials; a light, a camera, frame user data and a LOD atomic.
class ClumpStream : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        GxMaterial* red = GxMaterialCreate();
        GxMaterial* glass = GxMaterialCreate();
        red->color = GxRGBA{200, 0, 0, 255};
        glass->color = GxRGBA{255, 255, 255, 128};
        shared = GxWorldTestBox(red, glass);
        GxGeometry* big = GxWorldTestBox(glass, red, 2.0f);
        GxGeometry* far = GxWorldTestBox(red, red, 0.5f, gxGEOMETRYTRISTRIP);
        ASSERT_TRUE(shared && big && far);
        GxMaterialDestroy(red);
        GxMaterialDestroy(glass);

        clump = GxClumpCreate();
        GxFrame* root = GxFrameCreate();
        frames[0] = root;
        for (GxInt32 i = 1; i < 4; i++) {
            frames[i] = GxFrameCreate();
            const GxV3d move = {static_cast<GxReal>(i), 0.0f, 0.0f};
            GxFrameTranslate(frames[i], &move, gxCOMBINEREPLACE);
        }
        GxFrameAddChild(root, frames[1]);
        GxFrameAddChild(root, frames[2]);
        GxFrameAddChild(frames[2], frames[3]);
        GxClumpSetFrame(clump, root);
        // The frame reader keeps only the orthonormal type of a matrix; the writer stores the flags as they are.
        for (GxFrame* frame : frames) {
            frame->modelling.flags &= gxMATRIXTYPEORTHONORMAL;
        }
        GxUserDataArray* text = GxFrameAddUserDataArray(frames[3], "door", gxUSERDATASTRING, 1);
        GxUserDataArraySetString(text, 0, "shop/bench.gxs");

        GxGeometry* geometries[3] = {shared, shared, big};
        for (GxInt32 i = 2; i >= 0; i--) {
            atomics[i] = GxAtomicCreate();
            GxAtomicSetFrame(atomics[i], frames[i + 1]);
            GxAtomicSetGeometry(atomics[i], geometries[i], 0);
            GxClumpAddAtomic(clump, atomics[i]);
        }
        GxLODAtomicSetGeometry(atomics[2], 1, far);
        GxGeometryDestroy(big);
        GxGeometryDestroy(far);

        GxLight* light = GxLightCreate(gxLIGHTDIRECTIONAL);
        GxLightSetFrame(light, root);
        GxClumpAddLight(clump, light);
        GxCamera* camera = GxCameraCreate();
        GxObjectSetFrame(&camera->object, frames[3]);
        GxClumpAddCamera(clump, camera);
    }

    void TearDown() override
    {
        GxClumpDestroy(clump);
        if (shared) {
            GxGeometryDestroy(shared);
        }
        WorldTest::TearDown();
    }

    GxClump* clump = nullptr;
    GxGeometry* shared = nullptr;
    GxFrame* frames[4] = {};
    GxAtomic* atomics[3] = {};
};

std::vector<GxUInt8> WriteClump(GxClump* clump)
{
    return GxWorldTestWrite([clump](GxStream* s) { return GxClumpStreamWrite(clump, s) != nullptr; });
}

GxClump* ReadClump(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    return GxWorldTestRead<GxClump>(bytes, gxID_CLUMP, GxClumpStreamRead, length);
}

// Offset of the first chunk header of `type` (type word followed by our stamp), or 0.
size_t FindChunk(const std::vector<GxUInt8>& bytes, GxUInt32 type, size_t from = 0)
{
    for (size_t i = from; i + 12 <= bytes.size(); i++) {
        if (GxBytesGetU32(&bytes[i]) == type && GxBytesGetU32(&bytes[i + 8]) == kStamp) {
            return i;
        }
    }
    return 0;
}

GxAtomic* AtomicAt(GxClump* clump, GxInt32 index)
{
    GxLink* link = clump->atomicList.next;
    while (index-- > 0) {
        link = link->next;
    }
    return GxLinkGetData(link, GxAtomic, inClumpLink);
}

GxReal FrameX(void* frame) { return static_cast<GxFrame*>(frame)->modelling.pos.x; }

// The x offsets of the frames of a clump's lights or cameras, in list order.
template <typename T>
std::vector<GxReal> FrameXs(GxClump* clump, GxClump* (*forAll)(GxClump*, T* (*)(T*, void*), void*))
{
    std::vector<GxReal> xs;
    forAll(
        clump,
        [](T* object, void* data) -> T* {
            static_cast<std::vector<GxReal>*>(data)->push_back(FrameX(object->object.object.parent));
            return object;
        },
        &xs);
    return xs;
}

}  // namespace

TEST_F(ClumpStream, ReadingReversesTheListsAndKeepsSharing)
{
    GxLight* ambient = GxLightCreate(gxLIGHTAMBIENT);
    GxLightSetFrame(ambient, frames[1]);
    GxClumpAddLight(clump, ambient);
    GxCamera* camera = GxCameraCreate();
    GxObjectSetFrame(&camera->object, frames[2]);
    GxClumpAddCamera(clump, camera);
    const std::vector<GxUInt8> first = WriteClump(clump);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(GxBytesGetU32(&first[4]) + 12, first.size());
    GxClump* copy = ReadClump(first);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(GxClumpGetNumAtomics(copy), 3);
    // Each object read goes to the head of its list: the last atomic of the stream comes first.
    for (GxInt32 i = 0; i < 3; i++) {
        EXPECT_FLOAT_EQ(FrameX(AtomicAt(copy, i)->object.object.parent), static_cast<GxReal>(3 - i));
    }
    EXPECT_EQ(FrameXs<GxLight>(clump, GxClumpForAllLights), (std::vector<GxReal>{1.0f, 0.0f}));
    EXPECT_EQ(FrameXs<GxLight>(copy, GxClumpForAllLights), (std::vector<GxReal>{0.0f, 1.0f}));
    EXPECT_EQ(FrameXs<GxCamera>(clump, GxClumpForAllCameras), (std::vector<GxReal>{2.0f, 3.0f}));
    EXPECT_EQ(FrameXs<GxCamera>(copy, GxClumpForAllCameras), (std::vector<GxReal>{3.0f, 2.0f}));
    // Shared geometry stays shared: two atomics and no list left holding it.
    EXPECT_EQ(AtomicAt(copy, 1)->geometry, AtomicAt(copy, 2)->geometry);
    EXPECT_EQ(AtomicAt(copy, 1)->geometry->refCount, 2);
    EXPECT_EQ(AtomicAt(copy, 1)->geometry->matList.numMaterials, 2);
    GxLODAtomicRecord* lod = GxLODAtomicGetRecord(AtomicAt(copy, 0));
    ASSERT_NE(lod, nullptr);
    EXPECT_NE(lod->geometry[0], nullptr);
    EXPECT_NE(lod->geometry[1], nullptr);
    // Written again the stream holds the reversed order; a second read turns it back.
    const std::vector<GxUInt8> second = WriteClump(copy);
    ASSERT_EQ(second.size(), first.size());
    EXPECT_NE(second, first);
    GxClump* again = ReadClump(second);
    ASSERT_NE(again, nullptr);
    const std::vector<GxUInt8> third = WriteClump(again);
    for (size_t i = 0; i < first.size() && i < third.size(); i++) {
        ASSERT_EQ(third[i], first[i]) << "first difference at byte " << i;
    }
    EXPECT_EQ(third.size(), first.size());
    GxClumpDestroy(again);
    GxClumpDestroy(copy);
}

TEST_F(ClumpStream, UnknownExtensionChunkIsSkipped)
{
    const std::vector<GxUInt8> first = WriteClump(clump);
    // The clump's own extension chunk closes the stream; put an unknown chunk into it.
    std::vector<GxUInt8> patched = first;
    const GxUInt8 unknown[16] = {0x77, 0x77, 0, 0, 4, 0, 0, 0, 0x0A, 0x00, 0x02, 0x1C, 1, 2, 3, 4};
    const size_t tail = patched.size() - 12;
    ASSERT_EQ(GxBytesGetU32(&patched[tail]), gxID_EXTENSION);
    GxBytesPutU32(&patched[tail + 4], GxBytesGetU32(&patched[tail + 4]) + sizeof(unknown));
    patched.insert(patched.end(), unknown, unknown + sizeof(unknown));
    GxBytesPutU32(&patched[4], GxBytesGetU32(&patched[4]) + sizeof(unknown));
    GxClump* copy = ReadClump(patched);
    ASSERT_NE(copy, nullptr);
    GxClump* plain = ReadClump(first);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(WriteClump(copy), WriteClump(plain));
    GxClumpDestroy(plain);
    GxClumpDestroy(copy);
}

TEST_F(ClumpStream, EveryTruncationIsRefused)
{
    const std::vector<GxUInt8> bytes = WriteClump(clump);
    for (size_t length = 0; length < bytes.size(); length++) {
        GxClump* copy = ReadClump(bytes, length);
        EXPECT_EQ(copy, nullptr) << "read succeeded with " << length << " of " << bytes.size() << " bytes";
        if (copy) {
            GxClumpDestroy(copy);
        }
    }
    GxTestTakeError();
}

TEST_F(ClumpStream, BadIndicesAreRefused)
{
    const std::vector<GxUInt8> bytes = WriteClump(clump);
    const size_t atomic = FindChunk(bytes, gxID_ATOMIC);
    ASSERT_NE(atomic, 0u);
    // Frame index, geometry index, then a light's frame index out of range.
    for (size_t field : {atomic + 24, atomic + 28}) {
        std::vector<GxUInt8> bad = bytes;
        GxBytesPutU32(&bad[field], 99);
        EXPECT_EQ(ReadClump(bad), nullptr);
        GxBytesPutU32(&bad[field], 0xFFFFFFFFu);
        EXPECT_EQ(ReadClump(bad), nullptr);
    }
    const size_t light = FindChunk(bytes, gxID_LIGHT);
    ASSERT_GT(light, 16u);
    std::vector<GxUInt8> bad = bytes;
    GxBytesPutU32(&bad[light - 4], 4);
    EXPECT_EQ(ReadClump(bad), nullptr);
    // A clump struct shorter than its 12 bytes.
    bad = bytes;
    GxBytesPutU32(&bad[12 + 4], 8);
    EXPECT_EQ(ReadClump(bad), nullptr);
    GxTestTakeError();
}

TEST_F(ClumpStream, DestroyedAtomicLeavesItsClump)
{
    GxAtomicDestroy(atomics[1]);
    EXPECT_EQ(GxClumpGetNumAtomics(clump), 2);
    GxClump* copy = ReadClump(WriteClump(clump));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GxClumpGetNumAtomics(copy), 2);
    GxClumpDestroy(copy);
}

// A level-of-detail atomic drawn on a level without geometry keeps none; its clump is refused, not written.
TEST_F(ClumpStream, AClumpWithAnAtomicWithoutGeometryIsNotWritten)
{
    GxAtomicSetGeometry(atomics[1], nullptr, 0);
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(GxClumpStreamWrite(clump, stream), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
    GxMemory memory = {nullptr, 0};
    GxStreamClose(stream, &memory);
    EXPECT_EQ(memory.length, 0u) << "nothing of the clump is written";
    GxFree(memory.start);
}

TEST_F(ClumpStream, CloneCopiesAtomicsOnly)
{
    GxClump* copy = GxClumpClone(clump);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GxClumpGetNumAtomics(copy), 3);
    EXPECT_TRUE(GxLinkIsEmpty(&copy->lightList));
    EXPECT_TRUE(GxLinkIsEmpty(&copy->cameraList));
    // Clones are added at the head as the source is walked, so the copy's list runs the other way.
    for (GxInt32 i = 0; i < 3; i++) {
        GxAtomic* source = atomics[2 - i];
        EXPECT_EQ(AtomicAt(copy, i)->geometry, source->geometry);
        EXPECT_NE(AtomicAt(copy, i)->object.object.parent, source->object.object.parent);
        EXPECT_FLOAT_EQ(FrameX(AtomicAt(copy, i)->object.object.parent), static_cast<GxReal>(3 - i));
    }
    EXPECT_EQ(frames[2]->root, frames[0]);  // source roots restored
    GxClumpDestroy(copy);
}

TEST_F(ClumpStream, RightsChunkCallsThePluginBack)
{
    static GxUInt32 seen[2];
    constexpr GxUInt32 kPlugin = 0x7F10;
    // Registration needs a closed engine, so the rights callback is added around a restart.
    GxClumpDestroy(clump);
    GxGeometryDestroy(shared);
    clump = nullptr;
    shared = nullptr;
    engine.reset();
    engine.emplace(GxTestRecordingSetup([] {
        if (!GxWorldPluginAttach()) {
            return false;
        }
        GxAtomicRegisterPlugin(0, kPlugin, nullptr, nullptr, nullptr);
        GxAtomicSetStreamRightsCallback(kPlugin, [](void* object, GxInt32, GxInt32, GxUInt32 extra) -> GxBool {
            seen[0] = object ? 1 : 0;
            seen[1] = extra;
            return 1;
        });
        return true;
    }));
    GX_ASSERT_ENGINE_STARTED(*engine);
    GxPipeline pipeline = {};
    pipeline.ownerPluginId = kPlugin;
    pipeline.pluginData = 42;
    GxClump* made = GxClumpCreate();
    GxClumpSetFrame(made, GxFrameCreate());
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetFrame(atomic, static_cast<GxFrame*>(made->object.parent));
    GxGeometry* box = GxWorldTestBox(nullptr, nullptr);
    GxAtomicSetGeometry(atomic, box, 0);
    GxGeometryDestroy(box);
    GxClumpAddAtomic(made, atomic);
    atomic->pipeline = &pipeline;
    const std::vector<GxUInt8> bytes = WriteClump(made);
    atomic->pipeline = nullptr;
    EXPECT_NE(FindChunk(bytes, gxID_RIGHTTORENDER), 0u);
    GxClump* copy = ReadClump(bytes);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(seen[0], 1u);
    EXPECT_EQ(seen[1], 42u);
    // Without an owner plugin no rights chunk is written.
    pipeline.ownerPluginId = 0;
    atomic->pipeline = &pipeline;
    EXPECT_EQ(FindChunk(WriteClump(made), gxID_RIGHTTORENDER), 0u);
    atomic->pipeline = nullptr;
    GxClumpDestroy(copy);
    GxClumpDestroy(made);
}

TEST_F(ClumpStream, IterationCallbacksCountAndDestroyTheClumpsObjects)
{
    GxLight* ambient = GxLightCreate(gxLIGHTAMBIENT);
    GxClumpAddLight(clump, ambient);
    GxInt32 counts[3] = {0, 0, 0};
    GxClumpForAllAtomics(clump, GxObjectCountCallback, &counts[0]);
    GxClumpForAllLights(clump, GxObjectCountCallback, &counts[1]);
    GxClumpForAllCameras(clump, GxObjectCountCallback, &counts[2]);
    EXPECT_EQ(counts[0], 3);
    EXPECT_EQ(counts[1], 2);
    EXPECT_EQ(counts[2], 1);

    // Each destroy callback empties its list and releases what the objects held.
    const GxInt32 refs = shared->refCount;
    GxClumpForAllAtomics(clump, GxClumpDestroyAtomicCallback, nullptr);
    GxClumpForAllLights(clump, GxClumpDestroyLightCallback, nullptr);
    GxClumpForAllCameras(clump, GxClumpDestroyCameraCallback, nullptr);
    EXPECT_TRUE(GxLinkIsEmpty(&clump->atomicList));
    EXPECT_TRUE(GxLinkIsEmpty(&clump->lightList));
    EXPECT_TRUE(GxLinkIsEmpty(&clump->cameraList));
    EXPECT_EQ(shared->refCount, refs - 2);
    // The frames stay with the clump, which still writes (an empty model).
    const std::vector<GxUInt8> bytes = WriteClump(clump);
    ASSERT_FALSE(bytes.empty());
    GxClump* empty = ReadClump(bytes);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GxClumpGetNumAtomics(empty), 0);
    GxClumpDestroy(empty);
}
