// The sound manager: numbered effects, one ambient loop at a time and shuffled music tracks, over the
// sound-library stand-in (platform/fmod). The game owns the one instance; it plays on the main thread, and
// the music's end callback also runs there, during the message pump.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FSOUND_SAMPLE;
struct FSOUND_STREAM;
class CFerroxTagTree;

// Music channel when no track plays.
constexpr uint16_t kSoundNoChannel = 0xFFFF;
// Effect played by the interface's clicks.
constexpr int32_t kSoundDefaultSample = 0;
constexpr int32_t kSoundFullVolume = 255;

// One loaded effect or ambient loop.
struct SoundSample {
    FSOUND_SAMPLE* sample = nullptr;  // null when its file did not load: it plays nothing
    int32_t channel = -1;             // of its last start, -1 when it has none
    int32_t loop = 0;
};

class CSoundManager {
public:
    CSoundManager();
    ~CSoundManager();
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    void Init();
    // Opens the sound library and loads the "SOUND" block of the data tree: "SFX", "AMBIENT" and "MUSIC",
    // each value a path appended to the start directory (null: the game's). A missing block or file loads
    // nothing of it and the rest still loads. Returns 1.
    int Create(CFerroxTagTree* data, const char* startDirectory = nullptr);
    // Effect index at a volume of 1 to 255 on a free channel; anything out of range plays nothing.
    void PlaySample(int32_t index, int32_t volume);
    // The current ambient loop at this volume (above 255 counts as 255); 0 stops it.
    void SetAmbientVolume(int32_t volume);
    // Makes ambient loop index current (out of range: none), stopping the previous loop if it plays.
    void SetCurrentAmbient(int32_t index);
    void StopAllSamples();
    // Master volume up by fraction x 255 (by 1 from 0), at most 255; applied to the effects and the music.
    void ChangeMasterVolume(float fraction);
    // Plays track (a bad index keeps the current one) after closing any open track; 1 when started.
    int32_t PlayMusic(int32_t track, int32_t unused = 0);
    int32_t StopMusic();
    void Close();

    // The music stream's end: picks the next track and plays it, unless the music was stopped.
    static signed char OnStreamEnd(FSOUND_STREAM* stream, void* buffer, int length, void* manager);

    // Shared by the program: the master volume (0 to 255), whether the music was stopped, and whether the
    // next track follows in order (1) rather than at random.
    static float s_masterVolume;
    static int32_t s_musicStopped;
    static int32_t s_shuffleOff;

    int32_t m_musicEnabled;
    int32_t m_effectsEnabled;
    FSOUND_STREAM* m_pStream;
    uint16_t m_musicChannel;
    std::vector<std::string> m_musicPaths;
    uint16_t m_trackCount;
    uint16_t m_currentTrack;
    std::vector<std::unique_ptr<SoundSample>> m_effects;
    std::vector<std::unique_ptr<SoundSample>> m_ambient;
    uint16_t m_effectCount;
    uint16_t m_ambientCount;
    SoundSample* m_pCurrentAmbient;

private:
    void LoadList(CFerroxTagTree* data, const char* child, const std::string& start, unsigned int mode,
                  std::vector<std::unique_ptr<SoundSample>>* into, uint16_t* count);
    void LoadMusic(CFerroxTagTree* data, const std::string& start);
    void CloseStream();
    void FreeSamples(std::vector<std::unique_ptr<SoundSample>>* list);
    bool m_created;
};
