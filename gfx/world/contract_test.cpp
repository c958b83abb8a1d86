// Programmer errors at the world module's table accessors stop the program instead of reading past a table.
#include <gtest/gtest.h>

#include "gfx/world/material.h"
#include "gfx/world/userdata.h"

namespace {

TEST(WorldContractDeathTest, TableEntriesAreReadOnlyInsideTheirTables)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    GxMaterial* materials[1] = {nullptr};
    const GxMaterialList list = {materials, 1, 1};
    EXPECT_EQ(nullptr, GxMaterialListGetMaterial(&list, 0));
    EXPECT_DEATH(GxMaterialListGetMaterial(&list, 1), "a material index lies inside its list");
    EXPECT_DEATH(GxMaterialListGetMaterial(&list, -1), "a material index lies inside its list");

    GxChar door[] = "door";
    GxChar* strings[1] = {door};
    GxUserDataArray tags = {nullptr, gxUSERDATASTRING, 1, strings};
    EXPECT_STREQ("door", GxUserDataArrayGetString(&tags, 0));
    EXPECT_DEATH(GxUserDataArrayGetString(&tags, 1), "an element index lies inside its array");
    GxInt32 numbers[1] = {7};
    GxUserDataArray counts = {nullptr, gxUSERDATAINT, 1, numbers};
    EXPECT_DEATH(GxUserDataArrayGetString(&counts, 0), "strings are read from a string array");
}

}  // namespace
