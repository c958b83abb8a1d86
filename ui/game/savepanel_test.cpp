// The save panel: new and empty names, the overwrite question, failed saves and refused names.
#include "ui/game/savepanel.h"

#include <chrono>

#include "ui/game/filepanel_testing.h"

namespace {

using SavePanelTest = FilePanelTest<CSavePanel>;

// Width and height of a BMP file, or zeros.
std::pair<int, int> BmpSize(const std::filesystem::path& path)
{
    GxImage* image = GxImageReadBMP(path.string().c_str());
    if (!image)
        return {0, 0};
    std::pair<int, int> size = {image->width, image->height};
    GxImageDestroy(image);
    return size;
}

TEST_F(SavePanelTest, NewNameWritesGameAndThumbnailInTheFolderShownWithoutAQuestion)
{
    Touch("maps/sub/x.txt");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_FIRST_ROW);  // into "sub" by its row
    Type("mymall");
    Press(FILE_PANEL_ACT);
    EXPECT_TRUE(notices.questions.empty());
    EXPECT_EQ(Read("maps/sub/mymall.fds"), "game");
    EXPECT_EQ(BmpSize(start / "maps" / "sub" / "mymall.bmp"), std::make_pair(64, 64));
    EXPECT_EQ(seam.saved, std::vector<std::string>{"mymall.fds"}) << "a path in the folder browsed";
    EXPECT_TRUE(Resumed());
    EXPECT_EQ(panel->GetFolderPath(), "./");
    EXPECT_EQ(Here(), ".");
}

// An empty name saves to ".fds" with the picture ".bmp", listed with an empty name; blanks are a name too.
TEST_F(SavePanelTest, AnEmptyNameSavesToDotFdsListedWithAnEmptyName)
{
    for (const char* name : {"", "  "}) {
        panel->OpenMapsFolder();
        Type(name);
        Press(FILE_PANEL_ACT);
        EXPECT_TRUE(notices.questions.empty()) << "'" << name << "'";
        EXPECT_EQ(Read("maps/" + std::string(name) + ".fds"), "game") << "'" << name << "'";
        EXPECT_EQ(BmpSize(start / "maps" / (std::string(name) + ".bmp")), std::make_pair(64, 64));
        EXPECT_TRUE(Resumed());
    }
    panel->OpenMapsFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{"", "  "}));
    EXPECT_EQ(panel->GetNameText(), "") << "the first save, selected, names itself";
}

TEST_F(SavePanelTest, ExistingNameAsksAndOnlyYesReplacesBoth)
{
    Touch("maps/old.fds", "before");
    Touch("maps/old.bmp", "picture");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_ACT);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].text, kSavePanelOverwriteQuestion);
    EXPECT_EQ(notices.questions[0].list, kFilePanelTestMessageList);
    EXPECT_EQ(Read("maps/old.fds"), "before");  // no: both stay
    EXPECT_EQ(Read("maps/old.bmp"), "picture");
    EXPECT_FALSE(Resumed());
    EXPECT_TRUE(seam.saved.empty());

    EXPECT_EQ(notices.questions[0].closeBoth, 1);  // a yes closes the question and the panel
    Yes();
    EXPECT_EQ(Read("maps/old.fds"), "game");
    EXPECT_EQ(BmpSize(start / "maps" / "old.bmp"), std::make_pair(64, 64));
    EXPECT_TRUE(Resumed());
    EXPECT_EQ(panel->GetFolderPath(), "./");
}

// The file layer takes a name that differs from a save's only by case for that save, so saving under it would
// write over the save: the question is asked first, and nothing is written without a yes.
TEST_F(SavePanelTest, ANameDifferingOnlyByCaseAsksBeforeItReplacesThatSave)
{
    Touch("maps/run1.fds", "before");
    Touch("maps/run1.bmp", "picture");
    for (const char* name : {"RUN1", "Run1"}) {
        panel->OpenMapsFolder();
        Type(name);
        Press(FILE_PANEL_ACT);
        ASSERT_EQ(notices.questions.size(), 1u) << name;
        EXPECT_EQ(notices.questions[0].text, kSavePanelOverwriteQuestion);
        EXPECT_TRUE(seam.saved.empty());
        EXPECT_EQ(Read("maps/run1.fds"), "before");
        notices.questions.clear();
        panel->Close();
    }
    panel->OpenMapsFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{"run1"}));
}

