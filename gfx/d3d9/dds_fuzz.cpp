// Fuzz target: DDS files read into rasters of the software device (native and converted formats, cube maps,
// mipmaps); a raster read is written back as a native texture and read again.
// Fuzz inputs up to 262144 bytes.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/raster.h"
#include "gfx/testsupport/fuzz.h"

namespace {

void WriteBack(GxTexture* texture)
{
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out == nullptr) {
        std::abort();
    }
    const bool written = GxD3D9NativeTextureWrite(out, texture, 0);
    std::vector<GxUInt8> bytes = GxTestCloseWriteStream(out);
    if (!written) {
        return;
    }
    const GxInt32 size = static_cast<GxInt32>(bytes.size());
    GxTestReadStream in(std::move(bytes));
    GxTexture* again = nullptr;
    if (!GxD3D9NativeTextureRead(in.Get(), &again, size) || again == nullptr) {
        std::fprintf(stderr, "native texture of format 0x%X written but not read back (error 0x%X)\n",
                     static_cast<unsigned>(GxRasterGetFormat(texture->raster)),
                     static_cast<unsigned>(GxTestTakeErrorCode()));
        std::abort();
    }
    GxTextureDestroy(again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxTestReadStream in(std::vector<GxUInt8>(data, data + size));
    GxRaster* raster = in.Get() != nullptr ? GxD3D9RasterReadDDS(in.Get()) : nullptr;
    // The reader judges the memory a header asks for before it makes anything: no raster past the limit.
    const GxInt32 faces =
        raster != nullptr && GxD3D9RasterIsCubeTexture(raster) ? static_cast<GxInt32>(gxD3D9CUBEFACES) : 1;
    if (raster != nullptr && !GxImageFileSizeAllowed(raster->width, raster->height, faces)) {
        std::abort();
    }
    if (raster != nullptr) {
        GxTexture* texture = GxTextureCreate(raster);
        if (texture == nullptr) {
            GxRasterDestroy(raster);
        } else {
            WriteBack(texture);
            GxTextureDestroy(texture);
        }
    }
    GxFuzzClearError();
    return 0;
}
