// Skin plugin: weight order, the skin's stream with its split data, refusal of bad bone data, the native header.
#include <cstring>
#include <vector>

#include "gfx/anim/anim_local.h"
#include "gfx/anim/anim_testing.h"
#include "gfx/anim/skinsplit_testing.h"
#include "gfx/core/bytes.h"
#include "gfx/core/plugin.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

constexpr GxUInt32 kBones = 3;

GxUInt32 Pack(GxUInt8 a, GxUInt8 b, GxUInt8 c, GxUInt8 d)
{
    return a | (b << 8) | (c << 16) | (static_cast<GxUInt32>(d) << 24);
}

// A box whose vertices take bones 0-2: vertex 0 (0.1, 0.6, 0.3, 0) over bones 0, 1, 2; vertex 1 all bone 1;
// the rest split between bones 2 and 0.
GxGeometry* SkinnedBox(GxUInt8 strayBone = 0)
{
    GxGeometry* geometry = GxWorldTestBox(nullptr, nullptr);
    const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
    std::vector<GxReal> weights(n * 4, 0.0f);
    std::vector<GxUInt32> indices(n, 0);
    const GxReal first[4] = {0.1f, 0.6f, 0.3f, 0.0f};
    memcpy(&weights[0], first, sizeof(first));
    indices[0] = Pack(0, 1, 2, strayBone);
    weights[4] = 1.0f;
    indices[1] = Pack(1, 0, 0, 0);
    for (GxUInt32 v = 2; v < n; v++) {
        weights[v * 4] = 0.5f;
        weights[v * 4 + 1] = 0.5f;
        indices[v] = Pack(2, 0, 0, 0);
    }
    if (strayBone) {
        weights[3] = 0.05f;
    }
    std::vector<GxMatrix> matrices(kBones);
    for (GxMatrix& m : matrices) {
        GxMatrixSetIdentity(&m);
    }
    GxSkin* skin = GxSkinCreate();
    const GxUInt8 used[3] = {2, 0, 1};
    GxSkinDataAllocate(skin, kBones, 3, n, used, weights.data(), indices.data(), matrices.data());
    skin->maxNumWeightsForVertex = 3;
    GxSkinGeometrySetSkin(geometry, skin);
    return geometry;
}

std::vector<GxUInt8> WriteGeometry(const GxGeometry* geometry)
{
    return GxWorldTestWrite([&](GxStream* s) { return GxGeometryStreamWrite(geometry, s) != nullptr; });
}

GxGeometry* ReadGeometry(const std::vector<GxUInt8>& bytes)
{
    return GxWorldTestRead<GxGeometry>(bytes, gxID_GEOMETRY, GxGeometryStreamRead);
}

class SkinTest : public AnimTest {};

TEST_F(SkinTest, WeightsSortDescendingWithTheirBonesAndUsedBonesAscend)
{
    GxGeometry* geometry = SkinnedBox();
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    ASSERT_NE(skin, nullptr);
    EXPECT_FLOAT_EQ(skin->vertexBoneWeights[0], 0.6f);
    EXPECT_FLOAT_EQ(skin->vertexBoneWeights[1], 0.3f);
    EXPECT_FLOAT_EQ(skin->vertexBoneWeights[2], 0.1f);
    EXPECT_EQ(skin->vertexBoneIndices[0], Pack(1, 2, 0, 0));
    EXPECT_EQ(skin->vertexBoneIndices[1], Pack(1, 0, 0, 0));  // first weight 1: untouched
    EXPECT_EQ(skin->boneIDs[0], 0);
    EXPECT_EQ(skin->boneIDs[2], 2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(GxSkinGetSkinToBoneMatrices(skin)) % 16, 0u);

    const GxReal two[8] = {0.5f, 0.5f, 0, 0, 0.7f, 0.3f, 0, 0};
    EXPECT_EQ(GxSkinComputeMaxWeights(two, 2), 2u);
    const GxReal four[12] = {1, 0, 0, 0, 0.25f, 0.25f, 0.25f, 0.25f, 0, 0, 0, 0};
    EXPECT_EQ(GxSkinComputeMaxWeights(four, 3), 4u);
    GxGeometryDestroy(geometry);
}

