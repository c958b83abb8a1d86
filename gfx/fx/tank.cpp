// Particle tanks: the tank record on its atomic, data arrays in either layout, locking, rendering through the
// tank's callbacks, and the split of quad draws into batches 16-bit indices can reach.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/plugin.h"
#include "gfx/fx/particles.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxUInt32 kTankHint = 0x3012F;
constexpr GxUInt32 kInterleavedHint = 0x30000;
constexpr GxUInt32 kDataAlign = 16;
constexpr GxUInt32 kAllChanged = 0xFFFFFFFFu;
constexpr GxUInt32 kLayoutBits = gxPTANKDFLAGARRAY | gxPTANKDFLAGSTRUCTURE;
// Each per-particle kind in array order: its data bit and element size.
constexpr GxUInt32 kKindBits[gxPTANKKINDS] = {
    gxPTANKDFLAGPOSITION, gxPTANKDFLAGMATRIX,   gxPTANKDFLAGNORMAL,        gxPTANKDFLAGSIZE,          gxPTANKDFLAGCOLOR,
    gxPTANKDFLAGVTXCOLOR, gxPTANKDFLAG2DROTATE, gxPTANKDFLAGVTX2TEXCOORDS, gxPTANKDFLAGVTX4TEXCOORDS,
};
constexpr GxInt32 kKindSizes[gxPTANKKINDS] = {12, static_cast<GxInt32>(sizeof(GxMatrix)), 12, 8, 4, 16, 4, 16, 32};
constexpr GxUInt32 kKindMask = 0x1FF;
// Engine render states the tank takes its blending from when it is made.
constexpr GxInt32 kStateSrcBlend = 10;
constexpr GxInt32 kStateDestBlend = 11;
constexpr GxInt32 kStateVertexAlpha = 12;
constexpr GxInt32 kDefaultBlend = 2;
// Triangles per quad vertex pair: two triangles for each four vertices.
constexpr GxInt32 kVerticesPerTriangle = 2;

GxInt32 tankOffset = -1;
GxParticleTankCallBackSet defaultCallbacks = {};
GxParticleTankDriverHooks driverHooks = {};

GxParticleTank*& TankOf(const GxAtomic* atomic)
{
    GX_ASSERT(tankOffset >= 0, "the plugin is attached before its extension is used");
    return *reinterpret_cast<GxParticleTank**>(reinterpret_cast<GxUInt8*>(const_cast<GxAtomic*>(atomic)) + tankOffset);
}

GxUInt32 NormaliseFlags(GxUInt32 flags)
{
    if (flags & gxPTANKDFLAGMATRIX) {
        flags &= ~(gxPTANKDFLAGPOSITION | gxPTANKDFLAGSIZE | gxPTANKDFLAG2DROTATE);
    }
    if (!(flags & (gxPTANKDFLAGMATRIX | gxPTANKDFLAGPOSITION))) {
        flags |= gxPTANKDFLAGPOSITION;
    }
    if (!(flags & kLayoutBits)) {
        flags |= gxPTANKDFLAGARRAY;
    }
    return flags;
}

GxUInt8* AlignUp(void* block)
{
    const auto address = reinterpret_cast<uintptr_t>(block);
    return reinterpret_cast<GxUInt8*>((address + kDataAlign - 1) & ~static_cast<uintptr_t>(kDataAlign - 1));
}

// Reserves `total` bytes plus room to align the start to 16; null when it cannot be had.
GxUInt8* AllocBlock(GxParticleTank* tank, uint64_t total, GxUInt32 hint)
{
    total += kDataAlign;
    if (total > 0x7FFFFFFFu) {
        GxErrorRaise(gxPLUGINPARTICLETANK, gxERRNOMEMORY);
        return nullptr;
    }
    tank->rawData = GxMalloc(static_cast<GxUInt32>(total), hint);
    if (!tank->rawData) {
        GxErrorRaise(gxPLUGINPARTICLETANK, gxERRNOMEMORY);
        return nullptr;
    }
    memset(tank->rawData, 0, static_cast<size_t>(total));
    return AlignUp(tank->rawData);
}

