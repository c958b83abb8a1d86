// Play-test steps of how the mall looks: a placed shop shows, on the front the game enters it from, the colour of
// the build-menu button it was built from.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/world/composite.h"
#include "game/buildings/shop.h"
#include "game/shell/game.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "playtest/playtest.h"
#include "ui/game/buildmenu.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"

namespace {

// The shop page is the build menu root's second button; the unit the shop step placed is its first item.
constexpr int kShopPageButton = 2;
constexpr int kFirstShopItem = 1;
// A point on the face of the small unit's sign band (model space: the front is +z, 3 from the middle), between
// the pictogram over the door and the one over a window.
constexpr GxV3d kSignBand = {0.9f, 2.95f, 3.07f};
// From a build button's centre to a point of its face that its icon leaves clear.
constexpr float kFaceInset = 15.0f;
// The level's white lights scale a colour's channels alike: each channel's share of the brightest matches the
// button's within this.
constexpr float kShareTolerance = 0.12f;
constexpr int kDrawFrames = 2;
// The level camera's frame has its right vector pointing to the screen's left.
constexpr bool kCameraRightIsScreenLeft = true;

// Each channel of 0xRRGGBB as a share of the brightest; all zero for black.
std::array<float, 3> Shares(long rgb)
{
    const std::array<float, 3> c = {static_cast<float>((rgb >> 16) & 0xFF), static_cast<float>((rgb >> 8) & 0xFF),
                                    static_cast<float>(rgb & 0xFF)};
    const float top = std::max(c[0], std::max(c[1], c[2]));
    if (top <= 0.0f)
        return {};
    return {c[0] / top, c[1] / top, c[2] / top};
}

bool SameColourLit(long seen, long painted)
{
    const std::array<float, 3> a = Shares(seen), b = Shares(painted);
    for (size_t i = 0; i < a.size(); i++) {
        if (std::fabs(a[i] - b[i]) > kShareTolerance)
            return false;
    }
    return seen > 0;
}

CBuildCanvasManager* ShopMenus()
{
    CInterface* ui = InterfaceGet();
    return ui ? dynamic_cast<CBuildCanvasManager*>(ui->m_pBuildMenu.get()) : nullptr;
}

}  // namespace

// The shop's sign band, where the player sees it, has the colour of the shop page's first button: the build
// button, then the shop page's, are clicked to show that button again, and the band's point on the screen is
// compared with the button's face, channel share by channel share.
bool CPlayTest::ShopFront(int)
{
    CInterface* ui = InterfaceGet();
    CBuildCanvasManager* menus = ShopMenus();
    float x = 0.0f, y = 0.0f;
    if (!ui || !menus || !menus->GetRoot()) {
        Fail("the interface has no build menu");
        return false;
    }
    m_waiting = "the build menu's shop page";
    switch (m_phase) {
    case 0:
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_BUILD, &x, &y) && Click(m_count++, x, y))
            m_phase = 1, m_count = 0;
        return false;
    case 1:
        if (WidgetCentre(menus->GetRoot(), kShopPageButton, &x, &y) && Click(m_count++, x, y))
            m_phase = 2, m_count = 0;
        return false;
    default:
        if (m_count++ < kDrawFrames)
            return false;
    }
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    CShop* shop = statistics && !statistics->GetShops().empty() ? statistics->GetShops().front()->owner : nullptr;
    GxFrame* model = shop && shop->GetModel() ? shop->GetModel()->GetFrame() : nullptr;
    if (!model || !WidgetCentre(menus->GetOpenNode(), kFirstShopItem, &x, &y)) {
        Fail("there is no shop, or the shop page is not open");
        return false;
    }
    const long button = Pixel(static_cast<int>(x - kFaceInset), static_cast<int>(y - kFaceInset));
    GxV3d band = kSignBand;
    GxV3dTransformPoint(&band, &kSignBand, GxFrameGetWorldMatrix(model));
    if (!ScreenPoint(band, kCameraRightIsScreenLeft, &x, &y)) {
        Fail("the shop's sign band is out of the view");
        return false;
    }
    const long seen = Pixel(static_cast<int>(x), static_cast<int>(y));
    if (!SameColourLit(seen, button)) {
        char colours[64];
        std::snprintf(colours, sizeof(colours), "%06lX, its button %06lX", seen, button);
        Fail(std::string("the shop's sign band shows ") + colours);
        return false;
    }
    return true;
}
