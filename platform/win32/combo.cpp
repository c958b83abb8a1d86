// Drop-down combo boxes of dialogs: items and selection through CB_ messages, drawing in the built-in font,
// and the pointer handling that opens a list and chooses from it.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/win32/dialog_local.h"

namespace {

constexpr int kItemHeight = 12;
constexpr int kButtonWidth = 16;
constexpr int kTextInset = 3;
constexpr int kArrowHalf = 4;
constexpr Uint32 kWhite = 0xFFFFFFFFu;
constexpr Uint32 kBlack = 0xFF000000u;
constexpr Uint32 kFrame = 0xFF404040u;
constexpr Uint32 kHighlight = 0xFF000080u;

struct ComboItem {
    std::string text;
    LRESULT data = 0;
};

struct Combo {
    bool sorted = false;
    std::vector<ComboItem> items;
    int selection = CB_ERR;
    bool open = false;
    int hover = CB_ERR;
    int top = 0;         // first item the open list shows
    int dropHeight = 0;  // closed box and list together, as the template gives it
};

std::map<HWND, Combo>& Combos()
{
    static std::map<HWND, Combo> combos;
    return combos;
}

Combo* Find(HWND combo)
{
    auto it = Combos().find(combo);
    return it == Combos().end() ? nullptr : &it->second;
}

int CompareNoCase(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool ValidItem(const Combo& c, WPARAM index)
{
    const auto i = static_cast<INT_PTR>(index);
    return i >= 0 && i < static_cast<INT_PTR>(c.items.size());
}

int VisibleRows(const UserWindow& w, const Combo& c)
{
    const int fit = std::max(1, (c.dropHeight - w.height - 2) / kItemHeight);
    return std::min(static_cast<int>(c.items.size()), fit);
}

SDL_Rect ListRect(const UserWindow& w, const Combo& c)
{
    return SDL_Rect{w.x, w.y + w.height, w.width, VisibleRows(w, c) * kItemHeight + 2};
}

bool Inside(const SDL_Rect& r, int x, int y) { return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h; }

void FillRect(SDL_Surface* target, const SDL_Rect& r, Uint32 colour) { SDL_FillRect(target, &r, colour); }

void FrameRect(SDL_Surface* target, const SDL_Rect& r, Uint32 colour)
{
    const SDL_Rect edges[4] = {
        {r.x, r.y, r.w, 1}, {r.x, r.y + r.h - 1, r.w, 1}, {r.x, r.y, 1, r.h}, {r.x + r.w - 1, r.y, 1, r.h}};
    for (const SDL_Rect& e : edges)
        SDL_FillRect(target, &e, colour);
}

void Repaint(HWND dialog)
{
    InvalidateRect(dialog, nullptr, FALSE);
    UpdateWindow(dialog);
}

// The dialog's visible combo boxes, in creation order.
std::vector<HWND> DialogCombos(HWND dialog)
{
    std::vector<HWND> out;
    for (auto& entry : User().windows) {
        UserWindow& w = *entry.second;
        if (w.parent == dialog && w.visible && Find(w.handle) != nullptr)
            out.push_back(w.handle);
    }
    return out;
}

LRESULT AddString(Combo& c, LPARAM lParam)
{
    if (lParam == 0)
        return CB_ERR;
    ComboItem item;
    item.text = reinterpret_cast<const char*>(lParam);
    auto at = c.items.end();
    if (c.sorted)
        at = std::upper_bound(c.items.begin(), c.items.end(), item,
                              [](const ComboItem& a, const ComboItem& b) { return CompareNoCase(a.text, b.text) < 0; });
    const auto index = at - c.items.begin();
    c.items.insert(at, item);
    if (c.selection >= index)
        ++c.selection;
    return index;
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        Combo c;
        c.sorted = (cs->style & CBS_SORT) != 0;
        // The list's height comes as the creation parameter: the window itself is the closed box.
        c.dropHeight = static_cast<int>(reinterpret_cast<intptr_t>(cs->lpCreateParams));
        Combos()[hwnd] = c;
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        Combos().erase(hwnd);
        return 0;
    }
    Combo* c = Find(hwnd);
    if (c == nullptr)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_SHOWWINDOW:
        // The dialog shows what was under the control (or the control) at its next paint.
        c->open = false;
        if (UserWindow* w = UserFind(hwnd))
            InvalidateRect(w->parent, nullptr, FALSE);
        return 0;
    case CB_ADDSTRING:
        return AddString(*c, lParam);
    case CB_GETCOUNT:
        return static_cast<LRESULT>(c->items.size());
    case CB_GETCURSEL:
        return c->selection;
    case CB_SETCURSEL:
        if (!ValidItem(*c, wParam)) {
            c->selection = CB_ERR;
            return CB_ERR;
        }
        c->selection = static_cast<int>(wParam);
        return c->selection;
    case CB_GETITEMDATA:
        return ValidItem(*c, wParam) ? c->items[wParam].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!ValidItem(*c, wParam))
            return CB_ERR;
        c->items[wParam].data = lParam;
        return 0;
    case CB_GETLBTEXTLEN:
        return ValidItem(*c, wParam) ? static_cast<LRESULT>(c->items[wParam].text.size()) : CB_ERR;
    case CB_GETLBTEXT:
        if (!ValidItem(*c, wParam) || lParam == 0)
            return CB_ERR;
        std::memcpy(reinterpret_cast<char*>(lParam), c->items[wParam].text.c_str(), c->items[wParam].text.size() + 1);
        return static_cast<LRESULT>(c->items[wParam].text.size());
    case CB_RESETCONTENT:
        c->items.clear();
        c->selection = CB_ERR;
        c->hover = CB_ERR;
        c->top = 0;
        c->open = false;
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void DrawList(const UserWindow& w, const Combo& c, SDL_Surface* target)
{
    if (!c.open || c.items.empty())
        return;
    const SDL_Rect r = ListRect(w, c);
    FillRect(target, r, kWhite);
    FrameRect(target, r, kFrame);
    const int rows = VisibleRows(w, c);
    for (int row = 0; row < rows; ++row) {
        const int item = c.top + row;
        if (item >= static_cast<int>(c.items.size()))
            break;
        const int y = r.y + 1 + row * kItemHeight;
        Uint32 ink = kBlack;
        if (item == c.hover) {
            FillRect(target, SDL_Rect{r.x + 1, y, r.w - 2, kItemHeight}, kHighlight);
            ink = kWhite;
        }
        FontDrawText(target, r.x + kTextInset, y + (kItemHeight - kFontHeight) / 2, c.items[item].text, ink,
                     r.w - 2 * kTextInset);
    }
}

}  // namespace

