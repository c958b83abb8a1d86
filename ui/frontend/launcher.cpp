// The start-up launcher: pages of bitmaps, the adapter and mode lists, and the settings it saves.
//
// Sections: bitmap and rectangle tables; settings reads and writes; run and lifecycle; the dialog procedure
// and its operations.
#include "ui/frontend/launcher.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "gfx/core/engine.h"

namespace {

// ---- bitmap and rectangle tables ----

constexpr int kDialogTemplate = 101;
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 480;
constexpr int kNarrowestListedWidth = 640;  // modes must be wider than this
constexpr GxInt32 kExclusiveMode = 1;       // video mode flag: full screen
constexpr int kPathSize = 64;
constexpr int kFolderPathSize = 260;
constexpr intptr_t kShellFailed = 32;  // ShellExecuteA's results up to this are failures

// Bitmaps by index.
constexpr int kPlayHot = 0;
constexpr int kUninstallButton = 11;
constexpr int kMainBackground = 15;
constexpr int kLanguageBackground = 16;

// Buttons: main page 0-4, language page 5-7; ticks 8-10.
constexpr int kPlay = 0;
constexpr int kUninstall = 1;
constexpr int kHelp = 2;
constexpr int kLanguagePage = 3;
constexpr int kQuit = 4;
constexpr int kEnglish = 5;
constexpr int kFrench = 7;
constexpr int kFirstTick = 8;
constexpr int kLastTick = 10;

constexpr int kGerman = 1;
constexpr int kFrenchLanguage = 2;
constexpr int kFirstGermanFile = 28;
constexpr int kFirstFrenchFile = 18;

// The bitmaps a language replaces, in the order its files are numbered.
constexpr int kLanguageBitmaps[] = {0, 1, 2, 3, 4, 11, 12, 13, 14, 15};

constexpr RECT kRects[kLauncherRects] = {
    {352, 292, 542, 316}, {352, 324, 542, 348}, {352, 356, 542, 380}, {352, 388, 542, 412},
    {352, 420, 542, 444}, {70, 59, 190, 231},   {455, 59, 575, 131},  {261, 59, 381, 131},
    {70, 59, 190, 131},   {455, 59, 575, 131},  {261, 59, 381, 131},
};

// The mode list's unit of depth.
constexpr const char* kBitWord = "bit";

const char* const kHelpPages[] = {"/help/eng/Help.htm", "/help/ger/Help.htm", "/help/fre/Help.htm"};

// A language the launcher has a help page for: 0 English, 1 German, 2 French; English for any other.
int KnownLanguage(int language) { return language >= 0 && language <= 2 ? language : 0; }

const char kApplicationData[] = "Application_Data";
const char kGameData[] = "Game_Data";
const char kLanguageKey[] = "Language";
const char* const kModeKeys[] = {"VideoModeWidth", "VideoModeHeight", "VideoModeBits", "ModeIndex"};
constexpr int kStoredKeys = 3;  // the first three are read back

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// ---- settings reads and writes ----

// The first value of a child of the cursor node as a decimal integer; the cursor stays.
bool ReadChildInt(CFerroxTagTree* tree, const char* key, int* out)
{
    CFerroxTagNode* node = tree->GetCursor();
    bool read = false;
    if (tree->FindChild(key)) {
        const char* value = tree->GetValue(0);
        read = value != nullptr && FromString<int>(value, *out);
    }
    tree->SetCursor(node);
    return read;
}

// The cursor node's first value as a language; a value that does not parse reads as -1.
int CursorLanguage(CFerroxTagTree* tree)
{
    const char* value = tree->GetValue(0);
    int read = -1;
    if (value == nullptr || !FromString<int>(value, read))
        read = -1;
    return read;
}

// "Game_Data" -> "Language" as an integer; false when there is no such node.
bool ReadLanguage(CFerroxTagTree* tree, int* language)
{
    if (tree == nullptr || !tree->FindNode(kGameData, 1) || !tree->FindChild(kLanguageKey))
        return false;
    *language = CursorLanguage(tree);
    return true;
}

// The first node whose name holds "Language" as an integer; false when the tree has none.
bool ReadFirstLanguage(CFerroxTagTree* tree, int* language)
{
    if (tree == nullptr || !tree->FindNode(kLanguageKey, 1))
        return false;
    *language = CursorLanguage(tree);
    return true;
}

// Deletes the child named key (the first whose name contains it), adds a new one, reaches it by name and gives it the
// one value; the cursor returns to the parent.
void ReplaceKey(CFerroxTagTree* tree, CFerroxTagNode* parent, const char* key, const std::string& value)
{
    tree->SetCursor(parent);
    if (tree->FindChild(key))
        tree->DeleteCurrent();  // the cursor goes back to the parent
    if (tree->AddChild(key) && tree->FindChild(key))
        tree->AddValue(value.c_str());
    tree->SetCursor(parent);
}

}  // namespace

