// Menu pages: item ids, disabled buttons, moving between pages and closing them.
#include "ui/toolkit/node.h"

#include <memory>
#include <utility>

#include "ui/toolkit/toolkit_testing.h"

namespace {

class ColourWidget : public CFerroxWidget {
public:
    void SetColour(FerroxColour c) override { colour = c; }
    FerroxColour colour = {0, 0, 0, 0};
};

class RecordingManager : public CFerroxCanvasNodeManager {
public:
    void RefreshButton(CFerroxCanvasNode*, int32_t index) override { refreshed.push_back(index); }
    void OnLeafButton(int16_t nodeId, int32_t index, int32_t event) override
    {
        leaves.push_back({nodeId, index});
        EXPECT_EQ(event, FERROX_WIDGET_PRESSED);
    }
    void OnButtonHover(int32_t id) override { hovered.push_back(id); }
    int32_t GetFirstItemId() override { return firstItem; }
    void OnButton(int32_t index) override { opened.push_back(index); }
    // Takes a page tree over, as a subclass's own build does.
    void SetRoot(std::unique_ptr<CFerroxCanvasNode> root) { m_pRoot = std::move(root); }

    int32_t firstItem = 100;
    std::vector<int32_t> refreshed, hovered, opened;
    std::vector<std::pair<int16_t, int32_t>> leaves;
};

// A page of a background, the given number of child buttons, items and a back button.
std::unique_ptr<CFerroxCanvasNode> MakePage(int children, int items)
{
    auto page = std::make_unique<CFerroxCanvasNode>();
    for (int i = 0; i < 1 + children + items + 1; i++)
        page->AddWidget(std::make_unique<ColourWidget>());
    return page;
}

FerroxColour ColourOf(CFerroxCanvasNode* page, int index)
{
    return static_cast<ColourWidget*>(page->GetWidget(index))->colour;
}

class NodeTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        std::unique_ptr<CFerroxCanvasNode> ownRoot = MakePage(1, 2);   // 0 background, 1 child, 2-3 items, 4 back
        std::unique_ptr<CFerroxCanvasNode> ownChild = MakePage(0, 1);  // 0 background, 1 item, 2 back
        root = ownRoot.get();
        child = ownChild.get();
        root->AddChild(std::move(ownChild));
        manager.SetRoot(std::move(ownRoot));
        manager.SetPosition(nullptr, 40.0f, 50.0f);
        root->SetNodeData(&manager, nullptr, 7);
        child->SetNodeData(&manager, root, 8);
    }
    RecordingManager manager;
    CFerroxCanvasNode* root;
    CFerroxCanvasNode* child;
};

TEST_F(NodeTest, ItemIdsRunFromTheFirstItemIdAndNegativeOnesAreSkipped)
{
    EXPECT_EQ(root->GetWidget(1)->m_id, 100);
    EXPECT_EQ(root->GetWidget(2)->m_id, 101);
    EXPECT_EQ(root->GetWidget(3)->m_id, 102);
    EXPECT_EQ(root->GetWidget(4)->m_id, -1);  // the back button keeps none
    manager.firstItem = -1;
    root->SetNodeData(&manager, nullptr, 7);
    EXPECT_EQ(root->GetWidget(1)->m_id, 100);
    EXPECT_EQ(root->GetWidget(2)->m_id, 0);
}

TEST_F(NodeTest, DisabledButtonsAreRedAndIgnorePressesButReportHovers)
{
    root->DisableWidget(2);
    root->DisableWidget(2);
    EXPECT_EQ(ColourOf(root, 2).green, 0);
    root->OnWidgetEvent(2, FERROX_WIDGET_OVER);
    EXPECT_EQ(ColourOf(root, 2).green, 0);
    EXPECT_EQ(manager.hovered, std::vector<int32_t>{101});
    root->OnWidgetEvent(2, FERROX_WIDGET_PRESSED);
    EXPECT_TRUE(manager.leaves.empty());
    root->EnableWidget(2);
    EXPECT_FALSE(root->IsDisabled(2));
    EXPECT_EQ(ColourOf(root, 2).green, 255);
    mouse->LeftButtonDown();
    root->OnWidgetEvent(3, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(manager.leaves, (std::vector<std::pair<int16_t, int32_t>>{{7, 3}}));
    EXPECT_NE(mouse->GetPosition()->left, FERROX_BUTTON_DOWN);  // the press acts once
    EXPECT_EQ(manager.refreshed, (std::vector<int32_t>{2, 2, 3}));
    root->OnWidgetEvent(3, FERROX_WIDGET_OVER);
    EXPECT_EQ(ColourOf(root, 3).red, 190);
}

TEST_F(NodeTest, PagesOpenChildrenGoBackAndClose)
{
    manager.OpenRoot(0);
    EXPECT_EQ(manager.GetOpenNode(), root);
    EXPECT_EQ(root->GetX(), 40.0f);
    EXPECT_EQ(Interface()->GetStack().IsEmpty(), 0);

    root->OnWidgetEvent(1, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(manager.GetOpenNode(), child);
    EXPECT_EQ(manager.opened, std::vector<int32_t>{1});
    child->OnWidgetEvent(2, FERROX_WIDGET_PRESSED);  // back
    EXPECT_EQ(manager.GetOpenNode(), root);
    root->OnWidgetEvent(4, FERROX_WIDGET_PRESSED);  // back on the root: its parent is none
    EXPECT_EQ(manager.GetOpenNode(), nullptr);
    EXPECT_EQ(Interface()->GetStack().IsEmpty(), 1);

    manager.OpenRoot(0);
    manager.OpenRoot(0);  // opening the open page closes it
    EXPECT_EQ(manager.GetOpenNode(), nullptr);
    EXPECT_EQ(Interface()->GetStack().IsEmpty(), 1);
    manager.OpenRoot(0);
    manager.Release();  // takes the open page off the interface before deleting the tree
    EXPECT_EQ(Interface()->GetStack().IsEmpty(), 1);
    EXPECT_EQ(manager.GetRoot(), nullptr);

    // A reset over an open tree does the same.
    manager.SetRoot(MakePage(0, 1));
    manager.OpenRoot(0);
    ASSERT_EQ(Interface()->GetStack().IsEmpty(), 0);
    manager.Reset();
    EXPECT_EQ(Interface()->GetStack().IsEmpty(), 1);
    EXPECT_EQ(manager.GetRoot(), nullptr);
    EXPECT_EQ(manager.GetOpenNode(), nullptr);
}

}  // namespace
