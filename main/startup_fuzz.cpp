// Fuzz target of every reader of the settings and data files at start-up (the tag reader, the launcher's mode
// and language keys, the level list, the locale's language, the debug file and switches, the technology tree,
// floor tiles, sound lists, the interface's fonts and build menus): the input less its first byte becomes
// ./setup.xml (first byte even) or ./data.xml (odd) of a temporary game root that holds small whole copies of the
// other files (and of ./language.xml), and the program starts headless on the software device on a fixed clock up to
// its main menu. A data file is read as far as it reads; one that cannot be read stops the set-up, left as it was.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "engine/application/app.h"
#include "engine/application/base.h"
#include "engine/data/startup.h"
#include "gfx/core/engine.h"
#include "gfx/d3d9/d3d9drv.h"
#include "main/shell.h"

namespace {

const char kSetup[] =
    "<Application_Data>\n<VideoModeWidth>\n800\n</VideoModeWidth>\n<VideoModeHeight>\n600\n</VideoModeHeight>\n"
    "<VideoModeBits>\n32\n</VideoModeBits>\n<ModeIndex>\n0\n</ModeIndex>\n</Application_Data>\n"
    "<Game_Data>\n<Language>\n0\n</Language>\n<Game_type>\nnormal\n<normal>\n0\n</normal>\n</Game_type>\n"
    "<NearClipPlane>\n10\n</NearClipPlane>\n<FarClipPlane>\n600\n</FarClipPlane>\n</Game_Data>\n"
    "<Level_Data>\n<0>\n./models/levels/London/london.gxs\n</0>\n<total>\n0\n</total>\n</Level_Data>\n"
    "<Debug_Data>\n<DebugFile>\n\n</DebugFile>\n</Debug_Data>\n";
const char kData[] =
    "<DEBUG>\n<fulltrace>\n0\n</fulltrace>\n<clumpload>\n1\n</clumpload>\n</DEBUG>\n"
    "<TECHNOLOGIES>\n<cleaning>\n<brooms>\n1000\n300\n2000\n<prerequisits>\n</prerequisits>\n</brooms>\n"
    "<scrubbers>\n1001\n600\n4000\n<prerequisits>\n1000\n</prerequisits>\n</scrubbers>\n</cleaning>\n"
    "</TECHNOLOGIES>\n"
    "<SOUND>\n<SFX>\n/sounds/click.wav\n</SFX>\n<AMBIENT>\n</AMBIENT>\n<MUSIC>\n/sounds/music0.wav\n</MUSIC>\n"
    "</SOUND>\n"
    "<FONTS>\n/images/fonts/bigFont\n/images/fonts/figures\n/images/fonts/msgfont\n/images/fonts/tooltip\n"
    "</FONTS>\n"
    "<BUILD_OBJECTS>\n<panel>\n./images/build/root/root.png\n</panel>\n<m00>\n<panel>\n./images/build/m00/m00.png\n"
    "</panel>\n<plans>\n</plans>\n</m00>\n</BUILD_OBJECTS>\n"
    "<FLOOR_TILES>\n<t0>\n./images/floors/concrete.png\n</t0>\n<t1>\n./images/floors/marble.png\n</t1>\n"
    "</FLOOR_TILES>\n";

// The texts the start requires: one list is enough to start.
const char kLanguage[] = "<LANGUAGE>\n<mainmenu>\n<0>\nLondon\nLondon\nLondres\n</0>\n</mainmenu>\n</LANGUAGE>\n";
// A cursor picture of one pixel: without one the game does not start.
const unsigned char kCursor[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
                                 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
                                 0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x78,
                                 0xda, 0x63, 0x64, 0xf8, 0xcf, 0x50, 0x0f, 0x00, 0x03, 0x86, 0x01, 0x80, 0x5a, 0x34,
                                 0x7d, 0x6b, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
// Past the two start-up pictures of 4 s each, at 0.05 s a frame.
constexpr int kFrames = 180;
constexpr int kStepMilliseconds = 50;

CProgramShell* g_pShell = nullptr;
std::filesystem::path g_root;
// Why the last start stopped, as the application told it ("" when it did not stop at its own steps).
std::string g_startFailure;

class FuzzApp : public CFerroxApp {
public:
    ~FuzzApp() override { Release(); }
};

CFerroxApp* AppInstance()
{
    if (!g_pFerroxApp) {
        g_pFerroxApp = new FuzzApp();
        g_pFerroxApp->SetFrameLimit(kFrames, nullptr);
    }
    return g_pFerroxApp;
}

// A failed start leaves the game and an engine that did not start; the next input starts afresh without them.
void AppDestroy()
{
    const char* failure = g_pFerroxApp ? g_pFerroxApp->GetStartFailure() : nullptr;
    g_startFailure = failure ? failure : "";
    const bool failed = g_pFerroxGame != nullptr;
    if (failed)
        g_pShell->DestroyGame();
    delete g_pFerroxApp;
    g_pFerroxApp = nullptr;
    if (failed && GxEngineInstance) {
        GxEngineClose();
        GxEngineTerm();
    }
}

CFerroxGame* GameInstance(CFerroxGame** out) { return g_pShell->MakeGame(out); }

void GameDestroy() { g_pShell->DestroyGame(); }

void Write(const char* name, const char* bytes, size_t size)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
    if (!out)
        std::abort();
}

std::string Read(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FerroxSetStartup(GxD3D9GetStartup());
    // A root of this run's own: another run may share the machine's temporary folder.
    std::random_device seed;
    g_root = std::filesystem::temp_directory_path() / ("mall_startup_fuzz_" + std::to_string(seed()));
    std::filesystem::create_directories(g_root);
    std::ofstream((g_root / "language.xml").string(), std::ios::binary) << kLanguage;
    std::ofstream((g_root / "cursor.png").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(kCursor), sizeof(kCursor));
    g_pShell = new CProgramShell();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool setup = (data[0] & 1) == 0;
    const char* name = setup ? "./setup.xml" : "./data.xml";
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    // The game reads its files from the working directory; the caller's is back before the next input.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(g_root);
    Write(name, input.data(), input.size());
    if (setup)
        Write("./data.xml", kData, sizeof(kData) - 1);
    else
        Write("./setup.xml", kSetup, sizeof(kSetup) - 1);
    FerroxSetFixedStep(kStepMilliseconds);
    const FerroxProgram program = {AppInstance, AppDestroy, GameInstance, GameDestroy};
    // A start that stopped on the file wrote nothing over it. A start that went past the launcher may have saved
    // the player's choices in the settings file.
    const bool stopped = FerroxWinMain(program, nullptr, nullptr) != 0;
    if (stopped && g_startFailure.rfind(std::string(name) + " ", 0) == 0 && Read(name) != input)
        std::abort();
    // The closed window posted the quit message that ended this run; the next run starts without it.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
    std::filesystem::current_path(previous);
    return 0;
}
