// Window classes, windows and their geometry, activation and system metrics over SDL windows.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

#include "platform/win32/user_local.h"
#include "platform/win32/win32_sdl.h"

namespace {

// Frame metrics of our imaginary window frame. The caption is as tall as a
// menu bar so that a client area computed from the window rectangle with
// SM_CYMENU (as the engine does when it clips the cursor) is the real one.
const int kBorder = 1;
const int kDialogFrame = 3;
const int kSizingFrame = 4;
const int kCaption = 20;
const int kMenu = 20;
const int kEdge = 2;
const int kDefaultClientWidth = 640;
const int kDefaultClientHeight = 480;

std::string ClassKey(LPCSTR name)
{
    std::string key;
    if (name == nullptr)
        return key;
    uintptr_t value = reinterpret_cast<uintptr_t>(name);
    if (value <= 0xFFFF) {
        for (auto& entry : User().classes)
            if (entry.second.atom == value)
                return entry.first;
        return key;
    }
    for (const char* p = name; *p != '\0'; ++p)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return key;
}

ATOM AddClass(const UserClass& cls)
{
    UserState& u = User();
    std::string key = ClassKey(cls.name.c_str());
    if (key.empty() || cls.proc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (u.classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    UserClass copy = cls;
    copy.atom = u.nextAtom++;
    u.classes[key] = copy;
    return copy.atom;
}

bool IsFullscreen(const UserWindow* w)
{
    return w->sdl != nullptr && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0;
}

// Refreshes the cached client rectangle from SDL; a minimised window keeps
// the rectangle it will be restored to.
void ReadGeometry(UserWindow* w)
{
    if (w->sdl == nullptr || w->minimized)
        return;
    SDL_GetWindowPosition(w->sdl, &w->x, &w->y);
    SDL_GetWindowSize(w->sdl, &w->width, &w->height);
}

void ApplyFrame(UserWindow* w)
{
    if (w->sdl == nullptr)
        return;
    bool framed = (w->frameStyle & (WS_CAPTION | WS_THICKFRAME)) != 0;
    SDL_SetWindowBordered(w->sdl, framed ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(w->sdl, (w->frameStyle & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
}

BOOL MenuOf(const UserWindow* w) { return w->menu != nullptr && (w->style & WS_CHILD) == 0; }

void ScreenOrigin(HWND hwnd, int* x, int* y)
{
    *x = 0;
    *y = 0;
    for (UserWindow* w = UserFind(hwnd); w != nullptr; w = UserFind(w->parent)) {
        ReadGeometry(w);
        *x += w->x;
        *y += w->y;
        if (w->sdl != nullptr || w->parent == nullptr)
            break;
    }
}

void ShowSdl(UserWindow* w, bool show)
{
    if (show == w->visible)
        return;
    HWND h = w->handle;
    UserSend(h, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    w = UserFind(h);
    if (w == nullptr)
        return;
    if (w->sdl != nullptr) {
        if (show)
            SDL_ShowWindow(w->sdl);
        else
            SDL_HideWindow(w->sdl);
    }
    w->visible = show;
    w->needsPaint = show;
}

void DestroyChildren(HWND parent)
{
    std::vector<HWND> children;
    for (auto& entry : User().windows)
        if (entry.second->parent == parent)
            children.push_back(entry.second->handle);
    for (HWND child : children)
        DestroyWindow(child);
}

constexpr int kMaxVideoReferences = 1024;

}  // namespace

// The video subsystem loads the GL library, and Mesa, its LLVM and (under X11) the session bus library keep
// allocations for the life of the process. Every program that opens a window would otherwise fail its leak check
// on them; a program may still define its own list.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions()
{
    return "leak:_dri.so\nleak:libLLVM\nleak:libgallium\nleak:libglapi\nleak:_mesa.so\nleak:libdbus-1.so\n";
}

// The leak checker's tracer crashed now and then (about one GL program's exit in a hundred on a loaded machine)
// walking the records it keeps of the driver modules' dynamic thread-local storage, which it gathers by
// intercepting __tls_get_addr. None of our memory lives only there, so the records are not kept. A strong
// definition: the sanitizer runtime's own default is weak.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

namespace {

// Keeps a loaded module mapped for the rest of the process: NOLOAD only adds the flag to the module already there.
int PinModule(struct dl_phdr_info* info, size_t, void*)
{
    if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0')
        return 0;
    if (void* handle = dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
        dlclose(handle);
    return 0;
}

// The video subsystem, and with it the GL library and its driver's rasteriser threads, lives until the process
// ends. Ending it before the leak checker runs joins those threads, which the checker's tracer could crash on.
// Every module stays mapped, so what a driver keeps is still attributed to it and matched by its suppression.
void UserVideoQuitAtExit()
{
    if (!User().videoReady)
        return;
    dl_iterate_phdr(PinModule, nullptr);
    User().zombies.clear();
    User().videoReady = false;
    SDL_GL_UnloadLibrary();
    // Devices a program never released still hold references of their own.
    for (int held = 0; held < kMaxVideoReferences && SDL_WasInit(SDL_INIT_VIDEO) != 0; ++held)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

UserState& User()
{
    static UserState state;
    return state;
}

constexpr char kGlDriverThreadOption[] = "mesa_glthread";
// The driver announces on the console every option the environment sets unless its messages are silenced; its
// other messages are off in release builds either way.
constexpr char kGlDriverMessages[] = "MESA_DEBUG";

void Win32ChooseGlDriverOptions(void)
{
    setenv(kGlDriverMessages, "silent", 0);
    setenv(kGlDriverThreadOption, "true", 0);
}

bool UserVideoInit()
{
    UserState& u = User();
    if (u.videoReady)
        return true;
    // The application decides what closing the last window means, and a
    // full-screen window must survive losing the focus.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // With no display and no driver asked for, windows are drawn offscreen rather than not at all.
    if (std::getenv("SDL_VIDEODRIVER") == nullptr && !Win32HasDisplay())
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    Win32ChooseGlDriverOptions();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "win32: cannot start SDL video: %s\n", SDL_GetError());
        return false;
    }
    u.videoReady = true;
    static const bool exitHook = std::atexit(UserVideoQuitAtExit) == 0;
    (void)exitHook;
    // Hold the GL library for good: SDL unloads it with the last GL window,
    // and a reload per window leaks inside the driver.
    if (SDL_GL_LoadLibrary(nullptr) != 0)
        SDL_ClearError();
    SDL_ShowCursor(u.cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return true;
}

void UserReleaseSdlWindow(SDL_Window* window)
{
    if (window == nullptr)
        return;
    if (SDL_GL_GetCurrentWindow() != window) {
        SDL_DestroyWindow(window);
        return;
    }
    SDL_HideWindow(window);
    User().zombies.push_back(window);
}

void UserFreeZombies()
{
    auto& zombies = User().zombies;
    SDL_Window* current = SDL_GL_GetCurrentWindow();
    for (auto it = zombies.begin(); it != zombies.end();) {
        if (*it == current) {
            ++it;
            continue;
        }
        SDL_DestroyWindow(*it);
        it = zombies.erase(it);
    }
}

UserWindow* UserFind(HWND hwnd)
{
    if (hwnd == nullptr)
        return nullptr;
    auto& windows = User().windows;
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

UserWindow* UserFindSdl(Uint32 windowId)
{
    if (windowId == 0)
        return nullptr;
    for (auto& entry : User().windows)
        if (entry.second->sdlId == windowId && !entry.second->destroying)
            return entry.second.get();
    return nullptr;
}

void UserFrameInsets(LONG style, BOOL menu, LONG exStyle, RECT* insets)
{
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizingFrame;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = kDialogFrame;
    else if (style & WS_BORDER)
        frame = kBorder;
    if (exStyle & WS_EX_CLIENTEDGE)
        frame += kEdge;
    int top = frame;
    if ((style & WS_CAPTION) == WS_CAPTION)
        top += kCaption;
    if (menu)
        top += kMenu;
    insets->left = frame;
    insets->top = top;
    insets->right = frame;
    insets->bottom = frame;
}

void UserSyncGeometry(HWND hwnd)
{
    UserWindow* w = UserFind(hwnd);
    if (w == nullptr)
        return;
    ReadGeometry(w);
    bool sized = w->minimized != w->reportedMinimized || w->maximized != w->reportedMaximized ||
                 (!w->minimized && (w->width != w->reportedWidth || w->height != w->reportedHeight));
    bool moved = !w->minimized && (w->x != w->reportedX || w->y != w->reportedY);
    w->reportedMinimized = w->minimized;
    w->reportedMaximized = w->maximized;
    if (!w->minimized) {
        w->reportedWidth = w->width;
        w->reportedHeight = w->height;
        w->reportedX = w->x;
        w->reportedY = w->y;
    }
    WPARAM type = w->minimized ? SIZE_MINIMIZED : w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
    LPARAM size = w->minimized ? 0 : MAKELPARAM(w->width, w->height);
    LPARAM position = MAKELPARAM(w->x, w->y);
    if (sized || moved)
        w->needsPaint = true;
    if (moved)
        UserSend(hwnd, WM_MOVE, 0, position);
    if (sized)
        UserSend(hwnd, WM_SIZE, type, size);
    if (User().clipActive)
        UserApplyClip();
}

void UserActivate(HWND hwnd)
{
    UserState& u = User();
    if (u.foreground == hwnd || UserFind(hwnd) == nullptr)
        return;
    HWND old = u.foreground;
    if (old != nullptr) {
        UserSend(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
        UserSend(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    } else {
        UserSend(hwnd, WM_ACTIVATEAPP, TRUE, 0);
    }
    UserWindow* w = UserFind(hwnd);
    if (w == nullptr)
        return;
    u.foreground = hwnd;
    WPARAM state = WA_ACTIVE | (w->minimized ? 0x10000u : 0u);
    UserSend(hwnd, WM_ACTIVATE, state, reinterpret_cast<LPARAM>(old));
    if (u.foreground == hwnd)
        UserSend(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
}

void UserDeactivate(HWND hwnd)
{
    UserState& u = User();
    if (hwnd == nullptr || u.foreground != hwnd)
        return;
    u.foreground = nullptr;
    UserReleaseKeys();
    UserSend(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    UserSend(hwnd, WM_ACTIVATEAPP, FALSE, 0);
    UserSend(hwnd, WM_KILLFOCUS, 0, 0);
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass)
{
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UserClass cls;
    cls.name = lpWndClass->lpszClassName;
    cls.style = lpWndClass->style;
    cls.proc = lpWndClass->lpfnWndProc;
    cls.cbWndExtra = std::max(0, lpWndClass->cbWndExtra);
    cls.instance = lpWndClass->hInstance;
    return AddClass(cls);
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE)
{
    if (User().videoReady)
        UserFreeZombies();
    std::string key = ClassKey(lpClassName);
    if (key.empty() || User().classes.erase(key) == 0) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return TRUE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    // Only the stock shapes exist; there are no resources to load from.
    uintptr_t id = reinterpret_cast<uintptr_t>(lpCursorName);
    if (hInstance != nullptr || id == 0 || id > 0xFFFF)
        return nullptr;
    return reinterpret_cast<HCURSOR>(id);
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    UserState& u = User();
    auto cls = u.classes.find(ClassKey(lpClassName));
    if (cls == u.classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    LONG style = static_cast<LONG>(dwStyle);
    bool child = (style & WS_CHILD) != 0;
    if (child && UserFind(hWndParent) == nullptr)
        return nullptr;
    if (!child && !UserVideoInit())
        return nullptr;
    UserFreeZombies();

    auto w = std::make_unique<UserWindow>();
    w->proc = cls->second.proc;
    w->classStyle = cls->second.style;
    w->instance = hInstance;
    w->parent = hWndParent;
    if (child)
        w->id = reinterpret_cast<LONG_PTR>(hMenu);
    else
        w->menu = hMenu;
    w->style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    w->frameStyle = w->style;
    w->exStyle = static_cast<LONG>(dwExStyle);
    w->extra.assign(static_cast<size_t>(cls->second.cbWndExtra), 0);
    w->text = lpWindowName != nullptr ? lpWindowName : "";

    RECT in;
    UserFrameInsets(w->style, MenuOf(w.get()), w->exStyle, &in);
    int width = nWidth == CW_USEDEFAULT ? kDefaultClientWidth : nWidth - in.left - in.right;
    int height = nWidth == CW_USEDEFAULT ? kDefaultClientHeight : nHeight - in.top - in.bottom;
    w->width = std::max(1, width);
    w->height = std::max(1, height);
    w->x = X == CW_USEDEFAULT ? 0 : X + in.left;
    w->y = X == CW_USEDEFAULT ? 0 : Y + in.top;
    if (!child) {
        int x = X == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : w->x;
        int y = X == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : w->y;
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
        if (w->style & WS_THICKFRAME)
            flags |= SDL_WINDOW_RESIZABLE;
        if ((w->style & (WS_CAPTION | WS_THICKFRAME)) == 0)
            flags |= SDL_WINDOW_BORDERLESS;
        w->sdl = SDL_CreateWindow(w->text.c_str(), x, y, w->width, w->height, flags);
        if (w->sdl == nullptr) {
            std::fprintf(stderr, "win32: cannot create a window: %s\n", SDL_GetError());
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        w->sdlId = SDL_GetWindowID(w->sdl);
        ReadGeometry(w.get());
    }
    w->reportedX = w->x;
    w->reportedY = w->y;
    w->reportedWidth = w->width;
    w->reportedHeight = w->height;

    HWND hwnd = reinterpret_cast<HWND>(u.nextHandle);
    u.nextHandle += 4;
    w->handle = hwnd;
    u.windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(w);

    CREATESTRUCTA cs;
    cs.lpCreateParams = lpParam;
    cs.hInstance = hInstance;
    cs.hMenu = hMenu;
    cs.hwndParent = hWndParent;
    cs.cy = nHeight;
    cs.cx = nWidth;
    cs.y = Y;
    cs.x = X;
    cs.style = style;
    cs.lpszName = lpWindowName;
    cs.lpszClass = lpClassName;
    cs.dwExStyle = dwExStyle;
    LPARAM create = reinterpret_cast<LPARAM>(&cs);
    if (!UserSend(hwnd, WM_NCCREATE, 0, create) || UserSend(hwnd, WM_CREATE, 0, create) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    // No WM_SIZE or WM_MOVE here: procedures may not be ready for them before
    // CreateWindowExA has returned (the engine's mouse glue does not exist yet).
    if (style & WS_VISIBLE) {
        int show = (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW;
        ShowWindow(hwnd, show);
    }
    return UserFind(hwnd) != nullptr ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    UserState& u = User();
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return FALSE;
    if (w->destroying)
        return TRUE;
    w->destroying = true;
    if (w->visible) {
        if (w->sdl != nullptr)
            SDL_HideWindow(w->sdl);
        w->visible = false;
    }
    UserDeactivate(hWnd);
    if (u.capture == hWnd)
        ReleaseCapture();
    UserSend(hWnd, WM_DESTROY, 0, 0);
    DestroyChildren(hWnd);
    UserSend(hWnd, WM_NCDESTROY, 0, 0);
    UserForgetMessages(hWnd);

    auto it = u.windows.find(reinterpret_cast<uintptr_t>(hWnd));
    if (it == u.windows.end())
        return TRUE;
    std::unique_ptr<UserWindow> record = std::move(it->second);
    u.windows.erase(it);
    if (record->sdl != nullptr) {
        SDL_SetWindowMouseGrab(record->sdl, SDL_FALSE);
        UserReleaseSdlWindow(record->sdl);
        record->sdl = nullptr;
    }
    u.dead.push_back(std::move(record));
    return TRUE;
}

BOOL WINAPI IsIconic(HWND hWnd)
{
    UserWindow* w = UserFind(hWnd);
    return w != nullptr && w->minimized;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return FALSE;
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    bool activate = false;
    switch (nCmdShow) {
    case SW_HIDE:
        ShowSdl(w, false);
        UserDeactivate(hWnd);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        ShowSdl(w, true);
        if ((w = UserFind(hWnd)) == nullptr)
            return wasVisible;
        if (w->sdl != nullptr)
            SDL_MinimizeWindow(w->sdl);
        w->minimized = true;
        if (nCmdShow == SW_SHOWMINIMIZED)
            activate = true;
        else
            UserDeactivate(hWnd);
        break;
    case SW_SHOWMAXIMIZED:
        ShowSdl(w, true);
        if ((w = UserFind(hWnd)) == nullptr)
            return wasVisible;
        if (w->sdl != nullptr)
            SDL_MaximizeWindow(w->sdl);
        w->minimized = false;
        w->maximized = true;
        activate = true;
        break;
    case SW_SHOW:
    case SW_SHOWNA:
        ShowSdl(w, true);
        activate = nCmdShow == SW_SHOW;
        break;
    default:  // SW_SHOWNORMAL, SW_RESTORE, SW_SHOWDEFAULT, SW_SHOWNOACTIVATE
        ShowSdl(w, true);
        if ((w = UserFind(hWnd)) == nullptr)
            return wasVisible;
        if ((w->minimized || w->maximized) && w->sdl != nullptr)
            SDL_RestoreWindow(w->sdl);
        w->minimized = false;
        w->maximized = false;
        activate = nCmdShow != SW_SHOWNOACTIVATE;
        break;
    }
    w = UserFind(hWnd);
    if (w == nullptr)
        return wasVisible;
    if (activate && (w->style & WS_CHILD) == 0) {
        if (w->sdl != nullptr)
            SDL_RaiseWindow(w->sdl);
        UserActivate(hWnd);
    }
    UserSyncGeometry(hWnd);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return FALSE;
    if (w->needsPaint && w->visible)
        UserSend(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT*, BOOL)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return FALSE;
    w->needsPaint = true;
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT*)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return FALSE;
    w->needsPaint = false;
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return FALSE;
    ReadGeometry(w);
    // The outer rectangle stays where it is unless moved or sized; a changed
    // frame therefore changes the client area, as on Win32.
    RECT in;
    UserFrameInsets(w->frameStyle, MenuOf(w), w->exStyle, &in);
    int left = w->x - in.left;
    int top = w->y - in.top;
    int outerWidth = w->width + in.left + in.right;
    int outerHeight = w->height + in.top + in.bottom;
    if (uFlags & SWP_FRAMECHANGED) {
        w->frameStyle = w->style;
        ApplyFrame(w);
        UserFrameInsets(w->frameStyle, MenuOf(w), w->exStyle, &in);
    }
    if ((uFlags & SWP_NOMOVE) == 0) {
        left = X;
        top = Y;
    }
    if ((uFlags & SWP_NOSIZE) == 0) {
        outerWidth = cx;
        outerHeight = cy;
    }
    int x = left + in.left;
    int y = top + in.top;
    int width = std::max(1, outerWidth - in.left - in.right);
    int height = std::max(1, outerHeight - in.top - in.bottom);
    if (w->sdl == nullptr) {
        w->x = x;
        w->y = y;
        w->width = width;
        w->height = height;
    } else if (!IsFullscreen(w)) {
        if (w->maximized && (width != w->width || height != w->height)) {
            SDL_RestoreWindow(w->sdl);
            w->maximized = false;
        }
        if (width != w->width || height != w->height)
            SDL_SetWindowSize(w->sdl, width, height);
        if (x != w->x || y != w->y)
            SDL_SetWindowPosition(w->sdl, x, y);
    }
    if (uFlags & SWP_SHOWWINDOW)
        ShowWindow(hWnd, (uFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (uFlags & SWP_HIDEWINDOW)
        ShowWindow(hWnd, SW_HIDE);
    UserSyncGeometry(hWnd);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr || lpRect == nullptr)
        return FALSE;
    ReadGeometry(w);
    lpRect->left = 0;
    lpRect->top = 0;
    lpRect->right = w->minimized ? 0 : w->width;
    lpRect->bottom = w->minimized ? 0 : w->height;
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr || lpRect == nullptr)
        return FALSE;
    int x = 0;
    int y = 0;
    ScreenOrigin(hWnd, &x, &y);
    RECT in;
    UserFrameInsets(w->frameStyle, MenuOf(w), w->exStyle, &in);
    lpRect->left = x - in.left;
    lpRect->top = y - in.top;
    lpRect->right = x + w->width + in.right;
    lpRect->bottom = y + w->height + in.bottom;
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu)
{
    return AdjustWindowRectEx(lpRect, dwStyle, bMenu, 0);
}

BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle)
{
    if (lpRect == nullptr)
        return FALSE;
    RECT in;
    UserFrameInsets(static_cast<LONG>(dwStyle), bMenu, static_cast<LONG>(dwExStyle), &in);
    lpRect->left -= in.left;
    lpRect->top -= in.top;
    lpRect->right += in.right;
    lpRect->bottom += in.bottom;
    return TRUE;
}

namespace {

// The window's extra bytes from nIndex on, or null (ERROR_INVALID_INDEX) when size bytes do not fit there.
unsigned char* ExtraBytes(UserWindow* w, int nIndex, size_t size)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) + size > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return nullptr;
    }
    return &w->extra[static_cast<size_t>(nIndex)];
}

bool ReadExtra(UserWindow* w, int nIndex, void* value, size_t size)
{
    const unsigned char* bytes = ExtraBytes(w, nIndex, size);
    if (bytes == nullptr)
        return false;
    std::memcpy(value, bytes, size);
    return true;
}

// Stores value, first copying what it replaces into old unless old is null.
bool WriteExtra(UserWindow* w, int nIndex, const void* value, void* old, size_t size)
{
    unsigned char* bytes = ExtraBytes(w, nIndex, size);
    if (bytes == nullptr)
        return false;
    if (old != nullptr)
        std::memcpy(old, bytes, size);
    std::memcpy(bytes, value, size);
    return true;
}

// Pointers do not fit a LONG in this build: those take the Ptr calls.
bool IsPointerIndex(int nIndex)
{
    return nIndex == GWLP_WNDPROC || nIndex == GWLP_HINSTANCE || nIndex == GWL_HWNDPARENT;
}

}  // namespace

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return 0;
    switch (nIndex) {
    case GWL_STYLE: {
        LONG style = w->style;
        if (w->visible)
            style |= WS_VISIBLE;
        if (w->minimized)
            style |= WS_MINIMIZE;
        if (w->maximized)
            style |= WS_MAXIMIZE;
        return style;
    }
    case GWL_EXSTYLE:
        return w->exStyle;
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    default:
        break;
    }
    LONG_PTR value = 0;
    return ReadExtra(w, nIndex, &value, sizeof value) ? value : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return 0;
    LONG_PTR old = GetWindowLongPtrA(hWnd, nIndex);
    switch (nIndex) {
    case GWL_STYLE: {
        LONG style = static_cast<LONG>(dwNewLong);
        // Clearing WS_MAXIMIZE forgets the maximised state so that the window can be sized again.
        if (w->maximized && (style & WS_MAXIMIZE) == 0) {
            if (w->sdl != nullptr)
                SDL_RestoreWindow(w->sdl);
            w->maximized = false;
            w->reportedMaximized = false;
        }
        w->style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
        return old;
    }
    case GWL_EXSTYLE:
        w->exStyle = static_cast<LONG>(dwNewLong);
        return old;
    case GWLP_WNDPROC:
        if (dwNewLong == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return old;
    case GWLP_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
        return old;
    case GWL_HWNDPARENT:
        w->parent = reinterpret_cast<HWND>(dwNewLong);
        return old;
    case GWLP_ID:
        w->id = dwNewLong;
        return old;
    case GWLP_USERDATA:
        w->userData = dwNewLong;
        return old;
    default:
        break;
    }
    return WriteExtra(w, nIndex, &dwNewLong, nullptr, sizeof dwNewLong) ? old : 0;
}

namespace {

// The window a 32-bit long of it is asked of; null for an unknown window, or for an index that names a
// pointer-sized field, which the 32-bit calls refuse.
UserWindow* LongWindow(HWND hWnd, int nIndex)
{
    if (IsPointerIndex(nIndex)) {
        SetLastError(ERROR_INVALID_INDEX);
        return nullptr;
    }
    return UserFind(hWnd);
}

}  // namespace

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex)
{
    UserWindow* w = LongWindow(hWnd, nIndex);
    if (w == nullptr)
        return 0;
    if (nIndex < 0)
        return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex));
    LONG value = 0;
    return ReadExtra(w, nIndex, &value, sizeof value) ? value : 0;
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong)
{
    UserWindow* w = LongWindow(hWnd, nIndex);
    if (w == nullptr)
        return 0;
    if (nIndex < 0)
        return static_cast<LONG>(SetWindowLongPtrA(hWnd, nIndex, dwNewLong));
    LONG old = 0;
    return WriteExtra(w, nIndex, &dwNewLong, &old, sizeof dwNewLong) ? old : 0;
}

HMENU WINAPI GetMenu(HWND hWnd)
{
    UserWindow* w = UserFind(hWnd);
    return w != nullptr && (w->style & WS_CHILD) == 0 ? w->menu : nullptr;
}

namespace {

// Moves a point by the window's client origin on the screen, times `sign` (1: client to screen).
BOOL MoveByClientOrigin(HWND hWnd, LPPOINT lpPoint, int sign)
{
    if (UserFind(hWnd) == nullptr || lpPoint == nullptr)
        return FALSE;
    int x = 0;
    int y = 0;
    ScreenOrigin(hWnd, &x, &y);
    lpPoint->x += sign * x;
    lpPoint->y += sign * y;
    return TRUE;
}

}  // namespace

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) { return MoveByClientOrigin(hWnd, lpPoint, 1); }

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) { return MoveByClientOrigin(hWnd, lpPoint, -1); }

int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex) {
    case SM_CYCAPTION:
        return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return kDialogFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return kSizingFrame;
    case SM_CYMENU:
        return kMenu;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return kEdge;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 16;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_MOUSEPRESENT:
    case SM_MOUSEWHEELPRESENT:
        return 1;
    case SM_SWAPBUTTON:
        return 0;
    case SM_CMOUSEBUTTONS:
        return 3;
    default:
        break;
    }
    bool video = UserVideoInit();
    SDL_Rect bounds = {0, 0, 1024, 768};
    if (video)
        SDL_GetDisplayBounds(0, &bounds);
    switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return bounds.w;
    case SM_CYSCREEN:
        return bounds.h;
    case SM_CYFULLSCREEN:
        return bounds.h - kCaption;
    case SM_CMONITORS:
        return video ? SDL_GetNumVideoDisplays() : 1;
    default:
        break;
    }
    if (nIndex < SM_XVIRTUALSCREEN || nIndex > SM_CYVIRTUALSCREEN)
        return 0;
    SDL_Rect all = bounds;
    int count = video ? SDL_GetNumVideoDisplays() : 1;
    for (int i = 1; i < count; ++i) {
        SDL_Rect r;
        if (SDL_GetDisplayBounds(i, &r) == 0)
            SDL_UnionRect(&all, &r, &all);
    }
    switch (nIndex) {
    case SM_XVIRTUALSCREEN:
        return all.x;
    case SM_YVIRTUALSCREEN:
        return all.y;
    case SM_CXVIRTUALSCREEN:
        return all.w;
    default:
        return all.h;
    }
}

BOOL Win32HasDisplay(void)
{
    const char* driver = User().videoReady ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
        return FALSE;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

HWND WINAPI GetForegroundWindow(void) { return User().foreground; }

SDL_Window* Win32GetSDLWindow(HWND hwnd)
{
    UserWindow* w = UserFind(hwnd);
    return w != nullptr ? w->sdl : nullptr;
}
