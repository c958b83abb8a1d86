// Material effects: effect records on materials, their stream form, combined bump-texture names, and the flag on
// atomics and world sectors that selects the driver's multi-pass pipelines.
//
// Sections: records and slots - setters - material streams - atomic and sector flags - plugin.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/fx/fx.h"
#include "gfx/world/clump.h"
#include "gfx/world/material.h"
#include "gfx/world/world.h"

namespace {

constexpr GxUInt32 kRecordHint = 0x30120;
constexpr GxInt32 kRecordsPerBlock = 64;
// Blend modes a dual-texture slot starts with: source colour times destination colour, added.
constexpr GxInt32 kDualSrcBlend = 5;
constexpr GxInt32 kDualDstBlend = 6;
// The texture-not-found code a material read forgives.
constexpr GxInt32 kTextureNotFound = 0x16;
constexpr GxUInt32 kWordSize = 4;

// Slot types each effects type gives slot 0 and slot 1.
constexpr GxInt32 kSlotTypes[gxMATFXEFFECTMAX][gxMATERIALEFFECTSSLOTS] = {
    {gxMATFXSLOTNULL, gxMATFXSLOTNULL},        {gxMATFXSLOTBUMPMAP, gxMATFXSLOTNULL},
    {gxMATFXSLOTENVMAP, gxMATFXSLOTNULL},      {gxMATFXSLOTBUMPMAP, gxMATFXSLOTENVMAP},
    {gxMATFXSLOTDUAL, gxMATFXSLOTNULL},        {gxMATFXSLOTUVTRANSFORM, gxMATFXSLOTNULL},
    {gxMATFXSLOTUVTRANSFORM, gxMATFXSLOTDUAL},
};

GxMaterialEffectsDriverHooks driverHooks = {};
GxFreeList* records = nullptr;
GxInt32 openCount = 0;
GxInt32 materialOffset = -1;
GxInt32 atomicOffset = -1;
GxInt32 sectorOffset = -1;

void Refuse(const char* message) { GxErrorRaise(gxPLUGINMATERIALEFFECTS, GxErrorMakeCode(gxMATFXERRBADDATA, message)); }

GxMaterialEffects*& RecordOf(const GxMaterial* material)
{
    GX_ASSERT(materialOffset >= 0, "the plugin is attached before its extension is used");
    return *reinterpret_cast<GxMaterialEffects**>(reinterpret_cast<GxUInt8*>(const_cast<GxMaterial*>(material)) +
                                                  materialOffset);
}

GxInt32& FlagAt(const void* object, GxInt32 offset)
{
    return *reinterpret_cast<GxInt32*>(static_cast<GxUInt8*>(const_cast<void*>(object)) + offset);
}

// ---------------------------------------------------------------------------------------------- records and slots

void Release(GxTexture*& texture)
{
    if (texture) {
        GxTextureDestroy(texture);
        texture = nullptr;
    }
}

void ClearSlot(GxMaterialEffectsSlot* slot)
{
    switch (slot->slotType) {
    case gxMATFXSLOTBUMPMAP:
        Release(slot->data.bumpMap.bumpTexture);
        Release(slot->data.bumpMap.bumpMapTexture);
        break;
    case gxMATFXSLOTENVMAP:
        Release(slot->data.envMap.texture);
        break;
    case gxMATFXSLOTDUAL:
        Release(slot->data.dual.texture);
        break;
    default:
        break;
    }
    memset(slot, 0, sizeof(*slot));
}

void ClearRecord(GxMaterialEffects* record)
{
    for (GxMaterialEffectsSlot& slot : record->slots) {
        ClearSlot(&slot);
    }
    record->effectsType = gxMATFXEFFECTNULL;
}

GxMaterialEffects* GetOrMakeRecord(GxMaterial* material)
{
    GxMaterialEffects*& record = RecordOf(material);
    if (record) {
        return record;
    }
    record = static_cast<GxMaterialEffects*>(GxFreeListAlloc(records, kRecordHint));
    if (record) {
        memset(record, 0, sizeof(*record));
    }
    return record;
}

GxTexture* AddRef(GxTexture* texture) { return texture ? GxTextureAddRef(texture) : nullptr; }

GxMaterialEffectsSlot* SlotOrRefuse(const GxMaterial* material, GxInt32 slotType)
{
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, slotType);
    if (!slot) {
        GxErrorRaise(gxPLUGINMATERIALEFFECTS, GxErrorMakeCode(gxMATFXERRBADDATA, "material lacks the effect slot"));
    }
    return slot;
}

