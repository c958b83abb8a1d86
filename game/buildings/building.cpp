// Building objects: footprints and cells, fit and lay tests, placing and removing, entrances, user slots,
// dirt effects and the saved lines.
//
// Sections: seam and helpers; lifecycle; footprint; fit tests; placing; entrances and slots; effects; lines.
#include "game/buildings/building.h"
#include "game/buildings/building_local.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "game/buildings/door.h"
#include "game/buildings/facility.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/world/userdata.h"

namespace {

const char* const kLineEnd = "\r\n";
const GxV3d kUpAxis = {0.0f, 1.0f, 0.0f};
// Effects stand above the model's frame by this factor of its height.
const float kEffectHeightFactor = 1.3f;
const char* const kFireEffect = "fire.prt";
const char* const kFliesEffect = "flies.prt";
const char* const kDoorDummy = "door";

BuildingHooks g_buildingHooks = {};

bool Contains(const char* text, const char* part) { return text && std::strstr(text, part) != nullptr; }

// The occupant of a valid cell of a grid, or null.
CFerroxBase* OccupantAt(CFerroxBlockGrid* grid, int cell)
{
    if (!grid || !grid->IsValidCell(cell, 1))
        return nullptr;
    CFerroxBlock* block = grid->GetBlock(cell);
    return block ? block->m_pOccupant : nullptr;
}

// Character lists the manager keeps, all five or the three that use objects.
void ForEachCharacter(bool allLists, void (*visit)(CFerroxObject*, void*), void* data)
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (!manager)
        return;
    std::vector<const ObjectList*> lists = {&manager->GetShoppers(), &manager->GetCriminals(),
                                            &manager->GetMaintenance()};
    if (allLists) {
        lists.push_back(&manager->GetCleaners());
        lists.push_back(&manager->GetSecurity());
    }
    for (const ObjectList* list : lists) {
        // A character may leave its list while it is told: walk a copy.
        const ObjectList copy = *list;
        for (CFerroxObject* character : copy)
            visit(character, data);
    }
}

}  // namespace

// ---- seam and helpers ----

void SetBuildingHooks(const BuildingHooks& hooks)
{
    auto take = [](auto& target, auto source) {
        if (source)
            target = source;
    };
    take(g_buildingHooks.makeEffect, hooks.makeEffect);
    take(g_buildingHooks.setFloorArea, hooks.setFloorArea);
    take(g_buildingHooks.clearFloorArea, hooks.clearFloorArea);
    take(g_buildingHooks.currentTile, hooks.currentTile);
    take(g_buildingHooks.removeIfOnFloorCell, hooks.removeIfOnFloorCell);
    take(g_buildingHooks.onObjectRemoved, hooks.onObjectRemoved);
}

const BuildingHooks& GetBuildingHooks() { return g_buildingHooks; }

int32_t BuildingGameDay() { return g_pGameContext ? g_pGameContext->GetDayCounter() : 0; }

bool BuildingIsNewDay() { return g_pGameContext && g_pGameContext->IsNewDay(); }

void BuildingMessage(int16_t number)
{
    if (g_pGameContext)
        g_pGameContext->QueueMessage(number);
}

const char* BuildingOccupantName(CFerroxBase* occupant)
{
    if (!occupant)
        return nullptr;
    CFerroxObject* object = dynamic_cast<CFerroxObject*>(occupant);
    if (object && object->GetModel() && object->GetModel()->GetName())
        return object->GetModel()->GetName();
    return occupant->GetName();
}

int32_t BuildingCategoryLevel(size_t entry)
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (!statistics || entry >= statistics->m_categories.size())
        return 0;
    return statistics->m_categories[entry];
}

void BuildingSetFloorArea(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last)
{
    if (!storey)
        return;
    if (g_buildingHooks.setFloorArea) {
        g_buildingHooks.setFloorArea(controller, storey, first, last);
        return;
    }
    CFerroxTileRecord* tile = g_buildingHooks.currentTile ? g_buildingHooks.currentTile() : nullptr;
    storey->SetRangeTileEx(tile, first, last, 0, 0, nullptr);
    storey->SetRangeState(first, last, FERROX_BLOCK_FREE, 1);
}

