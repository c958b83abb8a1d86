// Build menus: the page tree read from the game data, categories and item ids, availability, and the
// commands a press sends.
#include "ui/game/buildmenu.h"

#include <map>
#include <utility>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/world/objectmgr.h"
#include "ui/game/buildmenu_local.h"
#include "ui/game/panels.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

struct Placement {
    int16_t category;
    uint16_t index;
    std::string factory;
};

// What the game was asked to do, and which templates it says are not available yet.
struct Recorded {
    std::vector<Placement> placements;
    std::vector<int32_t> tiles;
    std::map<std::pair<int16_t, uint16_t>, int> unavailable;
};
Recorded g_recorded;

int RecordAvailable(int16_t category, uint16_t index)
{
    return g_recorded.unavailable.count({category, index}) ? 0 : 1;
}
void RecordPlacement(int16_t category, uint16_t index, CFerroxObjectFactory* factory)
{
    g_recorded.placements.push_back({category, index, factory && factory->GetName() ? factory->GetName() : ""});
}
void RecordTiles(int32_t tile) { g_recorded.tiles.push_back(tile); }

// The menus with the game's commands recorded, and the templates locked as the test says.
class RecordingBuildMenus : public CBuildCanvasManager {
protected:
    int IsTemplateAvailable(int16_t category, uint16_t index) override { return RecordAvailable(category, index); }
    void StartObjectPlacement(int16_t category, uint16_t index, CFerroxObjectFactory* factory) override
    {
        RecordPlacement(category, index, factory);
    }
    void StartFloorTilePlacement(int32_t tile) override { RecordTiles(tile); }
};

class BuildMenuTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        static_cast<UiTestLocale*>(game->m_pLocale.get())->lists.push_back(kBuildTooltipList);
        g_recorded = Recorded();
        g_buildMenuCategoryCounter = 0;
    }
    void TearDown() override
    {
        CDynamicObjectManager::DestroyInstance();
        UiTest::TearDown();
    }
    // A menu picture with `buttons` buttons of 8 x 8 in a row; returns its path.
    std::string WriteMenu(const std::string& stem, int buttons)
    {
        std::filesystem::create_directories(dir / stem);
        const std::string base = (dir / stem / stem).string();
        EXPECT_TRUE(UiPicture(12 * buttons + 4, 16, {60, 60, 60, 255}).Write(base + ".png"));
        UiPicture place = UiMap(12 * buttons + 4, 16, buttons);
        for (int k = 0; k < buttons; k++) {
            place.Block(4 + 12 * k, 4, 1, 1, UiPaletteColour(k));
            EXPECT_TRUE(UiPicture(8, 8, {200, 200, 200, 255})
                            .Write((dir / stem / (std::to_string(k + 1) + "_s.png")).string()));
        }
        EXPECT_TRUE(place.Write(base + "_p.png"));
        return base + ".png";
    }
    // Loads tag text and builds the manager's menus from it, through the node manager's slot as the game does.
    void Build(const std::string& text)
    {
        ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
        CFerroxCanvasNodeManager& base = manager;
        base.SetPosition(&tree, 40.0f, 90.0f);
    }
    // A BUILD_OBJECTS block: the root with `children` child buttons, then one plans menu per item count.
    std::string Block(int children, const std::vector<int>& items)
    {
        std::string text = "<BUILD_OBJECTS>\n<panel>\n" + WriteMenu("root", children + 1) + "\n</panel>\n";
        for (size_t m = 0; m < items.size(); m++) {
            const std::string stem = "m0" + std::to_string(m);
            text += "<" + stem + ">\n<panel>\n" + WriteMenu(stem, items[m] + 1) + "\n</panel>\n<plans>\n</plans>\n</" +
                    stem + ">\n";
        }
        return text + "</BUILD_OBJECTS>\n";
    }

    CFerroxTagTree tree;
    RecordingBuildMenus manager;
};

