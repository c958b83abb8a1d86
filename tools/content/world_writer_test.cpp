// Worlds written by the world writer and read by the library: the tree, ties of atomics and lights,
// rendering once per frame, frustum culling, intersection queries, pixel rays and refusal of damaged streams.
#include "tools/content/world_writer.h"

#include <cmath>
#include <cstring>
#include <set>

#include "gfx/core/bytes.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/collision.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world_testing.h"

namespace {

constexpr GxReal kCell = 2.0f;

// A flat ground of n x n cells at y = 0 from the origin towards +x and +z, facing up.
ContentWorldMesh Ground(GxInt32 n)
{
    ContentWorldMesh mesh;
    for (GxInt32 z = 0; z < n; z++) {
        for (GxInt32 x = 0; x < n; x++) {
            const GxReal x0 = x * kCell, z0 = z * kCell, x1 = x0 + kCell, z1 = z0 + kCell;
            const GxV3d corners[4] = {{x0, 0, z0}, {x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0}};
            ContentWorldAddQuad(&mesh, corners, GxV3d{0, 1, 0}, GxRGBA{200, 200, 200, 255},
                                static_cast<GxUInt16>((x + z) % 2), 1.0f);
        }
    }
    return mesh;
}

class WorldFile : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override { ASSERT_TRUE(GxWorldPluginAttach() && GxCollisionPluginAttach()); }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        materials = {GxMaterialCreate(), GxMaterialCreate()};
    }
    void TearDown() override
    {
        for (GxClump* clump : clumps) {
            GxClumpDestroy(clump);
        }
        if (camera) {
            GxTestCameraDestroy(camera);
        }
        if (world) {
            GxWorldDestroy(world);
        }
        for (GxMaterial* material : materials) {
            GxMaterialDestroy(material);
        }
        GxD3D9SoftwareTest::TearDown();
    }

    std::vector<GxUInt8> Bytes(GxInt32 cells, GxInt32 perSector, GxUInt32 extraFlags = 0)
    {
        const GxReal size = cells * kCell;
        ContentWorldPlan plan = {gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYPRELIT | gxGEOMETRYNORMALS |
                                     extraFlags,
                                 GxBBox{{size, 10, size}, {0, -10, 0}}, materials, perSector};
        return ContentWorldBytes(Ground(cells), plan);
    }
    GxWorld* Read(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
    {
        return GxWorldTestRead<GxWorld>(bytes, gxID_WORLD, GxWorldStreamRead, length);
    }
    std::vector<GxWorldSector*> Sectors(GxWorld* w)
    {
        std::vector<GxWorldSector*> out;
        GxWorldForAllWorldSectors(
            w,
            [](GxWorldSector* s, void* data) {
                static_cast<std::vector<GxWorldSector*>*>(data)->push_back(s);
                return s;
            },
            &out);
        return out;
    }
    // An atomic in its own clump, in the world, with a bounding sphere of `radius` at `at`.
    GxAtomic* AddAtomic(GxV3d at, GxReal radius)
    {
        GxClump* clump = GxClumpCreate();
        GxFrame* frame = GxFrameCreate();
        GxClumpSetFrame(clump, frame);
        GxAtomic* atomic = GxAtomicCreate();
        GxAtomicSetFrame(atomic, frame);
        GxGeometry* box = GxWorldTestBox(nullptr, nullptr, radius / 2);
        GxAtomicSetGeometry(atomic, box, 0);
        GxGeometryDestroy(box);
        atomic->boundingSphere = GxSphere{{0, 0, 0}, radius};
        GxAtomicSetGeometry(atomic, atomic->geometry, 1);
        GxClumpAddAtomic(clump, atomic);
        GxFrameTranslate(frame, &at, 0);
        GxWorldAddClump(world, clump);
        clumps.push_back(clump);
        GxFrameSyncDirty();
        return atomic;
    }
    std::set<GxWorldSector*> Ties(GxAtomic* atomic)
    {
        std::set<GxWorldSector*> out;
        for (GxLink* l = atomic->llWorldSectorsInAtomic.next; l != &atomic->llWorldSectorsInAtomic; l = l->next) {
            EXPECT_TRUE(out.insert(GxTieFromAtomicLink(l)->worldSector).second) << "tied twice";
        }
        return out;
    }
    std::set<GxWorldSector*> Overlapping(const GxBBox& box)
    {
        std::set<GxWorldSector*> out;
        for (GxWorldSector* s : Sectors(world)) {
            if (s->boundingBox.inf.x <= box.sup.x && s->boundingBox.sup.x >= box.inf.x &&
                s->boundingBox.inf.z <= box.sup.z && s->boundingBox.sup.z >= box.inf.z &&
                s->boundingBox.inf.y <= box.sup.y && s->boundingBox.sup.y >= box.inf.y) {
                out.insert(s);
            }
        }
        return out;
    }
    // The atomics a query reports, in order, with their distances.
    struct Found {
        std::vector<GxAtomic*> atomics;
        std::vector<GxReal> distances;
    };
    Found Run(GxIntersection query)
    {
        Found found;
        GxWorldForAllIntersections(
            world, &query,
            [](GxIntersection*, GxWorldSector* sector, GxAtomic* atomic, GxReal distance, void* data) {
                static_cast<Found*>(data)->atomics.push_back(atomic);
                static_cast<Found*>(data)->distances.push_back(distance);
                return sector;
            },
            &found);
        return found;
    }
    // A camera at `at` looking straight down.
    void LookDown(GxV3d at, GxReal far = 100.0f)
    {
        camera = GxTestCameraCreate(64, 64);
        ASSERT_NE(camera, nullptr);
        GxFrame* frame = GxCameraGetFrame(camera);
        const GxV3d xAxis = {1, 0, 0};
        GxFrameRotate(frame, &xAxis, 90.0f, 0);
        GxFrameTranslate(frame, &at, 2);
        const GxV2d window = {0.2f, 0.2f};
        GxCameraSetViewWindow(camera, &window);
        GxCameraSetNearClipPlane(camera, 0.5f);
        GxCameraSetFarClipPlane(camera, far);
        GxWorldAddCamera(world, camera);
        GxFrameSyncDirty();
        ASSERT_LT(GxFrameGetWorldMatrix(frame)->at.y, -0.99f);
    }

    std::vector<GxMaterial*> materials;
    std::vector<GxClump*> clumps;
    GxWorld* world = nullptr;
    GxCamera* camera = nullptr;
};

