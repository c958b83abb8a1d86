// The game's commands to the placement controller and the floor manager, through their seams.
#include "game/shell/game_testing.h"

namespace {

class CountingSeams : public CGameFloors, public CGamePlacement {
public:
    void GoDown() override { calls.push_back("down"); }
    void GoUp() override { calls.push_back("up"); }
    void SelectTile(int32_t tile) override { calls.push_back("tile " + std::to_string(tile)); }
    int32_t GetCurrentFloor() override { return 2; }
    void SetMode(int32_t mode, CFerroxAssetSet*, CFerroxObjectFactory*) override
    {
        calls.push_back("mode " + std::to_string(mode));
    }
    void BuildWalls(int32_t value) override { calls.push_back("walls " + std::to_string(value)); }
    std::vector<std::string> calls;
};

TEST_F(GameTest, CommandsReachTheirSeamsAndDoNothingWithoutThem)
{
    // No manager, no templates: nothing to place, and "no such template" counts as available.
    EXPECT_EQ(game->IsTemplateAvailable(1, 0), 1);
    game->StartObjectPlacement(1, 0, nullptr);
    EXPECT_EQ(game->m_pPlacementTemplate, nullptr);
    game->StartFloorTilePlacement(3);
    game->StartPlacementMode3();
    game->GoFloorUp();
    game->BuildWalls(0);
    EXPECT_EQ(game->GetCurrentFloor(), 0);

    // The game answers its own commands until other seams are installed, and again once they are removed.
    CGamePlacement* ownPlacement = game->GetPlacement();
    CGameFloors* ownFloors = game->GetFloors();
    ASSERT_NE(ownPlacement, nullptr);
    ASSERT_NE(ownFloors, nullptr);
    CountingSeams seams;
    game->SetFloors(&seams);
    game->SetPlacement(&seams);
    game->m_selectionChanged = 0;
    game->StartFloorTilePlacement(kGameKeepFloorTile);
    game->StartFloorTilePlacement(4);
    game->StartPlacementMode3();
    game->GoFloorDown();
    EXPECT_EQ(game->m_selectionChanged, 1);
    game->GoFloorUp();
    game->BuildWalls(1);
    EXPECT_EQ(seams.calls, (std::vector<std::string>{"mode 2", "tile 4", "mode 2", "mode 3", "mode 0", "down", "mode 0",
                                                     "up", "walls 1"}));
    EXPECT_EQ(game->GetCurrentFloor(), 2);
    game->SetFloors(nullptr);
    game->SetPlacement(nullptr);
    EXPECT_EQ(game->GetPlacement(), ownPlacement);
    EXPECT_EQ(game->GetFloors(), ownFloors);
}

TEST_F(GameTest, SpeedsAndFlagsStartAsANewGameNeedsThem)
{
    game->m_gameSpeed = 3.0f;
    game->m_inputBlocked = 1;
    game->m_gameFilePath = "maps/a.fds";
    game->Init();
    EXPECT_EQ(game->m_gameSpeed, 1.0f);
    EXPECT_EQ(game->m_resumeSpeed, 1.0f);
    EXPECT_EQ(game->m_inputBlocked, 0);
    EXPECT_TRUE(game->m_gameFilePath.empty());
    EXPECT_EQ(game->m_startYear, 2004);
}

}  // namespace
