// Writers of images dictionaries, tables of contents, chunk groups and native texture dictionaries.
#include "tools/content/texdict_writer.h"

#include <cstring>

#include "gfx/core/image.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/d3d9/raster.h"
#include "tools/content/content_file.h"
#include "tools/content/image_writer.h"

namespace {

constexpr GxUInt32 kRecordFixedSize = 72;
constexpr GxUInt32 kFlagsStructSize = 4;
constexpr size_t kMaxRecordName = gxTEXTURENAMELENGTH - 1;
constexpr size_t kMaxGroupName = 32;

GxUInt32 ExtensionBodySize(const ContentImageTexture& texture)
{
    return texture.extensionSource ? static_cast<GxUInt32>(GxTextureExtensionStreamGetSize(texture.extensionSource))
                                   : 0;
}

GxUInt32 TextureChunkBodySize(const ContentImageTexture& texture)
{
    return 4 * gxCHUNKHEADERSIZE + kFlagsStructSize + GxStringStreamGetSize(texture.name.c_str()) +
           GxStringStreamGetSize(texture.mask.c_str()) + ExtensionBodySize(texture);
}

bool Writable(const ContentImageTexture& texture, ContentImageDictionaryLayout layout)
{
    if (texture.levels.empty() || texture.levels.size() > static_cast<size_t>(gxTEXTUREMAXMIPLEVELS)) {
        return false;
    }
    for (const GxImage* image : texture.levels) {
        if (image == nullptr) {
            return false;
        }
    }
    // Record names live in 32-byte fields; chunk names are read into 128-byte buffers.
    const size_t limit = layout == CONTENTIMAGEDICTIONARYRECORDS ? kMaxRecordName : 127;
    return texture.name.size() <= limit && texture.mask.size() <= limit;
}

GxUInt32 TextureEntrySize(const ContentImageTexture& texture, ContentImageDictionaryLayout layout)
{
    GxUInt32 size = layout == CONTENTIMAGEDICTIONARYRECORDS ? kRecordFixedSize : 4;
    for (const GxImage* image : texture.levels) {
        size += ContentImageStreamGetSize(image);
    }
    if (layout == CONTENTIMAGEDICTIONARYCHUNKS) {
        size += gxCHUNKHEADERSIZE + TextureChunkBodySize(texture);
    }
    return size;
}

bool WriteName(GxStream* stream, const std::string& name)
{
    GxChar field[gxTEXTURENAMELENGTH] = {};
    std::memcpy(field, name.data(), name.size());
    return GxStreamWrite(stream, field, sizeof(field)) != nullptr;
}

bool WriteLevels(GxStream* stream, const ContentImageTexture& texture)
{
    for (const GxImage* image : texture.levels) {
        if (!ContentImageStreamWrite(image, stream)) {
            return false;
        }
    }
    return true;
}

bool WriteTextureChunk(GxStream* stream, const ContentImageTexture& texture)
{
    const GxUInt32 flags = texture.filterAddressing & 0xFFFF;
    if (!GxStreamWriteChunkHeader(stream, gxID_TEXTURE, TextureChunkBodySize(texture), gxLIBRARYVERSION,
                                  gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, kFlagsStructSize, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, &flags, sizeof(flags)) || !GxStringStreamWrite(texture.name.c_str(), stream) ||
        !GxStringStreamWrite(texture.mask.c_str(), stream)) {
        return false;
    }
    if (texture.extensionSource != nullptr) {
        return GxTextureExtensionStreamWrite(texture.extensionSource, stream);
    }
    return GxStreamWriteChunkHeader(stream, gxID_EXTENSION, 0, gxLIBRARYVERSION, gxLIBRARYBUILD) != nullptr;
}

bool WriteEntry(GxStream* stream, const ContentImageTexture& texture, ContentImageDictionaryLayout layout)
{
    const GxInt32 levels = static_cast<GxInt32>(texture.levels.size());
    if (layout == CONTENTIMAGEDICTIONARYCHUNKS) {
        return GxStreamWriteInt32(stream, &levels, sizeof(levels)) && WriteLevels(stream, texture) &&
               WriteTextureChunk(stream, texture);
    }
    const GxUInt32 header[2] = {static_cast<GxUInt32>(levels), texture.filterAddressing & 0xFFFF};
    return WriteName(stream, texture.name) && WriteName(stream, texture.mask) &&
           GxStreamWriteInt32(stream, header, sizeof(header)) && WriteLevels(stream, texture);
}

// ---- native dictionary ----

// Bytes of every level of a raster, from its position and level, so a reader's copy can be checked.
bool FillLevels(GxRaster* raster, GxUInt8 seed, bool compressed)
{
    for (GxInt32 level = 0; level < GxRasterGetNumLevels(raster); level++) {
        GxUInt8* pixels = GxRasterLock(raster, static_cast<GxUInt8>(level), gxRASTERLOCKWRITE);
        if (pixels == nullptr) {
            return false;
        }
        const GxInt32 rows = compressed ? (raster->height + 3) / 4 : raster->height;
        for (GxInt32 y = 0; y < rows; y++) {
            for (GxInt32 x = 0; x < raster->stride; x++) {
                pixels[y * raster->stride + x] = static_cast<GxUInt8>(seed + 17 * level + 5 * y + x);
            }
        }
        GxRasterUnlock(raster);
    }
    return true;
}

GxTexture* NativeTexture(GxTexDictionary* dictionary, const char* name, GxRaster* raster, GxUInt8 filter, GxUInt8 seed,
                         bool compressed)
{
    if (raster == nullptr) {
        return nullptr;
    }
    GxTexture* texture = GxTextureCreate(raster);
    if (texture == nullptr) {
        GxRasterDestroy(raster);
        return nullptr;
    }
    GxTextureSetName(texture, name);
    GxTextureSetFilterMode(texture, filter);
    GxTexDictionaryAddTexture(dictionary, texture);
    return FillLevels(raster, seed, compressed) ? texture : nullptr;
}

}  // namespace

