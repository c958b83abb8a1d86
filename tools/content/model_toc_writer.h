// Model files indexed by a table of contents that lists every chunk after it, so that a composite model's
// file reader finds each by its offset; and the misc models written that way.
#pragma once

#include <string>
#include <vector>

#include "gfx/core/texture.h"

// One whole chunk of a model file, header included.
typedef std::vector<GxUInt8> ContentChunkBytes;

// The table written before the chunks: one entry per chunk, its type (read from its header) and the offset of
// its header from the start of the file. Empty when a chunk is shorter than a header.
std::vector<GxTOCEntry> ContentModelTOC(const std::vector<ContentChunkBytes>& chunks);
// Writes the table, then the chunks, as one file that replaces any old one whole. False on any failure.
bool ContentModelWithTOCWrite(const char* path, const std::vector<ContentChunkBytes>& chunks);

// The ground plate (models/misc/ground.gxs) and the selection ring (models/people/select.gxs) under the
// game root, each a table of contents and one clump. Needs a started engine with the world plugins.
bool ContentWriteMiscModels(const std::string& root, std::string* detail);
