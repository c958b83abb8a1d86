// Writer of image chunks (0x18).
#include "tools/content/image_writer.h"

#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kStructSize = 16;

GxUInt32 PaletteBytes(const GxImage* image)
{
    return (image->depth == 4 || image->depth == 8) ? (4u << image->depth) : 0;
}

GxUInt32 BodySize(const GxImage* image)
{
    return gxCHUNKHEADERSIZE + kStructSize +
           static_cast<GxUInt32>(image->stride) * static_cast<GxUInt32>(image->height) + PaletteBytes(image);
}

bool Writable(const GxImage* image)
{
    const bool palettised = image->depth == 4 || image->depth == 8;
    return image->pixels && image->width > 0 && image->height > 0 && (palettised || image->depth == 32) &&
           (!palettised || image->palette) && image->stride >= ((image->depth + 7) >> 3) * image->width;
}

}  // namespace

GxUInt32 ContentImageStreamGetSize(const GxImage* image) { return gxCHUNKHEADERSIZE + BodySize(image); }

const GxImage* ContentImageStreamWrite(const GxImage* image, GxStream* stream)
{
    if (!image || !stream || !Writable(image)) {
        return nullptr;
    }
    const GxInt32 header[4] = {image->width, image->height, image->depth, image->stride};
    const GxUInt32 rowBytes = static_cast<GxUInt32>(image->stride) * static_cast<GxUInt32>(image->height);
    if (!GxStreamWriteChunkHeader(stream, gxID_IMAGE, BodySize(image), gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, kStructSize, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, header, sizeof(header)) || !GxStreamWrite(stream, image->pixels, rowBytes)) {
        return nullptr;
    }
    const GxUInt32 paletteBytes = PaletteBytes(image);
    if (paletteBytes && !GxStreamWrite(stream, image->palette, paletteBytes)) {
        return nullptr;
    }
    return image;
}
