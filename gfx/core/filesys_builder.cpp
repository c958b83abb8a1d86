// File-name builders for tests and tools; the program does not link them.
#include <cstring>

#include "gfx/core/filesys.h"
#include "gfx/core/filesys_local.h"

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

size_t GxFileTemporaryTargetLength(const char* name)
{
    if (name == nullptr)
        return 0;
    const size_t length = std::strlen(name);
    const size_t added = 1 + kTokenDigits + kTemporarySuffixLength;
    if (length <= added || std::strcmp(name + length - kTemporarySuffixLength, kTemporarySuffix) != 0)
        return 0;
    const size_t target = length - added;
    if (name[target] != '.')
        return 0;
    for (size_t i = target + 1; i < target + 1 + kTokenDigits; i++) {
        if (!IsHexDigit(name[i]))
            return 0;
    }
    return target;
}
