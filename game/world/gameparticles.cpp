// Configurable particles: the ".prt" reader, building the effect from it, and following an object.
#include "game/world/gameparticles.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "engine/data/file.h"
#include "engine/world/object.h"
#include "gfx/fx/particles.h"

namespace {

// Lines holding the texture and the mask name (0-based).
constexpr size_t kTextureLine = 1;
constexpr size_t kMaskLine = 3;
// A name is cut at a comma this many characters after its last ".": "fire.png," names fire.png.
constexpr size_t kExtensionCommaOffset = 4;
constexpr int32_t kLowByte = 0xFF;
constexpr int32_t kBlendIndexes = kFerroxParticleBlendIndexes;

// Reads one value line: numbers each followed by a one-word separator (the last one need not be).
class ValueLine {
public:
    explicit ValueLine(const std::string& line) : m_text(line), m_pos(0) {}

    bool Float(float* out)
    {
        const char* start = Begin();
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(start, &end);
        if (end == start || errno == ERANGE || !std::isfinite(value) ||
            std::fabs(value) > std::numeric_limits<float>::max())
            return false;
        *out = static_cast<float>(value);
        return Advance(end);
    }
    bool Int(int32_t* out, int32_t low, int32_t high)
    {
        const char* start = Begin();
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(start, &end, 10);
        if (end == start || errno == ERANGE || value < low || value > high)
            return false;
        *out = static_cast<int32_t>(value);
        return Advance(end);
    }
    bool Short(int32_t* out) { return Int(out, INT16_MIN, INT16_MAX); }

private:
    const char* Begin()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            m_pos++;
        return m_text.c_str() + m_pos;
    }
    // Past the number, then past the separator word that follows it, when there is one.
    bool Advance(const char* end)
    {
        m_pos = static_cast<size_t>(end - m_text.c_str());
        Begin();
        while (m_pos < m_text.size() && !std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            m_pos++;
        return true;
    }

    const std::string& m_text;
    size_t m_pos;
};

bool ReadFloats(ValueLine& line, float* out, int count)
{
    for (int i = 0; i < count; i++) {
        if (!line.Float(out + i))
            return false;
    }
    return true;
}

bool ReadVector(ValueLine& line, GxV3d* out)
{
    float v[3];
    if (!ReadFloats(line, v, 3))
        return false;
    *out = {v[0], v[1], v[2]};
    return true;
}

bool ReadColour(ValueLine& line, int32_t* out)
{
    for (int i = 0; i < 4; i++) {
        if (!line.Short(out + i))
            return false;
        out[i] &= kLowByte;
    }
    return true;
}

// Reads value line `index` (0 .. kParticleValueLines - 1) into a copy, so that a line read in part keeps
// every value it had; true when it was read whole.
bool ReadValueLine(int index, const std::string& text, ParticleConfig* config)
{
    ParticleConfig c = *config;
    ValueLine line(text);
    int32_t ints[4];
    bool ok = false;
    switch (index) {
    case 0:
        ok = ReadVector(line, &c.force);
        break;
    case 1:
        ok = ReadVector(line, &c.emitterSize);
        break;
    case 2:
        ok = ReadFloats(line, c.particleSize, 2);
        break;
    case 3:
        // Taken as written: the emitter makes no particles for a count below one.
        ok = line.Short(&c.perEmission) && line.Short(&c.perEmissionVariation) && line.Float(&c.emitGap) &&
             line.Float(&c.emitGapVariation);
        break;
    case 4:
        ok = line.Float(&c.life) && line.Float(&c.lifeVariation);
        break;
    case 5:
        ok = line.Float(&c.speed) && line.Float(&c.speedVariation);
        break;
    case 6:
        ok = ReadVector(line, &c.direction);
        break;
    case 7:
        ok = ReadVector(line, &c.directionVariation);
        break;
    case 8:
        ok = ReadColour(line, ints);
        for (int i = 0; ok && i < 4; i++)
            c.colour[i] = static_cast<uint8_t>(ints[i]);
        break;
    case 9:
        ok = ReadFloats(line, c.uv, 4);
        break;
    case 10:
    case 11:
        ok = ReadColour(line, ints);
        for (int i = 0; ok && i < 4; i++)
            (index == 10 ? c.startColour : c.endColour)[i] = static_cast<float>(ints[i]);
        break;
    case 12:
        ok = ReadFloats(line, c.startSize, 2) && ReadFloats(line, c.startSizeVariation, 2);
        break;
    case 13:
        ok = ReadFloats(line, c.endSize, 2) && ReadFloats(line, c.endSizeVariation, 2);
        break;
    case 14:
        // Indexes the blending table has no entry for keep the standard blending.
        ok = line.Int(&c.sourceBlend, 0, kBlendIndexes - 1) && line.Int(&c.destinationBlend, 0, kBlendIndexes - 1);
        break;
    default:
        break;
    }
    if (ok)
        *config = c;
    return ok;
}

bool IsBlank(const std::string& line)
{
    for (char ch : line) {
        if (!std::isspace(static_cast<unsigned char>(ch)))
            return false;
    }
    return true;
}

}  // namespace

