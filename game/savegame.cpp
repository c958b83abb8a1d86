// Saved games and scenarios: the file as a whole, its "<GAME_DATA>" section and the order of writing and reading.
#include "game/savegame.h"

#include <string>

#include "engine/convert.h"
#include "engine/file.h"
#include "engine/level.h"
#include "engine/techtree.h"
#include "game/conditions.h"
#include "game/floors.h"
#include "game/game.h"
#include "game/statistics.h"

namespace {

const char* const kLineEnd = "\r\n";

// Every section a save or a scenario may hold; a file with none of them is no save.
const char* const kSectionTags[] = {
    kGameDataTag, "<LEVEL>", "<CONDITIONS>", "<MAP>", "<OBJECTS>", "<STATISTICS>", "<TECHTREE>",
};

void WriteNumberLine(CFerroxFile* file, uint16_t value)
{
    file->WriteLine(ToString<unsigned short>(value) + kLineEnd);
}

// The start year, the start month and the day counter.
void WriteGameData(CFerroxFile* file, const CGame& game)
{
    file->WriteLine(std::string(kGameDataTag) + kLineEnd);
    WriteNumberLine(file, game.m_startYear);
    WriteNumberLine(file, game.m_startMonth);
    WriteNumberLine(file, game.m_dayCounter);
    file->WriteLine(std::string(kGameDataEndTag) + kLineEnd);
}

// Takes the three values only when all of them are numbers that fit and the end tag follows: a cut-short or
// broken section (a last number cut by the end of the file among them) leaves the calendar the game held.
void ReadGameData(CFerroxTagFile* file, CGame& game)
{
    if (file->SeekTag(kGameDataTag) != 0)
        return;
    uint16_t values[3] = {};
    std::string line;
    for (uint16_t& value : values) {
        if (file->IsEof() || !FromString<unsigned short>(file->ReadLine(line), value))
            return;
    }
    if (file->ReadLine(line).find(kGameDataEndTag) == std::string::npos)
        return;
    game.m_startYear = values[0];
    game.m_startMonth = values[1];
    game.m_dayCounter = values[2];
}

} // namespace

int GameFileHoldsSection(CFerroxTagFile* file)
{
    for (const char* tag : kSectionTags) {
        if (file->SeekTag(tag) == 0)
            return 1;
    }
    return 0;
}

// The file goes to a temporary beside the path and replaces it only when every line was written.
int CGame::SaveGame(const char* path)
{
    if (!path || !*path)
        return 0;
    CFerroxTagFile file;
    if (file.Open(path, 0) != 0)
        return 0;
    WriteGameData(&file, *this);
    if (m_pLevelManager)
        m_pLevelManager->Save(&file);
    if (m_pSaveParts) {
        if (CConditions* conditions = m_pSaveParts->GetConditions())
            conditions->Save(&file);
        if (CFloorManager* floors = m_pSaveParts->GetFloorManager())
            floors->Save(&file);
        m_pSaveParts->SaveObjects(&file);
    }
    if (m_pTechTree)
        m_pTechTree->Save(&file);
    return file.Close() == 0 ? 1 : 0;
}

// The running level is torn down only once the file is known to open and to hold a section; every reader then
// seeks its own section, so their order in the file does not matter and a missing one is skipped.
int CGame::LoadGame(const char* path)
{
    if (!path || !*path)
        return 0;
    CFerroxTagFile file;
    if (file.Open(path, 1) != 0)
        return 0;
    if (!GameFileHoldsSection(&file)) {
        file.Close();
        return 0;
    }
    if (m_pSaveParts)
        m_pSaveParts->LeaveLevel();
    if (m_pLevelManager)
        m_pLevelManager->Load(&file);
    if (m_pSaveParts)
        m_pSaveParts->StartLevel();
    ReadGameData(&file, *this);
    if (m_pSaveParts) {
        if (CFloorManager* floors = m_pSaveParts->GetFloorManager())
            floors->Load(&file);
        if (CConditions* conditions = m_pSaveParts->GetConditions())
            conditions->Load(&file);
        m_pSaveParts->LoadObjects(&file);
        if (CStatistics* statistics = m_pSaveParts->GetStatistics())
            statistics->Load(&file);
    }
    if (m_pTechTree)
        m_pTechTree->Load(&file);
    file.Close();
    return 1;
}
