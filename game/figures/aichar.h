// The mall's AI characters: the walking character with the shared state machine every shopper, staff member
// and criminal runs (start, pause, decide, find a path, walk, act, leave, done), the user-slot visits of
// walk-to objects, stairs and exits, the reaction to building objects removed or placed under it, appearance,
// and the character's saved lines.
//
// Characters are made by the factories and owned by the object manager, which deletes them after they raise
// their remove flag. What they need from modules above the object base that they cannot link (the level's
// world, the object the placement controller holds) comes through AICharacterHooks, installed by the owners;
// without them a character shown again goes back into its factory's world and no held object is skipped.
// Messages and samples go through the running game's context (game/world/gamecontext.h). One thread.
#pragma once

#include <climits>
#include <cstdint>

#include "engine/application/fsm.h"
#include "engine/navigation/character.h"

class CFerroxBlockMesh;
class CFerroxWorld;
struct CObjectQuery;
class CPathableObject;
class CStairsLink;
struct CSpawnPoint;
struct GxRaster;

// States of the character machine.
enum AIState : uint8_t {
    AI_STATE_START = 0,
    AI_STATE_PAUSE = 1,
    AI_STATE_DECIDE = 2,
    AI_STATE_FIND_PATH = 3,
    AI_STATE_WALK = 4,
    AI_STATE_ACT = 5,
    AI_STATE_LEAVE = 6,
    AI_STATE_DONE = 7,
};

// Where a character is: not walking yet, walking outside, inside the mall.
constexpr int32_t kPresenceNone = 0;
constexpr int32_t kPresenceOutside = 1;
constexpr int32_t kPresenceInside = 2;

// Phases of a visit to a walk-to object.
constexpr int32_t kVisitStart = 0;
constexpr int32_t kVisitWalkIn = 1;
constexpr int32_t kVisitAction = 2;
constexpr int32_t kVisitWalkBack = 3;

// Seconds of frame time the machine gathers before it steps.
constexpr float kAIStepSeconds = 0.01f;
// Seconds a character pauses.
constexpr float kAIPauseSeconds = 2.0f;
// Seconds a slot action (sitting, phoning) lasts.
constexpr float kSlotActionSeconds = 10.0f;
// Real time, in seconds, the path searches of all shoppers and criminals present may take per frame.
constexpr float kPathBudgetSeconds = 0.0025f;

// Seams to modules the characters cannot link.
struct AICharacterHooks {
    CFerroxWorld* (*levelWorld)();   // the current level's world; default: none
    CFerroxObject* (*heldObject)();  // the object the placement controller holds; default: none
};
void SetAICharacterHooks(const AICharacterHooks& hooks);
const AICharacterHooks& GetAICharacterHooks();

class CAICharacter : public CFerroxCharacter, public CFerroxFSM {
public:
    CAICharacter();
    void Init() override;
    // Gives back a held user slot, then Init.
    void Release() override;
    ~CAICharacter() override;

    void Update(float dt) override;
    using CFerroxCharacter::DrawDebugInfo;
    virtual void DrawDebugInfo(GxRaster* charset);
    // Takes the floor from the descriptor's grid, or its floor object when it names none.
    void Setup(const FerroxObjectDescriptor* descriptor) override;
    // Nothing unless ShouldSave; 0.
    int Save(CFerroxFile* file) override;
    // 0 when the character was placed again; 1 when it could not be (it then raises its remove flag).
    int Load(CFerroxFile* file) override;
    int StateHandler(int event, uint8_t state) override;

    virtual int HandleExtraState(int event, uint8_t state);
    virtual void UpdateAI(float dt);
    virtual void UpdateNeeds() {}
    virtual void FindTarget(CObjectQuery* query);
    // A query for the nearest object of `kind` around this character on its grid, available ones only.
    CObjectQuery NearestQuery(int32_t kind);
    virtual int ShouldSave();
    virtual int SaveFields(CFerroxFile* file);
    virtual int VisitTarget();
    virtual void CompleteVisit() {}
    // Random wandering: 4 to 15 cells away.
    virtual int ChooseTarget();
    virtual int DoActivity();
    virtual void ClearTarget();
    virtual int StartWalking();
    virtual int StopWalking();
    virtual void PlaySlotAction(CFerroxSpline* path);
    virtual void Repath();
    virtual void SetupAppearance();
    virtual void DropTarget() { ClearTarget(); }
    virtual void OnObjectRemoved(CFerroxObject* object);
    virtual void RemoveIfOnCell(int16_t cell);
    virtual void RemoveIfOnFloorCell(int cell, CFerroxBlockGrid* floor);
    virtual void UpdateVisibility(int32_t shownFloor);
    virtual void FollowPath(CFerroxSpline* spline, int start);

    // Puts the character at the spawn position, the last point of the spawn path (inside the mall); state 0
    // then sends it to the nearest door.
    void StartAt(CSpawnPoint* point);
    // The floor's level counted from the ground; an unknown floor counts as the ground.
    int32_t GetLevelNumber();
    CFerroxBlockMesh* GetFloorMesh();
    // Gives back the held user slot, once; nothing when none is held.
    void ReleaseSlot();
    // The wander offset for two draws of -15 to 15: both below 4 in size pushes the larger out to 4.
    static void SpreadWanderOffset(int* a, int* b);
    // The search budget of one path step, in seconds: the shared frame budget over the walkers present,
    // 0 (no limit) with none present.
    static float PathBudget();

    int32_t m_removeFlag;
    int16_t m_slotIndex;
    float m_pauseTimer;
    int32_t m_onStairs;
    CFerroxBlockGrid* m_pPendingFloor;
    float m_aiTimer;
    int32_t m_choiceFlag;
    uint16_t m_failCount;
    int32_t m_entered;
    CPathableObject* m_pTarget;
    CPathableObject* m_pLastObject;
    CSpawnPoint* m_pExitObject;
    CStairsLink* m_pStairsLink;
    int32_t m_afterWalkState;
    int32_t m_presence;
    int32_t m_visitPhase;

protected:
    // Reads one saved line as a number within the limits; false for a missing or bad line.
    static bool ReadInt(CFerroxFile* file, int32_t low, int32_t high, int32_t* out);
    static bool ReadFloat(CFerroxFile* file, float* out);
    // Tints the model's materials from the tint list.
    void ApplyTints();
    void PostMessage(int16_t number);
    void PlaySample(int32_t sample, int32_t volume);
    // The target cell from the floor at a spawn point's last control point.
    void HeadForExit(CSpawnPoint* point);

private:
    void UpdateFindPath();
    void EnterWalk();
    void ExitWalk();
    void TakeSlot(CPathableObject* object, uint16_t index);
    void SetFirstPointHere(CFerroxSpline* spline);
    void SetLastPointHere(CFerroxSpline* spline);

    // Not saved: a loaded character holds no slot.
    int32_t m_holdsSlot;
    CPathableObject* m_pSlotObject;
};