// The name field takes a Latin-1 letter as one byte, which is not UTF-8: such a name is one save throughout, written
// and listed under its U+FFFD form, asked about before it is replaced and deleted by its row; a file that came on
// disk under the raw bytes is reached by nothing.
TEST_F(SavePanelTest, ANameThatIsNotUtf8IsListedAskedAboutAndDeletedAsTheSaveItWrote)
{
    Touch("maps/caf\xE9.fds", "raw");
    Touch("maps/caf\xE9.bmp", "raw picture");
    panel->OpenMapsFolder();
    EXPECT_TRUE(Names().empty());
    Type("caf\xE9");
    Press(FILE_PANEL_ACT);
    EXPECT_TRUE(notices.questions.empty());
    EXPECT_EQ(Read("maps/caf\xEF\xBF\xBD.fds"), "game");
    EXPECT_EQ(BmpSize(start / "maps" / "caf\xEF\xBF\xBD.bmp"), std::make_pair(64, 64));

    panel->OpenMapsFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{"caf\xEF\xBF\xBD"}));
    Type("caf\xE9");
    seam.content = "again";
    Press(FILE_PANEL_ACT);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].text, kSavePanelOverwriteQuestion);
    EXPECT_EQ(Read("maps/caf\xEF\xBF\xBD.fds"), "game");
    Yes();
    EXPECT_EQ(Read("maps/caf\xEF\xBF\xBD.fds"), "again");
    notices.questions.clear();

    panel->OpenMapsFolder();
    Press(FILE_PANEL_DELETE);
    ASSERT_EQ(notices.questions.size(), 1u);
    Yes();
    EXPECT_TRUE(Names().empty());
    EXPECT_FALSE(Exists("maps/caf\xEF\xBF\xBD.fds"));
    EXPECT_FALSE(Exists("maps/caf\xEF\xBF\xBD.bmp"));
    EXPECT_EQ(Read("maps/caf\xE9.fds"), "raw");
    EXPECT_EQ(Read("maps/caf\xE9.bmp"), "raw picture");
}

// The panel closes whether or not the save was written; a failed one is told and writes no picture, so an older
// save keeps its own.
TEST_F(SavePanelTest, FailedSaveClosesThePanelWritesNoThumbnailAndTellsThePlayer)
{
    Touch("maps/old.fds", "before");
    Touch("maps/old.bmp", "picture");
    panel->OpenMapsFolder();
    seam.failSaves = true;
    Type("fresh");
    Press(FILE_PANEL_ACT);
    EXPECT_FALSE(Exists("maps/fresh.bmp"));
    EXPECT_EQ(notices.messages, (std::vector<int16_t>{kSavePanelFailedMessage}));
    EXPECT_TRUE(Resumed());
    EXPECT_EQ(panel->GetFolderPath(), "./");

    panel->OpenMapsFolder();
    Type("old");
    Press(FILE_PANEL_ACT);
    Yes();
    EXPECT_EQ(Read("maps/old.bmp"), "picture");
    EXPECT_EQ(notices.messages.size(), 2u);
    EXPECT_TRUE(Resumed());
    EXPECT_EQ(panel->GetFolderPath(), "./");
}

TEST_F(SavePanelTest, AThumbnailThatCannotBeWrittenLeavesTheOldOne)
{
    Touch("maps/old.fds", "before");
    Touch("maps/old.bmp", "picture");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_ACT);
    {
        FerroxFailWritesAfter failing(1);  // the game's one write goes through, the picture's fail
        Yes();
    }
    EXPECT_EQ(Read("maps/old.fds"), "game");
    EXPECT_EQ(Read("maps/old.bmp"), "picture");
    EXPECT_TRUE(Resumed());
}

