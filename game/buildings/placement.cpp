// The placement controller: modes, the held object and its boxes, dragged rectangles, and saved objects.
// The wall scans are in walls.cpp.
//
// Sections: seams and helpers; life cycle; modes and the held object; frames; placing; dragging; walls and
// the ground object; saved games.
#include "game/buildings/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/data/debugdraw.h"
#include "engine/data/file.h"
#include "engine/navigation/blockmesh.h"
#include "engine/navigation/character.h"
#include "engine/world/composite.h"
#include "game/buildings/objectsreader.h"
#include "game/buildings/scalable.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "game/world/templates.h"
#include "gfx/core/assert.h"

namespace {

constexpr const char* kWallCategory = "AUX";
constexpr uint16_t kBoxTemplate = 0;
constexpr const char* kGroundModel = "ground.gxs";
constexpr const char* kPlainFactoryText = "ferrox";
constexpr const char* kScalableFactoryText = "scalable";
// Held objects get a model of their own sharing the pooled geometry; boxes, pieces and the ground their own
// geometry, since they are scaled one by one.
constexpr int kHeldModelMode = 1;
constexpr int kOwnModelMode = 2;
constexpr float kParkedHeight = -50.0f;
constexpr float kHoverHeight = 1.15f;
constexpr float kBoxLift = 0.01f;
constexpr float kQuarterTurn = 90.0f;
constexpr GxV3d kUp = {0.0f, 1.0f, 0.0f};
constexpr GxV3d kCursorBoxScale = {2.0f, 1.0f, 2.0f};
constexpr uint8_t kBoxAlpha = 100;
constexpr uint8_t kFull = 255;
constexpr int32_t kPlacedSample = 1;
constexpr int32_t kPlacedVolume = 255;
// Cost totals count laid cells modulo this.
constexpr uint32_t kCostModulus = 65536;
// Cleared cells leave a storey that has one below open to it.
constexpr int32_t kOpenCellState = 3;
constexpr int32_t kCellIndexMask = 0xFFFF;

CPlacementController* g_pController = nullptr;
// The storey being cleared, for the cleared-cell callback.
CFerroxBlockMesh* g_pClearing = nullptr;

CDynamicObjectManager* Manager() { return CDynamicObjectManager::Instance(); }

void SetColour(CFerroxObject* object, const GxRGBA& colour)
{
    if (object && object->GetModel())
        object->GetModel()->SetMaterialColour(&colour);
}

void Translate(CFerroxObject* object, const GxV3d& to, int combine)
{
    if (object)
        object->Translate(&to, combine);
}

void ResetScale(CScalableObject* box)
{
    if (box)
        box->ResetScale();
}

void ClearedCell(int cell)
{
    const BuildingHooks& hooks = GetBuildingHooks();
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (!hooks.removeIfOnFloorCell || !manager)
        return;
    const int cleared = cell & kCellIndexMask;
    for (const ObjectList* list : {&manager->GetShoppers(), &manager->GetCriminals(), &manager->GetCleaners(),
                                   &manager->GetSecurity(), &manager->GetMaintenance()}) {
        const ObjectList copy = *list;  // a character that leaves may leave its list
        for (CFerroxObject* object : copy) {
            // A character walking into the cell stands there already while its cell is still the one it left
            // (it is read as the step begins): it leaves all the same.
            CFerroxCharacter* character = dynamic_cast<CFerroxCharacter*>(object);
            const GxV3d* at = character ? character->GetPosition() : nullptr;
            const bool standing =
                at && g_pClearing && character->GetBlockGrid() == g_pClearing && g_pClearing->GetCellAt(*at) == cleared;
            hooks.removeIfOnFloorCell(object, standing ? character->m_currentCell : cleared, g_pClearing);
        }
    }
}

CFerroxTileRecord* HookCurrentTile()
{
    CFloorManager* floors = CFloorManager::GetInstance();
    return floors ? floors->GetCurrentTileType() : nullptr;
}

// A building placed without a record's controller (a load's) lays and clears through the controller serving.
void HookSetFloorArea(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last)
{
    if (CPlacementController* target = controller ? controller : g_pController)
        target->SetFloorArea(storey, first, last, nullptr, 0, 0);
}

void HookClearFloorArea(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last)
{
    if (CPlacementController* target = controller ? controller : g_pController)
        target->ClearFloorArea(storey, first, last);
}

bool IsBuilding(CFerroxObject* object)
{
    return dynamic_cast<CBaseObject*>(object) && !dynamic_cast<CScalableObject*>(object);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Life cycle

CPlacementController* CPlacementController::GetInstance() { return g_pController; }

CPlacementController::CPlacementController() : m_floorHooks(this) { Init(); }

CPlacementController::~CPlacementController()
{
    Release();
    if (g_pController == this)
        g_pController = nullptr;
}

void CPlacementController::Init()
{
    m_mode = PLACEMENT_IDLE;
    m_pHeld = nullptr;
    m_pRecord.reset();
    m_pAreaBox = nullptr;
    m_pCursorBox = nullptr;
    m_pFloors = nullptr;
    m_dragStart = kNoCell;
    m_dragEnd = kNoCell;
    m_heldYaw = 0.0f;
    for (CFerroxAssetSet*& set : m_wallTemplates)
        set = nullptr;
    m_pGround = nullptr;
    m_pieces.clear();
    m_pWorld = nullptr;
    m_pHeldTemplate = nullptr;
    m_shownValue = kNoShownValue;
    m_objectsLeftOut = 0;
}

void CPlacementController::Create(CFloorManager* floors, CFerroxWorld* world)
{
    g_pController = this;
    m_pFloors = floors;
    m_pWorld = world;
    CDynamicObjectManager* manager = Manager();
    LoadWallTemplates();
    BuildingHooks hooks = {};
    hooks.setFloorArea = &HookSetFloorArea;
    hooks.clearFloorArea = &HookClearFloorArea;
    hooks.currentTile = &HookCurrentTile;
    SetBuildingHooks(hooks);

    CFerroxAssetSet* groundSet = manager->FindTemplateByModel(kGroundModel);
    CFerroxBlockMesh* ground = Ground();
    if (!groundSet || !ground)
        return;
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = groundSet;
    descriptor.modelMode = kOwnModelMode;
    descriptor.floorObject = ground;
    m_pGround = manager->CreateObject(manager->FindFactory(kPlainFactoryText, world), &descriptor);
    if (!m_pGround)
        return;
    Translate(m_pGround, ground->GetOrigin(), 0);
    m_pGround->DisableRender();
}

void CPlacementController::Release()
{
    SetMode(PLACEMENT_IDLE, m_pWorld, 0, nullptr, nullptr);
    m_pieces.clear();
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (m_pGround && manager)
        manager->RemoveObject(m_pGround, 1);
    m_pGround = nullptr;
}

void CPlacementController::LoadWallTemplates()
{
    CDynamicObjectManager* manager = Manager();
    for (int i = 0; i < kWallTemplates; i++)
        m_wallTemplates[i] = manager->FindTemplate(kWallCategory, static_cast<uint16_t>(i + 1));
}

CObjectTemplate* CPlacementController::GetWallTemplate(int index) const
{
    return index >= 1 && index <= kWallTemplates ? m_wallTemplates[index - 1] : nullptr;
}

CFerroxBlockMesh* CPlacementController::Ground() const
{
    if (!m_pFloors)
        return nullptr;
    return m_pFloors->GetBaseFloors().empty() ? nullptr : m_pFloors->GetBaseFloors().front().get();
}

CFerroxBlockMesh* CPlacementController::CurrentStorey() const
{
    return m_pFloors ? m_pFloors->GetCurrentFloor() : nullptr;
}

int16_t CPlacementController::StoreyIndex(CFerroxBlockMesh* storey) const
{
    return storey ? static_cast<int16_t>(storey->CountLinked()) : 0;
}

void CPlacementController::HideStorey(CFerroxBlockMesh* storey)
{
    ObjectFloorFlags flags = {};
    flags.scalable = 1;
    Manager()->HideFloorObjects(StoreyIndex(storey), flags);
}

void CPlacementController::AddCost(int32_t cells)
{
    CStatistics* statistics = Manager()->GetStatistics();
    if (statistics && cells > 0)
        statistics->m_buildingCosts += static_cast<uint32_t>(cells) % kCostModulus;
}

// ---------------------------------------------------------------------------------------------------------
// Modes and the held object

int CPlacementController::SetMode(int32_t mode, CFerroxWorld* world, int drop, CFerroxAssetSet* set,
                                  CFerroxObjectFactory* factory)
{
    if (world)
        m_pWorld = world;
    DropHeldObject();
    m_dragStart = kNoCell;
    m_dragEnd = kNoCell;
    if (mode == PLACEMENT_OBJECT && !BeginObjectPlacement(drop, set, factory)) {
        m_mode = PLACEMENT_IDLE;
        return 0;
    }
    if (mode == PLACEMENT_LAY || mode == PLACEMENT_CLEAR)
        CreateBoxes();
    m_mode = mode;
    return 0;
}

bool CPlacementController::BeginObjectPlacement(int drop, CFerroxAssetSet* set, CFerroxObjectFactory* factory)
{
    CDynamicObjectManager* manager = Manager();
    if (!factory)
        factory = manager->FindFactory(kPlainFactoryText, m_pWorld);
    m_pRecord = std::make_unique<CPlacementRecord>(CPlacementRecord{nullptr, nullptr, nullptr, 1, nullptr});
    if (drop)
        DropHeldObject();
    if (!set || set->GetModels().empty() || !factory)
        return false;
    CFerroxBlockMesh* storey = CurrentStorey();
    m_pRecord->templateSet = set;
    m_pRecord->storey = storey;
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = set;
    descriptor.modelMode = kHeldModelMode;
    descriptor.floorObject = storey;
    // Filed under the storey current now, or record 0 with the pointer off the grid.
    CFerroxObject* object = manager->CreateObject(factory, &descriptor);
    m_pHeld = dynamic_cast<CBaseObject*>(object);
    if (!m_pHeld) {
        if (object)
            manager->RemoveObject(object, 1);
        return false;
    }
    m_pHeldTemplate = set;
    CreateBoxes();
    SetHeldObject();
    return true;
}

void CPlacementController::CreateBoxes()
{
    CDynamicObjectManager* manager = Manager();
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = manager->FindTemplate(kWallCategory, kBoxTemplate);
    descriptor.modelMode = kOwnModelMode;
    descriptor.floorObject = CurrentStorey();
    CFerroxObjectFactory* factory = manager->FindFactory(kScalableFactoryText, m_pWorld);
    m_pAreaBox = dynamic_cast<CScalableObject*>(manager->CreateObject(factory, &descriptor));
    m_pCursorBox = dynamic_cast<CScalableObject*>(manager->CreateObject(factory, &descriptor));
    for (CScalableObject* box : {m_pAreaBox, m_pCursorBox}) {
        if (box)
            box->DisableCollision();
    }
    if (m_pCursorBox) {
        m_pCursorBox->SetScale(kCursorBoxScale);
        m_pCursorBox->RemoveFromWorld();
    }
}

void CPlacementController::SetHeldObject()
{
    if (m_pAreaBox) {
        m_pAreaBox->ResetScale();
        m_pAreaBox->SetScale({static_cast<float>(m_pHeld->GetSizeX()), 1.0f, static_cast<float>(m_pHeld->GetSizeZ())});
        m_pAreaBox->RotateYaw(&kUp, m_heldYaw, 0);
    }
    m_pHeld->RotateYaw(&kUp, m_heldYaw, 0);
}

void CPlacementController::DropHeldObject()
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (m_pHeld && manager) {
        // RemoveObject takes it out of whichever record holds it.
        manager->RemoveObject(m_pHeld, 0);
    }
    if (m_pHeld) {
        m_pRecord.reset();
        m_pHeld = nullptr;
    }
    RemoveBoxes();
}

void CPlacementController::RemoveBoxes()
{
    // Without the manager the boxes went with it.
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (manager)
        ResetScale(m_pAreaBox);
    for (CScalableObject* box : {m_pAreaBox, m_pCursorBox}) {
        if (box && manager)
            manager->RemoveObject(box, 0);
    }
    m_pAreaBox = nullptr;
    m_pCursorBox = nullptr;
}

void CPlacementController::MoveHeldObject(const GxV3d& point)
{
    CFerroxBlockMesh* storey = CurrentStorey();
    const int half = storey ? storey->GetCellSize() / 2 : 0;
    GxV3d at = point;
    if (m_pHeld->GetRows() % 2 == 0)
        at.x += static_cast<float>(half);
    if (m_pHeld->GetColumns() % 2 == 0)
        at.z -= static_cast<float>(half);
    m_pHeld->Translate(&at, 0);
    m_pHeld->ApplyYaw();
    if (m_pAreaBox) {
        // Setting the yaw leaves a pure rotation, so the box is turned first and then moved.
        m_pAreaBox->RotateYaw(&kUp, m_pHeld->GetRotation()[1], 0);
        m_pAreaBox->Translate(&at, 2);
    }
}

bool CPlacementController::HeldFits(CFerroxBlockMesh* storey)
{
    return m_pHeld->CanPlace(storey->GetLower(), storey->GetUpper()) != 0;
}

int CPlacementController::RotateHeldObject(int direction)
{
    if (!m_pHeld)
        return 0;
    const float turn = direction == 0 ? -kQuarterTurn : kQuarterTurn;
    m_pHeld->RotateYaw(&kUp, turn, 1);
    if (m_pAreaBox)
        m_pAreaBox->RotateYaw(&kUp, turn, 1);
    m_heldYaw = m_pHeld->GetRotation()[1];
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Frames

void CPlacementController::Update(const GxV3d& point)
{
    if (!m_pFloors)
        return;
    m_pFloors->UpdatePick(point);
    CFerroxBlockMesh* storey = CurrentStorey();
    const GxV3d parked = {0.0f, kParkedHeight, 0.0f};
    if (!storey) {
        Translate(m_pHeld, parked, 0);
        Translate(m_pAreaBox, parked, 0);
        return;
    }
    if (m_mode == PLACEMENT_OBJECT && m_pHeld) {
        if (m_pHeld->SetGridPosition(point, storey) != 0)
            return;
        MoveHeldObject(point);
        const bool fits = HeldFits(storey);
        const GxRGBA colour = {static_cast<uint8_t>(fits ? 0 : kFull), static_cast<uint8_t>(fits ? kFull : 0), 0,
                               kBoxAlpha};
        SetColour(m_pAreaBox, colour);
        SetColour(m_pCursorBox, colour);
        Translate(m_pHeld, {0.0f, kHoverHeight, 0.0f}, 2);
        return;
    }
    if (m_mode == PLACEMENT_LAY || m_mode == PLACEMENT_CLEAR)
        UpdateDrag(point, storey);
}

void CPlacementController::UpdateDrag(const GxV3d& point, CFerroxBlockMesh* storey)
{
    Translate(m_pCursorBox, {0.0f, kParkedHeight, 0.0f}, 0);
    m_dragEnd = storey->GetCellAt(point);
    if (!storey->IsValidCell(m_dragEnd, 0)) {
        EndDrag();
        Translate(m_pAreaBox, {0.0f, kParkedHeight, 0.0f}, 2);
        return;
    }
    if (!m_pAreaBox)
        return;
    const int start = m_dragStart != kNoCell ? m_dragStart : m_dragEnd;
    const int n = storey->GetCellSize();
    // The box follows the pointer's point, as the held object does; the rectangle of cells comes from the cells.
    m_pAreaBox->Translate(&point, 0);
    m_pAreaBox->ResetScale();
    int dx = storey->GetCellWorldX(m_dragEnd, 0) - storey->GetCellWorldX(start, 0);
    int dz = storey->GetCellWorldZ(m_dragEnd, 0) - storey->GetCellWorldZ(start, 0);
    const int sx = dx > 0 ? 1 : -1;
    const int sz = dz > 0 ? 1 : -1;
    dx += sx * n;
    dz += sz * n;
    const float width = static_cast<float>(std::abs(dx));
    const float depth = static_cast<float>(std::abs(dz));
    m_pAreaBox->SetScale({width, 1.0f, depth});
    const GxV3d shift = {(static_cast<float>(n) - width) * 0.5f * static_cast<float>(sx), kBoxLift,
                         (static_cast<float>(n) - depth) * 0.5f * static_cast<float>(sz)};
    m_pAreaBox->Translate(&shift, 2);
    // The rectangle is counted back from the cell under the box towards the start.
    m_pAreaBox->SetDragArea(m_dragEnd, storey, {width, 1.0f, depth},
                            {static_cast<float>(sx), 0.0f, static_cast<float>(sz)});
    CFerroxBlockMesh* below = storey->GetLower();
    CFerroxBlockMesh* above = storey->GetUpper();
    GxRGBA colour;
    if (m_mode == PLACEMENT_LAY) {
        const bool valid = m_pAreaBox->CanLayFloor(below, above, storey, 0) != 0;
        colour = valid ? GxRGBA{0, kFull, 0, kBoxAlpha} : GxRGBA{kFull, 0, 0, kBoxAlpha};
    } else {
        const bool valid = m_pAreaBox->CanClearFloor(below, above, storey) != 0;
        colour = valid ? GxRGBA{kFull, kFull, 0, kBoxAlpha} : GxRGBA{kFull, 0, kFull, kBoxAlpha};
    }
    SetColour(m_pAreaBox, colour);
}

bool CPlacementController::GetDragOutline(GxV3d* corner, int* cellsX, int* cellsZ) const
{
    CFerroxBlockMesh* storey = CurrentStorey();
    if ((m_mode != PLACEMENT_LAY && m_mode != PLACEMENT_CLEAR) || !storey || m_dragStart == kNoCell)
        return false;
    // Rows run along +x and columns along -z; the outline starts at the outer corner of the rectangle's lowest
    // row and column, so its lines are the cell borders.
    const float n = static_cast<float>(storey->GetCellSize());
    const int r0 = storey->GetCellRow(m_dragStart, 0), r1 = storey->GetCellRow(m_dragEnd, 0);
    const int c0 = storey->GetCellColumn(m_dragStart, 0), c1 = storey->GetCellColumn(m_dragEnd, 0);
    if (!storey->GetCellPosition(storey->GetCellIndex(std::min(c0, c1), std::min(r0, r1), 0), corner, 0))
        return false;
    corner->x -= n * 0.5f;
    corner->y += kBoxLift;
    corner->z += n * 0.5f;
    *cellsX = std::abs(r1 - r0) + 1;
    *cellsZ = std::abs(c1 - c0) + 1;
    return true;
}

void CPlacementController::Render()
{
    m_shownValue = kNoShownValue;
    CFerroxBlockMesh* storey = CurrentStorey();
    GxV3d corner = {};
    int cellsX = 0, cellsZ = 0;
    if (GetDragOutline(&corner, &cellsX, &cellsZ))
        DrawDebugGrid(corner, cellsX, cellsZ, static_cast<float>(storey->GetCellSize()));
    if (m_mode != PLACEMENT_OBJECT || !m_pHeld)
        return;
    m_shownValue = static_cast<int16_t>(m_pHeld->GetValue());
    CPathableObject* pathable = dynamic_cast<CPathableObject*>(m_pHeld);
    if (!pathable || !m_pCursorBox || !storey)
        return;
    for (int32_t i = 0; i < pathable->GetEntranceCount(); i++) {
        GxV3d at = {};
        if (!storey->GetCellPosition(pathable->GetEntranceCell(i), &at, 0))
            continue;
        m_pCursorBox->Translate(&at, 0);
        m_pCursorBox->Render();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Placing

int CPlacementController::PlaceHeldObject(const GxV3d& point, CFerroxWorld* world, int skipChecks)
{
    if (!m_pFloors || !m_pHeld || !CurrentStorey())
        return 1;
    m_pFloors->UpdatePick(point);
    CFerroxBlockMesh* storey = CurrentStorey();
    if (!storey)
        return 1;
    if (m_pHeld->SetGridPosition(point, storey) != 0)
        return 1;
    if (world)
        m_pWorld = world;
    if (!skipChecks) {
        if (!HeldFits(storey))
            return 1;
        // The placed object stands on its picked cell's point: a load finds its cells again from where it stands,
        // and from a point past the middle of the cell an even-sized object's half-cell offset would reach the
        // next cell over.
        MoveHeldObject(m_pFloors->GetPickPoint());
        RemoveWallsFrom(storey);
    }
    GX_ASSERT(m_pRecord, "an object is held only with the record its placement began with");
    m_pRecord->world = world;
    m_pRecord->controller = this;
    if (m_pHeld->Place(m_pRecord.get())) {
        // Filed again under the storey it now stands on: it was filed under the storey current when it was made,
        // none while the pointer was off the grid.
        CDynamicObjectManager* manager = Manager();
        manager->RemoveFromLists(m_pHeld, -1);
        manager->AddToLists(m_pHeld, StoreyIndex(storey));
    }
    if (g_pGameContext)
        g_pGameContext->PlaySample(kPlacedSample, kPlacedVolume);
    if (!skipChecks)
        BuildWallsFrom(storey);
    m_pHeld = nullptr;
    RemoveBoxes();
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Dragging

void CPlacementController::EndDrag()
{
    m_dragStart = kNoCell;
    m_dragEnd = kNoCell;
    ResetScale(m_pAreaBox);
}

int CPlacementController::BeginDrag(const GxV3d& point)
{
    if (!m_pFloors || !CurrentStorey())
        return 0;
    m_pFloors->UpdatePick(point);
    CFerroxBlockMesh* storey = CurrentStorey();
    if (!storey)
        return 0;
    m_dragStart = storey->GetCellAt(point);
    if (!storey->IsValidCell(m_dragStart, 0))
        m_dragStart = kNoCell;
    m_dragEnd = m_dragStart;
    return 0;
}

int CPlacementController::LayFloorArea(const GxV3d& point, CFerroxWorld* world)
{
    if (world)
        m_pWorld = world;
    CFerroxBlockMesh* storey = CurrentStorey();
    int result = 1;
    const int end = storey ? storey->GetCellAt(point) : kNoCell;
    if (storey && m_pAreaBox && m_dragStart != kNoCell && storey->IsValidCell(end, 0) &&
        m_pAreaBox->CanLayFloor(storey->GetLower(), storey->GetUpper(), storey, 0)) {
        const int32_t cells = m_pAreaBox->GetRows() * m_pAreaBox->GetColumns();
        RemoveWallsFrom(storey);
        SetFloorArea(storey, m_dragStart, end, nullptr, 1, 0);
        AddCost(cells);
        CFerroxTileRecord* first =
            m_pFloors->GetFloorTiles().empty() ? nullptr : m_pFloors->GetFloorTiles().front().get();
        for (CFerroxBlockMesh* up = storey->GetUpper(); up; up = up->GetUpper()) {
            if (!m_pAreaBox->CanLayFloor(up->GetLower(), up->GetUpper(), up, 0))
                continue;
            SetFloorArea(up, m_dragStart, end, first, 1, 1);
            AddCost(cells);
        }
        BuildWallsFrom(storey);
        result = 0;
    }
    EndDrag();
    return result;
}

CBaseObject* CPlacementController::RemovableAt(CFerroxObject* picked, CFerroxBlockMesh* storey, int cell)
{
    CFerroxObject* owner =
        picked && picked->GetModel() && picked->GetModel()->GetOwner() ? picked->GetModel()->GetOwner() : picked;
    if (IsBuilding(owner))
        return dynamic_cast<CBaseObject*>(owner);
    CFerroxObject* occupant = storey && storey->IsValidCell(cell, 1)
                                  ? dynamic_cast<CFerroxObject*>(storey->GetBlock(cell)->m_pOccupant)
                                  : nullptr;
    return IsBuilding(occupant) ? dynamic_cast<CBaseObject*>(occupant) : nullptr;
}

void CPlacementController::RemoveBuilding(CBaseObject* building, CFerroxBlockMesh* storey)
{
    // The pieces of the building's own storey and those above follow: a door leaves a wall.
    CFerroxBlockMesh* own = dynamic_cast<CFerroxBlockMesh*>(building->GetFloor());
    CFerroxBlockMesh* from = own ? own : storey;
    RemoveWallsFrom(from);
    Manager()->RemoveObject(building, 1);
    EndDrag();
    BuildWallsFrom(from);
}

int CPlacementController::ClearArea(const GxV3d& point, CFerroxObject* picked, CFerroxWorld* world)
{
    if (world)
        m_pWorld = world;
    CFerroxBlockMesh* storey = CurrentStorey();
    if (!storey) {
        EndDrag();
        return 1;
    }
    const int cell = storey->GetCellAt(point);
    if (m_dragStart == m_dragEnd) {
        if (CBaseObject* building = RemovableAt(picked, storey, cell)) {
            RemoveBuilding(building, storey);
            return 0;
        }
    }
    // Nothing is told: a refused clearing leaves the box in its refusing colour, and nothing is paid back.
    if (m_pAreaBox && m_pAreaBox->CanClearFloor(storey->GetLower(), storey->GetUpper(), storey)) {
        RemoveWallsFrom(storey);
        ClearFloorArea(storey, m_dragStart, cell);
        for (CFerroxBlockMesh* up = storey->GetUpper(); up; up = up->GetUpper()) {
            if (m_pAreaBox->CanLayFloor(nullptr, up->GetUpper(), storey, 0))
                ClearFloorArea(up, m_dragStart, cell);
        }
        BuildWallsFrom(storey);
    }
    EndDrag();
    return 1;
}

int CPlacementController::SetFloorArea(CFerroxBlockMesh* storey, int first, int last, CFerroxTileRecord* tile,
                                       int includeOccupied, int onlyEmpty)
{
    if (!storey)
        return 0;
    if (!tile && m_pFloors)
        tile = m_pFloors->GetCurrentTileType();
    storey->SetRangeTileEx(tile, first, last, includeOccupied, onlyEmpty, nullptr);
    storey->SetRangeState(first, last, 0, 1);
    return 0;
}

int CPlacementController::ClearFloorArea(CFerroxBlockMesh* storey, int first, int last)
{
    if (!storey)
        return 0;
    g_pClearing = storey;
    storey->SetRangeTile(first, last, 1, &ClearedCell);
    g_pClearing = nullptr;
    if (storey->GetLower())
        storey->SetRangeState(first, last, kOpenCellState, 0);
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Walls and the ground object

int CPlacementController::MoveGroundObject(int up)
{
    if (CFerroxBlockMesh* storey = CurrentStorey()) {
        if (CFerroxBlockMesh* next = up ? storey->GetUpper() : storey->GetLower())
            m_pFloors->SetCurrentFloor(next);
    }
    Translate(m_pGround, {0.0f, up ? kStoreyHeight : -kStoreyHeight, 0.0f}, 2);
    return 0;
}

void CPlacementController::FloorHooksImpl::OnFloorChanged(int step) { m_owner->MoveGroundObject(step > 0 ? 1 : 0); }

void CPlacementController::FloorHooksImpl::OnStoreyAdded(CFerroxBlockMesh* storey)
{
    m_owner->RemoveWalls(m_owner->m_pWorld, 0, storey);
    m_owner->BuildWalls(m_owner->m_pWorld, 0, storey);
}

void CPlacementController::RemoveWallsFrom(CFerroxBlockMesh* storey)
{
    for (CFerroxBlockMesh* level = storey; level; level = level->GetUpper())
        RemoveWalls(m_pWorld, 0, level);
}

void CPlacementController::BuildWallsFrom(CFerroxBlockMesh* storey)
{
    const int shown = m_pFloors ? m_pFloors->GetCurrentFloorIndex() : 0;
    for (CFerroxBlockMesh* level = storey; level; level = level->GetUpper()) {
        ScanWalls(level);
        // The storeys above the one shown keep their pieces out of sight.
        if (StoreyIndex(level) > shown)
            HideStorey(level);
    }
}

int CPlacementController::RemoveWalls(CFerroxWorld*, int all, CFerroxBlockMesh* storey)
{
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (!manager) {
        m_pieces.clear();
        return 0;
    }
    if (all) {
        for (CFerroxObject* piece : m_pieces)
            manager->RemoveObject(piece, 1);
        m_pieces.clear();
        return 0;
    }
    const int16_t index =
        storey ? StoreyIndex(storey) : static_cast<int16_t>(m_pFloors ? m_pFloors->GetCurrentFloorIndex() : 0);
    std::vector<CFerroxObject*> kept;
    for (CFerroxObject* piece : m_pieces) {
        if (!manager->RemoveObjectOnFloor(piece, 1, index))
            kept.push_back(piece);
    }
    m_pieces.swap(kept);
    return 0;
}

int CPlacementController::BuildWalls(CFerroxWorld* world, int all, CFerroxBlockMesh* storey)
{
    if (world)
        m_pWorld = world;
    if (!all) {
        // Without a storey, the one shown: the storey under the pointer is none while it is off the grid.
        CFerroxBlockMesh* ground = Ground();
        CFerroxBlockMesh* target = storey                ? storey
                                   : ground && m_pFloors ? ground->GetLinked(m_pFloors->GetCurrentFloorIndex())
                                                         : nullptr;
        if (target)
            ScanWalls(target);
        return 0;
    }
    CFerroxBlockMesh* ground = Ground();
    if (!ground || !m_pFloors)
        return 0;
    const int remembered = m_pFloors->GetCurrentFloorIndex();
    for (int i = 0; i < m_pFloors->GetBuiltFloors(); i++) {
        CFerroxBlockMesh* level = ground->GetLinked(i);
        if (!level)
            break;
        if (i > 0)
            m_pFloors->FloorUp(nullptr, m_pWorld);
        m_pFloors->SetCurrentFloor(level);
        ScanWalls(level);
    }
    m_pFloors->GoToFloor(remembered, m_pWorld);
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Saved games

// Writes the "<OBJECTS>" section without the wall pieces, which a load builds again. Its reader is ReadObjects
// (game/buildings/objectsreader.h).
int CPlacementController::SaveObjects(CFerroxFile* file, CFerroxWorld* world)
{
    SetMode(PLACEMENT_IDLE, world, 0, nullptr, nullptr);
    RemoveWalls(world, 1, nullptr);
    Manager()->SaveObjects(file);
    if (m_pFloors)
        m_pFloors->ResetFloorIndex();
    if (CFerroxBlockMesh* ground = Ground())
        Translate(m_pGround, ground->GetOrigin(), 0);
    BuildWalls(world, 1, nullptr);
    return 0;
}

int CPlacementController::LoadObjects(CFerroxTagFile* file, CFerroxWorld* world)
{
    SetMode(PLACEMENT_IDLE, world, 0, nullptr, nullptr);
    m_objectsLeftOut = ReadObjects(file, m_pWorld, Ground(), this).dropped;
    BuildWalls(world, 1, nullptr);
    SetMode(PLACEMENT_IDLE, world, 0, nullptr, nullptr);
    return 1;
}
