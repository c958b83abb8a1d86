// The interface base: the tooltip's request, delay and position, the canvas stack's update and drawing, and
// the 2D render set-up.
#include "ui/toolkit/interface.h"

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "gfx/core/engine.h"
#include "gfx/core/renderstate.h"
#include "ui/toolkit/font.h"

namespace {

constexpr uint16_t kNone = 0xFFFF;

float ScreenHeight() { return g_pFerroxGame ? static_cast<float>(g_pFerroxGame->GetScreenHeight()) : 0.0f; }

}  // namespace

CFerroxInterface::CFerroxInterface() { CFerroxInterface::Reset(); }

CFerroxInterface::~CFerroxInterface() = default;

void CFerroxInterface::SetTooltip(uint16_t text, int16_t list)
{
    m_tooltipText = text;
    if (list >= 0)
        m_tooltipList = list;
}

void CFerroxInterface::Update(float) { m_stack.Update(); }

void CFerroxInterface::Render()
{
    FerroxBeginFlatDrawing();
    m_stack.Render();
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
    if (CFerroxLocale* locale = FerroxGameLocale(); locale && font)
        locale->DrawText(font, m_tooltipList, m_tooltipText, m_tooltipX, static_cast<int>(m_tooltipY), 0,
                         FERROX_ALIGN_LEFT, kFerroxTooltipMiddleX, 0, nullptr);
    m_tooltipText = kNone;
    m_tooltipList = m_defaultTooltipList;
    return true;
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
}

CFerroxInterface* FerroxGetGameInterface()
{
    return g_pFerroxGame ? dynamic_cast<CFerroxInterface*>(g_pFerroxGame->GetInterface()) : nullptr;
}
