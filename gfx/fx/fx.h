// Effects module of the graphics library, device-independent side: material effects (engine plugin 0x120)
// and UV animation of material texture coordinates (plugin 0x135, dictionaries in chunk 0x2B).
//
// Owns: the two UV keyframe schemes (0x1C0 linear, 0x1C1 parametric), UV animations and their custom
// records, the engine-wide list of UV animation dictionaries and the current one, and each material's
// UV matrices and animation slots; material effect records (plugin 0x120), whose transform slot receives
// the UV matrices. May call gfx/anim, gfx/world and gfx/core only; the driver reaches in through
// GxMaterialEffectsSetDriverHooks for its pipelines and the combined bump texture.
// Threading: rendering thread only. Ownership: a UV animation is reference counted (dictionaries and
// material slots each hold one reference); a dictionary belongs to whoever read it until destroyed.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/gx.h"
#include "gfx/core/matrix.h"

struct GxStream;
struct GxMaterial;

constexpr GxUInt32 gxPLUGINUVANIM = 0x135;
constexpr GxUInt32 gxID_UVANIMDICT = 0x2B;
constexpr GxInt32 gxUVANIMLINEARKEYFRAMETYPEID = 0x1C0;
constexpr GxInt32 gxUVANIMPARAMKEYFRAMETYPEID = 0x1C1;
constexpr GxInt32 gxUVANIMNAMELENGTH = 32;
constexpr GxInt32 gxUVANIMMAXNODES = 8;
constexpr GxInt32 gxMAXUVANIMSLOTS = 8;
constexpr GxInt32 gxUVANIMCHANNELS = 2;

// Error codes of plugin 0x135 for malformed input.
enum GxUVAnimError : GxInt32 {
    gxUVANIMERRBADDATA = 1,
};

struct GxUVAnimCustomData {
    GxChar name[gxUVANIMNAMELENGTH];
    GxUInt32 nodeToUVChannel[gxUVANIMMAXNODES];  // channel 0 or 1; other values drive nothing
    GxInt32 refCount;
};

// Linear: uu, uv, vu, vv, tu, tv. Parametric: angle (radians), scale u, scale v, skew, tu, tv.
constexpr GxInt32 gxUVANIMVALUES = 6;
struct GxUVAnimKeyFrame {
    GxUVAnimKeyFrame* prevFrame;
    GxReal time;
    GxReal uv[gxUVANIMVALUES];
};

struct GxUVAnimInterpFrame {
    GxUVAnimKeyFrame* keyFrame1;
    GxUVAnimKeyFrame* keyFrame2;
    GxReal uv[gxUVANIMVALUES];
};

struct GxUVAnimDictionary {
    GxAnimation** entries;
    GxInt32 numEntries;
    GxInt32 space;
};

GxBool GxUVAnimPluginAttach(void);

GxAnimation* GxUVAnimCreate(const GxChar* name);
GxUVAnimCustomData* GxUVAnimGetCustomData(const GxAnimation* animation);
GxAnimation* GxUVAnimAddRef(GxAnimation* animation);
// Drops one reference; the animation is destroyed with the last.
GxBool GxUVAnimDestroy(GxAnimation* animation);
void GxUVAnimKeyFrameInit(const GxAnimation* animation, void* keyFrame, void* previous, GxReal time,
                          const GxMatrix* matrix);

GxMaterial* GxUVAnimMaterialAddTime(GxMaterial* material, GxReal seconds);
GxMaterial* GxUVAnimMaterialApply(GxMaterial* material);
GxBool GxUVAnimMaterialHasAnimation(const GxMaterial* material);

GxUVAnimDictionary* GxUVAnimSetCurrentDictionary(GxUVAnimDictionary* dictionary);
GxUVAnimDictionary* GxUVAnimGetCurrentDictionary(void);
GxUVAnimDictionary* GxUVAnimDictionaryCreate(void);
// Adds an entry; the dictionary takes its own reference.
GxUVAnimDictionary* GxUVAnimDictionaryAddEntry(GxUVAnimDictionary* dictionary, GxAnimation* animation);
GxAnimation* GxUVAnimDictionaryFindEntry(const GxUVAnimDictionary* dictionary, const GxChar* name);
GxBool GxUVAnimDictionaryDestroy(GxUVAnimDictionary* dictionary);
GxUVAnimDictionary* GxUVAnimDictionaryStreamRead(GxStream* stream);
GxUInt32 GxUVAnimDictionaryStreamGetSize(const GxUVAnimDictionary* dictionary);

// Builders, for writers, tools, benches and tests; the program links none of them.
// Puts `animation` (a new reference is taken) into a material's slot, replacing what was there; null empties it.
GxMaterial* GxUVAnimMaterialSetAnim(GxMaterial* material, GxInt32 slot, GxAnimation* animation);
const GxUVAnimDictionary* GxUVAnimDictionaryStreamWrite(const GxUVAnimDictionary* dictionary, GxStream* stream);

// ---------------------------------------------------------------------------------------------- material effects
// Engine plugin 0x120: effect records on materials (bump, environment, dual texture, texture-coordinate
// transform), their stream form, and the flag on atomics and world sectors that picks the multi-pass
// pipelines. The pipelines, the raster test and the combined bump texture are the driver's: it installs them
// through GxMaterialEffectsSetDriverHooks before the engine opens.

