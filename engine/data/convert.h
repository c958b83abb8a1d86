// Decimal text forms of the numbers in saved games, and comma-separated number lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFerroxFile;

template <typename T>
std::string ToString(T value);
template <>
std::string ToString<unsigned short>(unsigned short value);
template <>
std::string ToString<short>(short value);
template <>
std::string ToString<int>(int value);
template <>
std::string ToString<unsigned int>(unsigned int value);
// Six significant digits with the point and trailing zeros shown: 12.5 gives "12.5000".
template <>
std::string ToString<float>(float value);

// Stores into target only when the text starts with a number that fits its type; true when it stored.
template <typename T>
bool FromString(const std::string& text, T& target);
template <>
bool FromString<int>(const std::string& text, int& target);
template <>
bool FromString<unsigned int>(const std::string& text, unsigned int& target);
template <>
bool FromString<unsigned short>(const std::string& text, unsigned short& target);
template <>
bool FromString<float>(const std::string& text, float& target);

// Read one line of the file and append its numbers; empty pieces are skipped.
void ReadIntList(CFerroxFile* file, std::vector<int>& out, char separator);
void ReadU16List(CFerroxFile* file, std::vector<unsigned short>& out, char separator);
// Write the values joined by the separator and ended with CR LF.
void WriteU16List(CFerroxFile* file, const std::vector<unsigned short>& values, char separator);
