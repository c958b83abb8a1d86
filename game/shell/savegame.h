// Saved games and scenarios: one tag file of sections ("<GAME_DATA>", "<LEVEL>", "<CONDITIONS>", "<MAP>",
// "<OBJECTS>", "<STATISTICS>", "<TECHTREE>"), written by CGame::SaveGame and read by CGame::LoadGame in any order.
//
// The game writes "<GAME_DATA>" itself and reaches its level manager and technology tree directly; the other
// sections belong to parts the game's set-up owns, reached through the seam below. One thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CConditions;
class CFerroxFile;
class CFerroxTagFile;
class CFloorManager;
class CStatistics;

constexpr const char* kGameDataTag = "<GAME_DATA>";
constexpr const char* kGameDataEndTag = "</GAME_DATA>";

// What CGame::LoadGame did: refused the file with the running game as it was; read it whole; read it with
// object records left out (broken, on cells already taken, or characters beyond the counts the game reaches) or
// values refused (a number out of its range, a level no level list has: the running game's value stays); or
// found the save's level would not load, the running game gone and the game on its way to the front end.
enum GameLoadResult : int {
    kGameLoadRefused = 0,
    kGameLoadWhole = 1,
    kGameLoadDropped = 2,
    kGameLoadLevelFailed = 3,
};

// Largest save read, far above what the game writes (every cell of five storeys built on and every character
// the game allows); and the longest line, far above the longest the game writes (a storey's litter list, one
// number a cell).
constexpr uint64_t kGameFileMaxBytes = 64u << 20;
constexpr size_t kGameFileMaxLine = 1u << 20;

// Texts of the "InGameMessages" list telling the player that a load was refused or left parts out.
constexpr int16_t kGameLoadRefusedMessage = 40;
constexpr int16_t kGameLoadDroppedMessage = 41;
// The in-game message that tells the player a load's result; -1 for a load read whole, and for a level that did
// not load (the front end tells of that).
int16_t GameLoadMessage(int result);

// What a save writes and a load rebuilds beside the level manager and the technology tree. The game's set-up
// installs it (CGame::SetSaveParts) and keeps it alive while installed; without it a save holds "<GAME_DATA>",
// "<LEVEL>" and "<TECHTREE>" only, and a load tears nothing down.
class CGameSaveParts {
public:
    virtual ~CGameSaveParts() = default;
    // The running level torn down; then the level the level manager holds built, 0 when its world did not load.
    virtual void LeaveLevel() = 0;
    virtual int StartLevel() = 0;
    // The running game's parts, or null when it has none; asked again after StartLevel.
    virtual CConditions* GetConditions() = 0;
    virtual CFloorManager* GetFloorManager() = 0;
    virtual CStatistics* GetStatistics() = 0;
    // Writes "<OBJECTS>" and then "<STATISTICS>".
    virtual void SaveObjects(CFerroxFile* file) = 0;
    // Recreates every object of "<OBJECTS>" in the current world; returns the records left out.
    virtual int LoadObjects(CFerroxTagFile* file) = 0;
};

// Non-zero when the open file holds the tag line of at least one section a save has (savegame_builder.cpp, with
// GameFileRefusedValues: the program does not link them).
int GameFileHoldsSection(CFerroxTagFile* file);
// Reads the open file to its end, holding one line at a time, and says what keeps it from loading whole; empty
// when nothing does. It must hold a section, each opened on its own tag line and closed on its end tag line before
// the next opens, with as many lines as the game writes in it (text between sections, and a section written
// again, are read past); no line longer than kGameFileMaxLine, at most kGameFileMaxBytes; each storey of a map
// above the one before it. A save (one with "<GAME_DATA>") must end with "<TECHTREE>" when the game has a
// technology tree.
std::string GameFileProblem(CFerroxFile* file, bool needsTechTree);
// The values a load of the open file would refuse, counted without changing the running game: a level no level
// list names, a calendar value, a statistics figure out of its range.
int GameFileRefusedValues(CFerroxTagFile* file);
