// The game's world: map placeholders make base floors (case-sensitive, only grids that can be made), connectors
// are kept with their source floor or dropped with their path, spawn splines become the spawner's spawn points.
#include "game/world/world.h"

#include "engine/testsupport/objects.h"
#include "engine/world/spline.h"
#include "game/figures/spawner.h"
#include "game/world/floors.h"

namespace {

using CTestWorld = FerroxStandInWorld<CWorld>;

class GameWorld : public FerroxObjectTest {
protected:
    // The objects group holds one placeholder per tag, the n-th (from 1) at (n, 0, -3); then the splines.
    std::string WriteLevel(const std::vector<const char*>& tags, const std::vector<const char*>& splines)
    {
        GxClump* clump = FerroxTaggedClump(tags, 0.25f);
        if (!clump)
            return "";
        FerroxLineUpTags(clump, tags);
        FerroxBytes level;
        FerroxAppend(level, FerroxGroupStart("objects"));
        FerroxAppend(level, FerroxClumpChunk(clump));
        FerroxAppend(level, FerroxGroupEnd());
        GxClumpDestroy(clump);
        for (const char* name : splines) {
            FerroxAppend(level, FerroxGroupStart(name));
            FerroxAppend(level, FerroxSplineChunk(name, 5));
            FerroxAppend(level, FerroxGroupEnd());
        }
        WriteBytes(Path("level.gxs"), level);
        return Path("level.gxs");
    }
};

TEST_F(GameWorld, MapPlaceholdersMakeTheBaseFloorsWhoseGridsCanBeMade)
{
    const std::string level = WriteLevel({"map_1_8_8_2", "Map_3_8_8_2", "map_2_6_6_4", "map_4_40_40_0"}, {});
    CFloorManager floors;
    floors.Create(nullptr);
    CSpawner spawner;
    CTestWorld world;
    ASSERT_EQ(world.Setup(level.c_str(), nullptr), 1);
    // "Map" is not "map"; a cell size of 0 makes no grid.
    ASSERT_EQ(floors.GetBaseFloorCount(), 2);
    ASSERT_EQ(floors.GetBaseFloors().size(), 2u);
    CFerroxBlockMesh* first = floors.FindBaseFloor(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetRows(), 8);
    EXPECT_EQ(first->GetCellSize(), 2);
    // The grid's corner lies half a cell (in whole units) off the placeholder, which stood at (1, 0, -3).
    EXPECT_FLOAT_EQ(first->GetOrigin().x, 0.0f);
    EXPECT_FLOAT_EQ(first->GetOrigin().z, -2.0f);
    CFerroxBlockMesh* second = floors.FindBaseFloor(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetColumns(), 6);
    EXPECT_FLOAT_EQ(second->GetOrigin().x, 1.0f);
    EXPECT_EQ(floors.FindBaseFloor(3), nullptr);
    EXPECT_EQ(floors.FindBaseFloor(4), nullptr);

    EXPECT_EQ(world.ProcessPlaceholder("anything", 3, nullptr), 1);
    EXPECT_EQ(world.ProcessPlaceholder("Map_1_8_8_2", kFloorsMode, nullptr), 1);
}

TEST_F(GameWorld, ConnectorsStayWithTheirSourceFloorOrAreDroppedWithTheirPath)
{
    const std::string level = WriteLevel(
        {"map_1_8_8_2", "map_2_8_8_2", "connector_1_2_escalator", "connector_2_1_lift", "connector_7_1_ramp"},
        {"connector_1_2_escalator", "connector_7_1_ramp", "camera"});
    CFloorManager floors;
    floors.Create(nullptr);
    CSpawner spawner;
    CTestWorld world;
    ASSERT_EQ(world.Setup(level.c_str(), nullptr), 1);
    CFerroxBlockMesh* first = floors.FindBaseFloor(1);
    CFerroxBlockMesh* second = floors.FindBaseFloor(2);
    const std::vector<std::unique_ptr<CConnector>>* fromFirst = floors.GetConnectors(first);
    ASSERT_NE(fromFirst, nullptr);
    ASSERT_EQ(fromFirst->size(), 1u);
    const CConnector* escalator = fromFirst->front().get();
    EXPECT_EQ(escalator->target, second);
    EXPECT_FLOAT_EQ(escalator->position.x, 3.0f);
    ASSERT_NE(escalator->spline, nullptr);
    EXPECT_EQ(escalator->spline->GetPointCount(), 5);
    EXPECT_STREQ(escalator->spline->GetName(), "connector_1_2_escalator");
    // The lift has no path; the ramp leaves a floor there is not (its path copy is freed with it).
    EXPECT_EQ(floors.GetConnectors(second), nullptr);
    floors.Clear();
    EXPECT_EQ(floors.GetConnectors(first), nullptr);
    EXPECT_EQ(floors.GetBaseFloorCount(), 0);
}

TEST_F(GameWorld, SpawnSplinesBecomeSpawnPointsOnTheirFloor)
{
    const std::string level = WriteLevel({"map_1_8_8_2", "map_2_8_8_2"}, {"spawn_2_entrance", "spawn_1_north",
                                                                          "connector_spawn_3", "spawn_9_x", "camera"});
    CFloorManager floors;
    floors.Create(nullptr);
    CSpawner spawner;
    CTestWorld world;
    ASSERT_EQ(world.Setup(level.c_str(), nullptr), 1);
    const std::vector<std::unique_ptr<CSpawnPoint>>& points = spawner.GetSpawnPoints();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0]->name, "spawn_2_entrance");
    EXPECT_EQ(points[0]->floor, floors.FindBaseFloor(2));
    EXPECT_EQ(points[1]->floor, floors.FindBaseFloor(1));
    EXPECT_EQ(points[2]->floor, nullptr);
    ASSERT_NE(points[0]->spline, nullptr);
    EXPECT_EQ(points[0]->spline->GetPointCount(), 5);
    // The level's own splines are gone; the records kept copies.
    EXPECT_TRUE(world.GetSplines().empty());

    EXPECT_EQ(spawner.PickSpawnPoint(1), nullptr);
    for (int i = 0; i < 8; i++) {
        CSpawnPoint* picked = spawner.PickSpawnPoint(0);
        EXPECT_NE(
            std::find_if(points.begin(), points.end(), [picked](const auto& point) { return point.get() == picked; }),
            points.end());
    }
    spawner.Release();
    EXPECT_TRUE(spawner.GetSpawnPoints().empty());
    EXPECT_EQ(spawner.PickSpawnPoint(0), nullptr);
    EXPECT_FLOAT_EQ(spawner.GetCountdown(), kSpawnWaveSeconds);
}