// ---- run and lifecycle ----

void CLauncherDialog::Reset()
{
    m_installed = 0;
    m_hWnd = nullptr;
    m_page = kLauncherPageLanguage;
    m_hotButton = -1;
    m_languageTick = -1;
    std::fill(std::begin(m_bitmaps), std::end(m_bitmaps), nullptr);
    std::fill(std::begin(m_rects), std::end(m_rects), RECT{0, 0, 0, 0});
    for (auto& name : m_adapterNames)
        std::fill(std::begin(name), std::end(name), '\0');
    m_adapterCount = 0;
    m_currentAdapter = 0;
    m_selectedMode = 0;
    m_storedWidth = 0;
    m_storedHeight = 0;
    m_storedDepth = 0;
    m_defaultModeItem = 0;
    m_pGame = nullptr;
}

void CLauncherDialog::Release()
{
    for (HBITMAP& bitmap : m_bitmaps) {
        if (bitmap != nullptr)
            DeleteObject(bitmap);
        bitmap = nullptr;
    }
    Reset();
}

void CLauncherDialog::LoadBitmap(int index, int file)
{
    char path[kPathSize];
    std::snprintf(path, sizeof(path), "./images/startup/%d.bmp", file);
    m_bitmaps[index] = static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

int CLauncherDialog::Run(LauncherGame* game)
{
    m_pGame = game;
    CFerroxTagTree* setup = game->setup;
    if (setup != nullptr && setup->FindNode(kApplicationData, 1)) {
        int32_t* stored[kStoredKeys] = {&m_storedWidth, &m_storedHeight, &m_storedDepth};
        for (int i = 0; i < kStoredKeys; ++i)
            ReadChildInt(setup, kModeKeys[i], stored[i]);
    }
    for (int i = 0; i < kLauncherBitmaps; ++i)
        LoadBitmap(i, i + 1);
    int language = -1;
    if (ReadFirstLanguage(setup, &language)) {
        game->language = static_cast<int16_t>(language);
        LoadLanguageBitmaps(CurrentLanguage());
        m_hotButton = kLauncherNone;
        m_languageTick = language + kLauncherTickBase;
    } else {
        m_hotButton = kLauncherNone;
        m_languageTick = kLauncherNone;
    }
    std::copy(std::begin(kRects), std::end(kRects), std::begin(m_rects));
    m_page = kLauncherPageMain;
    const INT_PTR result = DialogBoxParamA(game->instance, MAKEINTRESOURCEA(kDialogTemplate), game->window, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    return static_cast<int>(result);
}

int CLauncherDialog::CurrentLanguage() const
{
    if (m_pGame == nullptr)
        return 0;
    return m_pGame->locale != nullptr ? m_pGame->locale->GetLanguage() : m_pGame->language;
}

// ---- the dialog procedure and its operations ----

INT_PTR CALLBACK CLauncherDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CLauncherDialog*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
        self->m_hWnd = window;
        if (!self->OnInitDialog())
            EndDialog(window, 0);
        return TRUE;
    }
    auto* self = reinterpret_cast<CLauncherDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return FALSE;
    switch (message) {
    case WM_PAINT:
        self->Paint();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == kLauncherAdapterCombo) {
            self->OnAdapterChanged();
            return TRUE;
        }
        if (LOWORD(wParam) == kLauncherModeCombo && HIWORD(wParam) == CBN_SELCHANGE) {
            HWND combo = GetDlgItem(window, kLauncherModeCombo);
            const LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
            const LRESULT mode = SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
            self->m_selectedMode = static_cast<int32_t>(mode);
            return TRUE;
        }
        return FALSE;
    case WM_MOUSEMOVE:
        self->HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return TRUE;
    case WM_LBUTTONUP:
        self->OnClick();
        return TRUE;
    default:
        return FALSE;
    }
}

int CLauncherDialog::OnInitDialog()
{
    const GxInt32 adapters = GxEngineGetNumSubSystems();
    if (adapters <= 0)
        return 0;
    HWND combo = GetDlgItem(m_hWnd, kLauncherAdapterCombo);
    const int count = std::min<int>(adapters, kLauncherMaxAdapters);
    for (int i = 0; i < count; ++i) {
        GxSubSystemInfo info = {};
        if (!GxEngineGetSubSystemInfo(&info, i))
            continue;
        std::snprintf(m_adapterNames[i], kLauncherAdapterNameSize, "%s", info.name);
        ++m_adapterCount;
        const LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_adapterNames[i]));
        SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), i);
    }
    const LRESULT items = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < items; ++item) {
        if (SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0) == m_currentAdapter)
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    }
    FillModeList(GetDlgItem(m_hWnd, kLauncherModeCombo));
    int language = -1;
    if (ReadLanguage(m_pGame->setup, &language) && language >= 0 && language <= kFrenchLanguage) {
        LoadLanguageBitmaps(language);
        m_page = kLauncherPageMain;
        m_hotButton = kLauncherNone;
        m_languageTick = language + kLauncherTickBase;
    } else {
        m_page = kLauncherPageLanguage;
        m_hotButton = kLauncherNone;
        m_languageTick = kLauncherNone;
        ShowCombos(false);
    }
    return 1;
}

