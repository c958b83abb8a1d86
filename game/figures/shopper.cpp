// Shoppers: set-up from the template, needs and patience, the plan machine, purchases and bags, saved lines.
//
// Sections: life cycle; stepping and needs; the plan machine; visits; appearance and debug; saved lines.
#include "game/figures/shopper.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "game/buildings/building.h"
#include "game/buildings/shop.h"
#include "game/figures/spawner.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/2d/charset.h"
#include "gfx/core/assert.h"

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kBagsPart = "b";
constexpr const char* kYellowBags = "bagy";
constexpr const char* kRedBags = "bagr";
constexpr GxUInt8 kRenderMask = 4;
constexpr int kBagsHidden = 100;
constexpr uint16_t kRedBagVisits = 5;

// Counts of all shoppers ever come that the game celebrates, with messages 26 onwards.
constexpr uint16_t kMilestones[] = {100, 500, 1000, 5000, 10000};

// Template defaults when its value list is short.
constexpr uint16_t kDefaultAge = 30;
constexpr uint16_t kDefaultRate = 5;
// Age spread added to the template's age: more for adults.
constexpr uint16_t kYoungAge = 20;
constexpr int kYoungSpread = 10;
constexpr int kAdultSpread = 20;
constexpr int kMoneyRange = 1000;
constexpr int kMoneyBase = 250;
constexpr int kStarSigns = 12;
constexpr int kArrivalModes = 4;
constexpr int kAnimationOffsets = 11;

// The wish to shop drops by this at each run-down.
constexpr uint16_t kShopWishStep = 10;
// Needs above this may send the shopper upstairs instead, one time in this many.
constexpr uint16_t kRestlessNeed = 50;
constexpr int kRestlessChance = 4;
// Failed searches beyond this send the shopper wandering.
constexpr uint16_t kFailLimit = 3;
// Patience lost at once for a failure of a larger kind.
constexpr int32_t kPatienceBigLoss = 10;
// A shop's entrance is in reach within this many cell sizes.
constexpr float kShopReachCells = 50.0f;
constexpr uint16_t kAppealMax = 3;
constexpr int kImpatientChoices = 5;

// Footfall: a tiled cell's count beyond (level + 2) x 10 becomes litter.
constexpr int32_t kLitterStep = 10;
constexpr int32_t kLitterBase = 2;

// Facility kinds by plan.
constexpr int32_t kKindMoney = 1;
constexpr int32_t kKindB = 2;
constexpr int32_t kKindE = 3;
constexpr int32_t kKindSix = 6;

constexpr int kDebugX = 372;
constexpr int kDebugY = 50;
constexpr int kDebugLineSize = 160;

uint16_t SubtractToZero(uint16_t value, int32_t amount)
{
    return value > amount ? static_cast<uint16_t>(value - amount) : 0;
}

