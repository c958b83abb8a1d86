// The click-script reader of automatic dialog runs.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/win32/dialog_auto.h"

namespace {

constexpr long kMinCoordinate = -32768;  // client coordinates travel as 16-bit halves of lParam
constexpr long kMaxCoordinate = 32767;
constexpr long kMaxControlId = 65535;
constexpr long kMaxItem = 1000000;

// Play is pressed twice: when the settings cannot be saved the first press tells so and the second plays unsaved,
// as a player at a display does; a first press that plays ends the run before the second.
const char kDefaultScript[] = "# English on the language page (nothing on the main page), then play.\n"
                              "click 130 200\n"
                              "click 400 300\n"
                              "click 400 300\n";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits a line into words; false when it has more than `max`.
bool Words(const std::string& line, std::vector<std::string>* words, size_t max)
{
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        size_t end = i;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        if (words->size() == max)
            return false;
        words->push_back(line.substr(i, end - i));
        i = end;
    }
    return true;
}

bool Number(const std::string& word, long min, long max, int* out)
{
    if (word.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (errno != 0 || end != word.c_str() + word.size() || value < min || value > max)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseLine(const std::vector<std::string>& words, Win32DialogStep* step)
{
    if (words.size() != 3)
        return false;
    const std::string& verb = words[0];
    if (verb == "move" || verb == "click") {
        step->kind = verb == "move" ? kWin32StepMove : kWin32StepClick;
        return Number(words[1], kMinCoordinate, kMaxCoordinate, &step->a) &&
               Number(words[2], kMinCoordinate, kMaxCoordinate, &step->b);
    }
    if (verb == "select") {
        step->kind = kWin32StepSelect;
        return Number(words[1], 0, kMaxControlId, &step->a) && Number(words[2], 0, kMaxItem, &step->b);
    }
    return false;
}

}  // namespace

const char* Win32DialogDefaultScript(void) { return kDefaultScript; }

bool Win32DialogParseScript(const char* text, size_t size, std::vector<Win32DialogStep>* steps, std::string* error)
{
    steps->clear();
    if (size > kWin32DialogMaxScriptBytes) {
        *error = "the click script is longer than " + std::to_string(kWin32DialogMaxScriptBytes) + " bytes";
        return false;
    }
    if (text == nullptr && size > 0) {
        *error = "no click script text";
        return false;
    }
    if (size > 0 && std::memchr(text, '\0', size) != nullptr) {
        *error = "the click script holds a NUL byte";
        return false;
    }
    std::vector<Win32DialogStep> parsed;
    size_t start = 0;
    int lineNumber = 0;
    while (start < size) {
        const char* nl = static_cast<const char*>(std::memchr(text + start, '\n', size - start));
        const size_t end = nl != nullptr ? static_cast<size_t>(nl - text) : size;
        const std::string line(text + start, end - start);
        start = end + 1;
        ++lineNumber;
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first]))
            ++first;
        if (first == line.size() || line[first] == '#')
            continue;
        std::vector<std::string> words;
        Win32DialogStep step = {};
        if (!Words(line, &words, 3) || !ParseLine(words, &step)) {
            *error = "click script line " + std::to_string(lineNumber) +
                     ": expected 'move X Y', 'click X Y' or "
                     "'select ID ITEM' with X and Y in -32768..32767";
            return false;
        }
        if (parsed.size() == kWin32DialogMaxSteps) {
            *error = "the click script has more than " + std::to_string(kWin32DialogMaxSteps) + " steps";
            return false;
        }
        parsed.push_back(step);
    }
    *steps = std::move(parsed);
    return true;
}
