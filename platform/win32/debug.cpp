// Debug output, as a debugger would show it: to standard error only when MALL_DEBUG_OUTPUT is set (and not "0")
// or a call enables it, so a running game stays quiet; an optional hook captures it.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/windows.h"

namespace {
// -1 until first use, then 0 or 1.
std::atomic<int> enabled{-1};
std::atomic<void (*)(const char*)> hook{nullptr};

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

void StandInSetDebugOutput(BOOL enable) { enabled.store(enable ? 1 : 0); }

void StandInSetDebugOutputHook(void (*callback)(const char* text)) { hook.store(callback); }

void WINAPI OutputDebugStringA(LPCSTR lpOutputString)
{
    if (lpOutputString == nullptr)
        return;
    if (void (*callback)(const char*) = hook.load())
        callback(lpOutputString);
    if (Enabled())
        std::fputs(lpOutputString, stderr);
}
