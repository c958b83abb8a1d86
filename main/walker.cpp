// The demo's walker: a character on the base floor's grid, its route planned with the search budget the game
// gives a lone shopper, walked along the route's spline, then back.
#include "main/walker.h"

#include "engine/asset.h"
#include "engine/character.h"
#include "engine/world.h"

namespace {

// The base floor of the levels: 64 by 64 cells of 2 units from the origin, floor 1.
constexpr int kGridSide = 64;
constexpr int kCellSize = 2;
constexpr int kFloorId = 1;
const GxV3d kGridOrigin = {0.0f, 0.0f, 0.0f};
// Both ends in front of the camera's corner of the plot.
constexpr int kFirstEnd = 8 * kGridSide + 10;
constexpr int kSecondEnd = 14 * kGridSide + 14;
constexpr float kSearchBudget = 0.0025f;  // seconds, the whole budget of one walker
const char* const kCharacterFile = "./models/people/shopper_adult_a.gxs";
const char* const kWalkAnimation = "walk";
const char* const kPauseAnimation = "pause";

}  // namespace

CDemoWalker::CDemoWalker() : m_pWalker(nullptr), m_ends{kFirstEnd, kSecondEnd}, m_leg(1) {}

CDemoWalker::~CDemoWalker() { Release(); }

bool CDemoWalker::Create(CFerroxWorld* world)
{
    if (world == nullptr || !m_grid.Create(kGridSide, kGridSide, kGridOrigin, kCellSize, kFloorId)) {
        return false;
    }
    CFerroxAssetLoaderHlpr loader;
    loader.SetTarget(world->GetModelPool(), world->GetAnimPool(), kCharacterFile);
    CFerroxStream<CFerroxAssetLoaderHlpr> stream;
    if (!stream.Read(kCharacterFile, &CFerroxAssetLoaderHlpr::LoadChunk)) {
        return false;
    }
    stream.Process(&loader);
    loader.GroupAssets();
    m_sets = loader.GetAssetSets();
    loader.GetAssetSets().clear();
    if (m_sets.empty()) {
        return false;
    }
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = m_sets.front();
    descriptor.modelMode = FERROX_MODEL_CLONE;
    descriptor.grid = &m_grid;
    m_pWalker = new CFerroxCharacter();
    m_pWalker->Setup(&descriptor);
    GxV3d start;
    if (m_pWalker->GetModel() == nullptr || m_grid.GetCellPosition(m_ends[0], &start, 1) == nullptr) {
        Release();
        return false;
    }
    m_pWalker->Translate(&start, gxCOMBINEREPLACE);
    m_pWalker->AddToWorld(world);
    m_pWalker->PlayAnimation(kPauseAnimation, 1, 0);
    return true;
}

void CDemoWalker::Update(float frameTime)
{
    if (m_pWalker == nullptr) {
        return;
    }
    if (m_pWalker->m_movementMode == FERROX_MOVE_STANDING) {
        const GxV3d* at = m_pWalker->GetPosition();
        const int here = at != nullptr ? m_grid.GetCellAt(*at) : -1;
        if (m_pWalker->StepPath(here, m_ends[m_leg], kSearchBudget, 0)) {
            if (m_pWalker->m_routeState == FERROX_ROUTE_READY && m_pWalker->GetPathSpline() != nullptr) {
                m_pWalker->m_pathParam = 0;
                m_pWalker->m_movementMode = FERROX_MOVE_FOLLOWING;
                m_pWalker->PlayAnimation(kWalkAnimation, 1, 0);
            }
            // Settled: the next request goes to the other end.
            m_pWalker->m_routeState = FERROX_ROUTE_IDLE;
            m_leg = 1 - m_leg;
        }
    }
    m_pWalker->Update(frameTime);
    if (m_pWalker->m_movementMode == FERROX_MOVE_STANDING && m_pWalker->GetPathSpline() != nullptr) {
        // Arrived: the spline of the leg walked goes, and the walker pauses until the next leg is planned.
        m_pWalker->StopMoving();
        m_pWalker->PlayAnimation(kPauseAnimation, 1, 0);
    }
}

void CDemoWalker::Release()
{
    if (m_pWalker != nullptr) {
        m_pWalker->RemoveFromWorld();
        delete m_pWalker;
        m_pWalker = nullptr;
    }
    for (CFerroxAssetSet* set : m_sets) {
        delete set;
    }
    m_sets.clear();
    m_grid.Release();
}
