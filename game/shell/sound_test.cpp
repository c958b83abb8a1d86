// The sound manager on the dummy audio driver: effect and ambient rules, the master volume, the playlist and
// its end callback, bad data, and the game's routes to it.
#include "game/shell/sound.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "engine/data/random.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/shell/game.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/fmod_testing.h"
#include "platform/fmod/wav.h"
#include "platform/win32/windows.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr auto kPatience = std::chrono::seconds(10);

class SoundManagerTest : public FerroxTestFiles {
protected:
    void SetUp() override
    {
        FerroxTestFiles::SetUp();
        CSoundManager::s_shuffleOff = 0;
        CSoundManager::s_musicStopped = 0;
    }
    void TearDown() override
    {
        manager.Close();
        FerroxTestFiles::TearDown();
    }
    void WriteTone(const std::string& name, double seconds)
    {
        std::vector<int16_t> samples(static_cast<size_t>(seconds * kRate));
        for (size_t i = 0; i < samples.size(); i++)
            samples[i] = static_cast<int16_t>(6000.0 * std::sin(static_cast<double>(i) * 0.07));
        const std::vector<uint8_t> bytes = WavEncode16(1, kRate, samples);
        WriteFile(Path(name), std::string(bytes.begin(), bytes.end()));
    }
    // A SOUND block of `effects` effects, `ambient` loops and `tracks` music tracks, written and loaded.
    void Create(int effects, int ambient, int tracks, double trackSeconds = 2.0)
    {
        std::string text = "<SOUND>\n<SFX>\n";
        for (int i = 0; i < effects; i++) {
            WriteTone("sfx" + std::to_string(i) + ".wav", 0.5);
            text += "/sfx" + std::to_string(i) + ".wav\n";
        }
        text += "</SFX>\n<AMBIENT>\n";
        for (int i = 0; i < ambient; i++) {
            WriteTone("amb" + std::to_string(i) + ".wav", 0.2);
            text += "/amb" + std::to_string(i) + ".wav\n";
        }
        text += "</AMBIENT>\n<MUSIC>\n";
        for (int i = 0; i < tracks; i++) {
            WriteTone("music" + std::to_string(i) + ".wav", trackSeconds);
            text += "/music" + std::to_string(i) + ".wav\n";
        }
        text += "</MUSIC>\n</SOUND>\n";
        Load(text);
    }
    void Load(const std::string& text)
    {
        CFerroxTagTree data;
        data.LoadFromMemory(text.data(), text.size());
        ASSERT_EQ(1, manager.Create(&data, Path("").c_str()));
    }
    static int PlayingStreams()
    {
        int playing = 0;
        for (int i = FSOUND_GetSampleChannels(); i < FSOUND_GetSampleChannels() + 8; i++)
            playing += FSOUND_IsPlaying(i);
        return playing;
    }
    static int PlayingSamples()
    {
        int playing = 0;
        for (int i = 0; i < FSOUND_GetSampleChannels(); i++)
            playing += FSOUND_IsPlaying(i);
        return playing;
    }

    CSoundManager manager;
};

TEST_F(SoundManagerTest, EffectsPlayInRangeAtTheAskedVolumeOnTheChannelTheyGotAndCountTheirStarts)
{
    Create(6, 0, 0);
    ASSERT_EQ(6, manager.m_effectCount);
    manager.PlaySample(6, 255);
    manager.PlaySample(0, 0);
    manager.PlaySample(0, 256);
    manager.PlaySample(-1, 255);
    EXPECT_EQ(0, PlayingSamples());
    EXPECT_EQ(0u, FSOUND_SampleStarts(manager.m_effects[0]->sample));

    manager.PlaySample(0, 100);
    const int first = manager.m_effects[0]->channel;
    EXPECT_EQ(100, FSOUND_GetVolume(first));
    FSOUND_StopSound(first);
    // Effect 1 takes the channel effect 0 had; effect 0 again must not turn it down.
    manager.PlaySample(1, 255);
    ASSERT_EQ(first, manager.m_effects[1]->channel);
    manager.PlaySample(0, 50);
    const int second = manager.m_effects[0]->channel;
    ASSERT_NE(first, second);
    EXPECT_EQ(255, FSOUND_GetVolume(first));
    EXPECT_EQ(50, FSOUND_GetVolume(second));
    EXPECT_TRUE(FSOUND_IsPlaying(second));
    EXPECT_EQ(2u, FSOUND_SampleStarts(manager.m_effects[0]->sample));
    EXPECT_EQ(1u, FSOUND_SampleStarts(manager.m_effects[1]->sample));

    manager.StopAllSamples();
    EXPECT_EQ(0, PlayingSamples());
    manager.m_effectsEnabled = 0;
    manager.PlaySample(0, 255);
    EXPECT_EQ(0, PlayingSamples());
    EXPECT_EQ(2u, FSOUND_SampleStarts(manager.m_effects[0]->sample));
}

