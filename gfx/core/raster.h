// Rasters: the device-side pictures of the graphics core (header, type and format codes, module operations).
#pragma once

#include "gfx/core/gx.h"

// Raster types (low three bits of the create flags).
enum GxRasterType : GxUInt8 {
    gxRASTERTYPENORMAL = 0,
    gxRASTERTYPEZBUFFER = 1,
    gxRASTERTYPECAMERA = 2,
    gxRASTERTYPETEXTURE = 4,
    gxRASTERTYPECAMERATEXTURE = 5,
    gxRASTERTYPEMASK = 7,
};

// Create flags beside the type: the record is made without pixels.
constexpr GxInt32 gxRASTERDONTALLOCATE = 0x80;

// Format word (bits 8-15 of the create flags).
enum GxRasterFormat : GxInt32 {
    gxRASTERFORMATDEFAULT = 0x0000,
    gxRASTERFORMAT1555 = 0x0100,
    gxRASTERFORMAT565 = 0x0200,
    gxRASTERFORMAT4444 = 0x0300,
    gxRASTERFORMATLUM8 = 0x0400,
    gxRASTERFORMAT8888 = 0x0500,
    gxRASTERFORMAT888 = 0x0600,
    gxRASTERFORMAT16 = 0x0700,
    gxRASTERFORMAT24 = 0x0800,
    gxRASTERFORMAT32 = 0x0900,
    gxRASTERFORMAT555 = 0x0A00,
    gxRASTERFORMATPIXELFORMATMASK = 0x0F00,
    gxRASTERFORMATAUTOMIPMAP = 0x1000,
    gxRASTERFORMATPAL8 = 0x2000,
    gxRASTERFORMATPAL4 = 0x4000,
    gxRASTERFORMATMIPMAP = 0x8000,
    gxRASTERFORMATMASK = 0xFF00,
};

// Lock modes (low byte of the lock argument; the level is in bits 8-15).
enum GxRasterLockMode : GxUInt8 {
    gxRASTERLOCKWRITE = 0x01,
    gxRASTERLOCKREAD = 0x02,
    gxRASTERLOCKNOFETCH = 0x04,
    gxRASTERLOCKREADWRITE = 0x03,
};

// Private flags.
enum GxRasterPrivateFlag : GxUInt8 {
    gxRASTERGAMMACORRECTED = 0x01,
    gxRASTERPIXELLOCKEDREAD = 0x02,
    gxRASTERPIXELLOCKEDWRITE = 0x04,
    gxRASTERPIXELLOCKED = 0x06,
    gxRASTERPALETTELOCKEDREAD = 0x08,
    gxRASTERPALETTELOCKEDWRITE = 0x10,
    gxRASTERPALETTELOCKED = 0x18,
};

// Raster error codes (stored with plugin id 0).
constexpr GxInt32 gxERRINVALIDRASTER = gxERRCODE(0x8000000D);    // raster type or format not handled
constexpr GxInt32 gxERRRASTERLOCK = gxERRCODE(0x8000000E);       // raster can not be locked
constexpr GxInt32 gxERRRASTERNOTLOCKED = gxERRCODE(0x80000011);  // raster not locked or type can not be unlocked
constexpr GxInt32 gxERRRASTERSTACK = gxERRCODE(0x80000012);      // context stack full, or only the dummy left
constexpr GxInt32 gxERRDEVICEFAILURE = 2;                        // a device object could not be made

// The device-independent header of every raster; the raster registry's extensions follow it.
struct GxRaster {
    GxRaster* parent;  // owner of the pixels; itself unless a sub-raster
    GxUInt8* pixels;   // locked level, null while unlocked
    GxUInt8* palette;  // while the palette is locked
    GxInt32 width;     // of the locked level while one is locked
    GxInt32 height;
    GxInt32 depth;    // bits per pixel
    GxInt32 stride;   // bytes per row of the locked pixels
    GxInt16 offsetX;  // sub-raster position inside its owner
    GxInt16 offsetY;
    GxUInt8 type;
    GxUInt8 flags;  // gxRASTERDONTALLOCATE
    GxUInt8 privateFlags;
    GxUInt8 format;       // format word >> 8
    void* devicePointer;  // left to the device
    GxInt32 savedWidth;   // level-0 size while a level is locked
    GxInt32 savedHeight;
    GxInt32 deviceValue;  // left to the device
};

#define GxRasterGetFormat(raster) (static_cast<GxInt32>((raster)->format) << 8)

// Deepest nesting of raster contexts, the built-in dummy entry included.
constexpr GxInt32 gxRASTERCONTEXTSTACKSIZE = 10;

// Module callbacks (engine module 0x407): the raster free list, the dummy raster and the context stack.
void* GxRasterOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxRasterClose(void* instance, GxInt32 offset, GxInt32 size);

GxRaster* GxRasterCreate(GxInt32 width, GxInt32 height, GxInt32 depth, GxInt32 flags);
GxBool GxRasterDestroy(GxRaster* raster);
GxRaster* GxRasterSubRaster(GxRaster* raster, GxRaster* parent, const GxRect* rect);
GxUInt8* GxRasterLock(GxRaster* raster, GxUInt8 level, GxInt32 lockMode);
GxRaster* GxRasterUnlock(GxRaster* raster);
GxUInt8* GxRasterLockPalette(GxRaster* raster, GxInt32 lockMode);
GxRaster* GxRasterUnlockPalette(GxRaster* raster);
GxInt32 GxRasterGetNumLevels(GxRaster* raster);

GxRaster* GxRasterPushContext(GxRaster* raster);
GxRaster* GxRasterPopContext(void);
GxRaster* GxRasterGetCurrentContext(void);
GxRaster* GxRasterRenderScaled(GxRaster* raster, const GxRect* rect);
GxRaster* GxRasterShowRaster(GxRaster* raster, void* dev, GxUInt32 flags);

// The owner of a raster's pixels (follows the parent chain to its end).
GxRaster* GxRasterGetParent(const GxRaster* raster);

// The debug character set is a raster holding the characters' cells.
typedef GxRaster GxCharset;
constexpr GxInt32 gxPLUGINCHARSET = 0x180;
GxBool GxCharsetDestroy(GxCharset* charset);

GxInt32 GxRasterRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                               GxPluginObjectDestructor destructor, GxPluginObjectCopy copy);
