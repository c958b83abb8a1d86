// A scripted play-through for headless runs: the main menu, London's first scenario, a room of floor laid in the
// middle of the view and a shop built on it where the mouse finds a free cell, 3,000 frames at speed 3 (one in a
// hundred drawn), then, paused, the options panel's save as "run0" and its load of run0 (which settles the walks),
// its save as "run1", its load of run1 and its save as "run2" (run2 keeps what a load keeps of run1), then Escape,
// yes and quit. Its input is sent through SDL's event queue as a player gives it (playtest/playinput.h);
// screenshots of the settled menu, the city view and the level (played: its shop built and shoppers come; in the
// short form, as it opened) are checked at chosen pixels and written to a folder, made when it is missing. The
// winning form (playtest/playthrough_win.cpp) builds a real mall to a plan instead (a room of floor, a door in
// its wall, shops and facilities on its floor, staff; more of each for richer starting funds), plays it at speed
// 3, undrawn, until the scenario ends, prints the game days it took, checks the end-game sequence's text and
// sound, and leaves through it. It plays London's first scenario, or the one chosen, in any screen mode and
// language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "playtest/playinput.h"

class CGame;
class CProgramShell;

class CPlayThrough {
public:
    CPlayThrough(const std::string& folder, CProgramShell* shell) : m_folder(folder), m_pShell(shell) {}
    // Makes the screenshot folder (and its parents) when it is not there; false, with the reason, when it cannot.
    bool MakeFolder(std::string* error) const;
    // The launcher presses Play by itself, with a display too, as it does in a headless run.
    void Install();
    // The short form: the program quits as soon as the level is drawn, with the level still running.
    void QuitInLevel() { m_quitInLevel = true; }
    // The winning form: a mall built to a plan, played at speed 3 until the scenario is won, then back to the
    // menu and quit.
    // `city` 1 London, 2 Paris, 3 Berlin, and the scenario's number; 0 for London's first.
    void PlayToWin(int city, int scenario);
    // True once the short form quit from within its level.
    bool QuitFromLevel() const { return m_quitFromLevel; }
    // Called by the application before each frame's drawing and update.
    void BeforeFrame();
    // Called after it.
    void AfterFrame();
    // 0 when every check passed and the script ran to its end.
    int Result() const { return m_failed || m_phase != kDone ? 1 : 0; }

private:
    enum Phase {
        kWaitMenu,
        kClickLondon,
        kWaitCity,
        kChooseScenario,
        kClickStart,
        kWaitLevel,
        kPlaceShop,
        kRun,
        kLearnView,
        kLayFloor,
        kBuild,
        kHire,
        kOpenMall,
        kRunToEnd,
        kEnded,
        kLeaveEnded,
        kPause,
        kOpenOptions,
        kPressFileButton,
        kTypeName,
        kPressAct,
        kWaitSaved,
        kSelectRow,
        kConfirmLoad,
        kWaitLoaded,
        kCompare,
        kLeave,
        kConfirm,
        kWaitMenuAgain,
        kQuit,
        kDone,
    };
    void Fail(const char* what);
    void Next(Phase phase);
    // A click from the phase's first frame (playtest/playinput.h); true once it is over.
    bool Click(float x, float y);
    // A key pressed and released in one frame; the game takes it before its next step.
    void Key(WORD vk);
    // In game with the level loaded and no question open; fails after the time-out.
    bool LevelBack(CGame* game, const char* failure);
    // The save panel in the save rounds, the load panel in the load rounds.
    bool LoadRound() const { return m_fileRound % 2 == 1; }
    void* FilePanel() const;
    // The save the current round writes or loads: run0, run0, run1, run1, run2.
    const char* RoundSave() const;
    std::string& RoundPath() { return m_savePaths[m_fileRound / 2]; }
    bool Screenshot(const char* name);
    // The frame buffer's pixel as 0xRRGGBB, or -1.
    long Pixel(int x, int y);
    // Pixels of the rectangle (window pixels, y down) whose three channels all reach `least`.
    int BrightPixels(int left, int top, int right, int bottom, int least);

