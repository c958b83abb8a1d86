// The placement controller: build mode. It holds one object from a template and puts it into the mall
// (mode 1), lays floor tiles over a dragged rectangle (mode 2) or clears one (mode 3), always on the floor
// manager's current storey, showing translucent boxes that turn green or red with validity. It keeps the generated wall pieces (walls along the
// outside of the laid floor, rails round openings upstairs, doorways over doors) in step with every change,
// from the storey changed up, and loads and saves the "<OBJECTS>" section.
//
// The game owns one controller, drives Update and Render each frame and forwards the mouse buttons; it
// installs FloorHooks() on its floor manager so that the ground object follows the storey shown. The
// controller reaches the object manager, the floor manager and the game's notice seam (sample 1 on a
// placement). Objects it makes belong to the object manager; wall pieces are the controller's to remove.
// One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "game/buildings/building.h"
#include "game/world/floors.h"
#include "game/world/templates.h"

class CFerroxCharacter;
class CFerroxFile;
class CFerroxObjectFactory;
class CFerroxTagFile;
class CFerroxWorld;
class CScalableObject;

enum PlacementMode : int32_t {
    PLACEMENT_IDLE = 0,
    PLACEMENT_OBJECT = 1,
    PLACEMENT_LAY = 2,
    PLACEMENT_CLEAR = 3,
};

// The wall templates are "AUX" 1 to 10; 0 is the translucent box.
constexpr int kWallTemplates = 10;
// The shown value when nothing is held.
constexpr int16_t kNoShownValue = -1;

class CPlacementController {
public:
    // The controller the callbacks serve (the last one created), or null.
    static CPlacementController* GetInstance();

    CPlacementController();
    CPlacementController(const CPlacementController&) = delete;
    CPlacementController& operator=(const CPlacementController&) = delete;
    ~CPlacementController();

    void Init();
    // Takes the floor manager, loads the wall templates, makes the ground object and installs the floor
    // operations of the building seam.
    void Create(CFloorManager* floors, CFerroxWorld* world);
    void Release();
    // Templates 1 to 10 of the first "AUX" category, as the level's city has them.
    void LoadWallTemplates();

    // Drops what the mode held, then starts the new one; 0.
    int SetMode(int32_t mode, CFerroxWorld* world, int drop, CFerroxAssetSet* set, CFerroxObjectFactory* factory);
    void Update(const GxV3d& point);
    void Render();
    int RotateHeldObject(int direction);
    // 0 once the held object's placement ran (it leaves the hand), 1 refused.
    int PlaceHeldObject(const GxV3d& point, CFerroxWorld* world, int skipChecks);
    int BeginDrag(const GxV3d& point);
    // 0 laid, 1 refused.
    int LayFloorArea(const GxV3d& point, CFerroxWorld* world);
    // A click that did not move removes the picked building, or the one standing on the cell at the point; otherwise the dragged rectangle's floor is cleared. 0 when an object was removed, 1 otherwise.
    int ClearArea(const GxV3d& point, CFerroxObject* picked, CFerroxWorld* world);
    // Lays the rectangle between the cells (tile null: the current tile type), then frees its cells; 0.
    int SetFloorArea(CFerroxBlockMesh* storey, int first, int last, CFerroxTileRecord* tile, int includeOccupied,
                     int onlyEmpty);
    int ClearFloorArea(CFerroxBlockMesh* storey, int first, int last);
    int MoveGroundObject(int up);
    // The wall pieces of the storey (null: the current one), or of every storey with `all`; 0.
    int BuildWalls(CFerroxWorld* world, int all, CFerroxBlockMesh* storey);
    int RemoveWalls(CFerroxWorld* world, int all, CFerroxBlockMesh* storey);
    // Reads the objects of a saved game, then builds the walls; 1.
    int LoadObjects(CFerroxTagFile* file, CFerroxWorld* world);
    // The records the last LoadObjects left out, for the game to tell the player.
    int GetObjectsLeftOut() const { return m_objectsLeftOut; }
    // 0 (a failed write is kept by the file).
    int SaveObjects(CFerroxFile* file, CFerroxWorld* world);

