// Collision: primitive tests, world and atomic queries, collision trees and their stream, pixel rays.
//
// Sections: plugin and extensions; primitive tests; collision trees and their stream; world queries; atomic
// queries; pixel rays and morphing spheres.
#include "gfx/world/collision.h"
#include "gfx/world/collision_local.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/world/worldobj_local.h"

namespace {

constexpr GxUInt32 kTreeHint = 0x3002C;
constexpr GxUInt32 kTreeVersion = 0x37002;
constexpr GxUInt32 kTreeNewLayout = 0x36001;
constexpr GxUInt32 kTreeFixedSize = 36;
constexpr GxUInt32 kSplitSize = 16;
constexpr GxUInt32 kOldLeafSize = 4;
constexpr GxUInt32 kOldSplitChild = 2;
constexpr GxUInt32 kChunkHeaderSize = 12;
constexpr GxReal kLineDetMin = 1e-8f;
constexpr GxReal kLineTolerance = 1e-5f;
constexpr GxReal kClipTolerance = 1e-6f;
constexpr GxReal kInnerCubeScale = 0.57f;  // half-size of a cube inside the sphere: 0.57 x sqrt(3) < 1

GxInt32 engineOffset = -1;
GxInt32 engineInstances = 0;
GxInt32 atomicOffset = -1;
GxInt32 geometryOffset = -1;
GxInt32 sectorOffset = -1;

GxUInt32* QueryCounter() { return static_cast<GxUInt32*>(GxCoreModuleBlock(engineOffset, engineInstances)); }

// Set while a world query walks its atomics: the visited marks of one query would confuse another.
bool worldQueryRunning = false;

GxUInt32* AtomicStamp(const GxAtomic* atomic)
{
    GX_ASSERT(atomicOffset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxUInt32*>(reinterpret_cast<char*>(const_cast<GxAtomic*>(atomic)) + atomicOffset);
}

GxCollTree** TreeSlot(const void* object, GxInt32 offset)
{
    GX_ASSERT(offset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<GxCollTree**>(reinterpret_cast<char*>(const_cast<void*>(object)) + offset);
}

void* EngineOpen(void* instance, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(instance) + offset) = 0;
    engineOffset = offset;
    engineInstances++;
    return instance;
}

void* EngineClose(void* instance, GxInt32, GxInt32)
{
    engineInstances--;
    return instance;
}

void* StampConstruct(void* object, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxUInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}

void* TreeConstruct(void* object, GxInt32 offset, GxInt32)
{
    *TreeSlot(object, offset) = nullptr;
    return object;
}

void* TreeDestruct(void* object, GxInt32 offset, GxInt32)
{
    GxCollTreeDestroy(*TreeSlot(object, offset));
    *TreeSlot(object, offset) = nullptr;
    return object;
}

GxStream* TreeWrite(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    return GxCollTreeStreamWrite(*TreeSlot(object, offset), stream) ? stream : nullptr;
}

GxInt32 TreeSize(const void* object, GxInt32 offset, GxInt32)
{
    const GxCollTree* tree = *TreeSlot(object, offset);
    return tree ? GxCollTreeStreamGetSize(tree) : 0;
}

// The box an older-layout tree takes from its object. A sector's bounding box is derived only after its
// world's tree is read, so its tight box (around its vertices, read before the extensions) stands in.
GxBBox ObjectBox(const GxWorldSector* sector) { return sector->tightBoundingBox; }

GxBBox ObjectBox(const GxGeometry* geometry)
{
    if (geometry->numMorphTargets < 1 || !geometry->morphTarget) {
        return GxBBox{};
    }
    const GxSphere& s = geometry->morphTarget[0].boundingSphere;
    return GxBBox{{s.center.x + s.radius, s.center.y + s.radius, s.center.z + s.radius},
                  {s.center.x - s.radius, s.center.y - s.radius, s.center.z - s.radius}};
}

template <bool Sector>
GxStream* TreeRead(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    const GxUInt32 triangles = Sector ? static_cast<GxWorldSector*>(object)->numTriangles
                                      : static_cast<GxUInt32>(static_cast<GxGeometry*>(object)->numTriangles);
    const GxBBox box =
        Sector ? ObjectBox(static_cast<GxWorldSector*>(object)) : ObjectBox(static_cast<GxGeometry*>(object));
    GxCollTreeDestroy(*TreeSlot(object, offset));
    *TreeSlot(object, offset) = nullptr;
    bool skipped = false;
    GxCollTree* tree = GxCollTreeReadChunk(stream, length, triangles, box, &skipped);
    if (!tree) {
        // An older-layout tree with an oversized leaf leaves the object without one and the read goes on.
        return skipped ? stream : nullptr;
    }
    *TreeSlot(object, offset) = tree;
    return stream;
}

// ---- Small vector helpers.

GxV3d Sub(const GxV3d& a, const GxV3d& b) { return GxV3d{a.x - b.x, a.y - b.y, a.z - b.z}; }
GxV3d Add(const GxV3d& a, const GxV3d& b) { return GxV3d{a.x + b.x, a.y + b.y, a.z + b.z}; }
GxV3d Scale(const GxV3d& a, GxReal s) { return GxV3d{a.x * s, a.y * s, a.z * s}; }
GxReal Dot(const GxV3d& a, const GxV3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
GxV3d Cross(const GxV3d& a, const GxV3d& b)
{
    return GxV3d{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
GxV3d Lerp(const GxV3d& a, const GxV3d& b, GxReal t) { return Add(a, Scale(Sub(b, a), t)); }

GxReal BoxDistanceSquared(const GxV3d& p, const GxBBox& box)
{
    GxReal d = 0;
    for (GxInt32 axis = 0; axis <= 8; axis += 4) {
        const GxReal v = GxV3dAxis(p, axis);
        const GxReal lo = GxV3dAxis(box.inf, axis);
        const GxReal hi = GxV3dAxis(box.sup, axis);
        const GxReal out = v < lo ? lo - v : (v > hi ? v - hi : 0.0f);
        d += out * out;
    }
    return d;
}

}  // namespace

// ---- Plugin.

GxBool GxCollisionPluginAttach(void)
{
    if (GxEngineRegisterPlugin(sizeof(GxUInt32), gxPLUGINCOLLISION, EngineOpen, EngineClose) < 0) {
        return 0;
    }
    atomicOffset = GxAtomicRegisterPlugin(sizeof(GxUInt32), gxPLUGINCOLLISION, StampConstruct, nullptr, nullptr);
    geometryOffset =
        GxGeometryRegisterPlugin(sizeof(GxCollTree*), gxPLUGINCOLLISION, TreeConstruct, TreeDestruct, nullptr);
    sectorOffset =
        GxWorldSectorRegisterPlugin(sizeof(GxCollTree*), gxPLUGINCOLLISION, TreeConstruct, TreeDestruct, nullptr);
    return atomicOffset >= 0 && geometryOffset >= 0 && sectorOffset >= 0 &&
           GxGeometryRegisterPluginStream(gxPLUGINCOLLISION, TreeRead<false>, TreeWrite, TreeSize) >= 0 &&
           GxWorldSectorRegisterPluginStream(gxPLUGINCOLLISION, TreeRead<true>, TreeWrite, TreeSize) >= 0;
}

GxCollTree** GxCollisionGeometryTreeSlot(const GxGeometry* geometry)
{
    return geometry && geometryOffset >= 0 ? TreeSlot(geometry, geometryOffset) : nullptr;
}

GxCollTree* GxCollisionGeometryGetTree(const GxGeometry* geometry)
{
    GxCollTree** slot = GxCollisionGeometryTreeSlot(geometry);
    return slot ? *slot : nullptr;
}

// ---- Primitive tests.

GxBool GxIntersectLineTriangle(const GxV3d* start, const GxV3d* delta, const GxV3d* v0, const GxV3d* v1,
                               const GxV3d* v2, GxReal* distance)
{
    const GxV3d e1 = Sub(*v1, *v0);
    const GxV3d e2 = Sub(*v2, *v0);
    const GxV3d p = Cross(*delta, e2);
    const GxReal det = Dot(e1, p);
    if (!(det > kLineDetMin)) {
        return 0;
    }
    const GxReal tol = -kLineTolerance * det;
    const GxReal hi = det - tol;
    const GxV3d s = Sub(*start, *v0);
    const GxReal u = Dot(s, p);
    if (u < tol || u > hi) {
        return 0;
    }
    const GxV3d q = Cross(s, e1);
    const GxReal v = Dot(*delta, q);
    if (v < tol || u + v > hi) {
        return 0;
    }
    const GxReal t = Dot(e2, q);
    if (t < tol || t > hi) {
        return 0;
    }
    *distance = t / det;
    return 1;
}

GxBool GxIntersectSphereTriangle(const GxSphere* sphere, const GxV3d* v0, const GxV3d* v1, const GxV3d* v2,
                                 GxV3d* normal, GxReal* distance)
{
    const GxReal r = sphere->radius;
    const GxV3d a = Sub(*v0, sphere->center);
    const GxV3d b = Sub(*v1, sphere->center);
    const GxV3d e = Sub(*v2, sphere->center);
    for (GxInt32 axis = 0; axis <= 8; axis += 4) {
        const GxReal pa = GxV3dAxis(a, axis), pb = GxV3dAxis(b, axis), pe = GxV3dAxis(e, axis);
        if ((pa >= r && pb >= r && pe >= r) || (pa < -r && pb < -r && pe < -r)) {
            return 0;
        }
    }
    GxV3d n = Cross(Sub(*v1, *v0), Sub(*v2, *v0));
    const GxReal length2 = Dot(n, n);
    if (!(length2 > 0)) {
        return 0;
    }
    n = Scale(n, 1.0f / std::sqrt(length2));
    const GxReal d = Dot(n, a);
    if (d < -r || d > r) {
        return 0;
    }
    *normal = n;
    *distance = -d;
    const GxReal r2 = r * r;
    const GxReal la = Dot(a, a), lb = Dot(b, b), le = Dot(e, e);
    if (la <= r2 || lb <= r2 || le <= r2) {
        return 1;
    }
    // Beyond the nearest vertex, outside both its edges: no contact.
    const GxV3d* nearest = &b;
    const GxV3d *p = &a, *q = &e;
    GxReal ln = lb;
    if (la < ln && la <= le) {
        nearest = &a, p = &b, q = &e, ln = la;
    } else if (le < ln && le < la) {
        nearest = &e, p = &a, q = &b, ln = le;
    }
    if (Dot(*nearest, *p) > ln && Dot(*nearest, *q) > ln) {
        return 0;
    }
    const GxV3d* edges[3][3] = {{&a, &b, &e}, {&b, &e, &a}, {&e, &a, &b}};
    for (const auto& edge : edges) {
        const GxV3d dir = Sub(*edge[1], *edge[0]);
        const GxReal dd = Dot(dir, dir);
        const GxReal t = dd > 0 ? -Dot(*edge[0], dir) / dd : 0.0f;
        const GxV3d closest = Add(*edge[0], Scale(dir, t));
        const GxReal lc = Dot(closest, closest);
        if (lc > r2 && lc < Dot(closest, *edge[2])) {
            return 0;
        }
    }
    return 1;
}

// ---- Collision trees and their stream.

GxCollTree* GxCollTreeCreate(GxUInt16 numEntries, GxUInt16 numSplits, GxBool withMap)
{
    const size_t size = sizeof(GxCollTree) + numSplits * sizeof(GxCollSplit) + (withMap ? numEntries * 2u : 0u);
    auto* tree = static_cast<GxCollTree*>(GxCalloc(1, size, kTreeHint));
    if (!tree) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRNOMEMORY);
        return nullptr;
    }
    tree->numEntries = numEntries;
    tree->numSplits = numSplits;
    tree->flags = withMap ? gxCOLLTREEMAP : 0;
    char* next = reinterpret_cast<char*>(tree + 1);
    if (numSplits > 0) {
        tree->splits = reinterpret_cast<GxCollSplit*>(next);
        next += numSplits * sizeof(GxCollSplit);
    }
    if (withMap) {
        tree->map = reinterpret_cast<GxUInt16*>(next);
    }
    return tree;
}

void GxCollTreeDestroy(GxCollTree* tree)
{
    if (tree) {
        GxFree(tree);
    }
}

namespace {

bool ChildValid(const GxCollChild& child, GxUInt32 parent, const GxCollTree* tree, bool ranges)
{
    if (child.axis != 0 && child.axis != 4 && child.axis != 8) {
        return false;
    }
    if (child.kind == gxCOLLSPLITCHILD) {
        return child.index > parent && child.index < tree->numSplits;
    }
    return !ranges || (child.kind <= gxCOLLMAXLEAF && child.index + child.kind <= tree->numEntries);
}

// Every split is reached once from a lower index (so there are no cycles), paths fit the walk stack, and (with
// `ranges`) every leaf and entry names a triangle of the object.
bool TreeValid(const GxCollTree* tree, GxUInt32 numTriangles, bool ranges = true)
{
    if (ranges && tree->map) {
        for (GxUInt32 i = 0; i < tree->numEntries; i++) {
            if (tree->map[i] >= numTriangles) {
                return false;
            }
        }
    } else if (ranges && tree->numEntries > numTriangles) {
        return false;
    }
    std::vector<GxUInt8> depth(tree->numSplits, 0);
    if (tree->numSplits > 0) {
        depth[0] = 1;
    }
    for (GxUInt32 i = 0; i < tree->numSplits; i++) {
        const GxCollSplit& split = tree->splits[i];
        if (depth[i] == 0 || !ChildValid(split.left, i, tree, ranges) || !ChildValid(split.right, i, tree, ranges)) {
            return false;
        }
        for (const GxCollChild* child : {&split.left, &split.right}) {
            if (child->kind != gxCOLLSPLITCHILD) {
                continue;
            }
            if (depth[child->index] != 0 || depth[i] + 1 >= gxWORLDSTACKDEPTH) {
                return false;
            }
            depth[child->index] = static_cast<GxUInt8>(depth[i] + 1);
        }
    }
    return true;
}

GxCollChild ParseChild(const GxUInt8* bytes)
{
    return GxCollChild{bytes[0], bytes[1], GxBytesGetU16(bytes + 2), GxBytesGetReal(bytes + 4)};
}

void PutChild(GxUInt8* bytes, const GxCollChild& child)
{
    bytes[0] = child.axis;
    bytes[1] = child.kind;
    GxBytesPutU16(bytes + 2, child.index);
    GxBytesPutReal(bytes + 4, child.extent);
}

}  // namespace

namespace {

// Older layout, after its node count: per split two words and two extents (axis in bits 16-23 of the first,
// a child is a split when its byte there is 2; left index in the high half of the second, right in the low),
// one word per leaf in depth-first order (count in the high half, first entry in the low), then the index map
// one entry per word. Without splits a single word stands for the one leaf. Converted to the current form with
// an index map; every index is checked as for the current layout before the tree is walked or kept.
GxCollTree* ReadOldTree(GxStream* stream, GxUInt32 length, GxUInt32 nodes, GxUInt32 numTriangles, const GxBBox& box,
                        bool* skipped)
{
    GxUInt32 entries = 0;
    if (length < 8 || nodes == 0 || !GxWorldReadU32(stream, &entries)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    const GxUInt32 splits = nodes - 1;
    const uint64_t body = splits == 0 ? kOldLeafSize + entries * 4ull
                                      : splits * static_cast<uint64_t>(kSplitSize) + nodes * 4ull + entries * 4ull;
    if (entries > 0xFFFF || splits > 0xFFFF || body > length - 8) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRCOLLBADTREE);
        return nullptr;
    }
    GxCollTree* tree = GxCollTreeCreate(static_cast<GxUInt16>(entries), static_cast<GxUInt16>(splits), 1);
    if (!tree) {
        return nullptr;
    }
    tree->box = box;
    bool ok = true;
    for (GxUInt32 i = 0; i < splits && ok; i++) {
        GxUInt8 bytes[kSplitSize];
        ok = GxWorldRead(stream, bytes, kSplitSize);
        const GxUInt32 shape = GxBytesGetU32(bytes);
        const GxUInt32 indices = GxBytesGetU32(bytes + 4);
        const auto axis = static_cast<GxUInt8>(shape >> 16);
        const GxUInt8 leftKind = ((shape >> 8) & 0xFF) == kOldSplitChild ? gxCOLLSPLITCHILD : 0;
        const GxUInt8 rightKind = (shape & 0xFF) == kOldSplitChild ? gxCOLLSPLITCHILD : 0;
        // Leaf children get their range from the leaf words below.
        tree->splits[i] = GxCollSplit{
            {axis, leftKind, static_cast<GxUInt16>(leftKind ? indices >> 16 : 0), GxBytesGetReal(bytes + 8)},
            {axis, rightKind, static_cast<GxUInt16>(rightKind ? indices & 0xFFFF : 0), GxBytesGetReal(bytes + 12)}};
    }
    // The shape must be a tree before it is walked: no cycles, every split reached once.
    if (ok && !TreeValid(tree, numTriangles, false)) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRCOLLBADTREE);
        ok = false;
    }
    bool tooBig = false;
    if (ok && splits == 0) {
        ok = GxWorldSkip(stream, kOldLeafSize);
    } else if (ok) {
        GxCollChild* stack[gxWORLDSTACKDEPTH * 2];
        GxInt32 top = 0;
        stack[top++] = &tree->splits[0].right;
        stack[top++] = &tree->splits[0].left;
        while (ok && top > 0) {
            GxCollChild* child = stack[--top];
            if (child->kind == gxCOLLSPLITCHILD) {
                stack[top++] = &tree->splits[child->index].right;
                stack[top++] = &tree->splits[child->index].left;
                continue;
            }
            GxUInt32 leaf = 0;
            ok = GxWorldReadU32(stream, &leaf);
            const GxUInt32 count = leaf >> 16;
            tooBig = tooBig || count > gxCOLLMAXLEAF;
            child->kind = static_cast<GxUInt8>(std::min<GxUInt32>(count, gxCOLLMAXLEAF));
            child->index = static_cast<GxUInt16>(leaf & 0xFFFF);
        }
    }
    for (GxUInt32 i = 0; i < entries && ok; i++) {
        GxUInt32 entry = 0;
        ok = GxWorldReadU32(stream, &entry);
        tree->map[i] = static_cast<GxUInt16>(std::min<GxUInt32>(entry, 0xFFFF));
    }
    ok = ok && GxWorldSkip(stream, static_cast<GxUInt32>(length - 8 - body));
    if (ok && tooBig) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRCOLLLEAFTOOBIG);
        *skipped = true;
        ok = false;
    } else if (ok && !TreeValid(tree, numTriangles, true)) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRCOLLBADTREE);
        ok = false;
    }
    if (!ok) {
        GxCollTreeDestroy(tree);
        return nullptr;
    }
    return tree;
}

}  // namespace