TEST_F(SoundManagerTest, AmbientVolumeClampsStopsAtZeroAndSwitchingStopsTheOldLoop)
{
    Create(1, 3, 0);
    manager.SetAmbientVolume(200);  // no current ambient yet
    EXPECT_EQ(0, PlayingSamples());
    manager.SetCurrentAmbient(0);
    manager.SetAmbientVolume(300);
    const int london = manager.m_ambient[0]->channel;
    EXPECT_TRUE(FSOUND_IsPlaying(london));
    EXPECT_EQ(255, FSOUND_GetVolume(london));
    manager.SetAmbientVolume(40);
    EXPECT_EQ(london, manager.m_ambient[0]->channel);
    EXPECT_EQ(40, FSOUND_GetVolume(london));
    manager.SetAmbientVolume(0);
    EXPECT_FALSE(FSOUND_IsPlaying(london));

    manager.SetAmbientVolume(100);
    manager.SetCurrentAmbient(1);
    EXPECT_EQ(0, PlayingSamples());
    manager.SetAmbientVolume(100);
    EXPECT_EQ(1, PlayingSamples());
    manager.SetCurrentAmbient(-1);  // the front end: none
    EXPECT_EQ(0, PlayingSamples());
    EXPECT_EQ(nullptr, manager.m_pCurrentAmbient);
    manager.SetCurrentAmbient(3);
    EXPECT_EQ(nullptr, manager.m_pCurrentAmbient);
}

TEST_F(SoundManagerTest, MasterVolumeGrowsByOneFromZeroAndReachesTheMusic)
{
    Create(1, 0, 1);
    CSoundManager::s_masterVolume = 0.0f;
    manager.ChangeMasterVolume(0.5f);
    EXPECT_EQ(1.0f, CSoundManager::s_masterVolume);
    manager.ChangeMasterVolume(0.5f);
    EXPECT_FLOAT_EQ(128.5f, CSoundManager::s_masterVolume);
    ASSERT_EQ(1, manager.PlayMusic(0));
    manager.ChangeMasterVolume(255.0f);
    EXPECT_EQ(255.0f, CSoundManager::s_masterVolume);
    EXPECT_EQ(255, FSOUND_GetVolume(manager.m_musicChannel));
}

TEST_F(SoundManagerTest, PlaylistNeverRepeatsATrackAtRandomAndKeepsOneStreamOpen)
{
    Create(0, 0, 3);
    ASSERT_EQ(3, manager.m_trackCount);
    ASSERT_EQ(1, manager.PlayMusic(2));
    ASSERT_EQ(1, manager.PlayMusic(2));
    EXPECT_EQ(1, PlayingStreams());
    // A bad index keeps the current track.
    EXPECT_EQ(1, manager.PlayMusic(7));
    EXPECT_EQ(2, manager.m_currentTrack);
    EXPECT_EQ(1, PlayingStreams());

    FerroxSrand(12345);
    for (int i = 0; i < 40; i++) {
        const uint16_t before = manager.m_currentTrack;
        ASSERT_EQ(1, CSoundManager::OnStreamEnd(manager.m_pStream, nullptr, 0, &manager));
        EXPECT_NE(before, manager.m_currentTrack);
        EXPECT_EQ(1, PlayingStreams());
    }
    manager.m_musicEnabled = 0;
    EXPECT_EQ(0, manager.PlayMusic(0));
    EXPECT_EQ(0, PlayingStreams());
    EXPECT_EQ(kSoundNoChannel, manager.m_musicChannel);
}

