// The play test's panel steps: a tooltip at the pointer and gone with it, the finance page's
// storeys from two storeys, Escape over a panel, a file panel and a question, and the view scrolled at the edges
// beside and along the main bar at 800 x 600.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/application/mouse.h"
#include "engine/world/camera.h"
#include "game/buildings/placement.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "playtest/playtest.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame.h"
#include "ui/game/management.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"
#include "ui/toolkit/node.h"

namespace {

constexpr int kWaitFrames = 4;        // for a press or a key to be taken and drawn
constexpr int kShopPage = 1;          // the build menu's root page of shops
constexpr int kTooltipFrames = 20;    // 1 s at the fixed clock: past the tooltip's wait
constexpr int kTooltipLook = 6;       // within the wait: the button lit, its tooltip not yet shown
constexpr float kTooltipWait = 0.6f;  // the wait, back whole when nothing asks
// A tooltip's text right of the pointer's tip: below its baseline by its descenders, above it by its capitals,
// a short text wide; and the least of its light pixels that tells it is there.
constexpr int kTooltipDescent = 4;
constexpr int kTooltipRise = 12;
constexpr int kTooltipTextWidth = 60;
constexpr int kTooltipLeastInk = 20;
constexpr int kEdgeFrames = 12;       // the pointer rests at an edge
constexpr float kLeastScroll = 1.0f;  // world units the view must glide at an edge
constexpr float kEdgeInset = 3.0f;    // pixels from the edge, inside the scrolling margin
constexpr float kBarHeight = 80.0f;   // the main bar's height: the edges beside it scroll too
constexpr int kFigureLight = 170;     // a drawn figure's pixels are lighter than every panel face
// The storeys figure: pixels left of and above its right end and baseline.
constexpr int kFigureWidth = 34;
constexpr int kFigureHeight = 14;
constexpr int kFigureDescent = 3;

CGame* Game() { return static_cast<CGame*>(g_pGame); }
int ScreenW() { return Game()->GetScreenWidth(); }
int ScreenH() { return Game()->GetScreenHeight(); }

}  // namespace

bool CPlayTest::Holds(CFerroxCanvas* canvas)
{
    CInterface* ui = InterfaceGet();
    return ui && canvas && ui->GetStack().Holds(canvas);
}

bool CPlayTest::LightPixel(long pixel)
{
    return pixel >= 0 && ((pixel >> 16) & 0xFF) > kFigureLight && ((pixel >> 8) & 0xFF) > kFigureLight &&
           (pixel & 0xFF) > kFigureLight;
}

// ---- tooltips ----

// The pixels of a canvas's widget on the screen, row by row.
std::vector<long> CPlayTest::WidgetPixels(CFerroxCanvas* canvas, int index)
{
    const float* rect = canvas ? canvas->GetWidgetRect(index) : nullptr;
    if (!rect)
        return {};
    const int left = static_cast<int>(canvas->GetX() + rect[0]);
    const int top = ScreenH() - static_cast<int>(canvas->GetY() + rect[1] + rect[3]);
    return Pixels(left, top, static_cast<int>(rect[2]), static_cast<int>(rect[3]));
}

// The pixels right of a pointer's tip at (x, y), top-down, where a tooltip's text stands.
std::vector<long> CPlayTest::TooltipPixels(int x, int y)
{
    return Pixels(x, y - kTooltipRise, kTooltipTextWidth, kTooltipRise + kTooltipDescent);
}

namespace {

// How many of two equal-sized blocks' pixels differ.
int Changed(const std::vector<long>& a, const std::vector<long>& b)
{
    int changed = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        changed += a[i] != b[i] ? 1 : 0;
    return changed;
}

}  // namespace

