// The ray picker over boxes in a world: the nearest object, the chosen model's own point, and misses.
#include "engine/world/picker.h"
#include "engine/world/picker_testing.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "gfx/core/engine_testing.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/collision.h"
#include "gfx/world/world_testing.h"

namespace {

// Stand-ins for engine objects and models; only their addresses matter to the picker.
int g_storage[4] = {};
CFerroxObject* const kShop = reinterpret_cast<CFerroxObject*>(&g_storage[0]);
CFerroxObject* const kWall = reinterpret_cast<CFerroxObject*>(&g_storage[1]);
CFerroxObject* const kGroundOwner = reinterpret_cast<CFerroxObject*>(&g_storage[2]);
CFerroxComposite* const kGround = reinterpret_cast<CFerroxComposite*>(&g_storage[3]);

constexpr GxReal kHalf = 0.5f;

// The engine world stands for the graphics world it was given through the world access.
int g_worldStorage = 0;
CFerroxWorld* const kWorld = reinterpret_cast<CFerroxWorld*>(&g_worldStorage);
GxWorld* g_graphicsWorld = nullptr;
GxWorld* GraphicsWorld(CFerroxWorld* world) { return world == kWorld ? g_graphicsWorld : nullptr; }

// A vertical ray down through (x, z).
GxLine Down(GxReal x, GxReal z) { return GxLine{{x, 10, z}, {x, -10, z}}; }

class Picker : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.emplace(GxTestRecordingSetup(
            [] { return GxWorldPluginAttach() && GxCollisionPluginAttach() && AttachClumpExtension(); }));
        GX_ASSERT_ENGINE_STARTED(*engine);
        const GxBBox box = {{50, 50, 50}, {-50, -50, -50}};
        world = GxWorldCreate(&box);
        ASSERT_NE(nullptr, world);
        g_graphicsWorld = world;
        m_savedAccess = FerroxGetWorldAccess();
        FerroxGetWorldAccess().graphicsWorld = GraphicsWorld;
        picker.SetScene(kWorld, nullptr);
    }
    void TearDown() override
    {
        for (GxClump* clump : clumps) {
            GxWorldRemoveClump(world, clump);
            GxClumpDestroy(clump);
        }
        GxWorldDestroy(world);
        FerroxGetWorldAccess() = m_savedAccess;
        engine.reset();
    }
    // A clump with one box of half-size 0.5 at each centre.
    GxClump* AddModel(const std::vector<GxV3d>& centres, CFerroxObject* owner, CFerroxComposite* model)
    {
        GxClump* clump = GxClumpCreate();
        GxFrame* root = GxFrameCreate();
        GxClumpSetFrame(clump, root);
        for (const GxV3d& at : centres) {
            GxFrame* frame = GxFrameCreate();
            GxFrameTranslate(frame, &at, 0);
            GxFrameAddChild(root, frame);
            GxAtomic* atomic = GxAtomicCreate();
            GxAtomicSetFrame(atomic, frame);
            GxGeometry* box = GxWorldTestBox(nullptr, nullptr, kHalf);
            GxAtomicSetGeometry(atomic, box, 0);
            GxGeometryDestroy(box);
            atomic->object.object.flags |= gxATOMICCOLLISIONTEST;
            GxClumpAddAtomic(clump, atomic);
        }
        SetClumpOwner(clump, owner);
        SetClumpComposite(clump, model);
        GxWorldAddClump(world, clump);
        GxFrameSyncDirty();
        clumps.push_back(clump);
        return clump;
    }

    std::optional<GxTestEngine> engine;
    GxWorld* world = nullptr;
    std::vector<GxClump*> clumps;
    FerroxLinePicker picker;
    FerroxWorldAccess m_savedAccess = {};
};

}  // namespace

TEST_F(Picker, NearestObjectWinsWhileTheChosenModelStillGivesItsPoint)
{
    AddModel({{0, 0, 0}}, kGroundOwner, kGround);
    GxClump* shop = AddModel({{0, 3, 0}}, kShop, nullptr);
    GxV3d point = {-1, -1, -1};
    EXPECT_EQ(kShop, picker.PickLine(Down(0.1f, 0.2f), kGround, &point));
    EXPECT_EQ(shop, picker.GetPickedClump());
    EXPECT_NEAR(0.1f, point.x, 1e-5f);
    EXPECT_NEAR(kHalf, point.y, 1e-5f);
    EXPECT_NEAR(0.2f, point.z, 1e-5f);

    // Without a chosen model the point is left alone.
    point = {-1, -1, -1};
    EXPECT_EQ(kShop, picker.PickLine(Down(0.1f, 0.2f), nullptr, &point));
    EXPECT_EQ(-1, point.y);
}

