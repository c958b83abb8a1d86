// Skin pipeline on the software device: a skinned atomic gets the skin pipeline when read or set, its vertex
// stream holds the blended pose after a draw, and the combined transform follows view and projection.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/anim/skinsplit_testing.h"
#include "gfx/d3d9/atomicpipe_testing.h"
#include "gfx/d3d9/matfx.h"
#include "gfx/d3d9/skin_local.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/d3d9/skininstance.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/d3d9/skinpipe_testing.h"
#include "gfx/d3d9/vsbuilder.h"
#include "gfx/d3d9/vscache_testing.h"
#include "gfx/world/world.h"
#include "platform/d3d9/d3dx9.h"
#include "platform/d3d9/gl_pixel_testing.h"
#include "platform/testsupport/softdevice.h"
#include "platform/win32/gl_required_testing.h"

namespace {

void FillLift(GxInt32, GxInt32 key, GxAnimStdKeyFrame* frame, void*)
{
    frame->t = {0.0f, 0.5f * static_cast<GxReal>(key), 0.0f};
}

// Two bones: the root lifts and turns about z, its child slides along x and turns about x.
void FillTwoBones(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void*)
{
    const GxReal k = static_cast<GxReal>(key);
    const GxV3d z = {0.0f, 0.0f, 1.0f};
    const GxV3d x = {1.0f, 0.0f, 0.0f};
    if (node == 0) {
        GxAnimQuatFromAxisAngle(frame->q, &z, 0.4f * k);
        frame->t = {0.0f, 0.5f * k, 0.0f};
    } else {
        GxAnimQuatFromAxisAngle(frame->q, &x, 0.7f * k);
        frame->t = {0.3f * k, 0.0f, 0.0f};
    }
}

// The driver's instance of a drawn geometry, which follows its resource entry.
GxD3D9InstanceHeader* InstanceOf(GxGeometry* geometry)
{
    return reinterpret_cast<GxD3D9InstanceHeader*>(geometry->repEntry + 1);
}

// Makes the skin pipelines of the types again, for the device's capabilities as they now stand.
// After a change of the device's capabilities: the shader cache reads them when the atomic pipeline makes it.
bool RebuildSkinPipelines(GxUInt32 types)
{
    GxD3D9VertexShaderCacheClose();
    GxD3D9VertexShaderCacheOpen();
    return GxSkinPipelinesDestroy() && GxSkinPipelinesCreate(types);
}

class SkinPipeTest : public GxAtomicPipeTest {
protected:
    void SetUp() override
    {
        StartEngine([this] {
            return GxWorldPluginAttach() && GxD3D9WorldPluginAttach() && GxAnimHierarchyPluginAttach() &&
                   GxD3D9SkinPluginAttach() && (!withEffects || GxD3D9MaterialEffectsPluginAttach());
        });
        if (HasFatalFailure() || IsSkipped()) {
            return;
        }
        GxLinkInit(&gxAtomicPipeTestLights);
        GxD3D9SetWorldLightsQuery(GxAtomicPipeTestLightsQuery);
        camera = GxTestCameraCreate(64, 64);
        ASSERT_NE(camera, nullptr);
        const GxReal times[2] = {0.0f, 1.0f};
        anim = GxAnimStdAnimationBuild(1, 2, times, FillLift, nullptr);
    }
    void TearDown() override
    {
        if (hierarchy) {
            GxAnimHierarchyDestroy(hierarchy);
        }
        for (GxAnimation* animation : {anim, twoBones}) {
            if (animation) {
                GxAnimationDestroy(animation);
            }
        }
        GxAtomicPipeTest::TearDown();
    }

    // A geometry (a box by default) whose every vertex follows bone 0.
    GxAtomic* SkinnedAtomic(GxGeometry* geometry = nullptr)
    {
        geometry = geometry ? geometry : GxWorldTestBox(nullptr, nullptr);
        const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
        std::vector<GxReal> weights(n * 4, 0.0f);
        for (GxUInt32 v = 0; v < n; v++) {
            weights[v * 4] = 1.0f;
        }
        std::vector<GxUInt32> indices(n, 0);
        GxMatrix toBone;
        GxMatrixSetIdentity(&toBone);
        GxSkin* skin = GxSkinCreate();
        const GxUInt8 used = 0;
        GxSkinDataAllocate(skin, 1, 1, n, &used, weights.data(), indices.data(), &toBone);
        skin->maxNumWeightsForVertex = 1;
        GxSkinGeometrySetSkin(geometry, skin);
        GxAtomic* atomic = MakeAtomic(geometry);
        hierarchy = GxAnimHierarchyCreate(1, nullptr, nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES,
                                          gxHANIMSTDKEYFRAMESTREAMSIZE);
        GxSkinAtomicSetHierarchy(atomic, hierarchy);
        GxSkinAtomicInitPipeline(atomic, 1);
        return atomic;
    }

    // Makes `hierarchy` a two-node one running the two-bone animation, posed `time` seconds in; false when
    // either can not be made.
    bool PoseTwoBones(GxReal time)
    {
        const GxReal times[2] = {0.0f, 1.0f};
        twoBones = GxAnimStdAnimationBuild(2, 2, times, FillTwoBones, nullptr);
        hierarchy = GxAnimHierarchyCreate(2, nullptr, nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES,
                                          gxHANIMSTDKEYFRAMESTREAMSIZE);
        if (!twoBones || !hierarchy || !GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, twoBones))
            return false;
        if (time > 0.0f)
            GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, time);
        GxAnimHierarchyUpdateMatrices(hierarchy);
        return true;
    }

    bool withEffects = false;
    GxAnimation* anim = nullptr;
    GxAnimation* twoBones = nullptr;  // PoseTwoBones's
    GxAnimHierarchy* hierarchy = nullptr;
};

GxV3d StreamPosition(GxD3D9InstanceHeader* header, GxUInt32 v)
{
    GxD3D9VertexStream& s = header->streams[0];
    void* data = nullptr;
    GxV3d out = {};
    if (SUCCEEDED(s.buffer->Lock(s.offset, s.stride * header->vertexTotal, &data, D3DLOCK_READONLY))) {
        memcpy(&out, static_cast<char*>(data) + static_cast<size_t>(v) * s.stride, sizeof(out));
        s.buffer->Unlock();
    }
    return out;
}

// A clump holding a copy of the atomic (its pipeline included), written and read back; null when it does not read.
GxClump* ReadBackInAClump(GxAtomic* atomic)
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxClumpSetFrame(clump, root);
    GxAtomic* copy = GxAtomicClone(atomic);
    GxAtomicSetFrame(copy, root);
    GxClumpAddAtomic(clump, copy);
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([&](GxStream* s) { return GxClumpStreamWrite(clump, s) != nullptr; });
    GxClumpDestroy(clump);
    return GxWorldTestRead<GxClump>(bytes, gxID_CLUMP, GxClumpStreamRead);
}

GxAtomic* FirstAtomic(GxClump* clump)
{
    return reinterpret_cast<GxAtomic*>(reinterpret_cast<char*>(clump->atomicList.next) -
                                       offsetof(GxAtomic, inClumpLink));
}

TEST_F(SkinPipeTest, DrawBlendsThePoseIntoTheVertexStream)
{
    // A device without vertex shaders keeps every skin on the processor.
    const D3DCAPS9 saved = gxD3D9State.caps;
    gxD3D9State.caps.VertexShaderVersion = 0;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    gxD3D9State.caps = saved;
    ASSERT_NE(GxD3D9SkinGetPipeline(0), nullptr);
    GxAtomic* atomic = SkinnedAtomic();
    EXPECT_EQ(atomic->pipeline, GxD3D9SkinGetPipeline(0));
    ASSERT_TRUE(GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, anim));
    GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, 1.0f);
    GxAnimHierarchyUpdateMatrices(hierarchy);
    ASSERT_TRUE(Render());
    GxGeometry* geometry = atomic->geometry;
    ASSERT_NE(geometry->repEntry, nullptr);
    auto* header = InstanceOf(geometry);
    // Hardware transform: positions and normals in a stream of their own, locked with discard at each blend.
    const bool hardware = (gxD3D9State.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    EXPECT_EQ(header->streams[0].pooled, hardware ? 0u : 1u);
    EXPECT_EQ(header->streams[0].contents & (gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS),
              gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS);
    for (GxUInt32 v : {0u, 7u, 23u}) {
        const GxV3d p = StreamPosition(header, v);
        EXPECT_FLOAT_EQ(p.x, geometry->morphTarget[0].verts[v].x);
        EXPECT_FLOAT_EQ(p.y, geometry->morphTarget[0].verts[v].y + 0.5f) << "vertex " << v;
    }
    // The next pose is blended at the next draw.
    GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, 0.5f);  // wraps to 0.5: lifted by 0.25
    GxAnimHierarchyUpdateMatrices(hierarchy);
    ASSERT_TRUE(Render());
    EXPECT_FLOAT_EQ(StreamPosition(header, 0).y, geometry->morphTarget[0].verts[0].y + 0.25f);
}

TEST_F(SkinPipeTest, SkinWhoseIndexBufferCannotBeMadeIsNotDrawnUntilItCanBe)
{
    GxAtomic* atomic = SkinnedAtomic();
    D3D9SoftSetLogging(gxD3D9State.device, true);
    D3D9SoftClearLog(gxD3D9State.device);
    // The index buffer is the instance's first buffer: without it the indexed box is not drawn at all.
    D3D9SoftFailCreates(gxD3D9State.device, 1, D3D9SOFT_FAIL_BUFFERS);
    EXPECT_FALSE(Render());
    EXPECT_EQ(atomic->geometry->repEntry, nullptr);
    EXPECT_EQ(D3D9SoftCount(gxD3D9State.device, D3D9SOFT_DRAW), 0u);
    // The next draw instances it whole and draws it indexed.
    ASSERT_TRUE(Render());
    D3D9SoftSetLogging(gxD3D9State.device, false);
    ASSERT_NE(atomic->geometry->repEntry, nullptr);
    GxD3D9InstanceHeader* header = InstanceOf(atomic->geometry);
    ASSERT_NE(header->indexBuffer, nullptr);
    EXPECT_GT(GxD3D9InstanceMeshes(header)[0].indexCount, 0u);
    EXPECT_EQ(D3D9SoftCount(gxD3D9State.device, D3D9SOFT_DRAW), header->meshCount);
}

// A skinned strip keeps the mesh header's primitive, its indices as they are, however long the strip.
TEST_F(SkinPipeTest, SkinnedStripIsInstancedAsTheStripItIs)
{
    GxGeometry* geometry = GxAtomicPipeTestSplitStrip();
    ASSERT_NE(geometry, nullptr);
    const GxUInt32 stripIndices = geometry->mesh->totalIndicesInMesh;
    ASSERT_GT(stripIndices, 6u);
    GxAtomic* atomic = SkinnedAtomic(geometry);
    ASSERT_TRUE(Render());
    GxD3D9InstanceHeader* header = InstanceOf(atomic->geometry);
    EXPECT_EQ(header->primitive, static_cast<GxUInt32>(D3DPT_TRIANGLESTRIP));
    EXPECT_EQ(header->indexTotal, stripIndices);
    const GxD3D9MeshInstance* mesh = GxD3D9InstanceMeshes(header);
    EXPECT_EQ(mesh->indexCount, stripIndices);
    EXPECT_EQ(mesh->primitiveCount, stripIndices - 2);
}

