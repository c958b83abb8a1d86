// Vertex-declaration instancing: the instancing paths' layouts, packing per declaration type, weights, bone
// indices, tangents, readers, compact texture-coordinate types and index-list helpers.
//
// Sections: rounding and packing; layouts; writers; tangents; readers; texture-coordinate types; index lists.
#include "gfx/d3d9/vertexdecl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/matrix.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"

namespace {

constexpr GxUInt32 kTypeSizes[gxD3D9DECLTYPECOUNT] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
constexpr GxReal kUByteScale = 255.0f;
constexpr GxReal kShortScale = 32767.0f;
constexpr GxReal kUShortScale = 65535.0f;
constexpr GxReal kDec3Scale = 511.0f;
constexpr GxInt32 kDec3Max = 511;
constexpr GxInt32 kUDec3Max = 1023;
constexpr GxUInt32 kDec3Mask = 0x3FF;
constexpr GxUInt32 kDec3YShift = 10;
constexpr GxUInt32 kDec3ZShift = 20;
constexpr GxReal kSectorNormalScale = 0.0078125f;   // 1/128
constexpr GxReal kDec3WeightFloor = 0.0019569471f;  // 1/511: a third weight below it stores as 0
constexpr GxReal kTangentMinDet = 1e-12f;
constexpr GxUInt32 kTangentHint = 0x30000;
constexpr GxUInt8 kOpaque = 255;
constexpr GxUInt32 kContentParts = 0xFFFF;  // the parts a stream's contents can name
// Beyond this a float has no fraction left and lrintf could overflow a long.
constexpr GxReal kRoundLimit = 1073741824.0f;

// Nearest integer (ties to even, as the FPU rounds), clamped to [lo, hi]; NaN gives 0.
GxInt32 Nearest(GxReal value, GxInt32 lo, GxInt32 hi)
{
    if (!(value == value)) {
        return 0;
    }
    value = std::min(std::max(value, -kRoundLimit), kRoundLimit);
    const long rounded = lrintf(value);
    return static_cast<GxInt32>(std::min<long>(std::max<long>(rounded, lo), hi));
}

GxUInt8 UNorm8(GxReal value) { return static_cast<GxUInt8>(Nearest(value * kUByteScale, 0, 255)); }

GxInt16 SNorm16(GxReal value) { return static_cast<GxInt16>(Nearest(value * kShortScale, -32767, 32767)); }

GxUInt16 UNorm16(GxReal value) { return static_cast<GxUInt16>(Nearest(value * kUShortScale, 0, 65535)); }

GxUInt32 ArgB(GxUInt8 alpha, GxUInt8 red, GxUInt8 green, GxUInt8 blue)
{
    return (static_cast<GxUInt32>(alpha) << 24) | (static_cast<GxUInt32>(red) << 16) |
           (static_cast<GxUInt32>(green) << 8) | blue;
}

GxUInt32 Dec3(GxInt32 x, GxInt32 y, GxInt32 z)
{
    return (static_cast<GxUInt32>(x) & kDec3Mask) | ((static_cast<GxUInt32>(y) & kDec3Mask) << kDec3YShift) |
           ((static_cast<GxUInt32>(z) & kDec3Mask) << kDec3ZShift);
}

template <typename T, size_t N>
void Store(void* dst, const T (&values)[N], size_t count = N)
{
    memcpy(dst, values, count * sizeof(T));
}

// Packs the vector v into one element of the type.
void Pack(GxUInt32 type, void* dst, const GxReal v[4])
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
        memcpy(dst, v, (type + 1) * sizeof(GxReal));
        return;
    case D3DDECLTYPE_D3DCOLOR: {
        const GxUInt32 word[1] = {ArgB(kOpaque, UNorm8(v[0]), UNorm8(v[1]), UNorm8(v[2]))};
        Store(dst, word);
        return;
    }
    case D3DDECLTYPE_UBYTE4N: {
        const GxUInt8 bytes[4] = {UNorm8(v[0]), UNorm8(v[1]), UNorm8(v[2]), kOpaque};
        Store(dst, bytes);
        return;
    }
    case D3DDECLTYPE_UBYTE4: {
        GxUInt8 bytes[4];
        for (GxInt32 i = 0; i < 4; i++) {
            bytes[i] = static_cast<GxUInt8>(Nearest(v[i], 0, 255));
        }
        Store(dst, bytes);
        return;
    }
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT4: {
        GxInt16 shorts[4];
        for (GxInt32 i = 0; i < 4; i++) {
            shorts[i] = static_cast<GxInt16>(Nearest(v[i], -32768, 32767));
        }
        Store(dst, shorts, type == D3DDECLTYPE_SHORT2 ? 2 : 4);
        return;
    }
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_SHORT4N: {
        const GxInt16 shorts[4] = {SNorm16(v[0]), SNorm16(v[1]), SNorm16(v[2]), SNorm16(v[3])};
        Store(dst, shorts, type == D3DDECLTYPE_SHORT2N ? 2 : 4);
        return;
    }
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_USHORT4N: {
        const GxUInt16 shorts[4] = {UNorm16(v[0]), UNorm16(v[1]), UNorm16(v[2]), UNorm16(v[3])};
        Store(dst, shorts, type == D3DDECLTYPE_USHORT2N ? 2 : 4);
        return;
    }
    case D3DDECLTYPE_DEC3N: {
        const GxUInt32 word[1] = {Dec3(Nearest(v[0] * kDec3Scale, -kDec3Max, kDec3Max),
                                       Nearest(v[1] * kDec3Scale, -kDec3Max, kDec3Max),
                                       Nearest(v[2] * kDec3Scale, -kDec3Max, kDec3Max))};
        Store(dst, word);
        return;
    }
    case D3DDECLTYPE_UDEC3: {
        const GxUInt32 word[1] = {
            Dec3(Nearest(v[0], 0, kUDec3Max), Nearest(v[1], 0, kUDec3Max), Nearest(v[2], 0, kUDec3Max))};
        Store(dst, word);
        return;
    }
    default:
        return;  // FLOAT16 and unknown types are not written
    }
}

