// PNG reader: decodes PNG files through libpng into 4-, 8- or 32-bit images.
#include <png.h>

#include "gfx/core/core_local.h"
#include "gfx/core/image.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kPngHint = 0x3010D;
// Largest chunk libpng may allocate for: PLTE and tRNS are below 1 KiB, and no ancillary chunk
// the reader needs is large. Compressed rows stream through and are not limited by it.
constexpr png_alloc_size_t kMaxChunkBytes = 0x10000;
// Ancillary chunks libpng may keep in memory before it refuses more.
constexpr png_uint_32 kMaxCachedChunks = 32;
// Greatest expansion of deflate data: 258 bytes from about a quarter of a byte, ~1032:1.
constexpr uint64_t kZlibMaxRatio = 1032;
// Ancillary chunks the image needs nothing from; libpng skips them unread.
constexpr png_byte kSkippedChunks[] = {
    'i', 'C', 'C', 'P', '\0', 'i', 'T', 'X', 't', '\0', 's', 'P', 'L', 'T', '\0', 't', 'E', 'X', 't', '\0',
    'z', 'T', 'X', 't', '\0', 'e', 'X', 'I', 'f', '\0', 'h', 'I', 'S', 'T', '\0', 't', 'I', 'M', 'E', '\0',
};
constexpr int kSkippedChunkCount = static_cast<int>(sizeof(kSkippedChunks) / 5);

// Everything the decoder makes; libpng's long jump returns here and the caller frees it.
struct PngRead {
    GxStream* stream;
    png_structp png;
    png_infop info;
    GxImage* image;
    png_bytep* rows;
};

png_voidp PngMalloc(png_structp, png_alloc_size_t size) { return GxMalloc(size, kPngHint); }

void PngFree(png_structp, png_voidp block) { GxFree(block); }

void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// A warning means libpng dropped something the image does not need (an oversized or damaged
// ancillary chunk); the reader carries on without it and libpng prints nothing.
void PngWarning(png_structp, png_const_charp) {}

void PngReadData(png_structp png, png_bytep data, size_t length)
{
    auto* stream = static_cast<GxStream*>(png_get_io_ptr(png));
    if (!stream || length > 0xFFFFFFFFu || GxStreamRead(stream, data, static_cast<GxUInt32>(length)) != length) {
        png_error(png, "short read");
    }
}

// Image depth for the file's colour type after the transforms asked for it; 0 when unknown.
GxInt32 SetTransforms(png_structp png, int colourType, int bitDepth)
{
    png_set_strip_16(png);
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        // Only the grey bits: a transparency key is not taken, the grey image stays opaque.
        if (bitDepth < 8) {
            png_set_expand_gray_1_2_4_to_8(png);
        }
        return 8;
    case PNG_COLOR_TYPE_RGB:
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        return 32;
    case PNG_COLOR_TYPE_PALETTE:
        if (bitDepth < 8) {
            png_set_packing(png);
            return 4;
        }
        return 8;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        return 32;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 32;
    default:
        return 0;
    }
}

void FillPalette(png_structp png, png_infop info, GxImage* image, int colourType)
{
    const GxInt32 entries = 1 << image->depth;
    for (GxInt32 i = 0; i < entries; ++i) {
        const auto v = static_cast<GxUInt8>(i);
        image->palette[i] = GxRGBA{v, v, v, 255};
    }
    png_colorp colours = nullptr;
    int numColours = 0;
    if (png_get_valid(png, info, PNG_INFO_PLTE) && png_get_PLTE(png, info, &colours, &numColours)) {
        for (GxInt32 i = 0; i < numColours && i < entries; ++i) {
            image->palette[i] = GxRGBA{colours[i].red, colours[i].green, colours[i].blue, 255};
        }
    }
    // Only a palette file's transparency gives alpha; grey files keep 255.
    if (colourType != PNG_COLOR_TYPE_PALETTE || !png_get_valid(png, info, PNG_INFO_tRNS)) {
        return;
    }
    png_bytep alphas = nullptr;
    int numAlphas = 0;
    png_get_tRNS(png, info, &alphas, &numAlphas, nullptr);
    for (GxInt32 i = 0; alphas && i < numAlphas && i < entries; ++i) {
        image->palette[i].alpha = alphas[i];
    }
}

