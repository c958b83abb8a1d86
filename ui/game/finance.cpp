// The finance page: the mall's accounts with their monthly averages, the date, the base charge and the yearly
// draw, the rating and ratio bars, and the shop list nine lines at a time with a charge plus and minus each.
//
// Sections: figures; set-up; events; drawing.
#include "ui/game/management.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "game/buildings/shop.h"
#include "game/shell/game.h"
#include "gfx/core/assert.h"
#include "ui/game/management_local.h"
#include "ui/game/popups.h"

using namespace management;

// ---- Figures ----

namespace {

constexpr const char* kPlusPicture = "./images/panels/shoppopup/plus.png";
constexpr const char* kMinusPicture = "./images/panels/shoppopup/minus.png";

constexpr int32_t kFiguresFont = 2;
constexpr uint16_t kMonthsPerYear = 12;

// Rating -1000..1000 to a bar share 0..100.
constexpr int32_t kRatingOffset = 1000;
constexpr int32_t kRatingPerPercent = 20;
constexpr int32_t kPercent = 100;

struct Figure {
    PanelColumn column;
    float dy;
    uint32_t (*value)(const CStatistics&);
    bool average;
};

uint32_t Takings(const CStatistics& s) { return s.m_incomeTotal - s.m_startingFunds; }
uint32_t Charges(const CStatistics& s) { return s.m_chargesReceived; }
uint32_t Bonuses(const CStatistics& s) { return s.m_yearlyBonuses; }
uint32_t Expenses(const CStatistics& s) { return s.m_expenseTotal; }
uint32_t Rent(const CStatistics& s) { return s.m_rentExpense; }
uint32_t Wages(const CStatistics& s) { return s.m_staffWages; }
uint32_t Building(const CStatistics& s) { return s.m_buildingCosts; }
uint32_t Contracts(const CStatistics& s) { return s.m_contractExpenses; }
uint32_t Interest(const CStatistics& s) { return s.m_interest; }
uint32_t DrawResult(const CStatistics& s) { return s.m_bonusCount; }
uint32_t Stake(const CStatistics& s) { return s.m_bonusUnit; }
uint32_t ShopCount(const CStatistics& s) { return s.m_shopCount; }
uint32_t BaseCharge(const CStatistics& s) { return s.m_baseCharge; }

// The totals with their averages beside them, and the plain figures.
constexpr Figure kFigures[] = {
    {kFinanceIncome, 315, Takings, false},     {kFinanceIncomeMonth, 315, Takings, true},
    {kFinanceIncome, 287, Charges, false},     {kFinanceIncomeMonth, 287, Charges, true},
    {kFinanceIncome, 270, Bonuses, false},     {kFinanceIncomeMonth, 270, Bonuses, true},
    {kFinanceDrawn, 235, DrawResult, false},   {kFinanceDrawn, 220, Stake, false},
    {kFinanceExpenses, 315, Expenses, false},  {kFinanceExpensesMonth, 315, Expenses, true},
    {kFinanceExpenses, 290, Rent, false},      {kFinanceExpensesMonth, 290, Rent, true},
    {kFinanceExpenses, 273, Wages, false},     {kFinanceExpensesMonth, 273, Wages, true},
    {kFinanceExpenses, 256, Building, false},  {kFinanceExpensesMonth, 256, Building, true},
    {kFinanceExpenses, 237, Contracts, false}, {kFinanceExpensesMonth, 237, Contracts, true},
    {kFinanceExpenses, 220, Interest, false},  {kFinanceExpensesMonth, 220, Interest, true},
    {kFinanceShops, 291, ShopCount, false},    {kFinanceCharge, 291, BaseCharge, false},
};
constexpr float kDateDy = 320.0f;

uint32_t MonthsDivisor() { return (g_pGame ? g_pGame->GetDayCounter() : 0u) + 1u; }

uint16_t ShopTotal(const CStatistics* stats) { return stats ? stats->m_shopCount : 0; }

// Rows shown from the first: never negative, at most a page.
uint16_t ShownRows(const CStatistics* stats, uint16_t firstRow)
{
    const uint16_t total = ShopTotal(stats);
    const size_t listed = stats ? stats->m_shops.size() : 0;
    const size_t available = std::min<size_t>(total, listed);
    if (firstRow >= available)
        return 0;
    return static_cast<uint16_t>(std::min<size_t>(available - firstRow, kFinanceRows));
}

}  // namespace

