// Mall doors: entrances from the width, the wall fit test that turns the door, crossing cells.
#include "game/buildings/door.h"

#include <cstdlib>
#include <cstring>

#include "engine/data/random.h"
#include "engine/navigation/blockgrid.h"
#include "engine/navigation/blockmesh.h"
#include "game/buildings/building_local.h"
#include "game/world/objectmgr.h"

namespace {

// Wall piece names and the yaw a door takes in each, first match first.
struct WallFacing {
    const char* name;
    float yaw;
};
const WallFacing kWallFacings[] = {
    {"wallN", kYawNorth}, {"wallE", kYawEast}, {"wallS", kYawSouth}, {"wallW", kYawWest}};
const char* const kCornerName = "wallNE";
const GxV3d kUpAxis = {0.0f, 1.0f, 0.0f};
// Model depth of the inside and outside entrance dummies, and the width each pair serves.
const float kInsideDepth = 2.0f;
const float kOutsideDepth = -2.0f;
const int kUnitsPerEntrance = 2;

bool Contains(const char* text, const char* part) { return text && std::strstr(text, part) != nullptr; }

}  // namespace

CDoorObject::~CDoorObject() { CDoorObject::Release(); }

void CDoorObject::Release()
{
    if (m_placed && m_pFloor)
        for (int32_t i = 0; i < GetExtraEntranceCount(); i++)
            m_pFloor->ClearArea(GetExtraEntranceCell(i), 1, 1, 0);
    m_extraEntrances.clear();
    CUsableObject::Release();
}

void CDoorObject::Setup(const FerroxObjectDescriptor* descriptor)
{
    CUsableObject::Setup(descriptor);
    BuildEntrances();
}

void CDoorObject::BuildEntrances()
{
    m_entrances.clear();
    m_extraEntrances.clear();
    const int pairs = m_sizeX / kUnitsPerEntrance;
    for (int i = 0; i < pairs; i++) {
        const float px = 1.0f - static_cast<float>(m_sizeX) * 0.5f + static_cast<float>(kUnitsPerEntrance * i);
        AddEntrance(EntranceFromDummy({px, 0.0f, kInsideDepth}));
        m_extraEntrances.push_back(SecondEntranceFromDummy({px, 0.0f, kOutsideDepth}));
    }
}

int CDoorObject::CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh*)
{
    if (below || !m_pFloor)
        return 0;
    const int result = m_pFloor->IsAreaInside(m_firstCell, m_rows, m_columns, 0);
    const char* firstName = nullptr;
    if (m_pFloor->IsValidCell(m_firstCell, 0) && m_pFloor->GetBlock(m_firstCell))
        firstName = BuildingOccupantName(m_pFloor->GetBlock(m_firstCell)->m_pOccupant);
    for (const WallFacing& facing : kWallFacings) {
        if (Contains(firstName, facing.name)) {
            TurnInPlace(facing.yaw);
            break;
        }
    }
    if (!result)
        return 0;
    for (int cell : CoveredCells()) {
        CFerroxBlock* block = m_pFloor->IsValidCell(cell, 0) ? m_pFloor->GetBlock(cell) : nullptr;
        const char* name = block ? BuildingOccupantName(block->m_pOccupant) : nullptr;
        if (!Contains(name, kWallName) || Contains(name, kCornerName))
            return 0;
    }
    return result;
}

void CDoorObject::TurnInPlace(float yaw)
{
    // Setting the yaw makes the model's frame a pure rotation; the door stays where it stood.
    const GxV3d* position = GetPosition();
    const GxV3d at = position ? *position : GxV3d{0.0f, 0.0f, 0.0f};
    RotateYaw(&kUpAxis, yaw, 0);
    Translate(&at, 2);
}

void CDoorObject::OccupyCells()
{
    if (m_pFloor)
        m_pFloor->PlaceObject(m_firstCell, this, m_rows, m_columns, 0);
}

int CDoorObject::Place(CPlacementRecord* record)
{
    if (!CUsableObject::Place(record))
        return 0;
    for (int32_t i = 0; i < GetExtraEntranceCount(); i++)
        m_pFloor->PlaceObject(GetExtraEntranceCell(i), this, 1, 1, 0);
    return 1;
}

int CDoorObject::IsExtraEntranceCell(int32_t cell)
{
    for (int32_t i = 0; i < GetExtraEntranceCount(); i++)
        if (GetExtraEntranceCell(i) == cell)
            return 1;
    return 0;
}

int CDoorObject::IsEntranceCell(int32_t cell)
{
    return IsExtraEntranceCell(cell) || CUsableObject::IsEntranceCell(cell) ? 1 : 0;
}

int CDoorObject::IsAvailable(CFerroxBlockGrid*) { return !m_effectOn && m_placed ? 1 : 0; }

int32_t CDoorObject::GetEntranceCell(int32_t index)
{
    const int32_t inside = static_cast<int32_t>(m_entrances.size());
    if (inside > 0 && index < inside)
        return CUsableObject::GetEntranceCell(index);
    return GetExtraEntranceCell(index < 0 ? 0 : index - inside);
}

int32_t CDoorObject::GetEntranceCount() { return static_cast<int32_t>(m_entrances.size() + m_extraEntrances.size()); }

int32_t CDoorObject::GetKind() { return kObjectKindDoor; }

int32_t CDoorObject::GetExtraEntranceCell(int32_t index)
{
    if (m_extraEntrances.empty() || index >= GetExtraEntranceCount())
        return kNoCell;
    return CellOfPoint(m_extraEntrances[index < 0 ? 0 : index]);
}

int32_t CDoorObject::GetCrossingCell(int32_t index)
{
    if (!m_pFloor)
        return kNoCell;
    const float yaw = GetRotation()[1];
    if (yaw == kYawNorth || yaw == kYawSouth) {
        if (m_rows <= 0)
            return kNoCell;
        if (index < 0 || index >= m_rows)
            index = FerroxRand() % m_rows;
        return m_firstCell + index * m_pFloor->GetColumns();
    }
    if (yaw == kYawWest || yaw == kYawEast) {
        if (m_columns <= 0)
            return kNoCell;
        if (index < 0 || index >= m_columns)
            index = FerroxRand() % m_columns;
        return m_firstCell + index;
    }
    return kNoCell;
}
