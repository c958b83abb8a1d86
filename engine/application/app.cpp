// The application object: window and class, start-up in its fixed order, the timed main loop with queued
// input, teardown, and the program's entry sequence.
//
// Sections: platform table; window; application fields and small slots; start-up; main loop and window
// procedure; teardown; entry sequence.
#include "engine/application/app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/application/app_local.h"
#include "engine/application/base.h"
#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "engine/data/startup.h"
#include "engine/data/tagtree.h"
#include "engine/world/camera.h"
#include "engine/world/clumpext.h"
#include "gfx/anim/anim.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/core/texture.h"
#include "gfx/core/win32fs.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/world/clump.h"
#include "gfx/world/collision.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

const char* const kFerroxWindowClass = "Ferrox Game";
CFerroxApp* g_pFerroxApp = nullptr;

namespace {

const int kClientWidth = 800;
const int kClientHeight = 600;
const DWORD kWindowStyle = 0xCF0000;  // overlapped window with caption, system menu, frame and boxes
const UINT kClassStyle = CS_BYTEALIGNWINDOW;
const UINT kFullScreenPosFlags = 0x27;  // no size, no move, no z-order change, frame changed
const UINT kKeepOrderFlags = SWP_NOZORDER | SWP_NOACTIVATE;
const GxUInt32 kResourceArenaBytes = 0x400000;
const GxInt32 kMaxFileSystems = 2;
const GxInt32 kMaxOpenFiles = 10;
const char* const kFileSystemName = "KFS";
// Start directories carry a drive prefix ("C:") whose two characters name the file system's device.
const size_t kDeviceNameLength = 2;
// The start directory is read into a buffer of this many characters, and the file systems open on one no longer.
const int kMaxStartDirectory = 260;
const GxUInt32 kRefreshRate = 85;
const GxInt32 kVideoModeExclusive = 0x1;
const float kFirstFrameTime = 0.001f;
const LPARAM kKeyWasDown = 0x40000000;  // lParam bit 30: the key was already down (auto-repeat)
const char* const kSetupFile = "./setup.xml";
const char* const kDataFile = "./data.xml";

BOOL RealPeekMessageA(LPMSG m, HWND h, UINT a, UINT b, UINT r) { return PeekMessageA(m, h, a, b, r); }
BOOL RealPeekMessageW(LPMSG m, HWND h, UINT a, UINT b, UINT r) { return PeekMessageW(m, h, a, b, r); }
BOOL RealTranslateMessage(const MSG* m) { return TranslateMessage(m); }
LRESULT RealDispatchMessageW(const MSG* m) { return DispatchMessageW(m); }
HWND RealGetForegroundWindow() { return GetForegroundWindow(); }
BOOL RealClipCursor(const RECT* r) { return ClipCursor(r); }
HWND RealSetCapture(HWND h) { return SetCapture(h); }
BOOL RealQueryPerformanceFrequency(LARGE_INTEGER* f) { return QueryPerformanceFrequency(f); }
BOOL RealQueryPerformanceCounter(LARGE_INTEGER* c) { return QueryPerformanceCounter(c); }

// The driver's plugins come from the program's start-up table; one the table leaves out is passed over.
GxBool AttachFromStartup(GxBool (*attach)(void)) { return attach ? attach() : 1; }

// Worlds and their objects, then the driver's world and sector pipelines, which need the world's registries.
GxBool AttachWorld() { return GxWorldPluginAttach() && AttachFromStartup(FerroxGetStartup().attachWorldPipelines); }
GxBool AttachSkin() { return AttachFromStartup(FerroxGetStartup().attachSkin); }
GxBool AttachMaterialEffects() { return AttachFromStartup(FerroxGetStartup().attachMaterialEffects); }
GxBool AttachParticleTanks() { return AttachFromStartup(FerroxGetStartup().attachParticleTanks); }

void SetRefreshRate(GxUInt32 rate)
{
    if (FerroxGetStartup().setRefreshRate)
        FerroxGetStartup().setRefreshRate(rate);
}

const FerroxAppPlatform kRealPlatform = {
    GxEngineInit,
    GxEngineOpen,
    GxEngineStart,
    GxEngineStop,
    GxEngineClose,
    GxEngineTerm,
    GxEngineGetCurrentSubSystem,
    GxEngineSetSubSystem,
    GxEngineSetVideoMode,
    GxEngineGetVideoModeInfo,
    SetRefreshRate,
    RealPeekMessageA,
    RealPeekMessageW,
    RealTranslateMessage,
    RealDispatchMessageW,
    RealGetForegroundWindow,
    RealClipCursor,
    RealSetCapture,
    RealQueryPerformanceFrequency,
    RealQueryPerformanceCounter,
    {
        {"LOD atomics", GxLODAtomicPluginAttach},
        {"world", AttachWorld},
        {"keyframe animation", GxAnimPluginAttach},
        {"hierarchical animation", GxAnimHierarchyPluginAttach},
        {"skinning", AttachSkin},  // the skin plugin with the driver's skin pipeline
        {"collision", GxCollisionPluginAttach},
        {"user data", GxUserDataPluginAttach},
        {"splines", GxSplinePluginAttach},
        {"clump extension", AttachClumpExtension},
        {"material effects", AttachMaterialEffects},
        {"UV animation", GxUVAnimPluginAttach},
        {"particle tanks", AttachParticleTanks},  // the tank plugin with the driver's tank callbacks
        {"standard particles", GxParticlePluginAttach},
    },
};

FerroxAppPlatform g_platform = kRealPlatform;

FerroxAppPlatform& P() { return g_platform; }

}  // namespace

