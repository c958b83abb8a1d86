// Fuzz target: material-list chunks and the material chunks inside them from arbitrary bytes.
#include "gfx/world/fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_MATLIST, [](GxStream* stream) {
        GxMaterialList list;
        GxMaterialListInitialize(&list);
        if (GxMaterialListStreamRead(stream, &list)) {
            GxStream* out = GxWorldFuzzOpenOut();
            GxMaterialListStreamWrite(&list, out);
            GxWorldFuzzCloseOut(out);
        }
        GxMaterialListDestroy(&list);
    });
    return 0;
}
