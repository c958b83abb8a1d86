// Standard particles: one effect over the graphics library's standard particle plugin (one emitter class, one
// particle class, one particle atomic on a frame of its own), its defaults, texture and blend modes.
#pragma once

#include <cstdint>

struct GxAtomic;
struct GxFrame;
struct GxTexture;
struct GxParticleClassBase;
struct GxParticleEmitterStd;
struct GxParticleEmitterColor;
struct GxParticleEmitterSize;
struct GxParticleEmitterTank;

// Class flags of the effect: standard emitter, particle colour, particle size and a particle tank; particles
// with colour, size and velocity.
constexpr uint32_t kFerroxParticleEmitterFlags = 0x33;
constexpr uint32_t kFerroxParticleClassFlags = 0x65;
// Particles one batch holds, and the default blend indexes (source alpha, one: additive glow).
constexpr int32_t kFerroxParticleBatch = 140;
constexpr int32_t kFerroxParticleSourceBlend = 4;
constexpr int32_t kFerroxParticleDestinationBlend = 1;
// Blend indexes run 0 .. 10; the library numbers its blend functions from 1.
constexpr int32_t kFerroxParticleBlendIndexes = 11;

class CFerroxStdParticle {
public:
    CFerroxStdParticle();
    CFerroxStdParticle(const CFerroxStdParticle&) = delete;
    CFerroxStdParticle& operator=(const CFerroxStdParticle&) = delete;
    virtual ~CFerroxStdParticle();

    virtual void Render();
    // Builds the effect with its defaults and reads its texture; the texture, or null when it could not be read
    // (the effect then draws untextured).
    virtual GxTexture* Create(const char* textureName, const char* maskName);
    virtual void Destroy();

    void Update(float dt);
    // With skip 0, the blend indexes go to the tank (and to the emitter, which gives them to a tank it makes
    // later); indexes outside 0 .. 10 leave the blending as it is. Returns 1.
    int SetBlendModes(int skip);
    void Init();

    GxAtomic* GetAtomic() const { return m_pAtomic; }
    GxTexture* GetTexture() const { return m_pTexture; }
    GxParticleEmitterStd* GetEmitter() const { return m_pStandard; }
    GxParticleEmitterColor* GetColour() const { return m_pColour; }
    GxParticleEmitterSize* GetSize() const { return m_pSize; }
    GxParticleEmitterTank* GetTank() const { return m_pTank; }

    int32_t m_sourceBlend;
    int32_t m_destinationBlend;

private:
    GxParticleClassBase* m_pEmitterClass;
    GxParticleClassBase* m_pParticleClass;
    void* m_pEmitterBlock;
    GxParticleEmitterTank* m_pTank;
    GxTexture* m_pTexture;  // one reference of our own; the emitter holds another
    GxParticleEmitterStd* m_pStandard;
    GxParticleEmitterColor* m_pColour;
    GxParticleEmitterSize* m_pSize;
    GxAtomic* m_pAtomic;
};
