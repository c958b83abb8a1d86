// Saved games and scenarios: the file as a whole, its "<GAME_DATA>" section and the order of writing and reading.
#include "game/shell/savegame.h"
#include "game/shell/savegame_local.h"

#include <cstdio>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/techtree.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/level.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"

namespace {

const char* const kLineEnd = "\r\n";

// The section every save writes last, when the game has a technology tree.
constexpr size_t kTechTreeSection = 6;
// The section of the storey chains, each "<MESH>" block a height line before every "<SUBMESH>" body.
constexpr size_t kMapSection = 3;
constexpr size_t kNoSection = kSectionCount;

// Reads a save or scenario through to its end, one line held at a time, and says what keeps it from loading
// whole. Every reader seeks the first line holding its tag, so a tag may stand on its own tag lines only; the
// order of the sections and lines outside them do not matter.
class GameFileScan {
public:
    explicit GameFileScan(bool needsTechTree) : m_needsTechTree(needsTechTree) {}

    std::string Run(CFerroxFile* file)
    {
        if (file->GetBytesLeft() > kGameFileMaxBytes)
            return "is larger than any save";
        std::string line;
        while (!file->IsEof()) {
            if (!file->ReadLineWithin(line, kGameFileMaxLine))
                return "holds a line longer than any save has";
            const std::string problem = Take(line);
            if (!problem.empty())
                return problem;
        }
        return Finish();
    }

private:
    std::string Take(const std::string& line)
    {
        size_t opened = kNoSection;
        for (size_t i = 0; i < kSectionCount; ++i) {
            const char* end = kSectionEndTags[i];
            if (line == kSectionTags[i])
                opened = i;
            else if (line == end)
                return Close(i);
            else if (line.find(kSectionTags[i]) != std::string::npos || line.find(end) != std::string::npos)
                return std::string("holds ") + kSectionTags[i] + " inside another line";
        }
        if (opened != kNoSection)
            return Open(opened);
        // Text between sections is read by no one.
        if (m_open == kNoSection)
            return "";
        ++m_lines;
        return m_open == kMapSection ? TakeMapLine(line) : "";
    }

    // A height line stands first in a "<MESH>" block and after each body, whose opening line follows it; the
    // storeys must rise as the block is read into them.
    std::string TakeMapLine(const std::string& line)
    {
        const MapLine kind = m_mapLine;
        m_mapLine = kMapBodyLine;
        if (kind == kMapHeightLine) {
            if (line.find("</MESH>") != std::string::npos)
                return "";
            m_mapLine = kMapOpeningLine;
            return FerroxReadStoreyHeight(line, &m_top) == FERROX_HEIGHT_DAMAGED
                       ? "holds a map whose storeys do not rise"
                       : "";
        }
        if (kind == kMapOpeningLine)
            return "";
        if (line.find("<MESH>") != std::string::npos) {
            m_top = 0;
            m_mapLine = kMapHeightLine;
        } else if (line.find("</SUBMESH>") != std::string::npos) {
            m_mapLine = kMapHeightLine;
        }
        return "";
    }

    std::string Open(size_t section)
    {
        if (m_open != kNoSection)
            return std::string("opens ") + kSectionTags[section] + " inside " + kSectionTags[m_open];
        // A section written again is checked as the first: its reader takes the first.
        m_seen[section] = true;
        m_open = section;
        m_lines = 0;
        m_mapLine = kMapBodyLine;
        return "";
    }

    std::string Close(size_t section)
    {
        if (m_open != section)
            return std::string("closes ") + kSectionEndTags[section] + " without opening it";
        if (kSectionLines[section] && m_lines != kSectionLines[section])
            return std::string("holds ") + kSectionTags[section] + " with " + std::to_string(m_lines) + " lines, not " +
                   std::to_string(kSectionLines[section]);
        m_open = kNoSection;
        return "";
    }

    std::string Finish() const
    {
        if (m_open != kNoSection)
            return std::string("ends inside ") + kSectionTags[m_open];
        bool any = false;
        for (bool seen : m_seen)
            any = any || seen;
        if (!any)
            return "holds no section of a save";
        // A scenario has no calendar; a save cut just after one of its sections lacks the last.
        if (m_seen[kGameDataSection] && m_needsTechTree && !m_seen[kTechTreeSection])
            return std::string("ends before ") + kSectionTags[kTechTreeSection];
        return "";
    }

