// Plugin registries: extension blocks appended to objects, their callbacks and their extension chunk.
#include "gfx/core/plugin.h"

#include <climits>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/filesys.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"

struct GxPluginRegistryEntry {
    GxInt32 offset;
    GxInt32 size;
    GxUInt32 pluginID;
    GxPluginDataChunkReadCallBack readCB;
    GxPluginDataChunkWriteCallBack writeCB;
    GxPluginDataChunkGetSizeCallBack getSizeCB;
    GxPluginDataChunkAlwaysCallBack alwaysCB;
    GxPluginDataChunkRightsCallBack rightsCB;
    GxPluginObjectConstructor constructCB;
    GxPluginObjectDestructor destructCB;
    GxPluginObjectCopy copyCB;
    GxPluginRegistryEntry* nextRegEntry;
    GxPluginRegistryEntry* prevRegEntry;
    GxPluginRegistry* parentRegistry;
};

namespace {

constexpr GxUInt32 gxPLUGINENTRYHINT = gxMEMHINTDURGLOBAL;

GxBool registryOpen = 0;
GxFreeList entryFreeListSpace;
GxFreeList* entryFreeList = nullptr;
// Only kept while free lists are off, when the entries cannot be found through their free list.
GxPluginRegistry** knownRegistries = nullptr;
GxInt32 numKnownRegistries = 0;

void* PassThrough(void* object, GxInt32, GxInt32) { return object; }
void* PassThroughCopy(void* dst, const void*, GxInt32, GxInt32) { return dst; }

GxInt32 RoundUp(GxInt32 value, GxInt32 align) { return (value + align - 1) / align * align; }

void ResetRegistry(GxPluginRegistry* reg)
{
    if (!reg->firstRegEntry) {
        return;
    }
    reg->sizeOfStruct = reg->origSizeOfStruct;
    reg->firstRegEntry = nullptr;
    reg->lastRegEntry = nullptr;
}

void ReleaseEntry(void* entry, void*)
{
    auto* e = static_cast<GxPluginRegistryEntry*>(entry);
    ResetRegistry(e->parentRegistry);
    GxFreeListFreeEntry(entryFreeList, e);
}

GxBool RememberRegistry(GxPluginRegistry* reg)
{
    for (GxInt32 i = 0; i < numKnownRegistries; i++) {
        if (knownRegistries[i] == reg) {
            return 1;
        }
    }
    auto* grown = static_cast<GxPluginRegistry**>(
        GxMalloc(sizeof(GxPluginRegistry*) * (static_cast<size_t>(numKnownRegistries) + 1), gxPLUGINENTRYHINT));
    if (!grown) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    for (GxInt32 i = 0; i < numKnownRegistries; i++) {
        grown[i] = knownRegistries[i];
    }
    grown[numKnownRegistries] = reg;
    if (knownRegistries) {
        GxFree(knownRegistries);
    }
    knownRegistries = grown;
    numKnownRegistries++;
    return 1;
}

// The entry of a plugin; null when the registry is null or the plugin is not in it.
GxPluginRegistryEntry* FindEntry(const GxPluginRegistry* reg, GxUInt32 pluginID)
{
    GX_ASSERT(reg != nullptr, "a registry to search");
    for (GxPluginRegistryEntry* e = reg->firstRegEntry; e; e = e->nextRegEntry) {
        if (e->pluginID == pluginID) {
            return e;
        }
    }
    return nullptr;
}

// Lets `set` fill in a plugin's callbacks and returns the plugin's offset; -1 when it is not registered.
template <typename Set>
GxInt32 SetEntryCallBacks(GxPluginRegistry* reg, GxUInt32 pluginID, Set set)
{
    GxPluginRegistryEntry* entry = FindEntry(reg, pluginID);
    if (!entry) {
        return -1;
    }
    set(entry);
    return entry->offset;
}

// Where the stream stands, when that can be known (memory and file streams).
GxBool StreamTell(GxStream* stream, GxUInt32* position)
{
    if (stream->type == gxSTREAMMEMORY) {
        *position = stream->Type.memory.position;
        return 1;
    }
    if ((stream->type == gxSTREAMFILE || stream->type == gxSTREAMFILENAME) && stream->Type.file.fpFile) {
        GxInt32 tell = GxFileTell(stream->Type.file.fpFile);
        if (tell == -1) {
            return 0;
        }
        *position = static_cast<GxUInt32>(tell);
        return 1;
    }
    return 0;
}

// Runs a plugin's read callback on a sub-chunk of `length` bytes and leaves the stream
// right behind the sub-chunk: an unread tail is skipped, reading past the end fails.
GxBool ReadSubChunk(GxPluginRegistryEntry* entry, GxStream* stream, GxUInt32 length, void* object)
{
    GxUInt32 start = 0;
    const GxBool known = StreamTell(stream, &start);
    if (length > INT32_MAX) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return 0;
    }
    if (!entry->readCB(stream, static_cast<GxInt32>(length), object, entry->offset, entry->size)) {
        return 0;
    }
    if (!known) {
        return 1;
    }
    GxUInt32 end = 0;
    if (!StreamTell(stream, &end)) {
        return 1;
    }
    const GxUInt32 consumed = end - start;
    if (consumed > length) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return 0;
    }
    if (consumed < length && !GxStreamSkip(stream, length - consumed)) {
        return 0;
    }
    return 1;
}

}  // namespace

