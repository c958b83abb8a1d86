// Texture module: texture objects, the read path from image files, mipmap naming and generation, the texture chunk.
#include <cstring>

#include "gfx/core/core_local.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture_local.h"

GxPluginRegistry gxTextureTKList = GxPluginRegistryInitializer(sizeof(GxTexture), 0);

namespace {

constexpr GxUInt32 kTextureListHint = 0x40006;
constexpr GxUInt32 kTextureHint = 0x30006;
constexpr GxUInt32 kDictionaryListHint = 0x40408;
constexpr GxUInt32 kWorkHint = 0x10006;
constexpr GxInt32 kTexturesPerBlock = 128;
constexpr GxInt32 kDictionariesPerBlock = 5;
constexpr GxUInt32 kDefaultFilterAddressing = 0x1101;
constexpr GxUInt32 kStructSize = 4;
constexpr GxUInt32 kStreamNameSize = 128;
// Bit of the stored flags word: the file carries its own mip levels.
constexpr GxUInt32 kStoredLevelsBit = 0x10000;
constexpr GxInt32 kLockWriteNoFetch = gxRASTERLOCKWRITE | gxRASTERLOCKNOFETCH;

GxInt32 textureModuleOffset = -1;
GxInt32 textureModuleInstances = 0;
GxTexDictionary* defaultDictionary = nullptr;

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

GxInt32 PaletteDepth(const GxRaster* raster)
{
    return (GxRasterGetFormat(raster) & gxRASTERFORMATPAL4) ? 4 : 8;
}

// Images already corrected are left alone, so a level is never corrected twice.
bool GammaCorrect(GxImage* image)
{
    return (image->flags & gxIMAGEGAMMASET) || GxImageGammaCorrect(image) != nullptr;
}

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

void CallMipmapName(GxTextureModuleBlock* block, GxChar* name, GxChar* mask, GxUInt8 level, GxInt32 flags)
{
    if (block->mipmapName != nullptr) {
        block->mipmapName(name, mask, level, flags);
    }
}

GxTexture* MakeTexture(GxRaster* raster, const GxChar* name, const GxChar* mask)
{
    GxTexture* texture = GxTextureCreate(raster);
    if (texture == nullptr) {
        return nullptr;
    }
    GxTextureSetName(texture, name);
    GxTextureSetMaskName(texture, mask != nullptr ? mask : "");
    return texture;
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
        GxImageDestroy(resized);
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

GxTexture* ReadSingle(GxTextureModuleBlock* block, const GxChar* name, const GxChar* mask)
{
    GxChar nameBuffer[gxTEXTURENAMEBUFFER];
    GxChar maskBuffer[gxTEXTURENAMEBUFFER];
    CopyWorkName(nameBuffer, name);
    CopyWorkName(maskBuffer, mask);
    CallMipmapName(block, nameBuffer, maskBuffer, 0, gxRASTERTYPETEXTURE);
    GxInt32 width = 0, height = 0, depth = 0, format = 0;
    GxImage* image = GxTextureImageReadForRaster(nameBuffer, maskBuffer, gxRASTERTYPETEXTURE, &width, &height, &depth,
                                                 &format);
    if (image == nullptr) {
        return nullptr;
    }
    GxRaster* raster = GxRasterCreate(width, height, depth, format);
    if (raster == nullptr) {
        GxImageDestroy(image);
        return nullptr;
    }
    GxRGBA palette[256];
    if (Palettised(raster) && !GxTextureImagesMakePalette(palette, nullptr, &image, 1, PaletteDepth(raster))) {
        GxImageDestroy(image);
        GxRasterDestroy(raster);
        return nullptr;
    }
    const bool filled = GammaCorrect(image) && GxTextureRasterFromImage(raster, image) != nullptr;
    GxImageDestroy(image);
    if (!filled) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxTexture* texture = MakeTexture(raster, name, mask);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
    }
    return texture;
}

// Reads the images of levels 1 and on at the sizes the raster gives them.
bool ReadLevelImages(GxTextureModuleBlock* block, GxRaster* raster, const GxChar* name, const GxChar* mask,
                     GxImage** images, GxInt32 levels)
{
    for (GxInt32 level = 1; level < levels; level++) {
        GxChar nameBuffer[gxTEXTURENAMEBUFFER];
        GxChar maskBuffer[gxTEXTURENAMEBUFFER];
        CopyWorkName(nameBuffer, name);
        CopyWorkName(maskBuffer, mask);
        CallMipmapName(block, nameBuffer, maskBuffer, static_cast<GxUInt8>(level), GxRasterGetFormat(raster) | raster->type);
        if (GxRasterLock(raster, static_cast<GxUInt8>(level), kLockWriteNoFetch) == nullptr) {
            return false;
        }
        GxInt32 width = raster->width;
        GxInt32 height = raster->height;
        GxInt32 depth = raster->depth;
        GxInt32 format = GxRasterGetFormat(raster) | raster->type;
        GxRasterUnlock(raster);
        images[level] = GxTextureImageReadForRaster(nameBuffer, maskBuffer, format, &width, &height, &depth, &format);
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
            const bool filled = GxTextureRasterFromImage(raster, images[level]) != nullptr;
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
    bool ok = ReadLevelImages(block, raster, name, mask, images, levels);
    GxRGBA palette[256];
    if (ok && Palettised(raster)) {
        ok = GxTextureImagesMakePalette(palette, nullptr, images, levels, PaletteDepth(raster)) &&
             GammaCorrect(images[0]);
    } else {
        for (GxInt32 level = 0; ok && level < levels; level++) {
            ok = GammaCorrect(images[level]);
        }
    }
    ok = ok && WriteLevels(raster, images, levels);
    DestroyImages(images, 0, levels);
    if (!ok) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxTexture* texture = MakeTexture(raster, name, mask);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
    }
    return texture;
}

// ---- mipmap generation ----

GxImage* BaseImage(GxRaster* raster, GxImage* image)
{
    if (image == nullptr) {
        GxImage* base = NewImage(raster->width, raster->height, 32);
        if (base != nullptr && GxTextureImageFromRaster(base, raster) == nullptr) {
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
    GxRGBA palette[256];
    if (Palettised(raster)) {
        return GxTextureImagesMakePalette(palette, given, images, levels, PaletteDepth(raster)) &&
               GammaCorrect(images[0]) && WriteLevels(raster, images, levels, given);
    }
    for (GxInt32 level = 0; level < levels; level++) {
        if (!GammaCorrect(images[level])) {
            return false;
        }
    }
    return WriteLevels(raster, images, levels, given);
}

// ---- the texture chunk ----

bool ReadFlags(GxStream* stream, GxUInt32* flags)
{
    if (!GxTextureReadStructWord(stream, flags)) {
        return false;
    }
    if ((*flags & 0xF000) == 0) {
        *flags |= (*flags & 0x0F00) << 4;
    }
    return true;
}

GxTextureModuleBlock* BlockAt(void* instance, GxInt32 offset)
{
    return reinterpret_cast<GxTextureModuleBlock*>(static_cast<char*>(instance) + offset);
}

void DestroyFreeLists(GxTextureModuleBlock* block)
{
    if (block->textureFreeList != nullptr) {
        GxFreeListDestroy(block->textureFreeList);
        block->textureFreeList = nullptr;
    }
    if (block->dictionaryFreeList != nullptr) {
        GxFreeListDestroy(block->dictionaryFreeList);
        block->dictionaryFreeList = nullptr;
    }
}

void* TextureModuleOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    GxTextureModuleBlock* block = BlockAt(instance, offset);
    std::memset(block, 0, sizeof(*block));
    block->textureFreeList = GxFreeListCreateAndPreallocate(gxTextureTKList.sizeOfStruct, kTexturesPerBlock,
                                                            alignof(GxTexture), 1, nullptr, kTextureListHint);
    block->dictionaryFreeList = GxFreeListCreateAndPreallocate(gxTexDictionaryTKList.sizeOfStruct,
                                                               kDictionariesPerBlock, alignof(GxTexDictionary), 1,
                                                               nullptr, kDictionaryListHint);
    if (block->textureFreeList == nullptr || block->dictionaryFreeList == nullptr) {
        DestroyFreeLists(block);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    GxLinkInit(&block->dictionaryList);
    block->readCallBack = GxTextureDefaultRead;
    block->findCallBack = GxTextureDefaultFind;
    block->mipmapGeneration = GxTextureDefaultGenerateMipmaps;
    block->mipmapName = GxTextureGenerateMipmapName;
    textureModuleOffset = offset;
    textureModuleInstances++;
    defaultDictionary = GxTexDictionaryCreate();
    if (defaultDictionary == nullptr) {
        textureModuleInstances--;
        DestroyFreeLists(block);
        return nullptr;
    }
    block->currentDictionary = defaultDictionary;
    return instance;
}

void* TextureModuleClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    GxTextureModuleBlock* block = BlockAt(instance, offset);
    if (block->scratch != nullptr) {
        GxFree(block->scratch);
        block->scratch = nullptr;
        block->scratchSize = 0;
    }
    for (GxLink* link = block->dictionaryList.next; link != &block->dictionaryList; link = link->next) {
        if (GxLinkGetData(link, GxTexDictionary, lInInstance) == defaultDictionary) {
            GxTexDictionaryDestroy(defaultDictionary);
            break;
        }
    }
    defaultDictionary = nullptr;
    block->currentDictionary = nullptr;
    DestroyFreeLists(block);
    textureModuleInstances--;
    return instance;
}

}  // namespace

// ---- image and raster exchange through the device ----

GxRaster* GxTextureRasterFromImage(GxRaster* raster, GxImage* image)
{
    if (!GxEngineStandardCall(gxSTANDARDRASTERSETIMAGE, raster, image, 0)) {
        return nullptr;
    }
    if (image->flags & gxIMAGEGAMMASET) {
        raster->privateFlags |= gxRASTERGAMMACORRECTED;
    }
    return raster;
}

GxImage* GxTextureImageFromRaster(GxImage* image, GxRaster* raster)
{
    if (!GxEngineStandardCall(gxSTANDARDIMAGEGETRASTER, image, raster, 0)) {
        return nullptr;
    }
    if (raster->privateFlags & gxRASTERGAMMACORRECTED) {
        image->flags |= gxIMAGEGAMMASET;
    }
    return image;
}

bool GxTextureFindRasterFormat(GxImage* image, GxInt32 flags, GxInt32* width, GxInt32* height, GxInt32* depth,
                               GxInt32* format)
{
    GxRaster scratch;
    std::memset(&scratch, 0, sizeof(scratch));
    if (!GxEngineStandardCall(gxSTANDARDIMAGEFINDRASTERFORMAT, &scratch, image, flags)) {
        return false;
    }
    *width = scratch.width;
    *height = scratch.height;
    *depth = scratch.depth;
    *format = (static_cast<GxInt32>(scratch.format) << 8) | scratch.type;
    return true;
}

const GxCoreModule gxTextureModule = {0x408, sizeof(GxTextureModuleBlock), TextureModuleOpen, TextureModuleClose};

// ---- module internals ----

GxTextureModuleBlock* GxTextureModuleGetBlock(void)
{
    void* block = GxCoreModuleBlock(textureModuleOffset, textureModuleInstances);
    if (block == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
    }
    return static_cast<GxTextureModuleBlock*>(block);
}

GxBool GxTextureNamesMatch(const GxChar* a, const GxChar* b)
{
    for (;; a++, b++) {
        GxChar x = *a;
        GxChar y = *b;
        if (x >= 'a' && x <= 'z') {
            x = static_cast<GxChar>(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = static_cast<GxChar>(y - 'a' + 'A');
        }
        if (x != y) {
            return 0;
        }
        if (x == '\0') {
            return 1;
        }
    }
}

void GxTextureCopyName(GxChar* field, const GxChar* text)
{
    if (text == nullptr) {
        text = "";
    }
    const size_t length = std::strlen(text);
    const size_t kept = length < static_cast<size_t>(gxTEXTURENAMELENGTH) ? length : gxTEXTURENAMELENGTH - 1;
    if (length >= static_cast<size_t>(gxTEXTURENAMELENGTH)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNAMETOOLONG);
    }
    std::memcpy(field, text, kept);
    std::memset(field + kept, 0, gxTEXTURENAMELENGTH - kept);
}

void GxTextureUnlinkFromDictionary(GxTexture* texture)
{
    if (texture->dictionary != nullptr) {
        GxLinkRemove(&texture->lInDictionary);
        GxLinkInit(&texture->lInDictionary);
        texture->dictionary = nullptr;
    }
}

// ---- textures ----

GxTexture* GxTextureCreate(GxRaster* raster)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return nullptr;
    }
    auto* texture = static_cast<GxTexture*>(GxFreeListAllocEntry(block->textureFreeList, kTextureHint));
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    texture->raster = raster;
    texture->dictionary = nullptr;
    GxLinkInit(&texture->lInDictionary);
    std::memset(texture->name, 0, sizeof(texture->name));
    std::memset(texture->mask, 0, sizeof(texture->mask));
    texture->filterAddressing = kDefaultFilterAddressing;
    texture->refCount = 1;
    if (GxPluginRegistryInitObject(&gxTextureTKList, texture) == nullptr) {
        GxFreeListFreeEntry(block->textureFreeList, texture);
        return nullptr;
    }
    return texture;
}

