// The sound manager: effect and ambient records loaded from the game data, and the music stream's playlist.
#include "game/shell/sound.h"

#include <string>
#include <string_view>
#include <utility>

#include "engine/application/base.h"
#include "engine/data/random.h"
#include "engine/data/tagtree.h"
#include "gfx/core/assert.h"
#include "platform/fmod/fmod.h"

namespace {

constexpr int kMixRate = 44100;
constexpr int kSoftwareChannels = 32;
constexpr unsigned int kEffectMode = FSOUND_2D;
constexpr unsigned int kAmbientMode = FSOUND_2D | FSOUND_LOOP_NORMAL;
constexpr unsigned int kStreamMode = 107;  // passed through to the library as the game always has
constexpr float kMasterMax = 255.0f;
constexpr float kMasterStepFromZero = 1.0f;

// A value line without its line end.
std::string ValueText(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return std::string(line);
}

}  // namespace

float CSoundManager::s_masterVolume = kMasterMax;
int32_t CSoundManager::s_musicStopped = 0;
int32_t CSoundManager::s_shuffleOff = 0;

CSoundManager::CSoundManager() : m_created(false) { Init(); }

CSoundManager::~CSoundManager()
{
    if (m_created)
        Close();
}

void CSoundManager::Init()
{
    m_musicEnabled = 1;
    m_effectsEnabled = 1;
    m_pStream = nullptr;
    m_musicChannel = kSoundNoChannel;
    m_trackCount = 0;
    m_currentTrack = 0;
    m_effectCount = 0;
    m_ambientCount = 0;
    m_pCurrentAmbient = nullptr;
    s_masterVolume = kMasterMax;
}

int CSoundManager::Create(CFerroxTagTree* data, const char* startDirectory)
{
    m_created = true;
    FSOUND_Init(kMixRate, kSoftwareChannels, 0);
    FSOUND_SetSFXMasterVolume(static_cast<int>(s_masterVolume));
    if (startDirectory == nullptr && g_pFerroxGame != nullptr)
        startDirectory = g_pFerroxGame->GetStartDirectory();
    const std::string start = startDirectory != nullptr ? startDirectory : "";
    if (data == nullptr || !data->FindNode("SOUND", 1))
        return 1;
    LoadList(data, "SFX", start, kEffectMode, &m_effects, &m_effectCount);
    LoadList(data, "AMBIENT", start, kAmbientMode, &m_ambient, &m_ambientCount);
    LoadMusic(data, start);
    return 1;
}

// Loads every value of the SOUND block's child into records, in order; a file that fails keeps a null sample
// so that the numbers of the others stay as authored.
void CSoundManager::LoadList(CFerroxTagTree* data, const char* child, const std::string& start, unsigned int mode,
                             std::vector<std::unique_ptr<SoundSample>>* into, uint16_t* count)
{
    if (!data->FindNode("SOUND", 1) || !data->FindChild(child))
        return;
    for (const CFerroxTagValue& line : data->GetCursor()->values) {
        const std::string path = start + ValueText(line.view());
        auto record = std::make_unique<SoundSample>();
        record->sample = FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), mode, 0);
        record->loop = (mode & FSOUND_LOOP_NORMAL) != 0 ? 1 : 0;
        into->push_back(std::move(record));
        ++*count;
    }
}

void CSoundManager::LoadMusic(CFerroxTagTree* data, const std::string& start)
{
    if (!data->FindNode("SOUND", 1) || !data->FindChild("MUSIC"))
        return;
    for (const CFerroxTagValue& line : data->GetCursor()->values) {
        m_musicPaths.push_back(start + ValueText(line.view()));
        ++m_trackCount;
    }
}

// Starts the effect first, then sets the volume on the channel it got: the channel it had last time may
// now carry another sound.
void CSoundManager::PlaySample(int32_t index, int32_t volume)
{
    if (!m_effectsEnabled || index < 0 || index >= m_effectCount || volume <= 0 || volume > kSoundFullVolume)
        return;
    SoundSample* record = m_effects[static_cast<size_t>(index)].get();
    record->channel = FSOUND_PlaySound(FSOUND_FREE, record->sample);
    FSOUND_SetVolume(record->channel, volume);
}

void CSoundManager::SetAmbientVolume(int32_t volume)
{
    if (volume > kSoundFullVolume)
        volume = kSoundFullVolume;
    SoundSample* ambient = m_pCurrentAmbient;
    if (!m_effectsEnabled || ambient == nullptr)
        return;
    if (volume == 0) {
        if (FSOUND_IsPlaying(ambient->channel))
            FSOUND_StopSound(ambient->channel);
        ambient->channel = -1;
        return;
    }
    if (!FSOUND_IsPlaying(ambient->channel))
        ambient->channel = FSOUND_PlaySound(FSOUND_FREE, ambient->sample);
    FSOUND_SetVolume(ambient->channel, volume);
}

