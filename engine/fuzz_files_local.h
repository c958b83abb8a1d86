// Fuzz-target support: the graphics core with a Win32 file system, and scratch files of one process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx/core/engine_testing.h"
#include "gfx/core/fuzz_local.h"

inline bool FerroxFuzzFilesStart()
{
    return GxEngineInit(nullptr, 0, 0x400000) && GxTestFileSystemOpen();
}

// A path in the temporary folder that no other process of the same target uses.
inline std::string FerroxFuzzPath(const char* stem)
{
    return GxFuzzScratchPath(stem);
}

inline void FerroxFuzzWrite(const std::string& path, const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(path, data, size);
}