char* Advance(void* dst, GxUInt32 i, GxUInt32 stride)
{
    return static_cast<char*>(dst) + static_cast<size_t>(i) * stride;
}

// Weights scaled so that a vertex's stored weights add up to `scale`.
void PackWeights(GxUInt32 type, void* dst, const GxReal w[4])
{
    switch (type) {
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4N: {
        GxInt32 b[4] = {255, 0, 0, 0};
        if (w[0] < 1.0f) {
            b[1] = UNorm8(w[1]);
            b[2] = UNorm8(w[2]);
            b[3] = UNorm8(w[3]);
            b[0] = std::max(0, 255 - b[1] - b[2] - b[3]);
        }
        if (type == D3DDECLTYPE_D3DCOLOR) {
            const GxUInt32 word[1] = {ArgB(static_cast<GxUInt8>(b[3]), static_cast<GxUInt8>(b[0]),
                                           static_cast<GxUInt8>(b[1]), static_cast<GxUInt8>(b[2]))};
            Store(dst, word);
        } else {
            const GxUInt8 bytes[4] = {static_cast<GxUInt8>(b[0]), static_cast<GxUInt8>(b[1]),
                                      static_cast<GxUInt8>(b[2]), static_cast<GxUInt8>(b[3])};
            Store(dst, bytes);
        }
        return;
    }
    case D3DDECLTYPE_SHORT2N: {
        const GxInt16 first = SNorm16(w[0]);
        const GxInt16 shorts[2] = {first, static_cast<GxInt16>(32767 - first)};
        Store(dst, shorts);
        return;
    }
    case D3DDECLTYPE_USHORT2N: {
        const GxUInt16 first = UNorm16(w[0]);
        const GxUInt16 shorts[2] = {first, static_cast<GxUInt16>(65535 - first)};
        Store(dst, shorts);
        return;
    }
    case D3DDECLTYPE_SHORT4N: {
        GxInt16 s[4] = {0, SNorm16(w[1]), SNorm16(w[2]), SNorm16(w[3])};
        s[0] = static_cast<GxInt16>(std::max(0, 32767 - s[1] - s[2] - s[3]));
        Store(dst, s);
        return;
    }
    case D3DDECLTYPE_USHORT4N: {
        GxUInt16 s[4] = {0, UNorm16(w[1]), UNorm16(w[2]), UNorm16(w[3])};
        s[0] = static_cast<GxUInt16>(std::max(0, 65535 - s[1] - s[2] - s[3]));
        Store(dst, s);
        return;
    }
    case D3DDECLTYPE_DEC3N: {
        GxInt32 x, y, z = 0;
        if (w[2] < kDec3WeightFloor) {
            x = Nearest(w[0] * kDec3Scale, 0, kDec3Max);
            y = kDec3Max - x;
        } else {
            y = Nearest(w[1] * kDec3Scale, 0, kDec3Max);
            z = Nearest(w[2] * kDec3Scale, 0, kDec3Max);
            x = std::max(0, kDec3Max - y - z);
        }
        const GxUInt32 word[1] = {Dec3(x, y, z)};
        Store(dst, word);
        return;
    }
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
        Pack(type, dst, w);
        return;
    default:
        return;
    }
}

