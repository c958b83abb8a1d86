// Start-up order and its failures, the entry sequence, the window procedure's queue and the main loop,
// against a fake graphics engine, message source and clock.
#include "engine/application/app.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/application/app_local.h"
#include "engine/application/base.h"
#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "engine/data/startup.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "engine/world/clumpext.h"
#include "gfx/core/spline.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "platform/testsupport/events.h"

namespace {

std::vector<std::string> g_calls;
std::string g_failAt;                   // the fake call that fails
std::deque<MSG> g_threadQueue;          // messages the fake pump hands out
std::vector<std::deque<MSG>> g_passes;  // messages arriving at the start of each pass
std::vector<HWND> g_foregrounds;        // the foreground window of each pass; the game window after them
LONGLONG g_counter = 0;
const LONGLONG kCounterStep = 16;  // ticks per counter read
const LONGLONG kFrequency = 1000;
GxInt32 g_modeFlags = 0;
GxInt32 g_modeWidth = 1024;
GxInt32 g_modeHeight = 768;
HWND const kWindow = reinterpret_cast<HWND>(0x5151);

GxBool Record(const char* name)
{
    g_calls.push_back(name);
    return g_failAt == name ? 0 : 1;
}

bool IsInput(UINT id, UINT first, UINT last) { return id >= first && id <= last; }

// Removes the first queued message within the filter, as PeekMessage with PM_REMOVE does.
BOOL Peek(LPMSG msg, UINT first, UINT last)
{
    for (auto it = g_threadQueue.begin(); it != g_threadQueue.end(); ++it) {
        if ((first == 0 && last == 0) || IsInput(it->message, first, last)) {
            *msg = *it;
            g_threadQueue.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

const FerroxAppPlatform kFake = {
    [](const GxMemoryFunctions*, GxUInt32, GxUInt32) { return Record("engineInit"); },
    [](void*) { return Record("engineOpen"); },
    []() { return Record("engineStart"); },
    []() { return Record("engineStop"); },
    []() { return Record("engineClose"); },
    []() { return Record("engineTerm"); },
    []() -> GxInt32 {
        Record("getCurrentSubSystem");
        return 0;
    },
    [](GxInt32) { return Record("setSubSystem"); },
    [](GxInt32) { return Record("setVideoMode"); },
    [](GxVideoMode* info, GxInt32) -> GxVideoMode* {
        Record("getVideoModeInfo");
        *info = GxVideoMode{g_modeWidth, g_modeHeight, 32, g_modeFlags, 85, 0};
        return info;
    },
    [](GxUInt32 rate) { Record(rate == 85 ? "setRefreshRate85" : "setRefreshRate"); },
    [](LPMSG msg, HWND, UINT first, UINT last, UINT) { return Peek(msg, first, last); },
    [](LPMSG msg, HWND, UINT first, UINT last, UINT) { return Peek(msg, first, last); },
    [](const MSG*) { return TRUE; },
    [](const MSG* msg) { return g_pFerroxApp->WindowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam); },
    []() -> HWND {
        // Each pass reads the foreground first: deliver that pass's messages now.
        if (!g_passes.empty()) {
            for (const MSG& m : g_passes.front())
                g_threadQueue.push_back(m);
            g_passes.erase(g_passes.begin());
        }
        if (g_foregrounds.empty())
            return kWindow;
        HWND front = g_foregrounds.front();
        g_foregrounds.erase(g_foregrounds.begin());
        return front;
    },
    [](const RECT*) {
        Record("clipCursor");
        return TRUE;
    },
    [](HWND) -> HWND {
        Record("setCapture");
        return nullptr;
    },
    [](LARGE_INTEGER* f) {
        f->QuadPart = kFrequency;
        return TRUE;
    },
    [](LARGE_INTEGER* c) {
        g_counter += kCounterStep;
        c->QuadPart = g_counter;
        return TRUE;
    },
    {},  // the plugins: the real table's steps in its order, each recording its name (UseFakePlatform)
};

// A recording attach for step N of the plugin table; it records the step's name as the real table gives it.
template <size_t N>
GxBool AttachFake()
{
    return Record(FerroxGetAppPlatform().plugins[N].name);
}

template <size_t... N>
void SetFakeAttaches(FerroxAppPlatform& platform, std::index_sequence<N...>)
{
    ((platform.plugins[N].attach = AttachFake<N>), ...);
}

// The fake platform with the real plugin table's steps, in its order, attached by recording fakes.
void UseFakePlatform()
{
    FerroxResetAppPlatform();
    FerroxAppPlatform fake = kFake;
    std::copy(std::begin(FerroxGetAppPlatform().plugins), std::end(FerroxGetAppPlatform().plugins),
              std::begin(fake.plugins));
    SetFakeAttaches(fake, std::make_index_sequence<kFerroxPluginSteps>());
    FerroxGetAppPlatform() = fake;
}

MSG Msg(UINT id, WPARAM wParam = 0, LPARAM lParam = 0)
{
    MSG m = {};
    m.hwnd = kWindow;
    m.message = id;
    m.wParam = wParam;
    m.lParam = lParam;
    return m;
}

// Records what the game is asked, and quits after a number of frames.
class RecordingGame : public CFerroxGame {
public:
    int ChooseVideoMode(int* adapter, int* mode) override
    {
        Record("ChooseVideoMode");
        *adapter = 0;
        *mode = 2;
        return g_failAt == "ChooseVideoMode" ? 0 : 1;
    }
    int Create(HWND, const char*) override { return Record("gameCreate"); }
    void Update(float frameTime) override
    {
        times.push_back(frameTime);
        if (quitAfter && static_cast<int>(times.size()) >= quitAfter)
            g_pFerroxApp->Quit();
    }
    std::vector<float> times;
    int quitAfter = 0;
};

// An application whose file systems and image formats are recorded, not opened.
class TestApp : public CFerroxApp {
public:
    int OpenFileSystems() override { return Record("openFileSystems"); }
    void CloseFileSystems() override { Record("closeFileSystems"); }
    int RegisterImageFormats() override { return Record("registerImageFormats"); }
    int Create(HINSTANCE) override
    {
        if (!Record("appCreate"))
            return 0;
        m_hWnd = kWindow;
        m_pMouse = std::make_unique<CFerroxWin32Mouse>();
        m_pKeyboard = std::make_unique<CFerroxWin32Keyboard>();
        return 1;
    }
};

// The smallest data file a start takes.
const char kData[] = "<DEBUG>\n<fulltrace>\n0\n</fulltrace>\n</DEBUG>\n";

class App : public FerroxTestFiles {
protected:
    // Starts run in a folder of the test's own, with a data file: the settings are read from the working directory.
    void SetUp() override
    {
        FerroxTestFiles::SetUp();
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(Path(""));
        WriteFile("data.xml", kData);
        g_calls.clear();
        g_failAt.clear();
        g_threadQueue.clear();
        g_passes.clear();
        g_foregrounds.clear();
        g_counter = 0;
        g_modeFlags = 0;
        g_modeWidth = 1024;
        g_modeHeight = 768;
        UseFakePlatform();
    }
    void TearDown() override
    {
        delete g_pFerroxApp;
        g_pFerroxApp = nullptr;
        delete g_pFerroxGame;
        FerroxSetGame(nullptr);
        FerroxResetAppPlatform();
        std::filesystem::current_path(m_previous);
        g_FerroxDebugSettings.SetDefaults();
        FerroxTestFiles::TearDown();
    }
    TestApp* MakeApp()
    {
        auto* app = new TestApp();
        g_pFerroxApp = app;
        game = new RecordingGame();
        FerroxSetGame(game);
        app->m_pGame = game;
        app->Create(nullptr);
        return app;
    }
    // Frees what MakeApp made, for a test that starts again: released first, so that the test's own file-system
    // step runs and the test's files stay reachable.
    void DeleteApp(TestApp* app)
    {
        app->Release();
        delete app;
        g_pFerroxApp = nullptr;
        delete g_pFerroxGame;
        FerroxSetGame(nullptr);
    }
    RecordingGame* game = nullptr;

private:
    std::filesystem::path m_previous;
};

const std::string kPlugins[] = {
    "LOD atomics",        "world",   "keyframe animation", "hierarchical animation", "skinning",     "collision",
    "user data",          "splines", "clump extension",    "material effects",       "UV animation", "particle tanks",
    "standard particles",
};

// Start-up in order, the graphics plugins in their fixed order between init and open.
std::vector<std::string> StartOrder()
{
    std::vector<std::string> order = {"appCreate", "engineInit", "openFileSystems"};
    order.insert(order.end(), std::begin(kPlugins), std::end(kPlugins));
    const char* const rest[] = {"engineOpen",           "getCurrentSubSystem", "ChooseVideoMode",  "setSubSystem",
                                "setVideoMode",         "getVideoModeInfo",    "setRefreshRate85", "engineStart",
                                "registerImageFormats", "gameCreate"};
    order.insert(order.end(), std::begin(rest), std::end(rest));
    return order;
}

std::vector<std::string> CallsAfter(size_t from)
{
    return std::vector<std::string>(g_calls.begin() + static_cast<long>(from), g_calls.end());
}

// The engine initialised on the recording device, not opened.
GxTestEngineSetup InitialisedEngine()
{
    GxTestEngineSetup setup = GxTestRecordingSetup();
    setup.start = false;
    return setup;
}

}  // namespace

TEST_F(App, StartRunsItsStepsInOrderAndTeardownClosesAll)
{
    TestApp* app = MakeApp();
    ASSERT_EQ(1, app->Start());
    EXPECT_EQ(StartOrder(), g_calls);
    EXPECT_EQ(1, app->IsStarted());
    EXPECT_EQ(0, app->IsFullScreen());
    const size_t started = g_calls.size();
    app->Release();
    EXPECT_EQ((std::vector<std::string>{"closeFileSystems", "engineStop", "engineClose", "engineTerm"}),
              CallsAfter(started));
    EXPECT_EQ(nullptr, g_pFerroxSetupTree);
}

// Each step that fails makes Start return 0. Only a failed mode choice or engine start closes the engine itself;
// teardown stops and closes it only once it started, so a start that failed before leaves it as it was; the file
// systems close whatever the start reached.
TEST_F(App, AFailedStartClosesTheEngineOnlyOnceItsStepsSaySo)
{
    const std::vector<std::string> none;
    const std::vector<std::string> closed = {"engineClose", "engineTerm"};
    const std::vector<std::string> stopped = {"engineStop", "engineClose", "engineTerm"};
    const std::pair<const char*, const std::vector<std::string>*> failing[] = {
        {"engineInit", &none},      {"LOD atomics", &none},
        {"clump extension", &none}, {"standard particles", &none},
        {"engineOpen", &none},      {"setSubSystem", &closed},
        {"setVideoMode", &closed},  {"ChooseVideoMode", &closed},
        {"engineStart", &closed},   {"registerImageFormats", &stopped},
        {"gameCreate", &stopped},
    };
    for (const auto& [step, closes] : failing) {
        SCOPED_TRACE(step);
        g_calls.clear();
        g_failAt = step;
        TestApp* app = MakeApp();
        EXPECT_EQ(0, app->Start());
        // Declining the mode choice is the player's way out, not a failure to report.
        if (g_failAt == "ChooseVideoMode") {
            EXPECT_EQ(nullptr, app->GetStartFailure());
            // The declined choice is still applied before the start ends.
            const auto chosen = std::find(g_calls.begin(), g_calls.end(), "ChooseVideoMode");
            EXPECT_EQ((std::vector<std::string>{"setSubSystem", "setVideoMode", "getVideoModeInfo"}),
                      std::vector<std::string>(chosen + 1, std::min(chosen + 4, g_calls.end())));
        } else
            EXPECT_NE(nullptr, app->GetStartFailure());
        DeleteApp(app);
        std::vector<std::string> closing;
        for (const std::string& call : g_calls)
            if (call == "engineStop" || call == "engineClose" || call == "engineTerm")
                closing.push_back(call);
        EXPECT_EQ(*closes, closing);
        // The file systems close at every stop, however far the start came.
        EXPECT_NE(g_calls.end(), std::find(g_calls.begin(), g_calls.end(), "closeFileSystems"));
        // A plugin that fails stops start-up there: no later plugin attaches and the engine is not opened.
        const auto failed = std::find(g_calls.begin(), g_calls.end(), g_failAt);
        ASSERT_NE(g_calls.end(), failed);
        if (std::find(std::begin(kPlugins), std::end(kPlugins), g_failAt) != std::end(kPlugins)) {
            for (auto call = failed + 1; call != g_calls.end(); ++call)
                EXPECT_EQ("closeFileSystems", *call);
        }
    }
}

TEST_F(App, AnExclusiveVideoModeMakesTheAppFullScreen)
{
    g_modeFlags = 1;
    TestApp* app = MakeApp();
    ASSERT_EQ(1, app->Start());
    EXPECT_EQ(1, app->IsFullScreen());
    EXPECT_EQ(1024, app->m_fullScreenWidth);
    EXPECT_EQ(768, app->m_fullScreenHeight);
}

TEST_F(App, StartReadsTheDebugFileNameAndSwitches)
{
    WriteFile("setup.xml", "<Debug_Data>\n<DebugFile>\ntrace.txt\n</DebugFile>\n</Debug_Data>\n");
    WriteFile("data.xml", "<DEBUG>\n<clumpload>\n1\n</clumpload>\n</DEBUG>\n");
    TestApp* app = MakeApp();
    ASSERT_EQ(1, app->Start()) << app->GetStartFailure();
    EXPECT_EQ("trace.txt", g_ferroxDebugFileName);
    EXPECT_EQ(1, g_FerroxDebugSettings.GetSwitch(FERROX_DEBUG_CLUMPLOAD));
    ASSERT_NE(nullptr, g_pFerroxSetupTree);
    EXPECT_EQ(1, g_pFerroxSetupTree->IsLoaded());
    DeleteApp(app);

    // No settings file: the defaults, and a tree that is never saved.
    std::filesystem::remove("setup.xml");
    app = MakeApp();
    ASSERT_EQ(1, app->Start());
    EXPECT_EQ("", g_ferroxDebugFileName);
    EXPECT_EQ(0, g_pFerroxSetupTree->IsLoaded());
}

// The settings file is read as far as it reads and the data file's switches as far as they are found: a settings
// file cut short, one of bytes no text has, a data file without tags or none at all do not stop the start, and
// neither file is written.
TEST_F(App, DamagedSettingsOrDataFilesDoNotStopTheStart)
{
    struct Case {
        const char* file;
        std::string text;  // empty: the file is removed
    };
    const std::string cut = "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n";
    const Case cases[] = {
        {"setup.xml", cut},
        {"setup.xml", std::string("<Debug_Data>\n<DebugFile>\n") + std::string("\x01\xff\x00garbage", 11)},
        {"data.xml", " \n"},
        {"data.xml", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFile("setup.xml", "<Game_Data>\n</Game_Data>\n");
        WriteFile("data.xml", "<DEBUG>\n<clumpload>\n0\n</clumpload>\n</DEBUG>\n");
        if (c.text.empty())
            std::filesystem::remove(c.file);
        else
            WriteFile(c.file, c.text);
        g_FerroxDebugSettings.SetDefaults();
        TestApp* app = MakeApp();
        EXPECT_EQ(1, app->Start()) << app->GetStartFailure();
        ASSERT_NE(nullptr, g_pFerroxSetupTree);
        if (c.text == cut) {
            // What was read before the cut is there.
            ASSERT_TRUE(g_pFerroxSetupTree->FindNode("Level_Data", 1));
            ASSERT_TRUE(g_pFerroxSetupTree->FindChild("0"));
            EXPECT_STREQ("./models/levels/London/london.gxs", g_pFerroxSetupTree->GetValue(0));
        }
        // A data file without its switches leaves their defaults.
        if (std::string(c.file) == "data.xml")
            EXPECT_EQ(1, g_FerroxDebugSettings.GetSwitch(FERROX_DEBUG_CLUMPLOAD));
        app->Release();
        EXPECT_EQ(!c.text.empty(), Exists(c.file));
        EXPECT_EQ(c.text, ReadFile(c.file));
        DeleteApp(app);
    }
}

TEST_F(App, EntrySequenceTearsDownAfterEveryOutcome)
{
    static int appDestroyed, gameDestroyed, gameMade;
    appDestroyed = gameDestroyed = gameMade = 0;
    FerroxProgram program = {
        []() -> CFerroxApp* {
            g_pFerroxApp = new TestApp();
            return g_pFerroxApp;
        },
        []() {
            ++appDestroyed;
            delete g_pFerroxApp;
            g_pFerroxApp = nullptr;
        },
        [](CFerroxGame** out) -> CFerroxGame* {
            ++gameMade;
            auto* made = new RecordingGame();
            made->quitAfter = 1;
            FerroxSetGame(made);
            *out = made;
            return made;
        },
        []() {
            ++gameDestroyed;
            delete g_pFerroxGame;
            FerroxSetGame(nullptr);
        },
    };
    // A previous instance: nothing is created.
    EXPECT_EQ(0, FerroxWinMain(program, nullptr, reinterpret_cast<HINSTANCE>(1)));
    EXPECT_TRUE(g_calls.empty());

    g_failAt = "appCreate";
    EXPECT_EQ(0, FerroxWinMain(program, nullptr, nullptr));
    EXPECT_EQ(1, appDestroyed);
    EXPECT_EQ(0, gameMade);

    // A failed start deletes the application and leaves the game; the program ends with 1.
    g_failAt = "engineStart";
    EXPECT_EQ(1, FerroxWinMain(program, nullptr, nullptr));
    EXPECT_EQ(0, gameDestroyed);
    EXPECT_EQ(2, appDestroyed);
    EXPECT_NE(nullptr, g_pFerroxGame);
    delete g_pFerroxGame;
    FerroxSetGame(nullptr);

    g_failAt.clear();
    EXPECT_EQ(0, FerroxWinMain(program, nullptr, nullptr));
    EXPECT_EQ(1, gameDestroyed);
    EXPECT_EQ(nullptr, g_pFerroxApp);
}

TEST_F(App, WindowProcedureQueuesFirstPressesReleasesAndMouseMessages)
{
    TestApp* app = MakeApp();
    const LPARAM repeat = 0x40000000;
    app->WindowProc(kWindow, WM_KEYDOWN, 'A', 0x001E0001);
    app->WindowProc(kWindow, WM_KEYDOWN, 'A', 0x001E0001 | repeat);
    app->WindowProc(kWindow, WM_CHAR, 'a', 0x001E0001 | repeat);
    app->WindowProc(kWindow, WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001u));
    app->WindowProc(kWindow, WM_LBUTTONDBLCLK, 0, 0);
    app->WindowProc(kWindow, WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    app->WindowProc(kWindow, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    ASSERT_EQ(4u, app->GetQueuedCount());
    EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), app->m_queue[0].message);
    EXPECT_EQ(static_cast<UINT>(WM_KEYUP), app->m_queue[1].message);
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), app->m_queue[2].message);
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEWHEEL), app->m_queue[3].message);
}

