// The owning engine fixture: start-up in order, and shut-down of whatever was reached.
#include "gfx/testsupport/engine_fixture.h"

#include "gfx/anim/hierarchy_testing.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/d3d9/d3d9_testing.h"

namespace {

// The back end the driver's adapter names when it runs on OpenGL.
constexpr const char* kOpenGLDriverName = "opengl";

bool IsOnOpenGL()
{
    D3DADAPTER_IDENTIFIER9 id = {};
    IDirect3D9* d3d = GxD3D9Direct3D();
    return d3d != nullptr && SUCCEEDED(d3d->GetAdapterIdentifier(0, 0, &id)) &&
           std::string(id.Driver).find(kOpenGLDriverName) != std::string::npos;
}

bool RegisterImages(unsigned images)
{
    if ((images & kGxTestImagesPng) && !GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr)) {
        return false;
    }
    return !(images & kGxTestImagesBmp) || GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP);
}

}  // namespace

void GxTestUseBackend(GxTestBackend backend)
{
    GxD3D9TestUseBackend(backend == GxTestBackend::kOpenGL ? "opengl" : "software");
}

bool GxTestProcessEngineStart(const GxTestEngineSetup& setup)
{
    // Never destroyed: what the process made with the engine may be released at exit after it.
    static const GxTestEngine* engine = new GxTestEngine(setup);
    return engine->Ok();
}

GxTestEngine::GxTestEngine(GxTestEngineSetup setup)
{
    if (!Start(setup)) {
        Shutdown();
    }
}

GxTestEngine::~GxTestEngine() { Shutdown(); }

bool GxTestEngine::Fail(const char* what, bool glMissing)
{
    m_failure = what;
    m_glMissing = glMissing;
    return false;
}

bool GxTestEngine::Start(const GxTestEngineSetup& setup)
{
    const bool gl = setup.backend == GxTestBackend::kOpenGL;
    if (setup.backend == GxTestBackend::kRecording) {
        GxTestDeviceInstall();
    } else {
        m_onDriver = true;
        GxTestUseBackend(setup.backend);
        // The window is made for OpenGL, so a video driver without GL has none to give.
        m_window = GxD3D9TestWindow(setup.width, setup.height);
        if (m_window == nullptr) {
            return Fail(gl ? "no OpenGL window here" : "no window for the driver", gl);
        }
        GxEngineSetDriver(GxD3D9GetDriver());
    }
    // The game opens one engine; a test program opens many with other plugins, and one an engine leaves out must
    // not keep the offset an earlier engine gave it.
    GxAnimHierarchyForgetPlugin();
    if (!GxEngineInit(setup.memory, setup.initFlags, setup.arenaSize)) {
        return Fail("the engine does not initialise");
    }
    if (setup.plugins && !setup.plugins()) {
        return Fail("a plugin does not attach");
    }
    if (setup.start) {
        const bool opened = m_onDriver ? OpenOnDriver(setup) : GxTestEngineOpenAndStart();
        if (!opened) {
            return m_failure.empty() ? Fail("the engine does not open and start") : false;
        }
    }
    // Closed at shut-down even when only the manager opened.
    m_filesOpen = setup.files;
    if (setup.files && !GxTestFileSystemOpen()) {
        return Fail("the host's file system does not open");
    }
    if (!RegisterImages(setup.images)) {
        return Fail("an image format does not register");
    }
    GxTestTakeError();
    return true;
}

bool GxTestEngine::OpenOnDriver(const GxTestEngineSetup& setup)
{
    const bool gl = setup.backend == GxTestBackend::kOpenGL;
    if (!GxEngineOpen(&m_window)) {
        return Fail(gl ? "no OpenGL context here" : "the engine does not open on the driver", gl);
    }
    if (gl && !IsOnOpenGL()) {
        return Fail("the OpenGL back end is not available", true);
    }
    // The mode list is built by the first query, as the launcher's is; a mode is chosen from it.
    if ((gl || setup.firstVideoMode) && (GxEngineGetNumVideoModes() < 1 || !GxEngineSetVideoMode(0))) {
        return Fail("the driver's first video mode is refused");
    }
    return GxEngineStart() || Fail("the engine does not start on the driver");
}

void GxTestEngine::Shutdown()
{
    if (m_filesOpen) {
        GxFileSystemManagerClose();
        m_filesOpen = false;
    }
    GxTestEngineShutdown();
    if (m_onDriver) {
        // Later tests choose their own back end.
        unsetenv("MALL_D3D9_BACKEND");
        m_onDriver = false;
    }
    if (m_window != nullptr) {
        DestroyWindow(m_window);
        m_window = nullptr;
    }
}
