// Fuzz target: images dictionary chunks (textures stored as images, rasters built on the software device), in the
// record and the chunk layout; a dictionary read writes back as native textures and reads again.
#include <cstdlib>
#include <vector>

#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/fuzz_d3d9_local.h"

namespace {

GxTexDictionary* ReadNative(std::vector<GxUInt8> bytes)
{
    GxTestReadStream in(std::move(bytes), gxID_TEXDICTIONARY);
    return in.Get() != nullptr ? GxTexDictionaryStreamRead(in.Get()) : nullptr;
}

void WriteBack(const GxTexDictionary* dictionary)
{
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out == nullptr) {
        std::abort();
    }
    const bool written = GxTexDictionaryStreamWrite(dictionary, out) != nullptr;
    std::vector<GxUInt8> bytes = GxTestCloseWriteStream(out);
    if (!written) {
        return;
    }
    GxTexDictionary* again = ReadNative(std::move(bytes));
    if (again == nullptr || GxTexDictionaryGetNumTextures(again) != GxTexDictionaryGetNumTextures(dictionary)) {
        std::abort();
    }
    GxTexDictionaryDestroy(again);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxD3D9FuzzStart()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxTestReadStream in(std::vector<GxUInt8>(data, data + size), gxID_IMAGEDICTIONARY);
    if (in.Get() != nullptr) {
        if (GxTexDictionary* dictionary = GxTexDictionaryStreamReadImages(in.Get())) {
            WriteBack(dictionary);
            GxTexDictionaryDestroy(dictionary);
        }
    }
    GxD3D9FuzzClearError();
    return 0;
}
