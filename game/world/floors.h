// The floor manager: the mall's storeys (block meshes chained up from each base floor the level's map
// placeholders made), the connectors between floors, the storey shown and the cell under the mouse, the
// floor tiles of the game data, the debris drawn on littered cells, and the "<MAP>" section of saved games.
//
// The game owns one manager; the level's world adds base floors and connectors to it while the level loads.
// The manager reaches the object manager for the objects of a storey, the game's notice seam to offer a new
// storey, and the placement side through CFloorHooks (installed by its owner). Storeys, connectors and debris
// objects are owned by the manager and freed in Clear; the tile textures at destruction. One thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/navigation/blockmesh.h"

class CFerroxFile;
class CFerroxObject;
class CFerroxSpline;
class CFerroxTagFile;
class CFerroxTagTree;
class CFerroxWorld;
class CGameNotices;
struct GxTexture;

// A floor tile of the game data: the mesh draws its raster.
struct CFloorTile : CFerroxTileRecord {
    GxTexture* texture;
};

// A link from one base floor to another along a path; owns its spline.
struct CConnector {
    CConnector(const GxV3d& at, CFerroxBlockMesh* to, std::unique_ptr<CFerroxSpline> path);
    ~CConnector();
    CConnector(const CConnector&) = delete;
    CConnector& operator=(const CConnector&) = delete;

    GxV3d position;
    CFerroxBlockMesh* target;  // the base floor it leads to, or null
    std::unique_ptr<CFerroxSpline> spline;
};

// What the floors tell the placement side: the storey shown moved by a step, a storey was added.
class CFloorHooks {
public:
    virtual ~CFloorHooks() = default;
    virtual void OnFloorChanged(int step) = 0;
    virtual void OnStoreyAdded(CFerroxBlockMesh* storey) = 0;
};

constexpr int32_t kMaxFloors = 5;
constexpr float kStoreyHeight = 4.0f;
constexpr int32_t kDebrisModels = 10;
// Cells show debris object cell mod this: only the first seven are drawn.
constexpr uint32_t kDebrisShown = 7;
// The question offering a new storey: text 37 of the in-game messages.
constexpr uint16_t kNewStoreyQuestion = 37;
constexpr const char* kInGameMessages = "InGameMessages";
constexpr const char* kFloorTilesBlock = "FLOOR_TILES";
constexpr const char* kMapTag = "<MAP>";
constexpr const char* kMapEndTag = "</MAP>";
constexpr uint16_t kNoStorey = 0xFFFF;
constexpr int32_t kDirtCountLimit = 0xFFFF;  // a storey's dirt count is 16 bits wide

class CFloorManager {
public:
    // The manager the callbacks serve (the last one created), or null.
    static CFloorManager* GetInstance();
    // Decides whether a cell of a new storey carries a floor; by default a cell carries when the cell below
    // had a tile. The building classes install their tests here.
    static void SetCellFilter(FerroxStoreyFilter filter);
    static int DefaultCellFilter(CFerroxBase* occupant, int cell, int untiled);

    CFloorManager();
    CFloorManager(const CFloorManager&) = delete;
    CFloorManager& operator=(const CFloorManager&) = delete;
    // Clear, then the tile textures.
    virtual ~CFloorManager();

    void Init();
    // Becomes the instance and loads the floor tiles of the game data.
    void Create(CFerroxTagTree* data);
    void CreateDebris();
    // Makes a ground storey of rows x columns cells of the size around the middle point; 1 when the grid could
    // be made (and the storey appended), 0 otherwise.
    int AddBaseFloor(int rows, int columns, const GxV3d& middle, int size, int floorId);
    CFerroxBlockMesh* FindBaseFloor(int floorId);
    uint16_t GetFloorIndex(CFerroxBlockMesh* storey);
    // Keeps the connector with the base floor; one for a floor the manager does not have is freed.
    void AddConnector(CFerroxBlockMesh* baseFloor, std::unique_ptr<CConnector> connector);
    const std::vector<std::unique_ptr<CConnector>>* GetConnectors(CFerroxBlockMesh* baseFloor) const
    {
        auto it = m_connectors.find(baseFloor);
        return it == m_connectors.end() ? nullptr : &it->second;
    }

