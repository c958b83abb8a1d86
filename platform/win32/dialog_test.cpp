// Tests of the dialog stand-in in automatic runs: combo-box messages, pointer routing to the controls and the
// dialog, click scripts, bitmaps and the shell.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/dialog_auto.h"
#include "platform/win32/dialog_testing.h"
#include "platform/win32/windows.h"

namespace {

struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Message> g_messages;
std::function<void(HWND)> g_init;

INT_PTR CALLBACK RecordingDialog(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG && g_init)
        g_init(dialog);
    if (msg == WM_INITDIALOG || msg == WM_COMMAND || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP)
        g_messages.push_back({msg, wParam, lParam});
    if (msg == WM_LBUTTONUP && GET_Y_LPARAM(lParam) > 400)
        EndDialog(dialog, 5);
    return msg == WM_INITDIALOG;
}

class Dialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        Win32DialogSetAutomatic(TRUE);
        g_messages.clear();
    }
    void TearDown() override
    {
        Win32DialogSetAutomatic(FALSE);
        Win32DialogSetScript(nullptr);
        Win32DialogSetStepHook(nullptr, nullptr);
        g_init = nullptr;
    }
    INT_PTR Run(const char* script)
    {
        Win32DialogSetScript(script);
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, RecordingDialog, 0);
    }
    static std::string Text(HWND combo, int item)
    {
        char text[64] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text));
        return text;
    }
};

std::vector<UINT> Kinds()
{
    std::vector<UINT> kinds;
    for (const Message& m : g_messages)
        kinds.push_back(m.msg);
    return kinds;
}

}  // namespace

