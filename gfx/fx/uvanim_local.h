// Internals of the UV animation plugin shared with its builders and test access: the material extension and its
// slots.
#pragma once

#include "gfx/fx/fx.h"

// A material's UV animation block: the channels' matrices and the slots' interpolators.
struct GxUVAnimMaterialExt {
    GxMatrix* uv[gxUVANIMCHANNELS];
    GxAnimInterpolator* slots[gxMAXUVANIMSLOTS];
};

// The block behind the public calls: null for a null material or when this engine runs without the plugin (the
// offset kept from an earlier engine would point into another layout).
GxUVAnimMaterialExt* GxUVAnimAttachedExtOf(const GxMaterial* material);

// Whether `animation` runs one of the two UV keyframe schemes.
bool GxUVAnimIsOwnScheme(const GxAnimation* animation);
// A slot's interpolator running `animation`; null when it cannot be made.
GxAnimInterpolator* GxUVAnimBindSlot(GxAnimation* animation);
// Empties a slot, dropping its animation's reference.
void GxUVAnimReleaseSlot(GxUVAnimMaterialExt* ext, GxInt32 slot);
// A matrix for each channel some slot drives, none for the others; false when a matrix cannot be made.
bool GxUVAnimKeepChannelMatrices(GxUVAnimMaterialExt* ext);
