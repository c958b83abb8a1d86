// The game's level manager: the engine level manager with the game's world, the level chosen by the game type
// of the settings, and the "<LEVEL>" section of saved games (the world's path, which names the level).
//
// Reads the settings tree the application holds (g_pFerroxSetupTree). Owns its world. One thread.
#pragma once

#include <cstdint>

#include "engine/data/context.h"
#include "engine/world/level.h"
#include "game/world/objectmgr.h"

class CFloorManager;

constexpr const char* kLevelTag = "<LEVEL>";
constexpr const char* kLevelEndTag = "</LEVEL>";
constexpr const char* kGameDataNode = "Game_Data";
constexpr const char* kGameTypeNode = "Game_type";
constexpr const char* kLevelDataNode = "Level_Data";
constexpr const char* kLevelTotalNode = "total";

class CLevelManager : public CFerroxLevelManager {
public:
    // The held world, made a CWorld first when there is none; then the level is created from its file.
    int CreateWorld();
    int Create() override;
    // The level number of the game type named in the settings; 1 (level kept when anything is missing).
    int ReadGameType() override;
    // Writes "<LEVEL>", the world's name and "</LEVEL>".
    void Save(CFerroxFile* file) override;
    // Takes the level whose path holds the saved name, the highest such number; kept when none does.
    void Load(CFerroxFile* file) override;
    // The same; false when the section names a level no level list has (the level is kept).
    bool LoadLevel(CFerroxFile* file);
    ~CLevelManager() override;
};

// The object manager's questions answered by the floors and the level.
class CGameObjectSeam : public CObjectManagerSeam {
public:
    CGameObjectSeam(CFloorManager* floors, CLevelManager* level) : m_pFloors(floors), m_pLevel(level) {}
    uint16_t GetFloorIndex(CFerroxBlockGrid* storey) override;
    const char* GetWorldName() override;

private:
    CFloorManager* m_pFloors;
    CLevelManager* m_pLevel;
};
