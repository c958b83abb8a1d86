// The world: the registry's translucency test, queue and flush; loading a level file; placeholders, lights,
// animated textures; per-frame update and drawing; release.
//
// Sections: registry; loading; placeholders and objects; frame; lifecycle.
#include "engine/world/world.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/world/animtexture.h"
#include "engine/world/clump_local.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "engine/world/object.h"
#include "engine/world/spline.h"
#include "engine/world/texdict.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/spline.h"
#include "gfx/core/texture.h"
#include "gfx/fx/fx.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

constexpr GxUInt8 kOpaque = 255;
constexpr GxUInt32 kFogColour = 0xFF6868BC;  // (104, 104, 188, 255) as the device packs it
// Render-state values of the library's numbering.
constexpr GxUInt32 kCullBack = 2;  // clockwise triangles are the back faces
constexpr GxUInt32 kShadeGouraud = 2;
constexpr GxUInt32 kAddressWrap = 1;
constexpr GxUInt32 kBlendSourceAlpha = 5;
constexpr GxUInt32 kBlendInverseSourceAlpha = 6;
constexpr GxUInt32 kFogLinear = 1;
constexpr GxInt32 kPlaceObjectsMode = 1;
constexpr GxInt32 kPlaceholderModes = 2;
constexpr GxInt32 kModelClone = 1;  // static objects get their own copy of the pooled model
const char* const kModelFileMark = ".gxs";
const char* const kAniFolder = "ani/";
const char* const kAniExtension = ".ini";
constexpr size_t kAnimTagSuffix = 2;  // the frame number at the end of an animated frame's tag

void* State(GxUInt32 value) { return GxRenderStateValue(value); }

GxFrame* FrameOf(GxAtomic* atomic) { return static_cast<GxFrame*>(atomic->object.object.parent); }

// ---- Translucency ----

bool AlphaInPixels(GxRaster* raster, GxInt32 format)
{
    GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
    if (!pixels)
        return false;
    bool found = false;
    for (GxInt32 y = 0; y < raster->height && !found; y++) {
        const GxUInt8* row = pixels + static_cast<size_t>(y) * raster->stride;
        for (GxInt32 x = 0; x < raster->width && !found; x++) {
            if (format == gxRASTERFORMAT8888) {
                found = row[4 * x + 3] < kOpaque;
            } else {
                const GxUInt16 p = static_cast<GxUInt16>(row[2 * x] | (row[2 * x + 1] << 8));
                found = format == gxRASTERFORMAT4444 ? (p & 0xF000) != 0xF000 : (p & 0x8000) == 0;
            }
        }
    }
    GxRasterUnlock(raster);
    return found;
}

bool AlphaInPalette(GxRaster* raster, GxInt32 entries)
{
    GxUInt8* palette = GxRasterLockPalette(raster, gxRASTERLOCKREAD);
    if (!palette)
        return false;
    bool found = false;
    for (GxInt32 i = 0; i < entries && !found; i++)
        found = palette[4 * i + 3] < kOpaque;
    GxRasterUnlockPalette(raster);
    return found;
}

bool TextureHasAlpha(GxTexture* texture)
{
    GxRaster* raster = texture ? GxTextureGetRaster(texture) : nullptr;
    if (!raster)
        return false;
    const GxInt32 word = GxRasterGetFormat(raster);
    const GxInt32 pixel = word & gxRASTERFORMATPIXELFORMATMASK;
    if (pixel != gxRASTERFORMAT8888 && pixel != gxRASTERFORMAT4444 && pixel != gxRASTERFORMAT1555)
        return false;
    if (word & gxRASTERFORMATPAL8)
        return AlphaInPalette(raster, 256);
    if (word & gxRASTERFORMATPAL4)
        return AlphaInPalette(raster, 16);
    return AlphaInPixels(raster, pixel);
}

