// Tests of the start-up launcher, run automatically by click scripts on the software device in a scratch start
// folder: pages, mode lists, the saved settings, hit rectangles, bitmaps and painted pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/testsupport/temp_dir.h"
#include "platform/testsupport/debugoutput.h"
#include "platform/win32/dialog_auto.h"
#include "platform/win32/dialog_testing.h"
#include "ui/frontend/launcher.h"

namespace {

// What the launcher told the debugger output.
std::string g_told;
void Tell(const char* text) { g_told += text; }

D3DDISPLAYMODE Fs(UINT w, UINT h, D3DFORMAT format = D3DFMT_X8R8G8B8) { return D3DDISPLAYMODE{w, h, 60, format}; }

// Two cards with names that sort the other way round and lists of their own.
struct TwoCards : GxD3D9TestAdapter {
    std::vector<D3DDISPLAYMODE> secondModes;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id) override
    {
        const HRESULT hr = GxD3D9TestAdapter::GetAdapterIdentifier(adapter, flags, id);
        if (SUCCEEDED(hr))
            std::strcpy(id->Description, adapter == 0 ? "Zeta card" : "Alpha card");
        return hr;
    }
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE* out) override
    {
        if (adapter != 1)
            return GxD3D9TestAdapter::EnumAdapterModes(adapter, format, index, out);
        for (const D3DDISPLAYMODE& m : secondModes) {
            if (m.Format == format && index-- == 0) {
                *out = m;
                return D3D_OK;
            }
        }
        return D3DERR_INVALIDCALL;
    }
};

// Each picture file is one flat colour of its own, so a pixel tells which file was drawn there.
DWORD FileColour(int file)
{
    return static_cast<DWORD>((file * 6) << 16 | (255 - file * 5) << 8 | ((file * 37) & 0xFF));
}

void FileSize(int file, int* width, int* height)
{
    *width = 190;
    *height = 24;
    if (file == 16 || file == 17 || file == 27 || file == 37) {
        *width = 640;
        *height = 480;
    } else if (file >= 6 && file <= 11) {
        *width = 120;
        *height = 72;
    }
}

// The room left of the main page's buttons: the page's own picture, nothing written over it.
constexpr int kNoticeLeft = 24, kNoticeRight = 340, kNoticeTop = 296, kNoticeRows = 24;

// What a step of a run saw.
struct Seen {
    int32_t page, hot, tick, selectedMode, adapter;
    bool adapterShown, modesShown;
    std::vector<std::string> modes;
    int modeSelection;
    DWORD background;
    bool onlyPicture;  // the room left of the buttons shows the background alone
    std::function<DWORD(int, int)> pixel;
};