void BuildingClearFloorArea(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last)
{
    if (!storey)
        return;
    if (g_buildingHooks.clearFloorArea) {
        g_buildingHooks.clearFloorArea(controller, storey, first, last);
        return;
    }
    storey->SetRangeTile(first, last, 1, nullptr);
    if (storey->GetLower())
        storey->SetRangeState(first, last, FERROX_BLOCK_BLOCKED, 0);
}

// ---- lifecycle ----

CBaseObject::CBaseObject() { CBaseObject::Init(); }

CBaseObject::~CBaseObject() { CBaseObject::Release(); }

void CBaseObject::Init()
{
    m_placed = 0;
    m_anchor = {0.0f, 0.0f, 0.0f};
    m_pFloor = nullptr;
    m_cost = 0;
    m_dayStamp = 0;
    m_gridPosition = {0.0f, 0.0f, 0.0f};
    m_sizeX = 0;
    m_sizeZ = 0;
    m_rows = 0;
    m_columns = 0;
    m_firstCell = kNoCell;
}

void CBaseObject::Release()
{
    if (m_placed && m_pFloor)
        m_pFloor->ClearArea(m_firstCell, m_rows, m_columns, 1);
    CBaseObject::Init();
    CFerroxIOObject::Release();
}

void CBaseObject::Update(float dt) { CFerroxIOObject::Update(dt); }

bool CBaseObject::NextValue(int32_t* value)
{
    if (!m_pAssetSet)
        return false;
    const std::vector<std::string>& values = m_pAssetSet->GetValues();
    if (m_valueCursor >= values.size())
        return false;
    int parsed = 0;
    if (!FromString<int>(values[m_valueCursor], parsed))
        parsed = 0;
    m_valueCursor++;
    *value = parsed;
    return true;
}

CFerroxAssetSet* CBaseObject::TemplateOf(CPlacementRecord* record)
{
    if (m_pAssetSet)
        return m_pAssetSet;
    return record ? record->templateSet : nullptr;
}

void CBaseObject::Setup(const FerroxObjectDescriptor* descriptor)
{
    // The building answers for its model's clumps, so that the picker hands a click on it to the selection.
    FerroxObjectDescriptor owned = descriptor ? *descriptor : FerroxObjectDescriptor{};
    if (!owned.modelOwner)
        owned.modelOwner = this;
    CFerroxIOObject::Setup(descriptor ? &owned : nullptr);
    NextValue(&m_sizeX);
    NextValue(&m_sizeZ);
    const GxV3d* anchor = m_pModel ? m_pModel->GetWorldPosition() : nullptr;
    if (anchor)
        m_anchor = *anchor;
    m_pFloor = descriptor ? static_cast<CFerroxBlockGrid*>(descriptor->floorObject) : nullptr;
    GxClump* clump = m_pModel ? m_pModel->GetClump() : nullptr;
    if (!clump)
        return;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            GxFrame* frame = GxFramedObjectGetFrame(&atomic->object);
            GxUserDataArray* array = frame ? GxFrameGetUserDataArray(frame, 0) : nullptr;
            if (array)
                static_cast<CBaseObject*>(data)->FindEntrances(atomic, array);
            return atomic;
        },
        this);
}

const char* CBaseObject::GetModelName() { return BuildingOccupantName(this); }

void CBaseObject::FindEntrances(GxAtomic*, GxUserDataArray*) {}

// ---- footprint ----