TEST_F(SkinPipeTest, ReadAtomicWithASkinGetsTheSkinPipeline)
{
    GxAtomic* atomic = SkinnedAtomic();
    atomic->pipeline = nullptr;
    GxClump* read = ReadBackInAClump(atomic);
    ASSERT_NE(read, nullptr);
    GxAtomic* first = FirstAtomic(read);
    ASSERT_NE(GxSkinGeometryGetSkin(first->geometry), nullptr);
    EXPECT_EQ(first->pipeline, GxD3D9SkinGetPipeline(0));
    GxClumpDestroy(read);
}

class SkinEffectsPipeTest : public SkinPipeTest {
protected:
    SkinEffectsPipeTest() { withEffects = true; }
};

// With material effects attached the written rights still name the skin plugin with data 1, and the read gives
// the default skin pipeline back.
TEST_F(SkinEffectsPipeTest, WrittenSkinRightsAreThePluginAndDataOne)
{
    GxAtomic* atomic = SkinnedAtomic();
    GxSkinAtomicInitPipeline(atomic, 2);
    GxPipeline* pipeline = GxD3D9SkinGetPipeline(0);
    ASSERT_EQ(atomic->pipeline, pipeline);
    EXPECT_EQ(GxD3D9SkinGetPipeline(1), nullptr);
    EXPECT_EQ(pipeline->ownerPluginId, gxPLUGINSKIN);
    EXPECT_EQ(pipeline->pluginData, 1u);
    GxClump* read = ReadBackInAClump(atomic);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(FirstAtomic(read)->pipeline, pipeline);
    GxClumpDestroy(read);
}

TEST_F(SkinPipeTest, CombinedTransformIsTheTransposedProduct)
{
    ASSERT_TRUE(GxCameraBeginUpdate(camera));
    D3DMATRIX viewProj;
    GxD3D9VSSetWorldMatrix(nullptr);
    GxD3D9VSGetCombinedTransform(&viewProj);
    D3DXMATRIX expected;
    const D3DXMATRIX view(gxD3D9State.viewMatrix);
    const D3DXMATRIX projection(gxD3D9State.projectionMatrix);
    D3DXMatrixMultiply(&expected, &view, &projection);
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 4; c++) {
            EXPECT_FLOAT_EQ(viewProj.m[r][c], expected.m[c][r]);
        }
    }
    GxMatrix world;
    GxMatrixSetIdentity(&world);
    world.pos = {1.0f, 2.0f, 3.0f};
    GxD3D9VSSetWorldMatrix(&world);
    D3DMATRIX withWorld;
    GxD3D9VSGetCombinedTransform(&withWorld);
    // Row 3 of world x view-projection is pos x VP + VP row 3; transposed it is column 3.
    for (int c = 0; c < 4; c++) {
        const float want =
            1.0f * expected.m[0][c] + 2.0f * expected.m[1][c] + 3.0f * expected.m[2][c] + expected.m[3][c];
        EXPECT_NEAR(withWorld.m[c][3], want, 1e-4f);
    }
    GxCameraEndUpdate(camera);
}

// A stand-in assembler: a minimal token stream for every text, or a failure for every text.
HRESULT AssembleAny(const char*, UINT, const D3DXMACRO*, LPD3DXINCLUDE, DWORD, LPD3DXBUFFER* shader, LPD3DXBUFFER*)
{
    static const DWORD tokens[] = {D3DVS_VERSION(1, 1), 0x0000FFFF};
    if (FAILED(D3DXCreateBuffer(sizeof(tokens), shader))) {
        return E_OUTOFMEMORY;
    }
    memcpy((*shader)->GetBufferPointer(), tokens, sizeof(tokens));
    return D3D_OK;
}

HRESULT AssembleNothing(const char*, UINT, const D3DXMACRO*, LPD3DXINCLUDE, DWORD, LPD3DXBUFFER* shader, LPD3DXBUFFER*)
{
    *shader = nullptr;
    return D3DXERR_INVALIDDATA;
}

// A device that reports vertex and pixel shaders 1.1 with 96 constants; the skin pipeline is rebuilt to see it.
class ShaderSkinPipeTest : public SkinPipeTest {
protected:
    void SetUp() override
    {
        SkinPipeTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        saved = gxD3D9State.caps;
        D3DCAPS9& caps = gxD3D9State.caps;
        caps.DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
        caps.DevCaps2 |= D3DDEVCAPS2_STREAMOFFSET;
        caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
        caps.PixelShaderVersion = D3DPS_VERSION(1, 1);
        caps.MaxVertexShaderConst = 96;
        restore = true;
        ASSERT_TRUE(RebuildSkinPipelines(1));
    }
    void TearDown() override
    {
        GxD3D9VertexShaderSetAssembler(nullptr);
        SkinPipeTest::TearDown();
        if (restore) {
            gxD3D9State.caps = saved;
        }
    }
    GxAtomic* UnlitSkinnedAtomic()
    {
        GxAtomic* atomic = SkinnedAtomic();
        atomic->geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYLIGHT);
        return atomic;
    }
    void Pose(GxReal time)
    {
        GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, anim);
        GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, time);
        GxAnimHierarchyUpdateMatrices(hierarchy);
    }
    // An unlit skinned atomic, posed a second in and drawn once with `assembler` making the vertex shaders;
    // null if the draw fails.
    GxAtomic* DrawnSkinnedAtomic(decltype(&AssembleAny) assembler)
    {
        GxD3D9VertexShaderSetAssembler(assembler);
        GxAtomic* atomic = UnlitSkinnedAtomic();
        Pose(1.0f);
        return Render() ? atomic : nullptr;
    }
    // The same drawn by the generated shader, in the shader's layout; null otherwise.
    GxAtomic* ShaderDrawnSkinnedAtomic()
    {
        GxAtomic* atomic = DrawnSkinnedAtomic(AssembleAny);
        return atomic && DeclaresBlendIndices(InstanceOf(atomic->geometry)) ? atomic : nullptr;
    }
    // Whether the instance's declaration carries palette indices (the shader layout).
    bool DeclaresBlendIndices(const GxD3D9InstanceHeader* header)
    {
        D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH + 1];
        UINT count = MAXD3DDECLLENGTH + 1;
        bool found = false;
        if (header->declaration && SUCCEEDED(header->declaration->GetDeclaration(elements, &count))) {
            for (UINT i = 0; i + 1 < count; i++) {
                found = found || elements[i].Usage == D3DDECLUSAGE_BLENDINDICES;
            }
        }
        return found;
    }
    // The skinned atomic, posed a second in, was drawn by the processor: no shader, the processor's layout, and
    // the pose (lifted by 0.5) blended into its stream.
    void ExpectProcessorBlend(GxAtomic* atomic)
    {
        auto* header = InstanceOf(atomic->geometry);
        EXPECT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 0u);
        EXPECT_FALSE(DeclaresBlendIndices(header));
        EXPECT_FLOAT_EQ(StreamPosition(header, 7).y, atomic->geometry->morphTarget[0].verts[7].y + 0.5f);
    }

public:
    GxAtomic* MakeAtomicAt(GxGeometry* geometry, GxReal z) { return MakeAtomic(geometry, z); }
    D3DCAPS9 saved = {};
    bool restore = false;
};

TEST_F(ShaderSkinPipeTest, ShaderPathUploadsThePaletteAndLeavesTheBindPose)
{
    GxAtomic* atomic = DrawnSkinnedAtomic(AssembleAny);
    ASSERT_NE(atomic, nullptr);
    GxGeometry* geometry = atomic->geometry;
    ASSERT_NE(geometry->repEntry, nullptr);
    auto* header = InstanceOf(geometry);
    const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    EXPECT_EQ(skin->usesVertexShader, 1u);
    EXPECT_TRUE(DeclaresBlendIndices(header));
    EXPECT_EQ(header->streams[1].buffer, nullptr);  // nothing changes: one pooled stream
    EXPECT_EQ(header->streams[0].pooled, 1u);
    // The device blends: the vertex stream keeps the bind pose.
    EXPECT_FLOAT_EQ(StreamPosition(header, 7).y, geometry->morphTarget[0].verts[7].y);
    // Bone 0's rows follow the fixed registers (and the material colour when modulated): lifted by 0.5 in y.
    const GxUInt32 base = gxD3D9VSLIGHTSREGISTER + ((geometry->flags & gxGEOMETRYMODULATEMATERIALCOLOR) ? 1 : 0);
    float rows[3][4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(base, &rows[0][0], 3)));
    EXPECT_FLOAT_EQ(rows[0][0], 1.0f);
    EXPECT_FLOAT_EQ(rows[1][1], 1.0f);
    EXPECT_FLOAT_EQ(rows[1][3], 0.5f);
    EXPECT_FLOAT_EQ(rows[2][2], 1.0f);
}

// The constants go up in runs: the transform and the light block in one call from c0, and the used bones whose
// palette slots follow one another in one call each (bones 0, 1 and 3 of four make two runs), every bone's rows at
// its own slot. The shader stays set after the skin, and a fixed-function atomic drawn next draws without it.
TEST_F(ShaderSkinPipeTest, ConstantsGoUpInRunsAndTheNextFixedFunctionDrawHasNoShader)
{
    GxGeometry* geometry = GxWorldTestBox(nullptr, nullptr);
    geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYLIGHT);
    const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
    const GxUInt8 used[3] = {0, 1, 3};
    std::vector<GxReal> weights(n * 4, 0.0f);
    std::vector<GxUInt32> indices(n, 0);
    for (GxUInt32 v = 0; v < n; v++) {
        weights[v * 4] = 1.0f;
        indices[v] = used[v % 3];
    }
    GxMatrix toBone[4];
    for (GxMatrix& m : toBone) {
        GxMatrixSetIdentity(&m);
    }
    GxSkin* skin = GxSkinCreate();
    ASSERT_TRUE(GxSkinDataAllocate(skin, 4, 3, n, used, weights.data(), indices.data(), toBone));
    skin->maxNumWeightsForVertex = 1;
    GxSkinGeometrySetSkin(geometry, skin);
    GxAtomic* atomic = MakeAtomic(geometry);
    hierarchy =
        GxAnimHierarchyCreate(4, nullptr, nullptr, gxHANIMHIERARCHYLOCALSPACEMATRICES, gxHANIMSTDKEYFRAMESTREAMSIZE);
    ASSERT_NE(hierarchy, nullptr);
    GxSkinAtomicSetHierarchy(atomic, hierarchy);
    GxSkinAtomicInitPipeline(atomic, 1);
    for (GxInt32 b = 0; b < 4; b++) {
        GxMatrixSetIdentity(&hierarchy->pMatrixArray[b]);
        hierarchy->pMatrixArray[b].pos.y = static_cast<GxReal>(b);  // each bone lifted by its number
    }
    GxGeometry* plainBox = GxWorldTestBox(nullptr, nullptr);
    MakeAtomic(plainBox);
    GxD3D9VertexShaderSetAssembler(AssembleAny);
    D3D9SoftSetLogging(gxD3D9State.device, true);
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    D3D9SoftSetLogging(gxD3D9State.device, false);
    ASSERT_EQ(skin->usesVertexShader, 1u);
    const GxUInt32 base = gxD3D9VSLIGHTSREGISTER + ((geometry->flags & gxGEOMETRYMODULATEMATERIALCOLOR) ? 1 : 0);
    std::vector<std::pair<DWORD, DWORD>> uploads;  // first register, count
    std::vector<bool> shaded;                      // per draw: through a vertex shader
    for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
        if (e.type == D3D9SOFT_STATE && e.kind == D3D9_STATE_VSCONSTANT && (e.a == 0 || e.a >= base)) {
            uploads.emplace_back(e.a, e.b);
        }
        if (e.type == D3D9SOFT_DRAW) {
            shaded.push_back(!e.shaded.empty());
        }
    }
    // Unlit: the light block is the ambient register alone.
    const std::vector<std::pair<DWORD, DWORD>> runs = {{0, gxD3D9VSLIGHTSREGISTER}, {base, 6}, {base + 9, 3}};
    EXPECT_EQ(uploads, runs);
    ASSERT_EQ(shaded.size(), 2u);
    EXPECT_TRUE(shaded[0]);
    EXPECT_FALSE(shaded[1]) << "the fixed-function atomic after the skin";
    for (GxUInt32 bone : {0u, 1u, 3u}) {
        float rows[3][4] = {};
        ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(base + 3 * bone, &rows[0][0], 3)));
        EXPECT_FLOAT_EQ(rows[1][3], static_cast<float>(bone)) << "bone " << bone;
        EXPECT_FLOAT_EQ(rows[0][0], 1.0f) << "bone " << bone;
    }
}

