// Tests of the atomic pipeline: default pipelines, instancing and its reuse, reinstancing after locks, dynamic
// geometry and device restore, and lit, textured and blended drawing read back on two capability profiles.
#include "gfx/d3d9/atomicpipe_testing.h"

#include <algorithm>

#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexdecl.h"

namespace {

using AtomicPipe = GxAtomicPipeTest;

GxD3D9InstanceHeader* HeaderOf(GxResourceEntry* entry) { return reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1); }

// The position element of vertex v as the buffer holds it.
GxV3d BufferPosition(GxD3D9InstanceHeader* header, GxUInt32 stream, GxUInt32 v)
{
    GxD3D9VertexStream& s = header->streams[stream];
    void* data = nullptr;
    GxV3d out = {};
    if (SUCCEEDED(s.buffer->Lock(s.offset, s.stride * header->vertexTotal, &data, D3DLOCK_READONLY))) {
        memcpy(&out, static_cast<char*>(data) + static_cast<size_t>(v) * s.stride, sizeof(out));
        s.buffer->Unlock();
    }
    return out;
}

// The texture coordinates of vertex v, found through the instance's declaration.
GxTexCoords BufferTexCoords(GxD3D9InstanceHeader* header, GxUInt32 v)
{
    D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH + 1];
    UINT count = MAXD3DDECLLENGTH + 1;
    GxTexCoords out = {-1.0f, -1.0f};
    if (FAILED(header->declaration->GetDeclaration(elements, &count))) {
        return out;
    }
    for (UINT i = 0; i < count; i++) {
        if (elements[i].Usage != D3DDECLUSAGE_TEXCOORD || elements[i].Stream > 1) {
            continue;
        }
        GxD3D9VertexStream& s = header->streams[elements[i].Stream];
        void* data = nullptr;
        if (SUCCEEDED(s.buffer->Lock(s.offset, s.stride * header->vertexTotal, &data, D3DLOCK_READONLY))) {
            GxReal uv[2];
            GxD3D9ReadTexCoords(elements[i].Type, uv, static_cast<char*>(data) + v * s.stride + elements[i].Offset);
            out = GxTexCoords{uv[0], uv[1]};
            s.buffer->Unlock();
        }
    }
    return out;
}

// A morphing box (two targets, the second the first moved up by one) for atomics that share it.
GxGeometry* MorphingBox()
{
    GxGeometry* geometry = GxWorldTestBox(nullptr, nullptr);
    if (!geometry || GxGeometryAddMorphTargets(geometry, 1) != 1) {
        return geometry;
    }
    for (GxInt32 v = 0; v < geometry->numVertices; v++) {
        geometry->morphTarget[1].verts[v] = geometry->morphTarget[0].verts[v];
        geometry->morphTarget[1].verts[v].y += 1.0f;
        geometry->morphTarget[1].normals[v] = geometry->morphTarget[0].normals[v];
    }
    geometry->morphTarget[1].boundingSphere = geometry->morphTarget[0].boundingSphere;
    return geometry;
}

size_t Draws(IDirect3DDevice9* device)
{
    size_t n = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        n += e.type == D3D9SOFT_DRAW;
    }
    return n;
}

}  // namespace

TEST_F(AtomicPipe, DefaultPipelinesAndTheirReplacement)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    ASSERT_NE(block->platformAtomicPipeline, nullptr);
    EXPECT_EQ(block->currentAtomicPipeline, block->platformAtomicPipeline);
    EXPECT_EQ(block->platformAtomicPipeline->ownerPluginId, 2u);
    EXPECT_EQ(block->platformMaterialPipeline, nullptr) << "the material pipeline is a placeholder";
    EXPECT_NE(GxPipelineFindNodeByName(block->platformAtomicPipeline, "nodeD3D9AtomicAllInOne.csl", nullptr, nullptr),
              nullptr);
    GxPipeline* other = GxPipelineCreate();
    GxD3D9SetDefaultAtomicPipeline(other);
    EXPECT_EQ(block->currentAtomicPipeline, other);
    GxD3D9SetDefaultAtomicPipeline(nullptr);
    EXPECT_EQ(block->currentAtomicPipeline, block->platformAtomicPipeline);
    GxPipelineDestroy(other);
}

