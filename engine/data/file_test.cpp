// Line files and tag files: lines across read pieces, line ends, section seeking and the 0-success results;
// replacements under names of their own, never through a link, and two games saving one name at once.
#include "engine/data/file.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/data/utf.h"
#include "engine/testsupport/files.h"
#include "gfx/core/filesys.h"

namespace {

class LineFile : public FerroxTestFiles {};

TEST_F(LineFile, ReadLineJoinsPiecesAndDropsOnlyTheLineEnd)
{
    std::string path = Path("lines.txt");
    std::string l300(300, 'a'), l254(254, 'b'), l254lf(254, 'c'), l255(255, 'd'), l510(510, 'e');
    WriteFile(path, l300 + "\r\n" + l254 + "\r\n" + l254lf + "\n" + l255 + "\r\n" + l510 + "\r\n\r\nend");
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    std::string line = "old";
    EXPECT_EQ(l300, file.ReadLine(line));
    EXPECT_EQ(l254, file.ReadLine(line));  // its CR ends one piece and its LF starts the next
    EXPECT_EQ(l254lf, file.ReadLine(line));
    EXPECT_EQ(l255, file.ReadLine(line));
    EXPECT_EQ(l510, file.ReadLine(line));
    EXPECT_EQ("", file.ReadLine(line));
    EXPECT_EQ(0, file.IsEof());
    // The last line has no line end and keeps its last character.
    EXPECT_EQ("end", file.ReadLine(line));
    EXPECT_EQ(1, file.IsEof());
    EXPECT_EQ("", file.ReadLine(line));
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ(1, file.Close());
    EXPECT_EQ("", file.ReadLine(line));
}

// A line over the limit is passed over whole and not held: the next line reads as itself.
TEST_F(LineFile, ReadLineWithinRefusesALongLineWithoutHoldingIt)
{
    std::string path = Path("long.txt");
    const size_t limit = 600;
    const std::string exact(limit, 'a'), over(limit + 1, 'b'), huge(100000, 'c');
    WriteFile(path, exact + "\r\n" + over + "\r\n" + huge + "\nnext\r\n" + huge);
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    std::string line;
    EXPECT_TRUE(file.ReadLineWithin(line, limit));
    EXPECT_EQ(exact, line);
    EXPECT_FALSE(file.ReadLineWithin(line, limit));
    EXPECT_EQ(over.substr(0, limit), line);
    std::string held;
    EXPECT_FALSE(file.ReadLineWithin(held, limit));
    EXPECT_LT(held.capacity(), huge.size() / 10) << "the long line was held";
    EXPECT_TRUE(file.ReadLineWithin(line, limit));
    EXPECT_EQ("next", line);
    EXPECT_EQ(huge.size(), file.GetBytesLeft()) << "bytes read ahead and not yet taken are left";
    // The last line has no line end.
    EXPECT_FALSE(file.ReadLineWithin(line, limit));
    EXPECT_EQ(1, file.IsEof());
    EXPECT_EQ(0, file.Close());
}

TEST_F(LineFile, ANulByteCutsItsLineButNeverJoinsTwo)
{
    std::string path = Path("nul.txt");
    // In a line longer than one read piece too: its rest never reads as a line of its own.
    std::string longLine(300, 'g');
    longLine[10] = '\0';
    WriteFile(path, std::string("ab\0cd\r\nef\r\n", 11) + longLine + "\r\nhi\r\n");
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    std::string line;
    EXPECT_EQ("ab", file.ReadLine(line));
    EXPECT_EQ("ef", file.ReadLine(line));
    EXPECT_EQ(std::string(10, 'g'), file.ReadLine(line));
    EXPECT_EQ("hi", file.ReadLine(line));
    EXPECT_EQ(0, file.Close());
}

TEST_F(LineFile, OpenAndWriteFollowTheFileConvention)
{
    std::string path = Path("out.txt");
    CFerroxFile file;
    EXPECT_EQ(1, file.Open(Path("missing.txt").c_str(), 1));
    EXPECT_EQ(1, file.Open(Path("no/dir/x.txt").c_str(), 0));
    EXPECT_EQ("", file.GetName());
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("a\r\n");
    file.WriteLine("");
    file.WriteLine(std::string("b"));
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ("a\r\nb", ReadFile(path));
    ASSERT_EQ(0, file.Open(path.c_str(), 0));  // an existing file is emptied
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ("", ReadFile(path));
}

// Descriptors this process holds open.
size_t OpenDescriptors()
{
    size_t count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd"); it != std::filesystem::directory_iterator();
         ++it)
        ++count;
    return count;
}

