// Graphics-core test support: a recording test device, counting memory functions, file and stream helpers.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gfx/core/core_local.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/headless.h"

// A headless device: handles open, close, start, stop, register, the standard functions,
// after-start and before-stop, and nothing else, so every query falls to the dispatcher.
struct GxTestDevice {
    GxDevice record;
    std::vector<GxInt32> requests;     // every request in the order it came
    GxInt32 failRequest = -1;          // this request answers 0
    GxBool rasterExtensionResult = 1;  // what the raster-extension registration returns
    void* lastOpenParams = nullptr;
    const GxMemoryFunctions* memoryFuncs = nullptr;
};

inline GxTestDevice gxTestDevice;

inline GxBool GxTestStandardFunction(void*, void*, GxInt32) { return 1; }

inline GxBool GxTestDeviceSystem(GxInt32 request, void* out, void* inOut, GxInt32 in)
{
    gxTestDevice.requests.push_back(request);
    if (request == gxTestDevice.failRequest) {
        return 0;
    }
    switch (request) {
    case gxDEVICESYSTEMOPEN:
        gxTestDevice.lastOpenParams = inOut;
        return 1;
    case gxDEVICESYSTEMREGISTER:
        *static_cast<GxDevice*>(out) = gxTestDevice.record;
        gxTestDevice.memoryFuncs = static_cast<const GxMemoryFunctions*>(inOut);
        return 1;
    case gxDEVICESYSTEMSTANDARDS: {
        auto* table = static_cast<GxStandardFunc*>(out);
        for (GxInt32 i = 0; i < in; i++) {
            table[i] = GxTestStandardFunction;
        }
        return 1;
    }
    default:
        return GxTestIsLifecycleRequest(request);
    }
}

inline GxDevice* GxTestDeviceGet(void) { return &gxTestDevice.record; }
inline GxBool GxTestDeviceRasterExtension(void) { return gxTestDevice.rasterExtensionResult; }

inline const GxDriver gxTestDriver = {GxTestDeviceGet, GxTestDeviceRasterExtension, nullptr};

