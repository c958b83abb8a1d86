// Test support: debug output through the stand-in's tap.
#include "platform/testsupport/debugoutput.h"

#include <atomic>

#include "platform/win32/winbase.h"

namespace {

// kDebugTapDefault until a test switches output on or off.
std::atomic<int> output{kDebugTapDefault};
std::atomic<void (*)(const char*)> capture{nullptr};

int Tap(const char* text)
{
    if (void (*hook)(const char*) = capture.load())
        hook(text);
    return output.load();
}

}  // namespace

void StandInSetDebugOutput(BOOL enable)
{
    output.store(enable ? 1 : 0);
    StandInSetDebugTap(Tap);
}

void StandInSetDebugOutputHook(void (*hook)(const char* text))
{
    capture.store(hook);
    StandInSetDebugTap(Tap);
}
