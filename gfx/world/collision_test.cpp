// Collision trees in the older stream layout, and the sphere query's inner-cube shortcut against the exact test.
#include "gfx/world/collision.h"

#include <algorithm>
#include <numeric>
#include <random>

#include "gfx/core/camera.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/plugin.h"
#include "gfx/core/raster.h"
#include "gfx/world/collision_testing.h"
#include "gfx/world/world_testing.h"
#include "gfx/world/worldobj_local.h"

namespace {

class Collision : public WorldTest {};

void PutWord(std::vector<GxUInt8>* bytes, GxUInt32 value)
{
    for (int i = 0; i < 4; i++) {
        bytes->push_back(static_cast<GxUInt8>(value >> (8 * i)));
    }
}

void PutReal(std::vector<GxUInt8>* bytes, GxReal value)
{
    GxUInt32 word = 0;
    memcpy(&word, &value, sizeof(word));
    PutWord(bytes, word);
}

// An older-layout tree over four triangles stacked on z: one split on z, two leaves of two entries each.
struct OldTree {
    GxUInt32 nodes = 2;
    GxUInt32 entries = 4;
    GxUInt32 shape = 8u << 16;  // axis z, both children leaves
    GxUInt32 indices = 0;
    GxUInt32 leaves[2] = {0x00020000, 0x00020002};
    GxUInt32 map[4] = {0, 1, 2, 3};

    std::vector<GxUInt8> Bytes() const
    {
        std::vector<GxUInt8> b;
        PutWord(&b, nodes);
        PutWord(&b, entries);
        PutWord(&b, shape);
        PutWord(&b, indices);
        PutReal(&b, -2.0f);
        PutReal(&b, -1.0f);
        for (GxUInt32 leaf : leaves) {
            PutWord(&b, leaf);
        }
        for (GxUInt32 entry : map) {
            PutWord(&b, entry);
        }
        return b;
    }
};

const GxBBox kStackBox = {{1, 1, 0}, {0, 0, -3}};

GxCollTree* ReadOld(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    const size_t n = std::min(length, bytes.size());
    GxStream* stream = GxWorldTestOpen(bytes, n);
    GxCollTree* tree = GxCollTreeStreamRead(stream, static_cast<GxInt32>(n), 4, &kStackBox);
    GxStreamClose(stream, nullptr);
    return tree;
}

GxCollTriangle* Order(GxIntersection*, GxCollTriangle* triangle, GxReal, void* data)
{
    static_cast<std::vector<GxInt32>*>(data)->push_back(triangle->index);
    return triangle;
}

// The triangles a line down the stack of the older-layout trees meets, in the order reported.
std::vector<GxInt32> DownTheStack(GxAtomic* atomic)
{
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    query.t.line = GxLine{{0.25f, 0.25f, 1}, {0.25f, 0.25f, -4}};
    std::vector<GxInt32> found;
    GxAtomicForAllIntersections(atomic, &query, Order, &found);
    return found;
}

TEST_F(Collision, OlderLayoutTreesConvertAndEveryIndexIsChecked)
{
    GxCollTree* tree = ReadOld(OldTree().Bytes());
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->flags, gxCOLLTREEMAP) << "a converted tree always has an index map";
    EXPECT_EQ(tree->box.inf.z, -3.0f);
    ASSERT_EQ(tree->numSplits, 1);
    EXPECT_EQ(tree->splits[0].left.axis, 8);
    EXPECT_EQ(tree->splits[0].left.kind, 2);
    EXPECT_EQ(tree->splits[0].right.index, 2);
    EXPECT_EQ(tree->splits[0].right.extent, -1.0f);

