// World objects: set-up from asset sets, animation, motion and turning, and the text state of saved objects.
//
// Sections: lifecycle; set-up; animation; motion; parts; text state.
#include "engine/world/object.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/random.h"
#include "engine/world/clump_local.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "gfx/anim/anim.h"
#include "gfx/core/assert.h"
#include "gfx/world/clump.h"

namespace {

// The animation timer of a fresh object, in seconds.
const float kInitialAnimTimer = 10.0f;
// Degrees per radian as the yaw of FaceTowards is taken: 180 over single-precision pi.
const double kDegreesPerRadian = 57.29577791868205;
const float kFullTurn = 360.0f;
const int kYawIndex = 1;
// Flags of the atomics: tested for collision, drawn.
const GxUInt8 kCollisionFlag = 0x01;
const GxUInt8 kRenderFlag = 0x04;
// The hierarchy recomputes its frames' world matrices.
const GxInt32 kHierarchyUpdateLTMs = 0x2000;
// Numbers on the position-and-yaw line: x, y, z and the yaw.
const size_t kStateNumbers = 4;
const char kStateSeparator = ',';
const char* const kLineEnd = "\r\n";

const GxV3d kUpAxis = {0.0f, 1.0f, 0.0f};

GxAnimHierarchy* FindHierarchy(GxFrame* frame)
{
    if (!frame)
        return nullptr;
    GxAnimHierarchy* hierarchy = GxFrameGetAnimHierarchy(frame);
    for (GxFrame* child = frame->child; !hierarchy && child; child = child->next)
        hierarchy = FindHierarchy(child);
    return hierarchy;
}

void RunOverMaterials(GxAtomic* part, const FerroxPartData* data)
{
    GxGeometry* geometry = part ? part->geometry : nullptr;
    if (!geometry || !data->materialCallback)
        return;
    GxGeometryForAllMaterials(geometry, data->materialCallback, data->data);
}

}  // namespace

// ---- lifecycle ----

CFerroxObject::CFerroxObject() : m_pModel(nullptr), m_pSharedModel(nullptr) { Init(); }

CFerroxObject::~CFerroxObject()
{
    CFerroxObject::Release();
    CFerroxObject::Init();
    m_pointers.clear();
    m_animations.clear();
}

void CFerroxObject::Init()
{
    m_pModel = nullptr;
    m_valueCursor = 0;
    m_animLoop = 1;
    m_animFinished = 0;
    m_animTimer = kInitialAnimTimer;
    m_rotation[0] = m_rotation[1] = m_rotation[2] = 0.0f;
    m_lastTimeStep = 0.0f;
    m_pHierarchy = nullptr;
    m_pCurrentAnim = nullptr;
    m_spare[0] = m_spare[1] = m_spare[2] = 0;
    m_pSharedModel = nullptr;
}

void CFerroxObject::Release()
{
    if (m_pModel && m_pSharedModel) {
        GX_ASSERT(m_pSharedModel->refCount > 0, "a shared model counts every object that holds it");
        m_pSharedModel->refCount--;
        m_pModel->RemoveFromWorld();
        // The pooled model outlives this object: nothing on it may keep pointing here.
        GxClump* clump = m_pModel->GetClump();
        if (clump && GetClumpOwner(clump) == this) {
            ::SetClumpOwner(clump, nullptr);
            GxClumpSetCallback(clump, nullptr);
        }
        if (m_pHierarchy && m_pHierarchy->currentAnim && m_pHierarchy->currentAnim->pAnimLoopCallBackData == this)
            GxAnimInterpolatorSetAnimLoopCallback(m_pHierarchy->currentAnim, nullptr, nullptr);
        if (m_pModel->GetOwner() == this)
            m_pModel->SetOwner(nullptr);
    }
    m_pOwnModel.reset();
    m_pModel = nullptr;
    m_pSharedModel = nullptr;
    m_pHierarchy = nullptr;
    m_pCurrentAnim = nullptr;
    for (FerroxAnimRecord* record : m_animations) {
        GX_ASSERT(record->refCount > 0, "a shared animation counts every object that holds it");
        record->refCount--;
    }
    m_animations.clear();
}

