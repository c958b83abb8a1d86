// UV animation: the two texture-coordinate keyframe schemes, counted UV animations, material slots and their
// channel matrices, and UV animation dictionaries (chunk 0x2B).
//
// Sections: schemes (callbacks and keyframe streams) - animations - material extension - dictionaries - plugin.
#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/fx/uvanim_local.h"
#include "gfx/world/material.h"

namespace {

constexpr GxUInt32 kDictionaryHint = 0x3002B;
constexpr GxUInt32 kOldestDictionaryVersion = 0x36000;
constexpr GxReal kPi = 3.1415927f;
constexpr GxReal kDegreesPerRadian = 57.295776f;
constexpr GxReal kUVCentre = 0.5f;
// A keyframe on the stream: time, six values and the previous keyframe's index.
constexpr GxUInt32 kKeyFrameStreamSize = 32;
// The custom record on the stream: the name and the eight channel numbers, 64 bytes as the matrix chunk's size
// (GxMatrixStreamGetSize) gives it.
constexpr GxUInt32 kCustomStreamSize = gxUVANIMNAMELENGTH + gxUVANIMMAXNODES * sizeof(GxUInt32);
static_assert(kCustomStreamSize == 64, "the custom record fills the size its stream callback gives");
// Leading word written before the custom record.
constexpr GxUInt32 kLeadWordSize = 4;
constexpr GxUInt32 kChunkHeaderSize = 12;
// Version word, type, count, flags and duration of an animation chunk.
constexpr GxUInt32 kAnimationHeaderSize = 20;
constexpr GxUInt32 kMinAnimationChunk = kChunkHeaderSize + kAnimationHeaderSize + kLeadWordSize + kCustomStreamSize;
constexpr GxUInt32 kMaskSize = 4;
constexpr GxUInt32 kSlotMaskLimit = 1u << gxMAXUVANIMSLOTS;

GxInt32 materialOffset = -1;
GxInt32 openCount = 0;
GxUVAnimDictionary* currentDictionary = nullptr;
GxUVAnimDictionary** dictionaries = nullptr;
GxInt32 numDictionaries = 0;
GxInt32 dictionarySpace = 0;

void Refuse(const char* message) { GxErrorRaise(gxPLUGINUVANIM, GxErrorMakeCode(gxUVANIMERRBADDATA, message)); }

GxUVAnimMaterialExt* ExtOf(const GxMaterial* material)
{
    GX_ASSERT(materialOffset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxUVAnimMaterialExt*>(reinterpret_cast<GxUInt8*>(const_cast<GxMaterial*>(material)) +
                                                  materialOffset);
}

// ---------------------------------------------------------------------------------------------- schemes

// Keys at one time step from the first to the second rather than divide by zero.
GxReal Fraction(const GxUVAnimKeyFrame* a, const GxUVAnimKeyFrame* b, GxReal time)
{
    const GxReal span = b->time - a->time;
    return span != 0.0f ? (time - a->time) / span : (time < b->time ? 0.0f : 1.0f);
}

void Lerp(GxReal* out, const GxReal* a, const GxReal* b, GxReal f, GxInt32 first)
{
    for (GxInt32 i = first; i < gxUVANIMVALUES; i++) {
        out[i] = a[i] + (b[i] - a[i]) * f;
    }
}

// The angle turns the short way round.
GxReal LerpAngle(GxReal a, GxReal b, GxReal f)
{
    GxReal difference = b - a;
    if (difference < -kPi) {
        difference += 2.0f * kPi;
    } else if (difference > kPi) {
        difference -= 2.0f * kPi;
    }
    return a + difference * f;
}

void LinearToMatrix(GxMatrix* m, void* frame)
{
    const GxReal* v = static_cast<GxUVAnimInterpFrame*>(frame)->uv;
    m->right = {v[0], v[1], 0.0f};
    m->up = {v[2], v[3], 0.0f};
    m->at = {0.0f, 0.0f, 0.0f};
    m->pos = {v[4], v[5], 0.0f};
    m->flags = 0;
}

void ParamToMatrix(GxMatrix* m, void* frame)
{
    const GxReal* v = static_cast<GxUVAnimInterpFrame*>(frame)->uv;
    m->right = {v[1], v[3], 0.0f};
    m->up = {0.0f, v[2], 0.0f};
    m->at = {0.0f, 0.0f, 0.0f};
    m->pos = {v[4], v[5], 0.0f};
    m->flags = 0;
    const GxV3d toCentre = {-kUVCentre, -kUVCentre, 0.0f};
    const GxV3d fromCentre = {kUVCentre, kUVCentre, 0.0f};
    const GxV3d zAxis = {0.0f, 0.0f, 1.0f};
    GxMatrixTranslate(m, &toCentre, gxCOMBINEPOSTCONCAT);
    GxMatrixRotate(m, &zAxis, v[0] * kDegreesPerRadian, gxCOMBINEPOSTCONCAT);
    GxMatrixTranslate(m, &fromCentre, gxCOMBINEPOSTCONCAT);
}

void LinearInterpolate(void* out, void* in1, void* in2, GxReal time, void*)
{
    auto* a = static_cast<GxUVAnimKeyFrame*>(in1);
    auto* b = static_cast<GxUVAnimKeyFrame*>(in2);
    Lerp(static_cast<GxUVAnimInterpFrame*>(out)->uv, a->uv, b->uv, Fraction(a, b, time), 0);
}

void LinearBlend(void* out, void* in1, void* in2, GxReal alpha)
{
    Lerp(static_cast<GxUVAnimInterpFrame*>(out)->uv, static_cast<GxUVAnimInterpFrame*>(in1)->uv,
         static_cast<GxUVAnimInterpFrame*>(in2)->uv, alpha, 0);
}

void ParamInterpolate(void* out, void* in1, void* in2, GxReal time, void*)
{
    auto* a = static_cast<GxUVAnimKeyFrame*>(in1);
    auto* b = static_cast<GxUVAnimKeyFrame*>(in2);
    GxReal* o = static_cast<GxUVAnimInterpFrame*>(out)->uv;
    const GxReal f = Fraction(a, b, time);
    Lerp(o, a->uv, b->uv, f, 1);
    o[0] = LerpAngle(a->uv[0], b->uv[0], f);
}

void ParamBlend(void* out, void* in1, void* in2, GxReal alpha)
{
    const GxReal* a = static_cast<GxUVAnimInterpFrame*>(in1)->uv;
    const GxReal* b = static_cast<GxUVAnimInterpFrame*>(in2)->uv;
    GxReal* o = static_cast<GxUVAnimInterpFrame*>(out)->uv;
    Lerp(o, a, b, alpha, 1);
    o[0] = LerpAngle(a[0], b[0], alpha);
}

void LinearAdd(void* out, void* in1, void* in2)
{
    const GxReal* a = static_cast<GxUVAnimInterpFrame*>(in1)->uv;
    const GxReal* b = static_cast<GxUVAnimInterpFrame*>(in2)->uv;
    const GxReal r[gxUVANIMVALUES] = {
        b[0] * a[0] + b[2] * a[1],
        b[1] * a[0] + b[3] * a[1],
        b[2] * a[3] + b[0] * a[2],
        b[3] * a[3] + b[1] * a[2],
        a[4] + b[4],
        a[5] + b[5],
    };
    memcpy(static_cast<GxUVAnimInterpFrame*>(out)->uv, r, sizeof(r));
}

void LinearMulRecip(void* frame, void* start)
{
    GxReal* k = static_cast<GxUVAnimKeyFrame*>(frame)->uv;
    const GxReal* s = static_cast<GxUVAnimKeyFrame*>(start)->uv;
    k[4] -= s[4];
    k[5] -= s[5];
    const GxReal det = s[0] * s[3] - s[1] * s[2];
    if (det == 0.0f) {
        return;
    }
    const GxReal inv[4] = {s[3] / det, -s[1] / det, -s[2] / det, s[0] / det};
    const GxReal r[4] = {k[0] * inv[0] + k[1] * inv[2], k[0] * inv[1] + k[1] * inv[3], k[2] * inv[0] + k[3] * inv[2],
                         k[2] * inv[1] + k[3] * inv[3]};
    memcpy(k, r, sizeof(r));
}

void EmptyAdd(void*, void*, void*) {}
void EmptyMulRecip(void*, void*) {}

GxAnimation* KeyFramesRead(GxStream* stream, GxAnimation* animation)
{
    const uint64_t need =
        kLeadWordSize + kCustomStreamSize + static_cast<uint64_t>(animation->numFrames) * kKeyFrameStreamSize;
    if (!GxStreamCanSupply(stream, need)) {
        Refuse("UV keyframes beyond the chunk");
        return nullptr;
    }
    GxUInt32 lead = 0;
    auto* custom = static_cast<GxUVAnimCustomData*>(animation->customData);
    if (!GxStreamReadInt32(stream, &lead, sizeof(lead)) ||
        GxStreamRead(stream, custom->name, gxUVANIMNAMELENGTH) != static_cast<GxUInt32>(gxUVANIMNAMELENGTH) ||
        !GxStreamReadInt32(stream, custom->nodeToUVChannel, sizeof(custom->nodeToUVChannel))) {
        return nullptr;
    }
    custom->refCount = 1;
    auto* frames = static_cast<GxUVAnimKeyFrame*>(animation->pFrames);
    for (GxInt32 k = 0; k < animation->numFrames; k++) {
        GxReal values[1 + gxUVANIMVALUES];
        GxUInt32 index = 0;
        if (!GxStreamReadInt32(stream, values, sizeof(values)) || !GxStreamReadInt32(stream, &index, sizeof(index))) {
            return nullptr;
        }
        GxUVAnimKeyFrame* f = &frames[k];
        f->time = values[0];
        memcpy(f->uv, &values[1], sizeof(f->uv));
        // Links are checked against the keyframe order when the animation is bound.
        if (index >= static_cast<GxUInt32>(animation->numFrames)) {
            Refuse("UV keyframe link beyond the keyframes");
            return nullptr;
        }
        f->prevFrame = &frames[index];
    }
    return animation;
}

GxBool KeyFramesWrite(const GxAnimation* animation, GxStream* stream)
{
    const GxUInt32 lead = 0;
    const auto* custom = static_cast<const GxUVAnimCustomData*>(animation->customData);
    if (!GxStreamWriteInt32(stream, &lead, sizeof(lead)) || !GxStreamWrite(stream, custom->name, gxUVANIMNAMELENGTH) ||
        !GxStreamWriteInt32(stream, custom->nodeToUVChannel, sizeof(custom->nodeToUVChannel))) {
        return 0;
    }
    const auto* frames = static_cast<const GxUVAnimKeyFrame*>(animation->pFrames);
    for (GxInt32 k = 0; k < animation->numFrames; k++) {
        const GxUVAnimKeyFrame* f = &frames[k];
        GxReal values[1 + gxUVANIMVALUES];
        values[0] = f->time;
        memcpy(&values[1], f->uv, sizeof(f->uv));
        const auto index = static_cast<GxUInt32>(GxAnimationLinkIndex(animation, k));
        if (!GxStreamWriteReal(stream, values, sizeof(values)) || !GxStreamWriteInt32(stream, &index, sizeof(index))) {
            return 0;
        }
    }
    return 1;
}

GxInt32 KeyFramesSize(const GxAnimation* animation)
{
    const GxUInt32 custom = GxMatrixStreamGetSize();
    return static_cast<GxInt32>(animation->numFrames * kKeyFrameStreamSize + custom + kLeadWordSize);
}

GxAnimInterpolatorInfo Scheme(GxInt32 typeID)
{
    const bool linear = typeID == gxUVANIMLINEARKEYFRAMETYPEID;
    GxAnimInterpolatorInfo info = {};
    info.typeID = typeID;
    info.interpKeyFrameSize = sizeof(GxUVAnimInterpFrame);
    info.animKeyFrameSize = sizeof(GxUVAnimKeyFrame);
    info.keyFrameToMatrixCB = linear ? LinearToMatrix : ParamToMatrix;
    info.keyFrameBlendCB = linear ? LinearBlend : ParamBlend;
    info.keyFrameInterpolateCB = linear ? LinearInterpolate : ParamInterpolate;
    info.keyFrameAddCB = linear ? LinearAdd : EmptyAdd;
    info.keyFrameMulRecipCB = linear ? LinearMulRecip : EmptyMulRecip;
    info.keyFrameStreamReadCB = KeyFramesRead;
    info.keyFrameStreamWriteCB = KeyFramesWrite;
    info.keyFrameStreamGetSizeCB = KeyFramesSize;
    info.customDataSize = sizeof(GxUVAnimCustomData);
    return info;
}

bool IsUVScheme(const GxAnimation* animation)
{
    const GxInt32 id = animation->interpInfo->typeID;
    return id == gxUVANIMLINEARKEYFRAMETYPEID || id == gxUVANIMPARAMKEYFRAMETYPEID;
}

// ---------------------------------------------------------------------------------------------- material extension

bool ChannelDriven(const GxUVAnimMaterialExt* ext, GxUInt32 channel)
{
    for (GxAnimInterpolator* interp : ext->slots) {
        if (!interp) {
            continue;
        }
        const auto* custom = static_cast<const GxUVAnimCustomData*>(interp->pCurrentAnim->customData);
        for (GxInt32 n = 0; n < interp->numNodes && n < gxUVANIMMAXNODES; n++) {
            if (custom->nodeToUVChannel[n] == channel) {
                return true;
            }
        }
    }
    return false;
}

void* MaterialConstruct(void* object, GxInt32 offset, GxInt32)
{
    memset(static_cast<GxUInt8*>(object) + offset, 0, sizeof(GxUVAnimMaterialExt));
    return object;
}

void* MaterialDestruct(void* object, GxInt32, GxInt32)
{
    GxUVAnimMaterialExt* ext = ExtOf(static_cast<GxMaterial*>(object));
    for (GxMatrix*& matrix : ext->uv) {
        if (matrix) {
            GxMatrixDestroy(matrix);
            matrix = nullptr;
        }
    }
    for (GxInt32 slot = 0; slot < gxMAXUVANIMSLOTS; slot++) {
        GxUVAnimReleaseSlot(ext, slot);
    }
    return object;
}

void* MaterialCopy(void* dst, const void* src, GxInt32, GxInt32)
{
    GxUVAnimMaterialExt* to = ExtOf(static_cast<GxMaterial*>(dst));
    const GxUVAnimMaterialExt* from = ExtOf(static_cast<const GxMaterial*>(src));
    for (GxInt32 slot = 0; slot < gxMAXUVANIMSLOTS; slot++) {
        const GxAnimInterpolator* source = from->slots[slot];
        if (!source) {
            continue;
        }
        GxAnimInterpolator* interp = GxAnimInterpolatorCreate(source->numNodes, source->maxInterpKeyFrameSize);
        if (!interp) {
            return nullptr;
        }
        if (!GxAnimInterpolatorSetCurrentAnim(interp, source->pCurrentAnim) ||
            !GxAnimInterpolatorCopy(interp, source)) {
            GxAnimInterpolatorDestroy(interp);
            return nullptr;
        }
        GxUVAnimAddRef(source->pCurrentAnim);
        to->slots[slot] = interp;
    }
    return GxUVAnimKeepChannelMatrices(to) ? dst : nullptr;
}

GxStream* MaterialRead(GxStream* stream, GxInt32, void* object, GxInt32, GxInt32)
{
    GxUVAnimMaterialExt* ext = ExtOf(static_cast<GxMaterial*>(object));
    GxUInt32 length = 0;
    GxUInt32 mask = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &length, nullptr) || length < kMaskSize ||
        !GxStreamReadInt32(stream, &mask, sizeof(mask))) {
        return nullptr;
    }
    const GxUInt32 used = static_cast<GxUInt32>(__builtin_popcount(mask));
    if (mask >= kSlotMaskLimit || used * gxUVANIMNAMELENGTH > length - kMaskSize) {
        Refuse("UV animation slot mask beyond the material's record");
        return nullptr;
    }
    for (GxInt32 slot = 0; slot < gxMAXUVANIMSLOTS; slot++) {
        if (!(mask & (1u << slot))) {
            continue;
        }
        GxChar name[gxUVANIMNAMELENGTH + 1] = {};
        if (GxStreamRead(stream, name, gxUVANIMNAMELENGTH) != static_cast<GxUInt32>(gxUVANIMNAMELENGTH)) {
            return nullptr;
        }
        GxAnimation* found = currentDictionary ? GxUVAnimDictionaryFindEntry(currentDictionary, name) : nullptr;
        GxAnimation* animation = found ? GxUVAnimAddRef(found) : GxUVAnimCreate(name);
        if (!animation) {
            return nullptr;
        }
        GxAnimInterpolator* interp = GxUVAnimBindSlot(animation);
        if (!interp) {
            GxUVAnimDestroy(animation);
            return nullptr;
        }
        GxUVAnimReleaseSlot(ext, slot);
        ext->slots[slot] = interp;
    }
    return GxUVAnimKeepChannelMatrices(ext) ? stream : nullptr;
}

