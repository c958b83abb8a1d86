// The sound stand-in on SDL's dummy driver: volumes, loops, stream ends and their dispatch, bad handles.
#include "platform/fmod/fmod.h"

#include <SDL_mixer.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/fmod/fmod_testing.h"
#include "platform/fmod/wav.h"
#include "platform/win32/windows.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRate = 22050;
// Generous: the dummy driver mixes in real time, and a loaded sanitizer run is slow.
constexpr auto kPatience = std::chrono::seconds(10);

std::vector<int16_t> Tone(double seconds)
{
    std::vector<int16_t> out(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < out.size(); i++)
        out[i] = static_cast<int16_t>(8000.0 * std::sin(static_cast<double>(i) * 0.05));
    return out;
}

bool WaitFor(const std::function<bool()>& done)
{
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("fmod_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
        ASSERT_EQ(1, FSOUND_Init(44100, 32, 0));
    }
    void TearDown() override
    {
        FSOUND_Close();
        std::error_code error;
        fs::remove_all(dir, error);
    }
    std::string Write(const char* name, double seconds)
    {
        return WriteBytes(name, WavEncode16(1, kRate, Tone(seconds)));
    }
    std::string WriteBytes(const char* name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    fs::path dir;
};

int g_ends = 0;
signed char CountEnd(FSOUND_STREAM*, void*, int, void*)
{
    g_ends++;
    return 1;
}

TEST_F(SoundTest, VolumesMapOntoTheMixerAndMasterScalesSamplesOnly)
{
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(-1, Write("a.wav", 2.0).c_str(), FSOUND_2D | FSOUND_LOOP_NORMAL, 0);
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(Write("m.wav", 2.0).c_str(), 107, 0);
    ASSERT_NE(nullptr, sample);
    ASSERT_NE(nullptr, stream);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
    const int music = FSOUND_Stream_Play(FSOUND_FREE, stream);
    ASSERT_GE(channel, 0);
    ASSERT_GE(music, FSOUND_GetSampleChannels());
    EXPECT_EQ(255, FSOUND_GetVolume(channel));
    EXPECT_EQ(MIX_MAX_VOLUME, Mix_Volume(channel, -1));
    FSOUND_SetVolume(channel, 128);
    EXPECT_EQ(64, Mix_Volume(channel, -1));
    FSOUND_SetVolume(channel, 0);
    EXPECT_EQ(0, Mix_Volume(channel, -1));
    FSOUND_SetVolume(channel, 300);
    EXPECT_EQ(255, FSOUND_GetVolume(channel));
    EXPECT_EQ(MIX_MAX_VOLUME, Mix_Volume(channel, -1));

    FSOUND_SetSFXMasterVolume(0);
    EXPECT_EQ(0, Mix_Volume(channel, -1));
    EXPECT_EQ(255, FSOUND_GetVolume(channel));
    EXPECT_EQ(MIX_MAX_VOLUME, Mix_Volume(music, -1));
    FSOUND_SetSFXMasterVolume(255);
    EXPECT_EQ(MIX_MAX_VOLUME, Mix_Volume(channel, -1));
    EXPECT_EQ(1, FSOUND_SetPan(music, FSOUND_STEREOPAN));
    EXPECT_EQ(1, FSOUND_SetPan(channel, 0));
}

TEST_F(SoundTest, LoopsPlayOnAndAFinishedChannelKeepsItsVolume)
{
    const std::string path = Write("short.wav", 0.02);
    FSOUND_SAMPLE* loop = FSOUND_Sample_Load(-1, path.c_str(), FSOUND_2D | FSOUND_LOOP_NORMAL, 0);
    FSOUND_SAMPLE* once = FSOUND_Sample_Load(-1, path.c_str(), FSOUND_2D, 0);
    ASSERT_NE(nullptr, loop);
    ASSERT_NE(nullptr, once);
    const int looping = FSOUND_PlaySound(FSOUND_FREE, loop);
    const int single = FSOUND_PlaySound(FSOUND_FREE, once);
    ASSERT_NE(looping, single);
    FSOUND_SetVolume(single, 77);
    ASSERT_TRUE(WaitFor([&] { return !FSOUND_IsPlaying(single); }));
    EXPECT_TRUE(FSOUND_IsPlaying(looping));
    EXPECT_EQ(77, FSOUND_GetVolume(single));
    FSOUND_StopSound(looping);
    EXPECT_FALSE(FSOUND_IsPlaying(looping));
    // Reused, the channel starts again at full volume.
    EXPECT_EQ(single, FSOUND_PlaySound(single, once));
    EXPECT_EQ(255, FSOUND_GetVolume(single));
}

TEST_F(SoundTest, AStreamEndQueuesOneCallbackAndClosingDropsIt)
{
    const std::string path = Write("track.wav", 0.02);
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), 107, 0);
    ASSERT_NE(nullptr, stream);
    FSOUND_Stream_SetEndCallback(stream, CountEnd, nullptr);
    g_ends = 0;
    const int channel = FSOUND_Stream_Play(FSOUND_FREE, stream);
    ASSERT_GE(channel, 0);
    ASSERT_TRUE(WaitFor([] { return FSOUND_PendingStreamEnds() > 0; }));
    EXPECT_FALSE(FSOUND_IsPlaying(channel));
    EXPECT_EQ(0, g_ends);  // nothing runs on the audio thread
    EXPECT_EQ(1, FSOUND_DispatchStreamEnds());
    EXPECT_EQ(1, g_ends);
    EXPECT_EQ(0, FSOUND_DispatchStreamEnds());

    // Stopped, a stream queues nothing; closed, its pending end is dropped.
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    FSOUND_Stream_Stop(stream);
    EXPECT_EQ(0, FSOUND_PendingStreamEnds());
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    ASSERT_TRUE(WaitFor([] { return FSOUND_PendingStreamEnds() > 0; }));
    FSOUND_Stream_Close(stream);
    EXPECT_EQ(0, FSOUND_PendingStreamEnds());
    EXPECT_EQ(0, FSOUND_DispatchStreamEnds());
    EXPECT_EQ(1, g_ends);
}

