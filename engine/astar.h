// Incremental A* search over the cells of a block grid, one expansion per step.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/base.h"

class CFerroxBlockGrid;
class CFerroxSpline;
struct GxFreeList;

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

    // Frees every node of the search (path nodes included) and purges the node list.
    virtual void Reset();
    virtual void ReleaseUnusedNodes();
    virtual int Step();
    // Returns the status: 1, or 3 when the grid or a cell cannot be searched.
    virtual int Start(int startCell, int goalCell, CFerroxBlockGrid* grid, intptr_t ownerValue);
    virtual FerroxAStarNode* AllocNode();
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
    virtual int SetGrid(CFerroxBlockGrid* grid);
    // Appends the path's cells (only the start cell before a path is built, none after a failure).
    virtual int GetPath(std::vector<int>& cells, int append);
    // A spline through the path's cell positions, owned by the caller; null without a path.
    virtual CFerroxSpline* BuildPathSpline();
    virtual void DrawDebugInfo();

    int GetStatus() const { return m_status; }
    int GetStepCount() const { return m_stepCount; }
    int GetPathLength() const { return m_pathLength; }
    int GetClosedCount() const { return m_closedCount; }
    // The open nodes in heap order.
    std::vector<FerroxAStarNode*> GetOpenList() const;
    // The closed nodes in the order they were closed.
    std::vector<FerroxAStarNode*> GetClosedList() const;
    // Nodes taken from the node list and not yet given back.
    int GetLiveNodeCount() const { return m_liveNodes; }

private:
    void SetCellCount(CFerroxBlockGrid* grid);
    void FreeCellNode(FerroxAStarNode* node);
    void FoundGoal(FerroxAStarNode* current);
    void ExpandSuccessor(FerroxAStarNode* current, FerroxAStarNode* s);

    int32_t m_status;
    int32_t m_stepCount;
    int32_t m_pathLength;
    intptr_t m_ownerValue;
    GxFreeList* m_pFreeList;
    CFerroxBlockGrid* m_pGrid;
    int32_t m_gridRows;
    int32_t m_goalCell;  // the goal's row and column, kept for the estimate
    int32_t m_goalRow;
    int32_t m_goalColumn;
    uint8_t* m_pMap;  // 0 untouched, 1 open, 2 closed
    int32_t m_cellCount;
    // Min-heap on f; each entry carries its node's f and cell (the node is the cell's node),
    // so that sifting reads no node.
    struct OpenEntry {
        uint32_t f;
        int32_t cell;
    };
    void PushOpen(FerroxAStarNode* node);
    std::vector<OpenEntry> m_open;
    // In closing order; a reopened node leaves a null behind (its index is in its spare field).
    std::vector<FerroxAStarNode*> m_closed;
    std::vector<FerroxAStarNode*> m_successors;  // point into m_scratch
    FerroxAStarNode m_scratch[8];
    int32_t m_closedCount;
    FerroxAStarNode* m_pStartNode;
    FerroxAStarNode* m_pGoalNode;
    // The one node of each touched cell, so that nothing is searched for and nothing freed twice.
    std::vector<FerroxAStarNode*> m_cellNodes;
    std::vector<int32_t> m_touched;
    int32_t m_liveNodes;
};
