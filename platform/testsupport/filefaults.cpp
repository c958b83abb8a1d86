// Test support: write failures counted down through the stand-in's write gate, and overlapped transfers held
// back through its transfer gate.
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

namespace {

std::atomic<bool> deferIo{false};

bool HoldBack() { return deferIo.load(); }

// The stand-in's completer, handed back when the gate is set.
StandInIoCompleter Gate()
{
    static const StandInIoCompleter completer = StandInSetIoGate(HoldBack);
    return completer;
}

}  // namespace

void StandInDeferOverlappedIo(BOOL defer)
{
    deferIo.store(defer != FALSE);
    Gate();
}

int StandInCompletePendingIo(void) { return Gate()(); }
