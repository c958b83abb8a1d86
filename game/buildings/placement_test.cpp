// Build mode on the authored data: the modes and what each holds, placing, laying and clearing by dragging,
// and the wall pieces that follow the tiles.
#include "game/buildings/placement.h"

#include <algorithm>
#include <utility>

#include "engine/navigation/character.h"
#include "game/buildings/door.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/figures/aicharhooks_testing.h"
#include "game/figures/characters.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/statistics.h"

namespace {

int CountIn(const ObjectList& list, CFerroxObject* object)
{
    int count = 0;
    for (CFerroxObject* entry : list)
        count += entry == object ? 1 : 0;
    return count;
}

using Placement = PlacementTest;

TEST_F(Placement, EveryModeChangeDropsWhatWasHeld)
{
    const uint32_t before = manager->GetCount();
    controller->Update(PointOf(Ground(), Cell(10, 10)));
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template("SHOP_FASHION"), nullptr);
    EXPECT_EQ(nullptr, controller->GetHeldObject()) << "the plain factory makes no building object";
    EXPECT_EQ(PLACEMENT_IDLE, controller->GetMode());
    manager->Update(0.0f);
    EXPECT_EQ(before, manager->GetCount());
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template("SHOP_FASHION"),
                        manager->FindFactory(kShopFactoryName, nullptr));
    CBaseObject* held = controller->GetHeldObject();
    ASSERT_NE(nullptr, dynamic_cast<CShop*>(held));
    EXPECT_NE(nullptr, controller->GetAreaBox());
    EXPECT_NE(nullptr, controller->GetCursorBox());
    EXPECT_EQ(1, CountIn(manager->GetFloorRecord(0)->shops, held));

    controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(nullptr, controller->GetHeldObject());
    EXPECT_EQ(0, CountIn(manager->GetFloorRecord(0)->shops, held)) << "the dropped shop left its record";
    EXPECT_NE(nullptr, controller->GetAreaBox());
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    EXPECT_NE(nullptr, controller->GetAreaBox());
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(nullptr, controller->GetAreaBox());
    EXPECT_EQ(nullptr, controller->GetCursorBox());
    manager->Update(0.0f);
    EXPECT_EQ(before, manager->GetCount()) << "held objects and boxes are all gone";

    CFerroxAssetSet empty;
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, &empty, nullptr);
    EXPECT_EQ(PLACEMENT_IDLE, controller->GetMode()) << "a template without models ends mode 1 at once";
    EXPECT_EQ(nullptr, controller->GetHeldObject());
}

