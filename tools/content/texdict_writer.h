// Writers of images dictionaries (0x23), tables of contents (0x24), chunk groups with their name records, and native
// texture dictionaries.
#pragma once

#include <string>
#include <vector>

#include "gfx/core/texture.h"

struct GxImage;
struct GxStream;

// Chunk types of a named chunk group.
constexpr GxUInt32 gxID_CHUNKGROUPSTART = 0x29;
constexpr GxUInt32 gxID_CHUNKGROUPEND = 0x2A;

// One texture of an images dictionary: its level images (level 0 first, 32-bit or palettised),
// names of at most 31 characters, and the filter-and-addressing word.
struct ContentImageTexture {
    std::string name;
    std::string mask;
    std::vector<const GxImage*> levels;
    GxUInt32 filterAddressing = 0x1106;
    // Chunk layout only: the texture whose extension chunk is written (null: an empty extension chunk).
    const GxTexture* extensionSource = nullptr;
};

enum ContentImageDictionaryLayout {
    CONTENTIMAGEDICTIONARYRECORDS = 0,  // fixed records: names, level count, flags, image chunks
    CONTENTIMAGEDICTIONARYCHUNKS = 1,   // level count, image chunks, then a texture chunk per texture
};

// Body size of an images dictionary chunk (0 when a texture can not be written).
GxUInt32 ContentImageDictionaryBodySize(const std::vector<ContentImageTexture>& textures,
                                        ContentImageDictionaryLayout layout);
// Writes the whole chunk, header included; false when a texture has no level, a name does not fit, or a write fails.
bool ContentImageDictionaryWrite(GxStream* stream, const std::vector<ContentImageTexture>& textures,
                                 ContentImageDictionaryLayout layout);

// Writes a table of contents chunk of the given entries.
bool ContentTOCWrite(GxStream* stream, const std::vector<GxTOCEntry>& entries);

// A name record: a 32-bit zero, then a string chunk of at most 32 characters (longer names are refused).
GxUInt32 ContentNameRecordSize(const char* name);
bool ContentNameRecordWrite(GxStream* stream, const char* name);
// The chunk that opens a named group (its body is the name record) and the empty chunk that closes it.
bool ContentChunkGroupStartWrite(GxStream* stream, const char* name);
bool ContentChunkGroupEndWrite(GxStream* stream);

// Writes a texture dictionary chunk (0x16) of four native textures made on the started device: "opaque"
// (888), "alpha" (8888), "mipmapped" (8888 with every level filled) and "compressed" (DXT1), each `size`
// pixels square (a power of two of at least 4). False when a texture can not be made or written.
bool ContentNativeTexDictionaryWrite(GxStream* stream, GxInt32 size);
