// Test fixture: the object fixture with the game, its test technology tree and the object manager; the manager
// and its templates go before the game and the tree that lists them.
#pragma once

#include <gtest/gtest.h>

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

    CGame* game = nullptr;
    CDynamicObjectManager* manager = nullptr;
};