// ---- set-up ----

void CFerroxObject::Setup(const FerroxObjectDescriptor* descriptor)
{
    CFerroxAssetSet* set = descriptor ? descriptor->assetSet : nullptr;
    if (!set)
        return;
    const std::vector<FerroxModelRecord*>& models = set->GetModels();
    if (descriptor->modelMode == FERROX_MODEL_SHARED) {
        FerroxModelRecord* record = models.empty() ? nullptr : models.front();
        if (record && record->asset) {
            record->refCount++;
            m_pSharedModel = record;
            m_pModel = record->asset;
            m_pModel->SetOwner(this);
        }
    } else {
        m_pOwnModel = std::make_unique<CFerroxComposite>();
        m_pModel = m_pOwnModel.get();
        const char* name = models.empty() || !models.front()->asset ? "" : models.front()->asset->GetName();
        const FerroxLODSetup setup = {name,
                                      nullptr,
                                      &models,
                                      descriptor->modelMode == FERROX_MODEL_CLONE ? 1 : 0,
                                      descriptor->renderCallback,
                                      descriptor->modelOwner};
        m_pModel->SetupLOD(&setup);
        m_pModel->SetOwner(this);
    }
    for (FerroxAnimRecord* record : set->GetAnimations()) {
        record->refCount++;
        m_animations.push_back(record);
    }
    if (!m_animations.empty())
        m_pCurrentAnim = m_animations.front()->asset;
    m_pHierarchy = m_pModel ? FindHierarchy(m_pModel->GetFrame()) : nullptr;
    if (!m_pHierarchy)
        return;
    m_pModel->SetClumpOwner(this);
    GxAnimHierarchy* hierarchy = m_pHierarchy;
    FerroxForEachAtomic(m_pModel->GetClump(), [hierarchy](GxAtomic* atomic) {
        if (atomic->geometry && GxSkinGeometryGetSkin(atomic->geometry))
            GxSkinAtomicSetHierarchy(atomic, hierarchy);
    });
    hierarchy->flags |= kHierarchyUpdateLTMs;
    if (m_pCurrentAnim && m_pCurrentAnim->GetAnimation() && hierarchy->currentAnim)
        GxAnimInterpolatorSetCurrentAnim(hierarchy->currentAnim, m_pCurrentAnim->GetAnimation());
    GxAnimHierarchyAttach(hierarchy);
    if (hierarchy->currentAnim)
        GxAnimInterpolatorSetAnimLoopCallback(hierarchy->currentAnim, OnAnimationEnd, this);
    m_pModel->SetClumpCallback(AdvanceHierarchyCallback);
}

GxClump* CFerroxObject::AdvanceHierarchyCallback(GxClump* clump, void*)
{
    CFerroxObject* object = GetClumpOwner(clump);
    GxAnimHierarchy* hierarchy = object ? object->m_pHierarchy : nullptr;
    if (!hierarchy || !hierarchy->currentAnim)
        return clump;
    GxAnimInterpolatorAddAnimTime(hierarchy->currentAnim, object->m_lastTimeStep);
    GxAnimHierarchyUpdateMatrices(hierarchy);
    return clump;
}

// ---- animation ----

void CFerroxObject::PlayAnimation(const char* name, int loop, float duration)
{
    m_animLoop = loop;
    m_animFinished = 0;
    GxAnimInterpolator* interpolator = m_pHierarchy ? m_pHierarchy->currentAnim : nullptr;
    if (interpolator) {
        const char* wanted = name ? name : "";
        for (FerroxAnimRecord* record : m_animations) {
            const char* animName = record->asset ? record->asset->GetName() : nullptr;
            if (!animName || !std::strstr(animName, wanted))
                continue;
            if (record->asset->GetAnimation() &&
                GxAnimInterpolatorSetCurrentAnim(interpolator, record->asset->GetAnimation()))
                m_pCurrentAnim = record->asset;
            break;
        }
    }
    if (duration > 0.0f)
        m_animTimer = duration;
    else
        m_animTimer = interpolator && interpolator->pCurrentAnim ? interpolator->pCurrentAnim->duration : 0.0f;
}

