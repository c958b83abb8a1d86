// Skinned geometry instancing: the layouts of the shader and processor paths, their streams, and the fills.
//
// Sections: layout; streams and declaration; element writers; instancing; the processor path's blend.
#include "gfx/d3d9/skininstance.h"

#include <algorithm>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/skin_local.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/d3d9/skinpipe.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/d3d9/vsbuilder.h"
#include "gfx/d3d9/worldglue_local.h"
#include "gfx/world/geometry.h"

namespace {

// Parts beyond the lock flags, kept in the stream's contents so that a discarding lock rewrites them too.
constexpr GxUInt32 kBlendPart = 0x1000;      // weights and indices of the shader layout
constexpr GxUInt32 kTangentPart = 0x2000;    // tangents, derived from positions and the last coordinate set
constexpr GxUInt32 kTangentSources = 0xFF2;  // positions or any coordinate set change the tangents
constexpr GxUInt32 kTangentUsage = gxD3D9USAGETANGENTS;
constexpr GxUInt32 kMaxStreams = gxD3D9LAYOUTMAXSTREAMS;
constexpr DWORD kLockRange = D3DLOCK_NOSYSLOCK;
constexpr DWORD kLockDiscard = D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK;
constexpr GxUInt32 kPositionSize = 12;  // FLOAT3

// The header's skinLayout bits.
constexpr GxUInt32 kLayoutShader = 0x1;
constexpr GxUInt32 kLayoutOwnStream = 0x2;  // stream 0 is a buffer of its own, rewritten whole
constexpr GxUInt32 kLayoutSkin = 0x80;      // made here (another pipeline's instance of the geometry lacks it)

// ---- Layout.

// The shared layout with the arrangement it was built for.
struct Layout : GxD3D9VertexLayout {
    bool ownStream;  // two-stream arrangement: stream 0 rewritten each frame
};

bool HasCap(DWORD field, DWORD bit) { return (field & bit) != 0; }

// Parts the geometry's usage flags name as changing.
GxUInt32 ChangingParts(const GxGeometry* geometry)
{
    return GxD3D9GeometryGetUsageFlags(geometry) & gxD3D9SKINALLPARTS;
}

void Append(Layout* layout, GxUInt32 part, bool inFirst, GxUInt32 type, GxUInt32 usage, GxUInt32 index)
{
    GxD3D9VertexLayoutAppend(layout, inFirst ? 0 : kMaxStreams - 1, part, type, usage, index);
}

// The first supported of the candidates, else the last one.
GxUInt32 FirstSupported(std::initializer_list<std::pair<DWORD, GxUInt32>> candidates, GxUInt32 last)
{
    const DWORD caps = GxD3D9GetCaps()->DeclTypes;
    for (const auto& c : candidates) {
        if (HasCap(caps, c.first)) {
            return c.second;
        }
    }
    return last;
}

GxUInt32 WeightType(GxUInt32 weights)
{
    if (weights == 2) {
        return FirstSupported({{D3DDTCAPS_USHORT2N, D3DDECLTYPE_USHORT2N},
                               {D3DDTCAPS_SHORT2N, D3DDECLTYPE_SHORT2N},
                               {D3DDTCAPS_DEC3N, D3DDECLTYPE_DEC3N},
                               {D3DDTCAPS_UBYTE4N, D3DDECLTYPE_UBYTE4N}},
                              D3DDECLTYPE_D3DCOLOR);
    }
    if (weights == 3 && HasCap(GxD3D9GetCaps()->DeclTypes, D3DDTCAPS_DEC3N)) {
        return D3DDECLTYPE_DEC3N;
    }
    return FirstSupported({{D3DDTCAPS_USHORT4N, D3DDECLTYPE_USHORT4N},
                           {D3DDTCAPS_SHORT4N, D3DDECLTYPE_SHORT4N},
                           {D3DDTCAPS_UBYTE4N, D3DDECLTYPE_UBYTE4N}},
                          D3DDECLTYPE_D3DCOLOR);
}

GxUInt32 IndexType(GxUInt32 weights)
{
    if (weights <= 2) {
        return D3DDECLTYPE_SHORT2;
    }
    return HasCap(GxD3D9GetCaps()->DeclTypes, D3DDTCAPS_UBYTE4) ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_SHORT4;
}

bool Prelit(const GxGeometry* geometry) { return (geometry->flags & gxGEOMETRYPRELIT) && geometry->preLitLum; }

bool Normals(const GxGeometry* geometry)
{
    return (geometry->flags & gxGEOMETRYNORMALS) && geometry->numMorphTargets > 0 && geometry->morphTarget[0].normals;
}

GxUInt32 TexCoordType(const GxGeometry* geometry, GxInt32 set, bool shader)
{
    const GxTexCoords* uv = geometry->texCoords[set];
    if (!shader || !uv || geometry->numVertices <= 0) {
        return D3DDECLTYPE_FLOAT2;
    }
    return GxD3D9TexCoordsBestType(&uv[0].u, static_cast<GxUInt32>(geometry->numVertices));
}

// The elements of a path. With `ownStream` the processor layout keeps positions and normals in stream 0 and the
// shader layout the changing parts; everything else goes to the last stream.
void BuildLayout(const GxGeometry* geometry, const GxSkin* skin, bool shader, bool ownStream, Layout* layout)
{
    *layout = Layout{};
    layout->ownStream = ownStream;
    const GxUInt32 changing = ChangingParts(geometry);
    const auto first = [&](GxUInt32 part) { return !ownStream || (changing & part) != 0; };
    const bool cpuFirst = !shader;
    Append(layout, gxD3D9STREAMPOSITIONS, cpuFirst || first(gxD3D9STREAMPOSITIONS), D3DDECLTYPE_FLOAT3,
           D3DDECLUSAGE_POSITION, 0);
    if (Normals(geometry)) {
        Append(layout, gxD3D9STREAMNORMALS, cpuFirst || first(gxD3D9STREAMNORMALS),
               shader ? GxD3D9PackedNormalType() : static_cast<GxUInt32>(D3DDECLTYPE_FLOAT3), D3DDECLUSAGE_NORMAL, 0);
    }
    if (shader && (GxD3D9GeometryGetUsageFlags(geometry) & kTangentUsage) && geometry->numTexCoordSets > 0) {
        Append(layout, kTangentPart, first(kTangentSources), GxD3D9PackedNormalType(), D3DDECLUSAGE_TANGENT, 0);
    }
    if (Prelit(geometry)) {
        Append(layout, gxD3D9STREAMPRELIT, first(gxD3D9STREAMPRELIT), D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    }
    for (GxInt32 k = 0; k < geometry->numTexCoordSets && k < gxMAXTEXCOORDSETS; k++) {
        const GxUInt32 part = gxD3D9STREAMTEXCOORDS0 << k;
        Append(layout, part, first(part), TexCoordType(geometry, k, shader), D3DDECLUSAGE_TEXCOORD,
               static_cast<GxUInt32>(k));
    }
    if (shader) {
        const GxUInt32 weights = std::min(skin->maxNumWeightsForVertex, gxD3D9SKINMAXWEIGHTS);
        if (weights >= 2) {
            Append(layout, kBlendPart, !ownStream, WeightType(weights), D3DDECLUSAGE_BLENDWEIGHT, 0);
        }
        Append(layout, kBlendPart, !ownStream, IndexType(weights), D3DDECLUSAGE_BLENDINDICES, 0);
    }
    layout->streams = layout->strides[1] ? kMaxStreams : 1;
    if (layout->strides[0] == 0) {
        // Nothing changes after all: the one stream left is the first.
        for (GxUInt32 i = 0; i < layout->count; i++) {
            layout->elements[i].stream = 0;
        }
        layout->strides[0] = layout->strides[1];
        layout->contents[0] = layout->contents[1];
        layout->strides[1] = 0;
        layout->contents[1] = 0;
        layout->streams = 1;
        layout->ownStream = false;
    }
}

bool ShaderPathWanted(const GxSkin* skin) { return skin && skin->usesVertexShader; }

// The two-stream arrangement: parts that change, or a processor blend each frame on a device that transforms in
// hardware.
bool WantsOwnStream(const GxAtomic* atomic, const GxSkin* skin, bool shader, GxBool dynamic)
{
    if (ChangingParts(atomic->geometry)) {
        return true;
    }
    return skin && !shader && dynamic && !GxD3D9SkinUseStaticBuffer(atomic);
}

// The layout an existing instance holds.
bool LayoutOf(const GxAtomic* atomic, const GxD3D9InstanceHeader* header, Layout* layout)
{
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    const bool shader = (header->skinLayout & kLayoutShader) != 0;
    if (shader && !skin) {
        return false;
    }
    BuildLayout(atomic->geometry, skin, shader, (header->skinLayout & kLayoutOwnStream) != 0, layout);
    for (GxUInt32 s = 0; s < kMaxStreams; s++) {
        if (layout->strides[s] != header->streams[s].stride) {
            return false;  // the geometry's format changed under the instance
        }
    }
    return true;
}

// ---- Streams and declaration.

void ReleaseStreams(GxD3D9InstanceHeader* header)
{
    for (GxD3D9VertexStream& stream : header->streams) {
        if (stream.buffer && stream.pooled) {
            GxD3D9DestroyVertexBuffer(stream.stride, stream.stride * header->vertexTotal, stream.buffer, stream.offset);
        } else if (stream.buffer && stream.offset == 0 && !stream.discardLock) {
            GxD3D9DynamicVertexBufferDestroy(stream.buffer);
        }
        stream = GxD3D9VertexStream{};
    }
    if (header->declaration) {
        GxD3D9DeleteVertexDeclaration(header->declaration);
        header->declaration = nullptr;
    }
    if (header->dynamicGeometry) {
        GxD3D9DynamicGeometryRemove(static_cast<GxGeometry*>(header->dynamicGeometry));
        header->dynamicGeometry = nullptr;
    }
    header->streamOffsets = 0;
}

// Stream 0 of the two-stream arrangement is a buffer of its own at offset 0; so is stream 1 when the device
// cannot bind streams at byte offsets (one base vertex then indexes both). Pooled streams share the pool.
GxBool CreateBuffers(GxD3D9InstanceHeader* header, const Layout& layout)
{
    const bool offsets = HasCap(GxD3D9GetCaps()->DevCaps2, D3DDEVCAPS2_STREAMOFFSET);
    for (GxUInt32 s = 0; s < layout.streams; s++) {
        GxD3D9VertexStream& stream = header->streams[s];
        stream.stride = layout.strides[s];
        stream.contents = layout.contents[s];
        const GxUInt32 size = stream.stride * header->vertexTotal;
        const bool own = layout.ownStream && (s == 0 || (layout.streams == kMaxStreams && !offsets));
        stream.pooled = own ? 0 : 1;
        const GxBool made = own ? GxD3D9DynamicVertexBufferCreate(size, &stream.buffer)
                                : GxD3D9CreateVertexBuffer(stream.stride, size, &stream.buffer, &stream.offset);
        if (!made) {
            stream.buffer = nullptr;
            return 0;
        }
    }
    header->streamOffsets = layout.streams == kMaxStreams && offsets ? 1 : 0;
    return 1;
}

// Base vertices: one stream is drawn at its range's first vertex; two streams at the mesh's own first vertex
// (each bound at its byte offset, or both buffers of their own).
void SetVertexBases(GxD3D9InstanceHeader* header, const Layout& layout)
{
    const GxD3D9VertexStream& s0 = header->streams[0];
    const GxUInt32 base = layout.streams == 1 && s0.stride ? s0.offset / s0.stride : 0;
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        meshes[m].vertexBase = base + meshes[m].firstVertex;
    }
}

GxBool DeclarationCreate(GxAtomic* atomic, GxD3D9InstanceHeader* header, bool shader, GxBool dynamic)
{
    ReleaseStreams(header);
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    shader = shader && skin;
    Layout layout;
    BuildLayout(atomic->geometry, skin, shader, WantsOwnStream(atomic, skin, shader, dynamic), &layout);
    header->skinLayout = kLayoutSkin | (shader ? kLayoutShader : 0) | (layout.ownStream ? kLayoutOwnStream : 0);
    if (header->vertexTotal == 0 || !GxD3D9VertexLayoutCreateDeclaration(&layout, &header->declaration) ||
        !CreateBuffers(header, layout)) {
        ReleaseStreams(header);
        header->skinLayout = 0;  // the next draw tries again
        return 0;
    }
    if (layout.ownStream) {
        GxD3D9DynamicGeometryAdd(atomic->geometry);
        header->dynamicGeometry = atomic->geometry;
    }
    SetVertexBases(header, layout);
    return 1;
}

// ---- Element writers.

struct Sources {
    const GxGeometry* geometry;
    const GxSkin* skin;
    const GxAnimHierarchy* hierarchy;
};

void WriteWeights(const GxD3D9VertexElement& e, char* base, GxUInt32 stride, const Sources& src, GxUInt32 count)
{
    const GxSkin* skin = src.skin;
    if (!skin || !skin->vertexBoneWeights || !skin->vertexBoneIndices || skin->numVertices < count) {
        return;
    }
    if (e.usage == D3DDECLUSAGE_BLENDWEIGHT) {
        // A first weight above 1 is the vertex's one bone.
        std::vector<GxReal> weights(skin->vertexBoneWeights, skin->vertexBoneWeights + 4 * count);
        for (GxUInt32 v = 0; v < count; v++) {
            GxReal* w = &weights[4 * v];
            if (w[0] > 1.0f) {
                w[0] = 1.0f;
                w[1] = w[2] = w[3] = 0.0f;
            }
        }
        GxD3D9WriteWeights(e.type, base + e.offset, weights.data(), count, stride);
        return;
    }
    GxUInt8 remap[gxD3D9SKINPALETTEINDICES];
    GxD3D9SkinPaletteRemap(skin, src.hierarchy, remap);
    GxD3D9WriteBoneIndices(e.type, base + e.offset, reinterpret_cast<const GxUInt8*>(skin->vertexBoneIndices), remap,
                           count, stride);
}

// Writes the parts of one locked stream's elements that `parts` names.
void WriteStream(GxD3D9InstanceHeader* header, const Layout& layout, GxUInt32 s, char* base, GxUInt32 parts,
                 const Sources& src)
{
    const GxGeometry* geometry = src.geometry;
    const GxUInt32 count = header->vertexTotal;
    const GxUInt32 stride = layout.strides[s];
    const GxMorphTarget* target = geometry->numMorphTargets > 0 ? &geometry->morphTarget[0] : nullptr;
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 i = 0; i < layout.count; i++) {
        const GxD3D9VertexElement& e = layout.elements[i];
        if (e.stream != s || !(parts & e.part)) {
            continue;
        }
        if (e.part == gxD3D9STREAMPOSITIONS && target && target->verts) {
            GxD3D9WriteV3d(e.type, base + e.offset, target->verts, count, stride);
        } else if (e.part == gxD3D9STREAMNORMALS && target && target->normals) {
            GxD3D9WriteV3d(e.type, base + e.offset, target->normals, count, stride);
        } else if (e.part == gxD3D9STREAMPRELIT) {
            for (GxUInt32 m = 0; m < header->meshCount; m++) {
                const GxUInt32 first = meshes[m].firstVertex;
                const GxUInt32 n = std::min(meshes[m].vertexCount, count > first ? count - first : 0);
                meshes[m].hasVertexAlpha = GxD3D9WriteColors(base + e.offset + static_cast<size_t>(first) * stride,
                                                             geometry->preLitLum + first, n, stride);
            }
        } else if (e.part == kTangentPart) {
            const GxTexCoords* uv = geometry->texCoords[geometry->numTexCoordSets - 1];
            if (uv && target && target->verts) {
                GxD3D9WriteTangents(e.type, base + e.offset, target->verts, &uv[0].u, header, stride);
            }
        } else if (e.part == kBlendPart) {
            WriteWeights(e, base, stride, src, count);
        } else if (e.usage == D3DDECLUSAGE_TEXCOORD && geometry->texCoords[e.usageIndex]) {
            GxD3D9WriteTexCoords(e.type, base + e.offset, &geometry->texCoords[e.usageIndex][0].u, count, stride);
        }
    }
}

