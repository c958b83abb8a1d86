// The game's object manager: singleton, factories, class and floor lists, queries, floors shown and hidden,
// animated textures, effects and the "<OBJECTS>" writer. The templates are read in templates.cpp.
//
//   Singleton and lifetime
//   Factories and creation
//   Class and floor lists
//   Queries
//   Floors shown and hidden, effects
//   Animated textures
//   Saving
#include "game/world/objectmgr.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/data/file.h"
#include "engine/navigation/blockgrid.h"
#include "engine/navigation/blockmesh.h"
#include "engine/world/animtexture.h"
#include "engine/world/composite.h"
#include "game/world/factories.h"
#include "game/world/gamecontext.h"
#include "game/world/statistics.h"
#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/texture.h"
#include "gfx/world/material.h"

namespace {

constexpr const char* kObjectsTag = "<OBJECTS>";
constexpr const char* kObjectsEndTag = "</OBJECTS>";
constexpr const char* kLineEnd = "\r\n";
// Texture names carry a two-character frame suffix that their description files drop.
constexpr size_t kAnimTextureSuffix = 2;
constexpr const char* kAnimFolder = "ani/";
constexpr const char* kAnimExtension = ".ini";
// Effects are drawn from both sides.
constexpr GxUInt32 kEffectCullNone = 1;

CDynamicObjectManager* g_pObjectManager = nullptr;
CObjectManagerSeam* g_pSeam = nullptr;
ObjectClassHooks g_hooks = {};

// The engine's animated texture behind the manager's interface.
class EngineAnimTexture : public CObjectAnimTexture {
public:
    int Load(const char* path, GxTexture** slot) override { return m_texture.Load(path, slot); }
    void Update(float dt) override { m_texture.Update(dt); }
    const char* GetBaseName() const override { return m_texture.GetBaseName(); }

private:
    CFerroxAnimTexture m_texture;
};

std::unique_ptr<CObjectAnimTexture> MakeEngineAnimTexture() { return std::make_unique<EngineAnimTexture>(); }

bool IsOfKind(CFerroxObject* object, ObjectListKind kind)
{
    GX_ASSERT(kind >= 0 && kind < OBJECT_LIST_KIND_COUNT, "a list kind names one of the manager's lists");
    return g_hooks.isOfKind[kind] && g_hooks.isOfKind[kind](object);
}

int32_t ObjectKind(CFerroxObject* object) { return g_hooks.getKind ? g_hooks.getKind(object) : kObjectKindAny; }

// Removes every entry of the object; true when there was one.
bool UnlinkFrom(ObjectList& list, CFerroxObject* object)
{
    const size_t before = list.size();
    list.remove(object);
    return list.size() != before;
}

bool Contains(const ObjectList& list, const CFerroxObject* object)
{
    return std::find(list.begin(), list.end(), object) != list.end();
}

// The storey's floor index read as a signed 16-bit value: -1 when the floors do not know it.
int16_t FloorIndexOf(CFerroxBlockGrid* storey)
{
    if (!storey || !g_pSeam)
        return -1;
    return static_cast<int16_t>(g_pSeam->GetFloorIndex(storey));
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Singleton and lifetime

CDynamicObjectManager* CDynamicObjectManager::Instance()
{
    if (!g_pObjectManager) {
        g_pObjectManager = new CDynamicObjectManager();
        g_pObjectManager->RegisterFactories();
    }
    return g_pObjectManager;
}

CDynamicObjectManager* CDynamicObjectManager::Peek() { return g_pObjectManager; }

CStatistics* CDynamicObjectManager::PeekStatistics()
{
    return g_pObjectManager ? g_pObjectManager->GetStatistics() : nullptr;
}

void CDynamicObjectManager::DestroyInstance()
{
    CDynamicObjectManager* manager = g_pObjectManager;
    g_pObjectManager = nullptr;
    delete manager;
}

CDynamicObjectManager::CDynamicObjectManager() { Init(); }

void CDynamicObjectManager::Init()
{
    m_pStatistics.reset();
    m_pModelPool.reset();
    m_pAnimPool.reset();
}

void CDynamicObjectManager::Release()
{
    // Objects hold counts on pooled records: they go before the pools do.
    DeleteAll();
    DeleteCategories();
    m_pAnimPool.reset();
    m_pModelPool.reset();
    m_factories.clear();
    m_pStatistics.reset();
}

CDynamicObjectManager::~CDynamicObjectManager()
{
    Release();
    ClearCharacterLists();
    ClearFloors();
    if (g_pObjectManager == this)
        g_pObjectManager = nullptr;
}

void CDynamicObjectManager::CreateStatistics()
{
    m_pStatistics.reset();  // the old one goes before the new one is made
    m_pStatistics = std::make_unique<CStatistics>();
    m_pStatistics->Init();
}

void CDynamicObjectManager::ClearCharacterLists()
{
    m_shoppers.clear();
    m_criminals.clear();
    m_cleaners.clear();
    m_security.clear();
    m_maintenance.clear();
}

void CDynamicObjectManager::ClearFloors() { m_floors.clear(); }

void CDynamicObjectManager::DeleteAll()
{
    m_animTextures.clear();
    if (g_hooks.cleanUpCharacter) {
        for (ObjectList* list : {&m_shoppers, &m_criminals, &m_maintenance, &m_cleaners, &m_security}) {
            for (CFerroxObject* character : *list)
                g_hooks.cleanUpCharacter(character);
        }
    }
    ClearCharacterLists();
    ClearFloors();
    m_floors.push_back(std::make_unique<CFloorObjects>());
    CFerroxDynamicObjectManager::DeleteAll();
}

int CDynamicObjectManager::Reset()
{
    // The base deletion drops the queued removals with their objects, so nothing is deleted twice.
    DeleteAll();
    CreateStatistics();
    return 0;
}

void CDynamicObjectManager::Update(float dt)
{
    GX_ASSERT(m_pStatistics, "the statistics are made with the factories, before any update");
    CFerroxDynamicObjectManager::Update(dt);
    m_pStatistics->Update();
    for (ObjectAnimTextureEntry& entry : m_animTextures)
        entry.animation->Update(dt);
}

// ---------------------------------------------------------------------------------------------------------
// Factories and creation

void CDynamicObjectManager::RegisterFactories()
{
    CreateStatistics();
    for (size_t i = 0; i < kObjectFactoryCount; i++)
        m_factories.push_back(MakeObjectFactory(i));
    m_floors.push_back(std::make_unique<CFloorObjects>());
}

CFerroxObjectFactory* CDynamicObjectManager::FindFactory(const char* text, CFerroxWorld* world)
{
    GX_ASSERT(text, "a factory is looked for by a text");
    for (const std::unique_ptr<CFerroxObjectFactory>& factory : m_factories) {
        if (*text && !std::strstr(factory->GetName(), text))
            continue;
        factory->SetOwner(world);
        return factory.get();
    }
    return nullptr;
}

CFerroxObject* CDynamicObjectManager::CreateObject(CFerroxObjectFactory* factory, FerroxObjectDescriptor* descriptor)
{
    GX_ASSERT(factory && descriptor, "callers find the factory and fill a descriptor before they create");
    descriptor->factory = factory;
    CFerroxObject* object = CFerroxDynamicObjectManager::CreateObject(factory, descriptor);
    if (!object)
        return nullptr;
    int16_t floor = 0;
    if (descriptor->floorObject) {
        CFerroxBlockMesh* storey = static_cast<CFerroxBlockMesh*>(descriptor->floorObject);
        floor = FloorIndexOf(storey);
    }
    AddToLists(object, floor);
    CreateAnimTextures(object);
    return object;
}

void CDynamicObjectManager::RemoveObject(CFerroxObject* object, int now)
{
    GX_ASSERT(object, "callers remove an object they hold");
    if (g_pGameContext && g_pGameContext->GetSelectedObject() == object)
        g_pGameContext->ClosePopups();
    RemoveFromLists(object, -1);
    CFerroxDynamicObjectManager::RemoveObject(object, now);
}

int CDynamicObjectManager::RemoveObjectOnFloor(CFerroxObject* object, int now, int16_t floor)
{
    GX_ASSERT(object, "callers remove an object they hold");
    if (g_pGameContext && g_pGameContext->GetSelectedObject() == object)
        g_pGameContext->ClosePopups();
    const int removed = RemoveFromLists(object, floor);
    if (removed)
        CFerroxDynamicObjectManager::RemoveObject(object, now);
    return removed;
}

// ---------------------------------------------------------------------------------------------------------
// Class and floor lists

CFloorObjects* CDynamicObjectManager::GetFloorRecord(int16_t floor)
{
    if (floor < 0)
        floor = 0;
    const size_t wanted = static_cast<size_t>(floor) + 1;
    // Grows by floor + 1 records, not only the missing ones: the save walk relies on a record above the top.
    if (wanted > m_floors.size()) {
        for (size_t i = 0; i < wanted; i++)
            m_floors.push_back(std::make_unique<CFloorObjects>());
    }
    return m_floors[static_cast<size_t>(floor)].get();
}

ObjectList* CDynamicObjectManager::CharacterList(ObjectListKind kind)
{
    switch (kind) {
    case OBJECT_LIST_SHOPPERS:
        return &m_shoppers;
    case OBJECT_LIST_CRIMINALS:
        return &m_criminals;
    case OBJECT_LIST_CLEANERS:
        return &m_cleaners;
    case OBJECT_LIST_MAINTENANCE:
        return &m_maintenance;
    case OBJECT_LIST_SECURITY:
        return &m_security;
    default:
        return nullptr;
    }
}

void CDynamicObjectManager::AddToLists(CFerroxObject* object, int16_t floor)
{
    GX_ASSERT(object, "callers file an object they hold");
    // An unknown storey files the object on the first record; stairs then also take the record above it,
    // so that they are never entered twice in one list.
    const int16_t index = floor < 0 ? 0 : floor;
    for (int32_t kind = 0; kind < OBJECT_LIST_KIND_COUNT; kind++) {
        const ObjectListKind listKind = static_cast<ObjectListKind>(kind);
        if (!IsOfKind(object, listKind))
            continue;
        if (ObjectList* characters = CharacterList(listKind)) {
            characters->push_back(object);
            return;
        }
        switch (listKind) {
        case OBJECT_LIST_SHOPS:
            GetFloorRecord(index)->shops.push_back(object);
            break;
        case OBJECT_LIST_STAIRS:
            GetFloorRecord(index)->stairs.push_back(object);
            GetFloorRecord(static_cast<int16_t>(index < INT16_MAX ? index + 1 : index))->stairs.push_back(object);
            break;
        case OBJECT_LIST_DOORS:
            GetFloorRecord(index)->doors.push_back(object);
            break;
        case OBJECT_LIST_USABLE:
            GetFloorRecord(index)->usable.push_back(object);
            break;
        case OBJECT_LIST_SCALABLE:
            GetFloorRecord(index)->scalable.push_back(object);
            break;
        case OBJECT_LIST_SCENERY:
            GetFloorRecord(index)->scenery.push_back(object);
            break;
        default:
            break;
        }
        return;
    }
}

int CDynamicObjectManager::RemoveFromLists(CFerroxObject* object, int16_t floor)
{
    if (!object)
        return 0;
    GX_ASSERT(floor >= -1, "a floor index, or -1 for every floor");
    const bool everyFloor = floor == -1;
    // A record that does not exist holds nothing: removal never grows the records.
    const size_t index = static_cast<size_t>(floor);
    CFloorObjects* record = !everyFloor && index < m_floors.size() ? m_floors[index].get() : nullptr;
    auto fromFloors = [&](ObjectList CFloorObjects::*list) {
        if (record && UnlinkFrom(record->*list, object))
            return true;
        if (!everyFloor)
            return false;
        for (const std::unique_ptr<CFloorObjects>& other : m_floors) {
            if (UnlinkFrom(other.get()->*list, object))
                return true;
        }
        return false;
    };
    if (UnlinkFrom(m_shoppers, object) || UnlinkFrom(m_criminals, object))
        return 1;
    if (fromFloors(&CFloorObjects::shops) || fromFloors(&CFloorObjects::usable) ||
        fromFloors(&CFloorObjects::scenery) || fromFloors(&CFloorObjects::doors))
        return 1;
    int stairsLists = 0;
    for (const std::unique_ptr<CFloorObjects>& other : m_floors) {
        if (UnlinkFrom(other->stairs, object) && ++stairsLists == 2)
            return 1;
    }
    if (UnlinkFrom(m_security, object) || UnlinkFrom(m_cleaners, object) || UnlinkFrom(m_maintenance, object))
        return 1;
    return fromFloors(&CFloorObjects::scalable) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------------------
// Queries

CFerroxObject* CDynamicObjectManager::FindObject(const CObjectQuery* query)
{
    GX_ASSERT(query, "a character asks with its query");
    if (!query->grid)
        return nullptr;
    const int16_t floor = FloorIndexOf(query->grid);
    if (floor < 0 || static_cast<size_t>(floor) >= m_floors.size())
        return nullptr;
    CFloorObjects* record = m_floors[static_cast<size_t>(floor)].get();
    const ObjectList* list = nullptr;
    switch (query->kind) {
    case kObjectKindDoor:
        list = &record->doors;
        break;
    case kObjectKindStairs:
        list = &record->stairs;
        break;
    case kObjectKindShop:
        list = &record->shops;
        break;
    default:
        list = query->useScenery ? &record->scenery : &record->usable;
        break;
    }
    const bool unlimited = !(query->maxDistance > 0.0f);
    const float limit = unlimited ? FLT_MAX : query->maxDistance;
    float best = limit;
    CFerroxObject* kept = nullptr;
    for (CFerroxObject* object : *list) {
        if (object == query->excluded)
            continue;
        const bool available = query->testAvailable && g_hooks.isAvailable && g_hooks.isAvailable(object, query->grid);
        const bool dirty =
            !available && query->testDirty && g_hooks.isDirty && g_hooks.isDirty(object, query->grid, &query->position);
        if (!available && !dirty)
            continue;
        const int32_t kind = static_cast<int16_t>(ObjectKind(object));
        if (kind != query->kind && query->kind != kObjectKindAny)
            continue;
        const int32_t cell = g_hooks.getEntranceCell ? g_hooks.getEntranceCell(object, 0) : -1;
        const float x = static_cast<float>(query->grid->GetCellWorldX(cell, 1));
        const float z = static_cast<float>(query->grid->GetCellWorldZ(cell, 1));
        const float distance = std::fabs(x - query->position.x) + std::fabs(z - query->position.z);
        if (!query->nearest) {
            if (unlimited || distance < limit)
                return object;
            continue;
        }
        if (distance < best) {
            best = distance;
            kept = object;
        }
    }
    return kept;
}

// ---------------------------------------------------------------------------------------------------------
// Floors shown and hidden, effects

void CDynamicObjectManager::ForEachCharacter(void (*visit)(CFerroxObject*, int32_t), int32_t value)
{
    if (!visit)
        return;
    for (ObjectList* list : {&m_shoppers, &m_criminals, &m_maintenance, &m_cleaners, &m_security}) {
        for (CFerroxObject* character : *list)
            visit(character, value);
    }
}

CFloorObjects* CDynamicObjectManager::ExistingFloorRecord(int32_t floor)
{
    if (floor < 0 || static_cast<size_t>(floor) >= m_floors.size())
        return nullptr;
    return m_floors[static_cast<size_t>(floor)].get();
}

void CDynamicObjectManager::HideFloorObjects(int32_t floor, const ObjectFloorFlags& flags)
{
    // A floor without a record has no objects to hide; its characters still learn the floor shown.
    if (CFloorObjects* record = ExistingFloorRecord(floor)) {
        auto hide = [](const ObjectList& list) {
            for (CFerroxObject* object : list)
                object->RemoveFromWorld();
        };
        if (flags.shops)
            hide(record->shops);
        if (flags.scalable)
            hide(record->scalable);
        if (flags.usable)
            hide(record->usable);
        if (flags.doors)
            hide(record->doors);
        if (flags.scenery)
            hide(record->scenery);
        if (flags.stairs) {
            // Stairs leading down stay for the floor below.
            const CFloorObjects* below = ExistingFloorRecord(floor - 1);
            for (CFerroxObject* stairs : record->stairs) {
                if (!below || !Contains(below->stairs, stairs))
                    stairs->RemoveFromWorld();
            }
        }
    }
    if (flags.characters)
        ForEachCharacter(g_hooks.setVisibleFloor, floor - 1);
}

void CDynamicObjectManager::ShowFloorObjects(int32_t floor, const ObjectFloorFlags& flags, CFerroxWorld* world)
{
    if (CFloorObjects* record = ExistingFloorRecord(floor)) {
        auto show = [world](const ObjectList& list) {
            for (CFerroxObject* object : list)
                object->AddToWorld(world);
        };
        if (flags.shops)
            show(record->shops);
        if (flags.scalable)
            show(record->scalable);
        if (flags.usable)
            show(record->usable);
        if (flags.doors)
            show(record->doors);
        if (flags.scenery)
            show(record->scenery);
        if (flags.stairs)
            show(record->stairs);
    }
    if (flags.characters)
        ForEachCharacter(g_hooks.setVisibleFloor, floor);
}

void CDynamicObjectManager::RenderEffects()
{
    GxRenderStateSet(gxRENDERSTATECULLMODE, GxRenderStateValue(kEffectCullNone));
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, GxRenderStateValue(1));
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
    if (!g_hooks.renderEffect || !g_hooks.isPlaced)
        return;
    for (const std::unique_ptr<CFloorObjects>& record : m_floors) {
        for (const ObjectList* list : {&record->usable, &record->scenery}) {
            for (CFerroxObject* object : *list) {
                CFerroxComposite* model = object->GetModel();
                if (g_hooks.isPlaced(object) && model && model->GetWorld())
                    g_hooks.renderEffect(object);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------------------
// Animated textures

CObjectAnimTexture* CDynamicObjectManager::FindAnimTexture(GxTexture* texture)
{
    if (!texture || m_animTextures.empty())
        return nullptr;
    const size_t length = strnlen(texture->name, sizeof(texture->name));
    const std::string base(texture->name, length > kAnimTextureSuffix ? length - kAnimTextureSuffix : 0);
    for (const ObjectAnimTextureEntry& entry : m_animTextures) {
        const char* name = entry.animation->GetBaseName();
        if (entry.texture == texture && name && std::strstr(name, base.c_str()))
            return entry.animation.get();
    }
    return nullptr;
}

int CDynamicObjectManager::CreateAnimTextures(CFerroxObject* object)
{
    CFerroxComposite* model = object ? object->GetModel() : nullptr;
    if (!model)
        return 0;
    const char* modelName = model->GetName();
    CreateAnimTexturesFor(modelName ? modelName : "", model->GetAnimatedMaterials());
    return 0;
}

void CDynamicObjectManager::CreateAnimTexturesFor(const std::string& modelName,
                                                  const std::vector<GxMaterial*>& materials)
{
    const size_t slash = modelName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : modelName.substr(0, slash + 1);
    for (GxMaterial* material : materials) {
        GxTexture* texture = material ? material->texture : nullptr;
        if (!texture || FindAnimTexture(texture))
            continue;
        std::unique_ptr<CObjectAnimTexture> animation =
            s_animTextureMaker ? s_animTextureMaker() : MakeEngineAnimTexture();
        const size_t length = strnlen(texture->name, sizeof(texture->name));
        const std::string base(texture->name, length > kAnimTextureSuffix ? length - kAnimTextureSuffix : 0);
        const std::string path = folder + kAnimFolder + base + kAnimExtension;
        // Kept without frames when the file is missing, so the texture is not looked for again.
        animation->Load(path.c_str(), &material->texture);
        m_animTextures.push_back({std::move(animation), texture});
    }
}

// ---------------------------------------------------------------------------------------------------------
// Saving

int CDynamicObjectManager::SaveObjects(CFerroxFile* file)
{
    GX_ASSERT(file, "the save hands its open file");
    auto save = [file](CFerroxObject* object) {
        if (CFerroxIOObject* saved = dynamic_cast<CFerroxIOObject*>(object))
            saved->Save(file);
    };
    file->WriteLine(std::string(kObjectsTag) + kLineEnd);
    for (size_t floor = 0; floor < m_floors.size(); floor++) {
        const CFloorObjects* record = m_floors[floor].get();
        for (const ObjectList* list : {&record->shops, &record->doors, &record->scenery, &record->usable}) {
            for (CFerroxObject* object : *list)
                save(object);
        }
        // Every stairs object is in two records: it is written once, with the upper one's objects. A missing
        // record above counts as empty, so the top record's stairs are written too.
        const CFloorObjects* above = floor + 1 < m_floors.size() ? m_floors[floor + 1].get() : nullptr;
        for (CFerroxObject* stairs : record->stairs) {
            if (!above || !Contains(above->stairs, stairs))
                save(stairs);
        }
    }
    for (const ObjectList* list : {&m_shoppers, &m_criminals, &m_cleaners, &m_maintenance, &m_security}) {
        for (CFerroxObject* character : *list)
            save(character);
    }
    file->WriteLine(std::string(kObjectsEndTag) + kLineEnd);
    if (m_pStatistics)
        m_pStatistics->Save(file);
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Seams

ObjectAnimTextureMaker CDynamicObjectManager::s_animTextureMaker = nullptr;

void CDynamicObjectManager::SetSeam(CObjectManagerSeam* seam) { g_pSeam = seam; }

CObjectManagerSeam* CDynamicObjectManager::GetSeam() { return g_pSeam; }

void CDynamicObjectManager::SetClassHooks(const ObjectClassHooks& hooks)
{
    for (int32_t kind = 0; kind < OBJECT_LIST_KIND_COUNT; kind++) {
        if (hooks.isOfKind[kind])
            g_hooks.isOfKind[kind] = hooks.isOfKind[kind];
    }
    auto take = [](auto& to, auto from) {
        if (from)
            to = from;
    };
    take(g_hooks.isAvailable, hooks.isAvailable);
    take(g_hooks.isDirty, hooks.isDirty);
    take(g_hooks.getKind, hooks.getKind);
    take(g_hooks.getEntranceCell, hooks.getEntranceCell);
    take(g_hooks.isPlaced, hooks.isPlaced);
    take(g_hooks.renderEffect, hooks.renderEffect);
    take(g_hooks.cleanUpCharacter, hooks.cleanUpCharacter);
    take(g_hooks.setVisibleFloor, hooks.setVisibleFloor);
}

const ObjectClassHooks& CDynamicObjectManager::GetClassHooks() { return g_hooks; }