// ---- Set-up ----

CMallSummaryPanel::CMallSummaryPanel() : m_pBar(nullptr) { CMallSummaryPanel::Init(); }

CMallSummaryPanel::~CMallSummaryPanel() { CMallSummaryPanel::Release(); }

void CMallSummaryPanel::Init()
{
    m_firstRow = 0;
    m_firstRowButton = 0;
    m_rowButtonsEnd = 0;
    m_pBar = nullptr;
}

void CMallSummaryPanel::Release()
{
    m_pBar.reset();
    CFerroxCanvas::Release();
    Init();
}

void CMallSummaryPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    m_firstRowButton = m_widgetCount;
    for (uint16_t k = 0; k < kFinanceRows; k++) {
        const float rowY = kFinanceRowButtonY - kFinanceRowStep * k;
        for (const auto& [picture, buttonX] :
             {std::pair{kPlusPicture, kFinancePlusX}, std::pair{kMinusPicture, kFinanceMinusX}}) {
            std::unique_ptr<CFerroxImage> button = FerroxMakeImage(picture, buttonX, rowY, scaled);
            button->m_visible = 1;
            AddWidget(std::move(button));
        }
    }
    m_rowButtonsEnd = m_widgetCount;
    m_pBar = FerroxMakeBar(kBarPicture, kFinanceBarLength, scaled);
}

// ---- Events ----

void CMallSummaryPanel::PressRowButton(int32_t index)
{
    CFerroxWidget* button = GetWidget(index);
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!button || !button->m_visible || !stats)
        return;
    const size_t row = static_cast<size_t>((index - m_firstRowButton) / 2) + m_firstRow;
    if (row >= stats->m_shops.size() || row >= stats->m_shopCount)
        return;
    ShopRecord* shop = stats->m_shops[row];
    GX_ASSERT(shop && shop->owner, "a listed shop record belongs to its shop");
    if ((index - m_firstRowButton) % 2 == 0)
        shop->owner->IncreaseCharge();
    else
        shop->owner->DecreaseCharge();
}

void CMallSummaryPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    const bool rowButton = index >= m_firstRowButton && index < m_rowButtonsEnd;
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (event == FERROX_WIDGET_OVER && widget) {
        if (rowButton)
            widget->SetColour(kRed);
        else
            widget->m_visible = 1;
    } else if (event == FERROX_WIDGET_NOT_OVER && widget) {
        if (!rowButton)
            widget->m_visible = 0;
        widget->SetColour(kWhite);
    } else if (event == FERROX_WIDGET_PRESSED) {
        FerroxReleaseButton();
        EndPress();
        CInterface* ui = InterfaceGet();
        if (index == FINANCE_CLOSE && ui)
            ui->GetStack().RequestPop();
        else if (rowButton)
            PressRowButton(index);
        else if (stats) {
            switch (index) {
            case FINANCE_CHARGE_DOWN:
                if (stats->m_baseCharge >= kFinanceChargeStep)
                    stats->m_baseCharge -= kFinanceChargeStep;
                else
                    stats->m_baseCharge = 0;
                break;
            case FINANCE_CHARGE_UP:
                stats->m_baseCharge = stats->m_baseCharge < kFinanceChargeMax
                                          ? static_cast<uint16_t>(stats->m_baseCharge + kFinanceChargeStep)
                                          : kFinanceChargeMax;
                break;
            case FINANCE_STAKE_DOWN:
                if (stats->m_bonusUnit >= kFinanceStakeStep)
                    stats->m_bonusUnit -= kFinanceStakeStep;
                else
                    stats->m_bonusUnit = 0;
                break;
            case FINANCE_STAKE_UP:
                stats->m_bonusUnit = stats->m_bonusUnit < kFinanceStakeMax
                                         ? static_cast<uint16_t>(stats->m_bonusUnit + kFinanceStakeStep)
                                         : kFinanceStakeMax;
                break;
            case FINANCE_LIST_UP:
                m_firstRow = m_firstRow < kFinanceRows + 1 ? 0 : m_firstRow - kFinanceRows;
                break;
            case FINANCE_LIST_DOWN:
                if (m_firstRow + kFinanceRows < stats->m_shopCount)
                    m_firstRow += kFinanceRows;
                break;
            default:
                break;
            }
        }
    }
    if (m_firstRow > ShopTotal(stats))
        m_firstRow = 0;
}

