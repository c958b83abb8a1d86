// Tests of the windowing stand-in, headless on SDL's offscreen driver with injected SDL events.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/testsupport/events.h"
#include "platform/win32/gl_required_testing.h"
#include "platform/win32/input_testing.h"
#include "platform/win32/user_testing.h"
#include "platform/win32/win32_sdl.h"
#include "platform/win32/windows.h"

// SDL's X11 driver reaches the session bus, whose library keeps allocations
// it never frees; they are not ours to find.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> g_seen;
bool g_quitOnDestroy = true;
bool g_keepOpen = false;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back({hwnd, msg, wParam, lParam});
    if (msg == WM_DESTROY && g_quitOnDestroy) {
        PostQuitMessage(7);
        return 0;
    }
    if (msg == WM_CLOSE && g_keepOpen)
        return 0;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* const kClass = "Test Window";

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        g_seen.clear();
        g_quitOnDestroy = true;
        g_keepOpen = false;
        ASSERT_NE(RegisterRecordingClass(), 0);
    }

    // The test windows' class, whose procedure records every message.
    static ATOM RegisterRecordingClass()
    {
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof wc);
        wc.style = CS_BYTEALIGNWINDOW;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kClass;
        return RegisterClassA(&wc);
    }

    void TearDown() override { Win32ResetForTests(); }

    // An 800 x 600 client area in the engine's window style.
    HWND MakeWindow(bool show)
    {
        RECT r = {0, 0, 800, 600};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        HWND hwnd = CreateWindowExA(0, kClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        if (hwnd != nullptr && show)
            ShowWindow(hwnd, SW_SHOWNORMAL);
        Drain();
        g_seen.clear();
        return hwnd;
    }

    static Uint32 SdlId(HWND hwnd) { return SDL_GetWindowID(Win32GetSDLWindow(hwnd)); }

    // A cleared event of the given type for the window; every SDL window event keeps its window id
    // in the same place, so the key member serves them all.
    static SDL_Event Event(HWND hwnd, Uint32 type)
    {
        SDL_Event e;
        std::memset(&e, 0, sizeof e);
        e.type = type;
        e.key.windowID = SdlId(hwnd);
        return e;
    }

    static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }

    static void PushKey(HWND hwnd, bool down, SDL_Scancode sc, SDL_Keycode sym, int repeat = 0)
    {
        SDL_Event e = Event(hwnd, down ? SDL_KEYDOWN : SDL_KEYUP);
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = static_cast<Uint8>(repeat);
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = sym;
        Push(e);
    }

    static void PushText(HWND hwnd, const char* utf8)
    {
        SDL_Event e = Event(hwnd, SDL_TEXTINPUT);
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        Push(e);
    }

    static void PushMotion(HWND hwnd, int x, int y)
    {
        SDL_Event e = Event(hwnd, SDL_MOUSEMOTION);
        e.motion.x = x;
        e.motion.y = y;
        Push(e);
    }

    static void PushButton(HWND hwnd, bool down, Uint8 button, int x, int y, int clicks = 1)
    {
        SDL_Event e = Event(hwnd, down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = static_cast<Uint8>(clicks);
        e.button.x = x;
        e.button.y = y;
        Push(e);
    }

    static void PushWheel(HWND hwnd, int y, bool flipped = false)
    {
        SDL_Event e = Event(hwnd, SDL_MOUSEWHEEL);
        e.wheel.y = y;
        e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        Push(e);
    }

    static void PushWindowEvent(HWND hwnd, Uint8 event)
    {
        SDL_Event e = Event(hwnd, SDL_WINDOWEVENT);
        e.window.event = event;
        Push(e);
    }

    // Every waiting message in the range, removed, in order (WM_QUIT included).
    static std::vector<MSG> Drain(UINT low = 0, UINT high = 0, bool wide = true)
    {
        std::vector<MSG> out;
        MSG m;
        while (wide ? PeekMessageW(&m, nullptr, low, high, PM_REMOVE)
                    : PeekMessageA(&m, nullptr, low, high, PM_REMOVE)) {
            out.push_back(m);
            if (m.message == WM_QUIT)
                break;
        }
        return out;
    }

    static std::vector<UINT> SeenIds()
    {
        std::vector<UINT> ids;
        for (const Seen& s : g_seen)
            ids.push_back(s.msg);
        return ids;
    }

    static bool SawMessage(UINT msg)
    {
        for (const Seen& s : g_seen)
            if (s.msg == msg)
                return true;
        return false;
    }
};

