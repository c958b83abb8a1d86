// The test harness (playtest/), whose public header this is: the input-level play test here, the scripted
// play-throughs (playtest/playthrough.h) and the random player (playtest/randomplayer.h), which the harness program
// mall_playtest (playtest/playtest_main.cpp) runs over the game's start-up and shell (main/). May call main/ and
// every module below it; the game's program links none of it. One thread: a harness takes its turn in the game's
// frame, which the harness program's application wraps, and owns only its own state and the files it writes.
//
// The input-level play test: the game played as a player plays it. Every action is input sent with SendInput,
// which the platform layer pushes into SDL's event queue, so it travels the player's road (the launcher's
// dialog, the message pump, the application's input adapters); the driver only reads what it checks (game
// state, the canvases' layout, pixels of the frame). Steps run one after another: each sends its input over
// one or more frames (buttons held at least a frame), then waits for what it expects, failing the run with
// the step's name when its frame budget runs out; each passed step leaves a screenshot in the folder.
//
// The full run: the launcher (language page, French, the mode list, play), the main menu and its London button's
// tooltip on its plate, London, start, the camera keys and edge, a tooltip shown and gone, a room of floor tiles, a
// second room whose walls are checked on screen as it is laid and extended, a bench and a tile demolished, a door,
// stairs and a second storey, a third storey over the stairs, a shop and its card, shoppers coming in at speed 3, a
// shopper's card with its need bars and selection ring, the storey above, the finance page from two storeys, Escape
// over it, three staff hired, the contracts panel, the cleaning contract run to its end at top speed
// (playtest_test.sh shortens it) and its level read alike there and on the staff page, the message history opened
// on its newest message, a refused save name, a save named with a capital and its picture, the name in capitals
// asking before it replaces that save, save, the load panel,
// load, the stairs demolished and their well floored over, Escape over the save panel and over the leave
// question, a scenario won as it opens (London's fourth, which playtest_test.sh adds), London's first lost to the
// bank by building into debt, and quit. The mode run: the
// launcher picks one mode, the client area must have its size and a click on a main-menu button must press it; at
// 800 x 600 the level's edges along and beside the main bar must scroll the view.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "gfx/core/gx.h"
#include "playtest/playinput.h"

#include "platform/win32/windows.h"

class CFerroxCanvas;
class CFerroxFileIOCanvas;
class CFerroxInterface;
class CProgramShell;
struct GxV3d;

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
    static constexpr int kClickFrames = CPlayInput::kClickFrames;

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

    // Input (playtest/playinput.h), in the pixels the player sees; a refusal of SendInput fails the run.
    void Move(float x, float y);
    void Button(DWORD flags);
    void Key(WORD vk, bool down);
    bool Click(int frame, float x, float y, bool right = false);
    // Opens build page `page` and takes up its item `item` (1: the first) in placement mode `mode`; true once held.
    bool HoldBuildItem(int t, int page, int mode, const char* what, int item = 1);
    // Clicks the main bar's background, which ends any placement; true once it ended.
    bool EndPlacement(int frame);
    // The centre of a canvas widget in screen pixels; false when the canvas or widget is missing.
    bool WidgetCentre(void* canvas, int index, float* x, float* y);
    // Clicks a canvas widget (see Click); fails the run with `missing` when the canvas or widget is not there.
    bool ClickWidget(int frame, void* canvas, int index, const std::string& missing);
    // Clicks the row of a load or save panel that lists the entry `name` of kind `kind` (see Click); fails the run
    // with `missing` when no row of its page lists it.
    bool ClickRow(int frame, void* panel, int kind, const std::u16string& name, const std::string& missing);
    // The next phase of a step, its frames counted from 0 again, once `done`.
    void NextPhaseIf(bool done);
    // Whether `shown` holds; the run fails with `failure` when it does not.
    bool Expect(bool shown, const std::string& failure);
    // A pixel of the last frame (or of the launcher) as 0xRRGGBB, or -1.
    long Pixel(int x, int y);
    // Where the player sees a world point, in screen pixels; false behind the camera or off the view.
    static bool ScreenPoint(const GxV3d& point, bool mirror, float* x, float* y);
    // A block of the last frame, row by row from its top-left pixel; -1 outside the frame.
    std::vector<long> Pixels(int left, int top, int width, int height);
    bool Screenshot(const std::string& name);
    // Writes the launcher's pictures kept so far (the engine can write pictures once it started).
    bool SaveLauncherPictures();

    // ---- The broken-level run (playtest_loads.cpp): the launcher and the main menu, then London's start, which
    // must lead back to London's view with a notice over it; then quit.
