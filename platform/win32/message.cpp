// The message queue and pump: SDL events become Win32 messages; posting, sending, dispatch and the default procedure.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/win32/user_local.h"
#include "platform/win32/win32_sdl.h"

namespace {

Win32PumpHook g_pumpHook = nullptr;

// Calls a procedure, counting the calls in progress so that records of
// windows destroyed inside them are freed only afterwards.
LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    UserState& u = User();
    ++u.procDepth;
    LRESULT result = proc(hwnd, msg, wParam, lParam);
    --u.procDepth;
    return result;
}

void FreeDeadWindows()
{
    UserState& u = User();
    if (u.procDepth == 0)
        u.dead.clear();
    if (!u.zombies.empty())
        UserFreeZombies();
}

DWORD Now() { return static_cast<DWORD>(SDL_GetTicks()); }

MSG MakeMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = Now();
    m.pt = User().cursor;
    return m;
}

void TranslateWindowEvent(const SDL_WindowEvent& e)
{
    UserWindow* w = UserFindSdl(e.windowID);
    if (w == nullptr)
        return;
    HWND hwnd = w->handle;
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        // The close box: WM_SYSCOMMAND, whose default sends WM_CLOSE, whose default destroys.
        UserSend(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        UserActivate(hwnd);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        UserDeactivate(hwnd);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        w->minimized = true;
        UserSyncGeometry(hwnd);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        w->minimized = false;
        w->maximized = true;
        UserSyncGeometry(hwnd);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        w->minimized = false;
        w->maximized = false;
        UserSyncGeometry(hwnd);
        break;
    case SDL_WINDOWEVENT_MOVED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        UserSyncGeometry(hwnd);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        w->needsPaint = true;
        break;
    default:
        break;
    }
}

void Translate(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(e.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        UserTranslateKey(e.key);
        break;
    case SDL_TEXTINPUT:
        UserTranslateText(e.text);
        break;
    case SDL_MOUSEMOTION:
        UserTranslateMotion(e.motion);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        UserTranslateButton(e.button);
        break;
    case SDL_MOUSEWHEEL:
        UserTranslateWheel(e.wheel);
        break;
    case SDL_QUIT: {
        // An interrupt from the terminal: ask the front window to close.
        HWND target = User().foreground;
        if (target == nullptr && !User().windows.empty())
            target = User().windows.begin()->second->handle;
        if (target != nullptr)
            UserSend(target, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    default:
        break;
    }
}

// Takes the windowing events out of SDL's queue one at a time (a procedure
// may pump again while one is handled) and leaves other kinds to their owners.
void PumpSDL()
{
    if (!User().videoReady)
        return;
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_QUIT, SDL_MOUSEWHEEL) > 0)
        Translate(e);
}

bool Matches(const MSG& m, HWND hwnd, UINT low, UINT high)
{
    if (hwnd == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd != nullptr)
            return false;
    } else if (hwnd != nullptr && m.hwnd != hwnd) {
        return false;
    }
    if (low == 0 && high == 0)
        return true;
    return m.message >= low && m.message <= high;
}

// Narrow-character retrieval sees characters beyond Latin-1 as '?'.
void NarrowChar(MSG* m)
{
    if ((m->message == WM_CHAR || m->message == WM_SYSCHAR) && m->wParam > 0xFF)
        m->wParam = '?';
}

BOOL Peek(LPMSG out, HWND hwnd, UINT low, UINT high, UINT remove, bool wide)
{
    if (out == nullptr)
        return FALSE;
    FreeDeadWindows();
    if (g_pumpHook != nullptr)
        g_pumpHook();
    PumpSDL();
    UserState& u = User();
    std::lock_guard<std::mutex> lock(u.queueLock);
    for (auto it = u.queue.begin(); it != u.queue.end(); ++it) {
        if (!Matches(it->msg, hwnd, low, high))
            continue;
        *out = it->msg;
        if (remove & PM_REMOVE)
            u.queue.erase(it);
        if (!wide)
            NarrowChar(out);
        return TRUE;
    }
    // The quit request is seen once nothing else waits.
    MSG quit = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(u.quitCode), 0);
    if (u.quitPending && hwnd == nullptr && Matches(quit, nullptr, low, high)) {
        *out = quit;
        if (remove & PM_REMOVE)
            u.quitPending = false;
        return TRUE;
    }
    return FALSE;
}