TEST_F(WorldFile, WrittenAndReadBackAsATreeOfSectors)
{
    const std::vector<GxUInt8> bytes = Bytes(10, 8);
    ASSERT_FALSE(bytes.empty());
    world = Read(bytes);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->matList.numMaterials, 2);
    EXPECT_EQ(world->numTexCoordSets, 1);
    const std::vector<GxWorldSector*> sectors = Sectors(world);
    EXPECT_GT(sectors.size(), 10u);
    GxInt32 triangles = 0;
    for (GxWorldSector* s : sectors) {
        triangles += s->numTriangles;
        EXPECT_LE(s->numTriangles, 8);
        ASSERT_NE(s->mesh, nullptr);
        for (GxUInt32 v = 0; v < s->numVertices; v++) {
            const GxV3d& p = s->vertices[v];
            EXPECT_TRUE(p.x >= s->boundingBox.inf.x && p.x <= s->boundingBox.sup.x && p.z >= s->boundingBox.inf.z &&
                        p.z <= s->boundingBox.sup.z)
                << "vertex outside its sector's box";
        }
        EXPECT_EQ(GxWorldSectorGetWorld(s), world);
    }
    EXPECT_EQ(triangles, 200);
}

TEST_F(WorldFile, AtomicsAndLocalLightsAreTiedToTheSectorsTheyReach)
{
    world = Read(Bytes(10, 4));
    ASSERT_NE(world, nullptr);
    GxAtomic* atomic = AddAtomic(GxV3d{5, 0, 5}, 1.5f);
    auto expected = [&](GxV3d c, GxReal r) {
        return Overlapping(GxBBox{{c.x + r, c.y + r, c.z + r}, {c.x - r, c.y - r, c.z - r}});
    };
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
    EXPECT_EQ(Ties(atomic), expected(sphere->center, sphere->radius));
    EXPECT_GT(Ties(atomic).size(), 1u);

    GxLight* light = GxLightCreate(gxLIGHTPOINT);
    GxFrame* frame = GxFrameCreate();
    GxLightSetFrame(light, frame);
    light->radius = 3;
    const GxV3d at = {10, 0, 10};
    GxFrameTranslate(frame, &at, 0);
    GxWorldAddLight(world, light);
    GxFrameSyncDirty();
    std::set<GxWorldSector*> lit;
    for (GxWorldSector* s : Sectors(world)) {
        for (GxLink* l = s->lightsInWorldSector.next; l != &s->lightsInWorldSector; l = l->next) {
            lit.insert(s);
        }
    }
    EXPECT_EQ(lit, expected(at, 3));
    GxLightDestroy(light);  // leaves the world and its sectors
    GxFrameDestroy(frame);
    for (GxWorldSector* s : Sectors(world)) {
        EXPECT_TRUE(GxLinkIsEmpty(&s->lightsInWorldSector));
    }

    ASSERT_EQ(GxWorldRemoveClump(world, clumps[0]), world);
    EXPECT_TRUE(Ties(atomic).empty());
    EXPECT_EQ(GxWorldRemoveClump(world, clumps[0]), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOTINWORLD);
}