void CLauncherDialog::FillModeList(HWND combo)
{
    const GxInt32 modes = GxEngineGetNumVideoModes();
    for (GxInt32 i = 0; i < modes; ++i) {
        GxVideoMode mode = {};
        if (!GxEngineGetVideoModeInfo(&mode, i))
            continue;
        if (mode.width <= kNarrowestListedWidth || (mode.flags & kExclusiveMode) == 0)
            continue;
        char text[kLauncherAdapterNameSize];
        std::snprintf(text, sizeof(text), "%lu x %lu x %lu %s",
                      static_cast<unsigned long>(static_cast<uint32_t>(mode.width)),
                      static_cast<unsigned long>(static_cast<uint32_t>(mode.height)),
                      static_cast<unsigned long>(static_cast<uint32_t>(mode.depth)), kBitWord);
        const LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), i);
        if (mode.width <= m_storedWidth && mode.height <= m_storedHeight && mode.depth <= m_storedDepth)
            m_defaultModeItem = static_cast<int32_t>(item);
    }
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(m_defaultModeItem), 0);
    // With no such item the selected mode is CB_ERR, which the game hands the engine as mode 0.
    const LRESULT mode = SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(m_defaultModeItem), 0);
    m_selectedMode = static_cast<int32_t>(mode);
}

void CLauncherDialog::OnAdapterChanged()
{
    HWND combo = GetDlgItem(m_hWnd, kLauncherAdapterCombo);
    const LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    const LRESULT adapter = SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
    if (adapter == m_currentAdapter)
        return;
    m_currentAdapter = static_cast<int32_t>(adapter);
    GxEngineSetSubSystem(m_currentAdapter);
    HWND modes = GetDlgItem(m_hWnd, kLauncherModeCombo);
    SendMessageA(modes, CB_RESETCONTENT, 0, 0);
    FillModeList(modes);
}

void CLauncherDialog::HitTest(int x, int y)
{
    const int first = m_page == kLauncherPageMain ? kPlay : kEnglish;
    const int last = m_page == kLauncherPageMain ? kQuit : kFrench;
    for (int button = first; button <= last; ++button) {
        if (!Inside(m_rects[button], x, y))
            continue;
        if (button == m_hotButton || (m_hotButton == kLauncherUninstallHot && button == kUninstall))
            return;
        m_hotButton = button;
        Repaint();
        return;
    }
    if (m_hotButton != kLauncherNone) {
        m_hotButton = kLauncherNone;
        Repaint();
    }
}

void CLauncherDialog::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    auto draw = [&](int bitmap, const RECT& at) {
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_bitmaps[bitmap]), 0, at.left, at.top, 0, 0,
                   DST_BITMAP);
    };
    const bool main = m_page == kLauncherPageMain;
    draw(main ? kMainBackground : kLanguageBackground, RECT{0, 0, kClientWidth, kClientHeight});
    if (main)
        draw(kUninstallButton, m_rects[kUninstall]);
    if (!main && m_languageTick >= kFirstTick && m_languageTick <= kLastTick)
        draw(m_languageTick, m_rects[m_languageTick]);
    if (m_hotButton == kUninstall)
        m_hotButton = kLauncherUninstallHot;
    if (m_hotButton == kLauncherUninstallHot)
        draw(kLauncherUninstallHot, m_rects[kUninstall]);
    else if (m_hotButton >= kPlayHot && m_hotButton <= kFrench)
        draw(m_hotButton, m_rects[m_hotButton]);
    EndPaint(m_hWnd, &ps);
}

