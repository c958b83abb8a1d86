// Fuzz target: light chunks from arbitrary bytes.
#include "gfx/world/fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_LIGHT, [](GxStream* stream) {
        GxLight* light = GxLightStreamRead(stream);
        if (light) {
            GxStream* out = GxWorldFuzzOpenOut();
            GxLightStreamWrite(light, out);
            GxWorldFuzzCloseOut(out);
            GxLightDestroy(light);
        }
    });
    return 0;
}
