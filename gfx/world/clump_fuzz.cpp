// Fuzz target: clump chunks (frames, geometry list, atomics with render rights, lights, cameras) from arbitrary
// bytes; whatever reads is written back and cloned.
#include "gfx/world/fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_CLUMP, [](GxStream* stream) {
        GxClump* clump = GxClumpStreamRead(stream);
        if (!clump) {
            return;
        }
        GxStream* out = GxWorldFuzzOpenOut();
        GxClumpStreamWrite(clump, out);
        GxWorldFuzzCloseOut(out);
        if (GxClump* copy = GxClumpClone(clump)) {
            GxClumpDestroy(copy);
        }
        GxClumpDestroy(clump);
    });
    return 0;
}