public:
    void UseBrokenLevelRun();

private:
    bool LevelRefused(int frame);

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
    // Loads the save listed as `name` through the options and load panels and the question, after entering the
    // sub-folder `folder` of "maps" by its row when one is given; true back in the level.
    bool LoadNamed(const std::u16string& name, const std::string& folder = "");

    // File-panel steps (playtest_files.cpp): a refused name, a name typed with shift and its save's picture, the
    // same name in capitals asking before it replaces that save, the load panel showing that save.
    bool SaveRefused(int frame);
    bool SaveCased(int frame);
    bool SaveCaseAsks(int frame);
    bool LoadPanelShows(int frame);
    // A folder made in the save panel and a save in it; its load from the load panel after browsing into it; the
    // save and then the folder deleted there. Each time a panel closes the working directory is the start folder
    // again, and the game still reads its content.
    bool SaveInFolder(int frame);
    bool LoadFromFolder(int frame);
    bool DeleteInFolder(int frame);
    // Whether the working directory is the start folder followed by `relative` ("" for the start folder itself).
    bool WorkingIn(const std::string& relative);
    // Clicks the row of the sub-folder `folder` of "maps" (the run fails with `missing` when no row lists it) until
    // it is the working directory; true once it is.
    bool EnterFolder(int t, CFerroxFileIOCanvas* panel, const std::string& folder, const std::string& missing);
    // Names with accents typed as French and German keyboards type them, shown in the field and saved under them;
    // the load panel lists both and loads one.
    // Phases 0 and 1 of a file-panel step: the save (or load) panel opened from the main bar's options, then
    // phase 2. True while it runs.
    // Opens the load or save panel through the options panel in phases first and first + 1; true while opening.
    bool OpenFilePanel(int t, bool save, int first = 0);
    // The centre of a file panel's row that lists the entry `name` of kind `kind`; false when no row of its page
    // lists it.
    bool RowCentre(void* panel, int kind, const std::u16string& name, float* x, float* y);
    // Phases 0 to 3 of a save-panel step: the panel opened from the options, `name` typed into its field and the
    // panel's widget `index` clicked (the run fails with `missing` without it); then phase 4. True while it runs.
    bool TypeAndClick(int t, const std::string& name, int index, const std::string& missing);
    // Types name into the save panel's field key by key, erasing what does not lead to it; true once it holds it.
    bool TypeName(int t, const std::string& name);
    // Light pixels (text) of the last frame in a rectangle of screen pixels (bottom-up); -1 when unreadable.
    int LightPixels(int left, int bottom, int right, int top);
    // Those under the save panel's name field, where it tells why a name was refused.
    bool ThumbnailShowsTheScreen(const std::filesystem::path& path);
    // The last steps of a file panel's check, from `phase` on: its close button pressed, then the panel gone.
    bool CloseFilePanel(int t, CFerroxFileIOCanvas* panel, int phase, const std::string& which);
    // The last steps of a save, from `phase` on: a picture of the screen kept as `picture`, the save panel's save
    // button pressed, then the save `saved` written and the panel gone, kSavedFrames on; true once they are.
    bool ClickSave(int t, int phase, const std::string& picture, const std::filesystem::path& saved);
    // The load panel's thumbnail on screen has the colours of the save's picture.
    bool ThumbnailOnScreen();
    bool m_shifted = false;  // shift is held with the typed key
    bool Escape(int frame);
    bool Leave(int frame);
    bool CloseWindow(int frame);
    bool Quit(int frame);

    // Steps of how the mall looks (playtest/playtest_looks.cpp).
    bool ShopFront(int frame);

    // ---- Language (playtest/playtest_language.cpp): the texts on screen in the game's language ----
    // Sees each text a font draws.
    static void SeeText(const std::u16string& text, void* self);
    // The English texts of the catalogue that the French ones differ from.
    void ReadEnglishTexts();
    // Each frame: takes the frame's texts over and fails on one only the English catalogue holds, or on a stand-in
    // for a missing text.
    void CheckTexts();
    // Whether a text of the last frame holds the part (as drawn, or flowed into a box).
    bool DrewText(const std::u16string& part) const;
    // Where the first text of the last frame holding the part stands among the frame's texts; -1 when none does.
    int DrawnAt(const std::u16string& part, size_t from = 0) const;
    // Entry `index` of the named list of the catalogue in the game's language; empty without it.
    static std::u16string CatalogueText(const char* list, uint16_t index);
    bool LanguageMenu(int frame);
    bool LanguageCity(int frame);
    bool LanguageLevel(int frame);
    bool LanguageLocked(int frame);
    bool LanguageCard(int frame);
    std::vector<std::u16string> m_drawing;  // drawn so far in this frame
    std::vector<std::u16string> m_drawn;    // drawn in the last whole frame
    std::unordered_set<std::u16string> m_englishOnly;
    bool m_englishRead = false;
    int m_lockedPage = -1;  // the root's page and the button of a locked item
    int m_lockedItem = 0;

    // Building steps (playtest/playtest_buildings.cpp): a second room laid and extended, its walls seen closed
    // round it; a bench and a tile demolished in it, the hole walled round; a third storey over the stairs,
    // without rails there; the stairs demolished, their well floored over.
    bool Walls(int frame);
    bool WallsExtended(int frame);
    bool Demolish(int frame);
    bool ThirdStorey(int frame);
    bool GroundStorey(int frame);
    bool StairsRemoved(int frame);
    // Where the player sees a world point, the camera's right vector taken as the game's pick agrees; false
    // off the view.
    bool SeenAt(const GxV3d& point, float* x, float* y);
    // Takes which way the camera's right vector points from the pick under the pointer; true once known.
    bool LearnMirror(int frame);
    // A press on one world point, the pointer carried to another with the button held, and a release; true
    // once released. Counts magenta pixels of the frames while the button is held.
    bool DragBetween(int frame, const GxV3d& from, const GxV3d& to);
    // Phases 1 to 3 of a step that lays tiles: the floor tile taken up, dragged from ground cell `first` to
    // `last`, the placement ended; the step moves to phase 4 when they are done.
    void LayTiles(int frame, int first, int last);
    void StartLaying();
    bool Laid(int frame, int first, int last, const std::string& laid, const std::string& floor,
              std::vector<long>* now);
    // The pixels of the frame at the points (-1 where a point is off the view).
    std::vector<long> PixelsAt(const std::vector<GxV3d>& points);
    // How many pixels of the frame read magenta.
    int MagentaPixels();

    // The ends of a game (playtest/playtest_ending.cpp): a scenario won as it opens although a loss holds too, and
    // London's first scenario lost by building the mall into debt; each leaves for the main menu with a click.
    bool EndingWon(int frame);
    bool EndingBankrupt(int frame);
    bool EndingLeave(int frame);
    // Checks the end-game sequence on the screen: its message, the start of its text, and the one sound it played
    // since the step noted them.
    bool CheckEnding(int16_t message, const std::u16string& text, int32_t sound, int32_t silent);
    void NoteEndingSounds();
    // Panel steps (playtest/playtest_panels.cpp).
