// Reading textures: from image files by name and mask, fitted to the device's rasters, with mipmap levels
// read by name or generated; the exchange of images and rasters through the device.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture_local.h"

namespace {

constexpr GxUInt32 kWorkHint = 0x10006;
constexpr GxInt32 kLockWriteNoFetch = gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH;
// Format codes put the raster format above its type byte.
constexpr GxInt32 kFormatCodeShift = 8;

GxImage* NewImage(GxInt32 width, GxInt32 height, GxInt32 depth)
{
    GxImage* image = GxImageCreate(width, height, depth);
    if (image != nullptr && GxImageAllocatePixels(image) == nullptr) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}

void SetAutoMipmapBit(GxRaster* raster, bool on)
{
    constexpr GxUInt8 bit = gxRASTERFORMATAUTOMIPMAP >> 8;
    raster->format = on ? static_cast<GxUInt8>(raster->format | bit) : static_cast<GxUInt8>(raster->format & ~bit);
}

bool Palettised(const GxRaster* raster)
{
    return (GxRasterGetFormat(raster) & (gxRASTERFORMATPAL8 | gxRASTERFORMATPAL4)) != 0;
}

GxInt32 PaletteDepth(const GxRaster* raster) { return (GxRasterGetFormat(raster) & gxRASTERFORMATPAL4) ? 4 : 8; }

// Images already corrected are left alone, so a level is never corrected twice.
bool GammaCorrect(GxImage* image) { return (image->flags & gxIMAGEGAMMASET) || GxImageGammaCorrect(image) != nullptr; }

void DestroyImages(GxImage** images, GxInt32 from, GxInt32 count, const GxImage* keep = nullptr)
{
    for (GxInt32 i = from; i < count; i++) {
        if (images[i] != nullptr && images[i] != keep) {
            GxImageDestroy(images[i]);
        }
        images[i] = nullptr;
    }
}

// ---- names ----

// Copies a name into a work buffer, cut to the work length with an error.
void CopyWorkName(GxChar* buffer, const GxChar* text)
{
    buffer[0] = '\0';
    if (text == nullptr) {
        return;
    }
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>(gxTEXTURENAMEWORKLENGTH)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNAMETOOLONG);
    }
    const size_t kept = length > static_cast<size_t>(gxTEXTURENAMEWORKLENGTH) ? gxTEXTURENAMEWORKLENGTH : length;
    std::memcpy(buffer, text, kept);
    buffer[kept] = '\0';
}

// Names given without an extension take the first registered one under which the file exists.
void AppendFoundExtension(GxChar* buffer)
{
    const GxChar* extension = GxImageFindFileExtension(buffer);
    if (extension == nullptr) {
        return;
    }
    const size_t length = std::strlen(buffer);
    if (length + std::strlen(extension) < static_cast<size_t>(gxTEXTURENAMEBUFFER)) {
        std::strcat(buffer, extension);
    }
}

// A name and mask in work buffers.
struct WorkNames {
    GxChar name[gxTEXTURENAMEBUFFER];
    GxChar mask[gxTEXTURENAMEBUFFER];

    WorkNames(const GxChar* nameText, const GxChar* maskText)
    {
        CopyWorkName(name, nameText);
        CopyWorkName(mask, maskText);
    }
};

// The names of a mipmap level as the module's name callback gives them.
WorkNames LevelNames(GxTextureModuleBlock* block, const GxChar* name, const GxChar* mask, GxUInt8 level, GxInt32 flags)
{
    WorkNames names(name, mask);
    if (block->mipmapName != nullptr) {
        block->mipmapName(names.name, names.mask, level, flags);
    }
    return names;
}

// The texture over a filled raster; the raster is destroyed when no texture can be made of it.
GxTexture* MakeTexture(GxRaster* raster, const GxChar* name, const GxChar* mask)
{
    GxTexture* texture = GxTextureCreate(raster);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxTextureSetName(texture, name);
    GxTextureSetMaskName(texture, mask != nullptr ? mask : "");
    return texture;
}

// Levels ready to write: a palettised raster's levels share one palette (made around `keep`'s pixels), and
// gamma is corrected once, before the palette for palettised rasters and per level otherwise.
bool PrepareLevels(const GxRaster* raster, GxImage** images, GxInt32 levels, GxImage* keep = nullptr)
{
    GxRGBA palette[256];
    if (Palettised(raster)) {
        return GxTextureImagesMakePalette(palette, keep, images, levels, PaletteDepth(raster)) &&
               GammaCorrect(images[0]);
    }
    for (GxInt32 level = 0; level < levels; level++) {
        if (!GammaCorrect(images[level])) {
            return false;
        }
    }
    return true;
}

