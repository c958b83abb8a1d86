// Test access to the effect slots' settings, compiled only into the tests that include it. The game sets them only
// by reading materials.
#pragma once

#include "gfx/core/texture.h"
#include "gfx/fx/fx.h"

// Holds `texture` in place of what `held` held, referenced first.
inline void GxMaterialEffectsTestHold(GxTexture*& held, GxTexture* texture)
{
    if (texture) {
        GxTextureAddRef(texture);
    }
    if (held) {
        GxTextureDestroy(held);
    }
    held = texture;
}

// Each returns null when the material lacks the slot.
inline GxMaterial* GxMaterialEffectsSetBumpiness(GxMaterial* material, GxReal bumpiness)
{
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTBUMPMAP);
    if (!slot) {
        return nullptr;
    }
    slot->data.bumpMap.coef = -bumpiness;
    return material;
}

inline GxMaterial* GxMaterialEffectsSetEnvMapTexture(GxMaterial* material, GxTexture* texture)
{
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTENVMAP);
    if (!slot) {
        return nullptr;
    }
    GxMaterialEffectsTestHold(slot->data.envMap.texture, texture);
    return material;
}

inline GxMaterial* GxMaterialEffectsSetEnvMapCoefficient(GxMaterial* material, GxReal coef, GxBool useFrameBufferAlpha)
{
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTENVMAP);
    if (!slot) {
        return nullptr;
    }
    slot->data.envMap.coef = coef;
    slot->data.envMap.useFrameBufferAlpha = useFrameBufferAlpha ? 1 : 0;
    return material;
}

inline GxMaterial* GxMaterialEffectsSetDualTexture(GxMaterial* material, GxTexture* texture)
{
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTDUAL);
    if (!slot) {
        return nullptr;
    }
    GxMaterialEffectsTestHold(slot->data.dual.texture, texture);
    return material;
}