GxBool GxTextureDestroy(GxTexture* texture)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    // A texture already freed must not be freed twice.
    if (texture->refCount <= 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    if (--texture->refCount > 0) {
        return 1;
    }
    // Held at 1 so that destructors looking at the texture see a live one.
    texture->refCount = 1;
    GxPluginRegistryDeInitObject(&gxTextureTKList, texture);
    GxTextureUnlinkFromDictionary(texture);
    if (texture->raster != nullptr) {
        GxRasterDestroy(texture->raster);
        texture->raster = nullptr;
    }
    texture->refCount = 0;
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block != nullptr) {
        GxFreeListFreeEntry(block->textureFreeList, texture);
    }
    return 1;
}

GxTexture* GxTextureAddRef(GxTexture* texture)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    texture->refCount++;
    return texture;
}

GxTexture* GxTextureSetName(GxTexture* texture, const GxChar* name)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    GxTextureCopyName(texture->name, name);
    return texture;
}

GxTexture* GxTextureSetMaskName(GxTexture* texture, const GxChar* maskName)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    GxTextureCopyName(texture->mask, maskName);
    return texture;
}

GxTexture* GxTextureSetRaster(GxTexture* texture, GxRaster* raster)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    if (raster == nullptr) {
        texture->raster = nullptr;
        return texture;
    }
    return GxEngineStandardCall(gxSTANDARDTEXTURESETRASTER, texture, raster, 0) ? texture : nullptr;
}

