// Worlds made in memory, the world-object hooks' failures, primitive intersection tests and collision trees.
#include "gfx/world/world.h"

#include <cmath>
#include <optional>
#include <set>

#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/pipeline.h"
#include "gfx/world/collision.h"
#include "gfx/world/collision_testing.h"
#include "gfx/world/material.h"
#include "gfx/world/world_testing.h"
#include "gfx/world/worldobj_local.h"

namespace {

class WorldObjects : public WorldTest {};

TEST_F(WorldObjects, CreatedWorldHasOneEmptySectorThatDrawsNothing)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    std::vector<GxWorldSector*> sectors;
    GxWorldForAllWorldSectors(
        world,
        [](GxWorldSector* s, void* data) {
            static_cast<std::vector<GxWorldSector*>*>(data)->push_back(s);
            return s;
        },
        &sectors);
    ASSERT_EQ(sectors.size(), 1u);
    EXPECT_EQ(sectors[0]->numTriangles, 0);
    EXPECT_EQ(sectors[0]->boundingBox.sup.x, 10);
    EXPECT_EQ(GxWorldSectorRender(sectors[0]), sectors[0]);
    EXPECT_EQ(GxWorldSectorGetWorld(sectors[0]), world);
    GxClump* clump = GxClumpCreate();
    GxAtomic* atomic = GxAtomicCreate();
    GxClumpAddAtomic(clump, atomic);
    EXPECT_EQ(GxWorldRemoveClump(world, clump), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNOTINWORLD);
    EXPECT_EQ(GxAtomicGetWorld(atomic), nullptr);
    GxWorldAddClump(world, clump);
    GxWorldAddClump(world, clump);
    EXPECT_EQ(GxClumpGetWorld(clump), world);
    EXPECT_EQ(GxAtomicGetWorld(atomic), world) << "the clump's atomics enter with it";
    EXPECT_EQ(world->numClumpsInWorld, 1) << "added twice, listed once";
    GxClumpDestroy(clump);  // leaves the world on its way out
    EXPECT_TRUE(GxLinkIsEmpty(&world->clumpList));
    EXPECT_EQ(world->numClumpsInWorld, 0);
    GxCamera* camera = GxCameraCreate();
    GxWorldAddCamera(world, camera);
    EXPECT_EQ(GxCameraGetWorld(camera), world);
    EXPECT_TRUE(GxWorldDestroy(world));
    EXPECT_EQ(GxCameraGetWorld(camera), nullptr) << "a destroyed world leaves its cameras";
    EXPECT_EQ(GxCameraGetNumVisibleSectors(camera), 0);
    GxCameraDestroy(camera);
}

// The world attach registers the engine modules in the engine's order, then the world-object module, then the clump
// membership extensions of cameras and lights.
TEST_F(WorldObjects, ModulesAndExtensionsAttachInTheirOrder)
{
    const GxUInt32 sized[] = {gxPLUGINMATERIALMODULE, gxPLUGINMESHMODULE, gxPLUGINSECTORMODULE, gxPLUGINCLUMPMODULE,
                              gxPLUGINLIGHTMODULE};
    for (size_t i = 1; i < sizeof(sized) / sizeof(sized[0]); i++)
        EXPECT_LT(GxEngineGetPluginOffset(sized[i - 1]), GxEngineGetPluginOffset(sized[i])) << i;
    EXPECT_LT(GxEngineGetPluginOffset(gxPLUGINLIGHTMODULE), GxEngineGetPluginOffset(gxPLUGINOPENCOUNTMODULE));
    EXPECT_LE(GxEngineGetPluginOffset(gxPLUGINOPENCOUNTMODULE), GxEngineGetPluginOffset(gxPLUGINWORLDMODULE));
    EXPECT_LT(GxEngineGetPluginOffset(gxPLUGINWORLDMODULE), GxEngineGetPluginOffset(gxPLUGINWORLDOBJMODULE));
    EXPECT_LT(GxLightGetPluginOffset(gxPLUGINWORLDOBJMODULE), GxClumpLightMembershipOffset());
}

