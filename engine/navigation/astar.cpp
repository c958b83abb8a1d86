// A* path finder: open heap, closed list, per-cell stamps and node index, node pool, path read-out.
#include "engine/navigation/astar.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <typeinfo>

#include "engine/data/debugdraw.h"
#include "engine/navigation/blockgrid.h"
#include "engine/world/spline.h"
#include "gfx/core/memory.h"

namespace {

// The node free list: 32 nodes a block, each living as long as its search.
constexpr GxInt32 kNodesPerBlock = 32;
constexpr GxUInt32 kNodeHint = gxMEMHINTDUROBJECT;
// Generations live in the stamp bits above the state; past the last one every stamp is cleared.
constexpr uint32_t kLastGeneration = 0xFFFFFFFFu >> 2;
constexpr float kDebugLift = 0.1f;

enum CellState : uint32_t {
    kUntouched = 0,
    kOpen = 1,
    kClosed = 2
};

// Directions 0..7 as the grid numbers them: row and column steps.
constexpr int kRowStep[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kColumnStep[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDirections = 8;
// Every move, straight or diagonal, costs the same.
constexpr uint32_t kStepCost = 1;
// The directions that step to the next or previous column or row, one bit per direction.
constexpr uint32_t kToNextColumn = (1u << 0) | (1u << 1) | (1u << 7);
constexpr uint32_t kToPrevColumn = (1u << 3) | (1u << 4) | (1u << 5);
constexpr uint32_t kToNextRow = (1u << 1) | (1u << 2) | (1u << 3);
constexpr uint32_t kToPrevRow = (1u << 5) | (1u << 6) | (1u << 7);
constexpr uint32_t kAllDirections = 0xFFu;

}  // namespace

CFerroxAStar::CFerroxAStar()
{
    m_generation = 1;
    m_pNodeList = nullptr;
    m_nodeSession = 0;
    Init();
}

void CFerroxAStar::Init()
{
    m_status = FERROX_ASTAR_IDLE;
    m_stepCount = 0;
    m_pathLength = 0;
    m_ownerValue = 0;
    m_pGrid = nullptr;
    m_gridRows = 1;
    m_gridColumns = 1;
    m_rowMagic = 0;
    std::fill(std::begin(m_offsets), std::end(m_offsets), 0);
    m_ownRules = false;
    m_plainGridType = false;
    m_goalCell = -1;
    m_goalRow = 0;
    m_goalColumn = 0;
    m_cellCount = 0;
    m_closedCount = 0;
    m_pStartNode = nullptr;
    m_pGoalNode = nullptr;
}

void CFerroxAStar::Release()
{
    Reset();
    if (NodeListAlive())
        GxFreeListDestroy(m_pNodeList);
    m_pNodeList = nullptr;
    m_cells.clear();
    m_cells.shrink_to_fit();
    Init();
}

CFerroxAStar::~CFerroxAStar() { CFerroxAStar::Release(); }

bool CFerroxAStar::NodeListAlive() const { return m_pNodeList && m_nodeSession == GxMemoryGetSession(); }

bool CFerroxAStar::MakeNodeList()
{
    if (NodeListAlive())
        return true;
    // A list of an earlier open of the memory went with it, and so did its nodes.
    m_pNodeList = GxFreeListCreate(sizeof(FerroxAStarNode), kNodesPerBlock, alignof(FerroxAStarNode), kNodeHint);
    m_nodeSession = GxMemoryGetSession();
    return m_pNodeList != nullptr;
}

FerroxAStarNode* CFerroxAStar::AllocNode()
{
    if (!MakeNodeList())
        return nullptr;
    void* entry = GxFreeListAlloc(m_pNodeList, kNodeHint);
    if (entry == nullptr)
        return nullptr;
    return new (entry) FerroxAStarNode{};
}

void CFerroxAStar::FreeNode(FerroxAStarNode* node)
{
    if (node == nullptr || !NodeListAlive())
        return;
    GxFreeListFree(m_pNodeList, node);
}

void CFerroxAStar::FreeCellNode(FerroxAStarNode* node)
{
    if (CellNode(node->cell) == node) {
        SetCell(node->cell, nullptr, kUntouched);
    }
    FreeNode(node);
}

void CFerroxAStar::NextGeneration()
{
    if (m_generation == kLastGeneration) {
        std::fill(m_cells.begin(), m_cells.end(), CellSlot{0u, 0u, nullptr});
        m_generation = 0;
    }
    m_generation++;
}

// The open and closed nodes; once a path was built, which emptied the lists, the path from the start node; and
// the goal node, which no list holds.
void CFerroxAStar::FreeSearchNodes()
{
    for (const OpenEntry& entry : m_open)
        FreeNode(CellNode(entry.cell));
    for (FerroxAStarNode* node : m_closed)
        FreeNode(node);
    if (m_pathLength > 0) {
        FerroxAStarNode* node = m_pStartNode;
        while (node != nullptr && node != m_pGoalNode) {
            FerroxAStarNode* next = node->child;
            FreeNode(node);
            node = next;
        }
    }
    FreeNode(m_pGoalNode);
}

void CFerroxAStar::Reset()
{
    if (NodeListAlive()) {
        FreeSearchNodes();
        GxFreeListPurge(m_pNodeList);
    }
    NextGeneration();
    m_pGoalNode = nullptr;
    m_pStartNode = nullptr;
    m_open.clear();
    m_closed.clear();
    m_closedCount = 0;
}

// What stays is the path: its nodes are linked by child, the last to the goal node, which no list holds.
void CFerroxAStar::ReleaseUnusedNodes()
{
    for (const OpenEntry& entry : m_open) {
        FerroxAStarNode* node = CellNode(entry.cell);
        if (node != nullptr && node->child == nullptr)
            FreeNode(node);
    }
    for (FerroxAStarNode* node : m_closed) {
        if (node != nullptr && node->child == nullptr)
            FreeNode(node);
    }
    NextGeneration();
    m_open.clear();
    m_closed.clear();
    m_closedCount = 0;
}

void CFerroxAStar::ClearMap() { Reset(); }

void CFerroxAStar::SetCellCount(CFerroxBlockGrid* grid)
{
    m_pGrid = grid;
    m_gridRows = grid->GetRows();
    m_gridColumns = grid->GetColumns();
    m_rowMagic = m_gridRows > 0 ? (uint64_t(1) << kRowMagicShift) / static_cast<uint64_t>(m_gridRows) + 1 : 0;
    for (int direction = 0; direction < kDirections; direction++) {
        m_offsets[direction] = kRowStep[direction] * m_gridColumns + kColumnStep[direction];
    }
    const int32_t cells = m_gridRows * m_gridColumns;
    if (cells != m_cellCount || m_cells.size() != static_cast<size_t>(cells)) {
        m_cellCount = cells;
        m_cells.assign(cells, CellSlot{0u, 0u, nullptr});
        m_generation = 1;
    }
}

int CFerroxAStar::SetGrid(CFerroxBlockGrid* grid)
{
    Reset();
    MakeNodeList();
    if (grid != nullptr) {
        SetCellCount(grid);
    }
    return 0;
}

int CFerroxAStar::Start(int startCell, int goalCell, CFerroxBlockGrid* grid, intptr_t ownerValue)
{
    Reset();
    m_pathLength = 0;
    if (grid == nullptr || !grid->IsValidCell(startCell, 1) || !grid->IsValidCell(goalCell, 1)) {
        m_status = FERROX_ASTAR_FAILED;
        return m_status;
    }
    // The grid may have been made again at another size since the last search.
    SetCellCount(grid);
    m_ownRules = typeid(*this) == typeid(CFerroxAStar);
    m_plainGridType = m_ownRules && typeid(*grid) == typeid(CFerroxBlockGrid);
    m_ownerValue = ownerValue;
    m_goalCell = goalCell;
    m_goalRow = goalCell / m_gridRows;
    m_goalColumn = goalCell % m_gridRows;
    m_pStartNode = AllocNode();
    m_pGoalNode = AllocNode();
    if (m_pStartNode == nullptr || m_pGoalNode == nullptr) {
        // No list holds the start node yet; Reset gives the goal node back.
        FreeNode(m_pStartNode);
        m_pStartNode = nullptr;
        Reset();
        m_status = FERROX_ASTAR_FAILED;
        return m_status;
    }
    m_pStartNode->cell = startCell;
    m_pStartNode->g = 0;
    m_pStartNode->h = Heuristic(m_pStartNode, goalCell);
    m_pStartNode->f = m_pStartNode->g + m_pStartNode->h;
    m_pGoalNode->cell = goalCell;
    m_status = FERROX_ASTAR_STARTED;
    PushOpen(m_pStartNode);
    SetCell(startCell, m_pStartNode, kOpen);
    m_stepCount = 0;
    return m_status;
}

std::vector<FerroxAStarNode*> CFerroxAStar::GetClosedList() const
{
    std::vector<FerroxAStarNode*> nodes;
    nodes.reserve(m_closedCount);
    for (FerroxAStarNode* node : m_closed) {
        if (node != nullptr) {
            nodes.push_back(node);
        }
    }
    return nodes;
}

std::vector<FerroxAStarNode*> CFerroxAStar::GetOpenList() const
{
    std::vector<FerroxAStarNode*> nodes;
    nodes.reserve(m_open.size());
    for (const OpenEntry& entry : m_open) {
        nodes.push_back(CellNode(entry.cell));
    }
    return nodes;
}

void CFerroxAStar::FoundGoal(FerroxAStarNode* current)
{
    m_pGoalNode->parent = current->parent;
    m_pathLength = 1;
    if (current != m_pStartNode) {
        FreeCellNode(current);
        FerroxAStarNode* node = m_pGoalNode;
        while (node != m_pStartNode && node->parent != nullptr) {
            node->parent->child = node;
            m_pathLength++;
            node = node->parent;
        }
    }
    ReleaseUnusedNodes();
    m_status = FERROX_ASTAR_FOUND;
}

// A successor of a cell that has no node becomes its node; otherwise it goes back, and a cheaper route
// updates the cell's node in place.
void CFerroxAStar::ExpandSuccessor(FerroxAStarNode* current, FerroxAStarNode* s)
{
    const uint32_t g = StepCost(s) + current->g;
    const int32_t cell = s->cell;
    if (cell < 0 || cell >= m_cellCount || !Reach(current, cell, g, s))
        FreeNode(s);
}

// The moves of a plain grid (walkable below FERROX_BLOCK_BLOCKED, no corner cut) with this
// class's own rules: the same successors in the same order as GetSuccessors, CanMove and
// ExpandSuccessor give, reading each neighbour's block state once.
void CFerroxAStar::ExpandPlain(FerroxAStarNode* current, const CFerroxBlock* blocks)
{
    const int32_t cell = current->cell;
    const int row = RowOf(cell);
    const int column = cell - row * m_gridRows;
    uint32_t inside = kAllDirections;
    inside &= column + 1 < m_gridColumns ? kAllDirections : ~kToNextColumn;
    inside &= column > 0 ? kAllDirections : ~kToPrevColumn;
    inside &= row + 1 < m_gridRows ? kAllDirections : ~kToNextRow;
    inside &= row > 0 ? kAllDirections : ~kToPrevRow;
    uint32_t walkable = 0;
    for (int direction = 0; direction < kDirections; direction++) {
        if ((inside >> direction) & 1u) {
            const bool free = blocks[cell + m_offsets[direction]].m_state < FERROX_BLOCK_BLOCKED;
            walkable |= static_cast<uint32_t>(free) << direction;
        }
    }
    // A diagonal also needs the two cells beside it: the directions on either side of it.
    const uint32_t sides = ((walkable << 1) | (walkable >> 7)) & ((walkable >> 1) | (walkable << 7));
    constexpr uint32_t kDiagonals = 0xAAu;
    const uint32_t moves = walkable & (~kDiagonals | sides);
    const uint32_t g = current->g + kStepCost;
    for (int direction = 0; direction < kDirections; direction++) {
        if ((moves >> direction) & 1u) {
            Reach(current, cell + m_offsets[direction], g, nullptr);
        }
    }
}

// A cell already open or closed that is reached by a cheaper route takes the new route in place: nodes it
// expanded keep pointing at it, so no parent link is ever left dangling. A cell reached for the first time takes
// the fresh node, or a new one; true when the fresh node was taken.
bool CFerroxAStar::Reach(FerroxAStarNode* current, int32_t cell, uint32_t g, FerroxAStarNode* fresh)
{
    FerroxAStarNode* existing = CellNode(cell);
    if (existing != nullptr && m_cells[cell].g <= g) {
        return false;
    }
    const int goalCell = m_pGoalNode->cell;
    if (existing == nullptr) {
        FerroxAStarNode* s = fresh;
        if (s == nullptr) {
            s = m_ownRules ? CFerroxAStar::AllocNode() : AllocNode();
        }
        if (s == nullptr) {
            return false;
        }
        s->cell = cell;
        s->parent = current;
        s->g = g;
        s->h = m_ownRules ? CFerroxAStar::Heuristic(s, goalCell) : Heuristic(s, goalCell);
        s->f = s->g + s->h;
        SetCell(cell, s, kOpen);
        PushOpen(s);
        return s == fresh;
    }
    if (CellState(cell) == kClosed) {
        // Struck out where it stands: the others keep their order and nothing is searched.
        m_closed[existing->spare] = nullptr;
        m_closedCount--;
    } else {
        auto it =
            std::find_if(m_open.begin(), m_open.end(), [cell](const OpenEntry& entry) { return entry.cell == cell; });
        if (it != m_open.end()) {
            m_open.erase(it);
            std::make_heap(m_open.begin(), m_open.end(), OpenGreater());
        }
    }
    existing->parent = current;
    existing->g = g;
    existing->h = m_ownRules ? CFerroxAStar::Heuristic(existing, goalCell) : Heuristic(existing, goalCell);
    existing->f = existing->g + existing->h;
    PushOpen(existing);
    SetCell(cell, existing, kOpen);
    return false;
}

int CFerroxAStar::Step()
{
    if (m_status == FERROX_ASTAR_IDLE) {
        m_status = FERROX_ASTAR_NOTSTARTED;
        return m_status;
    }
    if (m_open.empty()) {
        m_status = FERROX_ASTAR_FAILED;
        Reset();
        return m_status;
    }
    if (m_closedCount > m_cellCount / 2) {
        m_status = FERROX_ASTAR_GAVEUP;
        Reset();
        return m_status;
    }
    m_stepCount++;
    std::pop_heap(m_open.begin(), m_open.end(), OpenGreater());
    FerroxAStarNode* current = CellNode(m_open.back().cell);
    m_open.pop_back();
    if (m_ownRules ? CFerroxAStar::IsGoal(current) : IsGoal(current)) {
        FoundGoal(current);
        return m_status;
    }
    // The grid is asked again each step: it may have been made again since the start.
    const CFerroxBlock* blocks =
        m_plainGridType && m_pGrid->GetCellCount() == m_cellCount ? m_pGrid->GetPlainBlocks() : nullptr;
    if (blocks != nullptr) {
        ExpandPlain(current, blocks);
    } else {
        m_successors.clear();
        GetSuccessors(current, current->parent);
        for (FerroxAStarNode* s : m_successors) {
            ExpandSuccessor(current, s);
        }
        m_successors.clear();
    }
    current->spare = static_cast<int32_t>(m_closed.size());
    m_closed.push_back(current);
    m_closedCount++;
    SetCellState(current->cell, kClosed);
    m_status = FERROX_ASTAR_SEARCHING;
    return m_status;
}

intptr_t CFerroxAStar::GetOwnerValue() { return m_ownerValue; }

// Rows and columns as the grid reckons them for its valid cells (index / R, index mod R).
uint32_t CFerroxAStar::Heuristic(FerroxAStarNode* node, int goalCell)
{
    const int r = m_gridRows;
    const int cell = node->cell;
    // Cells of the grid take the multiplication; anything else the plain division.
    const int row = cell >= 0 && cell < m_cellCount ? RowOf(cell) : cell / r;
    const int column = cell - row * r;
    const int goalRow = goalCell == m_goalCell ? m_goalRow : goalCell / r;
    const int goalColumn = goalCell == m_goalCell ? m_goalColumn : goalCell % r;
    const int rows = std::abs(row - goalRow);
    const int columns = std::abs(column - goalColumn);
    return static_cast<uint32_t>(rows + columns);
}

int CFerroxAStar::IsGoal(FerroxAStarNode* node)
{
    return m_pGoalNode != nullptr && node->cell == m_pGoalNode->cell ? 1 : 0;
}

// A node for every move the grid allows; the parent's cell is among them and Step drops it.
int CFerroxAStar::GetSuccessors(FerroxAStarNode* node, FerroxAStarNode*)
{
    for (int direction = 0; direction < kDirections; direction++) {
        if (!m_pGrid->CanMove(direction, node->cell)) {
            continue;
        }
        FerroxAStarNode* successor = AllocNode();
        if (successor == nullptr) {
            continue;
        }
        successor->cell = node->cell + m_offsets[direction];
        AddSuccessor(successor);
    }
    return 1;
}

uint32_t CFerroxAStar::StepCost(FerroxAStarNode*) { return kStepCost; }

int CFerroxAStar::IsSameNode(FerroxAStarNode* a, FerroxAStarNode* b) { return a->cell == b->cell ? 1 : 0; }

FerroxAStarNode* CFerroxAStar::GetStartNode() { return m_pStartNode; }

FerroxAStarNode* CFerroxAStar::GetGoalNode() { return m_pGoalNode; }

void CFerroxAStar::AddSuccessor(FerroxAStarNode* node) { m_successors.push_back(node); }

int CFerroxAStar::GetPath(std::vector<int>& cells, int append)
{
    if (!append) {
        cells.clear();
    }
    if (m_pStartNode == nullptr || m_status == FERROX_ASTAR_FAILED || m_status == FERROX_ASTAR_GAVEUP) {
        return 0;
    }
    int appended = 0;
    for (FerroxAStarNode* node = m_pStartNode; node != nullptr; node = node->child) {
        cells.push_back(node->cell);
        appended++;
        if (node == m_pGoalNode) {
            break;
        }
    }
    return appended;
}

std::unique_ptr<CFerroxSpline> CFerroxAStar::BuildPathSpline()
{
    if (m_pStartNode == nullptr || m_pGrid == nullptr || m_pathLength < 1) {
        return nullptr;
    }
    std::vector<GxV3d> points;
    points.reserve(m_pathLength);
    for (FerroxAStarNode* node = m_pStartNode; node != nullptr && static_cast<int>(points.size()) < m_pathLength;
         node = node->child) {
        GxV3d p;
        if (m_pGrid->GetCellPosition(node->cell, &p, 1) != nullptr) {
            points.push_back(p);
        }
    }
    auto spline = std::make_unique<CFerroxSpline>();
    spline->Create(points.data(), static_cast<int>(points.size()), nullptr);
    return spline;
}

void CFerroxAStar::DrawDebugInfo()
{
    if (m_pGrid == nullptr) {
        return;
    }
    auto drawCircle = [this](FerroxAStarNode* node, float radius, int count) {
        GxV3d centre;
        if (m_pGrid->GetCellPosition(node->cell, &centre, 1) == nullptr) {
            return;
        }
        centre.y += kDebugLift;
        const std::unique_ptr<GxV3d[]> circle = MakeDebugCircle(centre, radius, count);
        DrawDebugLines(circle.get(), count, 0);
    };
    for (FerroxAStarNode* node : GetOpenList()) {
        drawCircle(node, 0.5f, 4);
    }
    for (FerroxAStarNode* node : GetClosedList()) {
        drawCircle(node, 0.75f, 5);
    }
}
