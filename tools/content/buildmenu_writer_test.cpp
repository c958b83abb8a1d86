// Build menu pictures: the authored data names a menu per build category, the pictures decode with the game's
// own menu builder to the buttons the templates ask for, and the tooltips cover every item.
#include "tools/content/buildmenu_writer.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "tools/content/content_testing.h"
#include "tools/content/misc_models.h"
#include "tools/content/templates_writer.h"
#include "ui/game/buildmenu.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t CodePoints(const std::u16string& text) { return text.size(); }

TEST(BuildMenuContent, EveryItemHasATooltipInThreeLanguages)
{
    std::string error;
    CFerroxTagTree data;
    ASSERT_TRUE(ContentLoadAuthoredData(&data, &error)) << error;
    const std::vector<ContentBuildMenu> menus = ContentReadBuildMenus(&data, &error);
    ASSERT_EQ(menus.size(), 1u + kContentBuildCategoryCount) << error;
    // The root opens one menu per build category.
    EXPECT_EQ(menus[0].buttons, kContentBuildCategoryCount + 1);
    const int count = ContentBuildTooltipCount(menus);

    const std::string language = ReadFile(ContentTextDir() + "/language.xml");
    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(language.data(), language.size()));
    for (int32_t which = 0; which < 3; which++) {
        CLocale locale;
        locale.SetLanguage(which);
        locale.LoadTextsFromTree(tree);
        const int16_t list = locale.FindTextList(kBuildTooltipList);
        ASSERT_GE(list, 0);
        for (int k = 0; k < count; k++) {
            bool missing = false;
            const std::u16string tip = locale.GetText(list, static_cast<uint16_t>(k), &missing);
            EXPECT_FALSE(missing) << "language " << which << " text " << k;
            EXPECT_FALSE(tip.empty());
            EXPECT_LE(CodePoints(tip), 45u);
        }
        // Exactly as many: a text past the items means the menus and the list went apart.
        bool missing = false;
        locale.GetText(list, static_cast<uint16_t>(count), &missing);
        EXPECT_TRUE(missing) << "build_tooltips holds more texts than the menus have items";
    }
}

TEST(BuildMenuContent, ReadingRejectsBrokenBlocks)
{
    std::string error;
    CFerroxTagTree data;
    const std::string noRoot = "<BUILD_OBJECTS>\n<m00>\n<panel>\nm.png\n</panel>\n<plans>\n</plans>\n</m00>\n"
                               "</BUILD_OBJECTS>\n";
    ASSERT_TRUE(data.LoadFromMemory(noRoot.data(), noRoot.size()));
    EXPECT_TRUE(ContentReadBuildMenus(&data, &error).empty());
    EXPECT_FALSE(error.empty());

    // More plans menus than template categories.
    const std::string extra = "<TEMPLATES>\n<FLOOR>\n<plans>\n<plan>\nf.gxs\n2\n</plan>\n</plans>\n</FLOOR>\n"
                              "</TEMPLATES>\n<BUILD_OBJECTS>\n<panel>\nroot.png\n</panel>\n<m00>\n<panel>\na.png\n"
                              "</panel>\n<plans>\n</plans>\n</m00>\n<m01>\n<panel>\nb.png\n</panel>\n<plans>\n"
                              "</plans>\n</m01>\n</BUILD_OBJECTS>\n";
    ASSERT_TRUE(data.LoadFromMemory(extra.data(), extra.size()));
    error.clear();
    EXPECT_TRUE(ContentReadBuildMenus(&data, &error).empty());
    EXPECT_FALSE(error.empty());

    // One menu, one plan: the root has the child and back, the menu its item and back. The floors menu's item
    // lays the first FLOOR_TILES entry, a picture the content paints.
    const size_t cut = extra.find("<m01>");
    const std::string one = extra.substr(0, cut) + "</BUILD_OBJECTS>\n";
    const std::string tiles = "<FLOOR_TILES>\n<t0>\n./images/floors/wood.png\n</t0>\n</FLOOR_TILES>\n";
    ASSERT_TRUE(data.LoadFromMemory(one.data(), one.size()));
    EXPECT_TRUE(ContentReadBuildMenus(&data, &error).empty()) << "no FLOOR_TILES";
    const std::string withTiles = tiles + one;
    ASSERT_TRUE(data.LoadFromMemory(withTiles.data(), withTiles.size()));
    const std::vector<ContentBuildMenu> menus = ContentReadBuildMenus(&data, &error);
    ASSERT_EQ(menus.size(), 2u) << error;
    EXPECT_EQ(menus[0].buttons, 2);
    EXPECT_EQ(menus[1].buttons, 2);
    EXPECT_EQ(menus[1].category, 0);
    EXPECT_EQ(menus[1].tiles, std::vector<int>{2});
    EXPECT_EQ(ContentBuildTooltipCount(menus), 2);

    // A tile picture nobody paints, and fewer tiles than floor items.
    const std::string unknown = "<FLOOR_TILES>\n<t0>\n./images/floors/lava.png\n</t0>\n</FLOOR_TILES>\n" + one;
    ASSERT_TRUE(data.LoadFromMemory(unknown.data(), unknown.size()));
    error.clear();
    EXPECT_TRUE(ContentReadBuildMenus(&data, &error).empty());
    EXPECT_NE(error.find("lava"), std::string::npos) << error;
    std::string two = withTiles;
    two.insert(two.find("</plans>"), "<plan>\ng.gxs\n2\n</plan>\n");
    ASSERT_TRUE(data.LoadFromMemory(two.data(), two.size()));
    EXPECT_TRUE(ContentReadBuildMenus(&data, &error).empty());
}

