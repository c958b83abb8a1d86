// The game's program: the Linux entry over the game's start-up (main/program.h). The command line is not read.
#include "engine/application/app.h"
#include "main/program.h"

namespace {

// The game's application: the engine's one with the program's own destructor.
class CApp : public CFerroxApp {
public:
    ~CApp() override { Release(); }
};

CFerroxApp* MakeApp() { return new CApp(); }

}  // namespace

int main() { return ProgramRun(ProgramOptions(), MakeApp); }
