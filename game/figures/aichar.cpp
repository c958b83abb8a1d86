// The AI character: its state machine, targets and visits, stairs and exits, removals under it, appearance
// and saved lines.
//
// Sections: hooks and helpers; life cycle; stepping; the state handler; targets; visits; removals and
// visibility; appearance and debug; saved lines.
#include "game/figures/aichar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/composite.h"
#include "engine/world/dynobject.h"
#include "engine/world/spline.h"
#include "game/buildings/building.h"
#include "game/buildings/stairs.h"
#include "game/figures/spawner.h"
#include "game/world/floors.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/2d/charset.h"
#include "gfx/core/assert.h"

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kPauseAnimation = "pause";
constexpr const char* kWalkAnimation = "walk";
constexpr const char* kShadowPart = "shadow";
constexpr const char* kSitAction = "sit";
constexpr char kActionSeparator = '_';
constexpr GxUInt8 kRenderMask = 4;
constexpr int kShadowKept = 100;

// Wandering: offsets of -15 to 15 cells, never closer than 4 in both directions.
constexpr int kWanderSpan = 31;
constexpr int kWanderReach = 15;
constexpr int kWanderMinimum = 4;
// Crossing between tiled and open ground happens one time in this many.
constexpr int kCrossTiledChance = 3;
// Walk offsets: rand() mod (cell size x 100) + 1, over cell size x 250, up to 0.4 units aside.
constexpr int kOffsetSteps = 100;
constexpr float kOffsetScale = 250.0f;

constexpr float kTurnAbout = 180.0f;
constexpr int kDebugX = 550;
constexpr int kDebugY = 65;
constexpr int kDebugLineSize = 160;

// Appearance: skin and hair draws.
constexpr int kColourChoices = 4;
constexpr GxRGBA kSkinLight = {245, 175, 140, 255};
constexpr GxRGBA kSkinMid = {205, 130, 0, 255};
constexpr GxRGBA kSkinDark = {125, 69, 49, 255};
constexpr uint8_t kOpaque = 255;

AICharacterHooks g_aiHooks = {};

const GxV3d kUp = {0.0f, 1.0f, 0.0f};

bool HasCell(CFerroxBlockGrid* grid, int cell, int whole) { return grid && grid->IsValidCell(cell, whole); }

bool IsWalkableCell(CFerroxBlockGrid* grid, int cell)
{
    return HasCell(grid, cell, 0) && grid->GetBlock(cell)->IsWalkable();
}

CFerroxBase* OccupantOf(CFerroxBlockGrid* grid, int cell)
{
    return HasCell(grid, cell, 0) ? grid->GetBlock(cell)->m_pOccupant : nullptr;
}

int32_t KindOf(CPathableObject* object) { return object ? object->GetKind() : kObjectKindAny; }

}  // namespace

void SetAICharacterHooks(const AICharacterHooks& hooks)
{
    if (hooks.levelWorld)
        g_aiHooks.levelWorld = hooks.levelWorld;
    if (hooks.heldObject)
        g_aiHooks.heldObject = hooks.heldObject;
}

const AICharacterHooks& GetAICharacterHooks() { return g_aiHooks; }

// ---------------------------------------------------------------------------------------------------------
// Life cycle

CAICharacter::CAICharacter() : m_holdsSlot(0), m_pSlotObject(nullptr)
{
    m_pauseTimer = kAIPauseSeconds;
    CAICharacter::Init();
}

void CAICharacter::Init()
{
    CFerroxCharacter::Init();
    CFerroxFSM::Init();
    m_removeFlag = 0;
    m_slotIndex = -1;
    m_onStairs = 0;
    m_pPendingFloor = nullptr;
    m_aiTimer = 0.0f;
    m_choiceFlag = 1;
    m_failCount = 0;
    m_entered = 0;
    m_pTarget = nullptr;
    m_pLastObject = nullptr;
    m_pExitObject = nullptr;
    m_pStairsLink = nullptr;
    m_afterWalkState = AI_STATE_PAUSE;
    m_presence = kPresenceNone;
    m_visitPhase = kVisitStart;
    m_holdsSlot = 0;
    m_pSlotObject = nullptr;
}

void CAICharacter::Release()
{
    ReleaseSlot();
    CAICharacter::Init();
}

