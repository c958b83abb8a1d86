// The mall's book of figures: registers of shoppers, staff and shops, the accounts, the rating, the
// per-category counters, and the reckoning run every frame, every game day and every twelfth game day.
#pragma once

#include <cstdint>
#include <vector>

class CFerroxFile;
class CFerroxTagFile;
class CShop;
struct ShopperRecord;
struct StaffRecord;

// Number of appeal values of a shop: four age bands by two sexes.
constexpr int kShopAppealCount = 8;

// The part of a shop that the statistics register points to.
struct ShopRecord {
    uint16_t category;
    uint16_t price;
    // The shop's money once placed (5000 from placement on); until then the building cost from its template,
    // which the statistics book as an expense when the shop is placed.
    int32_t balance;
    uint16_t rentValue;
    uint16_t salesCount;
    int16_t chargeAdjust;
    int32_t takingsTotal;
    int32_t chargesPaid;
    uint16_t paymentCount;
    uint16_t shopNumber;
    uint16_t grade;
    uint16_t capacity;
    uint16_t appeal[kShopAppealCount];
    CShop* owner;
};

// Limits of the mall rating.
constexpr int32_t kRatingMin = -1000;
constexpr int32_t kRatingMax = 1000;

class CStatistics {
public:
    CStatistics();
    virtual ~CStatistics() = default;

    // Reads the "<STATISTICS>" section of an open tag file; 1 when it was found. A line that is no number in its
    // range leaves its figure as it was; an absent section changes nothing.
    virtual int Load(CFerroxTagFile* file);
    // The same, counting the figures left as they were in refused.
    int Load(CFerroxTagFile* file, int* refused);
    // Writes the section; 0 when a write failed.
    virtual int Save(CFerroxFile* file);
    // The reckoning, every frame; its daily part on the frame that ends a game day.
    virtual void Update();
    virtual void Refresh() { Update(); }
    virtual void ClearCategories() { m_categories.clear(); }
    // Every figure to its default, and one counter per category of the game's technology tree.
    virtual void Init();

    // Registers a shopper: one more present and one more come.
    void AddShopper(ShopperRecord* shopper);
    void RemoveShopper(ShopperRecord* shopper);
    void AddStaff(StaffRecord* member);
    void RemoveStaff(StaffRecord* member);
    // area: the owner's rows times columns, given by the shop that places itself.
    void AddShop(ShopRecord* shop, uint32_t area);
    void RemoveShop(ShopRecord* shop, uint32_t area);
    uint32_t AddTakings(int32_t amount);
    uint32_t AddCharge(int32_t rentValue, int32_t amount);
    // Scenery appeal placed (positive) or removed (negative); held within the 16-bit range.
    void AddRatingPlus(int32_t amount);

    // Income total minus expense total, held within the 32-bit range.
    int32_t GetBalance() const;

    const std::vector<ShopperRecord*>& GetShoppers() const { return m_shoppers; }
    const std::vector<ShopRecord*>& GetShops() const { return m_shops; }
    const std::vector<StaffRecord*>& GetStaff() const { return m_staff; }

    std::vector<ShopperRecord*> m_shoppers;  // not owned
    std::vector<ShopRecord*> m_shops;        // not owned
    std::vector<StaffRecord*> m_staff;       // not owned
    uint16_t m_shoppersCome;
    uint16_t m_shoppersPresent;
    uint32_t m_takings;
    uint32_t m_incomeTotal;
    uint32_t m_yearlyBonuses;
    uint32_t m_chargesReceived;
    uint32_t m_startingFunds;
    uint32_t m_expenseTotal;
    uint32_t m_rentExpense;
    uint32_t m_staffWages;
    uint32_t m_buildingCosts;
    uint32_t m_contractExpenses;
    uint32_t m_interest;
    uint16_t m_shopAreaSum;
    uint16_t m_shopCount;
    uint16_t m_shopSizeSum;
    uint16_t m_figureE;
    uint16_t m_bonusCount;
    uint16_t m_bonusUnit;
    uint16_t m_baseCharge;
    uint16_t m_dailyShopCounter;
    uint16_t m_staffCount;
    uint16_t m_staffJobsDone;
    int16_t m_rating;
    int16_t m_dirtPenalty;
    int16_t m_criminalsPresent;
    int16_t m_ratingPlus;
    int16_t m_baseRating;
    std::vector<uint16_t> m_categories;  // indexed by technology id / 1000 - 1

private:
    void ReckonDay();
    void ReckonTwelfthDay(uint16_t day);
    void PostShopDebt();
};
