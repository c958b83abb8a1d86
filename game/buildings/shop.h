// Shops: units tenants run in the mall. A shop earns takings, pays the mall a daily charge, closes down after
// staying in debt, and carries the appeal table shoppers choose by. Its record is registered with the statistics.
#pragma once

#include <cstdint>

#include "game/buildings/building.h"
#include "game/world/statistics.h"

struct GxRaster;

// Limits and steps of the charge adjustment.
constexpr int32_t kChargeStep = 50;
constexpr int32_t kChargeAdjustMax = 1000;
// A placed shop's starting money.
constexpr int32_t kShopStartBalance = 5000;
// Charge days in debt a shop survives; the payment that finds more removes it.
constexpr uint16_t kShopDebtDaysAllowed = 3;
// In-game message of a shop closing for debt.
constexpr int16_t kMessageShopClosed = 8;
// Age bands of the appeal table start at these years.
constexpr uint16_t kAppealAgeYoung = 15;
constexpr uint16_t kAppealAgeAdult = 25;
constexpr uint16_t kAppealAgeSenior = 55;
// Where the debug text stands, in the debug character set's screen units.
constexpr int32_t kShopDebugX = 372;
constexpr int32_t kShopDebugY = 50;

// Numbers shops as they are placed; not saved.
extern int32_t g_shopCounter;

class CShop : public CPathableObject {
public:
    CShop();
    void Init() override;
    void Release() override;
    ~CShop() override;

    void Update(float dt) override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int Save(CFerroxFile* file) override;
    int Load(CFerroxFile* file) override;
    int32_t GetValue() override { return m_record.balance; }
    int Place(CPlacementRecord* record) override;
    int32_t GetKind() override { return 0; }
    uint16_t GetPrice() override { return m_record.price; }
    void AddTakings(int16_t amount) override;
    virtual void PayCharge();

    using CPathableObject::DrawDebugInfo;
    // The base's debug lines, then the shop's number and money printed with the debug character set.
    void DrawDebugInfo(GxRaster* charset);

    void IncreaseCharge();
    void DecreaseCharge();
    uint16_t GetAppeal(uint16_t age, int16_t sex) const;

    ShopRecord& GetRecord() { return m_record; }
    uint16_t GetDebtDays() const { return m_debtDays; }

protected:
    uint16_t m_debtDays;
    ShopRecord m_record;
};
