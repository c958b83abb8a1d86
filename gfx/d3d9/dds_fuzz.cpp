// Fuzz target: DDS files read from arbitrary bytes on the software device, natively and through the CPU conversion.
#include <cstdlib>

#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/dds.h"

namespace {

bool Start()
{
    GxD3D9TestUseBackend("software");
    static HWND window = GxD3D9TestWindow(64, 64);
    return window != nullptr && GxD3D9TestEngineOpen(&window) && GxEngineStart();
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
    GxRaster* raster = GxD3D9RasterReadDDS(stream);
    GxStreamClose(stream, nullptr);
    if (raster != nullptr) {
        GxRasterDestroy(raster);
    }
    GxError error;
    GxErrorGet(&error);
    return 0;
}