// Pass 1 out of front (input waits), pass 2 in front (input handed on, frame ticked), pass 3 takes WM_QUIT.
TEST_F(App, RunDropsStaleInputWaitsForTheFrontAndEndsOnQuit)
{
    TestApp* app = MakeApp();
    game->m_pKeyboard = std::make_unique<CFerroxKeyboard>();
    g_threadQueue = {Msg(WM_KEYDOWN, 'A', 0x001E0001), Msg(WM_MOUSEMOVE), Msg(WM_PAINT)};
    g_foregrounds = {nullptr, kWindow, kWindow};
    g_passes = {{Msg(WM_KEYDOWN, 'B', 0x00300001)}, {}, {Msg(WM_QUIT), Msg(WM_KEYUP, 'B', 0x00300001)}};
    EXPECT_EQ(0, app->Run());
    ASSERT_EQ(2u, game->times.size());
    EXPECT_FLOAT_EQ(0.001f, game->times[0]);
    EXPECT_FLOAT_EQ(0.016f, game->times[1]);
    EXPECT_FLOAT_EQ(0.048f, app->GetTotalTime());  // every pass counts, in front or not
    EXPECT_EQ('b', game->m_pKeyboard->GetLastEvent().keyCode);
    EXPECT_EQ(1, std::count(g_calls.begin(), g_calls.end(), std::string("clipCursor")));
    // The key-up after WM_QUIT was not taken in that pass.
    ASSERT_EQ(1u, g_threadQueue.size());
    EXPECT_EQ(static_cast<UINT>(WM_KEYUP), g_threadQueue[0].message);
    EXPECT_EQ(0u, app->GetQueuedCount());
}

