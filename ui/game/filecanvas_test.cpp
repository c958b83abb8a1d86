// The save-file browser through the load panel: listing, paging, folders, delete and the ways out.
#include "ui/game/filecanvas.h"

#include <cstdio>

#include "ui/game/filepanel_testing.h"
#include "ui/game/loadpanel.h"

namespace {

using FileCanvasTest = FilePanelTest<CLoadPanel>;

TEST_F(FileCanvasTest, ListingOrdersFiltersAndSelectsTheFirstSave)
{
    for (const char* name : {"maps/b.fds", "maps/A.fds", "maps/a.fds", "maps/SAVE.FDS", "maps/a.fds.bak",
                             "maps/notes.txt", "maps/0/x.txt", "maps/a.b/inner.fds"})
        Touch(name);
    ASSERT_EQ(seam.SaveScreenshot((start / "maps" / "A.bmp").string().c_str(), 64, 64), 1);
    panel->OpenMapsFolder();
    EXPECT_EQ(Here(), "maps");
    EXPECT_EQ(panel->GetFolderPath(), "./maps/");
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "a", "b", "0", "a.b"}));
    EXPECT_EQ(panel->HasSaves(), 1);
    EXPECT_EQ(panel->GetSelected(), 0);
    EXPECT_EQ(panel->GetNameText(), "A");
    ASSERT_NE(panel->GetThumbnail(), nullptr);
    EXPECT_EQ(std::string(panel->GetThumbnail()->GetName()), "A.bmp");

    // A folder is entered by its full name and becomes the working directory; the way back up too.
    Press(FILE_PANEL_FIRST_ROW + 4);
    EXPECT_EQ(Here(), "maps/a.b");
    EXPECT_EQ(panel->GetFolderPath(), "./maps/a.b/");
    EXPECT_EQ(Names(), (std::vector<std::string>{"inner"}));
    Press(FILE_PANEL_UP);
    EXPECT_EQ(Here(), "maps");
    EXPECT_EQ(panel->GetFolderPath(), "./maps/");
    EXPECT_EQ(panel->GetNameText(), "A");
    // One with no saves selects nothing and empties the field; the last thumbnail stays shown.
    Press(FILE_PANEL_FIRST_ROW + 3);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/0/");
    EXPECT_TRUE(panel->GetEntries().empty());
    EXPECT_EQ(panel->GetSelected(), -1);
    EXPECT_EQ(panel->GetNameText(), "");
    ASSERT_NE(panel->GetThumbnail(), nullptr);
    EXPECT_EQ(std::string(panel->GetThumbnail()->GetName()), "A.bmp");
}

TEST_F(FileCanvasTest, PagingStopsAtBothEndsAndAnEmptyRowClearsTheSelection)
{
    for (int i = 0; i < 10; i++)
        Touch("maps/s" + std::to_string(i) + ".fds");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_PAGE_BACK);
    EXPECT_EQ(panel->GetFirstVisible(), 0);
    EXPECT_EQ(panel->GetSelected(), 0);
    Press(FILE_PANEL_FIRST_ROW + 2);
    EXPECT_EQ(panel->GetSelected(), 2);
    EXPECT_EQ(panel->GetWidget(FILE_PANEL_FIRST_ROW + 2)->m_visible, 1);  // the selected row's button
    Press(FILE_PANEL_PAGE_ON);
    EXPECT_EQ(panel->GetFirstVisible(), 8);
    EXPECT_EQ(panel->GetSelected(), 8);
    EXPECT_EQ(panel->GetNameText(), "s8");
    Press(FILE_PANEL_PAGE_ON);  // the last entry is already shown
    EXPECT_EQ(panel->GetFirstVisible(), 8);
    Press(FILE_PANEL_FIRST_ROW + 5);  // entry 13 does not exist
    EXPECT_EQ(panel->GetSelected(), -1);
    Press(FILE_PANEL_PAGE_BACK);
    EXPECT_EQ(panel->GetFirstVisible(), 0);
}

// The canvas tells every widget the pointer is not over so, the name field too: the field stays shown, the buttons
// light only under the pointer.
TEST_F(FileCanvasTest, TheNameFieldStaysShownAndOutOfTheCountedOperations)
{
    panel->OpenMapsFolder();
    Type("mine");
    // The field is under the pointer wherever it is, so the walk never tells it "not over"; the buttons hide.
    PointAt(1.0f, 1.0f);
    panel->Update();
    EXPECT_EQ(panel->GetNameField()->m_visible, 1);
    EXPECT_EQ(panel->GetWidget(FILE_PANEL_ACT)->m_visible, 0);
    // Told so, it hides as any widget does.
    panel->OnWidgetEvent(panel->GetWidgetCount(), FERROX_WIDGET_NOT_OVER);
    EXPECT_EQ(panel->GetNameField()->m_visible, 0);
    panel->OnWidgetEvent(panel->GetWidgetCount(), FERROX_WIDGET_OVER);
    // The field stands past the counted widgets: the counted operations do not reach it.
    const int32_t field = panel->GetWidgetCount();
    ASSERT_EQ(panel->GetWidget(field), panel->GetNameField());
    EXPECT_EQ(panel->GetWidgetRect(field), nullptr);
    panel->SetWidgetId(field, 5);
    EXPECT_EQ(panel->GetNameField()->m_id, -1);
    EXPECT_NE(panel->GetWidgetRect(field - 1), nullptr);
}

