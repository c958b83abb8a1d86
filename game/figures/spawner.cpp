// The character spawner: spawn points and their pick, the spawn waves, and the staff placement.
//
// Sections: life cycle and spawn points; waves; staff placement.
#include "game/figures/spawner.h"

#include <algorithm>
#include <cstdlib>

#include "engine/data/random.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "game/figures/criminal.h"
#include "game/figures/shopper.h"
#include "game/figures/staff.h"
#include "game/world/floors.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"

namespace {

CSpawner* g_pInstance = nullptr;
SpawnerHooks g_spawnerHooks = {};

constexpr const char* kShopperCategoryText = "SHOPPER";
constexpr const char* kShopperFactoryText = "shopper";
constexpr const char* kCriminalFactoryText = "criminal";
constexpr const char* kCriminalCategory = "CRIMINAL";
constexpr int kCriminalTemplates = 2;
constexpr const char* kBoxFactoryText = "base";
constexpr const char* kBoxCategory = "AUX";
constexpr int32_t kModelPlaceholder = 1;
constexpr int32_t kModelOwnCopy = 2;
constexpr GxRGBA kValidColour = {0, 255, 0, 100};
constexpr GxRGBA kInvalidColour = {255, 0, 0, 100};

CDynamicObjectManager* Manager() { return CDynamicObjectManager::Peek(); }

void Remove(CFerroxObject* object)
{
    // Through the manager's own removal, which also unlinks the object from its lists.
    if (object && Manager())
        Manager()->RemoveObject(object, 0);
}

}  // namespace

void SetSpawnerHooks(const SpawnerHooks& hooks)
{
    if (hooks.placementMode)
        g_spawnerHooks.placementMode = hooks.placementMode;
}

CSpawner* CSpawner::GetInstance() { return g_pInstance; }

CSpawner::CSpawner() : m_pStaff(nullptr), m_placing(0), m_pCursorBox(nullptr), m_moving(0), m_pMovedFrom(nullptr)
{
    Init();
    g_pInstance = this;
}

CSpawner::~CSpawner()
{
    Release();
    if (g_pInstance == this)
        g_pInstance = nullptr;
}

void CSpawner::Init()
{
    m_countdown = kSpawnWaveSeconds;
    m_pFloorManager = nullptr;
    m_pWorld = nullptr;
    m_totalWeight = 0;
    m_shopperCategories.clear();
    m_pStaff = nullptr;
    m_pPlacement.reset();
    m_placing = 0;
    m_pCursorBox = nullptr;
    m_moving = 0;
    m_pMovedFrom = nullptr;
}

void CSpawner::Release()
{
    // The objects are the manager's, which may already have deleted them: only the record is ours.
    ForgetPlacement();
    m_spawnPoints.clear();
    Init();
}

void CSpawner::AddSpawnPoint(std::unique_ptr<CSpawnPoint> point)
{
    if (point)
        m_spawnPoints.push_back(std::move(point));
}

CSpawnPoint* CSpawner::PickSpawnPoint(int flag, int)
{
    if (flag != 0)
        return nullptr;
    if (m_spawnPoints.empty())
        return nullptr;
    return m_spawnPoints[static_cast<size_t>(FerroxRand()) % m_spawnPoints.size()].get();
}

// ---------------------------------------------------------------------------------------------------------
// Waves

void CSpawner::LoadSettings(CFloorManager* floors, CFerroxWorld* world)
{
    m_pFloorManager = floors;
    m_pWorld = world;
    m_shopperCategories.clear();
    m_totalWeight = 0;
    CDynamicObjectManager* manager = Manager();
    if (!manager)
        return;
    uint16_t index = 0;
    while (CObjectCategory* category = manager->FindCategory(kShopperCategoryText, &index)) {
        const uint16_t count = static_cast<uint16_t>(category->templates.size());
        m_shopperCategories.push_back({1, count, category});
        m_totalWeight = static_cast<uint16_t>(m_totalWeight + 1);
    }
}

void CSpawner::Update(float dt)
{
    const int32_t mode = g_spawnerHooks.placementMode ? g_spawnerHooks.placementMode() : 0;
    if (mode != 0)
        DropStaffPlacement();
    else
        UpdateStaffPlacement();
    m_countdown -= dt;
    if (m_countdown > 0.0f)
        return;
    SpawnWave();
    m_countdown = kSpawnWaveSeconds;
}