TEST_F(AtomicPipe, InstanceIsBuiltOnceAndReused)
{
    GxMaterial* material = GxMaterialCreate();
    GxAtomic* atomic = MakeAtomic(GxWorldTestBox(material, material));
    GxMaterialDestroy(material);
    GxGeometry* geometry = atomic->geometry;
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    ASSERT_NE(geometry->repEntry, nullptr);
    GxD3D9InstanceHeader* header = HeaderOf(geometry->repEntry);
    EXPECT_EQ(header->meshCount, geometry->mesh->numMeshes);
    EXPECT_EQ(header->vertexTotal, 24u);
    EXPECT_EQ(header->indexTotal, 36u);
    EXPECT_EQ(header->primitive, static_cast<GxUInt32>(D3DPT_TRIANGLELIST));
    EXPECT_EQ(header->streams[0].pooled, 1u);
    EXPECT_EQ(header->streams[1].buffer, nullptr);
    EXPECT_EQ(Draws(gxD3D9State.device), header->meshCount);
    GxResourceEntry* first = geometry->repEntry;
    ASSERT_TRUE(Render());
    EXPECT_EQ(geometry->repEntry, first);
    // New meshes (a polygon lock) throw the instance away.
    GxGeometryLock(geometry, gxGEOMETRYLOCKPOLYGONS);
    ASSERT_NE(GxGeometryUnlock(geometry), nullptr);
    ASSERT_TRUE(Render());
    ASSERT_NE(geometry->repEntry, nullptr);
    EXPECT_EQ(HeaderOf(geometry->repEntry)->meshSerial, geometry->mesh->serialNum);
}

TEST_F(AtomicPipe, PositionsOnlyLockRewritesThePositions)
{
    for (GxUInt32 usage : {0u, static_cast<GxUInt32>(gxD3D9USAGEPOSITIONS)}) {
        GxAtomic* atomic = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
        GxGeometry* geometry = atomic->geometry;
        GxD3D9GeometrySetUsageFlags(geometry, usage);
        ASSERT_TRUE(Render());
        GxD3D9InstanceHeader* header = HeaderOf(geometry->repEntry);
        const GxUInt32 streams = header->streams[1].buffer ? 2 : 1;
        EXPECT_EQ(streams, usage ? 2u : 1u);
        EXPECT_EQ(GxD3D9DynamicGeometryContains(geometry), usage != 0);
        GxResourceEntry* entry = geometry->repEntry;
        GxGeometryLock(geometry, gxGEOMETRYLOCKVERTICES);
        geometry->morphTarget[0].verts[0].x += 10.0f;
        ASSERT_NE(GxGeometryUnlock(geometry), nullptr);
        ASSERT_TRUE(Render());
        ASSERT_EQ(geometry->repEntry, entry);  // rewritten in place
        EXPECT_EQ(geometry->lockedSinceLastInst, 0u);
        const GxV3d moved = BufferPosition(header, 0, 0);
        EXPECT_FLOAT_EQ(moved.x, geometry->morphTarget[0].verts[0].x) << "usage " << usage;
        EXPECT_FLOAT_EQ(moved.y, geometry->morphTarget[0].verts[0].y);
        // The parts that were not locked are still there (the instance keeps its buffers).
        for (GxUInt32 v : {0u, 3u}) {
            const GxTexCoords uv = BufferTexCoords(header, v);
            EXPECT_FLOAT_EQ(uv.u, geometry->texCoords[0][v].u) << "usage " << usage << " vertex " << v;
            EXPECT_FLOAT_EQ(uv.v, geometry->texCoords[0][v].v);
        }
        GxFrame* frame = static_cast<GxFrame*>(atomic->object.object.parent);
        atomics.pop_back();
        GxAtomicDestroy(atomic);
        GxFrameDestroy(frame);
    }
}

