// Native data (chunk 0x510): a geometry's or world sector's Direct3D instance written out and read back, so
// that it is drawn without instancing at run time. Both owners share one reader and one writer.
//
// Layout of the struct chunk, little-endian: platform id 9; instance size S; the instance header (16 words) and
// S - 64 bytes of mesh records (9 words each; material as its list index, 0xFFFFFFFF for none; pointers as 0);
// element count N and N vertex elements; the indices when indexTotal > 0; per stream its 4-word record and, when
// its stride is not 0, stride x vertexTotal bytes of vertices. Every count is checked against the bytes that
// remain before anything is allocated.
#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/bytes.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/world/world.h"

namespace {

constexpr GxUInt32 kStructChunk = 0x01;
constexpr GxUInt32 kLibraryVersion = 0x37002;
constexpr GxUInt32 kLibraryBuild = 10;
constexpr GxUInt32 kOldestVersion = 0x35000;
constexpr GxUInt32 kHeaderBytes = 64;
constexpr GxUInt32 kMeshBytes = 36;
constexpr GxUInt32 kStreamBytes = 16;
constexpr GxUInt32 kElementBytes = 8;
constexpr GxUInt32 kMaxElements = MAXD3DDECLLENGTH + 1;
constexpr GxUInt32 kMaxVertices = 0x10000;
constexpr GxUInt32 kMaxStride = 255;
constexpr GxUInt32 kNoMaterial = 0xFFFFFFFFu;
constexpr GxUInt32 kEntryHint = 0x30510;
constexpr GxUInt32 kMaxPrimitive = D3DPT_TRIANGLEFAN;

GxD3D9InstanceHeader* HeaderOf(GxResourceEntry* entry) { return reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1); }

// What the reader and writer need of the object that owns an instance.
struct NativeOwner {
    void* object;
    GxResourceEntry** slot;
    const GxMaterialList* materials;
    bool ownBuffers;  // a buffer per stream (morphing geometry) instead of pool space
};

bool IsNative(const GxGeometry* geometry)
{
    return geometry && (geometry->flags & gxGEOMETRYNATIVE) && geometry->repEntry;
}

NativeOwner OwnerOf(GxGeometry* geometry)
{
    return NativeOwner{geometry, &geometry->repEntry, &geometry->matList, geometry->numMorphTargets > 1};
}

// A sector's materials are its world's; the world is found by address while it is being read.
bool OwnerOf(GxWorldSector* sector, NativeOwner* owner)
{
    GxWorld* world = sector ? GxWorldSectorGetWorld(sector) : nullptr;
    if (!world) {
        return false;
    }
    *owner = NativeOwner{sector, &sector->repEntry, &world->matList, false};
    return true;
}

bool IsNative(GxWorldSector* sector)
{
    GxWorld* world = sector && sector->repEntry ? GxWorldSectorGetWorld(sector) : nullptr;
    return world && (world->flags & gxGEOMETRYNATIVE);
}

void PutStream(std::vector<GxUInt8>* out, const GxD3D9VertexStream& s)
{
    GxUInt8 b[kStreamBytes];
    GxBytesPutU32(b, 0);  // the buffer pointer means nothing in a file
    GxBytesPutU32(b + 4, s.offset);
    GxBytesPutU32(b + 8, s.stride);
    GxBytesPutU32(b + 12,
                  s.contents | (static_cast<GxUInt32>(s.pooled) << 16) | (static_cast<GxUInt32>(s.discardLock) << 24));
    out->insert(out->end(), b, b + kStreamBytes);
}

void PutWord(std::vector<GxUInt8>* out, GxUInt32 value)
{
    GxUInt8 b[4];
    GxBytesPutU32(b, value);
    out->insert(out->end(), b, b + 4);
}

GxUInt32 ElementCount(IDirect3DVertexDeclaration9* declaration)
{
    UINT count = 0;
    if (!declaration || FAILED(declaration->GetDeclaration(nullptr, &count))) {
        return 0;
    }
    return count;
}

