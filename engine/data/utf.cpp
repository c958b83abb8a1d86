// UTF-8 and UTF-16 conversion of the engine's texts, through the platform's one conversion.
#include "engine/data/utf.h"

#include <climits>

#include "gfx/core/assert.h"
#include "platform/win32/windows.h"

std::u16string FerroxUtf8ToUtf16(const char* text, size_t length)
{
    GX_ASSERT(text != nullptr || length == 0, "length bytes of text");
    std::u16string out;
    if (length == 0 || length > INT_MAX)
        return out;
    const int size = static_cast<int>(length);
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, size, nullptr, 0);
    if (units <= 0)
        return out;
    out.resize(static_cast<size_t>(units));
    MultiByteToWideChar(CP_UTF8, 0, text, size, &out[0], units);
    return out;
}

std::u16string FerroxUtf8ToUtf16(const std::string& text) { return FerroxUtf8ToUtf16(text.data(), text.size()); }

std::string FerroxUtf16ToUtf8(const std::u16string& text)
{
    std::string out;
    if (text.empty() || text.size() > INT_MAX / 3)
        return out;
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return out;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], bytes, nullptr, nullptr);
    return out;
}
