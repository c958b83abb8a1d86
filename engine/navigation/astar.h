// Incremental A* search over the cells of a block grid, one expansion per step.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/data/root.h"
#include "gfx/core/assert.h"

struct GxFreeList;
class CFerroxBlock;
class CFerroxBlockGrid;
class CFerroxSpline;

struct FerroxAStarNode {
    int32_t cell;
    FerroxAStarNode* parent;  // null for the start node
    FerroxAStarNode* child;   // next node along the found path
    uint32_t f;
    uint32_t g;
    uint32_t h;
    int32_t spare;
};

enum FerroxAStarStatus {
    FERROX_ASTAR_IDLE = 0,
    FERROX_ASTAR_STARTED = 1,
    FERROX_ASTAR_SEARCHING = 2,
    FERROX_ASTAR_FAILED = 3,
    FERROX_ASTAR_NOTSTARTED = 5,
    FERROX_ASTAR_GAVEUP = 7,
    FERROX_ASTAR_FOUND = 8,
};

class CFerroxAStar : public CFerroxBase {
public:
    CFerroxAStar();
    void Init() override;
    void Release() override;
    ~CFerroxAStar() override;

    // Gives back every node of the search (path and goal nodes included) and purges the node list's empty blocks.
    virtual void Reset();
    virtual void ReleaseUnusedNodes();
    virtual int Step();
    // Returns the status: 1, or 3 when the grid or a cell cannot be searched. The per-cell tables
    // and the search limit follow the grid's cell count as it is at each start.
    virtual int Start(int startCell, int goalCell, CFerroxBlockGrid* grid, intptr_t ownerValue);
    // A zeroed node from the finder's node free list (made when there is none); null when none can be had.
    virtual FerroxAStarNode* AllocNode();
    // Gives the node back to the free list.
    virtual void FreeNode(FerroxAStarNode* node);
    virtual void ClearMap();
    virtual intptr_t GetOwnerValue();
    virtual uint32_t Heuristic(FerroxAStarNode* node, int goalCell);
    virtual int IsGoal(FerroxAStarNode* node);
    virtual int GetSuccessors(FerroxAStarNode* node, FerroxAStarNode* parent);
    virtual uint32_t StepCost(FerroxAStarNode* node);
    virtual int IsSameNode(FerroxAStarNode* a, FerroxAStarNode* b);
    virtual FerroxAStarNode* GetStartNode();
    virtual FerroxAStarNode* GetGoalNode();
    virtual void AddSuccessor(FerroxAStarNode* node);
    // Makes the node free list when there is none; with a grid, sizes the per-cell tables for it.
    virtual int SetGrid(CFerroxBlockGrid* grid);
    // Appends the path's cells (only the start cell before a path is built, none after a failure).
    virtual int GetPath(std::vector<int>& cells, int append);
    // A spline through the path's cell positions; null without a path.
    virtual std::unique_ptr<CFerroxSpline> BuildPathSpline();
    virtual void DrawDebugInfo();

    int GetStatus() const { return m_status; }
    int GetStepCount() const { return m_stepCount; }
    int GetPathLength() const { return m_pathLength; }
    int GetClosedCount() const { return m_closedCount; }
    // The open nodes in heap order.
    std::vector<FerroxAStarNode*> GetOpenList() const;
    // The closed nodes in the order they were closed.
    std::vector<FerroxAStarNode*> GetClosedList() const;

private:
    friend struct FerroxAStarTesting;

