// Fuzz target: UV animation dictionaries and material UV records from arbitrary bytes; what reads is written back
// and played on a material.
#include "gfx/fx/fx_testing.h"
#include "gfx/fx/uvanim_testing.h"
#include "gfx/world/material.h"

namespace {

void Exercise(GxUVAnimDictionary* dictionary)
{
    std::vector<GxUInt8> bytes =
        GxWorldTestWrite([dictionary](GxStream* s) { return GxUVAnimDictionaryStreamWrite(dictionary, s) != nullptr; });
    GxMaterial* material = GxMaterialCreate();
    for (GxInt32 i = 0; i < dictionary->numEntries && i < gxMAXUVANIMSLOTS; i++) {
        GxUVAnimMaterialSetAnim(material, i, dictionary->entries[i]);
    }
    for (GxInt32 step = 0; step < 4; step++) {
        GxUVAnimMaterialAddTime(material, 0.3f);
        GxUVAnimMaterialApply(material);
    }
    GxMaterialDestroy(material);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFxFuzzStart();
    const std::vector<GxUInt8> bytes(data, data + size);
    if (GxUVAnimDictionary* dictionary =
            GxWorldTestRead<GxUVAnimDictionary>(bytes, gxID_UVANIMDICT, GxUVAnimDictionaryStreamRead)) {
        GxUVAnimSetCurrentDictionary(dictionary);
        Exercise(dictionary);
        if (GxMaterial* material = GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead)) {
            GxUVAnimMaterialApply(material);
            GxMaterialDestroy(material);
        }
        GxUVAnimDictionaryDestroy(dictionary);
    } else if (GxMaterial* material = GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead)) {
        GxUVAnimMaterialAddTime(material, 0.5f);
        GxUVAnimMaterialApply(material);
        GxMaterialDestroy(material);
    }
    GxTestTakeError();
    return 0;
}
