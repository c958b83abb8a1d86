// Fuzz-target support: scratch files of one process for readers that take a file name, removed at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

// Every scratch path handed out, removed when the process ends (a crash leaves them for the reader to see).
struct GxFuzzScratch {
    std::vector<std::string> paths;
    ~GxFuzzScratch()
    {
        std::error_code ignored;
        for (const std::string& path : paths)
            std::filesystem::remove(path, ignored);
    }
};
inline GxFuzzScratch gxFuzzScratch;

// A path in the temporary folder that no other process uses, so parallel fuzz jobs do not share files;
// the extension picks the image format for readers that go by it.
inline std::string GxFuzzScratchPath(const char* stem, const char* extension = "")
{
    static const unsigned long long process = (static_cast<unsigned long long>(std::random_device()()) << 32) |
                                              std::random_device()();
    const std::string name = std::string(stem) + "_" + std::to_string(process) + extension;
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    gxFuzzScratch.paths.push_back(path);
    return path;
}

inline void GxFuzzScratchWrite(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
