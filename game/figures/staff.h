// Hired staff: the common staff member (post cell, work timer, grade and wage, its record in the statistics)
// and its three trades: cleaners sweep litter, maintenance workers repair facilities or, as gardeners, clear
// flies from scenery, security guards arrest criminals at work.
//
// Staff are made by their factories (RegisterStaffClasses) and owned by the object manager. A hired or moving
// member keeps its record in the statistics' staff register until Release. Maintenance claims (an object's
// worker) and a cleaner's reserved cell never outlive the member's work. One thread.
#pragma once

#include <cstdint>

#include "game/figures/aichar.h"

class CCriminal;
class CStaff;

// The figures the statistics' staff register and the staff panels read, in this order.
struct StaffRecord {
    uint16_t value0;  // title index: 0 cleaner, 1 engineer, 2 gardener, 3 security
    uint16_t value1;
    uint16_t grade;
    uint16_t wage;
    uint16_t jobs;
    CStaff* owner;
};

// Grade of a member hired without a level for its trade.
constexpr uint16_t kNoGrade = 0xFFFF;
// Wage added per grade each day.
constexpr uint32_t kWagePerGrade = 50;
// Wage of a member until its template gives one.
constexpr uint16_t kDefaultWage = 100;
// Seconds one job lasts at grade 0 unless the template says otherwise.
constexpr float kDefaultWorkTime = 10.0f;
// Per-category levels of the trades in the statistics' counters.
constexpr size_t kCleanerLevel = 0;
constexpr size_t kEngineerLevel = 1;
constexpr size_t kGardenerLevel = 2;
constexpr size_t kSecurityLevel = 3;
// The message and sample of an arrest.
constexpr int16_t kMessageArrest = 10;
constexpr int32_t kArrestSample = 5;

class CStaff : public CAICharacter {
public:
    CStaff();
    void Init() override;
    // Leaves the staff register when hired or moving, then the base release.
    void Release() override;
    ~CStaff() override;

    void Setup(const FerroxObjectDescriptor* descriptor) override;
    void DrawDebugInfo(GxRaster* charset) override;
    // The character lines, then jobs, grade and work timer; hired again with its own template, so title,
    // picture, wage and job length are those the member was hired with, and the grade is its trade's level.
    int Load(CFerroxFile* file) override;
    int SaveFields(CFerroxFile* file) override;
    void UpdateAI(float dt) override;
    int ChooseTarget() override;
    int StartWalking() override { return 1; }
    int StopWalking() override { return 1; }

    virtual void SetGrade(uint16_t grade, int32_t kind);
    // Starts work where the member stands, with the values of the record's template.
    virtual void Hire(const FerroxObjectDescriptor* record);
    virtual void Assign(CFerroxBlockGrid* floor, int cell);
    virtual void BeginMove();

    // The grade as it counts for speed, wages and reach: no grade counts as 0.
    uint32_t EffectiveGrade() const { return m_record.grade == kNoGrade ? 0 : m_record.grade; }
    // grade x 50 + wage as an unsigned 16-bit value: what a new day adds to the staff wages.
    uint16_t DailyWage() const;
    // Search reach: (cell size x (grade + 1) + 1) x 10.
    float SearchRadius();
    StaffRecord& GetRecord() { return m_record; }

    int32_t m_hired;
    int32_t m_moving;
    StaffRecord m_record;
    float m_workTimer;
    float m_workTime;
    int16_t m_postCell;

protected:
    // The statistics' level counter at the index, or no grade when the list is shorter.
    static uint16_t LevelOf(size_t index);
    // workTimer -= (grade + 1) x the last frame time; 1 when the job is done.
    bool WorkOn();
    void CountJob();
    void TakeTemplateValues(CFerroxAssetSet* set);
    virtual void SetHiredGrade() {}

private:
    void Register();
    void Unregister();

    int32_t m_registered;
};

class CCleaner : public CStaff {
public:
    CCleaner();
    ~CCleaner() override;
    void Init() override;
    void Release() override;
    // A cleaner walks to a cell: a building standing on its target cell is no object it walks to.
    int Load(CFerroxFile* file) override;
    void UpdateAI(float dt) override;
    int ChooseTarget() override;
    int DoActivity() override;
    void BeginMove() override;

    // The first plain-litter cell on a square spiral around the start, or -1.
    int FindLitter(int start, int maximumLeg);

    int32_t m_sweepCell;  // the cell this cleaner reserved, or -1

protected:
    void SetHiredGrade() override { m_record.grade = LevelOf(kCleanerLevel); }

private:
    void GiveBackSweepCell();
};

class CMaintenance : public CStaff {
public:
    CMaintenance();
    ~CMaintenance() override;
    void Init() override;
    void Release() override;
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    int Load(CFerroxFile* file) override;
    int ChooseTarget() override;
    int VisitTarget() override;
    void CompleteVisit() override;
    void SetGrade(uint16_t grade, int32_t kind) override;
    void BeginMove() override;

    // Clears the worker of every object that names this member.
    void ReleaseClaims();

    int32_t m_gardener;

protected:
    void SetHiredGrade() override { m_record.grade = LevelOf(m_gardener ? kGardenerLevel : kEngineerLevel); }

private:
    void Claim(CPathableObject* object);
};

class CSecurity : public CStaff {
public:
    CSecurity();
    ~CSecurity() override;
    void Init() override;
    void Release() override;
    int Load(CFerroxFile* file) override;
    int ChooseTarget() override;
    int DoActivity() override;
    // Also lets go of a suspect still held.
    void ClearTarget() override;
    void OnObjectRemoved(CFerroxObject* object) override;

    CCriminal* m_pSuspect;

protected:
    void SetHiredGrade() override { m_record.grade = LevelOf(kSecurityLevel); }

private:
    // The suspect while it is still among the manager's criminals, else null (and forgotten).
    CCriminal* LiveSuspect();
    // Forgets the suspect; one still held is set to the state.
    void EndHold(uint8_t state);
};

// Installs the staff factory makers and the manager's class tests for the staff lists. Call before the
// object manager is first made; calling it again changes nothing.
void RegisterStaffClasses();