// The instance data with materials as indexes: header and mesh records.
std::vector<GxUInt8> InstanceBytes(const GxMaterialList* materials, GxD3D9InstanceHeader* header)
{
    std::vector<GxUInt8> out;
    PutWord(&out, header->meshSerial);
    PutWord(&out, header->meshCount);
    PutWord(&out, 0);
    PutWord(&out, header->primitive);
    PutStream(&out, header->streams[0]);
    PutStream(&out, header->streams[1]);
    PutWord(&out, header->streamOffsets);
    PutWord(&out, 0);
    PutWord(&out, header->indexTotal);
    PutWord(&out, header->vertexTotal);
    const GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const GxD3D9MeshInstance& mesh = meshes[m];
        const GxInt32 index =
            mesh.material ? GxMaterialListFindMaterialIndex(materials, static_cast<GxMaterial*>(mesh.material)) : -1;
        const GxUInt32 words[9] = {mesh.indexCount,
                                   mesh.firstVertex,
                                   index < 0 ? kNoMaterial : static_cast<GxUInt32>(index),
                                   mesh.hasVertexAlpha,
                                   0,
                                   mesh.vertexBase,
                                   mesh.vertexCount,
                                   mesh.firstIndex,
                                   mesh.primitiveCount};
        for (GxUInt32 w : words) {
            PutWord(&out, w);
        }
    }
    return out;
}

GxUInt32 StructSize(GxD3D9InstanceHeader* header)
{
    GxUInt32 size = 8 + kHeaderBytes + kMeshBytes * header->meshCount + 4 +
                    kElementBytes * ElementCount(header->declaration) + 2 * kStreamBytes;
    if (header->indexTotal > 0) {
        size += 2 * header->indexTotal;
    }
    for (const GxD3D9VertexStream& s : header->streams) {
        if (s.stride) {
            size += s.stride * header->vertexTotal;
        }
    }
    return size;
}

// Reads exactly `length` bytes within the chunk's budget; false (with nothing consumed past the stream's end)
// when fewer remain.
struct Budget {
    GxStream* stream;
    GxUInt32 left;

    bool Take(void* out, GxUInt32 length)
    {
        if (length > left) {
            return false;
        }
        left -= length;
        return GxStreamRead(stream, out, length) == length;
    }
    bool Word(GxUInt32* out)
    {
        GxUInt8 b[4];
        if (!Take(b, 4)) {
            return false;
        }
        *out = GxBytesGetU32(b);
        return true;
    }
    bool Fits(uint64_t length) const { return length <= left; }
};

void GetStream(const GxUInt8* b, GxD3D9VertexStream* s)
{
    s->buffer = nullptr;
    s->offset = GxBytesGetU32(b + 4);
    s->stride = GxBytesGetU32(b + 8);
    const GxUInt32 packed = GxBytesGetU32(b + 12);
    s->contents = static_cast<GxUInt16>(packed & 0xFFFF);
    s->pooled = 0;
    s->discardLock = 0;
}

// The header and mesh records, checked: counts within the instance size, ranges within the totals, materials
// within the geometry's list.
bool ParseInstance(const std::vector<GxUInt8>& bytes, const GxMaterialList* materials, GxD3D9InstanceHeader* header)
{
    const GxUInt8* b = bytes.data();
    header->meshSerial = GxBytesGetU32(b);
    header->meshCount = GxBytesGetU32(b + 4);
    header->primitive = GxBytesGetU32(b + 12);
    GetStream(b + 16, &header->streams[0]);
    GetStream(b + 32, &header->streams[1]);
    header->indexTotal = GxBytesGetU32(b + 56);
    header->vertexTotal = GxBytesGetU32(b + 60);
    if (header->meshCount != (bytes.size() - kHeaderBytes) / kMeshBytes || header->primitive == 0 ||
        header->primitive > kMaxPrimitive || header->vertexTotal > kMaxVertices) {
        return false;
    }
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    uint64_t indexSum = 0;
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const GxUInt8* w = b + kHeaderBytes + m * kMeshBytes;
        GxD3D9MeshInstance& mesh = meshes[m];
        mesh.indexCount = GxBytesGetU32(w);
        mesh.firstVertex = GxBytesGetU32(w + 4);
        const GxUInt32 material = GxBytesGetU32(w + 8);
        mesh.hasVertexAlpha = GxBytesGetU32(w + 12) != 0;
        mesh.shader = nullptr;
        mesh.vertexCount = GxBytesGetU32(w + 24);
        mesh.firstIndex = GxBytesGetU32(w + 28);
        mesh.primitiveCount = GxBytesGetU32(w + 32);
        if (material != kNoMaterial && material >= static_cast<GxUInt32>(materials->numMaterials)) {
            return false;
        }
        mesh.material = material == kNoMaterial ? nullptr : materials->materials[material];
        indexSum += mesh.indexCount;
        // An unindexed mesh draws its vertex range in order: its primitives follow from its vertex count.
        const GxUInt32 drawn = header->indexTotal ? mesh.indexCount : mesh.vertexCount;
        if (static_cast<uint64_t>(mesh.firstIndex) + mesh.indexCount > header->indexTotal ||
            static_cast<uint64_t>(mesh.firstVertex) + mesh.vertexCount > header->vertexTotal ||
            mesh.primitiveCount != GxD3D9PrimitiveCount(static_cast<D3DPRIMITIVETYPE>(header->primitive), drawn)) {
            return false;
        }
    }
    return indexSum <= header->indexTotal;
}

