// Animated textures: description reading, frame names, stepping, wrapping and restoring the picture.
#include "engine/world/animtexture.h"

#include <fstream>

#include "engine/testsupport/scene.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"

namespace {

TEST(AnimIniTest, PairsAfterTheFirstSectionAndTheLastPairCounts)
{
    FerroxAnimIniReader reader;
    for (const char* line : {"frames=7\n", "[water]\n", "frames=3\n", "delay=100\n", "n=5\n", "d=40.5\n"})
        reader.Line(line);
    EXPECT_EQ(reader.FrameCount(), 5);
    EXPECT_FLOAT_EQ(reader.DelaySeconds(), 0.0405f);

    FerroxAnimIniReader hostile;
    for (const char* line : {"[x]\n", "n=99999999999999\n", "d=-4\n"})
        hostile.Line(line);
    EXPECT_EQ(hostile.FrameCount(), kFerroxAnimMaxFrames);
    EXPECT_FLOAT_EQ(hostile.DelaySeconds(), -0.004f);

    // Frame names: the base and at least two digits.
    EXPECT_EQ(FerroxAnimFrameName("base", 9), "base09");
    EXPECT_EQ(FerroxAnimFrameName("base", 100), "base100");
}

class AnimTextureTest : public FerroxSceneTest {
protected:
    void SetUp() override
    {
        FerroxSceneTest::SetUp();
        if (HasFatalFailure())
            return;
        GxRaster* raster = GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        ASSERT_NE(raster, nullptr);
        material = GxTextureCreate(raster);
        ASSERT_NE(material, nullptr);
        own = raster;
    }
    void TearDown() override
    {
        if (material)
            GxTextureDestroy(material);
        FerroxSceneTest::TearDown();
    }
    void WriteFrames(int count)
    {
        for (int i = 0; i < count; i++)
            ASSERT_TRUE(FerroxWriteTestPicture(Path(FerroxAnimFrameName("water", i) + ".bmp"),
                                               static_cast<GxUInt8>(i * 40), 0, 0));
    }
    GxTexture* material = nullptr;
    GxRaster* own = nullptr;
};

TEST_F(AnimTextureTest, StepsOneFrameACallWrapsAndRestores)
{
    WriteFrames(3);
    std::ofstream(Path("water.ini")) << "[anim]\nframes=3\ndelay=100\n";
    {
        CFerroxAnimTexture anim;
        ASSERT_EQ(anim.Load(Path("water.ini").c_str(), &material), 1);
        ASSERT_EQ(anim.GetFrameCount(), 3u);
        for (size_t i = 0; i < 3; i++)
            ASSERT_NE(anim.GetFrame(i), nullptr) << i;
        EXPECT_STREQ(anim.GetBaseName(), "water00");
        anim.Update(0.25f);
        EXPECT_EQ(anim.GetCurrentFrame(), 1u);
        EXPECT_NEAR(anim.GetElapsed(), 0.15f, 1e-5f);
        EXPECT_EQ(GxTextureGetRaster(material), GxTextureGetRaster(anim.GetFrame(1)));
        anim.Update(0.25f);
        EXPECT_EQ(anim.GetCurrentFrame(), 2u);
        EXPECT_NEAR(anim.GetElapsed(), 0.3f, 1e-5f);
        anim.Update(0.25f);
        EXPECT_EQ(anim.GetCurrentFrame(), 0u);  // after the last, the first
        anim.Update(0.0f);                      // elapsed 0.35 still carries a step
        EXPECT_EQ(anim.GetCurrentFrame(), 1u);
    }
    EXPECT_EQ(GxTextureGetRaster(material), own);
}

// A frame the reader did not find is stepped over without a picture, and a slot without a texture steps too.
TEST_F(AnimTextureTest, AFrameNotFoundKeepsThePictureShown)
{
    WriteFrames(2);
    std::ofstream(Path("water.ini")) << "[anim]\nframes=3\ndelay=100\n";
    CFerroxAnimTexture anim;
    ASSERT_EQ(anim.Load(Path("water.ini").c_str(), &material), 1);
    ASSERT_EQ(anim.GetFrameCount(), 3u);
    EXPECT_EQ(anim.GetFrame(2), nullptr);
    anim.Update(0.1f);
    anim.Update(0.1f);
    EXPECT_EQ(anim.GetCurrentFrame(), 2u);
    EXPECT_EQ(GxTextureGetRaster(material), GxTextureGetRaster(anim.GetFrame(1)));
    anim.Update(0.1f);
    EXPECT_EQ(GxTextureGetRaster(material), GxTextureGetRaster(anim.GetFrame(0)));

    GxTexture* empty = nullptr;
    CFerroxAnimTexture unplaced;
    ASSERT_EQ(unplaced.Load(Path("water.ini").c_str(), &empty), 1);
    unplaced.Update(0.1f);
    EXPECT_EQ(unplaced.GetCurrentFrame(), 1u);
    unplaced.Unload();
    EXPECT_EQ(empty, nullptr);
}

TEST_F(AnimTextureTest, MissingDescriptionOrZeroFramesNeverStep)
{
    CFerroxAnimTexture missing;
    EXPECT_EQ(missing.Load(Path("absent.ini").c_str(), &material), 1);
    EXPECT_EQ(missing.GetFrameCount(), 0u);
    missing.Update(5.0f);
    EXPECT_EQ(missing.GetElapsed(), 0.0f);
    EXPECT_EQ(GxTextureGetRaster(material), own);
    EXPECT_STREQ(missing.GetBaseName(), "");

    std::ofstream(Path("none.ini")) << "[anim]\nframes=0\ndelay=100\n";
    CFerroxAnimTexture none;
    none.Load(Path("none.ini").c_str(), &material);
    none.Update(1.0f);
    EXPECT_EQ(none.GetCurrentFrame(), 0u);
}

}  // namespace
