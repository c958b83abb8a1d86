// Tests of the A* path finder: exact paths on drawn grids, statuses, single steps, reopened nodes and node leaks.
#include "engine/navigation/astar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/data/random.h"
#include "engine/navigation/astar_testing.h"
#include "engine/navigation/blockgrid.h"
#include "engine/navigation/blockgrid_testing.h"
#include "engine/testsupport/graphics.h"
#include "engine/world/spline.h"

namespace {

using DrawnGrid = FerroxDrawnGrid;

// Runs a whole search and returns its final status.
int Search(CFerroxAStar& finder, CFerroxBlockGrid& grid, int start, int goal)
{
    int status = finder.Start(start, goal, &grid, 0);
    while (status == FERROX_ASTAR_STARTED || status == FERROX_ASTAR_SEARCHING) {
        status = finder.Step();
    }
    return status;
}

std::vector<int> PathOf(CFerroxAStar& finder)
{
    std::vector<int> cells;
    finder.GetPath(cells, 0);
    return cells;
}

// Every step of the path is a move the grid allows.
void ExpectLegal(CFerroxBlockGrid& grid, const std::vector<int>& path)
{
    const int w = grid.GetColumns();
    const int offsets[8] = {1, w + 1, w, w - 1, -1, -w - 1, -w, -w + 1};
    for (size_t i = 1; i < path.size(); i++) {
        bool legal = false;
        for (int d = 0; d < 8; d++) {
            legal = legal || (path[i] - path[i - 1] == offsets[d] && grid.CanMove(d, path[i - 1]));
        }
        EXPECT_TRUE(legal) << path[i - 1] << " -> " << path[i];
    }
}

class AStarTest : public FerroxGraphicsTest {
protected:
    void SetUp() override
    {
        FerroxGraphicsTest::SetUp();
        finder.SetGrid(nullptr);
    }
    void TearDown() override
    {
        finder.Release();
        FerroxGraphicsTest::TearDown();
    }
    CFerroxAStar finder;
};

TEST_F(AStarTest, TrivialSearchesAndStatuses)
{
    EXPECT_EQ(FERROX_ASTAR_NOTSTARTED, finder.Step());
    DrawnGrid d({"....", ".S..", "..G.", "...."});
    EXPECT_EQ(FERROX_ASTAR_FOUND, Search(finder, d.grid, d.start, d.start));
    EXPECT_EQ(1, finder.GetPathLength());
    EXPECT_EQ(std::vector<int>{d.start}, PathOf(finder));
    finder.ClearMap();
    EXPECT_EQ(FERROX_ASTAR_FOUND, Search(finder, d.grid, d.start, d.goal));
    EXPECT_EQ(2, finder.GetPathLength());
    EXPECT_EQ((std::vector<int>{5, 10}), PathOf(finder));
    // The search keeps its two ends: nodes of the same cell are the same node.
    ASSERT_NE(nullptr, finder.GetGoalNode());
    EXPECT_EQ(d.goal, finder.GetGoalNode()->cell);
    EXPECT_EQ(d.start, finder.GetStartNode()->cell);
    EXPECT_EQ(0, finder.IsSameNode(finder.GetStartNode(), finder.GetGoalNode()));
    FerroxAStarNode goal = *finder.GetGoalNode();
    EXPECT_EQ(1, finder.IsSameNode(&goal, finder.GetGoalNode()));
    std::vector<int> route = {99};
    EXPECT_EQ(2, finder.GetPath(route, 1));
    EXPECT_EQ((std::vector<int>{99, 5, 10}), route);
    finder.ClearMap();
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
    EXPECT_EQ(nullptr, finder.GetGoalNode());
    EXPECT_EQ(FERROX_ASTAR_FAILED, finder.Start(-1, 3, &d.grid, 0));
    EXPECT_EQ(FERROX_ASTAR_FAILED, finder.Start(3, 16, &d.grid, 0));
    EXPECT_EQ(FERROX_ASTAR_FAILED, finder.Start(3, 5, nullptr, 0));
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
}

// Exact routes: straight on an open grid, up round a wall the shorter way without cutting its corner, and of two
// equal ways round a wall the one whose downward diagonal is produced first (the upward one when that is closed).
TEST_F(AStarTest, ExactRoutesOnDrawnGrids)
{
    struct Case {
        std::vector<std::string> rows;
        int closed;
        std::vector<int> path;
    };
    const Case cases[] = {
        {{"........", ".S....G.", "........", "........", "........", "........", "........", "........"},
         -1,
         {9, 10, 11, 12, 13, 14}},
        {{"........", "...#....", ".S.#..G.", "...#....", "...#....", "........", "........", "........"},
         -1,
         {17, 10, 2, 3, 4, 13, 22}},
        {{".......", ".......", "...#...", ".S.#.G.", "...#...", ".......", "......."},
         -1,
         {22, 30, 37, 38, 39, 33, 26}},
        {{".......", ".......", "...#...", ".S.#.G.", "...#...", ".......", "......."},
         38,
         {22, 16, 9, 10, 11, 19, 26}},
    };
    for (const Case& c : cases) {
        DrawnGrid d(c.rows);
        if (c.closed >= 0)
            d.grid.GetBlock(c.closed)->SetState(FERROX_BLOCK_BLOCKED);
        ASSERT_EQ(FERROX_ASTAR_FOUND, Search(finder, d.grid, d.start, d.goal));
        const std::vector<int> path = PathOf(finder);
        EXPECT_EQ(c.path, path);
        ExpectLegal(d.grid, path);
        EXPECT_EQ(static_cast<int>(path.size()), finder.GetPathLength());
        finder.ClearMap();
    }
}

TEST_F(AStarTest, UnreachableGoalFailsOrGivesUpAndLeavesNoPath)
{
    DrawnGrid room({"######", "#S.#..", "####..", "......", "...G..", "......"});
    EXPECT_EQ(FERROX_ASTAR_FAILED, Search(finder, room.grid, room.start, room.goal));
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
    std::vector<int> cells = {1, 2};
    EXPECT_EQ(0, finder.GetPath(cells, 0));
    EXPECT_TRUE(cells.empty());
    EXPECT_EQ(nullptr, finder.BuildPathSpline());

    DrawnGrid cage({"..........", ".S........", "..........", "..........", "..........", "..........", "......###.",
                    "......#G#.", "......###.", ".........."});
    EXPECT_EQ(FERROX_ASTAR_GAVEUP, Search(finder, cage.grid, cage.start, cage.goal));
    EXPECT_EQ(0, finder.GetPath(cells, 0));
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
    EXPECT_EQ(FERROX_ASTAR_FAILED, finder.Step());
}

TEST_F(AStarTest, EachStepExpandsExactlyOneNode)
{
    DrawnGrid d({"........", ".S......", "........", "........", "........", "........", "......G.", "........"});
    ASSERT_EQ(FERROX_ASTAR_STARTED, finder.Start(d.start, d.goal, &d.grid, 42));
    EXPECT_EQ(42, finder.GetOwnerValue());
    EXPECT_EQ(1u, finder.GetOpenList().size());
    std::vector<int> cells;
    EXPECT_EQ(1, finder.GetPath(cells, 0));  // the start cell before a path exists
    ASSERT_EQ(FERROX_ASTAR_SEARCHING, finder.Step());
    EXPECT_EQ(1, finder.GetStepCount());
    EXPECT_EQ(1, finder.GetClosedCount());
    EXPECT_EQ(8u, finder.GetOpenList().size());
    int steps = 1;
    int status = FERROX_ASTAR_SEARCHING;
    while (status == FERROX_ASTAR_SEARCHING) {
        const int closed = finder.GetClosedCount();
        status = finder.Step();
        steps++;
        EXPECT_EQ(steps, finder.GetStepCount());
        if (status == FERROX_ASTAR_SEARCHING) {
            EXPECT_EQ(closed + 1, finder.GetClosedCount());
        }
    }
    ASSERT_EQ(FERROX_ASTAR_FOUND, status);
    // Diagonal steps cost as much as straight ones: five diagonals and no detour.
    EXPECT_EQ(6, finder.GetPathLength());
    std::unique_ptr<CFerroxSpline> spline = finder.BuildPathSpline();
    ASSERT_NE(nullptr, spline);
    EXPECT_EQ(6, spline->GetPointCount());
    finder.DrawDebugInfo();
}

// Random maze-like grids: the overestimating heuristic makes closed nodes reachable again
// by cheaper routes; those are reopened in place while their expanded nodes still point at them.
TEST_F(AStarTest, ReopenedNodesKeepEveryParentLinkValid)
{
    int reopenedSearches = 0;
    FerroxSrand(1234);
    for (int trial = 0; trial < 200; trial++) {
        CFerroxBlockGrid grid;
        grid.Create(16, 16, {0, 0, 0}, 2, 0);
        for (int cell = 0; cell < 256; cell++) {
            if (FerroxRand() % 100 < 30)
                grid.GetBlock(cell)->SetState(FERROX_BLOCK_BLOCKED);
        }
        const int start = FerroxRand() % 256;
        const int goal = FerroxRand() % 256;
        grid.GetBlock(start)->SetState(FERROX_BLOCK_FREE);
        grid.GetBlock(goal)->SetState(FERROX_BLOCK_FREE);
        bool reopened = false;
        int status = finder.Start(start, goal, &grid, 0);
        while (status == FERROX_ASTAR_STARTED || status == FERROX_ASTAR_SEARCHING) {
            const int closed = finder.GetClosedCount();
            status = finder.Step();
            reopened = reopened || (status == FERROX_ASTAR_SEARCHING && finder.GetClosedCount() <= closed);
            // Every parent chain of an open node leads back to the start node.
            for (FerroxAStarNode* node : finder.GetOpenList()) {
                int hops = 0;
                FerroxAStarNode* n = node;
                for (; n->parent != nullptr && hops < 256; n = n->parent)
                    hops++;
                ASSERT_EQ(finder.GetStartNode(), n);
            }
        }
        reopenedSearches += reopened;
        if (status == FERROX_ASTAR_FOUND) {
            const std::vector<int> path = PathOf(finder);
            ASSERT_EQ(finder.GetPathLength(), static_cast<int>(path.size()));
            EXPECT_EQ(start, path.front());
            EXPECT_EQ(goal, path.back());
            ExpectLegal(grid, path);
        }
        finder.ClearMap();
        ASSERT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
    }
    EXPECT_GT(reopenedSearches, 0);
}

// Walls in the far corner cell of an n x n grid, leaving the rest free.
void WallInLastCell(CFerroxBlockGrid& grid, int n)
{
    const int corner = n * n - 1;
    for (int cell : {corner - 1, corner - n, corner - n - 1})
        grid.GetBlock(cell)->SetState(FERROX_BLOCK_BLOCKED);
}

// A grid made again at another size is searched as a new grid: tables and search limit follow its size.
TEST_F(AStarTest, AGridCreatedAgainIsSearchedAtItsNewSize)
{
    CFerroxBlockGrid grid;
    ASSERT_EQ(1, grid.Create(8, 8, {0, 0, 0}, 2, 0));
    ASSERT_EQ(FERROX_ASTAR_FOUND, Search(finder, grid, 9, 54));
    finder.ClearMap();

    grid.Release();
    ASSERT_EQ(1, grid.Create(16, 16, {0, 0, 0}, 2, 0));
    ASSERT_EQ(FERROX_ASTAR_FOUND, Search(finder, grid, 17, 254));
    const std::vector<int> path = PathOf(finder);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(17, path.front());
    EXPECT_EQ(254, path.back());
    ExpectLegal(grid, path);
    finder.ClearMap();

    // Smaller again: a walled-in goal is given up at half of the new cell count, as a fresh finder does.
    grid.Release();
    ASSERT_EQ(1, grid.Create(6, 6, {0, 0, 0}, 2, 0));
    WallInLastCell(grid, 6);
    CFerroxAStar fresh;
    fresh.SetGrid(nullptr);
    const int expected = Search(fresh, grid, 7, 35);
    ASSERT_EQ(FERROX_ASTAR_GAVEUP, expected);
    EXPECT_EQ(expected, Search(finder, grid, 7, 35));
    EXPECT_EQ(fresh.GetStepCount(), finder.GetStepCount());
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
    fresh.Release();
}

// Takes the finder's general route (a call per rule and neighbour) while changing no rule.
class CallingAStar : public CFerroxAStar {
public:
    uint32_t StepCost(FerroxAStarNode* node) override { return CFerroxAStar::StepCost(node); }
};

// Refuses every move to the next column.
class NoEastGrid : public CFerroxBlockGrid {
public:
    int CanLeave(int direction, int) override { return direction == 0 || direction == 1 || direction == 7 ? 0 : 1; }
};

// A plain finder on a plain grid reads the blocks itself: its searches, walls at the edges and
// corners included, match the general route's step for step.
TEST_F(AStarTest, OwnRulesOnAPlainGridMatchTheGeneralRoute)
{
    CallingAStar calling;
    calling.SetGrid(nullptr);
    FerroxSrand(77);
    for (int trial = 0; trial < 100; trial++) {
        const int n = 5 + trial % 12;
        CFerroxBlockGrid grid;
        grid.Create(n, n, {0, 0, 0}, 2, 0);
        for (int cell = 0; cell < n * n; cell++) {
            if (FerroxRand() % 100 < 25)
                grid.GetBlock(cell)->SetState(FERROX_BLOCK_BLOCKED);
        }
        const int start = FerroxRand() % (n * n);
        const int goal = FerroxRand() % (n * n);
        const int status = Search(finder, grid, start, goal);
        ASSERT_EQ(Search(calling, grid, start, goal), status) << trial;
        EXPECT_EQ(calling.GetStepCount(), finder.GetStepCount()) << trial;
        EXPECT_EQ(PathOf(calling), PathOf(finder)) << trial;
        finder.ClearMap();
        calling.ClearMap();
    }
    calling.Release();
}

// Keeps the successors GetSuccessors hands it.
class CollectingAStar : public CFerroxAStar {
public:
    void AddSuccessor(FerroxAStarNode* node) override { got.push_back(node); }
    std::vector<FerroxAStarNode*> got;
};

// Successors are nodes of the finder's free list, one for every move the grid allows (no corner cut past the
// blocked cell), whatever was reached already; each goes back with FreeNode.
TEST_F(AStarTest, SuccessorsAreFreeListNodesForEveryMoveTheGridAllows)
{
    CollectingAStar collecting;
    collecting.SetGrid(nullptr);
    DrawnGrid d({"....", ".S#.", "....", "...."});
    ASSERT_EQ(FERROX_ASTAR_STARTED, collecting.Start(d.start, d.start, &d.grid, 0));
    const int ends = FerroxAStarTesting::LiveNodes(collecting);
    ASSERT_EQ(1, collecting.GetSuccessors(collecting.GetStartNode(), nullptr));
    std::vector<int> cells;
    for (FerroxAStarNode* node : collecting.got) {
        cells.push_back(node->cell);
        EXPECT_EQ(nullptr, node->parent);
        EXPECT_EQ(nullptr, node->child);
    }
    // Directions 0 to 7 from cell 5: east is blocked, and so are the two diagonals beside it.
    EXPECT_EQ((std::vector<int>{9, 8, 4, 0, 1}), cells);
    EXPECT_EQ(ends + 5, FerroxAStarTesting::LiveNodes(collecting));
    for (FerroxAStarNode* node : collecting.got)
        collecting.FreeNode(node);
    EXPECT_EQ(ends, FerroxAStarTesting::LiveNodes(collecting));
    collecting.ClearMap();
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(collecting));
    collecting.Release();
}

