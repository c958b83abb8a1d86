// The floor manager: base floors and storeys, connectors, picking, going up and down, floor tiles, drawing
// with debris, and the "<MAP>" section.
#include "game/world/floors.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "engine/application/base.h"
#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/world/object.h"
#include "engine/world/spline.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"
#include "gfx/core/image.h"
#include "gfx/core/texture.h"

FerroxStoreyFilter g_floorCellFilter = &CFloorManager::DefaultCellFilter;

namespace {

CFloorManager* g_pInstance = nullptr;
// The manager whose tiles the mesh text callbacks turn into numbers while it saves or loads.
CFloorManager* g_pActive = nullptr;

constexpr int32_t kNoCell = -1;
constexpr float kNoPoint = -1.0f;
constexpr int32_t kNoTile = -1;
// The tile chosen first is the list's second (none with fewer than two).
constexpr int32_t kDefaultTile = 1;
constexpr const char* kDebrisModel = "debris";
const char* const kLineEnd = "\r\n";
// Objects of a storey shown or hidden with it: every class but doors.
const ObjectFloorFlags kStoreyObjects = {1, 1, 0, 1, 1, 1, 1};

int TileToText(CFerroxTileRecord* tile) { return g_pActive ? g_pActive->TileTypeToIndex(tile) : kNoTile; }

CFerroxTileRecord* TileFromText(int value, CFerroxTileRecord*)
{
    return g_pActive ? g_pActive->TileTypeFromIndex(value) : nullptr;
}

// Makes the manager the callbacks' one while it lives.
class ActiveManager {
public:
    explicit ActiveManager(CFloorManager* manager) : m_previous(g_pActive) { g_pActive = manager; }
    ~ActiveManager() { g_pActive = m_previous; }
    ActiveManager(const ActiveManager&) = delete;
    ActiveManager& operator=(const ActiveManager&) = delete;

private:
    CFloorManager* m_previous;
};

int StoreysOf(CFerroxBlockMesh* ground)
{
    int count = 0;
    for (CFerroxBlockMesh* storey = ground; storey; storey = storey->GetUpper())
        count++;
    return count;
}

}  // namespace

CConnector::CConnector(const GxV3d& at, CFerroxBlockMesh* to, std::unique_ptr<CFerroxSpline> path)
    : position(at), target(to), spline(std::move(path))
{}

CConnector::~CConnector() = default;

CFloorManager* CFloorManager::GetInstance() { return g_pInstance; }

void CFloorManager::SetCellFilter(FerroxStoreyFilter filter)
{
    g_floorCellFilter = filter ? filter : &CFloorManager::DefaultCellFilter;
}

int CFloorManager::DefaultCellFilter(CFerroxBase*, int, int untiled) { return untiled == 0 ? 1 : 0; }

CFloorManager::CFloorManager() : m_currentTile(kNoTile), m_pHooks(nullptr) { Init(); }

CFloorManager::~CFloorManager()
{
    Clear();
    for (const std::unique_ptr<CFloorTile>& tile : m_floorTiles) {
        if (tile->texture)
            GxTextureDestroy(tile->texture);
    }
    m_floorTiles.clear();
    if (g_pInstance == this)
        g_pInstance = nullptr;
}

void CFloorManager::Init()
{
    m_baseFloors.clear();
    m_connectors.clear();
    m_baseFloorCount = 0;
    m_pCurrentFloor = nullptr;
    m_pickedCell = kNoCell;
    m_pickPoint = {kNoPoint, kNoPoint, kNoPoint};
    m_currentFloorIndex = 0;
    m_builtFloors = 1;
    m_maxFloors = kMaxFloors;
    m_pWorld = nullptr;
}

void CFloorManager::Create(CFerroxTagTree* data)
{
    g_pInstance = this;
    LoadFloorTiles(data);
}

void CFloorManager::LoadFloorTiles(CFerroxTagTree* data)
{
    if (!data || !data->FindNode(kFloorTilesBlock, 1) || !data->FindChild(nullptr))
        return;
    const std::string savedPath = GxImageGetPath() ? GxImageGetPath() : "";
    const GxBool mipmapping = GxTextureGetMipmapping();
    const GxBool autoMipmapping = GxTextureGetAutoMipmapping();
    GxImageSetPath("");
    GxTextureSetMipmapping(1);
    GxTextureSetAutoMipmapping(1);
    do {
        std::string name = data->GetValue(0) ? data->GetValue(0) : "";
        if (!name.empty() && name.back() == '\n')
            name.pop_back();
        auto tile = std::make_unique<CFloorTile>();
        // A tile that cannot be read keeps its place, so the saved indexes of the tiles after it hold.
        tile->texture = name.empty() ? nullptr : GxTextureRead(name.c_str(), nullptr);
        tile->raster = tile->texture ? tile->texture->raster : nullptr;
        if (tile->texture)
            GxTextureSetFilterMode(tile->texture, gxFILTERMIPLINEAR);
        m_floorTiles.push_back(std::move(tile));
    } while (data->NextSibling(nullptr));
    GxImageSetPath(savedPath.c_str());
    GxTextureSetMipmapping(mipmapping);
    GxTextureSetAutoMipmapping(autoMipmapping);
    m_currentTile = kDefaultTile;
}

