// Test fixture: the graphics core with the host's files as default file system, and a scratch folder per test.
//
// engine_testsupport is the engine's test support, built with the tests and linked by test programs and fuzz
// targets only. It owns the fixtures the engine's, the game's and the interface's tests stand on: this file fixture
// and the graphics fixture over it with the spline plugin (graphics.h), and over the software device's fixture the
// object fixture with its builders of tagged clumps and stream chunks (objects.h) and the scene fixture with a
// level's plugins (scene.h); the plugins the game attaches (plugins.h) and the text files' fuzz helpers
// (fuzz_files.h). It calls the engine, gfx_testsupport and the stand-ins' write failures (platform/testsupport, and
// what they link) and Google Test. Threading: the test's
// one thread. Ownership: a fixture starts the engine through GxTestEngine in SetUp and shuts it down in TearDown;
// its scratch folder goes with everything in it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/core/engine_testing.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/testsupport/temp_dir.h"
#include "platform/testsupport/filefaults.h"
#include "platform/win32/winbase.h"

// Writes of the Win32 stand-in fail after the given number of successes while this lives.
struct FerroxFailWritesAfter {
    explicit FerroxFailWritesAfter(LONG successes) { StandInFailWritesAfter(successes); }
    ~FerroxFailWritesAfter() { StandInFailWritesAfter(-1); }
    FerroxFailWritesAfter(const FerroxFailWritesAfter&) = delete;
    FerroxFailWritesAfter& operator=(const FerroxFailWritesAfter&) = delete;
};

// A tag unique to this run, so that test runs side by side on one machine never share a scratch path.
inline std::string FerroxTestRunTag() { return GxTestRunTag(); }

// The engine initialised on the recording device (derived fixtures change `engineSetup` in their constructor), with
// the host's files, and a scratch folder named for the test.
class FerroxTestFiles : public ::testing::Test {
protected:
    FerroxTestFiles()
    {
        engineSetup.backend = GxTestBackend::kRecording;
        engineSetup.start = false;
    }
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return m_dir->Path(name); }
    // The temporaries replacements left in the scratch folder (or one of its folders).
    std::vector<std::string> Temporaries(const std::string& folder = "") const
    {
        return GxTestTemporariesIn(m_dir->Dir() / folder);
    }
    static bool Exists(const std::string& path);
    static void WriteFile(const std::string& path, const std::string& bytes);
    static std::string ReadFile(const std::string& path);

    GxTestEngineSetup engineSetup;
    std::optional<GxTestEngine> engine;

private:
    std::unique_ptr<GxTestTempDir> m_dir;
};