// A new atomic was last rendered in the frame before the current one, also when the counter has wrapped to 0,
// so the world render never takes it for one already drawn this frame.
TEST_F(WorldObjects, NewAtomicsWereLastRenderedTheFrameBefore)
{
    while (GxWorldGetRenderFrame() != 0) {
        GxWorldBumpRenderFrame();
    }
    GxAtomic* wrapped = GxAtomicCreate();
    EXPECT_EQ(wrapped->renderFrame, 0xFFFF);
    GxWorldBumpRenderFrame();
    GxWorldBumpRenderFrame();
    GxAtomic* later = GxAtomicCreate();
    EXPECT_EQ(later->renderFrame, 1);
    GxAtomicDestroy(wrapped);
    GxAtomicDestroy(later);
}

std::vector<GxInt32> sectorOrders;
GxBool RecordSectorOrder(void* out, void* inOut, GxInt32 in)
{
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(inOut, nullptr);
    sectorOrders.push_back(in);
    return 0;
}

TEST_F(WorldObjects, CameraSyncTellsTheDeviceTheSectorOrder)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    GxObjectSetFrame(&camera->object, frame);
    GxStandardFunc& entry = GxEngineInstance->stdFunc[gxSTANDARDSECTORORDER];
    const GxStandardFunc saved = entry;
    entry = RecordSectorOrder;
    sectorOrders.clear();
    GxFrameSetDirty(frame);
    GxFrameSyncDirty();
    EXPECT_TRUE(sectorOrders.empty()) << "a camera in no world lists no sectors";
    GxWorldAddCamera(world, camera);
    GxFrameSyncDirty();
    world->renderOrder = gxWORLDRENDERFRONTTOBACK;
    GxFrameSetDirty(frame);
    GxFrameSyncDirty();
    EXPECT_EQ(sectorOrders, (std::vector<GxInt32>{0, 1}));
    entry = saved;
    GxWorldDestroy(world);
    GxCameraDestroy(camera);
    GxFrameDestroy(frame);
}

std::vector<std::pair<char, GxWorldSector*>> drawnSectors;
GxWorldSector* DrawnInA(GxWorldSector* sector) { return drawnSectors.emplace_back('A', sector), sector; }
GxWorldSector* DrawnInB(GxWorldSector* sector) { return drawnSectors.emplace_back('B', sector), sector; }

// The world drawn is the current one, through the current camera, whatever world is named.
TEST_F(WorldObjects, RenderDrawsTheCurrentWorldThroughTheCurrentCamera)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* a = GxWorldCreate(&box);
    GxWorld* b = GxWorldCreate(&box);
    ASSERT_TRUE(a && b);
    GxWorldSetSectorRenderCallback(a, DrawnInA);
    GxWorldSetSectorRenderCallback(b, DrawnInB);
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    GxObjectSetFrame(&camera->object, frame);
    GxWorldAddCamera(a, camera);
    GxFrameSyncDirty();
    ASSERT_EQ(GxCameraGetNumVisibleSectors(camera), 1);
    drawnSectors.clear();
    GxEngineInstance->curCamera = camera;
    GxWorldRender(b);
    EXPECT_TRUE(drawnSectors.empty()) << "a camera in no world makes none current";
    GxEngineInstance->curWorld = a;
    GxWorldRender(b);
    GxEngineInstance->curCamera = nullptr;
    GxEngineInstance->curWorld = nullptr;
    ASSERT_EQ(drawnSectors.size(), 1u);
    EXPECT_EQ(drawnSectors[0].first, 'A');
    EXPECT_EQ(drawnSectors[0].second, GxCameraGetVisibleSector(camera, 0));
    GxWorldDestroy(a);
    GxWorldDestroy(b);
    GxCameraDestroy(camera);
    GxFrameDestroy(frame);
}

// Removing a light clears its world and unlinks it from the list it is in, whatever world is named.
TEST_F(WorldObjects, RemovingALightUnlinksItFromItsList)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* a = GxWorldCreate(&box);
    GxWorld* b = GxWorldCreate(&box);
    ASSERT_TRUE(a && b);
    GxLight* light = GxLightCreate(gxLIGHTPOINT);
    ASSERT_NE(light, nullptr);
    GxWorldAddLight(a, light);
    EXPECT_FALSE(GxLinkIsEmpty(&a->lightList));
    EXPECT_EQ(GxWorldRemoveLight(b, light), b);
    EXPECT_EQ(GxLightGetWorld(light), nullptr);
    EXPECT_TRUE(GxLinkIsEmpty(&a->lightList));
    EXPECT_EQ(GxWorldRemoveLight(a, light), a);
    // A light destroyed while in a world leaves it.
    GxWorldAddLight(a, light);
    GxLightDestroy(light);
    EXPECT_TRUE(GxLinkIsEmpty(&a->lightList));
    GxWorldDestroy(a);
    GxWorldDestroy(b);
}

