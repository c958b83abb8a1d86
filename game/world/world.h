// The game's level world: the engine world that reads the level's annotations while it is created. Placeholders
// named "map_<id>_<rows>_<columns>_<cell size>" make the mall's base floors, placeholders named
// "connector_<from>_<to>_..." link two floors along the level spline whose name holds the same key, and splines
// named "spawn_<floor>_..." become the spawner's spawn points.
//
// The world hands what it reads to the floor manager and the spawner it is given (by default the game's
// current ones); the records keep copies of the level's splines, which the engine world deletes once it is
// created. One thread.
#pragma once

#include <string>
#include <vector>

#include "engine/world/world.h"

class CFloorManager;
class CSpawner;

constexpr const char* kMapPlaceholder = "map";
constexpr const char* kConnectorPlaceholder = "connector";
constexpr const char* kSpawnSpline = "spawn";
// Placeholder walks: the first places objects and makes floors, the second links floors.
constexpr int kFloorsMode = 1;
constexpr int kConnectorsMode = 2;

// The "_"-separated decimal fields of text after its first "_": up to `count` of them, each read as a stream
// reads an integer (leading blanks allowed, trailing text ignored); false when fewer fields parse.
bool ReadPlaceholderFields(const std::string& text, size_t count, std::vector<int>* fields);

class CWorld : public CFerroxWorld {
public:
    CWorld();

    // Creates the level from the file with the camera in it; 1.
    virtual int Setup(const char* fileName, GxCamera* camera);
    int ProcessPlaceholder(const char* text, int mode, const GxV3d* position) override;
    int ProcessSplines() override;

    // Where floors, connectors and spawn points go; null falls back to the current manager and spawner.
    void SetTargets(CFloorManager* floors, CSpawner* spawner);

private:
    CFloorManager* Floors() const;
    CSpawner* Spawner() const;

    CFloorManager* m_pFloors;
    CSpawner* m_pSpawner;
};