// The registry an atomic's model keeps, through the clump extension.
CFerroxWorldRegistry* RegistryOf(GxAtomic* atomic)
{
    CFerroxComposite* model = atomic->clump ? GetClumpComposite(atomic->clump) : nullptr;
    return model ? model->GetWorldRegistry() : nullptr;
}

// ---- World access for the models ----

GxWorld* AccessGraphicsWorld(CFerroxWorld* world) { return world->GetGraphicsWorld(); }
CFerroxWorldRegistry* AccessRegistry(CFerroxWorld* world) { return world->GetRegistry(); }
void AccessRegister(CFerroxWorldRegistry* registry, CFerroxComposite* model) { registry->Register(model); }
void AccessUnregister(CFerroxWorldRegistry* registry, CFerroxComposite* model) { registry->Unregister(model); }

void InstallWorldAccess()
{
    FerroxWorldAccess& access = FerroxGetWorldAccess();
    access.graphicsWorld = AccessGraphicsWorld;
    access.registry = AccessRegistry;
    access.registerModel = AccessRegister;
    access.unregisterModel = AccessUnregister;
}

}  // namespace

// ---- Registry ----

CFerroxWorldRegistry::CFerroxWorldRegistry() {}

CFerroxWorldRegistry::~CFerroxWorldRegistry()
{
    // Atomics still carrying the queueing callback must not reach a freed registry.
    for (const auto& saved : m_saved)
        GxAtomicSetRenderCallBack(saved.first, saved.second);
}

bool CFerroxWorldRegistry::IsTranslucent(GxAtomic* atomic)
{
    GxGeometry* geometry = atomic ? atomic->geometry : nullptr;
    if (!geometry)
        return false;
    if ((geometry->flags & gxGEOMETRYPRELIT) && geometry->preLitLum) {
        for (GxInt32 i = 0; i < geometry->numVertices; i++) {
            if (geometry->preLitLum[i].alpha < kOpaque)
                return true;
        }
    }
    for (GxInt32 m = 0; m < geometry->matList.numMaterials; m++) {
        GxMaterial* material = geometry->matList.materials[m];
        if (material && (material->color.alpha < kOpaque || TextureHasAlpha(material->texture)))
            return true;
    }
    return false;
}

void CFerroxWorldRegistry::Register(CFerroxComposite* model)
{
    if (!model)
        return;
    if (std::find(m_models.begin(), m_models.end(), model) == m_models.end())
        m_models.push_back(model);
    for (GxClump* clump : model->GetClumps()) {
        SetClumpComposite(clump, model);
        FerroxForEachAtomic(clump, [this](GxAtomic* atomic) {
            if (m_saved.count(atomic) || !IsTranslucent(atomic))
                return;
            m_saved[atomic] = atomic->renderCallBack;
            GxAtomicSetRenderCallBack(atomic, QueueRenderCallback);
        });
    }
    if (model->GetClump() && GetClumpComposite(model->GetClump()) != model)
        SetClumpComposite(model->GetClump(), model);
}

void CFerroxWorldRegistry::Unregister(CFerroxComposite* model)
{
    if (!model)
        return;
    m_models.erase(std::remove(m_models.begin(), m_models.end(), model), m_models.end());
    for (GxClump* clump : model->GetClumps()) {
        FerroxForEachAtomic(clump, [this](GxAtomic* atomic) {
            m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                         [atomic](const FerroxQueuedAtomic& q) { return q.atomic == atomic; }),
                          m_queue.end());
            auto saved = m_saved.find(atomic);
            if (saved == m_saved.end())
                return;
            GxAtomicSetRenderCallBack(atomic, saved->second);
            m_saved.erase(saved);
        });
    }
}

