// The play test's contract steps: the cleaning contract signed and run to its end at top speed, its new level
// read alike on the contractors' panel and on the cleaners' lines of the staff panel, and the message history
// opened on its newest message.
#include <algorithm>
#include <string>
#include <vector>

#include "playtest/playtest.h"
#include "ui/game/ingame.h"
#include "ui/game/management.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"

namespace {

constexpr int kWaitFrames = 4;         // for a press or a key to be taken and drawn
constexpr int kCleaning = 0;           // the contract category, and the staff job, of cleaning
constexpr long kBarYellow = 0xFFFF00;  // a running contract's bar
// A level figure's cell: from this far left of its column's right end to a pixel past it, and this far above
// and below the middle of its line's digits; a contract line's button covers that middle.
constexpr int kCellWidth = 30;
constexpr int kCellReach = 7;
// The staff page's lines: the first one's baseline and the step down to the next; the digits' middle over it.
constexpr float kStaffFirstBaseline = 161.0f;
constexpr float kStaffLineStep = 13.0f;
constexpr float kDigitsMiddle = 4.5f;
constexpr const char* kCategoryNames = "contractcategories";
constexpr const char* kJobTitles = "jobtitles";
constexpr const char* kMessages = "InGameMessages";
constexpr const char16_t* kFirstLevel = u"1";

CContractsPanel* ContractsPanel()
{
    CInterface* ui = InterfaceGet();
    return ui ? dynamic_cast<CContractsPanel*>(ui->m_pContractsPanel.get()) : nullptr;
}

// The light pixels of a block, cut to the rectangle round them, one line of '#' and '.' a row: a figure as the
// player reads it, wherever in the block it stands. Empty when the block holds none.
std::string Figure(const std::vector<long>& pixels, int width)
{
    const auto light = CPlayTest::LightPixel;
    const int height = width > 0 ? static_cast<int>(pixels.size()) / width : 0;
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            if (!light(pixels[static_cast<size_t>(y * width + x)]))
                continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    std::string figure;
    for (int y = top; y <= bottom; y++) {
        for (int x = left; x <= right; x++)
            figure += light(pixels[static_cast<size_t>(y * width + x)]) ? '#' : '.';
        figure += '\n';
    }
    return figure;
}

}  // namespace

// The figure a line shows in a column: the line by its baseline, the column by its right end, both in the canvas.
std::string CPlayTest::LineFigureAt(CFerroxCanvas* canvas, float baseline, float columnRight)
{
    if (!canvas || !g_pGame)
        return std::string();
    const float middle = static_cast<float>(g_pGame->GetScreenHeight()) - canvas->GetY() - baseline - kDigitsMiddle;
    const int right = static_cast<int>(canvas->GetX() + columnRight) + 1;
    const int top = static_cast<int>(middle) - kCellReach;
    return Figure(Pixels(right - kCellWidth, top, kCellWidth + 1, 2 * kCellReach + 1), kCellWidth + 1);
}

// Whether the contracts panel's cleaning line shows the yellow bar of a running contract.
bool CPlayTest::ContractRuns()
{
    CContractsPanel* contracts = ContractsPanel();
    float x = 0.0f, y = 0.0f;
    if (!contracts || !WidgetCentre(contracts, contracts->GetFirstButton() + kCleaning, &x, &y))
        return false;
    // The bar stands between the level's column and the OK button.
    const int left = static_cast<int>(contracts->GetX() + kContractLevel.x);
    const int width = static_cast<int>(kContractOkX - kContractLevel.x);
    for (long pixel : Pixels(left, static_cast<int>(y) - kCellReach, width, 2 * kCellReach + 1))
        if (pixel == kBarYellow)
            return true;
    return false;
}