GxCollTree* GxCollTreeReadChunk(GxStream* stream, GxInt32 length, GxUInt32 numTriangles, const GxBBox& box,
                                bool* skipped)
{
    GxUInt32 version = 0;
    if (length < 4 || !GxWorldReadU32(stream, &version)) {
        GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        return nullptr;
    }
    if (version < kTreeNewLayout) {
        return ReadOldTree(stream, static_cast<GxUInt32>(length), version, numTriangles, box, skipped);
    }
    GxUInt32 size = 0;
    if (!GxWorldFindChunk(stream, gxID_COLLTREE, nullptr) || !GxWorldFindStruct(stream, kTreeFixedSize, &size)) {
        return nullptr;
    }
    GxUInt8 fixed[kTreeFixedSize];
    if (!GxWorldRead(stream, fixed, kTreeFixedSize)) {
        return nullptr;
    }
    const GxUInt32 flags = GxBytesGetU32(fixed);
    const GxUInt32 entries = GxBytesGetU32(fixed + 28);
    const GxUInt32 splits = GxBytesGetU32(fixed + 32);
    const bool withMap = (flags & gxCOLLTREEMAP) != 0;
    const uint64_t body = kTreeFixedSize + static_cast<uint64_t>(splits) * kSplitSize + (withMap ? entries * 2ull : 0);
    if (entries > 0xFFFF || splits > 0xFFFF || body > size) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRCOLLBADTREE);
        return nullptr;
    }
    GxCollTree* tree = GxCollTreeCreate(static_cast<GxUInt16>(entries), static_cast<GxUInt16>(splits), withMap);
    if (!tree) {
        return nullptr;
    }
    tree->box.inf = GxV3d{GxBytesGetReal(fixed + 4), GxBytesGetReal(fixed + 8), GxBytesGetReal(fixed + 12)};
    tree->box.sup = GxV3d{GxBytesGetReal(fixed + 16), GxBytesGetReal(fixed + 20), GxBytesGetReal(fixed + 24)};
    bool ok = true;
    for (GxUInt32 i = 0; i < splits && ok; i++) {
        GxUInt8 bytes[kSplitSize];
        ok = GxWorldRead(stream, bytes, kSplitSize);
        tree->splits[i] = GxCollSplit{ParseChild(bytes), ParseChild(bytes + 8)};
    }
    if (ok && withMap && entries > 0) {
        ok = GxStreamReadInt32(stream, tree->map, entries * 2) != nullptr;
        if (!ok) {
            GxErrorRaise(gxPLUGINCORE, gxERRREAD);
        }
    }
    ok = ok && GxWorldSkip(stream, static_cast<GxUInt32>(size - body));
    if (ok && !TreeValid(tree, numTriangles)) {
        GxErrorRaise(gxPLUGINCOLLISION, gxERRCOLLBADTREE);
        ok = false;
    }
    if (!ok) {
        GxCollTreeDestroy(tree);
        return nullptr;
    }
    return tree;
}

