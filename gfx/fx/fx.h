// Effects module of the graphics library, device-independent side: UV animation of material texture
// coordinates (engine plugin 0x135, material extension 0x135, UV animation dictionaries in chunk 0x2B).
//
// Owns: the two UV keyframe schemes (0x1C0 linear, 0x1C1 parametric), UV animations and their custom
// records, the engine-wide list of UV animation dictionaries and the current one, and each material's
// UV matrices and animation slots. May call gfx/anim, gfx/world and gfx/core only; the drawing side
// reaches in through GxUVAnimSetTransformHook, which receives the matrices each apply computes.
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

// Receives both channel matrices (either may be null) after each apply; installed by the drawing side.
typedef void (*GxUVAnimTransformHook)(GxMaterial* material, const GxMatrix* channel0, const GxMatrix* channel1);

GxBool GxUVAnimPluginAttach(void);
void GxUVAnimSetTransformHook(GxUVAnimTransformHook hook);

GxAnimation* GxUVAnimCreate(const GxChar* name);
GxUVAnimCustomData* GxUVAnimGetCustomData(const GxAnimation* animation);
GxAnimation* GxUVAnimAddRef(GxAnimation* animation);
// Drops one reference; the animation is destroyed with the last.
GxBool GxUVAnimDestroy(GxAnimation* animation);
void GxUVAnimKeyFrameInit(const GxAnimation* animation, void* keyFrame, void* previous, GxReal time,
                          const GxMatrix* matrix);

// Puts `animation` (a new reference is taken) into a material's slot, replacing what was there; null empties it.
GxMaterial* GxUVAnimMaterialSetAnim(GxMaterial* material, GxInt32 slot, GxAnimation* animation);
GxAnimInterpolator* GxUVAnimMaterialGetInterpolator(const GxMaterial* material, GxInt32 slot);
GxMaterial* GxUVAnimMaterialAddTime(GxMaterial* material, GxReal seconds);
GxMaterial* GxUVAnimMaterialApply(GxMaterial* material);
GxBool GxUVAnimMaterialHasAnimation(const GxMaterial* material);
// The channel's matrix, null when no animation drives the channel.
const GxMatrix* GxUVAnimMaterialGetUVMatrix(const GxMaterial* material, GxInt32 channel);

GxUVAnimDictionary* GxUVAnimSetCurrentDictionary(GxUVAnimDictionary* dictionary);
GxUVAnimDictionary* GxUVAnimGetCurrentDictionary(void);
GxUVAnimDictionary* GxUVAnimDictionaryCreate(void);
// Adds an entry; the dictionary takes its own reference.
GxUVAnimDictionary* GxUVAnimDictionaryAddEntry(GxUVAnimDictionary* dictionary, GxAnimation* animation);
GxAnimation* GxUVAnimDictionaryFindEntry(const GxUVAnimDictionary* dictionary, const GxChar* name);
GxBool GxUVAnimDictionaryDestroy(GxUVAnimDictionary* dictionary);
GxUVAnimDictionary* GxUVAnimDictionaryStreamRead(GxStream* stream);
const GxUVAnimDictionary* GxUVAnimDictionaryStreamWrite(const GxUVAnimDictionary* dictionary, GxStream* stream);
GxUInt32 GxUVAnimDictionaryStreamGetSize(const GxUVAnimDictionary* dictionary);
