// C runtime names the Windows build used that the Linux C library spells differently.
#include <cctype>
#include <cstddef>

#include "platform/win32/windows.h"

namespace {
int Lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }
}  // namespace

int _strnicmp(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        int ca = Lower(a[i]);
        int cb = Lower(b[i]);
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
    return 0;
}

int _stricmp(const char* a, const char* b) { return _strnicmp(a, b, static_cast<size_t>(-1)); }

char* _strupr(char* s)
{
    for (char* p = s; p != nullptr && *p; p++)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return s;
}

char* _strlwr(char* s)
{
    for (char* p = s; p != nullptr && *p; p++)
        *p = static_cast<char>(Lower(*p));
    return s;
}
