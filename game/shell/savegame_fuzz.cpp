// Fuzz target of whole saved games: any file, and every cut of a small one, is refused with nothing changed or
// loads with the calendar taken whole or kept; what is then saved loads and saves again as the same file.
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/shell/savegame.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"
#include "game/world/world.h"

namespace {

const char kTechnologies[] =
    "<TECHNOLOGIES>\n<a>\n<x>\n1000\n</x>\n</a>\n<b>\n<y>\n2000\n</y>\n</b>\n</TECHNOLOGIES>\n";
const char kSetup[] = "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<1>\n./models/levels/Berlin/"
                      "berlin.gxs\n</1>\n<total>\n1\n</total>\n</Level_Data>\n";
// Inputs up to this size are also loaded cut at every byte.
constexpr size_t kCutLimit = 320;
constexpr uint16_t kYear = 1999;
constexpr uint16_t kMonth = 12;
constexpr uint16_t kDay = 77;

std::string g_input;
std::string g_cut;
std::string g_output;
std::string g_again;
CFerroxTagTree g_setup;

class SilentNotices : public CGameNotices {
public:
    void QueueMessage(int16_t) override {}
    void AskConfirmation(GameConfirmCallback, uint16_t, int16_t, int32_t, const char*) override {}
    void PlaySample(int32_t, int32_t) override {}
};
SilentNotices g_notices;

// The game's parts as a torn-down level leaves them: no conditions, fresh statistics, the tree reset.
class FuzzParts : public CGameSaveParts {
public:
    void LeaveLevel() override
    {
        left = true;
        conditions.Reset();
        statistics.reset();
        statistics = std::make_unique<CStatistics>();
        g_pGame->m_pTechTree->Reset();
    }
    int StartLevel() override { return 1; }
    CConditions* GetConditions() override { return &conditions; }
    CFloorManager* GetFloorManager() override { return nullptr; }
    CStatistics* GetStatistics() override { return statistics.get(); }
    void SaveObjects(CFerroxFile* file) override
    {
        file->WriteLine("<OBJECTS>\r\n</OBJECTS>\r\n");
        statistics->Save(file);
    }
    int LoadObjects(CFerroxTagFile*) override { return 0; }

    bool left = false;
    CConditions conditions;
    std::unique_ptr<CStatistics> statistics = std::make_unique<CStatistics>();
};
FuzzParts* g_parts;

bool CalendarIs(uint16_t year, uint16_t month, uint16_t day)
{
    return g_pGame->m_startYear == year && g_pGame->m_startMonth == month && g_pGame->m_dayCounter == day;
}

// Loads the file into a game whose calendar is the marker one; checks what a refusal leaves. Returns the result.
int LoadChecked(const std::string& path)
{
    g_pGame->m_startYear = kYear;
    g_pGame->m_startMonth = kMonth;
    g_pGame->m_dayCounter = kDay;
    g_parts->left = false;
    const int loaded = g_pGame->LoadGame(path.c_str());
    // A level the list does not name is a refused value: the load is partial, never a failed level start.
    if (loaded != kGameLoadRefused && loaded != kGameLoadWhole && loaded != kGameLoadDropped)
        std::abort();
    if (!loaded && (g_parts->left || !CalendarIs(kYear, kMonth, kDay)))
        std::abort();
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_savegame_in");
    g_cut = GxFuzzScratchPath("ferrox_savegame_cut");
    g_output = GxFuzzScratchPath("ferrox_savegame_out");
    g_again = GxFuzzScratchPath("ferrox_savegame_again");
    g_setup.LoadFromMemory(kSetup, sizeof(kSetup) - 1);
    g_pFerroxSetupTree = &g_setup;
    CGame* game = CGame::Instance(nullptr);
    game->SetNotices(&g_notices);
    game->m_pTechTree = std::make_unique<CFerroxTechTree>();
    CFerroxTagTree data;
    data.LoadFromMemory(kTechnologies, sizeof(kTechnologies) - 1);
    game->m_pTechTree->LoadTechnologies(&data, nullptr);
    game->m_pLevelManager = std::make_unique<CLevelManager>();
    auto* level = static_cast<CLevelManager*>(game->m_pLevelManager.get());
    auto world = std::make_unique<CWorld>();
    world->SetName("./models/levels/Berlin/berlin.gxs");
    level->SetWorld(std::move(world));
    g_parts = new FuzzParts();
    game->SetSaveParts(g_parts);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size <= kCutLimit) {
        for (size_t cut = 0; cut < size; cut++) {
            GxFuzzScratchWrite(g_cut, data, cut);
            LoadChecked(g_cut);
        }
    }
    GxFuzzScratchWrite(g_input, data, size);
    LoadChecked(g_input);

    // Whatever was taken saves, and the save comes back as itself.
    if (g_pGame->SaveGame(g_output.c_str()) != 1 || LoadChecked(g_output) != kGameLoadWhole)
        std::abort();
    if (g_pGame->SaveGame(g_again.c_str()) != 1)
        std::abort();
    CFerroxFile first;
    CFerroxFile again;
    if (first.Open(g_output.c_str(), 1) != 0 || again.Open(g_again.c_str(), 1) != 0)
        std::abort();
    std::string a;
    std::string b;
    while (!first.IsEof() || !again.IsEof()) {
        if (first.ReadLine(a) != again.ReadLine(b))
            std::abort();
    }
    first.Close();
    again.Close();
    return 0;
}
