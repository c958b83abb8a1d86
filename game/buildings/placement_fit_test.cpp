// Where doors and stairs fit, found the way a player finds them: by moving the held object over the cells.
#include <cstdlib>
#include <set>

#include "game/buildings/door.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/stairs.h"
#include "game/world/statistics.h"
#include "gfx/world/clump.h"

namespace {

// The room laid in these tests: rows 5-12 (x) and columns 5-14 (-z); its edge pieces stand on the ring around.
constexpr int kFirstRow = 5, kLastRow = 12, kFirstColumn = 5, kLastColumn = 14;

GxRGBA ColourOf(CFerroxObject* object)
{
    GxRGBA colour = {};
    if (!object || !object->GetModel())
        return colour;
    GxClumpForAllAtomics(
        object->GetModel()->GetClump(),
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            if (atomic->geometry && atomic->geometry->matList.numMaterials > 0)
                *static_cast<GxRGBA*>(data) = atomic->geometry->matList.materials[0]->color;
            return atomic;
        },
        &colour);
    return colour;
}

class PlacementFit : public PlacementTest {
protected:
    void Hold(const char* category, const char* factory)
    {
        controller->SetMode(PLACEMENT_OBJECT, nullptr, 0, Template(category), manager->FindFactory(factory, nullptr));
        ASSERT_NE(nullptr, controller->GetHeldObject());
    }
    // One frame with the pointer at the point; whether the area box shows green.
    bool GreenAt(const GxV3d& at)
    {
        controller->Update(at);
        const GxRGBA colour = ColourOf(controller->GetAreaBox());
        return colour.green == 255 && colour.red == 0;
    }
    // A point inside the cell away from its middle, as a pointer resting on the cell gives it.
    GxV3d OffCentre(CFerroxBlockMesh* storey, int cell)
    {
        GxV3d at = PointOf(storey, cell);
        at.x += 0.4f;
        at.z -= 0.3f;
        EXPECT_EQ(cell, storey->GetCellAt(at));
        return at;
    }
    // The cells where a door of two cells fits, its first cell under the pointer: the straight walls of the two
    // sides across the columns, the door's second cell on the next row. The walls of the other two sides carry
    // doorway pieces, which no door replaces.
    std::set<int> DoorSpots()
    {
        std::set<int> spots;
        for (int row = kFirstRow; row < kLastRow; row++) {
            spots.insert(Cell(row, kFirstColumn - 1));
            spots.insert(Cell(row, kLastColumn + 1));
        }
        return spots;
    }
    // The buildings filed under the ground storey, the one held included.
    size_t Buildings()
    {
        const CFloorObjects* record = manager->GetFloorRecord(0);
        return record->shops.size() + record->doors.size() + record->stairs.size() + record->scenery.size() +
               record->usable.size();
    }
    CDoorObject* PlacedDoor()
    {
        const ObjectList& doors = manager->GetFloorRecord(0)->doors;
        return doors.empty() ? nullptr : dynamic_cast<CDoorObject*>(doors.back());
    }
};

// Every cell from four rows and columns outside the room to its middle, the pointer resting there: green exactly
// where the door under the pointer stands on a straight wall that takes one. The door and its box follow the
// point under the pointer.
TEST_F(PlacementFit, DoorsFitTheWallUnderThePointerOnly)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    Hold("DOORS", kDoorObjectFactoryName);
    const std::set<int> spots = DoorSpots();
    for (int row = kFirstRow - 4; row <= kLastRow + 4; row++) {
        for (int column = kFirstColumn - 4; column <= kLastColumn + 4; column++) {
            const int cell = Cell(row, column);
            GreenAt(OffCentre(Ground(), cell));
            EXPECT_EQ(spots.count(cell) == 1, GreenAt(OffCentre(Ground(), cell)))
                << "row " << row << " column " << column;
            if (spots.count(cell))
                EXPECT_EQ(cell, controller->GetHeldObject()->GetFirstCell()) << "the door stays under the pointer";
        }
    }
    // The box covers the door's two cells on the wall, from the point under the pointer.
    const GxV3d at = OffCentre(Ground(), Cell(8, kLastColumn + 1));
    GreenAt(at);
    ASSERT_TRUE(GreenAt(at));
    CBaseObject* held = controller->GetHeldObject();
    EXPECT_FLOAT_EQ(0.0f, held->GetRotation()[1]) << "turned to the wall on the -z side";
    EXPECT_EQ(2, held->GetRows());
    EXPECT_EQ(1, held->GetColumns());
    const GxV3d* box = controller->GetAreaBox()->GetPosition();
    EXPECT_FLOAT_EQ(at.x + kMallCell / 2, box->x);
    EXPECT_FLOAT_EQ(at.z, box->z);
    EXPECT_FLOAT_EQ(box->x, held->GetPosition()->x) << "the door turned where it stands, over its box";
    EXPECT_FLOAT_EQ(box->z, held->GetPosition()->z);
}