TEST_F(SkinTest, SkinAndSplitDataStreamBackIdentical)
{
    GxGeometry* geometry = SkinnedBox();
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    EXPECT_EQ(GxSkinSplitDataStreamSize(skin), 12);
    // Bones 0 and 2 in palette slots 1 and 0, bone 1 in no window; one mesh with two runs.
    const GxUInt8 block[kBones + 2 + 4] = {1, gxSKINNOREMAP, 0, 0, 2, 0, 1, 2, 1};
    ASSERT_TRUE(GxSkinSplitDataSet(skin, 2, 1, 2, block));
    EXPECT_EQ(GxSkinSplitDataStreamSize(skin), 12 + 9);
    const std::vector<GxUInt8> bytes = WriteGeometry(geometry);
    GxGeometry* back = ReadGeometry(bytes);
    ASSERT_NE(back, nullptr);
    const GxSkin* read = GxSkinGeometryGetSkin(back);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->numBones, kBones);
    EXPECT_EQ(read->maxNumWeightsForVertex, 3u);
    EXPECT_EQ(read->boneLimit, 2u);
    EXPECT_EQ(read->runCount, 2u);
    EXPECT_EQ(memcmp(read->block, block, sizeof(block)), 0);
    EXPECT_EQ(read->runTable, read->block + kBones + 2);
    EXPECT_EQ(WriteGeometry(back), bytes);
    GxGeometryDestroy(back);

    // Split tables that name what does not exist are refused: a remap slot at the limit, a run past the bones.
    GxUInt8 bad[sizeof(block)];
    memcpy(bad, block, sizeof(block));
    bad[0] = 2;
    EXPECT_FALSE(GxSkinSplitDataSet(skin, 2, 1, 2, bad));
    memcpy(bad, block, sizeof(block));
    bad[8] = 3;
    EXPECT_FALSE(GxSkinSplitDataSet(skin, 2, 1, 2, bad));
    GxGeometryDestroy(geometry);
}

TEST_F(SkinTest, ReaderRefusesBoneIndexesPastTheBonesAndDamagedSplitData)
{
    GxGeometry* stray = SkinnedBox(200);
    EXPECT_EQ(ReadGeometry(WriteGeometry(stray)), nullptr);
    GxGeometryDestroy(stray);

    // A zero-weight slot may name any bone on the stream; it is pointed at bone 0.
    GxGeometry* geometry = SkinnedBox();
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    skin->vertexBoneIndices[5] = Pack(2, 0, 0, 250);
    GxGeometry* back = ReadGeometry(WriteGeometry(geometry));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(GxSkinGeometryGetSkin(back)->vertexBoneIndices[5], Pack(2, 0, 0, 0));
    GxGeometryDestroy(back);

    // Split counts whose block the extension cannot hold.
    const GxUInt32 counts[3] = {4, 200, 200};
    std::vector<GxUInt8> split(sizeof(counts));
    memcpy(split.data(), counts, sizeof(counts));
    GxStream* stream = GxWorldTestOpen(split);
    GxAnimTestTakeError();
    EXPECT_EQ(GxSkinSplitDataStreamRead(stream, skin), nullptr);
    EXPECT_EQ(GxAnimTestTakeError().second, gxERRNOERROR);  // no error of its own
    EXPECT_EQ(skin->meshCount, 0u);
    GxStreamClose(stream, nullptr);
    GxGeometryDestroy(geometry);
}