GxUInt32 UsedSlots(const GxUVAnimMaterialExt* ext, GxUInt32* mask)
{
    GxUInt32 used = 0;
    *mask = 0;
    for (GxInt32 slot = 0; slot < gxMAXUVANIMSLOTS; slot++) {
        if (ext->slots[slot]) {
            *mask |= 1u << slot;
            used++;
        }
    }
    return used;
}

GxStream* MaterialWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const GxUVAnimMaterialExt* ext = ExtOf(static_cast<const GxMaterial*>(object));
    GxUInt32 mask = 0;
    const GxUInt32 used = UsedSlots(ext, &mask);
    if (!GxStreamWriteChunkHeader(stream, gxID_STRUCT, kMaskSize + used * gxUVANIMNAMELENGTH, gxLIBRARYVERSION,
                                  gxLIBRARYBUILD) ||
        !GxStreamWriteInt32(stream, &mask, sizeof(mask))) {
        return nullptr;
    }
    for (GxAnimInterpolator* interp : ext->slots) {
        if (interp && !GxStreamWrite(stream, GxUVAnimGetCustomData(interp->pCurrentAnim)->name, gxUVANIMNAMELENGTH)) {
            return nullptr;
        }
    }
    return stream;
}

GxInt32 MaterialSize(const void* object, GxInt32, GxInt32)
{
    GxUInt32 mask = 0;
    const GxUInt32 used = UsedSlots(ExtOf(static_cast<const GxMaterial*>(object)), &mask);
    return used ? static_cast<GxInt32>(kChunkHeaderSize + kMaskSize + used * gxUVANIMNAMELENGTH) : 0;
}