GxInt32 GxCollTreeStreamGetSize(const GxCollTree* tree)
{
    const GxInt32 body =
        (tree->numSplits + 3) * static_cast<GxInt32>(kSplitSize) + (tree->map ? 2 * tree->numEntries : 0);
    return 4 + static_cast<GxInt32>(kChunkHeaderSize) + body;
}

GxBool GxCollTreeStreamWrite(const GxCollTree* tree, GxStream* stream)
{
    if (!tree) {
        return 1;
    }
    const GxUInt32 body = static_cast<GxUInt32>(GxCollTreeStreamGetSize(tree)) - 4 - kChunkHeaderSize;
    GxUInt8 fixed[kTreeFixedSize];
    GxBytesPutU32(fixed, tree->flags);
    const GxReal box[6] = {tree->box.inf.x, tree->box.inf.y, tree->box.inf.z,
                           tree->box.sup.x, tree->box.sup.y, tree->box.sup.z};
    for (GxInt32 i = 0; i < 6; i++) {
        GxBytesPutReal(fixed + 4 + 4 * i, box[i]);
    }
    GxBytesPutU32(fixed + 28, tree->numEntries);
    GxBytesPutU32(fixed + 32, tree->numSplits);
    if (!GxWorldWriteU32(stream, kTreeVersion) || !GxWorldWriteHeader(stream, gxID_COLLTREE, body) ||
        !GxWorldWriteHeader(stream, gxID_STRUCT, body - kChunkHeaderSize) ||
        !GxStreamWrite(stream, fixed, kTreeFixedSize)) {
        return 0;
    }
    for (GxUInt32 i = 0; i < tree->numSplits; i++) {
        GxUInt8 bytes[kSplitSize];
        PutChild(bytes, tree->splits[i].left);
        PutChild(bytes + 8, tree->splits[i].right);
        if (!GxStreamWrite(stream, bytes, kSplitSize)) {
            return 0;
        }
    }
    return !tree->map || tree->numEntries == 0 || GxStreamWriteInt32(stream, tree->map, tree->numEntries * 2u);
}

