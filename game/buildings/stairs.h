// Stairs: usable objects joining a storey to the one above, with the links characters follow between them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "game/buildings/facility.h"

class CFerroxBlockMesh;

// Where a character steps onto the stairs, the path it follows and the storey it arrives on.
class CStairsLink {
public:
    CStairsLink(const GxV3d& at, CFerroxBlockGrid* to, std::unique_ptr<CFerroxSpline> spline);
    ~CStairsLink();
    CStairsLink(const CStairsLink&) = delete;
    CStairsLink& operator=(const CStairsLink&) = delete;

    GxV3d position;
    CFerroxBlockGrid* destination;
    std::unique_ptr<CFerroxSpline> path;
};

class CStairs : public CUsableObject {
public:
    CStairs();
    void Init() override;
    void Release() override;
    ~CStairs() override;

    void FindEntrances(GxAtomic* atomic, GxUserDataArray* array) override;
    int CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above) override;
    void OccupyCells() override;
    // 0 without a storey above: the stairs are not placed and are dropped from the object manager.
    int Place(CPlacementRecord* record) override;
    CStairsLink* GetStairsLink(CFerroxBlockGrid* floor) override;
    int IsEntranceCell(int32_t cell) override;
    int IsAvailable(CFerroxBlockGrid* floor) override;
    int32_t GetKind() override;

    int32_t GetUpperEntranceCell(int32_t index);
    void AddUpperEntrance(const EntrancePoint& point) { m_extraEntrances.push_back(point); }
    CFerroxBlockMesh* GetUpperFloor() const { return m_pUpperFloor; }
    const std::vector<std::unique_ptr<CStairsLink>>& GetLinks() const { return m_links; }

protected:
    void FreeLinks();

    CFerroxBlockMesh* m_pUpperFloor;
    std::vector<EntrancePoint> m_extraEntrances;
    std::vector<std::unique_ptr<CStairsLink>> m_links;
};