    // The converted tree answers a line as the current layout does: nearer leaf first.
    GxGeometry* geometry = GxWorldTestStackedTriangles();
    ASSERT_NE(geometry, nullptr);
    GxCollisionGeometrySetTree(geometry, tree);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    EXPECT_EQ(DownTheStack(atomic), (std::vector<GxInt32>{2, 3, 0, 1}));
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);

    OldTree single;
    single.nodes = 1;  // no splits: one leaf word stands in, then the map
    std::vector<GxUInt8> bytes = single.Bytes();
    bytes.erase(bytes.begin() + 8, bytes.begin() + 8 + 16 + 4);
    tree = ReadOld(bytes);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->numSplits, 0);
    EXPECT_EQ(tree->map[3], 3);
    GxCollTreeDestroy(tree);

    const std::vector<GxUInt8> good = OldTree().Bytes();
    for (size_t length = 0; length < good.size(); length++) {
        EXPECT_EQ(ReadOld(good, length), nullptr) << "truncated at " << length;
    }
    auto refused = [](auto damage, const char* what) {
        OldTree t;
        damage(&t);
        EXPECT_EQ(ReadOld(t.Bytes()), nullptr) << what;
        return GxTestTakeError();
    };
    refused([](OldTree* t) { t->nodes = 0; }, "no nodes");
    refused([](OldTree* t) { t->entries = 5; }, "more entries than the bytes hold");
    refused([](OldTree* t) { t->shape |= 2u << 8; }, "left child is the split itself");
    refused([](OldTree* t) { t->shape |= 2, t->indices = 7; }, "child split out of range");
    refused([](OldTree* t) { t->shape = 12u << 16; }, "axis");
    refused([](OldTree* t) { t->leaves[1] = 0x00020003; }, "leaf past the entries");
    refused([](OldTree* t) { t->map[2] = 4; }, "entry names a missing triangle");
    refused([](OldTree* t) { t->map[2] = 0x10002; }, "entry wider than 16 bits");
    const GxError big = refused([](OldTree* t) { t->leaves[0] = (gxCOLLMAXLEAF + 1u) << 16; }, "leaf too big");
    EXPECT_EQ(big.pluginID, static_cast<GxInt32>(gxPLUGINCOLLISION));
    EXPECT_EQ(big.errorCode, gxERRCOLLLEAFTOOBIG);
}

// A geometry stream whose collision extension holds an older-layout tree over the box's 12 triangles.
std::vector<GxUInt8> GeometryWithOldTree(GxGeometry* geometry, GxUInt32 firstLeaf)
{
    std::vector<GxUInt8> bytes =
        GxWorldTestWrite([geometry](GxStream* s) { return GxGeometryStreamWrite(geometry, s) != nullptr; });
    auto word = [&bytes](size_t at) {
        return GxUInt32(bytes[at]) | GxUInt32(bytes[at + 1]) << 8 | GxUInt32(bytes[at + 2]) << 16 |
               GxUInt32(bytes[at + 3]) << 24;
    };
    auto put = [&bytes](size_t at, GxUInt32 value) {
        for (int i = 0; i < 4; i++) {
            bytes[at + i] = static_cast<GxUInt8>(value >> (8 * i));
        }
    };
    size_t extension = 12;
    extension += 12 + word(extension + 4);  // struct
    extension += 12 + word(extension + 4);  // material list
    EXPECT_EQ(word(extension), gxID_EXTENSION);
    std::vector<GxUInt8> body;
    for (GxUInt32 w : {2u, 12u, 0u, 0u}) {
        PutWord(&body, w);  // two nodes, twelve entries, a split on x with two leaves
    }
    PutReal(&body, 0.0f);
    PutReal(&body, 0.0f);
    PutWord(&body, firstLeaf);
    PutWord(&body, 0x00060006);
    for (GxUInt32 e = 0; e < 12; e++) {
        PutWord(&body, e);
    }
    std::vector<GxUInt8> chunk;
    PutWord(&chunk, gxPLUGINCOLLISION);
    PutWord(&chunk, static_cast<GxUInt32>(body.size()));
    PutWord(&chunk, word(extension + 8));
    chunk.insert(chunk.end(), body.begin(), body.end());
    put(4, word(4) + static_cast<GxUInt32>(chunk.size()));
    put(extension + 4, word(extension + 4) + static_cast<GxUInt32>(chunk.size()));
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    return bytes;
}