// ---- World queries.

namespace {

struct WorldQuery {
    GxWorld* world;
    GxIntersection* intersection;
    GxIntersectionWorldCallBack callBack;
    void* data;
    GxUInt32 counter;
    bool stopped;
};

// Atomics of a sector not yet visited by this query, stamped as they come.
template <typename Test>
bool ForSectorAtomics(WorldQuery* q, GxWorldSector* sector, Test test)
{
    GxLink* head = &sector->collAtomicsInWorldSector;
    for (GxLink* link = head->next; link != head;) {
        GxAtomic* atomic = GxTieFromSectorLink(link)->apAtom;
        link = link->next;
        if (!(atomic->object.object.flags & gxATOMICCOLLISIONTEST) || *AtomicStamp(atomic) == q->counter) {
            continue;
        }
        *AtomicStamp(atomic) = q->counter;
        GxReal distance = 0;
        if (test(atomic, &distance) && !q->callBack(q->intersection, sector, atomic, distance, q->data)) {
            q->stopped = true;
            return false;
        }
    }
    return true;
}

void QuerySphere(WorldQuery* q, const GxSphere& sphere, const GxAtomic* self)
{
    const GxBBox box = {
        {sphere.center.x + sphere.radius, sphere.center.y + sphere.radius, sphere.center.z + sphere.radius},
        {sphere.center.x - sphere.radius, sphere.center.y - sphere.radius, sphere.center.z - sphere.radius}};
    const GxReal r2 = sphere.radius * sphere.radius;
    GxWorldForSectorsInBox(q->world, box, [&](GxWorldSector* sector) {
        if (BoxDistanceSquared(sphere.center, sector->boundingBox) > r2) {
            return true;
        }
        return ForSectorAtomics(q, sector, [&](GxAtomic* atomic, GxReal* distance) {
            if (atomic == self) {
                return false;
            }
            const GxSphere* other = GxAtomicGetWorldBoundingSphere(atomic);
            const GxV3d d = Sub(sphere.center, other->center);
            const GxReal reach = sphere.radius + other->radius;
            const GxReal d2 = Dot(d, d);
            if (d2 > reach * reach) {
                return false;
            }
            *distance = reach > 0 ? std::sqrt(d2 / (reach * reach)) : 0.0f;
            return true;
        });
    });
}

void QueryBox(WorldQuery* q, const GxBBox& box)
{
    GxWorldForSectorsInBox(q->world, box, [&](GxWorldSector* sector) {
        return ForSectorAtomics(q, sector, [&](GxAtomic* atomic, GxReal* distance) {
            const GxSphere* s = GxAtomicGetWorldBoundingSphere(atomic);
            *distance = 0;
            return BoxDistanceSquared(s->center, box) <= s->radius * s->radius;
        });
    });
}

struct LineRange {
    GxSector* node;
    GxReal t0, t1;
};

// The clipping descent: each node with the part of the segment that can reach it. Used for sector trees; the
// leaf visitor returns false to stop.
template <typename Node, typename Visit, typename Split>
void ClipDescent(const GxLine& line, Node root, GxReal t0, GxReal t1, Split split, Visit visit)
{
    const GxV3d delta = Sub(line.end, line.start);
    GxV3d tol;
    for (GxInt32 axis = 0; axis <= 8; axis += 4) {
        *GxV3dAxisRef(&tol, axis) =
            kClipTolerance * std::max(std::fabs(GxV3dAxis(line.start, axis)), std::fabs(GxV3dAxis(line.end, axis)));
    }
    struct Entry {
        Node node;
        GxReal t0, t1;
    };
    Entry stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    stack[top++] = Entry{root, t0, t1};
    while (top > 0) {
        const Entry e = stack[--top];
        GxInt32 axis = 0;
        GxReal leftExtent = 0, rightExtent = 0;
        Node left{}, right{};
        if (!split(e.node, &axis, &leftExtent, &rightExtent, &left, &right)) {
            if (!visit(e.node)) {
                return;
            }
            continue;
        }
        const GxReal g = GxV3dAxis(delta, axis);
        const GxReal s = GxV3dAxis(line.start, axis);
        const GxReal p0 = s + g * e.t0;
        const GxReal p1 = s + g * e.t1;
        const GxReal lo = leftExtent + GxV3dAxis(tol, axis);
        const GxReal ro = rightExtent - GxV3dAxis(tol, axis);
        const bool takeLeft = g <= 0 ? p1 <= lo : p0 <= lo;
        const bool takeRight = g <= 0 ? p0 >= ro : p1 >= ro;
        if (takeLeft && takeRight && top + 2 <= gxWORLDSTACKDEPTH) {
            // The near child first (the right one unless the segment rises along the axis), its range ending
            // where the segment leaves it; the far child after, from where the segment enters it. Children
            // overlap, so each range ends at its own child's extent. No travel along the axis keeps both ranges.
            const bool leftNear = g > 0;
            Entry nearChild{leftNear ? left : right, e.t0, e.t1};
            Entry farChild{leftNear ? right : left, e.t0, e.t1};
            if (g != 0) {
                nearChild.t1 = std::min(e.t1, ((leftNear ? lo : ro) - s) / g);
                farChild.t0 = std::max(e.t0, ((leftNear ? ro : lo) - s) / g);
            }
            stack[top++] = farChild;
            stack[top++] = nearChild;
        } else if (takeLeft) {
            stack[top++] = Entry{left, e.t0, e.t1};
        } else if (takeRight) {
            stack[top++] = Entry{right, e.t0, e.t1};
        }
    }
}

void QueryLine(WorldQuery* q, const GxLine& line)
{
    const GxV3d d = Sub(line.end, line.start);
    const GxReal L = Dot(d, d);
    auto split = [](GxSector* node, GxInt32* axis, GxReal* le, GxReal* re, GxSector** l, GxSector** r) {
        if (GxSectorIsAtomic(node)) {
            return false;
        }
        GxPlaneSector* plane = GxSectorAsPlane(node);
        *axis = plane->type;
        *le = plane->leftValue;
        *re = plane->rightValue;
        *l = plane->leftSubTree;
        *r = plane->rightSubTree;
        return true;
    };
    ClipDescent(line, q->world->rootSector, 0.0f, 1.0f, split, [&](GxSector* node) {
        return ForSectorAtomics(q, GxSectorAsAtomic(node), [&](GxAtomic* atomic, GxReal* distance) {
            const GxSphere* s = GxAtomicGetWorldBoundingSphere(atomic);
            const GxV3d w = Sub(s->center, line.start);
            const GxReal k = Dot(w, d);
            const GxReal f = s->radius * s->radius * L - (L * Dot(w, w) - k * k);
            if (f < 0) {
                return false;
            }
            const bool meets = (k >= 0 && k <= L) || (k > L && (k - L) * (k - L) <= f) || (k < 0 && k * k <= f);
            *distance = L > 0 ? k / L : 0.0f;
            return meets;
        });
    });
}

}  // namespace

