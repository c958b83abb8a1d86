// Facilities, scenery and atria: their template values, breakdowns, flies, rating and the atrium's opening.
#include "game/buildings/facility.h"

#include <cstdlib>
#include <cstring>

#include "engine/data/random.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "game/buildings/building_local.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "game/world/templates.h"

namespace {

const char* const kBreakableNames[] = {"atm", "phone", "toilet"};
const char* const kPlantNames[] = {"plant", "tree"};
const char* const kFreeDummy = "free";

template <size_t N>
bool NameHasAny(const char* name, const char* const (&parts)[N])
{
    if (!name)
        return false;
    for (const char* part : parts)
        if (std::strstr(name, part))
            return true;
    return false;
}

void AddBuildingCost(int32_t cost)
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (statistics)
        statistics->m_buildingCosts += static_cast<uint16_t>(cost);
}

}  // namespace

// ---- facilities ----

CUsableObject::CUsableObject() { CUsableObject::Init(); }

CUsableObject::~CUsableObject() { CUsableObject::Release(); }

void CUsableObject::Init()
{
    m_usableKind = -1;
    m_usePrice = 0;
    m_useCount = 0;
}

void CUsableObject::Release()
{
    CUsableObject::Init();
    CPathableObject::Release();
}

void CUsableObject::Setup(const FerroxObjectDescriptor* descriptor)
{
    CPathableObject::Setup(descriptor);
    NextValue(&m_cost);
}

int CUsableObject::Place(CPlacementRecord* record)
{
    if (!CPathableObject::Place(record))
        return 0;
    int32_t value = 0;
    if (NextValue(&value)) {
        m_usableKind = static_cast<int16_t>(value);
        if (NextValue(&value))
            m_usePrice = static_cast<uint16_t>(value);
    }
    AddBuildingCost(m_cost);
    if (NameHasAny(GetTemplateModelName(TemplateOf(record)), kBreakableNames))
        m_effectKind = kEffectFire;
    return 1;
}

void CUsableObject::Update(float dt)
{
    if (!m_placed)
        return;
    CPathableObject::Update(dt);
    if (!BuildingIsNewDay() || m_effectKind == kEffectNone)
        return;
    const int32_t level = BuildingCategoryLevel(kBreakdownLevelEntry);
    if (FerroxRand() % ((level + 1) * kBreakdownUsesPerLevel) < m_useCount) {
        m_useCount = 0;
        BuildingMessage(kMessageNeedsWork);
        CreateEffects();
    }
}

int CUsableObject::Save(CFerroxFile* file)
{
    CPathableObject::Save(file);
    if (file)
        WriteBuildingLine(file, m_useCount);
    return 0;
}

int CUsableObject::Load(CFerroxFile* file)
{
    CPathableObject::Load(file);
    if (file)
        ReadBuildingLine(file, &m_useCount);
    return 0;
}

// ---- scenery ----

CSceneryObject::CSceneryObject() { CSceneryObject::Init(); }

CSceneryObject::~CSceneryObject() { CSceneryObject::Release(); }

void CSceneryObject::Init() { m_decoration = 0; }

void CSceneryObject::Release()
{
    // While flies show, the decoration is already off the rating.
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (m_placed && !m_effectOn && statistics)
        statistics->AddRatingPlus(-static_cast<int32_t>(m_decoration));
    CSceneryObject::Init();
    CPathableObject::Release();
}

void CSceneryObject::Setup(const FerroxObjectDescriptor* descriptor)
{
    CPathableObject::Setup(descriptor);
    NextValue(&m_cost);
}

int CSceneryObject::Place(CPlacementRecord* record)
{
    if (!CPathableObject::Place(record))
        return 0;
    int32_t value = 0;
    if (NextValue(&value))
        m_decoration = static_cast<uint16_t>(value);
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (statistics)
        statistics->AddRatingPlus(m_decoration);
    AddBuildingCost(m_cost);
    if (NameHasAny(GetTemplateModelName(TemplateOf(record)), kPlantNames))
        m_effectKind = kEffectFlies;
    return 1;
}

void CSceneryObject::Update(float dt)
{
    CPathableObject::Update(dt);
    if (!BuildingIsNewDay() || GetEntranceCell(0) < 0 || m_effectKind == kEffectNone || !(GetLastTimeStep() > 0.0f))
        return;
    const int32_t level = BuildingCategoryLevel(kFliesLevelEntry);
    const int32_t day = BuildingGameDay();
    if (FerroxRand() % ((level + 1) * kFliesDaysPerLevel) + kFliesGraceDays < day - m_dayStamp) {
        m_dayStamp = day;
        CreateEffects();
        BuildingMessage(kMessageNeedsWork);
    }
}

int CSceneryObject::CreateEffects()
{
    const int created = CPathableObject::CreateEffects();
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (created && statistics)
        statistics->AddRatingPlus(-static_cast<int32_t>(m_decoration));
    return created;
}

int CSceneryObject::ClearEffects()
{
    const int cleared = CPathableObject::ClearEffects();
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (cleared && statistics)
        statistics->AddRatingPlus(m_decoration);
    return cleared;
}

int CSceneryObject::IsAvailable(CFerroxBlockGrid* floor)
{
    return floor == m_pFloor && !m_effectOn && m_placed && IsCellOpen(floor, GetEntranceCell(0)) ? 1 : 0;
}

// ---- atria ----

int32_t CAtriumObject::GetKind() { return kObjectKindAtrium; }

void CAtriumObject::FindEntrances(GxAtomic* atomic, GxUserDataArray* array)
{
    CUsableObject::FindEntrances(atomic, array);
    const char* tag = BuildingDummyTag(array);
    GxV3d position;
    if (!tag || !std::strstr(tag, kFreeDummy) || !BuildingDummyPosition(atomic, &position))
        return;
    AddFreePoint(SecondEntranceFromDummy(position));
    HideAtomicCallback(atomic, nullptr);
}

int CAtriumObject::CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above)
{
    if (!CPathableObject::CanPlace(below, above))
        return 0;
    if (!above)
        return 1;
    for (int cell : CoveredCells())
        if (above->IsAreaFilled(cell, 1, 1, 0))
            return 0;
    return 1;
}

int CAtriumObject::Place(CPlacementRecord* record)
{
    if (!CUsableObject::Place(record))
        return 0;
    auto open = [this](int32_t cell) {
        if (m_pFloor->IsValidCell(cell, 0))
            m_pFloor->GetBlock(cell)->SetState(FERROX_BLOCK_FREE);
    };
    for (int32_t i = 0; i < GetEntranceCount(); i++)
        open(GetEntranceCell(i));
    // Each free point opens the storey above over the footprint: the free points make the opening.
    CFerroxBlockMesh* mesh = dynamic_cast<CFerroxBlockMesh*>(m_pFloor);
    CFerroxBlockMesh* above = mesh ? mesh->GetUpper() : nullptr;
    for (const EntrancePoint& point : m_extraEntrances) {
        open(CellOfPoint(point));
        if (!above || m_rows <= 0 || m_columns <= 0)
            continue;
        const int last = m_firstCell + m_pFloor->GetColumns() * (m_rows - 1) + m_columns - 1;
        BuildingClearFloorArea(record ? record->controller : nullptr, above, m_firstCell, last);
    }
    return 1;
}
