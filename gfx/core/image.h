// Images in system memory, palettes, gamma tables, the image-format registry, the quantiser and the PNG and BMP files.
#pragma once

#include "gfx/core/gx.h"

struct GxStream;

// Error codes of the image operations (stored with plugin id 0).
constexpr GxInt32 gxERRINVALIDDEPTH = gxERRCODE(0x80000008);  // depth the operation can not handle
constexpr GxInt32 gxERRUNSUPPORTED = gxERRCODE(0x80000009);   // depth pair, file variant or format not handled
constexpr GxInt32 gxERRSIZEMISMATCH = gxERRCODE(0x8000000A);  // mask and image differ in size

// Image flags.
constexpr GxInt32 gxIMAGEALLOCATED = 0x1;  // the image owns its pixel block
constexpr GxInt32 gxIMAGEGAMMASET = 0x2;   // pixels (or palette) are gamma corrected

// A picture in system memory: 4- or 8-bit palette indices (one per byte) or 32-bit R, G, B, A.
struct GxImage {
    GxInt32 flags;
    GxInt32 width;
    GxInt32 height;
    GxInt32 depth;
    GxInt32 stride;  // bytes per row, rows top to bottom
    GxUInt8* pixels;
    GxRGBA* palette;  // 2^depth entries for depths 4 and 8, else null
};

// Image-format callbacks: read a file into an image, write an image to a file.
typedef GxImage* (*GxImageCallBackRead)(const GxChar* imageName);
typedef GxImage* (*GxImageCallBackWrite)(GxImage* image, const GxChar* imageName);
// Called with each candidate file name of a path search; returning null ends the search.
typedef const GxChar* (*GxImagePathCallBack)(const GxChar* candidate, void* data);

// Most pixels a picture or texture file may ask for (4096 x 4096: 64 MiB at 32 bits), far above any the game
// draws: every reader refuses a file whose header asks for more before it allocates or decodes anything, so a
// small file can not claim gigabytes. A cube map's faces count together.
constexpr uint64_t gxIMAGEFILEMAXPIXELS = uint64_t{4096} * 4096;
// True when a file's width x height (x faces) is within gxIMAGEFILEMAXPIXELS; both sides must be positive.
GxBool GxImageFileSizeAllowed(int64_t width, int64_t height, GxInt32 faces);
// Longest side the picture readers (BMP, PNG) take.
constexpr GxInt32 gxIMAGEFILEMAXSIDE = 0x8000;

// Module callbacks (engine module 0x406): image and format free lists, search path, name buffer, gamma tables.
void* GxImageOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxImageClose(void* instance, GxInt32 offset, GxInt32 size);

GxImage* GxImageCreate(GxInt32 width, GxInt32 height, GxInt32 depth);
GxBool GxImageDestroy(GxImage* image);
GxImage* GxImageAllocatePixels(GxImage* image);
GxImage* GxImageFreePixels(GxImage* image);
GxImage* GxImageResize(GxImage* image, GxInt32 width, GxInt32 height);
GxImage* GxImageCopy(GxImage* destination, const GxImage* source);
GxImage* GxImageMakeMask(GxImage* image);
GxImage* GxImageApplyMask(GxImage* image, const GxImage* mask);
GxImage* GxImageGammaCorrect(GxImage* image);

GxBool GxImageSetGamma(GxReal gamma);

// Search path: directories separated by ";", each with its trailing separator.
const GxChar* GxImageSetPath(const GxChar* path);
const GxChar* GxImageGetPath(void);
GxBool GxImageIsAbsolutePath(const GxChar* name);
const GxChar* GxImageForEachPathCandidate(const GxChar* name, GxInt32 spareBytes, GxImagePathCallBack callBack,
                                          void* data);

