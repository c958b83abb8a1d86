// Level-of-detail atomics: the record extension, selection by depth, the hooked render callback and its stream.
#include "gfx/world/lod.h"

#include <climits>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/world/world_local.h"

namespace {

constexpr GxUInt32 kRecordHint = 0x30112;
// The stream image of a record: six 32-bit fields, then one non-null indicator word per level.
constexpr GxUInt32 kRecordStreamSize = 64;
constexpr GxUInt32 kRecordFixedFields = 6;
constexpr GxReal kDefaultScale = -1.0f;
constexpr GxInt32 kNoLevel = -1;

GxInt32 extensionOffset = -1;
GxInt32 openCount = 0;

GxLODAtomicRecord*& RecordOf(GxAtomic* atomic)
{
    GX_ASSERT(extensionOffset >= 0, "the plugin is attached before its extension is used");
    return *reinterpret_cast<GxLODAtomicRecord**>(reinterpret_cast<char*>(atomic) + extensionOffset);
}

const GxLODAtomicRecord* RecordOf(const GxAtomic* atomic)
{
    GX_ASSERT(extensionOffset >= 0, "the plugin is attached before its extension is used");
    return *reinterpret_cast<GxLODAtomicRecord* const*>(reinterpret_cast<const char*>(atomic) + extensionOffset);
}

void SetDefaults(GxLODAtomicRecord* record)
{
    memset(record, 0, sizeof(*record));
    record->select = GxLODAtomicDefaultSelect;
    record->reserved = kDefaultScale;
    record->levelScale = kDefaultScale;
    record->currentLevel = kNoLevel;
}

GxLODAtomicRecord* NewRecord()
{
    // Records come from the heap, not a free list of this module: the atomics that hold them may outlive
    // the module's close when the engine stops (modules close in reverse order of registration).
    auto* record = static_cast<GxLODAtomicRecord*>(GxMalloc(sizeof(GxLODAtomicRecord), kRecordHint));
    if (record) {
        SetDefaults(record);
    }
    return record;
}

// Restores the render callback, releases every level and returns the record.
void ReleaseRecord(GxAtomic* atomic)
{
    GxLODAtomicRecord*& record = RecordOf(atomic);
    if (!record) {
        return;
    }
    if (record->hooked && record->previousRender) {
        atomic->renderCallBack = record->previousRender;
    }
    for (GxGeometry* geometry : record->geometry) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
    }
    GxFree(record);
    record = nullptr;
}

GxAtomic* LODRender(GxAtomic* atomic)
{
    GxLODAtomicRecord* record = RecordOf(atomic);
    GxInt32 level = record->select(atomic);
    if (level < 0) {
        level = record->currentLevel;
    }
    if (level >= gxLODATOMICMAXLEVELS) {
        level = gxLODATOMICMAXLEVELS - 1;
    }
    // Hooking took the atomic's callback, which is never null.
    GxAtomicCallBackRender previous = record->previousRender;
    if (level < 0) {
        // Nothing chosen yet: draw what the atomic has.
        return atomic->geometry ? previous(atomic) : nullptr;
    }
    GxGeometry* geometry = record->geometry[level];
    if (geometry != atomic->geometry) {
        GxAtomicSetGeometry(atomic, geometry, 0);
    }
    record->currentLevel = level;
    return geometry ? previous(atomic) : nullptr;
}

void Hook(GxAtomic* atomic, GxLODAtomicRecord* record)
{
    if (record->hooked) {
        return;
    }
    record->previousRender = atomic->renderCallBack;
    atomic->renderCallBack = LODRender;
    record->hooked = 1;
}

// The record, made on first use; level 0 then takes the atomic's current geometry.
GxLODAtomicRecord* Record(GxAtomic* atomic)
{
    GxLODAtomicRecord*& record = RecordOf(atomic);
    if (record) {
        return record;
    }
    record = NewRecord();
    if (record) {
        record->geometry[0] = GxGeometryAddRef(atomic->geometry);
    }
    return record;
}

void* Construct(void* object, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxLODAtomicRecord**>(static_cast<char*>(object) + offset) = nullptr;
    return object;
}

void* Destruct(void* object, GxInt32, GxInt32)
{
    ReleaseRecord(static_cast<GxAtomic*>(object));
    return object;
}

