// Texture dictionaries: the dictionary object, its native chunk (0x16), the images dictionary (0x23) and tables of
// contents (0x24).
#include <cstddef>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture_local.h"

GxPluginRegistry gxTexDictionaryTKList = GxPluginRegistryInitializer(sizeof(GxTexDictionary), 0);

static_assert(sizeof(GxTOCEntry) == gxTOCENTRYSIZE, "table-of-contents entries are 28 bytes");

namespace {

constexpr GxUInt32 kDictionaryHint = 0x30016;
constexpr GxUInt32 kImageArrayHint = 0x101B3;
constexpr GxUInt32 kTOCHint = 0x1030024;
constexpr GxUInt32 kStructSize = 4;
constexpr GxUInt32 kStreamNameSize = 128;
constexpr GxInt32 kMaxTextures = 0x10000;
// Dictionary header words: a 16-bit texture count, and above it the device identifier (native
// dictionaries) or the layout flag (images dictionaries).
constexpr GxUInt32 kCountMask = 0xFFFF;
constexpr GxUInt32 kHighHalfShift = 16;
// Fewest bytes each stored item can take; a count is checked against what the stream holds with them.
constexpr GxUInt32 kMinImageChunk = 2 * gxCHUNKHEADERSIZE + 16;  // image and struct headers, 4 words
constexpr GxUInt32 kMinNativeTexture = 2 * gxCHUNKHEADERSIZE;    // native and extension headers
constexpr GxUInt32 kMinRecordTexture = 2 * gxTEXTURENAMELENGTH + 8 + kMinImageChunk;
constexpr GxUInt32 kMinChunkTexture = 4 + kMinImageChunk;
constexpr GxInt32 kDeviceRequestGetID = 22;
constexpr GxInt32 kRasterFlagsMipmapped = gxRASTERTYPETEXTURE | gxRASTERFORMATMIPMAP;
constexpr GxInt32 kRasterFlagsAutoMipmapped = kRasterFlagsMipmapped | gxRASTERFORMATAUTOMIPMAP;

GxTexture* TextureOf(GxLink* link) { return GxLinkGetData(link, GxTexture, lInDictionary); }

GxUInt16 DeviceIdentifier()
{
    GxUInt16 id = 0;
    if (!GxEngineDeviceRequest(&GxEngineInstance->dOpenDevice, kDeviceRequestGetID, &id, nullptr, 0)) {
        return 0;
    }
    return static_cast<GxUInt16>(id & 0xFF);
}

// ---- native chunk sizes ----

bool NativeBodySize(const GxTexture* texture, GxUInt32* size)
{
    GxInt32 nativeSize = 0;
    if (!GxEngineStandardCall(gxSTANDARDNATIVETEXTUREGETSIZE, &nativeSize, const_cast<GxTexture*>(texture), 0) ||
        nativeSize <= 0) {
        return false;
    }
    *size = static_cast<GxUInt32>(nativeSize) + static_cast<GxUInt32>(GxTextureExtensionStreamGetSize(texture)) +
            gxCHUNKHEADERSIZE;
    return true;
}

// ---- images dictionary ----

// The images of one stored texture and the raster they become.
struct StoredLevels {
    GxImage** images;
    GxInt32 count;
};

void ReleaseLevels(StoredLevels* levels)
{
    if (levels->images == nullptr) {
        return;
    }
    for (GxInt32 i = 0; i < levels->count; i++) {
        if (levels->images[i] != nullptr) {
            GxImageDestroy(levels->images[i]);
        }
    }
    GxFree(levels->images);
    levels->images = nullptr;
    levels->count = 0;
}

bool AllocateLevels(GxStream* stream, StoredLevels* levels, GxInt32 count)
{
    levels->images = nullptr;
    levels->count = 0;
    if (count < 1 || count > gxTEXTUREMAXMIPLEVELS ||
        !GxStreamCanSupply(stream, static_cast<uint64_t>(count) * kMinImageChunk)) {
        GxErrorRaise(gxPLUGINIMAGEDICTIONARY, gxERRREAD);
        return false;
    }
    levels->images = static_cast<GxImage**>(GxMalloc(sizeof(GxImage*) * count, kImageArrayHint));
    if (levels->images == nullptr) {
        GxErrorRaise(gxPLUGINIMAGEDICTIONARY, gxERRNOMEMORY);
        return false;
    }
    std::memset(levels->images, 0, sizeof(GxImage*) * count);
    levels->count = count;
    return true;
}

bool ReadLevelImages(GxStream* stream, StoredLevels* levels)
{
    for (GxInt32 i = 0; i < levels->count; i++) {
        GxUInt32 length = 0;
        if (!GxStreamFindChunk(stream, gxID_IMAGE, &length, nullptr)) {
            return false;
        }
        levels->images[i] = GxImageStreamReadSized(stream, length);
        if (levels->images[i] == nullptr) {
            return false;
        }
        if (!(levels->images[i]->flags & gxIMAGEGAMMASET) && GxImageGammaCorrect(levels->images[i]) == nullptr) {
            return false;
        }
    }
    return true;
}

// A raster the device scaled: palettised choices become true colour, and every level image is resampled.
GxRaster* FitLevelsToRaster(GxRaster* raster, GxInt32 foundDepth, GxInt32 rasterFlags, StoredLevels* levels)
{
    const GxInt32 width = raster->width;
    const GxInt32 height = raster->height;
    if (foundDepth == 8) {
        GxRasterDestroy(raster);
        raster = GxRasterCreate(width, height, 32, rasterFlags | gxRASTERFORMAT8888);
        if (raster == nullptr) {
            raster = GxRasterCreate(width, height, 16, rasterFlags | gxRASTERFORMAT1555);
        }
        if (raster == nullptr) {
            return nullptr;
        }
    }
    const GxInt32 rasterLevels = GxRasterGetNumLevels(raster);
    GxInt32 levelWidth = raster->width;
    GxInt32 levelHeight = raster->height;
    for (GxInt32 i = 0; i < levels->count && i < rasterLevels; i++) {
        GxImage* resampled = GxImageCreateResample(levels->images[i], levelWidth, levelHeight);
        if (resampled == nullptr) {
            GxRasterDestroy(raster);
            return nullptr;
        }
        GxImageDestroy(levels->images[i]);
        levels->images[i] = resampled;
        levelWidth = levelWidth > 1 ? levelWidth / 2 : 1;
        levelHeight = levelHeight > 1 ? levelHeight / 2 : 1;
    }
    return raster;
}

bool WriteRasterLevels(GxRaster* raster, StoredLevels* levels)
{
    const GxInt32 rasterLevels = GxRasterGetNumLevels(raster);
    for (GxInt32 i = 0; i < levels->count && i < rasterLevels; i++) {
        if (GxRasterLock(raster, static_cast<GxUInt8>(i), gxRASTERLOCKWRITE) == nullptr) {
            return false;
        }
        const bool filled = GxRasterSetFromImage(raster, levels->images[i]) != nullptr;
        GxRasterUnlock(raster);
        if (!filled) {
            return false;
        }
        GxImageDestroy(levels->images[i]);
        levels->images[i] = nullptr;
    }
    return true;
}

// Makes the raster of a stored texture from its level images; the images are used up either way.
GxRaster* BuildRaster(StoredLevels* levels, GxUInt32 filter)
{
    GxInt32 rasterFlags = gxRASTERTYPETEXTURE;
    if (levels->count >= 2) {
        rasterFlags = kRasterFlagsMipmapped;
    } else if (filter != gxFILTERNEAREST && filter != gxFILTERLINEAR) {
        rasterFlags = kRasterFlagsAutoMipmapped;
    }
    GxInt32 width = 0, height = 0, depth = 0, format = 0;
    GxRaster* raster = nullptr;
    if (GxImageFindRasterFormat(levels->images[0], rasterFlags, &width, &height, &depth, &format) != nullptr) {
        raster = GxRasterCreate(width, height, depth, format | rasterFlags);
    }
    if (raster != nullptr &&
        (raster->width != levels->images[0]->width || raster->height != levels->images[0]->height)) {
        raster = FitLevelsToRaster(raster, depth, rasterFlags, levels);
    }
    if (raster == nullptr) {
        ReleaseLevels(levels);
        return nullptr;
    }
    const GxUInt8 automatic = raster->format & (gxRASTERFORMATAUTOMIPMAP >> 8);
    if (levels->count >= 2) {
        raster->format &= static_cast<GxUInt8>(~(gxRASTERFORMATAUTOMIPMAP >> 8));
    }
    const bool written = WriteRasterLevels(raster, levels);
    raster->format |= automatic;
    ReleaseLevels(levels);
    if (!written) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    return raster;
}

// Addressing of a record: an empty axis takes the other's mode, and both empty mean wrap.
GxUInt32 RecordFilterAddressing(GxUInt32 flags)
{
    GxUInt32 u = (flags >> gxTEXTUREADDRESSUSHIFT) & gxTEXTUREADDRESSMODEMASK;
    GxUInt32 v = (flags >> gxTEXTUREADDRESSVSHIFT) & gxTEXTUREADDRESSMODEMASK;
    if (u == 0) {
        u = v;
    }
    if (v == 0) {
        v = u;
    }
    if (u == 0) {
        u = v = gxTEXTUREADDRESSWRAP;
    }
    return (flags & gxTEXTUREFILTERMASK) | (u << gxTEXTUREADDRESSUSHIFT) | (v << gxTEXTUREADDRESSVSHIFT);
}

// What reading one record left behind: a texture, a texture dropped after its record was read whole, or a stream
// stopped somewhere inside the record.
enum class RecordRead {
    kTexture,
    kDropped,
    kBroken
};

RecordRead ReadRecordTexture(GxStream* stream, GxTexDictionary* dictionary)
{
    GxChar name[gxTEXTURENAMELENGTH + 1] = {};
    GxChar mask[gxTEXTURENAMELENGTH + 1] = {};
    GxInt32 header[2] = {0, 0};
    if (GxStreamRead(stream, name, gxTEXTURENAMELENGTH) != static_cast<GxUInt32>(gxTEXTURENAMELENGTH) ||
        GxStreamRead(stream, mask, gxTEXTURENAMELENGTH) != static_cast<GxUInt32>(gxTEXTURENAMELENGTH) ||
        GxStreamReadInt32(stream, header, sizeof(header)) == nullptr) {
        GxErrorRaise(gxPLUGINIMAGEDICTIONARY, gxERRREAD);
        return RecordRead::kBroken;
    }
    const GxUInt32 flags = static_cast<GxUInt32>(header[1]);
    StoredLevels levels;
    if (!AllocateLevels(stream, &levels, header[0])) {
        return RecordRead::kBroken;
    }
    if (!ReadLevelImages(stream, &levels)) {
        ReleaseLevels(&levels);
        return RecordRead::kBroken;
    }
    GxRaster* raster = BuildRaster(&levels, flags & gxTEXTUREFILTERMASK);
    if (raster == nullptr) {
        return RecordRead::kDropped;
    }
    GxTexture* texture = GxTextureCreate(raster);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
        return RecordRead::kDropped;
    }
    GxTextureSetName(texture, name);
    GxTextureSetMaskName(texture, mask);
    texture->filterAddressing = RecordFilterAddressing(flags);
    GxTexDictionaryAddTexture(dictionary, texture);
    return RecordRead::kTexture;
}

