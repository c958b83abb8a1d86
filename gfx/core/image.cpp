// Image module: images and their pixel blocks, copies, masks, gamma tables and the image chunk.
#include "gfx/core/image.h"

#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/image_local.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 gxIMAGEPLUGINID = 0x406;
constexpr GxUInt32 kImageHint = 0x30018;
constexpr GxUInt32 kImageListHint = 0x40018;
constexpr GxUInt32 kFormatListHint = 0x40406;
constexpr GxInt32 kEntriesPerBlock = 128;
constexpr GxInt32 kInitialBufferSize = 256;
// Largest pixel block an image may have; keeps every size computation inside 32 bits.
constexpr uint64_t kMaxPixelBytes = 0x40000000u;

GxPluginRegistry imageTKList = GxPluginRegistryInitializer(sizeof(GxImage), 0);
GxInt32 imageModuleOffset = -1;
GxInt32 imageModuleInstances = 0;

GxInt32 BytesPerPixel(GxInt32 depth) { return (depth + 7) >> 3; }
bool IsPalettised(GxInt32 depth) { return depth == 4 || depth == 8; }
GxInt32 PaletteBytes(GxInt32 depth) { return IsPalettised(depth) ? (4 << depth) : 0; }

// Stride of a freshly allocated block, or -1 when the block would be unreasonably large.
GxInt32 AllocatedStride(GxInt32 width, GxInt32 height, GxInt32 depth)
{
    if (width < 0 || height < 0 || depth <= 0 || depth > 32) {
        return -1;
    }
    const uint64_t stride = (static_cast<uint64_t>(BytesPerPixel(depth)) * static_cast<uint64_t>(width) + 3) & ~3ull;
    if (stride * static_cast<uint64_t>(height) > kMaxPixelBytes) {
        return -1;
    }
    return static_cast<GxInt32>(stride);
}

// A zeroed block of rows and palette; the palette, when any, follows the rows.
GxUInt8* NewPixelBlock(GxInt32 stride, GxInt32 height, GxInt32 depth)
{
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height) + PaletteBytes(depth);
    return static_cast<GxUInt8*>(GxCalloc(bytes == 0 ? 1 : bytes, 1, kImageHint));
}

GxRGBA* PaletteOf(GxUInt8* block, GxInt32 stride, GxInt32 height, GxInt32 depth)
{
    if (!IsPalettised(depth)) {
        return nullptr;
    }
    return reinterpret_cast<GxRGBA*>(block + static_cast<size_t>(stride) * static_cast<size_t>(height));
}

GxUInt8 MaxRGB(const GxRGBA& c)
{
    GxUInt8 m = c.red > c.green ? c.red : c.green;
    return m > c.blue ? m : c.blue;
}

// Expands palette indices (depth 4 or 8) into 32-bit pixels of the same size.
void ExpandThroughPalette(GxImage* destination, const GxImage* source)
{
    const GxInt32 entries = 1 << source->depth;
    for (GxInt32 y = 0; y < source->height; ++y) {
        const GxUInt8* in = source->pixels + static_cast<size_t>(y) * source->stride;
        GxRGBA* out = reinterpret_cast<GxRGBA*>(destination->pixels + static_cast<size_t>(y) * destination->stride);
        for (GxInt32 x = 0; x < source->width; ++x) {
            out[x] = source->palette[in[x] & (entries - 1)];
        }
    }
}

void CopyRows(GxImage* destination, const GxImage* source, GxInt32 rowBytes)
{
    for (GxInt32 y = 0; y < source->height; ++y) {
        memcpy(destination->pixels + static_cast<size_t>(y) * destination->stride,
               source->pixels + static_cast<size_t>(y) * source->stride, static_cast<size_t>(rowBytes));
    }
}

GxUInt8 GammaByte(float value)
{
    // Out-of-range gammas give huge or NaN values; keep the conversion defined.
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 255.0f) {
        return 255;
    }
    return static_cast<GxUInt8>(static_cast<GxInt32>(value));
}

void BuildGammaTables(GxImageModuleBlock* block, GxReal gamma)
{
    const float inverse = 1.0f / gamma;
    block->gammaTable[0] = 0;
    block->invGammaTable[0] = 0;
    for (GxInt32 i = 1; i < 256; ++i) {
        const float x = static_cast<float>(i) * (1.0f / 255.0f);
        const float corrected = static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(inverse)));
        const float undone = static_cast<float>(std::pow(static_cast<double>(x), static_cast<double>(gamma)));
        block->gammaTable[i] = GammaByte(corrected * 255.0f + 0.5f);
        block->invGammaTable[i] = GammaByte(undone * 255.0f + 0.5f);
    }
}