void* Copy(void* dst, const void* src, GxInt32, GxInt32)
{
    const GxLODAtomicRecord* source = RecordOf(static_cast<const GxAtomic*>(src));
    if (!source) {
        return dst;
    }
    GxLODAtomicRecord*& record = RecordOf(static_cast<GxAtomic*>(dst));
    if (!record && !(record = NewRecord())) {
        return dst;
    }
    for (GxGeometry*& geometry : record->geometry) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
    }
    *record = *source;
    for (GxGeometry* geometry : record->geometry) {
        GxGeometryAddRef(geometry);
    }
    return dst;
}

GxInt32 StreamSize(const void* object, GxInt32, GxInt32)
{
    const GxLODAtomicRecord* record = RecordOf(static_cast<const GxAtomic*>(object));
    if (!record) {
        return 0;
    }
    GxUInt32 size = gxCHUNKHEADERSIZE + kRecordStreamSize;
    for (GxInt32 level = 0; level < gxLODATOMICMAXLEVELS; level++) {
        if (record->geometry[level] && level != record->currentLevel) {
            size += gxCHUNKHEADERSIZE + GxGeometryStreamGetSize(record->geometry[level]);
        }
    }
    return static_cast<GxInt32>(size);
}

GxStream* StreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32, GxInt32)
{
    const GxLODAtomicRecord* record = RecordOf(static_cast<const GxAtomic*>(object));
    GxUInt8 image[kRecordStreamSize] = {};
    GxBytesPutU32(image, static_cast<GxUInt32>(record->hooked));
    GxBytesPutReal(image + 12, record->reserved);
    GxBytesPutReal(image + 16, record->levelScale);
    GxBytesPutU32(image + 20, static_cast<GxUInt32>(record->currentLevel));
    for (GxInt32 level = 0; level < gxLODATOMICMAXLEVELS; level++) {
        GxBytesPutU32(image + 4 * (kRecordFixedFields + level), record->geometry[level] ? 1 : 0);
    }
    if (!GxWorldWriteHeader(stream, gxID_STRUCT, kRecordStreamSize) || !GxStreamWrite(stream, image, sizeof(image))) {
        return nullptr;
    }
    for (GxInt32 level = 0; level < gxLODATOMICMAXLEVELS; level++) {
        if (record->geometry[level] && level != record->currentLevel &&
            !GxGeometryStreamWrite(record->geometry[level], stream)) {
            return nullptr;
        }
    }
    return stream;
}

// Finds the next geometry chunk within what is left of the extension, passing over other chunks, and reads it
// into the level; no geometry chunk leaves the level empty.
bool ReadLevel(GxStream* stream, GxUInt32* left, GxGeometry** geometry)
{
    while (*left >= gxCHUNKHEADERSIZE) {
        GxUInt32 type = 0;
        GxUInt32 length = 0;
        GxUInt32 version = 0;
        if (!GxStreamReadChunkHeader(stream, &type, &length, &version, nullptr)) {
            return false;
        }
        *left -= gxCHUNKHEADERSIZE;
        if (length > *left) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return false;
        }
        *left -= length;
        if (type != gxID_GEOMETRY) {
            if (!GxStreamSkip(stream, length)) {
                return false;
            }
            continue;
        }
        if (version < gxVERSIONMIN || version > gxVERSIONMAX) {
            GxErrorRaise(gxPLUGINCORE, gxERRBADVERSION);
            return false;
        }
        *geometry = GxGeometryStreamRead(stream);
        return *geometry != nullptr;
    }
    return true;
}