void CBaseObject::UpdateFootprint()
{
    const int cellSize = m_pFloor ? m_pFloor->GetCellSize() : 0;
    if (cellSize <= 0) {
        m_rows = 0;
        m_columns = 0;
        return;
    }
    const unsigned cs = static_cast<unsigned>(cellSize);
    const unsigned x = static_cast<unsigned>(GetSizeX()) / cs;
    const unsigned z = static_cast<unsigned>(GetSizeZ()) / cs;
    const float yaw = GetRotation()[1];
    const bool alongX = yaw == kYawNorth || yaw == kYawSouth;
    m_rows = static_cast<int32_t>(alongX ? x : z);
    m_columns = static_cast<int32_t>(alongX ? z : x);
}

int CBaseObject::SetGridPosition(const GxV3d& position, CFerroxBlockGrid* floor)
{
    if (!floor)
        return 1;
    m_pFloor = floor;
    UpdateFootprint();
    const int cs = floor->GetCellSize();
    m_gridPosition = position;
    const int rowShift = m_rows % 2 == 0 ? m_rows / 2 - 1 : m_rows / 2;
    const int columnShift = m_columns % 2 == 0 ? m_columns / 2 - 1 : m_columns / 2;
    m_gridPosition.x -= static_cast<float>(cs * rowShift);
    m_gridPosition.z += static_cast<float>(cs * columnShift);
    m_firstCell = floor->GetCellAt(m_gridPosition);
    return m_firstCell == kNoCell ? 1 : 0;
}

void CBaseObject::SetDragArea(int first, CFerroxBlockGrid* floor, const GxV3d& size, const GxV3d& direction)
{
    m_pFloor = floor;
    m_firstCell = first;
    const int cs = floor ? floor->GetCellSize() : 0;
    if (cs <= 0) {
        m_rows = 0;
        m_columns = 0;
        return;
    }
    // A rectangle is never longer than a grid side; anything else (or not a number) covers no cells.
    auto cells = [cs](float length) {
        const float count = length / static_cast<float>(cs);
        return count >= 0.0f && count <= static_cast<float>(FERROX_GRID_MAXSIDE) ? static_cast<int32_t>(count) : 0;
    };
    m_columns = cells(size.z);
    m_rows = cells(size.x);
    if (direction.x > 0.0f)
        m_firstCell -= floor->GetColumns() * (m_rows - 1);
    if (direction.z < 0.0f)
        m_firstCell += 1 - m_columns;
}

std::vector<int> CBaseObject::CoveredCells()
{
    std::vector<int> cells;
    if (!m_pFloor || m_rows <= 0 || m_columns <= 0)
        return cells;
    const int step = m_pFloor->GetColumns();
    for (int r = 0; r < m_rows; r++)
        for (int c = 0; c < m_columns; c++)
            cells.push_back(m_firstCell + r * step + c);
    return cells;
}

int32_t CBaseObject::CellOfPoint(const EntrancePoint& e)
{
    if (!m_pFloor)
        return kNoCell;
    const int cellSize = m_pFloor->GetCellSize();
    if (cellSize <= 0)
        return kNoCell;
    const float nC = static_cast<float>(m_pFloor->GetColumns());
    const unsigned cs = static_cast<unsigned>(cellSize);
    const float nX = static_cast<float>(static_cast<int>(static_cast<unsigned>(m_sizeX) / cs) - 1);
    const float nZ = static_cast<float>(static_cast<int>(static_cast<unsigned>(m_sizeZ) / cs) - 1);
    const float first = static_cast<float>(m_firstCell);
    const float yaw = GetRotation()[1];
    float cell;
    if (yaw == kYawNorth)
        cell = nC * e.x + first - e.z;
    else if (yaw == kYawWest)
        cell = nC * (nZ + e.z) + first + e.x;
    else if (yaw == kYawSouth)
        cell = nC * (nX - e.x) + nZ + first + e.z;
    else if (yaw == kYawEast)
        cell = first - nC * e.z + nX - e.x;
    else
        return kNoCell;
    return BuildingCellFromFloat(cell);
}

// ---- fit tests ----