class Launcher : public GxD3D9SoftwareTest {
protected:
    Launcher() : GxD3D9SoftwareTest(64, 64) {}

    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              (std::string("ferrox_launcher_") + info->name() + "_" + FerroxTestRunTag());
        std::filesystem::create_directories(dir / "images" / "startup");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        // Images exist while the engine runs; the launcher itself works on the opened engine.
        for (int file = 1; file <= 37; ++file)
            WritePicture(file);
        ASSERT_TRUE(GxEngineStop());
        cards.modes = {Fs(640, 480), Fs(800, 600, D3DFMT_R5G6B5), Fs(800, 600), Fs(1024, 768)};
        cards.secondModes = {Fs(1280, 1024)};
        GxD3D9TestInstallAdapter(&cards);
        Win32DialogSetAutomatic(TRUE);
        Win32DialogSetStepHook(&Launcher::Hook, this);
        g_told.clear();
        StandInSetDebugOutputHook(Tell);
    }
    void TearDown() override
    {
        StandInSetDebugOutputHook(nullptr);
        Win32DialogSetStepHook(nullptr, nullptr);
        Win32DialogSetScript(nullptr);
        Win32DialogSetAutomatic(FALSE);
        std::error_code ignored;
        if (!previous.empty())
            std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(dir, ignored);
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
    }

    void WritePicture(int file)
    {
        int width = 0, height = 0;
        FileSize(file, &width, &height);
        GxImage* image = GxImageAllocatePixels(GxImageCreate(width, height, 32));
        ASSERT_NE(image, nullptr);
        const DWORD c = FileColour(file);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                GxUInt8* p = image->pixels + y * image->stride + 4 * x;
                p[0] = static_cast<GxUInt8>(c >> 16);
                p[1] = static_cast<GxUInt8>(c >> 8);
                p[2] = static_cast<GxUInt8>(c);
                p[3] = 255;
            }
        }
        const std::string path = (dir / "images" / "startup" / (std::to_string(file) + ".bmp")).string();
        EXPECT_NE(GxImageWriteBMP(image, path.c_str()), nullptr);
        GxImageDestroy(image);
    }

    static void Hook(HWND dialog, int step, void* user)
    {
        auto* self = static_cast<Launcher*>(user);
        auto* launcher = reinterpret_cast<CLauncherDialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
        Seen seen = {};
        seen.page = launcher->m_page;
        seen.hot = launcher->m_hotButton;
        seen.tick = launcher->m_languageTick;
        seen.selectedMode = launcher->m_selectedMode;
        seen.adapter = launcher->m_currentAdapter;
        HWND modes = GetDlgItem(dialog, kLauncherModeCombo);
        seen.adapterShown = (GetWindowLongA(GetDlgItem(dialog, kLauncherAdapterCombo), GWL_STYLE) & WS_VISIBLE) != 0;
        seen.modesShown = (GetWindowLongA(modes, GWL_STYLE) & WS_VISIBLE) != 0;
        const LRESULT count = SendMessageA(modes, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[128] = {};
            SendMessageA(modes, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            seen.modes.push_back(text);
        }
        seen.modeSelection = static_cast<int>(SendMessageA(modes, CB_GETCURSEL, 0, 0));
        seen.background = Win32DialogGetPixel(dialog, 5, 5);
        seen.onlyPicture = true;
        for (int y = kNoticeTop; y < kNoticeTop + kNoticeRows; ++y)
            for (int x = kNoticeLeft; x < kNoticeRight; ++x)
                seen.onlyPicture = seen.onlyPicture && Win32DialogGetPixel(dialog, x, y) == seen.background;
        self->steps.push_back(seen);
        if (self->onStep)
            self->onStep(dialog, step);
    }

    // Runs the launcher over setupText (none: no file) with a click script; the settings file is read as
    // the program reads it.
    int Run(const char* setupText, const char* script)
    {
        if (setupText != nullptr)
            WriteText("setup.xml", setupText);
        Win32DialogSetScript(script);
        steps.clear();
        CFerroxTagTree tree;
        tree.Load("./setup.xml");
        game.setup = &tree;
        game.language = 0;
        adapter = -7;
        mode = -7;
        const int result = LauncherChooseVideoMode(&game, 0, &adapter, &mode);
        game.setup = nullptr;
        return result;
    }

    void WriteText(const char* name, const std::string& text)
    {
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string ReadText(const char* name)
    {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Index of a full-screen mode of the current adapter, or -1.
    static int ModeIndex(int width, int height, int depth)
    {
        for (GxInt32 i = 0; i < GxEngineGetNumVideoModes(); ++i) {
            GxVideoMode m = {};
            if (GxEngineGetVideoModeInfo(&m, i) && m.width == width && m.height == height && m.depth == depth &&
                (m.flags & 1))
                return i;
        }
        return -1;
    }

    TwoCards cards;
    LauncherGame game;
    int adapter = 0, mode = 0;
    std::vector<Seen> steps;
    std::function<void(HWND, int)> onStep;
    std::filesystem::path dir, previous;
};

const char kEnglish800x600x32[] =
    "<Application_Data>\r\n<VideoModeWidth>\r\n800\r\n</VideoModeWidth>\r\n<VideoModeHeight>\r\n600\r\n"
    "</VideoModeHeight>\r\n<VideoModeBits>\r\n32\r\n</VideoModeBits>\r\n<ModeIndex>\r\n0\r\n</ModeIndex>\r\n"
    "</Application_Data>\r\n<Game_Data>\r\n<Language>\r\n0\r\n</Language>\r\n</Game_Data>\r\n";

const char kPlay[] = "click 400 300\n";

}  // namespace

TEST_F(Launcher, ListsOnlyWideFullScreenModesAndPreselectsTheStoredOne)
{
    ASSERT_EQ(Run(kEnglish800x600x32, kPlay), 1);
    ASSERT_FALSE(steps.empty());
    const Seen& first = steps.front();
    EXPECT_EQ(first.page, kLauncherPageMain);
    EXPECT_TRUE(first.modesShown);
    // The windowed desktop entry (1024 wide) and 640 x 480 are left out; 16-bit modes come first.
    EXPECT_EQ(first.modes,
              (std::vector<std::string>{"800 x 600 x 16 bit", "800 x 600 x 32 bit", "1024 x 768 x 32 bit"}));
    EXPECT_EQ(first.modeSelection, 1);
    const int chosen = ModeIndex(800, 600, 32);
    EXPECT_EQ(first.selectedMode, chosen);
    EXPECT_EQ(adapter, 0);
    EXPECT_EQ(mode, chosen);
    // The mode values end with a line feed of their own; every other line with CR LF.
    const std::string expected = "<Game_Data>\r\n<Language>\r\n0\r\n</Language>\r\n</Game_Data>\r\n";
    const std::string application = "<Application_Data>\r\n<VideoModeWidth>\r\n800\n</VideoModeWidth>\r\n"
                                    "<VideoModeHeight>\r\n600\n</VideoModeHeight>\r\n<VideoModeBits>\r\n32\n"
                                    "</VideoModeBits>\r\n<ModeIndex>\r\n" +
                                    std::to_string(chosen) + "\n</ModeIndex>\r\n</Application_Data>\r\n";
    EXPECT_EQ(ReadText("setup.xml"), application + expected);
}

TEST_F(Launcher, ChangingTheAdapterRefillsTheModes)
{
    cards.adapters = 2;
    GxEngineSetSubSystem(0);
    ASSERT_EQ(Run(kEnglish800x600x32, "select 1000 0\nclick 400 300\n"), 1);
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[0].adapter, 0);
    EXPECT_EQ(steps[0].modes.size(), 3u);
    // "Alpha card" sorts first and is adapter 1.
    EXPECT_EQ(steps[1].adapter, 1);
    EXPECT_EQ(steps[1].modes, (std::vector<std::string>{"1280 x 1024 x 32 bit"}));
    // No mode of the new list fits the stored one: the default item stays the first list's, which this list does
    // not hold, so nothing is selected and the game hands the engine mode 0.
    EXPECT_EQ(steps[1].modeSelection, CB_ERR);
    EXPECT_EQ(steps[1].selectedMode, CB_ERR);
    EXPECT_EQ(adapter, 1);
    EXPECT_EQ(mode, 0);
}

