// UV animation slots filled and dictionaries written by writers, tools and tests; the program links none of this.
#include "gfx/core/stream.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/uvanim_local.h"
#include "gfx/world/material.h"

GxMaterial* GxUVAnimMaterialSetAnim(GxMaterial* material, GxInt32 slot, GxAnimation* animation)
{
    GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    if (!ext || slot < 0 || slot >= gxMAXUVANIMSLOTS) {
        GxErrorRaise(gxPLUGINUVANIM, gxERRNULLARG);
        return nullptr;
    }
    GxAnimInterpolator* interp = nullptr;
    if (animation) {
        if (!GxUVAnimIsOwnScheme(animation) || !(interp = GxUVAnimBindSlot(animation))) {
            return nullptr;
        }
        GxUVAnimAddRef(animation);
    }
    GxUVAnimReleaseSlot(ext, slot);
    ext->slots[slot] = interp;
    return GxUVAnimKeepChannelMatrices(ext) ? material : nullptr;
}

const GxUVAnimDictionary* GxUVAnimDictionaryStreamWrite(const GxUVAnimDictionary* dictionary, GxStream* stream)
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