// ---- fitting an image to a raster size ----

GxImage* Widen(GxImage* image)
{
    if (image->depth == 32) {
        return image;
    }
    GxImage* wide = NewImage(image->width, image->height, 32);
    if (wide == nullptr || GxImageCopy(wide, image) == nullptr) {
        GxImageDestroy(wide);
        return nullptr;
    }
    return wide;
}

GxImage* Requantise(GxImage* image, GxInt32 depth)
{
    auto* quantizer = static_cast<GxPaletteQuantizer*>(GxMalloc(sizeof(GxPaletteQuantizer), kWorkHint));
    if (quantizer == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxImage* result = nullptr;
    if (GxPaletteQuantizerInit(quantizer)) {
        GxPaletteQuantizerAddImage(quantizer, image, 1.0f);
        GxRGBA palette[256];
        const GxInt32 entries = 1 << depth;
        if (GxPaletteQuantizerMakePalette(palette, entries, quantizer) > 0 &&
            (result = NewImage(image->width, image->height, depth)) != nullptr) {
            GxPaletteQuantizerMatchImage(result->pixels, result->stride, depth, 0, quantizer, image);
            std::memcpy(result->palette, palette, sizeof(GxRGBA) * entries);
            result->flags |= image->flags & gxIMAGEGAMMASET;
        }
        GxPaletteQuantizerTerm(quantizer);
    }
    GxFree(quantizer);
    return result;
}

// Resamples an image to width x height; palettised images come back palettised. The given image is consumed.
GxImage* FitImage(GxImage* image, GxInt32 width, GxInt32 height)
{
    const GxInt32 originalDepth = image->depth;
    GxImage* wide = Widen(image);
    if (wide != image) {
        GxImageDestroy(image);
    }
    if (wide == nullptr) {
        return nullptr;
    }
    GxImage* resized = NewImage(width, height, 32);
    if (resized == nullptr || GxImageResample(resized, wide) == nullptr) {
        if (resized != nullptr) {
            GxImageDestroy(resized);
        }
        GxImageDestroy(wide);
        return nullptr;
    }
    GxImageDestroy(wide);
    if (originalDepth != 4 && originalDepth != 8) {
        return resized;
    }
    GxImage* result = Requantise(resized, originalDepth);
    GxImageDestroy(resized);
    return result;
}

// ---- the read paths ----

// Reads the base image under the names level 0 is given and makes a raster for it; null, with nothing
// left behind, when either fails.
GxRaster* ReadBase(GxTextureModuleBlock* block, const GxChar* name, const GxChar* mask, GxInt32 flags, GxImage** image)
{
    const WorkNames names = LevelNames(block, name, mask, 0, flags);
    GxInt32 width = 0, height = 0, depth = 0, format = 0;
    *image = GxTextureImageReadForRaster(names.name, names.mask, flags, &width, &height, &depth, &format);
    if (*image == nullptr) {
        return nullptr;
    }
    GxRaster* raster = GxRasterCreate(width, height, depth, format);
    if (raster == nullptr) {
        GxImageDestroy(*image);
        *image = nullptr;
    }
    return raster;
}

// Fills a raster of one level (or one the device completes) from an image it takes, and makes the texture;
// the raster is destroyed on failure.
GxTexture* FillSingle(GxRaster* raster, GxImage* image, const GxChar* name, const GxChar* mask)
{
    const bool filled = PrepareLevels(raster, &image, 1) && GxRasterSetFromImage(raster, image) != nullptr;
    GxImageDestroy(image);
    if (!filled) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    return MakeTexture(raster, name, mask);
}

GxTexture* ReadSingle(GxTextureModuleBlock* block, const GxChar* name, const GxChar* mask)
{
    GxImage* image = nullptr;
    GxRaster* raster = ReadBase(block, name, mask, gxRASTERTYPETEXTURE, &image);
    return raster != nullptr ? FillSingle(raster, image, name, mask) : nullptr;
}

// Reads the images of levels 1 and on at the sizes the raster gives them.
bool ReadLevelImages(GxTextureModuleBlock* block, GxRaster* raster, const GxChar* name, const GxChar* mask,
                     GxImage** images, GxInt32 levels)
{
    for (GxInt32 level = 1; level < levels; level++) {
        const WorkNames names =
            LevelNames(block, name, mask, static_cast<GxUInt8>(level), GxRasterGetFormat(raster) | raster->type);
        if (GxRasterLock(raster, static_cast<GxUInt8>(level), kLockWriteNoFetch) == nullptr) {
            return false;
        }
        GxInt32 width = raster->width;
        GxInt32 height = raster->height;
        GxInt32 depth = raster->depth;
        GxInt32 format = GxRasterGetFormat(raster) | raster->type;
        GxRasterUnlock(raster);
        images[level] = GxTextureImageReadForRaster(names.name, names.mask, format, &width, &height, &depth, &format);
        if (images[level] == nullptr) {
            return false;
        }
    }
    return true;
}

// Writes every level and destroys its image (never `keep`).
bool WriteLevels(GxRaster* raster, GxImage** images, GxInt32 levels, const GxImage* keep = nullptr)
{
    for (GxInt32 level = 0; level < levels; level++) {
        if (GxRasterLock(raster, static_cast<GxUInt8>(level), kLockWriteNoFetch) != nullptr) {
            const bool filled = GxRasterSetFromImage(raster, images[level]) != nullptr;
            GxRasterUnlock(raster);
            if (!filled) {
                return false;
            }
        }
        if (images[level] != keep) {
            GxImageDestroy(images[level]);
        }
        images[level] = nullptr;
    }
    return true;
}

GxTexture* ReadMipmappedLevels(GxTextureModuleBlock* block, GxRaster* raster, GxImage* base, const GxChar* name,
                               const GxChar* mask)
{
    const GxInt32 levels = GxRasterGetNumLevels(raster);
    if (levels < 1 || levels > gxTEXTUREMAXMIPLEVELS) {
        GxImageDestroy(base);
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxImage* images[gxTEXTUREMAXMIPLEVELS] = {};
    images[0] = base;
    const bool ok = ReadLevelImages(block, raster, name, mask, images, levels) &&
                    PrepareLevels(raster, images, levels) && WriteLevels(raster, images, levels);
    DestroyImages(images, 0, levels);
    if (!ok) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    return MakeTexture(raster, name, mask);
}

// ---- mipmap generation ----

GxImage* BaseImage(GxRaster* raster, GxImage* image)
{
    if (image == nullptr) {
        GxImage* base = NewImage(raster->width, raster->height, 32);
        if (base != nullptr && GxImageSetFromRaster(base, raster) == nullptr) {
            GxImageDestroy(base);
            return nullptr;
        }
        return base;
    }
    return Widen(image);
}

bool GenerateLevels(GxRaster* raster, GxImage* given, GxImage** images, GxInt32 levels)
{
    for (GxInt32 level = 1; level < levels; level++) {
        if (GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKREAD) == nullptr) {
            return false;
        }
        const GxInt32 width = raster->width;
        const GxInt32 height = raster->height;
        GxRasterUnlock(raster);
        images[level] = GxImageCreateResample(images[level - 1], width, height);
        if (images[level] == nullptr) {
            return false;
        }
    }
    return PrepareLevels(raster, images, levels, given) && WriteLevels(raster, images, levels, given);
}

}  // namespace