// With no mode listed the selection holds no mode: the game hands the engine mode 0, and the settings keep the
// selection as it is, with no size.
TEST_F(Launcher, WithNoModeListedTheGameTakesModeZero)
{
    cards.modes = {Fs(640, 480), Fs(512, 384)};
    GxEngineSetSubSystem(0);
    ASSERT_EQ(Run(kEnglish800x600x32, kPlay), 1);
    EXPECT_TRUE(steps.front().modes.empty());
    EXPECT_EQ(steps.front().selectedMode, CB_ERR);
    EXPECT_EQ(steps.front().adapter, 0);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(adapter, 0);
    CFerroxTagTree saved;
    ASSERT_TRUE(saved.Load("./setup.xml"));
    ASSERT_TRUE(saved.FindNode("Application_Data", 1) && saved.FindChild("VideoModeWidth"));
    EXPECT_STREQ(saved.GetValue(0), "0");
    ASSERT_TRUE(saved.FindNode("ModeIndex", 1));
    EXPECT_EQ(std::string(saved.GetValue(0)), std::to_string(CB_ERR));
}

TEST_F(Launcher, LanguagePageUntilALanguageIsChosen)
{
    // A stored language outside 0-2 is no choice: the language page, no tick, no lists.
    const char* setup = "<Game_Data>\r\n<Language>\r\n7\r\n</Language>\r\n</Game_Data>\r\n";
    ASSERT_EQ(Run(setup, "click 300 100\nclick 400 300\n"), 1);
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[0].page, kLauncherPageLanguage);
    EXPECT_EQ(steps[0].tick, kLauncherNone);
    EXPECT_FALSE(steps[0].adapterShown);
    EXPECT_FALSE(steps[0].modesShown);
    EXPECT_EQ(steps[0].background, FileColour(17));
    // French: the main page with the French pictures and both lists.
    EXPECT_EQ(steps[1].page, kLauncherPageMain);
    EXPECT_EQ(steps[1].tick, kLauncherTickBase + 2);
    EXPECT_TRUE(steps[1].adapterShown);
    EXPECT_TRUE(steps[1].modesShown);
    EXPECT_EQ(steps[1].background, FileColour(27));
    EXPECT_EQ(game.language, 2);
    // Saved where the locale and the next start read it, so the page does not come back.
    ASSERT_EQ(Run(nullptr, kPlay), 1);
    EXPECT_EQ(steps[0].page, kLauncherPageMain);
    EXPECT_EQ(steps[0].background, FileColour(27));
}

