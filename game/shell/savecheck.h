// Whether a loaded game saves what its save held. A load keeps every line of a save but what it plans afresh for
// a character: its state (a walk or a visit starts again from its pause or its path search), the state after its
// walk, its visit phase and its progress along the path (a path is not saved), a guard's target and slot (an
// arrest is not resumed), and the position of a character saved inside an object's footprint (it stands at the
// object's entrance). The check holds every other line to its bytes and those to the values a load gives them.
// One thread; it only reads.
#pragma once

#include <string>

class CFloorManager;

// Empty when `resaved`, the save of the game loaded from `saved`, keeps what a load keeps; else the first line
// that differs and why. `floors` are the loaded game's: they tell the cells no one stands on (null: none).
std::string SavedGameChange(const std::string& saved, const std::string& resaved, CFloorManager* floors);
