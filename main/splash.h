// The program's game until the game object arrives: the engine's game base with its input, its camera and
// the first splash picture, shown until the window is closed.
#pragma once

#include "engine/base.h"

struct GxRaster;

class CSplashGame : public CFerroxGame {
public:
    CSplashGame();
    ~CSplashGame() override;
    void Release() override;
    void Update(float frameTime) override;
    int Create(HWND window, const char* name) override;

private:
    void DrawSplash();

    GxRaster* m_pSplash;
};
