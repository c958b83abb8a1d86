// The interface base: tooltip selection and its plate, the canvas stack's update and drawing, and the 2D render
// set-up.
#include "ui/toolkit/interface.h"

#include <algorithm>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "gfx/core/engine.h"
#include "gfx/core/renderstate.h"
#include "ui/toolkit/font.h"

namespace {

constexpr uint16_t kNone = 0xFFFF;
constexpr float kTooltipMiddleX = 400.0f;

// Takes the width of the text the catalogue would draw, drawing nothing.
class CTextMeasure : public CFerroxWideTextFont {
public:
    explicit CTextMeasure(CFerroxFont* font) : m_pFont(font) {}
    float GetStringWidth(const char16_t* text) override { return m_pFont->GetStringWidth(text); }
    void DrawWideText(const char16_t* text, float, int, int, int, float, int, const FerroxTextBox*) override
    {
        width = m_pFont->GetStringWidth(text);
    }
    float width = 0.0f;

private:
    CFerroxFont* m_pFont;
};

float ScreenWidth() { return g_pFerroxGame ? static_cast<float>(g_pFerroxGame->GetScreenWidth()) : 0.0f; }
float ScreenHeight() { return g_pFerroxGame ? static_cast<float>(g_pFerroxGame->GetScreenHeight()) : 0.0f; }

}  // namespace

CFerroxInterface::CFerroxInterface() : m_tooltipBox(kFerroxTooltipFill, kFerroxTooltipRim)
{
    CFerroxInterface::Reset();
}

CFerroxInterface::~CFerroxInterface() = default;

void CFerroxInterface::SetTooltip(uint16_t text, int16_t list)
{
    m_tooltipText = text;
    if (list >= 0)
        m_tooltipList = list;
}

void CFerroxInterface::Update(float)
{
    // The canvases mark the buttons under the pointer again as they route it, noting them with the game's
    // interface, which is another one while the front end runs.
    if (g_pFerroxGame && g_pFerroxGame->m_pMouse) {
        FerroxMousePosition* pointer = g_pFerroxGame->m_pMouse->GetPosition();
        pointer->overButton = 0;
        // Seen before the canvases take the press.
        m_tooltipPressed = m_tooltipPressed || pointer->left == FERROX_BUTTON_DOWN;
    }
    m_hasPointerArea = false;
    if (CFerroxInterface* routed = FerroxGetGameInterface())
        routed->m_hasPointerArea = false;
    m_stack.Update();
}

void CFerroxInterface::AddPointerArea(float x, float y, float width, float height)
{
    const float area[4] = {x, y, x + width, y + height};
    if (!m_hasPointerArea) {
        std::copy(area, area + 4, m_pointerArea);
        m_hasPointerArea = true;
        return;
    }
    m_pointerArea[0] = std::min(m_pointerArea[0], area[0]);
    m_pointerArea[1] = std::min(m_pointerArea[1], area[1]);
    m_pointerArea[2] = std::max(m_pointerArea[2], area[2]);
    m_pointerArea[3] = std::max(m_pointerArea[3], area[3]);
}

bool CFerroxInterface::GetPointerArea(float* rect) const
{
    if (!m_hasPointerArea)
        return false;
    rect[0] = m_pointerArea[0];
    rect[1] = m_pointerArea[1];
    rect[2] = m_pointerArea[2] - m_pointerArea[0];
    rect[3] = m_pointerArea[3] - m_pointerArea[1];
    return true;
}

void CFerroxInterface::Render()
{
    FerroxBeginFlatDrawing();
    m_stack.Render();
}

void CFerroxInterface::PlaceTooltipBox(float textWidth, float textHeight)
{
    const float width = textWidth + 2.0f * kFerroxTooltipMarginX;
    const float height = textHeight + 2.0f * kFerroxTooltipMarginY;
    const float screenHeight = ScreenHeight();
    const float x = std::max(0.0f, std::min(m_tooltipX + kFerroxTooltipPointer, ScreenWidth() - width));
    // Above what it describes (or above the pointer), below it when the top of the screen is too near.
    const float top = m_hasTooltipArea ? m_tooltipArea[1] + m_tooltipArea[3] : m_tooltipY;
    const float bottom = m_hasTooltipArea ? m_tooltipArea[1] : m_tooltipY - kFerroxTooltipPointer;
    float y = top + kFerroxTooltipGap;
    if (y + height > screenHeight)
        y = bottom - kFerroxTooltipGap - height;
    m_tooltipBox.Place(x, std::max(0.0f, std::min(y, screenHeight - height)), width, height);
}