TEST_F(Collision, OlderLayoutTreeOfAGeometryTakesTheBoxAroundItsSphere)
{
    GxGeometry* box = GxWorldTestBox(nullptr, nullptr, 2.0f);
    ASSERT_NE(box, nullptr);
    auto read = [](const std::vector<GxUInt8>& bytes) {
        return GxWorldTestRead<GxGeometry>(bytes, gxID_GEOMETRY, GxGeometryStreamRead);
    };
    GxGeometry* copy = read(GeometryWithOldTree(box, 0x00060000));
    ASSERT_NE(copy, nullptr);
    const GxCollTree* tree = GxCollisionGeometryGetTree(copy);
    ASSERT_NE(tree, nullptr);
    const GxSphere& sphere = box->morphTarget[0].boundingSphere;
    EXPECT_FLOAT_EQ(tree->box.sup.x, sphere.center.x + sphere.radius);
    EXPECT_FLOAT_EQ(tree->box.inf.z, sphere.center.z - sphere.radius);
    GxGeometryDestroy(copy);

    // A leaf over the limit leaves the geometry without a tree; the read goes on.
    copy = read(GeometryWithOldTree(box, (gxCOLLMAXLEAF + 1u) << 16));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(GxCollisionGeometryGetTree(copy), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRCOLLLEAFTOOBIG);
    GxGeometryDestroy(copy);
    GxGeometryDestroy(box);
}

// A sector's box from the planes is derived only after the world's tree is read, so an older-layout tree read
// with the sector takes the tight box read before it.
TEST_F(Collision, OlderLayoutTreeOfASectorTakesItsTightBox)
{
    const std::vector<GxUInt8> tree = OldTree().Bytes();
    const auto size = static_cast<GxUInt32>(tree.size());
    const std::vector<GxUInt8> body = GxWorldTestWrite([&](GxStream* s) {
        return GxWorldWriteHeader(s, gxID_EXTENSION, size + 12) && GxWorldWriteHeader(s, gxPLUGINCOLLISION, size) &&
               GxStreamWrite(s, tree.data(), size);
    });
    std::vector<std::max_align_t> storage(gxWorldSectorTKList.sizeOfStruct / sizeof(std::max_align_t) + 1);
    auto* sector = reinterpret_cast<GxWorldSector*>(storage.data());
    GxPluginRegistryInitObject(&gxWorldSectorTKList, sector);
    sector->numTriangles = 4;
    sector->tightBoundingBox = kStackBox;
    GxStream* stream = GxWorldTestOpen(body);
    EXPECT_NE(GxPluginRegistryReadDataChunks(&gxWorldSectorTKList, stream, sector), nullptr);
    GxStreamClose(stream, nullptr);
    const GxInt32 offset = GxPluginRegistryGetPluginOffset(&gxWorldSectorTKList, gxPLUGINCOLLISION);
    ASSERT_GE(offset, 0);
    const GxCollTree* read = *reinterpret_cast<GxCollTree**>(reinterpret_cast<char*>(sector) + offset);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->box.inf.z, -3.0f);
    EXPECT_EQ(read->box.sup.x, 1.0f);
    GxPluginRegistryDeInitObject(&gxWorldSectorTKList, sector);
}

// A balanced tree with an index map over the triangles' centroids: median splits on the widest axis.
struct TreeBuilder {
    const std::vector<GxV3d>& verts;
    const std::vector<GxTriangle>& triangles;
    std::vector<GxUInt16> order;
    std::vector<GxCollSplit> splits;
    static constexpr GxUInt32 kLeaf = 6;