void CFerroxWorldRegistry::Queue(GxAtomic* atomic, float distanceSquared)
{
    auto saved = m_saved.find(atomic);
    const GxAtomicCallBackRender render =
        saved != m_saved.end() && saved->second ? saved->second : GxAtomicDefaultRenderCallback;
    // Before the first entry that is nearer: the queue runs farthest first.
    auto at = std::find_if(m_queue.begin(), m_queue.end(), [distanceSquared](const FerroxQueuedAtomic& q) {
        return q.distanceSquared < distanceSquared;
    });
    m_queue.insert(at, FerroxQueuedAtomic{atomic, distanceSquared, render});
}

GxAtomic* CFerroxWorldRegistry::QueueRenderCallback(GxAtomic* atomic)
{
    CFerroxWorldRegistry* registry = RegistryOf(atomic);
    if (!registry)
        return GxAtomicDefaultRenderCallback(atomic);
    const GxCamera* camera = GxEngineInstance ? GxEngineInstance->curCamera : nullptr;
    GxFrame* frame = camera ? GxCameraGetFrame(camera) : nullptr;
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(atomic);
    float distance = 0.0f;
    if (frame && sphere) {
        const GxV3d& eye = GxFrameGetWorldMatrix(frame)->pos;
        const GxV3d d = {sphere->center.x - eye.x, sphere->center.y - eye.y, sphere->center.z - eye.z};
        distance = d.x * d.x + d.y * d.y + d.z * d.z;
    }
    registry->Queue(atomic, distance);
    return atomic;
}

void CFerroxWorldRegistry::FlushTranslucent()
{
    // Taken first: a callback that queues again lands in the next frame's queue.
    std::vector<FerroxQueuedAtomic> queue;
    queue.swap(m_queue);
    for (const FerroxQueuedAtomic& entry : queue)
        entry.render(entry.atomic);
}

// ---- Loading ----

CFerroxWorld::CFerroxWorld() : m_pWorld(nullptr)
{
    InstallWorldAccess();
    CFerroxWorld::Init();
}

CFerroxWorld::~CFerroxWorld() { CFerroxWorld::Release(); }

void CFerroxWorld::Init()
{
    m_pRegistry = nullptr;
    m_staticObjects.clear();
    m_pModelPool = nullptr;
    m_pAnimPool = nullptr;
    m_animTextures.clear();
    m_animTags.clear();
    m_pWorld = nullptr;
    std::memset(m_levelData, 0, sizeof(m_levelData));
    m_pSkyBox = nullptr;
    m_pObjects = nullptr;
    m_splines.clear();
    m_assetSets.clear();
    m_lights.clear();
    m_pTexDictionary = nullptr;
}

std::string CFerroxWorld::AnimTexturePath(const char* modelName, const char* frameTag)
{
    const std::string name = modelName ? modelName : "";
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    std::string tag = frameTag ? frameTag : "";
    tag.erase(tag.size() < kAnimTagSuffix ? 0 : tag.size() - kAnimTagSuffix);
    return folder + kAniFolder + tag + kAniExtension;
}

std::vector<CFerroxSpline*> CFerroxWorld::GetSplines() const
{
    std::vector<CFerroxSpline*> splines;
    for (const std::unique_ptr<CFerroxSpline>& spline : m_splines)
        splines.push_back(spline.get());
    return splines;
}

int CFerroxWorld::LoadFile(const char* fileName)
{
    m_pTexDictionary = std::make_unique<CFerroxTexDictionary>();
    CFerroxStream<CFerroxWorld> stream;
    if (!fileName || !stream.Read(fileName, &CFerroxWorld::LoadChunk))
        return 0;
    stream.Process(this);
    return m_pWorld ? 1 : 0;
}