// The pieces a lock of `parts` writes, with what derives from them.
GxUInt32 ExpandParts(GxUInt32 parts)
{
    if ((parts & gxD3D9SKINALLPARTS) == gxD3D9SKINALLPARTS) {
        return parts | kBlendPart | kTangentPart;
    }
    return parts & kTangentSources ? parts | kTangentPart : parts;
}

bool LocksWhole(const GxD3D9VertexStream& stream) { return !stream.pooled && stream.offset == 0; }

// The stream's vertices, locked (a buffer of its own discarded whole); null when the lock fails.
char* LockStream(GxD3D9VertexStream& stream, GxUInt32 vertexTotal)
{
    void* data = nullptr;
    const HRESULT locked = stream.buffer->Lock(stream.offset, stream.stride * vertexTotal, &data,
                                               LocksWhole(stream) ? kLockDiscard : kLockRange);
    if (FAILED(locked) || !data) {
        if (SUCCEEDED(locked)) {
            stream.buffer->Unlock();
        }
        return nullptr;
    }
    return static_cast<char*>(data);
}

// The parts of the first fill: everything for the shader layout; the processor layout's own parts, less those of a
// stream 0 of its own, which the blend writes each frame. A skin the blend never moves (no hierarchy, no weights)
// keeps them, so that it shows its rest pose.
GxUInt32 FirstFillParts(const GxAtomic* atomic, const GxD3D9InstanceHeader* header, const GxAnimHierarchy* hierarchy)
{
    if (header->skinLayout & kLayoutShader) {
        return gxD3D9SKINALLPARTS;
    }
    const GxGeometry* geometry = atomic->geometry;
    GxUInt32 parts = gxD3D9STREAMPOSITIONS;
    parts |= (geometry->flags & gxGEOMETRYNORMALS) ? gxD3D9STREAMNORMALS : 0;
    parts |= (geometry->flags & gxGEOMETRYPRELIT) ? gxD3D9STREAMPRELIT : 0;
    for (GxInt32 k = 0; k < geometry->numTexCoordSets && k < gxMAXTEXCOORDSETS; k++) {
        parts |= gxD3D9STREAMTEXCOORDS0 << k;
    }
    const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    const bool blended = skin && hierarchy && skin->vertexBoneWeights;
    if (blended && header->streams[0].buffer && !header->streams[0].pooled) {
        parts &= ~header->streams[0].contents;
    }
    return parts;
}

