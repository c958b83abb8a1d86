// The walking character: route requests (straight walk, then a budgeted search), path following, dressing
// and its render callback.
//
// Sections: the budget clock; life cycle; position tests; route requests; path following; set-up and drawing.
#include "engine/navigation/character.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/data/random.h"
#include "engine/navigation/astar.h"
#include "engine/navigation/blockgrid.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "gfx/2d/charset.h"
#include "gfx/core/frame.h"
#include "gfx/world/lod.h"
#include "gfx/world/material.h"
#include "gfx/world/userdata.h"
#include "platform/win32/winbase.h"

namespace {

// A search that ran out of budget waits this many budgets (at least one frame) before it resumes.
constexpr float kSearchWaitBudgets = 10.0f;
constexpr char kSearchOverrunMessage[] = "\nAStar taking more than one step\n";
// The shortest segment the walking speed is reckoned over, so that repeated points do not stall the walk.
constexpr float kMinSegmentLength = 0.01f;
constexpr int kWardrobeChoices = 4;
constexpr int kHeadVariantCount = 4;
constexpr float kStartYaw = 135.0f;
constexpr int kSpeedSteps = 11;
constexpr float kSpeedStep = 0.05f;
constexpr float kBaseSpeed = 1.0f;
constexpr float kTurnAround = 180.0f;
constexpr int kDebugColumn = 5;
constexpr int kDebugRow = 50;
constexpr int kDebugLineSize = 128;

// The tick count's whole milliseconds would let a search budget below one run until the tick moves on, however
// many searches share the frame: the budget is measured in seconds on the performance counter.
double PerformanceClock()
{
    LARGE_INTEGER frequency, counter;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !QueryPerformanceCounter(&counter)) {
        return 0;
    }
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

FerroxCharacterClock g_clock = PerformanceClock;

const GxV3d kUp = {0, 1, 0};

}  // namespace

void FerroxCharacterSetClock(FerroxCharacterClock clock) { g_clock = clock != nullptr ? clock : PerformanceClock; }

// ---- Life cycle.

CFerroxCharacter::CFerroxCharacter() : m_tintCount(0), m_speed(kBaseSpeed) { CFerroxCharacter::Init(); }

void CFerroxCharacter::Init()
{
    m_drawnThisFrame = 0;
    m_head = {};
    m_headMaterials.clear();
    m_pColour = nullptr;
    m_wardrobeChoice = 0;
    m_walkOffset = {0, 0, 0};
    m_pGrid = nullptr;
    m_pPathSpline = nullptr;
    m_pathParam = 0;
    m_backwards = 0;
    m_auxB = 0;
    m_auxA = 0;
    m_currentCell = -1;
    m_previousCell = -1;
    m_reachedCell = -1;
    m_targetCell = -1;
    m_movementMode = FERROX_MOVE_STANDING;
    m_routeState = FERROX_ROUTE_IDLE;
    m_straightEndCell = -1;
    m_pPathFinder = nullptr;
    m_searchWait = 0;
    m_routeCells.clear();
    m_routeCellCount = 0;
    m_speed = kBaseSpeed;
}

void CFerroxCharacter::Release()
{
    StopMoving();
    m_pPathFinder.reset();
    m_pColour.reset();
    m_wardrobeItems.clear();
}

CFerroxCharacter::~CFerroxCharacter() { CFerroxCharacter::Release(); }

// ---- Position tests.

int CFerroxCharacter::IsNearPoint(float x, float z, float margin)
{
    const GxV3d* p = GetPosition();
    if (p == nullptr) {
        return 0;
    }
    return p->x >= x - margin && p->x <= x + margin && p->z >= z - margin && p->z <= z + margin ? 1 : 0;
}

int CFerroxCharacter::IsNearCell(int cell, float margin)
{
    GxV3d at;
    if (m_pGrid == nullptr || m_pGrid->GetCellPosition(cell, &at, 1) == nullptr) {
        return 0;
    }
    return IsNearPoint(at.x, at.z, margin);
}