// Linear fog without w-based fog: the shader's fog register holds the camera's fog range.
TEST_F(ShaderSkinPipeTest, LinearFogConstantsFollowTheCamera)
{
    gxD3D9State.caps.RasterCaps &= ~static_cast<DWORD>(D3DPRASTERCAPS_WFOG);
    gxD3D9State.caps.RasterCaps |= D3DPRASTERCAPS_FOGVERTEX;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxD3D9VertexShaderSetAssembler(AssembleAny);
    ASSERT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGTYPE, GxRenderStateValue(1)));
    ASSERT_TRUE(GxD3D9RenderStateSet(gxRENDERSTATEFOGENABLE, GxRenderStateValue(1)));
    GxUInt32 on = 0;
    ASSERT_TRUE(GxD3D9RenderStateGet(gxRENDERSTATEFOGENABLE, &on));
    ASSERT_EQ(on, 1u);
    camera->farPlane = 100.0f;
    camera->fogPlane = 20.0f;
    GxAtomic* atomic = UnlitSkinnedAtomic();
    ASSERT_FALSE(atomic->geometry->flags & gxGEOMETRYMODULATEMATERIALCOLOR);
    Pose(1.0f);
    ASSERT_TRUE(Render());
    ASSERT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 1u);
    float fog[4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(gxD3D9VSLIGHTSREGISTER, fog, 1)));
    EXPECT_FLOAT_EQ(fog[0], -1.0f / 80.0f);
    EXPECT_FLOAT_EQ(fog[1], 100.0f / 80.0f);
    EXPECT_FLOAT_EQ(fog[3], 1.0f);
    // The palette follows the fog register.
    float row[4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(gxD3D9VSLIGHTSREGISTER + 2, row, 1)));
    EXPECT_FLOAT_EQ(row[3], 0.5f);
    // Fog starting at the far plane has no range: the register stays finite.
    camera->fogPlane = camera->farPlane;
    ASSERT_TRUE(Render());
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(gxD3D9VSLIGHTSREGISTER, fog, 1)));
    EXPECT_TRUE(std::isfinite(fog[0]) && std::isfinite(fog[1]));
    GxD3D9RenderStateSet(gxRENDERSTATEFOGENABLE, GxRenderStateValue(0));
}

// The node's callbacks as a caller finds them by the node's name.
GxD3D9SkinNodeCallBacks* SkinNodeCallBacks(GxPipeline* pipeline)
{
    GxPipelineNode* node = GxPipelineFindNodeByName(pipeline, gxD3D9SKINNODENAME, nullptr, nullptr);
    return node ? static_cast<GxD3D9SkinNodeCallBacks*>(node->privateBlock) : nullptr;
}

int meshRenders = 0;
void CountingMeshRender(const GxD3D9InstanceHeader*, const GxD3D9MeshInstance* mesh,
                        const GxD3D9VertexShaderDescriptor*, const GxD3D9VertexShaderRegisters*)
{
    meshRenders += mesh->shader != nullptr;
}
int ends = 0;
void CountingEnd(GxAtomic*) { ends++; }
int fixedRenders = 0;
void CountingFixedRender(GxResourceEntry*, void*, GxUInt8 type, GxUInt32)
{
    fixedRenders += type == gxD3D9OBJECTATOMIC;
}

// A skin whose shader cannot be made at instancing takes the processor path: the shader layout drawn without a
// shader would show the vertices unposed and unlit.
TEST_F(ShaderSkinPipeTest, SkinWhoseShaderCannotBeMadeTakesTheProcessorPath)
{
    GxAtomic* atomic = DrawnSkinnedAtomic(AssembleNothing);
    ASSERT_NE(atomic, nullptr);
    ExpectProcessorBlend(atomic);
}

// A shader that cannot be made at a draw leaves the skin and its instance on the shader path: the constants go up
// and the meshes are drawn with no vertex shader, then the end callback runs.
TEST_F(ShaderSkinPipeTest, ShaderFailingAtADrawDrawsWithNone)
{
    GxAtomic* atomic = ShaderDrawnSkinnedAtomic();
    ASSERT_NE(atomic, nullptr);
    GxD3D9VertexShaderSetAssembler(AssembleNothing);
    GxD3D9VertexShaderCacheClose();
    GxD3D9VertexShaderCacheOpen();
    GxD3D9SkinNodeCallBacks* callBacks = SkinNodeCallBacks(GxD3D9SkinGetPipeline(0));
    ASSERT_NE(callBacks, nullptr);
    callBacks->end = CountingEnd;
    ends = 0;
    const float cleared[4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->SetVertexShaderConstantF(gxD3D9VSTRANSFORMREGISTER, cleared, 1)));
    D3D9SoftSetLogging(gxD3D9State.device, true);
    D3D9SoftClearLog(gxD3D9State.device);
    const bool rendered = Render();
    D3D9SoftSetLogging(gxD3D9State.device, false);
    ASSERT_TRUE(rendered);
    EXPECT_GT(D3D9SoftCount(gxD3D9State.device, D3D9SOFT_DRAW), 0u) << "the draw is made all the same";
    EXPECT_EQ(ends, 1);
    D3DMATRIX transform;
    GxD3D9VSGetCombinedTransform(&transform);
    float c0[4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(gxD3D9VSTRANSFORMREGISTER, c0, 1)));
    EXPECT_FLOAT_EQ(c0[0], transform.m[0][0]) << "the combined transform went up";
    EXPECT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 1u);
    EXPECT_TRUE(DeclaresBlendIndices(InstanceOf(atomic->geometry)));
    IDirect3DVertexShader9* current = nullptr;
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShader(&current)));
    EXPECT_EQ(current, nullptr);
}

// A morphing skin's instance lives on each atomic: a lock of its positions reaches every atomic's instance, not
// only the first drawn after it.
TEST_F(ShaderSkinPipeTest, LockedPositionsReachEveryAtomicsInstanceOfAMorphingSkin)
{
    GxD3D9VertexShaderSetAssembler(AssembleAny);
    GxAtomic* first = UnlitSkinnedAtomic();
    GxGeometry* geometry = first->geometry;
    ASSERT_GE(GxGeometryAddMorphTargets(geometry, 1), 0);
    GxAtomic* second = MakeAtomicAt(GxGeometryAddRef(geometry), 6.0f);
    GxSkinAtomicSetHierarchy(second, hierarchy);
    GxSkinAtomicInitPipeline(second, 1);
    ASSERT_TRUE(Render());
    ASSERT_EQ(GxSkinGeometryGetSkin(geometry)->usesVertexShader, 1u);
    GxGeometryLock(geometry, gxGEOMETRYLOCKVERTICES);
    geometry->morphTarget[0].verts[7].y += 2.0f;
    GxGeometryUnlock(geometry);
    ASSERT_TRUE(Render());
    for (GxAtomic* atomic : {first, second}) {
        ASSERT_NE(atomic->repEntry, nullptr);
        auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(atomic->repEntry + 1);
        EXPECT_FLOAT_EQ(StreamPosition(header, 7).y, geometry->morphTarget[0].verts[7].y);
    }
}

TEST_F(ShaderSkinPipeTest, DevicesWithoutShadersKeepSkinsOnTheProcessor)
{
    GxD3D9VertexShaderSetAssembler(AssembleAny);
    GxAtomic* lit = SkinnedAtomic();
    lit->geometry->flags |= gxGEOMETRYLIGHT;
    EXPECT_TRUE(GxD3D9SkinCanUseVertexShader(lit));
    gxD3D9State.caps.PixelShaderVersion = 0;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    EXPECT_FALSE(GxD3D9SkinCanUseVertexShader(lit));
    gxD3D9State.caps.PixelShaderVersion = D3DPS_VERSION(1, 1);
    gxD3D9State.caps.VertexShaderVersion = 0;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    EXPECT_FALSE(GxD3D9SkinCanUseVertexShader(lit));
}

// A prelit box whose every vertex blends both bones, each vertex by its own pair of weights; `material` (may be
// null) on its faces (`second`, if any, on the other mesh's), lit by the world's lights when `lit`, with split
// data for two meshes when `split`.
GxAtomic* BlendedCharacter(ShaderSkinPipeTest& test, GxAnimHierarchy* hierarchy, GxReal z, bool lit = false,
                           GxMaterial* material = nullptr, bool split = false, GxMaterial* second = nullptr)
{
    GxGeometry* geometry = GxWorldTestBox(material, second ? second : material, 1.0f, gxGEOMETRYPRELIT);
    if (!lit) {
        geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYLIGHT);
    }
    const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
    std::vector<GxReal> weights(n * 4, 0.0f);
    std::vector<GxUInt32> indices(n, 0);
    for (GxUInt32 v = 0; v < n; v++) {
        weights[v * 4] = 0.5f + 0.05f * static_cast<GxReal>(v % 10);
        weights[v * 4 + 1] = 1.0f - weights[v * 4];
        indices[v] = (v & 1) ? 0x0001u : 0x0100u;  // bone 0 or bone 1 first
        // Lit vertices keep room below 1 for the lights, so no colour saturates.
        const GxUInt8 scale = lit ? 4 : 10;
        geometry->preLitLum[v] = {static_cast<GxUInt8>(scale * v),
                                  static_cast<GxUInt8>(lit ? 100 - scale * v : 255 - 10 * v),
                                  lit ? GxUInt8{40} : GxUInt8{128}, 255};
    }
    GxMatrix toBone[2];
    GxMatrixSetIdentity(&toBone[0]);
    GxMatrixSetIdentity(&toBone[1]);
    GxSkin* skin = GxSkinCreate();
    const GxUInt8 used[2] = {0, 1};
    GxSkinDataAllocate(skin, 2, 2, n, used, weights.data(), indices.data(), toBone);
    skin->maxNumWeightsForVertex = 2;
    if (split) {
        // Both meshes share one window holding the two bones in swapped slots, so the stream's indices and
        // the upload must both go through the remap.
        const GxUInt8 block[] = {1, 0, 0, 1, 0, 1, 0, 2};  // remap, mesh table (first run, count) x 2, one run
        EXPECT_TRUE(GxSkinSplitDataSet(skin, 2, 2, 1, block));
    }
    GxSkinGeometrySetSkin(geometry, skin);
    GxAtomic* atomic = test.MakeAtomicAt(geometry, z);
    GxSkinAtomicSetHierarchy(atomic, hierarchy);
    GxSkinAtomicInitPipeline(atomic, 1);
    return atomic;
}

