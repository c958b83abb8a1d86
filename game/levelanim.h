// The animated textures of the mall's objects: the engine's animated texture (the one the level's world makes
// for its own models) behind the object manager's animated-texture seam.
//
// The level manager installs the maker when it creates a level; the object manager owns what it makes. One
// thread.
#pragma once

#include "engine/animtexture.h"
#include "game/objectmgr.h"

class CLevelAnimTexture : public CObjectAnimTexture {
public:
    int Load(const char* path, GxTexture** slot) override { return m_texture.Load(path, slot); }
    void Update(float dt) override { m_texture.Update(dt); }
    const char* GetBaseName() const override { return m_texture.GetBaseName(); }

    const CFerroxAnimTexture& GetTexture() const { return m_texture; }

private:
    CFerroxAnimTexture m_texture;
};

// The maker the object manager is given.
CObjectAnimTexture* MakeLevelAnimTexture();