int CFerroxCharacter::IsInArea(float x1, float x2, float z1, float z2, float margin)
{
    const GxV3d* p = GetPosition();
    if (p == nullptr) {
        return 0;
    }
    const float lowX = std::min(x1, x2), highX = std::max(x1, x2);
    const float lowZ = std::min(z1, z2), highZ = std::max(z1, z2);
    return p->x >= lowX - margin && p->x <= highX + margin && p->z >= lowZ - margin && p->z <= highZ + margin ? 1 : 0;
}

int CFerroxCharacter::IsNextWaypointWalkable()
{
    if (m_pPathSpline == nullptr || m_pGrid == nullptr) {
        return 1;
    }
    const int index = m_pPathSpline->GetPointIndex(m_pathParam, m_backwards);
    const GxV3d* points = m_pPathSpline->GetPoints();
    if (points == nullptr || index < 0 || index >= m_pPathSpline->GetPointCount()) {
        return 1;
    }
    const int cell = m_pGrid->GetCellAt(points[index]);
    if (!m_pGrid->IsValidCell(cell, 1)) {
        return 1;
    }
    return m_pGrid->GetBlock(cell)->IsWalkable() ? 1 : 0;
}

void* CFerroxCharacter::GetWardrobeItem()
{
    if (m_wardrobeItems.empty()) {
        return nullptr;
    }
    return m_wardrobeItems[m_wardrobeChoice % m_wardrobeItems.size()];
}

FerroxColour* CFerroxCharacter::GetColour() { return m_pColour.get(); }

void CFerroxCharacter::SetBlockGrid(CFerroxBlockGrid* grid) { m_pGrid = grid; }

CFerroxBlockGrid* CFerroxCharacter::GetBlockGrid() { return m_pGrid; }

int32_t CFerroxCharacter::GetAuxA() { return m_auxA; }

int32_t CFerroxCharacter::GetAuxB() { return m_auxB; }

// ---- Route requests.

CFerroxAStar* CFerroxCharacter::PathFinder()
{
    if (m_pPathFinder == nullptr) {
        m_pPathFinder = std::make_unique<CFerroxAStar>();
        m_pPathFinder->SetGrid(nullptr);
    }
    return m_pPathFinder.get();
}

void CFerroxCharacter::StopMoving()
{
    m_routeCells.clear();
    m_routeCellCount = 0;
    if (m_pPathFinder != nullptr) {
        m_pPathFinder->ClearMap();
    }
    m_pPathSpline.reset();
}

int CFerroxCharacter::TraceStraightPath(int fromCell, int toCell)
{
    m_routeCells.push_back(fromCell);
    m_routeCellCount++;
    if (m_pGrid == nullptr) {
        return fromCell;
    }
    const int width = m_pGrid->GetColumns();
    const int targetRow = m_pGrid->GetCellRow(toCell, 1);
    const int targetColumn = m_pGrid->GetCellColumn(toCell, 1);
    int current = fromCell;
    bool stopped = false;
    while (current != toCell && !stopped) {
        const int row = m_pGrid->GetCellRow(current, 1);
        const int column = m_pGrid->GetCellColumn(current, 1);
        stopped = row == -1 || column == -1;
        const int dr = row - targetRow;
        const int dc = column - targetColumn;
        int direction = 0;
        int step = 0;
        if (std::abs(dc) < std::abs(dr)) {
            direction = dr < 0 ? 2 : 6;
            step = dr < 0 ? width : -width;
        } else if (std::abs(dr) < std::abs(dc)) {
            direction = dc < 0 ? 0 : 4;
            step = dc < 0 ? 1 : -1;
        } else if (dr < 0) {
            direction = dc < 0 ? 1 : 3;
            step = dc < 0 ? width + 1 : width - 1;
        } else {
            direction = dc > 0 ? 5 : 7;
            step = dc > 0 ? -width - 1 : -width + 1;
        }
        if (!m_pGrid->CanMove(direction, current)) {
            stopped = true;
            continue;
        }
        current += step;
        if (!stopped) {
            m_routeCells.push_back(current);
            m_routeCellCount++;
        }
    }
    return current;
}

