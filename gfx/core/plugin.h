// Plugin registries: per-type extension blocks with their callbacks and their extension chunk.
#pragma once

#include "gfx/core/gx.h"

struct GxPluginRegistryEntry;

// One static registry per extensible object type.
struct GxPluginRegistry {
    GxInt32 sizeOfStruct;      // current object size with every extension
    GxInt32 origSizeOfStruct;  // bare object size
    GxInt32 maxSizeOfStruct;   // 0: no limit
    GxPluginRegistryEntry* firstRegEntry;
    GxPluginRegistryEntry* lastRegEntry;
};

// Initialiser of a static registry for objects of `size` bytes.
#define GxPluginRegistryInitializer(size, maxSize)                                                              \
    GxPluginRegistry                                                                                            \
    {                                                                                                           \
        static_cast<GxInt32>(size), static_cast<GxInt32>(size), static_cast<GxInt32>(maxSize), nullptr, nullptr \
    }

// Extension callbacks that do nothing and return their first argument: a constructor or destructor that leaves
// the extension as it is, a copy that leaves the destination's extension alone, a stream write of no data.
void* GxPluginNoOpCallback(void* object, GxInt32 offset, GxInt32 size);
void* GxPluginNoOpCallback(void* dst, const void* src, GxInt32 offset, GxInt32 size);
GxStream* GxPluginNoOpCallback(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset, GxInt32 size);

GxBool GxPluginRegistryOpen(void);
GxBool GxPluginRegistryClose(void);

// Returns the extension's offset inside the object, or -1.
GxInt32 GxPluginRegistryAddPlugin(GxPluginRegistry* reg, GxInt32 size, GxUInt32 pluginID,
                                  GxPluginObjectConstructor constructor, GxPluginObjectDestructor destructor,
                                  GxPluginObjectCopy copy);
GxInt32 GxPluginRegistryGetPluginOffset(const GxPluginRegistry* reg, GxUInt32 pluginID);

const GxPluginRegistry* GxPluginRegistryInitObject(const GxPluginRegistry* reg, void* object);
const GxPluginRegistry* GxPluginRegistryDeInitObject(const GxPluginRegistry* reg, void* object);
const GxPluginRegistry* GxPluginRegistryCopyObject(const GxPluginRegistry* reg, void* dst, const void* src);

// Each returns the plugin's offset, or -1 when the id is not registered.
GxInt32 GxPluginRegistryAddPluginStream(GxPluginRegistry* reg, GxUInt32 pluginID, GxPluginDataChunkReadCallBack readCB,
                                        GxPluginDataChunkWriteCallBack writeCB,
                                        GxPluginDataChunkGetSizeCallBack getSizeCB);
GxInt32 GxPluginRegistryAddPluginStreamAlways(GxPluginRegistry* reg, GxUInt32 pluginID,
                                              GxPluginDataChunkAlwaysCallBack alwaysCB);
GxInt32 GxPluginRegistryAddPluginStreamRights(GxPluginRegistry* reg, GxUInt32 pluginID,
                                              GxPluginDataChunkRightsCallBack rightsCB);

// The extension chunk (0x03) that follows an object's struct chunk.
const GxPluginRegistry* GxPluginRegistryReadDataChunks(const GxPluginRegistry* reg, GxStream* stream, void* object);
const GxPluginRegistry* GxPluginRegistryWriteDataChunks(const GxPluginRegistry* reg, GxStream* stream,
                                                        const void* object);
const GxPluginRegistry* GxPluginRegistrySkipDataChunks(const GxPluginRegistry* reg, GxStream* stream);
// Body size of the extension chunk (without its own header).
GxInt32 GxPluginRegistryGetSize(const GxPluginRegistry* reg, const void* object);
const GxPluginRegistry* GxPluginRegistryInvokeRights(const GxPluginRegistry* reg, GxUInt32 pluginID, void* object,
                                                     GxUInt32 extraData);

// Chunk type of the extension chunk.
constexpr GxUInt32 gxID_EXTENSION = 0x03;
