// Shoppers: pressing needs and plans, the run-down of needs, shop weights, leaving, patience, purchases and
// bags, the count milestones, and the candidates of a removed shop.
#include "game/figures/shopper.h"

#include <set>

#include "game/buildings/door.h"
#include "game/buildings/facility.h"
#include "game/figures/aichar_test_local.h"

namespace {

// Age 30, sex 0, patience rate 10, need rates 5 and 5.
const std::vector<std::string> kAdult = {"30", "0", "10", "5", "5"};
const std::vector<const char*> kBagParts = {"bagy", "bagr", "shadow"};

class ShopperTest : public AICharacterTest {
protected:
    CShopper* MakeShopper(int cell) { return Make<CShopper>(cell, kBagParts, kAdult); }
    static void SetNeeds(CShopper* shopper, uint16_t s, uint16_t m, uint16_t e, uint16_t b)
    {
        shopper->m_record.S = s;
        shopper->m_record.M = m;
        shopper->m_record.E = e;
        shopper->m_record.B = b;
    }
    static bool Shown(CShopper* shopper, const char* part)
    {
        GxAtomic* atomic = shopper->GetModel()->FindPart(part);
        return atomic && (atomic->object.object.flags & gxATOMICRENDER) != 0;
    }
    // Runs the shop weighing once after a fresh decision; the weights it gave.
    static std::vector<uint16_t> Weigh(CShopper* shopper)
    {
        shopper->ClearCandidates();
        shopper->m_plan = SHOPPER_PLAN_WEIGH_SHOPS;
        EXPECT_EQ(0, shopper->ChooseTarget());
        std::vector<uint16_t> weights;
        for (const ShopperCandidate& candidate : shopper->m_candidates)
            weights.push_back(candidate.weight);
        return weights;
    }
};

}  // namespace

TEST_F(ShopperTest, SetupFromTemplateAndRegister)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    EXPECT_GE(shopper->m_record.age, 30);
    EXPECT_LT(shopper->m_record.age, 50);
    EXPECT_EQ(10, shopper->m_record.rateH);
    EXPECT_EQ(kPatienceFull, shopper->m_record.H);
    EXPECT_GE(shopper->m_record.M, 250);
    EXPECT_LT(shopper->m_record.M, 1250);
    EXPECT_FALSE(Shown(shopper, "bagy")) << "bags start hidden";
    EXPECT_TRUE(Shown(shopper, "shadow") == false) << "characters go without their shadow";
    ASSERT_EQ(1u, stats->GetShoppers().size());
    EXPECT_EQ(&shopper->m_record, stats->GetShoppers()[0]);
    shopper->Release();
    shopper->Release();
    EXPECT_TRUE(stats->GetShoppers().empty());
    EXPECT_EQ(0, stats->m_shoppersPresent) << "released once";
}

// A shopper that leaves is deleted by the manager without its Release: its record leaves the register all the same.
TEST_F(ShopperTest, AShopperTheManagerDeletesLeavesTheRegister)
{
    CShopper* staying = MakeShopper(Cell(8, 8));
    manager->RemoveObject(MakeShopper(Cell(9, 9)), 1);
    ASSERT_EQ(1u, stats->GetShoppers().size());
    EXPECT_EQ(&staying->m_record, stats->GetShoppers()[0]);
    EXPECT_EQ(1, stats->m_shoppersPresent);
}

