// Fuzz target: texture dictionary chunks of native textures on the software device, and tables of contents;
// a dictionary read writes back and reads again with as many textures.
#include <cstdlib>
#include <vector>

#include "gfx/core/texdict_fuzz_local.h"
#include "gfx/testsupport/fuzz.h"

namespace {

constexpr GxUInt32 kFuzzPluginID = 0x7F04;
constexpr GxInt32 kExtensionBytes = 4;

void* Construct(void* object, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}

GxStream* Read(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    return length == kExtensionBytes ? GxStreamReadInt32(stream, static_cast<char*>(object) + offset, kExtensionBytes)
                                     : nullptr;
}

GxStream* Write(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    return GxStreamWriteInt32(stream, static_cast<const char*>(object) + offset, kExtensionBytes);
}

// Only textures whose value was read carry the chunk, so both paths are written.
GxInt32 Size(const void* object, GxInt32 offset, GxInt32)
{
    return *reinterpret_cast<const GxUInt32*>(static_cast<const char*>(object) + offset) != 0 ? kExtensionBytes : 0;
}

void AttachPlugins()
{
    if (GxTextureRegisterPlugin(kExtensionBytes, kFuzzPluginID, Construct, nullptr, nullptr) < 0 ||
        GxTextureRegisterPluginStream(kFuzzPluginID, Read, Write, Size) < 0) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachPlugins)) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<GxUInt8> bytes(data, data + size);
    if (GxTexDictionary* dictionary = GxTexDictionaryFuzzRead(bytes)) {
        GxTexDictionaryFindNamedTexture(dictionary, "opaque");
        GxTexDictionaryFuzzWriteBack(dictionary);
        GxTexDictionaryDestroy(dictionary);
    }
    {
        GxTestReadStream in(bytes, gxID_TOC);
        if (GxTOC* toc = in.Get() != nullptr ? GxTOCStreamRead(in.Get()) : nullptr) {
            // Every entry the count names lies inside the table.
            volatile GxUInt32 offsets = 0;
            for (GxInt32 i = 0; i < toc->numEntries; i++) {
                offsets = offsets + GxTOCGetEntry(toc, i)->offset;
            }
            GxFree(toc);
        }
    }
    GxFuzzClearError();
    return 0;
}
