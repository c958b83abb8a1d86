// The start-up launcher: a modal dialog of bitmaps with a language page, adapter and full-screen mode lists,
// and play, help, language, quit and uninstall buttons; it saves the choices into ./setup.xml.
//
// Runs before the engine starts, after it opened: it only reads the graphics core's adapter and mode lists and
// switches its adapter. It calls the platform's dialog, GDI and shell stand-ins and the engine's tag tree.
// Single-threaded. LauncherChooseVideoMode owns the launcher while the choice is made: Reset, Run, Release,
// delete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/windows.h"

class CFerroxLocale;
class CFerroxTagTree;

// What the launcher is run with: the dialog's owner, the settings tree and file, and the game's language in and
// out. The program's shell fills it from the application and the game when the game asks for a video mode (tests
// give their own settings file); the rest of the interface calls the game's operations.
struct LauncherGame {
    HWND window = nullptr;            // owner of the dialog
    HINSTANCE instance = nullptr;     // the application's module
    CFerroxTagTree* setup = nullptr;  // the settings tree, saved as setupFile only when it loaded
    int16_t language = 0;             // the game's language field: 0 English, 1 German, 2 French
    CFerroxLocale* locale = nullptr;  // the game's locale; none yet at launcher time
    const char* setupFile = "./setup.xml";
};

constexpr int kLauncherBitmaps = 17;
constexpr int kLauncherRects = 11;
constexpr int kLauncherAdapterNameSize = 80;
constexpr int kLauncherMaxAdapters = 2;

// Pages, hot buttons and ticks.
constexpr int32_t kLauncherPageMain = 5;
constexpr int32_t kLauncherPageLanguage = 3;
constexpr int32_t kLauncherNone = 17;
constexpr int32_t kLauncherUninstallHot = 12;
constexpr int32_t kLauncherTickBase = 8;

// Dialog controls.
constexpr int kLauncherAdapterCombo = 1000;
constexpr int kLauncherModeCombo = 1001;

class CLauncherDialog {
public:
    CLauncherDialog() { Reset(); }
    ~CLauncherDialog() { Release(); }
    CLauncherDialog(const CLauncherDialog&) = delete;
    CLauncherDialog& operator=(const CLauncherDialog&) = delete;

    // All members zero, page language, hot button and language tick -1 (bitmaps are forgotten, not freed).
    void Reset();
    // Shows the dialog; 1 = play, 0 = quit, uninstall or no adapter, -1 = no dialog could be made.
    int Run(LauncherGame* game);
    // Deletes the bitmaps, then Reset.
    void Release();

    // The dialog procedure: reaches the launcher through the dialog's user data.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int32_t m_installed;
    HWND m_hWnd;
    int32_t m_page;
    int32_t m_hotButton;
    int32_t m_languageTick;
    HBITMAP m_bitmaps[kLauncherBitmaps];
    RECT m_rects[kLauncherRects];
    char m_adapterNames[kLauncherMaxAdapters][kLauncherAdapterNameSize];
    int32_t m_adapterCount;
    int32_t m_currentAdapter;
    int32_t m_selectedMode;
    int32_t m_storedWidth, m_storedHeight, m_storedDepth;
    int32_t m_defaultModeItem;

private:
    int OnInitDialog();
    void HitTest(int x, int y);
    void Paint();
    void OnClick();
    void SetLanguage(int language);
    void LoadLanguageBitmaps(int language);
    void FillModeList(HWND combo);
    void OnAdapterChanged();
    // A save that fails is told on the debugger output.
    void SaveSettings();
    void Repaint();
    void ShowCombos(bool show);
    int CurrentLanguage() const;
    void LoadBitmap(int index, int file);
    void OpenHelp();

    LauncherGame* m_pGame = nullptr;
};

// What the game's ChooseVideoMode does: creates the launcher, resets it, sets its installed flag, runs it,
// hands the current adapter and the selected mode back (negative values become 0) when the result is not 0,
// then releases and deletes it. Returns the dialog's result.
int LauncherChooseVideoMode(LauncherGame* game, int installed, int* adapter, int* mode);