    // What the game installs on its floor manager: the ground object follows the storey shown, and a new
    // storey gets its wall pieces.
    CFloorHooks* FloorHooks() { return &m_floorHooks; }

    int32_t GetMode() const { return m_mode; }
    CBaseObject* GetHeldObject() const { return m_pHeld; }
    CScalableObject* GetAreaBox() const { return m_pAreaBox; }
    CScalableObject* GetCursorBox() const { return m_pCursorBox; }
    CFerroxObject* GetGroundObject() const { return m_pGround; }
    int32_t GetDragStart() const { return m_dragStart; }
    int32_t GetDragEnd() const { return m_dragEnd; }
    // The outline drawn over a dragged rectangle: its outer corner and its size in cells along x and z; false
    // outside a drag.
    bool GetDragOutline(GxV3d* corner, int* cellsX, int* cellsZ) const;
    float GetHeldYaw() const { return m_heldYaw; }
    const CPlacementRecord* GetPlacementRecord() const { return m_pRecord.get(); }
    const std::vector<CFerroxObject*>& GetPieces() const { return m_pieces; }
    CObjectTemplate* GetWallTemplate(int index) const;
    // The cursor value of the interface: the held object's cost, or -1.
    int16_t GetShownValue() const { return m_shownValue; }

private:
    class FloorHooksImpl : public CFloorHooks {
    public:
        explicit FloorHooksImpl(CPlacementController* owner) : m_owner(owner) {}
        void OnFloorChanged(int step) override;
        void OnStoreyAdded(CFerroxBlockMesh* storey) override;

    private:
        CPlacementController* m_owner;
    };

    bool BeginObjectPlacement(int drop, CFerroxAssetSet* set, CFerroxObjectFactory* factory);
    void CreateBoxes();
    void SetHeldObject();
    void DropHeldObject();
    void RemoveBoxes();
    void MoveHeldObject(const GxV3d& point);
    // The held object's fit test where it stands (a door turns to the wall under it as it is tested).
    bool HeldFits(CFerroxBlockMesh* storey);
    void UpdateDrag(const GxV3d& point, CFerroxBlockMesh* storey);
    // The building a demolishing click at the cell removes: the picked one, whatever storey it stands on, else the
    // one standing on the cell of the storey; never a generated piece. Null for none.
    CBaseObject* RemovableAt(CFerroxObject* picked, CFerroxBlockMesh* storey, int cell);
    void RemoveBuilding(CBaseObject* building, CFerroxBlockMesh* storey);
    void EndDrag();
    void ScanWalls(CFerroxBlockMesh* storey);
    // The pieces of the storey and of every storey above it, whose edges follow the walls and doors below.
    void RemoveWallsFrom(CFerroxBlockMesh* storey);
    void BuildWallsFrom(CFerroxBlockMesh* storey);
    // One piece of the template over the run of `length` cells from `first` to `last`, along a row or across
    // rows, turned by `yaw` unless it is negative.
    void MakePiece(CFerroxBlockMesh* storey, CFerroxAssetSet* set, int first, int last, int length, bool acrossRows,
                   float yaw);
    CFerroxBlockMesh* Ground() const;
    CFerroxBlockMesh* CurrentStorey() const;
    int16_t StoreyIndex(CFerroxBlockMesh* storey) const;
    void HideStorey(CFerroxBlockMesh* storey);
    void AddCost(int32_t cells);

    int32_t m_mode;
    CBaseObject* m_pHeld;
    std::unique_ptr<CPlacementRecord> m_pRecord;
    CScalableObject* m_pAreaBox;
    CScalableObject* m_pCursorBox;
    CFloorManager* m_pFloors;
    int32_t m_dragStart;
    int32_t m_dragEnd;
    float m_heldYaw;
    CObjectTemplate* m_wallTemplates[kWallTemplates];
    CFerroxObject* m_pGround;
    std::vector<CFerroxObject*> m_pieces;
    CFerroxWorld* m_pWorld;
    CFerroxAssetSet* m_pHeldTemplate;
    int16_t m_shownValue;
    int m_objectsLeftOut;
    FloorHooksImpl m_floorHooks;
};
