// The launcher's pictures: the sizes it draws them at, 24-bit files, plain list spots and labels per language;
// and its help pages, whole in every language.
#include "tools/content/startup_images.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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

// The uninstall button does nothing: in every language it is painted greyed out, dimmer than any word of the
// play button, and the pointer over it lights nothing up.
TEST(StartupImages, UninstallIsGreyedOutUnderThePointerToo)
{
    const auto brightest = [](const ContentPngImage& image) {
        int most = 0;
        for (size_t i = 0; i < image.rows.size(); i += 4)
            most = std::max({most, int{image.rows[i]}, int{image.rows[i + 1]}, int{image.rows[i + 2]}});
        return most;
    };
    // English, French, German: play's picture, then the uninstall button and its highlighted form.
    for (const auto& [play, uninstall] : {std::pair{1, 12}, std::pair{18, 23}, std::pair{28, 33}}) {
        const ContentPngImage button = ContentStartupImage(uninstall);
        EXPECT_LT(brightest(button), brightest(ContentStartupImage(play)) * 2 / 3) << uninstall;
        EXPECT_EQ(button.rows, ContentStartupImage(uninstall + 1).rows) << uninstall;
    }
}

class StartupFiles : public ContentFilesTest {};

TEST_F(StartupFiles, WritesTwentyFourBitFiles)
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
}

// The help page of each language names its language and encoding and holds every section the English one does,
// in the same order, so that no player misses a part of how to play.
TEST(HelpPages, EveryLanguageHasEverySection)
{
    const auto sections = [](const std::string& page) {
        std::vector<std::string> ids;
        for (size_t at = page.find("<h2 id=\""); at != std::string::npos; at = page.find("<h2 id=\"", at + 1))
            ids.push_back(page.substr(at + 8, page.find('"', at + 8) - at - 8));
        return ids;
    };
    const std::string english = ContentSourceText("help/eng/Help.htm");
    ASSERT_FALSE(english.empty());
    EXPECT_EQ(sections(english),
              (std::vector<std::string>{"start", "goals", "shoppers", "camera", "building", "storeys", "staff",
                                        "contracts", "money", "speed", "saving"}));
    const std::pair<const char*, const char*> others[] = {{"ger", "de"}, {"fre", "fr"}};
    for (const auto& [folder, code] : others) {
        const std::string page = ContentSourceText((std::string("help/") + folder + "/Help.htm").c_str());
        EXPECT_EQ(sections(page), sections(english)) << folder;
        EXPECT_NE(page.find(std::string("<html lang=\"") + code + "\">"), std::string::npos) << folder;
        EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos) << folder;
    }
}

// The help names the count of shoppers a goal needs as the shoppers panel shows it: by the tooltip of its
// figure, quoted in each language as the language file holds it.
TEST(HelpPages, TheShopperCountIsNamedByItsTooltip)
{
    const std::string texts = ContentSourceText("language.xml");
    const std::tuple<const char*, const char*, const char*, const char*> pages[] = {
        {"eng", "Shoppers who came", "\"", "\""},
        {"ger", "Gekommene Kunden", "„", "“"},
        {"fre", "Clients venus", "«&nbsp;", "&nbsp;»"},
    };
    for (const auto& [folder, tip, open, close] : pages) {
        EXPECT_NE(texts.find(std::string("\n") + tip + "\n"), std::string::npos) << tip;
        const std::string page = ContentSourceText((std::string("help/") + folder + "/Help.htm").c_str());
        EXPECT_NE(page.find(std::string(open) + tip + close), std::string::npos) << folder;
    }
}
