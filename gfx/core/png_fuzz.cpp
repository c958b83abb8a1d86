// Fuzz target: PNG files through the image reader, alone and with a mask; an image read is written back as a BMP
// file that must read again with the same size.
// Fuzz inputs up to 262144 bytes.
#include "gfx/core/image_fuzz_local.h"

namespace {

GxImageFuzzFiles g_files;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_files = GxImageFuzzStart("png", GxImageReadPNG, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxImageFuzzRun(g_files, GxImageReadPNG, data, size);
    return 0;
}