// Reads one element into four floats.
void Unpack(GxUInt32 type, GxReal out[4], const void* src)
{
    out[0] = out[1] = out[2] = out[3] = 0.0f;
    GxUInt8 bytes[4];
    GxInt16 shorts[4];
    GxUInt16 ushorts[4];
    GxUInt32 word;
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_FLOAT2:
    case D3DDECLTYPE_FLOAT3:
    case D3DDECLTYPE_FLOAT4:
        memcpy(out, src, (type + 1) * sizeof(GxReal));
        return;
    case D3DDECLTYPE_D3DCOLOR:
        memcpy(&word, src, sizeof(word));
        out[0] = static_cast<GxReal>((word >> 16) & 0xFF) / kUByteScale;
        out[1] = static_cast<GxReal>((word >> 8) & 0xFF) / kUByteScale;
        out[2] = static_cast<GxReal>(word & 0xFF) / kUByteScale;
        out[3] = static_cast<GxReal>(word >> 24) / kUByteScale;
        return;
    case D3DDECLTYPE_UBYTE4N:
    case D3DDECLTYPE_UBYTE4:
        memcpy(bytes, src, sizeof(bytes));
        for (GxInt32 i = 0; i < 4; i++) {
            out[i] = type == D3DDECLTYPE_UBYTE4 ? bytes[i] : bytes[i] / kUByteScale;
        }
        return;
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_SHORT4:
    case D3DDECLTYPE_SHORT2N:
    case D3DDECLTYPE_SHORT4N: {
        const GxInt32 n = type == D3DDECLTYPE_SHORT2 || type == D3DDECLTYPE_SHORT2N ? 2 : 4;
        const GxReal scale = type == D3DDECLTYPE_SHORT2 || type == D3DDECLTYPE_SHORT4 ? 1.0f : kShortScale;
        memcpy(shorts, src, n * sizeof(GxInt16));
        for (GxInt32 i = 0; i < n; i++) {
            out[i] = shorts[i] / scale;
        }
        return;
    }
    case D3DDECLTYPE_USHORT2N:
    case D3DDECLTYPE_USHORT4N: {
        const GxInt32 n = type == D3DDECLTYPE_USHORT2N ? 2 : 4;
        memcpy(ushorts, src, n * sizeof(GxUInt16));
        for (GxInt32 i = 0; i < n; i++) {
            out[i] = ushorts[i] / kUShortScale;
        }
        return;
    }
    case D3DDECLTYPE_UDEC3:
    case D3DDECLTYPE_DEC3N:
        memcpy(&word, src, sizeof(word));
        for (GxUInt32 i = 0; i < 3; i++) {
            const GxUInt32 field = (word >> (i * kDec3YShift)) & kDec3Mask;
            if (type == D3DDECLTYPE_UDEC3) {
                out[i] = static_cast<GxReal>(field);
            } else {
                // Sign-extend the 10-bit field.
                const GxInt32 value = field & 0x200 ? static_cast<GxInt32>(field) - 1024 : static_cast<GxInt32>(field);
                out[i] = value / kDec3Scale;
            }
        }
        return;
    default:
        return;
    }
}

}  // namespace

