// Failure report of GX_ASSERT.
#include "gfx/core/assert.h"

#include <cstdio>
#include <cstdlib>

void GxAssertFailed(const char* file, int line, const char* condition, const char* message)
{
    std::fprintf(stderr, "%s:%d: assertion failed: %s: %s\n", file, line, condition, message);
    std::fflush(stderr);
    std::abort();
}
