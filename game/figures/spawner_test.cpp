// The spawner's waves (odds by rating, the shopper limit, category and template picks, the wave timer) and
// the staff placement (following the picked cell, hiring, moving, dropping).
#include "game/figures/spawner.h"

#include <map>
#include <utility>

#include "engine/data/random.h"
#include "game/figures/aichar_test_local.h"
#include "game/figures/shopper.h"
#include "game/figures/spawner_testing.h"
#include "game/figures/staff.h"
#include "game/world/floors.h"

namespace {

constexpr int kWaves = 10000;
constexpr double kOddsTolerance = 0.02;

// Records what the waves would bring instead of making characters.
class CountingSpawner : public CSpawner {
public:
    CShopper* SpawnShopper(const char* name, int16_t index, uint16_t floorId) override
    {
        shoppers[{name, index}]++;
        shopperCount++;
        EXPECT_EQ(kSpawnFloorId, floorId);
        return nullptr;
    }
    CCriminal* SpawnCriminal() override
    {
        criminalCount++;
        return nullptr;
    }
    std::map<std::pair<std::string, int16_t>, int> shoppers;
    int shopperCount = 0;
    int criminalCount = 0;
};

class SpawnerTest : public AICharacterTest {
protected:
    void SetUp() override
    {
        AICharacterTest::SetUp();
        if (HasFatalFailure())
            return;
        // The staff factories are made with the manager: it is made again after they are registered.
        CDynamicObjectManager::DestroyInstance();
        RegisterStaffClasses();
        manager = CDynamicObjectManager::Instance();
        stats = manager->GetStatistics();
        stats->m_categories.assign(kGameTestCategories, 0);
        ResetSpawnerHooks();
    }
    void TearDown() override
    {
        ResetSpawnerHooks();
        AICharacterTest::TearDown();
    }
    // Categories of empty plans, in file order.
    void LoadCategories(const std::vector<std::pair<std::string, int>>& categories)
    {
        std::string text = "<TEMPLATES>\n";
        for (const auto& category : categories) {
            text += "<" + category.first + ">\n<plans>\n";
            for (int i = 0; i < category.second; i++)
                text += "<plan>\n</plan>\n";
            text += "</plans>\n</" + category.first + ">\n";
        }
        text += "</TEMPLATES>\n";
        CFerroxTagTree data;
        ASSERT_EQ(1, data.LoadFromMemory(text.data(), text.size()));
        manager->LoadObjectData(&data);
    }
    void Mall(int16_t rating, uint16_t shoppersPresent = 1)
    {
        stats->m_shopSizeSum = kShopperLimit;
        stats->m_shoppersPresent = shoppersPresent;
        stats->m_criminalsPresent = 0;
        stats->m_rating = rating;
    }
    static void ExpectOdds(double expected, int count, const char* what)
    {
        EXPECT_NEAR(expected, static_cast<double>(count) / kWaves, kOddsTolerance) << what;
    }
};

}  // namespace

// Shoppers come with probability (rating + 1000) / 1750 (certain from 750), criminals in one wave in five with
// (1000 - rating) / 2001; a category is picked by weight, then one of its templates evenly.
TEST_F(SpawnerTest, WaveOddsFollowTheRating)
{
    LoadCategories({{"SHOPPER_ADULT", 3}, {"CRIMINAL", 2}, {"SHOPPER_YOUTH", 5}});
    for (int16_t rating : {-1000, 0, 1000}) {
        CountingSpawner spawner;
        spawner.LoadSettings(nullptr, nullptr);
        ASSERT_EQ(2u, spawner.GetShopperCategories().size());
        EXPECT_EQ(2, spawner.GetTotalWeight());
        Mall(rating);
        for (int wave = 0; wave < kWaves; wave++)
            spawner.SpawnWave();
        const double shopperOdds = std::min(1.0, (rating + 1000) / 1750.0);
        ExpectOdds(shopperOdds, spawner.shopperCount, "shoppers");
        ExpectOdds((1000 - rating) / 2001.0 / 5.0, spawner.criminalCount, "criminals");
        if (rating != 1000)
            continue;
        EXPECT_EQ(kWaves, spawner.shopperCount);
        for (const auto& entry : spawner.shoppers) {
            const int templates = entry.first.first == "SHOPPER_ADULT" ? 3 : 5;
            ASSERT_LT(entry.first.second, templates) << entry.first.first;
            ExpectOdds(0.5 / templates, entry.second, entry.first.first.c_str());
        }
        EXPECT_EQ(8u, spawner.shoppers.size());
    }
}