// A file still open when another is opened in its place, or when its object goes, is closed, not lost; the one
// written replaces its target as Close does.
TEST_F(LineFile, NoHandleIsLostToASecondOpenOrTheDestructor)
{
    const std::string path = Path("save.fds");
    WriteFile(path, "old");
    const size_t before = OpenDescriptors();
    {
        CFerroxFile file;
        ASSERT_EQ(0, file.Open(path.c_str(), 1));
        ASSERT_EQ(0, file.Open(path.c_str(), 0));
        EXPECT_EQ(before + 1, OpenDescriptors());
        file.WriteLine("new\r\n");
    }
    EXPECT_EQ(before, OpenDescriptors());
    EXPECT_EQ("new\r\n", ReadFile(path));
    EXPECT_TRUE(Temporaries().empty());
}

// A written file replaces its target only whole: any failed write leaves the old file and fails Close.
TEST_F(LineFile, AFailedWriteKeepsTheOldFileAndFailsClose)
{
    std::string path = Path("save.fds");
    WriteFile(path, "old");
    CFerroxFile file;
    {
        FerroxFailWritesAfter full(1);
        ASSERT_EQ(0, file.Open(path.c_str(), 0));
        file.WriteLine("first\r\n");
        EXPECT_EQ(0, file.HasWriteFailed());
        file.WriteLine("second\r\n");
        EXPECT_EQ(1, file.HasWriteFailed());
        file.WriteLine("third\r\n");
        EXPECT_EQ("old", ReadFile(path));
        EXPECT_EQ(1, file.Close());
    }
    EXPECT_EQ("old", ReadFile(path));
    EXPECT_TRUE(Temporaries().empty());
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("new\r\n");
    EXPECT_EQ("old", ReadFile(path));  // nothing replaced before Close
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ("new\r\n", ReadFile(path));
    EXPECT_TRUE(Temporaries().empty());
}

// Renames of the file system, counted, and refused while g_refuseRenames is set.
GxBool (*g_fileSystemRename)(GxFileSystem*, const char*, const char*) = nullptr;
int g_renames = 0;
bool g_refuseRenames = false;
GxBool CountedRename(GxFileSystem* fs, const char* from, const char* to)
{
    ++g_renames;
    return g_refuseRenames ? 0 : g_fileSystemRename(fs, from, to);
}

// The written file replaces the old one through the file system it is on.
TEST_F(LineFile, ReplacingGoesThroughTheFileSystemsRename)
{
    std::string path = Path("save.fds");
    WriteFile(path, "old");
    GxFileSystem* fs = GxFileSystemManagerGetDefault();
    ASSERT_NE(nullptr, fs);
    g_fileSystemRename = fs->ops.rename;
    fs->ops.rename = CountedRename;
    g_renames = 0;
    g_refuseRenames = true;
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("new\r\n");
    EXPECT_EQ(1, file.Close());
    EXPECT_EQ(1, g_renames);
    EXPECT_EQ("old", ReadFile(path));
    EXPECT_TRUE(Temporaries().empty());
    g_refuseRenames = false;
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("new\r\n");
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ(2, g_renames);
    EXPECT_EQ("new\r\n", ReadFile(path));
    fs->ops.rename = g_fileSystemRename;
}

// Two games in one game root saving one name at once, as two processes: every save of both succeeds and every read
// after it finds a whole save. Each writer goes on until both have saved kSaves times, so their saves overlap.
constexpr const char* kWriterFolder = "MALL_TEST_WRITER_FOLDER";
constexpr const char* kWriterId = "MALL_TEST_WRITER_ID";
constexpr int kSaves = 60;
constexpr int kMostSaves = 50 * kSaves;
constexpr int kSaveLines = 500;

std::string SaveText(const std::string& writer, int round)
{
    std::string text = "<SAVE>\r\n" + writer + " " + std::to_string(round) + "\r\n";
    for (int line = 0; line < kSaveLines; ++line)
        text += std::to_string(line) + ",0.00000,1.00000,2.00000,90.0000\r\n";
    return text + "</SAVE>\r\n";
}

// A save of either writer, whole.
bool IsWholeSave(const std::string& text)
{
    const size_t header = text.find("\r\n", 8);
    if (text.compare(0, 8, "<SAVE>\r\n") != 0 || header == std::string::npos)
        return false;
    const std::string id = text.substr(8, header - 8);
    const size_t space = id.find(' ');
    if (space == std::string::npos)
        return false;
    const int round = static_cast<int>(std::strtol(id.c_str() + space + 1, nullptr, 10));
    return text == SaveText(id.substr(0, space), round);
}

TEST_F(LineFile, SavingWhileAnotherGameSavesTheSameName)
{
    const char* folder = std::getenv(kWriterFolder);
    const char* id = std::getenv(kWriterId);
    if (!folder || !id)
        GTEST_SKIP() << "one of the two writers TwoGamesSavingOneNameAtOnceNeverTearIt starts";
    const std::string save = std::string(folder) + "/run1.fds";
    const std::string mine = std::string(folder) + "/done" + id;
    const std::string other = std::string(folder) + "/done" + (std::string(id) == "0" ? "1" : "0");
    int failed = 0;
    int torn = 0;
    int round = 0;
    for (; round < kMostSaves && (round < kSaves || !Exists(other)); ++round) {
        CFerroxTagFile file;
        failed += file.Open(save.c_str(), 0);
        file.WriteLine(SaveText(id, round));
        failed += file.Close();
        torn += IsWholeSave(ReadFile(save)) ? 0 : 1;
        if (round + 1 == kSaves)
            WriteFile(mine, "");
    }
    EXPECT_EQ(0, failed) << "of " << round << " saves";
    EXPECT_EQ(0, torn) << "of " << round << " saves";
    EXPECT_LT(round, kMostSaves);
}