// Takes the atomics drawn so far out of the draws until it goes (TearDown destroys them all the same).
struct SetAside {
    std::vector<GxAtomic*>* drawn;
    std::vector<GxAtomic*> held;
    explicit SetAside(std::vector<GxAtomic*>* atomics) : drawn(atomics), held(std::move(*atomics)) { drawn->clear(); }
    ~SetAside() { drawn->insert(drawn->end(), held.begin(), held.end()); }
    SetAside(const SetAside&) = delete;
    SetAside& operator=(const SetAside&) = delete;
};

// A world sector holding local lights, tied by hand to the atomics that stand in it; the ties are undone when it
// goes, before the atomics are.
struct LampSector {
    GxWorldSector sector{};
    std::vector<GxLightTie> lamps;
    std::vector<GxTie> atomics;
    LampSector(std::vector<GxLight*> lights, std::vector<GxAtomic*> inside)
        : lamps(lights.size()), atomics(inside.size())
    {
        GxLinkInit(&sector.lightsInWorldSector);
        for (size_t i = 0; i < lights.size(); i++) {
            lamps[i].light = lights[i];
            lamps[i].sect = &sector;
            GxLinkAddAfter(&sector.lightsInWorldSector, &lamps[i].lWorldSector);
        }
        for (size_t i = 0; i < inside.size(); i++) {
            atomics[i].apAtom = inside[i];
            atomics[i].worldSector = &sector;
            GxLinkAddAfter(&inside[i]->llWorldSectorsInAtomic, &atomics[i].lAtomic);
        }
    }
    ~LampSector()
    {
        for (GxTie& tie : atomics) {
            GxLinkRemove(&tie.lAtomic);
        }
    }
};

// The key check of the shader path: the generated shader, run by the software back end, blends the character to the
// same clip-space positions and colours as the processor path does, unlit and lit (the processor's blended normals
// lit by the same ambient and directional lights, scaled by the material's coefficients).
TEST_F(ShaderSkinPipeTest, GeneratedShaderBlendsLikeTheProcessor)
{
    ASSERT_TRUE(PoseTwoBones(0.6f));
    GxMaterial* material = GxMaterialCreate();
    ASSERT_NE(material, nullptr);
    material->surfaceProps.ambient = 0.5f;
    material->surfaceProps.diffuse = 0.8f;
    const GxReal ambientGrey = 0.2f;
    const GxReal sunGrey = 0.5f;

    GxMaterial* second = GxMaterialCreate();
    ASSERT_NE(second, nullptr);
    second->surfaceProps = material->surfaceProps;
    // A point lamp in reach of the character (in its sector) and another in the same sector out of reach.
    const GxReal lampGrey = 0.4f;
    const GxReal lampRadius = 4.0f;
    const GxV3d lampAt = {1.2f, 0.8f, 3.5f};
    std::vector<GxLight*> lamps;
    for (const GxV3d& at : {lampAt, GxV3d{40.0f, 0.0f, 5.0f}}) {
        GxLight* lamp = AddLight(gxLIGHTPOINT, lampGrey);
        GxLinkRemove(&lamp->inWorld);  // a local light: in its sector, not among the world's global lights
        GxLinkInit(&lamp->inWorld);
        lamp->radius = lampRadius;
        GxFrameTranslate(static_cast<GxFrame*>(lamp->object.object.parent), &at, gxCOMBINEREPLACE);
        lamps.push_back(lamp);
    }
    for (const int pass : {0, 1, 2, 3}) {
        // Each pass draws its own two characters only: an earlier pass's shader character would draw shaded too.
        const SetAside earlier(&atomics);
        const bool lit = pass > 0;
        const bool split = pass == 2;
        const bool local = pass == 3;
        SCOPED_TRACE(pass == 0 ? "unlit" : split ? "split" : local ? "point light" : "lit");
        if (pass == 1) {
            AddLight(gxLIGHTAMBIENT, ambientGrey);
            GxLight* sun = AddLight(gxLIGHTDIRECTIONAL, sunGrey);
            const GxV3d axis = {1.0f, 1.0f, 0.0f};
            GxFrameRotate(static_cast<GxFrame*>(sun->object.object.parent), &axis, 150.0f, gxCOMBINEREPLACE);
        }
        GxD3D9VertexShaderCacheClose();
        GxD3D9VertexShaderCacheOpen();
        GxD3D9VertexShaderSetAssembler(AssembleNothing);
        GxAtomic* processor =
            BlendedCharacter(*this, hierarchy, 5.0f, lit, lit ? material : nullptr, split, split ? second : nullptr);
        ASSERT_TRUE(Render());  // instanced for the processor
        GxD3D9VertexShaderSetAssembler(nullptr);
        GxD3D9VertexShaderCacheClose();
        GxD3D9VertexShaderCacheOpen();
        GxAtomic* shader =
            BlendedCharacter(*this, hierarchy, 5.0f, lit, lit ? material : nullptr, split, split ? second : nullptr);
        LampSector sector(local ? lamps : std::vector<GxLight*>{}, {processor, shader});
        D3D9SoftSetLogging(gxD3D9State.device, true);
        D3D9SoftClearLog(gxD3D9State.device);
        ASSERT_TRUE(Render());
        D3D9SoftSetLogging(gxD3D9State.device, false);
        ASSERT_EQ(GxSkinGeometryGetSkin(processor->geometry)->usesVertexShader, 0u);
        ASSERT_EQ(GxSkinGeometryGetSkin(shader->geometry)->usesVertexShader, 1u)
            << "the generated shader must assemble";

        // Clip space of the processor's blended positions, through the same combined transform.
        GxGeometry* geometry = processor->geometry;
        auto* header = InstanceOf(geometry);
        GxD3D9VSSetWorldMatrix(GxFrameGetWorldMatrix(static_cast<GxFrame*>(processor->object.object.parent)));
        D3DMATRIX transform;
        GxD3D9VSGetCombinedTransform(&transform);
        // The processor's blend of the normals, in the character's space as the lights are (its frame only moves).
        const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
        const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
        const GxMatrix* palette = GxD3D9SkinPaletteBuildSSE(processor, skin, hierarchy);
        ASSERT_NE(palette, nullptr);
        std::vector<GxV3d> positions(n);
        std::vector<GxV3d> normals(n);
        GxD3D9SkinBlendSSE(skin, palette, n, geometry->morphTarget[0].verts, positions.data(),
                           geometry->morphTarget[0].normals, normals.data(), sizeof(GxV3d));
        GxV3d sunDirection = {};
        for (GxLight* light : lights) {
            if (light->object.object.subType == gxLIGHTDIRECTIONAL) {
                sunDirection = GxFrameGetWorldMatrix(static_cast<GxFrame*>(light->object.object.parent))->at;
            }
        }
        // The lamp in the character's space (its frame only moves).
        const GxV3d& origin = GxFrameGetWorldMatrix(static_cast<GxFrame*>(processor->object.object.parent))->pos;
        const GxV3d lamp = {lampAt.x - origin.x, lampAt.y - origin.y, lampAt.z - origin.z};
        // Shaded vertices are numbered in the shader's stream: from its range's first vertex when it is bound whole.
        const auto* shaderHeader = InstanceOf(shader->geometry);
        const GxD3D9VertexStream& shaderStream = shaderHeader->streams[0];
        const GxUInt32 shaderFirst = shaderHeader->streamOffsets ? 0 : shaderStream.offset / shaderStream.stride;
        GxUInt32 compared = 0;
        GxUInt32 litByTheSun = 0;
        GxUInt32 litByTheLamp = 0;
        for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
            if (e.type != D3D9SOFT_DRAW || e.shaded.empty()) {
                continue;
            }
            for (GxUInt32 i = 0; i < e.shaded.size(); i++) {
                ASSERT_GE(e.shadedFirst + i, shaderFirst);
                const GxUInt32 v = e.shadedFirst + i - shaderFirst;
                ASSERT_LT(v, n);
                const D3D9VertexShaderOutput& out = e.shaded[i];
                const GxV3d p = StreamPosition(header, v);
                const GxReal in[4] = {p.x, p.y, p.z, 1.0f};
                for (int r = 0; r < 4; r++) {
                    const GxReal want = transform.m[r][0] * in[0] + transform.m[r][1] * in[1] +
                                        transform.m[r][2] * in[2] + transform.m[r][3] * in[3];
                    EXPECT_NEAR(out.position[r], want, 1e-3f) << "vertex " << v << " row " << r;
                }
                GxReal light = 0.0f;
                if (lit) {
                    const GxV3d& nv = normals[v];
                    const GxReal length = std::sqrt(nv.x * nv.x + nv.y * nv.y + nv.z * nv.z);
                    const GxReal facing =
                        -(nv.x * sunDirection.x + nv.y * sunDirection.y + nv.z * sunDirection.z) / length;
                    litByTheSun += facing > 0.1f ? 1 : 0;
                    light = ambientGrey * material->surfaceProps.ambient +
                            std::max(0.0f, facing) * sunGrey * material->surfaceProps.diffuse;
                    // A point light fades linearly to nothing at its radius.
                    const GxV3d toLamp = {lamp.x - positions[v].x, lamp.y - positions[v].y, lamp.z - positions[v].z};
                    const GxReal distance = std::sqrt(GxV3dDotProduct(&toLamp, &toLamp));
                    const GxReal lampFacing = GxV3dDotProduct(&nv, &toLamp) / (length * distance);
                    const GxReal fade = std::max(0.0f, 1.0f - distance / lampRadius);
                    if (local) {
                        litByTheLamp += lampFacing * fade > 0.05f ? 1 : 0;
                        light += std::max(0.0f, lampFacing) * fade * lampGrey * material->surfaceProps.diffuse;
                    }
                }
                const GxRGBA c = geometry->preLitLum[v];
                const GxReal want[4] = {c.red / 255.0f + light, c.green / 255.0f + light, c.blue / 255.0f + light,
                                        c.alpha / 255.0f};
                for (int k = 0; k < 4; k++) {
                    EXPECT_NEAR(out.colors[0][k], want[k], 2e-3f) << "vertex " << v << " colour " << k;
                }
                compared++;
            }
        }
        EXPECT_GT(compared, 0u);
        if (lit) {
            EXPECT_GT(litByTheSun, 0u) << "the directional light must reach some vertices";
        }
        if (local) {
            EXPECT_GT(litByTheLamp, 0u) << "the point light must reach some vertices";
        }
    }
    GxMaterialDestroy(second);
    GxMaterialDestroy(material);
}

