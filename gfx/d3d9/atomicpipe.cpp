// The atomic all-in-one node: instancing into Direct3D buffers, reinstancing of locked parts, lighting, the world
// transform and the default render callback.
//
// Sections: element layout; instance creation and destruction; atomic instancing; lighting; render callback;
// the node.
#include "gfx/d3d9/atomicpipe.h"

#include <algorithm>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/lights.h"
#include "gfx/d3d9/raster.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/d3d9/worldglue_local.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world.h"

namespace {

constexpr GxUInt32 kInstanceHint = 0x30510;
constexpr DWORD kLockWhole = D3DLOCK_NOSYSLOCK;
constexpr DWORD kLockDiscard = D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK;
constexpr GxUInt16 kAllParts = 0xFFF;
constexpr GxUInt16 kTangentParts = 0xFF2;  // positions or any coordinate set change the tangents
constexpr GxUInt32 kChangingMask = 0xFFF;
constexpr GxUInt32 kTangentPart = 0x10000;
constexpr GxReal kUnitMin = 0.9f;
constexpr GxReal kUnitMax = 1.1f;
constexpr GxUInt32 kOrthonormalFlags = 0x20001;
constexpr DWORD kOpaqueBlackFactor = 0xFF000000u;
constexpr GxUInt8 kOpaque = 255;

GxD3D9WorldLightsQuery worldLightsQuery = nullptr;
GxD3D9AtomicLocalLightsSetup atomicLocalLights = nullptr;

// ---- Element layout.

bool HasCap(DWORD field, DWORD bit) { return (field & bit) != 0; }

// The changing parts go to stream 0 of two; everything else to the last stream.
void Append(GxD3D9VertexLayout* layout, GxUInt32 part, GxUInt32 changing, GxUInt32 type, GxUInt32 usage, GxUInt32 index)
{
    const GxUInt32 stream = layout->streams == 2 && (changing & part) ? 0 : layout->streams - 1;
    GxD3D9VertexLayoutAppend(layout, stream, part, type, usage, index);
}

void BuildLayout(const GxGeometry* geometry, GxUInt32 changing, GxUInt32 streams, GxD3D9VertexLayout* layout)
{
    memset(layout, 0, sizeof(*layout));
    layout->streams = streams;
    Append(layout, gxD3D9STREAMPOSITIONS, changing, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    if (geometry->flags & gxGEOMETRYNORMALS) {
        Append(layout, gxD3D9STREAMNORMALS, changing, GxD3D9PackedNormalType(), D3DDECLUSAGE_NORMAL, 0);
    }
    if ((geometry->flags & gxGEOMETRYPRELIT) && geometry->preLitLum) {
        Append(layout, gxD3D9STREAMPRELIT, changing, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    }
    for (GxInt32 i = 0; i < geometry->numTexCoordSets; i++) {
        Append(layout, gxD3D9STREAMTEXCOORDS0 << i, changing, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD,
               static_cast<GxUInt32>(i));
    }
    if ((changing & kTangentPart) && geometry->numTexCoordSets > 0) {
        Append(layout, kTangentPart, changing, GxD3D9PackedNormalType(), D3DDECLUSAGE_TANGENT, 0);
    }
}

// The parts of a geometry that change: its usage flags, and positions and normals when it morphs.
GxUInt32 ChangingParts(const GxGeometry* geometry)
{
    GxUInt32 changing = GxD3D9GeometryGetUsageFlags(geometry) & (kChangingMask | kTangentPart);
    if (geometry->numMorphTargets > 1) {
        changing |= gxD3D9USAGEPOSITIONS | gxD3D9USAGENORMALS;
    }
    return changing;
}

GxUInt32 StreamCount(const GxAtomic* atomic, const GxGeometry* geometry, GxUInt32 changing)
{
    const bool hardware = HasCap(GxD3D9GetCaps()->DevCaps, D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    const bool skin = atomic->pipeline && atomic->pipeline->ownerPluginId == gxD3D9ONESTREAMPLUGINID;
    if (!hardware || skin || !(changing & kChangingMask)) {
        return 1;
    }
    // Usage flags for parts the geometry lacks would leave the dynamic stream empty: one stream then.
    GxD3D9VertexLayout layout;
    BuildLayout(geometry, changing, 2, &layout);
    return layout.strides[0] && layout.strides[1] ? 2 : 1;
}

// ---- Instance creation and destruction.

D3DPRIMITIVETYPE PrimitiveOf(GxUInt32 meshFlags)
{
    if (meshFlags & gxMESHHEADERTRISTRIP) {
        return D3DPT_TRIANGLESTRIP;
    }
    if (meshFlags & gxMESHHEADERTRIFAN) {
        return D3DPT_TRIANGLEFAN;
    }
    if (meshFlags & gxMESHHEADERLINELIST) {
        return D3DPT_LINELIST;
    }
    if (meshFlags & gxMESHHEADERPOLYLINE) {
        return D3DPT_LINESTRIP;
    }
    if (meshFlags & gxMESHHEADERPOINTLIST) {
        return D3DPT_POINTLIST;
    }
    return D3DPT_TRIANGLELIST;
}

GxResourceEntry* AllocEntry(void* owner, GxResourceEntry** slot, GxUInt32 size, GxBool outsideArena)
{
    if (!outsideArena) {
        return GxResourceEntryAlloc(owner, slot, static_cast<GxInt32>(size), GxD3D9InstanceDestroy);
    }
    auto* entry = static_cast<GxResourceEntry*>(GxMalloc(sizeof(GxResourceEntry) + size, kInstanceHint));
    if (!entry) {
        return nullptr;
    }
    *entry = GxResourceEntry{{nullptr, nullptr}, size, owner, slot, GxD3D9InstanceDestroy};
    if (slot) {
        *slot = entry;
    }
    return entry;
}

// Writes one mesh's indices from firstIndex on; the count written, or -1 when they do not fit.
GxInt32 WriteMeshIndices(GxUInt16* dst, GxUInt32 room, const GxMesh* mesh, GxD3D9MeshInstance* out, bool toList,
                         bool sort)
{
    const GxUInt32 n = mesh->numIndices;
    GxUInt32 written = 0;
    if (toList) {
        GxUInt32 triangles = 0;
        for (GxUInt32 i = 0; i + 2 < n; i++) {
            const GxUInt16* w = mesh->indices + i;
            triangles += w[0] != w[1] && w[1] != w[2] && w[0] != w[2];
        }
        if (triangles * 3 > room) {
            return -1;
        }
        written = GxD3D9StripToList(dst, mesh->indices, n, out->firstVertex);
    } else {
        if (n > room) {
            return -1;
        }
        for (GxUInt32 i = 0; i < n; i++) {
            dst[i] = static_cast<GxUInt16>(mesh->indices[i] - out->firstVertex);
        }
        written = n;
    }
    if (sort) {
        GxD3D9SortTriangleList(dst, written);
    }
    return static_cast<GxInt32>(written);
}

}  // namespace

GxResourceEntry* GxD3D9InstanceCreate(void* object, void* owner, GxUInt8 type, GxResourceEntry** slot,
                                      GxMeshHeader* meshHeader, GxD3D9InstanceCallBack instanceCallBack,
                                      GxBool instanceOnly, GxBool stripsToList)
{
    // Strips are turned into a list, where asked, when they hold more indices than the object has triangles.
    const GxUInt32 triangleCount =
        !stripsToList                ? 0xFFFFFFFFu / 3
        : type == gxD3D9OBJECTATOMIC ? static_cast<GxUInt32>(static_cast<GxAtomic*>(object)->geometry->numTriangles)
        : type == gxD3D9OBJECTSECTOR ? static_cast<GxUInt32>(static_cast<GxWorldSector*>(object)->numTriangles)
                                     : 0xFFFFFFFFu / 3;
    const GxUInt32 meshCount = meshHeader->numMeshes;
    const GxUInt32 size = sizeof(GxD3D9InstanceHeader) + meshCount * sizeof(GxD3D9MeshInstance);
    GxResourceEntry* entry = AllocEntry(owner, slot, size, instanceOnly);
    if (!entry) {
        return nullptr;
    }
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1);
    memset(header, 0, size);
    header->meshSerial = meshHeader->serialNum;
    header->meshCount = meshCount;
    GxMesh* meshes = GxMeshHeaderGetMeshes(meshHeader);
    const bool indexed = !(meshHeader->flags & gxMESHHEADERUNINDEXED);
    for (GxUInt32 m = 0; m < meshCount && indexed; m++) {
        header->indexTotal += meshes[m].numIndices;
    }
    header->primitive = PrimitiveOf(meshHeader->flags);
    const bool toList = header->primitive == D3DPT_TRIANGLESTRIP && header->indexTotal > 3 * triangleCount;
    if (toList) {
        header->indexTotal = 3 * triangleCount;
        header->primitive = D3DPT_TRIANGLELIST;
    }
    GxUInt16* indices = nullptr;
    if (header->indexTotal > 0) {
        void* locked = nullptr;
        if (!GxD3D9IndexBufferCreate(header->indexTotal, &header->indexBuffer) ||
            FAILED(header->indexBuffer->Lock(0, 0, &locked, 0))) {
            GxResourceEntryFree(entry);
            return nullptr;
        }
        indices = static_cast<GxUInt16*>(locked);
    }
    GxD3D9MeshInstance* out = GxD3D9InstanceMeshes(header);
    GxUInt32 written = 0;
    GxBool ok = 1;
    GxUInt32 vertices = 0;  // unindexed meshes: the vertices of the meshes before
    for (GxUInt32 m = 0; m < meshCount && ok; m++) {
        if (indexed) {
            GxD3D9IndexRange(meshes[m].indices, meshes[m].numIndices, &out[m].vertexCount, &out[m].firstVertex);
        } else {
            out[m].firstVertex = vertices;
            out[m].vertexCount = meshes[m].numIndices;
            vertices += meshes[m].numIndices;
        }
        out[m].material = meshes[m].material;
        if (indices) {
            out[m].firstIndex = written;
            const GxInt32 count = WriteMeshIndices(indices + written, header->indexTotal - written, &meshes[m], &out[m],
                                                   toList, header->primitive == D3DPT_TRIANGLELIST);
            ok = count >= 0;
            out[m].indexCount = ok ? static_cast<GxUInt32>(count) : 0;
            written += out[m].indexCount;
        }
        out[m].primitiveCount = GxD3D9PrimitiveCount(static_cast<D3DPRIMITIVETYPE>(header->primitive),
                                                     indices ? out[m].indexCount : out[m].vertexCount);
    }
    if (indices) {
        header->indexBuffer->Unlock();
    }
    if (!ok || (instanceCallBack && !instanceCallBack(object, header, 0))) {
        GxResourceEntryFree(entry);
        return nullptr;
    }
    return entry;
}

void GxD3D9InstanceDestroy(GxResourceEntry* entry)
{
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1);
    // The instance gives up exactly the use it took: an atomic's geometry may have changed since.
    if (header->dynamicGeometry) {
        GxD3D9DynamicGeometryRemove(static_cast<GxGeometry*>(header->dynamicGeometry));
        header->dynamicGeometry = nullptr;
    }
    if (header->indexBuffer) {
        header->indexBuffer->Release();
        header->indexBuffer = nullptr;
    }
    if (header->declaration) {
        GxD3D9DeleteVertexDeclaration(header->declaration);
        header->declaration = nullptr;
    }
    for (GxD3D9VertexStream& stream : header->streams) {
        if (stream.buffer && stream.pooled) {
            GxD3D9DestroyVertexBuffer(stream.stride, stream.stride * header->vertexTotal, stream.buffer, stream.offset);
        } else if (stream.buffer && !stream.discardLock) {
            GxD3D9DynamicVertexBufferDestroy(stream.buffer);
        }
        stream = GxD3D9VertexStream{};
    }
}

// ---- Atomic instancing.

namespace {

GxBool CreateBuffers(GxD3D9InstanceHeader* header, const GxD3D9VertexLayout& layout)
{
    for (GxUInt32 s = 0; s < layout.streams; s++) {
        GxD3D9VertexStream& stream = header->streams[s];
        stream.stride = layout.strides[s];
        stream.contents = layout.contents[s];
        const GxUInt32 size = stream.stride * header->vertexTotal;
        const bool own =
            layout.streams == 2 && (s == 0 || !HasCap(GxD3D9GetCaps()->DevCaps2, D3DDEVCAPS2_STREAMOFFSET));
        if (own) {
            stream.pooled = 0;
            stream.offset = 0;
            if (!GxD3D9DynamicVertexBufferCreate(size, &stream.buffer)) {
                return 0;
            }
        } else {
            stream.pooled = 1;
            if (!GxD3D9CreateVertexBuffer(stream.stride, size, &stream.buffer, &stream.offset)) {
                return 0;
            }
        }
    }
    return 1;
}

struct MorphSource {
    const GxMorphTarget* start;
    const GxMorphTarget* end;
    GxReal factor;
};

MorphSource MorphOf(const GxAtomic* atomic, const GxGeometry* geometry)
{
    const GxMorphTarget* targets = geometry->morphTarget;
    if (geometry->numMorphTargets <= 1) {
        return MorphSource{targets, targets, 0.0f};
    }
    GxUInt32 a = atomic->interpolator.startMorphTarget;
    GxUInt32 b = atomic->interpolator.endMorphTarget;
    const GxUInt32 n = static_cast<GxUInt32>(geometry->numMorphTargets);
    if (a >= n || b >= n) {
        a = b = 0;
    }
    const GxReal factor = atomic->interpolator.position * atomic->interpolator.recipTime;
    return MorphSource{&targets[a], &targets[b], factor};
}

void WriteV3dPart(const GxD3D9VertexElement& e, char* base, GxUInt32 stride, const MorphSource& morph, bool normals,
                  GxUInt32 count)
{
    const GxV3d* a = normals ? morph.start->normals : morph.start->verts;
    const GxV3d* b = normals ? morph.end->normals : morph.end->verts;
    if (a != b && morph.factor != 0.0f) {
        GxD3D9WriteV3dInterpolated(e.type, base + e.offset, a, b, morph.factor, count, stride);
    } else {
        GxD3D9WriteV3d(e.type, base + e.offset, a, count, stride);
    }
}

}  // namespace

namespace {

// Writes an atomic's streams: all of them on first instancing; on reinstancing the parts locked since the
// instance was last written, with `extraParts` besides.
GxBool InstanceAtomic(GxAtomic* atomic, GxD3D9InstanceHeader* header, GxBool reinstance, GxUInt32 extraParts)
{
    GxGeometry* geometry = atomic->geometry;
    const GxUInt32 changing = ChangingParts(geometry);
    GxD3D9VertexLayout layout;
    if (!reinstance) {
        const GxUInt32 streams = StreamCount(atomic, geometry, changing);
        BuildLayout(geometry, changing, streams, &layout);
        header->vertexTotal = static_cast<GxUInt32>(geometry->numVertices);
        if (!GxD3D9VertexLayoutCreateDeclaration(&layout, &header->declaration) || !CreateBuffers(header, layout)) {
            return 0;
        }
        if (streams == 2) {
            GxD3D9DynamicGeometryAdd(geometry);
            header->dynamicGeometry = geometry;
        }
        const bool offsets = streams == 2 && HasCap(GxD3D9GetCaps()->DevCaps2, D3DDEVCAPS2_STREAMOFFSET);
        header->streamOffsets = offsets ? 1 : 0;
        GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
        for (GxUInt32 m = 0; m < header->meshCount; m++) {
            const GxD3D9VertexStream& s0 = header->streams[0];
            meshes[m].vertexBase = streams == 1 ? s0.offset / s0.stride + meshes[m].firstVertex : meshes[m].firstVertex;
        }
    } else {
        // The instance keeps its buffers and declaration: the layout is rebuilt the same way to find the parts.
        const GxUInt32 streams = header->streams[1].buffer ? 2 : 1;
        BuildLayout(geometry, changing, streams, &layout);
        for (GxUInt32 s = 0; s < streams; s++) {
            if (layout.strides[s] != header->streams[s].stride) {
                return 0;  // the geometry's format changed under the instance: build a new one
            }
        }
    }
    GxUInt32 parts = kAllParts;
    if (reinstance) {
        parts = (GxD3D9GeometryPartsLockedSince(geometry, header->lockStamp) | extraParts) & kAllParts;
    }
    if (parts == kAllParts) {
        parts = kAllParts | kTangentPart;
    }
    char* bases[2] = {nullptr, nullptr};
    GxBool ok = 1;
    for (GxUInt32 s = 0; s < layout.streams && ok; s++) {
        GxD3D9VertexStream& stream = header->streams[s];
        if (reinstance && !(stream.contents & parts) && parts != (kAllParts | kTangentPart)) {
            continue;
        }
        DWORD flags = kLockWhole;
        if (reinstance && !stream.pooled) {
            flags = kLockDiscard;
            parts |= stream.contents;  // a discarding lock loses what the stream held
        }
        void* data = nullptr;
        ok = SUCCEEDED(stream.buffer->Lock(stream.offset, stream.stride * header->vertexTotal, &data, flags));
        bases[s] = static_cast<char*>(data);
    }
    if (ok) {
        const MorphSource morph = MorphOf(atomic, geometry);
        const GxUInt32 count = header->vertexTotal;
        GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
        for (GxUInt32 i = 0; i < layout.count; i++) {
            const GxD3D9VertexElement& e = layout.elements[i];
            char* base = bases[e.stream];
            const GxUInt32 stride = layout.strides[e.stream];
            const bool tangent = e.part == kTangentPart;
            if (!base || (!tangent && !(parts & e.part)) || (tangent && !(parts & (kTangentParts | kTangentPart)))) {
                continue;
            }
            if (e.part == gxD3D9STREAMPOSITIONS || e.part == gxD3D9STREAMNORMALS) {
                WriteV3dPart(e, base, stride, morph, e.part == gxD3D9STREAMNORMALS, count);
            } else if (e.part == gxD3D9STREAMPRELIT) {
                for (GxUInt32 m = 0; m < header->meshCount; m++) {
                    const GxUInt32 first = meshes[m].firstVertex;
                    const GxUInt32 n = std::min(meshes[m].vertexCount, count > first ? count - first : 0);
                    meshes[m].hasVertexAlpha =
                        GxD3D9WriteColors(base + e.offset + first * stride, geometry->preLitLum + first, n, stride);
                }
            } else if (tangent) {
                const GxTexCoords* uv = geometry->texCoords[geometry->numTexCoordSets - 1];
                GxD3D9WriteTangents(e.type, base + e.offset, morph.start->verts, &uv[0].u, header, stride);
            } else {
                GxD3D9WriteTexCoords(e.type, base + e.offset, &geometry->texCoords[e.usageIndex][0].u, count, stride);
            }
        }
    }
    for (GxUInt32 s = 0; s < layout.streams; s++) {
        if (bases[s]) {
            header->streams[s].buffer->Unlock();
        }
    }
    return ok;
}

}  // namespace

GxBool GxD3D9AtomicInstance(void* object, GxD3D9InstanceHeader* header, GxBool reinstance)
{
    return InstanceAtomic(static_cast<GxAtomic*>(object), header, reinstance, 0);
}

GxBool GxD3D9AtomicReinstance(GxAtomic* atomic, GxD3D9InstanceHeader* header, GxD3D9InstanceCallBack callBack)
{
    if (atomic->geometry->numMorphTargets > 1) {
        // Morphing atomics are rewritten on every draw: their interpolation moves with time.
        return InstanceAtomic(atomic, header, 1, gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS);
    }
    return callBack ? callBack(atomic, header, 1) : 1;
}

// ---- Lighting.

void GxD3D9SetWorldLightsQuery(GxD3D9WorldLightsQuery query) { worldLightsQuery = query; }

GxD3D9WorldLightsQuery GxD3D9GetWorldLightsQuery(void) { return worldLightsQuery; }

void GxD3D9SetAtomicLocalLightsSetup(GxD3D9AtomicLocalLightsSetup setup) { atomicLocalLights = setup; }

void GxD3D9AtomicLighting(void* object)
{
    auto* atomic = static_cast<GxAtomic*>(object);
    const GxGeometry* geometry = atomic->geometry;
    GxWorld* world = GxEngineInstance->curWorld;
    if (!(geometry->flags & gxGEOMETRYLIGHT) || !world) {
        GxD3D9LightsEnable(0);
        return;
    }
    // Without the world glue the world offers no global lights.
    GxLink* globals = worldLightsQuery ? worldLightsQuery(world) : nullptr;
    GxD3D9AmbientReset();
    GxBool any = 0;
    GxBool directional = 0;
    for (GxLink* link = globals ? globals->next : nullptr; link && link != globals; link = link->next) {
        GxLight* light = reinterpret_cast<GxLight*>(reinterpret_cast<char*>(link) - offsetof(GxLight, inWorld));
        if (!(light->object.object.flags & gxLIGHTLIGHTATOMICS)) {
            continue;
        }
        any = 1;
        if (light->object.object.subType == gxLIGHTDIRECTIONAL) {
            if (geometry->flags & gxGEOMETRYNORMALS) {
                directional |= GxD3D9DirectionalLightSetup(light);
            }
        } else if (light->object.object.subType == gxLIGHTAMBIENT) {
            GxD3D9AmbientAdd(light);
        }
    }
    if (!any) {
        GxD3D9SetRenderState(D3DRS_AMBIENT, 0);
    }
    // Local lights arrive with the world sectors that tie them to atomics.
    if ((geometry->flags & gxGEOMETRYNORMALS) && atomicLocalLights) {
        directional |= atomicLocalLights(atomic);
    }
    GxD3D9LightsEnable(any || directional);
}

// ---- Render callback.

namespace {

void Stage(GxUInt32 stage, GxUInt32 op, GxUInt32 arg1, GxUInt32 arg2)
{
    GxD3D9SetTextureStageState(stage, D3DTSS_COLOROP, op);
    GxD3D9SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
    GxD3D9SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAOP, op);
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAARG1, arg1);
    GxD3D9SetTextureStageState(stage, D3DTSS_ALPHAARG2, arg2);
}

