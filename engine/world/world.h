// The world: a loaded level scene (the graphics world, its sky box, lights, the static objects made at its
// placeholders, animated textures, and the pools its models and animations are shared through), and the
// registry that keeps the models in the world and draws their translucent atomics after the rest.
//
// Ownership: the world owns everything it loaded and frees it in Release, animated textures before the
// models whose textures they change. One thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/root.h"
#include "engine/world/asset.h"
#include "gfx/world/clump.h"

struct GxCamera;
struct GxLight;
struct GxWorld;
class CFerroxAnimTexture;
class CFerroxComposite;
class CFerroxObject;
class CFerroxSpline;
class CFerroxTexDictionary;

// Bounds of a world made without a file: this far from the origin on every axis.
constexpr float kFerroxEmptyWorldHalf = 100.0f;
// Groups of a level file whose first clump becomes the sky box and the objects model.
constexpr const char* kFerroxSkyGroup = "skybox";
constexpr const char* kFerroxObjectsGroup = "objects";
// Frames whose tag holds this carry an animated texture.
constexpr const char* kFerroxAnimTag = "ANIM";

// A translucent atomic waiting for the end of the world pass, with its squared distance from the camera.
struct FerroxQueuedAtomic {
    GxAtomic* atomic;
    float distanceSquared;
    GxAtomicCallBackRender render;  // what draws it at the flush
};

class CFerroxWorldRegistry {
public:
    CFerroxWorldRegistry();
    CFerroxWorldRegistry(const CFerroxWorldRegistry&) = delete;
    CFerroxWorldRegistry& operator=(const CFerroxWorldRegistry&) = delete;
    virtual ~CFerroxWorldRegistry();

    // Keeps the model and gives each of its translucent atomics the queueing render callback.
    virtual void Register(CFerroxComposite* model);
    // Drops the model's queued atomics and gives its atomics back the callbacks they had.
    virtual void Unregister(CFerroxComposite* model);
    // Draws the queued atomics farthest first, so each blends over what lies behind it, and empties the queue.
    virtual void FlushTranslucent();

    // Queues an atomic by its squared distance; the queue stays ordered farthest first.
    void Queue(GxAtomic* atomic, float distanceSquared);
    const std::vector<FerroxQueuedAtomic>& GetQueue() const { return m_queue; }
    const std::vector<CFerroxComposite*>& GetModels() const { return m_models; }

    // Prelit colours, a material colour or a texture with alpha below 255.
    static bool IsTranslucent(GxAtomic* atomic);
    // The render callback of translucent atomics: queues the atomic with its registry instead of drawing it.
    static GxAtomic* QueueRenderCallback(GxAtomic* atomic);

private:
    std::vector<CFerroxComposite*> m_models;
    std::vector<FerroxQueuedAtomic> m_queue;
    std::map<GxAtomic*, GxAtomicCallBackRender> m_saved;  // callbacks replaced by the queueing one
};

class CFerroxWorld : public CFerroxBase {
public:
    CFerroxWorld();
    CFerroxWorld(const CFerroxWorld&) = delete;
    CFerroxWorld& operator=(const CFerroxWorld&) = delete;
    void Init() override;
    void Release() override;
    ~CFerroxWorld() override;

    // Reads the level file; 1 when it held a graphics world.
    virtual int LoadFile(const char* fileName);
    // The chunk handler of LoadFile; 1 to go on.
    virtual int LoadChunk(CFerroxStream<CFerroxWorld>* stream);
    // A reserved slot between the chunk handler and the placeholders: it returns 0.
    virtual int Reserved1(void*) { return 0; }
    // Decides for one placeholder of the objects model; 1: a model file to place when the text names one.
    virtual int ProcessPlaceholder(const char* text, int mode, const GxV3d* position);
    // Runs after the placeholders, while the level's splines exist; nothing here.
    virtual int ProcessSplines() { return 0; }
    virtual void* GetLevelData();
    virtual GxWorld* GetGraphicsWorld();
    virtual void Update(float dt);
    virtual void SetRenderStates();
    virtual void RenderSkyBox(GxCamera* camera);
    // The sky box and the graphics world; translucent atomics of registered models are only queued.
    virtual void Render(GxCamera* camera);
    // The second pass: the translucent atomics queued by Render, nearest first. Every Render needs one.
    void RenderSecondPass();
    // Builds the level from the file (an empty world without one) with the camera in it (none when null).
    // A world made before is released first. 1 when built.
    virtual int Create(const char* fileName, GxCamera* camera);

    CFerroxWorldRegistry* GetRegistry() const { return m_pRegistry.get(); }
    CFerroxComposite* GetSkyBox() const { return m_pSkyBox.get(); }
    CFerroxComposite* GetObjectsModel() const { return m_pObjects.get(); }
    const std::vector<std::unique_ptr<CFerroxObject>>& GetStaticObjects() const { return m_staticObjects; }
    const std::vector<std::unique_ptr<CFerroxAnimTexture>>& GetAnimTextures() const { return m_animTextures; }
    // The level's splines, while Create runs.
    std::vector<CFerroxSpline*> GetSplines() const;
    const std::vector<GxLight*>& GetLights() const { return m_lights; }
    FerroxModelPool* GetModelPool() const { return m_pModelPool.get(); }
    FerroxAnimPool* GetAnimPool() const { return m_pAnimPool.get(); }

    // The description path of an animated texture: the model's folder, "ani/", the frame's tag less its last
    // two characters, ".ini".
    static std::string AnimTexturePath(const char* modelName, const char* frameTag);

protected:
    // Loads a model file named by a placeholder as static objects standing at the position.
    void PlaceObjects(const char* fileName, const GxV3d* position);
    // Makes the animated textures of an object's tagged frames that the world does not know yet.
    void SetupAnimTextures(CFerroxObject* object);
    void MoveLights(GxClump* clump);

    std::unique_ptr<CFerroxWorldRegistry> m_pRegistry;
    std::vector<std::unique_ptr<CFerroxObject>> m_staticObjects;
    std::unique_ptr<FerroxModelPool> m_pModelPool;
    std::unique_ptr<FerroxAnimPool> m_pAnimPool;
    std::vector<std::unique_ptr<CFerroxAnimTexture>> m_animTextures;
    std::vector<std::string> m_animTags;  // the frame tag each animated texture was made for
    GxWorld* m_pWorld;
    uint8_t m_levelData[64];
    std::unique_ptr<CFerroxComposite> m_pSkyBox;
    std::unique_ptr<CFerroxComposite> m_pObjects;
    std::vector<std::unique_ptr<CFerroxSpline>> m_splines;
    std::vector<std::unique_ptr<CFerroxAssetSet>> m_assetSets;
    std::vector<GxLight*> m_lights;
    std::unique_ptr<CFerroxTexDictionary> m_pTexDictionary;
};
