// Test fixture: the engine on the software device with the plugins a level needs (worlds and sectors, user data,
// splines, clump extension, level of detail, particles), the host's files, BMP pictures and a scratch folder.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/testsupport/files.h"
#include "engine/world/clumpext.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/plugins.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

// A square picture of one colour written as a BMP (the BMP format registered); false when it was not written.
inline bool FerroxWriteTestPicture(const std::string& path, GxUInt8 red, GxUInt8 green, GxUInt8 blue)
{
    constexpr GxInt32 kSide = 4;
    GxImage* image = GxImageCreate(kSide, kSide, 32);
    if (!image || !GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return false;
    }
    for (GxInt32 y = 0; y < kSide; y++) {
        for (GxInt32 x = 0; x < kSide; x++) {
            GxUInt8* p = image->pixels + y * image->stride + x * 4;
            p[0] = red, p[1] = green, p[2] = blue, p[3] = 255;
        }
    }
    const bool ok = GxImageWriteBMP(image, path.c_str()) != nullptr;
    GxImageDestroy(image);
    return ok;
}

class FerroxSceneTest : public GxD3D9SoftwareTest {
protected:
    FerroxSceneTest() : GxD3D9SoftwareTest(64, 64) {}
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxLODAtomicPluginAttach());
        ASSERT_TRUE(GxWorldPluginAttach());
        ASSERT_TRUE(GxTestSectorPluginAttach());
        ASSERT_TRUE(GxUserDataPluginAttach());
        ASSERT_TRUE(GxSplinePluginAttach());
        ASSERT_TRUE(AttachClumpExtension());
        ASSERT_TRUE(GxAnimPluginAttach());
        ASSERT_TRUE(GxUVAnimPluginAttach());
        ASSERT_TRUE(GxParticleTankPluginAttach());
        ASSERT_TRUE(GxParticlePluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (std::string("ferrox_") + info->test_suite_name() + "_" + info->name() + "_" + FerroxTestRunTag());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        GxImageSetPath("");
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Dir() const { return m_dir.string() + "/"; }

private:
    std::filesystem::path m_dir;
};
