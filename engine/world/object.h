// World objects: a model placed in a world with a yaw, an animation and its timer (CFerroxObject), and
// objects that write and read their state as text lines (CFerroxIOObject).
//
// Ownership: an object owns a model it copied and returns a shared one to its pool's count on release;
// it holds one count on every animation record it uses. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/data/root.h"
#include "engine/world/asset.h"
#include "gfx/world/clump.h"

struct GxAnimHierarchy;
struct GxAnimInterpolator;
class CFerroxComposite;
class CFerroxAssetSet;
class CFerroxWorld;
class CFerroxFile;
class CFerroxBlockGrid;

// Model modes of a creation descriptor.
enum FerroxModelMode : int32_t {
    FERROX_MODEL_SHARED = 0,  // the pooled model itself
    FERROX_MODEL_CLONE = 1,   // an own copy sharing the pooled geometry
    FERROX_MODEL_COPY = 2,    // an own copy with its own geometry and materials (any other non-zero mode too)
};

// The record a factory builds an object from; words nobody fills stay zero.
struct FerroxObjectDescriptor {
    CFerroxAssetSet* assetSet;              // word 0
    CFerroxBase* factory;                   // word 1: named on the object's second state line
    int32_t modelMode;                      // word 2
    void* templateRecord;                   // word 3: the object template, for the game
    CFerroxBlockGrid* grid;                 // word 4: the grid characters walk on
    void* spare[3];                         // words 5 to 7
    GxAtomicCallBackRender renderCallback;  // word 8: null for the graphics core's default
    void* modelOwner;                       // word 9: owner word of the model's level clumps
    void* floorObject;                      // last word
};

// A part of the model and what to do with its materials: the callback runs over every material of the
// part's geometry, with the data.
struct FerroxPartData {
    const char* name;
    GxAtomic* part;  // null: found on the model by name
    GxMaterialCallBack materialCallback;
    void* data;
};

class CFerroxObject : public CFerroxBase {
public:
    CFerroxObject();
    void Init() override;
    void Release() override;
    ~CFerroxObject() override;

    virtual void PlayAnimation(const char* name, int loop, float duration);
    virtual void RestartAnimation();
    virtual int IsAnimationLooped();
    virtual int IsAnimationFinished();
    virtual void SetAnimationFinished(int value);
    virtual void AddToWorld(CFerroxWorld* world);
    virtual void RemoveFromWorld();
    virtual void Translate(const GxV3d* vector, int combine);
    virtual void ApplyYaw();
    virtual void FaceTowards(const GxV3d* point);
    virtual float DistanceSquaredTo(const GxV3d* point);
    virtual void RotateYaw(const GxV3d* axis, float degrees, int combine);
    virtual void Update(float dt);
    // Null without a model.
    virtual GxV3d* GetPosition();
    // The three angles in degrees; the second is the yaw.
    virtual float* GetRotation();
    virtual void DrawDebugInfo() {}
    // Non-zero when the model's clump was drawn.
    virtual int Render();
    virtual void Setup(const FerroxObjectDescriptor* descriptor);

    int AttachTo(std::vector<GxFrame*>* frames);
    void DisableCollision();
    void DisableRender();
    // Shows variant rand() % (count - 1) + 1 of the numbered part and hides the others; the variant shown
    // becomes the material data's part and its materials go through the data's callback.
    GxAtomic* ChooseRandomPart(const char* name, int count, FerroxPartData* materialData);
    void ApplyPartMaterials(FerroxPartData* partData);

    // The interpolator's loop callback, with the object as data.
    static GxAnimInterpolator* OnAnimationEnd(GxAnimInterpolator* interpolator, void* object);
    // The model clump's callback while it is drawn: advances the owner's skeleton by its last time step.
    static GxClump* AdvanceHierarchyCallback(GxClump* clump, void* data);

    CFerroxComposite* GetModel() const { return m_pModel; }
    // The object an interface shows for this one: the object itself.
    CFerroxObject* GetLinkedObject() { return this; }
    float GetAnimationTimer() const { return m_animTimer; }
    void SetAnimationTimer(float seconds) { m_animTimer = seconds; }
    float GetLastTimeStep() const { return m_lastTimeStep; }
    GxAnimHierarchy* GetHierarchy() const { return m_pHierarchy; }
    CFerroxAnim* GetCurrentAnimation() const { return m_pCurrentAnim; }
    FerroxModelRecord* GetSharedModelRecord() const { return m_pSharedModel; }
    const std::vector<FerroxAnimRecord*>& GetAnimationRecords() const { return m_animations; }

    uint16_t m_valueCursor;
    int32_t m_spare[3];
    std::vector<void*> m_pointers;

protected:
    CFerroxComposite* m_pModel;  // the own model or the pooled one; null without a model
    int32_t m_animLoop;
    int32_t m_animFinished;
    float m_animTimer;
    float m_rotation[3];
    float m_lastTimeStep;
    GxAnimHierarchy* m_pHierarchy;
    CFerroxAnim* m_pCurrentAnim;
    FerroxModelRecord* m_pSharedModel;
    std::vector<FerroxAnimRecord*> m_animations;

private:
    std::unique_ptr<CFerroxComposite> m_pOwnModel;  // the copy made for this object alone, which m_pModel shows
};

class CFerroxIOObject : public CFerroxObject {
public:
    CFerroxIOObject();
    void Init() override;
    // Does nothing: only destruction returns the model.
    void Release() override {}
    ~CFerroxIOObject() override;

    void Update(float dt) override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    // Writes the model's name, the factory's name and the position-and-yaw line; 0.
    virtual int Save(CFerroxFile* file);
    // Reads the position-and-yaw line: 0, or 1 when a piece is no finite number or fewer than four are there,
    // which leaves the object as it was.
    virtual int Load(CFerroxFile* file);

    CFerroxAssetSet* GetAssetSet() const { return m_pAssetSet; }
    CFerroxBase* GetSecondLineObject() const { return m_pSecondLine; }

protected:
    CFerroxAssetSet* m_pAssetSet;
    CFerroxBase* m_pSecondLine;
};
