// The main bar: date, balance, shoppers, rating, floor and season, one message line, and the buttons that
// open the build menu and the panels, set the game speed and change floors.
#include "ui/game/panels.h"

#include <memory>
#include <string>
#include <utility>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "ui/game/ingame.h"
#include "ui/game/pictures_local.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/node.h"

namespace {

constexpr const char* kSeasonPictures[] = {
    "./images/panels/main/base/spring.png",
    "./images/panels/main/base/summer.png",
    "./images/panels/main/base/autumn.png",
    "./images/panels/main/base/winter.png",
};
constexpr const char* kRatingBarPicture = "./images/panels/main/base/bar.png";
constexpr float kRatingBarLength = 60.0f;

constexpr uint16_t kMonthsPerYear = 12;
// Months (counter mod 12, 0 = January) at which spring, summer, autumn and winter begin.
constexpr uint16_t kSpringStart = 2;
constexpr uint16_t kSummerStart = 5;
constexpr uint16_t kAutumnStart = 8;
constexpr uint16_t kWinterStart = 11;

// Speeds of buttons 5 to 8.
constexpr float kSpeeds[] = {0.0f, 1.0f, 2.0f, 3.0f};

// Places of the pictures and figures, from the canvas position.
constexpr float kSeasonX = 144.0f;
constexpr float kDateX = 233.0f;
constexpr float kBalanceX = 366.0f;
constexpr float kShoppersX = 460.0f;
constexpr float kFiguresY = 17.0f;
constexpr float kRatingX = 490.0f;
constexpr float kRatingY = 13.0f;
constexpr float kFloorX = 697.0f;
constexpr float kFloorY = 23.0f;
constexpr float kMiddleX = 400.0f;

// Rating -1000..1000 to a bar share 0..100.
constexpr int32_t kRatingOffset = 1000;
constexpr int32_t kRatingPerPercent = 20;

constexpr FerroxColour kRed = {255, 0, 0, 255};
constexpr FerroxColour kGreen = {0, 255, 0, 255};
constexpr int32_t kFullVolume = 255;
constexpr int32_t kFiguresFont = 1;
constexpr int32_t kMessageFont = 2;

std::u16string Number(int64_t value)
{
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

}  // namespace

CMainPanel::CMainPanel() : m_pRatingBar(nullptr) { CMainPanel::Init(); }

CMainPanel::~CMainPanel()
{
    CMainPanel::Release();
    m_queue.clear();
}

void CMainPanel::Init()
{
    m_messageList = kFerroxNoTextList;
    m_messageTimer = kMainPanelMessageTime;
    m_season = 0;
    m_pRatingBar = nullptr;
    m_newMessage = 0;
}

void CMainPanel::Release()
{
    m_seasons.clear();
    m_pRatingBar.reset();
    Init();
}

void CMainPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    if (CFerroxLocale* locale = FerroxGameLocale())
        m_messageList = locale->FindTextList(kInGameMessagesList);
    AddPictures(m_seasons, kSeasonPictures, scaled);
    m_pRatingBar = FerroxMakeBar(kRatingBarPicture, kRatingBarLength, scaled);
}

uint16_t CMainPanel::SetSeason(uint16_t counter)
{
    const uint16_t month = counter % kMonthsPerYear;
    if (month >= kSpringStart && month < kSummerStart)
        m_season = SEASON_SPRING;
    else if (month >= kSummerStart && month < kAutumnStart)
        m_season = SEASON_SUMMER;
    else if (month >= kAutumnStart && month < kWinterStart)
        m_season = SEASON_AUTUMN;
    else
        m_season = SEASON_WINTER;
    return counter / kMonthsPerYear;
}

void CMainPanel::Update()
{
    CFerroxCanvas::Update();
    if (g_pGame)
        SetSeason(g_pGame->GetDayCounter());
}

void CMainPanel::QueueMessage(int32_t id)
{
    if (id < 0)
        return;
    if (m_queue.empty())
        m_newMessage = 1;
    m_queue.push_back(id);
}

int32_t CMainPanel::NextMessage(float frameTime)
{
    if (m_queue.empty()) {
        m_messageTimer = kMainPanelMessageTime;
        return -1;
    }
    m_messageTimer -= frameTime;
    if (m_messageTimer > 0.0f)
        return -1;
    const int32_t id = m_queue.front();
    m_queue.pop_front();
    m_messageTimer = kMainPanelMessageTime;
    if (!m_queue.empty())
        m_newMessage = 1;
    return id;
}

void CMainPanel::ClearQueue() { m_queue.clear(); }

void CMainPanel::ShowSpeed()
{
    const float speed = g_pGame ? g_pGame->GetSpeed() : 1.0f;
    int32_t lit = MAIN_SPEED_3;
    for (int32_t k = 1; k < static_cast<int32_t>(sizeof(kSpeeds) / sizeof(kSpeeds[0])); k++) {
        if (speed < kSpeeds[k]) {
            lit = MAIN_SPEED_0 + k - 1;
            break;
        }
    }
    if (CFerroxWidget* widget = GetWidget(lit))
        widget->m_visible = 1;
}

void CMainPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    if (widget && event == FERROX_WIDGET_OVER)
        widget->m_visible = 1;
    else if (widget && event == FERROX_WIDGET_NOT_OVER)
        widget->m_visible = 0;
    else if (event == FERROX_WIDGET_PRESSED && g_pGame) {
        FerroxReleaseButton();
        EndPress();
        g_pGame->ClosePopups();
        CInterface* ui = InterfaceGet();
        switch (index) {
        case MAIN_BUILD:
            if (ui) {
                ui->CloseCanvases();
                if (ui->m_pBuildMenu)
                    ui->m_pBuildMenu->OpenRoot(0);
            }
            break;
        case MAIN_MANAGE:
            if (ui)
                ui->OpenPanel(ui->m_pManagementPanel.get());
            break;
        case MAIN_OPTIONS:
            if (ui)
                ui->OpenPanel(ui->m_pOptionsPanel.get());
            break;
        case MAIN_DEMOLISH:
            if (ui)
                ui->CloseCanvases();
            g_pGame->StartPlacementMode3();
            break;
        case MAIN_SPEED_0:
        case MAIN_SPEED_1:
        case MAIN_SPEED_2:
        case MAIN_SPEED_3:
            g_pGame->SetSpeed(kSpeeds[index - MAIN_SPEED_0]);
            break;
        case MAIN_FLOOR_DOWN:
            g_pGame->GoFloorDown();
            break;
        case MAIN_FLOOR_UP:
            g_pGame->GoFloorUp();
            break;
        case MAIN_MESSAGES:
            if (ui)
                ui->OpenPanel(ui->m_pHistoryPanel.get());
            break;
        default:
            break;
        }
    }
    ShowSpeed();
}

void CMainPanel::DrawFigures(float x, float y)
{
    CInterface* ui = InterfaceGet();
    CFerroxFont* font = ui ? ui->GetFont(kFiguresFont) : nullptr;
    if (!font || !g_pGame)
        return;
    const uint16_t counter = g_pGame->GetDayCounter();
    const std::string date = std::to_string(counter % kMonthsPerYear + 1) + "/" +
                             std::to_string(g_pGame->GetStartYear() + counter / kMonthsPerYear);
    font->DrawWideText(std::u16string(date.begin(), date.end()).c_str(), x + kDateX, static_cast<int>(y + kFiguresY), 0,
                       FERROX_ALIGN_RIGHT, kMiddleX, 0, nullptr);
    if (CStatistics* stats = CDynamicObjectManager::PeekStatistics()) {
        const int64_t balance = static_cast<int64_t>(stats->m_incomeTotal) - stats->m_expenseTotal;
        font->DrawWideText(Number(balance).c_str(), x + kBalanceX, static_cast<int>(y + kFiguresY),
                           stats->m_incomeTotal < stats->m_expenseTotal ? 1 : 0, FERROX_ALIGN_RIGHT, kMiddleX, 0,
                           nullptr);
        font->DrawWideText(Number(stats->m_shoppersPresent).c_str(), x + kShoppersX, static_cast<int>(y + kFiguresY), 0,
                           FERROX_ALIGN_RIGHT, kMiddleX, 0, nullptr);
        if (m_pRatingBar) {
            const int32_t rating = stats->m_rating;
            m_pRatingBar->SetPercent(static_cast<uint8_t>((rating + kRatingOffset) / kRatingPerPercent));
            m_pRatingBar->SetColour(rating < 0 ? kRed : kGreen);
            m_pRatingBar->Draw(x + kRatingX, y + kRatingY);
        }
    }
    font->DrawWideText(Number(g_pGame->GetCurrentFloor()).c_str(), x + kFloorX, static_cast<int>(y + kFloorY), 0,
                       FERROX_ALIGN_RIGHT, kMiddleX, 0, nullptr);
}

void CMainPanel::Render()
{
    CFerroxCanvas::Render();
    const float x = m_x, y = m_y;
    if (m_season < m_seasons.size())
        m_seasons[m_season]->Draw(x + kSeasonX, y);
    DrawFigures(x, y);
    if (m_queue.empty())
        return;
    CInterface* ui = InterfaceGet();
    if (CFerroxLocale* locale = FerroxGameLocale()) {
        const FerroxTextBox box = {x + kMainPanelMessageBox.x, y + kMainPanelMessageBox.y, kMainPanelMessageBox.width,
                                   kMainPanelMessageBox.height};
        locale->DrawText(ui ? ui->GetFont(kMessageFont) : nullptr, m_messageList,
                         static_cast<uint16_t>(m_queue.front()), x, static_cast<int>(y), 0, FERROX_ALIGN_LEFT, kMiddleX,
                         0, &box);
    }
    if (m_newMessage && g_pGame)
        g_pGame->PlaySample(kMainPanelMessageSample, kFullVolume);
    m_newMessage = 0;
}