    // Holds the build menu's shop and tries the grid's points until one takes it; the next point of the grid.
    void PlaceShop();
    void NextCandidate();
    // One game frame of the fixed step, undrawn, as the application's loop would run it. It passes in no time at
    // all: the effects it started would have played out before the next, so they stop and the channels stay free.
    void UndrawnFrame();
    // The city canvas of the chosen city.
    void* CityCanvas() const;
    // The winning form's phases (playtest/playthrough_win.cpp).
    // Finds the room's cells in the view: which way the camera's right vector points, then the largest square
    // of bare ground about the middle of the view whose corners the player sees.
    void LearnView();
    // Clicks through the build menu, from whatever page is open, to item `item` of the page of `category`; true
    // once the item's click is over.
    bool PickBuildItem(int16_t category, int32_t item);
    // Holds the first floor tile and drags it over the room.
    void LayFloor();
    void Build();
    // Hires two staff through the management panels and puts them down in the room.
    void Hire();
    // The screen point of a ground cell; false off the view.
    bool CellOnScreen(int cell, float* x, float* y);
    // Whether the cell under the pointer is bare of buildings and of the ways kept.
    bool OpenSpot(int cell);
    // Whether the held object, where it is, keeps the ways to the fronts standing; the ways it would add.
    bool KeepsWays(std::vector<int>* ways);
    bool WaysMeet(const std::vector<int>& blocked, const std::vector<int>& added);
    // Lets go of the last item, checks the mall stands as planned and sets the top speed.
    void OpenMall();
    void RunToEnd();
    // Notes the sounds started so far, before a game frame.
    void NoteSounds();
    void Ended();
    void CheckEnded();

    std::string m_folder;
    CProgramShell* m_pShell;
    CPlayInput m_input;
    Phase m_phase = kWaitMenu;
    int m_frame = 0;  // frames since the phase began
    int m_total = 0;
    int m_candidate = 0;
    long m_startBalance = 0;
    bool m_failed = false;
    bool m_quitInLevel = false;
    bool m_playToWin = false;
    int m_city = 1;
    int m_scenario = 1;
    bool m_chosen = false;  // a scenario was chosen on the command line
    // The winning form: the plan's order under way, how many of it stand, the spot tried, whether its item is held,
    // the objects standing before the spot's click, and the sample counts before the end.
    size_t m_order = 0;
    int m_menuFrame = 0;      // frames into the build menu's click under way
    int m_menuClicks = 0;     // clicks made toward the item picked
    bool m_menuItem = false;  // the click under way is the item's
    int m_built = 0;
    int m_spot = 0;
    bool m_holding = false;
    size_t m_standing = 0;
    int m_mirror = -1;  // whether the camera's right vector is mirrored; -1 not known
    int m_roomFirst = -1;
    int m_roomLast = -1;
    std::vector<int> m_spots;    // cells of the room tried in turn for the object held
    std::vector<int> m_ways;     // cells kept free before the fronts of what stands
    std::vector<int> m_newWays;  // those the object held adds once it stands
    int m_hired = 0;
    bool m_monthShot = false;  // the picture of the first month with two digits is taken
    uint32_t m_winStarts = 0;  // starts of win.wav and lose.wav before the last game frame
    uint32_t m_loseStarts = 0;
    uint32_t m_endWinStarts = 0;  // what the frame that ended the game started of them
    uint32_t m_endLoseStarts = 0;
    bool m_quitFromLevel = false;
    // Even rounds save, odd ones load what the round before saved: the settling save and load of run0, then run1
    // saved and loaded, then run2 saved.
    int m_fileRound = 0;
    size_t m_typed = 0;  // characters of the name typed so far, then one more once the last one was taken
    std::string m_savePaths[3];
};
