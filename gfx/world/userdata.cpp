// User data: the extension shared by seven object types, its copy and its stream (plugin 0x11F).
#include "gfx/world/userdata.h"
#include "gfx/world/userdata_local.h"

#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/plugin.h"
#include "gfx/core/texture.h"
#include "gfx/world/geometry.h"
#include "gfx/world/material.h"
#include "gfx/world/world.h"
#include "gfx/world/world_local.h"

namespace {

constexpr GxUInt32 kUserDataHint = gxUSERDATAHINT;
constexpr GxUInt32 kElementSize = 4;
// Name length, format and element count: the fewest bytes an entry takes on a stream.
constexpr GxUInt32 kLeastEntryBytes = 12;

using UserDataExtension = GxUserDataExtension;

GxInt32 frameOffset = -1;
GxInt32 materialOffset = -1;
GxInt32 openCount = 0;

UserDataExtension* ExtensionOf(void* object, GxInt32 offset)
{
    GX_ASSERT(offset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<UserDataExtension*>(static_cast<char*>(object) + offset);
}

const UserDataExtension* ExtensionOf(const void* object, GxInt32 offset)
{
    GX_ASSERT(offset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<const UserDataExtension*>(static_cast<const char*>(object) + offset);
}

bool ValidFormat(GxInt32 format)
{
    return format == gxUSERDATAINT || format == gxUSERDATAREAL || format == gxUSERDATASTRING;
}

void Empty(UserDataExtension* extension)
{
    if (extension->arrays) {
        for (GxInt32 i = 0; i < extension->numArrays; i++) {
            GxUserDataFreeEntry(&extension->arrays[i]);
        }
        GxFree(extension->arrays);
    }
    extension->numArrays = 0;
    extension->arrays = nullptr;
}

void* Construct(void* object, GxInt32 offset, GxInt32)
{
    *ExtensionOf(object, offset) = UserDataExtension{0, nullptr};
    return object;
}

void* Destruct(void* object, GxInt32 offset, GxInt32)
{
    Empty(ExtensionOf(object, offset));
    return object;
}

bool CopyEntry(GxUserDataArray* dst, const GxUserDataArray* src)
{
    dst->format = src->format;
    dst->numElements = src->numElements;
    if (src->name && !(dst->name = GxUserDataCopyString(src->name, strlen(src->name)))) {
        return false;
    }
    if (!src->data || src->numElements <= 0) {
        return true;
    }
    const size_t elementSize = ValidFormat(src->format) ? kElementSize : 0;
    const size_t count = static_cast<size_t>(src->numElements);
    if (elementSize == 0) {
        return true;
    }
    if (src->format != gxUSERDATASTRING) {
        dst->data = GxMalloc(count * elementSize, kUserDataHint);
        if (dst->data) {
            memcpy(dst->data, src->data, count * elementSize);
        }
        return dst->data != nullptr;
    }
    dst->data = GxCalloc(count, sizeof(GxChar*), kUserDataHint);
    if (!dst->data) {
        return false;
    }
    auto* const* from = static_cast<GxChar* const*>(src->data);
    auto** to = static_cast<GxChar**>(dst->data);
    for (size_t i = 0; i < count; i++) {
        if (from[i] && !(to[i] = GxUserDataCopyString(from[i], strlen(from[i])))) {
            return false;
        }
    }
    return true;
}

void* CopyExtension(void* dst, const void* src, GxInt32 offset, GxInt32)
{
    UserDataExtension* to = ExtensionOf(dst, offset);
    const UserDataExtension* from = ExtensionOf(src, offset);
    Empty(to);
    if (from->numArrays <= 0) {
        return dst;
    }
    to->arrays = static_cast<GxUserDataArray*>(
        GxCalloc(static_cast<size_t>(from->numArrays), sizeof(GxUserDataArray), kUserDataHint));
    if (!to->arrays) {
        return nullptr;
    }
    to->numArrays = from->numArrays;
    for (GxInt32 i = 0; i < from->numArrays; i++) {
        if (!CopyEntry(&to->arrays[i], &from->arrays[i])) {
            return nullptr;
        }
    }
    return dst;
}

// ---- stream ----

GxUInt32 StringSize(const GxChar* text) { return text ? static_cast<GxUInt32>(strlen(text)) + 1 : 0; }

GxInt32 StreamSize(const void* object, GxInt32 offset, GxInt32)
{
    const UserDataExtension* extension = ExtensionOf(object, offset);
    if (extension->numArrays < 1) {
        return 0;
    }
    GxUInt32 size = 4;
    for (GxInt32 i = 0; i < extension->numArrays; i++) {
        const GxUserDataArray& entry = extension->arrays[i];
        if (!ValidFormat(entry.format)) {
            continue;
        }
        size += 4 + StringSize(entry.name) + 8;
        if (entry.format != gxUSERDATASTRING) {
            size += static_cast<GxUInt32>(entry.numElements) * kElementSize;
            continue;
        }
        for (GxInt32 k = 0; k < entry.numElements; k++) {
            size += 4 + StringSize(entry.data ? static_cast<GxChar* const*>(entry.data)[k] : nullptr);
        }
    }
    return static_cast<GxInt32>(size);
}

bool WriteString(GxStream* stream, const GxChar* text)
{
    const GxUInt32 length = StringSize(text);
    return GxWorldWriteU32(stream, length) && (length == 0 || GxStreamWrite(stream, text, length));
}

GxStream* StreamWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    const UserDataExtension* extension = ExtensionOf(object, offset);
    GxUInt32 written = 0;
    for (GxInt32 i = 0; i < extension->numArrays; i++) {
        written += ValidFormat(extension->arrays[i].format) ? 1 : 0;
    }
    if (!GxWorldWriteU32(stream, written)) {
        return nullptr;
    }
    for (GxInt32 i = 0; i < extension->numArrays; i++) {
        const GxUserDataArray& entry = extension->arrays[i];
        if (!ValidFormat(entry.format)) {
            continue;
        }
        if (!WriteString(stream, entry.name) || !GxWorldWriteU32(stream, static_cast<GxUInt32>(entry.format)) ||
            !GxWorldWriteU32(stream, static_cast<GxUInt32>(entry.numElements))) {
            return nullptr;
        }
        const GxUInt32 count = static_cast<GxUInt32>(entry.numElements);
        if (entry.format != gxUSERDATASTRING) {
            if (count && !GxStreamWriteInt32(stream, entry.data, count * kElementSize)) {
                return nullptr;
            }
            continue;
        }
        for (GxUInt32 k = 0; k < count; k++) {
            if (!WriteString(stream, entry.data ? static_cast<GxChar* const*>(entry.data)[k] : nullptr)) {
                return nullptr;
            }
        }
    }
    return stream;
}

// Reads within the extension's length: every count is checked against the bytes left of it.
class Reader {
public:
    Reader(GxStream* stream, GxUInt32 left) : stream_(stream), left_(left) {}

    bool Fits(uint64_t bytes) const { return bytes <= left_; }
    bool U32(GxUInt32* value) { return Take(4) && GxWorldReadU32(stream_, value); }
    bool Words(void* buffer, GxUInt32 bytes)
    {
        return Take(bytes) && (bytes == 0 || GxStreamReadInt32(stream_, buffer, bytes) != nullptr);
    }
    // A length word and that many bytes: null for length 0, else an owned, terminated copy.
    bool String(GxChar** text)
    {
        GxUInt32 length = 0;
        if (!U32(&length)) {
            return false;
        }
        if (length == 0) {
            *text = nullptr;
            return true;
        }
        if (!Take(length)) {
            return false;
        }
        *text = static_cast<GxChar*>(GxMalloc(static_cast<size_t>(length) + 1, kUserDataHint));
        if (!*text) {
            return false;
        }
        (*text)[length] = '\0';
        return GxWorldRead(stream_, *text, length);
    }

private:
    bool Take(GxUInt32 bytes)
    {
        if (bytes > left_) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return false;
        }
        left_ -= bytes;
        return true;
    }

    GxStream* stream_;
    GxUInt32 left_;
};

bool ReadEntry(Reader* reader, GxUserDataArray* entry)
{
    GxUInt32 format = 0;
    GxUInt32 count = 0;
    if (!reader->String(&entry->name) || !reader->U32(&format) || !reader->U32(&count)) {
        return false;
    }
    if (!ValidFormat(static_cast<GxInt32>(format)) || count > INT32_MAX || !reader->Fits(uint64_t{count} * 4)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    entry->format = static_cast<GxInt32>(format);
    if (count == 0) {
        return true;
    }
    if (format != gxUSERDATASTRING) {
        entry->data = GxMalloc(count * kElementSize, kUserDataHint);
        if (!entry->data) {
            return false;
        }
        entry->numElements = static_cast<GxInt32>(count);
        return reader->Words(entry->data, count * kElementSize);
    }
    entry->data = GxCalloc(count, sizeof(GxChar*), kUserDataHint);
    if (!entry->data) {
        return false;
    }
    // Counted as it fills, so a read that stops early leaves only what the destructor can free.
    auto** strings = static_cast<GxChar**>(entry->data);
    for (GxUInt32 k = 0; k < count; k++) {
        entry->numElements = static_cast<GxInt32>(k + 1);
        if (!reader->String(&strings[k])) {
            return false;
        }
    }
    return true;
}

GxStream* StreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    UserDataExtension* extension = ExtensionOf(object, offset);
    Empty(extension);
    if (length < 0) {
        return nullptr;
    }
    Reader reader(stream, static_cast<GxUInt32>(length));
    GxUInt32 count = 0;
    if (!reader.U32(&count)) {
        return nullptr;
    }
    if (count > INT32_MAX || !reader.Fits(uint64_t{count} * kLeastEntryBytes)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    if (count == 0) {
        return stream;
    }
    extension->arrays = static_cast<GxUserDataArray*>(GxCalloc(count, sizeof(GxUserDataArray), kUserDataHint));
    if (!extension->arrays) {
        return nullptr;
    }
    extension->numArrays = static_cast<GxInt32>(count);
    for (GxUInt32 i = 0; i < count; i++) {
        if (!ReadEntry(&reader, &extension->arrays[i])) {
            return nullptr;
        }
    }
    return stream;
}

typedef GxInt32 (*RegisterFn)(GxInt32, GxUInt32, GxPluginObjectConstructor, GxPluginObjectDestructor,
                              GxPluginObjectCopy);
typedef GxInt32 (*RegisterStreamFn)(GxUInt32, GxPluginDataChunkReadCallBack, GxPluginDataChunkWriteCallBack,
                                    GxPluginDataChunkGetSizeCallBack);

GxInt32 Register(RegisterFn add, RegisterStreamFn addStream)
{
    const GxInt32 offset = add(sizeof(UserDataExtension), gxPLUGINUSERDATA, Construct, Destruct, CopyExtension);
    if (offset < 0 || addStream(gxPLUGINUSERDATA, StreamRead, StreamWrite, StreamSize) < 0) {
        return -1;
    }
    return offset;
}

// Entry `index`, or null past the array count (or before it).
GxUserDataArray* ArrayAt(UserDataExtension* extension, GxInt32 index)
{
    return extension && index >= 0 && index < extension->numArrays ? &extension->arrays[index] : nullptr;
}

GxInt32 CountWithData(const UserDataExtension* extension)
{
    GxInt32 count = 0;
    for (GxInt32 i = 0; i < extension->numArrays; i++) {
        count += extension->arrays[i].data ? 1 : 0;
    }
    return count;
}

}  // namespace

GxChar* GxUserDataCopyString(const GxChar* text, size_t length)
{
    auto* copy = static_cast<GxChar*>(GxMalloc(length + 1, kUserDataHint));
    if (copy) {
        memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

void GxUserDataFreeEntry(GxUserDataArray* entry)
{
    if (entry->name) {
        GxFree(entry->name);
    }
    if (entry->format == gxUSERDATASTRING && entry->data) {
        auto** strings = static_cast<GxChar**>(entry->data);
        for (GxInt32 i = 0; i < entry->numElements; i++) {
            if (strings[i]) {
                GxFree(strings[i]);
            }
        }
    }
    if (entry->data) {
        GxFree(entry->data);
    }
    memset(entry, 0, sizeof(*entry));
}

GxUserDataExtension* GxUserDataFrameExtensionOf(GxFrame* frame)
{
    return frameOffset < 0 ? nullptr : ExtensionOf(frame, frameOffset);
}

GxUserDataExtension* GxUserDataMaterialExtensionOf(GxMaterial* material)
{
    return materialOffset < 0 ? nullptr : ExtensionOf(material, materialOffset);
}

GxBool GxUserDataPluginAttach(void)
{
    if (GxEngineRegisterPlugin(0, gxPLUGINUSERDATA, GxCountingModuleOpen<&openCount>,
                               GxCountingModuleClose<&openCount>) < 0 ||
        Register(GxGeometryRegisterPlugin, GxGeometryRegisterPluginStream) < 0 ||
        Register(GxWorldSectorRegisterPlugin, GxWorldSectorRegisterPluginStream) < 0) {
        return 0;
    }
    frameOffset = Register(GxFrameRegisterPlugin, GxFrameRegisterPluginStream);
    if (frameOffset < 0 || Register(GxCameraRegisterPlugin, GxCameraRegisterPluginStream) < 0 ||
        Register(GxLightRegisterPlugin, GxLightRegisterPluginStream) < 0) {
        return 0;
    }
    materialOffset = Register(GxMaterialRegisterPlugin, GxMaterialRegisterPluginStream);
    return materialOffset >= 0 && Register(GxTextureRegisterPlugin, GxTextureRegisterPluginStream) >= 0;
}

GxInt32 GxFrameGetUserDataArrayCount(GxFrame* frame)
{
    const GxUserDataExtension* extension = GxUserDataFrameExtensionOf(frame);
    return extension ? CountWithData(extension) : 0;
}

GxUserDataArray* GxFrameGetUserDataArray(GxFrame* frame, GxInt32 index)
{
    return ArrayAt(GxUserDataFrameExtensionOf(frame), index);
}

GxInt32 GxMaterialGetUserDataArrayCount(GxMaterial* material)
{
    const GxUserDataExtension* extension = GxUserDataMaterialExtensionOf(material);
    return extension ? CountWithData(extension) : 0;
}

GxUserDataArray* GxMaterialGetUserDataArray(GxMaterial* material, GxInt32 index)
{
    return ArrayAt(GxUserDataMaterialExtensionOf(material), index);
}
