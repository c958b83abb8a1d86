// Fuzz target: PNG and BMP files read from arbitrary bytes; the first byte picks the format. The
// readers take file names, so each input is stored in a file first.
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"

namespace {

const std::string kFile = "png_fuzz_input.bin";

bool Start()
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(nullptr, 0, 0x400000) && GxEngineOpen(&window) && GxEngineStart() &&
           GxTestFileSystemOpen();
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
    if (size < 1 || !GxTestStoreFile(kFile, std::vector<GxUInt8>(data + 1, data + size))) {
        return 0;
    }
    GxImage* image = (data[0] & 1) ? GxImageReadBMP(kFile.c_str()) : GxImageReadPNG(kFile.c_str());
    GxImageDestroy(image);
    GxError discard;
    GxErrorGet(&discard);
    return 0;
}