// Whether the handle still names a window.
bool Alive(HWND hwnd)
{
    RECT client;
    return GetClientRect(hwnd, &client) != FALSE;
}

int ScanCode(LPARAM l) { return static_cast<int>((l >> 16) & 0xFF); }
bool Bit(LPARAM l, int bit) { return ((static_cast<DWORD>(l) >> bit) & 1u) != 0; }

TEST_F(WindowTest, CreationIsHiddenAndShowingActivates)
{
    HWND hwnd = MakeWindow(false);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    SDL_Window* sdl = Win32GetSDLWindow(hwnd);
    ASSERT_NE(sdl, nullptr);
    EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL, 0u);

    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);

    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOWNORMAL));
    EXPECT_NE(GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    std::vector<UINT> ids = SeenIds();
    std::vector<UINT> expected = {WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS};
    EXPECT_EQ(ids, expected);
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_TRUE(SawMessage(WM_PAINT));
}

TEST_F(WindowTest, CreationSendsCreateButNoSizeOrMove)
{
    HWND hwnd =
        CreateWindowExA(0, kClass, "title", WS_OVERLAPPEDWINDOW, 10, 20, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    std::vector<UINT> ids = SeenIds();
    std::vector<UINT> expected = {WM_NCCREATE, WM_CREATE};
    EXPECT_EQ(ids, expected);
}

TEST_F(WindowTest, GeometryFollowsTheFrameModel)
{
    HWND hwnd = MakeWindow(true);
    RECT window;
    ASSERT_TRUE(GetWindowRect(hwnd, &window));
    POINT origin = {0, 0};
    ASSERT_TRUE(ClientToScreen(hwnd, &origin));

    // The engine clips the cursor to the window rectangle less these metrics:
    // that must be the client area exactly.
    EXPECT_EQ(window.left + GetSystemMetrics(SM_CXFRAME), origin.x);
    EXPECT_EQ(window.right - GetSystemMetrics(SM_CXFRAME), origin.x + 800);
    EXPECT_EQ(window.top + GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYFRAME), origin.y);
    EXPECT_EQ(window.bottom - GetSystemMetrics(SM_CYFRAME), origin.y + 600);

    POINT back = origin;
    ASSERT_TRUE(ScreenToClient(hwnd, &back));
    EXPECT_EQ(back.x, 0);
    EXPECT_EQ(back.y, 0);

    // Sizing keeps the position and reports the new client size.
    RECT wanted = {0, 0, 640, 480};
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_VISIBLE, 0);
    ASSERT_TRUE(AdjustWindowRectEx(&wanted, static_cast<DWORD>(style), GetMenu(hwnd) != nullptr,
                                   static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE))));
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
                             SWP_NOMOVE | SWP_NOZORDER));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().msg, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(g_seen.back().wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(g_seen.back().lParam), 640);
    EXPECT_EQ(HIWORD(g_seen.back().lParam), 480);
    RECT moved;
    GetWindowRect(hwnd, &moved);
    EXPECT_EQ(moved.left, window.left);
    EXPECT_EQ(moved.top, window.top);

    // Moving reports the client origin.
    g_seen.clear();
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 100, 50, wanted.right - wanted.left, wanted.bottom - wanted.top,
                             SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].msg, static_cast<UINT>(WM_MOVE));
    EXPECT_EQ(GET_X_LPARAM(g_seen[0].lParam), 100 + GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(GET_Y_LPARAM(g_seen[0].lParam), 50 + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
}

TEST_F(WindowTest, PopupStyleDropsTheFrameAndKeepsTheWindowRectangle)
{
    HWND hwnd = MakeWindow(false);
    RECT before;
    GetWindowRect(hwnd, &before);
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_STYLE, WS_POPUP), WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, 0x27));
    RECT after;
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, before.right - before.left);
    EXPECT_EQ(client.bottom, before.bottom - before.top);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE), WS_POPUP);
    EXPECT_TRUE(ShowWindow(hwnd, SW_SHOWNORMAL) == FALSE);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE), WS_POPUP | WS_VISIBLE);
}