FerroxAppPlatform& FerroxGetAppPlatform() { return g_platform; }

void FerroxResetAppPlatform() { g_platform = kRealPlatform; }

// ---- fixed-step frames and the window in front ----

namespace {

const LONGLONG kFixedStepTicksPerSecond = 1000;  // the fixed clock counts milliseconds
LONGLONG g_fixedStepClock = 0;
int g_fixedStepMilliseconds = 0;

BOOL FixedStepFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = kFixedStepTicksPerSecond;
    return TRUE;
}

// Each read of the clock is one frame later: the main loop reads it once per frame.
BOOL FixedStepCounter(LARGE_INTEGER* counter)
{
    g_fixedStepClock += g_fixedStepMilliseconds;
    counter->QuadPart = g_fixedStepClock;
    return TRUE;
}

HWND AppWindowInFront() { return g_pFerroxApp ? g_pFerroxApp->GetWindow() : nullptr; }

}  // namespace

void FerroxSetFixedStep(int milliseconds)
{
    g_fixedStepMilliseconds = milliseconds > 0 ? milliseconds : 0;
    g_fixedStepClock = 0;
    const bool fixed = g_fixedStepMilliseconds > 0;
    g_platform.queryPerformanceFrequency = fixed ? FixedStepFrequency : kRealPlatform.queryPerformanceFrequency;
    g_platform.queryPerformanceCounter = fixed ? FixedStepCounter : kRealPlatform.queryPerformanceCounter;
}

double FerroxFixedStepSeconds()
{
    return static_cast<double>(g_fixedStepClock) / static_cast<double>(kFixedStepTicksPerSecond);
}

void FerroxSetWindowAlwaysInFront(bool on)
{
    g_platform.getForegroundWindow = on ? AppWindowInFront : kRealPlatform.getForegroundWindow;
}

// ---- window ----

ATOM RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    wc.style = kClassStyle;
    wc.lpfnWndProc = WindowProcThunk;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kFerroxWindowClass;
    return RegisterClassA(&wc);
}

HWND CreateAppWindow(HINSTANCE instance)
{
    RECT rect = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&rect, kWindowStyle, FALSE);
    return CreateWindowExA(0, kFerroxWindowClass, nullptr, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
}

