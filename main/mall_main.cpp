// The game's program: WinMain over the application and game singletons, and the Linux entry that calls it.
// The program links the interface and gives the game its shell (main/shell.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/application/app.h"
#include "engine/data/startup.h"
#include "engine/navigation/character.h"
#include "game/shell/game.h"
#include "game/shell/sound.h"
#include "gfx/core/engine.h"
#include "gfx/d3d9/d3d9drv.h"
#include "main/playtest.h"
#include "main/playthrough.h"
#include "main/randomplayer.h"
#include "main/shell.h"

namespace {

// A headless run: a number of frames, then the last one saved as a BMP.
struct Options {
    int frames = 0;
    std::string screenshot;
    int stepMilliseconds = 0;  // a fixed frame time in place of the clock
    std::string playThrough;   // folder of the scripted play-through's screenshots
    bool quitInLevel = false;  // the play-through quits with the level running
    bool playToWin = false;    // the play-through plays a scenario (London's first unless chosen) to its end
    int city = 0;              // the play-through's scenario: city (1 London, 2 Paris, 3 Berlin) and number
    int scenario = 0;
    int seed = 0;          // the random generator's seed; 0: the clock's, or the play-through's own
    std::string playTest;  // folder of the input-level play test's screenshots
    bool playTestModeOnly = false;
    bool playTestBrokenLevel = false;  // the run that meets a level that does not load
    int playTestWidth = 1024;          // the mode the play test picks in the launcher
    int playTestHeight = 768;
    std::string randomPlayer;  // folder of the random player's run
    int randomSeed = 0;        // its seed, else
    std::string randomReplay;  // the action list it plays again
    int randomActions = 1000;  // actions made from the seed
    std::string randomSkip;    // rules it leaves unchecked
};
Options g_options;

constexpr long kMaxFrames = 1000000;
constexpr long kMaxStepMilliseconds = 1000;
constexpr long kMaxSeed = 0x7FFFFFFF;
constexpr long kMaxScenario = 99;
constexpr int kPlayThroughStepMilliseconds = 50;
constexpr unsigned kPlayThroughSeed = 20040101;
CPlayThrough* g_pPlayThrough = nullptr;
// A headless run that nobody watches and that has no end of its own draws at most this often, not as fast as a
// core allows.
constexpr DWORD kPacedFrameMilliseconds = 33;
bool g_paced = false;
DWORD g_frameStart = 0;

// Waits out the rest of a paced frame.
void Pace()
{
    const DWORD spent = GetTickCount() - g_frameStart;
    if (spent < kPacedFrameMilliseconds)
        Sleep(kPacedFrameMilliseconds - spent);
    g_frameStart = GetTickCount();
}
CPlayTest* g_pPlayTest = nullptr;
CRandomPlayer* g_pRandomPlayer = nullptr;
constexpr long kMaxModeSide = 16384;
constexpr long kMaxRandomActions = 10000000;

bool ParseNumber(const char* text, long limit, int* out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || *end || value <= 0 || value > limit)
        return false;
    *out = static_cast<int>(value);
    return true;
}

}  // namespace

// The game's application: the engine's one with the program's own destructor.
class CApp : public CFerroxApp {
public:
    ~CApp() override { Release(); }

    void Tick(float frameTime) override
    {
        if (g_pPlayThrough)
            g_pPlayThrough->BeforeFrame();
        CFerroxApp::Tick(frameTime);
        if (g_pPlayThrough)
            g_pPlayThrough->AfterFrame();
        if (g_pPlayTest)
            g_pPlayTest->AfterFrame();
        if (g_pRandomPlayer)
            g_pRandomPlayer->AfterFrame();
        if (g_paced)
            Pace();
    }

    static CFerroxApp* Instance()
    {
        if (!g_pFerroxApp) {
            g_pFerroxApp = new CApp();
            g_pFerroxApp->SetFrameLimit(g_options.frames, g_options.screenshot.c_str());
        }
        return g_pFerroxApp;
    }
    static void DestroyInstance()
    {
        delete g_pFerroxApp;
        g_pFerroxApp = nullptr;
    }
};

