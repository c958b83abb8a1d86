// The selection cards' and summaries' pictures: layout tables, small icons and the writer of their folders.
#include "tools/content/card_painter.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "tools/content/icon_painter.h"

namespace {

constexpr uint8_t kCardPanel[3] = {70, 82, 104};
constexpr int kChannels = 4;
constexpr uint8_t kOpaque = 255;
constexpr int kIconSize = 16;
constexpr int kRowButtonWidth = 28;
constexpr int kRowButtonHeight = 12;
constexpr int kChargeButtonWidth = 12;
constexpr int kChargeButtonHeight = 12;

constexpr const char* kStarSigns[] = {"Aquarius", "Aries",  "Cancer",      "Capricorn", "Gemini", "Leo",
                                      "Libra",    "Pisces", "Sagittarius", "Scorpio",   "Taurus", "Virgo"};

// The cards: one line of figures at about y 15 and the columns' names above it.
constexpr int kCardHeight = 44;
constexpr int kCardHeadY = 30;

// Column names over a shopper line whose figures start at x: age and money, the three need bars, how the
// shopper came and the bags.
std::vector<ContentUiLabel> ShopperHeads(int x, int y)
{
    return {{x + 63, y, "Age", CONTENT_LABEL_RIGHT},      {x + 96, y, "Cash", CONTENT_LABEL_RIGHT},
            {x + 120, y, "Toilet", CONTENT_LABEL_CENTRE}, {x + 168, y, "Rest", CONTENT_LABEL_CENTRE},
            {x + 216, y, "Wait", CONTENT_LABEL_CENTRE},   {x + 244, y, "By"},
            {x + 311, y, "Bags", CONTENT_LABEL_RIGHT}};
}

// Column names over a staff line whose title starts at x; the wage's name on a second row above the others, its
// column standing too near the level's and the jobs' for three names side by side.
constexpr int kStaffHeadRise = 13;
std::vector<ContentUiLabel> StaffHeads(int x, int y)
{
    return {{x, y, "Job"},
            {x + 188, y, "Level", CONTENT_LABEL_RIGHT},
            {x + 219, y + kStaffHeadRise, "Wage", CONTENT_LABEL_RIGHT},
            {x + 252, y, "Jobs", CONTENT_LABEL_RIGHT}};
}

std::vector<ContentUiLabel> ShopperSummaryLabels()
{
    // Totals at 344 (came, per month, spent, per month) and 328 (spent per shopper, named before its widest
    // figure, a 16-bit one right-aligned under the spending); lines from 271.
    constexpr int kSpentRight = 282;
    const int eachRight = kSpentRight - ContentTextWidth(kContentFiguresFont, "65535") - 2 * kContentLabelGap;
    std::vector<ContentUiLabel> labels = {{12, 344, "Shoppers"},
                                          {114, 358, "Came", CONTENT_LABEL_RIGHT},
                                          {164, 358, "Month", CONTENT_LABEL_RIGHT},
                                          {282, 358, "Spent", CONTENT_LABEL_RIGHT},
                                          {328, 358, "Month", CONTENT_LABEL_RIGHT},
                                          {eachRight, 328, "Each", CONTENT_LABEL_RIGHT}};
    const std::vector<ContentUiLabel> heads = ShopperHeads(56, 286);
    labels.insert(labels.end(), heads.begin(), heads.end());
    return labels;
}

std::vector<ContentUiLabel> StaffSummaryLabels()
{
    // Totals at 230 (staff, wages, per month) and 215 (jobs done, per month), named after their figures; lines
    // from 161.
    constexpr int kTotalNames = 269;
    std::vector<ContentUiLabel> labels = {{12, 246, "Staff"},
                                          {12, 230, "Total"},
                                          {kTotalNames, 230, "Wages"},
                                          {kTotalNames, 215, "Jobs done"},
                                          {265, 246, "Month", CONTENT_LABEL_RIGHT},
                                          {60, 14, "Hire", CONTENT_LABEL_CENTRE}};
    const std::vector<ContentUiLabel> heads = StaffHeads(28, 176);
    labels.insert(labels.end(), heads.begin(), heads.end());
    return labels;
}

// An inert place k (0-based) in the bottom-left corner, clear of the others.
ContentUiRect Inert(int k) { return {4 + 4 * k, 2, kContentInertSize, kContentInertSize}; }

// One flat icon, fully opaque: its picture in dark ink, or without one a darker centre mark.
ContentPngImage Icon(int width, int height, const uint8_t* rgb, ContentIcon picture)
{
    ContentPngImage image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.rows.assign(static_cast<size_t>(width) * height * kChannels, 0);
    for (int row = 0; row < height; row++) {
        for (int x = 0; x < width; x++) {
            const bool mark = picture == CONTENT_ICON_NONE && x >= width / 4 && x < width - width / 4 &&
                              row >= height / 4 && row < height - height / 4;
            uint8_t* pixel = &image.rows[(static_cast<size_t>(row) * width + x) * kChannels];
            for (int c = 0; c < 3; c++)
                pixel[c] = static_cast<uint8_t>(mark ? rgb[c] / 2 : rgb[c]);
            pixel[3] = kOpaque;
        }
    }
    ContentPaintIcon(&image, 0, 0, width, height, picture, kContentIconInk);
    return image;
}

// The canvas, then its inert buttons' pictures replaced by clear ones.
bool WriteCanvas(const ContentCanvasLayout& layout, const std::vector<int>& inert, const std::string& panelsDir,
                 std::string* error)
{
    const std::string folder = panelsDir + "/" + std::string(layout.folder).substr(std::string("panels/").size());
    if (!ContentMakeFolder(folder, error) || !ContentWriteCanvas(layout, folder, error))
        return false;
    for (int k : inert) {
        if (!ContentWriteButton(folder, k, ContentBlankImage(kContentInertSize, kContentInertSize), error))
            return false;
    }
    return true;
}

struct NamedIcon {
    const char* name;
    int width, height;
    uint8_t rgb[3];
    ContentIcon picture = CONTENT_ICON_NONE;
};

bool WriteIcons(const std::string& dir, const std::vector<NamedIcon>& icons, std::string* error)
{
    if (!ContentMakeFolder(dir, error))
        return false;
    for (const NamedIcon& icon : icons) {
        if (!ContentWritePicture(dir + "/" + icon.name + ".png", Icon(icon.width, icon.height, icon.rgb, icon.picture),
                                 error))
            return false;
    }
    return true;
}

}  // namespace

