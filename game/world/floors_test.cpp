// The floor manager: the default tile, storeys added and walked, picking, debris, and the MAP section written,
// read back and read damaged.
#include "game/world/floors.h"

#include <fstream>
#include <memory>
#include <utility>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/scene.h"
#include "engine/world/object.h"
#include "game/shell/game_testing.h"
#include "game/world/floors_testing.h"
#include "game/world/statistics.h"

namespace {

constexpr int kSide = 8;
constexpr int kCell = 2;

// Remembers where it was drawn.
class DrawnObject : public CFerroxObject {
public:
    void Translate(const GxV3d* vector, int) override { at = *vector; }
    int Render() override
    {
        drawn.push_back(at);
        return 1;
    }
    GxV3d at = {0, 0, 0};
    std::vector<GxV3d> drawn;
};

class StepHooks : public CFloorHooks {
public:
    void OnFloorChanged(int step) override { steps.push_back(step); }
    void OnStoreyAdded(CFerroxBlockMesh* storey) override { added.push_back(storey); }
    std::vector<int> steps;
    std::vector<CFerroxBlockMesh*> added;
};

class Floors : public FerroxSceneTest {
protected:
    // A data tree whose "FLOOR_TILES" lists `count` pictures.
    void LoadTiles(CFloorManager* floors, int count)
    {
        std::string text = "<FLOOR_TILES>\n";
        for (int i = 0; i < count; i++) {
            const std::string picture = Path("tile" + std::to_string(i) + ".bmp");
            ASSERT_TRUE(FerroxWriteTestPicture(picture, static_cast<GxUInt8>(40 * i), 100, 200));
            text += "<t" + std::to_string(i) + ">\n" + picture + "\n</t" + std::to_string(i) + ">\n";
        }
        text += "</FLOOR_TILES>\n";
        CFerroxTagTree data;
        data.LoadFromMemory(text.data(), text.size());
        floors->Create(&data);
    }
    // Base floor 1: 8 x 8 cells of 2 units whose corner cell sits at (0, 0, 0); tiled with the current tile.
    CFerroxBlockMesh* Ground(CFloorManager* floors)
    {
        floors->AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCell, 1);
        CFerroxBlockMesh* ground = floors->FindBaseFloor(1);
        if (ground)
            ground->SetRangeTileEx(floors->GetCurrentTileType(), 0, kSide * kSide - 1, 1, 0, nullptr);
        return ground;
    }
    std::string SaveMap(CFloorManager* floors, const std::string& name)
    {
        CFerroxFile file;
        EXPECT_EQ(file.Open(Path(name).c_str(), 0), 0);
        floors->Save(&file);
        EXPECT_EQ(file.Close(), 0);
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void LoadMap(CFloorManager* floors, const std::string& name, const std::string& text)
    {
        {
            std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
            out << text;
        }
        CFerroxTagFile file;
        ASSERT_EQ(file.Open(Path(name).c_str(), 1), 0);
        floors->Load(&file);
        file.Close();
    }
};

TEST_F(Floors, TheDefaultTileIsTheSecondEntry)
{
    CFloorManager three;
    LoadTiles(&three, 3);
    ASSERT_EQ(three.GetFloorTiles().size(), 3u);
    EXPECT_NE(three.GetFloorTiles()[0]->texture, nullptr);
    EXPECT_EQ(three.GetCurrentTileType(), three.GetFloorTiles()[1].get());
    three.SelectTileType(7);
    EXPECT_EQ(three.GetCurrentTileType(), three.GetFloorTiles()[0].get());
    three.SelectTileType(2);
    EXPECT_EQ(three.TileTypeToIndex(three.GetCurrentTileType()), 2);
    EXPECT_EQ(three.TileTypeFromIndex(-1), nullptr);
    EXPECT_EQ(three.TileTypeFromIndex(3), nullptr);

    CFloorManager one;
    LoadTiles(&one, 1);
    EXPECT_EQ(one.GetCurrentTileType(), nullptr) << "a list of one has no second entry";
    one.SelectTileType(0);
    EXPECT_EQ(one.GetCurrentTileType(), one.GetFloorTiles()[0].get());
    CFloorManager none;
    LoadTiles(&none, 0);
    EXPECT_EQ(none.GetCurrentTileType(), nullptr);
    none.SelectTileType(0);
    EXPECT_EQ(none.GetCurrentTileType(), nullptr);
}

TEST_F(Floors, StoreysAreAddedOnBaseFloorOneAndWalkedWithinTheBuiltOnes)
{
    RecordingNotices notices;
    StepHooks hooks;
    CFloorManager floors;
    floors.SetHooks(&hooks);
    LoadTiles(&floors, 2);
    // Without base floor 1 nothing is built.
    floors.AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCell, 2);
    floors.AddFloor();
    EXPECT_EQ(floors.GetBuiltFloors(), 1);
    floors.Clear();