// ---- Drawing ----

void CMallSummaryPanel::Render()
{
    CFerroxCanvas::Render();
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    const float x = m_x, y = m_y;
    const uint32_t months = MonthsDivisor();
    if (stats) {
        for (const Figure& figure : kFigures) {
            const uint32_t value = figure.value(*stats);
            DrawNumber(kFiguresFont, figure.average ? value / months : value, x + figure.column.x, y + figure.dy,
                       FERROX_ALIGN_RIGHT);
        }
        DrawNumber(kFiguresFont, stats->m_ratingPlus, x + kFinanceDecor.x, y + kFinanceFloorsY, FERROX_ALIGN_RIGHT);
        DrawNumber(kFiguresFont, static_cast<int32_t>(stats->m_ratingPlus) / static_cast<int32_t>(months),
                   x + kFinanceDecorMonth.x, y + kFinanceFloorsY, FERROX_ALIGN_RIGHT);
        DrawNumber(kFiguresFont, stats->m_baseRating, x + kFinanceBase.x, y + kFinanceBaseY, FERROX_ALIGN_RIGHT);
    }
    if (g_pGame) {
        const uint16_t counter = g_pGame->GetDayCounter();
        DrawString(kFiguresFont,
                   std::to_string(counter % kMonthsPerYear + 1) + "/" +
                       std::to_string(g_pGame->GetStartYear() + counter / kMonthsPerYear),
                   x + kFinanceDate.x, y + kDateDy, FERROX_ALIGN_RIGHT);
        // The mall's storeys, whichever one the view shows.
        DrawNumber(kFiguresFont, g_pGame->GetBuiltFloors(), x + kFinanceFloors.x, y + kFinanceFloorsY,
                   FERROX_ALIGN_RIGHT);
    }
    if (stats && m_pBar) {
        const int32_t rating = stats->m_rating;
        m_pBar->SetPercent(
            static_cast<uint8_t>(std::clamp(rating + kRatingOffset, 0, 2 * kRatingOffset) / kRatingPerPercent));
        m_pBar->SetColour(rating < 0 ? kRed : kGreen);
        m_pBar->Draw(x + kFinanceBarsX, y + kFinanceRatingBarY);
        const int32_t both = static_cast<int32_t>(static_cast<uint16_t>(stats->m_dirtPenalty)) +
                             static_cast<uint16_t>(stats->m_criminalsPresent);
        if (both > 0) {
            m_pBar->SetPercent(static_cast<uint8_t>(static_cast<uint16_t>(stats->m_dirtPenalty) * kPercent / both));
            m_pBar->SetColour(kGrey);
            m_pBar->Draw(x + kFinanceBarsX, y + kFinanceRatioBarY);
        }
    }
    // The shop lines are the shop card's.
    CInterface* ui = InterfaceGet();
    auto* shopCard = ui ? dynamic_cast<CShopPopupPanel*>(ui->m_pShopPopup.get()) : nullptr;
    const uint16_t shown = ShownRows(stats, m_firstRow);
    for (uint16_t k = 0; k < shown; k++) {
        for (int32_t side = 0; side < 2; side++) {
            if (CFerroxWidget* button = GetWidget(m_firstRowButton + 2 * k + side))
                button->m_visible = 1;
        }
        if (shopCard)
            shopCard->DrawShopRecord(stats->m_shops[m_firstRow + k], x + kFinanceLineX,
                                     y + kFinanceLineY - kFinanceRowStep * k);
    }
    for (int32_t index = m_firstRowButton + 2 * shown; index < m_rowButtonsEnd; index++) {
        if (CFerroxWidget* button = GetWidget(index))
            button->m_visible = 0;
    }
}