ParticleConfig ParticleConfigDefaults()
{
    ParticleConfig c = {};
    c.emitterSize = {1.0f, 0.0f, 1.0f};
    c.perEmission = 10;
    c.emitGap = 0.1f;
    c.life = 1.5f;
    c.lifeVariation = 0.1f;
    c.speed = 2.0f;
    c.speedVariation = 0.1f;
    c.direction = {0.0f, 1.0f, 0.0f};
    c.directionVariation = {0.15f, 0.0f, 0.15f};
    for (int i = 0; i < 4; i++) {
        c.colour[i] = 255;
        c.startColour[i] = c.endColour[i] = 255.0f;
    }
    c.uv[2] = c.uv[3] = 1.0f;
    c.startSize[0] = c.startSize[1] = c.endSize[0] = c.endSize[1] = 0.3f;
    c.sourceBlend = kFerroxParticleSourceBlend;
    c.destinationBlend = kFerroxParticleDestinationBlend;
    return c;
}

std::string CutParticleName(const std::string& line)
{
    std::string name = line;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot + kExtensionCommaOffset < name.size() &&
        name[dot + kExtensionCommaOffset] == ',')
        name.erase(dot + kExtensionCommaOffset);
    return name;
}

void AddParticleLine(std::vector<std::string>* lines, const std::string& line)
{
    size_t start = 0;
    do {
        const size_t limit = lines->size() < kParticleHeaderLines ? kParticleHeaderLineBytes : kParticleValueLineBytes;
        lines->push_back(line.substr(start, limit));
        start += limit;
    } while (start < line.size());
}

void ReadParticleConfig(const std::vector<std::string>& lines, ParticleConfig* config)
{
    if (lines.size() > kTextureLine)
        config->textureName = CutParticleName(lines[kTextureLine]);
    if (lines.size() > kMaskLine)
        config->maskName = CutParticleName(lines[kMaskLine]);
    // After the header, value lines and their captions alternate; blank lines between them are skipped.
    size_t i = kParticleHeaderLines;
    for (int index = 0; index < kParticleValueLines; index++) {
        while (i < lines.size() && IsBlank(lines[i]))
            i++;
        if (i >= lines.size())
            return;
        if (ReadValueLine(index, lines[i], config))
            config->valueLinesRead++;
        i++;
        while (i < lines.size() && IsBlank(lines[i]))
            i++;
        i++;  // the caption of the next line
    }
}

CConfigurableStdParticle::CConfigurableStdParticle() { CConfigurableStdParticle::Init(); }

void CConfigurableStdParticle::Init()
{
    m_pFollowed = nullptr;
    m_offset = {0.0f, 0.0f, 0.0f};
    m_config = ParticleConfigDefaults();
}

int CConfigurableStdParticle::Load(const char* fileName)
{
    m_config = ParticleConfigDefaults();
    if (!fileName) {
        Create(kParticleDefaultTexture, kParticleDefaultTexture);
        return 1;
    }
    CFerroxFile file;
    const bool opened = file.Open(fileName, 1) == 0;
    std::vector<std::string> lines;
    while (opened && !file.IsEof()) {
        std::string line;
        AddParticleLine(&lines, file.ReadLine(line));
    }
    if (opened)
        file.Close();
    ReadParticleConfig(lines, &m_config);
    Create(m_config.textureName.c_str(), m_config.maskName.c_str());
    Apply();
    SetBlendModes(0);
    return opened ? 1 : 0;
}

void CConfigurableStdParticle::Apply()
{
    GxParticleEmitterStd* s = GetEmitter();
    if (s) {
        const ParticleConfig& c = m_config;
        s->force = c.force;
        s->emtPosBias = c.emitterSize;
        s->ptcleSize[0] = c.particleSize[0];
        s->ptcleSize[1] = c.particleSize[1];
        s->emtPtcleEmitCount = c.perEmission;
        s->emtPtcleEmitCountBias = c.perEmissionVariation;
        s->emtEmitGap = c.emitGap;
        s->emtEmitGapBias = c.emitGapVariation;
        s->emtPtcleLife = c.life;
        s->emtPtcleLifeBias = c.lifeVariation;
        s->emtInitVel = c.speed;
        s->emtInitVelBias = c.speedVariation;
        s->emtInitDir = c.direction;
        s->emtInitDirBias = c.directionVariation;
        s->ptcleColor = {c.colour[0], c.colour[1], c.colour[2], c.colour[3]};
        for (int i = 0; i < 4; i++)
            s->ptcleUV[i] = c.uv[i];
    }
    if (GxParticleEmitterColor* colour = GetColour()) {
        for (int i = 0; i < 4; i++) {
            colour->start[i] = m_config.startColour[i];
            colour->end[i] = m_config.endColour[i];
        }
    }
    if (GxParticleEmitterSize* size = GetSize()) {
        for (int i = 0; i < 2; i++) {
            size->start[i] = m_config.startSize[i];
            size->startBias[i] = m_config.startSizeVariation[i];
            size->end[i] = m_config.endSize[i];
            size->endBias[i] = m_config.endSizeVariation[i];
        }
    }
    m_sourceBlend = m_config.sourceBlend;
    m_destinationBlend = m_config.destinationBlend;
}

void CConfigurableStdParticle::SetEmitterPosition(const GxV3d& position)
{
    if (GxParticleEmitterStd* s = GetEmitter())
        s->emtPos = position;
}

void CConfigurableStdParticle::Update(float dt)
{
    if (!(dt > 0.0f))
        return;
    if (m_pFollowed) {
        if (const GxV3d* p = m_pFollowed->GetPosition())
            SetEmitterPosition({p->x + m_offset.x, p->y + m_offset.y, p->z + m_offset.z});
    }
    CFerroxStdParticle::Update(dt);
}