int CFerroxWorld::LoadChunk(CFerroxStream<CFerroxWorld>* stream)
{
    GxStream* body = stream ? stream->GetStream() : nullptr;
    if (!body)
        return 0;
    const char* group = stream->GetGroupName();
    switch (stream->GetChunkHeader().type) {
    case gxID_WORLD:
        // A later world chunk replaces an earlier one; nothing has joined the earlier one yet.
        if (m_pWorld)
            GxWorldDestroy(m_pWorld);
        m_pWorld = GxWorldStreamRead(body);
        return m_pWorld ? 1 : 0;
    case kFerroxChunkSpline: {
        GxSpline* read = GxSplineStreamRead(body);
        std::unique_ptr<CFerroxSpline> spline = read ? std::make_unique<CFerroxSpline>() : nullptr;
        if (spline && spline->Attach(read, group)) {
            m_splines.push_back(std::move(spline));
        } else if (read) {
            GxSplineDestroy(read);
        }
        return 1;
    }
    case kFerroxChunkClump: {
        const bool sky = std::strcmp(group, kFerroxSkyGroup) == 0 && !m_pSkyBox;
        const bool objects = std::strcmp(group, kFerroxObjectsGroup) == 0 && !m_pObjects;
        if (!sky && !objects)
            return 1;
        auto model = std::make_unique<CFerroxComposite>();
        const FerroxLODSetup setup = {group, body, nullptr, 0, nullptr, nullptr};
        if (!model->SetupLOD(&setup))
            return 1;
        model->CollectAnimatedMaterials(model->GetClump());
        (sky ? m_pSkyBox : m_pObjects) = std::move(model);
        return 1;
    }
    case kFerroxChunkImageDictionary:
        if (m_pTexDictionary && m_pTexDictionary->IsEmpty() && m_pTexDictionary->ReadImagesFromStream(body))
            m_pTexDictionary->MakeCurrent();
        return 1;
    default:
        return 1;
    }
}

// ---- Placeholders and objects ----

int CFerroxWorld::ProcessPlaceholder(const char*, int, const GxV3d*) { return 1; }

void CFerroxWorld::MoveLights(GxClump* clump)
{
    std::vector<GxLight*> lights;
    GxClumpForAllLights(
        clump,
        [](GxLight* light, void* data) {
            static_cast<std::vector<GxLight*>*>(data)->push_back(light);
            return light;
        },
        &lights);
    for (GxLight* light : lights) {
        GxFrame* from = static_cast<GxFrame*>(light->object.object.parent);
        // A copy of its frames of its own, as the model, whose frames they are, is deleted after the set-up.
        GxFrame* frame = from ? GxFrameCloneHierarchy(from) : nullptr;
        if (!frame)
            continue;
        GxClumpRemoveLight(clump, light);
        GxLightSetFrame(light, frame);
        if (m_pWorld)
            GxWorldAddLight(m_pWorld, light);
        m_lights.push_back(light);
    }
}

void CFerroxWorld::SetupAnimTextures(CFerroxObject* object)
{
    CFerroxComposite* model = object ? object->GetModel() : nullptr;
    if (!model)
        return;
    std::vector<GxFrame*> frames;
    object->AttachTo(&frames);
    for (GxFrame* frame : frames) {
        const char* tag = FerroxFrameTag(frame);
        if (!tag || std::find(m_animTags.begin(), m_animTags.end(), tag) != m_animTags.end())
            continue;
        // The texture of the first textured material of the frame's atomics is the one animated.
        GxTexture** slot = nullptr;
        for (GxClump* clump : model->GetClumps()) {
            FerroxForEachAtomic(clump, [frame, &slot](GxAtomic* atomic) {
                if (slot || FrameOf(atomic) != frame || !atomic->geometry)
                    return;
                const GxMaterialList& list = atomic->geometry->matList;
                for (GxInt32 m = 0; m < list.numMaterials && !slot; m++) {
                    if (list.materials[m] && list.materials[m]->texture)
                        slot = &list.materials[m]->texture;
                }
            });
        }
        auto anim = std::make_unique<CFerroxAnimTexture>();
        anim->Load(AnimTexturePath(model->GetName(), tag).c_str(), slot);
        m_animTextures.push_back(std::move(anim));
        m_animTags.push_back(tag);
    }
}