TEST_F(App, QuitDuringTheFirstFrameEndsRunBeforeTheLoop)
{
    TestApp* app = MakeApp();
    game->quitAfter = 1;
    g_passes = {{Msg(WM_QUIT)}};
    EXPECT_EQ(0, app->Run());
    EXPECT_EQ(1u, game->times.size());
    EXPECT_EQ(1u, g_passes.size());  // no pass ran
}

namespace {

// A folder under `base` whose path is `length` characters long.
std::filesystem::path FolderOfLength(std::filesystem::path base, size_t length)
{
    const size_t kPart = 100;
    while (length - base.string().size() > kPart + 50)
        base /= std::string(kPart, 'd');
    return base / std::string(length - base.string().size() - 1, 'e');
}

}  // namespace

// The file systems open on a start directory of at most 260 characters, its drive's two included, and not on a
// longer one: the start then goes on without them.
TEST(AppPaths, FileSystemsOpenOnAStartDirectoryOfAtMost260Characters)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("ferrox_deep_start_" + FerroxTestRunTag());
    std::filesystem::remove_all(root);
    const size_t kDrive = 2;  // "C:" before the path
    for (const size_t length : {size_t{260}, size_t{261}}) {
        SCOPED_TRACE(length);
        const std::filesystem::path deep = FolderOfLength(root, length - kDrive);
        std::filesystem::create_directories(deep);
        std::filesystem::current_path(deep);
        {
            GxTestEngine engine(InitialisedEngine());
            GX_ASSERT_ENGINE_STARTED(engine);
            CFerroxApp app;
            g_pFerroxApp = &app;
            ASSERT_EQ(1, app.Create(nullptr));
            ASSERT_NE(nullptr, app.GetWindowObject()->GetStartDirectory());
            EXPECT_EQ(length, strlen(app.GetWindowObject()->GetStartDirectory()));
            EXPECT_EQ(length <= 260 ? 1 : 0, app.OpenFileSystems());
            app.CloseFileSystems();
            app.Release();
            g_pFerroxApp = nullptr;
        }
        std::filesystem::current_path(previous);
    }
    std::filesystem::remove_all(root);
}