void SetLimits(png_structp png)
{
    png_set_user_limits(png, gxIMAGEFILEMAXSIDE, gxIMAGEFILEMAXSIDE);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
}

// The filtered rows must be able to come, deflated, from the bytes the stream still holds.
bool RowsCanBePresent(const GxStream* stream, png_uint_32 width, png_uint_32 height, int channels, int bitDepth)
{
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * channels * bitDepth + 7) / 8 + 1;
    const uint64_t rawBytes = rowBytes * height;
    return GxStreamCanSupply(stream, (rawBytes + kZlibMaxRatio - 1) / kZlibMaxRatio);
}

// Decodes the file into s->image; false on any failure, with whatever was made left in s.
bool Decode(PngRead* s)
{
    s->png =
        png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning, nullptr, PngMalloc, PngFree);
    if (!s->png) {
        return false;
    }
    s->info = png_create_info_struct(s->png);
    if (!s->info) {
        return false;
    }
    if (setjmp(png_jmpbuf(s->png))) {
        return false;
    }
    png_set_read_fn(s->png, s->stream, PngReadData);
    SetLimits(s->png);
    png_read_info(s->png, s->info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(s->png, s->info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    // Deflate lets a few megabytes declare a gigapixel: the size is judged before anything is made.
    if (!GxImageFileSizeAllowed(width, height, 1)) {
        GxErrorRaise(gxPLUGINPNG, gxERRUNSUPPORTED);
        return false;
    }
    if (!RowsCanBePresent(s->stream, width, height, png_get_channels(s->png, s->info), bitDepth)) {
        GxErrorRaise(gxPLUGINPNG, gxERRENDOFSTREAM);
        return false;
    }
    const GxInt32 depth = SetTransforms(s->png, colourType, bitDepth);
    if (depth == 0) {
        return false;
    }
    png_set_interlace_handling(s->png);
    png_read_update_info(s->png, s->info);
    s->image = GxImageCreate(static_cast<GxInt32>(width), static_cast<GxInt32>(height), depth);
    if (!s->image || !GxImageAllocatePixels(s->image)) {
        return false;
    }
    // The transforms must give exactly the image's row layout.
    const size_t rowBytes = png_get_rowbytes(s->png, s->info);
    if (rowBytes != static_cast<size_t>((depth + 7) >> 3) * width) {
        return false;
    }
    s->rows = static_cast<png_bytep*>(GxMalloc(sizeof(png_bytep) * height, kPngHint));
    if (!s->rows) {
        return false;
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        s->rows[y] = s->image->pixels + static_cast<size_t>(y) * s->image->stride;
    }
    if (s->image->palette) {
        FillPalette(s->png, s->info, s->image, colourType);
    }
    png_read_image(s->png, s->rows);
    png_read_end(s->png, nullptr);
    return true;
}

}  // namespace

GxImage* GxImageReadPNG(const GxChar* imageName)
{
    if (!imageName) {
        GxErrorRaise(gxPLUGINPNG, gxERRNULLARG);
        return nullptr;
    }
    PngRead s = {};
    s.stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, imageName);
    if (!s.stream) {
        return nullptr;
    }
    const bool ok = Decode(&s);
    if (s.png) {
        png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
    }
    if (s.rows) {
        GxFree(s.rows);
    }
    GxStreamClose(s.stream, nullptr);
    if (!ok) {
        if (s.image) {
            GxImageDestroy(s.image);
        }
        return nullptr;
    }
    return s.image;
}
