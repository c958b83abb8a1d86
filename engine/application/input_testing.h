// Test support: a game whose mouse, keyboard and game camera are the engine's, reachable through the globals.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/application/base.h"
#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "engine/world/camera.h"

// A game camera without a graphics camera: only its motion request is read.
class MotionCamera : public CVantorCamera {
public:
    void MoveClamped(const GxV3d*) override {}
};

class FerroxInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        game = std::make_unique<CFerroxGame>();
        game->SetScreenSize(800, 600);
        game->m_pMouse = std::make_unique<CVantorMouse>();
        game->m_pKeyboard = std::make_unique<CVantorKeyboard>();
        auto owned = std::make_unique<MotionCamera>();
        camera = owned.get();
        game->m_pCamera = std::move(owned);
        FerroxSetGame(game.get());
    }
    void TearDown() override
    {
        FerroxSetGame(nullptr);
        game.reset();
    }
    CFerroxMouse* GameMouse() { return game->m_pMouse.get(); }
    FerroxMousePosition* Pos() { return game->m_pMouse->GetPosition(); }

    std::unique_ptr<CFerroxGame> game;
    MotionCamera* camera = nullptr;
};