// Every plugin in the tree attaches between init and open, and the engine then opens with them: atomics carry
// the level-of-detail record, frames the user data, clumps the engine's words.
TEST(AppPlugins, AttachBeforeTheEngineOpens)
{
    CFerroxApp app;
    GxTestEngine engine(GxTestRecordingSetup([&app] {
        EXPECT_EQ(1, app.AttachPlugins());
        EXPECT_GE(GxEngineGetPluginOffset(gxPLUGINCLUMPMODULE), 0);
        EXPECT_GE(GxAtomicGetPluginOffset(gxPLUGINLODATOMIC), 0);
        EXPECT_GE(GxEngineGetPluginOffset(gxPLUGINUSERDATA), 0);
        EXPECT_GE(GxEngineGetPluginOffset(gxPLUGINSPLINE), 0);
        return true;
    }));
    GX_ASSERT_ENGINE_STARTED(engine);
    GxClump* clump = GxClumpCreate();
    ASSERT_NE(nullptr, clump);
    EXPECT_EQ(1, SetClumpOwner(clump, reinterpret_cast<CFerroxObject*>(&app)));
    EXPECT_EQ(reinterpret_cast<CFerroxObject*>(&app), GetClumpOwner(clump));
    GxClumpDestroy(clump);
}

// The driver's plugins come from the program's start-up table, each in its place among the application's own:
// the world pipelines once the world's registries exist. One that fails fails the attach; a table that leaves
// them out passes them over.
TEST(AppPlugins, TheStartupTablesPluginsAttachInTheirPlaces)
{
    GxStartup table = {};
    table.attachWorldPipelines = [] {
        return Record(GxEngineGetPluginOffset(gxPLUGINWORLDMODULE) >= 0 ? "world pipelines" : "before the world");
    };
    table.attachSkin = [] { return Record("skin"); };
    table.attachMaterialEffects = [] { return Record("material effects"); };
    table.attachParticleTanks = [] { return Record("particle tanks"); };
    const char* const failing[] = {"", "world pipelines", "particle tanks"};
    for (const char* step : failing) {
        SCOPED_TRACE(step);
        g_calls.clear();
        g_failAt = step;
        int attached = 0;
        {
            GxTestEngine engine(InitialisedEngine());
            GX_ASSERT_ENGINE_STARTED(engine);
            FerroxSetStartup(&table);
            CFerroxApp app;
            attached = app.AttachPlugins();
            FerroxSetStartup(nullptr);
        }
        EXPECT_EQ(*step == 0, attached == 1);
        if (*step == 0) {
            EXPECT_EQ((std::vector<std::string>{"world pipelines", "skin", "material effects", "particle tanks"}),
                      g_calls);
        }
    }
    g_failAt.clear();
    g_calls.clear();
    {
        GxTestEngine engine(InitialisedEngine());
        GX_ASSERT_ENGINE_STARTED(engine);
        CFerroxApp app;
        EXPECT_EQ(1, app.AttachPlugins());
    }
    EXPECT_TRUE(g_calls.empty());
}

