// The game's program: the Linux entry over the game's start-up (main/program.h), with the application that paces
// a headless run nobody watches.
#include <cstdio>

#include "engine/application/app.h"
#include "main/program.h"

namespace {

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

// The game's application: the engine's one with the program's own destructor.
class CApp : public CFerroxApp {
public:
    ~CApp() override { Release(); }

    void Tick(float frameTime) override
    {
        CFerroxApp::Tick(frameTime);
        if (g_paced)
            Pace();
    }
};

CFerroxApp* MakeApp() { return new CApp(); }

bool ParseOptions(int argc, char** argv, ProgramOptions* options)
{
    for (int i = 1; i < argc; ++i)
        if (ProgramParseOption(argc, argv, &i, options) != ProgramOptionRead::kRead)
            return false;
    return true;
}

// Without a display nothing can be seen of a run without an end: say so, say how a headless run is used, and
// pace it.
void NoticeHeadlessRun(const ProgramOptions& options)
{
    if (Win32HasDisplay() || options.frames > 0)
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

int main(int argc, char** argv)
{
    ProgramOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: mall %s\n", ProgramOptionsUsage());
        return 2;
    }
    NoticeHeadlessRun(options);
    return ProgramRun(options, MakeApp);
}
