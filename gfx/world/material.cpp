// Materials, material lists and lights: their modules, reference counts and chunks.
//
// Sections: module blocks; materials; material right-to-render; material chunk; material lists; lights.
#include "gfx/world/material.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/core/plugin.h"
#include "gfx/core/texture.h"
#include "gfx/world/world_local.h"

GxPluginRegistry gxMaterialTKList = GxPluginRegistryInitializer(sizeof(GxMaterial), 0);
GxPluginRegistry gxLightTKList = GxPluginRegistryInitializer(sizeof(GxLight), 0);

namespace {

constexpr GxUInt32 kMaterialHint = 0x30007;
constexpr GxUInt32 kMaterialFreeListHint = 0x40007;
constexpr GxInt32 kMaterialsPerBlock = 256;
constexpr GxUInt32 kLightHint = 0x30012;
constexpr GxUInt32 kLightFreeListHint = 0x40012;
constexpr GxInt32 kLightsPerBlock = 32;
constexpr GxUInt32 kListArrayHint = 0x1030008;
constexpr GxUInt32 kListScratchHint = 0x10501;
constexpr GxInt32 kListGrowth = 20;
constexpr GxUInt32 kMaterialStructSize = 28;
constexpr GxUInt32 kLightStructSize = 24;
constexpr GxUInt32 kRightsSize = 8;
constexpr GxInt32 kFirstOccurrence = -1;
constexpr GxUInt8 kLightDefaultFlags = gxLIGHTLIGHTATOMICS | gxLIGHTLIGHTWORLD;
constexpr GxReal kPi = 3.1415927f;

struct MaterialModuleBlock {
    GxFreeList* freeList;
};
struct LightModuleBlock {
    GxFreeList* freeList;
};

GxFreeList materialFreeListSpace;
GxFreeList lightFreeListSpace;
GxInt32 materialOffset = -1;
GxInt32 materialInstances = 0;
GxInt32 lightOffset = -1;
GxInt32 lightInstances = 0;

// Right-to-render record read from a material's extensions, consumed after them.
struct PendingRights {
    GxUInt32 pluginID;
    GxUInt32 extraData;
};
PendingRights materialRights;

MaterialModuleBlock* MaterialBlock()
{
    return static_cast<MaterialModuleBlock*>(GxCoreModuleBlock(materialOffset, materialInstances));
}

LightModuleBlock* LightBlock()
{
    return static_cast<LightModuleBlock*>(GxCoreModuleBlock(lightOffset, lightInstances));
}

void* MaterialModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    materialOffset = offset;
    auto* block = reinterpret_cast<MaterialModuleBlock*>(GxEngineGetModuleBlock(offset));
    block->freeList =
        GxFreeListCreateAndPreallocate(gxMaterialTKList.sizeOfStruct, kMaterialsPerBlock, alignof(GxMaterial), 1,
                                       &materialFreeListSpace, kMaterialFreeListHint);
    if (!block->freeList) {
        return nullptr;
    }
    materialInstances++;
    return instance;
}

void* MaterialModuleClose(void* instance, GxInt32, GxInt32)
{
    if (MaterialModuleBlock* block = MaterialBlock()) {
        GxFreeListDestroy(block->freeList);
        block->freeList = nullptr;
        materialInstances--;
    }
    return instance;
}

void CollectEntry(void* entry, void* data) { static_cast<std::vector<void*>*>(data)->push_back(entry); }

void* LightModuleOpen(void* instance, GxInt32 offset, GxInt32)
{
    lightOffset = offset;
    auto* block = reinterpret_cast<LightModuleBlock*>(GxEngineGetModuleBlock(offset));
    block->freeList = GxFreeListCreateAndPreallocate(gxLightTKList.sizeOfStruct, kLightsPerBlock, alignof(GxLight), 1,
                                                     &lightFreeListSpace, kLightFreeListHint);
    if (!block->freeList) {
        return nullptr;
    }
    lightInstances++;
    return instance;
}

void* LightModuleClose(void* instance, GxInt32, GxInt32)
{
    LightModuleBlock* block = LightBlock();
    if (!block) {
        return instance;
    }
    std::vector<void*> lights;
    GxFreeListForAllUsed(block->freeList, CollectEntry, &lights);
    for (void* light : lights) {
        GxLightDestroy(static_cast<GxLight*>(light));
    }
    GxFreeListDestroy(block->freeList);
    block->freeList = nullptr;
    lightInstances--;
    return instance;
}

GxFramedObject* LightSync(GxFramedObject* object) { return object; }

bool IsGrey(const GxRGBAReal& color) { return color.red == color.green && color.green == color.blue; }

}  // namespace