// The language goes into the first node whose name holds "Language", wherever it stands; a file without one
// is saved without a language.
TEST_F(Launcher, LanguageGoesIntoTheFirstLanguageNodeOrNowhere)
{
    const char* both = "<Application_Data>\r\n<UILanguage>\r\n0\r\n</UILanguage>\r\n</Application_Data>\r\n"
                       "<Game_Data>\r\n<Language>\r\n0\r\n</Language>\r\n</Game_Data>\r\n";
    // The language page, German, then play.
    ASSERT_EQ(Run(both, "click 400 400\nclick 500 100\nclick 400 300\n"), 1);
    CFerroxTagTree written;
    ASSERT_TRUE(written.Load("./setup.xml"));
    ASSERT_TRUE(written.FindNode("UILanguage", 1));
    EXPECT_STREQ(written.GetValue(0), "1");
    ASSERT_TRUE(written.FindNode("Game_Data", 1) && written.FindChild("Language"));
    EXPECT_STREQ(written.GetValue(0), "0");

    const char* setup = "<Application_Data>\r\n</Application_Data>\r\n<Other>\r\nkeep\r\n</Other>\r\n";
    // German, then play.
    ASSERT_EQ(Run(setup, "click 500 100\nclick 400 300\n"), 1);
    EXPECT_EQ(steps[0].page, kLauncherPageLanguage);
    EXPECT_EQ(game.language, 1);
    CFerroxTagTree saved;
    ASSERT_TRUE(saved.Load("./setup.xml"));
    EXPECT_FALSE(saved.FindNode("Language", 1));
    // The empty Application_Data is kept and gets its four keys; nothing else is lost.
    ASSERT_TRUE(saved.FindNode("Application_Data", 1));
    CFerroxTagNode* application = saved.GetCursor();
    EXPECT_EQ(application->parent, saved.GetRoot());
    EXPECT_EQ(application->children.size(), 4u);
    ASSERT_TRUE(saved.FindNode("Other", 1));
    EXPECT_STREQ(saved.GetValue(0), "keep");
}

// Help leaves the page as it is: a page that does not open is named on the debugger output, with where it is;
// choosing another language keeps the chosen mode.
TEST_F(Launcher, HelpTellsTheDebuggerOutputWhereThePageIs)
{
    std::string french = kEnglish800x600x32;
    french.replace(french.find("<Language>\r\n0"), std::strlen("<Language>\r\n0"), "<Language>\r\n2");
    // Help, the last mode, the language page, English, quit.
    const int result =
        Run(french.c_str(), "click 400 360\nselect 1001 2\nclick 400 400\nclick 130 95\nclick 400 430\n");
    const std::string told = g_told;
    EXPECT_EQ(result, 0);
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].modes,
              (std::vector<std::string>{"800 x 600 x 16 bit", "800 x 600 x 32 bit", "1024 x 768 x 32 bit"}));
    EXPECT_TRUE(steps[0].onlyPicture);
    EXPECT_TRUE(steps[1].onlyPicture) << "nothing is written on the page";
    EXPECT_NE(told.find(std::filesystem::current_path().string() + "/help/fre/Help.htm"), std::string::npos) << told;
    const Seen& english = steps[4];
    EXPECT_EQ(english.modes,
              (std::vector<std::string>{"800 x 600 x 16 bit", "800 x 600 x 32 bit", "1024 x 768 x 32 bit"}));
    EXPECT_EQ(english.modeSelection, 2);
    EXPECT_EQ(english.selectedMode, ModeIndex(1024, 768, 32));

    // With the page there and an opener to take it, nothing is told.
    std::filesystem::create_directories(dir / "help" / "eng");
    WriteText("help/eng/Help.htm", "<html></html>");
    WriteText("xdg-open", "");
    std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    setenv("PATH", dir.c_str(), 1);
    g_told.clear();
    EXPECT_EQ(Run(kEnglish800x600x32, "click 400 360\nclick 400 430\n"), 0);
    const std::string err = g_told;
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_TRUE(steps[1].onlyPicture);
    EXPECT_EQ(err.find("launcher:"), std::string::npos) << err;
}

