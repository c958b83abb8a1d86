// Fuzz target: chunk headers walked and searched on memory and file streams; headers written back read the same.
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/fuzz.h"

namespace {

std::string g_input;

// The chunk type the search looks for: the input's first byte, so the fuzzer steers hits and misses.
GxUInt32 WantedType(const uint8_t* data, size_t size) { return size > 0 ? data[0] : gxID_STRUCT; }

// Walks the top-level chunks, writing each header back and reading it again.
void WalkChunks(GxStream* stream)
{
    GxChunkHeaderInfo info;
    while (GxStreamReadChunkHeaderInfo(stream, &info) != nullptr) {
        GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
        if (out == nullptr || !GxStreamWriteChunkHeader(out, info.type, info.length, info.version, info.buildNum)) {
            std::abort();
        }
        GxTestReadStream again(GxTestCloseWriteStream(out));
        GxUInt32 type = 0;
        GxUInt32 length = 0;
        if (!GxStreamReadChunkHeader(again.Get(), &type, &length, nullptr, nullptr) || type != info.type ||
            length != info.length) {
            std::abort();
        }
        if (GxStreamSkip(stream, info.length) == nullptr) {
            return;
        }
    }
}

void Search(GxStream* stream, GxUInt32 type)
{
    GxUInt32 length = 0;
    GxUInt32 version = 0;
    while (GxStreamFindChunk(stream, type, &length, &version)) {
        if (GxStreamSkip(stream, length) == nullptr) {
            return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxTestEngineStart() || !GxTestFileSystemOpen()) {
        std::abort();
    }
    g_input = GxFuzzScratchPath("gx_chunk_in");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<GxUInt8> bytes(data, data + size);
    {
        GxTestReadStream memory(bytes);
        if (memory.Get() != nullptr) {
            WalkChunks(memory.Get());
        }
    }
    {
        GxTestReadStream memory(bytes);
        if (memory.Get() != nullptr) {
            Search(memory.Get(), WantedType(data, size));
        }
    }
    GxFuzzScratchWrite(g_input, data, size);
    GxStream* file = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, g_input.c_str());
    if (file != nullptr) {
        Search(file, WantedType(data, size));
        GxStreamClose(file, nullptr);
    }
    GxTestTakeError();
    return 0;
}