// The texture chunk of the chunk layout: a texture without raster, or null after skipping what is left of it.
GxTexture* ReadTextureHeader(GxStream* stream)
{
    GxUInt32 length = 0;
    GxUInt32 flags = 0;
    GxChar name[kStreamNameSize];
    GxChar mask[kStreamNameSize];
    if (!GxStreamFindChunk(stream, gxID_TEXTURE, &length, nullptr) || !GxTextureReadStructWord(stream, &flags) ||
        !GxStringStreamRead(name, stream, kStreamNameSize) || !GxStringStreamRead(mask, stream, kStreamNameSize)) {
        return nullptr;
    }
    flags = GxTextureStoredFilterAddressing(flags);
    GxTexture* texture = GxTextureCreate(nullptr);
    if (texture == nullptr) {
        GxPluginRegistrySkipDataChunks(&gxTextureTKList, stream);
        return nullptr;
    }
    GxTextureSetName(texture, name);
    GxTextureSetMaskName(texture, mask);
    texture->filterAddressing = flags & gxTEXTUREFILTERADDRESSINGMASK;
    return texture;
}

bool ReadChunkTexture(GxStream* stream)
{
    GxInt32 count = 0;
    if (GxStreamReadInt32(stream, &count, sizeof(count)) == nullptr) {
        GxErrorRaise(gxPLUGINIMAGEDICTIONARY, gxERRREAD);
        return false;
    }
    StoredLevels levels;
    if (!AllocateLevels(stream, &levels, count)) {
        return false;
    }
    GxTexture* texture = nullptr;
    if (!ReadLevelImages(stream, &levels) || (texture = ReadTextureHeader(stream)) == nullptr) {
        ReleaseLevels(&levels);
        return false;
    }
    GxRaster* raster = BuildRaster(&levels, GxTextureGetFilterMode(texture));
    if (raster == nullptr) {
        GxTextureDestroy(texture);
        return false;
    }
    if (GxTextureSetRaster(texture, raster) == nullptr) {
        GxRasterDestroy(raster);
        GxTextureDestroy(texture);
        return false;
    }
    if (!GxTextureExtensionStreamRead(texture, stream)) {
        GxTextureDestroy(texture);
        return false;
    }
    GxTexDictionaryAddTexture(GxTexDictionaryGetCurrent(), texture);
    return true;
}

}  // namespace