CFerroxWindow::CFerroxWindow() { Init(); }

CFerroxWindow::~CFerroxWindow() { Destroy(); }

void CFerroxWindow::Init()
{
    m_hInstance = nullptr;
    m_hWnd = nullptr;
    m_startDirectory.clear();
    m_hasStartDirectory = false;
}

HWND CFerroxWindow::Create(HINSTANCE instance)
{
    m_hInstance = instance;
    if (!RegisterWindowClass(instance))
        return nullptr;
    m_hWnd = CreateAppWindow(instance);
    if (!m_hWnd) {
        UnregisterClassA(kFerroxWindowClass, instance);
        return nullptr;
    }
    char* directory = _getcwd(nullptr, kMaxStartDirectory);
    if (directory) {
        m_startDirectory = directory;
        m_hasStartDirectory = true;
        free(directory);
    }
    return m_hWnd;
}

void CFerroxWindow::Destroy()
{
    if (m_hWnd) {
        DestroyWindow(m_hWnd);
        UnregisterClassA(kFerroxWindowClass, m_hInstance);
    }
    Init();
}

// ---- application fields and small slots ----

CFerroxApp::CFerroxApp() : m_previousTotalTime(0.0f), m_frameLimit(0), m_framesRun(0) { Init(); }

CFerroxApp::~CFerroxApp()
{
    Release();
    m_queue.clear();
}

void CFerroxApp::Init()
{
    m_frameTime = 0.0f;
    m_totalTime = 0.0f;
    m_hWnd = nullptr;
    m_hInstance = nullptr;
    m_fullScreenWidth = 0;
    m_fullScreenHeight = 0;
    m_quit = 0;
    m_started = 0;
    m_fullScreen = 0;
    m_appValue = 0;
    m_pWindow = nullptr;
    m_pMouse = nullptr;
    m_pKeyboard = nullptr;
    m_pGame = nullptr;
}

void CFerroxApp::CloseEngine()
{
    P().engineClose();
    P().engineTerm();
}

HWND CFerroxApp::GetWindow() { return m_hWnd; }
HINSTANCE CFerroxApp::GetInstance() { return m_hInstance; }
int CFerroxApp::IsFullScreen() { return m_fullScreen; }
int CFerroxApp::IsStarted() { return m_started; }
int32_t CFerroxApp::GetAppValue() { return m_appValue; }

int32_t CFerroxApp::SetAppValue(int32_t value)
{
    m_appValue = value;
    return value;
}

float CFerroxApp::GetTotalTime() { return m_totalTime; }

void CFerroxApp::Quit() { m_quit = 1; }

void CFerroxApp::SetFrameLimit(int frames, const char* screenshot)
{
    m_frameLimit = frames > 0 ? frames : 0;
    m_framesRun = 0;
    m_screenshot = screenshot ? screenshot : "";
}

// ---- start-up ----

int CFerroxApp::Create(HINSTANCE instance)
{
    m_pWindow = std::make_unique<CFerroxWindow>();
    m_hWnd = m_pWindow->Create(instance);
    if (!m_hWnd)
        return 0;
    m_pMouse = std::make_unique<CFerroxWin32Mouse>();
    m_pKeyboard = std::make_unique<CFerroxWin32Keyboard>();
    return 1;
}

int CFerroxApp::OpenFileSystems()
{
    const char* directory = m_pWindow ? m_pWindow->GetStartDirectory() : nullptr;
    const size_t length = directory ? strlen(directory) : 0;
    if (length < 1 || length > static_cast<size_t>(kMaxStartDirectory))
        return 0;
    if (!GxFileSystemManagerOpen(kMaxFileSystems))
        return 0;
    const std::string device(directory, std::min(length, kDeviceNameLength));
    GxFileSystem* files = GxWin32FileSystemCreate(kMaxOpenFiles, device.c_str(), kFileSystemName);
    if (!files)
        return 0;
    if (!GxFileSystemRegister(files))
        return 0;
    return GxFileSystemManagerSetDefault(files) ? 1 : 0;
}

