// Fuzz target: string chunks (plain and wide) into fixed and allocated buffers, and name records; what is read
// writes back and reads the same.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"

namespace {

// Bytes of the fixed buffer: small enough that the fuzzer reaches the refusal of longer strings.
constexpr GxUInt32 kFixedBuffer = 16;

// A string read back from its own string chunk must come out the same.
void RoundTrip(const GxChar* text)
{
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out == nullptr || GxStringStreamWrite(text, out) == nullptr) {
        std::abort();
    }
    std::vector<GxUInt8> bytes = GxTestCloseWriteStream(out);
    if (bytes.size() != gxCHUNKHEADERSIZE + GxStringStreamGetSize(text)) {
        std::abort();
    }
    GxTestReadStream in(std::move(bytes));
    GxChar* again = GxStringStreamRead(nullptr, in.Get(), 0);
    if (again == nullptr || std::strcmp(again, text) != 0) {
        std::abort();
    }
    GxFree(again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxTestEngineStart()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<GxUInt8> bytes(data, data + size);
    {
        GxTestReadStream in(bytes);
        while (GxChar* text = GxStringStreamRead(nullptr, in.Get(), 0)) {
            RoundTrip(text);
            GxFree(text);
        }
    }
    {
        GxTestReadStream in(bytes);
        GxChar buffer[kFixedBuffer];
        while (GxStringStreamRead(buffer, in.Get(), sizeof(buffer)) != nullptr) {
            if (std::memchr(buffer, '\0', sizeof(buffer)) == nullptr) {
                std::abort();
            }
            RoundTrip(buffer);
        }
    }
    {
        GxTestReadStream in(bytes);
        while (GxNameRecord* record = GxNameRecordStreamRead(in.Get())) {
            if (std::memchr(record->name, '\0', sizeof(record->name)) == nullptr) {
                std::abort();
            }
            RoundTrip(record->name);
            GxNameRecordDestroy(record);
        }
    }
    GxTestTakeError();
    return 0;
}
