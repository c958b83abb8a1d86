// The wall scans of the placement controller: edges around laid cells, balcony rails around openings of the
// storeys above, and the pieces beside doors; each run of cells that passes a scan's test becomes one piece.
#include <cstring>

#include "engine/navigation/blockmesh.h"
#include "game/buildings/door.h"
#include "game/buildings/placement.h"
#include "game/buildings/scalable.h"
#include "game/buildings/stairs.h"
#include "game/world/objectmgr.h"

namespace {

constexpr const char* kWallName = "wall";
constexpr const char* kScalableFactoryText = "scalable";
constexpr int kPieceModelMode = 2;
constexpr float kGapTurn = 90.0f;
constexpr GxV3d kUp = {0.0f, 1.0f, 0.0f};

// Templates ("AUX" index) in the order the scans run.
constexpr int kEdgeNextRow = 4, kEdgePrevRow = 2, kEdgeNextColumn = 3, kEdgePrevColumn = 1;
constexpr int kBalconyNextRow = 9, kBalconyPrevRow = 7, kBalconyNextColumn = 8, kBalconyPrevColumn = 6;
constexpr int kDoorGap = 5;

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

// A door at the cell none of whose outside entrances is that cell.
bool IsDoorFlank(CFerroxBase* occupant, int cell)
{
    CDoorObject* door = dynamic_cast<CDoorObject*>(occupant);
    if (!door)
        return false;
    for (int32_t i = 0; i < door->GetExtraEntranceCount(); i++) {
        if (door->GetExtraEntranceCell(i) == cell)
            return false;
    }
    return true;
}

// Where a laid cell a meets the unlaid cell b, the piece stands on b.
bool NeedsEdge(CFerroxBlockMesh* storey, int a, int b)
{
    if (!Laid(storey, a) || Laid(storey, b))
        return false;
    CFerroxBlockMesh* below = storey->GetLower();
    CFerroxBase* atB = Occupant(storey, b);
    if (!atB || IsWall(atB)) {
        if (!below || IsWall(Occupant(below, b)))
            return true;
    }
    if (!below)
        return false;
    CFerroxBlockMesh* lowest = Lowest(storey);
    if (!Laid(lowest, a))
        return false;
    return IsWall(Occupant(below, b)) || IsDoorFlank(Occupant(lowest, b), b);
}

// Where the unlaid cell a of an upper storey meets the laid cell b, the rail stands on a.
bool NeedsBalcony(CFerroxBlockMesh* storey, int a, int b)
{
    if (!storey->GetLower() || !Laid(storey, b) || Laid(storey, a))
        return false;
    CFerroxBase* atA = Occupant(storey, a);
    CFerroxBase* atB = Occupant(storey, b);
    const bool allowed = (!atA && !atB) || (dynamic_cast<CStairs*>(atA) && !dynamic_cast<CStairs*>(atB)) ||
                         dynamic_cast<CScalableObject*>(atB);
    return allowed && !IsWall(atA);
}

// The flank of a door on the ground storey facing a laid cell gets a gap piece.
bool NeedsDoorGap(CFerroxBlockMesh* storey, int a, int b)
{
    CFerroxBase* atA = Occupant(storey, a);
    return !storey->GetLower() && IsDoorFlank(atA, a) && Laid(storey, b) && Occupant(storey, b) != atA;
}

typedef bool (*WallTest)(CFerroxBlockMesh* storey, int a, int b);

struct WallScan {
    WallTest test;
    bool rows;      // step across rows (±row stride) or along a row (±1)
    int direction;  // +1 or -1
    bool pieceOnA;  // the piece stands on the tested cell, else on its neighbour
    int templateIndex;
    bool turned;
};

const WallScan kScans[] = {
    {&NeedsEdge, true, +1, false, kEdgeNextRow, false},
    {&NeedsEdge, true, -1, false, kEdgePrevRow, false},
    {&NeedsEdge, false, +1, false, kEdgeNextColumn, false},
    {&NeedsEdge, false, -1, false, kEdgePrevColumn, false},
    {&NeedsBalcony, true, +1, true, kBalconyNextRow, false},
    {&NeedsBalcony, true, -1, true, kBalconyPrevRow, false},
    {&NeedsBalcony, false, +1, true, kBalconyNextColumn, false},
    {&NeedsBalcony, false, -1, true, kBalconyPrevColumn, false},
    {&NeedsDoorGap, true, +1, true, kDoorGap, true},
    {&NeedsDoorGap, true, -1, true, kDoorGap, true},
};

}  // namespace

void CPlacementController::ScanWalls(CFerroxBlockMesh* storey)
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    const int stride = storey->GetRows();
    const int lines = storey->GetColumns();
    if (stride < 2 || lines < 1)
        return;
    const int rowCount = storey->GetCellCount() / stride;
    for (const WallScan& scan : kScans) {
        CFerroxAssetSet* set = GetWallTemplate(scan.templateIndex);
        // The outer index walks the lines scanned (rows or columns), the inner one the cells of a line.
        const int outerCount = scan.rows ? rowCount : stride;
        const int innerCount = scan.rows ? stride : rowCount;
        const int step = scan.rows ? scan.direction * stride : scan.direction;
        const int outerFirst = scan.direction > 0 ? 0 : 1;
        const int outerLast = scan.direction > 0 ? outerCount - 2 : outerCount - 1;
        for (int outer = outerFirst; outer <= outerLast; outer++) {
            int runStart = -1;
            for (int inner = 0; inner <= innerCount; inner++) {
                const int a = scan.rows ? outer * stride + inner : outer + inner * stride;
                const bool passes = inner < innerCount && storey->IsValidCell(a, 1) &&
                                    storey->IsValidCell(a + step, 1) && scan.test(storey, a, a + step);
                if (passes && runStart < 0)
                    runStart = inner;
                if (passes || runStart < 0)
                    continue;
                const int length = inner - runStart;
                auto cellOf = [&](int k) {
                    const int at = scan.rows ? outer * stride + k : outer + k * stride;
                    return scan.pieceOnA ? at : at + step;
                };
                const int first = cellOf(runStart);
                const int last = cellOf(inner - 1);
                runStart = -1;
                FerroxObjectDescriptor descriptor = {};
                descriptor.assetSet = set;
                descriptor.modelMode = kPieceModelMode;
                descriptor.floorObject = storey;
                CFerroxObject* made =
                    manager->CreateObject(manager->FindFactory(kScalableFactoryText, m_pWorld), &descriptor);
                CScalableObject* piece = dynamic_cast<CScalableObject*>(made);
                if (!piece) {
                    if (made)
                        manager->RemoveObject(made, 1);
                    continue;
                }
                const GxV3d at = {
                    0.5f * static_cast<float>(storey->GetCellWorldX(first, 1) + storey->GetCellWorldX(last, 1)),
                    storey->GetOrigin().y,
                    0.5f * static_cast<float>(storey->GetCellWorldZ(first, 1) + storey->GetCellWorldZ(last, 1))};
                piece->Translate(&at, 0);
                piece->DisableCollision();
                const float run = static_cast<float>(length);
                piece->SetScale(scan.rows ? GxV3d{1.0f, 1.0f, run} : GxV3d{run, 1.0f, 1.0f});
                if (scan.turned)
                    piece->RotateYaw(&kUp, kGapTurn, 1);
                // A gap piece stands in the door's own cells, which stay the door's.
                if (piece->SetGridPosition(*piece->GetPosition(), storey) == 0 && !scan.turned)
                    piece->Place(nullptr);
                m_pieces.push_back(piece);
            }
        }
    }
}
