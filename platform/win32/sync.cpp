// Critical sections: recursive locks that remember their owner and depth.
#include <atomic>
#include <mutex>
#include <new>

#include "platform/win32/windows.h"

namespace {
std::recursive_mutex* LockOf(LPCRITICAL_SECTION cs)
{
    return cs == nullptr ? nullptr : static_cast<std::recursive_mutex*>(cs->Impl);
}

// A small nonzero id per thread, unique for the life of the process.
DWORD ThisThreadId()
{
    static std::atomic<DWORD> next{1};
    thread_local DWORD id = next.fetch_add(1);
    return id;
}
}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection == nullptr)
        return;
    lpCriticalSection->Impl = new (std::nothrow) std::recursive_mutex();
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = 0;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    std::recursive_mutex* lock = LockOf(lpCriticalSection);
    if (lock == nullptr)
        return;
    lock->lock();
    lpCriticalSection->RecursionCount += 1;
    lpCriticalSection->OwningThread = ThisThreadId();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    std::recursive_mutex* lock = LockOf(lpCriticalSection);
    // Leaving a section this thread does not hold would be undefined for the mutex.
    if (lock == nullptr || lpCriticalSection->RecursionCount <= 0 || lpCriticalSection->OwningThread != ThisThreadId())
        return;
    lpCriticalSection->RecursionCount -= 1;
    if (lpCriticalSection->RecursionCount == 0)
        lpCriticalSection->OwningThread = 0;
    lock->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    std::recursive_mutex* lock = LockOf(lpCriticalSection);
    if (lock == nullptr)
        return;
    delete lock;
    lpCriticalSection->Impl = nullptr;
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = 0;
}