CAICharacter::~CAICharacter() { ReleaseSlot(); }

void CAICharacter::Setup(const FerroxObjectDescriptor* descriptor)
{
    if (!descriptor)
        return;
    FerroxObjectDescriptor own = *descriptor;
    if (!own.grid)
        own.grid = static_cast<CFerroxBlockGrid*>(static_cast<CFerroxBlockMesh*>(own.floorObject));
    CFerroxCharacter::Setup(&own);
    SetupAppearance();
    if (m_pModel)
        m_pModel->ShowPartVariant(kShadowPart, kRenderMask, kShadowKept);
}

void CAICharacter::StartAt(CSpawnPoint* point)
{
    if (!point || !point->spline || point->spline->GetPointCount() < 1 || !point->spline->GetPoints())
        return;
    const GxV3d at = point->spline->GetPoints()[point->spline->GetPointCount() - 1];
    Translate(&at, 0);
    if (m_pGrid)
        m_currentCell = m_pGrid->GetCellAt(at);
}

int32_t CAICharacter::GetLevelNumber()
{
    CFerroxBlockMesh* mesh = GetFloorMesh();
    if (!mesh)
        return 0;
    CFloorManager* floors = CFloorManager::GetInstance();
    const uint16_t index = floors ? floors->GetFloorIndex(mesh) : static_cast<uint16_t>(mesh->CountLinked());
    // A floor no base floor leads to counts as the ground.
    return index == kNoStorey ? 0 : index;
}

CFerroxBlockMesh* CAICharacter::GetFloorMesh() { return dynamic_cast<CFerroxBlockMesh*>(m_pGrid); }

void CAICharacter::ApplyTints()
{
    if (!m_pModel)
        return;
    std::vector<FerroxTint> tints;
    for (const FerroxTintRecord& record : m_tints)
        tints.push_back(
            {record.part, {record.colour.red, record.colour.green, record.colour.blue, record.colour.alpha}});
    m_pModel->TintMaterials(tints, nullptr, nullptr);
}

void CAICharacter::PostMessage(int16_t number)
{
    if (g_pGameContext)
        g_pGameContext->QueueMessage(number);
}

void CAICharacter::PlaySample(int32_t sample, int32_t volume)
{
    if (g_pGameContext)
        g_pGameContext->PlaySample(sample, volume);
}

// ---------------------------------------------------------------------------------------------------------
// Stepping

void CAICharacter::Update(float dt)
{
    UpdateAI(dt);
    if (!m_removeFlag)
        return;
    if (CDynamicObjectManager* manager = CDynamicObjectManager::Peek())
        manager->RemoveObject(this, 0);
}

void CAICharacter::UpdateAI(float dt)
{
    if (m_presence > kPresenceNone && GetState() == AI_STATE_WALK && !IsNextWaypointWalkable())
        Repath();
    CFerroxCharacter::Update(dt);
    m_aiTimer += dt;
    if (m_aiTimer >= kAIStepSeconds) {
        // Restarts at 0: the machine steps at most once a frame, whatever the frame time.
        m_aiTimer = 0.0f;
        UpdateState();
    }
}

void CAICharacter::Repath()
{
    if (m_onStairs)
        return;
    StopMoving();
    m_pathParam = m_backwards ? 1.0f : 0.0f;
    m_movementMode = FERROX_MOVE_STANDING;
    m_afterWalkState = AI_STATE_FIND_PATH;
}

float CAICharacter::PathBudget()
{
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats)
        return 0.0f;
    const int32_t walkers = static_cast<int32_t>(stats->m_shoppersPresent) +
                            static_cast<int32_t>(static_cast<uint16_t>(stats->m_criminalsPresent));
    // Nobody present: the search is not limited (the engine reads 0 as no limit).
    return walkers > 0 ? kPathBudgetSeconds / static_cast<float>(walkers) : 0.0f;
}

// ---------------------------------------------------------------------------------------------------------
// The state handler