struct Churn {
    FSOUND_STREAM* current = nullptr;
    int channel = -1;
    int wrongEnds = 0;
};

// An end counts only for the stream open now, and only once its channel has stopped.
signed char CheckEnd(FSOUND_STREAM* stream, void*, int, void* user)
{
    Churn* churn = static_cast<Churn*>(user);
    if (stream != churn->current || FSOUND_IsPlaying(churn->channel))
        churn->wrongEnds++;
    return 1;
}

// Streams opened, replayed and closed in turn on channels the audio thread is finishing: an end queued for one
// play is never delivered to a later one.
TEST_F(SoundTest, AStreamNeverReceivesTheEndOfAnEarlierPlay)
{
    constexpr int kRounds = 200;
    constexpr int kFinishEvery = 8;
    const std::string path = Write("blip.wav", 0.001);
    Churn churn;
    for (int round = 0; round < kRounds; round++) {
        if (round % 2 == 0) {
            FSOUND_Stream_Close(churn.current);
            churn.current = FSOUND_Stream_OpenFile(path.c_str(), 107, 0);
            ASSERT_NE(nullptr, churn.current);
            FSOUND_Stream_SetEndCallback(churn.current, CheckEnd, &churn);
            churn.channel = FSOUND_Stream_Play(FSOUND_FREE, churn.current);
        } else {
            churn.channel = FSOUND_Stream_Play(churn.channel, churn.current);
        }
        ASSERT_GE(churn.channel, 0);
        FSOUND_DispatchStreamEnds();
        // Finished and left queued, this play's end meets the next play.
        if (round % kFinishEvery == 0) {
            ASSERT_TRUE(WaitFor([&] { return FSOUND_PendingStreamEnds() > 0; }));
        }
    }
    FSOUND_Stream_Close(churn.current);
    EXPECT_EQ(0, churn.wrongEnds);
    EXPECT_EQ(0, FSOUND_PendingStreamEnds());
}

struct Playlist {
    std::string next;
    FSOUND_STREAM* current = nullptr;
    std::thread::id ranOn;
    int channel = -1;
};

signed char NextTrack(FSOUND_STREAM*, void*, int, void* user)
{
    Playlist* list = static_cast<Playlist*>(user);
    list->ranOn = std::this_thread::get_id();
    FSOUND_Stream_Close(list->current);
    list->current = FSOUND_Stream_OpenFile(list->next.c_str(), 107, 0);
    list->channel = FSOUND_Stream_Play(FSOUND_FREE, list->current);
    return 1;
}

TEST_F(SoundTest, TheNextTrackStartsOnTheMainThreadDuringTheMessagePump)
{
    Playlist list;
    list.next = Write("long.wav", 5.0);
    list.current = FSOUND_Stream_OpenFile(Write("short.wav", 0.02).c_str(), 107, 0);
    ASSERT_NE(nullptr, list.current);
    FSOUND_Stream_SetEndCallback(list.current, NextTrack, &list);
    ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, list.current), 0);
    MSG msg;
    ASSERT_TRUE(WaitFor([&] {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        return list.channel >= 0;
    }));
    EXPECT_EQ(std::this_thread::get_id(), list.ranOn);
    EXPECT_TRUE(FSOUND_IsPlaying(list.channel));
}

