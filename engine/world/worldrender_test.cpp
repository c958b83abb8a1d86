// The world drawn on the OpenGL back end: the sky box, a cube seen from inside, covers the frame, so the
// world's culling keeps the faces that look at the camera.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/testsupport/objects.h"
#include "engine/world/clumpext.h"
#include "engine/world/world.h"
#include "gfx/testsupport/demo_scene.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/testsupport/plugins.h"

namespace {

constexpr GxInt32 kSize = 32;
constexpr GxUInt32 kWorldArena = 0x800000;

using CSkyWorld = FerroxStandInWorld<CFerroxWorld>;

class WorldRender : public GxTestGLDraw {
protected:
    WorldRender() : GxTestGLDraw(kSize, kSize, kWorldArena)
    {
        engineSetup.plugins = [] {
            return GxLODAtomicPluginAttach() && GxWorldPluginAttach() && GxTestSectorPluginAttach() &&
                   GxUserDataPluginAttach() && GxSplinePluginAttach() && AttachClumpExtension() &&
                   GxAnimPluginAttach() && GxUVAnimPluginAttach();
        };
    }
    void SetUp() override
    {
        GxTestGLDraw::SetUp();
        if (!Ready())
            return;
        file = (std::filesystem::temp_directory_path() / ("ferrox_sky_" + FerroxTestRunTag() + ".gxs")).string();
        camera = GxTestCameraCreate(kSize, kSize);
        ASSERT_NE(camera, nullptr);
        GxCameraSetNearClipPlane(camera, 0.1f);
        GxCameraSetFarClipPlane(camera, 100.0f);
    }
    void TearDown() override
    {
        if (camera) {
            if (GxWorld* world = GxCameraGetWorld(camera))
                GxWorldRemoveCamera(world, camera);
            GxTestCameraDestroy(camera);
        }
        if (!file.empty())
            std::remove(file.c_str());
        GxTestGLDraw::TearDown();
    }
    // A level whose sky box is a cube of half size 5 with every triangle turned to face its middle.
    void WriteSkyLevel()
    {
        GxClump* clump = GxClumpCreate();
        GxFrame* root = GxFrameCreate();
        GxFrame* frame = GxFrameCreate();
        GxAtomic* atomic = GxAtomicCreate();
        GxMaterial* material = GxMaterialCreate();
        GxGeometry* geometry = GxWorldTestBox(material, material, 5.0f, gxGEOMETRYPRELIT);
        ASSERT_TRUE(clump && root && frame && atomic && geometry);
        for (GxInt32 i = 0; i < geometry->numVertices; i++)
            geometry->preLitLum[i] = GxRGBA{255, 0, 0, 255};
        // Turned inside out under a lock, so the meshes are built again from the new triangles.
        ASSERT_NE(GxGeometryLock(geometry, gxGEOMETRYLOCKALL), nullptr);
        const GxV3d* v = geometry->morphTarget[0].verts;
        for (GxInt32 t = 0; t < geometry->numTriangles; t++) {
            GxUInt16* i = geometry->triangles[t].vertIndex;
            const GxV3d a = v[i[0]], b = v[i[1]], c = v[i[2]];
            const GxV3d e = {b.x - a.x, b.y - a.y, b.z - a.z}, f = {c.x - a.x, c.y - a.y, c.z - a.z};
            const GxV3d n = {e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
            if (n.x * a.x + n.y * a.y + n.z * a.z > 0)
                std::swap(i[1], i[2]);
        }
        ASSERT_NE(GxGeometryUnlock(geometry), nullptr);
        GxClumpSetFrame(clump, root);
        GxFrameAddChild(root, frame);
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, geometry, 0);
        GxGeometryDestroy(geometry);
        GxMaterialDestroy(material);
        GxClumpAddAtomic(clump, atomic);
        FerroxBytes level = FerroxGroupStart(kFerroxSkyGroup);
        FerroxAppend(level, FerroxClumpChunk(clump));
        FerroxAppend(level, FerroxGroupEnd());
        GxClumpDestroy(clump);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(level.data()), static_cast<std::streamsize>(level.size()));
    }
    // The middle pixel of the frame after the world drew into a blue clear.
    GxUInt32 Draw(CFerroxWorld* world)
    {
        GxRGBA blue = {0, 0, 255, 255};
        if (!GxCameraClear(camera, &blue, 3) || !GxCameraBeginUpdate(camera))
            return 0;
        world->Render(camera);
        world->RenderSecondPass();
        GxCameraEndUpdate(camera);
        GxRaster* raster = camera->frameBuffer;
        const GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits)
            return 0;
        const GxUInt32 pixel = *reinterpret_cast<const GxUInt32*>(
            bits + static_cast<size_t>(kSize / 2) * raster->stride + 4 * (kSize / 2));
        GxRasterUnlock(raster);
        return pixel & 0xFFFFFF;
    }

    std::string file;
    GxCamera* camera = nullptr;
};

TEST_F(WorldRender, SkyBoxSeenFromInsideCoversTheClear)
{
    constexpr GxUInt32 kBlue = 0x0000FF;
    CSkyWorld empty;
    ASSERT_EQ(empty.Create(nullptr, camera), 1);
    EXPECT_EQ(Draw(&empty), kBlue);
    GxWorldRemoveCamera(empty.GetGraphicsWorld(), camera);

    WriteSkyLevel();
    CSkyWorld world;
    ASSERT_EQ(world.Create(file.c_str(), camera), 1);
    ASSERT_NE(world.GetSkyBox(), nullptr);
    // A culled sky would leave the blue clear.
    EXPECT_EQ(Draw(&world), 0xFF0000u);
}

// A translucent model the camera stands in: the world pass only queues it, the second pass draws it.
TEST_F(WorldRender, TranslucentModelsWaitForTheSecondPass)
{
    CSkyWorld world;
    ASSERT_EQ(world.Create(nullptr, camera), 1);
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxFrame* frame = GxFrameCreate();
    GxAtomic* atomic = GxAtomicCreate();
    GxMaterial* glass = GxMaterialCreate();
    glass->color.alpha = 128;
    GxGeometry* geometry = GxWorldTestBox(glass, glass, 3.0f);
    ASSERT_TRUE(clump && root && frame && atomic && geometry);
    GxClumpSetFrame(clump, root);
    GxFrameAddChild(root, frame);
    GxAtomicSetFrame(atomic, frame);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxGeometryDestroy(geometry);
    GxMaterialDestroy(glass);
    GxClumpAddAtomic(clump, atomic);
    std::unique_ptr<CFerroxComposite> model(FerroxModelFromClump("glass", clump));
    GxClumpDestroy(clump);
    ASSERT_NE(model, nullptr);
    model->AddToWorld(&world);

    GxRGBA blue = {0, 0, 255, 255};
    ASSERT_TRUE(GxCameraClear(camera, &blue, 3) && GxCameraBeginUpdate(camera));
    world.Render(camera);
    EXPECT_EQ(world.GetRegistry()->GetQueue().size(), 1u);
    world.RenderSecondPass();
    EXPECT_TRUE(world.GetRegistry()->GetQueue().empty());
    GxCameraEndUpdate(camera);
    model->RemoveFromWorld();
    GxWorldRemoveCamera(world.GetGraphicsWorld(), camera);
}

}  // namespace
