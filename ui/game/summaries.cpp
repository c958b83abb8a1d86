// The shopper and staff summary panels: the registers' figures and a paged list drawn with the cards' lines.
//
// Sections: shopper summary; staff summary.
#include "gfx/core/assert.h"
#include "ui/game/popups.h"
#include "ui/game/popups_local.h"
#include "ui/game/popups_records.h"

using namespace popups;

namespace {

// Shopper summary: rows of the totals and the lines from the canvas position.
constexpr float kTotalsY = 344.0f;
constexpr float kAveragesY = 328.0f;
constexpr float kShopperTopLineY = 271.0f;
constexpr float kShopperLineHeight = 13.0f;

// Staff summary.
constexpr const char* kFirePicture = "./images/panels/staff/fire.png";
constexpr const char* kMovePicture = "./images/panels/staff/move.png";
constexpr float kTopRowY = 155.0f;
constexpr float kRowHeight = 13.0f;
constexpr float kStaffTopLineY = 161.0f;
constexpr float kStaffTotalsY = 230.0f;
constexpr float kStaffJobsY = 215.0f;
constexpr int32_t kButtonsPerRow = 2;

// Every per-period figure divides by the game's day counter plus one.
uint32_t Periods() { return (g_pGame ? g_pGame->GetDayCounter() : 0) + 1u; }

// Lines shown from the first one, never negative.
int32_t LinesShown(size_t count, uint16_t firstLine, uint16_t pageLines)
{
    const int64_t left = static_cast<int64_t>(count) - firstLine;
    if (left <= 0)
        return 0;
    return static_cast<int32_t>(left < pageLines ? left : pageLines);
}

// The staff lines are the staff card's, which the interface holds.
CStaffPopupPanel* StaffCard()
{
    CInterface* ui = InterfaceGet();
    return ui ? dynamic_cast<CStaffPopupPanel*>(ui->m_pStaffPopup.get()) : nullptr;
}

}  // namespace

// ---- Shopper summary ----

void CShopperSummaryPanel::Init()
{
    m_pShopperPopup = nullptr;
    m_firstLine = 0;
}

void CShopperSummaryPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    const size_t count = stats ? stats->GetShoppers().size() : 0;
    CFerroxWidget* widget = GetWidget(index);
    if (widget && event == FERROX_WIDGET_OVER) {
        widget->m_visible = 1;
    } else if (widget && event == FERROX_WIDGET_NOT_OVER) {
        widget->m_visible = 0;
    } else if (event == FERROX_WIDGET_PRESSED) {
        FerroxReleaseButton();
        if (index == SHOPPERS_CLOSE) {
            EndPress();
            if (CInterface* ui = InterfaceGet())
                ui->GetStack().RequestPop();
        } else if (index == SHOPPERS_PAGE_UP) {
            m_firstLine =
                m_firstLine > kShopperSummaryLines ? static_cast<uint16_t>(m_firstLine - kShopperSummaryLines) : 0;
        } else if (index == SHOPPERS_PAGE_DOWN && static_cast<size_t>(m_firstLine) + kShopperSummaryLines < count) {
            m_firstLine = static_cast<uint16_t>(m_firstLine + kShopperSummaryLines);
        }
    }
    if (m_firstLine > count)
        m_firstLine = 0;
}

void CShopperSummaryPanel::Render()
{
    CFerroxCanvas::Render();
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats)
        return;
    CFerroxFont* font = FiguresFont();
    const uint32_t periods = Periods();
    const uint32_t come = stats->m_shoppersCome;
    const uint32_t spending = stats->m_takings;
    DrawNumber(font, come, m_x + kShoppersCame.x, m_y + kTotalsY);
    DrawNumber(font, come / periods, m_x + kShoppersCameMonth.x, m_y + kTotalsY);
    DrawNumber(font, spending, m_x + kShoppersSpent.x, m_y + kTotalsY);
    DrawNumber(font, spending / periods, m_x + kShoppersSpentMonth.x, m_y + kTotalsY);
    const uint16_t average = static_cast<uint16_t>(come ? spending / come : 0);
    DrawNumber(font, average, m_x + kShoppersSpent.x, m_y + kAveragesY);
    DrawNumber(font, average / periods, m_x + kShoppersSpentMonth.x, m_y + kAveragesY);

    const std::vector<ShopperRecord*>& shoppers = stats->GetShoppers();
    const int32_t lines = LinesShown(shoppers.size(), m_firstLine, kShopperSummaryLines);
    if (!m_pShopperPopup)
        return;
    for (int32_t i = 0; i < lines; i++)
        m_pShopperPopup->DrawShopperRecord(shoppers[m_firstLine + static_cast<size_t>(i)], m_x + kShopperSummaryLineX,
                                           m_y + kShopperTopLineY - kShopperLineHeight * static_cast<float>(i));
}

// ---- Staff summary ----

void CStaffSummaryPanel::Init()
{
    m_firstLine = 0;
    m_firstRowButton = 0;
    m_widgetTotal = 0;
}

void CStaffSummaryPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    m_firstRowButton = GetWidgetCount();
    for (int32_t i = 0; i < kStaffSummaryLines; i++)
        AddRowButtons(i);
    m_widgetTotal = GetWidgetCount();
}

