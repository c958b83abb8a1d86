// Scenario conditions: reading, testing and writing the win and lose lists.
#include "game/shell/conditions.h"

#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "game/shell/game.h"
#include "game/world/statistics.h"

namespace {

constexpr const char* kSectionTag = "<CONDITIONS>";
constexpr const char* kSectionEnd = "</CONDITIONS>";
constexpr const char* kLineEnd = "\r\n";
constexpr char kListSeparator = ',';
// Integers of one condition on a list line: variable, comparison, threshold.
constexpr size_t kIntegersPerCondition = 3;

// Appends the conditions of the next line; a trailing group of fewer than three integers is ignored.
void ReadList(CFerroxFile* file, std::vector<Condition>& out)
{
    std::vector<int> integers;
    ReadIntList(file, integers, kListSeparator);
    for (size_t i = 0; i + kIntegersPerCondition <= integers.size(); i += kIntegersPerCondition)
        out.push_back(Condition{integers[i], integers[i + 1], integers[i + 2]});
}

void WriteList(CFerroxFile* file, const std::vector<Condition>& conditions)
{
    std::string line;
    for (const Condition& condition : conditions) {
        for (int32_t integer : {condition.variable, condition.comparison, condition.threshold}) {
            if (!line.empty())
                line += kListSeparator;
            line += ToString<int>(integer);
        }
    }
    file->WriteLine(line + kLineEnd);
}

}  // namespace

CConditions::CConditions() : m_pStatistics(nullptr) { Init(); }

void CConditions::Reset()
{
    m_win.clear();
    m_lose.clear();
}

int32_t CConditions::TestWin() { return Test(m_win); }

int32_t CConditions::TestLose() { return Test(m_lose); }

int32_t CConditions::Test(const std::vector<Condition>& conditions) const
{
    for (const Condition& condition : conditions) {
        const int32_t figure = Figure(condition.variable);
        if ((condition.comparison == kConditionLess && figure < condition.threshold) ||
            (condition.comparison == kConditionGreater && figure > condition.threshold))
            return condition.variable;
    }
    return kConditionNone;
}

// The figure a variable names, as a signed integer; an unknown variable reads 0.
int32_t CConditions::Figure(int32_t variable) const
{
    if (variable == kConditionDays)
        return g_pGame ? g_pGame->m_dayCounter : 0;
    if (!m_pStatistics)
        return 0;
    switch (variable) {
    case kConditionBalance:
        return m_pStatistics->GetBalance();
    case kConditionShoppersCome:
        return m_pStatistics->m_shoppersCome;
    case kConditionRating:
        return m_pStatistics->m_rating;
    case kConditionCriminals:
        // Read as unsigned, as the figure is shown.
        return static_cast<uint16_t>(m_pStatistics->m_criminalsPresent);
    default:
        return 0;
    }
}

int CConditions::Load(CFerroxTagFile* file)
{
    if (!file || file->SeekTag(kSectionTag) != 0)
        return 0;
    std::string line;
    file->ReadLine(line);
    FromString<unsigned short>(line, m_value);
    ReadList(file, m_win);
    ReadList(file, m_lose);
    return 1;
}

int CConditions::Save(CFerroxFile* file)
{
    if (!file)
        return 0;
    file->WriteLine(std::string(kSectionTag) + kLineEnd);
    file->WriteLine(ToString<unsigned short>(m_value) + kLineEnd);
    WriteList(file, m_win);
    WriteList(file, m_lose);
    file->WriteLine(std::string(kSectionEnd) + kLineEnd);
    return file->HasWriteFailed() ? 0 : 1;
}