int renders = 0;
GxAtomic* CountRender(GxAtomic* atomic)
{
    renders++;
    return atomic;
}

TEST_F(WorldFile, EachAtomicDrawnOncePerFrameAndCulledByTheFrustum)
{
    world = Read(Bytes(20, 4));
    ASSERT_NE(world, nullptr);
    GxWorldSetSectorRenderCallback(world, [](GxWorldSector* s) { return s; });
    GxAtomic* wide = AddAtomic(GxV3d{20, 0, 20}, 6.0f);
    GxAtomic* hidden = AddAtomic(GxV3d{20, 0, 20}, 1.0f);
    GxAtomic* away = AddAtomic(GxV3d{39, 0, 1}, 0.5f);
    for (GxAtomic* a : {wide, hidden, away}) {
        GxAtomicSetRenderCallBack(a, CountRender);
    }
    hidden->object.object.flags &= static_cast<GxUInt8>(~gxATOMICRENDER);
    LookDown(GxV3d{20, 10, 20}, 20.0f);
    EXPECT_GT(Ties(wide).size(), 2u);

    // The visible sectors are exactly those whose boxes meet the frustum.
    std::set<GxWorldSector*> visible;
    for (GxInt32 i = 0; i < GxCameraGetNumVisibleSectors(camera); i++) {
        EXPECT_TRUE(visible.insert(GxCameraGetVisibleSector(camera, i)).second);
    }
    EXPECT_FALSE(visible.empty());
    for (GxWorldSector* s : Sectors(world)) {
        // A sector whose centre column is under the camera's view is listed; one far outside it is not.
        const GxReal cx = (s->boundingBox.inf.x + s->boundingBox.sup.x) / 2;
        const GxReal cz = (s->boundingBox.inf.z + s->boundingBox.sup.z) / 2;
        if (std::fabs(cx - 20) < 0.5f && std::fabs(cz - 20) < 0.5f) {
            EXPECT_EQ(visible.count(s), 1u);
        }
        if (s->boundingBox.inf.x > 26 || s->boundingBox.sup.x < 14) {
            EXPECT_EQ(visible.count(s), 0u);
        }
    }
    EXPECT_LT(visible.size(), Sectors(world).size());
    EXPECT_EQ(visible.count(*Ties(away).begin()), 0u);

    for (int frame = 1; frame <= 2; frame++) {
        renders = 0;
        ASSERT_NE(GxCameraBeginUpdate(camera), nullptr);
        EXPECT_EQ(GxEngineInstance->curWorld, world);
        GxWorldRender(world);
        GxCameraEndUpdate(camera);
        EXPECT_EQ(renders, 1) << "frame " << frame;
        EXPECT_EQ(GxEngineInstance->curWorld, nullptr);
    }
}

class DrawnWorldFile : public WorldFile {
protected:
    void AttachPlugins() override
    {
        WorldFile::AttachPlugins();
        ASSERT_TRUE(GxD3D9SectorPluginAttach());
    }
};

// A sector is drawn with clipping off only when its box lies wholly inside the view.
TEST_F(DrawnWorldFile, SectorsWhollyInViewAreDrawnWithoutClipping)
{
    world = Read(Bytes(10, 4));
    ASSERT_NE(world, nullptr);
    GxWorldSector* sector = Sectors(world)[0];
    LookDown(GxV3d{10, 200, 10}, 300.0f);
    const auto clippingWhenDrawn = [&]() {
        EXPECT_NE(GxCameraBeginUpdate(camera), nullptr);
        EXPECT_EQ(GxWorldSectorRender(sector), sector);
        GxCameraEndUpdate(camera);
        GxUInt32 clipping = 0;
        GxD3D9GetRenderState(D3DRS_CLIPPING, &clipping);
        return clipping;
    };
    EXPECT_EQ(clippingWhenDrawn(), static_cast<GxUInt32>(FALSE));
    const GxV3d down = {0, -190, 0};
    GxFrameTranslate(GxCameraGetFrame(camera), &down, 2);
    GxFrameSyncDirty();
    EXPECT_EQ(clippingWhenDrawn(), static_cast<GxUInt32>(TRUE));
}

