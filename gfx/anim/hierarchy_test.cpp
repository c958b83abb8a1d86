// Hierarchical animation: node matrices at known times, frames written by the update, the bounded push/pop
// stack, and the frame extension's stream.
#include <algorithm>
#include <cmath>
#include <vector>

#include "gfx/anim/anim_local.h"
#include "gfx/anim/anim_testing.h"
#include "gfx/core/bytes.h"
#include "gfx/core/frame.h"
#include "gfx/world/world.h"

namespace {

constexpr GxReal kHalfPi = 1.5707963f;
constexpr GxReal kRoot2 = 0.70710678f;

// Node 0 turns a quarter turn about z over one second; nodes 1 and 2 sit one unit along x and y.
void FillTree(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void*)
{
    const GxV3d z = {0.0f, 0.0f, 1.0f};
    if (node == 0) {
        GxAnimQuatFromAxisAngle(frame->q, &z, key * kHalfPi);
    } else {
        frame->t = node == 1 ? GxV3d{1.0f, 0.0f, 0.0f} : GxV3d{0.0f, 1.0f, 0.0f};
    }
}

// Root with two leaf children: neither flag, then push+pop (a leaf with a later sibling), then pop.
const GxInt32 kTreeFlags[3] = {0, gxHANIMPUSHPARENTMATRIX | gxHANIMPOPPARENTMATRIX, gxHANIMPOPPARENTMATRIX};
const GxInt32 kTreeIDs[3] = {10, 11, 12};

void ExpectNear(const GxV3d& v, GxReal x, GxReal y, GxReal z)
{
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

class HierarchyTest : public AnimTest {
protected:
    void SetUp() override
    {
        AnimTest::SetUp();
        const GxReal times[2] = {0.0f, 1.0f};
        anim = GxAnimStdAnimationBuild(3, 2, times, FillTree, nullptr);
        ASSERT_NE(anim, nullptr);
    }
    void TearDown() override
    {
        GxAnimationDestroy(anim);
        AnimTest::TearDown();
    }
    GxAnimation* anim = nullptr;
};

TEST_F(HierarchyTest, NodeMatricesAtKnownTimes)
{
    GxAnimHierarchy* h = GxAnimHierarchyCreate(3, kTreeFlags, kTreeIDs, gxHANIMHIERARCHYLOCALSPACEMATRICES,
                                               gxHANIMSTDKEYFRAMESTREAMSIZE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(h->pMatrixArray) % 16, 0u);
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(h->currentAnim, anim));
    GxAnimInterpolatorAddAnimTime(h->currentAnim, 0.5f);
    GxAnimHierarchyUpdateMatrices(h);
    ExpectNear(h->pMatrixArray[0].right, kRoot2, kRoot2, 0.0f);
    ExpectNear(h->pMatrixArray[1].pos, kRoot2, kRoot2, 0.0f);   // (1, 0, 0) turned 45 degrees
    ExpectNear(h->pMatrixArray[2].pos, -kRoot2, kRoot2, 0.0f);  // (0, 1, 0): parent kept by flags 3
    GxAnimInterpolatorAddAnimTime(h->currentAnim, 0.5f);
    GxAnimHierarchyUpdateMatrices(h);
    ExpectNear(h->pMatrixArray[1].pos, 0.0f, 1.0f, 0.0f);
    ExpectNear(h->pMatrixArray[2].pos, -1.0f, 0.0f, 0.0f);
    GxAnimHierarchyDestroy(h);
}

// The factor is (time - a) / (b - a) whatever the order of the key times; only equal times, which would divide by
// zero, step from the earlier key to the later one when the time reaches them.
TEST_F(HierarchyTest, StandardInterpolationFollowsTheKeyTimes)
{
    GxAnimStdKeyFrame a = {nullptr, 1.0f, {0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}};
    GxAnimStdKeyFrame b = {nullptr, 0.0f, {0.0f, 0.0f, 0.0f, 1.0f}, {10.0f, 0.0f, 0.0f}};
    GxAnimStdInterpFrame out = {};
    GxAnimStdKeyFrameInterpolate(&out, &a, &b, 0.25f, nullptr);
    EXPECT_FLOAT_EQ(out.t.x, 7.5f);
    GxAnimStdKeyFrameInterpolate(&out, &a, &b, 2.0f, nullptr);
    EXPECT_FLOAT_EQ(out.t.x, -10.0f);

    b.time = 1.0f;
    GxAnimStdKeyFrameInterpolate(&out, &a, &b, 0.5f, nullptr);
    EXPECT_FLOAT_EQ(out.t.x, 0.0f);
    GxAnimStdKeyFrameInterpolate(&out, &a, &b, 1.0f, nullptr);
    EXPECT_FLOAT_EQ(out.t.x, 10.0f);
}

// A sub-hierarchy's root takes the parent hierarchy's matrix at its root-parent index, whichever hierarchy that is.
TEST_F(HierarchyTest, SubHierarchyRootTakesItsParentHierarchysMatrix)
{
    GxAnimHierarchy* h =
        GxAnimHierarchyCreate(1, nullptr, nullptr, gxHANIMHIERARCHYSUBHIERARCHY, gxHANIMSTDKEYFRAMESTREAMSIZE);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->parentHierarchy, h);
    const GxV3d shift = {5.0f, 0.0f, 0.0f};
    GxMatrixTranslate(&h->pMatrixArray[0], &shift, gxCOMBINEREPLACE);
    GxAnimHierarchyUpdateMatrices(h);
    ExpectNear(h->pMatrixArray[0].pos, 5.0f, 0.0f, 0.0f);
    h->flags = 0;  // its own arrays, which a sub-hierarchy never frees
    GxAnimHierarchyDestroy(h);
}