const char kComboClassName[] = "ComboBox";

bool ComboRegisterClass(void)
{
    // Registered at every dialog: a reset of the windowing state (tests) forgets the classes.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ComboProc;
    wc.lpszClassName = kComboClassName;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void ComboDraw(HWND combo, SDL_Surface* target, bool list)
{
    UserWindow* w = UserFind(combo);
    Combo* c = Find(combo);
    if (w == nullptr || c == nullptr || !w->visible || target == nullptr)
        return;
    if (list) {
        DrawList(*w, *c, target);
        return;
    }
    const SDL_Rect box = {w->x, w->y, w->width, w->height};
    FillRect(target, box, kWhite);
    FrameRect(target, box, kFrame);
    const SDL_Rect button = {w->x + w->width - kButtonWidth, w->y + 1, kButtonWidth - 1, w->height - 2};
    FillRect(target, button, kDialogFaceColour);
    const int cx = button.x + button.w / 2;
    const int cy = w->y + w->height / 2 - kArrowHalf / 2;
    for (int row = 0; row < kArrowHalf; ++row) {
        const SDL_Rect line = {cx - (kArrowHalf - row), cy + row, 2 * (kArrowHalf - row) + 1, 1};
        FillRect(target, line, kBlack);
    }
    const int textY = w->y + (w->height - kFontHeight) / 2;
    const int textWidth = w->width - kButtonWidth - 2 * kTextInset;
    if (c->selection >= 0)
        FontDrawText(target, w->x + kTextInset, textY, c->items[c->selection].text, kBlack, textWidth);
}

bool ComboChoose(HWND combo, int item)
{
    UserWindow* w = UserFind(combo);
    Combo* c = Find(combo);
    if (w == nullptr || c == nullptr || item < 0 || item >= static_cast<int>(c->items.size()))
        return false;
    c->selection = item;
    c->open = false;
    const HWND dialog = w->parent;
    const WPARAM command = MAKEWPARAM(static_cast<WORD>(w->id), CBN_SELCHANGE);
    SendMessageA(dialog, WM_COMMAND, command, reinterpret_cast<LPARAM>(combo));
    Repaint(dialog);
    return true;
}

bool ComboPointerDown(HWND dialog, int x, int y)
{
    for (HWND h : DialogCombos(dialog)) {
        Combo* c = Find(h);
        UserWindow* w = UserFind(h);
        if (!c->open)
            continue;
        const SDL_Rect list = ListRect(*w, *c);
        if (Inside(list, x, y)) {
            const int item = c->top + (y - list.y - 1) / kItemHeight;
            if (y > list.y && item < static_cast<int>(c->items.size()))
                return ComboChoose(h, item);
            return true;
        }
        // A press outside the open list only closes it.
        c->open = false;
        Repaint(dialog);
        return true;
    }
    for (HWND h : DialogCombos(dialog)) {
        Combo* c = Find(h);
        UserWindow* w = UserFind(h);
        if (!Inside(SDL_Rect{w->x, w->y, w->width, w->height}, x, y))
            continue;
        if (!c->items.empty()) {
            c->open = true;
            c->hover = c->selection;
            const int rows = VisibleRows(*w, *c);
            c->top = std::max(0, std::min(c->selection, static_cast<int>(c->items.size()) - rows));
            Repaint(dialog);
        }
        return true;
    }
    return false;
}

bool ComboPointerMove(HWND dialog, int x, int y)
{
    for (HWND h : DialogCombos(dialog)) {
        Combo* c = Find(h);
        UserWindow* w = UserFind(h);
        if (c->open) {
            const SDL_Rect list = ListRect(*w, *c);
            if (Inside(list, x, y)) {
                const int item = c->top + std::max(0, y - list.y - 1) / kItemHeight;
                if (item != c->hover && item < static_cast<int>(c->items.size())) {
                    c->hover = item;
                    Repaint(dialog);
                }
                return true;
            }
        }
        if (Inside(SDL_Rect{w->x, w->y, w->width, w->height}, x, y))
            return true;
    }
    return false;
}

bool ComboWheel(HWND dialog, int delta)
{
    for (HWND h : DialogCombos(dialog)) {
        Combo* c = Find(h);
        UserWindow* w = UserFind(h);
        if (!c->open)
            continue;
        const int last = std::max(0, static_cast<int>(c->items.size()) - VisibleRows(*w, *c));
        c->top = std::clamp(c->top - delta, 0, last);
        Repaint(dialog);
        return true;
    }
    return false;
}
