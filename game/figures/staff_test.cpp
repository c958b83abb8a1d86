// Staff: hiring from the template and the levels, grade speed and daily wages, sweeping litter and the litter
// search, repairs and claims, arrests and the suspect let go, saved lines, a cleaner loaded on its way.
#include "game/figures/staff.h"

#include <climits>
#include <initializer_list>

#include "game/buildings/facility.h"
#include "game/figures/aichar_test_local.h"
#include "game/figures/criminal.h"

namespace {

// Every storey is floor record 0.
class GroundSeam : public CObjectManagerSeam {
public:
    uint16_t GetFloorIndex(CFerroxBlockGrid*) override { return 0; }
    const char* GetWorldName() override { return nullptr; }
};

// Title, second value, wage, job seconds.
const std::vector<std::string> kCleanerValues = {"0", "0", "100", "10.0"};

class StaffTest : public AICharacterTest {
protected:
    void SetUp() override
    {
        AICharacterTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterStaffClasses();
        CDynamicObjectManager::SetSeam(&m_seam);
        BuildingHooks quiet = {};
        quiet.makeEffect = [](const char*, const GxV3d&) -> std::unique_ptr<CBuildingEffect> { return nullptr; };
        SetBuildingHooks(quiet);
    }
    void TearDown() override
    {
        AICharacterTest::TearDown();
        CDynamicObjectManager::SetSeam(nullptr);
    }
    template <typename T>
    T* Hired(int cell, const std::vector<std::string>& values = kCleanerValues)
    {
        T* member = Make<T>(cell, {}, values);
        FerroxObjectDescriptor record = {};
        record.assetSet = member->GetAssetSet();
        member->Hire(&record);
        return member;
    }
    static void Force(CAICharacter* character, uint8_t state)
    {
        character->SetState(state);
        character->HandleEvent(99);
    }
    // Frames of 0.1 s a cleaner standing on the littered cell takes to sweep it.
    int FramesToSweep(CCleaner* cleaner)
    {
        ground.OccupyCell(cleaner->m_currentCell);
        cleaner->m_previousCell = cleaner->m_currentCell;
        Force(cleaner, AI_STATE_ACT);
        int frames = 0;
        while (ground.GetBlock(cleaner->m_currentCell)->IsOccupied() && frames < kAIMaxFrames) {
            cleaner->UpdateAI(kAIFrame);
            frames++;
        }
        return frames;
    }
    GroundSeam m_seam;

    bool Registered(CStaff* member)
    {
        for (StaffRecord* record : stats->GetStaff()) {
            if (record == &member->GetRecord())
                return true;
        }
        return false;
    }
};

}  // namespace

// Hiring takes title, wage and job length from the template, the post where it stands and the grade from
// its trade's level; without levels the grade is "none".
TEST_F(StaffTest, HireTakesTemplateAndTradeLevel)
{
    stats->m_categories = {1, 2, 3, 4};
    auto* cleaner = Hired<CCleaner>(Cell(5, 5), {"3", "2", "250", "8.0"});
    EXPECT_EQ(3, cleaner->GetRecord().value0);
    EXPECT_EQ(250, cleaner->GetRecord().wage);
    EXPECT_FLOAT_EQ(8.0f, cleaner->m_workTime);
    EXPECT_EQ(Cell(5, 5), cleaner->m_postCell);
    EXPECT_EQ(1, cleaner->GetRecord().grade);
    EXPECT_TRUE(Registered(cleaner));
    EXPECT_EQ(1, stats->m_staffCount);

    auto* engineer = Hired<CMaintenance>(Cell(6, 6));
    EXPECT_EQ(2, engineer->GetRecord().grade);
    auto* gardener = Make<CMaintenance>(Cell(7, 7));
    EXPECT_EQ(kDefaultWage, gardener->GetRecord().wage) << "before hiring";
    gardener->m_gardener = 1;
    gardener->Hire(nullptr);
    EXPECT_EQ(kDefaultWage, gardener->GetRecord().wage) << "a template without a wage keeps the default";
    EXPECT_EQ(3, gardener->GetRecord().grade);
    gardener->SetGrade(9, 0);
    EXPECT_EQ(3, gardener->GetRecord().grade) << "an engineers' level is not a gardener's";
    gardener->SetGrade(9, 1);
    EXPECT_EQ(9, gardener->GetRecord().grade);
    auto* guard = Hired<CSecurity>(Cell(8, 8));
    EXPECT_EQ(4, guard->GetRecord().grade);

    stats->m_categories = {1, 2};
    EXPECT_EQ(kNoGrade, Hired<CSecurity>(Cell(9, 9))->GetRecord().grade);
    auto* lateGardener = Make<CMaintenance>(Cell(9, 10));
    lateGardener->m_gardener = 1;
    lateGardener->Hire(nullptr);
    EXPECT_EQ(kNoGrade, lateGardener->GetRecord().grade);

    cleaner->Release();
    cleaner->Release();
    EXPECT_FALSE(Registered(cleaner));
    EXPECT_EQ(5, stats->m_staffCount) << "released once";

    EXPECT_FLOAT_EQ(0.0f, Hired<CCleaner>(Cell(10, 10), {"0", "0", "100", "0"})->m_workTime) << "a job of no length";
    EXPECT_FLOAT_EQ(kDefaultWorkTime, Hired<CCleaner>(Cell(10, 11), {"0", "0", "100", "nan"})->m_workTime);
}

