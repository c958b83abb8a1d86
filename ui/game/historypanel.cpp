// The message history: every message the main bar has shown, newest first, six to a page, with its date.
#include "ui/game/panels.h"

#include <memory>
#include <string>

#include "engine/data/locale.h"
#include "game/shell/game.h"
#include "ui/game/ingame.h"
#include "ui/toolkit/font.h"

namespace {

constexpr FerroxColour kBlue = {0, 0, 255, 255};
constexpr int32_t kListFont = 2;
constexpr int32_t kMonthsPerYear = 12;
// Row i's date is right-aligned at (x + 105, y + 259 - 40 i); its message flows in a box below it.
constexpr float kDateX = 105.0f;
constexpr float kDateY = 259.0f;
constexpr float kRowStep = 40.0f;
constexpr float kMiddleX = 400.0f;
constexpr FerroxTextBox kMessageBox = {115.0f, 244.0f, 485.0f, 30.0f};

}  // namespace

CMessageHistoryPanel::CMessageHistoryPanel() { CMessageHistoryPanel::Init(); }

CMessageHistoryPanel::~CMessageHistoryPanel()
{
    Clear();
    CFerroxCanvas::Release();
}

void CMessageHistoryPanel::Clear()
{
    m_entries.clear();
    m_count = 0;
    m_scroll = 0;
}

void CMessageHistoryPanel::Init()
{
    CFerroxCanvas::Init();
    Clear();
    m_textList = kFerroxNoTextList;
}

void CMessageHistoryPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    if (CFerroxLocale* locale = FerroxGameLocale())
        m_textList = locale->FindTextList(kInGameMessagesList);
}

void CMessageHistoryPanel::AddMessage(int32_t textIndex, int32_t date)
{
    if (textIndex < 0)
        return;
    m_entries.push_back(std::make_unique<HistoryEntry>(HistoryEntry{date, static_cast<uint16_t>(textIndex)}));
    m_count = static_cast<uint16_t>(m_count + 1);
}

void CMessageHistoryPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    if (!widget)
        return;
    if (event == FERROX_WIDGET_OVER) {
        widget->m_visible = 1;
        return;
    }
    if (event == FERROX_WIDGET_NOT_OVER) {
        widget->m_visible = 0;
        return;
    }
    if (event != FERROX_WIDGET_PRESSED)
        return;
    // The press is left held on purpose: a held button pages on every frame.
    if (index == HISTORY_CLOSE) {
        EndPress();
        if (CInterface* ui = InterfaceGet())
            ui->GetStack().RequestPop();
    } else if (index == HISTORY_NEWER) {
        m_scroll = m_scroll > kHistoryPageSize ? static_cast<uint16_t>(m_scroll - kHistoryPageSize) : 0;
    } else if (index == HISTORY_OLDER) {
        if (m_count > m_scroll + kHistoryPageSize)
            m_scroll = static_cast<uint16_t>(m_scroll + kHistoryPageSize);
    }
    widget->SetColour(kBlue);
}

void CMessageHistoryPanel::Render()
{
    CFerroxCanvas::Render();
    if (m_entries.empty())
        return;
    CInterface* ui = InterfaceGet();
    CFerroxFont* font = ui ? ui->GetFont(kListFont) : nullptr;
    CFerroxLocale* locale = FerroxGameLocale();
    const float x = m_x, y = m_y;
    for (int32_t i = 0; i < kHistoryPageSize; i++) {
        const int32_t number = static_cast<int32_t>(m_entries.size()) - 1 - m_scroll - i;
        if (number < 0)
            break;
        const HistoryEntry* entry = m_entries[static_cast<size_t>(number)].get();
        const float row = kRowStep * static_cast<float>(i);
        if (entry->date >= 0 && font) {
            // Months since January of the game's start year, as the main bar counts them.
            const int32_t startYear = g_pGame ? g_pGame->GetStartYear() : kGameStartYear;
            const std::string date = std::to_string(entry->date % kMonthsPerYear + 1) + "." +
                                     std::to_string(startYear + entry->date / kMonthsPerYear);
            font->DrawWideText(std::u16string(date.begin(), date.end()).c_str(), x + kDateX,
                               static_cast<int>(y + kDateY - row), 0, FERROX_ALIGN_RIGHT, kMiddleX, 0, nullptr);
        }
        if (locale) {
            const FerroxTextBox box = {x + kMessageBox.x, y + kMessageBox.y - row, kMessageBox.width,
                                       kMessageBox.height};
            locale->DrawText(font, m_textList, entry->textIndex, x, static_cast<int>(y), 0, FERROX_ALIGN_LEFT, kMiddleX,
                             0, &box);
        }
    }
}