int CBaseObject::CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh*)
{
    if (!m_pFloor)
        return 0;
    if (!m_pFloor->IsAreaInside(m_firstCell, m_rows, m_columns, 0) ||
        !m_pFloor->IsAreaEmpty(m_firstCell, m_rows, m_columns, 0))
        return 0;
    // Over a storey below, the building stands on laid floor there and on its own storey; the ground storey needs
    // none.
    if (!below)
        return 1;
    CFerroxBlockMesh* own = dynamic_cast<CFerroxBlockMesh*>(m_pFloor);
    return own && own->IsAreaTiled(m_firstCell, m_rows, m_columns) && below->IsAreaTiled(m_firstCell, m_rows, m_columns)
               ? 1
               : 0;
}

int CBaseObject::CanLayFloor(CFerroxBlockMesh* below, CFerroxBlockMesh* above, CFerroxBlockMesh* storey, int clearing)
{
    if (!below)
        return 1;
    CFerroxBlockMesh* lowest = below;
    while (lowest->GetLower())
        lowest = lowest->GetLower();
    for (int cell : CoveredCells()) {
        CFerroxBase* occupant = OccupantAt(below, cell);
        if (dynamic_cast<CAtriumObject*>(occupant))
            return 0;
        if (!lowest->IsAreaTiled(cell, 1, 1))
            return 0;
        CStairs* stairs = dynamic_cast<CStairs*>(occupant);
        if (!clearing) {
            if (stairs && stairs->GetUpperFloor() == storey && !stairs->CPathableObject::IsEntranceCell(cell))
                return 0;
            if (stairs && stairs->GetUpperFloor() == above)
                return 0;
            CDoorObject* door = dynamic_cast<CDoorObject*>(occupant);
            if (door && !door->IsExtraEntranceCell(cell))
                return 0;
        } else {
            CShop* shop = dynamic_cast<CShop*>(occupant);
            if (shop && !shop->IsEntranceCell(cell))
                return 0;
            CStairs* ownStairs = dynamic_cast<CStairs*>(OccupantAt(m_pFloor, cell));
            if (ownStairs && !ownStairs->IsEntranceCell(cell))
                return 0;
        }
        const bool tiled = below->IsAreaTiled(cell, 1, 1);
        const bool heldByPiece =
            below->IsAreaFilled(cell, 1, 1, 0) && !below->IsAreaFilledWith(cell, 1, 1, 0, kWallName);
        if (!tiled && !heldByPiece)
            return 0;
    }
    return 1;
}

int CBaseObject::CanClearFloor(CFerroxBlockMesh* below, CFerroxBlockMesh* above, CFerroxBlockMesh* storey)
{
    if (!CanLayFloor(below, above, storey, 1))
        return 0;
    for (int cell : CoveredCells()) {
        if (above && above->IsAreaFilled(cell, 1, 1, 0) && !above->IsAreaFilledWith(cell, 1, 1, 0, kBalconyName))
            return 0;
        if (m_pFloor && m_pFloor->IsAreaFilled(cell, 1, 1, 0) &&
            !m_pFloor->IsAreaFilledWith(cell, 1, 1, 0, kWallName) &&
            !m_pFloor->IsAreaFilledWith(cell, 1, 1, 0, kBalconyName))
            return 0;
    }
    return 1;
}

// ---- placing ----

void CBaseObject::OccupyCells()
{
    if (m_pFloor)
        m_pFloor->PlaceObject(m_firstCell, this, m_rows, m_columns, 1);
}

int CBaseObject::Place(CPlacementRecord*)
{
    OccupyCells();
    if (!Contains(GetModelName(), kBalconyName) && g_buildingHooks.removeIfOnFloorCell) {
        struct Visit {
            std::vector<int> cells;
            CFerroxBlockGrid* floor;
        } visit = {CoveredCells(), m_pFloor};
        ForEachCharacter(
            true,
            [](CFerroxObject* character, void* data) {
                Visit* v = static_cast<Visit*>(data);
                for (int cell : v->cells)
                    g_buildingHooks.removeIfOnFloorCell(character, cell, v->floor);
            },
            &visit);
    }
    m_placed = 1;
    m_dayStamp = BuildingGameDay();
    return 1;
}

