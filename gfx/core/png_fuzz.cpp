// Fuzz target: PNG files through the image reader, alone and with a mask; an image read is written back as a BMP
// file that must read again with the same size.
#include <cstdlib>
#include <string>

#include "gfx/core/engine_testing.h"
#include "gfx/core/fuzz_local.h"
#include "gfx/core/image.h"

namespace {

std::string g_input;
std::string g_output;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxTestEngineStart() || !GxTestFileSystemOpen() ||
        !GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr)) {
        std::abort();
    }
    g_input = GxFuzzScratchPath("gx_png_in", ".png");
    g_output = GxFuzzScratchPath("gx_png_out", ".bmp");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    GxImage* image = GxImageReadPNG(g_input.c_str());
    if (image != nullptr) {
        if (GxImageWriteBMP(image, g_output.c_str()) != nullptr) {
            GxImage* again = GxImageReadBMP(g_output.c_str());
            if (again == nullptr || again->width != image->width || again->height != image->height) {
                std::abort();
            }
            GxImageDestroy(again);
        }
        GxImageDestroy(image);
    }
    // The file as its own mask: the masked read applies one image's values to the other.
    if (GxImage* masked = GxImageReadMaskedImage(g_input.c_str(), g_input.c_str())) {
        GxImageDestroy(masked);
    }
    GxTestTakeError();
    return 0;
}