GxReal InverseWidth(const GxTexture* texture)
{
    const GxRaster* raster = texture ? GxTextureGetRaster(texture) : nullptr;
    return raster && raster->width > 0 ? 1.0f / static_cast<GxReal>(raster->width) : 0.0f;
}

bool RasterEmpty(const GxTexture* texture)
{
    const GxRaster* raster = GxTextureGetRaster(texture);
    return !raster || raster->width == 0;
}

// ---------------------------------------------------------------------------------------------- material streams

GxUInt32 TextureSize(const GxTexture* texture)
{
    return kWordSize + (texture ? gxCHUNKHEADERSIZE + GxTextureStreamGetSize(texture) : 0);
}

bool WriteWord(GxStream* stream, GxUInt32 value)
{
    return GxStreamWriteInt32(stream, &value, sizeof(value)) != nullptr;
}

bool WriteReal(GxStream* stream, GxReal value) { return GxStreamWriteReal(stream, &value, sizeof(value)) != nullptr; }

bool WriteTexture(GxStream* stream, const GxTexture* texture)
{
    return WriteWord(stream, texture ? 1 : 0) && (!texture || GxTextureStreamWrite(texture, stream));
}

bool ReadWord(GxStream* stream, GxUInt32* value) { return GxStreamReadInt32(stream, value, sizeof(*value)) != nullptr; }

// A texture that cannot be found is passed over when nothing worse than that is pending and its chunk can be
// skipped whole; anything else fails the read.
bool ReadTexture(GxStream* stream, GxTexture** out)
{
    *out = nullptr;
    GxUInt32 present = 0;
    if (!ReadWord(stream, &present)) {
        return false;
    }
    if (!present) {
        return true;
    }
    GxUInt32 length = 0;
    if (!GxStreamFindChunk(stream, gxID_TEXTURE, &length, nullptr)) {
        return false;
    }
    const GxUInt32 before = GxStreamBytesLeft(stream);
    if ((*out = GxTextureStreamRead(stream))) {
        return true;
    }
    GxError error = {0, 0};
    GxErrorGet(&error);
    const bool forgivable =
        error.errorCode == 0 || error.errorCode == gxERRNOERROR || (error.errorCode & 0xFFFF) == kTextureNotFound;
    const GxUInt32 after = GxStreamBytesLeft(stream);
    if (!forgivable || before == gxSTREAMBYTESUNKNOWN || after > before || before - after > length) {
        GxErrorRaise(error.pluginID, error.errorCode);
        return false;
    }
    return GxStreamSkip(stream, length - (before - after)) != nullptr;
}

GxUInt32 SlotSize(const GxMaterialEffectsSlot* slot)
{
    GxUInt32 size = kWordSize;
    switch (slot->slotType) {
    case gxMATFXSLOTBUMPMAP:
        return size + kWordSize + TextureSize(slot->data.bumpMap.bumpTexture) +
               TextureSize(slot->data.bumpMap.bumpMapTexture);
    case gxMATFXSLOTENVMAP:
        return size + 2 * kWordSize + TextureSize(slot->data.envMap.texture);
    case gxMATFXSLOTDUAL:
        return size + 2 * kWordSize + TextureSize(slot->data.dual.texture);
    default:
        return size;
    }
}