// A folder whose name holds "maps" is not left upwards, nor deleted when empty: "maps" and any folder so named.
TEST_F(FileCanvasTest, UpAndEmptyDeleteStopAtAnyFolderNamedMaps)
{
    Touch("maps/mapsold/sub/x.txt");
    std::filesystem::create_directories(start / "maps" / "mymaps");
    std::filesystem::create_directories(start / "maps" / "other");
    panel->OpenMapsFolder();
    Press(FILE_PANEL_UP);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/");
    Press(FILE_PANEL_FIRST_ROW);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/mapsold/");
    Press(FILE_PANEL_FIRST_ROW);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/mapsold/sub/");
    Press(FILE_PANEL_UP);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/mapsold/");
    Press(FILE_PANEL_UP);  // its name holds "maps"
    EXPECT_EQ(panel->GetFolderPath(), "./maps/mapsold/");
    panel->ReturnToStartFolder();
    panel->OpenMapsFolder();
    Press(FILE_PANEL_FIRST_ROW + 1);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/mymaps/");
    Press(FILE_PANEL_DELETE);
    EXPECT_TRUE(notices.questions.empty()) << "an empty folder named for maps is kept";
    Press(FILE_PANEL_UP);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/mymaps/");
    panel->ReturnToStartFolder();
    panel->OpenMapsFolder();
    Press(FILE_PANEL_FIRST_ROW + 2);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/other/");
    Press(FILE_PANEL_DELETE);
    Yes();
    EXPECT_FALSE(Exists("maps/other"));
    EXPECT_EQ(Here(), "maps");
    EXPECT_EQ(panel->GetFolderPath(), "./maps/");
}

TEST_F(FileCanvasTest, NewFolderIsEnteredAndOneThatCannotBeMadeChangesNothing)
{
    panel->OpenMapsFolder();
    Type("New");
    Press(FILE_PANEL_NEW_FOLDER);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].text, 0);
    EXPECT_EQ(notices.questions[0].list, panel->GetTooltipList());
    EXPECT_EQ(notices.questions[0].extra, "New");
    EXPECT_EQ(notices.questions[0].closeBoth, 0);
    Yes();
    EXPECT_TRUE(std::filesystem::is_directory(start / "maps" / "New"));
    EXPECT_EQ(panel->GetFolderPath(), "./maps/New/");
    EXPECT_EQ(Here(), "maps/New");

    // Every name is asked about. A separator would make a folder elsewhere: none is made. Empty and dot names make
    // no new folder either: nothing happens.
    std::filesystem::create_directories(start / "maps" / "New" / "a");
    for (const char* none : {"a/b", "a\\b", "../x", "", ".", ".."}) {
        Type(none);
        Press(FILE_PANEL_NEW_FOLDER);
        EXPECT_EQ(notices.questions.back().extra, none);
        Yes();
        EXPECT_EQ(panel->GetFolderPath(), "./maps/New/") << none;
        EXPECT_EQ(Here(), "maps/New") << none;
    }
    EXPECT_EQ(notices.questions.size(), 7u);
    EXPECT_FALSE(Exists("maps/New/a/b"));
    EXPECT_FALSE(Exists("maps/x"));

    // A file in the way: the folder cannot be made, the path and the file stay.
    Touch("maps/New/clash", "keep");
    panel->ListFolder();
    Type("clash");
    Press(FILE_PANEL_NEW_FOLDER);
    Yes();
    EXPECT_EQ(panel->GetFolderPath(), "./maps/New/");
    EXPECT_EQ(Read("maps/New/clash"), "keep");
}

