// Sound synthesis for the game root: voices of noise, sine and square waves under attack/decay envelopes,
// summed and written as WAV files through the content file layer.
#include "tools/content/sound_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/fmod/wav.h"
#include "tools/content/content_file.h"

const char* const kContentEffectFiles[kContentEffectCount] = {
    "click.wav", "placed.wav", "message.wav", "shop.wav",  "finance.wav",
    "crime.wav", "win.wav",    "lose.wav",    "bonus.wav",
};
const char* const kContentAmbientFiles[kContentAmbientCount] = {"ambient0.wav", "ambient1.wav", "ambient2.wav"};
const char* const kContentMusicFiles[kContentMusicCount] = {"music0.wav", "music1.wav", "music2.wav", "music3.wav"};

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = kContentSoundRate;
constexpr double kFullScale = 32767.0;
constexpr double kCrossfadeSeconds = 1.0;
constexpr double kMusicSeconds[kContentMusicCount] = {48.0, 44.0, 52.0, 56.0};

enum class Wave {
    Sine,
    Square,
    Noise
};

// One voice: a wave gliding from f0 to f1 Hz, starting at `start` seconds for `length` seconds, rising over
// `attack` seconds and falling exponentially with time constant `decay` (0: held to the end).
struct Voice {
    Wave wave;
    double f0;
    double f1;
    double start;
    double length;
    double amplitude;
    double attack;
    double decay;
};

// A linear congruential generator, so the files repeat byte for byte.
struct Noise {
    uint32_t state;
    double Next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / static_cast<double>(1u << 23) - 1.0;
    }
};

void Render(const Voice& v, std::vector<double>& mix, Noise& noise)
{
    const size_t first = static_cast<size_t>(v.start * kRate);
    const size_t count = static_cast<size_t>(v.length * kRate);
    double phase = 0.0;
    const double fade = v.decay > 0.0 ? std::exp(-1.0 / (v.decay * kRate)) : 1.0;
    double level = 1.0;
    for (size_t i = 0; i < count && first + i < mix.size(); i++) {
        const double t = static_cast<double>(i) / kRate;
        const double f = v.f0 + (v.f1 - v.f0) * (static_cast<double>(i) / static_cast<double>(count));
        phase += f / kRate;
        phase -= std::floor(phase);
        double s = 0.0;
        switch (v.wave) {
        case Wave::Sine:
            s = std::sin(kTwoPi * phase);
            break;
        case Wave::Square:
            s = phase < 0.5 ? 0.6 : -0.6;
            break;
        case Wave::Noise:
            s = noise.Next();
            break;
        }
        const double rise = v.attack > 0.0 ? std::min(1.0, t / v.attack) : 1.0;
        // A short release at the very end keeps the voice from clicking.
        const double tail = std::min(1.0, static_cast<double>(count - i) / (0.005 * kRate));
        mix[first + i] += s * v.amplitude * rise * level * tail;
        level *= fade;
    }
}

std::vector<int16_t> ToPcm(const std::vector<double>& mix)
{
    std::vector<int16_t> out(mix.size());
    for (size_t i = 0; i < mix.size(); i++)
        out[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i], -1.0, 1.0) * kFullScale));
    return out;
}

std::vector<int16_t> Mix(double seconds, const std::vector<Voice>& voices, uint32_t seed)
{
    std::vector<double> mix(static_cast<size_t>(seconds * kRate), 0.0);
    Noise noise{seed};
    for (const Voice& v : voices)
        Render(v, mix, noise);
    return ToPcm(mix);
}

double Note(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

}  // namespace

std::vector<int16_t> ContentEffectSamples(size_t index)
{
    using W = Wave;
    switch (index) {
    case 0:  // click
        return Mix(0.08, {{W::Square, 1200, 900, 0, 0.08, 0.5, 0.001, 0.015}}, 1);
    case 1:  // placed: a thump
        return Mix(0.3, {{W::Noise, 0, 0, 0, 0.12, 0.5, 0.002, 0.03}, {W::Sine, 180, 90, 0, 0.3, 0.7, 0.002, 0.08}}, 2);
    case 2:  // message: a two-note chime
        return Mix(0.6,
                   {{W::Sine, 880, 880, 0, 0.3, 0.5, 0.005, 0.12}, {W::Sine, 1320, 1320, 0.15, 0.45, 0.5, 0.005, 0.15}},
                   3);
    case 3:  // shop selected
        return Mix(0.3, {{W::Sine, 660, 700, 0, 0.3, 0.6, 0.01, 0.1}, {W::Square, 330, 330, 0, 0.1, 0.15, 0.002, 0.03}},
                   4);
    case 4:  // finance: coins
        return Mix(0.45,
                   {{W::Noise, 0, 0, 0, 0.05, 0.3, 0.001, 0.01},
                    {W::Square, 2000, 2000, 0.02, 0.2, 0.25, 0.002, 0.05},
                    {W::Square, 2600, 2600, 0.15, 0.3, 0.25, 0.002, 0.06}},
                   5);
    case 5:  // crime: a siren rising and falling twice
        return Mix(0.8,
                   {{W::Square, 600, 900, 0, 0.2, 0.35, 0.01, 0},
                    {W::Square, 900, 600, 0.2, 0.2, 0.35, 0, 0},
                    {W::Square, 600, 900, 0.4, 0.2, 0.35, 0, 0},
                    {W::Square, 900, 600, 0.6, 0.2, 0.35, 0, 0.1}},
                   6);
    case 6:  // win: a rising arpeggio
        return Mix(1.1,
                   {{W::Sine, Note(3), Note(3), 0, 0.4, 0.45, 0.005, 0.2},
                    {W::Sine, Note(7), Note(7), 0.2, 0.4, 0.45, 0.005, 0.2},
                    {W::Sine, Note(10), Note(10), 0.4, 0.4, 0.45, 0.005, 0.2},
                    {W::Sine, Note(15), Note(15), 0.6, 0.5, 0.5, 0.005, 0.25}},
                   7);
    case 7:  // lose: a falling buzz
        return Mix(0.9, {{W::Square, 400, 200, 0, 0.9, 0.4, 0.01, 0.4}, {W::Sine, 200, 100, 0, 0.9, 0.3, 0.01, 0.4}},
                   8);
    case 8:  // bonus: sparkles
        return Mix(0.6,
                   {{W::Sine, 1320, 1320, 0, 0.15, 0.4, 0.002, 0.05},
                    {W::Sine, 1760, 1760, 0.12, 0.15, 0.4, 0.002, 0.05},
                    {W::Sine, 2093, 2093, 0.24, 0.2, 0.4, 0.002, 0.06},
                    {W::Noise, 0, 0, 0.3, 0.3, 0.08, 0.01, 0.08}},
                   9);
    default:
        return {};
    }
}

