// Registration of the building classes with the object manager and the storey filter's class tests.
#include "game/buildings/buildings.h"

#include "game/buildings/buildingfactories.h"
#include "game/buildings/door.h"
#include "game/buildings/facility.h"
#include "game/buildings/scalable.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/factories.h"
#include "game/world/floors.h"
#include "game/world/gameparticles.h"
#include "game/world/objectmgr.h"

namespace {

template <typename T>
int IsOf(CFerroxObject* object)
{
    return dynamic_cast<T*>(object) != nullptr ? 1 : 0;
}

CPathableObject* Pathable(CFerroxObject* object) { return dynamic_cast<CPathableObject*>(object); }

int IsAvailable(CFerroxObject* object, CFerroxBlockGrid* grid)
{
    CPathableObject* pathable = Pathable(object);
    return pathable ? pathable->IsAvailable(grid) : 0;
}

int IsDirty(CFerroxObject* object, CFerroxBlockGrid* grid, const GxV3d* position)
{
    CPathableObject* pathable = Pathable(object);
    return pathable ? pathable->IsDirty(grid, position) : 0;
}

int32_t GetKind(CFerroxObject* object)
{
    CPathableObject* pathable = Pathable(object);
    return pathable ? pathable->GetKind() : -1;
}

int32_t GetEntranceCell(CFerroxObject* object, int32_t index)
{
    CPathableObject* pathable = Pathable(object);
    return pathable ? pathable->GetEntranceCell(index) : kNoCell;
}

int IsPlaced(CFerroxObject* object)
{
    CBaseObject* building = dynamic_cast<CBaseObject*>(object);
    return building ? building->IsPlaced() : 0;
}

void RenderEffect(CFerroxObject* object)
{
    CPathableObject* pathable = Pathable(object);
    if (!pathable)
        return;
    pathable->SetEffectBlendModes();
    pathable->RenderEffect();
}

// A building's effect drawn by a configurable particle effect read from its file.
class CParticleBuildingEffect : public CBuildingEffect {
public:
    void Update(float dt) override { m_particle.Update(dt); }
    void Render() override { m_particle.Render(); }
    void SetBlendModes(int skip) override { m_particle.SetBlendModes(skip); }
    CConfigurableStdParticle m_particle;
};

std::unique_ptr<CBuildingEffect> MakeParticleEffect(const char* particleFile, const GxV3d& position)
{
    auto effect = std::make_unique<CParticleBuildingEffect>();
    effect->m_particle.Load(particleFile);
    effect->m_particle.SetEmitterPosition(position);
    return effect;
}

CFerroxTileRecord* CurrentFloorTile()
{
    CFloorManager* floors = CFloorManager::GetInstance();
    return floors ? floors->GetCurrentTileType() : nullptr;
}

}  // namespace

void RegisterBuildingClasses()
{
    BuildingHooks building = {};
    building.makeEffect = MakeParticleEffect;
    building.currentTile = CurrentFloorTile;
    SetBuildingHooks(building);
    CFloorManager::SetCellFilter(BuildingStoreyFilter);

    SetObjectFactoryMaker(kScalableObjectFactoryName, MakeObjectFactoryOf<CScalableObjectFactory>);
    SetObjectFactoryMaker(kShopFactoryName, MakeObjectFactoryOf<CShopFactory>);
    SetObjectFactoryMaker(kDoorObjectFactoryName, MakeObjectFactoryOf<CDoorObjectFactory>);
    SetObjectFactoryMaker(kStairsObjectFactoryName, MakeObjectFactoryOf<CStairsFactory>);
    SetObjectFactoryMaker(kSceneryObjectFactoryName, MakeObjectFactoryOf<CSceneryObjectFactory>);
    SetObjectFactoryMaker(kUsableObjectFactoryName, MakeObjectFactoryOf<CUsableObjectFactory>);
    SetObjectFactoryMaker(kBaseObjectFactoryName, MakeObjectFactoryOf<CBaseObjectFactory>);
    SetObjectFactoryMaker(kPathableObjectFactoryName, MakeObjectFactoryOf<CPathableObjectFactory>);
    SetObjectFactoryMaker(kAtriumObjectFactoryName, MakeObjectFactoryOf<CAtriumObjectFactory>);

    ObjectClassHooks hooks = {};
    hooks.isOfKind[OBJECT_LIST_SHOPS] = IsOf<CShop>;
    hooks.isOfKind[OBJECT_LIST_STAIRS] = IsOf<CStairs>;
    hooks.isOfKind[OBJECT_LIST_DOORS] = IsOf<CDoorObject>;
    hooks.isOfKind[OBJECT_LIST_USABLE] = IsOf<CUsableObject>;
    hooks.isOfKind[OBJECT_LIST_SCALABLE] = IsOf<CScalableObject>;
    hooks.isOfKind[OBJECT_LIST_SCENERY] = IsOf<CSceneryObject>;
    hooks.isAvailable = IsAvailable;
    hooks.isDirty = IsDirty;
    hooks.getKind = GetKind;
    hooks.getEntranceCell = GetEntranceCell;
    hooks.isPlaced = IsPlaced;
    hooks.renderEffect = RenderEffect;
    CDynamicObjectManager::SetClassHooks(hooks);
}

int BuildingStoreyFilter(CFerroxBase* occupant, int cell, int flag)
{
    if (dynamic_cast<CAtriumObject*>(occupant))
        return 0;
    // A door carries the floor above over its outside entrances only.
    if (CDoorObject* door = dynamic_cast<CDoorObject*>(occupant))
        return door->IsExtraEntranceCell(cell);
    // A shop always has floor above it, also standing on bare ground: placed again by a load it lays that floor,
    // and the loaded mall would differ from the saved one.
    if (dynamic_cast<CStairs*>(occupant) || dynamic_cast<CShop*>(occupant))
        return 1;
    return flag == 0 ? 1 : 0;
}