int CAICharacter::StateHandler(int event, uint8_t state)
{
    if (state > AI_STATE_DONE)
        return HandleExtraState(event, state);
    if (event == FERROX_FSM_ENTER) {
        if (state == AI_STATE_PAUSE) {
            m_pauseTimer = kAIPauseSeconds;
            PlayAnimation(kPauseAnimation, 0, 0.0f);
        } else if (state == AI_STATE_WALK) {
            EnterWalk();
        }
        return 1;
    }
    if (event == FERROX_FSM_EXIT) {
        if (state == AI_STATE_WALK) {
            ExitWalk();
        } else if (state == AI_STATE_ACT) {
            // However the visit ends, a slot still held goes back now.
            ReleaseSlot();
            ClearTarget();
        }
        return 1;
    }
    if (event != FERROX_FSM_UPDATE)
        return 0;
    switch (state) {
    case AI_STATE_START:
        if ((m_presence != kPresenceNone || StartWalking()) && GetNextState() == AI_STATE_START)
            SetState(AI_STATE_PAUSE);
        break;
    case AI_STATE_PAUSE:
        if (m_pauseTimer > 0.0f) {
            m_pauseTimer -= GetLastTimeStep();
            break;
        }
        m_pauseTimer = kAIPauseSeconds;
        SetState(m_targetCell < 0 ? AI_STATE_DECIDE : AI_STATE_FIND_PATH);
        break;
    case AI_STATE_DECIDE:
        if (!ChooseTarget())
            break;
        if (m_pGrid && m_pGrid->IsValidCell(m_targetCell, 1)) {
            SetState(AI_STATE_FIND_PATH);
        } else {
            ClearTarget();
            SetState(AI_STATE_PAUSE);
        }
        break;
    case AI_STATE_FIND_PATH:
        UpdateFindPath();
        break;
    case AI_STATE_WALK:
        if (m_movementMode != FERROX_MOVE_FOLLOWING) {
            m_routeState = FERROX_ROUTE_IDLE;
            SetState(static_cast<uint8_t>(m_afterWalkState));
        }
        break;
    case AI_STATE_ACT:
        if (DoActivity() && !IsChangePending())
            SetState(AI_STATE_PAUSE);
        break;
    case AI_STATE_LEAVE:
        if (StopWalking())
            SetState(AI_STATE_DONE);
        break;
    default:
        m_removeFlag = 1;
        break;
    }
    return 1;
}

void CAICharacter::UpdateFindPath()
{
    if (m_routeState != FERROX_ROUTE_READY) {
        StepPath(m_currentCell, m_targetCell, PathBudget(), 0);
        if (m_routeState == FERROX_ROUTE_FAILED) {
            if (KindOf(m_pTarget) == kObjectKindDoor)
                m_presence = kPresenceInside;
            m_failCount++;
            m_pLastObject = m_pTarget;
            m_routeState = FERROX_ROUTE_IDLE;
            ClearTarget();
            SetState(AI_STATE_PAUSE);
            return;
        }
        if (m_routeState != FERROX_ROUTE_READY) {
            // A one-shot animation that has ended is started again while the search runs.
            if (!IsAnimationLooped() && IsAnimationFinished())
                RestartAnimation();
            return;
        }
    }
    m_failCount = 0;
    if (!IsAnimationLooped() && !IsAnimationFinished() && GetAnimationTimer() > 0.0f)
        return;
    m_afterWalkState = AI_STATE_ACT;
    PlayAnimation(kWalkAnimation, 1, 0.0f);
    SetState(AI_STATE_WALK);
}

void CAICharacter::EnterWalk()
{
    if (!m_pPathSpline)
        return;
    const int cellSize = m_pGrid && m_pGrid->GetCellSize() > 0 ? m_pGrid->GetCellSize() : 1;
    const int span = cellSize * kOffsetSteps;
    int a = FerroxRand() % span + 1;
    int b = FerroxRand() % span + 1;
    if (FerroxRand() & 1)
        a = -a;
    if (FerroxRand() & 1)
        b = -b;
    m_movementMode = FERROX_MOVE_FOLLOWING;
    const float scale = static_cast<float>(cellSize) * kOffsetScale;
    m_walkOffset = {static_cast<float>(a) / scale, 0.0f, static_cast<float>(b) / scale};
    if (const GxV3d* at = GetPosition()) {
        const GxV3d start = {at->x - m_walkOffset.x, at->y - m_walkOffset.y, at->z - m_walkOffset.z};
        m_pPathSpline->SetPoint(0, start);
    }
}

