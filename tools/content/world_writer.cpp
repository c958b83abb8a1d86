// World writer: splits triangles by centroid at the middle of the node's longest axis, each side keeping its
// own reach along the axis, and writes planes and sectors depth first.
#include "tools/content/world_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx/core/bytes.h"
#include "gfx/core/engine.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"

namespace {

constexpr GxUInt32 kWorldStructSize = 64;
constexpr GxUInt32 kPlaneStructSize = 24;
constexpr GxUInt32 kSectorStructSize = 44;
constexpr GxUInt32 kHeaderSize = 12;
constexpr GxReal kNormalScale = 128.0f;
constexpr GxInt32 kNormalMax = 127;
constexpr GxUInt32 kTexCoordSetsShift = 16;

using Bytes = std::vector<GxUInt8>;

GxReal Axis(const GxV3d& v, GxInt32 type) { return type == 0 ? v.x : (type == 4 ? v.y : v.z); }
GxReal* AxisRef(GxV3d* v, GxInt32 type) { return type == 0 ? &v->x : (type == 4 ? &v->y : &v->z); }

void PutU32(Bytes* out, GxUInt32 value)
{
    GxUInt8 b[4];
    GxBytesPutU32(b, value);
    out->insert(out->end(), b, b + 4);
}

void PutReal(Bytes* out, GxReal value)
{
    GxUInt8 b[4];
    GxBytesPutReal(b, value);
    out->insert(out->end(), b, b + 4);
}

void PutHeader(Bytes* out, GxUInt32 type, size_t size)
{
    PutU32(out, type);
    PutU32(out, static_cast<GxUInt32>(size));
    PutU32(out, GxStreamMakeLibraryStamp(gxLIBRARYVERSION, gxLIBRARYBUILD));
}

void PutChunk(Bytes* out, GxUInt32 type, const Bytes& body)
{
    PutHeader(out, type, body.size());
    out->insert(out->end(), body.begin(), body.end());
}

struct Node {
    bool leaf;
    Bytes chunk;  // the node's whole chunk
    GxInt32 planes;
    GxInt32 sectors;
};

GxInt8 PackNormal(GxReal v)
{
    const GxInt32 n = static_cast<GxInt32>(std::lround(v * kNormalScale));
    return static_cast<GxInt8>(std::clamp(n, -kNormalMax - 1, kNormalMax));
}

GxInt32 TexCoordSets(GxUInt32 flags)
{
    return (flags & gxGEOMETRYTEXTURED2) ? 2 : ((flags & gxGEOMETRYTEXTURED) ? 1 : 0);
}

bool WriteSector(const ContentWorldMesh& mesh, const ContentWorldPlan& plan, const std::vector<GxInt32>& tris,
                 Node* node)
{
    std::vector<GxInt32> remap(mesh.positions.size(), -1);
    std::vector<GxInt32> used;
    GxInt32 base = tris.empty() ? 0 : INT32_MAX;
    for (GxInt32 t : tris) {
        base = std::min<GxInt32>(base, mesh.triangles[t].matIndex);
        for (GxUInt16 v : mesh.triangles[t].vertIndex) {
            if (remap[v] < 0) {
                remap[v] = static_cast<GxInt32>(used.size());
                used.push_back(v);
            }
        }
    }
    if (used.size() > static_cast<size_t>(gxWORLDMAXSECTORCOUNT) ||
        tris.size() > static_cast<size_t>(gxWORLDMAXSECTORCOUNT)) {
        return false;
    }
    GxBBox tight = {{0, 0, 0}, {0, 0, 0}};
    for (size_t i = 0; i < used.size(); i++) {
        const GxV3d& p = mesh.positions[used[i]];
        if (i == 0) {
            tight = GxBBox{p, p};
        }
        tight.sup = {std::max(tight.sup.x, p.x), std::max(tight.sup.y, p.y), std::max(tight.sup.z, p.z)};
        tight.inf = {std::min(tight.inf.x, p.x), std::min(tight.inf.y, p.y), std::min(tight.inf.z, p.z)};
    }
    Bytes body;
    PutHeader(&body, gxID_STRUCT, kSectorStructSize);
    PutU32(&body, static_cast<GxUInt32>(base));
    PutU32(&body, static_cast<GxUInt32>(tris.size()));
    PutU32(&body, static_cast<GxUInt32>(used.size()));
    for (GxReal v : {tight.inf.x, tight.inf.y, tight.inf.z, tight.sup.x, tight.sup.y, tight.sup.z}) {
        PutReal(&body, v);
    }
    PutU32(&body, 0);
    PutU32(&body, 0);
    for (GxInt32 v : used) {
        for (GxReal c : {mesh.positions[v].x, mesh.positions[v].y, mesh.positions[v].z}) {
            PutReal(&body, c);
        }
    }
    if (plan.flags & gxGEOMETRYNORMALS) {
        for (GxInt32 v : used) {
            const GxV3d& n = mesh.normals[v];
            for (GxReal c : {n.x, n.y, n.z}) {
                body.push_back(static_cast<GxUInt8>(PackNormal(c)));
            }
            body.push_back(0);
        }
    }
    if (plan.flags & gxGEOMETRYPRELIT) {
        for (GxInt32 v : used) {
            const GxRGBA& c = mesh.prelit[v];
            body.insert(body.end(), {c.red, c.green, c.blue, c.alpha});
        }
    }
    for (GxInt32 s = 0; s < TexCoordSets(plan.flags); s++) {
        for (GxInt32 v : used) {
            PutReal(&body, mesh.uv[v].u);
            PutReal(&body, mesh.uv[v].v);
        }
    }
    for (GxInt32 t : tris) {
        const GxTriangle& tri = mesh.triangles[t];
        GxUInt8 b[8];
        for (GxInt32 k = 0; k < 3; k++) {
            GxBytesPutU16(b + 2 * k, static_cast<GxUInt32>(remap[tri.vertIndex[k]]));
        }
        GxBytesPutU16(b + 6, static_cast<GxUInt32>(tri.matIndex - base));
        body.insert(body.end(), b, b + 8);
    }
    PutHeader(&body, gxID_EXTENSION, 0);
    node->leaf = true;
    node->planes = 0;
    node->sectors = 1;
    PutChunk(&node->chunk, gxID_ATOMICSECTOR, body);
    return true;
}

GxV3d Centroid(const ContentWorldMesh& mesh, const GxTriangle& t)
{
    const GxV3d& a = mesh.positions[t.vertIndex[0]];
    const GxV3d& b = mesh.positions[t.vertIndex[1]];
    const GxV3d& c = mesh.positions[t.vertIndex[2]];
    return GxV3d{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
}

bool Build(const ContentWorldMesh& mesh, const ContentWorldPlan& plan, const std::vector<GxInt32>& tris,
           const GxBBox& box, GxInt32 depth, Node* node)
{
    if (static_cast<GxInt32>(tris.size()) <= plan.maxTrianglesPerSector || depth >= gxWORLDMAXPLANEDEPTH) {
        return WriteSector(mesh, plan, tris, node);
    }
    // Split where the triangles are: the middle of their centroids' longest extent.
    GxBBox spread = {Centroid(mesh, mesh.triangles[tris[0]]), Centroid(mesh, mesh.triangles[tris[0]])};
    for (GxInt32 t : tris) {
        const GxV3d c = Centroid(mesh, mesh.triangles[t]);
        spread.sup = {std::max(spread.sup.x, c.x), std::max(spread.sup.y, c.y), std::max(spread.sup.z, c.z)};
        spread.inf = {std::min(spread.inf.x, c.x), std::min(spread.inf.y, c.y), std::min(spread.inf.z, c.z)};
    }
    const GxV3d size = {spread.sup.x - spread.inf.x, spread.sup.y - spread.inf.y, spread.sup.z - spread.inf.z};
    const GxInt32 type = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 4 : 8);
    const GxReal value = (Axis(spread.sup, type) + Axis(spread.inf, type)) / 2;
    std::vector<GxInt32> left, right;
    GxReal leftValue = value, rightValue = value;
    for (GxInt32 t : tris) {
        const GxTriangle& tri = mesh.triangles[t];
        const bool goesLeft = Axis(Centroid(mesh, tri), type) < value;
        (goesLeft ? left : right).push_back(t);
        for (GxUInt16 v : tri.vertIndex) {
            const GxReal c = Axis(mesh.positions[v], type);
            if (goesLeft) {
                leftValue = std::max(leftValue, c);
            } else {
                rightValue = std::min(rightValue, c);
            }
        }
    }
    if (left.empty() || right.empty()) {
        return WriteSector(mesh, plan, tris, node);
    }
    GxBBox leftBox = box, rightBox = box;
    *AxisRef(&leftBox.sup, type) = value;
    *AxisRef(&rightBox.inf, type) = value;
    Node l{}, r{};
    if (!Build(mesh, plan, left, leftBox, depth + 1, &l) || !Build(mesh, plan, right, rightBox, depth + 1, &r)) {
        return false;
    }
    Bytes body;
    PutHeader(&body, gxID_STRUCT, kPlaneStructSize);
    PutU32(&body, static_cast<GxUInt32>(type));
    PutReal(&body, value);
    PutU32(&body, l.leaf ? 1 : 0);
    PutU32(&body, r.leaf ? 1 : 0);
    PutReal(&body, leftValue);
    PutReal(&body, rightValue);
    body.insert(body.end(), l.chunk.begin(), l.chunk.end());
    body.insert(body.end(), r.chunk.begin(), r.chunk.end());
    node->leaf = false;
    node->planes = 1 + l.planes + r.planes;
    node->sectors = l.sectors + r.sectors;
    PutChunk(&node->chunk, gxID_PLANESECTOR, body);
    return true;
}

Bytes MaterialListBytes(const std::vector<GxMaterial*>& materials)
{
    GxMaterialList list;
    GxMaterialListInitialize(&list);
    bool ok = true;
    for (GxMaterial* material : materials) {
        ok = ok && GxMaterialListAppendMaterial(&list, material) >= 0;
    }
    Bytes bytes;
    GxStream* stream = ok ? GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr) : nullptr;
    if (stream) {
        ok = GxMaterialListStreamWrite(&list, stream) != nullptr;
        GxMemory memory = {nullptr, 0};
        GxStreamClose(stream, &memory);
        if (ok && memory.start) {
            bytes.assign(memory.start, memory.start + memory.length);
        }
        if (memory.start) {
            GxFree(memory.start);
        }
    }
    GxMaterialListDestroy(&list);
    return bytes;
}

}  // namespace

