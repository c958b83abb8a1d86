// The game's object manager: the single owner of live objects, with the named factories, the object
// templates by category, the lists of objects by class and floor, the objects' animated textures, the
// "<OBJECTS>" writer and the mall statistics.
//
// The manager is a process-wide singleton (Instance). What it needs from the floors, the level and the
// object classes built above it comes through seams their owners install: the floor seam (storey index and
// world name) and the class hooks (list membership, availability, kind, entrance cell, effects, characters).
// Without them the manager works with safe defaults (every object on floor record 0 for creation, queries find
// nothing). One thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "engine/world/asset.h"
#include "engine/world/dynobject.h"
#include "engine/world/object.h"

class CStatistics;
class CFerroxBlockGrid;
class CFerroxFile;
class CFerroxTagTree;
class CFerroxWorld;
struct GxTexture;
struct GxMaterial;

typedef std::list<CFerroxObject*> ObjectList;

// The per-class lists, in the order AddToLists tests an object's class: doors and stairs are usable
// objects too, so their tests come first.
enum ObjectListKind : int32_t {
    OBJECT_LIST_SHOPS = 0,
    OBJECT_LIST_STAIRS,
    OBJECT_LIST_DOORS,
    OBJECT_LIST_SHOPPERS,
    OBJECT_LIST_CRIMINALS,
    OBJECT_LIST_CLEANERS,
    OBJECT_LIST_MAINTENANCE,
    OBJECT_LIST_SECURITY,
    OBJECT_LIST_USABLE,
    OBJECT_LIST_SCALABLE,
    OBJECT_LIST_SCENERY,
    OBJECT_LIST_KIND_COUNT
};

// The objects standing on one floor index.
struct CFloorObjects {
    ObjectList scalable;  // floors, walls, balconies
    ObjectList shops;
    ObjectList doors;
    ObjectList stairs;  // a stairs object is in its floor's record and the record above
    ObjectList scenery;
    ObjectList usable;  // usable objects that are neither doors nor stairs
};

// Object kinds a query names.
constexpr int32_t kObjectKindShop = 0;
constexpr int32_t kObjectKindAtrium = 3;
constexpr int32_t kObjectKindDoor = 4;
constexpr int32_t kObjectKindStairs = 5;
constexpr int32_t kObjectKindAny = -1;

// What a character looks for.
struct CObjectQuery {
    int32_t kind;     // see the kinds above; other values search scenery or usable objects
    int32_t nearest;  // 0: the first that passes; otherwise the nearest
    int32_t extra;    // not read by FindObject
    int32_t testAvailable;
    int32_t testDirty;
    int32_t useScenery;  // for kinds other than shops, doors and stairs: scenery instead of usable
    GxV3d position;
    float maxDistance;        // 0 or less: no limit
    CFerroxObject* excluded;  // never returned
    CFerroxBlockGrid* grid;   // the floor grid the asker walks on; it selects the floor
};

// Flags of HideFloorObjects and ShowFloorObjects.
struct ObjectFloorFlags {
    int32_t scalable;
    int32_t shops;
    int32_t doors;
    int32_t stairs;
    int32_t scenery;
    int32_t usable;
    int32_t characters;
};

// A named category of templates in file order.
struct CObjectCategory {
    std::string name;
    std::vector<CFerroxAssetSet*> templates;
};

// What the manager asks of the floors and the level; the floor manager and the level install it.
class CObjectManagerSeam {
public:
    virtual ~CObjectManagerSeam() = default;
    // The storey's floor index (storey links below it), kNoFloorIndex when no base floor leads to it.
    virtual uint16_t GetFloorIndex(CFerroxBlockGrid* storey) = 0;
    // The current level's world file name, or null without a level.
    virtual const char* GetWorldName() = 0;
};

constexpr uint16_t kNoFloorIndex = 0xFFFF;

// The most characters of a kind the mall holds: shoppers present beyond which no spawn wave brings anyone (a
// criminal comes only while fewer criminals than shoppers are present, so never past the shopper limit), and
// staff members present beyond which no more are hired. A saved game brings in no more than these either.
constexpr uint16_t kShopperLimit = 300;
constexpr uint16_t kCriminalLimit = kShopperLimit;
constexpr uint16_t kStaffLimit = 300;