// The request's first call: settles it at once (1) or starts the search (0).
int CFerroxCharacter::StartRequest(int fromCell, int toCell, intptr_t ownerValue)
{
    StopMoving();
    auto walkable = [this](int cell) { return m_pGrid->IsValidCell(cell, 1) && m_pGrid->GetBlock(cell)->IsWalkable(); };
    if (m_pGrid == nullptr || !walkable(fromCell) || !walkable(toCell)) {
        m_routeState = FERROX_ROUTE_FAILED;
        return 1;
    }
    m_targetCell = toCell;
    if (fromCell == toCell) {
        m_reachedCell = toCell;
        m_routeState = FERROX_ROUTE_READY;
        return 1;
    }
    m_straightEndCell = TraceStraightPath(fromCell, toCell);
    if (m_straightEndCell == m_targetCell) {
        m_routeState = FERROX_ROUTE_READY;
        m_pPathSpline = m_pGrid->BuildSpline(m_routeCells.data(), m_routeCellCount);
        return 1;
    }
    // The search gives the straight walk's last cell again as its first.
    m_routeCells.pop_back();
    m_routeCellCount--;
    PathFinder()->Start(m_straightEndCell, toCell, m_pGrid, ownerValue);
    m_routeState = FERROX_ROUTE_SEARCHING;
    return 0;
}

int CFerroxCharacter::Search(float budget)
{
    if (m_searchWait > 0) {
        m_searchWait -= m_lastTimeStep;
        return 0;
    }
    const double started = g_clock();
    int result = FERROX_ASTAR_SEARCHING;
    while ((result = PathFinder()->Step()) == FERROX_ASTAR_SEARCHING) {
        if (budget > 0 && g_clock() - started > budget) {
            m_searchWait = std::max(budget * kSearchWaitBudgets, m_lastTimeStep);
            FerroxDebugOutput(kSearchOverrunMessage);
            return 0;
        }
    }
    if (result != FERROX_ASTAR_FOUND) {
        StopMoving();
        m_routeState = FERROX_ROUTE_FAILED;
        return 1;
    }
    m_routeCellCount += m_pPathFinder->GetPath(m_routeCells, 1);
    m_pPathSpline = m_pGrid->BuildSpline(m_routeCells.data(), m_routeCellCount);
    m_pPathFinder->ClearMap();
    m_routeState = FERROX_ROUTE_READY;
    return 1;
}

int CFerroxCharacter::StepPath(int fromCell, int toCell, float budget, intptr_t ownerValue)
{
    // Cells travel as 16-bit values, as the callers store them.
    fromCell = static_cast<uint16_t>(fromCell);
    toCell = static_cast<uint16_t>(toCell);
    if (m_routeState == FERROX_ROUTE_IDLE && StartRequest(fromCell, toCell, ownerValue)) {
        return 1;
    }
    if (m_routeState == FERROX_ROUTE_SEARCHING) {
        return Search(budget);
    }
    return 0;
}

// ---- Path following.

int CFerroxCharacter::AdvanceOnPath(float dt)
{
    GxFrame* frame = m_pModel != nullptr ? m_pModel->GetFrame() : nullptr;
    if (m_pPathSpline == nullptr || frame == nullptr) {
        return 1;
    }
    float t = m_pathParam;
    GxMatrix* matrix = GxFrameGetMatrix(frame);
    m_pPathSpline->FindMatrix(m_backwards ? std::max(t, 0.0f) : std::min(t, 1.0f), matrix);
    const float segment = std::max(m_pPathSpline->GetSegmentLength(t), kMinSegmentLength);
    const float step = dt * m_speed / (static_cast<float>(m_pPathSpline->GetPointCount()) * segment);
    if (!m_backwards) {
        t += step;
    } else {
        t -= step;
        RotateYaw(&kUp, kTurnAround, 1);
    }
    matrix->up = kUp;
    if (m_backwards ? t > 0 : t < 1) {
        GxFrameSetDirty(frame);
        m_pathParam = t;
        return 0;
    }
    m_pathParam = 0;
    return 1;
}

void CFerroxCharacter::Update(float dt)
{
    m_drawnThisFrame = 0;
    const GxV3d* position = m_pGrid != nullptr ? GetPosition() : nullptr;
    if (position == nullptr) {
        return;
    }
    m_previousCell = m_currentCell;
    m_auxB = 0;
    m_currentCell = m_pGrid->GetCellAt(*position);
    if (dt != 0 && m_movementMode == FERROX_MOVE_FOLLOWING) {
        if (AdvanceOnPath(dt)) {
            m_movementMode = FERROX_MOVE_STANDING;
            m_backwards = 0;
        }
        if (m_walkOffset.x != 0 || m_walkOffset.y != 0 || m_walkOffset.z != 0) {
            Translate(&m_walkOffset, 2);
        }
    }
    CFerroxIOObject::Update(dt);
}