    GxReal Coord(GxUInt16 t, GxInt32 k, GxInt32 axis) const
    {
        const GxV3d& v = verts[triangles[t].vertIndex[k]];
        return axis == 0 ? v.x : axis == 4 ? v.y : v.z;
    }
    GxReal Centroid(GxUInt16 t, GxInt32 axis) const
    {
        return Coord(t, 0, axis) + Coord(t, 1, axis) + Coord(t, 2, axis);
    }
    GxReal Extent(GxUInt32 first, GxUInt32 end, GxInt32 axis, bool maximum) const
    {
        GxReal e = maximum ? -1e30f : 1e30f;
        for (GxUInt32 i = first; i < end; i++) {
            for (GxInt32 k = 0; k < 3; k++) {
                e = maximum ? std::max(e, Coord(order[i], k, axis)) : std::min(e, Coord(order[i], k, axis));
            }
        }
        return e;
    }
    GxCollChild Child(GxUInt32 first, GxUInt32 end, GxInt32 axis, bool maximum)
    {
        const GxReal extent = Extent(first, end, axis, maximum);
        if (end - first <= kLeaf) {
            return GxCollChild{static_cast<GxUInt8>(axis), static_cast<GxUInt8>(end - first),
                               static_cast<GxUInt16>(first), extent};
        }
        const GxUInt16 index = Build(first, end);
        return GxCollChild{static_cast<GxUInt8>(axis), gxCOLLSPLITCHILD, index, extent};
    }
    GxUInt16 Build(GxUInt32 first, GxUInt32 end)
    {
        GxInt32 axis = 0;
        GxReal widest = -1;
        for (GxInt32 a = 0; a <= 8; a += 4) {
            const GxReal w = Extent(first, end, a, true) - Extent(first, end, a, false);
            if (w > widest) {
                widest = w, axis = a;
            }
        }
        const GxUInt32 mid = (first + end) / 2;
        std::nth_element(order.begin() + first, order.begin() + mid, order.begin() + end,
                         [&](GxUInt16 a, GxUInt16 b) { return Centroid(a, axis) < Centroid(b, axis); });
        const auto index = static_cast<GxUInt16>(splits.size());
        splits.push_back({});
        const GxCollChild left = Child(first, mid, axis, true);
        const GxCollChild right = Child(mid, end, axis, false);
        splits[index] = GxCollSplit{left, right};
        return index;
    }
};

struct Hit {
    GxInt32 index;
    GxV3d normal;
    GxReal distance;
};

GxCollTriangle* Collect(GxIntersection*, GxCollTriangle* triangle, GxReal distance, void* data)
{
    static_cast<std::vector<Hit>*>(data)->push_back(Hit{triangle->index, triangle->normal, distance});
    return triangle;
}

std::vector<Hit> Sorted(std::vector<Hit> hits)
{
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.index < b.index; });
    return hits;
}

// The same random triangles twice: tested one by one, and through a balanced tree with an index map.
struct TriangleSoup {
    std::mt19937 random;
    std::uniform_real_distribution<GxReal> unit{-1.0f, 1.0f};
    GxGeometry* geometries[2] = {};
    GxAtomic* atomics[2] = {};

