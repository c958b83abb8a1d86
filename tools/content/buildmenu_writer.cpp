// The build menus' pictures, read from the game data and painted as rows of icons.
#include "tools/content/buildmenu_writer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/data/tagtree.h"
#include "tools/content/icon_painter.h"
#include "tools/content/misc_models.h"
#include "tools/content/templates_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBlock = "BUILD_OBJECTS";
constexpr const char* kPanel = "panel";
constexpr const char* kPlans = "plans";
constexpr const char* kPictureExtension = ".png";
constexpr const char* kFloorTiles = "FLOOR_TILES";
constexpr int kFloorCategory = 0;
constexpr int kTileCellsAcross = 2;  // a floor item shows 2 x 2 cells of its tile, so its joints read as a floor

constexpr int kColumns = 9;
constexpr int kIcon = 40;
constexpr int kGap = 6;
constexpr int kMargin = 8;
constexpr int kChannels = 4;
// Map colours stay distinct below this many buttons.
constexpr int kMaxButtons = 64;
constexpr int kMarkSize = 4;
constexpr int kMarksPerRow = 4;
const uint8_t kPanelColour[3] = {58, 66, 88};
const uint8_t kMarkColour[3] = {250, 250, 240};
const uint8_t kBackColour[3] = {200, 200, 210};
const uint8_t kArrowColour[3] = {40, 40, 60};

bool Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

// Fills a rectangle given in top-down rows.
void Fill(ContentPngImage* image, int x, int row, int width, int height, const uint8_t* rgb)
{
    for (int r = row; r < row + height; r++)
        for (int c = x; c < x + width; c++)
            ContentPutPixel(image, c, r, rgb);
}

std::string FirstValue(CFerroxTagTree* data)
{
    const char* value = data->GetValue(0);
    std::string text = value ? value : "";
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// The picture paths of the entries below the cursor's node with a panel and plans, in document order.
void CollectPlanMenus(CFerroxTagTree* data, std::vector<ContentBuildMenu>* menus)
{
    CFerroxTagNode* node = data->GetCursor();
    for (CFerroxTagNode* entry : node->children) {
        data->SetCursor(entry);
        if (data->HasChild(kPanel) && data->HasChild(kPlans)) {
            data->FindChild(kPanel);
            ContentBuildMenu menu;
            menu.path = FirstValue(data);
            menus->push_back(menu);
            data->MoveToParent();
        }
        CollectPlanMenus(data, menus);
    }
    data->SetCursor(node);
}

// The painted tile of each "FLOOR_TILES" entry, by its picture's stem; false with the reason when an entry
// names a picture the content does not paint.
bool ReadFloorTiles(CFerroxTagTree* data, std::vector<int>* tiles, std::string* error)
{
    if (!data->FindNode(kFloorTiles, 1) || !data->FindChild(nullptr))
        return Fail(error, "data.xml has no FLOOR_TILES");
    do {
        const std::string path = FirstValue(data);
        const std::string stem = fs::path(path).stem().string();
        int found = -1;
        for (int t = 0; t < kContentFloorTileCount && found < 0; t++)
            found = stem == ContentFloorTileStem(t) ? t : -1;
        if (found < 0)
            return Fail(error, "FLOOR_TILES names a picture no floor tile has: " + path);
        tiles->push_back(found);
    } while (data->NextSibling(nullptr));
    return true;
}

// A tile's picture shrunk to the icon, its cells repeated across.
void PaintTile(ContentPngImage* image, int tile, int size)
{
    const ContentPngImage picture = ContentFloorTileImage(tile);
    const int cell = size / kTileCellsAcross;
    for (int row = 0; row < size; row++) {
        for (int x = 0; x < size; x++) {
            // The mean of the picture's pixels under this one.
            const int x0 = (x % cell) * kContentFloorTileSize / cell,
                      x1 = (x % cell + 1) * kContentFloorTileSize / cell;
            const int y0 = (row % cell) * kContentFloorTileSize / cell;
            const int y1 = (row % cell + 1) * kContentFloorTileSize / cell;
            int sum[3] = {};
            for (int y = y0; y < y1; y++)
                for (int u = x0; u < x1; u++)
                    for (int c = 0; c < 3; c++)
                        sum[c] += picture.rows[(static_cast<size_t>(y) * picture.width + u) * kChannels + c];
            const int count = (x1 - x0) * (y1 - y0);
            const uint8_t rgb[3] = {static_cast<uint8_t>(sum[0] / count), static_cast<uint8_t>(sum[1] / count),
                                    static_cast<uint8_t>(sum[2] / count)};
            ContentPutPixel(image, x, row, rgb);
        }
    }
}

}  // namespace