// The pointer rests on a canvas's button: the pixels right of the pointer's tip are kept within the tooltip's wait
// (frame kTooltipLook); once the tooltip shows, its text changes them, at the pointer, with no plate moving it
// away. True once it does; false while the tooltip waits.
bool CPlayTest::TooltipAtPointer(int frame, const CFerroxInterface& ui, CFerroxCanvas* canvas, int index)
{
    float x = 0.0f, y = 0.0f;
    if (!WidgetCentre(canvas, index, &x, &y)) {
        Fail("the tooltip's button is missing");
        return false;
    }
    if (frame < 2)
        Move(x, y);
    CFerroxMouse* mouse = Game()->GetMouse();
    const FerroxMousePosition* at = mouse ? mouse->GetPosition() : nullptr;
    if (!at)
        return false;
    const int left = static_cast<int>(at->x), tip = static_cast<int>(at->y);
    if (frame == kTooltipLook)
        m_pixels = TooltipPixels(left, tip);
    if (frame < kTooltipFrames)
        return false;
    if (ui.m_tooltipX != at->x || ui.m_tooltipY != static_cast<float>(ScreenH()) - at->y) {
        Fail("the tooltip is not drawn at the pointer");
        return false;
    }
    const std::vector<long> shown = TooltipPixels(left, tip);
    if (Changed(shown, m_pixels) < kTooltipLeastInk) {
        Fail("the tooltip's text does not show at the pointer");
        return false;
    }
    m_pixels = shown;
    m_area[0] = static_cast<float>(left), m_area[1] = static_cast<float>(tip);
    return true;
}

// The pointer rests on the main bar's management button: its tooltip stands at the pointer.
bool CPlayTest::TooltipShown(int frame)
{
    CInterface* ui = InterfaceGet();
    if (!ui || !ui->m_pMainPanel) {
        Fail("the level has no main bar");
        return false;
    }
    m_waiting = "the management button's tooltip";
    return TooltipAtPointer(frame, *ui, ui->m_pMainPanel.get(), MAIN_MANAGE);
}

// The pointer leaves the bar: the tooltip goes at once, and its wait starts again.
bool CPlayTest::TooltipGone(int frame)
{
    CInterface* ui = InterfaceGet();
    if (frame < 2)
        Move(static_cast<float>(ScreenW()) / 2, static_cast<float>(ScreenH()) / 3);
    if (frame < kWaitFrames)
        return false;
    if (!ui || ui->GetTooltipDelay() < kTooltipWait ||
        Changed(TooltipPixels(static_cast<int>(m_area[0]), static_cast<int>(m_area[1])), m_pixels) < kTooltipLeastInk) {
        Fail("the tooltip stayed after the pointer left the bar");
        return false;
    }
    return true;
}

// ---- the finance page's storeys and Escape over it ----

// Clicks the centre of the canvas's widget, counting the click's frames in m_count; true once it went
// through, with the count back at 0.
bool CPlayTest::ClickWidget(CFerroxCanvas* canvas, int index)
{
    float x = 0.0f, y = 0.0f;
    if (!WidgetCentre(canvas, index, &x, &y) || !Click(m_count++, x, y))
        return false;
    m_count = 0;
    return true;
}

// Escape tapped in a phase's first frames; after kWaitFrames, whether `shown` holds (the run fails with `failure`
// when it does not).
bool CPlayTest::AfterEscape(bool shown, const std::string& failure)
{
    Tap(VK_ESCAPE, m_count, 0);
    return AfterWait(shown, failure);
}

// The frames of a phase counted; after kWaitFrames, whether `shown` holds (the run fails with `failure` when it
// does not).
bool CPlayTest::AfterWait(bool shown, const std::string& failure)
{
    return m_count++ >= kWaitFrames && Expect(shown, failure);
}

bool CPlayTest::WaitFor(const std::string& what, bool holds)
{
    m_waiting = what;
    return m_count++ > kWaitFrames && holds;
}

void CPlayTest::PictureThenNextPhase(const std::string& picture, const std::string& of)
{
    if (!Screenshot(picture))
        Fail(of + "'s picture was not written");
    NextPhaseIf(true);
}

void CPlayTest::Presses(int first, std::initializer_list<Press> presses)
{
    const int at = m_phase - first;
    if (at < 0 || at >= static_cast<int>(presses.size()))
        return;
    const Press& press = presses.begin()[at];
    if (press.waiting)
        m_waiting = press.waiting;
    m_phase += ClickWidget(press.canvas, press.index);
}

// A key pressed in frame `at` and let go in the next.
void CPlayTest::Tap(WORD key, int frame, int at)
{
    if (frame == at || frame == at + 1)
        Key(key, frame == at);
}

// The pixels of the finance page's storeys figure, row by row.
std::vector<long> CPlayTest::FinanceFloorsPixels()
{
    CFerroxCanvas* finance = InterfaceGet()->m_pMallSummaryPanel.get();
    const int right = static_cast<int>(finance->GetX() + kFinanceFloors.x);
    const int baseline = ScreenH() - static_cast<int>(finance->GetY() + kFinanceFloorsY);
    return Pixels(right - kFigureWidth, baseline - kFigureHeight, kFigureWidth + 2, kFigureHeight + kFigureDescent + 1);
}

