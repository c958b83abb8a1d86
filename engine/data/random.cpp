// The game's one random-number generator: a linear congruential sequence with a 15-bit output.
#include "engine/data/random.h"

namespace {
uint32_t g_randState = 1;
}

void FerroxSrand(uint32_t seed) { g_randState = seed; }

int FerroxRand()
{
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & FERROX_RAND_MAX);
}