TEST_F(WindowTest, MinimiseAndMaximiseStates)
{
    HWND hwnd = MakeWindow(true);
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(hwnd));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 0);
    EXPECT_NE(GetWindowLongA(hwnd, GWL_STYLE) & WS_MINIMIZE, 0);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    ASSERT_TRUE(SawMessage(WM_SIZE));

    g_seen.clear();
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 800);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().msg, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(g_seen.back().wParam, static_cast<WPARAM>(SIZE_RESTORED));

    // Clearing WS_MAXIMIZE lets the window be sized again.
    ShowWindow(hwnd, SW_MAXIMIZE);
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    ASSERT_NE(style & WS_MAXIMIZE, 0);
    SetWindowLongA(hwnd, GWL_STYLE, style & ~WS_MAXIMIZE);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & WS_MAXIMIZE, 0);
}

TEST_F(WindowTest, KeysCarryScanCodesAndRepeatBits)
{
    HWND hwnd = MakeWindow(true);
    PushKey(hwnd, true, SDL_SCANCODE_A, SDLK_a);
    PushKey(hwnd, true, SDL_SCANCODE_A, SDLK_a, 1);
    PushKey(hwnd, false, SDL_SCANCODE_A, SDLK_a);
    PushKey(hwnd, true, SDL_SCANCODE_UP, SDLK_UP);
    PushKey(hwnd, true, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 5u);

    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(m[0].hwnd, hwnd);
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(LOWORD(m[0].lParam), 1);
    EXPECT_EQ(ScanCode(m[0].lParam), 0x1E);
    EXPECT_FALSE(Bit(m[0].lParam, 24));
    EXPECT_FALSE(Bit(m[0].lParam, 30));
    EXPECT_FALSE(Bit(m[0].lParam, 31));

    EXPECT_EQ(m[1].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_TRUE(Bit(m[1].lParam, 30));

    EXPECT_EQ(m[2].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(ScanCode(m[2].lParam), 0x1E);
    EXPECT_TRUE(Bit(m[2].lParam, 30));
    EXPECT_TRUE(Bit(m[2].lParam, 31));

    // Extended keys: the engine's table sees 0x80 + code.
    EXPECT_EQ(m[3].wParam, static_cast<WPARAM>(VK_UP));
    EXPECT_EQ(ScanCode(m[3].lParam), 0x48);
    EXPECT_TRUE(Bit(m[3].lParam, 24));
    EXPECT_EQ(m[4].wParam, static_cast<WPARAM>(VK_RETURN));
    EXPECT_EQ(ScanCode(m[4].lParam) + (Bit(m[4].lParam, 24) ? 0x80 : 0), 156);
}

TEST_F(WindowTest, ScanCodeTableMatchesSetOne)
{
    struct Case {
        SDL_Scancode sc;
        int code;
    } cases[] = {
        {SDL_SCANCODE_ESCAPE, 1},      {SDL_SCANCODE_0, 11},
        {SDL_SCANCODE_Q, 16},          {SDL_SCANCODE_RETURN, 28},
        {SDL_SCANCODE_LCTRL, 29},      {SDL_SCANCODE_LSHIFT, 42},
        {SDL_SCANCODE_RSHIFT, 54},     {SDL_SCANCODE_KP_MULTIPLY, 55},
        {SDL_SCANCODE_LALT, 56},       {SDL_SCANCODE_SPACE, 57},
        {SDL_SCANCODE_F10, 68},        {SDL_SCANCODE_F11, 87},
        {SDL_SCANCODE_F12, 88},        {SDL_SCANCODE_RCTRL, 157},
        {SDL_SCANCODE_KP_DIVIDE, 181}, {SDL_SCANCODE_RALT, 184},
        {SDL_SCANCODE_HOME, 199},      {SDL_SCANCODE_PAGEUP, 201},
        {SDL_SCANCODE_LEFT, 203},      {SDL_SCANCODE_RIGHT, 205},
        {SDL_SCANCODE_END, 207},       {SDL_SCANCODE_DOWN, 208},
        {SDL_SCANCODE_PAGEDOWN, 209},  {SDL_SCANCODE_INSERT, 210},
        {SDL_SCANCODE_DELETE, 211},    {SDL_SCANCODE_NUMLOCKCLEAR, 197},
        {SDL_SCANCODE_PAUSE, 69},
    };
    HWND hwnd = MakeWindow(true);
    for (const Case& c : cases) {
        PushKey(hwnd, true, c.sc, SDL_GetKeyFromScancode(c.sc));
        PushKey(hwnd, false, c.sc, SDL_GetKeyFromScancode(c.sc));
        std::vector<MSG> m = Drain(WM_KEYFIRST, WM_KEYLAST);
        ASSERT_EQ(m.size(), 2u) << SDL_GetScancodeName(c.sc);
        EXPECT_EQ(ScanCode(m[0].lParam) + (Bit(m[0].lParam, 24) ? 0x80 : 0), c.code) << SDL_GetScancodeName(c.sc);
    }
}

TEST_F(WindowTest, ModifierStateAndSystemKeys)
{
    HWND hwnd = MakeWindow(true);
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0xFF00, 0);
    PushKey(hwnd, true, SDL_SCANCODE_RCTRL, SDLK_RCTRL);
    PushKey(hwnd, true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ(m[1].wParam, static_cast<WPARAM>(VK_SHIFT));
    EXPECT_NE(GetKeyState(VK_CONTROL) & 0xFF00, 0);
    EXPECT_NE(GetKeyState(VK_SHIFT) & 0xFF00, 0);
    EXPECT_EQ(GetKeyState(VK_LCONTROL) & 0xFF00, 0);
    PushKey(hwnd, false, SDL_SCANCODE_RCTRL, SDLK_RCTRL);
    Drain();
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0xFF00, 0);
    EXPECT_NE(GetKeyState(VK_SHIFT) & 0xFF00, 0);

    // Losing the focus forgets held keys (their releases go elsewhere).
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_LOST);
    Drain();
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0xFF00, 0);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_TRUE(SawMessage(WM_KILLFOCUS));
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_GAINED);
    Drain();
    EXPECT_EQ(GetForegroundWindow(), hwnd);

    // Alt makes system keys; Alt+F4 closes through the default procedure.
    g_seen.clear();
    PushKey(hwnd, true, SDL_SCANCODE_LALT, SDLK_LALT);
    PushKey(hwnd, true, SDL_SCANCODE_F4, SDLK_F4);
    m = Drain();
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_MENU));
    EXPECT_TRUE(Bit(m[1].lParam, 29));
    DispatchMessageW(&m[0]);
    DispatchMessageW(&m[1]);
    EXPECT_FALSE(Alive(hwnd));
    EXPECT_TRUE(SawMessage(WM_CLOSE));
}