TEST_F(AStarTest, AGridThatRefusesMovesIsAskedForEachOne)
{
    NoEastGrid grid;
    grid.Create(6, 6, {0, 0, 0}, 2, 0);
    // From column 0 to column 5 with every eastward step refused: no way there.
    ASSERT_EQ(FERROX_ASTAR_FAILED, Search(finder, grid, 12, 17));
    ASSERT_EQ(FERROX_ASTAR_FOUND, Search(finder, grid, 17, 12));
    EXPECT_EQ((std::vector<int>{17, 16, 15, 14, 13, 12}), PathOf(finder));
    finder.ClearMap();
}

// A finder whose node list runs dry after a number of nodes.
class CStarvedAStar : public CFerroxAStar {
public:
    FerroxAStarNode* AllocNode() override { return left-- > 0 ? CFerroxAStar::AllocNode() : nullptr; }
    int left = 0;
};

// Nodes the list cannot give are gone without: the search goes on with those it has, or fails, and gives all back.
TEST_F(AStarTest, ASearchOutOfNodesGoesOnWithoutThem)
{
    DrawnGrid d({"S.....", "......", "......", "......", "......", ".....G"});
    for (int nodes : {1, 2, 5, 12, 40}) {
        CStarvedAStar starved;
        starved.left = nodes;
        const int status = Search(starved, d.grid, d.start, d.goal);
        EXPECT_TRUE(status == FERROX_ASTAR_FOUND || status == FERROX_ASTAR_FAILED) << nodes;
        if (status == FERROX_ASTAR_FOUND)
            ExpectLegal(d.grid, PathOf(starved));
        starved.Reset();
        EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(starved)) << nodes;
        starved.Release();
    }
}

