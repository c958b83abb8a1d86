// Scratch folders of one test or run, named so that runs side by side on one machine never share one, and
// removed with everything in them when they go.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Digits unique to this run.
std::string GxTestRunTag();
// The names in `folder` that replacements write to before they rename (GxFileOpenTemporary), sorted: what a write
// that failed or was cut off left behind. With a target name, only the temporaries of that file.
std::vector<std::string> GxTestTemporariesIn(const std::filesystem::path& folder, const std::string& target = "");

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