// ---- image and raster exchange through the device ----

GxRaster* GxRasterSetFromImage(GxRaster* raster, GxImage* image)
{
    if (!GxEngineStandardCall(gxSTANDARDRASTERSETIMAGE, raster, image, 0)) {
        return nullptr;
    }
    if (image->flags & gxIMAGEGAMMASET) {
        raster->privateFlags |= gxRASTERGAMMACORRECTED;
    }
    return raster;
}

GxImage* GxImageSetFromRaster(GxImage* image, GxRaster* raster)
{
    if (!GxEngineStandardCall(gxSTANDARDIMAGEGETRASTER, image, raster, 0)) {
        return nullptr;
    }
    if (raster->privateFlags & gxRASTERGAMMACORRECTED) {
        image->flags |= gxIMAGEGAMMASET;
    }
    return image;
}

GxImage* GxImageFindRasterFormat(GxImage* image, GxInt32 rasterFlags, GxInt32* width, GxInt32* height, GxInt32* depth,
                                 GxInt32* format)
{
    GxRaster scratch;
    std::memset(&scratch, 0, sizeof(scratch));
    if (!GxEngineStandardCall(gxSTANDARDIMAGEFINDRASTERFORMAT, &scratch, image, rasterFlags)) {
        return nullptr;
    }
    *width = scratch.width;
    *height = scratch.height;
    *depth = scratch.depth;
    *format = (static_cast<GxInt32>(scratch.format) << kFormatCodeShift) | scratch.type;
    return image;
}

