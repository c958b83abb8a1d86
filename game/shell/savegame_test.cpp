// Saved games: the calendar and every section travel, sections load in any order, a scenario holds two of
// them, a failed save keeps the old file, and a file that is no save (or any cut of one) is refused unharmed.
#include "game/shell/savegame.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "game/shell/conditions.h"
#include "game/shell/game_testing.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"
#include "game/world/world.h"

namespace {

const char kSetup[] =
    "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<1>\n./models/levels/Berlin/berlin.gxs\n</1>\n"
    "<2>\n./models/levels/Paris/paris.gxs\n</2>\n<total>\n2\n</total>\n</Level_Data>\n";
const char kConditions[] = "<CONDITIONS>\r\n3\r\n2,1,500\r\n0,0,-20000,4,1,9\r\n</CONDITIONS>\r\n";

// A map of one ground whose storeys stand at the heights given, one body of 36 cells each.
std::string MapSection(const std::vector<std::string>& heights)
{
    std::string map = "<MAP>\r\n2\r\n<MESH>\r\n";
    for (const std::string& height : heights)
        map += height + "\r\n<SUBMESH>\r\n1,36\r\n\r\n</SUBMESH>\r\n";
    return map + "</MESH>\r\n</MAP>\r\n";
}

// The parts of a running game: real conditions and statistics, and a record of what the load did.
class RecordingParts : public CGameSaveParts {
public:
    explicit RecordingParts(CLevelManager* level) : m_pLevel(level) {}
    void LeaveLevel() override
    {
        events.push_back("leave");
        conditions.Reset();
    }
    // The game's own level start, which without a set-up game only starts the clock and the calendar afresh.
    int StartLevel() override
    {
        events.push_back("start " + std::to_string(m_pLevel->GetLevel()));
        if (onStart)
            onStart();
        return g_pGame->StartLevel();
    }
    CConditions* GetConditions() override { return &conditions; }
    CFloorManager* GetFloorManager() override { return nullptr; }
    CStatistics* GetStatistics() override { return &statistics; }
    void SaveObjects(CFerroxFile* file) override
    {
        file->WriteLine("<OBJECTS>\r\nshop\r\n</OBJECTS>\r\n");
        statistics.Save(file);
    }
    int LoadObjects(CFerroxTagFile* file) override
    {
        events.push_back(file->SeekTag("<OBJECTS>") == 0 ? "objects" : "no objects");
        return 0;
    }

    CConditions conditions;
    CStatistics statistics;
    std::vector<std::string> events;
    // Runs between the level's line and the other sections of a load.
    std::function<void()> onStart;

private:
    CLevelManager* m_pLevel;
};

class SaveGame : public GameTest {
protected:
    void SetUp() override
    {
        GameTest::SetUp();
        setup.LoadFromMemory(kSetup, sizeof(kSetup) - 1);
        g_pFerroxSetupTree = &setup;
        game->m_pLevelManager = std::make_unique<CLevelManager>();
        level = static_cast<CLevelManager*>(game->m_pLevelManager.get());
        auto world = std::make_unique<CWorld>();
        world->SetName("./models/levels/Berlin/berlin.gxs");
        level->SetWorld(std::move(world));
        level->SetLevel(1);
        parts = std::make_unique<RecordingParts>(level);
        game->SetSaveParts(parts.get());
        SetCalendar(2007, 5, 321);
        WriteFile(Path("conditions.fds"), kConditions);
        CFerroxTagFile file;
        ASSERT_EQ(0, file.Open(Path("conditions.fds").c_str(), 1));
        ASSERT_EQ(1, parts->conditions.Load(&file));
        file.Close();
    }
    void TearDown() override
    {
        game->SetSaveParts(nullptr);
        parts.reset();
        g_pFerroxSetupTree = nullptr;
        GameTest::TearDown();
    }
    void SetCalendar(uint16_t year, uint16_t month, uint16_t day)
    {
        game->m_startYear = year;
        game->m_startMonth = month;
        game->m_dayCounter = day;
    }
    void ExpectCalendar(uint16_t year, uint16_t month, uint16_t day)
    {
        EXPECT_EQ(year, game->m_startYear);
        EXPECT_EQ(month, game->m_startMonth);
        EXPECT_EQ(day, game->m_dayCounter);
    }
    // The sections of a saved text, each from its tag line to its end tag line.
    static std::vector<std::string> Sections(const std::string& text)
    {
        std::vector<std::string> sections;
        size_t start = 0;
        while (start < text.size()) {
            const size_t open = text.find("\r\n", start);
            const std::string tag = text.substr(start + 1, open - start - 1);
            const std::string close = "</" + tag + "\r\n";
            const size_t end = text.find(close, open) + close.size();
            sections.push_back(text.substr(start, end - start));
            start = end;
        }
        return sections;
    }
    // The game after the load starts from another level, another calendar and no conditions.
    void Scramble()
    {
        level->SetLevel(0);
        SetCalendar(2010, 9, 7);
        parts->conditions.Reset();
        parts->events.clear();
    }