TEST_F(SkinTest, NativeFormGeometriesWriteNoSkinDataAndTheHeaderRefusesOtherPlatforms)
{
    GxGeometry* geometry = SkinnedBox();
    // In native form the skin's size callback gives 0: the geometry's extension data holds no skin chunk.
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    const GxUInt32 withSkin = GxGeometryStreamGetSize(geometry);
    geometry->flags |= gxGEOMETRYNATIVE;
    const GxUInt32 nativeWithSkin = GxGeometryStreamGetSize(geometry);
    GxSkinGeometrySetSkin(geometry, nullptr);
    EXPECT_EQ(nativeWithSkin, GxGeometryStreamGetSize(geometry));
    GxSkinGeometrySetSkin(geometry, skin);
    geometry->flags &= ~gxGEOMETRYNATIVE;
    EXPECT_EQ(GxGeometryStreamGetSize(geometry), withSkin);

    // The renderer's header for the skin of a native geometry names its own size and platform.
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([&](GxStream* s) { return GxSkinGeometryStreamWriteHeader(s, geometry) != nullptr; });
    ASSERT_EQ(bytes.size(), static_cast<size_t>(GxSkinGeometryStreamHeaderSize()));
    GxUInt32 size = 0;
    memcpy(&size, &bytes[4], sizeof(size));
    EXPECT_EQ(size, bytes.size() - gxCHUNKHEADERSIZE);

    GxGeometry* other = GxWorldTestBox(nullptr, nullptr);
    GxStream* stream = GxWorldTestOpen(bytes);
    ASSERT_NE(GxSkinGeometryStreamReadHeader(stream, other), nullptr);
    GxStreamClose(stream, nullptr);
    EXPECT_EQ(GxSkinGeometryGetSkin(other)->numBones, kBones);

    std::vector<GxUInt8> platform8 = bytes;
    platform8[gxCHUNKHEADERSIZE] = 8;
    stream = GxWorldTestOpen(platform8);
    EXPECT_EQ(GxSkinGeometryStreamReadHeader(stream, other), nullptr);
    GxStreamClose(stream, nullptr);

    // The struct chunk is found past another chunk; a version outside the window is refused as one.
    std::vector<GxUInt8> behind(bytes.begin(), bytes.begin() + gxCHUNKHEADERSIZE);
    behind[0] = 0x34;  // another chunk type, with the header's own size and version
    behind.insert(behind.end(), bytes.size() - gxCHUNKHEADERSIZE, 0);
    behind.insert(behind.end(), bytes.begin(), bytes.end());
    stream = GxWorldTestOpen(behind);
    EXPECT_NE(GxSkinGeometryStreamReadHeader(stream, other), nullptr);
    GxStreamClose(stream, nullptr);
    std::vector<GxUInt8> old = bytes;
    const GxUInt32 tooOld = 0x300;  // an old unpacked stamp: version 0x30000
    memcpy(&old[8], &tooOld, sizeof(tooOld));
    stream = GxWorldTestOpen(old);
    GxAnimTestTakeError();
    EXPECT_EQ(GxSkinGeometryStreamReadHeader(stream, other), nullptr);
    GxStreamClose(stream, nullptr);
    EXPECT_EQ(GxAnimTestTakeError().second, GxErrorMakeCode(gxERRBADVERSION));
    GxGeometryDestroy(other);
    GxGeometryDestroy(geometry);
}

GxBool RefuseCreate(GxUInt32) { return 0; }

TEST(SkinModule, FailedPipelineConstructionFailsTheOpenCleanly)
{
    static const GxSkinDriverHooks failing = {RefuseCreate, nullptr, nullptr};
    GxSkinSetDriverHooks(&failing);
    static int window = 0;
    GxTestEngineSetup setup = GxTestRecordingSetup(
        [] { return GxWorldPluginAttach() && GxAnimHierarchyPluginAttach() && GxSkinPluginAttach(); });
    setup.start = false;
    GxTestEngine engine(setup);
    GX_ASSERT_ENGINE_STARTED(engine);
    // Modules open when the engine starts.
    ASSERT_TRUE(GxEngineOpen(&window));
    EXPECT_FALSE(GxEngineStart());
    EXPECT_EQ(GxSkinGetPalette(), nullptr);  // the scratch palette went with the failed open
    GxSkinSetDriverHooks(nullptr);
}

