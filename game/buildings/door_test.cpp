// Mall doors: entrances from the width, the wall fit test and turning, crossing cells.
#include "game/buildings/door.h"

#include <cstdlib>

#include "game/buildings/building_testing.h"

namespace {

typedef BuildingTest DoorTest;

TEST_F(DoorTest, EntrancesPerTwoUnitsOfWidth)
{
    Exposed<CDoorObject> door;
    door.Put(&ground, Cell(5, 5), 4, 1, 4, 2);
    door.BuildEntrances();
    EXPECT_EQ(2u, door.GetEntrances().size());
    EXPECT_EQ(2, door.GetExtraEntranceCount());
    EXPECT_EQ(4, door.GetEntranceCount());
    EXPECT_EQ(door.GetExtraEntranceCell(1), door.GetEntranceCell(3));
    EXPECT_EQ(kNoCell, door.GetEntranceCell(4));
    EXPECT_EQ(1, door.IsEntranceCell(door.GetEntranceCell(0)));
    EXPECT_EQ(1, door.IsExtraEntranceCell(door.GetExtraEntranceCell(0)));
    EXPECT_EQ(0, door.IsExtraEntranceCell(door.GetEntranceCell(0)));
    Exposed<CDoorObject> narrow;
    narrow.Put(&ground, Cell(5, 5), 1, 1, 1, 2);
    narrow.BuildEntrances();
    EXPECT_EQ(0, narrow.GetEntranceCount());
    EXPECT_EQ(kNoCell, narrow.GetExtraEntranceCell(0));
}

class DoorWallTest : public BuildingTest {
protected:
    void SetUp() override
    {
        BuildingTest::SetUp();
        door.Put(&ground, Cell(5, 5), 1, 2, 2, 2);
        door.BuildEntrances();
    }
    void Wall(int cell, const char* name)
    {
        pieces.push_back(MakePiece(name));
        ground.AssignObject(cell, pieces.back().get(), 1, 1, 1);
    }
    std::vector<std::unique_ptr<CFerroxObject>> pieces;
    Exposed<CDoorObject> door;
};

// The fit is the grid's and the wall pieces' alone: whatever floor lies round the door, inside or out.
TEST_F(DoorWallTest, FitsOnlyOverGroundWalls)
{
    Wall(Cell(5, 5), "wallS_a");
    Wall(Cell(5, 6), "wallS_b");
    EXPECT_EQ(1, door.CanPlace(nullptr, nullptr)) << "floor beyond the wall too";
    EXPECT_FLOAT_EQ(180.0f, door.GetRotation()[1]);
    const int inside = door.GetEntranceCell(0);
    ground.SetRangeTile(inside, inside, 1, nullptr);
    EXPECT_EQ(1, door.CanPlace(nullptr, nullptr)) << "no floor inside";
    CFerroxBlockMesh* above = AddStorey();
    EXPECT_EQ(0, door.CanPlace(&ground, above)) << "an upper storey";
    door.Put(&ground, Cell(5, 6), 1, 2, 2, 2);
    EXPECT_EQ(0, door.CanPlace(nullptr, nullptr)) << "one cell without a wall";
}

TEST_F(DoorWallTest, CornerIsRefused)
{
    Wall(Cell(5, 5), "wallS");
    Wall(Cell(5, 6), "wallNE");
    EXPECT_EQ(0, door.CanPlace(nullptr, nullptr));
}

TEST_F(DoorWallTest, TurnsToTheWallEvenWhenRefused)
{
    Wall(Cell(5, 5), "wallE_x");
    EXPECT_EQ(0, door.CanPlace(nullptr, nullptr));
    EXPECT_FLOAT_EQ(270.0f, door.GetRotation()[1]);
    Wall(Cell(5, 6), "wallW");
    door.Put(&ground, Cell(5, 6), 1, 1, 2, 2);
    EXPECT_EQ(1, door.CanPlace(nullptr, nullptr));
    EXPECT_FLOAT_EQ(90.0f, door.GetRotation()[1]);
}

// Placing keeps the door's cells and its outside entrances walkable.
TEST_F(DoorWallTest, PlacedCellsStayWalkable)
{
    door.Put(&ground, Cell(5, 5), 2, 1, 4, 2);
    door.BuildEntrances();
    ASSERT_EQ(1, door.Place(nullptr));
    EXPECT_TRUE(ground.GetBlock(Cell(5, 5))->IsWalkable());
    const int outside = door.GetExtraEntranceCell(0);
    EXPECT_EQ(&door, ground.GetBlock(outside)->m_pOccupant);
    EXPECT_EQ(1, door.IsAvailable(nullptr));
    door.Release();
    EXPECT_EQ(nullptr, ground.GetBlock(outside)->m_pOccupant);
}

TEST_F(DoorTest, CrossingCells)
{
    Exposed<CDoorObject> door;
    door.Put(&ground, Cell(5, 5), 3, 1);
    EXPECT_EQ(Cell(5, 5), door.GetCrossingCell(0));
    EXPECT_EQ(Cell(7, 5), door.GetCrossingCell(2));
    for (int i = 0; i < 20; i++) {
        const int cell = door.GetCrossingCell(-1);
        EXPECT_TRUE(cell == Cell(5, 5) || cell == Cell(6, 5) || cell == Cell(7, 5)) << cell;
    }
    door.Turn(90.0f);
    door.Put(&ground, Cell(5, 5), 1, 3);
    EXPECT_EQ(Cell(5, 7), door.GetCrossingCell(2));
    EXPECT_EQ(door.GetCrossingCell(0), door.GetEntranceCellEx(0));
    door.Put(&ground, Cell(5, 5), 1, 0);
    EXPECT_EQ(kNoCell, door.GetCrossingCell(-1)) << "no width to cross";
    door.Turn(0.0f);
    door.Put(&ground, Cell(5, 5), 0, 3);
    EXPECT_EQ(kNoCell, door.GetCrossingCell(5));
    door.Turn(45.0f);
    EXPECT_EQ(kNoCell, door.GetCrossingCell(0));
}

}  // namespace