// One record per particle holding every kind present, each kind at its offset in the record.
bool AllocInterleaved(GxParticleTank* tank, GxInt32 capacity, GxUInt32 flags)
{
    GxParticleTankFormat& format = tank->format;
    GxInt32 recordSize = 0;
    for (GxInt32 k = 0; k < gxPTANKKINDS; k++) {
        recordSize += (flags & kKindBits[k]) ? kKindSizes[k] : 0;
    }
    GxUInt8* at =
        AllocBlock(tank, static_cast<uint64_t>(capacity) * static_cast<uint64_t>(recordSize), kInterleavedHint);
    if (!at) {
        return false;
    }
    for (GxInt32 k = 0; k < gxPTANKKINDS; k++) {
        if (flags & kKindBits[k]) {
            format.kinds[k] = {at, recordSize};
            format.numArrays++;
            at += kKindSizes[k];
        }
    }
    format.stride = recordSize;
    return true;
}

void SetConstants(GxParticleTank* tank)
{
    tank->srcBlend = kDefaultBlend;
    tank->dstBlend = kDefaultBlend;
    tank->vertexAlphaBlend = 1;
    tank->cSize[0] = tank->cSize[1] = 1.0f;
    tank->cColor = {0, 0, 0, 255};
    for (GxRGBA& colour : tank->cVtxColor) {
        colour = tank->cColor;
    }
    const GxReal uv[8] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f};
    memcpy(tank->cUV, uv, sizeof(uv));
    GxMatrixSetIdentity(&tank->cMatrix);
    GxRenderStateGetFunction get = GxEngineInstance->dOpenDevice.fpRenderStateGet;
    if (get) {
        get(kStateSrcBlend, &tank->srcBlend);
        get(kStateDestBlend, &tank->dstBlend);
        get(kStateVertexAlpha, &tank->vertexAlphaBlend);
    }
}

void FreeTank(GxParticleTank* tank)
{
    if (tank->rawData) {
        GxFree(tank->rawData);
    }
    GxFree(tank);
}

void* AtomicConstruct(void* object, GxInt32, GxInt32)
{
    TankOf(static_cast<GxAtomic*>(object)) = nullptr;
    return object;
}

void* ModuleOpen(void* instance, GxInt32, GxInt32)
{
    if (driverHooks.open && !driverHooks.open()) {
        return nullptr;
    }
    return instance;
}

void* ModuleClose(void* instance, GxInt32, GxInt32)
{
    if (driverHooks.close) {
        driverHooks.close();
    }
    return instance;
}

}  // namespace

void* GxParticleTankAtomicDestructor(void* object, GxInt32, GxInt32)
{
    GxParticleTank*& tank = TankOf(static_cast<GxAtomic*>(object));
    if (tank) {
        FreeTank(tank);
        tank = nullptr;
    }
    return object;
}

GxBool GxParticleTankAllocArrays(GxParticleTank* tank, GxInt32 capacity, GxUInt32 dataFlags)
{
    GxParticleTankFormat& format = tank->format;
    uint64_t total = 0;
    for (GxInt32 k = 0; k < gxPTANKKINDS; k++) {
        total += (dataFlags & kKindBits[k]) ? static_cast<uint64_t>(capacity) * kKindSizes[k] : 0;
    }
    GxUInt8* at = AllocBlock(tank, total, kTankHint);
    if (!at) {
        return 0;
    }
    for (GxInt32 k = 0; k < gxPTANKKINDS; k++) {
        if (dataFlags & kKindBits[k]) {
            format.kinds[k] = {at, kKindSizes[k]};
            format.numArrays++;
            at += static_cast<size_t>(capacity) * kKindSizes[k];
        }
    }
    format.stride = 0;
    return 1;
}