// The fit test runs once a frame: a door held across a wall turns to it as it is tested, yet shows red in that
// frame and is refused there, and fits from the next frame on.
TEST_F(PlacementFit, ADoorTurnedByTheWallFitsFromTheNextFrame)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    Hold("DOORS", kDoorObjectFactoryName);
    ASSERT_EQ(0, controller->RotateHeldObject(1));
    CBaseObject* held = controller->GetHeldObject();
    ASSERT_FLOAT_EQ(90.0f, held->GetRotation()[1]);
    const GxV3d at = OffCentre(Ground(), Cell(8, kLastColumn + 1));
    EXPECT_FALSE(GreenAt(at)) << "tested across the wall";
    EXPECT_FLOAT_EQ(0.0f, held->GetRotation()[1]) << "turned to the wall";
    EXPECT_TRUE(GreenAt(at));

    ASSERT_EQ(0, controller->RotateHeldObject(1));
    EXPECT_EQ(1, controller->PlaceHeldObject(at, nullptr, 0)) << "the click in the turning frame is refused";
    EXPECT_EQ(0, held->IsPlaced());
    EXPECT_EQ(held, controller->GetHeldObject());
    EXPECT_EQ(0, controller->PlaceHeldObject(at, nullptr, 0)) << "the next click places it";
    EXPECT_EQ(held, PlacedDoor());
}

// A door goes in on each wall that takes one, the pointer on the wall's cell; it takes the wall's cells and faces
// out of the room.
TEST_F(PlacementFit, DoorsGoInOnBothStraightWalls)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    struct Side {
        int cell;
        float yaw;
        int outside;  // a cell beyond the wall, where the outside entrances lie
    };
    const Side sides[] = {{Cell(8, kFirstColumn - 1), 180.0f, Cell(8, kFirstColumn - 2)},
                          {Cell(8, kLastColumn + 1), 0.0f, Cell(8, kLastColumn + 2)}};
    for (const Side& side : sides) {
        Hold("DOORS", kDoorObjectFactoryName);
        CBaseObject* held = controller->GetHeldObject();
        ASSERT_TRUE(GreenAt(OffCentre(Ground(), side.cell)));
        ASSERT_EQ(0, controller->PlaceHeldObject(OffCentre(Ground(), side.cell), nullptr, 0)) << side.yaw;
        CDoorObject* door = PlacedDoor();
        ASSERT_EQ(held, door);
        EXPECT_FLOAT_EQ(side.yaw, door->GetRotation()[1]);
        EXPECT_EQ(door, Ground()->GetBlock(side.cell)->m_pOccupant);
        EXPECT_TRUE(Ground()->GetBlock(side.cell)->IsWalkable());
        ASSERT_EQ(2, door->GetExtraEntranceCount());
        const int outside = door->GetExtraEntranceCell(0);
        EXPECT_TRUE(outside == side.outside || outside == side.outside + kMallSide)
            << "outside entrances lie beyond the wall, yaw " << side.yaw;
        for (int i = 0; i < door->GetEntranceCount() - door->GetExtraEntranceCount(); i++)
            EXPECT_TRUE(Ground()->IsAreaTiled(door->GetEntranceCell(i), 1, 1))
                << "inside entrances lie on the floor, yaw " << side.yaw;
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    }
    EXPECT_EQ(2u, manager->GetFloorRecord(0)->doors.size());
}

// Doors stand only on the ground storey: the same walls upstairs never take one.
TEST_F(PlacementFit, NoDoorUpstairs)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    BuildStoreys(2);
    ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    Hold("DOORS", kDoorObjectFactoryName);
    for (int row = kFirstRow; row < kLastRow; row++)
        EXPECT_FALSE(GreenAt(OffCentre(upper, Cell(row, kLastColumn + 1)))) << "upper storey, row " << row;
    EXPECT_EQ(1, controller->PlaceHeldObject(OffCentre(upper, Cell(8, kLastColumn + 1)), nullptr, 0));
}

