// The build menus: building the page tree from the game data, availability of the items, and the commands a
// press sends to the game.
#include "ui/game/buildmenu.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/world/level.h"
#include "game/shell/game.h"
#include "game/world/objectmgr.h"
#include "ui/game/buildmenu_local.h"
#include "ui/game/panels.h"
#include "ui/toolkit/interface.h"

namespace {

// A menu's picture must name a PNG file.
constexpr const char* kPictureExtension = ".png";
// Widgets of a page that are not items: the background and the back button.
constexpr int32_t kNonItemWidgets = 2;
// The child button that starts floor-tile laying when it opens its page.
constexpr int32_t kFloorTileButton = 1;
// Floor-tile placement with the tile type already chosen.
constexpr int32_t kCurrentFloorTile = kGameKeepFloorTile;

// Category ranges of the factory texts.
constexpr int16_t kFirstShopCategory = 1;
constexpr int16_t kLastShopCategory = 6;
constexpr int16_t kFirstUsableCategory = 7;
constexpr int16_t kLastUsableCategory = 10;
constexpr int16_t kStairsCategory = 11;
constexpr int16_t kAtriumCategory = 12;
constexpr int16_t kDoorCategory = 13;

// Without a game nothing is locked.
constexpr int kAvailable = 1;

CFerroxWorld* CurrentWorld()
{
    CFerroxLevelManager* levels = g_pFerroxGame ? g_pFerroxGame->GetLevelManager() : nullptr;
    return levels ? levels->GetWorld() : nullptr;
}

int32_t ItemCount(const CFerroxCanvasNode* page)
{
    return static_cast<int32_t>(page->GetWidgetCount()) - kNonItemWidgets;
}

}  // namespace

// Numbers the menus with plans for the whole run: a second build goes on from where the first stopped.
int16_t g_buildMenuCategoryCounter = 0;

const char* GetBuildFactoryText(int16_t category)
{
    if (category >= kFirstShopCategory && category <= kLastShopCategory)
        return "shopFactory";
    if (category >= kFirstUsableCategory && category <= kLastUsableCategory)
        return "usable";
    if (category == kStairsCategory)
        return "stairs";
    if (category == kAtriumCategory)
        return "atrium";
    if (category == kDoorCategory)
        return "doorObjectFactory";
    return "scenery";
}

std::unique_ptr<CFerroxCanvasNodeManager> MakeBuildCanvasManager() { return std::make_unique<CBuildCanvasManager>(); }

CBuildCanvasManager::CBuildCanvasManager() : m_tooltipList(kFerroxNoTextList), m_nextItemId(0) {}

// The base's destructor deletes the pages.
CBuildCanvasManager::~CBuildCanvasManager() = default;

void CBuildCanvasManager::Release() {}

void CBuildCanvasManager::Reset()
{
    m_tooltipList = kFerroxNoTextList;
    m_nextItemId = 0;
}

int32_t CBuildCanvasManager::GetFirstItemId() { return m_nextItemId; }

void CBuildCanvasManager::OnButton(int32_t index)
{
    if (index == kFloorTileButton)
        StartFloorTilePlacement(kCurrentFloorTile);
}

void CBuildCanvasManager::RefreshButton(CFerroxCanvasNode* page, int32_t index)
{
    if (!page || page->GetNodeId() < 0)
        return;
    const uint16_t button = static_cast<uint16_t>(index);
    if (IsTemplateAvailable(page->GetNodeId(), static_cast<uint16_t>(index - 1)))
        page->EnableWidget(button);
    else
        page->DisableWidget(button);
}

void CBuildCanvasManager::OnLeafButton(int16_t category, int32_t index, int32_t event)
{
    if (event != FERROX_WIDGET_PRESSED || category < 0)
        return;
    const uint16_t item = static_cast<uint16_t>(index - 1);
    if (category == kBuildFloorCategory) {
        StartFloorTilePlacement(index - 1);
        return;
    }
    CFerroxObjectFactory* factory =
        CDynamicObjectManager::Instance()->FindFactory(GetBuildFactoryText(category), CurrentWorld());
    StartObjectPlacement(category, item, factory);
}

