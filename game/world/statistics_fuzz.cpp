// Fuzz target of the "<STATISTICS>" section: any file loads or is refused whole, the reckoning runs over what was
// read, and what is saved loads into a fresh book as the same section.
#include <cstdlib>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/shell/game.h"
#include "game/world/statistics.h"

namespace {

const char kTechnologies[] =
    "<TECHNOLOGIES>\n<a>\n<x>\n1000\n</x>\n</a>\n<b>\n<y>\n2000\n</y>\n</b>\n</TECHNOLOGIES>\n";
constexpr size_t kCategories = 2;
// Twelfth day, so the whole reckoning runs with the loaded figures.
constexpr uint16_t kYearDay = 12;

std::string g_input;
std::string g_output;

class SilentNotices : public CGameNotices {
public:
    void QueueMessage(int16_t) override {}
    void AskConfirmation(GameConfirmCallback, uint16_t, int16_t, int32_t, const char*) override {}
    void PlaySample(int32_t, int32_t) override {}
};
SilentNotices g_notices;

std::string Save(CStatistics& stats)
{
    return FerroxFuzzSavedText(g_output, "<GAME_DATA>\r\n1\r\n", [&](CFerroxFile* file) { return stats.Save(file); });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_statistics_in");
    g_output = GxFuzzScratchPath("ferrox_statistics_out");
    CGame* game = CGame::Instance(nullptr);
    game->SetNotices(&g_notices);
    game->m_pTechTree = std::make_unique<CFerroxTechTree>();
    CFerroxTagTree data;
    data.LoadFromMemory(kTechnologies, sizeof(kTechnologies) - 1);
    game->m_pTechTree->LoadTechnologies(&data, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CStatistics stats;
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    const int loaded = stats.Load(&file);
    file.Close();
    if (stats.m_categories.size() < kCategories)
        std::abort();
    if (!loaded) {
        CStatistics fresh;
        if (Save(stats) != Save(fresh))
            std::abort();
    }
    g_pGame->m_dayCounter = kYearDay;
    g_pGame->m_newDay = 1;
    stats.Update();
    g_pGame->m_newDay = 0;
    if (stats.m_rating < kRatingMin || stats.m_rating > kRatingMax)
        std::abort();

    const std::string first = Save(stats);
    FerroxFuzzCheckReload<CStatistics>(g_output, first, Save);
    return 0;
}