// A destroyed world lets go of what is in it, so nothing keeps a freed world or ties to its freed sectors.
TEST_F(WorldObjects, ADestroyedWorldLetsGoOfItsClumpsAndLights)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    GxClump* clump = GxClumpCreate();
    GxFrame* frame = GxFrameCreate();
    GxClumpSetFrame(clump, frame);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetFrame(atomic, frame);
    GxClumpAddAtomic(clump, atomic);
    GxLight* light = GxLightCreate(gxLIGHTPOINT);
    GxWorldAddClump(world, clump);
    GxWorldAddLight(world, light);
    GxFrameSyncDirty();
    EXPECT_TRUE(GxWorldDestroy(world));
    EXPECT_EQ(GxClumpGetWorld(clump), nullptr);
    EXPECT_EQ(GxAtomicGetWorld(atomic), nullptr);
    EXPECT_TRUE(GxLinkIsEmpty(&atomic->llWorldSectorsInAtomic));
    EXPECT_EQ(GxLightGetWorld(light), nullptr);
    GxLightDestroy(light);
    GxClumpDestroy(clump);
}

TEST_F(WorldObjects, CopiesOfObjectsInAWorldEnterTheSameWorld)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    GxClump* clump = GxClumpCreate();
    GxWorldAddClump(world, clump);
    GxClump* clumpCopy = GxClumpClone(clump);
    ASSERT_NE(clumpCopy, nullptr);
    EXPECT_EQ(GxClumpGetWorld(clumpCopy), world);
    EXPECT_EQ(world->numClumpsInWorld, 2);
    GxClumpDestroy(clumpCopy);
    GxClumpDestroy(clump);
    EXPECT_TRUE(GxWorldDestroy(world));
}

// A plane whose left side ends at x = -5 and whose right side starts at x = 5, and a camera at the origin
// looking along z whose frustum lies between the two: the walk lists the right side.
TEST_F(WorldObjects, AFrustumBetweenThePlaneBoundsListsTheRightSide)
{
    const GxBBox box = {{10, 10, 10}, {-10, -10, -10}};
    GxWorld* world = GxWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    GxSector* only = world->rootSector;
    GxWorldSector right = {};
    right.type = gxATOMICSECTORTYPE;
    GxLinkInit(&right.collAtomicsInWorldSector);
    GxLinkInit(&right.lightsInWorldSector);
    right.boundingBox = box;
    GxPlaneSector plane = {0, 0.0f, only, reinterpret_cast<GxSector*>(&right), -5.0f, 5.0f};
    world->rootSector = reinterpret_cast<GxSector*>(&plane);
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    GxObjectSetFrame(&camera->object, frame);
    GxCameraSetFarClipPlane(camera, 2.0f);
    GxWorldAddCamera(world, camera);
    GxFrameSyncDirty();
    ASSERT_EQ(GxCameraGetNumVisibleSectors(camera), 1);
    EXPECT_EQ(GxCameraGetVisibleSector(camera, 0), &right);
    GxWorldRemoveCamera(world, camera);
    GxObjectSetFrame(&camera->object, nullptr);
    GxCameraDestroy(camera);
    GxFrameDestroy(frame);
    world->rootSector = only;
    EXPECT_TRUE(GxWorldDestroy(world));
}

// Hooks that fail, installed by plugins registered before the world-object module so that it saves them.
GxFramedObject* FailingSync(GxFramedObject*) { return nullptr; }
GxCamera* FailingBegin(GxCamera* camera)
{
    GxEngineInstance->curCamera = camera;  // as the default begin update does before it can fail
    return nullptr;
}

class WorldHookFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxTestRecordingSetup(RegisterFailingHooks));
        GX_ASSERT_ENGINE_STARTED(*engine);
    }
    void TearDown() override { engine.reset(); }
    std::optional<GxTestEngine> engine;

    static bool RegisterFailingHooks()
    {
        constexpr GxUInt32 kTestPlugin = 0xF00;
        GxLightRegisterPlugin(
            0, kTestPlugin,
            [](void* o, GxInt32, GxInt32) {
                static_cast<GxLight*>(o)->object.sync = FailingSync;
                return o;
            },
            nullptr, nullptr);
        GxCameraRegisterPlugin(
            0, kTestPlugin,
            [](void* o, GxInt32, GxInt32) {
                static_cast<GxCamera*>(o)->beginUpdate = FailingBegin;
                return o;
            },
            nullptr, nullptr);
        return GxWorldPluginAttach() != 0;
    }
};

TEST_F(WorldHookFailures, FailedSyncAndBeginUpdateReportFailureAndLeaveTheCameraAndWorldCurrent)
{
    GxLight* light = GxLightCreate(gxLIGHTPOINT);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->object.sync(&light->object), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRNULLARG);
    GxLightDestroy(light);

    const GxBBox box = {{1, 1, 1}, {-1, -1, -1}};
    GxWorld* world = GxWorldCreate(&box);
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = GxFrameCreate();
    camera->object.object.parent = frame;
    GxLinkAddAfter(&frame->objectList, &camera->object.inFrameList);
    GxWorldAddCamera(world, camera);
    const GxUInt16 frameBefore = GxWorldGetRenderFrame();
    EXPECT_EQ(GxCameraBeginUpdate(camera), nullptr);
    EXPECT_EQ(GxEngineInstance->curCamera, camera);
    EXPECT_EQ(GxEngineInstance->curWorld, world);
    EXPECT_EQ(GxWorldGetRenderFrame(), static_cast<GxUInt16>(frameBefore + 1));
    GxEngineInstance->curWorld = nullptr;
    GxLinkRemove(&camera->object.inFrameList);
    camera->object.object.parent = nullptr;
    GxCameraDestroy(camera);
    GxFrameDestroy(frame);
    GxWorldDestroy(world);
}

TEST(Intersections, LineTriangleIsOneSidedAndEndsExactly)
{
    const GxV3d a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0};  // normal +z
    GxReal distance = -1;
    const GxV3d start = {0.2f, 0.2f, 1}, down = {0, 0, -1};
    EXPECT_TRUE(GxIntersectLineTriangle(&start, &down, &a, &b, &c, &distance));
    EXPECT_NEAR(distance, 1.0f, 1e-6f);
    const GxV3d up = {0, 0, 1}, below = {0.2f, 0.2f, -1};
    EXPECT_FALSE(GxIntersectLineTriangle(&below, &up, &a, &b, &c, &distance)) << "seen from behind";
    const GxV3d along = {1, 0, 0};
    EXPECT_FALSE(GxIntersectLineTriangle(&start, &along, &a, &b, &c, &distance)) << "parallel";
    const GxV3d shortDown = {0, 0, -(1 - 1e-4f)};
    EXPECT_FALSE(GxIntersectLineTriangle(&start, &shortDown, &a, &b, &c, &distance)) << "stops short";

    GxV3d normal;
    const GxSphere touching = {{0.2f, 0.2f, 0.5f}, 0.6f};
    EXPECT_TRUE(GxIntersectSphereTriangle(&touching, &a, &b, &c, &normal, &distance));
    EXPECT_NEAR(distance, 0.5f, 1e-6f);
    EXPECT_NEAR(normal.z, 1.0f, 1e-6f);
    const GxSphere beside = {{2, 2, 0}, 0.5f};
    EXPECT_FALSE(GxIntersectSphereTriangle(&beside, &a, &b, &c, &normal, &distance));
    const GxSphere nearCorner = {{1.3f, -0.1f, 0}, 0.35f};
    EXPECT_TRUE(GxIntersectSphereTriangle(&nearCorner, &a, &b, &c, &normal, &distance));
}

// A tree over triangles 0..3 of a strip along x: one split on x with two leaves of two entries.
GxCollTree* StripTree(bool map)
{
    GxCollTree* tree = GxCollTreeCreate(4, 1, map);
    tree->box = GxBBox{{4, 1, 0}, {0, 0, 0}};
    tree->splits[0] = GxCollSplit{{0, 2, 0, 2.0f}, {0, 2, 2, 2.0f}};
    if (map) {
        const GxUInt16 order[4] = {0, 1, 2, 3};
        std::copy(order, order + 4, tree->map);
    }
    return tree;
}