TEST_F(Placement, ObjectModePlacesTurnsAndContinues)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(20, 20)));
    CFerroxAssetSet* set = Template("SHOP_FASHION");
    CFerroxObjectFactory* factory = manager->FindFactory(kShopFactoryName, nullptr);
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, set, factory);
    controller->RotateHeldObject(1);
    EXPECT_FLOAT_EQ(90.0f, controller->GetHeldYaw());
    const GxV3d at = PointOf(Ground(), Cell(8, 8));
    controller->Update(at);
    controller->Render();
    CBaseObject* first = controller->GetHeldObject();
    EXPECT_EQ(first->GetValue(), controller->GetShownValue());
    notices.Clear();
    ASSERT_EQ(0, controller->PlaceHeldObject(at, nullptr, 0));
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, set, factory);  // the game's click goes on with the template
    EXPECT_EQ(1, first->IsPlaced());
    EXPECT_EQ(Ground(), first->GetFloor());
    EXPECT_EQ(1, first->IsOnFloor(Ground()));
    EXPECT_EQ(0, first->IsOnFloor(nullptr));
    ASSERT_EQ(1u, notices.samples.size());
    EXPECT_EQ(1, notices.samples[0].first);
    EXPECT_EQ(255, notices.samples[0].second);
    CBaseObject* next = controller->GetHeldObject();
    ASSERT_NE(nullptr, next);
    EXPECT_NE(first, next);
    EXPECT_EQ(set, dynamic_cast<CFerroxIOObject*>(next)->GetAssetSet());
    EXPECT_FLOAT_EQ(90.0f, next->GetRotation()[1]) << "the next object keeps the turn";
    EXPECT_EQ(1, controller->PlaceHeldObject(at, nullptr, 0)) << "the cells are taken";
    EXPECT_EQ(0, next->IsPlaced());
    controller->Render();
    EXPECT_EQ(next->GetValue(), controller->GetShownValue());
    // With the checks skipped there is no fit test: the object goes in and leaves the hand, though the cells it
    // finds taken stay the first shop's.
    EXPECT_EQ(0, controller->PlaceHeldObject(at, nullptr, 1));
    EXPECT_EQ(nullptr, controller->GetHeldObject());
    EXPECT_EQ(1, next->IsPlaced());
    EXPECT_EQ(static_cast<CFerroxBase*>(first), Ground()->GetBlock(first->GetFirstCell())->m_pOccupant);
    EXPECT_EQ(2u, notices.samples.size());
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    controller->Render();
    EXPECT_EQ(kNoShownValue, controller->GetShownValue());
    // With nothing held a click or a turn does nothing.
    EXPECT_EQ(1, controller->PlaceHeldObject(at, nullptr, 0));
    EXPECT_EQ(0, controller->RotateHeldObject(1));
    EXPECT_FLOAT_EQ(90.0f, controller->GetHeldYaw());
}

TEST_F(Placement, HeldObjectsAreFiledByTheirStorey)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(20, 20)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    controller->Update(PointOf(upper, Cell(8, 8)));
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template("SHOP_FASHION"),
                        manager->FindFactory(kShopFactoryName, nullptr));
    CBaseObject* held = controller->GetHeldObject();
    EXPECT_EQ(1, CountIn(manager->GetFloorRecord(1)->shops, held));
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(0, CountIn(manager->GetFloorRecord(1)->shops, held)) << "dropped from the record that held it";

    // Made with the pointer off the grid while storey 1 shows: record 0, which loses it when it is dropped.
    controller->Update({-500.0f, 0.0f, 500.0f});
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template("SHOP_FASHION"),
                        manager->FindFactory(kShopFactoryName, nullptr));
    held = controller->GetHeldObject();
    EXPECT_EQ(1, CountIn(manager->GetFloorRecord(0)->shops, held));
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(0, CountIn(manager->GetFloorRecord(0)->shops, held));

    // Made off the grid, placed upstairs: filed again under record 1.
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template("SHOP_FASHION"),
                        manager->FindFactory(kShopFactoryName, nullptr));
    held = controller->GetHeldObject();
    EXPECT_EQ(1, CountIn(manager->GetFloorRecord(0)->shops, held));
    controller->Update(PointOf(upper, Cell(8, 8)));
    ASSERT_EQ(0, controller->PlaceHeldObject(PointOf(upper, Cell(8, 8)), nullptr, 0));
    EXPECT_EQ(0, CountIn(manager->GetFloorRecord(0)->shops, held));
    EXPECT_EQ(1, CountIn(manager->GetFloorRecord(1)->shops, held));
}

