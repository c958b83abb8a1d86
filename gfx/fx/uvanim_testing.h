// Test access to a material's UV animation: its slots' interpolators and its channels' matrices.
#pragma once

#include "gfx/fx/uvanim_local.h"

inline GxAnimInterpolator* GxUVAnimMaterialGetInterpolator(const GxMaterial* material, GxInt32 slot)
{
    const GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    return ext && slot >= 0 && slot < gxMAXUVANIMSLOTS ? ext->slots[slot] : nullptr;
}

// The channel's matrix, null when no animation drives the channel.
inline const GxMatrix* GxUVAnimMaterialGetUVMatrix(const GxMaterial* material, GxInt32 channel)
{
    const GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    return ext && channel >= 0 && channel < gxUVANIMCHANNELS ? ext->uv[channel] : nullptr;
}
