// Fuzz target: geometry chunks (with their morph targets, material list and bin mesh) from arbitrary bytes.
#include "gfx/world/fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzRead(data, size, gxID_GEOMETRY, [](GxStream* stream) {
        GxGeometry* geometry = GxGeometryStreamRead(stream);
        if (geometry) {
            GxStream* out = GxWorldFuzzOpenOut();
            GxGeometryStreamWrite(geometry, out);
            GxWorldFuzzCloseOut(out);
            GxGeometryDestroy(geometry);
        }
    });
    return 0;
}