// Demolishing: the box shows the building under the pointer and one click removes it, paying nothing back
// (the player is told once); a click on bare floor clears that tile on every storey and leaves a hole walled
// round; a drag clears the tiles it covers; a click on bare ground changes nothing.
TEST_F(Placement, LayingReachesTheStoreysAboveAndClearingRemovesObjectsOrTiles)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(12, 12)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    ASSERT_GE(floors->GetFloorTiles().size(), 2u);
    floors->SelectTileType(1);
    CStatistics* statistics = manager->GetStatistics();
    uint32_t costs = statistics->m_buildingCosts;
    ASSERT_EQ(0, Lay(Cell(14, 14), Cell(16, 15)));
    EXPECT_EQ(costs + 2 * 6, statistics->m_buildingCosts) << "six cells on each storey";
    EXPECT_EQ(floors->GetFloorTiles()[1].get(), Ground()->GetTile(Cell(15, 15)));
    EXPECT_EQ(floors->GetFloorTiles()[0].get(), upper->GetTile(Cell(15, 15))) << "upstairs gets the first tile type";
    EXPECT_EQ(nullptr, upper->GetTile(Cell(17, 15)));

    ASSERT_EQ(0, PlaceAt("SHOP_FASHION", kShopFactoryName, Ground(), Cell(7, 7)));
    ASSERT_EQ(0, PlaceAt("FAC_SEATS", kUsableObjectFactoryName, Ground(), Cell(4, 10)));
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->shops.size());
    CBaseObject* shop = dynamic_cast<CBaseObject*>(manager->GetFloorRecord(0)->shops.front());
    CBaseObject* bench = dynamic_cast<CBaseObject*>(manager->GetFloorRecord(0)->usable.back());
    ASSERT_NE(nullptr, bench);
    costs = statistics->m_buildingCosts;
    notices.Clear();
    auto click = [&](int cell, CFerroxObject* picked) {
        Drag(PointOf(Ground(), cell), PointOf(Ground(), cell));
        return controller->ClearArea(PointOf(Ground(), cell), picked, nullptr);
    };

    // The pointer on the shop's model, the ground behind it under the pointer: the box covers the cell under the
    // pointer, not the shop, and a click removes the shop.
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    const int behind = Cell(2, 2);
    controller->Update(PointOf(Ground(), behind));
    const GxV3d* box = controller->GetAreaBox()->GetPosition();
    EXPECT_FLOAT_EQ(PointOf(Ground(), behind).x, box->x);
    EXPECT_FLOAT_EQ(PointOf(Ground(), behind).z, box->z);
    EXPECT_FLOAT_EQ(static_cast<float>(kMallCell), controller->GetAreaBox()->GetScale().x) << "one cell";
    EXPECT_EQ(0, click(behind, shop));
    EXPECT_TRUE(manager->GetFloorRecord(0)->shops.empty()) << "one click";
    // The next frame shows the box at the pointer again.
    controller->Update(PointOf(Ground(), behind));
    EXPECT_GT(controller->GetAreaBox()->GetPosition()->y, -1.0f);
    EXPECT_NE(nullptr, Ground()->GetTile(Cell(7, 7))) << "its tiles stay";
    EXPECT_NE(nullptr, Ground()->GetTile(behind));
    // Found on its cell as well; nothing is paid back, and nothing is told.
    EXPECT_EQ(0, click(Cell(4, 10), nullptr));
    EXPECT_EQ(0, CountIn(manager->GetFloorRecord(0)->usable, bench));
    EXPECT_EQ(costs, statistics->m_buildingCosts);
    EXPECT_TRUE(notices.messages.empty());

    // A click on bare floor: that tile goes on both storeys, a hole walled round on each, no one walking into it.
    const size_t pieces = controller->GetPieces().size();
    EXPECT_EQ(1, click(Cell(9, 9), nullptr));
    EXPECT_EQ(nullptr, Ground()->GetTile(Cell(9, 9)));
    EXPECT_EQ(nullptr, upper->GetTile(Cell(9, 9)));
    EXPECT_NE(nullptr, Ground()->GetBlock(Cell(9, 9))->m_pOccupant);
    EXPECT_FALSE(Ground()->GetBlock(Cell(9, 9))->IsWalkable());
    for (int next : {Cell(8, 9), Cell(10, 9), Cell(9, 8), Cell(9, 10)})
        EXPECT_EQ(nullptr, Ground()->GetBlock(next)->m_pOccupant) << "the floor round the hole stays free";
    EXPECT_EQ(pieces + 12, controller->GetPieces().size()) << "four sides of wall and two doorways on each storey";
    EXPECT_EQ(costs, statistics->m_buildingCosts);
    // A drag clears the tiles it covers.
    Drag(PointOf(Ground(), Cell(3, 3)), PointOf(Ground(), Cell(4, 5)));
    EXPECT_EQ(1, controller->ClearArea(PointOf(Ground(), Cell(4, 5)), nullptr, nullptr));
    EXPECT_EQ(nullptr, Ground()->GetTile(Cell(3, 3)));
    EXPECT_EQ(nullptr, Ground()->GetTile(Cell(4, 5)));
    EXPECT_NE(nullptr, Ground()->GetTile(Cell(5, 5)));
    EXPECT_EQ(kNoCell, controller->GetDragStart());
    // Bare ground: nothing to clear.
    const size_t before = controller->GetPieces().size();
    EXPECT_EQ(1, click(Cell(25, 25), nullptr));
    EXPECT_EQ(before, controller->GetPieces().size());
    // On the top storey only that storey loses the tile.
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    const GxV3d top = PointOf(upper, Cell(11, 11));
    Drag(top, top);
    EXPECT_EQ(1, controller->ClearArea(top, nullptr, nullptr));
    EXPECT_EQ(nullptr, upper->GetTile(Cell(11, 11)));
    EXPECT_NE(nullptr, Ground()->GetTile(Cell(11, 11)));
    EXPECT_TRUE(notices.messages.empty()) << "nothing is reported to the player";
}