void CAICharacter::ExitWalk()
{
    if (m_pPendingFloor) {
        m_pGrid = m_pPendingFloor;
        m_pPendingFloor = nullptr;
        m_pStairsLink = nullptr;
        CFloorManager* floors = CFloorManager::GetInstance();
        UpdateVisibility(floors ? floors->GetCurrentFloorIndex() : 0);
    }
    m_afterWalkState = AI_STATE_PAUSE;
    m_onStairs = 0;
}

int CAICharacter::HandleExtraState(int, uint8_t) { return 0; }

// ---------------------------------------------------------------------------------------------------------
// Targets

void CAICharacter::SpreadWanderOffset(int* a, int* b)
{
    if (std::abs(*a) >= kWanderMinimum || std::abs(*b) >= kWanderMinimum)
        return;
    // The larger in size goes out to 4 with its sign (0 counts as positive); a wins a tie.
    int* pushed = std::abs(*a) >= std::abs(*b) ? a : b;
    *pushed = *pushed < 0 ? -kWanderMinimum : kWanderMinimum;
}

int CAICharacter::ChooseTarget()
{
    m_targetCell = -1;
    if (!m_pGrid)
        return 0;
    const int column = m_pGrid->GetCellColumn(m_currentCell, 1);
    const int row = m_pGrid->GetCellRow(m_currentCell, 1);
    int a = FerroxRand() % kWanderSpan - kWanderReach;
    int b = FerroxRand() % kWanderSpan - kWanderReach;
    SpreadWanderOffset(&a, &b);
    const int candidate = m_pGrid->GetCellIndex(column + a, row + b, 1);
    // The border ring has no outer neighbours: a walk there ends off the grid.
    if (!m_pGrid->IsValidCell(candidate, 0) || !m_pGrid->GetBlock(candidate)->IsWalkable())
        return 0;
    CFerroxBlockMesh* mesh = GetFloorMesh();
    const bool sameGround = !mesh || mesh->IsAreaTiled(candidate, 1, 1) == mesh->IsAreaTiled(m_currentCell, 1, 1);
    if (!sameGround && FerroxRand() % kCrossTiledChance != 0)
        return 0;
    m_targetCell = candidate;
    return 1;
}

void CAICharacter::FindTarget(CObjectQuery* query)
{
    if (!query)
        return;
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    m_pTarget = manager ? dynamic_cast<CPathableObject*>(manager->FindObject(query)) : nullptr;
    if (!m_pTarget) {
        if (query->kind == kObjectKindDoor)
            m_entered = 1;
        else
            m_failCount++;
        return;
    }
    const int32_t kind = m_pTarget->GetKind();
    if (kind == kObjectKindStairs) {
        m_pStairsLink = m_pTarget->GetStairsLink(m_pGrid);
        if (m_pStairsLink && m_pGrid) {
            m_pLastObject = m_pTarget;
            m_targetCell = m_pGrid->GetCellAt(m_pStairsLink->position);
        }
        // Stairs are reached through their link, not as a target.
        m_pTarget = nullptr;
        return;
    }
    m_targetCell = m_pTarget->GetEntranceCellEx(kind == kObjectKindDoor ? -1 : 0);
}

CObjectQuery CAICharacter::NearestQuery(int32_t kind)
{
    CObjectQuery query = {};
    query.kind = kind;
    query.nearest = 1;
    query.testAvailable = 1;
    if (const GxV3d* at = GetPosition())
        query.position = *at;
    query.grid = m_pGrid;
    return query;
}

int CAICharacter::StartWalking()
{
    if (m_movementMode == FERROX_MOVE_FOLLOWING)
        return 0;
    m_presence = kPresenceOutside;
    CObjectQuery query = NearestQuery(kObjectKindDoor);
    FindTarget(&query);
    return 1;
}

int CAICharacter::StopWalking()
{
    if (m_movementMode == FERROX_MOVE_FOLLOWING)
        return 0;
    m_presence = kPresenceNone;
    return 1;
}

void CAICharacter::ClearTarget()
{
    m_pTarget = nullptr;
    m_pStairsLink = nullptr;
    m_pExitObject = nullptr;
    m_targetCell = -1;
    m_slotIndex = -1;
}

