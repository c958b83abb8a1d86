// What the file functions share with their builders.
#pragma once

#include <cstddef>

// A temporary is named "<target>.<token>.tmp", the token in this many hexadecimal digits.
constexpr char kTemporarySuffix[] = ".tmp";
constexpr size_t kTemporarySuffixLength = sizeof(kTemporarySuffix) - 1;
constexpr size_t kTokenDigits = 16;
