// Private declarations shared by the graphics core's modules.
#pragma once

#include "gfx/core/engine.h"

// Free-list entries are poisoned while free when the build runs under AddressSanitizer.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GX_FREELIST_POISON 1
#endif
#endif
#if !defined(GX_FREELIST_POISON) && defined(__SANITIZE_ADDRESS__)
#define GX_FREELIST_POISON 1
#endif

// The core's modules in registration order (the driver's own modules register between the name
// records and the resources); each is defined beside the code of its module.
extern const GxCoreModule gxErrorModule;       // 0x40F error.cpp
extern const GxCoreModule gxVectorModule;      // 0x401 vector.cpp
extern const GxCoreModule gxEmptyModule;       // 0x40D vector.cpp
extern const GxCoreModule gxMatrixModule;      // 0x402 matrix.cpp
extern const GxCoreModule gxFrameModule;       // 0x403 frame.cpp
extern const GxCoreModule gxStreamModule;      // 0x404 stream.cpp
extern const GxCoreModule gxCameraModule;      // 0x405
extern const GxCoreModule gxImageModule;       // 0x406
extern const GxCoreModule gxRasterModule;      // 0x407
extern const GxCoreModule gxTextureModule;     // 0x408
extern const GxCoreModule gxPipelineModule;    // 0x409 pipeline.cpp
extern const GxCoreModule gxNameRecordModule;  // 0x412 stream.cpp
extern const GxCoreModule gxResourcesModule;   // 0x40B resources.cpp

// Calls a standard function of the open device; an entry the device left empty counts as a refusal.
inline GxBool GxEngineStandardCall(GxInt32 index, void* out, void* inOut, GxInt32 in)
{
    GxStandardFunc function = GxEngineInstance->stdFunc[index];
    return function != nullptr ? function(out, inOut, in) : 0;
}

// Fills the engine's OS string-function table (os.cpp).
GxBool GxOSInstallFunctions(void);

// True when GxEngineInit switched free lists off (memory.cpp).
GxBool GxFreeListsSwitchedOff(void);

// Gamma of the image module's gamma tables (image.cpp).
GxBool GxImageSetGamma(GxReal gamma);

// The x87 control word as it stands (the value last written where there is no x87 unit).
GxUInt16 GxFPUReadControlWord(void);