TEST_F(WindowTest, TextInputBecomesCharacters)
{
    HWND hwnd = MakeWindow(true);
    PushKey(hwnd, true, SDL_SCANCODE_E, SDLK_e);
    PushText(hwnd, "e\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");  // e, e-acute, euro, an emoji
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[1].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(m[1].wParam, static_cast<WPARAM>('e'));
    EXPECT_EQ(ScanCode(m[1].lParam), 0x12);
    EXPECT_EQ(m[2].wParam, 0xE9u);
    EXPECT_EQ(m[3].wParam, 0x20ACu);
    EXPECT_EQ(m[4].wParam, 0xD83Du);
    EXPECT_EQ(m[5].wParam, 0xDE00u);

    // Narrow retrieval cannot hold the euro sign.
    PushText(hwnd, "\xE2\x82\xAC");
    m = Drain(0, 0, false);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>('?'));

    // Characters of an auto-repeated key are marked as repeats; broken UTF-8 is replaced.
    PushKey(hwnd, true, SDL_SCANCODE_E, SDLK_e, 1);
    PushText(hwnd, "\xC3");
    m = Drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_TRUE(Bit(m[1].lParam, 30));
    EXPECT_EQ(m[1].wParam, 0xFFFDu);
}

TEST_F(WindowTest, MouseMessagesCarrySignedClientCoordinates)
{
    HWND hwnd = MakeWindow(true);
    PushMotion(hwnd, -5, -20);
    PushButton(hwnd, true, SDL_BUTTON_LEFT, 10, 700);
    PushButton(hwnd, false, SDL_BUTTON_LEFT, 11, 701);
    PushButton(hwnd, true, SDL_BUTTON_RIGHT, 1, 2);
    PushButton(hwnd, false, SDL_BUTTON_RIGHT, 1, 2);
    PushButton(hwnd, true, SDL_BUTTON_MIDDLE, 3, 4);
    PushButton(hwnd, false, SDL_BUTTON_MIDDLE, 3, 4);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 7u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(m[0].lParam), -5);
    EXPECT_EQ(GET_Y_LPARAM(m[0].lParam), -20);
    EXPECT_EQ(static_cast<float>(static_cast<SHORT>(HIWORD(m[0].lParam))), -20.0f);
    EXPECT_EQ(m[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(m[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(GET_Y_LPARAM(m[1].lParam), 700);
    EXPECT_EQ(m[2].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(m[2].wParam & MK_LBUTTON, 0u);
    EXPECT_EQ(m[3].message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(m[4].message, static_cast<UINT>(WM_RBUTTONUP));
    EXPECT_EQ(m[5].message, static_cast<UINT>(WM_MBUTTONDOWN));
    EXPECT_EQ(m[6].message, static_cast<UINT>(WM_MBUTTONUP));

    // Successive moves merge into one, as Win32 keeps a single pending move.
    PushMotion(hwnd, 1, 1);
    PushMotion(hwnd, 2, 2);
    PushMotion(hwnd, 3, 4);
    m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(m[0].lParam), 3);
    EXPECT_EQ(GET_Y_LPARAM(m[0].lParam), 4);

    // No double clicks for a class without CS_DBLCLKS.
    PushButton(hwnd, true, SDL_BUTTON_LEFT, 5, 5, 2);
    m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_LBUTTONDOWN));

    // Input of an SDL window that is not ours is left alone.
    SDL_Window* other = SDL_CreateWindow("", 0, 0, 10, 10, SDL_WINDOW_HIDDEN);
    ASSERT_NE(other, nullptr);
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SDL_GetWindowID(other);
    SDL_PushEvent(&e);
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(other);
    e.key.keysym.scancode = SDL_SCANCODE_A;
    SDL_PushEvent(&e);
    EXPECT_TRUE(Drain().empty());
    SDL_DestroyWindow(other);
}

TEST_F(WindowTest, WheelIs120PerNotch)
{
    HWND hwnd = MakeWindow(true);
    PushWheel(hwnd, 1);
    PushWheel(hwnd, -2);
    PushWheel(hwnd, 1, true);
    PushWheel(hwnd, -1000);  // beyond a SHORT: held at its limit, not wrapped
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[0].wParam), 120);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[1].wParam), -240);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[2].wParam), -120);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[3].wParam), -32767);
}