void CFerroxApp::CloseFileSystems()
{
    GxFileSystem* files = GxFileSystemManagerGetDefault();
    if (files)
        GxFileSystemUnregister(files);
    GxFileSystemManagerClose();
}

int CFerroxApp::RegisterImageFormats()
{
    if (!GxImageRegisterImageFormat("bmp", GxImageReadBMP, nullptr))
        return 0;
    if (!GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr))
        return 0;
    // The driver's texture files are textures, not images: the texture read tries them first, then the images.
    return FerroxInstallTextureReader();
}

int FerroxAttachGraphicsPlugins()
{
    for (const FerroxPluginStep& step : P().plugins) {
        if (step.attach && !step.attach())
            return 0;
    }
    return 1;
}

int CFerroxApp::AttachPlugins() { return FerroxAttachGraphicsPlugins(); }

int CFerroxApp::SelectVideoMode()
{
    int adapter = P().getCurrentSubSystem();
    int mode = 0;
    const int result = m_pGame->ChooseVideoMode(&adapter, &mode);
    // The choice is applied whatever the launcher answered; a launcher left (0) then ends the start.
    if (!P().setSubSystem(adapter) || !P().setVideoMode(mode))
        return Fail("the chosen video mode cannot be set");
    GxVideoMode info = {};
    if (P().getVideoModeInfo(&info, mode) && (info.flags & kVideoModeExclusive)) {
        m_fullScreenWidth = info.width;
        m_fullScreenHeight = info.height;
        m_fullScreen = 1;
        // An exclusive mode's screen is the window: its client area is the mode before the device starts on it.
        FitWindowToClient(m_hWnd, info.width, info.height);
    }
    return result;
}

std::string g_ferroxDebugFileName;

namespace {

void ReadDebugFile(CFerroxTagTree* setup)
{
    g_ferroxDebugFileName.clear();
    if (!setup->FindNode("Debug_Data", 1) || !setup->FindChild("DebugFile"))
        return;
    const char* value = setup->GetValue(0);
    if (value)
        g_ferroxDebugFileName = value;
}

}  // namespace

int CFerroxApp::Start()
{
    m_startFailure.clear();
    if (!m_pGame)
        return Fail("no game object");
    m_pGame->SetStartDirectory(m_pWindow ? m_pWindow->GetStartDirectory() : nullptr);
    GxEngineSetDriver(FerroxGetStartup().driver);
    if (!P().engineInit(nullptr, 0, kResourceArenaBytes))
        return Fail("the graphics engine does not initialise");
    OpenFileSystems();
    g_FerroxDebugSettings.Load(kDataFile);
    ReadSetupTree();
    ReadDebugFile(g_pFerroxSetupTree);
    if (!AttachPlugins())
        return Fail("a graphics plugin does not attach");
    if (!P().engineOpen(&m_hWnd))
        return Fail("the graphics engine does not open on the window");
    if (!SelectVideoMode()) {
        // The player leaving the mode choice is no failure: the program ends quietly, with no failure named.
        CloseEngine();
        return 0;
    }
    P().setRefreshRate(kRefreshRate);
    if (!P().engineStart()) {
        CloseEngine();
        return Fail("the graphics engine does not start");
    }
    m_started = 1;
    if (!RegisterImageFormats())
        return Fail("the image formats do not register");
    if (!m_pGame->Create(m_hWnd, kFerroxWindowClass))
        return Fail(m_pGame->GetStartFailure() ? m_pGame->GetStartFailure() : "the game does not start");
    if (m_pMouse)
        m_pMouse->HideCursor();
    ShowAppWindow(m_hWnd, m_fullScreen);
    return 1;
}

int CFerroxApp::Fail(const std::string& step)
{
    m_startFailure = step;
    return 0;
}