// ---- module attach ----

GxBool GxMaterialPluginAttach(void)
{
    if (GxEngineRegisterPlugin(sizeof(MaterialModuleBlock), gxPLUGINMATERIALMODULE, MaterialModuleOpen,
                               MaterialModuleClose) < 0) {
        return 0;
    }
    if (GxMaterialGetPluginOffset(gxID_RIGHTTORENDER) < 0 &&
        GxMaterialRegisterPlugin(0, gxID_RIGHTTORENDER, nullptr, nullptr, nullptr) < 0) {
        return 0;
    }
    return GxMaterialRegisterPluginStream(gxID_RIGHTTORENDER, GxMaterialRightsStreamRead, GxMaterialRightsStreamWrite,
                                          GxMaterialRightsStreamGetSize) >= 0;
}

GxBool GxLightPluginAttach(void)
{
    return GxEngineRegisterPlugin(sizeof(LightModuleBlock), gxPLUGINLIGHTMODULE, LightModuleOpen, LightModuleClose) >=
           0;
}

// ---- materials ----

GxMaterial* GxMaterialCreate(void)
{
    MaterialModuleBlock* block = MaterialBlock();
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    auto* material = static_cast<GxMaterial*>(GxFreeListAllocEntry(block->freeList, kMaterialHint));
    if (!material) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(material, 0, sizeof(*material));
    material->color = GxRGBA{255, 255, 255, 255};
    material->surfaceProps = GxSurfaceProperties{1.0f, 1.0f, 1.0f};
    material->refCount = 1;
    GxPluginRegistryInitObject(&gxMaterialTKList, material);
    return material;
}

GxBool GxMaterialDestroy(GxMaterial* material)
{
    if (!material) {
        return 0;
    }
    GX_ASSERT(material->refCount > 0, "an object is destroyed no more often than it is referenced");
    if (--material->refCount > 0) {
        return 1;
    }
    GxPluginRegistryDeInitObject(&gxMaterialTKList, material);
    if (material->texture) {
        GxTextureDestroy(material->texture);
        material->texture = nullptr;
    }
    if (MaterialModuleBlock* block = MaterialBlock()) {
        GxFreeListFreeEntry(block->freeList, material);
    }
    return 1;
}

GxMaterial* GxMaterialAddRef(GxMaterial* material)
{
    if (material) {
        material->refCount++;
    }
    return material;
}

GxMaterial* GxMaterialSetTexture(GxMaterial* material, GxTexture* texture)
{
    if (!material) {
        return nullptr;
    }
    if (texture) {
        GxTextureAddRef(texture);
    }
    if (material->texture) {
        GxTextureDestroy(material->texture);
    }
    material->texture = texture;
    return material;
}

GxInt32 GxMaterialRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                                 GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxMaterialTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxMaterialRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                       GxPluginDataChunkWriteCallBack writeCB,
                                       GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxMaterialTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxMaterialGetPluginOffset(GxUInt32 pluginID)
{
    return GxPluginRegistryGetPluginOffset(&gxMaterialTKList, pluginID);
}

// ---- material right-to-render ----

GxStream* GxMaterialRightsStreamRead(GxStream* stream, GxInt32 length, void*, GxInt32, GxInt32)
{
    if (length < 4 || !GxWorldReadU32(stream, &materialRights.pluginID)) {
        return nullptr;
    }
    if (length == static_cast<GxInt32>(kRightsSize) && !GxWorldReadU32(stream, &materialRights.extraData)) {
        return nullptr;
    }
    return stream;
}

GxStream* GxMaterialRightsStreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const GxPipeline* pipeline = static_cast<const GxMaterial*>(object)->pipeline;
    if (!pipeline || !GxWorldWriteU32(stream, pipeline->ownerPluginId) ||
        !GxWorldWriteU32(stream, pipeline->pluginData)) {
        return nullptr;
    }
    return stream;
}

GxInt32 GxMaterialRightsStreamGetSize(const void* object, GxInt32, GxInt32)
{
    const GxPipeline* pipeline = static_cast<const GxMaterial*>(object)->pipeline;
    return pipeline && pipeline->ownerPluginId != 0 ? static_cast<GxInt32>(kRightsSize) : 0;
}

// ---- material chunk ----

GxUInt32 GxMaterialStreamGetSize(const GxMaterial* material)
{
    GxUInt32 size = gxCHUNKHEADERSIZE + kMaterialStructSize + gxCHUNKHEADERSIZE +
                    static_cast<GxUInt32>(GxPluginRegistryGetSize(&gxMaterialTKList, material));
    if (material->texture) {
        size += gxCHUNKHEADERSIZE + GxTextureStreamGetSize(material->texture);
    }
    return size;
}

