// Statistics: defaults, the daily and twelfth-day reckoning, the registers and the saved section.
#include "game/world/statistics.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/file.h"
#include "engine/data/random.h"
#include "game/shell/game_testing.h"

namespace {

using Messages = std::vector<int16_t>;

// Draws of the generator after FerroxSrand(kSeed): r1 = 61, r2 = 17422.
constexpr uint32_t kSeed = 7;

class Statistics : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        stats.Init();
    }
    // The twelfth-day draw at a rating: returns the bonus count.
    uint16_t YearAtRating(int16_t rating, uint16_t bonusUnit = 1000)
    {
        stats.m_baseRating = rating;
        stats.m_bonusUnit = bonusUnit;
        EndDay(12);
        FerroxSrand(kSeed);
        stats.Update();
        return stats.m_bonusCount;
    }
    std::string SaveSection(CStatistics& from)
    {
        const std::string path = Path("save.fds");
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 0));
        file.WriteLine("<GAME_DATA>\r\n1\r\n");
        EXPECT_EQ(1, from.Save(&file));
        file.WriteLine("<TECHTREE>\r\n\r\n\r\n</TECHTREE>\r\n");
        EXPECT_EQ(0, file.Close());
        return ReadFile(path);
    }
    int LoadFrom(CStatistics& into, const std::string& text)
    {
        const std::string path = Path("load.fds");
        WriteFile(path, text);
        CFerroxTagFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 1));
        const int result = into.Load(&file);
        file.Close();
        return result;
    }

    CStatistics stats;
};

TEST_F(Statistics, InitGivesTheDefaultsAndOneCounterPerCategory)
{
    EXPECT_EQ(std::vector<uint16_t>(kGameTestCategories, 0), stats.m_categories);
    stats.Update();
    EXPECT_EQ(100000, stats.GetBalance());
    EXPECT_EQ(50, stats.m_rating);
    // No tree: no counters.
    game->m_pTechTree.reset();
    stats.Init();
    EXPECT_TRUE(stats.m_categories.empty());
}

TEST_F(Statistics, DayEndBooksInterestOnADeficitAndContracts)
{
    stats.m_buildingCosts = 120000;
    stats.m_categories = {1, 2, 0, 3};
    game->m_dayCounter = 1;
    stats.Update();
    EXPECT_TRUE(notices.messages.empty()) << "a frame that ends no day";
    EXPECT_EQ(0u, stats.m_interest);
    EndDay(1);
    stats.Update();
    EXPECT_EQ(Messages{25}, notices.messages);
    EXPECT_EQ(2000u, stats.m_interest);
    EXPECT_EQ(600u, stats.m_contractExpenses);
    EXPECT_TRUE(notices.samples.empty());
}

TEST_F(Statistics, DayEndPostsTheShareOfShopsInDebtAndClearsIt)
{
    std::vector<ShopRecord> shops(20, ShopRecord{});
    for (int i = 0; i < 10; i++)
        stats.AddShop(&shops[i], 4);
    stats.m_dailyShopCounter = 3;
    EndDay(1);
    stats.Update();
    EXPECT_EQ(Messages{6}, notices.messages);
    EXPECT_EQ(0, stats.m_dailyShopCounter);

    for (int i = 10; i < 20; i++)
        stats.AddShop(&shops[i], 4);
    // Shares of exactly 0.1, 0.25 and 0.6 fall into the higher level; none in debt, and one in twenty.
    const struct {
        uint16_t inDebt;
        int16_t message;
    } cases[] = {{2, 5}, {5, 6}, {12, 7}, {0, 3}, {1, 4}, {20, 7}};
    for (const auto& c : cases) {
        notices.Clear();
        stats.m_dailyShopCounter = c.inDebt;
        stats.Update();
        EXPECT_EQ(Messages{c.message}, notices.messages) << c.inDebt << " of 20";
    }
}

TEST_F(Statistics, TwelfthDayPlaysTheYearSampleAndDrawsTheBonus)
{
    // r2 = 17422: 17422 mod 1 = 0, mod 6 = 4, mod 11 = 9; r1 = 61 mod 1 = 0.
    EXPECT_EQ(1, YearAtRating(-1000));
    EXPECT_EQ(1000u, stats.m_yearlyBonuses);
    EXPECT_EQ((std::vector<std::pair<int32_t, int32_t>>{{8, 255}}), notices.samples);
    EXPECT_EQ(Messages({2, 12, 21}), notices.messages);
    EXPECT_EQ(5, YearAtRating(0));
    EXPECT_EQ(6000u, stats.m_yearlyBonuses);
    EXPECT_EQ(10, YearAtRating(1000));
    EXPECT_EQ(16000u, stats.m_yearlyBonuses);
    // The reckoned rating is clamped before the draw: +1200 still gives k = 11.
    EXPECT_EQ(10, YearAtRating(1200));
    EXPECT_EQ(1000, stats.m_rating);

    // Day 11 ends no year.
    notices.Clear();
    EndDay(11);
    stats.Update();
    EXPECT_TRUE(notices.samples.empty());
}