bool WriteSlot(GxStream* stream, const GxMaterialEffectsSlot* slot)
{
    if (!WriteWord(stream, static_cast<GxUInt32>(slot->slotType))) {
        return false;
    }
    switch (slot->slotType) {
    case gxMATFXSLOTBUMPMAP:
        return WriteReal(stream, -slot->data.bumpMap.coef) && WriteTexture(stream, slot->data.bumpMap.bumpTexture) &&
               WriteTexture(stream, slot->data.bumpMap.bumpMapTexture);
    case gxMATFXSLOTENVMAP:
        return WriteReal(stream, slot->data.envMap.coef) &&
               WriteWord(stream, static_cast<GxUInt32>(slot->data.envMap.useFrameBufferAlpha)) &&
               WriteTexture(stream, slot->data.envMap.texture);
    case gxMATFXSLOTDUAL:
        return WriteWord(stream, static_cast<GxUInt32>(slot->data.dual.srcBlendMode)) &&
               WriteWord(stream, static_cast<GxUInt32>(slot->data.dual.dstBlendMode)) &&
               WriteTexture(stream, slot->data.dual.texture);
    default:
        return true;
    }
}

bool ReadBumpSlot(GxStream* stream, GxMaterial* material, GxMaterialEffectsSlot* slot)
{
    GxReal bumpiness = 0.0f;
    GxTexture* first = nullptr;
    GxTexture* second = nullptr;
    if (!GxStreamReadInt32(stream, &bumpiness, sizeof(bumpiness)) || !ReadTexture(stream, &first) ||
        !ReadTexture(stream, &second)) {
        Release(first);
        return false;
    }
    GxMaterialEffectsBumpMap& bump = slot->data.bumpMap;
    if (first) {
        Release(bump.bumpTexture);
        Release(bump.bumpMapTexture);
        bump.bumpTexture = first;
        bump.bumpMapTexture = second;
        bump.invBumpWidth = InverseWidth(first);
    } else if (second) {
        GxMaterialEffectsSetBumpMapTexture(material, second);
        Release(second);
    }
    bump.coef = -bumpiness;
    return true;
}

bool ReadSlot(GxStream* stream, GxMaterial* material, GxMaterialEffectsSlot* slot)
{
    GxUInt32 slotType = 0;
    if (!ReadWord(stream, &slotType)) {
        return false;
    }
    // The effects type made the slots: a stream naming another kind would be read into the wrong fields.
    if (static_cast<GxInt32>(slotType) != slot->slotType) {
        Refuse("material effect slot type does not match the effects type");
        return false;
    }
    GxUInt32 words[2] = {0, 0};
    GxTexture* texture = nullptr;
    switch (slot->slotType) {
    case gxMATFXSLOTBUMPMAP:
        return ReadBumpSlot(stream, material, slot);
    case gxMATFXSLOTENVMAP:
        if (!GxStreamReadInt32(stream, words, sizeof(words)) || !ReadTexture(stream, &texture)) {
            return false;
        }
        Release(slot->data.envMap.texture);
        slot->data.envMap.texture = texture;
        memcpy(&slot->data.envMap.coef, &words[0], sizeof(GxReal));
        slot->data.envMap.useFrameBufferAlpha = static_cast<GxInt32>(words[1]);
        return true;
    case gxMATFXSLOTDUAL:
        if (!GxStreamReadInt32(stream, words, sizeof(words)) || !ReadTexture(stream, &texture)) {
            return false;
        }
        Release(slot->data.dual.texture);
        slot->data.dual.texture = texture;
        slot->data.dual.srcBlendMode = static_cast<GxInt32>(words[0]);
        slot->data.dual.dstBlendMode = static_cast<GxInt32>(words[1]);
        return true;
    default:
        return true;
    }
}

GxStream* MaterialRead(GxStream* stream, GxInt32, void* object, GxInt32, GxInt32)
{
    auto* material = static_cast<GxMaterial*>(object);
    GxUInt32 type = 0;
    if (!ReadWord(stream, &type)) {
        return nullptr;
    }
    if (type >= gxMATFXEFFECTMAX) {
        Refuse("material effects type out of range");
        return nullptr;
    }
    if (!GxMaterialEffectsSetType(material, static_cast<GxInt32>(type))) {
        return nullptr;
    }
    GxMaterialEffects* record = RecordOf(material);
    for (GxMaterialEffectsSlot& slot : record->slots) {
        if (!ReadSlot(stream, material, &slot)) {
            return nullptr;
        }
    }
    return stream;
}