// ---- Set-up, dressing and drawing.

namespace {

// Appends each material of a part offered to the list in data.
GxMaterial* CollectPartCallback(GxMaterial* material, void* data)
{
    static_cast<std::vector<void*>*>(data)->push_back(material);
    return material;
}

// What the skin of an untagged body is made from: the character's head and its wardrobe item.
struct FerroxSkin {
    const FerroxPartData* head;
    const GxMaterial* item;
};

bool IsHeadMaterial(const FerroxPartData* head, const GxMaterial* material)
{
    const auto* materials = head != nullptr ? static_cast<const std::vector<void*>*>(head->data) : nullptr;
    return materials != nullptr && std::find(materials->begin(), materials->end(), material) != materials->end();
}

// Dresses an untagged body: its textured materials wear the texture of the wardrobe item; the head's own
// materials keep theirs.
GxMaterial* DressSkin(GxMaterial* material, void* data)
{
    const auto* skin = static_cast<const FerroxSkin*>(data);
    const GxMaterial* item = skin->item;
    if (material != nullptr && item != nullptr && item->texture != nullptr && material->texture != nullptr &&
        material->texture != item->texture && !IsHeadMaterial(skin->head, material)) {
        GxMaterialSetTexture(material, item->texture);
    }
    return material;
}

// The first user-data array of the atomic's frame, or null.
const GxUserDataArray* FrameUserData(GxAtomic* atomic)
{
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    if (frame == nullptr || GxFrameGetUserDataArrayCount(frame) < 1) {
        return nullptr;
    }
    return GxFrameGetUserDataArray(frame, 0);
}

constexpr char kHeadPart[] = "head";
constexpr char kWardrobePart[] = "wardrobe";
constexpr char kSkinPart[] = "skin";
constexpr uint8_t kColourHigh = 200;
constexpr uint8_t kColourLow = 150;
constexpr uint8_t kColourGreen = 150;
constexpr uint8_t kOpaque = 255;

const char* MaterialTag(GxMaterial* material)
{
    if (material == nullptr || GxMaterialGetUserDataArrayCount(material) < 1) {
        return nullptr;
    }
    const GxUserDataArray* array = GxMaterialGetUserDataArray(material, 0);
    if (array == nullptr || GxUserDataArrayGetFormat(array) != gxUSERDATASTRING || array->numElements < 1) {
        return nullptr;
    }
    return GxUserDataArrayGetString(array, 0);
}

constexpr GxInt32 kMaxDressedMaterials = 16;  // materials of a body a lighter geometry is matched against

}  // namespace

// Which material of the body each material of a lighter geometry is dressed like, found by their tags. Reading a
// material's tag reaches through several records a draw has not touched, while the answer for a pair of
// geometries never changes: a character keeps the plan of each of its atomics (body and head) and checks it by the
// material records it was made from.
struct FerroxDressPlan {
    struct Entry {
        const GxMaterial* dressed;         // the lighter geometry's material
        GxInt32 source;                    // the body's material index, or -1 when none has the tag
        const GxMaterial* sourceMaterial;  // the body's material there
    };
    const GxGeometry* lighter = nullptr;
    const GxGeometry* body = nullptr;
    std::vector<Entry> entries;  // one per material of the lighter geometry
};

constexpr int kDressPlans = 2;
struct FerroxDressPlans {
    FerroxDressPlan plans[kDressPlans];
    int next = 0;  // the plan a new pair replaces
};