void CFloorManager::DeleteDebris() { m_debris.clear(); }

void CFloorManager::CreateDebris()
{
    DeleteDebris();
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    for (int i = 1; i <= kDebrisModels; i++) {
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet =
            objects ? objects->FindTemplateByModel((kDebrisModel + std::to_string(i)).c_str()) : nullptr;
        descriptor.modelMode = FERROX_MODEL_CLONE;
        auto object = std::make_unique<CFerroxObject>();
        object->Init();
        if (descriptor.assetSet)
            object->Setup(&descriptor);
        m_debris.push_back(std::move(object));
    }
}

int CFloorManager::AddBaseFloor(int rows, int columns, const GxV3d& middle, int size, int floorId)
{
    const int half = size / 2;
    const GxV3d corner = {middle.x - static_cast<float>(half), middle.y, middle.z + static_cast<float>(half)};
    auto ground = std::make_unique<CFerroxBlockMesh>();
    if (!ground->Create(rows, columns, corner, size, floorId))
        return 0;
    m_baseFloors.push_back(std::move(ground));
    m_baseFloorCount++;
    return 1;
}

CFerroxBlockMesh* CFloorManager::FindBaseFloor(int floorId)
{
    for (const std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors) {
        if (ground->GetFloorId() == floorId)
            return ground.get();
    }
    return nullptr;
}

uint16_t CFloorManager::GetFloorIndex(CFerroxBlockMesh* storey)
{
    if (!storey)
        return kNoStorey;
    CFerroxBlockMesh* ground = FindBaseFloor(storey->GetFloorId());
    uint16_t index = 0;
    for (CFerroxBlockMesh* mesh = ground; mesh; mesh = mesh->GetUpper(), index++) {
        if (mesh == storey)
            return index;
    }
    return kNoStorey;
}

void CFloorManager::AddConnector(CFerroxBlockMesh* baseFloor, std::unique_ptr<CConnector> connector)
{
    if (!connector)
        return;
    auto isBaseFloor = [baseFloor](const std::unique_ptr<CFerroxBlockMesh>& ground) {
        return ground.get() == baseFloor;
    };
    if (!baseFloor || std::none_of(m_baseFloors.begin(), m_baseFloors.end(), isBaseFloor))
        return;
    m_connectors[baseFloor].push_back(std::move(connector));
}

void CFloorManager::UpdatePick(const GxV3d& point)
{
    m_pickedCell = kNoCell;
    m_pCurrentFloor = nullptr;
    m_pickPoint = {kNoPoint, kNoPoint, kNoPoint};
    for (const std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors) {
        const int cell = ground->GetCellAt(point);
        if (cell == kNoCell)
            continue;
        CFerroxBlockMesh* storey = ground->GetLinked(m_currentFloorIndex);
        if (!storey)
            return;
        m_pickedCell = cell;
        m_pCurrentFloor = storey;
        m_pickPoint = {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
                       static_cast<float>(storey->GetCellWorldZ(cell, 1))};
        return;
    }
}

int CFloorManager::FloorUp(CGameNotices* notices, CFerroxWorld* world)
{
    // Objects go back into the level's world; without one they stay out of it.
    if (world)
        m_pWorld = world;
    else
        world = m_pWorld;
    if (m_currentFloorIndex < m_builtFloors - 1) {
        m_currentFloorIndex++;
        CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
        if (objects && world)
            objects->ShowFloorObjects(m_currentFloorIndex, kStoreyObjects, world);
        if (m_pHooks)
            m_pHooks->OnFloorChanged(1);
        return 0;
    }
    if (m_builtFloors >= m_maxFloors || !notices)
        return 0;
    int16_t list = -1;
    if (g_pFerroxGame && g_pFerroxGame->m_pLocale)
        list = g_pFerroxGame->m_pLocale->FindTextList(kInGameMessages);
    notices->AskConfirmation(&CFloorManager::AddFloorCallback, kNewStoreyQuestion, list, 0, nullptr);
    return 0;
}

int CFloorManager::FloorDown(CFerroxWorld*)
{
    if (m_currentFloorIndex <= 0)
        return 0;
    if (CDynamicObjectManager* objects = CDynamicObjectManager::Peek())
        objects->HideFloorObjects(m_currentFloorIndex, kStoreyObjects);
    m_currentFloorIndex--;
    if (m_pHooks)
        m_pHooks->OnFloorChanged(-1);
    return 0;
}

