// The root class's name.
#include "engine/data/root.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(FerroxBase, NamesAreCopiedAndCleared)
{
    CFerroxBase base;
    EXPECT_EQ(nullptr, base.GetName());
    std::string name = "camera";
    base.SetName(name.c_str());
    name[0] = 'X';
    EXPECT_STREQ("camera", base.GetName());
    base.SetName("other");
    EXPECT_STREQ("other", base.GetName());
    // The text may be the object's own name, or part of it: it is copied before the old name goes.
    base.SetName(base.GetName() + 2);
    EXPECT_STREQ("her", base.GetName());
    base.SetName(base.GetName());
    EXPECT_STREQ("her", base.GetName());
    base.Release();
    EXPECT_EQ(nullptr, base.GetName());
}

}  // namespace