void CLauncherDialog::OnClick()
{
    switch (m_hotButton) {
    case kPlay:
        SaveSettings();
        EndDialog(m_hWnd, 1);
        break;
    case kLauncherUninstallHot: {
        char folder[kFolderPathSize] = {};
        if (!SHGetSpecialFolderPathA(m_hWnd, folder, CSIDL_WINDOWS, FALSE))
            break;
        const std::string uninstaller = std::string(folder) + "/MZQUninstaller.exe";
        ShellExecuteA(m_hWnd, "open", uninstaller.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        EndDialog(m_hWnd, 0);
        break;
    }
    case kHelp:
        OpenHelp();
        break;
    case kLanguagePage:
        m_hotButton = kLauncherNone;
        m_page = kLauncherPageLanguage;
        ShowCombos(false);
        Repaint();
        break;
    case kQuit:
        SaveSettings();
        EndDialog(m_hWnd, 0);
        break;
    case kEnglish:
    case kEnglish + 1:
    case kFrench:
        SetLanguage(m_hotButton - kEnglish);
        break;
    default:
        break;
    }
}

// The help page of the chosen language; when it cannot be opened, the error stream says where the file is.
void CLauncherDialog::OpenHelp()
{
    const int language = m_languageTick - kLauncherTickBase;
    const char* page = language == kFrenchLanguage ? "\"./help/fre/Help.htm\""
                       : language == kGerman       ? "\"./help/ger/Help.htm\""
                                                   : "\"./help/eng/Help.htm\"";
    const auto opened =
        reinterpret_cast<intptr_t>(ShellExecuteA(m_hWnd, "open", page, nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > kShellFailed)
        return;
    std::error_code unknown;
    const std::filesystem::path folder = std::filesystem::current_path(unknown);
    const std::string path = (unknown ? std::string(".") : folder.string()) + kHelpPages[KnownLanguage(language)];
    OutputDebugStringA(("launcher: the help page could not be opened: " + path + "\n").c_str());
}

void CLauncherDialog::SetLanguage(int language)
{
    m_pGame->language = static_cast<int16_t>(language);
    LoadLanguageBitmaps(CurrentLanguage());
    m_hotButton = kLauncherNone;
    m_languageTick = language + kLauncherTickBase;
    m_page = kLauncherPageMain;
    ShowCombos(true);
    Repaint();
}

void CLauncherDialog::LoadLanguageBitmaps(int language)
{
    if (m_languageTick == language + kLauncherTickBase)
        return;
    for (int k = 0; k < static_cast<int>(std::size(kLanguageBitmaps)); ++k) {
        const int index = kLanguageBitmaps[k];
        const int file = language == kGerman           ? kFirstGermanFile + k
                         : language == kFrenchLanguage ? kFirstFrenchFile + k
                                                       : index + 1;
        if (m_bitmaps[index] != nullptr)
            DeleteObject(m_bitmaps[index]);
        LoadBitmap(index, file);
    }
}

void CLauncherDialog::SaveSettings()
{
    CFerroxTagTree* tree = m_pGame->setup;
    // Only a tree that loaded is saved: one that did not would replace the file with the little it holds.
    if (tree == nullptr || !tree->IsLoaded())
        return;
    GxVideoMode mode = {};
    GxEngineGetVideoModeInfo(&mode, m_selectedMode);
    // The first value of the first node whose name holds "Language"; a node without a value keeps none.
    if (tree->FindNode(kLanguageKey, 1) && !tree->GetCursor()->values.empty())
        tree->GetCursor()->values.front() = std::to_string(CurrentLanguage());
    // Only into "Application_Data": without it the keys' deletes would reach whatever node the cursor is on.
    if (tree->FindNode(kApplicationData, 1)) {
        CFerroxTagNode* application = tree->GetCursor();
        const GxInt32 values[] = {mode.width, mode.height, mode.depth, m_selectedMode};
        for (size_t i = 0; i < std::size(kModeKeys); ++i)
            ReplaceKey(tree, application, kModeKeys[i], std::to_string(values[i]) + "\n");
    }
    if (tree->Save(m_pGame->setupFile))
        return;
    OutputDebugStringA(
        ("launcher: the settings were not saved: " + std::string(m_pGame->setupFile) + " cannot be written\n").c_str());
}

void CLauncherDialog::Repaint()
{
    const RECT client = {0, 0, kClientWidth, kClientHeight};
    InvalidateRect(m_hWnd, &client, FALSE);
    UpdateWindow(m_hWnd);
}

void CLauncherDialog::ShowCombos(bool show)
{
    ShowWindow(GetDlgItem(m_hWnd, kLauncherAdapterCombo), show ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(m_hWnd, kLauncherModeCombo), show ? SW_SHOW : SW_HIDE);
}

// ---- the game's side ----

int LauncherChooseVideoMode(LauncherGame* game, int installed, int* adapter, int* mode)
{
    auto launcher = std::make_unique<CLauncherDialog>();
    launcher->Reset();
    launcher->m_installed = installed;
    const int result = launcher->Run(game);
    if (result != 0) {
        *adapter = std::max(0, launcher->m_currentAdapter);
        *mode = std::max(0, launcher->m_selectedMode);
    }
    launcher->Release();
    return result;
}