// A fired member is deleted by the manager without its Release: its record leaves the register all the same.
TEST_F(StaffTest, AMemberTheManagerDeletesLeavesTheRegister)
{
    auto* kept = Hired<CCleaner>(Cell(5, 5));
    for (CStaff* fired : std::initializer_list<CStaff*>{Hired<CCleaner>(Cell(6, 6)), Hired<CMaintenance>(Cell(7, 7)),
                                                        Hired<CSecurity>(Cell(8, 8))})
        manager->RemoveObject(fired, 1);
    ASSERT_EQ(1u, stats->GetStaff().size());
    EXPECT_TRUE(Registered(kept));
    EXPECT_EQ(1, stats->m_staffCount);
}

// A job of 10 s takes 10 s at grade 0 and half at grade 1; no grade works and reaches as grade 0.
TEST_F(StaffTest, GradeSpeedsTheJob)
{
    auto* cleaner = Hired<CCleaner>(Cell(5, 5));
    cleaner->SetGrade(0, 0);
    const int base = FramesToSweep(cleaner);
    EXPECT_NEAR(100, base, 1);
    cleaner->SetGrade(1, 0);
    EXPECT_NEAR(50, FramesToSweep(cleaner), 1);
    cleaner->SetGrade(kNoGrade, 0);
    EXPECT_NEAR(base, FramesToSweep(cleaner), 1);
    EXPECT_FLOAT_EQ(20.0f, cleaner->SearchRadius()) << "reach of grade 0 on cells of 1";
    EXPECT_EQ(3, cleaner->GetRecord().jobs);
    EXPECT_EQ(3, stats->m_staffJobsDone);
}

// grade x 50 + wage each new day as an unsigned 16-bit value: the highest grade a technology gives with the
// highest template wage still fits; beyond that it wraps. The account holds at its limit.
TEST_F(StaffTest, DailyWages)
{
    auto* cleaner = Hired<CCleaner>(Cell(5, 5));
    cleaner->SetGrade(2, 0);
    game->m_newDay = 0;
    cleaner->UpdateAI(kAIFrame);
    EXPECT_EQ(0u, stats->m_staffWages) << "only on a new day";
    game->m_newDay = 1;
    cleaner->UpdateAI(kAIFrame);
    EXPECT_EQ(200u, stats->m_staffWages);

    cleaner->GetRecord().wage = 250;
    cleaner->SetGrade(1000, 0);
    stats->m_staffWages = 0;
    cleaner->UpdateAI(kAIFrame);
    EXPECT_EQ(50250u, stats->m_staffWages);
    cleaner->GetRecord().wage = 65000;
    cleaner->SetGrade(20, 0);
    EXPECT_EQ(464, cleaner->DailyWage()) << "66000 in sixteen bits";
    cleaner->SetGrade(kNoGrade, 0);
    stats->m_staffWages = 0;
    cleaner->UpdateAI(kAIFrame);
    EXPECT_EQ(65000u, stats->m_staffWages) << "no grade pays the wage alone";
    stats->m_staffWages = UINT32_MAX - 10;
    cleaner->UpdateAI(kAIFrame);
    EXPECT_EQ(UINT32_MAX, stats->m_staffWages);

    cleaner->BeginMove();
    stats->m_staffWages = 0;
    cleaner->UpdateAI(kAIFrame);
    EXPECT_EQ(0u, stats->m_staffWages) << "a member being moved is not at work";
}

