// What the scripted runs read of a game's ending: whether the end-game sequence is up, the message it shows
// in the player's language, and how often each effect was started, so that a run can tell which one played.
#pragma once

#include <cstdint>
#include <string>

struct EndingShown {
    bool shown = false;    // the end-game sequence is the interface's top canvas
    int16_t message = -1;  // its index in the end-game texts
    std::u16string text;   // that text as the locale holds it
};

EndingShown EndingRead();
// Starts of the game's effect with this number (kGameWinSample ...), as the sound library counts them; 0 without a
// sound manager or such an effect.
uint32_t EndingSoundStarts(int32_t effect);
