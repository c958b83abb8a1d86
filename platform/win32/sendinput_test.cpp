// Tests of synthesised input, headless on SDL's offscreen driver: SendInput's records come out of the message
// pump as the messages a device gives, at the client positions asked for, and step a live dialog.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32/dialog_auto.h"
#include "platform/win32/dialog_testing.h"
#include "platform/win32/user_testing.h"
#include "platform/win32/win32_sdl.h"
#include "platform/win32/windows.h"

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* const kClass = "Send Input Test";
constexpr int kWidth = 1024;
constexpr int kHeight = 768;

class SendInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof wc);
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = kClass;
        ASSERT_NE(RegisterClassA(&wc), 0);
    }
    void TearDown() override { Win32ResetForTests(); }

    HWND MakeWindow()
    {
        RECT r = {0, 0, kWidth, kHeight};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        HWND hwnd = CreateWindowExA(0, kClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        if (hwnd != nullptr)
            ShowWindow(hwnd, SW_SHOWNORMAL);
        Drain();
        return hwnd;
    }

    // The input messages waiting, removed, in order.
    static std::vector<MSG> Drain()
    {
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_KEYDOWN || m.message == WM_KEYUP || m.message == WM_CHAR ||
                (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST))
                out.push_back(m);
        }
        return out;
    }
};

INPUT Mouse(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.mouseData = data;
    in.mi.dwFlags = flags;
    return in;
}

INPUT Key(WORD vk, DWORD flags = 0, WORD scan = 0)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    return in;
}

// The absolute coordinate that lands on pixel p of a client area `size` pixels across.
LONG Absolute(int p, int size) { return static_cast<LONG>((p * 65536LL + size - 1) / size); }

UINT Send(std::vector<INPUT> inputs)
{
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

int ScanCode(LPARAM l) { return static_cast<int>((l >> 16) & 0xFF); }
bool Extended(LPARAM l) { return ((static_cast<DWORD>(l) >> 24) & 1u) != 0; }

}  // namespace

TEST_F(SendInputTest, AbsoluteMovesAndButtonsLandOnTheirClientPixels)
{
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    const int points[][2] = {{0, 0}, {1, 1}, {512, 384}, {kWidth - 1, kHeight - 1}, {333, 767}, {1023, 5}};
    for (const auto& p : points) {
        ASSERT_EQ(
            Send({Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, Absolute(p[0], kWidth), Absolute(p[1], kHeight))}),
            1u);
        std::vector<MSG> m = Drain();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].message, static_cast<UINT>(WM_MOUSEMOVE));
        EXPECT_EQ(GET_X_LPARAM(m[0].lParam), p[0]);
        EXPECT_EQ(GET_Y_LPARAM(m[0].lParam), p[1]);
    }
    // One record moves, then presses: the press is at the new place. Relative moves are pixels from there.
    ASSERT_EQ(Send({Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, Absolute(100, kWidth),
                          Absolute(200, kHeight)),
                    Mouse(MOUSEEVENTF_MOVE, 5, -7), Mouse(MOUSEEVENTF_LEFTUP)}),
              3u);
    std::vector<MSG> m = Drain();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(m[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(m[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(GET_X_LPARAM(m[1].lParam), 100);
    EXPECT_EQ(GET_Y_LPARAM(m[1].lParam), 200);
    EXPECT_EQ(m[2].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(m[2].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));  // the button is still held
    EXPECT_EQ(m[3].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(GET_X_LPARAM(m[3].lParam), 105);
    EXPECT_EQ(GET_Y_LPARAM(m[3].lParam), 193);

    ASSERT_EQ(Send({Mouse(MOUSEEVENTF_RIGHTDOWN), Mouse(MOUSEEVENTF_RIGHTUP), Mouse(MOUSEEVENTF_MIDDLEDOWN),
                    Mouse(MOUSEEVENTF_MIDDLEUP), Mouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-2 * WHEEL_DELTA)),
                    Mouse(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA / 2)}),
              6u);
    m = Drain();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(m[1].message, static_cast<UINT>(WM_RBUTTONUP));
    EXPECT_EQ(m[2].message, static_cast<UINT>(WM_MBUTTONDOWN));
    EXPECT_EQ(m[3].message, static_cast<UINT>(WM_MBUTTONUP));
    EXPECT_EQ(m[4].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[4].wParam), -240);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(m[5].wParam), 60);

    // Moves stay inside the client area.
    ASSERT_EQ(Send({Mouse(MOUSEEVENTF_MOVE, -5000, 5000)}), 1u);
    m = Drain();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(m[0].lParam), 0);
    EXPECT_EQ(GET_Y_LPARAM(m[0].lParam), kHeight - 1);
}

