// Test access to the image module's gamma state, compiled only into the tests that include it.
#pragma once

#include "gfx/core/image_local.h"

// The gamma GxImageSetGamma last set; 1 while the module is closed.
inline GxReal GxImageGetGamma(void)
{
    GxImageModuleBlock* block = GxImageBlock();
    return block ? block->gamma : 1.0f;
}

// The table gamma correction applies, and its inverse; null while the module is closed.
inline const GxUInt8* GxImageGetGammaTable(void)
{
    GxImageModuleBlock* block = GxImageBlock();
    return block ? block->gammaTable : nullptr;
}

inline const GxUInt8* GxImageGetInverseGammaTable(void)
{
    GxImageModuleBlock* block = GxImageBlock();
    return block ? block->invGammaTable : nullptr;
}