    CFerroxBlockMesh* ground = Ground(&floors);
    ASSERT_NE(ground, nullptr);
    floors.FloorDown(nullptr);
    EXPECT_EQ(floors.GetCurrentFloorIndex(), 0);
    // At the top below five storeys the player is asked; the yes answer builds the storey and goes up to it.
    floors.FloorUp(&notices, nullptr);
    EXPECT_EQ(notices.questions, (std::vector<uint16_t>{kNewStoreyQuestion}));
    EXPECT_EQ(floors.GetBuiltFloors(), 1);
    CFloorManager::AddFloorCallback();
    EXPECT_EQ(floors.GetBuiltFloors(), 2);
    EXPECT_EQ(floors.GetCurrentFloorIndex(), 1);
    ASSERT_NE(ground->GetUpper(), nullptr);
    EXPECT_FLOAT_EQ(ground->GetUpper()->GetOrigin().y, kStoreyHeight);
    EXPECT_EQ(ground->GetUpper()->GetTile(0), floors.GetCurrentTileType());
    EXPECT_EQ(floors.GetFloorIndex(ground->GetUpper()), 1);
    EXPECT_EQ(hooks.added, (std::vector<CFerroxBlockMesh*>{ground->GetUpper()}));
    for (int i = 0; i < 3; i++)
        floors.AddFloor();
    EXPECT_EQ(floors.GetBuiltFloors(), kMaxFloors);
    floors.AddFloor();
    EXPECT_EQ(floors.GetBuiltFloors(), kMaxFloors);
    notices.Clear();
    floors.FloorUp(&notices, nullptr);
    EXPECT_TRUE(notices.questions.empty());

    hooks.steps.clear();
    floors.GoToFloor(-3, nullptr);
    EXPECT_EQ(floors.GetCurrentFloorIndex(), 0);
    floors.GoToFloor(9, nullptr);
    EXPECT_EQ(floors.GetCurrentFloorIndex(), kMaxFloors - 1);
    EXPECT_EQ(hooks.steps, (std::vector<int>{-1, -1, -1, -1, 1, 1, 1, 1}));
    floors.ResetFloorIndex();
    EXPECT_EQ(floors.GetCurrentFloorIndex(), 0);
}

TEST_F(Floors, APickOnTheGridFindsTheCellOnTheShownStoreyAndOffItNothing)
{
    CFloorManager floors;
    LoadTiles(&floors, 2);
    CFerroxBlockMesh* ground = Ground(&floors);
    ASSERT_NE(ground, nullptr);
    floors.UpdatePick({4.0f, 0.0f, -6.0f});
    const int cell = ground->GetCellAt({4.0f, 0.0f, -6.0f});
    ASSERT_NE(cell, -1);
    EXPECT_EQ(floors.GetPickedCell(), cell);
    EXPECT_EQ(floors.GetCurrentFloor(), ground);
    EXPECT_FLOAT_EQ(floors.GetPickPoint().x, static_cast<float>(ground->GetCellWorldX(cell, 1)));
    EXPECT_FLOAT_EQ(floors.GetPickPoint().z, static_cast<float>(ground->GetCellWorldZ(cell, 1)));

    floors.AddFloor();
    floors.UpdatePick({4.0f, 0.0f, -6.0f});
    EXPECT_EQ(floors.GetCurrentFloor(), ground->GetUpper());
    EXPECT_FLOAT_EQ(floors.GetPickPoint().y, kStoreyHeight);

    // A second building has no storey at the shown index: over it nothing is picked.
    ASSERT_EQ(floors.AddBaseFloor(kSide, kSide, {101.0f, 0.0f, -1.0f}, kCell, 2), 1);
    ASSERT_NE(floors.FindBaseFloor(2)->GetCellAt({104.0f, 0.0f, -6.0f}), -1);
    floors.UpdatePick({104.0f, 0.0f, -6.0f});
    EXPECT_EQ(floors.GetPickedCell(), -1);
    EXPECT_EQ(floors.GetCurrentFloor(), nullptr);

    floors.UpdatePick({400.0f, 0.0f, 6.0f});
    EXPECT_EQ(floors.GetPickedCell(), -1);
    EXPECT_EQ(floors.GetCurrentFloor(), nullptr);
    EXPECT_FLOAT_EQ(floors.GetPickPoint().x, -1.0f);
    EXPECT_FLOAT_EQ(floors.GetPickPoint().y, -1.0f);
}

TEST_F(Floors, DebrisOnCellNineShowsTheThirdObjectOnlyOnShownStoreys)
{
    CFloorManager floors;
    LoadTiles(&floors, 2);
    CFerroxBlockMesh* ground = Ground(&floors);
    ASSERT_NE(ground, nullptr);
    floors.AddFloor();
    floors.GoToFloor(0, nullptr);
    std::vector<DrawnObject*> debris;
    for (int i = 0; i < kDebrisModels; i++) {
        auto object = std::make_unique<DrawnObject>();
        debris.push_back(object.get());
        CFloorManagerTesting::SetDebrisObject(&floors, static_cast<size_t>(i), std::move(object));
    }
    ground->OccupyCell(9);
    ground->GetUpper()->OccupyCell(10);
    floors.Render();
    for (int i = 0; i < kDebrisModels; i++)
        EXPECT_EQ(debris[i]->drawn.size(), i == 2 ? 1u : 0u) << i;
    GxV3d position;
    ASSERT_NE(ground->GetCellPosition(9, &position, 0), nullptr);
    EXPECT_FLOAT_EQ(debris[2]->drawn[0].x, position.x);
    EXPECT_FLOAT_EQ(debris[2]->drawn[0].z, position.z);
    floors.GoToFloor(1, nullptr);
    floors.Render();
    EXPECT_EQ(debris[3]->drawn.size(), 1u);
}