void* GxPluginNoOpCallback(void* object, GxInt32, GxInt32) { return object; }

void* GxPluginNoOpCallback(void* dst, const void*, GxInt32, GxInt32) { return dst; }

GxStream* GxPluginNoOpCallback(GxStream* stream, GxInt32, const void*, GxInt32, GxInt32) { return stream; }

GxBool GxPluginRegistryOpen(void)
{
    if (registryOpen) {
        return 0;
    }
    entryFreeList = GxFreeListCreateAndPreallocate(sizeof(GxPluginRegistryEntry), 64, alignof(GxPluginRegistryEntry), 1,
                                                   &entryFreeListSpace, gxPLUGINENTRYHINT);
    if (!entryFreeList) {
        return 0;
    }
    knownRegistries = nullptr;
    numKnownRegistries = 0;
    registryOpen = 1;
    return 1;
}

GxBool GxPluginRegistryClose(void)
{
    if (!registryOpen) {
        return 0;
    }
    if (GxFreeListsSwitchedOff()) {
        for (GxInt32 i = 0; i < numKnownRegistries; i++) {
            GxPluginRegistry* reg = knownRegistries[i];
            GxPluginRegistryEntry* e = reg->firstRegEntry;
            while (e) {
                GxPluginRegistryEntry* next = e->nextRegEntry;
                GxFreeListFreeEntry(entryFreeList, e);
                e = next;
            }
            ResetRegistry(reg);
        }
        if (knownRegistries) {
            GxFree(knownRegistries);
        }
        knownRegistries = nullptr;
        numKnownRegistries = 0;
    } else {
        GxFreeListForAllUsed(entryFreeList, ReleaseEntry, nullptr);
    }
    GxFreeListDestroy(entryFreeList);
    entryFreeList = nullptr;
    registryOpen = 0;
    return 1;
}

GxInt32 GxPluginRegistryAddPlugin(GxPluginRegistry* reg, GxInt32 size, GxUInt32 pluginID,
                                  GxPluginObjectConstructor constructor, GxPluginObjectDestructor destructor,
                                  GxPluginObjectCopy copy)
{
    if (!registryOpen) {
        return -1;
    }
    GX_ASSERT(reg != nullptr && size >= 0, "a registry and a size");
    if (GxEngineGetOpenCount() != 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRPLUGINREG);
        return -1;
    }
    if (GxFreeListsSwitchedOff() && !RememberRegistry(reg)) {
        return -1;
    }
    if (GxPluginRegistryEntry* existing = FindEntry(reg, pluginID)) {
        GxErrorRaise(gxPLUGINCORE, gxERRPLUGINREG);
        return existing->offset;
    }
    // A block big enough to hold a pointer starts on a pointer boundary.
    const GxInt32 align = size >= static_cast<GxInt32>(sizeof(void*)) ? static_cast<GxInt32>(alignof(void*)) : 4;
    GX_ASSERT(reg->sizeOfStruct >= 0 && size <= INT32_MAX - 16 && reg->sizeOfStruct <= INT32_MAX - 16 - size,
              "an extension the object's size can hold");
    const GxInt32 offset = RoundUp(reg->sizeOfStruct, align);
    const GxInt32 newSize = offset + RoundUp(size, 4);
    if (reg->maxSizeOfStruct != 0 && newSize > reg->maxSizeOfStruct) {
        return -1;
    }
    auto* entry = static_cast<GxPluginRegistryEntry*>(GxFreeListAllocEntry(entryFreeList, gxPLUGINENTRYHINT));
    if (!entry) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return -1;
    }
    reg->sizeOfStruct = newSize;
    entry->offset = offset;
    entry->size = size;
    entry->pluginID = pluginID;
    entry->readCB = nullptr;
    entry->writeCB = nullptr;
    entry->getSizeCB = nullptr;
    entry->alwaysCB = nullptr;
    entry->rightsCB = nullptr;
    entry->constructCB = constructor ? constructor : PassThrough;
    entry->destructCB = destructor ? destructor : PassThrough;
    entry->copyCB = copy ? copy : PassThroughCopy;
    entry->nextRegEntry = nullptr;
    entry->prevRegEntry = reg->lastRegEntry;
    entry->parentRegistry = reg;
    if (reg->lastRegEntry) {
        reg->lastRegEntry->nextRegEntry = entry;
    } else {
        reg->firstRegEntry = entry;
    }
    reg->lastRegEntry = entry;
    return offset;
}