std::vector<GxUInt8> TreeBytes(const GxCollTree* tree)
{
    return GxWorldTestWrite([&](GxStream* s) { return GxCollTreeStreamWrite(tree, s) != 0; });
}

GxCollTree* ReadTree(const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
{
    GxStream* stream = GxWorldTestOpen(bytes, length);
    GxCollTree* tree = GxCollTreeStreamRead(stream, static_cast<GxInt32>(std::min(length, bytes.size())), 4, nullptr);
    GxStreamClose(stream, nullptr);
    return tree;
}

class CollisionTrees : public WorldTest {};

TEST_F(CollisionTrees, BrokenIndexesAndCyclesAndTruncationsAreRefused)
{
    GxCollTree* good = StripTree(true);
    const std::vector<GxUInt8> bytes = TreeBytes(good);
    GxCollTree* back = ReadTree(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->splits[0].right.index, 2);
    GxCollTreeDestroy(back);
    for (size_t length = 0; length < bytes.size(); length++) {
        EXPECT_EQ(ReadTree(bytes, length), nullptr) << "truncated at " << length;
    }
    auto refused = [&](auto damage, const char* what) {
        GxCollTree* tree = StripTree(true);
        damage(tree);
        const std::vector<GxUInt8> damaged = TreeBytes(tree);
        GxCollTreeDestroy(tree);
        EXPECT_EQ(ReadTree(damaged), nullptr) << what;
    };
    refused([](GxCollTree* t) { t->splits[0].right.index = 3; }, "leaf past the entries");
    refused([](GxCollTree* t) { t->map[1] = 4; }, "entry names a missing triangle");
    refused(
        [](GxCollTree* t) {
            t->splits[0].left = GxCollChild{0, gxCOLLSPLITCHILD, 0, 0};
        },
        "split is its own child");
    refused(
        [](GxCollTree* t) {
            t->splits[0].left = GxCollChild{0, gxCOLLSPLITCHILD, 5, 0};
        },
        "child split out of range");
    refused([](GxCollTree* t) { t->splits[0].left.axis = 12; }, "axis");
    refused([](GxCollTree* t) { t->splits[0].left.kind = gxCOLLMAXLEAF + 1; }, "leaf too big");
    GxCollTreeDestroy(good);
}

GxCollTriangle* Order(GxIntersection*, GxCollTriangle* triangle, GxReal, void* data)
{
    static_cast<std::vector<GxInt32>*>(data)->push_back(triangle->index);
    return triangle;
}

TEST_F(CollisionTrees, LinesThroughATreeFindTheSameTrianglesNearerLeavesFirst)
{
    // The tree splits the stacked triangles on z.
    GxGeometry* geometry = GxWorldTestStackedTriangles();
    ASSERT_NE(geometry, nullptr);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    GxIntersection query = {};
    query.type = gxINTERSECTLINE;
    query.t.line = GxLine{{0.25f, 0.25f, 1}, {0.25f, 0.25f, -4}};
    std::vector<GxInt32> brute, treed;
    GxAtomicForAllIntersections(atomic, &query, Order, &brute);
    EXPECT_EQ(brute, (std::vector<GxInt32>{0, 1, 2, 3}));
    GxCollTree* tree = GxCollTreeCreate(4, 1, 0);
    tree->box = GxBBox{{1, 1, 0}, {0, 0, -3}};
    tree->splits[0] = GxCollSplit{{8, 2, 0, -2.0f}, {8, 2, 2, -1.0f}};
    GxCollisionGeometrySetTree(geometry, tree);
    GxAtomicForAllIntersections(atomic, &query, Order, &treed);
    EXPECT_EQ(treed, (std::vector<GxInt32>{2, 3, 0, 1}));
    std::vector<GxInt32> touched;
    query.type = gxINTERSECTSPHERE;
    query.t.sphere = GxSphere{{0.2f, 0.2f, -2.1f}, 0.5f};
    GxAtomicForAllIntersections(atomic, &query, Order, &touched);
    EXPECT_EQ(touched, (std::vector<GxInt32>{1}));
    GxGeometryDestroy(geometry);
    GxAtomicDestroy(atomic);
}

// A box touching a split value: the tie walk takes only the side the box reaches into, queries take both.
TEST(SectorWalks, TiesTakeOneSideOfATouchedSplitAndQueriesBoth)
{
    GxWorldSector left = {};
    GxWorldSector right = {};
    left.type = right.type = gxATOMICSECTORTYPE;
    GxPlaneSector plane = {0,     10.0f, reinterpret_cast<GxSector*>(&left), reinterpret_cast<GxSector*>(&right),
                           10.0f, 10.0f};
    GxWorld world = {};
    world.rootSector = reinterpret_cast<GxSector*>(&plane);
    const auto walk = [&](GxReal inf, GxReal sup, GxSplitTouch touch) {
        std::set<GxWorldSector*> seen;
        const GxBBox box = {{sup, 1, 1}, {inf, 0, 0}};
        GxWorldForSectorsInBox(
            &world, box, [&](GxWorldSector* sector) { return seen.insert(sector).second; }, touch);
        return seen;
    };
    const std::set<GxWorldSector*> both = {&left, &right};
    EXPECT_EQ(walk(8, 10, GxSplitTouch::kOneSide), std::set<GxWorldSector*>{&left});
    EXPECT_EQ(walk(10, 12, GxSplitTouch::kOneSide), std::set<GxWorldSector*>{&right});
    EXPECT_EQ(walk(9, 11, GxSplitTouch::kOneSide), both);
    EXPECT_EQ(walk(8, 10, GxSplitTouch::kBothSides), both);
    EXPECT_EQ(walk(10, 12, GxSplitTouch::kBothSides), both);
    // Sides that end at 5 and start at 15: a box between them ties nowhere, and a query looks left.
    plane.leftValue = 5.0f;
    plane.rightValue = 15.0f;
    EXPECT_EQ(walk(8, 12, GxSplitTouch::kOneSide), std::set<GxWorldSector*>{});
    EXPECT_EQ(walk(8, 12, GxSplitTouch::kBothSides), std::set<GxWorldSector*>{&left});
    EXPECT_EQ(walk(8, 16, GxSplitTouch::kBothSides), std::set<GxWorldSector*>{&right});
}

// Two sectors split at x = 10 and boxes of half-size 1 that move between them: every sync re-ties the moved
// atomic, which must leave each sector listing exactly its atomics, the last tied first.
class SectorTies : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        for (GxWorldSector* sector : {&left, &right}) {
            sector->type = gxATOMICSECTORTYPE;
            GxLinkInit(&sector->collAtomicsInWorldSector);
            GxLinkInit(&sector->lightsInWorldSector);
        }
        plane = {0, 10.0f, reinterpret_cast<GxSector*>(&left), reinterpret_cast<GxSector*>(&right), 10.0f, 10.0f};
        world.rootSector = reinterpret_cast<GxSector*>(&plane);
        GxLinkInit(&world.clumpList);
        geometry = GxWorldTestBox(nullptr, nullptr);
        ASSERT_NE(geometry, nullptr);
    }
    void TearDown() override
    {
        for (GxClump* clump : clumps) {
            GxWorldRemoveClump(&world, clump);
            GxClumpDestroy(clump);
        }
        GxGeometryDestroy(geometry);
        WorldTest::TearDown();
    }
    GxAtomic* Add(GxReal x)
    {
        GxClump* clump = GxClumpCreate();
        GxFrame* frame = GxFrameCreate();
        GxAtomic* atomic = GxAtomicCreate();
        GxAtomicSetGeometry(atomic, geometry, 0);
        GxAtomicSetFrame(atomic, frame);
        GxClumpAddAtomic(clump, atomic);
        GxClumpSetFrame(clump, frame);
        GxWorldAddClump(&world, clump);
        clumps.push_back(clump);
        MoveTo(atomic, x);
        return atomic;
    }
    static void MoveTo(GxAtomic* atomic, GxReal x) { MoveTo(atomic, GxV3d{x, 0, 0}); }
    static void MoveTo(GxAtomic* atomic, const GxV3d& at)
    {
        GxFrameTranslate(GxFramedObjectGetFrame(&atomic->object), &at, gxCOMBINEREPLACE);
        GxFrameSyncDirty();
    }
    static std::vector<GxAtomic*> Tied(GxWorldSector& sector)
    {
        std::vector<GxAtomic*> atomics;
        GxLink* head = &sector.collAtomicsInWorldSector;
        for (GxLink* link = head->next; link != head; link = link->next) {
            GxTie* tie = GxTieFromSectorLink(link);
            EXPECT_EQ(tie->worldSector, &sector);
            atomics.push_back(tie->apAtom);
        }
        return atomics;
    }
    static std::vector<GxWorldSector*> SectorsOf(GxAtomic* atomic)
    {
        std::vector<GxWorldSector*> sectors;
        GxLink* head = &atomic->llWorldSectorsInAtomic;
        for (GxLink* link = head->next; link != head; link = link->next) {
            EXPECT_EQ(GxTieFromAtomicLink(link)->apAtom, atomic);
            sectors.push_back(GxTieFromAtomicLink(link)->worldSector);
        }
        return sectors;
    }
    GxWorldSector left = {};
    GxWorldSector right = {};
    GxPlaneSector plane = {};
    GxWorld world = {};
    GxGeometry* geometry = nullptr;
    std::vector<GxClump*> clumps;
};

