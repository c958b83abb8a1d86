// Fuzz target of the random player's action lists: any bytes are read whole or refused; an action read writes
// back as a line that reads as the same action.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "playtest/randomplayer_actions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<RandomAction> actions;
    std::string error;
    if (!RandomActionsParse(text, &actions, &error)) {
        if (error.empty() || !actions.empty())
            std::abort();
        return 0;
    }
    std::string written;
    for (const RandomAction& action : actions)
        written += RandomActionText(action) + "\n";
    std::vector<RandomAction> again;
    if (!RandomActionsParse(written, &again, &error) || again.size() != actions.size())
        std::abort();
    for (size_t i = 0; i < actions.size(); i++)
        if (RandomActionText(again[i]) != RandomActionText(actions[i]))
            std::abort();
    return 0;
}
