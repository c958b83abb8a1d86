// Fuzz target: the collision extension body (version word, then chunk 0x2C) of an object of 12 triangles;
// a tree that reads is written back and walked by a line and a sphere against a box geometry.
#include "gfx/world/collision_testing.h"
#include "gfx/world/fuzz_testing.h"

namespace {

constexpr GxUInt32 kTriangles = 12;
constexpr GxInt32 kVertices = 4;

GxCollTriangle* Any(GxIntersection*, GxCollTriangle* triangle, GxReal, void*) { return triangle; }

// A fan of triangles over four corners of a unit square, every triangle named by the tree's range.
void Walk(GxCollTree* tree)
{
    GxGeometry* geometry = GxGeometryCreate(kVertices, kTriangles, gxGEOMETRYPOSITIONS);
    GxAtomic* atomic = GxAtomicCreate();
    if (!geometry || !atomic) {
        GxCollTreeDestroy(tree);
        GxGeometryDestroy(geometry);
        GxAtomicDestroy(atomic);
        return;
    }
    const GxV3d corners[kVertices] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (GxInt32 v = 0; v < kVertices; v++) {
        geometry->morphTarget[0].verts[v] = corners[v];
    }
    for (GxUInt32 t = 0; t < kTriangles; t++) {
        geometry->triangles[t] =
            GxTriangle{{0, static_cast<GxUInt16>(1 + t % 2), static_cast<GxUInt16>(2 + t % 2)}, gxGEOMETRYNOMATERIAL};
    }
    GxCollisionGeometrySetTree(geometry, tree);
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    query.t.line = GxLine{{0.5f, 0.4f, -1}, {0.5f, 0.4f, 1}};
    GxAtomicForAllIntersections(atomic, &query, Any, nullptr);
    query.type = gxINTERSECTSPHERE;
    query.t.sphere = GxSphere{{0.5f, 0.5f, 0}, 0.7f};
    GxAtomicForAllIntersections(atomic, &query, Any, nullptr);
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxWorldFuzzStart();
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!stream) {
        return 0;
    }
    const GxBBox box = {{1, 1, 1}, {0, 0, -1}};  // the box an older-layout tree takes
    GxCollTree* tree = GxCollTreeStreamRead(stream, static_cast<GxInt32>(size), kTriangles, &box);
    GxStreamClose(stream, nullptr);
    if (tree) {
        GxStream* out = GxWorldFuzzOpenOut();
        GxCollTreeStreamWrite(tree, out);
        GxWorldFuzzCloseOut(out);
        Walk(tree);
    }
    GxError error;
    GxErrorGet(&error);
    return 0;
}
