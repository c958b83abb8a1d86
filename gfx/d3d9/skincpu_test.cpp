// Processor skinning of a small character against hand-computed positions: weights, skipped slots, normals,
// the palette's world inverse and cache, and clamped node counts.
#include <cstring>
#include <vector>

#include "gfx/anim/anim_testing.h"
#include "gfx/d3d9/skincpu.h"

namespace {

constexpr GxReal kHalfPi = 1.5707963f;

// Bone 0 at the origin turns a quarter turn about z over one second; bone 1 is its child one unit up.
void FillArm(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void*)
{
    const GxV3d z = {0.0f, 0.0f, 1.0f};
    if (node == 0) {
        GxAnimQuatFromAxisAngle(frame->q, &z, key * kHalfPi);
    } else {
        frame->t = {0.0f, 1.0f, 0.0f};
    }
}

GxUInt32 Pack(GxUInt8 a, GxUInt8 b, GxUInt8 c, GxUInt8 d)
{
    return a | (b << 8) | (c << 16) | (static_cast<GxUInt32>(d) << 24);
}

struct Vertex {
    GxV3d position;
    GxV3d normal;
};

class SkinCpuTest : public AnimTest {
protected:
    void SetUp() override
    {
        AnimTest::SetUp();
        const GxReal times[2] = {0.0f, 1.0f};
        anim = GxAnimStdAnimationBuild(2, 2, times, FillArm, nullptr);
        const GxInt32 flags[2] = {0, gxHANIMPOPPARENTMATRIX};
        hierarchy =
            GxAnimHierarchyCreate(2, flags, nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES, gxHANIMSTDKEYFRAMESTREAMSIZE);
        ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, anim));
        GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, 1.0f);
        GxAnimHierarchyUpdateMatrices(hierarchy);

        // Bind pose: bone 0 at the origin, bone 1 one unit up; skin-to-bone are their inverses.
        GxMatrix toBone[2];
        GxMatrixSetIdentity(&toBone[0]);
        GxMatrixSetIdentity(&toBone[1]);
        toBone[1].pos = {0.0f, -1.0f, 0.0f};
        const GxReal weights[4 * 4] = {1, 0, 0, 0, 1, 0, 0, 0, 0.5f, 0.5f, 0, 0, 0.5f, 0.5f, 0, 0.2f};
        const GxUInt32 indices[4] = {Pack(0, 0, 0, 0), Pack(1, 0, 0, 0), Pack(0, 1, 0, 0), Pack(0, 1, 0, 1)};
        skin = GxSkinCreate();
        const GxUInt8 used[2] = {0, 1};
        ASSERT_TRUE(GxSkinDataAllocate(skin, 2, 2, 4, used, weights, indices, toBone));
        skin->maxNumWeightsForVertex = 4;
    }
    void TearDown() override
    {
        GxSkinDestroy(skin);
        GxAnimHierarchyDestroy(hierarchy);
        GxAnimationDestroy(anim);
        AnimTest::TearDown();
    }

    GxAnimation* anim = nullptr;
    GxAnimHierarchy* hierarchy = nullptr;
    GxSkin* skin = nullptr;
    const GxV3d positions[4] = {{1, 0, 0}, {0, 2, 0}, {0, 1, 0}, {1, 0, 0}};
    const GxV3d normals[4] = {{1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {1, 0, 0}};
};

