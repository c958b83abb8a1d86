// Scalable building pieces: scaled sizes, kept unscaled geometry, cells that balconies leave walkable.
#include "game/buildings/scalable.h"

#include <cstring>

#include "engine/navigation/blockgrid.h"
#include "engine/world/composite.h"
#include "gfx/world/clump.h"
#include "gfx/world/geometry.h"

namespace {

const char* const kBalconyName = "balc";
// Sizes are whole world units within the grid's reach; a scale past them gives no size.
const float kLargestSize = 1048576.0f;

int32_t WholePart(float size) { return size >= -kLargestSize && size <= kLargestSize ? static_cast<int32_t>(size) : 0; }

template <typename F>
void ForEachGeometry(CFerroxComposite* model, F each)
{
    GxClump* clump = model ? model->GetClump() : nullptr;
    if (!clump)
        return;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            GxGeometry* geometry = atomic->geometry;
            if (geometry && geometry->morphTarget && geometry->morphTarget[0].verts)
                (*static_cast<F*>(data))(atomic, geometry);
            return atomic;
        },
        &each);
}

}  // namespace

CScalableObject::CScalableObject() { CScalableObject::Init(); }

CScalableObject::~CScalableObject() { CScalableObject::Release(); }

void CScalableObject::Init() { m_scale = {1.0f, 1.0f, 1.0f}; }

void CScalableObject::Release()
{
    // The geometry goes back as it came, so that a shared model is not left stretched.
    RestoreGeometry();
    m_kept.clear();
    CScalableObject::Init();
    CBaseObject::Release();
}

int32_t CScalableObject::GetSizeX() { return WholePart(static_cast<float>(m_sizeX) * m_scale.x); }

int32_t CScalableObject::GetSizeZ() { return WholePart(static_cast<float>(m_sizeZ) * m_scale.z); }

void CScalableObject::OccupyCells()
{
    if (!m_pFloor)
        return;
    const char* name = GetModelName();
    const int block = name && std::strstr(name, kBalconyName) ? 0 : 1;
    m_pFloor->AssignObject(m_firstCell, this, m_rows, m_columns, block);
}

void CScalableObject::KeepGeometry()
{
    if (!m_kept.empty())
        return;
    ForEachGeometry(m_pModel, [this](GxAtomic*, GxGeometry* geometry) {
        KeptGeometry kept = {geometry, {}};
        const GxV3d* verts = geometry->morphTarget[0].verts;
        for (GxInt32 i = 0; i < geometry->numVertices; i++) {
            kept.xz.push_back(verts[i].x);
            kept.xz.push_back(verts[i].z);
        }
        m_kept.push_back(std::move(kept));
    });
}

void CScalableObject::RestoreGeometry()
{
    if (m_kept.empty())
        return;
    ForEachGeometry(m_pModel, [this](GxAtomic* atomic, GxGeometry* geometry) {
        for (const KeptGeometry& kept : m_kept) {
            if (kept.geometry != geometry || !GxGeometryLock(geometry, gxGEOMETRYLOCKALL))
                continue;
            GxMorphTarget* target = &geometry->morphTarget[0];
            for (GxInt32 i = 0; i < geometry->numVertices && static_cast<size_t>(2 * i + 1) < kept.xz.size(); i++) {
                target->verts[i].x = kept.xz[2 * i];
                target->verts[i].z = kept.xz[2 * i + 1];
            }
            GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
            GxGeometryUnlock(geometry);
            GxAtomicInterpolateBoundingSphere(atomic);
            return;
        }
    });
}

void CScalableObject::SetScale(const GxV3d& scale)
{
    KeepGeometry();
    RestoreGeometry();
    if (m_pModel) {
        const FerroxScaleRecord record = {scale.x, scale.z, 1.0f, 1.0f};
        m_pModel->ScaleGeometry(&record);
    }
    m_scale = {scale.x, 1.0f, scale.z};
}

void CScalableObject::ResetScale()
{
    RestoreGeometry();
    m_scale = {1.0f, 1.0f, 1.0f};
}
