// File search: wildcard matches in sorted order, "*.*" for every name, and the failures.
#include <random>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/windows.h"

namespace {

std::vector<std::string> Find(const std::string& pattern)
{
    std::vector<std::string> names;
    _finddata_t data;
    intptr_t handle = _findfirst(pattern.c_str(), &data);
    if (handle == -1)
        return names;
    do {
        names.push_back(data.name);
    } while (_findnext(handle, &data) == 0);
    EXPECT_EQ(_findclose(handle), 0);
    return names;
}

TEST(FindFileTest, MatchesInSortedOrder)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ferrox_find_test_" + std::to_string(std::random_device()()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const char* name : {"2_s.png", "10_s.png", "1_s.png", "1_h.png", "readme"})
        std::ofstream(dir / name) << "x";
    const std::string folder = dir.string() + "/";
    EXPECT_EQ(Find(folder + "1*.*"), (std::vector<std::string>{"10_s.png", "1_h.png", "1_s.png"}));
    // "readme" has no dot and still matches; "." and ".." come too, as on Windows.
    EXPECT_EQ(Find(folder + "*.*").size(), 7u);
    EXPECT_EQ(Find(folder + "?_S.PNG"), (std::vector<std::string>{"1_s.png", "2_s.png"}));
    _finddata_t data;
    errno = 0;
    EXPECT_EQ(_findfirst((folder + "9*.*").c_str(), &data), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_findfirst((folder + "missing/*.*").c_str(), &data), -1);
    EXPECT_EQ(_findnext(-1, &data), -1);
    EXPECT_EQ(_findclose(-1), -1);
    std::filesystem::remove_all(dir);
}

// The matcher goes back only to the last '*': a pattern of many stars against a long name that nearly matches
// answers at once, and stars and '?' still match as wildcards do.
TEST(FindFileTest, ManyStarsMatchInTimeBoundedByTheLengths)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ferrox_find_stars_" + std::to_string(std::random_device()()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string longName = std::string(100, 'a') + ".fds";
    for (const std::string& name : {longName, std::string("*a*a.fds"), std::string("abcabd"), std::string("x")})
        std::ofstream(dir / name) << "x";
    const std::string folder = dir.string() + "/";
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(Find(folder + "*a*a*a*a*a*a*a*a*a*a*b.fds"), std::vector<std::string>{});
    EXPECT_EQ(Find(folder + "*a*a*a*a*a*a*a*a*a*a.fds"), (std::vector<std::string>{longName}));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_EQ(Find(folder + "*A*A.FDS"), (std::vector<std::string>{"*a*a.fds", longName}));
    EXPECT_EQ(Find(folder + "*ab?"), (std::vector<std::string>{"abcabd"}));
    EXPECT_EQ(Find(folder + "a*b*d"), (std::vector<std::string>{"abcabd"}));
    EXPECT_EQ(Find(folder + "**x**"), (std::vector<std::string>{"x"}));
    EXPECT_EQ(Find(folder + "x?"), std::vector<std::string>{});
    EXPECT_EQ(Find(folder + "abc"), std::vector<std::string>{});
    std::filesystem::remove_all(dir);
}

// A name whose path is past MAX_PATH cannot be told a folder from a file, so it is not found as either.
TEST(FindFileTest, NamesPastTheLongestPathAreNotFound)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ferrox_find_long_" + std::to_string(std::random_device()()));
    std::filesystem::remove_all(dir);
    const std::string longName = std::string(251, 'a') + ".fds";
    std::filesystem::create_directories(dir / longName);
    std::ofstream(dir / "b.fds") << "x";
    ASSERT_GT((dir / longName).string().size(), static_cast<size_t>(MAX_PATH));
    const std::string folder = dir.string() + "/";
    EXPECT_EQ(Find(folder + "*.fds"), (std::vector<std::string>{"b.fds"}));
    _finddata_t data;
    EXPECT_EQ(_findfirst((folder + "a*.*").c_str(), &data), -1);
    std::filesystem::remove_all(dir);
}

}  // namespace
