// User-data internals shared by the plugin and the writers' builders: the extension and its entry helpers.
#pragma once

#include "gfx/world/userdata.h"

constexpr GxUInt32 gxUSERDATAHINT = 0x3011F;

struct GxUserDataExtension {
    GxInt32 numArrays;
    GxUserDataArray* arrays;
};

// The extension of a frame or a material; null when the plugin is not attached to this engine.
GxUserDataExtension* GxUserDataFrameExtensionOf(GxFrame* frame);
GxUserDataExtension* GxUserDataMaterialExtensionOf(GxMaterial* material);
// A copy of `length` bytes of `text` with a terminator after them; null when memory ran out.
GxChar* GxUserDataCopyString(const GxChar* text, size_t length);
// Frees an entry's name, strings and data and zeroes it.
void GxUserDataFreeEntry(GxUserDataArray* entry);
