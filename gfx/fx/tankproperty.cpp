// The particle-tank property of standard emitters: its defaults, copy and destruction, the tank made from the
// emitter's other properties or linked to it, the arrays locked for an update, and the property's stream form.
#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/fx/particles.h"
#include "gfx/fx/particles_local.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxUInt32 kAllFlags = 0xFFFFFFFFu;
constexpr GxInt32 kDefaultBlend = 2;
constexpr GxReal kTankRotationEpsilon = 1e-5f;
// Stream form: update flags, emission flags, source blend, destination blend, vertex alpha.
constexpr GxUInt32 kStreamWords = 5;

GxParticleEmitterTank* TankProperty(GxParticleEmitter* emitter)
{
    return static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPTANK));
}

bool Has(GxParticleEmitter* emitter, GxInt32 id) { return GxParticleEmitterGetProperty(emitter, id) != nullptr; }

void ClearArrays(GxParticleEmitterTank* t)
{
    memset(t->dataIn, 0, sizeof(t->dataIn));
    memset(t->dataOut, 0, sizeof(t->dataOut));
    memset(t->dataStride, 0, sizeof(t->dataStride));
}

// A tank goes with its frame.
void DestroyTank(GxAtomic* tank)
{
    auto* frame = static_cast<GxFrame*>(tank->object.object.parent);
    GxAtomicSetFrame(tank, nullptr);
    GxParticleTankDestroy(tank);
    if (frame) {
        GxFrameDestroy(frame);
    }
}

// The tank's data flags from the emitter's properties. A tank turned as a whole is updated by the emitter.
GxUInt32 TankFlags(GxParticleEmitter* e, GxParticleEmitterTank* t, const GxParticleEmitterStd* s)
{
    GxUInt32 flags = Has(e, gxPRTSTDPROPERTYCODEEMITTERPRTMATRIX) ? gxPTANKDFLAGMATRIX : gxPTANKDFLAGPOSITION;
    if (Has(e, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR)) {
        flags |= gxPTANKDFLAGCOLOR;
    }
    if (s && s->texture) {
        flags |=
            Has(e, gxPRTSTDPROPERTYCODEEMITTERPRTTEXCOORDS) ? gxPTANKDFLAGVTX2TEXCOORDS : gxPTANKDFLAGCNSVTX2TEXCOORDS;
    }
    if (Has(e, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE) && (flags & gxPTANKDFLAGPOSITION)) {
        flags |= gxPTANKDFLAGSIZE;
    }
    t->updateFlags &= ~static_cast<GxUInt32>(gxPTANKDFLAGCNS2DROTATE);
    if (flags & gxPTANKDFLAGPOSITION) {
        if (Has(e, gxPRTSTDPROPERTYCODEEMITTERPRT2DROTATE)) {
            flags |= gxPTANKDFLAG2DROTATE;
        } else if (s && std::fabs(s->tankRotSpeed) > kTankRotationEpsilon) {
            flags |= gxPTANKDFLAGCNS2DROTATE;
            t->updateFlags |= gxPTANKDFLAGCNS2DROTATE;
        }
    }
    return flags;
}

// Where the emitter has no per-particle form, the tank takes the standard property's colour (its material's too),
// texture coordinates and size as constants; the emitter's texture goes on its material.
void GiveConstants(GxAtomic* tank, GxUInt32 flags, const GxParticleEmitterStd* s)
{
    GxParticleTank* record = GxParticleTankGet(tank);
    GxGeometry* geometry = tank->geometry;
    GxMaterial* material = geometry && geometry->matList.numMaterials > 0 ? geometry->matList.materials[0] : nullptr;
    if (!(flags & gxPTANKDFLAGCOLOR)) {
        record->cColor = s->ptcleColor;
        record->cFlags |= gxPTANKDFLAGCNSCOLOR;
        if (material) {
            material->color = s->ptcleColor;
        }
    }
    if (flags & gxPTANKDFLAGCNSVTX2TEXCOORDS) {
        memcpy(record->cUV, s->ptcleUV, sizeof(record->cUV));
        record->cFlags |= gxPTANKDFLAGCNSVTX2TEXCOORDS;
    }
    if (!(flags & gxPTANKDFLAGSIZE)) {
        record->cSize[0] = s->ptcleSize[0];
        record->cSize[1] = s->ptcleSize[1];
        record->cFlags |= gxPTANKDFLAGCNSSIZE;
    }
    if (material && s->texture) {
        GxMaterialSetTexture(material, s->texture);
    }
}

}  // namespace

void GxPTankPropertyInit(GxParticleEmitterTank* property)
{
    memset(property, 0, sizeof(*property));
    property->updateFlags = kAllFlags;
    property->emitFlags = kAllFlags;
    property->srcBlend = kDefaultBlend;
    property->dstBlend = kDefaultBlend;
    property->vtxAlphaBlend = 1;
}

void GxPTankPropertyDestroy(GxParticleEmitterTank* property)
{
    if (property->tank) {
        DestroyTank(property->tank);
    }
    property->tank = nullptr;
    property->maxPCount = 0;
    ClearArrays(property);
}

