// The floor of one storey: a block grid whose cells carry floor tiles, drawn as strips and chained with the storeys.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/data/debugdraw.h"
#include "engine/navigation/blockgrid.h"

class CFerroxFile;
struct GxRaster;

// A floor tile; the floor manager's own records start with this one.
struct CFerroxTileRecord {
    GxRaster* raster;
};

// Decides the tile of a cell of a new storey from the occupant of the cell below
// (untiled is 1 when the cell below has no tile); non-zero lays the tile.
typedef int (*FerroxStoreyFilter)(CFerroxBase* occupant, int cell, int untiled);
typedef int (*FerroxTileToText)(CFerroxTileRecord* tile);
// Turns a saved value back into a tile; the default is the one given to Load.
typedef CFerroxTileRecord* (*FerroxTileFromText)(int value, CFerroxTileRecord* defaultTile);
typedef void (*FerroxTileCallback)(int cell);

// One triangle strip of the floor: a run of cells of one row with the same tile.
struct FerroxTileStrip {
    int row;
    int firstColumn;
    int cells;
    CFerroxTileRecord* tile;
    int firstVertex;  // into GetVertices()
    int vertexCount;  // 2 x (cells + 1)
};

// Storeys a chain holds at most, ground included.
constexpr int FERROX_MAX_STOREYS = 5;

// What the height line of a saved chain does: a height of 0 goes on reading into the storey read last; any other
// starts the storey above it, which must stand higher, or the chain is damaged.
enum FerroxStoreyHeight {
    FERROX_HEIGHT_READS_ON,
    FERROX_HEIGHT_RISES,
    FERROX_HEIGHT_DAMAGED,
};
// Reads a height line; top holds the height above the ground of the storey read last (0 for the ground) and takes
// the new storey's when it rises.
FerroxStoreyHeight FerroxReadStoreyHeight(const std::string& line, float* top);

class CFerroxBlockMesh : public CFerroxBlockGrid {
public:
    CFerroxBlockMesh();
    void Init() override;
    void Release() override;
    ~CFerroxBlockMesh() override;

    int ClearArea(int first, int rows, int columns, int whole, void* tile = nullptr) override;
    int Create(int rows, int width, const GxV3d& origin, int cellSize, int floorId) override;
    virtual void BuildVertices();
    virtual int ClearObjects(int first, int rows, int columns, int whole);
    virtual int PlaceFreeObject(int first, CFerroxBase* record, int rows, int columns);
    virtual int SetRangeTile(int first, int last, int includeOccupied, FerroxTileCallback callback);
    virtual int SetRangeTileEx(CFerroxTileRecord* tile, int first, int last, int includeOccupied, int onlyEmpty,
                               FerroxTileCallback callback);
    virtual void Render();
    virtual int IsAreaTiled(int first, int rows, int columns);

    CFerroxBlockMesh* GetLinked(int n);
    int CountLinked();
    // Builds the storey above at the given height; 0 when made, 1 when refused.
    int BuildStoreyAbove(float height, CFerroxTileRecord* tile, FerroxStoreyFilter filter);
    // Writes the chain from this (ground) mesh up; 1 on success, 0 when the file is not open for
    // writing or a write to it failed.
    int Save(CFerroxFile* file, FerroxTileToText toText);
    // Reads a chain into this (ground) mesh and new meshes above it; 1 when the block was read.
    // The ground should have no storeys yet: the chain read replaces the links above it.
    int Load(CFerroxFile* file, FerroxTileFromText fromText, CFerroxTileRecord* defaultTile = nullptr);

    // The strips Render draws, row by row.
    void BuildTileStrips(std::vector<FerroxTileStrip>& strips);
    CFerroxTileRecord* GetTile(int index)
    {
        return m_pTiles != nullptr && IsValidCell(index, 1) ? m_pTiles[index] : nullptr;
    }
    const GxIm3DVertex* GetVertices() const { return m_pVertices.get(); }
    CFerroxBlockMesh* GetUpper() const { return m_pUpper; }
    CFerroxBlockMesh* GetLower() const { return m_pLower; }

private:
    void FreeArrays();
    void ReadBody(CFerroxFile* file, FerroxTileFromText fromText, CFerroxTileRecord* defaultTile, bool* endOfBlock);

    std::unique_ptr<GxIm3DVertex[]> m_pVertices;
    std::unique_ptr<CFerroxTileRecord*[]> m_pTiles;
    CFerroxBlockMesh* m_pUpper;
    CFerroxBlockMesh* m_pLower;
};
