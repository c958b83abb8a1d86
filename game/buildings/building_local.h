// Internals the building classes share: reading their saved lines.
#pragma once

#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "gfx/core/gx.h"

struct GxAtomic;
struct GxUserDataArray;

// Generated pieces are told apart by their model's name: wall pieces and balcony rails.
constexpr const char* kWallName = "wall";
constexpr const char* kBalconyName = "balc";

// Saved lines end so.
constexpr const char* kBuildingLineEnd = "\r\n";

// Reads one line as a decimal number into the value; a line that does not parse leaves the value as it was.
template <typename T>
void ReadBuildingLine(CFerroxFile* file, T* value)
{
    std::string line;
    file->ReadLine(line);
    int parsed = 0;
    if (FromString<int>(line, parsed))
        *value = static_cast<T>(parsed);
}

// Writes a number and the line end.
inline void WriteBuildingLine(CFerroxFile* file, int value)
{
    file->WriteLine(ToString<int>(value) + kBuildingLineEnd);
}

// The first text of a dummy's user-data array; null when the array holds no text.
const char* BuildingDummyTag(GxUserDataArray* array);
// The dummy's position in the model; false when its atomic has no frame.
bool BuildingDummyPosition(GxAtomic* atomic, GxV3d* position);
// A cell index from a sum formed in floating point; -1 when it is no whole number of the int range.
int32_t BuildingCellFromFloat(float cell);
