// Test fixture: the graphics core with a Win32 file system as default, and a scratch folder per test.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "gfx/core/engine_testing.h"
#include "platform/win32/winbase.h"

// Writes of the Win32 stand-in fail after the given number of successes while this lives.
struct FerroxFailWritesAfter {
    explicit FerroxFailWritesAfter(LONG successes) { StandInFailWritesAfter(successes); }
    ~FerroxFailWritesAfter() { StandInFailWritesAfter(-1); }
    FerroxFailWritesAfter(const FerroxFailWritesAfter&) = delete;
    FerroxFailWritesAfter& operator=(const FerroxFailWritesAfter&) = delete;
};

// A tag unique to this run, so that test runs side by side on one machine never share a scratch path.
inline std::string FerroxTestRunTag()
{
    std::random_device entropy;
    return std::to_string(entropy()) + std::to_string(entropy());
}

class FerroxTestFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
        ASSERT_TRUE(GxTestFileSystemOpen());
        // Named for the test and made unique per run: other runs of the suite may share the machine's temp folder.
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string tag = FerroxTestRunTag();
        m_dir = std::filesystem::temp_directory_path()
            / (std::string("ferrox_") + info->test_suite_name() + "_" + info->name() + "_" + tag);
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
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    static void WriteFile(const std::string& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

private:
    std::filesystem::path m_dir;
};
