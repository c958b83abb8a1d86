// The confirmation panel: a question, an optional second line, and yes and no buttons.
#include "ui/game/panels.h"

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "ui/game/ingame.h"
#include "ui/toolkit/font.h"

namespace {

constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr int32_t kTextFont = 1;
// The question flows in this box, from the canvas position, each line centred on the middle.
constexpr FerroxTextBox kQuestionBox = {24.0f, 50.0f, 150.0f, 64.0f};
constexpr float kQuestionMiddle = 99.0f;
constexpr float kExtraLineY = 55.0f;
constexpr float kHalf = 0.5f;

}  // namespace

CConfirmPanel::CConfirmPanel()
    : m_list(kFerroxNoTextList), m_textIndex(0), m_closeBoth(0), m_callback(nullptr), m_extraText(nullptr)
{}

void CConfirmPanel::SetRequest(GameConfirmCallback callback, uint16_t textIndex, int16_t list, int32_t closeBoth,
                               const char16_t* extraText)
{
    m_callback = callback;
    m_textIndex = textIndex;
    m_list = list;
    m_closeBoth = closeBoth;
    m_extraText = extraText;
}

void CConfirmPanel::Forget()
{
    m_callback = nullptr;
    m_closeBoth = 0;
}

void CConfirmPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    if (event == FERROX_WIDGET_OVER) {
        if (widget)
            widget->m_visible = 1;
        return;
    }
    if (event == FERROX_WIDGET_NOT_OVER) {
        if (widget) {
            widget->SetColour(kWhite);
            widget->m_visible = 0;
        }
        return;
    }
    if (event != FERROX_WIDGET_PRESSED)
        return;
    FerroxReleaseButton();
    EndPress();
    CInterface* ui = InterfaceGet();
    if (index == CONFIRM_YES) {
        // A request without an action runs none.
        if (m_callback)
            m_callback();
        if (ui && m_closeBoth)
            ui->GetStack().RequestPopTwo();
        else if (ui)
            ui->GetStack().RequestPop();
        Forget();
        return;
    }
    if (index == CONFIRM_NO && ui)
        ui->GetStack().RequestPop();
    Forget();
}

void CConfirmPanel::Render()
{
    CFerroxCanvas::Render();
    CInterface* ui = InterfaceGet();
    CFerroxFont* font = ui ? ui->GetFont(kTextFont) : nullptr;
    const float x = m_x, y = m_y;
    if (CFerroxLocale* locale = FerroxGameLocale()) {
        const FerroxTextBox box = {x + kQuestionBox.x, y + kQuestionBox.y, kQuestionBox.width, kQuestionBox.height};
        locale->DrawText(font, m_list, m_textIndex, 0.0f, 0, 0, FERROX_ALIGN_MIDDLE, x + kQuestionMiddle, 0, &box);
    }
    if (!m_extraText || !font)
        return;
    const float* background = GetWidgetRect(0);
    const float width = background ? background[2] : 0.0f;
    font->DrawWideText(m_extraText, 0.0f, static_cast<int>(y + kExtraLineY), 0, FERROX_ALIGN_MIDDLE,
                       (width + x) * kHalf, 0, nullptr);
}
