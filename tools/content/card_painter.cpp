// The selection cards' and summaries' pictures: layout tables, small icons and the writer of their folders.
#include "tools/content/card_painter.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "tools/content/icon_painter.h"
#include "ui/game/cardlayout.h"

namespace {

constexpr uint8_t kCardPanel[3] = {70, 82, 104};
constexpr int kChannels = 4;
constexpr uint8_t kOpaque = 255;
constexpr int kIconSize = 16;
constexpr int kRowButtonWidth = 28;
constexpr int kRowButtonHeight = 12;
constexpr int kChargeButtonWidth = 12;
constexpr int kChargeButtonHeight = 12;

// The star signs' pictures, named as the shopper lines ask for them; their icons follow in this order.
constexpr const char* kStarSigns[] = {"Aquarius", "Aries",  "Cancer",      "Capricorn", "Gemini", "Leo",
                                      "Libra",    "Pisces", "Sagittarius", "Scorpio",   "Taurus", "Virgo"};
constexpr int kStarSignCount = static_cast<int>(sizeof(kStarSigns) / sizeof(kStarSigns[0]));

// The cards: one line of figures at about y 15 and the columns' icons above it, each icon's tooltip covering
// its column down to the card's foot.
constexpr int kCardHeight = 50;
constexpr int kCardHeadY = 29;
constexpr int kCardFoot = 4;
constexpr int kHeadSide = 18;
// The summaries' totals are named by icons in the rows above and beside them, smaller where rows stand close.
constexpr int kTotalSide = 14;
constexpr int kTitleSide = 20;
// The summaries' column tooltips reach down past their lowest line's pictures.
constexpr int kSummaryFoot = 30;
// Where the shopper summary's column icons stand.
constexpr int kShopperHeadsY = 284;
// The staff summary's fire and move buttons: ten lines, the top one's at y 155, 13 apart.
constexpr int kStaffLines = 10;
constexpr int kStaffLinePitch = 13;
constexpr int kStaffTopRowButtonY = 155;
constexpr int kStaffRowButtonTop = kStaffTopRowButtonY + kRowButtonHeight;
constexpr int kStaffRowButtonFoot = kStaffTopRowButtonY - (kStaffLines - 1) * kStaffLinePitch;

// A column's icon standing on y with its right end at `right`; its tooltip spans x from `left` to `end` (half
// open), from `foot` up to the icon's top.
ContentUiMark Head(ContentIcon icon, int right, int y, int left, int end, int foot, int side = kHeadSide)
{
    return {{right - side, y, side, side}, icon, {left, foot, end - left, y + side - foot}};
}

// The same, centred on a bar or picture at `middle`.
ContentUiMark CentredHead(ContentIcon icon, int middle, int y, int left, int end, int foot)
{
    return Head(icon, middle + kHeadSide / 2, y, left, end, foot);
}

// The shopper line's star sign and sex pictures, 16 wide, from the line's origin, as the panels draw them.
constexpr int kStarSignOffset = -30;
constexpr int kSexOffset = 2;

// Hot-spots over the star sign and sex columns of shopper lines from x, from `foot` up to `top`: the pictures
// need no head of their own, their tooltips name them.
std::vector<ContentUiRect> ShopperPictureSpots(int x, int foot, int top)
{
    return {{x + kStarSignOffset, foot, kIconSize, top - foot}, {x + kSexOffset, foot, kIconSize, top - foot}};
}

// Column icons over shopper lines whose figures start at x: age and money, the three need bars, how the
// shopper came and the bags; their tooltips reach down to `foot`.
std::vector<ContentUiMark> ShopperHeads(int x, int y, int foot)
{
    constexpr int kBar = static_cast<int>(kShopperNeedBarLength);
    const int bars = x + static_cast<int>(kShopperNeedBarsX[0]);
    const int arrival = x + static_cast<int>(kShopperArrivalX);
    const int age = x + static_cast<int>(kShopperAge.x), money = x + static_cast<int>(kShopperMoney.x);
    const int bags = x + static_cast<int>(kShopperBags.x);
    return {Head(CONTENT_ICON_AGE, age, y,
                 age - ContentTextWidth(kContentFiguresFont, kShopperAge.widest) - kContentLabelGap, age + 1, foot),
            Head(CONTENT_ICON_CASH, money, y, age + 1, money, foot),
            CentredHead(CONTENT_ICON_TOILET, bars + kBar / 2, y, bars, bars + kBar, foot),
            CentredHead(CONTENT_ICON_SEATS, bars + kBar * 3 / 2, y, bars + kBar, bars + 2 * kBar, foot),
            CentredHead(CONTENT_ICON_PATIENCE, bars + kBar * 5 / 2, y, bars + 2 * kBar, arrival, foot),
            Head(CONTENT_ICON_ARRIVAL, arrival + kHeadSide, y, arrival, arrival + kHeadSide + 2, foot),
            Head(CONTENT_ICON_BAG, bags, y,
                 bags - ContentTextWidth(kContentFiguresFont, kShopperBags.widest) - kContentLabelGap, bags + 1, foot)};
}

// Column icons over staff lines whose title starts at x: the job (title and picture), level, wage and jobs done.
std::vector<ContentUiMark> StaffHeads(int x, int y, int foot)
{
    const int level = x + static_cast<int>(kStaffLevel.x), wage = x + static_cast<int>(kStaffWage.x);
    const int jobs = x + static_cast<int>(kStaffJobs.x);
    const auto left = [](int right, const PanelColumn& column) {
        return right - ContentTextWidth(kContentFiguresFont, column.widest) - kContentLabelGap;
    };
    return {Head(CONTENT_ICON_JOB, x + kHeadSide, y, x, level - kHeadSide - 2, foot),
            Head(CONTENT_ICON_LEVEL, level, y, level - kHeadSide - 1, level + 1, foot),
            Head(CONTENT_ICON_WAGE, wage, y, level + 1, wage + 1, foot),
            Head(CONTENT_ICON_TICK, jobs, y, left(jobs, kStaffJobs), jobs, foot)};
}

// Shopper lines from x: the hot-spots over their pictures' columns, from `foot` up to the heads' top, and the
// column icons at `headsY`, whose tooltips reach down to `foot`.
struct ShopperLines {
    std::vector<ContentUiRect> pictures;
    std::vector<ContentUiMark> heads;
};

ShopperLines ShopperLinesAt(float lineX, int headsY, int foot)
{
    const int x = static_cast<int>(lineX);
    return {ShopperPictureSpots(x, foot, headsY + kHeadSide), ShopperHeads(x, headsY, foot)};
}

std::vector<ContentUiMark> ShopperSummaryMarks(const std::vector<ContentUiMark>& heads)
{
    // Totals at 344 (came, per month, spent, per month) and 328 (spent per shopper, named before its widest
    // figure, and per month): the shoppers who came named before their figure, the other columns headed in the
    // row above, the figure per shopper named on its row. Lines from 271, headed at 284.
    constexpr int kTotals = 344, kAverages = 328, kLeft = 12, kHeads = 355, kTop = 369;
    const int came = static_cast<int>(kShoppersCame.x), cameMonth = static_cast<int>(kShoppersCameMonth.x);
    const int spent = static_cast<int>(kShoppersSpent.x), spentMonth = static_cast<int>(kShoppersSpentMonth.x);
    const int eachRight = spent - ContentTextWidth(kContentFiguresFont, kPanelWidestU16) - 2 * kContentLabelGap;
    const int rowFoot = kTotals - 3, averagesFoot = kAverages - 3;
    std::vector<ContentUiMark> marks = {
        {{kLeft, rowFoot, kTitleSide, kTitleSide},
         CONTENT_ICON_SHOPPERS,
         {kLeft, rowFoot, came + 1 - kLeft, kTop - rowFoot}},
        Head(CONTENT_ICON_MONTHLY, cameMonth, kHeads, came + 4, cameMonth + 1, rowFoot, kTotalSide),
        Head(CONTENT_ICON_EXPENSES, spent, kHeads, cameMonth + 8, spent + 1, rowFoot, kTotalSide),
        Head(CONTENT_ICON_MONTHLY, spentMonth, kHeads, spent + 3, spentMonth + 2, averagesFoot, kTotalSide),
        Head(CONTENT_ICON_PER_SHOPPER, eachRight, kAverages - 2, eachRight - kTotalSide - kContentLabelGap, spent + 1,
             averagesFoot, kTotalSide),
    };
    marks.back().tip.height = rowFoot - averagesFoot;
    marks.insert(marks.end(), heads.begin(), heads.end());
    return marks;
}

std::vector<ContentUiMark> StaffSummaryMarks()
{
    // Totals at 230 (staff, wages, per month) and 215 (jobs done, per month): the staff named before their count,
    // the wages and the jobs done after their figures, the monthly column headed above; lines from 161, headed at
    // 174.
    constexpr int kTotals = 230, kJobs = 215, kLeft = 12, kAfter = 269, kTop = 257;
    const int count = static_cast<int>(kStaffCount.x), wages = static_cast<int>(kStaffWages.x);
    const int month = static_cast<int>(kStaffWagesMonth.x);
    const int figures = wages - ContentTextWidth(kContentFiguresFont, kStaffWages.widest) - kContentLabelGap;
    const int rowsEnd = kAfter + kTotalSide + 2;
    // The rows' tooltips stack: the jobs done's under the wages', under the monthly column's icon.
    const int jobsFoot = kJobs - 4, wagesFoot = kTotals - 2, monthFoot = kTop - kTotalSide;
    std::vector<ContentUiMark> marks = {
        {{kLeft, kTotals - 2, kTitleSide, kTitleSide},
         CONTENT_ICON_STAFF,
         {kLeft, kTotals - 3, count + 2 - kLeft, kTitleSide + 2}},
        {{kAfter, wagesFoot, kTotalSide, kTotalSide},
         CONTENT_ICON_WAGE,
         {figures, wagesFoot, rowsEnd - figures, monthFoot - wagesFoot}},
        {{kAfter, kJobs - 2, kTotalSide, kTotalSide},
         CONTENT_ICON_TICK,
         {figures, jobsFoot, rowsEnd - figures, wagesFoot - jobsFoot}},
        Head(CONTENT_ICON_MONTHLY, month, monthFoot, month - kTotalSide, month, monthFoot, kTotalSide),
    };
    const std::vector<ContentUiMark> heads = StaffHeads(static_cast<int>(kStaffSummaryLineX), 174, kSummaryFoot);
    marks.insert(marks.end(), heads.begin(), heads.end());
    return marks;
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
    // One shopper line from (56, 16): sign at 26, sex at 58, figures to 367; each figure's column headed above
    // it, the pictures' columns named by their hot-spots.
    const ShopperLines lines = ShopperLinesAt(kShopperCardLineX, kCardHeadY, kCardFoot);
    static const ContentCanvasLayout layout = {
        "panels/shopperpopup",
        "shopperpopup",
        420,
        kCardHeight,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{394, 10, 18, 16}},
        {{394, 10, 18, 16}, lines.pictures[0], lines.pictures[1]},
        {},
        {CONTENT_ICON_CLOSE},
        lines.heads,
    };
    return layout;
}