void CFerroxObject::RestartAnimation()
{
    if (m_pHierarchy && m_pHierarchy->currentAnim && m_pCurrentAnim && m_pCurrentAnim->GetAnimation())
        GxAnimInterpolatorSetCurrentAnim(m_pHierarchy->currentAnim, m_pCurrentAnim->GetAnimation());
}

GxAnimInterpolator* CFerroxObject::OnAnimationEnd(GxAnimInterpolator* interpolator, void* data)
{
    CFerroxObject* object = static_cast<CFerroxObject*>(data);
    if (!object)
        return interpolator;
    if (object->IsAnimationLooped())
        object->RestartAnimation();
    else
        object->SetAnimationFinished(1);
    return interpolator;
}

int CFerroxObject::IsAnimationLooped() { return m_animLoop; }

int CFerroxObject::IsAnimationFinished() { return m_animFinished; }

void CFerroxObject::SetAnimationFinished(int value) { m_animFinished = value; }

void CFerroxObject::Update(float dt)
{
    if (m_animTimer >= 0.0f)
        m_animTimer -= dt;
    if (m_pModel)
        m_pModel->AdvanceAnimation(dt);
    m_lastTimeStep = dt;
}

// ---- motion ----

void CFerroxObject::AddToWorld(CFerroxWorld* world)
{
    if (m_pModel)
        m_pModel->AddToWorld(world);
}

void CFerroxObject::RemoveFromWorld()
{
    if (m_pModel)
        m_pModel->RemoveFromWorld();
}

void CFerroxObject::Translate(const GxV3d* vector, int combine)
{
    if (m_pModel)
        m_pModel->Translate(vector, combine);
}

void CFerroxObject::ApplyYaw()
{
    if (m_pModel)
        m_pModel->Rotate(&kUpAxis, m_rotation[kYawIndex], 1);
}

void CFerroxObject::RotateYaw(const GxV3d* axis, float degrees, int combine)
{
    if (combine == 0) {
        m_rotation[kYawIndex] = degrees;
    } else {
        float yaw = m_rotation[kYawIndex] + degrees;
        // Wrapped once: callers turn by less than a full turn.
        if (yaw >= kFullTurn)
            yaw -= kFullTurn;
        else if (yaw < 0.0f)
            yaw += kFullTurn;
        m_rotation[kYawIndex] = yaw;
    }
    if (m_pModel)
        m_pModel->Rotate(axis, degrees, combine);
}

void CFerroxObject::FaceTowards(const GxV3d* point)
{
    const GxV3d* position = GetPosition();
    if (!point || !position)
        return;
    const GxV3d p = *position;
    const float yaw = static_cast<float>(std::atan2(point->x - p.x, point->z - p.z) * kDegreesPerRadian);
    const GxV3d back = {-p.x, -p.y, -p.z};
    Translate(&back, 0);
    RotateYaw(&kUpAxis, yaw, 0);
    Translate(&p, 2);
}

float CFerroxObject::DistanceSquaredTo(const GxV3d* point)
{
    const GxV3d* position = GetPosition();
    if (!point || !position)
        return 0.0f;
    const float dx = point->x - position->x;
    const float dy = point->y - position->y;
    const float dz = point->z - position->z;
    return dx * dx + dy * dy + dz * dz;
}

GxV3d* CFerroxObject::GetPosition() { return m_pModel ? m_pModel->GetPosition() : nullptr; }

float* CFerroxObject::GetRotation() { return m_rotation; }

int CFerroxObject::Render()
{
    GxClump* clump = m_pModel ? m_pModel->GetClump() : nullptr;
    return clump && GxClumpRender(clump) ? 1 : 0;
}

// ---- parts ----

