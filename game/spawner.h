// The character spawner: the level's spawn points, handed over by the world while the level loads, and the
// pick of one for a character to start from. (The spawn waves and the staff placement come with the
// characters.)
//
// The spawner owns its spawn-point records and their splines and frees them in Release. The game owns one
// spawner; the last one made serves the world's loader. One thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFerroxBlockMesh;
class CFerroxSpline;
class CFloorManager;
class CFerroxWorld;

// A spawn point: a level spline named "spawn_<floor>_...", its floor, and the path's own copy.
struct CSpawnPoint {
    CSpawnPoint(const std::string& pointName, CFerroxBlockMesh* baseFloor, CFerroxSpline* path)
        : name(pointName), spare(0), floor(baseFloor), spline(path), words{0, 0, 0}
    {}
    ~CSpawnPoint();
    CSpawnPoint(const CSpawnPoint&) = delete;
    CSpawnPoint& operator=(const CSpawnPoint&) = delete;

    std::string name;
    int32_t spare;
    CFerroxBlockMesh* floor;  // the base floor of the spline's floor id, or null
    CFerroxSpline* spline;    // owned
    int32_t words[3];
};

constexpr float kSpawnWaveSeconds = 15.0f;

class CSpawner {
public:
    // The spawner the world's loader hands spawn points to (the last one made), or null.
    static CSpawner* GetInstance();

    CSpawner();
    CSpawner(const CSpawner&) = delete;
    CSpawner& operator=(const CSpawner&) = delete;
    virtual ~CSpawner();

    void Init();
    // Frees every spawn point, then Init.
    void Release();
    // Takes the record over.
    void AddSpawnPoint(CSpawnPoint* point);
    // A spawn point chosen at random; null for a non-zero flag or without spawn points.
    CSpawnPoint* PickSpawnPoint(int flag, int unused = 0);

    const std::vector<CSpawnPoint*>& GetSpawnPoints() const { return m_spawnPoints; }
    float GetCountdown() const { return m_countdown; }

private:
    std::vector<CSpawnPoint*> m_spawnPoints;
    uint16_t m_totalWeight;
    CFloorManager* m_pFloorManager;
    CFerroxWorld* m_pWorld;
    float m_countdown;
};
