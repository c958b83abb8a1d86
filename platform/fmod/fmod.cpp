// The FSOUND calls over SDL2_mixer: device, samples on numbered channels, whole-file streams with end callbacks.
//
// Sections: device state; loading and conversion; device open and close; volume and pan; samples; streams;
// the end queue shared with the audio thread.
#include "platform/fmod/fmod.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/fmod/fmod_local.h"
#include "platform/fmod/wav.h"
#include "platform/win32/windows.h"

namespace {

constexpr int kVolumeMax = kFmodVolumeMax;
constexpr int kPanCentre = kFmodPanCentre;
constexpr int kPanMax = 255;
constexpr int kStreamChannels = 4;  // music needs one; the rest let a track overlap its successor
constexpr int kMaxSampleChannels = 256;
constexpr int kDeviceChannels = 2;
constexpr int kBufferFrames = 1024;  // about 23 ms at 44.1 kHz
constexpr int kDefaultRate = 44100;
constexpr size_t kMaxConvertedBytes = 256u << 20;
constexpr Uint8 kPanFull = 255;
constexpr const char* kDriverVariable = "SDL_AUDIODRIVER";
constexpr const char* kDummyDriver = "dummy";
// The sound library SDL's ALSA driver loads, and its call that takes its error reports.
constexpr const char* kAlsaLibrary = "libasound.so.2";
constexpr const char* kAlsaReportSetter = "snd_lib_error_set_handler";
constexpr size_t kMaxSourceChannels = 2;
constexpr int kUnsigned8Centre = 128;  // 8-bit PCM is unsigned
constexpr int kByteShift = 8;
constexpr int kFixedShift = 32;
constexpr uint64_t kFixedMask = 0xFFFFFFFFull;
constexpr int kWeightBits = 15;  // keeps (b - a) * weight inside 32 bits
constexpr int kWeightShift = kFixedShift - kWeightBits;

// A sound in the device's own format, played straight from memory.
struct Sound {
    std::unique_ptr<int16_t[]> pcm;  // filled whole by the conversion, so never zeroed first
    Mix_Chunk chunk{};
};

}  // namespace

struct FSOUND_SAMPLE {
    Sound sound;
    unsigned int mode = 0;
};

struct FSOUND_STREAM {
    Sound sound;
    FSOUND_STREAMCALLBACK callback = nullptr;
    void* userdata = nullptr;
    int channel = -1;
    uint32_t serial = 0;  // of its current play; ends carry it, so a stale end finds nothing
};

namespace {

// ---- The end queue: written by the mixer's finished callback on the audio thread ----

std::mutex g_endLock;
std::vector<uint32_t> g_playingSerial;  // per mixer channel: serial of the stream play running there, or 0
std::vector<uint32_t> g_endQueue;

}  // namespace

FmodDevice g_fmodDevice;
std::atomic<int> g_fmodEndsPending{0};

namespace {

// Runs on the audio thread, or inside Mix_HaltChannel on the caller's, with the mixer locked. Only queues.
void OnChannelFinished(int channel)
{
    std::lock_guard<std::mutex> lock(g_endLock);
    if (channel < 0 || static_cast<size_t>(channel) >= g_playingSerial.size())
        return;
    const uint32_t serial = g_playingSerial[static_cast<size_t>(channel)];
    if (serial == 0)
        return;
    g_playingSerial[static_cast<size_t>(channel)] = 0;
    g_endQueue.push_back(serial);
    g_fmodEndsPending.store(static_cast<int>(g_endQueue.size()));
}

// Forgets a play's end, whether still running or already queued.
void ForgetEnd(int channel, uint32_t serial)
{
    std::lock_guard<std::mutex> lock(g_endLock);
    if (channel >= 0 && static_cast<size_t>(channel) < g_playingSerial.size() &&
        g_playingSerial[static_cast<size_t>(channel)] == serial)
        g_playingSerial[static_cast<size_t>(channel)] = 0;
    g_endQueue.erase(std::remove(g_endQueue.begin(), g_endQueue.end(), serial), g_endQueue.end());
    g_fmodEndsPending.store(static_cast<int>(g_endQueue.size()));
}

void PumpHook()
{
    if (g_fmodEndsPending.load() > 0)
        FSOUND_DispatchStreamEnds();
}

// ---- Loading and conversion ----

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out)
{
    if (path == nullptr)
        return false;
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= kWavMaxFileBytes;
    if (ok) {
        out->resize(size);
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, out->data(), size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return ok;
}

// The source as signed 16-bit samples, interleaved as it was.
std::vector<int16_t> DecodeSource(const WavData& wav)
{
    std::vector<int16_t> out(wav.bits == 8 ? wav.pcm.size() : wav.pcm.size() / 2);
    if (wav.bits == 8) {
        for (size_t i = 0; i < out.size(); i++)
            out[i] = static_cast<int16_t>((static_cast<int>(wav.pcm[i]) - kUnsigned8Centre) * (1 << kByteShift));
        return out;
    }
    for (size_t i = 0; i < out.size(); i++)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(wav.pcm[2 * i] | (wav.pcm[2 * i + 1] << kByteShift)));
    return out;
}

