// The application object: the game window, the input adapters, start-up, the timed main loop and teardown.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/win32/windows.h"

class CFerroxGame;
class CFerroxTagTree;
class CFerroxWin32Mouse;
class CFerroxWin32Keyboard;

// Class name of the game window; also the game's name at start-up.
extern const char* const kFerroxWindowClass;

// One window message waiting for the next frame.
struct QueuedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The game window: its class, the window itself and the directory the program started in.
class CFerroxWindow {
public:
    CFerroxWindow();
    // Registers the class, creates the hidden window and takes the start directory; 0 on failure.
    virtual HWND Create(HINSTANCE instance);
    virtual void Destroy();
    virtual void Init();
    virtual ~CFerroxWindow();

    HWND GetHandle() const { return m_hWnd; }
    // The working directory at creation; null before Create.
    const char* GetStartDirectory() const { return m_hasStartDirectory ? m_startDirectory.c_str() : nullptr; }

    HINSTANCE m_hInstance;
    HWND m_hWnd;

private:
    std::string m_startDirectory;
    bool m_hasStartDirectory;
};

class CFerroxApp {
public:
    CFerroxApp();
    virtual ~CFerroxApp();
    virtual void CloseEngine();
    virtual HWND GetWindow();
    virtual HINSTANCE GetInstance();
    virtual int IsFullScreen();
    virtual int IsStarted();
    virtual int32_t GetAppValue();
    virtual int32_t SetAppValue(int32_t value);
    virtual float GetTotalTime();
    virtual void Quit();
    virtual int OpenFileSystems();
    virtual void CloseFileSystems();
    virtual int RegisterImageFormats();
    virtual int AttachPlugins();
    // The game chooses the adapter and mode, which are set whatever it answers. Its answer (0: the player
    // declined), or 0 with a start failure named when the engine refuses the choice.
    virtual int SelectVideoMode();
    virtual void Tick(float frameTime);
    virtual int Run();
    virtual int Start();
    virtual void Stop();
    virtual int Create(HINSTANCE instance);
    virtual void Release();
    virtual void Init();
    virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Hands the queued input to the adapters, oldest first.
    void DispatchInput();
    size_t GetQueuedCount() const { return m_queue.size(); }
    int IsQuitting() const { return m_quit; }
    CFerroxWindow* GetWindowObject() const { return m_pWindow.get(); }

    // A run of a fixed number of frames (0: until quit), saving the last frame as a BMP when a name is given.
    void SetFrameLimit(int frames, const char* screenshot);
    // What the last failed Start stopped at; null after a successful one.
    const char* GetStartFailure() const { return m_startFailure.empty() ? nullptr : m_startFailure.c_str(); }

    float m_frameTime;
    float m_totalTime;
    float m_previousTotalTime;
    HWND m_hWnd;
    HINSTANCE m_hInstance;
    int32_t m_fullScreenWidth;
    int32_t m_fullScreenHeight;
    int32_t m_quit;
    int32_t m_started;
    int32_t m_fullScreen;
    int32_t m_appValue;
    std::unique_ptr<CFerroxWindow> m_pWindow;
    std::unique_ptr<CFerroxWin32Mouse> m_pMouse;
    std::unique_ptr<CFerroxWin32Keyboard> m_pKeyboard;
    std::deque<QueuedMessage> m_queue;
    CFerroxGame* m_pGame;

private:
    void Queue(UINT message, WPARAM wParam, LPARAM lParam);
    void DiscardWaitingInput();
    void EndLimitedFrame();
    int Fail(const std::string& step);
    // Loads ./setup.xml into the settings tree, published as g_pFerroxSetupTree.
    void ReadSetupTree();

    // The settings tree read at start-up, published as g_pFerroxSetupTree until Stop.
    std::unique_ptr<CFerroxTagTree> m_pSetupTree;
    int m_frameLimit;
    int m_framesRun;
    std::string m_screenshot;
    std::string m_startFailure;
};

// The application singleton and the window procedure that forwards to it.
extern CFerroxApp* g_pFerroxApp;
LRESULT CALLBACK WindowProcThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Frames of a fixed length: the main loop's clock starts again at 0 and each frame is `milliseconds` later than the
// one before (0: the real clock).
void FerroxSetFixedStep(int milliseconds);
// The fixed-step clock's time so far, in seconds.
double FerroxFixedStepSeconds();
// Attaches the application's graphics plugins in start-up's order, between engine init and open; 0 on the first
// that fails.
int FerroxAttachGraphicsPlugins();
// The game window counts as the front one whatever the window system says, so a run on a display shared with
// other clients never waits for the focus.
void FerroxSetWindowAlwaysInFront(bool on);

// Shows the game window, in full screen as a popup that keeps its client area.
void ShowAppWindow(HWND window, int fullScreen);
// Sizes the window so that its client area is width x height, moving it only as far as it takes to keep it on the
// screen.
void FitWindowToClient(HWND window, int width, int height);

// The game window's class and the window itself, hidden, with an 800 x 600 client area; 0 when either fails.
ATOM RegisterWindowClass(HINSTANCE instance);
HWND CreateAppWindow(HINSTANCE instance);

// The program's entry sequence over its two singletons: create the application and its window, create the
// game, start, run, and tear both down. Returns 0 at once when a previous instance is given. A failed start
// destroys the application only: the game stays as the start left it until the program ends.
struct FerroxProgram {
    CFerroxApp* (*appInstance)();
    void (*appDestroy)();
    CFerroxGame* (*gameInstance)(CFerroxGame** out);
    void (*gameDestroy)();
};
int FerroxWinMain(const FerroxProgram& program, HINSTANCE instance, HINSTANCE previous);
