// Saved objects: a mall with every building class, an effect showing and stairs between the upper storeys
// goes through "<MAP>" and "<OBJECTS>" into a fresh level and saves again byte for byte; a broken record in
// the middle costs only itself.
#include "game/buildings/objectsreader.h"

#include "game/buildings/facility.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/statistics.h"

namespace {

class SavedObjects : public PlacementTest {
protected:
    // The mall: tiles on the ground, three storeys, a shop, a door, scenery, a facility with its effect
    // showing, an atrium, and stairs from storey 1 to storey 2.
    void BuildMall()
    {
        ASSERT_EQ(0, Lay(Cell(5, 5), Cell(24, 24)));
        BuildStoreys(3);
        ASSERT_EQ(3, floors->GetBuiltFloors());
        ASSERT_EQ(0, PlaceAt("SHOP_FASHION", kShopFactoryName, Ground(), Cell(9, 9)));
        ASSERT_EQ(0, PlaceAt("SHOP_FASHION", kShopFactoryName, Ground(), Cell(9, 16)));
        ASSERT_EQ(0, PlaceAt("DOORS", kDoorObjectFactoryName, Ground(), Cell(12, 25)));
        ASSERT_EQ(0, PlaceAt("SCEN_PLANTS", kSceneryObjectFactoryName, Ground(), Cell(18, 8)));
        ASSERT_EQ(0, PlaceAt("FAC_PHONE", kUsableObjectFactoryName, Ground(), Cell(18, 12)));
        ASSERT_EQ(0, PlaceAt("ATRIUM", kAtriumObjectFactoryName, Ground(), Cell(16, 20)));
        CFerroxBlockMesh* first = Ground()->GetUpper();
        ASSERT_EQ(0, floors->GoToFloor(1, nullptr));
        ASSERT_EQ(0, PlaceAt("STAIRS", kStairsObjectFactoryName, first, Cell(10, 10)));
        ASSERT_EQ(0, floors->GoToFloor(0, nullptr));
        CPathableObject* phone = dynamic_cast<CPathableObject*>(manager->GetFloorRecord(0)->usable.front());
        ASSERT_NE(nullptr, phone);
        phone->CreateEffects();
        ASSERT_EQ(1, phone->IsEffectOn());
    }
    std::string Save(const std::string& name)
    {
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(Path(name).c_str(), 0));
        floors->Save(&file);
        controller->SaveObjects(&file, nullptr);
        EXPECT_EQ(0, file.HasWriteFailed());
        EXPECT_EQ(0, file.Close());
        return ReadAll(Path(name));
    }
    // Everything goes; a level as the game starts it takes its place.
    void FreshLevel()
    {
        controller.reset();
        manager->Reset();
        MakeFloors();
    }
    // The records left out.
    int Load(const std::string& name, const std::string& text)
    {
        {
            std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
            out << text;
        }
        CFerroxTagFile file;
        EXPECT_EQ(0, file.Open(Path(name).c_str(), 1));
        floors->Load(&file);
        EXPECT_EQ(1, controller->LoadObjects(&file, nullptr));
        const int dropped = controller->GetObjectsLeftOut();
        manager->GetStatistics()->Load(&file);
        file.Close();
        return dropped;
    }
    size_t BuildingCount()
    {
        size_t count = 0;
        for (const std::unique_ptr<CFloorObjects>& record : manager->GetFloors())
            count += record->shops.size() + record->doors.size() + record->scenery.size() + record->usable.size();
        // Stairs stand in two records.
        for (const std::unique_ptr<CFloorObjects>& record : manager->GetFloors())
            count += record->stairs.size();
        return count;
    }
};

TEST_F(SavedObjects, MallRoundTripsThroughAFreshLevel)
{
    BuildMall();
    if (HasFatalFailure())
        return;
    const size_t buildings = BuildingCount();
    const size_t pieces = controller->GetPieces().size();
    const std::string first = Save("first.fds");
    EXPECT_EQ(pieces, controller->GetPieces().size()) << "the walls are back after the save";
    EXPECT_EQ(std::string::npos, first.find("aux/")) << "no wall piece reaches the file";
    FreshLevel();
    EXPECT_EQ(0, Load("load.fds", first));
    EXPECT_EQ(3, floors->GetBuiltFloors());
    EXPECT_EQ(buildings, BuildingCount());
    EXPECT_EQ(pieces, controller->GetPieces().size());
    ASSERT_EQ(1u, manager->GetFloorRecord(1)->stairs.size());
    EXPECT_EQ(manager->GetFloorRecord(1)->stairs.front(), manager->GetFloorRecord(2)->stairs.front());
    const std::string second = Save("second.fds");
    EXPECT_EQ(first, second);
}

