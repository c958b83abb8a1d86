// Fuzz target: materials with effect records from arbitrary bytes; what reads is written back and read again.
#include "gfx/fx/fx_testing.h"
#include "gfx/world/material.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFxFuzzStart();
    const std::vector<GxUInt8> bytes(data, data + size);
    if (GxMaterial* material = GxWorldTestRead<GxMaterial>(bytes, 0x07, GxMaterialStreamRead)) {
        const std::vector<GxUInt8> again =
            GxWorldTestWrite([material](GxStream* s) { return GxMaterialStreamWrite(material, s) != nullptr; });
        if (GxMaterial* copy = GxWorldTestRead<GxMaterial>(again, 0x07, GxMaterialStreamRead)) {
            GxMaterialDestroy(copy);
        }
        GxMaterialDestroy(material);
    }
    GxTestTakeError();
    return 0;
}
