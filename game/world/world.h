// The game's level world: the engine world that reads the level's annotations while it is created. Placeholders
// named "map_<id>_<rows>_<columns>_<cell size>" make the mall's base floors, placeholders named
// "connector_<from>_<to>_..." link two floors along the level spline whose name holds the same key, and splines
// named "spawn_<floor>_..." become the spawner's spawn points.
//
// The world hands what it reads to the current floor manager and the last spawn-point target made (the game's
// floor manager and spawner); the records keep copies of the level's splines, which the engine world deletes
// once it is created. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/world/world.h"

class CFerroxBlockMesh;
class CFerroxSpline;

constexpr const char* kMapPlaceholder = "map";
constexpr const char* kConnectorPlaceholder = "connector";
constexpr const char* kSpawnSpline = "spawn";
// Placeholder walks: the first places objects and makes floors, the second links floors.
constexpr int kFloorsMode = 1;
constexpr int kConnectorsMode = 2;

// A spawn point: a level spline named "spawn_<floor>_...", its floor, and the path's own copy.
struct CSpawnPoint {
    CSpawnPoint(const std::string& pointName, CFerroxBlockMesh* baseFloor, std::unique_ptr<CFerroxSpline> path);
    ~CSpawnPoint();
    CSpawnPoint(const CSpawnPoint&) = delete;
    CSpawnPoint& operator=(const CSpawnPoint&) = delete;

    std::string name;
    int32_t spare;
    CFerroxBlockMesh* floor;  // the base floor of the spline's floor id, or null
    std::unique_ptr<CFerroxSpline> spline;
    int32_t words[3];
};

// What takes the spawn points the world reads: the character spawner (game/figures/spawner.h). The last one made
// is the world's default.
class CSpawnPointTarget {
public:
    // The last target made that still exists, or null.
    static CSpawnPointTarget* GetLast();

    CSpawnPointTarget();
    CSpawnPointTarget(const CSpawnPointTarget&) = delete;
    CSpawnPointTarget& operator=(const CSpawnPointTarget&) = delete;
    virtual void AddSpawnPoint(std::unique_ptr<CSpawnPoint> point) = 0;

protected:
    virtual ~CSpawnPointTarget();
};

// The "_"-separated decimal fields of text after its first "_": up to `count` of them, each read as a stream
// reads an integer (leading blanks allowed, trailing text ignored); false when fewer fields parse.
bool ReadPlaceholderFields(const std::string& text, size_t count, std::vector<int>* fields);

class CWorld : public CFerroxWorld {
public:
    // The engine world sets itself up and frees its level itself; the game's world adds nothing to either.
    void Init() override {}
    void Release() override {}
    // Creates the level from the file with the camera in it; 1.
    virtual int Setup(const char* fileName, GxCamera* camera);
    int ProcessPlaceholder(const char* text, int mode, const GxV3d* position) override;
    int ProcessSplines() override;
};