TEST_F(AtomicPipe, DeviceRestoreReinstancesDynamicGeometryOnly)
{
    GxAtomic* still = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    GxAtomic* moving = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    GxD3D9GeometrySetUsageFlags(moving->geometry, gxD3D9USAGEPOSITIONS | gxD3D9USAGENORMALS);
    ASSERT_TRUE(Render());
    EXPECT_TRUE(GxD3D9DynamicGeometryContains(moving->geometry));
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(still->geometry));
    // What the device runs after a Reset.
    GxD3D9GetDeviceRestoreCallBack()();
    EXPECT_EQ(moving->geometry->lockedSinceLastInst, 0xFFFu);
    EXPECT_EQ(still->geometry->lockedSinceLastInst, 0u);
    ASSERT_TRUE(Render());
    EXPECT_EQ(moving->geometry->lockedSinceLastInst, 0u);
    const GxV3d p = BufferPosition(HeaderOf(moving->geometry->repEntry), 0, 5);
    EXPECT_FLOAT_EQ(p.z, moving->geometry->morphTarget[0].verts[5].z);
    // A destroyed geometry leaves the list.
    GxGeometry* geometry = moving->geometry;
    GxFrame* frame = static_cast<GxFrame*>(moving->object.object.parent);
    atomics.pop_back();
    GxAtomicDestroy(moving);
    GxFrameDestroy(frame);
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(geometry));
}

// The driver's state outlives the engine: a second start keeps the one restore callback it chained at the first,
// instead of chaining that callback to itself (which would call itself at the next device reset without end).
TEST_F(AtomicPipe, DeviceRestoreIsChainedOnceAcrossEngineRestarts)
{
    const GxD3D9DeviceRestoreCallBack installed = GxD3D9GetDeviceRestoreCallBack();
    ASSERT_NE(installed, nullptr);
    GxTestCameraDestroy(camera);
    camera = nullptr;
    engine.reset();
    StartEngine([] { return GxWorldPluginAttach() && GxD3D9WorldPluginAttach(); });
    ASSERT_FALSE(HasFatalFailure());
    camera = GxTestCameraCreate(64, 64);
    EXPECT_EQ(GxD3D9GetDeviceRestoreCallBack(), installed);
    EXPECT_NE(gxD3D9WorldGlue.previousRestore, installed);
}

TEST_F(AtomicPipe, EmptyGeometryDrawsNothing)
{
    GxAtomic* atomic = MakeAtomic(GxGeometryCreate(0, 0, gxGEOMETRYPOSITIONS));
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    EXPECT_EQ(atomic->geometry->repEntry, nullptr);
    EXPECT_EQ(Draws(gxD3D9State.device), 0u);
}

namespace {

// A lit, textured box whose front face has a half-transparent material, over a grey background.
class LitModel : public GxAtomicPipeTest {
protected:
    LitModel() : GxAtomicPipeTest("opengl") {}
    void Check()
    {
        GxMaterial* back = GxMaterialCreate();
        GxMaterial* front = GxMaterialCreate();
        GxMaterialSetTexture(front, SolidTexture(200, 100, 40));
        GxAtomic* atomic = MakeAtomic(GxWorldTestBox(back, front, 1.0f, gxGEOMETRYMODULATEMATERIALCOLOR));
        GxMaterialDestroy(back);
        GxMaterialDestroy(front);
        AddLight(gxLIGHTAMBIENT, 0.25f);
        AddLight(gxLIGHTDIRECTIONAL, 0.5f);  // its frame's at vector (0, 0, 1) runs onto the front face
        // Opaque: ambient 0.25 + directional 0.5 of the texture.
        ASSERT_TRUE(Render({60, 60, 60, 255}));
        EXPECT_TRUE(GxColourNear(At(32, 32), 150, 75, 30));
        EXPECT_TRUE(GxColourNear(At(1, 1), 60, 60, 60));
        // Half transparent: blended half and half with the background.
        GxMaterial* material = atomic->geometry->matList.materials[1];
        material->color.alpha = 128;
        ASSERT_TRUE(Render({60, 60, 60, 255}));
        EXPECT_TRUE(GxColourNear(At(32, 32), 105, 68, 45, 4));
        // Unlit (no lighting flag) and not prelit: black, alpha of an opaque texture unused.
        material->color.alpha = 255;
        atomic->geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYLIGHT);
        ASSERT_TRUE(Render({60, 60, 60, 255}));
        EXPECT_TRUE(GxColourNear(At(32, 32), 0, 0, 0));
    }
};