GxInt32 GxPluginRegistryGetPluginOffset(const GxPluginRegistry* reg, GxUInt32 pluginID)
{
    GxPluginRegistryEntry* entry = FindEntry(reg, pluginID);
    return entry ? entry->offset : -1;
}

const GxPluginRegistry* GxPluginRegistryInitObject(const GxPluginRegistry* reg, void* object)
{
    GX_ASSERT(reg != nullptr && object != nullptr, "a registry and an object");
    for (GxPluginRegistryEntry* e = reg->firstRegEntry; e; e = e->nextRegEntry) {
        if (e->constructCB(object, e->offset, e->size)) {
            continue;
        }
        for (GxPluginRegistryEntry* undo = e->prevRegEntry; undo; undo = undo->prevRegEntry) {
            undo->destructCB(object, undo->offset, undo->size);
        }
        return nullptr;
    }
    return reg;
}

const GxPluginRegistry* GxPluginRegistryDeInitObject(const GxPluginRegistry* reg, void* object)
{
    GX_ASSERT(reg != nullptr && object != nullptr, "a registry and an object");
    for (GxPluginRegistryEntry* e = reg->lastRegEntry; e; e = e->prevRegEntry) {
        e->destructCB(object, e->offset, e->size);
    }
    return reg;
}

const GxPluginRegistry* GxPluginRegistryCopyObject(const GxPluginRegistry* reg, void* dst, const void* src)
{
    GX_ASSERT(reg != nullptr && dst != nullptr && src != nullptr, "a registry and two objects");
    for (GxPluginRegistryEntry* e = reg->firstRegEntry; e; e = e->nextRegEntry) {
        e->copyCB(dst, src, e->offset, e->size);
    }
    return reg;
}

GxInt32 GxPluginRegistryAddPluginStream(GxPluginRegistry* reg, GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                        GxPluginDataChunkWriteCallBack writeCB,
                                        GxPluginDataChunkGetSizeCallBack getSizeCB)
{
    return SetEntryCallBacks(reg, pluginID, [&](GxPluginRegistryEntry* entry) {
        entry->readCB = readCB;
        entry->writeCB = writeCB;
        entry->getSizeCB = getSizeCB;
    });
}

GxInt32 GxPluginRegistryAddPluginStreamAlways(GxPluginRegistry* reg, GxUInt32 pluginID,
                                              GxPluginDataChunkAlwaysCallBack alwaysCB)
{
    return SetEntryCallBacks(reg, pluginID, [&](GxPluginRegistryEntry* entry) { entry->alwaysCB = alwaysCB; });
}

GxInt32 GxPluginRegistryAddPluginStreamRights(GxPluginRegistry* reg, GxUInt32 pluginID,
                                              GxPluginDataChunkRightsCallBack rightsCB)
{
    return SetEntryCallBacks(reg, pluginID, [&](GxPluginRegistryEntry* entry) { entry->rightsCB = rightsCB; });
}

GxInt32 GxPluginRegistryGetSize(const GxPluginRegistry* reg, const void* object)
{
    GX_ASSERT(reg != nullptr && object != nullptr, "a registry and an object");
    GxInt32 total = 0;
    // Only what the writer will write counts, so the chunk's length always matches its body.
    for (GxPluginRegistryEntry* e = reg->firstRegEntry; e; e = e->nextRegEntry) {
        if (!e->getSizeCB || !e->writeCB) {
            continue;
        }
        GxInt32 size = e->getSizeCB(object, e->offset, e->size);
        if (size > 0) {
            total += size + static_cast<GxInt32>(gxCHUNKHEADERSIZE);
        }
    }
    return total;
}

