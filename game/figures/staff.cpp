// Hired staff: the common member and the cleaner, maintenance and security trades.
//
// Sections: helpers; the staff member; cleaners; maintenance; security; registration.
#include "game/figures/staff.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/navigation/blockgrid.h"
#include "game/buildings/building.h"
#include "game/figures/criminal.h"
#include "game/figures/figurefactories.h"
#include "game/world/factories.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "game/world/templates.h"
#include "gfx/2d/charset.h"
#include "gfx/core/assert.h"

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kWorkAnimation = "work";
constexpr const char* kGiveUpAnimation = "giveup";
constexpr const char* kGardenModel = "garden";
// Template values of a staff plan, in order.
constexpr size_t kValueTitle = 0;
constexpr size_t kValueSecond = 1;
constexpr size_t kValueWage = 2;
constexpr size_t kValueWorkTime = 3;
// Animation offsets at set-up: 0 to 10 seconds.
constexpr int kAnimationOffsets = 11;
// One decision in this many goes back to the post.
constexpr int kPostChance = 3;
// Failed searches after which a member only wanders.
constexpr uint16_t kStaffFailLimit = 4;
// Reach of the searches: cell size x (grade + 1), plus one for objects, times ten.
constexpr float kReachScale = 10.0f;
constexpr int kDirections = 4;
constexpr int kLastLegRepeats = 3;
constexpr int kLegRepeats = 2;
constexpr int kDebugX = 375;
constexpr int kDebugY = 50;
constexpr int kDebugLineSize = 96;
constexpr int32_t kArrestVolume = 255;

int CellSizeOf(CFerroxBlockGrid* grid) { return grid ? grid->GetCellSize() : 0; }

bool ReadUnsigned16(CFerroxFile* file, uint16_t* out)
{
    if (!file || file->IsEof())
        return false;
    std::string line;
    file->ReadLine(line);
    int value = 0;
    if (!FromString<int>(line, value) || value < 0 || value > UINT16_MAX)
        return false;
    *out = static_cast<uint16_t>(value);
    return true;
}

// A job length or timer: finite and not negative.
bool ReadSeconds(CFerroxFile* file, float* out)
{
    if (!file || file->IsEof())
        return false;
    std::string line;
    file->ReadLine(line);
    float value = 0.0f;
    if (!FromString<float>(line, value) || !std::isfinite(value) || value < 0.0f)
        return false;
    *out = value;
    return true;
}

// A criminal still held by a guard, counting a state change already asked for.
bool IsHeld(CCriminal* criminal)
{
    const uint8_t state = criminal->IsChangePending() ? criminal->GetNextState() : criminal->GetState();
    return state == kCriminalHeldState;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// The staff member

CStaff::CStaff() : m_registered(0) { CStaff::Init(); }

void CStaff::Init()
{
    CAICharacter::Init();
    m_hired = 0;
    m_moving = 0;
    m_record = StaffRecord{0, 0, 0, kDefaultWage, 0, this};
    m_workTimer = kDefaultWorkTime;
    m_workTime = kDefaultWorkTime;
    m_postCell = -1;
}

void CStaff::Release()
{
    Unregister();
    CAICharacter::Release();
    CStaff::Init();
}

// The manager deletes a fired member without its Release: the register must not keep its record.
CStaff::~CStaff() { Unregister(); }

void CStaff::Register()
{
    if (m_registered)
        return;
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats)
        return;
    stats->AddStaff(&m_record);
    m_registered = 1;
}

void CStaff::Unregister()
{
    if (!m_registered)
        return;
    m_registered = 0;
    if (CStatistics* stats = CDynamicObjectManager::PeekStatistics())
        stats->RemoveStaff(&m_record);
}

void CStaff::Setup(const FerroxObjectDescriptor* descriptor)
{
    CAICharacter::Setup(descriptor);
    SetAnimationTimer(static_cast<float>(FerroxRand() % kAnimationOffsets));
    ApplyTints();
    PlayAnimation(kWorkAnimation, 1, 0.0f);
    m_record.owner = this;
}

uint16_t CStaff::LevelOf(size_t index)
{
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats || index >= stats->m_categories.size())
        return kNoGrade;
    return stats->m_categories[index];
}

