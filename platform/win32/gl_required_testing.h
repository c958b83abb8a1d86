// Tests that need an OpenGL window or context: with MALL_REQUIRE_GL set (./test.sh sets it where GL is to be had)
// a missing GL fails the test; without it, on a machine that has none, the test is skipped.
#pragma once

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

// True when MALL_REQUIRE_GL is set to anything but "0".
inline bool MallGLRequired()
{
    const char* value = std::getenv("MALL_REQUIRE_GL");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

// Ends the running test for a missing OpenGL: a failure when GL is required, a skip otherwise.
#define MALL_GL_MISSING(reason)                                      \
    do {                                                             \
        if (MallGLRequired()) {                                      \
            GTEST_FAIL() << (reason) << " (MALL_REQUIRE_GL is set)"; \
        }                                                            \
        GTEST_SKIP() << (reason);                                    \
    } while (0)