bool ElementsFit(const D3DVERTEXELEMENT9* elements, GxUInt32 count, const GxD3D9InstanceHeader* header)
{
    const D3DVERTEXELEMENT9& end = elements[count - 1];
    if (end.Stream != 0xFF || end.Type != D3DDECLTYPE_UNUSED) {
        return false;
    }
    for (GxUInt32 i = 0; i + 1 < count; i++) {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream > 1 || e.Type >= gxD3D9DECLTYPECOUNT || e.Method != 0) {
            return false;
        }
        const GxUInt32 stride = header->streams[e.Stream].stride;
        if (stride == 0 || e.Offset + GxD3D9VertexDeclTypeGetSize(e.Type) > stride) {
            return false;
        }
    }
    return true;
}

// A morphing geometry's streams get buffers of their own, everything else pool space; two streams on a device
// that cannot offset them must each start at 0 in a buffer of its own.
bool CreateStreamBuffer(GxD3D9InstanceHeader* header, GxUInt32 s, bool twoStreams, bool morphs)
{
    GxD3D9VertexStream& stream = header->streams[s];
    const GxUInt32 size = stream.stride * header->vertexTotal;
    const bool offsets = (GxD3D9GetCaps()->DevCaps2 & D3DDEVCAPS2_STREAMOFFSET) != 0;
    const bool own = morphs || (twoStreams && !offsets);
    if (own) {
        stream.pooled = 0;
        stream.offset = 0;
        return GxD3D9DynamicVertexBufferCreate(size, &stream.buffer);
    }
    stream.pooled = 1;
    return GxD3D9CreateVertexBuffer(stream.stride, size, &stream.buffer, &stream.offset);
}