const ContentCanvasLayout& ContentShopCardLayout(void)
{
    // One shop line from (17, 15), its charge between the buttons at 500 and 548: the number and name headed
    // over the number, each figure over its right end; the tooltips stop short of the charge buttons'.
    constexpr int kLine = static_cast<int>(kShopCardLineX);
    const auto right = [](const PanelColumn& column) { return kLine + static_cast<int>(column.x); };
    const auto left = [right](const PanelColumn& column) {
        return right(column) - ContentTextWidth(kContentFiguresFont, column.widest);
    };
    const int plus = static_cast<int>(kShopCardPlusX), minus = static_cast<int>(kShopCardMinusX);
    static const ContentCanvasLayout layout = {
        "panels/shoppopup",
        "shoppopup",
        600,
        kCardHeight,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{576, 12, 18, 16}},
        {{576, 12, 18, 16},
         {plus, 10, kChargeButtonWidth, kChargeButtonHeight},
         {minus, 10, kChargeButtonWidth, kChargeButtonHeight}},
        {},
        {CONTENT_ICON_CLOSE},
        {
            Head(CONTENT_ICON_SHOP, kLine + kHeadSide, kCardHeadY, kLine, left(kShopTakings), kCardFoot),
            Head(CONTENT_ICON_CASH, right(kShopTakings), kCardHeadY, left(kShopTakings), right(kShopTakings) + 1,
                 kCardFoot),
            Head(CONTENT_ICON_NET, right(kShopNet), kCardHeadY, left(kShopNet), right(kShopNet) + 1, kCardFoot),
            Head(CONTENT_ICON_PAID, right(kShopPaid), kCardHeadY, left(kShopPaid), right(kShopPaid) + 1, kCardFoot),
            // The kind's picture stands just before its number.
            Head(CONTENT_ICON_KIND, right(kShopKind), kCardHeadY, right(kShopKind) - kHeadSide - 16,
                 right(kShopKind) + 1, kCardFoot),
            Head(CONTENT_ICON_SALES, right(kShopSales), kCardHeadY, left(kShopSales), plus, kCardFoot),
            Head(CONTENT_ICON_CHARGE, right(kShopCharge), kCardHeadY, plus + kChargeButtonWidth + 1, minus, kCardFoot),
        },
    };
    return layout;
}