GxUInt32 GxD3D9VertexDeclTypeGetSize(GxUInt32 type) { return type < gxD3D9DECLTYPECOUNT ? kTypeSizes[type] : 0; }

// ---- Layouts.

void GxD3D9VertexLayoutAppend(GxD3D9VertexLayout* layout, GxUInt32 stream, GxUInt32 part, GxUInt32 type, GxUInt32 usage,
                              GxUInt32 usageIndex)
{
    GX_ASSERT(layout->count < gxD3D9LAYOUTMAXELEMENTS && stream < gxD3D9LAYOUTMAXSTREAMS, "vertex layout is full");
    layout->elements[layout->count++] =
        GxD3D9VertexElement{part, stream, layout->strides[stream], type, usage, usageIndex};
    layout->strides[stream] += GxD3D9VertexDeclTypeGetSize(type);
    if (part <= kContentParts) {
        layout->contents[stream] |= static_cast<GxUInt16>(part);
    }
}

GxBool GxD3D9VertexLayoutCreateDeclaration(const GxD3D9VertexLayout* layout, IDirect3DVertexDeclaration9** declaration)
{
    D3DVERTEXELEMENT9 elements[gxD3D9LAYOUTMAXELEMENTS + 1];
    for (GxUInt32 i = 0; i < layout->count; i++) {
        const GxD3D9VertexElement& e = layout->elements[i];
        elements[i] = D3DVERTEXELEMENT9{static_cast<WORD>(e.stream), static_cast<WORD>(e.offset),
                                        static_cast<BYTE>(e.type),   D3DDECLMETHOD_DEFAULT,
                                        static_cast<BYTE>(e.usage),  static_cast<BYTE>(e.usageIndex)};
    }
    std::sort(elements, elements + layout->count, [](const D3DVERTEXELEMENT9& a, const D3DVERTEXELEMENT9& b) {
        return GxD3D9VertexElementCompare(&a, &b) < 0;
    });
    elements[layout->count] = D3DVERTEXELEMENT9 D3DDECL_END();
    return GxD3D9CreateVertexDeclaration(elements, declaration);
}

GxInt32 GxD3D9VertexElementCompare(const D3DVERTEXELEMENT9* a, const D3DVERTEXELEMENT9* b)
{
    if (a->Stream != b->Stream) {
        return static_cast<GxInt32>(a->Stream) - static_cast<GxInt32>(b->Stream);
    }
    return static_cast<GxInt32>(a->Offset) - static_cast<GxInt32>(b->Offset);
}

GxUInt32 GxD3D9PackedNormalType(void)
{
    return (GxD3D9GetCaps()->DeclTypes & D3DDTCAPS_DEC3N) != 0 ? D3DDECLTYPE_DEC3N : D3DDECLTYPE_FLOAT3;
}

// ---- Writers.

GxUInt32 GxD3D9WriteV3d(GxUInt32 type, void* dst, const GxV3d* src, GxUInt32 count, GxUInt32 stride)
{
    for (GxUInt32 i = 0; i < count; i++) {
        const GxReal v[4] = {src[i].x, src[i].y, src[i].z, 0.0f};
        Pack(type, Advance(dst, i, stride), v);
    }
    return GxD3D9VertexDeclTypeGetSize(type);
}

GxUInt32 GxD3D9WriteV3dInterpolated(GxUInt32 type, void* dst, const GxV3d* srcA, const GxV3d* srcB, GxReal factor,
                                    GxUInt32 count, GxUInt32 stride)
{
    for (GxUInt32 i = 0; i < count; i++) {
        const GxReal v[4] = {srcA[i].x + (srcB[i].x - srcA[i].x) * factor, srcA[i].y + (srcB[i].y - srcA[i].y) * factor,
                             srcA[i].z + (srcB[i].z - srcA[i].z) * factor, 0.0f};
        Pack(type, Advance(dst, i, stride), v);
    }
    return GxD3D9VertexDeclTypeGetSize(type);
}

