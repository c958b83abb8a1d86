// The file fixture: the engine and a scratch folder per test.
#include "engine/testsupport/files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

void FerroxTestFiles::SetUp()
{
    // Named for the test and made unique per run: other runs of the suite may share the machine's temp folder.
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::make_unique<GxTestTempDir>(std::string("ferrox_") + info->test_suite_name() + "_" + info->name());
    engine.emplace(engineSetup);
    GX_ASSERT_ENGINE_STARTED(*engine);
}

void FerroxTestFiles::TearDown()
{
    engine.reset();
    m_dir.reset();
}

bool FerroxTestFiles::Exists(const std::string& path) { return std::filesystem::exists(path); }

void FerroxTestFiles::WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string FerroxTestFiles::ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
