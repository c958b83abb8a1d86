// Fuzz target of the "<CONDITIONS>" section: any file loads or is refused whole, both tests run over what was
// read, and what is saved loads into fresh conditions as the same section.
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/world/statistics.h"

namespace {

std::string g_input;
std::string g_output;

std::string Save(CConditions& conditions)
{
    return FerroxFuzzSavedText(g_output, nullptr, [&](CFerroxFile* file) { return conditions.Save(file); });
}

// A test result is -1 or the variable of a condition of its list.
bool Fired(int32_t result, const std::vector<Condition>& list)
{
    if (result == -1)
        return true;
    for (const Condition& condition : list) {
        if (condition.variable == result)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_conditions_in");
    g_output = GxFuzzScratchPath("ferrox_conditions_out");
    CGame::Instance(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CStatistics stats;
    stats.Update();
    CConditions conditions;
    conditions.SetStatistics(&stats);
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    const int loaded = conditions.Load(&file);
    // A second load appends the same conditions again.
    const size_t wins = conditions.GetWin().size();
    if (loaded && (conditions.Load(&file) != 1 || conditions.GetWin().size() != 2 * wins))
        std::abort();
    file.Close();
    if (!loaded && (!conditions.GetWin().empty() || !conditions.GetLose().empty()))
        std::abort();
    if (!Fired(conditions.TestWin(), conditions.GetWin()) || !Fired(conditions.TestLose(), conditions.GetLose()))
        std::abort();

    const std::string first = Save(conditions);
    FerroxFuzzCheckReload<CConditions>(g_output, first, Save);
    return 0;
}