bool GxTextureReadStructWord(GxStream* stream, GxUInt32* word)
{
    GxUInt32 length = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &length, nullptr)) {
        return false;
    }
    if (length != kStructSize || GxStreamReadInt32(stream, word, sizeof(*word)) == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    return true;
}

// ---- dictionaries ----

GxTexDictionary* GxTexDictionaryCreate(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return nullptr;
    }
    auto* dictionary = static_cast<GxTexDictionary*>(GxFreeListAllocEntry(block->dictionaryFreeList, kDictionaryHint));
    if (dictionary == nullptr) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    dictionary->object.type = gxOBJECTTYPETEXDICTIONARY;
    dictionary->object.subType = 0;
    dictionary->object.flags = 0;
    dictionary->object.privateFlags = 0;
    dictionary->object.parent = nullptr;
    GxLinkInit(&dictionary->texturesInDict);
    GxLinkAddAfter(&block->dictionaryList, &dictionary->lInInstance);
    if (GxPluginRegistryInitObject(&gxTexDictionaryTKList, dictionary) == nullptr) {
        GxLinkRemove(&dictionary->lInInstance);
        GxFreeListFreeEntry(block->dictionaryFreeList, dictionary);
        return nullptr;
    }
    return dictionary;
}

GxBool GxTexDictionaryDestroy(GxTexDictionary* dictionary)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return 0;
    }
    GX_ASSERT(dictionary != nullptr, "a dictionary to destroy");
    if (block->currentDictionary == dictionary) {
        block->currentDictionary = nullptr;
    }
    GxLink* link = dictionary->texturesInDict.next;
    while (link != &dictionary->texturesInDict) {
        GxLink* next = link->next;
        GxTexture* texture = TextureOf(link);
        // A texture other owners still hold must not keep pointing at the freed dictionary.
        if (texture->refCount > 1) {
            GxTextureUnlinkFromDictionary(texture);
        }
        GxTextureDestroy(texture);
        link = next;
    }
    GxPluginRegistryDeInitObject(&gxTexDictionaryTKList, dictionary);
    GxLinkRemove(&dictionary->lInInstance);
    GxFreeListFreeEntry(block->dictionaryFreeList, dictionary);
    return 1;
}