TEST_F(Launcher, QuitSavesUninstallDoesNothing)
{
    // Uninstall, quit.
    EXPECT_EQ(Run(kEnglish800x600x32, "click 400 330\nclick 400 430\n"), 0);
    ASSERT_EQ(steps.size(), 2u);
    // Uninstall is highlighted but finds no system folder, so the dialog stays until quit.
    EXPECT_EQ(steps[1].hot, kLauncherUninstallHot);
    EXPECT_EQ(adapter, -7);
    EXPECT_EQ(mode, -7);
    EXPECT_TRUE(std::filesystem::exists(dir / "setup.xml"));
    // Quit saved the mode and language.
    EXPECT_NE(ReadText("setup.xml").find("<ModeIndex>"), std::string::npos);
}

// Only a settings tree that loaded is saved: a missing file is not made, and a tree whose load failed never
// replaces the file there.
TEST_F(Launcher, ATreeThatDidNotLoadIsNeverSaved)
{
    // Without a language the language page comes first: German, then play.
    const char* script = "click 500 100\nclick 400 300\n";
    std::filesystem::remove(dir / "setup.xml");
    EXPECT_EQ(Run(nullptr, script), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "setup.xml"));

    const std::string cut = std::string(kEnglish800x600x32).substr(0, std::strlen(kEnglish800x600x32) / 2);
    WriteText("setup.xml", cut);
    CFerroxTagTree tree;
    ASSERT_EQ(0, tree.Load("./missing.xml"));
    game.setup = &tree;
    Win32DialogSetScript(script);
    EXPECT_EQ(LauncherChooseVideoMode(&game, 0, &adapter, &mode), 1);
    game.setup = nullptr;
    EXPECT_EQ(ReadText("setup.xml"), cut);
}

// A settings file that cannot be written is kept, the launcher says so, and the press plays.
TEST_F(Launcher, ASaveThatFailsIsToldAndPlays)
{
    game.setupFile = "./nofolder/setup.xml";
    EXPECT_EQ(Run(kEnglish800x600x32, kPlay), 1);
    game.setupFile = "./setup.xml";
    EXPECT_NE(g_told.find("the settings were not saved: ./nofolder/setup.xml"), std::string::npos) << g_told;
    EXPECT_EQ(ReadText("setup.xml"), kEnglish800x600x32);
    EXPECT_FALSE(std::filesystem::exists(dir / "nofolder"));
}

TEST_F(Launcher, NoAdapterEndsAtOnceWithoutSaving)
{
    cards.adapters = 0;
    EXPECT_EQ(Run(kEnglish800x600x32, kPlay), 0);
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(adapter, -7);
    EXPECT_EQ(ReadText("setup.xml"), kEnglish800x600x32);
}

TEST_F(Launcher, ButtonRectanglesIncludeLeftTopAndExcludeRightBottom)
{
    const char* main =
        "move 352 292\nmove 541 315\nmove 542 300\nmove 400 316\nmove 351 300\nmove 400 291\nclick 400 390\n";
    // English reacts down to y = 230, German and French down to y = 130.
    const char* language = "move 100 230\nmove 100 231\nmove 500 130\nmove 500 131\nmove 300 130\nmove 300 131\n"
                           "move 70 59\nmove 69 59\nclick 100 100\nclick 400 430\n";
    std::string script = std::string(main) + language;
    ASSERT_EQ(Run(kEnglish800x600x32, script.c_str()), 0);
    const std::vector<int32_t> expected = {0,
                                           0,
                                           kLauncherNone,
                                           kLauncherNone,
                                           kLauncherNone,
                                           kLauncherNone,
                                           kLauncherNone,  // the language button took the page over
                                           5,
                                           kLauncherNone,
                                           6,
                                           kLauncherNone,
                                           7,
                                           kLauncherNone,
                                           5,
                                           kLauncherNone};
    ASSERT_GE(steps.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(steps[i + 1].hot, expected[i]) << "step " << i + 1;
}

TEST_F(Launcher, SameLanguageReloadsNothingAndMissingPicturesDrawNothing)
{
    const char* french = "<Game_Data>\r\n<Language>\r\n2\r\n</Language>\r\n</Game_Data>\r\n";
    // Language page, French again, then German. Once the French pictures are shown, the French background's file
    // is given another picture: choosing French again reads no file, so the page keeps the one it had.
    const std::filesystem::path frenchBackground = dir / "images" / "startup" / "27.bmp";
    onStep = [&](HWND, int) {
        if (steps.size() == 2)
            std::filesystem::copy_file(dir / "images" / "startup" / "17.bmp", frenchBackground,
                                       std::filesystem::copy_options::overwrite_existing);
    };
    ASSERT_EQ(Run(french, "click 400 400\nclick 300 100\nclick 400 400\nclick 500 100\nclick 400 300\n"), 1);
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[1].page, kLauncherPageLanguage);
    EXPECT_EQ(steps[2].page, kLauncherPageMain);
    EXPECT_EQ(steps[2].background, FileColour(27));
    EXPECT_EQ(steps[4].background, FileColour(37));
    onStep = nullptr;

    for (int file = 1; file <= 37; ++file)
        std::filesystem::remove(dir / "images" / "startup" / (std::to_string(file) + ".bmp"));
    WriteText("images/startup/16.bmp", "BM not a picture");
    DWORD corner = 0;
    onStep = [&](HWND dialog, int) { corner = Win32DialogGetPixel(dialog, 639, 479); };
    ASSERT_EQ(Run(nullptr, kPlay), 1);
    EXPECT_EQ(steps[0].background, corner);
    EXPECT_NE(steps[0].background, FileColour(16));
}

