// Building objects: what every piece the player builds into the mall shares (CBaseObject: a footprint of
// grid cells on one storey) and what walk-to pieces add (CPathableObject: entrances, user slots and a dirt
// effect). Shops, facilities, doors, stairs, atria, scenery and scalable pieces derive from these.
//
// The classes call the engine (object, block grid and mesh, spline, composite), the running game's context for
// the day counter and the notices (game/world/gamecontext.h), and the object manager for its statistics and
// character lists. What they need
// from modules not built into this one (the placement controller's floor operations, the characters'
// reactions to building, particle effects) comes through the building seam below, which those owners install;
// without it the floor operations act on the storeys directly, characters are left alone and effects show
// only as the effect flag. One thread; objects are owned by the object manager, which releases them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/world/object.h"

class CFerroxBlockGrid;
class CFerroxBlockMesh;
class CFerroxSpline;
class CFerroxWorld;
class CPlacementController;
class CStatistics;
class CStairsLink;
struct CFerroxTileRecord;
struct GxUserDataArray;

// What the placement controller hands an object it places.
struct CPlacementRecord {
    CFerroxWorld* world;
    CPlacementController* controller;
    CFerroxAssetSet* templateSet;
    int32_t count;
    CFerroxBlockGrid* storey;  // current when placing began
};

// A particle effect showing on a building object (fire on a broken facility, flies on a plant).
class CBuildingEffect {
public:
    virtual ~CBuildingEffect() = default;
    virtual void Update(float dt) = 0;
    virtual void Render() = 0;
    virtual void SetBlendModes(int skip) = 0;
};

// What the building classes ask of modules they cannot link; a null entry takes the default noted.
struct BuildingHooks {
    // An effect read from the particle file, standing at the position; default: none (the flag alone shows).
    std::unique_ptr<CBuildingEffect> (*makeEffect)(const char* particleFile, const GxV3d& position);
    // Lays the rectangle between two cells of the storey with the current tile type; default:
    // SetRangeTileEx with currentTile's tile (null when that hook is absent), then the cells' state 0.
    void (*setFloorArea)(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last);
    // Clears the floor of the rectangle; default: SetRangeTile (tile 0, occupied cells too), then state 3
    // when the storey has one below.
    void (*clearFloorArea)(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last);
    CFerroxTileRecord* (*currentTile)();
    // A character standing on the cell of the floor leaves; default: nothing.
    void (*removeIfOnFloorCell)(CFerroxObject* character, int cell, CFerroxBlockGrid* floor);
    // A character using or heading for the object forgets it; default: nothing.
    void (*onObjectRemoved)(CFerroxObject* character, CFerroxObject* object);
};

// Installs the non-null entries over the current ones.
void SetBuildingHooks(const BuildingHooks& hooks);
const BuildingHooks& GetBuildingHooks();

// An entrance point, in cells relative to the footprint (whole numbers).
struct EntrancePoint {
    float x;
    float z;
};

// A path users of an object follow, with its number of users.
struct CUserSlot {
    std::unique_ptr<CFerroxSpline> spline;
    uint16_t useCount;
};

// A cell index that names no cell.
constexpr int32_t kNoCell = -1;
// Degrees of the four yaws the cell rules know.
constexpr float kYawNorth = 0.0f;
constexpr float kYawWest = 90.0f;
constexpr float kYawSouth = 180.0f;
constexpr float kYawEast = 270.0f;
// Seconds a staff member keeps a job before it is free again.
constexpr float kWorkerTime = 900.0f;
// Effect kinds of a walk-to object.
constexpr int32_t kEffectNone = -1;
constexpr int32_t kEffectFire = 0;
constexpr int32_t kEffectFlies = 1;
constexpr uint16_t kNoSlot = 0xFFFF;

class CBaseObject : public CFerroxIOObject {
public:
    CBaseObject();
    void Init() override;
    void Release() override;
    ~CBaseObject() override;

    void Update(float dt) override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int Save(CFerroxFile* file) override;
    int Load(CFerroxFile* file) override;

    virtual void FindEntrances(GxAtomic* atomic, GxUserDataArray* array);
    virtual void UpdateFootprint();
    // 1 when the floor is null or the first cell lies off the grid, else 0.
    virtual int SetGridPosition(const GxV3d& position, CFerroxBlockGrid* floor);
    virtual int CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above);
    virtual int CanLayFloor(CFerroxBlockMesh* below, CFerroxBlockMesh* above, CFerroxBlockMesh* storey, int clearing);
    virtual int CanClearFloor(CFerroxBlockMesh* below, CFerroxBlockMesh* above, CFerroxBlockMesh* storey);
    virtual int IsPlaced() { return m_placed; }
    virtual void OccupyCells();
    virtual int32_t GetValue() { return m_cost; }
    virtual int32_t GetRows() { return m_rows; }
    virtual int32_t GetColumns() { return m_columns; }
    virtual int32_t GetSizeX() { return m_sizeX; }
    virtual int32_t GetSizeZ() { return m_sizeZ; }
    virtual int IsOnFloor(CFerroxBlockGrid* floor) { return floor == m_pFloor; }
    // 1 when the object took its place; 0 when it could not (it then stays unplaced and may be dropped).
    virtual int Place(CPlacementRecord* record);

    // Sets the footprint from a dragged rectangle, keeping the first cell at its corner.
    void SetDragArea(int first, CFerroxBlockGrid* floor, const GxV3d& size, const GxV3d& direction);
    // The cell of a point relative to the footprint by the yaw rule; -1 without a floor or at another yaw.
    int32_t CellOfPoint(const EntrancePoint& point);
    // The model's name, or the object's own when it has no model.
    const char* GetModelName();
    CFerroxBlockGrid* GetFloor() const { return m_pFloor; }
    int32_t GetFirstCell() const { return m_firstCell; }
    const GxV3d& GetGridPosition() const { return m_gridPosition; }
    int32_t GetDayStamp() const { return m_dayStamp; }
    void SetDayStamp(int32_t day) { m_dayStamp = day; }
    void SetSize(int32_t sizeX, int32_t sizeZ)
    {
        m_sizeX = sizeX;
        m_sizeZ = sizeZ;
    }

