// The interface base: tooltip selection, the canvas stack's update and drawing, and the 2D render set-up.
#include "ui/toolkit/interface.h"

#include <algorithm>

#include "engine/application/mouse.h"
#include "gfx/core/engine.h"
#include "gfx/core/renderstate.h"

namespace {
constexpr uint16_t kNone = 0xFFFF;
}  // namespace

CFerroxInterface::CFerroxInterface() { CFerroxInterface::Reset(); }

CFerroxInterface::~CFerroxInterface() = default;

void CFerroxInterface::SetTooltip(uint16_t text, int16_t list)
{
    m_tooltipText = text;
    if (list >= 0)
        m_tooltipList = list;
}

void CFerroxInterface::Update(float)
{
    // The canvases mark the buttons under the pointer again as they route it.
    if (g_pFerroxGame && g_pFerroxGame->m_pMouse)
        g_pFerroxGame->m_pMouse->GetPosition()->overButton = 0;
    m_hasPointerArea = false;
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
    return g_pFerroxGame ? dynamic_cast<CFerroxInterface*>(g_pFerroxGame->m_pInterface.get()) : nullptr;
}
