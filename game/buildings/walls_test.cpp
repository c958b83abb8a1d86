// The wall scans on fixture layouts: every edge between the laid floor and the outside carries exactly one wall
// piece, a hole cut in the ground floor is walled round like the outline, and no piece stands between two laid
// cells; rails round the openings upstairs, one a cell; doorway pieces, turned a quarter, where walls and doors
// border laid cells across the rows; runs joined into one piece each.
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "game/buildings/door.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/stairs.h"

namespace {

// An edge between two neighbouring cells, the laid one first.
typedef std::pair<int, int> Edge;

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
    std::vector<CScalableObject*> PiecesOn(CFerroxBlockMesh* storey, int wall = 0)
    {
        std::vector<CScalableObject*> pieces;
        for (CFerroxObject* object : controller->GetPieces()) {
            CScalableObject* piece = dynamic_cast<CScalableObject*>(object);
            if (piece && piece->GetFloor() == storey && (wall == 0 || WallIndex(piece) == wall))
                pieces.push_back(piece);
        }
        return pieces;
    }
    // The step from a piece's cells to the laid cells it closes, by template: walls (1 to 4: S, W, N, E) by the side
    // of the room they close, rails (6 to 9: balcS, balcW, balcN, balcE) by the side of the opening they stand on.
    static int StepToFloor(int wall)
    {
        const int steps[] = {0, +1, +kMallSide, -1, -kMallSide, 0, -1, -kMallSide, +1, +kMallSide};
        return steps[wall];
    }
    // How many wall pieces (or rails) close each edge of the storey.
    std::map<Edge, int> ClosedEdges(CFerroxBlockMesh* storey, bool rails = false)
    {
        std::map<Edge, int> closed;
        for (CScalableObject* piece : PiecesOn(storey)) {
            const int wall = WallIndex(piece);
            if (rails ? wall < 6 || wall > 9 : wall < 1 || wall > 4)
                continue;
            const int step = StepToFloor(wall);
            for (int r = 0; r < piece->GetRows(); r++)
                for (int c = 0; c < piece->GetColumns(); c++) {
                    const int cell = piece->GetFirstCell() + r * kMallSide + c;
                    closed[{cell + step, cell}]++;
                }
        }
        return closed;
    }
    // The edges between laid and unlaid cells: the floor's outline and the edges of every hole in it.
    std::set<Edge> OuterEdges(CFerroxBlockMesh* storey)
    {
        std::set<Edge> edges;
        for (int cell = 0; cell < kMallSide * kMallSide; cell++) {
            if (!storey->IsAreaTiled(cell, 1, 1))
                continue;
            for (int next : Neighbours(cell))
                if (!storey->IsAreaTiled(next, 1, 1))
                    edges.insert({cell, next});
        }
        return edges;
    }
    static std::vector<int> Neighbours(int cell)
    {
        std::vector<int> cells;
        const int row = cell / kMallSide, column = cell % kMallSide;
        if (row > 0)
            cells.push_back(cell - kMallSide);
        if (row < kMallSide - 1)
            cells.push_back(cell + kMallSide);
        if (column > 0)
            cells.push_back(cell - 1);
        if (column < kMallSide - 1)
            cells.push_back(cell + 1);
        return cells;
    }
    static std::string Name(const Edge& edge)
    {
        return "(" + std::to_string(edge.first / kMallSide) + "," + std::to_string(edge.first % kMallSide) + ")-(" +
               std::to_string(edge.second / kMallSide) + "," + std::to_string(edge.second % kMallSide) + ")";
    }
    // Every outer edge closed by exactly one piece, and nothing else closed; a door in the wall line stands in
    // for the wall. With `rails`, a rail closes an edge as a wall does.
    void ExpectClosedRooms(const char* layout, CFerroxBlockMesh* storey = nullptr, bool rails = false)
    {
        storey = storey ? storey : Ground();
        std::map<Edge, int> closed = ClosedEdges(storey);
        for (const auto& rail : rails ? ClosedEdges(storey, true) : std::map<Edge, int>())
            closed[rail.first] += rail.second;
        const std::set<Edge> outer = OuterEdges(storey);
        ASSERT_FALSE(outer.empty()) << layout;
        for (const Edge& edge : outer) {
            if (dynamic_cast<CDoorObject*>(storey->GetBlock(edge.second)->m_pOccupant))
                continue;
            const auto found = closed.find(edge);
            EXPECT_EQ(1, found == closed.end() ? 0 : found->second) << layout << ": edge " << Name(edge);
        }
        for (const auto& entry : closed)
            EXPECT_EQ(1u, outer.count(entry.first)) << layout << ": a piece stands on " << Name(entry.first);
    }
    int Clear(int first, int last)
    {
        controller->SetMode(PLACEMENT_CLEAR, nullptr, 0, nullptr, nullptr);
        controller->Update(PointOf(Ground(), first));
        controller->BeginDrag(PointOf(Ground(), first));
        controller->Update(PointOf(Ground(), last));
        const int result = controller->ClearArea(PointOf(Ground(), last), nullptr, nullptr);
        controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
        return result;
    }
    // The cells that doorway pieces were made over: each piece turned a quarter, every cell of it holding a wall
    // piece or a door (its own piece once placed) and bordering laid floor across the rows.
    std::set<int> GapCells(CFerroxBlockMesh* storey)
    {
        std::set<int> cells;
        for (CScalableObject* gap : PiecesOn(storey, 5)) {
            EXPECT_FLOAT_EQ(90.0f, gap->GetRotation()[1]);
            for (int r = 0; r < gap->GetRows(); r++)
                for (int c = 0; c < gap->GetColumns(); c++) {
                    const int cell = gap->GetFirstCell() + r * kMallSide + c;
                    EXPECT_TRUE(storey->IsAreaTiled(cell + kMallSide, 1, 1) ||
                                storey->IsAreaTiled(cell - kMallSide, 1, 1))
                        << "a doorway piece away from the floor at " << cell;
                    cells.insert(cell);
                }
        }
        return cells;
    }
    static bool IsWallOn(CFerroxBlockMesh* storey, int cell)
    {
        CFerroxBase* occupant = storey->GetBlock(cell)->m_pOccupant;
        const char* name = occupant ? BuildingOccupantName(occupant) : nullptr;
        return name && std::strstr(name, "wall");
    }
    // The cells of the storey's wall runs across the rows: those beside laid floor on the next or previous row.
    std::set<int> RowWallCells(CFerroxBlockMesh* storey)
    {
        std::set<int> cells;
        for (CScalableObject* piece : PiecesOn(storey)) {
            const int wall = WallIndex(piece);
            if (wall != 2 && wall != 4)
                continue;
            for (int r = 0; r < piece->GetRows(); r++)
                for (int c = 0; c < piece->GetColumns(); c++)
                    cells.insert(piece->GetFirstCell() + r * kMallSide + c);
        }
        return cells;
    }
};

