// Building objects: footprints and grid positions, entrance cells, fit and lay tests, slots, effects, lines.
#include "game/buildings/building.h"

#include <string>

#include "engine/data/file.h"
#include "engine/testsupport/objects.h"
#include "game/buildings/building_testing.h"
#include "game/buildings/buildings.h"
#include "game/buildings/door.h"
#include "game/buildings/facility.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/factories.h"
#include "game/world/floors.h"
#include "game/world/floors_testing.h"
#include "game/world/objectmgr_testing.h"

namespace {

typedef BuildingTest BuildingFootprintTest;

// Sizes 4 x 2 and 3 x 5 on cells of 1 and 2; the footprint swaps at the side yaws.
TEST_F(BuildingFootprintTest, RowsAndColumnsFollowSizesAndYaw)
{
    struct Case {
        int cellSize, sizeX, sizeZ;
        float yaw;
        int rows, columns;
    } cases[] = {
        {1, 4, 2, 0.0f, 4, 2}, {1, 4, 2, 90.0f, 2, 4}, {1, 4, 2, 180.0f, 4, 2}, {1, 4, 2, 270.0f, 2, 4},
        {2, 3, 5, 0.0f, 1, 2}, {2, 3, 5, 90.0f, 2, 1}, {2, 3, 5, 180.0f, 1, 2}, {2, 3, 5, 270.0f, 2, 1},
    };
    for (const Case& c : cases) {
        CFerroxBlockGrid grid;
        ASSERT_EQ(1, grid.Create(kTestSide, kTestSide, GxV3d{0, 0, 0}, c.cellSize, 1));
        Exposed<CBaseObject> object;
        object.SetSize(c.sizeX, c.sizeZ);
        object.Turn(c.yaw);
        object.SetGridPosition(GxV3d{8, 0, -8}, &grid);
        EXPECT_EQ(c.rows, object.GetRows()) << c.sizeX << "x" << c.sizeZ << " at " << c.yaw;
        EXPECT_EQ(c.columns, object.GetColumns()) << c.sizeX << "x" << c.sizeZ << " at " << c.yaw;
    }
}

// Even sides move by half less one cell, odd sides by half a side; x goes back, z forward.
TEST_F(BuildingFootprintTest, GridPositionOffsetsByCellSize)
{
    struct Case {
        int cellSize, sizeX, sizeZ;
        float dx, dz;
    } cases[] = {
        {1, 4, 4, -1.0f, 1.0f}, {1, 3, 3, -1.0f, 1.0f}, {1, 2, 1, 0.0f, 0.0f},
        {2, 8, 6, -2.0f, 2.0f}, {2, 4, 2, 0.0f, 0.0f},  {2, 6, 8, -2.0f, 2.0f},
    };
    for (const Case& c : cases) {
        CFerroxBlockGrid grid;
        ASSERT_EQ(1, grid.Create(kTestSide, kTestSide, GxV3d{0, 0, 0}, c.cellSize, 1));
        Exposed<CBaseObject> object;
        object.SetSize(c.sizeX, c.sizeZ);
        const GxV3d at = {10.0f, 0.0f, -10.0f};
        EXPECT_EQ(0, object.SetGridPosition(at, &grid));
        EXPECT_FLOAT_EQ(at.x + c.dx, object.GetGridPosition().x) << c.cellSize << ": " << c.sizeX;
        EXPECT_FLOAT_EQ(at.z + c.dz, object.GetGridPosition().z) << c.cellSize << ": " << c.sizeZ;
        EXPECT_EQ(grid.GetCellAt(object.GetGridPosition()), object.GetFirstCell());
    }
    Exposed<CBaseObject> object;
    object.SetSize(2, 2);
    EXPECT_EQ(1, object.SetGridPosition(GxV3d{0, 0, 0}, nullptr));
    EXPECT_EQ(1, object.SetGridPosition(GxV3d{-50, 0, 50}, &ground)) << "off the grid";
    EXPECT_EQ(kNoCell, object.GetFirstCell());
}

// One entrance at (1, 0) of a 4 x 2 object whose first cell is (5, 5).
TEST_F(BuildingFootprintTest, EntranceCellsByYaw)
{
    Exposed<CPathableObject> object;
    object.Put(&ground, Cell(5, 5), 4, 2, 4, 2);
    EXPECT_EQ(kNoCell, object.GetEntranceCell(0)) << "no entrances";
    object.AddEntrance({1.0f, 0.0f});
    object.AddEntrance({0.0f, 1.0f});
    const struct {
        float yaw;
        int cell;
    } cases[] = {{0.0f, Cell(6, 5)}, {90.0f, Cell(6, 6)}, {180.0f, Cell(7, 6)}, {270.0f, Cell(5, 7)}};
    for (const auto& c : cases) {
        object.Turn(c.yaw);
        EXPECT_EQ(c.cell, object.GetEntranceCell(0)) << c.yaw;
        EXPECT_EQ(c.cell, object.GetEntranceCell(-3)) << "a negative index takes the first";
    }
    object.Turn(45.0f);
    EXPECT_EQ(kNoCell, object.GetEntranceCell(0));
    object.Turn(0.0f);
    EXPECT_EQ(Cell(5, 4), object.GetEntranceCell(1));
    EXPECT_EQ(kNoCell, object.GetEntranceCell(2)) << "past the last entrance";
    EXPECT_EQ(kNoCell, object.GetEntranceCell(1000));
    object.AddEntrance({3.0e30f, 0.0f});
    EXPECT_EQ(kNoCell, object.GetEntranceCell(2)) << "a dummy far outside the model";
}

typedef BuildingTest BuildingPlaceTest;

// Inside and empty everywhere; laid floor on both storeys only when a storey below is given.
TEST_F(BuildingPlaceTest, FitNeedsInsideEmptyAndTiledCells)
{
    CFerroxBlockMesh* above = AddStorey();
    Exposed<CPathableObject> object;
    object.Put(above, Cell(4, 4), 2, 2);
    EXPECT_EQ(1, object.CanPlace(nullptr, nullptr));
    EXPECT_EQ(1, object.CanPlace(&ground, nullptr));
    above->SetRangeTile(Cell(5, 5), Cell(5, 5), 1, nullptr);
    EXPECT_EQ(0, object.CanPlace(&ground, nullptr)) << "an untiled cell on an upper storey";
    EXPECT_EQ(1, object.CanPlace(nullptr, nullptr)) << "the ground storey needs no floor";
    ground.SetRangeTile(Cell(4, 4), Cell(4, 4), 1, nullptr);
    above->SetRangeTileEx(&tile, Cell(5, 5), Cell(5, 5), 1, 0, nullptr);
    EXPECT_EQ(0, object.CanPlace(&ground, nullptr)) << "an untiled cell on the storey below";
    ground.SetRangeTileEx(&tile, Cell(4, 4), Cell(4, 4), 1, 0, nullptr);
    object.Put(above, Cell(10, 10), 2, 2);
    EXPECT_EQ(1, object.CanPlace(nullptr, nullptr));
    auto piece = MakePiece("bench");
    above->PlaceObject(Cell(10, 11), piece.get(), 1, 1, 1);
    EXPECT_EQ(0, object.CanPlace(nullptr, nullptr)) << "a taken cell";
    object.Put(above, Cell(0, 4), 2, 2);
    EXPECT_EQ(0, object.CanPlace(nullptr, nullptr)) << "on the border";
    // An entrance cell must be valid and free too; on the ground storey it needs no floor.
    object.Put(&ground, Cell(8, 8), 2, 2);
    object.AddEntrance({0.0f, 1.0f});
    EXPECT_EQ(1, object.CanPlace(nullptr, nullptr));
    ground.PlaceObject(Cell(8, 7), piece.get(), 1, 1, 1);
    EXPECT_EQ(0, object.CanPlace(nullptr, nullptr));
    ground.ClearArea(Cell(8, 7), 1, 1, 0, nullptr);
    EXPECT_EQ(1, object.CanPlace(nullptr, nullptr));
    ground.SetRangeTile(Cell(8, 7), Cell(8, 7), 1, nullptr);
    EXPECT_EQ(1, object.CanPlace(nullptr, nullptr)) << "an entrance off the floor";
}

// Placing takes the cells (blocked) and the entrance cells (walkable); release gives both back.
TEST_F(BuildingPlaceTest, PlaceAndReleaseCells)
{
    game->m_dayCounter = 12;
    auto object = std::make_unique<Exposed<CPathableObject>>();
    object->Put(&ground, Cell(4, 4), 2, 3);
    object->AddEntrance({0.0f, 1.0f});
    EXPECT_EQ(1, object->Place(nullptr));
    EXPECT_EQ(1, object->IsPlaced());
    EXPECT_EQ(12, object->GetDayStamp());
    EXPECT_EQ(1, ground.IsAreaFilled(Cell(4, 4), 2, 3, 0));
    EXPECT_FALSE(ground.GetBlock(Cell(5, 6))->IsWalkable());
    EXPECT_EQ(object.get(), ground.GetBlock(Cell(4, 3))->m_pOccupant);
    EXPECT_TRUE(ground.GetBlock(Cell(4, 3))->IsWalkable());
    object.reset();
    EXPECT_EQ(1, ground.IsAreaEmpty(Cell(4, 3), 2, 4, 0));
}

// Characters on covered cells are told to leave, unless the piece is a balcony.
std::vector<int> g_removedCells;
std::vector<CFerroxObject*> g_toldRemoved;

TEST_F(BuildingPlaceTest, CharactersLeaveCoveredCells)
{
    g_removedCells.clear();
    g_toldRemoved.clear();
    BuildingHooks hooks = {};
    hooks.removeIfOnFloorCell = [](CFerroxObject*, int cell, CFerroxBlockGrid*) { g_removedCells.push_back(cell); };
    hooks.onObjectRemoved = [](CFerroxObject*, CFerroxObject* object) { g_toldRemoved.push_back(object); };
    SetBuildingHooks(hooks);
    CFerroxObject* shopper = new CFerroxObject();
    manager->AddObject(shopper);
    ObjectClassHooks classes = {};
    classes.isOfKind[OBJECT_LIST_SHOPPERS] = [](CFerroxObject* o) { return dynamic_cast<CBaseObject*>(o) ? 0 : 1; };
    CDynamicObjectManager::SetClassHooks(classes);
    manager->AddToLists(shopper, 0);
    ResetObjectClassHooks();
    ASSERT_EQ(1u, manager->GetShoppers().size());

    auto object = std::make_unique<Exposed<CPathableObject>>();
    object->Put(&ground, Cell(4, 4), 1, 2);
    object->Place(nullptr);
    EXPECT_EQ((std::vector<int>{Cell(4, 4), Cell(4, 5)}), g_removedCells);
    CFerroxObject* placed = object.get();
    object.reset();
    EXPECT_EQ(std::vector<CFerroxObject*>{placed}, g_toldRemoved);

    g_removedCells.clear();
    Exposed<CPathableObject> balcony;
    balcony.SetName("balc_1");
    balcony.Put(&ground, Cell(8, 8), 1, 1);
    balcony.Place(nullptr);
    EXPECT_TRUE(g_removedCells.empty());

    // An object that goes without having been placed is told of all the same.
    g_toldRemoved.clear();
    {
        Exposed<CPathableObject> held;
        held.Put(&ground, Cell(12, 12), 1, 1);
    }
    EXPECT_EQ(1u, g_toldRemoved.size());
}

// The lay test refuses cells over an atrium, a door away from its outside entrances, and walls.
TEST_F(BuildingPlaceTest, LayAndClearTests)
{
    CFerroxBlockMesh* above = AddStorey();
    Exposed<CBaseObject> box;
    box.Put(above, Cell(4, 4), 2, 2);
    EXPECT_EQ(1, box.CanLayFloor(nullptr, nullptr, above, 0)) << "nothing below";
    EXPECT_EQ(1, box.CanLayFloor(&ground, nullptr, above, 0));

    Exposed<CAtriumObject> atrium;
    ground.PlaceObject(Cell(5, 5), &atrium, 1, 1, 1);
    EXPECT_EQ(0, box.CanLayFloor(&ground, nullptr, above, 0));
    ground.ClearArea(Cell(5, 5), 1, 1, 1);

    auto wall = MakePiece("wallS");
    ground.PlaceObject(Cell(4, 4), wall.get(), 1, 1, 1);
    ground.SetRangeTile(Cell(4, 4), Cell(4, 4), 1, nullptr);
    EXPECT_EQ(0, box.CanLayFloor(&ground, nullptr, above, 0)) << "untiled ground cell";
    ground.SetRangeTileEx(&tile, Cell(4, 4), Cell(4, 4), 1, 0, nullptr);
    EXPECT_EQ(1, box.CanLayFloor(&ground, nullptr, above, 0));

    // Clearing over a shop is allowed on its entrance cells only.
    Exposed<CShop> shop;
    shop.Put(&ground, Cell(4, 5), 1, 1);
    shop.AddEntrance({0.0f, 0.0f});
    ground.PlaceObject(Cell(4, 5), &shop, 1, 1, 1);
    EXPECT_EQ(1, box.CanLayFloor(&ground, nullptr, above, 1));
    shop.Put(&ground, Cell(4, 5), 1, 1);
    shop.AddEntrance({0.0f, 0.0f});
    Exposed<CShop> other;
    other.Put(&ground, Cell(10, 10), 1, 1);
    other.AddEntrance({0.0f, 0.0f});
    ground.ClearArea(Cell(4, 5), 1, 1, 1);
    ground.PlaceObject(Cell(4, 5), &other, 1, 1, 1);
    EXPECT_EQ(0, box.CanLayFloor(&ground, nullptr, above, 1));
    EXPECT_EQ(0, box.CanClearFloor(&ground, nullptr, above));
}

typedef BuildingTest BuildingSlotTest;

std::unique_ptr<CFerroxSpline> MakeSpline(const GxV3d& start)
{
    auto spline = std::make_unique<CFerroxSpline>();
    const GxV3d points[4] = {start, {start.x + 1, 0, start.z}, {start.x + 2, 0, start.z}, {start.x + 3, 0, start.z}};
    spline->Create(points, 4, "path");
    return spline;
}

TEST_F(BuildingSlotTest, SlotsFillAndRefuse)
{
    Exposed<CPathableObject> object;
    object.AddUserSlot(MakeSpline({0, 0, 0}));
    object.AddUserSlot(MakeSpline({1, 0, 0}));
    uint16_t index = 7;
    std::unique_ptr<CFerroxSpline> first = object.AcquireSlot(&index);
    EXPECT_EQ(0, index);
    ASSERT_TRUE(first);
    std::unique_ptr<CFerroxSpline> second = object.AcquireSlot(&index);
    EXPECT_EQ(1, index);
    EXPECT_EQ(nullptr, object.AcquireSlot(&index));
    EXPECT_EQ(kNoSlot, index);
    EXPECT_EQ(2, object.GetUsedSlots());
    std::unique_ptr<CFerroxSpline> joined = object.AcquireSlotAt(1);
    EXPECT_TRUE(joined);
    EXPECT_EQ(2, object.GetUsedSlots()) << "a second user of a used slot";
    EXPECT_EQ(nullptr, object.AcquireSlotAt(2));
    EXPECT_EQ(nullptr, object.AcquireSlotAt(-1));
}

// Effects: none without a kind, one at a time, cleared by the worker's job.
int g_effectsMade = 0;
class CountingEffect : public CBuildingEffect {
public:
    CountingEffect() { g_effectsMade++; }
    ~CountingEffect() override { g_effectsMade--; }
    void Update(float) override {}
    void Render() override {}
    void SetBlendModes(int) override {}
};

TEST_F(BuildingSlotTest, EffectsAndWorkers)
{
    g_effectsMade = 0;
    BuildingHooks hooks = {};
    hooks.makeEffect = [](const char*, const GxV3d&) -> std::unique_ptr<CBuildingEffect> {
        return std::make_unique<CountingEffect>();
    };
    SetBuildingHooks(hooks);
    {
        Exposed<CPathableObject> object;
        EXPECT_EQ(0, object.CreateEffects());
        object.SetEffectKind(kEffectFlies);
        EXPECT_EQ(1, object.CreateEffects());
        EXPECT_EQ(0, object.CreateEffects());
        EXPECT_EQ(1, g_effectsMade);
        CFerroxObject worker;
        object.SetWorker(&worker);
        object.Update(kWorkerTime - 1.0f);
        EXPECT_EQ(&worker, object.GetWorker());
        object.Update(1.0f);
        EXPECT_EQ(nullptr, object.GetWorker()) << "the job is free again";
        game->m_dayCounter = 40;
        EXPECT_EQ(1, object.ClearEffects());
        EXPECT_EQ(0, g_effectsMade);
        EXPECT_EQ(40, object.GetDayStamp());
        EXPECT_EQ(0, object.ClearEffects());
        object.CreateEffects();
    }
    EXPECT_EQ(0, g_effectsMade) << "released with the object";
}

TEST_F(BuildingSlotTest, LinesSaveAndLoad)
{
    const std::string path = Path("object.txt");
    Exposed<CShop> shop;
    shop.Put(&ground, Cell(4, 4), 1, 1);
    shop.SetEffectKind(kEffectFire);
    shop.SetDayStamp(77);
    shop.CreateEffects();
    shop.GetRecord().balance = -123;
    shop.GetRecord().chargeAdjust = -50;
    shop.GetRecord().shopNumber = 9;
    CFerroxFile out;
    ASSERT_EQ(0, out.Open(path.c_str(), 0));
    shop.Save(&out);
    ASSERT_EQ(0, out.Close());

    CFerroxFile in;
    ASSERT_EQ(0, in.Open(path.c_str(), 1));
    std::string line;
    EXPECT_EQ("1", in.ReadLine(line)) << "floor id";
    EXPECT_EQ("0", in.ReadLine(line)) << "storeys below";
    for (int i = 0; i < 3; i++)
        in.ReadLine(line);  // model, factory, position
    Exposed<CShop> loaded;
    loaded.SetEffectKind(kEffectFire);
    loaded.Load(&in);
    EXPECT_EQ(77, loaded.GetDayStamp());
    EXPECT_EQ(1, loaded.IsEffectOn());
    EXPECT_EQ(-123, loaded.GetRecord().balance);
    EXPECT_EQ(-50, loaded.GetRecord().chargeAdjust);
    EXPECT_EQ(9, loaded.GetRecord().shopNumber);
    in.Close();
}

// The manager sorts building objects into its lists through the registered class tests.
TEST_F(BuildingSlotTest, RegisteredClassesJoinTheirLists)
{
    RegisterBuildingClasses();
    auto* shop = new CShop();
    auto* door = new CDoorObject();
    auto* stairs = new CStairs();
    auto* usable = new CUsableObject();
    for (CFerroxObject* object : {static_cast<CFerroxObject*>(shop), static_cast<CFerroxObject*>(door),
                                  static_cast<CFerroxObject*>(stairs), static_cast<CFerroxObject*>(usable)}) {
        manager->AddObject(object);
        manager->AddToLists(object, 0);
    }
    CFloorObjects* floor = manager->GetFloorRecord(0);
    EXPECT_EQ(ObjectList{shop}, floor->shops);
    EXPECT_EQ(ObjectList{door}, floor->doors);
    EXPECT_EQ(ObjectList{usable}, floor->usable);
    EXPECT_EQ(0, CDynamicObjectManager::GetClassHooks().getKind(shop));
    EXPECT_EQ(4, CDynamicObjectManager::GetClassHooks().getKind(door));
    EXPECT_EQ(5, CDynamicObjectManager::GetClassHooks().getKind(stairs));
    EXPECT_EQ(BuildingStoreyFilter, CFloorManagerTesting::CellFilter());

    // Factories made after the registration make the classes.
    CDynamicObjectManager::DestroyInstance();
    manager = CDynamicObjectManager::Instance();
    TestTemplate stairsTemplate("stairs_a", {"2", "4", "250"});
    FerroxObjectDescriptor descriptor = stairsTemplate.Descriptor(&ground);
    CFerroxObject* made = manager->CreateObject(manager->FindFactory("stairsObject", nullptr), &descriptor);
    ASSERT_NE(nullptr, dynamic_cast<CStairs*>(made));
    EXPECT_EQ(250, static_cast<CStairs*>(made)->GetValue());
    std::unique_ptr<CFerroxObject> shop2(manager->FindFactory(kShopFactoryName, nullptr)->CreateObject(&descriptor));
    EXPECT_NE(nullptr, dynamic_cast<CShop*>(shop2.get()));
    shop2.reset();

    CDynamicObjectManager::DestroyInstance();
    ResetObjectClassHooks();
    CFloorManager::SetCellFilter(nullptr);
    for (const char* name : {kScalableObjectFactoryName, kShopFactoryName, kDoorObjectFactoryName,
                             kStairsObjectFactoryName, kSceneryObjectFactoryName, kUsableObjectFactoryName,
                             kBaseObjectFactoryName, kPathableObjectFactoryName, kAtriumObjectFactoryName})
        SetObjectFactoryMaker(name, nullptr);
}

// A new storey carries a cell above stairs, a shop and a door's outside entrances, never above an atrium.
TEST_F(BuildingSlotTest, StoreyFilterTestsClasses)
{
    CAtriumObject atrium;
    CStairs stairs;
    Exposed<CDoorObject> door;
    door.Put(&ground, Cell(5, 5), 2, 1, 4, 2);
    door.BuildEntrances();
    const int outside = door.GetExtraEntranceCell(0);
    EXPECT_EQ(0, BuildingStoreyFilter(&atrium, Cell(5, 5), 0));
    EXPECT_EQ(1, BuildingStoreyFilter(&stairs, Cell(5, 5), 1));
    // A door carries the floor above over its outside entrances only, laid below or not; not over its inside
    // entrances or itself.
    const int inside = door.GetEntranceCell(0);
    EXPECT_EQ(0, BuildingStoreyFilter(&door, inside, 0));
    EXPECT_EQ(1, BuildingStoreyFilter(&door, outside, 0));
    EXPECT_EQ(1, BuildingStoreyFilter(&door, outside, 1));
    EXPECT_EQ(0, BuildingStoreyFilter(&door, Cell(5, 5), 0));
    EXPECT_EQ(0, BuildingStoreyFilter(&door, Cell(5, 5), 1));
    CShop shop;
    EXPECT_EQ(1, BuildingStoreyFilter(&shop, Cell(1, 1), 1)) << "a shop on bare ground";
    CFerroxObject plain;
    EXPECT_EQ(1, BuildingStoreyFilter(&plain, Cell(1, 1), 0));
    EXPECT_EQ(0, BuildingStoreyFilter(&plain, Cell(1, 1), 1));
}

}  // namespace

