// The end-game sequence: a full-screen picture over a live view of the level just played, flown along the
// level's end-game camera paths, with the message that says how the game ended. Any click leaves for the
// front end.
//
// The in-game interface owns one; the game opens it modally when the scenario's conditions report a result
// (Create, the message index, a modal push) and tears it down with TearDown when a game is left or another is
// loaded. The world it shows is always the level's. One thread.
#pragma once

#include <cstdint>

#include "ui/frontend/citycanvas.h"

constexpr const char* kEndGamePicture = "./images/scenario/win-lose.png";

class CEndGameCanvas : public CCityCanvas {
public:
    CEndGameCanvas();
    ~CEndGameCanvas() override;
    void Init() override;
    // Empty: the game tears the canvas down with TearDown.
    void Release() override {}
    // A press anywhere closes the sequence, leaves the game and clears its game-over and input-blocked flags.
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Update() override;
    void Render() override;
    void DescribeView(FerroxWidgetRecord* record) override;
    void DescribeOverlay(FerroxWidgetRecord* record) override;
    // Loads the "_fspl" camera paths of the model, then builds as a city canvas on the given (shared) world.
    void Create(const char* picture, const char* model, int32_t city, CFerroxWorld* world) override;

    // The city canvas's Release and Init: widgets, paths and fonts go, the world is forgotten.
    void TearDown();

    int16_t m_messageIndex;
    int16_t m_endGameList;
};
