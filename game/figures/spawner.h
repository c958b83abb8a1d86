// The character spawner: the level's spawn points, handed over by the world while the level loads, the pick of
// one for a character to start from, the waves that bring shoppers and criminals in every 15 seconds by the
// mall's rating and capacity, and the placement of a hired or moved staff member under the mouse.
//
// The spawner owns its spawn-point records and their splines and frees them in Release, and the placement
// record while a placement runs; characters and the cursor box belong to the object manager, which removes
// them when the spawner asks. What it needs from the placement controller comes through SpawnerHooks. The
// game owns one spawner; the last one made is the world's default target for spawn points. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/world/world.h"

class CFerroxBlockGrid;
class CFerroxBlockMesh;
class CFerroxObject;
class CFerroxObjectFactory;
class CFerroxAssetSet;
class CCriminal;
class CShopper;
class CStaff;
struct CObjectCategory;
struct FerroxObjectDescriptor;
class CFloorManager;
class CFerroxWorld;

constexpr float kSpawnWaveSeconds = 15.0f;
// A shopper comes when rand() % 1750 < rating + 1000.
constexpr int kShopperDraw = 1750;
// One wave in five may bring a criminal: when rand() % 2001 > rating + 1000.
constexpr int kCriminalWaveChance = 5;
constexpr int kCriminalDraw = 2001;
constexpr int kRatingOffset = 1000;
// The floor new characters come in on.
constexpr uint16_t kSpawnFloorId = 1;
// The message and sample of a criminal come in.
constexpr int16_t kMessageCriminal = 9;
constexpr int32_t kCriminalSample = 5;

// A category of shopper templates a wave picks from.
struct CShopperCategory {
    uint16_t weight;
    uint16_t templateCount;
    CObjectCategory* category;
};

// What the spawner asks of the placement controller; default: mode 0 (not building).
struct SpawnerHooks {
    int32_t (*placementMode)();
};
void SetSpawnerHooks(const SpawnerHooks& hooks);

class CSpawner : public CSpawnPointTarget {
public:
    // The last spawner made that still exists, or null: the characters' way out is one of its spawn points.
    static CSpawner* GetInstance();

    CSpawner();
    CSpawner(const CSpawner&) = delete;
    CSpawner& operator=(const CSpawner&) = delete;
    ~CSpawner() override;

    void Init();
    // Frees every spawn point, then Init.
    void Release();
    void AddSpawnPoint(std::unique_ptr<CSpawnPoint> point) override;
    // A spawn point chosen at random among those whose path ends off laid floor; null for a non-zero flag or
    // without such a spawn point.
    CSpawnPoint* PickSpawnPoint(int flag, int unused = 0);

    // Takes the floor manager and world, and one record per template category named "SHOPPER".
    void LoadSettings(CFloorManager* floors, CFerroxWorld* world);
    void Update(float dt);
    void SpawnWave();
    // A shopper of the category's template (index < 0: the template whose model contains the name) on the
    // base floor of the id, at a spawn point; null when any of them is missing.
    virtual CShopper* SpawnShopper(const char* name, int16_t index, uint16_t floorId);
    virtual CCriminal* SpawnCriminal();

    // Staff placement: the member and a cursor box follow the picked cell until placed or dropped.
    void BeginStaffHire(CFerroxAssetSet* assetSet, CFerroxObjectFactory* factory);
    void BeginStaffMove(CStaff* member);
    void UpdateStaffPlacement();
    void PlaceStaff();
    void DropStaffPlacement();
    // 1 when a staff member may stand on the cell of the floor.
    int IsStaffCell(CFerroxBlockMesh* floor, int cell);

    const std::vector<std::unique_ptr<CSpawnPoint>>& GetSpawnPoints() const { return m_spawnPoints; }
    const std::vector<CShopperCategory>& GetShopperCategories() const { return m_shopperCategories; }
    uint16_t GetTotalWeight() const { return m_totalWeight; }
    float GetCountdown() const { return m_countdown; }
    CFerroxObject* GetStaffMember() const { return m_pStaff; }
    FerroxObjectDescriptor* GetPlacementRecord() const { return m_pPlacement.get(); }
    int32_t IsPlacing() const { return m_placing; }
    CFerroxObject* GetCursorBox() const { return m_pCursorBox; }
    int32_t IsMoving() const { return m_moving; }

private:
    template <class Character, class PickTemplate>
    Character* Spawn(const char* factoryText, uint16_t floorId, PickTemplate pickTemplate);
    void MakeCursorBox();
    void ForgetPlacement();
    void ShowOnCurrentFloor(CFerroxBlockMesh* floor);

    std::vector<std::unique_ptr<CSpawnPoint>> m_spawnPoints;
    std::vector<CShopperCategory> m_shopperCategories;
    uint16_t m_totalWeight;
    CFloorManager* m_pFloorManager;
    CFerroxWorld* m_pWorld;
    float m_countdown;
    CFerroxObject* m_pStaff;
    std::unique_ptr<FerroxObjectDescriptor> m_pPlacement;
    int32_t m_placing;
    CFerroxObject* m_pCursorBox;
    int32_t m_moving;
    CFerroxBlockGrid* m_pMovedFrom;  // the storey a moved member stood on when its move began
};