void CAICharacter::HeadForExit(CSpawnPoint* point)
{
    ClearTarget();
    m_pExitObject = point;
    // Without a spawn point (a loaded level may have none), or with a path of no point, there is no cell to go to.
    if (!point || point->spline->GetPointCount() < 1)
        return;
    m_targetCell = m_pGrid->GetCellAt(point->spline->GetPoints()[point->spline->GetPointCount() - 1]);
}

int CAICharacter::DoActivity()
{
    if (m_pTarget) {
        if (!VisitTarget())
            return 0;
        m_slotIndex = -1;
        return 1;
    }
    if (m_pExitObject) {
        // Out along the spawn path, backwards from where the character stands.
        FollowPath(m_pExitObject->spline.get(), 1);
        m_backwards = 1;
        m_pathParam = 1.0f;
        SetLastPointHere(m_pPathSpline.get());
        m_movementMode = FERROX_MOVE_FOLLOWING;
        SetState(AI_STATE_LEAVE);
        return 1;
    }
    if (m_pStairsLink) {
        StopMoving();
        m_pPathSpline = m_pStairsLink->path->Clone();
        m_pPendingFloor = m_pStairsLink->destination;
        CFerroxBlockGrid* destination = m_pPendingFloor;
        if (destination && m_pGrid && destination->GetOrigin().y < m_pGrid->GetOrigin().y) {
            // Walking down, the character is shown by the rules of the floor it walks to.
            CFerroxBlockGrid* current = m_pGrid;
            m_pGrid = destination;
            CFloorManager* floors = CFloorManager::GetInstance();
            UpdateVisibility(floors ? floors->GetCurrentFloorIndex() : 0);
            m_pGrid = current;
        }
        SetState(AI_STATE_WALK);
        m_onStairs = 1;
        return 1;
    }
    return 1;
}

void CAICharacter::FollowPath(CFerroxSpline* spline, int start)
{
    StopMoving();
    m_pPathSpline = spline ? spline->Clone() : nullptr;
    if (start)
        m_movementMode = FERROX_MOVE_FOLLOWING;
}

// ---------------------------------------------------------------------------------------------------------
// Visits

// A path of no points ignores the index, as the spline ignores any index it does not hold.
void CAICharacter::SetFirstPointHere(CFerroxSpline* spline)
{
    GX_ASSERT(spline, "a point is set on the path the character follows");
    if (const GxV3d* at = GetPosition())
        spline->SetPoint(0, *at);
}

void CAICharacter::SetLastPointHere(CFerroxSpline* spline)
{
    GX_ASSERT(spline, "a point is set on the path the character follows");
    if (const GxV3d* at = GetPosition())
        spline->SetPoint(spline->GetPointCount() - 1, *at);
}

void CAICharacter::TakeSlot(CPathableObject* object, uint16_t index)
{
    m_holdsSlot = 1;
    m_pSlotObject = object;
    m_slotIndex = static_cast<int16_t>(index);
}

void CAICharacter::ReleaseSlot()
{
    if (!m_holdsSlot)
        return;
    m_holdsSlot = 0;
    if (m_pSlotObject)
        m_pSlotObject->ReleaseSlot(m_slotIndex);
    m_pSlotObject = nullptr;
}