GxWorld* GxWorldForAllIntersections(GxWorld* world, GxIntersection* intersection, GxIntersectionWorldCallBack callBack,
                                    void* data)
{
    GxUInt32* counter = QueryCounter();
    GX_ASSERT(world && intersection && callBack, "a world, a query and a callback are given");
    GX_ASSERT(counter && atomicOffset >= 0, "the collision plugin is attached and the engine open");
    GX_ASSERT(!worldQueryRunning, "a world query does not start another from its callback");
    worldQueryRunning = true;
    WorldQuery q = {world, intersection, callBack, data, ++*counter, false};
    switch (intersection->type) {
    case gxINTERSECTLINE:
        QueryLine(&q, intersection->t.line);
        break;
    case gxINTERSECTPOINT:
        QuerySphere(&q, GxSphere{intersection->t.point, 0.0f}, nullptr);
        break;
    case gxINTERSECTSPHERE:
        QuerySphere(&q, intersection->t.sphere, nullptr);
        break;
    case gxINTERSECTBOX:
        QueryBox(&q, intersection->t.box);
        break;
    case gxINTERSECTATOMIC: {
        GxAtomic* atomic = intersection->t.atomic;
        GX_ASSERT(atomic, "an atomic query names its atomic");
        QuerySphere(&q, *GxAtomicGetWorldBoundingSphere(atomic), atomic);
        break;
    }
    default:
        break;
    }
    worldQueryRunning = false;
    return world;
}