TEST_F(FileCanvasTest, DeleteRemovesTheShownEntryOrTheEmptyFolder)
{
    for (const char* name : {"maps/a.fds", "maps/a.bmp", "maps/b.fds", "maps/b.bmp", "maps/sub/junk.txt"})
        Touch(name);
    std::filesystem::create_directories(start / "maps" / "empty");
    panel->OpenMapsFolder();
    EXPECT_EQ(panel->GetNameText(), "a");
    // The field edited after selecting: the selected save goes, the one the question names, and the save the field
    // names, which the player never confirmed, stays.
    Type("b");
    Press(FILE_PANEL_DELETE);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].text, 2);
    EXPECT_EQ(notices.questions[0].extra, "a");
    Yes();
    EXPECT_FALSE(Exists("maps/a.fds"));
    EXPECT_FALSE(Exists("maps/a.bmp"));
    EXPECT_TRUE(Exists("maps/b.fds"));
    EXPECT_TRUE(Exists("maps/b.bmp"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"b", "empty", "sub"}));

    // No answer, no change.
    Press(FILE_PANEL_DELETE);
    EXPECT_TRUE(Exists("maps/b.fds"));

    // An empty folder goes; one holding other files stays, and nothing in it is lost.
    panel->EnterFolder("empty");
    Press(FILE_PANEL_DELETE);
    Yes();
    EXPECT_FALSE(Exists("maps/empty"));
    EXPECT_EQ(panel->GetFolderPath(), "./maps/");
    panel->EnterFolder("sub");
    Press(FILE_PANEL_DELETE);
    Yes();
    EXPECT_TRUE(Exists("maps/sub/junk.txt"));
    // In "maps" itself with nothing selected there is no question.
    const size_t asked = notices.questions.size();
    panel->SelectEntry(-1, 1);
    std::filesystem::remove(start / "maps" / "b.fds");
    std::filesystem::remove(start / "maps" / "b.bmp");
    std::filesystem::remove_all(start / "maps" / "sub");
    panel->ListFolder();
    Press(FILE_PANEL_DELETE);
    EXPECT_EQ(notices.questions.size(), asked);
    EXPECT_TRUE(Exists("maps"));
}

// A save named "." is the plain file "..fds": deleting it removes that file and its picture "..bmp", nothing more.
TEST_F(FileCanvasTest, ADotNamedSaveIsThePlainFileItNames)
{
    Touch("maps/..fds");
    Touch("maps/..bmp");
    Touch("maps/.bmp");
    Touch("maps/x.fds");
    panel->OpenMapsFolder();
    ASSERT_EQ(Names(), (std::vector<std::string>{".", "x"}));
    Press(FILE_PANEL_DELETE);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].extra, ".");
    Yes();
    EXPECT_FALSE(Exists("maps/..fds"));
    EXPECT_FALSE(Exists("maps/..bmp"));
    EXPECT_TRUE(Exists("maps/.bmp"));
    EXPECT_TRUE(Exists("maps/x.fds"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"x"}));
}

// A folder that cannot be entered leaves the folder path as it was: without "maps" the panel browses the start folder,
// and a load there reads the save listed there.
TEST_F(FileCanvasTest, WithoutMapsThePanelBrowsesAndLoadsTheStartFolder)
{
    std::filesystem::remove_all(start / "maps");
    Touch("maps", "not a folder");
    Touch("here.fds");
    panel->OpenMapsFolder();
    EXPECT_EQ(Here(), ".");
    EXPECT_EQ(panel->GetFolderPath(), "./");
    EXPECT_EQ(panel->GetNameText(), "here");
    EXPECT_FALSE(Resumed());
    Press(FILE_PANEL_ACT);
    Yes();
    ASSERT_EQ(seam.loaded.size(), 1u);
    EXPECT_EQ(seam.loaded[0], "./here.fds");
    EXPECT_EQ(Read("maps"), "not a folder");
}

TEST_F(FileCanvasTest, CloseReturnsToTheStartAndResumes)
{
    Touch("maps/sub/x.fds");
    panel->OpenMapsFolder();
    panel->EnterFolder("sub");
    // A scripted click on the close button.
    CFerroxWidget* close = panel->GetWidget(FILE_PANEL_CLOSE);
    PointAt(close->m_x + 1.0f, close->m_y + 1.0f);
    mouse->GetPosition()->left = 1;
    FerroxGetGameInterface()->GetStack().Update();
    EXPECT_TRUE(Resumed());
    EXPECT_EQ(Here(), ".");
    EXPECT_EQ(panel->GetFolderPath(), "./");
    EXPECT_EQ(FerroxGetGameInterface()->GetStack().GetModalCount(), 0);
    EXPECT_NE(mouse->GetPosition()->left, 1);  // the press was taken: it acts once
}

