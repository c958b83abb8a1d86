// The game's program: WinMain over the application and game singletons, and the Linux entry that calls it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/app.h"
#include "gfx/core/engine.h"
#include "gfx/d3d9/d3d9drv.h"
#include "main/splash.h"
#include "ui/frontend/launcher.h"

namespace {

// A headless run: a number of frames, then the last one saved as a BMP.
struct Options {
    int frames = 0;
    std::string screenshot;
};
Options g_options;

}  // namespace

// The game's application: the engine's one with the program's own destructor.
class CApp : public CFerroxApp {
public:
    ~CApp() override { Release(); }

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

// The splash game with the start-up launcher choosing the adapter, mode and language, as the game object will.
class CLaunchedSplashGame : public CSplashGame {
public:
    int ChooseVideoMode(int* adapter, int* mode) override
    {
        LauncherGame launcher;
        launcher.window = g_pFerroxApp->GetWindow();
        launcher.instance = g_pFerroxApp->GetInstance();
        launcher.setup = g_pFerroxSetupTree;
        launcher.language = m_language;
        const int result = LauncherChooseVideoMode(&launcher, 0, adapter, mode);
        m_language = launcher.language;
        return result;
    }

private:
    int16_t m_language = 0;
};

namespace {

// The game singleton: written to the application's game field and to the global game pointer.
CFerroxGame* GameInstance(CFerroxGame** out)
{
    if (!g_pFerroxGame)
        g_pFerroxGame = new CLaunchedSplashGame();
    if (out)
        *out = g_pFerroxGame;
    return g_pFerroxGame;
}

void GameDestroyInstance()
{
    delete g_pFerroxGame;
    g_pFerroxGame = nullptr;
    if (g_pFerroxApp)
        g_pFerroxApp->m_pGame = nullptr;
}

bool ParseOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            char* end = nullptr;
            const long frames = std::strtol(argv[++i], &end, 10);
            if (!end || *end || frames <= 0 || frames > 1000000)
                return false;
            g_options.frames = static_cast<int>(frames);
        } else if (arg == "--screenshot" && i + 1 < argc) {
            g_options.screenshot = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int)
{
    GxEngineSetDriver(GxD3D9GetDriver());
    const FerroxProgram program = {CApp::Instance, CApp::DestroyInstance, GameInstance, GameDestroyInstance};
    return FerroxWinMain(program, instance, previous);
}

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: mall [--frames N] [--screenshot FILE.bmp]\n");
        return 2;
    }
    // A screenshot left from an earlier run must not pass for this run's.
    if (!g_options.screenshot.empty())
        std::remove(g_options.screenshot.c_str());
    const int result = WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
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
