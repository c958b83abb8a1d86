// The authored sounds: data.xml's SOUND block names 9, 3 and 4 files that the writer makes, in the format the
// game reads, and the sound manager loads every one of them.
#include "tools/content/sound_writer.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/shell/sound.h"
#include "platform/fmod/fmod.h"
#include "platform/fmod/wav.h"

namespace {

class SoundContent : public FerroxTestFiles {};

std::vector<std::string> Values(CFerroxTagTree& data, const char* child)
{
    std::vector<std::string> out;
    if (!data.FindNode("SOUND", 1) || !data.FindChild(child))
        return out;
    for (const CFerroxTagValue& value : data.GetCursor()->values) {
        std::string line(value.view());
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

TEST(SoundWriter, SoundsHaveTheirLengthsAndLoopsMeetThemselves)
{
    for (size_t i = 0; i < kContentEffectCount; i++) {
        const std::vector<int16_t> samples = ContentEffectSamples(i);
        EXPECT_GT(samples.size(), 0u) << i;
        EXPECT_LT(samples.size(), 2u * kContentSoundRate) << i;
    }
    for (size_t i = 0; i < kContentAmbientCount; i++) {
        const std::vector<int16_t> loop = ContentAmbientSamples(i);
        ASSERT_EQ(static_cast<size_t>(kContentAmbientSeconds * kContentSoundRate), loop.size());
        // Across the seam the wave moves no more than it does anywhere else.
        int widest = 0;
        for (size_t k = 1; k < loop.size(); k++)
            widest = std::max(widest, std::abs(loop[k] - loop[k - 1]));
        EXPECT_LE(std::abs(loop.front() - loop.back()), widest) << i;
    }
    for (size_t i = 0; i < kContentMusicCount; i++) {
        const double seconds = static_cast<double>(ContentMusicSamples(i).size()) / kContentSoundRate;
        EXPECT_GE(seconds, 40.0) << i;
        EXPECT_LE(seconds, 60.0) << i;
    }
    EXPECT_NE(ContentMusicSamples(1), ContentMusicSamples(2));
}

TEST_F(SoundContent, DataXmlNamesEveryWrittenFileAndTheManagerLoadsThemAll)
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    ASSERT_NE(nullptr, source);
    CFerroxTagTree data;
    ASSERT_EQ(1, data.Load((std::string(source) + "/tools/content/text/data.xml").c_str()));
    const std::string root = Path("");
    ASSERT_TRUE(ContentWriteSounds(root, nullptr));

    const std::vector<std::string> effects = Values(data, "SFX");
    const std::vector<std::string> ambient = Values(data, "AMBIENT");
    const std::vector<std::string> music = Values(data, "MUSIC");
    EXPECT_EQ(kContentEffectCount, effects.size());
    EXPECT_EQ(kContentAmbientCount, ambient.size());
    EXPECT_EQ(kContentMusicCount, music.size());
    for (const auto* list : {&effects, &ambient, &music}) {
        for (const std::string& value : *list) {
            ASSERT_FALSE(value.empty());
            EXPECT_EQ('/', value[0]) << value;
            const std::string bytes = ReadFile(root + value);
            WavData wav;
            ASSERT_TRUE(WavParse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &wav, nullptr)) << value;
            EXPECT_EQ(1, wav.channels);
            EXPECT_EQ(16, wav.bits);
            EXPECT_EQ(kContentSoundRate, wav.rate);
        }
    }

    CSoundManager manager;
    ASSERT_EQ(1, manager.Create(&data, root.c_str()));
    ASSERT_EQ(kContentEffectCount, manager.m_effects.size());
    for (const auto& record : manager.m_effects)
        EXPECT_NE(nullptr, record->sample);
    for (const auto& record : manager.m_ambient)
        EXPECT_NE(nullptr, record->sample);
    for (uint16_t track = 0; track < manager.m_trackCount; track++) {
        EXPECT_EQ(1, manager.PlayMusic(track));
        EXPECT_NE(nullptr, manager.m_pStream) << track;
        EXPECT_TRUE(FSOUND_IsPlaying(manager.m_musicChannel)) << track;
    }
    manager.Close();
}

}  // namespace
