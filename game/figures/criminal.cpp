// Criminals: the crimes they came for, thefts and vandalism, being held, and their saved lines.
#include "game/figures/criminal.h"

#include <cstdio>
#include <cstdlib>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/navigation/blockgrid.h"
#include "game/buildings/building.h"
#include "game/figures/spawner.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/2d/charset.h"

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kPauseAnimation = "pause";
constexpr int kAnimationOffsets = 11;
// Crimes a criminal comes for: 3 to 10.
constexpr int kWantedRange = 8;
constexpr int kWantedLeast = 3;
constexpr uint16_t kFailLimit = 3;
// A shop three times in four; otherwise one of five other choices.
constexpr int kShopChance = 4;
constexpr int kOtherChoices = 5;
constexpr int32_t kKindMoney = 1;
constexpr int32_t kKindB = 2;
constexpr int kDebugX = 375;
constexpr int kDebugY = 50;
constexpr int kDebugLineSize = 160;

}  // namespace

CCriminal::CCriminal() : m_counted(0) { CCriminal::Init(); }

void CCriminal::Init()
{
    CAICharacter::Init();
    m_wanted = 0;
    m_crimes = 0;
}

void CCriminal::LeaveCount()
{
    if (!m_counted)
        return;
    m_counted = 0;
    if (CStatistics* stats = CDynamicObjectManager::PeekStatistics())
        stats->m_criminalsPresent--;
}

void CCriminal::Release()
{
    // A guard chasing it drops the chase.
    if (CDynamicObjectManager* manager = CDynamicObjectManager::Peek()) {
        const ObjectList guards = manager->GetSecurity();
        for (CFerroxObject* guard : guards) {
            if (CAICharacter* character = dynamic_cast<CAICharacter*>(guard))
                character->OnObjectRemoved(this);
        }
    }
    LeaveCount();
    CAICharacter::Release();
}

CCriminal::~CCriminal() { LeaveCount(); }

void CCriminal::Setup(const FerroxObjectDescriptor* descriptor)
{
    CAICharacter::Setup(descriptor);
    SetAnimationTimer(static_cast<float>(FerroxRand() % kAnimationOffsets));
    ApplyTints();
    m_wanted = static_cast<uint16_t>(FerroxRand() % kWantedRange + kWantedLeast);
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (stats && !m_counted) {
        stats->m_criminalsPresent++;
        m_counted = 1;
    }
}

int CCriminal::ChooseTarget()
{
    if (m_failCount > kFailLimit)
        return CAICharacter::ChooseTarget();
    CObjectQuery query = NearestQuery(kObjectKindAny);
    if (m_crimes >= m_wanted) {
        if (m_presence < kPresenceInside) {
            ClearTarget();
        } else {
            query.kind = GetLevelNumber() == 0 ? kObjectKindDoor : kObjectKindStairs;
            FindTarget(&query);
        }
        if (!m_pTarget && !m_pStairsLink)
            HeadForExit(CSpawner::GetInstance() ? CSpawner::GetInstance()->PickSpawnPoint(0) : nullptr);
        return 1;
    }
    query.excluded = m_pLastObject;
    bool search = true;
    if (FerroxRand() % kShopChance != 0) {
        query.kind = kObjectKindShop;
    } else {
        switch (FerroxRand() % kOtherChoices) {
        case 0:
            query.kind = kKindB;
            break;
        case 1:
        case 2:
            query.kind = kKindMoney;
            break;
        case 3:
            query.kind = kObjectKindStairs;
            query.excluded = nullptr;
            break;
        default:
            search = false;
            break;
        }
    }
    if (search)
        FindTarget(&query);
    if (!m_pTarget && !m_pStairsLink)
        return CAICharacter::ChooseTarget();
    return 1;
}

void CCriminal::CompleteVisit()
{
    if (!m_pTarget)
        return;
    switch (m_pTarget->GetKind()) {
    case kObjectKindShop:
        // The theft takes the shop's price out of its takings.
        m_pTarget->AddTakings(static_cast<int16_t>(-static_cast<int32_t>(m_pTarget->GetPrice())));
        m_crimes++;
        PostMessage(kMessageTheft);
        PlaySample(kCrimeSample, 255);
        break;
    case kObjectKindDoor:
        m_presence = m_presence == kPresenceInside ? kPresenceOutside : kPresenceInside;
        m_pTarget->AddTakings(0);
        break;
    default:
        m_pTarget->AddTakings(0);
        m_pTarget->CreateEffects();
        m_crimes++;
        PostMessage(kMessageVandalism);
        PlaySample(kCrimeSample, 255);
        break;
    }
}

void CCriminal::PlaySlotAction(CFerroxSpline*) { PlayAnimation(kPauseAnimation, 1, kSlotActionSeconds); }

int CCriminal::HandleExtraState(int event, uint8_t state)
{
    if (state == kCriminalHeldState && event == FERROX_FSM_ENTER) {
        PlayAnimation(kPauseAnimation, 1, 0.0f);
        m_movementMode = FERROX_MOVE_STANDING;
    }
    return 1;
}

CCriminal* CCriminal::IsCatchable(int floorId, float radius, const GxV3d& position)
{
    if (!m_pGrid || m_pGrid->GetFloorId() != floorId || m_presence <= kPresenceNone)
        return nullptr;
    if (!IsNearPoint(position.x, position.z, radius) || GetState() != AI_STATE_ACT)
        return nullptr;
    return this;
}

int16_t CCriminal::GetCatchCell()
{
    if (m_pGrid && m_pGrid->IsValidCell(m_currentCell, 0) && m_pGrid->GetBlock(m_currentCell)->IsWalkable())
        return static_cast<int16_t>(m_currentCell);
    if (GetState() == AI_STATE_ACT && m_pTarget)
        return static_cast<int16_t>(m_pTarget->GetEntranceCellEx(0));
    return -1;
}

int CCriminal::ShouldSave() { return CAICharacter::ShouldSave() && GetState() != kCriminalHeldState ? 1 : 0; }

int CCriminal::SaveFields(CFerroxFile* file)
{
    CAICharacter::SaveFields(file);
    file->WriteLine(ToString<unsigned short>(m_wanted) + kLineEnd);
    file->WriteLine(ToString<unsigned short>(m_crimes) + kLineEnd);
    return 0;
}

int CCriminal::Load(CFerroxFile* file)
{
    const int result = CAICharacter::Load(file);
    int32_t wanted = 0, crimes = 0;
    if (!ReadInt(file, 0, UINT16_MAX, &wanted) || !ReadInt(file, 0, UINT16_MAX, &crimes)) {
        m_removeFlag = 1;
        return 1;
    }
    m_wanted = static_cast<uint16_t>(wanted);
    m_crimes = static_cast<uint16_t>(crimes);
    return result;
}

void CCriminal::DrawDebugInfo(GxRaster* charset)
{
    CAICharacter::DrawDebugInfo(charset);
    if (!charset)
        return;
    char line[kDebugLineSize];
    std::snprintf(line, sizeof line, "s: %d ms: %d ps: %d, FTB: %d, C: %d, CM: %d", GetState(), m_movementMode,
                  m_routeState, m_targetCell, m_crimes, m_wanted);
    GxCharsetPrint(charset, line, kDebugX, kDebugY);
}