void CStaffSummaryPanel::AddRowButtons(int32_t i)
{
    for (const auto& button :
         {std::make_pair(kFirePicture, kStaffSummaryFireX), std::make_pair(kMovePicture, kStaffSummaryMoveX)}) {
        AddWidget(FerroxMakeImage(button.first, button.second, kTopRowY - kRowHeight * static_cast<float>(i)));
    }
}

void CStaffSummaryPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    const size_t count = stats ? stats->GetStaff().size() : 0;
    CFerroxWidget* widget = GetWidget(index);
    const bool rowButton = index >= m_firstRowButton && index < m_widgetTotal;
    if (widget && event == FERROX_WIDGET_OVER) {
        if (rowButton)
            widget->SetColour(kWhite);
        else
            widget->m_visible = 1;
    } else if (widget && event == FERROX_WIDGET_NOT_OVER) {
        widget->SetColour(kWhite);
        if (rowButton)
            widget->SetColour(kOrange);
        else
            widget->m_visible = 0;
    } else if (widget && event == FERROX_WIDGET_PRESSED) {
        CInterface* ui = InterfaceGet();
        if (rowButton) {
            FerroxReleaseButton();
            if (widget->m_visible)
                ActOnLine(index);
        } else if (index == STAFF_CLOSE) {
            EndPress();
            if (ui)
                ui->GetStack().RequestPop();
            FerroxReleaseButton();
        } else if (index == STAFF_PAGE_UP) {
            // Not released: a held button pages once a frame.
            m_firstLine =
                m_firstLine > kStaffSummaryLines ? static_cast<uint16_t>(m_firstLine - kStaffSummaryLines) : 0;
        } else if (index == STAFF_PAGE_DOWN) {
            if (static_cast<size_t>(m_firstLine) + kStaffSummaryLines < count)
                m_firstLine = static_cast<uint16_t>(m_firstLine + kStaffSummaryLines);
        } else if (index == STAFF_HIRE && ui) {
            EndPress();
            ui->CloseCanvases();
            if (CFerroxCanvas* hire = ui->m_pStaffHirePanel.get()) {
                ui->GetStack().Push(hire, 0);
                const float* rect = ui->m_pMainPanel ? ui->m_pMainPanel->GetWidgetRect(0) : nullptr;
                hire->SetPosition(0.0f, rect ? rect[3] : 0.0f, 1);
            }
            FerroxReleaseButton();
        }
    }
    if (m_firstLine > count)
        m_firstLine = 0;
}

// A row button under the pointer lights up and tells what it does, when its line is shown.
// The row button's line: its pair's member is fired (first button) or moved (second).
void CStaffSummaryPanel::ActOnLine(int32_t index)
{
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    if (!stats)
        return;
    const int32_t offset = index - m_firstRowButton;
    const size_t line = static_cast<size_t>(offset / kButtonsPerRow) + m_firstLine;
    if (line >= stats->GetStaff().size())
        return;
    GX_ASSERT(stats->GetStaff()[line], "the staff list holds records");
    CStaff* member = PopupStaffOfRecord(*stats->GetStaff()[line]);
    if (!member)
        return;
    EndPress();
    if (offset % kButtonsPerRow == 0) {
        PopupFireStaff(member);
        return;
    }
    PopupMoveStaff(member);
    if (CInterface* ui = InterfaceGet())
        ui->CloseCanvases();
}

void CStaffSummaryPanel::Render()
{
    CFerroxCanvas::Render();
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    const std::vector<StaffRecord*> none;
    const std::vector<StaffRecord*>& staff = stats ? stats->GetStaff() : none;
    const int32_t lines = LinesShown(staff.size(), m_firstLine, kStaffSummaryLines);
    CStaffPopupPanel* card = StaffCard();
    for (int32_t i = 0; i < lines; i++) {
        for (int32_t k = 0; k < kButtonsPerRow; k++)
            if (CFerroxWidget* button = GetWidget(m_firstRowButton + kButtonsPerRow * i + k))
                button->m_visible = 1;
        if (card)
            card->DrawStaffRecord(staff[m_firstLine + static_cast<size_t>(i)], m_x + kStaffSummaryLineX,
                                  m_y + kStaffTopLineY - kRowHeight * static_cast<float>(i));
    }
    for (int32_t k = m_firstRowButton + kButtonsPerRow * lines; k < m_widgetTotal; k++)
        if (CFerroxWidget* button = GetWidget(k))
            button->m_visible = 0;
    if (!stats)
        return;
    CFerroxFont* font = FiguresFont();
    const uint32_t periods = Periods();
    DrawNumber(font, stats->m_staffCount, m_x + kStaffCount.x, m_y + kStaffTotalsY);
    DrawNumber(font, stats->m_staffWages, m_x + kStaffWages.x, m_y + kStaffTotalsY);
    DrawNumber(font, stats->m_staffWages / periods, m_x + kStaffWagesMonth.x, m_y + kStaffTotalsY);
    DrawNumber(font, stats->m_staffJobsDone, m_x + kStaffWages.x, m_y + kStaffJobsY);
    DrawNumber(font, stats->m_staffJobsDone / periods, m_x + kStaffWagesMonth.x, m_y + kStaffJobsY);
}
