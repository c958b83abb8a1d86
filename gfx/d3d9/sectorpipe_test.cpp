// The sector side of the driver: the default sector pipeline and the world's lights as atomics see them.
#include "gfx/d3d9/sectorpipe.h"

#include <cstdio>
#include <cstdlib>

#include "gfx/core/bytes.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/lights.h"
#include "gfx/d3d9/sectorpipe_testing.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

class SectorPipe : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override { ASSERT_TRUE(GxWorldPluginAttach() && GxD3D9SectorPluginAttach()); }
    void TearDown() override
    {
        for (GxLight* light : lights) {
            GxFrame* frame = static_cast<GxFrame*>(light->object.object.parent);
            GxLightDestroy(light);
            GxFrameDestroy(frame);
        }
        if (clump) {
            GxClumpDestroy(clump);
        }
        if (camera) {
            GxTestCameraDestroy(camera);
        }
        if (world) {
            GxWorldDestroy(world);
        }
        GxD3D9SoftwareTest::TearDown();
    }
    GxLight* Light(GxInt32 type, GxV3d at, GxReal radius)
    {
        GxLight* light = GxLightCreate(type);
        GxFrame* frame = GxFrameCreate();
        GxFrameTranslate(frame, &at, 0);
        GxLightSetFrame(light, frame);
        light->radius = radius;
        GxWorldAddLight(world, light);
        lights.push_back(light);
        return light;
    }

    // A world holding one clump whose atomic carries `box` (the atomic takes the reference), 5 units ahead of
    // the origin; null without a world.
    GxAtomic* BoxAhead(GxGeometry* box)
    {
        const GxBBox bounds = {{100, 100, 100}, {-100, -100, -100}};
        world = GxWorldCreate(&bounds);
        if (world == nullptr) {
            return nullptr;
        }
        clump = GxClumpCreate();
        GxFrame* frame = GxFrameCreate();
        GxClumpSetFrame(clump, frame);
        GxAtomic* atomic = GxAtomicCreate();
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, box, 0);
        GxGeometryDestroy(atomic->geometry);
        GxClumpAddAtomic(clump, atomic);
        const GxV3d ahead = {0, 0, 5};
        GxFrameTranslate(frame, &ahead, 0);
        GxWorldAddClump(world, clump);
        return atomic;
    }
    // Draws the atomic once through a camera added to the world.
    void RenderOnce(GxAtomic* atomic)
    {
        camera = GxTestCameraCreate(64, 64);
        ASSERT_NE(camera, nullptr);
        GxWorldAddCamera(world, camera);
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
        EXPECT_NE(GxAtomicDefaultRenderCallback(atomic), nullptr);
        GxCameraEndUpdate(camera);
    }

    GxWorld* world = nullptr;
    GxClump* clump = nullptr;
    GxCamera* camera = nullptr;
    std::vector<GxLight*> lights;
};

TEST_F(SectorPipe, OpenInstallsTheSectorPipeline)
{
    GxPipelineModuleBlock* block = GxPipelineGetModuleBlock();
    ASSERT_NE(block, nullptr);
    ASSERT_NE(block->currentSectorPipeline, nullptr);
    EXPECT_EQ(block->currentSectorPipeline, block->platformSectorPipeline);
    EXPECT_EQ(block->platformSectorPipeline->ownerPluginId, 2u);
    // The world module counts its open instances and hands each back.
    EXPECT_EQ(GxD3D9WorldModuleOpenCount(), 1);
    GxInt32 instance = 0;
    EXPECT_EQ(GxD3D9WorldModuleOpen(&instance, 0, 0), &instance);
    EXPECT_EQ(GxD3D9WorldModuleOpenCount(), 2);
    EXPECT_EQ(GxD3D9WorldModuleClose(&instance, 0, 0), &instance);
    EXPECT_EQ(GxD3D9WorldModuleOpenCount(), 1);
    EXPECT_EQ(block->currentSectorPipeline, block->platformSectorPipeline) << "counting leaves the pipelines alone";
    EXPECT_NE(
        GxPipelineFindNodeByName(block->currentSectorPipeline, "nodeD3D9WorldSectorAllInOne.csl", nullptr, nullptr),
        nullptr);
    EXPECT_NE(block->currentAtomicPipeline, nullptr) << "the atomic pipeline survives the sector module's open";
    GxD3D9SetDefaultSectorPipeline(block->currentAtomicPipeline);
    EXPECT_EQ(block->currentSectorPipeline, block->currentAtomicPipeline);
    GxD3D9SetDefaultSectorPipeline(nullptr);
    EXPECT_EQ(block->currentSectorPipeline, block->platformSectorPipeline) << "none restores the platform's";
}

