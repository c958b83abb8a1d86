// Test fixture: the object fixture with the game, its test technology tree, the object manager and the game data it
// loads; the manager and its templates go before the game and the tree that lists them.
//
// game_testsupport is the game's test support, linked by tests and benchmarks only. It owns this fixture and the
// object manager's test objects (objectmgr.h): objects that say which list they belong to, their factory, the class
// hooks that read them and a floor seam over a map. It calls the game, the engine, engine_testsupport (and what they
// link) and Google Test. Threading: the test's one thread. Ownership: the fixture makes the game and the object
// manager and destroys both when the test ends; the manager owns the test objects its factory makes.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/data/tagtree.h"
#include "engine/testsupport/objects.h"
#include "game/shell/game.h"
#include "game/shell/game_testing.h"
#include "game/world/objectmgr.h"

class GameObjectTest : public FerroxObjectTest {
protected:
    void SetUp() override
    {
        FerroxObjectTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterClasses();
        game = CGame::Instance(nullptr);
        ASSERT_TRUE(GameTestInstallTechnologies(game));
        manager = CDynamicObjectManager::Instance();
    }
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        CGame::DestroyInstance(nullptr);
        FerroxObjectTest::TearDown();
    }
    // Registers the classes the manager's factories make, which it takes when it is made; none here.
    virtual void RegisterClasses() {}
    // Reads ./data.xml of the folder into `data`, as the game reads it at set-up, and loads its templates into the
    // manager; 1 when the file was read.
    int LoadGameData(const std::string& folder)
    {
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        const int loaded = data.Load("./data.xml");
        manager->LoadObjectData(&data);
        std::filesystem::current_path(previous);
        return loaded;
    }

    CGame* game = nullptr;
    CDynamicObjectManager* manager = nullptr;
    CFerroxTagTree data;
};