// ---- Atomic queries.

namespace {

struct TriangleQuery {
    GxIntersection* intersection;
    GxIntersectionTriangleCallBack callBack;
    void* data;
};

// Reports a triangle; false when the callback stops the query.
bool Report(const TriangleQuery& q, GxInt32 index, GxV3d* a, GxV3d* b, GxV3d* c, const GxV3d& normal, GxReal distance)
{
    GxCollTriangle triangle = {normal, *a, index, {a, b, c}};
    return q.callBack(q.intersection, &triangle, distance, q.data) != nullptr;
}

bool LineTriangle(const TriangleQuery& q, const GxV3d& start, const GxV3d& delta, GxInt32 index, GxV3d* a, GxV3d* b,
                  GxV3d* c)
{
    GxReal distance = 0;
    if (!GxIntersectLineTriangle(&start, &delta, a, b, c, &distance)) {
        return true;
    }
    GxV3d normal = Cross(Sub(*b, *a), Sub(*c, *a));
    GxV3dNormalize(&normal, &normal);
    return Report(q, index, a, b, c, normal, distance);
}

bool SphereTriangle(const TriangleQuery& q, const GxSphere& sphere, GxInt32 index, GxV3d* a, GxV3d* b, GxV3d* c)
{
    GxV3d normal;
    GxReal distance = 0;
    if (!GxIntersectSphereTriangle(&sphere, a, b, c, &normal, &distance)) {
        return true;
    }
    return Report(q, index, a, b, c, normal, sphere.radius > 0 ? distance / sphere.radius : 0.0f);
}

// Tree nodes as (split index) or (leaf: first entry, count), packed for the descent.
struct TreeNode {
    bool leaf;
    GxUInt16 index;
    GxUInt32 count;  // a tree without splits is one leaf of every entry
};

TreeNode ChildNode(const GxCollChild& child)
{
    return child.kind == gxCOLLSPLITCHILD ? TreeNode{false, child.index, 0} : TreeNode{true, child.index, child.kind};
}

TreeNode RootNode(const GxCollTree* tree)
{
    return tree->numSplits > 0 ? TreeNode{false, 0, 0} : TreeNode{true, 0, tree->numEntries};
}

GxInt32 EntryTriangle(const GxCollTree* tree, GxUInt32 entry)
{
    return tree->map ? tree->map[entry] : static_cast<GxInt32>(entry);
}

// A whole tree's leaves the segment may reach, nearer leaves first.
template <typename Leaf>
void TreeLine(const GxCollTree* tree, const GxLine& line, Leaf leaf)
{
    const GxV3d delta = Sub(line.end, line.start);
    GxReal t0 = 0, t1 = 1;
    for (GxInt32 axis = 0; axis <= 8; axis += 4) {
        const GxReal tol =
            kClipTolerance * std::max(std::fabs(GxV3dAxis(line.start, axis)), std::fabs(GxV3dAxis(line.end, axis)));
        const GxReal lo = GxV3dAxis(tree->box.inf, axis) - tol;
        const GxReal hi = GxV3dAxis(tree->box.sup, axis) + tol;
        const GxReal s = GxV3dAxis(line.start, axis);
        const GxReal g = GxV3dAxis(delta, axis);
        if (g == 0) {
            if (s < lo || s > hi) {
                return;
            }
            continue;
        }
        GxReal a = (lo - s) / g, b = (hi - s) / g;
        if (a > b) {
            std::swap(a, b);
        }
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        if (t0 > t1) {
            return;
        }
    }
    if (tree->numSplits == 0) {
        leaf(RootNode(tree));
        return;
    }
    auto split = [tree](TreeNode node, GxInt32* axis, GxReal* le, GxReal* re, TreeNode* l, TreeNode* r) {
        if (node.leaf) {
            return false;
        }
        const GxCollSplit& s = tree->splits[node.index];
        *axis = s.left.axis;
        *le = s.left.extent;
        *re = s.right.extent;
        *l = ChildNode(s.left);
        *r = ChildNode(s.right);
        return true;
    };
    ClipDescent(line, RootNode(tree), t0, t1, split, leaf);
}

GxV3d* TriangleVertex(GxV3d* verts, const GxTriangle& t, GxInt32 k) { return &verts[t.vertIndex[k]]; }

void AtomicLine(GxAtomic* atomic, GxGeometry* geometry, const GxLine& worldLine, const TriangleQuery& q)
{
    GxMatrix inverse;
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    GxLine line = worldLine;
    if (frame) {
        GxMatrixInvert(&inverse, GxFrameGetWorldMatrix(frame));
        GxV3dTransformPoint(&line.start, &worldLine.start, &inverse);
        GxV3dTransformPoint(&line.end, &worldLine.end, &inverse);
    }
    const GxV3d delta = Sub(line.end, line.start);
    if (geometry->numMorphTargets >= 2) {
        const GxInterpolator& ip = atomic->interpolator;
        const GxInt32 n = geometry->numMorphTargets;
        const GxMorphTarget* start = &geometry->morphTarget[ip.startMorphTarget < n ? ip.startMorphTarget : 0];
        const GxMorphTarget* end = &geometry->morphTarget[ip.endMorphTarget < n ? ip.endMorphTarget : 0];
        const GxReal f = ip.position * ip.recipTime;
        for (GxInt32 i = 0; i < geometry->numTriangles; i++) {
            const GxTriangle& t = geometry->triangles[i];
            // Equal targets: the target's own positions, where they stand.
            GxV3d blended[3];
            GxV3d* v[3];
            for (GxInt32 k = 0; k < 3; k++) {
                if (start == end) {
                    v[k] = TriangleVertex(start->verts, t, k);
                } else {
                    blended[k] = Lerp(start->verts[t.vertIndex[k]], end->verts[t.vertIndex[k]], f);
                    v[k] = &blended[k];
                }
            }
            if (!LineTriangle(q, line.start, delta, i, v[0], v[1], v[2])) {
                return;
            }
        }
        return;
    }
    GxV3d* verts = geometry->morphTarget[0].verts;
    const GxCollTree* tree = GxCollisionGeometryGetTree(geometry);
    if (!tree) {
        for (GxInt32 i = 0; i < geometry->numTriangles; i++) {
            const GxTriangle& t = geometry->triangles[i];
            if (!LineTriangle(q, line.start, delta, i, TriangleVertex(verts, t, 0), TriangleVertex(verts, t, 1),
                              TriangleVertex(verts, t, 2))) {
                return;
            }
        }
        return;
    }
    TreeLine(tree, line, [&](TreeNode node) {
        for (GxUInt32 e = node.index; e < static_cast<GxUInt32>(node.index) + node.count; e++) {
            const GxInt32 i = EntryTriangle(tree, e);
            const GxTriangle& t = geometry->triangles[i];
            if (!LineTriangle(q, line.start, delta, i, TriangleVertex(verts, t, 0), TriangleVertex(verts, t, 1),
                              TriangleVertex(verts, t, 2))) {
                return false;
            }
        }
        return true;
    });
}

// The static sphere walker: every triangle, or the leaves of the tree the sphere's box reaches.
// The first and one-past-last entries of a subtree: from its leftmost leaf to its rightmost.
void SubtreeEntries(const GxCollTree* tree, const TreeNode& node, GxUInt32* first, GxUInt32* end)
{
    TreeNode n = node;
    while (!n.leaf) {
        n = ChildNode(tree->splits[n.index].left);
    }
    *first = n.index;
    n = node;
    while (!n.leaf) {
        n = ChildNode(tree->splits[n.index].right);
    }
    *end = static_cast<GxUInt32>(n.index) + n.count;
}

// A triangle known to lie inside the sphere, reported without the exact test. Degenerate triangles have no
// normal and the exact test never reports them, so neither does this.
bool InsideTriangle(const TriangleQuery& q, const GxSphere& sphere, GxInt32 index, GxV3d* a, GxV3d* b, GxV3d* c)
{
    GxV3d normal = Cross(Sub(*b, *a), Sub(*c, *a));
    const GxReal length2 = Dot(normal, normal);
    if (!(length2 > 0)) {
        return true;
    }
    normal = Scale(normal, 1.0f / std::sqrt(length2));
    const GxReal distance = Dot(Sub(sphere.center, *a), normal);
    return Report(q, index, a, b, c, normal, sphere.radius > 0 ? distance / sphere.radius : 0.0f);
}

// Side bits of the inner-cube mask: bit 2k is the minimum side of axis k, bit 2k + 1 its maximum side.
GxUInt32 SideBit(GxInt32 axis, bool maximum) { return 1u << (2 * (axis / 4) + (maximum ? 1 : 0)); }

// The static sphere walker: every triangle, or the leaves of the tree the sphere's box reaches. Each node carries
// the sides on which it may still reach outside a cube inscribed in the sphere; a node with none lies wholly
// inside the sphere and its triangles are reported without the exact test.
void StaticSphere(GxGeometry* geometry, const GxSphere& sphere, const TriangleQuery& q)
{
    GxV3d* verts = geometry->morphTarget[0].verts;
    const GxCollTree* tree = GxCollisionGeometryGetTree(geometry);
    auto vertex = [&](GxInt32 i, GxInt32 k) { return TriangleVertex(verts, geometry->triangles[i], k); };
    auto test = [&](GxInt32 i) { return SphereTriangle(q, sphere, i, vertex(i, 0), vertex(i, 1), vertex(i, 2)); };
    auto inside = [&](GxInt32 i) { return InsideTriangle(q, sphere, i, vertex(i, 0), vertex(i, 1), vertex(i, 2)); };
    if (!tree) {
        for (GxInt32 i = 0; i < geometry->numTriangles; i++) {
            if (!test(i)) {
                return;
            }
        }
        return;
    }
    if (BoxDistanceSquared(sphere.center, tree->box) > sphere.radius * sphere.radius) {
        return;
    }
    const GxReal inner = kInnerCubeScale * sphere.radius;
    GxUInt32 rootMask = 0;
    for (GxInt32 axis = 0; axis <= 8; axis += 4) {
        const GxReal c = GxV3dAxis(sphere.center, axis);
        rootMask |= GxV3dAxis(tree->box.inf, axis) < c - inner ? SideBit(axis, false) : 0;
        rootMask |= GxV3dAxis(tree->box.sup, axis) > c + inner ? SideBit(axis, true) : 0;
    }
    struct Entry {
        TreeNode node;
        GxUInt32 mask;
    };
    Entry stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    stack[top++] = Entry{RootNode(tree), rootMask};
    while (top > 0) {
        const Entry entry = stack[--top];
        const TreeNode& node = entry.node;
        if (entry.mask == 0) {
            GxUInt32 first = 0, end = 0;
            SubtreeEntries(tree, node, &first, &end);
            for (GxUInt32 e = first; e < end; e++) {
                if (!inside(EntryTriangle(tree, e))) {
                    return;
                }
            }
            continue;
        }
        if (node.leaf) {
            for (GxUInt32 e = node.index; e < static_cast<GxUInt32>(node.index) + node.count; e++) {
                if (!test(EntryTriangle(tree, e))) {
                    return;
                }
            }
            continue;
        }
        const GxCollSplit& s = tree->splits[node.index];
        const GxInt32 axis = s.left.axis;
        const GxReal c = GxV3dAxis(sphere.center, axis);
        // Validated trees are at most the stack deep, so both children fit.
        if (s.right.extent <= c + sphere.radius) {
            const GxUInt32 cleared = s.right.extent >= c - inner ? SideBit(axis, false) : 0;
            stack[top++] = Entry{ChildNode(s.right), entry.mask & ~cleared};
        }
        if (c - sphere.radius < s.left.extent) {
            const GxUInt32 cleared = s.left.extent <= c + inner ? SideBit(axis, true) : 0;
            stack[top++] = Entry{ChildNode(s.left), entry.mask & ~cleared};
        }
    }
}

}  // namespace

