// Fuzz target of the particle configuration reader: any bytes read, every value stays finite and in the range
// the emitter takes, and a value line that did not read keeps its default. Counts and gaps are taken as written,
// negative ones included (the emitter makes no particles then): a count holds what a short holds.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "game/world/gameparticles.h"

namespace {

// Lines as the file reader gives them: LF ends a line, a CR before it is dropped, each read in pieces.
std::vector<std::string> SplitParticleLines(const char* bytes, size_t size)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && bytes[end] != '\n')
            end++;
        std::string line(bytes + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        AddParticleLine(&lines, line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<std::string> lines = SplitParticleLines(reinterpret_cast<const char*>(data), size);
    ParticleConfig config = ParticleConfigDefaults();
    ReadParticleConfig(lines, &config);
    const float values[] = {config.force.x,
                            config.emitGap,
                            config.life,
                            config.speed,
                            config.uv[3],
                            config.startColour[0],
                            config.endSizeVariation[1]};
    for (float v : values) {
        if (!std::isfinite(v))
            std::abort();
    }
    const bool countsFit = config.perEmission >= INT16_MIN && config.perEmission <= INT16_MAX &&
                           config.perEmissionVariation >= INT16_MIN && config.perEmissionVariation <= INT16_MAX;
    if (config.sourceBlend < 0 || config.sourceBlend > 10 || config.destinationBlend < 0 ||
        config.destinationBlend > 10 || !countsFit || !std::isfinite(config.emitGapVariation) ||
        config.startColour[2] > 255.0f || config.valueLinesRead > kParticleValueLines ||
        config.textureName.size() > kParticleHeaderLineBytes)
        std::abort();
    return 0;
}