void CFerroxWorld::PlaceObjects(const char* fileName, const GxV3d* position)
{
    CFerroxAssetLoaderHlpr loader;
    loader.SetTarget(m_pModelPool.get(), m_pAnimPool.get(), fileName);
    CFerroxStream<CFerroxAssetLoaderHlpr> stream;
    if (!stream.Read(fileName, &CFerroxAssetLoaderHlpr::LoadChunk))
        return;
    stream.Process(&loader);
    loader.GroupAssets();
    // The loader hands its sets over: the world keeps each beside the object made from it.
    for (std::unique_ptr<CFerroxAssetSet>& owned : loader.TakeAssetSets()) {
        CFerroxAssetSet* set = owned.get();
        m_assetSets.push_back(std::move(owned));
        auto object = std::make_unique<CFerroxObject>();
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = set;
        descriptor.modelMode = kModelClone;
        object->Setup(&descriptor);
        object->Translate(position, gxCOMBINEREPLACE);
        object->DisableCollision();
        SetupAnimTextures(object.get());
        m_staticObjects.push_back(std::move(object));
    }
}

// ---- Frame ----

void* CFerroxWorld::GetLevelData() { return m_levelData; }

GxWorld* CFerroxWorld::GetGraphicsWorld() { return m_pWorld; }

void CFerroxWorld::Update(float dt)
{
    for (const std::unique_ptr<CFerroxObject>& object : m_staticObjects)
        object->Update(dt);
    for (const std::unique_ptr<CFerroxAnimTexture>& anim : m_animTextures)
        anim->Update(dt);
    if (m_pSkyBox)
        m_pSkyBox->AdvanceAnimation(dt);
}

void CFerroxWorld::SetRenderStates()
{
    GxRenderStateSet(gxRENDERSTATECULLMODE, State(kCullBack));
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, State(1));
    GxRenderStateSet(gxRENDERSTATESRCBLEND, State(kBlendSourceAlpha));
    GxRenderStateSet(gxRENDERSTATEDESTBLEND, State(kBlendInverseSourceAlpha));
    GxRenderStateSet(gxRENDERSTATEZTESTENABLE, State(1));
    GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, State(1));
    GxRenderStateSet(gxRENDERSTATEFOGENABLE, State(1));
    GxRenderStateSet(gxRENDERSTATEFOGTYPE, State(kFogLinear));
    GxRenderStateSet(gxRENDERSTATEFOGCOLOR, State(kFogColour));
}

void CFerroxWorld::RenderSkyBox(GxCamera* camera)
{
    GxRenderStateSet(gxRENDERSTATETEXTURERASTER, nullptr);
    GxRenderStateSet(gxRENDERSTATECULLMODE, State(kCullBack));
    GxRenderStateSet(gxRENDERSTATESHADEMODE, State(kShadeGouraud));
    GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, State(kAddressWrap));
    GxClump* clump = m_pSkyBox ? m_pSkyBox->GetClump() : nullptr;
    GxFrame* eye = camera ? GxCameraGetFrame(camera) : nullptr;
    if (clump && eye) {
        GxRenderStateSet(gxRENDERSTATEFOGENABLE, State(0));
        GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, State(0));
        m_pSkyBox->Translate(&GxFrameGetWorldMatrix(eye)->pos, gxCOMBINEREPLACE);
        GxClumpRender(clump);
    }
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, State(1));
}

void CFerroxWorld::Render(GxCamera* camera)
{
    if (!m_pWorld)
        return;
    m_pWorld->renderOrder = gxWORLDRENDERBACKTOFRONT;
    RenderSkyBox(camera);
    SetRenderStates();
    GxWorldRender(m_pWorld);
}

void CFerroxWorld::RenderSecondPass()
{
    if (m_pRegistry)
        m_pRegistry->FlushTranslucent();
}

// ---- Lifecycle ----