uint16_t AddWithin(uint16_t value, int32_t amount, int32_t limit)
{
    return static_cast<uint16_t>(std::min<int32_t>(static_cast<int32_t>(value) + amount, limit));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Life cycle

CShopper::CShopper() : m_record(), m_registered(0) { CShopper::Init(); }

void CShopper::Init()
{
    CAICharacter::Init();
    m_needTimer = 0.0f;
    m_plan = SHOPPER_PLAN_DECIDE;
    m_candidateWeight = 0;
}

void CShopper::ClearCandidates()
{
    m_candidates.clear();
    m_candidateWeight = 0;
}

void CShopper::Release()
{
    ClearCandidates();
    Unregister();
    CAICharacter::Release();
}

// The manager deletes a shopper that leaves without its Release: the register must not keep its record.
CShopper::~CShopper() { Unregister(); }

void CShopper::Unregister()
{
    if (!m_registered)
        return;
    m_registered = 0;
    if (CStatistics* stats = CDynamicObjectManager::PeekStatistics())
        stats->RemoveShopper(&m_record);
}

void CShopper::Setup(const FerroxObjectDescriptor* descriptor)
{
    CAICharacter::Setup(descriptor);
    SetAnimationTimer(static_cast<float>(FerroxRand() % kAnimationOffsets));
    ApplyTints();
    if (m_pModel) {
        m_pModel->ShowPartVariant(kBagsPart, kRenderMask, kBagsHidden);
    }
    m_record.age = kDefaultAge;
    m_record.G = 0;
    m_record.rateH = m_record.rateE = m_record.rateB = kDefaultRate;
    if (CFerroxAssetSet* set = GetAssetSet()) {
        uint16_t* fields[] = {&m_record.age, &m_record.G, &m_record.rateH, &m_record.rateE, &m_record.rateB};
        const std::vector<std::string>& values = set->GetValues();
        for (size_t i = 0; i < values.size() && i < sizeof fields / sizeof fields[0]; i++) {
            unsigned short value = 0;
            if (FromString<unsigned short>(values[i], value))
                *fields[i] = value;
        }
    }
    const int spread = m_record.age < kYoungAge ? kYoungSpread : kAdultSpread;
    m_record.age = static_cast<uint16_t>(m_record.age + FerroxRand() % spread);
    m_record.S = m_record.E = m_record.B = kNeedFull;
    m_record.H = kPatienceFull;
    m_record.reserved = 0;
    m_record.visits = 0;
    m_record.M = static_cast<uint16_t>(FerroxRand() % kMoneyRange + kMoneyBase);
    m_record.starSign = static_cast<uint16_t>(FerroxRand() % kStarSigns);
    m_record.arrival = static_cast<uint16_t>(FerroxRand() % kArrivalModes);
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats || m_registered)
        return;
    stats->AddShopper(&m_record);
    m_registered = 1;
    TellMilestone(stats->m_shoppersCome);
}

