// Internals of the UV animation plugin shared with its test access: the material extension.
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

// Drops a slot's interpolator and its reference on the animation.
void GxUVAnimReleaseSlot(GxUVAnimMaterialExt* ext, GxInt32 slot);
// An interpolator of the animation's nodes bound to it; null when it cannot be made.
GxAnimInterpolator* GxUVAnimBindSlot(GxAnimation* animation);
// A matrix for each channel some slot drives, none for the others; 0 when a matrix cannot be made.
GxBool GxUVAnimKeepChannelMatrices(GxUVAnimMaterialExt* ext);