DWORD Argb(const GxRGBA& c) { return D3DCOLOR_ARGB(c.alpha, c.red, c.green, c.blue); }

bool Textured(GxUInt32 flags) { return (flags & (gxGEOMETRYTEXTURED | gxGEOMETRYTEXTURED2)) != 0; }

// Unlit and not prelit: the object comes out black, keeping the alpha of alpha-textured materials.
void DrawBlack(const GxD3D9InstanceHeader* header, GxUInt32 flags)
{
    GxUInt32 dither = 0, shade = 0;
    GxD3D9GetRenderState(D3DRS_DITHERENABLE, &dither);
    GxD3D9GetRenderState(D3DRS_SHADEMODE, &shade);
    GxD3D9SetVertexAlpha(0);
    GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, kOpaqueBlackFactor);
    GxD3D9SetRenderState(D3DRS_DITHERENABLE, FALSE);
    GxD3D9SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    Stage(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_TFACTOR);
    GxD3D9SetTexture(nullptr, 0);
    bool switched = false;
    const GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(const_cast<GxD3D9InstanceHeader*>(header));
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const auto* material = static_cast<const GxMaterial*>(meshes[m].material);
        const GxTexture* texture = material ? material->texture : nullptr;
        if (Textured(flags) && texture && GxD3D9TextureHasAlpha(texture)) {
            GxD3D9SetTexture(texture, 0);
            GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            switched = true;
        } else if (switched) {
            GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
            GxD3D9SetTexture(nullptr, 0);
            switched = false;
        }
        GxD3D9SetVertexShader(static_cast<IDirect3DVertexShader9*>(meshes[m].shader));
        GxD3D9InstanceMeshDraw(header, &meshes[m], meshes[m].vertexBase);
    }
    GxD3D9SetRenderState(D3DRS_DITHERENABLE, dither);
    GxD3D9SetRenderState(D3DRS_SHADEMODE, shade);
}

