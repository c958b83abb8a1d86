// Fuzz target: spline chunk bodies read from arbitrary bytes, and the splines they make evaluated.
#include <cstdlib>

#include "gfx/core/engine_testing.h"
#include "gfx/core/spline.h"
#include "gfx/core/stream.h"

namespace {

bool Start()
{
    static int window = 0;
    GxTestDeviceInstall();
    return GxEngineInit(nullptr, 0, 0x400000) && GxSplinePluginAttach() && GxEngineOpen(&window) &&
           GxEngineStart();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!Start()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (stream == nullptr) {
        return 0;
    }
    GxSpline* spline = GxSplineStreamRead(stream);
    GxStreamClose(stream, nullptr);
    if (spline != nullptr) {
        GxMatrix matrix;
        const GxV3d up = {0, 1, 0};
        for (int i = -2; i <= 6; i++) {
            GxSplineFindMatrix(spline, gxSPLINEPATHSMOOTH + (i & 1), i * 0.25f, i < 0 ? nullptr : &up, &matrix);
        }
        GxSplineDestroy(spline);
    }
    GxError discard;
    GxErrorGet(&discard);
    return 0;
}