// A shader for the skin's draws can be made: a skin whose shader the device refuses keeps the processor layout,
// which the draws can show without one.
bool ShaderCanBeMade(GxAtomic* atomic)
{
    GxD3D9VertexShaderDescriptor d;
    GxD3D9SkinShaderDescriptorSetup(atomic, gxD3D9OBJECTATOMIC, &d);
    GxD3D9VertexShaderRegisters registers;
    return GxD3D9VertexShaderCacheGet(&d, &registers) != nullptr;
}

// The skin's part of instancing, once the index buffer and mesh records are made: the path, the streams and their
// first fill.
GxBool InstanceStreams(void* object, GxD3D9InstanceHeader* header, GxBool)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    GxGeometry* geometry = atomic->geometry;
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    const GxAnimHierarchy* hierarchy = GxSkinAtomicGetHierarchy(atomic);
    if (skin) {
        skin->paletteBones = skin->boneLimit ? skin->boneLimit : skin->numBoneIDs;
        skin->usesVertexShader = hierarchy && GxD3D9SkinCanUseVertexShader(atomic) && ShaderCanBeMade(atomic) ? 1 : 0;
    }
    header->vertexTotal = static_cast<GxUInt32>(std::max(0, geometry->numVertices));
    if (!GxD3D9SkinVertexDeclarationCreate(atomic, header, hierarchy != nullptr)) {
        return 0;
    }
    return GxD3D9SkinVertexBufferFill(atomic, header, hierarchy, FirstFillParts(atomic, header, hierarchy));
}

}  // namespace

