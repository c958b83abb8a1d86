// The random player's actions: text, reading and the seeded generator; see playtest/randomplayer_actions.h.
#include "playtest/randomplayer_actions.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "platform/win32/windows.h"

namespace {

const char* const kVerbs[RANDOM_ACTION_KINDS] = {
    "click",           "right",           "drag",         "right-drag", "key",    "hold", "wheel",      "widget",
    "build",           "demolish",        "floor-up",     "floor-down", "answer", "hire", "round-trip", "demolish-door",
    "floor-over-door", "demolish-figure", "clear-column", "door",       "shot",
};
constexpr size_t kMaxLine = 200;
constexpr int kNumbers = 4;

// How often each kind comes, in parts of the sum.
constexpr int kWeights[RANDOM_ACTION_KINDS] = {24, 5, 14, 3, 12, 4, 3, 12, 14, 4, 3, 3, 4, 2, 1, 2, 2, 2, 2, 2, 0};
// The keys a tap sends: Escape and the speed digits most, then the keys a name field takes.
constexpr WORD kTapKeys[] = {VK_ESCAPE, VK_ESCAPE, VK_ESCAPE, '0', '1',     '2',      '3',
                             '0',       '3',       'A',       'Z', VK_BACK, VK_RETURN};
constexpr WORD kHoldKeys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
constexpr int kMostHoldFrames = 12;
// Escape comes up to this many times in a row: the presses that put a tool down, close a panel and ask to leave.
constexpr int kMostEscapes = 3;
constexpr int kMostNotches = 3;
// Widget and button numbers are drawn up to this and taken modulo what the canvas has.
constexpr int kMostWidget = 40;
// A share (in percent) of the build-menu picks takes the floor-tile page (the root's first button), so that runs
// lay floor and raise walls often.
constexpr int kFloorPagePercent = 35;
// A share (in percent) of the points lies anywhere on the screen; the others in the middle of the view.
constexpr int kAnywherePercent = 20;
constexpr float kMiddleLeft = 0.15f, kMiddleRight = 0.85f, kMiddleTop = 0.3f, kMiddleBottom = 0.85f;
// Drags span at most this share of the screen's width.
constexpr float kMostDragSpan = 0.3f;

bool ReadNumber(const std::string& word, int* out)
{
    if (word.empty() || word.size() > 7)
        return false;
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (!end || *end || value < -kRandomNumberLimit || value > kRandomNumberLimit)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseLine(const std::string& line, RandomAction* action)
{
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    int kind = 0;
    while (kind < RANDOM_ACTION_KINDS && verb != kVerbs[kind])
        kind++;
    if (kind == RANDOM_ACTION_KINDS)
        return false;
    int numbers[kNumbers] = {};
    for (int& number : numbers) {
        std::string word;
        if (!(words >> word) || !ReadNumber(word, &number))
            return false;
    }
    std::string rest;
    if (words >> rest)
        return false;
    *action = {static_cast<RandomActionKind>(kind), numbers[0], numbers[1], numbers[2], numbers[3]};
    return true;
}

}  // namespace

std::string RandomActionText(const RandomAction& action)
{
    const int kind = action.kind >= 0 && action.kind < RANDOM_ACTION_KINDS ? action.kind : 0;
    return std::string(kVerbs[kind]) + " " + std::to_string(action.a) + " " + std::to_string(action.b) + " " +
           std::to_string(action.c) + " " + std::to_string(action.d);
}

bool RandomActionsParse(const std::string& text, std::vector<RandomAction>* actions, std::string* error)
{
    std::vector<RandomAction> read;
    if (text.size() > kRandomActionsMaxBytes) {
        *error = "the action list is larger than " + std::to_string(kRandomActionsMaxBytes) + " bytes";
        return false;
    }
    size_t start = 0;
    for (int number = 1; start < text.size(); number++) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        RandomAction action = {};
        if (line.size() > kMaxLine || read.size() >= kRandomActionsMax || !ParseLine(line, &action)) {
            *error = "line " + std::to_string(number) + " is no action (a verb and four numbers)";
            return false;
        }
        read.push_back(action);
    }
    *actions = std::move(read);
    return true;
}

CRandomActionMaker::CRandomActionMaker(uint32_t seed, int width, int height)
    : m_random(seed), m_width(width), m_height(height)
{}

int CRandomActionMaker::Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

void CRandomActionMaker::Point(int* x, int* y)
{
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    if (Between(0, 99) < kAnywherePercent) {
        *x = Between(0, m_width - 1);
        *y = Between(0, m_height - 1);
        return;
    }
    *x = Between(static_cast<int>(w * kMiddleLeft), static_cast<int>(w * kMiddleRight));
    *y = Between(static_cast<int>(h * kMiddleTop), static_cast<int>(h * kMiddleBottom));
}

RandomAction CRandomActionMaker::Next()
{
    int sum = 0;
    for (int weight : kWeights)
        sum += weight;
    int pick = Between(0, sum - 1);
    int kind = 0;
    while (pick >= kWeights[kind])
        pick -= kWeights[kind++];
    RandomAction action = {static_cast<RandomActionKind>(kind), 0, 0, 0, 0};
    const int span = static_cast<int>(static_cast<float>(m_width) * kMostDragSpan);
    switch (action.kind) {
    case RANDOM_CLICK:
    case RANDOM_RIGHT:
        Point(&action.a, &action.b);
        break;
    case RANDOM_DRAG:
    case RANDOM_RIGHT_DRAG:
        Point(&action.a, &action.b);
        action.c = std::max(0, std::min(m_width - 1, action.a + Between(-span, span)));
        action.d = std::max(0, std::min(m_height - 1, action.b + Between(-span, span)));
        break;
    case RANDOM_KEY:
        action.a = kTapKeys[Between(0, static_cast<int>(std::size(kTapKeys)) - 1)];
        action.b = action.a == VK_ESCAPE ? Between(1, kMostEscapes) : 1;
        break;
    case RANDOM_HOLD:
        action.a = kHoldKeys[Between(0, static_cast<int>(std::size(kHoldKeys)) - 1)];
        action.b = Between(1, kMostHoldFrames);
        break;
    case RANDOM_WHEEL:
        action.a = Between(-kMostNotches, kMostNotches);
        break;
    case RANDOM_WIDGET:
    case RANDOM_BUILD:
    case RANDOM_DEMOLISH_DOOR:
    case RANDOM_FLOOR_OVER_DOOR:
    case RANDOM_DEMOLISH_FIGURE:
    case RANDOM_CLEAR_COLUMN:
    case RANDOM_PLACE_DOOR:
        action.a = Between(0, kMostWidget);
        action.b = Between(0, kMostWidget);
        if (action.kind == RANDOM_BUILD && Between(0, 99) < kFloorPagePercent)
            action.a = 0;
        break;
    case RANDOM_ANSWER:
        action.a = Between(1, 2);
        break;
    default:
        break;
    }
    return action;
}