GxRaster* GxRasterRead(const GxChar* fileName)
{
    GxImage* image = GxImageRead(fileName);
    if (image == nullptr) {
        return nullptr;
    }
    GxInt32 width = 0, height = 0, depth = 0, format = 0;
    if (GxImageFindRasterFormat(image, 0, &width, &height, &depth, &format) == nullptr) {
        GxImageDestroy(image);
        return nullptr;
    }
    if (width != image->width || height != image->height) {
        GxImage* resampled = GxImageCreateResample(image, width, height);
        GxImageDestroy(image);
        image = resampled;
    }
    GxRaster* raster = image ? GxRasterCreate(width, height, depth, format) : nullptr;
    if (raster != nullptr && GxRasterSetFromImage(raster, image) == nullptr) {
        GxRasterDestroy(raster);
        raster = nullptr;
    }
    GxImageDestroy(image);
    return raster;
}

// ---- reading by name ----

GxTexture* GxTextureRead(const GxChar* name, const GxChar* maskName)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return nullptr;
    }
    GX_ASSERT(name != nullptr, "a texture name to read");
    GxTexture* texture = block->findCallBack(name);
    if (texture != nullptr) {
        texture->refCount++;
        return texture;
    }
    texture = block->readCallBack != nullptr ? block->readCallBack(name, maskName) : nullptr;
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRTEXTUREUNKNOWN);
        return nullptr;
    }
    if (block->currentDictionary != nullptr) {
        GxTexDictionaryAddTexture(block->currentDictionary, texture);
    }
    return texture;
}

// ---- default callbacks ----

GxTexture* GxTextureDefaultFind(const GxChar* name)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    GX_ASSERT(name != nullptr, "a texture name");
    if (block == nullptr) {
        return nullptr;
    }
    if (block->currentDictionary != nullptr) {
        return GxTexDictionaryFindNamedTexture(block->currentDictionary, name);
    }
    for (GxLink* link = block->dictionaryList.next; link != &block->dictionaryList; link = link->next) {
        GxTexture* texture = GxTexDictionaryFindNamedTexture(GxLinkGetData(link, GxTexDictionary, lInInstance), name);
        if (texture != nullptr) {
            return texture;
        }
    }
    return nullptr;
}

GxTexture* GxTextureDefaultRead(const GxChar* name, const GxChar* maskName)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    GX_ASSERT(name != nullptr, "a texture name");
    if (block == nullptr) {
        return nullptr;
    }
    if (block->mipmapping) {
        return GxTextureReadMipmapped(name, maskName);
    }
    return ReadSingle(block, name, maskName);
}

GxTexture* GxTextureReadMipmapped(const GxChar* name, const GxChar* maskName)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    GX_ASSERT(name != nullptr, "a texture name");
    if (block == nullptr) {
        return nullptr;
    }
    GxInt32 flags = gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP;
    if (block->autoMipmapping) {
        flags |= gxRASTERFORMATAUTOMIPMAP;
    }
    GxImage* image = nullptr;
    GxRaster* raster = ReadBase(block, name, maskName, flags, &image);
    if (raster == nullptr) {
        return nullptr;
    }
    if (!(GxRasterGetFormat(raster) & gxRASTERFORMATAUTOMIPMAP)) {
        return ReadMipmappedLevels(block, raster, image, name, maskName);
    }
    return FillSingle(raster, image, name, maskName);
}

GxImage* GxTextureImageReadForRaster(const GxChar* name, const GxChar* maskName, GxInt32 rasterFlags, GxInt32* width,
                                     GxInt32* height, GxInt32* depth, GxInt32* format)
{
    GX_ASSERT(name && width && height && depth && format, "a name and the raster size to fill");
    WorkNames names(name, maskName);
    AppendFoundExtension(names.name);
    if (names.mask[0] != '\0') {
        AppendFoundExtension(names.mask);
    }
    GxImage* image = GxImageReadMaskedImage(names.name, names.mask[0] != '\0' ? names.mask : nullptr);
    if (image == nullptr) {
        return nullptr;
    }
    if (*width == 0 || *height == 0) {
        if (GxImageFindRasterFormat(image, rasterFlags, width, height, depth, format) == nullptr) {
            GxImageDestroy(image);
            GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
            return nullptr;
        }
    }
    if (image->width == *width && image->height == *height) {
        return image;
    }
    return FitImage(image, *width, *height);
}