// Resamples by linear interpolation in one pass into the device's signed 16-bit frames (a mono source feeds
// every output channel). SDL's own converter filters far more finely and takes several frames' time on a
// long track.
bool ConvertToDevice(const WavData& wav, Sound* sound)
{
    const size_t inChannels = wav.channels;
    const size_t inFrames = wav.pcm.size() / (inChannels * (wav.bits / 8u));
    const size_t outChannels = static_cast<size_t>(std::max(g_fmodDevice.channels, 0));
    if (inFrames == 0 || inChannels > kMaxSourceChannels || outChannels == 0 || g_fmodDevice.format != AUDIO_S16SYS)
        return false;
    const uint64_t outFrames = static_cast<uint64_t>(inFrames) * static_cast<uint64_t>(g_fmodDevice.rate) / wav.rate;
    const uint64_t outBytes = outFrames * outChannels * sizeof(int16_t);
    if (outFrames == 0 || outBytes > kMaxConvertedBytes)
        return false;
    const std::vector<int16_t> source = DecodeSource(wav);
    const size_t outSamples = static_cast<size_t>(outFrames) * outChannels;
    sound->pcm.reset(new int16_t[outSamples]);
    int16_t* out = sound->pcm.get();
    // Source position in 32.32 fixed point.
    const uint64_t step = (static_cast<uint64_t>(wav.rate) << kFixedShift) / static_cast<uint64_t>(g_fmodDevice.rate);
    uint64_t position = 0;
    int16_t value[kMaxSourceChannels] = {};
    for (uint64_t j = 0; j < outFrames; j++, position += step) {
        const size_t frame = std::min(static_cast<size_t>(position >> kFixedShift), inFrames - 1);
        const size_t next = std::min(frame + 1, inFrames - 1);
        const int32_t weight = static_cast<int32_t>((position & kFixedMask) >> kWeightShift);
        const int16_t* a = &source[frame * inChannels];
        const int16_t* b = &source[next * inChannels];
        for (size_t k = 0; k < inChannels; k++)
            value[k] = static_cast<int16_t>(a[k] + (((b[k] - a[k]) * weight) >> kWeightBits));
        for (size_t c = 0; c < outChannels; c++)
            *out++ = value[std::min(c, inChannels - 1)];
    }
    sound->chunk.allocated = 0;
    sound->chunk.abuf = reinterpret_cast<Uint8*>(sound->pcm.get());
    sound->chunk.alen = static_cast<Uint32>(outBytes);
    sound->chunk.volume = MIX_MAX_VOLUME;
    return true;
}

bool LoadSound(const char* path, Sound* sound)
{
    std::vector<uint8_t> bytes;
    WavData wav;
    return ReadWholeFile(path, &bytes) && WavParse(bytes.data(), bytes.size(), &wav, nullptr) &&
           ConvertToDevice(wav, sound);
}

// ---- Device open and close ----

// ALSA's report hook: a handler, or null for its own, which prints on standard error.
typedef void (*AlsaReport)(const char* file, int line, const char* function, int error, const char* format, ...);
typedef int (*AlsaReportSetter)(AlsaReport report);

void IgnoreAlsaReport(const char*, int, const char*, int, const char*, ...) {}

