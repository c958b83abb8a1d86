// The input-level play test: the game played as a player plays it. Every action is input sent with SendInput,
// which the platform layer pushes into SDL's event queue, so it travels the player's road (the launcher's
// dialog, the message pump, the application's input adapters); the driver only reads what it checks (game
// state, the canvases' layout, pixels of the frame). Steps run one after another: each sends its input over
// one or more frames (buttons held at least a frame), then waits for what it expects, failing the run with
// the step's name when its frame budget runs out; each passed step leaves a screenshot in the folder.
//
// The full run: the launcher (language page, French, the mode list, play), the main menu, London, start, the
// camera keys and edge, a tooltip shown and gone, a room of floor tiles with a door, stairs and a second storey,
// a shop and its card, shoppers coming in at speed 3, a shopper's card with its need bars and selection ring,
// the storey above, the finance page from two storeys, Escape over it, three staff hired,
// the contracts panel, save, load, Escape over the save panel and over the leave question, and quit. The mode
// run: the launcher picks one mode, the client area must have its size and a click on a main-menu button must
// press it; at 800 x 600 the level's edges along and beside the main bar must scroll the view.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/windows.h"

class CFerroxCanvas;
class CProgramShell;

class CPlayTest {
public:
    // `width` x `height` is the mode the launcher picks; `modeOnly` runs the mode run instead of the full one.
    CPlayTest(const std::string& folder, CProgramShell* shell, int width, int height, bool modeOnly);
    // Takes the launcher's dialog while the game chooses its mode (before the game window exists).
    void Install();
    void Uninstall();
    // Called by the application around each frame.
    void BeforeFrame() {}
    void AfterFrame();
    // 0 when every step passed.
    int Result() const;

private:
    typedef bool (CPlayTest::*StepFunction)(int frame);
    struct Step {
        const char* name;
        StepFunction run;  // sends input and checks; true once the step passed
        int budget;        // frames (turns in the launcher) before it fails
    };

    static void LauncherTurn(HWND dialog, int turn, void* self);
    void Advance(int* frame);
    void Fail(const std::string& what);
    bool InLauncher() const { return m_dialog != nullptr; }

    // Input, in the pixels the player sees: the launcher's 640 x 480, else the game's screen.
    void Move(float x, float y);
    void Button(DWORD flags);
    void Key(WORD vk, bool down);
    // Moves there (twice: the first move after a warp is its echo), presses, holds a frame, releases; true
    // once the release went out.
    bool Click(int frame, float x, float y, bool right = false);
    // Opens build page `page` and takes up its first item (placement mode `mode`); true once held.
    bool HoldBuildItem(int t, int page, int mode, const char* what);
    // Clicks the main bar's background, which ends any placement; true once it ended.
    bool EndPlacement(int frame);
    // The centre of a canvas widget in screen pixels; false when the canvas or widget is missing.
    bool WidgetCentre(void* canvas, int index, float* x, float* y);
    // A pixel of the last frame (or of the launcher) as 0xRRGGBB, or -1.
    long Pixel(int x, int y);
    // A block of the last frame, row by row from its top-left pixel; -1 outside the frame.
    std::vector<long> Pixels(int left, int top, int width, int height);
    bool Screenshot(const std::string& name);
    // Writes the launcher's pictures kept so far (the engine can write pictures once it started).
    bool SaveLauncherPictures();

    // Steps: see the table in the .cpp.
    bool LauncherLanguagePage(int turn);
    bool LauncherFrench(int turn);
    bool LauncherMode(int turn);
    bool LauncherPlay(int turn);
    bool MainMenu(int frame);
    bool ClientSize(int frame);
    bool MenuButtonPress(int frame);
    bool City(int frame);
    bool Start(int frame);
    bool CameraArrows(int frame);
    bool CameraTurn(int frame);
    bool CameraEdge(int frame);
    bool Room(int frame);
    bool Door(int frame);
    bool GreenNear(int x, int y);
    bool Stairs(int frame);
    bool Shop(int frame);
    bool ShopCard(int frame);
    bool Shoppers(int frame);
    bool ShoppersThroughDoor(int frame);
    bool ShopperCard(int frame);
    bool NeedBars(int frame);
    bool SelectionRing(int frame);
    bool StoreyUp(int frame);
    bool HireStaff(int frame);
    bool Contracts(int frame);
    bool Save(int frame);
    bool Load(int frame);
    bool Escape(int frame);
    bool Leave(int frame);
    bool CloseWindow(int frame);
    bool Quit(int frame);

    // Panel steps (main/playtest_panels.cpp).
    bool TooltipShown(int frame);
    bool TooltipGone(int frame);
    bool FinanceFloors(int frame);
    bool EscapePanel(int frame);
    bool EscapeFilePanel(int frame);
    bool EscapeQuestion(int frame);
    bool EdgeAlongTheBar(int frame);
    bool EdgesBesideTheBar(int frame);
    bool ClickWidget(CFerroxCanvas* canvas, int index);
    void Tap(WORD key, int frame, int at);
    std::vector<long> FinanceFloorsPixels();
    bool ScrollsAt(int frame, float x, float y, const char* where);

    std::string m_folder;
    CProgramShell* m_pShell;
    int m_width;
    int m_height;
    bool m_modeOnly;
    std::vector<Step> m_steps;
    size_t m_step = 0;
    int m_frame = 0;  // frames (or launcher turns) since the step began
    int m_turn = 0;
    bool m_failed = false;
    bool m_done = false;
    HWND m_dialog = nullptr;  // the launcher while it runs
    // What a step keeps between its frames.
    long m_before = 0;
    float m_mark[3] = {};
    int m_count = 0;
    int m_phase = 0;
    std::string m_savePath;
    std::string m_waiting;  // what the step waits for, told when its budget runs out
    float m_click[2] = {};  // where the click under way began
    bool m_clicking = false;
    WORD m_key = 0;         // the key a step holds down
    bool m_inCity = false;  // London's view is shown
    float m_area[2] = {};   // a point the panel steps look at again
    std::vector<long> m_pixels;
    std::vector<std::pair<std::string, std::vector<DWORD>>> m_launcherPictures;
};
