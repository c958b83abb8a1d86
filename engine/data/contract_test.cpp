// Programmer errors at the engine's boundaries stop the program instead of reading past a table.
#include <gtest/gtest.h>

#include "engine/data/tagtree.h"

namespace {

TEST(EngineContractDeathTest, ValueLinesAreReadOnlyBelowTheirCount)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CFerroxTagValues values;
    EXPECT_DEATH(values.front(), "a value index lies below the node's value count");
    values.push_back(CFerroxTagValue("one"));
    values.push_back(CFerroxTagValue("two"));
    EXPECT_EQ("two", values.back().str());
    EXPECT_DEATH(values[2], "a value index lies below the node's value count");
}

}  // namespace