const ContentCanvasLayout& ContentShopperCardLayout(void)
{
    // One shopper line from (56, 16): sign at 26, sex at 58, figures to 367; each column headed above it.
    static const ContentCanvasLayout layout = {
        "panels/shopperpopup",
        "shopperpopup",
        420,
        kCardHeight,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{394, 10, 18, 16}},
        {{394, 10, 18, 16}},
        ShopperHeads(56, kCardHeadY),
        {CONTENT_ICON_CLOSE},
        {},
    };
    return layout;
}

const ContentCanvasLayout& ContentShopCardLayout(void)
{
    // One shop line from (17, 15), its charge between the buttons at 500 and 548.
    static const ContentCanvasLayout layout = {
        "panels/shoppopup",
        "shoppopup",
        600,
        kCardHeight,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{576, 12, 18, 16}},
        {{576, 12, 18, 16},
         {500, 10, kChargeButtonWidth, kChargeButtonHeight},
         {548, 10, kChargeButtonWidth, kChargeButtonHeight}},
        {{42, kCardHeadY, "Shop"},
         {287, kCardHeadY, "Takings", CONTENT_LABEL_RIGHT},
         {342, kCardHeadY, "Net", CONTENT_LABEL_RIGHT},
         {397, kCardHeadY, "Paid", CONTENT_LABEL_RIGHT},
         {454, kCardHeadY, "Kind", CONTENT_LABEL_RIGHT},
         {492, kCardHeadY, "Sales", CONTENT_LABEL_RIGHT},
         {544, kCardHeadY, "Charge", CONTENT_LABEL_RIGHT}},
        {CONTENT_ICON_CLOSE},
        {},
    };
    return layout;
}

const ContentCanvasLayout& ContentStaffCardLayout(void)
{
    // One staff line from (23, 15), figures to 275; its names on two rows.
    static const ContentCanvasLayout layout = {
        "panels/staffpopup",
        "staffpopup",
        380,
        kCardHeight + kStaffHeadRise,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{354, 10, 18, 16}, Inert(0), Inert(1), Inert(2), Inert(3), Inert(4), {288, 10, 24, 16}, {318, 10, 24, 16}},
        {{354, 10, 18, 16}, {288, 10, 24, 16}, {318, 10, 24, 16}},
        StaffHeads(23, kCardHeadY),
        {CONTENT_ICON_CLOSE, 0, 0, 0, 0, 0, CONTENT_ICON_FIRE, CONTENT_ICON_MOVE},
        {},
    };
    return layout;
}