GxTexture* GxTexDictionaryAddTexture(GxTexDictionary* dictionary, GxTexture* texture)
{
    GX_ASSERT(dictionary != nullptr && texture != nullptr, "a dictionary and a texture to add");
    GxTextureUnlinkFromDictionary(texture);
    GxLinkAddAfter(&dictionary->texturesInDict, &texture->lInDictionary);
    texture->dictionary = dictionary;
    return texture;
}

GxTexture* GxTexDictionaryFindNamedTexture(GxTexDictionary* dictionary, const GxChar* name)
{
    GX_ASSERT(dictionary != nullptr && name != nullptr, "a dictionary and a name to look up");
    for (GxLink* link = dictionary->texturesInDict.next; link != &dictionary->texturesInDict; link = link->next) {
        GxTexture* texture = TextureOf(link);
        if (GxTextureNamesMatch(texture->name, name)) {
            return texture;
        }
    }
    return nullptr;
}

const GxTexDictionary* GxTexDictionaryForAllTextures(const GxTexDictionary* dictionary, GxTextureCallBack callBack,
                                                     void* data)
{
    GX_ASSERT(dictionary != nullptr && callBack != nullptr, "a dictionary and a callback");
    const GxLink* head = &dictionary->texturesInDict;
    GxLink* link = head->next;
    while (link != head) {
        GxLink* next = link->next;
        if (callBack(TextureOf(link), data) == nullptr) {
            break;
        }
        link = next;
    }
    return dictionary;
}