// Fixed-step frames: the clock counts milliseconds from 0, one step a read, again from 0 at each set-up, and
// 0 gives the real clock back.
TEST(AppClock, FixedStepFramesStartAtZeroAndTheRealClockComesBack)
{
    FerroxResetAppPlatform();
    const FerroxAppPlatform real = FerroxGetAppPlatform();
    for (int run = 0; run < 2; ++run) {
        FerroxSetFixedStep(50);
        LARGE_INTEGER frequency = {};
        LARGE_INTEGER counter = {};
        ASSERT_TRUE(FerroxGetAppPlatform().queryPerformanceFrequency(&frequency));
        EXPECT_EQ(1000, frequency.QuadPart);
        ASSERT_TRUE(FerroxGetAppPlatform().queryPerformanceCounter(&counter));
        ASSERT_TRUE(FerroxGetAppPlatform().queryPerformanceCounter(&counter));
        EXPECT_EQ(100, counter.QuadPart);
        EXPECT_DOUBLE_EQ(0.1, FerroxFixedStepSeconds());
    }
    FerroxSetFixedStep(0);
    EXPECT_EQ(real.queryPerformanceCounter, FerroxGetAppPlatform().queryPerformanceCounter);
    EXPECT_EQ(real.queryPerformanceFrequency, FerroxGetAppPlatform().queryPerformanceFrequency);
}

