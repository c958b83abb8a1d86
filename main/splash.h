// The program's game until the game object arrives: the engine's game base with its input and camera, the
// brand splash, then the first city level seen from above the mall's plot.
#pragma once

#include "engine/base.h"

struct GxRaster;
class CDemoWalker;

class CSplashGame : public CFerroxGame {
public:
    CSplashGame();
    ~CSplashGame() override;
    void Release() override;
    void Update(float frameTime) override;
    int Create(HWND window, const char* name) override;

private:
    void DrawSplash();
    // Loads the level through the level manager and puts the camera in its world; false when it failed.
    bool LoadLevel();
    void DrawLevel();
    void PlaceCamera();

    GxRaster* m_pSplash;
    bool m_levelTried;
    CDemoWalker* m_pWalker;  // walks the level's grid once the level is loaded
};
