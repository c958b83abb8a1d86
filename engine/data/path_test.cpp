// Tests of the working directory, path copies and the texture search path.
#include "engine/data/path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/testsupport/graphics.h"
#include "gfx/core/image.h"

namespace {

class PathTest : public FerroxGraphicsTest {};

TEST_F(PathTest, WorkingDirectoryAndItsLastComponent)
{
    const std::string directory = GetWorkingDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(std::string::npos, directory.find('/'));
    const std::string expected = std::filesystem::current_path().filename().string();
    EXPECT_EQ(expected, GetWorkingDirectoryName());
}

TEST_F(PathTest, DuplicatePathTurnsSeparators)
{
    char* copy = DuplicatePath("a/b/c.gxs");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("a\\b\\c.gxs", copy);
    FreePath(copy);
    FreePath(nullptr);
    EXPECT_EQ(nullptr, DuplicatePath(nullptr));
    copy = DuplicatePath("");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("", copy);
    FreePath(copy);
}

TEST_F(PathTest, TexturePathIsTheFolderBesideTheModel)
{
    EXPECT_EQ("models\\shop/textures/", MakeTexturePath("models\\shop/unit.gxs"));
    EXPECT_EQ("models/shop\\textures/", MakeTexturePath("models/shop\\unit.gxs"));
    EXPECT_EQ("", MakeTexturePath("unit.gxs"));
    EXPECT_EQ("", MakeTexturePath(nullptr));
    EXPECT_EQ(0, SetTexturePath("unit.gxs"));
    ASSERT_EQ(1, SetTexturePath("levels/london/city.gxs"));
    EXPECT_STREQ("levels/london/textures/", GxImageGetPath());
}

}  // namespace