TEST_F(SectorPipe, AtomicsAreLitByTheWorldsGlobalLightsAndTheLocalLightsThatReachThem)
{
    GxAtomic* atomic = BoxAhead(GxWorldTestBox(nullptr, nullptr, 1.0f, gxGEOMETRYLIGHT));
    ASSERT_NE(atomic, nullptr);
    GxLight* ambient = Light(gxLIGHTAMBIENT, GxV3d{0, 0, 0}, 0);
    GxLight* sun = Light(gxLIGHTDIRECTIONAL, GxV3d{0, 0, 0}, 0);
    GxLight* nearLamp = Light(gxLIGHTPOINT, GxV3d{1, 1, 5}, 3);
    GxLight* farLamp = Light(gxLIGHTPOINT, GxV3d{60, 0, 5}, 3);
    ASSERT_NO_FATAL_FAILURE(RenderOnce(atomic));
    EXPECT_LT(GxD3D9LightGetData(ambient)->index, 0) << "ambient light is summed, not set";
    EXPECT_GE(GxD3D9LightGetData(sun)->index, 0);
    EXPECT_GE(GxD3D9LightGetData(nearLamp)->index, 0);
    EXPECT_LT(GxD3D9LightGetData(farLamp)->index, 0) << "tied to the same sector but out of reach";
    // The update left the world's one sector in view.
    std::vector<GxWorldSector*> seen;
    GxCameraForAllSectorsInFrustum(
        camera,
        [](GxWorldSector* sector, void* data) {
            static_cast<std::vector<GxWorldSector*>*>(data)->push_back(sector);
            return sector;
        },
        &seen);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], GxCameraGetVisibleSector(camera, 0));
}