TEST_F(Picker, MissingTheChosenModelKeepsThePointAndNothingHitGivesNull)
{
    AddModel({{0, 0, 0}}, kGroundOwner, kGround);
    GxClump* wall = AddModel({{3, 0, 0}}, kWall, nullptr);
    GxV3d point = {7, 8, 9};
    EXPECT_EQ(kWall, picker.PickLine(Down(3, 0), kGround, &point));
    EXPECT_EQ(wall, picker.GetPickedClump());
    EXPECT_EQ(7, point.x);

    EXPECT_EQ(nullptr, picker.PickLine(Down(20, 20), kGround, &point));
    EXPECT_EQ(nullptr, picker.GetPickedClump());
    EXPECT_EQ(8, point.y);

    // Without a camera there is no ray; without a world nothing to hit.
    picker.PickLine(Down(3, 0), kGround, &point);
    EXPECT_EQ(nullptr, picker.Pick(GxV2d{1, 1}, kGround, &point));
    EXPECT_EQ(nullptr, picker.GetPickedClump());
    picker.SetScene(nullptr, nullptr);
    EXPECT_EQ(nullptr, picker.PickLine(Down(3, 0), kGround, &point));
    picker.SetScene(kWorld, nullptr);

    // A model taken out of collision tests is never hit; one without an owner is hit but names nobody.
    GxClump* ownerless = AddModel({{-3, 0, 0}}, nullptr, nullptr);
    EXPECT_EQ(nullptr, picker.PickLine(Down(-3, 0), nullptr, nullptr));
    EXPECT_EQ(ownerless, picker.GetPickedClump());
    GxClumpForAllAtomics(
        wall,
        [](GxAtomic* atomic, void*) -> GxAtomic* {
            atomic->object.object.flags &= ~gxATOMICCOLLISIONTEST;
            return atomic;
        },
        nullptr);
    EXPECT_EQ(nullptr, picker.PickLine(Down(3, 0), kGround, &point));
    EXPECT_EQ(nullptr, picker.GetPickedClump());
}

// The chosen model is taken to be one atomic: the last of its atomics the line reaches gives its point, even a
// farther one or one whose triangles the line misses. Built in both orders, the model gives each answer once.
TEST_F(Picker, ChosenModelTakesTheHitOfItsLastAtomicReached)
{
    auto rebuild = [this](const std::vector<GxV3d>& centres) {
        for (GxClump* clump : clumps) {
            GxWorldRemoveClump(world, clump);
            GxClumpDestroy(clump);
        }
        clumps.clear();
        AddModel(centres, kGroundOwner, kGround);
    };
    std::vector<GxReal> heights;
    for (const auto& centres : {std::vector<GxV3d>{{0, 0, 0}, {0, 2, 0}}, std::vector<GxV3d>{{0, 2, 0}, {0, 0, 0}}}) {
        rebuild(centres);
        GxV3d point = {0, -100, 0};
        EXPECT_EQ(kGroundOwner, picker.PickLine(Down(0, 0), kGround, &point));
        heights.push_back(point.y);
    }
    std::sort(heights.begin(), heights.end());
    ASSERT_EQ(2u, heights.size());
    EXPECT_NEAR(kHalf, heights[0], 1e-5f);
    EXPECT_NEAR(2 + kHalf, heights[1], 1e-5f);

    // Side by side, 1.2 apart: a line 0.45 from one box's middle passes through it and through the other's
    // bounding sphere only. It gives the first box's point when the missed box came first, none when after; the
    // nearest object is the model's either way.
    int kept = 0;
    for (GxReal x : {0.45f, 0.75f}) {
        rebuild({{0, 0, 0}, {1.2f, 0, 0}});
        GxV3d point = {0, -100, 0};
        EXPECT_EQ(kGroundOwner, picker.PickLine(Down(x, 0.25f), kGround, &point));
        if (point.y == -100) {
            kept++;
        } else {
            EXPECT_NEAR(x, point.x, 1e-5f);
            EXPECT_NEAR(kHalf, point.y, 1e-5f);
        }
    }
    EXPECT_EQ(1, kept);
}
