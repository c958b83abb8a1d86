// The end-game sequence: its camera paths, full-picture view, message and the click that leaves the game.
#include "ui/frontend/endgame.h"

#include <memory>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "engine/world/spline.h"
#include "game/shell/game.h"
#include "gfx/core/engine.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/interface.h"
#include "ui/toolkit/subcamera.h"

namespace {

constexpr const char* kViewPath = "_fspl.gxs";
constexpr const char* kTargetPath = "_fspl2.gxs";
constexpr const char* kEndGameTexts = "endgamemessages";
constexpr float kViewExtent = 400.0f;
constexpr float kTextMiddle = 400.0f;
// The message box is given in virtual units: the scaled flow multiplies it by the interface scale factors once.
constexpr float kBoxLeft = 100.0f;
constexpr float kBoxBottom = 200.0f;
constexpr float kBoxWidth = 600.0f;
constexpr float kBoxHeight = 150.0f;

}  // namespace

CEndGameCanvas::CEndGameCanvas() : m_messageIndex(0), m_endGameList(kFerroxNoTextList) { CEndGameCanvas::Init(); }

CEndGameCanvas::~CEndGameCanvas() { CCityCanvas::Release(); }

void CEndGameCanvas::Init() { m_messageIndex = 0; }

void CEndGameCanvas::TearDown()
{
    CCityCanvas::Release();
    CCityCanvas::Init();
}

void CEndGameCanvas::Create(const char* picture, const char* model, int32_t city, CFerroxWorld* world)
{
    if (!m_pFirstPath)
        m_pFirstPath = LoadPath(model, kViewPath);
    if (!m_pSecondPath)
        m_pSecondPath = LoadPath(model, kTargetPath);
    CCityCanvas::Create(picture, model, city, world);
    if (CFerroxLocale* locale = FerroxGameLocale())
        m_endGameList = locale->FindTextList(kEndGameTexts);
}

void CEndGameCanvas::DescribeView(FerroxWidgetRecord* record)
{
    const float* background = GetWidgetRect(0);
    record->x = m_x;
    record->y = m_y;
    record->width = background ? background[2] / FerroxGetInterfaceScaleX() : 0.0f;
    record->height = background ? background[3] / FerroxGetInterfaceScaleY() : 0.0f;
    record->extent = kViewExtent;
    record->positionSpline = m_pFirstPath.get();
    record->targetSpline = m_pSecondPath.get();
    record->scene = m_pWorld;
    record->scaled = 1;
}

void CEndGameCanvas::DescribeOverlay(FerroxWidgetRecord* record)
{
    record->x = m_x;
    record->y = m_y;
}

void CEndGameCanvas::OnWidgetEvent(int32_t, int32_t event)
{
    if (event != FERROX_WIDGET_PRESSED)
        return;
    FerroxReleaseButton();
    if (CFerroxInterface* game = FerroxGetGameInterface())
        game->GetStack().RequestPop();
    if (g_pGame)
        g_pGame->LeaveAfterResult();
}

void CEndGameCanvas::Update() { CFerroxCanvas::Update(); }

void CEndGameCanvas::Render()
{
    CFerroxCanvas::Render();
    CFerroxInterface* game = FerroxGetGameInterface();
    CFerroxFont* font = game ? game->GetFont(0) : nullptr;
    CFerroxLocale* locale = FerroxGameLocale();
    if (!font || !locale)
        return;
    // Drawn scaled: the box is in the virtual screen's units.
    const FerroxTextBox box = {m_x + kBoxLeft, m_y + kBoxBottom, kBoxWidth, kBoxHeight};
    locale->DrawText(font, m_endGameList, static_cast<uint16_t>(m_messageIndex), m_x, static_cast<int>(m_y), 0,
                     FERROX_ALIGN_MIDDLE, kTextMiddle, 1, &box);
}