    // Triangles of corners within `spread` of points within 4 of the origin; every `degenerate`th has no area.
    TriangleSoup(GxInt32 count, unsigned seed, GxReal spread, GxInt32 degenerate, GxReal boxHalf) : random(seed)
    {
        std::vector<GxV3d> verts;
        std::vector<GxTriangle> triangles;
        for (GxInt32 t = 0; t < count; t++) {
            const GxV3d at = {4 * unit(random), 4 * unit(random), 4 * unit(random)};
            const auto v = static_cast<GxUInt16>(verts.size());
            for (GxInt32 k = 0; k < 3; k++) {
                verts.push_back(
                    GxV3d{at.x + spread * unit(random), at.y + spread * unit(random), at.z + spread * unit(random)});
            }
            if (degenerate > 0 && t % degenerate == 0) {
                verts.back() = verts[v];
            }
            triangles.push_back(
                GxTriangle{{v, static_cast<GxUInt16>(v + 1), static_cast<GxUInt16>(v + 2)}, gxGEOMETRYNOMATERIAL});
        }
        for (GxInt32 g = 0; g < 2; g++) {
            geometries[g] = GxGeometryCreate(static_cast<GxInt32>(verts.size()), count, gxGEOMETRYPOSITIONS);
            if (!geometries[g]) {
                return;
            }
            std::copy(verts.begin(), verts.end(), geometries[g]->morphTarget[0].verts);
            std::copy(triangles.begin(), triangles.end(), geometries[g]->triangles);
            atomics[g] = GxAtomicCreate();
            GxAtomicSetGeometry(atomics[g], geometries[g], 0);
        }
        TreeBuilder builder{verts, triangles, std::vector<GxUInt16>(static_cast<size_t>(count)), {}};
        std::iota(builder.order.begin(), builder.order.end(), GxUInt16{0});
        builder.Build(0, static_cast<GxUInt32>(count));
        GxCollTree* tree =
            GxCollTreeCreate(static_cast<GxUInt16>(count), static_cast<GxUInt16>(builder.splits.size()), 1);
        if (!tree) {
            return;
        }
        std::copy(builder.splits.begin(), builder.splits.end(), tree->splits);
        std::copy(builder.order.begin(), builder.order.end(), tree->map);
        tree->box = GxBBox{{boxHalf, boxHalf, boxHalf}, {-boxHalf, -boxHalf, -boxHalf}};
        GxCollisionGeometrySetTree(geometries[1], tree);
    }
    ~TriangleSoup()
    {
        for (GxInt32 g = 0; g < 2; g++) {
            if (atomics[g]) {
                GxAtomicDestroy(atomics[g]);
            }
            if (geometries[g]) {
                GxGeometryDestroy(geometries[g]);
            }
        }
    }
    bool Made() const { return geometries[1] && GxCollisionGeometryGetTree(geometries[1]) != nullptr; }
    // What the query reports: [0] one by one, [1] through the tree, each in triangle order.
    std::vector<Hit> Report(GxInt32 which, GxIntersection* query) const
    {
        std::vector<Hit> hits;
        GxAtomicForAllIntersections(atomics[which], query, Collect, &hits);
        return Sorted(hits);
    }
};

TEST_F(Collision, SphereShortcutThroughATreeReportsWhatTheExactTestReports)
{
    TriangleSoup soup(600, 7, 0.3f, 10, 5.0f);  // every tenth triangle has no normal: never reported
    ASSERT_TRUE(soup.Made());
    GxIntersection query = {};
    query.type = gxINTERSECTSPHERE;
    size_t reported = 0;
    for (GxInt32 trial = 0; trial < 200; trial++) {
        const GxReal radius = trial % 4 == 0 ? 6.0f + 4 * soup.unit(soup.random) : 1.5f + soup.unit(soup.random);
        query.t.sphere =
            GxSphere{{3 * soup.unit(soup.random), 3 * soup.unit(soup.random), 3 * soup.unit(soup.random)}, radius};
        const std::vector<Hit> exact = soup.Report(0, &query);
        const std::vector<Hit> treed = soup.Report(1, &query);
        ASSERT_EQ(exact.size(), treed.size()) << "trial " << trial;
        for (size_t i = 0; i < exact.size(); i++) {
            ASSERT_EQ(exact[i].index, treed[i].index) << "trial " << trial;
            EXPECT_NEAR(exact[i].distance, treed[i].distance, 1e-4f);
            EXPECT_NEAR(exact[i].normal.z, treed[i].normal.z, 1e-4f);
        }
        reported += exact.size();
    }
    EXPECT_GT(reported, 1000u) << "the spheres reach enough triangles to exercise the shortcut";
}

// Median splits leave children that overlap along their axis: a segment crossing the overlap must keep each child
// up to its own extent, or triangles there go missing.
TEST_F(Collision, LinesThroughOverlappingChildrenFindWhatEveryTriangleFinds)
{
    TriangleSoup soup(400, 11, 1.0f, 0, 6.0f);
    ASSERT_TRUE(soup.Made());
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    size_t reported = 0;
    auto point = [&soup] {
        return GxV3d{6 * soup.unit(soup.random), 6 * soup.unit(soup.random), 6 * soup.unit(soup.random)};
    };
    for (GxInt32 trial = 0; trial < 300; trial++) {
        const GxV3d a = point();
        query.t.line = GxLine{a, point()};
        const std::vector<Hit> every = soup.Report(0, &query);
        const std::vector<Hit> treed = soup.Report(1, &query);
        ASSERT_EQ(every.size(), treed.size()) << "trial " << trial;
        for (size_t i = 0; i < every.size(); i++) {
            ASSERT_EQ(every[i].index, treed[i].index) << "trial " << trial;
        }
        reported += every.size();
    }
    EXPECT_GT(reported, 100u) << "the lines cross enough triangles to exercise the descent";
}

