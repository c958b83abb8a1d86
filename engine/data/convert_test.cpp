// Number texts of saved games and number lines through a line file.
#include "engine/data/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/file.h"
#include "engine/testsupport/files.h"

namespace {

TEST(Convert, ToStringForms)
{
    EXPECT_EQ("-5", ToString<short>(-5));
    EXPECT_EQ("65535", ToString<unsigned short>(65535));
    EXPECT_EQ("-2147483648", ToString<int>(-2147483647 - 1));
    EXPECT_EQ("4294967295", ToString<unsigned int>(4294967295u));
    EXPECT_EQ("1234567", ToString<int>(1234567));  // no grouping
    EXPECT_EQ("12.5000", ToString<float>(12.5f));
    EXPECT_EQ("0.00000", ToString<float>(0.0f));
    EXPECT_EQ("-2.50000", ToString<float>(-2.5f));
    // Six significant digits, whatever the float holds beyond them.
    EXPECT_EQ("123457.", ToString<float>(123456.7f));
    EXPECT_EQ("0.333333", ToString<float>(1.0f / 3.0f));
    EXPECT_EQ("1.00000e+07", ToString<float>(1e7f));
}

TEST(Convert, FromStringStoresOnlyNumbersThatFitAndSaysSo)
{
    int i = 7;
    EXPECT_TRUE(FromString<int>(" 42x", i));
    EXPECT_EQ(42, i);
    EXPECT_FALSE(FromString<int>("x", i));
    EXPECT_EQ(42, i);
    FromString<int>("", i);
    EXPECT_FALSE(FromString<int>("99999999999", i));
    EXPECT_EQ(42, i);
    FromString<int>("-2147483648", i);
    EXPECT_EQ(-2147483647 - 1, i);
    unsigned int u = 3;
    FromString<unsigned int>("-1", u);
    EXPECT_EQ(3u, u);
    FromString<unsigned int>("4294967295", u);
    EXPECT_EQ(4294967295u, u);
    unsigned short s = 9;
    FromString<unsigned short>("65536", s);
    EXPECT_EQ(9, s);
    FromString<unsigned short>("+12", s);
    EXPECT_EQ(12, s);
    float f = 1.0f;
    FromString<float>("12.5000", f);
    EXPECT_EQ(12.5f, f);
    FromString<float>("abc", f);
    EXPECT_FALSE(FromString<float>("1e999", f));
    EXPECT_FALSE(FromString<float>("nan", f));
    EXPECT_EQ(12.5f, f);
    // A stream extraction's number: blanks, a sign, digits with one point, an exponent with digits.
    EXPECT_TRUE(FromString<float>(" .5x", f));
    EXPECT_EQ(0.5f, f);
    EXPECT_TRUE(FromString<float>("+3e1.5", f));
    EXPECT_EQ(30.0f, f);
    EXPECT_FALSE(FromString<float>("1e", f));
    EXPECT_FALSE(FromString<float>("-.", f));
    EXPECT_FALSE(FromString<float>("1e-50", f));
    EXPECT_EQ(30.0f, f);
    EXPECT_TRUE(FromString<float>("-0.00000", f));
    EXPECT_TRUE(std::signbit(f));
}

// The text of every finite float reads back to a float within its six digits that writes the same text again:
// subnormals, the largest float, the smallest normal one, negative zero, and a spread over every bit pattern.
TEST(Convert, EveryFiniteFloatsTextReadsBackToTheSameText)
{
    using Limits = std::numeric_limits<float>;
    std::vector<float> values = {
        Limits::denorm_min(), std::nextafter(Limits::min(), 0.0f), Limits::min(), Limits::max(), -0.0f, 0.0f, 0.1f,
        1.0f / 3.0f};
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 65521) {
        const uint32_t pattern = static_cast<uint32_t>(bits);
        float value = 0.0f;
        std::memcpy(&value, &pattern, sizeof(value));
        if (std::isfinite(value))
            values.push_back(value);
    }
    for (float value : {values[0], values[1], values[2], values[3]})
        values.push_back(-value);
    for (float value : values) {
        const std::string text = ToString<float>(value);
        float back = 7.0f;
        ASSERT_TRUE(FromString<float>(text, back)) << text;
        ASSERT_EQ(text, ToString<float>(back));
        ASSERT_EQ(std::signbit(value), std::signbit(back)) << text;
        const double tolerance = std::max(std::fabs(static_cast<double>(value)) * 6e-6, double{Limits::denorm_min()});
        ASSERT_LE(std::fabs(static_cast<double>(back) - value), tolerance) << text;
        ASSERT_NE(std::string::npos, text.find('.')) << text;
    }
    // A subnormal saved once reads back as a subnormal, not as zero, and saves the same text again.
    float subnormal = 0.0f;
    ASSERT_TRUE(FromString<float>("8.81557e-41", subnormal));
    EXPECT_EQ(std::fpclassify(subnormal), FP_SUBNORMAL);
    EXPECT_EQ("8.81557e-41", ToString<float>(subnormal));
}

class ConvertFiles : public FerroxTestFiles {};

TEST_F(ConvertFiles, ListLines)
{
    std::string path = Path("list.txt");
    CFerroxFile out;
    ASSERT_EQ(0, out.Open(path.c_str(), 0));
    WriteU16List(&out, {3, 0, 12}, ',');
    WriteU16List(&out, {}, ',');
    out.WriteLine("1,,2,\r\n-4;x;70000;5\r\n");
    out.Close();
    EXPECT_EQ("3,0,12\r\n\r\n1,,2,\r\n-4;x;70000;5\r\n", ReadFile(path));

    CFerroxFile in;
    ASSERT_EQ(0, in.Open(path.c_str(), 1));
    std::vector<unsigned short> u16;
    ReadU16List(&in, u16, ',');
    EXPECT_EQ(std::vector<unsigned short>({3, 0, 12}), u16);
    std::vector<int> ints;
    ReadIntList(&in, ints, ',');
    EXPECT_TRUE(ints.empty());
    ReadIntList(&in, ints, ',');
    EXPECT_EQ(std::vector<int>({1, 2}), ints);
    u16.clear();
    ReadU16List(&in, u16, ';');
    // Pieces that are no number, or do not fit, count as 0 and keep the places of the rest.
    EXPECT_EQ(std::vector<unsigned short>({0, 0, 0, 5}), u16);
}

}  // namespace