// The shoppers panel, opened from the management panel: its picture is kept, and its close button closes it.
bool CPlayTest::ShoppersPanel(int)
{
    CInterface* ui = InterfaceGet();
    switch (m_phase) {
    case 0:
    case 1:
        Presses(0, {{ui->m_pMainPanel.get(), MAIN_MANAGE},
                    {ui->m_pManagementPanel.get(), MANAGEMENT_SHOPPERS, "the shoppers panel"}});
        return false;
    case 2:
        if (!AfterWait(Holds(ui->m_pShopperSummaryPanel.get()), "the shoppers button did not open the shoppers panel"))
            return false;
        PictureThenNextPhase("shoppers_panel.bmp", "the shoppers panel");
        return false;
    case 3:
        m_phase += ClickWidget(ui->m_pShopperSummaryPanel.get(), SHOPPERS_CLOSE);
        return false;
    default:
        return WaitFor("the shoppers panel's close button", !Holds(ui->m_pShopperSummaryPanel.get()));
    }
}

// The finance page opened on the storey above and then on the ground storey counts the same storeys.
bool CPlayTest::FinanceFloors(int)
{
    CInterface* ui = InterfaceGet();
    switch (m_phase) {
    case 0:
    case 1:
        if (m_phase == 0 &&
            !Expect(Game()->GetCurrentFloor() == 1, "the finance step starts on the storey above the ground"))
            return false;
        Presses(0, {{ui->m_pMainPanel.get(), MAIN_MANAGE},
                    {ui->m_pManagementPanel.get(), MANAGEMENT_FINANCE, "the finance page on the storey above"}});
        return false;
    case 2:
        if (m_count++ < kWaitFrames)
            return false;
        m_pixels = FinanceFloorsPixels();
        NextPhaseIf(Expect(std::any_of(m_pixels.begin(), m_pixels.end(), LightPixel),
                           "the finance page shows no storeys figure"));
        return false;
    case 3:
        if (ClickWidget(ui->m_pMallSummaryPanel.get(), FINANCE_CLOSE))
            m_phase = 4;
        return false;
    case 4:
        m_waiting = "the ground storey";
        if (ClickWidget(ui->m_pMainPanel.get(), MAIN_FLOOR_DOWN) && Game()->GetCurrentFloor() == 0)
            m_phase = 5;
        return false;
    case 5:
    case 6:
        Presses(5, {{ui->m_pMainPanel.get(), MAIN_MANAGE},
                    {ui->m_pManagementPanel.get(), MANAGEMENT_FINANCE, "the finance page on the ground storey"}});
        return false;
    default:
        return m_count++ >= kWaitFrames &&
               Expect(FinanceFloorsPixels() == m_pixels,
                      "the finance page counts other storeys from the ground storey than from the one above");
    }
}

// Escape over the open finance page asks to leave and leaves the page open; No takes the question away, and the
// page's close button closes it.
bool CPlayTest::EscapePanel(int)
{
    CInterface* ui = InterfaceGet();
    switch (m_phase) {
    case 0:
        NextPhaseIf(AfterEscape(Holds(ui->m_pMallSummaryPanel.get()) && Holds(ui->m_pConfirmPanel.get()),
                                "Escape over the finance page did not ask to leave with the page open"));
        return false;
    case 1:
    case 2:
        Presses(1, {{ui->m_pConfirmPanel.get(), CONFIRM_NO}, {ui->m_pMallSummaryPanel.get(), FINANCE_CLOSE}});
        return false;
    default:
        return WaitFor("the question and the finance page gone",
                       !Holds(ui->m_pConfirmPanel.get()) && !Holds(ui->m_pMallSummaryPanel.get()));
    }
}

// ---- a question over the mall, and Escape with a tool held ----

namespace {

int HeldMode()
{
    CGame* game = g_pGame;
    return game && game->GetPlacementController() ? game->GetPlacementController()->GetMode() : PLACEMENT_IDLE;
}

}  // namespace

