// The building classes made from the authored game data: each building template's factory makes its class,
// whose set-up reads the model's dummies and the template's values, and which places on a clear ground.
#include "game/buildings/buildings.h"

#include <cstdlib>
#include <filesystem>
#include <map>

#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "game/buildings/door.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/testsupport/gameobjects.h"
#include "game/world/factories.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/templates.h"

namespace {

class AuthoredBuildings : public GameObjectTest {
protected:
    static void TearDownTestSuite() { RemoveAuthoredRoot(); }
    void RegisterClasses() override { RegisterBuildingClasses(); }
    void TearDown() override
    {
        GameObjectTest::TearDown();
        ResetObjectClassHooks();
        CFloorManager::SetCellFilter(nullptr);
        ResetBuildingHooks();
        for (const char* name : {kScalableObjectFactoryName, kShopFactoryName, kDoorObjectFactoryName,
                                 kStairsObjectFactoryName, kSceneryObjectFactoryName, kUsableObjectFactoryName,
                                 kBaseObjectFactoryName, kPathableObjectFactoryName, kAtriumObjectFactoryName})
            SetObjectFactoryMaker(name, nullptr);
    }
};

TEST_F(AuthoredBuildings, EachBuildingTemplateMakesItsClassAndPlaces)
{
    const std::string root = AuthoredRoot();
    if (root.empty())
        GTEST_SKIP() << "needs mkcontent and MALL_SOURCE_DIR";
    ASSERT_EQ(1, LoadGameData(root));

    CFerroxBlockMesh ground;
    ASSERT_EQ(1, ground.Create(64, 64, GxV3d{0, 0, 0}, 1, 1));
    CFerroxTileRecord tile = {nullptr};
    ground.SetRangeTileEx(&tile, 0, 64 * 64 - 1, 1, 0, nullptr);
    const struct {
        const char* category;
        const char* factory;
    } kinds[] = {{"SHOP_FASHION", kShopFactoryName},   {"FAC_PHONE", kUsableObjectFactoryName},
                 {"STAIRS", kStairsObjectFactoryName}, {"ATRIUM", kAtriumObjectFactoryName},
                 {"DOORS", kDoorObjectFactoryName},    {"SCEN_PLANTS", kSceneryObjectFactoryName}};
    float x = 6.0f;
    for (const auto& kind : kinds) {
        CFerroxAssetSet* set = manager->FindTemplate(kind.category, 0);
        ASSERT_NE(nullptr, set) << kind.category;
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = set;
        descriptor.modelMode = FERROX_MODEL_SHARED;
        descriptor.floorObject = &ground;
        CFerroxObject* object = manager->CreateObject(manager->FindFactory(kind.factory, nullptr), &descriptor);
        CPathableObject* building = dynamic_cast<CPathableObject*>(object);
        ASSERT_NE(nullptr, building) << kind.category;
        EXPECT_GT(building->GetSizeX(), 0) << kind.category;
        EXPECT_GT(building->GetValue(), 0) << kind.category << ": the cost";
        EXPECT_EQ(0, building->SetGridPosition(GxV3d{x, 0.0f, -32.0f}, &ground)) << kind.category;
        x += 10.0f;
        if (dynamic_cast<CStairs*>(building) || dynamic_cast<CDoorObject*>(building))
            continue;  // stairs need a storey above, doors a wall
        EXPECT_EQ(1, building->CanPlace(nullptr, nullptr)) << kind.category;
        EXPECT_EQ(1, building->Place(nullptr)) << kind.category;
        EXPECT_EQ(building->GetUserSlots().size(), set->GetSplines().size()) << kind.category;
    }
    CShop* shop = dynamic_cast<CShop*>(manager->GetFloorRecord(0)->shops.front());
    ASSERT_NE(nullptr, shop);
    CPathableObject* phone = dynamic_cast<CPathableObject*>(manager->GetFloorRecord(0)->usable.front());
    ASSERT_NE(nullptr, phone);
    EXPECT_EQ(1, phone->GetEntranceCount()) << "the stand-in's door dummy";
    const int entrance = phone->GetEntranceCell(0);
    ASSERT_EQ(1, ground.IsValidCell(entrance, 0));
    EXPECT_EQ(phone, ground.GetBlock(entrance)->m_pOccupant) << "the entrance cell records the phone";
    EXPECT_TRUE(ground.GetBlock(entrance)->IsWalkable());
    EXPECT_EQ(kShopStartBalance, shop->GetValue());
    EXPECT_EQ(60, shop->GetRecord().chargeAdjust);
    EXPECT_EQ(120, shop->GetPrice());
    CDynamicObjectManager::DestroyInstance();  // the objects go before the ground they stand on
    manager = nullptr;
}

}  // namespace
