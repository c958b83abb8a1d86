// The walkable floor plan of one floor: a square grid of cells with their occupants, area operations and moves.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/data/root.h"
#include "gfx/core/gx.h"

class CFerroxSpline;

enum FerroxBlockState {
    FERROX_BLOCK_FREE = 0,
    FERROX_BLOCK_OCCUPIED = 1,
    FERROX_BLOCK_RESERVED = 2,
    FERROX_BLOCK_BLOCKED = 3,
};

// Stamp of a cell that was occupied when an object was placed over it.
constexpr int32_t FERROX_BLOCK_DISPLACED = 9999;

// One cell. The occupant is the building object covering it.
class CFerroxBlock : public CFerroxBase {
public:
    CFerroxBlock();
    void Init() override;
    void Release() override;
    ~CFerroxBlock() override;

    virtual int SetObject(CFerroxBase* record);
    virtual int ClearObject();
    // Edge tests: non-zero makes CanMove refuse the move across that edge.
    virtual int IsBlockedToNextColumn();
    virtual int IsBlockedToPrevColumn();
    virtual int IsBlockedToNextRow();
    virtual int IsBlockedToPrevRow();
    // Null or empty name: any occupant; otherwise the occupant's name must contain it.
    virtual int HasObject(const char* name);
    virtual int IsWalkable();
    virtual int IsOccupied();
    virtual int IsReserved();
    virtual void SetState(int32_t state);

    int32_t m_state;
    int32_t m_spare;
    int32_t m_stamp;
    CFerroxBase* m_pOccupant;
};

// A record appended by the grid's owner; the grid destroys its object with it.
struct CFerroxGridPiece {
    std::unique_ptr<CFerroxBase> object;
};

// Limits a grid is created within.
constexpr int32_t FERROX_GRID_MAXSIDE = 4096;
constexpr int32_t FERROX_GRID_MAXCELLSIZE = 1 << 16;

class CFerroxBlockGrid : public CFerroxBase {
public:
    CFerroxBlockGrid();
    void Init() override;
    void Release() override;
    ~CFerroxBlockGrid() override;

    virtual CFerroxBlock* CreateBlock();
    // Area operations return 0 when done, 1 when refused.
    virtual int SetAreaState(int first, int rows, int columns, int32_t state);
    virtual int SetRangeState(int first, int last, int32_t state, int onlyFree);
    virtual int PlaceObject(int first, CFerroxBase* record, int rows, int columns, int block);
    virtual int AssignObject(int first, CFerroxBase* record, int rows, int columns, int block);
    // The tile is used by block meshes only.
    virtual int ClearArea(int first, int rows, int columns, int whole, void* tile = nullptr);
    virtual int GetCellSize();
    virtual int GetFloorId();
    // Takes the record over.
    virtual void AddPiece(CFerroxGridPiece* record);
    virtual CFerroxGridPiece* GetFirstPiece();
    virtual CFerroxBlock* GetBlock(int index);
    virtual int IsValidCell(int index, int whole);
    virtual int IsAreaInside(int first, int rows, int columns, int whole);
    virtual int GetCellWorldX(int index, int whole);
    virtual int GetCellWorldZ(int index, int whole);
    virtual int GetCellRow(int index, int whole);
    virtual int GetCellColumn(int index, int whole);
    virtual int GetCellAt(const GxV3d& position);
    virtual int GetCellIndex(int x, int y, int whole);
    virtual int GetRows();
    virtual int GetColumns();
    virtual GxV3d* GetCellPosition(int index, GxV3d* out, int whole);
    virtual int CanMove(int direction, int index);
    virtual int CanLeave(int direction, int index);
    virtual void DrawDebugInfo();
    virtual const GxV3d& GetOrigin();
    // A spline through the valid cells of the list (at least four points); null when none is valid.
    virtual std::unique_ptr<CFerroxSpline> BuildSpline(const int* cells, int count);
    // 1 when made; refuses sides or a cell size of 0 or less or too large, and rows differing from width.
    virtual int Create(int rows, int width, const GxV3d& origin, int cellSize, int floorId);

    void OccupyCell(int index);
    void VacateCell(int index);
    int IsAreaEmpty(int first, int rows, int columns, int whole);
    int IsAreaFilled(int first, int rows, int columns, int whole);
    int IsAreaFilledWith(int first, int rows, int columns, int whole, const char* name);

    const std::vector<int32_t>& GetOccupiedList() const { return m_occupied; }
    int32_t GetOccupiedCount() const { return m_occupiedCount; }
    int32_t GetCellCount() const { return m_cellCount; }
    // The grid's own blocks side by side in cell order when every cell is one of them and plain
    // (moves then depend on their states and CanLeave only); null otherwise.
    const CFerroxBlock* GetPlainBlocks() const { return m_plainBlocks ? m_pBlockSlab : nullptr; }

protected:
    // 1 when the area is inside and every cell is occupied (or every one free) and, when named, holds that object.
    int AreaMatches(int first, int rows, int columns, int whole, bool occupied, const char* name);
    // The cells of the rectangle spanned by two valid corners, in walk order; false when refused.
    bool GetRangeCells(int first, int last, std::vector<int>& cells);
    // Puts the record on every cell of an area known to be inside, moving off whoever stands there (marked
    // displaced); each cell then takes the state, or keeps its own for kKeepState.
    void StampObject(int first, CFerroxBase* record, int rows, int columns, int32_t state);
    static constexpr int32_t kKeepState = -1;
    // Neighbour of a cell in a direction 0..7.
    int Neighbour(int direction, int index) const;
    // IsValidCell (index, 1) without the call: the moves test it up to four times a neighbour.
    bool HasCell(int index) const { return m_pCells != nullptr && index >= 0 && index < m_cellCount; }
    int CanMovePlain(int direction, int index, int target);
    // Destroys the blocks (in place for those in the slab) and the slab.
    void FreeCells();
    // index / m_rows for a valid cell, by multiplying with m_rowMagic: exact for every cell count allowed.
    int RowOf(int index) const
    {
        return static_cast<int>((static_cast<uint64_t>(index) * m_rowMagic) >> kRowMagicShift);
    }
    static constexpr int kRowMagicShift = 40;

    int32_t m_floorId;
    std::unique_ptr<CFerroxBlock*[]> m_pCells;
    int32_t m_rows;
    int32_t m_width;
    int32_t m_cellCount;
    float m_area;
    float m_extentX;
    float m_extentZ;
    GxV3d m_origin;
    int32_t m_cellSize;
    std::vector<std::unique_ptr<CFerroxGridPiece>> m_pieces;
    std::vector<int32_t> m_occupied;
    int32_t m_occupiedCount;
    // Blocks the base CreateBlock made during Create, side by side; m_slabUsed of them were made.
    CFerroxBlock* m_pBlockSlab;
    int32_t m_slabUsed;
    bool m_slabOpen;
    // Every cell's block is the plain CFerroxBlock of its slab place (none of its tests
    // overridden), so moves may read the states straight from the slab.
    bool m_plainBlocks;
    uint64_t m_rowMagic;  // 2^kRowMagicShift / m_rows, rounded up
};
