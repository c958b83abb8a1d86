// The combined bump texture of a bump-mapped material: the base's colour with the bump map's brightness as alpha,
// made through the device's image and raster exchange.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/fx/fx.h"

namespace {

constexpr GxInt32 kImageDepth = 32;
constexpr GxUInt8 kOpaqueWhite = 0xFF;
constexpr GxInt32 kMipmapBits = gxRASTERFORMATMIPMAP | gxRASTERFORMATAUTOMIPMAP;
constexpr GxUInt32 kFormatByteShift = 8;

// A standard function of the open device; an entry it left empty refuses.
GxBool DeviceCall(GxInt32 index, void* out, void* inOut, GxInt32 in)
{
    GxStandardFunc function = GxEngineInstance ? GxEngineInstance->stdFunc[index] : nullptr;
    return function ? function(out, inOut, in) : 0;
}

void DestroyImage(GxImage* image)
{
    if (image) {
        GxImageDestroy(image);
    }
}

GxImage* NewImage(GxInt32 width, GxInt32 height)
{
    GxImage* image = GxImageCreate(width, height, kImageDepth);
    if (image && !GxImageAllocatePixels(image)) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}

// A raster's level 0 as a 32-bit image; null when the device can not read it.
GxImage* ImageOfRaster(GxRaster* raster)
{
    GxImage* image = NewImage(raster->width, raster->height);
    if (image && !DeviceCall(gxSTANDARDIMAGEGETRASTER, image, raster, 0)) {
        GxImageDestroy(image);
        return nullptr;
    }
    return image;
}

// The colour of a bump map without a base.
GxImage* OpaqueWhiteImage(GxInt32 width, GxInt32 height)
{
    GxImage* image = NewImage(width, height);
    for (GxInt32 y = 0; image && y < height; y++) {
        memset(image->pixels + static_cast<size_t>(y) * image->stride, kOpaqueWhite, static_cast<size_t>(width) * 4);
    }
    return image;
}

// A texture raster of the format that suits the image, mipmapped with automatic mipmaps when the source raster is
// mipmapped, filled from the image.
GxRaster* RasterOfImage(GxImage* image, const GxRaster* source)
{
    GxRaster chosen = {};
    if (!DeviceCall(gxSTANDARDIMAGEFINDRASTERFORMAT, &chosen, image, gxRASTERTYPETEXTURE)) {
        return nullptr;
    }
    GxInt32 format = (static_cast<GxInt32>(chosen.format) << kFormatByteShift) | chosen.type;
    if (GxRasterGetFormat(source) & gxRASTERFORMATMIPMAP) {
        format |= kMipmapBits;
    }
    // The device may hold a smaller texture than the image.
    GxImage* fitted = chosen.width == image->width && chosen.height == image->height
                          ? image
                          : GxImageCreateResample(image, chosen.width, chosen.height);
    GxRaster* raster = fitted ? GxRasterCreate(chosen.width, chosen.height, chosen.depth, format) : nullptr;
    if (raster && !DeviceCall(gxSTANDARDRASTERSETIMAGE, raster, fitted, 0)) {
        GxRasterDestroy(raster);
        raster = nullptr;
    }
    if (fitted != image) {
        DestroyImage(fitted);
    }
    return raster;
}

// The source's filter mode, and its addressing when U and V agree (none otherwise).
GxUInt32 FilterAndAddressing(const GxTexture* source)
{
    const GxUInt32 filter = GxTextureGetFilterMode(source);
    const GxUInt32 u = GxTextureGetAddressingU(source);
    if (u != GxTextureGetAddressingV(source)) {
        return filter;
    }
    return filter | u << gxTEXTUREADDRESSUSHIFT | u << gxTEXTUREADDRESSVSHIFT;
}

}  // namespace

GxTexture* GxMaterialEffectsCreateBumpTexture(GxTexture* baseTexture, GxTexture* bumpMapTexture)
{
    GX_ASSERT(bumpMapTexture && bumpMapTexture->raster, "a bump texture is made from a bump map with a raster");
    const bool hasBase = baseTexture && baseTexture->raster;
    GxImage* mask = ImageOfRaster(bumpMapTexture->raster);
    GxImage* colour = !mask     ? nullptr
                      : hasBase ? ImageOfRaster(baseTexture->raster)
                                : OpaqueWhiteImage(mask->width, mask->height);
    if (mask && colour && (mask->width != colour->width || mask->height != colour->height)) {
        GxImage* resampled = NewImage(colour->width, colour->height);
        if (resampled && !GxImageResample(resampled, mask)) {
            GxImageDestroy(resampled);
            resampled = nullptr;
        }
        GxImageDestroy(mask);
        mask = resampled;
    }
    const GxTexture* source = hasBase ? baseTexture : bumpMapTexture;
    GxRaster* raster = nullptr;
    if (mask && colour && GxImageMakeMask(mask) && GxImageApplyMask(colour, mask)) {
        raster = RasterOfImage(colour, source->raster);
    }
    DestroyImage(mask);
    DestroyImage(colour);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    if (!texture) {
        if (raster) {
            GxRasterDestroy(raster);
        }
        return nullptr;
    }
    texture->filterAddressing = FilterAndAddressing(source);
    GxChar name[gxMATERIALEFFECTSBUMPNAMELENGTH + 1];
    GxMaterialEffectsBumpTextureName(hasBase ? GxTextureGetName(baseTexture) : nullptr,
                                     GxTextureGetName(bumpMapTexture), name);
    GxTextureSetName(texture, name);
    return texture;
}