constexpr GxUInt32 kModeTexture = 1;
constexpr GxUInt32 kModeFactor = 2;
constexpr GxUInt32 kModeUnknown = 0xFFFFFFFFu;

void SetMode(GxUInt32 mode, GxUInt32 previous)
{
    if (mode == previous) {
        return;
    }
    if (mode == 0) {
        Stage(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    } else if (mode == kModeFactor) {
        Stage(0, D3DTOP_MODULATE, D3DTA_TFACTOR, D3DTA_DIFFUSE);
    } else {
        if (previous == kModeUnknown || !(previous & kModeTexture)) {
            Stage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
        }
        if (mode == (kModeTexture | kModeFactor)) {
            Stage(1, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TFACTOR);
        }
    }
    if (previous == (kModeTexture | kModeFactor) && mode != previous) {
        GxD3D9SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        GxD3D9SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
}

}  // namespace

void GxD3D9InstanceMeshDraw(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh, GxUInt32 baseVertex)
{
    GxD3D9RenderStateFlush();
    const auto primitive = static_cast<D3DPRIMITIVETYPE>(header->primitive);
    if (header->indexBuffer) {
        GxD3D9Device()->DrawIndexedPrimitive(primitive, static_cast<INT>(baseVertex), 0, mesh->vertexCount,
                                             mesh->firstIndex, mesh->primitiveCount);
        return;
    }
    GxD3D9Device()->DrawPrimitive(primitive, baseVertex, mesh->primitiveCount);
}

void GxD3D9CullTest(void* object, GxUInt8 type)
{
    GxCamera* camera = GxEngineInstance->curCamera;
    GxBool inside = 0;
    if (camera && type == gxD3D9OBJECTATOMIC) {
        const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(static_cast<GxAtomic*>(object));
        inside = sphere && GxD3D9CameraIsSphereFullyInsideFrustum(camera, sphere);
    } else if (camera && type == gxD3D9OBJECTSECTOR) {
        inside = GxD3D9CameraIsBBoxFullyInsideFrustum(camera, &static_cast<GxWorldSector*>(object)->boundingBox);
    }
    GxD3D9SetRenderState(D3DRS_CLIPPING, inside ? FALSE : TRUE);
}

void GxD3D9DefaultRenderCallback(GxResourceEntry* entry, void* object, GxUInt8 type, GxUInt32 flags)
{
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1);
    GxD3D9SetPixelShader(nullptr);
    GxD3D9CullTest(object, type);
    GxD3D9SetInstanceBuffers(header);
    GxUInt32 lighting = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    if (!lighting && !(flags & gxGEOMETRYPRELIT)) {
        DrawBlack(header, flags);
        return;
    }
    GxUInt32 previous = kModeUnknown;
    const GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const auto* material = static_cast<const GxMaterial*>(meshes[m].material);
        const GxRGBA white = {kOpaque, kOpaque, kOpaque, kOpaque};
        const GxRGBA colour = material ? material->color : white;
        GxD3D9SetVertexAlpha(colour.alpha < kOpaque || meshes[m].hasVertexAlpha);
        GxUInt32 mode = 0;
        if (!lighting) {
            const bool opaqueWhite = memcmp(&colour, &white, sizeof(white)) == 0;
            if ((flags & gxGEOMETRYMODULATEMATERIALCOLOR) && !opaqueWhite) {
                GxD3D9SetRenderState(D3DRS_TEXTUREFACTOR, Argb(colour));
                mode |= kModeFactor;
            }
        } else if (material) {
            GxD3D9SetSurfaceProperties(&material->surfaceProps, &material->color, flags);
        }
        const GxTexture* texture = material && Textured(flags) ? material->texture : nullptr;
        if (texture) {
            mode |= kModeTexture;
        }
        GxD3D9SetTexture(texture, 0);
        SetMode(mode, previous);
        previous = mode;
        GxD3D9SetVertexShader(static_cast<IDirect3DVertexShader9*>(meshes[m].shader));
        GxD3D9InstanceMeshDraw(header, &meshes[m], meshes[m].vertexBase);
    }
    if (previous == (kModeTexture | kModeFactor)) {
        GxD3D9SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        GxD3D9SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
}