void ExpectNear(const GxV3d& v, GxReal x, GxReal y, GxReal z)
{
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

// The packed routines read the row palette, the scalar ones the column palette made from it by the palette
// product; each must give the hand-computed positions.
struct Layouts {
    GxMatrix rows[gxSKINPALETTESIZE];
    GxReal columns[gxSKINPALETTESIZE * gxD3D9SKINBONEFLOATS];
};

void Blend(const GxSkin* skin, const Layouts& p, bool packed, const GxV3d* positions, Vertex* out, const GxV3d* normals)
{
    GxV3d* outNormals = normals ? &out[0].normal : nullptr;
    if (packed) {
        GxD3D9SkinBlendSSE(skin, p.rows, 4, positions, &out[0].position, normals, outNormals, sizeof(Vertex));
    } else {
        GxD3D9SkinBlend(skin, p.columns, 4, positions, &out[0].position, normals, outNormals, sizeof(Vertex));
    }
}

TEST_F(SkinCpuTest, QuarterTurnMovesEachVertexByItsWeightedBonesInBothLayouts)
{
    auto* p = new Layouts;
    GxD3D9SkinPaletteMatrices(p->rows, nullptr, skin, hierarchy);
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);
    for (GxUInt32 i = 0; i < 2; i++) {
        GxD3D9SkinMatrixMultiplyPalette(&p->columns[gxD3D9SKINBONEFLOATS * i], &p->rows[i], &identity);
    }
    for (const bool packed : {true, false}) {
        SCOPED_TRACE(packed ? "packed" : "scalar");
        skin->maxNumWeightsForVertex = 4;
        skin->numBoneIDs = 2;
        skin->boneIDs[0] = 0;
        Vertex out[4];
        Blend(skin, *p, packed, positions, out, normals);
        ExpectNear(out[0].position, 0, 1, 0);   // bone 0 alone
        ExpectNear(out[1].position, -2, 0, 0);  // bone 1 alone: (0, 2, 0) turned
        ExpectNear(out[2].position, -1, 0, 0);  // half and half, both land on (-1, 0, 0)
        ExpectNear(out[3].position, 0, 1, 0);   // fourth weight ignored: the third is 0
        ExpectNear(out[0].normal, 0, 1, 0);
        ExpectNear(out[1].normal, -1, 0, 0);
        ExpectNear(out[2].normal, -1, 0, 0);

        // Two weights: the same sums for vertices that use two bones.
        skin->maxNumWeightsForVertex = 2;
        Vertex two[4];
        Blend(skin, *p, packed, positions, two, nullptr);
        ExpectNear(two[2].position, -1, 0, 0);
        // One weight: each vertex by its first bone alone.
        skin->maxNumWeightsForVertex = 1;
        Blend(skin, *p, packed, positions, two, nullptr);
        ExpectNear(two[1].position, -2, 0, 0);
        ExpectNear(two[2].position, -1, 0, 0);  // (0, 1, 0) by bone 0
        // One weight and one used bone: every vertex takes that bone.
        skin->numBoneIDs = 1;
        skin->boneIDs[0] = 1;
        Blend(skin, *p, packed, positions, two, normals);
        ExpectNear(two[0].position, 0, 1, 0);  // (1, -1, 0) in bone 1's space, turned, plus its (-1, 0, 0)
        ExpectNear(two[0].normal, 0, 1, 0);
    }
    delete p;
}

TEST_F(SkinCpuTest, WorldSpaceNodesAreBroughtBackByTheAtomicsInverse)
{
    GxMatrix local[gxSKINPALETTESIZE];
    GxD3D9SkinPaletteMatrices(local, nullptr, skin, hierarchy);
    GxMatrix world;
    GxMatrixSetIdentity(&world);
    world.pos = {5.0f, 0.0f, 0.0f};
    GxMatrixUpdate(&world);
    hierarchy->flags = 0;  // node matrices now in world space
    for (GxInt32 i = 0; i < 2; i++) {
        GxMatrix moved;
        GxMatrixMultiply(&moved, &hierarchy->pMatrixArray[i], &world);
        hierarchy->pMatrixArray[i] = moved;
    }
    GxMatrix palette[gxSKINPALETTESIZE];
    GxD3D9SkinPaletteMatrices(palette, &world, skin, hierarchy);
    for (GxInt32 i = 0; i < 2; i++) {
        ExpectNear(palette[i].pos, local[i].pos.x, local[i].pos.y, local[i].pos.z);
        ExpectNear(palette[i].up, local[i].up.x, local[i].up.y, local[i].up.z);
    }
}

