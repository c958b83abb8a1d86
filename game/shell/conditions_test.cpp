// Scenario conditions: the figures each variable reads, list lines, and the saved section.
#include "game/shell/conditions.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/data/file.h"
#include "game/shell/game_testing.h"
#include "game/world/statistics.h"

namespace {

class Conditions : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        stats.Init();
        conditions.SetStatistics(&stats);
    }
    int Load(const std::string& lists)
    {
        const std::string path = Path("scenario.fds");
        WriteFile(path, "<GAME_DATA>\r\n1\r\n</GAME_DATA>\r\n<CONDITIONS>\r\n" + lists + "</CONDITIONS>\r\n");
        CFerroxTagFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 1));
        const int result = conditions.Load(&file);
        file.Close();
        return result;
    }
    std::string Save()
    {
        const std::string path = Path("save.fds");
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 0));
        EXPECT_EQ(1, conditions.Save(&file));
        EXPECT_EQ(0, file.Close());
        return ReadFile(path);
    }
    // The balance the conditions read follows the accounts at the next frame.
    void SetBalance(int32_t balance)
    {
        stats.m_startingFunds = balance > 0 ? static_cast<uint32_t>(balance) : 0;
        stats.m_buildingCosts = balance < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(balance)) : 0;
        stats.Update();
    }

    CStatistics stats;
    CConditions conditions;
};

TEST_F(Conditions, ShoppersAboveAThresholdWin)
{
    ASSERT_EQ(1, Load("9\r\n2,1,500\r\n\r\n"));
    EXPECT_EQ(9, conditions.m_value);
    stats.m_shoppersCome = 500;
    EXPECT_EQ(-1, conditions.TestWin());
    stats.m_shoppersCome = 501;
    EXPECT_EQ(2, conditions.TestWin());
    EXPECT_EQ(-1, conditions.TestLose());
}

TEST_F(Conditions, LoseListTestsInOrderWithStrictComparisons)
{
    ASSERT_EQ(1, Load("0\r\n\r\n0,0,-20000,3,0,-500\r\n"));
    ASSERT_EQ(2u, conditions.GetLose().size());
    SetBalance(-20000);
    stats.m_baseRating = -500;
    stats.Update();
    EXPECT_EQ(-1, conditions.TestLose());  // equal figures hold neither way
    SetBalance(-20001);
    EXPECT_EQ(0, conditions.TestLose());
    stats.m_baseRating = -501;
    stats.Update();
    EXPECT_EQ(0, conditions.TestLose());  // the first in list order
    SetBalance(5);
    EXPECT_EQ(3, conditions.TestLose());
    EXPECT_EQ(-1, conditions.TestWin());
}

TEST_F(Conditions, DaysCriminalsAndUnknownsRead)
{
    // Seven integers make two conditions; "x" reads 0; unknown variable 9 reads 0; comparison 2 never holds.
    ASSERT_EQ(1, Load("0\r\n1,1,x,,4,1,2,7\r\n9,0,1,3,2,-5000\r\n"));
    ASSERT_EQ(2u, conditions.GetWin().size());
    EXPECT_EQ(0, conditions.GetWin()[0].threshold);
    EXPECT_EQ(-1, conditions.TestWin());
    game->m_dayCounter = 1;
    EXPECT_EQ(1, conditions.TestWin());
    game->m_dayCounter = 0;
    stats.m_criminalsPresent = 3;
    EXPECT_EQ(4, conditions.TestWin());
    // Variable 9 reads 0 < 1 and holds; comparison 2 on the rating never does.
    EXPECT_EQ(9, conditions.TestLose());
}

TEST_F(Conditions, SectionWritesAndLoadAppends)
{
    EXPECT_EQ("<CONDITIONS>\r\n0\r\n\r\n\r\n</CONDITIONS>\r\n", Save());
    ASSERT_EQ(1, Load("3\r\n2,1,500,1,1,-7\r\n0,0,-20000\r\n"));
    ASSERT_EQ(1, Load("4\r\n\r\n3,0,-500\r\n"));
    EXPECT_EQ(4, conditions.m_value);
    EXPECT_EQ(2u, conditions.GetWin().size());
    EXPECT_EQ("<CONDITIONS>\r\n4\r\n2,1,500,1,1,-7\r\n0,0,-20000,3,0,-500\r\n</CONDITIONS>\r\n", Save());

    // A section cut short appends what it holds; a value that is no number is kept.
    WriteFile(Path("cut.fds"), "<CONDITIONS>\r\nfive\r\n2,1,1\r\n");
    CFerroxTagFile file;
    ASSERT_EQ(0, file.Open(Path("cut.fds").c_str(), 1));
    EXPECT_EQ(1, conditions.Load(&file));
    file.Close();
    EXPECT_EQ(4, conditions.m_value);
    EXPECT_EQ(3u, conditions.GetWin().size());
    EXPECT_EQ(2u, conditions.GetLose().size());

    conditions.Reset();
    EXPECT_TRUE(conditions.GetWin().empty());
    EXPECT_TRUE(conditions.GetLose().empty());
    EXPECT_EQ(-1, conditions.TestWin());
    EXPECT_EQ(-1, conditions.TestLose());
}

}  // namespace
