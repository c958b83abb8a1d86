// Fuzz target: DDS files read from arbitrary bytes on the software device, natively and through the CPU conversion.
#include "gfx/core/raster.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/fuzz_testing.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GxD3D9FuzzStart();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxD3D9FuzzRead(data, size, [](GxStream* stream) {
        if (GxRaster* raster = GxD3D9RasterReadDDS(stream)) {
            GxRasterDestroy(raster);
        }
    });
    return 0;
}
