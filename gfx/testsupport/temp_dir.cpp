// Scratch folders that remove themselves.
#include "gfx/testsupport/temp_dir.h"

#include <algorithm>
#include <random>
#include <system_error>

#include "gfx/core/filesys.h"

std::string GxTestRunTag()
{
    std::random_device entropy;
    return std::to_string(entropy()) + std::to_string(entropy());
}

std::vector<std::string> GxTestTemporariesIn(const std::filesystem::path& folder, const std::string& target)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        const size_t length = GxFileTemporaryTargetLength(name.c_str());
        if (length != 0 && (target.empty() || (length == target.size() && name.compare(0, length, target) == 0)))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
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
