// Shops: placement from the template, charge limits, the daily charge and removal for debt, takings, appeal.
#include "game/buildings/shop.h"

#include "game/buildings/building_testing.h"

namespace {

typedef BuildingTest ShopTest;

// Sizes, cost, category, then grade, charge value, price and the eight appeal values.
std::vector<std::string> ShopValues()
{
    return {"2", "2", "1500", "3", "4", "120", "30", "1", "2", "3", "4", "5", "6", "7", "8"};
}

TEST_F(ShopTest, PlacementReadsTemplateAndBooksCost)
{
    TestTemplate shopTemplate("shop_books", ShopValues());
    const FerroxObjectDescriptor descriptor = shopTemplate.Descriptor(&ground);
    auto shop = std::make_unique<Exposed<CShop>>();
    shop->Setup(&descriptor);
    EXPECT_EQ(1500, shop->GetValue()) << "the cost until placement";
    shop->Put(&ground, Cell(4, 4), 2, 2);
    shop->AddUserSlot(nullptr);
    const int32_t before = g_shopCounter;
    ASSERT_EQ(1, shop->Place(nullptr));
    const ShopRecord& record = shop->GetRecord();
    EXPECT_EQ(kShopStartBalance, record.balance);
    EXPECT_EQ(4, record.grade);
    EXPECT_EQ(120, record.chargeAdjust);
    EXPECT_EQ(30, shop->GetPrice());
    EXPECT_EQ(8, record.appeal[7]);
    EXPECT_EQ(static_cast<uint16_t>(before + 1), record.shopNumber);
    EXPECT_EQ(1500u, stats->m_buildingCosts);
    EXPECT_EQ(1u, stats->GetShops().size());
    shop.reset();
    EXPECT_TRUE(stats->GetShops().empty()) << "released shops leave the register";
}

// A short template leaves the rest of the record as it was.
TEST_F(ShopTest, ShortTemplateStops)
{
    TestTemplate shopTemplate("shop_short", {"2", "2", "900", "1", "5"});
    const FerroxObjectDescriptor descriptor = shopTemplate.Descriptor(&ground);
    Exposed<CShop> shop;
    shop.Setup(&descriptor);
    shop.Put(&ground, Cell(4, 4), 2, 2);
    shop.Place(nullptr);
    EXPECT_EQ(5, shop.GetRecord().grade);
    EXPECT_EQ(0, shop.GetRecord().rentValue);
    EXPECT_EQ(0, shop.GetPrice());
}

TEST_F(ShopTest, ChargeLimits)
{
    Exposed<CShop> shop;
    shop.GetRecord().chargeAdjust = 950;
    shop.IncreaseCharge();
    EXPECT_EQ(1000, shop.GetRecord().chargeAdjust);
    shop.IncreaseCharge();
    EXPECT_EQ(1000, shop.GetRecord().chargeAdjust);
    stats->m_baseCharge = 100;
    shop.GetRecord().chargeAdjust = -50;
    shop.DecreaseCharge();
    EXPECT_EQ(-100, shop.GetRecord().chargeAdjust);
    shop.DecreaseCharge();
    EXPECT_EQ(-100, shop.GetRecord().chargeAdjust);
}

// Each payment books the charge; with base charge and adjustment at 0 or below it pays 0 but counts.
TEST_F(ShopTest, DailyChargeAndAdjustmentFloor)
{
    auto* shop = new Exposed<CShop>();
    manager->AddObject(shop);
    shop->Put(&ground, Cell(4, 4), 1, 1);
    shop->Place(nullptr);
    stats->m_baseCharge = 200;
    shop->GetRecord().rentValue = 15;
    shop->GetRecord().chargeAdjust = 50;
    EndDay(1);
    shop->Update(0.1f);
    EXPECT_EQ(kShopStartBalance - 250, shop->GetRecord().balance);
    EXPECT_EQ(250, shop->GetRecord().chargesPaid);
    EXPECT_EQ(250u, stats->m_chargesReceived);
    EXPECT_EQ(15u, stats->m_rentExpense);
    game->m_newDay = 0;
    shop->GetRecord().chargeAdjust = -300;
    shop->Update(0.1f);
    EXPECT_EQ(-200, shop->GetRecord().chargeAdjust) << "held at minus the base charge";
    shop->GetRecord().chargeAdjust = -250;
    shop->PayCharge();
    EXPECT_EQ(2, shop->GetRecord().paymentCount);
    EXPECT_EQ(250, shop->GetRecord().chargesPaid);
}

// Four charge days in debt are survived, and the count starts again once paid up; the fifth payment in a row
// posts the notice and removes the shop.
TEST_F(ShopTest, RemovedForDebtAtFifthPayment)
{
    auto* shop = new Exposed<CShop>();
    manager->AddObject(shop);
    shop->Put(&ground, Cell(4, 4), 1, 1);
    shop->Place(nullptr);
    stats->m_baseCharge = 6000;
    shop->PayCharge();
    // Paid up, the count starts again.
    shop->AddTakings(static_cast<int16_t>(6000 - shop->GetRecord().balance));
    shop->PayCharge();
    EXPECT_EQ(0, shop->GetDebtDays());
    for (int day = 1; day <= 4; day++) {
        shop->PayCharge();
        EXPECT_EQ(day, shop->GetDebtDays());
    }
    EXPECT_TRUE(notices.messages.empty());
    manager->Update(0.0f);
    ASSERT_EQ(1u, manager->GetCount());
    shop->PayCharge();
    EXPECT_EQ(std::vector<int16_t>{kMessageShopClosed}, notices.messages);
    EXPECT_EQ(5, shop->GetDebtDays()) << "the debt test still runs";
    EXPECT_EQ(6u, stats->m_dailyShopCounter) << "one for each payment in debt";
    manager->Update(0.0f);
    EXPECT_EQ(0u, manager->GetCount());
    EXPECT_TRUE(stats->GetShops().empty());
}

// Takings raise the balance and count a sale; thefts (negative takings) only lower the balance.
TEST_F(ShopTest, TakingsAndThefts)
{
    Exposed<CShop> shop;
    shop.GetRecord().balance = 1000;
    shop.AddTakings(200);
    EXPECT_EQ(1200, shop.GetRecord().balance);
    EXPECT_EQ(200, shop.GetRecord().takingsTotal);
    EXPECT_EQ(1, shop.GetRecord().salesCount);
    EXPECT_EQ(200u, stats->m_takings);
    shop.AddTakings(-300);
    EXPECT_EQ(900, shop.GetRecord().balance);
    EXPECT_EQ(-100, shop.GetRecord().takingsTotal);
    EXPECT_EQ(1, shop.GetRecord().salesCount);
    EXPECT_EQ(200u, stats->m_takings);
    shop.AddTakings(0);
    EXPECT_EQ(2, shop.GetRecord().salesCount) << "a sale of nothing is still a sale";
}

TEST_F(ShopTest, AppealBandsByAgeAndSex)
{
    Exposed<CShop> shop;
    for (uint16_t i = 0; i < kShopAppealCount; i++)
        shop.GetRecord().appeal[i] = static_cast<uint16_t>(10 + i);
    const struct {
        uint16_t age;
        uint16_t value;
    } cases[] = {{0, 10}, {14, 10}, {15, 12}, {24, 12}, {25, 14}, {54, 14}, {55, 16}, {90, 16}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.value, shop.GetAppeal(c.age, 0)) << c.age;
        EXPECT_EQ(c.value + 1, shop.GetAppeal(c.age, -3)) << c.age;
    }
}

// A shop on a storey with one above lays the missing tiles over itself.
CFerroxTileRecord g_currentTile = {nullptr};

TEST_F(ShopTest, LaysTilesAboveItself)
{
    CFerroxBlockMesh* above = AddStorey();
    above->SetRangeTile(Cell(4, 4), Cell(5, 5), 1, nullptr);
    ASSERT_EQ(0, above->IsAreaTiled(Cell(4, 4), 2, 2));
    BuildingHooks hooks = {};
    hooks.currentTile = []() { return &g_currentTile; };
    SetBuildingHooks(hooks);
    Exposed<CShop> shop;
    shop.Put(&ground, Cell(4, 4), 2, 2);
    shop.Place(nullptr);
    EXPECT_EQ(1, above->IsAreaTiled(Cell(4, 4), 2, 2));
    EXPECT_EQ(&g_currentTile, above->GetTile(Cell(5, 5)));
    EXPECT_EQ(&tile, above->GetTile(Cell(6, 6))) << "beyond the shop nothing changes";
}

}  // namespace