GxStream* MaterialWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const GxMaterialEffects* record = RecordOf(static_cast<const GxMaterial*>(object));
    if (!WriteWord(stream, static_cast<GxUInt32>(record->effectsType))) {
        return nullptr;
    }
    for (const GxMaterialEffectsSlot& slot : record->slots) {
        if (!WriteSlot(stream, &slot)) {
            return nullptr;
        }
    }
    return stream;
}

GxInt32 MaterialSize(const void* object, GxInt32, GxInt32)
{
    const GxMaterialEffects* record = RecordOf(static_cast<const GxMaterial*>(object));
    if (!record || record->effectsType == gxMATFXEFFECTNULL) {
        return 0;
    }
    GxUInt32 size = kWordSize;
    for (const GxMaterialEffectsSlot& slot : record->slots) {
        size += SlotSize(&slot);
    }
    return static_cast<GxInt32>(size);
}

void* MaterialConstruct(void* object, GxInt32, GxInt32)
{
    RecordOf(static_cast<GxMaterial*>(object)) = nullptr;
    return object;
}

void* MaterialDestruct(void* object, GxInt32, GxInt32)
{
    GxMaterialEffects*& record = RecordOf(static_cast<GxMaterial*>(object));
    if (record) {
        ClearRecord(record);
        GxFreeListFree(records, record);
        record = nullptr;
    }
    return object;
}

void* MaterialCopy(void* dst, const void* src, GxInt32, GxInt32)
{
    const GxMaterialEffects* from = RecordOf(static_cast<const GxMaterial*>(src));
    if (!from) {
        return dst;
    }
    GxMaterialEffects* to = GetOrMakeRecord(static_cast<GxMaterial*>(dst));
    if (!to) {
        return nullptr;
    }
    *to = *from;
    for (GxMaterialEffectsSlot& slot : to->slots) {
        switch (slot.slotType) {
        case gxMATFXSLOTBUMPMAP:
            AddRef(slot.data.bumpMap.bumpTexture);
            AddRef(slot.data.bumpMap.bumpMapTexture);
            break;
        case gxMATFXSLOTENVMAP:
            AddRef(slot.data.envMap.texture);
            break;
        case gxMATFXSLOTDUAL:
            AddRef(slot.data.dual.texture);
            break;
        default:
            break;
        }
    }
    return dst;
}

// ---------------------------------------------------------------------------------------------- atomic and sector
// flags

void* FlagConstruct(void* object, GxInt32 offset, GxInt32)
{
    FlagAt(object, offset) = 0;
    return object;
}

void* FlagCopy(void* dst, const void* src, GxInt32 offset, GxInt32)
{
    if (FlagAt(src, offset)) {
        FlagAt(dst, offset) = 1;
    }
    return dst;
}

GxStream* FlagWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    return WriteWord(stream, static_cast<GxUInt32>(FlagAt(object, offset))) ? stream : nullptr;
}

GxInt32 FlagSize(const void* object, GxInt32 offset, GxInt32)
{
    return FlagAt(object, offset) > 0 ? static_cast<GxInt32>(kWordSize) : 0;
}

GxStream* AtomicRead(GxStream* stream, GxInt32, void* object, GxInt32 offset, GxInt32)
{
    GxUInt32 enabled = 0;
    if (!ReadWord(stream, &enabled)) {
        return nullptr;
    }
    if (enabled && !FlagAt(object, offset)) {
        GxMaterialEffectsAtomicEnable(static_cast<GxAtomic*>(object));
    }
    return stream;
}

GxStream* SectorRead(GxStream* stream, GxInt32, void* object, GxInt32 offset, GxInt32)
{
    GxUInt32 enabled = 0;
    if (!ReadWord(stream, &enabled)) {
        return nullptr;
    }
    if (enabled && !FlagAt(object, offset)) {
        if (driverHooks.sectorSetPipeline) {
            driverHooks.sectorSetPipeline(static_cast<GxWorldSector*>(object));
        }
        FlagAt(object, offset) = 1;
    }
    return stream;
}