TEST_F(Floors, LitterOnAnyStoreyLowersTheRatingAndSweepingRestoresIt)
{
    CFloorManager floors;
    LoadTiles(&floors, 2);
    CFerroxBlockMesh* ground = Ground(&floors);
    ASSERT_NE(ground, nullptr);
    floors.AddFloor();
    CStatistics stats;
    stats.m_baseRating = 500;
    stats.Update();
    EXPECT_EQ(stats.m_rating, 500);

    ground->OccupyCell(9);
    ground->OccupyCell(10);
    ground->GetUpper()->OccupyCell(10);
    ground->GetBlock(10)->SetState(FERROX_BLOCK_RESERVED);  // a cleaner at work: still litter
    EXPECT_EQ(floors.GetDirtSum(), 3);
    stats.Update();
    EXPECT_EQ(stats.m_dirtPenalty, 9);
    EXPECT_EQ(stats.m_rating, 491);

    for (int cell : {9, 10})
        ground->VacateCell(cell);
    ground->GetUpper()->VacateCell(10);
    stats.Update();
    EXPECT_EQ(stats.m_dirtPenalty, 0);
    EXPECT_EQ(stats.m_rating, 500);

    // 3 x 105 x 105 inner cells does not fit 16 bits: wrapped, the penalty would raise the rating instead.
    constexpr int kWideSide = 107;
    ASSERT_EQ(floors.AddBaseFloor(kWideSide, kWideSide, {0.0f, 0.0f, 0.0f}, kCell, 2), 1);
    CFerroxBlockMesh* wide = floors.FindBaseFloor(2);
    for (int cell = 0; cell < kWideSide * kWideSide; cell++)
        wide->OccupyCell(cell);
    stats.Update();
    EXPECT_EQ(stats.m_dirtPenalty, 32767);
    EXPECT_EQ(stats.m_rating, -1000);
}

TEST_F(Floors, AMapOfThreeStoreysReadsIntoAFreshLevelAndWritesTheSame)
{
    CFloorManager floors;
    LoadTiles(&floors, 3);
    CFerroxBlockMesh* ground = Ground(&floors);
    ASSERT_NE(ground, nullptr);
    ground->SetRangeTileEx(floors.TileTypeFromIndex(2), 0, 3, 1, 0, nullptr);
    floors.AddFloor();
    floors.AddFloor();
    ground->GetUpper()->OccupyCell(20);
    const std::string first = SaveMap(&floors, "first.fds");
    EXPECT_EQ(first.substr(0, 10), "<MAP>\r\n3\r\n");

    CFloorManager fresh;
    LoadTiles(&fresh, 3);
    ASSERT_NE(Ground(&fresh), nullptr);
    LoadMap(&fresh, "first.fds", "<GAME_DATA>\r\n" + first);
    EXPECT_EQ(fresh.GetBuiltFloors(), 3);
    EXPECT_EQ(SaveMap(&fresh, "again.fds"), first);
}

TEST_F(Floors, ADamagedMapLoadsWithinTheStoreysItHolds)
{
    std::string map;
    {
        CFloorManager floors;
        LoadTiles(&floors, 2);
        ASSERT_NE(Ground(&floors), nullptr);
        floors.AddFloor();
        map = SaveMap(&floors, "two.fds");
    }
    const size_t count = map.find("2\r\n");
    ASSERT_EQ(count, 7u);
    // Each text is read into a fresh level, as a saved game is.
    auto builtAfter = [this](const std::string& name, const std::string& text) {
        CFloorManager floors;
        LoadTiles(&floors, 2);
        Ground(&floors);
        LoadMap(&floors, name, text);
        EXPECT_EQ(floors.GetCurrentFloorIndex(), 0);
        floors.GoToFloor(kMaxFloors, nullptr);
        floors.UpdatePick({2.0f, 0.0f, -2.0f});
        floors.Render();
        return floors.GetBuiltFloors();
    };
    EXPECT_EQ(builtAfter("nine.fds", map.substr(0, count) + "9" + map.substr(count + 1)), 2);
    EXPECT_EQ(builtAfter("minus.fds", map.substr(0, count) + "-1" + map.substr(count + 1)), 1);
    EXPECT_EQ(builtAfter("word.fds", map.substr(0, count) + "two" + map.substr(count + 1)), 2);
    // Cut inside the second storey: the ground and what was read of the storey stand.
    const int cut = builtAfter("cut.fds", map.substr(0, count) + "5" + map.substr(count + 1, map.size() / 2));
    EXPECT_GE(cut, 1);
    EXPECT_LE(cut, 2);
    EXPECT_EQ(builtAfter("bare.fds", "<MAP>\r\n"), 1);
}

}  // namespace