TEST_F(WindowTest, EachWarpEchoesExactlyOnce)
{
    HWND hwnd = MakeWindow(true);
    ASSERT_EQ(SetCapture(hwnd), nullptr);
    POINT p = {10, 20};
    ClientToScreen(hwnd, &p);
    ASSERT_TRUE(SetCursorPos(p.x, p.y));
    const POINT now = Win32CursorPos();
    EXPECT_EQ(now.x, p.x);
    EXPECT_EQ(now.y, p.y);
    // SDL's own report of the warp, as a driver would send it.
    PushMotion(hwnd, 10, 20);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(m[0].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(m[0].lParam), 20);
    EXPECT_TRUE(Drain().empty());

    // The echo is never merged with a real move that follows it.
    ASSERT_TRUE(SetCursorPos(p.x + 5, p.y));
    PushMotion(hwnd, 40, 50);
    m = Drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(GET_X_LPARAM(m[0].lParam), 15);
    EXPECT_EQ(GET_X_LPARAM(m[1].lParam), 40);

    // A warp to where the cursor already is still echoes.
    ASSERT_TRUE(SetCursorPos(p.x + 30, p.y + 30));
    ASSERT_TRUE(SetCursorPos(p.x + 30, p.y + 30));
    EXPECT_EQ(Drain(WM_MOUSEMOVE, WM_MOUSEMOVE).size(), 2u);
    EXPECT_TRUE(ReleaseCapture());
}