void CShopper::TellMilestone(uint16_t came)
{
    for (size_t i = 0; i < sizeof kMilestones / sizeof kMilestones[0]; i++) {
        if (came != kMilestones[i])
            continue;
        PostMessage(static_cast<int16_t>(kShopperMilestoneFirstMessage + i));
        PlaySample(kShopperMilestoneSample, kFullVolume);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Stepping and needs

void CShopper::UpdateAI(float dt)
{
    CAICharacter::UpdateAI(dt);
    m_needTimer += dt;
    // Outside the mall the timer keeps growing, so the first run-down comes on entering.
    if (m_needTimer >= kNeedSeconds && m_entered) {
        m_needTimer = 0.0f;
        UpdateNeeds();
    }
    Footfall();
}

void CShopper::Footfall()
{
    CFerroxBlockMesh* mesh = GetFloorMesh();
    if (!mesh || !mesh->IsValidCell(m_currentCell, 0) || m_currentCell == m_previousCell)
        return;
    CFerroxBlock* block = mesh->GetBlock(m_currentCell);
    if (block->IsOccupied() || block->HasObject(nullptr) || !mesh->IsAreaTiled(m_currentCell, 1, 1))
        return;
    block->m_spare++;
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    const int32_t level = stats && !stats->m_categories.empty() ? stats->m_categories[0] : -1;
    if (block->m_spare > (level + kLitterBase) * kLitterStep)
        mesh->OccupyCell(m_currentCell);
}

void CShopper::UpdateNeeds()
{
    m_record.B = SubtractToZero(m_record.B, m_record.rateB);
    m_record.E = SubtractToZero(m_record.E, m_record.rateE);
    if (m_record.B == 0)
        m_record.H = SubtractToZero(m_record.H, m_record.rateH);
    if (m_record.E == 0)
        m_record.H = SubtractToZero(m_record.H, m_record.rateH);
    if (m_record.M == 0)
        m_record.H = SubtractToZero(m_record.H, m_record.rateH);
    m_record.S = SubtractToZero(m_record.S, kShopWishStep);
}

uint16_t* CShopper::GetMostPressingNeed()
{
    uint16_t limit = kNeedFull;
    uint16_t* result = nullptr;
    for (uint16_t* need : {&m_record.S, &m_record.M, &m_record.E, &m_record.B}) {
        if (*need <= limit) {
            result = need;
            limit = *need;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// The plan machine

int CShopper::LoseFromPatience(int32_t amount)
{
    m_record.H = SubtractToZero(m_record.H, amount);
    return 0;
}

int CShopper::ChooseTarget()
{
    if (m_failCount > kFailLimit) {
        LoseFromPatience(kPatienceBigLoss * m_record.rateH);
        return CAICharacter::ChooseTarget();
    }
    switch (m_plan) {
    case SHOPPER_PLAN_DECIDE: {
        ClearCandidates();
        if (m_record.H == 0 || m_record.visits >= kShopperVisitLimit) {
            if (GetLevelNumber() == 0) {
                m_plan = m_presence < kPresenceInside ? SHOPPER_PLAN_LEAVE : SHOPPER_PLAN_DOOR;
            } else {
                m_plan = SHOPPER_PLAN_STAIRS;
                m_choiceFlag = 0;
            }
            return 0;
        }
        uint16_t* need = GetMostPressingNeed();
        GX_ASSERT(need != nullptr, "the wish to shop never exceeds 100, so some need presses");
        if (*need > kRestlessNeed && FerroxRand() % kRestlessChance == 0) {
            m_plan = SHOPPER_PLAN_STAIRS;
        } else if (need == &m_record.S) {
            m_plan = SHOPPER_PLAN_WEIGH_SHOPS;
        } else if (need == &m_record.B) {
            m_plan = SHOPPER_PLAN_KIND_2;
        } else if (need == &m_record.E) {
            m_plan = SHOPPER_PLAN_KIND_3;
        } else {
            m_plan = SHOPPER_PLAN_MONEY;
        }
        return 0;
    }
    case SHOPPER_PLAN_WEIGH_SHOPS:
        return WeighShops();
    case SHOPPER_PLAN_CHOOSE_SHOP:
        return ChooseShop();
    case SHOPPER_PLAN_KIND_2:
        return SeekFacility(kKindB, m_record.rateH);
    case SHOPPER_PLAN_KIND_3:
        return SeekFacility(kKindE, m_record.rateH);
    case SHOPPER_PLAN_KIND_6:
        return SeekFacility(kKindSix, m_record.rateH);
    case SHOPPER_PLAN_MONEY:
        return SeekFacility(kKindMoney, kPatienceBigLoss * m_record.rateH);
    case SHOPPER_PLAN_STAIRS:
        return SeekStairs();
    case SHOPPER_PLAN_DOOR:
        return SeekDoor();
    case SHOPPER_PLAN_LEAVE:
        HeadForExit(CSpawner::GetInstance() ? CSpawner::GetInstance()->PickSpawnPoint(0) : nullptr);
        return 1;
    case SHOPPER_PLAN_IMPATIENT: {
        LoseFromPatience(kPatienceBigLoss * m_record.rateH);
        static const int32_t kPlans[] = {SHOPPER_PLAN_KIND_3, SHOPPER_PLAN_KIND_2, SHOPPER_PLAN_KIND_6,
                                         SHOPPER_PLAN_MONEY};
        const int choice = FerroxRand() % kImpatientChoices;
        if (choice < static_cast<int>(sizeof kPlans / sizeof kPlans[0])) {
            m_plan = kPlans[choice];
            return 0;
        }
        CAICharacter::ChooseTarget();
        m_plan = SHOPPER_PLAN_DECIDE;
        return 1;
    }
    default:
        m_plan = SHOPPER_PLAN_DECIDE;
        return 0;
    }
}

int CShopper::WeighShops()
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (!manager || !m_pGrid) {
        m_plan = SHOPPER_PLAN_MONEY;
        return 0;
    }
    const CFloorObjects* record = manager->GetFloorRecord(static_cast<int16_t>(GetLevelNumber()));
    CFerroxObject* held = GetAICharacterHooks().heldObject ? GetAICharacterHooks().heldObject() : nullptr;
    const float margin = static_cast<float>(m_pGrid->GetCellSize()) * kShopReachCells;
    bool qualified = false;
    for (CFerroxObject* object : record->shops) {
        CShop* shop = dynamic_cast<CShop*>(object);
        if (!shop || object == static_cast<CFerroxObject*>(m_pLastObject) || object == held)
            continue;
        if (!IsNearCell(shop->GetEntranceCellEx(0), margin) || shop->GetUsedSlots() >= shop->GetSlotCount() ||
            shop->GetPrice() > m_record.M)
            continue;
        qualified = true;
        int d = 1 - FerroxRand() % 3;
        const int appeal = shop->GetAppeal(m_record.age, static_cast<int16_t>(m_record.G));
        if (appeal + d > kAppealMax)
            d -= 1;
        const int weight = appeal + d;
        if (weight <= 0)
            continue;
        m_candidates.push_back({shop, static_cast<uint16_t>(weight)});
        m_candidateWeight = static_cast<uint16_t>(m_candidateWeight + weight);
    }
    if (!m_candidates.empty())
        m_plan = SHOPPER_PLAN_CHOOSE_SHOP;
    else
        m_plan = qualified ? SHOPPER_PLAN_IMPATIENT : SHOPPER_PLAN_MONEY;
    return 0;
}

int CShopper::ChooseShop()
{
    if (!m_candidates.empty()) {
        const int wanted = FerroxRand() % m_candidateWeight + 1;
        int sum = 0;
        for (const ShopperCandidate& candidate : m_candidates) {
            sum += candidate.weight;
            if (sum < wanted)
                continue;
            m_pTarget = candidate.shop;
            m_targetCell = candidate.shop->GetEntranceCellEx(0);
            m_plan = SHOPPER_PLAN_DECIDE;
            return 1;
        }
    }
    m_plan = (FerroxRand() & 1) ? SHOPPER_PLAN_STAIRS : SHOPPER_PLAN_IMPATIENT;
    return 0;
}

int CShopper::SeekFacility(int32_t kind, int32_t patienceCost)
{
    CObjectQuery query = NearestQuery(kind);
    query.excluded = m_pLastObject;
    FindTarget(&query);
    if (m_pTarget) {
        m_plan = SHOPPER_PLAN_DECIDE;
        return 1;
    }
    if (!m_choiceFlag)
        return 1;
    LoseFromPatience(patienceCost);
    if ((FerroxRand() & 1) == 0)
        m_plan = SHOPPER_PLAN_WEIGH_SHOPS;
    else
        m_plan = (FerroxRand() & 1) ? SHOPPER_PLAN_STAIRS : SHOPPER_PLAN_IMPATIENT;
    return 0;
}

int CShopper::SeekStairs()
{
    CObjectQuery query = NearestQuery(kObjectKindStairs);
    FindTarget(&query);
    if (m_pStairsLink) {
        m_plan = SHOPPER_PLAN_DECIDE;
        return 1;
    }
    if (!m_choiceFlag)
        return 1;
    LoseFromPatience(m_record.rateH);
    m_plan = (FerroxRand() & 1) ? SHOPPER_PLAN_IMPATIENT : SHOPPER_PLAN_WEIGH_SHOPS;
    return 0;
}

int CShopper::SeekDoor()
{
    CObjectQuery query = NearestQuery(kObjectKindDoor);
    FindTarget(&query);
    // Without a door in reach the shopper keeps looking for one.
    if (!m_pTarget)
        return 1;
    if (GetLevelNumber() == 0) {
        m_plan = SHOPPER_PLAN_LEAVE;
        return 0;
    }
    m_plan = SHOPPER_PLAN_STAIRS;
    m_choiceFlag = 0;
    return 1;
}

// ---------------------------------------------------------------------------------------------------------
// Visits

void CShopper::CompleteVisit()
{
    if (!m_pTarget)
        return;
    const uint16_t price = m_pTarget->GetPrice();
    switch (m_pTarget->GetKind()) {
    case kObjectKindShop: {
        m_record.visits++;
        if (m_record.visits == 1 || m_record.visits == kRedBagVisits)
            ShowBags();
        const uint16_t amount = std::min(price, m_record.M);
        m_pTarget->AddTakings(static_cast<int16_t>(std::min<uint16_t>(amount, INT16_MAX)));
        m_record.M = SubtractToZero(m_record.M, price);
        m_record.S = kNeedFull;
        break;
    }
    case kKindMoney:
        m_record.M = AddWithin(m_record.M, price, UINT16_MAX);
        m_pTarget->AddTakings(0);
        break;
    case kKindB:
        m_record.B = AddWithin(m_record.B, price, kNeedFull);
        m_pTarget->AddTakings(0);
        break;
    case kKindE:
        m_record.E = AddWithin(m_record.E, price, kNeedFull);
        m_pTarget->AddTakings(0);
        break;
    case kObjectKindDoor:
        m_entered = 1;
        m_presence = m_presence == kPresenceInside ? kPresenceOutside : kPresenceInside;
        m_pTarget->AddTakings(0);
        break;
    default:
        break;
    }
}

void CShopper::OnObjectRemoved(CFerroxObject* object)
{
    CAICharacter::OnObjectRemoved(object);
    for (auto at = m_candidates.begin(); at != m_candidates.end();) {
        if (static_cast<CFerroxObject*>(at->shop) != object) {
            ++at;
            continue;
        }
        m_candidateWeight = static_cast<uint16_t>(m_candidateWeight - at->weight);
        at = m_candidates.erase(at);
    }
}

void CShopper::ShowBags()
{
    if (!m_pModel)
        return;
    if (m_record.visits >= 1)
        m_pModel->ShowPartVariant(kYellowBags, kRenderMask, 0);
    if (m_record.visits >= kRedBagVisits)
        m_pModel->ShowPartVariant(kRedBags, kRenderMask, 0);
}

// ---------------------------------------------------------------------------------------------------------
// Appearance and debug

void CShopper::SetupAppearance()
{
    CAICharacter::SetupAppearance();
    static const char* const kClothes[] = {"hat", "shirt", "trousers", "waistcoat", "jumper", "stockings", "shoes"};
    constexpr int kColourRange = 256;
    for (const char* part : kClothes) {
        FerroxTintRecord record = {part, {0, 0, 0, 255}};
        record.colour.red = static_cast<uint8_t>(FerroxRand() % kColourRange);
        record.colour.green = static_cast<uint8_t>(FerroxRand() % kColourRange);
        record.colour.blue = static_cast<uint8_t>(FerroxRand() % kColourRange);
        m_tints.push_back(record);
        m_tintCount++;
    }
    for (const char* bag : {"right bag", "left bag"}) {
        m_tints.push_back({bag, {175, 135, 9, 255}});
        m_tintCount++;
    }
}

void CShopper::DrawDebugInfo(GxRaster* charset)
{
    CAICharacter::DrawDebugInfo(charset);
    if (!charset)
        return;
    char line[kDebugLineSize];
    std::snprintf(line, sizeof line, "s:%d ms:%d ps:%d age:%d G:%d H:%d E:%d B:%d S:%d M:%d", GetState(),
                  m_movementMode, m_routeState, m_record.age, m_record.G, m_record.H, m_record.E, m_record.B,
                  m_record.S, m_record.M);
    GxCharsetPrint(charset, line, kDebugX, kDebugY);
}

// ---------------------------------------------------------------------------------------------------------
// Saved lines

int CShopper::SaveFields(CFerroxFile* file)
{
    CAICharacter::SaveFields(file);
    for (uint16_t value : {m_record.M, m_record.reserved, m_record.visits, m_record.age, m_record.starSign, m_record.H,
                           m_record.E, m_record.B})
        file->WriteLine(ToString<unsigned short>(value) + kLineEnd);
    return 0;
}

int CShopper::Load(CFerroxFile* file)
{
    int result = CAICharacter::Load(file);
    uint16_t* fields[] = {&m_record.M,        &m_record.reserved, &m_record.visits, &m_record.age,
                          &m_record.starSign, &m_record.H,        &m_record.E,      &m_record.B};
    for (uint16_t* field : fields) {
        int32_t value = 0;
        if (!ReadInt(file, 0, UINT16_MAX, &value)) {
            m_removeFlag = 1;
            return 1;
        }
        *field = static_cast<uint16_t>(value);
    }
    ShowBags();
    return result;
}
