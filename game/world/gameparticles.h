// Configurable particles: a standard particle effect whose texture and emitter values come from a particle
// configuration text (".prt"), and whose emitter may follow a world object.
//
// The reader is apart from the effect (ReadParticleConfig) so that it can be fed any bytes: it starts from
// the effect's defaults and keeps them for every value line it could not read. One thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/world/particles.h"
#include "gfx/core/gx.h"

class CFerroxObject;

// The texture an effect gets when Load is given no file.
constexpr const char* kParticleDefaultTexture = "./data/images/particle.png";
// Longest header line (texture and mask names) and longest value line read: a longer line is read in pieces of
// that length, each a line of its own.
constexpr size_t kParticleHeaderLineBytes = 512;
constexpr size_t kParticleValueLineBytes = 2048;
// Header lines before the first value line.
constexpr int kParticleHeaderLines = 5;

// Every value a configuration sets, in the order of its value lines.
struct ParticleConfig {
    std::string textureName;
    std::string maskName;
    GxV3d force;
    GxV3d emitterSize;
    float particleSize[2];
    int32_t perEmission;
    int32_t perEmissionVariation;
    float emitGap;
    float emitGapVariation;
    float life;
    float lifeVariation;
    float speed;
    float speedVariation;
    GxV3d direction;
    GxV3d directionVariation;
    uint8_t colour[4];
    float uv[4];
    float startColour[4];
    float endColour[4];
    float startSize[2];
    float startSizeVariation[2];
    float endSize[2];
    float endSizeVariation[2];
    int32_t sourceBlend;
    int32_t destinationBlend;
    int valueLinesRead;  // value lines taken, of kParticleValueLines
};

constexpr int kParticleValueLines = 15;

// The standard effect's defaults.
ParticleConfig ParticleConfigDefaults();
// A name of line 2 or 4: cut before a comma that stands four characters after the name's last ".".
std::string CutParticleName(const std::string& line);
// Appends a line of the file to lines as it is read: in pieces of the longest length at its place.
void AddParticleLine(std::vector<std::string>* lines, const std::string& line);
// Reads the lines of a configuration file over the values in config (its defaults): the names from lines 2
// and 4, then the value lines. A value line that is missing or does not read whole keeps its values; blend
// indexes outside 0 .. 10 keep theirs.
void ReadParticleConfig(const std::vector<std::string>& lines, ParticleConfig* config);

class CConfigurableStdParticle : public CFerroxStdParticle {
public:
    CConfigurableStdParticle();
    virtual void Update(float dt);
    // Builds the effect from the configuration file (the defaults and the standard texture without one).
    // 1 when the file was read, 0 when it did not open (the effect then exists with the defaults, untextured).
    virtual int Load(const char* fileName);
    virtual void Init();

    // The values applied to the emitter by the last Load.
    const ParticleConfig& GetConfig() const { return m_config; }
    void SetEmitterPosition(const GxV3d& position);

    // The emitter follows this object, offset, at each Update (null: it stays where it was set).
    CFerroxObject* m_pFollowed;
    GxV3d m_offset;

private:
    void Apply();

    ParticleConfig m_config;
};
