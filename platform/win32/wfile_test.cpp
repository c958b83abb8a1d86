// Wide file calls: names round-trip through UTF-16, malformed names are refused, folders and files apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/win32/windows.h"

namespace {

namespace fs = std::filesystem;

class WideFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("ferrox_wfile_" + std::to_string(std::random_device()()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        base = std::u16string(dir.u16string()) + u"/";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::u16string> List()
    {
        std::vector<std::u16string> names;
        _wfinddata_t data;
        intptr_t handle = _wfindfirst((base + u"*.*").c_str(), &data);
        if (handle == -1)
            return names;
        do {
            names.push_back(data.name);
        } while (_wfindnext(handle, &data) == 0);
        EXPECT_EQ(_findclose(handle), 0);
        return names;
    }

    fs::path dir;
    std::u16string base;
};

TEST_F(WideFileTest, NonAsciiNamesRoundTripAndUndecodableOnesAreSkipped)
{
    // "Größe", a CJK name and one outside the basic plane (a surrogate pair in UTF-16).
    const std::u16string names[] = {u"Gr\u00f6\u00dfe.fds", u"\u5546\u5e97", u"x\U0001F600.fds"};
    ASSERT_EQ(_wmkdir((base + names[1]).c_str()), 0);
    for (const std::u16string& name : {names[0], names[2]})
        std::ofstream(dir / fs::path(name)) << "x";
    std::ofstream(dir / "bad\xff.fds") << "x";  // not UTF-8: never listed

    std::vector<std::u16string> listed = List();
    for (const std::u16string& name : names)
        EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end());
    EXPECT_EQ(listed.size(), 5u);  // ".", "..", and the three
    EXPECT_EQ(_wremove((base + names[2]).c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / fs::path(names[2])));
}

// A narrow name that is not UTF-8 (the text field types a byte per Latin-1 letter) names the file its UTF-16 form
// names: the narrow and the wide calls find, list, replace and remove the same file, and one that came on disk under
// the raw bytes is reached by neither.
TEST_F(WideFileTest, NarrowNamesThatAreNotUtf8NameTheFileTheirWideFormNames)
{
    const std::string narrowBase = dir.string() + "/";
    std::ofstream(dir / "caf\xE9.fds") << "raw";
    const std::string typed = narrowBase + "caf\xE9.fds";
    const std::u16string wide = base + u"caf\uFFFD.fds";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(typed.c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA(typed.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    HANDLE file = CreateFileA(typed.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    EXPECT_TRUE(fs::exists(dir / "caf\xEF\xBF\xBD.fds"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(typed.c_str()));
    std::vector<std::u16string> listed = List();
    EXPECT_NE(std::find(listed.begin(), listed.end(), u"caf\uFFFD.fds"), listed.end());
    EXPECT_EQ(listed.size(), 3u);  // ".", ".." and the one written; the raw name is not listed
    _finddata_t narrow;
    const intptr_t search = _findfirst((narrowBase + "caf\xE9.*").c_str(), &narrow);
    ASSERT_NE(search, -1);
    EXPECT_STREQ("caf\xEF\xBF\xBD.fds", narrow.name);
    EXPECT_EQ(-1, _findnext(search, &narrow));
    _findclose(search);

    const std::string renamed = narrowBase + "t\xE9mp";
    std::ofstream(dir / "t\xEF\xBF\xBDmp") << "new";
    EXPECT_TRUE(MoveFileExA(renamed.c_str(), typed.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(_wremove(wide.c_str()), 0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(typed.c_str()));
    EXPECT_TRUE(fs::exists(dir / "caf\xE9.fds"));  // the raw one was never touched
    EXPECT_FALSE(DeleteFileA(typed.c_str()));
}

TEST_F(WideFileTest, MalformedNamesFailWithoutTouchingAnything)
{
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    const std::u16string path = base + lone;
    errno = 0;
    EXPECT_EQ(_wmkdir(path.c_str()), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_wremove(path.c_str()), -1);
    EXPECT_EQ(_wrmdir(path.c_str()), -1);
    _wfinddata_t data;
    EXPECT_EQ(_wfindfirst(path.c_str(), &data), -1);
    EXPECT_EQ(_wmkdir(nullptr), -1);
    EXPECT_EQ(_wmkdir(u""), -1);
    EXPECT_EQ(List().size(), 2u);
}

TEST_F(WideFileTest, FoldersAndFilesKeepTheirOwnCalls)
{
    ASSERT_EQ(_wmkdir((base + u"sub").c_str()), 0);
    EXPECT_EQ(_wmkdir((base + u"sub").c_str()), -1);  // exists
    std::ofstream(dir / "sub" / "a.fds") << "x";
    EXPECT_EQ(_wrmdir((base + u"sub").c_str()), -1);   // not empty
    EXPECT_EQ(_wremove((base + u"sub").c_str()), -1);  // a folder is not a file
    EXPECT_EQ(_wremove((base + u"sub/a.fds").c_str()), 0);
    EXPECT_EQ(_wrmdir((base + u"sub").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / "sub"));
    EXPECT_EQ(_wfindnext(-1, nullptr), -1);
}

// The working directory moves into a folder, relative or absolute, "..", or a folder named in another case; a name
// that is no folder leaves it where it was.
TEST_F(WideFileTest, TheWorkingDirectoryMovesIntoFoldersOnly)
{
    const fs::path before = fs::current_path();
    fs::create_directories(dir / "Maps" / "sub");
    std::ofstream(dir / "Maps" / "a.fds") << "x";
    ASSERT_EQ(_wchdir((base + u"maps").c_str()), 0);
    EXPECT_EQ(fs::current_path(), fs::canonical(dir / "Maps"));
    EXPECT_EQ(_wchdir(u"sub"), 0);
    EXPECT_EQ(_wchdir(u".."), 0);
    EXPECT_EQ(fs::current_path(), fs::canonical(dir / "Maps"));
    EXPECT_EQ(_wchdir(u"a.fds"), -1);
    EXPECT_EQ(_wchdir(u"missing"), -1);
    EXPECT_EQ(_wchdir(nullptr), -1);
    EXPECT_EQ(fs::current_path(), fs::canonical(dir / "Maps"));
    fs::current_path(before);
}

}  // namespace