// The cells and storeys of the characters told to leave.
std::vector<std::pair<int, CFerroxBlockGrid*>> g_leftFrom;

// Stairs demolished with one click free their well upstairs, which stays open and is railed round; no one is sent
// away for a way out gone, only whoever stands on a cleared cell; a clearing under the floor above is refused
// without a word.
TEST_F(Placement, DemolishedStairsFreeTheirWellAndSendNoOneAway)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(20, 20)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_EQ(0, PlaceAt("STAIRS", kStairsObjectFactoryName, Ground(), Cell(9, 8)));
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->stairs.size());
    ASSERT_EQ(0, PlaceAt("DOORS", kDoorObjectFactoryName, Ground(), Cell(10, 21)));
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->doors.size());
    CStairs* stairs = dynamic_cast<CStairs*>(manager->GetFloorRecord(0)->stairs.front());
    ASSERT_NE(nullptr, stairs);
    std::vector<int> well;
    for (int r = 0; r < stairs->GetRows(); r++)
        for (int c = 0; c < stairs->GetColumns(); c++)
            well.push_back(stairs->GetFirstCell() + r * kMallSide + c);
    for (int cell : well)
        ASSERT_EQ(nullptr, upper->GetTile(cell)) << "the stairs open their well";

    g_leftFrom.clear();
    BuildingHooks hooks = {};
    hooks.removeIfOnFloorCell = [](CFerroxObject*, int cell, CFerroxBlockGrid* floor) {
        g_leftFrom.push_back({cell, floor});
    };
    SetBuildingHooks(hooks);
    ObjectClassHooks classes = {};
    classes.isOfKind[OBJECT_LIST_SHOPPERS] = [](CFerroxObject* o) {
        return dynamic_cast<CFerroxCharacter*>(o) ? 1 : 0;
    };
    CDynamicObjectManager::SetClassHooks(classes);
    for (CFerroxBlockMesh* storey : {Ground(), upper}) {
        CFerroxCharacter* shopper = new CFerroxCharacter();
        shopper->SetBlockGrid(storey);
        shopper->m_currentCell = Cell(15, 15);
        manager->AddObject(shopper);
        manager->AddToLists(shopper, 0);
    }
    // One more, with a model to stand somewhere: it has stepped into cell (16, 15) while its cell, read as the
    // step began, is still (16, 14).
    CFerroxCharacter* walker = new CFerroxCharacter();
    FerroxObjectDescriptor body = {};
    body.assetSet = controller->GetWallTemplate(1);
    body.modelMode = FERROX_MODEL_CLONE;
    walker->Setup(&body);
    ASSERT_NE(nullptr, walker->GetPosition());
    const GxV3d stepped = PointOf(Ground(), Cell(16, 15));
    walker->Translate(&stepped, 0);
    walker->SetBlockGrid(Ground());
    walker->m_currentCell = Cell(16, 14);
    manager->AddObject(walker);
    manager->AddToLists(walker, 0);
    // And one outside in the street.
    CFerroxCharacter* outside = new CFerroxCharacter();
    outside->SetBlockGrid(Ground());
    outside->m_currentCell = Cell(25, 25);
    manager->AddObject(outside);
    manager->AddToLists(outside, 0);
    ResetObjectClassHooks();
    ASSERT_EQ(4u, manager->GetShoppers().size());

    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    const GxV3d at = PointOf(Ground(), well.front());
    Drag(at, at);
    ASSERT_EQ(0, controller->ClearArea(at, stairs, nullptr));
    EXPECT_TRUE(manager->GetFloorRecord(0)->stairs.empty());
    for (int cell : well) {
        EXPECT_FALSE(upper->IsAreaTiled(cell, 1, 1)) << "the well stays open";
        EXPECT_EQ(nullptr, dynamic_cast<CStairs*>(upper->GetBlock(cell)->m_pOccupant)) << "freed of the stairs";
    }
    size_t rails = 0;
    for (CFerroxObject* piece : controller->GetPieces())
        for (int rail = 6; rail <= 9; rail++)
            rails += controller->GetWallTemplate(rail) == dynamic_cast<CFerroxIOObject*>(piece)->GetAssetSet();
    EXPECT_GT(rails, 0u) << "the opening is railed round";
    const auto told = [](int cell, CFerroxBlockGrid* floor) {
        return std::count(g_leftFrom.begin(), g_leftFrom.end(), std::make_pair(cell, floor));
    };
    EXPECT_EQ(0, told(Cell(15, 15), upper)) << "the shopper upstairs stays";
    EXPECT_EQ(0, told(Cell(15, 15), Ground()));

    // Clearing the cell a character has just stepped into takes it away with the floor: no one is left on it.
    const GxV3d atWalker = PointOf(Ground(), Cell(16, 15));
    Drag(atWalker, atWalker);
    controller->ClearArea(atWalker, nullptr, nullptr);
    EXPECT_FALSE(Ground()->IsAreaTiled(Cell(16, 15), 1, 1));
    EXPECT_EQ(1, told(Cell(16, 14), Ground())) << "the one standing there leaves, by where it stands";

    // Floor laid under someone outside leaves them where they stand.
    ASSERT_EQ(0, Lay(Cell(24, 24), Cell(26, 26)));
    EXPECT_EQ(0, told(Cell(25, 25), Ground()));
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);

    // The last door gone, the one on the ground stays too.
    CBaseObject* door = dynamic_cast<CBaseObject*>(manager->GetFloorRecord(0)->doors.front());
    const GxV3d atDoor = PointOf(Ground(), door->GetFirstCell());
    Drag(atDoor, atDoor);
    ASSERT_EQ(0, controller->ClearArea(atDoor, door, nullptr));
    EXPECT_TRUE(manager->GetFloorRecord(0)->doors.empty());
    EXPECT_EQ(0, told(Cell(15, 15), Ground()));

    // The ground under the floor above holds up what stands there: a bench upstairs refuses the clearing.
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    controller->Update(PointOf(upper, Cell(15, 8)));
    ASSERT_EQ(0, PlaceAt("FAC_SEATS", kUsableObjectFactoryName, upper, Cell(15, 8)));
    ASSERT_EQ(0, floors->GoToFloor(0, nullptr));
    notices.Clear();
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    Drag(PointOf(Ground(), Cell(14, 6)), PointOf(Ground(), Cell(16, 10)));
    EXPECT_EQ(1, controller->ClearArea(PointOf(Ground(), Cell(16, 10)), nullptr, nullptr));
    EXPECT_TRUE(Ground()->IsAreaTiled(Cell(15, 8), 1, 1)) << "refused";
    EXPECT_TRUE(notices.messages.empty());
}