// A rectangle, an L, a room extended by a strip dragged beside it and a room with holes cleared in it, each
// checked after every change; the pieces of one side form one run.
TEST_F(Walls, EveryOuterEdgeCarriesOnePieceAndNoOtherEdgeAny)
{
    ASSERT_EQ(0, Lay(Cell(3, 3), Cell(8, 8)));
    ExpectClosedRooms("rectangle");
    EXPECT_EQ(6u, PiecesOn(Ground()).size()) << "one wall run a side, and a doorway run over each wall across the rows";
    for (CScalableObject* piece : PiecesOn(Ground()))
        EXPECT_FLOAT_EQ(6.0f, piece->GetScale().x * piece->GetScale().z);
    EXPECT_EQ(RowWallCells(Ground()), GapCells(Ground()));
    for (int cell : GapCells(Ground()))
        EXPECT_NE(nullptr, std::strstr(BuildingOccupantName(Ground()->GetBlock(cell)->m_pOccupant), "wallNE"))
            << "the doorway piece holds the cell, so no door goes there: " << cell;

    ASSERT_EQ(0, Lay(Cell(12, 3), Cell(19, 5)));
    ASSERT_EQ(0, Lay(Cell(17, 6), Cell(19, 10)));
    ExpectClosedRooms("L");

    ASSERT_EQ(0, Lay(Cell(9, 3), Cell(11, 8)));
    ExpectClosedRooms("rectangle extended to the L");
    EXPECT_EQ(nullptr, Ground()->GetBlock(Cell(9, 5))->m_pOccupant) << "the old wall is gone from the joined floor";

    ASSERT_EQ(0, Lay(Cell(24, 20), Cell(32, 30)));
    ASSERT_EQ(1, Clear(Cell(27, 24), Cell(29, 26)));
    ASSERT_EQ(1, Clear(Cell(31, 29), Cell(31, 29)));
    ExpectClosedRooms("room with holes");
    EXPECT_NE(nullptr, Ground()->GetBlock(Cell(27, 25))->m_pOccupant) << "a hole is walled round";
    EXPECT_FALSE(Ground()->GetBlock(Cell(31, 29))->IsWalkable()) << "no one walks across a hole";
    EXPECT_EQ(RowWallCells(Ground()), GapCells(Ground()));
    // An opening cut through to the outside becomes part of the outline.
    ASSERT_EQ(1, Clear(Cell(27, 24), Cell(27, 20)));
    ExpectClosedRooms("room with a notch");

    // Rebuilt as a loaded game rebuilds them, the pieces are the same.
    const size_t count = PiecesOn(Ground()).size();
    controller->RemoveWalls(nullptr, 1, nullptr);
    controller->BuildWalls(nullptr, 1, nullptr);
    EXPECT_EQ(count, PiecesOn(Ground()).size());
    ExpectClosedRooms("rebuilt");
}

