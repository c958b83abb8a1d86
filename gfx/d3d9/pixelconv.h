// Pixel format conversion of the Direct3D 9 driver: single pixels by Direct3D format, image analysis, raster drawing.
#pragma once

#include "gfx/core/gx.h"

struct GxImage;
struct GxRaster;

// Error codes of the conversions (stored with plugin id 0).
constexpr GxInt32 gxERRUNSUPPORTEDDEPTH = gxERRCODE(0x8000000C);  // pixel depth not handled

// One pixel of a Direct3D format to R, G, B, A; 0 when the format has no unpack rule.
GxBool GxD3D9UnpackPixel(GxUInt32 d3dFormat, GxUInt32 pixel, GxRGBA* colour);
// R, G, B, A to one pixel of a Direct3D format; 0 when the format has no pack rule.
GxBool GxD3D9PackPixel(GxUInt32 d3dFormat, const GxRGBA* colour, GxUInt32* pixel);
// A texel of 1 to 4 bytes as a little-endian value; wider texels give their first 4 bytes, none gives 0.
GxUInt32 GxD3D9TexelValue(const GxUInt8* texel, GxUInt32 bytes);

// The raster format word that suits an image's content on this device (pixel nibble, PAL4 or PAL8).
GxInt32 GxD3D9ImageFindFormat(const GxImage* image);

// The pixels of a raster locked for writing from an image of its size: rasters of depth 4 or 8 (luminance rasters
// packed by their Direct3D format, palettised ones from indices or quantised from a 32-bit image) and rasters of
// depth 24 or 32 (setting the raster's alpha flag as its format says). 0, with an error raised, for a Direct3D
// format without a pack rule.
GxBool GxD3D9RasterSetFromImage8(GxRaster* raster, const GxImage* image);
GxBool GxD3D9RasterSetFromImage32(GxRaster* raster, const GxImage* image);

// Raster drawing and clearing: the standard functions take (out, inOut, in) as
//   gxSTANDARDSETRASTERCONTEXT    (unused, raster, unused)
//   gxSTANDARDRASTERCLEARRECT     (unused, const GxRect* rectangle, pixel value)
//   gxSTANDARDRASTERCLEAR         (unused, unused, pixel value)
//   gxSTANDARDRASTERRENDER        (raster, const GxRect* position {x, y}, unused)
//   gxSTANDARDRASTERRENDERSCALED  (raster, const GxRect* rectangle, unused)
//   gxSTANDARDRASTERRENDERFAST    (raster, const GxRect* position {x, y}, unused)
// The shared path of the three drawing functions.
GxBool GxD3D9RasterRenderGeneric(GxRaster* raster, const GxRect* rect, GxBool scaled, GxBool blend);
// Its two ways of drawing into the current context: a device surface copy, and one textured screen-space quad
// (render states as they were afterwards). `rect` is the position {x, y} unscaled, the rectangle when scaled.
GxBool GxD3D9RasterCopySurface(GxRaster* source, const GxRect* rect, GxBool scaled);
GxBool GxD3D9RasterRenderQuad(GxRaster* source, const GxRect* rect, GxBool scaled, GxBool blend);
// Sets a rectangle of the current context to a pixel value (clipped to the context).
GxBool GxD3D9RasterFillRect(const GxRect* rect, GxInt32 pixel);