GxTexture* GxTextureSetFilterMode(GxTexture* texture, GxUInt8 filter)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    texture->filterAddressing = (texture->filterAddressing & 0xFF00) | filter;
    return texture;
}

GxTexture* GxTextureSetAddressing(GxTexture* texture, GxUInt8 addressing)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    const GxUInt32 mode = addressing & 0x0F;
    texture->filterAddressing = (texture->filterAddressing & 0x00FF) | (mode << 8) | (mode << 12);
    return texture;
}

GxTexture* GxTextureSetAddressingU(GxTexture* texture, GxUInt8 addressing)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    texture->filterAddressing = (texture->filterAddressing & 0xF0FF) | (static_cast<GxUInt32>(addressing & 0x0F) << 8);
    return texture;
}

GxTexture* GxTextureSetAddressingV(GxTexture* texture, GxUInt8 addressing)
{
    if (texture == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    texture->filterAddressing = (texture->filterAddressing & 0x0FFF) | (static_cast<GxUInt32>(addressing & 0x0F) << 12);
    return texture;
}

GxTexture* GxTextureRead(const GxChar* name, const GxChar* maskName)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return nullptr;
    }
    if (name == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    GxTexture* texture = block->findCallBack != nullptr ? block->findCallBack(name) : nullptr;
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

GxBool GxTextureSetReadCallback(GxTextureCallBackRead callBack)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return 0;
    }
    block->readCallBack = callBack;
    return 1;
}