// A hired cleaner finds litter near it, walks there and sweeps it: the cell is clean, its footfall is kept,
// and the job is counted.
TEST_F(StaffTest, CleanerSweepsLitter)
{
    auto* cleaner = Hired<CCleaner>(Cell(5, 5));
    const int litter = Cell(7, 8);
    ground.GetBlock(litter)->m_spare = 40;
    ground.OccupyCell(litter);
    for (int frame = 0; frame < kAIMaxFrames && ground.GetBlock(litter)->IsOccupied(); frame++)
        cleaner->Update(kAIFrame);
    EXPECT_FALSE(ground.GetBlock(litter)->IsOccupied());
    EXPECT_EQ(40, ground.GetBlock(litter)->m_spare);
    EXPECT_EQ(1, cleaner->GetRecord().jobs);
    EXPECT_EQ(1, stats->m_staffJobsDone);
    EXPECT_EQ(-1, cleaner->m_sweepCell);
}

// A cleaner that steps onto litter sets about sweeping it at once, on the grid's border ring as well.
TEST_F(StaffTest, CleanerSteppingOntoLitterSweepsIt)
{
    auto* cleaner = Hired<CCleaner>(Cell(0, 5));
    cleaner->m_previousCell = Cell(1, 5);
    ground.GetBlock(Cell(0, 5))->SetState(FERROX_BLOCK_OCCUPIED);
    cleaner->UpdateAI(kAIStepSeconds / 2);
    EXPECT_EQ(AI_STATE_ACT, cleaner->GetNextState());
    EXPECT_EQ(Cell(0, 5), cleaner->m_targetCell);
}

// The spiral finds plain litter within reach, never another cleaner's reserved cell, and nothing past the
// grid's edge, from the edge of the grid as from its middle.
TEST_F(StaffTest, FindLitter)
{
    auto* cleaner = Hired<CCleaner>(Cell(5, 5));
    EXPECT_EQ(-1, cleaner->FindLitter(Cell(5, 5), 10));
    ground.OccupyCell(Cell(5, 8));
    EXPECT_EQ(Cell(5, 8), cleaner->FindLitter(Cell(5, 5), 10));
    EXPECT_EQ(-1, cleaner->FindLitter(Cell(5, 5), 2)) << "out of reach";
    ground.GetBlock(Cell(5, 8))->SetState(FERROX_BLOCK_RESERVED);
    EXPECT_EQ(-1, cleaner->FindLitter(Cell(5, 5), 10)) << "reserved by another cleaner";
    // Within reach the litter is found whichever way the spiral starts (seeds 3, 1, 5 and 4 start it in
    // directions 0 to 3).
    ground.OccupyCell(Cell(9, 6));
    for (uint32_t seed : {3u, 1u, 5u, 4u}) {
        for (int start : {Cell(8, 8), Cell(6, 9), Cell(10, 5)}) {
            FerroxSrand(seed);
            EXPECT_EQ(Cell(9, 6), cleaner->FindLitter(start, 8)) << start << " seed " << seed;
        }
    }
    // Cells at the start of the next rows are not neighbours of a row's end.
    ground.VacateCell(Cell(9, 6));
    for (int row = 2; row < 10; row++)
        ground.OccupyCell(Cell(row, 1));
    for (int round = 0; round < 16; round++)
        EXPECT_EQ(-1, cleaner->FindLitter(Cell(5, 14), 6)) << round;
    // From the corner, first turned outwards (seed 5), the walk makes no move off the grid and goes on along
    // its edges: the third leg reaches two cells in.
    for (int row = 2; row < 10; row++)
        ground.VacateCell(Cell(row, 1));
    ground.OccupyCell(Cell(2, 2));
    FerroxSrand(5);
    EXPECT_EQ(Cell(2, 2), cleaner->FindLitter(Cell(0, 0), 2));
}