GxInt32 GxTexDictionaryGetNumTextures(const GxTexDictionary* dictionary)
{
    GX_ASSERT(dictionary != nullptr, "a dictionary to count");
    GxInt32 count = 0;
    for (const GxLink* link = dictionary->texturesInDict.next; link != &dictionary->texturesInDict; link = link->next) {
        count++;
    }
    return count;
}

GxTexDictionary* GxTexDictionarySetCurrent(GxTexDictionary* dictionary)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr) {
        return nullptr;
    }
    block->currentDictionary = dictionary;
    return dictionary;
}

GxTexDictionary* GxTexDictionaryGetCurrent(void)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    return block != nullptr ? block->currentDictionary : nullptr;
}

// ---- the native texture dictionary chunk ----

bool GxTexDictionaryBodySize(const GxTexDictionary* dictionary, GxUInt32* size)
{
    GxUInt32 total = gxCHUNKHEADERSIZE + kStructSize;
    for (GxLink* link = dictionary->texturesInDict.next; link != &dictionary->texturesInDict; link = link->next) {
        GxUInt32 body = 0;
        if (!NativeBodySize(TextureOf(link), &body)) {
            return false;
        }
        total += body + gxCHUNKHEADERSIZE;
    }
    *size =
        total + static_cast<GxUInt32>(GxPluginRegistryGetSize(&gxTexDictionaryTKList, dictionary)) + gxCHUNKHEADERSIZE;
    return true;
}

