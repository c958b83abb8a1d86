// Timers over the steady clock: performance counter in nanoseconds, tick count in milliseconds.
#include <chrono>

#include "platform/win32/windows.h"

namespace {
std::chrono::steady_clock::duration SinceStart()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::steady_clock::now() - start;
}
}  // namespace

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency)
{
    if (lpFrequency == nullptr)
        return FALSE;
    lpFrequency->QuadPart = 1000000000;
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
{
    if (lpPerformanceCount == nullptr)
        return FALSE;
    lpPerformanceCount->QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(SinceStart()).count();
    return TRUE;
}

DWORD WINAPI GetTickCount(void)
{
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(SinceStart()).count());
}