TEST_F(Statistics, CreatingTheGameSeedsTheYearlyDrawsFromTheClock)
{
    // Bonus unit 1000 at rating 1000: each year draws r2 mod 11 + 1, from the engine's generator.
    auto years = [this](bool create) {
        FerroxSrand(kSeed);
        if (create)
            game->Create(nullptr, "mall");  // seeds first; without a window it goes no further
        std::vector<uint16_t> draws;
        for (uint16_t year = 1; year <= 8; year++) {
            stats.m_baseRating = 1000;
            EndDay(static_cast<uint16_t>(year * 12));
            stats.Update();
            draws.push_back(stats.m_bonusCount);
        }
        return draws;
    };
    const std::vector<uint16_t> seeded = years(false);
    EXPECT_EQ(seeded, years(false));
    EXPECT_NE(seeded, years(true)) << "the seed set before the game was created still holds";
}

TEST_F(Statistics, BonusUnitsBelowAThousandTakeNothingFromTheDraw)
{
    // b = 0: the r1 term counts 0, so the draw is r2 mod k + 1.
    EXPECT_EQ(5, YearAtRating(0, 500));
    EXPECT_EQ(2500u, stats.m_yearlyBonuses);
    EXPECT_EQ(5, YearAtRating(0, 0));
    EXPECT_EQ(2500u, stats.m_yearlyBonuses);
    // b = 2 takes r1 mod 2 = 1; at k = 1 nothing is left: no bonus and message 1.
    EXPECT_EQ(4, YearAtRating(0, 2000));
    notices.Clear();
    EXPECT_EQ(0, YearAtRating(-1000, 2000));
    EXPECT_EQ(1, notices.messages.front());
}

TEST_F(Statistics, TwelfthDayRatingAndAnniversaryMessages)
{
    const struct {
        int16_t rating;
        Messages expected;  // after the bonus message
    } ratings[] = {{-251, {12}}, {-250, {13}}, {250, {}}, {251, {14}}};
    for (const auto& c : ratings) {
        notices.Clear();
        stats.m_baseRating = c.rating;
        EndDay(24);
        stats.Update();
        EXPECT_EQ(c.expected, Messages(notices.messages.begin() + 1, notices.messages.end())) << c.rating;
    }
    const struct {
        uint16_t day;
        int16_t message;  // 0: none
    } days[] = {{12, 21}, {24, 0}, {60, 22}, {120, 23}, {600, 24}};
    stats.m_baseRating = 250;
    for (const auto& c : days) {
        notices.Clear();
        EndDay(c.day);
        stats.Update();
        ASSERT_FALSE(notices.messages.empty());
        const Messages after(notices.messages.begin() + 1, notices.messages.end());
        EXPECT_EQ(c.message ? Messages{c.message} : Messages{}, after) << "day " << c.day;
    }
}

TEST(StatisticsReckoning, FiguresSaturateInsteadOfWrapping)
{
    // The dirt penalty: Floors.LitterOnAnyStoreyLowersTheRatingAndSweepingRestoresIt.
    CStatistics stats;
    stats.AddRatingPlus(30000);
    stats.AddRatingPlus(30000);
    EXPECT_EQ(32767, stats.m_ratingPlus);
    stats.Update();
    EXPECT_EQ(1000, stats.m_rating);
    stats.AddRatingPlus(-70000);
    EXPECT_EQ(-32768, stats.m_ratingPlus);
    // Expenses far above the income: in 32 bits the difference would wrap to a large positive balance.
    stats.m_buildingCosts = 4000000000u;
    stats.Update();
    EXPECT_EQ(INT32_MIN, stats.GetBalance());
    // No game: no day ends, nothing is posted.
    EXPECT_EQ(nullptr, g_pGame);
}

TEST_F(Statistics, RegistersTakeBackTheirCountsOnceAndKeepTheCost)
{
    char storage[3];
    ShopperRecord* shopper = reinterpret_cast<ShopperRecord*>(&storage[0]);
    StaffRecord* member = reinterpret_cast<StaffRecord*>(&storage[1]);
    stats.AddShopper(shopper);
    stats.AddShopper(shopper);
    stats.RemoveShopper(shopper);
    EXPECT_TRUE(stats.GetShoppers().empty());
    EXPECT_EQ(2, stats.m_shoppersCome) << "every registration counts as come, none is taken back";
    EXPECT_EQ(1, stats.m_shoppersPresent);
    stats.AddStaff(member);
    EXPECT_EQ(1, stats.m_staffCount);
    stats.RemoveStaff(member);
    EXPECT_EQ(0, stats.m_staffCount);
    EXPECT_TRUE(stats.GetStaff().empty());

    ShopRecord shop{};
    shop.balance = 15000;
    shop.capacity = 6;
    stats.AddShop(&shop, 12);
    EXPECT_EQ(1, stats.m_shopCount);
    EXPECT_EQ(6, stats.m_shopSizeSum);
    EXPECT_EQ(12, stats.m_shopAreaSum);
    stats.RemoveShop(&shop, 12);
    EXPECT_TRUE(stats.GetShops().empty());
    EXPECT_EQ(0, stats.m_shopCount);
    EXPECT_EQ(0, stats.m_shopSizeSum);
    EXPECT_EQ(0, stats.m_shopAreaSum);
    EXPECT_EQ(15000u, stats.m_buildingCosts);
    stats.Update();
    EXPECT_EQ(85000, stats.GetBalance());
}