TEST_F(WorldFile, ClumpsInTheFrustumAreVisitedOnceEach)
{
    world = Read(Bytes(20, 4));
    ASSERT_NE(world, nullptr);
    GxAtomic* first = AddAtomic(GxV3d{18, 0, 20}, 3.0f);
    GxAtomic* second = GxAtomicClone(first);
    GxFrame* frame = GxFrameCreate();
    const GxV3d at = {22, 0, 20};
    GxFrameTranslate(frame, &at, 0);
    GxAtomicSetFrame(second, frame);
    GxFrameAddChild(static_cast<GxFrame*>(clumps[0]->object.parent), frame);
    GxClumpAddAtomic(clumps[0], second);
    GxWorldRemoveClump(world, clumps[0]);
    GxWorldAddClump(world, clumps[0]);
    AddAtomic(GxV3d{39, 0, 39}, 0.5f);  // another clump, outside the view
    LookDown(GxV3d{20, 10, 20}, 20.0f);
    ASSERT_GT(Ties(first).size() + Ties(second).size(), 3u);
    std::vector<GxClump*> seen;
    GxCameraForAllClumpsInFrustum(
        camera,
        [](GxClump* clump, void* data) {
            static_cast<std::vector<GxClump*>*>(data)->push_back(clump);
            return clump;
        },
        &seen);
    EXPECT_EQ(seen, std::vector<GxClump*>{clumps[0]});
}

TEST_F(WorldFile, QueriesVisitEachAtomicOnce)
{
    world = Read(Bytes(10, 2));
    ASSERT_NE(world, nullptr);
    GxAtomic* a = AddAtomic(GxV3d{4, 0, 4}, 3.0f);
    GxAtomic* b = AddAtomic(GxV3d{16, 0, 4}, 1.0f);
    GxAtomic* c = AddAtomic(GxV3d{10, 0, 16}, 1.0f);
    auto run = [&](GxIntersection query) {
        const std::vector<GxAtomic*> hits = Run(query).atomics;
        std::set<GxAtomic*> unique(hits.begin(), hits.end());
        EXPECT_EQ(unique.size(), hits.size()) << "an atomic reported twice";
        return unique;
    };
    GxIntersection line = {};
    line.type = gxINTERSECTLINE;
    line.t.line = GxLine{{0, 0, 4}, {20, 0, 4}};
    EXPECT_EQ(run(line), (std::set<GxAtomic*>{a, b}));
    line.t.line = GxLine{{20, 0, 4}, {0, 0, 4}};
    EXPECT_EQ(run(line), (std::set<GxAtomic*>{a, b}));
    GxIntersection sphere = {};
    sphere.type = gxINTERSECTSPHERE;
    sphere.t.sphere = GxSphere{{10, 0, 13}, 2.5f};
    EXPECT_EQ(run(sphere), (std::set<GxAtomic*>{c}));
    GxIntersection box = {};
    box.type = gxINTERSECTBOX;
    box.t.box = GxBBox{{20, 1, 5}, {5, -1, 0}};
    EXPECT_EQ(run(box), (std::set<GxAtomic*>{a, b}));
    GxIntersection self = {};
    self.type = gxINTERSECTATOMIC;
    self.t.atomic = a;
    EXPECT_TRUE(run(self).empty());
    b->object.object.flags &= static_cast<GxUInt8>(~gxATOMICCOLLISIONTEST);
    line.t.line = GxLine{{0, 0, 4}, {20, 0, 4}};
    EXPECT_EQ(run(line), (std::set<GxAtomic*>{a}));
}

// A line of no length, or an atomic of no radius under a point, reports a distance of 0 rather than 0 / 0.
TEST_F(WorldFile, QueriesOfNoExtentReportADistanceOfZero)
{
    world = Read(Bytes(10, 2));
    ASSERT_NE(world, nullptr);
    GxAtomic* ball = AddAtomic(GxV3d{4, 0, 4}, 3.0f);
    GxAtomic* dot = AddAtomic(GxV3d{16, 0, 4}, 0.0f);
    ASSERT_EQ(GxAtomicGetWorldBoundingSphere(dot)->radius, 0.0f);
    GxIntersection line = {};
    line.type = gxINTERSECTLINE;
    line.t.line = GxLine{{4, 0, 4}, {4, 0, 4}};
    Found found = Run(line);
    EXPECT_EQ(found.atomics, std::vector<GxAtomic*>{ball});
    EXPECT_EQ(found.distances, std::vector<GxReal>{0.0f});
    GxIntersection point = {};
    point.type = gxINTERSECTPOINT;
    point.t.point = GxV3d{16, 0, 4};
    found = Run(point);
    EXPECT_EQ(found.atomics, std::vector<GxAtomic*>{dot});
    EXPECT_EQ(found.distances, std::vector<GxReal>{0.0f});
}

