// The sector side of the driver: the default sector pipeline and the world's lights as atomics see them.
#include "gfx/d3d9/sectorpipe.h"

#include <cstdio>
#include <cstdlib>

#include "gfx/core/pipeline.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/lights.h"
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

}  // namespace