// ---- pathable objects ----

CPathableObject::CPathableObject() { CPathableObject::Init(); }

CPathableObject::~CPathableObject() { CPathableObject::Release(); }

void CPathableObject::Init()
{
    m_effectOn = 0;
    m_pEffect.reset();
    m_pWorker = nullptr;
    m_workerTimer = kWorkerTime;
    m_entrances.clear();
    m_userSlots.clear();
    m_slotCount = 0;
    m_usedSlots = 0;
    m_effectKind = kEffectNone;
}

void CPathableObject::ReleaseSlotsAndEffect()
{
    m_userSlots.clear();
    m_pEffect.reset();
}

void CPathableObject::Release()
{
    if (m_placed && m_pFloor)
        for (int32_t i = 0; i < static_cast<int32_t>(m_entrances.size()); i++)
            m_pFloor->ClearArea(CPathableObject::GetEntranceCell(i), 1, 1, 0);
    if (g_buildingHooks.onObjectRemoved)
        ForEachCharacter(
            false,
            [](CFerroxObject* character, void* object) {
                g_buildingHooks.onObjectRemoved(character, static_cast<CFerroxObject*>(object));
            },
            this);
    ReleaseSlotsAndEffect();
    CPathableObject::Init();
    CBaseObject::Release();
}

void CPathableObject::Setup(const FerroxObjectDescriptor* descriptor) { CBaseObject::Setup(descriptor); }

void CPathableObject::Update(float dt)
{
    CBaseObject::Update(dt);
    if (m_pEffect)
        m_pEffect->Update(dt);
    if (!m_pWorker)
        return;
    m_workerTimer -= dt;
    if (m_workerTimer <= 0.0f) {
        m_workerTimer = kWorkerTime;
        m_pWorker = nullptr;
    }
}

void CPathableObject::DrawDebugInfo()
{
    for (const std::unique_ptr<CUserSlot>& slot : m_userSlots)
        if (slot->spline)
            slot->spline->DrawDebugInfo();
}

EntrancePoint CPathableObject::EntranceFromDummy(const GxV3d& p)
{
    const float x = std::trunc((static_cast<float>(m_sizeX) * 0.5f + p.x) * 0.5f);
    const float z = std::trunc(((p.z - static_cast<float>(m_sizeZ) * 0.5f) + 1.0f) * 0.5f);
    return {x, z};
}

EntrancePoint CPathableObject::SecondEntranceFromDummy(const GxV3d& p)
{
    const int half = m_sizeX / 2;
    const int h = m_sizeX % 2 == 0 ? half / 2 : (half - 1) / 2 - 1;
    const float x = std::trunc(p.x * 0.5f + static_cast<float>(h));
    const float z = std::trunc(p.z * 0.5f - static_cast<float>((m_sizeZ / 2 - 1) / 2));
    return {x, z};
}

void CPathableObject::FindEntrances(GxAtomic* atomic, GxUserDataArray* array)
{
    GxV3d position;
    if (!Contains(BuildingDummyTag(array), kDoorDummy) || !BuildingDummyPosition(atomic, &position))
        return;
    AddEntrance(EntranceFromDummy(position));
    HideAtomicCallback(atomic, nullptr);
}

const char* BuildingDummyTag(GxUserDataArray* array)
{
    if (!array || array->format != gxUSERDATASTRING || array->numElements < 1 || !array->data)
        return nullptr;
    return GxUserDataArrayGetString(array, 0);
}

bool BuildingDummyPosition(GxAtomic* atomic, GxV3d* position)
{
    GxFrame* frame = atomic ? GxFramedObjectGetFrame(&atomic->object) : nullptr;
    if (!frame)
        return false;
    *position = GxFrameGetMatrix(frame)->pos;
    return true;
}

int32_t BuildingCellFromFloat(float cell)
{
    // A dummy far outside the model must not overflow the conversion.
    const float limit = 2147483520.0f;  // the largest float below 2^31
    if (!(cell >= -limit && cell <= limit))
        return kNoCell;
    return static_cast<int32_t>(cell);
}