// A room reaching the last rows and columns inside the border is walled round on the border, and no scan puts a
// doorway piece there: the scans stop at the second last line in both directions.
TEST_F(Walls, NoDoorwayOnTheFarBorder)
{
    const int last = kMallSide - 2;
    ASSERT_EQ(0, Lay(Cell(last - 8, last - 6), Cell(last, last)));
    ExpectClosedRooms("room at the far border");
    std::set<int> rows;
    for (int cell : GapCells(Ground()))
        rows.insert(cell / kMallSide);
    EXPECT_EQ(std::set<int>{last - 9}, rows) << "doorways over the near wall only";
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
    EXPECT_EQ(6u, PiecesOn(Ground()).size());
}

// Upstairs the edges stand above the walls below and an opening gets rails, one a cell: a cell holding a rail
// takes no second. Stairs open their well in the storey directly above them only: rails on three sides of it
// there, the far end left open to walk off, and the storey above that floored over the well, whether it was
// built before or after the stairs.
TEST_F(Walls, UpstairsEdgesFollowTheWallsBelowAndStairwellsGetRailsOnlyAboveTheStairs)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(12, 14)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    controller->RemoveWalls(nullptr, 0, upper);
    controller->ClearFloorArea(upper, Cell(6, 11), Cell(7, 12));
    controller->BuildWalls(nullptr, 0, upper);
    for (int wall = 1; wall <= 4; wall++)
        EXPECT_EQ(1u, PiecesOn(upper, wall).size()) << "edges above the walls below, AUX " << wall;
    // The two scans across the rows rail the opening's cells first; the scans along the rows find them taken.
    EXPECT_EQ(1u, PiecesOn(upper, 9).size());
    EXPECT_EQ(1u, PiecesOn(upper, 7).size());
    EXPECT_EQ(0u, PiecesOn(upper, 8).size());
    EXPECT_EQ(0u, PiecesOn(upper, 6).size());
    std::map<Edge, int> railed = ClosedEdges(upper, true);
    EXPECT_EQ(4u, railed.size());
    std::set<int> railCells;
    for (const auto& entry : railed) {
        EXPECT_EQ(1, entry.second) << Name(entry.first);
        EXPECT_TRUE(upper->IsAreaTiled(entry.first.first, 1, 1) && !upper->IsAreaTiled(entry.first.second, 1, 1))
            << Name(entry.first);
        railCells.insert(entry.first.second);
    }
    EXPECT_EQ(4u, railCells.size()) << "every cell of the opening railed once";
    EXPECT_EQ(6u, PiecesOn(Ground()).size()) << "the ground keeps its own";

    ASSERT_EQ(0, PlaceAt("STAIRS", kStairsObjectFactoryName, Ground(), Cell(9, 8)));
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->stairs.size());
    CStairs* stairs = dynamic_cast<CStairs*>(manager->GetFloorRecord(0)->stairs.front());
    std::set<int> well;
    for (int r = 0; r < stairs->GetRows(); r++)
        for (int c = 0; c < stairs->GetColumns(); c++)
            well.insert(stairs->GetFirstCell() + r * kMallSide + c);
    auto expectWell = [&](const char* when) {
        size_t rails = 0;
        for (CScalableObject* piece : PiecesOn(upper)) {
            const int wall = WallIndex(piece);
            if (wall < 6 || wall > 9 || !well.count(piece->GetFirstCell()))
                continue;
            rails++;
            EXPECT_FALSE(piece->IsPlaced()) << when << ": a rail leaves the well's cells to the stairs";
        }
        EXPECT_EQ(3u, rails) << when << ": rails on three sides of the well";
        for (int cell : well) {
            EXPECT_EQ(nullptr, upper->GetTile(cell)) << when << ": the well is open";
            EXPECT_EQ(stairs, upper->GetBlock(cell)->m_pOccupant) << when;
        }
        CFerroxBlockMesh* top = upper->GetUpper();
        if (!top)
            return;
        for (int cell : well) {
            EXPECT_TRUE(top->IsAreaTiled(cell, 1, 1)) << when << ": the storey above the well has its floor";
            EXPECT_EQ(nullptr, top->GetBlock(cell)->m_pOccupant) << when << ": and no rail";
        }
        for (const auto& entry : ClosedEdges(top, true))
            EXPECT_FALSE(well.count(entry.first.first) || well.count(entry.first.second))
                << when << ": a rail by the well upstairs, " << Name(entry.first);
    };
    expectWell("stairs placed");
    floors->GoToFloor(1, nullptr);
    floors->AddFloor();
    floors->GoToFloor(0, nullptr);
    ASSERT_EQ(3, floors->GetBuiltFloors());
    expectWell("storey built above");

    // All storeys at once give the same pieces; removing one storey's leaves the others'.
    const size_t count = controller->GetPieces().size();
    controller->RemoveWalls(nullptr, 1, nullptr);
    EXPECT_TRUE(controller->GetPieces().empty());
    controller->BuildWalls(nullptr, 1, nullptr);
    EXPECT_EQ(count, controller->GetPieces().size());
    EXPECT_EQ(0, floors->GetCurrentFloorIndex()) << "the view goes back where it was";
    expectWell("rebuilt");
    controller->RemoveWalls(nullptr, 0, upper);
    EXPECT_EQ(0u, PiecesOn(upper).size());
    EXPECT_EQ(6u, PiecesOn(Ground()).size());
}

