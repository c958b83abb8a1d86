// The game's one random-number generator, seedable so that runs and tests repeat.
#pragma once

#include <cstdint>

constexpr int FERROX_RAND_MAX = 0x7FFF;

// Seeds the generator (the game seeds it from the clock when it is created).
void FerroxSrand(uint32_t seed);
// Next number in 0 .. FERROX_RAND_MAX.
int FerroxRand();
