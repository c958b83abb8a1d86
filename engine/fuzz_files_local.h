// Fuzz-target support: the graphics core with a Win32 file system, and one scratch file per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "gfx/core/engine_testing.h"

inline bool FerroxFuzzFilesStart()
{
    return GxEngineInit(nullptr, 0, 0x400000) && GxTestFileSystemOpen();
}

// A path in the temporary folder that no other process of the same target uses.
inline std::string FerroxFuzzPath(const char* stem)
{
    static int marker = 0;
    char unique[32];
    std::snprintf(unique, sizeof(unique), "%p", static_cast<void*>(&marker));
    return (std::filesystem::temp_directory_path() / (std::string(stem) + "_" + unique)).string();
}

inline void FerroxFuzzWrite(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