bool CFerroxInterface::TooltipPutAway()
{
    if (!m_tooltipPressed)
        return false;
    if (!m_hasPressedRequest) {
        m_hasPressedRequest = true;
        m_pressedText = m_tooltipText;
        m_pressedList = m_tooltipList;
    }
    if (m_pressedText == m_tooltipText && m_pressedList == m_tooltipList)
        return true;
    m_tooltipPressed = m_hasPressedRequest = false;
    return false;
}

void CFerroxInterface::DrawTooltip(CFerroxFont* font, float* delay, float frameTime)
{
    m_tooltipBox.m_visible = 0;
    if (TooltipPutAway())
        return;
    if (*delay > 0.0f)
        *delay -= frameTime;
    CFerroxMouse* mouse = g_pFerroxGame ? g_pFerroxGame->m_pMouse.get() : nullptr;
    if (*delay > 0.0f || !mouse)
        return;
    // A new text anchors where the pointer rests now, with what it rests on.
    if (m_tooltipText != m_lastText || static_cast<uint16_t>(m_tooltipList) != m_lastList) {
        m_lastText = m_tooltipText;
        m_lastList = static_cast<uint16_t>(m_tooltipList);
        m_tooltipX = mouse->GetPosition()->x;
        m_tooltipY = ScreenHeight() - mouse->GetPosition()->y;
        const CFerroxInterface* routed = FerroxGetGameInterface();
        m_hasTooltipArea = routed && routed->GetPointerArea(m_tooltipArea);
    }
    CFerroxLocale* locale = g_pFerroxGame->m_pLocale.get();
    if (!locale || !font)
        return;
    CTextMeasure measure(font);
    locale->DrawText(&measure, m_tooltipList, m_tooltipText, 0.0f, 0, 0, FERROX_ALIGN_LEFT, kTooltipMiddleX, 0,
                     nullptr);
    PlaceTooltipBox(measure.width, font->GetHeight());
    m_tooltipBox.m_visible = 1;
    m_tooltipBox.Draw(0.0f, 0.0f);
    // The text stands on its baseline, its descenders below it.
    const float textY = m_tooltipBox.m_y + kFerroxTooltipMarginY + font->GetDescent();
    locale->DrawText(font, m_tooltipList, m_tooltipText, m_tooltipBox.m_x + kFerroxTooltipMarginX,
                     static_cast<int>(textY), 0, FERROX_ALIGN_LEFT, kTooltipMiddleX, 0, nullptr);
}

void CFerroxInterface::WithdrawTooltip(float* delay, float wait)
{
    m_tooltipBox.m_visible = 0;
    m_tooltipPressed = m_hasPressedRequest = false;
    *delay = wait;
    m_lastText = kNone;
    m_lastList = kNone;
}

int CFerroxInterface::Create(int32_t) { return 1; }

void CFerroxInterface::DestroyCanvases() {}

void CFerroxInterface::Reset()
{
    m_tooltipList = static_cast<int16_t>(kNone);
    m_defaultTooltipList = static_cast<int16_t>(kNone);
    m_tooltipText = kNone;
    m_lastText = kNone;
    m_lastList = kNone;
    m_tooltipX = 0.0f;
    m_tooltipY = 0.0f;
    m_tooltipBox.m_visible = 0;
    m_hasTooltipArea = false;
    m_tooltipPressed = m_hasPressedRequest = false;
}

CFerroxInterface* FerroxGetGameInterface()
{
    return g_pFerroxGame ? dynamic_cast<CFerroxInterface*>(g_pFerroxGame->m_pInterface.get()) : nullptr;
}