// What the manager asks of the object classes built above the object base; each class module fills the
// entries it knows. A null entry gives the default noted beside it.
struct ObjectClassHooks {
    // Non-zero when the object is of the class of the list kind (default: no class test, no list).
    int (*isOfKind[OBJECT_LIST_KIND_COUNT])(CFerroxObject* object);
    int (*isAvailable)(CFerroxObject* object, CFerroxBlockGrid* grid);                     // 0
    int (*isDirty)(CFerroxObject* object, CFerroxBlockGrid* grid, const GxV3d* position);  // 0
    int32_t (*getKind)(CFerroxObject* object);                                             // -1
    int32_t (*getEntranceCell)(CFerroxObject* object, int32_t index);                      // -1
    int (*isPlaced)(CFerroxObject* object);                                                // 0
    // Sets the particle effect's blend modes and draws it; nothing when the effect flag is clear.
    void (*renderEffect)(CFerroxObject* object);
    // A character's clean-up before the manager deletes it.
    void (*cleanUpCharacter)(CFerroxObject* character);
    // Tells a character the highest floor now shown.
    void (*setVisibleFloor)(CFerroxObject* character, int32_t floor);
};

// An animated texture as the manager drives it; the engine's animated texture stands behind it by default.
class CObjectAnimTexture {
public:
    virtual ~CObjectAnimTexture() = default;
    // Reads the description file and takes over the texture in the slot; 0 when nothing was read.
    virtual int Load(const char* path, GxTexture** slot) = 0;
    virtual void Update(float dt) = 0;
    // Names its frames are made from.
    virtual const char* GetBaseName() const = 0;
};

typedef std::unique_ptr<CObjectAnimTexture> (*ObjectAnimTextureMaker)();

// One animated texture and the texture it drives.
struct ObjectAnimTextureEntry {
    std::unique_ptr<CObjectAnimTexture> animation;
    GxTexture* texture;
};

class CDynamicObjectManager : public CFerroxDynamicObjectManager {
public:
    // The manager, made on first use (factories, statistics and floor record 0 exist).
    static CDynamicObjectManager* Instance();
    // Deletes the singleton (DeleteAll first); the next Instance makes a new one.
    static void DestroyInstance();
    // The singleton or null, without making it.
    static CDynamicObjectManager* Peek();
    // The singleton's statistics, or null while there is no manager.
    static CStatistics* PeekStatistics();

    CDynamicObjectManager();
    void Init() override;
    void Release() override;
    ~CDynamicObjectManager() override;

    void DeleteAll() override;
    CFerroxObject* CreateObject(CFerroxObjectFactory* factory, FerroxObjectDescriptor* descriptor) override;
    // Clears the game's selection when it is this object, unlinks it from every list and hands it to the
    // base removal.
    void RemoveObject(CFerroxObject* object, int now) override;
    void Update(float dt) override;
    void RegisterFactories() override;
    virtual void LoadCategories(CFerroxTagTree* tree, const std::string& prefix);
    virtual int LoadPlans(CFerroxTagTree* tree, std::vector<CFerroxAssetSet*>& templates);
    virtual void AddToLists(CFerroxObject* object, int16_t floor);
    virtual void LoadObjectData(CFerroxTagTree* tree);
    virtual void SwapCityTemplates();
    // 1 when the object was found and unlinked; floor -1 searches every record.
    virtual int RemoveFromLists(CFerroxObject* object, int16_t floor);
    virtual void RenderEffects();