// Stairs on the ground floor of a room with a storey above: green on the floor where the upper entrances find
// floor above, placed there they join the two storeys both ways.
TEST_F(PlacementFit, StairsFitBelowAStoreyAndJoinBoth)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    Hold("STAIRS", kStairsObjectFactoryName);
    int green = 0;
    for (int row = kFirstRow; row <= kLastRow; row++)
        for (int column = kFirstColumn; column <= kLastColumn; column++)
            green += GreenAt(OffCentre(Ground(), Cell(row, column))) ? 1 : 0;
    EXPECT_GT(green, 10) << "the player finds room for stairs in the middle of the room";
    const int spot = Cell(8, 9);
    ASSERT_TRUE(GreenAt(OffCentre(Ground(), spot)));
    ASSERT_EQ(0, controller->PlaceHeldObject(OffCentre(Ground(), spot), nullptr, 0));
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->stairs.size());
    CStairs* stairs = dynamic_cast<CStairs*>(manager->GetFloorRecord(0)->stairs.front());
    ASSERT_NE(nullptr, stairs);
    EXPECT_EQ(upper, stairs->GetUpperFloor());
    CStairsLink* up = stairs->GetStairsLink(Ground());
    CStairsLink* down = stairs->GetStairsLink(upper);
    ASSERT_NE(nullptr, up);
    ASSERT_NE(nullptr, down);
    EXPECT_EQ(upper, up->destination);
    EXPECT_EQ(Ground(), down->destination);
    EXPECT_EQ(nullptr, upper->GetTile(stairs->GetFirstCell())) << "the stairwell is open above";
    EXPECT_EQ(stairs, upper->GetBlock(stairs->GetUpperEntranceCell(0))->m_pOccupant);
    EXPECT_TRUE(upper->GetBlock(stairs->GetUpperEntranceCell(0))->IsWalkable());
}

// Every kind of building, held where the box shows red (over one just placed, or in the room's middle for a
// door), is refused and costs nothing; where it showed green it went in for its cost.
TEST_F(PlacementFit, ARefusedPlacementNeverCharges)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    BuildStoreys(2);
    CStatistics* statistics = manager->GetStatistics();
    const struct {
        const char* category;
        const char* factory;
    } kinds[] = {{"SHOP_FASHION", kShopFactoryName},        {"FAC_PHONE", kUsableObjectFactoryName},
                 {"FAC_SEATS", kUsableObjectFactoryName},   {"STAIRS", kStairsObjectFactoryName},
                 {"ATRIUM", kAtriumObjectFactoryName},      {"DOORS", kDoorObjectFactoryName},
                 {"SCEN_PLANTS", kSceneryObjectFactoryName}};
    for (const auto& kind : kinds) {
        Hold(kind.category, kind.factory);
        if (HasFatalFailure())
            return;
        int spot = kNoCell;
        for (int row = kFirstRow - 1; row <= kLastRow + 1 && spot == kNoCell; row++)
            for (int column = kFirstColumn - 1; column <= kLastColumn + 1 && spot == kNoCell; column++)
                if (GreenAt(OffCentre(Ground(), Cell(row, column))))
                    spot = Cell(row, column);
        ASSERT_NE(kNoCell, spot) << kind.category << " fits nowhere in the room";
        const int32_t cost = controller->GetHeldObject()->GetValue();
        const uint32_t before = statistics->m_buildingCosts;
        const size_t count = Buildings();
        ASSERT_EQ(0, controller->PlaceHeldObject(OffCentre(Ground(), spot), nullptr, 0)) << kind.category;
        EXPECT_EQ(before + static_cast<uint32_t>(cost), statistics->m_buildingCosts) << kind.category;

        Hold(kind.category, kind.factory);
        const int middle = Cell((kFirstRow + kLastRow) / 2, (kFirstColumn + kLastColumn) / 2);
        const int red = !GreenAt(OffCentre(Ground(), spot))     ? spot
                        : !GreenAt(OffCentre(Ground(), middle)) ? middle
                                                                : kNoCell;
        ASSERT_NE(kNoCell, red) << kind.category;
        CBaseObject* held = controller->GetHeldObject();
        EXPECT_EQ(1, controller->PlaceHeldObject(OffCentre(Ground(), red), nullptr, 0)) << kind.category;
        EXPECT_EQ(0, held->IsPlaced()) << kind.category;
        EXPECT_EQ(held, controller->GetHeldObject()) << kind.category << ": still held";
        EXPECT_EQ(before + static_cast<uint32_t>(cost), statistics->m_buildingCosts) << kind.category;
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        EXPECT_EQ(count, Buildings()) << kind.category << ": the first one stays, the refused one is dropped";
    }
}

