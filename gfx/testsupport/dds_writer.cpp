// DDS files from system-memory images, for the content tools.
#include "gfx/testsupport/dds_writer.h"

#include "gfx/core/filesys.h"
#include "gfx/core/filesys_testing.h"
#include "gfx/core/image.h"

bool ContentDdsWriteImage(const char* path, const GxImage* image, int code)
{
    if (path == nullptr || image == nullptr || image->depth != 32 || image->pixels == nullptr || image->width <= 0 ||
        image->height <= 0) {
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(image->width) * 4;
    std::vector<uint8_t> rgba(rowBytes * static_cast<size_t>(image->height));
    for (int y = 0; y < image->height; y++) {
        std::memcpy(&rgba[y * rowBytes], image->pixels + static_cast<size_t>(y) * image->stride, rowBytes);
    }
    if (code != 0 && code != 1 && code != 3 && code != 5) {
        return false;
    }
    const ContentDds dds = ContentDdsFromRgba(code, image->width, image->height, rgba.data());
    const std::vector<uint8_t> bytes = ContentDdsBytes(dds);
    // Written beside its final name and renamed over it once every byte is down.
    return GxFileWriteReplacing(path, bytes.data(), static_cast<GxUInt32>(bytes.size())) != 0;
}