TEST_F(HierarchyTest, UpdateWritesAttachedFramesEvenWithoutMatrices)
{
    GxFrame* frames[3];
    for (GxFrame*& f : frames) {
        f = GxFrameCreate();
    }
    GxFrameAddChild(frames[0], frames[1]);
    GxFrameAddChild(frames[0], frames[2]);
    for (GxInt32 i = 0; i < 3; i++) {
        GxFrameSetNodeID(frames[i], kTreeIDs[i]);
    }
    GxAnimHierarchy* h = GxAnimHierarchyCreate(3, kTreeFlags, kTreeIDs,
                                               gxHANIMHIERARCHYNOMATRICES | gxHANIMHIERARCHYUPDATEMODELLINGMATRICES,
                                               gxHANIMSTDKEYFRAMESTREAMSIZE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->pMatrixArray, nullptr);
    GxFrameSetAnimHierarchy(frames[0], h);
    GxAnimHierarchyAttach(h);
    EXPECT_EQ(h->pNodeInfo[2].pFrame, frames[2]);
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(h->currentAnim, anim));
    GxAnimInterpolatorAddAnimTime(h->currentAnim, 1.0f);
    GxAnimHierarchyUpdateMatrices(h);
    ExpectNear(frames[0]->modelling.right, 0.0f, 1.0f, 0.0f);
    ExpectNear(frames[1]->modelling.pos, 1.0f, 0.0f, 0.0f);
    ExpectNear(GxFrameGetWorldMatrix(frames[1])->pos, 0.0f, 1.0f, 0.0f);
    GxFrameDestroyHierarchy(frames[0]);  // takes the hierarchy with it
}

TEST_F(HierarchyTest, PushesDeeperThanTheStackAndStrayPopsStayInside)
{
    constexpr GxInt32 kNodes = gxHANIMSTACKDEPTH + 8;
    std::vector<GxInt32> flags(kNodes, gxHANIMPUSHPARENTMATRIX);
    flags.back() = gxHANIMPOPPARENTMATRIX;
    flags[0] = gxHANIMPOPPARENTMATRIX;  // a pop with nothing pushed
    GxAnimHierarchy* h = GxAnimHierarchyCreate(kNodes, flags.data(), nullptr, 0, gxHANIMSTDKEYFRAMESTREAMSIZE);
    ASSERT_NE(h, nullptr);
    const GxReal times[2] = {0.0f, 1.0f};
    GxAnimation* chain = GxAnimStdAnimationBuild(kNodes, 2, times, FillTree, nullptr);
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(h->currentAnim, chain));
    GxAnimInterpolatorAddAnimTime(h->currentAnim, 0.25f);
    EXPECT_TRUE(GxAnimHierarchyUpdateMatrices(h));
    GxAnimHierarchyDestroy(h);
    GxAnimationDestroy(chain);
}

std::vector<GxUInt8> WriteFrames(GxFrame* root)
{
    GxFrameList list;
    GxFrameListInitialize(&list, root);
    std::vector<GxUInt8> bytes =
        GxWorldTestWrite([&](GxStream* s) { return GxFrameListStreamWrite(&list, s) != nullptr; });
    GxFrameListDeinitialize(&list);
    return bytes;
}

// Reads a frame list; returns its root (null on failure).
GxFrame* ReadFrames(const std::vector<GxUInt8>& bytes)
{
    GxStream* stream = GxWorldTestOpen(bytes);
    GxFrameList list;
    GxFrame* root = nullptr;
    if (GxStreamFindChunk(stream, gxID_FRAMELIST, nullptr, nullptr) && GxFrameListStreamRead(stream, &list)) {
        root = list.frames[0];
        GxFrameListDeinitialize(&list);
    }
    GxStreamClose(stream, nullptr);
    return root;
}

