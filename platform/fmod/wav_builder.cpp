// PCM WAV writing, for the content tools, benches and tests; the program links none of this.
#include <vector>

#include "platform/fmod/wav.h"
#include "platform/fmod/wav_local.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, static_cast<uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<uint8_t> WavEncode16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples)
{
    const uint32_t bytesPerSample = 2;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * bytesPerSample;
    std::vector<uint8_t> out;
    out.reserve(kRiffHeaderBytes + 2 * kChunkHeaderBytes + kFmtMinBytes + dataBytes);
    PutTag(out, "RIFF");
    Put32(out, static_cast<uint32_t>(4 + 2 * kChunkHeaderBytes + kFmtMinBytes) + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, static_cast<uint32_t>(kFmtMinBytes));
    Put16(out, kFormatPcm);
    Put16(out, channels);
    Put32(out, rate);
    Put32(out, rate * channels * bytesPerSample);
    Put16(out, static_cast<uint16_t>(channels * bytesPerSample));
    Put16(out, static_cast<uint16_t>(bytesPerSample * 8));
    PutTag(out, "data");
    Put32(out, dataBytes);
    const size_t start = out.size();
    out.resize(start + dataBytes);
    uint8_t* p = out.data() + start;
    for (int16_t s : samples) {
        const uint16_t u = static_cast<uint16_t>(s);
        *p++ = static_cast<uint8_t>(u & 0xFF);
        *p++ = static_cast<uint8_t>(u >> 8);
    }
    return out;
}