void CSoundManager::SetCurrentAmbient(int32_t index)
{
    SoundSample* next = index >= 0 && index < m_ambientCount ? m_ambient[static_cast<size_t>(index)].get() : nullptr;
    if (m_pCurrentAmbient != nullptr && m_pCurrentAmbient != next) {
        if (FSOUND_IsPlaying(m_pCurrentAmbient->channel))
            FSOUND_StopSound(m_pCurrentAmbient->channel);
        m_pCurrentAmbient->channel = -1;
    }
    m_pCurrentAmbient = next;
}

void CSoundManager::StopAllSamples()
{
    for (const auto* list : {&m_effects, &m_ambient}) {
        for (const auto& record : *list) {
            if (FSOUND_IsPlaying(record->channel))
                FSOUND_StopSound(record->channel);
            record->channel = -1;
        }
    }
}

void CSoundManager::ChangeMasterVolume(float fraction)
{
    if (s_masterVolume == 0.0f)
        s_masterVolume += kMasterStepFromZero;
    else
        s_masterVolume += fraction * kMasterMax;
    if (s_masterVolume > kMasterMax)
        s_masterVolume = kMasterMax;
    if (s_masterVolume < 0.0f)
        s_masterVolume = 0.0f;
    FSOUND_SetSFXMasterVolume(static_cast<int>(s_masterVolume));
    FSOUND_SetVolume(m_musicChannel, static_cast<int>(s_masterVolume));
}

int32_t CSoundManager::PlayMusic(int32_t track, int32_t)
{
    if (static_cast<uint16_t>(track) < m_trackCount)
        m_currentTrack = static_cast<uint16_t>(track);
    if (!m_musicEnabled || m_currentTrack >= m_trackCount) {
        StopMusic();
        return 0;
    }
    s_musicStopped = 0;
    // One track at a time: the open one is stopped and closed before the next opens.
    CloseStream();
    GX_ASSERT(m_currentTrack < m_musicPaths.size(), "every counted track has its path");
    m_pStream = FSOUND_Stream_OpenFile(m_musicPaths[m_currentTrack].c_str(), kStreamMode, 0);
    FSOUND_Stream_SetEndCallback(m_pStream, OnStreamEnd, this);
    const int channel = FSOUND_Stream_Play(FSOUND_FREE, m_pStream);
    m_musicChannel = static_cast<uint16_t>(channel);
    FSOUND_SetPan(channel, FSOUND_STEREOPAN);
    return 1;
}

int32_t CSoundManager::StopMusic()
{
    s_musicStopped = 1;
    m_musicChannel = kSoundNoChannel;
    CloseStream();
    return 1;
}

void CSoundManager::CloseStream()
{
    if (m_pStream == nullptr)
        return;
    FSOUND_Stream_Stop(m_pStream);
    FSOUND_Stream_Close(m_pStream);
    m_pStream = nullptr;
}

void CSoundManager::FreeSamples(std::vector<std::unique_ptr<SoundSample>>* list)
{
    for (const auto& record : *list) {
        if (FSOUND_IsPlaying(record->channel))
            FSOUND_StopSound(record->channel);
        FSOUND_Sample_Free(record->sample);
    }
    list->clear();
}

void CSoundManager::Close()
{
    s_musicStopped = 1;
    CloseStream();
    m_musicChannel = kSoundNoChannel;
    m_pCurrentAmbient = nullptr;
    FreeSamples(&m_effects);
    FreeSamples(&m_ambient);
    m_effectCount = 0;
    m_ambientCount = 0;
    m_musicPaths.clear();
    m_trackCount = 0;
    m_currentTrack = 0;
    FSOUND_Close();
    m_created = false;
}

signed char CSoundManager::OnStreamEnd(FSOUND_STREAM*, void*, int, void* manager)
{
    CSoundManager* self = static_cast<CSoundManager*>(manager);
    if (self == nullptr || s_musicStopped)
        return 0;
    s_masterVolume = static_cast<float>(FSOUND_GetVolume(self->m_musicChannel));
    if (!s_shuffleOff && self->m_trackCount > 1) {
        uint16_t next = self->m_currentTrack;
        while (next == self->m_currentTrack)
            next = static_cast<uint16_t>(FerroxRand() % self->m_trackCount);
        self->m_currentTrack = next;
    }
    self->PlayMusic(self->m_currentTrack);
    return 1;
}