TEST_F(ShopperTest, PressingNeedAndPlan)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    SetNeeds(shopper, 40, 40, 100, 100);
    EXPECT_EQ(&shopper->m_record.M, shopper->GetMostPressingNeed()) << "on equal values the later wins";
    for (int i = 0; i < 20; i++) {
        shopper->m_plan = SHOPPER_PLAN_DECIDE;
        EXPECT_EQ(0, shopper->ChooseTarget());
        EXPECT_EQ(SHOPPER_PLAN_MONEY, shopper->m_plan) << "40 is not above 50: never the stairs";
    }
    SetNeeds(shopper, 60, 300, 70, 80);
    EXPECT_EQ(&shopper->m_record.S, shopper->GetMostPressingNeed());
    int stairs = 0, shops = 0;
    for (int i = 0; i < 200; i++) {
        shopper->m_plan = SHOPPER_PLAN_DECIDE;
        shopper->ChooseTarget();
        stairs += shopper->m_plan == SHOPPER_PLAN_STAIRS;
        shops += shopper->m_plan == SHOPPER_PLAN_WEIGH_SHOPS;
    }
    EXPECT_EQ(200, stairs + shops);
    EXPECT_GT(stairs, 25);
    EXPECT_LT(stairs, 80);
    SetNeeds(shopper, 100, 300, 100, 20);
    shopper->m_plan = SHOPPER_PLAN_DECIDE;
    shopper->ChooseTarget();
    EXPECT_EQ(SHOPPER_PLAN_KIND_2, shopper->m_plan);
}

// Needs run down every 9 s once inside; each empty need and no money cost patience.
TEST_F(ShopperTest, NeedsRunDownInsideOnly)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    shopper->m_presence = kPresenceInside;
    SetNeeds(shopper, 100, 0, 50, 3);
    shopper->m_record.H = 100;
    shopper->UpdateAI(9.5f);
    EXPECT_EQ(50, shopper->m_record.E) << "not entered yet";
    shopper->m_entered = 1;
    shopper->UpdateAI(0.1f);
    EXPECT_EQ(0, shopper->m_record.B);
    EXPECT_EQ(45, shopper->m_record.E);
    EXPECT_EQ(80, shopper->m_record.H) << "B empty and no money";
    EXPECT_EQ(90, shopper->m_record.S);
    shopper->UpdateAI(8.0f);
    EXPECT_EQ(45, shopper->m_record.E) << "the timer restarted";
}

// Appeal 3 weighs 3 or 2, never 4; appeal 0 weighs 1 or not at all; dear shops and full shops are not weighed.
TEST_F(ShopperTest, ShopWeights)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    shopper->m_record.M = 100;
    auto* liked = MakeShop(Cell(4, 4), 20, {"plain"});
    for (uint16_t& appeal : liked->GetRecord().appeal)
        appeal = 3;
    std::set<uint16_t> seen;
    for (int i = 0; i < 60; i++) {
        for (uint16_t weight : Weigh(shopper))
            seen.insert(weight);
    }
    EXPECT_EQ((std::set<uint16_t>{2, 3}), seen);
    EXPECT_EQ(SHOPPER_PLAN_CHOOSE_SHOP, shopper->m_plan);

    for (uint16_t& appeal : liked->GetRecord().appeal)
        appeal = 0;
    seen.clear();
    bool impatient = false;
    for (int i = 0; i < 60; i++) {
        for (uint16_t weight : Weigh(shopper))
            seen.insert(weight);
        impatient = impatient || shopper->m_plan == SHOPPER_PLAN_IMPATIENT;
    }
    EXPECT_EQ((std::set<uint16_t>{1}), seen);
    EXPECT_TRUE(impatient) << "a shop qualified but weighed nothing";

    liked->GetRecord().price = 101;
    EXPECT_TRUE(Weigh(shopper).empty());
    EXPECT_EQ(SHOPPER_PLAN_MONEY, shopper->m_plan) << "nothing affordable";
}

CFerroxObject* g_heldShop = nullptr;

// The shop build mode holds is a ghost on the pointer: no shopper sets out for it.
TEST_F(ShopperTest, TheHeldShopIsNotWeighed)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    shopper->m_record.M = 100;
    auto* held = MakeShop(Cell(4, 4), 20, {"plain"});
    auto* placed = MakeShop(Cell(10, 4), 20, {"plain"});
    for (CShop* shop : {static_cast<CShop*>(held), static_cast<CShop*>(placed)}) {
        for (uint16_t& appeal : shop->GetRecord().appeal)
            appeal = 3;
    }
    ASSERT_EQ(2u, Weigh(shopper).size());
    g_heldShop = held;
    AICharacterHooks hooks = {};
    hooks.heldObject = []() { return g_heldShop; };
    SetAICharacterHooks(hooks);
    for (int i = 0; i < 20; i++) {
        ASSERT_EQ(1u, Weigh(shopper).size());
        EXPECT_EQ(placed, shopper->m_candidates[0].shop);
    }
    g_heldShop = nullptr;
}