GxBool GxTextureImagesMakePalette(GxRGBA* palette, GxImage* keep, GxImage** images, GxInt32 count, GxInt32 depth)
{
    GX_ASSERT(palette && images && count >= 1 && images[0] && (depth == 4 || depth == 8),
              "a palette, images and a palette depth");
    // Images of one depth whose palettes agree can share the first one's as it stands.
    const GxImage* first = images[0];
    bool shared = first->palette != nullptr && (first->depth == 4 || first->depth == 8) && first->depth <= depth;
    for (GxInt32 i = 1; shared && i < count; i++) {
        shared = images[i] != nullptr && images[i]->palette != nullptr && images[i]->depth == first->depth &&
                 std::memcmp(images[i]->palette, first->palette, sizeof(GxRGBA) << first->depth) == 0;
    }
    if (shared) {
        std::memcpy(palette, first->palette, sizeof(GxRGBA) << first->depth);
        return 1;
    }
    auto* quantizer = static_cast<GxPaletteQuantizer*>(GxMalloc(sizeof(GxPaletteQuantizer), kWorkHint));
    if (quantizer == nullptr || !GxPaletteQuantizerInit(quantizer)) {
        GxFree(quantizer);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    for (GxInt32 i = 0; i < count; i++) {
        GxPaletteQuantizerAddImage(quantizer, images[i], 1.0f);
    }
    // No entry means the quantiser lost its tree to a failed allocation: nothing can be matched.
    GxBool result = GxPaletteQuantizerMakePalette(palette, 1 << depth, quantizer) > 0 ? 1 : 0;
    for (GxInt32 i = 0; result && i < count; i++) {
        GxImage* indexed = NewImage(images[i]->width, images[i]->height, depth);
        if (indexed == nullptr) {
            result = 0;
            break;
        }
        GxPaletteQuantizerMatchImage(indexed->pixels, indexed->stride, depth, 0, quantizer, images[i]);
        // A copy: the caller's palette may not outlive the images (a work array on its stack).
        std::memcpy(indexed->palette, palette, sizeof(GxRGBA) << depth);
        indexed->flags |= images[i]->flags & gxIMAGEGAMMASET;
        if (images[i] != keep) {
            GxImageDestroy(images[i]);
        }
        images[i] = indexed;
    }
    GxPaletteQuantizerTerm(quantizer);
    GxFree(quantizer);
    return result;
}

GxBool GxTextureGenerateMipmapName(GxChar* name, GxChar* maskName, GxUInt8 mipLevel, GxInt32 /*format*/)
{
    static const GxChar digits[] = "0123456789abcdef";
    if (mipLevel == 0 || mipLevel > 15) {
        return 1;
    }
    const GxChar suffix[3] = {'m', digits[mipLevel], '\0'};
    // The work buffers keep room for the suffix beyond the longest name.
    if (name != nullptr && std::strlen(name) + 2 < static_cast<size_t>(gxTEXTURENAMEBUFFER)) {
        std::strcat(name, suffix);
    }
    if (maskName != nullptr && maskName[0] != '\0' &&
        std::strlen(maskName) + 2 < static_cast<size_t>(gxTEXTURENAMEBUFFER)) {
        std::strcat(maskName, suffix);
    }
    return 1;
}

GxBool GxTextureDefaultGenerateMipmaps(GxRaster* raster, GxImage* image)
{
    GX_ASSERT(raster != nullptr, "a raster to fill");
    const GxInt32 levels = GxRasterGetNumLevels(raster);
    if (levels < 1 || levels > gxTEXTUREMAXMIPLEVELS) {
        return 0;
    }
    GxImage* base = BaseImage(raster, image);
    if (base == nullptr) {
        return 0;
    }
    const bool automatic = (GxRasterGetFormat(raster) & gxRASTERFORMATAUTOMIPMAP) != 0;
    SetAutoMipmapBit(raster, false);
    GxImage* images[gxTEXTUREMAXMIPLEVELS] = {};
    images[0] = base;
    const bool ok = GenerateLevels(raster, image, images, levels);
    // The given image is the caller's; everything else made here goes.
    DestroyImages(images, 0, levels, image);
    SetAutoMipmapBit(raster, automatic);
    return ok ? 1 : 0;
}
