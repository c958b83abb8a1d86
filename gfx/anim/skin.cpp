// Skin plugin: the skin record and its arrays, the geometry and atomic extensions, the skin stream (and the older
// atomic layout), the palette scratch area and the pipeline choice handed to the driver.
#include <cstring>

#include "gfx/anim/anim_local.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"

namespace {

constexpr GxUInt32 kRecordHint = 0x40116;
constexpr GxUInt32 kArrayHint = 0x30116;
constexpr GxInt32 kMatrixAlign = 16;
constexpr GxUInt32 kPaletteBytes = gxSKINPALETTESIZE * sizeof(GxMatrix);
// Packed counts word: bone count, used-bone count, maximum weights, zero.
constexpr GxUInt32 kCountsSize = 4;
constexpr GxUInt32 kMaxStreamBones = 255;
constexpr GxUInt32 kPerVertexBytes = 20;  // four index bytes, four weights
constexpr uint64_t kMaxArrayBytes = 0x7FFFFFFFu;
// Older atomic layout: a word after the bone count, and 12 bytes before each bone's matrix.
constexpr GxUInt32 kOldSkipAfterCount = 4;
constexpr GxUInt32 kOldSkipPerBone = 12;
constexpr GxInt32 kPipelineDefault = 1;
constexpr GxInt32 kPipelineMatFX = 2;
constexpr GxInt32 kPipelineType3 = 3;
constexpr GxUInt32 kMaskDefault = 1;
constexpr GxUInt32 kMaskMatFX = 2;
constexpr GxUInt32 kMaskType3 = 4;

GxInt32 geometryOffset = -1;
GxInt32 atomicOffset = -1;
GxInt32 openCount = 0;
void* paletteBlock = nullptr;
GxMatrix* palette = nullptr;
GxSkinDriverHooks driverHooks = {};

GxSkin*& SkinOf(GxGeometry* geometry)
{
    return *reinterpret_cast<GxSkin**>(reinterpret_cast<GxUInt8*>(geometry) + geometryOffset);
}

GxSkin* SkinOf(const GxGeometry* geometry)
{
    return *reinterpret_cast<GxSkin* const*>(reinterpret_cast<const GxUInt8*>(geometry) + geometryOffset);
}

GxAnimHierarchy*& HierarchyOf(GxAtomic* atomic)
{
    return *reinterpret_cast<GxAnimHierarchy**>(reinterpret_cast<GxUInt8*>(atomic) + atomicOffset);
}

// Index bytes past the bone count: refused under a weight, pointed at bone 0 where the weight is 0 (such slots
// are multiplied by nothing, yet some blends still read their bone).
bool CheckIndices(GxSkin* skin)
{
    for (GxUInt32 v = 0; v < skin->numVertices; v++) {
        GxUInt32 packed = skin->vertexBoneIndices[v];
        GxUInt32 fixed = 0;
        for (GxInt32 j = 0; j < gxSKINMAXWEIGHTS; j++) {
            GxUInt32 bone = (packed >> (8 * j)) & 0xFF;
            if (bone >= skin->numBones) {
                if (skin->vertexBoneWeights[v * gxSKINMAXWEIGHTS + j] != 0.0f) {
                    return false;
                }
                bone = 0;
            }
            fixed |= bone << (8 * j);
        }
        skin->vertexBoneIndices[v] = fixed;
    }
    return true;
}

bool CheckUsedBones(const GxSkin* skin)
{
    for (GxUInt32 i = 0; i < skin->numBoneIDs; i++) {
        if (skin->boneIDs[i] >= skin->numBones) {
            return false;
        }
    }
    return true;
}

void FreeArrays(GxSkin* skin)
{
    if (skin->unaligned) {
        GxFree(skin->unaligned);
    }
    skin->unaligned = nullptr;
    skin->boneIDs = nullptr;
    skin->skinToBoneMatrices = nullptr;
    skin->vertexBoneIndices = nullptr;
    skin->vertexBoneWeights = nullptr;
}

// ---------------------------------------------------------------------------------------------- geometry extension

void* GeometryConstruct(void* object, GxInt32, GxInt32)
{
    SkinOf(static_cast<GxGeometry*>(object)) = nullptr;
    return object;
}

void* GeometryDestruct(void* object, GxInt32, GxInt32)
{
    GxSkin*& skin = SkinOf(static_cast<GxGeometry*>(object));
    if (skin) {
        GxSkinDestroy(skin);
        skin = nullptr;
    }
    return object;
}

GxStream* GeometryRead(GxStream* stream, GxInt32, void* object, GxInt32, GxInt32)
{
    auto* geometry = static_cast<GxGeometry*>(object);
    if (geometry->flags & gxGEOMETRYNATIVE) {
        return GxSkinGeometryStreamReadHeader(stream, geometry);
    }
    GxUInt32 counts = 0;
    if (!GxAnimReadUInt32(stream, &counts)) {
        return nullptr;
    }
    const GxUInt32 numBones = counts & 0xFF;
    const GxUInt32 numUsed = (counts >> 8) & 0xFF;
    GxUInt32 maxWeights = (counts >> 16) & 0xFF;
    const auto numVertices = static_cast<GxUInt32>(geometry->numVertices > 0 ? geometry->numVertices : 0);
    if (maxWeights > gxSKINMAXWEIGHTS || numUsed > numBones) {
        return nullptr;
    }
    const uint64_t need = numUsed + static_cast<uint64_t>(numVertices) * kPerVertexBytes +
                          static_cast<uint64_t>(numBones) * sizeof(GxMatrix);
    if (!GxStreamCanSupply(stream, need)) {
        return nullptr;
    }
    GxSkin* skin = GxSkinCreate();
    if (!skin) {
        return nullptr;
    }
    if (!GxSkinDataAllocate(skin, numBones, numUsed, numVertices, nullptr, nullptr, nullptr, nullptr)) {
        GxSkinDestroy(skin);
        return nullptr;
    }
    skin->maxNumWeightsForVertex = maxWeights;
    const bool read =
        (numUsed == 0 || GxStreamRead(stream, skin->boneIDs, numUsed) == numUsed) &&
        (numVertices == 0 || GxStreamReadInt32(stream, skin->vertexBoneIndices, numVertices * 4)) &&
        (numVertices == 0 || GxStreamReadInt32(stream, skin->vertexBoneWeights, numVertices * 16)) &&
        (numBones == 0 || GxStreamReadInt32(stream, skin->skinToBoneMatrices, numBones * sizeof(GxMatrix))) &&
        GxSkinSplitDataStreamRead(stream, skin);
    if (!read) {
        GxSkinDestroy(skin);
        return nullptr;
    }
    if (!CheckUsedBones(skin) || !CheckIndices(skin)) {
        GxSkinDestroy(skin);
        return nullptr;
    }
    if (skin->maxNumWeightsForVertex == 0) {
        skin->maxNumWeightsForVertex = GxSkinComputeMaxWeights(skin->vertexBoneWeights, numVertices);
    }
    if (SkinOf(geometry)) {
        GxSkinDestroy(SkinOf(geometry));
        SkinOf(geometry) = nullptr;
    }
    GxSkinGeometrySetSkin(geometry, skin);
    return stream;
}

GxStream* GeometryWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const auto* geometry = static_cast<const GxGeometry*>(object);
    const GxSkin* skin = SkinOf(geometry);
    if (!skin) {
        return stream;
    }
    if (geometry->flags & gxGEOMETRYNATIVE) {
        return GxSkinGeometryStreamWriteHeader(stream, geometry);
    }
    // Counts are bytes on the stream: a skin that does not fit is refused rather than cut.
    if (skin->numBones > kMaxStreamBones || skin->numBoneIDs > kMaxStreamBones ||
        skin->numVertices != static_cast<GxUInt32>(geometry->numVertices)) {
        return nullptr;
    }
    const GxUInt32 counts = skin->numBones | (skin->numBoneIDs << 8) | (skin->maxNumWeightsForVertex << 16);
    const GxUInt32 v = skin->numVertices;
    const bool written = GxAnimWriteUInt32(stream, counts) &&
                         (skin->numBoneIDs == 0 || GxStreamWrite(stream, skin->boneIDs, skin->numBoneIDs)) &&
                         (v == 0 || GxStreamWriteInt32(stream, skin->vertexBoneIndices, v * 4)) &&
                         (v == 0 || GxStreamWriteReal(stream, skin->vertexBoneWeights, v * 16)) &&
                         (skin->numBones == 0 ||
                          GxStreamWriteInt32(stream, skin->skinToBoneMatrices, skin->numBones * sizeof(GxMatrix))) &&
                         GxSkinSplitDataStreamWrite(stream, skin);
    return written ? stream : nullptr;
}