TEST_F(ShopperTest, ChosenShopAndRemovedCandidates)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    shopper->m_record.M = 100;
    auto* first = MakeShop(Cell(4, 4), 20, {"plain"});
    auto* second = MakeShop(Cell(10, 4), 20, {"plain"});
    for (CShop* shop : {static_cast<CShop*>(first), static_cast<CShop*>(second)}) {
        for (uint16_t& appeal : shop->GetRecord().appeal)
            appeal = 2;
    }
    ASSERT_EQ(2u, Weigh(shopper).size());
    const uint16_t secondWeight = shopper->m_candidates[1].weight;
    manager->RemoveObject(first, 1);
    ASSERT_EQ(1u, shopper->m_candidates.size());
    EXPECT_EQ(second, shopper->m_candidates[0].shop);
    EXPECT_EQ(secondWeight, shopper->m_candidateWeight);
    EXPECT_EQ(1, shopper->ChooseTarget());
    EXPECT_EQ(second, shopper->m_pTarget);
    EXPECT_EQ(second->GetEntranceCell(0), shopper->m_targetCell);
    EXPECT_EQ(SHOPPER_PLAN_DECIDE, shopper->m_plan);
}

// Ten purchases or no patience lead out: a door when inside, the spawn path when outside, the stairs upstairs.
TEST_F(ShopperTest, LeavingPlans)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    shopper->m_record.visits = kShopperVisitLimit;
    shopper->m_presence = kPresenceInside;
    EXPECT_EQ(0, shopper->ChooseTarget());
    EXPECT_EQ(SHOPPER_PLAN_DOOR, shopper->m_plan);
    shopper->m_plan = SHOPPER_PLAN_DECIDE;
    shopper->m_presence = kPresenceOutside;
    shopper->ChooseTarget();
    EXPECT_EQ(SHOPPER_PLAN_LEAVE, shopper->m_plan);
    // A level without spawn points gives no way out: the shopper pauses where it stands and tries again.
    EXPECT_EQ(1, shopper->ChooseTarget());
    EXPECT_EQ(nullptr, shopper->m_pExitObject);
    EXPECT_EQ(-1, shopper->m_targetCell);

    ASSERT_EQ(0, ground.BuildStoreyAbove(4.0f, &tile, nullptr));
    std::unique_ptr<CFerroxBlockMesh> upper(ground.GetUpper());
    shopper->SetBlockGrid(upper.get());
    shopper->m_plan = SHOPPER_PLAN_DECIDE;
    shopper->m_record.visits = 0;
    shopper->m_record.H = 0;
    shopper->ChooseTarget();
    EXPECT_EQ(SHOPPER_PLAN_STAIRS, shopper->m_plan);
    EXPECT_EQ(0, shopper->m_choiceFlag);
    EXPECT_EQ(1, shopper->ChooseTarget()) << "a leaving shopper keeps looking for stairs";
    EXPECT_EQ(SHOPPER_PLAN_STAIRS, shopper->m_plan);
    shopper->SetBlockGrid(&ground);

    // Inside a mall without a door the leaving shopper keeps looking for one.
    shopper->m_plan = SHOPPER_PLAN_DOOR;
    for (int round = 0; round < 3; round++) {
        EXPECT_EQ(1, shopper->ChooseTarget()) << round;
        EXPECT_EQ(SHOPPER_PLAN_DOOR, shopper->m_plan) << round;
    }
}

TEST_F(ShopperTest, FailuresCostPatience)
{
    CShopper* shopper = MakeShopper(Cell(8, 8));
    shopper->m_failCount = 4;
    shopper->m_record.H = 150;
    shopper->ChooseTarget();
    EXPECT_EQ(50, shopper->m_record.H);
    shopper->ChooseTarget();
    EXPECT_EQ(0, shopper->m_record.H) << "stops at 0";
}

