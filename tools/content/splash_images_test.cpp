// The splash pictures and the cursor: sizes and formats the game reads, and pictures told apart.
#include "tools/content/splash_images.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "tools/content/content_testing.h"

namespace {

// Alpha of cursor pixel (x, y).
uint8_t CursorAlpha(const ContentPngImage& image, uint32_t x, uint32_t y)
{
    return image.rows[(static_cast<size_t>(y) * image.width + x) * 4 + 3];
}

}  // namespace

TEST(SplashImages, FiveDistinctFullScreenPictures)
{
    std::set<std::vector<uint8_t>> seen;
    for (const ContentSplash& splash : kContentSplashes) {
        const ContentPngImage image = ContentSplashImage(splash);
        EXPECT_EQ(800u, image.width) << splash.name;
        EXPECT_EQ(600u, image.height) << splash.name;
        EXPECT_EQ(PNG_COLOR_TYPE_RGB, image.colourType);
        ASSERT_EQ(800u * 600u * 3u, image.rows.size());
        seen.insert(image.rows);
    }
    EXPECT_EQ(5u, seen.size());
}

TEST(SplashImages, CursorPointsToItsTopLeftPixelAndIsClearElsewhere)
{
    const ContentPngImage cursor = ContentCursorImage();
    EXPECT_EQ(32u, cursor.width);
    EXPECT_EQ(32u, cursor.height);
    EXPECT_EQ(PNG_COLOR_TYPE_RGB_ALPHA, cursor.colourType);
    EXPECT_EQ(255, CursorAlpha(cursor, 0, 0));
    EXPECT_EQ(255, CursorAlpha(cursor, 3, 10));
    EXPECT_EQ(0, CursorAlpha(cursor, 31, 0));
    EXPECT_EQ(0, CursorAlpha(cursor, 31, 31));
}

class SplashFiles : public ContentFilesTest {};

// The pictures are written through the library's file layer, as mkcontent writes them.
TEST_F(SplashFiles, WritesThePicturesWhereTheGameLooks)
{
    std::string error;
    ASSERT_TRUE(ContentWriteSplashes(dir.string(), &error)) << error;
    for (const char* name : {"StoneArrow.png", "BrightRidge.png", "graphics.png", "loading.png", "loadingger.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / "images" / "loading" / name)) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / "cursor.png"));
}