GxInt32 GeometrySize(const void* object, GxInt32, GxInt32)
{
    const auto* geometry = static_cast<const GxGeometry*>(object);
    const GxSkin* skin = SkinOf(geometry);
    if (!skin) {
        return 0;
    }
    // A native-form geometry's skin travels with the renderer's native data: no skin chunk of its own.
    if (geometry->flags & gxGEOMETRYNATIVE) {
        return 0;
    }
    return static_cast<GxInt32>(skin->numBones * sizeof(GxMatrix) + skin->numVertices * kPerVertexBytes +
                                skin->numBoneIDs + kCountsSize) +
           GxSkinSplitDataStreamSize(skin);
}

// ---------------------------------------------------------------------------------------------- atomic extension

void* AtomicConstruct(void* object, GxInt32, GxInt32)
{
    HierarchyOf(static_cast<GxAtomic*>(object)) = nullptr;
    return object;
}

void* AtomicDestruct(void* object, GxInt32, GxInt32) { return object; }

void* AtomicCopy(void* dst, const void* src, GxInt32, GxInt32)
{
    HierarchyOf(static_cast<GxAtomic*>(dst)) = HierarchyOf(static_cast<GxAtomic*>(const_cast<void*>(src)));
    return dst;
}

// The older layout, read only: a bone count and the arrays, with matrices behind padding.
GxStream* AtomicRead(GxStream* stream, GxInt32 length, void* object, GxInt32, GxInt32)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    GxGeometry* geometry = atomic->geometry;
    if (!geometry || SkinOf(geometry)) {
        return length > 0 ? GxStreamSkip(stream, static_cast<GxUInt32>(length)) : stream;
    }
    GxUInt32 numBones = 0;
    if (!GxAnimReadUInt32(stream, &numBones) || !GxStreamSkip(stream, kOldSkipAfterCount)) {
        return nullptr;
    }
    const auto numVertices = static_cast<GxUInt32>(geometry->numVertices > 0 ? geometry->numVertices : 0);
    if (numBones > gxSKINPALETTESIZE ||
        !GxStreamCanSupply(stream, static_cast<uint64_t>(numVertices) * kPerVertexBytes +
                                       static_cast<uint64_t>(numBones) * (sizeof(GxMatrix) + kOldSkipPerBone))) {
        return nullptr;
    }
    GxSkin* skin = GxSkinCreate();
    if (!skin || !GxSkinDataAllocate(skin, numBones, numBones, numVertices, nullptr, nullptr, nullptr, nullptr)) {
        if (skin) {
            GxSkinDestroy(skin);
        }
        return nullptr;
    }
    bool read = (numVertices == 0 || (GxStreamReadInt32(stream, skin->vertexBoneIndices, numVertices * 4) &&
                                      GxStreamReadInt32(stream, skin->vertexBoneWeights, numVertices * 16)));
    for (GxUInt32 b = 0; read && b < numBones; b++) {
        read = GxStreamSkip(stream, kOldSkipPerBone) &&
               GxStreamReadInt32(stream, &skin->skinToBoneMatrices[b], sizeof(GxMatrix));
    }
    if (!read) {
        GxSkinDestroy(skin);
        return nullptr;
    }
    if (!CheckIndices(skin)) {
        GxSkinDestroy(skin);
        return nullptr;
    }
    skin->maxNumWeightsForVertex = GxSkinComputeMaxWeights(skin->vertexBoneWeights, numVertices);
    GxSkinFindUsedBones(skin, skin->vertexBoneIndices, skin->vertexBoneWeights, skin->boneIDs, &skin->numBoneIDs,
                        numVertices);
    GxSkinGeometrySetSkin(geometry, skin);
    return stream;
}

