// Registration of the AI character classes with the factories, the object manager and the building seam.
#include "game/figures/characters.h"

#include "game/buildings/building.h"
#include "game/buildings/placement.h"
#include "game/figures/criminal.h"
#include "game/figures/figurefactories.h"
#include "game/figures/shopper.h"
#include "game/world/factories.h"
#include "game/world/gamecontext.h"
#include "game/world/objectmgr.h"

namespace {

template <typename T>
int IsOf(CFerroxObject* object)
{
    return dynamic_cast<T*>(object) != nullptr ? 1 : 0;
}

CAICharacter* Character(CFerroxObject* object) { return dynamic_cast<CAICharacter*>(object); }

// Before the manager deletes its objects: slots go back and registrations end while everything still exists.
void CleanUpCharacter(CFerroxObject* object)
{
    if (CAICharacter* character = Character(object))
        character->Release();
}

void SetVisibleFloor(CFerroxObject* object, int32_t floor)
{
    if (CAICharacter* character = Character(object))
        character->UpdateVisibility(floor);
}

void RemoveIfOnFloorCell(CFerroxObject* object, int cell, CFerroxBlockGrid* floor)
{
    if (CAICharacter* character = Character(object))
        character->RemoveIfOnFloorCell(cell, floor);
}

void OnObjectRemoved(CFerroxObject* object, CFerroxObject* removed)
{
    if (CAICharacter* character = Character(object))
        character->OnObjectRemoved(removed);
}

// The world of the level being played, which characters shown again go back into.
CFerroxWorld* LevelWorld() { return g_pGameContext ? g_pGameContext->GetWorld() : nullptr; }

// The object build mode holds: shoppers do not set out for it.
CFerroxObject* HeldObject()
{
    CPlacementController* controller = CPlacementController::GetInstance();
    return controller ? controller->GetHeldObject() : nullptr;
}

}  // namespace

void RegisterCharacterClasses()
{
    SetObjectFactoryMaker(kShopperFactoryName, MakeObjectFactoryOf<CShopperFactory>);
    SetObjectFactoryMaker(kCriminalFactoryName, MakeObjectFactoryOf<CCriminalFactory>);

    ObjectClassHooks hooks = {};
    hooks.isOfKind[OBJECT_LIST_SHOPPERS] = IsOf<CShopper>;
    hooks.isOfKind[OBJECT_LIST_CRIMINALS] = IsOf<CCriminal>;
    hooks.cleanUpCharacter = CleanUpCharacter;
    hooks.setVisibleFloor = SetVisibleFloor;
    CDynamicObjectManager::SetClassHooks(hooks);

    BuildingHooks building = {};
    building.removeIfOnFloorCell = RemoveIfOnFloorCell;
    building.onObjectRemoved = OnObjectRemoved;
    SetBuildingHooks(building);

    AICharacterHooks characters = {};
    characters.levelWorld = LevelWorld;
    characters.heldObject = HeldObject;
    SetAICharacterHooks(characters);
}