int CAICharacter::VisitTarget()
{
    GX_ASSERT(m_pTarget, "a visit has a target");
    const bool door = m_pTarget->GetKind() == kObjectKindDoor;
    if (m_visitPhase != kVisitStart && door)
        m_visitPhase = kVisitStart;
    switch (m_visitPhase) {
    case kVisitStart: {
        m_pLastObject = m_pTarget;
        // A dirty object is not used.
        if (m_pTarget->IsEffectOn())
            return 1;
        StopMoving();
        uint16_t index = kNoSlot;
        std::unique_ptr<CFerroxSpline> path = m_pTarget->AcquireSlot(&index);
        if (index != kNoSlot)
            TakeSlot(m_pTarget, index);
        if (path) {
            m_pPathSpline = std::move(path);
            m_movementMode = FERROX_MOVE_FOLLOWING;
            m_walkOffset = {0.0f, 0.0f, 0.0f};
            SetFirstPointHere(m_pPathSpline.get());
            m_visitPhase = kVisitWalkIn;
            return 0;
        }
        // A slot without a path is no use: it goes back at once.
        ReleaseSlot();
        m_slotIndex = -1;
        if (door)
            CompleteVisit();
        return 1;
    }
    case kVisitWalkIn: {
        if (m_movementMode == FERROX_MOVE_FOLLOWING)
            return 0;
        GX_ASSERT(m_pPathSpline, "the slot path was taken when the walk in began");
        const char* name = m_pPathSpline->GetName();
        if (name && std::strchr(name, kActionSeparator)) {
            PlaySlotAction(m_pPathSpline.get());
            m_visitPhase = kVisitAction;
            return 0;
        }
        CompleteVisit();
        m_visitPhase = kVisitStart;
        ReleaseSlot();
        m_slotIndex = -1;
        return 1;
    }
    case kVisitAction:
        if (!IsAnimationFinished() && GetAnimationTimer() > 0.0f)
            return 0;
        PlayAnimation(kWalkAnimation, 1, 0.0f);
        SetAnimationTimer(0.0f);
        CompleteVisit();
        m_visitPhase = kVisitWalkBack;
        m_movementMode = FERROX_MOVE_FOLLOWING;
        m_backwards = 1;
        m_pathParam = 1.0f;
        SetLastPointHere(m_pPathSpline.get());
        ReleaseSlot();
        return 0;
    default:
        if (m_movementMode == FERROX_MOVE_FOLLOWING)
            return 0;
        m_visitPhase = kVisitStart;
        m_slotIndex = -1;
        return 1;
    }
}

void CAICharacter::PlaySlotAction(CFerroxSpline* path)
{
    const char* name = path ? path->GetName() : nullptr;
    const char* separator = name ? std::strchr(name, kActionSeparator) : nullptr;
    GX_ASSERT(separator, "an action is played for a slot path whose name names one");
    const char* action = separator + 1;
    if (std::strstr(action, kSitAction))
        RotateYaw(&kUp, kTurnAbout, 1);
    PlayAnimation(action, 1, kSlotActionSeconds);
}

// ---------------------------------------------------------------------------------------------------------
// Removals and visibility

void CAICharacter::OnObjectRemoved(CFerroxObject* object)
{
    GX_ASSERT(object != nullptr, "only an object that exists is removed");
    if (object == m_pSlotObject)
        ReleaseSlot();
    if (object == static_cast<CFerroxObject*>(m_pLastObject)) {
        if (dynamic_cast<CStairs*>(object)) {
            if (m_pStairsLink) {
                SetState(AI_STATE_PAUSE);
                m_pStairsLink = nullptr;
                StopMoving();
                m_pathParam = 0.0f;
            }
            if (OccupantOf(m_pGrid, m_currentCell) == object)
                m_removeFlag = 1;
        }
        m_pLastObject = nullptr;
    }
    if (object == static_cast<CFerroxObject*>(m_pTarget)) {
        ClearTarget();
        switch (GetState()) {
        case AI_STATE_ACT:
            // It was inside.
            m_removeFlag = 1;
            break;
        case AI_STATE_WALK:
            if (m_pPathSpline && HasCell(m_pGrid, m_currentCell, 0) && !IsWalkableCell(m_pGrid, m_currentCell)) {
                const int index = m_pPathSpline->GetPointIndex(m_pathParam, m_backwards);
                const GxV3d* points = m_pPathSpline->GetPoints();
                if (points && index >= 0 && index < m_pPathSpline->GetPointCount()) {
                    Translate(&points[index], 0);
                    m_currentCell = m_pGrid->GetCellAt(points[index]);
                }
            }
            if (!IsWalkableCell(m_pGrid, m_currentCell)) {
                m_removeFlag = 1;
            } else {
                StopMoving();
                m_pathParam = 0.0f;
                SetState(AI_STATE_PAUSE);
            }
            break;
        default:
            SetState(AI_STATE_PAUSE);
            break;
        }
    }
    if (OccupantOf(m_pGrid, m_currentCell) == object)
        m_removeFlag = 1;
}

void CAICharacter::RemoveIfOnCell(int16_t cell)
{
    if (m_currentCell == cell)
        m_removeFlag = 1;
}

void CAICharacter::RemoveIfOnFloorCell(int cell, CFerroxBlockGrid* floor)
{
    if (cell >= 0 && cell == m_currentCell && floor == m_pGrid)
        m_removeFlag = 1;
}

