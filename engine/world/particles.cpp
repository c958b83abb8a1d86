// Standard particles: building the effect with its defaults, its texture, blend modes, stepping and drawing.
#include "engine/world/particles.h"

#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/texture.h"
#include "gfx/fx/particles.h"
#include "gfx/world/clump.h"

namespace {

constexpr int32_t kMaxParticles = 100;
constexpr GxReal kEmitterWidth = 1.0f;
constexpr GxReal kEmitGap = 0.1f;
constexpr int32_t kPerEmission = 10;
constexpr GxReal kSpeed = 2.0f;
constexpr GxReal kSpeedVariation = 0.1f;
constexpr GxReal kLife = 1.5f;
constexpr GxReal kLifeVariation = 0.1f;
constexpr GxReal kDirectionVariation = 0.15f;
constexpr GxReal kParticleSize = 0.3f;
constexpr GxReal kFullColour = 255.0f;
constexpr GxUInt8 kOpaque = 255;
// The tank's constant-data flags get this bit when the effect chooses its own blending.
constexpr GxUInt32 kTankOwnBlend = 0x10000000;

GxFrame* FrameOf(GxAtomic* atomic) { return static_cast<GxFrame*>(atomic->object.object.parent); }

void WriteDefaults(GxParticleEmitterStd* s, GxParticleEmitterColor* colour, GxParticleEmitterSize* size)
{
    s->maxPTank = kMaxParticles;
    s->force = {0.0f, 0.0f, 0.0f};
    s->emtPos = {0.0f, 0.0f, 0.0f};
    s->emtPosBias = {kEmitterWidth, 0.0f, kEmitterWidth};
    s->emtEmitGap = kEmitGap;
    s->emtEmitGapBias = 0.0f;
    s->emtPtcleEmitCount = kPerEmission;
    s->emtPtcleEmitCountBias = 0;
    s->emtInitVel = kSpeed;
    s->emtInitVelBias = kSpeedVariation;
    s->emtPtcleLife = kLife;
    s->emtPtcleLifeBias = kLifeVariation;
    s->emtInitDir = {0.0f, 1.0f, 0.0f};
    s->emtInitDirBias = {kDirectionVariation, 0.0f, kDirectionVariation};
    s->ptcleSize[0] = s->ptcleSize[1] = 0.0f;
    s->ptcleColor = {kOpaque, kOpaque, kOpaque, kOpaque};
    const GxReal uv[8] = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 8; i++)
        s->ptcleUV[i] = uv[i];
    if (colour) {
        for (int i = 0; i < 4; i++) {
            colour->start[i] = colour->end[i] = kFullColour;
            colour->startBias[i] = colour->endBias[i] = 0.0f;
        }
    }
    if (size) {
        for (int i = 0; i < 2; i++) {
            size->start[i] = size->end[i] = kParticleSize;
            size->startBias[i] = size->endBias[i] = 0.0f;
        }
    }
}

bool BlendIndexValid(int32_t index) { return index >= 0 && index < kFerroxParticleBlendIndexes; }

}  // namespace

CFerroxStdParticle::CFerroxStdParticle() { Init(); }

CFerroxStdParticle::~CFerroxStdParticle() { CFerroxStdParticle::Destroy(); }

void CFerroxStdParticle::Init()
{
    m_pEmitterClass = nullptr;
    m_pParticleClass = nullptr;
    m_pEmitterBlock = nullptr;
    m_pTank = nullptr;
    m_pTexture = nullptr;
    m_sourceBlend = 0;
    m_destinationBlend = 0;
    m_pStandard = nullptr;
    m_pColour = nullptr;
    m_pSize = nullptr;
    m_pAtomic = nullptr;
}

GxTexture* CFerroxStdParticle::Create(const char* textureName, const char* maskName)
{
    m_pEmitterClass = GxParticleEmitterClassCreate(kFerroxParticleEmitterFlags);
    m_pParticleClass = GxParticleClassCreate(kFerroxParticleClassFlags);
    m_pAtomic = m_pEmitterClass && m_pParticleClass ? GxParticleAtomicCreate(m_pEmitterClass, nullptr) : nullptr;
    GxFrame* frame = m_pAtomic ? GxFrameCreate() : nullptr;
    // Without its classes, atomic or frame the effect is not made: nothing below may reach a null one.
    if (!frame) {
        Destroy();
        return nullptr;
    }
    GxAtomicSetFrame(m_pAtomic, frame);
    GxParticleEmitter* emitter = GxParticleAtomicGetEmitters(m_pAtomic);
    GxParticleEmitterSetParticleClass(emitter, m_pParticleClass, kFerroxParticleBatch);
    m_pEmitterBlock = emitter;
    m_pStandard =
        static_cast<GxParticleEmitterStd*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERSTANDARD));
    m_pColour = static_cast<GxParticleEmitterColor*>(
        GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTCOLOR));
    m_pSize =
        static_cast<GxParticleEmitterSize*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPRTSIZE));
    m_pTank =
        static_cast<GxParticleEmitterTank*>(GxParticleEmitterGetProperty(emitter, gxPRTSTDPROPERTYCODEEMITTERPTANK));
    if (m_pStandard)
        WriteDefaults(m_pStandard, m_pColour, m_pSize);

    // Names are taken as they stand, not along the image search path.
    GxImageSetPath("");
    m_pTexture = textureName ? GxTextureRead(textureName, maskName) : nullptr;
    // The emitter releases the texture it holds when it is destroyed, so it gets a reference of its own.
    if (m_pTexture && m_pStandard)
        m_pStandard->texture = GxTextureAddRef(m_pTexture);
    m_sourceBlend = kFerroxParticleSourceBlend;
    m_destinationBlend = kFerroxParticleDestinationBlend;
    return m_pTexture;
}

void CFerroxStdParticle::Update(float dt)
{
    if (!m_pAtomic)
        return;
    GxParticleUpdateData data = {dt};
    GxParticleAtomicUpdate(m_pAtomic, &data);
}

void CFerroxStdParticle::Render()
{
    if (m_pAtomic && m_pAtomic->renderCallBack)
        m_pAtomic->renderCallBack(m_pAtomic);
}

int CFerroxStdParticle::SetBlendModes(int skip)
{
    if (skip || !m_pTank || !BlendIndexValid(m_sourceBlend) || !BlendIndexValid(m_destinationBlend))
        return 1;
    const GxInt32 source = m_sourceBlend + 1;
    const GxInt32 destination = m_destinationBlend + 1;
    // A tank is made at the first update from these; one made already takes them directly.
    m_pTank->srcBlend = source;
    m_pTank->dstBlend = destination;
    m_pTank->vtxAlphaBlend = 1;
    if (GxParticleTank* tank = m_pTank->tank ? GxParticleTankGet(m_pTank->tank) : nullptr) {
        tank->vertexAlphaBlend = 1;
        tank->srcBlend = source;
        tank->dstBlend = destination;
        tank->cFlags |= kTankOwnBlend;
    }
    return 1;
}

void CFerroxStdParticle::Destroy()
{
    if (m_pAtomic) {
        GxFrame* frame = FrameOf(m_pAtomic);
        GxAtomicSetFrame(m_pAtomic, nullptr);
        if (frame)
            GxFrameDestroy(frame);
        GxAtomicDestroy(m_pAtomic);
    }
    if (m_pEmitterClass)
        GxParticleEmitterClassDestroy(m_pEmitterClass);
    if (m_pParticleClass)
        GxParticleClassDestroy(m_pParticleClass);
    if (m_pTexture)
        GxTextureDestroy(m_pTexture);
    Init();
}
