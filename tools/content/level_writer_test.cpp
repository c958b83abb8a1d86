// The first level drawn through the world-sector pipeline on the OpenGL back end: known pixels show the ground
// tiles' colours; and the level file holds its dictionary, lights clump and world.
#include "tools/content/level_writer.h"

#include <cstdlib>
#include <filesystem>

#include "gfx/core/filesys.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/software_testing.h"
#include "gfx/world/world_testing.h"

namespace {

constexpr GxInt32 kSize = 64;

class Level : public GxD3D9SoftwareTest {
protected:
    Level() : GxD3D9SoftwareTest(kSize, kSize, false) {}
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        GxD3D9TestUseBackend("opengl");
        GxEngineSetDriver(GxD3D9GetDriver());
        ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x800000));
        ASSERT_TRUE(GxWorldPluginAttach() && GxD3D9SectorPluginAttach());
        if (!GxEngineOpen(&window)) {
            GTEST_SKIP() << "no device on the OpenGL back end here";
        }
        D3DADAPTER_IDENTIFIER9 id = {};
        gxD3D9State.d3d->GetAdapterIdentifier(0, 0, &id);
        if (std::string(id.Driver).find("opengl") == std::string::npos) {
            GTEST_SKIP() << "the OpenGL back end is not available";
        }
        ASSERT_TRUE(GxEngineSetVideoMode(0));
        ASSERT_TRUE(GxEngineStart());
        GxTestTakeError();
        dictionary = GxTexDictionaryCreate();
        for (GxInt32 m = 0; m < CONTENTLEVELMATERIALS; m++) {
            GxTexture* texture = SolidTexture(ContentLevelColour(m));
            ASSERT_NE(texture, nullptr);
            GxTextureSetName(texture, ContentLevelTextureName(m));
            GxTexDictionaryAddTexture(dictionary, texture);
            GxMaterial* material = GxMaterialCreate();
            GxMaterialSetTexture(material, texture);
            materials.push_back(material);
        }
        GxTexDictionarySetCurrent(dictionary);
    }
    void TearDown() override
    {
        if (camera) {
            GxWorldRemoveCamera(world, camera);
            GxTestCameraDestroy(camera);
        }
        if (world) {
            GxWorldDestroy(world);
        }
        for (GxMaterial* material : materials) {
            GxMaterialDestroy(material);
        }
        GxTexDictionarySetCurrent(nullptr);
        if (dictionary) {
            GxTexDictionaryDestroy(dictionary);
        }
        GxD3D9SoftwareTest::TearDown();
    }
    GxTexture* SolidTexture(GxRGBA c)
    {
        GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        GxUInt8* pixels = raster ? GxRasterLock(raster, 0, gxRASTERLOCKWRITE) : nullptr;
        if (!pixels) {
            return nullptr;
        }
        for (GxInt32 y = 0; y < 2; y++) {
            for (GxInt32 x = 0; x < 2; x++) {
                GxUInt8* p = pixels + y * raster->stride + x * 4;
                p[0] = c.blue, p[1] = c.green, p[2] = c.red, p[3] = c.alpha;
            }
        }
        GxRasterUnlock(raster);
        return GxTextureCreate(raster);
    }
    bool Render()
    {
        GxRGBA background = {0, 0, 255, 255};
        if (!GxCameraClear(camera, &background, 3) || !GxCameraBeginUpdate(camera)) {
            return false;
        }
        GxWorldRender(world);
        GxCameraEndUpdate(camera);
        GxRaster* raster = camera->frameBuffer;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits) {
            return false;
        }
        pixels.clear();
        for (GxInt32 y = 0; y < raster->height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            pixels.insert(pixels.end(), row, row + raster->width);
        }
        GxRasterUnlock(raster);
        return true;
    }
    ::testing::AssertionResult At(GxInt32 x, GxInt32 y, GxRGBA want)
    {
        const GxUInt32 argb = pixels[static_cast<size_t>(y) * kSize + static_cast<size_t>(x)];
        const GxInt32 r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
        if (std::abs(r - want.red) <= 3 && std::abs(g - want.green) <= 3 && std::abs(b - want.blue) <= 3) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "(" << x << "," << y << ") is (" << r << "," << g << "," << b << ") want (" << int(want.red) << ","
               << int(want.green) << "," << int(want.blue) << ")";
    }

    GxTexDictionary* dictionary = nullptr;
    std::vector<GxMaterial*> materials;
    std::vector<GxUInt32> pixels;
    GxWorld* world = nullptr;
    GxCamera* camera = nullptr;
};

TEST_F(Level, GroundSeenFromAboveShowsItsTiles)
{
    const std::vector<GxUInt8> bytes = ContentWorldBytes(ContentLevelMesh(), ContentLevelPlan(materials));
    ASSERT_FALSE(bytes.empty());
    world = GxWorldTestRead<GxWorld>(bytes, gxID_WORLD, GxWorldStreamRead);
    ASSERT_NE(world, nullptr);
    camera = GxTestCameraCreate(kSize, kSize);
    ASSERT_NE(camera, nullptr);
    const GxV2d window = {0.5f, 0.5f};
    GxCameraSetViewWindow(camera, &window);
    GxCameraSetNearClipPlane(camera, 0.5f);
    GxCameraSetFarClipPlane(camera, 50.0f);
    GxFrame* frame = GxCameraGetFrame(camera);
    const GxV3d xAxis = {1, 0, 0};
    const GxV3d above = {5, 10, -5};  // over the middle of cell (2, 2), a light one
    GxFrameRotate(frame, &xAxis, 90.0f, 0);
    GxFrameTranslate(frame, &above, 2);
    GxWorldAddCamera(world, camera);
    ASSERT_TRUE(Render());
    // Ten units across the view: one cell is 12.8 pixels. Diagonal neighbours share the centre's tile.
    const GxRGBA light = ContentLevelColour(CONTENTLEVELTILELIGHT);
    const GxRGBA dark = ContentLevelColour(CONTENTLEVELTILEDARK);
    EXPECT_TRUE(At(32, 32, light));
    EXPECT_TRUE(At(45, 32, dark));
    EXPECT_TRUE(At(32, 19, dark));
    EXPECT_TRUE(At(45, 45, light));
    EXPECT_TRUE(At(19, 19, light));
}

TEST_F(Level, FileHoldsTheDictionaryTheLightsAndTheWorld)
{
    ASSERT_TRUE(GxTestFileSystemOpen());
    const std::string out = (std::filesystem::temp_directory_path() / "mall_level_test").string();
    std::string detail;
    ASSERT_TRUE(ContentWriteLevel(out, &detail)) << detail;
    const std::string file = out + "/models/levels/London/london.gxs";
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, file.c_str());
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr));
    GxClump* clump = GxClumpStreamRead(stream);
    ASSERT_NE(clump, nullptr);
    GxInt32 lights = 0;
    GxClumpForAllLights(
        clump,
        [](GxLight* light, void* data) {
            ++*static_cast<GxInt32*>(data);
            return light;
        },
        &lights);
    EXPECT_EQ(lights, 2);
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_WORLD, nullptr, nullptr));
    world = GxWorldStreamRead(stream);
    GxStreamClose(stream, nullptr);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->matList.numMaterials, CONTENTLEVELMATERIALS);
    EXPECT_GE(world->boundingBox.sup.x, gxCONTENTLEVELCELLS * gxCONTENTLEVELCELLSIZE);
    GxClumpDestroy(clump);
    GxFileSystemManagerClose();
    std::filesystem::remove_all(out);
}

}  // namespace
