// Working directory and its last component, path copies, and the texture folder beside a model.
#include "engine/data/path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/testsupport/graphics.h"
#include "gfx/core/image.h"

namespace {

class PathTest : public FerroxGraphicsTest {
protected:
    void TearDown() override
    {
        if (!m_previous.empty())
            std::filesystem::current_path(m_previous);
        FerroxGraphicsTest::TearDown();
    }
    // Makes the folder and works in it until the test ends.
    void WorkIn(const std::filesystem::path& folder)
    {
        std::filesystem::create_directories(folder);
        if (m_previous.empty())
            m_previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
    }

private:
    std::filesystem::path m_previous;
};

// The directory in its drive form, and its last component: C:\...\Mall gives Mall. A directory of any depth is read
// whole: past 512 characters too, where the file panels' guards still read the folder's name.
TEST_F(PathTest, WorkingDirectoryAndItsLastComponent)
{
    const std::filesystem::path mall = std::filesystem::path(Path("Games")) / "Mall";
    auto driveForm = [] {
        std::string text = "C:" + std::filesystem::current_path().string();
        for (char& c : text)
            c = c == '/' ? '\\' : c;
        return text;
    };
    WorkIn(mall);
    EXPECT_EQ(driveForm(), GetWorkingDirectory());
    EXPECT_EQ("Mall", GetWorkingDirectoryName());

    std::filesystem::path deep = mall;
    while (deep.string().size() < 600)
        deep /= std::string(100, 'd');
    deep /= "mapsdeep";
    WorkIn(deep);
    EXPECT_EQ(driveForm(), GetWorkingDirectory());
    EXPECT_EQ("mapsdeep", GetWorkingDirectoryName());
}

TEST_F(PathTest, DuplicatePathTurnsSeparators)
{
    char* copy = DuplicatePath("a/b/c.gxs");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("a\\b\\c.gxs", copy);
    FreePath(copy);
    FreePath(nullptr);
    copy = DuplicatePath("");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("", copy);
    FreePath(copy);
}

// The folder up to the later of the two separators, then "textures/"; a bare name leaves the search path alone.
TEST_F(PathTest, TexturePathIsTheTexturesFolderBesideTheModel)
{
    ASSERT_EQ(1, SetTexturePath("models\\shop/unit.gxs"));
    EXPECT_STREQ("models\\shop/textures/", GxImageGetPath());
    ASSERT_EQ(1, SetTexturePath("models/shop\\unit.gxs"));
    EXPECT_STREQ("models/shop\\textures/", GxImageGetPath());
    ASSERT_EQ(1, SetTexturePath("./models/levels/London/london.gxs"));
    EXPECT_STREQ("./models/levels/London/textures/", GxImageGetPath());
    EXPECT_EQ(0, SetTexturePath("unit.gxs"));
    EXPECT_STREQ("./models/levels/London/textures/", GxImageGetPath());
}

}  // namespace