GxBool GxD3D9SkinUseStaticBuffer(const GxAtomic* atomic)
{
    const GxD3D9SkinDeviceCaps* caps = GxD3D9SkinGetDeviceCaps();
    if (!caps->hardwareTransform) {
        return 1;
    }
    if (!caps->vertexShadersUsable) {
        return 0;
    }
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    return skin && skin->paletteBones <= caps->maxBones;
}

GxBool GxD3D9SkinVertexDeclarationCreate(GxAtomic* atomic, GxD3D9InstanceHeader* header, GxBool dynamic)
{
    return DeclarationCreate(atomic, header, ShaderPathWanted(GxSkinGeometryGetSkin(atomic->geometry)), dynamic);
}

GxBool GxD3D9SkinVertexBufferFill(GxAtomic* atomic, GxD3D9InstanceHeader* header, const GxAnimHierarchy* hierarchy,
                                  GxUInt32 lockFlags)
{
    if (!(header->skinLayout & kLayoutSkin)) {
        return 1;  // another pipeline's instance: nothing of it is the skin's to write
    }
    Layout layout;
    if (!LayoutOf(atomic, header, &layout)) {
        return 0;
    }
    GxUInt32 parts = ExpandParts(lockFlags);
    const bool everything = (lockFlags & gxD3D9SKINALLPARTS) == gxD3D9SKINALLPARTS;
    char* bases[kMaxStreams] = {nullptr, nullptr};
    GxBool ok = 1;
    for (GxUInt32 s = 0; s < layout.streams; s++) {
        GxD3D9VertexStream& stream = header->streams[s];
        if (!stream.buffer || (!everything && !(stream.contents & parts))) {
            continue;
        }
        bases[s] = LockStream(stream, header->vertexTotal);
        if (!bases[s]) {
            ok = 0;
            continue;
        }
        if (LocksWhole(stream)) {
            parts |= stream.contents;  // the discarding lock lost what the stream held
        }
    }
    const Sources src = {atomic->geometry, GxSkinGeometryGetSkin(atomic->geometry), hierarchy};
    for (GxUInt32 s = 0; s < layout.streams; s++) {
        if (bases[s]) {
            WriteStream(header, layout, s, bases[s], ExpandParts(parts), src);
            header->streams[s].buffer->Unlock();
        }
    }
    return ok;
}

