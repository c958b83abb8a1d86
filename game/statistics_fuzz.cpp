// Fuzz target of the "<STATISTICS>" section: any file loads or is refused whole, the reckoning runs over what was
// read, and what is saved loads into a fresh book as the same section.
#include <cstdlib>
#include <string>

#include "engine/file.h"
#include "engine/fuzz_files_local.h"
#include "engine/tagtree.h"
#include "engine/techtree.h"
#include "game/game.h"
#include "game/statistics.h"

namespace {

const char kTechnologies[] = "<TECHNOLOGIES>\n<a>\n<x>\n1000\n</x>\n</a>\n<b>\n<y>\n2000\n</y>\n</b>\n</TECHNOLOGIES>\n";
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
    CFerroxFile file;
    if (file.Open(g_output.c_str(), 0) != 0)
        std::abort();
    file.WriteLine("<GAME_DATA>\r\n1\r\n");
    if (!stats.Save(&file) || file.Close() != 0)
        std::abort();
    CFerroxTagFile saved;
    std::string text;
    if (saved.Open(g_output.c_str(), 1) != 0)
        std::abort();
    for (std::string line; !saved.IsEof();)
        text += saved.ReadLine(line) + "\n";
    saved.Close();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!FerroxFuzzFilesStart())
        std::abort();
    g_input = FerroxFuzzPath("ferrox_statistics_in");
    g_output = FerroxFuzzPath("ferrox_statistics_out");
    CGame* game = CGame::Instance(nullptr);
    game->SetNotices(&g_notices);
    game->m_pTechTree = new CFerroxTechTree();
    CFerroxTagTree data;
    data.LoadFromMemory(kTechnologies, sizeof(kTechnologies) - 1);
    game->m_pTechTree->LoadTechnologies(&data, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FerroxFuzzWrite(g_input, data, size);
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
    CStatistics again;
    CFerroxTagFile saved;
    if (saved.Open(g_output.c_str(), 1) != 0 || again.Load(&saved) != 1)
        std::abort();
    saved.Close();
    if (Save(again) != first)
        std::abort();
    return 0;
}
