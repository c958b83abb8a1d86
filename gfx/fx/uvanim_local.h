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