TEST_F(WorldFile, ObjectsTouchingASplitTieToOneSide)
{
    world = Read(Bytes(10, 4));
    ASSERT_NE(world, nullptr);
    ASSERT_FALSE(GxSectorIsAtomic(world->rootSector));
    const GxPlaneSector* root = GxSectorAsPlane(world->rootSector);
    ASSERT_EQ(root->type, 0);  // the ground's first split is across x
    const GxReal split = root->leftValue;
    ASSERT_EQ(root->rightValue, split);
    // Which side of the root split a sector lies on.
    const auto sides = [&](const std::set<GxWorldSector*>& sectors) {
        std::set<bool> out;
        for (const GxWorldSector* s : sectors) {
            out.insert(s->boundingBox.inf.x >= split);
        }
        return out;
    };
    // An atomic whose box's maximum (or minimum) on x lies exactly on `edge`, whatever radius its geometry gives.
    const auto place = [&](GxReal edge, bool maximum) {
        GxAtomic* atomic = AddAtomic(GxV3d{edge, 0, 5}, 1.0f);
        auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
        const GxReal r = GxAtomicGetWorldBoundingSphere(atomic)->radius;
        GxReal x = maximum ? edge - r : edge + r;
        for (int i = 0; i < 8 && (maximum ? x + r : x - r) != edge; i++) {
            x = std::nextafter(x, (maximum ? x + r > edge : x - r > edge) ? -1e9f : 1e9f);
        }
        const GxV3d at = {x, 0, 5};
        GxFrameTranslate(frame, &at, gxCOMBINEREPLACE);
        GxFrameSyncDirty();
        const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
        EXPECT_EQ(maximum ? sphere->center.x + sphere->radius : sphere->center.x - sphere->radius, edge);
        return atomic;
    };
    EXPECT_EQ(sides(Ties(place(split, true))), std::set<bool>{false});
    EXPECT_EQ(sides(Ties(place(split, false))), std::set<bool>{true});
    EXPECT_EQ(sides(Ties(AddAtomic(GxV3d{split, 0, 5}, 1.0f))), (std::set<bool>{false, true}));

    const GxReal r = 1.0f;
    GxLight* light = GxLightCreate(gxLIGHTPOINT);
    GxFrame* frame = GxFrameCreate();
    GxLightSetFrame(light, frame);
    light->radius = r;
    const GxV3d at = {split - r, 0, 5};
    GxFrameTranslate(frame, &at, 0);
    GxWorldAddLight(world, light);
    GxFrameSyncDirty();
    std::set<GxWorldSector*> lit;
    for (GxLink* l = light->worldSectorsInLight.next; l != &light->worldSectorsInLight; l = l->next) {
        lit.insert(reinterpret_cast<GxLightTie*>(reinterpret_cast<char*>(l) - offsetof(GxLightTie, lLight))->sect);
    }
    EXPECT_EQ(sides(lit), std::set<bool>{false});
    GxLightDestroy(light);
    GxFrameDestroy(frame);
}

GxCollTriangle* CountTriangle(GxIntersection*, GxCollTriangle* triangle, GxReal distance, void* data)
{
    static_cast<std::vector<std::pair<GxInt32, GxReal>>*>(data)->push_back({triangle->index, distance});
    return triangle;
}

TEST_F(WorldFile, PixelRaysThroughKnownPointsPickTheAtomicBelow)
{
    world = Read(Bytes(10, 8));
    ASSERT_NE(world, nullptr);
    GxAtomic* target = AddAtomic(GxV3d{10, 0, 10}, 1.0f);
    LookDown(GxV3d{10, 10, 10});
    GxLine ray;
    const GxV2d centre = {32, 32};
    GxCameraCalcPixelRay(camera, &ray, &centre);
    EXPECT_NEAR(ray.end.x, 10, 1e-3f);
    EXPECT_NEAR(ray.end.z, 10, 1e-3f);
    const GxV2d offCentre = {29, 34};
    GxCameraCalcPixelRay(camera, &ray, &offCentre);
    GxIntersection pick = {};
    pick.type = gxINTERSECTLINE;
    pick.t.line = ray;
    EXPECT_EQ(Run(pick).atomics, std::vector<GxAtomic*>{target});
    // Against the atomic's own triangles the ray enters the box's top face.
    std::vector<std::pair<GxInt32, GxReal>> triangles;
    GxAtomicForAllIntersections(target, &pick, CountTriangle, &triangles);
    ASSERT_EQ(triangles.size(), 1u);
    EXPECT_GT(triangles[0].second, 0.0f);
    EXPECT_LT(triangles[0].second, 0.2f);
}