TEST_F(SoundManagerTest, ASingleTrackRepeatsAndALateEndAfterStopStartsNothing)
{
    Create(0, 0, 1);
    ASSERT_EQ(1, manager.PlayMusic(0));
    ASSERT_EQ(1, CSoundManager::OnStreamEnd(manager.m_pStream, nullptr, 0, &manager));
    EXPECT_EQ(0, manager.m_currentTrack);
    EXPECT_EQ(1, PlayingStreams());
    EXPECT_EQ(1, manager.StopMusic());
    EXPECT_EQ(0, CSoundManager::OnStreamEnd(nullptr, nullptr, 0, &manager));
    EXPECT_EQ(nullptr, manager.m_pStream);
    EXPECT_EQ(0, PlayingStreams());
}

TEST_F(SoundManagerTest, AShortTrackEndsAndTheNextStartsDuringTheMessagePump)
{
    Create(0, 0, 2, 0.02);
    ASSERT_EQ(1, manager.PlayMusic(0));
    MSG msg;
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (manager.m_currentTrack == 0 && std::chrono::steady_clock::now() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(1, manager.m_currentTrack);
    EXPECT_NE(nullptr, manager.m_pStream);
}

TEST_F(SoundManagerTest, BadDataLoadsWhatItCanAndPlaysNothingOfTheRest)
{
    Load("<DEBUG>\n</DEBUG>\n");
    EXPECT_EQ(0, manager.m_effectCount);
    EXPECT_EQ(0, manager.m_trackCount);
    manager.PlaySample(0, 255);
    EXPECT_EQ(0, manager.PlayMusic(0));
    manager.Close();

    WriteTone("good.wav", 0.5);
    WriteFile(Path("garbage.wav"), std::string(500, 'x'));
    Load("<SOUND>\n<SFX>\n/missing.wav\n/garbage.wav\n/good.wav\n</SFX>\n<MUSIC>\n/garbage.wav\n</MUSIC>\n</SOUND>\n");
    ASSERT_EQ(3, manager.m_effectCount);
    EXPECT_EQ(nullptr, manager.m_effects[0]->sample);
    EXPECT_EQ(nullptr, manager.m_effects[1]->sample);
    EXPECT_NE(nullptr, manager.m_effects[2]->sample);
    manager.PlaySample(0, 255);
    manager.PlaySample(1, 255);
    EXPECT_EQ(0, PlayingSamples());
    manager.PlaySample(2, 255);
    EXPECT_EQ(1, PlayingSamples());
    manager.PlayMusic(0);
    EXPECT_EQ(0, PlayingStreams());
    EXPECT_EQ(kSoundNoChannel, manager.m_musicChannel);
}

class QuietInterface : public CGameNotices {
public:
    void QueueMessage(int16_t) override {}
    void AskConfirmation(GameConfirmCallback, uint16_t, int16_t, int32_t, const char*) override {}
};

TEST_F(SoundManagerTest, TheGameAndItsNoticeSeamPlayThroughTheManager)
{
    CGame* game = CGame::Instance(nullptr);
    game->m_pSoundManager = std::make_unique<CSoundManager>();
    std::string text = "<SOUND>\n<SFX>\n/click.wav\n/placed.wav\n</SFX>\n</SOUND>\n";
    WriteTone("click.wav", 0.5);
    WriteTone("placed.wav", 0.5);
    CFerroxTagTree data;
    data.LoadFromMemory(text.data(), text.size());
    game->m_pSoundManager->Create(&data, Path("").c_str());
    // The interface clicks through the engine's slot.
    static_cast<CFerroxGame*>(game)->PlayDefaultSample();
    const int click = game->m_pSoundManager->m_effects[0]->channel;
    EXPECT_TRUE(FSOUND_IsPlaying(click));
    EXPECT_EQ(255, FSOUND_GetVolume(click));
    QuietInterface notices;
    game->SetNotices(&notices);
    game->PlaySample(1, 90);
    EXPECT_EQ(90, FSOUND_GetVolume(game->m_pSoundManager->m_effects[1]->channel));
    CGame::DestroyInstance(nullptr);
    EXPECT_EQ(0, FSOUND_GetSampleChannels());
}

}  // namespace
