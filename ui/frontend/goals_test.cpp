// Scenario goals in words: every figure and comparison, the joins, the numbers of each language, and what is
// left out.
#include "ui/frontend/goals.h"

#include <gtest/gtest.h>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"

namespace {

// English and French; the French thousand is grouped by a no-break space.
const char kTexts[] = "<LANGUAGE>\n<goals>\n"
                      "<0>\nWin when %1.\nGagn\xC3\xA9 si %1.\n</0>\n"
                      "<1>\nLose when %1.\nPerdu si %1.\n</1>\n"
                      "<2>\nor\nou\n</2>\n"
                      "<3>\n1,000\n1\xC2\xA0"
                      "000\n</3>\n"
                      "<4>\nNo goal.\nAucun but.\n</4>\n"
                      "<5>\nbalance < %1\nsolde < %1\n</5>\n<6>\nbalance > %1\nsolde > %1\n</6>\n"
                      "<7>\nmonths < %1\nmois < %1\n</7>\n<8>\nmonths > %1\nmois > %1\n</8>\n"
                      "<9>\ncame < %1\nvenus < %1\n</9>\n<10>\ncame > %1\nvenus > %1\n</10>\n"
                      "<11>\nrating < %1%\nnote < %1 %\n</11>\n<12>\nrating > %1%\nnote > %1 %\n</12>\n"
                      "<13>\ncrooks < %1\nvoleurs < %1\n</13>\n<14>\ncrooks > %1\nvoleurs > %1\n</14>\n"
                      "<15>\nCount them in the panel.\nComptez-les au panneau.\n</15>\n"
                      "</goals>\n</LANGUAGE>\n";

class Goals : public ::testing::Test {
protected:
    void Load(int32_t language)
    {
        locale.Release();
        locale.SetLanguage(language);
        CFerroxTagTree tree;
        ASSERT_TRUE(tree.LoadFromMemory(kTexts, sizeof(kTexts) - 1));
        locale.LoadTextsFromTree(tree);
        list = locale.FindTextList(kGoalTextList);
        ASSERT_EQ(list, 0);
    }
    CLocale locale;
    int16_t list = -1;
};

TEST_F(Goals, EveryFigureAndComparisonHasItsPhraseAndConditionsJoinWithOr)
{
    Load(0);
    const std::vector<Condition> win = {{kConditionShoppersCome, kConditionGreater, 200},
                                        {kConditionBalance, kConditionGreater, 250000},
                                        {kConditionRating, kConditionGreater, 600},
                                        {kConditionDays, kConditionGreater, 60},
                                        {kConditionCriminals, kConditionLess, 3}};
    const std::vector<Condition> lose = {{kConditionBalance, kConditionLess, -20000},
                                         {kConditionRating, kConditionLess, -1000},
                                         {kConditionShoppersCome, kConditionLess, 5},
                                         {kConditionDays, kConditionLess, 1},
                                         {kConditionCriminals, kConditionGreater, 20}};
    EXPECT_EQ(GoalSentences(locale, list, win, lose),
              u"Win when came > 200 or balance > 250,000 or rating > 80% or months > 60 or crooks < 3.\n"
              u"Lose when balance < -20,000 or rating < 0% or came < 5 or months < 1 or crooks > 20.\n"
              u"Count them in the panel.");
}

// A count of the shoppers who came, to win or to lose, is followed by where to read it; other figures are not.
TEST_F(Goals, ShoppersWhoCameAreToldWhereToRead)
{
    Load(0);
    EXPECT_EQ(GoalSentences(locale, list, {}, {{kConditionShoppersCome, kConditionLess, 5}}),
              u"No goal.\nLose when came < 5.\nCount them in the panel.");
    EXPECT_EQ(GoalSentences(locale, list, {{kConditionBalance, kConditionGreater, 0}}, {}), u"Win when balance > 0.");
    EXPECT_EQ(GoalSentences(locale, list, {{kConditionShoppersCome, 7, 1}}, {}), u"No goal.");
}

TEST_F(Goals, NumbersAreWrittenTheLanguagesWay)
{
    Load(1);
    EXPECT_EQ(GoalSentences(locale, list, {{kConditionBalance, kConditionGreater, 1234567}}, {}),
              u"Gagn\u00E9 si solde > 1\u00A0234\u00A0567.");
    EXPECT_EQ(GoalNumber(-999, u"1,000"), u"-999");
    EXPECT_EQ(GoalNumber(-1000, u"1,000"), u"-1,000");
    EXPECT_EQ(GoalNumber(100000, u"1,000"), u"100,000");
    EXPECT_EQ(GoalNumber(100000, u"1000"), u"100000");  // nothing between the digits: ungrouped
    EXPECT_EQ(GoalNumber(0, u""), u"0");
}

TEST_F(Goals, ConditionsTheGameNeverTestsAreLeftOutAndNoGoalIsSaid)
{
    Load(0);
    const std::vector<Condition> odd = {{5, kConditionGreater, 1}, {kConditionBalance, 2, 1}, {-1, 0, 0}};
    EXPECT_EQ(GoalSentences(locale, list, odd, odd), u"No goal.");
    EXPECT_EQ(GoalSentences(locale, list, {}, {{kConditionBalance, kConditionLess, 0}}),
              u"No goal.\nLose when balance < 0.");
    EXPECT_EQ(GoalSentences(locale, FERROX_NO_TEXT_LIST, {}, {}), u"");
    EXPECT_EQ(GoalSentences(locale, 1, {}, {}), u"");
}

}  // namespace