// Closing the game window destroys it, which posts WM_QUIT: the loop ends in the pass that pumps it.
TEST(AppWindow, ClosingTheWindowEndsTheLoop)
{
    class CountingGame : public CFerroxGame {
    public:
        void Update(float) override { ++frames; }
        int frames = 0;
    };
    CFerroxApp app;
    CountingGame counting;
    g_pFerroxApp = &app;
    app.m_pGame = &counting;
    ASSERT_EQ(1, app.Create(nullptr));
    ShowAppWindow(app.GetWindow(), 0);
    ASSERT_TRUE(Win32TestPushClose(app.GetWindow()));
    EXPECT_EQ(0, app.Run());
    EXPECT_EQ(1, counting.frames);  // only the first frame: the pass that took WM_QUIT ticked nothing
    RECT client;
    EXPECT_FALSE(GetClientRect(app.GetWindow(), &client));  // destroyed
    app.Release();
    g_pFerroxApp = nullptr;
}

// Each full-screen mode gives the real window a client area of exactly the mode's size, from the choice of the
// mode (the device starts on it) through the window shown as a frameless popup.
TEST_F(App, EachFullScreenModeGivesTheWindowAClientAreaOfItsSize)
{
    g_modeFlags = 1;
    const GxInt32 modes[][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode[0]);
        g_modeWidth = mode[0];
        g_modeHeight = mode[1];
        CFerroxApp app;
        RecordingGame chooser;
        g_pFerroxApp = &app;
        app.m_pGame = &chooser;
        ASSERT_EQ(1, app.Create(nullptr));
        RECT client = {};
        ASSERT_TRUE(GetClientRect(app.GetWindow(), &client));
        EXPECT_EQ(800, client.right);  // the window is made for the virtual screen
        ASSERT_EQ(1, app.SelectVideoMode());
        ASSERT_TRUE(GetClientRect(app.GetWindow(), &client));
        EXPECT_EQ(mode[0], client.right);
        EXPECT_EQ(mode[1], client.bottom);
        ShowAppWindow(app.GetWindow(), app.IsFullScreen());
        ASSERT_TRUE(GetClientRect(app.GetWindow(), &client));
        EXPECT_EQ(mode[0], client.right);
        EXPECT_EQ(mode[1], client.bottom);
        RECT outer = {};
        ASSERT_TRUE(GetWindowRect(app.GetWindow(), &outer));
        EXPECT_EQ(mode[0], outer.right - outer.left);  // no frame around it
        // On the screen as far as it fits there.
        EXPECT_GE(outer.left, 0);
        EXPECT_GE(outer.top, 0);
        EXPECT_TRUE(outer.right <= GetSystemMetrics(SM_CXSCREEN) || outer.left == 0);
        EXPECT_TRUE(outer.bottom <= GetSystemMetrics(SM_CYSCREEN) || outer.top == 0);
        EXPECT_EQ(WS_POPUP, GetWindowLongA(app.GetWindow(), GWL_STYLE) & ~WS_VISIBLE);
        app.m_pGame = nullptr;
        app.Release();
        g_pFerroxApp = nullptr;
    }
}