TEST_F(Dialog, ComboMessages)
{
    g_init = [](HWND dialog) {
        HWND sorted = GetDlgItem(dialog, 1000);
        HWND plain = GetDlgItem(dialog, 1001);
        ASSERT_NE(sorted, nullptr);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
        // Empty: no selection and no item data.
        EXPECT_EQ(SendMessageA(plain, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(plain, CB_GETITEMDATA, static_cast<WPARAM>(CB_ERR), 0), CB_ERR);
        EXPECT_EQ(SendMessageA(plain, CB_GETITEMDATA, 0, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(plain, CB_SETCURSEL, 0, 0), CB_ERR);
        // The sorted box inserts in order, without regard to case; the plain one appends.
        const char* names[] = {"beta", "Alpha", "gamma", "Delta"};
        for (const char* name : names) {
            SendMessageA(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            SendMessageA(plain, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        }
        EXPECT_EQ(Text(sorted, 0), "Alpha");
        EXPECT_EQ(Text(sorted, 1), "beta");
        EXPECT_EQ(Text(sorted, 2), "Delta");
        EXPECT_EQ(Text(plain, 0), "beta");
        EXPECT_EQ(Text(plain, 3), "Delta");
        // A selection follows its item when an item goes in before it.
        EXPECT_EQ(SendMessageA(sorted, CB_SETCURSEL, 1, 0), 1);
        EXPECT_EQ(SendMessageA(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("aardvark")), 0);
        EXPECT_EQ(Text(sorted, SendMessageA(sorted, CB_GETCURSEL, 0, 0)), "beta");
        EXPECT_EQ(SendMessageA(sorted, CB_SETITEMDATA, 2, 77), 0);
        EXPECT_EQ(SendMessageA(sorted, CB_GETITEMDATA, 2, 0), 77);
        EXPECT_EQ(SendMessageA(sorted, CB_SETITEMDATA, 9, 1), CB_ERR);
        // Out of range clears the selection.
        EXPECT_EQ(SendMessageA(sorted, CB_SETCURSEL, 9, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(sorted, CB_GETCURSEL, 0, 0), CB_ERR);
        SendMessageA(sorted, CB_RESETCONTENT, 0, 0);
        EXPECT_EQ(SendMessageA(sorted, CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(sorted, CB_ADDSTRING, 0, 0), CB_ERR);
    };
    EXPECT_EQ(Run("click 300 450\n"), 5);
}

TEST_F(Dialog, PointerGoesToTheListWhenItIsOverIt)
{
    HWND combo = nullptr;
    g_init = [&](HWND dialog) {
        combo = GetDlgItem(dialog, 1000);
        const char* names[] = {"one", "two"};
        for (const char* name : names)
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
    };
    std::vector<DWORD> listSpot;
    Win32DialogSetStepHook(
        [](HWND dialog, int, void* user) {
            static_cast<std::vector<DWORD>*>(user)->push_back(Win32DialogGetPixel(dialog, 100, 82));
        },
        &listSpot);
    // Open the box, choose the second item (rows of 12 below the 20-pixel box at y 44), click the dialog.
    EXPECT_EQ(Run("click 100 50\nclick 100 82\nclick 300 200\nclick 300 450\n"), 5);
    ASSERT_EQ(listSpot.size(), 4u);
    EXPECT_NE(listSpot[1], listSpot[0]);  // the open list covers the spot
    EXPECT_EQ(listSpot[2], listSpot[0]);  // and is gone after the choice
    const std::vector<UINT> expected = {WM_INITDIALOG, WM_COMMAND,   WM_MOUSEMOVE,
                                        WM_LBUTTONUP,  WM_MOUSEMOVE, WM_LBUTTONUP};
    EXPECT_EQ(Kinds(), expected);
    ASSERT_GE(g_messages.size(), 2u);
    EXPECT_EQ(LOWORD(g_messages[1].wParam), 1000);
    EXPECT_EQ(HIWORD(g_messages[1].wParam), CBN_SELCHANGE);
    EXPECT_EQ(GET_X_LPARAM(g_messages[2].lParam), 300);
    EXPECT_EQ(GET_Y_LPARAM(g_messages[2].lParam), 200);
}

TEST_F(Dialog, RunsEndAndFail)
{
    // Ended during WM_INITDIALOG: no script step runs.
    g_init = [](HWND dialog) { EndDialog(dialog, 3); };
    EXPECT_EQ(Run("click 300 450\n"), 3);
    EXPECT_EQ(Kinds(), std::vector<UINT>{WM_INITDIALOG});
    g_init = nullptr;
    // A script that leaves the dialog open ends it with 0.
    EXPECT_EQ(Run("move 1 1\n"), 0);
    // An unknown template, or no procedure, makes no dialog.
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, RecordingDialog, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), nullptr, nullptr, 0), -1);
    EXPECT_FALSE(EndDialog(nullptr, 1));
    EXPECT_EQ(Win32DialogGetPixel(nullptr, 0, 0), 0xFFFFFFFFu);
}

TEST_F(Dialog, ClickScripts)
{
    std::vector<Win32DialogStep> steps;
    std::string error;
    const std::string good = "# comment, any words\n  move 10 -20\r\n\nselect 1001 3\nclick 32767 -32768";
    ASSERT_TRUE(Win32DialogParseScript(good.data(), good.size(), &steps, &error)) << error;
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].kind, kWin32StepMove);
    EXPECT_EQ(steps[0].b, -20);
    EXPECT_EQ(steps[1].kind, kWin32StepSelect);
    EXPECT_EQ(steps[1].a, 1001);
    EXPECT_EQ(steps[2].a, 32767);
    const char* bad[] = {"move 1\n",
                         "move 1 2 3\n",
                         "click 32768 0\n",
                         "jump 1 2\n",
                         "select -1 0\n",
                         "move 1x 2\n",
                         "click 0 99999999999999999999\n"};
    for (const char* text : bad) {
        steps.assign(1, Win32DialogStep{});
        EXPECT_FALSE(Win32DialogParseScript(text, std::strlen(text), &steps, &error)) << text;
        EXPECT_TRUE(steps.empty());
        EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    }
    const std::string nul("move 1 2\n\0", 10);
    EXPECT_FALSE(Win32DialogParseScript(nul.data(), nul.size(), &steps, &error));
    std::string many;
    for (size_t i = 0; i <= kWin32DialogMaxSteps; ++i)
        many += "move 1 1\n";
    EXPECT_FALSE(Win32DialogParseScript(many.data(), many.size(), &steps, &error));
    const char* fallback = Win32DialogDefaultScript();
    EXPECT_TRUE(Win32DialogParseScript(fallback, std::strlen(fallback), &steps, &error));
    // A script that does not parse is replaced by the default one, which presses nothing here.
    EXPECT_EQ(Run("jump\n"), 0);
}

TEST_F(Dialog, BitmapsAndShell)
{
    char path[] = "/tmp/win32_dialog_test_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(picture, nullptr);
    SDL_FillRect(picture, nullptr, SDL_MapRGB(picture->format, 10, 20, 30));
    ASSERT_EQ(SDL_SaveBMP(picture, path), 0);
    SDL_FreeSurface(picture);

    HANDLE bitmap = LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, 0), nullptr);  // resources do not exist
    DWORD drawn = 0, beside = 0;
    g_init = [&](HWND dialog) {
        ShowWindow(GetDlgItem(dialog, 1000), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, 1001), SW_HIDE);
    };
    struct Painting {
        HANDLE bitmap;
        DWORD* drawn;
        DWORD* beside;
    } painting = {bitmap, &drawn, &beside};
    Win32DialogSetStepHook(
        [](HWND dialog, int step, void* user) {
            auto* p = static_cast<Painting*>(user);
            if (step != 0)
                return;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dialog, &ps);
            EXPECT_TRUE(
                DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(p->bitmap), 0, 7, 9, 0, 0, DST_BITMAP));
            EXPECT_FALSE(DrawStateA(dc, nullptr, nullptr, 0, 0, 0, 0, 0, 0, DST_BITMAP));
            EndPaint(dialog, &ps);
            *p->drawn = Win32DialogGetPixel(dialog, 9, 10);
            *p->beside = Win32DialogGetPixel(dialog, 10, 10);
        },
        &painting);
    EXPECT_EQ(Run("click 300 450\n"), 5);
    EXPECT_EQ(drawn, 0x0A141Eu);
    EXPECT_NE(beside, drawn);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));

    // Not a picture, a missing file, and a header promising more rows than the file has: no bitmap.
    std::FILE* file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    const unsigned char shortFile[] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0,  0, 0, 40, 0, 0,
                                       0,   0,   1, 0, 0, 0, 1, 0, 0, 1, 0,  24, 0, 0, 0,  0, 0};
    std::fwrite(shortFile, 1, sizeof(shortFile), file);
    std::fclose(file);
    EXPECT_EQ(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    std::remove(path);
    EXPECT_EQ(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);

    char folder[260] = "x";
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_WINDOWS, FALSE));
    EXPECT_STREQ(folder, "");
}