// A door takes the wall's cells and the walls run on beside it. Doorway pieces are made where the door and its
// inside entrances border the floor across the rows, but a piece never takes a cell a door holds: the door keeps
// its cells, and its way through stays open.
TEST_F(Walls, DoorsTakeTheWallsPlaceAndKeepTheirCells)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(10, 14)));
    ASSERT_EQ(0, PlaceAt("DOORS", kDoorObjectFactoryName, Ground(), Cell(7, 15)));
    ASSERT_EQ(0, PlaceAt("DOORS", kDoorObjectFactoryName, Ground(), Cell(7, 4)));
    ASSERT_EQ(2u, manager->GetFloorRecord(0)->doors.size());
    ExpectClosedRooms("doors");
    for (CFerroxObject* object : manager->GetFloorRecord(0)->doors) {
        CDoorObject* door = dynamic_cast<CDoorObject*>(object);
        ASSERT_NE(nullptr, door);
        const int inside = door->GetEntranceCount() - door->GetExtraEntranceCount();
        for (int i = 0; i < door->GetEntranceCount(); i++) {
            const int cell = door->GetEntranceCell(i);
            EXPECT_EQ(door, Ground()->GetBlock(cell)->m_pOccupant) << "entrance " << i;
            EXPECT_TRUE(Ground()->GetBlock(cell)->IsWalkable()) << "entrance " << i;
            if (i < inside)
                EXPECT_EQ(1u, GapCells(Ground()).count(cell)) << "a doorway piece over the inside entrance " << i;
        }
        for (int i = 0; i < 2; i++) {
            const int crossing = door->GetCrossingCell(i);
            EXPECT_EQ(door, Ground()->GetBlock(crossing)->m_pOccupant);
            EXPECT_TRUE(Ground()->GetBlock(crossing)->IsWalkable());
        }
    }
    for (CScalableObject* gap : PiecesOn(Ground(), 5))
        if (dynamic_cast<CDoorObject*>(Ground()->GetBlock(gap->GetFirstCell())->m_pOccupant))
            EXPECT_FALSE(gap->IsPlaced()) << "the door keeps its cells";
    EXPECT_EQ(2u, PiecesOn(Ground(), 3).size()) << "the edge is broken by the door";

    // Floor upstairs goes over no cell of a door: not its own, not those behind it (inside entrances), and the
    // ground beyond it carries none.
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    CDoorObject* door = dynamic_cast<CDoorObject*>(manager->GetFloorRecord(0)->doors.front());
    controller->SetMode(PLACEMENT_LAY, nullptr, 0, nullptr, nullptr);
    CScalableObject* box = controller->GetAreaBox();
    box->SetDragArea(door->GetExtraEntranceCell(0), upper, {2.0f, 1.0f, 2.0f}, {0.0f, 0.0f, 0.0f});
    EXPECT_EQ(0, box->CanLayFloor(Ground(), nullptr, upper, 0)) << "above the way in from outside";
    box->SetDragArea(door->GetEntranceCell(0), upper, {2.0f, 1.0f, 2.0f}, {0.0f, 0.0f, 0.0f});
    EXPECT_EQ(0, box->CanLayFloor(Ground(), nullptr, upper, 0)) << "not above the cell behind the door";
    box->SetDragArea(door->GetFirstCell(), upper, {2.0f, 1.0f, 2.0f}, {0.0f, 0.0f, 0.0f});
    EXPECT_EQ(0, box->CanLayFloor(Ground(), nullptr, upper, 0)) << "nor above the door";
    controller->SetMode(PLACEMENT_IDLE, nullptr, 0, nullptr, nullptr);
}