LRESULT Dispatch(const MSG* m)
{
    if (m == nullptr || m->hwnd == nullptr)
        return 0;
    UserWindow* w = UserFind(m->hwnd);
    if (w == nullptr || w->proc == nullptr)
        return 0;
    return CallProc(w->proc, m->hwnd, m->message, m->wParam, m->lParam);
}

LRESULT SysCommand(HWND hwnd, WPARAM command)
{
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        UserSend(hwnd, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE:
        ShowWindow(hwnd, SW_MINIMIZE);
        break;
    case SC_MAXIMIZE:
        ShowWindow(hwnd, SW_MAXIMIZE);
        break;
    case SC_RESTORE:
        ShowWindow(hwnd, SW_RESTORE);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CopyText(UserWindow* w, WPARAM size, LPARAM buffer)
{
    char* out = reinterpret_cast<char*>(buffer);
    if (out == nullptr || size == 0)
        return 0;
    size_t count = std::min(static_cast<size_t>(size) - 1, w->text.size());
    std::memcpy(out, w->text.data(), count);
    out[count] = '\0';
    return static_cast<LRESULT>(count);
}

}  // namespace

LRESULT UserSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    UserWindow* w = UserFind(hwnd);
    if (w == nullptr || w->proc == nullptr)
        return 0;
    return CallProc(w->proc, hwnd, msg, wParam, lParam);
}

void UserPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool echo)
{
    UserState& u = User();
    MSG m = MakeMessage(hwnd, msg, wParam, lParam);
    std::lock_guard<std::mutex> lock(u.queueLock);
    u.queue.push_back(UserMessage{m, echo});
}

void UserPostMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    UserState& u = User();
    {
        std::lock_guard<std::mutex> lock(u.queueLock);
        if (!u.queue.empty()) {
            UserMessage& last = u.queue.back();
            if (!last.echo && last.msg.message == WM_MOUSEMOVE && last.msg.hwnd == hwnd) {
                last.msg = MakeMessage(hwnd, WM_MOUSEMOVE, wParam, lParam);
                return;
            }
        }
    }
    UserPost(hwnd, WM_MOUSEMOVE, wParam, lParam);
}

void UserForgetMessages(HWND hwnd)
{
    UserState& u = User();
    std::lock_guard<std::mutex> lock(u.queueLock);
    u.queue.erase(
        std::remove_if(u.queue.begin(), u.queue.end(), [hwnd](const UserMessage& m) { return m.msg.hwnd == hwnd; }),
        u.queue.end());
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr)
        return 0;
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSCOMMAND:
        return SysCommand(hWnd, wParam);
    case WM_SYSKEYDOWN:
        // Alt+F4 closes, as the system menu would.
        if (wParam == VK_F4 && (lParam & (1 << 29)) != 0)
            UserSend(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        w->text = text != nullptr ? text : "";
        if (w->sdl != nullptr)
            SDL_SetWindowTitle(w->sdl, w->text.c_str());
        return TRUE;
    }
    case WM_GETTEXT:
        return CopyText(w, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    default:
        return 0;
    }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    return Peek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg, false);
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    return Peek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg, true);
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    // Characters already come from SDL's text input; report whether one may follow.
    if (lpMsg == nullptr)
        return FALSE;
    return lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_SYSKEYDOWN;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) { return Dispatch(lpMsg); }

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return UserSend(hWnd, Msg, wParam, lParam);
}

void WINAPI PostQuitMessage(int nExitCode)
{
    UserState& u = User();
    std::lock_guard<std::mutex> lock(u.queueLock);
    u.quitPending = true;
    u.quitCode = nExitCode;
}

void Win32SetPumpHook(Win32PumpHook hook) { g_pumpHook = hook; }
