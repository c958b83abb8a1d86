// The character slots of the object manager hold the factories of their classes, each making its class.
#include "game/figures/figurefactories.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

#include "game/figures/characters.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"

namespace {

template <typename F, typename T>
void ExpectSlot(const char* name)
{
    std::unique_ptr<CFerroxObjectFactory> factory;
    for (size_t i = 0; i < kObjectFactoryCount && !factory; i++) {
        factory = MakeObjectFactory(i);
        if (std::string(factory->GetName()) != name)
            factory.reset();
    }
    ASSERT_NE(nullptr, factory) << name;
    EXPECT_NE(nullptr, dynamic_cast<F*>(factory.get())) << name;
    std::unique_ptr<CFerroxObject> object = factory->CreateObject(nullptr);
    ASSERT_NE(nullptr, object) << name;
    const CFerroxObject& made = *object;
    EXPECT_EQ(typeid(T), typeid(made)) << name;
}

TEST(FigureFactories, EachSlotHoldsTheFactoryOfItsClass)
{
    RegisterCharacterClasses();
    RegisterStaffClasses();
    ExpectSlot<CShopperFactory, CShopper>(kShopperFactoryName);
    ExpectSlot<CCriminalFactory, CCriminal>(kCriminalFactoryName);
    ExpectSlot<CCleanerFactory, CCleaner>(kCleanerFactoryName);
    ExpectSlot<CSecurityFactory, CSecurity>(kSecurityFactoryName);
    ExpectSlot<CMaintenanceFactory, CMaintenance>(kMaintenanceFactoryName);
    for (const char* name : {kShopperFactoryName, kCriminalFactoryName, kCleanerFactoryName, kSecurityFactoryName,
                             kMaintenanceFactoryName})
        SetObjectFactoryMaker(name, nullptr);
    ResetObjectClassHooks();
}

}  // namespace