// The driver on the minimal profile's capabilities (no transform and lighting, no compact declaration types,
// two stages), drawing through GL.
class LitModelMinimal : public LitModel {
protected:
    void SetUp() override
    {
        LitModel::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        IDirect3D9* minimal = D3D9SoftCreate(D3D9_CAPS_MINIMAL);
        ASSERT_EQ(minimal->GetDeviceCaps(0, D3DDEVTYPE_HAL, &gxD3D9State.caps), D3D_OK);
        minimal->Release();
        ASSERT_TRUE(GxD3D9LightResourcesOpen());
    }
};

}  // namespace

TEST_F(LitModel, AmbientAndDirectionalTexturedAndBlended) { Check(); }

TEST_F(LitModelMinimal, AmbientAndDirectionalTexturedAndBlended)
{
    EXPECT_FALSE(gxD3D9State.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_EQ(gxD3D9State.caps.DeclTypes, 0u);
    Check();
}

TEST_F(AtomicPipe, LongStripsBecomeASortedTriangleList)
{
    GxGeometry* geometry = GxAtomicPipeTestSplitStrip();
    ASSERT_NE(geometry, nullptr);
    ASSERT_GT(geometry->mesh->totalIndicesInMesh, 6u);
    GxAtomic* atomic = MakeAtomic(geometry);
    ASSERT_TRUE(Render());
    GxD3D9InstanceHeader* header = HeaderOf(atomic->geometry->repEntry);
    EXPECT_EQ(header->primitive, static_cast<GxUInt32>(D3DPT_TRIANGLELIST));
    EXPECT_EQ(header->indexTotal, 6u);
    void* data = nullptr;
    ASSERT_EQ(header->indexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    std::vector<GxUInt16> indices(static_cast<GxUInt16*>(data), static_cast<GxUInt16*>(data) + 6);
    header->indexBuffer->Unlock();
    const GxD3D9MeshInstance* mesh = GxD3D9InstanceMeshes(header);
    ASSERT_EQ(mesh->indexCount, 6u);
    EXPECT_EQ(mesh->primitiveCount, 2u);
    // Sorted by their lowest index: the triangle on vertices 0-2 comes first.
    for (GxUInt16& index : indices) {
        index = static_cast<GxUInt16>(index + mesh->firstVertex);
    }
    EXPECT_LT(*std::max_element(indices.begin(), indices.begin() + 3), 3);
    EXPECT_GE(*std::min_element(indices.begin() + 3, indices.end()), 3);
}

// A mesh header flagged unindexed: each mesh draws its own run of vertices, one after the other, with plain
// draws and no index buffer.
TEST_F(AtomicPipe, UnindexedMeshesDrawTheirVertexRunsInOrder)
{
    GxMaterial* first = GxMaterialCreate();
    GxMaterial* second = GxMaterialCreate();
    GxGeometry* geometry = GxGeometryCreate(9, 3, gxGEOMETRYPOSITIONS);
    ASSERT_NE(geometry, nullptr);
    ASSERT_GE(GxMaterialListAppendMaterial(&geometry->matList, first), 0);
    ASSERT_GE(GxMaterialListAppendMaterial(&geometry->matList, second), 0);
    for (GxInt32 v = 0; v < 9; v++) {
        geometry->morphTarget[0].verts[v] = GxV3d{static_cast<GxReal>(v % 3), static_cast<GxReal>(v / 3), 0.0f};
    }
    // Triangles in vertex order: the first on material 0, the other two on material 1.
    for (GxInt32 t = 0; t < 3; t++) {
        const GxUInt16 base = static_cast<GxUInt16>(3 * t);
        const GxUInt16 tri[3] = {base, static_cast<GxUInt16>(base + 1), static_cast<GxUInt16>(base + 2)};
        memcpy(geometry->triangles[t].vertIndex, tri, sizeof(tri));
        geometry->triangles[t].matIndex = t == 0 ? 0 : 1;
    }
    GxMorphTargetCalcBoundingSphere(&geometry->morphTarget[0], &geometry->morphTarget[0].boundingSphere);
    ASSERT_NE(GxGeometryUnlock(geometry), nullptr);
    GxMaterialDestroy(first);
    GxMaterialDestroy(second);
    ASSERT_EQ(geometry->mesh->numMeshes, 2u);
    geometry->mesh->flags |= gxMESHHEADERUNINDEXED;
    GxAtomic* atomic = MakeAtomic(geometry);
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    GxD3D9InstanceHeader* header = HeaderOf(atomic->geometry->repEntry);
    EXPECT_EQ(header->indexBuffer, nullptr);
    EXPECT_EQ(header->indexTotal, 0u);
    const GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    const GxMesh* source = GxMeshHeaderGetMeshes(geometry->mesh);
    EXPECT_EQ(meshes[0].firstVertex, 0u);
    EXPECT_EQ(meshes[1].firstVertex, source[0].numIndices);
    std::vector<D3D9DrawCall> draws;
    for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
        if (e.type == D3D9SOFT_DRAW) {
            draws.push_back(e.draw);
        }
        EXPECT_NE(e.type, D3D9SOFT_ERROR);
    }
    ASSERT_EQ(draws.size(), 2u);
    for (GxUInt32 m = 0; m < 2; m++) {
        EXPECT_EQ(meshes[m].vertexCount, source[m].numIndices);
        EXPECT_EQ(meshes[m].primitiveCount, source[m].numIndices / 3);
        EXPECT_FALSE(draws[m].indexed);
        EXPECT_EQ(draws[m].startVertex, meshes[m].vertexBase);
        EXPECT_EQ(draws[m].primitiveCount, meshes[m].primitiveCount);
    }
}

TEST_F(AtomicPipe, ScaledFramesAreLitWithNormalisation)
{
    GxAtomic* atomic = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    AddLight(gxLIGHTDIRECTIONAL, 1.0f);
    ASSERT_TRUE(Render());
    GxUInt32 normalise = 1;
    GxD3D9GetRenderState(D3DRS_NORMALIZENORMALS, &normalise);
    EXPECT_EQ(normalise, 0u);
    const GxV3d scale = {2.0f, 2.0f, 2.0f};
    GxMatrix stretch;
    GxMatrixSetIdentity(&stretch);
    GxMatrixScale(&stretch, &scale, gxCOMBINEREPLACE);
    GxFrameTransform(static_cast<GxFrame*>(atomic->object.object.parent), &stretch, gxCOMBINEPOSTCONCAT);
    ASSERT_TRUE(Render());
    GxD3D9GetRenderState(D3DRS_NORMALIZENORMALS, &normalise);
    EXPECT_EQ(normalise, 1u);
}

TEST_F(AtomicPipe, UsageOfAbsentPartsKeepsOneStream)
{
    // Prelit colours change, but the geometry has none: a dynamic stream would be empty.
    GxAtomic* atomic = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    GxD3D9GeometrySetUsageFlags(atomic->geometry, gxD3D9USAGEPRELIT);
    ASSERT_TRUE(Render());
    GxD3D9InstanceHeader* header = HeaderOf(atomic->geometry->repEntry);
    EXPECT_EQ(header->streams[1].buffer, nullptr);
    EXPECT_NE(header->streams[0].stride, 0u);
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(atomic->geometry));
}

