// What the application publishes for the engine's rooms below it: the settings tree it read at start-up, and the
// running game as those rooms read it.
//
// The application's game base (CFerroxGame, engine/application/base.h) implements CFerroxGameContext and
// FerroxSetGame publishes it here beside g_pFerroxGame; a room below the application reads the game only through
// this. Both pointers are null while nothing is published. One thread.
#pragma once

class CFerroxCamera;
class CFerroxTagTree;
class CFerroxTechTree;

class CFerroxGameContext {
public:
    // Frame time followed by game time.
    virtual float* GetFrameTimes() = 0;
    virtual int GetScreenWidth() = 0;
    // The game's camera and technology tree, or null.
    virtual CFerroxCamera* GetCamera() = 0;
    virtual CFerroxTechTree* GetTechTree() = 0;

protected:
    ~CFerroxGameContext() = default;
};

extern CFerroxGameContext* g_pFerroxGameContext;
// The settings tree of ./setup.xml while the application runs.
extern CFerroxTagTree* g_pFerroxSetupTree;
