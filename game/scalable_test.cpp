// Scalable pieces: scaled sizes, cells that balconies leave walkable, dragged rectangles.
#include "game/scalable.h"

#include "game/building_test_local.h"

namespace {

typedef BuildingTest ScalableTest;

TEST_F(ScalableTest, ScaleAndReset)
{
    Exposed<CScalableObject> piece;
    piece.SetSize(4, 4);
    piece.ResetScale();
    EXPECT_EQ(4, piece.GetSizeX()) << "reset before any scale";
    piece.SetScale({2.0f, 5.0f, 3.0f});
    EXPECT_EQ(8, piece.GetSizeX());
    EXPECT_EQ(12, piece.GetSizeZ());
    EXPECT_FLOAT_EQ(1.0f, piece.GetScale().y);
    piece.SetScale({0.0f, 1.0f, 0.0f});
    piece.ResetScale();
    EXPECT_EQ(4, piece.GetSizeX());
    EXPECT_EQ(4, piece.GetSizeZ());
    piece.SetGridPosition({8.0f, 0.0f, -8.0f}, &ground);
    EXPECT_EQ(4, piece.GetRows());
    piece.SetScale({1.5f, 1.0f, 0.5f});
    piece.UpdateFootprint();
    EXPECT_EQ(6, piece.GetRows());
    EXPECT_EQ(2, piece.GetColumns());
}

TEST_F(ScalableTest, BalconiesLeaveCellsWalkable)
{
    Exposed<CScalableObject> balcony;
    balcony.SetName("balc_edge");
    balcony.Put(&ground, Cell(4, 4), 1, 3);
    Exposed<CScalableObject> wall;
    wall.SetName("wallN");
    wall.Put(&ground, Cell(6, 4), 1, 3);
    balcony.Place(nullptr);
    wall.Place(nullptr);
    EXPECT_TRUE(ground.GetBlock(Cell(4, 5))->IsWalkable());
    EXPECT_EQ(FERROX_BLOCK_BLOCKED, ground.GetBlock(Cell(6, 5))->m_state);
    EXPECT_EQ(&wall, ground.GetBlock(Cell(6, 6))->m_pOccupant);
}

// The first cell stays at the rectangle's corner whichever way the drag ran.
TEST_F(ScalableTest, DragArea)
{
    Exposed<CScalableObject> box;
    box.SetDragArea(Cell(8, 8), &ground, {3.0f, 0.0f, 2.0f}, {1.0f, 0.0f, 1.0f});
    EXPECT_EQ(3, box.GetRows());
    EXPECT_EQ(2, box.GetColumns());
    EXPECT_EQ(Cell(6, 8), box.GetFirstCell());
    box.SetDragArea(Cell(8, 8), &ground, {3.0f, 0.0f, 2.0f}, {-1.0f, 0.0f, -1.0f});
    EXPECT_EQ(Cell(8, 7), box.GetFirstCell());
}

}  // namespace
