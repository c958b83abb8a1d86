// Private state of the dialog stand-in shared by its sources: bitmaps, the painted surface, combo boxes.
#pragma once

#include <SDL.h>

#include <map>
#include <string>
#include <vector>

#include "platform/win32/dialog_auto.h"
#include "platform/win32/user_local.h"

// A bitmap: an ARGB8888 surface (HBITMAP points at this record).
struct GdiBitmap {
    SDL_Surface* surface = nullptr;
};

// The device context BeginPaint hands out: the surface painted into (HDC points at this record).
struct GdiContext {
    SDL_Surface* target = nullptr;
};

// True when the bitmap is one LoadImageA made and DeleteObject has not freed.
bool GdiIsBitmap(HBITMAP bitmap);
// Copies a bitmap's pixels onto a surface with its top-left corner at (x, y), clipped.
void GdiBlit(SDL_Surface* target, const GdiBitmap* bitmap, int x, int y);

// The face colour BeginPaint erases to.
constexpr Uint32 kDialogFaceColour = 0xFFC8D0D4u;

// A running dialog (HWND points at this record), and every running dialog by handle.
struct DialogRecord {
    HWND hwnd = nullptr;
    DLGPROC proc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    SDL_Surface* canvas = nullptr;
    SDL_Window* window = nullptr;  // null in automatic runs
    GdiContext context;
    bool pressTaken = false;  // the left button went down on a combo box
};
std::map<HWND, DialogRecord*>& DialogRecords();

// Combo-box controls: the class the dialog creates them with, their drawing and their pointer handling.
extern const char kComboClassName[];
bool ComboRegisterClass(void);
// Draws a visible combo box closed, or (list) its list when it is dropped down: the lists go over every box.
void ComboDraw(HWND combo, SDL_Surface* target, bool list);
// Pointer handling for the dialog's combo boxes (client coordinates); true when a combo box took the event.
bool ComboPointerDown(HWND dialog, int x, int y);
bool ComboPointerMove(HWND dialog, int x, int y);
bool ComboWheel(HWND dialog, int delta);
// Chooses an item as the player would: select, close the list, notify the dialog. False for a bad item.
bool ComboChoose(HWND combo, int item);

// Text in the built-in 5 x 7 font, Latin-1 (the narrow calls' code page): one pixel a dot, glyph cells 6 pixels
// apart and 9 rows high, the top two for the accents of capitals.
constexpr int kFontCellWidth = 6;
constexpr int kFontHeight = 9;
// A character's dots, bit 4 of a row the leftmost; `known` is false for the hollow box drawn for what the font
// lacks.
struct FontCell {
    unsigned char rows[kFontHeight];
    bool known;
};
FontCell FontGlyph(unsigned char code);
void FontDrawText(SDL_Surface* target, int x, int y, const std::string& text, Uint32 colour, int maxWidth);

// What tests set of automatic runs (platform/win32/dialog_testing.h): a script text replacing the variable's file,
// and the hook called after each step. The game leaves them unset.
struct DialogTestSeams {
    bool hasScriptText = false;
    std::string scriptText;
    Win32DialogStepHook stepHook = nullptr;
    void* stepUser = nullptr;
};
DialogTestSeams& DialogSeams();