const GxMaterial* GxMaterialStreamWrite(const GxMaterial* material, GxStream* stream)
{
    GX_ASSERT(material && stream, "a material is written to a stream");
    GxUInt8 record[kMaterialStructSize] = {};
    record[4] = material->color.red;
    record[5] = material->color.green;
    record[6] = material->color.blue;
    record[7] = material->color.alpha;
    GxBytesPutU32(record + 12, material->texture ? 1 : 0);
    GxBytesPutReal(record + 16, material->surfaceProps.ambient);
    GxBytesPutReal(record + 20, material->surfaceProps.specular);
    GxBytesPutReal(record + 24, material->surfaceProps.diffuse);
    if (!GxWorldWriteHeader(stream, gxID_MATERIAL, GxMaterialStreamGetSize(material)) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, kMaterialStructSize) ||
        !GxStreamWrite(stream, record, sizeof(record))) {
        return nullptr;
    }
    if (material->texture && !GxTextureStreamWrite(material->texture, stream)) {
        return nullptr;
    }
    return GxPluginRegistryWriteDataChunks(&gxMaterialTKList, stream, material) ? material : nullptr;
}

namespace {

// Reads the texture chunk of a material; a texture that cannot be found leaves the material untextured.
bool ReadMaterialTexture(GxStream* stream, GxMaterial* material)
{
    if (!GxWorldFindChunk(stream, gxID_TEXTURE, nullptr)) {
        return false;
    }
    material->texture = GxTextureStreamRead(stream);
    return true;
}

}  // namespace

GxMaterial* GxMaterialStreamRead(GxStream* stream)
{
    GX_ASSERT(stream, "a material is read from a stream");
    GxUInt32 length = 0;
    GxUInt8 record[kMaterialStructSize] = {};
    if (!GxWorldFindStruct(stream, kMaterialStructSize, &length) || !GxWorldRead(stream, record, sizeof(record)) ||
        !GxWorldSkip(stream, length - kMaterialStructSize)) {
        return nullptr;
    }
    GxMaterial* material = GxMaterialCreate();
    if (!material) {
        return nullptr;
    }
    material->color = GxRGBA{record[4], record[5], record[6], record[7]};
    material->surfaceProps.ambient = GxBytesGetReal(record + 16);
    material->surfaceProps.specular = GxBytesGetReal(record + 20);
    material->surfaceProps.diffuse = GxBytesGetReal(record + 24);
    if (GxBytesGetU32(record + 12) != 0 && !ReadMaterialTexture(stream, material)) {
        GxMaterialDestroy(material);
        return nullptr;
    }
    materialRights = PendingRights{0, 0};
    if (!GxPluginRegistryReadDataChunks(&gxMaterialTKList, stream, material)) {
        GxMaterialDestroy(material);
        return nullptr;
    }
    if (materialRights.pluginID != 0) {
        GxPluginRegistryInvokeRights(&gxMaterialTKList, materialRights.pluginID, material, materialRights.extraData);
    }
    return material;
}

// ---- material lists ----

GxMaterialList* GxMaterialListInitialize(GxMaterialList* list)
{
    list->materials = nullptr;
    list->numMaterials = 0;
    list->space = 0;
    return list;
}

GxMaterialList* GxMaterialListDestroy(GxMaterialList* list)
{
    for (GxInt32 i = 0; i < list->numMaterials; i++) {
        GxMaterialDestroy(list->materials[i]);
    }
    if (list->materials) {
        GxFree(list->materials);
    }
    return GxMaterialListInitialize(list);
}

GxInt32 GxMaterialListAppendMaterial(GxMaterialList* list, GxMaterial* material)
{
    if (list->numMaterials >= list->space) {
        const size_t bytes = static_cast<size_t>(list->space + kListGrowth) * sizeof(GxMaterial*);
        auto* grown = static_cast<GxMaterial**>(list->materials ? GxRealloc(list->materials, bytes, kListArrayHint)
                                                                : GxMalloc(bytes, kListArrayHint));
        if (!grown) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return -1;
        }
        list->materials = grown;
        list->space += kListGrowth;
    }
    list->materials[list->numMaterials] = GxMaterialAddRef(material);
    return list->numMaterials++;
}

GxInt32 GxMaterialListFindMaterialIndex(const GxMaterialList* list, const GxMaterial* material)
{
    for (GxInt32 i = list->numMaterials - 1; i >= 0; i--) {
        if (list->materials[i] == material) {
            return i;
        }
    }
    return -1;
}