int CPathableObject::IsCellOpen(CFerroxBlockGrid* floor, int32_t cell)
{
    if (!floor || !floor->IsValidCell(cell, 0))
        return 0;
    CFerroxBlock* block = floor->GetBlock(cell);
    return block && block->IsWalkable() ? 1 : 0;
}

int CPathableObject::CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above)
{
    if (!m_pFloor)
        return 0;
    for (int32_t i = 0; i < static_cast<int32_t>(m_entrances.size()); i++) {
        const int32_t cell = CPathableObject::GetEntranceCell(i);
        if (!m_pFloor->IsValidCell(cell, 0) || !m_pFloor->IsAreaEmpty(cell, 1, 1, 0))
            return 0;
        if (below && !below->IsAreaTiled(m_firstCell, m_rows, m_columns))
            return 0;
    }
    return CBaseObject::CanPlace(below, above);
}

int CPathableObject::Place(CPlacementRecord* record)
{
    if (!CBaseObject::Place(record))
        return 0;
    for (int32_t i = 0; i < static_cast<int32_t>(m_entrances.size()); i++)
        m_pFloor->PlaceObject(CPathableObject::GetEntranceCell(i), this, 1, 1, 0);
    CFerroxAssetSet* set = TemplateOf(record);
    if (set)
        for (CFerroxSpline* spline : set->GetSplines())
            if (spline)
                AddUserSlot(spline->Clone());
    const GxV3d* position = GetPosition();
    PlaceUserSlots(position ? *position : m_gridPosition, GetRotation()[1]);
    return 1;
}

void CPathableObject::AddUserSlot(std::unique_ptr<CFerroxSpline> spline)
{
    m_userSlots.push_back(std::make_unique<CUserSlot>(CUserSlot{std::move(spline), 0}));
    m_slotCount++;
}

void CPathableObject::PlaceUserSlots(const GxV3d& position, float angle)
{
    for (const std::unique_ptr<CUserSlot>& slot : m_userSlots) {
        if (!slot->spline)
            continue;
        slot->spline->Rotate(kUpAxis, angle);
        slot->spline->Translate(position);
    }
}

CStairsLink* CPathableObject::GetStairsLink(CFerroxBlockGrid*) { return nullptr; }

// ---- entrances and slots ----

int32_t CPathableObject::GetEntranceCell(int32_t index)
{
    if (m_entrances.empty() || !m_pFloor)
        return kNoCell;
    if (index >= static_cast<int32_t>(m_entrances.size()))
        return kNoCell;
    return CellOfPoint(m_entrances[index < 0 ? 0 : index]);
}

int32_t CPathableObject::GetEntranceCellEx(int32_t index) { return GetEntranceCell(index); }

int32_t CPathableObject::GetEntranceCount() { return static_cast<int32_t>(m_entrances.size()); }

int CPathableObject::IsEntranceCell(int32_t cell)
{
    for (int32_t i = 0; i < static_cast<int32_t>(m_entrances.size()); i++)
        if (CPathableObject::GetEntranceCell(i) == cell)
            return 1;
    return 0;
}

std::unique_ptr<CFerroxSpline> CPathableObject::AcquireSlot(uint16_t* out)
{
    for (uint16_t i = 0; i < m_slotCount && i < m_userSlots.size(); i++) {
        CUserSlot* slot = m_userSlots[i].get();
        if (slot->useCount != 0)
            continue;
        slot->useCount++;
        m_usedSlots++;
        if (out)
            *out = i;
        return slot->spline ? slot->spline->Clone() : nullptr;
    }
    if (out)
        *out = kNoSlot;
    return nullptr;
}

std::unique_ptr<CFerroxSpline> CPathableObject::AcquireSlotAt(int32_t index)
{
    if (index < 0 || index >= m_slotCount || index >= static_cast<int32_t>(m_userSlots.size()))
        return nullptr;
    CUserSlot* slot = m_userSlots[index].get();
    if (slot->useCount == 0)
        m_usedSlots++;
    slot->useCount++;
    return slot->spline ? slot->spline->Clone() : nullptr;
}

