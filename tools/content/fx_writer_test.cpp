// Effect content: the particle pictures as the engine reads them back.
#include "tools/content/fx_writer.h"
#include "gfx/testsupport/engine_gtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/core/stream.h"
#include "gfx/fx/uvanim_testing.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"
#include "tools/content/level_writer.h"

namespace {

constexpr GxUInt32 kFxArena = 0x800000;

class FxContent : public ::testing::Test {
protected:
    void SetUp() override
    {
        GxTestEngineSetup setup = GxTestRecordingSetup(
            [] { return GxWorldPluginAttach() && GxAnimPluginAttach() && GxUVAnimPluginAttach(); });
        setup.arenaSize = kFxArena;
        setup.files = true;
        engine.emplace(setup);
        GX_ASSERT_ENGINE_STARTED(*engine);
        std::string pattern = (std::filesystem::temp_directory_path() / "fx_content_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        engine.reset();
        std::filesystem::remove_all(root);
    }

    std::optional<GxTestEngine> engine;
    std::filesystem::path root;
};

const GxUInt8* Pixel(const GxImage* image, GxInt32 x, GxInt32 y) { return image->pixels + y * image->stride + x * 4; }

// A grey picture reads as 8-bit indices into a grey palette.
GxUInt8 Grey(const GxImage* image, GxInt32 x, GxInt32 y)
{
    return image->palette[image->pixels[y * image->stride + x]].red;
}

TEST_F(FxContent, ParticlePicturesReadBackWithTheirAlphaAndMask)
{
    std::string detail;
    ASSERT_TRUE(ContentWriteParticleTextures(root.string(), &detail)) << detail;
    const std::filesystem::path dir = root / "images" / "particles";
    GxImage* fire = GxImageReadPNG((dir / "fire.png").string().c_str());
    GxImage* flies = GxImageReadPNG((dir / "flies.png").string().c_str());
    GxImage* mask = GxImageReadPNG((dir / "fliesm.png").string().c_str());
    ASSERT_TRUE(fire && flies && mask);
    ASSERT_EQ(mask->depth, 8);
    const GxInt32 side = static_cast<GxInt32>(kContentParticleSize);
    EXPECT_EQ(fire->width, side);
    // Opaque orange in the middle, nothing at the rim, and no hard edge between.
    EXPECT_GT(Pixel(fire, side / 2, side / 2)[3], 200);
    EXPECT_EQ(Pixel(fire, side / 2, side / 2)[0], 255);
    EXPECT_EQ(Pixel(fire, 0, 0)[3], 0);
    EXPECT_EQ(Pixel(fire, side / 2, 0)[3], 0);
    const GxUInt8 halfway = Pixel(fire, side / 2 + side / 4, side / 2)[3];
    EXPECT_GT(halfway, 20);
    EXPECT_LT(halfway, 200);
    // The mask covers exactly the flies, and there are some.
    GxInt32 covered = 0;
    for (GxInt32 y = 0; y < side; y++) {
        for (GxInt32 x = 0; x < side; x++) {
            const bool fly = Pixel(flies, x, y)[0] != 0;
            const bool masked = Grey(mask, x, y) != 0;
            EXPECT_EQ(fly, masked) << x << "," << y;
            covered += masked ? 1 : 0;
        }
    }
    EXPECT_GT(covered, 40);
    EXPECT_LT(covered, side * side / 4);
    for (GxImage* image : {fire, flies, mask}) {
        GxImageDestroy(image);
    }
}

}  // namespace
