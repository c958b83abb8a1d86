// The game's object factories: one per object class, found by name through the object manager.
//
// The registration table keeps the fifteen names in their fixed order (saved games store the names, and
// look-ups by part of a name take the first hit). A class that lands later installs its factory's maker in
// its slot with SetObjectFactoryMaker before the manager is first made; until then the slot holds a factory
// that makes nothing, so names and order never change. One thread; the manager owns the factories.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/world/dynobject.h"

// Registered names in registration order.
constexpr const char* kScalableObjectFactoryName = "scalableObjectFactory";
constexpr const char* kShopperFactoryName = "shopperFactory";
constexpr const char* kCriminalFactoryName = "criminalFactory";
constexpr const char* kShopFactoryName = "shopFactory";
constexpr const char* kDoorObjectFactoryName = "doorObjectFactory";
constexpr const char* kStairsObjectFactoryName = "stairsObjectFactory";
constexpr const char* kSceneryObjectFactoryName = "sceneryObjectFactory";
constexpr const char* kUsableObjectFactoryName = "usableObjectFactory";
constexpr const char* kCleanerFactoryName = "cleanerFactory";
constexpr const char* kSecurityFactoryName = "securityFactory";
constexpr const char* kMaintenanceFactoryName = "maintenanceFactory";
constexpr const char* kFerroxObjectFactoryName = "ferroxObjectFactory";
constexpr const char* kBaseObjectFactoryName = "baseObjectFactory";
constexpr const char* kPathableObjectFactoryName = "pathableObjectFactory";
constexpr const char* kAtriumObjectFactoryName = "atriumObjectFactory";

constexpr size_t kObjectFactoryCount = 15;

// Whether the full factory name is one of the characters': shoppers, criminals and the three trades of staff.
inline bool IsCharacterFactoryName(const std::string& name)
{
    return name == kShopperFactoryName || name == kCriminalFactoryName || name == kCleanerFactoryName ||
           name == kSecurityFactoryName || name == kMaintenanceFactoryName;
}

// Makes, sets up and (when the factory has a world) adds to the world one object of class T. The game's
// factory classes (buildings/buildingfactories.h, figures/figurefactories.h) are these, one per class.
template <typename T>
class CGameObjectFactory : public CFerroxObjectFactory {
public:
    CGameObjectFactory() { SetName(kFerroxObjectFactoryName); }
    std::unique_ptr<CFerroxObject> CreateObject(const FerroxObjectDescriptor* descriptor) override
    {
        return Build<T>(descriptor);
    }

protected:
    template <typename U>
    std::unique_ptr<CFerroxObject> Build(const FerroxObjectDescriptor* descriptor)
    {
        auto object = std::make_unique<U>();
        object->Setup(descriptor);
        if (m_pWorld)
            object->AddToWorld(m_pWorld);
        return object;
    }
};

// Stands in the slot of a class not built yet: keeps the name and the order, makes nothing.
class CPendingObjectFactory : public CFerroxObjectFactory {
public:
    std::unique_ptr<CFerroxObject> CreateObject(const FerroxObjectDescriptor*) override { return nullptr; }
};

typedef std::unique_ptr<CFerroxObjectFactory> (*ObjectFactoryMaker)();

// The maker of a factory of class F, for its slot.
template <typename F>
std::unique_ptr<CFerroxObjectFactory> MakeObjectFactoryOf()
{
    return std::make_unique<F>();
}

// Installs the maker of the slot with exactly this name; 0 when no slot has it. A null maker empties it.
int SetObjectFactoryMaker(const char* name, ObjectFactoryMaker make);
// A new factory for slot index (below kObjectFactoryCount), given its registered name; null past the end.
std::unique_ptr<CFerroxObjectFactory> MakeObjectFactory(size_t index);