namespace {

void MakeDressPlan(const GxGeometry* lighter, const GxGeometry* body, FerroxDressPlan* plan)
{
    const GxMaterialList& from = body->matList;
    const GxMaterialList& to = lighter->matList;
    const GxInt32 sources = std::min(from.numMaterials, kMaxDressedMaterials);
    const char* sourceTags[kMaxDressedMaterials];
    for (GxInt32 j = 0; j < sources; j++) {
        sourceTags[j] = MaterialTag(from.materials[j]);
    }
    plan->lighter = lighter;
    plan->body = body;
    plan->entries.clear();
    for (GxInt32 i = 0; i < to.numMaterials; i++) {
        const char* tag = MaterialTag(to.materials[i]);
        FerroxDressPlan::Entry entry = {to.materials[i], -1, nullptr};
        for (GxInt32 j = 0; tag != nullptr && j < sources && entry.source < 0; j++) {
            if (sourceTags[j] != nullptr && std::strcmp(tag, sourceTags[j]) == 0) {
                entry.source = j;
                entry.sourceMaterial = from.materials[j];
            }
        }
        plan->entries.push_back(entry);
    }
}

// Whether the plan was made for this pair and its materials are still the ones it was made from.
bool DressPlanHolds(const FerroxDressPlan& plan, const GxGeometry* lighter, const GxGeometry* body)
{
    if (plan.lighter != lighter || plan.body != body ||
        plan.entries.size() != static_cast<size_t>(lighter->matList.numMaterials)) {
        return false;
    }
    for (size_t i = 0; i < plan.entries.size(); i++) {
        const FerroxDressPlan::Entry& entry = plan.entries[i];
        const GxInt32 j = entry.source;
        if (lighter->matList.materials[i] != entry.dressed ||
            (j >= 0 && (j >= body->matList.numMaterials || body->matList.materials[j] != entry.sourceMaterial))) {
            return false;
        }
    }
    return true;
}

// The character's plan for the pair, made when it has none.
const FerroxDressPlan& DressPlanFor(FerroxDressPlans* plans, const GxGeometry* lighter, const GxGeometry* body)
{
    for (const FerroxDressPlan& plan : plans->plans) {
        if (DressPlanHolds(plan, lighter, body)) {
            return plan;
        }
    }
    FerroxDressPlan& made = plans->plans[plans->next];
    MakeDressPlan(lighter, body, &made);
    plans->next = (plans->next + 1) % kDressPlans;
    return made;
}

// Each material of `lighter` takes the colour and texture of the material of `body` with the same tag: the
// character's tints and dress live on its full body. Runs at every draw of the lighter geometry.
void DressLike(GxGeometry* lighter, const GxGeometry* body, FerroxDressPlans* plans)
{
    const FerroxDressPlan& plan = DressPlanFor(plans, lighter, body);
    for (size_t i = 0; i < plan.entries.size(); i++) {
        const GxMaterial* source = plan.entries[i].sourceMaterial;
        if (source == nullptr) {
            continue;
        }
        GxMaterial* material = lighter->matList.materials[i];
        material->color = source->color;
        if (material->texture != source->texture) {
            GxMaterialSetTexture(material, source->texture);
        }
    }
}

constexpr GxUInt32 kKeepBoundingSphere = 1;

// Draws the atomic at the level of detail picked for it: with the lighter geometry its level-of-detail record
// holds at that level (or at the nearest finer level above 0 that holds one), else with its own. Once drawn the
// atomic holds its own geometry and bounding sphere again: tints, dress, picking and culling see the full body.
GxAtomic* DrawAtDetail(GxAtomic* atomic, GxInt32 level, GxAtomicCallBackRender draw, FerroxDressPlans* plans)
{
    const GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
    GxGeometry* body = atomic->geometry;
    GxGeometry* lighter = nullptr;
    for (GxInt32 l = std::min(level, gxLODATOMICMAXLEVELS - 1); record != nullptr && l > 0 && !lighter; l--) {
        lighter = record->geometry[l];
    }
    if (lighter == nullptr || body == nullptr || lighter == body) {
        return draw(atomic);
    }
    DressLike(lighter, body, plans);
    GxGeometryAddRef(body);  // the swap would release the atomic's reference
    GxAtomicSetGeometry(atomic, lighter, kKeepBoundingSphere);
    GxAtomic* drawn = draw(atomic);
    GxAtomicSetGeometry(atomic, body, kKeepBoundingSphere);
    GxGeometryDestroy(body);
    return drawn;
}

}  // namespace