// Native sector data is the geometry form with the world's materials: a geometry's instance, read into a native
// world's sector, writes back byte for byte; every truncation and a material past the world's list are refused.
TEST_F(SectorPipe, NativeSectorDataReadsBackTheSameAndRefusesDamage)
{
    GxMaterial* first = GxMaterialCreate();
    GxMaterial* second = GxMaterialCreate();
    GxAtomic* atomic = BoxAhead(GxWorldTestBox(first, second));
    ASSERT_NE(atomic, nullptr);
    ASSERT_NO_FATAL_FAILURE(RenderOnce(atomic));
    GxGeometry* geometry = atomic->geometry;
    geometry->flags |= gxGEOMETRYNATIVE;
    const std::vector<GxUInt8> bytes =
        GxWorldTestWrite([geometry](GxStream* s) { return GxD3D9GeometryNativeStreamWrite(s, geometry); });
    ASSERT_FALSE(bytes.empty());
    GxResourceEntryFree(geometry->repEntry);  // its pool space goes to the sector, as written

    auto* sector = reinterpret_cast<GxWorldSector*>(world->rootSector);
    auto read = [sector](const std::vector<GxUInt8>& data, size_t length) {
        GxStream* stream = GxWorldTestOpen(data, length);
        const bool ok = GxD3D9SectorNativeStreamRead(stream, sector) != nullptr;
        GxStreamClose(stream, nullptr);
        return ok;
    };
    auto write = [sector] {
        return GxWorldTestWrite([sector](GxStream* s) { return GxD3D9SectorNativeStreamWrite(s, sector); });
    };
    GxMaterialListAppendMaterial(&world->matList, first);
    EXPECT_FALSE(read(bytes, SIZE_MAX)) << "the second material is past a one-material list";
    EXPECT_EQ(sector->repEntry, nullptr);
    GxMaterialListAppendMaterial(&world->matList, second);
    GxMaterialDestroy(first);
    GxMaterialDestroy(second);
    for (size_t length = 0; length < bytes.size(); length++) {
        ASSERT_FALSE(read(bytes, length)) << length;
        ASSERT_EQ(sector->repEntry, nullptr);
    }
    GxTestTakeError();
    ASSERT_TRUE(read(bytes, SIZE_MAX));
    ASSERT_NE(sector->repEntry, nullptr);
    EXPECT_EQ(GxD3D9SectorNativeStreamSize(sector), 0) << "the world is not native";
    EXPECT_TRUE(write().empty());
    world->flags |= gxGEOMETRYNATIVE;
    EXPECT_EQ(GxD3D9SectorNativeStreamSize(sector), static_cast<GxInt32>(bytes.size()));
    EXPECT_EQ(write(), bytes);
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(sector->repEntry + 1);
    EXPECT_EQ(header->streams[0].pooled, 1) << "sector vertices live in the shared pool";
    if (const char* seed = std::getenv("MALL_NATIVESECTOR_SEED")) {
        FILE* f = std::fopen(seed, "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// A chunk of `type` around `body`, with the version the readers accept.
std::vector<GxUInt8> Chunk(GxUInt32 type, const std::vector<GxUInt8>& body)
{
    constexpr GxUInt32 kVersion = 0x1C02000A;
    std::vector<GxUInt8> out;
    GxBytesAppend(&out, type);
    GxBytesAppend(&out, static_cast<GxUInt32>(body.size()));
    GxBytesAppend(&out, kVersion);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<GxUInt8> Words(std::initializer_list<GxUInt32> words)
{
    std::vector<GxUInt8> out;
    for (GxUInt32 w : words) {
        GxBytesAppend(&out, w);
    }
    return out;
}

std::vector<GxUInt8> Join(std::initializer_list<std::vector<GxUInt8>> parts)
{
    std::vector<GxUInt8> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A world of one empty atomic sector whose sector and world extensions each hold one rights body.
std::vector<GxUInt8> WorldWithRights(const std::vector<GxUInt8>& sectorRights, const std::vector<GxUInt8>& worldRights)
{
    const GxUInt32 one = 0x3F800000;
    const GxUInt32 minusOne = 0xBF800000;
    const auto worldStruct = Words({1, 0, 0, 0, 0, 0, 0, 1, 0, 0, one, one, one, minusOne, minusOne, minusOne});
    const auto sector = Join({Chunk(gxID_STRUCT, std::vector<GxUInt8>(44, 0)),
                              Chunk(gxID_EXTENSION, Chunk(gxID_RIGHTTORENDER, sectorRights))});
    return Chunk(gxID_WORLD, Join({Chunk(gxID_STRUCT, worldStruct), Chunk(gxID_MATLIST, Chunk(gxID_STRUCT, Words({0}))),
                                   Chunk(gxID_ATOMICSECTOR, sector),
                                   Chunk(gxID_EXTENSION, Chunk(gxID_RIGHTTORENDER, worldRights))}));
}

struct RightsCall {
    void* object = nullptr;
    GxUInt32 data = 0;
};
RightsCall sectorCall;
RightsCall worldCall;

// The world reader hands what a sector's and a world's rights chunks name to that plugin's rights callback, and
// a sector writes back what it read; a 4-byte record carries no data word and leaves the pending one alone.
TEST_F(SectorPipe, RightsChunksReachTheirPluginAndSectorsWriteThemBack)
{
    const GxUInt32 sectorPlugin = gxPLUGIND3D9USAGEFLAGS;
    const GxUInt32 worldPlugin = gxID_RIGHTTORENDER;
    ASSERT_GE(GxPluginRegistryAddPluginStreamRights(&gxWorldSectorTKList, sectorPlugin,
                                                    [](void* object, GxInt32, GxInt32, GxUInt32 data) -> GxBool {
                                                        sectorCall = RightsCall{object, data};
                                                        return 1;
                                                    }),
              0);
    ASSERT_GE(GxPluginRegistryAddPluginStreamRights(&gxWorldTKList, worldPlugin,
                                                    [](void* object, GxInt32, GxInt32, GxUInt32 data) -> GxBool {
                                                        worldCall = RightsCall{object, data};
                                                        return 1;
                                                    }),
              0);
    auto readWorld = [](const std::vector<GxUInt8>& bytes) {
        sectorCall = worldCall = RightsCall{};
        GxStream* stream = GxWorldTestOpen(bytes);
        GxWorld* read = GxStreamFindChunk(stream, gxID_WORLD, nullptr, nullptr) ? GxWorldStreamRead(stream) : nullptr;
        GxStreamClose(stream, nullptr);
        return read;
    };
    world = readWorld(WorldWithRights(Words({sectorPlugin, 0xABC}), Words({worldPlugin, 0x123})));
    ASSERT_NE(world, nullptr);
    auto* sector = reinterpret_cast<GxWorldSector*>(world->rootSector);
    EXPECT_EQ(sectorCall.object, sector);
    EXPECT_EQ(sectorCall.data, 0xABCu);
    EXPECT_EQ(worldCall.object, world);
    EXPECT_EQ(worldCall.data, 0x123u);
    EXPECT_EQ(GxD3D9SectorRenderRightsStreamSize(sector), 8);
    EXPECT_EQ(GxWorldTestWrite([sector](GxStream* s) { return GxD3D9SectorRenderRightsStreamWrite(s, 8, sector); }),
              Words({sectorPlugin, 0xABC}));
    GxWorldDestroy(world);

    // A sector record of 4 bytes names the plugin with the data the reader cleared; a record shorter than an id
    // fails the read.
    world = readWorld(WorldWithRights(Words({sectorPlugin}), Words({worldPlugin, 7})));
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(sectorCall.object, world->rootSector);
    EXPECT_EQ(sectorCall.data, 0u);
    GxWorldDestroy(world);
    world = nullptr;
    EXPECT_EQ(readWorld(WorldWithRights({1, 2}, Words({worldPlugin}))), nullptr);
    GxTestTakeError();

    GxRightsRecord* pending = GxWorldSectorGetPendingRights();
    *pending = GxRightsRecord{0, 77};
    const std::vector<GxUInt8> idOnly = Words({sectorPlugin});
    GxStream* stream = GxWorldTestOpen(idOnly);
    EXPECT_NE(GxD3D9SectorRenderRightsStreamRead(stream, 4), nullptr);
    GxStreamClose(stream, nullptr);
    EXPECT_EQ(pending->pluginID, sectorPlugin);
    EXPECT_EQ(pending->extraData, 77u) << "a 4-byte record leaves the data word";
    *pending = GxRightsRecord{0, 0};

    GxWorldSector empty = {};
    EXPECT_EQ(GxD3D9SectorRenderRightsStreamSize(&empty), 0) << "no plugin id, no chunk";
    GxPluginRegistryAddPluginStreamRights(&gxWorldSectorTKList, sectorPlugin, nullptr);
    GxPluginRegistryAddPluginStreamRights(&gxWorldTKList, worldPlugin, nullptr);
}

// A lit, textured sector packs its normals as the device reads them best and, asked for, carries tangents along
// the texture's u axis.
TEST_F(SectorPipe, SectorNormalsArePackedAndTangentsFollowTheUsageFlag)
{
    const GxBBox bounds = {{1, 1, 1}, {-1, -1, -1}};
    world = GxWorldCreate(&bounds);
    ASSERT_NE(world, nullptr);
    world->flags |= gxGEOMETRYNORMALS | gxGEOMETRYTEXTURED;
    auto* sector = reinterpret_cast<GxWorldSector*>(world->rootSector);
    GxV3d vertices[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    GxUInt32 normals[3] = {0x7F0000u, 0x7F0000u, 0x7F0000u};  // (0, 0, 127): +z
    GxTexCoords uv[3] = {{0, 0}, {1, 0}, {0, 1}};
    sector->vertices = vertices;
    sector->normals = normals;
    sector->texCoords[0] = uv;
    sector->numVertices = 3;
    ASSERT_TRUE(GxD3D9SectorSetUsageFlags(sector, 0x10000));

    GxD3D9InstanceHeader header = {};
    ASSERT_TRUE(GxD3D9SectorInstance(sector, &header, 0));
    D3DVERTEXELEMENT9 elements[8] = {};
    UINT count = 8;
    ASSERT_EQ(header.declaration->GetDeclaration(elements, &count), D3D_OK);
    const GxUInt32 packed = GxD3D9PackedNormalType();
    ASSERT_EQ(count, 5u) << "position, normal, coordinates, tangent and the end";
    EXPECT_EQ(elements[1].Usage, D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(elements[1].Type, packed);
    EXPECT_EQ(elements[3].Usage, D3DDECLUSAGE_TANGENT);
    EXPECT_EQ(header.streams[0].stride, 12 + 2 * GxD3D9VertexDeclTypeGetSize(packed) + 8);

    GxD3D9SectorSetUsageFlags(sector, 0);
    GxD3D9InstanceHeader plain = {};
    ASSERT_TRUE(GxD3D9SectorInstance(sector, &plain, 0));
    EXPECT_EQ(plain.streams[0].stride, 12 + GxD3D9VertexDeclTypeGetSize(packed) + 8) << "no tangent unasked";
    for (GxD3D9InstanceHeader* h : {&header, &plain}) {
        const GxD3D9VertexStream& stream = h->streams[0];
        GxD3D9DestroyVertexBuffer(stream.stride, stream.stride * h->vertexTotal, stream.buffer, stream.offset);
        GxD3D9DeleteVertexDeclaration(h->declaration);
    }
    sector->vertices = nullptr;
    sector->normals = nullptr;
    sector->texCoords[0] = nullptr;
    sector->numVertices = 0;
}

// A world writes the plugin id and data of its sector pipeline, and nothing without one or with plugin id 0.
TEST_F(SectorPipe, WorldRightsAreThoseOfItsSectorPipeline)
{
    const GxBBox bounds = {{1, 1, 1}, {-1, -1, -1}};
    world = GxWorldCreate(&bounds);
    ASSERT_NE(world, nullptr);
    auto write = [this] {
        return GxWorldTestWrite(
            [this](GxStream* s) { return GxPluginRegistryWriteDataChunks(&gxWorldTKList, s, world) != nullptr; });
    };
    const std::vector<GxUInt8> none = Chunk(gxID_EXTENSION, {});
    EXPECT_EQ(write(), none);
    GxPipeline* pipeline = GxPipelineCreate();
    ASSERT_NE(pipeline, nullptr);
    world->pipeline = pipeline;
    EXPECT_EQ(write(), none) << "plugin id 0 writes no chunk";
    pipeline->ownerPluginId = 0x120;
    pipeline->pluginData = 5;
    EXPECT_EQ(write(), Chunk(gxID_EXTENSION, Chunk(gxID_RIGHTTORENDER, Words({0x120, 5}))));
    world->pipeline = nullptr;
    GxPipelineDestroy(pipeline);
}

}  // namespace
