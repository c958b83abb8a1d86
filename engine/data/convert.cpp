// Decimal text forms of saved-game numbers through the standard string streams, in the classic locale.
#include "engine/data/convert.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

#include "engine/data/file.h"
#include "gfx/core/assert.h"

namespace {

// Significant digits of a float's text.
constexpr int kFloatDigits = 6;

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

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the decimal number a stream extraction would read starts in text, and how long it is: blanks skipped,
// then a sign, digits with at most one point (one digit at least), and an exponent with digits of its own.
// Length 0 when there is none, or when an exponent marker has no digits (the extraction fails then too).
struct NumberSpan {
    size_t start;
    size_t length;
};
NumberSpan ScanDecimal(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const size_t start = at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    size_t digits = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
        ++digits;
    if (at < text.size() && text[at] == '.') {
        for (++at; at < text.size() && IsDigit(text[at]); ++at)
            ++digits;
    }
    if (digits == 0)
        return {start, 0};
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent >= text.size() || !IsDigit(text[exponent]))
            return {start, 0};
        for (at = exponent; at < text.size() && IsDigit(text[at]); ++at) {}
    }
    return {start, at - start};
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
    // The general notation with the point shown, in the classic locale.
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream.setf(std::ios::showpoint);
    stream.precision(kFloatDigits);
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
    const NumberSpan span = ScanDecimal(text);
    if (span.length == 0)
        return false;
    const char* first = text.data() + span.start;
    const char* last = first + span.length;
    const bool negative = *first == '-';
    if (*first == '-' || *first == '+')
        ++first;
    // Read without the stream or the C library's locale and rounding state: the nearest float, subnormals
    // included. A number beyond the largest float or below half the smallest is out of range.
    float value = 0.0f;
    const std::from_chars_result read = std::from_chars(first, last, value, std::chars_format::general);
    if (read.ec != std::errc() || read.ptr != last || !std::isfinite(value))
        return false;
    target = negative ? -value : value;
    return true;
}

// A piece that is no number gives 0, so the values after it keep their places.
void ReadIntList(CFerroxFile* file, std::vector<int>& out, char separator)
{
    GX_ASSERT(file != nullptr, "a list line is read from or written to an open file");
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
    GX_ASSERT(file != nullptr, "a list line is read from or written to an open file");
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
    GX_ASSERT(file != nullptr, "a list line is read from or written to an open file");
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
