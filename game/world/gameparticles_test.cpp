// Configurable particles: a whole file reaches the emitter, missing and short files keep the defaults, counts
// are taken as written, the blend line, long lines read in pieces, and an emitter following an object.
#include "game/world/gameparticles.h"

#include <fstream>
#include <sstream>

#include "engine/testsupport/scene.h"
#include "engine/world/object.h"
#include "gfx/core/texture.h"

namespace {

// The library's blend functions are the indexes plus one.
constexpr GxInt32 kSourceAlpha = 5;
constexpr GxInt32 kOne = 2;
constexpr GxInt32 kInverseSourceAlpha = 6;

// A configuration in the authored layout: a caption before every value line.
std::string Config(const std::string& texture, const std::vector<std::string>& values)
{
    std::ostringstream text;
    text << "Texture\n" << texture << ",\nMask\n" << texture << ",\n";
    for (const std::string& v : values)
        text << "Caption\n" << v << "\n";
    return text.str();
}

std::vector<std::string> FireValues()
{
    return {"0.0, 0.5, 0.0",     "0.6, 0.0, 0.6", "0.4, 0.4",           "4, 1, 0.05, 0.01",   "1.0, 0.2",
            "1.5, 0.3",          "0.0, 1.0, 0.0", "0.2, 0.0, 0.2",      "255, 160, 40, 255",  "0.0, 0.0, 1.0, 1.0",
            "255, 200, 80, 255", "255, 40, 0, 0", "0.4, 0.4, 0.1, 0.1", "0.1, 0.1, 0.0, 0.0", "4, 1"};
}

// An object standing where the test puts it.
class Standing : public CFerroxObject {
public:
    GxV3d* GetPosition() override { return &where; }
    GxV3d where = {0.0f, 0.0f, 0.0f};
};

class ConfigParticle : public FerroxSceneTest {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
        out << text;
        return Path(name);
    }
};

TEST_F(ConfigParticle, AWholeFileReachesTheEmitterAndItsTexture)
{
    ASSERT_TRUE(FerroxWriteTestPicture(Path("fire.bmp"), 255, 128, 0));
    CConfigurableStdParticle effect;
    ASSERT_EQ(effect.Load(Write("fire.prt", Config(Path("fire.bmp"), FireValues())).c_str()), 1);
    EXPECT_EQ(effect.GetConfig().valueLinesRead, kParticleValueLines);
    EXPECT_NE(effect.GetTexture(), nullptr);
    const GxParticleEmitterStd* s = effect.GetEmitter();
    ASSERT_NE(s, nullptr);
    EXPECT_FLOAT_EQ(s->force.y, 0.5f);
    EXPECT_FLOAT_EQ(s->emtPosBias.x, 0.6f);
    EXPECT_FLOAT_EQ(s->ptcleSize[1], 0.4f);
    EXPECT_EQ(s->emtPtcleEmitCount, 4);
    EXPECT_EQ(s->emtPtcleEmitCountBias, 1);
    EXPECT_FLOAT_EQ(s->emtEmitGap, 0.05f);
    EXPECT_FLOAT_EQ(s->emtEmitGapBias, 0.01f);
    EXPECT_FLOAT_EQ(s->emtPtcleLife, 1.0f);
    EXPECT_FLOAT_EQ(s->emtInitVelBias, 0.3f);
    EXPECT_FLOAT_EQ(s->emtInitDirBias.z, 0.2f);
    EXPECT_EQ(s->ptcleColor.green, 160);
    EXPECT_EQ(s->ptcleColor.blue, 40);
    EXPECT_FLOAT_EQ(effect.GetColour()->start[1], 200.0f);
    EXPECT_FLOAT_EQ(effect.GetColour()->end[3], 0.0f);
    EXPECT_FLOAT_EQ(effect.GetSize()->startBias[0], 0.1f);
    EXPECT_FLOAT_EQ(effect.GetSize()->end[0], 0.1f);
    effect.Update(0.2f);
    effect.Render();
}