void ContentWorldAddQuad(ContentWorldMesh* mesh, const GxV3d corners[4], const GxV3d& normal, GxRGBA colour,
                         GxUInt16 material, GxReal uvScale)
{
    const auto first = static_cast<GxUInt16>(mesh->positions.size());
    const GxTexCoords uv[4] = {{0, 0}, {uvScale, 0}, {uvScale, uvScale}, {0, uvScale}};
    for (GxInt32 i = 0; i < 4; i++) {
        mesh->positions.push_back(corners[i]);
        mesh->normals.push_back(normal);
        mesh->prelit.push_back(colour);
        mesh->uv.push_back(uv[i]);
    }
    mesh->triangles.push_back(
        GxTriangle{{first, static_cast<GxUInt16>(first + 1), static_cast<GxUInt16>(first + 2)}, material});
    mesh->triangles.push_back(
        GxTriangle{{first, static_cast<GxUInt16>(first + 2), static_cast<GxUInt16>(first + 3)}, material});
}

std::vector<GxUInt8> ContentWorldBytes(const ContentWorldMesh& mesh, const ContentWorldPlan& plan)
{
    std::vector<GxInt32> all(mesh.triangles.size());
    for (size_t i = 0; i < all.size(); i++) {
        all[i] = static_cast<GxInt32>(i);
    }
    Node root{};
    const Bytes materials = MaterialListBytes(plan.materials);
    if (materials.empty() || !Build(mesh, plan, all, plan.box, 0, &root)) {
        return {};
    }
    const GxUInt32 sets = static_cast<GxUInt32>(TexCoordSets(plan.flags));
    Bytes body;
    PutHeader(&body, gxID_STRUCT, kWorldStructSize);
    PutU32(&body, root.leaf ? 1 : 0);
    for (GxInt32 i = 0; i < 3; i++) {
        PutReal(&body, 0.0f);
    }
    PutU32(&body, static_cast<GxUInt32>(mesh.triangles.size()));
    PutU32(&body, 0);  // vertex total, patched below: sectors may repeat vertices shared across a split
    PutU32(&body, static_cast<GxUInt32>(root.planes));
    PutU32(&body, static_cast<GxUInt32>(root.sectors));
    PutU32(&body, 0);
    PutU32(&body, plan.flags | gxWORLDSEPARATEPLANEVALUES | (sets << kTexCoordSetsShift));
    for (GxReal v : {plan.box.sup.x, plan.box.sup.y, plan.box.sup.z, plan.box.inf.x, plan.box.inf.y, plan.box.inf.z}) {
        PutReal(&body, v);
    }
    body.insert(body.end(), materials.begin(), materials.end());
    body.insert(body.end(), root.chunk.begin(), root.chunk.end());
    PutHeader(&body, gxID_EXTENSION, 0);
    // The vertex total counts every sector's vertices: walk the written sectors.
    GxUInt32 vertices = 0;
    for (size_t at = kHeaderSize + kWorldStructSize; at + kHeaderSize <= body.size();) {
        const GxUInt32 type = GxBytesGetU32(&body[at]);
        const GxUInt32 size = GxBytesGetU32(&body[at + 4]);
        if (type == gxID_ATOMICSECTOR) {
            vertices += GxBytesGetU32(&body[at + 2 * kHeaderSize + 8]);
            at += kHeaderSize + size;
        } else if (type == gxID_PLANESECTOR) {
            at += 2 * kHeaderSize + kPlaneStructSize;  // into its children
        } else {
            at += kHeaderSize + size;
        }
    }
    GxBytesPutU32(&body[kHeaderSize + 20], vertices);
    Bytes out;
    PutChunk(&out, gxID_WORLD, body);
    return out;
}