// ---- The node.

namespace {

bool AxisNearUnit(const GxV3d& v)
{
    const GxReal squared = v.x * v.x + v.y * v.y + v.z * v.z;
    return squared >= kUnitMin && squared <= kUnitMax;
}

void SetWorldTransform(GxAtomic* atomic)
{
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    GX_ASSERT(frame != nullptr, "a drawn atomic hangs on a frame");
    const GxMatrix* matrix = GxFrameGetWorldMatrix(frame);
    GxD3D9SetTransformWorld(matrix);
    GxUInt32 lighting = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    if (!lighting || (matrix->flags & kOrthonormalFlags)) {
        GxD3D9SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
        return;
    }
    const bool scaled = !AxisNearUnit(matrix->right) || !AxisNearUnit(matrix->up) || !AxisNearUnit(matrix->at);
    GxD3D9SetRenderState(D3DRS_NORMALIZENORMALS, scaled ? TRUE : FALSE);
}

}  // namespace

GxResourceEntry* GxD3D9AtomicInstanceGet(GxAtomic* atomic, GxD3D9InstanceCallBack instanceCallBack,
                                         GxD3D9ReinstanceCallBack reinstanceCallBack)
{
    GxGeometry* geometry = atomic->geometry;
    const bool own = geometry->numMorphTargets > 1;
    GxResourceEntry** slot = own ? &atomic->repEntry : &geometry->repEntry;
    GxResourceEntry* entry = *slot;
    if (geometry->flags & gxGEOMETRYNATIVE) {
        return entry;
    }
    if (entry) {
        auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1);
        if (header->meshSerial == geometry->mesh->serialNum) {
            // Each instance keeps the stamp it was written from: several atomics' instances of one geometry
            // each learn of a lock, not only the first one drawn after it.
            const bool stale = header->lockStamp != geometry->lockStamp;
            if ((stale || own) && reinstanceCallBack && !reinstanceCallBack(atomic, header, instanceCallBack)) {
                GxResourceEntryFree(entry);
                return nullptr;
            }
            header->lockStamp = geometry->lockStamp;
            return GxResourcesUseResEntry(entry);
        }
        GxResourceEntryFree(entry);
    }
    // Locks so far are dated before the stamp the new instance is written from.
    GxD3D9GeometryPartsLockedSince(geometry, geometry->lockStamp);
    void* owner = own ? static_cast<void*>(atomic) : static_cast<void*>(geometry);
    entry = GxD3D9InstanceCreate(atomic, owner, gxD3D9OBJECTATOMIC, slot, geometry->mesh, instanceCallBack,
                                 (geometry->flags & gxGEOMETRYINSTANCEONLY) != 0, 1);
    if (entry) {
        reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1)->lockStamp = geometry->lockStamp;
    }
    return entry;
}

