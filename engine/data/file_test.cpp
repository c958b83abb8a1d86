// Line files and tag files: lines across read pieces, line ends, section seeking and the 0-success results.
#include "engine/data/file.h"

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
}

TEST_F(LineFile, ANulByteCutsItsLineButNeverJoinsTwo)
{
    std::string path = Path("nul.txt");
    WriteFile(path, std::string("ab\0cd\r\nef\r\n", 11));
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 1));
    std::string line;
    EXPECT_EQ("ab", file.ReadLine(line));
    EXPECT_EQ("ef", file.ReadLine(line));
}

TEST_F(LineFile, OpenAndWriteFollowTheFileConvention)
{
    std::string path = Path("out.txt");
    CFerroxFile file;
    EXPECT_EQ(1, file.Open(Path("missing.txt").c_str(), 1));
    EXPECT_EQ(1, file.Open(nullptr, 0));
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

    // A file left open is closed by the destructor.
    {
        CFerroxFile open;
        ASSERT_EQ(0, open.Open(path.c_str(), 0));
        open.WriteLine("kept");
    }
    EXPECT_EQ("kept", ReadFile(path));
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
    EXPECT_FALSE(Exists(path + ".tmp"));
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("new\r\n");
    EXPECT_EQ("old", ReadFile(path));  // nothing replaced before Close
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ("new\r\n", ReadFile(path));
    EXPECT_FALSE(Exists(path + ".tmp"));
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
    EXPECT_FALSE(Exists(path + ".tmp"));
    g_refuseRenames = false;
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    file.WriteLine("new\r\n");
    EXPECT_EQ(0, file.Close());
    EXPECT_EQ(2, g_renames);
    EXPECT_EQ("new\r\n", ReadFile(path));
    fs->ops.rename = g_fileSystemRename;
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
    EXPECT_EQ(0, file.SeekTag("<LEVEL>"));  // reopened by its stored name
    file.Close();

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
    EXPECT_EQ(u"\uFFFD", FerroxUtf8ToUtf16("\xED\xA0\x80"));
    EXPECT_EQ(u"\uFFFD\uFFFD", FerroxUtf8ToUtf16("\x80\xFF"));
    EXPECT_EQ(u"x\uFFFD", FerroxUtf8ToUtf16(std::string("x\xE2\x82")));
    EXPECT_EQ("\xEF\xBF\xBD"
              "a",
              FerroxUtf16ToUtf8(std::u16string(u"\xD800"
                                               u"a")));
    EXPECT_EQ(u"", FerroxUtf8ToUtf16(nullptr, 5));
}

}  // namespace
