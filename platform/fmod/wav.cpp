// PCM WAV reading: RIFF chunks walked with every size checked against the bytes that remain.
#include "platform/fmod/wav.h"

#include <cstring>

#include "platform/fmod/wav_local.h"

namespace {

constexpr uint16_t kMaxChannels = 2;
constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 192000;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool Fail(std::string* error, const char* message)
{
    if (error)
        *error = message;
    return false;
}

bool ReadFormat(const uint8_t* p, uint32_t size, WavData* out, std::string* error)
{
    if (size < kFmtMinBytes)
        return Fail(error, "WAV: \"fmt \" chunk shorter than 16 bytes");
    const uint16_t format = Read16(p);
    const uint16_t channels = Read16(p + 2);
    const uint32_t rate = Read32(p + 4);
    const uint16_t blockAlign = Read16(p + 12);
    const uint16_t bits = Read16(p + 14);
    if (format != kFormatPcm)
        return Fail(error, "WAV: not PCM");
    if (channels == 0 || channels > kMaxChannels)
        return Fail(error, "WAV: channels not 1 or 2");
    if (bits != 8 && bits != 16)
        return Fail(error, "WAV: bits not 8 or 16");
    if (rate < kMinRate || rate > kMaxRate)
        return Fail(error, "WAV: sample rate out of range");
    if (blockAlign != channels * (bits / 8))
        return Fail(error, "WAV: block size disagrees with channels and bits");
    out->channels = channels;
    out->rate = rate;
    out->bits = bits;
    return true;
}

}  // namespace

bool WavParse(const uint8_t* bytes, size_t size, WavData* out, std::string* error)
{
    if (bytes == nullptr || out == nullptr)
        return Fail(error, "WAV: no data");
    if (size > kWavMaxFileBytes)
        return Fail(error, "WAV: file larger than the reader's limit");
    if (size < kRiffHeaderBytes || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return Fail(error, "WAV: no RIFF/WAVE header");
    WavData result;
    bool haveFormat = false;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    size_t at = kRiffHeaderBytes;
    while (size - at >= kChunkHeaderBytes) {
        const uint8_t* chunk = bytes + at;
        const uint32_t chunkSize = Read32(chunk + 4);
        const size_t remaining = size - at - kChunkHeaderBytes;
        if (chunkSize > remaining)
            return Fail(error, "WAV: chunk runs past the end of the file");
        const uint8_t* body = chunk + kChunkHeaderBytes;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (haveFormat)
                return Fail(error, "WAV: second \"fmt \" chunk");
            if (!ReadFormat(body, chunkSize, &result, error))
                return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && data == nullptr) {
            data = body;
            dataSize = chunkSize;
        }
        // Chunks are padded to an even size; the pad of the last one may be missing.
        const size_t advance = kChunkHeaderBytes + chunkSize + (chunkSize & 1u);
        if (advance >= size - at)
            break;
        at += advance;
    }
    if (!haveFormat)
        return Fail(error, "WAV: no \"fmt \" chunk");
    if (data == nullptr)
        return Fail(error, "WAV: no \"data\" chunk");
    const uint32_t frameBytes = result.channels * (result.bits / 8u);
    const uint32_t whole = dataSize - dataSize % frameBytes;
    if (whole == 0)
        return Fail(error, "WAV: no frames");
    result.pcm.assign(data, data + whole);
    *out = std::move(result);
    return true;
}
