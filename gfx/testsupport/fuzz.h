// Fuzz-target support: the engine started once on the software device or with the host's files only, scratch
// files of one process for readers that take a file name, and the error record a refused input leaves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/fuzz_testing.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_fixture.h"

// Every scratch path handed out, removed when the process ends (a crash leaves them for the reader to see).
struct GxFuzzScratch {
    std::vector<std::string> paths;
    ~GxFuzzScratch()
    {
        std::error_code ignored;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);  // one may be entered
        for (const std::string& path : paths)
            std::filesystem::remove_all(path, ignored);
    }
};
inline GxFuzzScratch gxFuzzScratch;

// A path in the temporary folder that no other process uses, so parallel fuzz jobs do not share files;
// the extension picks the image format for readers that go by it.
inline std::string GxFuzzScratchPath(const char* stem, const char* extension = "")
{
    static const unsigned long long process =
        (static_cast<unsigned long long>(std::random_device()()) << 32) | std::random_device()();
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

// A scratch folder holding `bytes` as each of `names` (paths inside it, folders made as needed), entered as the
// working folder; returns its path.
inline std::string GxFuzzEnterScratchFolder(const char* stem, std::initializer_list<const char*> names,
                                            const std::vector<uint8_t>& bytes)
{
    const std::string folder = GxFuzzScratchPath(stem);
    for (const char* name : names) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        std::filesystem::create_directories(path.parent_path());
        GxFuzzScratchWrite(path.string(), bytes.data(), bytes.size());
    }
    std::filesystem::current_path(folder);
    return folder;
}

// Init, open and start on the software device with the host's files; plugins are attached by the callback between
// init and open.
inline bool GxFuzzStartOnDriver(void (*attachPlugins)() = nullptr)
{
    GxTestEngineSetup setup;
    if (attachPlugins != nullptr) {
        setup.plugins = [attachPlugins] {
            attachPlugins();
            return true;
        };
    }
    return GxTestProcessEngineStart(setup);
}

// The graphics core initialised on the recording device with the host's files, for readers of text files.
inline bool GxFuzzFilesStart()
{
    GxTestEngineSetup setup;
    setup.backend = GxTestBackend::kRecording;
    setup.start = false;
    return GxTestProcessEngineStart(setup);
}

// Clears the error record a refused input leaves behind.
inline void GxFuzzClearError(void)
{
    GxError discard;
    GxErrorGet(&discard);
}