int CBuildCanvasManager::IsTemplateAvailable(int16_t category, uint16_t index)
{
    return g_pGame ? g_pGame->IsTemplateAvailable(static_cast<uint16_t>(category), index) : kAvailable;
}

void CBuildCanvasManager::StartObjectPlacement(int16_t category, uint16_t index, CFerroxObjectFactory* factory)
{
    if (g_pGame)
        g_pGame->StartObjectPlacement(static_cast<uint16_t>(category), index, factory);
}

void CBuildCanvasManager::StartFloorTilePlacement(int32_t tile)
{
    if (g_pGame)
        g_pGame->StartFloorTilePlacement(tile);
}

void CBuildCanvasManager::OnButtonHover(int32_t widgetId)
{
    if (CFerroxInterface* game = FerroxGetGameInterface())
        game->SetTooltip(static_cast<uint16_t>(widgetId), m_tooltipList);
}

void CBuildCanvasManager::SetPosition(CFerroxTagTree* data, float x, float y)
{
    // A second build replaces the pages of the first.
    if (m_pRoot)
        CFerroxCanvasNodeManager::Release();
    CFerroxCanvasNodeManager::SetPosition(data, x, y);
    if (CFerroxLocale* locale = FerroxGameLocale())
        m_tooltipList = locale->FindTextList(kBuildTooltipList);
    // Without the block the cursor would stay wherever it was, and stray nodes would become menus.
    if (!data || !data->FindNode(kBuildObjectsBlock, 1) || !data->HasChild(kBuildPanelNode))
        return;
    data->FindChild(kBuildPanelNode);
    std::unique_ptr<CFerroxCanvasNode> root = MakeMenu(data, nullptr, kBuildFloorCategory);
    data->MoveToParent();
    // Menus below a missing root could never be opened, and nothing would own them.
    if (!root)
        return;
    m_pRoot = std::move(root);
    BuildTree(data, m_pRoot.get());
}

void CBuildCanvasManager::BuildTree(CFerroxTagTree* data, CFerroxCanvasNode* parent)
{
    CFerroxTagNode* node = data->GetCursor();
    if (!node)
        return;
    for (CFerroxTagNode* entry : node->children) {
        data->SetCursor(entry);
        CFerroxCanvasNode* below = parent;
        if (data->HasChild(kBuildPanelNode)) {
            const bool hasPlans = data->HasChild(kBuildPlansNode) != 0;
            data->FindChild(kBuildPanelNode);
            const int16_t category = hasPlans ? g_buildMenuCategoryCounter : kBuildNoCategory;
            if (hasPlans)
                g_buildMenuCategoryCounter = static_cast<int16_t>(g_buildMenuCategoryCounter + 1);
            if (std::unique_ptr<CFerroxCanvasNode> menu = MakeMenu(data, parent, category)) {
                below = menu.get();
                parent->AddChild(std::move(menu));
            }
            data->MoveToParent();
        }
        BuildTree(data, below);
    }
    data->SetCursor(node);
}

std::unique_ptr<CFerroxCanvasNode> CBuildCanvasManager::MakeMenu(CFerroxTagTree* data, CFerroxCanvasNode* parent,
                                                                 int16_t category)
{
    const char* value = data->GetValue(0);
    if (!value)
        return nullptr;
    std::string path = value;
    if (!path.empty() && path.back() == '\n')
        path.pop_back();
    if (path.find(kPictureExtension) == std::string::npos)
        return nullptr;
    auto menu = std::make_unique<CFerroxCanvasNode>();
    menu->Build(path.c_str(), 0.0f, 0.0f, 0);
    menu->SetNodeData(this, parent, category);
    m_nextItemId = static_cast<uint16_t>(m_nextItemId + ItemCount(menu.get()));
    if (category >= 0) {
        for (int32_t i = 1; i < static_cast<int32_t>(menu->GetWidgetCount()); i++) {
            if (!IsTemplateAvailable(category, static_cast<uint16_t>(i - 1)))
                menu->DisableWidget(static_cast<uint16_t>(i));
        }
    }
    return menu;
}