GxUInt32 ContentImageDictionaryBodySize(const std::vector<ContentImageTexture>& textures,
                                        ContentImageDictionaryLayout layout)
{
    GxUInt32 size = 4;
    for (const ContentImageTexture& texture : textures) {
        if (!Writable(texture, layout)) {
            return 0;
        }
        size += TextureEntrySize(texture, layout);
    }
    return size;
}

bool ContentImageDictionaryWrite(GxStream* stream, const std::vector<ContentImageTexture>& textures,
                                 ContentImageDictionaryLayout layout)
{
    const GxUInt32 size = ContentImageDictionaryBodySize(textures, layout);
    if (stream == nullptr || size == 0 || textures.size() > 0xFFFF) {
        return false;
    }
    const GxUInt32 header = static_cast<GxUInt32>(textures.size()) | (static_cast<GxUInt32>(layout) << 16);
    if (!GxStreamWriteChunkHeader(stream, gxID_IMAGEDICTIONARY, size, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, &header, sizeof(header))) {
        return false;
    }
    for (const ContentImageTexture& texture : textures) {
        if (!WriteEntry(stream, texture, layout)) {
            return false;
        }
    }
    return true;
}

bool ContentTOCWrite(GxStream* stream, const std::vector<GxTOCEntry>& entries)
{
    if (stream == nullptr || entries.size() > static_cast<size_t>(gxTOCMAXENTRIES)) {
        return false;
    }
    const GxInt32 count = static_cast<GxInt32>(entries.size());
    const GxUInt32 size = 4 + static_cast<GxUInt32>(entries.size()) * gxTOCENTRYSIZE;
    if (!GxStreamWriteChunkHeader(stream, gxID_TOC, size, gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, &count, sizeof(count))) {
        return false;
    }
    for (const GxTOCEntry& entry : entries) {
        const GxUInt32 words[3] = {entry.id, entry.gid, entry.offset};
        if (!GxStreamWriteInt32(stream, words, sizeof(words)) ||
            !GxStreamWrite(stream, entry.guid, sizeof(entry.guid))) {
            return false;
        }
    }
    return true;
}

GxUInt32 ContentNameRecordSize(const char* name) { return 4 + gxCHUNKHEADERSIZE + GxStringStreamGetSize(name); }

bool ContentNameRecordWrite(GxStream* stream, const char* name)
{
    const GxUInt32 zero = 0;
    if (stream == nullptr || name == nullptr || std::strlen(name) > kMaxGroupName) {
        return false;
    }
    return GxStreamWriteInt32(stream, &zero, sizeof(zero)) && GxStringStreamWrite(name, stream);
}

bool ContentChunkGroupStartWrite(GxStream* stream, const char* name)
{
    if (stream == nullptr || name == nullptr || std::strlen(name) > kMaxGroupName) {
        return false;
    }
    return GxStreamWriteChunkHeader(stream, gxID_CHUNKGROUPSTART, ContentNameRecordSize(name), gxLIBRARYVERSION,
                                    gxLIBRARYBUILD) &&
           ContentNameRecordWrite(stream, name);
}

bool ContentChunkGroupEndWrite(GxStream* stream)
{
    return stream != nullptr &&
           GxStreamWriteChunkHeader(stream, gxID_CHUNKGROUPEND, 0, gxLIBRARYVERSION, gxLIBRARYBUILD) != nullptr;
}

bool ContentNativeTexDictionaryWrite(GxStream* stream, GxInt32 size)
{
    if (stream == nullptr || size < 4 || (size & (size - 1)) != 0) {
        return false;
    }
    GxTexDictionary* dictionary = GxTexDictionaryCreate();
    if (dictionary == nullptr) {
        return false;
    }
    const GxInt32 texture = gxRASTERTYPETEXTURE;
    // Added at the head, so the dictionary lists them in the reverse of this order.
    bool made =
        NativeTexture(dictionary, "compressed", GxD3D9RasterCreateFromD3DFormat(size, size, D3DFMT_DXT1, texture),
                      gxFILTERLINEAR, 4, true) &&
        NativeTexture(dictionary, "mipmapped",
                      GxRasterCreate(size, size, 0, texture | gxRASTERFORMAT8888 | gxRASTERFORMATMIPMAP),
                      gxFILTERLINEARMIPLINEAR, 3, false) &&
        NativeTexture(dictionary, "alpha", GxRasterCreate(size, size, 0, texture | gxRASTERFORMAT8888), gxFILTERLINEAR,
                      2, false) &&
        NativeTexture(dictionary, "opaque", GxRasterCreate(size, size, 0, texture | gxRASTERFORMAT888), gxFILTERLINEAR,
                      1, false);
    made = made && GxTexDictionaryStreamWrite(dictionary, stream) != nullptr;
    GxTexDictionaryDestroy(dictionary);
    return made;
}
