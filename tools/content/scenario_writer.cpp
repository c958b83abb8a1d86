// The first scenarios of the three cities, written through the engine's line files.
#include "tools/content/scenario_writer.h"

#include <filesystem>

#include "engine/data/file.h"
#include "tools/content/level_writer.h"

namespace {

const char* const kLineEnd = "\r\n";
const char* const kFolder = "scenarios";
const char* const kExtension = ".fds";
constexpr int kScenariosPerCity = 3;

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

struct CityScenarios {
    int city;
    std::vector<ContentCondition> win[kScenariosPerCity];
    std::vector<ContentCondition> lose[kScenariosPerCity];
};

// London, then Berlin, then Paris: the order of the descriptions in the text list.
const CityScenarios kCities[] = {
    {CONTENTCITYLONDON,
     {{{kShoppersCome, kGreater, 200}}, {{kBalance, kGreater, 250000}}, {{kRating, kGreater, 600}}},
     {{{kBalance, kLess, -20000}},
      {{kDays, kGreater, kYear}, {kBalance, kLess, -20000}},
      {{kCriminals, kGreater, 20}}}},
    {CONTENTCITYBERLIN,
     {{{kBalance, kGreater, 200000}}, {{kShoppersCome, kGreater, 1000}}, {{kDays, kGreater, 5 * kYear}}},
     {{{kBalance, kLess, -20000}}, {{kRating, kLess, -200}}, {{kBalance, kLess, 0}}}},
    {CONTENTCITYPARIS,
     {{{kShoppersCome, kGreater, 300}}, {{kShoppersCome, kGreater, 2000}}, {{kBalance, kGreater, 500000}}},
     {{{kBalance, kLess, -10000}}, {{kBalance, kLess, -30000}}, {{kCriminals, kGreater, 10}, {kRating, kLess, 0}}}},
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
    for (const CityScenarios& city : kCities) {
        for (int n = 0; n < kScenariosPerCity; n++) {
            ContentScenario scenario;
            scenario.file = std::string(ContentLevelStem(city.city)) + std::to_string(n + 1) + kExtension;
            scenario.level = ContentLevelPath(city.city);
            scenario.description = static_cast<int>(scenarios.size());
            scenario.win = city.win[n];
            scenario.lose = city.lose[n];
            scenarios.push_back(scenario);
        }
    }
    return scenarios;
}

std::string ContentScenarioText(const ContentScenario& scenario)
{
    return std::string("<LEVEL>") + kLineEnd + scenario.level + kLineEnd + "</LEVEL>" + kLineEnd + "<CONDITIONS>" +
           kLineEnd + std::to_string(scenario.description) + kLineEnd + ListLine(scenario.win) +
           ListLine(scenario.lose) + "</CONDITIONS>" + kLineEnd;
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
