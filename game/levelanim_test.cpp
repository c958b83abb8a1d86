// Animated textures of the mall's objects: a level installs the maker, and a description of three frames at
// 250 ms steps one frame per 250 ms update of the object manager, wrapping round.
#include "game/levelanim.h"

#include <filesystem>
#include <fstream>

#include "engine/scene_testing_local.h"
#include "game/levelmanager.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/material.h"

namespace {

constexpr float kStep = 0.25f;
constexpr int kFrames = 3;

class LevelAnim : public FerroxSceneTest {
protected:
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        CDynamicObjectManager::SetAnimTextureMaker(nullptr);
        if (material)
            GxMaterialDestroy(material);
        FerroxSceneTest::TearDown();
    }

    GxMaterial* material = nullptr;
};

TEST_F(LevelAnim, ThreeFramesAtAQuarterSecondStepOneFramePerUpdate)
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

    // Making a level installs the maker, whether or not its file is there.
    CLevelManager level;
    level.CreateWorld();
    CDynamicObjectManager* objects = CDynamicObjectManager::Instance();
    objects->CreateAnimTexturesFor(Path("pool.gxs"), {material});
    ASSERT_EQ(objects->GetAnimTextures().size(), 1u);
    const auto* anim = dynamic_cast<const CLevelAnimTexture*>(objects->GetAnimTextures().front().animation);
    ASSERT_NE(anim, nullptr);
    ASSERT_EQ(anim->GetTexture().GetFrameCount(), static_cast<size_t>(kFrames));
    for (int step = 1; step <= 2 * kFrames; step++) {
        objects->Update(kStep);
        const GxTexture* frame = anim->GetTexture().GetFrame(static_cast<size_t>(step % kFrames));
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(GxTextureGetRaster(material->texture), GxTextureGetRaster(const_cast<GxTexture*>(frame))) << step;
    }
    level.UnloadLevel();
}

}  // namespace
