// The building slots of the object manager hold the factories of their classes, each making its class.
#include "game/buildings/buildingfactories.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "game/buildings/buildinghooks_testing.h"
#include "game/buildings/buildings.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"

namespace {

// The slot of the registered name, made after the classes registered.
std::unique_ptr<CFerroxObjectFactory> SlotFactory(const char* name)
{
    for (size_t i = 0; i < kObjectFactoryCount; i++) {
        std::unique_ptr<CFerroxObjectFactory> factory = MakeObjectFactory(i);
        if (std::string(factory->GetName()) == name)
            return factory;
    }
    return nullptr;
}

template <typename F, typename T>
void ExpectSlot(const char* name)
{
    std::unique_ptr<CFerroxObjectFactory> factory = SlotFactory(name);
    ASSERT_NE(nullptr, factory) << name;
    EXPECT_NE(nullptr, dynamic_cast<F*>(factory.get())) << name;
    EXPECT_EQ(std::string(name), factory->GetName()) << name;
    // A factory without a world makes the object and adds it nowhere; the descriptor passes through untouched.
    std::unique_ptr<CFerroxObject> object = factory->CreateObject(nullptr);
    ASSERT_NE(nullptr, object) << name;
    const CFerroxObject& made = *object;
    EXPECT_EQ(typeid(T), typeid(made)) << name;
}

TEST(BuildingFactories, EachSlotHoldsTheFactoryOfItsClass)
{
    RegisterBuildingClasses();
    ExpectSlot<CScalableObjectFactory, CScalableObject>(kScalableObjectFactoryName);
    ExpectSlot<CShopFactory, CShop>(kShopFactoryName);
    ExpectSlot<CDoorObjectFactory, CDoorObject>(kDoorObjectFactoryName);
    ExpectSlot<CStairsFactory, CStairs>(kStairsObjectFactoryName);
    ExpectSlot<CSceneryObjectFactory, CSceneryObject>(kSceneryObjectFactoryName);
    ExpectSlot<CUsableObjectFactory, CUsableObject>(kUsableObjectFactoryName);
    ExpectSlot<CBaseObjectFactory, CBaseObject>(kBaseObjectFactoryName);
    ExpectSlot<CPathableObjectFactory, CPathableObject>(kPathableObjectFactoryName);
    // The atrium factory is a usable-object factory that makes atria.
    ExpectSlot<CUsableObjectFactory, CAtriumObject>(kAtriumObjectFactoryName);
    ExpectSlot<CAtriumObjectFactory, CAtriumObject>(kAtriumObjectFactoryName);
    EXPECT_EQ(std::string(kUsableObjectFactoryName), CAtriumObjectFactory().GetName());
    for (const char* name : {kScalableObjectFactoryName, kShopFactoryName, kDoorObjectFactoryName,
                             kStairsObjectFactoryName, kSceneryObjectFactoryName, kUsableObjectFactoryName,
                             kBaseObjectFactoryName, kPathableObjectFactoryName, kAtriumObjectFactoryName})
        SetObjectFactoryMaker(name, nullptr);
    ResetObjectClassHooks();
    CFloorManager::SetCellFilter(nullptr);
    ResetBuildingHooks();
}

}  // namespace