// A click that did not move removes the picked building whatever storey it stands on: a bench on the ground picked
// while the storey above is shown goes, and the tile under the pointer upstairs stays.
TEST_F(Placement, APickedBuildingGoesFromAnyStorey)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(12, 12)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    ASSERT_EQ(0, PlaceAt("FAC_SEATS", kUsableObjectFactoryName, Ground(), Cell(4, 10)));
    CBaseObject* bench = dynamic_cast<CBaseObject*>(manager->GetFloorRecord(0)->usable.back());
    ASSERT_NE(nullptr, bench);
    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    const GxV3d at = PointOf(upper, Cell(6, 6));
    Drag(at, at);
    ASSERT_EQ(upper, floors->GetCurrentFloor());
    EXPECT_EQ(0, controller->ClearArea(at, bench, nullptr));
    EXPECT_EQ(0, CountIn(manager->GetFloorRecord(0)->usable, bench));
    EXPECT_NE(nullptr, upper->GetTile(Cell(6, 6)));
    EXPECT_EQ(kNoCell, controller->GetDragStart());
}

// The storey shown moves with the ground object, one link at a time; building every storey's walls walks the
// view up through the storeys and back, leaving the storey it started on shown.
TEST_F(Placement, TheStoreyShownMovesWithTheGroundObject)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(12, 12)));
    BuildStoreys(3);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    controller->Update(PointOf(Ground(), Cell(6, 6)));
    ASSERT_EQ(Ground(), floors->GetCurrentFloor());
    const float height = controller->GetGroundObject()->GetPosition()->y;
    ASSERT_EQ(0, floors->FloorUp(nullptr, nullptr));
    EXPECT_EQ(upper, floors->GetCurrentFloor());
    EXPECT_FLOAT_EQ(height + kStoreyHeight, controller->GetGroundObject()->GetPosition()->y);
    ASSERT_EQ(0, floors->FloorDown(nullptr));
    EXPECT_EQ(Ground(), floors->GetCurrentFloor());
    EXPECT_FLOAT_EQ(height, controller->GetGroundObject()->GetPosition()->y);

    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    controller->Update({-500.0f, 0.0f, 500.0f});
    ASSERT_EQ(nullptr, floors->GetCurrentFloor());
    controller->BuildWalls(nullptr, 1, nullptr);
    EXPECT_EQ(1, floors->GetCurrentFloorIndex());
    EXPECT_EQ(upper, floors->GetCurrentFloor());
    EXPECT_FLOAT_EQ(height + kStoreyHeight, controller->GetGroundObject()->GetPosition()->y);
}