// Upstairs, the floor runs on over a door's ways in from outside: no wall closes them and a rail stands beyond
// them, so the storey opens onto a balcony above the door.
TEST_F(Walls, UpstairsTheDoorsWaysInOpenOntoARailedBalcony)
{
    ASSERT_EQ(0, Lay(Cell(5, 5), Cell(10, 14)));
    ASSERT_EQ(0, PlaceAt("DOORS", kDoorObjectFactoryName, Ground(), Cell(7, 15)));
    BuildStoreys(2);
    CFerroxBlockMesh* upper = Ground()->GetUpper();
    ASSERT_NE(nullptr, upper);
    CDoorObject* door = dynamic_cast<CDoorObject*>(manager->GetFloorRecord(0)->doors.front());
    ASSERT_NE(nullptr, door);
    ASSERT_GT(door->GetExtraEntranceCount(), 0);
    const std::map<Edge, int> walls = ClosedEdges(upper), rails = ClosedEdges(upper, true);
    int railed = 0;
    for (int i = 0; i < door->GetExtraEntranceCount(); i++) {
        const int way = door->GetExtraEntranceCell(i);
        EXPECT_TRUE(upper->IsAreaTiled(way, 1, 1)) << "floor over the way in " << i;
        for (int next : Neighbours(way)) {
            EXPECT_EQ(0u, walls.count({way, next})) << "no wall round the way in " << i << ", " << next;
            if (upper->IsAreaTiled(next, 1, 1))
                continue;
            if (IsWallOn(upper, next))
                continue;
            EXPECT_EQ(1u, rails.count({way, next})) << "a rail beyond the way in " << i << ", " << next;
            railed++;
        }
    }
    EXPECT_GT(railed, 0);
}

}  // namespace
