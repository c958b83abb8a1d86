// The game's start-up: its options and one run over the application and game singletons.
#include "main/program.h"

#include <cstdio>

#include "engine/application/app.h"
#include "engine/data/startup.h"
#include "engine/navigation/character.h"
#include "game/shell/sound.h"
#include "gfx/d3d9/d3d9drv.h"
#include "main/shell.h"

namespace {

ProgramOptions g_options;
CFerroxApp* (*g_makeApp)() = nullptr;

CFerroxApp* AppInstance()
{
    if (!g_pFerroxApp) {
        g_pFerroxApp = g_makeApp();
        g_pFerroxApp->SetFrameLimit(g_options.frames, g_options.screenshot.c_str());
    }
    return g_pFerroxApp;
}

void AppDestroy()
{
    delete g_pFerroxApp;
    g_pFerroxApp = nullptr;
}

// The game singleton, with the program's shell given to it before the application creates it.
CFerroxGame* GameInstance(CFerroxGame** out) { return ProgramShell()->MakeGame(out); }

void GameDestroy() { ProgramShell()->DestroyGame(); }

void UseFixedStep(int milliseconds)
{
    FerroxSetFixedStep(milliseconds);
    // The characters' path searches measure their time budget on the fixed clock too, which stands still within a
    // frame: a search then never depends on how fast the machine runs it.
    FerroxCharacterSetClock(FerroxFixedStepSeconds);
    // The music plays on the wall clock: choosing its next track from the game's generator would make the run's
    // draws depend on it, so a run on the fixed clock keeps its track.
    CSoundManager::s_shuffleOff = 1;
}

bool ScreenshotWritten(const std::string& path)
{
    std::FILE* written = std::fopen(path.c_str(), "rb");
    if (!written)
        return false;
    std::fclose(written);
    return true;
}

}  // namespace

CProgramShell* ProgramShell()
{
    static CProgramShell shell;
    return &shell;
}

int ProgramRun(const ProgramOptions& options, CFerroxApp* (*makeApp)())
{
    g_options = options;
    g_makeApp = makeApp;
    if (!options.screenshot.empty())
        std::remove(options.screenshot.c_str());
    if (options.stepMilliseconds)
        UseFixedStep(options.stepMilliseconds);
    FerroxSetStartup(GxD3D9GetStartup());
    const FerroxProgram program = {AppInstance, AppDestroy, GameInstance, GameDestroy};
    const int result = FerroxWinMain(program, nullptr, nullptr);
    if (!options.screenshot.empty() && !ScreenshotWritten(options.screenshot)) {
        std::fprintf(stderr, "mall: the screenshot %s was not written\n", options.screenshot.c_str());
        return 1;
    }
    return result;
}