// Local lights in the light block, in the character's space: a point light's group register and position, then a
// soft spot's cone. Constants too few for both drop the spot first, and the point light keeps its registers.
TEST_F(ShaderSkinPipeTest, LocalLightsFillTheBlockAndSpotsGoFirstWhenConstantsRunShort)
{
    ASSERT_TRUE(PoseTwoBones(0.0f));
    std::vector<GxLight*> lamps;
    for (const GxInt32 type : {gxLIGHTPOINT, gxLIGHTSPOTSOFT}) {
        GxLight* lamp = AddLight(type, 0.5f);
        GxLinkRemove(&lamp->inWorld);
        GxLinkInit(&lamp->inWorld);
        lamp->radius = type == gxLIGHTPOINT ? 4.0f : 8.0f;
        lamp->minusCosAngle = -0.8f;
        const GxV3d at = {1.0f, 2.0f, 3.0f};
        GxFrameTranslate(static_cast<GxFrame*>(lamp->object.object.parent), &at, gxCOMBINEREPLACE);
        lamps.push_back(lamp);
    }
    const GxUInt32 point = gxD3D9VSLIGHTSREGISTER;  // no directional lights: the point group leads the block
    const GxUInt32 spot = point + 3;                // group, position, colour
    for (const bool enough : {false, true}) {
        SCOPED_TRACE(enough ? "constants enough" : "constants short");
        // Short: room for the fixed registers, the point light and the palette, not for the spot's five too.
        gxD3D9State.caps.MaxVertexShaderConst = enough ? 96 : 18;
        ASSERT_TRUE(RebuildSkinPipelines(1));
        GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f, true);
        LampSector sector(lamps, {atomic});
        ASSERT_TRUE(Render());
        ASSERT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 1u);
        float block[8][4] = {};
        ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(point, &block[0][0], 8)));
        EXPECT_FLOAT_EQ(block[0][0], 1.0f / 4.0f) << "reciprocal radius";
        EXPECT_FLOAT_EQ(block[1][0], 1.0f);
        EXPECT_FLOAT_EQ(block[1][1], 2.0f);
        EXPECT_FLOAT_EQ(block[1][2], -2.0f) << "in the character's space";
        EXPECT_FLOAT_EQ(block[2][0], 0.5f) << "colour";
        const GxReal cone[2] = {block[spot - point + 3][0], block[spot - point + 3][1]};
        if (enough) {
            EXPECT_FLOAT_EQ(block[spot - point][0], 1.0f / 8.0f);
            EXPECT_FLOAT_EQ(block[spot - point + 2][2], 1.0f) << "direction";
            EXPECT_NEAR(cone[0], 5.0f, 1e-4f);
            EXPECT_NEAR(cone[1], -4.0f, 1e-4f);
        } else {
            // The spot was dropped: the palette (bone 0 at rest) follows the point light.
            EXPECT_FLOAT_EQ(block[spot - point][0], 1.0f);
            EXPECT_FLOAT_EQ(block[spot - point][3], 0.0f);
        }
    }
}

// A character scaled up twice sees a lamp's radius halved in its own space: the reciprocal radius doubles.
TEST_F(ShaderSkinPipeTest, ScaledCharacterSeesTheLampRadiusInItsOwnSpace)
{
    ASSERT_TRUE(PoseTwoBones(0.0f));
    GxLight* lamp = AddLight(gxLIGHTPOINT, 0.5f);
    GxLinkRemove(&lamp->inWorld);
    GxLinkInit(&lamp->inWorld);
    lamp->radius = 4.0f;
    const GxV3d at = {1.0f, 2.0f, 3.0f};
    GxFrameTranslate(static_cast<GxFrame*>(lamp->object.object.parent), &at, gxCOMBINEREPLACE);
    GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f, true);
    GxMatrix twice;
    GxMatrixSetIdentity(&twice);
    const GxV3d two = {2.0f, 2.0f, 2.0f};
    GxMatrixScale(&twice, &two, gxCOMBINEREPLACE);
    GxFrameTransform(static_cast<GxFrame*>(atomic->object.object.parent), &twice, gxCOMBINEPRECONCAT);
    LampSector sector({lamp}, {atomic});
    ASSERT_TRUE(Render());
    ASSERT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 1u);
    float group[4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(gxD3D9VSLIGHTSREGISTER, group, 1)));
    EXPECT_NEAR(group[0], 1.0f / 2.0f, 1e-5f);
}

// A point lamp held by two sectors the character stands in is one light of the block, not two.
TEST_F(ShaderSkinPipeTest, LampReachedThroughTwoSectorsIsCountedOnce)
{
    ASSERT_TRUE(PoseTwoBones(0.0f));
    GxLight* lamp = AddLight(gxLIGHTPOINT, 0.5f);
    GxLinkRemove(&lamp->inWorld);
    GxLinkInit(&lamp->inWorld);
    lamp->radius = 4.0f;
    GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f, true);
    const GxUInt16 counter = GxEngineInstance->lightFrameCounter;
    {
        LampSector first({lamp}, {atomic});
        LampSector second({lamp}, {atomic});
        ASSERT_TRUE(Render());
    }
    ASSERT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 1u);
    EXPECT_NE(GxEngineInstance->lightFrameCounter, counter) << "the engine's light frame advances";
    EXPECT_EQ(lamp->lightFrame, GxEngineInstance->lightFrameCounter) << "the lamp is stamped with it";
    const GxUInt32 point = gxD3D9VSLIGHTSREGISTER;
    float block[4][4] = {};
    ASSERT_TRUE(SUCCEEDED(gxD3D9State.device->GetVertexShaderConstantF(point, &block[0][0], 4)));
    EXPECT_FLOAT_EQ(block[0][0], 1.0f / 4.0f);
    EXPECT_FLOAT_EQ(block[0][1], 0.0f) << "a second light in the group";
    EXPECT_FLOAT_EQ(block[3][0], 1.0f) << "the palette follows one light (group, position, colour)";
}

// The element of `usage` in the instance's declaration (type 0xFF when there is none).
D3DVERTEXELEMENT9 ElementOf(const GxD3D9InstanceHeader* header, BYTE usage)
{
    D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH + 1];
    UINT count = MAXD3DDECLLENGTH + 1;
    if (SUCCEEDED(header->declaration->GetDeclaration(elements, &count))) {
        for (UINT i = 0; i + 1 < count; i++) {
            if (elements[i].Usage == usage) {
                return elements[i];
            }
        }
    }
    return D3DVERTEXELEMENT9{0xFF, 0, 0xFF, 0, 0, 0};
}

// Copies `size` bytes of vertex v's element out of its stream.
void ReadElement(GxD3D9InstanceHeader* header, const D3DVERTEXELEMENT9& e, GxUInt32 v, void* out, size_t size)
{
    GxD3D9VertexStream& s = header->streams[e.Stream];
    void* data = nullptr;
    if (SUCCEEDED(s.buffer->Lock(s.offset, s.stride * header->vertexTotal, &data, D3DLOCK_READONLY))) {
        memcpy(out, static_cast<char*>(data) + static_cast<size_t>(v) * s.stride + e.Offset, size);
        s.buffer->Unlock();
    }
}

// Vertex 5's pre-lit colour comes out of the second stream as the geometry holds it.
void ExpectPrelitColourInTheSecondStream(GxD3D9InstanceHeader* header, const GxGeometry* geometry)
{
    const D3DVERTEXELEMENT9 colour = ElementOf(header, D3DDECLUSAGE_COLOR);
    ASSERT_EQ(colour.Stream, 1);
    DWORD stored = 0;
    ReadElement(header, colour, 5, &stored, sizeof(stored));
    const GxRGBA& want = geometry->preLitLum[5];
    EXPECT_EQ(stored, D3DCOLOR_ARGB(want.alpha, want.red, want.green, want.blue));
}

// Two weights go into the most compact type the device reads; a first weight above 1 is the vertex's one bone.
TEST_F(ShaderSkinPipeTest, TwoWeightsTakeTheDevicesCompactType)
{
    ASSERT_TRUE(PoseTwoBones(0.3f));
    const DWORD normalised =
        D3DDTCAPS_UBYTE4N | D3DDTCAPS_SHORT2N | D3DDTCAPS_SHORT4N | D3DDTCAPS_USHORT2N | D3DDTCAPS_USHORT4N;
    const DWORD full = gxD3D9State.caps.DeclTypes | normalised;
    GxD3D9VertexShaderSetAssembler(AssembleAny);  // the layout is the subject here
    // A shader-model-1 device loses the normalised types when the shader cache opens.
    const struct {
        DWORD shaderVersion;
        DWORD types;
        BYTE want;
    } cases[] = {{D3DVS_VERSION(2, 0), full, D3DDECLTYPE_USHORT2N},
                 {D3DVS_VERSION(1, 1), full, D3DDECLTYPE_DEC3N},
                 {D3DVS_VERSION(1, 1), full & ~D3DDTCAPS_DEC3N, D3DDECLTYPE_D3DCOLOR}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.want));
        gxD3D9State.caps.DeclTypes = c.types;
        gxD3D9State.caps.VertexShaderVersion = c.shaderVersion;
        ASSERT_TRUE(RebuildSkinPipelines(1));
        GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f);
        GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
        skin->vertexBoneWeights[4 * 3] = 1.5f;  // vertex 3: one bone, whatever its second weight says
        ASSERT_TRUE(Render());
        ASSERT_EQ(skin->usesVertexShader, 1u);
        auto* header = InstanceOf(atomic->geometry);
        const D3DVERTEXELEMENT9 weights = ElementOf(header, D3DDECLUSAGE_BLENDWEIGHT);
        EXPECT_EQ(weights.Type, c.want);
        EXPECT_EQ(ElementOf(header, D3DDECLUSAGE_BLENDINDICES).Type, D3DDECLTYPE_SHORT2);
        if (c.want == D3DDECLTYPE_USHORT2N) {
            GxUInt16 stored[2] = {};
            ReadElement(header, weights, 3, stored, sizeof(stored));
            EXPECT_EQ(stored[0], 65535u);
            EXPECT_EQ(stored[1], 0u);
        }
        atomics.clear();
        GxAtomicDestroy(atomic);
    }
    gxD3D9State.caps.DeclTypes = full;
}

constexpr GxInt32 kInterpolationDirty = 0x1;  // bit 0 of an atomic's interpolator flags

