// Fuzz target: geometry chunks carrying skin data (with split tables); whatever reads is written back.
#include "gfx/anim/anim_fuzz_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxAnimFuzzRead(data, size, gxID_GEOMETRY, [](GxStream* stream) {
        GxGeometry* geometry = GxGeometryStreamRead(stream);
        if (!geometry) {
            return;
        }
        GxAnimFuzzWriteBack(
            [](GxStream* out, const void* g) {
                return GxGeometryStreamWrite(static_cast<const GxGeometry*>(g), out) != nullptr;
            },
            geometry);
        GxGeometryDestroy(geometry);
    });
    return 0;
}