TEST_F(Launcher, PaintedPixels)
{
    std::vector<std::pair<DWORD, DWORD>> seen;  // (play spot, French tick spot) per step
    onStep = [&](HWND dialog, int) {
        seen.emplace_back(Win32DialogGetPixel(dialog, 400, 300), Win32DialogGetPixel(dialog, 300, 100));
    };
    const char* french = "<Game_Data>\r\n<Language>\r\n2\r\n</Language>\r\n</Game_Data>\r\n";
    ASSERT_EQ(Run(french, "move 400 300\nmove 10 10\nclick 400 400\nmove 10 10\nclick 300 100\nclick 400 430\n"), 0);
    ASSERT_GE(seen.size(), 5u);
    EXPECT_EQ(seen[0].first, FileColour(27));
    // Play highlighted under the pointer (French: file 18), and gone when the pointer leaves.
    EXPECT_EQ(seen[1].first, FileColour(18));
    EXPECT_EQ(seen[2].first, FileColour(27));
    // The language page with the French tick (file 11) over its background (file 17).
    EXPECT_EQ(seen[4].second, FileColour(11));
    EXPECT_EQ(seen[4].first, FileColour(17));
}

TEST_F(Launcher, DamagedSettingsNeitherCrashNorLeaveAPartialFile)
{
    const char* const damaged[] = {
        "",
        "<Application_Data>\r\n<VideoModeWidth>\r\nabc\r\n",
        "<Game_Data>\r\n",
        "<Game_Data>\r\n<Language>\r\n</Language>\r\n</Game_Data>\r\n",
        ("<Application_Data>\r\n<VideoModeWidth>\r\n1\r\n</VideoModeWidth>\r\n<VideoModeWidth>\r\n2\r\n"
         "</VideoModeWidth>\r\n</Application_Data>\r\n"),
        "</Application_Data>\r\n</Game_Data>\r\n\x01\xff<<>>\r\n",
        "<Game_Data>\r\n<Language>\r\n99999999999999999999\r\n</Language>\r\n</Game_Data>\r\n",
    };
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        // The default script: English when the language page shows, then play.
        ASSERT_EQ(Run(text, Win32DialogDefaultScript()), 1);
        CFerroxTagTree saved;
        ASSERT_TRUE(saved.Load("./setup.xml"));
        // A language node with a value gets the language; one without is given none.
        if (saved.FindNode("Game_Data", 1) && saved.FindChild("Language")) {
            const bool valueless = std::strstr(text, "<Language>\r\n</Language>") != nullptr;
            EXPECT_STREQ(saved.GetValue(0), valueless ? "" : "0");
        }
        // The mode goes into "Application_Data" only where there is one.
        const bool application = std::strstr(text, "<Application_Data>") != nullptr;
        ASSERT_EQ(saved.FindNode("Application_Data", 1) == 1, application);
        if (application) {
            ASSERT_TRUE(saved.FindChild("ModeIndex"));
            EXPECT_EQ(std::string(saved.GetValue(0)), std::to_string(mode));
        }
    }
}
