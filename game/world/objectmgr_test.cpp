// Object manager: factory look-up by part of a name, floor records, class and floor lists, the object query,
// deletion during and outside the update pass, the selection cleared on removal and the objects' save walk.
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/navigation/blockmesh.h"
#include "game/shell/game_testing.h"
#include "game/testsupport/objectmgr.h"
#include "game/world/factories.h"
#include "game/world/statistics.h"

namespace {

class PopupNotices : public RecordingNotices {
public:
    void ClosePopups() override { closed++; }
    int closed = 0;
};

class ObjectManager : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        game->SetNotices(&popups);
        TestLog() = TestObjectLog();
        ResetObjectClassHooks();
        CDynamicObjectManager::SetClassHooks(TestClassHooks());
        CDynamicObjectManager::SetSeam(&seam);
        ASSERT_EQ(1, grid.Create(kSide, kSide, GxV3d{0.0f, 0.0f, 0.0f}, 1, 0));
        seam.floors[&grid] = 0;
        seam.floors[&storeys[0]] = 0;
        seam.floors[&storeys[1]] = 1;
        seam.floors[&storeys[2]] = 2;
        manager = CDynamicObjectManager::Instance();
    }
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        CDynamicObjectManager::SetSeam(nullptr);
        ResetObjectClassHooks();
        GameTest::TearDown();
    }
    // A test object described by the case, on the storey (null: no floor object).
    TestObject* Make(ObjectListKind list, const char* tag, CFerroxBlockMesh* storey = nullptr, int32_t kind = 0,
                     int32_t cell = 0)
    {
        factory.next = TestObjectSpec{list, kind, cell, 1, 0, tag};
        FerroxObjectDescriptor descriptor = {};
        descriptor.floorObject = storey;
        return AsTest(manager->CreateObject(&factory, &descriptor));
    }
    // The cell at world x (column) and z (minus the row) of the query grid.
    static int32_t Cell(int32_t x, int32_t z) { return x * kSide - z; }
    CObjectQuery Query(int32_t kind, int32_t nearest)
    {
        CObjectQuery query = {};
        query.kind = kind;
        query.nearest = nearest;
        query.testAvailable = 1;
        query.grid = &grid;
        return query;
    }

    static constexpr int kSide = 10;
    PopupNotices popups;
    TestFloorSeam seam;
    CFerroxBlockGrid grid;
    CFerroxBlockMesh storeys[3];
    TestObjectFactory factory;
    CDynamicObjectManager* manager = nullptr;
};

TEST_F(ObjectManager, FindsFactoriesByPartOfTheirNameInRegistrationOrder)
{
    ASSERT_EQ(kObjectFactoryCount, manager->GetFactories().size());
    const CFerroxWorld* world = reinterpret_cast<CFerroxWorld*>(&grid);
    CFerroxWorld* owner = reinterpret_cast<CFerroxWorld*>(&grid);
    EXPECT_STREQ(kScalableObjectFactoryName, manager->FindFactory("", nullptr)->GetName());
    EXPECT_STREQ(kFerroxObjectFactoryName, manager->FindFactory("ferrox", nullptr)->GetName());
    EXPECT_STREQ(kBaseObjectFactoryName, manager->FindFactory("base", nullptr)->GetName());
    // "u" is in the usable and the atrium factory's names and in none before them: the earlier wins.
    EXPECT_STREQ(kUsableObjectFactoryName, manager->FindFactory("u", nullptr)->GetName());
    for (size_t i = 0; i < kObjectFactoryCount; i++) {
        const std::string name = MakeObjectFactory(i)->GetName();
        CFerroxObjectFactory* found = manager->FindFactory(name.c_str(), owner);
        ASSERT_NE(nullptr, found);
        EXPECT_EQ(name, found->GetName());
        EXPECT_EQ(world, found->GetWorld()) << "the look-up hands the factory its world";
    }
    EXPECT_EQ(nullptr, manager->FindFactory("Ferrox", nullptr)) << "names match case-sensitively";
    EXPECT_EQ(nullptr, manager->FindFactory("kioskFactory", nullptr));
}