// Filtered noise under a slow swell, with a city's own hum; the last second is crossfaded over the first so
// the file loops without a seam.
std::vector<int16_t> ContentAmbientSamples(size_t index)
{
    if (index >= kContentAmbientCount)
        return {};
    const double smoothing[kContentAmbientCount] = {0.08, 0.15, 0.05};  // London, Berlin, Paris
    const double hum[kContentAmbientCount] = {110.0, 82.5, 146.8};
    const size_t loop = static_cast<size_t>(kContentAmbientSeconds * kRate);
    const size_t fade = static_cast<size_t>(kCrossfadeSeconds * kRate);
    Noise noise{100u + static_cast<uint32_t>(index)};
    std::vector<double> raw(loop + fade);
    double low = 0.0;
    for (size_t i = 0; i < raw.size(); i++) {
        const double t = static_cast<double>(i) / kRate;
        low += smoothing[index] * (noise.Next() - low);
        // Whole cycles over the loop's length, so the swell and the hum meet themselves at the seam.
        const double swell = 0.75 + 0.25 * std::sin(kTwoPi * 2.0 * t / kContentAmbientSeconds);
        raw[i] = 0.9 * low * swell + 0.05 * std::sin(kTwoPi * hum[index] * t);
    }
    std::vector<double> mix(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(loop));
    for (size_t i = 0; i < fade; i++) {
        const double in = static_cast<double>(i) / static_cast<double>(fade);
        mix[i] = raw[i] * in + raw[loop + i] * (1.0 - in);
    }
    return ToPcm(mix);
}

// A melody on a pentatonic scale over a square-wave bass, its notes drawn from a seeded generator.
std::vector<int16_t> ContentMusicSamples(size_t index)
{
    if (index >= kContentMusicCount)
        return {};
    const int scale[] = {0, 2, 4, 7, 9, 12, 14, 16};
    const int roots[kContentMusicCount] = {-9, -7, -5, -4};
    const double beat = 60.0 / (96.0 + 12.0 * static_cast<double>(index));
    const double seconds = kMusicSeconds[index];
    Noise choice{200u + static_cast<uint32_t>(index)};
    std::vector<Voice> voices;
    const int bassPattern[] = {0, 0, 5, 7};
    int step = 0;
    for (double t = 0.0; t + beat <= seconds; t += beat, step++) {
        const int degree = static_cast<int>((choice.Next() + 1.0) * 3.999);
        const double f = Note(roots[index] + scale[std::clamp(degree, 0, 7)]);
        voices.push_back({Wave::Sine, f, f, t, beat * 0.95, 0.35, 0.01, beat * 0.5});
        if (step % 2 == 0) {
            const double b = Note(roots[index] - 24 + bassPattern[(step / 2) % 4]);
            voices.push_back({Wave::Square, b, b, t, beat * 1.9, 0.12, 0.02, beat});
        }
    }
    return Mix(seconds, voices, 300u + static_cast<uint32_t>(index));
}

namespace {

bool WriteOne(const std::filesystem::path& dir, const char* name, const std::vector<int16_t>& samples,
              std::string* detail)
{
    const std::vector<uint8_t> bytes = WavEncode16(1, kContentSoundRate, samples);
    const std::string path = (dir / name).string();
    if (!samples.empty() && ContentWriteBytes(path.c_str(), bytes.data(), static_cast<unsigned>(bytes.size())))
        return true;
    if (detail)
        *detail = "(" + path + ")";
    return false;
}

}  // namespace

bool ContentWriteSounds(const std::string& root, std::string* detail)
{
    const std::filesystem::path dir = std::filesystem::path(root) / "sounds";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        if (detail)
            *detail = "(" + dir.string() + ")";
        return false;
    }
    for (size_t i = 0; i < kContentEffectCount; i++)
        if (!WriteOne(dir, kContentEffectFiles[i], ContentEffectSamples(i), detail))
            return false;
    for (size_t i = 0; i < kContentAmbientCount; i++)
        if (!WriteOne(dir, kContentAmbientFiles[i], ContentAmbientSamples(i), detail))
            return false;
    for (size_t i = 0; i < kContentMusicCount; i++)
        if (!WriteOne(dir, kContentMusicFiles[i], ContentMusicSamples(i), detail))
            return false;
    return true;
}
