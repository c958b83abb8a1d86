// The level manager base: the level's world file from the settings (the level's entry, else entry 0, without
// its line end), the world created with no camera, and unloading.
#include "engine/world/level.h"

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "engine/application/base.h"
#include "engine/data/tagtree.h"
#include "engine/world/world.h"

namespace {

// A world that records what it is asked instead of loading anything.
class CRecordingWorld : public CFerroxWorld {
public:
    explicit CRecordingWorld(int* deletions) : m_deletions(deletions) {}
    ~CRecordingWorld() override { ++*m_deletions; }
    int Create(const char* fileName, GxCamera* camera) override
    {
        path = fileName ? fileName : "(none)";
        cameraGiven = camera != nullptr;
        return result;
    }
    void Update(float dt) override { updated += dt; }

    std::string path;
    bool cameraGiven = true;
    int result = 1;
    float updated = 0.0f;

private:
    int* m_deletions;
};

class LevelManager : public ::testing::Test {
protected:
    void SetUp() override { g_pFerroxSetupTree = &setup; }
    void TearDown() override { g_pFerroxSetupTree = nullptr; }
    void Settings(const char* text) { ASSERT_EQ(setup.LoadFromMemory(text, std::strlen(text)), 1); }

    CFerroxTagTree setup;
    int deletions = 0;
};

const char* const kThreeLevels = "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<1>\n"
                                 "./models/levels/Berlin/berlin.gxs\n</1>\n<2>\n./models/levels/Paris/paris.gxs\n"
                                 "</2>\n<total>\n2\n</total>\n</Level_Data>\n";

TEST_F(LevelManager, LevelPathComesFromItsEntryOrFromEntryZero)
{
    Settings(kThreeLevels);
    CFerroxLevelManager manager;
    EXPECT_EQ(manager.GetLevel(), 1);
    auto owned = std::make_unique<CRecordingWorld>(&deletions);
    CRecordingWorld* world = owned.get();
    manager.SetWorld(std::move(owned));
    ASSERT_EQ(manager.Create(), 1);
    EXPECT_EQ(world->path, "./models/levels/Berlin/berlin.gxs");
    // The level is made before any camera exists.
    EXPECT_FALSE(world->cameraGiven);

    manager.SetLevel(3);
    ASSERT_EQ(manager.Create(), 1);
    EXPECT_EQ(world->path, "./models/levels/London/london.gxs");
    world->result = 0;
    EXPECT_EQ(manager.Create(), 0);
}

TEST_F(LevelManager, MissingBlockOrEntriesOrWorldGiveNoLevel)
{
    Settings("<Game_Data>\n<Language>\n0\n</Language>\n</Game_Data>\n");
    CFerroxLevelManager manager;
    EXPECT_EQ(manager.Create(), 0);  // no world to create
    manager.SetWorld(std::make_unique<CRecordingWorld>(&deletions));
    EXPECT_EQ(manager.Create(), 0);
    Settings("<Level_Data>\n<5>\n./five.gxs\n</5>\n</Level_Data>\n");
    EXPECT_EQ(manager.Create(), 0);  // neither level 1 nor 0
    std::string path;
    EXPECT_TRUE(FerroxLevelPath(&setup, 5, &path));
    EXPECT_EQ(path, "./five.gxs");
    EXPECT_FALSE(FerroxLevelPath(nullptr, 0, &path));
    Settings("<Level_Data>\n<1>\n</1>\n</Level_Data>\n");
    EXPECT_EQ(manager.Create(), 0);  // an entry without a path
}

TEST_F(LevelManager, UpdateReachesTheWorldAndUnloadDeletesItOnce)
{
    CFerroxLevelManager manager;
    EXPECT_EQ(manager.UnloadLevel(), 1);
    auto owned = std::make_unique<CRecordingWorld>(&deletions);
    CRecordingWorld* world = owned.get();
    manager.SetWorld(std::move(owned));
    manager.Update(0.25f);
    EXPECT_FLOAT_EQ(world->updated, 0.25f);
    EXPECT_EQ(manager.UnloadLevel(), 1);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(manager.GetWorld(), nullptr);
    manager.SetWorld(std::make_unique<CRecordingWorld>(&deletions));
    manager.SetWorld(std::make_unique<CRecordingWorld>(&deletions));  // the one held before goes
    EXPECT_EQ(deletions, 2);
    manager.Release();
    EXPECT_EQ(deletions, 3);

    // Init drops the world it holds by deleting it, and starts again at level 1.
    manager.SetWorld(std::make_unique<CRecordingWorld>(&deletions));
    manager.SetLevel(4);
    manager.Init();
    EXPECT_EQ(deletions, 4);
    EXPECT_EQ(manager.GetWorld(), nullptr);
    EXPECT_EQ(manager.GetLevel(), 1);
}

}  // namespace
