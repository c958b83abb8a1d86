// Test fixture: a started graphics core with the spline plugin, a default file system and a scratch folder.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/spline.h"
#include "gfx/core/win32fs.h"

class FerroxGraphicsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int window = 0;
        GxTestDeviceInstall();
        ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
        ASSERT_TRUE(GxFileSystemManagerOpen(2));
        GxFileSystem* fs = GxWin32FileSystemCreate(10, "C:", "wfs");
        ASSERT_NE(nullptr, fs);
        ASSERT_TRUE(GxFileSystemRegister(fs));
        GxFileSystemManagerSetDefault(fs);
        ASSERT_TRUE(GxSplinePluginAttach());
        ASSERT_TRUE(GxEngineOpen(&window));
        ASSERT_TRUE(GxEngineStart());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (std::string("ferrox_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        GxTestEngineShutdown();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

private:
    std::filesystem::path m_dir;
};
