// The management panels' pictures: layout tables, the small icons and the writer of their folders.
#include "tools/content/management_pictures.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr int kChannels = 4;
constexpr int kInertSide = 2;
constexpr int kIconSide = 16;
constexpr int kOkWidth = 20;
constexpr int kOkHeight = 12;
constexpr uint8_t kOkColour[3] = {255, 255, 255};  // the panels tint it orange and white

struct Icon {
    const char* file;
    uint8_t colour[3];
};

// Shop categories in their numbering: fashion, electronics, leisure, home, health, food.
constexpr Icon kShopCategoryIcons[] = {
    {"shopcat-fashion.png", {210, 90, 160}}, {"shopcat-elec.png", {80, 140, 230}},
    {"shopcat-leisure.png", {240, 180, 60}}, {"shopcat-home.png", {150, 110, 70}},
    {"shopcat-health.png", {90, 200, 120}},  {"shopcat-food.png", {230, 100, 60}},
};
// The hire rows' job pictures: cleaning, maintenance, security.
constexpr Icon kJobIcons[] = {
    {"clean.png", {120, 200, 230}},
    {"maint.png", {230, 170, 60}},
    {"security.png", {60, 80, 170}},
};

ContentPngImage Filled(int width, int height, const uint8_t* rgb, uint8_t alpha)
{
    ContentPngImage image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    image.rows.resize(static_cast<size_t>(width) * height * kChannels);
    for (size_t i = 0; i < image.rows.size(); i += kChannels) {
        image.rows[i] = rgb[0];
        image.rows[i + 1] = rgb[1];
        image.rows[i + 2] = rgb[2];
        image.rows[i + 3] = alpha;
    }
    return image;
}

// An icon: a one-pixel dark rim around the colour.
ContentPngImage IconImage(const uint8_t* rgb)
{
    ContentPngImage image = Filled(kIconSide, kIconSide, rgb, 255);
    for (int y = 0; y < kIconSide; y++) {
        for (int x = 0; x < kIconSide; x++) {
            if (x > 0 && y > 0 && x < kIconSide - 1 && y < kIconSide - 1)
                continue;
            uint8_t* pixel = &image.rows[(static_cast<size_t>(y) * kIconSide + x) * kChannels];
            pixel[0] = pixel[1] = pixel[2] = 30;
        }
    }
    return image;
}

bool Write(const std::string& path, const ContentPngImage& image, std::string* error)
{
    if (ContentWritePng(path.c_str(), image))
        return true;
    if (error)
        *error = "cannot write " + path;
    return false;
}

bool WriteIcons(const std::string& dir, const Icon* icons, size_t count, std::string* error)
{
    for (size_t k = 0; k < count; k++) {
        if (!Write(dir + "/" + icons[k].file, IconImage(icons[k].colour), error))
            return false;
    }
    return true;
}

bool MakeFolder(const std::string& dir, std::string* error)
{
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed && error)
        *error = "cannot make " + dir;
    return !failed;
}

std::string FolderOf(const std::string& panelsDir, const ContentCanvasLayout& layout)
{
    return panelsDir + "/" + std::string(layout.folder).substr(std::string("panels/").size());
}

}  // namespace

const ContentCanvasLayout& ContentFinanceLayout(void)
{
    // Figures sit right-aligned at the columns the page prints them; shop lines run down from y 165.
    static const ContentCanvasLayout layout = {
        "panels/finance",
        "finance",
        640,
        340,
        {58, 70, 96},
        {
            {604, 310, 28, 22},  // 1 close
            {570, 270, 16, 16},  // 2 base charge down
            {590, 270, 16, 16},  // 3 base charge up
            {160, 204, 16, 16},  // 4 stake down
            {180, 204, 16, 16},  // 5 stake up
            {4, 4, kInertSide, kInertSide},
            {8, 4, kInertSide, kInertSide},
            {12, 4, kInertSide, kInertSide},
            {16, 4, kInertSide, kInertSide},
            {20, 4, kInertSide, kInertSide},
            {24, 4, kInertSide, kInertSide},
            {28, 4, kInertSide, kInertSide},
            {604, 150, 24, 22},  // 13 list up
            {604, 40, 24, 22},   // 14 list down
        },
        {{604, 310, 28, 22}, {570, 270, 36, 16}, {160, 204, 36, 16}, {604, 150, 24, 22}, {604, 40, 24, 22}},
        {
            {12, 322, "Finance"},
            {30, 300, "Income"},
            {200, 300, "Expenses"},
            {400, 300, "Shops"},
            {30, 205, "Draw"},
            {400, 240, "Rating"},
            {30, 178, "Shop list"},
        },
    };
    return layout;
}

const ContentCanvasLayout& ContentContractorsLayout(void)
{
    static const ContentCanvasLayout layout = {
        "panels/contractors",
        "contractors",
        400,
        270,
        {58, 70, 96},
        {{364, 240, 28, 22}},
        {{364, 240, 28, 22}},
        {{12, 250, "Contractors"}, {25, 225, "Job"}, {190, 225, "Level"}, {240, 225, "Price"}, {300, 225, "Time"}},
    };
    return layout;
}

const ContentCanvasLayout& ContentHireLayout(void)
{
    static const ContentCanvasLayout layout = {
        "panels/hire",
        "hire",
        300,
        240,
        {58, 70, 96},
        {{264, 210, 28, 22}},
        {{264, 210, 28, 22}},
        {{12, 220, "Hire staff"}, {25, 195, "Job"}, {190, 195, "Level"}, {230, 195, "Wage"}},
    };
    return layout;
}

bool ContentWriteManagementPanels(const std::string& panelsDir, std::string* error)
{
    const ContentPngImage ok = Filled(kOkWidth, kOkHeight, kOkColour, 255);
    for (const ContentCanvasLayout* layout : {&ContentFinanceLayout(), &ContentContractorsLayout(), &ContentHireLayout()}) {
        const std::string folder = FolderOf(panelsDir, *layout);
        if (!MakeFolder(folder, error) || !ContentWriteCanvas(*layout, folder, error))
            return false;
    }
    const std::string finance = FolderOf(panelsDir, ContentFinanceLayout());
    const ContentPngImage inert = Filled(kInertSide, kInertSide, kOkColour, 0);
    for (int k = kContentFinanceFirstInert; k <= kContentFinanceLastInert; k++) {
        if (!Write(finance + "/" + std::to_string(k) + "_s.png", inert, error))
            return false;
    }
    const std::string staff = panelsDir + "/staff";
    return Write(FolderOf(panelsDir, ContentContractorsLayout()) + "/ok.png", ok, error) &&
           Write(FolderOf(panelsDir, ContentHireLayout()) + "/ok.png", ok, error) &&
           WriteIcons(finance, kShopCategoryIcons, sizeof(kShopCategoryIcons) / sizeof(kShopCategoryIcons[0]), error) &&
           MakeFolder(staff, error) && WriteIcons(staff, kJobIcons, sizeof(kJobIcons) / sizeof(kJobIcons[0]), error);
}