    void SetCellCount(CFerroxBlockGrid* grid);
    void FreeCellNode(FerroxAStarNode* node);
    void FoundGoal(FerroxAStarNode* current);
    void ExpandSuccessor(FerroxAStarNode* current, FerroxAStarNode* s);
    void ExpandPlain(FerroxAStarNode* current, const CFerroxBlock* blocks);
    bool Reach(FerroxAStarNode* current, int32_t cell, uint32_t g, FerroxAStarNode* fresh);
    // The free list of this open of the graphics core's memory: one of an earlier open went with its nodes.
    bool NodeListAlive() const;
    bool MakeNodeList();
    void FreeSearchNodes();
    // The node of a cell in this search, or null.
    FerroxAStarNode* CellNode(int32_t cell) const
    {
        const CellSlot& slot = Slot(cell);
        return (slot.stamp >> kStateBits) == m_generation ? slot.node : nullptr;
    }
    uint32_t CellState(int32_t cell) const
    {
        const CellSlot& slot = Slot(cell);
        return (slot.stamp >> kStateBits) == m_generation ? slot.stamp & kStateMask : 0;
    }
    void SetCell(int32_t cell, FerroxAStarNode* node, uint32_t state)
    {
        CellSlot& slot = Slot(cell);
        slot.node = node;
        slot.g = node != nullptr ? node->g : 0;
        SetCellState(cell, state);
    }
    void SetCellState(int32_t cell, uint32_t state)
    {
        GX_ASSERT(state <= kStateMask, "a cell state fits its bits");
        Slot(cell).stamp = (m_generation << kStateBits) | state;
    }
    void NextGeneration();

    static constexpr uint32_t kStateBits = 2;
    static constexpr uint32_t kStateMask = (1u << kStateBits) - 1;

    int32_t m_status;
    int32_t m_stepCount;
    int32_t m_pathLength;
    intptr_t m_ownerValue;
    CFerroxBlockGrid* m_pGrid;
    int32_t m_gridRows;
    int32_t m_gridColumns;
    // A cell's row is (cell * m_rowMagic) >> kRowMagicShift: exact for every cell of a grid.
    uint64_t m_rowMagic;
    static constexpr int kRowMagicShift = 40;
    int RowOf(int32_t cell) const
    {
        return static_cast<int>((static_cast<uint64_t>(cell) * m_rowMagic) >> kRowMagicShift);
    }
    int32_t m_offsets[8];  // cell index steps of directions 0..7
    // None of the search rules (estimate, cost, goal test, successors, nodes) is overridden, so
    // Step calls this class's own without a virtual call per neighbour.
    bool m_ownRules;
    // Own rules on a grid of the plain CFerroxBlockGrid type: Step reads its blocks when they are plain.
    bool m_plainGridType;
    int32_t m_goalCell;  // the goal's row and column, kept for the estimate
    int32_t m_goalRow;
    int32_t m_goalColumn;
    int32_t m_cellCount;
    // Min-heap on f; each entry carries its node's f and cell (the node is the cell's node),
    // so that sifting reads no node.
    struct OpenEntry {
        uint32_t f;
        int32_t cell;
    };
    // Min-heap on f through the standard heap algorithms; ties are settled by heap position alone.
    struct OpenGreater {
        bool operator()(const OpenEntry& a, const OpenEntry& b) const { return a.f > b.f; }
    };
    void PushOpen(FerroxAStarNode* node)
    {
        m_open.push_back({node->f, node->cell});
        std::push_heap(m_open.begin(), m_open.end(), OpenGreater());
    }
    std::vector<OpenEntry> m_open;
    // In closing order; a reopened node leaves a null behind (its index is in its spare field).
    std::vector<FerroxAStarNode*> m_closed;
    std::vector<FerroxAStarNode*> m_successors;  // filled by GetSuccessors for the node being expanded
    int32_t m_closedCount;
    FerroxAStarNode* m_pStartNode;
    FerroxAStarNode* m_pGoalNode;
    // Per cell: the search generation that touched it with its state (0 untouched, 1 open,
    // 2 closed) in the low bits, and its node with a copy of the node's g, so that a neighbour
    // is judged without reading its node; a new search only moves the generation on.
    struct CellSlot {
        uint32_t stamp;
        uint32_t g;
        FerroxAStarNode* node;
    };
    std::vector<CellSlot> m_cells;
    const CellSlot& Slot(int32_t cell) const
    {
        GX_ASSERT(cell >= 0 && static_cast<size_t>(cell) < m_cells.size(), "a cell lies inside the searched grid");
        return m_cells[cell];
    }
    CellSlot& Slot(int32_t cell) { return const_cast<CellSlot&>(static_cast<const CFerroxAStar*>(this)->Slot(cell)); }
    uint32_t m_generation;
    GxFreeList* m_pNodeList;
    uint32_t m_nodeSession;  // the memory open the list belongs to
};