void CStaff::TakeTemplateValues(CFerroxAssetSet* set)
{
    if (!set)
        return;
    const std::vector<std::string>& values = set->GetValues();
    uint16_t* fields[] = {&m_record.value0, &m_record.value1, &m_record.wage};
    const size_t known[] = {kValueTitle, kValueSecond, kValueWage};
    for (size_t i = 0; i < sizeof known / sizeof known[0]; i++) {
        int value = 0;
        if (known[i] < values.size() && FromString<int>(values[known[i]], value))
            *fields[i] = static_cast<uint16_t>(value);
    }
    float seconds = 0.0f;
    // A job length that is no number would never end its reservation: the default stands.
    if (kValueWorkTime < values.size() && FromString<float>(values[kValueWorkTime], seconds) && std::isfinite(seconds))
        m_workTime = seconds;
    m_workTimer = m_workTime;
}

void CStaff::Hire(const FerroxObjectDescriptor* record)
{
    m_hired = 1;
    m_presence = kPresenceOutside;
    Register();
    m_postCell = static_cast<int16_t>(m_currentCell);
    TakeTemplateValues(record ? record->assetSet : nullptr);
    SetHiredGrade();
}

void CStaff::Assign(CFerroxBlockGrid* floor, int cell)
{
    if (floor)
        SetBlockGrid(floor);
    m_currentCell = cell;
    m_hired = 1;
    m_moving = 0;
    m_postCell = static_cast<int16_t>(cell);
}

void CStaff::BeginMove()
{
    m_hired = 0;
    m_moving = 1;
    StopMoving();
    m_pathParam = 0.0f;
    SetState(AI_STATE_PAUSE);
    m_movementMode = FERROX_MOVE_STANDING;
    PlayAnimation(kWorkAnimation, 1, 0.0f);
    m_workTimer = m_workTime;
    m_visitPhase = kVisitStart;
    m_pLastObject = nullptr;
    ClearTarget();
}

void CStaff::SetGrade(uint16_t grade, int32_t) { m_record.grade = grade; }

uint16_t CStaff::DailyWage() const { return static_cast<uint16_t>(EffectiveGrade() * kWagePerGrade + m_record.wage); }

float CStaff::SearchRadius()
{
    return (static_cast<float>(CellSizeOf(m_pGrid)) * static_cast<float>(EffectiveGrade() + 1) + 1.0f) * kReachScale;
}

bool CStaff::WorkOn()
{
    m_workTimer -= static_cast<float>(EffectiveGrade() + 1) * GetLastTimeStep();
    return m_workTimer <= 0.0f;
}

void CStaff::CountJob()
{
    m_record.jobs++;
    m_workTimer = m_workTime;
    if (CStatistics* stats = CDynamicObjectManager::PeekStatistics())
        stats->m_staffJobsDone++;
}

void CStaff::UpdateAI(float dt)
{
    if (!m_hired) {
        // Being placed or moved: it stands and only animates.
        CFerroxObject::Update(dt);
        return;
    }
    CAICharacter::UpdateAI(dt);
    if (!g_pGameContext || !g_pGameContext->IsNewDay())
        return;
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats)
        return;
    const uint32_t wage = DailyWage();
    // The account holds at its limit rather than wrap round to a small expense.
    stats->m_staffWages = stats->m_staffWages > UINT32_MAX - wage ? UINT32_MAX : stats->m_staffWages + wage;
}

int CStaff::ChooseTarget()
{
    if (FerroxRand() % kPostChance == 0) {
        if (m_pGrid && m_postCell != m_currentCell && m_pGrid->IsValidCell(m_postCell, 0) &&
            m_pGrid->GetBlock(m_postCell)->IsWalkable()) {
            m_targetCell = m_postCell;
            return 1;
        }
        m_postCell = static_cast<int16_t>(m_currentCell);
    }
    return CAICharacter::ChooseTarget();
}

void CStaff::DrawDebugInfo(GxRaster* charset)
{
    CAICharacter::DrawDebugInfo(charset);
    if (!charset)
        return;
    char line[kDebugLineSize];
    std::snprintf(line, sizeof line, "s: %d ms: %d ps: %d", GetState(), m_movementMode, m_routeState);
    GxCharsetPrint(charset, line, kDebugX, kDebugY);
}

int CStaff::SaveFields(CFerroxFile* file)
{
    CAICharacter::SaveFields(file);
    file->WriteLine(ToString<unsigned short>(m_record.jobs) + kLineEnd);
    file->WriteLine(ToString<unsigned short>(m_record.grade) + kLineEnd);
    file->WriteLine(ToString<float>(m_workTimer) + kLineEnd);
    return 0;
}