// Moving or firing a cleaner in the middle of a job gives its cell back as plain litter.
TEST_F(StaffTest, CleanerGivesBackItsCell)
{
    auto* cleaner = Hired<CCleaner>(Cell(5, 5));
    ground.OccupyCell(Cell(5, 5));
    Force(cleaner, AI_STATE_ACT);
    cleaner->UpdateAI(kAIFrame);
    ASSERT_TRUE(ground.GetBlock(Cell(5, 5))->IsReserved());
    cleaner->BeginMove();
    EXPECT_EQ(FERROX_BLOCK_OCCUPIED, ground.GetBlock(Cell(5, 5))->m_state);
    EXPECT_EQ(0, cleaner->m_hired);
    EXPECT_EQ(1, cleaner->m_moving);

    auto* fired = Hired<CCleaner>(Cell(5, 5));
    Force(fired, AI_STATE_ACT);
    fired->UpdateAI(kAIFrame);
    ASSERT_TRUE(ground.GetBlock(Cell(5, 5))->IsReserved());
    manager->RemoveObject(fired, 1);
    EXPECT_EQ(FERROX_BLOCK_OCCUPIED, ground.GetBlock(Cell(5, 5))->m_state);
}

// A gardener finds the plant with flies, clears them and the plant's decoration counts again.
TEST_F(StaffTest, GardenerClearsFlies)
{
    TestTemplate plantTemplate("plant_pot", {"1", "1", "100", "7"});
    const FerroxObjectDescriptor descriptor = plantTemplate.Descriptor(&ground);
    auto* plant = new Exposed<CSceneryObject>();
    plant->Setup(&descriptor);
    plant->Put(&ground, Cell(8, 8), 1, 1);
    plant->AddEntrance({0.0f, 1.0f});
    manager->AddObject(plant);
    plant->Place(nullptr);
    manager->AddToLists(plant, 0);
    const int16_t rating = stats->m_ratingPlus;
    ASSERT_EQ(1, plant->CreateEffects());
    EXPECT_EQ(rating - 7, stats->m_ratingPlus);

    auto* gardener = Make<CMaintenance>(Cell(4, 4), {}, {"2", "1", "180", "2.0"});
    gardener->m_gardener = 1;
    FerroxObjectDescriptor record = {};
    record.assetSet = gardener->GetAssetSet();
    gardener->Hire(&record);
    int frame = 0;
    for (; frame < kAIMaxFrames && plant->IsEffectOn(); frame++)
        gardener->Update(kAIFrame);
    EXPECT_EQ(0, plant->IsEffectOn()) << frame;
    EXPECT_EQ(rating, stats->m_ratingPlus);
    EXPECT_EQ(1, gardener->GetRecord().jobs);
    EXPECT_EQ(nullptr, plant->GetWorker());
    manager->RemoveObject(plant, 1);
}

// Every claim naming a maintenance member goes when it is moved or released, not only its current one.
TEST_F(StaffTest, MaintenanceClaimsEndWithTheWork)
{
    std::vector<Exposed<CUsableObject>*> machines;
    for (int column : {4, 8}) {
        auto* machine = new Exposed<CUsableObject>();
        machine->Put(&ground, Cell(10, column), 1, 1);
        machine->SetEffectKind(kEffectFire);
        manager->AddObject(machine);
        machine->Place(nullptr);
        manager->AddToLists(machine, 0);
        machines.push_back(machine);
    }
    auto* engineer = Hired<CMaintenance>(Cell(4, 4));
    for (auto* machine : machines)
        machine->SetWorker(engineer);
    engineer->m_pTarget = machines[1];
    engineer->BeginMove();
    for (auto* machine : machines)
        EXPECT_EQ(nullptr, machine->GetWorker());

    for (auto* machine : machines)
        machine->SetWorker(engineer);
    manager->RemoveObject(engineer, 1);
    for (auto* machine : machines)
        EXPECT_EQ(nullptr, machine->GetWorker());
}