TEST_F(ObjectManager, ASlotWithoutAMakerMakesNothing)
{
    // Earlier tests of the program may have installed the building classes' makers.
    ASSERT_EQ(1, SetObjectFactoryMaker(kShopFactoryName, nullptr));
    CDynamicObjectManager::DestroyInstance();
    manager = CDynamicObjectManager::Instance();
    FerroxObjectDescriptor descriptor = {};
    const uint32_t before = manager->GetCount();
    EXPECT_EQ(nullptr, manager->CreateObject(manager->FindFactory(kShopFactoryName, nullptr), &descriptor));
    EXPECT_EQ(before, manager->GetCount());
    EXPECT_EQ(0, SetObjectFactoryMaker("kioskFactory", nullptr));

    // A maker installed later takes its slot in the next manager, under the slot's name and place.
    ASSERT_EQ(1, SetObjectFactoryMaker(kShopFactoryName, []() -> std::unique_ptr<CFerroxObjectFactory> {
                  return std::make_unique<TestObjectFactory>();
              }));
    CDynamicObjectManager::DestroyInstance();
    manager = CDynamicObjectManager::Instance();
    SetObjectFactoryMaker(kShopFactoryName, nullptr);
    CFerroxObjectFactory* shops = manager->FindFactory("shop", nullptr);
    ASSERT_NE(nullptr, shops);
    EXPECT_STREQ(kShopperFactoryName, shops->GetName()) << "the shopper factory comes before the shop factory";
    CFerroxObjectFactory* shop = manager->FindFactory(kShopFactoryName, nullptr);
    ASSERT_NE(nullptr, dynamic_cast<TestObjectFactory*>(shop));
    CFerroxObject* made = manager->CreateObject(shop, &descriptor);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(shop, static_cast<TestObjectFactory*>(shop)->lastFactory) << "the descriptor names the factory";
    EXPECT_EQ(shop, descriptor.factory) << "the caller's descriptor, not a copy of it";

    CFerroxObject* plain = manager->CreateObject(manager->FindFactory("ferrox", nullptr), &descriptor);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(typeid(CFerroxObject), typeid(*plain));
}

TEST_F(ObjectManager, FloorRecordsGrowByTheFloorPlusOne)
{
    ASSERT_EQ(1u, manager->GetFloors().size());
    CFloorObjects* ground = manager->GetFloorRecord(0);
    EXPECT_EQ(ground, manager->GetFloorRecord(-1));
    EXPECT_EQ(1u, manager->GetFloors().size());
    CFloorObjects* first = manager->GetFloorRecord(1);
    EXPECT_EQ(3u, manager->GetFloors().size()) << "floor + 1 records are added, not only the missing one";
    EXPECT_EQ(ground, manager->GetFloorRecord(0)) << "records stay where they are as more come";
    EXPECT_EQ(first, manager->GetFloorRecord(1));
    manager->GetFloorRecord(2);
    EXPECT_EQ(3u, manager->GetFloors().size());
    manager->GetFloorRecord(3);
    EXPECT_EQ(7u, manager->GetFloors().size());
}

TEST_F(ObjectManager, FilesObjectsByClassAndFloorAndUnlinksThem)
{
    TestObject* shop = Make(OBJECT_LIST_SHOPS, "shop", &storeys[1]);
    TestObject* stairs = Make(OBJECT_LIST_STAIRS, "stairs", &storeys[1]);
    TestObject* shopper = Make(OBJECT_LIST_SHOPPERS, "shopper", &storeys[0]);
    TestObject* plain = Make(OBJECT_LIST_KIND_COUNT, "plain");
    ASSERT_TRUE(shop && stairs && shopper && plain);
    ASSERT_GE(manager->GetFloors().size(), 3u);
    EXPECT_EQ(1u, manager->GetFloors()[1]->shops.size());
    EXPECT_EQ(1u, manager->GetFloors()[1]->stairs.size());
    EXPECT_EQ(1u, manager->GetFloors()[2]->stairs.size()) << "stairs also stand in the record above";
    EXPECT_EQ(1u, manager->GetShoppers().size());
    EXPECT_EQ(4u, manager->GetCount()) << "every object is in the flat list";

    EXPECT_EQ(0, manager->RemoveFromLists(shop, 0)) << "a floor names one record";
    EXPECT_EQ(0, manager->RemoveFromLists(shop, 7)) << "a record that does not exist holds nothing";
    EXPECT_EQ(3u, manager->GetFloors().size()) << "removal never adds records";
    EXPECT_EQ(1, manager->RemoveFromLists(shop, 1));
    EXPECT_EQ(1, manager->RemoveFromLists(stairs, -1));
    EXPECT_TRUE(manager->GetFloors()[1]->stairs.empty());
    EXPECT_TRUE(manager->GetFloors()[2]->stairs.empty());
    EXPECT_EQ(1, manager->RemoveFromLists(shopper, 3)) << "characters are found whatever the floor";
    EXPECT_EQ(0, manager->RemoveFromLists(plain, -1));
    EXPECT_EQ(4u, manager->GetCount()) << "unlinking from the lists deletes nothing";
}