TEST_F(SoundTest, EightBitAndStereoFilesPlay)
{
    // 8-bit stereo: the 16-bit mono encoding of four samples re-labelled, so the data holds four frames.
    std::vector<uint8_t> bytes = WavEncode16(2, 8000, std::vector<int16_t>(4000, 0x2080));
    constexpr size_t kBlockAlignAt = 32;
    constexpr size_t kBitsAt = 34;
    bytes[kBlockAlignAt] = 2;
    bytes[kBitsAt] = 8;
    FSOUND_SAMPLE* eight = FSOUND_Sample_Load(-1, WriteBytes("eight.wav", bytes).c_str(), FSOUND_2D, 0);
    FSOUND_SAMPLE* stereo = FSOUND_Sample_Load(
        -1, WriteBytes("stereo.wav", WavEncode16(2, 44100, std::vector<int16_t>(8000, 1000))).c_str(), FSOUND_2D, 0);
    ASSERT_NE(nullptr, eight);
    ASSERT_NE(nullptr, stereo);
    EXPECT_TRUE(FSOUND_IsPlaying(FSOUND_PlaySound(FSOUND_FREE, eight)));
    EXPECT_TRUE(FSOUND_IsPlaying(FSOUND_PlaySound(FSOUND_FREE, stereo)));
    FSOUND_Sample_Free(eight);
    EXPECT_EQ(0, FSOUND_PlaySound(FSOUND_FREE, stereo));  // channel 0 stopped with its sample
}

// Sets an environment variable while it lives, then puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name)
    {
        const char* before = std::getenv(name);
        m_had = before != nullptr;
        m_before = before ? before : "";
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_had)
            setenv(m_name, m_before.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    std::string m_before;
};

// A device that cannot open, on a driver SDL lacks or on ALSA without a usable card, gives way to the dummy driver:
// sound plays on, unheard, and standard error gets one line of ours and nothing of the sound library's.
TEST_F(SoundTest, ADeviceThatCannotOpenFallsBackToTheDummyDriverQuietly)
{
    const fs::path config = dir / "asound.conf";
    std::ofstream(config) << "pcm.!default \"no-such-device\"\n";
    ScopedVariable alsaConfig("ALSA_CONFIG_PATH", config.string());
    for (const char* driver : {"no-such-driver", "alsa"}) {
        FSOUND_Close();
        ScopedVariable chosen("SDL_AUDIODRIVER", driver);
        testing::internal::CaptureStderr();
        EXPECT_EQ(1, FSOUND_Init(44100, 32, 0)) << driver;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(0, err.rfind("sound: no sound device opened (", 0)) << err;
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
        EXPECT_STREQ(driver, std::getenv("SDL_AUDIODRIVER"));
        FSOUND_SAMPLE* sample = FSOUND_Sample_Load(-1, Write("a.wav", 0.5).c_str(), FSOUND_2D, 0);
        EXPECT_TRUE(FSOUND_IsPlaying(FSOUND_PlaySound(FSOUND_FREE, sample))) << driver;
    }
}

TEST_F(SoundTest, NullHandlesBadChannelsAndBadFilesDoNothing)
{
    EXPECT_EQ(-1, FSOUND_PlaySound(FSOUND_FREE, nullptr));
    for (int channel : {-1, 65535, FSOUND_GetSampleChannels() + 1000}) {
        EXPECT_EQ(0, FSOUND_IsPlaying(channel));
        EXPECT_EQ(0, FSOUND_GetVolume(channel));
        EXPECT_EQ(0, FSOUND_SetVolume(channel, 100));
        EXPECT_EQ(0, FSOUND_StopSound(channel));
        EXPECT_EQ(0, FSOUND_SetPan(channel, FSOUND_STEREOPAN));
    }
    FSOUND_Sample_Free(nullptr);
    EXPECT_EQ(-1, FSOUND_Stream_Play(FSOUND_FREE, nullptr));
    EXPECT_EQ(0, FSOUND_Stream_Stop(nullptr));
    EXPECT_EQ(0, FSOUND_Stream_Close(nullptr));
    EXPECT_EQ(0, FSOUND_Stream_SetEndCallback(nullptr, CountEnd, nullptr));
    EXPECT_EQ(nullptr, FSOUND_Sample_Load(-1, (dir / "missing.wav").string().c_str(), FSOUND_2D, 0));
    EXPECT_EQ(nullptr, FSOUND_Sample_Load(-1, nullptr, FSOUND_2D, 0));
    const std::string garbage = WriteBytes("garbage.wav", std::vector<uint8_t>(300, 0x5A));
    EXPECT_EQ(nullptr, FSOUND_Sample_Load(-1, garbage.c_str(), FSOUND_2D, 0));
    EXPECT_EQ(nullptr, FSOUND_Stream_OpenFile(garbage.c_str(), 107, 0));

    // Closed, the library turns every call into a no-op.
    const std::string good = Write("good.wav", 0.1);
    FSOUND_Close();
    EXPECT_EQ(nullptr, FSOUND_Sample_Load(-1, good.c_str(), FSOUND_2D, 0));
    EXPECT_EQ(0, FSOUND_GetSampleChannels());
    EXPECT_EQ(0, FSOUND_IsPlaying(0));
    FSOUND_SetSFXMasterVolume(10);
}

}  // namespace
