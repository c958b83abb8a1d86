// Internals of the build menus that their tests reach.
#pragma once

#include <cstdint>

// The run-wide counter that numbers the menus with plans; the program never resets it (its tests do).
extern int16_t g_buildMenuCategoryCounter;