GxBool GxParticleTankPluginAttach(void)
{
    if (GxEngineRegisterPlugin(0, gxPLUGINPARTICLETANK, ModuleOpen, ModuleClose) < 0) {
        return 0;
    }
    tankOffset = GxAtomicRegisterPlugin(sizeof(GxParticleTank*), gxPLUGINPARTICLETANK, AtomicConstruct,
                                        GxParticleTankAtomicDestructor, nullptr);
    return tankOffset >= 0 ? 1 : 0;
}

void GxParticleTankSetDriverHooks(const GxParticleTankDriverHooks* hooks)
{
    driverHooks = hooks ? *hooks : GxParticleTankDriverHooks{};
}

void GxParticleTankSetDefaultCallbacks(const GxParticleTankCallBackSet* callbacks)
{
    defaultCallbacks = callbacks ? *callbacks : GxParticleTankCallBackSet{};
}

GxAtomic* GxParticleTankCreate(GxInt32 maxParticles, GxUInt32 dataFlags, GxUInt32 platFlags)
{
    return GxParticleTankCreateWithCallbacks(maxParticles, NormaliseFlags(dataFlags), platFlags, &defaultCallbacks);
}

GxAtomic* GxParticleTankCreateWithCallbacks(GxInt32 maxParticles, GxUInt32 dataFlags, GxUInt32 platFlags,
                                            const GxParticleTankCallBackSet* callbacks)
{
    GX_ASSERT(maxParticles >= 0 && callbacks, "a tank is made for a capacity with a callback table");
    GxAtomic* atomic = GxAtomicCreate();
    if (!atomic) {
        return nullptr;
    }
    auto* tank = static_cast<GxParticleTank*>(GxMalloc(sizeof(GxParticleTank), kTankHint));
    if (!tank) {
        GxErrorRaise(gxPLUGINPARTICLETANK, gxERRNOMEMORY);
        GxAtomicDestroy(atomic);
        return nullptr;
    }
    memset(tank, 0, sizeof(*tank));
    TankOf(atomic) = tank;
    tank->savedRender = atomic->renderCallBack;
    GxAtomicSetRenderCallBack(atomic, GxParticleTankRender);
    tank->maxPCount = maxParticles;
    tank->platFlags = platFlags;
    tank->updateFlags = kAllChanged;
    tank->callbacks = *callbacks;
    bool made = false;
    if (callbacks->alloc) {
        tank->format.dataFlags = dataFlags;
        made = callbacks->alloc(&tank->format, maxParticles, dataFlags) != nullptr;
    } else {
        made = (dataFlags & gxPTANKDFLAGSTRUCTURE) ? AllocInterleaved(tank, maxParticles, dataFlags)
                                                   : GxParticleTankAllocArrays(tank, maxParticles, dataFlags) != 0;
    }
    tank->format.dataFlags = dataFlags;
    if (!made || (callbacks->create && !callbacks->create(atomic, &tank->format, maxParticles, dataFlags, platFlags))) {
        GxAtomicDestroy(atomic);
        return nullptr;
    }
    // The tank draws with the texture its owner gives it, never one a shared material brought along.
    GxGeometry* geometry = atomic->geometry;
    if (geometry && geometry->matList.numMaterials > 0) {
        GxMaterialSetTexture(geometry->matList.materials[0], nullptr);
    }
    SetConstants(tank);
    return atomic;
}

GxBool GxParticleTankDestroy(GxAtomic* atomic) { return GxAtomicDestroy(atomic); }

GxParticleTank* GxParticleTankGet(const GxAtomic* atomic)
{
    GX_ASSERT(atomic, "a tank is asked of an atomic");
    return TankOf(atomic);
}

const GxParticleTankFormat* GxParticleTankGetFormat(const GxAtomic* atomic)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GX_ASSERT(tank, "the format is asked of a tank atomic");
    return &tank->format;
}

