// Internals the building classes share: reading their saved lines.
#pragma once

#include <string>

#include "engine/convert.h"
#include "engine/file.h"

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
inline void WriteBuildingLine(CFerroxFile* file, int value) { file->WriteLine(ToString<int>(value) + kBuildingLineEnd); }
