// Fuzz target: spline chunk bodies read from arbitrary bytes, and the splines they make evaluated.
#include "gfx/core/spline.h"
#include "gfx/core/fuzz_testing.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GxTestFuzzStart([] { return GxSplinePluginAttach() != 0; }, [] { return true; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxTestFuzzRead(data, size, [](GxStream* stream) {
        GxSpline* spline = GxSplineStreamRead(stream);
        if (spline == nullptr) {
            return;
        }
        GxMatrix matrix;
        const GxV3d up = {0, 1, 0};
        for (int i = -2; i <= 6; i++) {
            GxSplineFindMatrix(spline, gxSPLINEPATHSMOOTH + (i & 1), i * 0.25f, i < 0 ? nullptr : &up, &matrix);
        }
        GxSplineDestroy(spline);
    });
    return 0;
}