public:
    // Whether the in-game interface's stack holds the canvas.
    static bool Holds(CFerroxCanvas* canvas);
    // Whether a pixel (0xRRGGBB, -1 for none) is as light as drawn figures and words, lighter than every panel face.
    static bool LightPixel(long pixel);

private:
    std::vector<long> WidgetPixels(CFerroxCanvas* canvas, int index);
    // The pointer rests on the canvas's button; true once its tooltip shows on its plate, off the button.
    bool TooltipAtPointer(int frame, const CFerroxInterface& ui, CFerroxCanvas* canvas, int index);
    std::vector<long> TooltipPixels(int x, int y);
    bool TooltipShown(int frame);
    bool TooltipGone(int frame);
    bool FinanceFloors(int frame);
    bool ShoppersPanel(int frame);
    // Contract steps (playtest/playtest_contracts.cpp).
    bool ContractDone(int frame);
    bool StaffLevel(int frame);
    bool MessageHistory(int frame);
    // The figure a canvas's line shows in a column, its light pixels as rows of '#' and '.': the line whose
    // baseline stands at `baseline` of the canvas (bottom-up), the column by its right end (from the canvas's corner).
    std::string LineFigureAt(CFerroxCanvas* canvas, float baseline, float columnRight);
    bool ContractRuns();
    std::string m_figure;  // the level figure the contracts panel shows
    bool EscapePanel(int frame);
    bool ClickUnderQuestion(int frame);
    bool EscapeTool(int frame);
    bool EscapeFilePanel(int frame);
    bool EscapeQuestion(int frame);
    bool EdgeAlongTheBar(int frame);
    bool EdgesBesideTheBar(int frame);
    bool ClickWidget(CFerroxCanvas* canvas, int index);
    // A press of a canvas's widget in a step's script, and what the step waits for meanwhile (none: unchanged).
    struct Press {
        CFerroxCanvas* canvas;
        int index;
        const char* waiting = nullptr;
    };
    // Phases `first` on, one a press: the widget of the phase clicked (see ClickWidget), then the next phase.
    void Presses(int first, std::initializer_list<Press> presses);
    void Tap(WORD key, int frame, int at);
    // Escape tapped in a phase's first frames; after their wait, whether `shown` holds (else the run fails).
    bool AfterEscape(bool shown, const std::string& failure);
    // A phase's frames counted; after their wait, whether `shown` holds (else the run fails).
    bool AfterWait(bool shown, const std::string& failure);
    // A phase's frames counted, waiting for `what` (told when the budget runs out); true once `holds`, past the wait.
    bool WaitFor(const std::string& what, bool holds);
    // A phase's check passed: the screen kept as `picture` (the run fails when the picture `of` what it shows is
    // not written), then the next phase.
    void PictureThenNextPhase(const std::string& picture, const std::string& of);
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
    std::filesystem::path m_startFolder;  // the working directory the file steps began in
    std::string m_waiting;                // what the step waits for, told when its budget runs out
    CPlayInput m_input;
    WORD m_key = 0;                  // the key a step holds down
    bool m_inCity = false;           // London's view is shown
    uint32_t m_soundStarts[2] = {};  // the win and lose sounds' starts when an ending step began
    float m_area[2] = {};            // a point the panel steps look at again (the shop's, after its card)
    std::vector<long> m_pixels;
    std::vector<std::pair<std::string, std::vector<DWORD>>> m_launcherPictures;
    // What the building steps keep between them.
    int m_mirror = -1;     // -1 not yet known, else whether the camera's right vector is mirrored
    int m_roomFirst = -1;  // the second room's corner cells on the ground storey
    int m_roomLast = -1;
    int m_stripFirst = -1;  // the strip that extends it
    int m_stripLast = -1;
    int m_magenta = 0;         // magenta pixels of the cell grid seen while dragging
    std::vector<long> m_seen;  // pixels kept to compare with a later frame
    std::vector<GxV3d> m_points;
};
