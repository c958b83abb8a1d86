// Menu pages: canvases whose first buttons open child pages, whose last button goes back, and whose other
// buttons are items; and the manager that owns the tree and keeps at most one page open on the interface.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/toolkit/canvas.h"

class CFerroxCanvasNodeManager;
class CFerroxTagTree;

class CFerroxCanvasNode : public CFerroxCanvas {
public:
    CFerroxCanvasNode();
    ~CFerroxCanvasNode() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Update() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;

    // Stores the three and numbers widgets 1 to count - 2 from the listener's first item id.
    void SetNodeData(CFerroxCanvasNodeManager* listener, CFerroxCanvasNode* parent, int16_t nodeId);
    void DisableWidget(uint16_t index);
    void EnableWidget(uint16_t index);
    bool IsDisabled(uint16_t index) const;
    // Appends an owned child page; widgets 1 to the child count open the children in order.
    void AddChild(std::unique_ptr<CFerroxCanvasNode> child);

    CFerroxCanvasNode* GetParent() const { return m_pParent; }
    CFerroxCanvasNode* GetChild(size_t index) const
    {
        return index < m_children.size() ? m_children[index].get() : nullptr;
    }
    int16_t GetNodeId() const { return m_nodeId; }

private:
    CFerroxCanvasNodeManager* m_pListener;
    CFerroxCanvasNode* m_pParent;
    std::vector<std::unique_ptr<CFerroxCanvasNode>> m_children;
    uint16_t m_childCount;
    int16_t m_nodeId;
    std::vector<uint16_t> m_disabled;
};

class CFerroxCanvasNodeManager {
public:
    CFerroxCanvasNodeManager();
    CFerroxCanvasNodeManager(const CFerroxCanvasNodeManager&) = delete;
    CFerroxCanvasNodeManager& operator=(const CFerroxCanvasNodeManager&) = delete;

    virtual void OnButton(int32_t index);
    virtual void RefreshButton(CFerroxCanvasNode* page, int32_t index) = 0;
    virtual void OpenRoot(int32_t modal);
    // Closes the open page; opens the page asked for unless it was the open one (asking again closes it).
    virtual void OpenNode(CFerroxCanvasNode* page, int32_t modal);
    virtual void OnLeafButton(int16_t nodeId, int32_t index, int32_t event) = 0;
    virtual void OnButtonHover(int32_t widgetId) = 0;
    virtual int32_t GetFirstItemId() = 0;
    virtual void Spare();
    // Stores where pages open; the data tree is for a manager that builds its pages from it.
    virtual void SetPosition(CFerroxTagTree* data, float x, float y);
    virtual void Release();
    virtual void Reset();
    virtual ~CFerroxCanvasNodeManager();

    CFerroxCanvasNode* GetRoot() const { return m_pRoot.get(); }
    CFerroxCanvasNode* GetOpenNode() const { return m_pOpen; }

protected:
    // Takes the open page off the interface, then deletes the tree; nothing is left open.
    void DeleteTree();

    float m_x, m_y;
    std::unique_ptr<CFerroxCanvasNode> m_pRoot;
    CFerroxCanvasNode* m_pOpen;  // a page of the tree, or null
};
