// Tests of the block grid: validity and coordinates, area and range operations, occupancy, moves and splines.
#include "engine/navigation/blockgrid.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/testsupport/graphics.h"
#include "engine/world/spline.h"

namespace {

// A grid of 10 x 10 cells of size 2 at the origin.
class GridTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1, grid.Create(10, 10, {0, 0, 0}, 2, 7)); }
    CFerroxBlockGrid grid;
    Named wall{"outer wall"};
    Named shop{"shop unit"};
};

TEST_F(GridTest, ValidityAndCoordinatesFollowTheBorderRing)
{
    EXPECT_EQ(0, grid.IsValidCell(0, 0));
    EXPECT_EQ(1, grid.IsValidCell(0, 1));
    EXPECT_EQ(1, grid.IsValidCell(11, 1));
    EXPECT_EQ(1, grid.IsValidCell(11, 0));
    EXPECT_EQ(0, grid.IsValidCell(19, 0));
    EXPECT_EQ(0, grid.IsValidCell(89, 0));
    EXPECT_EQ(1, grid.IsValidCell(88, 0));
    EXPECT_EQ(0, grid.IsValidCell(100, 1));
    EXPECT_EQ(0, grid.IsValidCell(-1, 1));
    EXPECT_EQ(-1, grid.GetCellIndex(0, 5, 0));
    EXPECT_EQ(50, grid.GetCellIndex(0, 5, 1));
    EXPECT_EQ(-1, grid.GetCellIndex(10, 5, 1));
    EXPECT_EQ(3, grid.GetCellRow(37, 1));
    EXPECT_EQ(7, grid.GetCellColumn(37, 1));
    EXPECT_EQ(-1, grid.GetCellRow(9, 0));
    EXPECT_EQ(6, grid.GetCellWorldX(37, 1));
    EXPECT_EQ(-14, grid.GetCellWorldZ(37, 1));
    EXPECT_EQ(-1, grid.GetCellWorldX(100, 1));
    GxV3d p;
    ASSERT_EQ(&p, grid.GetCellPosition(37, &p, 1));
    EXPECT_FLOAT_EQ(6.0f, p.x);
    EXPECT_FLOAT_EQ(-14.0f, p.z);
    EXPECT_EQ(nullptr, grid.GetCellPosition(5, &p, 0));
    EXPECT_EQ(nullptr, grid.GetBlock(100));
    EXPECT_EQ(7, grid.GetFloorId());

    CFerroxBlockGrid empty;
    EXPECT_EQ(0, empty.IsValidCell(0, 1));
    EXPECT_EQ(-1, empty.GetCellAt({0, 0, 0}));
    EXPECT_EQ(0, empty.CanMove(0, 0));
    EXPECT_EQ(1, empty.SetRangeState(0, 5, 3, 0));
}