void GxPTankPropertyCopy(GxParticleEmitterTank* dst, const GxParticleEmitterTank* src)
{
    dst->dataFlags = src->dataFlags;
    dst->platFlags = src->platFlags;
    dst->maxPCount = src->maxPCount;
    dst->updateFlags = src->updateFlags;
    dst->emitFlags = src->emitFlags;
    dst->srcBlend = src->srcBlend;
    dst->dstBlend = src->dstBlend;
    dst->vtxAlphaBlend = src->vtxAlphaBlend;
}

GxParticleEmitterTank* GxPTankPropertyLockArrays(GxParticleEmitterTank* property)
{
    GX_ASSERT(property && property->tank, "only a property that holds a tank locks its arrays");
    property->dataFlags = 0;
    for (GxInt32 slot = 0; slot < gxPARTICLETANKSLOTS; slot++) {
        GxParticleTankLockStruct lock;
        if (GxParticleTankLock(property->tank, &lock, gxPARTICLETANKBITS[slot], gxPTANKLOCKWRITE)) {
            property->dataFlags |= gxPARTICLETANKBITS[slot];
        }
        property->dataIn[slot] = property->dataOut[slot] = lock.data;
        property->dataStride[slot] = lock.stride;
    }
    return property;
}

GxParticleEmitter* GxPTankPropertyCreateTank(GxParticleEmitter* emitter)
{
    GxParticleEmitterTank* t = emitter ? TankProperty(emitter) : nullptr;
    GX_ASSERT(t, "a tank is made for an emitter that carries the tank property");
    if (t->tank) {
        ClearArrays(t);
        return emitter;
    }
    const auto* s = static_cast<const GxParticleEmitterStd*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    const GxUInt32 flags = TankFlags(emitter, t, s);
    GxAtomic* tank = GxParticleTankCreate(s ? s->maxPTank : 0, flags, t->platFlags);
    if (!tank) {
        return nullptr;
    }
    // Particles are written in world space: the tank's own frame stays the identity.
    GxFrame* frame = GxFrameCreate();
    if (!frame) {
        GxParticleTankDestroy(tank);
        return nullptr;
    }
    GxAtomicSetFrame(tank, frame);
    GxParticleTank* record = GxParticleTankGet(tank);
    record->cPivot[0] = record->cPivot[1] = 0.0f;
    record->cFlags |= gxPTANKDFLAGUSECENTER;
    if (s) {
        GiveConstants(tank, flags, s);
    }
    if (!GxPTankPropertyLinkTank(emitter, tank)) {
        DestroyTank(tank);
        return nullptr;
    }
    record->srcBlend = t->srcBlend;
    record->dstBlend = t->dstBlend;
    record->vertexAlphaBlend = t->vtxAlphaBlend;
    record->cFlags |= gxPTANKDFLAGOWNBLEND;
    return emitter;
}

GxParticleEmitter* GxPTankPropertyLinkTank(GxParticleEmitter* emitter, GxAtomic* tank)
{
    GxParticleEmitterTank* t = emitter ? TankProperty(emitter) : nullptr;
    GxParticleTank* record = GxParticleTankGet(tank);
    GX_ASSERT(t && record, "a tank atomic is linked to an emitter that carries the tank property");
    if (t->tank) {
        return nullptr;
    }
    t->tank = tank;
    t->maxPCount = record->maxPCount;
    t->dataFlags = record->format.dataFlags;
    t->platFlags = 0;
    t->unused = 0;
    t->numWritten = 0;
    ClearArrays(t);
    record->cFlags |= gxPTANKDFLAGHIDEINACTIVE;
    GxParticleTankSetCount(tank, 0);
    return emitter;
}

GxParticleEmitterTank* GxPTankPropertyStreamRead(GxStream* stream, GxParticleEmitterTank* property)
{
    GxUInt32 words[kStreamWords];
    if (!GxStreamReadInt32(stream, words, sizeof(words))) {
        return nullptr;
    }
    property->updateFlags = words[0];
    property->emitFlags = words[1];
    property->srcBlend = static_cast<GxInt32>(words[2]);
    property->dstBlend = static_cast<GxInt32>(words[3]);
    property->vtxAlphaBlend = static_cast<GxBool>(words[4]);
    return property;
}

const GxParticleEmitterTank* GxPTankPropertyStreamWrite(GxStream* stream, const GxParticleEmitterTank* property)
{
    const GxUInt32 words[kStreamWords] = {
        property->updateFlags, property->emitFlags, static_cast<GxUInt32>(property->srcBlend),
        static_cast<GxUInt32>(property->dstBlend), static_cast<GxUInt32>(property->vtxAlphaBlend)};
    return GxStreamWriteInt32(stream, words, sizeof(words)) ? property : nullptr;
}

GxUInt32 GxPTankPropertyStreamGetSize(const GxParticleEmitterTank*) { return kStreamWords * sizeof(GxUInt32); }