// No capacity, a full mall, no shoppers to outnumber criminals: nobody comes.
TEST_F(SpawnerTest, LimitsStopTheWaves)
{
    LoadCategories({{"SHOPPER_ADULT", 3}});
    CountingSpawner spawner;
    spawner.LoadSettings(nullptr, nullptr);
    Mall(1000);
    stats->m_shopSizeSum = 0;
    for (int wave = 0; wave < 1000; wave++)
        spawner.SpawnWave();
    Mall(-1000, 0);
    for (int wave = 0; wave < 1000; wave++)
        spawner.SpawnWave();
    Mall(1000, kShopperLimit);
    stats->m_shopSizeSum = 400;
    for (int wave = 0; wave < 1000; wave++)
        spawner.SpawnWave();
    EXPECT_EQ(0, spawner.shopperCount);
    EXPECT_EQ(0, spawner.criminalCount);
}

// Without shopper categories, or with an empty one, a wave brings no shopper and divides by nothing.
TEST_F(SpawnerTest, NoShopperTemplatesNoShopper)
{
    for (bool empty : {false, true}) {
        if (empty)
            LoadCategories({{"SHOPPER_EMPTY", 0}});
        CountingSpawner spawner;
        spawner.LoadSettings(nullptr, nullptr);
        EXPECT_EQ(empty ? 1 : 0, spawner.GetTotalWeight());
        Mall(1000);
        for (int wave = 0; wave < 100; wave++)
            spawner.SpawnWave();
        EXPECT_EQ(0, spawner.shopperCount);
    }
}

// A long frame runs one wave and the countdown starts again at 15 s.
TEST_F(SpawnerTest, OneWavePerCountdown)
{
    LoadCategories({{"SHOPPER_ADULT", 1}});
    CountingSpawner spawner;
    spawner.LoadSettings(nullptr, nullptr);
    Mall(1000);
    spawner.Update(14.0f);
    EXPECT_EQ(0, spawner.shopperCount);
    spawner.Update(40.0f);
    EXPECT_EQ(1, spawner.shopperCount);
    EXPECT_FLOAT_EQ(kSpawnWaveSeconds, spawner.GetCountdown());
}

// Without spawn points nothing is made, even with factory, template and floor at hand; with one the shopper
// starts at the spawn path's last point.
TEST_F(SpawnerTest, ShoppersNeedSpawnPoints)
{
    LoadCategories({{"SHOPPER_ADULT", 1}, {"CRIMINAL", 2}});
    CFloorManager floors;
    floors.AddBaseFloor(kAITestSide, kAITestSide, {0.0f, 0.0f, 0.0f}, 1, kSpawnFloorId);
    CSpawner spawner;
    spawner.LoadSettings(&floors, nullptr);
    const size_t before = manager->GetObjects().size();
    EXPECT_EQ(nullptr, spawner.SpawnShopper("SHOPPER_ADULT", 0, kSpawnFloorId));
    EXPECT_EQ(nullptr, spawner.SpawnCriminal());
    EXPECT_EQ(before, manager->GetObjects().size());
    EXPECT_TRUE(notices.messages.empty());

    CFerroxBlockMesh* floor = floors.FindBaseFloor(kSpawnFloorId);
    ASSERT_NE(nullptr, floor);
    spawner.AddSpawnPoint(std::make_unique<CSpawnPoint>("spawn_1_a", floor, SlotPath(Cell(5, 5), "spawn")));
    EXPECT_EQ(nullptr, spawner.SpawnShopper("SHOPPER_ADULT", 3, kSpawnFloorId)) << "no such template";
    EXPECT_EQ(nullptr, spawner.SpawnShopper("SHOPPER_ADULT", 0, 7)) << "no such floor";
    CShopper* shopper = spawner.SpawnShopper("SHOPPER_ADULT", 0, kSpawnFloorId);
    ASSERT_NE(nullptr, shopper);
    const GxV3d* points = spawner.GetSpawnPoints()[0]->spline->GetPoints();
    EXPECT_EQ(floor, shopper->m_pGrid);
    EXPECT_EQ(floor->GetCellAt(points[3]), shopper->m_currentCell);
    ASSERT_NE(nullptr, spawner.SpawnCriminal());
    EXPECT_EQ(std::vector<int16_t>{kMessageCriminal}, notices.messages);
    ASSERT_EQ(1u, notices.samples.size());
    EXPECT_EQ(kCriminalSample, notices.samples[0].first);
}

