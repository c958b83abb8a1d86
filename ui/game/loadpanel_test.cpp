// The load panel: the question, the file that was listed, the typed name, and refused names.
#include "ui/game/loadpanel.h"

#include "game/shell/savegame.h"
#include "ui/game/filepanel_testing.h"

namespace {

using LoadPanelTest = FilePanelTest<CLoadPanel>;

TEST_F(LoadPanelTest, LoadOpensTheListedFileOfTheFolderEnteredByItsRow)
{
    Touch("maps/game.fds");
    Touch("maps/sub/game.fds");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_FIRST_ROW + 1);  // the folder row
    EXPECT_EQ(panel->GetNameText(), "game");
    Press(FILE_PANEL_ACT);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].text, kLoadPanelQuestion);
    EXPECT_EQ(notices.questions[0].list, kFilePanelTestMessageList);
    EXPECT_EQ(notices.questions[0].closeBoth, 1);
    EXPECT_TRUE(seam.loaded.empty());
    EXPECT_FALSE(Resumed());
    Yes();
    // The folder path and the name, read from the start folder.
    ASSERT_EQ(seam.loaded.size(), 1u);
    EXPECT_EQ(seam.loaded[0], "./maps/sub/game.fds");
    EXPECT_TRUE(std::filesystem::equivalent(seam.loadedFrom[0], start));
    EXPECT_TRUE(Resumed());
    EXPECT_EQ(panel->GetFolderPath(), "./");
    EXPECT_EQ(Here(), ".");

    // Reopened, it starts in "maps" again.
    panel->OpenMapsFolder();
    EXPECT_EQ(panel->GetFolderPath(), "./maps/");
}

// A save written under a typed name that is not UTF-8 is listed, and that name typed again loads it: the path handed
// to the game opens the file the listing showed.
TEST_F(LoadPanelTest, ASaveNamedWithBytesThatAreNotUtf8IsListedAndLoadsByThatName)
{
    ASSERT_EQ(1, seam.SaveGame((start / "maps" / "caf\xE9.fds").string().c_str()));
    panel->OpenMapsFolder();
    ASSERT_EQ(Names(), (std::vector<std::string>{"caf\xEF\xBF\xBD"}));
    Type("caf\xE9");
    Press(FILE_PANEL_ACT);
    Yes();
    ASSERT_EQ(seam.loaded.size(), 1u);
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(seam.loaded[0].c_str(), 1));
    std::string line;
    file.ReadLine(line);
    file.Close();
    EXPECT_EQ(line, "game");
}

TEST_F(LoadPanelTest, AnAnswerAfterThePanelWentActsOnNothing)
{
    Touch("maps/a.fds");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_ACT);
    Type("new");
    Press(FILE_PANEL_NEW_FOLDER);
    ASSERT_EQ(notices.questions.size(), 2u);
    FerroxGetGameInterface()->GetStack().Clear();
    panel.reset();
    for (const FilePanelQuestion& question : notices.questions)
        question.yes();
    EXPECT_TRUE(seam.loaded.empty());
    EXPECT_FALSE(Exists("maps/new"));
}

// The name field's text is used unchanged, over the save listed: the game's load decides what a name that finds no
// save gives.
TEST_F(LoadPanelTest, TheNameIsUsedUnchanged)
{
    Touch("maps/a.fds");
    for (const std::string name : {"../secret", "a\\b", ".", "..", "*"}) {
        panel->OpenMapsFolder();
        Type(name);
        Press(FILE_PANEL_ACT);
        Yes();
        ASSERT_FALSE(seam.loaded.empty());
        EXPECT_EQ(seam.loaded.back(), "./maps/" + name + ".fds");
    }
    EXPECT_EQ(seam.loaded.size(), 5u);
}

// The player is told when a save was refused (the running game stays) or left objects out.
TEST_F(LoadPanelTest, ARefusedOrPartLoadTellsThePlayer)
{
    Touch("maps/game.fds");
    const int results[] = {kGameLoadWhole, kGameLoadRefused, kGameLoadDropped};
    const std::vector<int16_t> told[] = {{}, {kGameLoadRefusedMessage}, {kGameLoadDroppedMessage}};
    for (int i = 0; i < 3; i++) {
        seam.loadResult = results[i];
        notices.messages.clear();
        panel->OpenMapsFolder();
        Press(FILE_PANEL_ACT);
        Yes();
        EXPECT_EQ(notices.messages, told[i]) << results[i];
        EXPECT_TRUE(Resumed());
    }
    // A name that opens no file is passed over by the game's load, untold.
    seam.loadResult = kGameLoadRefused;
    notices.messages.clear();
    panel->OpenMapsFolder();
    Type("absent");
    Press(FILE_PANEL_ACT);
    Yes();
    EXPECT_EQ(seam.loaded.back(), "./maps/absent.fds");
    EXPECT_TRUE(notices.messages.empty());
    EXPECT_TRUE(Resumed());
}

}  // namespace