    // The first factory whose name contains the text (empty: the first); it takes the world. Null: none.
    CFerroxObjectFactory* FindFactory(const char* text, CFerroxWorld* world);
    CFerroxAssetSet* GetTemplate(uint16_t category, uint16_t index);
    CFerroxAssetSet* FindTemplate(const char* category, uint16_t index);
    // Walks the categories from *start (0 for null), counting each looked at into *start.
    CObjectCategory* FindCategory(const char* text, uint16_t* start);
    CFerroxAssetSet* FindTemplateByModel(const char* text);
    // The city swap for a world file name; SwapCityTemplates asks the seam for the name.
    void SwapCityTemplatesFor(const char* worldName);
    // The record of a floor (negative: the first); grows by floor + 1 records when it is past the end.
    CFloorObjects* GetFloorRecord(int16_t floor);
    CFerroxObject* FindObject(const CObjectQuery* query);
    int RemoveObjectOnFloor(CFerroxObject* object, int now, int16_t floor);
    void HideFloorObjects(int32_t floor, const ObjectFloorFlags& flags);
    void ShowFloorObjects(int32_t floor, const ObjectFloorFlags& flags, CFerroxWorld* world);
    // Writes the "<OBJECTS>" section and the statistics; 0 (a failed write is kept by the file).
    int SaveObjects(CFerroxFile* file);
    int Reset();
    int CreateAnimTextures(CFerroxObject* object);
    // One animated texture per texture of the materials not animated yet; descriptions in the model's "ani/".
    void CreateAnimTexturesFor(const std::string& modelName, const std::vector<GxMaterial*>& materials);
    CObjectAnimTexture* FindAnimTexture(GxTexture* texture);

    // Seams, installed by their owners (null removes).
    static void SetSeam(CObjectManagerSeam* seam);
    static CObjectManagerSeam* GetSeam();
    // Installs the non-null entries of the hooks over the current ones.
    static void SetClassHooks(const ObjectClassHooks& hooks);
    static const ObjectClassHooks& GetClassHooks();

    CStatistics* GetStatistics() const { return m_pStatistics.get(); }
    const std::vector<std::unique_ptr<CObjectCategory>>& GetCategories() const { return m_categories; }
    FerroxModelPool* GetModelPool() const { return m_pModelPool.get(); }
    FerroxAnimPool* GetAnimPool() const { return m_pAnimPool.get(); }
    const std::vector<std::unique_ptr<CFerroxObjectFactory>>& GetFactories() const { return m_factories; }
    const std::list<ObjectAnimTextureEntry>& GetAnimTextures() const { return m_animTextures; }
    const ObjectList& GetShoppers() const { return m_shoppers; }
    const ObjectList& GetCriminals() const { return m_criminals; }
    const ObjectList& GetCleaners() const { return m_cleaners; }
    const ObjectList& GetSecurity() const { return m_security; }
    const ObjectList& GetMaintenance() const { return m_maintenance; }
    // Cleaners, security and maintenance staff together.
    size_t GetStaffCount() const { return m_cleaners.size() + m_security.size() + m_maintenance.size(); }
    const std::vector<std::unique_ptr<CFloorObjects>>& GetFloors() const { return m_floors; }

private:
    void CreateStatistics();
    void DeleteCategories();
    void ClearCharacterLists();
    void ClearFloors();
    ObjectList* CharacterList(ObjectListKind kind);
    // The floor's record when there is one; never grows the records.
    CFloorObjects* ExistingFloorRecord(int32_t floor);
    void ForEachCharacter(void (*visit)(CFerroxObject*, int32_t), int32_t value);
    // Tests see the textures made without an engine (objectmgr_testing.h).
    friend void SetObjectAnimTextureMaker(ObjectAnimTextureMaker maker);

    // What makes the animated textures; null: the engine's own.
    static ObjectAnimTextureMaker s_animTextureMaker;

    std::unique_ptr<CStatistics> m_pStatistics;
    std::vector<std::unique_ptr<CObjectCategory>> m_categories;
    std::unique_ptr<FerroxModelPool> m_pModelPool;
    std::unique_ptr<FerroxAnimPool> m_pAnimPool;
    std::vector<std::unique_ptr<CFerroxObjectFactory>> m_factories;
    std::list<ObjectAnimTextureEntry> m_animTextures;
    ObjectList m_shoppers;
    ObjectList m_criminals;
    ObjectList m_cleaners;
    ObjectList m_security;
    ObjectList m_maintenance;
    std::vector<std::unique_ptr<CFloorObjects>> m_floors;
};
