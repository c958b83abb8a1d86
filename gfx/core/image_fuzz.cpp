// Fuzz target: image chunks, images dictionaries and tables of contents read from arbitrary bytes.
// The first byte picks the reader; the rest is its stream.
#include <cstdlib>

#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"

namespace {

enum Reader { kImageChunk, kImagesDictionary, kTableOfContents, kReaderCount };

bool Start()
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(nullptr, 0, 0x400000) && GxEngineOpen(&window) && GxEngineStart();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!Start()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    GxMemory memory = {const_cast<GxUInt8*>(data + 1), static_cast<GxUInt32>(size - 1)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (stream == nullptr) {
        return 0;
    }
    switch (data[0] % kReaderCount) {
    case kImageChunk:
        GxImageDestroy(GxImageStreamRead(stream));
        break;
    case kImagesDictionary:
        if (GxTexDictionary* dictionary = GxTexDictionaryStreamReadImages(stream)) {
            GxTexDictionaryDestroy(dictionary);
        }
        break;
    default:
        GxTOCDestroy(GxTOCStreamRead(stream));
        break;
    }
    GxStreamClose(stream, nullptr);
    GxError discard;
    GxErrorGet(&discard);
    return 0;
}
