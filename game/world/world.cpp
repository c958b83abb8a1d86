// The game's level world: base floors, connectors and spawn points from the level's annotations.
#include "game/world/world.h"

#include <memory>
#include <sstream>

#include "engine/world/spline.h"
#include "game/world/floors.h"

namespace {

// The map placeholder's fields in text order: floor id, rows, columns, cell size.
constexpr size_t kMapFields = 4;
// A connector's key starts with the floor it leaves and the floor it leads to.
constexpr size_t kConnectorFields = 2;
constexpr size_t kSpawnFields = 1;
// Spawn points name their floor by the id's low 16 bits.
constexpr int kFloorIdMask = 0xFFFF;

CSpawnPointTarget* g_pLastTarget = nullptr;

bool Contains(const char* text, const char* part) { return text && std::string(text).find(part) != std::string::npos; }

// The text after the first "_", or empty.
std::string AfterFirstSeparator(const std::string& text)
{
    const size_t separator = text.find('_');
    return separator == std::string::npos ? std::string() : text.substr(separator + 1);
}

}  // namespace

CSpawnPoint::CSpawnPoint(const std::string& pointName, CFerroxBlockMesh* baseFloor, std::unique_ptr<CFerroxSpline> path)
    : name(pointName), spare(0), floor(baseFloor), spline(std::move(path)), words{0, 0, 0}
{}

CSpawnPoint::~CSpawnPoint() = default;

CSpawnPointTarget* CSpawnPointTarget::GetLast() { return g_pLastTarget; }

CSpawnPointTarget::CSpawnPointTarget() { g_pLastTarget = this; }

CSpawnPointTarget::~CSpawnPointTarget()
{
    if (g_pLastTarget == this)
        g_pLastTarget = nullptr;
}

bool ReadPlaceholderFields(const std::string& text, size_t count, std::vector<int>* fields)
{
    fields->clear();
    std::stringstream rest(AfterFirstSeparator(text));
    std::string field;
    while (fields->size() < count && std::getline(rest, field, '_')) {
        std::istringstream number(field);
        int value = 0;
        if (!(number >> value))
            return false;
        fields->push_back(value);
    }
    return fields->size() == count;
}

int CWorld::Setup(const char* fileName, GxCamera* camera)
{
    Create(fileName, camera);
    return 1;
}

int CWorld::ProcessPlaceholder(const char* text, int mode, const GxV3d* position)
{
    if (mode == kFloorsMode) {
        if (!Contains(text, kMapPlaceholder))
            return 1;
        std::vector<int> f;
        CFloorManager* floors = CFloorManager::GetInstance();
        if (floors && position && ReadPlaceholderFields(text, kMapFields, &f))
            floors->AddBaseFloor(f[1], f[2], *position, f[3], f[0]);
        return 0;
    }
    if (mode != kConnectorsMode)
        return 1;
    if (!Contains(text, kConnectorPlaceholder) || !position)
        return 0;
    const std::string key = AfterFirstSeparator(text);
    CFerroxSpline* path = nullptr;
    for (CFerroxSpline* spline : GetSplines()) {
        if (Contains(spline->GetName(), key.c_str())) {
            path = spline;
            break;
        }
    }
    std::vector<int> ids;
    CFloorManager* floors = CFloorManager::GetInstance();
    if (!path || !floors || key.empty() || !ReadPlaceholderFields("_" + key, kConnectorFields, &ids))
        return 0;
    // The manager frees a connector whose source floor it does not have.
    floors->AddConnector(floors->FindBaseFloor(ids[0]),
                         std::make_unique<CConnector>(*position, floors->FindBaseFloor(ids[1]), path->Clone()));
    return 0;
}

int CWorld::ProcessSplines()
{
    CSpawnPointTarget* spawnPoints = CSpawnPointTarget::GetLast();
    CFloorManager* floors = CFloorManager::GetInstance();
    if (!spawnPoints)
        return 0;
    for (CFerroxSpline* spline : GetSplines()) {
        const char* name = spline->GetName();
        if (Contains(name, kConnectorPlaceholder) || !Contains(name, kSpawnSpline))
            continue;
        std::vector<int> id;
        if (!ReadPlaceholderFields(name, kSpawnFields, &id))
            continue;
        CFerroxBlockMesh* floor = floors ? floors->FindBaseFloor(id[0] & kFloorIdMask) : nullptr;
        spawnPoints->AddSpawnPoint(std::make_unique<CSpawnPoint>(name, floor, spline->Clone()));
    }
    return 0;
}