// The shop's card closes with its button; Escape asks to leave; a click on the shop, off every canvas, reaches it
// under the question and selects it, the question staying open; No takes the question away.
bool CPlayTest::ClickUnderQuestion(int)
{
    CInterface* ui = InterfaceGet();
    const int t = m_count;
    switch (m_phase) {
    case 0:
        m_waiting = "the shop's card closed";
        if (ClickWidget(ui->m_pShopPopup.get(), CARD_CLOSE))
            m_phase = 1;
        return false;
    case 1:
        m_waiting = "the leave question after Escape";
        Tap(VK_ESCAPE, m_count++ % kWaitFrames, 0);
        if (t % kWaitFrames == kWaitFrames - 1 && Holds(ui->m_pConfirmPanel.get()) && !Holds(ui->m_pShopPopup.get())) {
            m_phase = 2, m_count = 0;
        }
        return false;
    case 2: {
        const void* record = nullptr;
        if (Click(m_count++, m_area[0], m_area[1]) && t >= kClickFrames + kWaitFrames)
            NextPhaseIf(Expect(GameClassifySelection(Game()->GetSelectedObject(), &record) == GAME_SELECTION_SHOP &&
                                   Holds(ui->m_pConfirmPanel.get()),
                               "a click on the shop did not select it under the leave question"));
        return false;
    }
    case 3:
        m_phase += ClickWidget(ui->m_pConfirmPanel.get(), CONFIRM_NO);
        return false;
    default:
        return AfterWait(!Holds(ui->m_pConfirmPanel.get()), "No did not take the leave question away");
    }
}

// With a shop held from the build menu, Escape asks to leave and the shop stays held; No, a press on the interface,
// takes the question away and puts the shop down. The demolish button closes the build menu, and a click on the speed button (on the
// interface) ends demolishing.
bool CPlayTest::EscapeTool(int)
{
    CInterface* ui = InterfaceGet();
    CFerroxCanvasNodeManager* menus = ui ? ui->m_pBuildMenu.get() : nullptr;
    switch (m_phase) {
    case 0:
        if (HoldBuildItem(m_count++, kShopPage, PLACEMENT_OBJECT, "shop"))
            m_phase = 1, m_count = 0;
        return false;
    case 1:
        NextPhaseIf(AfterEscape(Holds(ui->m_pConfirmPanel.get()) && HeldMode() == PLACEMENT_OBJECT,
                                "Escape with a shop held did not ask to leave with the shop still held"));
        return false;
    case 2:
        if (ClickWidget(ui->m_pConfirmPanel.get(), CONFIRM_NO)) {
            m_phase = 3;
            if (HeldMode() != PLACEMENT_IDLE)
                Fail("No to the leave question, a press on the interface, did not put the shop down");
        }
        return false;
    case 3:
    case 4:
        Presses(3, {{ui->m_pMainPanel.get(), MAIN_DEMOLISH, "the demolish button"},
                    {ui->m_pMainPanel.get(), MAIN_SPEED_1, "the speed button"}});
        return false;
    default:
        return Expect(HeldMode() == PLACEMENT_IDLE && !(menus && menus->GetOpenNode()) &&
                          !Holds(ui->m_pConfirmPanel.get()),
                      "the demolish and speed buttons did not leave the hand empty and the build menu closed");
    }
}

// ---- Escape over a file panel and over the leave question ----

// The options panel's save opens its panel, which stops the game's keys: Escape asks nothing and the panel stays;
// its close button closes it and lets the game run.
bool CPlayTest::EscapeFilePanel(int)
{
    CInterface* ui = InterfaceGet();
    switch (m_phase) {
    case 0:
        m_phase += ClickWidget(ui->m_pMainPanel.get(), MAIN_OPTIONS);
        return false;
    case 1:
        m_waiting = "the save panel";
        if (ClickWidget(ui->m_pOptionsPanel.get(), OPTIONS_SAVE) && Holds(ui->m_pSavePanel.get()))
            m_phase = 2;
        return false;
    case 2:
        NextPhaseIf(AfterEscape(Holds(ui->m_pSavePanel.get()) && !Holds(ui->m_pConfirmPanel.get()),
                                "Escape over the save panel did something while the panel stops the game's keys"));
        return false;
    case 3:
        m_phase += ClickWidget(ui->m_pSavePanel.get(), FILE_PANEL_CLOSE);
        return false;
    default:
        return AfterWait(!Holds(ui->m_pSavePanel.get()) && !Game()->IsInputBlocked(),
                         "the save panel's close button did not close it and let the game run");
    }
}

