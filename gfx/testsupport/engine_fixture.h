// The engine as tests, benchmarks and fuzz targets start it: an owning fixture that inits the engine on a chosen
// device, attaches the plugins asked for, opens and starts it with the host's files and image formats, and shuts
// all of it down when it goes. A start that fails says why and leaves nothing open.
//
// gfx_testsupport is the graphics library's test support, linked by tests, fuzz targets, tools, benchmarks and the
// content writers' library, and never by the game or the harness. It owns this fixture, the Google Test wrappers
// and the software and OpenGL draw fixtures over it (engine_gtest.h, software_fixture.h, opengl_fixture.h), the driver's start-up table and plugins for
// tests above the driver (driver_startup.h, plugins.h), scratch folders (temp_dir.h), fuzz helpers (fuzz.h), the
// headless device requests (headless.h), the PNG and DDS writers, and the demo scene and window the tools share.
// It calls gfx/core, the driver (gfx/d3d9), the hierarchy plugin's test access (gfx/anim), the stand-ins' test
// hooks (platform/testsupport), platform/win32 and libpng; its fixture headers call Google Test.
// Threading: the test's one thread. Ownership: a GxTestEngine owns the engine it started with its window and file
// systems and shuts them down in its destructor; GxTestProcessEngineStart's engine lives until the process ends; a
// scratch folder is removed with everything in it when it goes.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "gfx/core/engine.h"
#include "platform/win32/windows.h"

constexpr GxUInt32 kGxTestArenaSize = 0x400000;
constexpr GxInt32 kGxTestWindowSize = 64;

// The device the engine runs on: the recording test device of the core, or the driver on one of its back ends.
enum class GxTestBackend {
    kRecording,
    kSoftware,
    kOpenGL
};

// Image formats registered once the engine is started.
enum GxTestImageFormats : unsigned {
    kGxTestImagesNone = 0,
    kGxTestImagesPng = 1,  // read only
    kGxTestImagesBmp = 2,  // read and write
};

struct GxTestEngineSetup {
    GxTestBackend backend = GxTestBackend::kSoftware;
    GxInt32 width = kGxTestWindowSize;  // the driver's window, client size
    GxInt32 height = kGxTestWindowSize;
    GxUInt32 arenaSize = kGxTestArenaSize;
    GxUInt32 initFlags = 0;
    const GxMemoryFunctions* memory = nullptr;
    std::function<bool()> plugins;  // attached between init and open
    bool start = true;              // open and start; otherwise the engine stays initialised
    bool firstVideoMode = false;    // the driver starts in its first video mode, as the program's does (OpenGL always)
    bool files = true;              // the host's files as the default file system
    unsigned images = kGxTestImagesNone;
};

// The recording test device with the given plugins, started, without files.
inline GxTestEngineSetup GxTestRecordingSetup(std::function<bool()> plugins = {})
{
    GxTestEngineSetup setup;
    setup.backend = GxTestBackend::kRecording;
    setup.files = false;
    setup.plugins = std::move(plugins);
    return setup;
}

class GxTestEngine {
public:
    explicit GxTestEngine(GxTestEngineSetup setup = {});
    ~GxTestEngine();
    GxTestEngine(const GxTestEngine&) = delete;
    GxTestEngine& operator=(const GxTestEngine&) = delete;

    bool Ok() const { return m_failure.empty(); }
    // What failed, empty when the engine is up.
    const std::string& Failure() const { return m_failure; }
    // True when the failure is that this machine gives no OpenGL window, context or back end.
    bool GLMissing() const { return m_glMissing; }
    // The driver's window; null on the recording device.
    HWND Window() const { return m_window; }
    // The driver's window as the engine's open takes it.
    HWND* WindowSlot() { return &m_window; }

private:
    bool Start(const GxTestEngineSetup& setup);
    bool OpenOnDriver(const GxTestEngineSetup& setup);
    bool Fail(const char* what, bool glMissing = false);
    void Shutdown();

    HWND m_window = nullptr;
    bool m_onDriver = false;
    bool m_filesOpen = false;
    bool m_glMissing = false;
    std::string m_failure;
};

// The engine of the whole process (a fuzz target's or a benchmark's): started on the first call, it lives until the
// process ends. True when it is up; later calls return the first answer and ignore their setup.
bool GxTestProcessEngineStart(const GxTestEngineSetup& setup);

// The driver's back end for Direct3D objects made from now on.
void GxTestUseBackend(GxTestBackend backend);