std::vector<ContentBuildMenu> ContentReadBuildMenus(CFerroxTagTree* data, std::string* error)
{
    std::vector<ContentBuildMenu> menus;
    if (!data->FindNode(kBlock, 1) || !data->FindChild(kPanel)) {
        Fail(error, "data.xml has no BUILD_OBJECTS block with a root panel");
        return {};
    }
    ContentBuildMenu root;
    root.path = FirstValue(data);
    data->MoveToParent();
    menus.push_back(root);
    CollectPlanMenus(data, &menus);

    const std::vector<ContentCategory> categories = ContentReadTemplates(data);
    menus[0].buttons = static_cast<int>(menus.size());  // one child per plans menu, then back
    for (size_t m = 1; m < menus.size(); m++) {
        const size_t category = m - 1;
        if (category >= categories.size()) {
            Fail(error, "BUILD_OBJECTS has more plans menus than TEMPLATES has categories");
            return {};
        }
        menus[m].category = static_cast<int>(category);
        menus[m].buttons = static_cast<int>(categories[category].plans.size()) + 1;
    }
    if (menus.size() > 1 + kFloorCategory) {
        ContentBuildMenu& floors = menus[1 + kFloorCategory];
        if (!ReadFloorTiles(data, &floors.tiles, error))
            return {};
        // The game lays entry k of FLOOR_TILES for item k.
        if (static_cast<int>(floors.tiles.size()) < floors.buttons - 1) {
            Fail(error, "FLOOR_TILES has fewer entries than the floors menu has items");
            return {};
        }
        floors.tiles.resize(static_cast<size_t>(floors.buttons - 1));
    }
    for (const ContentBuildMenu& menu : menus) {
        if (menu.buttons >= kMaxButtons) {
            Fail(error, "too many buttons for one menu: " + menu.path);
            return {};
        }
        if (menu.path.find(kPictureExtension) == std::string::npos) {
            Fail(error, "a BUILD_OBJECTS panel names no picture: " + menu.path);
            return {};
        }
    }
    return menus;
}

int ContentBuildTooltipCount(const std::vector<ContentBuildMenu>& menus)
{
    int count = 0;
    for (const ContentBuildMenu& menu : menus)
        count += menu.buttons - 1;
    return count;
}

ContentCanvasLayout ContentBuildMenuLayout(const char* folder, const char* stem, int buttons)
{
    const int rows = std::max(1, (buttons + kColumns - 1) / kColumns);
    const int pitch = kIcon + kGap;
    ContentCanvasLayout layout = {};
    layout.folder = folder;
    layout.stem = stem;
    layout.width = 2 * kMargin + kColumns * pitch - kGap;
    layout.height = 2 * kMargin + rows * pitch - kGap;
    std::copy(kPanelColour, kPanelColour + 3, layout.panel);
    for (int k = 0; k < buttons; k++) {
        const int row = k / kColumns;
        const int column = k % kColumns;
        // Rows run from the top; positions are bottom-up.
        layout.buttons.push_back(
            {kMargin + column * pitch, layout.height - kMargin - kIcon - row * pitch, kIcon, kIcon});
    }
    return layout;
}

ContentPngImage ContentBuildMenuIcon(const ContentBuildMenu& menu, int button, int size)
{
    ContentPngImage image;
    image.width = static_cast<uint32_t>(size);
    image.height = static_cast<uint32_t>(size);
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.rows.assign(static_cast<size_t>(size) * size * kChannels, 0);
    if (button == menu.buttons - 1) {
        // Back: a left-pointing arrow on a light face.
        Fill(&image, 0, 0, size, size, kBackColour);
        const int middle = size / 2;
        for (int x = size / 5; x < size - size / 5; x++) {
            const int half = x < middle ? x - size / 5 : size / 10;
            Fill(&image, x, middle - half, 1, 2 * half + 1, kArrowColour);
        }
        return image;
    }
    if (button < static_cast<int>(menu.tiles.size())) {
        PaintTile(&image, menu.tiles[static_cast<size_t>(button)], size);
        return image;
    }
    // The root's buttons show the category they open; items show their menu's category, with one mark per
    // item number along the bottom.
    const int category = menu.category < 0 ? button : menu.category;
    const uint8_t* face = ContentBuildCategoryColour(category);
    Fill(&image, 0, 0, size, size, face);
    if (menu.category < 0) {
        ContentPaintIcon(&image, 0, 0, size, size, ContentBuildCategoryIcon(category), kContentIconInk);
        return image;
    }
    const int iconSide = size - 2 * kMarkSize;
    ContentPaintIcon(&image, kMarkSize, 0, iconSide, iconSide, ContentBuildCategoryIcon(category), kContentIconInk);
    const int marks = button + 1;
    for (int m = 0; m < marks; m++) {
        const int x = kMarkSize + (m % kMarksPerRow) * 2 * kMarkSize;
        Fill(&image, x, size - kMarkSize - kMarkSize / 2, kMarkSize, kMarkSize, kMarkColour);
    }
    return image;
}

bool ContentWriteBuildMenus(const std::string& textDir, const std::string& out, std::string* detail)
{
    std::string text;
    if (!ContentGameDataText(textDir, &text, detail))
        return false;
    CFerroxTagTree data;
    if (!data.LoadFromMemory(text.data(), text.size()))
        return Fail(detail, "data.xml does not read");
    const std::vector<ContentBuildMenu> menus = ContentReadBuildMenus(&data, detail);
    if (menus.empty())
        return false;
    for (const ContentBuildMenu& menu : menus) {
        const fs::path picture = fs::path(out) / menu.path;
        const std::string folder = picture.parent_path().string();
        const std::string stem = picture.stem().string();
        std::error_code error;
        fs::create_directories(folder, error);
        if (error)
            return Fail(detail, "cannot make " + folder);
        const ContentCanvasLayout layout = ContentBuildMenuLayout(folder.c_str(), stem.c_str(), menu.buttons);
        const std::string base = folder + "/" + stem;
        if (!ContentWritePng((base + ".png").c_str(), ContentPaletteImage(ContentCanvasBackground(layout))) ||
            !ContentWritePng((base + "_p.png").c_str(), ContentPaletteImage(ContentCanvasPlacementMap(layout))))
            return Fail(detail, "cannot write " + base);
        for (int k = 0; k < menu.buttons; k++) {
            std::string failed;
            if (!ContentWriteButton(folder, k + 1, ContentPaletteImage(ContentBuildMenuIcon(menu, k, kIcon)), &failed))
                return Fail(detail, failed);
        }
    }
    return true;
}