// No takes the leave question away; the floor-up button on the top storey asks for a new one, and Escape over
// that question makes it the leave question, still one panel; No takes it away with the player in the level and
// no storey added; Escape asks again, and Yes leaves for the main menu.
bool CPlayTest::EscapeQuestion(int)
{
    CInterface* ui = InterfaceGet();
    CConfirmPanel* question = ui->m_pConfirmPanel.get();
    switch (m_phase) {
    case 0:
        m_phase += ClickWidget(question, CONFIRM_NO);
        return false;
    case 1:
        // Each press below the top storey goes one up; the one on the top storey asks.
        m_phase += ClickWidget(ui->m_pMainPanel.get(), MAIN_FLOOR_UP);
        return false;
    case 2:
        if (!WaitFor("the new-storey question", Holds(question)) && m_count <= kWaitFrames * 2)
            return false;
        if (!Holds(question)) {
            m_phase = 1, m_count = 0;
            Expect(Game()->GetCurrentFloor() < kMaxFloors - 1, "the floor-up button offered no new storey");
            return false;
        }
        m_mark[0] = static_cast<float>(Game()->GetBuiltFloors());
        m_phase = 3, m_count = 0;
        return false;
    case 3:
        NextPhaseIf(AfterEscape(Holds(question) && ui->GetStack().GetModalCount() == 1 &&
                                    question->GetCallback() == &CGame::OnConfirmLeave,
                                "Escape over the new-storey question did not make it the one leave question"));
        return false;
    case 4:
        m_phase += ClickWidget(question, CONFIRM_NO);
        return false;
    case 5:
        NextPhaseIf(AfterWait(!ui->GetStack().HasModal() && Game()->GetState() == kGameStateInGame &&
                                  Game()->GetBuiltFloors() == static_cast<int32_t>(m_mark[0]),
                              "No did not take the question away with the player in the level and no new storey"));
        return false;
    case 6:
        NextPhaseIf(AfterEscape(Holds(question), "Escape after No did not ask to leave"));
        return false;
    case 7:
        m_phase += ClickWidget(question, CONFIRM_YES);
        return false;
    default:
        m_waiting = "the main menu after yes";
        return Game()->GetState() == kGameStateFrontEnd && m_count++ > kWaitFrames;
    }
}

// ---- edges at 800 x 600 ----

// The pointer rests `edgeFrames` at (x, y), then back in the middle; true once the view glided.
bool CPlayTest::ScrollsAt(int frame, float x, float y, const char* where)
{
    CFerroxCamera* camera = Game()->GetCamera();
    const GxV3d* at = camera ? camera->GetPosition() : nullptr;
    if (!at) {
        Fail("the level has no camera");
        return false;
    }
    if (frame == 0)
        m_mark[0] = at->x, m_mark[1] = at->y, m_mark[2] = at->z;
    if (frame < 2)
        Move(x, y);
    if (frame == kEdgeFrames || frame == kEdgeFrames + 1)
        Move(static_cast<float>(ScreenW()) / 2 + static_cast<float>(frame - kEdgeFrames), ScreenH() / 3.0f);
    if (frame < kEdgeFrames + kWaitFrames)
        return false;
    const float dx = at->x - m_mark[0], dz = at->z - m_mark[2];
    if (dx * dx + dz * dz < kLeastScroll * kLeastScroll) {
        Fail(std::string("the pointer at the ") + where + " did not scroll the view");
        return false;
    }
    return true;
}

// Along the bottom edge, over the main bar's face, the view scrolls back.
bool CPlayTest::EdgeAlongTheBar(int frame)
{
    CInterface* ui = InterfaceGet();
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    if (frame == kWaitFrames && !Game()->GetMouse()->GetPosition()->overInterface) {
        Fail("the main bar does not lie along the bottom edge");
        return false;
    }
    return ui && ScrollsAt(frame, w / 2, h - kEdgeInset, "bottom edge over the main bar");
}

// Beside the main bar the left and the right edges scroll too.
bool CPlayTest::EdgesBesideTheBar(int frame)
{
    const float w = static_cast<float>(ScreenW()), h = static_cast<float>(ScreenH());
    const int side = kEdgeFrames + kWaitFrames + 1;
    if (frame < side) {
        ScrollsAt(frame, kEdgeInset, h - kBarHeight / 2, "left edge beside the main bar");
        return false;
    }
    return ScrollsAt(frame - side, w - kEdgeInset, h - kBarHeight / 2, "right edge beside the main bar");
}
