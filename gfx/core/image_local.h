// Image module internals shared by the image code and the search-path and format-registry code.
#pragma once

#include "gfx/core/image.h"
#include "gfx/core/memory.h"

constexpr GxUInt32 gxIMAGEFORMATHINT = 0x30406;
constexpr GxUInt32 gxIMAGEPATHHINT = 0x1040406;
constexpr GxUInt32 gxIMAGENAMEHINT = 0x1040018;
constexpr GxInt32 gxIMAGEEXTENSIONSIZE = 20;  // "." + 18 characters + NUL

// One registered file format.
struct GxImageFormat {
    GxChar lowerExtension[gxIMAGEEXTENSIONSIZE];
    GxChar upperExtension[gxIMAGEEXTENSIONSIZE];
    GxImageCallBackRead readCB;
    GxImageCallBackWrite writeCB;
    GxImageFormat* next;
};

struct GxImageModuleBlock {
    GxFreeList* imageFreeList;
    GxFreeList imageFreeListRecord;
    GxChar* path;
    GxInt32 pathSize;
    GxUInt8 gammaTable[256];
    GxUInt8 invGammaTable[256];
    GxReal gamma;
    GxChar* nameBuffer;
    GxInt32 nameBufferSize;
    GxFreeList* formatFreeList;
    GxFreeList formatFreeListRecord;
    GxImageFormat* formats;
};

// The module's block, or null while the module is closed; the second raises an engine-state error then.
GxImageModuleBlock* GxImageBlock(void);
GxImageModuleBlock* GxImageBlockOrRaise(void);