// A guard holds a criminal at work within reach and arrests it: the criminal is done, message 10 and
// sample 5 are posted, the job counts.
TEST_F(StaffTest, ArrestPostsTheMessage)
{
    auto* thief = Make<CCriminal>(Cell(6, 6));
    thief->m_presence = kPresenceInside;
    Force(thief, AI_STATE_ACT);
    auto* guard = Hired<CSecurity>(Cell(5, 5), {"3", "2", "250", "1.0"});
    guard->m_failCount = 0;
    ASSERT_EQ(1, guard->ChooseTarget());
    EXPECT_EQ(thief, guard->m_pSuspect);
    EXPECT_EQ(Cell(6, 6), guard->m_targetCell);
    thief->HandleEvent(99);
    EXPECT_EQ(kCriminalHeldState, thief->GetState());

    Force(guard, AI_STATE_ACT);
    notices.Clear();
    int frame = 0;
    for (; frame < kAIMaxFrames && guard->m_pSuspect; frame++)
        guard->UpdateAI(kAIFrame);
    EXPECT_NEAR(10, frame, 1);
    thief->HandleEvent(99);
    EXPECT_EQ(AI_STATE_DONE, thief->GetState());
    EXPECT_EQ(std::vector<int16_t>{kMessageArrest}, notices.messages);
    ASSERT_EQ(1u, notices.samples.size());
    EXPECT_EQ(kArrestSample, notices.samples[0].first);
    EXPECT_EQ(1, guard->GetRecord().jobs);
}

// A guard that drops its suspect before the arrest ends (no path, moved) lets it go on with its business;
// one fired while holding it has it removed; a suspect that leaves is forgotten.
TEST_F(StaffTest, GuardLetsGoOfAnUnfinishedSuspect)
{
    auto* thief = Make<CCriminal>(Cell(6, 6));
    thief->m_presence = kPresenceInside;
    auto* guard = Hired<CSecurity>(Cell(5, 5));
    auto hold = [&]() {
        Force(thief, AI_STATE_ACT);
        guard->m_failCount = 0;
        ASSERT_EQ(1, guard->ChooseTarget());
        thief->HandleEvent(99);
        ASSERT_EQ(kCriminalHeldState, thief->GetState());
    };
    hold();
    // The path search fails: the machine clears the target.
    ground.GetBlock(Cell(10, 10))->SetState(FERROX_BLOCK_BLOCKED);
    guard->m_targetCell = Cell(10, 10);
    Force(guard, AI_STATE_FIND_PATH);
    for (int frame = 0; frame < 50 && guard->m_pSuspect; frame++)
        guard->UpdateAI(kAIFrame);
    EXPECT_EQ(nullptr, guard->m_pSuspect);
    thief->HandleEvent(99);
    EXPECT_EQ(AI_STATE_PAUSE, thief->GetState()) << "failed path";

    hold();
    guard->BeginMove();
    thief->HandleEvent(99);
    EXPECT_EQ(AI_STATE_PAUSE, thief->GetState()) << "moved";

    guard->Assign(&ground, Cell(5, 5));
    hold();
    manager->RemoveObject(guard, 1);
    thief->HandleEvent(99);
    EXPECT_EQ(AI_STATE_DONE, thief->GetState()) << "fired";

    auto* other = Hired<CSecurity>(Cell(5, 5));
    Force(thief, AI_STATE_ACT);
    ASSERT_EQ(1, other->ChooseTarget());
    thief->Release();
    EXPECT_EQ(nullptr, other->m_pSuspect) << "told by the leaving criminal";
    EXPECT_EQ(AI_STATE_PAUSE, other->GetNextState());
    manager->RemoveObject(thief, 1);

    auto* second = Make<CCriminal>(Cell(6, 6));
    second->m_presence = kPresenceInside;
    Force(second, AI_STATE_ACT);
    ASSERT_EQ(1, other->ChooseTarget());
    manager->RemoveObject(second, 1);
    Force(other, AI_STATE_ACT);
    EXPECT_EQ(1, other->DoActivity()) << "a suspect deleted untold is not reached";
    EXPECT_EQ(nullptr, other->m_pSuspect);
}