TEST_F(WorldFile, DamagedStreamsAreRefused)
{
    const std::vector<GxUInt8> bytes = Bytes(4, 4);
    ASSERT_NE(world = Read(bytes), nullptr);
    GxWorldDestroy(world);
    world = nullptr;
    for (size_t length = 0; length < bytes.size(); length += 7) {
        EXPECT_EQ(Read(bytes, length), nullptr) << "truncated at " << length;
    }
    // Header 12, struct header 12: counts sit at 16 (triangles), 20 (vertices), 24 (planes), 28 (sectors).
    constexpr size_t kStruct = 24;
    auto patched = [&](size_t at, GxUInt32 value) {
        std::vector<GxUInt8> copy = bytes;
        GxBytesPutU32(&copy[at], value);
        return copy;
    };
    const GxUInt32 planes = GxBytesGetU32(&bytes[kStruct + 24]);
    ASSERT_GT(planes, 0u);
    EXPECT_EQ(Read(patched(kStruct + 24, planes - 1)), nullptr) << "more planes than announced";
    EXPECT_EQ(Read(patched(kStruct + 28, planes)), nullptr) << "more sectors than announced";
    EXPECT_EQ(Read(patched(kStruct + 20, GxBytesGetU32(&bytes[kStruct + 20]) - 1)), nullptr) << "vertices overrun";
    EXPECT_EQ(Read(patched(kStruct + 32, 1)), nullptr) << "collision sector size";
    // The first plane's type, then the first sector's vertex count beyond 16 bits.
    size_t plane = 0, sector = 0;
    for (size_t at = 0; at + 4 <= bytes.size(); at++) {
        const GxUInt32 type = GxBytesGetU32(&bytes[at]);
        if (!plane && type == gxID_PLANESECTOR && GxBytesGetU32(&bytes[at + 8]) == GxBytesGetU32(&bytes[8])) {
            plane = at + 24;
        }
        if (!sector && type == gxID_ATOMICSECTOR && GxBytesGetU32(&bytes[at + 8]) == GxBytesGetU32(&bytes[8])) {
            sector = at + 24;
        }
    }
    ASSERT_TRUE(plane && sector);
    EXPECT_EQ(Read(patched(plane, 12)), nullptr) << "plane type 12";
    EXPECT_EQ(Read(patched(sector + 8, 0x10000)), nullptr) << "sector of 65,536 vertices";
}

// A one-sector world's bytes with the sector's empty extension replaced by `extension` (header included).
std::vector<GxUInt8> WithSectorExtension(std::vector<GxUInt8> bytes, const std::vector<GxUInt8>& extension)
{
    constexpr size_t kHeader = 12;
    size_t sector = 0;
    for (size_t at = 0; at + 4 <= bytes.size() && !sector; at++) {
        if (GxBytesGetU32(&bytes[at]) == gxID_ATOMICSECTOR &&
            GxBytesGetU32(&bytes[at + 8]) == GxBytesGetU32(&bytes[8])) {
            sector = at;
        }
    }
    const size_t empty = bytes.size() - 2 * kHeader;  // the sector's extension, then the world's
    EXPECT_TRUE(sector && GxBytesGetU32(&bytes[empty]) == gxID_EXTENSION && GxBytesGetU32(&bytes[empty + 4]) == 0);
    const auto grow = static_cast<GxUInt32>(extension.size() - kHeader);
    GxBytesPutU32(&bytes[4], GxBytesGetU32(&bytes[4]) + grow);
    GxBytesPutU32(&bytes[sector + 4], GxBytesGetU32(&bytes[sector + 4]) + grow);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(empty),
                bytes.begin() + static_cast<std::ptrdiff_t>(empty + kHeader));
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(empty), extension.begin(), extension.end());
    return bytes;
}