// A warp the display does not make (no report of it comes) leaves the device's pointer elsewhere: the pointer
// goes on from the warp by the device's own motion, and buttons come where it is. Once a warp is reported, the
// device's positions count again.
TEST_F(WindowTest, AfterAWarpTheDisplayRefusedThePointerGoesOnFromTheWarp)
{
    HWND hwnd = MakeWindow(true);
    Win32TestRefuseWarps(TRUE);
    POINT p = {50, 60};
    ClientToScreen(hwnd, &p);
    ASSERT_TRUE(SetCursorPos(p.x, p.y));
    SDL_Event e = Event(hwnd, SDL_MOUSEMOTION);
    e.motion.x = 200;
    e.motion.y = 200;
    e.motion.xrel = 7;
    e.motion.yrel = -3;
    Push(e);
    PushButton(hwnd, true, SDL_BUTTON_LEFT, 200, 200);
    PushButton(hwnd, false, SDL_BUTTON_LEFT, 200, 200);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 4u);  // the warp's own move, the device's move, the press and the release
    EXPECT_EQ(GET_X_LPARAM(m[1].lParam), 57);
    EXPECT_EQ(GET_Y_LPARAM(m[1].lParam), 57);
    EXPECT_EQ(GET_X_LPARAM(m[2].lParam), 57);
    EXPECT_EQ(GET_Y_LPARAM(m[3].lParam), 57);
    Win32TestRefuseWarps(FALSE);

    ASSERT_TRUE(SetCursorPos(p.x + 10, p.y));
    PushMotion(hwnd, 60, 60);  // the display's report of the warp
    PushMotion(hwnd, 90, 95);
    m = Drain();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(GET_X_LPARAM(m.back().lParam), 90);
    EXPECT_EQ(GET_Y_LPARAM(m.back().lParam), 95);
}

// The engine's mouse glue ignores the move after each warp it makes, taking
// it for the echo. With one real move per frame, every frame's move from the
// second on must reach it, at the injected position.
TEST_F(WindowTest, GlueThatSkipsEchoesSeesEveryFramesMove)
{
    HWND hwnd = MakeWindow(true);
    SetCapture(hwnd);
    bool skipNext = false;
    std::vector<int> handled;
    for (int frame = 0; frame < 6; ++frame) {
        PushMotion(hwnd, 100 + frame, 200);
        std::vector<MSG> queued;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            queued.push_back(m);
        for (const MSG& q : queued) {
            if (q.message != WM_MOUSEMOVE)
                continue;
            if (!skipNext) {
                skipNext = true;
                continue;
            }
            handled.push_back(GET_X_LPARAM(q.lParam));
            skipNext = false;
            POINT p = {GET_X_LPARAM(q.lParam), GET_Y_LPARAM(q.lParam)};
            ClientToScreen(hwnd, &p);
            SetCursorPos(p.x, p.y);
        }
    }
    std::vector<int> expected = {101, 102, 103, 104, 105};
    EXPECT_EQ(handled, expected);
}

