// The interface base: tooltip selection, the canvas stack's update and drawing, and the 2D render set-up.
#include "ui/toolkit/interface.h"

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
    m_stack.Update();
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
