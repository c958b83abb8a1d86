// The random player's action lists: what a seed makes, written and read back, and the lines refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playtest/randomplayer_actions.h"
#include "playtest/randomplayer_rules.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kMade = 2000;

std::vector<RandomAction> Made(uint32_t seed)
{
    CRandomActionMaker maker(seed, kWidth, kHeight);
    std::vector<RandomAction> actions;
    for (int i = 0; i < kMade; i++)
        actions.push_back(maker.Next());
    return actions;
}

}  // namespace

// A seed makes the same actions every time, of every kind but a saved frame, on the screen; written as a list they read back the
// same, which is what a replay plays.
TEST(RandomPlayerActions, ASeedsActionsRepeatAndReadBackFromTheirList)
{
    const std::vector<RandomAction> actions = Made(7);
    std::vector<bool> kinds(RANDOM_ACTION_KINDS, false);
    std::string list = "# seed 7\n\n";
    for (const RandomAction& action : actions) {
        kinds[action.kind] = true;
        if (action.kind == RANDOM_CLICK || action.kind == RANDOM_DRAG) {
            EXPECT_TRUE(action.a >= 0 && action.a < kWidth && action.b >= 0 && action.b < kHeight);
        }
        list += RandomActionText(action) + "\r\n";
    }
    for (int kind = 0; kind < RANDOM_ACTION_KINDS; kind++)
        EXPECT_EQ(kind != RANDOM_SHOT, kinds[kind]) << "kind " << kind << " (a saved frame only in lists)";
    std::vector<RandomAction> read;
    std::string error;
    ASSERT_TRUE(RandomActionsParse(list, &read, &error)) << error;
    ASSERT_EQ(actions.size(), read.size());
    const std::vector<RandomAction> again = Made(7);
    const std::vector<RandomAction> other = Made(8);
    bool differs = false;
    for (size_t i = 0; i < actions.size(); i++) {
        EXPECT_EQ(RandomActionText(actions[i]), RandomActionText(read[i]));
        EXPECT_EQ(RandomActionText(actions[i]), RandomActionText(again[i]));
        differs = differs || RandomActionText(actions[i]) != RandomActionText(other[i]);
    }
    EXPECT_TRUE(differs);
}

// A list with one bad line is refused whole, naming the line; so is a rule name the checks do not know.
TEST(RandomPlayerActions, ABadLineOrRuleNameIsRefusedWhole)
{
    for (const char* bad : {"click 1 2 3 4\njump 1 2 3 4\n", "click 1 2 3 4\nclick 1 2 3\n", "click 1 2 3 4 5\n",
                            "click 1 2 3 4\nclick 1 2 3 999999\n", "click 1 2 x 4\n"}) {
        std::vector<RandomAction> read;
        std::string error;
        EXPECT_FALSE(RandomActionsParse(bad, &read, &error)) << bad;
        EXPECT_NE(std::string::npos, error.find("line ")) << error;
        EXPECT_TRUE(read.empty());
    }
    CMallRules rules;
    std::string unknown;
    EXPECT_TRUE(rules.Skip("lod,saves", &unknown));
    EXPECT_FALSE(rules.Skip("lod,walls", &unknown));
    EXPECT_EQ("walls", unknown);
}
