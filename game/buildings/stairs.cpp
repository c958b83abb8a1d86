// Stairs: the fit test against the storey above, both storeys' cells, the stairwell and the links.
#include "game/buildings/stairs.h"

#include <cstring>

#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "game/buildings/building_local.h"
#include "game/world/objectmgr.h"

namespace {

const char* const kUpDummy = "door_up";
const char* const kDownDummy = "door_down";

// The slot's path begins on the cell of the storey.
bool SlotStartsAt(const CUserSlot* slot, CFerroxBlockGrid* storey, int32_t cell)
{
    return slot->spline && slot->spline->GetPointCount() >= 1 &&
           storey->GetCellAt(slot->spline->GetPoints()[0]) == cell;
}

}  // namespace

CStairsLink::CStairsLink(const GxV3d& at, CFerroxBlockGrid* to, std::unique_ptr<CFerroxSpline> spline)
    : position(at), destination(to), path(std::move(spline))
{}

CStairsLink::~CStairsLink() = default;

CStairs::CStairs() { CStairs::Init(); }

CStairs::~CStairs() { CStairs::Release(); }

void CStairs::Init() { m_pUpperFloor = nullptr; }

void CStairs::FreeLinks() { m_links.clear(); }

void CStairs::Release()
{
    const BuildingHooks& hooks = GetBuildingHooks();
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (hooks.onObjectRemoved && manager) {
        for (const ObjectList* list : {&manager->GetShoppers(), &manager->GetCriminals()}) {
            const ObjectList copy = *list;
            for (CFerroxObject* character : copy)
                hooks.onObjectRemoved(character, this);
        }
    }
    FreeLinks();
    if (m_placed && m_pUpperFloor) {
        m_pUpperFloor->ClearArea(m_firstCell, m_rows, m_columns, 1);
        for (int32_t i = 0; i < static_cast<int32_t>(m_extraEntrances.size()); i++)
            m_pUpperFloor->ClearArea(GetUpperEntranceCell(i), 1, 1, 0);
    }
    m_extraEntrances.clear();
    CStairs::Init();
    CUsableObject::Release();
}

void CStairs::FindEntrances(GxAtomic* atomic, GxUserDataArray* array)
{
    const char* tag = BuildingDummyTag(array);
    GxV3d position;
    if (!tag || !BuildingDummyPosition(atomic, &position))
        return;
    if (std::strstr(tag, kUpDummy))
        AddEntrance(EntranceFromDummy(position));
    else if (std::strstr(tag, kDownDummy))
        AddUpperEntrance(SecondEntranceFromDummy(position));
    else
        return;
    HideAtomicCallback(atomic, nullptr);
}

int32_t CStairs::GetUpperEntranceCell(int32_t index)
{
    if (m_extraEntrances.empty() || index >= static_cast<int32_t>(m_extraEntrances.size()))
        return kNoCell;
    return CellOfPoint(m_extraEntrances[index < 0 ? 0 : index]);
}

int CStairs::CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above)
{
    if (!above)
        return 0;
    for (int32_t i = 0; i < static_cast<int32_t>(m_extraEntrances.size()); i++) {
        const int32_t cell = GetUpperEntranceCell(i);
        if (!above->IsAreaTiled(cell, 1, 1))
            return 0;
        if (!above->IsAreaFilledWith(cell, 1, 1, 0, kBalconyName) && !above->IsAreaEmpty(cell, 1, 1, 0))
            return 0;
    }
    for (int cell : CoveredCells())
        if (!above->IsAreaEmpty(cell, 1, 1, 0) && !above->IsAreaFilledWith(cell, 1, 1, 0, kWallName))
            return 0;
    return CUsableObject::CanPlace(below, above);
}

void CStairs::OccupyCells()
{
    CUsableObject::OccupyCells();
    if (m_pUpperFloor)
        m_pUpperFloor->PlaceObject(m_firstCell, this, m_rows, m_columns, 1);
}

int CStairs::Place(CPlacementRecord* record)
{
    CFerroxBlockMesh* mesh = dynamic_cast<CFerroxBlockMesh*>(m_pFloor);
    m_pUpperFloor = mesh ? mesh->GetUpper() : nullptr;
    // Stairs lead somewhere or nowhere at all: without a storey above nothing is taken and the stairs leave
    // the manager after its pass.
    if (!m_pUpperFloor) {
        if (CDynamicObjectManager* manager = CDynamicObjectManager::Peek())
            manager->RemoveObject(this, 0);
        return 0;
    }
    if (!CUsableObject::Place(record))
        return 0;
    // Entrance by entrance, each with every slot: a character takes the first link that leaves its storey.
    for (int32_t i = 0; i < static_cast<int32_t>(m_entrances.size()); i++)
        for (const std::unique_ptr<CUserSlot>& slot : m_userSlots)
            if (SlotStartsAt(slot.get(), m_pFloor, CPathableObject::GetEntranceCell(i)))
                m_links.push_back(
                    std::make_unique<CStairsLink>(slot->spline->GetPoints()[0], m_pUpperFloor, slot->spline->Clone()));
    for (int32_t i = 0; i < static_cast<int32_t>(m_extraEntrances.size()); i++)
        for (const std::unique_ptr<CUserSlot>& slot : m_userSlots)
            if (SlotStartsAt(slot.get(), m_pUpperFloor, GetUpperEntranceCell(i)))
                m_links.push_back(
                    std::make_unique<CStairsLink>(slot->spline->GetPoints()[0], m_pFloor, slot->spline->Clone()));
    m_pUpperFloor->PlaceObject(m_firstCell, this, m_rows, m_columns, 0);
    for (int32_t i = 0; i < static_cast<int32_t>(m_extraEntrances.size()); i++)
        m_pUpperFloor->PlaceObject(GetUpperEntranceCell(i), this, 1, 1, 0);
    if (m_rows > 0 && m_columns > 0) {
        const int last = m_firstCell + m_pFloor->GetColumns() * (m_rows - 1) + m_columns - 1;
        BuildingClearFloorArea(record ? record->controller : nullptr, m_pUpperFloor, m_firstCell, last);
    }
    return 1;
}

CStairsLink* CStairs::GetStairsLink(CFerroxBlockGrid* floor)
{
    for (const auto& link : m_links)
        if (link->destination != floor)
            return link.get();
    return nullptr;
}

int CStairs::IsEntranceCell(int32_t cell)
{
    for (int32_t i = 0; i < static_cast<int32_t>(m_extraEntrances.size()); i++)
        if (GetUpperEntranceCell(i) == cell)
            return 1;
    return 0;
}

int CStairs::IsAvailable(CFerroxBlockGrid* floor)
{
    const int32_t cell = floor == m_pFloor ? GetEntranceCellEx(0) : GetUpperEntranceCell(0);
    return !m_effectOn && m_placed && m_usedSlots < m_slotCount && IsCellOpen(floor, cell) ? 1 : 0;
}

int32_t CStairs::GetKind() { return kObjectKindStairs; }