// While it lives, the ALSA library SDL loaded (when it did) keeps its reports to itself: on a machine without a
// sound card its failed open prints eight lines, and the failure is told in one line of our own.
class QuietAlsa {
public:
    QuietAlsa()
    {
        // Only a library already loaded: the device is never tried through ALSA when SDL did not choose it.
        m_library = dlopen(kAlsaLibrary, RTLD_NOW | RTLD_NOLOAD);
        if (m_library != nullptr)
            m_setter = reinterpret_cast<AlsaReportSetter>(dlsym(m_library, kAlsaReportSetter));
        if (m_setter != nullptr)
            m_setter(IgnoreAlsaReport);
    }
    ~QuietAlsa()
    {
        if (m_setter != nullptr)
            m_setter(nullptr);
        if (m_library != nullptr)
            dlclose(m_library);
    }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

private:
    void* m_library = nullptr;
    AlsaReportSetter m_setter = nullptr;
};

// Opens the mixer on the driver SDL chooses; on failure *why says what SDL reported.
bool OpenMixer(int rate, std::string* why)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *why = SDL_GetError();
        return false;
    }
    {
        QuietAlsa quiet;
        if (Mix_OpenAudio(rate, AUDIO_S16SYS, kDeviceChannels, kBufferFrames) == 0)
            return true;
    }
    *why = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

// The machine's device, else SDL's dummy driver, which plays nothing but keeps time; one line says which when the
// device failed. The driver choice of the environment is restored afterwards.
bool OpenDevice(int rate)
{
    std::string why;
    if (OpenMixer(rate, &why))
        return true;
    const char* chosen = std::getenv(kDriverVariable);
    const std::string previous = chosen ? chosen : "";
    setenv(kDriverVariable, kDummyDriver, 1);
    std::string dummyWhy;
    const bool opened = OpenMixer(rate, &dummyWhy);
    if (chosen)
        setenv(kDriverVariable, previous.c_str(), 1);
    else
        unsetenv(kDriverVariable);
    std::fprintf(stderr, "sound: no sound device opened (%s): %s\n", why.c_str(),
                 opened ? "the game plays on SDL's dummy driver, unheard" : "the game runs without sound");
    return opened;
}

bool IsChannel(int channel) { return g_fmodDevice.open && channel >= 0 && channel < g_fmodDevice.totalChannels; }

bool IsSampleChannel(int channel) { return g_fmodDevice.open && channel >= 0 && channel < g_fmodDevice.sampleChannels; }

// ---- Volume and pan ----

int MixerVolume(int channel)
{
    const FmodChannel& c = g_fmodDevice.channel[static_cast<size_t>(channel)];
    const int scale = kVolumeMax * kVolumeMax;
    if (channel < g_fmodDevice.sampleChannels)
        return (c.volume * g_fmodDevice.master * MIX_MAX_VOLUME + scale / 2) / scale;
    return (c.volume * MIX_MAX_VOLUME + kVolumeMax / 2) / kVolumeMax;
}

void ApplyVolume(int channel) { Mix_Volume(channel, MixerVolume(channel)); }

// Full on both sides at the centre and for FSOUND_STEREOPAN, fading one side towards the other edge.
void ApplyPan(int channel)
{
    const int pan = g_fmodDevice.channel[static_cast<size_t>(channel)].pan;
    if (pan == FSOUND_STEREOPAN || pan == kPanCentre) {
        Mix_SetPanning(channel, kPanFull, kPanFull);
        return;
    }
    const int left = pan <= kPanCentre ? kPanFull : (kPanMax - pan) * kPanFull / (kPanMax - kPanCentre);
    const int right = pan >= kPanCentre ? kPanFull : pan * kPanFull / kPanCentre;
    Mix_SetPanning(channel, static_cast<Uint8>(left), static_cast<Uint8>(right));
}

// A channel about to play again starts at full volume and centre pan.
void ResetChannel(int channel)
{
    FmodChannel& c = g_fmodDevice.channel[static_cast<size_t>(channel)];
    c.volume = kVolumeMax;
    c.pan = kPanCentre;
    c.sample = nullptr;
    c.stream = nullptr;
    ApplyVolume(channel);
}

// ---- Streams: stopping ----

void StopStream(FSOUND_STREAM* stream)
{
    if (stream->channel < 0)
        return;
    const int channel = stream->channel;
    stream->channel = -1;
    ForgetEnd(channel, stream->serial);
    if (g_fmodDevice.channel[static_cast<size_t>(channel)].stream == stream)
        Mix_HaltChannel(channel);
}

