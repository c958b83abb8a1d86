// The wall scans of the placement controller: edges along the outside of the laid cells, balcony rails around
// openings of the storeys above, and the doorway pieces where walls and doors border laid cells; each run of
// cells that passes a scan's test becomes one piece.
#include <cstring>

#include "engine/navigation/blockmesh.h"
#include "game/buildings/building_local.h"
#include "game/buildings/door.h"
#include "game/buildings/placement.h"
#include "game/buildings/scalable.h"
#include "game/buildings/stairs.h"
#include "game/world/objectmgr.h"

namespace {

constexpr const char* kScalableFactoryText = "scalable";
constexpr int kPieceModelMode = 2;
constexpr GxV3d kUp = {0.0f, 1.0f, 0.0f};

// Templates ("AUX" index) in the order the scans run.
constexpr int kEdgeNextRow = 4, kEdgePrevRow = 2, kEdgeNextColumn = 3, kEdgePrevColumn = 1;
constexpr int kBalconyNextRow = 9, kBalconyPrevRow = 7, kBalconyNextColumn = 8, kBalconyPrevColumn = 6;
constexpr int kDoorGap = 5;
// Doorway pieces are turned a quarter about the up axis.
constexpr float kGapTurn = 90.0f;
constexpr float kNoTurn = -1.0f;

CFerroxBase* Occupant(CFerroxBlockGrid* grid, int cell)
{
    if (!grid || !grid->IsValidCell(cell, 1))
        return nullptr;
    CFerroxBlock* block = grid->GetBlock(cell);
    return block ? block->m_pOccupant : nullptr;
}

bool IsWall(CFerroxBase* occupant)
{
    const char* name = occupant ? BuildingOccupantName(occupant) : nullptr;
    return name && std::strstr(name, kWallName);
}

bool Laid(CFerroxBlockMesh* storey, int cell) { return storey && storey->IsAreaTiled(cell, 1, 1) != 0; }

CFerroxBlockMesh* Lowest(CFerroxBlockMesh* storey)
{
    while (storey->GetLower())
        storey = storey->GetLower();
    return storey;
}

// A door standing on the cell none of whose outside entrances lies there.
bool IsDoorFlank(CFerroxBase* occupant, int cell)
{
    CDoorObject* door = dynamic_cast<CDoorObject*>(occupant);
    return door && !door->IsExtraEntranceCell(cell);
}

// What the tests of one storey's scans share.
struct ScanSite {
    CFerroxBlockMesh* storey;
};

// Where a laid cell a meets the unlaid cell b, the piece stands on b.
bool NeedsEdge(const ScanSite& site, int a, int b)
{
    CFerroxBlockMesh* storey = site.storey;
    if (!Laid(storey, a) || Laid(storey, b))
        return false;
    CFerroxBlockMesh* below = storey->GetLower();
    CFerroxBase* atB = Occupant(storey, b);
    if ((!atB || IsWall(atB)) && (!below || IsWall(Occupant(below, b))))
        return true;
    if (!below)
        return false;
    CFerroxBlockMesh* lowest = Lowest(storey);
    if (!Laid(lowest, a))
        return false;
    return IsWall(Occupant(below, b)) || IsDoorFlank(Occupant(lowest, b), b);
}

// Where the unlaid cell a of an upper storey meets the laid cell b, the rail stands on a.
bool NeedsBalcony(const ScanSite& site, int a, int b)
{
    CFerroxBlockMesh* storey = site.storey;
    if (!storey->GetLower() || !Laid(storey, b) || Laid(storey, a))
        return false;
    CFerroxBase* atA = Occupant(storey, a);
    CFerroxBase* atB = Occupant(storey, b);
    const bool allowed = (!atA && !atB) || (dynamic_cast<CStairs*>(atA) && !dynamic_cast<CStairs*>(atB)) ||
                         dynamic_cast<CScalableObject*>(atB);
    return allowed && !IsWall(atA);
}

// Where a wall piece or a door on the cell a borders the laid cell b, a doorway piece stands on a.
bool NeedsDoorGap(const ScanSite& site, int a, int b)
{
    CFerroxBase* atA = Occupant(site.storey, a);
    return (IsWall(atA) || dynamic_cast<CDoorObject*>(atA)) && Laid(site.storey, b);
}

typedef bool (*WallTest)(const ScanSite& site, int a, int b);

struct WallScan {
    WallTest test;
    bool rows;      // step across rows (±row stride) or along a row (±1)
    int direction;  // +1 or -1
    bool pieceOnA;  // the piece stands on the tested cell, else on its neighbour
    int templateIndex;
    float yaw;  // the piece's turn, kNoTurn for none
};

const WallScan kScans[] = {
    {&NeedsEdge, true, +1, false, kEdgeNextRow, kNoTurn},
    {&NeedsEdge, true, -1, false, kEdgePrevRow, kNoTurn},
    {&NeedsEdge, false, +1, false, kEdgeNextColumn, kNoTurn},
    {&NeedsEdge, false, -1, false, kEdgePrevColumn, kNoTurn},
    {&NeedsBalcony, true, +1, true, kBalconyNextRow, kNoTurn},
    {&NeedsBalcony, true, -1, true, kBalconyPrevRow, kNoTurn},
    {&NeedsBalcony, false, +1, true, kBalconyNextColumn, kNoTurn},
    {&NeedsBalcony, false, -1, true, kBalconyPrevColumn, kNoTurn},
    {&NeedsDoorGap, true, +1, true, kDoorGap, kGapTurn},
    {&NeedsDoorGap, true, -1, true, kDoorGap, kGapTurn},
};

// A piece takes its cells only where nothing but other pieces stands: a rail round a stairwell or a doorway
// over a door leaves those cells to the stairs or the door, which the storeys above and the characters read.
bool CellsAreFree(CBaseObject* piece, CFerroxBlockGrid* storey)
{
    const int stride = storey->GetColumns();
    for (int r = 0; r < piece->GetRows(); r++) {
        for (int c = 0; c < piece->GetColumns(); c++) {
            CFerroxBase* occupant = Occupant(storey, piece->GetFirstCell() + r * stride + c);
            if (occupant && !dynamic_cast<CScalableObject*>(occupant))
                return false;
        }
    }
    return true;
}

}  // namespace

