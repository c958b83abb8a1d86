// A scenario's win and lose conditions: each compares one mall figure with a threshold; "<CONDITIONS>".
#pragma once

#include <cstdint>
#include <vector>

class CFerroxFile;
class CFerroxTagFile;
class CStatistics;

// The figures a condition can compare.
enum ConditionVariable : int32_t {
    kConditionBalance = 0,
    kConditionDays = 1,
    kConditionShoppersCome = 2,
    kConditionRating = 3,
    kConditionCriminals = 4,
};

enum ConditionComparison : int32_t {
    kConditionLess = 0,
    kConditionGreater = 1,
};

// What a result test gives when none of its conditions holds.
constexpr int32_t kConditionNone = -1;

struct Condition {
    int32_t variable;
    int32_t comparison;
    int32_t threshold;
};

class CConditions {
public:
    CConditions();
    virtual ~CConditions() = default;

    // Reads the "<CONDITIONS>" section of an open tag file and appends its conditions; 1 when it was found. A
    // value line that is no number keeps the value; an absent section changes nothing.
    virtual int Load(CFerroxTagFile* file);
    // Writes the section; 0 when a write failed.
    virtual int Save(CFerroxFile* file);
    // The variable of the first condition that holds now, in list order, or kConditionNone.
    virtual int32_t TestLose();
    virtual int32_t TestWin();
    // Virtual slots 4 and 5, after the two tests: reserved, they do nothing.
    virtual void ReservedSlot4() {}
    virtual void ReservedSlot5() {}
    // Frees every condition of both lists.
    virtual void Reset();
    virtual void Init() { m_value = 0; }

    // The figures the conditions read: the game's day counter and these statistics (null: every figure 0).
    void SetStatistics(CStatistics* statistics) { m_pStatistics = statistics; }

    const std::vector<Condition>& GetWin() const { return m_win; }
    const std::vector<Condition>& GetLose() const { return m_lose; }

    uint16_t m_value;

private:
    int32_t Test(const std::vector<Condition>& conditions) const;
    int32_t Figure(int32_t variable) const;

    std::vector<Condition> m_win;
    std::vector<Condition> m_lose;
    CStatistics* m_pStatistics;
};
