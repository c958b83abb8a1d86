// Programmer-error checks: a broken internal precondition stops the program and says where and why.
//
// GX_ASSERT(condition, message) is for invariants a caller must keep (an index inside its table, a state
// that cannot be reached, a pointer the contract says is set). Bad data from files, saves or the player is
// never asserted: it fails softly through the module's error path. The check is compiled in wherever NDEBUG
// is not defined (the test and sanitizer builds) and compiled out in release builds, where the condition is
// not evaluated.
#pragma once

// Prints file, line, condition and message to standard error, then aborts.
[[noreturn]] void GxAssertFailed(const char* file, int line, const char* condition, const char* message);

#ifdef NDEBUG
#define GX_ASSERT(condition, message) static_cast<void>(sizeof(!(condition)))
#else
#define GX_ASSERT(condition, message) \
    ((condition) ? static_cast<void>(0) : GxAssertFailed(__FILE__, __LINE__, #condition, message))
#endif