namespace {

GxBool AtomicAllInOneBody(GxPipelineNode* node, const GxPipelineExecutionParams* params)
{
    auto* atomic = static_cast<GxAtomic*>(params->object);
    auto* callBacks = static_cast<GxD3D9AllInOneCallBacks*>(node->privateBlock);
    GxGeometry* geometry = atomic ? atomic->geometry : nullptr;
    if (!geometry || geometry->numVertices == 0 || !geometry->mesh || geometry->mesh->numMeshes == 0) {
        return 1;
    }
    GxResourceEntry* entry =
        GxD3D9AtomicInstanceGet(atomic, callBacks->instanceCallBack, callBacks->reinstanceCallBack);
    if (!entry) {
        return 0;  // a native geometry read without its native data has nothing to draw from
    }
    if (geometry->flags & gxGEOMETRYINSTANCEONLY) {
        return 1;
    }
    if (callBacks->lightingCallBack) {
        callBacks->lightingCallBack(atomic);
    }
    SetWorldTransform(atomic);
    if (callBacks->renderCallBack) {
        callBacks->renderCallBack(entry, atomic, gxD3D9OBJECTATOMIC, geometry->flags);
    }
    return 1;
}

GxBool AtomicAllInOneOpen(GxPipelineNode* node)
{
    auto* callBacks = static_cast<GxD3D9AllInOneCallBacks*>(node->privateBlock);
    *callBacks = GxD3D9AllInOneCallBacks{GxD3D9AtomicInstance, GxD3D9AtomicReinstance, GxD3D9AtomicLighting,
                                         GxD3D9DefaultRenderCallback};
    return 1;
}

GxNodeDefinition AtomicNodeDefinition()
{
    GxNodeDefinition definition = GxNodeDefinitionNamed("nodeD3D9AtomicAllInOne.csl", AtomicAllInOneBody);
    definition.nodeOpen = AtomicAllInOneOpen;
    definition.privateSize = sizeof(GxD3D9AllInOneCallBacks);
    return definition;
}
GxNodeDefinition atomicNode = AtomicNodeDefinition();

}  // namespace

GxNodeDefinition* GxD3D9AtomicAllInOneNodeGet(void) { return &atomicNode; }

namespace {

GxD3D9AllInOneCallBacks* CallBacksOf(GxPipelineNode* node)
{
    return static_cast<GxD3D9AllInOneCallBacks*>(node->privateBlock);
}

}  // namespace

GxPipelineNode* GxD3D9AllInOneNodeSetInstanceCallback(GxPipelineNode* node, GxD3D9InstanceCallBack callBack)
{
    CallBacksOf(node)->instanceCallBack = callBack;
    return node;
}

GxD3D9InstanceCallBack GxD3D9AllInOneNodeGetInstanceCallback(GxPipelineNode* node)
{
    return CallBacksOf(node)->instanceCallBack;
}

GxPipelineNode* GxD3D9AllInOneNodeSetRenderCallback(GxPipelineNode* node, GxD3D9RenderCallBack callBack)
{
    CallBacksOf(node)->renderCallBack = callBack;
    return node;
}
