// Saved games and scenarios: one tag file of sections ("<GAME_DATA>", "<LEVEL>", "<CONDITIONS>", "<MAP>",
// "<OBJECTS>", "<STATISTICS>", "<TECHTREE>"), written by CGame::SaveGame and read by CGame::LoadGame in any order.
//
// The game writes "<GAME_DATA>" itself and reaches its level manager and technology tree directly; the other
// sections belong to parts the game's set-up owns, reached through the seam below. One thread.
#pragma once

#include <cstdint>

class CConditions;
class CFerroxFile;
class CFerroxTagFile;
class CFloorManager;
class CStatistics;

constexpr const char* kGameDataTag = "<GAME_DATA>";
constexpr const char* kGameDataEndTag = "</GAME_DATA>";

// What a save writes and a load rebuilds beside the level manager and the technology tree. The game's set-up
// installs it (CGame::SetSaveParts) and keeps it alive while installed; without it a save holds "<GAME_DATA>",
// "<LEVEL>" and "<TECHTREE>" only, and a load tears nothing down.
class CGameSaveParts {
public:
    virtual ~CGameSaveParts() = default;
    // The running level torn down; then the level the level manager holds built.
    virtual void LeaveLevel() = 0;
    virtual void StartLevel() = 0;
    // The running game's parts, or null when it has none; asked again after StartLevel.
    virtual CConditions* GetConditions() = 0;
    virtual CFloorManager* GetFloorManager() = 0;
    virtual CStatistics* GetStatistics() = 0;
    // Writes "<OBJECTS>" and then "<STATISTICS>".
    virtual void SaveObjects(CFerroxFile* file) = 0;
    // Recreates every object of "<OBJECTS>" in the current world.
    virtual void LoadObjects(CFerroxTagFile* file) = 0;
};

// Non-zero when the open file holds the tag line of at least one section a save has.
int GameFileHoldsSection(CFerroxTagFile* file);