// A shopper with 30 buys in a shop of price 50: it pays 30 and keeps nothing; bags show after the first and
// fifth purchases, and again when a shopper with 6 purchases is loaded.
TEST_F(ShopperTest, PurchasesAndBags)
{
    auto* shop = MakeShop(Cell(4, 4), 50, {"plain"});
    CShopper* shopper = MakeShopper(shop->GetEntranceCell(0));
    shopper->m_presence = kPresenceInside;
    shopper->m_pTarget = shop;
    shopper->m_record.M = 30;
    shopper->m_record.S = 20;
    shopper->CompleteVisit();
    EXPECT_EQ(0, shopper->m_record.M);
    EXPECT_EQ(30, shop->GetRecord().takingsTotal);
    EXPECT_EQ(kNeedFull, shopper->m_record.S);
    EXPECT_EQ(1, shopper->m_record.visits);
    EXPECT_TRUE(Shown(shopper, "bagy"));
    EXPECT_FALSE(Shown(shopper, "bagr"));

    shopper->m_pTarget = nullptr;
    shopper->m_targetCell = -1;
    shopper->m_record.visits = 6;
    const std::string text = Saved(shopper, "shopper.txt");
    CShopper* loaded = MakeShopper(Cell(0, 0));
    EXPECT_FALSE(Shown(loaded, "bagy"));
    EXPECT_EQ(0, LoadInto(loaded, text, "shopper.txt"));
    EXPECT_EQ(6, loaded->m_record.visits);
    EXPECT_EQ(0, loaded->m_record.M);
    EXPECT_TRUE(Shown(loaded, "bagy"));
    EXPECT_TRUE(Shown(loaded, "bagr"));
}

// Amounts beyond the 16-bit figures: a purchase larger than the signed amount a shop books is booked at the
// largest it takes rather than as a refund, and money from a cash machine stops at the largest sum it holds.
TEST_F(ShopperTest, LargeSumsStopAtTheirLimits)
{
    auto* shop = MakeShop(Cell(4, 4), 40000, {"plain"});
    CShopper* shopper = MakeShopper(shop->GetEntranceCell(0));
    shopper->m_pTarget = shop;
    shopper->m_record.M = 50000;
    shopper->CompleteVisit();
    EXPECT_EQ(static_cast<uint32_t>(INT16_MAX), static_cast<uint32_t>(shop->GetRecord().takingsTotal));
    EXPECT_EQ(10000, shopper->m_record.M);

    struct CashMachine : CUsableObject {
        CashMachine()
        {
            m_usableKind = 1;
            m_usePrice = 60000;
        }
    } machine;
    shopper->m_pTarget = &machine;
    shopper->CompleteVisit();
    shopper->m_pTarget = nullptr;
    EXPECT_EQ(UINT16_MAX, shopper->m_record.M);
}

// Shoppers count as come as they register, before any door, and the 100th and 1000th post their messages;
// passing a door counts for nothing.
TEST_F(ShopperTest, ShoppersComeAsTheyRegisterAndMilestones)
{
    stats->m_shoppersCome = 99;
    CShopper* first = MakeShopper(Cell(8, 8));
    EXPECT_EQ(100, stats->m_shoppersCome) << "spawned outside, come all the same";
    EXPECT_EQ((std::vector<int16_t>{26}), notices.messages);
    ASSERT_EQ(1u, notices.samples.size());
    EXPECT_EQ(std::make_pair(6, 255), notices.samples[0]);
    CDoorObject door;
    first->m_presence = kPresenceOutside;
    first->m_pTarget = &door;
    first->CompleteVisit();
    first->m_pTarget = nullptr;
    EXPECT_EQ(kPresenceInside, first->m_presence);
    EXPECT_EQ(100, stats->m_shoppersCome) << "coming in is not counted again";
    MakeShopper(Cell(8, 9));
    EXPECT_EQ(101, stats->m_shoppersCome);
    EXPECT_EQ(1u, notices.messages.size()) << "the 101st is nothing special";
    stats->m_shoppersCome = 999;
    MakeShopper(Cell(8, 10));
    EXPECT_EQ((std::vector<int16_t>{26, 28}), notices.messages);
}