// A press and its release queued for the same frame: that frame sees the button down, the next one the release;
// input behind the release waits with it, in order. Buttons do not move the cursor: only moves do.
TEST_F(App, AQuickClickIsDownForOneFrame)
{
    TestApp* app = MakeApp();
    game->SetScreenSize(800, 600);
    game->m_pMouse = std::make_unique<CFerroxMouse>();
    CFerroxMouse* mouse = game->m_pMouse.get();
    game->m_pKeyboard = std::make_unique<CFerroxKeyboard>();
    app->WindowProc(kWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 340));
    app->WindowProc(kWindow, WM_LBUTTONUP, 0, MAKELPARAM(120, 340));
    app->WindowProc(kWindow, WM_KEYDOWN, 'B', 0x00300001);
    app->WindowProc(kWindow, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 100));
    app->DispatchInput();
    const FerroxMousePosition* at = mouse->GetPosition();
    EXPECT_EQ(FERROX_BUTTON_DOWN, at->left);
    EXPECT_FLOAT_EQ(0.0f, at->x);
    EXPECT_FLOAT_EQ(0.0f, at->y);
    EXPECT_EQ(3u, app->GetQueuedCount());
    mouse->EndFrame();
    app->DispatchInput();
    EXPECT_EQ(FERROX_BUTTON_RELEASED, at->left);
    EXPECT_EQ('b', game->m_pKeyboard->GetLastEvent().keyCode);
    EXPECT_EQ(FERROX_BUTTON_DOWN, at->right);
    EXPECT_EQ(0u, app->GetQueuedCount());
    // Presses of different buttons, and a release of a button pressed in an earlier frame, go on at once.
    app->WindowProc(kWindow, WM_RBUTTONUP, 0, MAKELPARAM(200, 100));
    app->WindowProc(kWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 100));
    app->DispatchInput();
    EXPECT_EQ(FERROX_BUTTON_RELEASED, at->right);
    EXPECT_EQ(FERROX_BUTTON_DOWN, at->left);
    EXPECT_EQ(0u, app->GetQueuedCount());
}