TEST_F(HierarchyTest, ExtensionStreamsBackAndRefusesDamage)
{
    GxFrame* root = GxFrameCreate();
    GxFrame* plain = GxFrameCreate();
    GxFrameAddChild(root, plain);
    GxFrameSetNodeID(root, kTreeIDs[0]);
    GxAnimHierarchy* h = GxAnimHierarchyCreate(3, kTreeFlags, kTreeIDs, gxHANIMHIERARCHYUPDATEMODELLINGMATRICES,
                                               gxHANIMSTDKEYFRAMESTREAMSIZE);
    GxFrameSetAnimHierarchy(root, h);
    const std::vector<GxUInt8> bytes = WriteFrames(root);
    ASSERT_FALSE(bytes.empty());

    GxFrame* back = ReadFrames(bytes);
    ASSERT_NE(back, nullptr);
    GxAnimHierarchy* read = GxFrameGetAnimHierarchy(back);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->numNodes, 3);
    EXPECT_EQ(read->pNodeInfo[1].flags, kTreeFlags[1]);
    EXPECT_EQ(read->pNodeInfo[2].nodeID, kTreeIDs[2]);
    EXPECT_EQ(GxFrameGetNodeID(back->child), -1);
    // The frame records' matrix flags are the frame list's business; the extension data at the end must match.
    const std::vector<GxUInt8> again = WriteFrames(back);
    ASSERT_EQ(again.size(), bytes.size());
    constexpr size_t kExtensionTail = 20 + 3 * 12;
    EXPECT_TRUE(std::equal(bytes.end() - kExtensionTail, bytes.end(), again.end() - kExtensionTail));

    // Flag bits the update does not read travel with the hierarchy and its nodes; only a sub-hierarchy, which is
    // never streamed, is refused.
    // The last node's entry (id 12, index 2, flags 1) follows two others, the key size and the hierarchy flags.
    size_t lastNode = 0;
    for (size_t i = 0; i + 12 <= bytes.size(); i++) {
        if (bytes[i] == 12 && bytes[i + 4] == 2 && bytes[i + 8] == 1) {
            lastNode = i;
        }
    }
    ASSERT_GE(lastNode, 32u);
    const size_t flagsAt = lastNode - 2 * 12 - 8;
    const size_t lastNodeFlagsAt = lastNode + 8;
    std::vector<GxUInt8> extra = bytes;
    GxBytesPutU32(&extra[flagsAt], gxHANIMHIERARCHYUPDATEMODELLINGMATRICES | 0x100);
    GxBytesPutU32(&extra[lastNodeFlagsAt], 5);
    GxFrame* kept = ReadFrames(extra);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(GxFrameGetAnimHierarchy(kept)->flags, gxHANIMHIERARCHYUPDATEMODELLINGMATRICES | 0x100);
    EXPECT_EQ(GxFrameGetAnimHierarchy(kept)->pNodeInfo[2].flags, 5);
    GxFrameDestroyHierarchy(kept);
    std::vector<GxUInt8> sub = bytes;
    GxBytesPutU32(&sub[flagsAt], gxHANIMHIERARCHYSUBHIERARCHY);
    EXPECT_EQ(ReadFrames(sub), nullptr);
    GxAnimTestTakeError();
    GxFrameDestroyHierarchy(root);
    GxFrameDestroyHierarchy(back);
}

TEST_F(HierarchyTest, CopiedFrameGetsItsOwnHierarchy)
{
    GxFrame* root = GxFrameCreate();
    GxAnimHierarchy* h = GxAnimHierarchyCreate(3, kTreeFlags, kTreeIDs, 0, gxHANIMSTDKEYFRAMESTREAMSIZE);
    GxFrameSetAnimHierarchy(root, h);
    GxFrame* copy = GxFrameCloneHierarchy(root);
    ASSERT_NE(copy, nullptr);
    GxAnimHierarchy* copied = GxFrameGetAnimHierarchy(copy);
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied, h);
    EXPECT_EQ(copied->parentFrame, copy);
    EXPECT_EQ(copied->pNodeInfo[1].flags, kTreeFlags[1]);
    GxFrameDestroyHierarchy(root);
    GxFrameDestroyHierarchy(copy);
}

// The standard scheme that cannot be registered (here a full table) leaves the open going on.
TEST(HierarchyPluginLifetime, AnOpenWhoseSchemeCannotRegisterStillSucceeds)
{
    GxTestEngineSetup setup = GxAnimEngineSetup();
    setup.start = false;
    GxTestEngine engine(setup);
    ASSERT_TRUE(engine.Ok()) << engine.Failure();
    GxAnimInterpolatorInfo info = {};
    for (info.typeID = 100; GxAnimRegisterInterpolatorInfo(&info); info.typeID++) {}
    GxAnimTestTakeError();
    EXPECT_TRUE(GxTestEngineOpenAndStart());
    EXPECT_EQ(GxAnimGetInterpolatorInfo(gxHANIMSTDKEYFRAMETYPEID), nullptr);
}

// The test engine forgets the hierarchy plugin between engines: a frame of a later one that leaves it out stops at
// the check instead of being read at the offset the first engine gave the extension.
TEST(HierarchyPluginLifetimeDeathTest, AFrameOfAnEngineWithoutThePluginIsNotRead)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    {
        GxTestEngine first(GxAnimEngineSetup());
        ASSERT_TRUE(first.Ok()) << first.Failure();
    }
    GxTestEngine later(GxTestRecordingSetup([] { return GxWorldPluginAttach() != 0; }));
    ASSERT_TRUE(later.Ok()) << later.Failure();
    GxFrame* frame = GxFrameCreate();
    ASSERT_NE(frame, nullptr);
    EXPECT_DEATH(GxFrameGetAnimHierarchy(frame), "a frame of an engine with the hierarchy plugin");
    GxFrameDestroy(frame);
}

}  // namespace