FSOUND_STREAM* StreamBySerial(uint32_t serial)
{
    for (FSOUND_STREAM* stream : g_fmodDevice.streams)
        if (stream->serial == serial)
            return stream;
    return nullptr;
}

}  // namespace

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int)
{
    FSOUND_Close();
    const int rate = mixrate > 0 ? mixrate : kDefaultRate;
    if (!OpenDevice(rate))
        return 0;
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    g_fmodDevice.rate = frequency;
    g_fmodDevice.format = format;
    g_fmodDevice.channels = channels;
    g_fmodDevice.sampleChannels = std::clamp(maxsoftwarechannels, 1, kMaxSampleChannels);
    g_fmodDevice.totalChannels = g_fmodDevice.sampleChannels + kStreamChannels;
    g_fmodDevice.channel.assign(static_cast<size_t>(g_fmodDevice.totalChannels), FmodChannel{});
    g_fmodDevice.master = kVolumeMax;
    Mix_AllocateChannels(g_fmodDevice.totalChannels);
    {
        std::lock_guard<std::mutex> lock(g_endLock);
        g_playingSerial.assign(static_cast<size_t>(g_fmodDevice.totalChannels), 0);
        g_endQueue.clear();
        g_fmodEndsPending.store(0);
    }
    Mix_ChannelFinished(OnChannelFinished);
    g_fmodDevice.open = true;
    for (int i = 0; i < g_fmodDevice.totalChannels; i++)
        ApplyVolume(i);
    Win32SetPumpHook(PumpHook);
    return 1;
}

void FSOUND_Close(void)
{
    if (!g_fmodDevice.open)
        return;
    Win32SetPumpHook(nullptr);
    {
        std::lock_guard<std::mutex> lock(g_endLock);
        std::fill(g_playingSerial.begin(), g_playingSerial.end(), 0);
        g_endQueue.clear();
        g_fmodEndsPending.store(0);
    }
    Mix_HaltChannel(-1);
    Mix_ChannelFinished(nullptr);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    for (FSOUND_SAMPLE* sample : g_fmodDevice.samples)
        delete sample;
    for (FSOUND_STREAM* stream : g_fmodDevice.streams)
        delete stream;
    g_fmodDevice = FmodDevice{};
}

void FSOUND_SetSFXMasterVolume(int volume)
{
    if (!g_fmodDevice.open)
        return;
    g_fmodDevice.master = std::clamp(volume, 0, kVolumeMax);
    for (int i = 0; i < g_fmodDevice.sampleChannels; i++)
        ApplyVolume(i);
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char* name, unsigned int mode, int)
{
    if (!g_fmodDevice.open)
        return nullptr;
    FSOUND_SAMPLE* sample = new FSOUND_SAMPLE();
    sample->mode = mode;
    if (!LoadSound(name, &sample->sound)) {
        delete sample;
        return nullptr;
    }
    g_fmodDevice.samples.insert(sample);
    return sample;
}

void FSOUND_Sample_Free(FSOUND_SAMPLE* sample)
{
    if (!g_fmodDevice.open || g_fmodDevice.samples.erase(sample) == 0)
        return;
    g_fmodDevice.starts.erase(sample);
    for (int i = 0; i < g_fmodDevice.sampleChannels; i++) {
        FmodChannel& c = g_fmodDevice.channel[static_cast<size_t>(i)];
        if (c.sample == sample) {
            Mix_HaltChannel(i);
            c.sample = nullptr;
        }
    }
    delete sample;
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample)
{
    if (!g_fmodDevice.open || g_fmodDevice.samples.count(sample) == 0)
        return -1;
    int target = -1;
    if (channel == FSOUND_FREE) {
        for (int i = 0; i < g_fmodDevice.sampleChannels && target < 0; i++)
            if (!Mix_Playing(i))
                target = i;
    } else if (IsSampleChannel(channel)) {
        target = channel;
        Mix_HaltChannel(target);
    }
    if (target < 0)
        return -1;
    ResetChannel(target);
    const int loops = (sample->mode & FSOUND_LOOP_NORMAL) != 0 ? -1 : 0;
    if (Mix_PlayChannel(target, &sample->sound.chunk, loops) < 0)
        return -1;
    g_fmodDevice.channel[static_cast<size_t>(target)].sample = sample;
    g_fmodDevice.starts[sample]++;
    ApplyPan(target);
    return target;
}