// ---------------------------------------------------------------------------------------------- plugin

void* ModuleOpen(void* instance, GxInt32, GxInt32)
{
    records = GxFreeListCreate(sizeof(GxMaterialEffects), kRecordsPerBlock, alignof(GxMaterialEffects), kRecordHint);
    if (!records) {
        return nullptr;
    }
    // The drawing side's pipelines come with the first open; without them the module does not open.
    if (openCount == 0 && driverHooks.open && !driverHooks.open()) {
        GxFreeListDestroy(records);
        records = nullptr;
        return nullptr;
    }
    openCount++;
    return instance;
}

void* ModuleClose(void* instance, GxInt32, GxInt32)
{
    if (--openCount == 0 && driverHooks.close) {
        driverHooks.close();
    }
    if (records) {
        GxFreeListDestroy(records);
        records = nullptr;
    }
    return instance;
}

}  // namespace

void GxMaterialEffectsSetDriverHooks(const GxMaterialEffectsDriverHooks* hooks)
{
    driverHooks = hooks ? *hooks : GxMaterialEffectsDriverHooks{};
}

GxBool GxMaterialEffectsPluginAttach(void)
{
    if (GxEngineRegisterPlugin(0, gxPLUGINMATERIALEFFECTS, ModuleOpen, ModuleClose) < 0) {
        return 0;
    }
    materialOffset = GxMaterialRegisterPlugin(sizeof(GxMaterialEffects*), gxPLUGINMATERIALEFFECTS, MaterialConstruct,
                                              MaterialDestruct, MaterialCopy);
    atomicOffset =
        GxAtomicRegisterPlugin(sizeof(GxInt32), gxPLUGINMATERIALEFFECTS, FlagConstruct, FlagConstruct, FlagCopy);
    sectorOffset =
        GxWorldSectorRegisterPlugin(sizeof(GxInt32), gxPLUGINMATERIALEFFECTS, FlagConstruct, FlagConstruct, FlagCopy);
    if (materialOffset < 0 || atomicOffset < 0 || sectorOffset < 0) {
        return 0;
    }
    return GxMaterialRegisterPluginStream(gxPLUGINMATERIALEFFECTS, MaterialRead, MaterialWrite, MaterialSize) >= 0 &&
           GxAtomicRegisterPluginStream(gxPLUGINMATERIALEFFECTS, AtomicRead, FlagWrite, FlagSize) >= 0 &&
           GxWorldSectorRegisterPluginStream(gxPLUGINMATERIALEFFECTS, SectorRead, FlagWrite, FlagSize) >= 0;
}

GxMaterial* GxMaterialEffectsSetType(GxMaterial* material, GxInt32 effectsType)
{
    GX_ASSERT(material && effectsType >= 0 && effectsType < gxMATFXEFFECTMAX,
              "a material is given one of the effects types; a stream's is checked where it is read");
    GxMaterialEffects* record = GetOrMakeRecord(material);
    if (!record) {
        return nullptr;
    }
    if (record->effectsType != effectsType || effectsType == gxMATFXEFFECTNULL) {
        ClearRecord(record);
    }
    record->effectsType = effectsType;
    for (GxInt32 i = 0; i < gxMATERIALEFFECTSSLOTS; i++) {
        GxMaterialEffectsSlot& slot = record->slots[i];
        const GxInt32 slotType = kSlotTypes[effectsType][i];
        if (slot.slotType == slotType) {
            continue;
        }
        memset(&slot, 0, sizeof(slot));
        slot.slotType = slotType;
        if (slotType == gxMATFXSLOTDUAL) {
            slot.data.dual.srcBlendMode = kDualSrcBlend;
            slot.data.dual.dstBlendMode = kDualDstBlend;
        }
    }
    return material;
}

GxInt32 GxMaterialEffectsGetType(const GxMaterial* material)
{
    const GxMaterialEffects* record = materialOffset >= 0 ? RecordOf(material) : nullptr;
    return record ? record->effectsType : gxMATFXEFFECTNULL;
}