// The mean colour of an RGBA picture's pixels.
std::array<double, 3> MeanColour(const ContentPngImage& image)
{
    std::array<double, 3> mean = {};
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < pixels; i++)
        for (size_t c = 0; c < 3; c++)
            mean[c] += image.rows[i * 4 + c] / static_cast<double>(pixels);
    return mean;
}

double ColourDistance(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// The mean over pixels of the summed channel differences of two RGBA pictures of one size.
double PictureDistance(const ContentPngImage& a, const ContentPngImage& b)
{
    double sum = 0.0;
    const size_t pixels = static_cast<size_t>(a.width) * a.height;
    for (size_t i = 0; i < pixels; i++)
        for (size_t c = 0; c < 3; c++)
            sum += std::abs(a.rows[i * 4 + c] - b.rows[i * 4 + c]);
    return sum / static_cast<double>(pixels);
}

// Each floor item shows the tile the game lays for it (entry k of FLOOR_TILES for item k), and no two look
// alike.
TEST(BuildMenuContent, FloorItemsShowTheTilesTheyLay)
{
    std::string error;
    CFerroxTagTree data;
    ASSERT_TRUE(ContentLoadAuthoredData(&data, &error)) << error;
    const std::vector<ContentBuildMenu> menus = ContentReadBuildMenus(&data, &error);
    ASSERT_GT(menus.size(), 1u) << error;
    const ContentBuildMenu& floors = menus[1];
    ASSERT_EQ(floors.buttons - 1, kContentFloorTileCount);
    ASSERT_TRUE(data.FindNode("FLOOR_TILES", 1) && data.FindChild(nullptr));
    constexpr int kSide = 40;
    constexpr double kSameColour = 6.0, kLeastDifference = 40.0;
    std::vector<ContentPngImage> shown;
    for (int k = 0; k < floors.buttons - 1; k++, data.NextSibling(nullptr)) {
        std::string path = data.GetValue(0);
        path.erase(path.find_last_not_of('\n') + 1);
        int tile = -1;
        for (int t = 0; t < kContentFloorTileCount; t++)
            tile = path == std::string("./images/floors/") + ContentFloorTileStem(t) + ".png" ? t : tile;
        ASSERT_GE(tile, 0) << path;
        shown.push_back(ContentBuildMenuIcon(floors, k, kSide));
        EXPECT_LT(ColourDistance(MeanColour(shown.back()), MeanColour(ContentFloorTileImage(tile))), kSameColour)
            << path;
        for (int j = 0; j < k; j++)
            EXPECT_GT(PictureDistance(shown[j], shown.back()), kLeastDifference) << "items " << j + 1 << ", " << k + 1;
    }
}

class BuildMenuPictures : public UiTest {};

TEST_F(BuildMenuPictures, AuthoredMenusDecodeToTheirButtons)
{
    ASSERT_FALSE(ContentTextDir().empty());
    std::string detail;
    ASSERT_TRUE(ContentWriteBuildMenus(ContentTextDir(), dir.string(), &detail)) << detail;

    std::string text, error;
    ASSERT_TRUE(ContentGameDataText(ContentTextDir(), &text, &error)) << error;
    CFerroxTagTree data;
    ASSERT_TRUE(data.LoadFromMemory(text.data(), text.size()));
    const std::vector<ContentBuildMenu> menus = ContentReadBuildMenus(&data, &error);
    ASSERT_EQ(menus.size(), 1u + kContentBuildCategoryCount);

    // The game's builder reads the pictures from the scratch root.
    for (size_t at = text.find("./images/build/"); at != std::string::npos; at = text.find("./images/build/", at + 2))
        text.replace(at, 1, dir.string());
    ASSERT_TRUE(data.LoadFromMemory(text.data(), text.size()));
    CBuildCanvasManager manager;
    manager.SetPosition(&data, 0.0f, 80.0f);
    CFerroxCanvasNode* root = manager.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetWidgetCount(), menus[0].buttons + 1);
    for (size_t m = 1; m < menus.size(); m++) {
        CFerroxCanvasNode* page = root->GetChild(m - 1);
        ASSERT_NE(page, nullptr) << menus[m].path;
        EXPECT_EQ(page->GetWidgetCount(), menus[m].buttons + 1) << menus[m].path;
    }
    EXPECT_EQ(root->GetChild(menus.size() - 1), nullptr);
    EXPECT_EQ(manager.GetFirstItemId(), ContentBuildTooltipCount(menus));
}

}  // namespace