signed char FSOUND_StopSound(int channel)
{
    if (!IsChannel(channel))
        return 0;
    FSOUND_STREAM* stream = g_fmodDevice.channel[static_cast<size_t>(channel)].stream;
    if (stream != nullptr && stream->channel == channel)
        StopStream(stream);
    else
        Mix_HaltChannel(channel);
    return 1;
}

signed char FSOUND_IsPlaying(int channel) { return IsChannel(channel) && Mix_Playing(channel) ? 1 : 0; }

signed char FSOUND_SetVolume(int channel, int volume)
{
    if (!IsChannel(channel))
        return 0;
    g_fmodDevice.channel[static_cast<size_t>(channel)].volume = std::clamp(volume, 0, kVolumeMax);
    ApplyVolume(channel);
    return 1;
}

int FSOUND_GetVolume(int channel)
{
    return IsChannel(channel) ? g_fmodDevice.channel[static_cast<size_t>(channel)].volume : 0;
}

signed char FSOUND_SetPan(int channel, int pan)
{
    if (!IsChannel(channel))
        return 0;
    g_fmodDevice.channel[static_cast<size_t>(channel)].pan =
        pan == FSOUND_STEREOPAN ? pan : std::clamp(pan, 0, kPanMax);
    ApplyPan(channel);
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* filename, unsigned int, int)
{
    if (!g_fmodDevice.open)
        return nullptr;
    FSOUND_STREAM* stream = new FSOUND_STREAM();
    if (!LoadSound(filename, &stream->sound)) {
        delete stream;
        return nullptr;
    }
    g_fmodDevice.streams.insert(stream);
    return stream;
}

signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userdata)
{
    if (!g_fmodDevice.open || g_fmodDevice.streams.count(stream) == 0)
        return 0;
    stream->callback = callback;
    stream->userdata = userdata;
    return 1;
}

int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream)
{
    if (!g_fmodDevice.open || g_fmodDevice.streams.count(stream) == 0)
        return -1;
    StopStream(stream);
    int target = -1;
    if (channel == FSOUND_FREE) {
        for (int i = g_fmodDevice.sampleChannels; i < g_fmodDevice.totalChannels && target < 0; i++)
            if (!Mix_Playing(i))
                target = i;
    } else if (IsChannel(channel) && channel >= g_fmodDevice.sampleChannels) {
        FSOUND_StopSound(channel);
        target = channel;
    }
    if (target < 0)
        return -1;
    Mix_HaltChannel(target);
    ResetChannel(target);
    g_fmodDevice.channel[static_cast<size_t>(target)].stream = stream;
    stream->serial = ++g_fmodDevice.nextSerial;
    stream->channel = target;
    {
        std::lock_guard<std::mutex> lock(g_endLock);
        g_playingSerial[static_cast<size_t>(target)] = stream->serial;
    }
    if (Mix_PlayChannel(target, &stream->sound.chunk, 0) < 0) {
        ForgetEnd(target, stream->serial);
        stream->channel = -1;
        return -1;
    }
    ApplyPan(target);
    return target;
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream)
{
    if (!g_fmodDevice.open || g_fmodDevice.streams.count(stream) == 0)
        return 0;
    StopStream(stream);
    return 1;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    if (!g_fmodDevice.open || g_fmodDevice.streams.count(stream) == 0)
        return 0;
    StopStream(stream);
    ForgetEnd(-1, stream->serial);
    for (FmodChannel& c : g_fmodDevice.channel)
        if (c.stream == stream)
            c.stream = nullptr;
    g_fmodDevice.streams.erase(stream);
    delete stream;
    return 1;
}

int FSOUND_DispatchStreamEnds(void)
{
    std::vector<uint32_t> ends;
    {
        std::lock_guard<std::mutex> lock(g_endLock);
        ends.swap(g_endQueue);
        g_fmodEndsPending.store(0);
    }
    int ran = 0;
    for (uint32_t serial : ends) {
        // A callback may close or replace streams, so each end looks its stream up afresh.
        FSOUND_STREAM* stream = g_fmodDevice.open ? StreamBySerial(serial) : nullptr;
        if (stream == nullptr || stream->callback == nullptr)
            continue;
        stream->callback(stream, nullptr, 0, stream->userdata);
        ran++;
    }
    return ran;
}
