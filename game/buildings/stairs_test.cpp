// Stairs: the storey above they need, both storeys' cells, the stairwell, the links and their release.
#include "game/buildings/stairs.h"

#include "game/buildings/building_testing.h"

namespace {

class StairsTest : public BuildingTest {
protected:
    // A spline of four points starting at the middle of a cell of the storey.
    static std::unique_ptr<CFerroxSpline> PathFrom(CFerroxBlockGrid* storey, int cell)
    {
        GxV3d at = {};
        storey->GetCellPosition(cell, &at, 1);
        at.x += 0.5f;
        at.z -= 0.5f;
        const GxV3d points[4] = {at, {at.x, at.y, at.z - 1}, {at.x, at.y, at.z - 2}, {at.x, at.y, at.z - 3}};
        auto spline = std::make_unique<CFerroxSpline>();
        spline->Create(points, 4, "stairs");
        return spline;
    }
};

TEST_F(StairsTest, NeedAStoreyAbove)
{
    auto* stairs = new Exposed<CStairs>();
    manager->AddObject(stairs);
    stairs->Put(&ground, Cell(4, 4), 2, 1);
    EXPECT_EQ(0, stairs->CanPlace(nullptr, nullptr));
    EXPECT_EQ(0, stairs->Place(nullptr)) << "the top storey has nothing to lead to";
    EXPECT_EQ(0, stairs->IsPlaced());
    EXPECT_EQ(1, ground.IsAreaEmpty(Cell(4, 4), 2, 1, 0));
    manager->Update(0.0f);
    EXPECT_EQ(0u, manager->GetCount()) << "dropped";
}

TEST_F(StairsTest, FitAgainstTheStoreyAbove)
{
    CFerroxBlockMesh* above = AddStorey();
    Exposed<CStairs> stairs;
    stairs.Put(&ground, Cell(4, 4), 2, 1);
    stairs.AddUpperEntrance({2.0f, 0.0f});
    EXPECT_EQ(1, stairs.CanPlace(nullptr, above));
    auto balcony = MakePiece("balc_1");
    above->PlaceObject(Cell(6, 4), balcony.get(), 1, 1, 0);
    EXPECT_EQ(1, stairs.CanPlace(nullptr, above)) << "a balcony at the upper entrance";
    auto wall = MakePiece("wallS");
    above->PlaceObject(Cell(4, 4), wall.get(), 1, 1, 1);
    EXPECT_EQ(1, stairs.CanPlace(nullptr, above)) << "a wall piece over the stairwell";
    auto bench = MakePiece("bench");
    above->PlaceObject(Cell(5, 4), bench.get(), 1, 1, 1);
    EXPECT_EQ(0, stairs.CanPlace(nullptr, above));
    above->ClearArea(Cell(5, 4), 1, 1, 1);
    above->SetRangeTile(Cell(6, 4), Cell(6, 4), 1, nullptr);
    EXPECT_EQ(0, stairs.CanPlace(nullptr, above)) << "no floor at the upper entrance";
}

// Placing blocks the footprint on both storeys, opens the stairwell, and links each end's path to
// the other storey; removing the stairs frees the upper storey's cells.
TEST_F(StairsTest, PlacementLinksAndRelease)
{
    CFerroxBlockMesh* above = AddStorey();
    auto stairs = std::make_unique<Exposed<CStairs>>();
    stairs->Put(&ground, Cell(4, 4), 2, 1);
    stairs->AddEntrance({-1.0f, 0.0f});      // the cell before the first row, below
    stairs->AddUpperEntrance({2.0f, 0.0f});  // the cell after the last row, above
    stairs->AddUserSlot(PathFrom(&ground, Cell(3, 4)));
    stairs->AddUserSlot(PathFrom(above, Cell(6, 4)));
    stairs->AddUserSlot(PathFrom(&ground, Cell(9, 9)));
    ASSERT_EQ(1, stairs->Place(nullptr));
    EXPECT_EQ(above, stairs->GetUpperFloor());
    EXPECT_FALSE(ground.GetBlock(Cell(4, 4))->IsWalkable());
    EXPECT_EQ(stairs.get(), above->GetBlock(Cell(5, 4))->m_pOccupant);
    EXPECT_EQ(0, above->IsAreaTiled(Cell(4, 4), 2, 1)) << "the stairwell";
    EXPECT_EQ(1, above->IsAreaTiled(Cell(6, 4), 1, 1));
    EXPECT_EQ(stairs.get(), above->GetBlock(Cell(6, 4))->m_pOccupant);
    EXPECT_EQ(2u, stairs->GetLinks().size()) << "the third path starts at no entrance";
    ASSERT_NE(nullptr, stairs->GetStairsLink(&ground));
    EXPECT_EQ(above, stairs->GetStairsLink(&ground)->destination);
    ASSERT_NE(nullptr, stairs->GetStairsLink(above));
    EXPECT_EQ(&ground, stairs->GetStairsLink(above)->destination);
    EXPECT_EQ(1, stairs->IsEntranceCell(Cell(6, 4)));
    EXPECT_EQ(0, stairs->IsEntranceCell(Cell(3, 4))) << "lower entrances are not asked";
    EXPECT_EQ(1, stairs->IsAvailable(&ground));
    stairs.reset();
    EXPECT_EQ(nullptr, above->GetBlock(Cell(4, 4))->m_pOccupant);
    EXPECT_EQ(nullptr, above->GetBlock(Cell(6, 4))->m_pOccupant);
    EXPECT_EQ(1, ground.IsAreaEmpty(Cell(3, 4), 4, 1, 0));
}

// Links are made entrance by entrance: a character on the storey takes the path of the first entrance, whatever
// the order of the slots; with no path from the storey above there is no link there.
TEST_F(StairsTest, LinksFollowTheEntrancesOrder)
{
    AddStorey();
    Exposed<CStairs> stairs;
    stairs.Put(&ground, Cell(4, 4), 2, 2);
    stairs.AddEntrance({-1.0f, 0.0f});
    stairs.AddEntrance({-1.0f, 1.0f});
    const int first = stairs.GetEntranceCell(0);
    const int second = stairs.GetEntranceCell(1);
    ASSERT_NE(kNoCell, first);
    ASSERT_NE(kNoCell, second);
    ASSERT_NE(first, second);
    stairs.AddUserSlot(PathFrom(&ground, second));
    stairs.AddUserSlot(PathFrom(&ground, first));
    ASSERT_EQ(1, stairs.Place(nullptr));
    ASSERT_EQ(2u, stairs.GetLinks().size());
    CStairsLink* link = stairs.GetStairsLink(&ground);
    ASSERT_NE(nullptr, link);
    EXPECT_EQ(first, ground.GetCellAt(link->position));
    EXPECT_EQ(nullptr, stairs.GetStairsLink(stairs.GetUpperFloor())) << "no path starts upstairs";
}

}  // namespace
