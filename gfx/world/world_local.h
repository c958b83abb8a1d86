// Internals shared by the world modules: checked chunk and field reads, chunk writes, registries, counting
// modules.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"
#include "gfx/world/clump.h"

struct GxGeometry;
struct GxMaterialList;
struct GxMeshBuilder;
struct GxTriangle;

// The registries of the world objects; their plugins extend them by registration.
extern GxPluginRegistry gxGeometryTKList;
extern GxPluginRegistry gxMaterialTKList;
extern GxPluginRegistry gxLightTKList;
extern GxPluginRegistry gxAtomicTKList;
extern GxPluginRegistry gxClumpTKList;

// Adds the triangles to the builder, each with its material (list entry `base` + its material index; none outside
// the list) and its sort keys: the indices of the material's texture, raster and pipeline among the distinct ones
// of the materials the triangles use, in order of first appearance (geometry.cpp). The texture scratch array takes
// hint 0x10006, the raster and pipeline ones `keyHint`. Null, with the out-of-memory error, when a scratch array
// or the builder's room cannot be had.
GxMeshBuilder* GxMeshBuilderAddListTriangles(GxMeshBuilder* builder, const GxMaterialList* list,
                                             const GxTriangle* triangles, GxUInt32 count, GxInt32 base,
                                             GxUInt32 keyHint);

// The atomics-and-clumps engine module (0x504) alone, without the membership extensions (clump.cpp).
GxBool GxClumpModuleAttach(void);
// The clump membership extensions of cameras and lights (clump.cpp).
GxBool GxClumpRegisterMembershipPlugins(void);
// Registers what the world objects carry in their streams: the bin mesh (0x50E) on geometries and the
// right-to-render record (0x1F) on atomics (rights.cpp).
GxBool GxWorldStreamPluginAttach(void);

// Right-to-render record read from an atomic's extensions; the atomic reader clears it before them and
// hands it to the recorded plugin after them.
extern GxRightsRecord gxAtomicPendingRights;

// The frame list and geometry list a clump's atomics name by index while the clump is written or read
// (clumpstream.cpp).
struct GxClumpWriteContext;
struct GxClumpReadContext;
// Writes one atomic chunk; a GxClumpForAllAtomics callback over a GxClumpWriteContext, whose ok flag it clears
// (and returns null) on the first failure.
GxAtomic* GxClumpAtomicStreamWrite(GxAtomic* atomic, void* context);
// Reads the body of an atomic chunk inside a clump; null (the atomic destroyed) on failure.
GxAtomic* GxClumpAtomicStreamRead(GxStream* stream, const GxClumpReadContext* context);

// True when the stream can still deliver `bytes` (always true when it cannot tell).
inline bool GxWorldStreamHolds(const GxStream* stream, uint64_t bytes)
{
    const GxUInt32 left = GxStreamBytesLeft(stream);
    return left == gxSTREAMBYTESUNKNOWN || bytes <= left;
}

// Reads exactly `length` bytes; a short read raises the read error.
inline bool GxWorldRead(GxStream* stream, void* buffer, GxUInt32 length)
{
    if (GxStreamRead(stream, buffer, length) != length) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    return true;
}

inline bool GxWorldReadU32(GxStream* stream, GxUInt32* value)
{
    GxUInt8 bytes[4];
    if (!GxWorldRead(stream, bytes, sizeof(bytes))) {
        return false;
    }
    *value = GxBytesGetU32(bytes);
    return true;
}

inline bool GxWorldReadI32(GxStream* stream, GxInt32* value)
{
    GxUInt32 word = 0;
    if (!GxWorldReadU32(stream, &word)) {
        return false;
    }
    *value = static_cast<GxInt32>(word);
    return true;
}

inline bool GxWorldSkip(GxStream* stream, GxUInt32 length)
{
    if (length != 0 && !GxStreamSkip(stream, length)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    return true;
}

// Finds the struct chunk of an object: its body must hold at least `minSize` bytes and fit the stream.
inline bool GxWorldFindStruct(GxStream* stream, GxUInt32 minSize, GxUInt32* length)
{
    if (!GxStreamFindChunk(stream, gxID_STRUCT, length, nullptr)) {
        return false;
    }
    if (*length < minSize || !GxWorldStreamHolds(stream, *length)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    return true;
}

// Finds an object chunk and checks its body fits the stream.
inline bool GxWorldFindChunk(GxStream* stream, GxUInt32 type, GxUInt32* length)
{
    GxUInt32 size = 0;
    if (!GxStreamFindChunk(stream, type, &size, nullptr)) {
        return false;
    }
    if (!GxWorldStreamHolds(stream, size)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return false;
    }
    if (length) {
        *length = size;
    }
    return true;
}

inline bool GxWorldWriteHeader(GxStream* stream, GxUInt32 type, GxUInt32 size)
{
    return GxStreamWriteChunkHeader(stream, type, size, gxLIBRARYVERSION, gxLIBRARYBUILD) != nullptr;
}

inline bool GxWorldWriteU32(GxStream* stream, GxUInt32 value)
{
    GxUInt8 bytes[4];
    GxBytesPutU32(bytes, value);
    return GxStreamWrite(stream, bytes, sizeof(bytes)) != nullptr;
}

struct GxMeshHeader;
struct GxMaterialList;

// The bin-mesh extension body of an owner's mesh header (mesh.cpp). Material indices are the owner's list's;
// native owners store no indices. Reading validates materials, vertex indices and the index total.
GxInt32 GxBinMeshStreamGetSize(const GxMeshHeader* header, bool native);
bool GxBinMeshStreamWrite(GxStream* stream, const GxMeshHeader* header, const GxMaterialList* materials, bool native);
GxMeshHeader* GxBinMeshStreamRead(GxStream* stream, GxInt32 length, const GxMaterialList* materials,
                                  GxUInt32 numVertices, bool native);
// The geometry's bin-mesh extension stream callbacks (mesh.cpp), registered by the stream attach.
GxStream* GxBinMeshGeometryStreamRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32 size);
GxStream* GxBinMeshGeometryStreamWrite(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset,
                                       GxInt32 size);
GxInt32 GxBinMeshGeometryStreamGetSize(const void* object, GxInt32 offset, GxInt32 size);

// Open and close of an engine module that only counts the instances it is open in.
template <GxInt32* count>
void* GxCountingModuleOpen(void* instance, GxInt32, GxInt32)
{
    ++*count;
    return instance;
}

template <GxInt32* count>
void* GxCountingModuleClose(void* instance, GxInt32, GxInt32)
{
    --*count;
    return instance;
}
