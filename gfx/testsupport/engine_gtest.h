// The engine fixture in Google Test: a failed start fails the test, except a missing OpenGL, which is skipped
// unless MALL_REQUIRE_GL is set; and the one fixture of the OpenGL draw tests.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "gfx/testsupport/engine_fixture.h"
#include "platform/win32/gl_required_testing.h"

// Ends the running test when `engine` did not start; the test goes on when it did.
#define GX_ASSERT_ENGINE_STARTED(engine)                  \
    do {                                                  \
        if ((engine).GLMissing()) {                       \
            MALL_GL_MISSING((engine).Failure());          \
        }                                                 \
        ASSERT_TRUE((engine).Ok()) << (engine).Failure(); \
    } while (0)

// The engine started on the OpenGL back end in a window of the given size with the host's files, before each test
// and shut down after it. Derived fixtures add their plugins and image formats to the set-up and return from their
// SetUp at once when Ready() is false.
class GxTestGLDraw : public ::testing::Test {
protected:
    GxTestGLDraw(GxInt32 width, GxInt32 height, GxUInt32 arenaSize = kGxTestArenaSize) : width(width), height(height)
    {
        engineSetup.backend = GxTestBackend::kOpenGL;
        engineSetup.width = width;
        engineSetup.height = height;
        engineSetup.arenaSize = arenaSize;
    }

    void SetUp() override
    {
        engine.emplace(engineSetup);
        GX_ASSERT_ENGINE_STARTED(*engine);
        window = engine->Window();
    }
    void TearDown() override { engine.reset(); }

    // True when SetUp ran to the end.
    bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }

    const GxInt32 width;
    const GxInt32 height;
    GxTestEngineSetup engineSetup;
    std::optional<GxTestEngine> engine;
    HWND window = nullptr;
};
