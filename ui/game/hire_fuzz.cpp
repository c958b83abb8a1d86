// Fuzz target: a job template's value texts (lines of arbitrary bytes) read into a hire row; every field is
// the line's number when it is one of 16 bits, else 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/game/management.h"

namespace {
constexpr size_t kMaxValues = 8;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> values(1);
    for (size_t i = 0; i < size && values.size() <= kMaxValues; i++) {
        if (data[i] == '\n')
            values.emplace_back();
        else
            values.back() += static_cast<char>(data[i]);
    }
    HireEntry entry{1, 1, 0, 1, nullptr, nullptr, nullptr};
    HireReadValues(values, &entry);
    const uint16_t fields[] = {entry.titleIndex, entry.imageIndex, entry.baseWage};
    for (size_t k = 0; k < 3; k++) {
        const std::string text = k < values.size() ? values[k] : std::string();
        const bool number = !text.empty() && text.size() <= 5 &&
                            text.find_first_not_of("0123456789") == std::string::npos && std::stoul(text) <= UINT16_MAX;
        if (fields[k] != (number ? std::stoul(text) : 0u))
            __builtin_trap();
    }
    return 0;
}
