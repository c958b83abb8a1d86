// The build menus' pictures: the root menu (one child button per plans menu, then back) and one plans menu per
// build category (one item per template of the category, then back), laid out from the game data's
// "BUILD_OBJECTS" and "TEMPLATES" blocks and painted by the interface painter.
#pragma once

#include <string>
#include <vector>

#include "tools/content/interface_painter.h"

class CFerroxTagTree;

// One menu the "BUILD_OBJECTS" block names: its picture path as written and its button count.
struct ContentBuildMenu {
    std::string path;        // e.g. "./images/build/m03/m03.png"
    int buttons = 0;         // child buttons or items, then the back button
    int category = -1;       // template category of a plans menu; -1 for the root
    std::vector<int> tiles;  // the floors menu: per item, the painted floor tile it lays (FLOOR_TILES order)
};

// The menus in the order the game makes them: the root, then every entry with a panel and plans, the n-th
// of them taking the n-th template category's plans as items. Empty, with the reason, when the block or a
// category is missing, an entry has no picture, or a floor item lays no tile the content paints.
std::vector<ContentBuildMenu> ContentReadBuildMenus(CFerroxTagTree* data, std::string* error);

// The tooltips the menus need: the sum over menus of their items, the root's child buttons included.
int ContentBuildTooltipCount(const std::vector<ContentBuildMenu>& menus);

// Layout of a menu of the given buttons: rows of square icons, the back button last.
ContentCanvasLayout ContentBuildMenuLayout(const char* folder, const char* stem, int buttons);

// The icon of a button: a floor item shows four cells of the tile it lays; any other item a face in the
// category's colour with one mark per item number; the back button is an arrow.
ContentPngImage ContentBuildMenuIcon(const ContentBuildMenu& menu, int button, int size);

// Writes every menu's folder under out; false with the reason on the first failure.
bool ContentWriteBuildMenus(const std::string& textDir, const std::string& out, std::string* detail);
