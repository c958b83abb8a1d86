// Criminals: AI characters that walk in, steal from shops and break facilities until they have done the
// crimes they came for, then leave like shoppers. A guard may hold one that is at work (state 100) until the
// arrest ends in state 7.
//
// A criminal counts itself among the criminals present from set-up to release. One thread.
#pragma once

#include <cstdint>

#include "game/figures/aichar.h"

// The extra state of a criminal held by a guard.
constexpr uint8_t kCriminalHeldState = 100;
// Messages of a theft and of a facility broken; the sample both play.
constexpr int16_t kMessageTheft = 11;
constexpr int16_t kMessageVandalism = 32;
constexpr int32_t kCrimeSample = 5;

class CCriminal : public CAICharacter {
public:
    CCriminal();
    void Init() override;
    // Tells the guards and leaves the count of criminals present (once).
    void Release() override;
    ~CCriminal() override;

    void Setup(const FerroxObjectDescriptor* descriptor) override;
    void DrawDebugInfo(GxRaster* charset) override;
    int Load(CFerroxFile* file) override;
    int HandleExtraState(int event, uint8_t state) override;
    // Not while held.
    int ShouldSave() override;
    int SaveFields(CFerroxFile* file) override;
    void CompleteVisit() override;
    int ChooseTarget() override;
    void PlaySlotAction(CFerroxSpline* path) override;
    // Where a guard catches it: its cell, else the entrance of what it is at work in; -1 otherwise.
    virtual int16_t GetCatchCell();

    // Itself when it is at work (state 5) within the radius on the floor, else null.
    CCriminal* IsCatchable(int floorId, float radius, const GxV3d& position);

    uint16_t m_wanted;
    uint16_t m_crimes;

private:
    void LeaveCount();

    int32_t m_counted;
};