GxUInt32 GxD3D9WriteSectorNormals(GxUInt32 type, void* dst, const GxInt8* src, GxUInt32 count, GxUInt32 stride)
{
    for (GxUInt32 i = 0; i < count; i++) {
        const GxInt8* n = src + 4 * i;
        const GxReal v[4] = {n[0] * kSectorNormalScale, n[1] * kSectorNormalScale, n[2] * kSectorNormalScale, 0.0f};
        Pack(type, Advance(dst, i, stride), v);
    }
    return GxD3D9VertexDeclTypeGetSize(type);
}

GxUInt32 GxD3D9WriteTexCoords(GxUInt32 type, void* dst, const GxReal* src, GxUInt32 count, GxUInt32 stride)
{
    for (GxUInt32 i = 0; i < count; i++) {
        const GxReal v[4] = {src[2 * i], src[2 * i + 1], 0.0f, 0.0f};
        Pack(type, Advance(dst, i, stride), v);
    }
    return GxD3D9VertexDeclTypeGetSize(type);
}

GxBool GxD3D9WriteColors(void* dst, const GxRGBA* src, GxUInt32 count, GxUInt32 stride)
{
    GxBool alpha = 0;
    for (GxUInt32 i = 0; i < count; i++) {
        const GxUInt32 word = ArgB(src[i].alpha, src[i].red, src[i].green, src[i].blue);
        memcpy(Advance(dst, i, stride), &word, sizeof(word));
        alpha |= src[i].alpha != kOpaque;
    }
    return alpha;
}

GxUInt32 GxD3D9WriteWeights(GxUInt32 type, void* dst, const GxReal* src, GxUInt32 count, GxUInt32 stride)
{
    for (GxUInt32 i = 0; i < count; i++) {
        PackWeights(type, Advance(dst, i, stride), src + 4 * i);
    }
    return GxD3D9VertexDeclTypeGetSize(type);
}

GxUInt32 GxD3D9WriteBoneIndices(GxUInt32 type, void* dst, const GxUInt8* src, const GxUInt8* remap, GxUInt32 count,
                                GxUInt32 stride)
{
    for (GxUInt32 i = 0; i < count; i++) {
        GxUInt8 b[4];
        for (GxInt32 k = 0; k < 4; k++) {
            b[k] = remap[src[4 * i + k]];
        }
        char* out = Advance(dst, i, stride);
        if (type == D3DDECLTYPE_D3DCOLOR) {
            // Read back as (red, green, blue, alpha): the first index goes to red.
            const GxUInt8 bytes[4] = {b[2], b[1], b[0], b[3]};
            Store(out, bytes);
        } else if (type == D3DDECLTYPE_UBYTE4) {
            Store(out, b);
        } else if (type == D3DDECLTYPE_SHORT2 || type == D3DDECLTYPE_SHORT4) {
            const GxInt16 shorts[4] = {b[0], b[1], b[2], b[3]};
            Store(out, shorts, type == D3DDECLTYPE_SHORT2 ? 2 : 4);
        }
    }
    return GxD3D9VertexDeclTypeGetSize(type);
}

// ---- Tangents.