// Opening a document: a file that cannot be read and a machine without the desktop's opener are failures the
// caller hears of; with the opener on PATH and no display the request is written to standard error.
TEST_F(Dialog, ShellOpensOnlyWhatItCan)
{
    char folder[] = "/tmp/win32_shell_test_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string page = std::string(folder) + "/Help.htm";
    const std::string opener = std::string(folder) + "/xdg-open";
    std::FILE* file = std::fopen(page.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    const std::string quoted = "\"" + page + "\"";
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    const auto open = [](const std::string& name) {
        return reinterpret_cast<intptr_t>(
            ShellExecuteA(nullptr, "open", name.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    };

    setenv("PATH", folder, 1);  // no opener there yet
    EXPECT_EQ(open(quoted), SE_ERR_NOASSOC);
    file = std::fopen(opener.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(open(quoted), SE_ERR_NOASSOC) << "a file that cannot run is no opener";
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    const intptr_t opened = open(quoted);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_GT(opened, 32);
    EXPECT_NE(err.find("open " + page + "\n"), std::string::npos) << err;
    EXPECT_EQ(open(std::string(folder) + "/Missing.htm"), SE_ERR_FNF);
    EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "print", quoted.c_str(), nullptr, nullptr, 0)),
              SE_ERR_NOASSOC);

    setenv("PATH", savedPath.c_str(), 1);
    std::remove(opener.c_str());
    std::remove(page.c_str());
    rmdir(folder);
}
