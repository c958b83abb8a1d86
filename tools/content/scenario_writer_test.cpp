// The first scenarios: one file per city view and number, each described by an entry of the "scenarios" text
// list, read back by the city view, the level manager and the conditions as written.
#include "tools/content/scenario_writer.h"

#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/shell/conditions.h"
#include "game/shell/savegame.h"
#include "game/world/levelmanager.h"
#include "ui/frontend/citycanvas.h"

namespace {

class Scenarios : public FerroxTestFiles {
protected:
    void TearDown() override
    {
        g_pFerroxSetupTree = nullptr;
        FerroxTestFiles::TearDown();
    }
    static std::string SourceText(const char* name)
    {
        const char* source = std::getenv("MALL_SOURCE_DIR");
        return ReadFile(std::string(source ? source : ".") + "/tools/content/text/" + name);
    }
};

TEST_F(Scenarios, EveryCityViewFindsItsScenariosAndTheyReadBackAsWritten)
{
    ASSERT_TRUE(ContentWriteScenarios(Path("root"), nullptr));
    CFerroxTagTree setup;
    const std::string setupText = SourceText("setup.xml");
    ASSERT_TRUE(setup.LoadFromMemory(setupText.data(), setupText.size()));
    g_pFerroxSetupTree = &setup;
    CFerroxTagTree language;
    const std::string languageText = SourceText("language.xml");
    ASSERT_TRUE(language.LoadFromMemory(languageText.data(), languageText.size()));

    // The level numbers the shipped settings give the cities.
    const std::map<std::string, int> levelOf = {{"London/london", 0}, {"Berlin/berlin", 1}, {"Paris/paris", 2}};
    std::set<int> descriptions;
    for (const char* city : {"London/london", "Berlin/berlin", "Paris/paris"}) {
        for (int number = 1; number <= 3; number++) {
            // The name the city view forms from its picture.
            const std::string picture = std::string("./images/scenario/") + city + ".png";
            const std::string name = CityScenarioPath(picture.c_str(), number).substr(2);
            const std::string path = Path("root/" + name);
            ASSERT_TRUE(Exists(path)) << name;
            int16_t description = -1;
            ASSERT_TRUE(CityReadDescription(path.c_str(), &description)) << name;
            descriptions.insert(description);
            ASSERT_TRUE(language.FindNode("scenarios", 1));
            EXPECT_TRUE(language.FindChild(std::to_string(description).c_str())) << name;

            CFerroxTagFile file;
            ASSERT_EQ(0, file.Open(path.c_str(), 1));
            EXPECT_EQ(1, GameFileHoldsSection(&file));
            CLevelManager level;
            level.SetLevel(-1);
            level.Load(&file);
            EXPECT_EQ(levelOf.at(city), level.GetLevel()) << name;
            CConditions conditions;
            ASSERT_EQ(1, conditions.Load(&file)) << name;
            file.Close();
            EXPECT_EQ(description, conditions.m_value);
            EXPECT_FALSE(conditions.GetWin().empty()) << name;
            EXPECT_FALSE(conditions.GetLose().empty()) << name;
        }
    }
    EXPECT_EQ(9u, descriptions.size());
}

TEST_F(Scenarios, AFailedWriteKeepsTheOldScenario)
{
    ASSERT_TRUE(ContentWriteScenarios(Path("root"), nullptr));
    const std::string path = Path("root/scenarios/london1.fds");
    WriteFile(path, "old");
    {
        FerroxFailWritesAfter failing(0);
        std::string detail;
        EXPECT_FALSE(ContentWriteScenarios(Path("root"), &detail));
        EXPECT_NE(std::string::npos, detail.find("london1.fds"));
    }
    EXPECT_EQ("old", ReadFile(path));
}

}  // namespace