TEST_F(SavedObjects, ABrokenRecordCostsOnlyItself)
{
    BuildMall();
    if (HasFatalFailure())
        return;
    const size_t buildings = BuildingCount();
    int32_t highest = 0;
    for (CFerroxObject* object : manager->GetFloorRecord(0)->shops)
        highest = std::max<int32_t>(highest, dynamic_cast<CShop*>(object)->GetRecord().shopNumber);
    const std::string saved = Save("saved.fds");
    // The second shop's record names a factory nobody has: the shop and only the shop is lost, and its own
    // lines are not read as records.
    const std::string factoryLine = std::string(kShopFactoryName) + "\r\n";
    const size_t firstShop = saved.find(factoryLine);
    const size_t secondShop = saved.find(factoryLine, firstShop + 1);
    ASSERT_NE(std::string::npos, secondShop);
    std::string broken = saved;
    broken.replace(secondShop, factoryLine.size(), "noSuchFactory\r\n");
    // The door names a model no template has; the plant stands far off the grid.
    const size_t doorFactory = broken.find(std::string(kDoorObjectFactoryName) + "\r\n");
    ASSERT_NE(std::string::npos, doorFactory);
    const size_t doorModel = broken.rfind("\r\n", doorFactory - 3) + 2;
    broken.replace(doorModel, doorFactory - doorModel, "./models/nosuch.gxs\r\n");
    const std::string sceneryLine = std::string(kSceneryObjectFactoryName) + "\r\n";
    const size_t position = broken.find(sceneryLine) + sceneryLine.size();
    broken.replace(position, broken.find("\r\n", position) - position, "900.000,0.000,-900.000,0.000");

    FreshLevel();
    g_shopCounter = 0;
    // The shop and the door follow each other: their lines are one run of lines that begin no record.
    EXPECT_EQ(2, Load("broken.fds", broken));
    EXPECT_EQ(buildings - 3, BuildingCount());
    ASSERT_EQ(1u, manager->GetFloorRecord(0)->shops.size());
    EXPECT_EQ(0u, manager->GetFloorRecord(0)->doors.size());
    EXPECT_EQ(0u, manager->GetFloorRecord(0)->scenery.size());
    EXPECT_EQ(2u, manager->GetFloorRecord(0)->usable.size()) << "the facility and the atrium";
    EXPECT_EQ(1u, manager->GetFloorRecord(1)->stairs.size());
    EXPECT_GE(g_shopCounter, dynamic_cast<CShop*>(manager->GetFloorRecord(0)->shops.front())->GetRecord().shopNumber)
        << "the counter stands at the highest shop number loaded";

    // A storey past the top and a position off the grid drop their records too.
    FreshLevel();
    g_shopCounter = 0;
    std::string offGrid = saved;
    const size_t storeyLine = offGrid.find("\r\n0\r\n", offGrid.find("<OBJECTS>"));
    ASSERT_NE(std::string::npos, storeyLine);
    offGrid.replace(storeyLine, 5, "\r\n9\r\n");
    EXPECT_EQ(1, Load("offgrid.fds", offGrid));
    EXPECT_EQ(buildings - 1, BuildingCount());

    FreshLevel();
    g_shopCounter = 0;
    EXPECT_EQ(0, Load("full.fds", saved));
    EXPECT_EQ(highest, g_shopCounter) << "raised to the highest number, not counted up by the loads";

    // Copies of a shop's record stand on the cells the first took: each is dropped, and the mall saves as it was.
    FreshLevel();
    // A record starts with its floor id and storey, the two lines before its model line.
    auto recordStart = [&saved](size_t factory) {
        size_t start = factory;
        for (int line = 0; line < 3; ++line)
            start = saved.rfind("\r\n", start - 3) + 2;
        return start;
    };
    const size_t start = recordStart(firstShop);
    const std::string firstRecord = saved.substr(start, recordStart(secondShop) - start);
    std::string crowded = saved;
    crowded.insert(recordStart(secondShop), firstRecord + firstRecord);
    EXPECT_EQ(2, Load("crowded.fds", crowded));
    EXPECT_EQ(buildings, BuildingCount());
    EXPECT_EQ(saved, Save("again.fds"));
}

// A position that is no finite number, or a height no storey has, drops the record: the door is neither put at the
// grid's corner nor left floating, and the load counts it among those left out.
TEST_F(SavedObjects, APositionThatDoesNotReadOrFloatsDropsItsRecord)
{
    BuildMall();
    if (HasFatalFailure())
        return;
    const size_t buildings = BuildingCount();
    const std::string saved = Save("saved.fds");
    const std::string doorLine = std::string(kDoorObjectFactoryName) + "\r\n";
    const size_t position = saved.find(doorLine) + doorLine.size();
    const size_t end = saved.find("\r\n", position);
    const std::string line = saved.substr(position, end - position);
    const size_t firstComma = line.find(','), secondComma = line.find(',', firstComma + 1);
    const std::string x = line.substr(0, firstComma);
    const std::string zYaw = line.substr(secondComma + 1);
    for (const std::string& bad : {"nan," + line.substr(firstComma + 1), x + ",inf," + zYaw,
                                   x + ",0.00000,3e38,0.00000", x + ",40.0000," + zYaw, x + ",2.00000," + zYaw}) {
        std::string broken = saved;
        broken.replace(position, end - position, bad);
        FreshLevel();
        EXPECT_EQ(1, Load("position.fds", broken)) << bad;
        EXPECT_EQ(buildings - 1, BuildingCount()) << bad;
        EXPECT_EQ(0u, manager->GetFloorRecord(0)->doors.size()) << bad;
    }
    FreshLevel();
    EXPECT_EQ(0, Load("whole.fds", saved));
    EXPECT_EQ(1u, manager->GetFloorRecord(0)->doors.size());
}

}  // namespace