const ContentCanvasLayout& ContentStaffCardLayout(void)
{
    // One staff line from (23, 15), figures to 275, each column headed above it.
    static const ContentCanvasLayout layout = {
        "panels/staffpopup",
        "staffpopup",
        380,
        kCardHeight,
        {kCardPanel[0], kCardPanel[1], kCardPanel[2]},
        {{354, 10, 18, 16}, Inert(0), Inert(1), Inert(2), Inert(3), Inert(4), {288, 10, 24, 16}, {318, 10, 24, 16}},
        {{354, 10, 18, 16}, {288, 10, 24, 16}, {318, 10, 24, 16}},
        {},
        {CONTENT_ICON_CLOSE, 0, 0, 0, 0, 0, CONTENT_ICON_FIRE, CONTENT_ICON_MOVE},
        StaffHeads(static_cast<int>(kStaffCardLineX), kCardHeadY, kCardFoot),
    };
    return layout;
}

const ContentCanvasLayout& ContentShopperSummaryLayout(void)
{
    // Nineteen lines from y 271 down by 13; totals at 344 and 328. The lines' pictures are named by hot-spots
    // over their columns, from the foot up to the heads' top.
    const ShopperLines lines = ShopperLinesAt(kShopperSummaryLineX, kShopperHeadsY, kSummaryFoot);
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
        {{396, 340, 20, 20}, {396, 240, 20, 30}, {396, 40, 20, 30}, lines.pictures[0], lines.pictures[1]},
        {},
        {CONTENT_ICON_CLOSE, 0, 0, 0, 0, 0, 0, 0, 0, 0, CONTENT_ICON_UP, CONTENT_ICON_DOWN},
        ShopperSummaryMarks(lines.heads),
    };
    return layout;
}