TEST_F(Placement, DragToAnInvalidCellResets)
{
    controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
    controller->Update(PointOf(Ground(), Cell(5, 5)));
    controller->BeginDrag(PointOf(Ground(), Cell(5, 5)));
    EXPECT_EQ(Cell(5, 5), controller->GetDragStart());
    controller->Update(PointOf(Ground(), Cell(0, 9)));  // the border row is not a valid cell
    EXPECT_EQ(kNoCell, controller->GetDragStart());
    EXPECT_EQ(kNoCell, controller->GetDragEnd());
    EXPECT_LT(controller->GetAreaBox()->GetPosition()->y, -1.0f) << "the box hides below the floor";
    EXPECT_EQ(1, controller->LayFloorArea(PointOf(Ground(), Cell(6, 6)), nullptr));
    EXPECT_EQ(nullptr, Ground()->GetTile(Cell(5, 5)));
    EXPECT_EQ(nullptr, Ground()->GetTile(Cell(6, 6)));
    // Clearing after the same drag clears nothing: the reset start cell spans no rectangle.
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(8, 8)));
    controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
    controller->Update(PointOf(Ground(), Cell(5, 5)));
    controller->BeginDrag(PointOf(Ground(), Cell(5, 5)));
    controller->Update(PointOf(Ground(), Cell(0, 9)));
    EXPECT_EQ(1, controller->ClearArea(PointOf(Ground(), Cell(6, 6)), nullptr, nullptr));
    for (int cell : {Cell(5, 5), Cell(6, 6)})
        EXPECT_NE(nullptr, Ground()->GetTile(cell)) << cell;
}

