// The management panels' pictures: layout tables, the small icons and the writer of their folders.
#include "tools/content/management_pictures.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "tools/content/icon_painter.h"

namespace {

constexpr int kChannels = 4;
constexpr int kInertSide = 2;
constexpr int kIconSide = 14;
constexpr int kOkHeight = 12;
constexpr int kColumnHeadSide = 18;
constexpr int kPageTitleSide = 20;
constexpr uint8_t kOkColour[3] = {255, 255, 255};  // the panels tint it orange and white

struct Icon {
    const char* file;
    uint8_t colour[3];
    ContentIcon picture;
};

// Shop categories in their numbering: fashion, electronics, leisure, home, health, food.
constexpr Icon kShopCategoryIcons[] = {
    {"shopcat-fashion.png", {210, 90, 160}, CONTENT_ICON_FASHION},
    {"shopcat-elec.png", {80, 140, 230}, CONTENT_ICON_ELECTRONICS},
    {"shopcat-leisure.png", {240, 180, 60}, CONTENT_ICON_LEISURE},
    {"shopcat-home.png", {150, 110, 70}, CONTENT_ICON_HOME},
    {"shopcat-health.png", {90, 200, 120}, CONTENT_ICON_HEALTH},
    {"shopcat-food.png", {230, 100, 60}, CONTENT_ICON_FOOD},
};
// The hire rows' job pictures: cleaning, maintenance, security.
constexpr Icon kJobIcons[] = {
    {"clean.png", {120, 200, 230}, CONTENT_ICON_NONE},
    {"maint.png", {230, 170, 60}, CONTENT_ICON_NONE},
    {"security.png", {60, 80, 170}, CONTENT_ICON_NONE},
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

// An icon: a one-pixel dark rim around the colour, and the picture of its kind when it has one.
ContentPngImage IconImage(const uint8_t* rgb, ContentIcon picture)
{
    ContentPngImage image = Filled(kIconSide, kIconSide, rgb, 255);
    ContentPaintIcon(&image, 0, 0, kIconSide, kIconSide, picture, kContentIconInk);
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

// The icon over that many clear rows.
ContentPngImage Lifted(ContentPngImage icon, int rows)
{
    icon.rows.resize(icon.rows.size() + static_cast<size_t>(rows) * icon.width * kChannels, 0);
    icon.height += static_cast<uint32_t>(rows);
    return icon;
}

// The icon right of that many clear columns.
ContentPngImage Shifted(const ContentPngImage& icon, int columns)
{
    if (columns <= 0)
        return icon;
    ContentPngImage shifted = icon;
    shifted.width = icon.width + static_cast<uint32_t>(columns);
    shifted.rows.assign(static_cast<size_t>(shifted.width) * icon.height * kChannels, 0);
    const size_t from = static_cast<size_t>(icon.width) * kChannels;
    const size_t to = static_cast<size_t>(shifted.width) * kChannels;
    for (uint32_t y = 0; y < icon.height; y++) {
        std::copy(icon.rows.begin() + static_cast<std::ptrdiff_t>(y * from),
                  icon.rows.begin() + static_cast<std::ptrdiff_t>((y + 1) * from),
                  shifted.rows.begin() +
                      static_cast<std::ptrdiff_t>(y * to + static_cast<size_t>(columns) * kChannels));
    }
    return shifted;
}

bool WriteIcons(const std::string& dir, const Icon* icons, size_t count, std::string* error, int lift = 0,
                int shift = 0)
{
    for (size_t k = 0; k < count; k++) {
        const ContentPngImage icon = Shifted(Lifted(IconImage(icons[k].colour, icons[k].picture), lift), shift);
        if (!ContentWritePicture(dir + "/" + icons[k].file, icon, error))
            return false;
    }
    return true;
}

// A column's icon with its right end at `right`, standing on y; its tooltip spans x from `left` to `end` (half
// open), from `foot` up to the icon's top.
ContentUiMark ColumnHead(ContentIcon icon, int right, int y, int left, int end, int foot)
{
    return {{right - kColumnHeadSide, y, kColumnHeadSide, kColumnHeadSide},
            icon,
            {left, foot, end - left, y + kColumnHeadSide - foot}};
}

std::string FolderOf(const std::string& panelsDir, const ContentCanvasLayout& layout)
{
    return panelsDir + "/" + std::string(layout.folder).substr(std::string("panels/").size());
}

}  // namespace

const ContentCanvasLayout& ContentFinanceLayout(void)
{
    // Figures sit right-aligned at the columns the page prints them; icons name them, no words. The accounts' rows
    // are named by an icon on their left (incomes) or right (expenses), their columns by an icon over the column;
    // a row's tooltip covers its icon and figures. The other figures carry an icon beside or above them, the bars
    // one after them. The shop lines run down from y 165, nine of them, 15 apart, with their charge buttons at 509
    // and 557; each column's head icon stands over its right end with one tooltip over the whole column.
    constexpr int kSide = 16, kSmall = 14, kHeadSide = 18, kTitleSide = 20;
    constexpr int kHeadY = 331, kAllY = 307;
    constexpr int kIncome = 12, kIncomeTipRight = 173, kExpenseNames = 349, kExpenseTipLeft = 229, kBarNames = 468;
    constexpr int kExpenseTipWidth = kExpenseNames + kSide - kExpenseTipLeft;
    constexpr int kBarsX = 400, kBarTipWidth = kBarNames + kSmall - kBarsX;
    constexpr int kListHeadY = 179, kListBottom = 43, kListTip = kListHeadY + kHeadSide - kListBottom;
    static const ContentCanvasLayout layout = {
        "panels/finance",
        "finance",
        648,
        372,
        {58, 70, 96},
        {
            {612, 340, 28, 22},  // 1 close
            {559, 285, 16, 16},  // 2 base charge down, after the charge
            {577, 285, 16, 16},  // 3 base charge up
            {154, 216, 16, 16},  // 4 stake down, after the stake
            {172, 216, 16, 16},  // 5 stake up
            {4, 4, kInertSide, kInertSide},
            {8, 4, kInertSide, kInertSide},
            {12, 4, kInertSide, kInertSide},
            {16, 4, kInertSide, kInertSide},
            {20, 4, kInertSide, kInertSide},
            {24, 4, kInertSide, kInertSide},
            {28, 4, kInertSide, kInertSide},
            {612, 150, 24, 22},  // 13 list up
            {612, 40, 24, 22},   // 14 list down
        },
        {{612, 340, 28, 22}, {559, 285, 34, 16}, {154, 216, 34, 16}, {612, 150, 24, 22}, {612, 40, 24, 22}},
        {},
        {CONTENT_ICON_CLOSE, CONTENT_ICON_MINUS, CONTENT_ICON_PLUS, CONTENT_ICON_MINUS, CONTENT_ICON_PLUS, 0, 0, 0, 0,
         0, 0, 0, CONTENT_ICON_UP, CONTENT_ICON_DOWN},
        {
            {{410, 346, kTitleSide, kTitleSide}, CONTENT_ICON_FINANCE},
            // The accounts' columns: totals so far and monthly averages, incomes then expenses.
            {{120 - kHeadSide, kHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_TOTAL},
            {{172 - kHeadSide, kHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_MONTHLY},
            {{293 - kHeadSide, kHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_TOTAL},
            {{345 - kHeadSide, kHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_MONTHLY},
            // Incomes: all, charges, bonuses; the last draw's prizes and the stake.
            {{kIncome, kAllY, kTitleSide, kTitleSide},
             CONTENT_ICON_INCOME,
             {kIncome, kAllY, kIncomeTipRight - kIncome, kTitleSide}},
            {{kIncome, 283, kSide, kSide}, CONTENT_ICON_CHARGE, {kIncome, 283, kIncomeTipRight - kIncome, kSide}},
            {{kIncome, 266, kSide, kSide}, CONTENT_ICON_BONUS, {kIncome, 266, kIncomeTipRight - kIncome, kSide}},
            {{kIncome, 232, kSmall, kSmall}, CONTENT_ICON_DRAW, {kIncome, 232, 151 - kIncome, kSmall}},
            {{kIncome, 217, kSmall, kSmall}, CONTENT_ICON_STAKE, {kIncome, 217, 151 - kIncome, kSmall}},
            // Expenses: all, rent, wages, building, contracts, interest.
            {{kExpenseNames, kAllY, kTitleSide, kTitleSide},
             CONTENT_ICON_EXPENSES,
             {kExpenseTipLeft, kAllY, kExpenseTipWidth + kTitleSide - kSide, kTitleSide}},
            {{kExpenseNames, 286, kSide, kSide}, CONTENT_ICON_RENT, {kExpenseTipLeft, 286, kExpenseTipWidth, kSide}},
            {{kExpenseNames, 269, kSide, kSide}, CONTENT_ICON_STAFF, {kExpenseTipLeft, 269, kExpenseTipWidth, kSide}},
            {{kExpenseNames, 252, kSide, kSide}, CONTENT_ICON_BUILD, {kExpenseTipLeft, 252, kExpenseTipWidth, kSide}},
            {{kExpenseNames, 233, kSide, kSide},
             CONTENT_ICON_CONTRACT,
             {kExpenseTipLeft, 233, kExpenseTipWidth, kSide}},
            {{kExpenseNames, 216, kSide, kSide},
             CONTENT_ICON_INTEREST,
             {kExpenseTipLeft, 216, kExpenseTipWidth, kSide}},
            // The date, the shops and the base charge; decor, its monthly average and the storeys; the base rating.
            {{484, 316, kHeadSide, kHeadSide}, CONTENT_ICON_DATE, {484, 316, 82, kHeadSide}},
            {{422, 305, kHeadSide, kHeadSide}, CONTENT_ICON_SHOP, {394, 289, 47, 34}},
            {{499, 287, kSide, kSide}, CONTENT_ICON_CHARGE, {499, 287, 58, kSide}},
            {{444, 268, kSide, kSide}, CONTENT_ICON_DECOR, {418, 253, 43, 31}},
            {{492, 268, kSide, kSide}, CONTENT_ICON_MONTHLY, {466, 253, 43, 31}},
            {{555, 252, kSide, kSide}, CONTENT_ICON_STOREY, {555, 252, 39, kSide}},
            {{597, 226, kHeadSide, kHeadSide}, CONTENT_ICON_BASE_RATING, {542, 226, 73, kHeadSide}},
            // The rating bar and the dirt's share of dirt and crime.
            {{kBarNames, 221, kSmall, kSmall}, CONTENT_ICON_RATING, {kBarsX, 221, kBarTipWidth, kSmall}},
            {{kBarNames, 206, kSmall, kSmall}, CONTENT_ICON_DIRT, {kBarsX, 206, kBarTipWidth, kSmall}},
            // The shop lines' columns: shop, takings, net, paid, kind, sales, charge.
            {{25, kListHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_SHOP, {25, kListBottom, 214, kListTip}},
            {{295 - kHeadSide, kListHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_CASH, {240, kListBottom, 57, kListTip}},
            {{350 - kHeadSide, kListHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_NET, {298, kListBottom, 52, kListTip}},
            {{405 - kHeadSide, kListHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_PAID, {350, kListBottom, 56, kListTip}},
            {{462 - kHeadSide, kListHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_KIND, {434, kListBottom, 29, kListTip}},
            {{500 - kHeadSide, kListHeadY, kHeadSide, kHeadSide}, CONTENT_ICON_SALES, {464, kListBottom, 37, kListTip}},
            {{552 - kHeadSide, kListHeadY, kHeadSide, kHeadSide},
             CONTENT_ICON_CHARGE,
             {503, kListBottom, 54, kListTip}},
        },
    };
    return layout;
}

const ContentCanvasLayout& ContentContractorsLayout(void)
{
    // The page stands on the main bar, 80 high: its rows' baselines are 158, 143, 128 and 113 on it, the OK
    // buttons at 315 on them. Each column is headed by an icon over its right end (the names' over their start,
    // the buttons' over their middle), its tooltip reaching down the column; the title's icon names the page.
    constexpr int kHeads = 172, kFoot = 108;
    constexpr int kLevel = 215, kPrice = 250, kWage = 280, kTime = 312, kOk = 315;
    static const ContentCanvasLayout layout = {
        "panels/contractors",
        "contractors",
        380,
        240,
        {58, 70, 96},
        {{344, 208, 28, 22}},
        {{344, 208, 28, 22}},
        {},
        {CONTENT_ICON_CLOSE},
        {
            {{12, 208, kPageTitleSide, kPageTitleSide}, CONTENT_ICON_CONTRACT},
            ColumnHead(CONTENT_ICON_JOB, 25 + kColumnHeadSide, kHeads, 25, kLevel - kColumnHeadSide - 2, kFoot),
            ColumnHead(CONTENT_ICON_LEVEL, kLevel, kHeads, kLevel - kColumnHeadSide - 1, kLevel + 1, kFoot),
            ColumnHead(CONTENT_ICON_CHARGE, kPrice, kHeads, kLevel + 3, kPrice + 1, kFoot),
            ColumnHead(CONTENT_ICON_WAGE, kWage, kHeads, kPrice + 4, kWage + 1, kFoot),
            // The time's column also holds a running contract's bar, from the wage's right end.
            ColumnHead(CONTENT_ICON_CLOCK, kTime, kHeads, kWage + 4, kTime + 1, kFoot),
            ColumnHead(CONTENT_ICON_SIGN, kOk + kContentOkWidth / 2 + kColumnHeadSide / 2, kHeads,
                       kOk + kContentOkWidth / 2 - kColumnHeadSide / 2, kOk + kContentOkWidth / 2 + kColumnHeadSide / 2,
                       kHeads),
        },
    };
    return layout;
}

const ContentCanvasLayout& ContentHireLayout(void)
{
    // As the contracts: rows at 132, 117, 102 and 87 on the page, the OK buttons at 255 on them; the job's
    // column holds its title and picture.
    constexpr int kHeads = 146, kFoot = 78;
    constexpr int kLevel = 215, kWage = 246, kOk = 255;
    static const ContentCanvasLayout layout = {
        "panels/hire",
        "hire",
        320,
        210,
        {58, 70, 96},
        {{284, 178, 28, 22}},
        {{284, 178, 28, 22}},
        {},
        {CONTENT_ICON_CLOSE},
        {
            {{12, 178, kPageTitleSide, kPageTitleSide}, CONTENT_ICON_STAFF},
            ColumnHead(CONTENT_ICON_JOB, 25 + kColumnHeadSide, kHeads, 25, kLevel - kColumnHeadSide - 2, kFoot),
            ColumnHead(CONTENT_ICON_LEVEL, kLevel, kHeads, kLevel - kColumnHeadSide - 1, kLevel + 1, kFoot),
            ColumnHead(CONTENT_ICON_WAGE, kWage, kHeads, kLevel + 3, kWage + 1, kFoot),
            ColumnHead(CONTENT_ICON_HIRE, kOk + kContentOkWidth / 2 + kColumnHeadSide / 2, kHeads,
                       kOk + kContentOkWidth / 2 - kColumnHeadSide / 2, kOk + kContentOkWidth / 2 + kColumnHeadSide / 2,
                       kHeads),
        },
    };
    return layout;
}

bool ContentWriteManagementPanels(const std::string& panelsDir, std::string* error)
{
    ContentPngImage ok = Filled(kContentOkWidth, kOkHeight, kOkColour, 255);
    ContentPaintIcon(&ok, 0, 0, kContentOkWidth, kOkHeight, CONTENT_ICON_TICK, kContentIconInk);
    for (const ContentCanvasLayout* layout :
         {&ContentFinanceLayout(), &ContentContractorsLayout(), &ContentHireLayout()}) {
        const std::string folder = FolderOf(panelsDir, *layout);
        if (!ContentMakeFolder(folder, error) || !ContentWriteCanvas(*layout, folder, error))
            return false;
    }
    const std::string finance = FolderOf(panelsDir, ContentFinanceLayout());
    const ContentPngImage inert = Filled(kInertSide, kInertSide, kOkColour, 0);
    for (int k = kContentFinanceFirstInert; k <= kContentFinanceLastInert; k++) {
        if (!ContentWriteButton(finance, k, inert, error))
            return false;
    }
    const std::string staff = panelsDir + "/staff";
    return ContentWritePicture(FolderOf(panelsDir, ContentContractorsLayout()) + "/ok.png", ok, error) &&
           ContentWritePicture(FolderOf(panelsDir, ContentHireLayout()) + "/ok.png", ok, error) &&
           WriteIcons(finance, kShopCategoryIcons, sizeof(kShopCategoryIcons) / sizeof(kShopCategoryIcons[0]), error,
                      kContentShopCategoryLift, kContentShopCategoryShift) &&
           ContentMakeFolder(staff, error) &&
           WriteIcons(staff, kJobIcons, sizeof(kJobIcons) / sizeof(kJobIcons[0]), error);
}