const ContentCanvasLayout& ContentShopperSummaryLayout(void)
{
    // Nineteen lines from y 271 down by 13; totals at 344 and 328.
    static const ContentCanvasLayout layout = {
        "panels/shoppers",
        "shoppers",
        420,
        372,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{396, 340, 20, 20},
         Inert(0),
         Inert(1),
         Inert(2),
         Inert(3),
         Inert(4),
         Inert(5),
         Inert(6),
         Inert(7),
         Inert(8),
         {396, 240, 20, 30},
         {396, 40, 20, 30}},
        {{396, 340, 20, 20}, {396, 240, 20, 30}, {396, 40, 20, 30}, {70, 340, 96, 18}, {222, 322, 108, 36}},
        ShopperSummaryLabels(),
        {CONTENT_ICON_CLOSE, 0, 0, 0, 0, 0, 0, 0, 0, 0, CONTENT_ICON_UP, CONTENT_ICON_DOWN},
        {},
    };
    return layout;
}

const ContentCanvasLayout& ContentStaffSummaryLayout(void)
{
    // Ten lines from y 161 down by 13 with their fire and move buttons at 280 and 313; totals at 230 and 215.
    static const ContentCanvasLayout layout = {
        "panels/staff",
        "staff",
        380,
        260,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{354, 232, 20, 20},
         {354, 130, 20, 24},
         {354, 30, 20, 24},
         Inert(0),
         Inert(1),
         Inert(2),
         Inert(3),
         Inert(4),
         Inert(5),
         Inert(6),
         {20, 8, 80, 20}},
        {{354, 232, 20, 20}, {354, 130, 20, 24}, {354, 30, 20, 24}, {20, 8, 80, 20}, {152, 212, 116, 34}},
        StaffSummaryLabels(),
        {CONTENT_ICON_CLOSE, CONTENT_ICON_UP, CONTENT_ICON_DOWN},
        {},
    };
    return layout;
}

bool ContentWriteCards(const std::string& panelsDir, std::string* error)
{
    const std::vector<int> none;
    if (!WriteCanvas(ContentShopperCardLayout(), none, panelsDir, error) ||
        !WriteCanvas(ContentShopCardLayout(), none, panelsDir, error) ||
        !WriteCanvas(ContentStaffCardLayout(), {2, 3, 4, 5, 6}, panelsDir, error) ||
        !WriteCanvas(ContentShopperSummaryLayout(), {2, 3, 4, 5, 6, 7, 8, 9, 10}, panelsDir, error) ||
        !WriteCanvas(ContentStaffSummaryLayout(), {4, 5, 6, 7, 8, 9, 10}, panelsDir, error))
        return false;

    std::vector<NamedIcon> shoppers = {
        {"male", kIconSize, kIconSize, {80, 120, 220}, CONTENT_ICON_MALE},
        {"female", kIconSize, kIconSize, {220, 100, 160}, CONTENT_ICON_FEMALE},
        {"foot", kIconSize, kIconSize, {150, 110, 70}, CONTENT_ICON_FOOT},
        {"bus", kIconSize, kIconSize, {230, 180, 40}, CONTENT_ICON_BUS},
        {"car", kIconSize, kIconSize, {200, 60, 60}, CONTENT_ICON_CAR},
        {"train", kIconSize, kIconSize, {90, 160, 90}, CONTENT_ICON_TRAIN},
    };
    for (int k = 0; k < 12; k++) {
        const uint8_t level = static_cast<uint8_t>(60 + 15 * k);
        shoppers.push_back({kStarSigns[k], kIconSize, kIconSize, {level, 200, static_cast<uint8_t>(255 - level)}});
    }
    return WriteIcons(panelsDir + "/shoppers", shoppers, error) &&
           WriteIcons(panelsDir + "/staff",
                      {{"clean", kIconSize, 14, {90, 170, 220}},
                       {"maint", kIconSize, 14, {220, 160, 60}},
                       {"security", kIconSize, 14, {60, 60, 160}},
                       {"fire", kRowButtonWidth, kRowButtonHeight, {210, 60, 50}, CONTENT_ICON_FIRE},
                       {"move", kRowButtonWidth, kRowButtonHeight, {60, 140, 210}, CONTENT_ICON_MOVE}},
                      error) &&
           WriteIcons(panelsDir + "/shoppopup",
                      {{"plus", kChargeButtonWidth, kChargeButtonHeight, {70, 180, 90}, CONTENT_ICON_PLUS},
                       {"minus", kChargeButtonWidth, kChargeButtonHeight, {190, 80, 70}, CONTENT_ICON_MINUS}},
                      error);
}