// A sphere of no radius touching a triangle's corner reports a distance of 0, not 0 / 0.
TEST_F(Collision, SpheresOfNoRadiusReportADistanceOfZero)
{
    GxGeometry* geometry = GxGeometryCreate(3, 1, gxGEOMETRYPOSITIONS);
    ASSERT_NE(geometry, nullptr);
    const GxV3d corners[3] = {{0, 0, 0}, {1, -1, 1}, {-1, 2, -1}};
    std::copy(corners, corners + 3, geometry->morphTarget[0].verts);
    geometry->triangles[0] = GxTriangle{{0, 1, 2}, gxGEOMETRYNOMATERIAL};
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxIntersection query = {};
    query.type = gxINTERSECTSPHERE;
    query.t.sphere = GxSphere{{0, 0, 0}, 0.0f};
    std::vector<Hit> hits;
    GxAtomicForAllIntersections(atomic, &query, Collect, &hits);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].distance, 0.0f);
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);
}

TEST_F(Collision, AtomicsWithoutGeometryOrOwnTrianglesReportNothing)
{
    auto never = [](GxIntersection*, GxCollTriangle*, GxReal, void*) -> GxCollTriangle* {
        ADD_FAILURE() << "nothing to report";
        return nullptr;
    };
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    query.t.line = GxLine{{0.25f, 0.25f, 1}, {0.25f, 0.25f, -4}};
    GxAtomic* atomic = GxAtomicCreate();
    EXPECT_EQ(GxAtomicForAllIntersections(atomic, &query, never, nullptr), atomic) << "no geometry";
    // A native geometry counts triangles its native data holds; it has none of its own to test.
    GxGeometry* native = GxGeometryCreate(3, 1, gxGEOMETRYPOSITIONS | gxGEOMETRYNATIVE);
    ASSERT_NE(native, nullptr);
    GxAtomicSetGeometry(atomic, native, 0);
    EXPECT_EQ(GxAtomicForAllIntersections(atomic, &query, never, nullptr), atomic);
    query.type = gxINTERSECTSPHERE;
    query.t.sphere = GxSphere{{0, 0, 0}, 100.0f};
    EXPECT_EQ(GxAtomicForAllIntersections(atomic, &query, never, nullptr), atomic);
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(native);
}

// A line with no travel along a split's axis that reaches both children visits the right one first.
TEST_F(Collision, LinesAlongASplitVisitItsRightChildFirst)
{
    GxGeometry* geometry = GxWorldTestStackedTriangles();
    ASSERT_NE(geometry, nullptr);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxCollTree* tree = GxCollTreeCreate(4, 1, 0);
    ASSERT_NE(tree, nullptr);
    tree->box = GxBBox{{1, 1, 0}, {0, 0, -3}};
    tree->splits[0] = GxCollSplit{{0, 2, 0, 1.0f}, {0, 2, 2, 0.0f}};  // on x, both leaves across the whole strip
    GxCollisionGeometrySetTree(geometry, tree);
    EXPECT_EQ(DownTheStack(atomic), (std::vector<GxInt32>{2, 3, 0, 1}));
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);
}

}  // namespace

