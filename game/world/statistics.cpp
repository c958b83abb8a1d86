// The mall's figures: registers, accounts, rating, category counters, the reckoning and "<STATISTICS>".
//
// Sections: registers and accounts; the reckoning (frame, day, twelfth day); the saved section.
#include "game/world/statistics.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/data/context.h"
#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/data/techtree.h"
#include "game/world/floors.h"
#include "game/world/gamecontext.h"

namespace {

constexpr uint32_t kStartingFunds = 100000;
constexpr uint16_t kBonusUnit = 1000;
constexpr uint16_t kBaseCharge = 100;
constexpr int16_t kBaseRating = 50;

// Each unit of floor dirt costs this much rating.
constexpr int32_t kDirtPenaltyFactor = 3;
// Interest on a deficit is this fraction of it, each game day.
constexpr uint32_t kInterestDivisor = 10;
// Each category counter costs this much contract expense a day.
constexpr uint32_t kContractCostPerLevel = 100;
// Every twelfth game day closes a year.
constexpr uint16_t kDaysPerYear = 12;
// The bonus draw: the rating is cut into bands of this width, and the bonus unit counts in thousands.
constexpr int32_t kRatingBandWidth = 200;
constexpr int32_t kBonusUnitDivisor = 1000;
// Rating messages: below the low mark poor, from it to below the high mark middling, above the high mark good.
constexpr int32_t kRatingLowMark = -250;
constexpr int32_t kRatingHighMark = 250;
// Shop-debt levels: the share of shops that ended the day in debt.
constexpr float kDebtShareLow = 0.1f;
constexpr float kDebtShareMiddle = 0.25f;
constexpr float kDebtShareHigh = 0.6f;

constexpr int32_t kYearSample = 8;
constexpr int32_t kFullVolume = 255;

enum Message : int16_t {
    kMessageNoBonus = 1,
    kMessageBonus = 2,
    kMessageNoShopInDebt = 3,
    kMessageFewShopsInDebt = 4,
    kMessageSomeShopsInDebt = 5,
    kMessageManyShopsInDebt = 6,
    kMessageMostShopsInDebt = 7,
    kMessageRatingPoor = 12,
    kMessageRatingMiddling = 13,
    kMessageRatingGood = 14,
    kMessageDeficit = 25,
};

// Anniversaries: years open and the message each posts.
struct Anniversary {
    uint16_t years;
    int16_t message;
};
constexpr Anniversary kAnniversaries[] = {{1, 21}, {5, 22}, {10, 23}, {50, 24}};

constexpr const char* kSectionTag = "<STATISTICS>";
constexpr const char* kSectionEnd = "</STATISTICS>";
constexpr const char* kLineEnd = "\r\n";
constexpr char kListSeparator = ',';

int16_t SaturateI16(int64_t value)
{
    return static_cast<int16_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

uint16_t CategoryCount()
{
    CFerroxTechTree* tree = g_pFerroxGameContext ? g_pFerroxGameContext->GetTechTree() : nullptr;
    return tree ? tree->GetCategoryCount() : 0;
}

void Post(int16_t message)
{
    if (g_pGameContext)
        g_pGameContext->QueueMessage(message);
}

template <typename T>
void EraseAll(std::vector<T*>& list, T* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Summed 16-bit dirt counts of the floor manager's storeys; 0 without a floor manager.
int32_t FloorDirtSum()
{
    const CFloorManager* floors = CFloorManager::GetInstance();
    return floors ? floors->GetDirtSum() : 0;
}

}  // namespace

CStatistics::CStatistics() { Init(); }

void CStatistics::Init()
{
    m_shoppersCome = 0;
    m_shoppersPresent = 0;
    m_takings = 0;
    m_incomeTotal = 0;
    m_yearlyBonuses = 0;
    m_chargesReceived = 0;
    m_startingFunds = kStartingFunds;
    m_expenseTotal = 0;
    m_rentExpense = 0;
    m_staffWages = 0;
    m_buildingCosts = 0;
    m_contractExpenses = 0;
    m_interest = 0;
    m_shopAreaSum = 0;
    m_shopCount = 0;
    m_shopSizeSum = 0;
    m_figureE = 0;
    m_bonusCount = 0;
    m_bonusUnit = kBonusUnit;
    m_baseCharge = kBaseCharge;
    m_dailyShopCounter = 0;
    m_staffCount = 0;
    m_staffJobsDone = 0;
    m_rating = 0;
    m_dirtPenalty = 0;
    m_criminalsPresent = 0;
    m_ratingPlus = 0;
    m_baseRating = kBaseRating;
    ClearCategories();
    m_categories.assign(CategoryCount(), 0);
    // The totals follow from the accounts, so the balance is right before the first frame.
    m_incomeTotal = m_startingFunds;
}

// --- Registers and accounts ---------------------------------------------------------------------------------

void CStatistics::AddShopper(ShopperRecord* shopper)
{
    m_shoppers.push_back(shopper);
    m_shoppersCome++;
    m_shoppersPresent++;
}

void CStatistics::RemoveShopper(ShopperRecord* shopper)
{
    EraseAll(m_shoppers, shopper);
    m_shoppersPresent--;
}

void CStatistics::AddStaff(StaffRecord* member)
{
    m_staff.push_back(member);
    m_staffCount++;
}

void CStatistics::RemoveStaff(StaffRecord* member)
{
    EraseAll(m_staff, member);
    m_staffCount--;
}

void CStatistics::AddShop(ShopRecord* shop, uint32_t area)
{
    if (!shop)
        return;
    m_shops.push_back(shop);
    m_buildingCosts += static_cast<uint32_t>(shop->balance);
    m_shopCount++;
    m_shopSizeSum = static_cast<uint16_t>(m_shopSizeSum + shop->capacity);
    m_shopAreaSum = static_cast<uint16_t>(m_shopAreaSum + area);
}

void CStatistics::RemoveShop(ShopRecord* shop, uint32_t area)
{
    if (!shop)
        return;
    EraseAll(m_shops, shop);
    m_shopCount--;
    m_shopSizeSum = static_cast<uint16_t>(m_shopSizeSum - shop->capacity);
    m_shopAreaSum = static_cast<uint16_t>(m_shopAreaSum - area);
}

uint32_t CStatistics::AddTakings(int32_t amount)
{
    m_takings += static_cast<uint16_t>(amount);
    return m_takings;
}

uint32_t CStatistics::AddCharge(int32_t rentValue, int32_t amount)
{
    m_rentExpense += static_cast<uint16_t>(rentValue);
    m_chargesReceived += static_cast<uint16_t>(amount);
    return m_chargesReceived;
}

void CStatistics::AddRatingPlus(int32_t amount)
{
    m_ratingPlus = SaturateI16(static_cast<int64_t>(m_ratingPlus) + amount);
}

int32_t CStatistics::GetBalance() const
{
    const int64_t balance = static_cast<int64_t>(m_incomeTotal) - static_cast<int64_t>(m_expenseTotal);
    return static_cast<int32_t>(
        std::clamp<int64_t>(balance, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// --- The reckoning -------------------------------------------------------------------------------------------

void CStatistics::Update()
{
    // In 32 bits, held at the 16-bit limits: a large dirt count must lower the rating, never wrap and raise it.
    const int64_t dirt = static_cast<int64_t>(kDirtPenaltyFactor) * FloorDirtSum();
    m_dirtPenalty = SaturateI16(dirt);
    const int32_t rating = static_cast<int32_t>(m_baseRating) - m_criminalsPresent + m_ratingPlus - m_dirtPenalty;
    m_rating = static_cast<int16_t>(std::clamp(rating, kRatingMin, kRatingMax));

    m_expenseTotal = m_rentExpense + m_staffWages + m_buildingCosts + m_contractExpenses + m_interest;
    m_incomeTotal = m_startingFunds + m_chargesReceived + m_yearlyBonuses;

    if (!g_pGameContext || !g_pGameContext->IsNewDay())
        return;
    ReckonDay();
    const uint16_t day = g_pGameContext->GetDayCounter();
    if (day % kDaysPerYear == 0)
        ReckonTwelfthDay(day);
}

void CStatistics::ReckonDay()
{
    if (m_expenseTotal > m_incomeTotal) {
        Post(kMessageDeficit);
        m_interest += (m_expenseTotal - m_incomeTotal) / kInterestDivisor;
    }
    if (m_shopCount != 0)
        PostShopDebt();
    for (uint16_t level : m_categories)
        m_contractExpenses += kContractCostPerLevel * level;
}

void CStatistics::PostShopDebt()
{
    if (m_dailyShopCounter == 0) {
        Post(kMessageNoShopInDebt);
    } else {
        const float share = static_cast<float>(m_dailyShopCounter) / static_cast<float>(m_shopCount);
        if (share < kDebtShareLow)
            Post(kMessageFewShopsInDebt);
        else if (share < kDebtShareMiddle)
            Post(kMessageSomeShopsInDebt);
        else if (share < kDebtShareHigh)
            Post(kMessageManyShopsInDebt);
        else
            Post(kMessageMostShopsInDebt);
    }
    m_dailyShopCounter = 0;
}

void CStatistics::ReckonTwelfthDay(uint16_t day)
{
    if (g_pGameContext)
        g_pGameContext->PlaySample(kYearSample, kFullVolume);

    const int32_t r1 = FerroxRand();
    const int32_t r2 = FerroxRand();
    const int32_t k = (m_rating - kRatingMin) / kRatingBandWidth + 1;
    const int32_t b = m_bonusUnit / kBonusUnitDivisor;
    // A bonus unit below a thousand gives b = 0, and then the draw takes nothing away.
    const int32_t taken = b != 0 ? r1 % b : 0;
    const int16_t n = static_cast<int16_t>(r2 % k - taken + 1);
    if (n < 1) {
        m_bonusCount = 0;
        Post(kMessageNoBonus);
    } else {
        m_bonusCount = static_cast<uint16_t>(n);
        m_yearlyBonuses += static_cast<uint32_t>(m_bonusUnit) * static_cast<uint32_t>(n);
        Post(kMessageBonus);
    }

    if (m_rating < kRatingLowMark)
        Post(kMessageRatingPoor);
    else if (m_rating < kRatingHighMark)
        Post(kMessageRatingMiddling);
    else if (m_rating > kRatingHighMark)
        Post(kMessageRatingGood);

    const uint16_t years = day / kDaysPerYear;
    for (const Anniversary& anniversary : kAnniversaries) {
        if (anniversary.years == years)
            Post(anniversary.message);
    }
}

// --- The saved section ---------------------------------------------------------------------------------------

namespace {

// Reads the next line as a number of the field's type; false, the field as it was, when the line is not one.
template <typename T>
bool ReadNumber(CFerroxFile* file, T& field)
{
    std::string line;
    file->ReadLine(line);
    return FromString<T>(line, field);
}

template <typename T>
void WriteNumber(CFerroxFile* file, T value)
{
    file->WriteLine(ToString<T>(value) + kLineEnd);
}

// The saved figures in the order of the section.
uint32_t CStatistics::*const kSavedAccounts[] = {&CStatistics::m_startingFunds,    &CStatistics::m_chargesReceived,
                                                 &CStatistics::m_yearlyBonuses,    &CStatistics::m_rentExpense,
                                                 &CStatistics::m_staffWages,       &CStatistics::m_buildingCosts,
                                                 &CStatistics::m_contractExpenses, &CStatistics::m_interest};
uint16_t CStatistics::*const kSavedCounts[] = {&CStatistics::m_figureE,          &CStatistics::m_bonusCount,
                                               &CStatistics::m_bonusUnit,        &CStatistics::m_baseCharge,
                                               &CStatistics::m_dailyShopCounter, &CStatistics::m_staffJobsDone,
                                               &CStatistics::m_shoppersCome};

// Reads one figure; a line that is no number in its range leaves the field as it was and counts as refused.
template <typename T>
void ReadFigure(CFerroxFile* file, CStatistics& read, T CStatistics::*field, int* refused)
{
    if (!ReadNumber<T>(file, read.*field))
        ++*refused;
}

}  // namespace

int CStatistics::Load(CFerroxTagFile* file) { return Load(file, nullptr); }

int CStatistics::Load(CFerroxTagFile* file, int* refused)
{
    if (!file || file->SeekTag(kSectionTag) != 0)
        return 0;
    m_categories.clear();
    int refusedHere = 0;
    for (uint32_t CStatistics::*account : kSavedAccounts)
        ReadFigure(file, *this, account, &refusedHere);
    for (uint16_t CStatistics::*count : kSavedCounts)
        ReadFigure(file, *this, count, &refusedHere);
    ReadFigure(file, *this, &CStatistics::m_takings, &refusedHere);
    ReadU16List(file, m_categories, kListSeparator);
    // One counter per category of the tree: a short line must not leave later unlocks unrecorded.
    const size_t categoryCount = CategoryCount();
    if (m_categories.size() < categoryCount)
        m_categories.resize(categoryCount, 0);
    if (refused)
        *refused += refusedHere;
    return 1;
}

int CStatistics::Save(CFerroxFile* file)
{
    if (!file)
        return 0;
    file->WriteLine(std::string(kSectionTag) + kLineEnd);
    for (uint32_t account : {m_startingFunds, m_chargesReceived, m_yearlyBonuses, m_rentExpense, m_staffWages,
                             m_buildingCosts, m_contractExpenses, m_interest})
        WriteNumber<unsigned int>(file, account);
    for (uint16_t count :
         {m_figureE, m_bonusCount, m_bonusUnit, m_baseCharge, m_dailyShopCounter, m_staffJobsDone, m_shoppersCome})
        WriteNumber<unsigned short>(file, count);
    WriteNumber<unsigned int>(file, m_takings);
    WriteU16List(file, m_categories, kListSeparator);
    file->WriteLine(std::string(kSectionEnd) + kLineEnd);
    return file->HasWriteFailed() ? 0 : 1;
}