GxAtomic* GxAtomicForAllIntersections(GxAtomic* atomic, GxIntersection* intersection,
                                      GxIntersectionTriangleCallBack callBack, void* data)
{
    GX_ASSERT(atomic && intersection && callBack, "an atomic, a query and a callback are given");
    GxGeometry* geometry = atomic->geometry;
    // No geometry, or one whose triangles live only in native data: nothing to test.
    if (!geometry || !geometry->triangles) {
        return atomic;
    }
    const TriangleQuery q = {intersection, callBack, data};
    switch (intersection->type) {
    case gxINTERSECTLINE:
        AtomicLine(atomic, geometry, intersection->t.line, q);
        break;
    case gxINTERSECTSPHERE:
        GxAtomicSphereIntersections(atomic, intersection, callBack, data);
        break;
    case gxINTERSECTATOMIC:
        GX_ASSERT(intersection->t.atomic, "an atomic query names its atomic");
        GxAtomicSphereIntersections(atomic, intersection, callBack, data);
        break;
    default:
        break;
    }
    return atomic;
}

// ---- Pixel rays and morphing spheres.

void GxCameraCalcPixelRay(const GxCamera* camera, GxLine* line, const GxV2d* pixel)
{
    const GxRaster* raster = camera->frameBuffer;
    const GxReal u = raster && raster->width > 0 ? pixel->x / static_cast<GxReal>(raster->width) : 0.0f;
    const GxReal v = raster && raster->height > 0 ? pixel->y / static_cast<GxReal>(raster->height) : 0.0f;
    const GxV3d* c = camera->frustumCorners;
    const GxV3d nearTop = Lerp(c[0], c[1], u);
    const GxV3d nearBottom = Lerp(c[3], c[2], u);
    line->start = Lerp(nearTop, nearBottom, v);
    const GxV3d farTop = Lerp(c[4], c[5], u);
    const GxV3d farBottom = Lerp(c[7], c[6], u);
    line->end = Lerp(farTop, farBottom, v);
}