void CAICharacter::UpdateVisibility(int32_t shownFloor)
{
    if (GetLevelNumber() <= shownFloor) {
        CFerroxWorld* world = g_aiHooks.levelWorld ? g_aiHooks.levelWorld() : nullptr;
        if (world)
            AddToWorld(world);
        return;
    }
    RemoveFromWorld();
}

// ---------------------------------------------------------------------------------------------------------
// Appearance and debug

void CAICharacter::SetupAppearance()
{
    FerroxTintRecord skin = {"skin", {}};
    const int skinChoice = FerroxRand() % kColourChoices;
    const GxRGBA& tone = skinChoice < 2 ? kSkinLight : (skinChoice == 2 ? kSkinMid : kSkinDark);
    skin.colour = {tone.red, tone.green, tone.blue, kOpaque};
    m_tints.push_back(skin);
    m_tintCount++;

    FerroxTintRecord hair = {"hair", {0, 0, 0, kOpaque}};
    const int hairChoice = FerroxRand() % kColourChoices;
    // Each byte wraps at 256, as the colour bytes are stored.
    auto draw = [](int base, int range) { return static_cast<uint8_t>(base + FerroxRand() % range); };
    if (hairChoice < 2) {
        const int base = FerroxRand() % 50;
        hair.colour.red = draw(100 + base, 10);
        hair.colour.green = draw(50 + base, 10);
        hair.colour.blue = draw(50 + base, 10);
    } else if (hairChoice == 2) {
        hair.colour.red = draw(245, 11);
        hair.colour.green = draw(230, 25);
        hair.colour.blue = draw(80, 25);
    } else {
        hair.colour.red = draw(250, 6);
        hair.colour.green = draw(130, 20);
        hair.colour.blue = draw(40, 20);
    }
    m_tints.push_back(hair);
    m_tintCount++;
}

void CAICharacter::DrawDebugInfo(GxRaster* charset)
{
    CFerroxCharacter::DrawDebugInfo(charset);
    if (!charset)
        return;
    char line[kDebugLineSize];
    std::snprintf(line, sizeof line, "AIT: %f", static_cast<double>(m_aiTimer));
    GxCharsetPrint(charset, line, kDebugX, kDebugY);
}

// ---------------------------------------------------------------------------------------------------------
// Saved lines

int CAICharacter::ShouldSave() { return m_presence > kPresenceNone && HasCell(m_pGrid, m_currentCell, 0) ? 1 : 0; }

int CAICharacter::Save(CFerroxFile* file)
{
    GX_ASSERT(file != nullptr, "a save has a file");
    if (!ShouldSave())
        return 0;
    SaveFields(file);
    return 0;
}

int CAICharacter::SaveFields(CFerroxFile* file)
{
    CFerroxBlockMesh* mesh = GetFloorMesh();
    file->WriteLine(ToString<unsigned int>(static_cast<uint32_t>(m_pGrid->GetFloorId())) + kLineEnd);
    file->WriteLine(ToString<int>(mesh ? mesh->CountLinked() : 0) + kLineEnd);
    CFerroxIOObject::Save(file);
    file->WriteLine(ToString<int>(m_currentCell) + kLineEnd);
    // A change asked for but not yet taken (as right after a load, before the next step) is the state to keep.
    file->WriteLine(ToString<unsigned short>(IsChangePending() ? GetNextState() : GetState()) + kLineEnd);
    file->WriteLine(ToString<unsigned short>(static_cast<uint16_t>(m_afterWalkState)) + kLineEnd);
    file->WriteLine(ToString<int>(m_targetCell) + kLineEnd);
    file->WriteLine(ToString<unsigned short>(static_cast<uint16_t>(m_visitPhase)) + kLineEnd);
    file->WriteLine(ToString<short>(m_slotIndex) + kLineEnd);
    file->WriteLine(ToString<float>(m_pathParam) + kLineEnd);
    file->WriteLine(ToString<unsigned short>(static_cast<uint16_t>(m_presence)) + kLineEnd);
    return 0;
}