TEST_F(ConfigParticle, MissingAndShortFilesKeepTheDefaultsOfWhatWasNotRead)
{
    const ParticleConfig defaults = ParticleConfigDefaults();
    CConfigurableStdParticle missing;
    EXPECT_EQ(missing.Load(Path("none.prt").c_str()), 0);
    ASSERT_NE(missing.GetEmitter(), nullptr);
    EXPECT_EQ(missing.GetTexture(), nullptr);
    EXPECT_EQ(missing.GetEmitter()->emtPtcleEmitCount, defaults.perEmission);
    EXPECT_EQ(missing.GetTank()->srcBlend, kSourceAlpha);
    EXPECT_EQ(missing.GetTank()->dstBlend, kOne);

    // Six value lines, the fourth with a negative count and gap, the fifth with a word for a number and the
    // sixth with a number too large for a float.
    std::vector<std::string> values = FireValues();
    values[3] = "-4, -1, -0.05, 0.01";
    values[4] = "1.0, hot";
    values[5] = "1.5, 1e39";
    values.resize(6);
    CConfigurableStdParticle shortFile;
    ASSERT_EQ(shortFile.Load(Write("short.prt", Config("none.png", values)).c_str()), 1);
    const GxParticleEmitterStd* s = shortFile.GetEmitter();
    EXPECT_FLOAT_EQ(s->force.y, 0.5f);
    EXPECT_EQ(s->emtPtcleEmitCount, -4);
    EXPECT_EQ(s->emtPtcleEmitCountBias, -1);
    EXPECT_FLOAT_EQ(s->emtEmitGap, -0.05f);
    EXPECT_FLOAT_EQ(s->emtPtcleLife, defaults.life);
    EXPECT_FLOAT_EQ(s->emtInitVel, defaults.speed);
    EXPECT_FLOAT_EQ(s->emtInitDir.y, defaults.direction.y);
    EXPECT_FLOAT_EQ(shortFile.GetSize()->start[0], defaults.startSize[0]);
    EXPECT_EQ(shortFile.GetTank()->srcBlend, kSourceAlpha);
    EXPECT_EQ(shortFile.GetConfig().valueLinesRead, 4);
    // The negative count and gap reach the emitter, which makes no particles of them.
    shortFile.Update(0.1f);
    shortFile.Update(0.1f);
}

TEST_F(ConfigParticle, TheLastLineChoosesTheBlendingWithinTheTable)
{
    std::vector<std::string> values = FireValues();
    values.back() = "4, 5";
    CConfigurableStdParticle alpha;
    alpha.Load(Write("alpha.prt", Config("none.png", values)).c_str());
    EXPECT_EQ(alpha.GetTank()->srcBlend, kSourceAlpha);
    EXPECT_EQ(alpha.GetTank()->dstBlend, kInverseSourceAlpha);

    for (const char* outside : {"11, 5", "4, -1"}) {
        values.back() = outside;
        CConfigurableStdParticle kept;
        kept.Load(Write("outside.prt", Config("none.png", values)).c_str());
        EXPECT_EQ(kept.GetTank()->srcBlend, kSourceAlpha) << outside;
        EXPECT_EQ(kept.GetTank()->dstBlend, kOne) << outside;
    }
}

TEST_F(ConfigParticle, NamesAreCutAtTheCommaAfterTheirExtension)
{
    EXPECT_EQ(CutParticleName("./images/fire.png,"), "./images/fire.png");
    EXPECT_EQ(CutParticleName("./images/fire.png, spare\r"), "./images/fire.png");
    EXPECT_EQ(CutParticleName("./images/fire,png"), "./images/fire,png");
    EXPECT_EQ(CutParticleName("fire"), "fire");
}

TEST_F(ConfigParticle, ALineLongerThanItsPlaceTakesContinuesAsTheNextLine)
{
    // The texture line runs on: its rest is the free text of line 3, line 3 names the mask, and every line after
    // it moves down one, so that captions fall where the values were.
    const std::string longName(kParticleHeaderLineBytes, 'a');
    std::string text = Config("mask.png", FireValues());
    text.replace(text.find("mask.png"), 8, longName + "b.png");
    CConfigurableStdParticle effect;
    ASSERT_EQ(effect.Load(Write("long.prt", text).c_str()), 1);
    EXPECT_EQ(effect.GetConfig().textureName, longName);
    EXPECT_EQ(effect.GetConfig().maskName, "Mask");
    EXPECT_EQ(effect.GetConfig().valueLinesRead, 0);

    std::vector<std::string> lines(kParticleHeaderLines);
    AddParticleLine(&lines, std::string(kParticleValueLineBytes + 1, '1'));
    AddParticleLine(&lines, "");
    ASSERT_EQ(lines.size(), kParticleHeaderLines + 3u);
    EXPECT_EQ(lines[kParticleHeaderLines].size(), kParticleValueLineBytes);
    EXPECT_EQ(lines[kParticleHeaderLines + 1], "1");
    EXPECT_EQ(lines[kParticleHeaderLines + 2], "");
}

TEST_F(ConfigParticle, TheEmitterFollowsItsObjectOnlyWhenTimePasses)
{
    CConfigurableStdParticle effect;
    effect.Load(nullptr);
    Standing object;
    object.where = {10.0f, 0.0f, 5.0f};
    effect.m_pFollowed = &object;
    effect.m_offset = {0.0f, 2.0f, 0.0f};
    effect.Update(0.0f);
    EXPECT_FLOAT_EQ(effect.GetEmitter()->emtPos.y, 0.0f);
    EXPECT_EQ(effect.GetTank()->tank, nullptr);
    effect.Update(0.1f);
    EXPECT_FLOAT_EQ(effect.GetEmitter()->emtPos.x, 10.0f);
    EXPECT_FLOAT_EQ(effect.GetEmitter()->emtPos.y, 2.0f);
    EXPECT_FLOAT_EQ(effect.GetEmitter()->emtPos.z, 5.0f);
}

}  // namespace