constexpr GxUInt32 gxPLUGINMATERIALEFFECTS = 0x120;
constexpr GxInt32 gxMATERIALEFFECTSSLOTS = 2;
// Longest name of a combined bump texture.
constexpr GxInt32 gxMATERIALEFFECTSBUMPNAMELENGTH = 30;

enum GxMaterialEffectsType : GxInt32 {
    gxMATFXEFFECTNULL = 0,
    gxMATFXEFFECTBUMPMAP = 1,
    gxMATFXEFFECTENVMAP = 2,
    gxMATFXEFFECTBUMPENVMAP = 3,
    gxMATFXEFFECTDUAL = 4,
    gxMATFXEFFECTUVTRANSFORM = 5,
    gxMATFXEFFECTDUALUVTRANSFORM = 6,
    gxMATFXEFFECTMAX = 7,
};

enum GxMaterialEffectsSlotType : GxInt32 {
    gxMATFXSLOTNULL = 0,
    gxMATFXSLOTBUMPMAP = 1,
    gxMATFXSLOTENVMAP = 2,
    gxMATFXSLOTDUAL = 4,
    gxMATFXSLOTUVTRANSFORM = 5,
};

// Error codes of plugin 0x120 for malformed input.
enum GxMaterialEffectsError : GxInt32 {
    gxMATFXERRBADDATA = 1,
};

struct GxTexture;
struct GxAtomic;
struct GxWorldSector;

struct GxMaterialEffectsBumpMap {
    void* frame;                // copied with the record, not used here
    GxTexture* bumpTexture;     // the combined texture
    GxTexture* bumpMapTexture;  // the source height texture
    GxReal coef;                // the bumpiness, negated
    GxReal invBumpWidth;
};

struct GxMaterialEffectsEnvMap {
    void* frame;
    GxTexture* texture;
    GxReal coef;
    GxInt32 useFrameBufferAlpha;
};

struct GxMaterialEffectsDual {
    GxTexture* texture;
    GxInt32 srcBlendMode;
    GxInt32 dstBlendMode;
};

struct GxMaterialEffectsUVTransform {
    GxMatrix* baseTransform;  // not owned
    GxMatrix* dualTransform;  // not owned
};

struct GxMaterialEffectsSlot {
    union {
        GxMaterialEffectsBumpMap bumpMap;
        GxMaterialEffectsEnvMap envMap;
        GxMaterialEffectsDual dual;
        GxMaterialEffectsUVTransform uvTransform;
    } data;
    GxInt32 slotType;
};

struct GxMaterialEffects {
    GxMaterialEffectsSlot slots[gxMATERIALEFFECTSSLOTS];
    GxInt32 effectsType;
};

// What the driver supplies. `open` makes its pipelines (0 fails the module's open, which then leaves nothing
// behind); `close` destroys them; the pipeline setters give an object the material-effects pipeline; and
// `makeBumpTexture` builds the combined bump texture, or returns null when a raster does not suit.
struct GxMaterialEffectsDriverHooks {
    GxBool (*open)(void);
    GxBool (*close)(void);
    GxAtomic* (*atomicSetPipeline)(GxAtomic* atomic);
    GxWorldSector* (*sectorSetPipeline)(GxWorldSector* sector);
    GxTexture* (*makeBumpTexture)(GxTexture* baseTexture, GxTexture* bumpMapTexture);
};

void GxMaterialEffectsSetDriverHooks(const GxMaterialEffectsDriverHooks* hooks);
GxBool GxMaterialEffectsPluginAttach(void);

GxMaterial* GxMaterialEffectsSetType(GxMaterial* material, GxInt32 effectsType);
GxInt32 GxMaterialEffectsGetType(const GxMaterial* material);
GxMaterialEffectsSlot* GxMaterialEffectsGetSlot(const GxMaterial* material, GxInt32 slotType);
GxMaterial* GxMaterialEffectsSetBumpMapTexture(GxMaterial* material, GxTexture* bumpMapTexture);
GxMaterial* GxMaterialEffectsSetDualBlendModes(GxMaterial* material, GxInt32 srcBlendMode, GxInt32 dstBlendMode);
GxMaterial* GxMaterialEffectsSetUVTransformMatrices(GxMaterial* material, GxMatrix* baseTransform,
                                                    GxMatrix* dualTransform);
// The combined texture's name: the base's (else the bump map's) and the bump map's characters taken in turn.
void GxMaterialEffectsBumpTextureName(const GxChar* baseName, const GxChar* bumpName,
                                      GxChar out[gxMATERIALEFFECTSBUMPNAMELENGTH + 1]);
// A new texture of the base's size (the bump map's without a base): the base's colour (opaque white without one)
// with the bump map's mask as alpha, mipmapped when the source (the base, else the bump map) is, sampled with the
// source's filter mode and its addressing when U and V agree, named as above. Null when the device can not read or
// make a raster.
GxTexture* GxMaterialEffectsCreateBumpTexture(GxTexture* baseTexture, GxTexture* bumpMapTexture);
GxAtomic* GxMaterialEffectsAtomicEnable(GxAtomic* atomic);
