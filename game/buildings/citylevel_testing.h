// Test support: the authored game root on the software device, the game data loaded into the object manager,
// and a city level opened as the game opens it (floors, the world from the level file, the city's templates,
// the placement controller). Suites add their classes, game set-up and level extras through the hooks.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "game/buildings/placement_testing.h"
#include "game/world/levelmanager.h"
#include "game/world/objectmgr_testing.h"
#include "game/world/world.h"
#include "gfx/core/image.h"

class CityLevelTest : public FerroxObjectTest {
protected:
    static constexpr uint16_t kGroundFloorId = 1;

    static void TearDownTestSuite() { RemoveAuthoredRoot(); }
    void SetUp() override
    {
        FerroxObjectTest::SetUp();
        if (HasFatalFailure())
            return;
        root = AuthoredRoot();
        if (root.empty())
            GTEST_SKIP() << "needs mkcontent and MALL_SOURCE_DIR";
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        RegisterClasses();
        game = CGame::Instance(nullptr);
        game->SetNotices(&notices);
        PrepareGame();
        if (HasFatalFailure())
            return;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(root);
        ASSERT_EQ(1, setup.Load("./setup.xml"));
        g_pFerroxSetupTree = &setup;
        ASSERT_EQ(1, data.Load("./data.xml"));
        manager = CDynamicObjectManager::Instance();
        manager->LoadObjectData(&data);
    }
    void TearDown() override
    {
        if (!root.empty())
            CloseLevel();
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
        ResetObjectClassHooks();
        CDynamicObjectManager::SetSeam(nullptr);
        CFloorManager::SetCellFilter(nullptr);
        ResetBuildingHooks();
        g_pFerroxSetupTree = nullptr;
        if (!previous.empty())
            std::filesystem::current_path(previous);
        FerroxObjectTest::TearDown();
    }
    // The classes the suite's objects need, before the manager is first made.
    virtual void RegisterClasses() { RegisterBuildingClasses(); }
    // Set-up of the game object before the data loads.
    virtual void PrepareGame() {}
    // What the suite made for the level, freed after the objects and before the level goes.
    virtual void BeforeLevelUnload() {}

    // Level `index` as the game starts it: floors, the world from the level file, the city's templates.
    void OpenLevel(int index)
    {
        floors = std::make_unique<CFloorManager>();
        floors->Create(&data);
        level = std::make_unique<CLevelManager>();
        level->SetLevel(index);
        ASSERT_EQ(1, level->CreateWorld());
        seam = std::make_unique<CGameObjectSeam>(floors.get(), level.get());
        CDynamicObjectManager::SetSeam(seam.get());
        manager->SwapCityTemplates();
        ASSERT_NE(nullptr, floors->FindBaseFloor(kGroundFloorId));
        controller = std::make_unique<CPlacementController>();
        controller->Create(floors.get(), level->GetWorld());
        floors->SetHooks(controller->FloorHooks());
        floors->SetWorld(level->GetWorld());
    }
    void CloseLevel()
    {
        controller.reset();
        if (manager)
            manager->Reset();
        BeforeLevelUnload();
        if (level)
            level->UnloadLevel();
        level.reset();
        CDynamicObjectManager::SetSeam(nullptr);
        seam.reset();
        floors.reset();
    }
    CFerroxBlockMesh* Ground() const { return floors->FindBaseFloor(kGroundFloorId); }
    // A cell `row` rows and `column` columns in from the ground's first inner cell.
    int Cell(int row, int column) const { return (row + 1) * Ground()->GetRows() + column + 1; }
    static GxV3d At(CFerroxBlockMesh* storey, int cell)
    {
        return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y,
                static_cast<float>(storey->GetCellWorldZ(cell, 1))};
    }

    std::string root;
    std::filesystem::path previous;
    CGame* game = nullptr;
    RecordingNotices notices;
    CFerroxTagTree setup;
    CFerroxTagTree data;
    CDynamicObjectManager* manager = nullptr;
    // Made by OpenLevel, deleted by CloseLevel in the order the level needs.
    std::unique_ptr<CFloorManager> floors;
    std::unique_ptr<CLevelManager> level;
    std::unique_ptr<CGameObjectSeam> seam;
    std::unique_ptr<CPlacementController> controller;
};