GxStream* StreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32, GxInt32)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    GxUInt32 structLength = 0;
    GxUInt8 image[kRecordStreamSize];
    if (length < static_cast<GxInt32>(gxCHUNKHEADERSIZE + kRecordStreamSize) ||
        !GxWorldFindStruct(stream, kRecordStreamSize, &structLength)) {
        return nullptr;
    }
    // The record is exactly 64 bytes, read field by field.
    if (structLength != kRecordStreamSize || !GxWorldRead(stream, image, sizeof(image))) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    const GxInt32 current = GxBytesGetI32(image + 20);
    if (current < kNoLevel || current >= gxLODATOMICMAXLEVELS) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    // A second record for the same atomic replaces the first.
    ReleaseRecord(atomic);
    GxLODAtomicRecord* record = NewRecord();
    if (!record) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    RecordOf(atomic) = record;
    record->reserved = GxBytesGetReal(image + 12);
    record->levelScale = GxBytesGetReal(image + 16);
    record->currentLevel = current;
    GxUInt32 left = static_cast<GxUInt32>(length) - gxCHUNKHEADERSIZE - kRecordStreamSize;
    for (GxInt32 level = 0; level < gxLODATOMICMAXLEVELS; level++) {
        if (GxBytesGetU32(image + 4 * (kRecordFixedFields + level)) == 0 || level == current) {
            continue;
        }
        if (!ReadLevel(stream, &left, &record->geometry[level])) {
            ReleaseRecord(atomic);
            return nullptr;
        }
    }
    if (current >= 0) {
        record->geometry[current] = GxGeometryAddRef(atomic->geometry);
    }
    record->select = GxLODAtomicDefaultSelect;
    Hook(atomic, record);
    return stream;
}

}  // namespace

GxBool GxLODAtomicPluginAttach(void)
{
    GxEngineRegisterPlugin(0, gxPLUGINLODATOMIC, GxCountingModuleOpen<&openCount>, GxCountingModuleClose<&openCount>);
    extensionOffset = GxAtomicRegisterPlugin(sizeof(GxLODAtomicRecord*), gxPLUGINLODATOMIC, Construct, Destruct, Copy);
    if (extensionOffset < 0) {
        return 0;
    }
    GxAtomicRegisterPluginStream(gxPLUGINLODATOMIC, StreamRead, StreamWrite, StreamSize);
    return 1;
}

GxLODAtomicRecord* GxLODAtomicGetRecord(GxAtomic* atomic)
{
    return extensionOffset >= 0 && atomic ? RecordOf(atomic) : nullptr;
}

GxAtomic* GxLODAtomicSetGeometry(GxAtomic* atomic, GxInt32 level, GxGeometry* geometry)
{
    GX_ASSERT(atomic && level >= 0 && level < gxLODATOMICMAXLEVELS, "a level 0 to 9 of an atomic is set");
    GxLODAtomicRecord* record = Record(atomic);
    if (!record) {
        return nullptr;
    }
    GxGeometryAddRef(geometry);
    if (record->geometry[level]) {
        GxGeometryDestroy(record->geometry[level]);
    }
    record->geometry[level] = geometry;
    Hook(atomic, record);
    return atomic;
}

GxAtomic* GxLODAtomicSetLODCallback(GxAtomic* atomic, GxLODAtomicLODCallBack callBack)
{
    GX_ASSERT(atomic, "a selection callback is set on an atomic");
    GxLODAtomicRecord* record = Record(atomic);
    if (!record) {
        return nullptr;
    }
    record->select = callBack ? callBack : GxLODAtomicDefaultSelect;
    Hook(atomic, record);
    return atomic;
}

GxAtomic* GxLODAtomicHookRender(GxAtomic* atomic)
{
    GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
    if (!record) {
        return nullptr;
    }
    Hook(atomic, record);
    return atomic;
}

GxInt32 GxLODAtomicDefaultSelect(GxAtomic* atomic)
{
    const GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
    if (!record) {
        return kNoLevel;
    }
    GxCamera* camera = GxEngineInstance->curCamera;
    auto* atomicFrame = static_cast<GxFrame*>(atomic->object.object.parent);
    auto* cameraFrame = camera ? static_cast<GxFrame*>(camera->object.object.parent) : nullptr;
    if (!atomicFrame || !cameraFrame) {
        return kNoLevel;
    }
    const GxV3d p = GxFrameGetWorldMatrix(atomicFrame)->pos;
    const GxMatrix* view = GxFrameGetWorldMatrix(cameraFrame);
    const GxV3d d = {p.x - view->pos.x, p.y - view->pos.y, p.z - view->pos.z};
    const double depth = static_cast<double>(view->at.x * d.x + view->at.y * d.y + view->at.z * d.z);
    const double scaled = depth * static_cast<double>(record->levelScale);
    // Truncation as the integer conversion does it; values out of range count as the most negative.
    const GxInt32 level = (scaled > INT_MIN && scaled < INT_MAX) ? static_cast<GxInt32>(scaled) : INT_MIN;
    if (level < 0) {
        return 0;
    }
    return level >= gxLODATOMICMAXLEVELS ? gxLODATOMICMAXLEVELS - 1 : level;
}
