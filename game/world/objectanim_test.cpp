// Animated textures of the mall's objects: a description of three frames at 250 ms steps one frame per 250 ms
// update of the object manager, wrapping round, and a shorter update steps none.
#include "game/world/objectmgr.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/testsupport/scene.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/material.h"

namespace {

constexpr float kStep = 0.25f;
constexpr int kFrames = 3;

class ObjectAnim : public FerroxSceneTest {
protected:
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        if (material)
            GxMaterialDestroy(material);
        FerroxSceneTest::TearDown();
    }

    GxMaterial* material = nullptr;
};

TEST_F(ObjectAnim, ThreeFramesAtAQuarterSecondStepOneFramePerUpdate)
{
    std::filesystem::create_directories(Path("ani"));
    std::ofstream(Path("ani/water.ini")) << "[anim]\nframes=3\ndelay=250\n";
    for (int i = 0; i < kFrames; i++)
        ASSERT_TRUE(FerroxWriteTestPicture(Path("ani/water0" + std::to_string(i) + ".bmp"),
                                           static_cast<GxUInt8>(60 * i), 0, 0));
    GxRaster* raster = GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    ASSERT_NE(texture, nullptr);
    GxTextureSetName(texture, "water01");
    material = GxMaterialCreate();
    GxMaterialSetTexture(material, texture);
    GxTextureDestroy(texture);

    CDynamicObjectManager* objects = CDynamicObjectManager::Instance();
    objects->CreateAnimTexturesFor(Path("pool.gxs"), {material});
    ASSERT_EQ(objects->GetAnimTextures().size(), 1u);
    GxRaster* const own = GxTextureGetRaster(material->texture);
    objects->Update(kStep / 2);
    EXPECT_EQ(GxTextureGetRaster(material->texture), own);
    // Half a step was kept: another half completes the first step.
    std::vector<GxRaster*> shown;
    objects->Update(kStep / 2);
    shown.push_back(GxTextureGetRaster(material->texture));
    for (int step = 1; step <= kFrames; step++) {
        objects->Update(kStep);
        shown.push_back(GxTextureGetRaster(material->texture));
    }
    // Frames 1, 2, 0, then 1 again: three different pictures, none the texture's own.
    EXPECT_NE(shown[0], own);
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_NE(shown[1], shown[2]);
    EXPECT_NE(shown[0], shown[2]);
    EXPECT_NE(shown[2], own);
    EXPECT_EQ(shown[3], shown[0]);
}

}  // namespace