// The spawn point is the one at rand() % count, laid floor over its path's end or not.
TEST_F(SpawnerTest, SpawnPointsArePickedAtRandomWhateverLiesOverThem)
{
    LoadCategories({{"SHOPPER_ADULT", 1}});
    CFloorManager floors;
    floors.AddBaseFloor(kAITestSide, kAITestSide, {0.0f, 0.0f, 0.0f}, 1, kSpawnFloorId);
    CSpawner spawner;
    spawner.LoadSettings(&floors, nullptr);
    CFerroxBlockMesh* floor = floors.FindBaseFloor(kSpawnFloorId);
    ASSERT_NE(nullptr, floor);
    spawner.AddSpawnPoint(std::make_unique<CSpawnPoint>("spawn_1_a", floor, SlotPath(Cell(5, 5), "spawn")));
    spawner.AddSpawnPoint(std::make_unique<CSpawnPoint>("spawn_1_b", floor, SlotPath(Cell(10, 10), "spawn")));
    const auto& points = spawner.GetSpawnPoints();
    const int end = floor->GetCellAt(points[0]->spline->GetPoints()[3]);
    ASSERT_EQ(0, floor->SetRangeTileEx(&tile, end, end, 1, 0, nullptr));
    for (uint32_t seed = 1; seed <= 8; seed++) {
        FerroxSrand(seed);
        const size_t expected = static_cast<size_t>(FerroxRand()) % points.size();
        FerroxSrand(seed);
        EXPECT_EQ(points[expected].get(), spawner.PickSpawnPoint(0));
    }
    EXPECT_EQ(nullptr, spawner.PickSpawnPoint(1)) << "a non-zero flag gives none";
}

namespace {

class StaffPlacementTest : public SpawnerTest {
protected:
    void SetUp() override
    {
        SpawnerTest::SetUp();
        if (HasFatalFailure())
            return;
        LoadCategories({{"AUX", 1}});
        floors.AddBaseFloor(kAITestSide, kAITestSide, {0.0f, 0.0f, 0.0f}, 1, kSpawnFloorId);
        floor = floors.FindBaseFloor(kSpawnFloorId);
        ASSERT_NE(nullptr, floor);
        spawner.LoadSettings(&floors, nullptr);
        // A template with a model: the one a test cleaner was made from.
        model = Make<CCleaner>(Cell(1, 1), {}, {"0", "0", "150", "8.0"});
        factory = manager->FindFactory("cleaner", nullptr);
        ASSERT_NE(nullptr, factory);
    }
    // Points the mouse at the middle of the cell of the base floor.
    void Pick(int cell)
    {
        GxV3d at = {};
        ASSERT_NE(nullptr, floor->GetCellPosition(cell, &at, 1));
        at.x += 0.5f;
        at.z -= 0.5f;
        floors.UpdatePick(at);
        ASSERT_EQ(cell, floors.GetPickedCell());
    }
    size_t Cleaners() const { return manager->GetCleaners().size(); }

    CFloorManager floors;
    CFerroxBlockMesh* floor = nullptr;
    CSpawner spawner;
    CCleaner* model = nullptr;
    CFerroxObjectFactory* factory = nullptr;
};

}  // namespace

// A new hire and its box follow the picked cell; off the grid they stay, and neither there nor on the border ring
// is it placed; a click on a valid cell hires it there with its template's values, and the box goes.
TEST_F(StaffPlacementTest, HireFollowsThePointerUntilPlaced)
{
    const size_t before = Cleaners();
    spawner.BeginStaffHire(model->GetAssetSet(), factory);
    CStaff* member = dynamic_cast<CStaff*>(spawner.GetStaffMember());
    ASSERT_NE(nullptr, member);
    ASSERT_NE(nullptr, spawner.GetCursorBox());
    EXPECT_EQ(before + 1, Cleaners());
    EXPECT_EQ(1, spawner.IsPlacing());

    Pick(Cell(6, 7));
    spawner.Update(0.1f);
    const GxV3d there = *member->GetPosition();
    GxV3d expected = {};
    floor->GetCellPosition(Cell(6, 7), &expected, 1);
    EXPECT_FLOAT_EQ(expected.x, there.x);
    EXPECT_FLOAT_EQ(expected.z, there.z);

    floors.UpdatePick({500.0f, 0.0f, 500.0f});
    spawner.Update(0.1f);
    EXPECT_FLOAT_EQ(there.x, member->GetPosition()->x) << "off the grid";
    spawner.PlaceStaff();
    EXPECT_EQ(member, spawner.GetStaffMember()) << "no cell: nothing placed";
    Pick(Cell(0, 7));
    spawner.PlaceStaff();
    EXPECT_EQ(member, spawner.GetStaffMember()) << "the border ring, where a save would leave the member out";

    Pick(Cell(6, 7));
    spawner.PlaceStaff();
    EXPECT_EQ(nullptr, spawner.GetStaffMember());
    EXPECT_EQ(nullptr, spawner.GetCursorBox());
    EXPECT_EQ(nullptr, spawner.GetPlacementRecord());
    EXPECT_EQ(1, member->m_hired);
    EXPECT_EQ(Cell(6, 7), member->m_postCell);
    EXPECT_EQ(150, member->GetRecord().wage);
    EXPECT_EQ(floor, member->m_pGrid);
    EXPECT_EQ(before + 1, Cleaners());
}

