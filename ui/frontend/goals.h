// Scenario goals in words: a scenario's win and lose conditions told as sentences of the "goals" texts, with
// numbers written the way the language writes them, for the city canvas's scenario page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/shell/conditions.h"

class CLocale;

// The text list of the sentences, and its entries.
constexpr const char* kGoalTextList = "goals";
enum GoalText : uint16_t {
    GOAL_WIN = 0,        // the win line, "%1" the conditions
    GOAL_LOSE = 1,       // the lose line
    GOAL_OR = 2,         // the word between two conditions of one line
    GOAL_THOUSAND = 3,   // a thousand as the language writes it: its second character groups the digits
    GOAL_NONE = 4,       // the win line of a scenario without a goal
    GOAL_CONDITION = 5,  // then one per figure and comparison: GOAL_CONDITION + 2 x figure + comparison
    // After the ten phrases: where the count of shoppers who came is read, since the main bar shows only those
    // in the mall now.
    GOAL_SHOPPERS_WHERE = 15,
};

// A whole number with its digits grouped by threes with the separator `thousand` shows ("1,000": 250,000);
// ungrouped when `thousand` shows none.
std::u16string GoalNumber(int64_t value, const std::u16string& thousand);

// The conditions' sentences, one a line: the win line (or the no-goal line), then the lose line when there are
// lose conditions, then where to read the shoppers who came when a condition counts them. A condition the game never
// tests as written (an unknown figure or comparison) is left out; the rating is told as the share of the main bar's
// rating bar it stands for. Empty when the list is missing.
std::u16string GoalSentences(const CLocale& locale, int16_t list, const std::vector<Condition>& win,
                             const std::vector<Condition>& lose);