GxMaterialEffectsSlot* GxMaterialEffectsGetSlot(const GxMaterial* material, GxInt32 slotType)
{
    // UV animation sets its matrices here whether or not this plugin is attached.
    GxMaterialEffects* record = material && materialOffset >= 0 ? RecordOf(material) : nullptr;
    if (!record) {
        return nullptr;
    }
    for (GxMaterialEffectsSlot& slot : record->slots) {
        if (slot.slotType == slotType) {
            return &slot;
        }
    }
    return nullptr;
}

void GxMaterialEffectsBumpTextureName(const GxChar* baseName, const GxChar* bumpName,
                                      GxChar out[gxMATERIALEFFECTSBUMPNAMELENGTH + 1])
{
    const GxChar* a = baseName ? baseName : bumpName;
    const GxChar* b = bumpName;
    GxInt32 n = 0;
    while (n < gxMATERIALEFFECTSBUMPNAMELENGTH && (*a || *b)) {
        if (*a) {
            out[n++] = *a++;
        }
        if (n < gxMATERIALEFFECTSBUMPNAMELENGTH && *b) {
            out[n++] = *b++;
        }
    }
    out[n] = 0;
}

GxMaterial* GxMaterialEffectsSetBumpMapTexture(GxMaterial* material, GxTexture* bumpMapTexture)
{
    GxMaterialEffectsSlot* slot = SlotOrRefuse(material, gxMATFXSLOTBUMPMAP);
    if (!slot) {
        return nullptr;
    }
    GxMaterialEffectsBumpMap& bump = slot->data.bumpMap;
    Release(bump.bumpMapTexture);
    Release(bump.bumpTexture);
    bump.invBumpWidth = 0.0f;
    if (!bumpMapTexture) {
        return material;
    }
    bump.bumpMapTexture = GxTextureAddRef(bumpMapTexture);
    GxTexture* base = material->texture;
    if (RasterEmpty(bumpMapTexture) || (base && RasterEmpty(base))) {
        return material;
    }
    GxChar name[gxMATERIALEFFECTSBUMPNAMELENGTH + 1];
    GxMaterialEffectsBumpTextureName(base ? GxTextureGetName(base) : nullptr, GxTextureGetName(bumpMapTexture), name);
    GxTexDictionary* dictionary = GxTexDictionaryGetCurrent();
    GxTexture* combined = dictionary ? GxTexDictionaryFindNamedTexture(dictionary, name) : nullptr;
    if (combined) {
        GxTextureAddRef(combined);
    } else if (driverHooks.makeBumpTexture && (combined = driverHooks.makeBumpTexture(base, bumpMapTexture))) {
        if (dictionary) {
            GxTexDictionaryAddTexture(dictionary, combined);
        }
    }
    bump.bumpTexture = combined;
    bump.invBumpWidth = InverseWidth(combined);
    return material;
}

GxMaterial* GxMaterialEffectsSetDualBlendModes(GxMaterial* material, GxInt32 srcBlendMode, GxInt32 dstBlendMode)
{
    GxMaterialEffectsSlot* slot = SlotOrRefuse(material, gxMATFXSLOTDUAL);
    if (!slot) {
        return nullptr;
    }
    slot->data.dual.srcBlendMode = srcBlendMode;
    slot->data.dual.dstBlendMode = dstBlendMode;
    return material;
}

GxMaterial* GxMaterialEffectsSetUVTransformMatrices(GxMaterial* material, GxMatrix* baseTransform,
                                                    GxMatrix* dualTransform)
{
    GxMaterialEffectsSlot* slot = GxMaterialEffectsGetSlot(material, gxMATFXSLOTUVTRANSFORM);
    if (!slot) {
        return nullptr;
    }
    slot->data.uvTransform.baseTransform = baseTransform;
    slot->data.uvTransform.dualTransform = dualTransform;
    return material;
}

GxAtomic* GxMaterialEffectsAtomicEnable(GxAtomic* atomic)
{
    if (driverHooks.atomicSetPipeline) {
        driverHooks.atomicSetPipeline(atomic);
    }
    FlagAt(atomic, atomicOffset) = 1;
    return atomic;
}
