// The table of the fifteen object factories, in registration order, and the makers of the classes built.
#include "game/world/factories.h"

#include <cstring>

namespace {

struct ObjectFactoryEntry {
    const char* name;
    ObjectFactoryMaker make;  // null: a pending factory takes the slot
};

// The fifteen slots in registration order.
// Classes not built yet keep a null maker; their modules install one with SetObjectFactoryMaker.
ObjectFactoryEntry g_factoryTable[kObjectFactoryCount] = {
    {kScalableObjectFactoryName, nullptr},
    {kShopperFactoryName, nullptr},
    {kCriminalFactoryName, nullptr},
    {kShopFactoryName, nullptr},
    {kDoorObjectFactoryName, nullptr},
    {kStairsObjectFactoryName, nullptr},
    {kSceneryObjectFactoryName, nullptr},
    {kUsableObjectFactoryName, nullptr},
    {kCleanerFactoryName, nullptr},
    {kSecurityFactoryName, nullptr},
    {kMaintenanceFactoryName, nullptr},
    {kFerroxObjectFactoryName, &MakeObjectFactoryOf<CGameObjectFactory<CFerroxObject>>},
    {kBaseObjectFactoryName, nullptr},
    {kPathableObjectFactoryName, nullptr},
    {kAtriumObjectFactoryName, nullptr},
};

}  // namespace

int SetObjectFactoryMaker(const char* name, ObjectFactoryMaker make)
{
    if (!name)
        return 0;
    for (ObjectFactoryEntry& entry : g_factoryTable) {
        if (std::strcmp(entry.name, name) == 0) {
            entry.make = make;
            return 1;
        }
    }
    return 0;
}

std::unique_ptr<CFerroxObjectFactory> MakeObjectFactory(size_t index)
{
    if (index >= kObjectFactoryCount)
        return nullptr;
    const ObjectFactoryEntry& entry = g_factoryTable[index];
    std::unique_ptr<CFerroxObjectFactory> factory = entry.make ? entry.make() : nullptr;
    if (!factory)
        factory = std::make_unique<CPendingObjectFactory>();
    factory->SetName(entry.name);
    return factory;
}
