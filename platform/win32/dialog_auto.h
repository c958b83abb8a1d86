// Automatic runs of modal dialogs: the click-script variable and format, and what tests observe of a run.
#ifndef PLATFORM_WIN32_DIALOG_AUTO_H
#define PLATFORM_WIN32_DIALOG_AUTO_H

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32/winuser.h"

// Names a click-script file; when set, dialogs run automatically even with a display.
#define WIN32_DIALOG_SCRIPT_VARIABLE "MALL_LAUNCHER_SCRIPT"

// A click script is text, one step a line; blank lines and lines starting with '#' are skipped:
//   move X Y          the pointer moves to client pixel (X, Y)
//   click X Y         moves there, then presses and releases the left button
//   select ID ITEM    combo box ID selects ITEM and notifies the dialog (CBN_SELCHANGE)
// The script without steps of its own, used when the variable is unset, chooses English on the language
// page (a spot that is empty on the main page) and then presses play, twice: a start whose settings cannot be
// saved plays unsaved.
enum Win32DialogStepKind {
    kWin32StepMove,
    kWin32StepClick,
    kWin32StepSelect
};
struct Win32DialogStep {
    Win32DialogStepKind kind;
    int a;  // x, or the control id
    int b;  // y, or the item
};
constexpr size_t kWin32DialogMaxSteps = 4096;
constexpr size_t kWin32DialogMaxScriptBytes = 256 * 1024;

// Parses a script; false with a message naming the line on the first bad one (nothing is kept then).
bool Win32DialogParseScript(const char* text, size_t size, std::vector<Win32DialogStep>* steps, std::string* error);
const char* Win32DialogDefaultScript(void);

// Tests and the play harness: forces automatic mode whatever the display (on), or goes back to deciding (off).
void Win32DialogSetAutomatic(BOOL on);

// Called after the dialog's first paint (step 0) and after each script step n (1, 2...), while the dialog
// still exists (tests set it, platform/win32/dialog_testing.h).
typedef void (*Win32DialogStepHook)(HWND dialog, int step, void* user);

// A driver of live runs (a play test sending input with SendInput): called at every turn of a live dialog's
// loop, turn 0 right after the first paint, and each turn takes every event waiting without sleeping, so the
// driver counts turns where a player would wait. While a hook is set dialogs run live with a window of their
// own, whatever the display and the click script (SDL's offscreen driver gives windows too); null removes it.
typedef void (*Win32DialogTurnHook)(HWND dialog, int turn, void* user);
void Win32DialogSetTurnHook(Win32DialogTurnHook hook, void* user);

// The painted pixel of a running dialog's client area as 0x00RRGGBB; 0xFFFFFFFF outside it or for no dialog.
DWORD Win32DialogGetPixel(HWND dialog, int x, int y);

#endif
