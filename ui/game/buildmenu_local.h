// Internals of the build menus that their tests reach.
#pragma once

#include <cstdint>

// The run-wide counter that numbers the menus with plans; the program never resets it.
int16_t& BuildMenuCategoryCounter();