// A name that would leave the folder writes nothing and fails as a failed save does: told, the panel closed. The
// dot names are plain files there: "." saves as "..fds".
TEST_F(SavePanelTest, NamesThatLeaveTheFolderFailAsAFailedSave)
{
    for (const char* bad : {"../escape", "a/b", "a\\b"}) {
        panel->OpenMapsFolder();
        Type(bad);
        Press(FILE_PANEL_ACT);
        EXPECT_TRUE(Resumed()) << bad;
        EXPECT_EQ(panel->GetFolderPath(), "./") << bad;
    }
    EXPECT_TRUE(seam.saved.empty());
    EXPECT_TRUE(notices.questions.empty());
    EXPECT_EQ(notices.messages, std::vector<int16_t>(3, kSavePanelFailedMessage));
    EXPECT_FALSE(Exists("escape.fds"));
    EXPECT_FALSE(Exists("escape.bmp"));
    for (const std::string dots : {".", ".."}) {
        panel->OpenMapsFolder();
        Type(dots);
        Press(FILE_PANEL_ACT);
        EXPECT_EQ(Read("maps/" + dots + ".fds"), "game") << dots;
        EXPECT_TRUE(std::filesystem::is_regular_file(start / "maps" / (dots + ".bmp"))) << dots;
    }
    panel->OpenMapsFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{".", ".."}));
}

// Folder by folder deeper: a save the panel writes is listed and loaded where it was written, or it is refused and
// told before anything is written.
TEST_F(SavePanelTest, ASaveTooDeepToBeFoundAgainIsRefusedBeforeAnythingIsWritten)
{
    const std::string folder(22, 'f');
    int written = 0, refused = 0;
    for (int depth = 1; depth <= 12; depth++) {
        panel->OpenMapsFolder();
        for (int k = 1; k < depth; k++)
            panel->EnterFolder(folder);
        Type(folder);  // the next folder down
        Press(FILE_PANEL_NEW_FOLDER);
        Yes();
        ASSERT_EQ(panel->GetFolderPath().size(), 7 + 23 * static_cast<size_t>(depth)) << depth;
        const std::string loadPath = panel->GetFolderPath() + "deep.fds";
        const size_t told = notices.messages.size();
        Type("deep");
        Press(FILE_PANEL_ACT);
        ASSERT_TRUE(Resumed());
        if (notices.messages.size() > told) {
            refused++;
            EXPECT_EQ(notices.messages.back(), kSavePanelFailedMessage);
            EXPECT_EQ(seam.saved.size(), static_cast<size_t>(written)) << depth;
            continue;
        }
        written++;
        CFerroxFile file;
        EXPECT_EQ(file.Open(loadPath.c_str(), 1), 0) << depth;
        file.Close();
        panel->OpenMapsFolder();
        for (int k = 1; k <= depth; k++)
            panel->EnterFolder(folder);
        EXPECT_EQ(Names(), std::vector<std::string>{"deep"}) << depth;
        panel->Close();
    }
    EXPECT_GT(written, 0);
    EXPECT_GT(refused, 0);
}

// '*' and '?' are characters of a name: a typed name holding them saves under it, and a save so named lists,
// selects and is asked about by its own name, long names beside it.
TEST_F(SavePanelTest, WildcardsAreCharactersOfAName)
{
    const std::string starred = "*a*a*a*a*a*a*a*a";
    const std::string longName = std::string(100, 'a');
    Touch("maps/" + starred + ".fds", "starred");
    Touch("maps/" + longName + ".fds", "long");
    panel->OpenMapsFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{starred, longName}));
    EXPECT_EQ(panel->GetNameText(), starred);
    Press(FILE_PANEL_ACT);
    ASSERT_EQ(notices.questions.size(), 1u) << "its own name is asked about";
    panel->Close();
    for (const std::string name : {"*a*a*a*a*a*a", "a?"}) {
        panel->OpenMapsFolder();
        Type(name);
        Press(FILE_PANEL_ACT);
        EXPECT_EQ(Read("maps/" + name + ".fds"), "game") << name;
    }
    EXPECT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(Read("maps/" + starred + ".fds"), "starred");
    EXPECT_EQ(Read("maps/" + longName + ".fds"), "long");
}

// A save cut off by a crash leaves its temporaries: they stay where they are and are never listed.
TEST_F(SavePanelTest, TemporariesEarlierRunsLeftStayUnlisted)
{
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    const std::string token = ".0123456789abcdef.tmp";
    const std::vector<std::string> names = {"maps/old.fds" + token, "maps/old.bmp" + token, "maps/a.fds"};
    for (const std::string& name : names) {
        Touch(name);
        std::filesystem::last_write_time(start / name, hourAgo);
    }
    panel->OpenMapsFolder();
    for (const std::string& name : names)
        EXPECT_TRUE(Exists(name)) << name;
    EXPECT_EQ(Names(), (std::vector<std::string>{"a"}));
}

}  // namespace
