// Fuzz-target support of the image readers: one format's reader fed a scratch file, alone and with a mask,
// and every image read written back as a BMP file that must read again with the same size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/fuzz.h"

struct GxImageFuzzFiles {
    std::string input;
    std::string output;
};

// Starts the engine with a file system and registers the format under test; a target that can not start aborts.
inline GxImageFuzzFiles GxImageFuzzStart(const char* format, GxImageCallBackRead readCB, GxImageCallBackWrite writeCB)
{
    if (!GxTestEngineStart() || !GxTestFileSystemOpen() || !GxImageRegisterImageFormat(format, readCB, writeCB)) {
        std::abort();
    }
    const std::string extension = std::string(".") + format;
    const std::string stem = std::string("gx_") + format;
    GxImageFuzzFiles files;
    files.input = GxFuzzScratchPath((stem + "_in").c_str(), extension.c_str());
    files.output = GxFuzzScratchPath((stem + "_out").c_str(), ".bmp");
    return files;
}

inline void GxImageFuzzRun(const GxImageFuzzFiles& files, GxImageCallBackRead read, const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(files.input, data, size);
    GxImage* image = read(files.input.c_str());
    // A reader judges the memory a file asks for before it decodes: no picture past the limit is ever made.
    if (image != nullptr && !GxImageFileSizeAllowed(image->width, image->height, 1)) {
        std::abort();
    }
    if (image != nullptr) {
        if (GxImageWriteBMP(image, files.output.c_str()) != nullptr) {
            GxImage* again = GxImageReadBMP(files.output.c_str());
            if (again == nullptr || again->width != image->width || again->height != image->height) {
                std::abort();
            }
            GxImageDestroy(again);
        }
        GxImageDestroy(image);
    }
    // The file as its own mask: the masked read applies one image's values to the other.
    if (GxImage* masked = GxImageReadMaskedImage(files.input.c_str(), files.input.c_str())) {
        GxImageDestroy(masked);
    }
    GxTestTakeError();
}