    void UpdatePick(const GxV3d& point);
    int FloorUp(CGameNotices* notices, CFerroxWorld* world);
    int FloorDown(CFerroxWorld* world);
    // Index held within 0 .. built floors - 1.
    int GoToFloor(int index, CFerroxWorld* world);
    int ResetFloorIndex();
    // The yes answer to the new-storey question: a storey on top of base floor 1.
    void AddFloor();
    static void AddFloorCallback();

    CFloorTile* GetCurrentTileType();
    int SelectTileType(int index);
    CFloorTile* TileTypeFromIndex(int index);
    int TileTypeToIndex(const CFerroxTileRecord* tile);

    void Render();
    // The dirt of the mall: per storey the cells holding litter (waiting or reserved by a cleaner), held at
    // kDirtCountLimit, summed over every storey.
    int32_t GetDirtSum() const;
    // Writes "<MAP>"; 0 (a failed write is kept by the file).
    int Save(CFerroxFile* file);
    // Reads "<MAP>" when the file has it; 0.
    int Load(CFerroxTagFile* file);
    void Clear();

    void SetHooks(CFloorHooks* hooks) { m_pHooks = hooks; }
    // For tests: the level's world, as the game's first FloorUp gives it.
    void SetWorld(CFerroxWorld* world) { m_pWorld = world; }
    const std::vector<std::unique_ptr<CFerroxBlockMesh>>& GetBaseFloors() const { return m_baseFloors; }
    int32_t GetBaseFloorCount() const { return m_baseFloorCount; }
    int32_t GetPickedCell() const { return m_pickedCell; }
    const GxV3d& GetPickPoint() const { return m_pickPoint; }
    CFerroxBlockMesh* GetCurrentFloor() const { return m_pCurrentFloor; }
    // The placement side moves the storey shown with the view and its wall builder.
    void SetCurrentFloor(CFerroxBlockMesh* storey) { m_pCurrentFloor = storey; }
    const std::vector<std::unique_ptr<CFloorTile>>& GetFloorTiles() const { return m_floorTiles; }
    int32_t GetBuiltFloors() const { return m_builtFloors; }
    int32_t GetCurrentFloorIndex() const { return m_currentFloorIndex; }
    int32_t GetMaxFloors() const { return m_maxFloors; }
    const std::vector<std::unique_ptr<CFerroxObject>>& GetDebris() const { return m_debris; }
    // The debris object a cell shows.
    static uint32_t DebrisFor(int cell) { return static_cast<uint32_t>(cell) % kDebrisShown; }

private:
    friend struct CFloorManagerTesting;  // game/world/floors_testing.h

    void LoadFloorTiles(CFerroxTagTree* data);
    void DeleteDebris();
    void DeleteStoreysAbove(CFerroxBlockMesh* ground);
    void RenderDebris(CFerroxBlockMesh* storey);

    std::vector<std::unique_ptr<CFerroxBlockMesh>> m_baseFloors;  // each owns the storeys chained above it
    int32_t m_baseFloorCount;
    int32_t m_pickedCell;
    GxV3d m_pickPoint;
    CFerroxBlockMesh* m_pCurrentFloor;
    std::vector<std::unique_ptr<CFloorTile>> m_floorTiles;
    int32_t m_currentTile;  // position in m_floorTiles, -1 for none
    int32_t m_maxFloors;
    int32_t m_builtFloors;
    int32_t m_currentFloorIndex;
    std::vector<std::unique_ptr<CFerroxObject>> m_debris;
    std::map<CFerroxBlockMesh*, std::vector<std::unique_ptr<CConnector>>> m_connectors;
    CFloorHooks* m_pHooks;
    CFerroxWorld* m_pWorld;  // the level's world: set, or the last one a FloorUp was given
};