namespace {

// The index written for entry i: -1 at a material's first occurrence, else the nearest earlier entry.
GxInt32 EarlierEntry(const GxMaterialList* list, GxInt32 i)
{
    for (GxInt32 j = i - 1; j >= 0; j--) {
        if (list->materials[j] == list->materials[i]) {
            return j;
        }
    }
    return kFirstOccurrence;
}

}  // namespace

GxUInt32 GxMaterialListStreamGetSize(const GxMaterialList* list)
{
    GxUInt32 size = gxCHUNKHEADERSIZE + 4 + 4 * static_cast<GxUInt32>(list->numMaterials);
    for (GxInt32 i = 0; i < list->numMaterials; i++) {
        if (EarlierEntry(list, i) == kFirstOccurrence) {
            size += gxCHUNKHEADERSIZE + GxMaterialStreamGetSize(list->materials[i]);
        }
    }
    return size;
}

const GxMaterialList* GxMaterialListStreamWrite(const GxMaterialList* list, GxStream* stream)
{
    const GxUInt32 count = static_cast<GxUInt32>(list->numMaterials);
    if (!GxWorldWriteHeader(stream, gxID_MATLIST, GxMaterialListStreamGetSize(list)) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, 4 + 4 * count) || !GxWorldWriteU32(stream, count)) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < list->numMaterials; i++) {
        if (!GxWorldWriteU32(stream, static_cast<GxUInt32>(EarlierEntry(list, i)))) {
            return nullptr;
        }
    }
    for (GxInt32 i = 0; i < list->numMaterials; i++) {
        if (EarlierEntry(list, i) == kFirstOccurrence && !GxMaterialStreamWrite(list->materials[i], stream)) {
            return nullptr;
        }
    }
    return list;
}

GxMaterialList* GxMaterialListStreamRead(GxStream* stream, GxMaterialList* list)
{
    GxMaterialListDestroy(list);
    GxUInt32 length = 0;
    GxInt32 count = 0;
    if (!GxWorldFindStruct(stream, 4, &length) || !GxWorldReadI32(stream, &count)) {
        return nullptr;
    }
    // Every entry has its index word in the struct.
    if (count < 0 || static_cast<uint64_t>(count) * 4 > length - 4) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    if (count == 0) {
        return GxWorldSkip(stream, length - 4) ? list : nullptr;
    }
    const size_t n = static_cast<size_t>(count);
    list->materials = static_cast<GxMaterial**>(GxMalloc(n * sizeof(GxMaterial*), kListArrayHint));
    auto* indices = static_cast<GxInt32*>(GxMalloc(n * sizeof(GxInt32), kListScratchHint));
    if (!list->materials || !indices) {
        if (indices) {
            GxFree(indices);
        }
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        GxMaterialListDestroy(list);
        return nullptr;
    }
    list->space = count;
    bool ok = true;
    for (size_t i = 0; ok && i < n; i++) {
        ok = GxWorldReadI32(stream, &indices[i]);
    }
    ok = ok && GxWorldSkip(stream, length - 4 - 4 * static_cast<GxUInt32>(count));
    for (GxInt32 i = 0; ok && i < count; i++) {
        GxMaterial* material = nullptr;
        if (indices[i] == kFirstOccurrence) {
            ok = GxWorldFindChunk(stream, gxID_MATERIAL, nullptr) && (material = GxMaterialStreamRead(stream));
        } else if (indices[i] >= 0 && indices[i] < i) {
            // Only an entry already read may be shared.
            material = GxMaterialAddRef(list->materials[indices[i]]);
        } else {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            ok = false;
        }
        if (ok) {
            list->materials[list->numMaterials++] = material;
        }
    }
    GxFree(indices);
    if (!ok) {
        GxMaterialListDestroy(list);
        return nullptr;
    }
    return list;
}

// ---- lights ----

GxLight* GxLightCreate(GxInt32 type)
{
    LightModuleBlock* block = LightBlock();
    if (!block) {
        GxErrorRaise(gxPLUGINCORE, gxERRENGINESTATE);
        return nullptr;
    }
    auto* light = static_cast<GxLight*>(GxFreeListAllocEntry(block->freeList, kLightHint));
    if (!light) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(light, 0, sizeof(*light));
    light->object.object.type = gxOBJECTTYPELIGHT;
    light->object.object.subType = static_cast<GxUInt8>(type);
    light->object.object.flags = kLightDefaultFlags;
    light->object.object.privateFlags = gxLIGHTPRIVATEGREY;
    GxLinkInit(&light->object.inFrameList);
    light->object.sync = LightSync;
    light->color = GxRGBAReal{1.0f, 1.0f, 1.0f, 1.0f};
    GxLinkInit(&light->worldSectorsInLight);
    light->lightFrame = static_cast<GxUInt16>(GxEngineInstance->lightFrameCounter - 1);  // not yet taken
    GxPluginRegistryInitObject(&gxLightTKList, light);
    return light;
}