int CFerroxWorld::Create(const char* fileName, GxCamera* camera)
{
    // Whatever a subclass's Release does, the first level's world is freed before the second is made.
    if (m_pWorld || m_pRegistry)
        CFerroxWorld::Release();
    m_pAnimPool = std::make_unique<FerroxAnimPool>();
    m_pModelPool = std::make_unique<FerroxModelPool>();
    m_pRegistry = std::make_unique<CFerroxWorldRegistry>();
    SetRenderStates();
    if (!fileName) {
        const GxBBox box = {{kFerroxEmptyWorldHalf, kFerroxEmptyWorldHalf, kFerroxEmptyWorldHalf},
                            {-kFerroxEmptyWorldHalf, -kFerroxEmptyWorldHalf, -kFerroxEmptyWorldHalf}};
        m_pWorld = GxWorldCreate(&box);
    } else {
        LoadFile(fileName);
        SetName(fileName);
    }
    if (!m_pWorld)
        return 0;
    // A level may be made before any camera exists: the camera joins the world later.
    if (camera)
        GxWorldAddCamera(m_pWorld, camera);
    if (m_pObjects) {
        GxClump* clump = m_pObjects->GetClump();
        MoveLights(clump);
        struct Placeholder {
            GxAtomic* atomic;
            std::string text;
            GxV3d position;
        };
        std::vector<Placeholder> placeholders;
        FerroxForEachAtomic(clump, [&placeholders](GxAtomic* atomic) {
            GxFrame* frame = FrameOf(atomic);
            const char* text = FerroxFrameTag(frame);
            if (text)
                placeholders.push_back({atomic, text, GxFrameGetWorldMatrix(frame)->pos});
        });
        for (GxInt32 mode = kPlaceObjectsMode; mode <= kPlaceholderModes; mode++) {
            for (Placeholder& p : placeholders) {
                const int result = ProcessPlaceholder(p.text.c_str(), mode, &p.position);
                if (mode != kPlaceObjectsMode || result != 1 || p.text.find(kModelFileMark) == std::string::npos)
                    continue;
                PlaceObjects(p.text.c_str(), &p.position);
                p.atomic->object.object.flags &= static_cast<GxUInt8>(~gxATOMICRENDER);
            }
        }
        ProcessSplines();
        m_pObjects.reset();
    }
    m_splines.clear();
    for (const std::unique_ptr<CFerroxObject>& object : m_staticObjects)
        object->AddToWorld(this);
    return 1;
}

void CFerroxWorld::Release()
{
    for (GxLight* light : m_lights) {
        if (GxWorld* world = GxLightGetWorld(light))
            GxWorldRemoveLight(world, light);
        GxFrame* frame = static_cast<GxFrame*>(light->object.object.parent);
        GxLightSetFrame(light, nullptr);
        if (frame)
            GxFrameDestroyHierarchy(frame);
        GxLightDestroy(light);
    }
    // Before the models, first to last: each gives its texture back its own picture.
    for (std::unique_ptr<CFerroxAnimTexture>& anim : m_animTextures)
        anim.reset();
    if (m_pSkyBox)
        m_pSkyBox->RemoveFromWorld();
    m_pSkyBox.reset();
    m_pObjects.reset();
    for (std::unique_ptr<CFerroxObject>& object : m_staticObjects) {
        object->RemoveFromWorld();
        object.reset();
    }
    m_pRegistry.reset();
    m_splines.clear();
    if (m_pWorld) {
        if (GxEngineInstance && GxEngineInstance->curWorld == m_pWorld)
            GxEngineInstance->curWorld = nullptr;
        GxWorldDestroy(m_pWorld);
    }
    m_pModelPool.reset();
    m_pAnimPool.reset();
    for (std::unique_ptr<CFerroxAssetSet>& set : m_assetSets)
        set.reset();
    m_pTexDictionary.reset();
    // This level's own fields, whatever a derived world's Init does: none of them may point at what was freed.
    CFerroxWorld::Init();
}
