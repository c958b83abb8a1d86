// The build menus: the tree of picture menus, read from the game data's "BUILD_OBJECTS" block, through which
// the player picks floor tiles, shops, facilities, stairs, atria, doors and scenery to place.
//
// The manager builds its pages once (SetPosition with the data tree) and owns them; the in-game interface
// creates it and opens its root. A press on an item becomes a game command: floor-tile placement, or the
// factory found by the item's category handed to object placement. The commands are the game's (CGame's
// IsTemplateAvailable, StartObjectPlacement and StartFloorTilePlacement). One thread: the canvas stack's input
// walk calls the pages.
#pragma once

#include <cstdint>
#include <memory>

#include "ui/toolkit/node.h"

class CFerroxTagTree;
class CFerroxObjectFactory;

// A new manager for the in-game interface's maker slot; its set-up then calls SetPosition with the game data.
std::unique_ptr<CFerroxCanvasNodeManager> MakeBuildCanvasManager();

// Block of the game data and the node names inside it.
constexpr const char* kBuildObjectsBlock = "BUILD_OBJECTS";
constexpr const char* kBuildPanelNode = "panel";
constexpr const char* kBuildPlansNode = "plans";
// Text list of the items' tooltips, indexed by item id.
constexpr const char* kBuildTooltipList = "build_tooltips";
// Category of menus without plans: their items do nothing.
constexpr int16_t kBuildNoCategory = -1;
constexpr int16_t kBuildFloorCategory = 0;

// The factory name text of a category's items: "shopFactory" for the shop kinds, and so on.
const char* GetBuildFactoryText(int16_t category);

class CBuildCanvasManager : public CFerroxCanvasNodeManager {
public:
    CBuildCanvasManager();
    ~CBuildCanvasManager() override;

    void OnButton(int32_t index) override;
    // Enables or disables the button by its template's availability.
    void RefreshButton(CFerroxCanvasNode* page, int32_t index) override;
    void OnLeafButton(int16_t category, int32_t index, int32_t event) override;
    // Asks for the tooltip whose index in the build tooltips is the widget's id, for a locked item too. The back
    // button has no id: its request names no text and nothing is shown.
    void OnButtonHover(int32_t widgetId) override;
    int32_t GetFirstItemId() override;
    // Stores the position and builds the menus from the data tree's "BUILD_OBJECTS" block (its cursor moves).
    void SetPosition(CFerroxTagTree* data, float x, float y) override;
    // The menus stay.
    void Release() override;
    void Reset() override;

    int16_t GetTooltipList() const { return m_tooltipList; }

protected:
    // The game's commands for a template of a menu's category (never negative). buildmenu_test and
    // buildmenu_draw_test replace them to lock items and see the presses without templates.
    // 1 when the template does not exist or may be built, 0 when it may not be built yet.
    virtual int IsTemplateAvailable(int16_t category, uint16_t index);
    // Places one object of the template with the factory (null when no factory matched).
    virtual void StartObjectPlacement(int16_t category, uint16_t index, CFerroxObjectFactory* factory);
    // Drag-places floor tiles of the type (kGameKeepFloorTile: the current one).
    virtual void StartFloorTilePlacement(int32_t tile);

private:
    // Makes the menu of the "panel" node under the cursor, for the caller to give to the parent; null when its
    // value names no picture.
    std::unique_ptr<CFerroxCanvasNode> MakeMenu(CFerroxTagTree* data, CFerroxCanvasNode* parent, int16_t category);
    // Makes the menus below the cursor's node under the parent, in document order.
    void BuildTree(CFerroxTagTree* data, CFerroxCanvasNode* parent);

    int16_t m_tooltipList;
    uint16_t m_nextItemId;
};
