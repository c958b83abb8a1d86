// Decimal text forms of saved-game numbers through the standard string streams, in the classic locale.
#include "engine/data/convert.h"

#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

#include "engine/data/file.h"

namespace {

template <typename T>
std::string FormatInteger(T value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

// Reads a whole number by stream extraction; false when there is none or it lies outside [low, high].
bool ParseInteger(const std::string& text, long long low, long long high, long long& value)
{
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    long long read = 0;
    if (!(stream >> read))
        return false;
    if (read < low || read > high)
        return false;
    value = read;
    return true;
}

template <typename T>
bool FromStringInteger(const std::string& text, T& target)
{
    long long value = 0;
    if (!ParseInteger(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), value))
        return false;
    target = static_cast<T>(value);
    return true;
}

std::vector<std::string> SplitLine(const std::string& line, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(separator, start);
        if (end == std::string::npos)
            end = line.size();
        if (end > start)
            pieces.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace

template <>
std::string ToString<unsigned short>(unsigned short value)
{
    return FormatInteger(value);
}
template <>
std::string ToString<short>(short value)
{
    return FormatInteger(value);
}
template <>
std::string ToString<int>(int value)
{
    return FormatInteger(value);
}
template <>
std::string ToString<unsigned int>(unsigned int value)
{
    return FormatInteger(value);
}

template <>
std::string ToString<float>(float value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream.setf(std::ios::showpoint);
    stream.precision(6);
    stream << value;
    return stream.str();
}

template <>
bool FromString<int>(const std::string& text, int& target)
{
    return FromStringInteger(text, target);
}
template <>
bool FromString<unsigned int>(const std::string& text, unsigned int& target)
{
    return FromStringInteger(text, target);
}
template <>
bool FromString<unsigned short>(const std::string& text, unsigned short& target)
{
    return FromStringInteger(text, target);
}

template <>
bool FromString<float>(const std::string& text, float& target)
{
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    float value = 0.0f;
    // Out-of-range numbers fail the extraction; NaN and infinity are not numbers a save holds.
    if (!(stream >> value) || !std::isfinite(value))
        return false;
    target = value;
    return true;
}

// A piece that is no number gives 0, so the values after it keep their places.
void ReadIntList(CFerroxFile* file, std::vector<int>& out, char separator)
{
    if (!file)
        return;
    std::string line;
    file->ReadLine(line);
    for (const std::string& piece : SplitLine(line, separator)) {
        int value = 0;
        FromString<int>(piece, value);
        out.push_back(value);
    }
}

void ReadU16List(CFerroxFile* file, std::vector<unsigned short>& out, char separator)
{
    if (!file)
        return;
    std::string line;
    file->ReadLine(line);
    for (const std::string& piece : SplitLine(line, separator)) {
        unsigned short value = 0;
        FromString<unsigned short>(piece, value);
        out.push_back(value);
    }
}

void WriteU16List(CFerroxFile* file, const std::vector<unsigned short>& values, char separator)
{
    if (!file)
        return;
    std::string line;
    for (unsigned short value : values) {
        line += ToString<unsigned short>(value);
        line += separator;
    }
    if (!line.empty())
        line.pop_back();
    line += "\r\n";
    file->WriteLine(line);
}