// A building placed with the pointer near its cell's far corner, where an even-sized object's half-cell offset
// reaches the next cell, stands where a load, which finds its cells again from its position, finds the same cells.
TEST_F(PlacementFit, APlacedBuildingStandsWhereALoadFindsItsCells)
{
    ASSERT_EQ(0, Lay(Cell(kFirstRow, kFirstColumn), Cell(kLastRow, kLastColumn)));
    const struct {
        const char* category;
        const char* factory;
    } kinds[] = {{"FAC_SEATS", kUsableObjectFactoryName}, {"SCEN_PLANTS", kSceneryObjectFactoryName}};
    const float half = kMallCell * 0.5f, near = kMallCell * 0.45f;
    for (const auto& kind : kinds) {
        Hold(kind.category, kind.factory);
        if (HasFatalFailure())
            return;
        GxV3d corner = {};
        int spot = kNoCell;
        for (int row = kFirstRow + 1; row < kLastRow && spot == kNoCell; row++) {
            for (int column = kFirstColumn + 1; column < kLastColumn && spot == kNoCell; column++) {
                const int cell = Cell(row, column);
                for (float dx : {-near, near}) {
                    for (float dz : {-near, near}) {
                        GxV3d at = PointOf(Ground(), cell);
                        at.x += dx;
                        at.z += dz;
                        const GxV3d offset = {at.x + half, at.y, at.z - half};
                        if (spot == kNoCell && Ground()->GetCellAt(at) == cell && Ground()->GetCellAt(offset) != cell &&
                            GreenAt(at) && GreenAt(at))
                            corner = at, spot = cell;
                    }
                }
            }
        }
        ASSERT_NE(kNoCell, spot) << kind.category;
        CBaseObject* held = controller->GetHeldObject();
        ASSERT_EQ(0, controller->PlaceHeldObject(corner, nullptr, 0)) << kind.category;
        const int first = held->GetFirstCell();
        EXPECT_EQ(0, held->SetGridPosition(*held->GetPosition(), Ground())) << kind.category;
        EXPECT_EQ(first, held->GetFirstCell()) << kind.category << " would load one cell over";
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
    }
}

// The dragged rectangle: the tiles laid are exactly the cells between the two corners, and the outline drawn
// while dragging covers those cells and nothing else, in every direction of the drag.
TEST_F(PlacementFit, DragOutlineCoversTheLaidCells)
{
    const int corners[][2] = {
        {Cell(6, 7), Cell(9, 15)}, {Cell(9, 15), Cell(6, 7)}, {Cell(9, 7), Cell(6, 15)}, {Cell(6, 15), Cell(9, 7)}};
    for (const auto& corner : corners) {
        controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
        controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
        controller->Update(OffCentre(Ground(), corner[0]));
        controller->BeginDrag(OffCentre(Ground(), corner[0]));
        controller->Update(OffCentre(Ground(), corner[1]));
        GxV3d outline = {};
        int cellsX = 0, cellsZ = 0;
        ASSERT_TRUE(controller->GetDragOutline(&outline, &cellsX, &cellsZ));
        EXPECT_EQ(4, cellsX);
        EXPECT_EQ(9, cellsZ);
        const GxV3d first = PointOf(Ground(), Cell(6, 7));
        EXPECT_FLOAT_EQ(first.x - kMallCell / 2, outline.x) << "the outline starts at the first cell's outer corner";
        EXPECT_FLOAT_EQ(first.z + kMallCell / 2, outline.z);
        // The green box spans the same cells, moved with the pointer off the middle of its cell.
        CScalableObject* box = controller->GetAreaBox();
        const GxV3d pointer = OffCentre(Ground(), corner[1]), middle = PointOf(Ground(), corner[1]);
        EXPECT_FLOAT_EQ(first.x + (cellsX - 1) * kMallCell * 0.5f + pointer.x - middle.x, box->GetPosition()->x);
        EXPECT_FLOAT_EQ(first.z - (cellsZ - 1) * kMallCell * 0.5f + pointer.z - middle.z, box->GetPosition()->z);
        EXPECT_FLOAT_EQ(static_cast<float>(cellsX * kMallCell), box->GetScale().x);
        EXPECT_FLOAT_EQ(static_cast<float>(cellsZ * kMallCell), box->GetScale().z);
        ASSERT_EQ(0, controller->LayFloorArea(OffCentre(Ground(), corner[1]), nullptr));
        int laid = 0;
        for (int row = 1; row < kMallSide - 1; row++)
            for (int column = 1; column < kMallSide - 1; column++) {
                const bool inside = row >= 6 && row <= 9 && column >= 7 && column <= 15;
                const bool tiled = Ground()->IsAreaTiled(Cell(row, column), 1, 1) != 0;
                laid += tiled ? 1 : 0;
                EXPECT_EQ(inside, tiled) << "row " << row << " column " << column;
            }
        EXPECT_EQ(36, laid);
        controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
        controller->BeginDrag(PointOf(Ground(), Cell(6, 7)));
        controller->Update(PointOf(Ground(), Cell(9, 15)));
        controller->ClearArea(PointOf(Ground(), Cell(9, 15)), nullptr, nullptr);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        EXPECT_FALSE(controller->GetDragOutline(&outline, &cellsX, &cellsZ));
    }
}

}  // namespace