void CPlacementController::ScanWalls(CFerroxBlockMesh* storey)
{
    // Rows step by the grid's width W, columns by its height H: on the square grids of the levels both agree.
    const int width = storey->GetRows();
    const int height = storey->GetColumns();
    if (width < 2 || height < 1)
        return;
    const ScanSite site = {storey};
    for (const WallScan& scan : kScans) {
        CFerroxAssetSet* set = GetWallTemplate(scan.templateIndex);
        // The outer index walks the lines scanned (rows or columns), the inner one the cells of a line.
        const int outerCount = scan.rows ? width : height;
        const int innerCount = scan.rows ? height : width;
        const int stride = scan.rows ? width : height;
        const int step = scan.rows ? scan.direction * width : scan.direction;
        // Both directions stop at the second last line: no piece stands on the grid's far border line.
        const int outerFirst = scan.direction > 0 ? 0 : 1;
        for (int outer = outerFirst; outer <= outerCount - 2; outer++) {
            int runStart = -1;
            for (int inner = 0; inner <= innerCount; inner++) {
                const int a = scan.rows ? outer * stride + inner : outer + inner * stride;
                const bool passes = inner < innerCount && storey->IsValidCell(a, 1) &&
                                    storey->IsValidCell(a + step, 1) && scan.test(site, a, a + step);
                if (passes && runStart < 0)
                    runStart = inner;
                if (passes || runStart < 0)
                    continue;
                auto cellOf = [&](int k) {
                    const int at = scan.rows ? outer * stride + k : outer + k * stride;
                    return scan.pieceOnA ? at : at + step;
                };
                MakePiece(storey, set, cellOf(runStart), cellOf(inner - 1), inner - runStart, scan.rows, scan.yaw);
                runStart = -1;
            }
        }
    }
}

void CPlacementController::MakePiece(CFerroxBlockMesh* storey, CFerroxAssetSet* set, int first, int last, int length,
                                     bool acrossRows, float yaw)
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = set;
    descriptor.modelMode = kPieceModelMode;
    descriptor.floorObject = storey;
    CFerroxObject* made = manager->CreateObject(manager->FindFactory(kScalableFactoryText, m_pWorld), &descriptor);
    CScalableObject* piece = dynamic_cast<CScalableObject*>(made);
    if (!piece) {
        if (made)
            manager->RemoveObject(made, 1);
        return;
    }
    const GxV3d at = {0.5f * static_cast<float>(storey->GetCellWorldX(first, 1) + storey->GetCellWorldX(last, 1)),
                      storey->GetOrigin().y,
                      0.5f * static_cast<float>(storey->GetCellWorldZ(first, 1) + storey->GetCellWorldZ(last, 1))};
    // The cells a piece holds are told apart by its name ("wall", "balc"), as the clear and lay tests read them:
    // the piece carries its model's.
    if (const char* name = BuildingOccupantName(piece))
        piece->SetName(name);
    piece->Translate(&at, 0);
    piece->DisableCollision();
    // The model is stretched along the axis that the turn carries onto the run.
    const bool quarterTurn = yaw == kGapTurn;
    const float run = static_cast<float>(length);
    piece->SetScale(acrossRows != quarterTurn ? GxV3d{1.0f, 1.0f, run} : GxV3d{run, 1.0f, 1.0f});
    // Turned where it stands: the turn keeps the piece's position.
    if (yaw != kNoTurn)
        piece->RotateYaw(&kUp, yaw, 1);
    if (piece->SetGridPosition(*piece->GetPosition(), storey) == 0 && CellsAreFree(piece, storey))
        piece->Place(nullptr);
    m_pieces.push_back(piece);
}