TEST_F(WorldFile, SectorMeshesAreSortedByTheMaterialsTextures)
{
    // Materials 0 and 2 share a texture: their meshes come together, before material 1's.
    GxTexture* textures[2] = {GxTextureCreate(nullptr), GxTextureCreate(nullptr)};
    const char* names[2] = {"shared", "other"};
    for (int i = 0; i < 2; i++) {
        GxTextureSetName(textures[i], names[i]);
        GxTexDictionaryAddTexture(GxTexDictionaryGetCurrent(), textures[i]);
    }
    materials.push_back(GxMaterialCreate());
    for (size_t i = 0; i < materials.size(); i++) {
        GxMaterialSetTexture(materials[i], textures[i % 2 == 0 ? 0 : 1]);
    }
    ContentWorldMesh mesh;
    for (GxUInt16 m = 0; m < 3; m++) {
        const GxReal x0 = m * kCell, x1 = x0 + kCell;
        const GxV3d corners[4] = {{x0, 0, 0}, {x0, 0, kCell}, {x1, 0, kCell}, {x1, 0, 0}};
        ContentWorldAddQuad(&mesh, corners, GxV3d{0, 1, 0}, GxRGBA{200, 200, 200, 255}, m, 1.0f);
    }
    const ContentWorldPlan plan = {gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYNORMALS,
                                   GxBBox{{3 * kCell, 10, kCell}, {0, -10, 0}}, materials, 100};
    world = Read(ContentWorldBytes(mesh, plan));
    ASSERT_NE(world, nullptr);
    GxMeshHeader* header = Sectors(world)[0]->mesh;
    ASSERT_EQ(header->numMeshes, 3u);
    const GxMesh* meshes = GxMeshHeaderGetMeshes(header);
    EXPECT_STREQ(meshes[0].material->texture->name, "shared");
    EXPECT_STREQ(meshes[1].material->texture->name, "shared");
    EXPECT_STREQ(meshes[2].material->texture->name, "other");
}

TEST_F(WorldFile, SectorsKeepAStoredBinMeshAndRefuseADamagedOne)
{
    // A strip world's sector builds strips; its extension then carries them.
    world = Read(Bytes(2, 100, gxGEOMETRYTRISTRIP));
    ASSERT_NE(world, nullptr);
    GxWorldSector* sector = Sectors(world)[0];
    ASSERT_EQ(sector->mesh->flags, gxMESHHEADERTRISTRIP);
    const GxUInt32 total = sector->mesh->totalIndicesInMesh;
    const GxUInt32 meshes = sector->mesh->numMeshes;
    const std::vector<GxUInt8> extension = GxWorldTestWrite(
        [&](GxStream* s) { return GxPluginRegistryWriteDataChunks(&gxWorldSectorTKList, s, sector) != nullptr; });
    EXPECT_EQ(GxPluginRegistryGetSize(&gxWorldSectorTKList, sector), static_cast<GxInt32>(extension.size()) - 12);
    const GxInt32 binMeshSize = static_cast<GxInt32>(12 + 4 * (2 * meshes + total));
    size_t body = 0;  // where the bin mesh's body starts in the extension
    for (size_t at = 12; at + 12 <= extension.size(); at += 12 + GxBytesGetU32(&extension[at + 4])) {
        if (GxBytesGetU32(&extension[at]) == gxID_BINMESH) {
            EXPECT_EQ(GxBytesGetU32(&extension[at + 4]), static_cast<GxUInt32>(binMeshSize));
            body = at + 12;
        }
    }
    ASSERT_NE(body, 0u);
    GxWorldDestroy(world);

    // A list world with that extension keeps the stored strips instead of building lists.
    const std::vector<GxUInt8> stored = WithSectorExtension(Bytes(2, 100), extension);
    world = Read(stored);
    ASSERT_NE(world, nullptr);
    sector = Sectors(world)[0];
    EXPECT_EQ(sector->mesh->flags, gxMESHHEADERTRISTRIP);
    EXPECT_EQ(sector->mesh->totalIndicesInMesh, total);
    EXPECT_EQ(sector->mesh->numMeshes, meshes);
    EXPECT_EQ(GxWorldTestWrite([&](GxStream* s) {
                  return GxPluginRegistryWriteDataChunks(&gxWorldSectorTKList, s, sector) != nullptr;
              }),
              extension);
    GxWorldDestroy(world);
    world = nullptr;

    // A vertex past the sector's, a material past the world's, and a total the meshes do not add up to.
    const size_t firstIndex = body + 12 + 8;
    const std::pair<size_t, GxUInt32> patches[] = {{firstIndex, 0xFFFF}, {body + 16, 2}, {body + 8, total - 1}};
    for (const auto& [at, value] : patches) {
        std::vector<GxUInt8> bad = extension;
        GxBytesPutU32(&bad[at], value);
        EXPECT_EQ(Read(WithSectorExtension(Bytes(2, 100), bad)), nullptr) << "patch at " << at;
    }
    GxTestTakeError();
}

