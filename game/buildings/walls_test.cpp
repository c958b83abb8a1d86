// The wall scans on a fixture layout: edges around the laid cells, balcony rails around an opening upstairs,
// gap pieces beside a door, and runs joined into one piece each.
#include <map>
#include <set>

#include "game/buildings/door.h"
#include "game/buildings/placement_testing.h"

namespace {

struct PieceInfo {
    int wall;      // "AUX" index
    int first;     // first cell
    float length;  // run length along its axis
};

class Walls : public PlacementTest {
protected:
    int WallIndex(CFerroxObject* piece)
    {
        CFerroxIOObject* saved = dynamic_cast<CFerroxIOObject*>(piece);
        for (int i = 1; i <= kWallTemplates; i++) {
            if (saved && saved->GetAssetSet() == controller->GetWallTemplate(i))
                return i;
        }
        return 0;
    }
    // The pieces standing on the storey, by wall index.
    std::multimap<int, PieceInfo> PiecesOn(CFerroxBlockMesh* storey)
    {
        std::multimap<int, PieceInfo> pieces;
        for (CFerroxObject* object : controller->GetPieces()) {
            CScalableObject* piece = dynamic_cast<CScalableObject*>(object);
            if (!piece || piece->GetFloor() != storey)
                continue;
            const GxV3d& scale = piece->GetScale();
            const int wall = WallIndex(piece);
            pieces.insert({wall, {wall, piece->GetFirstCell(), scale.x > 1.0f ? scale.x : scale.z}});
        }
        return pieces;
    }
    // The wall index of the piece on a cell, 0 for none.
    int WallAt(CFerroxBlockMesh* storey, int cell)
    {
        return WallIndex(dynamic_cast<CFerroxObject*>(storey->GetBlock(cell)->m_pOccupant));
    }
};

TEST_F(Walls, EdgesSurroundTheLaidCells)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(10, 10)));
    const std::multimap<int, PieceInfo> pieces = PiecesOn(Ground());
    ASSERT_EQ(4u, pieces.size());
    for (int wall = 1; wall <= 4; wall++) {
        ASSERT_EQ(1u, pieces.count(wall)) << "AUX " << wall;
        EXPECT_FLOAT_EQ(6.0f, pieces.find(wall)->second.length) << "one piece per side, AUX " << wall;
    }
    // wallE beyond the last row, wallW before the first, wallN beyond the last column, wallS before the first.
    for (int k = 5; k <= 10; k++) {
        EXPECT_EQ(4, WallAt(Ground(), Cell(11, k)));
        EXPECT_EQ(2, WallAt(Ground(), Cell(4, k)));
        EXPECT_EQ(3, WallAt(Ground(), Cell(k, 11)));
        EXPECT_EQ(1, WallAt(Ground(), Cell(k, 4)));
    }
    EXPECT_EQ(0, WallAt(Ground(), Cell(11, 11))) << "corners stay open";

    // Laying next to the block rebuilds the walls around the whole: no piece is left inside.
    ASSERT_EQ(0, Lay(Cell(11, 5), Cell(12, 10)));
    EXPECT_EQ(0, WallAt(Ground(), Cell(11, 7)));
    EXPECT_EQ(4, WallAt(Ground(), Cell(13, 7)));
    EXPECT_EQ(4u, PiecesOn(Ground()).size());
    EXPECT_FLOAT_EQ(8.0f, PiecesOn(Ground()).find(1)->second.length);
}

// The storey buttons rebuild the shown storey's walls wherever the pointer is, also off the grid.
TEST_F(Walls, TheShownStoreyIsRebuiltWithThePointerOffTheGrid)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(10, 10)));
    controller->Update({-100.0f, 0.0f, 100.0f});
    ASSERT_EQ(nullptr, floors->GetCurrentFloor());
    controller->RemoveWalls(nullptr, 0, nullptr);
    EXPECT_EQ(0u, PiecesOn(Ground()).size());
    controller->BuildWalls(nullptr, 0, nullptr);
    EXPECT_EQ(4u, PiecesOn(Ground()).size());
}

TEST_F(Walls, UpstairsEdgesFollowTheWallsBelowAndOpeningsGetBalconies)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(10, 10)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    controller->RemoveWalls(nullptr, 0, upper);
    controller->ClearFloorArea(upper, Cell(6, 7), Cell(8, 8));
    controller->BuildWalls(nullptr, 0, upper);
    const std::multimap<int, PieceInfo> pieces = PiecesOn(upper);
    for (int wall = 1; wall <= 4; wall++)
        EXPECT_EQ(1u, pieces.count(wall)) << "edges above the walls below, AUX " << wall;
    for (int wall = 6; wall <= 9; wall++)
        EXPECT_EQ(1u, pieces.count(wall)) << "rails around the opening, AUX " << wall;
    EXPECT_EQ(9, WallAt(upper, Cell(8, 7)));
    EXPECT_EQ(7, WallAt(upper, Cell(6, 8)));
    EXPECT_EQ(8, WallAt(upper, Cell(7, 8)));
    EXPECT_EQ(6, WallAt(upper, Cell(7, 7)));
    EXPECT_EQ(4u, PiecesOn(Ground()).size()) << "the ground keeps its own";

    // All storeys at once give the same pieces; removing one storey's leaves the other's.
    controller->RemoveWalls(nullptr, 1, nullptr);
    EXPECT_TRUE(controller->GetPieces().empty());
    controller->BuildWalls(nullptr, 1, nullptr);
    EXPECT_EQ(8u, PiecesOn(upper).size());
    EXPECT_EQ(4u, PiecesOn(Ground()).size());
    EXPECT_EQ(0, floors->GetCurrentFloorIndex()) << "the view goes back where it was";
    controller->RemoveWalls(nullptr, 0, upper);
    EXPECT_EQ(0u, PiecesOn(upper).size());
    EXPECT_EQ(4u, PiecesOn(Ground()).size());
}

TEST_F(Walls, DoorsBreakTheEdgeAndGetGapPieces)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(10, 14)));
    ASSERT_EQ(0, PlaceAt("DOORS", kDoorObjectFactoryName, Ground(), Cell(11, 10)));
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->doors.size());
    CDoorObject* door = dynamic_cast<CDoorObject*>(manager->GetFloorRecord(0)->doors.front());
    std::set<int> doorCells;
    for (int k = 5; k <= 14; k++) {
        if (Ground()->GetBlock(Cell(11, k))->m_pOccupant == door)
            doorCells.insert(k);
    }
    ASSERT_EQ(static_cast<size_t>(door->GetColumns()), doorCells.size()) << "the door keeps its cells";
    for (int k = 5; k <= 14; k++) {
        if (!doorCells.count(k))
            EXPECT_EQ(4, WallAt(Ground(), Cell(11, k))) << "the edge runs on beside the door, column " << k;
    }
    const std::multimap<int, PieceInfo> pieces = PiecesOn(Ground());
    EXPECT_EQ(2u, pieces.count(4)) << "the edge is broken by the door";
    ASSERT_GE(pieces.count(5), 1u) << "gap pieces beside the door's way through";
    for (CFerroxObject* piece : controller->GetPieces()) {
        if (WallIndex(piece) == 5)
            EXPECT_FLOAT_EQ(90.0f, piece->GetRotation()[1]);
    }
}

}  // namespace