TEST_F(ObjectManager, StairsOnAnUnknownStoreyAreFiledOnceInEachRecord)
{
    CFerroxBlockMesh unknown;
    TestObject* stairs = Make(OBJECT_LIST_STAIRS, "stairs", &unknown);
    ASSERT_NE(nullptr, stairs);
    EXPECT_EQ(1u, manager->GetFloors()[0]->stairs.size());
    EXPECT_EQ(1u, manager->GetFloors()[1]->stairs.size());
    manager->RemoveObject(stairs, 1);
    for (const std::unique_ptr<CFloorObjects>& record : manager->GetFloors())
        EXPECT_TRUE(record->stairs.empty()) << "no entry outlives the object";
    EXPECT_EQ(1, TestLog().deleted);
}

TEST_F(ObjectManager, QueryFindsTheNearestOrTheFirstThatPasses)
{
    // Entrances at distances 5, 3, 3 and 1 from the asker at (0, 0); the last is of another kind.
    TestObject* far = Make(OBJECT_LIST_USABLE, "far", &storeys[0], 7, Cell(5, 0));
    TestObject* tieA = Make(OBJECT_LIST_USABLE, "tieA", &storeys[0], 7, Cell(3, 0));
    TestObject* tieB = Make(OBJECT_LIST_USABLE, "tieB", &storeys[0], 7, Cell(1, -2));
    TestObject* other = Make(OBJECT_LIST_USABLE, "other", &storeys[0], 8, Cell(1, 0));
    ASSERT_TRUE(far && tieA && tieB && other);

    CObjectQuery query = Query(7, 1);
    EXPECT_EQ(tieA, manager->FindObject(&query)) << "among equal distances the earlier wins";
    query.excluded = tieA;
    EXPECT_EQ(tieB, manager->FindObject(&query));
    query.excluded = nullptr;
    query.maxDistance = 3.0f;
    EXPECT_EQ(nullptr, manager->FindObject(&query)) << "the limit itself is not below the limit";
    query.maxDistance = 3.5f;
    EXPECT_EQ(tieA, manager->FindObject(&query));

    query = Query(7, 0);
    EXPECT_EQ(far, manager->FindObject(&query)) << "no limit: the first that passes, however far";
    query.maxDistance = 4.0f;
    EXPECT_EQ(tieA, manager->FindObject(&query)) << "with a limit: the first within it";

    query = Query(kObjectKindAny, 1);
    EXPECT_EQ(other, manager->FindObject(&query)) << "kind -1 accepts any kind in the usable list";
    query.kind = -2;
    EXPECT_EQ(nullptr, manager->FindObject(&query)) << "other negative kinds match nothing";
    query = Query(7, 1);
    query.useScenery = 1;
    EXPECT_EQ(nullptr, manager->FindObject(&query)) << "scenery is its own list";
}

TEST_F(ObjectManager, QueryTestsAvailabilityThenDirt)
{
    TestObject* busy = Make(OBJECT_LIST_SCENERY, "busy", &storeys[0], 2, Cell(1, 0));
    TestObject* clean = Make(OBJECT_LIST_SCENERY, "free", &storeys[0], 2, Cell(4, 0));
    ASSERT_TRUE(busy && clean);
    busy->spec.available = 0;
    busy->spec.dirty = 1;
    clean->spec.dirty = 0;

    CObjectQuery query = Query(2, 1);
    query.useScenery = 1;
    EXPECT_EQ(clean, manager->FindObject(&query));
    query.testDirty = 1;
    EXPECT_EQ(busy, manager->FindObject(&query)) << "an unavailable object passes when it is dirty";
    query.testAvailable = 0;
    query.testDirty = 0;
    EXPECT_EQ(nullptr, manager->FindObject(&query)) << "with neither test nothing passes";

    query = Query(2, 1);
    query.useScenery = 1;
    CFerroxBlockGrid unknown;
    query.grid = &unknown;
    EXPECT_EQ(nullptr, manager->FindObject(&query)) << "a storey the floors do not know";
    query.grid = nullptr;
    EXPECT_EQ(nullptr, manager->FindObject(&query));
    seam.floors[&unknown] = 9;
    query.grid = &unknown;
    EXPECT_EQ(nullptr, manager->FindObject(&query)) << "a floor past the records";
}