int CStaff::Load(CFerroxFile* file)
{
    if (CAICharacter::Load(file))
        return 1;
    uint16_t jobs = 0, grade = 0;
    float timer = 0.0f;
    if (!ReadUnsigned16(file, &jobs) || !ReadUnsigned16(file, &grade) || !ReadSeconds(file, &timer)) {
        m_removeFlag = 1;
        return 1;
    }
    // Hired again from its own template, not from an empty record: the save keeps no title, picture, wage or
    // job length, and without them every member would come back as a cleaner on the default wage. Hiring takes
    // the grade from the trade's level, as for a new hire; the saved jobs and work timer then stand.
    FerroxObjectDescriptor record = {};
    record.assetSet = GetAssetSet();
    Hire(&record);
    m_record.jobs = jobs;
    m_workTimer = timer < m_workTime ? timer : m_workTime;
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Cleaners

CCleaner::CCleaner() { CCleaner::Init(); }

void CCleaner::Init()
{
    CStaff::Init();
    m_sweepCell = -1;
}

CCleaner::~CCleaner() { GiveBackSweepCell(); }

void CCleaner::Release()
{
    GiveBackSweepCell();
    CStaff::Release();
    CCleaner::Init();
}

void CCleaner::GiveBackSweepCell()
{
    if (m_pGrid && m_pGrid->IsValidCell(m_sweepCell, 0) && m_pGrid->GetBlock(m_sweepCell)->IsReserved())
        m_pGrid->GetBlock(m_sweepCell)->SetState(FERROX_BLOCK_OCCUPIED);
    m_sweepCell = -1;
}

int CCleaner::Load(CFerroxFile* file)
{
    const int result = CStaff::Load(file);
    // Cleaners are not told when a building goes (only the visitors of buildings are): one kept here would
    // outlive its building.
    m_pTarget = nullptr;
    return result;
}

void CCleaner::BeginMove()
{
    GiveBackSweepCell();
    CStaff::BeginMove();
}

void CCleaner::UpdateAI(float dt)
{
    if (m_hired && m_pGrid && m_currentCell != m_previousCell && m_pGrid->IsValidCell(m_currentCell, 1)) {
        CFerroxBlock* block = m_pGrid->GetBlock(m_currentCell);
        if (block->IsOccupied() && !block->IsReserved()) {
            // Stepping onto litter sweeps it at once.
            StopMoving();
            ClearTarget();
            m_movementMode = FERROX_MOVE_STANDING;
            m_pathParam = 0.0f;
            m_targetCell = m_currentCell;
            SetState(AI_STATE_ACT);
        }
    }
    CStaff::UpdateAI(dt);
}

int CCleaner::FindLitter(int start, int maximumLeg)
{
    if (!m_pGrid || !m_pGrid->IsValidCell(start, 1))
        return -1;
    // The grid numbers its cells row after row, R to a row (`GetRows`), W rows (`GetColumns`): x is the place
    // in the row (index mod R), y the row. Every grid is square, so a step of y is the spiral's step of W.
    const int rowLength = m_pGrid->GetRows();
    const int rowCount = m_pGrid->GetColumns();
    // Legs beyond twice the longer side visit nothing new: the walk, held inside the grid, has then been
    // everywhere it can reach.
    const int reach = 2 * (rowLength > rowCount ? rowLength : rowCount) + 1;
    const int longest = maximumLeg < reach ? maximumLeg : reach;
    int x = m_pGrid->GetCellColumn(start, 1);
    int y = m_pGrid->GetCellRow(start, 1);
    int direction = FerroxRand() % kDirections;
    const int stepX[kDirections] = {1, 0, -1, 0};
    const int stepY[kDirections] = {0, 1, 0, -1};
    for (int leg = 1; leg <= longest; leg++) {
        const int repeats = leg == longest ? kLastLegRepeats : kLegRepeats;
        for (int r = 0; r < repeats; r++) {
            for (int step = 0; step < leg; step++) {
                // A move that would leave the grid is not made: the walk stays on the cell it reached.
                const int nextX = x + stepX[direction];
                const int nextY = y + stepY[direction];
                if (nextX >= 0 && nextX < rowLength && nextY >= 0 && nextY < rowCount) {
                    x = nextX;
                    y = nextY;
                }
                const int cell = m_pGrid->GetCellIndex(x, y, 1);
                if (cell < 0 || !m_pGrid->IsValidCell(cell, 0))
                    continue;
                CFerroxBlock* block = m_pGrid->GetBlock(cell);
                // Another cleaner's reserved cell is skipped.
                if (block->IsOccupied() && !block->IsReserved())
                    return cell;
            }
            direction = (direction + 1) % kDirections;
        }
    }
    return -1;
}

int CCleaner::ChooseTarget()
{
    if (m_failCount >= kStaffFailLimit)
        return CStaff::ChooseTarget();
    const int radius = CellSizeOf(m_pGrid) * static_cast<int>(EffectiveGrade() + 1);
    const int cell = FindLitter(m_currentCell, radius * static_cast<int>(kReachScale));
    if (cell >= 0) {
        m_targetCell = cell;
        return 1;
    }
    // Nothing found: pause and decide again, or wander.
    if (FerroxRand() % 2 == 0) {
        m_targetCell = -1;
        return 1;
    }
    return CStaff::ChooseTarget();
}

int CCleaner::DoActivity()
{
    if (!m_pGrid)
        return 1;
    // A walk ends on a corner of the target cell, which the grid may count to a neighbour: the job is at
    // the target cell.
    const int cell = m_pGrid->IsValidCell(m_targetCell, 0) ? m_targetCell : m_currentCell;
    if (!m_pGrid->IsValidCell(cell, 0))
        return 1;
    CFerroxBlock* block = m_pGrid->GetBlock(cell);
    if (!block->IsOccupied())
        return 1;
    if (m_workTimer >= m_workTime) {
        if (block->IsReserved() && m_sweepCell != cell)
            return 1;
        PlayAnimation(kWorkAnimation, 1, 0.0f);
        block->SetState(FERROX_BLOCK_RESERVED);
        m_sweepCell = cell;
    }
    if (WorkOn()) {
        CountJob();
        m_pGrid->VacateCell(cell);
        m_sweepCell = -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Maintenance

CMaintenance::CMaintenance() { CMaintenance::Init(); }

void CMaintenance::Init()
{
    CStaff::Init();
    m_gardener = 0;
}

CMaintenance::~CMaintenance() { ReleaseClaims(); }

void CMaintenance::Release()
{
    ReleaseClaims();
    CStaff::Release();
    CMaintenance::Init();
}

void CMaintenance::Setup(const FerroxObjectDescriptor* descriptor)
{
    CStaff::Setup(descriptor);
    const char* model = GetTemplateModelName(descriptor ? descriptor->assetSet : nullptr);
    m_gardener = model && std::strstr(model, kGardenModel) ? 1 : 0;
}

void CMaintenance::SetGrade(uint16_t grade, int32_t kind)
{
    if (kind == m_gardener)
        m_record.grade = grade;
}

void CMaintenance::Claim(CPathableObject* object)
{
    if (object && object->GetEffectKind() != kEffectNone)
        object->SetWorker(this);
}

void CMaintenance::ReleaseClaims()
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (!manager)
        return;
    for (const std::unique_ptr<CFloorObjects>& floor : manager->GetFloors()) {
        if (!floor)
            continue;
        for (const ObjectList* list : {&floor->usable, &floor->scenery, &floor->shops, &floor->doors, &floor->stairs}) {
            for (CFerroxObject* object : *list) {
                CPathableObject* pathable = dynamic_cast<CPathableObject*>(object);
                if (pathable && pathable->GetWorker() == this)
                    pathable->SetWorker(nullptr);
            }
        }
    }
}

void CMaintenance::BeginMove()
{
    ReleaseClaims();
    CStaff::BeginMove();
}

int CMaintenance::ChooseTarget()
{
    if (m_failCount >= kStaffFailLimit)
        return CStaff::ChooseTarget();
    CObjectQuery query = {};
    query.kind = kObjectKindAny;
    query.nearest = 1;
    query.testAvailable = 0;
    query.testDirty = 1;
    query.useScenery = m_gardener;
    if (const GxV3d* at = GetPosition())
        query.position = *at;
    query.maxDistance = SearchRadius();
    query.grid = m_pGrid;
    FindTarget(&query);
    if (!m_pTarget)
        return CStaff::ChooseTarget();
    Claim(m_pTarget);
    return 1;
}

int CMaintenance::VisitTarget()
{
    GX_ASSERT(m_pTarget, "a visit has a target");
    if (m_visitPhase == kVisitStart) {
        m_pLastObject = m_pTarget;
        Claim(m_pTarget);
        StopMoving();
        FaceTowards(m_pTarget->GetPosition());
        m_visitPhase = kVisitAction;
        m_movementMode = FERROX_MOVE_STANDING;
        PlayAnimation(kWorkAnimation, 1, 0.0f);
        return 0;
    }
    if (m_visitPhase != kVisitAction)
        return 1;
    if (!WorkOn())
        return 0;
    CountJob();
    CompleteVisit();
    m_visitPhase = kVisitStart;
    return 1;
}

void CMaintenance::CompleteVisit()
{
    if (m_pTarget)
        m_pTarget->ClearEffects();
}

int CMaintenance::Load(CFerroxFile* file)
{
    const int result = CStaff::Load(file);
    if (result || !m_pTarget)
        return result;
    Claim(m_pTarget);
    if (GetNextState() == AI_STATE_ACT) {
        FaceTowards(m_pTarget->GetPosition());
        m_visitPhase = kVisitStart;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Security

CSecurity::CSecurity() : m_pSuspect(nullptr) { CSecurity::Init(); }

void CSecurity::Init()
{
    CStaff::Init();
    m_pSuspect = nullptr;
}

CSecurity::~CSecurity() { EndHold(AI_STATE_DONE); }

void CSecurity::Release()
{
    EndHold(AI_STATE_DONE);
    CStaff::Release();
    CSecurity::Init();
}

CCriminal* CSecurity::LiveSuspect()
{
    if (!m_pSuspect)
        return nullptr;
    // A criminal removed without telling the guards is out of the manager's list at once.
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    bool listed = false;
    if (manager) {
        for (CFerroxObject* object : manager->GetCriminals())
            listed = listed || object == static_cast<CFerroxObject*>(m_pSuspect);
    }
    if (!listed)
        m_pSuspect = nullptr;
    return m_pSuspect;
}

void CSecurity::EndHold(uint8_t state)
{
    CCriminal* suspect = LiveSuspect();
    m_pSuspect = nullptr;
    if (suspect && IsHeld(suspect))
        suspect->SetState(state);
}

void CSecurity::ClearTarget()
{
    CAICharacter::ClearTarget();
    // A suspect dropped before the arrest ends goes free.
    EndHold(AI_STATE_PAUSE);
}

void CSecurity::OnObjectRemoved(CFerroxObject* object)
{
    const bool suspect = object && object == static_cast<CFerroxObject*>(m_pSuspect);
    if (suspect)
        m_pSuspect = nullptr;
    CStaff::OnObjectRemoved(object);
    if (!suspect)
        return;
    ClearTarget();
    SetState(AI_STATE_PAUSE);
}

int CSecurity::ChooseTarget()
{
    if (m_failCount >= kStaffFailLimit || !m_pGrid)
        return CStaff::ChooseTarget();
    if (m_pSuspect)
        ClearTarget();
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    const GxV3d* at = GetPosition();
    if (manager && at) {
        const int floorId = m_pGrid->GetFloorId();
        const float radius = SearchRadius();
        for (CFerroxObject* object : manager->GetCriminals()) {
            CCriminal* criminal = dynamic_cast<CCriminal*>(object);
            if (!criminal || !criminal->IsCatchable(floorId, radius, *at))
                continue;
            m_pSuspect = criminal;
            m_targetCell = criminal->GetCatchCell();
            criminal->SetState(kCriminalHeldState);
            return 1;
        }
    }
    return CStaff::ChooseTarget();
}

int CSecurity::DoActivity()
{
    if (!LiveSuspect())
        return 1;
    if (m_workTimer >= m_workTime) {
        PlayAnimation(kWorkAnimation, 1, 0.0f);
        FaceTowards(m_pSuspect->GetPosition());
        m_pSuspect->PlayAnimation(kGiveUpAnimation, 1, 0.0f);
    }
    if (!WorkOn())
        return 0;
    CountJob();
    m_pSuspect->SetState(AI_STATE_DONE);
    PostMessage(kMessageArrest);
    PlaySample(kArrestSample, kArrestVolume);
    ClearTarget();
    return 1;
}

int CSecurity::Load(CFerroxFile* file)
{
    const int result = CStaff::Load(file);
    // An arrest is not resumed.
    ClearTarget();
    SetState(AI_STATE_PAUSE);
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Registration

namespace {

template <typename T>
int IsStaffOf(CFerroxObject* object)
{
    return dynamic_cast<T*>(object) != nullptr ? 1 : 0;
}

}  // namespace

void RegisterStaffClasses()
{
    SetObjectFactoryMaker(kCleanerFactoryName, MakeObjectFactoryOf<CCleanerFactory>);
    SetObjectFactoryMaker(kSecurityFactoryName, MakeObjectFactoryOf<CSecurityFactory>);
    SetObjectFactoryMaker(kMaintenanceFactoryName, MakeObjectFactoryOf<CMaintenanceFactory>);
    ObjectClassHooks hooks = {};
    hooks.isOfKind[OBJECT_LIST_CLEANERS] = IsStaffOf<CCleaner>;
    hooks.isOfKind[OBJECT_LIST_MAINTENANCE] = IsStaffOf<CMaintenance>;
    hooks.isOfKind[OBJECT_LIST_SECURITY] = IsStaffOf<CSecurity>;
    CDynamicObjectManager::SetClassHooks(hooks);
}