GxGeometry* ContentMeshGeometry(const ContentWorldMesh& mesh, GxUInt32 flags, GxMaterial* const* materials,
                                GxInt32 numMaterials)
{
    const auto vertices = static_cast<GxInt32>(mesh.positions.size());
    const auto triangles = static_cast<GxInt32>(mesh.triangles.size());
    GxGeometry* geometry = GxGeometryCreate(vertices, triangles, flags);
    if (!geometry) {
        return nullptr;
    }
    GxMorphTarget* target = &geometry->morphTarget[0];
    for (GxInt32 i = 0; i < vertices; i++) {
        const auto v = static_cast<size_t>(i);
        target->verts[i] = mesh.positions[v];
        if (flags & gxGEOMETRYNORMALS) {
            target->normals[i] = mesh.normals[v];
        }
        if (flags & gxGEOMETRYPRELIT) {
            geometry->preLitLum[i] = mesh.prelit[v];
        }
        if (flags & gxGEOMETRYTEXTURED) {
            geometry->texCoords[0][i] = mesh.uv[v];
        }
    }
    for (GxInt32 t = 0; t < triangles; t++) {
        const GxTriangle& from = mesh.triangles[static_cast<size_t>(t)];
        GxTriangle* triangle = &geometry->triangles[t];
        std::memcpy(triangle->vertIndex, from.vertIndex, sizeof(triangle->vertIndex));
        if (from.matIndex >= numMaterials ||
            !GxGeometryTriangleSetMaterial(geometry, triangle, materials[from.matIndex])) {
            GxGeometryDestroy(geometry);
            return nullptr;
        }
    }
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    if (!GxGeometryUnlock(geometry)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}