TEST_F(ObjectManager, QueryListsByKind)
{
    TestObject* shop = Make(OBJECT_LIST_SHOPS, "shop", &storeys[0], kObjectKindShop, Cell(2, 0));
    TestObject* door = Make(OBJECT_LIST_DOORS, "door", &storeys[0], kObjectKindDoor, Cell(2, 0));
    TestObject* stairs = Make(OBJECT_LIST_STAIRS, "stairs", &storeys[0], kObjectKindStairs, Cell(2, 0));
    CObjectQuery query = Query(kObjectKindShop, 1);
    EXPECT_EQ(shop, manager->FindObject(&query));
    query.kind = kObjectKindDoor;
    EXPECT_EQ(door, manager->FindObject(&query));
    query.kind = kObjectKindStairs;
    EXPECT_EQ(stairs, manager->FindObject(&query));
}

TEST_F(ObjectManager, DeletesEachObjectOnceWhateverTheMomentOfRemoval)
{
    // Removing itself at once in the pass: deleted after the pass, with a second request ignored.
    TestObject* self = Make(OBJECT_LIST_SHOPS, "self", &storeys[0]);
    self->onUpdate = [](TestObject* object) {
        CDynamicObjectManager::Instance()->RemoveObject(object, 1);
        EXPECT_EQ(0, TestLog().deleted) << "nothing is deleted under a running update";
        CDynamicObjectManager::Instance()->RemoveObject(object, 0);
    };
    manager->Update(0.1f);
    EXPECT_EQ(1, TestLog().deleted);
    EXPECT_TRUE(manager->GetFloors()[0]->shops.empty());

    // Emptying everything from inside the pass.
    Make(OBJECT_LIST_SHOPPERS, "shopper");
    TestObject* wiper = Make(OBJECT_LIST_SHOPS, "wiper", &storeys[1]);
    Make(OBJECT_LIST_STAIRS, "stairs", &storeys[0]);
    wiper->onUpdate = [](TestObject*) { CDynamicObjectManager::Instance()->DeleteAll(); };
    manager->Update(0.1f);
    EXPECT_EQ(4, TestLog().deleted);
    EXPECT_EQ(0u, manager->GetCount());
    EXPECT_EQ(1u, manager->GetFloors().size()) << "one fresh floor record";
    EXPECT_TRUE(manager->GetShoppers().empty());
    EXPECT_EQ(std::vector<std::string>{"shopper"}, TestLog().cleaned);

    // A queued removal, then the reset: the object goes once, and the statistics are new.
    TestObject* queued = Make(OBJECT_LIST_SCENERY, "queued", &storeys[0]);
    Make(OBJECT_LIST_USABLE, "kept", &storeys[0]);
    manager->RemoveObject(queued, 0);
    EXPECT_EQ(1u, manager->GetQueuedCount());
    EXPECT_EQ(0, manager->Reset());
    EXPECT_EQ(6, TestLog().deleted);
    EXPECT_EQ(0u, manager->GetQueuedCount());
    EXPECT_NE(nullptr, manager->GetStatistics());
    EXPECT_EQ(kObjectFactoryCount, manager->GetFactories().size()) << "factories outlive a reset";
    manager->Update(0.1f);
    EXPECT_EQ(6, TestLog().deleted);
}

