// The columns of the panels' lines, and where the selection cards (shopper, shop, staff member) and the shopper
// and staff summaries draw their lines and figures. The panels draw by these, and the content writer paints the
// cards' and summaries' pictures (their column icons and tooltips) to match them, so both include this one table.
// Constants only: nothing to own, no state, any thread.
#pragma once

// A figure's column on a line: the x its text is aligned on, from the line's origin (its right end, or the left
// end of a left-aligned figure), and the widest text the figure can take, which the column is laid out to hold.
struct PanelColumn {
    float x;
    const char* widest;
};
// The widest texts of the figures' types: 16 and 32 bits, unsigned and signed, and one 32-bit figure less another.
constexpr const char* kPanelWidestU16 = "65535";
constexpr const char* kPanelWidestI16 = "-32768";
constexpr const char* kPanelWidestU32 = "4294967295";
constexpr const char* kPanelWidestI32 = "-2147483648";
constexpr const char* kPanelWidestDifference = "-4294967295";
// A staff wage: the most base wage with the supplement of the most level.
constexpr const char* kPanelWidestWage = "3342285";
// Room left between two columns' texts, in pixels.
constexpr float kPanelColumnGap = 8.0f;

// The shopper line, from its origin: star sign and sex pictures, age and money, the three need bars (yellow,
// orange, green), how the shopper came and the bags. A column's widest text is the widest figure a running
// game puts there.
constexpr PanelColumn kShopperAge = {63.0f, "99"};
constexpr PanelColumn kShopperMoney = {96.0f, "1249"};  // the most a shopper comes with
constexpr float kShopperNeedBarsX[] = {96.0f, 144.0f, 192.0f};
constexpr float kShopperNeedBarLength = 48.0f;
constexpr float kShopperArrivalX = 240.0f;
constexpr PanelColumn kShopperBags = {311.0f, "999"};
// The shop line, from its origin: its number (left-aligned), name and category picture, then its figures.
constexpr PanelColumn kShopNumber = {0.0f, "99"};
// The category picture: its clear left columns and lower rows bring what it shows onto the line, just before the
// category number.
constexpr float kShopPictureX = -365.0f;
constexpr float kShopPictureY = -16.0f;
constexpr float kShopNameX = 25.0f;
constexpr float kShopNameRoom = 190.0f;  // up to the widest takings
constexpr PanelColumn kShopTakings = {270.0f, "999999"};
constexpr PanelColumn kShopNet = {325.0f, "-99999"};
constexpr PanelColumn kShopPaid = {380.0f, "999999"};
constexpr PanelColumn kShopKind = {437.0f, "5"};
constexpr PanelColumn kShopSales = {475.0f, "9999"};
constexpr PanelColumn kShopCharge = {527.0f, "2000"};  // the base charge plus the shop's own, at their most
// The shop card's charge buttons, from its corner.
constexpr float kShopCardPlusX = 500.0f;
constexpr float kShopCardMinusX = 548.0f;
constexpr float kShopCardButtonsY = 10.0f;
// The staff line, from its origin: the job title, its picture, then level, wage and jobs done.
constexpr float kStaffTitleRoom = 121.0f;  // up to the picture
constexpr float kStaffPictureX = 125.0f;
constexpr PanelColumn kStaffLevel = {188.0f, "99"};
constexpr PanelColumn kStaffWage = {219.0f, "999"};
constexpr PanelColumn kStaffJobs = {252.0f, "999"};
// The summaries' totals, from their corner. Shoppers: those who came and per month, their spending and per
// month on the first row, the spending per shopper and per month below it. Staff: the count, the wages and per
// month, and below them the jobs done and per month.
constexpr PanelColumn kShoppersCame = {114.0f, "99999"};
constexpr PanelColumn kShoppersCameMonth = {164.0f, "99999"};
constexpr PanelColumn kShoppersSpent = {282.0f, "9999999"};
constexpr PanelColumn kShoppersSpentMonth = {328.0f, "99999"};
constexpr PanelColumn kStaffCount = {102.0f, "999"};
constexpr PanelColumn kStaffWages = {215.0f, "9999999"};
constexpr PanelColumn kStaffWagesMonth = {265.0f, "99999"};
// The staff summary's fire and move buttons of each line, from its corner, after the line's figures.
constexpr float kStaffSummaryFireX = 280.0f;
constexpr float kStaffSummaryMoveX = 313.0f;
// Where the cards and summaries draw their lines, from their corner.
constexpr float kShopperCardLineX = 56.0f;
constexpr float kShopCardLineX = 17.0f;
constexpr float kStaffCardLineX = 23.0f;
constexpr float kShopperSummaryLineX = 56.0f;
constexpr float kStaffSummaryLineX = 28.0f;