protected:
    // The next template value at the cursor; false at the end of the list (the cursor then stays).
    bool NextValue(int32_t* value);
    CFerroxAssetSet* TemplateOf(CPlacementRecord* record);
    // Covered cells in row order, the row step being the floor's column count.
    std::vector<int> CoveredCells();

    int32_t m_placed;
    GxV3d m_anchor;
    CFerroxBlockGrid* m_pFloor;
    int32_t m_cost;
    int32_t m_dayStamp;
    GxV3d m_gridPosition;
    int32_t m_sizeX;
    int32_t m_sizeZ;
    int32_t m_rows;
    int32_t m_columns;
    int32_t m_firstCell;
};

class CPathableObject : public CBaseObject {
public:
    CPathableObject();
    void Init() override;
    void Release() override;
    ~CPathableObject() override;

    void Update(float dt) override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    void DrawDebugInfo() override;
    int Save(CFerroxFile* file) override;
    int Load(CFerroxFile* file) override;
    void FindEntrances(GxAtomic* atomic, GxUserDataArray* array) override;
    int CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above) override;
    int Place(CPlacementRecord* record) override;

    virtual void PlaceUserSlots(const GxV3d& position, float angle);
    virtual CStairsLink* GetStairsLink(CFerroxBlockGrid* floor);
    virtual int CreateEffects();
    virtual int ClearEffects();
    virtual int IsEntranceCell(int32_t cell);
    virtual int IsAvailable(CFerroxBlockGrid* floor);
    virtual int IsDirty(CFerroxBlockGrid* floor, const GxV3d* position);
    // The cell of an entrance (a negative index takes the first); -1 past the last entrance.
    virtual int32_t GetEntranceCell(int32_t index);
    // The cell a character aims for; doors answer with their crossing cell.
    virtual int32_t GetEntranceCellEx(int32_t index);
    virtual int32_t GetEntranceCount();
    // Takes the first free slot: its index goes to out and a copy of its path is returned; 0xFFFF and null
    // when every slot is used.
    virtual std::unique_ptr<CFerroxSpline> AcquireSlot(uint16_t* out);
    // Joins the given slot and returns a copy of its path; null for an index outside the slots.
    virtual std::unique_ptr<CFerroxSpline> AcquireSlotAt(int32_t index);
    // Leaves the given slot: its use count drops, and a slot nobody uses is free again. Nothing for an
    // index outside the slots or a slot nobody uses.
    void ReleaseSlot(int32_t index);
    virtual int32_t GetKind() { return -1; }
    virtual uint16_t GetPrice() { return 0; }
    virtual void AddTakings(int16_t) {}
    virtual void SetEffectBlendModes();
    virtual void RenderEffect();

    void AddEntrance(const EntrancePoint& point) { m_entrances.push_back(point); }
    // The point of a "door" dummy at a model position.
    EntrancePoint EntranceFromDummy(const GxV3d& position);
    // The point of a second-list dummy (outside entrances, upper entrances, free points).
    EntrancePoint SecondEntranceFromDummy(const GxV3d& position);
    // The spline becomes the path of a new slot.
    void AddUserSlot(std::unique_ptr<CFerroxSpline> spline);

    int32_t IsEffectOn() const { return m_effectOn; }
    CBuildingEffect* GetEffect() const { return m_pEffect.get(); }
    int32_t GetEffectKind() const { return m_effectKind; }
    void SetEffectKind(int32_t kind) { m_effectKind = kind; }
    CFerroxObject* GetWorker() const { return m_pWorker; }
    void SetWorker(CFerroxObject* worker) { m_pWorker = worker; }
    const std::vector<EntrancePoint>& GetEntrances() const { return m_entrances; }
    const std::vector<std::unique_ptr<CUserSlot>>& GetUserSlots() const { return m_userSlots; }
    uint16_t GetSlotCount() const { return m_slotCount; }
    uint16_t GetUsedSlots() const { return m_usedSlots; }

protected:
    // Whether the cell is valid on the floor and its block walkable.
    static int IsCellOpen(CFerroxBlockGrid* floor, int32_t cell);
    void ReleaseSlotsAndEffect();

    int32_t m_effectOn;
    std::unique_ptr<CBuildingEffect> m_pEffect;
    CFerroxObject* m_pWorker;
    float m_workerTimer;
    std::vector<EntrancePoint> m_entrances;
    std::vector<std::unique_ptr<CUserSlot>> m_userSlots;
    uint16_t m_slotCount;
    uint16_t m_usedSlots;
    int32_t m_effectKind;
};

// Helpers shared by the building classes.
// The day counter of the game, 0 without a game.
int32_t BuildingGameDay();
// Whether the game flags this update as the start of a new day.
bool BuildingIsNewDay();
// In-game message through the game's notices.
void BuildingMessage(int16_t number);
// The model name of a cell occupant (its model's name, else its own); null when none.
const char* BuildingOccupantName(CFerroxBase* occupant);
// Entry of the statistics' category counters, 0 when the list is shorter.
int32_t BuildingCategoryLevel(size_t entry);
// The floor operations through the hooks.
void BuildingSetFloorArea(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last);
void BuildingClearFloorArea(CPlacementController* controller, CFerroxBlockMesh* storey, int first, int last);