TEST_F(SectorTies, MovedAtomicsAreRetiedToExactlyTheSectorsTheyReach)
{
    using Atomics = std::vector<GxAtomic*>;
    using Sectors = std::vector<GxWorldSector*>;
    GxAtomic* a = Add(5);
    GxAtomic* b = Add(5);
    EXPECT_EQ(Tied(left), (Atomics{b, a}));
    EXPECT_TRUE(Tied(right).empty());

    MoveTo(a, 10);  // across the split: two ties from one
    EXPECT_EQ(Tied(left), (Atomics{a, b}));
    EXPECT_EQ(Tied(right), (Atomics{a}));
    EXPECT_EQ(SectorsOf(a), (Sectors{&right, &left}));

    MoveTo(b, 15);  // one tie moves sector
    EXPECT_EQ(Tied(left), (Atomics{a}));
    EXPECT_EQ(Tied(right), (Atomics{b, a}));
    EXPECT_EQ(SectorsOf(b), (Sectors{&right}));

    MoveTo(a, 15);  // two ties become one
    EXPECT_EQ(Tied(left), Atomics{});
    EXPECT_EQ(Tied(right), (Atomics{a, b}));
    EXPECT_EQ(SectorsOf(a), (Sectors{&right}));

    MoveTo(b, 15.5f);  // in place: still listed once, now first
    EXPECT_EQ(Tied(right), (Atomics{b, a}));
    EXPECT_EQ(SectorsOf(b), (Sectors{&right}));
}

