// Test support: write failures made on request in the Win32 stand-in's files, and overlapped transfers held
// pending. Tests link it; the game does not.
#pragma once

#include "platform/win32/wintypes.h"

// The next `successes` WriteFile calls succeed and every one after them fails with ERROR_DISK_FULL, until a
// negative count switches the failures off.
void StandInFailWritesAfter(LONG successes);

// With defer set, overlapped reads and writes stay pending (FALSE, ERROR_IO_PENDING) until StandInCompletePendingIo
// or a waiting GetOverlappedResult completes them.
void StandInDeferOverlappedIo(BOOL defer);
// Completes every pending overlapped transfer; returns how many it completed.
int StandInCompletePendingIo(void);