TEST(BlockGrid, CreateRefusesBadSizes)
{
    CFerroxBlockGrid grid;
    EXPECT_EQ(0, grid.Create(0, 0, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, grid.Create(-4, -4, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, grid.Create(8, 10, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, grid.Create(100000, 100000, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, grid.Create(10, 10, {0, 0, 0}, 0, 0));
    EXPECT_EQ(0, grid.Create(10, 10, {0, 0, 0}, -2, 0));
    EXPECT_EQ(0, grid.Create(10, 10, {0, 0, 0}, 1 << 30, 0));
    EXPECT_EQ(0, grid.IsValidCell(0, 1));
    EXPECT_EQ(1, grid.Create(4, 4, {0, 0, 0}, 2, 0));
    EXPECT_EQ(1, grid.Create(6, 6, {0, 0, 0}, 2, 0));  // made again without leaking the first cells
    EXPECT_EQ(36, grid.GetCellCount());
}

TEST_F(GridTest, GetCellAtFindsEveryCellAndNothingOutside)
{
    for (int cell = 0; cell < 100; cell++) {
        GxV3d p;
        grid.GetCellPosition(cell, &p, 1);
        EXPECT_EQ(cell, grid.GetCellAt(p)) << cell;
        EXPECT_EQ(cell, grid.GetCellAt({p.x + 0.4f, 0, p.z - 0.4f})) << cell;
    }
    EXPECT_EQ(-1, grid.GetCellAt({-2.0f, 0, 0}));
    EXPECT_EQ(-1, grid.GetCellAt({0, 0, 2.0f}));
    EXPECT_EQ(-1, grid.GetCellAt({19.6f, 0, 0}));
    EXPECT_EQ(-1, grid.GetCellAt({0, 0, -19.6f}));
    EXPECT_EQ(-1, grid.GetCellAt({1e30f, 0, -1e30f}));
    EXPECT_EQ(-1, grid.GetCellAt({std::nanf(""), 0, 0}));
}

TEST_F(GridTest, AreaOperationsRespectBorderAndOccupants)
{
    EXPECT_EQ(1, grid.SetAreaState(0, 2, 2, 3));   // touches the border ring
    EXPECT_EQ(1, grid.SetAreaState(11, 2, 8, 3));  // reaches the last column
    EXPECT_EQ(1, grid.SetAreaState(11, 2000000000, 2000000000, 3));
    EXPECT_EQ(0, grid.SetAreaState(22, 2, 3, 3));
    EXPECT_EQ(3, grid.GetBlock(33)->m_state);
    EXPECT_EQ(0, grid.GetBlock(35)->m_state);

    grid.OccupyCell(45);
    EXPECT_EQ(1, grid.GetOccupiedCount());
    ASSERT_EQ(0, grid.PlaceObject(44, &wall, 2, 2, 1));
    EXPECT_EQ(FERROX_BLOCK_BLOCKED, grid.GetBlock(45)->m_state);
    EXPECT_EQ(FERROX_BLOCK_DISPLACED, grid.GetBlock(45)->m_stamp);
    EXPECT_EQ(0, grid.GetBlock(44)->m_stamp);
    EXPECT_TRUE(grid.GetOccupiedList().empty());
    EXPECT_EQ(0, grid.GetOccupiedCount());
    EXPECT_EQ(1, grid.PlaceObject(55, &shop, 1, 1, 1));  // already covered
    EXPECT_EQ(1, grid.SetAreaState(43, 2, 2, 0));
    EXPECT_EQ(1, grid.IsAreaFilledWith(44, 2, 2, 1, nullptr));
    EXPECT_EQ(0, grid.IsAreaFilledWith(44, 2, 2, 1, "shop"));
    EXPECT_EQ(0, grid.IsAreaFilled(43, 2, 2, 1));
    EXPECT_EQ(1, grid.IsAreaFilled(44, 2, 2, 1));
    EXPECT_EQ(1, grid.IsAreaEmpty(60, 1, 1, 1));
    EXPECT_EQ(1, grid.GetBlock(44)->HasObject(""));
    EXPECT_EQ(0, grid.GetBlock(43)->HasObject(nullptr));

    EXPECT_EQ(0, grid.AssignObject(0, &shop, 1, 3, 0));  // may use the border
    EXPECT_EQ(1, grid.GetBlock(2)->HasObject("shop"));
    // Placing without blocking leaves a cell's state as it was; assigning without blocking frees it.
    ASSERT_EQ(0, grid.SetAreaState(66, 1, 2, FERROX_BLOCK_BLOCKED));
    ASSERT_EQ(0, grid.PlaceObject(66, &shop, 1, 1, 0));
    EXPECT_EQ(FERROX_BLOCK_BLOCKED, grid.GetBlock(66)->m_state);
    ASSERT_EQ(0, grid.AssignObject(67, &shop, 1, 1, 0));
    EXPECT_EQ(FERROX_BLOCK_FREE, grid.GetBlock(67)->m_state);
    EXPECT_EQ(1, grid.ClearArea(0, 1, 3, 0));
    EXPECT_EQ(0, grid.ClearArea(44, 2, 2, 0));
    EXPECT_EQ(0, grid.GetBlock(55)->HasObject(nullptr));
    EXPECT_EQ(FERROX_BLOCK_FREE, grid.GetBlock(55)->m_state);
}

// Corners and sizes at the ends of the int range are tested without overflowing the bounds arithmetic: a corner
// outside or a size past the grid is refused, while a rectangle of fewer than one row or column passes and
// covers no cell.
TEST_F(GridTest, AreaChecksRefuseExtremeCornersAndSizes)
{
    const int corners[] = {INT_MIN, INT_MIN + 1, -1, 100, INT_MAX - 1, INT_MAX};
    for (int e : corners) {
        EXPECT_EQ(0, grid.IsAreaInside(e, 2, 2, 1)) << e;
        EXPECT_EQ(0, grid.IsAreaInside(e, e, e, 0)) << e;
        EXPECT_EQ(1, grid.SetAreaState(e, 2, 2, FERROX_BLOCK_BLOCKED)) << e;
        EXPECT_EQ(1, grid.ClearArea(e, 1, 1, 1)) << e;
        EXPECT_EQ(0, grid.IsAreaFilledWith(e, 1, 1, 1, nullptr)) << e;
    }
    const int tooLarge[] = {INT_MAX - 1, INT_MAX};
    for (int e : tooLarge) {
        EXPECT_EQ(0, grid.IsAreaInside(11, e, 1, 1)) << e;
        EXPECT_EQ(0, grid.IsAreaInside(11, 2, e, 0)) << e;
        EXPECT_EQ(1, grid.SetAreaState(11, e, 1, FERROX_BLOCK_BLOCKED)) << e;
        EXPECT_EQ(1, grid.PlaceObject(11, &shop, e, 1, 1)) << e;
        EXPECT_EQ(1, grid.AssignObject(11, &shop, e, 1, 1)) << e;
        EXPECT_EQ(0, grid.IsAreaEmpty(11, 1, e, 1)) << e;
    }
    const int noCells[] = {INT_MIN, INT_MIN + 1, -1, 0};
    for (int e : noCells) {
        EXPECT_EQ(1, grid.IsAreaInside(11, e, 1, 1)) << e;
        EXPECT_EQ(1, grid.IsAreaInside(11, 2, e, 0)) << e;
        EXPECT_EQ(0, grid.SetAreaState(11, e, 1, FERROX_BLOCK_BLOCKED)) << e;
        EXPECT_EQ(0, grid.PlaceObject(11, &shop, 2, e, 1)) << e;
        EXPECT_EQ(0, grid.AssignObject(11, &shop, e, 1, 1)) << e;
        EXPECT_EQ(1, grid.IsAreaEmpty(11, 1, e, 1)) << e;
        EXPECT_EQ(1, grid.IsAreaFilled(11, e, 3, 1)) << e;
    }
    EXPECT_EQ(1, grid.IsAreaInside(11, 7, 7, 0));
    EXPECT_EQ(0, grid.IsAreaInside(11, 8, 7, 0));
    EXPECT_EQ(1, grid.IsAreaInside(0, 10, 10, 1));
    for (int cell = 0; cell < grid.GetCellCount(); cell++) {
        ASSERT_EQ(FERROX_BLOCK_FREE, grid.GetBlock(cell)->m_state) << cell;
        ASSERT_EQ(0, grid.GetBlock(cell)->HasObject(nullptr)) << cell;
    }
}

TEST_F(GridTest, RangesSpanTheSameRectangleInAnyOrientationAndNeverStartOutside)
{
    CFerroxBlockGrid other;
    ASSERT_EQ(1, other.Create(10, 10, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, grid.SetRangeState(75, 23, 2, 0));  // last up-left of first
    EXPECT_EQ(0, other.SetRangeState(23, 75, 2, 0));
    int changed = 0;
    for (int cell = 0; cell < 100; cell++) {
        EXPECT_EQ(other.GetBlock(cell)->m_state, grid.GetBlock(cell)->m_state) << cell;
        changed += grid.GetBlock(cell)->m_state == 2;
    }
    EXPECT_EQ(18, changed);                           // rows 2 to 7, columns 3 to 5
    EXPECT_EQ(0, other.SetRangeState(27, 63, 3, 0));  // down-left
    EXPECT_EQ(3, other.GetBlock(45)->m_state);
    EXPECT_EQ(0, other.GetBlock(28)->m_state);

    EXPECT_EQ(1, grid.SetRangeState(-1, 5, 3, 0));
    EXPECT_EQ(1, grid.SetRangeState(5, -1, 3, 0));
    EXPECT_EQ(1, grid.SetRangeState(5, 100, 3, 0));
    EXPECT_EQ(1, grid.SetRangeState(-1, -1, 3, 0));
    EXPECT_EQ(1, grid.SetRangeState(1000, 1000, 3, 0));

    grid.PlaceObject(11, &shop, 1, 1, 0);
    EXPECT_EQ(1, grid.SetRangeState(11, 11, 3, 1));
    EXPECT_EQ(0, grid.SetRangeState(11, 13, 3, 1));
    EXPECT_EQ(0, grid.GetBlock(11)->m_state);
    EXPECT_EQ(3, grid.GetBlock(12)->m_state);
    EXPECT_EQ(0, grid.SetRangeState(11, 11, 1, 0));
    EXPECT_EQ(1, grid.GetBlock(11)->m_state);
}

TEST_F(GridTest, OccupyAndVacateKeepTheListInStep)
{
    grid.OccupyCell(5);  // border: nothing
    EXPECT_EQ(0, grid.GetOccupiedCount());
    grid.OccupyCell(33);
    grid.OccupyCell(33);
    grid.OccupyCell(34);
    EXPECT_EQ(2, grid.GetOccupiedCount());
    EXPECT_EQ((std::vector<int32_t>{33, 34}), grid.GetOccupiedList());
    EXPECT_EQ(1, grid.GetBlock(33)->IsOccupied());
    EXPECT_EQ(0, grid.GetBlock(33)->IsReserved());
    grid.VacateCell(33);
    grid.VacateCell(33);
    EXPECT_EQ((std::vector<int32_t>{34}), grid.GetOccupiedList());
    EXPECT_EQ(1, grid.GetOccupiedCount());
    EXPECT_EQ(FERROX_BLOCK_FREE, grid.GetBlock(33)->m_state);
    grid.GetBlock(35)->SetState(FERROX_BLOCK_RESERVED);
    EXPECT_EQ(1, grid.GetBlock(35)->IsReserved());
    EXPECT_EQ(1, grid.GetBlock(35)->IsWalkable());
}

// A cell with a wall on its next-column edge.
class WalledBlock : public CFerroxBlock {
public:
    int IsBlockedToNextColumn() override { return 1; }
};

// Blocks of the base CreateBlock and of a subclass side by side: each kind freed its own way,
// and a wall of the subclass's blocks still stops a move.
TEST(BlockGrid, MixedBlockMakersAreFreedAndTestedEachTheirWay)
{
    struct MixedGrid : CFerroxBlockGrid {
        CFerroxBlock* CreateBlock() override
        {
            return ++made % 7 == 0 ? new WalledBlock() : CFerroxBlockGrid::CreateBlock();
        }
        int made = 0;
    };
    MixedGrid grid;
    ASSERT_EQ(1, grid.Create(6, 6, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, grid.CanMove(0, 6));  // cell 6 is the seventh made: walled on its next column
    EXPECT_EQ(0, grid.CanMove(1, 6));  // nor cut past the wall's corner
    EXPECT_EQ(1, grid.CanMove(2, 6));
    EXPECT_EQ(1, grid.CanMove(0, 7));
    grid.GetBlock(9)->SetState(FERROX_BLOCK_BLOCKED);
    EXPECT_EQ(0, grid.CanMove(1, 2));                  // the diagonal's target is blocked
    ASSERT_EQ(1, grid.Create(4, 4, {0, 0, 0}, 2, 0));  // the first blocks are freed here
    EXPECT_EQ(FERROX_BLOCK_FREE, grid.GetBlock(9)->m_state);
    std::unique_ptr<CFerroxBlock> own(grid.CreateBlock());  // made after Create: the caller's own
    grid.Release();
}

// The grid takes its owner's records over and destroys each record's object with it, once.
TEST(BlockGrid, PiecesAndTheirObjectsGoWithTheGrid)
{
    struct CountedObject : CFerroxBase {
        explicit CountedObject(int* count) : destroyed(count) {}
        ~CountedObject() override { ++*destroyed; }
        int* destroyed;
    };
    int destroyed = 0;
    {
        CFerroxBlockGrid grid;
        EXPECT_EQ(nullptr, grid.GetFirstPiece());
        grid.AddPiece(nullptr);
        auto* first = new CFerroxGridPiece{std::make_unique<CountedObject>(&destroyed)};
        grid.AddPiece(first);
        grid.AddPiece(new CFerroxGridPiece{std::make_unique<CountedObject>(&destroyed)});
        EXPECT_EQ(first, grid.GetFirstPiece());
        grid.Release();
        EXPECT_EQ(2, destroyed);
        EXPECT_EQ(nullptr, grid.GetFirstPiece());
        grid.AddPiece(new CFerroxGridPiece{std::make_unique<CountedObject>(&destroyed)});
    }
    EXPECT_EQ(3, destroyed) << "the destructor frees what was added after a release";
}

// The row found by multiplication is the quotient for every cell of every side tried.
TEST(BlockGrid, RowsByMultiplicationMatchDivision)
{
    struct RowGrid : CFerroxBlockGrid {
        using CFerroxBlockGrid::RowOf;
    };
    for (int side : {1, 2, 3, 5, 7, 10, 31, 64, 97}) {
        RowGrid grid;
        ASSERT_EQ(1, grid.Create(side, side, {0, 0, 0}, 2, 0));
        for (int cell = 0; cell < side * side; cell++) {
            ASSERT_EQ(cell / side, grid.RowOf(cell)) << side << " " << cell;
        }
    }
}

TEST_F(GridTest, CanMoveNeverCutsACornerOrLeavesTheGrid)
{
    for (int d = 0; d < 8; d++) {
        EXPECT_EQ(1, grid.CanMove(d, 44)) << d;
    }
    EXPECT_EQ(0, grid.CanMove(8, 44));
    EXPECT_EQ(0, grid.CanMove(-1, 44));
    EXPECT_EQ(0, grid.CanMove(4, 40));  // column 0 has no previous column
    EXPECT_EQ(0, grid.CanMove(0, 49));  // nor the last a next one
    EXPECT_EQ(0, grid.CanMove(6, 4));
    EXPECT_EQ(0, grid.CanMove(2, 94));
    EXPECT_EQ(1, grid.CanMove(0, 0));
    grid.GetBlock(45)->SetState(FERROX_BLOCK_BLOCKED);  // index + 1
    EXPECT_EQ(0, grid.CanMove(0, 44));
    EXPECT_EQ(0, grid.CanMove(1, 44));  // the diagonal cell 55 is free, but the flank is not
    EXPECT_EQ(0, grid.CanMove(7, 44));
    EXPECT_EQ(1, grid.CanMove(2, 44));
    EXPECT_EQ(1, grid.CanMove(3, 44));
    grid.GetBlock(54)->SetState(FERROX_BLOCK_BLOCKED);  // index + W
    EXPECT_EQ(0, grid.CanMove(3, 44));
    EXPECT_EQ(0, grid.CanMove(2, 44));
    grid.GetBlock(54)->SetState(FERROX_BLOCK_OCCUPIED);  // occupied is walkable
    EXPECT_EQ(1, grid.CanMove(2, 44));
}

class GridSplineTest : public FerroxGraphicsTest {};

TEST_F(GridSplineTest, BuildSplineRepeatsTheLastCellAndSkipsInvalidOnes)
{
    CFerroxBlockGrid grid;
    ASSERT_EQ(1, grid.Create(10, 10, {0, 0, 0}, 2, 0));
    const int two[2] = {11, 12};
    std::unique_ptr<CFerroxSpline> spline = grid.BuildSpline(two, 2);
    ASSERT_NE(nullptr, spline);
    ASSERT_EQ(4, spline->GetPointCount());
    EXPECT_FLOAT_EQ(-2.0f, spline->GetPoints()[0].z);
    for (int i = 1; i < 4; i++) {
        EXPECT_FLOAT_EQ(-4.0f, spline->GetPoints()[i].z);
        EXPECT_FLOAT_EQ(2.0f, spline->GetPoints()[i].x);
    }

    const int seven[7] = {11, 12, 13, 23, 33, 34, 35};
    spline = grid.BuildSpline(seven, 7);
    ASSERT_NE(nullptr, spline);
    EXPECT_EQ(7, spline->GetPointCount());

    const int mixed[4] = {-1, 11, 500, 12};
    spline = grid.BuildSpline(mixed, 4);
    ASSERT_NE(nullptr, spline);
    ASSERT_EQ(4, spline->GetPointCount());
    EXPECT_FLOAT_EQ(-2.0f, spline->GetPoints()[0].z);
    EXPECT_FLOAT_EQ(-4.0f, spline->GetPoints()[3].z);

    const int none[3] = {-1, 100, 1000};
    EXPECT_EQ(nullptr, grid.BuildSpline(none, 3));
    EXPECT_EQ(nullptr, grid.BuildSpline(two, 0));
    EXPECT_EQ(nullptr, grid.BuildSpline(nullptr, 2));
}

}  // namespace
