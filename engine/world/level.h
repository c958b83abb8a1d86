// The level manager base: which level (city) is current, and that level's world, created from the path the
// settings' "Level_Data" block gives for the level's number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CFerroxWorld;
class CFerroxFile;
class CFerroxTagTree;

class CFerroxLevelManager {
public:
    CFerroxLevelManager();
    CFerroxLevelManager(const CFerroxLevelManager&) = delete;
    CFerroxLevelManager& operator=(const CFerroxLevelManager&) = delete;

    virtual void Load(CFerroxFile* file);
    virtual void Save(CFerroxFile* file);
    virtual CFerroxWorld* GetWorld();
    virtual void SetLevel(int32_t level);
    virtual int32_t GetLevel();
    // 1 when the held world was created from the level's file, else 0 (also without a world to create).
    virtual int Create();
    // Deletes the world; always 1.
    virtual int UnloadLevel();
    // Virtual slots 7 and 8, after UnloadLevel: reserved, they return 0.
    virtual int ReservedSlot7();
    virtual int ReservedSlot8();
    virtual void Update(float dt);
    // Virtual slot 10: the level the settings' game type names; 0 here, the game's level manager reads it.
    virtual int ReadGameType();
    virtual void Release();
    // World null (a world still held is deleted), level 1.
    virtual void Init();
    virtual ~CFerroxLevelManager();

    // The world the level manager owns from now on (a world held already is deleted first; level_builder.cpp, the
    // program does not link it).
    void SetWorld(std::unique_ptr<CFerroxWorld> world);

protected:
    int32_t m_level;
    std::unique_ptr<CFerroxWorld> m_pWorld;
};

// The path of a level's world file in a settings tree: the "Level_Data" child named by the level's number
// (the first whose name holds it), else the child "0"; without its final line end. False when neither exists.
bool FerroxLevelPath(CFerroxTagTree* setup, int32_t level, std::string* path);
