// A shopper of the demo walking to and fro between two cells of the level's floor grid.
#pragma once

#include <vector>

#include "engine/blockgrid.h"

class CFerroxAssetSet;
class CFerroxCharacter;
class CFerroxWorld;

class CDemoWalker {
public:
    CDemoWalker();
    CDemoWalker(const CDemoWalker&) = delete;
    CDemoWalker& operator=(const CDemoWalker&) = delete;
    ~CDemoWalker();

    // Makes the floor grid, loads the character file through the world's pools and puts the walker in the
    // world at the first end; false when the character could not be made.
    bool Create(CFerroxWorld* world);
    // Plans the next leg while standing, walks it while following.
    void Update(float frameTime);
    // The walker leaves the world; its asset sets go with it (the world's pools keep the models).
    void Release();

private:
    CFerroxBlockGrid m_grid;
    CFerroxCharacter* m_pWalker;
    std::vector<CFerroxAssetSet*> m_sets;
    int m_ends[2];
    int m_leg;  // the end walked to
};