// A geometry whose format grows under its instance is never written past the instance's buffers: the draw that
// finds it fails and the next one builds an instance of the new layout.
TEST_F(AtomicPipe, FormatGrownUnderTheInstanceGetsANewOne)
{
    GxAtomic* atomic = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    GxGeometry* geometry = atomic->geometry;
    ASSERT_TRUE(Render());
    const GxUInt32 stride = HeaderOf(geometry->repEntry)->streams[0].stride;
    std::vector<GxRGBA> colours(static_cast<size_t>(geometry->numVertices), GxRGBA{255, 255, 255, 255});
    geometry->preLitLum = colours.data();
    geometry->flags |= gxGEOMETRYPRELIT;
    GxGeometryLock(geometry, gxGEOMETRYLOCKTEXCOORDS);
    ASSERT_NE(GxGeometryUnlock(geometry), nullptr);
    EXPECT_FALSE(Render());
    EXPECT_TRUE(Render());
    EXPECT_EQ(HeaderOf(geometry->repEntry)->streams[0].stride, stride + 4);
    geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYPRELIT);
    geometry->preLitLum = nullptr;
}

// A native geometry read without its native data has no instance: it is not drawn and its draw fails.
TEST_F(AtomicPipe, NativeGeometryWithoutItsInstanceIsNotDrawn)
{
    GxAtomic* atomic = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    atomic->geometry->flags |= gxGEOMETRYNATIVE;
    D3D9SoftClearLog(gxD3D9State.device);
    EXPECT_FALSE(Render());
    EXPECT_EQ(Draws(gxD3D9State.device), 0u);
    atomic->geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYNATIVE);
}

