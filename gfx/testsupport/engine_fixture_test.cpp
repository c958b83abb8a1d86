// The engine fixture: it brings up what it is asked for, a failed start leaves nothing open, and it takes down
// all it started, so the next fixture starts afresh; scratch folders go with their contents.
#include "gfx/testsupport/engine_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gfx/core/filesys.h"
#include "gfx/testsupport/temp_dir.h"

namespace {

GxInt32 EngineStatus() { return GxEngineInstance->engineStatus; }

TEST(EngineFixture, StartsWhatItIsAskedForAndTakesAllOfItDown)
{
    for (int round = 0; round < 2; round++) {
        {
            GxTestEngineSetup setup;
            setup.images = kGxTestImagesPng | kGxTestImagesBmp;
            GxTestEngine engine(setup);
            ASSERT_TRUE(engine.Ok()) << engine.Failure();
            EXPECT_EQ(EngineStatus(), gxENGINESTATUSSTARTED);
            EXPECT_NE(engine.Window(), nullptr);
            EXPECT_NE(GxFileSystemManagerGetDefault(), nullptr);
            EXPECT_NE(std::getenv("MALL_D3D9_BACKEND"), nullptr);
        }
        EXPECT_EQ(EngineStatus(), gxENGINESTATUSIDLE);
        EXPECT_EQ(GxFileSystemManagerGetDefault(), nullptr);
        // Later tests pick their own back end.
        EXPECT_EQ(std::getenv("MALL_D3D9_BACKEND"), nullptr);
    }
}

TEST(EngineFixture, WithoutStartTheEngineStaysInitialisedWithItsFiles)
{
    GxTestEngineSetup setup = GxTestRecordingSetup();
    setup.start = false;
    setup.files = true;
    {
        GxTestEngine engine(setup);
        ASSERT_TRUE(engine.Ok()) << engine.Failure();
        EXPECT_EQ(EngineStatus(), gxENGINESTATUSINITED);
        EXPECT_EQ(engine.Window(), nullptr);
        EXPECT_NE(GxFileSystemManagerGetDefault(), nullptr);
    }
    EXPECT_EQ(EngineStatus(), gxENGINESTATUSIDLE);
}

TEST(EngineFixture, AFailedStartSaysWhyAndLeavesNothingOpen)
{
    GxTestEngineSetup setup;
    setup.plugins = [] { return false; };
    GxTestEngine engine(setup);
    EXPECT_FALSE(engine.Ok());
    EXPECT_NE(engine.Failure().find("plugin"), std::string::npos) << engine.Failure();
    EXPECT_FALSE(engine.GLMissing());
    // Down before the fixture goes, so a test that stops at the failure leaves a clean engine.
    EXPECT_EQ(EngineStatus(), gxENGINESTATUSIDLE);
    EXPECT_EQ(engine.Window(), nullptr);
    GxTestEngine again;
    EXPECT_TRUE(again.Ok()) << again.Failure();
}

TEST(TempDir, IsFreshPerFixtureAndGoesWithItsContents)
{
    std::filesystem::path kept;
    {
        GxTestTempDir first("gx_tempdir");
        GxTestTempDir second("gx_tempdir");
        EXPECT_NE(first.Dir(), second.Dir());
        ASSERT_TRUE(std::filesystem::is_directory(first.Dir()));
        std::filesystem::create_directories(first.Dir() / "sub");
        std::ofstream(first.Path("sub/file.txt")) << "bytes";
        kept = first.Dir();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