TEST_F(ObjectManager, DeleteAllCleansUpCharactersListByList)
{
    Make(OBJECT_LIST_SECURITY, "guard");
    Make(OBJECT_LIST_CLEANERS, "cleaner");
    Make(OBJECT_LIST_MAINTENANCE, "engineer");
    Make(OBJECT_LIST_CRIMINALS, "thief");
    Make(OBJECT_LIST_SHOPPERS, "shopper");
    manager->DeleteAll();
    const std::vector<std::string> order = {"shopper", "thief", "engineer", "cleaner", "guard"};
    EXPECT_EQ(order, TestLog().cleaned);
    EXPECT_EQ(5, TestLog().deleted);
}

TEST_F(ObjectManager, RemovingTheSelectedObjectClearsTheSelection)
{
    TestObject* shop = Make(OBJECT_LIST_SHOPS, "shop", &storeys[0]);
    TestObject* other = Make(OBJECT_LIST_SHOPS, "other", &storeys[0]);
    game->m_pSelectedObject = shop;
    manager->RemoveObject(other, 1);
    EXPECT_EQ(shop, game->m_pSelectedObject);
    EXPECT_EQ(0, popups.closed);

    manager->RemoveObject(shop, 1);
    EXPECT_EQ(nullptr, game->m_pSelectedObject);
    EXPECT_EQ(1, game->m_selectionChanged);
    EXPECT_EQ(1, popups.closed);

    TestObject* upstairs = Make(OBJECT_LIST_SHOPS, "upstairs", &storeys[1]);
    game->m_pSelectedObject = upstairs;
    EXPECT_EQ(0, manager->RemoveObjectOnFloor(upstairs, 1, 0));
    EXPECT_EQ(1, manager->RemoveObjectOnFloor(upstairs, 1, 1));
    EXPECT_EQ(nullptr, game->m_pSelectedObject);
    EXPECT_EQ(3, TestLog().deleted);
}

TEST_F(ObjectManager, ShowsAndHidesAFloorsObjects)
{
    Make(OBJECT_LIST_STAIRS, "down", &storeys[0]);
    Make(OBJECT_LIST_STAIRS, "up", &storeys[1]);
    Make(OBJECT_LIST_SHOPPERS, "shopper");
    ObjectFloorFlags flags = {};
    flags.characters = 1;
    manager->HideFloorObjects(1, flags);
    manager->ShowFloorObjects(1, flags, nullptr);
    const std::vector<std::pair<std::string, int32_t>> floors = {{"shopper", 0}, {"shopper", 1}};
    EXPECT_EQ(floors, TestLog().visibleFloors);
    flags.stairs = 1;
    manager->HideFloorObjects(0, flags);  // no record below the ground: every stairs object there goes
    TestLog().visibleFloors.clear();
    // A floor past the records has no objects, but the characters still learn the floor shown.
    manager->HideFloorObjects(9, flags);
    manager->ShowFloorObjects(9, flags, nullptr);
    const std::vector<std::pair<std::string, int32_t>> past = {{"shopper", 8}, {"shopper", 9}};
    EXPECT_EQ(past, TestLog().visibleFloors);
}

TEST_F(ObjectManager, SavesEveryStairsObjectOnceWithTheFloorAbove)
{
    Make(OBJECT_LIST_SHOPS, "shop0", &storeys[0]);
    Make(OBJECT_LIST_STAIRS, "stairs0", &storeys[0]);
    Make(OBJECT_LIST_SHOPS, "shop1", &storeys[1]);
    Make(OBJECT_LIST_SCENERY, "plant0", &storeys[0]);
    Make(OBJECT_LIST_CLEANERS, "cleaner");
    Make(OBJECT_LIST_SHOPPERS, "shopper");
    Make(OBJECT_LIST_SCALABLE, "wall", &storeys[0]);
    // Stairs between storeys 1 and 2 of three sit in the top record, which has no record above.
    Make(OBJECT_LIST_STAIRS, "stairs1", &storeys[1]);
    CFerroxFile file;
    const std::string path = Path("objects.fds");
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    EXPECT_EQ(0, manager->SaveObjects(&file));
    ASSERT_EQ(0, file.Close());
    const std::string text = ReadFile(path);
    const std::string objects = "<OBJECTS>\r\nshop0\r\nplant0\r\nshop1\r\nstairs0\r\nstairs1\r\nshopper\r\ncleaner\r\n<"
                                "/OBJECTS>\r\n<STATISTICS>";
    EXPECT_EQ(objects, text.substr(0, objects.size())) << "walls are rebuilt, not saved";
}

}  // namespace