// A skin whose index buffer cannot be made is not instanced (the draw fails and the next one tries again): its
// indexed meshes drawn without indices would join the wrong vertices and run past their vertex range.
GxD3D9InstanceHeader* GxD3D9SkinInstance(GxAtomic* atomic, void* owner, GxResourceEntry** entry,
                                         GxMeshHeader* meshHeader)
{
    GxGeometry* geometry = atomic->geometry;
    const GxResourceEntry* made =
        GxD3D9InstanceCreate(atomic, owner, gxD3D9OBJECTATOMIC, entry, meshHeader, InstanceStreams,
                             (geometry->flags & gxGEOMETRYINSTANCEONLY) != 0, 0);
    return made ? reinterpret_cast<GxD3D9InstanceHeader*>(const_cast<GxResourceEntry*>(made) + 1) : nullptr;
}

namespace {

// The blend writes a stream of its own on a device that transforms in hardware, else the shared one: a declaration
// made for the other arrangement (a hierarchy set after instancing, a device that changed) is made again, and
// every part written anew.
bool ArrangeForBlend(GxAtomic* atomic, GxD3D9InstanceHeader* header, const GxAnimHierarchy* hierarchy)
{
    const GxD3D9VertexStream& stream = header->streams[0];
    const bool staticBuffer = GxD3D9SkinUseStaticBuffer(atomic) != 0;
    if (stream.buffer && (staticBuffer == (stream.pooled != 0) || !(header->skinLayout & kLayoutSkin))) {
        return true;  // already so, or another pipeline's instance (a native one), which is used as it is
    }
    return GxD3D9SkinVertexDeclarationCreate(atomic, header, staticBuffer ? 0 : 1) &&
           GxD3D9SkinVertexBufferFill(atomic, header, hierarchy, gxD3D9SKINALLPARTS);
}

}  // namespace