TEST_F(GameWorld, ReleaseKeepsTheLevelAndASecondSetUpReplacesIt)
{
    const std::string level = WriteLevel({"map_1_8_8_2"}, {"spawn_1_entrance"});
    CFloorManager floors;
    floors.Create(nullptr);
    CSpawner spawner;
    CTestWorld world;
    ASSERT_EQ(world.Setup(level.c_str(), nullptr), 1);
    GxWorld* first = world.GetGraphicsWorld();
    ASSERT_NE(first, nullptr);
    world.Init();
    world.Release();
    EXPECT_EQ(world.GetGraphicsWorld(), first);
    EXPECT_EQ(world.Setup(level.c_str(), nullptr), 1);
    EXPECT_NE(world.GetGraphicsWorld(), nullptr);
    EXPECT_EQ(spawner.GetSpawnPoints().size(), 2u);
}

TEST(PlaceholderFields, ReadLikeAStreamAndRefuseWhatDoesNotParse)
{
    std::vector<int> f;
    ASSERT_TRUE(ReadPlaceholderFields("map_1_ 40_40x_0", 4, &f));
    EXPECT_EQ(f, (std::vector<int>{1, 40, 40, 0}));
    EXPECT_FALSE(ReadPlaceholderFields("map_1_40", 4, &f));
    EXPECT_FALSE(ReadPlaceholderFields("map_a_40_40_2", 4, &f));
    EXPECT_FALSE(ReadPlaceholderFields("map", 1, &f));
}

}  // namespace
