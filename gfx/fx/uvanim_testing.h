// Test and tool access to UV animation: a material's slots and channel matrices, and the dictionary writer that
// content tools use. The game only reads them.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/engine.h"
#include "gfx/core/stream.h"
#include "gfx/fx/uvanim_local.h"

// Puts `animation` (a new reference is taken) into a material's slot, replacing what was there; null empties it.
inline GxMaterial* GxUVAnimMaterialSetAnim(GxMaterial* material, GxInt32 slot, GxAnimation* animation)
{
    GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    if (!ext || slot < 0 || slot >= gxMAXUVANIMSLOTS) {
        GxErrorRaise(gxPLUGINUVANIM, gxERRNULLARG);
        return nullptr;
    }
    GxAnimInterpolator* interp = nullptr;
    if (animation) {
        const GxInt32 scheme = animation->interpInfo->typeID;
        if ((scheme != gxUVANIMLINEARKEYFRAMETYPEID && scheme != gxUVANIMPARAMKEYFRAMETYPEID) ||
            !(interp = GxUVAnimBindSlot(animation))) {
            return nullptr;
        }
        GxUVAnimAddRef(animation);
    }
    GxUVAnimReleaseSlot(ext, slot);
    ext->slots[slot] = interp;
    return GxUVAnimKeepChannelMatrices(ext) ? material : nullptr;
}

// The body size of a dictionary chunk: its struct chunk with the count, then every entry's animation chunk.
inline GxUInt32 GxUVAnimDictionaryStreamGetSize(const GxUVAnimDictionary* dictionary)
{
    GxUInt32 size = gxCHUNKHEADERSIZE + sizeof(GxUInt32);
    for (GxInt32 i = 0; i < dictionary->numEntries; i++) {
        size += gxCHUNKHEADERSIZE + static_cast<GxUInt32>(GxAnimationStreamGetSize(dictionary->entries[i]));
    }
    return size;
}

// Writes the dictionary chunk (0x2B); null when a write fails.
inline const GxUVAnimDictionary* GxUVAnimDictionaryStreamWrite(const GxUVAnimDictionary* dictionary, GxStream* stream)
{
    const auto count = static_cast<GxUInt32>(dictionary->numEntries);
    if (!GxStreamWriteChunkHeader(stream, gxID_UVANIMDICT, GxUVAnimDictionaryStreamGetSize(dictionary),
                                  gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteChunkHeader(stream, gxID_STRUCT, sizeof(count), gxLIBRARYVERSION, gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, &count, sizeof(count))) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < dictionary->numEntries; i++) {
        if (!GxAnimationStreamWrite(dictionary->entries[i], stream)) {
            return nullptr;
        }
    }
    return dictionary;
}

inline GxAnimInterpolator* GxUVAnimMaterialGetInterpolator(const GxMaterial* material, GxInt32 slot)
{
    const GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    return ext && slot >= 0 && slot < gxMAXUVANIMSLOTS ? ext->slots[slot] : nullptr;
}

// The channel's matrix, null when no animation drives the channel.
inline const GxMatrix* GxUVAnimMaterialGetUVMatrix(const GxMaterial* material, GxInt32 channel)
{
    const GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    return ext && channel >= 0 && channel < gxUVANIMCHANNELS ? ext->uv[channel] : nullptr;
}
