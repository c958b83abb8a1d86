// The factories of the building classes, one per class; the object manager finds them by their registered names.
#pragma once

#include "game/buildings/building.h"
#include "game/buildings/door.h"
#include "game/buildings/facility.h"
#include "game/buildings/scalable.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/factories.h"

class CScalableObjectFactory : public CGameObjectFactory<CScalableObject> {};
class CShopFactory : public CGameObjectFactory<CShop> {};
class CDoorObjectFactory : public CGameObjectFactory<CDoorObject> {};
class CStairsFactory : public CGameObjectFactory<CStairs> {};
class CSceneryObjectFactory : public CGameObjectFactory<CSceneryObject> {};
class CBaseObjectFactory : public CGameObjectFactory<CBaseObject> {};
class CPathableObjectFactory : public CGameObjectFactory<CPathableObject> {};

// Names itself; the atrium factory is built on it.
class CUsableObjectFactory : public CGameObjectFactory<CUsableObject> {
public:
    CUsableObjectFactory() { SetName(kUsableObjectFactoryName); }
};

class CAtriumObjectFactory : public CUsableObjectFactory {
public:
    std::unique_ptr<CFerroxObject> CreateObject(const FerroxObjectDescriptor* descriptor) override
    {
        return Build<CAtriumObject>(descriptor);
    }
};