TEST_F(WindowTest, ClipLimitsWarps)
{
    HWND hwnd = MakeWindow(true);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    RECT clip = {origin.x, origin.y, origin.x + 100, origin.y + 100};
    ASSERT_TRUE(ClipCursor(&clip));
    SDL_Window* sdl = Win32GetSDLWindow(hwnd);
    EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_MOUSE_GRABBED, 0u);
    SetCursorPos(origin.x + 500, origin.y - 50);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(m[0].lParam), 99);
    EXPECT_EQ(GET_Y_LPARAM(m[0].lParam), 0);
    // A clip beside the window leaves the pointer free there.
    RECT beside = {origin.x + 900, origin.y, origin.x + 1000, origin.y + 100};
    ASSERT_TRUE(ClipCursor(&beside));
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_MOUSE_GRABBED, 0u);
    ASSERT_TRUE(ClipCursor(&clip));
    ASSERT_TRUE(ClipCursor(nullptr));
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_MOUSE_GRABBED, 0u);

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(WindowTest, ClosingSendsCloseThenDestroyThenQuit)
{
    HWND hwnd = MakeWindow(true);
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_CLOSE);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m[0].wParam, 7u);
    EXPECT_FALSE(Alive(hwnd));
    EXPECT_EQ(Win32GetSDLWindow(hwnd), nullptr);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    std::vector<UINT> ids = SeenIds();
    auto at = [&](UINT id) { return std::find(ids.begin(), ids.end(), id) - ids.begin(); };
    ASSERT_TRUE(SawMessage(WM_CLOSE));
    ASSERT_TRUE(SawMessage(WM_DESTROY));
    EXPECT_LT(at(WM_CLOSE), at(WM_DESTROY));
    EXPECT_LT(at(WM_DESTROY), at(WM_NCDESTROY));
    EXPECT_TRUE(Drain().empty());

    // A procedure that keeps WM_CLOSE to itself keeps the window.
    g_keepOpen = true;
    HWND second = MakeWindow(true);
    PushWindowEvent(second, SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(Drain().empty());
    EXPECT_TRUE(Alive(second));
}

TEST_F(WindowTest, PeekRangesAndRemoval)
{
    HWND hwnd = MakeWindow(false);
    UserPost(hwnd, WM_USER + 1, 1, 2);
    UserPost(hwnd, WM_KEYDOWN, 'A', 0);
    UserPost(hwnd, WM_MOUSEMOVE, 0, 0);
    UserPost(nullptr, WM_USER + 2, 0, 0);
    PostQuitMessage(3);

    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSEWHEEL, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_MOUSEMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSEWHEEL, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSEWHEEL, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>('A'));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));

    // Thread messages only with the -1 filter; window messages only for their window.
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(m.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&m, hwnd, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));

    // WM_QUIT waits behind the other messages and obeys the range.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(DispatchMessageW(&m), 0);
    EXPECT_EQ(g_seen.back().msg, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(g_seen.back().lParam, 2);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, SentAndPostedMessagesReachTheProcedure)
{
    HWND hwnd = MakeWindow(false);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 5, 9, 10), 0);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].wParam, 9u);

    // Messages of a destroyed window are discarded.
    g_quitOnDestroy = false;
    UserPost(hwnd, WM_USER + 6, 0, 0);
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_TRUE(Drain().empty());
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 8, 0, 0), 0);
}

// The renderer releases its GL context after the window is destroyed: the
// SDL window must outlive the handle until then.
TEST_F(WindowTest, SdlWindowOutlivesTheHandleWhileItsContextIsCurrent)
{
    HWND hwnd = MakeWindow(true);
    SDL_Window* sdl = Win32GetSDLWindow(hwnd);
    ASSERT_NE(sdl, nullptr);
    Uint32 id = SDL_GetWindowID(sdl);
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    if (context == nullptr)
        MALL_GL_MISSING(std::string("no GL here: ") + SDL_GetError());
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(Win32GetSDLWindow(hwnd), nullptr);
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(SDL_GetWindowFromID(id), sdl);
    SDL_GL_MakeCurrent(sdl, nullptr);
    SDL_GL_DeleteContext(context);
    PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(SDL_GetWindowFromID(id), nullptr);
}

TEST_F(WindowTest, BadHandlesAndClassesFailCleanly)
{
    HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    RECT r;
    POINT p = {0, 0};
    EXPECT_FALSE(GetClientRect(bogus, &r));
    EXPECT_FALSE(GetWindowRect(bogus, &r));
    EXPECT_FALSE(SetWindowPos(bogus, nullptr, 0, 0, 1, 1, 0));
    EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
    EXPECT_FALSE(IsIconic(bogus));
    EXPECT_FALSE(ClientToScreen(bogus, &p));
    EXPECT_EQ(GetWindowLongA(bogus, GWL_STYLE), 0);
    EXPECT_EQ(Win32GetSDLWindow(bogus), nullptr);
    EXPECT_EQ(DispatchMessageW(nullptr), 0);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));

    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "test WINDOW";  // class names ignore case
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(CreateWindowExA(0, "no such class", nullptr, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_TRUE(UnregisterClassA(kClass, nullptr));
    EXPECT_FALSE(UnregisterClassA(kClass, nullptr));

    // Window extra bytes are bounded.
    wc.lpszClassName = "extra";
    wc.cbWndExtra = 8;
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, "extra", nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SetWindowLongA(hwnd, 4, 77), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, 4), 77);
    EXPECT_EQ(GetWindowLongA(hwnd, 6), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 5), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 5);
}