TEST_F(AtomicPipe, EveryAtomicSharingAGeometryIsReinstancedAfterALock)
{
    // Morphing atomics keep instances of their own; one plain atomic shares the geometry's.
    GxGeometry* morphing = MorphingBox();
    ASSERT_EQ(morphing->numMorphTargets, 2);
    GxAtomic* first = MakeAtomic(GxGeometryAddRef(morphing));
    GxAtomic* second = MakeAtomic(morphing);
    GxAtomic* plainA = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    GxAtomic* plainB = MakeAtomic(GxGeometryAddRef(plainA->geometry));
    ASSERT_TRUE(Render());
    ASSERT_NE(first->repEntry, nullptr);
    ASSERT_NE(second->repEntry, nullptr);
    ASSERT_NE(first->repEntry, second->repEntry);
    for (GxGeometry* geometry : {morphing, plainA->geometry}) {
        GxGeometryLock(geometry, gxGEOMETRYLOCKTEXCOORDS);
        geometry->texCoords[0][2] = GxTexCoords{0.25f, 0.75f};
        ASSERT_NE(GxGeometryUnlock(geometry), nullptr);
    }
    ASSERT_TRUE(Render());
    for (GxResourceEntry* entry : {first->repEntry, second->repEntry, plainB->geometry->repEntry}) {
        const GxTexCoords uv = BufferTexCoords(HeaderOf(entry), 2);
        EXPECT_FLOAT_EQ(uv.u, 0.25f);
        EXPECT_FLOAT_EQ(uv.v, 0.75f);
    }
    // A lock after the second atomic was drawn reaches the first at its next draw.
    GxGeometryLock(morphing, gxGEOMETRYLOCKTEXCOORDS);
    morphing->texCoords[0][2] = GxTexCoords{0.5f, 0.125f};
    ASSERT_NE(GxGeometryUnlock(morphing), nullptr);
    ASSERT_TRUE(Render());
    EXPECT_FLOAT_EQ(BufferTexCoords(HeaderOf(first->repEntry), 2).v, 0.125f);
    EXPECT_FLOAT_EQ(BufferTexCoords(HeaderOf(second->repEntry), 2).v, 0.125f);
}

// A morphing atomic is written again at every draw: moving its interpolation needs no lock and no flag.
TEST_F(AtomicPipe, MorphingAtomicsFollowTheirInterpolationAtEveryDraw)
{
    GxGeometry* morphing = MorphingBox();
    const GxReal y = morphing->morphTarget[0].verts[0].y;
    GxAtomic* atomic = MakeAtomic(morphing);
    atomic->interpolator.startMorphTarget = 0;
    atomic->interpolator.endMorphTarget = 1;
    atomic->interpolator.recipTime = 1.0f;
    atomic->interpolator.position = 0.0f;
    ASSERT_TRUE(Render());
    EXPECT_FLOAT_EQ(BufferPosition(HeaderOf(atomic->repEntry), 0, 0).y, y);
    atomic->interpolator.position = 0.5f;
    ASSERT_TRUE(Render());
    EXPECT_FLOAT_EQ(BufferPosition(HeaderOf(atomic->repEntry), 0, 0).y, y + 0.5f);
}