TEST_F(BuildMenuTest, TreeCategoriesAndItemIdsFollowTheData)
{
    // A grouping entry without a panel holds a menu without plans; it joins the root after m00 and m01.
    std::string text = Block(3, {2, 1});
    const std::string group = "<extras>\n<m02>\n<panel>\n" + WriteMenu("m02", 2) + "\n</panel>\n</m02>\n</extras>\n";
    text.insert(text.find("</BUILD_OBJECTS>"), group);
    ASSERT_NO_FATAL_FAILURE(Build(text));

    CFerroxCanvasNode* root = manager.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetWidgetCount(), 5);
    EXPECT_EQ(root->GetNodeId(), 0);
    ASSERT_NE(root->GetChild(2), nullptr);
    EXPECT_EQ(root->GetChild(3), nullptr);
    // The root and the first plans menu are both category 0; a menu without plans has none.
    EXPECT_EQ(root->GetChild(0)->GetNodeId(), 0);
    EXPECT_EQ(root->GetChild(1)->GetNodeId(), 1);
    EXPECT_EQ(root->GetChild(2)->GetNodeId(), kBuildNoCategory);
    EXPECT_EQ(root->GetChild(1)->GetParent(), root);
    // Ids run on through the menus in the order they were made: the tooltip indices.
    EXPECT_EQ(root->GetWidget(1)->m_id, 0);
    EXPECT_EQ(root->GetWidget(3)->m_id, 2);
    EXPECT_EQ(root->GetChild(0)->GetWidget(1)->m_id, 3);
    EXPECT_EQ(root->GetChild(0)->GetWidget(2)->m_id, 4);
    EXPECT_EQ(root->GetChild(1)->GetWidget(1)->m_id, 5);
    EXPECT_EQ(root->GetChild(2)->GetWidget(1)->m_id, 6);
    EXPECT_EQ(manager.GetFirstItemId(), 7);

    // The counter is never reset: a second build in the same run numbers on.
    RecordingBuildMenus again;
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    again.SetPosition(&tree, 0.0f, 0.0f);
    ASSERT_NE(again.GetRoot(), nullptr);
    EXPECT_EQ(again.GetRoot()->GetNodeId(), 0);
    EXPECT_EQ(again.GetRoot()->GetChild(0)->GetNodeId(), 2);
    EXPECT_EQ(again.GetRoot()->GetChild(1)->GetNodeId(), 3);
    EXPECT_EQ(again.GetRoot()->GetChild(0)->GetWidget(1)->m_id, 3);
}

TEST_F(BuildMenuTest, PanelValuesThatNameNoPicture)
{
    // A trailing line feed still names the picture; a value without ".png" makes no menu, and its entry's
    // menus join the parent instead.
    const std::string root = WriteMenu("root", 3);
    const std::string m00 = WriteMenu("m00", 2);
    const std::string m01 = WriteMenu("m01", 3);
    ASSERT_TRUE(tree.LoadFromMemory("", 0));
    ASSERT_TRUE(tree.AddChild("BUILD_OBJECTS"));
    ASSERT_TRUE(tree.FindChild("BUILD_OBJECTS"));
    ASSERT_TRUE(tree.AddChild("panel") && tree.FindChild("panel") && tree.AddValue((root + "\n").c_str()));
    tree.MoveToParent();
    ASSERT_TRUE(tree.AddChild("m00") && tree.FindChild("m00") && tree.AddChild("panel") && tree.AddChild("plans"));
    ASSERT_TRUE(tree.FindChild("panel") && tree.AddValue((m00 + "\n").c_str()));
    tree.MoveToParent();
    tree.MoveToParent();
    ASSERT_TRUE(tree.AddChild("bad") && tree.FindChild("bad") && tree.AddChild("panel") && tree.AddChild("m01"));
    ASSERT_TRUE(tree.FindChild("panel") && tree.AddValue("./images/build/bad/bad.bmp"));
    tree.MoveToParent();
    ASSERT_TRUE(tree.FindChild("m01") && tree.AddChild("panel") && tree.AddChild("plans"));
    ASSERT_TRUE(tree.FindChild("panel") && tree.AddValue(m01.c_str()));
    manager.SetPosition(&tree, 0.0f, 0.0f);

    CFerroxCanvasNode* menu = manager.GetRoot();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetWidgetCount(), 4);
    ASSERT_NE(menu->GetChild(0), nullptr);
    EXPECT_EQ(menu->GetChild(0)->GetWidgetCount(), 3);
    ASSERT_NE(menu->GetChild(1), nullptr);
    EXPECT_EQ(menu->GetChild(1)->GetWidgetCount(), 4);
    EXPECT_EQ(menu->GetChild(1)->GetNodeId(), 1);
    EXPECT_EQ(menu->GetChild(2), nullptr);
}

