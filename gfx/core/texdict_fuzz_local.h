// Fuzz-target support of the texture dictionary readers: a dictionary read writes back as native textures, as
// many bytes as it reckons, and reads again with as many textures.
#pragma once

#include <cstdlib>
#include <utility>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"
#include "gfx/core/texdict_testing.h"
#include "gfx/core/texture.h"

// The texture dictionary chunk at the start of `bytes`, or null.
inline GxTexDictionary* GxTexDictionaryFuzzRead(std::vector<GxUInt8> bytes)
{
    GxTestReadStream in(std::move(bytes), gxID_TEXDICTIONARY);
    return in.Get() != nullptr ? GxTexDictionaryStreamRead(in.Get()) : nullptr;
}

inline void GxTexDictionaryFuzzWriteBack(const GxTexDictionary* dictionary)
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
    if (bytes.size() != gxCHUNKHEADERSIZE + GxTexDictionaryStreamGetSize(dictionary)) {
        std::abort();
    }
    GxTexDictionary* again = GxTexDictionaryFuzzRead(std::move(bytes));
    if (again == nullptr || GxTexDictionaryGetNumTextures(again) != GxTexDictionaryGetNumTextures(dictionary)) {
        std::abort();
    }
    GxTexDictionaryDestroy(again);
}
