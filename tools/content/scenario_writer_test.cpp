// The scenarios: one file per city view and number, each described by an entry of the "scenarios" text list, read
// back by the city view, the level manager, the conditions and the statistics as written; none decided as it
// opens nor won by waiting; every ending with its message and sound.
#include "tools/content/scenario_writer.h"

#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/shell/conditions.h"
#include "game/shell/game.h"
#include "game/shell/savegame.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"
#include "ui/frontend/citycanvas.h"

namespace {

class Scenarios : public FerroxTestFiles {
protected:
    void TearDown() override
    {
        g_pFerroxSetupTree = nullptr;
        FerroxTestFiles::TearDown();
    }
    static std::string SourceText(const char* name)
    {
        const char* source = std::getenv("MALL_SOURCE_DIR");
        return ReadFile(std::string(source ? source : ".") + "/tools/content/text/" + name);
    }
};

TEST_F(Scenarios, EveryCityViewFindsItsScenariosAndTheyReadBackAsWritten)
{
    ASSERT_TRUE(ContentWriteScenarios(Path("root"), nullptr));
    CFerroxTagTree setup;
    const std::string setupText = SourceText("setup.xml");
    ASSERT_TRUE(setup.LoadFromMemory(setupText.data(), setupText.size()));
    g_pFerroxSetupTree = &setup;
    CFerroxTagTree language;
    const std::string languageText = SourceText("language.xml");
    ASSERT_TRUE(language.LoadFromMemory(languageText.data(), languageText.size()));

    // The level numbers the shipped settings give the cities.
    const std::map<std::string, int> levelOf = {{"London/london", 0}, {"Berlin/berlin", 1}, {"Paris/paris", 2}};
    std::set<int> descriptions;
    const std::vector<ContentScenario> scenarios = ContentScenarios();
    for (const char* city : {"London/london", "Berlin/berlin", "Paris/paris"}) {
        for (int number = 1; number <= 3; number++) {
            // The name the city view forms from its picture.
            const std::string picture = std::string("./images/scenario/") + city + ".png";
            const std::string name = CityScenarioPath(picture.c_str(), number).substr(2);
            const std::string path = Path("root/" + name);
            ASSERT_TRUE(Exists(path)) << name;
            int16_t description = -1;
            ASSERT_TRUE(CityReadDescription(path.c_str(), &description)) << name;
            descriptions.insert(description);
            ASSERT_TRUE(language.FindNode("scenarios", 1));
            EXPECT_TRUE(language.FindChild(std::to_string(description).c_str())) << name;

            CFerroxTagFile file;
            ASSERT_EQ(0, file.Open(path.c_str(), 1));
            EXPECT_EQ(1, GameFileHoldsSection(&file));
            CLevelManager level;
            level.SetLevel(-1);
            level.Load(&file);
            EXPECT_EQ(levelOf.at(city), level.GetLevel()) << name;
            CConditions conditions;
            ASSERT_EQ(1, conditions.Load(&file)) << name;
            // The game opens the accounts from the file, and takes it whole.
            CStatistics statistics;
            statistics.Init();
            ASSERT_EQ(1, statistics.Load(&file)) << name;
            file.Close();
            CFerroxTagFile whole;
            ASSERT_EQ(0, whole.Open(path.c_str(), 1));
            EXPECT_EQ("", GameFileProblem(&whole, false)) << name;
            EXPECT_EQ(0, GameFileRefusedValues(&whole)) << name;
            whole.Close();
            EXPECT_EQ(description, conditions.m_value);
            EXPECT_FALSE(conditions.GetWin().empty()) << name;
            EXPECT_FALSE(conditions.GetLose().empty()) << name;
            const ContentScenario& written = scenarios.at(static_cast<size_t>(description));
            EXPECT_EQ(static_cast<uint32_t>(written.funds), statistics.m_startingFunds) << name;
            EXPECT_EQ(written.baseCharge, statistics.m_baseCharge) << name;
            // The bonus unit divides the yearly draw; one counter per contract category.
            EXPECT_GE(statistics.m_bonusUnit, 1000) << name;
            EXPECT_EQ(4u, statistics.m_categories.size()) << name;
        }
    }
    EXPECT_EQ(9u, descriptions.size());
}

// A scenario is decided by play: its conditions hold neither way on the accounts it opens with, and a mall left
// empty never wins, even if every yearly bonus came at its highest before the months allowed run out.
TEST_F(Scenarios, NoScenarioIsDecidedAsItOpensNorWonByWaiting)
{
    constexpr int kYear = 12;
    for (const ContentScenario& scenario : ContentScenarios()) {
        CStatistics statistics;
        statistics.Init();
        statistics.m_startingFunds = static_cast<uint32_t>(scenario.funds);
        statistics.m_bonusUnit = static_cast<uint16_t>(scenario.bonusUnit);
        statistics.Update();
        CConditions conditions;
        conditions.SetStatistics(&statistics);
        const std::string path = Path(scenario.file);
        WriteFile(path, ContentScenarioText(scenario));
        CFerroxTagFile file;
        ASSERT_EQ(0, file.Open(path.c_str(), 1));
        ASSERT_EQ(1, conditions.Load(&file));
        file.Close();
        EXPECT_EQ(-1, conditions.TestWin()) << scenario.file;
        EXPECT_EQ(-1, conditions.TestLose()) << scenario.file;

        int days = -1;
        for (const ContentCondition& lose : scenario.lose) {
            if (lose.variable == kConditionDays && lose.comparison == kConditionGreater)
                days = lose.threshold;
        }
        // The yearly draw's highest multiple of the unit at the starting rating, one draw each twelfth day.
        const int highestDraw = (statistics.m_rating + 1000) / 200 + 1;
        const long idle = scenario.funds + static_cast<long>(days / kYear) * highestDraw * scenario.bonusUnit;
        for (const ContentCondition& win : scenario.win) {
            EXPECT_EQ(kConditionGreater, win.comparison) << scenario.file;
            EXPECT_NE(kConditionDays, win.variable) << scenario.file;
            if (win.variable == kConditionShoppersCome)
                EXPECT_GE(win.threshold, 0) << scenario.file;
            if (win.variable == kConditionBalance) {
                ASSERT_GE(days, 0) << scenario.file << ": a balance goal without a day limit";
                EXPECT_GE(win.threshold, idle) << scenario.file;
            }
        }
    }
}

// The end-game message of a win is the first of its list and each lost figure has its own; the effects the game
// plays for a win and a loss are the win and lose sounds.
TEST_F(Scenarios, EveryEndingHasItsMessageAndSound)
{
    CFerroxTagTree language;
    const std::string languageText = SourceText("language.xml");
    ASSERT_TRUE(language.LoadFromMemory(languageText.data(), languageText.size()));
    ASSERT_TRUE(language.FindNode("endgamemessages", 1));
    ASSERT_TRUE(language.FindChild("0"));
    ASSERT_NE(nullptr, language.GetValue(0));
    EXPECT_EQ(0, std::string(language.GetValue(0)).find("Congratulations"));
    for (const ContentScenario& scenario : ContentScenarios()) {
        for (const ContentCondition& lose : scenario.lose) {
            ASSERT_TRUE(language.FindNode("endgamemessages", 1));
            EXPECT_TRUE(language.FindChild(std::to_string(lose.variable + 1).c_str())) << scenario.file;
        }
    }

    CFerroxTagTree data;
    const std::string dataText = SourceText("data.xml");
    ASSERT_TRUE(data.LoadFromMemory(dataText.data(), dataText.size()));
    ASSERT_TRUE(data.FindNode("SOUND", 1));
    ASSERT_TRUE(data.FindChild("SFX"));
    ASSERT_NE(nullptr, data.GetValue(kGameWinSample));
    ASSERT_NE(nullptr, data.GetValue(kGameLoseSample));
    EXPECT_EQ(0, std::string(data.GetValue(kGameWinSample)).find("/sounds/win.wav"));
    EXPECT_EQ(0, std::string(data.GetValue(kGameLoseSample)).find("/sounds/lose.wav"));
}

TEST_F(Scenarios, AFailedWriteKeepsTheOldScenario)
{
    ASSERT_TRUE(ContentWriteScenarios(Path("root"), nullptr));
    const std::string path = Path("root/scenarios/london1.fds");
    WriteFile(path, "old");
    {
        FerroxFailWritesAfter failing(0);
        std::string detail;
        EXPECT_FALSE(ContentWriteScenarios(Path("root"), &detail));
        EXPECT_NE(std::string::npos, detail.find("london1.fds"));
    }
    EXPECT_EQ("old", ReadFile(path));
}

}  // namespace
