// Test access to the texture dictionaries: the body size a dictionary chunk writes and the live dictionaries.
#pragma once

#include "gfx/core/texture.h"
#include "gfx/core/texture_local.h"

// Bytes of the dictionary's chunk body, or 0 for no dictionary or one whose textures cannot say their size.
inline GxUInt32 GxTexDictionaryStreamGetSize(const GxTexDictionary* dictionary)
{
    GxUInt32 size = 0;
    if (dictionary == nullptr || !GxTexDictionaryBodySize(dictionary, &size)) {
        return 0;
    }
    return size;
}

// Calls back for every live dictionary in the module's list order; stops when the callback returns null.
typedef GxTexDictionary* (*GxTexDictionaryCallBack)(GxTexDictionary* dictionary, void* data);
inline GxBool GxTexDictionaryForAllTexDictionaries(GxTexDictionaryCallBack callBack, void* data)
{
    GxTextureModuleBlock* block = GxTextureModuleGetBlock();
    if (block == nullptr || callBack == nullptr) {
        return 0;
    }
    GxLink* link = block->dictionaryList.next;
    while (link != &block->dictionaryList) {
        GxLink* next = link->next;
        if (callBack(GxLinkGetData(link, GxTexDictionary, lInInstance), data) == nullptr) {
            break;
        }
        link = next;
    }
    return 1;
}
