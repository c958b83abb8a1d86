// Scratch folders of one test or run, named so that runs side by side on one machine never share one, and
// removed with everything in them when they go.
#pragma once

#include <filesystem>
#include <string>

// Digits unique to this run.
std::string GxTestRunTag();

class GxTestTempDir {
public:
    // A fresh, empty folder in the temporary folder whose name starts with `stem`.
    explicit GxTestTempDir(const std::string& stem);
    ~GxTestTempDir();
    GxTestTempDir(const GxTestTempDir&) = delete;
    GxTestTempDir& operator=(const GxTestTempDir&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    // `name` inside the folder.
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

private:
    std::filesystem::path m_dir;
};
