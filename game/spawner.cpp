// The character spawner: spawn points and their pick.
#include "game/spawner.h"

#include <cstdlib>

#include "engine/spline.h"

namespace {

CSpawner* g_pInstance = nullptr;

}  // namespace

CSpawnPoint::~CSpawnPoint() { delete spline; }

CSpawner* CSpawner::GetInstance() { return g_pInstance; }

CSpawner::CSpawner()
{
    Init();
    g_pInstance = this;
}

CSpawner::~CSpawner()
{
    Release();
    if (g_pInstance == this)
        g_pInstance = nullptr;
}

void CSpawner::Init()
{
    m_countdown = kSpawnWaveSeconds;
    m_pFloorManager = nullptr;
    m_pWorld = nullptr;
    m_totalWeight = 0;
}

void CSpawner::Release()
{
    for (CSpawnPoint* point : m_spawnPoints)
        delete point;
    m_spawnPoints.clear();
    Init();
}

void CSpawner::AddSpawnPoint(CSpawnPoint* point)
{
    if (point)
        m_spawnPoints.push_back(point);
}

CSpawnPoint* CSpawner::PickSpawnPoint(int flag, int)
{
    if (flag != 0 || m_spawnPoints.empty())
        return nullptr;
    return m_spawnPoints[static_cast<size_t>(std::rand()) % m_spawnPoints.size()];
}
