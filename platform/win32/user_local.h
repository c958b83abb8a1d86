// Private state shared by the windowing stand-in's sources: window records, the message queue, input state.
#pragma once

#include <SDL.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/win32_sdl.h"
#include "platform/win32/winbase.h"
#include "platform/win32/winuser.h"

struct UserClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int cbWndExtra = 0;
    HINSTANCE instance = nullptr;
};

struct UserWindow {
    HWND handle = nullptr;
    SDL_Window* sdl = nullptr;  // null for child windows, which only keep their geometry
    Uint32 sdlId = 0;
    WNDPROC proc = nullptr;
    UINT classStyle = 0;
    HINSTANCE instance = nullptr;
    HMENU menu = nullptr;
    HWND parent = nullptr;
    LONG style = 0;       // without the state bits WS_VISIBLE, WS_MINIMIZE, WS_MAXIMIZE
    LONG frameStyle = 0;  // the style the frame was last laid out with (SWP_FRAMECHANGED)
    LONG exStyle = 0;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    std::vector<unsigned char> extra;
    std::string text;
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool destroying = false;
    bool needsPaint = false;
    // Client area in screen coordinates (for child windows: in the parent's client area).
    int x = 0, y = 0, width = 0, height = 0;
    // Geometry last reported with WM_MOVE and WM_SIZE.
    int reportedX = 0, reportedY = 0, reportedWidth = 0, reportedHeight = 0;
    bool reportedMinimized = false, reportedMaximized = false;
    // lParam of the last key-down, which the characters it types carry.
    LPARAM lastKeyLParam = 1;
};

struct UserMessage {
    MSG msg;
    bool echo;  // the synthetic move of a warp: never merged with real moves
};

struct UserState {
    std::map<std::string, UserClass> classes;  // key: lower-case name
    std::map<uintptr_t, std::unique_ptr<UserWindow>> windows;
    std::vector<std::unique_ptr<UserWindow>> dead;  // freed when no procedure is running
    std::vector<SDL_Window*> zombies;               // SDL windows of destroyed windows that a GL context still uses
    uintptr_t nextHandle = 0x10000;
    ATOM nextAtom = 0xC000;
    HWND foreground = nullptr;
    HWND capture = nullptr;
    int procDepth = 0;
    bool videoReady = false;

    std::mutex queueLock;  // thread messages (PostMessage to no window) may come from other threads
    std::deque<UserMessage> queue;
    bool quitPending = false;
    int quitCode = 0;

    int cursorCount = 0;
    bool cursorKnown = false;
    POINT cursor = {0, 0};
    // A warp whose report from SDL may still come (screen coordinates).
    bool warpPending = false;
    POINT warp = {0, 0};
    Uint32 warpTicks = 0;
    // The last warp was not reported: the display may have refused it, leaving the device's pointer elsewhere.
    bool warpUnanswered = false;
    bool (*warpGate)(void) = nullptr;  // asked whether the display takes a warp (Win32SetWarpGate); none in the game
    bool clipActive = false;
    RECT clip = {0, 0, 0, 0};
    unsigned char keyDown[256] = {};
    unsigned char keyToggled[256] = {};
};

UserState& User();

// SDL video, initialised on first need; false when it cannot start.
bool UserVideoInit();

// Destroys the SDL window of a destroyed window, or hides it and keeps it
// while a GL context is still current on it (the renderer stops after the
// window is gone); UserFreeZombies destroys those kept once released.
void UserReleaseSdlWindow(SDL_Window* window);
void UserFreeZombies();

// The live window of a handle (also during its WM_DESTROY), or null with ERROR_INVALID_WINDOW_HANDLE.
UserWindow* UserFind(HWND hwnd);
UserWindow* UserFindSdl(Uint32 windowId);

// Calls the window's procedure; 0 when the window is gone.
LRESULT UserSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Appends a message to the queue; `echo` marks the synthetic move of a warp.
void UserPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool echo = false);
// Appends a WM_MOUSEMOVE, or updates the real move at the end of the queue (Win32 keeps one).
void UserPostMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam);
// Drops every queued message of the window.
void UserForgetMessages(HWND hwnd);

// Re-reads the window's geometry and sends WM_SIZE and WM_MOVE for what changed.
void UserSyncGeometry(HWND hwnd);
// Window activation: the foreground window gets WM_ACTIVATEAPP, WM_ACTIVATE and WM_SETFOCUS.
void UserActivate(HWND hwnd);
void UserDeactivate(HWND hwnd);

// Frame thickness around the client area for a style: left, top, right, bottom.
void UserFrameInsets(LONG style, BOOL menu, LONG exStyle, RECT* insets);

// Input translation, called while the queue is pumped.
void UserTranslateKey(const SDL_KeyboardEvent& e);
void UserTranslateText(const SDL_TextInputEvent& e);
void UserTranslateMotion(const SDL_MouseMotionEvent& e);
void UserTranslateButton(const SDL_MouseButtonEvent& e);
void UserTranslateWheel(const SDL_MouseWheelEvent& e);
// Current MK_* flags.
WPARAM UserMouseKeyFlags();
// Forgets held keys when the application loses the keyboard.
void UserReleaseKeys();
// Applies the cursor clip to the windows (after a move or resize).
void UserApplyClip();

// The keys of a US keyboard: SDL scancode, set-1 code (plus kUserExtendedKey for the E0 keys) and virtual key.
struct UserKey {
    SDL_Scancode sdl;
    int scanCode;
    int virtualKey;
};
constexpr int kUserExtendedKey = 0x100;
extern const UserKey kUserKeys[];
extern const size_t kUserKeyCount;

// Key tables (SDL scancode to set-1 code and virtual key), exposed for tests.
// Returns the set-1 code, with 0x100 added for an extended key; 0 when unknown.
int UserScanCodeFromSDL(SDL_Scancode sc);
int UserVirtualKeyFromSDL(SDL_Scancode sc, SDL_Keycode sym);
// The other way, for synthesised input (sendinput.cpp, which the game does not link): the SDL scancode of a virtual key (`extended` picks the E0 key of a
// pair such as Return and keypad Enter) or of a set-1 code with 0x100 for an extended key; unknown when none.
SDL_Scancode UserSDLFromVirtualKey(int vk, bool extended);
SDL_Scancode UserSDLFromScanCode(int scanCode);
