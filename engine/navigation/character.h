// The engine's walking character: a straight walk or a budgeted A* search to a cell of its floor's grid, then a
// glide along a spline through the route's cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/world/object.h"
#include "gfx/core/gx.h"

class CFerroxAStar;
class CFerroxBlockGrid;
class CFerroxSpline;
struct FerroxDressPlans;
struct GxRaster;

enum FerroxMovementMode : int32_t {
    FERROX_MOVE_STANDING = 4,
    FERROX_MOVE_FOLLOWING = 5,
};

enum FerroxRouteState : int32_t {
    FERROX_ROUTE_IDLE = 0,
    FERROX_ROUTE_SEARCHING = 1,
    FERROX_ROUTE_READY = 2,
    FERROX_ROUTE_FAILED = 3,
};

struct FerroxTintRecord {
    std::string part;
    FerroxColour colour;
};

// The clock the search budget is measured with, in seconds; null restores the performance counter.
typedef double (*FerroxCharacterClock)(void);
void FerroxCharacterSetClock(FerroxCharacterClock clock);

class CFerroxCharacter : public CFerroxIOObject {
public:
    CFerroxCharacter();
    void Init() override;
    void Release() override;
    ~CFerroxCharacter() override;

    void Update(float dt) override;
    // The path spline and the path finder's nodes.
    void DrawDebugInfo() override;
    // The same, then the position line printed with the character set when one is given.
    void DrawDebugInfo(GxRaster* charset);
    // Installs the character's render callback unless the descriptor names one, takes the descriptor's grid,
    // and dresses the model: a head variant, a wardrobe choice, a colour and a walking speed.
    void Setup(const FerroxObjectDescriptor* descriptor) override;

    // 1 when the cell of the spline point ahead is walkable, or when there is nothing to walk.
    virtual int IsNextWaypointWalkable();
    // The wardrobe item of the character's choice, wrapped over the items there are; null when there are none.
    virtual void* GetWardrobeItem();
    virtual FerroxColour* GetColour();
    virtual int IsNearCell(int cell, float margin);
    virtual int IsNearPoint(float x, float z, float margin);
    virtual int IsInArea(float x1, float x2, float z1, float z2, float margin);
    // 1 at the end of the path (the parameter goes back to 0) or without a path.
    virtual int AdvanceOnPath(float dt);
    virtual void SetBlockGrid(CFerroxBlockGrid* grid);
    virtual CFerroxBlockGrid* GetBlockGrid();
    // Settles a route request over calls: 1 once the route state is ready or failed, 0 while searching. The
    // budget is the real time, in seconds, one call may search for; 0 or less means no limit. A search over its
    // budget waits the larger of ten budgets and a frame, counted down in frame time.
    virtual int StepPath(int fromCell, int toCell, float budget, intptr_t ownerValue);
    // Walks greedily towards the target, appending each cell entered to the route; returns where it stopped.
    virtual int TraceStraightPath(int fromCell, int toCell);
    // Drops the route and its spline (also cancels a search); the route state stays.
    virtual void StopMoving();
    virtual int32_t GetAuxA();
    virtual int32_t GetAuxB();

    const std::vector<int>& GetRouteCells() const { return m_routeCells; }
    CFerroxSpline* GetPathSpline() const { return m_pPathSpline.get(); }
    CFerroxAStar* GetPathFinder() const { return m_pPathFinder.get(); }
    float GetSpeed() const { return m_speed; }
    void SetSpeed(float speed) { m_speed = speed; }
    FerroxDressPlans* DressPlans();

    std::vector<void*> m_wardrobeItems;
    std::vector<FerroxTintRecord> m_tints;
    uint16_t m_tintCount;
    int32_t m_drawnThisFrame;
    // The head variant chosen, with the list of its materials that CollectPartCallback gathered.
    FerroxPartData m_head;
    std::vector<void*> m_headMaterials;
    std::unique_ptr<FerroxColour> m_pColour;
    // How the lighter levels of detail of the character's atomics take its tints (made at the first far draw).
    std::unique_ptr<FerroxDressPlans> m_pDressPlans;
    uint8_t m_wardrobeChoice;
    GxV3d m_walkOffset;
    CFerroxBlockGrid* m_pGrid;
    std::unique_ptr<CFerroxSpline> m_pPathSpline;
    float m_pathParam;
    int32_t m_backwards;
    int32_t m_auxB;
    int32_t m_auxA;
    int32_t m_currentCell;
    int32_t m_previousCell;
    int32_t m_reachedCell;
    int32_t m_targetCell;
    int32_t m_movementMode;
    int32_t m_routeState;
    int32_t m_straightEndCell;
    std::unique_ptr<CFerroxAStar> m_pPathFinder;
    float m_searchWait;
    std::vector<int> m_routeCells;
    int32_t m_routeCellCount;

private:
    int StartRequest(int fromCell, int toCell, intptr_t ownerValue);
    int Search(float budget);
    CFerroxAStar* PathFinder();
    // Draws the character's atomics: dresses an untagged body in the skin of its head and wardrobe item, marks the
    // character drawn and picks the level of detail.
    static GxAtomic* CharacterRenderCallback(GxAtomic* atomic);

    float m_speed;
};
