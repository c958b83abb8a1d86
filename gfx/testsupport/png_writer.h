// PNG writer for authored content and test fixtures: any colour type, bit depth and interlacing, through libpng.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

#include "gfx/core/filesys.h"
#include "gfx/core/filesys_testing.h"

// Samples as PNG stores them: each row packed at the file's bit depth, 16-bit samples big-endian.
struct ContentPngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> rows;          // height rows of ContentPngRowBytes() bytes
    std::vector<png_color> palette;     // colour type 3
    std::vector<uint8_t> paletteAlpha;  // tRNS of a palette image
    bool hasKey = false;                // tRNS of a grey or RGB image
    png_color_16 key = {};
};

inline size_t ContentPngChannels(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

inline size_t ContentPngRowBytes(const ContentPngImage& image)
{
    return (image.width * ContentPngChannels(image.colourType) * static_cast<size_t>(image.bitDepth) + 7) / 8;
}

namespace content_png_detail {

inline void WriteToVector(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

inline void Flush(png_structp) {}

// Fills `out`; false when libpng refuses the image.
inline bool Encode(const ContentPngImage& image, std::vector<uint8_t>* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(image.height);
    if (!info || image.rows.size() < ContentPngRowBytes(image) * image.height) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, WriteToVector, Flush);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty()) {
        png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
    }
    if (!image.paletteAlpha.empty()) {
        png_set_tRNS(png, info, image.paletteAlpha.data(), static_cast<int>(image.paletteAlpha.size()), nullptr);
    } else if (image.hasKey) {
        png_set_tRNS(png, info, nullptr, 0, &image.key);
    }
    const size_t rowBytes = ContentPngRowBytes(image);
    for (uint32_t y = 0; y < image.height; ++y) {
        rows[y] = const_cast<png_bytep>(image.rows.data() + y * rowBytes);
    }
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace content_png_detail

// The PNG file's bytes, or an empty vector when the image is inconsistent.
inline std::vector<uint8_t> ContentPngEncode(const ContentPngImage& image)
{
    std::vector<uint8_t> bytes;
    if (!content_png_detail::Encode(image, &bytes)) {
        bytes.clear();
    }
    return bytes;
}

// Written beside its final name and renamed over it once every byte is down; the file functions
// must be open.
inline bool ContentWritePng(const char* path, const ContentPngImage& image)
{
    const std::vector<uint8_t> bytes = ContentPngEncode(image);
    return !bytes.empty() && GxFileWriteReplacing(path, bytes.data(), static_cast<GxUInt32>(bytes.size())) != 0;
}
