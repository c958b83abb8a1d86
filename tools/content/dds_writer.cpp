// DDS files from system-memory images, for the content tools.
#include "tools/content/dds_writer.h"

#include <cstdio>

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
    ContentDds dds;
    dds.width = static_cast<uint32_t>(image->width);
    dds.height = static_cast<uint32_t>(image->height);
    if (code == 1 || code == 3 || code == 5) {
        ContentDdsSetFourCC(&dds, ContentFourCC('D', 'X', 'T', static_cast<char>('0' + code)));
        dds.data = ContentDxtEncode(code, image->width, image->height, rgba.data());
        dds.flags |= 0x80000;
        dds.pitch = static_cast<uint32_t>(dds.data.size());
    } else if (code == 0) {
        ContentDdsSetMasks(&dds, 0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
        dds.flags |= 0x8;
        dds.pitch = static_cast<uint32_t>(rowBytes);
        dds.data.resize(rgba.size());
        for (size_t i = 0; i < rgba.size(); i += 4) {
            dds.data[i] = rgba[i + 2];
            dds.data[i + 1] = rgba[i + 1];
            dds.data[i + 2] = rgba[i];
            dds.data[i + 3] = rgba[i + 3];
        }
    } else {
        return false;
    }
    const std::vector<uint8_t> bytes = ContentDdsBytes(dds);
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