void CSpawner::SpawnWave()
{
    CDynamicObjectManager* manager = Manager();
    CStatistics* stats = manager ? manager->GetStatistics() : nullptr;
    if (!stats)
        return;
    const uint16_t limit = stats->m_shopSizeSum < kShopperLimit ? stats->m_shopSizeSum : kShopperLimit;
    const uint16_t present = stats->m_shoppersPresent;
    if (present >= limit)
        return;
    const int rating = stats->m_rating;
    if (FerroxRand() % kShopperDraw < rating + kRatingOffset && m_totalWeight > 0) {
        const int wanted = FerroxRand() % m_totalWeight + 1;
        int sum = 0;
        for (const CShopperCategory& record : m_shopperCategories) {
            sum += record.weight;
            if (sum < wanted)
                continue;
            // An empty category brings no one.
            if (record.templateCount > 0 && record.category) {
                const int16_t index = static_cast<int16_t>(FerroxRand() % record.templateCount);
                SpawnShopper(record.category->name.c_str(), index, kSpawnFloorId);
            }
            break;
        }
    }
    if (FerroxRand() % kCriminalWaveChance != 0)
        return;
    const int draw = FerroxRand() % kCriminalDraw;
    if (draw > rating + kRatingOffset && static_cast<int>(stats->m_criminalsPresent) < static_cast<int>(present))
        SpawnCriminal();
}

// A character of the factory on the base floor of the id, from the template the pick names once the manager and
// a spawn point are there, started at a random spawn point; null when any of them is missing.
template <class Character, class PickTemplate>
Character* CSpawner::Spawn(const char* factoryText, uint16_t floorId, PickTemplate pickTemplate)
{
    CDynamicObjectManager* manager = Manager();
    if (!manager || m_spawnPoints.empty())
        return nullptr;
    CFerroxObjectFactory* factory = manager->FindFactory(factoryText, m_pWorld);
    CFerroxBlockMesh* floor = m_pFloorManager ? m_pFloorManager->FindBaseFloor(floorId) : nullptr;
    CFerroxAssetSet* assetSet = pickTemplate(manager);
    if (!factory || !floor || !assetSet)
        return nullptr;
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = assetSet;
    descriptor.modelMode = kModelOwnCopy;
    descriptor.floorObject = floor;
    Character* character = dynamic_cast<Character*>(manager->CreateObject(factory, &descriptor));
    if (character)
        character->StartAt(PickSpawnPoint(0));
    return character;
}

CShopper* CSpawner::SpawnShopper(const char* name, int16_t index, uint16_t floorId)
{
    return Spawn<CShopper>(kShopperFactoryText, floorId, [&](CDynamicObjectManager* manager) {
        return index < 0 ? manager->FindTemplateByModel(name)
                         : manager->FindTemplate(name, static_cast<uint16_t>(index));
    });
}

CCriminal* CSpawner::SpawnCriminal()
{
    CCriminal* criminal = Spawn<CCriminal>(kCriminalFactoryText, kSpawnFloorId, [](CDynamicObjectManager* manager) {
        return manager->FindTemplate(kCriminalCategory, static_cast<uint16_t>(FerroxRand() % kCriminalTemplates));
    });
    if (criminal && g_pGameContext) {
        g_pGameContext->QueueMessage(kMessageCriminal);
        g_pGameContext->PlaySample(kCriminalSample, kFullVolume);
    }
    return criminal;
}

// ---------------------------------------------------------------------------------------------------------
// Staff placement

void CSpawner::MakeCursorBox()
{
    CDynamicObjectManager* manager = Manager();
    if (!manager)
        return;
    CFerroxObjectFactory* factory = manager->FindFactory(kBoxFactoryText, m_pWorld);
    CFerroxAssetSet* assetSet = manager->FindTemplate(kBoxCategory, 0);
    if (!factory || !assetSet)
        return;
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = assetSet;
    descriptor.modelMode = kModelPlaceholder;
    m_pCursorBox = manager->CreateObject(factory, &descriptor);
    if (m_pCursorBox)
        m_pCursorBox->DisableCollision();
}

void CSpawner::ShowOnCurrentFloor(CFerroxBlockMesh* floor)
{
    CAICharacter* character = dynamic_cast<CAICharacter*>(m_pStaff);
    if (!character)
        return;
    character->SetBlockGrid(floor);
    character->UpdateVisibility(m_pFloorManager ? m_pFloorManager->GetCurrentFloorIndex() : 0);
}

void CSpawner::BeginStaffHire(CFerroxAssetSet* assetSet, CFerroxObjectFactory* factory)
{
    DropStaffPlacement();
    m_pPlacement = std::make_unique<FerroxObjectDescriptor>();
    m_pPlacement->modelMode = kModelPlaceholder;
    CDynamicObjectManager* manager = Manager();
    // A full staff takes no one more: no save then holds more members than a load takes.
    if (manager && manager->GetStaffCount() < kStaffLimit && assetSet && !assetSet->GetModels().empty()) {
        m_moving = 0;
        m_pPlacement->assetSet = assetSet;
        m_pPlacement->modelMode = kModelOwnCopy;
        m_pPlacement->floorObject = m_pFloorManager ? m_pFloorManager->GetCurrentFloor() : nullptr;
        m_pStaff = manager->CreateObject(factory, m_pPlacement.get());
        m_placing = 1;
    }
    MakeCursorBox();
}

