// A click on a placed building, on the authored London level headless on the software device: the ray down
// through the shop picks the shop itself, the click makes it the selection, and the selection names the shop's
// record, which the interface's shop card shows.
#include "engine/world/picker_testing.h"
#include "game/buildings/citylevel_testing.h"
#include "game/buildings/shop.h"
#include "game/shell/game.h"
#include "game/shell/input.h"
#include "gfx/core/frame.h"
#include "gfx/world/clump.h"
#include "gfx/world/collision.h"

namespace {

constexpr float kRayTop = 60.0f;
constexpr float kRayBottom = -20.0f;

class SelectionCity : public CityLevelTest {
protected:
    // The game picks through the collision plugin, as it attaches it at start-up.
    void AttachPlugins() override
    {
        CityLevelTest::AttachPlugins();
        ASSERT_TRUE(GxCollisionPluginAttach());
    }
    CShop* PlaceShop(int cell)
    {
        controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
        controller->Update(At(Ground(), Cell(2, 2)));
        controller->BeginDrag(At(Ground(), Cell(2, 2)));
        controller->Update(At(Ground(), Cell(20, 20)));
        EXPECT_EQ(0, controller->LayFloorArea(At(Ground(), Cell(20, 20)), nullptr));
        controller->SetMode(PLACEMENT_OBJECT, level->GetWorld(), 0, manager->FindTemplate("SHOP_FASHION", 0),
                            manager->FindFactory(kShopFactoryName, level->GetWorld()));
        controller->Update(At(Ground(), cell));
        EXPECT_EQ(0, controller->PlaceHeldObject(At(Ground(), cell), level->GetWorld(), 0));
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        const auto& shops = manager->GetFloorRecord(0)->shops;
        return shops.empty() ? nullptr : dynamic_cast<CShop*>(shops.front());
    }
    // The middle of the model's largest part, where a click lands on the building's body.
    static GxV3d BodyCentre(GxClump* clump)
    {
        GxSphere body = {{0.0f, 0.0f, 0.0f}, -1.0f};
        GxClumpForAllAtomics(
            clump,
            [](GxAtomic* atomic, void* data) -> GxAtomic* {
                auto* largest = static_cast<GxSphere*>(data);
                const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
                if (sphere && sphere->radius > largest->radius)
                    *largest = *sphere;
                return atomic;
            },
            &body);
        return body.center;
    }
    // What lies first under a ray straight down through the point.
    CFerroxObject* PickDown(const GxV3d& at)
    {
        // The graphics core ties moved models to the world's sectors when frames are synced, as a drawn frame
        // does.
        GxFrameSyncDirty();
        FerroxLinePicker picker;
        picker.SetScene(level->GetWorld(), nullptr);
        const GxLine line = {{at.x, kRayTop, at.z}, {at.x, kRayBottom, at.z}};
        GxV3d point = {};
        return picker.PickLine(line, nullptr, &point);
    }
};

TEST_F(SelectionCity, ClickOnAShopSelectsTheShopWithItsRecord)
{
    OpenLevel(0);
    if (HasFatalFailure())
        return;
    CShop* shop = PlaceShop(Cell(8, 8));
    ASSERT_NE(nullptr, shop);
    GxClump* clump = shop->GetModel() ? shop->GetModel()->GetClump() : nullptr;
    ASSERT_NE(nullptr, clump);

    CFerroxObject* picked = PickDown(BodyCentre(clump));
    ASSERT_EQ(shop, picked) << "the ray meets the shop's model, which names the shop";

    // A left click with nothing being placed makes the picked object the selection.
    game->SetState(kGameStateInGame);
    game->m_pPickedObject = picked;
    game->m_selectionChanged = 0;
    CGame::OnMouseButton(GAME_MOUSE_LEFT_DOWN);
    ASSERT_EQ(shop, game->m_pSelectedObject);
    const void* record = nullptr;
    EXPECT_EQ(GAME_SELECTION_SHOP, GameClassifySelection(game->m_pSelectedObject, &record));
    EXPECT_EQ(&shop->GetRecord(), record);
    EXPECT_EQ(1, game->m_selectionChanged);

    // Off the buildings the ray names no building.
    const GxV3d open = At(Ground(), Cell(18, 18));
    EXPECT_EQ(nullptr, dynamic_cast<CShop*>(PickDown(open)));
}

// A game over the fixture's level: its world and placement controller.
class LevelGame : public CGame {
public:
    CFerroxWorld* GetWorld() override { return world; }
    CFerroxWorld* world = nullptr;
};

// Choosing the demolish tool is a press the interface takes; its release, in the tool's mode, is no click on the
// mall and removes nothing under the pointer. A press and release on the mall removes the building there.
TEST_F(SelectionCity, OnlyAReleaseAfterAPressOnTheMallDemolishes)
{
    OpenLevel(0);
    if (HasFatalFailure())
        return;
    ASSERT_NE(nullptr, PlaceShop(Cell(8, 8)));
    const auto& shops = manager->GetFloorRecord(0)->shops;
    CGame* fixtureGame = g_pGame;
    LevelGame play;
    play.world = level->GetWorld();
    play.m_pPlacementController = std::move(controller);
    g_pGame = &play;
    play.SetState(kGameStateInGame);
    play.m_pPlacementController->SetMode(PLACEMENT_CLEAR, level->GetWorld(), 0, nullptr, nullptr);
    play.m_pickPoint = At(Ground(), Cell(8, 8));
    play.m_pPickedObject = shops.front();
    CGame::OnMouseButton(GAME_MOUSE_LEFT_UP);
    EXPECT_EQ(1u, shops.size()) << "the release of the tool's own press removed the building under the pointer";
    play.m_pPickedObject = shops.front();
    CGame::OnMouseButton(GAME_MOUSE_LEFT_DOWN);
    CGame::OnMouseButton(GAME_MOUSE_LEFT_UP);
    EXPECT_TRUE(shops.empty());
    g_pGame = fixtureGame;
    controller = std::move(play.m_pPlacementController);
}

}  // namespace