TEST_F(SectorTies, ANewGeometryOrALostAtomicMarksTheFrameForTheNextSync)
{
    GxAtomic* a = Add(5);
    EXPECT_EQ(SectorsOf(a), (std::vector<GxWorldSector*>{&left}));
    GxGeometry* big = GxWorldTestBox(nullptr, nullptr, 4.0f);
    ASSERT_NE(big, nullptr);
    GxAtomicSetGeometry(a, big, 0);
    GxGeometryDestroy(big);
    GxFrameSyncDirty();
    EXPECT_EQ(SectorsOf(a), (std::vector<GxWorldSector*>{&right, &left}));
    GxFrame* frame = GxFramedObjectGetFrame(&a->object);
    GxAtomicDestroy(a);
    EXPECT_TRUE(GxFrameIsDirty(frame));
    GxFrameSyncDirty();
}

// The right side of x = 10 split again on z, with overlapping sides: a re-tie that keeps the last walk's sectors
// must agree with a fresh walk at every step, across and exactly at each split value. The z sides end where the
// box of an atomic centred at z = 2 begins and the box of one centred at z = -2 ends, so those boxes touch them
// exactly.
class NestedSectorTies : public SectorTies {
protected:
    void SetUp() override
    {
        SectorTies::SetUp();
        for (GxWorldSector* sector : {&nearZ, &farZ}) {
            sector->type = gxATOMICSECTORTYPE;
            GxLinkInit(&sector->collAtomicsInWorldSector);
            GxLinkInit(&sector->lightsInWorldSector);
        }
        const GxReal r = geometry->morphTarget[0].boundingSphere.radius;
        zPlane = {kZAxis,
                  0.0f,
                  reinterpret_cast<GxSector*>(&nearZ),
                  reinterpret_cast<GxSector*>(&farZ),
                  kLeftEdgeCentre - r,
                  kRightEdgeCentre + r};
        plane.rightSubTree = reinterpret_cast<GxSector*>(&zPlane);
    }
    // A fresh walk's sectors for the atomic's box, in the order the atomic lists its ties (last visited first).
    std::vector<GxWorldSector*> Expected(GxAtomic* atomic)
    {
        const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
        const GxV3d& c = sphere->center;
        const GxReal r = sphere->radius;
        const GxBBox box = {{c.x + r, c.y + r, c.z + r}, {c.x - r, c.y - r, c.z - r}};
        std::vector<GxWorldSector*> sectors;
        GxWorldForSectorsInBox(
            &world, box,
            [&](GxWorldSector* sector) {
                sectors.insert(sectors.begin(), sector);
                return true;
            },
            GxSplitTouch::kOneSide);
        return sectors;
    }
    static constexpr GxInt32 kZAxis = 8;
    static constexpr GxReal kLeftEdgeCentre = 2.0f;
    static constexpr GxReal kRightEdgeCentre = -2.0f;
    GxWorldSector nearZ = {};
    GxWorldSector farZ = {};
    GxPlaneSector zPlane = {};
};