GxTextureCallBackRead GxTextureGetReadCallback(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    return block != nullptr ? block->readCallBack : nullptr;
}

GxBool GxTextureSetMipmapping(GxBool enable)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return 0;
    }
    block->mipmapping = enable;
    return 1;
}

GxBool GxTextureGetMipmapping(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    return block != nullptr ? block->mipmapping : 0;
}

GxBool GxTextureSetAutoMipmapping(GxBool enable)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return 0;
    }
    block->autoMipmapping = enable;
    return 1;
}

GxBool GxTextureGetAutoMipmapping(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    return block != nullptr ? block->autoMipmapping : 0;
}

GxBool GxTextureSetMipmapGenerationCallback(GxTextureCallBackMipmapGeneration callBack)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return 0;
    }
    block->mipmapGeneration = callBack;
    return 1;
}

GxTextureCallBackMipmapGeneration GxTextureGetMipmapGenerationCallback(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    return block != nullptr ? block->mipmapGeneration : nullptr;
}

GxBool GxTextureSetMipmapNameCallback(GxTextureCallBackMipmapName callBack)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return 0;
    }
    block->mipmapName = callBack;
    return 1;
}

GxTextureCallBackMipmapName GxTextureGetMipmapNameCallback(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    return block != nullptr ? block->mipmapName : nullptr;
}

