// The DDS texture-read callback: finds the file along the image search path and wraps its raster in a texture.
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/dds.h"

namespace {

constexpr GxUInt8 kFilterLinear = 2;
constexpr GxUInt8 kFilterLinearMipLinear = 6;

GxRaster* ReadFile(const GxChar* fileName)
{
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
    if (stream == nullptr) {
        return nullptr;
    }
    GxRaster* raster = GxD3D9RasterReadDDS(stream);
    GxStreamClose(stream, nullptr);
    return raster;
}

}  // namespace

GxTexture* GxD3D9TextureReadDDS(const GxChar* name, const GxChar* /*maskName*/)
{
    GxChar* fileName = nullptr;
    GxChar* textureName = nullptr;
    if (!GxD3D9DDSFindFile(name, &fileName, &textureName)) {
        return nullptr;
    }
    GxRaster* raster = ReadFile(fileName);
    GxFree(fileName);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    if (texture == nullptr) {
        if (raster != nullptr) {
            GxRasterDestroy(raster);
        }
        GxFree(textureName);
        return nullptr;
    }
    const bool mipmapped = (GxRasterGetFormat(raster) & gxRASTERFORMATMIPMAP) != 0;
    GxTextureSetFilterMode(texture, mipmapped ? kFilterLinearMipLinear : kFilterLinear);
    GxTextureSetName(texture, textureName);
    GxFree(textureName);
    return texture;
}
