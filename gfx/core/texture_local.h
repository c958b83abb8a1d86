// Texture module internals shared by the texture and the texture-dictionary code.
#pragma once

#include "gfx/core/plugin.h"
#include "gfx/core/texture.h"

struct GxFreeList;

// The texture module's data block inside the engine instance.
struct GxTextureModuleBlock {
    GxLink dictionaryList;
    GxFreeList* textureFreeList;
    GxFreeList* dictionaryFreeList;
    GxTexDictionary* currentDictionary;
    GxTextureCallBackRead readCallBack;
    GxTextureCallBackFind findCallBack;
    GxInt32 mipmapping;
    GxInt32 autoMipmapping;
    GxUInt8* scratch;
    GxUInt16 scratchSize;
    GxTextureCallBackMipmapGeneration mipmapGeneration;
    GxTextureCallBackMipmapName mipmapName;
};

// Null (and an engine-state error) while the module is closed.
GxTextureModuleBlock* GxTextureModuleGetBlock(void);

extern GxPluginRegistry gxTextureTKList;
extern GxPluginRegistry gxTexDictionaryTKList;

// Case-folded (ASCII a-z only) name comparison of the find functions.
GxBool GxTextureNamesMatch(const GxChar* a, const GxChar* b);
// Copies a name into a 32-byte field by the name rule (cut to 31 characters with an error).
void GxTextureCopyName(GxChar* field, const GxChar* text);

// The filter and addressing word of a stored flags word: files written before V addressing existed
// leave it empty, and it then follows U.
GxUInt32 GxTextureStoredFilterAddressing(GxUInt32 flags);

// Reads the 4-byte struct chunk of a texture or dictionary; a struct of another size is a read error.
bool GxTextureReadStructWord(GxStream* stream, GxUInt32* word);

// Unlinks a texture from its dictionary, if any.
void GxTextureUnlinkFromDictionary(GxTexture* texture);

// Bytes of a dictionary chunk's body as it writes; false when a texture cannot say its size.
bool GxTexDictionaryBodySize(const GxTexDictionary* dictionary, GxUInt32* size);