FerroxDressPlans* CFerroxCharacter::DressPlans()
{
    if (!m_pDressPlans) {
        m_pDressPlans = std::make_unique<FerroxDressPlans>();
    }
    return m_pDressPlans.get();
}

GxAtomic* CFerroxCharacter::CharacterRenderCallback(GxAtomic* atomic)
{
    auto* character = dynamic_cast<CFerroxCharacter*>(GetClumpOwner(atomic->clump));
    const GxUserDataArray* userData = FrameUserData(atomic);
    if (character == nullptr) {
        return GxAtomicDefaultRenderCallback(atomic);
    }
    if (userData != nullptr && GxUserDataArrayGetFormat(userData) != gxUSERDATASTRING) {
        return DrawAtDetail(atomic, CFerroxComposite::LODSelect(atomic), GxAtomicDefaultRenderCallback,
                            character->DressPlans());
    }
    if (userData == nullptr && !character->m_wardrobeItems.empty() && atomic->geometry != nullptr) {
        FerroxSkin dress = {&character->m_head, static_cast<const GxMaterial*>(character->GetWardrobeItem())};
        FerroxPartData skin = {kSkinPart, atomic, DressSkin, &dress};
        character->ApplyPartMaterials(&skin);
    }
    character->m_drawnThisFrame = 1;
    CFerroxComposite* model = character->GetModel();
    const GxAtomicCallBackRender own = model != nullptr ? model->GetRenderCallback() : nullptr;
    // The model's callback is this one when the character installed it.
    const GxAtomicCallBackRender draw =
        own != nullptr && own != CharacterRenderCallback ? own : GxAtomicDefaultRenderCallback;
    return DrawAtDetail(atomic, CFerroxComposite::LODSelect(atomic), draw, character->DressPlans());
}

void CFerroxCharacter::Setup(const FerroxObjectDescriptor* descriptor)
{
    if (descriptor == nullptr) {
        return;
    }
    FerroxObjectDescriptor own = *descriptor;
    if (own.renderCallback == nullptr) {
        own.renderCallback = CharacterRenderCallback;
    }
    m_pGrid = own.grid;
    CFerroxIOObject::Setup(&own);
    PathFinder();
    m_pColour = std::make_unique<FerroxColour>(FerroxColour{0, kColourGreen, 0, kOpaque});
    const bool odd = (FerroxRand() & 1) != 0;
    m_pColour->red = odd ? kColourHigh : kColourLow;
    m_pColour->blue = odd ? kColourLow : kColourHigh;
    if (m_pModel != nullptr) {
        m_pModel->SetClumpOwner(this);
        m_headMaterials.clear();
        m_head = {kHeadPart, nullptr, CollectPartCallback, &m_headMaterials};
        ChooseRandomPart(kHeadPart, kHeadVariantCount, &m_head);
    }
    m_wardrobeChoice = static_cast<uint8_t>(FerroxRand() % kWardrobeChoices);
    if (m_pModel != nullptr && m_pModel->FindPart(kWardrobePart) != nullptr) {
        std::vector<void*> items;
        FerroxPartData wardrobe = {kWardrobePart, nullptr, CollectPartCallback, &items};
        ApplyPartMaterials(&wardrobe);
        m_wardrobeItems = items;
    }
    m_rotation[1] = kStartYaw;
    m_speed = static_cast<float>(FerroxRand() % kSpeedSteps) * kSpeedStep + kBaseSpeed;
}

void CFerroxCharacter::DrawDebugInfo()
{
    if (m_pPathSpline != nullptr) {
        m_pPathSpline->DrawDebugInfo();
    }
    if (m_pPathFinder != nullptr) {
        m_pPathFinder->DrawDebugInfo();
    }
}

void CFerroxCharacter::DrawDebugInfo(GxRaster* charset)
{
    DrawDebugInfo();
    const GxV3d* p = GetPosition();
    if (charset == nullptr || p == nullptr) {
        return;
    }
    char line[kDebugLineSize];
    std::snprintf(line, sizeof line, "Char POS: %.1f, %.1f, %.1f, T: %d, AT: %0.1f", p->x, p->y, p->z, m_currentCell,
                  GetAnimationTimer());
    GxCharsetPrint(charset, line, kDebugColumn, kDebugRow);
}
