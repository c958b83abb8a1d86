// Menu pages and their manager: page events, enabled and disabled buttons, opening and closing pages.
#include "ui/toolkit/node.h"

#include <algorithm>
#include <utility>

#include "engine/application/mouse.h"
#include "gfx/core/assert.h"
#include "ui/toolkit/interface.h"

namespace {

constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr FerroxColour kRed = {255, 0, 0, 255};
constexpr FerroxColour kLightGrey = {190, 190, 190, 255};

CFerroxStack<CFerroxCanvas*>* InterfaceStack()
{
    CFerroxInterface* game = FerroxGetGameInterface();
    return game ? &game->GetStack() : nullptr;
}

}  // namespace

// ---- Page ----

CFerroxCanvasNode::CFerroxCanvasNode() : m_childCount(0) { CFerroxCanvasNode::Init(); }

CFerroxCanvasNode::~CFerroxCanvasNode() { CFerroxCanvasNode::Release(); }

void CFerroxCanvasNode::Init()
{
    CFerroxCanvas::Init();
    m_pListener = nullptr;
    m_pParent = nullptr;
    m_nodeId = 0;
    m_childCount = 0;
}

void CFerroxCanvasNode::Release()
{
    m_children.clear();
    m_childCount = 0;
    CFerroxCanvas::Release();
}

void CFerroxCanvasNode::AddChild(std::unique_ptr<CFerroxCanvasNode> child)
{
    m_children.push_back(std::move(child));
    m_childCount = static_cast<uint16_t>(m_childCount + 1);
}

void CFerroxCanvasNode::Update() { CFerroxCanvas::Update(); }

void CFerroxCanvasNode::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    // Pages show their tooltips through the listener.
    m_tooltipList = kFerroxNoTextList;
}

void CFerroxCanvasNode::SetNodeData(CFerroxCanvasNodeManager* listener, CFerroxCanvasNode* parent, int16_t nodeId)
{
    m_pListener = listener;
    m_pParent = parent;
    m_nodeId = nodeId;
    if (!listener)
        return;
    const int32_t first = listener->GetFirstItemId();
    for (int32_t i = 1; i + 1 < static_cast<int32_t>(m_widgetCount); i++) {
        const int32_t id = first + i - 1;
        if (id >= 0)
            m_widgets[i]->m_id = id;
    }
}

bool CFerroxCanvasNode::IsDisabled(uint16_t index) const
{
    return std::find(m_disabled.begin(), m_disabled.end(), index) != m_disabled.end();
}

void CFerroxCanvasNode::DisableWidget(uint16_t index)
{
    if (IsDisabled(index) || index >= m_widgetCount)
        return;
    m_disabled.push_back(index);
    m_widgets[index]->SetColour(kRed);
}

void CFerroxCanvasNode::EnableWidget(uint16_t index)
{
    if (m_disabled.empty() || index >= m_widgetCount)
        return;
    m_disabled.erase(std::remove(m_disabled.begin(), m_disabled.end(), index), m_disabled.end());
    m_widgets[index]->SetColour(kWhite);
}

void CFerroxCanvasNode::OnWidgetEvent(int32_t index, int32_t event)
{
    GX_ASSERT(m_pListener != nullptr, "a page gets events only once its listener is set");
    CFerroxWidget* widget = GetWidget(index);
    GX_ASSERT(widget != nullptr, "events name a widget of the page");
    m_pListener->RefreshButton(this, index);
    const bool disabled = IsDisabled(static_cast<uint16_t>(index));
    if (event == FERROX_WIDGET_OVER) {
        if (!disabled)
            widget->SetColour(kLightGrey);
        m_pListener->OnButtonHover(widget->m_id);
        return;
    }
    if (event == FERROX_WIDGET_NOT_OVER) {
        if (!disabled)
            widget->SetColour(kWhite);
        return;
    }
    if (event != FERROX_WIDGET_PRESSED || disabled)
        return;
    // The listener may close this page; what it needs is read first.
    CFerroxCanvasNodeManager* listener = m_pListener;
    if (index >= 1 && index <= m_childCount) {
        listener->OpenNode(m_children[index - 1].get(), 0);
        listener->OnButton(index);
    } else if (index == static_cast<int32_t>(m_widgetCount) - 1) {
        listener->OpenNode(m_pParent, 0);
    } else {
        listener->OnLeafButton(m_nodeId, index, FERROX_WIDGET_PRESSED);
    }
    FerroxReleaseButton();
}

// ---- Manager ----

CFerroxCanvasNodeManager::CFerroxCanvasNodeManager() : m_x(0.0f), m_y(0.0f), m_pOpen(nullptr) {}

CFerroxCanvasNodeManager::~CFerroxCanvasNodeManager() { CFerroxCanvasNodeManager::Release(); }

void CFerroxCanvasNodeManager::OnButton(int32_t) {}
void CFerroxCanvasNodeManager::Spare() {}

void CFerroxCanvasNodeManager::OpenRoot(int32_t modal) { OpenNode(m_pRoot.get(), modal); }

void CFerroxCanvasNodeManager::OpenNode(CFerroxCanvasNode* page, int32_t modal)
{
    CFerroxStack<CFerroxCanvas*>* stack = InterfaceStack();
    if (m_pOpen && stack)
        stack->Remove(m_pOpen);
    m_pOpen = page == m_pOpen ? nullptr : page;
    if (!m_pOpen)
        return;
    if (stack)
        stack->Push(m_pOpen, modal);
    m_pOpen->SetPosition(m_x, m_y, 1);
}

void CFerroxCanvasNodeManager::SetPosition(CFerroxTagTree*, float x, float y)
{
    m_x = x;
    m_y = y;
}

void CFerroxCanvasNodeManager::Release()
{
    // Cleared here, not only in Reset: a subclass's Reset may keep the tree, which must not outlive this.
    DeleteTree();
    Reset();
}

void CFerroxCanvasNodeManager::Reset() { DeleteTree(); }

void CFerroxCanvasNodeManager::DeleteTree()
{
    // An open page leaves the interface before it is deleted.
    CFerroxStack<CFerroxCanvas*>* stack = InterfaceStack();
    if (m_pOpen && stack)
        stack->Remove(m_pOpen);
    m_pOpen = nullptr;
    if (m_pRoot) {
        m_pRoot->Release();
        m_pRoot.reset();
    }
}