// A palette larger than the constants hold: the processor blends into a stream of its own (positions and normals),
// the prelit colours wait in a pooled stream, and each draw moves the vertices.
TEST_F(ShaderSkinPipeTest, PaletteBeyondTheConstantsBlendsIntoAStreamOfItsOwn)
{
    ASSERT_TRUE(PoseTwoBones(0.0f));
    gxD3D9State.caps.MaxVertexShaderConst = 16;  // one bone past the fixed registers
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f);
    EXPECT_TRUE(atomic->interpolator.flags & kInterpolationDirty);
    D3D9SoftSetLogging(gxD3D9State.device, true);
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    D3D9SoftSetLogging(gxD3D9State.device, false);
    EXPECT_FALSE(atomic->interpolator.flags & kInterpolationDirty) << "the draw clears it";
    // The first fill leaves the stream of its own to the blend: it is written once, by the blend's discarding lock.
    size_t discarded = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
        discarded += e.type == D3D9SOFT_UPLOAD && (e.value & D3DLOCK_DISCARD) ? 1 : 0;
    }
    EXPECT_EQ(discarded, 1u);
    GxGeometry* geometry = atomic->geometry;
    EXPECT_EQ(GxSkinGeometryGetSkin(geometry)->usesVertexShader, 0u);
    auto* header = InstanceOf(geometry);
    EXPECT_EQ(header->streams[0].pooled, 0u);
    EXPECT_EQ(header->streams[0].offset, 0u);
    EXPECT_EQ(header->streams[0].contents, gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS);
    EXPECT_EQ(header->streams[1].pooled, 1u);
    EXPECT_TRUE(header->streams[1].contents & gxD3D9STREAMPRELIT);
    EXPECT_TRUE(GxD3D9DynamicGeometryContains(geometry));
    EXPECT_FLOAT_EQ(StreamPosition(header, 7).y, geometry->morphTarget[0].verts[7].y);  // at rest
    GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, 0.5f);
    GxAnimHierarchyUpdateMatrices(hierarchy);
    ASSERT_TRUE(Render());
    EXPECT_GT(StreamPosition(header, 7).y, geometry->morphTarget[0].verts[7].y + 0.1f);
    // The colours were written once, into the pooled stream, and stay.
    ExpectPrelitColourInTheSecondStream(header, geometry);
}

// A device that cannot bind streams at byte offsets draws both streams from one base vertex: the second stream is
// then a buffer of its own from offset 0, as the first is, and the colours still come out of it.
TEST_F(ShaderSkinPipeTest, WithoutStreamOffsetsTheSecondStreamIsABufferOfItsOwn)
{
    ASSERT_TRUE(PoseTwoBones(0.0f));
    gxD3D9State.caps.MaxVertexShaderConst = 16;
    gxD3D9State.caps.DevCaps2 &= ~static_cast<DWORD>(D3DDEVCAPS2_STREAMOFFSET);
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f);
    ASSERT_TRUE(Render());
    GxGeometry* geometry = atomic->geometry;
    auto* header = InstanceOf(geometry);
    EXPECT_EQ(header->streamOffsets, 0u);
    ASSERT_NE(header->streams[1].buffer, nullptr);
    EXPECT_EQ(header->streams[1].pooled, 0u);
    EXPECT_EQ(header->streams[1].offset, 0u);
    ExpectPrelitColourInTheSecondStream(header, geometry);
}

TEST_F(ShaderSkinPipeTest, BlendMakesTheDeclarationAgainForTheStreamsTheDeviceWants)
{
    // Hardware transform without shaders; instanced without a hierarchy: one shared stream.
    gxD3D9State.caps.PixelShaderVersion = 0;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxAtomic* atomic = UnlitSkinnedAtomic();
    GxSkinAtomicSetHierarchy(atomic, nullptr);
    ASSERT_TRUE(Render());
    GxGeometry* geometry = atomic->geometry;
    EXPECT_EQ(InstanceOf(geometry)->streams[0].pooled, 1u);
    // With a hierarchy the blend makes the declaration again: positions and normals in a stream of their own,
    // every other part written again into the shared one.
    GxSkinAtomicSetHierarchy(atomic, hierarchy);
    Pose(1.0f);
    ASSERT_TRUE(Render());
    auto* header = InstanceOf(geometry);
    EXPECT_EQ(header->streams[0].pooled, 0u);
    EXPECT_EQ(header->streams[0].contents, gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS);
    EXPECT_TRUE(GxD3D9DynamicGeometryContains(geometry));
    ExpectProcessorBlend(atomic);
    const D3DVERTEXELEMENT9 uv = ElementOf(header, D3DDECLUSAGE_TEXCOORD);
    ASSERT_EQ(uv.Stream, 1);
    GxTexCoords stored = {};
    ReadElement(header, uv, 5, &stored, sizeof(stored));
    EXPECT_FLOAT_EQ(stored.u, geometry->texCoords[0][5].u);
    EXPECT_FLOAT_EQ(stored.v, geometry->texCoords[0][5].v);
    // A device that no longer transforms in hardware takes the one shared stream back.
    gxD3D9State.caps.DevCaps &= ~static_cast<DWORD>(D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxSkinAtomicInitPipeline(atomic, 1);
    ASSERT_TRUE(Render());
    header = InstanceOf(geometry);
    EXPECT_EQ(header->streams[0].pooled, 1u);
    EXPECT_EQ(header->streams[1].buffer, nullptr);
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(geometry));
    ExpectProcessorBlend(atomic);
    EXPECT_EQ(ElementOf(header, D3DDECLUSAGE_TEXCOORD).Stream, 0);
}

// A vertex buffer whose locks fail, with an error or with no memory.
struct FailingVertexBuffer : IDirect3DVertexBuffer9 {
    bool nullMemory = false;
    int unlocks = 0;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT, UINT, void** data, DWORD) override
    {
        *data = nullptr;
        return nullMemory ? D3D_OK : D3DERR_INVALIDCALL;
    }
    HRESULT Unlock() override
    {
        unlocks++;
        return D3D_OK;
    }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC*) override { return D3DERR_INVALIDCALL; }
};

// A lock that fails, or succeeds without memory, is never written through: the fill reports it and the blend
// leaves the stream as it was.
TEST_F(ShaderSkinPipeTest, FailedLocksAreNeverWrittenThrough)
{
    GxD3D9VertexShaderSetAssembler(AssembleNothing);  // the processor layout
    GxAtomic* atomic = DrawnSkinnedAtomic(AssembleNothing);
    ASSERT_NE(atomic, nullptr);
    auto* header = InstanceOf(atomic->geometry);
    GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    for (const bool nullMemory : {false, true}) {
        SCOPED_TRACE(nullMemory ? "no memory" : "failed");
        FailingVertexBuffer failing;
        failing.nullMemory = nullMemory;
        IDirect3DVertexBuffer9* real = header->streams[0].buffer;
        header->streams[0].buffer = &failing;
        EXPECT_FALSE(GxD3D9SkinVertexBufferFill(atomic, header, hierarchy, gxD3D9SKINALLPARTS));
        GxD3D9SkinPaletteInvalidate();
        GxD3D9SkinBlendIntoInstance(atomic, header, skin, hierarchy);
        header->streams[0].buffer = real;
        EXPECT_EQ(failing.unlocks, nullMemory ? 2 : 0);
    }
    EXPECT_FLOAT_EQ(StreamPosition(header, 7).y, atomic->geometry->morphTarget[0].verts[7].y + 0.5f);
}

// The palette built for a draw is kept for the next draw of the same pose, but only through the same skin: a
// second skin on the hierarchy (a lighter level of detail) binding elsewhere gets its own.
TEST_F(ShaderSkinPipeTest, PaletteIsKeptPerSkin)
{
    GxD3D9VertexShaderSetAssembler(AssembleNothing);
    GxAtomic* atomic = DrawnSkinnedAtomic(AssembleNothing);
    ASSERT_NE(atomic, nullptr);
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    ASSERT_NE(skin, nullptr);
    GxD3D9SkinPaletteInvalidate();
    const GxMatrix* first = GxD3D9SkinPaletteBuildSSE(atomic, skin, hierarchy);
    ASSERT_NE(first, nullptr);
    const GxV3d before = first[skin->boneIDs[0]].pos;
    std::vector<GxMatrix> shifted(skin->skinToBoneMatrices, skin->skinToBoneMatrices + skin->numBones);
    for (GxMatrix& m : shifted) {
        m.pos.y -= 1.0f;  // binds one unit higher
    }
    GxSkin* other = GxSkinCreate();
    ASSERT_TRUE(other && GxSkinDataAllocate(other, skin->numBones, skin->numBoneIDs, skin->numVertices, skin->boneIDs,
                                            skin->vertexBoneWeights, skin->vertexBoneIndices, shifted.data()));
    const GxMatrix* second = GxD3D9SkinPaletteBuildSSE(atomic, other, hierarchy);
    ASSERT_NE(second, nullptr);
    EXPECT_GT(std::fabs(second[skin->boneIDs[0]].pos.y - before.y), 0.5f);
    const GxMatrix* again = GxD3D9SkinPaletteBuildSSE(atomic, skin, hierarchy);
    EXPECT_FLOAT_EQ(again[skin->boneIDs[0]].pos.y, before.y);
    GxSkinDestroy(other);
}

// One pipeline for every skin type: mask bits 2 and 4 make nothing and the type is not used, so a skin with
// material effects takes the shader path like any other.
TEST_F(ShaderSkinPipeTest, EverySkinTypeTakesTheDefaultPipeline)
{
    ASSERT_TRUE(RebuildSkinPipelines(1 | 2 | 4));
    GxPipeline* pipeline = GxD3D9SkinGetPipeline(0);
    ASSERT_NE(pipeline, nullptr);
    EXPECT_EQ(pipeline->ownerPluginId, static_cast<GxUInt32>(gxPLUGINSKIN));
    EXPECT_EQ(pipeline->pluginData, 1u);
    for (GxInt32 slot = 1; slot < gxD3D9SKINPIPELINESLOTS; slot++) {
        EXPECT_EQ(GxD3D9SkinGetPipeline(slot), nullptr) << "slot " << slot;
    }
    GxAtomic* atomic = UnlitSkinnedAtomic();
    for (const GxInt32 type : {1, 2, 3, 7}) {
        EXPECT_EQ(GxSkinAtomicInitPipeline(atomic, type)->pipeline, pipeline) << "type " << type;
    }
    EXPECT_TRUE(GxD3D9SkinCanUseVertexShader(atomic));
    ASSERT_TRUE(RebuildSkinPipelines(2 | 4));
    EXPECT_EQ(GxD3D9SkinGetPipeline(0), nullptr);
    ASSERT_TRUE(RebuildSkinPipelines(1));
}