TEST_F(Statistics, SectionRoundTripsThroughAFreshObject)
{
    stats.m_startingFunds = 90000;
    stats.m_chargesReceived = 1;
    stats.m_yearlyBonuses = 2;
    stats.m_rentExpense = 3;
    stats.m_staffWages = 4;
    stats.m_buildingCosts = 5;
    stats.m_contractExpenses = 6;
    stats.m_interest = 4000000000u;
    stats.m_figureE = 7;
    stats.m_bonusCount = 8;
    stats.m_bonusUnit = 500;
    stats.m_baseCharge = 10;
    stats.m_dailyShopCounter = 11;
    stats.m_staffJobsDone = 12;
    stats.m_shoppersCome = 65535;
    stats.m_takings = 14;
    stats.m_categories = {1, 0, 2, 65535};
    const std::string first = SaveSection(stats);
    EXPECT_NE(std::string::npos, first.find("<STATISTICS>\r\n90000\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n4000000000\r\n"
                                            "7\r\n8\r\n500\r\n10\r\n11\r\n12\r\n65535\r\n14\r\n1,0,2,65535\r\n"
                                            "</STATISTICS>\r\n"));

    CStatistics fresh;
    fresh.Init();
    ASSERT_EQ(1, LoadFrom(fresh, first));
    EXPECT_EQ(first, SaveSection(fresh));

    // Empty counters write an empty line, which reads back padded to the tree's categories.
    fresh.m_categories.clear();
    const std::string empty = SaveSection(fresh);
    EXPECT_NE(std::string::npos, empty.find("\r\n14\r\n\r\n</STATISTICS>"));
    ASSERT_EQ(1, LoadFrom(stats, empty));
    EXPECT_EQ(std::vector<uint16_t>(kGameTestCategories, 0), stats.m_categories);
}

TEST_F(Statistics, MissingCutShortOrShortSections)
{
    stats.m_interest = 77;
    EXPECT_EQ(0, LoadFrom(stats, "<GAME_DATA>\r\n1\r\n</GAME_DATA>\r\n"));
    EXPECT_EQ(100000u, stats.m_startingFunds);
    // A section cut short gives the figures it holds; the others stay as they were.
    EXPECT_EQ(1, LoadFrom(stats, "<STATISTICS>\r\n1\r\n2\r\n3\r\n"));
    EXPECT_EQ(1u, stats.m_startingFunds);
    EXPECT_EQ(3u, stats.m_yearlyBonuses);
    EXPECT_EQ(77u, stats.m_interest);

    // A short counter line is padded with 0, so every category keeps a counter; a line that is no number
    // leaves its field as it was.
    stats.m_staffWages = 55;
    stats.m_bonusUnit = 1500;
    ASSERT_EQ(1, LoadFrom(stats, "<STATISTICS>\n1\n2\n3\n4\nwages\n6\n7\nlots\n9\n10\n?\n12\n13\n14\n15\n16\n3,x\n"));
    EXPECT_EQ(1u, stats.m_startingFunds);
    EXPECT_EQ(55u, stats.m_staffWages);
    EXPECT_EQ(77u, stats.m_interest);
    EXPECT_EQ(1500u, stats.m_bonusUnit);
    EXPECT_EQ(12u, stats.m_baseCharge);
    EXPECT_EQ(16u, stats.m_takings);
    EXPECT_EQ((std::vector<uint16_t>{3, 0, 0, 0}), stats.m_categories);
    // A longer line keeps every counter it holds.
    ASSERT_EQ(1, LoadFrom(stats, "<STATISTICS>\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n1,2,3,4,5\n"));
    EXPECT_EQ((std::vector<uint16_t>{1, 2, 3, 4, 5}), stats.m_categories);
}

TEST(StatisticsData, TheShippedTreeGivesFourCategoriesInTradeOrder)
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    ASSERT_NE(nullptr, source);
    CFerroxTagTree data;
    std::ifstream in(std::string(source) + "/tools/content/text/data.xml", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    data.LoadFromMemory(text.data(), text.size());
    CFerroxTechTree tree;
    ASSERT_EQ(1, tree.LoadTechnologies(&data, nullptr));
    ASSERT_EQ(4, tree.GetCategoryCount());
    const char* const names[] = {"cleaning", "engineering", "gardening", "security"};
    for (int k = 0; k < 4; k++) {
        const FerroxTechCategory* category = tree.GetCategories()[k].get();
        EXPECT_NE(std::string::npos, category->name.find(names[k]));
        ASSERT_EQ(3u, category->entries.size());
        for (int i = 0; i < 3; i++) {
            const FerroxTechEntry* entry = category->entries[i].get();
            EXPECT_EQ(1000 * (k + 1) + i, entry->id);
            // Each needs the one before it in its category; the first needs nothing.
            EXPECT_EQ(i == 0, entry->prerequisites->IsEmpty() != 0) << entry->id;
        }
    }
}

}  // namespace
