// The WAV reader: what the encoder writes reads back; 8-bit files, padding and foreign chunks; malformed files.
#include "platform/fmod/wav.h"

#include <gtest/gtest.h>

namespace {

void Patch32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr size_t kFormatAt = 20;  // after "RIFF", size, "WAVE", "fmt ", size
constexpr size_t kDataSizeAt = 40;

TEST(Wav, EncodedFilesReadBackWithTheirFormat)
{
    const std::vector<int16_t> samples = {0, 1000, -1000, 32767, -32768, 5};
    const std::vector<uint8_t> bytes = WavEncode16(1, 22050, samples);
    WavData wav;
    ASSERT_TRUE(WavParse(bytes.data(), bytes.size(), &wav, nullptr));
    EXPECT_EQ(1, wav.channels);
    EXPECT_EQ(22050u, wav.rate);
    EXPECT_EQ(16, wav.bits);
    ASSERT_EQ(samples.size() * 2, wav.pcm.size());
    EXPECT_EQ(0x80, wav.pcm[9]);  // -32768, high byte

    // 8-bit stereo, a foreign chunk of odd size with its pad before "data", and a trailing partial frame.
    std::vector<uint8_t> eight = WavEncode16(2, 8000, {1, 2, 3, 4});
    eight[kFormatAt + 12] = 2;  // block align
    eight[kFormatAt + 14] = 8;  // bits
    const std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    eight.insert(eight.begin() + 36, extra.begin(), extra.end());
    Patch32(eight, kDataSizeAt + extra.size(), 7);
    ASSERT_TRUE(WavParse(eight.data(), eight.size(), &wav, nullptr));
    EXPECT_EQ(8, wav.bits);
    EXPECT_EQ(2, wav.channels);
    EXPECT_EQ(6u, wav.pcm.size());
}

TEST(Wav, MalformedFilesAreRefusedWithAReason)
{
    const std::vector<uint8_t> good = WavEncode16(1, 22050, {1, 2, 3});
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        bool wide;
    };
    const Case cases[] = {
        {"not RIFF", 0, 0x46464952u + 1, true},         {"not PCM", kFormatAt, 3, false},
        {"three channels", kFormatAt + 2, 3, false},    {"rate zero", kFormatAt + 4, 0, true},
        {"bits 24", kFormatAt + 14, 24, false},         {"block align", kFormatAt + 12, 7, false},
        {"data past the end", kDataSizeAt, 1000, true}, {"fmt past the end", 16, 0xFFFFFFF0u, true},
        {"no data chunk", 36, 0x61746164u + 1, true},   {"empty data", kDataSizeAt, 1, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        if (c.wide)
            Patch32(bad, c.at, c.value);
        else
            bad[c.at] = static_cast<uint8_t>(c.value);
        WavData wav;
        std::string error;
        EXPECT_FALSE(WavParse(bad.data(), bad.size(), &wav, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    WavData wav;
    for (size_t cut = 0; cut < good.size() - 2; cut++)
        EXPECT_FALSE(WavParse(good.data(), cut, &wav, nullptr)) << cut;
    EXPECT_FALSE(WavParse(nullptr, 10, &wav, nullptr));
}

}  // namespace