TEST_F(NestedSectorTies, RetiesInPlaceOnlyWhileEverySplitIsTakenAsBefore)
{
    GxAtomic* a = Add(5);
    GxAtomic* b = Add(5);
    const GxReal r = GxAtomicGetWorldBoundingSphere(a)->radius;
    // Runs of neighbouring floats that carry a box edge across each split value one float at a time, upwards
    // then downwards, then a sweep.
    constexpr GxInt32 kSteps = 4;
    const auto across = [](GxReal edge) {
        std::vector<GxReal> run = {edge};
        for (GxInt32 i = 0; i < kSteps; i++) {
            run.insert(run.begin(), std::nextafter(run.front(), -100.0f));
            run.push_back(std::nextafter(run.back(), 100.0f));
        }
        std::vector<GxReal> back(run.rbegin(), run.rend());
        run.insert(run.end(), back.begin(), back.end());
        return run;
    };
    std::vector<GxV3d> path;
    for (const GxReal z : {5.0f, -5.0f}) {
        for (const GxReal edge : {10.0f - r, 10.0f + r}) {
            for (const GxReal x : across(edge)) {
                path.push_back({x, 0, z});
            }
        }
    }
    for (const GxReal edge : {kLeftEdgeCentre, kRightEdgeCentre}) {
        for (const GxReal z : across(edge)) {
            path.push_back({15, 0, z});
        }
    }
    for (GxInt32 step = 0; step < 64; step++) {
        path.push_back({6.0f + 0.25f * static_cast<GxReal>(step % 32), 0.5f * static_cast<GxReal>(step % 5),
                        -4.0f + 0.375f * static_cast<GxReal>(step % 23)});
    }
    for (const GxV3d& at : path) {
        MoveTo(a, at);
        const std::vector<GxWorldSector*> expected = Expected(a);
        ASSERT_EQ(SectorsOf(a), expected) << "at " << at.x << ", " << at.y << ", " << at.z;
        for (GxWorldSector* sector : expected) {
            ASSERT_EQ(Tied(*sector).front(), a) << "the last tied comes first";
        }
    }
    EXPECT_EQ(SectorsOf(b), (std::vector<GxWorldSector*>{&left}));
}

// A sector emptied of its ties behind its atomics' backs: the next move re-ties them, even within the range
// the last walk kept.
TEST_F(SectorTies, AnEmptiedSectorIsTiedAgainOnTheNextMove)
{
    GxAtomic* a = Add(5);
    GxWorldSectorRemoveAllTies(&left);
    EXPECT_TRUE(SectorsOf(a).empty());
    MoveTo(a, 5.25f);
    EXPECT_EQ(Tied(left), std::vector<GxAtomic*>{a});
    EXPECT_EQ(SectorsOf(a), std::vector<GxWorldSector*>{&left});

    // Out of the world and back at the same place: tied again.
    GxWorldRemoveClump(&world, a->clump);
    EXPECT_TRUE(Tied(left).empty());
    GxWorldAddClump(&world, a->clump);
    MoveTo(a, 5.25f);
    EXPECT_EQ(Tied(left), std::vector<GxAtomic*>{a});
}

}  // namespace