TEST_F(BuildMenuTest, MissingRootOrPicturesBuildNothingAstray)
{
    // No menu can be opened below a root that names no picture: nothing is made and no category is used.
    std::string text = Block(1, {1});
    text.replace(text.find("root.png"), 8, "root.txt");
    ASSERT_NO_FATAL_FAILURE(Build(text));
    EXPECT_EQ(manager.GetRoot(), nullptr);
    EXPECT_EQ(g_buildMenuCategoryCounter, 0);

    // A menu whose picture is missing has its background alone, and the ids run on by its widget count less two:
    // one back.
    RecordingBuildMenus other;
    text = Block(3, {1, 1, 1});
    std::filesystem::remove_all(dir / "m01");
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    other.SetPosition(&tree, 0.0f, 0.0f);
    ASSERT_NE(other.GetRoot(), nullptr);
    ASSERT_NE(other.GetRoot()->GetChild(2), nullptr);
    EXPECT_EQ(other.GetRoot()->GetChild(1)->GetWidgetCount(), 1);
    EXPECT_EQ(other.GetRoot()->GetChild(0)->GetWidget(1)->m_id, 3);
    EXPECT_EQ(other.GetRoot()->GetChild(2)->GetWidget(1)->m_id, 3);

    // Without the block there is nothing to build.
    RecordingBuildMenus none;
    ASSERT_TRUE(tree.LoadFromMemory("<panel>\nroot.png\n</panel>\n", 26));
    none.SetPosition(&tree, 0.0f, 0.0f);
    EXPECT_EQ(none.GetRoot(), nullptr);

    // A second build without the block drops the first one's menus, the open one too, and keeps no page of
    // theirs.
    other.OpenRoot(0);
    ASSERT_EQ(other.GetOpenNode(), other.GetRoot());
    ASSERT_EQ(Interface()->GetStack().GetNormalCount(), 1);
    other.SetPosition(&tree, 0.0f, 0.0f);
    EXPECT_EQ(other.GetRoot(), nullptr);
    EXPECT_EQ(other.GetOpenNode(), nullptr);
    EXPECT_EQ(Interface()->GetStack().GetNormalCount(), 0);
    other.OpenRoot(0);
    EXPECT_EQ(Interface()->GetStack().GetNormalCount(), 0);
}