// Characters ask build mode through their hooks: shoppers skip the object it holds, and characters shown again
// go into the level's world.
TEST_F(Placement, CharactersSeeWhatBuildModeHolds)
{
    RegisterCharacterClasses();
    const AICharacterHooks& hooks = GetAICharacterHooks();
    ASSERT_NE(nullptr, hooks.heldObject);
    ASSERT_NE(nullptr, hooks.levelWorld);
    EXPECT_EQ(nullptr, hooks.heldObject());
    controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template("SHOP_FASHION"),
                        manager->FindFactory(kShopFactoryName, nullptr));
    ASSERT_NE(nullptr, controller->GetHeldObject());
    EXPECT_EQ(controller->GetHeldObject(), hooks.heldObject());
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(nullptr, hooks.heldObject());
    EXPECT_EQ(game->GetWorld(), hooks.levelWorld());
    ResetAICharacterHooks();
}

}  // namespace

// A tile taken up on a storey goes on every storey above it too. Under the storey above, the ground clears only
// where that storey holds nothing but rails: under a railed opening, not under the walls round a hole.
TEST_F(Placement, ClearingUnderAnUpperStoreyNeedsRailsAbove)
{
    ASSERT_EQ(0, Lay(Cell(2, 2), Cell(12, 12)));
    BuildStoreys(3);
    CFerroxBlockMesh* first = Ground()->GetUpper();
    CFerroxBlockMesh* second = first->GetUpper();
    auto clear = [&](CFerroxBlockMesh* storey, int from, int to) {
        controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
        Drag(PointOf(storey, from), PointOf(storey, to));
        controller->ClearArea(PointOf(storey, to), nullptr, nullptr);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    };
    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    clear(first, Cell(6, 6), Cell(6, 6));
    EXPECT_EQ(nullptr, first->GetTile(Cell(6, 6)));
    EXPECT_EQ(nullptr, second->GetTile(Cell(6, 6))) << "the storey above loses it too";
    EXPECT_NE(nullptr, Ground()->GetTile(Cell(6, 6)));
    ASSERT_EQ(0, floors->GoToFloor(0, nullptr));
    notices.Clear();
    clear(Ground(), Cell(6, 6), Cell(6, 6));
    EXPECT_EQ(nullptr, Ground()->GetTile(Cell(6, 6))) << "under the railed opening upstairs";
    // The hole now goes down to the ground: upstairs it is walled round above the walls below, and a rectangle
    // round it is refused.
    ASSERT_TRUE(first->IsAreaFilledWith(Cell(6, 6), 1, 1, 0, "wall"));
    clear(Ground(), Cell(6, 5), Cell(7, 7));
    for (int cell : {Cell(6, 5), Cell(7, 5), Cell(7, 6), Cell(6, 7), Cell(7, 7)}) {
        EXPECT_NE(nullptr, Ground()->GetTile(cell)) << cell;
        EXPECT_NE(nullptr, first->GetTile(cell)) << cell;
        EXPECT_NE(nullptr, second->GetTile(cell)) << cell;
    }
    EXPECT_TRUE(notices.messages.empty()) << "nothing is reported to the player";
}
