// The launcher's pictures: the sizes it draws them at, 24-bit files, plain list spots and labels per language.
#include "tools/content/startup_images.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "tools/content/content_testing.h"

namespace {

bool SameRgb(const ContentPngImage& image, int x, int y, const ContentPngImage& other, int ox, int oy)
{
    const uint8_t* a = &image.rows[(static_cast<size_t>(y) * image.width + x) * 4];
    const uint8_t* b = &other.rows[(static_cast<size_t>(oy) * other.width + ox) * 4];
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

}  // namespace

TEST(StartupImages, SizesPlainListSpotsAndOneLanguageEach)
{
    for (int file = 1; file <= kContentStartupFiles; ++file) {
        const ContentPngImage image = ContentStartupImage(file);
        const bool screen = file == 16 || file == 17 || file == 27 || file == 37;
        const bool language = file >= 6 && file <= 11;
        EXPECT_EQ(image.width, screen ? 640u : language ? 120u : 190u) << file;
        EXPECT_EQ(image.height, screen ? 480u : language ? 72u : 24u) << file;
    }
    // The list boxes are drawn over these spots: nothing may be painted there but the background.
    for (int file : {16, 27, 37}) {
        const ContentPngImage image = ContentStartupImage(file);
        for (int top : {44, 96})
            for (int y = top; y < top + 20; ++y)
                for (int x = 38; x < 175; ++x)
                    ASSERT_TRUE(SameRgb(image, x, y, image, 38, 44)) << file << " at " << x << "," << y;
    }
    // Each language labels its own buttons.
    const ContentPngImage english = ContentStartupImage(1);
    const ContentPngImage french = ContentStartupImage(18);
    const ContentPngImage german = ContentStartupImage(28);
    EXPECT_NE(english.rows, french.rows);
    EXPECT_NE(english.rows, german.rows);
    EXPECT_NE(ContentStartupImage(16).rows, ContentStartupImage(37).rows);
}

class StartupFiles : public ContentFilesTest {};

TEST_F(StartupFiles, WritesTwentyFourBitFilesAndHelpPages)
{
    std::string error;
    ASSERT_TRUE(ContentWriteStartup(dir.string(), &error)) << error;
    for (int file = 1; file <= kContentStartupFiles; ++file) {
        std::ifstream in(dir / "images" / "startup" / (std::to_string(file) + ".bmp"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 54u) << file;
        EXPECT_EQ(bytes.substr(0, 2), "BM");
        EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24u) << file;
    }
    for (const char* lang : {"eng", "ger", "fre"})
        EXPECT_TRUE(std::filesystem::exists(dir / "help" / lang / "Help.htm")) << lang;
}