// A second SetGrid keeps the one node list: the nodes of a search under way go back to the list they came from.
TEST_F(AStarTest, SetGridAgainKeepsItsNodeList)
{
    DrawnGrid d({"....", ".S..", "....", "...G"});
    ASSERT_EQ(FERROX_ASTAR_STARTED, finder.Start(d.start, d.goal, &d.grid, 0));
    ASSERT_EQ(FERROX_ASTAR_SEARCHING, finder.Step());
    finder.SetGrid(nullptr);
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
    EXPECT_EQ(FERROX_ASTAR_FOUND, Search(finder, d.grid, d.start, d.goal));
    finder.ClearMap();
    EXPECT_EQ(0, FerroxAStarTesting::LiveNodes(finder));
}

TEST_F(AStarTest, TenThousandSearchesLeaveNoNodeBehind)
{
    DrawnGrid d({"..........", ".S...#....", ".....#....", ".....#..G.", ".....#....", "..........", "..........",
                 "......###.", "......#..#", "......###."});
    for (int i = 0; i < 10000; i++) {
        const int goal = i % 3 == 2 ? 87 : d.goal;  // 87 is walled in
        const int status = Search(finder, d.grid, d.start, goal);
        ASSERT_TRUE(status == FERROX_ASTAR_FOUND || status == FERROX_ASTAR_GAVEUP || status == FERROX_ASTAR_FAILED);
        if (i % 2 == 0) {
            finder.ClearMap();
        }
        if (i % 2 == 0 || status != FERROX_ASTAR_FOUND) {
            ASSERT_EQ(0, FerroxAStarTesting::LiveNodes(finder)) << i;
        }
    }
}

}  // namespace