namespace {

// Where a window edge goes so that `size` pixels from it stay on a screen of `screen` pixels, starting from `at`.
int OnScreen(int at, int size, int screen)
{
    if (at + size > screen)
        at = screen - size;
    return at < 0 ? 0 : at;
}

}  // namespace

void FitWindowToClient(HWND window, int width, int height)
{
    RECT rect = {0, 0, width, height};
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    AdjustWindowRectEx(&rect, static_cast<DWORD>(style), GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    const int outerWidth = rect.right - rect.left;
    const int outerHeight = rect.bottom - rect.top;
    // A window grown for a larger mode is moved back onto the screen as far as it fits.
    RECT place = {};
    if (!GetWindowRect(window, &place))
        return;
    const int x = OnScreen(place.left, outerWidth, GetSystemMetrics(SM_CXSCREEN));
    const int y = OnScreen(place.top, outerHeight, GetSystemMetrics(SM_CYSCREEN));
    SetWindowPos(window, nullptr, x, y, outerWidth, outerHeight, kKeepOrderFlags);
}

// Whatever the file holds is read as far as it reads: a missing file leaves an empty tree, which every reader of a
// key takes for its defaults and which is never saved (it did not load).
void CFerroxApp::ReadSetupTree()
{
    m_pSetupTree = std::make_unique<CFerroxTagTree>();
    g_pFerroxSetupTree = m_pSetupTree.get();
    g_pFerroxSetupTree->Load(kSetupFile);
}

void ShowAppWindow(HWND window, int fullScreen)
{
    if (fullScreen) {
        // Without its frame the window would grow its client area by the frame; it keeps the mode's size.
        RECT client = {};
        const bool sized = GetClientRect(window, &client) != 0;
        SetWindowLongA(window, GWL_STYLE, WS_POPUP);
        SetWindowPos(window, nullptr, 0, 0, 0, 0, kFullScreenPosFlags);
        if (sized)
            FitWindowToClient(window, client.right, client.bottom);
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

// ---- main loop and window procedure ----

void CFerroxApp::Tick(float frameTime)
{
    m_pGame->Render();
    m_pGame->Update(frameTime);
    if (m_frameLimit)
        EndLimitedFrame();
}

void CFerroxApp::EndLimitedFrame()
{
    if (++m_framesRun < m_frameLimit)
        return;
    if (!m_screenshot.empty()) {
        // The harness that asked for it finds the file, or its absence.
        if (CFerroxCamera* camera = m_pGame ? m_pGame->m_pCamera.get() : nullptr)
            camera->SaveScreenshot(m_screenshot.c_str(), camera->GetWidth(), camera->GetHeight());
    }
    Quit();
}

void CFerroxApp::DiscardWaitingInput()
{
    MSG msg;
    while (P().peekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSEWHEEL, PM_REMOVE)) {}
    while (P().peekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {}
}

int CFerroxApp::Run()
{
    DiscardWaitingInput();
    P().setCapture(m_hWnd);
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER previous = {};
    P().queryPerformanceFrequency(&frequency);
    P().queryPerformanceCounter(&previous);
    Tick(kFirstFrameTime);
    if (m_quit)
        return 0;
    const float reciprocal = 1.0f / static_cast<float>(frequency.QuadPart);
    while (!m_quit) {
        LARGE_INTEGER now = {};
        P().queryPerformanceCounter(&now);
        m_frameTime = static_cast<float>(now.QuadPart - previous.QuadPart) * reciprocal;
        m_previousTotalTime = m_totalTime;
        m_totalTime += m_frameTime;
        const bool inFront = P().getForegroundWindow() == m_hWnd;
        if (!inFront)
            P().clipCursor(nullptr);
        MSG msg;
        bool quitTaken = false;
        while (P().peekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                m_quit = 1;
                quitTaken = true;
                break;
            }
            P().translateMessage(&msg);
            P().dispatchMessageW(&msg);
        }
        if (quitTaken)
            break;
        if (inFront) {
            DispatchInput();
            Tick(m_frameTime);
        }
        previous = now;
    }
    return 0;
}

void CFerroxApp::Queue(UINT message, WPARAM wParam, LPARAM lParam)
{
    m_queue.push_back(QueuedMessage{message, wParam, lParam});
}

LRESULT CFerroxApp::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        ClipCursor(nullptr);
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
        if (m_pMouse)
            m_pMouse->ClipToWindow(hwnd, m_fullScreen);
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
        if (lParam & kKeyWasDown)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        Queue(message, wParam, lParam);
        return 0;
    case WM_KEYUP:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
        Queue(message, wParam, lParam);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

namespace {

// The button a press or release message is about, as a bit (left 1, right 2, middle 4); 0 for other messages.
unsigned ButtonOf(UINT message)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 1u;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 2u;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return 4u;
    default:
        return 0u;
    }
}

bool IsButtonUp(UINT message) { return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP; }

}  // namespace

