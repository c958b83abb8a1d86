// The harness program: the game run by the scripted play-through, the input-level play test or the random player,
// each of which wraps the game's frame through the application here, or run as it is for a number of frames, with
// a picture of the last. The game itself is main/mall_main.cpp, which reads no options.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/application/app.h"
#include "engine/data/random.h"
#include "main/program.h"
#include "playtest/keptsaves.h"
#include "playtest/playtest.h"
#include "playtest/playthrough.h"
#include "playtest/randomplayer.h"

namespace {

// The harness's options, beside the game's own.
struct Options {
    ProgramOptions game;
    int seed = 0;              // the random generator's seed from the first frame on; 0: the game's own
    std::string playThrough;   // folder of the scripted play-through's screenshots
    bool quitInLevel = false;  // the play-through quits with the level running
    bool playToWin = false;    // the play-through plays a scenario (London's first unless chosen) to its end
    int city = 0;              // the play-through's scenario: city (1 London, 2 Paris, 3 Berlin) and number
    int scenario = 0;
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

CPlayThrough* g_pPlayThrough = nullptr;
uint32_t g_seed = 0;  // taken at the first frame
CPlayTest* g_pPlayTest = nullptr;
CRandomPlayer* g_pRandomPlayer = nullptr;

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
        std::this_thread::sleep_for(std::chrono::milliseconds(kPacedFrameMilliseconds - spent));
    g_frameStart = GetTickCount();
}

// The harness's application: the game's frame between the running harness's turns.
class CPlayTestApp : public CFerroxApp {
public:
    ~CPlayTestApp() override { Release(); }

    void Tick(float frameTime) override
    {
        // The game seeds the generator from the clock when it is created; a harness run draws from its own seed.
        if (g_seed) {
            FerroxSrand(g_seed);
            g_seed = 0;
        }
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
};

CFerroxApp* MakeApp() { return new CPlayTestApp(); }

constexpr long kMaxFrames = 1000000;
constexpr long kMaxStepMilliseconds = 1000;
constexpr long kMaxSeed = 0x7FFFFFFF;
constexpr long kMaxScenario = 99;
constexpr long kMaxModeSide = 16384;
constexpr long kMaxRandomActions = 10000000;
constexpr int kPlayThroughStepMilliseconds = 50;
constexpr int kPlayThroughSeed = 20040101;

// Reads a whole decimal number in 1..limit; false for anything else.
bool ParseNumber(const char* text, long limit, int* out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || *end || value <= 0 || value > limit)
        return false;
    *out = static_cast<int>(value);
    return true;
}

// Reads the run option at argv[*index] (frames, screenshot, fixed step, seed) with its value, leaving *index on
// the value; false for an unknown option or a missing or bad value.
bool ParseRunOption(int argc, char** argv, int* index, Options* harness)
{
    ProgramOptions* options = &harness->game;
    const std::string arg = argv[*index];
    if (*index + 1 >= argc)
        return false;
    const char* value = argv[*index + 1];
    bool good = true;
    if (arg == "--frames")
        good = ParseNumber(value, kMaxFrames, &options->frames);
    else if (arg == "--step-ms")
        good = ParseNumber(value, kMaxStepMilliseconds, &options->stepMilliseconds);
    else if (arg == "--seed")
        good = ParseNumber(value, kMaxSeed, &harness->seed);
    else if (arg == "--screenshot")
        options->screenshot = value;
    else
        return false;
    ++*index;
    return good;
}

bool IsRunOption(const std::string& arg)
{
    return arg == "--frames" || arg == "--step-ms" || arg == "--seed" || arg == "--screenshot";
}

// Reads the harness option at argv[*i] with its values, leaving *i on the last one read; false for an unknown
// option or a bad value.
bool ParseHarnessOption(int argc, char** argv, int* index, Options* options)
{
    int& i = *index;
    const std::string arg = argv[i];
    if ((arg == "--play-through" || arg == "--play-through-quit") && i + 1 < argc) {
        options->playThrough = argv[++i];
        options->quitInLevel = arg == "--play-through-quit";
    } else if (arg == "--play-through-win" && i + 1 < argc) {
        options->playThrough = argv[++i];
        options->playToWin = true;
    } else if (arg == "--scenario" && i + 2 < argc) {
        // CITY N: the winning play-through's scenario, e.g. "--scenario paris 2".
        const std::string city = argv[++i];
        const char* const cities[] = {"london", "paris", "berlin"};
        for (int k = 0; k < 3; k++)
            if (city == cities[k])
                options->city = k + 1;
        if (options->city == 0 || !ParseNumber(argv[++i], kMaxScenario, &options->scenario) || options->scenario < 1)
            return false;
    } else if (arg == "--play-test" && i + 1 < argc) {
        options->playTest = argv[++i];
    } else if (arg == "--play-test-mode" && i + 2 < argc) {
        // WxH: the mode run of that mode.
        const std::string mode = argv[++i];
        const size_t x = mode.find('x');
        if (x == std::string::npos || !ParseNumber(mode.substr(0, x).c_str(), kMaxModeSide, &options->playTestWidth) ||
            !ParseNumber(mode.substr(x + 1).c_str(), kMaxModeSide, &options->playTestHeight))
            return false;
        options->playTestModeOnly = true;
        options->playTest = argv[++i];
    } else if (arg == "--play-test-broken-level" && i + 1 < argc) {
        options->playTestBrokenLevel = true;
        options->playTest = argv[++i];
    } else if (arg == "--random-player" && i + 2 < argc) {
        if (!ParseNumber(argv[++i], kMaxSeed, &options->randomSeed))
            return false;
        options->randomPlayer = argv[++i];
    } else if (arg == "--random-player-replay" && i + 2 < argc) {
        options->randomReplay = argv[++i];
        options->randomPlayer = argv[++i];
    } else if (arg == "--random-player-actions" && i + 1 < argc) {
        if (!ParseNumber(argv[++i], kMaxRandomActions, &options->randomActions))
            return false;
    } else if (arg == "--random-player-skip" && i + 1 < argc) {
        options->randomSkip = argv[++i];
    } else {
        return false;
    }
    return true;
}

bool NamesAHarness(const Options& options)
{
    return !options.playThrough.empty() || !options.playTest.empty() || !options.randomPlayer.empty();
}

// The run's options and the harness's; without a harness named, the game runs as it is under the run's options.
bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const bool read = IsRunOption(argv[i]) ? ParseRunOption(argc, argv, &i, options)
                                               : ParseHarnessOption(argc, argv, &i, options);
        if (!read)
            return false;
    }
    return true;
}