// Runs SDL's X11 driver on the display named by MALL_X_DISPLAY for one test, and puts the test driver back after.
class RealDisplay {
public:
    RealDisplay()
    {
        display_ = std::getenv("MALL_X_DISPLAY");
        if (display_ == nullptr || *display_ == '\0')
            return;
        Win32ResetForTests();
        if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) {
            other_ = true;
            return;
        }
        oldDriver_ = std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "";
        oldDisplay_ = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("DISPLAY", display_, 1);
        active_ = true;
    }
    ~RealDisplay()
    {
        if (!active_)
            return;
        Win32ResetForTests();
        setenv("SDL_VIDEODRIVER", oldDriver_.empty() ? "offscreen" : oldDriver_.c_str(), 1);
        if (oldDisplay_.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", oldDisplay_.c_str(), 1);
    }
    // Empty when the test can run, else why it is skipped.
    const char* SkipReason() const
    {
        if (display_ == nullptr || *display_ == '\0')
            return "MALL_X_DISPLAY is not set";
        return other_ ? "SDL video already runs another driver: run this test alone" : "";
    }

private:
    const char* display_ = nullptr;
    bool other_ = false;
    bool active_ = false;
    std::string oldDriver_;
    std::string oldDisplay_;
};

// Needs a real X display (MALL_X_DISPLAY): the server's own echo of a warp
// must not add a second move.
TEST_F(WindowTest, RealDisplayWarpEchoesOnce)
{
    RealDisplay real;
    if (*real.SkipReason() != '\0')
        GTEST_SKIP() << real.SkipReason();
    ASSERT_NE(RegisterRecordingClass(), 0);
    HWND hwnd = MakeWindow(true);
    ASSERT_NE(hwnd, nullptr);
    SDL_Delay(100);
    Drain();
    POINT p = {40, 30};
    ClientToScreen(hwnd, &p);
    ASSERT_TRUE(SetCursorPos(p.x, p.y));
    int moves = 0;
    for (int i = 0; i < 20; ++i) {
        for (const MSG& m : Drain())
            moves += m.message == WM_MOUSEMOVE ? 1 : 0;
        SDL_Delay(10);
    }
    EXPECT_EQ(moves, 1);
}

// Needs a real X display (MALL_X_DISPLAY): a window as large as the screen or larger, the cursor clipped to it
// as full screen does, neither ends the program nor keeps warps from moving the X pointer.
TEST_F(WindowTest, RealDisplayClipToTheWholeScreenKeepsWarps)
{
    RealDisplay real;
    if (*real.SkipReason() != '\0')
        GTEST_SKIP() << real.SkipReason();
    ASSERT_NE(RegisterRecordingClass(), 0);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    for (int grown : {0, 200}) {
        HWND hwnd = CreateWindowExA(0, kClass, nullptr, WS_POPUP, 0, 0, width + grown, height + grown, nullptr, nullptr,
                                    nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SDL_Delay(100);
        Drain();
        RECT whole;
        ASSERT_TRUE(GetWindowRect(hwnd, &whole));
        ASSERT_TRUE(ClipCursor(&whole));
        for (int x : {40, 300}) {
            ASSERT_TRUE(SetCursorPos(x, 30));
            SDL_Delay(20);
            Drain();
            int atX = 0;
            int atY = 0;
            SDL_GetGlobalMouseState(&atX, &atY);
            EXPECT_EQ(x, atX) << "window grown by " << grown;
            EXPECT_EQ(30, atY);
        }
        ASSERT_TRUE(ClipCursor(nullptr));
        DestroyWindow(hwnd);
    }
}

}  // namespace