GxBool GxImageRegisterImageFormat(const GxChar* extension, GxImageCallBackRead readCB, GxImageCallBackWrite writeCB);
GxImage* GxImageRead(const GxChar* imageName);
GxImage* GxImageReadMaskedImage(const GxChar* imageName, const GxChar* maskName);
const GxChar* GxImageFindFileExtension(const GxChar* imageName);

// Image chunk body (0x18): a 16-byte struct chunk, the rows, then the palette for depths up to 8.
GxImage* GxImageStreamRead(GxStream* stream);
// The same, with the body length of the enclosing image chunk checked before anything is allocated.
GxImage* GxImageStreamReadSized(GxStream* stream, GxUInt32 bodyLength);
constexpr GxUInt32 gxID_IMAGE = 0x18;

// The device's exchange of images and rasters: a raster filled from a gamma-corrected image is marked so, and an
// image filled from a marked raster is gamma-corrected. The target, or null when the device refuses.
struct GxRaster;
GxRaster* GxRasterSetFromImage(GxRaster* raster, GxImage* image);
GxImage* GxImageSetFromRaster(GxImage* image, GxRaster* raster);
// Reads an image file from the image path into a new raster of the format the device gives it (raster flags 0),
// resampled when the device asks for another size; null when the file does not read or the device has no format.
GxRaster* GxRasterRead(const GxChar* fileName);

// The raster the device would make for the image with those raster flags: its size, depth and format word (format
// byte << 8 | type byte). The image, or null when the device has no answer.
GxImage* GxImageFindRasterFormat(GxImage* image, GxInt32 rasterFlags, GxInt32* width, GxInt32* height, GxInt32* depth,
                                 GxInt32* format);

// Palette quantiser: a 16-way colour tree over the top 6 bits of R, G, B and A.
struct GxPaletteQuantizerNode;
struct GxFreeList;

struct GxPaletteQuantizerBox {
    GxInt32 lower[4];  // R, G, B, A lattice corner, inclusive
    GxInt32 upper[4];  // exclusive
};

struct GxPaletteQuantizerMoments {
    GxReal weight;
    GxReal sum[4];
    GxReal variance;
    GxUInt8 index;
};

constexpr GxInt32 gxPALETTEQUANTIZERMAXBOXES = 256;

struct GxPaletteQuantizer {
    GxPaletteQuantizerBox boxes[gxPALETTEQUANTIZERMAXBOXES];
    GxReal boxVariance[gxPALETTEQUANTIZERMAXBOXES];
    GxPaletteQuantizerMoments boxMoments[gxPALETTEQUANTIZERMAXBOXES];
    GxPaletteQuantizerNode* root;
    GxFreeList* nodeFreeList;
};

GxBool GxPaletteQuantizerInit(GxPaletteQuantizer* quantizer);
void GxPaletteQuantizerTerm(GxPaletteQuantizer* quantizer);
void GxPaletteQuantizerAddImage(GxPaletteQuantizer* quantizer, const GxImage* image, GxReal weight);
GxInt32 GxPaletteQuantizerMakePalette(GxRGBA* palette, GxInt32 numEntries, GxPaletteQuantizer* quantizer);
void GxPaletteQuantizerMatchImage(GxUInt8* pixels, GxInt32 stride, GxInt32 depth, GxBool packed,
                                  GxPaletteQuantizer* quantizer, const GxImage* image);

// Box-filter resampling of 32-bit images.
GxImage* GxImageResample(GxImage* destination, const GxImage* source);
GxImage* GxImageCreateResample(const GxImage* image, GxInt32 width, GxInt32 height);

// The PNG reader and the BMP reader and writer (image-format callbacks for "png" and "bmp").
constexpr GxInt32 gxPLUGINPNG = 0x10D;
constexpr GxInt32 gxPLUGINBMP = 0x19D;
GxImage* GxImageReadPNG(const GxChar* imageName);
GxImage* GxImageReadBMP(const GxChar* imageName);
GxImage* GxImageWriteBMP(GxImage* image, const GxChar* imageName);