void CPathableObject::ReleaseSlot(int32_t index)
{
    if (index < 0 || index >= m_slotCount || index >= static_cast<int32_t>(m_userSlots.size()))
        return;
    CUserSlot* slot = m_userSlots[index].get();
    if (slot->useCount == 0)
        return;
    slot->useCount--;
    if (slot->useCount == 0 && m_usedSlots > 0)
        m_usedSlots--;
}

int CPathableObject::IsAvailable(CFerroxBlockGrid* floor)
{
    return !m_effectOn && m_placed && floor == m_pFloor && m_usedSlots < m_slotCount &&
                   IsCellOpen(floor, GetEntranceCellEx(0))
               ? 1
               : 0;
}

int CPathableObject::IsDirty(CFerroxBlockGrid* floor, const GxV3d* position)
{
    if (!m_effectOn || !m_placed || floor != m_pFloor || !IsCellOpen(floor, GetEntranceCellEx(0)))
        return 0;
    if (!m_pWorker)
        return 1;
    const GxV3d* workerPosition = m_pWorker->GetPosition();
    if (!position || !workerPosition)
        return 0;
    const GxV3d worker = *workerPosition;
    return DistanceSquaredTo(position) < DistanceSquaredTo(&worker) ? 1 : 0;
}

// ---- effects ----

int CPathableObject::CreateEffects()
{
    if (m_effectKind == kEffectNone || m_effectOn)
        return 0;
    m_effectOn = 1;
    if (g_buildingHooks.makeEffect) {
        const GxV3d* world = m_pModel ? m_pModel->GetWorldPosition() : nullptr;
        GxV3d at = world ? *world : m_gridPosition;
        at.y *= kEffectHeightFactor;
        m_pEffect = g_buildingHooks.makeEffect(m_effectKind == kEffectFire ? kFireEffect : kFliesEffect, at);
    }
    return 1;
}

int CPathableObject::ClearEffects()
{
    if (!m_effectOn)
        return 0;
    m_pEffect.reset();
    m_effectOn = 0;
    m_pWorker = nullptr;
    m_dayStamp = BuildingGameDay();
    return 1;
}

void CPathableObject::SetEffectBlendModes()
{
    if (m_effectOn && m_pEffect)
        m_pEffect->SetBlendModes(0);
}

void CPathableObject::RenderEffect()
{
    if (m_effectOn && m_pEffect)
        m_pEffect->Render();
}

// ---- lines ----

int CBaseObject::Save(CFerroxFile* file)
{
    if (!file)
        return 0;
    CFerroxBlockMesh* mesh = dynamic_cast<CFerroxBlockMesh*>(m_pFloor);
    const unsigned floorId = m_pFloor ? static_cast<unsigned>(m_pFloor->GetFloorId()) : 0u;
    file->WriteLine(ToString<unsigned>(floorId) + kLineEnd);
    file->WriteLine(ToString<int>(mesh ? mesh->CountLinked() : 0) + kLineEnd);
    CFerroxIOObject::Save(file);
    file->WriteLine(ToString<int>(m_dayStamp) + kLineEnd);
    return 0;
}

int CBaseObject::Load(CFerroxFile* file)
{
    if (file)
        ReadBuildingLine(file, &m_dayStamp);
    return 0;
}

int CPathableObject::Save(CFerroxFile* file)
{
    CBaseObject::Save(file);
    if (file)
        file->WriteLine(ToString<int>(m_effectOn) + kLineEnd);
    return 0;
}

int CPathableObject::Load(CFerroxFile* file)
{
    CBaseObject::Load(file);
    if (!file)
        return 0;
    int32_t effectOn = 0;
    ReadBuildingLine(file, &effectOn);
    if (effectOn != 0)
        CreateEffects();
    return 0;
}