// The open contracts panel's OK button signs the cleaning contract; at top speed its bar runs, and when it ends
// the cleaning line's level reads 1 where it read 0.
bool CPlayTest::ContractDone(int)
{
    CContractsPanel* contracts = ContractsPanel();
    if (!Holds(contracts)) {
        Fail("the contracts panel is not open");
        return false;
    }
    const int ok = contracts->GetFirstButton() + kCleaning;
    // The rows stand on the screen, the panel on the main bar.
    const std::string level = LineFigureAt(contracts, kContractRowY - kContractRowStep * kCleaning - contracts->GetY(),
                                           kContractLevel.x - contracts->GetX());
    switch (m_phase) {
    case 0:
        m_figure = level;
        if (m_figure.empty()) {
            Fail("the cleaning line shows no level");
            return false;
        }
        m_phase += ClickWidget(contracts, ok);
        return false;
    case 1:
        Tap('3', m_count, 0);
        if (m_count++ == kWaitFrames)
            m_phase = 2, m_count = 0;
        return false;
    case 2:
        m_waiting = "the cleaning contract's bar";
        if (ContractRuns())
            m_phase = 3;
        return false;
    case 3: {
        m_waiting = "the end of the cleaning contract";
        if (level == m_figure || ContractRuns())
            return false;
        const int name = DrawnAt(CatalogueText(kCategoryNames, kCleaning));
        if (name < 0 || static_cast<size_t>(name) + 1 >= m_drawn.size() || m_drawn[name + 1] != kFirstLevel) {
            Fail("the cleaning line does not read level 1 once its contract ended");
            return false;
        }
        m_figure = level;
        m_phase = 4, m_count = 0;
        return false;
    }
    default:
        // Back to the first speed for the steps after.
        Tap('1', m_count, 0);
        return m_count++ == kWaitFrames;
    }
}

// The staff page: every cleaner's line reads the level the contracts panel reads, as the same figure.
bool CPlayTest::StaffLevel(int)
{
    CInterface* ui = InterfaceGet();
    auto* staff = dynamic_cast<CStaffSummaryPanel*>(ui->m_pStaffSummaryPanel.get());
    if (m_phase == 0) {
        m_phase += ClickWidget(ui->m_pMainPanel.get(), MAIN_MANAGE);
        return false;
    }
    if (m_phase == 1) {
        m_waiting = "the staff page";
        if (ClickWidget(ui->m_pManagementPanel.get(), MANAGEMENT_STAFF) && Holds(staff))
            m_phase = 2;
        return false;
    }
    if (!staff || m_count++ < kWaitFrames)
        return false;
    // The lines are drawn in order, each its job's title first and its level next; the jobs are the contract
    // categories.
    std::vector<std::u16string> titles;
    for (uint16_t job = 0; ContractsPanel() && job < ContractsPanel()->GetSlots().size(); job++)
        titles.push_back(CatalogueText(kJobTitles, job));
    int line = 0, cleaners = 0;
    for (size_t k = 0; k + 1 < m_drawn.size(); k++) {
        const auto title = std::find(titles.begin(), titles.end(), m_drawn[k]);
        if (title == titles.end())
            continue;
        const float baseline = kStaffFirstBaseline - kStaffLineStep * static_cast<float>(line++);
        if (title - titles.begin() != kCleaning)
            continue;
        cleaners++;
        if (m_drawn[k + 1] != kFirstLevel ||
            LineFigureAt(staff, baseline, kStaffSummaryLineX + kStaffLevel.x) != m_figure) {
            Fail("a cleaner's line on the staff page does not read the contracts panel's level 1");
            return false;
        }
    }
    if (cleaners == 0) {
        Fail("the staff page shows no cleaner");
        return false;
    }
    return true;
}

// The main bar's messages button opens the history on its newest messages: its lines are drawn newest first.
// A message reaches the history once its time on the main bar is over, so two are waited for first.
bool CPlayTest::MessageHistory(int)
{
    CInterface* ui = InterfaceGet();
    CMessageHistoryPanel* history = ui->m_pHistoryPanel.get();
    if (m_phase == 0) {
        m_waiting = "two messages to leave the main bar for the history";
        if (history && history->GetEntries().size() >= 2)
            m_phase = 1;
        return false;
    }
    if (m_phase == 1) {
        m_waiting = "the message history";
        if (ClickWidget(ui->m_pMainPanel.get(), MAIN_MESSAGES) && Holds(history))
            m_phase = 2;
        return false;
    }
    if (m_count++ < kWaitFrames)
        return false;
    const auto& entries = history->GetEntries();
    if (entries.size() < 2) {
        Fail("fewer than two messages reached the history");
        return false;
    }
    int at = -1;
    for (size_t k = entries.size(); k-- > 0 && entries.size() - k <= kHistoryPageSize;) {
        const int found = DrawnAt(CatalogueText(kMessages, entries[k]->textIndex));
        if (found <= at) {
            Fail("the history does not open on its newest messages, newest first");
            return false;
        }
        at = found;
    }
    return true;
}
