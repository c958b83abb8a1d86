// Shoppers: AI characters with an age, a sex flag, money and needs that run down, a plan machine that picks
// shops by their appeal and facilities by need, and the way out once patience, money or wishes are spent.
//
// A shopper registers its record with the statistics at set-up and takes it out at release; the record is
// the shopper's own. Messages and samples go through the game's notice seam. One thread.
#pragma once

#include <cstdint>
#include <vector>

#include "game/figures/aichar.h"

class CShop;

// The shopper's figures as the statistics' register and the shopper panels read them, in this order.
struct ShopperRecord {
    uint16_t M;  // money
    uint16_t reserved;
    uint16_t visits;  // purchases made
    uint16_t age;
    uint16_t starSign;
    uint16_t G;  // sex flag
    uint16_t arrival;
    uint16_t H;  // patience
    uint16_t E;  // need restored by kind 3
    uint16_t B;  // need restored by kind 2
    uint16_t rateH;
    uint16_t rateE;
    uint16_t rateB;
    uint16_t S;  // wish to shop
};

// A shop weighed by the last shop search.
struct ShopperCandidate {
    CShop* shop;
    uint16_t weight;
};

// The decision's plans.
enum ShopperPlan : int32_t {
    SHOPPER_PLAN_DECIDE = 0,
    SHOPPER_PLAN_WEIGH_SHOPS = 1,
    SHOPPER_PLAN_KIND_6 = 2,
    SHOPPER_PLAN_KIND_2 = 3,
    SHOPPER_PLAN_KIND_3 = 4,
    SHOPPER_PLAN_STAIRS = 5,
    SHOPPER_PLAN_MONEY = 6,
    SHOPPER_PLAN_DOOR = 7,
    SHOPPER_PLAN_LEAVE = 8,
    SHOPPER_PLAN_CHOOSE_SHOP = 9,
    SHOPPER_PLAN_IMPATIENT = 10,
};

// Messages and sample of a shopper count reached.
constexpr int16_t kShopperMilestoneFirstMessage = 26;
constexpr int32_t kShopperMilestoneSample = 6;
constexpr int32_t kFullVolume = 255;
// Needs and patience at set-up, and their limit.
constexpr uint16_t kNeedFull = 100;
constexpr uint16_t kPatienceFull = 1000;
// Seconds between two run-downs of the needs inside the mall.
constexpr float kNeedSeconds = 9.0f;
// Purchases after which a shopper leaves.
constexpr uint16_t kShopperVisitLimit = 10;

class CShopper : public CAICharacter {
public:
    CShopper();
    void Init() override;
    // Frees the candidates and takes the record out of the statistics (once).
    void Release() override;
    ~CShopper() override;

    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int Load(CFerroxFile* file) override;
    void DrawDebugInfo(GxRaster* charset) override;
    void UpdateAI(float dt) override;
    void UpdateNeeds() override;
    int SaveFields(CFerroxFile* file) override;
    void CompleteVisit() override;
    int ChooseTarget() override;
    void SetupAppearance() override;
    int VisitTarget() override { return CAICharacter::VisitTarget(); }
    int DoActivity() override { return CAICharacter::DoActivity(); }
    void ClearTarget() override { CAICharacter::ClearTarget(); }
    // Also forgets a removed shop among the candidates.
    void OnObjectRemoved(CFerroxObject* object) override;

    // The smallest of S, M, E and B not above 100 (the later on a tie), or null.
    uint16_t* GetMostPressingNeed();
    // Shows the bags the purchases imply.
    void ShowBags();
    void ClearCandidates();

    std::vector<ShopperCandidate> m_candidates;
    uint16_t m_candidateWeight;
    ShopperRecord m_record;
    float m_needTimer;
    int32_t m_plan;

private:
    int ChooseShop();
    int WeighShops();
    int SeekFacility(int32_t kind, int32_t patienceCost);
    int SeekStairs();
    int SeekDoor();
    int LoseFromPatience(int32_t amount);
    void Footfall();
    // The milestones of the count of shoppers come, told as the shopper registers.
    void TellMilestone(uint16_t came);
    // Takes the record out of the statistics' register, once.
    void Unregister();

    int32_t m_registered;
};
