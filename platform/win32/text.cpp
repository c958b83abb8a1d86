// Text conversion between UTF-8 and UTF-16, the one the file names, the typed text and the engine's texts share.
#include <cstring>
#include <string>

#include "platform/win32/kernel_local.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kHighFirst = 0xD800;
constexpr char32_t kLowFirst = 0xDC00;
constexpr char32_t kLowLast = 0xDFFF;
constexpr char32_t kPlaneBase = 0x10000;
constexpr unsigned char kTrailFirst = 0x80;
constexpr unsigned char kTrailLast = 0xBF;

// Decodes the sequence at s[0] (n > 0 bytes left) into *out; returns the bytes it took. A sequence that breaks off
// takes only the bytes that could still have begun a well-formed one, and gives U+FFFD: the byte that broke it
// starts the next. The second byte's range shuts out overlong forms, surrogates and code points past U+10FFFF.
size_t DecodeOne(const unsigned char* s, size_t n, char32_t* out, bool* bad)
{
    const unsigned char lead = s[0];
    *out = kReplacement;
    if (lead < 0x80) {
        *out = lead;
        return 1;
    }
    int trail;
    unsigned char low = kTrailFirst, high = kTrailLast;
    char32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        *bad = true;
        return 1;
    }
    for (int i = 1; i <= trail; i++) {
        if (static_cast<size_t>(i) >= n || s[i] < low || s[i] > high) {
            *bad = true;
            return static_cast<size_t>(i);
        }
        code = (code << 6) | (s[i] & 0x3F);
        low = kTrailFirst;
        high = kTrailLast;
    }
    *out = code;
    return static_cast<size_t>(trail) + 1;
}

void AppendUtf16(std::u16string& out, char32_t code)
{
    if (code < kPlaneBase) {
        out.push_back(static_cast<char16_t>(code));
        return;
    }
    code -= kPlaneBase;
    out.push_back(static_cast<char16_t>(kHighFirst + (code >> 10)));
    out.push_back(static_cast<char16_t>(kLowFirst + (code & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < kPlaneBase) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Hands a converted text to the caller's buffer, or its size when the buffer's size is 0.
template <typename Unit>
int Deliver(const std::basic_string<Unit>& text, Unit* out, int capacity)
{
    if (capacity == 0)
        return static_cast<int>(text.size());
    if (text.size() > static_cast<size_t>(capacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text.data(), text.size() * sizeof(Unit));
    return static_cast<int>(text.size());
}

// The texts' lengths fit an int; a longer one is refused rather than counted wrong.
constexpr size_t kLongestText = 0x3FFFFFFF;

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               char16_t* lpWideCharStr, int cchWideChar)
{
    if (CodePage != CP_UTF8 || (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0 || !lpMultiByteStr ||
        cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (length > kLongestText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    std::u16string text;
    text.reserve(length);
    bool bad = false;
    for (size_t i = 0; i < length;) {
        char32_t code;
        i += DecodeOne(bytes + i, length - i, &code, &bad);
        AppendUtf16(text, code);
    }
    if (bad && (dwFlags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return Deliver(text, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, const char16_t* lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    if (CodePage != CP_UTF8 || (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0 || !lpWideCharStr ||
        cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr) ||
        lpDefaultChar || lpUsedDefaultChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = static_cast<size_t>(cchWideChar);
    if (cchWideChar == -1) {
        length = 0;
        while (lpWideCharStr[length])
            length++;
        length++;
    }
    if (length > kLongestText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; i++) {
        char32_t code = lpWideCharStr[i];
        if (code >= kHighFirst && code <= kLowLast) {
            const char32_t next = i + 1 < length ? lpWideCharStr[i + 1] : 0;
            if (code >= kLowFirst || next < kLowFirst || next > kLowLast) {
                if (dwFlags & WC_ERR_INVALID_CHARS) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                code = kReplacement;
            } else {
                code = kPlaneBase + ((code - kHighFirst) << 10) + (next - kLowFirst);
                i++;
            }
        }
        AppendUtf8(text, code);
    }
    return Deliver(text, lpMultiByteStr, cbMultiByte);
}

bool KernelIsUtf8(const char* name)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0) > 0;
}

std::string KernelFileSystemName(const char* name)
{
    const int units = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    if (units <= 0)
        return std::string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, &wide[0], units);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &narrow[0], bytes, nullptr, nullptr);
    narrow.pop_back();  // the terminator, converted with the text
    return narrow;
}