TEST_F(BuildMenuTest, PressesStartTheirPlacements)
{
    CDynamicObjectManager::Instance();
    ASSERT_NO_FATAL_FAILURE(Build(Block(2, {3, 1})));
    CFerroxCanvasNode* root = manager.GetRoot();
    ASSERT_NE(root, nullptr);

    // Opening the first child lays floor tiles of the current type; opening the second does not.
    root->OnWidgetEvent(1, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(manager.GetOpenNode(), root->GetChild(0));
    root->OnWidgetEvent(2, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(g_recorded.tiles, std::vector<int32_t>{-1});

    // A floor-tile item chooses its tile type; an item of another menu places its template.
    root->GetChild(0)->OnWidgetEvent(3, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(g_recorded.tiles, (std::vector<int32_t>{-1, 2}));
    root->GetChild(1)->OnWidgetEvent(1, FERROX_WIDGET_PRESSED);
    ASSERT_EQ(g_recorded.placements.size(), 1u);
    EXPECT_EQ(g_recorded.placements[0].category, 1);
    EXPECT_EQ(g_recorded.placements[0].index, 0);
    EXPECT_EQ(g_recorded.placements[0].factory, "shopFactory");

    // Each category takes the first registered factory whose name holds its text.
    const std::pair<int16_t, const char*> factories[] = {
        {6, "shopFactory"},           {7, "usableObjectFactory"},   {10, "usableObjectFactory"},
        {11, "stairsObjectFactory"},  {12, "atriumObjectFactory"},  {13, "doorObjectFactory"},
        {14, "sceneryObjectFactory"}, {20, "sceneryObjectFactory"},
    };
    for (const auto& [category, name] : factories) {
        g_recorded.placements.clear();
        manager.OnLeafButton(category, 4, FERROX_WIDGET_PRESSED);
        ASSERT_EQ(g_recorded.placements.size(), 1u) << category;
        EXPECT_EQ(g_recorded.placements[0].factory, name) << category;
        EXPECT_EQ(g_recorded.placements[0].index, 3) << category;
    }

    // The floor-tile menu hands on the index less one whatever it is: 0 lays the current tile type.
    g_recorded = Recorded();
    manager.OnLeafButton(kBuildFloorCategory, 0, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(g_recorded.tiles, std::vector<int32_t>{-1});

    // Items of a menu without plans, and events other than a press, do nothing.
    g_recorded = Recorded();
    manager.OnLeafButton(kBuildNoCategory, 1, FERROX_WIDGET_PRESSED);
    manager.OnLeafButton(3, 1, FERROX_WIDGET_OVER);
    manager.OnLeafButton(0, 1, FERROX_WIDGET_NOT_OVER);
    EXPECT_TRUE(g_recorded.placements.empty());
    EXPECT_TRUE(g_recorded.tiles.empty());
}

TEST_F(BuildMenuTest, AvailabilityIsReadWhenMadeAndOnHover)
{
    g_recorded.unavailable[{1, 1}] = 1;
    g_recorded.unavailable[{0, 0}] = 1;  // the root follows the floor tiles too
    ASSERT_NO_FATAL_FAILURE(Build(Block(2, {1, 3})));
    CFerroxCanvasNode* root = manager.GetRoot();
    ASSERT_NE(root, nullptr);
    CFerroxCanvasNode* shops = root->GetChild(1);
    EXPECT_TRUE(root->IsDisabled(1));
    EXPECT_TRUE(shops->IsDisabled(2));
    EXPECT_FALSE(shops->IsDisabled(1));

    // The technology arrives: the next pass of the pointer enables it, and a press places it.
    g_recorded.unavailable.clear();
    g_recorded.unavailable[{1, 0}] = 1;
    shops->OnWidgetEvent(2, FERROX_WIDGET_NOT_OVER);
    EXPECT_FALSE(shops->IsDisabled(2));
    shops->OnWidgetEvent(2, FERROX_WIDGET_PRESSED);
    ASSERT_EQ(g_recorded.placements.size(), 1u);
    EXPECT_EQ(g_recorded.placements[0].index, 1);
    shops->OnWidgetEvent(1, FERROX_WIDGET_OVER);
    EXPECT_TRUE(shops->IsDisabled(1));
}

TEST_F(BuildMenuTest, EveryHoverAsksForItsIdInTheBuildTooltips)
{
    std::string text = "<LANGUAGE>\n<build_tooltips>\n<0>\nFloors\n</0>\n<1>\nShops\n</1>\n<2>\nTile\n</2>\n"
                       "<3>\nSmall\n</3>\n<4>\nLarge tree\n</4>\n<5>\nBig\n</5>\n</build_tooltips>\n</LANGUAGE>\n";
    auto catalogue = std::make_unique<CLocale>();
    CFerroxTagTree texts;
    ASSERT_TRUE(texts.LoadFromMemory(text.data(), text.size()));
    catalogue->LoadTextsFromTree(texts);
    CLocale* locale = catalogue.get();
    game->m_pLocale = std::move(catalogue);
    g_recorded.unavailable[{1, 1}] = 1;
    ASSERT_NO_FATAL_FAILURE(Build(Block(2, {1, 3})));
    CFerroxCanvasNode* shops = manager.GetRoot()->GetChild(1);
    const int16_t tooltips = locale->FindTextList(kBuildTooltipList);
    ASSERT_GE(tooltips, 0);
    ASSERT_TRUE(shops->IsDisabled(2));

    // A locked item, a free one and a child button each ask for their own text of the build tooltips.
    shops->OnWidgetEvent(2, FERROX_WIDGET_OVER);
    EXPECT_EQ(Interface()->m_tooltipList, tooltips);
    EXPECT_EQ(locale->GetText(tooltips, Interface()->m_tooltipText), u"Large tree");
    shops->OnWidgetEvent(1, FERROX_WIDGET_OVER);
    EXPECT_EQ(Interface()->m_tooltipText, 3);
    manager.GetRoot()->OnWidgetEvent(1, FERROX_WIDGET_OVER);
    EXPECT_EQ(Interface()->m_tooltipText, 0);
    // The back button carries no id: its request, in the same list, names no text to show.
    Interface()->SetTooltip(1, 0);
    shops->OnWidgetEvent(shops->GetWidgetCount() - 1, FERROX_WIDGET_OVER);
    EXPECT_EQ(Interface()->m_tooltipList, tooltips);
    EXPECT_LT(static_cast<int16_t>(Interface()->m_tooltipText), 0);
}

}  // namespace