// The skin pipeline's one node carries the seven callbacks; the shader ones only where shaders can be used.
// Replaced callbacks are the ones the node calls: the mesh render and the end of the
// shader path with each mesh's shader set, the render callback of the processor path.
TEST_F(ShaderSkinPipeTest, SkinNodeCallbacksAreFoundByNameAndReplaced)
{
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxD3D9SkinNodeCallBacks* callBacks = SkinNodeCallBacks(GxD3D9SkinGetPipeline(0));
    ASSERT_NE(callBacks, nullptr);
    EXPECT_EQ(callBacks->renderCallBack, GxD3D9DefaultRenderCallback);
    EXPECT_EQ(callBacks->lightingCallBack, GxD3D9AtomicLighting);
    EXPECT_EQ(callBacks->descriptorSetup, GxD3D9SkinShaderDescriptorSetup);
    EXPECT_EQ(callBacks->shaderLighting, GxD3D9SkinShaderLighting);
    EXPECT_EQ(callBacks->shaderGet, GxD3D9SkinShaderGet);
    EXPECT_EQ(callBacks->meshRender, GxD3D9SkinShaderMeshRender);
    EXPECT_NE(callBacks->end, nullptr);

    callBacks->meshRender = CountingMeshRender;
    callBacks->end = CountingEnd;
    meshRenders = ends = 0;
    GxAtomic* atomic = DrawnSkinnedAtomic(AssembleAny);
    ASSERT_NE(atomic, nullptr);
    EXPECT_EQ(GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader, 1u);
    EXPECT_EQ(meshRenders, static_cast<int>(atomic->geometry->mesh->numMeshes));
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(GxD3D9InstanceMeshes(InstanceOf(atomic->geometry))[0].shader, nullptr);  // cleared after the draw

    callBacks->renderCallBack = CountingFixedRender;
    fixedRenders = 0;
    GxSkinGeometryGetSkin(atomic->geometry)->usesVertexShader = 0;
    ASSERT_TRUE(Render());
    EXPECT_EQ(fixedRenders, 1);

    // No usable shaders: the node keeps the fixed-function callbacks only.
    gxD3D9State.caps.VertexShaderVersion = 0;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    callBacks = SkinNodeCallBacks(GxD3D9SkinGetPipeline(0));
    ASSERT_NE(callBacks, nullptr);
    EXPECT_NE(callBacks->renderCallBack, nullptr);
    EXPECT_EQ(callBacks->shaderLighting, nullptr);
    EXPECT_EQ(callBacks->end, nullptr);
}

// The shader path's palette holds three rows a bone, (right.c, up.c, at.c, pos.c), under its own key: the
// processor's palette built right after it is rebuilt in its own layout.
TEST_F(ShaderSkinPipeTest, ShaderPaletteRowsAndTheProcessorsKeyDiffer)
{
    GxAtomic* atomic = DrawnSkinnedAtomic(AssembleAny);
    ASSERT_NE(atomic, nullptr);
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    ASSERT_GT(skin->numBones, 0u);
    std::vector<GxMatrix> expected(skin->numBones);
    GxD3D9SkinPaletteMatrices(
        expected.data(), GxFrameGetWorldMatrix(static_cast<GxFrame*>(atomic->object.object.parent)), skin, hierarchy);
    GxD3D9SkinPaletteInvalidate();
    const GxReal* rows = GxD3D9VSSetBonePalette(GxSkinGetPalette(), atomic, hierarchy);
    ASSERT_NE(rows, nullptr);
    for (GxUInt32 b = 0; b < skin->numBones; b++) {
        const GxReal* r = rows + gxD3D9VSBONEFLOATS * b;
        EXPECT_FLOAT_EQ(r[0], expected[b].right.x);
        EXPECT_FLOAT_EQ(r[1], expected[b].up.x);
        EXPECT_FLOAT_EQ(r[3], expected[b].pos.x);
        EXPECT_FLOAT_EQ(r[7], expected[b].pos.y);
        EXPECT_FLOAT_EQ(r[10], expected[b].at.z);
    }
    // Kept while the key holds, even when the buffer is spoiled; the processor's build replaces it.
    GxSkinGetPalette()[0].right.x = 42.0f;
    EXPECT_EQ(GxD3D9VSSetBonePalette(GxSkinGetPalette(), atomic, hierarchy)[0], 42.0f);
    const GxMatrix* matrices = GxD3D9SkinPaletteBuildSSE(atomic, skin, hierarchy);
    EXPECT_FLOAT_EQ(matrices[0].pos.y, expected[0].pos.y);
    ASSERT_NE(expected[0].pos.y, 0.0f);  // the pose lifts the bone, so the layouts differ in this float
    // The processor keys its palette with the render frame itself, whichever of its layouts it builds.
    GxFrame* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    EXPECT_TRUE(GxD3D9SkinPaletteKeyMatches(hierarchy, skin, GxWorldGetRenderFrame(), frame));
    EXPECT_FLOAT_EQ(GxD3D9VSSetBonePalette(GxSkinGetPalette(), atomic, hierarchy)[7], expected[0].pos.y);
    GxD3D9SkinPaletteBuild(atomic, skin, hierarchy);
    EXPECT_TRUE(GxD3D9SkinPaletteKeyMatches(hierarchy, skin, GxWorldGetRenderFrame(), frame));
}

// Split remap entries become three times their slot; a first entry beyond the hierarchy's nodes takes slot 0.
TEST_F(ShaderSkinPipeTest, SplitRemapIndexesThePaletteRegisters)
{
    GxUInt8 table[4] = {6, 2, gxSKINNOREMAP, 5};
    GxSkin skin = {};
    skin.numBones = 4;
    skin.boneLimit = 8;
    skin.block = table;
    GxAnimHierarchy hierarchy = {};
    hierarchy.numNodes = 4;
    GxUInt8 remap[256];
    GxD3D9SkinPaletteRemap(&skin, &hierarchy, remap);
    EXPECT_EQ(remap[0], 0);
    EXPECT_EQ(remap[1], 6);
    EXPECT_EQ(remap[2], 0);
    EXPECT_EQ(remap[3], 15);
    EXPECT_EQ(table[0], 6);  // the skin's own table is left as read
    table[0] = 3;
    GxD3D9SkinPaletteRemap(&skin, &hierarchy, remap);
    EXPECT_EQ(remap[0], 9);
}

// A skin whose weights are missing is never blended: its instance still holds the rest pose, stream of its own
// included, and it never takes the shader path. So does a skin without a hierarchy whose changing colours give it
// a stream of its own.
TEST_F(ShaderSkinPipeTest, SkinWithoutWeightsShowsItsRestPose)
{
    {
        GxAtomic* still = UnlitSkinnedAtomic();
        GxSkinAtomicSetHierarchy(still, nullptr);
        GxAnimHierarchyDestroy(hierarchy);
        hierarchy = nullptr;
        ASSERT_TRUE(GxD3D9GeometrySetUsageFlags(still->geometry, gxD3D9STREAMPRELIT));
        ASSERT_TRUE(Render());
        auto* header = InstanceOf(still->geometry);
        EXPECT_EQ(header->streams[0].pooled, 0u);
        EXPECT_TRUE(header->streams[0].contents & gxD3D9STREAMPOSITIONS);
        EXPECT_FLOAT_EQ(StreamPosition(header, 7).y, still->geometry->morphTarget[0].verts[7].y);
        atomics.clear();
        GxFrame* frame = static_cast<GxFrame*>(still->object.object.parent);
        GxAtomicDestroy(still);
        GxFrameDestroy(frame);
    }
    // Hardware transform without shaders: the processor path's stream of its own.
    gxD3D9State.caps.PixelShaderVersion = 0;
    ASSERT_TRUE(RebuildSkinPipelines(1));
    GxAtomic* atomic = UnlitSkinnedAtomic();
    GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    GxReal* weights = skin->vertexBoneWeights;
    skin->vertexBoneWeights = nullptr;
    Pose(1.0f);
    const bool rendered = Render();
    skin->vertexBoneWeights = weights;
    ASSERT_TRUE(rendered);
    EXPECT_EQ(skin->usesVertexShader, 0u);
    auto* header = InstanceOf(atomic->geometry);
    EXPECT_EQ(header->streams[0].pooled, 0u);
    for (GxUInt32 v : {0u, 7u, 23u}) {
        const GxV3d p = StreamPosition(header, v);
        EXPECT_FLOAT_EQ(p.x, atomic->geometry->morphTarget[0].verts[v].x) << "vertex " << v;
        EXPECT_FLOAT_EQ(p.y, atomic->geometry->morphTarget[0].verts[v].y) << "vertex " << v;
    }
}

class SkinPipeMemoryTest : public SkinPipeTest {
protected:
    void SetUp() override
    {
        memoryFunctions = GxTestMemoryReset();
        SkinPipeTest::SetUp();
    }
};

// Every allocation the pipeline's construction makes may fail: the result is null with nothing left behind, or a
// whole pipeline with the skin callbacks.
TEST_F(SkinPipeMemoryTest, EveryConstructionStepIsChecked)
{
    int failures = 0;
    // The first try has the block's growth at unlock fail, the others each allocation in turn.
    for (int k = -1; k < 64; k++) {
        const long before = GxTestLiveBlocks();
        gxTestMemory.mallocFailAfter = k;
        gxTestMemory.reallocFailures = k < 0 ? 1 : 0;
        GxPipeline* pipeline = GxD3D9SkinPipelineCreate();
        gxTestMemory.mallocFailAfter = -1;
        gxTestMemory.reallocFailures = 0;
        GxTestTakeError();
        if (!pipeline) {
            failures++;
            EXPECT_LE(GxTestLiveBlocks(), before) << "after " << k << " allocations";
            continue;
        }
        GxPipelineNode* node = GxPipelineFindNodeByName(pipeline, gxD3D9SKINNODENAME, nullptr, nullptr);
        ASSERT_NE(node, nullptr);
        EXPECT_NE(static_cast<GxD3D9SkinNodeCallBacks*>(node->privateBlock)->renderCallBack, nullptr);
        GxPipelineDestroy(pipeline);
        break;
    }
    EXPECT_GT(failures, 0);
}

TEST(SkinLightColors, ZeroCoefficientIsUndoneByTheNextMesh)
{
    GxD3D9VSLightColors unscaled = {};
    unscaled.ambient[0] = 0.4f;
    unscaled.numLights = 2;
    unscaled.colors[1][2] = 0.8f;
    unscaled.colors[1][3] = 1.0f;
    GxD3D9VSLightColors scaled = {};
    GxD3D9VSScaleLightColors(&scaled, &unscaled, 0.0f, 0.0f);
    EXPECT_EQ(scaled.colors[1][2], 0.0f);
    GxD3D9VSScaleLightColors(&scaled, &unscaled, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(scaled.ambient[0], 0.2f);
    EXPECT_FLOAT_EQ(scaled.colors[1][2], 0.4f);
    EXPECT_FLOAT_EQ(scaled.colors[1][3], 1.0f);
    unscaled.numLights = 1000;  // a count past the block is held to it
    GxD3D9VSScaleLightColors(&scaled, &unscaled, 1.0f, 1.0f);
    EXPECT_EQ(scaled.numLights, gxD3D9VSMAXLIGHTS);
}

}  // namespace

// The same device claims on the OpenGL back end, which now runs the generated shader as GLSL.
class GlShaderSkinPipeTest : public ShaderSkinPipeTest {
protected:
    GlShaderSkinPipeTest() { backend = "opengl"; }
    void SetUp() override
    {
        ShaderSkinPipeTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        D3DADAPTER_IDENTIFIER9 id = {};
        gxD3D9State.d3d->GetAdapterIdentifier(0, 0, &id);
        if (std::string(id.Driver).find("opengl") == std::string::npos) {
            MALL_GL_MISSING("the OpenGL back end is not available");
        }
    }
};

