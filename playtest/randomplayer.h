// The random player: the game played by a seeded stream of random actions, each sent as input with SendInput as
// the play test's are (playtest/playinput.h) — clicks and drags anywhere, right clicks, Escape, digit keys, the wheel
// and arrows, build-menu picks, demolition, floors up and down, panels opened and closed, questions answered, and
// a round trip through a save and a load — while the mall's rules (playtest/randomplayer_rules.h) are checked after
// every frame from the game's state. It clicks play in the launcher, enters London's first scenario (again
// whenever an action left it) and closes the window once its actions ran out.
//
// A broken rule ends the run: it prints the seed, the action it came at and the rule, and writes the actions so
// far to actions.txt in the run's folder, which --random-player-replay plays again (a replay is the same run: the
// game runs on a fixed clock with a fixed seed).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/windows.h"
#include "playtest/leavecount.h"
#include "playtest/playinput.h"
#include "playtest/randomplayer_actions.h"
#include "playtest/randomplayer_rules.h"

class CFerroxCanvas;
struct GxV3d;
class CProgramShell;

class CRandomPlayer {
public:
    CRandomPlayer(const std::string& folder, CProgramShell* shell);
    // The run's actions: `count` made from the seed, or those of an action list; false with the reason.
    void UseSeed(uint32_t seed, int count);
    bool UseActionFile(const std::string& path, std::string* error);
    // Rules left unchecked (see CMallRules::kRuleNames); false naming an unknown one.
    bool SkipRules(const std::string& names, std::string* error);
    // Takes the launcher's dialog, as the play test does.
    void Install();
    void Uninstall();
    // Called by the application after each frame: checks the rules, then sends the next input.
    void AfterFrame();
    // 0 when every action ran and every rule held.
    int Result() const;

private:
    // A point of the screen a click aims at, found as the click begins; false when it is not there.
    typedef std::function<bool(float* x, float* y)> Target;
    // A canvas, and which of its widgets, found as a click begins.
    typedef std::function<CFerroxCanvas*()> CanvasOf;
    typedef std::function<int(CFerroxCanvas*)> IndexOf;

    static void LauncherTurn(HWND dialog, int turn, void* self);
    bool InLevel() const;
    // Gets into London's first scenario from wherever the front end stands; true once the level runs.
    bool EnterLevel();
    // Runs frame `t` of the current action; true once it is over.
    bool Act(const RandomAction& action, int t);
    bool Drag(const RandomAction& action, int t, bool right);
    // Frame `frame` of a click, noting its left press and release for the rules.
    bool Click(int frame, float x, float y, bool right);
    // Clicks the targets one after another, each found as its click begins; true once all were clicked or one
    // was not there.
    bool Clicks(int t, const std::vector<Target>& targets);
    Target Widget(CanvasOf canvas, IndexOf index);
    static CanvasOf Canvas(CFerroxCanvas* canvas);
    static IndexOf Fixed(int index);
    // The canvases that take the pointer now: the newest modal one alone, else every open normal one.
    std::vector<CFerroxCanvas*> OpenCanvases() const;
    // The clicks, then a left drag between two points found as the drag begins; true once over or a point
    // was not there.
    bool ClicksThenDrag(int t, const std::vector<Target>& clicks, const Target& from, const Target& to);
    // Floor-down presses down to the ground storey (counted as the action begins), then the targets.
    std::vector<Target> FromGround(int t, std::vector<Target> targets);
    // A point of the world where the player sees it; false off the view or before the view is known.
    Target Seen(std::function<bool(GxV3d*)> where);
    // Learns from the game's pick under the pointer whether the camera's right vector is mirrored.
    void LearnMirror();
    bool RoundTrip(int t);
    // Phases of the round trip; each true once done.
    bool CloseModals(int t);
    bool SaveAs(const std::string& name);
    void CompareSaves();
    bool LoadBack(const std::string& name);
    void NextStep();
    void LogAction();
    void Broken(const std::string& what);
    void End(int code);

    std::string m_folder;
    CProgramShell* m_pShell;
    CLeaveCountingShell m_leaveCounter;  // between the game and the program's shell from the first frame
    CPlayInput m_input;
    CMallRules m_rules;
    std::unique_ptr<CRandomActionMaker> m_pMaker;
    uint32_t m_seed = 0;
    std::string m_source;  // the seed or the replayed list, as the run's report names it
    int m_count = 0;
    std::vector<RandomAction> m_actions;  // made or read so far
    size_t m_action = 0;                  // the action under way
    int m_t = 0;                          // frames into it
    int m_frames = 0;
    int m_levelFrames = 0;
    int m_entering = 0;  // frames spent getting into the level
    int m_roundTrips = 0;
    bool m_done = false;
    int m_result = 1;
    // The round trip's state.
    int m_phase = 0;
    int m_phaseFrames = 0;
    int m_step = 0;  // the step within the phase, and its frames
    int m_stepFrames = 0;
    std::string m_print;
    std::string m_savePath;    // the save being written
    std::string m_loadedPath;  // the save the mall was loaded back from
    WORD m_key = 0;
    int m_mirror = -1;      // the camera's right vector: 0 as it is, 1 mirrored, -1 not known yet
    int m_downs = 0;        // floor-down presses the action under way begins with
    RandomAction m_drag{};  // the drag the action under way ends with
};