void GxD3D9SkinBlendIntoInstance(GxAtomic* atomic, GxD3D9InstanceHeader* header, const GxSkin* skin,
                                 const GxAnimHierarchy* hierarchy)
{
    if ((header->skinLayout & kLayoutShader) || !ArrangeForBlend(atomic, header, hierarchy)) {
        return;
    }
    GxD3D9VertexStream& stream = header->streams[0];
    GxGeometry* geometry = atomic->geometry;
    Layout layout;
    if (!stream.buffer || !LayoutOf(atomic, header, &layout) || geometry->numMorphTargets < 1 ||
        !geometry->morphTarget[0].verts || skin->numVertices < header->vertexTotal) {
        return;
    }
    if (!GxSkinGetPalette()) {
        return;
    }
    char* base = LockStream(stream, header->vertexTotal);
    if (!base) {
        return;
    }
    const GxMorphTarget* target = &geometry->morphTarget[0];
    const bool normals = (stream.contents & gxD3D9STREAMNORMALS) && target->normals;
    GxD3D9SkinBlendAtomic(atomic, skin, hierarchy, header->vertexTotal, target->verts, base,
                          normals ? target->normals : nullptr, normals ? base + kPositionSize : nullptr, stream.stride);
    if (LocksWhole(stream)) {
        // The discarding lock lost the stream's other parts.
        const GxUInt32 rest = stream.contents & ~static_cast<GxUInt32>(gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS);
        const Sources src = {geometry, skin, hierarchy};
        WriteStream(header, layout, 0, base, ExpandParts(rest), src);
    }
    stream.buffer->Unlock();
}