GxInt32 AtomicSize(const void*, GxInt32, GxInt32) { return 0; }

GxInt32 MatFXFlag(GxAtomic* atomic)
{
    const GxInt32 offset = GxAtomicGetPluginOffset(gxPLUGINMATFX);
    if (offset < 0) {
        return 0;
    }
    return *reinterpret_cast<GxInt32*>(reinterpret_cast<GxUInt8*>(atomic) + offset);
}

void InitPipeline(GxAtomic* atomic, GxInt32 type)
{
    if (driverHooks.atomicInitPipeline) {
        driverHooks.atomicInitPipeline(atomic, type);
    }
}

GxBool AtomicAlways(void* object, GxInt32, GxInt32)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    if (atomic->geometry && SkinOf(atomic->geometry)) {
        InitPipeline(atomic, MatFXFlag(atomic) ? kPipelineMatFX : kPipelineDefault);
    }
    return 1;
}

GxBool AtomicRights(void* object, GxInt32, GxInt32, GxUInt32 extraData)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    if (!atomic->geometry || !SkinOf(atomic->geometry)) {
        return 1;
    }
    auto type = static_cast<GxInt32>(extraData);
    if ((type == kPipelineMatFX && GxEngineGetPluginOffset(gxPLUGINMATFX) < 0) ||
        (type == kPipelineType3 && GxEngineGetPluginOffset(gxPLUGINSKINTYPE3) < 0)) {
        type = kPipelineDefault;
    }
    InitPipeline(atomic, type);
    return 1;
}

