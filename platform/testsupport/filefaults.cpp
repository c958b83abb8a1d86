// Test support: write failures counted down through the stand-in's write gate.
#include "platform/testsupport/filefaults.h"

#include <atomic>

#include "platform/win32/winbase.h"

namespace {

// Writes left before the failures start.
std::atomic<long> writesBeforeFailure{0};

bool AllowWrite()
{
    long left = writesBeforeFailure.load();
    while (left > 0) {
        if (writesBeforeFailure.compare_exchange_weak(left, left - 1))
            return true;
    }
    return false;
}

}  // namespace

void StandInFailWritesAfter(LONG successes)
{
    if (successes < 0) {
        StandInSetWriteGate(nullptr);
        return;
    }
    writesBeforeFailure.store(successes);
    StandInSetWriteGate(AllowWrite);
}