    const bool m_needsTechTree;
    bool m_seen[kSectionCount] = {};
    size_t m_open = kNoSection;
    size_t m_lines = 0;
    // Within "<MAP>": what the next line is, and the height of the storey read last.
    enum MapLine {
        kMapBodyLine,
        kMapHeightLine,
        kMapOpeningLine
    };
    MapLine m_mapLine = kMapBodyLine;
    float m_top = 0;
};

void WriteNumberLine(CFerroxFile* file, uint16_t value) { file->WriteLine(ToString<unsigned short>(value) + kLineEnd); }

// The start year, the start month and the day counter.
void WriteGameData(CFerroxFile* file, const CGame& game)
{
    file->WriteLine(std::string(kGameDataTag) + kLineEnd);
    WriteNumberLine(file, game.m_startYear);
    WriteNumberLine(file, game.m_startMonth);
    WriteNumberLine(file, game.m_dayCounter);
    file->WriteLine(std::string(kGameDataEndTag) + kLineEnd);
}

// The calendar a load starts from: what the running game had before its level was torn down.
struct GameCalendar {
    uint16_t year;
    uint16_t month;
    uint16_t day;
};

// Reads the three values; one that is no unsigned 16-bit number keeps the running game's. Returns the values
// refused.
int ReadGameData(CFerroxTagFile* file, CGame& game, const GameCalendar& running)
{
    game.m_startYear = running.year;
    game.m_startMonth = running.month;
    game.m_dayCounter = running.day;
    if (file->SeekTag(kGameDataTag) != 0)
        return 0;
    uint16_t* const values[kGameDataValues] = {&game.m_startYear, &game.m_startMonth, &game.m_dayCounter};
    int refused = 0;
    std::string line;
    for (uint16_t* value : values)
        refused += !file->IsEof() && FromString<unsigned short>(file->ReadLine(line), *value) ? 0 : 1;
    return refused;
}

}  // namespace

std::string GameFileProblem(CFerroxFile* file, bool needsTechTree)
{
    if (!file || !file->IsOpen() || file->GetMode() != 1)
        return "cannot be read";
    return GameFileScan(needsTechTree).Run(file);
}

int16_t GameLoadMessage(int result)
{
    if (result == kGameLoadWhole || result == kGameLoadLevelFailed)
        return -1;
    return result == kGameLoadDropped ? kGameLoadDroppedMessage : kGameLoadRefusedMessage;
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

// The running level is torn down only once the whole file was read into memory and every section found whole;
// every reader then seeks its own section within those bytes, so their order in the file does not matter and a missing
// one is skipped. Messages posted while the game is rebuilt (a contract the save had completed long ago) belong to the
// save's past.
int CGame::LoadGame(const char* path)
{
    if (!path || !*path)
        return kGameLoadRefused;
    CFerroxTagFile file;
    if (file.Open(path, 1) != 0)
        return kGameLoadRefused;
    // Every reader then seeks within the bytes checked, whatever is renamed over the path meanwhile.
    if (!file.Hold(kGameFileMaxBytes)) {
        std::fprintf(stderr, "mall: %s is larger than any save or cannot be read; it is not loaded\n", path);
        return kGameLoadRefused;
    }
    const std::string problem = GameFileProblem(&file, m_pTechTree != nullptr);
    if (!problem.empty()) {
        std::fprintf(stderr, "mall: %s %s; it is not loaded\n", path, problem.c_str());
        file.Close();
        return kGameLoadRefused;
    }
    const GameCalendar calendar = {m_startYear, m_startMonth, m_dayCounter};
    if (m_pSaveParts)
        m_pSaveParts->LeaveLevel();
    int refused = 0;
    if (auto* levels = dynamic_cast<CLevelManager*>(m_pLevelManager.get()))
        refused += levels->LoadLevel(&file) ? 0 : 1;
    else if (m_pLevelManager)
        m_pLevelManager->Load(&file);
    if (m_pSaveParts && !m_pSaveParts->StartLevel()) {
        file.Close();
        AbandonLevel();
        return kGameLoadLevelFailed;
    }
    refused += ReadGameData(&file, *this, calendar);
    int dropped = 0;
    if (m_pSaveParts) {
        if (CFloorManager* floors = m_pSaveParts->GetFloorManager())
            floors->Load(&file);
        if (CConditions* conditions = m_pSaveParts->GetConditions())
            conditions->Load(&file);
        dropped = m_pSaveParts->LoadObjects(&file);
        if (CStatistics* loaded = m_pSaveParts->GetStatistics())
            loaded->Load(&file, &refused);
    }
    if (m_pTechTree)
        m_pTechTree->Load(&file);
    file.Close();
    if (dropped > 0 || refused > 0)
        std::fprintf(stderr, "mall: %s: %d objects and %d values of the save were left out\n", path, dropped, refused);
    return dropped > 0 || refused > 0 ? kGameLoadDropped : kGameLoadWhole;
}
