// Mall doors: usable objects set into the ground storey's outer wall, with inside and outside entrances.
#pragma once

#include <cstdint>
#include <vector>

#include "game/buildings/facility.h"

class CFerroxBlockMesh;

class CDoorObject : public CUsableObject {
public:
    CDoorObject() = default;
    void Release() override;
    ~CDoorObject() override;

    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above) override;
    void OccupyCells() override;
    int Place(CPlacementRecord* record) override;
    int IsEntranceCell(int32_t cell) override;
    int IsAvailable(CFerroxBlockGrid* floor) override;
    // Inside entrances first, then the outside ones; -1 past both.
    int32_t GetEntranceCell(int32_t index) override;
    int32_t GetEntranceCellEx(int32_t index) override { return GetCrossingCell(index); }
    int32_t GetEntranceCount() override;
    int32_t GetKind() override;
    virtual int32_t GetExtraEntranceCell(int32_t index);
    virtual int32_t GetExtraEntranceCount() { return static_cast<int32_t>(m_extraEntrances.size()); }

    int IsExtraEntranceCell(int32_t cell);
    // A cell across the door's width; an index outside it picks one at random. -1 without a width.
    int32_t GetCrossingCell(int32_t index);
    // Builds both entrance lists from the door's width.
    void BuildEntrances();
    const std::vector<EntrancePoint>& GetExtraEntrances() const { return m_extraEntrances; }

protected:
    // Sets the yaw, keeping the door's position.
    void TurnInPlace(float yaw);

    std::vector<EntrancePoint> m_extraEntrances;
};