// The GL pictures of the two paths: the prelit character unlit, and a lit character that is not prelit, whose
// textured material colour modulates its ambient and directional light (the content tool's people).
TEST_F(GlShaderSkinPipeTest, GeneratedShaderDrawsTheCharacterLikeTheProcessor)
{
    ASSERT_TRUE(PoseTwoBones(0.6f));
    GxMaterial* material = GxMaterialCreate();
    ASSERT_NE(material, nullptr);
    material->color = {220, 160, 110, 255};
    material->surfaceProps.ambient = 0.9f;
    material->surfaceProps.diffuse = 0.8f;
    // A checker, so that the coordinates each path hands the texture stage show in the picture.
    GxTexture* checker = SolidTexture(230, 200, 180);
    ASSERT_NE(checker, nullptr);
    GxUInt8* texels = GxRasterLock(checker->raster, 0, gxRASTERLOCKWRITE);
    ASSERT_NE(texels, nullptr);
    for (GxInt32 k = 0; k < 2; k++) {
        GxUInt8* p = texels + k * checker->raster->stride + k * 4;
        p[0] = p[1] = p[2] = 60;
    }
    GxRasterUnlock(checker->raster);
    GxMaterialSetTexture(material, checker);
    for (const bool lit : {false, true}) {
        SCOPED_TRACE(lit ? "lit, material colour" : "unlit, prelit");
        if (lit) {
            AddLight(gxLIGHTAMBIENT, 0.35f);
            GxLight* sun = AddLight(gxLIGHTDIRECTIONAL, 0.75f);
            const GxV3d axis = {1.0f, 0.3f, 0.0f};
            GxFrameRotate(static_cast<GxFrame*>(sun->object.object.parent), &axis, 150.0f, gxCOMBINEREPLACE);
        }
        const auto character = [&] {
            GxAtomic* atomic = BlendedCharacter(*this, hierarchy, 5.0f, lit, lit ? material : nullptr);
            if (lit) {
                atomic->geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYPRELIT);
                atomic->geometry->flags |= gxGEOMETRYMODULATEMATERIALCOLOR | gxGEOMETRYTEXTURED;
            }
            return atomic;
        };
        GxD3D9VertexShaderSetAssembler(AssembleNothing);
        GxAtomic* processor = character();
        ASSERT_TRUE(Render());
        const std::vector<GxUInt32> blended = pixels;
        // Held aside so the second picture shows the shader's character alone; TearDown still destroys it.
        atomics.pop_back();
        GxD3D9VertexShaderSetAssembler(nullptr);
        GxD3D9VertexShaderCacheClose();
        GxD3D9VertexShaderCacheOpen();
        GxAtomic* shader = character();
        const bool rendered = Render();
        atomics.pop_back();
        GxAtomicDestroy(processor);
        GxAtomicDestroy(shader);
        ASSERT_TRUE(rendered);

        ASSERT_EQ(blended.size(), pixels.size());
        int covered = 0, differing = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            covered += (blended[i] & 0xFFFFFFu) != 0;
            const Rgb a = SplitArgb(blended[i]);
            if (!Near(pixels[i], a.r, a.g, a.b, 2)) {
                ++differing;
            }
        }
        EXPECT_GT(covered, 64);
        EXPECT_EQ(differing, 0) << "of " << covered << " covered pixels";
    }
    GxMaterialDestroy(material);
}

// ---------------------------------------------------------------- the OpenGL back end's vertex shaders

namespace {

std::vector<DWORD> Assemble(const char* text)
{
    std::vector<DWORD> tokens;
    std::string error;
    EXPECT_TRUE(D3D9AssembleShaderText(text, std::strlen(text), &tokens, &error)) << error;
    return tokens;
}

IDirect3DVertexShader9* MakeShader(IDirect3DDevice9* dev, const char* text)
{
    const std::vector<DWORD> tokens = Assemble(text);
    IDirect3DVertexShader9* vs = nullptr;
    if (tokens.empty() || FAILED(dev->CreateVertexShader(tokens.data(), &vs)))
        return nullptr;
    return vs;
}

const char* const kTransformShader = "vs_1_1\n"
                                     "dcl_position v0\n"
                                     "dcl_color v1\n"
                                     "dcl_texcoord v2\n"
                                     "m4x4 oPos, v0, c0\n"
                                     "mov oD0, v1\n"
                                     "mov oT0, v2\n";

// A tilted world so the clip-space w and the depth both vary over the quad.
D3DMATRIX TiltedWorld()
{
    D3DMATRIX m = MakeIdentity();
    m._11 = 0.8f;
    m._13 = 0.3f;
    m._22 = 0.7f;
    m._41 = 0.1f;
    m._42 = -0.05f;
    m._43 = 2.0f;
    return m;
}

D3DMATRIX Perspective()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof(m));
    m._11 = 1.5f;
    m._22 = 1.5f;
    m._33 = 10.0f / 9.0f;
    m._34 = 1.0f;
    m._43 = -10.0f / 9.0f;
    return m;
}

void FourVertices(LitVertex out[4])
{
    out[0] = {-1, 1, 0, 0, 0, -1, 0xFFFF0000u, 0, 0};
    out[1] = {1, 1, 0.5f, 0, 0, -1, 0xFF00FF00u, 1, 0};
    out[2] = {1, -1, 0, 0, 0, -1, 0xFF0000FFu, 1, 1};
    out[3] = {-1, -1, -0.5f, 0, 0, -1, 0xFFFFFFFFu, 0, 1};
}

// Draws the quad modulated by a 2 x 2 texture, through fixed function or the transform shader.
Scene TexturedQuad(bool shader, IDirect3DTexture9* texture)
{
    return [shader, texture](IDirect3DDevice9* dev) {
        const D3DMATRIX world = TiltedWorld(), view = MakeIdentity(), proj = Perspective();
        dev->SetTransform(D3DTS_WORLD, &world);
        dev->SetTransform(D3DTS_VIEW, &view);
        dev->SetTransform(D3DTS_PROJECTION, &proj);
        dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev->SetTexture(0, texture);
        dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        dev->SetFVF(kLitFVF);
        IDirect3DVertexShader9* vs = nullptr;
        if (shader) {
            vs = MakeShader(dev, kTransformShader);
            ASSERT_NE(vs, nullptr);
            // The constants hold the transposed world-view-projection, as shaders take it.
            float wvp[16], tmp[16];
            GlMatrixMultiply(&world.m[0][0], &view.m[0][0], tmp);
            GlMatrixMultiply(tmp, &proj.m[0][0], wvp);
            float transposed[16];
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c)
                    transposed[r * 4 + c] = wvp[c * 4 + r];
            }
            dev->SetVertexShaderConstantF(0, transposed, 4);
            dev->SetVertexShader(vs);
        }
        LitVertex v[4];
        FourVertices(v);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof(LitVertex));
        dev->SetVertexShader(nullptr);
        dev->SetTexture(0, nullptr);
        if (vs)
            vs->Release();
    };
}

}  // namespace

TEST(GlVertexShaderText, RefusesWhatItCannotRun)
{
    std::string error;
    EXPECT_FALSE(GlVertexShaderText(Assemble(kTransformShader), &error).empty()) << error;
    // A pixel shader, a stream without its end token, and a constant past the uniform array.
    EXPECT_TRUE(GlVertexShaderText(Assemble("ps_1_1\nmov r0, v0\n"), &error).empty());
    std::vector<DWORD> cut = Assemble(kTransformShader);
    cut.pop_back();
    EXPECT_TRUE(GlVertexShaderText(cut, &error).empty());
    EXPECT_EQ(error, "no end token");
    std::vector<DWORD> far = Assemble("vs_1_1\nmov oPos, c5\n");
    ASSERT_GE(far.size(), 4u);
    far[3] = (far[3] & ~kShaderRegNumMask) | kGlShaderConstants;
    EXPECT_TRUE(GlVertexShaderText(far, &error).empty());
}

TEST_F(GlPixelTest, ReportsVertexAndPixelShaders)
{
    D3DCAPS9 caps;
    ASSERT_EQ(gl_->get()->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion, static_cast<DWORD>(D3DVS_VERSION(1, 1)));
    EXPECT_EQ(caps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(1, 1)));
    EXPECT_GE(caps.MaxVertexShaderConst, 96u);
    IDirect3DPixelShader9* ps = nullptr;
    const std::vector<DWORD> tokens = Assemble("ps_1_1\nmov r0, v0\n");
    ASSERT_EQ(gl_->get()->CreatePixelShader(tokens.data(), &ps), D3D_OK);
    ps->Release();
}

TEST_F(GlPixelTest, TransformShaderMatchesFixedFunction)
{
    const DWORD texels[4] = {0xFFFFFFFFu, 0xFF808080u, 0xFFC0C0C0u, 0xFF404040u};
    IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A8R8G8B8, texels, 8, 2);
    ASSERT_NE(texture, nullptr);
    const std::vector<DWORD> fixed = Draw(TexturedQuad(false, texture), 0xFF000000u, false);
    const std::vector<DWORD> shaded = Draw(TexturedQuad(true, texture), 0xFF000000u, false);
    texture->Release();
    int covered = 0, differing = 0;
    for (size_t i = 0; i < fixed.size(); ++i) {
        covered += (fixed[i] & 0xFFFFFFu) != 0;
        if (!Near(shaded[i], SplitArgb(fixed[i]).r, SplitArgb(fixed[i]).g, SplitArgb(fixed[i]).b, 2))
            ++differing;
    }
    EXPECT_GT(covered, static_cast<int>(kW * kH / 4));
    EXPECT_EQ(differing, 0) << "of " << covered << " covered pixels";
}

TEST_F(GlPixelTest, ShaderReadsConstantsThroughTheAddressRegister)
{
    // a0 = floor(2.7) = 2 picks c12 (green); a def wins over the upload; an address past the constants reads zero.
    const char* text = "vs_1_1\n"
                       "dcl_position v0\n"
                       "def c9, 0, 0, 1, 1\n"
                       "mov oPos, v0\n"
                       "mov a0.x, c8.x\n"
                       "mov oD0, c[a0.x + 10]\n";
    auto scene = [text](float pick) {
        return [text, pick](IDirect3DDevice9* dev) {
            IDirect3DVertexShader9* vs = MakeShader(dev, text);
            ASSERT_NE(vs, nullptr);
            const float consts[5][4] = {{pick, 0, 0, 0}, {1, 1, 1, 1}, {1, 0, 0, 1}, {0, 0, 0, 1}, {0, 1, 0, 1}};
            dev->SetVertexShaderConstantF(8, &consts[0][0], 5);
            dev->SetVertexShader(vs);
            dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            dev->SetFVF(D3DFVF_XYZ);
            const float quad[4][3] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {1, -1, 0.5f}, {-1, -1, 0.5f}};
            dev->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(quad[0]));
            dev->SetVertexShader(nullptr);
            vs->Release();
        };
    };
    Draw(scene(2.7f));
    EXPECT_TRUE(Near(At(32, 32), 0, 255, 0));
    Draw(scene(0.0f));
    EXPECT_TRUE(Near(At(32, 32), 255, 0, 0));
    Draw(scene(-1.0f));
    EXPECT_TRUE(Near(At(32, 32), 0, 0, 255)) << "c9 is defined in the shader";
    Draw(scene(500.0f));
    EXPECT_TRUE(Near(At(32, 32), 0, 0, 0));
}
