// Scenario goals in words: digit grouping, one condition's phrase and the win and lose lines.
#include "ui/frontend/goals.h"

#include "engine/data/locale.h"
#include "game/world/statistics.h"

namespace {

constexpr int32_t kFigures = kConditionCriminals + 1;
constexpr int32_t kComparisons = kConditionGreater + 1;
constexpr size_t kGroup = 3;
// The main bar shows the rating, -1000 to 1000, as a bar filled 0 to 100 per cent.
constexpr int32_t kRatingPerPercent = (kRatingMax - kRatingMin) / 100;
constexpr char16_t kLineEnd = u'\n';
constexpr char16_t kSpace = u' ';

bool Known(const Condition& condition)
{
    return condition.variable >= 0 && condition.variable < kFigures && condition.comparison >= 0 &&
           condition.comparison < kComparisons;
}

std::u16string Phrase(const CLocale& locale, int16_t list, const Condition& condition, const std::u16string& thousand)
{
    const uint16_t entry =
        static_cast<uint16_t>(GOAL_CONDITION + kComparisons * condition.variable + condition.comparison);
    int64_t figure = condition.threshold;
    if (condition.variable == kConditionRating)
        figure = (figure - kRatingMin) / kRatingPerPercent;
    return FerroxFormatText(locale.GetText(list, entry), {GoalNumber(figure, thousand)});
}

// The line of `pattern` over the known conditions joined by "or"; empty when none is known.
std::u16string Line(const CLocale& locale, int16_t list, uint16_t pattern, const std::vector<Condition>& conditions,
                    const std::u16string& thousand)
{
    std::u16string phrases;
    for (const Condition& condition : conditions) {
        if (!Known(condition))
            continue;
        if (!phrases.empty())
            phrases += kSpace + locale.GetText(list, GOAL_OR) + kSpace;
        phrases += Phrase(locale, list, condition, thousand);
    }
    return phrases.empty() ? phrases : FerroxFormatText(locale.GetText(list, pattern), {phrases});
}

bool CountsShoppers(const std::vector<Condition>& conditions)
{
    for (const Condition& condition : conditions) {
        if (Known(condition) && condition.variable == kConditionShoppersCome)
            return true;
    }
    return false;
}

}  // namespace

std::u16string GoalNumber(int64_t value, const std::u16string& thousand)
{
    const std::string digits = std::to_string(value < 0 ? -value : value);
    const char16_t separator = thousand.size() > 1 && (thousand[1] < u'0' || thousand[1] > u'9') ? thousand[1] : 0;
    std::u16string text = value < 0 ? u"-" : u"";
    for (size_t i = 0; i < digits.size(); i++) {
        if (separator && i > 0 && (digits.size() - i) % kGroup == 0)
            text.push_back(separator);
        text.push_back(static_cast<char16_t>(digits[i]));
    }
    return text;
}

std::u16string GoalSentences(const CLocale& locale, int16_t list, const std::vector<Condition>& win,
                             const std::vector<Condition>& lose)
{
    if (list < 0 || list >= static_cast<int16_t>(locale.GetListCount()))
        return std::u16string();
    const std::u16string thousand = locale.GetText(list, GOAL_THOUSAND);
    std::u16string text = Line(locale, list, GOAL_WIN, win, thousand);
    if (text.empty())
        text = locale.GetText(list, GOAL_NONE);
    const std::u16string losing = Line(locale, list, GOAL_LOSE, lose, thousand);
    if (!losing.empty())
        text += kLineEnd + losing;
    bool missing = false;
    const std::u16string where = locale.GetText(list, GOAL_SHOPPERS_WHERE, &missing);
    if ((CountsShoppers(win) || CountsShoppers(lose)) && !missing)
        text += kLineEnd + where;
    return text;
}
