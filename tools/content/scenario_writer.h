// The scenarios of the three cities: "./scenarios/<city><n>.fds", each a "<LEVEL>" section naming the city's
// level, a "<CONDITIONS>" section whose first line is the description's index in the "scenarios" text list, then
// the win and the lose conditions, and a "<STATISTICS>" section that opens the accounts: the starting funds, the
// yearly bonus unit and the daily base charge every shop pays.
#pragma once

#include <string>
#include <vector>

// One condition as the game stores it: the figure, the comparison (0 less, 1 greater) and the threshold.
struct ContentCondition {
    int variable;
    int comparison;
    int threshold;
};

struct ContentScenario {
    std::string file;   // "<city stem><number>.fds", the name the city view looks for
    std::string level;  // the level's path as the settings name it
    int description;    // index in the "scenarios" text list
    std::vector<ContentCondition> win;
    std::vector<ContentCondition> lose;
    int funds;       // starting funds
    int bonusUnit;   // the yearly bonus is a multiple of it; at least 1000
    int baseCharge;  // each shop's daily charge before the player's adjustment
};

// Three scenarios a city, numbered from 1, described by entries 0 to 8 of the text list.
std::vector<ContentScenario> ContentScenarios();
// The file's text, every line ended by CR LF.
std::string ContentScenarioText(const ContentScenario& scenario);
// Writes every scenario under `out`/scenarios, each replacing its old copy only when written whole. Needs a
// started engine with a default file system.
bool ContentWriteScenarios(const std::string& out, std::string* detail);