void CSpawner::BeginStaffMove(CStaff* member)
{
    DropStaffPlacement();
    m_pPlacement = std::make_unique<FerroxObjectDescriptor>();
    CFerroxBlockMesh* floor = m_pFloorManager ? m_pFloorManager->GetCurrentFloor() : nullptr;
    m_pPlacement->floorObject = floor;
    m_pStaff = member;
    m_pMovedFrom = member ? member->m_pGrid : nullptr;
    m_moving = 1;
    m_placing = 1;
    if (floor)
        ShowOnCurrentFloor(floor);
    MakeCursorBox();
}

int CSpawner::IsStaffCell(CFerroxBlockMesh* floor, int cell)
{
    // Inside the border ring: a save keeps only characters that stand there, and no walk ends on the ring.
    if (!floor || !floor->IsValidCell(cell, 0) || !floor->GetBlock(cell)->IsWalkable())
        return 0;
    const uint16_t index = m_pFloorManager ? m_pFloorManager->GetFloorIndex(floor) : 0;
    // Above the ground a member stands only on a floor tile.
    if (index > 0 && !floor->IsAreaTiled(cell, 1, 1))
        return 0;
    return 1;
}

void CSpawner::UpdateStaffPlacement()
{
    if (!m_pPlacement) {
        DropStaffPlacement();
        return;
    }
    CFerroxBlockMesh* current = m_pFloorManager ? m_pFloorManager->GetCurrentFloor() : nullptr;
    if (!m_pPlacement->floorObject && current) {
        m_pPlacement->floorObject = current;
        ShowOnCurrentFloor(current);
    }
    if (!m_placing || !m_pPlacement->floorObject)
        return;
    if (current && current != m_pPlacement->floorObject) {
        m_pPlacement->floorObject = current;
        ShowOnCurrentFloor(current);
    }
    CFerroxBlockMesh* floor = static_cast<CFerroxBlockMesh*>(m_pPlacement->floorObject);
    const int cell = m_pFloorManager ? m_pFloorManager->GetPickedCell() : -1;
    GxV3d at = {};
    // Off the grid the member and the box stay where they were.
    if (!floor->GetCellPosition(cell, &at, 1))
        return;
    if (m_pStaff)
        m_pStaff->Translate(&at, 0);
    if (!m_pCursorBox)
        return;
    m_pCursorBox->Translate(&at, 0);
    if (CFerroxComposite* model = m_pCursorBox->GetModel())
        model->SetMaterialColour(IsStaffCell(floor, cell) ? &kValidColour : &kInvalidColour);
}

void CSpawner::PlaceStaff()
{
    if (!m_pStaff || !m_pPlacement || !m_pPlacement->floorObject)
        return;
    CFerroxBlockMesh* floor = static_cast<CFerroxBlockMesh*>(m_pPlacement->floorObject);
    const int cell = m_pFloorManager ? m_pFloorManager->GetPickedCell() : -1;
    if (!IsStaffCell(floor, cell))
        return;
    if (CStaff* member = dynamic_cast<CStaff*>(m_pStaff)) {
        if (m_moving) {
            member->Assign(floor, cell);
        } else {
            member->SetBlockGrid(floor);
            member->m_currentCell = cell;
            member->Hire(m_pPlacement.get());
        }
    }
    // The member belongs to the mall now.
    m_pStaff = nullptr;
    m_pPlacement.reset();
    DropStaffPlacement();
}

void CSpawner::DropStaffPlacement()
{
    m_placing = 0;
    if (m_pStaff && !m_moving) {
        Remove(m_pStaff);
    } else if (CStaff* member = dynamic_cast<CStaff*>(m_pStaff)) {
        // A moved member that is dropped stays where it last stood and goes back to work there. It keeps its
        // post, unless it now stands on another storey, where the old post's cell number means another place.
        CFerroxBlockMesh* floor = dynamic_cast<CFerroxBlockMesh*>(member->m_pGrid);
        const GxV3d* at = member->GetPosition();
        const int cell = floor && at ? floor->GetCellAt(*at) : -1;
        const int16_t post = member->m_postCell;
        member->Assign(floor, cell);
        if (member->m_pGrid == m_pMovedFrom)
            member->m_postCell = post;
    }
    m_pStaff = nullptr;
    Remove(m_pCursorBox);
    m_pCursorBox = nullptr;
    m_pPlacement.reset();
}

void CSpawner::ForgetPlacement()
{
    m_placing = 0;
    m_pStaff = nullptr;
    m_pCursorBox = nullptr;
    m_pPlacement.reset();
}
