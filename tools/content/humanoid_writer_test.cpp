// The humanoid read back from its character file: skeleton and skin intact, every animation binds, and the
// first pose of the pause skins the body onto its bind pose.
#include "tools/content/humanoid_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gfx/core/frame.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/world/mesh.h"
#include "gfx/world/userdata.h"
#include "tools/content/clump_writer.h"
#include "tools/content/model_testing.h"
#include "tools/content/texdict_writer.h"

namespace {

constexpr GxReal kSoleHeight = 0.05f;  // bind heights: below, the soles; above, the head
constexpr GxReal kHeadHeight = 1.65f;
constexpr GxReal kSwing = 0.05f;  // a quarter into the walk the legs are swung out
constexpr GxReal kSteady = 0.02f;

class HumanoidWriter : public ContentCharacterTest {};

std::string Tag(GxMaterial* material)
{
    const GxUserDataArray* array =
        GxMaterialGetUserDataArrayCount(material) > 0 ? GxMaterialGetUserDataArray(material, 0) : nullptr;
    const char* tag = array ? GxUserDataArrayGetString(array, 0) : nullptr;
    return tag ? tag : "";
}

GxAtomic* FirstAtomic(GxClump* clump)
{
    return GxLinkIsEmpty(&clump->atomicList)
               ? nullptr
               : reinterpret_cast<GxAtomic*>(reinterpret_cast<char*>(clump->atomicList.next) -
                                             offsetof(GxAtomic, inClumpLink));
}

// Each material's triangles use one run of vertices of their own: a draw of one mesh reads no other's vertices.
TEST_F(HumanoidWriter, EachMaterialUsesItsOwnRunOfVertices)
{
    GxClump* clump = ContentHumanoidCreate(kContentTestPlan);
    ASSERT_NE(clump, nullptr);
    const GxGeometry* body = FirstAtomic(clump)->geometry;
    ASSERT_NE(body, nullptr);
    std::map<GxUInt16, std::pair<GxUInt16, GxUInt16>> runs;  // material: first and last vertex
    std::map<GxUInt16, std::set<GxUInt16>> used;
    for (GxInt32 t = 0; t < body->numTriangles; t++) {
        const GxTriangle& triangle = body->triangles[t];
        for (GxUInt16 v : triangle.vertIndex) {
            auto run = runs.emplace(triangle.matIndex, std::make_pair(v, v)).first;
            run->second.first = std::min(run->second.first, v);
            run->second.second = std::max(run->second.second, v);
            used[triangle.matIndex].insert(v);
        }
    }
    EXPECT_GE(runs.size(), 4u);
    GxInt32 spans = 0;
    for (const auto& [material, run] : runs) {
        EXPECT_EQ(run.second - run.first + 1u, used[material].size()) << "material " << material;
        spans += run.second - run.first + 1;
    }
    EXPECT_EQ(spans, body->numVertices);
    GxClumpDestroy(clump);
}

TEST_F(HumanoidWriter, CharacterFileReadsBackAndItsFirstPoseIsTheBindPose)
{
    const std::string file = "humanoid_writer_test.gxs";
    ASSERT_TRUE(ContentHumanoidFileWrite(file.c_str(), kContentTestPlan));
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
    // The far body: a level of detail of the body atomic, skinned to the same skeleton with fewer vertices and
    // meshes, dressed in materials of the body's tags; the body itself is the atomic's own geometry, held once.
    const GxLODAtomicRecord* levels = GxLODAtomicGetRecord(atomic);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(levels->geometry[0], atomic->geometry);
    const GxGeometry* far = levels->geometry[2];
    ASSERT_NE(far, nullptr);
    EXPECT_LT(far->numVertices, atomic->geometry->numVertices);
    ASSERT_TRUE(far->mesh && atomic->geometry->mesh);
    EXPECT_LT(far->mesh->numMeshes, atomic->geometry->mesh->numMeshes) << "a draw fewer";
    const GxSkin* farSkin = GxSkinGeometryGetSkin(const_cast<GxGeometry*>(far));
    ASSERT_NE(farSkin, nullptr);
    EXPECT_EQ(farSkin->numBones, static_cast<GxUInt32>(CONTENTHUMANOIDBONES));
    // It lists as used only the bones that weigh on it: fewer than the body, and every weighted bone among them.
    EXPECT_LT(farSkin->numBoneIDs, skin->numBoneIDs);
    // Its boxes share their corners and ride their bones rigidly: one weight a vertex, the lightest skinning.
    EXPECT_EQ(far->numVertices % kContentCornersPerBox, 0);
    EXPECT_EQ(farSkin->maxNumWeightsForVertex, 1u);
    const std::set<GxUInt8> listed(farSkin->boneIDs, farSkin->boneIDs + farSkin->numBoneIDs);
    for (GxInt32 v = 0; v < far->numVertices; v++) {
        for (GxUInt32 slot = 0; slot < gxSKINMAXWEIGHTS; slot++) {
            if (farSkin->vertexBoneWeights[v * gxSKINMAXWEIGHTS + slot] > 0.0f) {
                EXPECT_EQ(listed.count((farSkin->vertexBoneIndices[v] >> (8 * slot)) & 0xFF), 1u) << v;
            }
        }
    }
    std::set<std::string> bodyTags;
    for (GxInt32 m = 0; m < atomic->geometry->matList.numMaterials; m++) {
        bodyTags.insert(Tag(atomic->geometry->matList.materials[m]));
    }
    for (GxInt32 m = 0; m < far->matList.numMaterials; m++) {
        EXPECT_EQ(bodyTags.count(Tag(far->matList.materials[m])), 1u) << Tag(far->matList.materials[m]);
    }
    EXPECT_EQ(skin->maxNumWeightsForVertex, 2u);
    for (GxAnimation* animation : animations) {
        EXPECT_EQ(GxAnimationGetNumNodes(animation), CONTENTHUMANOIDBONES);
        EXPECT_TRUE(GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, animation));
    }
    // Pause at time 0 holds the bind pose: skinning must give back the modelled body, which it does only when the
    // nodes push and pop their parents' matrices as the tree's shape asks.
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, animations[0]));
    hierarchy->flags |= gxHANIMHIERARCHYLOCALSPACEMATRICES;
    GxAnimHierarchyUpdateMatrices(hierarchy);
    std::vector<GxMatrix> palette(gxSKINPALETTESIZE);
    GxD3D9SkinPaletteMatrices(palette.data(), nullptr, skin, hierarchy);
    const GxUInt32 n = static_cast<GxUInt32>(atomic->geometry->numVertices);
    std::vector<GxV3d> out(n);
    GxD3D9SkinBlendSSE(skin, palette.data(), n, atomic->geometry->morphTarget[0].verts, out.data(), nullptr, nullptr,
                       sizeof(GxV3d));
    for (GxUInt32 v = 0; v < n; v += 7) {
        const GxV3d& want = atomic->geometry->morphTarget[0].verts[v];
        EXPECT_NEAR(out[v].x, want.x, 1e-4f) << "vertex " << v;
        EXPECT_NEAR(out[v].y, want.y, 1e-4f) << "vertex " << v;
    }
    // Walking moves the legs, and the skin follows its own bones: the soles swing, left against right, while the
    // head stays.
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, animations[1]));
    GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, 0.25f);
    GxAnimHierarchyUpdateMatrices(hierarchy);
    EXPECT_GT(std::fabs(hierarchy->pMatrixArray[CONTENTHUMANOIDBONES - 1].pos.z), 0.1f);
    GxD3D9SkinPaletteMatrices(palette.data(), nullptr, skin, hierarchy);
    GxD3D9SkinBlendSSE(skin, palette.data(), n, atomic->geometry->morphTarget[0].verts, out.data(), nullptr, nullptr,
                       sizeof(GxV3d));
    int heads = 0;
    int soles[2] = {};  // left (+x, swung back a quarter in), right
    for (GxUInt32 v = 0; v < n; v++) {
        const GxV3d& bind = atomic->geometry->morphTarget[0].verts[v];
        const GxReal moved = out[v].z - bind.z;
        if (bind.y < kSoleHeight) {
            const int side = bind.x > 0.0f ? 0 : 1;
            soles[side]++;
            EXPECT_GT(side == 0 ? -moved : moved, kSwing) << "sole vertex " << v;
        } else if (bind.y > kHeadHeight) {
            heads++;
            EXPECT_LT(std::fabs(moved), kSteady) << "head vertex " << v;
        }
    }
    EXPECT_GT(soles[0], 0);
    EXPECT_GT(soles[1], 0);
    EXPECT_GT(heads, 0);

    for (GxAnimation* animation : animations) {
        GxAnimationDestroy(animation);
    }
    GxClumpDestroy(clump);
    std::filesystem::remove(file);
}

}  // namespace
