// The sector side of the driver: the default sector pipeline and the world's lights as atomics see them.
#include "gfx/d3d9/sectorpipe.h"

#include "gfx/core/pipeline.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/lights.h"
#include "gfx/d3d9/software_testing.h"
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
}

TEST_F(SectorPipe, AtomicsAreLitByTheWorldsGlobalLightsAndTheLocalLightsThatReachThem)
{
    const GxBBox box = {{100, 100, 100}, {-100, -100, -100}};
    world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    clump = GxClumpCreate();
    GxFrame* frame = GxFrameCreate();
    GxClumpSetFrame(clump, frame);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, GxWorldTestBox(nullptr, nullptr, 1.0f, gxGEOMETRYLIGHT), 0);
    GxGeometryDestroy(atomic->geometry);
    GxClumpAddAtomic(clump, atomic);
    const GxV3d ahead = {0, 0, 5};
    GxFrameTranslate(frame, &ahead, 0);
    GxWorldAddClump(world, clump);
    GxLight* ambient = Light(gxLIGHTAMBIENT, GxV3d{0, 0, 0}, 0);
    GxLight* sun = Light(gxLIGHTDIRECTIONAL, GxV3d{0, 0, 0}, 0);
    GxLight* nearLamp = Light(gxLIGHTPOINT, GxV3d{1, 1, 5}, 3);
    GxLight* farLamp = Light(gxLIGHTPOINT, GxV3d{60, 0, 5}, 3);
    camera = GxTestCameraCreate(64, 64);
    ASSERT_NE(camera, nullptr);
    GxWorldAddCamera(world, camera);
    ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
    EXPECT_NE(GxAtomicDefaultRenderCallback(atomic), nullptr);
    GxCameraEndUpdate(camera);
    EXPECT_LT(GxD3D9LightGetData(ambient)->index, 0) << "ambient light is summed, not set";
    EXPECT_GE(GxD3D9LightGetData(sun)->index, 0);
    EXPECT_GE(GxD3D9LightGetData(nearLamp)->index, 0);
    EXPECT_LT(GxD3D9LightGetData(farLamp)->index, 0) << "tied to the same sector but out of reach";
}

}  // namespace