namespace {

// The game's view of the interface; lives as long as the program.
CProgramShell g_shell;

// The game singleton: written to the application's game field and to the global game pointer, with the
// program's shell given to it before the application creates it.
CFerroxGame* GameInstance(CFerroxGame** out)
{
    unsigned seed = static_cast<unsigned>(g_options.seed);
    if (!seed && (g_pPlayThrough || g_pPlayTest || g_pRandomPlayer))
        seed = kPlayThroughSeed;
    return g_shell.MakeGame(out, seed);
}

void GameDestroyInstance() { g_shell.DestroyGame(); }

bool ParseOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], kMaxFrames, &g_options.frames))
                return false;
        } else if ((arg == "--play-through" || arg == "--play-through-quit") && i + 1 < argc) {
            g_options.playThrough = argv[++i];
            g_options.quitInLevel = arg == "--play-through-quit";
        } else if (arg == "--play-through-win" && i + 1 < argc) {
            g_options.playThrough = argv[++i];
            g_options.playToWin = true;
        } else if (arg == "--scenario" && i + 2 < argc) {
            // CITY N: the winning play-through's scenario, e.g. "--scenario paris 2".
            const std::string city = argv[++i];
            const char* const cities[] = {"london", "paris", "berlin"};
            for (int k = 0; k < 3; k++)
                if (city == cities[k])
                    g_options.city = k + 1;
            if (g_options.city == 0 || !ParseNumber(argv[++i], kMaxScenario, &g_options.scenario) ||
                g_options.scenario < 1)
                return false;
        } else if (arg == "--play-test" && i + 1 < argc) {
            g_options.playTest = argv[++i];
        } else if (arg == "--play-test-mode" && i + 2 < argc) {
            // WxH: the mode run of that mode.
            const std::string mode = argv[++i];
            const size_t x = mode.find('x');
            if (x == std::string::npos ||
                !ParseNumber(mode.substr(0, x).c_str(), kMaxModeSide, &g_options.playTestWidth) ||
                !ParseNumber(mode.substr(x + 1).c_str(), kMaxModeSide, &g_options.playTestHeight))
                return false;
            g_options.playTestModeOnly = true;
            g_options.playTest = argv[++i];
        } else if (arg == "--play-test-broken-level" && i + 1 < argc) {
            g_options.playTestBrokenLevel = true;
            g_options.playTest = argv[++i];
        } else if (arg == "--random-player" && i + 2 < argc) {
            if (!ParseNumber(argv[++i], kMaxSeed, &g_options.randomSeed))
                return false;
            g_options.randomPlayer = argv[++i];
        } else if (arg == "--random-player-replay" && i + 2 < argc) {
            g_options.randomReplay = argv[++i];
            g_options.randomPlayer = argv[++i];
        } else if (arg == "--random-player-actions" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], kMaxRandomActions, &g_options.randomActions))
                return false;
        } else if (arg == "--random-player-skip" && i + 1 < argc) {
            g_options.randomSkip = argv[++i];
        } else if (arg == "--step-ms" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], kMaxStepMilliseconds, &g_options.stepMilliseconds))
                return false;
        } else if (arg == "--seed" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], kMaxSeed, &g_options.seed))
                return false;
        } else if (arg == "--screenshot" && i + 1 < argc) {
            g_options.screenshot = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// Without a display nothing can be seen of a run without an end: say so, say how a headless run is used, and
// pace it.
void NoticeHeadlessRun()
{
    if (Win32HasDisplay() || g_options.frames > 0 || !g_options.playThrough.empty() || !g_options.playTest.empty() ||
        !g_options.randomPlayer.empty())
        return;
    std::fprintf(stderr,
                 "mall: no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set, or SDL_VIDEODRIVER is\n"
                 "mall: offscreen): the game runs headless, unseen, in its main menu until interrupted (Ctrl+C).\n"
                 "mall: for a picture of a headless run, give the frames to run and a file for the last one,\n"
                 "mall: --frames N --screenshot FILE.bmp, with --step-ms MS for frames of a fixed length:\n"
                 "mall: --frames 300 --step-ms 50 --screenshot menu.bmp shows the main menu 15 s in.\n");
    g_paced = true;
    g_frameStart = GetTickCount();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int)
{
    FerroxSetStartup(GxD3D9GetStartup());
    const FerroxProgram program = {CApp::Instance, CApp::DestroyInstance, GameInstance, GameDestroyInstance};
    return FerroxWinMain(program, instance, previous);
}

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: mall [--frames N] [--screenshot FILE.bmp] [--step-ms MS] [--seed N]\n"
                             "            [--play-through[-quit|-win] FOLDER] [--scenario london|paris|berlin N]\n"
                             "            [--play-test FOLDER | --play-test-mode WxH FOLDER |\n"
                             "             --play-test-broken-level FOLDER]\n"
                             "            [--random-player SEED FOLDER | --random-player-replay FILE FOLDER]\n"
                             "            [--random-player-actions N] [--random-player-skip RULE,...]\n");
        return 2;
    }
    // A screenshot left from an earlier run must not pass for this run's.
    if (!g_options.screenshot.empty())
        std::remove(g_options.screenshot.c_str());
    NoticeHeadlessRun();
    // The play-through runs on a fixed clock of 0.05 s frames.
    CPlayThrough playThrough(g_options.playThrough, &g_shell);
    if (!g_options.playThrough.empty()) {
        std::string error;
        if (!playThrough.MakeFolder(&error)) {
            std::fprintf(stderr, "mall: %s\n", error.c_str());
            return 2;
        }
        g_pPlayThrough = &playThrough;
        playThrough.Install();
        if (g_options.quitInLevel)
            playThrough.QuitInLevel();
        if (g_options.playToWin)
            playThrough.PlayToWin(g_options.city, g_options.scenario);
        if (!g_options.stepMilliseconds)
            g_options.stepMilliseconds = kPlayThroughStepMilliseconds;
    }
    // The play test also runs on the fixed clock, with its launcher driven through the dialog's turns.
    CPlayTest playTest(g_options.playTest, &g_shell, g_options.playTestWidth, g_options.playTestHeight,
                       g_options.playTestModeOnly);
    if (g_options.playTestBrokenLevel)
        playTest.UseBrokenLevelRun();
    if (!g_options.playTest.empty()) {
        g_pPlayTest = &playTest;
        playTest.Install();
        // On a display shared with other tests another client may hold the focus, and the game must not wait for
        // it (its input comes through SDL's queue all the same).
        FerroxSetWindowAlwaysInFront(true);
        if (!g_options.stepMilliseconds)
            g_options.stepMilliseconds = kPlayThroughStepMilliseconds;
    }
    // The random player too, its launcher likewise.
    CRandomPlayer randomPlayer(g_options.randomPlayer, &g_shell);
    if (!g_options.randomPlayer.empty()) {
        std::string error;
        randomPlayer.UseSeed(static_cast<uint32_t>(g_options.randomSeed), g_options.randomActions);
        if ((!g_options.randomReplay.empty() && !randomPlayer.UseActionFile(g_options.randomReplay, &error)) ||
            !randomPlayer.SkipRules(g_options.randomSkip, &error)) {
            std::fprintf(stderr, "mall: %s\n", error.c_str());
            return 2;
        }
        g_pRandomPlayer = &randomPlayer;
        randomPlayer.Install();
        FerroxSetWindowAlwaysInFront(true);
        if (!g_options.stepMilliseconds)
            g_options.stepMilliseconds = kPlayThroughStepMilliseconds;
    }
    if (g_options.stepMilliseconds) {
        FerroxSetFixedStep(g_options.stepMilliseconds);
        // The characters' path searches measure their time budget on the fixed clock too, which stands still
        // within a frame: a search then never depends on how fast the machine runs it.
        FerroxCharacterSetClock(FerroxFixedStepSeconds);
        // The music plays on the wall clock: choosing its next track from the game's generator would make the
        // run's draws depend on it, so a run on the fixed clock keeps its track.
        CSoundManager::s_shuffleOff = 1;
    }
    const int result = WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
    g_pPlayThrough = nullptr;
    g_pPlayTest = nullptr;
    g_pRandomPlayer = nullptr;
    playTest.Uninstall();
    randomPlayer.Uninstall();
    if (!g_options.randomPlayer.empty())
        return randomPlayer.Result() ? 1 : result;
    if (!g_options.playTest.empty()) {
        const int played = playTest.Result();
        std::fprintf(stderr, "mall: the play test %s (exit code %d)\n", played ? "failed" : "passed", result);
        return played ? 1 : result;
    }
    if (g_options.quitInLevel && !playThrough.QuitFromLevel()) {
        std::fprintf(stderr, "mall: the game ended before its level opened (exit code %d)\n", result);
        return result != 0 ? result : 1;
    }
    if (g_options.quitInLevel && !playThrough.LeftLevelAfterQuit()) {
        std::fprintf(stderr, "mall: the game was released with its level still running\n");
        return 1;
    }
    if (!g_options.playThrough.empty() && playThrough.Result() != 0) {
        std::fprintf(stderr, "mall: the play-through failed\n");
        return 1;
    }
    // A headless run reports a screenshot it could not write; the game itself always ends with 0.
    std::FILE* written = g_options.screenshot.empty() ? nullptr : std::fopen(g_options.screenshot.c_str(), "rb");
    if (written)
        std::fclose(written);
    if (!g_options.screenshot.empty() && !written) {
        std::fprintf(stderr, "mall: the screenshot %s was not written\n", g_options.screenshot.c_str());
        return 1;
    }
    return result;
}
