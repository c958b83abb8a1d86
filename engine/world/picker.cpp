// The ray picker: one line query over the world's models, then the triangles of each model the line reaches.
#include "engine/world/picker.h"

#include <cfloat>

#include "engine/world/camera.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/world/collision.h"

namespace {

// Line parameter of "no hit yet".
constexpr GxReal kNoHit = FLT_MAX;

struct PickHit {
    GxV3d point;
    GxReal t;
    GxAtomic* atomic;
};

struct PickSearch {
    GxIntersection intersection;
    PickHit nearest;
    CFerroxComposite* chosen;
    PickHit chosenHit;
};

// The nearest triangle of one atomic, in world space.
struct AtomicSearch {
    const GxLine* line;
    const GxMatrix* matrix;
    PickHit best;
};

GxCollTriangle* PickTriangle(GxIntersection*, GxCollTriangle* triangle, GxReal distance, void* data)
{
    auto* search = static_cast<AtomicSearch*>(data);
    if (!(distance < search->best.t)) {
        return triangle;
    }
    GxV3d v[3];
    for (int k = 0; k < 3; k++) {
        GxV3dTransformPoint(&v[k], triangle->vertices[k], search->matrix);
    }
    const GxLine& line = *search->line;
    const GxV3d delta = {line.end.x - line.start.x, line.end.y - line.start.y, line.end.z - line.start.z};
    GxReal t = 0;
    if (!GxIntersectLineTriangle(&line.start, &delta, &v[0], &v[1], &v[2], &t)) {
        return triangle;
    }
    search->best.t = distance;
    search->best.point = {line.start.x + t * delta.x, line.start.y + t * delta.y, line.start.z + t * delta.z};
    return triangle;
}

// Keeps hit when it is nearer than kept; ties keep the earlier one.
void KeepNearer(PickHit* kept, const PickHit& hit)
{
    if (hit.t < kept->t) {
        *kept = hit;
    }
}

GxWorldSector* PickAtomic(GxIntersection* intersection, GxWorldSector* sector, GxAtomic* atomic, GxReal, void* data)
{
    auto* search = static_cast<PickSearch*>(data);
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    GxMatrix identity;
    GxMatrixSetIdentity(&identity);
    AtomicSearch triangles = {
        &intersection->t.line, frame ? GxFrameGetWorldMatrix(frame) : &identity, {{0, 0, 0}, kNoHit, atomic}};
    GxAtomicForAllIntersections(atomic, intersection, PickTriangle, &triangles);
    // The chosen model is taken to be one atomic: each of its atomics the line reaches gives the model's hit,
    // a miss included, in place of the one before.
    if (search->chosen != nullptr && GetClumpComposite(atomic->clump) == search->chosen) {
        search->chosenHit = triangles.best;
    }
    KeepNearer(&search->nearest, triangles.best);
    return sector;
}

}  // namespace

CFerroxPicker::CFerroxPicker() { Clear(); }

void CFerroxPicker::Clear()
{
    m_rayStart = {0, 0, 0};
    m_rayEnd = {0, 0, 0};
    m_pWorld = nullptr;
    m_pCamera = nullptr;
    m_pPickedClump = nullptr;
}

void CFerroxPicker::SetScene(CFerroxWorld* world, CFerroxCamera* camera)
{
    m_pWorld = world;
    m_pCamera = camera;
}

CFerroxObject* CFerroxPicker::Pick(const GxV2d& pixel, CFerroxComposite* chosen, GxV3d* outPoint)
{
    m_pPickedClump = nullptr;
    GxCamera* camera = m_pCamera != nullptr ? m_pCamera->GetGraphicsCamera() : nullptr;
    if (camera == nullptr) {
        return nullptr;
    }
    GxLine line;
    GxCameraCalcPixelRay(camera, &line, &pixel);
    return PickLine(line, chosen, outPoint);
}

CFerroxObject* CFerroxPicker::PickLine(const GxLine& line, CFerroxComposite* chosen, GxV3d* outPoint)
{
    m_pPickedClump = nullptr;
    m_rayStart = line.start;
    m_rayEnd = line.end;
    const FerroxWorldAccess& access = FerroxGetWorldAccess();
    GxWorld* world = m_pWorld != nullptr && access.graphicsWorld != nullptr ? access.graphicsWorld(m_pWorld) : nullptr;
    if (world == nullptr) {
        return nullptr;
    }
    PickSearch search = {};
    search.intersection.type = gxINTERSECTLINE;
    search.intersection.t.line = line;
    search.nearest.t = kNoHit;
    search.chosen = chosen;
    search.chosenHit.t = kNoHit;
    GxWorldForAllIntersections(world, &search.intersection, PickAtomic, &search);
    if (search.chosenHit.t < kNoHit && outPoint != nullptr) {
        *outPoint = search.chosenHit.point;
    }
    if (!(search.nearest.t < kNoHit)) {
        return nullptr;
    }
    m_pPickedClump = search.nearest.atomic->clump;
    return GetClumpOwner(m_pPickedClump);
}
