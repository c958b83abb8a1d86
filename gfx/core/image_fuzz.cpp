// Fuzz target: image chunk bodies, unsized and sized by their enclosing chunk; an image read is corrected, resampled
// and written back as a BMP file that must read again.
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/fuzz.h"

namespace {

std::string g_output;

// Resampling to half size and back touches every pixel of a 32-bit image.
void Resample(const GxImage* image)
{
    if (image->depth != 32) {
        return;
    }
    GxImage* half = GxImageCreateResample(image, image->width / 2 + 1, image->height / 2 + 1);
    if (half != nullptr) {
        GxImageDestroy(half);
    }
}

// Only an image within the sizes the file readers declare must read back.
bool ReadableAsFile(const GxImage* image)
{
    return image->width <= gxIMAGEFILEMAXSIDE && image->height <= gxIMAGEFILEMAXSIDE &&
           GxImageFileSizeAllowed(image->width, image->height, 1);
}

void WriteBack(GxImage* image)
{
    if (GxImageWriteBMP(image, g_output.c_str()) == nullptr || !ReadableAsFile(image)) {
        return;
    }
    GxImage* again = GxImageReadBMP(g_output.c_str());
    if (again == nullptr || again->width != image->width || again->height != image->height) {
        std::abort();
    }
    GxImageDestroy(again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxTestEngineStart() || !GxTestFileSystemOpen()) {
        std::abort();
    }
    g_output = GxFuzzScratchPath("gx_image_out", ".bmp");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<GxUInt8> bytes(data, data + size);
    {
        GxTestReadStream in(bytes);
        if (GxImage* image = GxImageStreamRead(in.Get())) {
            GxImageGammaCorrect(image);
            Resample(image);
            WriteBack(image);
            GxImageDestroy(image);
        }
    }
    {
        GxTestReadStream in(bytes);
        if (GxImage* image = GxImageStreamReadSized(in.Get(), static_cast<GxUInt32>(size))) {
            GxImageDestroy(image);
        }
    }
    GxTestTakeError();
    return 0;
}