GxBool GxTextureRasterGenerateMipmaps(GxRaster* raster, GxImage* image)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr || raster == nullptr) {
        return 0;
    }
    return block->mipmapGeneration != nullptr ? block->mipmapGeneration(raster, image) : 0;
}

// ---- default callbacks ----

GxTexture* GxTextureDefaultFind(const GxChar* name)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr || name == nullptr) {
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
    if (block == nullptr || name == nullptr) {
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
    if (block == nullptr || name == nullptr) {
        return nullptr;
    }
    GxChar nameBuffer[gxTEXTURENAMEBUFFER];
    GxChar maskBuffer[gxTEXTURENAMEBUFFER];
    CopyWorkName(nameBuffer, name);
    CopyWorkName(maskBuffer, maskName);
    GxInt32 flags = gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP;
    if (block->autoMipmapping) {
        flags |= gxRASTERFORMATAUTOMIPMAP;
    }
    CallMipmapName(block, nameBuffer, maskBuffer, 0, flags);
    GxInt32 width = 0, height = 0, depth = 0, format = 0;
    GxImage* image = GxTextureImageReadForRaster(nameBuffer, maskBuffer, flags, &width, &height, &depth, &format);
    if (image == nullptr) {
        return nullptr;
    }
    GxRaster* raster = GxRasterCreate(width, height, depth, format);
    if (raster == nullptr) {
        GxImageDestroy(image);
        return nullptr;
    }
    if (!(GxRasterGetFormat(raster) & gxRASTERFORMATAUTOMIPMAP)) {
        return ReadMipmappedLevels(block, raster, image, name, maskName);
    }
    GxRGBA palette[256];
    bool filled = (!Palettised(raster) || GxTextureImagesMakePalette(palette, nullptr, &image, 1, PaletteDepth(raster))) &&
                  GammaCorrect(image) && GxTextureRasterFromImage(raster, image) != nullptr;
    GxImageDestroy(image);
    if (!filled) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxTexture* texture = MakeTexture(raster, name, maskName);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
    }
    return texture;
}

