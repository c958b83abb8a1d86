// The graphics core run without a real device: the lifecycle requests a device with nothing to set up accepts,
// the default file system on the host's files, and frame-buffer rows saved through the core's BMP writer.
#pragma once

#include <cstddef>

#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/win32fs.h"

constexpr GxInt32 kGxTestMaxFileSystems = 2;
constexpr GxInt32 kGxTestMaxOpenFiles = 10;

// True for the requests that open, start, stop and close a device; a device with nothing to set up
// accepts these and no other.
inline bool GxTestIsLifecycleRequest(GxInt32 request)
{
    switch (request) {
    case gxDEVICESYSTEMOPEN:
    case gxDEVICESYSTEMCLOSE:
    case gxDEVICESYSTEMSTART:
    case gxDEVICESYSTEMSTOP:
    case gxDEVICESYSTEMFINALIZESTART:
    case gxDEVICESYSTEMINITIATESTOP:
        return true;
    default:
        return false;
    }
}

// Opens the file-system manager with a Win32 file system on "C:" as the default.
inline bool GxTestFileSystemOpen(void)
{
    if (!GxFileSystemManagerOpen(kGxTestMaxFileSystems)) {
        return false;
    }
    GxFileSystem* fs = GxWin32FileSystemCreate(kGxTestMaxOpenFiles, "C:", "wfs");
    if (fs == nullptr || !GxFileSystemRegister(fs)) {
        return false;
    }
    return GxFileSystemManagerSetDefault(fs) != 0;
}

// Writes rows of 32-bit blue, green, red, alpha pixels, top row first, as an opaque BMP through the core's
// image writer; the engine must be started and a default file system open.
inline bool GxTestWriteScreenshot(const char* path, const GxUInt8* pixels, GxInt32 width, GxInt32 height, size_t stride)
{
    GxImage* image = GxImageCreate(width, height, 32);
    if (!image || !GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return false;
    }
    for (GxInt32 y = 0; y < height; y++) {
        const GxUInt8* in = pixels + static_cast<size_t>(y) * stride;
        GxUInt8* out = image->pixels + static_cast<size_t>(y) * static_cast<size_t>(image->stride);
        for (GxInt32 x = 0; x < width; x++) {
            out[4 * x] = in[4 * x + 2];
            out[4 * x + 1] = in[4 * x + 1];
            out[4 * x + 2] = in[4 * x];
            out[4 * x + 3] = 0xFF;
        }
    }
    const bool saved = GxImageWriteBMP(image, path) != nullptr;
    GxImageDestroy(image);
    return saved;
}
