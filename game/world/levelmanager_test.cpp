// The game's level manager: the game type chooses the level, "<LEVEL>" names the level a save belongs to, and
// the highest level whose path holds the saved name wins, an empty name included.
#include "game/world/levelmanager.h"

#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/world/world.h"

namespace {

const char kSetup[] =
    "<Game_Data>\n<Game_type>\nscenario\n<normal>\n0\n</normal>\n<scenario>\n2\n</scenario>\n</Game_type>\n"
    "</Game_Data>\n"
    "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<1>\n./models/levels/Berlin/berlin.gxs\n</1>\n"
    "<2>\n./models/levels/Paris/paris.gxs\n</2>\n<3>\n./old/Paris/paris.gxs\n</3>\n<total>\n3\n</total>\n"
    "</Level_Data>\n";

class LevelManager : public FerroxTestFiles {
protected:
    void SetUp() override
    {
        FerroxTestFiles::SetUp();
        Use(kSetup);
    }
    void TearDown() override
    {
        g_pFerroxSetupTree = nullptr;
        FerroxTestFiles::TearDown();
    }
    void Use(const std::string& text)
    {
        setup.LoadFromMemory(text.data(), text.size());
        g_pFerroxSetupTree = &setup;
    }
    // The level section a manager holding a world of that name writes.
    std::string SaveLevel(const char* worldName)
    {
        CLevelManager saver;
        auto world = std::make_unique<CWorld>();
        world->SetName(worldName);
        saver.SetWorld(std::move(world));
        CFerroxFile file;
        EXPECT_EQ(file.Open(Path("save.fds").c_str(), 0), 0);
        file.WriteLine("<GAME_DATA>\r\n");
        saver.Save(&file);
        EXPECT_EQ(file.Close(), 0);
        return ReadFile(Path("save.fds"));
    }
    int LoadLevel(int current)
    {
        CLevelManager loader;
        loader.SetLevel(current);
        CFerroxTagFile file;
        EXPECT_EQ(file.Open(Path("save.fds").c_str(), 1), 0);
        loader.Load(&file);
        file.Close();
        return loader.GetLevel();
    }

