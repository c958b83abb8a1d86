// Fuzz target of the WAV reader: any bytes read whole or are refused, and what is read holds whole frames.
#include <cstdint>
#include <cstdlib>

#include "platform/fmod/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WavData wav;
    std::string error;
    if (!WavParse(data, size, &wav, &error))
        return 0;
    const size_t frame = static_cast<size_t>(wav.channels) * (wav.bits / 8u);
    if (frame == 0 || wav.pcm.empty() || wav.pcm.size() % frame != 0 || wav.pcm.size() > size)
        std::abort();
    return 0;
}