int CFloorManager::GoToFloor(int index, CFerroxWorld* world)
{
    index = std::max(0, std::min(index, m_builtFloors - 1));
    while (m_currentFloorIndex > index)
        FloorDown(world);
    while (m_currentFloorIndex < index)
        FloorUp(nullptr, world);
    return 0;
}

int CFloorManager::ResetFloorIndex()
{
    m_currentFloorIndex = 0;
    return 0;
}

void CFloorManager::AddFloor()
{
    CFerroxBlockMesh* ground = FindBaseFloor(1);
    if (!ground || m_builtFloors >= m_maxFloors)
        return;
    CFerroxBlockMesh* top = ground->GetLinked(m_builtFloors - 1);
    if (!top || top->GetUpper())
        return;
    m_pCurrentFloor = top;
    if (top->BuildStoreyAbove(kStoreyHeight, GetCurrentTileType(), g_floorCellFilter) != 0)
        return;
    m_builtFloors++;
    FloorUp(nullptr, m_pWorld);
    if (m_pHooks)
        m_pHooks->OnStoreyAdded(top->GetUpper());
}

void CFloorManager::AddFloorCallback()
{
    if (g_pInstance)
        g_pInstance->AddFloor();
}

CFloorTile* CFloorManager::GetCurrentTileType() { return TileTypeFromIndex(m_currentTile); }

int CFloorManager::SelectTileType(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_floorTiles.size())
        index = 0;
    m_currentTile = m_floorTiles.empty() ? kNoTile : index;
    return 0;
}

CFloorTile* CFloorManager::TileTypeFromIndex(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_floorTiles.size())
        return nullptr;
    return m_floorTiles[static_cast<size_t>(index)].get();
}

int CFloorManager::TileTypeToIndex(const CFerroxTileRecord* tile)
{
    for (size_t i = 0; i < m_floorTiles.size(); i++) {
        if (m_floorTiles[i].get() == tile)
            return static_cast<int>(i);
    }
    return kNoTile;
}

void CFloorManager::RenderDebris(CFerroxBlockMesh* storey)
{
    for (int32_t cell : storey->GetOccupiedList()) {
        const uint32_t which = DebrisFor(cell);
        if (which >= m_debris.size())
            continue;
        GxV3d position;
        if (!storey->GetCellPosition(cell, &position, 0))
            continue;
        CFerroxObject* debris = m_debris[which].get();
        debris->Translate(&position, 0);
        debris->Render();
    }
}

void CFloorManager::Render()
{
    for (const std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors) {
        CFerroxBlockMesh* storey = ground.get();
        for (int index = 0; storey && index <= m_currentFloorIndex; index++, storey = storey->GetUpper()) {
            storey->Render();
            RenderDebris(storey);
        }
    }
}

int32_t CFloorManager::GetDirtSum() const
{
    int64_t sum = 0;
    for (const std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors) {
        for (CFerroxBlockMesh* storey = ground.get(); storey; storey = storey->GetUpper())
            sum += std::min(storey->GetOccupiedCount(), kDirtCountLimit);
    }
    return static_cast<int32_t>(std::min<int64_t>(sum, std::numeric_limits<int32_t>::max()));
}

int CFloorManager::Save(CFerroxFile* file)
{
    if (!file)
        return 0;
    ActiveManager active(this);
    file->WriteLine(std::string(kMapTag) + kLineEnd);
    file->WriteLine(ToString<int>(m_builtFloors) + kLineEnd);
    for (const std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors)
        ground->Save(file, &TileToText);
    file->WriteLine(std::string(kMapEndTag) + kLineEnd);
    return 0;
}

void CFloorManager::DeleteStoreysAbove(CFerroxBlockMesh* ground)
{
    CFerroxBlockMesh* top = ground;
    while (top->GetUpper())
        top = top->GetUpper();
    while (top != ground) {
        CFerroxBlockMesh* below = top->GetLower();
        delete top;
        top = below;
    }
}

int CFloorManager::Load(CFerroxTagFile* file)
{
    if (!file || file->SeekTag(kMapTag) != 0)
        return 0;
    ActiveManager active(this);
    std::string line;
    file->ReadLine(line);
    int count = 0;
    const bool counted = FromString<int>(line, count);
    int storeys = kMaxFloors;
    for (const std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors) {
        ground->Load(file, &TileFromText, GetCurrentTileType());
        storeys = std::min(storeys, StoreysOf(ground.get()));
    }
    // No more storeys than were read, nor than may be built: the view never goes up to one that is not there.
    if (!counted)
        count = storeys;
    m_builtFloors = std::max(1, std::min({count, m_maxFloors, storeys}));
    return 0;
}

void CFloorManager::Clear()
{
    // Each ground goes right after its own storeys, as they were built.
    for (std::unique_ptr<CFerroxBlockMesh>& ground : m_baseFloors) {
        DeleteStoreysAbove(ground.get());
        ground.reset();
    }
    m_baseFloors.clear();
    m_connectors.clear();
    DeleteDebris();
    Init();
}