namespace {

struct TangentSum {
    GxV3d* sums;
    const GxV3d* positions;
    const GxReal* uv;
    GxUInt32 vertexTotal;
};

void AddTriangle(TangentSum* t, GxUInt32 a, GxUInt32 b, GxUInt32 c)
{
    if (a >= t->vertexTotal || b >= t->vertexTotal || c >= t->vertexTotal) {
        return;
    }
    const GxReal du1 = t->uv[2 * b] - t->uv[2 * a];
    const GxReal dv1 = t->uv[2 * b + 1] - t->uv[2 * a + 1];
    const GxReal du2 = t->uv[2 * c] - t->uv[2 * a];
    const GxReal dv2 = t->uv[2 * c + 1] - t->uv[2 * a + 1];
    const GxReal det = dv2 * du1 - du2 * dv1;
    if (std::fabs(det) <= kTangentMinDet) {
        return;
    }
    const GxV3d& pa = t->positions[a];
    const GxV3d& pb = t->positions[b];
    const GxV3d& pc = t->positions[c];
    const GxV3d tangent = {(dv2 * (pb.x - pa.x) - dv1 * (pc.x - pa.x)) / det,
                           (dv2 * (pb.y - pa.y) - dv1 * (pc.y - pa.y)) / det,
                           (dv2 * (pb.z - pa.z) - dv1 * (pc.z - pa.z)) / det};
    for (GxUInt32 v : {a, b, c}) {
        t->sums[v].x += tangent.x;
        t->sums[v].y += tangent.y;
        t->sums[v].z += tangent.z;
    }
}

void AddMesh(TangentSum* t, const GxUInt16* indices, const GxD3D9MeshInstance* mesh, GxUInt32 primitive)
{
    // Unindexed meshes use their vertices in order.
    auto index = [&](GxUInt32 i) { return mesh->firstVertex + (indices ? indices[i] : i); };
    const GxUInt32 count = indices ? mesh->indexCount : mesh->vertexCount;
    if (primitive == D3DPT_TRIANGLELIST) {
        for (GxUInt32 i = 0; i + 2 < count; i += 3) {
            AddTriangle(t, index(i), index(i + 1), index(i + 2));
        }
    } else if (primitive == D3DPT_TRIANGLESTRIP) {
        for (GxUInt32 i = 0; i + 2 < count; i++) {
            GxUInt32 a = index(i), b = index(i + 1), c = index(i + 2);
            if (a == b || b == c || a == c) {
                continue;
            }
            if (i & 1) {
                std::swap(a, c);
            }
            AddTriangle(t, a, b, c);
        }
    }
}

}  // namespace

GxUInt32 GxD3D9WriteTangents(GxUInt32 type, void* dst, const GxV3d* positions, const GxReal* texCoords,
                             GxD3D9InstanceHeader* header, GxUInt32 stride)
{
    const GxUInt32 total = header->vertexTotal;
    auto* sums = static_cast<GxV3d*>(GxCalloc(std::max<GxUInt32>(total, 1), sizeof(GxV3d), kTangentHint));
    if (!sums) {
        return GxD3D9VertexDeclTypeGetSize(type);
    }
    void* locked = nullptr;
    if (header->indexBuffer &&
        FAILED(header->indexBuffer->Lock(0, header->indexTotal * sizeof(GxUInt16), &locked, D3DLOCK_READONLY))) {
        GxFree(sums);
        return GxD3D9VertexDeclTypeGetSize(type);
    }
    TangentSum sum = {sums, positions, texCoords, total};
    const GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const GxUInt16* indices = locked ? static_cast<const GxUInt16*>(locked) + meshes[m].firstIndex : nullptr;
        AddMesh(&sum, indices, &meshes[m], header->primitive);
    }
    if (locked) {
        header->indexBuffer->Unlock();
    }
    for (GxUInt32 i = 0; i < total; i++) {
        const GxReal scale = GxInvSqrt(sums[i].x * sums[i].x + sums[i].y * sums[i].y + sums[i].z * sums[i].z);
        sums[i] = GxV3d{sums[i].x * scale, sums[i].y * scale, sums[i].z * scale};
    }
    GxD3D9WriteV3d(type, dst, sums, total, stride);
    GxFree(sums);
    return GxD3D9VertexDeclTypeGetSize(type);
}

// ---- Readers.

void GxD3D9ReadV3d(GxUInt32 type, GxV3d* dst, const void* src)
{
    GxReal v[4];
    Unpack(type, v, src);
    *dst = GxV3d{v[0], v[1], v[2]};
}

void GxD3D9ReadTexCoords(GxUInt32 type, GxReal* dst, const void* src)
{
    GxReal v[4];
    Unpack(type, v, src);
    dst[0] = v[0];
    dst[1] = v[1];
}

