// A small mall (tiles, a shop, its figures, conditions and a technology under way) saved, loaded into a level
// torn down and built again, and saved once more gives the same file; a file that is no save, or whose storeys do not
// rise, leaves it standing.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/data/techtree.h"
#include "game/buildings/placement_testing.h"
#include "game/buildings/shop.h"
#include "game/shell/conditions.h"
#include "game/shell/savegame.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"
#include "game/world/world.h"

namespace {

const char kLevels[] = "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<1>\n"
                       "./models/levels/Berlin/berlin.gxs\n</1>\n<total>\n1\n</total>\n</Level_Data>\n";
const char kConditions[] = "<CONDITIONS>\r\n4\r\n2,1,300\r\n0,0,-10000\r\n</CONDITIONS>\r\n";
constexpr uint16_t kTechnology = 1000;

class SavedMall : public PlacementTest, public CGameSaveParts {
protected:
    void SetUp() override
    {
        PlacementTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        setup.LoadFromMemory(kLevels, sizeof(kLevels) - 1);
        g_pFerroxSetupTree = &setup;
        game->m_pLevelManager = std::make_unique<CLevelManager>();
        auto* level = static_cast<CLevelManager*>(game->m_pLevelManager.get());
        auto world = std::make_unique<CWorld>();
        world->SetName("./models/levels/Berlin/berlin.gxs");
        level->SetWorld(std::move(world));
        level->SetLevel(1);
        game->SetSaveParts(this);
        game->m_startYear = 2005;
        game->m_startMonth = 3;
        game->m_dayCounter = 40;
        Put(Path("conditions.fds"), kConditions);
        CFerroxTagFile file;
        ASSERT_EQ(0, file.Open(Path("conditions.fds").c_str(), 1));
        ASSERT_EQ(1, conditions.Load(&file));
        file.Close();
    }
    void TearDown() override
    {
        if (game)
            game->SetSaveParts(nullptr);
        g_pFerroxSetupTree = nullptr;
        PlacementTest::TearDown();
    }

    // The level's parts as the game tears them down and builds them again.
    void LeaveLevel() override
    {
        left++;
        controller.reset();
        manager->Reset();
        floors.reset();
        game->m_pTechTree->Reset();
        conditions.Reset();
    }
    int StartLevel() override
    {
        MakeFloors();
        return 1;
    }
    CConditions* GetConditions() override { return &conditions; }
    CFloorManager* GetFloorManager() override { return floors.get(); }
    CStatistics* GetStatistics() override { return manager->GetStatistics(); }
    void SaveObjects(CFerroxFile* file) override { controller->SaveObjects(file, nullptr); }
    int LoadObjects(CFerroxTagFile* file) override
    {
        controller->LoadObjects(file, nullptr);
        return controller->GetObjectsLeftOut();
    }

    void BuildMall()
    {
        ASSERT_EQ(0, Lay(Cell(5, 5), Cell(20, 20)));
        ASSERT_EQ(0, PlaceAt("SHOP_FASHION", kShopFactoryName, Ground(), Cell(9, 9)));
        manager->GetStatistics()->m_shoppersCome = 57;
        manager->GetStatistics()->m_takings = 1234;
        ASSERT_EQ(1, game->m_pTechTree->Activate(game->m_pTechTree->FindEntry(kTechnology)));
        game->m_pTechTree->Update(1.0f);
    }
    static void Put(const std::string& path, const std::string& text)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    size_t Shops() const { return manager->GetFloorRecord(0)->shops.size(); }

    CFerroxTagTree setup;
    CConditions conditions;
    int left = 0;
};

TEST_F(SavedMall, SaveLoadSaveGivesTheSameFile)
{
    BuildMall();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(1, game->SaveGame(Path("first.fds").c_str()));
    const std::string first = ReadAll(Path("first.fds"));
    for (const char* section : {"<GAME_DATA>\r\n2005\r\n3\r\n40\r\n", "<LEVEL>", "<CONDITIONS>\r\n4\r\n", "<MAP>",
                                "<OBJECTS>", "<STATISTICS>", "<TECHTREE>"})
        EXPECT_NE(std::string::npos, first.find(section)) << section;

    game->m_dayCounter = 99;
    game->m_pLevelManager->SetLevel(0);
    ASSERT_EQ(1, game->LoadGame(Path("first.fds").c_str()));
    EXPECT_EQ(1, left);
    EXPECT_EQ(1, game->m_pLevelManager->GetLevel());
    EXPECT_EQ(40, game->m_dayCounter);
    EXPECT_EQ(1u, Shops());
    EXPECT_EQ(57, manager->GetStatistics()->m_shoppersCome);
    EXPECT_EQ(1u, conditions.GetWin().size());
    ASSERT_EQ(1, game->SaveGame(Path("second.fds").c_str()));
    EXPECT_EQ(first, ReadAll(Path("second.fds")));
}

TEST_F(SavedMall, AFileThatIsNoSaveLeavesTheMallStanding)
{
    BuildMall();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(1, game->SaveGame(Path("before.fds").c_str()));
    Put(Path("notes.fds"), "a shopping list\r\nbread\r\n");
    EXPECT_EQ(0, game->LoadGame(Path("notes.fds").c_str()));
    EXPECT_EQ(0, game->LoadGame(Path("missing.fds").c_str()));
    EXPECT_EQ(0, left);
    EXPECT_EQ(1u, Shops());
    ASSERT_EQ(1, game->SaveGame(Path("after.fds").c_str()));
    EXPECT_EQ(ReadAll(Path("before.fds")), ReadAll(Path("after.fds")));
}

// A second storey saved under the ground makes a storey the next save puts at a height read into the one below:
// the save is damaged, and refused before the mall is torn down; the same storey above the ground loads.
TEST_F(SavedMall, AMapWhoseStoreysDoNotRiseIsRefusedWithTheMallStanding)
{
    BuildMall();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(1, game->SaveGame(Path("before.fds").c_str()));
    const std::string saved = ReadAll(Path("before.fds"));
    const size_t body = saved.find("<SUBMESH>", saved.find("<MAP>"));
    const size_t bodyEnd = saved.find("</SUBMESH>\r\n", body) + 12;
    ASSERT_LT(body, bodyEnd);
    const std::string ground = saved.substr(body, bodyEnd - body);
    Put(Path("sunk.fds"), std::string(saved).insert(bodyEnd, "-4.00000\r\n" + ground));
    EXPECT_EQ(kGameLoadRefused, game->LoadGame(Path("sunk.fds").c_str()));
    EXPECT_EQ(0, left);
    EXPECT_EQ(1u, Shops());
    ASSERT_EQ(1, game->SaveGame(Path("after.fds").c_str()));
    EXPECT_EQ(saved, ReadAll(Path("after.fds")));

    Put(Path("raised.fds"), std::string(saved).insert(bodyEnd, "4.00000\r\n" + ground));
    EXPECT_EQ(kGameLoadWhole, game->LoadGame(Path("raised.fds").c_str()));
    EXPECT_EQ(1, left);
}

}  // namespace