bool ReadBody(Budget* budget, const NativeOwner& owner, GxResourceEntry** entryOut)
{
    GxUInt32 platform = 0, size = 0;
    if (!budget->Word(&platform) || platform != gxD3D9PLATFORMID || !budget->Word(&size) || size < kHeaderBytes ||
        (size - kHeaderBytes) % kMeshBytes != 0 || !budget->Fits(size)) {
        return false;
    }
    std::vector<GxUInt8> instance(size);
    if (!budget->Take(instance.data(), size)) {
        return false;
    }
    const GxUInt32 meshCount = (size - kHeaderBytes) / kMeshBytes;
    const GxUInt32 dataSize = sizeof(GxD3D9InstanceHeader) + meshCount * sizeof(GxD3D9MeshInstance);
    auto* entry = static_cast<GxResourceEntry*>(GxCalloc(1, sizeof(GxResourceEntry) + dataSize, kEntryHint));
    if (!entry) {
        return false;
    }
    *entry = GxResourceEntry{{nullptr, nullptr}, dataSize, owner.object, owner.slot, GxD3D9InstanceDestroy};
    *owner.slot = entry;
    *entryOut = entry;
    GxD3D9InstanceHeader* header = HeaderOf(entry);
    if (!ParseInstance(instance, owner.materials, header)) {
        return false;
    }
    const bool twoStreams = header->streams[1].stride != 0;
    for (const GxD3D9VertexStream& s : header->streams) {
        if (s.stride > kMaxStride) {
            return false;
        }
    }
    if (header->streams[0].stride == 0) {
        return false;
    }
    GxUInt32 count = 0;
    if (!budget->Word(&count) || count == 0 || count > kMaxElements ||
        !budget->Fits(static_cast<uint64_t>(count) * kElementBytes)) {
        return false;
    }
    D3DVERTEXELEMENT9 elements[kMaxElements];
    for (GxUInt32 i = 0; i < count; i++) {
        GxUInt8 b[kElementBytes];
        if (!budget->Take(b, kElementBytes)) {
            return false;
        }
        elements[i] = D3DVERTEXELEMENT9{
            static_cast<WORD>(GxBytesGetU16(b)), static_cast<WORD>(GxBytesGetU16(b + 2)), b[4], b[5], b[6], b[7]};
    }
    if (!ElementsFit(elements, count, header) || !GxD3D9CreateVertexDeclaration(elements, &header->declaration)) {
        return false;
    }
    void* locked = nullptr;
    if (header->indexTotal > 0) {
        if (!budget->Fits(static_cast<uint64_t>(header->indexTotal) * 2) ||
            !GxD3D9IndexBufferCreate(header->indexTotal, &header->indexBuffer)) {
            return false;
        }
        if (FAILED(header->indexBuffer->Lock(0, 0, &locked, 0))) {
            return false;
        }
        const bool indicesRead = budget->Take(locked, header->indexTotal * 2);
        header->indexBuffer->Unlock();
        if (!indicesRead) {
            return false;
        }
    }
    for (GxUInt32 s = 0; s < 2; s++) {
        GxUInt8 b[kStreamBytes];
        if (!budget->Take(b, kStreamBytes)) {
            return false;
        }
        GxD3D9VertexStream& stream = header->streams[s];
        GxD3D9VertexStream record;
        GetStream(b, &record);
        if (record.stride != stream.stride) {
            return false;
        }
        if (stream.stride == 0) {
            continue;
        }
        const GxUInt32 bytes = stream.stride * header->vertexTotal;
        if (!budget->Fits(bytes) || !CreateStreamBuffer(header, s, twoStreams, owner.ownBuffers)) {
            return false;
        }
        if (FAILED(stream.buffer->Lock(stream.offset, bytes, &locked, D3DLOCK_NOSYSLOCK))) {
            return false;
        }
        const bool read = budget->Take(locked, bytes);
        stream.buffer->Unlock();
        if (!read) {
            return false;
        }
    }
    // Bases and offsets as this device draws them: the pool may have placed the vertices elsewhere.
    header->streamOffsets = twoStreams && (GxD3D9GetCaps()->DevCaps2 & D3DDEVCAPS2_STREAMOFFSET) ? 1 : 0;
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    const GxD3D9VertexStream& s0 = header->streams[0];
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        meshes[m].vertexBase = twoStreams ? meshes[m].firstVertex : s0.offset / s0.stride + meshes[m].firstVertex;
    }
    return budget->left == 0;
}

GxInt32 SizeOf(GxResourceEntry* entry) { return static_cast<GxInt32>(StructSize(HeaderOf(entry)) + 12); }

