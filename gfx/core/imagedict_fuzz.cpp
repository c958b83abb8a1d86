// Fuzz target: images dictionary chunks (textures stored as images, rasters built on the software device), in the
// record and the chunk layout; a dictionary read writes back as native textures and reads again.
#include <cstdlib>
#include <vector>

#include "gfx/core/texdict_fuzz_local.h"
#include "gfx/testsupport/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxTestReadStream in(std::vector<GxUInt8>(data, data + size), gxID_IMAGEDICTIONARY);
    if (in.Get() != nullptr) {
        if (GxTexDictionary* dictionary = GxTexDictionaryStreamReadImages(in.Get())) {
            GxTexDictionaryFuzzWriteBack(dictionary);
            GxTexDictionaryDestroy(dictionary);
        }
    }
    GxFuzzClearError();
    return 0;
}