    CFerroxTagTree setup;
    CLevelManager* level = nullptr;
    std::unique_ptr<RecordingParts> parts;
};

TEST_F(SaveGame, CalendarAndSectionsComeBackFromTheFileInAnyOrder)
{
    const std::string path = Path("mall.fds");
    ASSERT_EQ(1, game->SaveGame(path.c_str()));
    const std::string saved = ReadFile(path);
    EXPECT_EQ(0u, saved.find("<GAME_DATA>\r\n2007\r\n5\r\n321\r\n</GAME_DATA>\r\n<LEVEL>\r\n"));
    const std::vector<std::string> sections = Sections(saved);
    std::vector<std::string> tags;
    for (const std::string& section : sections)
        tags.push_back(section.substr(0, section.find("\r\n")));
    EXPECT_EQ(
        (std::vector<std::string>{"<GAME_DATA>", "<LEVEL>", "<CONDITIONS>", "<OBJECTS>", "<STATISTICS>", "<TECHTREE>"}),
        tags);

    // Written in reverse order, with the calendar after the objects, the file loads all the same.
    std::string reversed;
    for (auto section = sections.rbegin(); section != sections.rend(); ++section)
        reversed += *section;
    WriteFile(Path("reversed.fds"), reversed);
    for (const std::string& name : {path, Path("reversed.fds")}) {
        Scramble();
        ASSERT_EQ(1, game->LoadGame(name.c_str())) << name;
        ExpectCalendar(2007, 5, 321);
        // The level is chosen from the file before it is built.
        EXPECT_EQ((std::vector<std::string>{"leave", "start 1", "objects"}), parts->events);
        ASSERT_EQ(1u, parts->conditions.GetWin().size());
        EXPECT_EQ(500, parts->conditions.GetWin()[0].threshold);
        EXPECT_EQ(2u, parts->conditions.GetLose().size());
        ASSERT_EQ(1, game->SaveGame(Path("again.fds").c_str()));
        EXPECT_EQ(saved, ReadFile(Path("again.fds")));
    }
}

TEST_F(SaveGame, AScenarioKeepsTheCalendarAndBuildsNoObjects)
{
    WriteFile(Path("scenario.fds"),
              std::string("<LEVEL>\r\n./models/levels/Paris/paris.gxs\r\n</LEVEL>\r\n") + kConditions);
    Scramble();
    ASSERT_EQ(1, game->LoadGame(Path("scenario.fds").c_str()));
    ExpectCalendar(2010, 9, 7);
    EXPECT_EQ((std::vector<std::string>{"leave", "start 2", "no objects"}), parts->events);
    EXPECT_EQ(3, parts->conditions.m_value);
    EXPECT_EQ(1u, parts->conditions.GetWin().size());
}

// Values a load refuses make it a partial load, and each keeps what it held: a value of the calendar (the others are
// the save's), a figure of the statistics, and a level no level list has.
TEST_F(SaveGame, RefusedValuesMakeAPartialLoadThatKeepsTheRunningGame)
{
    const struct {
        const char* data;
        uint16_t year, month, day;
    } calendars[] = {
        {"<GAME_DATA>\r\n65535\r\n4294967295\r\n-1\r\n</GAME_DATA>\r\n", 65535, 9, 7},
        {"<GAME_DATA>\r\n2001\r\nmay\r\n3\r\n</GAME_DATA>\r\n", 2001, 9, 3},
        {"<GAME_DATA>\r\n2001\r\n2\r\n70000\r\n</GAME_DATA>\r\n", 2001, 2, 7},
    };
    for (const auto& c : calendars) {
        WriteFile(Path("refused.fds"), c.data + std::string(kConditions) + "<TECHTREE>\r\n\r\n\r\n</TECHTREE>\r\n");
        Scramble();
        EXPECT_EQ(kGameLoadDropped, game->LoadGame(Path("refused.fds").c_str())) << c.data;
        ExpectCalendar(c.year, c.month, c.day);
        EXPECT_EQ(1u, parts->conditions.GetWin().size()) << "the rest of the file is loaded";
    }
    EXPECT_EQ(kGameLoadDroppedMessage, GameLoadMessage(kGameLoadDropped));

    parts->statistics.m_takings = 777;
    parts->statistics.m_shoppersCome = 12;
    ASSERT_EQ(1, game->SaveGame(Path("mall.fds").c_str()));
    std::string saved = ReadFile(Path("mall.fds"));
    const size_t takings = saved.find("\r\n777\r\n") + 2;
    saved.replace(takings, 3, "99999999999");
    WriteFile(Path("figures.fds"), saved);
    parts->statistics.m_takings = 555;
    parts->statistics.m_shoppersCome = 0;
    EXPECT_EQ(kGameLoadDropped, game->LoadGame(Path("figures.fds").c_str()));
    EXPECT_EQ(555u, parts->statistics.m_takings);
    EXPECT_EQ(12, parts->statistics.m_shoppersCome) << "the figures that read are the save's";

    WriteFile(Path("level.fds"), "<LEVEL>\r\n./models/levels/Rome/rome.gxs\r\n</LEVEL>\r\n");
    Scramble();
    EXPECT_EQ(kGameLoadDropped, game->LoadGame(Path("level.fds").c_str()));
    EXPECT_EQ(0, level->GetLevel());
    ExpectCalendar(2010, 9, 7);
}

// A load rebuilds the game's past (a contract completed long ago unlocks again), and what the replay tells is
// posted as any message: nothing is held back while the game loads. Without statistics the level of the
// category is unknown, so the unlock is told again.
TEST_F(SaveGame, ALoadPostsWhatItsReplayedUnlocksTell)
{
    CFerroxTechTree* tree = game->m_pTechTree.get();
    game->m_pTechTree->LoadTechnologies(nullptr, CGame::OnTechnologyUnlocked);
    ASSERT_EQ(1, tree->Activate(tree->FindEntry(1000)));
    for (int second = 0; second < 3; second++)
        tree->Update(1.0f);
    ASSERT_EQ((std::vector<int16_t>{kGameUnlockMessageBase + 1}), notices.messages);
    ASSERT_EQ(1, game->SaveGame(Path("mall.fds").c_str()));
    tree->Reset();
    notices.Clear();
    ASSERT_EQ(kGameLoadWhole, game->LoadGame(Path("mall.fds").c_str()));
    EXPECT_EQ(FERROX_TECH_COMPLETE, tree->FindEntry(1000)->state);
    EXPECT_EQ((std::vector<int16_t>{kGameUnlockMessageBase + 1}), notices.messages);
}

TEST_F(SaveGame, AFailedSaveKeepsThePreviousFile)
{
    const std::string path = Path("mall.fds");
    ASSERT_EQ(1, game->SaveGame(path.c_str()));
    const std::string previous = ReadFile(path);
    SetCalendar(2008, 2, 400);
    // A failure at every write in turn, until there are more writes than the save makes.
    int saved = 0;
    for (LONG successes = 0; !saved && successes < 1000; successes++) {
        {
            FerroxFailWritesAfter failing(successes);
            saved = game->SaveGame(path.c_str());
        }
        if (!saved) {
            EXPECT_EQ(previous, ReadFile(path)) << "after " << successes << " writes";
            EXPECT_TRUE(Temporaries().empty());
        }
    }
    ASSERT_EQ(1, saved);
    EXPECT_EQ(0u, ReadFile(path).find("<GAME_DATA>\r\n2008\r\n2\r\n400\r\n"));
    // A temporary a run cut off while saving left stands in no later save's way (the save panel clears it).
    const std::string left = path + ".0123456789abcdef.tmp";
    WriteFile(left, "<GAME_DATA>\r\n20");
    ASSERT_EQ(1, game->SaveGame(path.c_str()));
    EXPECT_EQ(std::vector<std::string>{"mall.fds.0123456789abcdef.tmp"}, Temporaries());
    EXPECT_EQ(0u, ReadFile(path).find("<GAME_DATA>\r\n2008\r\n2\r\n400\r\n"));
    EXPECT_EQ(0, game->SaveGame(Path("no/such/folder/mall.fds").c_str()));
    EXPECT_EQ(0, game->SaveGame(""));
}

TEST_F(SaveGame, AFileThatIsNoSaveChangesNothing)
{
    WriteFile(Path("empty.fds"), "");
    WriteFile(Path("notes.fds"), "GAME_DATA\r\n2001\r\n<LEVEL\r\n");
    WriteFile(Path("tagonly.fds"), "<LEVEL>");
    for (const std::string& name :
         {Path("missing.fds"), Path("empty.fds"), Path("notes.fds"), Path("tagonly.fds"), Path("")}) {
        EXPECT_EQ(0, game->LoadGame(name.c_str())) << name;
        EXPECT_TRUE(parts->events.empty()) << name;
        ExpectCalendar(2007, 5, 321);
        EXPECT_EQ(1, level->GetLevel());
        EXPECT_EQ(1u, parts->conditions.GetWin().size());
    }
}

// A save that does not read whole (cut, a line too long, a section short of a line or out of place, a map whose
// storeys do not rise) is refused before anything of the running game changes; text between sections and a section written again
// are read past, each reader taking the first copy of its section.
TEST_F(SaveGame, ADamagedSaveIsRefusedWithTheGameAsItWas)
{
    const std::string path = Path("mall.fds");
    ASSERT_EQ(1, game->SaveGame(path.c_str()));
    const std::string saved = ReadFile(path);
    const size_t objects = saved.find("<OBJECTS>");
    const size_t techTree = saved.find("<TECHTREE>");
    ASSERT_NE(std::string::npos, techTree);
    std::string longLine = saved;
    longLine.insert(objects + 11, std::string(kGameFileMaxLine + 1, 'x') + "\r\n");
    std::string shortSection = saved;
    const size_t firstFigure = saved.find("<STATISTICS>\r\n") + 14;
    shortSection.erase(firstFigure, saved.find("\r\n", firstFigure) + 2 - firstFigure);
    std::string twice = saved;
    twice.insert(techTree, saved.substr(objects, saved.find("<STATISTICS>") - objects));
    // A storey at or under the one below would be read into it by the next load: the map is damaged.
    const auto withMap = [&saved, techTree](const std::vector<std::string>& heights) {
        return std::string(saved).insert(techTree, MapSection(heights));
    };
    struct Case {
        std::string text;
        const char* problem;
    };
    const Case cases[] = {
        {saved.substr(0, saved.find("</STATISTICS>") + 5), "ends inside <STATISTICS>"},
        {longLine, "holds a line longer than any save has"},
        {shortSection, "holds <STATISTICS> with 16 lines, not 17"},
        {saved.substr(0, techTree), "ends before <TECHTREE>"},
        {"<LEVEL>\r\nx<CONDITIONS>\r\n</LEVEL>\r\n", "holds <CONDITIONS> inside another line"},
        {"<LEVEL>\r\n<CONDITIONS>\r\n", "opens <CONDITIONS> inside <LEVEL>"},
        {"</LEVEL>\r\n", "closes </LEVEL> without opening it"},
        {withMap({"0.00000", "-4.00000", "0.00000"}), "holds a map whose storeys do not rise"},
        {withMap({"0", "4", "8", "8"}), "holds a map whose storeys do not rise"},
    };
    for (const Case& c : cases) {
        WriteFile(Path("damaged.fds"), c.text);
        CFerroxTagFile file;
        ASSERT_EQ(0, file.Open(Path("damaged.fds").c_str(), 1));
        EXPECT_EQ(c.problem, GameFileProblem(&file, true));
        file.Close();
        SetCalendar(1999, 12, 1);
        parts->events.clear();
        EXPECT_EQ(kGameLoadRefused, game->LoadGame(Path("damaged.fds").c_str())) << c.problem;
        EXPECT_TRUE(parts->events.empty()) << c.problem;
        ExpectCalendar(1999, 12, 1);
        EXPECT_EQ(1u, parts->conditions.GetWin().size());
    }
    EXPECT_EQ(kGameLoadWhole, game->LoadGame(path.c_str()));
    ExpectCalendar(2007, 5, 321);

    // A control byte is text as any other: in a line between sections no reader sees it.
    for (const std::string& text :
         {twice, "notes\r\n" + saved + "\r\nmore\x01notes\r\n", withMap({"0", "4", "0", "8"})}) {
        WriteFile(Path("readable.fds"), text);
        CFerroxTagFile file;
        ASSERT_EQ(0, file.Open(Path("readable.fds").c_str(), 1));
        EXPECT_EQ("", GameFileProblem(&file, true));
        file.Close();
        SetCalendar(1999, 12, 1);
        EXPECT_EQ(kGameLoadWhole, game->LoadGame(Path("readable.fds").c_str()));
        ExpectCalendar(2007, 5, 321);
    }
}

// Every cut of a save either is refused untouched or loads; a calendar is taken whole or not at all.
TEST_F(SaveGame, EveryCutOfASaveLoadsOrIsRefused)
{
    const std::string path = Path("mall.fds");
    ASSERT_EQ(1, game->SaveGame(path.c_str()));
    const std::string saved = ReadFile(path);
    for (size_t size = 0; size <= saved.size(); size++) {
        WriteFile(Path("cut.fds"), saved.substr(0, size));
        SetCalendar(1999, 12, 1);
        parts->events.clear();
        const int loaded = game->LoadGame(Path("cut.fds").c_str());
        EXPECT_EQ(loaded != 0, !parts->events.empty()) << size;
        const bool whole = game->m_startYear == 2007 && game->m_startMonth == 5 && game->m_dayCounter == 321;
        const bool kept = game->m_startYear == 1999 && game->m_startMonth == 12 && game->m_dayCounter == 1;
        EXPECT_TRUE(whole || kept) << size;
    }
}

// Another program renaming a file over the save while it loads (as a second game saving that name does): the load
// reads the bytes it checked, so it is the first save whole, never parts of two files nor a section of neither.
TEST_F(SaveGame, ASaveRenamedOverDuringTheLoadLoadsTheCheckedSaveWhole)
{
    const std::string path = Path("mall.fds");
    parts->statistics.m_takings = 111;
    ASSERT_EQ(1, game->SaveGame(path.c_str()));
    const std::string first = ReadFile(path);
    std::string second = first;
    second.replace(second.find("2007"), 4, "2011");
    second.replace(second.find("2,1,500"), 7, "2,1,900");
    second.replace(second.find("\r\n111\r\n"), 7, "\r\n222\r\n");
    const std::pair<std::string, std::string> swaps[] = {
        {"another whole save", second},
        {"no save at all", "<NOTES>\r\n" + std::string(3 * kGameFileMaxLine, 'x') + "\r\n"},
        {"an empty file", ""},
    };
    for (const auto& [what, text] : swaps) {
        WriteFile(path, first);
        WriteFile(Path("swap.fds"), text);
        const std::string rename = "mv -f '" + Path("swap.fds") + "' '" + path + "'";
        int renamed = -1;
        parts->onStart = [&]() { renamed = std::system(rename.c_str()); };
        Scramble();
        parts->statistics.m_takings = 0;
        EXPECT_EQ(kGameLoadWhole, game->LoadGame(path.c_str())) << what;
        ASSERT_EQ(0, renamed) << what;
        EXPECT_EQ(text, ReadFile(path)) << what << ": the file was replaced during the load";
        ExpectCalendar(2007, 5, 321);
        ASSERT_EQ(1u, parts->conditions.GetWin().size()) << what;
        EXPECT_EQ(500, parts->conditions.GetWin()[0].threshold) << what;
        EXPECT_EQ(111u, parts->statistics.m_takings) << what;
        EXPECT_EQ((std::vector<std::string>{"leave", "start 1", "objects"}), parts->events) << what;
    }
    parts->onStart = nullptr;
}

}  // namespace