const ContentCanvasLayout& ContentStaffSummaryLayout(void)
{
    // Ten lines from y 161 down by 13 with their fire and move buttons at 280 and 313, each column of buttons
    // under one hot-spot; totals at 230 and 215.
    const auto rowButtons = [](float x) {
        return ContentUiRect{static_cast<int>(x), kStaffRowButtonFoot, kRowButtonWidth,
                             kStaffRowButtonTop - kStaffRowButtonFoot};
    };
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
        {{354, 232, 20, 20},
         {354, 130, 20, 24},
         {354, 30, 20, 24},
         {20, 8, 80, 20},
         rowButtons(kStaffSummaryFireX),
         rowButtons(kStaffSummaryMoveX)},
        {},
        {CONTENT_ICON_CLOSE, CONTENT_ICON_UP, CONTENT_ICON_DOWN, 0, 0, 0, 0, 0, 0, 0, CONTENT_ICON_HIRE},
        StaffSummaryMarks(),
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
    // Each sign is its glyph, on a tint of its own.
    for (int k = 0; k < kStarSignCount; k++) {
        const uint8_t level = static_cast<uint8_t>(60 + 15 * k);
        shoppers.push_back({kStarSigns[k],
                            kIconSize,
                            kIconSize,
                            {level, 200, static_cast<uint8_t>(255 - level)},
                            static_cast<ContentIcon>(CONTENT_ICON_AQUARIUS + k)});
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