GxStream* Write(GxStream* stream, const NativeOwner& owner)
{
    GxD3D9InstanceHeader* header = HeaderOf(*owner.slot);
    std::vector<GxUInt8> out;
    PutWord(&out, gxD3D9PLATFORMID);
    const std::vector<GxUInt8> instance = InstanceBytes(owner.materials, header);
    PutWord(&out, static_cast<GxUInt32>(instance.size()));
    out.insert(out.end(), instance.begin(), instance.end());
    const GxUInt32 count = ElementCount(header->declaration);
    std::vector<D3DVERTEXELEMENT9> elements(count);
    UINT got = count;
    if (count == 0 || FAILED(header->declaration->GetDeclaration(elements.data(), &got))) {
        return nullptr;
    }
    PutWord(&out, count);
    for (const D3DVERTEXELEMENT9& e : elements) {
        GxUInt8 b[kElementBytes];
        GxBytesPutU16(b, e.Stream);
        GxBytesPutU16(b + 2, e.Offset);
        b[4] = e.Type;
        b[5] = e.Method;
        b[6] = e.Usage;
        b[7] = e.UsageIndex;
        out.insert(out.end(), b, b + kElementBytes);
    }
    void* locked = nullptr;
    if (header->indexTotal > 0) {
        if (!header->indexBuffer || FAILED(header->indexBuffer->Lock(0, 0, &locked, D3DLOCK_READONLY))) {
            return nullptr;
        }
        const auto* bytes = static_cast<const GxUInt8*>(locked);
        out.insert(out.end(), bytes, bytes + 2 * header->indexTotal);
        header->indexBuffer->Unlock();
    }
    for (const GxD3D9VertexStream& s : header->streams) {
        PutStream(&out, s);
        if (!s.stride) {
            continue;
        }
        const GxUInt32 bytes = s.stride * header->vertexTotal;
        if (!s.buffer || FAILED(s.buffer->Lock(s.offset, bytes, &locked, D3DLOCK_NOSYSLOCK))) {
            return nullptr;
        }
        const auto* data = static_cast<const GxUInt8*>(locked);
        out.insert(out.end(), data, data + bytes);
        s.buffer->Unlock();
    }
    if (!GxStreamWriteChunkHeader(stream, kStructChunk, static_cast<GxUInt32>(out.size()), kLibraryVersion,
                                  kLibraryBuild) ||
        !GxStreamWrite(stream, out.data(), static_cast<GxUInt32>(out.size()))) {
        return nullptr;
    }
    return stream;
}

GxStream* Read(GxStream* stream, const NativeOwner& owner)
{
    GxUInt32 length = 0;
    GxUInt32 version = 0;
    if (!GxStreamFindChunk(stream, kStructChunk, &length, &version)) {
        return nullptr;
    }
    if (version < kOldestVersion || version > kLibraryVersion) {
        GxErrorRaise(gxPLUGINCORE, gxERRBADVERSION);
        return nullptr;
    }
    const GxUInt32 left = GxStreamBytesLeft(stream);
    if (left != gxSTREAMBYTESUNKNOWN && length > left) {
        return nullptr;
    }
    if (*owner.slot) {
        GxResourceEntryFree(*owner.slot);
    }
    Budget budget = {stream, length};
    GxResourceEntry* entry = nullptr;
    if (!ReadBody(&budget, owner, &entry)) {
        if (entry) {
            GxResourceEntryFree(entry);
        }
        return nullptr;
    }
    return stream;
}

}  // namespace

GxInt32 GxD3D9GeometryNativeStreamSize(GxGeometry* geometry)
{
    return IsNative(geometry) ? SizeOf(geometry->repEntry) : 0;
}

GxStream* GxD3D9GeometryNativeStreamWrite(GxStream* stream, GxGeometry* geometry)
{
    return IsNative(geometry) ? Write(stream, OwnerOf(geometry)) : stream;
}

GxStream* GxD3D9GeometryNativeStreamRead(GxStream* stream, GxGeometry* geometry)
{
    GX_ASSERT(stream && geometry, "a geometry's native data is read from a stream");
    return Read(stream, OwnerOf(geometry));
}

GxInt32 GxD3D9SectorNativeStreamSize(GxWorldSector* sector) { return IsNative(sector) ? SizeOf(sector->repEntry) : 0; }

GxStream* GxD3D9SectorNativeStreamWrite(GxStream* stream, GxWorldSector* sector)
{
    NativeOwner owner = {};
    if (!IsNative(sector)) {
        return stream;
    }
    return OwnerOf(sector, &owner) ? Write(stream, owner) : nullptr;
}

GxStream* GxD3D9SectorNativeStreamRead(GxStream* stream, GxWorldSector* sector)
{
    NativeOwner owner = {};
    GX_ASSERT(stream, "a sector's native data is read from a stream");
    if (!OwnerOf(sector, &owner)) {
        return nullptr;
    }
    return Read(stream, owner);
}