// A folder of more names than the panel's 16-bit index reaches lists as many as it reaches, each a row that a
// press selects; the files past the bound stay.
TEST_F(FileCanvasTest, AListingIsBoundedAndEveryRowOfItIsSelectable)
{
    std::filesystem::create_directories(start / "maps" / "many");
    for (size_t i = 0; i <= kFileCanvasMostEntries; i++) {
        char name[16];
        std::snprintf(name, sizeof(name), "s%05zu.fds", i);
        std::ofstream(start / "maps" / "many" / name);
    }
    panel->OpenMapsFolder();
    panel->EnterFolder("many");
    ASSERT_EQ(panel->GetEntries().size(), kFileCanvasMostEntries);
    EXPECT_EQ(Names().back(), "s32767");
    EXPECT_TRUE(Exists("maps/many/s32768.fds"));
    const auto last = static_cast<int16_t>(kFileCanvasMostEntries - 1);
    panel->SelectEntry(last, 1);
    EXPECT_EQ(panel->GetSelected(), last);
    EXPECT_EQ(panel->GetNameText(), "s32767");
}

// A folder reached through a link has as parent the link target's: after "Up" the folder path names the folder
// listed, so the load opens the save the listing shows.
TEST_F(FileCanvasTest, UpFromAFolderReachedThroughALinkNamesTheFolderListed)
{
    Touch("maps/same.fds", "maps");
    Touch("far/same.fds", "far");
    std::filesystem::create_directories(start / "far" / "away");
    std::filesystem::create_directory_symlink(start / "far" / "away", start / "maps" / "ln");
    panel->OpenMapsFolder();
    ASSERT_EQ(Names(), (std::vector<std::string>{"same", "ln"}));
    Press(FILE_PANEL_FIRST_ROW + 1);
    EXPECT_EQ(panel->GetFolderPath(), "./maps/ln/");
    Press(FILE_PANEL_UP);
    EXPECT_EQ(Names(), (std::vector<std::string>{"same", "away"}));
    EXPECT_EQ(panel->GetFolderPath(), "./far/");
    Press(FILE_PANEL_ACT);
    Yes();
    ASSERT_EQ(seam.loaded.size(), 1u);
    CFerroxFile file;
    ASSERT_EQ(file.Open(seam.loaded[0].c_str(), 1), 0);
    std::string line;
    file.ReadLine(line);
    file.Close();
    EXPECT_EQ(line, "far");
}

// Deleting a save removes the files of its very name: save "a", without a picture of its own, leaves the picture of
// save "A".
TEST_F(FileCanvasTest, DeleteNeverReachesAFileNamedButForCase)
{
    Touch("maps/A.fds");
    Touch("maps/A.bmp");
    Touch("maps/a.fds");
    panel->OpenMapsFolder();
    ASSERT_EQ(Names(), (std::vector<std::string>{"A", "a"}));
    Press(FILE_PANEL_FIRST_ROW + 1);
    Press(FILE_PANEL_DELETE);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].extra, "a");
    Yes();
    EXPECT_FALSE(Exists("maps/a.fds"));
    EXPECT_TRUE(Exists("maps/A.fds"));
    EXPECT_TRUE(Exists("maps/A.bmp"));
}

// A save whose name holds a backslash is asked about by its name; the yes removes nothing, since by that name the
// file layer would reach a file in a sub-folder.
TEST_F(FileCanvasTest, ASaveNamedWithASeparatorIsNeverRemovedByIt)
{
    Touch("maps/a\\b.fds", "listed");
    Touch("maps/a/b.fds", "inner");
    panel->OpenMapsFolder();
    ASSERT_EQ(panel->GetNameText(), "a\\b");
    Press(FILE_PANEL_DELETE);
    ASSERT_EQ(notices.questions.size(), 1u);
    EXPECT_EQ(notices.questions[0].extra, "a\\b");
    Yes();
    EXPECT_EQ(Read("maps/a/b.fds"), "inner");
    EXPECT_EQ(Read("maps/a\\b.fds"), "listed");
}

TEST(FileCanvasNames, SeparatorsAreRefusedAndEveryOtherNameIsAName)
{
    for (const char* bad : {"a/b", "a\\b", "/", "x\\", "../x"})
        EXPECT_FALSE(FileCanvasNameAllowed(bad)) << bad;
    for (const char* good : {"", " ", " \t ", ".", "..", "...", ".x", "a.b", " a", "*", "a?", "*a*a*a*a*a*a",
                             "Gr\xc3\xb6\xc3\x9f"
                             "e"})
        EXPECT_TRUE(FileCanvasNameAllowed(good)) << good;
    // A save named ".fds" is listed with an empty name.
    FileEntry entry;
    ASSERT_TRUE(FileCanvasClassify(u".fds", false, &entry));
    EXPECT_EQ(u"", entry.name);
    ASSERT_TRUE(FileCanvasClassify(u" .fds", false, &entry));
    EXPECT_EQ(u" ", entry.name);
    ASSERT_TRUE(FileCanvasClassify(u" a.fds", false, &entry));
    EXPECT_EQ(u" a", entry.name);
}

}  // namespace
