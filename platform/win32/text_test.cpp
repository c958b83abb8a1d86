// Text conversion between UTF-8 and UTF-16: well-formed text both ways, the replacement of what is not, sizes.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/windows.h"

namespace {

// The whole text (without a terminator) through MultiByteToWideChar.
std::u16string Wide(const std::string& text, DWORD flags = 0)
{
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    std::u16string out(static_cast<size_t>(units), u'\0');
    if (units > 0)
        EXPECT_EQ(units, MultiByteToWideChar(CP_UTF8, flags, text.data(), size, &out[0], units));
    return out;
}

std::string Narrow(const std::u16string& text, DWORD flags = 0)
{
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    if (bytes > 0)
        EXPECT_EQ(bytes, WideCharToMultiByte(CP_UTF8, flags, text.data(), size, &out[0], bytes, nullptr, nullptr));
    return out;
}

TEST(TextConversion, WellFormedTextRoundTripsWithSurrogatePairs)
{
    const std::string utf8 = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF";
    const std::u16string utf16 = u"Caf\u00E9 \u20AC \U0001F600 \U0010FFFF";
    EXPECT_EQ(utf16, Wide(utf8));
    EXPECT_EQ(utf16, Wide(utf8, MB_ERR_INVALID_CHARS));
    EXPECT_EQ(utf8, Narrow(utf16));
    EXPECT_EQ(utf8, Narrow(utf16, WC_ERR_INVALID_CHARS));
    // An embedded zero is text like any other when the length is given.
    EXPECT_EQ(std::u16string(u"a\0b", 3), Wide(std::string("a\0b", 3)));
}

// Each byte that starts no sequence, and each longest start of one that breaks off, is one U+FFFD; the byte that
// broke a sequence starts the next one.
TEST(TextConversion, MalformedBytesBecomeOneReplacementEachOrFailWhenAsked)
{
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"a\xC3"
         "b",
         u"a\uFFFDb"},                                      // cut short by an ASCII byte
        {"\xE9t\xE9", u"\uFFFDt\uFFFD"},                    // a Latin-1 name as the text field types it
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong two-byte form
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate written in UTF-8
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xF0\x9F\x98", u"\uFFFD"},                        // a four-byte form cut at the end
        {"\xE2\x82"
         "x",
         u"\uFFFDx"},
        {"\x80\xBF\xFE\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // stray trail bytes and bytes no text holds
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, Wide(c.bytes)) << c.bytes;
        SetLastError(0);
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(),
                                         static_cast<int>(c.bytes.size()), nullptr, 0))
            << c.bytes;
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    }
    const std::u16string lone[] = {std::u16string(1, char16_t(0xD800)) + u"a",
                                   u"a" + std::u16string(1, char16_t(0xDC00)), std::u16string(1, char16_t(0xDBFF))};
    for (const std::u16string& text : lone) {
        EXPECT_NE(std::string::npos, Narrow(text).find("\xEF\xBF\xBD"));
        EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    }
}

TEST(TextConversion, SizesTerminatorsAndRefusedArguments)
{
    // -1 converts the terminator too and counts it.
    EXPECT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, "caf\xC3\xA9", -1, nullptr, 0));
    char16_t wide[5];
    EXPECT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, "caf\xC3\xA9", -1, wide, 5));
    EXPECT_EQ(std::u16string(u"caf\u00E9"), std::u16string(wide));
    EXPECT_EQ(6, WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr));
    char narrow[6];
    EXPECT_EQ(6, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 6, nullptr, nullptr));
    EXPECT_STREQ("caf\xC3\xA9", narrow);

    // Too small a buffer, nothing to convert, another code page, a default character.
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "caf\xC3\xA9", -1, wide, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 5, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    BOOL used = FALSE;
    // Each call runs before the loop: the last one leaves the error.
    for (int result :
         {MultiByteToWideChar(CP_UTF8, 0, "x", 0, wide, 5), MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 5),
          MultiByteToWideChar(1252, 0, "x", -1, wide, 5),
          WideCharToMultiByte(CP_UTF8, 0, wide, 0, narrow, 6, nullptr, nullptr),
          WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 6, "?", nullptr),
          WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 6, nullptr, &used)}) {
        EXPECT_EQ(0, result);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