GxBool GxLightDestroy(GxLight* light)
{
    LightModuleBlock* block = LightBlock();
    if (!light || !block) {
        return 0;
    }
    GxPluginRegistryDeInitObject(&gxLightTKList, light);
    GxObjectUnlinkFrame(&light->object);
    GxFreeListFreeEntry(block->freeList, light);
    return 1;
}

GxLight* GxLightSetFrame(GxLight* light, GxFrame* frame)
{
    if (light) {
        GxObjectSetFrame(&light->object, frame);
    }
    return light;
}

GxReal GxLightGetConeAngle(const GxLight* light)
{
    const GxReal cosine = -light->minusCosAngle;
    if (cosine >= 1.0f) {
        return 0.0f;
    }
    if (cosine <= -1.0f) {
        return kPi;
    }
    return std::acos(cosine);
}

GxLight* GxLightSetColor(GxLight* light, const GxRGBAReal* color)
{
    light->color = *color;
    if (IsGrey(*color)) {
        light->object.object.privateFlags |= gxLIGHTPRIVATEGREY;
    } else {
        light->object.object.privateFlags &= static_cast<GxUInt8>(~gxLIGHTPRIVATEGREY);
    }
    return light;
}

GxInt32 GxLightRegisterPlugin(GxInt32 size, GxUInt32 pluginID, GxPluginObjectConstructor constructor,
                              GxPluginObjectDestructor destructor, GxPluginObjectCopy copy)
{
    return GxPluginRegistryAddPlugin(&gxLightTKList, size, pluginID, constructor, destructor, copy);
}

GxInt32 GxLightRegisterPluginStream(GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                    GxPluginDataChunkWriteCallBack writeCB, GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return GxPluginRegistryAddPluginStream(&gxLightTKList, pluginID, readCB, writeCB, getSizeCB);
}

GxInt32 GxLightGetPluginOffset(GxUInt32 pluginID) { return GxPluginRegistryGetPluginOffset(&gxLightTKList, pluginID); }

GxUInt32 GxLightStreamGetSize(const GxLight* light)
{
    return gxCHUNKHEADERSIZE + kLightStructSize + gxCHUNKHEADERSIZE +
           static_cast<GxUInt32>(GxPluginRegistryGetSize(&gxLightTKList, light));
}

const GxLight* GxLightStreamWrite(const GxLight* light, GxStream* stream)
{
    GxUInt8 record[kLightStructSize];
    GxBytesPutReal(record + 0, light->radius);
    GxBytesPutReal(record + 4, light->color.red);
    GxBytesPutReal(record + 8, light->color.green);
    GxBytesPutReal(record + 12, light->color.blue);
    GxBytesPutReal(record + 16, light->minusCosAngle);
    GxBytesPutU16(record + 20, light->object.object.flags);
    GxBytesPutU16(record + 22, light->object.object.subType);
    if (!GxWorldWriteHeader(stream, gxID_LIGHT, GxLightStreamGetSize(light)) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, kLightStructSize) || !GxStreamWrite(stream, record, sizeof(record)) ||
        !GxPluginRegistryWriteDataChunks(&gxLightTKList, stream, light)) {
        return nullptr;
    }
    return light;
}

GxLight* GxLightStreamRead(GxStream* stream)
{
    GxUInt32 length = 0;
    GxUInt8 record[kLightStructSize] = {};
    if (!GxWorldFindStruct(stream, kLightStructSize, &length) || !GxWorldRead(stream, record, sizeof(record)) ||
        !GxWorldSkip(stream, length - kLightStructSize)) {
        return nullptr;
    }
    GxLight* light = GxLightCreate(GxBytesGetU16(record + 22));
    if (!light) {
        return nullptr;
    }
    light->radius = GxBytesGetReal(record);
    const GxRGBAReal color = {GxBytesGetReal(record + 4), GxBytesGetReal(record + 8), GxBytesGetReal(record + 12),
                              1.0f};
    GxLightSetColor(light, &color);
    light->minusCosAngle = GxBytesGetReal(record + 16);
    light->object.object.flags = static_cast<GxUInt8>(GxBytesGetU16(record + 20));
    if (!GxPluginRegistryReadDataChunks(&gxLightTKList, stream, light)) {
        GxLightDestroy(light);
        return nullptr;
    }
    return light;
}