// A harness runs on a fixed clock of 0.05 s frames and a fixed seed unless given others; the game run as it is
// keeps the clock's.
void UseHarnessDefaults(Options* options)
{
    if (!NamesAHarness(*options))
        return;
    if (!options->game.stepMilliseconds)
        options->game.stepMilliseconds = kPlayThroughStepMilliseconds;
    if (!options->seed)
        options->seed = kPlayThroughSeed;
}

// Without a display nothing can be seen of a run without an end: say so, say how a headless run is used, and
// pace it.
void NoticeHeadlessRun(const Options& options)
{
    if (Win32HasDisplay() || options.game.frames > 0 || NamesAHarness(options))
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

// The play-through's exit code from the game's.
int PlayThroughResult(const Options& options, const CPlayThrough& playThrough, int result)
{
    // No run named: the game ran as it is, and its own exit code stands.
    if (options.playThrough.empty())
        return result;
    if (options.quitInLevel && !playThrough.QuitFromLevel()) {
        std::fprintf(stderr, "mall: the game ended before its level opened (exit code %d)\n", result);
        return result != 0 ? result : 1;
    }
    if (playThrough.Result() != 0) {
        std::fprintf(stderr, "mall: the play-through failed\n");
        return 1;
    }
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: mall_playtest [--frames N] [--screenshot FILE.bmp] [--step-ms MS] [--seed N]\n"
                             "            [--play-through[-quit|-win] FOLDER [--scenario london|paris|berlin N] |\n"
                             "            --play-test FOLDER | --play-test-mode WxH FOLDER |\n"
                             "            --play-test-broken-level FOLDER |\n"
                             "            --random-player SEED FOLDER | --random-player-replay FILE FOLDER\n"
                             "            [--random-player-actions N] [--random-player-skip RULE,...]]\n");
        return 2;
    }
    UseHarnessDefaults(&options);
    NoticeHeadlessRun(options);
    CPlayThrough playThrough(options.playThrough, ProgramShell());
    // The saves the runs make through the game's panels are filed in their own folders at the end, and the
    // player's saves of those names are kept meanwhile.
    CKeptSaves playThroughSaves(options.playThrough, {"run0", "run1", "run2"});
    CKeptSaves randomPlayerSaves(options.randomPlayer, {"rpa", "rpb", "rpc"});
    if (!options.playThrough.empty()) {
        std::string error;
        if (!playThrough.MakeFolder(&error) || !playThroughSaves.SetAside(&error)) {
            std::fprintf(stderr, "mall: %s\n", error.c_str());
            return 2;
        }
        g_pPlayThrough = &playThrough;
        playThrough.Install();
        if (options.quitInLevel)
            playThrough.QuitInLevel();
        if (options.playToWin)
            playThrough.PlayToWin(options.city, options.scenario);
    }
    // The play test's launcher is driven through the dialog's turns.
    CPlayTest playTest(options.playTest, ProgramShell(), options.playTestWidth, options.playTestHeight,
                       options.playTestModeOnly);
    if (options.playTestBrokenLevel)
        playTest.UseBrokenLevelRun();
    if (!options.playTest.empty()) {
        g_pPlayTest = &playTest;
        playTest.Install();
        // On a display shared with other tests another client may hold the focus, and the game must not wait for
        // it (its input comes through SDL's queue all the same).
        FerroxSetWindowAlwaysInFront(true);
    }
    // The random player's too.
    CRandomPlayer randomPlayer(options.randomPlayer, ProgramShell());
    if (!options.randomPlayer.empty()) {
        std::string error;
        randomPlayer.UseSeed(static_cast<uint32_t>(options.randomSeed), options.randomActions);
        if ((!options.randomReplay.empty() && !randomPlayer.UseActionFile(options.randomReplay, &error)) ||
            !randomPlayer.SkipRules(options.randomSkip, &error) || !randomPlayerSaves.SetAside(&error)) {
            std::fprintf(stderr, "mall: %s\n", error.c_str());
            return 2;
        }
        g_pRandomPlayer = &randomPlayer;
        randomPlayer.Install();
        FerroxSetWindowAlwaysInFront(true);
    }
    g_seed = static_cast<uint32_t>(options.seed);
    const int result = ProgramRun(options.game, MakeApp);
    playThroughSaves.Finish();
    randomPlayerSaves.Finish();
    g_pPlayThrough = nullptr;
    g_pPlayTest = nullptr;
    g_pRandomPlayer = nullptr;
    playTest.Uninstall();
    randomPlayer.Uninstall();
    if (!options.randomPlayer.empty())
        return randomPlayer.Result() ? 1 : result;
    if (!options.playTest.empty()) {
        const int played = playTest.Result();
        std::fprintf(stderr, "mall: the play test %s (exit code %d)\n", played ? "failed" : "passed", result);
        return played ? 1 : result;
    }
    return PlayThroughResult(options, playThrough, result);
}