bool CAICharacter::ReadInt(CFerroxFile* file, int32_t low, int32_t high, int32_t* out)
{
    if (file->IsEof())
        return false;
    std::string line;
    file->ReadLine(line);
    int value = 0;
    if (!FromString<int>(line, value) || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool CAICharacter::ReadFloat(CFerroxFile* file, float* out)
{
    if (file->IsEof())
        return false;
    std::string line;
    file->ReadLine(line);
    float value = 0.0f;
    if (!FromString<float>(line, value) || !(value >= 0.0f && value <= 1.0f))
        return false;
    *out = value;
    return true;
}

int CAICharacter::Load(CFerroxFile* file)
{
    const bool placed = CFerroxIOObject::Load(file) == 0;
    int32_t cell = -1, state = 0, afterWalk = 0, targetCell = -1, phase = 0, slot = -1, presence = 0;
    float parameter = 0.0f;
    const bool read = ReadInt(file, INT32_MIN, INT32_MAX, &cell) && ReadInt(file, 0, AI_STATE_DONE, &state) &&
                      ReadInt(file, 0, UINT16_MAX, &afterWalk) && ReadInt(file, INT32_MIN, INT32_MAX, &targetCell) &&
                      ReadInt(file, 0, UINT16_MAX, &phase) && ReadInt(file, INT16_MIN, INT16_MAX, &slot) &&
                      ReadFloat(file, &parameter) && ReadInt(file, 0, UINT16_MAX, &presence);
    // A character that cannot be read or placed again leaves rather than stand in an invalid cell.
    if (!placed || !read || !HasCell(m_pGrid, cell, 0)) {
        m_removeFlag = 1;
        return 1;
    }
    m_currentCell = cell;
    m_slotIndex = static_cast<int16_t>(slot);
    m_pathParam = parameter;
    // Values the machine has no state for fall back to their defaults.
    const bool afterWalkKnown =
        afterWalk == AI_STATE_PAUSE || afterWalk == AI_STATE_FIND_PATH || afterWalk == AI_STATE_ACT;
    m_afterWalkState = afterWalkKnown ? afterWalk : AI_STATE_PAUSE;
    m_visitPhase = phase <= kVisitWalkBack ? phase : kVisitStart;
    m_presence = presence <= kPresenceInside ? presence : kPresenceInside;
    m_targetCell = targetCell;
    if (HasCell(m_pGrid, targetCell, 0)) {
        // The occupant is taken as a walk-to object only when it is one.
        const int32_t walk = AI_STATE_FIND_PATH;
        CPathableObject* occupant = dynamic_cast<CPathableObject*>(OccupantOf(m_pGrid, targetCell));
        if (!occupant) {
            state = AI_STATE_PAUSE;
        } else if (occupant->GetKind() == kObjectKindStairs) {
            m_afterWalkState = AI_STATE_PAUSE;
            state = walk;
        } else {
            m_pTarget = occupant;
            state = walk;
        }
        m_pathParam = 0.0f;
        m_visitPhase = kVisitStart;
    } else if (state == AI_STATE_ACT) {
        state = AI_STATE_PAUSE;
        m_visitPhase = kVisitStart;
    }
    if (!IsWalkableCell(m_pGrid, cell)) {
        CPathableObject* inside = dynamic_cast<CPathableObject*>(OccupantOf(m_pGrid, cell));
        if (!inside) {
            m_removeFlag = 1;
            return 1;
        }
        GxV3d at = {};
        if (m_pGrid->GetCellPosition(inside->GetEntranceCell(0), &at, 1)) {
            // The middle of the cell: its corner lies on the border the grid counts to the cell before.
            const float half = static_cast<float>(m_pGrid->GetCellSize()) * 0.5f;
            at.x += half;
            at.z -= half;
            Translate(&at, 0);
            m_currentCell = m_pGrid->GetCellAt(at);
        }
        m_visitPhase = kVisitStart;
        m_pathParam = 0.0f;
        state = AI_STATE_PAUSE;
    }
    // The grid's rim holds no cell a character stands on: one placed there would be left out of every save.
    const GxV3d* at = GetPosition();
    const int32_t standing = at ? m_pGrid->GetCellAt(*at) : -1;
    if (standing >= 0 && !HasCell(m_pGrid, standing, 0)) {
        m_removeFlag = 1;
        return 1;
    }
    SetState(static_cast<uint8_t>(state));
    return 0;
}