TEST_F(WorldFile, OlderSectorsStoreTheMaterialFirst)
{
    const std::vector<GxUInt8> bytes = Bytes(2, 100);  // one sector
    GxWorld* current = Read(bytes);
    ASSERT_NE(current, nullptr);
    ASSERT_EQ(current->rootSector->type, gxATOMICSECTORTYPE);
    const GxWorldSector* sector = reinterpret_cast<GxWorldSector*>(current->rootSector);
    std::vector<GxUInt8> older = bytes;
    size_t at = 0;
    while (GxBytesGetU32(&older[at]) != gxID_ATOMICSECTOR ||
           GxBytesGetU32(&older[at + 8]) != GxBytesGetU32(&older[8])) {
        at++;
    }
    GxBytesPutU32(&older[at + 8], GxStreamMakeLibraryStamp(gxVERSIONMIN, gxLIBRARYBUILD));
    const size_t vertices = sector->numVertices;
    size_t triangles = at + 12 + 12 + 44 + vertices * (12 + 4 + 4 + 8);
    for (GxUInt32 t = 0; t < sector->numTriangles; t++, triangles += 8) {
        const GxTriangle& tri = sector->triangles[t];
        GxBytesPutU16(&older[triangles], tri.matIndex);
        for (GxInt32 k = 0; k < 3; k++) {
            GxBytesPutU16(&older[triangles + 2 + 2 * k], tri.vertIndex[k]);
        }
    }
    world = Read(older);
    ASSERT_NE(world, nullptr);
    const GxWorldSector* converted = reinterpret_cast<GxWorldSector*>(world->rootSector);
    ASSERT_EQ(converted->numTriangles, sector->numTriangles);
    EXPECT_EQ(memcmp(converted->triangles, sector->triangles, sector->numTriangles * sizeof(GxTriangle)), 0);
    GxWorldDestroy(current);
}

// A chain of planes each with an empty sector on its left: deeper than the walk stack holds is refused.
std::vector<GxUInt8> PlaneChain(GxInt32 planes, const std::vector<GxMaterial*>& materials)
{
    ContentWorldMesh none;
    ContentWorldPlan plan = {gxGEOMETRYPOSITIONS, GxBBox{{1, 1, 1}, {0, 0, 0}}, materials, 1};
    const std::vector<GxUInt8> empty = ContentWorldBytes(none, plan);  // the world with one empty sector
    // Pieces of the one-sector world: header+struct (88), material list, sector chunk, extension (12).
    const size_t matEnd = 12 + 76 + 12 + GxBytesGetU32(&empty[12 + 76 + 4]);
    const std::vector<GxUInt8> head(empty.begin(), empty.begin() + static_cast<long>(matEnd));
    const std::vector<GxUInt8> sector(empty.begin() + static_cast<long>(matEnd), empty.end() - 12);
    std::vector<GxUInt8> tree = sector;
    for (GxInt32 i = 0; i < planes; i++) {
        std::vector<GxUInt8> node(12 + 12 + 24);
        GxBytesPutU32(&node[0], gxID_PLANESECTOR);
        GxBytesPutU32(&node[4], static_cast<GxUInt32>(36 + sector.size() + tree.size()));
        GxBytesPutU32(&node[8], GxBytesGetU32(&empty[8]));
        GxBytesPutU32(&node[12], gxID_STRUCT);
        GxBytesPutU32(&node[16], 24);
        GxBytesPutU32(&node[20], GxBytesGetU32(&empty[8]));
        GxBytesPutU32(&node[32], 1);               // left is a sector
        GxBytesPutU32(&node[36], i == 0 ? 1 : 0);  // right: the chain so far
        node.insert(node.end(), sector.begin(), sector.end());
        node.insert(node.end(), tree.begin(), tree.end());
        tree = node;
    }
    std::vector<GxUInt8> out = head;
    out.insert(out.end(), tree.begin(), tree.end());
    out.insert(out.end(), empty.end() - 12, empty.end());
    GxBytesPutU32(&out[4], static_cast<GxUInt32>(out.size() - 12));
    GxBytesPutU32(&out[24], planes > 0 ? 0 : 1);
    GxBytesPutU32(&out[24 + 24], static_cast<GxUInt32>(planes));
    GxBytesPutU32(&out[24 + 28], static_cast<GxUInt32>(planes + 1));
    return out;
}

TEST_F(WorldFile, TreesDeeperThanTheWalkStackAreRefused)
{
    world = Read(PlaneChain(gxWORLDMAXPLANEDEPTH, materials));
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(Sectors(world).size(), static_cast<size_t>(gxWORLDMAXPLANEDEPTH + 1));
    EXPECT_EQ(Read(PlaneChain(gxWORLDMAXPLANEDEPTH + 1, materials)), nullptr);
}

}  // namespace
