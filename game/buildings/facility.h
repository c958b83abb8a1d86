// Facilities (phones, toilets, cash machines: walk-to objects that count their uses and may break down),
// scenery (decoration that adds to the mall rating and may get flies) and atria (openings through the storeys).
#pragma once

#include <cstdint>
#include <vector>

#include "game/buildings/building.h"

// Uses a facility takes per level of the category counter before it surely breaks on a new day.
constexpr int32_t kBreakdownUsesPerLevel = 50;
// Days a plant stays clean at least, and the random days added per level.
constexpr int32_t kFliesGraceDays = 6;
constexpr int32_t kFliesDaysPerLevel = 10;
// Entries of the statistics' category counters the draws read.
constexpr size_t kBreakdownLevelEntry = 1;
constexpr size_t kFliesLevelEntry = 2;
// In-game message of a breakdown or flies.
constexpr int16_t kMessageNeedsWork = 33;

class CUsableObject : public CPathableObject {
public:
    CUsableObject();
    void Init() override;
    void Release() override;
    ~CUsableObject() override;

    void Update(float dt) override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int Save(CFerroxFile* file) override;
    int Load(CFerroxFile* file) override;
    int Place(CPlacementRecord* record) override;
    int32_t GetKind() override { return static_cast<int16_t>(m_usableKind); }
    uint16_t GetPrice() override { return m_usePrice; }
    void AddTakings(int16_t) override { m_useCount++; }

    uint16_t GetUseCount() const { return m_useCount; }

protected:
    int32_t m_usableKind;
    uint16_t m_usePrice;
    uint16_t m_useCount;
};

class CSceneryObject : public CPathableObject {
public:
    CSceneryObject();
    void Init() override;
    void Release() override;
    ~CSceneryObject() override;

    void Update(float dt) override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int Place(CPlacementRecord* record) override;
    int CreateEffects() override;
    int ClearEffects() override;
    int IsAvailable(CFerroxBlockGrid* floor) override;

    uint16_t GetDecoration() const { return m_decoration; }

protected:
    uint16_t m_decoration;
};

class CAtriumObject : public CUsableObject {
public:
    CAtriumObject() = default;
    void FindEntrances(GxAtomic* atomic, GxUserDataArray* array) override;
    int CanPlace(CFerroxBlockMesh* below, CFerroxBlockMesh* above) override;
    int Place(CPlacementRecord* record) override;
    int32_t GetKind() override;

    void AddFreePoint(const EntrancePoint& point) { m_extraEntrances.push_back(point); }
    const std::vector<EntrancePoint>& GetFreePoints() const { return m_extraEntrances; }

protected:
    std::vector<EntrancePoint> m_extraEntrances;
};