const GxPluginRegistry* GxPluginRegistryWriteDataChunks(const GxPluginRegistry* reg, GxStream* stream,
                                                        const void* object)
{
    GX_ASSERT(reg != nullptr && stream != nullptr && object != nullptr, "a registry, a stream and an object");
    const GxInt32 total = GxPluginRegistryGetSize(reg, object);
    if (!GxStreamWriteChunkHeader(stream, gxID_EXTENSION, static_cast<GxUInt32>(total), gxLIBRARYVERSION,
                                  gxLIBRARYBUILD)) {
        return nullptr;
    }
    for (GxPluginRegistryEntry* e = reg->firstRegEntry; e; e = e->nextRegEntry) {
        if (!e->getSizeCB || !e->writeCB) {
            continue;
        }
        GxInt32 size = e->getSizeCB(object, e->offset, e->size);
        if (size <= 0) {
            continue;
        }
        if (!GxStreamWriteChunkHeader(stream, e->pluginID, static_cast<GxUInt32>(size), gxLIBRARYVERSION,
                                      gxLIBRARYBUILD)) {
            return nullptr;
        }
        GxUInt32 start = 0;
        const GxBool known = StreamTell(stream, &start);
        if (!e->writeCB(stream, size, object, e->offset, e->size)) {
            return nullptr;
        }
        // A writer that wrote other than it announced would leave a chunk no reader can parse.
        GxUInt32 end = 0;
        if (known && StreamTell(stream, &end) && end - start != static_cast<GxUInt32>(size)) {
            GxErrorRaise(gxPLUGINCORE, gxERRWRITE);
            return nullptr;
        }
    }
    return reg;
}

const GxPluginRegistry* GxPluginRegistryReadDataChunks(const GxPluginRegistry* reg, GxStream* stream, void* object)
{
    GX_ASSERT(reg != nullptr && stream != nullptr && object != nullptr, "a registry, a stream and an object");
    GxUInt32 remaining = 0;
    GxUInt32 version = 0;
    if (!GxStreamFindChunk(stream, gxID_EXTENSION, &remaining, &version)) {
        return nullptr;
    }
    if (version < gxVERSIONMIN || version > gxVERSIONMAX) {
        GxErrorRaise(gxPLUGINCORE, gxERRBADVERSION);
        return nullptr;
    }
    // Plugins size their data from the sub-chunk lengths, so the body must be there before any is read.
    if (!GxStreamCanSupply(stream, remaining)) {
        GxErrorRaise(gxPLUGINCORE, gxERRENDOFSTREAM);
        return nullptr;
    }
    while (remaining > 0) {
        // Every sub-chunk must fit, header and body, inside what is left of the body.
        GxUInt32 type = 0;
        GxUInt32 length = 0;
        if (remaining < gxCHUNKHEADERSIZE) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return nullptr;
        }
        if (!GxStreamReadChunkHeader(stream, &type, &length, nullptr, nullptr)) {
            return nullptr;
        }
        remaining -= gxCHUNKHEADERSIZE;
        if (length > remaining) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return nullptr;
        }
        GxPluginRegistryEntry* entry = FindEntry(reg, type);
        if (entry && entry->readCB) {
            if (!ReadSubChunk(entry, stream, length, object)) {
                return nullptr;
            }
        } else if (length > 0 && !GxStreamSkip(stream, length)) {
            return nullptr;
        }
        remaining -= length;
    }
    for (GxPluginRegistryEntry* e = reg->firstRegEntry; e; e = e->nextRegEntry) {
        if (e->alwaysCB && !e->alwaysCB(object, e->offset, e->size)) {
            return nullptr;
        }
    }
    return reg;
}

const GxPluginRegistry* GxPluginRegistrySkipDataChunks(const GxPluginRegistry* reg, GxStream* stream)
{
    GX_ASSERT(reg != nullptr && stream != nullptr, "a registry and a stream");
    GxUInt32 remaining = 0;
    if (!GxStreamFindChunk(stream, gxID_EXTENSION, &remaining, nullptr)) {
        return nullptr;
    }
    while (remaining > 0) {
        GxUInt32 length = 0;
        if (remaining < gxCHUNKHEADERSIZE) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return nullptr;
        }
        if (!GxStreamReadChunkHeader(stream, nullptr, &length, nullptr, nullptr)) {
            return nullptr;
        }
        remaining -= gxCHUNKHEADERSIZE;
        if (length > remaining) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
            return nullptr;
        }
        if (length > 0 && !GxStreamSkip(stream, length)) {
            return nullptr;
        }
        remaining -= length;
    }
    return reg;
}

const GxPluginRegistry* GxPluginRegistryInvokeRights(const GxPluginRegistry* reg, GxUInt32 pluginID, void* object,
                                                     GxUInt32 extraData)
{
    GxPluginRegistryEntry* entry = FindEntry(reg, pluginID);
    if (!entry || !entry->rightsCB) {
        return nullptr;
    }
    return entry->rightsCB(object, entry->offset, entry->size, extraData) > 0 ? reg : nullptr;
}