GxBool GxParticleTankLock(GxAtomic* atomic, GxParticleTankLockStruct* out, GxUInt32 dataBit, GxUInt32 lockFlags)
{
    *out = {nullptr, 0};
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GX_ASSERT(tank, "only a tank atomic is locked");
    if (!(tank->format.dataFlags & dataBit & kKindMask)) {
        return 0;
    }
    for (GxInt32 k = 0; k < gxPTANKKINDS; k++) {
        if (kKindBits[k] == dataBit) {
            *out = tank->format.kinds[k];
            if (lockFlags & gxPTANKLOCKWRITE) {
                tank->lockFlags |= dataBit;
            }
            return 1;
        }
    }
    return 0;
}

GxAtomic* GxParticleTankUnlock(GxAtomic* atomic)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GX_ASSERT(tank, "only a tank atomic is unlocked");
    tank->updateFlags |= tank->lockFlags;
    tank->lockFlags = 0;
    return atomic;
}

GxAtomic* GxParticleTankSetCount(GxAtomic* atomic, GxInt32 count)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    GX_ASSERT(tank && count >= 0 && count <= tank->maxPCount, "a tank draws at most its capacity");
    tank->pCount = count;
    tank->updateFlags |= gxPTANKDFLAGNEWCOUNT;
    return atomic;
}

GxAtomic* GxParticleTankRender(GxAtomic* atomic)
{
    // A copy of a tank atomic keeps this callback but gets no tank of its own.
    GxParticleTank* tank = GxParticleTankGet(atomic);
    if (!tank) {
        return nullptr;
    }
    if (tank->pCount > 0) {
        if (tank->callbacks.instance) {
            tank->callbacks.instance(atomic, &tank->format, tank->pCount, tank->updateFlags);
        }
        tank->updateFlags = 0;
        if (tank->callbacks.render && !tank->callbacks.render(atomic, &tank->format, tank->pCount)) {
            return nullptr;
        }
    }
    return tank->savedRender(atomic);
}

GxBool GxPTankInstance(GxAtomic* atomic, GxParticleTankFormat*, GxInt32 count, GxUInt32)
{
    GxParticleTank* tank = GxParticleTankGet(atomic);
    const GxPTankInstancers& table = tank->instancers;
    GX_ASSERT(table.setup, "a tank's create callback installs its set-up instancer");
    GxPTankInstanceWork work = {};
    if (!table.setup(&work, atomic, tank, count)) {
        return 0;
    }
    if (table.positions && work.hasPositions) {
        table.positions(work.positions, work.positionStride, count, tank, &work);
    }
    if (table.texCoords && work.hasTexCoords) {
        table.texCoords(work.texCoords, work.texCoordStride, count, tank, &work);
    }
    if (table.colors && work.hasColors) {
        table.colors(work.colors, work.colorStride, count, tank, &work);
    }
    if (table.normals && work.hasNormals) {
        table.normals(work.normals, work.normalStride, count, tank, &work);
    }
    if (table.finish) {
        table.finish(atomic, tank, &work);
    }
    return 1;
}

GxInt32 GxParticleTankSplitQuads(GxInt32 firstVertex, GxInt32 vertices, GxParticleTankDrawQuadsCallBack draw,
                                 void* data)
{
    GxInt32 batches = 0;
    while (vertices > gxPTANKMAXQUADVERTICES) {
        draw(data, firstVertex, gxPTANKMAXQUADVERTICES, gxPTANKMAXQUADVERTICES / kVerticesPerTriangle);
        firstVertex += gxPTANKMAXQUADVERTICES;
        vertices -= gxPTANKMAXQUADVERTICES;
        batches++;
    }
    if (vertices > 0) {
        draw(data, firstVertex, vertices, vertices / kVerticesPerTriangle);
        batches++;
    }
    return batches;
}
