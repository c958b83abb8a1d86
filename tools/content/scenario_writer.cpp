// The scenarios of the three cities, written through the engine's line files.
#include "tools/content/scenario_writer.h"

#include <filesystem>

#include "engine/data/file.h"
#include "tools/content/level_writer.h"

namespace {

const char* const kLineEnd = "\r\n";
const char* const kFolder = "scenarios";
const char* const kExtension = ".fds";

// The figures and comparisons of the game's conditions.
enum : int {
    kBalance = 0,
    kDays = 1,
    kShoppersCome = 2,
    kRating = 3,
    kCriminals = 4
};
enum : int {
    kLess = 0,
    kGreater = 1
};

// A game day is a month of the calendar.
constexpr int kYear = 12;
// The accounts a new game opens with unless its scenario says otherwise.
constexpr int kFunds = 100000;
constexpr int kBonusUnit = 1000;
constexpr int kBaseCharge = 100;
// The category counters: one per contract category, none unlocked.
const char* const kNoCategories = "0,0,0,0";

struct ScenarioPlan {
    int city;
    std::vector<ContentCondition> win;
    std::vector<ContentCondition> lose;
    int funds;
    int bonusUnit;
    int baseCharge;
};

// London, then Berlin, then Paris, three each: the order of the descriptions in the text list. A mall takes in
// at most ten shoppers a game day (six at the starting rating) and keeps each for about five days, so its shops'
// places bound how fast they come: eight shops with their facilities win the first scenario in about twenty
// days. A shop nets its base charge a day, so a balance goal takes longer; it lies beyond what the yearly bonuses
// alone could bring before the days run out. Each goal is within about 36 days (half an hour at the top speed)
// of a first mall bringing three or four shoppers a day. Litter costs 3 rating points a cell, and a cleaner
// sweeps some ten cells a day while a busy room litters twenty or more, so the rating of a first mall kept by a
// few cleaners falls to about -450: a rating that loses lies well below that.
const ScenarioPlan kPlans[] = {
    {CONTENTCITYLONDON, {{kShoppersCome, kGreater, 100}}, {{kBalance, kLess, -20000}}, kFunds, kBonusUnit, kBaseCharge},
    {CONTENTCITYLONDON,
     {{kShoppersCome, kGreater, 120}},
     {{kDays, kGreater, 4 * kYear}, {kBalance, kLess, -20000}},
     120000,
     kBonusUnit,
     kBaseCharge},
    {CONTENTCITYLONDON,
     {{kShoppersCome, kGreater, 130}},
     {{kDays, kGreater, 5 * kYear}, {kCriminals, kGreater, 10}, {kBalance, kLess, -10000}},
     150000,
     kBonusUnit,
     kBaseCharge},
    {CONTENTCITYBERLIN,
     {{kShoppersCome, kGreater, 110}},
     {{kDays, kGreater, 4 * kYear}, {kRating, kLess, -700}, {kBalance, kLess, -20000}},
     120000,
     kBonusUnit,
     kBaseCharge},
    {CONTENTCITYBERLIN,
     {{kShoppersCome, kGreater, 120}},
     {{kDays, kGreater, 5 * kYear}, {kRating, kLess, -660}, {kBalance, kLess, -20000}},
     150000,
     kBonusUnit,
     kBaseCharge},
    {CONTENTCITYBERLIN,
     {{kShoppersCome, kGreater, 130}},
     {{kDays, kGreater, 6 * kYear}, {kRating, kLess, -620}, {kBalance, kLess, 0}},
     150000,
     kBonusUnit,
     kBaseCharge},
    {CONTENTCITYPARIS, {{kShoppersCome, kGreater, 100}}, {{kBalance, kLess, -10000}}, 70000, kBonusUnit, kBaseCharge},
    {CONTENTCITYPARIS,
     {{kShoppersCome, kGreater, 120}},
     {{kDays, kGreater, 6 * kYear}, {kBalance, kLess, -30000}},
     150000,
     kBonusUnit,
     kBaseCharge},
    {CONTENTCITYPARIS,
     {{kShoppersCome, kGreater, 130}},
     {{kDays, kGreater, 6 * kYear}, {kCriminals, kGreater, 10}, {kRating, kLess, -620}, {kBalance, kLess, -30000}},
     180000,
     kBonusUnit,
     kBaseCharge},
};

std::string ListLine(const std::vector<ContentCondition>& list)
{
    std::string line;
    for (const ContentCondition& condition : list) {
        if (!line.empty())
            line += ",";
        line += std::to_string(condition.variable) + "," + std::to_string(condition.comparison) + "," +
                std::to_string(condition.threshold);
    }
    return line + kLineEnd;
}

}  // namespace

std::vector<ContentScenario> ContentScenarios()
{
    std::vector<ContentScenario> scenarios;
    int numbers[CONTENTCITIES] = {};
    for (const ScenarioPlan& plan : kPlans) {
        const int number = ++numbers[plan.city];
        ContentScenario scenario;
        scenario.file = std::string(ContentLevelStem(plan.city)) + std::to_string(number) + kExtension;
        scenario.level = ContentLevelPath(plan.city);
        scenario.description = static_cast<int>(scenarios.size());
        scenario.win = plan.win;
        scenario.lose = plan.lose;
        scenario.funds = plan.funds;
        scenario.bonusUnit = plan.bonusUnit;
        scenario.baseCharge = plan.baseCharge;
        scenarios.push_back(scenario);
    }
    return scenarios;
}

std::string ContentScenarioText(const ContentScenario& scenario)
{
    std::string text = std::string("<LEVEL>") + kLineEnd + scenario.level + kLineEnd + "</LEVEL>" + kLineEnd +
                       "<CONDITIONS>" + kLineEnd + std::to_string(scenario.description) + kLineEnd +
                       ListLine(scenario.win) + ListLine(scenario.lose) + "</CONDITIONS>" + kLineEnd;
    // The accounts as a saved game writes them: starting funds, then every income and expense at 0, figure E, the
    // bonus count and unit, the base charge, the day's shops in debt, jobs done, shoppers come, takings and the
    // category counters.
    const int figures[] = {scenario.funds,      0, 0, 0, 0, 0, 0, 0, 0, 0, scenario.bonusUnit,
                           scenario.baseCharge, 0, 0, 0, 0};
    text += std::string("<STATISTICS>") + kLineEnd;
    for (int figure : figures)
        text += std::to_string(figure) + kLineEnd;
    return text + kNoCategories + kLineEnd + "</STATISTICS>" + kLineEnd;
}

bool ContentWriteScenarios(const std::string& out, std::string* detail)
{
    const std::filesystem::path folder = std::filesystem::path(out) / kFolder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        if (detail)
            *detail = "(cannot make " + folder.string() + ")";
        return false;
    }
    for (const ContentScenario& scenario : ContentScenarios()) {
        const std::string path = (folder / scenario.file).string();
        CFerroxFile file;
        bool written = file.Open(path.c_str(), 0) == 0;
        if (written)
            file.WriteLine(ContentScenarioText(scenario));
        if (!written || file.Close() != 0) {
            if (detail)
                *detail = "(" + path + ")";
            return false;
        }
    }
    return true;
}