TEST_F(LineFile, TwoGamesSavingOneNameAtOnceNeverTearIt)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string folder = Path("");
    // Each writer runs its one test, whatever shard of the tests this process runs.
    std::string command = "unset GTEST_TOTAL_SHARDS GTEST_SHARD_INDEX; ";
    for (const char* id : {"0", "1"}) {
        command += std::string(kWriterFolder) + "='" + folder + "' " + kWriterId + "=" + id + " '" + self +
                   "' --gtest_filter=LineFile.SavingWhileAnotherGameSavesTheSameName > '" + folder + "/log" + id +
                   "' 2>&1 & w" + id + "=$!; ";
    }
    command += "wait $w0; a=$?; wait $w1; b=$?; exit $((a | b))";
    const int status = std::system(command.c_str());
    EXPECT_EQ(0, status) << ReadFile(folder + "/log0") << ReadFile(folder + "/log1");
    EXPECT_TRUE(IsWholeSave(ReadFile(folder + "/run1.fds")));
    EXPECT_TRUE(Temporaries().empty());
}

TEST_F(LineFile, SeekTagStartsFromTheTopEveryTime)
{
    std::string path = Path("save.fds");
    WriteFile(path, "<GAME_DATA>\r\n1\r\n</GAME_DATA>\r\n<LEVEL>\r\nlondon.gxs\r\n</LEVEL>\r\n<LAST>\r\n");
    CFerroxTagFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    std::string line;
    ASSERT_EQ(0, file.SeekTag("<LEVEL>"));
    EXPECT_EQ("london.gxs", file.ReadLine(line));
    ASSERT_EQ(0, file.SeekTag("<GAME_DATA>"));
    EXPECT_EQ("1", file.ReadLine(line));
    ASSERT_EQ(0, file.SeekTag("LEVEL>"));  // a substring anywhere in the line
    EXPECT_EQ("london.gxs", file.ReadLine(line));
    EXPECT_EQ(1, file.SeekTag("<MAP>"));
    EXPECT_EQ(1, file.IsEof());
    EXPECT_EQ(1, file.SeekTag("<LAST>"));  // on the last line: nothing follows it
    EXPECT_EQ(0, file.Close());
    // Closed, the file is not opened again by its name, which may lead to another file by now.
    WriteFile(path, "<LEVEL>\r\nparis.gxs\r\n</LEVEL>\r\n");
    EXPECT_EQ(1, file.SeekTag("<LEVEL>"));
    EXPECT_EQ("", file.ReadLine(line));
    EXPECT_EQ(0, file.IsOpen());

    CFerroxTagFile never;
    EXPECT_EQ(1, never.SeekTag("<LEVEL>"));
}

TEST_F(LineFile, SeekTagNeverTruncatesAFileOpenForWriting)
{
    std::string path = Path("w.fds");
    CFerroxTagFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("<LEVEL>\r\nx\r\n");
    EXPECT_EQ(1, file.SeekTag("<LEVEL>"));
    file.WriteLine("y\r\n");
    file.Close();
    EXPECT_EQ("<LEVEL>\r\nx\r\ny\r\n", ReadFile(path));
}

TEST(Utf, AccentsSurrogatesAndMalformedBytes)
{
    EXPECT_EQ(u"Caf\u00E9 \u20AC \U0001F600", FerroxUtf8ToUtf16("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_EQ("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", FerroxUtf16ToUtf8(u"Caf\u00E9 \u20AC \U0001F600"));
    // Truncated, overlong, surrogate and stray continuation bytes.
    EXPECT_EQ(u"a\uFFFDb", FerroxUtf8ToUtf16("a\xC3"
                                             "b"));
    EXPECT_EQ(u"\uFFFD\uFFFD", FerroxUtf8ToUtf16("\xC0\xAF"));
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", FerroxUtf8ToUtf16("\xED\xA0\x80"));
    EXPECT_EQ(u"\uFFFD\uFFFD", FerroxUtf8ToUtf16("\x80\xFF"));
    EXPECT_EQ(u"x\uFFFD", FerroxUtf8ToUtf16(std::string("x\xE2\x82")));
    EXPECT_EQ("\xEF\xBF\xBD"
              "a",
              FerroxUtf16ToUtf8(std::u16string(u"\xD800"
                                               u"a")));
}

}  // namespace