int CFerroxObject::AttachTo(std::vector<GxFrame*>* frames) { return m_pModel ? m_pModel->AttachTo(frames) : 0; }

void CFerroxObject::DisableCollision()
{
    if (!m_pModel)
        return;
    for (GxClump* clump : m_pModel->GetClumps())
        FerroxForEachAtomic(
            clump, [](GxAtomic* atomic) { atomic->object.object.flags &= static_cast<GxUInt8>(~kCollisionFlag); });
}

void CFerroxObject::DisableRender()
{
    if (!m_pModel)
        return;
    for (GxClump* clump : m_pModel->GetClumps())
        FerroxForEachAtomic(
            clump, [](GxAtomic* atomic) { atomic->object.object.flags &= static_cast<GxUInt8>(~kRenderFlag); });
}

GxAtomic* CFerroxObject::ChooseRandomPart(const char* name, int count, FerroxPartData* materialData)
{
    // Variants are numbered from 1 to count - 1: a count of 1 leaves none to divide among.
    if (!m_pModel || count == 1)
        return nullptr;
    const int variant = FerroxRand() % (count - 1) + 1;
    GxAtomic* part = m_pModel->ShowPartVariant(name, kCollisionFlag | kRenderFlag, variant);
    if (part && materialData) {
        materialData->part = part;
        RunOverMaterials(part, materialData);
    }
    return part;
}

void CFerroxObject::ApplyPartMaterials(FerroxPartData* partData)
{
    if (!partData || !m_pModel)
        return;
    if (!partData->part)
        partData->part = m_pModel->FindPart(partData->name);
    RunOverMaterials(partData->part, partData);
}

// ---- text state ----

CFerroxIOObject::CFerroxIOObject() : m_pAssetSet(nullptr), m_pSecondLine(nullptr) { CFerroxIOObject::Init(); }

CFerroxIOObject::~CFerroxIOObject() {}

void CFerroxIOObject::Init()
{
    m_pAssetSet = nullptr;
    m_pSecondLine = nullptr;
}

void CFerroxIOObject::Update(float dt) { CFerroxObject::Update(dt); }

void CFerroxIOObject::Setup(const FerroxObjectDescriptor* descriptor)
{
    CFerroxObject::Setup(descriptor);
    if (!descriptor)
        return;
    m_pAssetSet = descriptor->assetSet;
    m_pSecondLine = descriptor->factory;
}

int CFerroxIOObject::Save(CFerroxFile* file)
{
    if (!file)
        return 0;
    const char* modelName = m_pModel ? m_pModel->GetName() : nullptr;
    const char* secondName = m_pSecondLine ? m_pSecondLine->GetName() : nullptr;
    file->WriteLine(std::string(modelName ? modelName : "") + kLineEnd);
    file->WriteLine(std::string(secondName ? secondName : "") + kLineEnd);
    const GxV3d* position = GetPosition();
    const GxV3d p = position ? *position : GxV3d{0.0f, 0.0f, 0.0f};
    const std::string line = ToString<float>(p.x) + kStateSeparator + ToString<float>(p.y) + kStateSeparator +
                             ToString<float>(p.z) + kStateSeparator + ToString<float>(m_rotation[kYawIndex]);
    file->WriteLine(line + kLineEnd);
    return 0;
}

int CFerroxIOObject::Load(CFerroxFile* file)
{
    if (!file)
        return 0;
    std::string line;
    file->ReadLine(line);
    std::vector<float> values;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(kStateSeparator, start);
        if (end == std::string::npos)
            end = line.size();
        if (end > start) {
            // A piece that is no finite number would leave the object where it was made, at the grid's corner.
            float value = 0.0f;
            if (!FromString<float>(line.substr(start, end - start), value))
                return 1;
            values.push_back(value);
        }
        start = end + 1;
    }
    // A short line would place the object from numbers that are not there.
    if (values.size() < kStateNumbers)
        return 1;
    RotateYaw(&kUpAxis, values[3], 0);
    const GxV3d position = {values[0], values[1], values[2]};
    Translate(&position, 2);
    return 0;
}