// Reads `bytes` of rows stored with `storedStride` into the image's rows.
bool ReadRows(GxStream* stream, GxImage* image, GxInt32 storedStride)
{
    if (storedStride == image->stride) {
        const GxUInt32 bytes = static_cast<GxUInt32>(image->stride) * static_cast<GxUInt32>(image->height);
        return GxStreamRead(stream, image->pixels, bytes) == bytes;
    }
    const GxUInt32 common = static_cast<GxUInt32>(storedStride < image->stride ? storedStride : image->stride);
    const GxUInt32 skip = static_cast<GxUInt32>(storedStride) - common;
    for (GxInt32 y = 0; y < image->height; ++y) {
        if (GxStreamRead(stream, image->pixels + static_cast<size_t>(y) * image->stride, common) != common) {
            return false;
        }
        if (skip && !GxStreamSkip(stream, skip)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void* GxImageOpen(void* instance, GxInt32 offset, GxInt32)
{
    imageModuleOffset = offset;
    auto* block = reinterpret_cast<GxImageModuleBlock*>(static_cast<char*>(instance) + offset);
    memset(block, 0, sizeof(*block));
    block->imageFreeList = GxFreeListCreateAndPreallocate(imageTKList.sizeOfStruct, kEntriesPerBlock, alignof(GxImage),
                                                          1, &block->imageFreeListRecord, kImageListHint);
    block->formatFreeList =
        GxFreeListCreateAndPreallocate(sizeof(GxImageFormat), kEntriesPerBlock, alignof(GxImageFormat), 1,
                                       &block->formatFreeListRecord, kFormatListHint);
    block->path = static_cast<GxChar*>(GxMalloc(kInitialBufferSize, gxIMAGEPATHHINT));
    block->nameBuffer = static_cast<GxChar*>(GxMalloc(kInitialBufferSize, gxIMAGENAMEHINT));
    if (!block->imageFreeList || !block->formatFreeList || !block->path || !block->nameBuffer) {
        if (block->imageFreeList)
            GxFreeListDestroy(block->imageFreeList);
        if (block->formatFreeList)
            GxFreeListDestroy(block->formatFreeList);
        if (block->path)
            GxFree(block->path);
        if (block->nameBuffer)
            GxFree(block->nameBuffer);
        memset(block, 0, sizeof(*block));
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    block->path[0] = '\0';
    block->pathSize = kInitialBufferSize;
    block->nameBuffer[0] = '\0';
    block->nameBufferSize = kInitialBufferSize;
    block->gamma = 1.0f;
    BuildGammaTables(block, 1.0f);
    imageModuleInstances++;
    return instance;
}

void* GxImageClose(void* instance, GxInt32 offset, GxInt32)
{
    auto* block = reinterpret_cast<GxImageModuleBlock*>(static_cast<char*>(instance) + offset);
    GxFree(block->nameBuffer);
    GxFree(block->path);
    while (GxImageFormat* f = block->formats) {
        block->formats = f->next;
        GxFreeListFreeEntry(block->formatFreeList, f);
    }
    GxFreeListDestroy(block->formatFreeList);
    GxFreeListDestroy(block->imageFreeList);
    memset(block, 0, sizeof(*block));
    imageModuleInstances--;
    return instance;
}

GxImageModuleBlock* GxImageBlock()
{
    return static_cast<GxImageModuleBlock*>(GxCoreModuleBlock(imageModuleOffset, imageModuleInstances));
}

GxImageModuleBlock* GxImageBlockOrRaise()
{
    GxImageModuleBlock* block = GxImageBlock();
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
    }
    return block;
}

const GxCoreModule gxImageModule = {gxIMAGEPLUGINID, static_cast<GxInt32>(sizeof(GxImageModuleBlock)), GxImageOpen,
                                    GxImageClose};

GxBool GxImageFileSizeAllowed(int64_t width, int64_t height, GxInt32 faces)
{
    if (width <= 0 || height <= 0 || faces <= 0) {
        return 0;
    }
    const auto limit = static_cast<int64_t>(gxIMAGEFILEMAXPIXELS);
    return width <= limit && height <= limit / width && height * width <= limit / faces;
}

GxImage* GxImageCreate(GxInt32 width, GxInt32 height, GxInt32 depth)
{
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return nullptr;
    }
    if (width < 0 || height < 0 || depth <= 0 || depth > 32) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    auto* image = static_cast<GxImage*>(GxFreeListAllocEntry(block->imageFreeList, kImageHint));
    if (!image) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    *image = GxImage{0, width, height, depth, 0, nullptr, nullptr};
    if (!GxPluginRegistryInitObject(&imageTKList, image)) {
        GxFreeListFreeEntry(block->imageFreeList, image);
        return nullptr;
    }
    return image;
}

GxBool GxImageDestroy(GxImage* image)
{
    GxImageModuleBlock* block = GxImageBlock();
    GX_ASSERT(image && block, "destroy takes an image of the open image module");
    GxImageFreePixels(image);
    GxPluginRegistryDeInitObject(&imageTKList, image);
    GxFreeListFreeEntry(block->imageFreeList, image);
    return 1;
}

GxImage* GxImageAllocatePixels(GxImage* image)
{
    GX_ASSERT(image != nullptr, "an image to allocate");
    const GxInt32 stride = AllocatedStride(image->width, image->height, image->depth);
    GxUInt8* block = stride < 0 ? nullptr : NewPixelBlock(stride, image->height, image->depth);
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxImageFreePixels(image);
    image->stride = stride;
    image->pixels = block;
    image->palette = PaletteOf(block, stride, image->height, image->depth);
    image->flags |= gxIMAGEALLOCATED;
    return image;
}

GxImage* GxImageFreePixels(GxImage* image)
{
    GX_ASSERT(image, "free the pixels of an image");
    if (image->flags & gxIMAGEALLOCATED) {
        GxFree(image->pixels);
    }
    image->pixels = nullptr;
    image->palette = nullptr;
    image->flags &= ~gxIMAGEALLOCATED;
    return image;
}

GxImage* GxImageResize(GxImage* image, GxInt32 width, GxInt32 height)
{
    GX_ASSERT(image != nullptr, "an image to resize");
    if (!(image->flags & gxIMAGEALLOCATED)) {
        image->width = width;
        image->height = height;
        return image;
    }
    const GxInt32 stride = AllocatedStride(width, height, image->depth);
    GxUInt8* block = stride < 0 ? nullptr : NewPixelBlock(stride, height, image->depth);
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxRGBA* palette = PaletteOf(block, stride, height, image->depth);
    if (palette && image->palette) {
        memcpy(palette, image->palette, static_cast<size_t>(PaletteBytes(image->depth)));
    }
    const GxInt32 rows = height < image->height ? height : image->height;
    const GxInt32 columns = width < image->width ? width : image->width;
    const size_t rowBytes = static_cast<size_t>(columns) * BytesPerPixel(image->depth);
    for (GxInt32 y = 0; y < rows; ++y) {
        memcpy(block + static_cast<size_t>(y) * stride, image->pixels + static_cast<size_t>(y) * image->stride,
               rowBytes);
    }
    GxFree(image->pixels);
    image->pixels = block;
    image->palette = palette;
    image->stride = stride;
    image->width = width;
    image->height = height;
    return image;
}

GxImage* GxImageCopy(GxImage* destination, const GxImage* source)
{
    GX_ASSERT(destination && source && destination->pixels && source->pixels, "two allocated images");
    if (destination->width != source->width || destination->height != source->height) {
        GxErrorRaise(gxPLUGINCORE, gxERRSIZEMISMATCH);
        return nullptr;
    }
    const GxInt32 from = source->depth;
    const GxInt32 to = destination->depth;
    if (from == to) {
        if (destination->palette && source->palette && from <= 8) {
            memcpy(destination->palette, source->palette, static_cast<size_t>(4 << from));
        }
        CopyRows(destination, source, BytesPerPixel(from) * source->width);
    } else if (from == 4 && to == 8) {
        CopyRows(destination, source, source->width);
    } else if (IsPalettised(from) && to == 32 && source->palette) {
        ExpandThroughPalette(destination, source);
    } else {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    destination->flags = (destination->flags & ~gxIMAGEGAMMASET) | (source->flags & gxIMAGEGAMMASET);
    return destination;
}

GxImage* GxImageMakeMask(GxImage* image)
{
    if (!image) {
        return nullptr;
    }
    if (IsPalettised(image->depth) && image->palette) {
        for (GxInt32 i = 0; i < (1 << image->depth); ++i) {
            image->palette[i].alpha = MaxRGB(image->palette[i]);
        }
    } else if (image->depth == 32 && image->pixels) {
        for (GxInt32 y = 0; y < image->height; ++y) {
            auto* row = reinterpret_cast<GxRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride);
            for (GxInt32 x = 0; x < image->width; ++x) {
                row[x].alpha = MaxRGB(row[x]);
            }
        }
    }
    return image;
}

GxImage* GxImageApplyMask(GxImage* image, const GxImage* mask)
{
    GX_ASSERT(image && mask && image->pixels && mask->pixels, "an allocated image and mask");
    if (image->width != mask->width || image->height != mask->height) {
        GxErrorRaise(gxPLUGINCORE, gxERRSIZEMISMATCH);
        return nullptr;
    }
    const bool maskPalettised = IsPalettised(mask->depth) && mask->palette;
    if ((!maskPalettised && mask->depth != 32) ||
        (image->depth != 32 && !(IsPalettised(image->depth) && image->palette))) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    if (image->depth != 32) {
        // Expand into a new block first so a failure leaves the image as it was.
        GxImage* expanded = GxImageCreate(image->width, image->height, 32);
        if (!expanded) {
            return nullptr;
        }
        if (!GxImageAllocatePixels(expanded)) {
            GxImageDestroy(expanded);
            return nullptr;
        }
        GxImageCopy(expanded, image);
        GxImageFreePixels(image);
        image->depth = 32;
        image->stride = expanded->stride;
        image->pixels = expanded->pixels;
        image->flags |= gxIMAGEALLOCATED;
        expanded->flags &= ~gxIMAGEALLOCATED;
        GxImageDestroy(expanded);
    }
    for (GxInt32 y = 0; y < image->height; ++y) {
        auto* row = reinterpret_cast<GxRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride);
        const GxUInt8* maskRow = mask->pixels + static_cast<size_t>(y) * mask->stride;
        for (GxInt32 x = 0; x < image->width; ++x) {
            row[x].alpha =
                maskPalettised ? mask->palette[maskRow[x] & ((1 << mask->depth) - 1)].alpha : maskRow[4 * x + 3];
        }
    }
    return image;
}

GxImage* GxImageGammaCorrect(GxImage* image)
{
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return nullptr;
    }
    GX_ASSERT(image != nullptr, "an image to correct");
    const GxUInt8* table = block->gammaTable;
    if (IsPalettised(image->depth)) {
        if (!image->palette) {
            GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
            return nullptr;
        }
        for (GxInt32 i = 0; i < (1 << image->depth); ++i) {
            GxRGBA& c = image->palette[i];
            c = GxRGBA{table[c.red], table[c.green], table[c.blue], c.alpha};
        }
    } else if (image->depth == 32) {
        if (!image->pixels) {
            GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
            return nullptr;
        }
        for (GxInt32 y = 0; y < image->height; ++y) {
            auto* row = reinterpret_cast<GxRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride);
            for (GxInt32 x = 0; x < image->width; ++x) {
                row[x] = GxRGBA{table[row[x].red], table[row[x].green], table[row[x].blue], row[x].alpha};
            }
        }
    } else {
        GxErrorRaise(gxPLUGINCORE, gxERRINVALIDDEPTH);
        return nullptr;
    }
    image->flags |= gxIMAGEGAMMASET;
    return image;
}