// The atomic module closes after the skin module and destroys the atomics still alive: the skins of their
// geometries are freed after the skin module has closed (the sanitizers catch a record given back to a list that
// has gone).
TEST_F(SkinTest, SkinsOfAtomicsLeftAtCloseAreFreedAfterTheSkinModuleCloses)
{
    GxAtomic* atomic = GxAtomicCreate();
    ASSERT_NE(atomic, nullptr);
    GxGeometry* geometry = SkinnedBox();
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    ASSERT_NE(GxSkinGeometryGetSkin(geometry), nullptr);
    EXPECT_TRUE(GxEngineStop());
}

// A record given arrays again frees the ones it held (the leak check catches them kept); arrays whose stream size
// a signed 32-bit count cannot give are refused, the record left as it was.
TEST_F(SkinTest, DataAllocatedAgainReplacesTheArraysAndOversizedDataIsRefused)
{
    GxSkin* skin = GxSkinCreate();
    ASSERT_NE(skin, nullptr);
    const GxUInt8 used[2] = {1, 0};
    ASSERT_TRUE(GxSkinDataAllocate(skin, 2, 2, 8, used, nullptr, nullptr, nullptr));
    ASSERT_TRUE(GxSkinDataAllocate(skin, kBones, 1, 4, used, nullptr, nullptr, nullptr));
    EXPECT_EQ(skin->numBones, kBones);
    EXPECT_EQ(skin->numVertices, 4u);
    EXPECT_EQ(skin->boneIDs[0], 1);
    const void* held = skin->unaligned;
    const GxUInt32 overTwoGiB = 0x7FFFFFFFu / 20 + 1;
    EXPECT_FALSE(GxSkinDataAllocate(skin, 0, 0, overTwoGiB, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(skin->unaligned, held);
    EXPECT_EQ(skin->numVertices, 4u);
    GxSkinDestroy(skin);
}

TEST_F(SkinTest, OlderAtomicLayoutRebuildsMaximumWeightsAndUsedBones)
{
    GxGeometry* geometry = GxWorldTestBox(nullptr, nullptr);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
    std::vector<GxUInt8> bytes;
    GxBytesAppend(&bytes, kBones);
    GxBytesAppend(&bytes, 0);
    for (GxUInt32 v = 0; v < n; v++) {
        GxBytesAppend(&bytes, Pack(2, 1, 0, 0));
    }
    for (GxUInt32 v = 0; v < n; v++) {
        for (GxReal f : {0.5f, 0.5f, 0.0f, 0.0f}) {
            GxUInt32 bits;
            memcpy(&bits, &f, 4);
            GxBytesAppend(&bytes, bits);
        }
    }
    for (GxUInt32 b = 0; b < kBones; b++) {
        bytes.insert(bytes.end(), 12 + sizeof(GxMatrix), 0);
    }
    // Through the atomic's extension chunk, as a clump's atomic is read.
    const GxUInt32 stamp = GxStreamMakeLibraryStamp(gxLIBRARYVERSION, gxLIBRARYBUILD);
    std::vector<GxUInt8> extension;
    GxBytesAppend(&extension, gxID_EXTENSION);
    GxBytesAppend(&extension, static_cast<GxUInt32>(bytes.size() + gxCHUNKHEADERSIZE));
    GxBytesAppend(&extension, stamp);
    GxBytesAppend(&extension, gxPLUGINSKIN);
    GxBytesAppend(&extension, static_cast<GxUInt32>(bytes.size()));
    GxBytesAppend(&extension, stamp);
    extension.insert(extension.end(), bytes.begin(), bytes.end());
    GxStream* stream = GxWorldTestOpen(extension);
    ASSERT_NE(GxPluginRegistryReadDataChunks(&gxAtomicTKList, stream, atomic), nullptr);
    GxStreamClose(stream, nullptr);
    const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->maxNumWeightsForVertex, 2u);
    EXPECT_EQ(skin->numBoneIDs, 2u);
    EXPECT_EQ(skin->boneIDs[0], 1);
    EXPECT_EQ(skin->boneIDs[1], 2);
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);
}

}  // namespace