// ---- Texture-coordinate types.

void GxD3D9TexCoordsGetExtents(const GxReal* src, GxUInt32 count, GxReal* min, GxReal* max)
{
    min[0] = min[1] = max[0] = max[1] = 0.0f;
    for (GxUInt32 i = 0; i < count; i++) {
        for (GxUInt32 c = 0; c < 2; c++) {
            const GxReal value = src[2 * i + c];
            if (i == 0 || value < min[c]) {
                min[c] = value;
            }
            if (i == 0 || value > max[c]) {
                max[c] = value;
            }
        }
    }
}

GxUInt32 GxD3D9TexCoordsBestType(const GxReal* src, GxUInt32 count)
{
    GxReal min[2], max[2];
    GxD3D9TexCoordsGetExtents(src, count, min, max);
    const GxUInt32 caps = GxD3D9GetCaps()->DeclTypes;
    if (max[0] > 1.0f || max[1] > 1.0f) {
        return D3DDECLTYPE_FLOAT2;
    }
    if (min[0] >= 0.0f && min[1] >= 0.0f) {
        if (caps & D3DDTCAPS_USHORT2N) {
            return D3DDECLTYPE_USHORT2N;
        }
        return caps & D3DDTCAPS_DEC3N ? D3DDECLTYPE_DEC3N : D3DDECLTYPE_D3DCOLOR;
    }
    if (min[0] >= -1.0f && min[1] >= -1.0f) {
        if (caps & D3DDTCAPS_SHORT2N) {
            return D3DDECLTYPE_SHORT2N;
        }
        return caps & D3DDTCAPS_DEC3N ? D3DDECLTYPE_DEC3N : D3DDECLTYPE_FLOAT2;
    }
    return D3DDECLTYPE_FLOAT2;
}

// ---- Index lists.

void GxD3D9IndexRange(const GxUInt16* indices, GxUInt32 count, GxUInt32* vertexCount, GxUInt32* firstVertex)
{
    if (count == 0) {
        *vertexCount = 0;
        *firstVertex = 0;
        return;
    }
    const auto [lo, hi] = std::minmax_element(indices, indices + count);
    *firstVertex = *lo;
    *vertexCount = static_cast<GxUInt32>(*hi - *lo) + 1;
}

GxUInt32 GxD3D9StripToList(GxUInt16* dst, const GxUInt16* src, GxUInt32 count, GxUInt32 base)
{
    GxUInt32 written = 0;
    for (GxUInt32 i = 0; i + 2 < count; i++) {
        GxUInt16 a = src[i], b = src[i + 1], c = src[i + 2];
        if (a == b || b == c || a == c) {
            continue;
        }
        if (i & 1) {
            std::swap(a, c);
        }
        dst[written++] = static_cast<GxUInt16>(a - base);
        dst[written++] = static_cast<GxUInt16>(b - base);
        dst[written++] = static_cast<GxUInt16>(c - base);
    }
    return written;
}

GxInt32 GxD3D9TriangleCompare(const GxUInt16* a, const GxUInt16* b)
{
    GxUInt16 sa[3] = {a[0], a[1], a[2]};
    GxUInt16 sb[3] = {b[0], b[1], b[2]};
    std::sort(sa, sa + 3);
    std::sort(sb, sb + 3);
    for (GxInt32 i = 0; i < 3; i++) {
        if (sa[i] != sb[i]) {
            return static_cast<GxInt32>(sa[i]) - static_cast<GxInt32>(sb[i]);
        }
    }
    return 0;
}

void GxD3D9SortTriangleList(GxUInt16* indices, GxUInt32 count)
{
    struct Triangle {
        GxUInt16 i[3];
    };
    static_assert(sizeof(Triangle) == 6, "triangles are packed index triples");
    auto* triangles = reinterpret_cast<Triangle*>(indices);
    std::stable_sort(triangles, triangles + count / 3,
                     [](const Triangle& a, const Triangle& b) { return GxD3D9TriangleCompare(a.i, b.i) < 0; });
}
