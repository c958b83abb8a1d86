// Modal dialogs from the stand-in's resource table: a window of their own (or none, in automatic runs),
// WM_INITDIALOG, painting into a surface of the client size, pointer routing to combo boxes and the dialog,
// and the click-script runner.
//
// Sections: resource table; dialog records and painting; pointer routing; automatic runs; live runs;
// DialogBoxParamA and the calls on a running dialog.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/win32/dialog_auto.h"
#include "platform/win32/dialog_local.h"

std::map<HWND, DialogRecord*>& DialogRecords()
{
    static std::map<HWND, DialogRecord*> dialogs;
    return dialogs;
}

namespace {

// ---- resource table ----

#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#endif

struct ControlTemplate {
    int id;
    LONG style;
    int x, y, width, height;  // client pixels; the height of the closed box
    int dropHeight;           // box and list together
};

struct DialogTemplate {
    int id;
    LONG style;
    int width, height;  // client pixels
    std::vector<ControlTemplate> controls;
};

// Dialog units of the launcher template (427 x 294) come out as 640 x 480 pixels; the combo boxes'
// drop heights (30 and 206 units) scale the same way.
const DialogTemplate kTemplates[] = {
    {101,
     WS_POPUP | WS_VISIBLE,
     640,
     480,
     {
         {1000, WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT, 39, 44, 135, 20, 49},
         {1001, WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN, 38, 96, 135, 20, 336},
     }},
};

const DialogTemplate* FindTemplate(LPCSTR name)
{
    const auto value = reinterpret_cast<uintptr_t>(name);
    if (value > 0xFFFF)
        return nullptr;
    for (const DialogTemplate& t : kTemplates)
        if (t.id == static_cast<int>(value))
            return &t;
    return nullptr;
}

// ---- dialog records and painting ----

DialogRecord* FindDialog(HWND hwnd)
{
    auto it = DialogRecords().find(hwnd);
    return it == DialogRecords().end() ? nullptr : it->second;
}

bool g_forceAutomatic = false;
Win32DialogTurnHook g_turnHook = nullptr;
void* g_turnUser = nullptr;

void Present(DialogRecord* d)
{
    if (d->window == nullptr)
        return;
    SDL_Surface* screen = SDL_GetWindowSurface(d->window);
    if (screen == nullptr)
        return;
    SDL_BlitSurface(d->canvas, nullptr, screen, nullptr);
    SDL_UpdateWindowSurface(d->window);
}

std::vector<HWND> Children(HWND dialog)
{
    std::vector<HWND> out;
    for (auto& entry : User().windows)
        if (entry.second->parent == dialog)
            out.push_back(entry.second->handle);
    return out;
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DialogRecord* d = FindDialog(hwnd);
    if (d != nullptr && d->proc != nullptr && d->proc(hwnd, msg, wParam, lParam))
        return TRUE;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- pointer routing: combo boxes first, as the controls lie over the dialog ----

void PointerMove(DialogRecord* d, int x, int y)
{
    if (!ComboPointerMove(d->hwnd, x, y))
        SendMessageA(d->hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void PointerDown(DialogRecord* d, int x, int y)
{
    d->pressTaken = ComboPointerDown(d->hwnd, x, y);
    if (!d->pressTaken && !d->ended)
        SendMessageA(d->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void PointerUp(DialogRecord* d, int x, int y)
{
    if (d->pressTaken) {
        d->pressTaken = false;
        return;
    }
    if (!d->ended)
        SendMessageA(d->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// ---- automatic runs ----

bool ReadScriptFile(const char* path, std::string* text)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    text->resize(kWin32DialogMaxScriptBytes + 1);
    const size_t got = std::fread(&(*text)[0], 1, text->size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    text->resize(got);
    return !failed;
}

// The steps of an automatic run, and whether the run is automatic at all.
bool AutomaticSteps(std::vector<Win32DialogStep>* steps)
{
    std::string text = Win32DialogDefaultScript();
    bool automatic = g_forceAutomatic;
    const char* path = std::getenv(WIN32_DIALOG_SCRIPT_VARIABLE);
    if (DialogSeams().hasScriptText) {
        text = DialogSeams().scriptText;
        automatic = true;
    } else if (path != nullptr && *path != '\0') {
        automatic = true;
        std::string read;
        if (ReadScriptFile(path, &read))
            text = read;
        else
            std::fprintf(stderr, "win32: cannot read the click script %s; pressing play\n", path);
    }
    std::string error;
    if (!Win32DialogParseScript(text.data(), text.size(), steps, &error)) {
        std::fprintf(stderr, "win32: %s; pressing play\n", error.c_str());
        const char* fallback = Win32DialogDefaultScript();
        Win32DialogParseScript(fallback, std::strlen(fallback), steps, &error);
    }
    if (automatic)
        return true;
    if (!UserVideoInit())
        return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

void RunStep(DialogRecord* d, const Win32DialogStep& step)
{
    switch (step.kind) {
    case kWin32StepMove:
        PointerMove(d, step.a, step.b);
        break;
    case kWin32StepClick:
        PointerMove(d, step.a, step.b);
        if (!d->ended)
            PointerDown(d, step.a, step.b);
        if (!d->ended)
            PointerUp(d, step.a, step.b);
        break;
    case kWin32StepSelect: {
        HWND combo = GetDlgItem(d->hwnd, step.a);
        if (combo == nullptr || !ComboChoose(combo, step.b))
            std::fprintf(stderr, "win32: the click script selects item %d of control %d, which does not exist\n",
                         step.b, step.a);
        break;
    }
    }
}

void RunAutomatic(DialogRecord* d, const std::vector<Win32DialogStep>& steps)
{
    for (size_t i = 0; i < steps.size() && !d->ended; ++i) {
        RunStep(d, steps[i]);
        // What a step invalidated is painted before anyone looks, as the queue's WM_PAINT would.
        if (!d->ended)
            UpdateWindow(d->hwnd);
        if (DialogSeams().stepHook != nullptr && !d->ended)
            DialogSeams().stepHook(d->hwnd, static_cast<int>(i + 1), DialogSeams().stepUser);
    }
    if (!d->ended) {
        std::fprintf(stderr, "win32: the click script ended with the dialog open; it ends with 0\n");
        d->ended = true;
        d->result = 0;
    }
}

// ---- live runs ----

void HandleLiveEvent(DialogRecord* d, Uint32 id, const SDL_Event& e)
{
    switch (e.type) {
    case SDL_QUIT:
        d->ended = true;
        d->result = 0;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.windowID != id)
            break;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            d->ended = true;
            d->result = 0;
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
            Present(d);
        }
        break;
    case SDL_MOUSEMOTION:
        if (e.motion.windowID == id)
            PointerMove(d, e.motion.x, e.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT)
            PointerDown(d, e.button.x, e.button.y);
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT)
            PointerUp(d, e.button.x, e.button.y);
        break;
    case SDL_MOUSEWHEEL:
        if (e.wheel.windowID == id)
            ComboWheel(d->hwnd, e.wheel.y);
        break;
    default:
        break;
    }
    if (!d->ended)
        UpdateWindow(d->hwnd);
}

void RunLive(DialogRecord* d)
{
    const Uint32 id = SDL_GetWindowID(d->window);
    constexpr int kWaitMs = 100;
    int turn = 0;
    while (!d->ended) {
        SDL_Event e;
        if (g_turnHook == nullptr) {
            if (SDL_WaitEventTimeout(&e, kWaitMs))
                HandleLiveEvent(d, id, e);
            continue;
        }
        // A driver steps the dialog: what it sent in one turn is all taken before its next turn.
        g_turnHook(d->hwnd, turn++, g_turnUser);
        while (!d->ended && SDL_PollEvent(&e))
            HandleLiveEvent(d, id, e);
    }
}

// ---- making and ending a dialog ----

HWND AddDialogRecord(const DialogTemplate& t, HWND owner, HINSTANCE instance, int x, int y)
{
    UserState& u = User();
    auto w = std::make_unique<UserWindow>();
    HWND hwnd = reinterpret_cast<HWND>(u.nextHandle);
    u.nextHandle += 4;
    w->handle = hwnd;
    w->proc = DialogWindowProc;
    w->instance = instance;
    w->parent = owner;
    w->style = t.style & ~WS_VISIBLE;
    w->frameStyle = w->style;
    w->x = x;
    w->y = y;
    w->width = t.width;
    w->height = t.height;
    w->reportedX = x;
    w->reportedY = y;
    w->reportedWidth = t.width;
    w->reportedHeight = t.height;
    u.windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(w);
    return hwnd;
}

bool AddControls(const DialogTemplate& t, HWND dialog, HINSTANCE instance)
{
    if (!ComboRegisterClass())
        return false;
    for (const ControlTemplate& c : t.controls) {
        void* drop = reinterpret_cast<void*>(static_cast<intptr_t>(c.dropHeight));
        HMENU id = reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id));
        if (CreateWindowExA(0, kComboClassName, "", static_cast<DWORD>(c.style), c.x, c.y, c.width, c.height, dialog,
                            id, instance, drop) == nullptr)
            return false;
    }
    return true;
}

void DestroyDialog(DialogRecord* d)
{
    if (d->hwnd != nullptr) {
        DestroyWindow(d->hwnd);
        DialogRecords().erase(d->hwnd);
    }
    if (d->window != nullptr)
        SDL_DestroyWindow(d->window);
    if (d->canvas != nullptr)
        SDL_FreeSurface(d->canvas);
}

}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam)
{
    const DialogTemplate* t = FindTemplate(lpTemplateName);
    if (t == nullptr || lpDialogFunc == nullptr) {
        SetLastError(t == nullptr ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::vector<Win32DialogStep> steps;
    const bool automatic = AutomaticSteps(&steps) && g_turnHook == nullptr;
    DialogRecord d;
    d.proc = lpDialogFunc;
    d.canvas = SDL_CreateRGBSurfaceWithFormat(0, t->width, t->height, 32, SDL_PIXELFORMAT_ARGB8888);
    int x = 0, y = 0;
    if (d.canvas != nullptr && !automatic) {
        d.window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, t->width, t->height,
                                    SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        if (d.window != nullptr)
            SDL_GetWindowPosition(d.window, &x, &y);
        else
            std::fprintf(stderr, "win32: cannot create the dialog window: %s\n", SDL_GetError());
    }
    if (d.canvas == nullptr || (!automatic && d.window == nullptr)) {
        DestroyDialog(&d);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    d.context.target = d.canvas;
    d.hwnd = AddDialogRecord(*t, hWndParent, hInstance, x, y);
    DialogRecords()[d.hwnd] = &d;
    if (!AddControls(*t, d.hwnd, hInstance)) {
        DestroyDialog(&d);
        return -1;
    }
    HWND first = GetDlgItem(d.hwnd, t->controls.empty() ? 0 : t->controls.front().id);
    SendMessageA(d.hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), dwInitParam);
    if (!d.ended) {
        ShowWindow(d.hwnd, SW_SHOWNA);
        if (d.window != nullptr) {
            SDL_ShowWindow(d.window);
            SDL_RaiseWindow(d.window);
        }
        InvalidateRect(d.hwnd, nullptr, TRUE);
        UpdateWindow(d.hwnd);
        if (DialogSeams().stepHook != nullptr && !d.ended)
            DialogSeams().stepHook(d.hwnd, 0, DialogSeams().stepUser);
    }
    if (!d.ended) {
        if (automatic)
            RunAutomatic(&d, steps);
        else
            RunLive(&d);
    }
    const INT_PTR result = d.result;
    DestroyDialog(&d);
    return result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    DialogRecord* d = FindDialog(hDlg);
    if (d == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = nResult;
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    for (auto& entry : User().windows) {
        const UserWindow& w = *entry.second;
        if (w.parent == hDlg && (w.style & WS_CHILD) != 0 && w.id == nIDDlgItem)
            return w.handle;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    static GdiContext nowhere;
    UserWindow* w = UserFind(hWnd);
    if (w == nullptr || lpPaint == nullptr)
        return nullptr;
    std::memset(lpPaint, 0, sizeof(*lpPaint));
    lpPaint->rcPaint = RECT{0, 0, w->width, w->height};
    lpPaint->fErase = TRUE;
    ValidateRect(hWnd, nullptr);
    DialogRecord* d = FindDialog(hWnd);
    if (d == nullptr) {
        lpPaint->hdc = reinterpret_cast<HDC>(&nowhere);
        return lpPaint->hdc;
    }
    SDL_FillRect(d->canvas, nullptr, kDialogFaceColour);
    lpPaint->hdc = reinterpret_cast<HDC>(&d->context);
    return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT*)
{
    DialogRecord* d = FindDialog(hWnd);
    if (d == nullptr)
        return UserFind(hWnd) != nullptr;
    // The controls lie over the dialog: boxes first, then any open list over them all.
    const std::vector<HWND> children = Children(hWnd);
    for (HWND child : children)
        ComboDraw(child, d->canvas, false);
    for (HWND child : children)
        ComboDraw(child, d->canvas, true);
    Present(d);
    return TRUE;
}

void Win32DialogSetAutomatic(BOOL on) { g_forceAutomatic = on != FALSE; }

DialogTestSeams& DialogSeams()
{
    static DialogTestSeams seams;
    return seams;
}

void Win32DialogSetTurnHook(Win32DialogTurnHook hook, void* user)
{
    g_turnHook = hook;
    g_turnUser = user;
}

DWORD Win32DialogGetPixel(HWND dialog, int x, int y)
{
    constexpr DWORD kNoPixel = 0xFFFFFFFFu;
    constexpr DWORD kRgbMask = 0x00FFFFFFu;
    DialogRecord* d = FindDialog(dialog);
    if (d == nullptr || x < 0 || y < 0 || x >= d->canvas->w || y >= d->canvas->h)
        return kNoPixel;
    const auto* row = static_cast<const Uint8*>(d->canvas->pixels) + static_cast<size_t>(y) * d->canvas->pitch;
    Uint32 pixel;
    std::memcpy(&pixel, row + static_cast<size_t>(x) * sizeof(Uint32), sizeof(pixel));
    return pixel & kRgbMask;
}