TEST_F(AtomicPipe, DynamicListCountsTheInstancesOfAGeometry)
{
    GxGeometry* morphing = MorphingBox();
    GxAtomic* first = MakeAtomic(GxGeometryAddRef(morphing));
    GxAtomic* second = MakeAtomic(morphing);
    ASSERT_TRUE(Render());
    ASSERT_NE(HeaderOf(first->repEntry)->streams[1].buffer, nullptr);
    ASSERT_TRUE(GxD3D9DynamicGeometryContains(morphing));
    // The first atomic goes: the second still uses the geometry's entry.
    GxFrame* frame = static_cast<GxFrame*>(first->object.object.parent);
    atomics.erase(atomics.begin());
    GxAtomicDestroy(first);
    GxFrameDestroy(frame);
    EXPECT_TRUE(GxD3D9DynamicGeometryContains(morphing));
    // A restore still reaches the geometry and rebuilds the remaining instance.
    GxD3D9GetDeviceRestoreCallBack()();
    ASSERT_TRUE(Render());
    EXPECT_EQ(morphing->lockedSinceLastInst, 0u);
    // Adds and removes by hand count the same way.
    GxD3D9DynamicGeometryAdd(morphing);
    GxD3D9DynamicGeometryRemove(morphing);
    EXPECT_TRUE(GxD3D9DynamicGeometryContains(morphing));
    frame = static_cast<GxFrame*>(second->object.object.parent);
    atomics.pop_back();
    GxGeometryAddRef(morphing);
    GxAtomicDestroy(second);
    GxFrameDestroy(frame);
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(morphing));
    GxGeometryDestroy(morphing);
}

namespace {

class AtomicPipeMemory : public AtomicPipe {
protected:
    void SetUp() override
    {
        memoryFunctions = GxTestMemoryReset();
        AtomicPipe::SetUp();
    }
};

}  // namespace

// A geometry the dynamic list has no memory for is left out; the list goes on with the others.
TEST_F(AtomicPipeMemory, DynamicListWithoutMemoryLeavesTheGeometryOut)
{
    std::vector<GxGeometry> geometries(129);  // only their addresses are listed
    gxTestMemory.mallocFailAfter = 0;
    GxD3D9DynamicGeometryAdd(&geometries[0]);
    gxTestMemory.mallocFailAfter = -1;
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(&geometries[0]));
    // One block holds 128 entries; the next block is refused.
    for (size_t i = 0; i < 128; i++) {
        GxD3D9DynamicGeometryAdd(&geometries[i]);
    }
    gxTestMemory.mallocFailAfter = 0;
    GxD3D9DynamicGeometryAdd(&geometries[128]);
    gxTestMemory.mallocFailAfter = -1;
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(&geometries[128]));
    EXPECT_TRUE(GxD3D9DynamicGeometryContains(&geometries[127]));
    for (GxGeometry& geometry : geometries) {
        GxD3D9DynamicGeometryRemove(&geometry);
    }
    EXPECT_FALSE(GxD3D9DynamicGeometryContains(&geometries[0]));
}

TEST_F(AtomicPipe, LightingIsOffWithoutACurrentWorld)
{
    MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    AddLight(gxLIGHTDIRECTIONAL, 1.0f);
    ASSERT_TRUE(Render());
    GxUInt32 lighting = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 1u);
    // The world's lights are there, but no world is current: the lights query is not asked.
    worldless = true;
    ASSERT_TRUE(Render());
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 0u);
}

TEST_F(AtomicPipe, DrawnInstancesMoveToTheFrontOfTheArena)
{
    GxAtomic* a = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    GxAtomic* b = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
    ASSERT_TRUE(Render());
    GxResourceEntry* entryA = a->geometry->repEntry;
    GxResourceEntry* entryB = b->geometry->repEntry;
    ASSERT_EQ(entryB->link.next, &entryA->link);  // made last, so most recent
    // Drawn again b first, then a: a is now the most recently used.
    std::swap(atomics[0], atomics[1]);
    ASSERT_TRUE(Render());
    EXPECT_EQ(a->geometry->repEntry, entryA);
    EXPECT_EQ(entryA->link.next, &entryB->link);
}