namespace {

// Models with dummies: set-up finds the entrances by the class's rules and hides the dummies.
class BuildingModelTest : public FerroxObjectTest {
protected:
    void TearDown() override
    {
        models.clear();
        set.reset();
        FerroxObjectTest::TearDown();
    }
    // A 4 x 4 model with a body and the tagged dummies at the positions; null on failure.
    CFerroxComposite* Model(const std::vector<std::pair<const char*, GxV3d>>& dummies)
    {
        std::vector<const char*> tags = {"body"};
        for (const auto& dummy : dummies)
            tags.push_back(dummy.first);
        GxClump* clump = FerroxTaggedClump(tags, 0.25f);
        if (!clump)
            return nullptr;
        GxFrame* root = static_cast<GxFrame*>(clump->object.parent);
        for (GxFrame* child = root->child; child; child = child->next) {
            GxUserDataArray* array = GxFrameGetUserDataArray(child, 0);
            const char* tag = array ? GxUserDataArrayGetString(array, 0) : nullptr;
            for (const auto& dummy : dummies)
                if (tag && std::string(tag) == dummy.first)
                    GxFrameTranslate(child, &dummy.second, 0);
        }
        models.emplace_back(FerroxModelFromClump("building", clump));
        GxClumpDestroy(clump);
        return models.back().get();
    }
    template <typename T>
    void SetUpObject(T* object, CFerroxComposite* model)
    {
        record = {1, model};
        set.reset(new CFerroxAssetSet());
        set->AddModel(&record);
        set->AppendList({"4", "4"}, 0);
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = set.get();
        object->Setup(&descriptor);
    }
    static int HiddenCount(CFerroxComposite* model)
    {
        int hidden = 0;
        GxClumpForAllAtomics(
            model->GetClump(),
            [](GxAtomic* atomic, void* data) -> GxAtomic* {
                if (!(atomic->object.object.flags & 0x04))
                    (*static_cast<int*>(data))++;
                return atomic;
            },
            &hidden);
        return hidden;
    }
    std::vector<std::unique_ptr<CFerroxComposite>> models;
    FerroxModelRecord record = {};
    std::unique_ptr<CFerroxAssetSet> set;
};

bool Has(const std::vector<EntrancePoint>& points, float x, float z)
{
    for (const EntrancePoint& p : points)
        if (p.x == x && p.z == z)
            return true;
    return false;
}

TEST_F(BuildingModelTest, DummiesBecomeEntrancesByClass)
{
    const GxV3d in = {1, 0, 2};
    const GxV3d out = {-1, 0, -2};
    CFerroxComposite* plain = Model({{"door_a", in}, {"free_1", out}});
    ASSERT_NE(nullptr, plain);
    {
        CPathableObject object;
        SetUpObject(&object, plain);
        ASSERT_EQ(1u, object.GetEntrances().size());
        EXPECT_TRUE(Has(object.GetEntrances(), 1.0f, 0.0f));
        EXPECT_EQ(1, HiddenCount(plain));
    }
    CFerroxComposite* open = Model({{"door_a", in}, {"free_1", out}});
    ASSERT_NE(nullptr, open);
    {
        CAtriumObject atrium;
        SetUpObject(&atrium, open);
        EXPECT_EQ(1u, atrium.GetEntrances().size());
        ASSERT_EQ(1u, atrium.GetFreePoints().size());
        EXPECT_FLOAT_EQ(0.0f, atrium.GetFreePoints()[0].x);
        EXPECT_FLOAT_EQ(-1.0f, atrium.GetFreePoints()[0].z);
        EXPECT_EQ(2, HiddenCount(open));
    }
    CFerroxComposite* flight = Model({{"door_up", in}, {"door_down", out}});
    ASSERT_NE(nullptr, flight);
    {
        Exposed<CStairs> stairs;
        SetUpObject(&stairs, flight);
        ASSERT_EQ(1u, stairs.GetEntrances().size()) << "the down dummy is not a lower entrance";
        EXPECT_TRUE(Has(stairs.GetEntrances(), 1.0f, 0.0f));
        EXPECT_EQ(kNoCell, stairs.GetUpperEntranceCell(0)) << "no floor yet";
        CFerroxBlockGrid grid;
        ASSERT_EQ(1, grid.Create(kTestSide, kTestSide, GxV3d{0, 0, 0}, 1, 1));
        stairs.Put(&grid, 5 * kTestSide + 5, 4, 4, 4, 4);
        EXPECT_EQ(5 * kTestSide + 6, stairs.GetUpperEntranceCell(0)) << "the down dummy at (0, -1)";
        EXPECT_EQ(kNoCell, stairs.GetUpperEntranceCell(1));
        EXPECT_EQ(2, HiddenCount(flight));
    }
}

}  // namespace