void CFerroxApp::DispatchInput()
{
    // A frame sees a button down only when its release comes in a later frame: the release of a button pressed
    // in this pass, and everything after it, wait for the next pass, so a quick click is a click.
    unsigned pressed = 0;
    while (!m_queue.empty()) {
        const QueuedMessage msg = m_queue.front();
        const unsigned button = ButtonOf(msg.message);
        if (IsButtonUp(msg.message) && (pressed & button))
            return;
        if (button && !IsButtonUp(msg.message))
            pressed |= button;
        m_queue.pop_front();
        if (msg.message >= WM_KEYDOWN && msg.message <= WM_CHAR) {
            if (m_pKeyboard)
                m_pKeyboard->HandleMessage(msg.message, msg.wParam, msg.lParam);
        } else if (msg.message >= WM_MOUSEMOVE && msg.message <= WM_MOUSEWHEEL) {
            if (m_pMouse)
                m_pMouse->HandleMessage(msg.message, msg.wParam, msg.lParam);
        }
    }
}

LRESULT CALLBACK WindowProcThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_pFerroxApp)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return g_pFerroxApp->WindowProc(hwnd, message, wParam, lParam);
}

// ---- teardown ----

void CFerroxApp::Stop()
{
    g_pFerroxSetupTree = nullptr;
    m_pSetupTree.reset();
    CloseFileSystems();
    // An engine that never started stays as the failed start left it.
    if (!m_started)
        return;
    P().engineStop();
    CloseEngine();
    m_started = 0;
}

void CFerroxApp::Release()
{
    Stop();
    m_pKeyboard.reset();
    m_pMouse.reset();
    m_pWindow.reset();
    Init();
}

// ---- entry sequence ----

namespace {

// Names a failed start's reason on standard error; 1 when there was one, 0 when not.
int TellStartFailure(const char* reason)
{
    if (!reason)
        return 0;
    fprintf(stderr, "%s: cannot start: %s\n", kFerroxWindowClass, reason);
    return 1;
}

}  // namespace

int FerroxWinMain(const FerroxProgram& program, HINSTANCE instance, HINSTANCE previous)
{
    if (previous)
        return 0;
    CFerroxApp* app = program.appInstance();
    if (!app)
        return 0;
    if (!app->Create(instance)) {
        program.appDestroy();
        return 0;
    }
    program.gameInstance(&app->m_pGame);
    if (!app->Start()) {
        // The game is left as the failed start left it; the application goes.
        const int result = TellStartFailure(app->GetStartFailure());
        program.appDestroy();
        return result;
    }
    int result = app->Run();
    // A game that cannot set itself up ends its first frames: that start failed too.
    if (app->m_pGame && TellStartFailure(app->m_pGame->GetStartFailure()))
        result = 1;
    program.gameDestroy();
    program.appDestroy();
    return result;
}
