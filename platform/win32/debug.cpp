// Debug output, as a debugger would show it: to standard error only when MALL_DEBUG_OUTPUT is set (and not "0"),
// so a running game stays quiet; a tap, where one is set, sees each string first and may decide instead.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/windows.h"

namespace {
// -1 until first use, then 0 or 1.
std::atomic<int> enabled{-1};
// Asked first when set; none in the game.
std::atomic<StandInDebugTap> tap{nullptr};

bool Enabled()
{
    int state = enabled.load();
    if (state < 0) {
        const char* env = std::getenv("MALL_DEBUG_OUTPUT");
        state = env != nullptr && std::strcmp(env, "0") != 0 ? 1 : 0;
        int expected = -1;
        enabled.compare_exchange_strong(expected, state);
        state = enabled.load();
    }
    return state != 0;
}
}  // namespace

void StandInSetDebugTap(StandInDebugTap debugTap) { tap.store(debugTap); }

void WINAPI OutputDebugStringA(LPCSTR lpOutputString)
{
    if (lpOutputString == nullptr)
        return;
    const StandInDebugTap debugTap = tap.load();
    const int choice = debugTap ? debugTap(lpOutputString) : kDebugTapDefault;
    if (choice == kDebugTapDefault ? Enabled() : choice != 0)
        std::fputs(lpOutputString, stderr);
}