GxBool GxImageSetGamma(GxReal gamma)
{
    GxImageModuleBlock* block = GxImageBlock();
    if (!block) {
        return 0;
    }
    block->gamma = gamma;
    BuildGammaTables(block, gamma);
    return 1;
}

GxImage* GxImageStreamRead(GxStream* stream)
{
    // No chunk length: only what the stream holds bounds the read.
    return GxImageStreamReadSized(stream, UINT32_MAX);
}

GxImage* GxImageStreamReadSized(GxStream* stream, GxUInt32 bodyLength)
{
    GX_ASSERT(stream != nullptr, "a stream to read");
    GxUInt32 structLength = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &structLength, nullptr)) {
        return nullptr;
    }
    GxInt32 header[4];
    if (structLength < sizeof(header) || !GxStreamReadInt32(stream, header, sizeof(header))) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    if (structLength > sizeof(header) && !GxStreamSkip(stream, structLength - sizeof(header))) {
        return nullptr;
    }
    const GxInt32 width = header[0], height = header[1], depth = header[2], storedStride = header[3];
    // The depth is checked first: every size below is computed from it.
    const bool knownDepth = depth == 4 || depth == 8 || depth == 32;
    if (!knownDepth || width <= 0 || height <= 0 || storedStride < 0 || AllocatedStride(width, height, depth) < 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    // The stored rows and the rows allocated for them are both held to the cap, the chunk and what the stream
    // holds before anything is allocated: a short stored row must not make a huge image.
    const GxInt32 allocatedStride = AllocatedStride(width, height, depth);
    const GxInt32 largerStride = storedStride > allocatedStride ? storedStride : allocatedStride;
    const uint64_t rowBytes = static_cast<uint64_t>(largerStride) * static_cast<uint64_t>(height);
    const uint64_t pixelBytes = rowBytes + static_cast<uint64_t>(PaletteBytes(depth));
    const uint64_t chunkBytes = static_cast<uint64_t>(gxCHUNKHEADERSIZE) + structLength + pixelBytes;
    if (rowBytes > kMaxPixelBytes || chunkBytes > bodyLength) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    if (!GxStreamCanSupply(stream, pixelBytes)) {
        GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
        return nullptr;
    }
    GxImage* image = GxImageCreate(width, height, depth);
    if (!image || !GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return nullptr;
    }
    const GxUInt32 paletteBytes = static_cast<GxUInt32>(PaletteBytes(depth));
    if (!ReadRows(stream, image, storedStride) ||
        (paletteBytes && GxStreamRead(stream, image->palette, paletteBytes) != paletteBytes)) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}