GxImage* GxTextureImageReadForRaster(const GxChar* name, const GxChar* maskName, GxInt32 rasterFlags,
                                     GxInt32* width, GxInt32* height, GxInt32* depth, GxInt32* format)
{
    if (name == nullptr || width == nullptr || height == nullptr || depth == nullptr || format == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    GxChar nameBuffer[gxTEXTURENAMEBUFFER];
    GxChar maskBuffer[gxTEXTURENAMEBUFFER];
    CopyWorkName(nameBuffer, name);
    CopyWorkName(maskBuffer, maskName);
    AppendFoundExtension(nameBuffer);
    if (maskBuffer[0] != '\0') {
        AppendFoundExtension(maskBuffer);
    }
    GxImage* image = GxImageReadMaskedImage(nameBuffer, maskBuffer[0] != '\0' ? maskBuffer : nullptr);
    if (image == nullptr) {
        return nullptr;
    }
    if (*width == 0 || *height == 0) {
        if (!GxTextureFindRasterFormat(image, rasterFlags, width, height, depth, format)) {
            GxImageDestroy(image);
            GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
            return nullptr;
        }
    }
    if (*width <= 0 || *height <= 0) {
        GxImageDestroy(image);
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    if (image->width == *width && image->height == *height) {
        return image;
    }
    return FitImage(image, *width, *height);
}

GxBool GxTextureImagesMakePalette(GxRGBA* palette, GxImage* keep, GxImage** images, GxInt32 count, GxInt32 depth)
{
    if (palette == nullptr || images == nullptr || count < 1 || images[0] == nullptr || (depth != 4 && depth != 8)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
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
    GxPaletteQuantizerMakePalette(palette, 1 << depth, quantizer);
    GxBool result = 1;
    for (GxInt32 i = 0; i < count; i++) {
        GxImage* indexed = NewImage(images[i]->width, images[i]->height, depth);
        if (indexed == nullptr) {
            result = 0;
            break;
        }
        GxPaletteQuantizerMatchImage(indexed->pixels, indexed->stride, depth, 0, quantizer, images[i]);
        indexed->palette = palette;
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
    if (raster == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return 0;
    }
    const GxInt32 levels = GxRasterGetNumLevels(raster);
    if (levels == 1) {
        return 1;
    }
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

// ---- plugins ----

GxInt32 GxTextureRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxTextureTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxTextureRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                      GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxTextureTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxTextureGetPluginOffset(GxUInt32 pluginID)
{
    return GxPluginRegistryGetPluginOffset(&gxTextureTKList, pluginID);
}

// ---- the texture chunk ----

GxInt32 GxTextureExtensionStreamGetSize(const GxTexture* texture)
{
    return GxPluginRegistryGetSize(&gxTextureTKList, texture);
}

GxBool GxTextureExtensionStreamWrite(const GxTexture* texture, GxStream* stream)
{
    return GxPluginRegistryWriteDataChunks(&gxTextureTKList, stream, texture) != nullptr;
}

GxBool GxTextureExtensionStreamRead(GxTexture* texture, GxStream* stream)
{
    return GxPluginRegistryReadDataChunks(&gxTextureTKList, stream, texture) != nullptr;
}

GxUInt32 GxTextureStreamGetSize(const GxTexture* texture)
{
    if (texture == nullptr) {
        return 0;
    }
    return kStructSize + GxStringStreamGetSize(texture->name) + GxStringStreamGetSize(texture->mask) +
           static_cast<GxUInt32>(GxTextureExtensionStreamGetSize(texture)) + 4 * gxCHUNKHEADERSIZE;
}

const GxTexture* GxTextureStreamWrite(const GxTexture* texture, GxStream* stream)
{
    if (texture == nullptr || stream == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    GxUInt32 flags = texture->filterAddressing & 0xFFFF;
    if (texture->raster != nullptr && !(GxRasterGetFormat(texture->raster) & gxRASTERFORMATAUTOMIPMAP)) {
        flags |= kStoredLevelsBit;
    }
    if (!GxStreamWriteChunkHeader(stream, gxID_TEXTURE, GxTextureStreamGetSize(texture), gxLIBRARYVERSION,
                                  gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, kStructSize, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, &flags, sizeof(flags)) || !GxStringStreamWrite(texture->name, stream) ||
        !GxStringStreamWrite(texture->mask, stream) || !GxTextureExtensionStreamWrite(texture, stream)) {
        return nullptr;
    }
    return texture;
}

GxTexture* GxTextureStreamRead(GxStream* stream)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return nullptr;
    }
    if (stream == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNULLARG);
        return nullptr;
    }
    GxUInt32 flags = 0;
    if (!ReadFlags(stream, &flags)) {
        return nullptr;
    }
    const GxInt32 savedMipmapping = block->mipmapping;
    const GxInt32 savedAutoMipmapping = block->autoMipmapping;
    const GxUInt32 filter = flags & 0xFF;
    const bool mipmapped = filter >= gxFILTERMIPNEAREST && filter <= gxFILTERLINEARMIPLINEAR;
    block->mipmapping = mipmapped;
    block->autoMipmapping = mipmapped && !(flags & kStoredLevelsBit);
    GxChar name[kStreamNameSize];
    GxChar mask[kStreamNameSize];
    if (!GxStringStreamRead(name, stream, kStreamNameSize) || !GxStringStreamRead(mask, stream, kStreamNameSize)) {
        block->mipmapping = savedMipmapping;
        block->autoMipmapping = savedAutoMipmapping;
        return nullptr;
    }
    GxTexture* texture = GxTextureRead(name, mask);
    block->mipmapping = savedMipmapping;
    block->autoMipmapping = savedAutoMipmapping;
    if (texture == nullptr) {
        GxPluginRegistrySkipDataChunks(&gxTextureTKList, stream);
        return nullptr;
    }
    if (texture->refCount != 1) {
        if (!GxPluginRegistrySkipDataChunks(&gxTextureTKList, stream)) {
            GxTextureDestroy(texture);
            return nullptr;
        }
        return texture;
    }
    texture->filterAddressing = flags & 0xFFFF;
    if (!GxTextureExtensionStreamRead(texture, stream)) {
        GxTextureDestroy(texture);
        return nullptr;
    }
    return texture;
}