// Build mode or a new placement drops an unplaced hire; a moved member is assigned where it is placed, and
// one whose move is dropped stays where it stands and goes back to work there.
TEST_F(StaffPlacementTest, DroppingAndMoving)
{
    const size_t before = Cleaners();
    spawner.BeginStaffHire(model->GetAssetSet(), factory);
    spawner.BeginStaffHire(model->GetAssetSet(), factory);
    EXPECT_EQ(before + 1, Cleaners()) << "the first hire went";
    SetSpawnerHooks({[]() -> int32_t { return 1; }});
    spawner.Update(0.1f);
    EXPECT_EQ(before, Cleaners());
    EXPECT_EQ(nullptr, spawner.GetCursorBox());
    ResetSpawnerHooks();

    spawner.BeginStaffHire(model->GetAssetSet(), factory);
    CStaff* member = dynamic_cast<CStaff*>(spawner.GetStaffMember());
    Pick(Cell(4, 4));
    spawner.Update(0.1f);
    spawner.PlaceStaff();
    ASSERT_EQ(1, member->m_hired);

    member->BeginMove();
    spawner.BeginStaffMove(member);
    EXPECT_EQ(0, member->m_hired);
    Pick(Cell(9, 9));
    spawner.Update(0.1f);
    spawner.PlaceStaff();
    EXPECT_EQ(1, member->m_hired);
    EXPECT_EQ(0, member->m_moving);
    EXPECT_EQ(Cell(9, 9), member->m_postCell);
    EXPECT_EQ(Cell(9, 9), member->m_currentCell);

    member->BeginMove();
    spawner.BeginStaffMove(member);
    Pick(Cell(11, 3));
    spawner.Update(0.1f);
    spawner.DropStaffPlacement();
    EXPECT_EQ(before + 1, Cleaners()) << "a moved member is never removed";
    EXPECT_EQ(1, member->m_hired) << "back at work";
    EXPECT_EQ(floor->GetCellAt(*member->GetPosition()), member->m_currentCell);
    const int16_t post = member->m_postCell;
    EXPECT_EQ(Cell(9, 9), post) << "dropped on its own storey, it keeps its post";

    // Dropped over the border, where no member is posted, it stays there all the same and keeps its post.
    member->BeginMove();
    spawner.BeginStaffMove(member);
    Pick(Cell(0, 6));
    spawner.Update(0.1f);
    const GxV3d stood = *member->GetPosition();
    spawner.DropStaffPlacement();
    EXPECT_FLOAT_EQ(stood.x, member->GetPosition()->x) << "no jump to the post";
    EXPECT_FLOAT_EQ(stood.z, member->GetPosition()->z);
    EXPECT_EQ(1, member->m_hired);
    EXPECT_EQ(0, member->m_moving);
    EXPECT_EQ(floor->GetCellAt(stood), member->m_currentCell);
    EXPECT_EQ(post, member->m_postCell);
}

// A moved member dropped on another storey takes the cell it stands on there as its post: the old post's cell
// number would name another place on that storey.
TEST_F(StaffPlacementTest, DroppedOnAnotherStoreyItIsPostedWhereItStands)
{
    spawner.BeginStaffHire(model->GetAssetSet(), factory);
    CStaff* member = dynamic_cast<CStaff*>(spawner.GetStaffMember());
    ASSERT_NE(nullptr, member);
    Pick(Cell(4, 4));
    spawner.Update(0.1f);
    spawner.PlaceStaff();
    ASSERT_EQ(Cell(4, 4), member->m_postCell);

    floors.AddFloor();
    ASSERT_EQ(1, floors.GetCurrentFloorIndex());
    member->BeginMove();
    spawner.BeginStaffMove(member);
    Pick(Cell(8, 5));
    spawner.Update(0.1f);
    ASSERT_EQ(floor->GetUpper(), member->m_pGrid);
    spawner.DropStaffPlacement();
    const int stood = floor->GetUpper()->GetCellAt(*member->GetPosition());
    ASSERT_NE(Cell(4, 4), stood);
    EXPECT_EQ(1, member->m_hired);
    EXPECT_EQ(stood, member->m_currentCell);
    EXPECT_EQ(stood, member->m_postCell);
}
