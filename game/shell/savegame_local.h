// The sections of a save or a scenario, shared by the saved-game reader and its builder.
#pragma once

#include <cstddef>

#include "game/shell/savegame.h"

// Every section a save or a scenario may hold; a file with none of them is no save.
const char* const kSectionTags[] = {
    kGameDataTag, "<LEVEL>", "<CONDITIONS>", "<MAP>", "<OBJECTS>", "<STATISTICS>", "<TECHTREE>",
};
const char* const kSectionEndTags[] = {
    kGameDataEndTag, "</LEVEL>", "</CONDITIONS>", "</MAP>", "</OBJECTS>", "</STATISTICS>", "</TECHTREE>",
};
constexpr size_t kSectionCount = sizeof(kSectionTags) / sizeof(kSectionTags[0]);
static_assert(sizeof(kSectionEndTags) == sizeof(kSectionTags), "every section has its end tag");
// The lines between the tag lines of each section above as the game writes them; 0 for any number.
constexpr size_t kSectionLines[kSectionCount] = {3, 1, 3, 0, 0, 17, 2};
constexpr size_t kGameDataSection = 0;
// The calendar values of "<GAME_DATA>": year, month and day counter.
constexpr int kGameDataValues = static_cast<int>(kSectionLines[kGameDataSection]);