// ---------------------------------------------------------------------------------------------- dictionaries

bool ListAdd(GxUVAnimDictionary* dictionary)
{
    if (numDictionaries == dictionarySpace) {
        const GxInt32 space = dictionarySpace ? dictionarySpace * 2 : 4;
        auto* grown = static_cast<GxUVAnimDictionary**>(
            GxRealloc(dictionaries, static_cast<GxUInt32>(space * sizeof(*dictionaries)), kDictionaryHint));
        if (!grown) {
            GxErrorRaise(gxPLUGINUVANIM, gxERRNOMEMORY);
            return false;
        }
        dictionaries = grown;
        dictionarySpace = space;
    }
    dictionaries[numDictionaries++] = dictionary;
    return true;
}

void ListRemove(const GxUVAnimDictionary* dictionary)
{
    if (currentDictionary == dictionary) {
        currentDictionary = nullptr;
    }
    for (GxInt32 i = 0; i < numDictionaries; i++) {
        if (dictionaries[i] == dictionary) {
            dictionaries[i] = dictionaries[--numDictionaries];
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------- plugin

void* ModuleOpen(void* instance, GxInt32, GxInt32)
{
    const GxAnimInterpolatorInfo linear = Scheme(gxUVANIMLINEARKEYFRAMETYPEID);
    const GxAnimInterpolatorInfo param = Scheme(gxUVANIMPARAMKEYFRAMETYPEID);
    if (!GxAnimRegisterInterpolatorInfo(&linear) || !GxAnimRegisterInterpolatorInfo(&param)) {
        return nullptr;
    }
    currentDictionary = nullptr;
    openCount++;
    return instance;
}

void* ModuleClose(void* instance, GxInt32, GxInt32)
{
    while (numDictionaries > 0) {
        GxUVAnimDictionaryDestroy(dictionaries[numDictionaries - 1]);
    }
    GxFree(dictionaries);
    dictionaries = nullptr;
    dictionarySpace = 0;
    currentDictionary = nullptr;
    openCount--;
    return instance;
}

}  // namespace

void GxUVAnimReleaseSlot(GxUVAnimMaterialExt* ext, GxInt32 slot)
{
    GxAnimInterpolator* interp = ext->slots[slot];
    if (!interp) {
        return;
    }
    GxUVAnimDestroy(interp->pCurrentAnim);
    GxAnimInterpolatorDestroy(interp);
    ext->slots[slot] = nullptr;
}

GxAnimInterpolator* GxUVAnimBindSlot(GxAnimation* animation)
{
    GxAnimInterpolator* interp =
        GxAnimInterpolatorCreate(GxAnimationGetNumNodes(animation), animation->interpInfo->interpKeyFrameSize);
    if (!interp) {
        return nullptr;
    }
    if (!GxAnimInterpolatorSetCurrentAnim(interp, animation)) {
        GxAnimInterpolatorDestroy(interp);
        return nullptr;
    }
    return interp;
}

// A matrix for each channel some slot drives, none for the others.
GxBool GxUVAnimKeepChannelMatrices(GxUVAnimMaterialExt* ext)
{
    for (GxUInt32 channel = 0; channel < gxUVANIMCHANNELS; channel++) {
        if (!ChannelDriven(ext, channel)) {
            if (ext->uv[channel]) {
                GxMatrixDestroy(ext->uv[channel]);
                ext->uv[channel] = nullptr;
            }
            continue;
        }
        if (!ext->uv[channel] && !(ext->uv[channel] = GxMatrixCreate())) {
            return 0;
        }
        GxMatrixSetIdentity(ext->uv[channel]);
    }
    return 1;
}

// The block behind the public calls, of a material of an engine with the plugin (an offset kept from an earlier
// engine would point into another layout).
GxUVAnimMaterialExt* GxUVAnimAttachedExtOf(const GxMaterial* material)
{
    GX_ASSERT(material && materialOffset >= 0 && GxMaterialGetPluginOffset(gxPLUGINUVANIM) == materialOffset,
              "a material of an engine with UV animation");
    return ExtOf(material);
}

GxBool GxUVAnimPluginAttach(void)
{
    // The open registers the schemes in the keyframe toolkit's table, so the toolkit opens first.
    GX_ASSERT(GxEngineGetPluginOffset(gxPLUGINANIM) >= 0, "the keyframe toolkit is attached before UV animation");
    if (GxEngineRegisterPlugin(0, gxPLUGINUVANIM, ModuleOpen, ModuleClose) < 0) {
        return 0;
    }
    materialOffset = GxMaterialRegisterPlugin(sizeof(GxUVAnimMaterialExt), gxPLUGINUVANIM, MaterialConstruct,
                                              MaterialDestruct, MaterialCopy);
    return materialOffset >= 0 &&
           GxMaterialRegisterPluginStream(gxPLUGINUVANIM, MaterialRead, MaterialWrite, MaterialSize) >= 0;
}

GxAnimation* GxUVAnimCreate(const GxChar* name)
{
    constexpr GxInt32 kKeyFrames = 2;
    GxAnimation* animation = GxAnimationCreate(gxUVANIMLINEARKEYFRAMETYPEID, kKeyFrames, 0, 1.0f);
    if (!animation) {
        return nullptr;
    }
    auto* custom = static_cast<GxUVAnimCustomData*>(animation->customData);
    strncpy(custom->name, name ? name : "", gxUVANIMNAMELENGTH);
    custom->name[gxUVANIMNAMELENGTH - 1] = 0;
    custom->refCount = 1;
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);
    auto* frames = static_cast<GxUVAnimKeyFrame*>(animation->pFrames);
    GxUVAnimKeyFrameInit(animation, &frames[0], nullptr, 0.0f, &identity);
    GxUVAnimKeyFrameInit(animation, &frames[1], &frames[0], 1.0f, &identity);
    return animation;
}

GxUVAnimCustomData* GxUVAnimGetCustomData(const GxAnimation* animation)
{
    return static_cast<GxUVAnimCustomData*>(animation->customData);
}

GxAnimation* GxUVAnimAddRef(GxAnimation* animation)
{
    GxUVAnimGetCustomData(animation)->refCount++;
    return animation;
}

GxBool GxUVAnimDestroy(GxAnimation* animation)
{
    GX_ASSERT(animation, "a UV animation is released");
    if (--GxUVAnimGetCustomData(animation)->refCount <= 0) {
        GxAnimationDestroy(animation);
    }
    return 1;
}

void GxUVAnimKeyFrameInit(const GxAnimation* animation, void* keyFrame, void* previous, GxReal time,
                          const GxMatrix* matrix)
{
    auto* f = static_cast<GxUVAnimKeyFrame*>(keyFrame);
    f->prevFrame = static_cast<GxUVAnimKeyFrame*>(previous);
    f->time = time;
    if (animation->interpInfo->typeID == gxUVANIMLINEARKEYFRAMETYPEID) {
        const GxReal values[gxUVANIMVALUES] = {matrix->right.x, matrix->right.y, matrix->up.x,
                                               matrix->up.y,    matrix->pos.x,   matrix->pos.y};
        memcpy(f->uv, values, sizeof(values));
        return;
    }
    const GxReal angle = std::atan2(-matrix->up.x, matrix->right.x);
    GxMatrix m = *matrix;
    const GxV3d toCentre = {-kUVCentre, -kUVCentre, 0.0f};
    const GxV3d fromCentre = {kUVCentre, kUVCentre, 0.0f};
    const GxV3d zAxis = {0.0f, 0.0f, 1.0f};
    GxMatrixTranslate(&m, &toCentre, gxCOMBINEPOSTCONCAT);
    GxMatrixRotate(&m, &zAxis, -angle * kDegreesPerRadian, gxCOMBINEPOSTCONCAT);
    GxMatrixTranslate(&m, &fromCentre, gxCOMBINEPOSTCONCAT);
    const GxReal values[gxUVANIMVALUES] = {angle, m.right.x, m.up.y, m.right.y, m.pos.x, m.pos.y};
    memcpy(f->uv, values, sizeof(values));
}

GxMaterial* GxUVAnimMaterialAddTime(GxMaterial* material, GxReal seconds)
{
    GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    for (GxAnimInterpolator* interp : ext->slots) {
        if (interp) {
            GxAnimInterpolatorAddAnimTime(interp, seconds);
        }
    }
    return material;
}

GxMaterial* GxUVAnimMaterialApply(GxMaterial* material)
{
    GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    for (GxMatrix* matrix : ext->uv) {
        if (matrix) {
            GxMatrixSetIdentity(matrix);
        }
    }
    for (GxAnimInterpolator* interp : ext->slots) {
        if (!interp) {
            continue;
        }
        const GxAnimation* animation = interp->pCurrentAnim;
        const auto* custom = GxUVAnimGetCustomData(animation);
        for (GxInt32 n = 0; n < interp->numNodes && n < gxUVANIMMAXNODES; n++) {
            const GxUInt32 channel = custom->nodeToUVChannel[n];
            if (channel >= gxUVANIMCHANNELS || !ext->uv[channel]) {
                continue;
            }
            GxMatrix m;
            animation->interpInfo->keyFrameToMatrixCB(&m, GxAnimInterpolatorGetFrame(interp, n));
            GxMatrixTransform(ext->uv[channel], &m, gxCOMBINEPRECONCAT);
        }
    }
    GxMaterialEffectsSetUVTransformMatrices(material, ext->uv[0], ext->uv[1]);
    return material;
}

GxBool GxUVAnimMaterialHasAnimation(const GxMaterial* material)
{
    const GxUVAnimMaterialExt* ext = GxUVAnimAttachedExtOf(material);
    for (GxAnimInterpolator* interp : ext->slots) {
        if (interp) {
            return 1;
        }
    }
    return 0;
}

GxUVAnimDictionary* GxUVAnimSetCurrentDictionary(GxUVAnimDictionary* dictionary)
{
    currentDictionary = dictionary;
    return dictionary;
}

GxUVAnimDictionary* GxUVAnimGetCurrentDictionary(void) { return currentDictionary; }

GxUVAnimDictionary* GxUVAnimDictionaryCreate(void)
{
    auto* dictionary = static_cast<GxUVAnimDictionary*>(GxMalloc(sizeof(GxUVAnimDictionary), kDictionaryHint));
    if (!dictionary) {
        GxErrorRaise(gxPLUGINUVANIM, gxERRNOMEMORY);
        return nullptr;
    }
    *dictionary = {};
    if (!ListAdd(dictionary)) {
        GxFree(dictionary);
        return nullptr;
    }
    return dictionary;
}

GxUVAnimDictionary* GxUVAnimDictionaryAddEntry(GxUVAnimDictionary* dictionary, GxAnimation* animation)
{
    GX_ASSERT(dictionary && animation && IsUVScheme(animation), "a dictionary takes UV animations");
    if (dictionary->numEntries == dictionary->space) {
        const GxInt32 space = dictionary->space ? dictionary->space * 2 : 4;
        auto* grown = static_cast<GxAnimation**>(GxRealloc(
            dictionary->entries, static_cast<GxUInt32>(space * sizeof(*dictionary->entries)), kDictionaryHint));
        if (!grown) {
            GxErrorRaise(gxPLUGINUVANIM, gxERRNOMEMORY);
            return nullptr;
        }
        dictionary->entries = grown;
        dictionary->space = space;
    }
    dictionary->entries[dictionary->numEntries++] = GxUVAnimAddRef(animation);
    return dictionary;
}

GxAnimation* GxUVAnimDictionaryFindEntry(const GxUVAnimDictionary* dictionary, const GxChar* name)
{
    // Stored names need not end within their 32 bytes, so no comparison looks past them.
    for (GxInt32 i = 0; i < dictionary->numEntries; i++) {
        if (strncmp(GxUVAnimGetCustomData(dictionary->entries[i])->name, name, gxUVANIMNAMELENGTH) == 0) {
            return dictionary->entries[i];
        }
    }
    return nullptr;
}

GxBool GxUVAnimDictionaryDestroy(GxUVAnimDictionary* dictionary)
{
    GX_ASSERT(dictionary, "a dictionary is destroyed");
    ListRemove(dictionary);
    for (GxInt32 i = 0; i < dictionary->numEntries; i++) {
        GxUVAnimDestroy(dictionary->entries[i]);
    }
    GxFree(dictionary->entries);
    GxFree(dictionary);
    return 1;
}

GxUVAnimDictionary* GxUVAnimDictionaryStreamRead(GxStream* stream)
{
    GxUInt32 length = 0;
    GxUInt32 version = 0;
    GxUInt32 count = 0;
    if (!GxStreamFindChunk(stream, gxID_STRUCT, &length, &version) || version < kOldestDictionaryVersion ||
        length < sizeof(count) || !GxStreamReadInt32(stream, &count, sizeof(count))) {
        return nullptr;
    }
    if (!GxStreamCanSupply(stream, static_cast<uint64_t>(count) * kMinAnimationChunk)) {
        Refuse("UV animation dictionary count beyond the chunk");
        return nullptr;
    }
    GxUVAnimDictionary* dictionary = GxUVAnimDictionaryCreate();
    if (!dictionary) {
        return nullptr;
    }
    for (GxUInt32 i = 0; i < count; i++) {
        GxAnimation* animation = nullptr;
        if (GxStreamFindChunk(stream, gxID_ANIMANIMATION, nullptr, nullptr)) {
            animation = GxAnimationStreamRead(stream);
        }
        if (animation && !IsUVScheme(animation)) {
            Refuse("UV animation dictionary entry of another scheme");
            GxAnimationDestroy(animation);
            animation = nullptr;
        }
        const bool added = animation && GxUVAnimDictionaryAddEntry(dictionary, animation);
        if (animation) {
            GxUVAnimDestroy(animation);
        }
        if (!added) {
            GxUVAnimDictionaryDestroy(dictionary);
            return nullptr;
        }
    }
    return dictionary;
}
