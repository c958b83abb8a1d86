// Fuzz target: a job template's value texts (lines of arbitrary bytes) read into a hire row; every field is
// the engine's 16-bit reading of the line, else 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/data/convert.h"
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
        unsigned short value = 0;
        const bool number = k < values.size() && FromString<unsigned short>(values[k], value);
        if (fields[k] != (number ? value : 0u))
            __builtin_trap();
    }
    return 0;
}
