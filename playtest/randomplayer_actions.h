// The random player's actions: what one action is, its line of text in an action list, the reader of such a
// list (a replay file, which may be hostile) and the seeded generator that makes a run's actions.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// What an action does; its numbers are told beside each.
enum RandomActionKind : int {
    RANDOM_CLICK,       // left click at x y (screen pixels)
    RANDOM_RIGHT,       // right click at x y
    RANDOM_DRAG,        // left press at x y, carried to x2 y2, released
    RANDOM_RIGHT_DRAG,  // the same with the right button (turns the view)
    RANDOM_KEY,         // a key tapped: its virtual-key code, the times in a row
    RANDOM_HOLD,        // a key held for a number of frames: code, frames
    RANDOM_WHEEL,       // the wheel turned by a number of notches (signed)
    RANDOM_WIDGET,      // a click on widget w of open canvas c (both taken modulo what is open)
    RANDOM_BUILD,       // the build button, root button p and item i of the page it opens (modulo their counts)
    RANDOM_DEMOLISH,    // the main bar's demolish button
    RANDOM_FLOOR_UP,    // the main bar's floor buttons
    RANDOM_FLOOR_DOWN,
    RANDOM_ANSWER,      // yes (1) or no (2) on the open question
    RANDOM_HIRE,        // management, staff, hire and the hire page's first offer
    RANDOM_ROUND_TRIP,  // paused, saved, loaded back and saved again: the two saves must match
    // Down to the ground storey first where they work there (each a floor-down press):
    RANDOM_DEMOLISH_DOOR,    // demolition, and a click on door a (modulo the doors placed)
    RANDOM_FLOOR_OVER_DOOR,  // floor tiles b, dragged from inside door a out past its way in
    RANDOM_DEMOLISH_FIGURE,  // demolition, and a click on character a of the storey shown
    RANDOM_CLEAR_COLUMN,     // demolition dragged over laid cell a of the ground under a laid storey (odd b: an
                             // opening in it), b cells on
    RANDOM_PLACE_DOOR,       // a door held and put on wall cell a of the ground (modulo the straight wall cells)
    RANDOM_SHOT,             // the frame saved as shot-a.bmp in the run's folder and the mall printed (lists only)
    RANDOM_ACTION_KINDS
};

struct RandomAction {
    RandomActionKind kind;
    int a, b, c, d;
};

// Limits of an action list that is read: its size, and each number's range.
constexpr size_t kRandomActionsMaxBytes = 4 * 1024 * 1024;
constexpr size_t kRandomActionsMax = 200000;
constexpr int kRandomNumberLimit = 100000;

// The action as a line of text (without its end): its verb and four numbers.
std::string RandomActionText(const RandomAction& action);
// Reads an action list, one action a line; blank lines and lines starting with '#' are skipped. False with a
// message naming the line on the first bad one (nothing is kept then).
bool RandomActionsParse(const std::string& text, std::vector<RandomAction>* actions, std::string* error);

// Makes the actions of a seed on a screen of the size given: clicks and drags mostly over the middle of the
// view, where the mall stands.
class CRandomActionMaker {
public:
    CRandomActionMaker(uint32_t seed, int width, int height);
    RandomAction Next();

private:
    int Between(int low, int high);  // inclusive
    void Point(int* x, int* y);

    std::mt19937 m_random;
    int m_width;
    int m_height;
};