// Stacked triangles whose second morph target lies 8 higher: a quarter of the way from start to end
// puts them 2 higher, three quarters (the blend run backwards) 6 higher.
TEST_F(Collision, MorphingAtomicsAreTestedBetweenTheirTargets)
{
    GxGeometry* geometry = GxWorldTestStackedTriangles();
    ASSERT_NE(geometry, nullptr);
    ASSERT_EQ(GxGeometryAddMorphTargets(geometry, 1), 1);
    for (GxInt32 v = 0; v < geometry->numVertices; v++) {
        const GxV3d p = geometry->morphTarget[0].verts[v];
        geometry->morphTarget[1].verts[v] = GxV3d{p.x, p.y, p.z + 8};
    }
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    atomic->interpolator.startMorphTarget = 0;
    atomic->interpolator.endMorphTarget = 1;
    atomic->interpolator.position = 1.0f;
    atomic->interpolator.recipTime = 0.25f;
    auto hits = [atomic](GxIntersection query) {
        std::vector<GxInt32> found;
        GxAtomicForAllIntersections(atomic, &query, Order, &found);
        return found;
    };
    GxIntersection sphere = {};
    sphere.type = gxINTERSECTSPHERE;
    sphere.t.sphere = GxSphere{{0.2f, 0.2f, 1.9f}, 0.5f};
    GxIntersection line = {};
    line.type = gxINTERSECTLINE;
    line.t.line = GxLine{{0.25f, 0.25f, 2.5f}, {0.25f, 0.25f, -0.5f}};
    // Blended triangles stand at z -1, 0, 1 and 2.
    EXPECT_EQ(hits(sphere), (std::vector<GxInt32>{3}));
    EXPECT_EQ(hits(line), (std::vector<GxInt32>{1, 2, 3}));
    // Equal targets: the triangles of that target as they stand (z 5 to 8), their own vertices reported.
    atomic->interpolator.startMorphTarget = 1;
    sphere.t.sphere.center.z = 5.1f;
    auto corners = [atomic](GxIntersection query) {
        std::vector<GxV3d*> found;
        GxAtomicForAllIntersections(
            atomic, &query,
            [](GxIntersection*, GxCollTriangle* triangle, GxReal, void* data) -> GxCollTriangle* {
                static_cast<std::vector<GxV3d*>*>(data)->push_back(triangle->vertices[0]);
                return triangle;
            },
            &found);
        return found;
    };
    EXPECT_EQ(corners(sphere), (std::vector<GxV3d*>{&geometry->morphTarget[1].verts[0]}));
    GxIntersection shortLine = line;
    shortLine.t.line = GxLine{{0.25f, 0.25f, 5.5f}, {0.25f, 0.25f, 4.5f}};
    EXPECT_EQ(corners(shortLine), (std::vector<GxV3d*>{&geometry->morphTarget[1].verts[0]}));
    // A target the geometry lacks stands for target 0: the triangles as they stand at z -3 to 0.
    atomic->interpolator.startMorphTarget = 0;
    atomic->interpolator.endMorphTarget = 7;
    EXPECT_EQ(hits(line), (std::vector<GxInt32>{3}));
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);
}

// The pixel ray runs between the near and far planes' corners, in the shares of the frame buffer's size; a
// camera without a frame buffer gives the ray of pixel (0, 0).
TEST_F(Collision, PixelRaysRunBetweenTheFrustumCorners)
{
    GxCamera* camera = GxCameraCreate();
    ASSERT_NE(camera, nullptr);
    for (GxInt32 i = 0; i < 8; i++) {
        camera->frustumCorners[i] = GxV3d{static_cast<GxReal>(i), 10.0f * i, 100.0f * i};
    }
    GxRaster frameBuffer = {};
    frameBuffer.width = 100;
    frameBuffer.height = 50;
    camera->frameBuffer = &frameBuffer;
    GxLine line;
    const GxV2d origin = {0.0f, 0.0f};
    GxCameraCalcPixelRay(camera, &line, &origin);
    EXPECT_FLOAT_EQ(line.start.y, 0.0f);
    EXPECT_FLOAT_EQ(line.end.z, 400.0f);
    const GxV2d corner = {100.0f, 50.0f};
    GxCameraCalcPixelRay(camera, &line, &corner);
    EXPECT_FLOAT_EQ(line.start.x, 2.0f);
    EXPECT_FLOAT_EQ(line.end.y, 60.0f);
    camera->frameBuffer = nullptr;
    GxCameraCalcPixelRay(camera, &line, &corner);
    EXPECT_FLOAT_EQ(line.start.x, 0.0f);
    EXPECT_FLOAT_EQ(line.end.x, 4.0f);
    GxCameraDestroy(camera);
}