// ---------------------------------------------------------------------------------------------- module

void ReleaseModule()
{
    if (paletteBlock) {
        GxFree(paletteBlock);
    }
    paletteBlock = nullptr;
    palette = nullptr;
}

void* ModuleOpen(void* instance, GxInt32, GxInt32)
{
    if (openCount++ > 0) {
        return instance;
    }
    GxUInt32 mask = kMaskDefault;
    if (GxEngineGetPluginOffset(gxPLUGINMATFX) >= 0) {
        mask |= kMaskMatFX;
    }
    if (GxEngineGetPluginOffset(gxPLUGINSKINTYPE3) >= 0) {
        mask |= kMaskType3;
    }
    if (driverHooks.pipelinesCreate && !driverHooks.pipelinesCreate(mask)) {
        openCount--;
        return nullptr;
    }
    paletteBlock = GxCalloc(1, kPaletteBytes + kMatrixAlign - 1, kArrayHint);
    if (!paletteBlock) {
        if (driverHooks.pipelinesDestroy) {
            driverHooks.pipelinesDestroy();
        }
        openCount--;
        return nullptr;
    }
    const auto address = reinterpret_cast<uintptr_t>(paletteBlock);
    palette = reinterpret_cast<GxMatrix*>((address + kMatrixAlign - 1) & ~uintptr_t(kMatrixAlign - 1));
    return instance;
}

void* ModuleClose(void* instance, GxInt32, GxInt32)
{
    if (openCount == 0 || --openCount > 0) {
        return instance;
    }
    if (driverHooks.pipelinesDestroy) {
        driverHooks.pipelinesDestroy();
    }
    ReleaseModule();
    return instance;
}

}  // namespace

GxUInt32 GxSkinAllocHint(void) { return kArrayHint; }

void GxSkinSetDriverHooks(const GxSkinDriverHooks* hooks) { driverHooks = hooks ? *hooks : GxSkinDriverHooks{}; }

GxBool GxSkinPluginAttach(void)
{
    if (GxEngineRegisterPlugin(0, gxPLUGINSKIN, ModuleOpen, ModuleClose) < 0) {
        return 0;
    }
    atomicOffset =
        GxAtomicRegisterPlugin(sizeof(GxAnimHierarchy*), gxPLUGINSKIN, AtomicConstruct, AtomicDestruct, AtomicCopy);
    geometryOffset = GxGeometryRegisterPlugin(sizeof(GxSkin*), gxPLUGINSKIN, GeometryConstruct, GeometryDestruct,
                                              GxPluginNoOpCallback);  // a copied geometry gets no skin
    if (atomicOffset < 0 || geometryOffset < 0) {
        return 0;
    }
    return GxAtomicRegisterPluginStream(gxPLUGINSKIN, AtomicRead, GxPluginNoOpCallback, AtomicSize) >= 0 &&
           GxAtomicSetStreamAlwaysCallback(gxPLUGINSKIN, AtomicAlways) >= 0 &&
           GxAtomicSetStreamRightsCallback(gxPLUGINSKIN, AtomicRights) >= 0 &&
           GxGeometryRegisterPluginStream(gxPLUGINSKIN, GeometryRead, GeometryWrite, GeometrySize) >= 0;
}

GxAtomic* GxSkinAtomicSetHierarchy(GxAtomic* atomic, GxAnimHierarchy* hierarchy)
{
    HierarchyOf(atomic) = hierarchy;
    return atomic;
}

GxAnimHierarchy* GxSkinAtomicGetHierarchy(const GxAtomic* atomic)
{
    if (atomicOffset < 0 || !atomic) {
        return nullptr;
    }
    return HierarchyOf(const_cast<GxAtomic*>(atomic));
}

GxGeometry* GxSkinGeometrySetSkin(GxGeometry* geometry, GxSkin* skin)
{
    if (SkinOf(geometry) == skin) {
        return geometry;
    }
    SkinOf(geometry) = skin;
    if (skin && skin->vertexBoneWeights) {
        return GxSkinGeometrySortWeights(geometry);
    }
    return geometry;
}

