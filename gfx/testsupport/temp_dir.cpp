// Scratch folders that remove themselves.
#include "gfx/testsupport/temp_dir.h"

#include <random>
#include <system_error>

std::string GxTestRunTag()
{
    std::random_device entropy;
    return std::to_string(entropy()) + std::to_string(entropy());
}

GxTestTempDir::GxTestTempDir(const std::string& stem)
    : m_dir(std::filesystem::temp_directory_path() / (stem + "_" + GxTestRunTag()))
{
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
    std::filesystem::create_directories(m_dir, ignored);
}

GxTestTempDir::~GxTestTempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}