TEST_F(SendInputTest, KeysCarryTheScanCodesOfTheirVirtualKeys)
{
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(Send({Key(VK_SHIFT), Key(VK_LEFT), Key('A'), Key('7'), Key(VK_RETURN, KEYEVENTF_EXTENDEDKEY),
                    Key(0, KEYEVENTF_SCANCODE, 0x01)}),
              6u);
    std::vector<MSG> m = Drain();
    EXPECT_NE(GetKeyState(VK_SHIFT) & 0x8000, 0);  // as of the messages taken
    ASSERT_EQ(m.size(), 6u);
    const struct {
        WPARAM vk;
        int scan;
        bool extended;
    } expected[] = {{VK_SHIFT, 0x2A, false}, {VK_LEFT, 0x4B, true},   {'A', 0x1E, false},
                    {'7', 0x08, false},      {VK_RETURN, 0x1C, true}, {VK_ESCAPE, 0x01, false}};
    for (size_t i = 0; i < m.size(); ++i) {
        EXPECT_EQ(m[i].message, static_cast<UINT>(WM_KEYDOWN)) << i;
        EXPECT_EQ(m[i].wParam, expected[i].vk) << i;
        EXPECT_EQ(ScanCode(m[i].lParam), expected[i].scan) << i;
        EXPECT_EQ(Extended(m[i].lParam), expected[i].extended) << i;
    }
    ASSERT_EQ(Send({Key(VK_LEFT, KEYEVENTF_KEYUP), Key(VK_SHIFT, KEYEVENTF_KEYUP)}), 2u);
    m = Drain();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(m[0].wParam, static_cast<WPARAM>(VK_LEFT));
    EXPECT_EQ(m[1].wParam, static_cast<WPARAM>(VK_SHIFT));
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);

    // Typed text: one character a unit, a surrogate pair as its two halves; the key-up of text sends nothing.
    ASSERT_EQ(Send({Key(0, KEYEVENTF_UNICODE, 0xE9), Key(0, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP, 0xE9),
                    Key(0, KEYEVENTF_UNICODE, 0xD83D), Key(0, KEYEVENTF_UNICODE, 0xDE00)}),
              4u);
    m = Drain();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(m[0].wParam, 0xE9u);
    EXPECT_EQ(m[1].wParam, 0xD83Du);
    EXPECT_EQ(m[2].wParam, 0xDE00u);

    // A half without its partner types U+FFFD, and what follows it still comes.
    ASSERT_EQ(
        Send({Key(0, KEYEVENTF_UNICODE, 0xDE00), Key(0, KEYEVENTF_UNICODE, 0xD83D), Key(0, KEYEVENTF_UNICODE, 'a')}),
        3u);
    m = Drain();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].wParam, 0xFFFDu);
    EXPECT_EQ(m[1].wParam, 0xFFFDu);
    EXPECT_EQ(m[2].wParam, static_cast<WPARAM>('a'));
}

TEST_F(SendInputTest, RefusesWhatItCannotSend)
{
    INPUT in = Mouse(MOUSEEVENTF_MOVE);
    SetLastError(0);
    EXPECT_EQ(SendInput(1, &in, sizeof(INPUT) - 1), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SendInput(1, nullptr, sizeof(INPUT)), 0u);
    // No window takes input yet.
    EXPECT_EQ(SendInput(1, &in, sizeof(INPUT)), 0u);
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    // A key with no scancode, or an unknown kind of record, ends the batch there.
    EXPECT_EQ(Send({Key('B'), Key(0xFF), Key('C')}), 1u);
    INPUT hardware = {};
    hardware.type = INPUT_HARDWARE;
    EXPECT_EQ(Send({Key('D'), hardware}), 1u);
    EXPECT_EQ(Drain().size(), 2u);
}

namespace {

struct LiveRun {
    std::vector<UINT> messages;
    std::vector<POINT> points;
    int turns = 0;
    DWORD pixelAfterInit = 0;
};
LiveRun g_live;

INT_PTR CALLBACK LiveDialog(HWND dialog, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP) {
        g_live.messages.push_back(msg);
        g_live.points.push_back(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    }
    if (msg == WM_LBUTTONUP && GET_Y_LPARAM(lParam) > 400)
        EndDialog(dialog, 9);
    return msg == WM_INITDIALOG;
}

// Turn 1 moves to (300, 200); turn 2 presses, turn 3 releases, then turn 4 clicks low, which ends the dialog.
void DriveDialog(HWND dialog, int turn, void*)
{
    g_live.turns = turn + 1;
    if (turn == 0)
        g_live.pixelAfterInit = Win32DialogGetPixel(dialog, 5, 5);
    std::vector<INPUT> inputs;
    if (turn == 1)
        inputs = {Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, Absolute(300, 640), Absolute(200, 480))};
    else if (turn == 2)
        inputs = {Mouse(MOUSEEVENTF_LEFTDOWN)};
    else if (turn == 3)
        inputs = {Mouse(MOUSEEVENTF_LEFTUP)};
    else if (turn == 4)
        inputs = {Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, Absolute(320, 640),
                        Absolute(450, 480))};
    else if (turn == 5)
        inputs = {Mouse(MOUSEEVENTF_LEFTUP)};
    else if (turn > 50)
        EndDialog(dialog, 0);  // the run failed: the test below says so
    if (!inputs.empty()) {
        EXPECT_EQ(Send(inputs), inputs.size()) << turn;
    }
}

}  // namespace

TEST_F(SendInputTest, ADriverStepsALiveDialogTurnByTurn)
{
    // Even with a click script the dialog runs live while a driver is set, with the input sent to it.
    Win32DialogSetScript("click 320 450\n");
    Win32DialogSetTurnHook(DriveDialog, nullptr);
    g_live = LiveRun();
    const INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, LiveDialog, 0);
    Win32DialogSetTurnHook(nullptr, nullptr);
    Win32DialogSetScript(nullptr);
    EXPECT_EQ(result, 9);
    EXPECT_EQ(g_live.turns, 6);
    EXPECT_NE(g_live.pixelAfterInit, 0xFFFFFFFFu);
    const std::vector<UINT> expected = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONUP};
    EXPECT_EQ(g_live.messages, expected);
    ASSERT_EQ(g_live.points.size(), 4u);
    EXPECT_EQ(g_live.points[0].x, 300);
    EXPECT_EQ(g_live.points[0].y, 200);
    EXPECT_EQ(g_live.points[1].x, 300);
    EXPECT_EQ(g_live.points[3].x, 320);
    EXPECT_EQ(g_live.points[3].y, 450);
}
