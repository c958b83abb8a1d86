// The humanoid read back from its character file: skeleton and skin intact, every animation binds, and the
// first pose of the pause skins the body onto its bind pose.
#include "tools/content/humanoid_writer.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "gfx/core/filesys.h"
#include "gfx/core/frame.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/userdata.h"
#include "tools/content/texdict_writer.h"

namespace {

const ContentHumanoidPlan kPlan = {
    {230, 190, 160, 255}, {40, 90, 200, 255}, {60, 60, 70, 255}, {30, 20, 10, 255}, {90, 60, 20, 255}};

class HumanoidWriter : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldObjectsPluginAttach() && GxUserDataPluginAttach() && GxAnimHierarchyPluginAttach() &&
                    GxSkinPluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(GxTestFileSystemOpen());
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
    }
};

GxAtomic* FirstAtomic(GxClump* clump)
{
    return GxLinkIsEmpty(&clump->atomicList)
               ? nullptr
               : reinterpret_cast<GxAtomic*>(reinterpret_cast<char*>(clump->atomicList.next) -
                                             offsetof(GxAtomic, inClumpLink));
}

TEST_F(HumanoidWriter, NodeFlagsFollowTheTreeShape)
{
    GxInt32 ids[CONTENTHUMANOIDBONES];
    GxInt32 flags[CONTENTHUMANOIDBONES];
    ContentHumanoidNodes(ids, flags);
    EXPECT_EQ(flags[0], 0);                                              // hips: children, no sibling
    EXPECT_EQ(flags[1], gxHANIMPUSHPARENTMATRIX);                        // spine: legs follow it
    EXPECT_EQ(flags[4], gxHANIMPOPPARENTMATRIX);                         // head: last leaf of its branch
    EXPECT_EQ(flags[3], gxHANIMPUSHPARENTMATRIX);                        // neck: arms follow it
    EXPECT_EQ(flags[CONTENTHUMANOIDBONES - 1], gxHANIMPOPPARENTMATRIX);  // right foot
}

TEST_F(HumanoidWriter, CharacterFileReadsBackAndItsFirstPoseIsTheBindPose)
{
    const std::string file = "humanoid_writer_test.gxs";
    ASSERT_TRUE(ContentHumanoidFileWrite(file.c_str(), kPlan));
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, file.c_str());
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr));
    GxClump* clump = GxClumpStreamRead(stream);
    ASSERT_NE(clump, nullptr);
    std::vector<GxAnimation*> animations;
    while (GxStreamFindChunk(stream, gxID_ANIMANIMATION, nullptr, nullptr)) {
        GxAnimation* animation = GxAnimationStreamRead(stream);
        ASSERT_NE(animation, nullptr);
        animations.push_back(animation);
    }
    GxStreamClose(stream, nullptr);
    ASSERT_EQ(animations.size(), ContentHumanoidAnimationNames().size());

    GxFrame* hips = static_cast<GxFrame*>(clump->object.parent)->child;
    GxAnimHierarchy* hierarchy = GxFrameGetAnimHierarchy(hips);
    ASSERT_NE(hierarchy, nullptr);
    ASSERT_EQ(hierarchy->numNodes, CONTENTHUMANOIDBONES);
    GxAnimHierarchyAttach(hierarchy);
    EXPECT_NE(hierarchy->pNodeInfo[CONTENTHUMANOIDBONES - 1].pFrame, nullptr);
    GxAtomic* atomic = FirstAtomic(clump);
    ASSERT_NE(atomic, nullptr);
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->numBones, static_cast<GxUInt32>(CONTENTHUMANOIDBONES));
    EXPECT_EQ(skin->maxNumWeightsForVertex, 2u);
    for (GxAnimation* animation : animations) {
        EXPECT_EQ(GxAnimationGetNumNodes(animation), CONTENTHUMANOIDBONES);
        EXPECT_TRUE(GxAnimHierarchySetCurrentAnim(hierarchy, animation));
    }
    // Pause at time 0 holds the bind pose: skinning must give back the modelled body.
    ASSERT_TRUE(GxAnimHierarchySetCurrentAnim(hierarchy, animations[0]));
    hierarchy->flags |= gxHANIMHIERARCHYLOCALSPACEMATRICES;
    GxAnimHierarchyUpdateMatrices(hierarchy);
    std::vector<GxMatrix> palette(gxSKINPALETTESIZE);
    GxD3D9SkinPaletteMatrices(palette.data(), nullptr, skin, hierarchy);
    const GxUInt32 n = static_cast<GxUInt32>(atomic->geometry->numVertices);
    std::vector<GxV3d> out(n);
    GxD3D9SkinBlend(skin, palette.data(), n, atomic->geometry->morphTarget[0].verts, out.data(), nullptr, nullptr,
                    sizeof(GxV3d));
    for (GxUInt32 v = 0; v < n; v += 7) {
        const GxV3d& want = atomic->geometry->morphTarget[0].verts[v];
        EXPECT_NEAR(out[v].x, want.x, 1e-4f) << "vertex " << v;
        EXPECT_NEAR(out[v].y, want.y, 1e-4f) << "vertex " << v;
    }
    // Walking moves the legs.
    ASSERT_TRUE(GxAnimHierarchySetCurrentAnim(hierarchy, animations[1]));
    GxAnimHierarchyAddAnimTime(hierarchy, 0.25f);
    GxAnimHierarchyUpdateMatrices(hierarchy);
    EXPECT_GT(std::fabs(hierarchy->pMatrixArray[CONTENTHUMANOIDBONES - 1].pos.z), 0.1f);

    for (GxAnimation* animation : animations) {
        GxAnimationDestroy(animation);
    }
    GxClumpDestroy(clump);
    std::filesystem::remove(file);
}

}  // namespace
