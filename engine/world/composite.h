// The composite model of a world object: one graphics clump with levels of detail, texture-coordinate
// animation, named parts, tints, geometry scaling and membership in a world.
//
// Parts and animated-texture frames are named by the first text of their frame's first user-data array.
// Ownership: a model destroys the clumps it made when released, after leaving its world and its registry (so
// a registry must outlive the models in it, or drop them first). A model in an asset pool is shared by the
// objects that use it and released only by its pool. One thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/data/root.h"
#include "engine/world/asset.h"
#include "gfx/world/clump.h"

struct GxWorld;
struct GxMaterial;
struct GxTOCEntry;
class CFerroxObject;
class CFerroxWorld;
class CFerroxWorldRegistry;

// How a model reaches the world it joins. The world module installs it; without it a model joins no
// registry and no graphics world.
struct FerroxWorldAccess {
    GxWorld* (*graphicsWorld)(CFerroxWorld* world);
    CFerroxWorldRegistry* (*registry)(CFerroxWorld* world);
    void (*registerModel)(CFerroxWorldRegistry* registry, CFerroxComposite* model);
    void (*unregisterModel)(CFerroxWorldRegistry* registry, CFerroxComposite* model);
};
FerroxWorldAccess& FerroxGetWorldAccess();

// An atomic callback that stops the atomic being drawn (dummies that only mark a point of the model); returns
// the atomic, so that a clump walk goes on.
GxAtomic* HideAtomicCallback(GxAtomic* atomic, void* data);

// What SetupLOD builds a model from: a clump chunk body on a stream, or copies of the pooled source models.
struct FerroxLODSetup {
    const char* name;
    GxStream* stream;                                // null: copy the sources
    const std::vector<FerroxModelRecord*>* sources;  // null: nothing to copy
    int32_t clone;                                   // 1: copies share geometry; 0: full copies
    GxAtomicCallBackRender renderCallback;           // null: the graphics core's default
    void* owner;                                     // owner word of the model's level clumps
};

// What Load reads: the model's name, then the model file.
struct FerroxModelFileDescriptor {
    const char* name;
    const char* fileName;
};

// ORed into the geometry flags of every atomic by OrGeometryFlags.
struct FerroxGeometryFlags {
    GxUInt32 flags;
};

// Factors of ScaleGeometry: x and z of every vertex, then u and v of every texture coordinate.
struct FerroxScaleRecord {
    float x;
    float z;
    float u;
    float v;
};

// One entry of a tint table: the first entry (searched from the last) whose name occurs in a material's
// user-data text gives its colour.
struct FerroxTint {
    std::string name;
    GxRGBA colour;
};

// Distances along the camera's view that switch to levels 1 and 2.
constexpr float kFerroxLODLevel1Depth = 8.0f;
constexpr float kFerroxLODLevel2Depth = 10.0f;

class CFerroxComposite : public CFerroxBase {
public:
    CFerroxComposite();
    void Init() override;
    void Release() override;
    ~CFerroxComposite() override;

    virtual void SetClumpComposite(CFerroxComposite* composite);
    virtual GxClump* GetClump();
    virtual int SetOwner(CFerroxObject* owner);
    virtual CFerroxObject* GetOwner();
    // 1 when the graphics core refused the callback.
    virtual int SetClumpCallback(GxClumpCallBack callback);
    virtual GxAtomic* FindPart(const char* name);
    virtual GxAtomic* ShowPartVariant(const char* name, GxUInt8 mask, int number);
    virtual void OrGeometryFlags(const FerroxGeometryFlags* record);
    virtual CFerroxWorldRegistry* GetWorldRegistry();
    virtual void SetWorldRegistry(CFerroxWorldRegistry* registry);
    virtual GxFrame* GetFrame();
    // Each reads the next chunk header and, for a dictionary of its type, the dictionary, made current.
    // The model owns what it read. 1 when a dictionary was read.
    virtual int ReadTexDictionary(GxStream* stream);
    virtual int ReadImageDictionary(GxStream* stream);
    virtual void SetClumpOwner(CFerroxObject* owner);
    virtual void Translate(const GxV3d* vector, int combine);
    virtual void Rotate(const GxV3d* axis, float degrees, int combine);
    // Virtual slot 22, between Rotate and Load: reserved, does nothing.
    virtual void ReservedSlot22() {}
    // Reads a model file through its table of contents; 1 when a clump was read.
    virtual int Load(const FerroxModelFileDescriptor& descriptor);
    virtual void AdvanceAnimation(float dt);
    virtual void AddToWorld(CFerroxWorld* world);
    virtual void RemoveFromWorld();
    virtual GxWorld* GetWorld();
    virtual GxV3d* GetPosition();
    // 1 when the model has a clump afterwards.
    virtual int SetupLOD(const FerroxLODSetup* setup);

    void ScaleGeometry(const FerroxScaleRecord* record);
    void TintMaterials(const std::vector<FerroxTint>& table, const GxRGBA* defaultColour, GxAtomic* part);
    void SetMaterialColour(const GxRGBA* colour);
    // Gathers the frames whose tag contains "ANIM" into `frames` (the target's list).
    int AttachTo(std::vector<GxFrame*>* frames, const char* match = "ANIM");
    const GxV3d* GetWorldPosition();

    // The level callback: level by the depth of the atomic along the game camera's view.
    static GxInt32 LODSelect(GxAtomic* atomic);
    // Level for a depth along the view; a depth that is not a number draws the lowest detail.
    static GxInt32 LevelForDepth(float depth);

    GxAtomic* GetLODAtomic() const { return m_pLODAtomic; }
    int32_t GetLevelCount() const { return m_levelCount; }
    const std::vector<GxClump*>& GetClumps() const { return m_clumps; }
    const std::vector<GxMaterial*>& GetAnimatedMaterials() const { return m_animatedMaterials; }
    GxAtomicCallBackRender GetRenderCallback() const { return m_renderCallback; }
    float GetYaw() const { return m_yaw; }
    std::vector<void*>& GetPointers() { return m_pointers; }

    // Lists every material of the clump's atomics that has a texture-coordinate animation, each once.
    void CollectAnimatedMaterials(GxClump* clump);

private:
    // The file's byte ranges whose chunks Load has read.
    struct ReadSpans;
    void LoadEntry(const char* fileName, const GxTOCEntry* entry, ReadSpans* spans);
    // Keeps a dictionary read for the model and makes it current; 1 when there was one.
    int KeepDictionary(GxTexDictionary* dictionary);
    int SetupCopies(const FerroxLODSetup* setup);
    int SetupLevels(const FerroxLODSetup* setup);
    void DestroyOwnedDictionaries();

    std::vector<GxClump*> m_clumps;
    CFerroxWorldRegistry* m_pWorldRegistry;
    float m_yaw;
    GxAtomic* m_pLODAtomic;
    int32_t m_levelCount;
    CFerroxObject* m_pOwner;
    std::vector<void*> m_pointers;
    std::vector<GxMaterial*> m_animatedMaterials;
    GxAtomicCallBackRender m_renderCallback;
    GxClump* m_pClump;
    GxWorld* m_pWorld;
    // Dictionaries the model read, destroyed with it.
    std::vector<GxTexDictionary*> m_dictionaries;
};