const GxTexDictionary* GxTexDictionaryStreamWrite(const GxTexDictionary* dictionary, GxStream* stream)
{
    GX_ASSERT(dictionary != nullptr && stream != nullptr, "a dictionary and a stream to write");
    GxUInt32 size = 0;
    if (!GxTexDictionaryBodySize(dictionary, &size) ||
        !GxStreamWriteChunkHeader(stream, gxID_TEXDICTIONARY, size, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, kStructSize, gxLIBRARYVERSION, gxLIBRARYBUILD)) {
        return nullptr;
    }
    const GxInt32 count = GxTexDictionaryGetNumTextures(dictionary);
    if (count >= kMaxTextures) {
        return nullptr;
    }
    const GxUInt32 word = static_cast<GxUInt32>(count) | (static_cast<GxUInt32>(DeviceIdentifier()) << kHighHalfShift);
    if (!GxStreamWriteInt32(stream, &word, sizeof(word))) {
        return nullptr;
    }
    for (GxLink* link = dictionary->texturesInDict.next; link != &dictionary->texturesInDict; link = link->next) {
        GxTexture* texture = TextureOf(link);
        GxUInt32 body = 0;
        if (!NativeBodySize(texture, &body) ||
            !GxStreamWriteChunkHeader(stream, gxID_TEXTURENATIVE, body, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
            !GxEngineStandardCall(gxSTANDARDNATIVETEXTUREWRITE, stream, texture, static_cast<GxInt32>(body)) ||
            !GxTextureExtensionStreamWrite(texture, stream)) {
            return nullptr;
        }
    }
    if (!GxPluginRegistryWriteDataChunks(&gxTexDictionaryTKList, stream, dictionary)) {
        return nullptr;
    }
    return dictionary;
}

GxTexDictionary* GxTexDictionaryStreamRead(GxStream* stream)
{
    GX_ASSERT(stream != nullptr, "a stream to read");
    GxUInt32 word = 0;
    if (!GxTextureReadStructWord(stream, &word)) {
        return nullptr;
    }
    const GxInt32 count = static_cast<GxInt32>(word & kCountMask);
    const GxUInt16 storedDevice = static_cast<GxUInt16>(word >> kHighHalfShift);
    const GxUInt16 device = DeviceIdentifier();
    if (storedDevice != 0 && device != 0 && storedDevice != device) {
        return nullptr;
    }
    if (!GxStreamCanSupply(stream, static_cast<uint64_t>(count) * kMinNativeTexture)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    GxTexDictionary* dictionary = GxTexDictionaryCreate();
    if (dictionary == nullptr) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < count; i++) {
        GxUInt32 length = 0;
        GxTexture* texture = nullptr;
        if (!GxStreamFindChunk(stream, gxID_TEXTURENATIVE, &length, nullptr) ||
            !GxEngineStandardCall(gxSTANDARDNATIVETEXTUREREAD, stream, &texture, static_cast<GxInt32>(length))) {
            GxTexDictionaryDestroy(dictionary);
            return nullptr;
        }
        GX_ASSERT(texture != nullptr, "a native read that succeeds gives a texture");
        if (!GxTextureExtensionStreamRead(texture, stream)) {
            GxTextureDestroy(texture);
            GxTexDictionaryDestroy(dictionary);
            return nullptr;
        }
        GxTexDictionaryAddTexture(dictionary, texture);
    }
    if (!GxPluginRegistryReadDataChunks(&gxTexDictionaryTKList, stream, dictionary)) {
        GxTexDictionaryDestroy(dictionary);
        return nullptr;
    }
    return dictionary;
}

// ---- the images dictionary chunk ----

GxTexDictionary* GxTexDictionaryStreamReadImages(GxStream* stream)
{
    GX_ASSERT(stream != nullptr, "a stream to read");
    GxUInt32 header = 0;
    if (GxStreamReadInt32(stream, &header, sizeof(header)) == nullptr) {
        GxErrorRaise(gxPLUGINIMAGEDICTIONARY, gxERRREAD);
        return nullptr;
    }
    const GxInt32 count = static_cast<GxInt32>(header & kCountMask);
    const bool chunkLayout = (header >> kHighHalfShift) != 0;
    const uint64_t least = static_cast<uint64_t>(count) * (chunkLayout ? kMinChunkTexture : kMinRecordTexture);
    if (!GxStreamCanSupply(stream, least)) {
        GxErrorRaise(gxPLUGINIMAGEDICTIONARY, gxERRREAD);
        return nullptr;
    }
    GxTexDictionary* dictionary = GxTexDictionaryCreate();
    if (dictionary == nullptr) {
        return nullptr;
    }
    // A texture whose raster or record the device refuses is dropped and the next record read; a stream stopped
    // inside a record has lost its place, so the whole read fails.
    if (!chunkLayout) {
        for (GxInt32 i = 0; i < count; i++) {
            if (ReadRecordTexture(stream, dictionary) == RecordRead::kBroken) {
                GxTexDictionaryDestroy(dictionary);
                return nullptr;
            }
        }
        return dictionary;
    }
    GxTexDictionary* previous = GxTexDictionaryGetCurrent();
    GxTexDictionarySetCurrent(dictionary);
    for (GxInt32 i = 0; i < count; i++) {
        if (!ReadChunkTexture(stream)) {
            GxTexDictionaryDestroy(dictionary);
            GxTexDictionarySetCurrent(previous);
            return nullptr;
        }
    }
    GxTexDictionarySetCurrent(previous);
    return dictionary;
}

// ---- tables of contents ----

GxTOC* GxTOCStreamRead(GxStream* stream)
{
    GX_ASSERT(stream != nullptr, "a stream to read");
    GxInt32 count = 0;
    if (GxStreamReadInt32(stream, &count, sizeof(count)) == nullptr) {
        GxErrorRaise(gxPLUGINTOC, gxERRREAD);
        return nullptr;
    }
    if (count < 0 || count > gxTOCMAXENTRIES ||
        !GxStreamCanSupply(stream, static_cast<uint64_t>(count) * gxTOCENTRYSIZE)) {
        GxErrorRaise(gxPLUGINTOC, gxERRREAD);
        return nullptr;
    }
    const size_t entryBytes = static_cast<size_t>(count) * gxTOCENTRYSIZE;
    const size_t size = sizeof(GxInt32) + entryBytes < sizeof(GxTOC) ? sizeof(GxTOC) : sizeof(GxInt32) + entryBytes;
    auto* toc = static_cast<GxTOC*>(GxMalloc(size, kTOCHint));
    if (toc == nullptr) {
        GxErrorRaise(gxPLUGINTOC, gxERRNOMEMORY);
        return nullptr;
    }
    toc->numEntries = count;
    void* entries = reinterpret_cast<char*>(toc) + offsetof(GxTOC, entry);
    if (count > 0 && GxStreamReadInt32(stream, entries, static_cast<GxUInt32>(entryBytes)) == nullptr) {
        GxFree(toc);
        GxErrorRaise(gxPLUGINTOC, gxERRREAD);
        return nullptr;
    }
    return toc;
}

GxTOCEntry* GxTOCGetEntry(GxTOC* toc, GxInt32 index)
{
    // The caller keeps the index below the count. The entries run past the declared one-element array.
    return reinterpret_cast<GxTOCEntry*>(reinterpret_cast<char*>(toc) + offsetof(GxTOC, entry)) + index;
}