// Resets the test device and installs it as the engine's driver.
inline void GxTestDeviceInstall(void)
{
    gxTestDevice.record =
        GxDevice{1.0f, GxTestDeviceSystem, 0.0f, 1.0f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
    gxTestDevice.requests.clear();
    gxTestDevice.failRequest = -1;
    gxTestDevice.rasterExtensionResult = 1;
    gxTestDevice.lastOpenParams = nullptr;
    gxTestDevice.memoryFuncs = nullptr;
    GxEngineSetDriver(&gxTestDriver);
}

// Open and start an engine that is initialised (plugins are registered in between).
inline bool GxTestEngineOpenAndStart(void)
{
    static int window = 0;
    return GxEngineOpen(&window) && GxEngineStart();
}

// Init, open and start with the test device; true when the engine is started.
inline bool GxTestEngineStart(GxUInt32 initFlags = 0, GxUInt32 arenaSize = 0x400000,
                              const GxMemoryFunctions* memFuncs = nullptr)
{
    GxTestDeviceInstall();
    return GxEngineInit(memFuncs, initFlags, arenaSize) && GxTestEngineOpenAndStart();
}

// Reads and clears the error record.
inline GxError GxTestTakeError(void)
{
    GxError error;
    GxErrorGet(&error);
    return error;
}

inline GxInt32 GxTestTakeErrorCode(void) { return GxTestTakeError().errorCode; }

// Stop, close and terminate whatever state the engine is in.
inline void GxTestEngineShutdown(void)
{
    if (GxEngineInstance->engineStatus == gxENGINESTATUSSTARTED) {
        GxEngineStop();
    }
    if (GxEngineInstance->engineStatus == gxENGINESTATUSOPENED) {
        GxEngineClose();
    }
    if (GxEngineInstance->engineStatus == gxENGINESTATUSINITED) {
        GxEngineTerm();
    }
    GxTestTakeError();
}

// What the test memory functions saw: every live block with its hint, the mallocs and frees,
// the largest request, and failures still to give.
struct GxTestMemory {
    std::map<void*, GxUInt32> live;                    // block -> hint
    std::vector<std::pair<size_t, GxUInt32>> mallocs;  // size and hint of each malloc served
    int frees = 0;                                     // blocks freed
    size_t largest = 0;                                // largest request of any kind
    int mallocFailAfter = -1;                          // mallocs left before they fail; -1 never
    int callocFailAfter = -1;                          // callocs left before they fail; -1 never
    int reallocFailures = 0;                           // reallocs left to fail
};

inline GxTestMemory gxTestMemory;

inline void* GxTestMemoryNote(void* block, size_t size, GxUInt32 hint)
{
    gxTestMemory.largest = std::max(gxTestMemory.largest, size);
    if (block != nullptr) {
        gxTestMemory.live[block] = hint;
    }
    return block;
}

inline void* GxTestMalloc(size_t size, GxUInt32 hint)
{
    if (gxTestMemory.mallocFailAfter == 0) {
        return nullptr;
    }
    if (gxTestMemory.mallocFailAfter > 0) {
        gxTestMemory.mallocFailAfter--;
    }
    gxTestMemory.mallocs.push_back({size, hint});
    return GxTestMemoryNote(std::malloc(size), size, hint);
}

inline void GxTestFree(void* block)
{
    if (block != nullptr) {
        gxTestMemory.frees++;
        gxTestMemory.live.erase(block);
    }
    std::free(block);
}

inline void* GxTestRealloc(void* block, size_t size, GxUInt32 hint)
{
    if (gxTestMemory.reallocFailures > 0) {
        gxTestMemory.reallocFailures--;
        return nullptr;
    }
    void* fresh = std::realloc(block, size);
    if (fresh != nullptr || size == 0) {
        gxTestMemory.live.erase(block);
    }
    return GxTestMemoryNote(fresh, size, hint);
}

inline void* GxTestCalloc(size_t count, size_t size, GxUInt32 hint)
{
    if (gxTestMemory.callocFailAfter == 0) {
        return nullptr;
    }
    if (gxTestMemory.callocFailAfter > 0) {
        gxTestMemory.callocFailAfter--;
    }
    return GxTestMemoryNote(std::calloc(count, size), count * size, hint);
}

inline const GxMemoryFunctions gxTestMemoryFunctions = {GxTestMalloc, GxTestFree, GxTestRealloc, GxTestCalloc};

// Forgets what the test memory functions saw; the engine must not hold blocks from them.
inline const GxMemoryFunctions* GxTestMemoryReset(void)
{
    gxTestMemory = GxTestMemory();
    return &gxTestMemoryFunctions;
}

// Live blocks whose hint, masked, equals value; all of them by default.
inline long GxTestLiveBlocks(GxUInt32 mask = 0, GxUInt32 value = 0)
{
    return std::count_if(gxTestMemory.live.begin(), gxTestMemory.live.end(),
                         [&](const std::pair<void* const, GxUInt32>& block) { return (block.second & mask) == value; });
}

inline bool GxTestSameRGBA(const GxRGBA& a, const GxRGBA& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

// Writes bytes to a host file; true when all of them were written.
inline bool GxTestStoreFile(const std::string& path, const std::vector<GxUInt8>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    return f && std::fclose(f) == 0 && ok;
}

// Closes a memory write stream and returns what it held.
inline std::vector<GxUInt8> GxTestCloseWriteStream(GxStream* stream)
{
    GxMemory memory = {nullptr, 0};
    if (!GxStreamClose(stream, &memory)) {
        return {};
    }
    std::vector<GxUInt8> bytes(memory.start, memory.start + memory.length);
    GxFree(memory.start);
    return bytes;
}

// A memory read stream over its own copy of some bytes, placed after the first header of a chunk type
// when one is given; closed when it goes out of scope.
struct GxTestReadStream {
    std::vector<GxUInt8> bytes;
    GxMemory memory = {nullptr, 0};
    GxStream* stream = nullptr;
    bool ready = false;

    explicit GxTestReadStream(std::vector<GxUInt8> data, GxUInt32 chunkType = 0) : bytes(std::move(data))
    {
        memory = {bytes.data(), static_cast<GxUInt32>(bytes.size())};
        stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        ready = stream != nullptr && (chunkType == 0 || GxStreamFindChunk(stream, chunkType, nullptr, nullptr));
    }
    ~GxTestReadStream()
    {
        if (stream != nullptr) {
            GxStreamClose(stream, nullptr);
        }
    }
    GxTestReadStream(const GxTestReadStream&) = delete;
    GxTestReadStream& operator=(const GxTestReadStream&) = delete;

    // The stream, or null when it could not be opened or the chunk was not found.
    GxStream* Get() const { return ready ? stream : nullptr; }
};