GxSkin* GxSkinGeometryGetSkin(const GxGeometry* geometry)
{
    return geometryOffset >= 0 && geometry ? SkinOf(geometry) : nullptr;
}

GxMatrix* GxSkinGetSkinToBoneMatrices(GxSkin* skin) { return skin->skinToBoneMatrices; }

GxMatrix* GxSkinGetPalette(void) { return palette; }

GxSkin* GxSkinCreate(void)
{
    // Records come from the heap, not a module free list: the atomic module closes after this one and destroys the
    // atomics still alive, and with them the skins of their geometries.
    auto* skin = static_cast<GxSkin*>(GxMalloc(sizeof(GxSkin), kRecordHint));
    if (!skin) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(skin, 0, sizeof(*skin));
    return skin;
}

GxBool GxSkinDestroy(GxSkin* skin)
{
    FreeArrays(skin);
    GxSkinSplitDataDestroy(skin);
    GxFree(skin);
    return 1;
}

GxBool GxSkinDataAllocate(GxSkin* skin, GxUInt32 numBones, GxUInt32 numUsedBones, GxUInt32 numVertices,
                          const GxUInt8* usedBones, const GxReal* weights, const GxUInt32* indices,
                          const GxMatrix* matrices)
{
    // The skin's stream size is a signed 32-bit count: larger arrays could not be written.
    const uint64_t size = static_cast<uint64_t>(numBones) * sizeof(GxMatrix) +
                          static_cast<uint64_t>(numVertices) * kPerVertexBytes + numUsedBones + kMatrixAlign - 1;
    if (size > kMaxArrayBytes) {
        return 0;
    }
    void* block = GxCalloc(1, static_cast<GxUInt32>(size), kArrayHint);
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    FreeArrays(skin);  // arrays made before for the record
    skin->unaligned = block;
    skin->numBones = numBones;
    skin->numBoneIDs = numUsedBones;
    skin->numVertices = numVertices;
    skin->boneIDs = static_cast<GxUInt8*>(block);
    const auto address = reinterpret_cast<uintptr_t>(block) + numUsedBones;
    skin->skinToBoneMatrices = reinterpret_cast<GxMatrix*>((address + kMatrixAlign - 1) & ~uintptr_t(kMatrixAlign - 1));
    skin->vertexBoneIndices = reinterpret_cast<GxUInt32*>(skin->skinToBoneMatrices + numBones);
    skin->vertexBoneWeights = reinterpret_cast<GxReal*>(skin->vertexBoneIndices + numVertices);
    if (usedBones && numUsedBones) {
        memcpy(skin->boneIDs, usedBones, numUsedBones);
    }
    if (matrices && numBones) {
        memcpy(skin->skinToBoneMatrices, matrices, numBones * sizeof(GxMatrix));
    }
    if (indices && numVertices) {
        memcpy(skin->vertexBoneIndices, indices, numVertices * sizeof(GxUInt32));
    }
    if (weights && numVertices) {
        memcpy(skin->vertexBoneWeights, weights, numVertices * gxSKINMAXWEIGHTS * sizeof(GxReal));
    }
    return 1;
}

void GxSkinFindUsedBones(GxSkin* skin, const GxUInt32* indices, const GxReal* weights, GxUInt8* list, GxUInt32* count,
                         GxUInt32 numVertices)
{
    bool seen[gxSKINPALETTESIZE] = {};
    GxUInt32 n = 0;
    const GxUInt32 slots =
        skin->maxNumWeightsForVertex > gxSKINMAXWEIGHTS ? gxSKINMAXWEIGHTS : skin->maxNumWeightsForVertex;
    for (GxUInt32 v = 0; v < numVertices; v++) {
        for (GxUInt32 j = 0; j < slots; j++) {
            if (weights[v * gxSKINMAXWEIGHTS + j] == 0.0f) {
                continue;
            }
            const GxUInt32 bone = (indices[v] >> (8 * j)) & 0xFF;
            if (!seen[bone]) {
                seen[bone] = true;
                list[n++] = static_cast<GxUInt8>(bone);
            }
        }
    }
    *count = n;
}

GxUInt32 GxSkinComputeMaxWeights(const GxReal* weights, GxUInt32 numVertices)
{
    GxUInt32 maximum = 1;
    for (GxUInt32 v = 0; v < numVertices && maximum < gxSKINMAXWEIGHTS; v++) {
        for (GxUInt32 j = maximum; j < gxSKINMAXWEIGHTS && weights[v * gxSKINMAXWEIGHTS + j] != 0.0f; j++) {
            maximum++;
        }
    }
    return maximum;
}