// A saved member comes back hired with its own template's title, picture, wage and job length (the save keeps
// none of them: hired from an empty record, a guard would come back as a cleaner on the default wage), with the
// grade of its trade's level as a new hire, and with its saved jobs and work timer (at most one job's length); a
// guard's arrest is not resumed; bad lines remove the member.
TEST_F(StaffTest, SavedLines)
{
    const std::vector<std::string> values = {"3", "2", "250", "8.0"};
    auto* guard = Hired<CSecurity>(Cell(5, 5), values);
    guard->GetRecord().jobs = 12;
    guard->SetGrade(2, 0);
    guard->m_workTimer = 3.5f;
    Force(guard, AI_STATE_ACT);
    const std::string text = Saved(guard, "guard.txt");
    ASSERT_FALSE(text.empty());

    stats->m_categories = {0, 0, 0, 5};
    auto* loaded = Make<CSecurity>(Cell(1, 1), {}, values);
    ASSERT_EQ(0, LoadInto(loaded, text, "guard.txt"));
    EXPECT_EQ(1, loaded->m_hired);
    EXPECT_TRUE(Registered(loaded));
    const StaffRecord& record = loaded->GetRecord();
    EXPECT_EQ(3, record.value0);
    EXPECT_EQ(500, loaded->DailyWage());
    EXPECT_FLOAT_EQ(8.0f, loaded->m_workTime);
    EXPECT_FLOAT_EQ(3.5f, loaded->m_workTimer);
    EXPECT_EQ(12, record.jobs);
    EXPECT_EQ(5, record.grade) << "the trade's level, not the saved grade";
    EXPECT_EQ(Cell(5, 5), loaded->m_currentCell);
    loaded->HandleEvent(99);
    EXPECT_EQ(AI_STATE_PAUSE, loaded->GetState()) << "the arrest is not resumed";

    const size_t cut = text.rfind("3.5");
    ASSERT_NE(std::string::npos, cut);
    // A timer beyond the job length would hold the member at one job for ever: it starts a whole job.
    auto* endless = Make<CSecurity>(Cell(1, 1), {}, values);
    ASSERT_EQ(0, LoadInto(endless, text.substr(0, cut) + "1e30\r\n", "endless.txt"));
    EXPECT_FLOAT_EQ(8.0f, endless->m_workTimer);
    for (const std::string& bad :
         {text.substr(0, cut), text.substr(0, cut) + "-1\r\n", text.substr(0, cut) + "nan\r\n"}) {
        auto* broken = Make<CSecurity>(Cell(1, 1), {}, values);
        EXPECT_EQ(1, LoadInto(broken, bad, "broken.txt"));
        EXPECT_EQ(1, broken->m_removeFlag);
        EXPECT_FALSE(Registered(broken));
    }
}

// A cleaner saved on its way to a shop's entrance is loaded walking to the cell, not to the shop: no cleaner is
// told when a shop goes, so one demolished before the cleaner gets there is no object its failed walk reads.
TEST_F(StaffTest, LoadedCleanerWalksToACellNotABuilding)
{
    Exposed<CShop>* shop = MakeShop(Cell(8, 8), 10, {});
    const int entrance = shop->GetEntranceCell(0);
    ASSERT_EQ(shop, ground.GetBlock(entrance)->m_pOccupant);
    auto* cleaner = Hired<CCleaner>(Cell(3, 3));
    cleaner->m_targetCell = entrance;
    auto* loaded = Make<CCleaner>(Cell(1, 1));
    ASSERT_EQ(0, LoadInto(loaded, Saved(cleaner, "walker.txt"), "walker.txt"));
    EXPECT_EQ(entrance, loaded->m_targetCell);
    EXPECT_EQ(nullptr, loaded->m_pTarget);

    manager->RemoveObject(shop, 1);
    ground.GetBlock(entrance)->SetState(FERROX_BLOCK_BLOCKED);
    for (int frame = 0; frame < kAIMaxFrames && loaded->m_failCount == 0; frame++)
        loaded->Update(kAIFrame);
    EXPECT_EQ(1, loaded->m_failCount) << "the walk to the walled-off cell fails";
    EXPECT_EQ(nullptr, loaded->m_pLastObject);
}
