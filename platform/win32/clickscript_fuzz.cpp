// Fuzz target of the click-script reader: any bytes give steps inside their ranges or a message, never both.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/win32/dialog_auto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<Win32DialogStep> steps;
    std::string error;
    const bool ok = Win32DialogParseScript(reinterpret_cast<const char*>(data), size, &steps, &error);
    if (ok != error.empty() || (!ok && !steps.empty()) || steps.size() > kWin32DialogMaxSteps)
        std::abort();
    for (const Win32DialogStep& step : steps) {
        const bool point = step.kind != kWin32StepSelect;
        if (point && (step.a < -32768 || step.a > 32767 || step.b < -32768 || step.b > 32767))
            std::abort();
        if (!point && (step.a < 0 || step.b < 0))
            std::abort();
    }
    return 0;
}
