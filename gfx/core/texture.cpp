// Texture module: texture objects and their settings, the module's callbacks and plugins, the texture chunk.
#include <cstring>

#include "gfx/core/assert.h"
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
constexpr GxInt32 kTexturesPerBlock = 128;
constexpr GxInt32 kDictionariesPerBlock = 5;
// Nearest filtering, wrapped both ways: what a new texture starts with.
constexpr GxUInt32 kDefaultFilterAddressing = gxFILTERNEAREST | (gxTEXTUREADDRESSWRAP << gxTEXTUREADDRESSUSHIFT) |
                                              (gxTEXTUREADDRESSWRAP << gxTEXTUREADDRESSVSHIFT);
constexpr GxUInt32 kStructSize = 4;
constexpr GxUInt32 kStreamNameSize = 128;
// Bit of the stored flags word: the file carries its own mip levels.
constexpr GxUInt32 kStoredLevelsBit = 0x10000;

// The filter-and-addressing bits other than the filter mode.
constexpr GxUInt32 kAddressingBits = gxTEXTUREFILTERADDRESSINGMASK & ~gxTEXTUREFILTERMASK;

GxInt32 textureModuleOffset = -1;
GxInt32 textureModuleInstances = 0;
GxTexDictionary* defaultDictionary = nullptr;

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

}  // namespace

void* GxTextureOpen(void* instance, GxInt32 offset, GxInt32 /*size*/)
{
    GxTextureModuleBlock* block = BlockAt(instance, offset);
    std::memset(block, 0, sizeof(*block));
    block->textureFreeList = GxFreeListCreateAndPreallocate(gxTextureTKList.sizeOfStruct, kTexturesPerBlock,
                                                            alignof(GxTexture), 1, nullptr, kTextureListHint);
    block->dictionaryFreeList =
        GxFreeListCreateAndPreallocate(gxTexDictionaryTKList.sizeOfStruct, kDictionariesPerBlock,
                                       alignof(GxTexDictionary), 1, nullptr, kDictionaryListHint);
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

void* GxTextureClose(void* instance, GxInt32 offset, GxInt32 /*size*/)
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

const GxCoreModule gxTextureModule = {0x408, sizeof(GxTextureModuleBlock), GxTextureOpen, GxTextureClose};

// ---- module internals ----

GxUInt32 GxTextureStoredFilterAddressing(GxUInt32 flags)
{
    const GxUInt32 vField = gxTEXTUREADDRESSMODEMASK << gxTEXTUREADDRESSVSHIFT;
    if ((flags & vField) == 0) {
        flags |= ((flags >> gxTEXTUREADDRESSUSHIFT) & gxTEXTUREADDRESSMODEMASK) << gxTEXTUREADDRESSVSHIFT;
    }
    return flags;
}

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
    GX_ASSERT(texture != nullptr, "a texture");
    GX_ASSERT(texture->refCount > 0, "a texture is destroyed once per reference");
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
    GX_ASSERT(texture != nullptr, "a texture");
    texture->refCount++;
    return texture;
}

GxTexture* GxTextureSetName(GxTexture* texture, const GxChar* name)
{
    GX_ASSERT(texture != nullptr, "a texture");
    GxTextureCopyName(texture->name, name);
    return texture;
}

GxTexture* GxTextureSetMaskName(GxTexture* texture, const GxChar* maskName)
{
    GX_ASSERT(texture != nullptr, "a texture");
    GxTextureCopyName(texture->mask, maskName);
    return texture;
}

GxTexture* GxTextureSetRaster(GxTexture* texture, GxRaster* raster)
{
    GX_ASSERT(texture != nullptr, "a texture");
    if (raster == nullptr) {
        texture->raster = nullptr;
        return texture;
    }
    return GxEngineStandardCall(gxSTANDARDTEXTURESETRASTER, texture, raster, 0) ? texture : nullptr;
}

GxTexture* GxTextureSetFilterMode(GxTexture* texture, GxUInt8 filter)
{
    GX_ASSERT(texture != nullptr, "a texture");
    texture->filterAddressing = (texture->filterAddressing & kAddressingBits) | filter;
    return texture;
}

GxTexture* GxTextureSetAddressing(GxTexture* texture, GxUInt8 addressing)
{
    GX_ASSERT(texture != nullptr, "a texture");
    const GxUInt32 mode = addressing & gxTEXTUREADDRESSMODEMASK;
    texture->filterAddressing = (texture->filterAddressing & gxTEXTUREFILTERMASK) | (mode << gxTEXTUREADDRESSUSHIFT) |
                                (mode << gxTEXTUREADDRESSVSHIFT);
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

GxBool GxTextureRasterGenerateMipmaps(GxRaster* raster, GxImage* image)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr || raster == nullptr) {
        return 0;
    }
    return block->mipmapGeneration != nullptr ? block->mipmapGeneration(raster, image) : 0;
}

// ---- plugins ----

GxInt32 GxTextureRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxTextureTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxTextureRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                      GxPluginDataChunkWriteCallBack writeCB,
                                      GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxTextureTKList, pluginID, readCB, writeCB, getSizeCB);
}

// ---- the texture chunk ----

namespace {

bool ReadFlags(GxStream* stream, GxUInt32* flags)
{
    if (!GxTextureReadStructWord(stream, flags)) {
        return false;
    }
    *flags = GxTextureStoredFilterAddressing(*flags);
    return true;
}

}  // namespace

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
    GX_ASSERT(texture != nullptr, "a texture");
    return kStructSize + GxStringStreamGetSize(texture->name) + GxStringStreamGetSize(texture->mask) +
           static_cast<GxUInt32>(GxTextureExtensionStreamGetSize(texture)) + 4 * gxCHUNKHEADERSIZE;
}

const GxTexture* GxTextureStreamWrite(const GxTexture* texture, GxStream* stream)
{
    GX_ASSERT(texture != nullptr && stream != nullptr, "a texture and a stream");
    GxUInt32 flags = texture->filterAddressing & gxTEXTUREFILTERADDRESSINGMASK;
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
    GX_ASSERT(stream != nullptr, "a stream");
    GxUInt32 flags = 0;
    if (!ReadFlags(stream, &flags)) {
        return nullptr;
    }
    const GxInt32 savedMipmapping = block->mipmapping;
    const GxInt32 savedAutoMipmapping = block->autoMipmapping;
    const GxUInt32 filter = flags & gxTEXTUREFILTERMASK;
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
    texture->filterAddressing = flags & gxTEXTUREFILTERADDRESSINGMASK;
    if (!GxTextureExtensionStreamRead(texture, stream)) {
        GxTextureDestroy(texture);
        return nullptr;
    }
    return texture;
}
