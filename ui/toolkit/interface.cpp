// The interface base: the tooltip's request, delay, position and plate, the canvas stack's update and drawing, and
// the 2D render set-up.
#include "ui/toolkit/interface.h"

#include <algorithm>
#include <string>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "gfx/core/engine.h"
#include "gfx/core/renderstate.h"
#include "ui/toolkit/font.h"

namespace {

constexpr uint16_t kNone = 0xFFFF;
constexpr float kTooltipMiddleX = 400.0f;

// Takes the text the catalogue would draw, drawing nothing: the tooltip draws it once, on its plate.
class CTextCapture : public CFerroxWideTextFont {
public:
    explicit CTextCapture(CFerroxFont* font) : m_pFont(font) {}
    float GetStringWidth(const char16_t* text) override { return m_pFont->GetStringWidth(text); }
    void DrawWideText(const char16_t* drawn, float, int, int, int, float, int, const FerroxTextBox*) override
    {
        text = drawn;
        captured = true;
    }
    std::u16string text;
    bool captured = false;

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
    m_hasRequestArea = GetPointerArea(m_requestArea);
}

void CFerroxInterface::Update(float)
{
    // The canvases note the buttons under the pointer again as they route it with the game's interface, which is
    // another one while the front end runs.
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

void CFerroxInterface::PlaceTooltipBox(float x, float y, float textWidth, float textHeight)
{
    const float width = textWidth + 2.0f * kFerroxTooltipMarginX;
    const float height = textHeight + 2.0f * kFerroxTooltipMarginY;
    const float screenHeight = ScreenHeight();
    const float left = std::max(0.0f, std::min(x + kFerroxTooltipPointer, ScreenWidth() - width));
    // Above what asked (or above the pointer), below it when the top of the screen is too near.
    const CFerroxInterface* routed = FerroxGetGameInterface();
    const float* area = routed && routed->m_hasRequestArea ? routed->m_requestArea : nullptr;
    const float top = area ? area[1] + area[3] : y;
    const float bottom = area ? area[1] : y - kFerroxTooltipPointer;
    float bottomY = top + kFerroxTooltipGap;
    if (bottomY + height > screenHeight)
        bottomY = bottom - kFerroxTooltipGap - height;
    m_tooltipBox.Place(left, std::max(0.0f, std::min(bottomY, screenHeight - height)), width, height);
}

void CFerroxInterface::FollowPointer()
{
    CFerroxMouse* mouse = FerroxGameMouse();
    if (!mouse)
        return;
    m_tooltipX = mouse->GetPosition()->x;
    m_tooltipY = ScreenHeight() - mouse->GetPosition()->y;
}

bool CFerroxInterface::StepTooltip(bool requested, CFerroxFont* font, float* delay, float frameTime, float wait)
{
    m_tooltipBox.m_visible = 0;
    if (!requested) {
        *delay = wait;
        FollowPointer();
        return false;
    }
    if (*delay > 0.0f)
        *delay -= frameTime;
    // The request stands until the tooltip is drawn, also when the pointer leaves during the wait.
    if (*delay > 0.0f)
        return false;
    if (m_tooltipText != m_lastText || static_cast<uint16_t>(m_tooltipList) != m_lastList) {
        m_lastText = m_tooltipText;
        m_lastList = static_cast<uint16_t>(m_tooltipList);
        FollowPointer();
    }
    DrawTooltipText(font);
    m_tooltipText = kNone;
    m_tooltipList = m_defaultTooltipList;
    return true;
}

void CFerroxInterface::DrawTooltipText(CFerroxFont* font)
{
    CFerroxLocale* locale = FerroxGameLocale();
    if (!locale || !font)
        return;
    CTextCapture capture(font);
    locale->DrawText(&capture, m_tooltipList, m_tooltipText, m_tooltipX, static_cast<int>(m_tooltipY), 0,
                     FERROX_ALIGN_LEFT, kTooltipMiddleX, 0, nullptr);
    if (!capture.captured)
        return;
    PlaceTooltipBox(m_tooltipX, m_tooltipY, font->GetStringWidth(capture.text), font->GetHeight());
    m_tooltipBox.m_visible = 1;
    m_tooltipBox.Draw(0.0f, 0.0f);
    // The text stands on its baseline, its descenders below it.
    const float textY = m_tooltipBox.m_y + kFerroxTooltipMarginY + font->GetDescent();
    font->DrawWideText(capture.text.c_str(), m_tooltipBox.m_x + kFerroxTooltipMarginX, static_cast<int>(textY), 0,
                       FERROX_ALIGN_LEFT, kTooltipMiddleX, 0, nullptr);
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
    m_hasRequestArea = false;
}

CFerroxInterface* FerroxGetGameInterface()
{
    return g_pFerroxGame ? dynamic_cast<CFerroxInterface*>(g_pFerroxGame->GetInterface()) : nullptr;
}
