// Tests of the programmer-error check.
#include <gtest/gtest.h>

#include "gfx/core/assert.h"

namespace {

int CountedTrue(int* calls)
{
    ++*calls;
    return 1;
}

TEST(AssertDeathTest, AFailedCheckStopsWithWhereWhatAndWhy)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int index = 7;
    EXPECT_DEATH(GX_ASSERT(index < 4, "the index lies inside the table"),
                 "assert_test\\.cpp:[0-9]+: assertion failed: index < 4: the index lies inside the table");
}

TEST(AssertDeathTest, AHeldCheckEvaluatesItsConditionOnceAndGoesOn)
{
    int calls = 0;
    GX_ASSERT(CountedTrue(&calls), "held");
    EXPECT_EQ(1, calls);
}

}  // namespace