    CFerroxTagTree setup;
};

TEST_F(LevelManager, TheGameTypeOfTheSettingsChoosesTheLevel)
{
    CLevelManager level;
    EXPECT_EQ(level.ReadGameType(), 1);
    EXPECT_EQ(level.GetLevel(), 2);

    Use("<Game_Data>\n<Game_type>\nfree\n<normal>\n0\n</normal>\n</Game_type>\n</Game_Data>\n");
    CFerroxTagTree* kept = g_pFerroxSetupTree;
    CLevelManager unchanged;
    EXPECT_EQ(unchanged.ReadGameType(), 1);
    EXPECT_EQ(unchanged.GetLevel(), 1);
    g_pFerroxSetupTree = nullptr;
    EXPECT_EQ(unchanged.ReadGameType(), 1);
    g_pFerroxSetupTree = kept;
}

// The game type loses one final LF only; an empty type is held by every name, so the first type is taken.
TEST_F(LevelManager, TheGameTypeLosesOneLineEndAndAnEmptyTypeTakesTheFirst)
{
    const auto levelFor = [this](const char* type) {
        Use("<Game_Data>\n<Game_type>\nx\n<normal>\n4\n</normal>\n<scenario>\n2\n</scenario>\n</Game_type>\n"
            "</Game_Data>\n");
        setup.FindNode("Game_type", 1);
        setup.GetValues()->clear();
        setup.AddValue(type);
        CLevelManager level;
        level.ReadGameType();
        return level.GetLevel();
    };
    EXPECT_EQ(levelFor("scenario\n"), 2);
    EXPECT_EQ(levelFor(""), 4);
    EXPECT_EQ(levelFor("scenario\r\n"), 1);
    EXPECT_EQ(levelFor("scenario\n\n"), 1);
}

// Without a total, or with one that holds no number, the scan looks at level 0 alone.
TEST_F(LevelManager, AMissingOrUnreadableTotalScansLevelZeroOnly)
{
    for (const char* total : {"", "<total>\nmany\n</total>\n"}) {
        Use(std::string("<Level_Data>\n<0>\n./a.gxs\n</0>\n<1>\n./b.gxs\n</1>\n") + total + "</Level_Data>\n");
        SaveLevel("./a.gxs");
        EXPECT_EQ(LoadLevel(1), 0) << total;
        SaveLevel("./b.gxs");
        EXPECT_EQ(LoadLevel(3), 3) << total;
    }
}

TEST_F(LevelManager, TheSavedWorldNameBringsBackItsLevelTheHighestWhenPathsShareIt)
{
    EXPECT_EQ(SaveLevel("./models/levels/Berlin/berlin.gxs"),
              "<GAME_DATA>\r\n<LEVEL>\r\n./models/levels/Berlin/berlin.gxs\r\n</LEVEL>\r\n");
    EXPECT_EQ(LoadLevel(0), 1);
    SaveLevel("./models/levels/London/london.gxs");
    EXPECT_EQ(LoadLevel(2), 0);
    // Levels 2 and 3 both hold this name.
    SaveLevel("Paris/paris.gxs");
    EXPECT_EQ(LoadLevel(0), 3);
    SaveLevel("./models/levels/Rome/rome.gxs");
    EXPECT_EQ(LoadLevel(1), 1);

    {
        std::ofstream out(Path("save.fds"), std::ios::binary | std::ios::trunc);
        out << "<GAME_DATA>\r\n1\r\n";
    }
    EXPECT_EQ(LoadLevel(2), 2);
    {
        std::ofstream out(Path("save.fds"), std::ios::binary | std::ios::trunc);
        out << "<LEVEL>\r\n\r\n</LEVEL>\r\n";
    }
    EXPECT_EQ(LoadLevel(1), 3) << "every path holds an empty name";
}

// A block of `entries` entries after the three levels, each named by `digits` random digits.
std::string DigitNamedBlock(size_t entries, size_t digits, const char* total, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text = "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<1>\n"
                       "./models/levels/Berlin/berlin.gxs\n</1>\n<2>\n./models/levels/Paris/paris.gxs\n</2>\n";
    for (size_t entry = 0; entry < entries; entry++) {
        std::string name;
        for (size_t i = 0; i < digits; i++)
            name += static_cast<char>('0' + random() % 10);
        text += "<" + name + ">\n./x" + std::to_string(entry % 7) + ".gxs\n</" + name + ">\n";
    }
    return text + "<total>\n" + total + "\n</total>\n</Level_Data>\n";
}

// The scan as it reads: from the total down to 0, the first child whose name holds the number's text.
int ScanFromTotal(CFerroxTagTree* setup, int total, const std::string& saved, int current)
{
    setup->FindNode("Level_Data", 1);
    CFerroxTagNode* block = setup->GetCursor();
    for (int n = total; n >= 0; n--) {
        setup->SetCursor(block);
        if (!setup->FindChild(std::to_string(n).c_str()))
            continue;
        std::string path = setup->GetValue(0) ? setup->GetValue(0) : "";
        if (!path.empty() && path.back() == '\n')
            path.pop_back();
        if (path.find(saved) != std::string::npos)
            return n;
    }
    return current;
}

// Entries named by long runs of digits under the highest total: the level is found in the time the block's size
// allows (every number a name holds once), not one search of the block for each number up to the total.
TEST_F(LevelManager, ALevelListOfLongDigitNamesLoadsInTheTimeItsSizeAllows)
{
    const std::string text = DigitNamedBlock(1000, 1000, "2147483647", 83);
    ASSERT_GT(text.size(), 2000000u);
    Use(text);
    SaveLevel("./models/levels/Paris/paris.gxs");
    EXPECT_EQ(LoadLevel(0), 2);
    SaveLevel("./models/levels/Rome/rome.gxs");
    EXPECT_EQ(LoadLevel(1), 1);
    // Paths a seventh of the long names share: a ten-digit number one of them holds first.
    SaveLevel("./x3.gxs");
    const int level = LoadLevel(0);
    EXPECT_GE(level, 1000000000);
    setup.FindNode("Level_Data", 1);
    ASSERT_TRUE(setup.FindChild(std::to_string(level).c_str()));
    EXPECT_STREQ(setup.GetValue(0), "./x3.gxs");
}

// The same level as the scan that tries every number from the total down, names with leading zeros and numbers
// held by several names included.
TEST_F(LevelManager, ThePickedLevelIsTheOneTheScanFromTheTotalFinds)
{
    for (const char* total : {"0", "7", "99", "4321", "20000"}) {
        Use(DigitNamedBlock(40, 6, total, 7));
        for (const char* saved : {"./x0.gxs", "./x3.gxs", "./x6.gxs", "Paris", "London", "./nowhere.gxs", ""}) {
            SaveLevel(saved);
            EXPECT_EQ(LoadLevel(-5), ScanFromTotal(&setup, std::stoi(total), saved, -5))
                << "total " << total << ", saved " << saved;
        }
    }
}

TEST_F(LevelManager, CreatingTheLevelMakesTheGamesWorld)
{
    CLevelManager level;
    level.SetLevel(0);
    // The level file is not there: the world exists, the level is not created.
    EXPECT_EQ(level.CreateWorld(), 0);
    EXPECT_NE(dynamic_cast<CWorld*>(level.GetWorld()), nullptr);
    level.UnloadLevel();
    EXPECT_EQ(level.GetWorld(), nullptr);
}

}  // namespace