void GxAtomicSphereIntersections(GxAtomic* atomic, GxIntersection* intersection,
                                 GxIntersectionTriangleCallBack callBack, void* data)
{
    GX_ASSERT(atomic && intersection, "an atomic and a query are given");
    GxGeometry* geometry = atomic->geometry;
    if (!geometry || !geometry->triangles) {
        return;
    }
    GxSphere sphere = intersection->type == gxINTERSECTATOMIC ? *GxAtomicGetWorldBoundingSphere(intersection->t.atomic)
                                                              : intersection->t.sphere;
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    if (frame) {
        GxMatrix inverse;
        GxMatrixInvert(&inverse, GxFrameGetWorldMatrix(frame));
        const GxV3d center = sphere.center;
        GxV3dTransformPoints(&sphere.center, &center, 1, &inverse);
        sphere.radius *= GxSqrt(Dot(inverse.at, inverse.at));
    }
    if (geometry->numMorphTargets < 2) {
        StaticSphere(geometry, sphere, TriangleQuery{intersection, callBack, data});
        return;
    }
    GxGeometryMorphSphereIntersections(geometry, &atomic->interpolator, &sphere, intersection, callBack, data);
}

GxBool GxGeometryMorphSphereIntersections(GxGeometry* geometry, const GxInterpolator* interpolator,
                                          const GxSphere* sphere, GxIntersection* intersection,
                                          GxIntersectionTriangleCallBack callBack, void* data)
{
    const GxInt32 n = geometry->numMorphTargets;
    const GxMorphTarget* start =
        &geometry->morphTarget[interpolator->startMorphTarget < n ? interpolator->startMorphTarget : 0];
    const GxMorphTarget* end =
        &geometry->morphTarget[interpolator->endMorphTarget < n ? interpolator->endMorphTarget : 0];
    const GxReal t = interpolator->position * interpolator->recipTime;
    const TriangleQuery q = {intersection, callBack, data};
    for (GxInt32 i = 0; i < geometry->numTriangles; i++) {
        const GxTriangle& tri = geometry->triangles[i];
        GxV3d blended[3];
        GxV3d* v[3];
        for (GxInt32 k = 0; k < 3; k++) {
            if (start == end) {
                v[k] = &start->verts[tri.vertIndex[k]];
            } else {
                blended[k] = Lerp(start->verts[tri.vertIndex[k]], end->verts[tri.vertIndex[k]], t);
                v[k] = &blended[k];
            }
        }
        if (!SphereTriangle(q, *sphere, i, v[0], v[1], v[2])) {
            return 1;
        }
    }
    return 1;
}