TEST_F(SkinCpuTest, NodeCountsBeyondTheSkinReadNoFurtherThanItsBones)
{
    // A hierarchy with more nodes than the skin has bones fills only the bones' entries.
    GxAnimHierarchy* big =
        GxAnimHierarchyCreate(40, nullptr, nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES, gxHANIMSTDKEYFRAMESTREAMSIZE);
    EXPECT_EQ(GxD3D9SkinPaletteCount(skin, big), 2u);
    std::vector<GxMatrix> palette(2);  // exactly the bones: ASan catches any write past them
    GxD3D9SkinPaletteMatrices(palette.data(), nullptr, skin, big);
    // Fewer nodes than bones: the rest of the bones' entries are the identity, not stale.
    GxAnimHierarchy* one =
        GxAnimHierarchyCreate(1, nullptr, nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES, gxHANIMSTDKEYFRAMESTREAMSIZE);
    palette[1].pos = {9, 9, 9};
    GxD3D9SkinPaletteMatrices(palette.data(), nullptr, skin, one);
    ExpectNear(palette[1].pos, 0, 0, 0);
    ExpectNear(palette[1].right, 1, 0, 0);
    GxAnimHierarchyDestroy(big);
    GxAnimHierarchyDestroy(one);
}

// The scalar products a x b in their written order: the palette must match them bit for bit, or skinned
// vertices move by a rounding between builds of the engine.
GxMatrix ScalarAffine(const GxMatrix& a, const GxMatrix& b)
{
    const auto row = [&](const GxV3d& v) {
        return GxV3d{v.x * b.right.x + v.y * b.up.x + v.z * b.at.x, v.x * b.right.y + v.y * b.up.y + v.z * b.at.y,
                     v.x * b.right.z + v.y * b.up.z + v.z * b.at.z};
    };
    GxMatrix m = {};
    m.right = row(a.right);
    m.up = row(a.up);
    m.at = row(a.at);
    const GxV3d p = row(a.pos);
    m.pos = {p.x + b.pos.x, p.y + b.pos.y, p.z + b.pos.z};
    return m;
}

GxMatrix Awkward(GxReal seed)
{
    GxMatrix m;
    GxReal* f = &m.right.x;
    for (GxInt32 i = 0; i < 16; i++) {
        f[i] = seed * (1.0f + 0.37f * static_cast<GxReal>(i)) / (3.0f + static_cast<GxReal>(i % 5)) - 0.71f;
    }
    m.flags = 0xFFFFFFFFu;  // spare words full of bits the palette must not carry
    m.pad1 = m.pad2 = m.pad3 = 0x7FC00001u;
    return m;
}

TEST_F(SkinCpuTest, PaletteEntriesAreTheScalarProductsWithSpareWordsCleared)
{
    hierarchy->flags = 0;  // world-space nodes: each entry is skin-to-bone x node x world inverse
    hierarchy->pMatrixArray[0] = Awkward(1.3f);
    hierarchy->pMatrixArray[1] = Awkward(-7.9f);
    skin->skinToBoneMatrices[0] = Awkward(0.11f);
    skin->skinToBoneMatrices[1] = Awkward(123.4f);
    GxMatrix world = Awkward(2.5f);
    world.flags = 0;
    GxMatrix inverse;
    GxMatrixInvert(&inverse, &world);
    GxMatrix palette[gxSKINPALETTESIZE];
    GxD3D9SkinPaletteMatrices(palette, &world, skin, hierarchy);
    for (GxInt32 i = 0; i < 2; i++) {
        const GxMatrix expected =
            ScalarAffine(ScalarAffine(skin->skinToBoneMatrices[i], hierarchy->pMatrixArray[i]), inverse);
        EXPECT_EQ(std::memcmp(&palette[i], &expected, sizeof(GxMatrix)), 0) << "entry " << i;
    }
}

}  // namespace
